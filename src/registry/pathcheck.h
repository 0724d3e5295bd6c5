// Judges whether a text stored in the registry (a path, a command line, an icon reference)
// names a local file that can no longer be found. Shared by the registry cleaner, the startup
// programs tool and the invalid shortcuts scan.
#pragma once

#include <string>

// True when `text` is valid or cannot be judged; false only when it is a local path on a fixed
// disk (or, with `reportRemovableMedia`, on a removable disk) none of whose candidate files
// exists. `lenient` is for texts that are often bare file names (icons, in-process servers): it
// drops the need for a full drive path and also accepts names listed under App Paths.
// Removable disks are never read: a path on one is judged by `reportRemovableMedia` alone
// (the registry cleaner's "Include all references to removable media" switch).
bool IsPathEntryValid(const std::string& text, bool lenient, bool reportRemovableMedia);

// True when the path (trailing backslashes and blanks ignored) exists as a file or folder, or
// when its last component is found on the system's search path.
bool PathOrFileNameExists(const std::string& path);
