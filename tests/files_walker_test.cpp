// The drive and folder walker on the sandbox machine's real drives: which drives are walked, the
// exclusion list (stored form, first-use defaults, matching), the shape of the walk, cancel,
// and folder links that would loop.
#include "core/reghelpers.h"
#include "files/walker.h"
#include "files_testkit.h"
#include "framework/settings.h"
#include "framework/strings.h"

#include <gtest/gtest.h>

#include <map>
#include <set>

using namespace filestest;

namespace {

// Records every file and every folder it reads; enters directories as `enter` says.
class RecordingWalker : public CFolderWalker {
public:
    RecordingWalker(ICancelPoll* cancel, RecordingStatus* status) : CFolderWalker(cancel, status), status_(status) {}
    std::vector<WalkEntry> files;
    std::function<bool(const WalkEntry&)> enter = [](const WalkEntry&) { return true; };

    std::set<std::string> FileNames() const {
        std::set<std::string> s;
        for (const auto& f : files) s.insert(f.name);
        return s;
    }
    // The folders read, in order (the walk puts each into the message bar).
    const std::vector<std::string>& Folders() const { return status_->bar; }

protected:
    bool SkipDirectory(const WalkEntry& e) override { return !enter(e); }
    void OnFile(const WalkEntry& e) override { files.push_back(e); }

private:
    RecordingStatus* status_;
};

std::string WindowsFolder() {
    char buf[MAX_PATH] = {};
    ::GetWindowsDirectoryA(buf, MAX_PATH);
    return buf;
}

DWORD ReadExclude(const std::string& name, bool* present) {
    HKEY k = nullptr;
    *present = false;
    if (::RegOpenKeyExA(HKEY_CURRENT_USER, ExcludeKeyPath().c_str(), 0, KEY_READ, &k) != ERROR_SUCCESS) return 0;
    DWORD type = 0, data = 0, size = sizeof data;
    LONG rc = ::RegQueryValueExA(k, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&data), &size);
    ::RegCloseKey(k);
    *present = rc == ERROR_SUCCESS && type == REG_DWORD;
    return data;
}

}  // namespace

TEST(ScanDrives, WalksOnlyTheFixedDrivesOfTheMask) {
    std::vector<std::string> walked;
    auto walker = [&](const std::string& d) {
        walked.push_back(d);
        return 1;
    };
    // Every letter: the floppy A:, the CD-ROM D: and the missing letters are passed over.
    EXPECT_TRUE(ScanDrives(0x03FFFFFF, walker));
    EXPECT_EQ((std::vector<std::string>{"C:", "E:"}), walked);

    walked.clear();
    EXPECT_TRUE(ScanDrives((1 << 0) | (1 << 3) | (1 << 25), walker));  // A:, D:, Z:
    EXPECT_TRUE(walked.empty());

    walked.clear();
    EXPECT_TRUE(ScanDrives(0, walker));
    EXPECT_TRUE(walked.empty());

    // Work after each drive happens before the next letter.
    std::vector<std::string> order;
    ScanDrives(
        ::GetLogicalDrives(),
        [&](const std::string& d) {
            order.push_back("walk " + d);
            return 1;
        },
        [&](const std::string& d) { order.push_back("after " + d); });
    EXPECT_EQ((std::vector<std::string>{"walk C:", "after C:", "walk E:", "after E:"}), order);
}

TEST(ScanDrives, StopsAtTheFirstCancelledDrive) {
    std::vector<std::string> walked, after;
    bool ran = ScanDrives(
        ::GetLogicalDrives(),
        [&](const std::string& d) {
            walked.push_back(d);
            return 0;
        },
        [&](const std::string& d) { after.push_back(d); });
    EXPECT_FALSE(ran);
    EXPECT_EQ((std::vector<std::string>{"C:"}), walked);
    EXPECT_TRUE(after.empty());
}

