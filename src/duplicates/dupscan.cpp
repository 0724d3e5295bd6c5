#include "duplicates/dupscan.h"

#include "core/codepage.h"
#include "duplicates/samecontents.h"
#include "framework/strings.h"

#include <mbstring.h>

#include <algorithm>
#include <cstring>

namespace {

// The longest name the "A" calls are sure to give whole.
constexpr size_t kLongestWholeName = 250;

// The part of a short path that the sort and the name test look at.
struct NameParts {
    const char* name;    // the file name with its extension
    size_t nameLength;
    size_t baseLength;   // the file name without its extension
};

NameParts SplitName(const char* path, size_t n) {
    size_t start = FileNameStart(path, n);
    NameParts parts {path + start, n - start, n - start};
    // A '.' (0x2E) is never the trail byte of a double-byte character.
    const void* dot = nullptr;
    for (size_t i = parts.nameLength; i > 0; --i)
        if (parts.name[i - 1] == '.') {
            dot = parts.name + i - 1;
            break;
        }
    if (dot) parts.baseLength = static_cast<const char*>(dot) - parts.name;
    return parts;
}

int CompareNoCase(const char* a, size_t na, const char* b, size_t nb) {
    size_t n = std::min(na, nb);
    if (n > 0) {
        int r = ::_mbsnbicmp(reinterpret_cast<const unsigned char*>(a), reinterpret_cast<const unsigned char*>(b), n);
        if (r != 0) return r;
    }
    return na < nb ? -1 : (na > nb ? 1 : 0);
}

// The sort key of a record: its length, and its file name without extension.
struct SortKey {
    uint64_t length;
    const char* base;
    size_t baseLength;
};

SortKey KeyOf(const DuplicateRecord& r) {
    NameParts parts = SplitName(r.shortPath, r.pathLength);
    return {r.FileLength(), parts.name, parts.baseLength};
}

int CompareKeys(const SortKey& a, const SortKey& b) {
    if (a.length != b.length) return a.length > b.length ? -1 : 1;
    return CompareNoCase(b.base, b.baseLength, a.base, a.baseLength);
}

}  // namespace

