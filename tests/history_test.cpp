// The history eraser against the real registry (HKEY_CURRENT_USER redirected to a scratch key),
// the real WinINet cache (entries of this test only are looked at) and a scratch Recent folder
// whose files go to the real Recycle Bin.
#include "core/reghelpers.h"
#include "files_testkit.h"
#include "history/history.h"

#include <gtest/gtest.h>

#include <wininet.h>

#include <algorithm>

using namespace filestest;

namespace {

// A result list that keeps check marks, as the real one does once check boxes are on.
class CheckList : public IResultList {
public:
    struct Row {
        std::string text;
        DWORD data = 0;
        bool checked = false;
    };
    std::vector<Row> rows;

    int AddRow(const std::vector<std::string>& texts, int, DWORD data) override {
        rows.push_back({texts.empty() ? std::string() : texts[0], data, false});
        return static_cast<int>(rows.size()) - 1;
    }
    int Count() const override { return static_cast<int>(rows.size()); }
    std::string Text(int row, int column) const override { return column == 0 ? rows.at(row).text : ""; }
    void SetText(int row, int column, const std::string& text) override {
        if (column == 0) rows.at(row).text = text;
    }
    DWORD Data(int row) const override { return rows.at(row).data; }
    bool IsSelected(int) const override { return false; }
    bool IsChecked(int row) const override { return rows.at(row).checked; }
    void SetChecked(int row, bool checked) override { rows.at(row).checked = checked; }
    void DeleteRow(int row) override { rows.erase(rows.begin() + row); }
    void DeleteAll() override { rows.clear(); }

    // The eight options with only the rows of `codes` checked.
    static CheckList Only(std::initializer_list<DWORD> codes) {
        CheckList l;
        FillHistoryItems(l);
        for (auto& r : l.rows) r.checked = std::find(codes.begin(), codes.end(), r.data) != codes.end();
        return l;
    }
};

// HKEY_CURRENT_USER redirected to a scratch key for the scope, so the cases can use the paths
// the eraser names without touching the user's own keys or another test program's.
class RedirectedUser {
public:
    RedirectedUser() : base_("history") {
        ::RegOpenKeyExA(HKEY_CURRENT_USER, base_.path().c_str(), 0, KEY_ALL_ACCESS, &key_);
        ::RegOverridePredefKey(HKEY_CURRENT_USER, key_);
    }
    ~RedirectedUser() {
        ::RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
        ::RegCloseKey(key_);
    }

private:
    ScratchKey base_;
    HKEY key_ = nullptr;
};

void MakeKey(const std::string& path, const std::string& value = "") {
    HKEY k = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, ::RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                               &k, nullptr))
        << path;
    if (!value.empty())
        ::RegSetValueExA(k, "a", 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                         static_cast<DWORD>(value.size() + 1));
    ::RegCloseKey(k);
}

bool KeyThere(const std::string& path) {
    HKEY k = nullptr;
    if (::RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &k) != ERROR_SUCCESS) return false;
    ::RegCloseKey(k);
    return true;
}

// Subkeys and values of a key; -1 each when it does not open.
std::pair<int, int> KeyContents(const std::string& path) {
    HKEY k = nullptr;
    if (::RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &k) != ERROR_SUCCESS) return {-1, -1};
    DWORD subkeys = 0, values = 0;
    ::RegQueryInfoKeyA(k, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values, nullptr, nullptr, nullptr,
                       nullptr);
    ::RegCloseKey(k);
    return {static_cast<int>(subkeys), static_cast<int>(values)};
}

