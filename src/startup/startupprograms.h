// The startup programs manager: lists every program Windows starts at log-on (Run-type
// registry keys, the "Load" and "Run" lines of win.ini, the Startup folders) together with
// the entries the user parked in their "Disabled" twins, and moves entries between the two.
#pragma once

#include "core/keeplist.h"
#include "core/services.h"

#include <windows.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

class CWrenlyView;
class UndoFile;

// The columns of a startup row.
enum StartupColumn { kStartupColName = 0, kStartupColCommand, kStartupColLocation, kStartupColPhysical };

// A startup row's item data. Bit 0 is the entry's state as its check box shows it (1 it starts
// with Windows, 0 it does not); the other bits say why a row cannot simply be moved.
enum StartupRowData : DWORD {
    kStartupEnabled = 0x1,
    // In its live place, but switched off by Windows itself (Task Manager's Startup tab keeps
    // that switch under Explorer\StartupApproved). This tool only reads it.
    kStartupOffInWindows = 0x2,
    // The name has no exact form in the process code page (an older Windows without UTF-8):
    // acting on the shown form could hit another entry, so the row is never acted on.
    kStartupNameNotExact = 0x4,
};

// Where the win.ini lines, the Startup folders and the undo files are looked for. The defaults
// are the machine's own; tests point them at scratch copies.
struct StartupPlaces {
    // Given to the private-profile functions: a bare name means the file in the Windows folder.
    std::string iniFile = "win.ini";
    // Path of the Startup folder with that CSIDL (7 the user's, 24 the common one), without a
    // trailing backslash; empty when it does not exist.
    std::function<std::string(int csidl)> shellFolder;
    // Where deleted registry entries are saved; empty means the registry cleaner's folder.
    std::string undoFolder;

    std::string Folder(int csidl) const;
    std::string UndoFolder() const;
};

// The places the program itself uses; tests may change them.
StartupPlaces& DefaultStartupPlaces();

// A win.ini key's line (section "windows") read with room for 2600 characters.
enum class IniRead { kOk, kOverflow };
IniRead ReadWinIniLine(const std::string& iniFile, const std::string& key, std::string& line);
// The entries of a win.ini line: the pieces between runs of spaces.
std::vector<std::string> SplitWinIniEntries(const std::string& line);
// A win.ini entry's name: its text after the first backslash (the whole entry when it has none).
std::string WinIniEntryName(const std::string& entry);
// Removes the first entry equal to `entry` (without regard to case) and joins the rest with
// single spaces; false, leaving `line` alone, when the line holds no such entry.
bool RemoveWinIniEntry(std::string& line, const std::string& entry);

// The registry place a row's "Location" column names.
struct RegistryLocation {
    std::string valueName;  // column 0
    std::string hiveName;   // column 2 up to its first backslash
    std::string keyPath;    // column 2 after it, as the 64-bit registry editor names the key
    HKEY hive = nullptr;
};
// False when the key path is empty or the hive is not exactly "HKEY_LOCAL_MACHINE" or
// "HKEY_CURRENT_USER".
bool ParseRegistryLocation(const IResultList& list, int row, RegistryLocation& location);

// Opens a startup key named as the Location column names it: a path under
// "Software\Wow6432Node\" through the 32-bit registry view, any other through the 64-bit one.
// `create` makes a missing key. Returns the system's error code.
LONG OpenStartupKey(HKEY hive, const std::string& keyPath, REGSAM access, bool create, HKEY& key);

// A value's type and bytes exactly as the registry keeps them.
struct RawRegValue {
    DWORD type = REG_NONE;
    std::vector<BYTE> bytes;
};
// ERROR_SUCCESS, ERROR_FILE_NOT_FOUND, or the system's other error.
LONG ReadRawRegValue(HKEY key, const std::wstring& name, RawRegValue& value);

