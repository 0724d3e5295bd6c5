// The main window: tool switching, command dispatch from the outlook bar, the frame's services,
// menus and window placement.
#include "core/help.h"
#include "app/mainframe.h"
#include "app/tooltable.h"
#include "options/optionssheet.h"
#include "framework/prompter.h"
#include "framework/settings.h"
#include "framework/strings.h"
#include "core/reghelpers.h"
#include "resource.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <vector>

namespace {

// The settings store on a scratch key for the whole program.
class ScratchSettings {
public:
    ScratchSettings() : key_("frame") {
        SetSettingsKey(key_.path().substr(std::string("Software\\").size()), "Kelvo Utils");
    }
    ~ScratchSettings() { SetSettingsKey("Kelvo Utils", "Kelvo Utils"); }

private:
    ScratchKey key_;
};

std::vector<std::string> ColumnTitles(CWrenlyView& v) {
    std::vector<std::string> t;
    for (int i = 0; i < v.ColumnCount(); ++i) t.push_back(v.ColumnTitle(i));
    return t;
}

bool CheckBoxesOn(CWrenlyView& v) {
    return (v.Send(LVM_GETEXTENDEDLISTVIEWSTYLE) & LVS_EX_CHECKBOXES) != 0;
}

LPARAM At(POINT p) { return MAKELPARAM(p.x, p.y); }
POINT Centre(const RECT& r) { return POINT {(r.left + r.right) / 2, (r.top + r.bottom) / 2}; }

class FrameTest : public ::testing::Test {
protected:
    void SetUp() override {
        prompts = std::make_unique<ScriptedPrompter>();
        frame = std::make_unique<CMainFrame>();
        ASSERT_TRUE(frame->CreateFrame());
        SetMainWindow(frame->m_hWnd);
        frame->Show(SW_SHOW);
        frame->Update();
    }
    void TearDown() override {
        SetMainWindow(nullptr);
        if (frame->IsWindow()) ::DestroyWindow(frame->m_hWnd);
        // Leave no quit message behind for the next test.
        MSG msg;
        while (::PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {}
        frame.reset();
    }
    void ClickBar(POINT pt) {
        CGfxOutBarCtrl& bar = frame->OutBar();
        ::PostMessageA(bar.m_hWnd, WM_LBUTTONUP, 0, At(pt));
        bar.Send(WM_LBUTTONDOWN, MK_LBUTTON, At(pt));
        PumpFor(20);
    }

    ScratchSettings settings;
    std::unique_ptr<ScriptedPrompter> prompts;
    std::unique_ptr<CMainFrame> frame;
};

}  // namespace

TEST_F(FrameTest, FirstToolIsSetUpAtCreation) {
    CWrenlyView* v = frame->GetListView();
    ASSERT_TRUE(v);
    EXPECT_EQ(kListUnneededFiles, v->ListMode);
    EXPECT_EQ(0, frame->OutBar().getSelFolder());
    EXPECT_EQ((std::vector<std::string> {"Name", "Folder", "Length"}), ColumnTitles(*v));
    EXPECT_EQ(120, v->Send(LVM_GETCOLUMNWIDTH, 0));
    EXPECT_EQ(120, v->Send(LVM_GETCOLUMNWIDTH, 1));
    // The columns start at the left edge of the list: nothing is scrolled away.
    RECT first {};
    ::SendMessageA(reinterpret_cast<HWND>(v->Send(LVM_GETHEADER)), HDM_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&first));
    RECT header {};
    ::GetWindowRect(reinterpret_cast<HWND>(v->Send(LVM_GETHEADER)), &header);
    RECT list {};
    ::GetClientRect(v->m_hWnd, &list);
    ::MapWindowPoints(v->m_hWnd, nullptr, reinterpret_cast<POINT*>(&list), 2);
    EXPECT_EQ(0, first.left);
    EXPECT_EQ(list.left, header.left);
    EXPECT_EQ("Kelvo Utilities v1.3", frame->Text());
    EXPECT_EQ(6, frame->OutBar().getFolderCount());
}

