// Which files of one length hold the same bytes. Every file is read at most once in full: the
// files are opened together and read in lock step, the first 4 KiB first, then block by block,
// and after every block they are split by its contents (a CRC-32 to sort them, then a
// byte-for-byte comparison), so a file whose block matches no other's is closed there and read
// no further. Two files are called the same only when every byte was compared.
//
// One file reached by two paths (a hard link, a folder reached twice) is the same file, not a
// copy of itself: only the first path is kept.
#pragma once

#include "app/services.h"

#include <cstdint>
#include <string>
#include <vector>

struct ContentStats {
    uint64_t bytesRead = 0;
    uint32_t filesOpened = 0;
};

// At most this many files are held open at once. A larger set of files (of one length and one
// first block) is read through once for a CRC-32 of each file, and the files whose CRCs agree
// are then compared with one another a second time, byte for byte.
constexpr size_t kMaxOpenFiles = 4096;

// Splits `paths`, files of `length` bytes, into sets of files with the same contents. Answers
// the sets of two or more, each as indexes into `paths` in ascending order, the sets ordered by
// their first index. A file that cannot be opened for reading (someone is writing it) or read,
// or that no longer has `length` bytes, is in no set. `cancel` (optional) is asked now and then
// while the files are read; `cancelled` is set when it answered yes (the answer is then empty).
std::vector<std::vector<uint32_t>> SplitByContents(const std::vector<std::string>& paths, uint64_t length,
                                                   ContentStats* stats = nullptr, ICancelPoll* cancel = nullptr,
                                                   bool* cancelled = nullptr);

// The files of `paths` that still have `length` bytes, each file once: a path that names the
// same file as an earlier one is left out, and so is one that cannot be opened. Reads no
// contents. Answers the indexes kept, ascending.
std::vector<uint32_t> DistinctFiles(const std::vector<std::string>& paths, uint64_t length);

// Whether two files have the same length and the same bytes.
bool SameContents(const std::string& a, const std::string& b, ContentStats* stats = nullptr);