// Entries of the Internet cache made by one test, with names no one else uses.
class CacheEntries {
public:
    explicit CacheEntries(const std::string& name) : host_("kelvo-" + name + "-" + Pid() + ".test") {}
    ~CacheEntries() {
        for (const auto& u : urls_) ::DeleteUrlCacheEntryA(u.c_str());
    }
    std::string Page(const std::string& page, DWORD type = kNormalCacheEntry, size_t headerBytes = 0) {
        return Add("http://" + host_ + "/" + page, type, headerBytes);
    }
    std::string Cookie() { return Add("Cookie:kelvo@" + host_ + "/", kCookieCacheEntry, 0); }
    std::string Visited() { return Add("Visited: kelvo@http://" + host_ + "/visited.html", kUrlHistoryCacheEntry, 0); }

private:
    std::string Add(const std::string& url, DWORD type, size_t headerBytes) {
        urls_.push_back(url);
        char file[MAX_PATH] = {};
        EXPECT_TRUE(::CreateUrlCacheEntryA(url.c_str(), 0, "txt", file, 0)) << url << " " << ::GetLastError();
        WriteFileText(file, "cached page");
        FILETIME none {};
        std::string header(headerBytes, 'h');
        EXPECT_TRUE(::CommitUrlCacheEntryA(url.c_str(), file, none, none, type,
                                           headerBytes ? reinterpret_cast<BYTE*>(&header[0]) : nullptr,
                                           static_cast<DWORD>(headerBytes), "txt", nullptr))
            << url << " " << ::GetLastError();
        return url;
    }
    std::string host_;
    std::vector<std::string> urls_;
};

// The entry's type, or 0 when the cache has no such entry.
DWORD CacheType(const std::string& url) {
    DWORD size = 0;
    ::GetUrlCacheEntryInfoA(url.c_str(), nullptr, &size);
    if (::GetLastError() != ERROR_INSUFFICIENT_BUFFER || size == 0) return 0;
    std::vector<ULONGLONG> buf(size / sizeof(ULONGLONG) + 1);
    auto* info = reinterpret_cast<INTERNET_CACHE_ENTRY_INFOA*>(buf.data());
    if (!::GetUrlCacheEntryInfoA(url.c_str(), info, &size)) return 0;
    return info->CacheEntryType;
}

// A scratch Recent folder whose recycled files are taken out of the host's trash at the end.
class RecentFolder {
public:
    RecentFolder() : tree_("recent") {}
    ~RecentFolder() {
        for (const auto& n : names_) PurgeFromTrash(n);
    }
    std::string File(const std::string& stem, DWORD attributes = 0) {
        std::string name = "kelvo-" + stem + "-" + Pid() + ".lnk";
        names_.push_back(name);
        return tree_.File(name, 4, attributes);
    }
    std::string Dir(const std::string& name) { return tree_.Dir(name); }
    const std::string& path() const { return tree_.path(); }

private:
    ScratchTree tree_;
    std::vector<std::string> names_;
};

// The eraser with its end-of-run broadcast counted instead of sent: these tests run beside other
// test programs whose windows should not be disturbed (the GUI test checks the real broadcast).
class QuietEraser : public CHistoryEraser {
public:
    QuietEraser(ICancelPoll& cancel, IStatusSink& status) : CHistoryEraser(cancel, status) {
        announceSettingsChange = [this] { ++announcements; };
    }
    int announcements = 0;
};

std::string NameOf(const std::string& path) { return path.substr(path.rfind('\\') + 1); }

const char kVendorMru[] = "Software\\SomeVendor\\SomeProgram\\MRU";
const char kDeepRecent[] = "Software\\SomeVendor\\SomeProgram\\Settings\\Files\\Recent File List";

}  // namespace

TEST(HistoryItems, EightOptionsInListOrderWithTheirDefaults) {
    CheckList list;
    list.AddRow({"left over"}, 0, 999);
    FillHistoryItems(list);
    ASSERT_EQ(8, list.Count());
    const std::vector<std::pair<std::string, DWORD>> expected = {
        {"Delete Recent File List of programs (ex:- Windows Media Player)", 1},
        {"Delete Recently Opened Document History", 16},
        {"Delete all files in the Temporary Internet Files Folder", 4},
        {"Delete all cookies in the Temporary Internet Files Folder", 64},
        {"Delete all links to the recently visited webpages", 128},
        {"Empty Clipboard (paste data)", 256},
        {"Delete Start/Run History (needs reboot/logoff)", 8},
        {"Delete Start/Find Files History", 32},
    };
    for (int i = 0; i < 8; ++i) {
        EXPECT_EQ(expected[i].first, list.Text(i, 0));
        EXPECT_EQ(expected[i].second, list.Data(i));
        EXPECT_EQ(i != 3, list.IsChecked(i)) << "only the cookies row starts cleared";
    }
    // Chosen again, the list comes back with its defaults.
    list.SetChecked(0, false);
    list.SetChecked(3, true);
    FillHistoryItems(list);
    EXPECT_EQ(8, list.Count());
    EXPECT_TRUE(list.IsChecked(0));
    EXPECT_FALSE(list.IsChecked(3));
}

