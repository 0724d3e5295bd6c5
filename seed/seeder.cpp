#include "seeder.h"

#include <objbase.h>
#include <shlobj.h>
#include <shlwapi.h>
#include <shobjidl.h>
#include <wininet.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <set>
#include <sstream>

const char kDemoMachineFixture[] =
#include "demo_fixture.inc"
    ;

namespace {

std::string Trim(const std::string& s) {
    size_t b = s.find_first_not_of(" \t\r\n");
    if (b == std::string::npos) return std::string();
    size_t e = s.find_last_not_of(" \t\r\n");
    return s.substr(b, e - b + 1);
}

std::string Upper(std::string s) {
    for (char& c : s) c = static_cast<char>(::toupper(static_cast<unsigned char>(c)));
    return s;
}

bool Same(const std::string& a, const std::string& b) { return lstrcmpiA(a.c_str(), b.c_str()) == 0; }

std::vector<std::string> Split(const std::string& line) {
    std::vector<std::string> out;
    std::string field;
    std::istringstream in(line);
    while (std::getline(in, field, '|')) out.push_back(Trim(field));
    if (!line.empty() && line.back() == '|') out.push_back(std::string());
    return out;
}

std::string FolderOf(const std::string& path) {
    size_t slash = path.rfind('\\');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

std::string NameOf(const std::string& path) {
    size_t slash = path.rfind('\\');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Creates the folder and every missing folder above it.
bool MakeFolders(const std::string& path) {
    if (path.empty() || (path.size() == 2 && path[1] == ':')) return true;
    DWORD a = ::GetFileAttributesA(path.c_str());
    if (a != INVALID_FILE_ATTRIBUTES) return (a & FILE_ATTRIBUTE_DIRECTORY) != 0;
    if (!MakeFolders(FolderOf(path))) return false;
    return ::CreateDirectoryA(path.c_str(), nullptr) || ::GetLastError() == ERROR_ALREADY_EXISTS;
}

DWORD ParseAttributes(const std::string& text, bool* ok) {
    DWORD attributes = 0;
    std::istringstream in(text);
    std::string word;
    while (in >> word) {
        if (Same(word, "hidden")) attributes |= FILE_ATTRIBUTE_HIDDEN;
        else if (Same(word, "system")) attributes |= FILE_ATTRIBUTE_SYSTEM;
        else if (Same(word, "readonly")) attributes |= FILE_ATTRIBUTE_READONLY;
        else if (Same(word, "held-open")) continue;  // only a running program can hold a file open
        else *ok = false;
    }
    return attributes;
}

bool WriteBytes(const std::string& path, const std::string& bytes) {
    DWORD old = ::GetFileAttributesA(path.c_str());
    if (old != INVALID_FILE_ATTRIBUTES) ::SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    HANDLE h = ::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    bool ok = bytes.empty() ||
              (::WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
               written == bytes.size());
    ::CloseHandle(h);
    return ok;
}

bool MakeShellLink(const std::string& file, const std::string& target, const std::string& description) {
    IShellLinkA* link = nullptr;
    if (FAILED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                  reinterpret_cast<void**>(&link))))
        return false;
    bool ok = SUCCEEDED(link->SetPath(target.c_str()));
    if (ok && !description.empty()) ok = SUCCEEDED(link->SetDescription(description.c_str()));
    IPersistFile* persist = nullptr;
    if (ok) ok = SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&persist)));
    if (ok) {
        WCHAR wide[MAX_PATH] = {};
        ok = ::MultiByteToWideChar(CP_ACP, 0, file.c_str(), -1, wide, MAX_PATH) != 0 &&
             SUCCEEDED(persist->Save(wide, TRUE));
        persist->Release();
    }
    link->Release();
    return ok;
}

// The place of a startup entry that is the same as `key` but on the other side: a live Run-type
// key and its "Disabled" twin. Empty for keys that are no startup place.
std::string StartupTwinKey(const std::string& key) {
    std::string last = NameOf(key);
    if (last.size() < 3 || _strnicmp(last.c_str(), "Run", 3) != 0) return std::string();
    const std::string disabled = "Disabled";
    if (last.size() > disabled.size() && Same(last.substr(last.size() - disabled.size()), disabled))
        return key.substr(0, key.size() - disabled.size());
    return key + disabled;
}

