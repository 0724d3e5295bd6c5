#include "duplicates/samecontents.h"

#include "duplicates/crc32.h"

#include <windows.h>
#include <winternl.h>

#include <algorithm>
#include <cstring>
#include <unordered_map>
#include <unordered_set>

namespace {

constexpr size_t kFirstBlock = 4096;
// What the blocks of one read step may take together, and the largest block.
constexpr size_t kBlockBudget = 16u << 20;
constexpr size_t kLargestBlock = 1u << 20;
constexpr DWORD kPollInterval = 100;  // milliseconds

// Others may read the file as well; one that someone is writing cannot be opened, and is
// nobody's copy while it changes.
HANDLE OpenForContents(const std::string& path) {
    return ::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                         FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
}

bool ShortOfResources(DWORD error) {
    return error == ERROR_TOO_MANY_OPEN_FILES || error == ERROR_NO_SYSTEM_RESOURCES ||
           error == ERROR_NOT_ENOUGH_MEMORY || error == ERROR_OUTOFMEMORY || error == ERROR_NOT_ENOUGH_QUOTA;
}

// Which file a handle reaches: the volume and the file's number on it. The number is asked
// as FileInternalInformation, which costs a microsecond where FILE_ID_INFO or
// GetFileInformationByHandle cost a millisecond under Wine (they ask for the volume too); the
// volume comes from the path, once per drive.
struct FileIdentity {
    int kind = 0;  // 0 unknown, 1 FileInternalInformation, 2 BY_HANDLE_FILE_INFORMATION
    uint64_t volume = 0;
    uint64_t index = 0;
    bool operator==(const FileIdentity& o) const { return kind == o.kind && volume == o.volume && index == o.index; }
};

struct IdentityHash {
    size_t operator()(const FileIdentity& i) const {
        return std::hash<uint64_t>()(i.index ^ (i.volume * 0x9E3779B97F4A7C15ull) ^ static_cast<uint64_t>(i.kind));
    }
};

using QueryInformationFileFn = LONG(NTAPI*)(HANDLE, IO_STATUS_BLOCK*, void*, ULONG, int);
constexpr int kFileInternalInformation = 6;

QueryInformationFileFn QueryInformationFile() {
    static QueryInformationFileFn fn = reinterpret_cast<QueryInformationFileFn>(
        ::GetProcAddress(::GetModuleHandleA("ntdll.dll"), "NtQueryInformationFile"));
    return fn;
}

FileIdentity IdentityOf(HANDLE h, const std::string& path, CVolumeSerials& volumes) {
    FileIdentity id;
    IO_STATUS_BLOCK io {};
    LARGE_INTEGER index {};
    if (QueryInformationFile() && QueryInformationFile()(h, &io, &index, sizeof index, kFileInternalInformation) >= 0) {
        id.kind = 1;
        id.volume = volumes.Of(path);
        id.index = static_cast<uint64_t>(index.QuadPart);
        return id;
    }
    BY_HANDLE_FILE_INFORMATION bh {};
    if (::GetFileInformationByHandle(h, &bh)) {
        id.kind = 2;
        id.volume = bh.dwVolumeSerialNumber;
        id.index = (static_cast<uint64_t>(bh.nFileIndexHigh) << 32) | bh.nFileIndexLow;
    }
    return id;
}

// Asks the cancel poll at most every kPollInterval milliseconds.
class Poller {
public:
    explicit Poller(ICancelPoll* cancel) : cancel_(cancel), last_(::GetTickCount()) {}
    bool Cancelled() {
        if (!cancel_ || cancelled_) return cancelled_;
        DWORD now = ::GetTickCount();
        if (now - last_ < kPollInterval) return false;
        last_ = now;
        cancelled_ = cancel_->checkCancelled();
        return cancelled_;
    }

private:
    ICancelPoll* cancel_;
    DWORD last_;
    bool cancelled_ = false;
};

// Reads the next `n` bytes into `buffer`; for the last block of a file it asks one byte more,
// which must not come: a file that grew since the walk is not the file that was measured.
// `buffer` must hold n + 1 bytes.
bool ReadExactly(HANDLE h, char* buffer, size_t n, bool last, ContentStats& stats) {
    size_t want = n + (last ? 1 : 0);
    size_t done = 0;
    while (done < want) {
        DWORD got = 0;
        DWORD ask = static_cast<DWORD>(std::min<size_t>(want - done, 1u << 30));
        if (!::ReadFile(h, buffer + done, ask, &got, nullptr)) return false;
        if (got == 0) break;
        done += got;
    }
    stats.bytesRead += done;
    return done == n;
}

void Close(HANDLE& h) {
    if (h != INVALID_HANDLE_VALUE) ::CloseHandle(h);
    h = INVALID_HANDLE_VALUE;
}

// Splits the positions 0 .. count-1 by the `n` bytes that `block(position)` points at, in
// linear time: each block is compared with the first kind met, and only when it differs is it
// sorted by its CRC-32 and compared byte for byte with the kinds of the same CRC. Answers the
// kinds in the order of their first position, positions ascending within each.
template <class BlockAt>
std::vector<std::vector<uint32_t>> SplitByBlock(size_t count, size_t n, BlockAt block) {
    std::vector<std::vector<uint32_t>> kinds;
    std::unordered_multimap<uint32_t, uint32_t> byCrc;  // CRC-32 of a kind's first block -> kind
    for (uint32_t p = 0; p < count; ++p) {
        const char* b = block(p);
        if (!kinds.empty() && std::memcmp(b, block(kinds[0][0]), n) == 0) {
            kinds[0].push_back(p);
            continue;
        }
        if (kinds.size() == 1) byCrc.emplace(Crc32Update(kCrc32Start, block(kinds[0][0]), n), 0);
        uint32_t crc = kinds.empty() ? 0 : Crc32Update(kCrc32Start, b, n);
        int found = -1;
        auto range = byCrc.equal_range(crc);
        for (auto it = range.first; it != range.second && found < 0; ++it)
            if (std::memcmp(b, block(kinds[it->second][0]), n) == 0) found = static_cast<int>(it->second);
        if (found >= 0) {
            kinds[found].push_back(p);
            continue;
        }
        if (!kinds.empty()) byCrc.emplace(crc, static_cast<uint32_t>(kinds.size()));
        kinds.push_back({p});
    }
    return kinds;
}

class CContentSplitter {
public:
    CContentSplitter(const std::vector<std::string>& paths, uint64_t length, ContentScan& scan)
        : paths_(paths),
          length_(length),
          stats_(scan.stats),
          volumes_(scan.volumes),
          scratch_(scan.scratch),
          poller_(scan.cancel) {}

