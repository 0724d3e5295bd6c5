// The taskbar notifier: where it slides out for each taskbar edge, how the times become timer
// steps, the state changes driven by its timers, hover and click.
#include "widgets/notifier.h"
#include "resource.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <set>

namespace {

class Owner : public CWindowImpl {};

constexpr int kScreen = 1024;

class NotifierTest : public ::testing::Test {
protected:
    void SetUp() override {
        RECT rc {40, 40, 440, 340};
        ASSERT_TRUE(owner.Create(nullptr, rc, "notifier owner", WS_OVERLAPPEDWINDOW | WS_VISIBLE));
        ASSERT_TRUE(notifier.CreateWnd(owner.m_hWnd));
        ASSERT_TRUE(notifier.LoadSkin(IDB_NOTIFIER_SKIN));
        notifier.locateTaskbar = [this] { return TaskbarPlace {taskbar, kScreen}; };
        // The arithmetic below assumes the NT family's timer steps, which Wine reports.
        ASSERT_EQ(10u, notifier.timerResolution);
    }

    void Tick(UINT_PTR timer) { notifier.Send(WM_TIMER, timer); }
    // Drives the appearing timer until the popup waits; returns the number of ticks.
    int AppearFully() {
        int ticks = 0;
        while (notifier.state != NotifierState::Waiting && ticks < 1000) {
            Tick(CTaskbarNotifier::kAppearTimer);
            ++ticks;
        }
        return ticks;
    }
    RECT Rect() const { return notifier.WindowRect(); }
    bool Visible() const { return ::IsWindowVisible(notifier.m_hWnd) != FALSE; }

    RECT taskbar {0, 738, kScreen, 768};
    Owner owner;
    CTaskbarNotifier notifier;
};

void ExpectRect(const RECT& r, int left, int top, int right, int bottom) {
    EXPECT_EQ(left, r.left);
    EXPECT_EQ(top, r.top);
    EXPECT_EQ(right, r.right);
    EXPECT_EQ(bottom, r.bottom);
}

// Pixels of exactly `color` in the top-left w x h of a 32-bit DIB section.
int CountColor(const DWORD* bits, int w, int h, COLORREF color) {
    DWORD want = (GetRValue(color) << 16) | (GetGValue(color) << 8) | GetBValue(color);
    int n = 0;
    for (int i = 0; i < w * h; ++i)
        if ((bits[i] & 0xFFFFFF) == want) ++n;
    return n;
}

template <class F> HBITMAP MakeBitmap(int w, int h, F colorAt) {
    HDC screen = ::GetDC(nullptr);
    HBITMAP bmp = ::CreateCompatibleBitmap(screen, w, h);
    HDC mem = ::CreateCompatibleDC(screen);
    HGDIOBJ old = ::SelectObject(mem, bmp);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) ::SetPixel(mem, x, y, colorAt(x, y));
    ::SelectObject(mem, old);
    ::DeleteDC(mem);
    ::ReleaseDC(nullptr, screen);
    return bmp;
}

}  // namespace

TEST_F(NotifierTest, StartsWithTheDefaultLookAndAHiddenPopup) {
    CTaskbarNotifier fresh;
    EXPECT_EQ(RGB(133, 146, 181), fresh.normalColor);
    EXPECT_EQ(RGB(10, 36, 106), fresh.hoverColor);
    EXPECT_EQ(0x8014u, fresh.drawFlags);
    EXPECT_EQ(NotifierState::Hidden, fresh.state);
    EXPECT_EQ(TaskbarEdge::Bottom, fresh.edge);
    EXPECT_TRUE(::IsRectEmpty(&fresh.textArea));
    LOGFONTA normal {}, hover {};
    ASSERT_TRUE(::GetObjectA(fresh.normalFont, sizeof normal, &normal));
    ASSERT_TRUE(::GetObjectA(fresh.hoverFont, sizeof hover, &hover));
    EXPECT_FALSE(normal.lfUnderline);
    EXPECT_TRUE(hover.lfUnderline);
    EXPECT_STREQ(normal.lfFaceName, hover.lfFaceName);

    // The window: a hidden, owned, topmost popup of its own class.
    char cls[64] = "";
    ::GetClassNameA(notifier.m_hWnd, cls, sizeof cls);
    EXPECT_STREQ("TaskbarNotifierClass", cls);
    EXPECT_EQ(static_cast<ULONG_PTR>(CS_DBLCLKS | CS_SAVEBITS), ::GetClassLongPtrA(notifier.m_hWnd, GCL_STYLE));
    EXPECT_TRUE(::GetWindowLongA(notifier.m_hWnd, GWL_STYLE) & WS_POPUP);
    EXPECT_TRUE(::GetWindowLongA(notifier.m_hWnd, GWL_EXSTYLE) & WS_EX_TOPMOST);
    EXPECT_EQ(owner.m_hWnd, ::GetWindow(notifier.m_hWnd, GW_OWNER));
    EXPECT_FALSE(Visible());
    ExpectRect(Rect(), 0, 0, 0, 0);
}

