#include "core/reghelpers.h"

#include "core/codepage.h"

#include <shlobj.h>

std::string ReadRegString(HKEY root, const std::string& keyPath, const std::string& valueName, bool* unfit) {
    if (unfit) *unfit = false;
    HKEY key = nullptr;
    if (::RegOpenKeyExW(root, WideName(keyPath).c_str(), 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return std::string();
    // Counted in characters, so that a path in any language has the same room.
    wchar_t data[261] = {};
    DWORD type = 0, size = sizeof data - sizeof(wchar_t);
    LONG rc = ::RegQueryValueExW(key, WideName(valueName).c_str(), nullptr, &type, reinterpret_cast<BYTE*>(data),
                                 &size);
    ::RegCloseKey(key);
    if (rc != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ)) return std::string();
    wchar_t expanded[260] = {};
    DWORD n = ::ExpandEnvironmentStringsW(data, expanded, 260);
    if (n == 0 || n >= 260) return std::string();
    std::string text;
    if (NarrowName(expanded, text)) return text;
    if (unfit) *unfit = true;
    return std::string();
}

bool RegKeyExists(HKEY root, const std::string& keyPath) {
    HKEY key = nullptr;
    LONG rc = ::RegOpenKeyExA(root, keyPath.c_str(), 0, KEY_READ, &key);
    if (rc == ERROR_SUCCESS) ::RegCloseKey(key);
    return rc == ERROR_SUCCESS || rc == ERROR_ACCESS_DENIED;
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

LONG DeleteRegValue(HKEY root, const std::string& keyPath, const std::string& valueName) {
    HKEY key = nullptr;
    LONG rc = ::RegOpenKeyExA(root, keyPath.c_str(), 0, KEY_SET_VALUE, &key);
    if (rc != ERROR_SUCCESS) return rc;
    rc = ::RegDeleteValueA(key, valueName.c_str());
    ::RegCloseKey(key);
    return rc;
}

namespace {

bool IsRegistryLink(HKEY key) {
    DWORD type = REG_NONE;
    return ::RegQueryValueExW(key, L"SymbolicLinkValue", nullptr, &type, nullptr, nullptr) == ERROR_SUCCESS &&
           type == REG_LINK;
}

// Wide names, so that a key named in any language (up to 255 characters) is met whole. A
// registry link in the tree is deleted as itself: what it points to lies outside the tree.
LONG DeleteKeyTree(HKEY root, const std::wstring& keyPath) {
    if (keyPath.empty()) return ERROR_BADKEY;
    HKEY key = nullptr;
    const REGSAM access = DELETE | KEY_ENUMERATE_SUB_KEYS;
    LONG rc = ::RegOpenKeyExW(root, keyPath.c_str(), REG_OPTION_OPEN_LINK, access | KEY_QUERY_VALUE, &key);
    bool link = false;
    if (rc == ERROR_SUCCESS) link = IsRegistryLink(key);
    else if (rc == ERROR_ACCESS_DENIED) rc = ::RegOpenKeyExW(root, keyPath.c_str(), REG_OPTION_OPEN_LINK, access, &key);
    if (rc != ERROR_SUCCESS) return rc;
    if (link) {
        rc = ::RegDeleteKeyW(key, L"");
        ::RegCloseKey(key);
        return rc;
    }
    for (;;) {
        wchar_t name[256];
        DWORD len = 256;
        rc = ::RegEnumKeyExW(key, 0, name, &len, nullptr, nullptr, nullptr, nullptr);
        if (rc == ERROR_NO_MORE_ITEMS) {
            rc = ::RegDeleteKeyW(key, L"");
            ::RegCloseKey(key);
            return rc;
        }
        if (rc == ERROR_SUCCESS) rc = DeleteKeyTree(key, std::wstring(name, len));
        if (rc != ERROR_SUCCESS) {
            ::RegCloseKey(key);
            return rc;
        }
    }
}

}  // namespace

LONG DeleteRegKeyTree(HKEY root, const std::string& keyPath) {
    if (keyPath.empty()) return ERROR_BADKEY;
    return DeleteKeyTree(root, WideName(keyPath));
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
