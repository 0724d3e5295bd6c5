// The history eraser against the real registry (HKEY_CURRENT_USER redirected to a scratch key),
// the real Internet cache (entries of this test only are looked at), the clipboard and a scratch
// Recent folder whose files go to the Recycle Bin; and its commands on the real result list.
#include "history/history.h"
#include "history/historycommands.h"
#include "kit.h"

#include <gtest/gtest.h>

#include <wininet.h>

#include <cstring>
#include <functional>
#include <map>

namespace {

bool InCache(const std::string& url) {
    DWORD size = 0;
    return !::GetUrlCacheEntryInfoA(url.c_str(), nullptr, &size) && ::GetLastError() == ERROR_INSUFFICIENT_BUFFER;
}

// The tool's list as the main window sets it up: the options with check boxes.
class HistoryTest : public ::testing::Test {
protected:
    void SetUp() override {
        // Only this thread's own broadcasts count: other programs may send theirs.
        host.window.OnMessage(WM_SETTINGCHANGE, [this](WPARAM w, LPARAM l) -> LRESULT {
            if (!::InSendMessage()) settingChanges.push_back(w | l);
            return 0;
        });
        view.Send(LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_CHECKBOXES, LVS_EX_CHECKBOXES);
        ListHistoryItems(view);
    }
    void CheckOnly(DWORD options) {
        for (int r = 0; r < view.Count(); ++r) view.SetChecked(r, (view.Data(r) & options) != 0);
    }
    bool PutOnClipboard() {
        HGLOBAL text = ::GlobalAlloc(GMEM_FIXED, 7);
        std::memcpy(text, "secret", 7);
        bool put = ::OpenClipboard(host.window.m_hWnd) && ::EmptyClipboard() && ::SetClipboardData(CF_TEXT, text);
        return ::CloseClipboard() && put;
    }

    kit::ListHost host {kListHistory, {{"Select Removal Options", 200}}};
    CWrenlyView& view = host.view;
    std::vector<WPARAM> settingChanges;
};

}  // namespace

TEST_F(HistoryTest, EachOptionErasesWhatItNamesAndNothingElse) {
    kit::RedirectedUser user;
    ScratchDir recent("recent");
    // Keys and the option that deletes them (0: none): lists of recent files of any program
    // below Software at any depth, and the keys the options name; never their parents.
    const DWORD mru = kEraseProgramFileMru, docs = kEraseRecentDocuments, find = kEraseFindHistory;
    const std::pair<std::string, DWORD> keys[] = {
        {"Software\\Vendor\\Program\\MRU", mru}, {"Software\\Other\\mru\\Nested\\MRU", mru},
        {"Software\\Vendor\\Program\\Settings\\Files\\Recent File List", mru}, {kWinZipFileMenuKey, mru},
        {kMediaPlayerRecentKey, mru}, {"Software\\Vendor\\Program", 0}, {"Software\\Other\\MRUList", 0},
        {"Software\\Other\\NotMRU", 0}, {"MRU", 0}, {"Software\\Nico Mak Computing\\WinZip", 0},
        {"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\ComDlg32", 0},
        {"Software\\Microsoft\\Search Assistant", 0}, {kRunMruKey, kEraseRunHistory},
        {kRecentDocumentKeys[0], docs}, {kRecentDocumentKeys[1], docs}, {kRecentDocumentKeys[2], docs},
        {kRecentDocumentKeys[3], docs}, {kFindHistoryKeys[0], find}, {kFindHistoryKeys[1], find}};
    // Recent documents by their attributes: only plain files go.
    const std::pair<std::string, DWORD> files[] = {
        {"plain.lnk", FILE_ATTRIBUTE_NORMAL}, {u8"文件.lnk", FILE_ATTRIBUTE_NORMAL},
        {"readonly.lnk", FILE_ATTRIBUTE_READONLY}, {"hidden.lnk", FILE_ATTRIBUTE_HIDDEN},
        {"system.lnk", FILE_ATTRIBUTE_SYSTEM}};
    // Entries of the cache: an entry too big for the first buffer goes, and so do those after it.
    std::string site = "http://kelvo-" + kit::Pid() + ".test/";
    const struct { std::string url; DWORD type, option; size_t header; } urls[] = {
        {site + "page.html", kNormalCacheEntry, kEraseInternetFiles, 0},
        {site + "big.html", kNormalCacheEntry, kEraseInternetFiles, 9000},
        {site + "after.html", kNormalCacheEntry, kEraseInternetFiles, 0},
        {"Visited: kelvo@" + site + "seen.html", kUrlHistoryCacheEntry, kEraseInternetFiles, 0},
        {"Cookie:kelvo@" + site.substr(7), kCookieCacheEntry, kEraseCookies, 0}};
    const std::map<DWORD, std::string> texts = {
        {mru, "Cleaning File MRU of Programs..."}, {kEraseCookies, "Cleaning IE Cookies..."},
        {docs, "Removing Recent Document History ..."}, {kEraseRunHistory, "Cleaning Start/Run..."},
        {kEraseInternetFiles, "Cleaning IE Visited Web Pages..."}, {find, "Removing Find File History ..."}};

    // Each option alone; none (a bit no option has); and all, the user cancelling at once.
    for (DWORD option : {0x8000u, 1u, 16u, 4u, 64u, 128u, 256u, 8u, 32u, ~0u}) {
        SCOPED_TRACE(option);
        for (const auto& k : keys) kit::SetRegString(HKEY_CURRENT_USER, k.first, "a", "x");
        kit::SetRegString(HKEY_CURRENT_USER, kTypedUrlsKey, "url1", "http://example.test/");
        for (const auto& f : files)
            WriteFileText(recent / f.first, "x"), ::SetFileAttributesA((recent / f.first).c_str(), f.second);
        for (const auto& u : urls) {
            char file[MAX_PATH] = {};
            std::string header(u.header, 'h');
            ASSERT_TRUE(::CreateUrlCacheEntryA(u.url.c_str(), 0, "txt", file, 0) && WriteFileText(file, "page") &&
                        ::CommitUrlCacheEntryA(u.url.c_str(), file, FILETIME {}, FILETIME {}, u.type,
                                               u.header ? reinterpret_cast<BYTE*>(&header[0]) : nullptr,
                                               static_cast<DWORD>(u.header), "txt", nullptr))
                << u.url;
        }
        ASSERT_TRUE(PutOnClipboard());
        kit::RecordingStatus status;
        kit::CountingCancel cancel(option == ~0u ? 1 : 0);
        CHistoryEraser eraser(cancel, status);
        int announced = 0;
        eraser.announceSettingsChange = [&] { ++announced; };
        eraser.recentFolder = [&] { return recent.path(); };
        CheckOnly(option);
        eraser.EraseHistory(view);

        for (const auto& k : keys)
            EXPECT_EQ(k.second != option, kit::RegKeyPresent(HKEY_CURRENT_USER, k.first)) << k.first;
        EXPECT_EQ(option != kEraseVisitedLinks, ValueExists(HKEY_CURRENT_USER, kTypedUrlsKey, "url1"));
        EXPECT_TRUE(kit::RegKeyPresent(HKEY_CURRENT_USER, kTypedUrlsKey)) << "the browser expects the key";
        for (const auto& f : files)
            EXPECT_EQ(option != docs || f.second != FILE_ATTRIBUTE_NORMAL, FileExists(recent / f.first)) << f.first;
        for (const auto& u : urls) EXPECT_EQ(u.option != option, InCache(u.url)) << u.url;
        EXPECT_EQ(option != kEraseClipboard, ::IsClipboardFormatAvailable(CF_TEXT) != FALSE);
        std::vector<std::string> shown = {""};
        if (texts.count(option)) shown.insert(shown.begin(), texts.at(option));
        EXPECT_EQ(shown, status.messages);
        EXPECT_EQ(1, announced) << "the settings change is announced all the same";
    }
    for (const auto& u : urls) ::DeleteUrlCacheEntryA(u.url.c_str());
}

