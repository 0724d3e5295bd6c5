// The program's settings store: integers and strings in sections (subkeys) of one key of the
// current user. Every call opens and closes the key; a missing key, section or value gives the
// default, and failed writes are ignored.
#pragma once

#include <string>

// Sets the key as HKEY_CURRENT_USER\Software\<company>\<application>.
void SetSettingsKey(const std::string& company, const std::string& application);
// The key path below HKEY_CURRENT_USER, e.g. "Software\Kelvo Utils\Kelvo Utils".
std::string SettingsKeyPath();

int ReadSettingInt(const char* section, const char* value, int defaultValue);
void WriteSettingInt(const char* section, const char* value, int number);
std::string ReadSettingString(const char* section, const char* value, const std::string& defaultValue = "");
void WriteSettingString(const char* section, const char* value, const std::string& text);
