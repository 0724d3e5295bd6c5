#include "history/history.h"

#include "core/codepage.h"
#include "core/reghelpers.h"
#include "files/recycle.h"
#include "files/walker.h"
#include "framework/strings.h"

#include <objbase.h>
#include <shlobj.h>
#include <urlhist.h>
#include <wininet.h>

const HistoryOption kHistoryOptions[8] = {
    {"Delete Recent File List of programs (ex:- Windows Media Player)", kEraseProgramFileMru, true},
    {"Delete Recently Opened Document History", kEraseRecentDocuments, true},
    {"Delete all files in the Temporary Internet Files Folder", kEraseInternetFiles, true},
    {"Delete all cookies in the Temporary Internet Files Folder", kEraseCookies, false},
    {"Delete all links to the recently visited webpages", kEraseVisitedLinks, true},
    {"Empty Clipboard (paste data)", kEraseClipboard, true},
    {"Delete Start/Run History (needs reboot/logoff)", kEraseRunHistory, true},
    {"Delete Start/Find Files History", kEraseFindHistory, true},
};

// WinZip keeps its recent archives under its maker's key.
const char kWinZipFileMenuKey[] = "Software\\Nico Mak Computing\\WinZip\\filemenu";
const char kMediaPlayerRecentKey[] = "Software\\Microsoft\\MediaPlayer\\Player\\RecentFileList";
const char kRunMruKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\RunMRU";
const char* const kRecentDocumentKeys[4] = {
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\RecentDocs",
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\ComDlg32\\LastVisitedMRU",
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\ComDlg32\\OpenSaveMRU",
    "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\StreamMRU",
};
const char* const kFindHistoryKeys[2] = {
    "Software\\Microsoft\\Internet Explorer\\Explorer Bars\\{C4EE31F3-4768-11D2-BE5C-00A0C9A83DA1}\\FilesNamedMRU",
    "Software\\Microsoft\\Search Assistant\\ACMru",
};
const char kTypedUrlsKey[] = "Software\\Microsoft\\Internet Explorer\\TypedURLs";

namespace {
// The browser's store of visited pages and the interface that can clear it.
const CLSID kUrlHistoryClass = {0x3C374A40, 0xBAE4, 0x11CF, {0xBF, 0x7D, 0x00, 0xAA, 0x00, 0x69, 0x46, 0xEE}};
const IID kUrlHistoryStg2 = {0xAFA0DC11, 0xC313, 0x11D0, {0x83, 0x1A, 0x00, 0xC0, 0x4F, 0xD5, 0xAE, 0x38}};

// Shell event mask of the global events (association, media, drive and settings changes).
const LONG kGlobalEvents = 0x0C0581E0;
// A window that has not read its messages for this long is not waited for by the broadcast.
const UINT kBroadcastTimeoutMs = 3000;

bool EndsWithKeyName(const std::string& path, const std::string& name) {
    size_t slash = path.rfind('\\');
    std::string last = slash == std::string::npos ? path : path.substr(slash + 1);
    return ::lstrcmpiA(last.c_str(), name.c_str()) == 0;
}
}  // namespace

void FillHistoryItems(IResultList& list) {
    list.DeleteAll();
    for (const HistoryOption& option : kHistoryOptions) {
        int row = list.AddRow({option.text}, 0, option.code);
        if (row >= 0) list.SetChecked(row, option.checkedAtStart);
    }
}

CHistoryEraser::CHistoryEraser(ICancelPoll& cancel, IStatusSink& status)
    : recentFolder([] { return GetShellFolder(kRecentFolder); }),
      announceSettingsChange(&CHistoryEraser::AnnounceSettingsChange),
      cancel_(cancel),
      status_(status) {}

