#include "registry/regscan.h"

#include "core/codepage.h"
#include "framework/strings.h"

#include <commctrl.h>

#include <cctype>
#include <cstring>
#include <cwchar>

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

bool CRegistryScan::Judge(const std::string& text, bool lenient, bool view32) {
    return IsPathEntryValid(text, lenient, options_.reportRemovableMedia, view32 ? &paths32_ : &paths_);
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

namespace {

// Key and value names are at most 255 and 16,383 characters.
const DWORD kKeyNameChars = 256;
const DWORD kValueNameChars = 16384;

bool EqualsNoCase(const std::string& a, const char* b) {
    size_t n = std::strlen(b);
    if (a.size() != n) return false;
    for (size_t i = 0; i < n; ++i)
        if (std::toupper(static_cast<unsigned char>(a[i])) != std::toupper(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

// The class trees of the machine and of the current user, 64-bit and 32-bit, are checked by
// their own rules.
bool IsClassTree(const std::string& path) {
    return EqualsNoCase(path, "SOFTWARE\\CLASSES") || EqualsNoCase(path, "SOFTWARE\\WOW6432NODE\\CLASSES");
}

bool IsWow64Node(const std::string& name) { return EqualsNoCase(name, "Wow6432Node"); }

bool BelowWow64Node(const std::string& path) {
    for (size_t start = 0; start <= path.size();) {
        size_t end = path.find('\\', start);
        if (end == std::string::npos) end = path.size();
        if (IsWow64Node(path.substr(start, end - start))) return true;
        start = end + 1;
    }
    return false;
}

// A 32-bit program expands these to the folders of 32-bit programs.
std::wstring As32BitProgramWrites(std::wstring text) {
    static const struct { const wchar_t* from; const wchar_t* to; } kMoves[] = {
        {L"%ProgramFiles%", L"%ProgramFiles(x86)%"},
        {L"%CommonProgramFiles%", L"%CommonProgramFiles(x86)%"},
    };
    for (const auto& move : kMoves) {
        const size_t n = std::wcslen(move.from);
        for (size_t at = 0; at + n <= text.size();) {
            if (::CompareStringOrdinal(text.c_str() + at, static_cast<int>(n), move.from, static_cast<int>(n), TRUE) ==
                CSTR_EQUAL) {
                text.replace(at, n, move.to);
                at += std::wcslen(move.to);
            } else {
                ++at;
            }
        }
    }
    return text;
}

}  // namespace

LONG EnumSubkeyName(HKEY key, DWORD index, std::wstring& name) {
    wchar_t buf[kKeyNameChars];
    DWORD len = kKeyNameChars;
    LONG rc = ::RegEnumKeyExW(key, index, buf, &len, nullptr, nullptr, nullptr, nullptr);
    if (rc == ERROR_SUCCESS) name.assign(buf, len);
    return rc;
}

bool CRegistryScan::Narrow(const std::wstring& wide, std::string& out) const {
    return NarrowName(wide, out, codePage);
}

void CRegistryScan::WalkRegistryKey(HKEY root, const std::string& subPath) {
    if (IsClassTree(subPath)) return;
    HKEY key = nullptr;
    if (::RegOpenKeyExW(root, WideName(subPath).c_str(), REG_OPTION_OPEN_LINK, KEY_READ, &key) != ERROR_SUCCESS)
        return;
    Walk(root, key, subPath, BelowWow64Node(subPath), true);
    ::RegCloseKey(key);
}

void CRegistryScan::Walk(HKEY root, HKEY key, const std::string& subPath, bool view32, bool removable) {
    ++keysVisited;
    std::wstring name;
    for (DWORD index = 0;; ++index) {
        if (EnumSubkeyName(key, index, name) != ERROR_SUCCESS) break;
        if (Poll()) break;
        std::string narrow;
        bool fits = Narrow(name, narrow);
        std::string child = subPath.empty() ? narrow : subPath + "\\" + narrow;
        if (IsClassTree(child)) continue;
        // Opened relative to its parent, and a registry link as itself: the key it points to
        // is walked where it lies, never twice.
        HKEY sub = nullptr;
        if (::RegOpenKeyExW(key, name.c_str(), REG_OPTION_OPEN_LINK, KEY_READ, &sub) != ERROR_SUCCESS) continue;
        Walk(root, sub, child, view32 || IsWow64Node(narrow), removable && fits);
        ::RegCloseKey(sub);
    }
    if (!cancelled_) CheckValues(root, key, subPath, view32, removable);
}

LONG CRegistryScan::ReadValue(HKEY key, DWORD index) {
    if (name_.empty()) {
        name_.resize(kValueNameChars + 1);
        data_.resize(4096);
    }
    for (int attempt = 0; attempt < 4; ++attempt) {
        nameLength_ = kValueNameChars;
        DWORD size = static_cast<DWORD>(data_.size()) - sizeof(wchar_t);
        type_ = REG_NONE;
        LONG rc = ::RegEnumValueW(key, index, name_.data(), &nameLength_, nullptr, &type_, data_.data(), &size);
        if (rc == ERROR_SUCCESS) {
            dataSize_ = size;
            return rc;
        }
        if (rc != ERROR_MORE_DATA) return rc;
        // The data does not fit the shared buffer: its name, type and size first.
        nameLength_ = kValueNameChars;
        size = 0;
        rc = ::RegEnumValueW(key, index, name_.data(), &nameLength_, nullptr, &type_, nullptr, &size);
        if (rc != ERROR_SUCCESS) return rc;
        if (!IsStringType(type_) && !IsDwordType(type_)) {
            dataSize_ = 0;
            return ERROR_SUCCESS;
        }
        // A long text is judged whole; the buffer keeps that size for the rest of the scan.
        data_.resize(size + 2 * sizeof(wchar_t));
    }
    return ERROR_MORE_DATA;
}

void CRegistryScan::ScanKeyValues(HKEY root, HKEY key, const std::string& subPath) {
    CheckValues(root, key, subPath, BelowWow64Node(subPath), true);
}

void CRegistryScan::CheckValues(HKEY root, HKEY key, const std::string& subPath, bool view32, bool removable) {
    RegRootInfo info;
    if (!GetRegRootInfo(root, info)) return;
    for (DWORD index = 0;; ++index) {
        LONG rc = ReadValue(key, index);
        if (rc == ERROR_MORE_DATA) continue;
        if (rc != ERROR_SUCCESS) break;
        ++valuesChecked;
        if (!IsStringType(type_)) continue;
        std::wstring wide(reinterpret_cast<const wchar_t*>(data_.data()), dataSize_ / sizeof(wchar_t));
        wide.resize(std::wcslen(wide.c_str()));
        // A text this code page cannot carry would be judged by its best-fit form, another path.
        std::string stored;
        if (!Narrow(wide, stored)) continue;
        std::string text = stored;
        if (type_ == REG_EXPAND_SZ) {
            wchar_t expanded[260];
            DWORD n = ::ExpandEnvironmentStringsW((view32 ? As32BitProgramWrites(wide) : wide).c_str(), expanded, 260);
            if (n == 0 || n >= 260) continue;
            if (!Narrow(expanded, text)) continue;
        }
        StripQuotes(text);
        if (Judge(text, false, view32)) continue;
        std::string name;
        bool nameFits = Narrow(std::wstring(name_.data(), nameLength_), name);
        // Browsers keep their cache folders here; a missing one is made again on demand.
        if (SameText(name, "CachePath")) continue;
        DWORD flags = info.bit | kRegDeleteValue;
        if (!removable || !nameFits) flags |= kRegNotRemovable;
        AddRegFinding(info.name, info.image, subPath, name, stored, stored, flags);
    }
}

void CRegistryScan::ScanSharedDlls(HKEY root, const std::string& subPath) {
    HKEY key = nullptr;
    if (::RegOpenKeyExW(root, WideName(subPath).c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return;
    DWORD count = 0;
    if (::RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &count, nullptr, nullptr,
                           nullptr, nullptr) != ERROR_SUCCESS) {
        ::RegCloseKey(key);
        return;
    }
    for (DWORD index = 0; index < count; ++index) {
        LONG rc = ReadValue(key, index);
        if (rc == ERROR_MORE_DATA) continue;
        if (rc != ERROR_SUCCESS) break;
        ++valuesChecked;
        if (type_ != REG_DWORD) continue;
        // The name is the path judged: one this code page cannot carry is not judged.
        std::string name;
        if (!Narrow(std::wstring(name_.data(), nameLength_), name)) continue;
        if (name.size() < 3 || name[1] != ':' || name[2] != '\\') continue;
        if (Judge(name, false)) continue;
        // The data is the file's reference count.
        DWORD references = 0;
        if (dataSize_ >= sizeof references) std::memcpy(&references, data_.data(), sizeof references);
        AddRegFinding("HKEY_LOCAL_MACHINE", kImageLocalMachine, subPath, name, Format("%lu", references), name,
                      kRegRootLocalMachine | kRegDeleteValue);
    }
    ::RegCloseKey(key);
}

void CRegistryScan::AddRegFinding(const std::string& rootName, int image, const std::string& subKey,
                                  const std::string& valueName, const std::string& data,
                                  const std::string& invalidEntry, DWORD flags) {
    if (keep && keep->IsKept(KeepRegistryFinding(rootName, subKey, valueName, flags))) return;
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
