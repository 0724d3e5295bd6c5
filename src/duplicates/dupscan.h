// The duplicate file finder: files of equal length on the selected fixed drives that also
// match, as the user chose, by name, by last-write time and by their contents, listed in
// groups. A group is a set of files that match one another in every test chosen (each test is
// an equality, so every file is in one set at most); sets of one file are not listed.
//
// Two passes keep memory small however many files the drives hold. The walk records every
// candidate file of one drive in memory, sorts that drive's records (longest first, then by
// name) and appends them to the list file "duplist"; only the position and count of each drive's
// run stay in memory, with the name each file is opened by. The grouping merges the sorted
// runs, reading each record once; the records of one length (and one name) are split by the
// tests together, the contents last (samecontents.h: each file read at most once, the bytes
// compared). The list's rows hold only indexes into `groupOffsets`, and their names and paths
// are read back from "duplist" when the list draws them.
#pragma once

#include "core/services.h"
#include "core/view.h"
#include "duplicates/dupendings.h"
#include "duplicates/duplist.h"
#include "duplicates/samecontents.h"
#include "files/walker.h"

#include <cstdint>
#include <string>
#include <vector>

// The rows of the duplicate finder in the result list.
class IDuplicateRows {
public:
    virtual ~IDuplicateRows() = default;
    virtual void DeleteAllRows() = 0;
    // Filling starts: `rows` rows will follow (redrawing off until EndRows).
    virtual void BeginRows(int rows) = 0;
    // The empty row before each group; its item data is one past the last index.
    virtual void AddSeparatorRow(DWORD data) = 0;
    // A listed file: name and path on demand, `sizeText` in column 2, index `data`.
    virtual void AddDuplicateRow(const std::string& sizeText, DWORD data) = 0;
    virtual void EndRows() = 0;
};

enum class DuplicateScanOutcome {
    Listed,          // the scan ran to its end (the list may be empty)
    Cancelled,       // the user stopped the walk or the grouping: the list stays empty
    ListFileFailed,  // "duplist" could not be created: nothing was walked
};

// The message shown when "duplist" cannot be created in `folder`.
std::string DuplicateListFailureText(const std::string& folder);

// Whether `path` (in `codePage`) names a file of `length` bytes last written at `lastWrite`:
// where names come back altered, the file met by the walk.
bool PathNamesTheFile(const std::string& path, uint64_t length, const FILETIME& lastWrite, UINT codePage = CP_ACP);

// The sort order of records: the longer file first; of equal lengths the larger file name
// (without extension, without regard to case) first. Negative when `a` goes first.
int CompareRecordContents(const DuplicateRecord& a, const DuplicateRecord& b);

class CDuplicateFinder : public CFolderWalker {
public:
    CDuplicateFinder(IDuplicateRows& rows, std::vector<uint32_t>& groupOffsets, ICancelPoll& cancel,
                     IStatusSink& status, FileToolSettings& settings, const std::string& listFolder);
    ~CDuplicateFinder() override;

    // Folders walked instead of the fixed drives of `settings.driveMask` (each stands for one
    // drive); empty for the drives.
    std::vector<std::string> roots;

    // The "Scan" command's work: loads the exclusion list (and the endings when only listed
    // types are scanned), empties the list, creates "duplist", walks, groups and lists.
    DuplicateScanOutcome ScanDuplicates();

    // The walker of one folder: 1 to go on, 0 when cancelled.
    int WalkDuplicateFolder(const std::string& folder);
    // The second pass over the records written so far. False when cancelled.
    bool FindDuplicateGroups();
    // The order of the records at two positions of the open list file; 0 when it is not open.
    int CompareRecords(uint32_t a, uint32_t b) const;

    // Files met by the walk that are neither system files nor empty, before the type filter.
    uint32_t filesVisited = 0;
    // Files left out because this Windows gave their names altered (see PathNamesTheFile).
    uint32_t namesLeftOut = 0;
    // Figures of the last scan.
    uint32_t recordsWritten = 0;
    uint64_t listedBytes = 0;
    uint64_t bytesRead = 0;
    uint32_t filesOpened = 0;
    size_t peakDriveRecordBytes = 0;

    // The list file of the scan (open between creation and the end of the scan).
    CDupListFile& listFile() { return list_; }
    // Creates the list file; false when that fails.
    bool CreateListFile();
    // Appends the records held in memory for the drive just walked, sorted; then forgets them.
    void WriteDriveRecords();

protected:
    bool SkipFile(const WalkEntry& entry) override;
    bool SkipDirectory(const WalkEntry& entry) override;
    void OnFile(const WalkEntry& entry) override;

private:
    struct DriveEntry;
    struct Run {
        uint64_t start;
        uint32_t count;
        uint32_t first;  // the number of its first record, counted over the scan
    };
    // How a record's file is opened: its long folder and name, which the system finds faster
    // than the short path; length 0 where only the short path is sure to name it.
    struct OpenName {
        uint32_t folder;
        uint32_t at;
        uint16_t length;
    };
    // A record of the run being grouped; its path lies in the run's path bytes.
    struct RunMember {
        uint32_t position;
        uint32_t record;
        uint32_t pathAt;
        uint16_t pathLength;
        uint64_t writeTime;
    };
    class RunMerger;

    bool IsRecycleBinAtTheTop(const WalkEntry& entry) const;
    // The short path of a folder of the walk ("" when it has none that fits), and the note
    // of a folder the walk enters.
    const std::string& ShortFolder(const std::string& folder);
    void EnteringFolder(const WalkEntry& entry);
    void ClearDriveRecords(bool release);
    void AddRecord(const DuplicateRecord& record, const std::string& openName);
    std::string OpenPath(const RunMember& m, const std::vector<char>& runPaths) const;
    // Forms the groups of one run of records of `length` bytes and appends them; false when
    // the user cancelled.
    bool ProcessRun(const std::vector<RunMember>& run, const std::vector<char>& runPaths, uint64_t length,
                    std::vector<uint64_t>& groupSizes, std::vector<uint32_t>& groupStarts);
    void ListGroups(const std::vector<uint64_t>& groupSizes, const std::vector<uint32_t>& groupStarts);

    IDuplicateRows& rows_;
    std::vector<uint32_t>& groupOffsets_;
    FileToolSettings& settings_;
    std::string listFolder_;
    CDupListFile list_;
    CEndingsInForce endings_;
    std::vector<std::string> skippedTypes_;

    // The records of the drive being walked, packed as they go to the file, and their index.
    std::vector<char> driveBytes_;
    std::vector<DriveEntry> driveIndex_;
    std::vector<char> driveNames_;
    // The long folders met and, by record number, the names to open the files by.
    std::vector<std::string> openFolders_;
    std::vector<OpenName> openNames_;
    std::vector<char> openNameBytes_;
    std::vector<Run> runs_;
    ContentScan contents_;
    // The folder of the last file recorded and its short path.
    std::string shortFolderOf_;
    std::string shortFolder_;
    // The folders from the root down to the one being walked, with their short paths.
    std::vector<std::pair<std::string, std::string>> shortFolders_;
    // The root being walked ("C:" for a drive).
    std::string walkRoot_;
    // Whether names reach this process whole.
    bool utf8Names_ = true;
};
