// The invalid shortcuts scan with shortcuts made by the shell's own link object on drive E:,
// and the Fix commands.
#include "files/shortcuts.h"
#include "files_testkit.h"
#include "framework/strings.h"
#include "resource.h"

#include <gtest/gtest.h>

#include <objbase.h>
#include <shobjidl.h>

using namespace filestest;

namespace {

bool MakeShortcut(const std::string& file, const std::string& target, const std::string& description) {
    IShellLinkA* link = nullptr;
    if (FAILED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                  reinterpret_cast<void**>(&link))))
        return false;
    link->SetPath(target.c_str());
    link->SetDescription(description.c_str());
    IPersistFile* persist = nullptr;
    bool ok = SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&persist)));
    if (ok) {
        WCHAR wide[MAX_PATH];
        ::MultiByteToWideChar(CP_ACP, 0, file.c_str(), -1, wide, MAX_PATH);
        ok = SUCCEEDED(persist->Save(wide, TRUE));
        persist->Release();
    }
    link->Release();
    return ok;
}

FakeList Scan(const std::string& root) {
    FakeList list;
    CountingCancel cancel;
    RecordingStatus status;
    CShortcutScan scan(list, cancel, status, nullptr);
    scan.WalkShortcutFolder(root);
    return list;
}

// A tree with shortcuts of every kind; `gone` is the target that was deleted.
struct ShortcutTree {
    ScratchTree t {"lnk"};
    std::string target = t.File("target.txt", 1);
    std::string gone = t.File("gone.txt", 1);
    std::string dead = t / "dead.lnk";
    std::string live = t / "live.lnk";
    std::string noExt = t / "MYLNK";
    std::string notLink = t / "readme.lnk.txt";
    std::string folderLink = t / "folder.lnk";
    ShortcutTree() {
        EXPECT_TRUE(MakeShortcut(dead, gone, "the dead one"));
        EXPECT_TRUE(MakeShortcut(live, target, "the live one"));
        EXPECT_TRUE(MakeShortcut(noExt, gone, "no extension"));
        EXPECT_TRUE(MakeShortcut(notLink, gone, "not a shortcut by name"));
        EXPECT_TRUE(MakeShortcut(folderLink, t.path(), "a folder"));
        ::DeleteFileA(gone.c_str());
    }
};

}  // namespace

TEST(ShortcutNames, LastThreeLettersDecide) {
    EXPECT_TRUE(IsShortcutName("a.lnk"));
    EXPECT_TRUE(IsShortcutName("A.LNK"));
    EXPECT_TRUE(IsShortcutName("MYLNK"));
    EXPECT_TRUE(IsShortcutName("lnk"));
    EXPECT_FALSE(IsShortcutName("readme.lnk.txt"));
    EXPECT_FALSE(IsShortcutName("nk"));
}

TEST(CheckShortcut, DeadTargetGivesTargetAndDescription) {
    ShortcutTree s;
    std::string target, description;
    EXPECT_EQ(0, CheckShortcut(s.dead, &target, &description, kCheckShortcut, nullptr));
    EXPECT_TRUE(SameText(s.gone, target)) << target;
    EXPECT_EQ("the dead one", description);

    target.clear();
    EXPECT_NE(0, CheckShortcut(s.live, &target, &description, kCheckShortcut, nullptr));
    EXPECT_NE(0, CheckShortcut(s.folderLink, &target, &description, kCheckShortcut, nullptr));
    // Not loadable: valid, never listed.
    std::string garbage = s.t.File("garbage.lnk", 40);
    EXPECT_NE(0, CheckShortcut(garbage, &target, &description, kCheckShortcut, nullptr));
    EXPECT_NE(0, CheckShortcut(s.t / "missing.lnk", &target, &description, kCheckShortcut, nullptr));
}

