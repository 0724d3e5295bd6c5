#include "framework/dialog.h"

#include <cstdlib>

void CDataExchange::Text(int id, std::string& value) {
    if (save_) value = CWindow(::GetDlgItem(dlg_, id)).Text();
    else ::SetDlgItemTextA(dlg_, id, value.c_str());
}

void CDataExchange::Int(int id, int& value) {
    if (save_) {
        BOOL ok = FALSE;
        int v = static_cast<int>(::GetDlgItemInt(dlg_, id, &ok, TRUE));
        if (ok) value = v;
    } else {
        ::SetDlgItemInt(dlg_, id, static_cast<UINT>(value), TRUE);
    }
}

void CDataExchange::Check(int id, int& value) {
    if (save_) value = static_cast<int>(::IsDlgButtonChecked(dlg_, id));
    else ::CheckDlgButton(dlg_, id, static_cast<UINT>(value));
}

void CDataExchange::Check(int id, bool& value) {
    int v = value ? 1 : 0;
    Check(id, v);
    if (save_) value = v == BST_CHECKED;
}

void CDataExchange::Radio(int firstId, int& index) {
    HWND h = ::GetDlgItem(dlg_, firstId);
    int i = 0;
    if (save_) index = -1;
    while (h) {
        if (save_) {
            if (::SendMessageA(h, BM_GETCHECK, 0, 0) == BST_CHECKED) index = i;
        } else {
            ::SendMessageA(h, BM_SETCHECK, i == index ? BST_CHECKED : BST_UNCHECKED, 0);
        }
        h = ::GetWindow(h, GW_HWNDNEXT);
        if (!h || (::GetWindowLongA(h, GWL_STYLE) & WS_GROUP)) break;
        ++i;
    }
}

void CDataExchange::Control(int id, CWindowImpl& wnd) {
    if (!wnd.m_hWnd) wnd.Subclass(::GetDlgItem(dlg_, id));
}

CDialogImpl::~CDialogImpl() {
    if (m_hWnd && ::IsWindow(m_hWnd)) {
        HWND h = m_hWnd;
        ::SetWindowLongPtrA(h, DWLP_USER, 0);
        m_hWnd = nullptr;
        if (!modal_) ::DestroyWindow(h);
    }
}

INT_PTR CDialogImpl::DoModal(HWND parent) {
    modal_ = true;
    INT_PTR r = ::DialogBoxParamA(AppInstance(), MAKEINTRESOURCEA(templateId_), parent,
                                  &CDialogImpl::StaticDialogProc, reinterpret_cast<LPARAM>(this));
    m_hWnd = nullptr;
    return r;
}

HWND CDialogImpl::CreateModeless(HWND parent) {
    modal_ = false;
    return ::CreateDialogParamA(AppInstance(), MAKEINTRESOURCEA(templateId_), parent,
                                &CDialogImpl::StaticDialogProc, reinterpret_cast<LPARAM>(this));
}

void CDialogImpl::EndDialog(INT_PTR result) {
    if (modal_) ::EndDialog(m_hWnd, result);
    else DestroyModeless();
}

void CDialogImpl::DestroyModeless() {
    if (m_hWnd && ::IsWindow(m_hWnd)) ::DestroyWindow(m_hWnd);
}

bool CDialogImpl::UpdateData(bool save) {
    CDataExchange dx(m_hWnd, save);
    DoDataExchange(dx);
    return true;
}

INT_PTR CDialogImpl::DialogProc(UINT msg, WPARAM w, LPARAM l) {
    if (msg == WM_INITDIALOG) return OnInitDialog();
    LRESULT r = 0;
    if (Route(msg, w, l, r)) {
        if (msg == WM_NOTIFY) {
            SetMsgResult(r);
            return TRUE;
        }
        // Messages whose answer is the procedure's own return value.
        switch (msg) {
        case WM_CTLCOLORBTN: case WM_CTLCOLORDLG: case WM_CTLCOLOREDIT: case WM_CTLCOLORLISTBOX:
        case WM_CTLCOLORSCROLLBAR: case WM_CTLCOLORSTATIC: case WM_COMPAREITEM: case WM_VKEYTOITEM:
        case WM_CHARTOITEM: case WM_QUERYDRAGICON: case WM_INITDIALOG:
            return static_cast<INT_PTR>(r);
        default:
            SetMsgResult(r);
            return TRUE;
        }
    }
    if (msg == WM_COMMAND) {
        if (LOWORD(w) == IDOK) { OnOK(); return TRUE; }
        if (LOWORD(w) == IDCANCEL) { OnCancel(); return TRUE; }
    }
    if ((msg == WM_NOTIFY || msg == WM_COMMAND) && ReflectToChild(msg, w, l, r)) {
        SetMsgResult(r);
        return TRUE;
    }
    return FALSE;
}

INT_PTR CALLBACK CDialogImpl::StaticDialogProc(HWND h, UINT msg, WPARAM w, LPARAM l) {
    auto* self = reinterpret_cast<CDialogImpl*>(::GetWindowLongPtrA(h, DWLP_USER));
    if (msg == WM_INITDIALOG) {
        self = reinterpret_cast<CDialogImpl*>(l);
        if (!self) return FALSE;
        self->m_hWnd = h;
        ::SetWindowLongPtrA(h, DWLP_USER, reinterpret_cast<LONG_PTR>(self));
    }
    if (!self) return FALSE;
    INT_PTR r = self->DialogProc(msg, w, l);
    if (msg == WM_NCDESTROY) {
        ::SetWindowLongPtrA(h, DWLP_USER, 0);
        self->m_hWnd = nullptr;
        self->OnFinalMessage();
    }
    return r;
}
