#include "app/reghelpers.h"

#include "app/codepage.h"

#include <shlobj.h>

std::string ReadRegString(HKEY root, const std::string& keyPath, const std::string& valueName) {
    HKEY key = nullptr;
    if (::RegOpenKeyExA(root, keyPath.c_str(), 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) return std::string();
    char data[261] = {};
    DWORD type = 0, size = sizeof data;
    LONG rc = ::RegQueryValueExA(key, valueName.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(data), &size);
    ::RegCloseKey(key);
    if (rc != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ)) return std::string();
    data[sizeof data - 1] = '\0';
    char expanded[260] = {};
    DWORD n = ::ExpandEnvironmentStringsA(data, expanded, sizeof expanded);
    if (n == 0 || n >= sizeof expanded) return std::string();
    return std::string(expanded);
}

bool RegKeyExists(HKEY root, const std::string& keyPath) {
    HKEY key = nullptr;
    if (::RegOpenKeyExA(root, keyPath.c_str(), 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) return false;
    ::RegCloseKey(key);
    return true;
}

void WriteRegString(HKEY root, const std::string& keyPath, const std::string& valueName, const std::string& text) {
    HKEY key = nullptr;
    if (::RegCreateKeyExA(root, keyPath.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr,
                          &key, nullptr) != ERROR_SUCCESS)
        return;
    ::RegSetValueExA(key, valueName.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                     static_cast<DWORD>(text.size() + 1));
    ::RegCloseKey(key);
}

void DeleteRegValue(HKEY root, const std::string& keyPath, const std::string& valueName) {
    HKEY key = nullptr;
    if (::RegOpenKeyExA(root, keyPath.c_str(), 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) return;
    ::RegDeleteValueA(key, valueName.c_str());
    ::RegCloseKey(key);
}

LONG DeleteRegKeyTree(HKEY root, const std::string& keyPath) {
    if (keyPath.empty()) return ERROR_BADKEY;
    HKEY key = nullptr;
    LONG rc = ::RegOpenKeyExA(root, keyPath.c_str(), 0, DELETE | KEY_ENUMERATE_SUB_KEYS, &key);
    if (rc != ERROR_SUCCESS) return rc;
    for (;;) {
        char name[261];
        DWORD len = sizeof name;
        rc = ::RegEnumKeyExA(key, 0, name, &len, nullptr, nullptr, nullptr, nullptr);
        if (rc == ERROR_NO_MORE_ITEMS) {
            rc = ::RegDeleteKeyA(root, keyPath.c_str());
            ::RegCloseKey(key);
            return rc;
        }
        if (rc != ERROR_SUCCESS) {
            ::RegCloseKey(key);
            return rc;
        }
        rc = DeleteRegKeyTree(key, name);
        if (rc != ERROR_SUCCESS) {
            ::RegCloseKey(key);
            return rc;
        }
    }
}

std::string GetShellFolder(int csidl) {
    // Asked for wide: a user's folder name in UTF-8 can outgrow a MAX_PATH byte buffer.
    WCHAR wide[MAX_PATH] = {};
    if (!::SHGetSpecialFolderPathW(nullptr, wide, csidl, FALSE)) return std::string();
    std::string s;
    // A folder that cannot be named in the process code page is no use to the callers.
    if (!NarrowPath(wide, s)) return std::string();
    while (!s.empty() && (s.back() == '\\' || s.back() == ' ')) s.pop_back();
    // A folder missing on disk counts as unknown.
    if (s.empty() || ::GetFileAttributesA(s.c_str()) == INVALID_FILE_ATTRIBUTES) return std::string();
    return s;
}
