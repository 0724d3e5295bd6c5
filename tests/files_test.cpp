// The file tools' engines on the sandbox machine's real drives (C: and E: fixed, A: a floppy,
// D: a CD-ROM without a disc, no Z:): the folder walk, the unneeded files scan and the invalid
// shortcuts scan, with real files, real shortcuts and a real settings store.
#include "core/codepage.h"
#include "core/reghelpers.h"
#include "files/junk.h"
#include "files/shortcuts.h"
#include "files/walker.h"
#include "framework/settings.h"
#include "framework/strings.h"
#include "kit.h"

#include <gtest/gtest.h>

#include <set>
#include <tuple>

using namespace kit;

namespace {

const DWORD kDriveE = 1 << ('E' - 'A');
const DWORD kHiddenSystem = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
using Paths = std::set<std::string>;

// Keeps every file it is given; enters the folders `enter` lets in.
struct Walk : CFolderWalker {
    explicit Walk(int cancelAt = 0) : CFolderWalker(&cancel, &status), cancel(cancelAt) {}
    CountingCancel cancel;
    RecordingStatus status;
    std::vector<WalkEntry> files;
    std::function<bool(const WalkEntry&)> enter = [](const WalkEntry&) { return true; };
    Paths Walked(const std::string& folder) {
        WalkFolder(folder);
        Paths s;
        for (const auto& f : files) s.insert(f.fullPath);
        return s;
    }
    bool SkipDirectory(const WalkEntry& e) override { return !enter(e); }
    void OnFile(const WalkEntry& e) override { files.push_back(e); }
};

Paths Listed(const Rows& rows) {
    std::vector<std::string> c = rows.Column(1);
    return {c.begin(), c.end()};
}

// What an engine works with, in memory.
struct Engine {
    Rows rows;
    CountingCancel cancel;
    RecordingStatus status;
    FileToolSettings settings;
    Paths Junk(const std::string& root, std::vector<JunkEnding> endings = DefaultJunkEndings()) {
        rows.DeleteAll();
        CJunkScan(rows, cancel, status, settings, std::move(endings)).WalkJunkFolder(root);
        return Listed(rows);
    }
};

// Points GetTempPath at `folder` for the scope.
struct TempFolder {
    char saved[MAX_PATH] = {};
    explicit TempFolder(const std::string& folder) {
        ::GetEnvironmentVariableA("TMP", saved, MAX_PATH);
        ::SetEnvironmentVariableA("TMP", folder.c_str());
    }
    ~TempFolder() { ::SetEnvironmentVariableA("TMP", saved); }
};

}  // namespace

TEST(Walker, FixedDrivesOfTheMaskInLetterOrderUntilCancelled) {
    std::vector<std::string> walked;
    auto walk = [&](int answer) { return [&walked, answer](const std::string& d) { return walked.push_back(d), answer; }; };
    // Every letter: the floppy A:, the CD-ROM D: and the missing letters are passed over.
    EXPECT_TRUE(ScanDrives(0x03FFFFFF, walk(1), [&](const std::string& d) { walked.push_back("after " + d); }));
    EXPECT_EQ((std::vector<std::string>{"C:", "after C:", "E:", "after E:"}), walked);
    walked.clear();
    EXPECT_TRUE(ScanDrives((1 << 0) | (1 << 3) | (1 << 25), walk(1)));
    EXPECT_FALSE(ScanDrives(0x03FFFFFF, walk(0)));
    EXPECT_EQ((std::vector<std::string>{"C:"}), walked);
}

