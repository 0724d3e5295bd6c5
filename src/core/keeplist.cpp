#include "core/keeplist.h"

#include "core/codepage.h"
#include "framework/settings.h"

#include <algorithm>
#include <cstdio>

namespace {

const char kSection[] = "Keep";

struct KindName { KeepKind kind; const char* stored; const char* title; };
const KindName kKinds[] = {
    {KeepKind::kRegistry, "Registry", "Registry"},
    {KeepKind::kFile, "File", "Unneeded Files"},
    {KeepKind::kShortcut, "Shortcut", "Invalid Shortcuts"},
    {KeepKind::kStartup, "Startup", "AutoStart Programs"},
    {KeepKind::kReferenceFolder, "Reference", "Duplicate Files (reference folder)"},
};

const KindName& NameOf(KeepKind kind) {
    for (const KindName& k : kKinds)
        if (k.kind == kind) return k;
    return kKinds[0];
}

std::string Escape(const std::string& s) {
    std::string out;
    out.reserve(s.size());
    for (unsigned char c : s) {
        if (c == '%' || c == '|' || c < 0x20 || c == 0x7F) {
            char hex[4];
            std::snprintf(hex, sizeof hex, "%%%02X", c);
            out += hex;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

bool Unescape(const std::string& s, std::string& out) {
    out.clear();
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] != '%') {
            out += s[i];
            continue;
        }
        if (i + 2 >= s.size()) return false;
        int hi = HexDigit(s[i + 1]), lo = HexDigit(s[i + 2]);
        if (hi < 0 || lo < 0) return false;
        out += static_cast<char>(hi * 16 + lo);
        i += 2;
    }
    return true;
}

std::vector<std::string> SplitFields(const std::string& s) {
    std::vector<std::string> fields;
    size_t start = 0;
    for (;;) {
        size_t bar = s.find('|', start);
        fields.push_back(s.substr(start, bar == std::string::npos ? std::string::npos : bar - start));
        if (bar == std::string::npos) return fields;
        start = bar + 1;
    }
}

// Names on Windows compare without regard to case, in any language.
std::string Folded(const std::string& s) {
    std::wstring w = WideName(s, CP_UTF8);
    if (!w.empty()) ::CharUpperBuffW(&w[0], static_cast<DWORD>(w.size()));
    std::string out;
    NarrowName(w, out, CP_UTF8);
    return out;
}

std::string KeyOf(const KeptItem& item) {
    std::string key = NameOf(item.kind).stored;
    key += '|';
    key += Escape(Folded(item.path));
    if (item.kind == KeepKind::kRegistry) key += item.isValue ? "|V|" : "|K";
    if (item.isValue || item.kind == KeepKind::kStartup) key += Escape(Folded(item.detail));
    return key;
}

std::string TrimmedFolder(std::string s) {
    while (!s.empty() && (s.back() == '\\' || s.back() == ' ')) s.pop_back();
    return s;
}

KeptItem Unreadable(DWORD type, const std::string& bytes) {
    KeptItem item;
    item.readable = false;
    item.storedType = type;
    item.storedBytes = bytes;
    return item;
}

HKEY RootOfName(const std::string& name) {
    static const struct { const char* name; HKEY root; } roots[] = {
        {"HKEY_LOCAL_MACHINE", HKEY_LOCAL_MACHINE},
        {"HKEY_CURRENT_USER", HKEY_CURRENT_USER},
        {"HKEY_USERS", HKEY_USERS},
        {"HKEY_CLASSES_ROOT", HKEY_CLASSES_ROOT},
    };
    for (const auto& r : roots)
        if (::lstrcmpiA(name.c_str(), r.name) == 0) return r.root;
    return nullptr;
}

KeptItem Kept(KeepKind kind, const std::string& path, const std::string& detail = std::string(), bool isValue = false) {
    KeptItem item;
    item.kind = kind;
    item.path = path;
    item.detail = detail;
    item.isValue = isValue;
    return item;
}

}  // namespace

KeptItem KeepRegistryKey(const std::string& fullKeyName) { return Kept(KeepKind::kRegistry, fullKeyName); }