// The same for a file in one of the Startup folders and its "Disabled" twin folder.
std::string StartupTwinFile(const std::string& path, const FixtureRoots& roots) {
    std::string folder = FolderOf(path);
    for (const char* name : {"STARTUP", "COMMON STARTUP"}) {
        auto it = roots.find(name);
        if (it == roots.end() || it->second.empty()) continue;
        if (Same(folder, it->second)) return it->second + "Disabled\\" + NameOf(path);
        if (Same(folder, it->second + "Disabled")) return it->second + "\\" + NameOf(path);
    }
    return std::string();
}

bool ParseHexBytes(const std::string& text, std::string& out) {
    std::istringstream in(text);
    std::string byte;
    while (in >> byte) {
        char* end = nullptr;
        unsigned long v = std::strtoul(byte.c_str(), &end, 16);
        if (byte.size() > 2 || *end || v > 255) return false;
        out.push_back(static_cast<char>(v));
    }
    return true;
}

class Seeding {
public:
    Seeding(const Fixture& f, const FixtureRoots& roots, SeedReport& report) : f_(f), roots_(roots), report_(report) {}

    void Run() {
        Reset();
        Folders();
        Files();
        Shortcuts();
        Registry();
        WinIni();
        Cache();
        Clipboard();
    }

private:
    std::string X(const std::string& text) const { return ExpandRoots(text, roots_); }
    void Problem(const FixtureEntry& e, const std::string& what) {
        report_.problems.push_back("line " + std::to_string(e.line) + ": " + what);
    }

    void Reset() {
        for (const FixtureEntry& e : f_.Section("reset")) {
            std::string kind = e.Field(0), target = X(e.Field(1));
            if (Same(kind, "folder")) {
                if (!RemoveFolderTree(target)) Problem(e, "cannot remove " + target);
            } else if (Same(kind, "key")) {
                std::string sub;
                HKEY root = ParseRootKey(target, &sub);
                if (!root || sub.empty()) {
                    Problem(e, "no registry key: " + target);
                    continue;
                }
                LSTATUS rc = ::SHDeleteKeyA(root, sub.c_str());
                if (rc != ERROR_SUCCESS && rc != ERROR_FILE_NOT_FOUND) Problem(e, "cannot remove " + target);
            } else {
                Problem(e, "unknown reset kind " + kind);
            }
        }
    }

    void Folders() {
        for (const FixtureEntry& e : f_.Section("folders")) {
            std::string path = X(e.Field(0));
            bool ok = true;
            DWORD attributes = ParseAttributes(e.Field(1), &ok);
            if (!ok) Problem(e, "unknown attribute in " + e.Field(1));
            if (!MakeFolders(path)) {
                Problem(e, "cannot make folder " + path);
                continue;
            }
            if (attributes) ::SetFileAttributesA(path.c_str(), attributes | FILE_ATTRIBUTE_DIRECTORY);
            ++report_.folders;
        }
    }

    void Files() {
        for (const FixtureEntry& e : f_.Section("files")) {
            std::string path = X(e.Field(0));
            bool ok = true;
            std::string bytes = GeneratedBytes(e.Field(1), &ok);
            DWORD attributes = ParseAttributes(e.Field(2), &ok);
            if (!ok) {
                Problem(e, "cannot read the contents or attributes");
                continue;
            }
            made_.insert(Upper(path));
            if (!MakeFolders(FolderOf(path)) || !WriteBytes(path, bytes)) {
                Problem(e, "cannot write " + path);
                continue;
            }
            if (attributes) ::SetFileAttributesA(path.c_str(), attributes);
            ++report_.files;
        }
        for (const FixtureEntry& e : f_.Section("shortcuts")) made_.insert(Upper(X(e.Field(0))));
        for (const FixtureEntry& e : f_.Section("files")) DropStartupTwin(X(e.Field(0)));
    }

    void Shortcuts() {
        for (const FixtureEntry& e : f_.Section("shortcuts")) {
            std::string path = X(e.Field(0)), target = X(e.Field(1));
            bool ok = true;
            DWORD attributes = ParseAttributes(e.Field(3), &ok);
            if (!ok) Problem(e, "unknown attribute in " + e.Field(3));
            if (::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES)
                ::SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
            if (!MakeFolders(FolderOf(path)) || !MakeShellLink(path, target, e.Field(2))) {
                Problem(e, "cannot make the shortcut " + path);
                continue;
            }
            if (attributes) ::SetFileAttributesA(path.c_str(), attributes);
            DropStartupTwin(path);
            ++report_.links;
        }
    }