TEST_F(FrameTest, EachToolSetsItsColumnsModeAndCheckBoxes) {
    struct Expect { int folder; int mode; std::vector<std::string> titles; std::vector<int> widths; bool checks; };
    const std::vector<Expect> all = {
        {0, kListUnneededFiles, {"Name", "Folder", "Length"}, {120, 120}, false},
        {1, kListRegistry, {"Location", "SubKey", "ValueName", "Data", "Invalid Entry"}, {120, 120, 120, 120}, false},
        {2, kListStartupPrograms, {"Program Name", "Command Line", "Location", "Physical"}, {120, 120, 200}, true},
        {3, kListInvalidShortcuts, {"Name", "Shortcut Location", "Target Location", "Description"}, {120, 120, 120}, false},
        {4, kListHistory, {"Select Removal Options"}, {}, true},
        {5, kListDuplicates, {"Name", "Path", "Size"}, {120, 120}, false},
    };
    CWrenlyView* v = frame->GetListView();
    for (const Expect& e : all) {
        v->AddRow({"left over"}, 0, 0);
        frame->OutBar().setSelFolder(e.folder);
        EXPECT_EQ(e.mode, v->ListMode) << e.folder;
        EXPECT_EQ(e.titles, ColumnTitles(*v)) << e.folder;
        // The last column fills the view; the others keep their widths (the startup tool's are
        // sized to what it lists at once).
        for (size_t i = 0; i < e.widths.size() && e.folder != 2; ++i)
            EXPECT_EQ(e.widths[i], v->Send(LVM_GETCOLUMNWIDTH, i)) << e.folder << " column " << i;
        EXPECT_EQ(e.checks, CheckBoxesOn(*v)) << e.folder;
        // A tool switch empties the list; only the startup tool lists (at once) and the
        // history eraser shows its options.
        EXPECT_EQ(e.folder == 2 || e.folder == 4, v->Count() > 0 && v->Text(0, 0) != "left over") << e.folder;
        EXPECT_EQ(e.folder == 4 || (e.folder == 2 && v->Count() > 0), v->Count() > 0) << e.folder;
        EXPECT_EQ(frame->OutBar().getFolderData(e.folder), kTools[e.folder].folderId);
    }
}

TEST_F(FrameTest, OnlyTheStartupToolScansAndEverySelectionScansAgain) {
    // A Run entry of the test's own, which only a startup scan can list.
    ScratchKey marker("frame");
    const std::string run = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
    HKEY k = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, ::RegCreateKeyExA(HKEY_CURRENT_USER, run.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                                                &k, nullptr));
    const std::string name = "KelvoFrameTest-" + std::to_string(::GetCurrentProcessId());
    ::RegSetValueExA(k, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>("C:\\x.exe"), 9);
    CWrenlyView* v = frame->GetListView();
    auto listed = [&] {
        for (int r = 0; r < v->Count(); ++r)
            if (v->Text(r, 0) == name) return true;
        return false;
    };
    for (int folder : {0, 1, 3, 5}) {
        frame->OutBar().setSelFolder(folder);
        EXPECT_EQ(0, v->Count()) << folder;
    }
    frame->OutBar().setSelFolder(2);
    EXPECT_TRUE(listed());
    // Selecting it again lists again: the row deleted here comes back.
    for (int r = v->Count() - 1; r >= 0; --r) v->DeleteRow(r);
    frame->OutBar().setSelFolder(2);
    EXPECT_TRUE(listed());
    // The toolbar and accelerator commands select through the bar.
    for (int r = v->Count() - 1; r >= 0; --r) v->DeleteRow(r);
    frame->Send(WM_COMMAND, ID_TOOL_STARTUP);
    EXPECT_TRUE(listed());
    frame->Send(WM_COMMAND, ID_TOOL_DUPLICATES);
    EXPECT_EQ(5, frame->OutBar().getSelFolder());
    frame->Send(WM_COMMAND, ID_TOOL_SHORTCUTS);
    EXPECT_EQ(3, frame->OutBar().getSelFolder());
    frame->Send(WM_COMMAND, ID_TOOL_HISTORY);
    EXPECT_EQ(4, frame->OutBar().getSelFolder());
    ::RegDeleteValueA(k, name.c_str());
    ::RegCloseKey(k);
    // The startup scan's own report of the entry's missing program.
    prompts->asked.clear();
}