    enum Outcome { Done, ShortOfHandles, Cancelled };

    // All the files open at once, read in lock step: each is read at most once.
    Outcome Together(const std::vector<uint32_t>& indexes, std::vector<std::vector<uint32_t>>& sets);
    // One file at a time: a CRC-32 of each whole file, then the files of equal CRCs compared
    // two at a time. For sets too large to hold open.
    Outcome InTurn(const std::vector<uint32_t>& indexes, std::vector<std::vector<uint32_t>>& sets);

private:
    struct Open {
        HANDLE h;
        uint32_t index;
    };
    Outcome Follow(std::vector<Open> files, uint64_t offset, std::vector<std::vector<uint32_t>>& sets);

    const std::vector<std::string>& paths_;
    uint64_t length_;
    ContentStats& stats_;
    CVolumeSerials& volumes_;
    CScratch& scratch_;
    Poller poller_;
};

CContentSplitter::Outcome CContentSplitter::Together(const std::vector<uint32_t>& indexes,
                                                     std::vector<std::vector<uint32_t>>& sets) {
    // Files small enough that all of them fit the budget together are read whole at once:
    // a second read would cost more than the bytes it spares. Larger ones first show their
    // first 4 KiB.
    const size_t share = std::min(kLargestBlock, kBlockBudget / indexes.size());
    const size_t first = static_cast<size_t>(length_ <= share ? length_ : std::min<uint64_t>(length_, kFirstBlock));
    const bool whole = first == length_;
    const size_t stride = first + 1;
    char* blocks = scratch_.Get(indexes.size() * stride);
    std::vector<Open> files;
    files.reserve(indexes.size());
    std::unordered_set<FileIdentity, IdentityHash> seen;
    auto closeAll = [&files] {
        for (Open& f : files) Close(f.h);
    };
    for (uint32_t index : indexes) {
        if (poller_.Cancelled()) {
            closeAll();
            return Cancelled;
        }
        HANDLE h = OpenForContents(paths_[index]);
        if (h == INVALID_HANDLE_VALUE) {
            if (ShortOfResources(::GetLastError())) {
                closeAll();
                return ShortOfHandles;
            }
            continue;
        }
        ++stats_.filesOpened;
        FileIdentity id = IdentityOf(h, paths_[index], volumes_);
        if ((id.kind != 0 && !seen.insert(id).second) ||
            !ReadExactly(h, blocks + files.size() * stride, first, whole, stats_)) {
            Close(h);
            continue;
        }
        // A file read whole needs its handle no more.
        if (whole) Close(h);
        files.push_back({h, index});
    }

    // The blocks are not needed past this split: Follow reads into the same memory.
    auto kinds = SplitByBlock(files.size(), first, [&](uint32_t p) { return blocks + p * stride; });
    Outcome outcome = Done;
    for (auto& kind : kinds) {
        std::vector<Open> same;
        for (uint32_t p : kind) same.push_back(files[p]);
        if (same.size() < 2 || outcome != Done) {
            for (Open& f : same) Close(f.h);
        } else if (whole) {
            sets.emplace_back();
            for (const Open& f : same) sets.back().push_back(f.index);
        } else {
            outcome = Follow(std::move(same), first, sets);
        }
    }
    return outcome;
}

CContentSplitter::Outcome CContentSplitter::Follow(std::vector<Open> files, uint64_t offset,
                                                   std::vector<std::vector<uint32_t>>& sets) {
    struct Work {
        std::vector<Open> files;
        uint64_t offset;
    };
    std::vector<Work> pending;
    pending.push_back({std::move(files), offset});
    while (!pending.empty()) {
        Work work = std::move(pending.back());
        pending.pop_back();
        // The more files read together, the smaller the block: memory stays within the budget.
        size_t block = std::min(kLargestBlock, std::max(kFirstBlock, kBlockBudget / work.files.size()));
        block -= block % kFirstBlock;
        uint64_t rest = length_ - work.offset;
        if (rest < block) block = static_cast<size_t>((rest + kFirstBlock - 1) / kFirstBlock * kFirstBlock);
        const size_t stride = block + 1;
        char* buffer = scratch_.Get(work.files.size() * stride);
        while (!work.files.empty()) {
            size_t n = static_cast<size_t>(std::min<uint64_t>(block, length_ - work.offset));
            bool last = work.offset + n == length_;
            std::vector<Open> alive;
            for (Open& f : work.files) {
                if (poller_.Cancelled()) {
                    for (Open& g : work.files) Close(g.h);
                    for (Open& g : alive) Close(g.h);
                    for (Work& w : pending)
                        for (Open& g : w.files) Close(g.h);
                    return Cancelled;
                }
                if (ReadExactly(f.h, buffer + alive.size() * stride, n, last, stats_)) {
                    alive.push_back(f);
                    f.h = INVALID_HANDLE_VALUE;
                } else {
                    Close(f.h);
                }
            }
            work.offset += n;
            auto kinds = SplitByBlock(alive.size(), n, [&](uint32_t p) { return buffer + p * stride; });
            work.files.clear();
            for (auto& kind : kinds) {
                std::vector<Open> same;
                for (uint32_t p : kind) same.push_back(alive[p]);
                if (same.size() < 2) {
                    Close(same[0].h);
                } else if (last) {
                    sets.emplace_back();
                    for (Open& f : same) {
                        sets.back().push_back(f.index);
                        Close(f.h);
                    }
                } else if (work.files.empty()) {
                    work.files = std::move(same);
                } else {
                    pending.push_back({std::move(same), work.offset});
                }
            }
        }
    }
    return Done;
}

CContentSplitter::Outcome CContentSplitter::InTurn(const std::vector<uint32_t>& indexes,
                                                   std::vector<std::vector<uint32_t>>& sets) {
    std::unordered_set<FileIdentity, IdentityHash> seen;
    std::vector<std::pair<uint32_t, uint32_t>> sums;  // CRC-32, index
    std::vector<char> buffer(64 * 1024 + 1);
    for (uint32_t index : indexes) {
        if (poller_.Cancelled()) return Cancelled;
        HANDLE h = OpenForContents(paths_[index]);
        if (h == INVALID_HANDLE_VALUE) continue;
        ++stats_.filesOpened;
        FileIdentity id = IdentityOf(h, paths_[index], volumes_);
        bool ok = id.kind == 0 || seen.insert(id).second;
        uint32_t crc = kCrc32Start;
        for (uint64_t at = 0; ok && at < length_;) {
            size_t n = static_cast<size_t>(std::min<uint64_t>(buffer.size() - 1, length_ - at));
            ok = ReadExactly(h, buffer.data(), n, at + n == length_, stats_);
            crc = Crc32Update(crc, buffer.data(), n);
            at += n;
        }
        Close(h);
        if (ok) sums.push_back({crc, index});
    }
    std::stable_sort(sums.begin(), sums.end(),
                     [](const std::pair<uint32_t, uint32_t>& a, const std::pair<uint32_t, uint32_t>& b) {
                         return a.first < b.first;
                     });
    for (size_t i = 0; i < sums.size();) {
        size_t j = i;
        std::vector<uint32_t> remaining;
        while (j < sums.size() && sums[j].first == sums[i].first) remaining.push_back(sums[j++].second);
        i = j;
        std::sort(remaining.begin(), remaining.end());
        // Equal CRCs are compared byte for byte with the first file; the ones that differ
        // (a collision) go round again among themselves.
        while (remaining.size() >= 2) {
            std::vector<uint32_t> same {remaining[0]}, differ;
            for (size_t k = 1; k < remaining.size(); ++k) {
                std::vector<std::vector<uint32_t>> pair;
                Outcome o = Together({remaining[0], remaining[k]}, pair);
                if (o == Cancelled) return Cancelled;
                (pair.empty() ? differ : same).push_back(remaining[k]);
            }
            if (same.size() >= 2) sets.push_back(same);
            remaining.swap(differ);
        }
    }
    return Done;
}

}  // namespace

