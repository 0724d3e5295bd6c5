// The registry side of the startup places: the two registry views, values read as stored, and
// Windows' own on/off switch for startup entries.
#include "startup/startupprograms.h"

#include "framework/strings.h"

namespace {

const char kWow64Branch[] = "Software\\Wow6432Node\\";
const size_t kWow64BranchLength = sizeof kWow64Branch - 1;
const char kApprovedKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\StartupApproved\\";
const char kRunKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";

}  // namespace

LONG OpenStartupKey(HKEY hive, const std::string& keyPath, REGSAM access, bool create, HKEY& key) {
    key = nullptr;
    std::string path = keyPath;
    // The Location column names a 32-bit place as the 64-bit registry editor shows it; the
    // system is asked for it through the 32-bit view, which is where 32-bit programs put it.
    if (path.size() > kWow64BranchLength && SameText(path.substr(0, kWow64BranchLength), kWow64Branch)) {
        path = "Software\\" + path.substr(kWow64BranchLength);
        access |= KEY_WOW64_32KEY;
    } else {
        access |= KEY_WOW64_64KEY;
    }
    if (create)
        return ::RegCreateKeyExA(hive, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, access, nullptr, &key,
                                 nullptr);
    return ::RegOpenKeyExA(hive, path.c_str(), 0, access, &key);
}

LONG ReadRawRegValue(HKEY key, const std::wstring& name, RawRegValue& value) {
    // Asked again when the value grows between measuring and reading.
    for (int attempt = 0; attempt < 8; ++attempt) {
        DWORD size = 0;
        LONG rc = ::RegQueryValueExW(key, name.c_str(), nullptr, &value.type, nullptr, &size);
        if (rc != ERROR_SUCCESS) return rc;
        value.bytes.assign(size + 2, 0);
        DWORD got = size;
        rc = ::RegQueryValueExW(key, name.c_str(), nullptr, &value.type, value.bytes.data(), &got);
        if (rc == ERROR_MORE_DATA) continue;
        if (rc != ERROR_SUCCESS) return rc;
        value.bytes.resize(got);
        return ERROR_SUCCESS;
    }
    return ERROR_MORE_DATA;
}

std::string StartupApprovedList(const std::string& keyPath) {
    if (SameText(keyPath, kRunKey)) return "Run";
    if (SameText(keyPath, std::string(kWow64Branch) + (kRunKey + sizeof "Software\\" - 1))) return "Run32";
    return std::string();
}

bool SwitchedOffInWindows(HKEY hive, const std::string& list, const std::wstring& name) {
    if (list.empty()) return false;
    HKEY key = nullptr;
    if (::RegOpenKeyExA(hive, (kApprovedKey + list).c_str(), 0, KEY_QUERY_VALUE | KEY_WOW64_64KEY, &key) !=
        ERROR_SUCCESS)
        return false;
    RawRegValue value;
    LONG rc = ReadRawRegValue(key, name, value);
    ::RegCloseKey(key);
    // Twelve bytes: a first byte that is even (02, 06) while the entry may start and odd (03,
    // 07) once it is switched off, then the time it was switched off. No value: never touched.
    return rc == ERROR_SUCCESS && !value.bytes.empty() && (value.bytes[0] & 1) != 0;
}
