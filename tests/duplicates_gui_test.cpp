// The duplicate finder on the real result list: rows whose names and paths come from "duplist"
// when the list asks, separators that cannot be selected, "Delete Selected" on those rows, the
// Scan command with its cancel dialog, and the list file failure.
#include "core/view.h"
#include "duplicates/dupcommands.h"
#include "duplicates/duplist.h"
#include "duplicates/dupscan.h"
#include "files/filecommands.h"
#include "files_testkit.h"
#include "framework/strings.h"
#include "widgets/progressdlg.h"

#include <gtest/gtest.h>

using namespace filestest;

namespace {

class Host : public CWindowImpl {};

class DuplicatesViewTest : public ::testing::Test {
protected:
    void SetUp() override {
        RECT rc {0, 0, 700, 400};
        ASSERT_TRUE(host.Create(nullptr, rc, "duplicates host", WS_OVERLAPPEDWINDOW | WS_VISIBLE));
        ASSERT_TRUE(view.CreateView(host.m_hWnd, 100));
        ::MoveWindow(view.m_hWnd, 0, 0, 680, 380, TRUE);
        SetMainWindow(host.m_hWnd);
        for (const char* title : {"Name", "Path", "Size"}) {
            LVCOLUMNA col {};
            col.mask = LVCF_TEXT | LVCF_WIDTH;
            col.pszText = const_cast<char*>(title);
            col.cx = 120;
            view.Send(LVM_INSERTCOLUMNA, view.ColumnCount(), reinterpret_cast<LPARAM>(&col));
        }
        view.SetListMode(kListDuplicates);
        InstallDuplicateFinder(view);
        SetDuplicateListFolder(listDir.path());
    }
    void TearDown() override {
        SetDuplicateListFolder("");
        SetMainWindow(nullptr);
    }

    // Scans `root` into the real list, as the Scan command would but without the dialog.
    DuplicateScanOutcome ScanInto(const std::string& root) {
        CViewDuplicateRows rows(view);
        CountingCancel never;
        CDuplicateFinder finder(rows, view.groupOffsets, never, frame, view.settings, listDir.path());
        finder.roots = {root};
        return finder.ScanDuplicates();
    }
    int RowOf(const std::string& path) {
        for (int r = 0; r < view.Count(); ++r)
            if (SameText(view.Text(r, 1), path)) return r;
        return -1;
    }
    void Select(int row, bool on = true) {
        LVITEMA item {};
        item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
        item.state = on ? (LVIS_SELECTED | LVIS_FOCUSED) : 0;
        view.Send(LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&item));
    }

    ScratchSettings scratch;
    ScratchDir listDir {"dupgui"};
    Host host;
    CWrenlyView view;
    RecordingStatus frame;
};

std::string UniqueName(const std::string& stem) { return "kelvodup-" + stem + "-" + Pid() + ".mp3"; }

}  // namespace

TEST_F(DuplicatesViewTest, RowTextsAreReadFromTheListFileOnceAndKept) {
    ScratchTree t("dupview");
    t.Dir("first");
    t.Dir("second");
    std::string a = t / ("first\\" + UniqueName("view")), b = t / ("second\\" + UniqueName("view"));
    WriteFileText(a, std::string(3000, 'q'));
    WriteFileText(b, std::string(3000, 'q'));
    ASSERT_EQ(DuplicateScanOutcome::Listed, ScanInto(t.path()));

    ASSERT_EQ(3, view.Count());
    EXPECT_EQ(2u, view.Data(0));
    EXPECT_EQ("", view.Text(0, 0));
    EXPECT_EQ("", view.Text(0, 1));
    EXPECT_EQ("", view.Text(0, 2));
    EXPECT_EQ(150, view.Send(LVM_GETCOLUMNWIDTH, 0));
    EXPECT_EQ(200, view.Send(LVM_GETCOLUMNWIDTH, 1));

    std::set<std::string> shown = {ToUpper(view.Text(1, 1))};
    EXPECT_EQ(UniqueName("view"), view.Text(1, 0));
    EXPECT_EQ("3 KB", view.Text(1, 2));
    EXPECT_EQ(0u, view.Data(1));

    // Once a row's texts were given they are kept: without the file they stay, while a row not
    // asked for yet has nothing to show.
    ASSERT_TRUE(::DeleteFileA(DuplicateListPath(listDir.path()).c_str()));
    EXPECT_EQ(ToUpper(*shown.begin()), ToUpper(view.Text(1, 1)));
    EXPECT_EQ(UniqueName("view"), view.Text(1, 0));
    EXPECT_EQ("", view.Text(2, 1));
    EXPECT_TRUE(*shown.begin() == ToUpper(a) || *shown.begin() == ToUpper(b));

    // Drawing asks for the icons and texts of the visible rows; nothing breaks.
    view.Invalidate();
    PumpFor(200);
    EXPECT_EQ(3, view.Count());
}