TEST(Walker, EveryFileDepthFirstOnePollPerFolderAndACancelUnwinds) {
    ScratchTree t("shape");
    Paths all = {t.File("a.txt"), t.File("sub\\b"), t.File("sub\\deeper\\c"), t.File("z\\d")};
    Walk w;
    EXPECT_EQ(all, w.Walked(t.path()));
    // Each folder is shown as it is read; "deeper" right after "sub".
    const auto& shown = w.status.messages;
    EXPECT_EQ(4, w.cancel.polls);
    ASSERT_EQ(4u, shown.size());
    EXPECT_EQ(t / "sub\\deeper", *(std::find(shown.begin(), shown.end(), t / "sub") + 1));
    // Cancelled at the third folder: no poll after it, nothing read after it.
    Walk stopped(3);
    EXPECT_EQ(0, stopped.WalkFolder(t.path()));
    EXPECT_EQ(3, stopped.cancel.polls);
    EXPECT_EQ(2u, stopped.status.messages.size());
    EXPECT_EQ(1, Walk().WalkFolder("E:\\no such folder " + Pid())) << "an unreadable folder is passed over";
}

TEST(Walker, ExcludedFoldersMatchWholePathsWithoutRegardToCase) {
    ScratchTree t("exclude");
    Paths kept = {t.File("Skipper\\p.txt")};
    t.File("Skip\\Below\\b.txt");
    std::vector<std::string> excluded = {ToUpper(t / "skip")};
    Walk w;
    w.SetExcludedFolders(&excluded);
    EXPECT_EQ(kept, w.Walked(t.path())) << "no prefix matching";
    // Every letter's case, not only A to Z's: the Options page stores its entries upper-cased.
    EXPECT_TRUE(IsExcludedFolder("E:\\\xC3\xA4rger \xCF\x89", {"E:\\\xC3\x84RGER \xCE\xA9"}));
    EXPECT_FALSE(IsExcludedFolder("E:\\Skip", {"E:\\Skip\\"})) << "a trailing backslash matches nothing";
    EXPECT_TRUE(IsExcludedFolder("E:", {"D:", "e:"}));
}

TEST(Walker, NamesInAnyLanguageComeThroughWholeOrByTheirAlias) {
    ScratchTree t("names");
    const std::vector<std::string> names = {"\xCE\xA9mega.txt", "\xE6\x96\x87\xE4\xBB\xB6.txt", "\xF0\x9F\x98\x80.txt",
                                            "Omega.txt", "\xCE\xA9" "dir\\in"};
    Paths all;
    for (size_t i = 0; i < names.size(); ++i) all.insert(t.File(names[i], 10 + i));
    EXPECT_EQ(all, Walk().Walked(t.path()));

    // In Western European a name the code page cannot carry is reached by its 8.3 alias, never
    // by a best-fit "Omega.txt": that is another file.
    Walk western;
    western.SetCodePage(1252);
    EXPECT_EQ(names.size(), western.Walked(t.path()).size());
    EXPECT_EQ(0, western.namesUnusable());
    for (const WalkEntry& e : western.files) {
        size_t i = e.length - 10;
        EXPECT_EQ(std::string(10 + i, 'x'), ReadWholeFile(e.fullPath)) << names[i];
        EXPECT_EQ(i == 3 ? "Omega.txt" : i == 4 ? "in" : e.alternateName, e.name) << names[i];
    }
    // Without an alias such a name is not passed on at all.
    // A lone surrogate no UTF-8 form carries; a name Western European carries is kept.
    for (const auto& c : {std::make_tuple(L"\x03A9mega.txt", L"", 1252, ""), {L"caf\x00E9", L"CAF~1", 1252, "caf\xE9"},
                          {L"\xD800x", L"", CP_UTF8, ""}, {L"\xD800x", L"X~1", CP_UTF8, "X~1"}}) {
        WIN32_FIND_DATAW data {};
        lstrcpyW(data.cFileName, std::get<0>(c));
        lstrcpyW(data.cAlternateFileName, std::get<1>(c));
        std::string name;
        EXPECT_EQ(*std::get<3>(c) != 0, EntryName(data, std::get<2>(c), name) && name == std::get<3>(c)) << name;
    }
}

TEST(Walker, FolderLinksAreNeverFollowed) {
    ScratchTree t("links");
    Paths once = {t.File("a\\leaf.txt"), t.File("other\\o.txt")};
    ASSERT_TRUE(MakeFolderLink(t / "a\\loop", t.path())) << "cannot make folder links here";
    ASSERT_TRUE(MakeFolderLink(t / "a\\again", t / "other"));
    Walk w;
    EXPECT_EQ(once, w.Walked(t.path()));
    EXPECT_EQ(2, w.linksSkipped());
}