void CHistoryEraser::EraseHistory(const IResultList& list) {
    keysToDelete.clear();
    namesUnusable = 0;
    for (int row = 0; row < list.Count(); ++row) {
        if (!list.IsChecked(row)) continue;
        if (cancel_.checkCancelled()) break;
        RunOption(list.Data(row));
    }
    keysToDelete.clear();
    if (announceSettingsChange) announceSettingsChange();
    // Only where the process code page is not UTF-8 can a name be left for this reason.
    status_.SetStatusText(namesUnusable ? Format("%d item(s) whose names have no form in this Windows's code page "
                                                 "were left as they are.",
                                                 namesUnusable)
                                        : std::string(),
                          0);
}

void CHistoryEraser::RunOption(DWORD code) {
    switch (code) {
    case kEraseProgramFileMru:
        status_.SetStatusText("Cleaning File MRU of Programs...", 0);
        FindKeysNamed(HKEY_CURRENT_USER, "software", "Recent File List");
        FindKeysNamed(HKEY_CURRENT_USER, "software", "MRU");
        keysToDelete.push_back(kWinZipFileMenuKey);
        keysToDelete.push_back(kMediaPlayerRecentKey);
        // What was found is deleted even after a cancel: the search has already ended.
        for (const std::string& path : keysToDelete) DeleteRegKeyTree(HKEY_CURRENT_USER, path);
        keysToDelete.clear();
        break;
    case kEraseInternetFiles:
        status_.SetStatusText("Cleaning IE Visited Web Pages...", 0);
        DeleteUrlCacheEntries(kUrlHistoryCacheEntry);
        DeleteUrlCacheEntries(kNormalCacheEntry);
        break;
    case kEraseRunHistory:
        status_.SetStatusText("Cleaning Start/Run...", 0);
        DeleteRegKeyTree(HKEY_CURRENT_USER, kRunMruKey);
        break;
    case kEraseRecentDocuments:
        status_.SetStatusText("Removing Recent Document History ...", 0);
        for (const char* key : kRecentDocumentKeys) DeleteRegKeyTree(HKEY_CURRENT_USER, key);
        ClearRecentFolder();
        break;
    case kEraseFindHistory:
        status_.SetStatusText("Removing Find File History ...", 0);
        for (const char* key : kFindHistoryKeys) DeleteRegKeyTree(HKEY_CURRENT_USER, key);
        break;
    case kEraseCookies:
        status_.SetStatusText("Cleaning IE Cookies...", 0);
        DeleteUrlCacheEntries(kCookieCacheEntry);
        break;
    case kEraseVisitedLinks:
        ClearUrlHistory();
        break;
    case kEraseClipboard:
        EmptyClipboardData();
        break;
    default:
        break;
    }
}