TEST_F(NotifierTest, SkinSetsSizeTextAreaAndShape) {
    EXPECT_EQ(240, notifier.skinWidth);
    EXPECT_EQ(150, notifier.skinHeight);
    ExpectRect(notifier.textArea, 0, 0, 240, 150);

    HRGN shape = ::CreateRectRgn(0, 0, 0, 0);
    ASSERT_NE(ERROR, ::GetWindowRgn(notifier.m_hWnd, shape));
    EXPECT_FALSE(::PtInRegion(shape, 0, 0));        // magenta rounded corner
    EXPECT_FALSE(::PtInRegion(shape, 239, 149));
    EXPECT_TRUE(::PtInRegion(shape, 120, 75));
    EXPECT_TRUE(::PtInRegion(shape, 239, 75));      // the last column belongs to the shape
    EXPECT_TRUE(::PtInRegion(shape, 0, 75));
    ::DeleteObject(shape);

    // A missing bitmap is refused and the skin stays.
    EXPECT_FALSE(notifier.LoadSkin(9999));
    EXPECT_EQ(240, notifier.skinWidth);
}

TEST(NotifierSkin, RegionKeepsEveryNonTransparentRun) {
    // 5 x 3: row 0 "M x x M x", row 1 all magenta, row 2 "x M M M M".
    const COLORREF M = RGB(255, 0, 255), X = RGB(1, 2, 3);
    const COLORREF pixels[3][5] = {{M, X, X, M, X}, {M, M, M, M, M}, {X, M, M, M, M}};
    HBITMAP bmp = MakeBitmap(5, 3, [&](int x, int y) { return pixels[y][x]; });

    HRGN rgn = CTaskbarNotifier::BuildSkinRegion(bmp, M);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x)
            EXPECT_EQ(pixels[y][x] != M, ::PtInRegion(rgn, x, y) != FALSE) << x << "," << y;
    ::DeleteObject(rgn);
    ::DeleteObject(bmp);

    // Nothing but the transparent colour: an empty region.
    HBITMAP blank = MakeBitmap(4, 4, [&](int, int) { return M; });
    HRGN empty = CTaskbarNotifier::BuildSkinRegion(blank, M);
    RECT box;
    EXPECT_EQ(NULLREGION, ::GetRgnBox(empty, &box));
    ::DeleteObject(empty);
    ::DeleteObject(blank);
}

TEST(NotifierTiming, StepsFollowFromTheTimes) {
    UINT delay = 0;
    int step = 0;
    CTaskbarNotifier::Steps(200, 150, 10, delay, step);  // 20 ticks of 7 pixels
    EXPECT_EQ(10u, delay);
    EXPECT_EQ(7, step);
    CTaskbarNotifier::Steps(200, 240, 10, delay, step);
    EXPECT_EQ(10u, delay);
    EXPECT_EQ(12, step);
    CTaskbarNotifier::Steps(200, 150, 50, delay, step);  // 4 ticks
    EXPECT_EQ(50u, delay);
    EXPECT_EQ(37, step);
    CTaskbarNotifier::Steps(5000, 150, 10, delay, step);  // no more ticks than pixels
    EXPECT_EQ(33u, delay);
    EXPECT_EQ(1, step);
    CTaskbarNotifier::Steps(10, 150, 10, delay, step);  // at the resolution: one jump
    EXPECT_EQ(10u, delay);
    EXPECT_EQ(150, step);
    CTaskbarNotifier::Steps(0, 150, 50, delay, step);
    EXPECT_EQ(50u, delay);
    EXPECT_EQ(150, step);
    // Nothing to travel (no skin) must not divide by zero.
    CTaskbarNotifier::Steps(200, 0, 10, delay, step);
    EXPECT_EQ(200u, delay);
    EXPECT_EQ(0, step);
}

