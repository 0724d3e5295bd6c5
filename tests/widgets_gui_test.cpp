// The widgets as the user meets them: the outlook bar under real mouse messages, the taskbar
// notifier and its timers, the tip of the day, the cancel and animation dialogs; and the windows
// at 100% display scale, then again in this program started at 150% and 200%.
#include "app/mainframe.h"
#include "framework/dpi.h"
#include "framework/settings.h"
#include "framework/strings.h"
#include "kit.h"
#include "options/optionssheet.h"
#include "resource.h"
#include "widgets/progressdlg.h"
#include "widgets/tipdlg.h"

#include <gtest/gtest.h>

#include <array>
#include <functional>

namespace {

int Width(const RECT& r) { return r.right - r.left; }
int Height(const RECT& r) { return r.bottom - r.top; }
std::array<LONG, 4> Box(const RECT& r) { return {r.left, r.top, r.right, r.bottom}; }
POINT Centre(const RECT& r) { return POINT {(r.left + r.right) / 2, (r.top + r.bottom) / 2}; }
bool Inside(const RECT& inner, const RECT& outer) {
    RECT both;
    return ::IntersectRect(&both, &inner, &outer) && ::EqualRect(&both, &inner);
}
COLORREF Pixel(HWND h, int x, int y) {
    HDC dc = ::GetDC(h);
    COLORREF c = ::GetPixel(dc, x, y);
    ::ReleaseDC(h, dc);
    return c;
}
// The rectangle DrawTextA needs for `text` in `font` (`width` wide for word-wrapped text).
RECT TextRect(HFONT font, const std::string& text, UINT format, int width = 0) {
    HDC dc = ::GetDC(nullptr);
    HGDIOBJ old = ::SelectObject(dc, font);
    RECT rc {0, 0, width, 0};
    ::DrawTextA(dc, text.c_str(), static_cast<int>(text.size()), &rc, format | DT_CALCRECT);
    ::SelectObject(dc, old);
    ::ReleaseDC(nullptr, dc);
    return rc;
}
bool InShape(HWND h, int x, int y) {
    HRGN shape = ::CreateRectRgn(0, 0, 0, 0);
    bool in = ::GetWindowRgn(h, shape) != ERROR && ::PtInRegion(shape, x, y);
    ::DeleteObject(shape);
    return in;
}

void CALLBACK TakeTheMouse(HWND, UINT, UINT_PTR id, DWORD) { ::KillTimer(nullptr, id), ::ReleaseCapture(); }

// The outlook bar with five folders of its own, folder f holding f + 1 items (data 10 f + i).
// What reaches its owner is noted as code * 100 + argument.
class OutBarTest : public ::testing::Test {
protected:
    void SetUp() override {
        owner.OnMessage(WM_OUTBAR_NOTIFY, [this](WPARAM code, LPARAM l) {
            notes.push_back(static_cast<int>(code * 100 + l));
            captureSeen = ::GetCapture();
            // The main window takes the mouse while it runs a command; the bar gives it back.
            if (code == kOutBarItemClicked) ::SetCapture(owner.m_hWnd);
            return LRESULT(0);
        });
        ASSERT_TRUE(host.Create(nullptr, RECT {40, 20, 440, 620}, "bar", WS_OVERLAPPEDWINDOW | WS_VISIBLE));
        ASSERT_TRUE(owner.Create(nullptr, RECT {0, 0, 10, 10}, "owner", WS_POPUP));
        ASSERT_TRUE(bar.create(WS_VISIBLE, RECT {0, 0, 160, 520}, host.m_hWnd, 1, 0x140));
        bar.setOwner(owner.m_hWnd);
        static HIMAGELIST images = ::ImageList_Create(16, 16, ILC_COLOR24 | ILC_MASK, 0, 1);  // no pictures, their size
        bar.setImageList(images, 2);
        bar.setAnimationSpeed(0);  // the real slide, without the pauses
        for (int f = 0; f < 5; ++f) {
            bar.addFolder("Folder " + std::to_string(f), 100 + f);
            for (int i = 0; i <= f; ++i) bar.insertItem(f, -1, "Item " + std::to_string(i), 0, 10 * f + i);
        }
    }
    void Open(int folder) {
        bar.setSelFolder(folder);
        notes.clear();
        bar.Update();
    }
    POINT Item(int i) const { return Centre(bar.itemRect(i)); }
    POINT Header(int i) const { return Centre(bar.headerRect(i)); }
    // The user presses at `down`, moves over `moves` and lets go at the last of them (at `down`
    // when none): the moves and the release wait in the queue, where the click loop reads them.
    void Press(POINT down, std::initializer_list<POINT> moves = {}) {
        for (POINT p : moves) ::PostMessageA(bar.m_hWnd, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(p.x, p.y));
        const POINT up = moves.size() ? *(moves.end() - 1) : down;
        ::PostMessageA(bar.m_hWnd, WM_LBUTTONUP, 0, MAKELPARAM(up.x, up.y));
        Hold(down, 8000);
        PumpFor(10);  // a press on nothing starts no click loop; its release must not end the next one
    }
    // Holds the button at `down` until the click loop ends by itself, or until something else
    // takes the mouse after `ms` (which also ends a loop that would wait for ever).
    void Hold(POINT down, UINT ms) {
        UINT_PTR thief = ::SetTimer(nullptr, 0, ms, &TakeTheMouse);
        bar.Send(WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(down.x, down.y));
        ::KillTimer(nullptr, thief);
    }

