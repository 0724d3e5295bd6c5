// The unneeded files scan: the ending rule and its setting, the drive walk's file and folder
// rules on seeded trees of drive E:, the temporary folders, files in use, and the totals.
#include "files/junk.h"
#include "files_testkit.h"
#include "framework/settings.h"
#include "framework/strings.h"

#include <gtest/gtest.h>

using namespace filestest;

namespace {

const std::vector<JunkEnding> kDefaults = DefaultJunkEndings();

// Runs the drive walker of one scan on `root` with `settings`.
FakeList WalkJunk(const std::string& root, FileToolSettings settings, std::vector<JunkEnding> endings = kDefaults) {
    FakeList list;
    CountingCancel cancel;
    RecordingStatus status;
    CJunkScan scan(list, cancel, status, settings, std::move(endings));
    scan.WalkJunkFolder(root);
    return list;
}

// Points GetTempPathA at `folder` for the scope.
class TempFolderScope {
public:
    explicit TempFolderScope(const std::string& folder) {
        Save("TMP", tmp_);
        Save("TEMP", temp_);
        ::SetEnvironmentVariableA("TMP", folder.c_str());
        ::SetEnvironmentVariableA("TEMP", folder.c_str());
    }
    ~TempFolderScope() {
        ::SetEnvironmentVariableA("TMP", tmp_.c_str());
        ::SetEnvironmentVariableA("TEMP", temp_.c_str());
    }

private:
    static void Save(const char* name, std::string& into) {
        char buf[MAX_PATH] = {};
        ::GetEnvironmentVariableA(name, buf, MAX_PATH);
        into = buf;
    }
    std::string tmp_, temp_;
};

}  // namespace

TEST(JunkEndings, DefaultsAndStoredForm) {
    ASSERT_EQ(14u, kDefaults.size());
    EXPECT_EQ(".tmpE,.gidE,.oldE,.chkE,.$$$E,log.txtE,.dirE,.ftsE,.errE,.---E,~E,$E,.___E,.logE",
              JunkEndingsText(kDefaults));
    EXPECT_EQ(kDefaults, ParseJunkEndings(""));

    auto parsed = ParseJunkEndings(".tmpE,.gidE,.oldD");
    ASSERT_EQ(3u, parsed.size());
    EXPECT_EQ((JunkEnding{".old", "D"}), parsed[2]);
    EXPECT_EQ(".tmpE,.gidE,.oldD", JunkEndingsText(parsed));

    // One piece is the whole list: the defaults are not added to a non-empty value.
    EXPECT_EQ((std::vector<JunkEnding>{{".bak", "E"}}), ParseJunkEndings(".bakE"));
    // Pieces are taken as they stand, blanks included; a piece with no ending is dropped.
    EXPECT_EQ((std::vector<JunkEnding>{{" .bak", "E"}, {".x", "D"}}), ParseJunkEndings(" .bakE,E,,.xD"));
}

TEST(JunkEndings, LoadedFromTheSettingsStore) {
    ScratchSettings scratch;
    FileToolSettings settings;
    EXPECT_EQ(kDefaults, LoadJunkEndings(settings));
    WriteSettingString("Settings", "JunkExt", ".bakE");
    EXPECT_EQ((std::vector<JunkEnding>{{".bak", "E"}}), LoadJunkEndings(settings));
    EXPECT_EQ(".bakE", settings.junkEndings);
    WriteSettingString("Settings", "JunkExt", "");
    EXPECT_EQ(kDefaults, LoadJunkEndings(settings));
}

