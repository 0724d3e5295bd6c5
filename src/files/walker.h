// The drive and folder walk shared by the file tools (unneeded files, invalid shortcuts,
// duplicate files): which drives are walked, the folders the user excluded, and the recursive
// depth-first walk with its one cancel poll per folder.
#pragma once

#include "core/services.h"

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// One entry of a folder as the walk meets it.
struct WalkEntry {
    std::string name;      // the name with its extension
    std::string fullPath;  // the folder's path, a backslash and the name ("C:" gives "C:\name")
    DWORD attributes = 0;
    uint64_t length = 0;   // the whole size, files of 4 GB and more included
    FILETIME lastWrite {};
    std::string alternateName;  // the 8.3 alias the file system keeps; empty when the name is one
    // False when the name has no form in the process code page (only where that is not UTF-8)
    // and no 8.3 alias: `name` and `fullPath` are then fit for showing only, never for acting.
    bool usable = true;

    bool IsDirectory() const { return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0; }
    bool IsDotEntry() const { return name == "." || name == ".."; }
};

// Both FILE_ATTRIBUTE_SYSTEM and FILE_ATTRIBUTE_HIDDEN: recycle bins, system volume folders.
inline bool IsSystemAndHidden(DWORD attributes) {
    const DWORD both = FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_HIDDEN;
    return (attributes & both) == both;
}

// The name by which the "A" calls of a process with `codePage` reach an entry: its own name when
// it survives the code page, else its 8.3 alias. False when neither does; `name` then holds a
// form fit for showing only.
bool EntryName(const WIN32_FIND_DATAW& data, UINT codePage, std::string& name);

// Reads one folder's entries ("folder\*.*", "." and ".." included) in the file system's order.
// The names are read wide, so that none is cut or best-fit mapped on the way. The search handle
// is closed when the object goes. `codePage` is the one the names are for (tests ask for others).
class CFolderEnum {
public:
    explicit CFolderEnum(const std::string& folder, UINT codePage = CP_ACP);
    ~CFolderEnum();
    CFolderEnum(const CFolderEnum&) = delete;
    CFolderEnum& operator=(const CFolderEnum&) = delete;

    // The next entry; false when there is none (or the folder could not be read).
    bool Next(WalkEntry& entry);

private:
    std::string folder_;
    UINT codePage_;
    HANDLE find_ = INVALID_HANDLE_VALUE;
    WIN32_FIND_DATAW data_ {};
    bool pending_ = false;
};

// The recursive walk. A tool derives from it and gives its attribute rules and what it does
// with each file; the walk polls `cancel` once per folder, before the folder is read, and puts
// the folder being read into the message bar.
//
// Directories that are reparse points (junctions, symbolic links to folders, mounted
// volumes) are never followed: a link back to an ancestor would recurse for ever, and a link
// to another tree would walk that tree twice.
class CFolderWalker {
public:
    CFolderWalker(ICancelPoll* cancel, IStatusSink* status) : cancel_(cancel), status_(status) {}
    virtual ~CFolderWalker() = default;

    // Folders left out with everything below them; null (the default) for no exclusion test.
    void SetExcludedFolders(const std::vector<std::string>* folders) { excluded_ = folders; }

    // Walks `folder` (no trailing backslash; a drive root as "C:"). Returns 1 to go on, 0 when
    // the walk was cancelled, so that a cancel unwinds the whole recursion.
    int WalkFolder(const std::string& folder);

    // Folder links met and not followed so far.
    int linksSkipped() const { return linksSkipped_; }
    // Entries whose names this process cannot pass on (see WalkEntry::usable) met so far.
    int namesUnusable() const { return namesUnusable_; }
    // The code page the names are made for; the process's own unless a test asks for another.
    void SetCodePage(UINT codePage) { codePage_ = codePage; }

protected:
    // The tool's attribute rule for files: true passes the file over.
    virtual bool SkipFile(const WalkEntry& entry) { return false; }
    // The tool's directory rule: true leaves the directory (and all below it) out.
    virtual bool SkipDirectory(const WalkEntry& entry) { return false; }
    // A file that passed the attribute rule.
    virtual void OnFile(const WalkEntry& entry) = 0;
    // A file whose name cannot be passed on. A folder so named is never entered: nothing below
    // it could be reached by its path.
    virtual void OnUnusableFile(const WalkEntry& entry) {}
    // For walks of their own (the temporary folders).
    UINT codePage() const { return codePage_; }
    void CountUnusableName() { ++namesUnusable_; }

    ICancelPoll* cancel_;
    IStatusSink* status_;

private:
    const std::vector<std::string>* excluded_ = nullptr;
    int linksSkipped_ = 0;
    int namesUnusable_ = 0;
    UINT codePage_ = CP_ACP;
};

// What the scans add to their totals when they met names this process cannot pass on (see
// WalkEntry::usable); empty when there were none.
std::string UnusableNamesText(int count);

// True when `folder` equals an entry of `excluded` as a whole text, without regard to case.
// No prefix matching and no normalising: "C:\WINDOWS\" matches nothing, "C:" the root of C:.
bool IsExcludedFolder(const std::string& folder, const std::vector<std::string>& excluded);

// The drive loop: runs `walker` on "X:" for every letter whose bit is set in `driveMask` and
// whose root is a fixed disk, in letter order; `afterDrive` (optional) runs after each drive.
// Stops at once when the walker returns 0. Returns whether it ran to the end.
bool ScanDrives(DWORD driveMask, const std::function<int(const std::string& drive)>& walker,
                const std::function<void(const std::string& drive)>& afterDrive = {});

// The settings key of the exclusion list, below HKEY_CURRENT_USER.
std::string ExcludeKeyPath();
// A buffer that holds any value name of the exclusion list: the registry's longest name in
// UTF-8, where a character can take three bytes.
const DWORD kLongestValueNameBytes = 16384 * 3;

// Rebuilds `excludedFolders` from the "Exclude" section: the names of the values whose data is
// non-zero. On first use (no section yet) it first stores the defaults: the Windows folder
// walked (0) and the SendTo folder excluded (1).
void LoadExcludedFolders(std::vector<std::string>& excludedFolders);