TEST(CheckShortcut, NamesFoundOnTheSearchPathAreValid) {
    ScratchTree t("lnksearch");
    std::string bare = t / "bare.lnk";
    std::string moved = t / "moved.lnk";
    std::string lost = t / "lost.lnk";
    ASSERT_TRUE(MakeShortcut(bare, "notepad.exe", "bare name"));
    // A stale folder, but the file name is found in the system folders.
    ASSERT_TRUE(MakeShortcut(moved, t / "Old Folder\\notepad.exe", "moved"));
    ASSERT_TRUE(MakeShortcut(lost, t / "Old Folder\\kelvo-nowhere-" + Pid() + ".exe", "lost"));
    std::string target, description;
    EXPECT_NE(0, CheckShortcut(bare, &target, &description, kCheckShortcut, nullptr));
    EXPECT_NE(0, CheckShortcut(moved, &target, &description, kCheckShortcut, nullptr));
    EXPECT_EQ(0, CheckShortcut(lost, &target, &description, kCheckShortcut, nullptr));
    EXPECT_EQ("lost", description);

    EXPECT_TRUE(ShortcutTargetExists("notepad.exe"));
    EXPECT_TRUE(ShortcutTargetExists("C:\\Gone\\Folder\\NOTEPAD.EXE"));
    EXPECT_TRUE(ShortcutTargetExists(t.path() + "\\ \\"));  // trailing blanks and backslashes
    EXPECT_FALSE(ShortcutTargetExists("C:\\Gone\\kelvo-nowhere.exe"));
    EXPECT_FALSE(ShortcutTargetExists(""));
}

TEST(CheckShortcut, TargetsOffLocalDisksAreNeverJudged) {
    ScratchTree t("lnkremote");
    std::string cdrom = t / "cdrom.lnk";
    std::string unc = t / "unc.lnk";
    std::string noDrive = t / "nodrive.lnk";
    ASSERT_TRUE(MakeShortcut(cdrom, "D:\\Setup\\kelvo-missing.exe", "cd"));
    ASSERT_TRUE(MakeShortcut(unc, "\\\\server\\share\\kelvo-missing.exe", "unc"));
    ASSERT_TRUE(MakeShortcut(noDrive, "Z:\\kelvo-missing.exe", "no drive"));
    std::string target, description;
    // The CD-ROM drive is a local drive: judged, and the file is not there.
    EXPECT_EQ(0, CheckShortcut(cdrom, &target, &description, kCheckShortcut, nullptr));
    // A network place is never called invalid.
    EXPECT_NE(0, CheckShortcut(unc, &target, &description, kCheckShortcut, nullptr));
    // A letter without a drive is judged (no root): invalid.
    EXPECT_EQ(0, CheckShortcut(noDrive, &target, &description, kCheckShortcut, nullptr));
}

TEST(CheckShortcut, TheRegistryCleanersPathCheckCanBeSupplied) {
    ShortcutTree s;
    std::vector<std::string> asked;
    SetShortcutTargetCheck([&](const std::string& p) {
        asked.push_back(p);
        return true;
    });
    std::string target, description;
    int answer = CheckShortcut(s.dead, &target, &description, kCheckShortcut, nullptr);
    SetShortcutTargetCheck(nullptr);
    EXPECT_NE(0, answer);
    ASSERT_EQ(1u, asked.size());
    EXPECT_TRUE(SameText(s.gone, asked[0]));
    EXPECT_EQ(0, CheckShortcut(s.dead, &target, &description, kCheckShortcut, nullptr)) << "default again";
}