TEST(WalkFolder, YieldsEveryFileWithItsDataAndRecursesDepthFirst) {
    ScratchTree t("shape");
    t.File("a.txt", 10);
    t.Dir("sub");
    t.File("sub\\b.dat", 3000);
    t.Dir("sub\\deeper");
    t.File("sub\\deeper\\c", 0);
    t.Dir("empty");

    CountingCancel cancel;
    RecordingStatus status;
    RecordingWalker w(&cancel, &status);
    EXPECT_EQ(1, w.WalkFolder(t.path()));

    std::map<std::string, WalkEntry> byName;
    for (const auto& f : w.files) byName[f.name] = f;
    ASSERT_EQ(3u, byName.size());
    EXPECT_EQ(t / "a.txt", byName["a.txt"].fullPath);
    EXPECT_EQ(10u, byName["a.txt"].length);
    EXPECT_EQ(t / "sub\\b.dat", byName["b.dat"].fullPath);
    EXPECT_EQ(3000u, byName["b.dat"].length);
    EXPECT_EQ(t / "sub\\deeper\\c", byName["c"].fullPath);
    EXPECT_EQ(0u, byName["c"].length);
    FILETIME zero {};
    EXPECT_NE(0, ::CompareFileTime(&zero, &byName["a.txt"].lastWrite));

    // One poll per folder, and each folder shown in the message bar as it is read.
    EXPECT_EQ(4, cancel.polls);
    std::set<std::string> folders(w.Folders().begin(), w.Folders().end());
    EXPECT_EQ((std::set<std::string>{t.path(), t / "sub", t / "sub\\deeper", t / "empty"}), folders);
    // Depth first: "deeper" is read right after "sub".
    auto sub = std::find(w.Folders().begin(), w.Folders().end(), t / "sub");
    ASSERT_NE(w.Folders().end(), sub);
    EXPECT_EQ(t / "sub\\deeper", *(sub + 1));
}

TEST(WalkFolder, DriveRootGivesPathsWithOneBackslash) {
    ScratchTree t("root");
    std::string top = t.path().substr(3);  // the tree's folder name on E:
    CountingCancel cancel;
    RecordingStatus status;
    RecordingWalker w(&cancel, &status);
    // Walk E: but enter only our own tree.
    w.enter = [&](const WalkEntry& e) { return lstrcmpiA(e.fullPath.c_str(), t.path().c_str()) == 0; };
    t.File("x.txt", 1);
    EXPECT_EQ(1, w.WalkFolder("E:"));
    EXPECT_EQ("E:", w.Folders().front());
    bool sawOurs = false;
    for (const auto& f : w.files) {
        EXPECT_EQ(std::string::npos, f.fullPath.find("\\\\")) << f.fullPath;
        if (f.fullPath == "E:\\" + top + "\\x.txt") sawOurs = true;
    }
    EXPECT_TRUE(sawOurs);
}

TEST(WalkFolder, UnreadableFolderYieldsNothingAndTheWalkGoesOn) {
    CountingCancel cancel;
    RecordingStatus status;
    RecordingWalker w(&cancel, &status);
    EXPECT_EQ(1, w.WalkFolder("E:\\no such folder " + Pid()));
    EXPECT_TRUE(w.files.empty());
}

TEST(WalkFolder, CancelStopsAtTheNextFolderAndUnwinds) {
    ScratchTree t("cancel");
    for (int i = 0; i < 5; ++i) {
        std::string d = "d" + std::to_string(i);
        t.Dir(d);
        for (int j = 0; j < 4; ++j) t.File(d + "\\f" + std::to_string(j), 1);
    }
    // Polls: 1 the top, 2 the first subfolder, 3 the second: cancelled there.
    CountingCancel cancel(3);
    RecordingStatus status;
    RecordingWalker w(&cancel, &status);
    EXPECT_EQ(0, w.WalkFolder(t.path()));
    EXPECT_EQ(3, cancel.polls) << "no further poll once cancelled";
    // The folder read before the cancel was read whole; nothing after it.
    EXPECT_EQ(4u, w.files.size());
    EXPECT_EQ(2u, w.Folders().size());
}

