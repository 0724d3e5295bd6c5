// The undo file: every key or value the registry cleaner removes is first written to a text
// file in the registry editor's REGEDIT4 format, which the editor imports again on request.
#pragma once

#include <windows.h>

#include <ctime>
#include <string>

// "04 Dec 2026 05 05 PM.reg": the local time to the minute, so that every removal command of
// one minute appends to the same file.
std::string MakeUndoFileName(const std::tm& localTime);
std::string MakeUndoFileName();

// The data part of a value line, line end included: "quoted text", dword:xxxxxxxx, hex:
// or hex(type): followed by the bytes.
std::string FormatRegData(DWORD type, const BYTE* bytes, DWORD size);
// The name part of a value line: "@ = " for the default value, else the quoted name.
std::string FormatRegValueName(const std::string& name);
// "HKEY_CURRENT_USER\Software\Vendor", or the root's name alone for an empty path.
std::string RegKeyFullName(HKEY root, const std::string& keyPath);

class UndoFile {
public:
    UndoFile() = default;
    virtual ~UndoFile() { close(); }
    UndoFile(const UndoFile&) = delete;
    UndoFile& operator=(const UndoFile&) = delete;

    // Opens (or creates) the file for appending and writes the "REGEDIT4" header.
    bool open(const std::string& path);
    void close();
    bool isOpen() const { return file_ != INVALID_HANDLE_VALUE; }
    const std::string& path() const { return path_; }

    // Write the key with everything below it (subkeys first), or one value. True when all of
    // it is in the file, or when there is nothing to write because it no longer exists; false
    // when something that exists could not be read or written, so it must not be deleted.
    bool ExportKey(HKEY root, const std::string& keyPath);
    bool ExportValue(HKEY root, const std::string& keyPath, const std::string& valueName);

protected:
    // Appends `text` with every line end written as CR LF: the one place where bytes reach the
    // file (a test stands a failing disk in here).
    virtual bool Write(const std::string& text);

private:
    HANDLE file_ = INVALID_HANDLE_VALUE;
    std::string path_;
};