TEST(Walker, ExclusionListStoresItsDefaultsOnFirstUseOnly) {
    ScratchSettings settings;
    std::vector<std::string> excluded {"stale entry"};
    LoadExcludedFolders(excluded);
    EXPECT_EQ((std::vector<std::string>{GetShellFolder(kSendToFolder)}), excluded);
    char windows[MAX_PATH] = {};
    ::GetWindowsDirectoryA(windows, MAX_PATH);
    EXPECT_EQ(0, ReadSettingInt("Exclude", windows, 7)) << "the Windows folder is listed, but walked";
    // Then the section as it stands: data 0 is not excluded, data that is no number is not ours,
    // names are taken as they stand, even past MAX_PATH bytes.
    std::string deep = "E:";
    while (deep.size() < 300) deep += "\\\xE6\x96\x87\xE4\xBB\xB6\xE6\x96\x87\xE4\xBB\xB6\xE6\x96\x87\xE4\xBB\xB6";
    WriteSettingInt("Exclude", GetShellFolder(kSendToFolder).c_str(), 0);
    WriteSettingInt("Exclude", deep.c_str(), 1);
    WriteSettingString("Exclude", "C:\\NotANumber", "1");
    LoadExcludedFolders(excluded);
    EXPECT_EQ((std::vector<std::string>{deep}), excluded);
}

TEST(Junk, EndingsTheirStoredFormAndTheSetupLogRule) {
    const std::vector<JunkEnding> defaults = DefaultJunkEndings();
    EXPECT_EQ(defaults, ParseJunkEndings(JunkEndingsText(defaults)));
    EXPECT_EQ(defaults, ParseJunkEndings(""));
    // One piece is the whole list; pieces are taken as they stand; a piece with no ending is dropped.
    EXPECT_EQ((std::vector<JunkEnding>{{" .bak", "E"}, {".x", "D"}}), ParseJunkEndings(" .bakE,E,,.xD"));

    const std::vector<JunkEnding> some {{".bak", "D"}, {".old", "e"}, {"g", "E"}};
    const struct { const char* path; bool junk; const std::vector<JunkEnding>& endings; } cases[] = {
        {"C:\\WINDOWS\\SETUPLOG.TXT", true, defaults},  // "log.txt", not a .LOG
        {"C:\\WINDOWS\\setupapi.log", false, defaults},
        {"C:\\Apps\\Uninstaller\\run.log", false, defaults},  // the folder's name counts
        {"C:\\Apps\\Deploy.log", false, defaults},
        {"C:\\REMOVE.LOG", false, defaults},
        {"C:\\Apps\\debug.log", true, defaults},
        {"C:\\Docs\\report.txt~", true, defaults},
        {"C:\\a.bak", false, some},  // "D": kept, not in force
        {"C:\\a.OLD", true, some},
        {".old", true, some},
        {"C:\\Setup files\\a.log", false, some},  // whatever ending matched
        {"C:\\Setup files\\a.lg", true, some},
    };
    for (const auto& c : cases) EXPECT_EQ(c.junk, IsJunkName(c.path, c.endings)) << c.path;
}