TEST(WalkFolder, ExclusionMatchesWholePathsWithoutRegardToCase) {
    ScratchTree t("exclude");
    t.Dir("Keep");
    t.File("Keep\\k.txt", 1);
    t.Dir("Skip");
    t.Dir("Skip\\Below");
    t.File("Skip\\s.txt", 1);
    t.File("Skip\\Below\\b.txt", 1);
    t.Dir("Skipper");
    t.File("Skipper\\p.txt", 1);

    auto walk = [&](std::vector<std::string> excluded, const std::string& root) {
        CountingCancel cancel;
        RecordingStatus status;
        RecordingWalker w(&cancel, &status);
        w.SetExcludedFolders(&excluded);
        w.WalkFolder(root);
        return w.FileNames();
    };
    std::string lower = t.path() + "\\skip";
    for (char& c : lower) c = static_cast<char>(::tolower(static_cast<unsigned char>(c)));

    // A lower-case entry leaves out the folder and all below it; no prefix matching ("Skipper").
    EXPECT_EQ((std::set<std::string>{"k.txt", "p.txt"}), walk({lower}, t.path()));
    // A trailing backslash matches nothing.
    EXPECT_EQ((std::set<std::string>{"k.txt", "s.txt", "b.txt", "p.txt"}), walk({t / "Skip\\"}, t.path()));
    // The drive entry "E:" leaves out the whole drive.
    EXPECT_TRUE(walk({"E:"}, "E:").empty());
    EXPECT_TRUE(walk({"e:"}, "E:").empty());

    EXPECT_TRUE(IsExcludedFolder("C:\\WINDOWS", {"c:\\windows"}));
    // Every letter's case, not only A to Z's: the Options page stores its entries upper-cased.
    EXPECT_TRUE(IsExcludedFolder("E:\\\xC3\xA4rger \xCF\x89", {"E:\\\xC3\x84RGER \xCE\xA9"}));
    EXPECT_FALSE(IsExcludedFolder("C:\\WINDOWS", {"c:\\windows\\"}));
    EXPECT_FALSE(IsExcludedFolder("C:\\WINDOWS\\system32", {"c:\\windows"}));
    EXPECT_TRUE(IsExcludedFolder("C:", {"D:", "C:"}));
}