TEST(EraseHistory, RunsCheckedRowsInListOrderWithTheirStatusTexts) {
    RedirectedUser user;
    RecentFolder recent;
    CacheEntries cache("order");
    std::string page = cache.Page("order.html");
    std::string cookie = cache.Cookie();

    CheckList list = CheckList::Only({1, 16, 4, 64, 128, 8, 32});
    RecordingStatus status;
    CountingCancel cancel;
    QuietEraser eraser(cancel, status);
    eraser.recentFolder = [&recent] { return recent.path(); };
    eraser.EraseHistory(list);

    EXPECT_EQ((std::vector<std::string>{"Cleaning File MRU of Programs...", "Removing Recent Document History ...",
                                        "Cleaning IE Visited Web Pages...", "Cleaning IE Cookies...",
                                        "Cleaning Start/Run...", "Removing Find File History ...", ""}),
              status.bar);
    EXPECT_EQ(0u, CacheType(page));
    EXPECT_EQ(0u, CacheType(cookie));
    EXPECT_TRUE(eraser.keysToDelete.empty());
    EXPECT_EQ(1, eraser.announcements);
}

TEST(EraseHistory, WithEveryRowClearedNothingChanges) {
    RedirectedUser user;
    RecentFolder recent;
    CacheEntries cache("none");
    std::string page = cache.Page("none.html");
    std::string cookie = cache.Cookie();
    std::string doc = recent.File("none");
    MakeKey(kVendorMru, "x");
    MakeKey(kRunMruKey, "x");
    MakeKey(kTypedUrlsKey, "http://example.test/");
    MakeKey(kRecentDocumentKeys[0], "x");
    MakeKey(kFindHistoryKeys[1], "x");

    CheckList list = CheckList::Only({});
    RecordingStatus status;
    CountingCancel cancel;
    QuietEraser eraser(cancel, status);
    eraser.recentFolder = [&recent] { return recent.path(); };
    eraser.EraseHistory(list);

    EXPECT_EQ((std::vector<std::string>{""}), status.bar);
    EXPECT_EQ(1, eraser.announcements) << "the settings change is announced all the same";
    EXPECT_EQ(0, cancel.polls);
    EXPECT_TRUE(KeyThere(kVendorMru));
    EXPECT_TRUE(KeyThere(kRunMruKey));
    EXPECT_EQ((std::pair<int, int>(0, 1)), KeyContents(kTypedUrlsKey));
    EXPECT_TRUE(KeyThere(kRecentDocumentKeys[0]));
    EXPECT_TRUE(KeyThere(kFindHistoryKeys[1]));
    EXPECT_TRUE(FileExists(doc));
    EXPECT_EQ(kNormalCacheEntry, CacheType(page) & kNormalCacheEntry);
    EXPECT_EQ(kCookieCacheEntry, CacheType(cookie) & kCookieCacheEntry);
}

