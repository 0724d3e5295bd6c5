// The registry cleaner's scan: walks the hives for string values that name missing files,
// checks the shared DLL list, file associations and COM registrations, and adds one row to the
// result list for every invalid entry found.
#pragma once

#include "core/services.h"
#include "core/view.h"
#include "registry/pathcheck.h"

#include <windows.h>

#include <string>
#include <vector>

// Item data of a registry row: the root the key path is below, and what removal deletes.
enum RegFindingFlags : DWORD {
    kRegRootClasses = 0x01,
    kRegRootCurrentUser = 0x02,
    kRegRootLocalMachine = 0x04,
    kRegRootUsers = 0x08,
    kRegDeleteKey = 0x10,   // the key of column 1 with everything below it
    kRegDeleteValue = 0x20, // the value of column 2 in the key of column 1
    // A name on the row did not survive this system's code page (an older Windows without
    // UTF-8): the row shows its best-fit form, which may be another entry's name, so removal
    // never acts on it.
    kRegNotRemovable = 0x40,
};

// Columns of a registry row.
enum RegFindingColumn { kRegColLocation = 0, kRegColSubKey, kRegColValueName, kRegColData, kRegColInvalidEntry };

// Images of the registry image list.
enum RegRootImage { kImageLocalMachine = 0, kImageCurrentUser = 1, kImageUsers = 2, kImageClassesRoot = 3 };

struct RegRootInfo {
    const char* name;  // "HKEY_LOCAL_MACHINE"...
    int image;
    DWORD bit;
};
// The name, image and root bit of one of the four scanned roots; false for any other key.
bool GetRegRootInfo(HKEY root, RegRootInfo& info);
// The root a row's flags name (tested in the order HKLM, HKCU, HKU, HKCR); null when none.
HKEY RegRootFromFlags(DWORD flags);

// The name of subkey `index` of `key`, whole (key names are at most 255 characters):
// ERROR_SUCCESS, ERROR_NO_MORE_ITEMS or another error, which ends an enumeration loop.
LONG EnumSubkeyName(HKEY key, DWORD index, std::wstring& name);

class CRegistryScan {
public:
    CRegistryScan(IResultList& list, ICancelPoll& cancel, IStatusSink& status, const RegScanOptions& options);

    // The whole "Scan" command after the cancel dialog exists: empties the list, runs the scans
    // the switches ask for, and reports the total. Stops early when the poll says cancelled.
    void ScanRegistry();

    // Checks every REG_SZ/REG_EXPAND_SZ value below root\subPath, subkeys before values.
    // Registry links are not followed (what they point to is met at its own place), and keys
    // below a Wow6432Node are judged as the 32-bit programs that use them see the disk.
    void WalkRegistryKey(HKEY root, const std::string& subPath);
    void ScanKeyValues(HKEY root, HKEY key, const std::string& subPath);
    void ScanSharedDlls(HKEY root, const std::string& subPath);
    void AddRegFinding(const std::string& rootName, int image, const std::string& subKey, const std::string& valueName,
                       const std::string& data, const std::string& invalidEntry, DWORD flags);
    void FinishRegistryScan();

    // File associations and COM registrations.
    void ScanFileAssociations();
    bool CheckProgIdClsid(const std::string& className);
    void ScanClassIds(HKEY root);
    void CheckClassId(HKEY root, const std::string& clsidPath);
    bool CheckTypeLibVersion(const std::string& guidText, WORD major, WORD minor);

    bool Cancelled() const { return cancelled_; }

    // The list control whose columns are sized to their contents at the end (none in tests).
    HWND listControl = nullptr;
    // Findings the user chose to keep are never listed.
    const KeepList* keep = nullptr;

    // The code page names and texts are narrowed to: the process's own. A test stands an older
    // Windows's in, whose code page cannot carry every name.
    UINT codePage = CP_ACP;

    // What the walks went through (for the benchmark).
    unsigned long keysVisited = 0;
    unsigned long valuesChecked = 0;
    unsigned long DiskQueries() const { return paths_.diskQueries + paths32_.diskQueries; }

private:
    // Asks the cancel dialog; once it said stop, every later poll says so without asking.
    bool Poll();
    void SetMessage(const std::string& text) { status_.SetStatusText(text, 0); }
    // `removable`: every name of the path survived the code page; `view32`: below a Wow6432Node.
    void Walk(HKEY root, HKEY key, const std::string& subPath, bool view32, bool removable);
    void CheckValues(HKEY root, HKEY key, const std::string& subPath, bool view32, bool removable);
    // Reads value `index` into the shared buffers: its name, its type, and its data when its
    // type is one of the string types or REG_DWORD (other data too long for the buffer is not
    // read). 0, ERROR_NO_MORE_ITEMS or another error.
    LONG ReadValue(HKEY key, DWORD index);
    bool Narrow(const std::wstring& wide, std::string& out) const;
    bool Judge(const std::string& text, bool lenient, bool view32 = false);
    // The text of a class registration's value, or false when it must not be judged (its text
    // does not survive the code page).
    bool ReadClassText(HKEY root, const std::string& keyPath, std::string& text);

    IResultList& list_;
    ICancelPoll& cancel_;
    IStatusSink& status_;
    RegScanOptions options_;
    bool cancelled_ = false;
    // What the disk said, for this scan: one view for 64-bit texts, one for 32-bit ones.
    PathCheckCache paths_;
    PathCheckCache paths32_ {true};

    // Value name and data buffers shared by every level of a walk, so memory stays flat.
    std::vector<wchar_t> name_;
    DWORD nameLength_ = 0;
    std::vector<BYTE> data_;
    DWORD type_ = 0;
    DWORD dataSize_ = 0;
};