TEST(WalkFolder, NamesInAnyLanguage) {
    ScratchTree t("names");
    const std::string omega = "\xCE\xA9mega.txt", cjk = "\xE6\x96\x87\xE4\xBB\xB6.txt", emoji = "\xF0\x9F\x98\x80.txt";
    for (const std::string& n : {omega, cjk, emoji, std::string("Omega.txt")}) t.File(n, n.size());
    t.Dir("\xCE\xA9" "dir");
    t.File("\xCE\xA9" "dir\\inner.txt", 1);

    auto walk = [&](UINT codePage) {
        CountingCancel cancel;
        RecordingStatus status;
        RecordingWalker w(&cancel, &status);
        w.SetCodePage(codePage);
        EXPECT_EQ(1, w.WalkFolder(t.path()));
        EXPECT_EQ(0, w.namesUnusable());
        return w.files;
    };
    // The process code page is UTF-8: every name comes through whole.
    std::set<std::string> paths;
    for (const WalkEntry& e : walk(CP_ACP)) {
        EXPECT_TRUE(e.usable);
        paths.insert(e.fullPath);
    }
    EXPECT_EQ((std::set<std::string>{t / omega, t / cjk, t / emoji, t / "Omega.txt", t / "\xCE\xA9" "dir\\inner.txt"}), paths);

    // Where the code page is Western European, a name it cannot carry is reached by its 8.3
    // alias, never by a best-fit "Omega.txt": that is another file.
    std::map<uint64_t, WalkEntry> byLength;
    for (const WalkEntry& e : walk(1252)) byLength[e.length] = e;
    for (const std::string& n : {omega, cjk, emoji}) {
        const WalkEntry& e = byLength[n.size()];
        EXPECT_TRUE(e.usable) << n;
        EXPECT_EQ(e.alternateName, e.name) << n;
        EXPECT_EQ(t / e.alternateName, e.fullPath) << n;
        HANDLE h = ::CreateFileA(e.fullPath.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(INVALID_HANDLE_VALUE, h) << n;
        EXPECT_EQ(n.size(), ::GetFileSize(h, nullptr)) << "the file itself";
        ::CloseHandle(h);
    }
    EXPECT_EQ("Omega.txt", byLength[9].name);
    EXPECT_EQ(1u, byLength.count(1)) << "the folder is entered by its alias";

    // Without an alias, such a name is not passed on at all.
    struct Case { const wchar_t* name; const wchar_t* alias; UINT codePage; bool usable; const char* narrow; };
    const Case cases[] = {
        {L"\x03A9mega.txt", L"", CP_UTF8, true, "\xCE\xA9mega.txt"},
        {L"\x03A9mega.txt", L"MEGA~1.TXT", 1252, true, "MEGA~1.TXT"},
        {L"\x03A9mega.txt", L"", 1252, false, nullptr},
        {L"caf\x00E9.txt", L"CAF~1.TXT", 1252, true, "caf\xE9.txt"},
        // A lone surrogate, which no UTF-8 form carries.
        {L"\xD800x.txt", L"", CP_UTF8, false, nullptr},
        {L"\xD800x.txt", L"X~1.TXT", CP_UTF8, true, "X~1.TXT"},
    };
    for (const Case& c : cases) {
        WIN32_FIND_DATAW data {};
        lstrcpyW(data.cFileName, c.name);
        lstrcpyW(data.cAlternateFileName, c.alias);
        std::string name;
        EXPECT_EQ(c.usable, EntryName(data, c.codePage, name)) << name;
        if (c.narrow) {
            EXPECT_EQ(c.narrow, name);
        }
    }
}

TEST(WalkFolder, ExcludedWindowsFolderOnDriveC) {
    // Walk the root of C: entering nothing but the Windows folder itself, and not below it.
    std::string windows = WindowsFolder();
    auto walk = [&](std::vector<std::string> excluded) {
        CountingCancel cancel;
        RecordingStatus status;
        RecordingWalker w(&cancel, &status);
        w.SetExcludedFolders(&excluded);
        w.enter = [&](const WalkEntry& e) { return lstrcmpiA(e.fullPath.c_str(), windows.c_str()) == 0; };
        w.WalkFolder("C:");
        std::set<std::string> read;
        for (const auto& f : w.Folders()) read.insert(ToUpper(f));
        return read;
    };
    std::string lowerWindows = windows;
    for (char& c : lowerWindows) c = static_cast<char>(::tolower(static_cast<unsigned char>(c)));
    EXPECT_EQ(0u, walk({lowerWindows}).count(ToUpper(windows)));
    EXPECT_EQ(1u, walk({windows + "\\"}).count(ToUpper(windows)));
    EXPECT_TRUE(walk({"C:"}).empty());
}

TEST(WalkFolder, FolderLinksAreNeverFollowed) {
    ScratchTree t("links");
    t.Dir("a");
    t.Dir("a\\b");
    t.File("a\\b\\leaf.txt", 1);
    t.Dir("other");
    t.File("other\\o.txt", 1);
    // A loop back to the top, and a second way into "other".
    ASSERT_TRUE(MakeFolderLink(t / "a\\b\\loop", t.path())) << "cannot make folder links here";
    ASSERT_TRUE(MakeFolderLink(t / "a\\again", t / "other"));

    CountingCancel cancel;
    RecordingStatus status;
    RecordingWalker w(&cancel, &status);
    EXPECT_EQ(1, w.WalkFolder(t.path()));
    std::vector<std::string> names;
    for (const auto& f : w.files) names.push_back(f.name);
    std::sort(names.begin(), names.end());
    EXPECT_EQ((std::vector<std::string>{"leaf.txt", "o.txt"}), names) << "each file once";
    EXPECT_EQ(2, w.linksSkipped());
    EXPECT_EQ(4, cancel.polls);
}

TEST(WalkFolder, DirectoryRuleSeesAttributes) {
    ScratchTree t("attrs");
    t.Dir("both", FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
    t.File("both\\in-both.txt", 1);
    t.Dir("hidden", FILE_ATTRIBUTE_HIDDEN);
    t.File("hidden\\in-hidden.txt", 1);
    t.Dir("system", FILE_ATTRIBUTE_SYSTEM);
    t.File("system\\in-system.txt", 1);

    CountingCancel cancel;
    RecordingStatus status;
    RecordingWalker w(&cancel, &status);
    w.enter = [](const WalkEntry& e) { return !IsSystemAndHidden(e.attributes); };
    w.WalkFolder(t.path());
    EXPECT_EQ((std::set<std::string>{"in-hidden.txt", "in-system.txt"}), w.FileNames());
}

TEST(LoadExcludedFolders, FirstUseStoresTheDefaultsAndLeavesSendToOut) {
    ScratchSettings settings;
    std::string sendTo = GetShellFolder(kSendToFolder);
    std::string windows = WindowsFolder();
    while (!windows.empty() && windows.back() == '\\') windows.pop_back();

    std::vector<std::string> excluded {"stale entry"};
    LoadExcludedFolders(excluded);
    bool present = false;
    EXPECT_EQ(0u, ReadExclude(windows, &present));
    EXPECT_TRUE(present) << "the Windows folder is listed, but walked";
    if (!sendTo.empty()) {
        EXPECT_EQ(1u, ReadExclude(sendTo, &present));
        EXPECT_TRUE(present);
        EXPECT_EQ((std::vector<std::string>{sendTo}), excluded);
    } else {
        EXPECT_TRUE(excluded.empty());
    }

    // The next load reads the key as it stands: entries with data 0 are not excluded, names
    // are taken as they stand, other data is not ours.
    WriteSettingInt("Exclude", "C:\\Data\\Keep", 0);
    WriteSettingInt("Exclude", "e:\\some folder\\", 1);
    // Longer than MAX_PATH bytes in UTF-8, though not in characters.
    std::string deep = "E:";
    for (int i = 0; i < 16; ++i) deep += "\\\xE6\x96\x87\xE4\xBB\xB6\xE6\x96\x87\xE4\xBB\xB6\xE6\x96\x87\xE4\xBB\xB6";
    WriteSettingInt("Exclude", deep.c_str(), 1);
    WriteSettingString("Exclude", "C:\\NotANumber", "1");
    LoadExcludedFolders(excluded);
    std::set<std::string> got(excluded.begin(), excluded.end());
    std::set<std::string> want {"e:\\some folder\\", deep};
    if (!sendTo.empty()) want.insert(sendTo);
    EXPECT_EQ(want, got);
}

TEST(LoadExcludedFolders, ExistingEmptyKeyGivesEmptyList) {
    ScratchSettings settings;
    HKEY k = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, ::RegCreateKeyExA(HKEY_CURRENT_USER, ExcludeKeyPath().c_str(), 0, nullptr, 0,
                                                KEY_ALL_ACCESS, nullptr, &k, nullptr));
    ::RegCloseKey(k);
    std::vector<std::string> excluded {"x"};
    LoadExcludedFolders(excluded);
    EXPECT_TRUE(excluded.empty());
    bool present = true;
    ReadExclude(GetShellFolder(kSendToFolder), &present);
    EXPECT_FALSE(present) << "defaults are written only when the key is missing";
}