    CWindowImpl host, owner;
    CGfxOutBarCtrl bar;
    std::vector<int> notes;
    HWND captureSeen = nullptr;
};

}  // namespace

TEST_F(OutBarTest, LayoutAndHits) {
    Open(2);  // headers 0-2 above its three items, 3 and 4 at the bottom
    const RECT client = bar.ClientRect(), area = bar.folderAreaRect();
    const int h = bar.folderHeight;
    for (int i = 0; i < 5; ++i) {
        const int top = i <= 2 ? i * h - 1 : client.bottom - h * (5 - i);
        EXPECT_EQ(Box(RECT {0, top, client.right, top + h}), Box(bar.headerRect(i))) << "header " << i;
    }
    EXPECT_EQ(Box(RECT {0, 3 * h - 1, client.right, client.bottom - 2 * h}), Box(area));
    // The first picture centred at the top of the area; no fourth item.
    RECT image, label;
    ASSERT_TRUE(bar.itemRects(0, &image, &label) && !bar.itemRects(3, &image, &label));
    EXPECT_EQ(Box(RECT {(client.right - 16) / 2, area.top + 5, (client.right + 16) / 2, area.top + 21}), Box(image));
    const struct { POINT pt; int area, index; } hits[] = {
        {Header(4), CGfxOutBarCtrl::htFolder, 4}, {Item(1), CGfxOutBarCtrl::htItem, 1},  // and below, a label:
        {{80, bar.itemRect(2).bottom - 1}, CGfxOutBarCtrl::htItem, 2}, {{3, Item(0).y}, CGfxOutBarCtrl::htNothing, -1},
        {{80, (bar.itemRect(1).bottom + bar.itemRect(2).top) / 2}, CGfxOutBarCtrl::htNothing, -1},  // between two
        {{80, area.bottom - 3}, CGfxOutBarCtrl::htNothing, -1},                                      // below all
    };
    for (const auto& hit : hits) {
        int index = 7;
        EXPECT_EQ(hit.area * 10 + hit.index, bar.hitTest(hit.pt, &index) * 10 + index) << hit.pt.x << "," << hit.pt.y;
    }
    EXPECT_EQ(bar.headerColour, Pixel(bar, 4, Header(4).y));
}

TEST_F(OutBarTest, AHeaderClickOpensItsFolder) {
    Press(Header(3));
    EXPECT_EQ(103u, bar.getFolderData());
    EXPECT_GT(bar.getLastAnimationSteps(), 1) << "the headers slide";
    EXPECT_TRUE(captureSeen == bar.m_hWnd && !::GetCapture()) << "the bar holds the mouse while the owner answers";
    Press(Header(3));                          // the open folder's own: nothing
    Press(Header(4), {Header(1)});             // let go on another: nothing
    Press(Header(0), {Header(4), Header(0)});  // off and back: it counts
    bar.setSelFolder(0);                       // from outside (a toolbar button): reported all the same
    bar.setSelFolder(5);                       // no such folder: nothing
    EXPECT_EQ((std::vector<int> {503, 500, 500}), notes);
}

TEST_F(OutBarTest, AnItemClickReportsItsPlace) {
    Open(4);
    Press(Item(3));
    EXPECT_TRUE(captureSeen == bar.m_hWnd && !::GetCapture()) << "the mouse given back after the owner's answer";
    Press(POINT {80, bar.itemRect(0).bottom - 2});                           // on the label
    Press(POINT {80, (bar.itemRect(0).bottom + bar.itemRect(1).top) / 2});  // between two: nothing
    Press(Item(2), {POINT {80, bar.folderAreaRect().bottom - 3}});          // let go off it: nothing
    Press(Item(2), {POINT {2, 2}, Item(2)});                                 // off and back: it counts
    ::PostMessageA(bar.m_hWnd, WM_KEYDOWN, VK_ESCAPE, 0);                   // Escape gives it up
    Press(Item(1));  // the release left in the queue reaches the bar as an ordinary message
    Hold(Item(1), 50);  // something else takes the mouse: no click either
    Press(Item(4));
    EXPECT_EQ((std::vector<int> {103, 100, 102, 104}), notes);
}

