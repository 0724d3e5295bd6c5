#include "startup/startupprograms.h"

#include "app/reghelpers.h"
#include "app/view.h"
#include "framework/prompter.h"
#include "framework/strings.h"
#include "registry/pathcheck.h"
#include "widgets/progressdlg.h"

#include <commctrl.h>

#include <cstring>

namespace {

const char kRunKeys[] = "Software\\Microsoft\\Windows\\CurrentVersion\\";
const char kCurrentUser[] = "HKEY_CURRENT_USER";
const char kLocalMachine[] = "HKEY_LOCAL_MACHINE";

// Room the win.ini lines are read with, terminator included.
const size_t kIniLineRoom = 2600;

std::string TrimTrailingCommas(std::string s) {
    while (!s.empty() && s.back() == ',') s.pop_back();
    return s;
}

}  // namespace

std::string StartupPlaces::Folder(int csidl) const {
    return shellFolder ? shellFolder(csidl) : GetShellFolder(csidl);
}

StartupPlaces& DefaultStartupPlaces() {
    static StartupPlaces places;
    return places;
}

IniRead ReadWinIniLine(const std::string& iniFile, const std::string& key, std::string& line) {
    // A line fits when it leaves room for its terminator in 2600 characters. The function
    // answers size - 1 both for a line that just fits and for one it cut, so it is given a
    // little more room to tell the two apart.
    std::vector<char> buf(kIniLineRoom + 2, '\0');
    DWORD n = ::GetPrivateProfileStringA("Windows", key.c_str(), "", buf.data(), static_cast<DWORD>(buf.size()),
                                         iniFile.c_str());
    if (n >= kIniLineRoom) {
        line.clear();
        return IniRead::kOverflow;
    }
    line.assign(buf.data(), n);
    return IniRead::kOk;
}

std::vector<std::string> SplitWinIniEntries(const std::string& line) {
    std::vector<std::string> entries;
    size_t pos = 0;
    while (pos < line.size()) {
        size_t start = line.find_first_not_of(' ', pos);
        if (start == std::string::npos) break;
        size_t end = line.find(' ', start);
        if (end == std::string::npos) end = line.size();
        entries.push_back(line.substr(start, end - start));
        pos = end;
    }
    return entries;
}

bool RemoveWinIniEntry(std::string& line, const std::string& entry) {
    std::vector<std::string> entries = SplitWinIniEntries(line);
    bool removed = false;
    std::string rest;
    for (const std::string& e : entries) {
        if (!removed && SameText(e, entry)) {
            removed = true;
            continue;
        }
        if (!rest.empty()) rest += ' ';
        rest += e;
    }
    if (removed) line = rest;
    return removed;
}

CStartupPrograms::CStartupPrograms(IResultList& list, IStatusSink& status) : list_(list), status_(status) {}

HWND CStartupPrograms::ListWindow() const { return view && view->IsWindow() ? view->m_hWnd : nullptr; }

void CStartupPrograms::AddStartupRow(const std::string& name, const std::string& command,
                                     const std::string& location, const char* physical, DWORD enabledState) {
    int row = list_.AddRow({name, command, location, physical}, -1, enabledState);
    if (row >= 0) list_.SetChecked(row, enabledState == 1);
}

