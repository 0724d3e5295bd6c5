#include "widgets/progressdlg.h"

#include "framework/dpi.h"
#include "framework/prompter.h"
#include "framework/strings.h"
#include "resource.h"

namespace {
const UINT kDefaultTitle = IDS_PLEASE_WAIT;
}

void PumpMessages(HWND dialog) {
    MSG msg;
    while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            // Leave the quit request for the main message loop.
            ::PostQuitMessage(static_cast<int>(msg.wParam));
            return;
        }
        if (dialog && ::IsWindow(dialog) && ::IsDialogMessageA(dialog, &msg)) continue;
        ::TranslateMessage(&msg);
        ::DispatchMessageA(&msg);
    }
}

HWND SafeOwner(HWND parent) {
    HWND h = parent ? parent : MainWindow();
    if (!h || !::IsWindow(h)) return nullptr;
    HWND root = ::GetAncestor(h, GA_ROOT);
    return root ? root : h;
}

CProgressDialogBase::CProgressDialogBase(UINT templateId, UINT titleId)
    : CDialogImpl(templateId), titleStringId(titleId ? titleId : kDefaultTitle) {}

CProgressDialogBase::~CProgressDialogBase() { close(); }

bool CProgressDialogBase::create(HWND parentWindow) {
    owner = SafeOwner(parentWindow);
    if (owner && ::IsWindowEnabled(owner)) {
        ::EnableWindow(owner, FALSE);
        ownerDisabled = true;
    }
    if (!CreateModeless(parentWindow ? parentWindow : owner)) {
        if (ownerDisabled) ::EnableWindow(owner, TRUE);
        ownerDisabled = false;
        return false;
    }
    return true;
}

void CProgressDialogBase::close() {
    if (m_hWnd && ::IsWindow(m_hWnd)) BeforeClose();
    // Re-enable the owner before the dialog goes, so that activation returns to it.
    if (ownerDisabled && owner && ::IsWindow(owner)) ::EnableWindow(owner, TRUE);
    ownerDisabled = false;
    DestroyModeless();
}

CCancelDialog::CCancelDialog(UINT titleId) : CProgressDialogBase(IDD_CANCEL, titleId) {}

BOOL CCancelDialog::OnInitDialog() {
    SetText(LoadStr(titleStringId));
    return TRUE;
}

bool CCancelDialog::checkCancelled() {
    PumpMessages(m_hWnd);
    return cancelled;
}

CAnimationDialog::CAnimationDialog(UINT titleId) : CProgressDialogBase(IDD_ANIMATION, titleId) {}

BOOL CAnimationDialog::OnInitDialog() {
    SetText("Loading...");
    HWND anim = animation();
    // The clip drawn for the dialog's display scale, centred in its place.
    ::SendMessageA(anim, ACM_OPENA, reinterpret_cast<WPARAM>(AppInstance()),
                   reinterpret_cast<LPARAM>(MAKEINTRESOURCEA(PictureIdForDpi(IDR_BUSY_AVI, WindowDpi(m_hWnd)))));
    ::SendMessageA(anim, ACM_PLAY, static_cast<WPARAM>(-1), MAKELONG(0, 0xFFFF));
    return TRUE;
}

void CAnimationDialog::setText(const std::string& text) { SetItemText(1005, text); }

void CAnimationDialog::pump() { PumpMessages(m_hWnd); }

void CAnimationDialog::BeforeClose() {
    HWND anim = animation();
    ::SendMessageA(anim, ACM_STOP, 0, 0);
    ::SendMessageA(anim, ACM_OPENA, 0, 0);
}