TEST_F(FrameTest, ClickingAnItemRunsItsCommandAndGapsRunNothing) {
    // The start-up message comes half a second after the window: let it come first.
    EXPECT_TRUE(PumpUntil([this] { return frame->Notifier().text == LoadStr(IDS_NOTIFY_UNNEEDED_FILES); }));
    frame->OutBar().setSelFolder(1);
    CGfxOutBarCtrl& bar = frame->OutBar();
    ASSERT_EQ(5, bar.getItemCount());
    // On an empty list each registry command but the scan tells the user so.
    for (int i = 1; i < 5; ++i) ClickBar(Centre(bar.itemRect(i)));
    EXPECT_EQ(LoadStr(IDS_SELECT_ITEMS), frame->Notifier().text);
    ASSERT_EQ(2u, prompts->asked.size());
    EXPECT_EQ("Please select an item", prompts->asked[0].text);
    EXPECT_NE(std::string::npos, prompts->asked[1].text.find("Backup failed")) << prompts->asked[1].text;
    frame->Notifier().HideNow();
    ClickBar(Centre(bar.itemRect(1)));
    EXPECT_EQ(LoadStr(IDS_LIST_EMPTY), frame->Notifier().text);
    EXPECT_EQ(nullptr, ::GetCapture()) << "the bar releases the capture the command took";

    // Between items and below the last one, nothing runs.
    frame->Notifier().HideNow();
    RECT a = bar.itemRect(0), b = bar.itemRect(1);
    ClickBar(POINT {(a.left + a.right) / 2, (a.bottom + b.top) / 2});
    RECT last = bar.itemRect(4);
    ClickBar(POINT {(last.left + last.right) / 2, last.bottom + 20});
    EXPECT_EQ(2u, prompts->asked.size());
    char bar0[256] = {};
    ::SendMessageA(frame->MessageBar(), SB_GETTEXTA, 0, reinterpret_cast<LPARAM>(bar0));
    EXPECT_EQ(std::string::npos, std::string(bar0).find("Total Invalid")) << "the scan did not run";
    ClickBar(Centre(bar.itemRect(0)));
    ::SendMessageA(frame->MessageBar(), SB_GETTEXTA, 0, reinterpret_cast<LPARAM>(bar0));
    EXPECT_EQ(0u, std::string(bar0).find("Total Invalid entries found: ")) << bar0;
}

// What the busy animation control was told, seen from outside it.
struct AnimationWatch {
    static std::vector<UINT> seen;
    static WNDPROC original;
    static LRESULT CALLBACK Proc(HWND h, UINT m, WPARAM w, LPARAM l) {
        if (m == ACM_PLAY || m == ACM_STOP) seen.push_back(m);
        return ::CallWindowProcA(original, h, m, w, l);
    }
};
std::vector<UINT> AnimationWatch::seen;
WNDPROC AnimationWatch::original = nullptr;

TEST_F(FrameTest, ScanCommandsRunWithTheBusyAnimationAndUnknownIdsDoNothing) {
    HWND clip = frame->BusyAnimation();
    AnimationWatch::original = reinterpret_cast<WNDPROC>(
        ::SetWindowLongPtrA(clip, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&AnimationWatch::Proc)));
    for (const ToolCommand& c : kToolCommands) {
        ToolCommand probe = c;
        probe.run = [](CMainFrame&, CWrenlyView&) { AnimationWatch::seen.push_back(0); };
        AnimationWatch::seen.clear();
        frame->RunToolCommand(probe);
        const std::vector<UINT> expected =
            c.busyAnimation ? std::vector<UINT> {ACM_PLAY, 0, ACM_STOP} : std::vector<UINT> {0};
        EXPECT_EQ(expected, AnimationWatch::seen) << c.caption << " " << c.id;
    }
    AnimationWatch::seen.clear();
    for (UINT id : {3009u, 3012u, 3014u, 3018u, 3026u, 3028u, 3032u, 4000u}) frame->RunToolCommand(id);
    EXPECT_TRUE(AnimationWatch::seen.empty());
    EXPECT_TRUE(prompts->asked.empty());
    ::SetWindowLongPtrA(clip, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(AnimationWatch::original));
    ::ReleaseCapture();
}