    // A startup entry the fixture puts on one side must not also be found on the other.
    void DropStartupTwin(const std::string& path) {
        std::string twin = StartupTwinFile(path, roots_);
        if (twin.empty() || made_.count(Upper(twin))) return;
        if (::GetFileAttributesA(twin.c_str()) != INVALID_FILE_ATTRIBUTES) {
            ::SetFileAttributesA(twin.c_str(), FILE_ATTRIBUTE_NORMAL);
            ::DeleteFileA(twin.c_str());
        }
    }

    void Registry() {
        const auto& entries = f_.Section("registry");
        std::set<std::string> written;  // "ROOT\KEY|NAME" upper case
        for (const FixtureEntry& e : entries)
            if (!Same(e.Field(2), "key")) written.insert(Upper(X(e.Field(0)) + "|" + ValueName(e)));
        for (const FixtureEntry& e : entries) {
            std::string keyText = X(e.Field(0)), sub;
            HKEY root = ParseRootKey(keyText, &sub);
            if (!root || sub.empty()) {
                Problem(e, "no registry key: " + keyText);
                continue;
            }
            HKEY key = nullptr;
            if (::RegCreateKeyExA(root, sub.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) !=
                ERROR_SUCCESS) {
                Problem(e, "cannot make the key " + keyText);
                continue;
            }
            ++report_.keys;
            std::string type = e.Field(2);
            if (Same(type, "key")) {
                ::RegCloseKey(key);
                continue;
            }
            std::string name = ValueName(e), data = X(e.Field(3)), bytes;
            DWORD regType = REG_SZ;
            if (Same(type, "sz") || Same(type, "expand")) {
                regType = Same(type, "sz") ? REG_SZ : REG_EXPAND_SZ;
                bytes = data + '\0';
            } else if (Same(type, "dword")) {
                char* end = nullptr;
                DWORD v = std::strtoul(data.c_str(), &end, 0);
                if (data.empty() || *end) Problem(e, "not a number: " + data);
                regType = REG_DWORD;
                bytes.assign(reinterpret_cast<const char*>(&v), sizeof v);
            } else if (Same(type, "binary")) {
                regType = REG_BINARY;
                if (!ParseHexBytes(data, bytes)) Problem(e, "not hexadecimal bytes: " + data);
            } else {
                Problem(e, "unknown value type " + type);
                ::RegCloseKey(key);
                continue;
            }
            if (::RegSetValueExA(key, name.c_str(), 0, regType, reinterpret_cast<const BYTE*>(bytes.data()),
                                 static_cast<DWORD>(bytes.size())) == ERROR_SUCCESS)
                ++report_.values;
            else
                Problem(e, "cannot write the value " + name);
            ::RegCloseKey(key);

            std::string twin = StartupTwinKey(sub);
            if (!twin.empty() && !written.count(Upper(keyText.substr(0, keyText.size() - sub.size()) + twin + "|" + name))) {
                HKEY t = nullptr;
                if (::RegOpenKeyExA(root, twin.c_str(), 0, KEY_SET_VALUE, &t) == ERROR_SUCCESS) {
                    ::RegDeleteValueA(t, name.c_str());
                    ::RegCloseKey(t);
                }
            }
        }
    }

    std::string ValueName(const FixtureEntry& e) const {
        std::string name = e.Field(1);
        return name == "@" || name == "-" ? std::string() : X(name);
    }

    void WinIni() {
        const char* const startupKeys[] = {"Load", "Run", "LoadDisabled", "RunDisabled"};
        std::set<std::string> named;
        for (const FixtureEntry& e : f_.Section("win.ini")) {
            std::string key = e.Field(0), line = X(e.Field(1));
            named.insert(Upper(key));
            if (::WritePrivateProfileStringA("windows", key.c_str(), line.c_str(), "win.ini")) ++report_.iniLines;
            else Problem(e, "cannot write win.ini key " + key);
        }
        for (const char* key : startupKeys)
            if (!named.count(Upper(key))) ::WritePrivateProfileStringA("windows", key, nullptr, "win.ini");
    }

