#include "startup/startupprograms.h"

#include "app/reghelpers.h"
#include "app/view.h"
#include "framework/prompter.h"
#include "framework/strings.h"
#include "resource.h"

#include <commctrl.h>
#include <shellapi.h>

namespace {

const char kDisabled[] = "Disabled";
const size_t kDisabledLength = sizeof kDisabled - 1;
// A line the scan can still read back: shorter than its 2600-character buffer.
const size_t kIniLineLimit = 2599;

bool EndsWithDisabled(const std::string& s) {
    return s.size() > kDisabledLength && SameText(s.substr(s.size() - kDisabledLength), kDisabled);
}

// Writes the value as REG_SZ into a key the scan can list again (full access), creating the
// key when needed; true only when the value is there.
bool WriteStartupValue(HKEY hive, const std::string& keyPath, const std::string& name, const std::string& text) {
    HKEY key = nullptr;
    if (::RegCreateKeyExA(hive, keyPath.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &key,
                          nullptr) != ERROR_SUCCESS)
        return false;
    LONG rc = ::RegSetValueExA(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                               static_cast<DWORD>(text.size() + 1));
    ::RegCloseKey(key);
    return rc == ERROR_SUCCESS;
}

bool WriteWinIniLine(const std::string& iniFile, const std::string& key, const std::string& line) {
    return ::WritePrivateProfileStringA("windows", key.c_str(), line.c_str(), iniFile.c_str()) != FALSE;
}

// One file through the shell, each path given as a list ended by an extra zero.
int ShellFileOperation(UINT function, const std::string& from, const std::string& to, FILEOP_FLAGS flags,
                       bool& aborted) {
    std::string source = from + '\0';
    std::string target = to + '\0';
    SHFILEOPSTRUCTA op {};
    op.wFunc = function;
    op.pFrom = source.c_str();
    op.pTo = to.empty() ? nullptr : target.c_str();
    op.fFlags = flags;
    int rc = ::SHFileOperationA(&op);
    aborted = op.fAnyOperationsAborted != FALSE;
    return rc;
}

bool PathExists(const std::string& path) { return ::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

void ReportIniOverflow() { MessageBoxText("Error reading ini file", MB_OK); }

}  // namespace

bool ParseRegistryLocation(const IResultList& list, int row, RegistryLocation& location) {
    std::string text = list.Text(row, kStartupColLocation);
    size_t slash = text.find('\\');
    location.valueName = list.Text(row, kStartupColName);
    location.hiveName = text.substr(0, slash);
    location.keyPath = slash == std::string::npos ? std::string() : text.substr(slash + 1);
    if (location.keyPath.empty()) return false;
    if (location.hiveName == "HKEY_LOCAL_MACHINE") location.hive = HKEY_LOCAL_MACHINE;
    else if (location.hiveName == "HKEY_CURRENT_USER") location.hive = HKEY_CURRENT_USER;
    else return false;
    return true;
}

CStartupPrograms::Kind CStartupPrograms::KindOf(int row) const {
    std::string physical = list_.Text(row, kStartupColPhysical);
    if (SameText(physical, "registry")) return Kind::kRegistry;
    if (SameText(physical, "win.ini")) return Kind::kWinIni;
    if (SameText(physical, "startup")) return Kind::kStartupFolder;
    return Kind::kOther;
}

bool CStartupPrograms::EnableStartupRow(int row) {
    switch (KindOf(row)) {
    case Kind::kRegistry: return MoveRegistryRow(row, true);
    case Kind::kWinIni: return MoveWinIniRow(row, true);
    case Kind::kStartupFolder: return MoveFolderRow(row, true);
    default: return false;
    }
}

bool CStartupPrograms::DisableStartupRow(int row) {
    switch (KindOf(row)) {
    case Kind::kRegistry: return MoveRegistryRow(row, false);
    case Kind::kWinIni: return MoveWinIniRow(row, false);
    case Kind::kStartupFolder: return MoveFolderRow(row, false);
    default: return false;
    }
}

bool CStartupPrograms::MoveRegistryRow(int row, bool enable) {
    RegistryLocation location;
    if (!ParseRegistryLocation(list_, row, location)) return false;
    // Only a Disabled key has a live twin, and a Disabled key has no twin of its own.
    if (EndsWithDisabled(location.keyPath) != enable) return false;
    const std::string from = location.keyPath;
    const std::string to = enable ? from.substr(0, from.size() - kDisabledLength) : from + kDisabled;

    HWND listWindow = ListWindow();
    if (listWindow) ::SendMessageA(listWindow, WM_SETREDRAW, FALSE, 0);
    // The new copy first: the old one goes only once the entry is safely in its new place.
    bool moved = WriteStartupValue(location.hive, to, location.valueName, list_.Text(row, kStartupColCommand));
    if (moved) {
        DeleteRegValue(location.hive, from, location.valueName);
        list_.SetText(row, kStartupColLocation, location.hiveName + "\\" + to);
        list_.SetChecked(row, enable);
    }
    if (listWindow) {
        ::SendMessageA(listWindow, WM_SETREDRAW, TRUE, 0);
        ::InvalidateRect(listWindow, nullptr, TRUE);
    }
    return moved;
}

bool CStartupPrograms::MoveWinIniRow(int row, bool enable) {
    const std::string source = list_.Text(row, kStartupColLocation);
    const std::string command = list_.Text(row, kStartupColCommand);
    if (source.empty() || command.empty() || EndsWithDisabled(source) != enable) return false;
    const std::string target = enable ? source.substr(0, source.size() - kDisabledLength) : source + kDisabled;

    // Both lines are read before either is written, so a line that cannot be read whole
    // leaves both as they are.
    std::string sourceLine, targetLine;
    if (ReadWinIniLine(places.iniFile, source, sourceLine) == IniRead::kOverflow) {
        ReportIniOverflow();
        return false;
    }
    if (sourceLine.empty()) return false;
    if (ReadWinIniLine(places.iniFile, target, targetLine) == IniRead::kOverflow) {
        ReportIniOverflow();
        return false;
    }
    // Only the entry itself leaves the line, never a piece of another entry that contains it;
    // an entry no longer on the line is not made up in the other one.
    if (!RemoveWinIniEntry(sourceLine, command)) return false;
    std::string newTarget = targetLine.empty() ? command : targetLine + " " + command;
    // A line too long to read back would hide every entry on it.
    if (newTarget.size() > kIniLineLimit) return false;

    // The new place first, so that a failed write never drops the entry.
    if (!WriteWinIniLine(places.iniFile, target, newTarget)) return false;
    WriteWinIniLine(places.iniFile, source, sourceLine);
    list_.SetText(row, kStartupColLocation, target);
    list_.SetChecked(row, enable);
    return true;
}

bool CStartupPrograms::MoveFolderRow(int row, bool enable) {
    const bool user = SameText(list_.Text(row, kStartupColLocation), "Startup");
    std::string folder = places.Folder(user ? kStartupFolder : kCommonStartupFolder);
    if (folder.empty()) return false;
    if (!enable) folder += kDisabled;
    const std::string source = list_.Text(row, kStartupColCommand);
    const std::string target = folder + "\\" + list_.Text(row, kStartupColName);
    if (source.empty() || SameText(source, target)) return false;

    // The shell does not make a missing destination folder by itself: the Disabled folder is
    // made here, without asking.
    if (!enable) ::CreateDirectoryA(folder.c_str(), nullptr);
    bool aborted = false;
    int rc = ShellFileOperation(FO_MOVE, source, target, FOF_NOCONFIRMATION | FOF_NOCONFIRMMKDIR, aborted);
    if (!enable) {
        DWORD attributes = ::GetFileAttributesA(folder.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES)
            ::SetFileAttributesA(folder.c_str(), attributes | FILE_ATTRIBUTE_HIDDEN);
    }
    if (rc != 0 || aborted || !PathExists(target)) return false;
    list_.SetText(row, kStartupColCommand, target);
    list_.SetChecked(row, enable);
    return true;
}

void CStartupPrograms::DeleteStartupRow(int row) {
    switch (KindOf(row)) {
    case Kind::kRegistry: {
        RegistryLocation location;
        if (ParseRegistryLocation(list_, row, location)) DeleteRegValue(location.hive, location.keyPath, location.valueName);
        break;
    }
    case Kind::kWinIni: {
        const std::string key = list_.Text(row, kStartupColLocation);
        std::string line;
        if (key.empty()) break;
        if (ReadWinIniLine(places.iniFile, key, line) == IniRead::kOverflow) {
            ReportIniOverflow();
            break;
        }
        if (!line.empty() && RemoveWinIniEntry(line, list_.Text(row, kStartupColCommand)))
            WriteWinIniLine(places.iniFile, key, line);
        break;
    }
    case Kind::kStartupFolder: {
        // Deleted for good, not sent to the Recycle Bin.
        const std::string path = list_.Text(row, kStartupColCommand);
        bool aborted = false;
        if (!path.empty()) ShellFileOperation(FO_DELETE, path, std::string(), FOF_NOCONFIRMATION, aborted);
        break;
    }
    default:
        break;
    }
}

void CStartupPrograms::ApplyStartupChanges() {
    HWND listWindow = ListWindow();
    int count = list_.Count();
    for (int row = 0; row < count; ++row) {
        // The check box as the list's state image: 1 cleared, 2 checked, 0 none (left alone).
        int state = list_.IsChecked(row) ? 2 : 1;
        if (listWindow) state = static_cast<int>((::SendMessageA(listWindow, LVM_GETITEMSTATE, row, LVIS_STATEIMAGEMASK) &
                                                  LVIS_STATEIMAGEMASK) >> 12);
        if (state == 0 || static_cast<DWORD>(state - 1) == list_.Data(row)) continue;
        if (state == 1) DisableStartupRow(row);
        else EnableStartupRow(row);
    }
    // The list is read again from the places, so it shows where every entry really is.
    ScanStartupPrograms();
}

void CStartupPrograms::DeleteSelectedStartupRows() {
    auto firstSelected = [this] {
        for (int row = 0, n = list_.Count(); row < n; ++row)
            if (list_.IsSelected(row)) return row;
        return -1;
    };
    if (firstSelected() < 0) {
        status_.ShowNotifierText(LoadStr(IDS_SELECT_ITEMS));
        return;
    }
    if (MessageBoxText("Are you sure you want to delete selected items ?", MB_YESNO | MB_ICONQUESTION) != IDYES) return;
    status_.SetStatusText("Please Wait...", 0);
    for (int row = firstSelected(); row >= 0; row = firstSelected()) {
        int before = list_.Count();
        DeleteStartupRow(row);
        list_.DeleteRow(row);
        if (list_.Count() >= before) break;
    }
    status_.SetStatusText("", 0);
}

void CStartupPrograms::DeleteAllStartupRows() {
    if (list_.Count() == 0) {
        status_.ShowNotifierText(LoadStr(IDS_LIST_EMPTY));
        return;
    }
    if (MessageBoxText("Are you sure you want to delete all items ?", MB_YESNO | MB_ICONQUESTION) != IDYES) return;
    status_.SetStatusText("Please Wait...", 0);
    while (list_.Count() > 0) {
        int before = list_.Count();
        DeleteStartupRow(0);
        list_.DeleteRow(0);
        if (list_.Count() >= before) break;
    }
    status_.SetStatusText("", 0);
}
