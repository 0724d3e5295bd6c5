#include "duplicates/duplist.h"

#include "core/codepage.h"

#include <mbctype.h>

#include <algorithm>
#include <cstring>

bool MakeDuplicateRecord(const std::string& shortPath, uint64_t length, const FILETIME& lastWrite,
                         DuplicateRecord& record) {
    if (shortPath.size() > kDupMaxPath) return false;
    record.length = static_cast<uint32_t>(length);
    // Lengths from 2^48 bytes on cannot be told apart any more; no disk holds such a file.
    record.lengthHigh = static_cast<uint16_t>(length >> 32);
    record.pathLength = static_cast<uint16_t>(shortPath.size());
    record.lastWriteTime = lastWrite;
    std::memcpy(record.shortPath, shortPath.c_str(), shortPath.size() + 1);
    return true;
}

std::string DuplicateListPath(const std::string& folder) { return folder + "\\duplist"; }

bool CDupListFile::Create(const std::string& path) {
    Close();
    file_ = ::CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                          FILE_ATTRIBUTE_NORMAL, nullptr);
    end_ = 0;
    return IsOpen();
}

bool CDupListFile::OpenForReading(const std::string& path) {
    Close();
    file_ = ::CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    end_ = 0;
    return IsOpen();
}

void CDupListFile::Close() {
    if (file_ != INVALID_HANDLE_VALUE) ::CloseHandle(file_);
    file_ = INVALID_HANDLE_VALUE;
}

size_t CDupListFile::AppendBytes(const void* data, size_t n) {
    if (!IsOpen()) return 0;
    const char* p = static_cast<const char*>(data);
    size_t done = 0;
    while (done < n) {
        DWORD chunk = static_cast<DWORD>(std::min<size_t>(n - done, 1u << 20));
        OVERLAPPED at {};
        at.Offset = static_cast<DWORD>(end_);
        at.OffsetHigh = static_cast<DWORD>(end_ >> 32);
        DWORD wrote = 0;
        if (!::WriteFile(file_, p + done, chunk, &wrote, &at)) break;
        done += wrote;
        end_ += wrote;
        if (wrote < chunk) break;
    }
    return done;
}

bool CDupListFile::Append(const DuplicateRecord& record, uint32_t* position) {
    if (!IsOpen() || record.pathLength > kDupMaxPath) return false;
    size_t n = record.DiskSize();
    // The record must start at a position that 32 bits can name.
    if (end_ > 0xFFFFFFFFull) return false;
    uint64_t start = end_;
    // The in-memory record may hold stale bytes after the path; the file gets a clean NUL.
    char bytes[sizeof(DuplicateRecord) + 1];
    std::memcpy(bytes, &record, kDupRecordHeader + record.pathLength);
    bytes[kDupRecordHeader + record.pathLength] = '\0';
    if (AppendBytes(bytes, n) != n) {
        // A short write leaves bytes that belong to no record; later records still go after
        // them, at positions of their own.
        return false;
    }
    if (position) *position = static_cast<uint32_t>(start);
    return true;
}

size_t CDupListFile::ReadBytes(uint64_t position, void* buffer, size_t n) const {
    if (!IsOpen()) return 0;
    OVERLAPPED at {};
    at.Offset = static_cast<DWORD>(position);
    at.OffsetHigh = static_cast<DWORD>(position >> 32);
    DWORD got = 0;
    if (!::ReadFile(file_, buffer, static_cast<DWORD>(n), &got, &at)) return 0;
    return got;
}

bool CompleteRecord(DuplicateRecord& record, size_t got) {
    if (got < kDupRecordHeader + 1 || record.pathLength > kDupMaxPath) return false;
    if (got < record.DiskSize() || record.shortPath[record.pathLength] != '\0') return false;
    return true;
}

bool CDupListFile::ReadAt(uint32_t position, DuplicateRecord& record) const {
    record = DuplicateRecord();
    size_t got = ReadBytes(position, &record, sizeof record);
    if (CompleteRecord(record, got)) return true;
    record = DuplicateRecord();
    return false;
}

size_t FileNameStart(const char* path, size_t n) {
    size_t start = 0;
    for (size_t i = 0; i < n; ++i) {
        unsigned char c = static_cast<unsigned char>(path[i]);
        if (_ismbblead(c) && i + 1 < n) {
            ++i;
            continue;
        }
        if (c == '\\' || c == '/' || c == ':') start = i + 1;
    }
    return start;
}

std::string FileNameOfPath(const std::string& path) { return path.substr(FileNameStart(path.c_str(), path.size())); }

std::string ReadDuplicateLongPath(const std::string& folder, uint32_t position) {
    DuplicateRecord record;
    {
        CDupListFile file;
        if (!file.OpenForReading(DuplicateListPath(folder))) return std::string();
        if (!file.ReadAt(position, record)) return std::string();
    }
    // The long form is asked in the system's own form of names: where this process's code page
    // cannot carry it whole, it could name another file ("Omega.txt" for "Ωmega.txt"), and the
    // row's path is what "Delete Selected" recycles. The short path names the file then.
    std::vector<wchar_t> longPath(1300);
    DWORD n = ::GetLongPathNameW(WideName(record.shortPath).c_str(), longPath.data(), static_cast<DWORD>(longPath.size()));
    std::string narrow;
    if (n == 0 || n >= longPath.size() || !NarrowName(std::wstring(longPath.data(), n), narrow)) return record.shortPath;
    return narrow;
}

std::string DuplicateRowText(const std::string& folder, const std::vector<uint32_t>& groupOffsets, DWORD data,
                             int column) {
    if (data >= groupOffsets.size() || (column != 0 && column != 1)) return std::string();
    std::string path = ReadDuplicateLongPath(folder, groupOffsets[data]);
    return column == 1 ? path : FileNameOfPath(path);
}