TEST_F(FrameTest, StatusTextGoesToTheMessageBarOrTheStatusBar) {
    char buf[256];
    frame->SetStatusText("Scanning HKEY_CURRENT_USER", 0);
    ::SendMessageA(frame->MessageBar(), SB_GETTEXTA, 0, reinterpret_cast<LPARAM>(buf));
    EXPECT_STREQ("Scanning HKEY_CURRENT_USER", buf);
    frame->SetStatusText("Total Invalid entries found: 3", 1);
    ::SendMessageA(frame->StatusBar(), SB_GETTEXTA, 0, reinterpret_cast<LPARAM>(buf));
    EXPECT_STREQ("Total Invalid entries found: 3", buf);
    EXPECT_EQ(IDW_MESSAGE_BAR, ::GetDlgCtrlID(frame->MessageBar()));
    EXPECT_EQ(IDW_STATUS_BAR, ::GetDlgCtrlID(frame->StatusBar()));
    // The message bar draws bold and is cleared by a tool switch.
    LOGFONTA lf {};
    ::GetObjectA(reinterpret_cast<HFONT>(::SendMessageA(frame->MessageBar(), WM_GETFONT, 0, 0)), sizeof lf, &lf);
    EXPECT_EQ(FW_BOLD, lf.lfWeight);
    frame->OutBar().setSelFolder(3);
    ::SendMessageA(frame->MessageBar(), SB_GETTEXTA, 0, reinterpret_cast<LPARAM>(buf));
    EXPECT_STREQ("", buf);
}

TEST_F(FrameTest, NotifierTextsFollowTheTaskbarSetting) {
    frame->OutBar().setSelFolder(1);
    EXPECT_EQ(LoadStr(IDS_NOTIFY_REGISTRY), frame->Notifier().text);
    EXPECT_TRUE(::IsWindowVisible(frame->Notifier().m_hWnd));
    frame->OutBar().setSelFolder(3);
    EXPECT_EQ(NotifierState::Hidden, frame->Notifier().state) << "a tool switch hides the popup";
    EXPECT_FALSE(::IsWindowVisible(frame->Notifier().m_hWnd));
    frame->taskNotify = false;
    frame->ShowNotifierText("nothing");
    frame->OutBar().setSelFolder(0);
    EXPECT_FALSE(::IsWindowVisible(frame->Notifier().m_hWnd));
    EXPECT_NE("nothing", frame->Notifier().text);
}

TEST_F(FrameTest, StartupNotifierComesHalfASecondAfterCreation) {
    // At creation the first tool asked for its message before the popup existed: timer 100.
    EXPECT_FALSE(::IsWindowVisible(frame->Notifier().m_hWnd));
    ASSERT_TRUE(PumpUntil([&] { return ::IsWindowVisible(frame->Notifier().m_hWnd) != FALSE; }, 3000));
    EXPECT_EQ(LoadStr(IDS_NOTIFY_UNNEEDED_FILES), frame->Notifier().text);
}

TEST_F(FrameTest, MinimumSizeAndFirstRunPlace) {
    ASSERT_EQ(1024, ::GetSystemMetrics(SM_CXSCREEN));
    ASSERT_EQ(768, ::GetSystemMetrics(SM_CYSCREEN));
    RECT rc = frame->WindowRect();
    EXPECT_EQ(86, rc.left);
    EXPECT_EQ(64, rc.top);
    EXPECT_EQ(853, rc.right - rc.left);
    EXPECT_EQ(640, rc.bottom - rc.top);

    ::SetWindowPos(frame->m_hWnd, nullptr, 0, 0, 300, 200, SWP_NOMOVE | SWP_NOZORDER);
    rc = frame->WindowRect();
    EXPECT_EQ(500, rc.right - rc.left);
    EXPECT_EQ(450, rc.bottom - rc.top);

    // A left edge dragged inwards keeps the right edge where it was.
    RECT current {100, 100, 700, 600};
    WINDOWPOS pos {};
    pos.x = 350;
    pos.y = 100;
    pos.cx = 350;
    pos.cy = 500;
    ApplyMinimumSize(current, pos);
    EXPECT_EQ(200, pos.x);
    EXPECT_EQ(500, pos.cx);
    pos = WINDOWPOS {};
    pos.x = 100;
    pos.y = 300;
    pos.cx = 600;
    pos.cy = 300;
    ApplyMinimumSize(current, pos);
    EXPECT_EQ(150, pos.y);
    EXPECT_EQ(450, pos.cy);
    pos = WINDOWPOS {};
    pos.flags = SWP_NOSIZE;
    pos.cx = 10;
    ApplyMinimumSize(current, pos);
    EXPECT_EQ(10, pos.cx);
}

