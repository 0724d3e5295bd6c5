#include "registry/regscan.h"

#include "framework/strings.h"
#include "registry/pathcheck.h"

#include <commctrl.h>

#include <cstring>

namespace {
const char kSharedDllsKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";

bool IsStringType(DWORD type) { return type == REG_SZ || type == REG_EXPAND_SZ; }
bool IsDwordType(DWORD type) { return type == REG_DWORD; }

void StripQuotes(std::string& s) {
    size_t start = s.find_first_not_of('"');
    if (start == std::string::npos) {
        s.clear();
        return;
    }
    s.erase(0, start);
    s.erase(s.find_last_not_of('"') + 1);
}
}  // namespace

bool GetRegRootInfo(HKEY root, RegRootInfo& info) {
    if (root == HKEY_LOCAL_MACHINE) info = {"HKEY_LOCAL_MACHINE", kImageLocalMachine, kRegRootLocalMachine};
    else if (root == HKEY_CURRENT_USER) info = {"HKEY_CURRENT_USER", kImageCurrentUser, kRegRootCurrentUser};
    else if (root == HKEY_USERS) info = {"HKEY_USERS", kImageUsers, kRegRootUsers};
    else if (root == HKEY_CLASSES_ROOT) info = {"HKEY_CLASSES_ROOT", kImageClassesRoot, kRegRootClasses};
    else return false;
    return true;
}

HKEY RegRootFromFlags(DWORD flags) {
    if (flags & kRegRootLocalMachine) return HKEY_LOCAL_MACHINE;
    if (flags & kRegRootCurrentUser) return HKEY_CURRENT_USER;
    if (flags & kRegRootUsers) return HKEY_USERS;
    if (flags & kRegRootClasses) return HKEY_CLASSES_ROOT;
    return nullptr;
}

CRegistryScan::CRegistryScan(IResultList& list, ICancelPoll& cancel, IStatusSink& status,
                             const RegScanOptions& options)
    : list_(list), cancel_(cancel), status_(status), options_(options) {}

bool CRegistryScan::Poll() {
    if (!cancelled_ && cancel_.checkCancelled()) cancelled_ = true;
    return cancelled_;
}

bool CRegistryScan::Judge(const std::string& text, bool lenient) const {
    return IsPathEntryValid(text, lenient, options_.reportRemovableMedia);
}

void CRegistryScan::ScanRegistry() {
    list_.DeleteAll();
    // Each step runs only while the user has not cancelled; the total is reported either way.
    [this] {
        if (Poll()) return;
        if (options_.scanUserHives) {
            SetMessage("Scanning HKEY_CURRENT_USER for Invalid Entries...");
            WalkRegistryKey(HKEY_CURRENT_USER, "");
            if (Poll()) return;
            SetMessage("Scanning HKEY_USERS for Invalid Entries...");
            WalkRegistryKey(HKEY_USERS, "");
        }
        if (Poll()) return;
        SetMessage("Scanning File Associations for Invalid Entries...");
        if (options_.scanFileAssociations) ScanFileAssociations();
        if (Poll()) return;
        SetMessage("Scanning Class Identifiers for Invalid Entries...");
        if (options_.scanClassIds) ScanClassIds(HKEY_LOCAL_MACHINE);
        if (Poll()) return;
        SetMessage("Scanning HKEY_LOCAL_MACHINE for Invalid Entries...");
        if (!options_.scanMachineHive) return;
        WalkRegistryKey(HKEY_LOCAL_MACHINE, "Software");
        if (Poll()) return;
        SetMessage("Scanning Shared DLL Paths...");
        ScanSharedDlls(HKEY_LOCAL_MACHINE, kSharedDllsKey);
    }();
    FinishRegistryScan();
}