TEST_F(DuplicatesViewTest, SeparatorsCannotBeSelectedAndDeleteSelectedRecyclesTheFile) {
    ScratchTree t("dupdel");
    t.Dir("keep");
    t.Dir("drop");
    std::string name = UniqueName("del");
    std::string keep = t / ("keep\\" + name), drop = t / ("drop\\" + name);
    WriteFileText(keep, std::string(2222, 'r'));
    WriteFileText(drop, std::string(2222, 'r'));
    ASSERT_EQ(DuplicateScanOutcome::Listed, ScanInto(t.path()));
    ASSERT_EQ(3, view.Count());

    Select(0);
    EXPECT_FALSE(view.IsSelected(0)) << "a separator never stays selected";
    int row = RowOf(drop);
    ASSERT_GT(row, 0);
    Select(row);
    EXPECT_TRUE(view.IsSelected(row));

    ScriptedPrompter prompter;
    prompter.answers = {IDYES};
    RunDuplicatesDeleteSelected(view, frame);
    ASSERT_EQ(1u, prompter.asked.size());
    EXPECT_EQ("Send all selected file(s) to the RecycleBin? ", prompter.asked[0].text);
    ASSERT_FALSE(frame.notifier.empty());
    EXPECT_EQ(0u, frame.notifier.back().find("Be careful when deleting duplicate files."));
    EXPECT_FALSE(FileExists(drop));
    EXPECT_TRUE(FileExists(keep));
    EXPECT_TRUE(RecycleBinHolds(t / "drop", name));
    PurgeFromTrash(name);

    // The separator and the other copy stay, the copy still named from the file.
    ASSERT_EQ(2, view.Count());
    EXPECT_EQ(2u, view.Data(0));
    EXPECT_TRUE(SameText(keep, view.Text(1, 1)));
    Select(0);
    EXPECT_FALSE(view.IsSelected(0));

    // Selecting every row at once leaves the separators out too.
    LVITEMA all {};
    all.stateMask = LVIS_SELECTED;
    all.state = LVIS_SELECTED;
    view.Send(LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&all));
    EXPECT_FALSE(view.IsSelected(0));
    EXPECT_TRUE(view.IsSelected(1));
}

TEST_F(DuplicatesViewTest, ToolSwitchDropsTheRecordPositionsOnlyOnceTheRowsAreGone) {
    ScratchTree t("dupswitch");
    t.Dir("a");
    t.Dir("b");
    WriteFileText(t / ("a\\" + UniqueName("sw")), std::string(1500, 's'));
    WriteFileText(t / ("b\\" + UniqueName("sw")), std::string(1500, 's'));
    ScanInto(t.path());
    ASSERT_EQ(2u, view.groupOffsets.size());
    view.SetListMode(kListDuplicates);
    EXPECT_EQ(2u, view.groupOffsets.size()) << "rows still shown keep their positions";
    view.DeleteAll();
    view.SetListMode(kListUnneededFiles);
    EXPECT_TRUE(view.groupOffsets.empty());
}

TEST_F(DuplicatesViewTest, ScanCommandWalksTheDrivesUnderTheCancelDialog) {
    ScratchTree t("dupcmd");
    t.Dir("one");
    t.Dir("two");
    // A length and a name nothing else on the drive has.
    size_t length = 7000 + ::GetCurrentProcessId() % 997;
    std::string a = t / ("one\\" + UniqueName("cmd")), b = t / ("two\\" + UniqueName("cmd"));
    WriteFileText(a, std::string(length, 'c'));
    WriteFileText(b, std::string(length, 'c'));
    view.settings.driveMask = 1 << ('E' - 'A');
    view.AddRow({"stale"}, -1, 0);

    int stops = 0;
    bool dialogGoneFirst = true;
    RunDuplicatesScan(view, frame, [&] {
        ++stops;
        dialogGoneFirst = view.activeCancelDialog != nullptr;
    });
    EXPECT_EQ(1, stops);
    EXPECT_TRUE(dialogGoneFirst) << "the animation stops while the dialog is still the active one";
    EXPECT_EQ(nullptr, view.activeCancelDialog);
    EXPECT_TRUE(::IsWindowEnabled(host.m_hWnd));
    EXPECT_NE(std::string::npos, frame.Last().find(" possible duplicates files found from "));

    int ra = RowOf(a), rb = RowOf(b);
    ASSERT_GE(ra, 1);
    ASSERT_GE(rb, 1);
    EXPECT_EQ(1, std::abs(ra - rb)) << "one group";
    int first = std::min(ra, rb);
    EXPECT_EQ(view.groupOffsets.size(), view.Data(first - 1)) << "after a separator";
    EXPECT_EQ(-1, RowOf("stale"));
}

