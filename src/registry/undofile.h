// The undo file: every key or value the registry cleaner removes is first written to a text
// file in the registry editor's own export format, which the editor imports again on request.
//
// The file is the "Windows Registry Editor Version 5.00" form in UTF-16LE: the registry editor
// reads the older REGEDIT4 form in its own ANSI code page, which cannot carry every name the
// registry holds (this program runs with UTF-8, the editor does not). Names and data are read
// with the wide registry calls, so what comes back is byte for byte what was removed.
#pragma once

#include <windows.h>

#include <ctime>
#include <string>

// "04 Dec 2026 05 05 PM.reg": the local time to the minute, so that every removal command of
// one minute appends to the same file.
std::string MakeUndoFileName(const std::tm& localTime);
std::string MakeUndoFileName();

// The data part of a value line, line end included, from the value's raw bytes (wide text for
// the string types): "quoted text", dword:xxxxxxxx, hex: or hex(type): followed by the bytes.
std::wstring FormatRegData(DWORD type, const BYTE* bytes, DWORD size);
// The name part of a value line: "@ = " for the default value, else the quoted name.
std::wstring FormatRegValueName(const std::wstring& name);
// "HKEY_CURRENT_USER\Software\Vendor", or the root's name alone for an empty path.
std::string RegKeyFullName(HKEY root, const std::string& keyPath);

// Why an export wrote nothing for what it was asked to save.
enum class UndoRefusal {
    kNone,
    kWriteFailed,      // the file itself could not be written
    kNotWritable,      // no .reg file gives it back exactly: a line break in a key or value
                       // name, or text data that does not end in its terminating zero
    kUnreadable,       // something below could not be read (no rights, or a registry link)
};

class UndoFile {
public:
    UndoFile() = default;
    virtual ~UndoFile() { close(); }
    UndoFile(const UndoFile&) = delete;
    UndoFile& operator=(const UndoFile&) = delete;

    // Opens the file for appending; a new (or empty) file gets the header. A file of that name
    // in another form (an older REGEDIT4 file) is left as it is and the open fails, so that one
    // file never mixes two encodings.
    bool open(const std::string& path);
    void close();
    bool isOpen() const { return file_ != INVALID_HANDLE_VALUE; }
    const std::string& path() const { return path_; }

    // Write the key with everything below it (subkeys first), or one value. True when all of
    // it is in the file, or when there is nothing to write because it no longer exists; false
    // when something that exists could not be read or written, so it must not be deleted
    // (refusal() tells why). Nothing of a refused export reaches the file.
    bool ExportKey(HKEY root, const std::string& keyPath);
    bool ExportValue(HKEY root, const std::string& keyPath, const std::string& valueName);
    UndoRefusal refusal() const { return refusal_; }

protected:
    // Appends `text` with every line end written as CR LF: the one place where bytes reach the
    // file (a test stands a failing disk in here).
    virtual bool Write(const std::wstring& text);

private:
    bool Refuse(UndoRefusal why) {
        refusal_ = why;
        return false;
    }
    bool AppendKey(HKEY key, const std::wstring& fullName, std::wstring& out);
    bool AppendValue(HKEY key, const std::wstring& name, std::wstring& out);

    HANDLE file_ = INVALID_HANDLE_VALUE;
    std::string path_;
    UndoRefusal refusal_ = UndoRefusal::kNone;
};
