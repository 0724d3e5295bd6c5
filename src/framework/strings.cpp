#include "framework/strings.h"
#include "framework/window.h"

#include <cstdarg>
#include <cstdio>
#include <vector>

std::string LoadStr(UINT id) {
    std::vector<char> buf(512);
    for (;;) {
        int n = ::LoadStringA(AppInstance(), id, buf.data(), static_cast<int>(buf.size()));
        if (n <= 0) return std::string();
        if (n < static_cast<int>(buf.size()) - 1) return std::string(buf.data(), n);
        buf.resize(buf.size() * 2);
    }
}

std::string Format(const char* fmt, ...) {
    va_list ap;
    va_start(ap, fmt);
    va_list ap2;
    va_copy(ap2, ap);
    int n = std::vsnprintf(nullptr, 0, fmt, ap);
    va_end(ap);
    std::string s(n > 0 ? n : 0, '\0');
    if (n > 0) std::vsnprintf(&s[0], n + 1, fmt, ap2);
    va_end(ap2);
    return s;
}

bool SameText(const std::string& a, const std::string& b) { return ::lstrcmpiA(a.c_str(), b.c_str()) == 0; }

std::string ToUpper(std::string s) {
    if (!s.empty()) ::CharUpperBuffA(&s[0], static_cast<DWORD>(s.size()));
    return s;
}
