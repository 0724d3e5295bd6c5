#include "duplicates/dupscan.h"

#include "duplicates/crc32.h"
#include "framework/strings.h"

#include <mbstring.h>

#include <algorithm>
#include <cstring>

namespace {

constexpr DWORD kBlock = 4096;

// Read-only, others may read too; sequential reading; the attribute bits read-only, hidden,
// system and archive.
HANDLE OpenForContents(const std::string& path) {
    return ::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                         FILE_FLAG_SEQUENTIAL_SCAN | 0x27, nullptr);
}

class FileHandle {
public:
    explicit FileHandle(HANDLE h) : h_(h) {}
    ~FileHandle() {
        if (ok()) ::CloseHandle(h_);
    }
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    bool ok() const { return h_ != INVALID_HANDLE_VALUE; }
    bool Read(void* buffer, DWORD n, DWORD& got) { return ::ReadFile(h_, buffer, n, &got, nullptr) != FALSE; }

private:
    HANDLE h_;
};

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

// The register after the first block of a file and the block's size, as one number: two files
// whose first blocks give different numbers are never found equal by SameContents. -1 when the
// file cannot be opened or read.
int64_t FirstBlockKey(const std::string& path, uint64_t& hashed) {
    FileHandle f(OpenForContents(path));
    if (!f.ok()) return -1;
    char buffer[kBlock];
    DWORD got = 0;
    if (!f.Read(buffer, kBlock, got)) return -1;
    hashed += got;
    return (static_cast<int64_t>(got) << 32) | Crc32Update(kCrc32Start, buffer, got);
}

bool SameNameAndExtension(const DuplicateRecord& a, const DuplicateRecord& b) {
    NameParts pa = SplitName(a.shortPath, a.pathLength);
    NameParts pb = SplitName(b.shortPath, b.pathLength);
    return CompareNoCase(pa.name, pa.nameLength, pb.name, pb.nameLength) == 0;
}

}  // namespace

std::string DuplicateListFailureText(const std::string& folder) {
    return "Unable to open " + DuplicateListPath(folder) + ". Cannot continue";
}

bool SameContents(const std::string& a, const std::string& b, uint64_t* bytesHashed) {
    FileHandle fa(OpenForContents(a));
    if (!fa.ok()) return false;
    FileHandle fb(OpenForContents(b));
    if (!fb.ok()) return false;

    uint32_t ra = kCrc32Start, rb = kCrc32Start;
    char bufferA[kBlock], bufferB[kBlock];
    DWORD na = 0, nb = 0;
    if (!fa.Read(bufferA, kBlock, na) || !fb.Read(bufferB, kBlock, nb)) return false;
    uint64_t hashed = 0;
    bool same = false;
    for (;;) {
        // Equal lengths line the blocks up; files that changed since the walk no longer do, and
        // one that ends before the other is not equal to it whatever came before.
        if (na != nb) break;
        if (na == 0) {
            same = ra == rb;
            break;
        }
        if (ra != rb) break;
        ra = Crc32Update(ra, bufferA, na);
        rb = Crc32Update(rb, bufferB, nb);
        hashed += 2ull * na;
        if (!fa.Read(bufferA, kBlock, na) || !fb.Read(bufferB, kBlock, nb)) break;
    }
    if (bytesHashed) *bytesHashed += hashed;
    return same;
}

int CompareRecordContents(const DuplicateRecord& a, const DuplicateRecord& b) { return CompareKeys(KeyOf(a), KeyOf(b)); }

// One record of the drive being walked: where its bytes start in the packed buffer, and its
// sort key's place there.
struct CDuplicateFinder::DriveEntry {
    uint32_t offset;
    uint16_t baseStart;  // from the start of the path
    uint16_t baseLength;
};