void CRegistryScan::WalkRegistryKey(HKEY root, const std::string& subPath) {
    // The class trees of the machine and of the current user are checked by their own rules.
    if (SameText(subPath, "SOFTWARE\\CLASSES")) return;
    HKEY key = nullptr;
    if (::RegOpenKeyExA(root, subPath.c_str(), 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) return;
    ++keysVisited;
    for (DWORD index = 0;; ++index) {
        char name[261];
        DWORD len = sizeof name;
        if (::RegEnumKeyExA(key, index, name, &len, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        if (Poll()) break;
        WalkRegistryKey(root, subPath.empty() ? std::string(name) : subPath + "\\" + name);
    }
    if (!cancelled_) ScanKeyValues(root, key, subPath);
    ::RegCloseKey(key);
}

bool CRegistryScan::ReadLongValue(HKEY key, DWORD index, bool (*wantData)(DWORD type)) {
    for (int attempt = 0; attempt < 4; ++attempt) {
        DWORD maxName = 0;
        if (::RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &maxName,
                               nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            return false;
        // A name may take two bytes per character in the ANSI code page.
        maxName = maxName * 2 + 1;
        longName_.assign(maxName + 2, '\0');
        DWORD nameLen = maxName + 1, size = 0;
        type_ = REG_NONE;
        LONG rc = ::RegEnumValueA(key, index, longName_.data(), &nameLen, nullptr, &type_, nullptr, &size);
        if (rc == ERROR_MORE_DATA) continue;  // the key changed under us
        if (rc != ERROR_SUCCESS) return false;
        curName_ = longName_.data();
        if (!wantData(type_)) {
            curData_ = nullptr;
            dataSize_ = 0;
            return true;
        }
        longData_.assign(size + 2, 0);
        nameLen = maxName + 1;
        DWORD got = size;
        rc = ::RegEnumValueA(key, index, longName_.data(), &nameLen, nullptr, &type_, longData_.data(), &got);
        if (rc == ERROR_MORE_DATA) continue;
        if (rc != ERROR_SUCCESS) return false;
        curData_ = longData_.data();
        dataSize_ = got;
        return true;
    }
    return false;
}

LONG CRegistryScan::ReadValue(HKEY key, DWORD index, bool (*wantData)(DWORD type)) {
    std::memset(name_, 0, sizeof name_);
    std::memset(data_, 0, sizeof data_);
    DWORD nameLen = 261, size = 261;
    type_ = REG_NONE;
    LONG rc = ::RegEnumValueA(key, index, name_, &nameLen, nullptr, &type_, data_, &size);
    if (rc == ERROR_SUCCESS) {
        curName_ = name_;
        curData_ = data_;
        dataSize_ = size;
        return ERROR_SUCCESS;
    }
    if (rc != ERROR_MORE_DATA) return rc;
    // The buffers now hold nothing of this value: never judge it by them.
    return ReadLongValue(key, index, wantData) ? ERROR_SUCCESS : ERROR_MORE_DATA;
}

void CRegistryScan::ScanKeyValues(HKEY root, HKEY key, const std::string& subPath) {
    RegRootInfo info;
    if (!GetRegRootInfo(root, info)) return;
    for (DWORD index = 0;; ++index) {
        LONG rc = ReadValue(key, index, IsStringType);
        if (rc == ERROR_MORE_DATA) continue;
        if (rc != ERROR_SUCCESS) break;
        ++valuesChecked;
        if (!IsStringType(type_)) continue;
        std::string stored(reinterpret_cast<const char*>(curData_));
        std::string text = stored;
        if (type_ == REG_EXPAND_SZ) {
            char expanded[260];
            DWORD n = ::ExpandEnvironmentStringsA(stored.c_str(), expanded, sizeof expanded);
            if (n == 0 || n >= sizeof expanded) continue;
            text = expanded;
        }
        StripQuotes(text);
        if (Judge(text, false)) continue;
        // Browsers keep their cache folders here; a missing one is made again on demand.
        if (SameText(curName_, "CachePath")) continue;
        AddRegFinding(info.name, info.image, subPath, curName_, stored, stored, info.bit | kRegDeleteValue);
    }
}

void CRegistryScan::ScanSharedDlls(HKEY root, const std::string& subPath) {
    HKEY key = nullptr;
    if (::RegOpenKeyExA(root, subPath.c_str(), 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) return;
    DWORD count = 0;
    if (::RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &count, nullptr, nullptr,
                           nullptr, nullptr) != ERROR_SUCCESS) {
        ::RegCloseKey(key);
        return;
    }
    for (DWORD index = 0; index < count; ++index) {
        if (ReadValue(key, index, IsDwordType) != ERROR_SUCCESS) continue;
        ++valuesChecked;
        if (type_ != REG_DWORD) continue;
        std::string name = curName_;
        if (name.size() < 3 || name[1] != ':' || name[2] != '\\') continue;
        if (Judge(ToUpper(name), false)) continue;
        // The data is the file's reference count.
        DWORD references = 0;
        if (curData_ && dataSize_ >= sizeof references) std::memcpy(&references, curData_, sizeof references);
        AddRegFinding("HKEY_LOCAL_MACHINE", kImageLocalMachine, subPath, name, Format("%lu", references), name,
                      kRegRootLocalMachine | kRegDeleteValue);
    }
    ::RegCloseKey(key);
}

void CRegistryScan::AddRegFinding(const std::string& rootName, int image, const std::string& subKey,
                                  const std::string& valueName, const std::string& data,
                                  const std::string& invalidEntry, DWORD flags) {
    list_.AddRow({rootName, subKey, valueName, data, invalidEntry}, image, flags);
}

void CRegistryScan::FinishRegistryScan() {
    int n = list_.Count();
    if (n > 0 && listControl && ::IsWindow(listControl)) {
        HWND header = reinterpret_cast<HWND>(::SendMessageA(listControl, LVM_GETHEADER, 0, 0));
        int columns = header ? static_cast<int>(::SendMessageA(header, HDM_GETITEMCOUNT, 0, 0)) : 0;
        for (int c = 0; c < columns; ++c)
            ::SendMessageA(listControl, LVM_SETCOLUMNWIDTH, c,
                           c + 1 < columns ? LVSCW_AUTOSIZE : LVSCW_AUTOSIZE_USEHEADER);
    }
    SetMessage(Format("Total Invalid entries found: %d", n));
}