TEST(EraseHistory, ProgramFileListsGoAtAnyDepthButRunMruOnlyWithItsOwnRow) {
    RedirectedUser user;
    MakeKey(kVendorMru, "C:\\doc.txt");
    MakeKey(std::string(kVendorMru) + "\\Inner", "x");
    MakeKey(kDeepRecent, "C:\\deep.txt");
    MakeKey("Software\\Other\\mru", "lower case");
    MakeKey("Software\\Other\\MRU\\Nested\\MRU", "nested");
    MakeKey("Software\\Other\\MRUList", "kept");
    MakeKey("Software\\Other\\NotMRU", "kept");
    MakeKey(kWinZipFileMenuKey, "C:\\a.zip");
    MakeKey(kMediaPlayerRecentKey, "C:\\song.wma");
    MakeKey(kRunMruKey, "notepad");
    MakeKey("MRU", "outside Software");

    RecordingStatus status;
    CountingCancel cancel;
    QuietEraser eraser(cancel, status);
    eraser.EraseHistory(CheckList::Only({1}));

    EXPECT_FALSE(KeyThere(kVendorMru));
    EXPECT_TRUE(KeyThere("Software\\SomeVendor\\SomeProgram"));
    EXPECT_FALSE(KeyThere(kDeepRecent));
    EXPECT_TRUE(KeyThere("Software\\SomeVendor\\SomeProgram\\Settings\\Files"));
    EXPECT_FALSE(KeyThere("Software\\Other\\mru"));
    EXPECT_TRUE(KeyThere("Software\\Other\\MRUList"));
    EXPECT_TRUE(KeyThere("Software\\Other\\NotMRU"));
    EXPECT_FALSE(KeyThere(kWinZipFileMenuKey));
    EXPECT_TRUE(KeyThere("Software\\Nico Mak Computing\\WinZip"));
    EXPECT_FALSE(KeyThere(kMediaPlayerRecentKey));
    EXPECT_TRUE(KeyThere("Software\\Microsoft\\MediaPlayer\\Player"));
    EXPECT_TRUE(KeyThere(kRunMruKey)) << "its last name is RunMRU, not MRU";
    EXPECT_TRUE(KeyThere("MRU")) << "only keys below Software are looked at";

    eraser.EraseHistory(CheckList::Only({8}));
    EXPECT_FALSE(KeyThere(kRunMruKey));
    EXPECT_TRUE(KeyThere("Software\\Microsoft\\Windows\\CurrentVersion\\Explorer"));
}

TEST(FindKeysNamed, GathersDeepestFirstWithoutDeleting) {
    RedirectedUser user;
    MakeKey("Software\\A\\MRU\\Nested\\MRU");
    MakeKey("Software\\B\\mru");
    MakeKey("Software\\B\\RunMRU");
    RecordingStatus status;
    CountingCancel cancel;
    QuietEraser eraser(cancel, status);
    eraser.FindKeysNamed(HKEY_CURRENT_USER, "software", "MRU");
    EXPECT_EQ((std::vector<std::string>{"software\\A\\MRU\\Nested\\MRU", "software\\A\\MRU", "software\\B\\mru"}),
              eraser.keysToDelete);
    EXPECT_TRUE(KeyThere("Software\\A\\MRU\\Nested\\MRU"));

    eraser.keysToDelete.clear();
    eraser.FindKeysNamed(HKEY_CURRENT_USER, "Software\\Missing", "MRU");
    EXPECT_TRUE(eraser.keysToDelete.empty());
}

TEST(EraseHistory, CancelDuringTheKeySearchDeletesWhatWasFoundAndSkipsLaterRows) {
    RedirectedUser user;
    // The search meets AAA, then Microsoft, then ZZZ; the cancel comes at the poll for ZZZ.
    MakeKey("Software\\AAA\\Recent File List", "a");
    MakeKey("Software\\AAA\\MRU", "a");
    MakeKey("Software\\ZZZ\\Recent File List", "z");
    MakeKey(kMediaPlayerRecentKey, "song");
    MakeKey(kRunMruKey, "notepad");
    MakeKey(kRecentDocumentKeys[0], "doc");

    // Count the polls up to ZZZ on a search that is not cancelled.
    int pollsToZzz = 0;
    {
        CountingCancel counter;
        RecordingStatus quiet;
        QuietEraser probe(counter, quiet);
        probe.FindKeysNamed(HKEY_CURRENT_USER, "Software", "ZZZ");
        ASSERT_EQ(1u, probe.keysToDelete.size());
        // One poll per subkey; only ZZZ's own subkey comes after ZZZ.
        pollsToZzz = counter.polls - 1;
    }

    RecordingStatus status;
    CountingCancel cancel(1 + pollsToZzz);
    QuietEraser eraser(cancel, status);
    eraser.EraseHistory(CheckList::Only({1, 16, 8}));

    EXPECT_FALSE(KeyThere("Software\\AAA\\Recent File List")) << "found before the cancel";
    EXPECT_TRUE(KeyThere("Software\\ZZZ\\Recent File List")) << "not reached";
    EXPECT_TRUE(KeyThere("Software\\AAA\\MRU")) << "the second search ends at its first poll";
    EXPECT_FALSE(KeyThere(kMediaPlayerRecentKey)) << "the fixed keys go all the same";
    EXPECT_TRUE(KeyThere(kRecentDocumentKeys[0]));
    EXPECT_TRUE(KeyThere(kRunMruKey));
    EXPECT_EQ((std::vector<std::string>{"Cleaning File MRU of Programs...", ""}), status.bar);
    EXPECT_EQ(1, eraser.announcements);
}