TEST_F(NotifierTest, BottomTaskbarGrowsUpwardAtItsRightEnd) {
    notifier.ShowText("hello", 200, 10000, 200);
    EXPECT_EQ(TaskbarEdge::Bottom, notifier.edge);
    EXPECT_EQ(10u, notifier.showDelay);
    EXPECT_EQ(7, notifier.showStep);
    EXPECT_EQ(10u, notifier.hideDelay);
    EXPECT_EQ(7, notifier.hideStep);
    EXPECT_TRUE(Visible());
    EXPECT_NE(notifier.m_hWnd, ::GetActiveWindow());
    ExpectRect(Rect(), 784, 738, 1024, 738);
    EXPECT_EQ(NotifierState::Hidden, notifier.state);  // until the first tick

    Tick(CTaskbarNotifier::kAppearTimer);
    EXPECT_EQ(NotifierState::Appearing, notifier.state);
    ExpectRect(Rect(), 784, 731, 1024, 738);

    // 22 steps of 7 reach 154 >= 150; the next tick turns to waiting.
    EXPECT_EQ(22, AppearFully());
    ExpectRect(Rect(), 784, 738 - 154, 1024, 738);
    EXPECT_NE(notifier.m_hWnd, ::GetActiveWindow());
    EXPECT_TRUE(::GetWindowLongA(notifier.m_hWnd, GWL_EXSTYLE) & WS_EX_TOPMOST);
}

TEST_F(NotifierTest, RightTaskbarGrowsLeftwardBottomAligned) {
    taskbar = RECT {994, 0, kScreen, 768};
    notifier.ShowText("hello", 200, 10000, 200);
    EXPECT_EQ(TaskbarEdge::Right, notifier.edge);
    EXPECT_EQ(12, notifier.showStep);  // the travel is the skin's width
    ExpectRect(Rect(), 994, 618, 994, 768);
    EXPECT_EQ(21, AppearFully());
    ExpectRect(Rect(), 994 - 240, 618, 994, 768);
}

TEST_F(NotifierTest, TopTaskbarGrowsDownward) {
    taskbar = RECT {0, 0, kScreen, 30};
    notifier.ShowText("hello", 200, 10000, 200);
    EXPECT_EQ(TaskbarEdge::Top, notifier.edge);
    ExpectRect(Rect(), 784, 30, 1024, 30);
    Tick(CTaskbarNotifier::kAppearTimer);
    ExpectRect(Rect(), 784, 30, 1024, 37);
    AppearFully();
    ExpectRect(Rect(), 784, 30, 1024, 30 + 154);
}

TEST_F(NotifierTest, LeftTaskbarGrowsRightward) {
    taskbar = RECT {0, 0, 30, 768};
    notifier.ShowText("hello", 200, 10000, 200);
    EXPECT_EQ(TaskbarEdge::Left, notifier.edge);
    ExpectRect(Rect(), 30, 618, 30, 768);
    Tick(CTaskbarNotifier::kAppearTimer);
    ExpectRect(Rect(), 30, 618, 42, 768);
    AppearFully();
    ExpectRect(Rect(), 30, 618, 30 + 240, 768);
}

TEST_F(NotifierTest, EdgesAreRecognisedWithinTwentyPixels) {
    taskbar = RECT {-4, 740, kScreen + 4, 772};  // an auto-hide bar sticks out a little
    notifier.ShowText("a", 200, 10000, 200);
    EXPECT_EQ(TaskbarEdge::Bottom, notifier.edge);
    notifier.HideNow();
    taskbar = RECT {-4, 19, kScreen - 19, 49};
    notifier.ShowText("a", 200, 10000, 200);
    EXPECT_EQ(TaskbarEdge::Top, notifier.edge);
    notifier.HideNow();
    // 20 pixels off is no longer "at" the left edge: a vertical bar, on the right.
    taskbar = RECT {20, 738, kScreen, 768};
    notifier.ShowText("a", 200, 10000, 200);
    EXPECT_EQ(TaskbarEdge::Right, notifier.edge);
    notifier.HideNow();
    taskbar = RECT {19, 0, 60, 768};
    notifier.ShowText("a", 200, 10000, 200);
    EXPECT_EQ(TaskbarEdge::Left, notifier.edge);
}

