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

// The byte form of a wide path that the "A" calls take to the same file or folder: the path
// itself when it survives `codePage`, else its short (8.3) form. False when neither does (a
// name without a short form); `out` then holds a form fit for showing only.
bool NarrowPath(const std::wstring& path, std::string& out, UINT codePage = CP_ACP);

// The path of a module's file (the program's own by default) in a form the "A" calls take: read
// wide, so that no length of name is cut, and in its short form where the long one has no form
// in the process code page. Empty when it cannot be named at all.
std::string ModulePath(HMODULE module = nullptr);

// Whether two names (or paths) of the process code page are the same to the file system and the
// registry: compared ordinally, ignoring case, in their wide forms. Unlike the C library's
// multibyte comparison, it folds the case of every letter, not only of A to Z, under UTF-8.
bool SameName(const std::string& a, const std::string& b);
