// The invalid shortcuts scan with shortcuts made by the shell's own link object on drive E:,
// and the Fix commands.
#include "core/codepage.h"
#include "core/view.h"
#include "files/recycle.h"
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

TEST(JudgeShortcutTarget, TheRegistryCleanersDriveRule) {
    ScratchTree t("lnkjudge");
    std::string there = t.File("there.txt", 1);
    std::string floppy = "A:\\kelvo-floppy-" + Pid() + ".txt";
    ASSERT_TRUE(WriteFileText(floppy, "on the floppy"));
    struct Case { std::string target; bool judgeRemovable; TargetVerdict verdict; };
    const Case cases[] = {
        {there, true, kTargetExists},
        {t.path() + "\\ \\", true, kTargetExists},  // trailing blanks and backslashes
        {t / "kelvo-nowhere.exe", true, kTargetMissing},
        // An absolute path is judged by itself, whatever the search path holds.
        {"C:\\Gone\\Folder\\notepad.exe", true, kTargetMissing},
        // The search path serves bare names only.
        {"notepad.exe", true, kTargetExists},
        {"kelvo-nowhere-" + Pid() + ".exe", true, kTargetMissing},
        // A CD-ROM drive (disc or none), a network place, a letter that is not there: never judged.
        {"D:\\Setup\\kelvo-missing.exe", true, kTargetNotJudged},
        {"\\\\server\\share\\kelvo-missing.exe", true, kTargetNotJudged},
        {"Z:\\kelvo-missing.exe", true, kTargetNotJudged},
        // A removable disk only while the removable-media switch is on.
        {"A:\\kelvo-missing.exe", true, kTargetMissing},
        {"A:\\kelvo-missing.exe", false, kTargetNotJudged},
        {floppy, true, kTargetExists},
        {"", true, kTargetNotJudged},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.verdict, JudgeShortcutTarget(WideName(c.target), c.judgeRemovable)) << c.target;
    ::DeleteFileA(floppy.c_str());
}

TEST(CheckShortcut, TargetsJudgedByTheDriveRule) {
    ScratchTree t("lnkrule");
    std::string moved = t / "moved.lnk";
    std::string cdrom = t / "cdrom.lnk";
    std::string floppy = t / "floppy.lnk";
    ASSERT_TRUE(MakeShortcut(moved, t / "Old Folder\\notepad.exe", "moved"));
    ASSERT_TRUE(MakeShortcut(cdrom, "D:\\Setup\\kelvo-missing.exe", "cd"));
    ASSERT_TRUE(MakeShortcut(floppy, "A:\\kelvo-missing.exe", "floppy"));
    std::string target, description;
    EXPECT_EQ(0, CheckShortcut(moved, &target, &description, kCheckShortcut, nullptr));
    EXPECT_EQ("moved", description);
    EXPECT_NE(0, CheckShortcut(cdrom, &target, &description, kCheckShortcut, nullptr));
    EXPECT_EQ(0, CheckShortcut(floppy, &target, &description, kCheckShortcut, nullptr, true));
    EXPECT_NE(0, CheckShortcut(floppy, &target, &description, kCheckShortcut, nullptr, false));
}

TEST(ShortcutScan, NamesInAnyLanguageAreListedAndRecycled) {
    ScratchTree t("lnknames");
    const std::string tail = "-" + Pid();
    // Shortcuts named Ωmega, in CJK and with an emoji, to targets named alike; one target lives.
    const std::vector<std::string> dead = {"\xCE\xA9mega" + tail + ".lnk", "\xE6\x96\x87\xE4\xBB\xB6" + tail + ".lnk",
                                           "\xF0\x9F\x98\x80" + tail + ".lnk"};
    std::string gone = t.File("\xCE\xA9gone.txt", 1);
    std::string live = t.File("\xE6\x96\x87live.txt", 1);
    for (const std::string& name : dead) ASSERT_TRUE(MakeShortcut(t / name, gone, "\xCE\xA9 " + name));
    ASSERT_TRUE(MakeShortcut(t / "\xF0\x9F\x98\x80live.lnk", live, "live"));
    ::DeleteFileA(gone.c_str());

    FakeList list = Scan(t.path());
    ASSERT_EQ(3, list.Count());
    for (const std::string& name : dead) {
        const FakeList::Row* row = list.Find(t / name);
        ASSERT_NE(nullptr, row) << name;
        EXPECT_EQ(name, row->texts[0]);
        EXPECT_TRUE(SameText(gone, row->texts[2])) << row->texts[2];
        EXPECT_EQ("\xCE\xA9 " + name, row->texts[3]);
    }

    for (auto& r : list.rows) r.selected = true;
    RecordingStatus status;
    ScriptedPrompter prompter;
    prompter.answers = {IDYES};
    EXPECT_EQ(0, DeleteSelectedFiles(list, status, kListInvalidShortcuts));
    EXPECT_EQ(0, list.Count());
    for (const std::string& name : dead) {
        EXPECT_FALSE(FileExists(t / name)) << name;
        EXPECT_TRUE(RecycleBinHolds(t.path(), name)) << name;
        PurgeFromTrash(name);
    }
    EXPECT_TRUE(FileExists(t / "\xF0\x9F\x98\x80live.lnk"));
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
    int rows = ScanInvalidShortcuts(list, cancel, status, 1 << ('E' - 'A'), nullptr, true, [&] { ++drives; });
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
    EXPECT_EQ(0, ScanInvalidShortcuts(list, stop, status2, 1 << ('E' - 'A'), nullptr, true, [&] { ++drives; }));
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
