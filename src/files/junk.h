// The unneeded files scan: files whose names end in one of the user's junk endings, optionally
// every empty file, and the contents of the temporary folders, on the selected fixed drives
// outside the excluded folders. Only files that can be opened for exclusive reading at that
// moment are listed, so files in use stay out of the list.
#pragma once

#include "core/services.h"
#include "core/view.h"
#include "files/walker.h"

#include "core/endings.h"

#include <cstdint>
#include <functional>
#include <set>
#include <string>
#include <vector>

// One piece of the "JunkExt" setting: the ending and its flag ("E" in force, "D" kept unused).
using JunkEnding = Ending;

// The 14 built-in endings, all in force.
std::vector<JunkEnding> DefaultJunkEndings();
// Cuts the stored text at each ",": a piece is the ending followed by its one-character flag.
// An empty text gives the defaults. A piece without an ending is dropped: an empty ending
// would match every file on the disk.
std::vector<JunkEnding> ParseJunkEndings(const std::string& text);
// The stored form: each ending immediately followed by its flag, the pieces joined by ",".
std::string JunkEndingsText(const std::vector<JunkEnding>& endings);
// Reads "Settings"/"JunkExt" into `settings.junkEndings` and answers the parsed list.
std::vector<JunkEnding> LoadJunkEndings(FileToolSettings& settings);

// The ending rule for a file's full path. A path that ends in ".LOG" and holds "INSTAL",
// "REMOVE", "DEPLOY" or "SETUP" anywhere is never junk by its ending (setup logs are kept).
bool IsJunkName(const std::string& fullPath, const std::vector<JunkEnding>& endings);

// The column-2 text of a row: the length in KB, rounded up ("0 KB" for an empty file).
std::string JunkSizeText(uint64_t length);

// True when the file can be opened for reading with no sharing at all, i.e. nobody has it open.
bool CanOpenExclusively(const std::string& path);

// One scan's walkers: the drive walk (attribute rules of the unneeded files tool, exclusion
// list) and the temporary-folder walk, both adding rows to `list`.
class CJunkScan : public CFolderWalker {
public:
    CJunkScan(IResultList& list, ICancelPoll& cancel, IStatusSink& status, const FileToolSettings& settings,
              std::vector<JunkEnding> endings);

    // The drive walker: 1 to go on, 0 when cancelled.
    int WalkJunkFolder(const std::string& folder);
    // Lists every file below `folder` that the drive walk did not list already; polls the
    // cancel dialog once per entry.
    void WalkTempFolder(const std::string& folder);
    // Appends one row (name, full path, size in KB) and counts the file's length. A file whose
    // name cannot be passed on is listed with kRowNameUnusable and not counted.
    void AddJunkRow(const WalkEntry& file);

    // Sum of the lengths of the files listed, held in 64 bits.
    uint64_t junkTotalBytes = 0;

protected:
    bool SkipFile(const WalkEntry& entry) override;
    bool SkipDirectory(const WalkEntry& entry) override;
    void OnFile(const WalkEntry& entry) override;
    void OnUnusableFile(const WalkEntry& entry) override;

private:
    bool MatchesRules(const WalkEntry& file, bool sendToTest) const;
    bool Listed(const std::string& fullPath) const;
    void AddIfFree(const WalkEntry& file);

    IResultList& list_;
    const FileToolSettings& settings_;
    CEndingsInForce endings_;
    std::set<std::string> listedUpper_;  // full paths already listed, upper case
};

// The temporary folders the scan empties: GetTempPathA's folder (unless it is the Windows
// folder itself or has no backslash) and the Windows folder's "temp" when it differs.
std::vector<std::string> TempFoldersToClean();

// The "Scan" command's work without the window: loads the exclusion list and the endings into
// `settings`, empties `list`, walks the drives of `settings.driveMask`, then (when
// `settings.cleanTempFolder` is on) the temporary folders; `sizeColumns` (optional) runs before
// the total "Total Invalid entries found: <size>" goes to the message bar. Answers the total.
uint64_t ScanUnneededFiles(IResultList& list, ICancelPoll& cancel, IStatusSink& status, FileToolSettings& settings,
                           const std::function<void()>& sizeColumns = {});
