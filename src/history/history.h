// The history eraser: a fixed list of removal options shown with check boxes in the result list,
// and the steps that erase what each checked option names (most-recently-used lists, the Recent
// documents, the Internet cache and cookies, visited pages and typed addresses, the clipboard).
#pragma once

#include "core/services.h"

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

// Item data of a history row: one bit per removal option.
enum HistoryOptionCode : DWORD {
    kEraseProgramFileMru = 1,
    kEraseInternetFiles = 4,
    kEraseRunHistory = 8,
    kEraseRecentDocuments = 16,
    kEraseFindHistory = 32,
    kEraseCookies = 64,
    kEraseVisitedLinks = 128,
    kEraseClipboard = 256,
};

struct HistoryOption {
    const char* text;
    DWORD code;
    bool checkedAtStart;
};

// The rows in list order, which is also the order in which they run.
extern const HistoryOption kHistoryOptions[8];

// WinINet cache entry types the options delete.
const DWORD kNormalCacheEntry = 0x00000001;
const DWORD kCookieCacheEntry = 0x00100000;
const DWORD kUrlHistoryCacheEntry = 0x00200000;

// Empties the list and appends the eight options with their start check marks. The list must
// already show check boxes.
void FillHistoryItems(IResultList& list);

// One run of "Start". Polls `cancel` between units of work; progress goes to the message bar.
// No step reports a failure: whatever cannot be erased is left as it is.
class CHistoryEraser {
public:
    CHistoryEraser(ICancelPoll& cancel, IStatusSink& status);

    // The Recent documents folder; the shell's one unless replaced.
    std::function<std::string()> recentFolder;
    // Tells the system that settings changed at the end of a run; AnnounceSettingsChange unless
    // replaced (tests that must not disturb other programs' windows).
    std::function<void()> announceSettingsChange;

    // Runs the checked rows of `list` in list order (a cancel skips the rest), then tells every
    // window and the shell that settings changed, and clears the message bar.
    void EraseHistory(const IResultList& list);
    // One option by its code.
    void RunOption(DWORD code);

    // Appends to keysToDelete every key below hive\path whose own name is `name` (any case),
    // deepest first. Only gathers: the caller deletes once the walk is over, so the walk's
    // enumeration indices stay valid.
    void FindKeysNamed(HKEY hive, const std::string& path, const std::string& name);
    // Deletes every entry of the Internet cache whose type has a bit of `typeMask`.
    void DeleteUrlCacheEntries(DWORD typeMask);
    // Sends the plain files of the Recent folder to the Recycle Bin; read-only, hidden and
    // system files and folders stay.
    void ClearRecentFolder();
    // Clears the browser's history of visited pages and its typed addresses.
    void ClearUrlHistory();
    // Empties the clipboard unless another program holds it open.
    static void EmptyClipboardData();
    // WM_SETTINGCHANGE to every top-level window, then the shell's global-events notice.
    static void AnnounceSettingsChange();

    // Paths below HKEY_CURRENT_USER waiting to be deleted by the program MRU option.
    std::vector<std::string> keysToDelete;
    // Keys and files of this run left alone because their names have no form in the process
    // code page (never where that is UTF-8).
    int namesUnusable = 0;

private:
    ICancelPoll& cancel_;
    IStatusSink& status_;
};

// The key paths the options delete outright, below HKEY_CURRENT_USER.
extern const char kWinZipFileMenuKey[];
extern const char kMediaPlayerRecentKey[];
extern const char kRunMruKey[];
extern const char* const kRecentDocumentKeys[4];
extern const char* const kFindHistoryKeys[2];
extern const char kTypedUrlsKey[];