TEST_F(FrameTest, MovingToAScreenOfAnotherScaleLaysEverythingOutAgain) {
    auto iconSize = [](LRESULT list) {
        int cx = 0, cy = 0;
        ::ImageList_GetIconSize(reinterpret_cast<HIMAGELIST>(list), &cx, &cy);
        return cx;
    };
    auto fontHeight = [](HWND bar) {
        LOGFONTA lf {};
        ::GetObjectA(reinterpret_cast<HFONT>(::SendMessageA(bar, WM_GETFONT, 0, 0)), sizeof lf, &lf);
        return std::abs(lf.lfHeight);
    };
    frame->OutBar().setSelFolder(1);
    CWrenlyView* v = frame->GetListView();
    const int barFont = fontHeight(frame->MessageBar());
    const int left = frame->Splitter().LeftWidth();
    // The system tells a per-monitor aware window the new DPI and where it should go.
    auto moveTo = [&](UINT dpi, const RECT& place) {
        frame->Send(WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&place));
    };
    const int before = GdiObjectCount();
    for (int round = 0; round < 3; ++round) {
        RECT larger {20, 10, 20 + 1000, 10 + 720};
        moveTo(144, larger);
        EXPECT_EQ(144u, frame->Dpi());
        RECT rc = frame->WindowRect();
        EXPECT_EQ(1000, rc.right - rc.left);
        EXPECT_EQ(720, rc.bottom - rc.top);
        EXPECT_EQ(24, iconSize(reinterpret_cast<LRESULT>(frame->OutBar().getImageList(2))));
        EXPECT_EQ(24, iconSize(::SendMessageA(frame->ToolBar(), TB_GETIMAGELIST, 0, 0)));
        EXPECT_GT(HIWORD(::SendMessageA(frame->ToolBar(), TB_GETBUTTONSIZE, 0, 0)), 24);
        RECT toolbar {};
        ::GetClientRect(frame->ToolBar(), &toolbar);
        EXPECT_GE(toolbar.bottom, HIWORD(::SendMessageA(frame->ToolBar(), TB_GETBUTTONSIZE, 0, 0)));
        EXPECT_EQ(24, iconSize(v->Send(LVM_GETIMAGELIST, LVSIL_SMALL)));
        EXPECT_EQ(180, v->Send(LVM_GETCOLUMNWIDTH, 0));
        EXPECT_GE(frame->Splitter().LeftWidth(), left * 3 / 2);
        RECT header = frame->OutBar().headerRect(0);
        EXPECT_EQ(35, header.bottom - header.top) << "the bar's headers follow the scale";
        RECT clip {};
        ::GetClientRect(frame->BusyAnimation(), &clip);
        EXPECT_EQ(72, clip.right);
        EXPECT_EQ(24, clip.bottom);
        EXPECT_GE(fontHeight(frame->MessageBar()), barFont * 3 / 2 - 1);
        ::SetWindowPos(frame->m_hWnd, nullptr, 0, 0, 100, 100, SWP_NOMOVE | SWP_NOZORDER);
        rc = frame->WindowRect();
        EXPECT_EQ(750, rc.right - rc.left) << "the minimum size follows the scale";

        RECT back {86, 64, 86 + 853, 64 + 640};
        moveTo(96, back);
        EXPECT_EQ(16, iconSize(reinterpret_cast<LRESULT>(frame->OutBar().getImageList(2))));
        EXPECT_EQ(16, iconSize(::SendMessageA(frame->ToolBar(), TB_GETIMAGELIST, 0, 0)));
        EXPECT_EQ(120, v->Send(LVM_GETCOLUMNWIDTH, 0));
        EXPECT_EQ(left, frame->Splitter().LeftWidth());
        EXPECT_EQ(barFont, fontHeight(frame->MessageBar()));
    }
    EXPECT_EQ(before, GdiObjectCount()) << "what the window made for one scale goes with the next";
}

