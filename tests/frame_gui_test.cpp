// The shell: one copy of the program at a time, and its main window: choosing tools, running
// their commands, its bars, and where it opens.
#include "app/appinfo.h"
#include "app/mainframe.h"
#include "core/datafolder.h"
#include "framework/settings.h"
#include "framework/strings.h"
#include "kit.h"
#include "resource.h"

#include <gtest/gtest.h>

namespace {

std::vector<LONG> Place(const RECT& r) { return {r.left, r.top, r.right - r.left, r.bottom - r.top}; }
POINT Centre(const RECT& r) { return POINT {(r.left + r.right) / 2, (r.top + r.bottom) / 2}; }

class FrameTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(frame->CreateFrame());
        view = frame->GetListView();
        SetMainWindow(frame->m_hWnd);
        frame->Show(SW_SHOW);
    }
    void TearDown() override {
        SetMainWindow(nullptr);
        frame.reset();
        // Leave no quit message behind for the next test's windows.
        for (MSG msg; ::PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);) {}
    }
    bool Listed(const std::string& name) {
        for (int r = 0; r < view->Count(); ++r)
            if (view->Text(r, 0) == name) return true;
        return false;
    }
    void ClickBar(POINT p) {
        ::PostMessageA(frame->OutBar().m_hWnd, WM_LBUTTONUP, 0, MAKELPARAM(p.x, p.y));
        frame->OutBar().Send(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(p.x, p.y));
        PumpFor(20);
    }

    kit::ScratchSettings settings;
    ScriptedPrompter prompts;
    std::unique_ptr<CMainFrame> frame = std::make_unique<CMainFrame>();
    CWrenlyView* view = nullptr;
};

}  // namespace

TEST_F(FrameTest, ChoosingAToolSetsUpTheListAndOnlyTheStartupToolListsAtOnce) {
    EXPECT_EQ("Kelvo Utilities v1.3", frame->Text());
    const int columns[6] = {3, 5, 4, 4, 1, 3};
    // A Run entry of the test's own, which only a startup scan lists.
    kit::RedirectedUser user;
    const std::string marker = "KelvoFrameTest-" + kit::Pid();
    kit::SetRegString(HKEY_CURRENT_USER, "Software\\Microsoft\\Windows\\CurrentVersion\\Run", marker, "C:\\x.exe");
    // From the outlook bar, then from the toolbar and the accelerators.
    for (bool byCommand : {false, true}) {
        for (const ToolInfo& t : kTools) {
            view->AddRow({"left over"}, 0, 0);
            if (byCommand) frame->Send(WM_COMMAND, t.selectCommand);
            else frame->OutBar().setSelFolder(t.scanMode);
            EXPECT_EQ(t.listMode, view->ListMode) << t.caption;
            EXPECT_EQ(columns[t.scanMode], view->ColumnCount()) << t.caption;
            const bool listsAtOnce = t.scanMode == 2 || t.scanMode == 4;
            EXPECT_EQ(listsAtOnce, (view->Send(LVM_GETEXTENDEDLISTVIEWSTYLE) & LVS_EX_CHECKBOXES) != 0) << t.caption;
            EXPECT_EQ(listsAtOnce, view->Count() > 0 && !Listed("left over")) << t.caption;
            EXPECT_EQ(t.scanMode == 2, Listed(marker)) << t.caption;
        }
    }
    // Choosing the startup tool again lists again; a click on the open folder's header does not.
    frame->OutBar().setSelFolder(2);
    view->DeleteAll();
    ClickBar(Centre(frame->OutBar().headerRect(2)));
    EXPECT_EQ(0, view->Count());
    frame->OutBar().setSelFolder(2);
    EXPECT_TRUE(Listed(marker));
}

// What the busy animation control was told, seen from outside it.
std::vector<UINT> g_animation;
WNDPROC g_animationProc = nullptr;

TEST_F(FrameTest, AnItemClickRunsItsCommandWithItsBusyAnimationAndAnUnknownIdRunsNothing) {
    // The start-up message comes half a second after the window, once the popup exists.
    ASSERT_TRUE(PumpUntil([&] { return ::IsWindowVisible(frame->Notifier().m_hWnd) != FALSE; }, 3000));
    EXPECT_EQ(LoadStr(IDS_NOTIFY_UNNEEDED_FILES), frame->Notifier().text);
    frame->OutBar().setSelFolder(1);
    ClickBar(Centre(frame->OutBar().itemRect(1)));
    EXPECT_EQ(LoadStr(IDS_LIST_EMPTY), frame->Notifier().text) << "Remove All on an empty list says so";
    EXPECT_EQ(nullptr, ::GetCapture()) << "the bar releases the capture the command took";
    ClickBar(Centre(frame->OutBar().itemRect(0)));
    char bar[256] = {};
    ::SendMessageA(frame->MessageBar(), SB_GETTEXTA, 0, reinterpret_cast<LPARAM>(bar));
    EXPECT_EQ(0u, std::string(bar).find("Total Invalid entries found: ")) << "the scan did not run";

    HWND clip = frame->BusyAnimation();
    g_animationProc = reinterpret_cast<WNDPROC>(::SetWindowLongPtrA(
        clip, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(+[](HWND h, UINT m, WPARAM w, LPARAM l) -> LRESULT {
            if (m == ACM_PLAY || m == ACM_STOP) g_animation.push_back(m);
            return ::CallWindowProcA(g_animationProc, h, m, w, l);
        })));
    for (const ToolCommand& c : kToolCommands) {
        ToolCommand probe = c;
        probe.run = [](CMainFrame&, CWrenlyView&) { g_animation.push_back(0); };
        g_animation.clear();
        frame->RunToolCommand(probe);
        EXPECT_EQ((c.busyAnimation ? std::vector<UINT> {ACM_PLAY, 0, ACM_STOP} : std::vector<UINT> {0}), g_animation)
            << c.caption << " " << c.id;
    }
    g_animation.clear();
    for (UINT id : {3009u, 3012u, 3014u, 3018u, 3026u, 3028u, 3032u, 4000u}) frame->RunToolCommand(id);
    EXPECT_TRUE(g_animation.empty() && prompts.asked.empty());
    ::SetWindowLongPtrA(clip, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(g_animationProc));
    ::ReleaseCapture();
}

