#include "framework/propsheet.h"

namespace {
// The sheet being created: the property sheet callback carries no user pointer.
CPropertySheet* g_creatingSheet = nullptr;
}

PROPSHEETPAGEA CPropertyPage::Describe() {
    PROPSHEETPAGEA p {};
    p.dwSize = sizeof p;
    p.dwFlags = PSP_DEFAULT;
    p.hInstance = AppInstance();
    p.pszTemplate = MAKEINTRESOURCEA(TemplateId());
    p.pfnDlgProc = &CPropertyPage::PageProc;
    p.lParam = reinterpret_cast<LPARAM>(this);
    return p;
}

INT_PTR CALLBACK CPropertyPage::PageProc(HWND h, UINT msg, WPARAM w, LPARAM l) {
    if (msg == WM_INITDIALOG) {
        auto* page = reinterpret_cast<CPropertyPage*>(reinterpret_cast<PROPSHEETPAGEA*>(l)->lParam);
        page->shown_ = true;
        l = reinterpret_cast<LPARAM>(page);
    }
    return CDialogImpl::StaticDialogProc(h, msg, w, l);
}

INT_PTR CPropertyPage::DialogProc(UINT msg, WPARAM w, LPARAM l) {
    if (msg == WM_NOTIFY) {
        auto* h = reinterpret_cast<NMHDR*>(l);
        if (h->code == PSN_APPLY) {
            OnOK();
            SetMsgResult(PSNRET_NOERROR);
            return TRUE;
        }
        if (h->code == PSN_RESET) {
            OnCancel();
            return TRUE;
        }
    }
    if (msg == WM_COMMAND && (LOWORD(w) == IDOK || LOWORD(w) == IDCANCEL) && l == 0) return FALSE;
    return CDialogImpl::DialogProc(msg, w, l);
}

int CALLBACK CPropertySheet::SheetCallback(HWND h, UINT msg, LPARAM) {
    if (msg == PSCB_INITIALIZED && g_creatingSheet) {
        CPropertySheet* self = g_creatingSheet;
        self->hwnd_ = h;
        // One row of tabs with scroll arrows instead of stacked rows.
        HWND tab = reinterpret_cast<HWND>(::SendMessageA(h, PSM_GETTABCONTROL, 0, 0));
        if (tab) {
            LONG style = ::GetWindowLongA(tab, GWL_STYLE);
            ::SetWindowLongA(tab, GWL_STYLE, style & ~TCS_MULTILINE);
        }
        if (self->onInitialized) self->onInitialized(h);
    }
    return 0;
}

INT_PTR CPropertySheet::DoModal(HWND owner) {
    std::vector<PROPSHEETPAGEA> descs;
    for (auto* p : pages_) descs.push_back(p->Describe());
    PROPSHEETHEADERA hdr {};
    hdr.dwSize = sizeof hdr;
    hdr.dwFlags = PSH_PROPSHEETPAGE | PSH_NOAPPLYNOW | PSH_USECALLBACK;
    hdr.hwndParent = owner;
    hdr.hInstance = AppInstance();
    hdr.pszCaption = title_.c_str();
    hdr.nPages = static_cast<UINT>(descs.size());
    hdr.nStartPage = static_cast<UINT>(startPage_ >= 0 && startPage_ < static_cast<int>(descs.size()) ? startPage_ : 0);
    hdr.ppsp = descs.data();
    hdr.pfnCallback = &CPropertySheet::SheetCallback;
    CPropertySheet* saved = g_creatingSheet;
    g_creatingSheet = this;
    INT_PTR r = ::PropertySheetA(&hdr);
    g_creatingSheet = saved;
    hwnd_ = nullptr;
    return r > 0 ? IDOK : IDCANCEL;
}
