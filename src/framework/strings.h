// String-table texts and printf-style formatting.
#pragma once

#include <windows.h>

#include <string>

// The text of a string-table entry of our module; empty when missing.
std::string LoadStr(UINT id);
std::string Format(const char* fmt, ...);
// Case-insensitive comparison of ANSI texts (multibyte-aware, as the system compares paths).
bool SameText(const std::string& a, const std::string& b);
std::string ToUpper(std::string s);