TEST(EraseHistory, RecentDocumentsAndFindHistoryKeysGo) {
    RedirectedUser user;
    for (const char* k : kRecentDocumentKeys) MakeKey(std::string(k) + "\\sub", "x");
    for (const char* k : kFindHistoryKeys) MakeKey(k, "x");
    RecordingStatus status;
    CountingCancel cancel;
    QuietEraser eraser(cancel, status);
    eraser.recentFolder = [] { return std::string(); };  // no Recent folder: nothing to walk
    eraser.EraseHistory(CheckList::Only({16}));
    for (const char* k : kRecentDocumentKeys) EXPECT_FALSE(KeyThere(k)) << k;
    for (const char* k : kFindHistoryKeys) EXPECT_TRUE(KeyThere(k)) << k;
    EXPECT_TRUE(KeyThere("Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\ComDlg32"));

    eraser.EraseHistory(CheckList::Only({32}));
    for (const char* k : kFindHistoryKeys) EXPECT_FALSE(KeyThere(k)) << k;
    EXPECT_TRUE(KeyThere("Software\\Microsoft\\Search Assistant"));
}

TEST(EraseHistory, VisitedLinksLeaveTypedUrlsPresentAndEmpty) {
    RedirectedUser user;
    MakeKey(kTypedUrlsKey, "http://example.test/");
    MakeKey(std::string(kTypedUrlsKey) + "\\odd subkey", "x");
    RecordingStatus status;
    CountingCancel cancel;
    QuietEraser eraser(cancel, status);
    // The browser's history store may not be able to clear itself (Wine's answers "not
    // implemented"); the typed addresses go all the same.
    eraser.EraseHistory(CheckList::Only({128}));
    EXPECT_EQ((std::pair<int, int>(0, 0)), KeyContents(kTypedUrlsKey));
    EXPECT_EQ((std::vector<std::string>{""}), status.bar) << "this row shows no text of its own";

    // Also when there were none.
    DeleteRegKeyTree(HKEY_CURRENT_USER, kTypedUrlsKey);
    eraser.ClearUrlHistory();
    EXPECT_EQ((std::pair<int, int>(0, 0)), KeyContents(kTypedUrlsKey));
}

TEST(DeleteUrlCacheEntries, EachRowDeletesOnlyItsTypes) {
    CacheEntries cache("types");
    std::string page = cache.Page("page.html");
    std::string cookie = cache.Cookie();
    std::string visited = cache.Visited();
    ASSERT_EQ(kNormalCacheEntry, CacheType(page) & (kNormalCacheEntry | kCookieCacheEntry | kUrlHistoryCacheEntry));
    ASSERT_EQ(kCookieCacheEntry, CacheType(cookie) & (kNormalCacheEntry | kCookieCacheEntry | kUrlHistoryCacheEntry));
    ASSERT_EQ(kUrlHistoryCacheEntry,
              CacheType(visited) & (kNormalCacheEntry | kCookieCacheEntry | kUrlHistoryCacheEntry));

    RecordingStatus status;
    CountingCancel cancel;
    QuietEraser eraser(cancel, status);
    eraser.EraseHistory(CheckList::Only({64}));
    EXPECT_EQ(0u, CacheType(cookie));
    EXPECT_NE(0u, CacheType(page));
    EXPECT_NE(0u, CacheType(visited));

    std::string cookie2 = cache.Cookie();
    eraser.EraseHistory(CheckList::Only({4}));
    EXPECT_EQ(0u, CacheType(page));
    EXPECT_EQ(0u, CacheType(visited));
    EXPECT_NE(0u, CacheType(cookie2)) << "the files row leaves cookies";
}

