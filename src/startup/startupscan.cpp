#include "startup/startupprograms.h"

#include "core/codepage.h"
#include "core/memorylist.h"
#include "core/reghelpers.h"
#include "core/view.h"
#include "framework/prompter.h"
#include "framework/strings.h"
#include "registry/pathcheck.h"
#include "registry/regremove.h"
#include "widgets/progressdlg.h"

#include <commctrl.h>

#include <algorithm>
#include <cstring>

namespace {

const char kRunKeys[] = "Software\\Microsoft\\Windows\\CurrentVersion\\";
const char kRunKeys32[] = "Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\";
const char kCurrentUser[] = "HKEY_CURRENT_USER";
const char kLocalMachine[] = "HKEY_LOCAL_MACHINE";

// The registry places in the order they are listed: the live keys, then their Disabled twins;
// then the same places of the 32-bit registry view, which only the machine's hive has.
struct RunPlace {
    bool machine;
    const char* base;
    const char* key;
    DWORD state;
};
const RunPlace kRunPlaces[] = {
    {false, kRunKeys, "Run", 1},
    {false, kRunKeys, "RunOnce", 1},
    {true, kRunKeys, "Run", 1},
    {true, kRunKeys, "RunServices", 1},
    {true, kRunKeys, "RunOnce", 1},
    {true, kRunKeys, "RunOnceEx", 1},
    {true, kRunKeys, "RunServicesOnce", 1},
    {false, kRunKeys, "RunDisabled", 0},
    {false, kRunKeys, "RunOnceDisabled", 0},
    {true, kRunKeys, "RunDisabled", 0},
    {true, kRunKeys, "RunServicesDisabled", 0},
    {true, kRunKeys, "RunOnceDisabled", 0},
    {true, kRunKeys, "RunOnceExDisabled", 0},
    {true, kRunKeys, "RunServicesOnceDisabled", 0},
    {true, kRunKeys32, "Run", 1},
    {true, kRunKeys32, "RunServices", 1},
    {true, kRunKeys32, "RunOnce", 1},
    {true, kRunKeys32, "RunOnceEx", 1},
    {true, kRunKeys32, "RunServicesOnce", 1},
    {true, kRunKeys32, "RunDisabled", 0},
    {true, kRunKeys32, "RunServicesDisabled", 0},
    {true, kRunKeys32, "RunOnceDisabled", 0},
    {true, kRunKeys32, "RunOnceExDisabled", 0},
    {true, kRunKeys32, "RunServicesOnceDisabled", 0},
};

// Room the win.ini lines are read with, in characters, terminator included.
const size_t kIniLineRoom = 2600;
// More than any list column shows; the value itself is always moved whole.
const size_t kShownTextRoom = 2048;

std::string TrimTrailingCommas(std::string s) {
    while (!s.empty() && s.back() == ',') s.pop_back();
    return s;
}

// A value's data as the list shows it: text up to its first terminator whatever its type.
std::string ShownText(DWORD type, const std::vector<BYTE>& data, DWORD size, UINT codePage) {
    if (type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ) {
        const wchar_t* text = reinterpret_cast<const wchar_t*>(data.data());
        std::wstring wide(text, wcsnlen(text, std::min<size_t>(size / sizeof(wchar_t), kShownTextRoom)));
        std::string shown;
        NarrowName(wide, shown, codePage);
        return shown;
    }
    const char* bytes = reinterpret_cast<const char*>(data.data());
    return std::string(bytes, strnlen(bytes, std::min<size_t>(size, kShownTextRoom)));
}

// The machine keeps 32-bit registrations apart only where its hive has that branch; without
// it the 32-bit view is the 64-bit one, whose places are listed already.
bool HasWow64Branch(HKEY hive) {
    HKEY key = nullptr;
    if (::RegOpenKeyExA(hive, "Software\\Wow6432Node", 0, KEY_QUERY_VALUE | KEY_WOW64_64KEY, &key) != ERROR_SUCCESS)
        return false;
    ::RegCloseKey(key);
    return true;
}

}  // namespace

std::string StartupPlaces::Folder(int csidl) const {
    return shellFolder ? shellFolder(csidl) : GetShellFolder(csidl);
}

std::string StartupPlaces::UndoFolder() const { return undoFolder.empty() ? ::UndoFolder() : undoFolder; }

StartupPlaces& DefaultStartupPlaces() {
    static StartupPlaces places;
    return places;
}