void CStartupPrograms::ScanStartupPrograms() {
    HWND listWindow = ListWindow();
    CAnimationDialog animation(0);
    if (listWindow) animation.create(listWindow);

    if (listWindow) {
        view->SetListMode(kListStartupPrograms);
        view->Send(LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_CHECKBOXES, LVS_EX_CHECKBOXES);
    }
    list_.DeleteAll();

    const std::string base = kRunKeys;
    ListRunKey(HKEY_CURRENT_USER, kCurrentUser, 1, base + "Run");
    ListRunKey(HKEY_CURRENT_USER, kCurrentUser, 1, base + "RunOnce");
    ListRunKey(HKEY_LOCAL_MACHINE, kLocalMachine, 1, base + "Run");
    ListRunKey(HKEY_LOCAL_MACHINE, kLocalMachine, 1, base + "RunServices");
    ListRunKey(HKEY_LOCAL_MACHINE, kLocalMachine, 1, base + "RunOnce");
    ListRunKey(HKEY_LOCAL_MACHINE, kLocalMachine, 1, base + "RunOnceEx");
    ListRunKey(HKEY_LOCAL_MACHINE, kLocalMachine, 1, base + "RunServicesOnce");
    ListRunKey(HKEY_CURRENT_USER, kCurrentUser, 0, base + "RunDisabled");
    ListRunKey(HKEY_CURRENT_USER, kCurrentUser, 0, base + "RunOnceDisabled");
    ListRunKey(HKEY_LOCAL_MACHINE, kLocalMachine, 0, base + "RunDisabled");
    ListRunKey(HKEY_LOCAL_MACHINE, kLocalMachine, 0, base + "RunServicesDisabled");
    ListRunKey(HKEY_LOCAL_MACHINE, kLocalMachine, 0, base + "RunOnceDisabled");
    ListRunKey(HKEY_LOCAL_MACHINE, kLocalMachine, 0, base + "RunOnceExDisabled");
    ListRunKey(HKEY_LOCAL_MACHINE, kLocalMachine, 0, base + "RunServicesOnceDisabled");
    if (listWindow) animation.pump();
    ListWinIniKey(false, 1);
    ListWinIniKey(false, 0);
    ListWinIniKey(true, 1);
    ListWinIniKey(true, 0);
    ListStartupFolder(false, 0);
    ListStartupFolder(false, 1);
    ListStartupFolder(true, 0);
    ListStartupFolder(true, 1);

    if (listWindow) {
        int columns = view->ColumnCount();
        for (int c = 0; c < columns; ++c)
            view->Send(LVM_SETCOLUMNWIDTH, c, c + 1 < columns ? LVSCW_AUTOSIZE : LVSCW_AUTOSIZE_USEHEADER);
    }

    // The findings are gathered under the animation; their messages come after it is gone.
    std::string reenabled, invalid;
    int count = list_.Count();
    std::vector<std::string> names(count);
    std::vector<DWORD> states(count);
    for (int r = 0; r < count; ++r) {
        names[r] = list_.Text(r, kStartupColName);
        states[r] = list_.Data(r);
    }
    for (int r = 0; r < count; ++r) {
        // A live entry whose name is also parked in a Disabled place: the program put itself
        // back after the user switched it off.
        if (states[r] == 1) {
            for (int o = 0; o < count; ++o) {
                if (states[o] == 0 && SameText(names[o], names[r])) {
                    reenabled += names[r] + ",";
                    break;
                }
            }
        }
        if (!IsPathEntryValid(list_.Text(r, kStartupColCommand), false, reportRemovableMedia)) invalid += names[r] + ",";
        if (listWindow && r % 16 == 15) animation.pump();
    }
    if (listWindow) animation.close();

    if (!reenabled.empty()) {
        status_.ShowNotifierText("Previously disabled program(s) have re-enabled themselves again.\nName(s): " +
                                 TrimTrailingCommas(reenabled) + ".\nPlease see the configuration of these programs");
    }
    if (!invalid.empty()) {
        if (!reenabled.empty()) {
            // The notifier is busy with the first finding: this one needs a box of its own.
            Prompter().Ask(listWindow ? listWindow : MainWindow(),
                           "Location of certain program(s) may be invalid.\n\nName(s):\t" + invalid +
                               "\nPlease verify the paths are correct.This can happen if you have uninstalled the "
                               "application.If the path is invalid, delete that entry",
                           "AutoStart Programs", MB_ICONEXCLAMATION | MB_OK);
        } else {
            status_.ShowNotifierText("Location of certain program(s) may be invalid.\nName(s): " +
                                     TrimTrailingCommas(invalid) + "\nPlease verify the paths are correct");
        }
    }
    if (listWindow) ::InvalidateRect(listWindow, nullptr, TRUE);
}

void CStartupPrograms::ListRunKey(HKEY hive, const char* hiveName, DWORD enabledState, const std::string& keyPath) {
    // Only keys the user may change are listed: their entries are the ones that can be moved.
    HKEY key = nullptr;
    if (::RegOpenKeyExA(hive, keyPath.c_str(), 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) return;
    DWORD values = 0;
    if (::RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values, nullptr, nullptr,
                           nullptr, nullptr) != ERROR_SUCCESS) {
        ::RegCloseKey(key);
        return;
    }
    const std::string location = std::string(hiveName) + "\\" + keyPath;
    for (DWORD i = 0; i < values; ++i) {
        char name[261];
        BYTE data[261];
        DWORD nameLen = sizeof name, dataLen = sizeof data, type = 0;
        if (::RegEnumValueA(key, i, name, &nameLen, nullptr, &type, data, &dataLen) != ERROR_SUCCESS) continue;
        // The data is shown as text whatever its type, up to its first terminator.
        const char* text = reinterpret_cast<const char*>(data);
        std::string command(text, strnlen(text, dataLen));
        if (command.empty()) continue;
        AddStartupRow(std::string(name, nameLen), command, location, "Registry", enabledState);
    }
    ::RegCloseKey(key);
}

void CStartupPrograms::ListWinIniKey(bool isRun, DWORD enabledState) {
    std::string key = isRun ? "Run" : "Load";
    if (enabledState == 0) key += "Disabled";
    std::string line;
    if (ReadWinIniLine(places.iniFile, key, line) == IniRead::kOverflow) {
        MessageBoxText("Error reading ini file", MB_OK);
        return;
    }
    for (const std::string& entry : SplitWinIniEntries(line)) {
        size_t slash = entry.find('\\');
        std::string name = slash == std::string::npos ? entry : entry.substr(slash + 1);
        AddStartupRow(name, entry, key, "Win.ini", enabledState);
    }
}

void CStartupPrograms::ListStartupFolder(bool isCommon, DWORD enabledState) {
    std::string folder = places.Folder(isCommon ? kCommonStartupFolder : kStartupFolder);
    if (folder.empty()) return;
    if (enabledState == 0) folder += "Disabled";
    const char* label = isCommon ? "Common Startup" : "Startup";

    WIN32_FIND_DATAA fd;
    HANDLE find = ::FindFirstFileA((folder + "\\*.*").c_str(), &fd);
    if (find == INVALID_HANDLE_VALUE) return;
    do {
        std::string name = fd.cFileName;
        if (name == "." || name == "..") continue;
        // Read-only and system files (desktop.ini and the like) are not startup entries of the
        // user's; hidden ones are.
        if (fd.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_SYSTEM)) continue;
        AddStartupRow(name, folder + "\\" + name, label, "StartUp", enabledState);
    } while (::FindNextFileA(find, &fd));
    ::FindClose(find);
}
