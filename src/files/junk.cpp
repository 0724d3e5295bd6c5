#include "files/junk.h"

#include "core/codepage.h"
#include "framework/settings.h"
#include "framework/strings.h"

#include <mbstring.h>

namespace {
const char* const kDefaultEndings[] = {".tmp", ".gid", ".old", ".chk", ".$$$", "log.txt", ".dir",
                                       ".fts", ".err", ".---", "~",       "$",    ".___", ".log"};
const char* const kSetupWords[] = {"INSTAL", "REMOVE", "DEPLOY", "SETUP"};

bool SameTextMb(const std::string& a, const std::string& b) {
    return ::_mbsicmp(reinterpret_cast<const unsigned char*>(a.c_str()),
                      reinterpret_cast<const unsigned char*>(b.c_str())) == 0;
}

bool EndsWith(const std::string& s, const char* tail) {
    size_t n = std::char_traits<char>::length(tail);
    return s.size() >= n && s.compare(s.size() - n, n, tail) == 0;
}

std::string WithoutTrailingBackslashes(std::string s) {
    while (!s.empty() && s.back() == '\\') s.pop_back();
    return s;
}

// The long form of a path, so that it reads the same as the paths the drive walk builds; its
// short form where the long one has no form in the process code page, as the walk gives it.
// Empty when neither can name it.
std::string LongPath(const std::wstring& path) {
    std::wstring longPath = path;
    DWORD n = ::GetLongPathNameW(path.c_str(), nullptr, 0);
    if (n > 0) {
        std::wstring buf(n, L'\0');
        n = ::GetLongPathNameW(path.c_str(), &buf[0], n);
        if (n > 0 && n < buf.size()) longPath.assign(buf.c_str(), n);
    }
    std::string narrow;
    return NarrowPath(longPath, narrow) ? narrow : std::string();
}
}  // namespace

std::vector<JunkEnding> DefaultJunkEndings() {
    return EndingsInForce(kDefaultEndings, sizeof kDefaultEndings / sizeof kDefaultEndings[0]);
}

std::vector<JunkEnding> ParseJunkEndings(const std::string& text) { return ParseEndingList(text, DefaultJunkEndings()); }

std::string JunkEndingsText(const std::vector<JunkEnding>& endings) { return EndingListText(endings); }

std::vector<JunkEnding> LoadJunkEndings(FileToolSettings& settings) {
    settings.junkEndings = ReadSettingString("Settings", "JunkExt", "");
    return ParseJunkEndings(settings.junkEndings);
}

namespace {
// Setup logs are kept: a path that ends in ".LOG" and holds one of the words anywhere.
bool IsSetupLog(const std::string& fullPath) {
    std::string upper = ToUpper(fullPath);
    if (!EndsWith(upper, ".LOG")) return false;
    for (const char* word : kSetupWords)
        if (upper.find(word) != std::string::npos) return true;
    return false;
}
}  // namespace

bool IsJunkName(const std::string& fullPath, const std::vector<JunkEnding>& endings) {
    return CEndingsInForce(endings).Matches(fullPath) && !IsSetupLog(fullPath);
}

std::string JunkSizeText(uint64_t length) {
    uint64_t kb = length / 1024 + (length % 1024 ? 1 : 0);
    return Format("%llu KB", static_cast<unsigned long long>(kb));
}

bool CanOpenExclusively(const std::string& path) {
    HANDLE h = ::CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    ::CloseHandle(h);
    return true;
}

CJunkScan::CJunkScan(IResultList& list, ICancelPoll& cancel, IStatusSink& status, const FileToolSettings& settings,
                     std::vector<JunkEnding> endings)
    : CFolderWalker(&cancel, &status), list_(list), settings_(settings), endings_(endings) {
    SetExcludedFolders(&settings_.excludedFolders);
}

int CJunkScan::WalkJunkFolder(const std::string& folder) { return WalkFolder(folder); }

bool CJunkScan::SkipFile(const WalkEntry& entry) { return (entry.attributes & FILE_ATTRIBUTE_SYSTEM) != 0; }

bool CJunkScan::SkipDirectory(const WalkEntry& entry) {
    // Lost-cluster folders (FOUND.000) are hidden and system, yet hold nothing but leftovers.
    return IsSystemAndHidden(entry.attributes) && _strnicmp(entry.name.c_str(), "FOUND.", 6) != 0;
}

