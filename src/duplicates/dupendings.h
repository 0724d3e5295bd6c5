// The file-name endings the duplicate finder looks at when it scans only listed types: the
// "DupExt" setting, stored like "JunkExt" (each ending followed by its flag, "E" in force or
// "D" kept unused, the pieces joined by ",").
#pragma once

#include "core/view.h"

#include "core/endings.h"

#include <string>
#include <vector>

// One piece of the "DupExt" setting: the ending and its flag ("E" in force, "D" kept unused).
using DuplicateEnding = Ending;

// The 11 built-in endings (".exe", ".mp3", ... ".doc"), all in force.
std::vector<DuplicateEnding> DefaultDuplicateEndings();
// Cuts the stored text at each ",": a piece is the ending followed by its one-character flag.
// An empty text gives the defaults. A piece without an ending is dropped: an empty ending would
// make every file a candidate.
std::vector<DuplicateEnding> ParseDuplicateEndings(const std::string& text);
// The stored form of a list.
std::string DuplicateEndingsText(const std::vector<DuplicateEnding>& endings);
// Reads "Settings"/"DupExt" into `settings.duplicateEndings` and answers the parsed list.
std::vector<DuplicateEnding> LoadDuplicateEndings(FileToolSettings& settings);

// True when `fullPath` ends, without regard to case, in an ending whose flag is "E".
bool MatchesDuplicateEnding(const std::string& fullPath, const std::vector<DuplicateEnding>& endings);