void CHistoryEraser::FindKeysNamed(HKEY hive, const std::string& path, const std::string& name) {
    HKEY key = nullptr;
    if (::RegOpenKeyExA(hive, path.c_str(), 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) return;
    DWORD subkeys = 0;
    if (::RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, nullptr, nullptr, nullptr,
                           nullptr, nullptr) != ERROR_SUCCESS) {
        ::RegCloseKey(key);
        return;
    }
    for (DWORD i = 0; i < subkeys; ++i) {
        // Read wide: a key name in UTF-8 can take three bytes a character, and where the process
        // code page is another, a name that does not survive it could only name another key.
        WCHAR wide[256];
        DWORD length = 256;
        if (::RegEnumKeyExW(key, i, wide, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) continue;
        if (cancel_.checkCancelled()) break;
        std::string subkey;
        if (!NarrowName(std::wstring(wide, length), subkey)) {
            ++namesUnusable;
            continue;
        }
        std::string child = path + "\\" + subkey;
        FindKeysNamed(hive, child, name);
        if (EndsWithKeyName(child, name)) keysToDelete.push_back(child);
    }
    ::RegCloseKey(key);
}

void CHistoryEraser::DeleteUrlCacheEntries(DWORD typeMask) {
    if (cancel_.checkCancelled()) return;
    // One buffer for the whole walk, grown only for an entry that does not fit. Kept in 64-bit
    // units so the entry's pointers are aligned.
    std::vector<ULONGLONG> buffer(4096 / sizeof(ULONGLONG));
    HANDLE find = nullptr;
    for (;;) {
        DWORD size = static_cast<DWORD>(buffer.size() * sizeof(ULONGLONG));
        auto* entry = reinterpret_cast<INTERNET_CACHE_ENTRY_INFOA*>(buffer.data());
        bool found;
        if (!find) {
            find = ::FindFirstUrlCacheEntryA(nullptr, entry, &size);
            found = find != nullptr;
        } else {
            found = ::FindNextUrlCacheEntryA(find, entry, &size) != FALSE;
        }
        if (!found) {
            // Only a bigger buffer helps; a size that would not grow it would loop for ever.
            if (::GetLastError() == ERROR_INSUFFICIENT_BUFFER && size > buffer.size() * sizeof(ULONGLONG)) {
                buffer.assign((size + sizeof(ULONGLONG) - 1) / sizeof(ULONGLONG), 0);
                continue;
            }
            break;
        }
        if ((entry->CacheEntryType & typeMask) && entry->lpszSourceUrlName)
            ::DeleteUrlCacheEntryA(entry->lpszSourceUrlName);
        if (cancel_.checkCancelled()) break;
    }
    if (find) ::FindCloseUrlCache(find);
}

void CHistoryEraser::ClearRecentFolder() {
    std::string folder = recentFolder ? recentFolder() : std::string();
    if (folder.empty()) return;
    const DWORD kept = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_SYSTEM |
                       FILE_ATTRIBUTE_HIDDEN;
    std::vector<std::string> files;
    CFolderEnum entries(folder);
    WalkEntry entry;
    while (entries.Next(entry)) {
        if (cancel_.checkCancelled()) break;
        if (entry.attributes & kept) continue;
        if (entry.usable) files.push_back(entry.fullPath);
        else ++namesUnusable;
    }
    // One removal for all, so the Recycle Bin is looked at once, not once per file.
    RecycleFiles(files, true);
}

void CHistoryEraser::ClearUrlHistory() {
    // Not every system has a store that can clear itself (Wine's answers "not implemented");
    // the typed addresses and the session below are cleared all the same.
    IUrlHistoryStg2* store = nullptr;
    if (SUCCEEDED(::CoCreateInstance(kUrlHistoryClass, nullptr, CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER,
                                     kUrlHistoryStg2, reinterpret_cast<void**>(&store))) &&
        store) {
        store->ClearHistory();
        store->Release();
    }

    // The browser expects the key to be there, so it comes back empty.
    DeleteRegKeyTree(HKEY_CURRENT_USER, kTypedUrlsKey);
    HKEY key = nullptr;
    if (::RegCreateKeyExA(HKEY_CURRENT_USER, kTypedUrlsKey, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                          nullptr, &key, nullptr) == ERROR_SUCCESS)
        ::RegCloseKey(key);

    ::InternetSetOptionA(nullptr, INTERNET_OPTION_END_BROWSER_SESSION, nullptr, 0);
}

void CHistoryEraser::EmptyClipboardData() {
    if (!::OpenClipboard(nullptr)) return;
    ::EmptyClipboard();
    ::CloseClipboard();
}

void CHistoryEraser::AnnounceSettingsChange() {
    // No section name: every kind of setting may have changed. A hung window is passed over
    // rather than waited for without end.
    DWORD_PTR result = 0;
    ::SendMessageTimeoutA(HWND_BROADCAST, WM_SETTINGCHANGE, 0, 0, SMTO_NORMAL | SMTO_ABORTIFHUNG,
                          kBroadcastTimeoutMs, &result);
    ::SHChangeNotify(kGlobalEvents, SHCNF_DWORD, nullptr, nullptr);
}