    void Cache() {
        for (const FixtureEntry& e : f_.Section("internet cache")) {
            std::string url = X(e.Field(0)), kind = e.Field(1);
            DWORD type = Same(kind, "page")      ? NORMAL_CACHE_ENTRY
                         : Same(kind, "cookie")  ? COOKIE_CACHE_ENTRY
                         : Same(kind, "visited") ? URLHISTORY_CACHE_ENTRY
                                                 : 0;
            if (!type) {
                Problem(e, "unknown cache entry kind " + kind);
                continue;
            }
            ::DeleteUrlCacheEntryA(url.c_str());
            char file[MAX_PATH] = {};
            FILETIME none {};
            if (!::CreateUrlCacheEntryA(url.c_str(), 0, "htm", file, 0) ||
                !WriteBytes(file, "<html>" + url + "</html>") ||
                !::CommitUrlCacheEntryA(url.c_str(), file, none, none, type, nullptr, 0, "htm", nullptr)) {
                Problem(e, "cannot make the cache entry " + url);
                continue;
            }
            ++report_.cacheEntries;
        }
    }

    void Clipboard() {
        const auto& entries = f_.Section("clipboard");
        if (entries.empty()) return;
        std::string text;
        for (const FixtureEntry& e : entries) {
            if (!text.empty()) text += "\r\n";
            std::string line;
            for (size_t i = 0; i < e.fields.size(); ++i) line += (i ? "|" : "") + e.fields[i];
            text += X(line);
        }
        bool open = false;
        for (int i = 0; i < 50 && !(open = ::OpenClipboard(nullptr)); ++i) ::Sleep(20);
        if (!open) {
            Problem(entries.front(), "the clipboard is held by another program");
            return;
        }
        ::EmptyClipboard();
        HGLOBAL mem = ::GlobalAlloc(GMEM_MOVEABLE, text.size() + 1);
        if (mem) {
            std::copy(text.c_str(), text.c_str() + text.size() + 1, static_cast<char*>(::GlobalLock(mem)));
            ::GlobalUnlock(mem);
            if (!::SetClipboardData(CF_TEXT, mem)) {
                ::GlobalFree(mem);
                Problem(entries.front(), "cannot put the text on the clipboard");
            }
        }
        ::CloseClipboard();
    }

    const Fixture& f_;
    const FixtureRoots& roots_;
    SeedReport& report_;
    std::set<std::string> made_;  // files and shortcuts of the fixture, upper case
};

}  // namespace

bool Fixture::Parse(const std::string& text, std::string* error) {
    sections_.clear();
    std::istringstream in(text);
    std::string raw;
    int number = 0;
    while (std::getline(in, raw)) {
        ++number;
        std::string line = Trim(raw);
        if (line.empty() || line[0] == '#') continue;
        if (line[0] == '[') {
            if (line.back() != ']') {
                if (error) *error = "line " + std::to_string(number) + ": section header without \"]\"";
                return false;
            }
            sections_.push_back({Trim(line.substr(1, line.size() - 2)), {}});
            continue;
        }
        if (sections_.empty()) {
            if (error) *error = "line " + std::to_string(number) + ": entry outside a section";
            return false;
        }
        sections_.back().second.push_back({number, Split(line)});
    }
    return true;
}

const std::vector<FixtureEntry>& Fixture::Section(const std::string& name) const {
    static const std::vector<FixtureEntry> none;
    for (const auto& s : sections_)
        if (Same(s.first, name)) return s.second;
    return none;
}

bool Fixture::HasSection(const std::string& name) const {
    for (const auto& s : sections_)
        if (Same(s.first, name)) return true;
    return false;
}

FixtureRoots MachineRoots() {
    auto shellFolder = [](int csidl) {
        char path[MAX_PATH] = {};
        if (FAILED(::SHGetFolderPathA(nullptr, csidl | CSIDL_FLAG_CREATE, nullptr, SHGFP_TYPE_CURRENT, path)))
            return std::string();
        std::string p = path;
        while (!p.empty() && p.back() == '\\') p.pop_back();
        return p;
    };
    char buf[MAX_PATH] = {};
    FixtureRoots roots;
    roots["C"] = "C:";
    roots["E"] = "E:";
    DWORD n = ::GetTempPathA(MAX_PATH, buf);
    std::string temp = n && n < MAX_PATH ? std::string(buf, n) : std::string();
    while (!temp.empty() && temp.back() == '\\') temp.pop_back();
    roots["TEMP"] = temp;
    roots["STARTUP"] = shellFolder(CSIDL_STARTUP);
    roots["COMMON STARTUP"] = shellFolder(CSIDL_COMMON_STARTUP);
    roots["RECENT"] = shellFolder(CSIDL_RECENT);
    ::GetWindowsDirectoryA(buf, MAX_PATH);
    roots["WINDOWS"] = buf;
    ::GetSystemDirectoryA(buf, MAX_PATH);
    roots["SYSTEM"] = buf;
    return roots;
}