TEST_F(OutBarTest, ScrollArrowsWhenItemsOverflow) {
    ::MoveWindow(bar.m_hWnd, 0, 0, 160, 220, TRUE);  // room for two items
    Open(4);
    const RECT area = bar.folderAreaRect();
    const int cx = ::GetSystemMetrics(SM_CXVSCROLL);
    RECT down, up;
    ASSERT_TRUE(bar.scrollArrowRect(false, &down) && !bar.scrollArrowRect(true, &up));
    EXPECT_EQ(Box(RECT {area.right - 5 - cx, area.bottom - 5 - cx, area.right - 5, area.bottom - 5}), Box(down));
    Press(Centre(down));  // one step, and the up arrow shows
    ASSERT_TRUE(bar.scrollArrowRect(true, &up));
    EXPECT_EQ(area.top + bar.itemOffsetY, bar.itemRect(1).top) << "item 1 heads the area";
    Hold(Centre(down), 8000);  // held: a step every 300 ms, until the last item fits
    EXPECT_TRUE(!bar.scrollArrowRect(false, nullptr) && bar.itemRect(4).bottom <= area.bottom);
    const int last = bar.getFirstVisibleItem();
    Press(Centre(up), {POINT {2, area.bottom - 2}});  // let go off the arrow: no step
    Press(Centre(up));
    Press(Item(last - 1));  // an item scrolled in reports its real place
    EXPECT_EQ((std::vector<int> {100 + last - 1}), notes);
    bar.setSelFolder(3);
    EXPECT_EQ(0, bar.getFirstVisibleItem()) << "another folder starts at the top";
}

// ---------------------------------------------------------------------------------------------
namespace {
using State = NotifierState;
using Edge = TaskbarEdge;
const UINT_PTR kAppear = CTaskbarNotifier::kAppearTimer, kWait = CTaskbarNotifier::kWaitTimer,
               kDisappear = CTaskbarNotifier::kDisappearTimer;

// The taskbar notifier on a made-up screen 1024 pixels wide, its timers ticked by hand.
class NotifierTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(owner.Create(nullptr, RECT {40, 40, 440, 340}, "owner", WS_OVERLAPPEDWINDOW | WS_VISIBLE));
        ASSERT_TRUE(notifier.CreateWnd(owner.m_hWnd) && notifier.LoadSkin(IDB_NOTIFIER_SKIN));
        notifier.locateTaskbar = [this] { return TaskbarPlace {taskbar, 1024}; };
        ASSERT_EQ(10u, notifier.timerResolution);  // the NT family's steps, which Wine reports
    }
    // Ticks `timer` `times` times, or until the popup is in state `until`; the number of ticks.
    int Tick(UINT_PTR timer, int times, State until = State(-1)) {
        int ticks = 0;
        for (; ticks < times && notifier.state != until; ++ticks) notifier.Send(WM_TIMER, timer);
        return ticks;
    }
    std::array<LONG, 4> Place() const { return Box(notifier.WindowRect()); }

    RECT taskbar {0, 738, 1024, 768};
    CWindowImpl owner;
    CTaskbarNotifier notifier;
};
}  // namespace

TEST(NotifierTiming, StepsFollowFromTheTimes) {
    const struct { UINT time; int distance; UINT resolution, delay; int step; } cases[] = {
        {200, 150, 10, 10, 7}, {200, 240, 10, 10, 12}, {200, 150, 50, 50, 37},
        {5000, 150, 10, 33, 1},                         // no more ticks than pixels
        {10, 150, 10, 10, 150}, {0, 150, 50, 50, 150},  // at the resolution: one jump
        {200, 0, 10, 200, 0},                           // nothing to travel: no division by zero
    };
    for (const auto& c : cases) {
        std::pair<UINT, int> got;
        CTaskbarNotifier::Steps(c.time, c.distance, c.resolution, got.first, got.second);
        EXPECT_EQ(std::make_pair(c.delay, c.step), got) << c.time << " ms, " << c.distance << " pixels";
    }
}

