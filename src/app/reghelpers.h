// Small registry and shell helpers used by every tool. None of them shows a message: reads
// give an empty text or false on any failure, writes and deletes ignore failures (except
// DeleteRegKeyTree, which returns the first error it meets).
#pragma once

#include <windows.h>

#include <string>

// REG_SZ or REG_EXPAND_SZ value, environment variables expanded; empty on any failure, for any
// other type, for data that does not fit 261 bytes and for an expansion of 260 or more.
std::string ReadRegString(HKEY root, const std::string& keyPath, const std::string& valueName);
// True when the key opens with full access.
bool RegKeyExists(HKEY root, const std::string& keyPath);
// Creates the key when needed and sets the value as REG_SZ.
void WriteRegString(HKEY root, const std::string& keyPath, const std::string& valueName, const std::string& text);
void DeleteRegValue(HKEY root, const std::string& keyPath, const std::string& valueName);
// Deletes the key and everything below it; 0 or the first system error. An empty path gives
// ERROR_BADKEY and deletes nothing, so a root key can never be deleted this way.
LONG DeleteRegKeyTree(HKEY root, const std::string& keyPath);
// Path of a shell special folder without trailing backslashes or blanks; empty when unknown.
std::string GetShellFolder(int csidl);

enum ShellFolderId { kStartupFolder = 7, kCommonStartupFolder = 24, kRecentFolder = 8, kSendToFolder = 9 };