std::string ExpandRoots(const std::string& text, const FixtureRoots& roots) {
    std::string out;
    size_t i = 0;
    while (i < text.size()) {
        size_t open = text.find('{', i);
        if (open == std::string::npos) break;
        size_t close = text.find('}', open);
        if (close == std::string::npos) break;
        auto it = roots.find(text.substr(open + 1, close - open - 1));
        if (it == roots.end()) {
            out += text.substr(i, close + 1 - i);
        } else {
            out += text.substr(i, open - i) + it->second;
        }
        i = close + 1;
    }
    return out + text.substr(std::min(i, text.size()));
}

HKEY ParseRootKey(const std::string& keyPath, std::string* subPath) {
    static const struct { const char* name; HKEY key; } kRoots[] = {
        {"HKCU", HKEY_CURRENT_USER},         {"HKEY_CURRENT_USER", HKEY_CURRENT_USER},
        {"HKLM", HKEY_LOCAL_MACHINE},        {"HKEY_LOCAL_MACHINE", HKEY_LOCAL_MACHINE},
        {"HKCR", HKEY_CLASSES_ROOT},         {"HKEY_CLASSES_ROOT", HKEY_CLASSES_ROOT},
        {"HKU", HKEY_USERS},                 {"HKEY_USERS", HKEY_USERS},
    };
    size_t slash = keyPath.find('\\');
    std::string first = keyPath.substr(0, slash);
    for (const auto& r : kRoots) {
        if (!Same(first, r.name)) continue;
        if (subPath) *subPath = slash == std::string::npos ? std::string() : keyPath.substr(slash + 1);
        return r.key;
    }
    return nullptr;
}

bool RemoveFolderTree(const std::string& path) {
    DWORD a = ::GetFileAttributesA(path.c_str());
    if (a == INVALID_FILE_ATTRIBUTES) return true;
    ::SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    if (!(a & FILE_ATTRIBUTE_DIRECTORY)) return ::DeleteFileA(path.c_str()) != 0;
    WIN32_FIND_DATAA fd;
    HANDLE h = ::FindFirstFileA((path + "\\*").c_str(), &fd);
    if (h != INVALID_HANDLE_VALUE) {
        do {
            std::string name = fd.cFileName;
            if (name != "." && name != "..") RemoveFolderTree(path + "\\" + name);
        } while (::FindNextFileA(h, &fd));
        ::FindClose(h);
    }
    return ::RemoveDirectoryA(path.c_str()) != 0;
}

std::string GeneratedBytes(const std::string& contents, bool* ok) {
    std::istringstream in(contents);
    std::string kind;
    in >> kind;
    if (Same(kind, "empty")) return std::string();
    if (Same(kind, "text")) {
        std::string rest;
        std::getline(in, rest);
        return Trim(rest);
    }
    if (Same(kind, "bytes")) {
        size_t n = 0;
        if (!(in >> n)) *ok = false;
        static const char kFiller[] = "Kelvo demo machine. ";
        std::string out(n, ' ');
        for (size_t i = 0; i < n; ++i) out[i] = kFiller[i % (sizeof kFiller - 1)];
        return out;
    }
    if (Same(kind, "random")) {
        size_t n = 0;
        uint64_t seed = 0;
        if (!(in >> n >> seed)) *ok = false;
        // xorshift64*: the same seed always gives the same bytes, on every machine.
        uint64_t x = seed * 0x9E3779B97F4A7C15ull + 0x2545F4914F6CDD1Dull;
        std::string out(n, '\0');
        for (size_t i = 0; i < n; ++i) {
            x ^= x >> 12;
            x ^= x << 25;
            x ^= x >> 27;
            out[i] = static_cast<char>((x * 0x2545F4914F6CDD1Dull) >> 56);
        }
        return out;
    }
    *ok = false;
    return std::string();
}

bool SeedMachine(const Fixture& fixture, const FixtureRoots& roots, SeedReport& report) {
    report = SeedReport();
    Seeding(fixture, roots, report).Run();
    return report.problems.empty();
}