TEST_F(NotifierTest, SlidesOutOfEachTaskbarEdgeAndBack) {
    const HWND h = notifier.m_hWnd;
    EXPECT_TRUE(InShape(h, 120, 75) && InShape(h, 239, 75) && !InShape(h, 0, 0) && !InShape(h, 239, 149));
    // From the taskbar's far end, 7 pixels a tick up or down, 12 sideways; back the same way.
    const struct { RECT bar; Edge edge; RECT start, first, full; int ticks; } cases[] = {
        {{0, 738, 1024, 768}, Edge::Bottom, {784, 738, 1024, 738}, {784, 731, 1024, 738}, {784, 584, 1024, 738}, 23},
        {{0, 0, 1024, 30}, Edge::Top, {784, 30, 1024, 30}, {784, 30, 1024, 37}, {784, 30, 1024, 184}, 23},
        {{994, 0, 1024, 768}, Edge::Right, {994, 618, 994, 768}, {982, 618, 994, 768}, {754, 618, 994, 768}, 21},
        {{0, 0, 30, 768}, Edge::Left, {30, 618, 30, 768}, {30, 618, 42, 768}, {30, 618, 270, 768}, 21},
    };
    for (const auto& c : cases) {
        taskbar = c.bar;
        notifier.ShowText("hello", 200, 10000, 200);
        const int edge = static_cast<int>(c.edge);
        EXPECT_EQ(edge, static_cast<int>(notifier.edge));
        EXPECT_TRUE(::IsWindowVisible(h) && ::GetActiveWindow() != h) << "shown, not active: " << edge;
        EXPECT_EQ(Box(c.start), Place()) << edge;
        Tick(kAppear, 1);
        EXPECT_EQ(Box(c.first), Place()) << edge;
        EXPECT_EQ(c.ticks - 1, Tick(kAppear, 1000, State::Waiting)) << edge;
        EXPECT_EQ(Box(c.full), Place()) << edge;
        Tick(kWait, 1);
        EXPECT_EQ(c.ticks, Tick(kDisappear, 1000, State::Hidden)) << edge;
        EXPECT_FALSE(::IsWindowVisible(notifier.m_hWnd)) << edge;
    }
    // Less than 20 pixels from the screen's edges a taskbar is at them (an auto-hide one sticks
    // out a little); 20 pixels off it is not.
    const std::pair<RECT, Edge> slack[] = {{{-4, 740, 1028, 772}, Edge::Bottom}, {{-4, 19, 1005, 49}, Edge::Top},
                                           {{20, 738, 1024, 768}, Edge::Right}, {{19, 0, 60, 768}, Edge::Left}};
    for (const auto& [bar, edge] : slack) {
        taskbar = bar;
        notifier.ShowText("a", 200, 10000, 200);
        EXPECT_EQ(static_cast<int>(edge), static_cast<int>(notifier.edge)) << bar.left << "," << bar.top;
    }
}

TEST_F(NotifierTest, ANewTextWhileItIsOut) {
    notifier.ShowText("first", 200, 10000, 200);
    Tick(kAppear, 2);
    const auto appearing = Place();
    notifier.ShowText("second", 200, 10000, 200);  // while it appears: only the text changes
    EXPECT_EQ(appearing, Place());
    Tick(kAppear, 1000, State::Waiting);
    Tick(kWait, 1);
    Tick(kDisappear, 5);
    notifier.ShowText("again", 200, 10000, 200);  // while it disappears: whole at once, to wait again
    EXPECT_EQ(Box(RECT {784, 588, 1024, 738}), Place());
    Tick(kWait, 1);
    Tick(kDisappear, 1);
    EXPECT_EQ(Box(RECT {784, 595, 1024, 738}), Place());
    notifier.Send(WM_LBUTTONUP, 0, MAKELPARAM(20, 20));  // a click hides it at once
    EXPECT_FALSE(::IsWindowVisible(notifier.m_hWnd));
}

TEST_F(NotifierTest, RealTimersRunTheShowAndHideNowStopsItForGood) {
    notifier.ShowText("first", 100, 300, 100);
    EXPECT_TRUE(PumpUntil([&] { return notifier.state == State::Waiting; }));
    EXPECT_TRUE(PumpUntil([&] { return notifier.state == State::Hidden; }));
    for (int ticks : {0, 3, 40}) {  // before the first tick, while it appears, while it waits
        notifier.ShowText("gone", ticks ? 200 : 10, 50, ticks ? 200 : 10);
        Tick(kAppear, ticks);
        notifier.HideNow();
        PumpFor(300);
        EXPECT_TRUE(notifier.state == State::Hidden && !::IsWindowVisible(notifier.m_hWnd)) << ticks;
    }
}

