// Names between the wide forms the system keeps and the byte strings the program works with.
// The manifest asks for UTF-8 as the process code page (Windows 10 1903 and later, and Wine,
// honour it), so every name survives the "A" calls. An older Windows runs the program with its
// ANSI code page, where a name can come back best-fit mapped ("Ωmega" as "Omega") or with
// question marks; such a name must never be acted on, because it may name another file or key.
#pragma once

#include <windows.h>

#include <string>

// True when the "A" calls of this process carry UTF-8.
bool ProcessCodePageIsUtf8();

// Converts a wide name to `codePage` (the process code page by default). False when any
// character has no exact form there (it would be replaced or best-fit mapped); `out` then holds
// the lossy form, fit for showing only.
bool NarrowName(const std::wstring& name, std::string& out, UINT codePage = CP_ACP);

// The wide form of a byte string of `codePage`.
std::wstring WideName(const std::string& name, UINT codePage = CP_ACP);
