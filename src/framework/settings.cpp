#include "framework/settings.h"

#include <windows.h>

#include <vector>

namespace {
std::string g_keyPath = "Software\\Kelvo Utils\\Kelvo Utils";

std::string SectionPath(const char* section) { return g_keyPath + "\\" + section; }

HKEY OpenSection(const char* section, bool create) {
    HKEY key = nullptr;
    LONG rc = create ? ::RegCreateKeyExA(HKEY_CURRENT_USER, SectionPath(section).c_str(), 0, nullptr,
                                         REG_OPTION_NON_VOLATILE, KEY_WRITE | KEY_READ, nullptr, &key, nullptr)
                     : ::RegOpenKeyExA(HKEY_CURRENT_USER, SectionPath(section).c_str(), 0, KEY_READ, &key);
    return rc == ERROR_SUCCESS ? key : nullptr;
}
}  // namespace

void SetSettingsKey(const std::string& company, const std::string& application) {
    g_keyPath = "Software\\" + company + "\\" + application;
}

std::string SettingsKeyPath() { return g_keyPath; }

int ReadSettingInt(const char* section, const char* value, int defaultValue) {
    HKEY key = OpenSection(section, false);
    if (!key) return defaultValue;
    DWORD type = 0, data = 0, size = sizeof data;
    LONG rc = ::RegQueryValueExA(key, value, nullptr, &type, reinterpret_cast<BYTE*>(&data), &size);
    ::RegCloseKey(key);
    if (rc != ERROR_SUCCESS || type != REG_DWORD || size != sizeof data) return defaultValue;
    return static_cast<int>(data);
}

void WriteSettingInt(const char* section, const char* value, int number) {
    HKEY key = OpenSection(section, true);
    if (!key) return;
    DWORD data = static_cast<DWORD>(number);
    ::RegSetValueExA(key, value, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&data), sizeof data);
    ::RegCloseKey(key);
}

std::string ReadSettingString(const char* section, const char* value, const std::string& defaultValue) {
    HKEY key = OpenSection(section, false);
    if (!key) return defaultValue;
    DWORD type = 0, size = 0;
    LONG rc = ::RegQueryValueExA(key, value, nullptr, &type, nullptr, &size);
    std::string result = defaultValue;
    if (rc == ERROR_SUCCESS && type == REG_SZ) {
        std::vector<char> buf(size + 1, '\0');
        rc = ::RegQueryValueExA(key, value, nullptr, &type, reinterpret_cast<BYTE*>(buf.data()), &size);
        if (rc == ERROR_SUCCESS) result = std::string(buf.data());
    }
    ::RegCloseKey(key);
    return result;
}

void WriteSettingString(const char* section, const char* value, const std::string& text) {
    HKEY key = OpenSection(section, true);
    if (!key) return;
    ::RegSetValueExA(key, value, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                     static_cast<DWORD>(text.size() + 1));
    ::RegCloseKey(key);
}