TEST_F(NotifierTest, ATextTooLongForTheSkinMakesItTallerAtOnce) {
    notifier.SetTextArea(15, 30, notifier.skinWidth - 10, notifier.skinHeight - 30);
    notifier.ShowText("short", 10, 10000, 10);
    Tick(kAppear, 1000, State::Waiting);
    const std::string lines = "1\n2\n3\n4\n5\n6\n7\n8\n9\n10\n11\n12";
    const int before = GdiObjectCount();
    for (int round = 0; round < 5; ++round) {
        notifier.ShowText(lines, 200, 10000, 200);
        const RECT area = notifier.textArea;  // grown as much as the skin; the text fits it
        ASSERT_GT(notifier.skinHeight, 150);
        EXPECT_EQ(Box(RECT {784, 738 - notifier.skinHeight, 1024, 738}), Place());
        EXPECT_EQ(notifier.skinHeight - 30, area.bottom);
        EXPECT_LE(Height(TextRect(notifier.normalFont, lines, DT_WORDBREAK, Width(area))), Height(area));
        EXPECT_TRUE(InShape(notifier.m_hWnd, 0, 75) && !InShape(notifier.m_hWnd, 0, notifier.skinHeight - 1));
        notifier.ShowText("short again", 200, 10000, 200);
        EXPECT_EQ(Box(RECT {784, 588, 1024, 738}), Place());
    }
    EXPECT_EQ(before, GdiObjectCount()) << "skins and shapes of earlier texts left behind";
}

// ---------------------------------------------------------------------------------------------
namespace {
// The tip of the day on a tips file of the test's own; the settings on a scratch key.
class TipTest : public ::testing::Test {
protected:
    // One showing as at a program start: the tip the dialog would show.
    std::string Next(std::string path = "") { return CDailyTipDlg(-1, nullptr, path.empty() ? tips : path).tipText; }
    kit::ScratchSettings settings;
    ScratchDir dir {"tip"};
    const std::string tips = dir / "tips.txt", trouble = LoadStr(IDS_TIPS_FILE_TROUBLE);
    ScriptedPrompter prompter;
};
}  // namespace

TEST_F(TipTest, TipsComeInTurn) {
    const std::string x999(999, 'x');
    const struct { const char* what; std::string file; int from; std::vector<std::string> shown; } cases[] = {
        {"comments, blank and indented lines", "; tips\n\nFirst\n  indented\n\ttabbed\n;not\nSecond\n", 0,
         {"First\r\n", "Second\r\n", "First\r\n"}},
        {"Windows line ends, a last line without one", ";c\r\n\r\nOne\r\nTwo", 0, {"One\r\n", "Two", "One\r\n"}},
        {"an overlong line shows its start", std::string(1500, 'x') + "\nShort\n", 0, {x999, "Short\r\n", x999}},
        {"no tips", ";only\n\n; comments\n   \n", 0, {trouble, trouble}},
        {"no tips, from the middle", ";only\n;comments\n", 6, {trouble}},
        {"an empty file", "", 0, {trouble}},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(WriteFileText(tips, c.file));
        WriteSettingInt("Settings", "FilePos", c.from);
        std::vector<std::string> shown;
        while (shown.size() < c.shown.size()) shown.push_back(Next());
        EXPECT_EQ(c.shown, shown) << c.what;
    }
    EXPECT_TRUE(prompter.asked.empty());
}

TEST_F(TipTest, ThePlaceIsKeptUntilTheFileChanges) {
    ASSERT_TRUE(WriteFileText(tips, ";c\nAlpha\nBeta\nGamma\n"));
    EXPECT_EQ("Alpha\r\n", Next());
    EXPECT_EQ(9, ReadSettingInt("Settings", "FilePos", -7));  // just after "Alpha\n", with the file's time
    const std::string stamp = ReadSettingString("Settings", "TimeStamp", "");
    WriteSettingString("Settings", "TimeStamp", "Mon Jan  1 00:00:00 2001");  // edited since: from the top
    EXPECT_EQ("Alpha\r\n", Next());
    EXPECT_EQ(stamp, ReadSettingString("Settings", "TimeStamp", ""));
    WriteSettingInt("Settings", "FilePos", 14);
    EXPECT_EQ("Gamma\r\n", Next());
    WriteSettingInt("Settings", "FilePos", 42);  // a missing file says so and keeps the place
    EXPECT_EQ(LoadStr(IDS_TIPS_FILE_MISSING), Next(dir / "none.txt"));
    EXPECT_EQ(42, ReadSettingInt("Settings", "FilePos", -7));
    WriteSettingInt("Settings", "FilePos", -5);  // a place it cannot reach: trouble, and no tip
    EXPECT_EQ("", Next());
    ASSERT_EQ(1u, prompter.asked.size());
    EXPECT_EQ(trouble, prompter.asked[0].text);
}