uint32_t CVolumeSerials::Of(const std::string& path) {
    // The root: "X:\" for a drive, "\\server\share\" for a share.
    std::string root;
    if (path.size() >= 2 && path[1] == ':') {
        root = path.substr(0, 2) + "\\";
    } else if (path.compare(0, 2, "\\\\") == 0) {
        size_t share = path.find('\\', 2);
        size_t end = share == std::string::npos ? std::string::npos : path.find('\\', share + 1);
        root = path.substr(0, end == std::string::npos ? path.size() : end) + "\\";
    }
    for (const auto& k : known_)
        if (::lstrcmpiA(k.first.c_str(), root.c_str()) == 0) return k.second;
    DWORD serial = 0;
    if (!root.empty()) ::GetVolumeInformationA(root.c_str(), nullptr, 0, &serial, nullptr, nullptr, nullptr, 0);
    known_.push_back({root, serial});
    return serial;
}

std::vector<std::vector<uint32_t>> SplitByContents(const std::vector<std::string>& paths, uint64_t length,
                                                   ContentScan* scan) {
    ContentScan local;
    ContentScan& s = scan ? *scan : local;
    std::vector<std::vector<uint32_t>> sets;
    if (paths.size() < 2 || length == 0 || s.cancelled) return sets;
    std::vector<uint32_t> all(paths.size());
    for (uint32_t i = 0; i < all.size(); ++i) all[i] = i;

    CContentSplitter splitter(paths, length, s);
    CContentSplitter::Outcome outcome = CContentSplitter::ShortOfHandles;
    if (paths.size() <= s.maxOpenFiles) outcome = splitter.Together(all, sets);
    if (outcome == CContentSplitter::ShortOfHandles) {
        sets.clear();
        outcome = splitter.InTurn(all, sets);
    }
    if (outcome == CContentSplitter::Cancelled) {
        s.cancelled = true;
        sets.clear();
    }
    std::sort(sets.begin(), sets.end(),
              [](const std::vector<uint32_t>& a, const std::vector<uint32_t>& b) { return a[0] < b[0]; });
    return sets;
}

