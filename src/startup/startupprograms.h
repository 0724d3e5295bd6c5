// The startup programs manager: lists every program Windows starts at log-on (Run-type
// registry keys, the "Load" and "Run" lines of win.ini, the Startup folders) together with
// the entries the user parked in their "Disabled" twins, and moves entries between the two.
#pragma once

#include "app/services.h"

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

class CWrenlyView;

// The columns of a startup row.
enum StartupColumn { kStartupColName = 0, kStartupColCommand, kStartupColLocation, kStartupColPhysical };

// Where the win.ini lines and the Startup folders are looked for. The defaults are the
// machine's own; tests point them at scratch copies.
struct StartupPlaces {
    // Given to the private-profile functions: a bare name means the file in the Windows folder.
    std::string iniFile = "win.ini";
    // Path of the Startup folder with that CSIDL (7 the user's, 24 the common one), without a
    // trailing backslash; empty when it does not exist.
    std::function<std::string(int csidl)> shellFolder;

    std::string Folder(int csidl) const;
};

// The places the program itself uses; tests may change them.
StartupPlaces& DefaultStartupPlaces();

// A win.ini key's line (section "windows") read with room for 2600 characters.
enum class IniRead { kOk, kOverflow };
IniRead ReadWinIniLine(const std::string& iniFile, const std::string& key, std::string& line);
// The entries of a win.ini line: the pieces between runs of spaces.
std::vector<std::string> SplitWinIniEntries(const std::string& line);
// Removes the first entry equal to `entry` (without regard to case) and joins the rest with
// single spaces; false, leaving `line` alone, when the line holds no such entry.
bool RemoveWinIniEntry(std::string& line, const std::string& entry);

// The registry place a row's "Location" column names.
struct RegistryLocation {
    std::string valueName;  // column 0
    std::string hiveName;   // column 2 up to its first backslash
    std::string keyPath;    // column 2 after it
    HKEY hive = nullptr;
};
// False when the key path is empty or the hive is not exactly "HKEY_LOCAL_MACHINE" or
// "HKEY_CURRENT_USER".
bool ParseRegistryLocation(const IResultList& list, int row, RegistryLocation& location);

class CStartupPrograms {
public:
    CStartupPrograms(IResultList& list, IStatusSink& status);

    // The real list window, when there is one: its list mode, check boxes, column widths,
    // painting, and the owner of the animation dialog and of the scan's message box.
    CWrenlyView* view = nullptr;
    StartupPlaces places = DefaultStartupPlaces();
    // The registry cleaner's switch, which the path check also follows here.
    bool reportRemovableMedia = true;

    // Empties the list, lists the 22 places in order and reports re-enabled and invalid entries.
    void ScanStartupPrograms();
    void ListRunKey(HKEY hive, const char* hiveName, DWORD enabledState, const std::string& keyPath);
    void ListWinIniKey(bool isRun, DWORD enabledState);
    void ListStartupFolder(bool isCommon, DWORD enabledState);

    // "Update": moves every row whose check box differs from its state, then lists again.
    void ApplyStartupChanges();
    // "Delete Selected" and "Delete All", with their questions.
    void DeleteSelectedStartupRows();
    void DeleteAllStartupRows();

    // Moves one row's entry to its live place or its Disabled twin; true when it moved (the
    // row then shows its new place and check box). An entry is never removed from where it
    // is before it has been written to where it goes.
    bool EnableStartupRow(int row);
    bool DisableStartupRow(int row);
    // Removes one row's entry from the place it is in (the row stays in the list).
    void DeleteStartupRow(int row);

private:
    enum class Kind { kOther, kRegistry, kWinIni, kStartupFolder };
    Kind KindOf(int row) const;

    void ReportFindings();
    bool MoveRegistryRow(int row, bool enable);
    bool MoveWinIniRow(int row, bool enable);
    bool MoveFolderRow(int row, bool enable);
    void AddStartupRow(const std::string& name, const std::string& command, const std::string& location,
                       const char* physical, DWORD enabledState);
    HWND ListWindow() const;

    IResultList& list_;
    IStatusSink& status_;
};