// Windows 8 and later keep their own on/off switch for the entries of the Run keys and the
// Startup folders (Task Manager's Startup tab) in lists under Explorer\StartupApproved of the
// same hive: "Run", "Run32" (the 32-bit Run key) and "StartupFolder". The list for a registry
// place, or empty when Windows keeps no switch for it.
std::string StartupApprovedList(const std::string& keyPath);
// True when Windows' switch for `name` in that list is off.
bool SwitchedOffInWindows(HKEY hive, const std::string& list, const std::wstring& name);

// Whether any startup place (live or Disabled) holds an entry of that name and command line.
bool StartupEntryExists(const std::string& name, const std::string& commandLine);

class CStartupPrograms {
public:
    CStartupPrograms(IResultList& list, IStatusSink& status);
    ~CStartupPrograms();
    CStartupPrograms(CStartupPrograms&&) noexcept;

    // The real list window, when there is one: its list mode, check boxes, column widths,
    // painting, and the owner of the animation dialog and of the scan's message box.
    CWrenlyView* view = nullptr;
    StartupPlaces places = DefaultStartupPlaces();
    // The registry cleaner's switch, which the path check also follows here.
    bool reportRemovableMedia = true;
    // Entries the user chose to keep are listed, but never reported as re-enabled or invalid.
    const KeepList* keep = nullptr;
    // The code page of the rows' texts, which the "A" calls use: the process's own. A name
    // that has no exact form in it is listed but never acted on.
    UINT codePage = CP_ACP;

    // Empties the list, lists every place in order and reports re-enabled and invalid entries.
    void ScanStartupPrograms();
    // Empties the list and lists every place in order; `pump` runs between the registry places
    // and the others.
    void ListEveryPlace(const std::function<void()>& pump);
    void ListRunKey(HKEY hive, const char* hiveName, DWORD enabledState, const std::string& keyPath);
    void ListWinIniKey(bool isRun, DWORD enabledState);
    void ListStartupFolder(bool isCommon, DWORD enabledState);

    // "Update": moves every row whose check box differs from its state, lists again, and then
    // names the entries that stayed where they were and why.
    void ApplyStartupChanges();
    // "Delete Selected" and "Delete All", with their questions. Registry entries are written to
    // the undo file first; a row whose entry could not be removed stays, and the user is told.
    void DeleteSelectedStartupRows();
    void DeleteAllStartupRows();

    // Moves one row's entry to its live place or its Disabled twin; true when it moved (the
    // row then shows its new place and check box). An entry is never removed from where it
    // is before it has been written to where it goes, and never replaces another entry there.
    bool EnableStartupRow(int row);
    bool DisableStartupRow(int row);
    // Removes one row's entry from the place it is in (the row stays in the list); true when
    // it is gone.
    bool DeleteStartupRow(int row);

    // Why the last moves or deletions left entries where they were, one line per entry.
    const std::vector<std::string>& Problems() const { return problems_; }

private:
    enum class Kind { kOther, kRegistry, kWinIni, kStartupFolder };
    Kind KindOf(int row) const;

    bool MoveStartupRow(int row, bool enable);
    bool MoveRegistryRow(int row, bool enable);
    bool MoveWinIniRow(int row, bool enable);
    bool MoveFolderRow(int row, bool enable);
    bool DeleteRegistryRow(int row);
    bool DeleteWinIniRow(int row);
    bool DeleteFolderRow(int row);
    void DeleteRows(bool selectedOnly);
    void AddStartupRow(const std::string& name, const std::string& command, const std::string& location,
                       const char* physical, DWORD data);
    bool WinIniLineExact(const std::string& key) const;
    void Refuse(int row, const std::string& why);
    void ReportProblems(const char* heading);
    HWND ListWindow() const;

    IResultList& list_;
    IStatusSink& status_;
    std::vector<std::string> problems_;
    // Opened by the first registry deletion of a command, closed at its end.
    std::unique_ptr<UndoFile> undo_;
    std::string undoPath_;
};