TEST(DeleteUrlCacheEntries, GrowsTheBufferForABigEntryAndGoesOn) {
    CacheEntries cache("big");
    std::vector<std::string> pages;
    for (int i = 0; i < 3; ++i) pages.push_back(cache.Page("small" + std::to_string(i) + ".html"));
    std::string big = cache.Page("big.html", kNormalCacheEntry, 9000);
    for (int i = 3; i < 6; ++i) pages.push_back(cache.Page("small" + std::to_string(i) + ".html"));
    {
        // The entry does not fit the first buffer.
        DWORD size = 4096;
        std::vector<ULONGLONG> buf(size / sizeof(ULONGLONG));
        ASSERT_FALSE(::GetUrlCacheEntryInfoA(big.c_str(), reinterpret_cast<INTERNET_CACHE_ENTRY_INFOA*>(buf.data()),
                                             &size));
        ASSERT_EQ(static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER), ::GetLastError());
        ASSERT_GT(size, 4096u);
    }
    RecordingStatus status;
    CountingCancel cancel;
    QuietEraser eraser(cancel, status);
    eraser.DeleteUrlCacheEntries(kNormalCacheEntry);
    EXPECT_EQ(0u, CacheType(big));
    for (const auto& p : pages) EXPECT_EQ(0u, CacheType(p)) << p;
}

TEST(DeleteUrlCacheEntries, AlreadyCancelledDeletesNothing) {
    CacheEntries cache("cancelled");
    std::string page = cache.Page("kept.html");
    RecordingStatus status;
    CountingCancel cancel(1);
    QuietEraser eraser(cancel, status);
    eraser.DeleteUrlCacheEntries(kNormalCacheEntry);
    EXPECT_EQ(1, cancel.polls);
    EXPECT_NE(0u, CacheType(page));
}

TEST(ClearRecentFolder, PlainFilesGoToTheRecycleBinOthersStay) {
    RecentFolder recent;
    std::string plain = recent.File("plain");
    std::string plain2 = recent.File("\xE6\x96\x87\xE4\xBB\xB6");  // a name in CJK
    std::string readOnly = recent.File("readonly", FILE_ATTRIBUTE_READONLY);
    std::string hidden = recent.File("hidden", FILE_ATTRIBUTE_HIDDEN);
    std::string system = recent.File("system", FILE_ATTRIBUTE_SYSTEM);
    std::string sub = recent.Dir("sub");
    WriteFileText(sub + "\\inside.lnk", "x");

    RecordingStatus status;
    CountingCancel cancel;
    QuietEraser eraser(cancel, status);
    eraser.recentFolder = [&recent] { return recent.path(); };
    eraser.ClearRecentFolder();

    for (const auto& p : {plain, plain2}) {
        EXPECT_FALSE(FileExists(p)) << p;
        EXPECT_TRUE(RecycleBinHolds(recent.path(), NameOf(p))) << p;
    }
    for (const auto& p : {readOnly, hidden, system, sub, sub + "\\inside.lnk"}) EXPECT_TRUE(FileExists(p)) << p;
    EXPECT_FALSE(RecycleBinHolds(recent.path(), NameOf(readOnly)));
}

TEST(ClearRecentFolder, CancelStopsBeforeTheNextFileAndNoFolderMeansNothing) {
    RecentFolder recent;
    std::string a = recent.File("a");
    std::string b = recent.File("b");
    RecordingStatus status;
    CountingCancel cancel(1);
    QuietEraser eraser(cancel, status);
    eraser.recentFolder = [&recent] { return recent.path(); };
    eraser.ClearRecentFolder();
    EXPECT_TRUE(FileExists(a));
    EXPECT_TRUE(FileExists(b));

    CountingCancel never;
    QuietEraser nowhere(never, status);
    nowhere.recentFolder = [] { return std::string(); };
    nowhere.ClearRecentFolder();
    EXPECT_EQ(0, never.polls);
}