TEST_F(NotifierTest, ShowTimeAtTheResolutionIsFullSizeAfterOneTick) {
    notifier.ShowText("quick", 10, 10000, 10);
    Tick(CTaskbarNotifier::kAppearTimer);
    ExpectRect(Rect(), 784, 738 - 150, 1024, 738);
    Tick(CTaskbarNotifier::kAppearTimer);
    EXPECT_EQ(NotifierState::Waiting, notifier.state);
}

TEST_F(NotifierTest, WaitsThenShrinksBackAndHides) {
    notifier.ShowText("cycle", 200, 10000, 200);
    AppearFully();
    Tick(CTaskbarNotifier::kWaitTimer);
    EXPECT_EQ(NotifierState::Waiting, notifier.state);  // until the first shrinking tick
    Tick(CTaskbarNotifier::kDisappearTimer);
    EXPECT_EQ(NotifierState::Disappearing, notifier.state);
    ExpectRect(Rect(), 784, 738 - 147, 1024, 738);
    int ticks = 1;
    while (notifier.state != NotifierState::Hidden && ticks < 1000) {
        Tick(CTaskbarNotifier::kDisappearTimer);
        ++ticks;
    }
    EXPECT_EQ(23, ticks);  // 22 steps from 154 to 0, then the hiding tick
    EXPECT_FALSE(Visible());
    ExpectRect(Rect(), 0, 0, 0, 0);
}

TEST_F(NotifierTest, NewTextWhileAppearingOnlyChangesTheText) {
    notifier.ShowText("first", 200, 10000, 200);
    Tick(CTaskbarNotifier::kAppearTimer);
    Tick(CTaskbarNotifier::kAppearTimer);
    RECT before = Rect();
    notifier.ShowText("second", 200, 10000, 200);
    EXPECT_EQ("second", notifier.text);
    EXPECT_EQ(NotifierState::Appearing, notifier.state);
    ExpectRect(Rect(), before.left, before.top, before.right, before.bottom);
}

TEST_F(NotifierTest, NewTextWhileDisappearingJumpsBackToFullSize) {
    notifier.ShowText("first", 200, 10000, 200);
    AppearFully();
    Tick(CTaskbarNotifier::kWaitTimer);
    for (int i = 0; i < 5; ++i) Tick(CTaskbarNotifier::kDisappearTimer);
    ASSERT_EQ(NotifierState::Disappearing, notifier.state);
    notifier.ShowText("again", 200, 10000, 200);
    EXPECT_EQ("again", notifier.text);
    EXPECT_EQ(NotifierState::Waiting, notifier.state);
    ExpectRect(Rect(), 784, 738 - 150, 1024, 738);
    // The wait runs again before it shrinks.
    Tick(CTaskbarNotifier::kWaitTimer);
    Tick(CTaskbarNotifier::kDisappearTimer);
    ExpectRect(Rect(), 784, 738 - 143, 1024, 738);
}

TEST_F(NotifierTest, ClickHidesAtOnceAndTheNextTextSlidesOutAgain) {
    notifier.ShowText("click me", 200, 10000, 200);
    AppearFully();
    notifier.Send(WM_LBUTTONUP, 0, MAKELPARAM(20, 20));
    EXPECT_EQ(NotifierState::Hidden, notifier.state);
    EXPECT_FALSE(Visible());
    ExpectRect(Rect(), 0, 0, 0, 0);

    notifier.ShowText("back", 200, 10000, 200);
    EXPECT_TRUE(Visible());
    ExpectRect(Rect(), 784, 738, 1024, 738);
    Tick(CTaskbarNotifier::kAppearTimer);
    ExpectRect(Rect(), 784, 731, 1024, 738);
}

TEST_F(NotifierTest, HideNowStopsEveryStateForGood) {
    // Right after ShowText the first tick is still to come: it must not bring the popup back.
    notifier.ShowText("gone", 10, 50, 10);
    notifier.HideNow();
    PumpFor(300);
    EXPECT_EQ(NotifierState::Hidden, notifier.state);
    EXPECT_FALSE(Visible());

    for (int ticks : {3, 40}) {  // appearing, then waiting
        notifier.ShowText("gone", 200, 50, 200);
        for (int i = 0; i < ticks; ++i) Tick(CTaskbarNotifier::kAppearTimer);
        notifier.HideNow();
        EXPECT_EQ(NotifierState::Hidden, notifier.state);
        EXPECT_FALSE(Visible());
        ExpectRect(Rect(), 0, 0, 0, 0);
        PumpFor(300);
        EXPECT_EQ(NotifierState::Hidden, notifier.state);
        EXPECT_FALSE(Visible());
    }
}