TEST_F(FrameTest, ClosingSavesThePlaceUnlessTurnedOffOrMaximised) {
    ::SetWindowPos(frame->m_hWnd, nullptr, 40, 30, 640, 500, SWP_NOZORDER);
    frame->Send(WM_CLOSE);
    EXPECT_EQ(40, ReadSettingInt("Settings", "x", -1));
    EXPECT_EQ(30, ReadSettingInt("Settings", "y", -1));
    EXPECT_EQ(640, ReadSettingInt("Settings", "cx", -1));
    EXPECT_EQ(500, ReadSettingInt("Settings", "cy", -1));

    // The next window opens there; turning the saving off keeps the old place.
    CMainFrame second;
    ASSERT_TRUE(second.CreateFrame());
    RECT rc = second.WindowRect();
    EXPECT_EQ(40, rc.left);
    EXPECT_EQ(640, rc.right - rc.left);
    EXPECT_TRUE(second.savePositionOnExit);
    second.Send(WM_COMMAND, ID_VIEW_SAVE_POSITION);
    EXPECT_FALSE(second.savePositionOnExit);
    ::SetWindowPos(second.m_hWnd, nullptr, 10, 10, 700, 520, SWP_NOZORDER);
    second.Send(WM_CLOSE);
    EXPECT_EQ(40, ReadSettingInt("Settings", "x", -1));

    CMainFrame third;
    ASSERT_TRUE(third.CreateFrame());
    third.Show(SW_MAXIMIZE);
    third.Send(WM_CLOSE);
    EXPECT_EQ(640, ReadSettingInt("Settings", "cx", -1));
}

TEST_F(FrameTest, StoredPlaceOffScreenOrTooSmallStartsVisible) {
    struct Case { RECT stored, work, placed; };
    const Case cases[] = {
        {{-40000, -40000, -40000 + 853, -40000 + 640}, {0, 0, 1024, 740}, {0, 0, 853, 640}},
        {{5000, 3000, 5700, 3500}, {0, 0, 1024, 740}, {324, 240, 1024, 740}},
        {{100, 100, 200, 150}, {0, 0, 1024, 740}, {100, 100, 600, 550}},
        {{-10, 50, 3000, 2000}, {0, 0, 1024, 740}, {0, 0, 1024, 740}},
        // A second monitor left of the first keeps a window that lies on it.
        {{-1500, 100, -900, 600}, {-1600, 0, 0, 900}, {-1500, 100, -900, 600}},
        {{10, 10, 30, 30}, {0, 0, 400, 300}, {0, 0, 400, 300}},  // a screen smaller than the minimum
    };
    for (const Case& c : cases) {
        RECT r = PlaceInWorkArea(c.stored, c.work);
        EXPECT_TRUE(::EqualRect(&r, &c.placed)) << c.stored.left << "," << c.stored.top << " -> " << r.left << ","
                                                << r.top << " " << r.right - r.left << "x" << r.bottom - r.top;
    }

    for (int place : {-40000, 1000000}) {
        WriteSettingInt("Settings", "x", place);
        WriteSettingInt("Settings", "y", place);
        WriteSettingInt("Settings", "cx", 200);
        WriteSettingInt("Settings", "cy", 100);
        CMainFrame next;
        ASSERT_TRUE(next.CreateFrame());
        MONITORINFO monitor {sizeof monitor};
        ASSERT_TRUE(::GetMonitorInfoA(::MonitorFromWindow(next.m_hWnd, MONITOR_DEFAULTTONEAREST), &monitor));
        RECT rc = next.WindowRect(), inside {};
        ::IntersectRect(&inside, &rc, &monitor.rcWork);
        EXPECT_TRUE(::EqualRect(&inside, &rc)) << place << ": " << rc.left << "," << rc.top;
        EXPECT_EQ(500, rc.right - rc.left);
        EXPECT_EQ(450, rc.bottom - rc.top);
        // What is saved on close is the place it was shown at.
        next.Send(WM_CLOSE);
        EXPECT_EQ(rc.left, ReadSettingInt("Settings", "x", -1));
        EXPECT_EQ(500, ReadSettingInt("Settings", "cx", -1));
    }
}

