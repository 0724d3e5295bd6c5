#include "files/walker.h"

#include "app/reghelpers.h"
#include "framework/settings.h"

#include <mbstring.h>

namespace {
bool SamePath(const std::string& a, const std::string& b) {
    return ::_mbsicmp(reinterpret_cast<const unsigned char*>(a.c_str()),
                      reinterpret_cast<const unsigned char*>(b.c_str())) == 0;
}

std::string WithoutTrailingBackslashes(std::string s) {
    while (!s.empty() && s.back() == '\\') s.pop_back();
    return s;
}
}  // namespace

CFolderEnum::CFolderEnum(const std::string& folder) : folder_(folder) {
    find_ = ::FindFirstFileA((folder + "\\*.*").c_str(), &data_);
    pending_ = find_ != INVALID_HANDLE_VALUE;
}

CFolderEnum::~CFolderEnum() {
    if (find_ != INVALID_HANDLE_VALUE) ::FindClose(find_);
}

bool CFolderEnum::Next(WalkEntry& entry) {
    if (!pending_) return false;
    entry.name = data_.cFileName;
    entry.fullPath = folder_ + "\\" + entry.name;
    entry.attributes = data_.dwFileAttributes;
    entry.length = (static_cast<uint64_t>(data_.nFileSizeHigh) << 32) | data_.nFileSizeLow;
    entry.lastWrite = data_.ftLastWriteTime;
    entry.alternateName = data_.cAlternateFileName;
    pending_ = ::FindNextFileA(find_, &data_) != FALSE;
    return true;
}

int CFolderWalker::WalkFolder(const std::string& folder) {
    if (cancel_ && cancel_->checkCancelled()) return 0;
    if (excluded_ && IsExcludedFolder(folder, *excluded_)) return 1;

    CFolderEnum entries(folder);
    if (status_) status_->SetStatusText(folder, 0);
    WalkEntry entry;
    while (entries.Next(entry)) {
        if (!entry.IsDirectory()) {
            if (!SkipFile(entry)) OnFile(entry);
            continue;
        }
        if (entry.IsDotEntry()) continue;
        if (entry.attributes & FILE_ATTRIBUTE_REPARSE_POINT) {
            ++linksSkipped_;
            continue;
        }
        if (SkipDirectory(entry)) continue;
        if (!WalkFolder(entry.fullPath)) return 0;
    }
    return 1;
}

bool IsExcludedFolder(const std::string& folder, const std::vector<std::string>& excluded) {
    for (const std::string& e : excluded)
        if (SamePath(folder, e)) return true;
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
    for (DWORD index = 0;; ++index) {
        char name[MAX_PATH] = {};
        DWORD nameLength = MAX_PATH;
        DWORD type = 0;
        BYTE data[4] = {};
        DWORD dataSize = sizeof data;
        LONG rc = ::RegEnumValueA(key, index, name, &nameLength, nullptr, &type, data, &dataSize);
        if (rc == ERROR_NO_MORE_ITEMS) break;
        // A value that is not a 4-byte number (too long a name, other data) is not ours.
        if (rc != ERROR_SUCCESS || dataSize != sizeof data) continue;
        if (data[0] || data[1] || data[2] || data[3]) excludedFolders.push_back(name);
    }
    ::RegCloseKey(key);
}