bool PathNamesTheFile(const std::string& path, uint64_t length, const FILETIME& lastWrite, UINT codePage) {
    WIN32_FILE_ATTRIBUTE_DATA data {};
    if (!::GetFileAttributesExW(WideName(path, codePage).c_str(), GetFileExInfoStandard, &data)) return false;
    uint64_t size = (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    return size == length && ::CompareFileTime(&data.ftLastWriteTime, &lastWrite) == 0;
}

std::string DuplicateListFailureText(const std::string& folder) {
    return "Unable to open " + DuplicateListPath(folder) + ". Cannot continue";
}

int CompareRecordContents(const DuplicateRecord& a, const DuplicateRecord& b) { return CompareKeys(KeyOf(a), KeyOf(b)); }

// One record of the drive being walked: where its bytes start in the packed buffer, and its
// sort key's place there.
struct CDuplicateFinder::DriveEntry {
    uint32_t offset;
    uint16_t baseStart;  // from the start of the path
    uint16_t baseLength;
    uint32_t folder;     // in openFolders_
    uint32_t nameAt;     // in driveNames_
    uint16_t nameLength;
};

// Merges the sorted runs of the drives back into one sorted stream, reading each run
// sequentially through a buffer of its own.
class CDuplicateFinder::RunMerger {
public:
    RunMerger(const CDupListFile& file, const std::vector<Run>& runs) : file_(file) {
        for (const Run& r : runs) {
            if (r.count == 0) continue;
            readers_.emplace_back();
            Reader& reader = readers_.back();
            reader.position = r.start;
            reader.remaining = r.count;
            reader.next = r.first;
            reader.live = Advance(reader);
        }
    }

    bool Next(DuplicateRecord& record, uint32_t& position, uint32_t& number) {
        // Keys are taken from the records as they stand: a key kept with a reader would point
        // into memory that moves when the readers do.
        Reader* best = nullptr;
        SortKey bestKey {};
        for (Reader& r : readers_) {
            if (!r.live) continue;
            SortKey key = KeyOf(r.head);
            if (!best || CompareKeys(key, bestKey) < 0) {
                best = &r;
                bestKey = key;
            }
        }
        if (!best) return false;
        record = best->head;
        position = best->headPosition;
        number = best->headNumber;
        best->live = Advance(*best);
        return true;
    }

private:
    struct Reader {
        uint64_t position = 0;   // file position of buffer[0]
        size_t used = 0;         // bytes of the buffer already handed out
        size_t filled = 0;
        uint32_t remaining = 0;
        std::vector<char> buffer;
        DuplicateRecord head;
        uint32_t headPosition = 0;
        uint32_t headNumber = 0;
        uint32_t next = 0;
        bool live = false;
    };

    bool Advance(Reader& r) {
        if (r.remaining == 0) return false;
        if (r.filled - r.used < sizeof(DuplicateRecord)) {
            r.position += r.used;
            r.buffer.resize(64 * 1024);
            r.filled = file_.ReadBytes(r.position, r.buffer.data(), r.buffer.size());
            r.used = 0;
        }
        size_t available = r.filled - r.used;
        r.head = DuplicateRecord();
        std::memcpy(&r.head, r.buffer.data() + r.used, std::min(available, sizeof(DuplicateRecord)));
        if (!CompleteRecord(r.head, std::min(available, sizeof(DuplicateRecord)))) return false;
        r.headPosition = static_cast<uint32_t>(r.position + r.used);
        r.headNumber = r.next++;
        r.used += r.head.DiskSize();
        --r.remaining;
        return true;
    }

    const CDupListFile& file_;
    std::vector<Reader> readers_;
};

CDuplicateFinder::CDuplicateFinder(IDuplicateRows& rows, std::vector<uint32_t>& groupOffsets, ICancelPoll& cancel,
                                   IStatusSink& status, FileToolSettings& settings, const std::string& listFolder)
    : CFolderWalker(&cancel, &status),
      rows_(rows),
      groupOffsets_(groupOffsets),
      settings_(settings),
      listFolder_(listFolder) {
    SetExcludedFolders(&settings_.excludedFolders);
}

CDuplicateFinder::~CDuplicateFinder() = default;

bool CDuplicateFinder::CreateListFile() { return list_.Create(DuplicateListPath(listFolder_)); }

DuplicateScanOutcome CDuplicateFinder::ScanDuplicates() {
    LoadExcludedFolders(settings_.excludedFolders);
    skippedTypes_ = {"DLL", "LNK", "SYS"};
    if (settings_.onlyListedTypes) endings_ = CEndingsInForce(LoadDuplicateEndings(settings_));

    rows_.DeleteAllRows();
    groupOffsets_.clear();
    filesVisited = 0;
    recordsWritten = 0;
    listedBytes = 0;
    bytesRead = 0;
    filesOpened = 0;
    contents_ = ContentScan();
    contents_.cancel = cancel_;
    peakDriveRecordBytes = 0;

    if (!CreateListFile()) return DuplicateScanOutcome::ListFileFailed;

    runs_.clear();
    openFolders_.clear();
    openNames_.clear();
    openNameBytes_.clear();
    utf8Names_ = ProcessCodePageIsUtf8();
    namesLeftOut = 0;
    auto walk = [this](const std::string& drive) {
        ClearDriveRecords(false);
        walkRoot_ = drive;
        return WalkDuplicateFolder(drive);
    };
    auto write = [this](const std::string&) {
        status_->SetStatusText("Writing Data...", 0);
        WriteDriveRecords();
        status_->SetStatusText("", 0);
    };
    bool walked = true;
    if (roots.empty()) {
        walked = ScanDrives(settings_.driveMask, walk, write);
    } else {
        for (const std::string& root : roots) {
            if (!walk(root)) {
                walked = false;
                break;
            }
            write(root);
        }
    }
    ClearDriveRecords(true);
    shortFolderOf_.clear();
    shortFolder_.clear();
    shortFolders_.clear();

    bool listed = walked && FindDuplicateGroups();
    list_.Close();
    runs_.clear();
    runs_.shrink_to_fit();
    contents_ = ContentScan();
    std::vector<std::string>().swap(openFolders_);
    std::vector<OpenName>().swap(openNames_);
    std::vector<char>().swap(openNameBytes_);
    if (namesLeftOut > 0)
        status_->ShowNotifierText(Format("%u files were left out: this version of Windows cannot show their names.",
                                         namesLeftOut));
    return listed ? DuplicateScanOutcome::Listed : DuplicateScanOutcome::Cancelled;
}

int CDuplicateFinder::WalkDuplicateFolder(const std::string& folder) { return WalkFolder(folder); }

bool CDuplicateFinder::SkipFile(const WalkEntry& entry) {
    // A symbolic link (or another reparse point, such as a file kept in the cloud) would be
    // read through to its target and listed as a copy of it: recycling the target would leave
    // the link dangling.
    return (entry.attributes & (FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_REPARSE_POINT)) != 0 || entry.length == 0;
}

bool CDuplicateFinder::SkipDirectory(const WalkEntry& entry) {
    if (IsSystemAndHidden(entry.attributes) || IsRecycleBinAtTheTop(entry)) return true;
    EnteringFolder(entry);
    return false;
}

bool CDuplicateFinder::IsRecycleBinAtTheTop(const WalkEntry& entry) const {
    // The Recycle Bin at the top of a drive holds what the user threw away already, whatever
    // its attributes: of Windows 95 and 98, of the NT family before Vista, and of today.
    if (entry.fullPath.size() != walkRoot_.size() + 1 + entry.name.size() ||
        entry.fullPath.compare(0, walkRoot_.size(), walkRoot_) != 0)
        return false;
    for (const char* bin : {"RECYCLED", "RECYCLER", "$Recycle.Bin"})
        if (_stricmp(entry.name.c_str(), bin) == 0) return true;
    return false;
}

const std::string& CDuplicateFinder::ShortFolder(const std::string& folder) {
    while (!shortFolders_.empty() && shortFolders_.back().first != folder) shortFolders_.pop_back();
    if (shortFolders_.empty()) {
        std::string shortForm;
        if (folder.size() == 2 && folder[1] == ':') {
            shortForm = folder;
        } else {
            char buffer[MAX_PATH] = {};
            DWORD n = ::GetShortPathNameA(folder.c_str(), buffer, MAX_PATH);
            if (n > 0 && n < MAX_PATH) shortForm.assign(buffer, n);
        }
        shortFolders_.push_back({folder, shortForm});
    }
    return shortFolders_.back().second;
}

void CDuplicateFinder::EnteringFolder(const WalkEntry& entry) {
    // Asking the system for every folder's short path costs a walk of the path's folders each
    // time; the parent's short path and the folder's alias give it at once. Where names come
    // back altered, the alias may belong to another folder than the walk enters: the system is
    // asked instead.
    if (!utf8Names_) {
        shortFolders_.clear();
        return;
    }
    std::string parent = entry.fullPath.substr(0, entry.fullPath.size() - entry.name.size() - 1);
    std::string shortForm = ShortFolder(parent);
    if (!shortForm.empty()) shortForm += "\\" + (entry.alternateName.empty() ? entry.name : entry.alternateName);
    if (shortForm.size() >= MAX_PATH) shortForm.clear();
    shortFolders_.push_back({entry.fullPath, shortForm});
}

void CDuplicateFinder::OnFile(const WalkEntry& entry) {
    ++filesVisited;
    if (settings_.onlyListedTypes) {
        if (!endings_.Matches(entry.fullPath)) return;
    } else if (entry.name.size() >= 3) {
        std::string last3 = entry.name.substr(entry.name.size() - 3);
        for (const std::string& type : skippedTypes_)
            if (_stricmp(last3.c_str(), type.c_str()) == 0) return;
    }
    size_t folderLength = entry.fullPath.size() - entry.name.size() - 1;
    if (folderLength != shortFolderOf_.size() || entry.fullPath.compare(0, folderLength, shortFolderOf_) != 0) {
        shortFolderOf_.assign(entry.fullPath, 0, folderLength);
        shortFolder_ = ShortFolder(shortFolderOf_);
        openFolders_.push_back(shortFolderOf_);
    }
    if (shortFolder_.empty()) return;
    // The short path is the folder's short path and the file's 8.3 alias (or its name, when
    // that is a short name already): what GetShortPathNameA answers for the full path.
    std::string shortPath = shortFolder_ + "\\" + (entry.alternateName.empty() ? entry.name : entry.alternateName);
    // A short path that does not fit 260 characters is passed over.
    if (shortPath.size() >= MAX_PATH) return;
    // Where names come back altered ("Ωmega.txt" fitted to "Omega.txt"), a path built from them
    // may name another file than the one met, or none: such a file is left out.
    if (!utf8Names_ && !PathNamesTheFile(shortPath, entry.length, entry.lastWrite)) {
        ++namesLeftOut;
        return;
    }
    DuplicateRecord record;
    if (!MakeDuplicateRecord(shortPath, entry.length, entry.lastWrite, record)) return;
    // Where names come back altered the long name may name another file, and a name that
    // fills the "A" calls' buffer may have been cut short (255 bytes are 85 characters in
    // UTF-8): the short path is sure to name this one.
    bool whole = utf8Names_ && entry.name.size() < kLongestWholeName;
    AddRecord(record, whole ? entry.name : std::string());
}

void CDuplicateFinder::AddRecord(const DuplicateRecord& record, const std::string& openName) {
    // The index holds 32-bit offsets; no drive comes near 4 GB of records (40 million files).
    if (driveBytes_.size() + record.DiskSize() > 0xFFFFFFFFull || driveNames_.size() > 0xFFFFFFFFull - MAX_PATH) return;
    DriveEntry e {};
    e.offset = static_cast<uint32_t>(driveBytes_.size());
    e.folder = static_cast<uint32_t>(openFolders_.size() - 1);
    e.nameAt = static_cast<uint32_t>(driveNames_.size());
    e.nameLength = static_cast<uint16_t>(openName.size());
    driveNames_.insert(driveNames_.end(), openName.begin(), openName.end());
    NameParts parts = SplitName(record.shortPath, record.pathLength);
    e.baseStart = static_cast<uint16_t>(parts.name - record.shortPath);
    e.baseLength = static_cast<uint16_t>(parts.baseLength);
    const char* bytes = reinterpret_cast<const char*>(&record);
    driveBytes_.insert(driveBytes_.end(), bytes, bytes + kDupRecordHeader + record.pathLength);
    driveBytes_.push_back('\0');
    driveIndex_.push_back(e);
    peakDriveRecordBytes = std::max(peakDriveRecordBytes, driveBytes_.capacity() + driveNames_.capacity() +
                                                              driveIndex_.capacity() * sizeof(DriveEntry));
}

void CDuplicateFinder::ClearDriveRecords(bool release) {
    driveBytes_.clear();
    driveIndex_.clear();
    driveNames_.clear();
    if (release) {
        driveBytes_.shrink_to_fit();
        driveIndex_.shrink_to_fit();
        driveNames_.shrink_to_fit();
    }
}

void CDuplicateFinder::WriteDriveRecords() {
    const char* base = driveBytes_.data();
    auto lengthOf = [base](const DriveEntry& e) {
        uint32_t low;
        uint16_t high;
        std::memcpy(&low, base + e.offset, 4);
        std::memcpy(&high, base + e.offset + 6, 2);
        return (static_cast<uint64_t>(high) << 32) | low;
    };
    // Stable, so records that compare equal keep the order the walk met them in.
    std::stable_sort(driveIndex_.begin(), driveIndex_.end(), [&](const DriveEntry& a, const DriveEntry& b) {
        SortKey ka {lengthOf(a), base + a.offset + kDupRecordHeader + a.baseStart, a.baseLength};
        SortKey kb {lengthOf(b), base + b.offset + kDupRecordHeader + b.baseStart, b.baseLength};
        return CompareKeys(ka, kb) < 0;
    });

    Run run {list_.Size(), 0, recordsWritten};
    std::vector<char> out;
    out.reserve(256 * 1024);
    bool full = false;
    auto flush = [&](uint32_t records) {
        size_t n = out.size();
        size_t wrote = list_.AppendBytes(out.data(), n);
        if (wrote == n) {
            run.count += records;
        } else {
            // Only the records that reached the file whole are kept; the scan goes on without
            // the rest (the disk is full).
            size_t at = 0;
            while (records > 0 && at < wrote) {
                uint16_t pathLength;
                std::memcpy(&pathLength, out.data() + at + 4, 2);
                at += kDupRecordHeader + pathLength + 1;
                if (at > wrote) break;
                ++run.count;
                --records;
            }
            full = true;
        }
        out.clear();
    };
    uint32_t pending = 0;
    for (const DriveEntry& e : driveIndex_) {
        uint16_t pathLength;
        std::memcpy(&pathLength, base + e.offset + 4, 2);
        size_t size = kDupRecordHeader + pathLength + 1;
        // Positions are 32-bit: a record must start below 4 GB.
        if (list_.Size() + out.size() > 0xFFFFFFFFull) break;
        out.insert(out.end(), base + e.offset, base + e.offset + size);
        openNames_.push_back({e.folder, static_cast<uint32_t>(openNameBytes_.size()), e.nameLength});
        openNameBytes_.insert(openNameBytes_.end(), driveNames_.begin() + e.nameAt,
                              driveNames_.begin() + e.nameAt + e.nameLength);
        ++pending;
        if (out.size() >= 256 * 1024) {
            flush(pending);
            pending = 0;
            if (full) break;
        }
    }
    if (!full && !out.empty()) flush(pending);
    recordsWritten += run.count;
    // Records that did not reach the file have no names to open either.
    openNames_.resize(recordsWritten);
    runs_.push_back(run);
    ClearDriveRecords(false);
}

int CDuplicateFinder::CompareRecords(uint32_t a, uint32_t b) const {
    if (!list_.IsOpen()) return 0;
    DuplicateRecord ra, rb;
    list_.ReadAt(a, ra);
    list_.ReadAt(b, rb);
    return CompareRecordContents(ra, rb);
}

bool CDuplicateFinder::ProcessRun(const std::vector<RunMember>& run, const std::vector<char>& runPaths,
                                  uint64_t length, std::vector<uint64_t>& groupSizes,
                                  std::vector<uint32_t>& groupStarts) {
    if (run.size() < 2) return true;
    auto nameOf = [&](const RunMember& m) {
        NameParts parts = SplitName(runPaths.data() + m.pathAt, m.pathLength);
        return std::make_pair(parts.name, parts.nameLength);
    };
    // The records that pass the name and time tests with one another: equal names (with their
    // extensions) and equal times, as the criteria ask. Sorting keeps the run's order within.
    std::vector<uint32_t> order(run.size());
    for (uint32_t i = 0; i < order.size(); ++i) order[i] = i;
    auto compare = [&](uint32_t a, uint32_t b) {
        if (settings_.matchName) {
            auto na = nameOf(run[a]), nb = nameOf(run[b]);
            int r = CompareNoCase(na.first, na.second, nb.first, nb.second);
            if (r != 0) return r;
        }
        if (settings_.matchTime) {
            if (run[a].writeTime != run[b].writeTime) return run[a].writeTime < run[b].writeTime ? -1 : 1;
        }
        return 0;
    };
    std::stable_sort(order.begin(), order.end(), [&](uint32_t a, uint32_t b) { return compare(a, b) < 0; });

    std::vector<std::vector<uint32_t>> groups;  // run indexes
    for (size_t i = 0; i < order.size();) {
        size_t j = i + 1;
        while (j < order.size() && compare(order[i], order[j]) == 0) ++j;
        if (j - i >= 2) {
            std::vector<uint32_t> members(order.begin() + i, order.begin() + j);
            std::sort(members.begin(), members.end());
            std::vector<std::string> paths;
            for (uint32_t m : members) paths.push_back(OpenPath(run[m], runPaths));
            if (settings_.matchContents) {
                auto sets = SplitByContents(paths, length, &contents_);
                bytesRead = contents_.stats.bytesRead;
                filesOpened = contents_.stats.filesOpened;
                if (contents_.cancelled) return false;
                for (const auto& set : sets) {
                    groups.emplace_back();
                    for (uint32_t k : set) groups.back().push_back(members[k]);
                }
            } else {
                std::vector<uint32_t> distinct = DistinctFiles(paths, length, &contents_);
                if (distinct.size() >= 2) {
                    groups.emplace_back();
                    for (uint32_t k : distinct) groups.back().push_back(members[k]);
                }
            }
        }
        i = j;
    }
    // Groups in the order the run met their first files.
    std::sort(groups.begin(), groups.end(),
              [](const std::vector<uint32_t>& a, const std::vector<uint32_t>& b) { return a[0] < b[0]; });
    for (const auto& group : groups) {
        groupStarts.push_back(static_cast<uint32_t>(groupOffsets_.size()));
        for (uint32_t m : group) {
            groupOffsets_.push_back(run[m].position);
            groupSizes.push_back(length);
        }
    }
    return true;
}

std::string CDuplicateFinder::OpenPath(const RunMember& m, const std::vector<char>& runPaths) const {
    if (m.record < openNames_.size() && openNames_[m.record].length > 0) {
        const OpenName& name = openNames_[m.record];
        const std::string& folder = openFolders_[name.folder];
        std::string path;
        path.reserve(folder.size() + 1 + name.length);
        path.append(folder).append(1, '\\').append(openNameBytes_.data() + name.at, name.length);
        return path;
    }
    return std::string(runPaths.data() + m.pathAt, m.pathLength);
}

bool CDuplicateFinder::FindDuplicateGroups() {
    status_->SetStatusText("Grouping files of same size..", 0);
    RunMerger sorted(list_, runs_);

    status_->SetStatusText("Finding duplicates..0 %", 0);
    groupOffsets_.clear();
    std::vector<uint64_t> groupSizes;
    std::vector<uint32_t> groupStarts;
    uint64_t n = 0;
    for (const Run& r : runs_) n += r.count;

    // A run holds the records of one length and, when names must match, one name (the sort
    // puts them together); its files are tested together once it is complete, so each is
    // opened and read at most once, and every set of matching files is found, not only the set
    // that matches the run's first record.
    std::vector<RunMember> run;
    std::vector<char> runPaths;
    uint64_t runLength = 0;
    std::string runBase;
    auto cancelled = [this] {
        groupOffsets_.clear();
        status_->SetStatusText("Cancelled", 0);
        return false;
    };
    DuplicateRecord current;
    uint32_t position = 0, number = 0;
    for (uint64_t i = 0; i < n && sorted.Next(current, position, number); ++i) {
        if ((i + 1) % 10 == 0) {
            if (cancel_->checkCancelled()) return cancelled();
            status_->SetStatusText(Format("Finding duplicates..%d %%", static_cast<int>(100 * (i + 1) / n)), 0);
        }
        SortKey key = KeyOf(current);
        bool sameRun = i > 0 && key.length == runLength &&
                       (!settings_.matchName ||
                        CompareNoCase(key.base, key.baseLength, runBase.data(), runBase.size()) == 0);
        if (!sameRun) {
            if (!ProcessRun(run, runPaths, runLength, groupSizes, groupStarts)) return cancelled();
            run.clear();
            runPaths.clear();
            runLength = key.length;
            runBase.assign(key.base, key.baseLength);
        }
        RunMember m;
        m.position = position;
        m.record = number;
        m.pathAt = static_cast<uint32_t>(runPaths.size());
        m.pathLength = current.pathLength;
        m.writeTime = current.WriteTime();
        runPaths.insert(runPaths.end(), current.shortPath, current.shortPath + current.pathLength);
        run.push_back(m);
    }
    if (!ProcessRun(run, runPaths, runLength, groupSizes, groupStarts)) return cancelled();

    status_->SetStatusText("Listing duplicates..", 0);
    ListGroups(groupSizes, groupStarts);
    return true;
}

void CDuplicateFinder::ListGroups(const std::vector<uint64_t>& groupSizes, const std::vector<uint32_t>& groupStarts) {
    uint32_t m = static_cast<uint32_t>(groupOffsets_.size());
    rows_.BeginRows(static_cast<int>(m + groupStarts.size()));
    uint64_t total = 0;
    size_t nextGroup = 0;
    for (uint32_t j = 0; j < m; ++j) {
        if (nextGroup < groupStarts.size() && groupStarts[nextGroup] == j) {
            rows_.AddSeparatorRow(m);
            ++nextGroup;
        }
        rows_.AddDuplicateRow(FormatSize(groupSizes[j]), j);
        total += groupSizes[j];
    }
    rows_.EndRows();
    listedBytes = total;
    uint64_t mb = total / 1048576 + (total % 1048576 ? 1 : 0);
    status_->SetStatusText(Format("%u possible duplicates files found from %u files (%llu MB)", m, filesVisited,
                                  static_cast<unsigned long long>(mb)),
                           0);
}