TEST_F(TipTest, TheDialogItsButtonsAndTheStartUpBox) {
    ASSERT_TRUE(WriteFileText(tips, "Alpha\nBeta\n"));
    for (int button : {IDOK, IDCANCEL}) {  // OK is the "&Cancel" button; Esc stores nothing
        CDailyTipDlg dlg(-1, nullptr, tips);
        ASSERT_TRUE(dlg.CreateModeless(nullptr));
        EXPECT_EQ(button == IDOK, ::IsDlgButtonChecked(dlg.m_hWnd, IDC_TIP_STARTUP) == BST_CHECKED);
        ::CheckDlgButton(dlg.m_hWnd, IDC_TIP_STARTUP, button == IDOK ? BST_UNCHECKED : BST_CHECKED);
        dlg.Send(WM_COMMAND, MAKEWPARAM(IDC_TIP_NEXT, BN_CLICKED), 0);
        EXPECT_EQ("Beta\r\n", dlg.ItemText(IDC_TIP_TEXT));
        dlg.Send(WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), reinterpret_cast<LPARAM>(dlg.Item(button)));
        EXPECT_EQ(1, ReadSettingInt("Settings", "StartUpTip", -7)) << "stored the other way round: 1 is off";
    }
    EXPECT_EQ("Alpha\r\n", Next()) << "the place of the last tip shown was kept";
    CDailyTipDlg none(-1, nullptr, dir / "none.txt");  // no tip to move on to
    ASSERT_TRUE(none.CreateModeless(nullptr));
    EXPECT_TRUE(none.ItemText(IDC_TIP_TEXT) == none.tipText && !::IsWindowEnabled(none.Item(IDC_TIP_NEXT)));
}

// ---------------------------------------------------------------------------------------------
TEST(ProgressDialogs, TheOwnerIsDisabledWhileTheyAreUpAndCancelOnlySetsTheFlag) {
    CWindowImpl owner;
    int hits = 0;
    owner.OnMessage(WM_USER + 9, [&](WPARAM, LPARAM) { return ++hits, LRESULT(0); });
    ASSERT_TRUE(owner.Create(nullptr, RECT {50, 50, 450, 350}, "owner", WS_OVERLAPPEDWINDOW | WS_VISIBLE));
    SetMainWindow(owner.m_hWnd);
    auto cancel = std::make_unique<CCancelDialog>(0);
    ASSERT_TRUE(cancel->create(nullptr));  // over the main window
    EXPECT_TRUE(cancel->Text() == "Please Wait..." && !::IsWindowEnabled(owner.m_hWnd));
    cancel->Send(WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);  // Enter does nothing
    // A click on Cancel is a message: the scan sees it at its next poll (which dispatches the
    // other windows' messages too, and leaves a quit for the main loop) and closes the box itself.
    ::PostMessageA(cancel->m_hWnd, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), LPARAM(cancel->Item(IDCANCEL)));
    ::PostMessageA(owner.m_hWnd, WM_USER + 9, 0, 0);
    ::PostQuitMessage(3);
    EXPECT_TRUE(!cancel->cancelled && cancel->checkCancelled() && cancel->IsWindow() && hits == 1);
    cancel.reset();
    MSG quit {};
    EXPECT_TRUE(::PeekMessageA(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE) && quit.wParam == 3 &&
                ::IsWindowEnabled(owner.m_hWnd)) << "the quit left for the main loop, the owner enabled again";
    ::EnableWindow(owner.m_hWnd, FALSE);  // an owner disabled before stays so
    CAnimationDialog busy(IDS_PLEASE_WAIT);
    ASSERT_TRUE(busy.create(owner.m_hWnd));
    const HWND clip = busy.animation();
    // It always says "Loading...", and its clip is open: playing it again is accepted (without a clip it is not).
    EXPECT_TRUE(busy.Text() == "Loading..." && ::SendMessageA(clip, ACM_PLAY, WPARAM(-1), MAKELONG(0, 0xFFFF)));
    busy.close();
    EXPECT_FALSE(::IsWindow(clip) || ::IsWindowEnabled(owner.m_hWnd));
    SetMainWindow(nullptr);
}

