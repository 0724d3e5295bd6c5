// The result list: rows, size texts, icons, tool tips, separators and the list's look.
#include "core/view.h"
#include "resource.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <shellapi.h>

namespace {

class Host : public CWindowImpl {};

class ViewTest : public ::testing::Test {
protected:
    void SetUp() override {
        RECT rc {0, 0, 640, 400};
        ASSERT_TRUE(host.Create(nullptr, rc, "host", WS_OVERLAPPEDWINDOW | WS_VISIBLE));
        ASSERT_TRUE(view.CreateView(host.m_hWnd, 100));
        ::MoveWindow(view.m_hWnd, 0, 0, 620, 380, TRUE);
    }
    void Columns(std::initializer_list<const char*> titles) {
        int i = 0;
        for (const char* t : titles) {
            LVCOLUMNA col {};
            col.mask = LVCF_TEXT | LVCF_WIDTH;
            col.pszText = const_cast<char*>(t);
            col.cx = 120;
            view.Send(LVM_INSERTCOLUMNA, i++, reinterpret_cast<LPARAM>(&col));
        }
    }
    Host host;
    CWrenlyView view;
};

}  // namespace

TEST(FormatSize, Boundaries) {
    EXPECT_EQ("0 KB", FormatSize(0));
    EXPECT_EQ("1 KB", FormatSize(1));
    EXPECT_EQ("1 KB", FormatSize(1023));
    EXPECT_EQ("1 KB", FormatSize(1024));
    EXPECT_EQ("2 KB", FormatSize(1025));
    EXPECT_EQ("1024 KB", FormatSize(1048575));
    EXPECT_EQ("1 MB", FormatSize(1048576));
    EXPECT_EQ("2 MB", FormatSize(1048577));
    EXPECT_EQ("10 MB", FormatSize(10000000));
    EXPECT_EQ("4096 MB", FormatSize(0xFFFFFFFFULL));
    // Totals beyond 4 GB keep counting.
    EXPECT_EQ("5120 MB", FormatSize(5ULL * 1024 * 1024 * 1024));
}

TEST_F(ViewTest, RowsKeepTextsAndItemData) {
    Columns({"Name", "Folder", "Length"});
    view.SetListMode(kListUnneededFiles);
    EXPECT_EQ(0, view.AddRow({"a.tmp", "C:\\TEMP", "1 KB"}, -1, 7));
    EXPECT_EQ(1, view.AddRow({"b.bak", "C:\\DATA"}, -1, 0xFFFFFFFF));
    EXPECT_EQ(2, view.Count());
    EXPECT_EQ("C:\\TEMP", view.Text(0, 1));
    EXPECT_EQ("1 KB", view.Text(0, 2));
    EXPECT_EQ("", view.Text(1, 2));
    EXPECT_EQ(7u, view.Data(0));
    EXPECT_EQ(0xFFFFFFFFu, view.Data(1));
    std::string longText(3000, 'x');
    view.SetText(1, 2, longText);
    EXPECT_EQ(longText, view.Text(1, 2));
    view.DeleteRow(0);
    EXPECT_EQ("b.bak", view.Text(0, 0));
    view.DeleteAll();
    EXPECT_EQ(0, view.Count());
}

TEST_F(ViewTest, CheckBoxes) {
    Columns({"Program Name"});
    view.Send(LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_CHECKBOXES, LVS_EX_CHECKBOXES);
    view.AddRow({"one"}, 0, 1);
    view.AddRow({"two"}, 0, 0);
    view.SetChecked(0, true);
    EXPECT_TRUE(view.IsChecked(0));
    EXPECT_FALSE(view.IsChecked(1));
    view.SetChecked(0, false);
    EXPECT_FALSE(view.IsChecked(0));
}

