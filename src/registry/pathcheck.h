// Judges whether a text stored in the registry (a path, a command line, an icon reference)
// names a local file that can no longer be found. Shared by the registry cleaner, the startup
// programs tool and the invalid shortcuts scan.
#pragma once

#include <windows.h>

#include <array>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

// What the file system answered, remembered for the length of one scan, so that a scan asks
// the disk once per folder and file and lists the search path's folders once instead of
// searching them for every text. The answers are the ones the direct calls give: a folder that
// is missing has no files, and a plain file name is on the search path exactly when one of its
// folders lists it; anything that needs the system's own path rules (short names, "..", device
// names, names outside ASCII) is still asked directly.
class PathCheckCache {
public:
    // `view32`: the texts are a 32-bit program's, for which the system folder is SysWOW64
    // (except the folders Windows shares between both) and Sysnative the 64-bit one.
    explicit PathCheckCache(bool view32 = false) : view32_(view32) { driveTypes_.fill(kUnknown); }

    UINT DriveType(const std::string& root);
    bool Exists(const std::string& path);
    bool OnSearchPath(const std::string& name);
    bool InAppPaths(const std::string& name);

    // How often the disk was asked, for the benchmark.
    unsigned long diskQueries = 0;

private:
    static const UINT kUnknown = 0xFFFFFFFF;
    DWORD Attributes(const std::string& upperPath);
    void ListSearchPath();

    bool view32_;
    std::array<UINT, 26> driveTypes_;
    std::unordered_map<std::string, DWORD> attributes_;
    std::unordered_map<std::string, bool> searched_;
    std::unordered_set<std::string> searchNames_;
    bool searchListed_ = false;
    std::vector<std::string> appPaths_;
    bool appPathsRead_ = false;
};

// A path as a 32-bit program sees it (upper-case ASCII expected for the folders).
std::string PathFor32BitView(const std::string& path);

// True when `text` is valid or cannot be judged; false only when it is a local path on a fixed
// disk (or, with `reportRemovableMedia`, on a removable disk) none of whose candidate files
// exists. `lenient` is for texts that are often bare file names (icons, in-process servers): it
// drops the need for a full drive path and also accepts names listed under App Paths.
// Removable disks are never read: a path on one is judged by `reportRemovableMedia` alone
// (the registry cleaner's "Include all references to removable media" switch). With a cache,
// the verdicts are the same and much cheaper for a scan of many texts.
bool IsPathEntryValid(const std::string& text, bool lenient, bool reportRemovableMedia,
                      PathCheckCache* cache = nullptr);

// True when the path (trailing backslashes and blanks ignored) exists as a file or folder, or
// when its last component is found on the system's search path.
bool PathOrFileNameExists(const std::string& path);
