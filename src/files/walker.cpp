#include "files/walker.h"

#include "core/codepage.h"
#include "core/reghelpers.h"
#include "framework/settings.h"
#include "framework/strings.h"

#include <vector>

namespace {
std::string WithoutTrailingBackslashes(std::string s) {
    while (!s.empty() && s.back() == '\\') s.pop_back();
    return s;
}
}  // namespace

bool EntryName(const WIN32_FIND_DATAW& data, UINT codePage, std::string& name) {
    if (NarrowName(data.cFileName, name, codePage)) return true;
    std::string alias;
    if (data.cAlternateFileName[0] && NarrowName(data.cAlternateFileName, alias, codePage)) {
        name = alias;
        return true;
    }
    return false;
}

CFolderEnum::CFolderEnum(const std::string& folder, UINT codePage) : folder_(folder), codePage_(codePage) {
    find_ = ::FindFirstFileW(WideName(folder + "\\*.*", codePage).c_str(), &data_);
    pending_ = find_ != INVALID_HANDLE_VALUE;
}

CFolderEnum::~CFolderEnum() {
    if (find_ != INVALID_HANDLE_VALUE) ::FindClose(find_);
}

bool CFolderEnum::Next(WalkEntry& entry) {
    if (!pending_) return false;
    entry.usable = EntryName(data_, codePage_, entry.name);
    entry.fullPath = folder_ + "\\" + entry.name;
    entry.attributes = data_.dwFileAttributes;
    entry.length = (static_cast<uint64_t>(data_.nFileSizeHigh) << 32) | data_.nFileSizeLow;
    entry.lastWrite = data_.ftLastWriteTime;
    NarrowName(data_.cAlternateFileName, entry.alternateName, codePage_);
    pending_ = ::FindNextFileW(find_, &data_) != FALSE;
    return true;
}

int CFolderWalker::WalkFolder(const std::string& folder) {
    if (cancel_ && cancel_->checkCancelled()) return 0;
    if (excluded_ && IsExcludedFolder(folder, *excluded_)) return 1;

    CFolderEnum entries(folder, codePage_);
    if (status_) status_->SetStatusText(folder, 0);
    WalkEntry entry;
    while (entries.Next(entry)) {
        if (!entry.IsDirectory()) {
            if (SkipFile(entry)) continue;
            if (entry.usable) {
                OnFile(entry);
            } else {
                ++namesUnusable_;
                OnUnusableFile(entry);
            }
            continue;
        }
        if (entry.IsDotEntry()) continue;
        if (entry.attributes & FILE_ATTRIBUTE_REPARSE_POINT) {
            ++linksSkipped_;
            continue;
        }
        if (SkipDirectory(entry)) continue;
        if (!entry.usable) {
            ++namesUnusable_;
            continue;
        }
        if (!WalkFolder(entry.fullPath)) return 0;
    }
    return 1;
}

std::string UnusableNamesText(int count) {
    if (count == 0) return std::string();
    return Format(". %d name(s) have no form in this Windows's code page: listed as not removable, or left alone",
                  count);
}

bool IsExcludedFolder(const std::string& folder, const std::vector<std::string>& excluded) {
    for (const std::string& e : excluded)
        if (SameName(folder, e)) return true;
    return false;
}

bool ScanDrives(DWORD driveMask, const std::function<int(const std::string& drive)>& walker,
                const std::function<void(const std::string& drive)>& afterDrive) {
    for (int i = 0; i < 26; ++i) {
        if (!(driveMask & (1UL << i))) continue;
        std::string drive(1, static_cast<char>('A' + i));
        drive += ':';
        if (::GetDriveTypeA((drive + "\\").c_str()) != DRIVE_FIXED) continue;
        if (!walker(drive)) return false;
        if (afterDrive) afterDrive(drive);
    }
    return true;
}

std::string ExcludeKeyPath() { return SettingsKeyPath() + "\\Exclude"; }

void LoadExcludedFolders(std::vector<std::string>& excludedFolders) {
    excludedFolders.clear();
    HKEY key = nullptr;
    if (::RegOpenKeyExA(HKEY_CURRENT_USER, ExcludeKeyPath().c_str(), 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) {
        // First use: the Windows folder is listed but walked, the SendTo folder left out. They
        // are read back at once so that a scan that happens to load first already has them.
        char windows[MAX_PATH] = {};
        UINT n = ::GetWindowsDirectoryA(windows, MAX_PATH);
        if (n > 0 && n < MAX_PATH) WriteSettingInt("Exclude", WithoutTrailingBackslashes(windows).c_str(), 0);
        std::string sendTo = GetShellFolder(kSendToFolder);
        if (!sendTo.empty()) WriteSettingInt("Exclude", sendTo.c_str(), 1);
        if (::RegOpenKeyExA(HKEY_CURRENT_USER, ExcludeKeyPath().c_str(), 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS)
            return;
    }
    // Room for the longest value name the registry allows, three bytes a character: a folder
    // whose name did not fit would silently stop being excluded.
    std::vector<char> name(kLongestValueNameBytes);
    for (DWORD index = 0;; ++index) {
        DWORD nameLength = static_cast<DWORD>(name.size());
        DWORD type = 0;
        BYTE data[4] = {};
        DWORD dataSize = sizeof data;
        LONG rc = ::RegEnumValueA(key, index, name.data(), &nameLength, nullptr, &type, data, &dataSize);
        if (rc == ERROR_NO_MORE_ITEMS) break;
        // A value that is not a 4-byte number is not ours.
        if (rc != ERROR_SUCCESS || dataSize != sizeof data) continue;
        if (data[0] || data[1] || data[2] || data[3]) excludedFolders.emplace_back(name.data(), nameLength);
    }
    ::RegCloseKey(key);
}
