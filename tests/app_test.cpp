// Start-up: the single-instance guard, the program folder, the first-run window place, the
// Windows 95 check and the About box.
#include "app/about.h"
#include "app/app.h"
#include "app/appinfo.h"
#include "core/datafolder.h"
#include "framework/strings.h"
#include "resource.h"
#include "test_support.h"

#include <gtest/gtest.h>

namespace {

std::string ProgramPath() { return ProgramFolder() + "\\KelvoUtils.exe"; }

struct Process {
    PROCESS_INFORMATION pi {};
    bool Start(const std::string& exe) {
        STARTUPINFOA si {sizeof si};
        std::string cmd = "\"" + exe + "\"";
        return ::CreateProcessA(exe.c_str(), &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi);
    }
    bool WaitExit(DWORD ms) { return ::WaitForSingleObject(pi.hProcess, ms) == WAIT_OBJECT_0; }
    DWORD ExitCode() {
        DWORD c = 0;
        ::GetExitCodeProcess(pi.hProcess, &c);
        return c;
    }
    ~Process() {
        if (pi.hProcess) {
            if (!WaitExit(0)) ::TerminateProcess(pi.hProcess, 9);
            ::CloseHandle(pi.hProcess);
            ::CloseHandle(pi.hThread);
        }
    }
};

struct FindTopLevel {
    DWORD pid;
    HWND found = nullptr;
    static BOOL CALLBACK Each(HWND h, LPARAM l) {
        auto* self = reinterpret_cast<FindTopLevel*>(l);
        DWORD pid = 0;
        ::GetWindowThreadProcessId(h, &pid);
        if (pid == self->pid && ::IsWindowVisible(h)) {
            self->found = h;
            return FALSE;
        }
        return TRUE;
    }
};

HWND VisibleWindowOf(DWORD pid) {
    FindTopLevel f {pid};
    ::EnumWindows(&FindTopLevel::Each, reinterpret_cast<LPARAM>(&f));
    return f.found;
}

HWND WaitForMainWindow(DWORD pid, DWORD ms = 20000) {
    HWND h = nullptr;
    PumpUntil([&] {
        h = ::FindWindowA("KelvoUtilsFrame", nullptr);
        DWORD owner = 0;
        if (h) ::GetWindowThreadProcessId(h, &owner);
        return h && owner == pid && ::IsWindowVisible(h);
    }, ms);
    return h;
}

}  // namespace

TEST(FirstRunPlace, FiveSixthsOfTheScreenCentred) {
    RECT rc = DefaultWindowRect(1024, 768);
    EXPECT_EQ(86, rc.left);
    EXPECT_EQ(64, rc.top);
    EXPECT_EQ(853, rc.right - rc.left);
    EXPECT_EQ(640, rc.bottom - rc.top);
    rc = DefaultWindowRect(1920, 1080);
    EXPECT_EQ(960 - 800, rc.left);
    EXPECT_EQ(540 - 450, rc.top);
    EXPECT_EQ(1600, rc.right - rc.left);
    EXPECT_EQ(900, rc.bottom - rc.top);
}

TEST(Windows95Check, OnlyPlatformOneMinorZero) {
    OSVERSIONINFOA v {};
    v.dwOSVersionInfoSize = sizeof v;
    EXPECT_EQ(148u, sizeof v);
    v.dwPlatformId = VER_PLATFORM_WIN32_WINDOWS;
    v.dwMajorVersion = 4;
    v.dwMinorVersion = 0;
    EXPECT_TRUE(IsWindows95(v));
    v.dwMinorVersion = 10;  // 98
    EXPECT_FALSE(IsWindows95(v));
    v.dwMinorVersion = 90;  // Me
    EXPECT_FALSE(IsWindows95(v));
    v.dwPlatformId = VER_PLATFORM_WIN32_NT;
    v.dwMinorVersion = 0;  // NT 4.0, 2000...
    EXPECT_FALSE(IsWindows95(v));
}

TEST(AppTitle, FirstFieldOfTheDocumentString) { EXPECT_EQ("Kelvo Utilities v1.3", AppTitle()); }

TEST(AboutBox, ShowsTitleAndBoldUnderlinedLink) {
    CAboutDlg dlg;
    ASSERT_TRUE(dlg.CreateModeless(nullptr));
    EXPECT_EQ("About", dlg.Text());
    EXPECT_EQ("Kelvo Utilities v1.3", dlg.ItemText(IDC_ABOUT_VERSION));
    EXPECT_EQ(std::string("mailto:") + kFeedbackAddress + "?subject=KelvoUtils", dlg.link.Target());
    EXPECT_TRUE(::GetWindowLongA(dlg.link.m_hWnd, GWL_STYLE) & SS_NOTIFY);
    EXPECT_FALSE(dlg.link.hovering());
    dlg.link.Send(WM_MOUSEMOVE, 0, MAKELPARAM(2, 2));
    EXPECT_TRUE(dlg.link.hovering());
    dlg.link.Send(WM_MOUSELEAVE);
    EXPECT_FALSE(dlg.link.hovering());
    dlg.DestroyModeless();
}

TEST(HotStatic, BrowserCommandCutsAtThePlaceholder) {
    EXPECT_EQ("\"C:\\Browser\\b.exe\" -nohome  http://x/",
              CHotStatic::BrowserCommand("\"C:\\Browser\\b.exe\" -nohome \"%1\"", "http://x/"));
    EXPECT_EQ("C:\\B\\b.exe  http://x/", CHotStatic::BrowserCommand("C:\\B\\b.exe %1", "http://x/"));
    EXPECT_EQ("C:\\B\\b.exe http://x/", CHotStatic::BrowserCommand("C:\\B\\b.exe", "http://x/"));
}

TEST(SingleInstance, SecondCopyEndsAtOnceAndAThirdStartsLater) {
    std::string exe = ProgramPath();
    ASSERT_TRUE(FileExists(exe)) << exe;
    // Keep the tip of the day out of the way of the window search.
    HKEY k = nullptr;
    ::RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Kelvo Utils\\Kelvo Utils\\Settings", 0, nullptr, 0,
                      KEY_ALL_ACCESS, nullptr, &k, nullptr);
    DWORD one = 1;
    ::RegSetValueExA(k, "StartUpTip", 0, REG_DWORD, reinterpret_cast<BYTE*>(&one), sizeof one);
    ::RegCloseKey(k);

    Process first;
    ASSERT_TRUE(first.Start(exe));
    HWND main = WaitForMainWindow(first.pi.dwProcessId);
    ASSERT_TRUE(main) << "the first copy shows its main window";
    RECT before;
    ::GetWindowRect(main, &before);

    Process second;
    ASSERT_TRUE(second.Start(exe));
    ASSERT_TRUE(second.WaitExit(15000)) << "the second copy ends by itself";
    EXPECT_EQ(0u, second.ExitCode());
    EXPECT_EQ(nullptr, VisibleWindowOf(second.pi.dwProcessId));
    RECT after;
    ::GetWindowRect(main, &after);
    EXPECT_TRUE(::EqualRect(&before, &after));
    EXPECT_FALSE(first.WaitExit(0)) << "the first copy keeps running";

    ::PostMessageA(main, WM_CLOSE, 0, 0);
    ASSERT_TRUE(first.WaitExit(15000));

    Process third;
    ASSERT_TRUE(third.Start(exe));
    HWND again = WaitForMainWindow(third.pi.dwProcessId);
    EXPECT_TRUE(again) << "a new copy starts once the first has gone";
    if (again) ::PostMessageA(again, WM_CLOSE, 0, 0);
    EXPECT_TRUE(third.WaitExit(15000));
}
