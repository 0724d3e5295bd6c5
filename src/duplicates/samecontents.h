// Which files of one length hold the same bytes. Every file is read at most once in full: the
// files are opened together and read in lock step, the first 4 KiB first (small files whole),
// then block by block, and after every block they are split by its contents (a CRC-32 to sort
// them, then a byte-for-byte comparison), so a file whose block matches no other's is closed
// there and read no further. Two files are called the same only when every byte was compared.
//
// One file reached by two paths (a hard link, a folder reached twice) is the same file, not a
// copy of itself: only the first path is kept.
#pragma once

#include "core/services.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct ContentStats {
    uint64_t bytesRead = 0;
    uint32_t filesOpened = 0;
};

// The serial numbers of the volumes that paths lie on, asked of the system once per drive.
class CVolumeSerials {
public:
    uint32_t Of(const std::string& path);

private:
    std::vector<std::pair<std::string, uint32_t>> known_;
};

// Memory that the reads reuse from one set of files to the next, never cleared.
class CScratch {
public:
    char* Get(size_t n) {
        if (n > size_) {
            data_.reset(new char[n]);
            size_ = n;
        }
        return data_.get();
    }

private:
    std::unique_ptr<char[]> data_;
    size_t size_ = 0;
};

// What the tests of one scan share: their figures, the cancel poll (asked now and then while
// files are read; `cancelled` tells that it answered yes), the volumes met, and the memory the
// blocks are read into.
struct ContentScan {
    ContentStats stats;
    ICancelPoll* cancel = nullptr;
    bool cancelled = false;
    CVolumeSerials volumes;
    CScratch scratch;
    // At most this many files are held open at once. A larger set of files of one length is
    // read through once, one file at a time, for a CRC-32 of each, and the files whose CRCs
    // agree are then compared byte for byte, two at a time: read a second time.
    size_t maxOpenFiles = 4096;
};

// Splits `paths`, files of `length` bytes, into sets of files with the same contents. Answers
// the sets of two or more, each as indexes into `paths` in ascending order, the sets ordered by
// their first index. A file that cannot be opened for reading (someone is writing it) or read,
// or that no longer has `length` bytes, is in no set. Nothing is answered once cancelled.
std::vector<std::vector<uint32_t>> SplitByContents(const std::vector<std::string>& paths, uint64_t length,
                                                   ContentScan* scan = nullptr);

// The files of `paths` that still have `length` bytes, each file once: a path that names the
// same file as an earlier one is left out, and so is one that cannot be opened. Reads no
// contents. Answers the indexes kept, ascending.
std::vector<uint32_t> DistinctFiles(const std::vector<std::string>& paths, uint64_t length,
                                    ContentScan* scan = nullptr);

// Whether two files have the same length and the same bytes.
bool SameContents(const std::string& a, const std::string& b, ContentStats* stats = nullptr);