IniRead ReadWinIniLine(const std::string& iniFile, const std::string& key, std::string& line) {
    // A line fits when it leaves room for its terminator in 2600 characters; in UTF-8 a
    // character takes up to three bytes. The function answers size - 1 both for a line that
    // just fits and for one it cut, so it is given a little more room to tell the two apart.
    std::vector<char> buf(kIniLineRoom * 3 + 2, '\0');
    DWORD n = ::GetPrivateProfileStringA("Windows", key.c_str(), "", buf.data(), static_cast<DWORD>(buf.size()),
                                         iniFile.c_str());
    line.clear();
    if (n >= buf.size() - 2) return IniRead::kOverflow;
    std::string text(buf.data(), n);
    if (WideName(text).size() >= kIniLineRoom) return IniRead::kOverflow;
    line = text;
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

std::string WinIniEntryName(const std::string& entry) {
    size_t slash = entry.find('\\');
    return slash == std::string::npos ? entry : entry.substr(slash + 1);
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
CStartupPrograms::~CStartupPrograms() = default;
CStartupPrograms::CStartupPrograms(CStartupPrograms&&) noexcept = default;

HWND CStartupPrograms::ListWindow() const { return view && view->IsWindow() ? view->m_hWnd : nullptr; }

void CStartupPrograms::AddStartupRow(const std::string& name, const std::string& command,
                                     const std::string& location, const char* physical, DWORD data) {
    int row = list_.AddRow({name, command, location, physical}, -1, data);
    if (row < 0) return;
    list_.SetChecked(row, (data & kStartupEnabled) != 0);
    // A row that is never acted on offers no check box to change.
    if ((data & kStartupNameNotExact) && ListWindow()) {
        LVITEMA item {};
        item.stateMask = LVIS_STATEIMAGEMASK;
        item.state = INDEXTOSTATEIMAGEMASK(0);
        ::SendMessageA(ListWindow(), LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&item));
    }
}

bool CStartupPrograms::WinIniLineExact(const std::string& key) const {
    std::vector<wchar_t> buf(kIniLineRoom + 2, L'\0');
    DWORD n = ::GetPrivateProfileStringW(L"Windows", WideName(key, codePage).c_str(), L"", buf.data(),
                                         static_cast<DWORD>(buf.size()), WideName(places.iniFile, codePage).c_str());
    std::string narrow;
    return NarrowName(std::wstring(buf.data(), n), narrow, codePage);
}

void CStartupPrograms::ListEveryPlace(const std::function<void()>& pump) {
    list_.DeleteAll();
    const bool wow64 = HasWow64Branch(HKEY_LOCAL_MACHINE);
    for (const RunPlace& place : kRunPlaces) {
        if (place.base == kRunKeys32 && !wow64) continue;
        ListRunKey(place.machine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER, place.machine ? kLocalMachine : kCurrentUser,
                   place.state, std::string(place.base) + place.key);
    }
    if (pump) pump();
    ListWinIniKey(false, 1);
    ListWinIniKey(false, 0);
    ListWinIniKey(true, 1);
    ListWinIniKey(true, 0);
    ListStartupFolder(false, 0);
    ListStartupFolder(false, 1);
    ListStartupFolder(true, 0);
    ListStartupFolder(true, 1);
}

bool StartupEntryExists(const std::string& name, const std::string& commandLine) {
    struct : IStatusSink {
        void SetStatusText(const std::string&, int) override {}
        void ShowNotifierText(const std::string&) override {}
    } quiet;
    CMemoryList rows;
    CStartupPrograms tool(rows, quiet);
    tool.ListEveryPlace(nullptr);
    for (int r = 0; r < rows.Count(); ++r)
        if (SameText(rows.Text(r, kStartupColName), name) && SameText(rows.Text(r, kStartupColCommand), commandLine))
            return true;
    return false;
}

void CStartupPrograms::ScanStartupPrograms() {
    HWND listWindow = ListWindow();
    CAnimationDialog animation(0);
    if (listWindow) animation.create(listWindow);

    if (listWindow) {
        view->SetListMode(kListStartupPrograms);
        view->Send(LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_CHECKBOXES, LVS_EX_CHECKBOXES);
    }
    ListEveryPlace([&] {
        if (listWindow) animation.pump();
    });

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
    // Parked in a Disabled twin by this tool (not merely switched off by Windows).
    auto parked = [&](int r) { return (states[r] & (kStartupEnabled | kStartupOffInWindows)) == 0; };
    for (int r = 0; r < count; ++r) {
        if (keep && keep->IsStartupEntryKept(names[r], list_.Text(r, kStartupColCommand))) continue;
        // A live entry whose name is also parked in a Disabled place: the program put itself
        // back after the user switched it off.
        if (states[r] & kStartupEnabled) {
            for (int o = 0; o < count; ++o) {
                if (parked(o) && SameText(names[o], names[r])) {
                    reenabled += names[r] + ",";
                    break;
                }
            }
        }
        // A name that is not exactly the entry's cannot name its file either.
        if (!(states[r] & kStartupNameNotExact) &&
            !IsPathEntryValid(list_.Text(r, kStartupColCommand), false, reportRemovableMedia))
            invalid += names[r] + ",";
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
    // Read access only: a standard user cannot write the machine's keys, and their entries
    // must be listed all the same.
    HKEY key = nullptr;
    if (OpenStartupKey(hive, keyPath, KEY_QUERY_VALUE, false, key) != ERROR_SUCCESS) return;
    std::vector<wchar_t> name;
    std::vector<BYTE> data;
    auto measure = [&] {
        DWORD nameRoom = 0, dataRoom = 0;
        if (::RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &nameRoom, &dataRoom,
                               nullptr, nullptr) != ERROR_SUCCESS)
            return false;
        name.assign(nameRoom + 1, L'\0');
        data.assign(dataRoom + sizeof(wchar_t), 0);
        return true;
    };
    const std::string location = std::string(hiveName) + "\\" + keyPath;
    const std::string approved = enabledState ? StartupApprovedList(keyPath) : std::string();
    if (!measure()) {
        ::RegCloseKey(key);
        return;
    }
    for (DWORD index = 0, retries = 0;;) {
        DWORD nameLength = static_cast<DWORD>(name.size()), size = static_cast<DWORD>(data.size() - sizeof(wchar_t));
        DWORD type = REG_NONE;
        LONG rc = ::RegEnumValueW(key, index, name.data(), &nameLength, nullptr, &type, data.data(), &size);
        if (rc == ERROR_MORE_DATA) {
            // Grown since the key was measured: measured again; one that keeps growing is passed over.
            if (++retries < 8 && measure()) continue;
            ++index;
            retries = 0;
            continue;
        }
        // The end of the values, or any failure, ends the walk.
        if (rc != ERROR_SUCCESS) break;
        ++index;
        retries = 0;
        std::string command = ShownText(type, data, size, codePage);
        if (command.empty()) continue;
        const std::wstring wideName(name.data(), nameLength);
        std::string shownName;
        DWORD rowData = enabledState;
        if (!NarrowName(wideName, shownName, codePage)) rowData |= kStartupNameNotExact;
        if (enabledState && SwitchedOffInWindows(hive, approved, wideName))
            rowData = (rowData & ~kStartupEnabled) | kStartupOffInWindows;
        AddStartupRow(shownName, command, location, "Registry", rowData);
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
    if (line.empty()) return;
    // A line is written back whole, so one entry that does not survive the code page keeps
    // every entry of its line from being moved.
    const DWORD rowData = enabledState | (WinIniLineExact(key) ? 0 : DWORD(kStartupNameNotExact));
    for (const std::string& entry : SplitWinIniEntries(line))
        AddStartupRow(WinIniEntryName(entry), entry, key, "Win.ini", rowData);
}

void CStartupPrograms::ListStartupFolder(bool isCommon, DWORD enabledState) {
    std::string folder = places.Folder(isCommon ? kCommonStartupFolder : kStartupFolder);
    if (folder.empty()) return;
    if (enabledState == 0) folder += "Disabled";
    const char* label = isCommon ? "Common Startup" : "Startup";
    // Windows' own switch for these files is kept in the hive of the folder's owner.
    const HKEY approvedHive = isCommon ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
    const std::string approved = enabledState ? "StartupFolder" : "";

    WIN32_FIND_DATAW fd;
    HANDLE find = ::FindFirstFileW((WideName(folder, codePage) + L"\\*.*").c_str(), &fd);
    if (find == INVALID_HANDLE_VALUE) return;
    do {
        const std::wstring wideName = fd.cFileName;
        if (wideName == L"." || wideName == L"..") continue;
        // Read-only and system files (desktop.ini and the like) are not startup entries of the
        // user's; hidden ones are.
        if (fd.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_SYSTEM)) continue;
        std::string name;
        DWORD rowData = enabledState;
        if (!NarrowName(wideName, name, codePage)) rowData |= kStartupNameNotExact;
        if (enabledState && SwitchedOffInWindows(approvedHive, approved, wideName))
            rowData = (rowData & ~kStartupEnabled) | kStartupOffInWindows;
        AddStartupRow(name, folder + "\\" + name, label, "StartUp", rowData);
    } while (::FindNextFileW(find, &fd));
    ::FindClose(find);
}
