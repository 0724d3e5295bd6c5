#include "startup/startupprograms.h"

#include "core/codepage.h"
#include "core/reghelpers.h"
#include "core/view.h"
#include "framework/prompter.h"
#include "framework/strings.h"
#include "registry/undofile.h"
#include "resource.h"

#include <commctrl.h>
#include <shellapi.h>

namespace {

const char kDisabled[] = "Disabled";
const size_t kDisabledLength = sizeof kDisabled - 1;
// A line the scan can still read back: shorter than its 2600-character buffer.
const size_t kIniLineLimit = 2599;
// The most entries one message names; the rest are counted.
const size_t kProblemsShown = 15;

const char kNameNotExact[] =
    "its name has no exact form on this Windows, so it is left alone (Windows 10 version 1903 and later show every "
    "name exactly)";
const char kOffInWindows[] =
    "Windows itself has switched it off; switch it on again in Task Manager (Startup tab) or in Settings, Apps, "
    "Startup";
const char kNoLongerThere[] = "it is no longer where the list shows it; click Refresh List";

bool EndsWithDisabled(const std::string& s) {
    return s.size() > kDisabledLength && SameText(s.substr(s.size() - kDisabledLength), kDisabled);
}

std::string NoRight(const std::string& place) {
    return "you have no right to change " + place + "; an administrator can";
}

// The entry of the same name already in the place a move would go to; `command` (when there
// is more to tell than its place) helps the user tell the two apart.
std::string Blocked(const std::string& name, const std::string& place, const std::string& command) {
    std::string what = "\"" + name + "\" in " + place + (command.empty() ? "" : " (" + command + ")");
    return what + " is in the way and is not overwritten; delete or move one of the two first";
}

bool WriteWinIniLine(const std::string& iniFile, const std::string& key, const std::string& line) {
    return ::WritePrivateProfileStringA("windows", key.c_str(), line.c_str(), iniFile.c_str()) != FALSE;
}

// True when reading the key gives `line` back (the profile functions drop one pair of quotes
// around a whole line when they read it).
bool WinIniLineReads(const std::string& iniFile, const std::string& key, const std::string& line) {
    std::string expected = line;
    if (expected.size() >= 2 && (expected[0] == '"' || expected[0] == '\'') && expected.back() == expected[0])
        expected = expected.substr(1, expected.size() - 2);
    std::string read;
    return ReadWinIniLine(iniFile, key, read) == IniRead::kOk && read == expected;
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

bool PathExists(const std::wstring& path) { return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

void ReportIniOverflow() { MessageBoxText("Error reading ini file", MB_OK); }

// A value's data as a message shows it.
std::string ShownData(const RawRegValue& value) {
    if (value.type == REG_SZ || value.type == REG_EXPAND_SZ || value.type == REG_MULTI_SZ) {
        std::wstring text(reinterpret_cast<const wchar_t*>(value.bytes.data()), value.bytes.size() / sizeof(wchar_t));
        text.resize(wcsnlen(text.c_str(), text.size()));
        std::string shown;
        NarrowName(text, shown);
        return shown;
    }
    return Format("%u bytes of type %lu", static_cast<unsigned>(value.bytes.size()), value.type);
}

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

void CStartupPrograms::Refuse(int row, const std::string& why) {
    problems_.push_back(list_.Text(row, kStartupColName) + " (" + list_.Text(row, kStartupColLocation) + "): " + why);
}

void CStartupPrograms::ReportProblems(const char* heading) {
    if (problems_.empty()) return;
    std::string text = heading;
    text += "\n";
    for (size_t i = 0; i < problems_.size() && i < kProblemsShown; ++i) text += "\n" + problems_[i];
    if (problems_.size() > kProblemsShown)
        text += Format("\n... and %u more", static_cast<unsigned>(problems_.size() - kProblemsShown));
    MessageBoxText(text, MB_OK | MB_ICONEXCLAMATION);
}

bool CStartupPrograms::EnableStartupRow(int row) { return MoveStartupRow(row, true); }

bool CStartupPrograms::DisableStartupRow(int row) { return MoveStartupRow(row, false); }

bool CStartupPrograms::MoveStartupRow(int row, bool enable) {
    Kind kind = KindOf(row);
    if (kind == Kind::kOther) return false;
    const DWORD data = list_.Data(row);
    if (data & kStartupNameNotExact) {
        Refuse(row, kNameNotExact);
        return false;
    }
    if (enable && (data & kStartupOffInWindows)) {
        Refuse(row, kOffInWindows);
        return false;
    }
    switch (kind) {
    case Kind::kRegistry: return MoveRegistryRow(row, enable);
    case Kind::kWinIni: return MoveWinIniRow(row, enable);
    default: return MoveFolderRow(row, enable);
    }
}

bool CStartupPrograms::MoveRegistryRow(int row, bool enable) {
    RegistryLocation location;
    if (!ParseRegistryLocation(list_, row, location)) return false;
    // Only a Disabled key has a live twin, and a Disabled key has no twin of its own.
    if (EndsWithDisabled(location.keyPath) != enable) return false;
    const std::string from = location.keyPath;
    const std::string to = enable ? from.substr(0, from.size() - kDisabledLength) : from + kDisabled;
    const std::string fromPlace = location.hiveName + "\\" + from, toPlace = location.hiveName + "\\" + to;
    const std::wstring name = WideName(location.valueName, codePage);

    HKEY source = nullptr, target = nullptr;
    LONG rc = OpenStartupKey(location.hive, from, KEY_QUERY_VALUE | KEY_SET_VALUE, false, source);
    if (rc != ERROR_SUCCESS) {
        Refuse(row, rc == ERROR_ACCESS_DENIED ? NoRight(fromPlace) : kNoLongerThere);
        return false;
    }
    RawRegValue value, there;
    rc = ReadRawRegValue(source, name, value);
    if (rc != ERROR_SUCCESS) {
        ::RegCloseKey(source);
        Refuse(row, rc == ERROR_FILE_NOT_FOUND ? kNoLongerThere : "it could not be read");
        return false;
    }
    rc = OpenStartupKey(location.hive, to, KEY_QUERY_VALUE | KEY_SET_VALUE, true, target);
    if (rc != ERROR_SUCCESS) {
        ::RegCloseKey(source);
        Refuse(row, rc == ERROR_ACCESS_DENIED ? NoRight(toPlace) : "it could not be written to " + toPlace);
        return false;
    }
    // Never over another entry of that name: a program may have put one there meanwhile, or the
    // user parked an older one.
    rc = ReadRawRegValue(target, name, there);
    if (rc != ERROR_FILE_NOT_FOUND) {
        ::RegCloseKey(source);
        ::RegCloseKey(target);
        Refuse(row, Blocked(location.valueName, toPlace, rc == ERROR_SUCCESS ? ShownData(there) : "unreadable"));
        return false;
    }

    HWND listWindow = ListWindow();
    if (listWindow) ::SendMessageA(listWindow, WM_SETREDRAW, FALSE, 0);
    // The value goes over as the registry keeps it (type and every byte), and the old one goes
    // only once the new one reads back the same.
    const DWORD size = static_cast<DWORD>(value.bytes.size());
    LONG written = ::RegSetValueExW(target, name.c_str(), 0, value.type, value.bytes.data(), size);
    bool moved = written == ERROR_SUCCESS && ReadRawRegValue(target, name, there) == ERROR_SUCCESS &&
                 there.type == value.type && there.bytes == value.bytes;
    LONG removed = moved ? ::RegDeleteValueW(source, name.c_str()) : ERROR_SUCCESS;
    moved = moved && removed == ERROR_SUCCESS;
    if (!moved) {
        // The place held no such value before: whatever is there now is this move's copy.
        if (written == ERROR_SUCCESS) ::RegDeleteValueW(target, name.c_str());
        if (written != ERROR_SUCCESS)
            Refuse(row, written == ERROR_ACCESS_DENIED ? NoRight(toPlace) : "it could not be written to " + toPlace);
        else if (removed != ERROR_SUCCESS)
            Refuse(row, removed == ERROR_ACCESS_DENIED ? NoRight(fromPlace) : "it could not be taken out of " + fromPlace);
        else
            Refuse(row, "it did not read back unchanged from " + toPlace);
    } else {
        list_.SetText(row, kStartupColLocation, toPlace);
        list_.SetChecked(row, enable);
        if (enable && SwitchedOffInWindows(location.hive, StartupApprovedList(to), name))
            Refuse(row, "it is back in its place, but " + std::string(kOffInWindows));
    }
    ::RegCloseKey(source);
    ::RegCloseKey(target);
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
    if (ReadWinIniLine(places.iniFile, source, sourceLine) == IniRead::kOverflow ||
        ReadWinIniLine(places.iniFile, target, targetLine) == IniRead::kOverflow) {
        ReportIniOverflow();
        return false;
    }
    // Lines are written back whole: one that does not survive the code page is never written.
    if (!WinIniLineExact(source) || !WinIniLineExact(target)) {
        Refuse(row, kNameNotExact);
        return false;
    }
    // Only the entry itself leaves the line, never a piece of another entry that contains it;
    // an entry no longer on the line is not made up in the other one.
    std::string rest = sourceLine;
    if (!RemoveWinIniEntry(rest, command)) {
        Refuse(row, kNoLongerThere);
        return false;
    }
    for (const std::string& entry : SplitWinIniEntries(targetLine)) {
        if (SameText(WinIniEntryName(entry), WinIniEntryName(command))) {
            Refuse(row, Blocked(WinIniEntryName(entry), target, entry));
            return false;
        }
    }
    std::string newTarget = targetLine.empty() ? command : targetLine + " " + command;
    // A line too long to read back would hide every entry on it.
    if (WideName(newTarget).size() > kIniLineLimit) {
        Refuse(row, "the line " + target + " would grow too long to be read back");
        return false;
    }

    // The new place first, and only once it reads back is the entry cut from the old one: a
    // failed write never drops the entry.
    if (!WriteWinIniLine(places.iniFile, target, newTarget) || !WinIniLineReads(places.iniFile, target, newTarget)) {
        if (!WinIniLineReads(places.iniFile, target, targetLine)) WriteWinIniLine(places.iniFile, target, targetLine);
        Refuse(row, "it could not be written to the win.ini line " + target);
        return false;
    }
    if (!WriteWinIniLine(places.iniFile, source, rest) || !WinIniLineReads(places.iniFile, source, rest)) {
        // Still on its old line: it must not start twice.
        WriteWinIniLine(places.iniFile, target, targetLine);
        Refuse(row, "it could not be taken out of the win.ini line " + source);
        return false;
    }
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
    if (!PathExists(WideName(source, codePage))) {
        Refuse(row, kNoLongerThere);
        return false;
    }
    // The shell would replace a file of that name without asking (FOF_NOCONFIRMATION).
    if (PathExists(WideName(target, codePage))) {
        Refuse(row, Blocked(list_.Text(row, kStartupColName), folder, std::string()));
        return false;
    }

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
    if (rc != 0 || aborted || !PathExists(WideName(target, codePage))) {
        Refuse(row, rc == ERROR_ACCESS_DENIED ? NoRight(folder) : "it could not be moved to " + folder);
        return false;
    }
    list_.SetText(row, kStartupColCommand, target);
    list_.SetChecked(row, enable);
    return true;
}

bool CStartupPrograms::DeleteStartupRow(int row) {
    Kind kind = KindOf(row);
    if (kind == Kind::kOther) return false;
    if (list_.Data(row) & kStartupNameNotExact) {
        Refuse(row, kNameNotExact);
        return false;
    }
    switch (kind) {
    case Kind::kRegistry: return DeleteRegistryRow(row);
    case Kind::kWinIni: return DeleteWinIniRow(row);
    default: return DeleteFolderRow(row);
    }
}

bool CStartupPrograms::DeleteRegistryRow(int row) {
    RegistryLocation location;
    if (!ParseRegistryLocation(list_, row, location)) return false;
    const std::wstring name = WideName(location.valueName, codePage);
    HKEY key = nullptr;
    LONG rc = OpenStartupKey(location.hive, location.keyPath, KEY_QUERY_VALUE | KEY_SET_VALUE, false, key);
    if (rc == ERROR_FILE_NOT_FOUND) return true;
    if (rc != ERROR_SUCCESS) {
        Refuse(row, rc == ERROR_ACCESS_DENIED ? NoRight(location.hiveName + "\\" + location.keyPath)
                                              : "its key could not be opened");
        return false;
    }
    RawRegValue value;
    rc = ReadRawRegValue(key, name, value);
    if (rc == ERROR_FILE_NOT_FOUND) {
        ::RegCloseKey(key);
        return true;
    }
    // Saved first, as the registry cleaner saves what it removes, so the Options sheet can
    // bring it back; what cannot be saved is not deleted.
    if (!undo_) {
        undo_ = std::make_unique<UndoFile>();
        undoPath_ = places.UndoFolder() + "\\" + MakeUndoFileName();
        undo_->open(undoPath_);
    }
    if (!undo_->isOpen() || !undo_->ExportValue(location.hive, location.keyPath, location.valueName)) {
        ::RegCloseKey(key);
        Refuse(row, "the undo file " + undoPath_ + " could not be written");
        return false;
    }
    rc = ::RegDeleteValueW(key, name.c_str());
    ::RegCloseKey(key);
    if (rc != ERROR_SUCCESS && rc != ERROR_FILE_NOT_FOUND) {
        Refuse(row, rc == ERROR_ACCESS_DENIED ? NoRight(location.hiveName + "\\" + location.keyPath)
                                              : "it could not be deleted");
        return false;
    }
    return true;
}

bool CStartupPrograms::DeleteWinIniRow(int row) {
    const std::string key = list_.Text(row, kStartupColLocation);
    std::string line;
    if (key.empty()) return false;
    if (ReadWinIniLine(places.iniFile, key, line) == IniRead::kOverflow) {
        ReportIniOverflow();
        return false;
    }
    if (!WinIniLineExact(key)) {
        Refuse(row, kNameNotExact);
        return false;
    }
    if (line.empty() || !RemoveWinIniEntry(line, list_.Text(row, kStartupColCommand))) return true;
    if (!WriteWinIniLine(places.iniFile, key, line) || !WinIniLineReads(places.iniFile, key, line)) {
        Refuse(row, "the win.ini line " + key + " could not be written");
        return false;
    }
    return true;
}

bool CStartupPrograms::DeleteFolderRow(int row) {
    // Deleted for good, not sent to the Recycle Bin.
    const std::string path = list_.Text(row, kStartupColCommand);
    if (path.empty()) return false;
    if (!PathExists(WideName(path, codePage))) return true;
    bool aborted = false;
    int rc = ShellFileOperation(FO_DELETE, path, std::string(), FOF_NOCONFIRMATION, aborted);
    if (!PathExists(WideName(path, codePage))) return true;
    Refuse(row, rc == ERROR_ACCESS_DENIED ? NoRight(path) : "it could not be deleted");
    return false;
}

void CStartupPrograms::ApplyStartupChanges() {
    HWND listWindow = ListWindow();
    problems_.clear();
    int count = list_.Count();
    for (int row = 0; row < count; ++row) {
        // The check box as the list's state image: 1 cleared, 2 checked, 0 none (left alone).
        int state = list_.IsChecked(row) ? 2 : 1;
        if (listWindow) state = static_cast<int>((::SendMessageA(listWindow, LVM_GETITEMSTATE, row, LVIS_STATEIMAGEMASK) &
                                                  LVIS_STATEIMAGEMASK) >> 12);
        if (state == 0 || static_cast<DWORD>(state - 1) == (list_.Data(row) & kStartupEnabled)) continue;
        if (state == 1) DisableStartupRow(row);
        else EnableStartupRow(row);
    }
    // The list is read again from the places, so it shows where every entry really is.
    ScanStartupPrograms();
    ReportProblems("These entries are not where you asked for them:");
}

void CStartupPrograms::DeleteRows(bool selectedOnly) {
    problems_.clear();
    status_.SetStatusText("Please Wait...", 0);
    for (int row = 0; row < list_.Count();) {
        if (selectedOnly && !list_.IsSelected(row)) {
            ++row;
            continue;
        }
        int before = list_.Count();
        if (DeleteStartupRow(row)) list_.DeleteRow(row);
        // A row whose entry stays keeps its place in the list.
        if (list_.Count() >= before) ++row;
    }
    undo_.reset();
    status_.SetStatusText("", 0);
    ReportProblems("These entries were not deleted:");
}

void CStartupPrograms::DeleteSelectedStartupRows() {
    bool any = false;
    for (int row = 0, n = list_.Count(); row < n && !any; ++row) any = list_.IsSelected(row);
    if (!any) {
        status_.ShowNotifierText(LoadStr(IDS_SELECT_ITEMS));
        return;
    }
    if (MessageBoxText("Are you sure you want to delete selected items ?", MB_YESNO | MB_ICONQUESTION) != IDYES) return;
    DeleteRows(true);
}

void CStartupPrograms::DeleteAllStartupRows() {
    if (list_.Count() == 0) {
        status_.ShowNotifierText(LoadStr(IDS_LIST_EMPTY));
        return;
    }
    if (MessageBoxText("Are you sure you want to delete all items ?", MB_YESNO | MB_ICONQUESTION) != IDYES) return;
    DeleteRows(false);
}