std::vector<uint32_t> DistinctFiles(const std::vector<std::string>& paths, uint64_t length, ContentScan* scan) {
    ContentScan local;
    ContentScan& s = scan ? *scan : local;
    std::vector<uint32_t> kept;
    std::unordered_set<FileIdentity, IdentityHash> seen;
    for (uint32_t i = 0; i < paths.size(); ++i) {
        // Opening for the attributes alone neither reads the file nor minds who else has it open.
        HANDLE h = ::CreateFileA(paths[i].c_str(), FILE_READ_ATTRIBUTES,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                 FILE_FLAG_BACKUP_SEMANTICS, nullptr);
        if (h == INVALID_HANDLE_VALUE) continue;
        FileIdentity id = IdentityOf(h, paths[i], s.volumes);
        LARGE_INTEGER size {};
        bool sameLength = ::GetFileSizeEx(h, &size) && static_cast<uint64_t>(size.QuadPart) == length;
        ::CloseHandle(h);
        if (sameLength && (id.kind == 0 || seen.insert(id).second)) kept.push_back(i);
    }
    return kept;
}

bool SameContents(const std::string& a, const std::string& b, ContentStats* stats) {
    WIN32_FILE_ATTRIBUTE_DATA da {}, db {};
    if (!::GetFileAttributesExA(a.c_str(), GetFileExInfoStandard, &da) ||
        !::GetFileAttributesExA(b.c_str(), GetFileExInfoStandard, &db))
        return false;
    uint64_t la = (static_cast<uint64_t>(da.nFileSizeHigh) << 32) | da.nFileSizeLow;
    uint64_t lb = (static_cast<uint64_t>(db.nFileSizeHigh) << 32) | db.nFileSizeLow;
    if (la != lb) return false;
    ContentScan scan;
    bool same = SplitByContents({a, b}, la, &scan).size() == 1;
    if (stats) {
        stats->bytesRead += scan.stats.bytesRead;
        stats->filesOpened += scan.stats.filesOpened;
    }
    return same;
}