TEST_F(ViewTest, InfoTipDropsWholeColumnsThatDoNotFit) {
    Columns({"Name", "Folder", "Length"});
    view.AddRow({"a.tmp", std::string(40, 'F'), "1 KB"}, 0, 0);
    EXPECT_EQ("Name:\t a.tmp\nFolder:\t " + std::string(40, 'F') + "\nLength:\t 1 KB", view.BuildInfoTip(0, 1024));
    // "Name:\t a.tmp" is 12 characters, the folder line 49, "Length:\t 1 KB" 13.
    EXPECT_EQ("Name:\t a.tmp\nLength:\t 1 KB", view.BuildInfoTip(0, 30));
    EXPECT_EQ("Name:\t a.tmp", view.BuildInfoTip(0, 13));
    EXPECT_EQ("", view.BuildInfoTip(0, 12));

    // The same through the list's own notification with a short buffer.
    char buf[30];
    NMLVGETINFOTIPA tip {};
    tip.hdr = {view.m_hWnd, 100, static_cast<UINT>(LVN_GETINFOTIPA)};
    tip.pszText = buf;
    tip.cchTextMax = sizeof buf;
    tip.iItem = 0;
    host.Send(WM_NOTIFY, 100, reinterpret_cast<LPARAM>(&tip));
    EXPECT_STREQ("Name:\t a.tmp\nLength:\t 1 KB", buf);
}

TEST_F(ViewTest, IconsFollowTheFallbackChain) {
    SHFILEINFOA sfi {};
    char sys[MAX_PATH];
    ::GetSystemDirectoryA(sys, MAX_PATH);
    std::string notepad = std::string(sys) + "\\notepad.exe";
    ASSERT_TRUE(::SHGetFileInfoA(notepad.c_str(), 0, &sfi, sizeof sfi, SHGFI_SYSICONINDEX | SHGFI_SMALLICON));
    int exeIcon = sfi.iIcon;

    EXPECT_EQ(0, CWrenlyView::IconForText(""));
    EXPECT_EQ(exeIcon, CWrenlyView::IconForText(notepad));
    // A command line: cut three characters after the first dot.
    EXPECT_EQ(exeIcon, CWrenlyView::IconForText(notepad + " /S"));
    EXPECT_EQ(exeIcon, CWrenlyView::IconForText("\"" + notepad + "\" /S"));
    // A bare name found in the system folder.
    EXPECT_EQ(exeIcon, CWrenlyView::IconForText("notepad.exe -x"));
    // Nothing to cut at.
    EXPECT_EQ(0, CWrenlyView::IconForText("C:\\NoSuchFolder\\nodot"));
}

TEST_F(ViewTest, ListModeSetsImageLists) {
    view.SetListMode(kListRegistry);
    EXPECT_EQ(kListRegistry, view.ListMode);
    EXPECT_EQ(reinterpret_cast<LRESULT>(view.RegistryImages()), view.Send(LVM_GETIMAGELIST, LVSIL_SMALL));
    EXPECT_NE(nullptr, view.RegistryImages());
    EXPECT_GE(::ImageList_GetImageCount(view.RegistryImages()), 8);

    int cleared = 0;
    view.clearDuplicateRecords = [&] { ++cleared; };
    view.SetListMode(kListStartupPrograms);
    SHFILEINFOA sfi {};
    auto system = static_cast<LRESULT>(::SHGetFileInfoA("C:\\", 0, &sfi, sizeof sfi, SHGFI_SYSICONINDEX | SHGFI_SMALLICON));
    EXPECT_EQ(system, view.Send(LVM_GETIMAGELIST, LVSIL_SMALL));
    EXPECT_EQ(1, cleared);
    EXPECT_TRUE(::GetWindowLongA(view.m_hWnd, GWL_STYLE) & LVS_SHAREIMAGELISTS);

    // The shared lists stay with their owners, but nothing the view made outlives it: not its
    // pictures, and not the check-box pictures of the tools that switch check boxes on.
    auto oneView = [&] {
        CWrenlyView other;
        ASSERT_TRUE(other.CreateView(host.m_hWnd, 101));
        for (int mode : {kListRegistry, kListStartupPrograms, kListUnneededFiles, kListHistory}) {
            other.SetListMode(mode);
            bool boxes = mode == kListStartupPrograms || mode == kListHistory;
            other.Send(LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_CHECKBOXES, boxes ? LVS_EX_CHECKBOXES : 0);
        }
    };
    oneView();
    const int before = GdiObjectCount();
    for (int i = 0; i < 5; ++i) oneView();
    EXPECT_EQ(before, GdiObjectCount()) << "GDI objects left behind by 5 views";
}

