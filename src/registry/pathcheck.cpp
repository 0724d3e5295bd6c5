#include "registry/pathcheck.h"

#include "core/codepage.h"
#include "framework/strings.h"

#include <cstring>

namespace {

const char kCutChars[] = ";,%/^*?|<>\"";
const wchar_t kAppPathsKey[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths";

// Byte offsets of the characters of `s` in the process code page, so that the trail byte of a
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

// Upper case for the ASCII letters only: the markers looked for are ASCII, the file system
// ignores case anyway, and a character whose upper case takes more bytes in UTF-8 stays whole.
std::string AsciiUpper(std::string s) {
    ForEachChar(s, [&](size_t i, bool lead) {
        if (!lead && s[i] >= 'a' && s[i] <= 'z') s[i] = static_cast<char>(s[i] - 'a' + 'A');
        return true;
    });
    return s;
}

bool IsDeviceName(const std::string& upperName) {
    std::string base = upperName.substr(0, upperName.find('.'));
    while (!base.empty() && base.back() == ' ') base.pop_back();
    for (const char* device : {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"})
        if (base == device) return true;
    return base.size() == 4 && (base.compare(0, 3, "COM") == 0 || base.compare(0, 3, "LPT") == 0) && base[3] >= '0' &&
           base[3] <= '9';
}

// A name the system looks up as it is: printable ASCII, no path or wildcard characters, no
// short-name marker, not "." or "..", no trailing dot or blank, no device name.
bool IsPlainName(const std::string& upperName) {
    if (upperName.empty() || upperName.size() > 255) return false;
    for (char c : upperName)
        if (c < 0x20 || c > 0x7E || std::strchr("\\/:*?\"<>|~", c)) return false;
    if (upperName.back() == '.' || upperName.back() == ' ') return false;
    return !IsDeviceName(upperName);
}

// "X:\" and components the system takes as written: none empty, "." or "..", none ending in a
// dot or blank, no wildcard, stream or control character, and short enough for the "A" calls.
bool IsPlainPath(const std::string& upperPath) {
    if (upperPath.size() < 3 || upperPath.size() >= MAX_PATH) return false;
    if (upperPath[0] < 'A' || upperPath[0] > 'Z' || upperPath[1] != ':' || upperPath[2] != '\\') return false;
    size_t start = 3;
    for (;;) {
        size_t end = upperPath.find('\\', start);
        std::string part = upperPath.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (part.empty() || part.back() == '.' || part.back() == ' ') return false;
        for (char c : part)
            if ((c >= 0 && c < 0x20) || std::strchr("/:*?\"<>|", c)) return false;
        if (end == std::string::npos) return !IsDeviceName(part);
        start = end + 1;
    }
}

std::string SystemFolder(bool view32) {
    char path[MAX_PATH] = {};
    UINT n = view32 ? ::GetSystemWow64DirectoryA(path, MAX_PATH) : 0;
    if (n == 0 || n >= MAX_PATH) n = ::GetSystemDirectoryA(path, MAX_PATH);
    return n > 0 && n < MAX_PATH ? std::string(path) : std::string();
}

std::string WindowsFolder() {
    char path[MAX_PATH] = {};
    UINT n = ::GetWindowsDirectoryA(path, MAX_PATH);
    return n > 0 && n < MAX_PATH ? std::string(path) : std::string();
}

// "C:\WINDOWS\SYSTEM32" followed by a backslash or the end: the rest, else npos.
size_t AfterFolder(const std::string& path, const std::string& folder) {
    if (folder.empty() || path.size() < folder.size() || path.compare(0, folder.size(), folder) != 0)
        return std::string::npos;
    if (path.size() > folder.size() && path[folder.size()] != '\\') return std::string::npos;
    return folder.size();
}

// Every name in `folder` (files and folders), upper-cased the way the file system compares,
// kept when that form is plain ASCII: the only names a plain name can equal.
void AddFolderNames(const std::string& folder, std::unordered_set<std::string>& names) {
    if (folder.empty()) return;
    WIN32_FIND_DATAW fd;
    HANDLE find = ::FindFirstFileExW((WideName(folder) + L"\\*").c_str(), FindExInfoBasic, &fd, FindExSearchNameMatch,
                                     nullptr, FIND_FIRST_EX_LARGE_FETCH);
    if (find == INVALID_HANDLE_VALUE) return;
    do {
        std::wstring name = fd.cFileName;
        ::CharUpperBuffW(&name[0], static_cast<DWORD>(name.size()));
        std::string ascii;
        bool plain = !name.empty();
        for (wchar_t c : name) {
            if (c >= 0x80) {
                plain = false;
                break;
            }
            ascii += static_cast<char>(c);
        }
        if (plain) names.insert(ascii);
    } while (::FindNextFileW(find, &fd));
    ::FindClose(find);
}

// Every subkey name of App Paths that this code page carries (another could only be taken for
// a different program's name).
std::vector<std::string> AppPathsNames() {
    std::vector<std::string> names;
    HKEY key = nullptr;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, kAppPathsKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return names;
    for (DWORD index = 0;; ++index) {
        wchar_t sub[256];
        DWORD len = 256;
        LONG rc = ::RegEnumKeyExW(key, index, sub, &len, nullptr, nullptr, nullptr, nullptr);
        if (rc == ERROR_MORE_DATA) continue;
        if (rc != ERROR_SUCCESS) break;
        std::string name;
        if (NarrowName(std::wstring(sub, len), name)) names.push_back(name);
    }
    ::RegCloseKey(key);
    return names;
}

bool ListedInAppPaths(const std::string& name, PathCheckCache* cache) {
    if (cache) return cache->InAppPaths(name);
    for (const std::string& listed : AppPathsNames())
        if (SameText(listed, name)) return true;
    return false;
}

bool FileSystemHas(const std::string& path, PathCheckCache* cache) {
    if (cache) return cache->Exists(path);
    return ::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool SearchPathHas(const std::string& name, PathCheckCache* cache) {
    if (cache) return cache->OnSearchPath(name);
    return ::SearchPathA(nullptr, name.c_str(), nullptr, 0, nullptr, nullptr) != 0;
}

bool PathOrNameExists(const std::string& path, PathCheckCache* cache) {
    std::string p = path;
    TrimRight(p, "\\ ");
    if (!p.empty() && FileSystemHas(p, cache)) return true;
    size_t slash = FindLastOf(p, '\\');
    std::string name = slash == std::string::npos ? p : p.substr(slash + 1);
    if (name.empty()) return false;
    return SearchPathHas(name, cache);
}

}  // namespace

std::string PathFor32BitView(const std::string& path) {
    static const std::string system = AsciiUpper(SystemFolder(false));
    static const std::string wow64 = [] {
        std::string folder = AsciiUpper(SystemFolder(true));
        return folder == system ? std::string() : folder;
    }();
    static const std::string sysnative = AsciiUpper(WindowsFolder()) + "\\SYSNATIVE";
    if (wow64.empty()) return path;
    size_t rest = AfterFolder(path, system);
    if (rest != std::string::npos) {
        // Folders of the system folder that Windows does not redirect.
        for (const char* shared : {"\\CATROOT", "\\CATROOT2", "\\DRIVERSTORE", "\\DRIVERS\\ETC", "\\LOGFILES", "\\SPOOL"})
            if (AfterFolder(path.substr(rest), shared) != std::string::npos) return path;
        return wow64 + path.substr(rest);
    }
    rest = AfterFolder(path, sysnative);
    if (rest != std::string::npos) return system + path.substr(rest);
    return path;
}

UINT PathCheckCache::DriveType(const std::string& root) {
    char letter = root.empty() ? 0 : root[0];
    if (letter >= 'a' && letter <= 'z') letter = static_cast<char>(letter - 'a' + 'A');
    if (letter < 'A' || letter > 'Z') return ::GetDriveTypeA(root.c_str());
    UINT& type = driveTypes_[letter - 'A'];
    if (type == kUnknown) type = ::GetDriveTypeA(root.c_str());
    return type;
}

DWORD PathCheckCache::Attributes(const std::string& upperPath) {
    auto known = attributes_.find(upperPath);
    if (known != attributes_.end()) return known->second;
    DWORD attributes = INVALID_FILE_ATTRIBUTES;
    size_t slash = upperPath.rfind('\\');
    // Only a folder that exists can hold anything; the drive's root is simply asked.
    DWORD parent = slash > 2 ? Attributes(upperPath.substr(0, slash)) : FILE_ATTRIBUTE_DIRECTORY;
    if (parent != INVALID_FILE_ATTRIBUTES && (parent & FILE_ATTRIBUTE_DIRECTORY)) {
        ++diskQueries;
        attributes = ::GetFileAttributesA(upperPath.c_str());
    }
    attributes_.emplace(upperPath, attributes);
    return attributes;
}

bool PathCheckCache::Exists(const std::string& path) {
    std::string upper = AsciiUpper(path);
    if (view32_) upper = PathFor32BitView(upper);
    if (IsPlainPath(upper)) return Attributes(upper) != INVALID_FILE_ATTRIBUTES;
    auto known = attributes_.find(upper);
    if (known != attributes_.end()) return known->second != INVALID_FILE_ATTRIBUTES;
    ++diskQueries;
    DWORD attributes = ::GetFileAttributesA(upper.c_str());
    attributes_.emplace(upper, attributes);
    return attributes != INVALID_FILE_ATTRIBUTES;
}

void PathCheckCache::ListSearchPath() {
    searchListed_ = true;
    // The folders the system searches for a bare name: the program's, the current one, the
    // system folders, the Windows folder and those of PATH.
    std::vector<std::string> folders;
    char buf[MAX_PATH] = {};
    DWORD n = ::GetModuleFileNameA(nullptr, buf, MAX_PATH);
    std::string module(buf, n < MAX_PATH ? n : 0);
    folders.push_back(module.substr(0, module.find_last_of('\\')));
    n = ::GetCurrentDirectoryA(MAX_PATH, buf);
    if (n > 0 && n < MAX_PATH) folders.push_back(buf);
    folders.push_back(SystemFolder(view32_));
    folders.push_back(WindowsFolder() + "\\System");
    folders.push_back(WindowsFolder());
    DWORD size = ::GetEnvironmentVariableA("PATH", nullptr, 0);
    std::string path(size, '\0');
    if (size > 0) path.resize(::GetEnvironmentVariableA("PATH", &path[0], size));
    for (size_t start = 0; start <= path.size();) {
        size_t end = path.find(';', start);
        if (end == std::string::npos) end = path.size();
        std::string folder = path.substr(start, end - start);
        TrimRight(folder, "\\ ");
        if (!folder.empty()) folders.push_back(view32_ ? PathFor32BitView(AsciiUpper(folder)) : folder);
        start = end + 1;
    }
    for (const std::string& folder : folders) {
        ++diskQueries;
        AddFolderNames(folder, searchNames_);
    }
}

bool PathCheckCache::OnSearchPath(const std::string& name) {
    std::string upper = AsciiUpper(name);
    if (IsPlainName(upper)) {
        if (!searchListed_) ListSearchPath();
        return searchNames_.count(upper) > 0;
    }
    auto known = searched_.find(upper);
    if (known != searched_.end()) return known->second;
    ++diskQueries;
    bool found = ::SearchPathA(nullptr, name.c_str(), nullptr, 0, nullptr, nullptr) != 0;
    searched_.emplace(upper, found);
    return found;
}

bool PathCheckCache::InAppPaths(const std::string& name) {
    if (!appPathsRead_) {
        appPathsRead_ = true;
        appPaths_ = AppPathsNames();
    }
    for (const std::string& listed : appPaths_)
        if (SameText(listed, name)) return true;
    return false;
}

bool PathOrFileNameExists(const std::string& path) { return PathOrNameExists(path, nullptr); }

bool IsPathEntryValid(const std::string& text, bool lenient, bool reportRemovableMedia, PathCheckCache* cache) {
    std::string s = AsciiUpper(text);
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
        std::string root = s.substr(0, 3);
        switch (cache ? cache->DriveType(root) : ::GetDriveTypeA(root.c_str())) {
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
    if (PathOrNameExists(s, cache)) return true;

    // "C:\APP\TOOL.EXE SETUP" and "C:\APP\TOOL.EXE.OLD" both come down to the program itself.
    for (const char* ext : {".EXE", ".DLL", ".OCX"}) {
        size_t at = s.find(ext);
        if (at != std::string::npos) {
            s.erase(at + 4);
            break;
        }
    }

    if (lenient && ListedInAppPaths(s, cache)) return true;
    if (PathOrNameExists(s + ".lnk", cache)) return true;
    if (PathOrNameExists(s + ".dsw", cache)) return true;
    return PathOrNameExists(s, cache);
}