TEST(IsJunkName, EndingRuleWithSetupLogsKept) {
    EXPECT_TRUE(IsJunkName("C:\\WINDOWS\\SETUPLOG.TXT", kDefaults));  // "log.txt", not a .LOG
    EXPECT_FALSE(IsJunkName("C:\\WINDOWS\\setupapi.log", kDefaults));
    EXPECT_FALSE(IsJunkName("C:\\Program Files\\Foo\\INSTALL.LOG", kDefaults));
    EXPECT_FALSE(IsJunkName("D:\\Setup\\notes.log", kDefaults));  // the folder name counts
    EXPECT_FALSE(IsJunkName("C:\\Apps\\Uninstaller\\run.log", kDefaults));
    EXPECT_TRUE(IsJunkName("C:\\Apps\\debug.log", kDefaults));
    EXPECT_TRUE(IsJunkName("C:\\Docs\\report.txt~", kDefaults));
    EXPECT_TRUE(IsJunkName("C:\\Docs\\data$", kDefaults));
    EXPECT_TRUE(IsJunkName("C:\\x\\A.TMP", kDefaults));
    EXPECT_TRUE(IsJunkName("C:\\x\\b.$$$", kDefaults));
    EXPECT_FALSE(IsJunkName("C:\\x\\readme.txt", kDefaults));
    EXPECT_FALSE(IsJunkName("C:\\x\\tmp", kDefaults));

    // A "D" ending never matches; the flag is compared without regard to case.
    std::vector<JunkEnding> some {{".bak", "D"}, {".old", "e"}};
    EXPECT_FALSE(IsJunkName("C:\\a.bak", some));
    EXPECT_TRUE(IsJunkName("C:\\a.OLD", some));
    // An ending longer than the path compares with the whole path.
    EXPECT_TRUE(IsJunkName(".old", some));
    // Whatever ending matched, a setup .LOG is kept.
    std::vector<JunkEnding> g {{"g", "E"}};
    EXPECT_FALSE(IsJunkName("C:\\Setup files\\a.log", g));
    EXPECT_TRUE(IsJunkName("C:\\Setup files\\a.lg", g));
}

