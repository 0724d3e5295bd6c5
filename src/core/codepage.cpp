#include "core/codepage.h"

bool ProcessCodePageIsUtf8() {
    return ::GetACP() == CP_UTF8;
}

bool NarrowName(const std::wstring& name, std::string& out, UINT codePage) {
    out.clear();
    if (name.empty()) return true;
    if (codePage == CP_ACP) codePage = ::GetACP();
    const int wlen = static_cast<int>(name.size());
    // UTF-8 carries every character; only a lone surrogate fails, which no name can be opened by.
    const bool utf8 = codePage == CP_UTF8;
    const DWORD flags = utf8 ? WC_ERR_INVALID_CHARS : WC_NO_BEST_FIT_CHARS;
    BOOL usedDefault = FALSE;
    BOOL* usedDefaultOut = utf8 ? nullptr : &usedDefault;
    int n = ::WideCharToMultiByte(codePage, flags, name.data(), wlen, nullptr, 0, nullptr, usedDefaultOut);
    if (n <= 0) {
        // Show something all the same.
        n = ::WideCharToMultiByte(codePage, 0, name.data(), wlen, nullptr, 0, nullptr, nullptr);
        if (n > 0) {
            out.resize(n);
            ::WideCharToMultiByte(codePage, 0, name.data(), wlen, &out[0], n, nullptr, nullptr);
        }
        return false;
    }
    out.resize(n);
    ::WideCharToMultiByte(codePage, flags, name.data(), wlen, &out[0], n, nullptr, usedDefaultOut);
    if (usedDefault) return false;
    // A code page without best-fit tables can still map silently: the round trip tells.
    return utf8 || WideName(out, codePage) == name;
}

std::wstring WideName(const std::string& name, UINT codePage) {
    std::wstring out;
    if (name.empty()) return out;
    const int len = static_cast<int>(name.size());
    int n = ::MultiByteToWideChar(codePage, 0, name.data(), len, nullptr, 0);
    if (n <= 0) return out;
    out.resize(n);
    ::MultiByteToWideChar(codePage, 0, name.data(), len, &out[0], n);
    return out;
}

bool NarrowPath(const std::wstring& path, std::string& out, UINT codePage) {
    if (NarrowName(path, out, codePage)) return true;
    std::string shown = out;
    DWORD n = ::GetShortPathNameW(path.c_str(), nullptr, 0);
    if (n > 0) {
        std::wstring alias(n, L'\0');
        n = ::GetShortPathNameW(path.c_str(), &alias[0], n);
        alias.resize(n < alias.size() ? n : 0);
        if (!alias.empty() && NarrowName(alias, out, codePage)) return true;
    }
    out = shown;
    return false;
}

std::string ModulePath(HMODULE module) {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        DWORD n = ::GetModuleFileNameW(module, &path[0], static_cast<DWORD>(path.size()));
        if (n == 0) return std::string();
        if (n < path.size()) {
            path.resize(n);
            break;
        }
        path.resize(path.size() * 2);  // cut short: try again with more room
    }
    std::string out;
    return NarrowPath(path, out) ? out : std::string();
}

bool SameName(const std::string& a, const std::string& b) {
    std::wstring wa = WideName(a), wb = WideName(b);
    return ::CompareStringOrdinal(wa.c_str(), static_cast<int>(wa.size()), wb.c_str(), static_cast<int>(wb.size()),
                                  TRUE) == CSTR_EQUAL;
}
