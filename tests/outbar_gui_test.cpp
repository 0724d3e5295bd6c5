// The outlook bar driven as the user drives it: real mouse messages at the places the control
// reports for its headers, items and arrows, and the notifications that reach its owner.
#include "widgets/outbar.h"
#include "resource.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

namespace {

// The tools as the main window fills the bar: folders at positions 0-5, their command items.
struct ToolFolder { const char* caption; DWORD id; };
const ToolFolder kFolders[] = {
    {"Remove Unneeded Files", 3003}, {"Clean System Registry", 3002}, {"AutoStart Programs", 3001},
    {"Fix Invalid Shortcuts", 3004}, {"Erase Your History", 3005},    {"Find Duplicate Files", 3006},
};
struct ToolItem { int folder; const char* caption; int image; DWORD id; };
const ToolItem kItems[] = {
    {2, "Refresh List", 1, 3013}, {2, "Update", 7, 3008}, {2, "Delete Selected", 0, 3011},
    {2, "Delete All", 3, 3010},   {1, "Scan", 1, 3015},   {1, "Remove All", 6, 3017},
    {1, "Remove Selected", 6, 3016}, {1, "Open With RegEdit", 12, 3020}, {1, "Backup", 5, 3019},
    {0, "Scan", 1, 3029},         {0, "Delete Selected", 0, 3030}, {0, "Delete All", 3, 3031},
    {3, "Scan", 1, 3021},         {3, "Fix All", 7, 3023}, {3, "Fix Selected", 7, 3022},
    {3, "Delete Selected", 0, 3025}, {3, "Delete All", 3, 3024}, {4, "Start", 1, 3027},
    {5, "Scan", 1, 3034},         {5, "Delete Selected", 0, 3033},
};

// Receives the bar's notifications, as the main window does.
class Owner : public CWindowImpl {
public:
    struct Note { WPARAM code; LPARAM arg; HWND captureSeen; int selSeen; };
    Owner() {
        OnMessage(WM_OUTBAR_NOTIFY, [this](WPARAM w, LPARAM l) {
            Note n {w, l, ::GetCapture(), bar ? bar->getSelFolder() : -1};
            if (w == kOutBarItemDragged && l) lastDrag = *reinterpret_cast<OutBarDragInfo*>(l);
            notes.push_back(n);
            // The main window takes the mouse while it runs a command; the bar gives it back.
            if (w == kOutBarItemClicked && captureOnClick) ::SetCapture(m_hWnd);
            return w == kOutBarItemDragged ? dragAnswer : LRESULT(0);
        });
    }
    std::vector<Note> notes;
    CGfxOutBarCtrl* bar = nullptr;
    bool captureOnClick = false;
    LRESULT dragAnswer = 0;
    OutBarDragInfo lastDrag {-1, -1, -1};
};

POINT Centre(const RECT& rc) { return POINT {(rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2}; }
LPARAM At(POINT pt) { return MAKELPARAM(pt.x, pt.y); }

// Ends a click loop that would otherwise wait for ever, should the control misbehave.
class Watchdog {
public:
    explicit Watchdog(UINT ms) { id_ = ::SetTimer(nullptr, 0, ms, &Watchdog::Fire); }
    ~Watchdog() { ::KillTimer(nullptr, id_); }
    static bool fired;

private:
    static void CALLBACK Fire(HWND, UINT, UINT_PTR id, DWORD) {
        fired = true;
        ::KillTimer(nullptr, id);
        ::ReleaseCapture();
    }
    UINT_PTR id_;
};
bool Watchdog::fired = false;

// Columns of pixels (x = 4) of the bar, sampled each time it has painted.
HWND gWatched = nullptr;
std::vector<std::vector<COLORREF>> gFrames;
LRESULT CALLBACK AfterPaint(int code, WPARAM w, LPARAM l) {
    auto* m = reinterpret_cast<CWPRETSTRUCT*>(l);
    if (code == HC_ACTION && m->hwnd == gWatched && m->message == WM_PAINT) {
        RECT rc;
        ::GetClientRect(gWatched, &rc);
        HDC dc = ::GetDC(gWatched);
        std::vector<COLORREF> column;
        for (int y = 0; y < rc.bottom; ++y) column.push_back(::GetPixel(dc, 4, y));
        ::ReleaseDC(gWatched, dc);
        gFrames.push_back(column);
    }
    return ::CallNextHookEx(nullptr, code, w, l);
}

HWND gThief = nullptr;
void CALLBACK StealCapture(HWND, UINT, UINT_PTR id, DWORD) {
    ::KillTimer(nullptr, id);
    ::SetCapture(gThief);
}

class OutBarTest : public ::testing::Test {
protected:
    void SetUp() override {
        ParkCursor();  // out of the way: the hover timer must see it outside
        RECT rc {40, 20, 440, 620};
        ASSERT_TRUE(host.Create(nullptr, rc, "outbar host", WS_OVERLAPPEDWINDOW | WS_VISIBLE | WS_CLIPCHILDREN));
        RECT orc {0, 0, 10, 10};
        ASSERT_TRUE(owner.Create(nullptr, orc, "outbar owner", WS_POPUP));
        owner.bar = &bar;
        ASSERT_TRUE(bar.create(WS_VISIBLE, RECT {0, 0, 160, barHeight}, host.m_hWnd, 1001, 0x140));
        bar.setOwner(owner.m_hWnd);

        large = ::ImageList_Create(16, 16, ILC_COLOR24 | ILC_MASK, 15, 1);
        HBITMAP bmp = static_cast<HBITMAP>(::LoadImageA(AppInstance(), MAKEINTRESOURCEA(IDB_OUTBAR_IMAGES),
                                                         IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
        ASSERT_TRUE(bmp);
        ::ImageList_AddMasked(large, bmp, RGB(255, 0, 255));
        ::DeleteObject(bmp);
        small = ::ImageList_Create(16, 16, ILC_COLOR24 | ILC_MASK, 0, 1);
        bar.setImageList(large, 2);
        bar.setImageList(small, 1);
        bar.setAnimationSpeed(0);  // the real slide, without the pauses
        bar.setItemTick(200);
        for (const auto& f : kFolders) bar.addFolder(f.caption, f.id);
        for (const auto& it : kItems) bar.insertItem(it.folder, -1, it.caption, it.image, it.id);
        bar.setSelFolder(0);
        owner.notes.clear();
        Settle();
        Watchdog::fired = false;
    }
    void TearDown() override {
        EXPECT_FALSE(Watchdog::fired) << "a click loop had to be broken off";
        bar.Destroy();
        owner.Destroy();
        host.Destroy();
        ::ImageList_Destroy(large);
        ::ImageList_Destroy(small);
    }
    // Lets pending paints happen.
    void Settle() {
        bar.Update();
        PumpFor(30);
    }
    void Post(UINT msg, POINT pt) { ::PostMessageA(bar.m_hWnd, msg, msg == WM_MOUSEMOVE ? MK_LBUTTON : 0, At(pt)); }
    // A press at `down`; the moves and the release queued before it are what the user does
    // while holding the button.
    void Press(POINT down) {
        Watchdog dog(8000);
        bar.Send(WM_LBUTTONDOWN, MK_LBUTTON, At(down));
    }
    void Click(POINT pt) {
        Post(WM_LBUTTONUP, pt);
        Press(pt);
    }
    COLORREF Pixel(POINT pt) {
        HDC dc = ::GetDC(bar.m_hWnd);
        COLORREF c = ::GetPixel(dc, pt.x, pt.y);
        ::ReleaseDC(bar.m_hWnd, dc);
        return c;
    }
    // Puts the real mouse pointer on a point of the bar; Wine reports the new place once the
    // display has answered.
    void MoveCursor(POINT client) { MoveCursorTo(ScreenPoint(client)); }
    static void ParkCursor() { MoveCursorTo(POINT {1010, 750}); }
    static void MoveCursorTo(POINT want) {
        // The display answers each warp with a motion event of its own; a late one from an
        // earlier warp would put the pointer back, so wait until the place holds.
        for (int tries = 0; tries < 20; ++tries) {
            ::SetCursorPos(want.x, want.y);
            PumpFor(50);
            POINT now;
            ::GetCursorPos(&now);
            if (now.x == want.x && now.y == want.y) return;
        }
        ADD_FAILURE() << "the pointer did not stay at " << want.x << "," << want.y;
    }
    POINT ScreenPoint(POINT pt) {
        ::ClientToScreen(bar.m_hWnd, &pt);
        return pt;
    }
    int Hit(POINT pt) { return bar.hitTest(pt, nullptr); }

    int barHeight = 520;
    CWindowImpl host;
    Owner owner;
    CGfxOutBarCtrl bar;
    HIMAGELIST large = nullptr, small = nullptr;
};

class ShortOutBarTest : public OutBarTest {
protected:
    void SetUp() override {
        barHeight = 240;  // six headers leave room for about two items
        OutBarTest::SetUp();
    }
};

}  // namespace

TEST_F(OutBarTest, LayoutWithTheThirdFolderOpen) {
    bar.setSelFolder(2);
    Settle();
    RECT client = bar.ClientRect();
    const int h = bar.folderHeight;
    for (int i = 0; i < 3; ++i) {
        RECT rc = bar.headerRect(i);
        EXPECT_EQ(i * h - 1, rc.top) << i;
        EXPECT_EQ((i + 1) * h - 1, rc.bottom) << i;
        EXPECT_EQ(0, rc.left);
        EXPECT_EQ(client.right, rc.right);
    }
    for (int i = 3; i < 6; ++i) {
        RECT rc = bar.headerRect(i);
        EXPECT_EQ(client.bottom - h * (6 - i), rc.top) << i;
        EXPECT_EQ(client.bottom - h * (5 - i), rc.bottom) << i;
    }
    RECT area = bar.folderAreaRect();
    EXPECT_EQ(bar.headerRect(2).bottom, area.top);
    EXPECT_EQ(bar.headerRect(3).top, area.bottom);

    // Four items, icon above label, one under the other, centred, inside the area.
    ASSERT_EQ(4, bar.getItemCount());
    int previousBottom = area.top;
    for (int i = 0; i < 4; ++i) {
        RECT image, label;
        ASSERT_TRUE(bar.itemRects(i, &image, &label)) << i;
        EXPECT_EQ(16, image.right - image.left);
        EXPECT_EQ(16, image.bottom - image.top);
        EXPECT_LE(std::abs((image.left + image.right) - client.right), 1) << "image centred " << i;
        EXPECT_LE(std::abs((label.left + label.right) - client.right), 1) << "label centred " << i;
        EXPECT_GT(label.right - label.left, 20) << i;
        EXPECT_GE(label.top, image.bottom + bar.largeLabelGap) << i;
        EXPECT_GT(label.bottom - label.top, 8) << i;
        if (i == 0) EXPECT_EQ(area.top + bar.itemOffsetY, image.top);
        else EXPECT_EQ(previousBottom + bar.largeItemSpacing, image.top) << i;
        EXPECT_LT(label.bottom, area.bottom) << i;
        // The hover frame stays clear of the label.
        RECT frame = bar.itemFrameRect(i);
        EXPECT_LE(frame.bottom, label.top) << i;
        previousBottom = label.bottom;
    }
    EXPECT_FALSE(bar.itemRects(4, nullptr, nullptr));

    // Hit testing answers header, item (image or label), or nothing for gaps and empty space.
    int index = -1;
    EXPECT_EQ(CGfxOutBarCtrl::htFolder, bar.hitTest(Centre(bar.headerRect(4)), &index));
    EXPECT_EQ(4, index);
    EXPECT_EQ(CGfxOutBarCtrl::htItem, bar.hitTest(Centre(bar.itemRect(1)), &index));
    EXPECT_EQ(1, index);
    RECT label2;
    bar.itemRects(2, nullptr, &label2);
    EXPECT_EQ(CGfxOutBarCtrl::htItem, bar.hitTest(POINT {label2.left + 1, label2.bottom - 1}, &index));
    EXPECT_EQ(2, index);
    POINT gap {80, (bar.itemRect(1).bottom + bar.itemRect(2).top) / 2};
    EXPECT_EQ(CGfxOutBarCtrl::htNothing, bar.hitTest(gap, &index));
    EXPECT_EQ(-1, index);
    EXPECT_EQ(CGfxOutBarCtrl::htNothing, Hit(POINT {3, bar.itemRect(0).top + 3}));
    EXPECT_EQ(CGfxOutBarCtrl::htNothing, Hit(POINT {80, area.bottom - 3}));
    EXPECT_FALSE(bar.scrollArrowRect(true, nullptr));
    EXPECT_FALSE(bar.scrollArrowRect(false, nullptr));

    // What is on the screen: header faces, the folder area's background, a dark label pixel.
    EXPECT_EQ(bar.headerColour, Pixel(POINT {4, Centre(bar.headerRect(1)).y}));
    EXPECT_EQ(bar.headerColour, Pixel(POINT {4, Centre(bar.headerRect(5)).y}));
    EXPECT_EQ(bar.backgroundColour, Pixel(POINT {4, area.bottom - 4}));
    RECT label0;
    bar.itemRects(0, nullptr, &label0);
    bool ink = false;
    for (int y = label0.top; y < label0.bottom && !ink; ++y)
        for (int x = label0.left; x < label0.right && !ink; ++x) ink = Pixel(POINT {x, y}) == RGB(0, 0, 0);
    EXPECT_TRUE(ink) << "the label is drawn where it is laid out";
}

TEST_F(OutBarTest, ClickingAHeaderSelectsItsFolderAndReportsIt) {
    Click(Centre(bar.headerRect(3)));
    EXPECT_EQ(3, bar.getSelFolder());
    ASSERT_EQ(1u, owner.notes.size());
    EXPECT_EQ(kOutBarFolderChanged, owner.notes[0].code);
    EXPECT_EQ(3, owner.notes[0].arg);
    EXPECT_EQ(3, owner.notes[0].selSeen);
    EXPECT_EQ(bar.m_hWnd, owner.notes[0].captureSeen) << "the bar still holds the mouse while the owner answers";
    EXPECT_EQ(nullptr, ::GetCapture());
    EXPECT_EQ(3004u, bar.getFolderData());
    EXPECT_EQ(3021u, bar.getItemData(0));
    Settle();

    // The open folder's header again: nothing.
    Click(Centre(bar.headerRect(3)));
    EXPECT_EQ(1u, owner.notes.size());

    // Setting the same folder from outside (a toolbar button) reports it all the same.
    bar.setSelFolder(3);
    ASSERT_EQ(2u, owner.notes.size());
    EXPECT_EQ(kOutBarFolderChanged, owner.notes[1].code);
    EXPECT_EQ(3, owner.notes[1].arg);
    EXPECT_EQ(0, bar.getLastAnimationSteps());
    Settle();

    // Pressed on one header, released on another: nothing.
    Post(WM_MOUSEMOVE, Centre(bar.headerRect(5)));
    Post(WM_LBUTTONUP, Centre(bar.headerRect(5)));
    Press(Centre(bar.headerRect(4)));
    EXPECT_EQ(3, bar.getSelFolder());
    EXPECT_EQ(2u, owner.notes.size());
    EXPECT_EQ(nullptr, ::GetCapture());

    // Off the header and back onto it before the release counts as a click.
    Post(WM_MOUSEMOVE, Centre(bar.headerRect(5)));
    Post(WM_MOUSEMOVE, Centre(bar.headerRect(0)));
    Post(WM_LBUTTONUP, Centre(bar.headerRect(0)));
    Press(Centre(bar.headerRect(0)));
    EXPECT_EQ(0, bar.getSelFolder());
    ASSERT_EQ(3u, owner.notes.size());
    EXPECT_EQ(0, owner.notes[2].arg);
}

TEST_F(OutBarTest, ClickingAnItemReportsItsPosition) {
    owner.captureOnClick = true;  // as the main window does while a command runs
    bar.setSelFolder(1);
    owner.notes.clear();
    Settle();

    Click(Centre(bar.itemRect(3)));
    ASSERT_EQ(1u, owner.notes.size());
    EXPECT_EQ(kOutBarItemClicked, owner.notes[0].code);
    EXPECT_EQ(3, owner.notes[0].arg);
    EXPECT_EQ(3020u, bar.getItemData(3));
    EXPECT_EQ(bar.m_hWnd, owner.notes[0].captureSeen);
    EXPECT_EQ(nullptr, ::GetCapture()) << "the bar gives the mouse back after the owner's answer";
    EXPECT_FALSE(bar.isTracking());

    // On the label rather than the picture.
    RECT label;
    ASSERT_TRUE(bar.itemRects(0, nullptr, &label));
    Click(POINT {label.right - 2, label.top + 2});
    ASSERT_EQ(2u, owner.notes.size());
    EXPECT_EQ(0, owner.notes[1].arg);

    // Pressed, moved off, released elsewhere: nothing.
    Post(WM_MOUSEMOVE, Centre(bar.itemRect(4)));
    Post(WM_LBUTTONUP, POINT {80, bar.folderAreaRect().bottom - 3});
    Press(Centre(bar.itemRect(2)));
    EXPECT_EQ(2u, owner.notes.size());

    // Moved off and back before the release: it counts.
    Post(WM_MOUSEMOVE, POINT {2, 2});
    Post(WM_MOUSEMOVE, Centre(bar.itemRect(2)));
    Post(WM_LBUTTONUP, Centre(bar.itemRect(2)));
    Press(Centre(bar.itemRect(2)));
    ASSERT_EQ(3u, owner.notes.size());
    EXPECT_EQ(2, owner.notes[2].arg);

    // Escape gives up the click; keys other than Escape change nothing.
    ::PostMessageA(bar.m_hWnd, WM_KEYDOWN, 'A', 0);
    ::PostMessageA(bar.m_hWnd, WM_KEYDOWN, VK_ESCAPE, 0);
    Post(WM_LBUTTONUP, Centre(bar.itemRect(1)));
    Press(Centre(bar.itemRect(1)));
    EXPECT_EQ(3u, owner.notes.size());
    PumpFor(20);  // the release left in the queue reaches the bar as an ordinary message
    EXPECT_EQ(3u, owner.notes.size());
    EXPECT_EQ(nullptr, ::GetCapture());
}

TEST_F(OutBarTest, GapsAndEmptyPlacesSendNothing) {
    bar.setSelFolder(1);
    owner.notes.clear();
    Settle();
    RECT area = bar.folderAreaRect();
    std::vector<POINT> nowhere = {
        {80, (bar.itemRect(0).bottom + bar.itemRect(1).top) / 2},  // between two items
        {80, (bar.itemRect(3).bottom + bar.itemRect(4).top) / 2},
        {80, area.bottom - 3},                                       // below the last item
        {3, Centre(bar.itemRect(2)).y},                              // beside an item
    };
    for (POINT pt : nowhere) {
        EXPECT_EQ(CGfxOutBarCtrl::htNothing, Hit(pt)) << pt.x << "," << pt.y;
        Click(pt);
        EXPECT_FALSE(bar.isTracking());
        EXPECT_EQ(nullptr, ::GetCapture());
    }
    PumpFor(20);
    EXPECT_TRUE(owner.notes.empty());
    EXPECT_EQ(1, bar.getSelFolder());
}

TEST_F(OutBarTest, LosingTheMouseEndsTheClickWithoutAction) {
    bar.setSelFolder(1);
    owner.notes.clear();
    Settle();
    // Something else takes the mouse while the button is held on an item.
    gThief = owner.m_hWnd;
    ::SetTimer(nullptr, 0, 50, &StealCapture);
    Press(Centre(bar.itemRect(1)));
    EXPECT_FALSE(bar.isTracking());
    EXPECT_TRUE(owner.notes.empty());
    ::ReleaseCapture();
    // The control still works afterwards.
    Click(Centre(bar.itemRect(1)));
    ASSERT_EQ(1u, owner.notes.size());
    EXPECT_EQ(1, owner.notes[0].arg);
}

TEST_F(OutBarTest, HoverFramesFollowTheMouseAndGoWhenItLeaves) {
    bar.setSelFolder(1);
    Settle();
    POINT item1 = Centre(bar.itemRect(1));
    RECT frame = bar.itemFrameRect(1);
    COLORREF raised = ::GetSysColor(COLOR_3DHILIGHT);

    MoveCursor(item1);
    bar.Send(WM_MOUSEMOVE, 0, At(item1));
    EXPECT_EQ(1, bar.getHotItem());
    EXPECT_EQ(-1, bar.getHotFolder());
    EXPECT_EQ(raised, Pixel(POINT {frame.left, frame.top}));
    EXPECT_EQ(bar.backgroundColour, Pixel(POINT {frame.left - 1, frame.top}));

    // While the mouse stays in the window the timer keeps the frame.
    PumpFor(300);
    EXPECT_EQ(1, bar.getHotItem());

    // Onto a header: the item frame is erased, the header gets its dark edge.
    POINT header = Centre(bar.headerRect(4));
    MoveCursor(header);
    bar.Send(WM_MOUSEMOVE, 0, At(header));
    EXPECT_EQ(-1, bar.getHotItem());
    EXPECT_EQ(4, bar.getHotFolder());
    EXPECT_EQ(bar.backgroundColour, Pixel(POINT {frame.left, frame.top}));
    RECT h4 = bar.headerRect(4);
    EXPECT_EQ(::GetSysColor(COLOR_3DDKSHADOW), Pixel(POINT {h4.right - 1, Centre(h4).y}));

    // The folder cursor over a header, the ordinary one elsewhere.
    HCURSOR hand = ::LoadCursorA(AppInstance(), MAKEINTRESOURCEA(IDC_HAND_CURSOR));
    ASSERT_TRUE(hand);
    bar.Send(WM_SETCURSOR, reinterpret_cast<WPARAM>(bar.m_hWnd), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
    EXPECT_EQ(hand, ::GetCursor());
    MoveCursor(item1);
    bar.Send(WM_SETCURSOR, reinterpret_cast<WPARAM>(bar.m_hWnd), MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
    EXPECT_NE(hand, ::GetCursor());

    // The mouse leaves the window: timer 1 clears the frames, at the latest soon after 100 ms.
    MoveCursor(header);
    bar.Send(WM_MOUSEMOVE, 0, At(header));
    ParkCursor();
    EXPECT_TRUE(PumpUntil([&] { return bar.getHotFolder() == -1; }, 2000));
    EXPECT_EQ(-1, bar.getHotItem());
    EXPECT_EQ(bar.frameColour, Pixel(POINT {h4.right - 1, Centre(h4).y}));
}

TEST_F(ShortOutBarTest, ScrollArrowsAppearWhenItemsOverflowAndScroll) {
    bar.setSelFolder(1);  // five items
    owner.notes.clear();
    Settle();
    RECT area = bar.folderAreaRect();
    RECT down, up;
    ASSERT_TRUE(bar.scrollArrowRect(false, &down));
    EXPECT_FALSE(bar.scrollArrowRect(true, &up));
    int cx = ::GetSystemMetrics(SM_CXVSCROLL);
    EXPECT_EQ(cx, down.right - down.left);
    EXPECT_EQ(cx, down.bottom - down.top);
    EXPECT_EQ(area.right - 5, down.right);
    EXPECT_EQ(area.bottom - 5, down.bottom);
    EXPECT_EQ(CGfxOutBarCtrl::htDownScroll, Hit(Centre(down)));

    // One click: one step; the up arrow shows up.
    Click(Centre(down));
    EXPECT_EQ(1, bar.getFirstVisibleItem());
    EXPECT_TRUE(owner.notes.empty());
    Settle();
    ASSERT_TRUE(bar.scrollArrowRect(true, &up));
    EXPECT_EQ(area.top + 5, up.top);
    EXPECT_FALSE(bar.itemRects(0, nullptr, nullptr)) << "item 0 is scrolled out";
    EXPECT_EQ(area.top + bar.itemOffsetY, bar.itemRect(1).top) << "item 1 heads the area now";

    // Held down: it repeats every 300 ms and stops by itself once the last item fits.
    Press(Centre(down));
    EXPECT_FALSE(bar.isTracking());
    EXPECT_EQ(nullptr, ::GetCapture());
    Settle();
    EXPECT_FALSE(bar.scrollArrowRect(false, nullptr));
    EXPECT_LE(bar.itemRect(4).bottom, area.bottom);
    int last = bar.getFirstVisibleItem();
    EXPECT_GT(last, 1);

    // Pressed on the up arrow, moved off and released elsewhere: no step.
    ASSERT_TRUE(bar.scrollArrowRect(true, &up));
    Post(WM_MOUSEMOVE, POINT {2, area.bottom - 2});
    Post(WM_LBUTTONUP, POINT {2, area.bottom - 2});
    Press(Centre(up));
    EXPECT_EQ(last, bar.getFirstVisibleItem());
    // A click: one step back; the down arrow returns (so the repeat had stopped just in time).
    Click(Centre(up));
    EXPECT_EQ(last - 1, bar.getFirstVisibleItem());
    Settle();
    EXPECT_TRUE(bar.scrollArrowRect(false, nullptr));
    // Clicking the items that scrolled in reports their real positions.
    Click(Centre(bar.itemRect(last - 1)));
    ASSERT_EQ(1u, owner.notes.size());
    EXPECT_EQ(last - 1, owner.notes[0].arg);

    // Another folder starts at the top again.
    bar.setSelFolder(3);
    EXPECT_EQ(0, bar.getFirstVisibleItem());
}

TEST_F(OutBarTest, FolderChangeSlidesTheHeaders) {
    bar.setAnimationSpeed(20);  // the main window's value: 10 ms per step
    const int h = bar.folderHeight;
    RECT client = bar.ClientRect();
    RECT oldHeader1 = bar.headerRect(1);

    gWatched = bar.m_hWnd;
    gFrames.clear();
    HHOOK hook = ::SetWindowsHookExA(WH_CALLWNDPROCRET, &AfterPaint, nullptr, ::GetCurrentThreadId());
    ASSERT_TRUE(hook);
    bar.setSelFolder(4);
    ::UnhookWindowsHookEx(hook);

    // Headers 1-4 travel from the bottom to the top, 20 pixels a step; each step's paint shows
    // the four of them whole at their new place, the new folder's area showing under them.
    const int target = h - 1;
    int distance = oldHeader1.top - target;
    int steps = bar.getLastAnimationSteps();
    EXPECT_EQ((distance + 19) / 20, steps);
    for (int k = 1; k <= steps; ++k) {
        int top = std::max(static_cast<int>(oldHeader1.top) - 20 * k, target);
        bool shown = false;
        for (const auto& col : gFrames) {
            bool band = true;
            for (int i = 0; i < 4; ++i) band = band && col[top + i * h + h / 2] == bar.headerColour;
            if (band && col[top + 4 * h + 3] == bar.backgroundColour) shown = true;
        }
        EXPECT_TRUE(shown) << "step " << k << ": no paint shows the band at " << top;
    }
    ASSERT_EQ(1u, owner.notes.size());
    EXPECT_EQ(4, owner.notes[0].arg);
    Settle();
    EXPECT_EQ(bar.headerColour, Pixel(POINT {4, Centre(bar.headerRect(4)).y}));
    EXPECT_EQ(bar.backgroundColour, Pixel(POINT {4, Centre(oldHeader1).y}))
        << "no header is left behind where the band started";
    EXPECT_EQ(bar.headerColour, Pixel(POINT {4, client.bottom - h / 2}));

    // Back to an earlier folder: the band goes down again.
    bar.setSelFolder(1);
    EXPECT_GT(bar.getLastAnimationSteps(), 0);
    Settle();
    EXPECT_EQ(bar.headerColour, Pixel(POINT {4, Centre(bar.headerRect(2)).y}));
    EXPECT_EQ(bar.backgroundColour, Pixel(POINT {4, 4 * h}));

    // Without the animation flag, or with a negative pause value, it just jumps.
    bar.modifyFlags(kOutBarAnimate, 0);
    bar.setSelFolder(5);
    EXPECT_EQ(0, bar.getLastAnimationSteps());
    bar.modifyFlags(0, kOutBarAnimate);
    bar.setAnimationSpeed(-1);
    bar.setSelFolder(0);
    EXPECT_EQ(0, bar.getLastAnimationSteps());
    EXPECT_EQ(4u, owner.notes.size());
}

TEST_F(OutBarTest, ItemTimerCountsOnlyWhileSet) {
    bar.setItemTick(20);
    int seen = bar.getItemTickCount();
    EXPECT_TRUE(PumpUntil([&] { return bar.getItemTickCount() != seen; }, 2000));
    bool wrapped = PumpUntil([&] { return bar.getItemTickCount() == 0; }, 3000);
    EXPECT_TRUE(wrapped) << "the counter runs 0 to 10 and wraps";
    bar.setItemTick(0);
    PumpFor(30);
    seen = bar.getItemTickCount();
    PumpFor(150);
    EXPECT_EQ(seen, bar.getItemTickCount());
    EXPECT_GE(seen, 0);
    EXPECT_LE(seen, 10);
}

TEST_F(OutBarTest, ContentsAndNotificationsWithoutAnOwner) {
    CGfxOutBarCtrl fresh;
    EXPECT_EQ(kOutBarDefaultFlags, fresh.getFlags());
    EXPECT_EQ(0, fresh.getSelFolder());
    EXPECT_EQ(0, fresh.getItemCount());
    EXPECT_EQ(6, bar.getFolderCount());
    EXPECT_EQ(3003u, bar.getFolderData());
    EXPECT_EQ(3001u, bar.getFolderData(2));
    EXPECT_EQ(0u, bar.getFolderData(6));
    EXPECT_EQ(3u, static_cast<unsigned>(bar.getItemCount()));
    EXPECT_EQ(3029u, bar.getItemData(0));
    EXPECT_EQ(0u, bar.getItemData(3));
    EXPECT_EQ(0u, bar.getItemData(-1));
    EXPECT_EQ("Delete All", bar.getItemText(2));

    // Inserting: at the index, or at the end when the index is negative or too large.
    EXPECT_EQ(1, bar.insertItem(0, 1, "Middle", 4, 42));
    EXPECT_EQ(4, bar.insertItem(0, 99, "Last", 4, 43));
    EXPECT_EQ(-1, bar.insertItem(7, 0, "Nowhere", 4, 44));
    EXPECT_EQ(42u, bar.getItemData(1));
    EXPECT_EQ(3030u, bar.getItemData(2));
    EXPECT_EQ(43u, bar.getItemData(4));
    bar.setItemText(1, "Renamed");
    EXPECT_EQ("Renamed", bar.getItemText(1));
    bar.setFolderText(0, "Files");
    EXPECT_EQ("Files", bar.getFolderText(0));

    // A folder index out of range changes nothing and reports nothing.
    bar.setSelFolder(6);
    bar.setSelFolder(-1);
    EXPECT_EQ(0, bar.getSelFolder());
    EXPECT_TRUE(owner.notes.empty());

    // Image lists: the previous one comes back; unknown kinds are refused.
    EXPECT_EQ(large, bar.setImageList(large, 2));
    EXPECT_EQ(small, bar.setImageList(small, 1));
    EXPECT_EQ(nullptr, bar.setImageList(small, 3));

    // With no owner set the parent hears the clicks.
    struct Parent : public CWindowImpl {
        Parent() {
            OnMessage(WM_OUTBAR_NOTIFY, [this](WPARAM w, LPARAM l) { codes.push_back(int(w) * 100 + int(l)); return LRESULT(0); });
        }
        std::vector<int> codes;
    } parent;
    ASSERT_TRUE(parent.Create(nullptr, RECT {500, 40, 700, 600}, "parent", WS_OVERLAPPEDWINDOW | WS_VISIBLE));
    CGfxOutBarCtrl plain;
    ASSERT_TRUE(plain.create(WS_VISIBLE, RECT {0, 0, 160, 500}, parent.m_hWnd, 7, 0x140));
    EXPECT_EQ(parent.m_hWnd, plain.notifyWindow());
    EXPECT_TRUE(::GetWindowLongA(plain.m_hWnd, GWL_EXSTYLE) & WS_EX_STATICEDGE);
    EXPECT_EQ(0x140u, plain.getFlags());
    plain.addFolder("One", 1);
    plain.addFolder("Two", 2);
    plain.insertItem(1, -1, "Go", -1, 9);
    plain.setSelFolder(1);
    plain.Update();
    POINT go = Centre(plain.itemRect(0));
    ::PostMessageA(plain.m_hWnd, WM_LBUTTONUP, 0, At(go));
    plain.Send(WM_LBUTTONDOWN, MK_LBUTTON, At(go));
    EXPECT_EQ((std::vector<int> {501, 100}), parent.codes);
    plain.Destroy();
    parent.Destroy();
}

TEST_F(OutBarTest, AFolderWindowTakesTheAreaOfItsFolder) {
    HWND child = ::CreateWindowExA(0, "STATIC", "inside", WS_CHILD | SS_WHITERECT, 0, 0, 10, 10, bar.m_hWnd,
                                   nullptr, AppInstance(), nullptr);
    ASSERT_TRUE(child);
    bar.setFolderChild(5, child);
    EXPECT_FALSE(::IsWindowVisible(child)) << "its folder is not open";
    bar.setSelFolder(5);
    EXPECT_TRUE(::IsWindowVisible(child));
    RECT area = bar.folderAreaRect(), placed;
    ::GetWindowRect(child, &placed);
    ::MapWindowPoints(nullptr, bar.m_hWnd, reinterpret_cast<POINT*>(&placed), 2);
    EXPECT_TRUE(::EqualRect(&area, &placed));
    EXPECT_EQ(CGfxOutBarCtrl::htNothing, Hit(POINT {80, area.top + 10})) << "no items under the window";
    EXPECT_FALSE(bar.itemRects(0, nullptr, nullptr));

    // Resizing the bar moves the window along with the folder area.
    ::MoveWindow(bar.m_hWnd, 0, 0, 160, 400, TRUE);
    area = bar.folderAreaRect();
    ::GetWindowRect(child, &placed);
    ::MapWindowPoints(nullptr, bar.m_hWnd, reinterpret_cast<POINT*>(&placed), 2);
    EXPECT_TRUE(::EqualRect(&area, &placed));

    bar.setSelFolder(2);
    EXPECT_FALSE(::IsWindowVisible(child));
    EXPECT_EQ(4, bar.getItemCount());
}

TEST_F(OutBarTest, SmallIconLayoutPutsTheLabelBesideTheImage) {
    bar.setImageList(large, 1);
    bar.setSmallIconView(true);
    EXPECT_TRUE(bar.getFlags() & kOutBarSmallIcons);
    RECT area = bar.folderAreaRect();
    RECT image, label;
    ASSERT_TRUE(bar.itemRects(0, &image, &label));
    EXPECT_EQ(area.left + bar.itemOffsetX + 2, image.left);
    EXPECT_EQ(image.right + bar.smallLabelGap, label.left);
    RECT next;
    ASSERT_TRUE(bar.itemRects(1, &next, nullptr));
    EXPECT_GE(next.top, std::max(image.bottom, label.bottom) + bar.smallItemSpacing);
    Settle();
    Click(Centre(label));
    ASSERT_EQ(1u, owner.notes.size());
    EXPECT_EQ(0, owner.notes[0].arg);
    bar.setSmallIconView(false);
    EXPECT_FALSE(bar.getFlags() & kOutBarSmallIcons);
}

TEST_F(OutBarTest, SelectionHighlightAndDraggingWhenTheFlagsAskForThem) {
    bar.setSelFolder(3);  // five items
    owner.notes.clear();
    bar.modifyFlags(0, kOutBarSelHighlight | kOutBarDragItems);
    Settle();

    Click(Centre(bar.itemRect(1)));
    EXPECT_EQ(1, bar.getSelectedItem());
    ASSERT_EQ(1u, owner.notes.size());
    // The selected item keeps its own frame and gets no hover frame.
    bar.Send(WM_MOUSEMOVE, 0, At(Centre(bar.itemRect(1))));
    EXPECT_EQ(-1, bar.getHotItem());
    bar.Send(WM_MOUSEMOVE, 0, At(Centre(bar.itemRect(2))));
    EXPECT_EQ(2, bar.getHotItem());

    // Dragged onto item 3, the owner refusing: nothing moves, no click.
    owner.notes.clear();
    Post(WM_MOUSEMOVE, Centre(bar.itemRect(3)));
    Post(WM_LBUTTONUP, Centre(bar.itemRect(3)));
    Press(Centre(bar.itemRect(0)));
    ASSERT_EQ(1u, owner.notes.size());
    EXPECT_EQ(kOutBarItemDragged, owner.notes[0].code);
    EXPECT_EQ(3, owner.lastDrag.folder);
    EXPECT_EQ(0, owner.lastDrag.from);
    EXPECT_EQ(3, owner.lastDrag.to);
    EXPECT_EQ(3021u, bar.getItemData(0));

    // The owner agreeing: item 0 takes place 3.
    owner.dragAnswer = 1;
    Post(WM_MOUSEMOVE, Centre(bar.itemRect(3)));
    Post(WM_LBUTTONUP, Centre(bar.itemRect(3)));
    Press(Centre(bar.itemRect(0)));
    EXPECT_EQ(3023u, bar.getItemData(0));
    EXPECT_EQ(3021u, bar.getItemData(3));

    // Below the last item: to the end.
    Settle();
    POINT below {80, bar.itemRect(4).bottom + 4};
    Post(WM_MOUSEMOVE, Centre(bar.itemRect(2)));
    Post(WM_LBUTTONUP, below);
    Press(Centre(bar.itemRect(1)));
    EXPECT_EQ(5, owner.lastDrag.to);
    EXPECT_EQ(3022u, bar.getItemData(4));
}
