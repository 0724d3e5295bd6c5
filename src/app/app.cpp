#include "app/app.h"

#include "app/about.h"
#include "core/datafolder.h"
#include "app/mainframe.h"
#include "framework/prompter.h"
#include "framework/settings.h"
#include "framework/strings.h"
#include "framework/window.h"
#include "resource.h"

#include <commctrl.h>
#include <objbase.h>

namespace {
CWrenlyApp* g_app = nullptr;
}

bool IsWindows95(const OSVERSIONINFOA& v) {
    return v.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS && v.dwMinorVersion == 0;
}

CWrenlyApp& TheApp() { return *g_app; }

CWrenlyApp::CWrenlyApp() { g_app = this; }

CWrenlyApp::~CWrenlyApp() {
    frame_.reset();
    if (g_app == this) g_app = nullptr;
}

bool CWrenlyApp::InitApplication() {
    HANDLE mutex = ::CreateMutexA(nullptr, TRUE, "PreventSecondInstance");
    bool existed = ::GetLastError() == ERROR_ALREADY_EXISTS;
    // The handle stays open until the process ends: it keeps the name alive.
    if (mutex) ::ReleaseMutex(mutex);
    return !existed;
}

bool CWrenlyApp::InitInstance() {
    ::CoInitialize(nullptr);
    INITCOMMONCONTROLSEX icc {sizeof icc, ICC_WIN95_CLASSES | ICC_COOL_CLASSES | ICC_BAR_CLASSES |
                                              ICC_ANIMATE_CLASS | ICC_LISTVIEW_CLASSES | ICC_TAB_CLASSES};
    ::InitCommonControlsEx(&icc);

    std::string key = LoadStr(IDS_APP_TITLE);
    SetSettingsKey(key, key);

    programFolder = ProgramFolder();

    frame_ = std::make_unique<CMainFrame>();
    if (!frame_->CreateFrame()) {
        frame_.reset();
        return false;
    }
    SetMainWindow(frame_->m_hWnd);
    accelerators_ = ::LoadAcceleratorsA(AppInstance(), MAKEINTRESOURCEA(IDR_MAINFRAME));
    frame_->Show(SW_SHOW);
    frame_->Update();

    OSVERSIONINFOA v {};
    v.dwOSVersionInfoSize = sizeof v;  // 148 bytes
    if (::GetVersionExA(&v) && IsWindows95(v))
        MessageBoxText("You are running Win95.\nThis software is for windows98 or later", MB_OK);

    frame_->ShowStartupTip();
    return true;
}

int CWrenlyApp::Run() {
    MSG msg;
    while (::GetMessageA(&msg, nullptr, 0, 0) > 0) {
        HWND main = frame_ ? frame_->m_hWnd : nullptr;
        if (main && accelerators_ && ::TranslateAcceleratorA(main, accelerators_, &msg)) continue;
        ::TranslateMessage(&msg);
        ::DispatchMessageA(&msg);
    }
    return static_cast<int>(msg.wParam);
}