bool CJunkScan::MatchesRules(const WalkEntry& file, bool sendToTest) const {
    if (endings_.Matches(file.fullPath) && !IsSetupLog(file.fullPath)) return true;
    if (!settings_.findZeroLength || file.length != 0) return false;
    if (!sendToTest) return true;
    // Empty files in SendTo are its menu entries, not junk.
    size_t slash = file.fullPath.rfind('\\');
    std::string folder = file.fullPath.substr(0, slash == std::string::npos ? 0 : slash);
    return ToUpper(folder).find("SENDTO") == std::string::npos;
}

void CJunkScan::OnFile(const WalkEntry& file) {
    if (MatchesRules(file, true)) AddIfFree(file);
}

void CJunkScan::OnUnusableFile(const WalkEntry& file) {
    // Its name cannot be opened either, so the in-use test is not made: the row is shown only.
    if (MatchesRules(file, true)) AddJunkRow(file);
}

bool CJunkScan::Listed(const std::string& fullPath) const { return listedUpper_.count(ToUpper(fullPath)) != 0; }

void CJunkScan::AddIfFree(const WalkEntry& file) {
    if (Listed(file.fullPath) || settings_.keep.IsFileKept(file.fullPath)) return;
    if (CanOpenExclusively(file.fullPath)) AddJunkRow(file);
}

void CJunkScan::AddJunkRow(const WalkEntry& file) {
    if (settings_.keep.IsFileKept(file.fullPath)) return;
    list_.AddRow({file.name, file.fullPath, JunkSizeText(file.length)}, -1, file.usable ? 0 : kRowNameUnusable);
    listedUpper_.insert(ToUpper(file.fullPath));
    if (file.usable) junkTotalBytes += file.length;
}

void CJunkScan::WalkTempFolder(const std::string& folder) {
    CFolderEnum entries(folder, codePage());
    status_->SetStatusText(folder, 0);
    WalkEntry entry;
    while (entries.Next(entry)) {
        if (cancel_->checkCancelled()) return;
        if (IsSystemAndHidden(entry.attributes)) continue;
        if (entry.IsDirectory()) {
            if (entry.IsDotEntry() || (entry.attributes & FILE_ATTRIBUTE_REPARSE_POINT)) continue;
            if (!entry.usable) {
                CountUnusableName();
                continue;
            }
            WalkTempFolder(entry.fullPath);
            continue;
        }
        // Everything here goes, junk or not; a file the drive walk listed is not listed twice.
        if (entry.usable) {
            AddIfFree(entry);
        } else if (!Listed(entry.fullPath)) {
            CountUnusableName();
            AddJunkRow(entry);
        }
    }
}

std::vector<std::string> TempFoldersToClean() {
    std::vector<std::string> folders;
    // Asked for wide: a user's folder name in UTF-8 can outgrow a MAX_PATH byte buffer.
    WCHAR buf[MAX_PATH + 1] = {};
    DWORD n = ::GetTempPathW(MAX_PATH + 1, buf);
    if (n == 0 || n >= MAX_PATH) return folders;
    std::string temp = WithoutTrailingBackslashes(LongPath(buf));
    size_t slash = temp.rfind('\\');
    if (slash != std::string::npos && !SameText(temp.substr(slash + 1), "windows")) folders.push_back(temp);

    WCHAR windows[MAX_PATH] = {};
    UINT w = ::GetWindowsDirectoryW(windows, MAX_PATH);
    if (w > 0 && w < MAX_PATH) {
        std::wstring windowsTemp = windows;
        while (!windowsTemp.empty() && windowsTemp.back() == L'\\') windowsTemp.pop_back();
        std::string longTemp = LongPath(windowsTemp + L"\\temp");
        if (!longTemp.empty() && !SameTextMb(longTemp, temp)) folders.push_back(longTemp);
    }
    return folders;
}

uint64_t ScanUnneededFiles(IResultList& list, ICancelPoll& cancel, IStatusSink& status, FileToolSettings& settings,
                           const std::function<void()>& sizeColumns) {
    LoadExcludedFolders(settings.excludedFolders);
    CJunkScan scan(list, cancel, status, settings, LoadJunkEndings(settings));
    list.DeleteAll();

    ScanDrives(settings.driveMask, [&](const std::string& drive) { return scan.WalkJunkFolder(drive); });
    // After a cancel the temporary-folder walk meets it at its first poll and adds nothing.
    if (settings.cleanTempFolder)
        for (const std::string& folder : TempFoldersToClean()) scan.WalkTempFolder(folder);

    if (sizeColumns) sizeColumns();
    status.SetStatusText(Format("Total Invalid entries found: %s", FormatSize(scan.junkTotalBytes).c_str()) +
                             UnusableNamesText(scan.namesUnusable()),
                         0);
    return scan.junkTotalBytes;
}