// ---------------------------------------------------------------------------------------------
namespace {
// A size chosen for 96 DPI, at the DPI of this run.
int S(int pixels) { return ScaleToDpi(pixels, SystemDpi()); }
int IconSize(LRESULT list) {
    int cx = 0, cy = 0;
    return ::ImageList_GetIconSize(reinterpret_cast<HIMAGELIST>(list), &cx, &cy) && cx == cy ? cx : -1;
}
HFONT FontOf(HWND h) {
    auto font = reinterpret_cast<HFONT>(::SendMessageA(h, WM_GETFONT, 0, 0));
    return font ? font : static_cast<HFONT>(::GetStockObject(DEFAULT_GUI_FONT));
}
std::string ClassOf(HWND h) {
    char name[64] = {};
    ::GetClassNameA(h, name, sizeof name);
    return name;
}

// Every visible control of `parent` lies inside its own parent, and its text fits it: buttons
// (less their edges, or the box of a check box or radio button), group captions, static texts.
void ExpectTextsFit(HWND parent, const std::string& where) {
    std::vector<HWND> all;
    ::EnumChildWindows(parent, [](HWND h, LPARAM l) { return reinterpret_cast<decltype(all)*>(l)->push_back(h), TRUE; },
                       reinterpret_cast<LPARAM>(&all));
    for (HWND h : all) {
        const HWND up = ::GetParent(h);
        const std::string cls = ClassOf(h), text = CWindow(h).Text(), what = where + ": " + cls + " \"" + text + "\"";
        const LONG style = ::GetWindowLongA(h, GWL_STYLE), kind = style & BS_TYPEMASK, label = style & SS_TYPEMASK;
        if (!(style & WS_VISIBLE) || ClassOf(up) == "SysListView32" || ClassOf(up) == "SysHeader32") continue;
        RECT box = CWindow(h).WindowRect(), room = CWindow(h).ClientRect();
        ::MapWindowPoints(nullptr, up, reinterpret_cast<POINT*>(&box), 2);
        EXPECT_TRUE(Inside(box, CWindow(up).ClientRect())) << what << " lies outside";
        const bool words = cls == "Static" && (label <= SS_RIGHT || label == SS_SIMPLE || label == SS_LEFTNOWORDWRAP);
        if (text.empty() || (cls != "Button" && !words)) continue;
        const bool check = (kind >= BS_CHECKBOX && kind <= BS_AUTO3STATE) || kind == BS_AUTORADIOBUTTON;
        const int edges = words ? 0 : check ? SystemMetricForDpi(SM_CXMENUCHECK, SystemDpi()) + S(4)
                                  : kind == BS_GROUPBOX ? S(16) : S(6);
        const UINT lines = label > SS_RIGHT ? DT_SINGLELINE : DT_WORDBREAK;
        const UINT format = !words ? DT_SINGLELINE : DT_EXPANDTABS | (style & SS_NOPREFIX ? DT_NOPREFIX : 0) | lines;
        const RECT need = TextRect(FontOf(h), text, format, Width(room));
        EXPECT_LE(Width(need), Width(room) - edges) << what << " is cut";
        EXPECT_TRUE((kind == BS_GROUPBOX && !words) || Height(need) <= Height(room)) << what << " is cut";
    }
}

}  // namespace