TEST_F(ViewTest, SeparatorRowsCannotBeSelected) {
    Columns({"Name", "Path", "Size"});
    view.SetListMode(kListDuplicates);
    view.groupOffsets = {0, 25};
    view.AddRow({"", "", ""}, 0, 2);       // separator: data == number of offsets
    view.AddRow({"A.TXT", "C:\\", "1 KB"}, 0, 0);
    view.AddRow({"A.TXT", "C:\\B", "1 KB"}, 0, 1);
    LVITEMA item {};
    item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    item.state = LVIS_SELECTED | LVIS_FOCUSED;
    view.Send(LVM_SETITEMSTATE, 0, reinterpret_cast<LPARAM>(&item));
    view.Send(LVM_SETITEMSTATE, 1, reinterpret_cast<LPARAM>(&item));
    EXPECT_FALSE(view.IsSelected(0));
    EXPECT_EQ(0, view.Send(LVM_GETITEMSTATE, 0, LVIS_FOCUSED));
    EXPECT_TRUE(view.IsSelected(1));

    // Arrowing onto the separator from the row below leaves it unselected too.
    ::SetFocus(view.m_hWnd);
    view.Send(WM_KEYDOWN, VK_UP, 0);
    view.Send(WM_KEYUP, VK_UP, 0);
    EXPECT_FALSE(view.IsSelected(0));

    // Outside the duplicate finder such rows select normally.
    view.SetListMode(kListUnneededFiles);
    view.Send(LVM_SETITEMSTATE, 0, reinterpret_cast<LPARAM>(&item));
    EXPECT_TRUE(view.IsSelected(0));
}

TEST_F(ViewTest, LookBoldFontColoursAndStripes) {
    EXPECT_EQ(RGB(0xEB, 0xEB, 0xEE), static_cast<COLORREF>(view.Send(LVM_GETBKCOLOR)));
    EXPECT_EQ(RGB(0xEB, 0xEB, 0xEE), static_cast<COLORREF>(view.Send(LVM_GETTEXTBKCOLOR)));
    LOGFONTA lf {};
    ::GetObjectA(reinterpret_cast<HFONT>(view.Send(WM_GETFONT)), sizeof lf, &lf);
    EXPECT_EQ(FW_BOLD, lf.lfWeight);
    DWORD ex = static_cast<DWORD>(view.Send(LVM_GETEXTENDEDLISTVIEWSTYLE));
    EXPECT_TRUE(ex & LVS_EX_FULLROWSELECT);
    EXPECT_TRUE(ex & LVS_EX_INFOTIP);

    // Custom draw: even columns one colour, odd columns the other, text black.
    NMLVCUSTOMDRAW cd {};
    cd.nmcd.hdr = {view.m_hWnd, 100, static_cast<UINT>(NM_CUSTOMDRAW)};
    cd.nmcd.dwDrawStage = CDDS_PREPAINT;
    EXPECT_EQ(CDRF_NOTIFYITEMDRAW, host.Send(WM_NOTIFY, 100, reinterpret_cast<LPARAM>(&cd)));
    cd.nmcd.dwDrawStage = CDDS_ITEMPREPAINT;
    EXPECT_EQ(CDRF_NOTIFYSUBITEMDRAW, host.Send(WM_NOTIFY, 100, reinterpret_cast<LPARAM>(&cd)));
    cd.nmcd.dwDrawStage = CDDS_ITEMPREPAINT | CDDS_SUBITEM;
    for (int col : {0, 1, 2, 3}) {
        cd.iSubItem = col;
        cd.clrText = RGB(1, 2, 3);
        host.Send(WM_NOTIFY, 100, reinterpret_cast<LPARAM>(&cd));
        EXPECT_EQ(RGB(0, 0, 0), cd.clrText);
        EXPECT_EQ(col % 2 ? RGB(0xF0, 0xF0, 0xF0) : RGB(0xED, 0xEB, 0xC8), cd.clrTextBk);
    }
}

TEST_F(ViewTest, LastColumnFillsTheView) {
    Columns({"Name", "Folder", "Length"});
    ::MoveWindow(view.m_hWnd, 0, 0, 600, 300, TRUE);
    int last = static_cast<int>(view.Send(LVM_GETCOLUMNWIDTH, 2));
    RECT rc;
    ::GetClientRect(view.m_hWnd, &rc);
    EXPECT_GE(last, rc.right - 240 - 4);
}
