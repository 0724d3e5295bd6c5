// Small registry and shell helpers used by every tool. None of them shows a message: reads
// give an empty text or false on any failure, writes ignore failures, deletes return the system
// error (0 for success). Reads and existence tests ask for read access only: a standard user
// cannot open most machine keys for writing, and such a key exists all the same.
#pragma once

#include <windows.h>

#include <string>

// REG_SZ or REG_EXPAND_SZ value, environment variables expanded; empty on any failure, for any
// other type, for text longer than 260 characters and for an expansion of 260 or more. A text
// the process code page cannot carry exactly (an older Windows without UTF-8) reads as empty
// too, with `unfit` set: its best-fit form could name another file, so it must not be judged.
std::string ReadRegString(HKEY root, const std::string& keyPath, const std::string& valueName,
                          bool* unfit = nullptr);
// True when the key exists: it opens for reading, or it is there but refuses this user.
bool RegKeyExists(HKEY root, const std::string& keyPath);
// Creates the key when needed and sets the value as REG_SZ.
void WriteRegString(HKEY root, const std::string& keyPath, const std::string& valueName, const std::string& text);
// Opens the key only for setting values; 0 or the system error (ERROR_ACCESS_DENIED when this
// user may not change the key).
LONG DeleteRegValue(HKEY root, const std::string& keyPath, const std::string& valueName);
// Deletes the key and everything below it; 0 or the first system error. An empty path gives
// ERROR_BADKEY and deletes nothing, so a root key can never be deleted this way.
LONG DeleteRegKeyTree(HKEY root, const std::string& keyPath);
// Path of a shell special folder without trailing backslashes or blanks; empty when unknown.
std::string GetShellFolder(int csidl);

enum ShellFolderId { kStartupFolder = 7, kCommonStartupFolder = 24, kRecentFolder = 8, kSendToFolder = 9 };