TEST(WindowPlace, FirstRunPlaceAndAStoredPlaceMadeToFitTheScreen) {
    EXPECT_EQ((std::vector<LONG> {160, 90, 1600, 900}), Place(DefaultWindowRect(1920, 1080)));
    const struct { RECT stored, work, placed; } stored[] = {
        {{-40000, -40000, -40000 + 853, -40000 + 640}, {0, 0, 1024, 740}, {0, 0, 853, 640}},
        {{5000, 3000, 5700, 3500}, {0, 0, 1024, 740}, {324, 240, 1024, 740}},
        {{100, 100, 200, 150}, {0, 0, 1024, 740}, {100, 100, 600, 550}},
        {{-10, 50, 3000, 2000}, {0, 0, 1024, 740}, {0, 0, 1024, 740}},
        {{-1500, 100, -900, 600}, {-1600, 0, 0, 900}, {-1500, 100, -900, 600}},  // a monitor left of the first
        {{10, 10, 30, 30}, {0, 0, 400, 300}, {0, 0, 400, 300}}};                 // one smaller than the minimum
    for (const auto& c : stored) EXPECT_EQ(Place(c.placed), Place(PlaceInWorkArea(c.stored, c.work))) << c.stored.left;
}

TEST_F(FrameTest, OpensWhereItClosedUnlessTurnedOffOrMaximisedAndAlwaysOnTheScreen) {
    auto stored = [] {
        std::vector<LONG> place;
        for (const char* name : {"x", "y", "cx", "cy"}) place.push_back(ReadSettingInt("Settings", name, -1));
        return place;
    };
    EXPECT_EQ((std::vector<LONG> {86, 64, 853, 640}), Place(frame->WindowRect())) << "five sixths of 1024 x 768";
    // Made smaller from its left and top edges, it stops at the minimum size with its right and
    // bottom edges where they were.
    ::SetWindowPos(frame->m_hWnd, nullptr, 40, 30, 300, 200, SWP_NOZORDER);
    frame->Send(WM_CLOSE);
    const std::vector<LONG> place {86 + 853 - 500, 64 + 640 - 450, 500, 450};
    EXPECT_EQ(place, stored());
    for (bool maximised : {false, true}) {
        CMainFrame next;
        ASSERT_TRUE(next.CreateFrame());
        EXPECT_EQ(place, Place(next.WindowRect()));
        if (maximised) next.Show(SW_MAXIMIZE);
        else next.Send(WM_COMMAND, ID_VIEW_SAVE_POSITION);
        ::SetWindowPos(next.m_hWnd, nullptr, 10, 10, 700, 520, SWP_NOZORDER | (maximised ? SWP_NOMOVE : 0));
        next.Send(WM_CLOSE);
        EXPECT_EQ(place, stored()) << "saved, maximised: " << maximised;
    }
}

TEST(StartUp, ASecondCopyEndsAtOnceAndLeavesTheFirstRunning) {
    // The tip of the day would be in the way of the window search.
    const DWORD one = 1;
    kit::SetRegRaw(HKEY_CURRENT_USER, "Software\\Kelvo Utils\\Kelvo Utils\\Settings", "StartUpTip", REG_DWORD,
                   std::string(reinterpret_cast<const char*>(&one), sizeof one));
    PROCESS_INFORMATION copies[2] {};
    DWORD owner = 0;
    for (PROCESS_INFORMATION& pi : copies) {
        STARTUPINFOA si {sizeof si};
        std::string exe = ProgramFolder() + "\\KelvoUtils.exe", command = "\"" + exe + "\"";
        ASSERT_TRUE(::CreateProcessA(exe.c_str(), &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi));
        EXPECT_TRUE(PumpUntil([&] {
            HWND main = ::FindWindowA("KelvoUtilsFrame", nullptr);
            return main && ::IsWindowVisible(main) && ::GetWindowThreadProcessId(main, &owner) && owner == copies->dwProcessId;
        }, 20000)) << "the first copy shows its main window";
    }
    EXPECT_EQ(WAIT_OBJECT_0, ::WaitForSingleObject(copies[1].hProcess, 15000)) << "the second copy ends by itself";
    DWORD code = 1;
    EXPECT_TRUE(::GetExitCodeProcess(copies[1].hProcess, &code) && code == 0) << code;
    EXPECT_EQ(WAIT_TIMEOUT, ::WaitForSingleObject(copies[0].hProcess, 0)) << "the first copy ended";
    ::PostMessageA(::FindWindowA("KelvoUtilsFrame", nullptr), WM_CLOSE, 0, 0);
    EXPECT_EQ(WAIT_OBJECT_0, ::WaitForSingleObject(copies[0].hProcess, 15000));
    for (PROCESS_INFORMATION& pi : copies) {
        ::TerminateProcess(pi.hProcess, 9);
        ::CloseHandle(pi.hProcess);
        ::CloseHandle(pi.hThread);
    }
}
