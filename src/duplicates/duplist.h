// The duplicate list file "duplist" in the program's data folder (app/datafolder.h): one record
// per candidate file of a duplicate scan, written drive by drive and read back by position, first
// by the scan's sort and grouping, then by the result list when it draws a duplicate row for the
// first time.
//
// Record on disk, little-endian, n + 17 bytes, no alignment between records:
//   0  4  length       the file's length, low 32 bits
//   4  2  pathLength   n, the short path's length without its NUL, at most 259
//   6  2  lengthHigh   bits 32 to 47 of the length: 0 for every file below 4 GB, so that larger
//                      files are not taken for copies of small ones with the same low bits
//   8  8  lastWrite    FILETIME, low word first
//  16  n  shortPath    the full path in its short (8.3) form, ANSI
//  16+n 1 NUL
#pragma once

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

constexpr size_t kDupRecordHeader = 16;
constexpr size_t kDupMaxPath = 259;

// A record in memory: the 16 header bytes and a 260-byte path buffer.
struct DuplicateRecord {
    uint32_t length = 0;
    uint16_t pathLength = 0;
    uint16_t lengthHigh = 0;
    FILETIME lastWriteTime {};
    char shortPath[kDupMaxPath + 1] = {};

    // Bytes the record takes in the file.
    size_t DiskSize() const { return kDupRecordHeader + pathLength + 1; }
    uint64_t FileLength() const { return (static_cast<uint64_t>(lengthHigh) << 32) | length; }
    uint64_t WriteTime() const {
        return (static_cast<uint64_t>(lastWriteTime.dwHighDateTime) << 32) | lastWriteTime.dwLowDateTime;
    }
};
static_assert(sizeof(DuplicateRecord) == 276, "a record in memory is 276 bytes");
static_assert(offsetof(DuplicateRecord, lastWriteTime) == 8, "the write time follows the path length");
static_assert(offsetof(DuplicateRecord, shortPath) == kDupRecordHeader, "the path follows the header");

// Fills `record`; false when the path is longer than 259 characters.
bool MakeDuplicateRecord(const std::string& shortPath, uint64_t length, const FILETIME& lastWrite,
                         DuplicateRecord& record);

// "<folder>\duplist".
std::string DuplicateListPath(const std::string& folder);

// One opening of the list file. Writes and reads name their position explicitly, so reading a
// record never moves the place where the next one is appended.
class CDupListFile {
public:
    CDupListFile() = default;
    ~CDupListFile() { Close(); }
    CDupListFile(const CDupListFile&) = delete;
    CDupListFile& operator=(const CDupListFile&) = delete;

    // Creates the file or cuts it to length 0, for reading and writing, others may only read.
    bool Create(const std::string& path);
    // Opens an existing file for reading only, shared with nobody (the list's display reads).
    bool OpenForReading(const std::string& path);
    bool IsOpen() const { return file_ != INVALID_HANDLE_VALUE; }
    void Close();

    // Where the next record goes: the bytes appended so far.
    uint32_t Position() const { return static_cast<uint32_t>(end_); }
    uint64_t Size() const { return end_; }
    // Appends the record's n + 17 bytes; `position` (optional) gets where it starts. False when
    // the write failed or the file would pass the 4 GB that a 32-bit position can name; nothing
    // counts as written then.
    bool Append(const DuplicateRecord& record, uint32_t* position = nullptr);
    // Appends bytes that hold whole records one after the other; answers how many bytes were
    // written (a failed write stops short).
    size_t AppendBytes(const void* data, size_t n);
    // Reads the record at `position` (up to 276 bytes; what follows its NUL is ignored). False
    // when the file is not open or no whole record lies there.
    bool ReadAt(uint32_t position, DuplicateRecord& record) const;
    // Reads up to `n` bytes at `position`; answers how many were read.
    size_t ReadBytes(uint64_t position, void* buffer, size_t n) const;

private:
    HANDLE file_ = INVALID_HANDLE_VALUE;
    uint64_t end_ = 0;
};

// Checks the bytes of a record read from the file and makes its path a C string: false when
// `got` bytes do not hold a whole record.
bool CompleteRecord(DuplicateRecord& record, size_t got);

// The name with its extension of a path (what follows the last backslash, slash or colon).
std::string FileNameOfPath(const std::string& path);
// Where that name starts; multibyte-aware, so a trail byte 0x5C is no backslash.
size_t FileNameStart(const char* path, size_t n);

// The long form of the short path of the record at `position` of the list file in `folder`,
// read through an opening of its own: empty when the file cannot be opened or read. When the
// long form cannot be had (the file is gone) the recorded short path is answered.
std::string ReadDuplicateLongPath(const std::string& folder, uint32_t position);

// The text of column `column` of a duplicate row with item data `data`: column 1 the long path
// of record groupOffsets[data], column 0 that path's name with its extension; empty for
// separator rows (data beyond the last index) and for other columns.
std::string DuplicateRowText(const std::string& folder, const std::vector<uint32_t>& groupOffsets, DWORD data,
                             int column);