KeptItem KeepRegistryValue(const std::string& fullKeyName, const std::string& valueName) {
    return Kept(KeepKind::kRegistry, fullKeyName, valueName, true);
}

KeptItem KeepFile(const std::string& path) { return Kept(KeepKind::kFile, path); }

KeptItem KeepShortcut(const std::string& path) { return Kept(KeepKind::kShortcut, path); }

KeptItem KeepStartupEntry(const std::string& name, const std::string& commandLine) {
    return Kept(KeepKind::kStartup, name, commandLine);
}

KeptItem KeepReferenceFolder(const std::string& folder) { return Kept(KeepKind::kReferenceFolder, TrimmedFolder(folder)); }

KeptItem KeepRegistryFinding(const std::string& location, const std::string& subKey, const std::string& valueName,
                             DWORD flags) {
    std::string key = subKey.empty() ? location : location + "\\" + subKey;
    return (flags & 0x20) ? KeepRegistryValue(key, valueName) : KeepRegistryKey(key);
}

std::string FormatKeptItem(const KeptItem& item) {
    std::string s = NameOf(item.kind).stored;
    s += '|';
    s += Escape(item.path);
    if (item.kind == KeepKind::kRegistry) {
        s += item.isValue ? "|V|" + Escape(item.detail) : "|K";
    } else if (item.kind == KeepKind::kStartup) {
        s += '|';
        s += Escape(item.detail);
    }
    return s;
}

KeptItem ParseKeptItem(DWORD type, const std::string& bytes) {
    // A string value whose terminating zero was cut off, or that holds one inside, is damaged.
    if (type != REG_SZ || bytes.empty() || bytes.back() != '\0' || bytes.find('\0') != bytes.size() - 1)
        return Unreadable(type, bytes);
    std::vector<std::string> fields = SplitFields(bytes.substr(0, bytes.size() - 1));
    const KindName* kind = nullptr;
    for (const KindName& k : kKinds)
        if (fields[0] == k.stored) kind = &k;
    if (!kind) return Unreadable(type, bytes);

    size_t expected = 2;
    if (kind->kind == KeepKind::kStartup) expected = 3;
    if (kind->kind == KeepKind::kRegistry) expected = fields.size() >= 3 && fields[2] == "V" ? 4 : 3;
    if (fields.size() != expected) return Unreadable(type, bytes);
    if (kind->kind == KeepKind::kRegistry && fields[2] != "V" && fields[2] != "K") return Unreadable(type, bytes);

    KeptItem item;
    item.kind = kind->kind;
    if (!Unescape(fields[1], item.path) || item.path.empty()) return Unreadable(type, bytes);
    if (kind->kind == KeepKind::kRegistry) {
        item.isValue = fields[2] == "V";
        if (item.isValue && !Unescape(fields[3], item.detail)) return Unreadable(type, bytes);
    } else if (kind->kind == KeepKind::kStartup) {
        if (!Unescape(fields[2], item.detail)) return Unreadable(type, bytes);
    }
    item.storedType = type;
    item.storedBytes = bytes;
    return item;
}

std::string KeepKindTitle(KeepKind kind) { return NameOf(kind).title; }

std::string KeptItemText(const KeptItem& item) {
    if (!item.readable) {
        std::string shown = item.storedBytes;
        while (!shown.empty() && shown.back() == '\0') shown.pop_back();
        for (char& c : shown)
            if (static_cast<unsigned char>(c) < 0x20) c = ' ';
        return "(unreadable entry) " + shown;
    }
    switch (item.kind) {
    case KeepKind::kRegistry:
        if (!item.isValue) return item.path;
        return item.path + " : " + (item.detail.empty() ? "(Default)" : "\"" + item.detail + "\"");
    case KeepKind::kStartup: return item.path + " : " + item.detail;
    default: return item.path;
    }
}