// A group being formed: its anchor (the first record of it) and the records that matched it.
struct CDuplicateFinder::Candidate {
    DuplicateRecord anchor;
    uint32_t anchorPosition;
    int64_t key = -2;  // FirstBlockKey of the anchor; -2 not asked yet
    std::vector<uint32_t> members;
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
            reader.live = Advance(reader);
        }
    }

    bool Next(DuplicateRecord& record, uint32_t& position) {
        Reader* best = nullptr;
        for (Reader& r : readers_)
            if (r.live && (!best || CompareKeys(r.key, best->key) < 0)) best = &r;
        if (!best) return false;
        record = best->head;
        position = best->headPosition;
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
        SortKey key {};
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
        r.used += r.head.DiskSize();
        --r.remaining;
        r.key = KeyOf(r.head);
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
    if (settings_.onlyListedTypes) endings_ = LoadDuplicateEndings(settings_);

    rows_.DeleteAllRows();
    groupOffsets_.clear();
    filesVisited = 0;
    recordsWritten = 0;
    listedBytes = 0;
    bytesHashed = 0;
    contentTests = 0;
    peakDriveRecordBytes = 0;

    if (!CreateListFile()) return DuplicateScanOutcome::ListFileFailed;

    runs_.clear();
    auto walk = [this](const std::string& drive) {
        ClearDriveRecords(false);
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

    bool listed = walked && FindDuplicateGroups();
    list_.Close();
    runs_.clear();
    runs_.shrink_to_fit();
    return listed ? DuplicateScanOutcome::Listed : DuplicateScanOutcome::Cancelled;
}

int CDuplicateFinder::WalkDuplicateFolder(const std::string& folder) { return WalkFolder(folder); }

bool CDuplicateFinder::SkipFile(const WalkEntry& entry) {
    return (entry.attributes & FILE_ATTRIBUTE_SYSTEM) != 0 || entry.length == 0;
}

bool CDuplicateFinder::SkipDirectory(const WalkEntry& entry) { return IsSystemAndHidden(entry.attributes); }

void CDuplicateFinder::OnFile(const WalkEntry& entry) {
    ++filesVisited;
    if (settings_.onlyListedTypes) {
        if (!MatchesDuplicateEnding(entry.fullPath, endings_)) return;
    } else if (entry.name.size() >= 3) {
        std::string last3 = entry.name.substr(entry.name.size() - 3);
        for (const std::string& type : skippedTypes_)
            if (_stricmp(last3.c_str(), type.c_str()) == 0) return;
    }
    // The short path is the folder's short path and the file's 8.3 alias (or its name, when
    // that is a short name already): what GetShortPathNameA answers for the full path, without
    // asking the file system about every folder of the path once per file.
    size_t folderLength = entry.fullPath.size() - entry.name.size() - 1;
    if (folderLength != shortFolderOf_.size() || entry.fullPath.compare(0, folderLength, shortFolderOf_) != 0) {
        shortFolderOf_ = entry.fullPath.substr(0, folderLength);
        shortFolder_.clear();
        if (shortFolderOf_.size() == 2 && shortFolderOf_[1] == ':') {
            shortFolder_ = shortFolderOf_;
        } else {
            char buffer[MAX_PATH] = {};
            DWORD n = ::GetShortPathNameA(shortFolderOf_.c_str(), buffer, MAX_PATH);
            if (n > 0 && n < MAX_PATH) shortFolder_.assign(buffer, n);
        }
    }
    if (shortFolder_.empty()) return;
    std::string shortPath = shortFolder_ + "\\" + (entry.alternateName.empty() ? entry.name : entry.alternateName);
    // A short path that does not fit 260 characters is passed over.
    if (shortPath.size() >= MAX_PATH) return;
    DuplicateRecord record;
    if (!MakeDuplicateRecord(shortPath, entry.length, entry.lastWrite, record)) return;
    AddRecord(record);
}

void CDuplicateFinder::AddRecord(const DuplicateRecord& record) {
    // The index holds 32-bit offsets; no drive comes near 4 GB of records (40 million files).
    if (driveBytes_.size() + record.DiskSize() > 0xFFFFFFFFull) return;
    DriveEntry e {};
    e.offset = static_cast<uint32_t>(driveBytes_.size());
    NameParts parts = SplitName(record.shortPath, record.pathLength);
    e.baseStart = static_cast<uint16_t>(parts.name - record.shortPath);
    e.baseLength = static_cast<uint16_t>(parts.baseLength);
    const char* bytes = reinterpret_cast<const char*>(&record);
    driveBytes_.insert(driveBytes_.end(), bytes, bytes + kDupRecordHeader + record.pathLength);
    driveBytes_.push_back('\0');
    driveIndex_.push_back(e);
    peakDriveRecordBytes = std::max(peakDriveRecordBytes,
                                    driveBytes_.capacity() + driveIndex_.capacity() * sizeof(DriveEntry));
}

void CDuplicateFinder::ClearDriveRecords(bool release) {
    driveBytes_.clear();
    driveIndex_.clear();
    if (release) {
        driveBytes_.shrink_to_fit();
        driveIndex_.shrink_to_fit();
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

    Run run {list_.Size(), 0};
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
        ++pending;
        if (out.size() >= 256 * 1024) {
            flush(pending);
            pending = 0;
            if (full) break;
        }
    }
    if (!full && !out.empty()) flush(pending);
    recordsWritten += run.count;
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

bool CDuplicateFinder::Matches(Candidate& anchor, const DuplicateRecord& current, int64_t& currentKey,
                               bool& contentsTried) {
    if (settings_.matchName && !SameNameAndExtension(anchor.anchor, current)) return false;
    if (settings_.matchTime && ::CompareFileTime(&anchor.anchor.lastWriteTime, &current.lastWriteTime) != 0)
        return false;
    if (!settings_.matchContents) return true;
    // Once the record has failed one contents test, the first blocks are compared before any
    // further one: a record that differs from many anchors is then read once, not once each.
    if (contentsTried) {
        if (currentKey == -2) currentKey = FirstBlockKey(current.shortPath, bytesHashed);
        if (anchor.key == -2) anchor.key = FirstBlockKey(anchor.anchor.shortPath, bytesHashed);
        if (currentKey == -1 || anchor.key == -1 || currentKey != anchor.key) return false;
    }
    contentsTried = true;
    ++contentTests;
    return SameContents(anchor.anchor.shortPath, current.shortPath, &bytesHashed);
}

void CDuplicateFinder::CloseRun(std::vector<Candidate>& run, std::vector<uint64_t>& groupSizes,
                                std::vector<uint32_t>& groupStarts) {
    for (const Candidate& c : run) {
        if (c.members.empty()) continue;
        uint64_t length = c.anchor.FileLength();
        groupStarts.push_back(static_cast<uint32_t>(groupOffsets_.size()));
        groupOffsets_.push_back(c.anchorPosition);
        groupSizes.push_back(length);
        for (uint32_t m : c.members) {
            groupOffsets_.push_back(m);
            groupSizes.push_back(length);
        }
    }
    run.clear();
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

    // The records of one run: equal length and, when names must match, equal name (the sort
    // puts those together). A record joins the first group of its run whose anchor it matches,
    // or becomes the anchor of a group of its own, so every set of matching files is found,
    // not only the set that matches the run's first record.
    std::vector<Candidate> run;
    DuplicateRecord runFirst;
    SortKey runKey {};
    DuplicateRecord current;
    uint32_t position = 0;
    for (uint64_t i = 0; i < n && sorted.Next(current, position); ++i) {
        if ((i + 1) % 10 == 0) {
            if (cancel_->checkCancelled()) {
                groupOffsets_.clear();
                status_->SetStatusText("Cancelled", 0);
                return false;
            }
            status_->SetStatusText(Format("Finding duplicates..%d %%", static_cast<int>(100 * (i + 1) / n)), 0);
        }
        SortKey key = KeyOf(current);
        bool sameRun = i > 0 && key.length == runKey.length &&
                       (!settings_.matchName ||
                        CompareNoCase(key.base, key.baseLength, runKey.base, runKey.baseLength) == 0);
        bool placed = false;
        if (sameRun) {
            int64_t currentKey = -2;
            bool contentsTried = false;
            for (Candidate& c : run) {
                if (Matches(c, current, currentKey, contentsTried)) {
                    c.members.push_back(position);
                    placed = true;
                    break;
                }
            }
        } else {
            CloseRun(run, groupSizes, groupStarts);
        }
        if (!placed) {
            run.emplace_back();
            run.back().anchor = current;
            run.back().anchorPosition = position;
        }
        if (!sameRun) {
            runFirst = current;
            runKey = KeyOf(runFirst);
        }
    }
    CloseRun(run, groupSizes, groupStarts);

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
