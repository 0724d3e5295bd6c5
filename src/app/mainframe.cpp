#include "app/mainframe.h"

#include "app/about.h"
#include "app/app.h"
#include "framework/prompter.h"
#include "framework/settings.h"
#include "resource.h"

namespace {
const UINT kMessageBarId = 30001;
const UINT kStatusBarId = 59393;
const UINT kViewId = 0xE900;
}

CMainFrame::CMainFrame() {
    OnMessage(WM_CREATE, [this](WPARAM, LPARAM) { return OnCreate(); });
    OnMessage(WM_SIZE, [this](WPARAM, LPARAM) {
        Layout();
        return LRESULT(0);
    });
    OnMessage(WM_CLOSE, [this](WPARAM, LPARAM) {
        OnClose();
        return LRESULT(0);
    });
    OnMessage(WM_DESTROY, [](WPARAM, LPARAM) {
        ::PostQuitMessage(0);
        return LRESULT(0);
    });
    OnCommand(ID_APP_ABOUTBOX, [] {
        CAboutDlg dlg;
        dlg.DoModal(MainWindow());
    });
}

CMainFrame::~CMainFrame() {
    Destroy();
    if (messageFont_) ::DeleteObject(messageFont_);
}

void CMainFrame::AdjustClass(WNDCLASSEXA& wc) const {
    wc.hIcon = ::LoadIconA(AppInstance(), MAKEINTRESOURCEA(IDR_MAINFRAME));
    wc.hbrBackground = nullptr;
}

bool CMainFrame::CreateFrame() {
    RECT def = DefaultWindowRect(::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN));
    RECT rc;
    rc.left = ReadSettingInt("Settings", "x", def.left);
    rc.top = ReadSettingInt("Settings", "y", def.top);
    rc.right = rc.left + ReadSettingInt("Settings", "cx", def.right - def.left);
    rc.bottom = rc.top + ReadSettingInt("Settings", "cy", def.bottom - def.top);
    HMENU menu = ::LoadMenuA(AppInstance(), MAKEINTRESOURCEA(IDR_MAINFRAME));
    return Create(nullptr, rc, AppTitle().c_str(), WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, 0, menu) != nullptr;
}

LRESULT CMainFrame::OnCreate() {
    if (!view_.CreateView(m_hWnd, kViewId)) return -1;
    statusBar_ = ::CreateWindowExA(0, STATUSCLASSNAMEA, "", WS_CHILD | WS_VISIBLE | SBARS_SIZEGRIP, 0, 0, 0, 0,
                                   m_hWnd, reinterpret_cast<HMENU>(static_cast<UINT_PTR>(kStatusBarId)),
                                   AppInstance(), nullptr);
    messageBar_ = ::CreateWindowExA(0, STATUSCLASSNAMEA, "", WS_CHILD | WS_VISIBLE | CCS_TOP, 0, 0, 0, 0, m_hWnd,
                                    reinterpret_cast<HMENU>(static_cast<UINT_PTR>(kMessageBarId)), AppInstance(),
                                    nullptr);
    if (!statusBar_ || !messageBar_) return -1;
    HFONT font = reinterpret_cast<HFONT>(::SendMessageA(messageBar_, WM_GETFONT, 0, 0));
    LOGFONTA lf {};
    ::GetObjectA(font ? font : ::GetStockObject(DEFAULT_GUI_FONT), sizeof lf, &lf);
    lf.lfWeight = FW_BOLD;
    messageFont_ = ::CreateFontIndirectA(&lf);
    ::SendMessageA(messageBar_, WM_SETFONT, reinterpret_cast<WPARAM>(messageFont_), TRUE);
    int whole = -1;
    ::SendMessageA(messageBar_, SB_SETPARTS, 1, reinterpret_cast<LPARAM>(&whole));
    ::SendMessageA(statusBar_, SB_SETPARTS, 1, reinterpret_cast<LPARAM>(&whole));
    ::SendMessageA(statusBar_, SB_SETTEXTA, 0, reinterpret_cast<LPARAM>("Press F1 for Help"));
    view_.SetListMode(kListUnneededFiles);
    return 0;
}

void CMainFrame::Layout() {
    RECT rc = ClientRect();
    if (statusBar_) ::SendMessageA(statusBar_, WM_SIZE, 0, 0);
    if (messageBar_) ::SendMessageA(messageBar_, WM_SIZE, 0, 0);
    RECT sb {}, mb {};
    if (statusBar_ && ::IsWindowVisible(statusBar_)) ::GetWindowRect(statusBar_, &sb);
    if (messageBar_) ::GetWindowRect(messageBar_, &mb);
    int top = mb.bottom - mb.top;
    int bottom = rc.bottom - (sb.bottom - sb.top);
    if (view_.IsWindow()) ::MoveWindow(view_.m_hWnd, 0, top, rc.right, bottom - top > 0 ? bottom - top : 0, TRUE);
}

void CMainFrame::SetStatusText(const std::string& text, int target) {
    HWND bar = target == 0 ? messageBar_ : statusBar_;
    if (bar) ::SendMessageA(bar, SB_SETTEXTA, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

void CMainFrame::ShowStartupTip() {}

void CMainFrame::OnClose() {
    if (savePositionOnExit_ && !::IsZoomed(m_hWnd) && !::IsIconic(m_hWnd)) {
        RECT rc = WindowRect();
        WriteSettingInt("Settings", "x", rc.left);
        WriteSettingInt("Settings", "y", rc.top);
        WriteSettingInt("Settings", "cx", rc.right - rc.left);
        WriteSettingInt("Settings", "cy", rc.bottom - rc.top);
    }
    ::DestroyWindow(m_hWnd);
}