void KeepList::Load() {
    items_.clear();
    HKEY key = nullptr;
    std::string section = SettingsKeyPath() + "\\" + kSection;
    if (::RegOpenKeyExA(HKEY_CURRENT_USER, section.c_str(), 0, KEY_READ, &key) == ERROR_SUCCESS) {
        std::vector<char> name(16384);
        std::vector<BYTE> data(4096);
        for (DWORD i = 0;; ++i) {
            DWORD nameLen = static_cast<DWORD>(name.size()), size = static_cast<DWORD>(data.size()), type = 0;
            LONG rc = ::RegEnumValueA(key, i, name.data(), &nameLen, nullptr, &type, data.data(), &size);
            if (rc == ERROR_MORE_DATA && size > data.size()) {
                data.resize(size);
                --i;
                continue;
            }
            if (rc != ERROR_SUCCESS) break;
            items_.push_back(ParseKeptItem(type, std::string(reinterpret_cast<char*>(data.data()), size)));
        }
        ::RegCloseKey(key);
    }
    Rebuild();
}

void KeepList::Save() const {
    std::string section = SettingsKeyPath() + "\\" + kSection;
    ::RegDeleteKeyA(HKEY_CURRENT_USER, section.c_str());
    if (items_.empty()) return;
    HKEY key = nullptr;
    if (::RegCreateKeyExA(HKEY_CURRENT_USER, section.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE, nullptr,
                          &key, nullptr) != ERROR_SUCCESS)
        return;
    int n = 0;
    for (const KeptItem& item : items_) {
        // Numbered so that every registry lists them in the order they were kept.
        char name[16];
        std::snprintf(name, sizeof name, "%04d", ++n);
        if (item.readable) {
            std::string text = FormatKeptItem(item);
            ::RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                             static_cast<DWORD>(text.size() + 1));
        } else {
            ::RegSetValueExA(key, name, 0, item.storedType, reinterpret_cast<const BYTE*>(item.storedBytes.data()),
                             static_cast<DWORD>(item.storedBytes.size()));
        }
    }
    ::RegCloseKey(key);
}

bool KeepList::Add(const KeptItem& item) {
    if (!item.readable || IsKept(item)) return false;
    items_.push_back(item);
    Rebuild();
    return true;
}

void KeepList::Remove(size_t index) {
    if (index >= items_.size()) return;
    items_.erase(items_.begin() + static_cast<std::ptrdiff_t>(index));
    Rebuild();
}

void KeepList::Clear() {
    items_.clear();
    Rebuild();
}

void KeepList::SetItems(std::vector<KeptItem> items) {
    items_ = std::move(items);
    Rebuild();
}

bool KeepList::IsKept(const KeptItem& item) const {
    return !keys_.empty() && keys_.count(KeyOf(item)) != 0;
}

bool KeepList::IsInReferenceFolder(const std::string& path) const {
    if (referenceFolders_ == 0) return false;
    // Every folder above the file, nearest first.
    std::string folder = TrimmedFolder(path);
    for (;;) {
        if (IsKept(KeepReferenceFolder(folder))) return true;
        size_t slash = folder.find_last_of('\\');
        if (slash == std::string::npos) return false;
        folder.resize(slash);
    }
}

void KeepList::Rebuild() {
    keys_.clear();
    referenceFolders_ = 0;
    for (const KeptItem& item : items_) {
        if (!item.readable) continue;
        keys_.insert(KeyOf(item));
        if (item.kind == KeepKind::kReferenceFolder) ++referenceFolders_;
    }
}

bool KeptItemExists(const KeptItem& item, const std::function<bool(const KeptItem&)>& startupExists) {
    if (!item.readable) return false;
    switch (item.kind) {
    case KeepKind::kRegistry: {
        size_t slash = item.path.find('\\');
        HKEY root = RootOfName(item.path.substr(0, slash));
        if (!root) return true;
        std::string keyPath = slash == std::string::npos ? std::string() : item.path.substr(slash + 1);
        HKEY key = nullptr;
        if (::RegOpenKeyExA(root, keyPath.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
        bool exists = !item.isValue ||
                      ::RegQueryValueExA(key, item.detail.c_str(), nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
        ::RegCloseKey(key);
        return exists;
    }
    case KeepKind::kStartup: return startupExists ? startupExists(item) : true;
    case KeepKind::kReferenceFolder: {
        DWORD a = ::GetFileAttributesA(item.path.c_str());
        return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
    }
    default: return ::GetFileAttributesA(item.path.c_str()) != INVALID_FILE_ATTRIBUTES;
    }
}