TEST(ShortcutScan, ListsDeadShortcutsOnly) {
    ShortcutTree s;
    s.t.Dir("sub");
    std::string deep = s.t / "sub\\deep.LNK";
    ASSERT_TRUE(MakeShortcut(deep, s.gone, ""));
    s.t.Dir("hidsys");
    std::string hidden = s.t / "hidsys\\hidden.lnk";
    ASSERT_TRUE(MakeShortcut(hidden, s.gone, "in a hidden system folder"));
    ::SetFileAttributesA((s.t / "hidsys").c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
    // Hidden or system shortcut files are still shortcuts.
    std::string hiddenFile = s.t / "hiddenfile.lnk";
    ASSERT_TRUE(MakeShortcut(hiddenFile, s.gone, "hidden file"));
    ::SetFileAttributesA(hiddenFile.c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);

    FakeList list = Scan(s.t.path());
    std::vector<std::string> paths = list.Paths();
    std::set<std::string> got(paths.begin(), paths.end());
    EXPECT_EQ((std::set<std::string>{s.dead, s.noExt, deep, hiddenFile}), got);
    const FakeList::Row* row = list.Find(s.dead);
    ASSERT_NE(nullptr, row);
    ASSERT_EQ(4u, row->texts.size());
    EXPECT_EQ("dead.lnk", row->texts[0]);
    EXPECT_TRUE(SameText(s.gone, row->texts[2]));
    EXPECT_EQ("the dead one", row->texts[3]);
    EXPECT_EQ(-1, row->image);
    EXPECT_EQ("no extension", list.Find(s.noExt)->texts[3]);
    EXPECT_EQ("", list.Find(deep)->texts[3]);
}

TEST(ShortcutScan, WholeDriveScanWithTotals) {
    ShortcutTree s;
    FakeList list;
    list.Add("old row", "C:\\old.lnk");
    CountingCancel cancel;
    RecordingStatus status;
    int drives = 0;
    int rows = ScanInvalidShortcuts(list, cancel, status, 1 << ('E' - 'A'), nullptr, [&] { ++drives; });
    EXPECT_EQ(1, drives);
    EXPECT_EQ(list.Count(), rows);
    EXPECT_FALSE(list.HasPath("C:\\old.lnk"));
    EXPECT_TRUE(list.HasPath(s.dead));
    EXPECT_TRUE(list.HasPath(s.noExt));
    EXPECT_FALSE(list.HasPath(s.live));
    EXPECT_EQ(Format("Total Invalid entries found: %d", rows), status.Last());

    // Cancelled at the first folder: the total is reported for what was found (nothing).
    CountingCancel stop(1);
    RecordingStatus status2;
    EXPECT_EQ(0, ScanInvalidShortcuts(list, stop, status2, 1 << ('E' - 'A'), nullptr, [&] { ++drives; }));
    EXPECT_EQ(1, drives) << "columns are not sized after a cancelled drive";
    EXPECT_EQ("Total Invalid entries found: 0", status2.Last());
}

TEST(FixShortcuts, FixAllAsksAfterEverySixthRepair) {
    ShortcutTree s;
    auto fill = [&](FakeList& list) {
        for (int i = 0; i < 13; ++i) list.Add("r" + std::to_string(i), i % 2 ? s.dead : s.t / "missing.lnk");
    };
    RecordingStatus status;
    {
        FakeList list;
        fill(list);
        ScriptedPrompter prompter;
        prompter.answers = {IDNO};
        FixAllShortcuts(list, status, nullptr);
        ASSERT_EQ(1u, prompter.asked.size());
        EXPECT_EQ("Do you want to continue with the next item", prompter.asked[0].text);
        EXPECT_EQ(static_cast<UINT>(MB_YESNO | MB_ICONQUESTION), prompter.asked[0].type & 0xFF);
        // The sixth row (just repaired) and the seven not yet tried stay.
        ASSERT_EQ(8, list.Count());
        EXPECT_EQ("r5", list.Text(0, 0));
    }
    {
        FakeList list;
        fill(list);
        ScriptedPrompter prompter;
        prompter.answers = {IDYES, IDYES};
        FixAllShortcuts(list, status, nullptr);
        EXPECT_EQ(2u, prompter.asked.size());
        EXPECT_EQ(0, list.Count());
    }
    {
        FakeList empty;
        ScriptedPrompter prompter;
        FixAllShortcuts(empty, status, nullptr);
        EXPECT_TRUE(prompter.asked.empty());
        EXPECT_EQ("List Empty.", status.notifier.back());
    }
    // The repaired shortcut is still a loadable shortcut.
    std::string target, description;
    EXPECT_EQ(0, CheckShortcut(s.dead, &target, &description, kCheckShortcut, nullptr));
}

TEST(FixShortcuts, FixSelectedRemovesTheSelectedRows) {
    ShortcutTree s;
    FakeList list;
    for (int i = 0; i < 4; ++i) list.Add("r" + std::to_string(i), s.dead);
    RecordingStatus status;
    ScriptedPrompter prompter;
    FixSelectedShortcuts(list, status, nullptr);
    EXPECT_EQ(4, list.Count());
    ASSERT_EQ(1u, status.notifier.size());
    EXPECT_EQ("Please select item(s)", status.notifier[0]);

    list.rows[1].selected = list.rows[3].selected = true;
    FixSelectedShortcuts(list, status, nullptr);
    ASSERT_EQ(2, list.Count());
    EXPECT_EQ("r0", list.Text(0, 0));
    EXPECT_EQ("r2", list.Text(1, 0));
    EXPECT_TRUE(prompter.asked.empty()) << "no question every six rows here";
}