TEST_F(NotifierTest, ATextTooLongForTheSkinMakesItTallerAtOnce) {
    notifier.SetTextArea(15, 30, notifier.skinWidth - 10, notifier.skinHeight - 30);
    notifier.ShowText("short", 200, 10000, 200);
    AppearFully();
    ExpectRect(Rect(), 784, 738 - 154, 1024, 738);  // the last step overshoots
    std::string lines;
    for (int i = 0; i < 12; ++i) lines += "line " + std::to_string(i) + "\n";
    const int before = GdiObjectCount();
    for (int round = 0; round < 5; ++round) {
        notifier.ShowText(lines, 200, 10000, 200);
        EXPECT_EQ(NotifierState::Waiting, notifier.state);
        ASSERT_GT(notifier.skinHeight, 150);
        ExpectRect(Rect(), 784, 738 - notifier.skinHeight, 1024, 738);
        // The text area grew by as much as the skin, and the text fits it.
        EXPECT_EQ(notifier.skinHeight - 30, notifier.textArea.bottom);
        HDC dc = ::GetDC(nullptr);
        HGDIOBJ old = ::SelectObject(dc, notifier.normalFont);
        RECT need {0, 0, notifier.textArea.right - notifier.textArea.left, 0};
        ::DrawTextA(dc, lines.c_str(), static_cast<int>(lines.size()), &need, DT_WORDBREAK | DT_CALCRECT);
        ::SelectObject(dc, old);
        ::ReleaseDC(nullptr, dc);
        EXPECT_LE(need.bottom, notifier.textArea.bottom - notifier.textArea.top);
        // Still the skin's shape: rounded corners at its new bottom, whole across its middle.
        HRGN shape = ::CreateRectRgn(0, 0, 0, 0);
        ASSERT_NE(ERROR, ::GetWindowRgn(notifier.m_hWnd, shape));
        EXPECT_FALSE(::PtInRegion(shape, 0, notifier.skinHeight - 1));
        EXPECT_TRUE(::PtInRegion(shape, 0, notifier.skinHeight / 2));
        ::DeleteObject(shape);

        notifier.ShowText("short again", 200, 10000, 200);
        EXPECT_EQ(150, notifier.skinHeight);
        ExpectRect(Rect(), 784, 738 - 150, 1024, 738);
    }
    EXPECT_EQ(before, GdiObjectCount()) << "skins and shapes of earlier texts left behind";
}

TEST_F(NotifierTest, RealTimersRunTheWholeShow) {
    std::set<NotifierState> seen;
    notifier.ShowText("timers", 100, 200, 100);
    bool hidden = PumpUntil([&] {
        seen.insert(notifier.state);
        return notifier.state == NotifierState::Hidden && seen.size() > 1;
    }, 10000);
    EXPECT_TRUE(hidden);
    EXPECT_TRUE(seen.count(NotifierState::Appearing));
    EXPECT_TRUE(seen.count(NotifierState::Waiting));
    EXPECT_TRUE(seen.count(NotifierState::Disappearing));
    EXPECT_FALSE(Visible());
}

TEST_F(NotifierTest, SecondTextWhileWaitingRestartsTheWait) {
    notifier.ShowText("first", 10, 1500, 10);
    ASSERT_TRUE(PumpUntil([&] { return notifier.state == NotifierState::Waiting; }));
    PumpFor(1000);
    notifier.ShowText("second", 10, 1500, 10);
    EXPECT_EQ("second", notifier.text);
    PumpFor(1000);  // 2 s after the first text, 1 s after the second
    EXPECT_EQ(NotifierState::Waiting, notifier.state);
    EXPECT_TRUE(PumpUntil([&] { return notifier.state == NotifierState::Hidden; }, 5000));
}

