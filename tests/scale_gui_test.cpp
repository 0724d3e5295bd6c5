// The windows at 100%, 150% and 200% display scale: the main window with its notifier, the
// Options sheet and the tip dialog, checked from the windows themselves. Every caption, label and
// text fits the place it is drawn in, and the pictures come in the size of the scale. The tests
// run at the sandbox's DPI (96), and again in this program started at 144 and 192 DPI.
#include "app/mainframe.h"
#include "framework/dpi.h"
#include "framework/prompter.h"
#include "framework/settings.h"
#include "framework/strings.h"
#include "options/optionssheet.h"
#include "resource.h"
#include "test_support.h"
#include "widgets/progressdlg.h"
#include "widgets/tipdlg.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace {

UINT Dpi() { return SystemDpi(); }
// A size chosen for 96 DPI, at the DPI of this run.
int S(int pixels) { return ScaleToDpi(pixels, Dpi()); }

int Width(const RECT& r) { return r.right - r.left; }
int Height(const RECT& r) { return r.bottom - r.top; }
bool Inside(const RECT& inner, const RECT& outer) {
    return inner.left >= outer.left && inner.top >= outer.top && inner.right <= outer.right &&
           inner.bottom <= outer.bottom;
}
std::string Describe(const RECT& r) {
    return "(" + std::to_string(r.left) + "," + std::to_string(r.top) + ")-(" + std::to_string(r.right) + "," +
           std::to_string(r.bottom) + ")";
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

int IconSize(HIMAGELIST list) {
    int cx = 0, cy = 0;
    if (!list || !::ImageList_GetIconSize(list, &cx, &cy)) return 0;
    return cx == cy ? cx : -1;
}

HFONT FontOf(HWND h) {
    auto font = reinterpret_cast<HFONT>(::SendMessageA(h, WM_GETFONT, 0, 0));
    return font ? font : static_cast<HFONT>(::GetStockObject(DEFAULT_GUI_FONT));
}

std::string ClassOf(HWND h) {
    char cls[64] = {};
    ::GetClassNameA(h, cls, sizeof cls);
    return cls;
}

// Every visible control of `parent` lies inside it, and its text fits it: push buttons, check
// boxes, radio buttons, group captions, static texts and, with `columnTitles`, list column titles
// (the header's own margins aside, which the 96-DPI widths leave out too).
void ExpectTextsFit(HWND parent, const std::string& where, bool columnTitles = false) {
    std::vector<HWND> children;
    ::EnumChildWindows(parent, [](HWND h, LPARAM l) {
        reinterpret_cast<std::vector<HWND>*>(l)->push_back(h);
        return TRUE;
    }, reinterpret_cast<LPARAM>(&children));
    for (HWND h : children) {
        HWND owner = ::GetParent(h);
        if (!::IsWindowVisible(h) || ClassOf(owner) == "SysListView32" || ClassOf(owner) == "SysHeader32") continue;
        RECT client {}, box {}, room {};
        ::GetClientRect(h, &client);
        ::GetWindowRect(h, &box);
        ::MapWindowPoints(nullptr, owner, reinterpret_cast<POINT*>(&box), 2);
        ::GetClientRect(owner, &room);
        std::string text = CWindow(h).Text();
        const std::string what = where + ": " + ClassOf(h) + " \"" + text + "\"";
        EXPECT_TRUE(Inside(box, room)) << what << " at " << Describe(box) << " outside " << Describe(room);

        const LONG style = ::GetWindowLongA(h, GWL_STYLE);
        const std::string cls = ClassOf(h);
        HFONT font = FontOf(h);
        if (cls == "Button" && !text.empty()) {
            const LONG kind = style & BS_TYPEMASK;
            RECT need = TextRect(font, text, DT_SINGLELINE);
            int room = Width(client);
            if (kind == BS_CHECKBOX || kind == BS_AUTOCHECKBOX || kind == BS_RADIOBUTTON ||
                kind == BS_AUTORADIOBUTTON || kind == BS_3STATE || kind == BS_AUTO3STATE)
                room -= SystemMetricForDpi(SM_CXMENUCHECK, Dpi()) + S(4);  // the box and its gap
            else if (kind == BS_GROUPBOX)
                room -= S(16);
            else
                room -= S(6);  // the button's edges
            EXPECT_LE(Width(need), room) << what << " is cut";
            if (kind != BS_GROUPBOX) {
                EXPECT_LE(Height(need), Height(client)) << what << " is cut";
            }
        } else if (cls == "Static" && !text.empty()) {
            const LONG kind = style & SS_TYPEMASK;
            if (kind != SS_LEFT && kind != SS_CENTER && kind != SS_RIGHT && kind != SS_LEFTNOWORDWRAP &&
                kind != SS_SIMPLE)
                continue;
            UINT format = DT_EXPANDTABS | ((style & SS_NOPREFIX) ? DT_NOPREFIX : 0);
            format |= (kind == SS_LEFTNOWORDWRAP || kind == SS_SIMPLE) ? DT_SINGLELINE : DT_WORDBREAK;
            RECT need = TextRect(font, text, format, Width(client));
            EXPECT_LE(Width(need), Width(client)) << what << " is cut";
            EXPECT_LE(Height(need), Height(client)) << what << " is cut";
        } else if (cls == "SysListView32" && columnTitles && !(style & LVS_NOCOLUMNHEADER)) {
            HWND header = reinterpret_cast<HWND>(::SendMessageA(h, LVM_GETHEADER, 0, 0));
            int columns = header ? static_cast<int>(::SendMessageA(header, HDM_GETITEMCOUNT, 0, 0)) : 0;
            for (int i = 0; i < columns; ++i) {
                char title[128] = {};
                LVCOLUMNA col {};
                col.mask = LVCF_TEXT | LVCF_WIDTH;
                col.pszText = title;
                col.cchTextMax = sizeof title;
                ::SendMessageA(h, LVM_GETCOLUMNA, i, reinterpret_cast<LPARAM>(&col));
                RECT need = TextRect(FontOf(header), title, DT_SINGLELINE);
                EXPECT_LE(Width(need), col.cx) << what << " column \"" << title << "\" is cut";
            }
        }
    }
}

// The settings store on a scratch key; each test runs at the DPI it was started at.
class AtThisScale : public ::testing::Test {
protected:
    AtThisScale() : key_("scale") {
        SetSettingsKey(key_.path().substr(std::string("Software\\").size()), "Kelvo Utils");
    }
    ~AtThisScale() override { SetSettingsKey("Kelvo Utils", "Kelvo Utils"); }
    void SetUp() override {
        if (RequestedDpi()) {
            ASSERT_EQ(RequestedDpi(), Dpi()) << "the child did not start at the DPI asked for";
        }
    }

    ScratchKey key_;
    ScriptedPrompter prompts_;
};

class MainWindowAtThisScale : public AtThisScale {
protected:
    void SetUp() override {
        AtThisScale::SetUp();
        frame = std::make_unique<CMainFrame>();
        ASSERT_TRUE(frame->CreateFrame());
        SetMainWindow(frame->m_hWnd);
        RECT first = frame->WindowRect();
        EXPECT_GE(first.bottom - first.top, S(450)) << "opened under the minimum size";
        // The first-run size of a 1024 x 768 screen at 100%, at this scale: the same room for
        // everything as there.
        ::SetWindowPos(frame->m_hWnd, nullptr, 0, 0, S(853), S(640), SWP_NOZORDER);
        frame->Show(SW_SHOW);
        frame->Update();
    }
    void TearDown() override {
        SetMainWindow(nullptr);
        if (frame && frame->IsWindow()) ::DestroyWindow(frame->m_hWnd);
        MSG msg;
        while (::PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {}
        frame.reset();
    }
    std::unique_ptr<CMainFrame> frame;
};

}  // namespace

TEST_F(MainWindowAtThisScale, PicturesAreTheSizeOfTheScale) {
    CGfxOutBarCtrl& bar = frame->OutBar();
    EXPECT_EQ(S(16), IconSize(bar.getImageList(2)));
    EXPECT_EQ(S(16), IconSize(reinterpret_cast<HIMAGELIST>(::SendMessageA(frame->ToolBar(), TB_GETIMAGELIST, 0, 0))));
    bar.setSelFolder(1);
    CWrenlyView* view = frame->GetListView();
    EXPECT_EQ(S(16), IconSize(reinterpret_cast<HIMAGELIST>(view->Send(LVM_GETIMAGELIST, LVSIL_SMALL))));
    bar.setSelFolder(0);
    EXPECT_EQ(SystemMetricForDpi(SM_CXSMICON, Dpi()),
              IconSize(reinterpret_cast<HIMAGELIST>(view->Send(LVM_GETIMAGELIST, LVSIL_SMALL))));
    // The busy clip takes the size of the drawing for the scale.
    RECT clip {};
    ::GetClientRect(frame->BusyAnimation(), &clip);
    EXPECT_EQ(S(48), Width(clip));
    EXPECT_EQ(S(16), Height(clip));
    // The toolbar's buttons hold their pictures, and the band holds the buttons.
    DWORD button = static_cast<DWORD>(::SendMessageA(frame->ToolBar(), TB_GETBUTTONSIZE, 0, 0));
    EXPECT_GT(HIWORD(button), S(16));
    RECT toolbar {};
    ::GetClientRect(frame->ToolBar(), &toolbar);
    EXPECT_GE(Height(toolbar), static_cast<int>(HIWORD(button)));
}

TEST_F(MainWindowAtThisScale, OutlookBarCaptionsAndLabelsFit) {
    CGfxOutBarCtrl& bar = frame->OutBar();
    // The splitter's left column: as wide as at 100%, or as the captions need.
    EXPECT_GE(Width(bar.WindowRect()), S(160));
    EXPECT_LE(Width(bar.WindowRect()), S(180));
    TEXTMETRICA tm {};
    HDC dc = ::GetDC(nullptr);
    HGDIOBJ old = ::SelectObject(dc, bar.getFont());
    ::GetTextMetricsA(dc, &tm);
    ::SelectObject(dc, old);
    ::ReleaseDC(nullptr, dc);
    for (int open = 0; open < bar.getFolderCount(); ++open) {
        bar.setSelFolder(open);
        for (int i = 0; i < bar.getFolderCount(); ++i) {
            RECT header = bar.headerRect(i);
            std::string caption = bar.getFolderText(i) + "  ";
            // Inside its edges: one line above and one pixel on each side.
            EXPECT_LE(Width(TextRect(bar.getFont(), caption, DT_SINGLELINE)), Width(header) - 2)
                << "caption \"" << bar.getFolderText(i) << "\"";
            EXPECT_LE(tm.tmHeight, Height(header) - 3) << "caption \"" << bar.getFolderText(i) << "\"";
        }
        RECT area = bar.folderAreaRect();
        for (int i = 0; i < bar.getItemCount(); ++i) {
            const std::string label = bar.getItemText(i);
            RECT image {}, place {};
            ASSERT_TRUE(bar.itemRects(i, &image, &place)) << label;
            EXPECT_EQ(S(16), Width(image)) << label;
            EXPECT_EQ(S(16), Height(image)) << label;
            RECT need = TextRect(bar.getFont(), label, DT_WORDBREAK | DT_CENTER | DT_NOPREFIX, Width(area));
            EXPECT_LE(Width(need), Width(place)) << label;
            EXPECT_LE(Height(need), Height(place)) << label;
            EXPECT_TRUE(Inside(place, area)) << label << " at " << Describe(place) << " in " << Describe(area);
        }
        EXPECT_FALSE(bar.scrollArrowRect(false, nullptr)) << "folder " << open << " needs scrolling";
    }
}

TEST_F(MainWindowAtThisScale, ColumnsBarsAndMinimumSize) {
    CWrenlyView* view = frame->GetListView();
    EXPECT_EQ(S(120), view->Send(LVM_GETCOLUMNWIDTH, 0));
    for (int tool = 0; tool < 6; ++tool) {
        frame->OutBar().setSelFolder(tool);
        // The startup tool lists at once and sizes its columns to what it found.
        ExpectTextsFit(frame->Splitter().m_hWnd, kTools[tool].caption, tool != 2);
    }
    // The message bar and the status bar are as tall as their texts.
    for (HWND bar : {frame->MessageBar(), frame->StatusBar()}) {
        RECT client {};
        ::GetClientRect(bar, &client);
        EXPECT_GE(Height(client), Height(TextRect(FontOf(bar), "Scanning Wg", DT_SINGLELINE)) + S(4))
            << ::GetDlgCtrlID(bar);
    }
    ::SetWindowPos(frame->m_hWnd, nullptr, 0, 0, 100, 100, SWP_NOMOVE | SWP_NOZORDER);
    RECT rc = frame->WindowRect();
    EXPECT_EQ(S(500), Width(rc));
    EXPECT_EQ(S(450), Height(rc));
}

TEST_F(MainWindowAtThisScale, NotifierTextFitsItsSkin) {
    CTaskbarNotifier& notifier = frame->Notifier();
    EXPECT_EQ(S(240), notifier.skinWidth);
    EXPECT_EQ(S(150), notifier.skinHeight);
    const std::string longest(LoadStr(IDS_NOTIFY_UNNEEDED_FILES));
    const std::string many = longest + "\n" + longest + "\n" + longest;
    for (const std::string& text : {LoadStr(IDS_NOTIFY_REGISTRY), longest, many}) {
        notifier.ShowText(text, 10, 10000, 10);
        for (int i = 0; i < 1000 && notifier.state != NotifierState::Waiting; ++i)
            notifier.Send(WM_TIMER, CTaskbarNotifier::kAppearTimer);
        RECT window = notifier.WindowRect();
        EXPECT_EQ(notifier.skinWidth, Width(window));
        EXPECT_EQ(notifier.skinHeight, Height(window));
        const RECT area = notifier.textArea;
        EXPECT_TRUE(Inside(area, RECT {0, 0, notifier.skinWidth, notifier.skinHeight})) << Describe(area);
        for (HFONT font : {notifier.normalFont, notifier.hoverFont}) {
            RECT need = TextRect(font, text, notifier.drawFlags & ~(DT_VCENTER | DT_END_ELLIPSIS), Width(area));
            EXPECT_LE(Height(need), Height(area)) << text;
            EXPECT_LE(Width(need), Width(area)) << text;
        }
        // The text area is all within the window's shape.
        HRGN shape = ::CreateRectRgn(0, 0, 0, 0);
        ASSERT_NE(ERROR, ::GetWindowRgn(notifier.m_hWnd, shape));
        EXPECT_TRUE(::PtInRegion(shape, area.left, area.top));
        EXPECT_TRUE(::PtInRegion(shape, area.right - 1, area.bottom - 1));
        ::DeleteObject(shape);
        notifier.HideNow();
    }
}

TEST_F(AtThisScale, OptionsSheetPagesFit) {
    FileToolSettings settings;
    bool taskNotify = true, playSound = true;
    COptionsSheet sheet(settings, taskNotify, playSound, kPageDrives);
    int page = 0;
    bool done = false;
    // One page per tick, inside the sheet's modal loop.
    static std::function<void()> step;
    step = [&] {
        HWND h = sheet.Window();
        if (!h || !PropSheet_GetCurrentPageHwnd(h)) return;
        if (page == 6) {
            ExpectTextsFit(h, "sheet");
            ::PostMessageA(h, PSM_PRESSBUTTON, PSBTN_CANCEL, 0);
            done = true;
            return;
        }
        ::SendMessageA(h, PSM_SETCURSEL, page, 0);
        HWND shown = PropSheet_GetCurrentPageHwnd(h);
        if (page == kPageRegClean) ::SendMessageA(shown, WM_COMMAND, IDC_ADVANCED, 0);
        ExpectTextsFit(shown, "page " + std::to_string(page));
        for (int id : {IDC_DRIVE_LIST, IDC_JUNK_LIST, IDC_EXCLUDE_LIST, IDC_UNDO_LIST, IDC_DUP_LIST}) {
            HWND list = ::GetDlgItem(shown, id);
            if (!list) continue;
            EXPECT_EQ(SystemMetricForDpi(SM_CXSMICON, Dpi()),
                      IconSize(reinterpret_cast<HIMAGELIST>(::SendMessageA(list, LVM_GETIMAGELIST, LVSIL_SMALL, 0))))
                << "page " << page;
        }
        // The columns that open at a set width (the others take their contents' width).
        struct Columns { int page; int list; std::vector<int> widths; };
        for (const Columns& c : {Columns {kPageUnneededFiles, IDC_JUNK_LIST, {50, 50}},
                                 Columns {kPageRegClean, IDC_UNDO_LIST, {150}}}) {
            if (c.page != page) continue;
            for (size_t i = 0; i < c.widths.size(); ++i)
                EXPECT_EQ(S(c.widths[i]), ::SendMessageA(::GetDlgItem(shown, c.list), LVM_GETCOLUMNWIDTH, i, 0))
                    << "page " << page << " column " << i;
        }
        ++page;
    };
    UINT_PTR timer = ::SetTimer(nullptr, 0, 30, [](HWND, UINT, UINT_PTR, DWORD) {
        if (step) step();
    });
    sheet.DoModal(nullptr);
    ::KillTimer(nullptr, timer);
    step = nullptr;
    EXPECT_TRUE(done);
}

TEST_F(AtThisScale, TipDialogFits) {
    ScratchDir dir("scale");
    ASSERT_TRUE(WriteFileText(dir / "tips.txt", "A tip that is long enough to wrap over a few lines of the tip area.\n"));
    CDailyTipDlg dlg(-1, nullptr, dir / "tips.txt");
    ASSERT_TRUE(dlg.CreateModeless(nullptr));
    dlg.Show(SW_SHOW);
    dlg.Update();
    ExpectTextsFit(dlg.m_hWnd, "tip");
    RECT band = dlg.HeadingBand();
    EXPECT_EQ(S(232), Width(band));
    RECT heading = TextRect(FontOf(dlg.m_hWnd), " " + LoadStr(IDS_DID_YOU_KNOW), DT_SINGLELINE);
    EXPECT_LE(Width(heading), Width(band));
    EXPECT_LE(Height(heading), Height(band));

    // The bulb as painted: its picture reaches down most of its drawing's height.
    PumpFor(100);
    RECT bulb {};
    ::GetWindowRect(dlg.Item(IDC_TIP_BULB), &bulb);
    ::MapWindowPoints(nullptr, dlg.m_hWnd, reinterpret_cast<POINT*>(&bulb), 2);
    HDC dc = ::GetDC(dlg.m_hWnd);
    int lowest = -1;
    for (int y = bulb.top; y < bulb.top + S(48); ++y)
        for (int x = bulb.left; x < bulb.left + S(32); ++x)
            if (::GetPixel(dc, x, y) != RGB(255, 255, 255)) lowest = y - bulb.top;
    ::ReleaseDC(dlg.m_hWnd, dc);
    EXPECT_GE(lowest, S(28));
    EXPECT_LT(lowest, S(32));
    dlg.DestroyModeless();
}

TEST_F(AtThisScale, ProgressDialogsFit) {
    CCancelDialog cancel;
    CAnimationDialog animation;
    ASSERT_TRUE(cancel.create(nullptr));
    ASSERT_TRUE(animation.create(nullptr));
    ExpectTextsFit(cancel.m_hWnd, "cancel dialog");
    ExpectTextsFit(animation.m_hWnd, "animation dialog");
    cancel.close();
    animation.close();
}

TEST(Scales, EveryWindowAt150And200Percent) {
    if (RequestedDpi()) GTEST_SKIP() << "run by the program started at 96 DPI";
    auto logPixels = [] {
        DWORD value = 0, size = sizeof value;
        LONG rc = ::RegGetValueA(HKEY_CURRENT_USER, "Control Panel\\Desktop", "LogPixels", RRF_RT_REG_DWORD, nullptr,
                                 &value, &size);
        return rc == ERROR_SUCCESS ? static_cast<long>(value) : -1L;
    };
    const long before = logPixels();
    for (UINT dpi : {144u, 192u}) EXPECT_EQ(0u, RunAtDpi(dpi, "*AtThisScale.*")) << dpi << " DPI";
    // The machine is back at its own DPI for the programs that start next.
    EXPECT_EQ(before, logPixels());
}