TEST(JunkScan, DriveWalkRules) {
    ScratchTree t("junkrules");
    std::string listed1 = t.File("a.tmp", 100);
    std::string listed2 = t.File("SETUPLOG.TXT", 5);
    std::string listed3 = t.File("report.txt~", 1);
    std::string listed4 = t.File("data$", 1);
    t.File("setupapi.log", 1);
    t.Dir("Program Files");
    t.File("Program Files\\INSTALL.LOG", 1);
    t.File("keep.txt", 1);
    t.File("system.tmp", 1, FILE_ATTRIBUTE_SYSTEM);             // system files never
    std::string hiddenTmp = t.File("hidden.tmp", 1, FILE_ATTRIBUTE_HIDDEN);
    t.Dir("RECYCLED", FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
    t.File("RECYCLED\\gone.tmp", 1);
    t.Dir("FOUND.000", FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
    std::string lost = t.File("FOUND.000\\FILE0000.CHK", 2048);
    t.Dir("OnlyHidden", FILE_ATTRIBUTE_HIDDEN);
    std::string inHidden = t.File("OnlyHidden\\x.old", 1);

    FileToolSettings settings;
    FakeList list = WalkJunk(t.path(), settings);
    std::set<std::string> got;
    for (const auto& p : list.Paths()) got.insert(p);
    EXPECT_EQ((std::set<std::string>{listed1, listed2, listed3, listed4, hiddenTmp, lost, inHidden}), got);

    const FakeList::Row* row = list.Find(listed1);
    ASSERT_NE(nullptr, row);
    EXPECT_EQ((std::vector<std::string>{"a.tmp", listed1, "1 KB"}), row->texts);
    EXPECT_EQ(-1, row->image);
    EXPECT_EQ(0u, row->data);
    EXPECT_EQ("2 KB", list.Find(lost)->texts[2]);
}

TEST(JunkScan, ZeroLengthRuleAndSendTo) {
    ScratchTree t("zero");
    std::string empty = t.File("empty.dat", 0);
    t.File("notempty.dat", 1);
    t.Dir("My SendTo");
    t.File("My SendTo\\Mail Recipient.MAPIMail", 0);
    std::string emptyTmp = t.File("My SendTo\\left.tmp", 0);

    FileToolSettings off;
    FakeList a = WalkJunk(t.path(), off);
    EXPECT_EQ((std::vector<std::string>{emptyTmp}), a.Paths());

    FileToolSettings on;
    on.findZeroLength = true;
    FakeList b = WalkJunk(t.path(), on);
    std::vector<std::string> paths = b.Paths();
    std::set<std::string> got(paths.begin(), paths.end());
    EXPECT_EQ((std::set<std::string>{empty, emptyTmp}), got);
    EXPECT_EQ("0 KB", b.Find(empty)->texts[2]);
}

TEST(JunkScan, FileInUseIsNotListed) {
    ScratchTree t("inuse");
    std::string busy = t.File("busy.tmp", 10);
    std::string shared = t.File("shared.tmp", 10);
    std::string free = t.File("free.tmp", 10);
    HANDLE h = ::CreateFileA(busy.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, h);
    // Open by another program that lets others read: still in use, still not ours to take.
    HANDLE s = ::CreateFileA(shared.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, s);
    FakeList list = WalkJunk(t.path(), FileToolSettings());
    ::CloseHandle(h);
    ::CloseHandle(s);
    EXPECT_EQ((std::vector<std::string>{free}), list.Paths());
}

TEST(JunkScan, OneEndingSettingAndDisabledEndings) {
    ScratchTree t("onepiece");
    std::string bak = t.File("a.bak", 1);
    t.File("b.tmp", 1);
    t.File("c.old", 1);
    FakeList list = WalkJunk(t.path(), FileToolSettings(), ParseJunkEndings(".bakE,.oldD"));
    EXPECT_EQ((std::vector<std::string>{bak}), list.Paths());
}

TEST(JunkScan, TotalsAreHeldIn64Bits) {
    FakeList list;
    CountingCancel cancel;
    RecordingStatus status;
    FileToolSettings settings;
    CJunkScan scan(list, cancel, status, settings, kDefaults);
    WalkEntry big;
    big.name = "huge.tmp";
    big.fullPath = "E:\\huge.tmp";
    big.length = 5ULL * 1024 * 1024 * 1024 + 1;  // past 4 GB
    scan.AddJunkRow(big);
    scan.AddJunkRow(big);
    EXPECT_EQ(2 * big.length, scan.junkTotalBytes);
    EXPECT_EQ("5242881 KB", list.Text(0, 2));
    EXPECT_EQ("10241 MB", FormatSize(scan.junkTotalBytes));
}

TEST(ScanUnneededFiles, DriveWalkThenTemporaryFolders) {
    ScratchSettings scratch;
    ScratchTree drive("scan");
    std::string tmp1 = drive.File("one.tmp", 100);
    std::string tmp2 = drive.File("two.tmp", 100);
    drive.Dir("Temp");
    TempFolderScope temp(drive / "Temp\\");
    std::string readme = drive.File("Temp\\readme.txt", 100);          // no rule: listed as temp content
    std::string inTemp = drive.File("Temp\\three.tmp", 100);           // junk: listed once only
    std::string hidden = drive.File("Temp\\hidden.txt", 50, FILE_ATTRIBUTE_HIDDEN);
    drive.File("Temp\\sh.txt", 50, FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
    drive.Dir("Temp\\sub");
    std::string deep = drive.File("Temp\\sub\\deep.bin", 10);
    // Excluded from the drive walk; the temporary folder walk has no exclusion test.
    WriteSettingInt("Exclude", (drive / "Temp\\sub").c_str(), 1);
    // The same name elsewhere does not hide a temporary file.
    drive.Dir("Elsewhere");
    std::string sameName = drive.File("Elsewhere\\readme.txt.old", 1);
    std::string tempSameName = drive.File("Temp\\sub\\readme.txt.old", 1);

    FakeList list;
    list.Add("stale row", "C:\\stale");
    CountingCancel cancel;
    RecordingStatus status;
    FileToolSettings settings;
    settings.driveMask = 1 << ('E' - 'A');
    int sized = 0;
    ScanUnneededFiles(list, cancel, status, settings, [&] { ++sized; });

    EXPECT_FALSE(list.HasPath("C:\\stale"));
    for (const std::string& p : {tmp1, tmp2, readme, inTemp, hidden, deep, sameName, tempSameName})
        EXPECT_TRUE(list.HasPath(p)) << p;
    EXPECT_FALSE(list.HasPath(drive / "Temp\\sh.txt"));
    std::vector<std::string> paths = list.Paths();
    EXPECT_EQ(1, std::count(paths.begin(), paths.end(), inTemp)) << "listed by the drive walk only";
    // The drive walk comes first.
    auto pos = [&](const std::string& p) { return std::find(paths.begin(), paths.end(), p) - paths.begin(); };
    EXPECT_LT(pos(tmp1), pos(readme));
    EXPECT_EQ(1, sized);
    EXPECT_EQ(0, status.Last().find("Total Invalid entries found: ")) << status.Last();
    EXPECT_TRUE(status.Showed(drive / "Temp")) << "each folder read is shown";
}

TEST(ScanUnneededFiles, TotalOfThreeSmallFiles) {
    ScratchSettings scratch;
    ScratchTree drive("total");
    // Restrict the walk to our tree by excluding every other top folder of E:.
    WIN32_FIND_DATAA fd;
    HANDLE f = ::FindFirstFileA("E:\\*.*", &fd);
    ASSERT_NE(INVALID_HANDLE_VALUE, f);
    do {
        std::string p = std::string("E:\\") + fd.cFileName;
        if ((fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && lstrcmpiA(p.c_str(), drive.path().c_str()) != 0)
            WriteSettingInt("Exclude", p.c_str(), 1);
    } while (::FindNextFileA(f, &fd));
    ::FindClose(f);
    for (const char* n : {"a.tmp", "b.tmp", "c.tmp"}) drive.File(n, 100);

    FakeList list;
    CountingCancel cancel;
    RecordingStatus status;
    FileToolSettings settings;
    settings.driveMask = 1 << ('E' - 'A');
    settings.cleanTempFolder = false;
    EXPECT_EQ(300u, ScanUnneededFiles(list, cancel, status, settings));
    EXPECT_EQ(3, list.Count());
    EXPECT_EQ("Total Invalid entries found: 1 KB", status.Last());
}

TEST(ScanUnneededFiles, CancelKeepsRowsAndSkipsTheTemporaryFolders) {
    ScratchSettings scratch;
    ScratchTree drive("scancancel");
    drive.Dir("Temp");
    drive.File("Temp\\readme.txt", 1);
    TempFolderScope temp(drive.path() + "\\Temp");

    FakeList list;
    CountingCancel cancel(1);  // the first poll (the root of E:) cancels
    RecordingStatus status;
    FileToolSettings settings;
    settings.driveMask = 1 << ('E' - 'A');
    ScanUnneededFiles(list, cancel, status, settings);
    EXPECT_EQ(0, list.Count());
    EXPECT_EQ("Total Invalid entries found: 0 KB", status.Last());
}

TEST(TempFoldersToClean, TemporaryFolderAndWindowsTemp) {
    char windows[MAX_PATH];
    ::GetWindowsDirectoryA(windows, MAX_PATH);
    std::string windowsTemp = std::string(windows) + "\\temp";
    ScratchTree t("tempdirs");
    {
        TempFolderScope temp(t.path() + "\\\\");
        auto folders = TempFoldersToClean();
        ASSERT_EQ(2u, folders.size());
        EXPECT_EQ(t.path(), folders[0]) << "trailing backslashes removed";
        EXPECT_TRUE(SameText(windowsTemp, folders[1])) << folders[1];
    }
    {
        // The Windows folder itself is never emptied.
        TempFolderScope temp(windows);
        auto folders = TempFoldersToClean();
        ASSERT_EQ(1u, folders.size());
        EXPECT_TRUE(SameText(windowsTemp, folders[0]));
    }
    {
        TempFolderScope temp(windowsTemp);
        auto folders = TempFoldersToClean();
        ASSERT_EQ(1u, folders.size()) << "walked once";
    }
}

TEST(WalkTempFolder, PollsOncePerEntryAndStopsAtOnce) {
    ScratchTree t("temppoll");
    t.File("a.txt", 1);
    t.File("b.txt", 1);
    t.File("c.txt", 1);
    FileToolSettings settings;
    RecordingStatus status;
    {
        FakeList list;
        CountingCancel cancel;
        CJunkScan scan(list, cancel, status, settings, kDefaults);
        scan.WalkTempFolder(t.path());
        EXPECT_EQ(5, cancel.polls) << "three files, \".\" and \"..\"";
        EXPECT_EQ(3, list.Count());
        EXPECT_EQ(3u, scan.junkTotalBytes);
    }
    {
        FakeList list;
        CountingCancel cancel(4);  // ".", "..", one file, then cancelled
        CJunkScan scan(list, cancel, status, settings, kDefaults);
        scan.WalkTempFolder(t.path());
        EXPECT_EQ(4, cancel.polls);
        EXPECT_EQ(1, list.Count());
    }
}
