#include "registry/pathcheck.h"

#include "framework/strings.h"

#include <windows.h>

#include <cstring>

namespace {

const char kCutChars[] = ";,%/^*?|<>\"";
const char kAppPathsKey[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths";

// Byte offsets of the characters of `s` in the system code page, so that the trail byte of a
// double-byte character is never taken for a backslash or a cut character.
template <class F> void ForEachChar(const std::string& s, F f) {
    for (size_t i = 0; i < s.size();) {
        bool lead = ::IsDBCSLeadByte(static_cast<BYTE>(s[i])) && i + 1 < s.size();
        if (!f(i, lead)) return;
        i += lead ? 2 : 1;
    }
}

size_t FindFirstOf(const std::string& s, const char* set) {
    size_t found = std::string::npos;
    ForEachChar(s, [&](size_t i, bool lead) {
        if (!lead && std::strchr(set, s[i])) {
            found = i;
            return false;
        }
        return true;
    });
    return found;
}

size_t FindLastOf(const std::string& s, char c) {
    size_t found = std::string::npos;
    ForEachChar(s, [&](size_t i, bool lead) {
        if (!lead && s[i] == c) found = i;
        return true;
    });
    return found;
}

// Removes single-byte characters of `set` from the end of `s`.
void TrimRight(std::string& s, const char* set) {
    for (;;) {
        size_t last = std::string::npos;
        bool lastLead = false;
        ForEachChar(s, [&](size_t i, bool lead) {
            last = i;
            lastLead = lead;
            return true;
        });
        if (last == std::string::npos || lastLead || !std::strchr(set, s[last])) return;
        s.erase(last);
    }
}

void TrimLeft(std::string& s, const char* set) {
    size_t i = 0;
    while (i < s.size() && std::strchr(set, s[i])) ++i;
    s.erase(0, i);
}

bool ListedInAppPaths(const std::string& name) {
    HKEY key = nullptr;
    if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, kAppPathsKey, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) return false;
    bool found = false;
    for (DWORD index = 0; !found; ++index) {
        char sub[261];
        DWORD len = sizeof sub;
        LONG rc = ::RegEnumKeyExA(key, index, sub, &len, nullptr, nullptr, nullptr, nullptr);
        if (rc == ERROR_NO_MORE_ITEMS) break;
        if (rc != ERROR_SUCCESS) continue;
        found = SameText(sub, name);
    }
    ::RegCloseKey(key);
    return found;
}

}  // namespace

bool PathOrFileNameExists(const std::string& path) {
    std::string p = path;
    TrimRight(p, "\\ ");
    if (!p.empty() && ::GetFileAttributesA(p.c_str()) != INVALID_FILE_ATTRIBUTES) return true;
    size_t slash = FindLastOf(p, '\\');
    std::string name = slash == std::string::npos ? p : p.substr(slash + 1);
    if (name.empty()) return false;
    return ::SearchPathA(nullptr, name.c_str(), nullptr, 0, nullptr, nullptr) != 0;
}

bool IsPathEntryValid(const std::string& text, bool lenient, bool reportRemovableMedia) {
    std::string s = ToUpper(text);
    TrimLeft(s, "\"");

    // A drive colon stands at index 1; any later colon (a URL, a resource reference, a second
    // path of a list) means this is not a plain local path.
    if (s.find(':', 2) != std::string::npos) return true;

    size_t cut = FindFirstOf(s, kCutChars);
    if (cut != std::string::npos) s.erase(cut);

    if (s.find("RUNDLL") != std::string::npos) return true;
    if (s.find("SHELL32") != std::string::npos) return true;

    TrimLeft(s, "\" \t");
    TrimRight(s, "\"\\ \t");

    if (!lenient) {
        if (s.size() < 4) return true;
        if (s[1] != ':' || s[2] != '\\') return true;
        switch (::GetDriveTypeA(s.substr(0, 3).c_str())) {
        case DRIVE_REMOVABLE:
            // Never touch the medium: a floppy may be out or another disk may be in.
            return !reportRemovableMedia;
        case DRIVE_FIXED:
            break;
        default:
            return true;
        }
    }

    if (s.empty()) return true;
    if (PathOrFileNameExists(s)) return true;

    // "C:\APP\TOOL.EXE SETUP" and "C:\APP\TOOL.EXE.OLD" both come down to the program itself.
    for (const char* ext : {".EXE", ".DLL", ".OCX"}) {
        size_t at = s.find(ext);
        if (at != std::string::npos) {
            s.erase(at + 4);
            break;
        }
    }

    if (lenient && ListedInAppPaths(s)) return true;
    if (PathOrFileNameExists(s + ".lnk")) return true;
    if (PathOrFileNameExists(s + ".dsw")) return true;
    return PathOrFileNameExists(s);
}