TEST_F(FrameTest, MenuChecksFollowStatusBarAndSavePosition) {
    HMENU view = ::GetSubMenu(::GetMenu(frame->m_hWnd), 0);
    frame->Send(WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(view), 0);
    EXPECT_TRUE(::GetMenuState(view, ID_VIEW_STATUSBAR, MF_BYCOMMAND) & MF_CHECKED);
    EXPECT_TRUE(::GetMenuState(view, ID_VIEW_SAVE_POSITION, MF_BYCOMMAND) & MF_CHECKED);
    frame->Send(WM_COMMAND, ID_VIEW_STATUSBAR);
    frame->Send(WM_COMMAND, ID_VIEW_SAVE_POSITION);
    frame->Send(WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(view), 0);
    EXPECT_FALSE(::IsWindowVisible(frame->StatusBar()));
    EXPECT_FALSE(::GetMenuState(view, ID_VIEW_STATUSBAR, MF_BYCOMMAND) & MF_CHECKED);
    EXPECT_FALSE(::GetMenuState(view, ID_VIEW_SAVE_POSITION, MF_BYCOMMAND) & MF_CHECKED);
    // Without the status bar the splitter reaches the bottom of the window.
    RECT client = frame->ClientRect(), split;
    ::GetWindowRect(frame->Splitter().m_hWnd, &split);
    ::MapWindowPoints(nullptr, frame->m_hWnd, reinterpret_cast<POINT*>(&split), 2);
    EXPECT_EQ(client.bottom, split.bottom);
}

TEST_F(FrameTest, OptionsHintAppearsOncePerUser) {
    int sheets = 0;
    COptionsSheet::onCreated = [&](COptionsSheet& sheet) {
        EXPECT_EQ(0, sheet.StartPage());
        ++sheets;
        ::PostMessageA(sheet.Window(), PSM_PRESSBUTTON, PSBTN_CANCEL, 0);
    };
    frame->Send(WM_COMMAND, ID_OPTIONS);
    frame->Send(WM_COMMAND, ID_OPTIONS);
    frame->Send(WM_COMMAND, ID_CONFIG_DRIVES);
    EXPECT_EQ(3, sheets);
    ASSERT_EQ(1u, prompts->asked.size());
    EXPECT_EQ("Tip:-  right-click on the listview for quick access to options", prompts->asked[0].text);
    EXPECT_EQ(1, ReadSettingInt("Settings", "CtxMnuOptionsTip", 0));
    COptionsSheet::onCreated = nullptr;
}

TEST_F(FrameTest, ToolbarButtonsAndPrompts) {
    HWND tb = frame->ToolBar();
    ASSERT_TRUE(tb);
    EXPECT_EQ(10, ::SendMessageA(tb, TB_BUTTONCOUNT, 0, 0));
    const int expected[] = {32772, 32775, 32773, 32774, 32781, 32782, 0, 32777, 32780, 32776};
    for (int i = 0; i < 10; ++i) {
        TBBUTTON b {};
        ::SendMessageA(tb, TB_GETBUTTON, i, reinterpret_cast<LPARAM>(&b));
        EXPECT_EQ(expected[i], b.idCommand) << i;
    }
    // Fly-by prompts in the status bar.
    NMTBHOTITEM hot {};
    hot.hdr = {tb, 0xE800, static_cast<UINT>(TBN_HOTITEMCHANGE)};
    hot.idNew = 32782;
    frame->Send(WM_NOTIFY, 0xE800, reinterpret_cast<LPARAM>(&hot));
    char buf[256];
    ::SendMessageA(frame->StatusBar(), SB_GETTEXTA, 0, reinterpret_cast<LPARAM>(buf));
    EXPECT_STREQ("Find duplicate copies of files", buf);
    hot.dwFlags = HICF_LEAVING;
    frame->Send(WM_NOTIFY, 0xE800, reinterpret_cast<LPARAM>(&hot));
    ::SendMessageA(frame->StatusBar(), SB_GETTEXTA, 0, reinterpret_cast<LPARAM>(buf));
    EXPECT_STREQ("Press F1 for Help", buf);
}

TEST(HelpPages, TopicFilesBesideTheProgram) {
    char module[MAX_PATH];
    ::GetModuleFileNameA(nullptr, module, MAX_PATH);
    std::string folder(module);
    folder.resize(folder.rfind('\\'));
    for (int topic : {50, 20, 15, 40, 60, 30, 90, 35, 21, 32}) {
        std::string page = HelpPagePath(folder, topic);
        EXPECT_EQ(folder + "\\help\\topic-" + std::to_string(topic) + ".html", page);
        EXPECT_TRUE(FileExists(page)) << page;
    }
    EXPECT_EQ(folder + "\\help\\index.html", HelpPagePath(folder, 0));
    EXPECT_EQ(folder + "\\help\\index.html", HelpPagePath(folder, 77));
    EXPECT_TRUE(FileExists(HelpPagePath(folder, 0)));
}
