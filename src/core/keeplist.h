// The keep list: findings the user chose to keep, which no later scan lists again. It lives in
// the "Keep" section of the settings store, one value per kept item, so that it survives
// upgrades and a damaged value spoils only itself.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <unordered_set>
#include <vector>

enum class KeepKind {
    kRegistry,         // a registry cleaner finding: a whole key, or one value of a key
    kFile,             // an unneeded file, by its full path
    kShortcut,         // an invalid shortcut, by the shortcut file's full path
    kStartup,          // a startup entry, by its program name and command line: no warnings for it
    kReferenceFolder,  // duplicates: files below it are originals, never offered for deletion
};

struct KeptItem {
    KeepKind kind = KeepKind::kFile;
    // Registry: the full key name ("HKEY_CURRENT_USER\Software\Vendor"); startup: the program
    // name; the others: the full path.
    std::string path;
    // Registry value findings: the value's name; startup: the command line.
    std::string detail;
    // Registry: a value finding (the key itself otherwise).
    bool isValue = false;

    // False for a stored entry that could not be read: shown on the Options page as it was
    // found, never honoured by a scan, written back unchanged until the user removes it.
    bool readable = true;
    DWORD storedType = REG_SZ;
    std::string storedBytes;
};

KeptItem KeepRegistryKey(const std::string& fullKeyName);
KeptItem KeepRegistryValue(const std::string& fullKeyName, const std::string& valueName);
KeptItem KeepFile(const std::string& path);
KeptItem KeepShortcut(const std::string& path);
KeptItem KeepStartupEntry(const std::string& name, const std::string& commandLine);
KeptItem KeepReferenceFolder(const std::string& folder);
// A registry cleaner finding as its row shows it: the "Location" (root) column, the key path,
// the value name, and the row's flags (0x20: the value alone; otherwise the whole key).
KeptItem KeepRegistryFinding(const std::string& location, const std::string& subKey, const std::string& valueName,
                             DWORD flags);

// The stored text of a readable item ("File|C:\old.tmp"); `|`, `%` and control characters of
// names are written as %XX, so any name keeps its fields apart.
std::string FormatKeptItem(const KeptItem& item);
// Reads one stored value; an unreadable one comes back with readable false.
KeptItem ParseKeptItem(DWORD type, const std::string& bytes);

// The tool a kind belongs to, as the Options page shows it, and the text of the item.
std::string KeepKindTitle(KeepKind kind);
std::string KeptItemText(const KeptItem& item);

class KeepList {
public:
    // Reads the "Keep" section; a missing section is an empty list.
    void Load();
    // Writes the list back in place of the section's values.
    void Save() const;

    // Adds an item unless the same one is kept already; answers whether it was added.
    bool Add(const KeptItem& item);
    void Remove(size_t index);
    void Clear();
    const std::vector<KeptItem>& Items() const { return items_; }
    void SetItems(std::vector<KeptItem> items);

    // Whether a scan must leave this finding out. Names compare without regard to case.
    bool IsKept(const KeptItem& item) const;
    bool IsRegistryKeyKept(const std::string& fullKeyName) const { return IsKept(KeepRegistryKey(fullKeyName)); }
    bool IsRegistryValueKept(const std::string& fullKeyName, const std::string& valueName) const {
        return IsKept(KeepRegistryValue(fullKeyName, valueName));
    }
    bool IsFileKept(const std::string& path) const { return IsKept(KeepFile(path)); }
    bool IsShortcutKept(const std::string& path) const { return IsKept(KeepShortcut(path)); }
    bool IsStartupEntryKept(const std::string& name, const std::string& command) const {
        return IsKept(KeepStartupEntry(name, command));
    }
    // Whether `path` lies in (or is) a reference folder.
    bool IsInReferenceFolder(const std::string& path) const;
    bool HasReferenceFolders() const { return referenceFolders_ > 0; }

private:
    void Rebuild();
    std::vector<KeptItem> items_;
    std::unordered_set<std::string> keys_;
    size_t referenceFolders_ = 0;
};

// Whether a kept item still names something on this machine (registry key or value, file,
// shortcut, folder). Startup entries are not judged here: `startupExists` answers for them
// when given, otherwise they count as present.
bool KeptItemExists(const KeptItem& item, const std::function<bool(const KeptItem&)>& startupExists = nullptr);