TEST_F(HistoryTest, OptionsWithCheckBoxesAndStartUnderTheCancelDialog) {
    // The options in the order they run, only the cookies row cleared.
    const DWORD order[] = {1, 16, 4, 64, 128, 256, 8, 32};
    ASSERT_EQ(8, view.Count());
    for (int r = 0; r < 8; ++r) EXPECT_TRUE(view.Data(r) == order[r] && view.IsChecked(r) == (r != 3)) << r;
    EXPECT_GT(view.Send(LVM_GETCOLUMNWIDTH, 0),
              view.Send(LVM_GETSTRINGWIDTHA, 0, reinterpret_cast<LPARAM>(kHistoryOptions[0].text)))
        << "the longest option is shown whole";

    ASSERT_TRUE(PutOnClipboard());
    CheckOnly(kEraseClipboard);
    struct : kit::RecordingStatus {
        std::function<void()> onText;
        void SetStatusText(const std::string&, int) override { onText(); }
    } status;
    bool dialogUp = false;
    status.onText = [&] { dialogUp = view.activeCancelDialog && !::IsWindowEnabled(host.window.m_hWnd); };
    int stops = 0;
    settingChanges.clear();
    RunEraseHistory(view, status, [&] { ++stops; });
    EXPECT_FALSE(::IsClipboardFormatAvailable(CF_TEXT));
    EXPECT_TRUE(dialogUp);
    EXPECT_TRUE(view.activeCancelDialog == nullptr && ::IsWindowEnabled(host.window.m_hWnd) && stops == 1);
    // The shell's global-events notice that follows cannot be seen here: Wine's shell drops
    // notices given as DWORD items.
    EXPECT_EQ(std::vector<WPARAM> {0}, settingChanges) << "one broadcast, no section named";
    // Start leaves the check marks as they were; choosing the tool again brings the defaults.
    EXPECT_TRUE(view.IsChecked(5) && !view.IsChecked(0));
    ListHistoryItems(view);
    EXPECT_TRUE(view.IsChecked(0) && !view.IsChecked(3));
}