TEST(Junk, DriveWalkRules) {
    ScratchTree t("junkrules");
    Paths listed = {t.File("a.tmp", 100), t.File("SETUPLOG.TXT"), t.File("data$"), t.File("empty.tmp"),
                    t.File("hidden.tmp", 1, FILE_ATTRIBUTE_HIDDEN), t.File("FOUND.000\\F.CHK", 2048),
                    t.File("OnlyHidden\\x.old"), t.File("My SendTo\\left.tmp")};
    for (const char* other : {"setupapi.log", "keep.txt", "disabled.bak", "RECYCLED\\x.tmp"}) t.File(other, 1);
    t.File("system.tmp", 1, FILE_ATTRIBUTE_SYSTEM);
    t.File("My SendTo\\Mail.MAPIMail");
    // Lost clusters are hidden and system like a Recycle Bin, yet walked.
    for (const char* folder : {"FOUND.000", "RECYCLED"}) ::SetFileAttributesA((t / folder).c_str(), kHiddenSystem);
    ::SetFileAttributesA((t / "OnlyHidden").c_str(), FILE_ATTRIBUTE_HIDDEN);
    // Open by another program, even one that lets others read: not ours to take.
    HANDLE busy = ::CreateFileA(t.File("busy.tmp", 1).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                0, nullptr);
    Engine e;
    EXPECT_EQ(listed, e.Junk(t.path(), ParseJunkEndings(JunkEndingsText(DefaultJunkEndings()) + ",.bakD")));
    int row = e.rows.Find(1, t / "a.tmp");
    ASSERT_GE(row, 0);
    EXPECT_EQ((std::vector<std::string>{"a.tmp", t / "a.tmp", "1 KB"}), e.rows.rows[row].texts);
    EXPECT_EQ("2 KB", e.rows.Text(e.rows.Find(1, t / "FOUND.000\\F.CHK"), 2));
    // Empty files too when asked, but not the menu entries of a SendTo folder.
    e.settings.findZeroLength = true;
    listed.insert(t.File("zero.dat"));
    EXPECT_EQ(listed, e.Junk(t.path()));
    ::CloseHandle(busy);

    // Totals are held in 64 bits.
    CJunkScan scan(e.rows, e.cancel, e.status, e.settings, DefaultJunkEndings());
    WalkEntry big;
    big.length = 5ULL << 30;
    scan.AddJunkRow(big);
    scan.AddJunkRow(big);
    EXPECT_EQ(10ULL << 30, scan.junkTotalBytes);
}