TEST_F(NotifierTest, FontsAndStylesFromSetFonts) {
    notifier.SetFonts("tahoma", 85, 0, CTaskbarNotifier::kBold | CTaskbarNotifier::kItalic |
                                           CTaskbarNotifier::kUnderline);
    LOGFONTA normal {}, hover {};
    ASSERT_TRUE(::GetObjectA(notifier.normalFont, sizeof normal, &normal));
    ASSERT_TRUE(::GetObjectA(notifier.hoverFont, sizeof hover, &hover));
    HDC screen = ::GetDC(nullptr);
    int dpi = ::GetDeviceCaps(screen, LOGPIXELSY);
    ::ReleaseDC(nullptr, screen);
    EXPECT_EQ(-::MulDiv(85, dpi, 720), normal.lfHeight);
    EXPECT_STREQ("tahoma", normal.lfFaceName);
    EXPECT_EQ(FW_NORMAL, normal.lfWeight);
    EXPECT_FALSE(normal.lfItalic);
    EXPECT_FALSE(normal.lfUnderline);
    EXPECT_EQ(FW_BOLD, hover.lfWeight);
    EXPECT_TRUE(hover.lfItalic);
    EXPECT_TRUE(hover.lfUnderline);
    EXPECT_EQ(normal.lfHeight, hover.lfHeight);
}

TEST_F(NotifierTest, HoverDrawsTheTextInTheHoverColour) {
    const COLORREF normal = RGB(251, 3, 7), hover = RGB(3, 171, 9);  // found nowhere in the skin
    notifier.SetFonts("tahoma", 240, CTaskbarNotifier::kBold, CTaskbarNotifier::kBold);
    notifier.SetColors(normal, hover);
    notifier.SetTextArea(15, 30, notifier.skinWidth - 10, notifier.skinHeight - 30);
    notifier.SetDrawFlags(DT_LEFT | DT_TOP | DT_SINGLELINE);
    notifier.ShowText("WWW", 10, 10000, 10);
    AppearFully();

    BITMAPINFO bi {};
    bi.bmiHeader = {sizeof bi.bmiHeader, 240, -150, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    HBITMAP canvas = ::CreateDIBSection(nullptr, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
    HDC dc = ::CreateCompatibleDC(nullptr);
    HGDIOBJ old = ::SelectObject(dc, canvas);
    auto draw = [&] {
        notifier.Render(dc);
        ::GdiFlush();
    };
    const auto* px = static_cast<const DWORD*>(bits);

    draw();
    EXPECT_GT(CountColor(px, 240, 150, normal), 50);
    EXPECT_EQ(0, CountColor(px, 240, 150, hover));

    notifier.Send(WM_MOUSEHOVER);
    EXPECT_TRUE(notifier.hovering);
    draw();
    EXPECT_EQ(0, CountColor(px, 240, 150, normal));
    EXPECT_GT(CountColor(px, 240, 150, hover), 50);

    notifier.Send(WM_MOUSELEAVE);
    EXPECT_FALSE(notifier.hovering);
    draw();
    EXPECT_GT(CountColor(px, 240, 150, normal), 50);
    EXPECT_EQ(0, CountColor(px, 240, 150, hover));

    ::SelectObject(dc, old);
    ::DeleteDC(dc);
    ::DeleteObject(canvas);
}

TEST_F(NotifierTest, FindsTheSystemTaskbarByItself) {
    notifier.locateTaskbar = nullptr;
    TaskbarPlace place = CTaskbarNotifier::FindSystemTaskbar();
    EXPECT_EQ(::GetSystemMetrics(SM_CXSCREEN), place.screenWidth);
    HWND tray = ::FindWindowA("Shell_TrayWnd", nullptr);
    RECT trayRect {};
    if (!tray || !::IsWindowVisible(tray) || !::GetWindowRect(tray, &trayRect) || ::IsRectEmpty(&trayRect)) {
        // Wine's desktop keeps its taskbar hidden and empty: the bottom of the work area stands
        // in for it.
        RECT work {};
        ::SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
        ExpectRect(place.rect, work.left, work.bottom, work.right, work.bottom);
    } else {
        ExpectRect(place.rect, trayRect.left, trayRect.top, trayRect.right, trayRect.bottom);
    }

    notifier.ShowText("real", 10, 10000, 10);
    AppearFully();
    // Whatever the desktop has, the popup comes out fully on the screen.
    RECT r = Rect();
    EXPECT_GE(r.left, 0);
    EXPECT_GE(r.top, 0);
    EXPECT_LE(r.right, ::GetSystemMetrics(SM_CXSCREEN) + 4);
    EXPECT_LE(r.bottom, ::GetSystemMetrics(SM_CYSCREEN) + 4);
    EXPECT_EQ(240, r.right - r.left);
    EXPECT_EQ(150, r.bottom - r.top);
}