// The main window, its notifier, the Options sheet, the tip and the progress dialogs at the DPI this program was started at.
TEST(AtThisScale, PicturesAndTextsFit) {
    ASSERT_TRUE(!RequestedDpi() || RequestedDpi() == SystemDpi()) << "the child did not start at the DPI asked for";
    kit::ScratchSettings settings;
    ScriptedPrompter prompts;
    CMainFrame frame;
    ASSERT_TRUE(frame.CreateFrame());
    // The first-run size of a 1024 x 768 screen at 100%, at this scale: the same room.
    ::SetWindowPos(frame.m_hWnd, nullptr, 0, 0, S(853), S(640), SWP_NOZORDER);
    frame.Show(SW_SHOW);
    CGfxOutBarCtrl& bar = frame.OutBar();
    EXPECT_EQ(S(16), IconSize(reinterpret_cast<LRESULT>(bar.getImageList(2))));
    for (int open = 0; open < bar.getFolderCount(); ++open) {
        bar.setSelFolder(open);
        // The list's pictures: the registry tool's own, the shell's for the files tool.
        const int icons = IconSize(frame.GetListView()->Send(LVM_GETIMAGELIST, LVSIL_SMALL));
        EXPECT_TRUE(open > 1 || icons == (open ? S(16) : SystemMetricForDpi(SM_CXSMICON, SystemDpi()))) << icons;
        ExpectTextsFit(frame.Splitter().m_hWnd, bar.getFolderText(open));
        for (int i = 0; i < bar.getFolderCount(); ++i) {  // inside the edges: one line above, one pixel aside
            const RECT need = TextRect(bar.getFont(), bar.getFolderText(i) + "  ", DT_SINGLELINE);
            EXPECT_TRUE(Width(need) <= Width(bar.headerRect(i)) - 2 && Height(need) <= Height(bar.headerRect(i)) - 3);
        }
        const RECT area = bar.folderAreaRect();
        for (int i = 0; i < bar.getItemCount(); ++i) {
            RECT image {}, place {};
            const RECT need = TextRect(bar.getFont(), bar.getItemText(i), DT_WORDBREAK | DT_CENTER, Width(area));
            EXPECT_TRUE(bar.itemRects(i, &image, &place) && Width(image) == S(16) && Height(image) == S(16) &&
                        Width(need) <= Width(place) && Height(need) <= Height(place) && Inside(place, area))
                << bar.getItemText(i);
        }
        EXPECT_FALSE(bar.scrollArrowRect(false, nullptr)) << "folder " << open << " needs scrolling";
    }
    ScratchDir dir("scale");
    ASSERT_TRUE(WriteFileText(dir / "tips.txt", "A tip long enough to wrap over a few lines of the tip's place.\n"));
    CDailyTipDlg tip(-1, nullptr, dir / "tips.txt");
    CCancelDialog cancel;
    CAnimationDialog animation;
    ASSERT_TRUE(tip.CreateModeless(nullptr) && cancel.create(nullptr) && animation.create(nullptr));
    for (HWND dialog : {tip.m_hWnd, cancel.m_hWnd, animation.m_hWnd}) ExpectTextsFit(dialog, CWindow(dialog).Text());
    const RECT band = tip.HeadingBand(), need = TextRect(FontOf(tip), " " + LoadStr(IDS_DID_YOU_KNOW), DT_SINGLELINE);
    EXPECT_TRUE(Width(band) == S(232) && Width(need) <= Width(band) && Height(need) <= Height(band));

    // The notifier's longest text, twice over, inside its skin.
    CTaskbarNotifier& notifier = frame.Notifier();
    const std::string text = LoadStr(IDS_NOTIFY_UNNEEDED_FILES) + "\n" + LoadStr(IDS_NOTIFY_UNNEEDED_FILES);
    notifier.ShowText(text, 10, 10000, 10);
    for (int i = 0; i < 1000 && notifier.state != NotifierState::Waiting; ++i)
        notifier.Send(WM_TIMER, CTaskbarNotifier::kAppearTimer);
    const RECT area = notifier.textArea;
    const RECT words = TextRect(notifier.normalFont, text, notifier.drawFlags & ~(DT_VCENTER | DT_END_ELLIPSIS), Width(area));
    EXPECT_TRUE(notifier.skinWidth == S(240) && Inside(area, RECT {0, 0, notifier.skinWidth, notifier.skinHeight}) &&
                Width(words) <= Width(area) && Height(words) <= Height(area));
    notifier.HideNow();

    // Every page of the Options sheet, one per tick inside its modal loop.
    FileToolSettings files;
    bool notify = true, sound = true;
    COptionsSheet sheet(files, notify, sound, kPageDrives);
    static std::function<void()> step;
    int page = 0;
    step = [&] {
        HWND h = sheet.Window();
        if (!h || !PropSheet_GetCurrentPageHwnd(h) || page > kPageKeepList) return;
        ::SendMessageA(h, PSM_SETCURSEL, page, 0);
        HWND shown = PropSheet_GetCurrentPageHwnd(h);
        if (page == kPageRegClean) ::SendMessageA(shown, WM_COMMAND, IDC_ADVANCED, 0);
        if (page == kPageRegClean) {
            EXPECT_EQ(S(150), ::SendMessageA(::GetDlgItem(shown, IDC_UNDO_LIST), LVM_GETCOLUMNWIDTH, 0, 0));
        }
        ExpectTextsFit(shown, "page " + std::to_string(page));
        for (int id : {IDC_DRIVE_LIST, IDC_JUNK_LIST, IDC_EXCLUDE_LIST, IDC_UNDO_LIST, IDC_DUP_LIST}) {  // the Keep List has no pictures
            if (HWND list = page == kPageKeepList ? nullptr : ::GetDlgItem(shown, id)) {
                EXPECT_EQ(SystemMetricForDpi(SM_CXSMICON, SystemDpi()), IconSize(::SendMessageA(list, LVM_GETIMAGELIST, LVSIL_SMALL, 0)))
                    << "page " << page;
            }
        }
        if (++page > kPageKeepList) ExpectTextsFit(h, "sheet"), ::PostMessageA(h, PSM_PRESSBUTTON, PSBTN_CANCEL, 0);
    };
    const UINT_PTR timer = ::SetTimer(nullptr, 0, 30, [](HWND, UINT, UINT_PTR, DWORD) { if (step) step(); });
    sheet.DoModal(frame.m_hWnd);
    ::KillTimer(nullptr, timer);
    step = nullptr;
    EXPECT_EQ(kPageKeepList + 1, page);
    ::DestroyWindow(frame.m_hWnd);
    MSG quit;  // the window's end asks the program to end: not this one
    while (::PeekMessageA(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {}
}

TEST(Scales, EveryWindowAt150And200Percent) {
    if (RequestedDpi()) GTEST_SKIP() << "run by the program started at 96 DPI";
    auto logPixels = [] {
        DWORD value = 0, size = sizeof value;
        ::RegGetValueA(HKEY_CURRENT_USER, "Control Panel\\Desktop", "LogPixels", RRF_RT_DWORD, nullptr, &value, &size);
        return value;
    };
    const DWORD before = logPixels();
    for (UINT dpi : {144u, 192u}) EXPECT_EQ(0u, RunAtDpi(dpi, "*AtThisScale.*")) << dpi << " DPI";
    EXPECT_EQ(before, logPixels()) << "the machine is back at its own DPI for the programs that start next";
}