TEST(Junk, ScanWalksTheDrivesThenTheTemporaryFolders) {
    ScratchSettings scratch;
    ScratchTree drive("scan");
    // Only our tree of E:: every other top folder is excluded.
    WIN32_FIND_DATAA fd;
    HANDLE f = ::FindFirstFileA("E:\\*", &fd);
    do {
        std::string p = std::string("E:\\") + fd.cFileName;
        if ((fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && !SameText(p, drive.path()))
            WriteSettingInt("Exclude", p.c_str(), 1);
    } while (::FindNextFileA(f, &fd));
    ::FindClose(f);
    std::string tmp = drive.File("one.tmp", 100), inTemp = drive.File("Temp\\three.tmp", 100);
    drive.File("two.tmp", 100);
    Engine e;
    e.rows.Add({"stale row", "C:\\stale"});
    e.settings.driveMask = kDriveE;
    e.settings.cleanTempFolder = false;
    int sized = 0;
    EXPECT_EQ(300u, ScanUnneededFiles(e.rows, e.cancel, e.status, e.settings, [&] { ++sized; }));
    EXPECT_EQ(3, e.rows.Count());
    EXPECT_EQ(1, sized);
    EXPECT_EQ("Total Invalid entries found: 1 KB", e.status.LastMessage());

    // Then everything in the temporary folders but hidden system files, once only; the
    // exclusion list is the drive walk's alone.
    TempFolder temp(drive / "Temp\\");
    Paths listed = {tmp, inTemp, drive.File("Temp\\readme.txt"), drive.File("Temp\\sub\\x.tmp"),
                    drive.File("Temp\\hidden.txt", 1, FILE_ATTRIBUTE_HIDDEN)};
    WriteSettingInt("Exclude", (drive / "Temp\\sub").c_str(), 1);
    drive.File("Temp\\sh.txt", 1, kHiddenSystem);
    e.settings.cleanTempFolder = true;
    ScanUnneededFiles(e.rows, e.cancel, e.status, e.settings);
    std::vector<std::string> paths = e.rows.Column(1);
    for (const std::string& p : listed) EXPECT_EQ(1, std::count(paths.begin(), paths.end(), p)) << p;
    EXPECT_EQ(-1, e.rows.Find(1, drive / "Temp\\sh.txt"));
    EXPECT_LT(e.rows.Find(1, tmp), e.rows.Find(1, drive / "Temp\\readme.txt")) << "the drive walk comes first";

    // Cancelled at the root of E:: the temporary folders are not walked either.
    CountingCancel stop(1);
    EXPECT_EQ(0u, ScanUnneededFiles(e.rows, stop, e.status, e.settings));
    EXPECT_EQ(0, e.rows.Count());
}

TEST(Junk, TemporaryFoldersNeverTheWindowsFolderItselfAndEachOnce) {
    char windows[MAX_PATH];
    ::GetWindowsDirectoryA(windows, MAX_PATH);
    std::string windowsTemp = std::string(windows) + "\\temp";
    ScratchTree t("temp");
    for (const auto& c : {std::make_pair(t.path() + "\\\\", t.path()), {windows, windowsTemp}, {windowsTemp, windowsTemp}}) {
        TempFolder temp(c.first);
        std::vector<std::string> folders = TempFoldersToClean();
        EXPECT_EQ(c.second == windowsTemp ? 1u : 2u, folders.size()) << c.first;
        EXPECT_TRUE(SameText(c.second, folders.at(0))) << folders[0];
        EXPECT_TRUE(SameText(windowsTemp, folders.back())) << folders.back();
    }
}

TEST(Shortcuts, TargetsAreJudgedByTheDriveRule) {
    ScratchTree t("judge");
    std::string floppy = "A:\\kelvo-floppy-" + Pid() + ".txt";
    ASSERT_TRUE(WriteFileText(floppy, "on the floppy"));
    const struct { std::string target; bool judgeRemovable; TargetVerdict verdict; } cases[] = {
        {t.File("there.txt"), true, kTargetExists},
        {t.path() + "\\ \\", true, kTargetExists},  // trailing blanks and backslashes
        {t / "nowhere.exe", true, kTargetMissing},
        // A path is judged by itself, whatever the search path holds; it serves bare names only.
        {"C:\\Gone\\Folder\\notepad.exe", true, kTargetMissing},
        {"notepad.exe", true, kTargetExists},
        {"kelvo-nowhere-" + Pid() + ".exe", true, kTargetMissing},
        // A CD-ROM drive, a network place, a letter that is not there: never judged.
        {"D:\\Setup\\kelvo-missing.exe", true, kTargetNotJudged},
        {"\\\\server\\share\\kelvo-missing.exe", true, kTargetNotJudged},
        {"Z:\\kelvo-missing.exe", true, kTargetNotJudged},
        // A removable disk only while the removable-media switch is on.
        {"A:\\kelvo-missing.exe", true, kTargetMissing},
        {"A:\\kelvo-missing.exe", false, kTargetNotJudged},
        {floppy, true, kTargetExists},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.verdict, JudgeShortcutTarget(WideName(c.target), c.judgeRemovable)) << c.target;
    ::DeleteFileA(floppy.c_str());
    const std::pair<const char*, bool> names[] = {{"a.LnK", true}, {"MYLNK", true}, {"x.lnk.txt", false}, {"nk", false}};
    for (const auto& c : names) EXPECT_EQ(c.second, IsShortcutName(c.first)) << c.first;
}

TEST(Shortcuts, ScanListsTheShortcutsWhoseTargetsAreGone) {
    ScratchTree t("lnk");
    std::string target = t.File("target.txt"), gone = t.File("\xCE\xA9gone.txt");
    // Names in any language, no extension, a hidden system file, a subfolder.
    Paths dead = {t / "\xCE\xA9mega.lnk", t / "\xE6\x96\x87\xE4\xBB\xB6.LNK", t / "\xF0\x9F\x98\x80.lnk",
                  t / "MYLNK", t / "hidden.lnk", t.File("sub\\x") + ".lnk"};
    for (const std::string& d : dead) ASSERT_TRUE(MakeShortcut(d, gone, "\xCE\xA9 " + d)) << d;
    // Not listed: a live one, one not named as a shortcut, one to a folder, one inside a hidden
    // system folder, one to the CD-ROM, one that is no shortcut.
    const std::pair<std::string, std::string> valid[] = {{"live.lnk", target}, {"readme.lnk.txt", gone},
                                                         {"folder.lnk", t.path()}, {"hidsys\\in.lnk", gone},
                                                         {"cd.lnk", "D:\\Setup\\kelvo-missing.exe"}};
    t.File("hidsys\\x");
    for (const auto& v : valid) ASSERT_TRUE(MakeShortcut(t / v.first, v.second, "")) << v.first;
    for (const char* hidden : {"hidden.lnk", "hidsys"}) ::SetFileAttributesA((t / hidden).c_str(), kHiddenSystem);
    t.File("garbage.lnk", 40);
    ::DeleteFileA(gone.c_str());

    Engine e;
    CShortcutScan(e.rows, e.cancel, e.status, nullptr).WalkShortcutFolder(t.path());
    EXPECT_EQ(dead, Listed(e.rows));
    for (const auto& row : e.rows.rows) {
        EXPECT_EQ("\\" + row.texts[0], row.texts[1].substr(row.texts[1].rfind('\\')));
        EXPECT_TRUE(SameText(gone, row.texts[2])) << row.texts[2];
        EXPECT_EQ("\xCE\xA9 " + row.texts[1], row.texts[3]);
    }
    // The whole-drive scan starts afresh and counts; a cancel at the first folder finds nothing.
    int drives = 0;
    e.rows.Add({"old row", "C:\\old.lnk"});
    int found = ScanInvalidShortcuts(e.rows, e.cancel, e.status, kDriveE, nullptr, true, [&] { ++drives; });
    EXPECT_EQ(-1, e.rows.Find(1, "C:\\old.lnk"));
    EXPECT_EQ(Format("Total Invalid entries found: %d", found), e.status.LastMessage());
    CountingCancel stop(1);
    EXPECT_EQ(0, ScanInvalidShortcuts(e.rows, stop, e.status, kDriveE, nullptr, true, [&] { ++drives; }));
    EXPECT_EQ(1, drives) << "columns are not sized after a cancelled drive";
}

TEST(Shortcuts, FixAllAsksAfterEverySixthRepairAndFixSelectedTakesTheSelected) {
    ScratchTree t("fix");
    std::string dead = t / "dead.lnk";
    ASSERT_TRUE(MakeShortcut(dead, t / "gone.txt", ""));
    RecordingStatus status;
    for (int answer : {IDNO, IDYES}) {
        Rows rows;
        for (int i = 0; i < 13; ++i) rows.Add({"r" + std::to_string(i), dead});
        ScriptedPrompter prompter;
        prompter.answers = {answer, answer};
        FixAllShortcuts(rows, status, nullptr);
        ASSERT_EQ(answer == IDNO ? 1u : 2u, prompter.asked.size());
        EXPECT_EQ("Do you want to continue with the next item", prompter.asked[0].text);
        // No: the sixth row (just repaired) and the seven not yet tried stay.
        EXPECT_EQ(answer == IDNO ? 8 : 0, rows.Count());
        EXPECT_EQ(answer == IDNO ? "r5" : "none", rows.Count() ? rows.Text(0, 0) : "none");
    }
    Rows rows;
    FixAllShortcuts(rows, status, nullptr);
    EXPECT_EQ("List Empty.", status.notes.back());
    for (int i = 0; i < 4; ++i) rows.Add({"r" + std::to_string(i), dead}, 0, i % 2 == 1);
    ScriptedPrompter prompter;
    FixSelectedShortcuts(rows, status, nullptr);
    EXPECT_EQ((std::vector<std::string>{"r0", "r2"}), rows.Column(0));
    EXPECT_TRUE(prompter.asked.empty()) << "no question every six rows here";
    FixSelectedShortcuts(rows, status, nullptr);
    EXPECT_EQ("Please select item(s)", status.notes.back());
}