namespace {
// Records, with each question, whether the scan still counted its dialog as the active one.
class WatchingPrompter : public IPrompter {
public:
    explicit WatchingPrompter(CWrenlyView& v) : view(v) { previous_ = SetPrompter(this); }
    ~WatchingPrompter() override { SetPrompter(previous_); }
    int Ask(HWND, const std::string& text, const std::string&, UINT type) override {
        texts.push_back(text);
        types.push_back(type);
        dialogActive = view.activeCancelDialog != nullptr;
        return IDOK;
    }
    CWrenlyView& view;
    std::vector<std::string> texts;
    std::vector<UINT> types;
    bool dialogActive = true;

private:
    IPrompter* previous_;
};
}  // namespace

TEST_F(DuplicatesViewTest, ListFileThatCannotBeCreatedStopsTheScan) {
    std::string folder = listDir / "missing";
    SetDuplicateListFolder(folder);
    view.settings.driveMask = 1 << ('E' - 'A');
    view.AddRow({"old"}, -1, 0);
    int stops = 0;
    WatchingPrompter prompter(view);
    RunDuplicatesScan(view, frame, [&] { ++stops; });
    ASSERT_EQ(1u, prompter.texts.size());
    EXPECT_EQ("Unable to open " + folder + "\\duplist. Cannot continue", prompter.texts[0]);
    EXPECT_EQ(static_cast<UINT>(MB_OK), prompter.types[0] & 0xF);
    EXPECT_FALSE(prompter.dialogActive);
    EXPECT_EQ(1, stops);
    EXPECT_EQ(0, view.Count());
    EXPECT_TRUE(::IsWindowEnabled(host.m_hWnd));
    EXPECT_FALSE(frame.Showed("Writing Data..."));
}

TEST_F(DuplicatesViewTest, NamesInAnyLanguageAreShownAndDeleteSelectedRecyclesThatFile) {
    ScratchTree t("dupworld");
    // A folder name long enough that the path passes 260 bytes in UTF-8, though not 260
    // characters.
    std::string deep;
    for (int i = 0; i < 8; ++i) deep += u8"日本語のフォルダ名";
    t.Dir("keep");
    t.Dir(deep);
    std::string name = u8"Ωmega 日本 😀-" + Pid();
    for (int i = 0; i < 70; ++i) name += u8"名";
    name += ".mp3";
    std::string keep = t / ("keep\\" + name), drop = t / (deep + "\\" + name);
    ASSERT_GT(drop.size(), 260u);
    WriteFileText(keep, std::string(2345, 'w'));
    WriteFileText(drop, std::string(2345, 'w'));
    // The name an older Windows would fit "Ωmega" to, beside it, not a copy.
    std::string fitted = t / (deep + "\\O" + name.substr(std::string(u8"Ω").size()));
    WriteFileText(fitted, std::string(2345, 'v'));
    ASSERT_EQ(DuplicateScanOutcome::Listed, ScanInto(t.path()));
    ASSERT_EQ(3, view.Count());

    // Asked first with a buffer shorter than the texts, as drawing asks, then read whole.
    for (int r = 1; r < 6; ++r) {
        char shortBuffer[200] = {};
        LVITEMA item {};
        item.iSubItem = r % 2;
        item.pszText = shortBuffer;
        item.cchTextMax = sizeof shortBuffer;
        view.Send(LVM_GETITEMTEXTA, r, reinterpret_cast<LPARAM>(&item));
    }
    int row = RowOf(drop);
    ASSERT_GT(row, 0) << view.Text(1, 1) << " / " << view.Text(2, 1);
    EXPECT_EQ(name, view.Text(row, 0));
    EXPECT_TRUE(SameText(keep, view.Text(3 - row, 1)));

    Select(row);
    ScriptedPrompter prompter;
    prompter.answers = {IDYES};
    RunDuplicatesDeleteSelected(view, frame);
    EXPECT_FALSE(FileExists(drop));
    EXPECT_TRUE(FileExists(keep));
    EXPECT_TRUE(FileExists(fitted));
    EXPECT_TRUE(RecycleBinHolds(t / deep, name));
    PurgeFromTrash(name);
    ASSERT_EQ(2, view.Count());
}
