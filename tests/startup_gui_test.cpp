// The startup programs manager on a machine of its own: both hives on scratch keys, a scratch ini
// file for win.ini and scratch Startup folders; its rules on rows in memory, and its commands on
// the real list window.
#include "core/codepage.h"
#include "core/reghelpers.h"
#include "framework/strings.h"
#include "kit.h"
#include "startup/startupcommands.h"
#include "startup/startupprograms.h"

#include <gtest/gtest.h>

namespace {

const std::string kCV = "Software\\Microsoft\\Windows\\CurrentVersion\\", kNotepad = "C:\\windows\\notepad.exe";
const std::string kCV32 = "Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\";
const std::string kUser = "HKEY_CURRENT_USER\\", kMachine = "HKEY_LOCAL_MACHINE\\";
const HKEY HKCU = HKEY_CURRENT_USER, HKLM = HKEY_LOCAL_MACHINE;
// What a standard user may do with most machine keys: read them, not change them (deleting is
// left in, so the scratch keys still go at the end).
const char kReadOnly[] = "D:P(A;;KRSD;;;WD)";

std::string Wide(const std::string& utf8) {  // UTF-16 with its terminator, as a REG_SZ value keeps it
    std::wstring w = WideName(utf8, CP_UTF8) + L'\0';
    return std::string(reinterpret_cast<const char*>(w.data()), w.size() * sizeof(wchar_t));
}
// A value as the registry keeps it, "type:bytes"; "<none>" when there is none.
std::string Raw(HKEY root, const std::string& key, const std::string& name) {
    const std::wstring k = WideName(key, CP_UTF8), v = WideName(name, CP_UTF8);
    DWORD type = 0, size = 0, flags = RRF_RT_ANY | RRF_NOEXPAND;
    if (::RegGetValueW(root, k.c_str(), v.c_str(), flags, &type, nullptr, &size)) return "<none>";
    std::string bytes(size, '\0');
    ::RegGetValueW(root, k.c_str(), v.c_str(), flags, &type, &bytes[0], &size);
    return Format("%lu:", type) + bytes.substr(0, size);
}
bool Mentions(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }
std::string Line(const std::vector<std::string>& texts, DWORD data, bool checked) {
    std::string line;
    for (const std::string& t : texts) line += t + " | ";
    return line + Format("%lu %d", data, checked);
}
// The row a scan makes for an entry; the kind of place follows from the location.
std::string Entry(const std::string& name, const std::string& command, const std::string& location, DWORD data) {
    const char* kind = !location.rfind("HKEY", 0) ? "Registry" : Mentions(location, "Startup") ? "StartUp" : "Win.ini";
    return Line({name, command, location, kind}, data, data & kStartupEnabled);
}

class StartupTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (const std::string& f : {userFolder, commonFolder}) ::CreateDirectoryA(f.c_str(), nullptr);
        tool.places = {ini, [this](int id) { return id == kStartupFolder ? userFolder : commonFolder; }, dir.path()};
    }
    void SetIni(const std::string& key, const std::string& line) {
        ::WritePrivateProfileStringA("windows", key.c_str(), line.c_str(), ini.c_str());
    }
    std::string Ini(const std::string& key) {
        char line[8192] = {};
        ::GetPrivateProfileStringA("windows", key.c_str(), "<none>", line, sizeof line, ini.c_str());
        return line;
    }
    std::vector<std::string> Listing() {
        std::vector<std::string> lines;
        for (const auto& r : list.rows) lines.push_back(Line(r.texts, r.data, r.checked));
        return lines;
    }

    kit::ScratchRoots roots;
    ScratchDir dir {"startup"};
    // Not called win.ini: the system maps a file of that name to the registry.
    std::string ini = dir / "startup.ini", userFolder = dir / "StartUp", commonFolder = dir / "Common";
    kit::Rows list;
    kit::RecordingStatus status;
    ScriptedPrompter prompter;
    CStartupPrograms tool {list, status};
};

}  // namespace

TEST_F(StartupTest, ListsEveryPlaceInOrderAndMovesEachEntryToItsTwinAndBackExactly) {
    // The live keys, then their Disabled twins; then the same in the machine's 32-bit view.
    std::vector<std::pair<HKEY, std::string>> places;
    for (const std::string& branch : {kCV, kCV32})
        for (const char* twin : {"", "Disabled"}) {
            for (const char* k : {"Run", "RunOnce"})
                if (branch == kCV) places.emplace_back(HKCU, branch + k + twin);
            for (const char* k : {"Run", "RunServices", "RunOnce", "RunOnceEx", "RunServicesOnce"})
                places.emplace_back(HKLM, branch + k + twin);
        }
    // Values of every type with what the list shows of each, under names in any language.
    const std::string multi = Wide("C:\\a.exe") + Wide("C:\\b.exe") + std::string(2, '\0'), x600(600, 'x');
    const std::tuple<DWORD, std::string, std::string> kinds[] = {
        {REG_SZ, Wide(kNotepad), kNotepad}, {REG_EXPAND_SZ, Wide("%windir%\\x.exe"), "%windir%\\x.exe"},
        {REG_SZ, Wide("C:\\a.exe").substr(0, 16), "C:\\a.exe"}, {REG_MULTI_SZ, multi, "C:\\a.exe"},
        {REG_BINARY, std::string("abcd\0\1\2\3", 8), "abcd"}, {REG_DWORD, std::string("A\0\0\0", 4), "A"},
        {REG_QWORD, std::string("B\0\0\0\0\0\0\1", 8), "B"}, {0x4b57, std::string("kelvo\0\xff", 7), "kelvo"},
        {REG_SZ, Wide(x600), x600}};
    const std::string tails[] = {"", " \xce\xa9", " \xe4\xb8\xad\xe6\x96\x87 \xf0\x9f\x98\x80", std::string(300, 'n')};
    auto twin = [](std::string s) { return Mentions(s, "Disabled") ? s.substr(0, s.size() - 8) : s + "Disabled"; };
    auto name = [&](size_t i) { return Format("p%02u", unsigned(i)) + tails[i % 4]; };
    std::vector<std::string> expected(places.size()), stored(places.size());
    for (size_t i = places.size(); i-- > 0;) {  // written backwards: the order is the scan's
        const auto& [hive, key] = places[i];
        const auto& [type, bytes, shown] = kinds[i % 9];
        kit::SetRegRaw(hive, key, name(i), type, bytes);
        kit::SetRegString(hive, key, "no data", "");
        stored[i] = Raw(hive, key, name(i));
        expected[i] = Entry(name(i), shown, (hive == HKCU ? kUser : kMachine) + key, !Mentions(key, "Disabled"));
    }
    kit::SetRegString(HKCU, kCV + "RunServices", "not read", kNotepad);
    for (const std::string k : {"Load", "LoadDisabled"}) {
        SetIni(k, "C:\\" + k + "\\a.exe  " + k + ".exe ");
        expected.push_back(Entry(k + "\\a.exe", "C:\\" + k + "\\a.exe", k, k == "Load"));
        expected.push_back(Entry(k + ".exe", k + ".exe", k, k == "Load"));
    }
    std::string omegas;  // the longest line read whole: 2599 characters, of two bytes each
    for (int i = 0; i < 2599; ++i) omegas += "\xce\xa9";
    SetIni("RunDisabled", omegas);
    expected.push_back(Entry(omegas, omegas, "RunDisabled", 0));
    // Folders, read-only and system files are not the user's entries; hidden files are.
    std::vector<std::pair<std::string, std::string>> files;
    for (const std::string& f : {userFolder + "Disabled", userFolder, commonFolder + "Disabled", commonFolder}) {
        ::CreateDirectoryA(f.c_str(), nullptr);
        ::CreateDirectoryA((f + "\\folder.lnk").c_str(), nullptr);
        files.emplace_back(f, Format("f%u.lnk", unsigned(expected.size())));
        for (DWORD a : {FILE_ATTRIBUTE_HIDDEN, FILE_ATTRIBUTE_READONLY, FILE_ATTRIBUTE_SYSTEM}) {
            const std::string file = f + "\\" + (a == FILE_ATTRIBUTE_HIDDEN ? files.back().second : Format("%lu", a));
            WriteFileText(file, "x");
            ::SetFileAttributesA(file.c_str(), a);
        }
        expected.push_back(Entry(files.back().second, f + "\\" + files.back().second,
                                 Mentions(f, commonFolder) ? "Common Startup" : "Startup", !Mentions(f, "Disabled")));
    }
    list.Add({"stale"}, 1);
    tool.ScanStartupPrograms();
    EXPECT_EQ(expected, Listing());

    for (int back = 0; back < 2; ++back) {
        for (auto& r : list.rows) r.checked = !r.checked;
        tool.ApplyStartupChanges();
        for (size_t i = 0; i < places.size(); ++i)
            EXPECT_EQ(stored[i], Raw(places[i].first, back ? places[i].second : twin(places[i].second), name(i))) << i;
        for (const auto& [folder, file] : files) EXPECT_TRUE(FileExists((back ? folder : twin(folder)) + "\\" + file));
        EXPECT_EQ(back ? "" : omegas, Ini("Run"));
        EXPECT_EQ(back ? "C:\\LoadDisabled\\a.exe LoadDisabled.exe" : "C:\\Load\\a.exe Load.exe", Ini("LoadDisabled"));
    }
    EXPECT_TRUE(::GetFileAttributesA((userFolder + "Disabled").c_str()) & FILE_ATTRIBUTE_HIDDEN);
    EXPECT_EQ(expected, Listing());
    EXPECT_TRUE(prompter.asked.empty());
}

TEST_F(StartupTest, ScansShowWindowsOwnSwitchAndReportEntriesThatCameBackOrAreGoneButNoKeptOnes) {
    // The entry's place (a folder for a .lnk), the list of Windows' switch for it in the hive of
    // the place (the machine's for the common folder), the switch's first byte, the row's data.
    const struct { const char* name; HKEY hive; std::string at; const char* list; char first; DWORD data; } cases[] = {
        {"offUser", HKCU, kCV + "Run", "Run", 3, kStartupOffInWindows}, {"onUser", HKCU, kCV + "Run", "Run", 2, 1},
        {"offMachine", HKLM, kCV + "Run", "Run", 7, kStartupOffInWindows}, {"on6", HKLM, kCV + "Run", "Run", 6, 1},
        {"off32", HKLM, kCV32 + "Run", "Run32", 3, kStartupOffInWindows}, {"once", HKCU, kCV + "RunOnce", "Run", 3, 1},
        {"otherList", HKLM, kCV + "Run", "Run32", 3, 1}, {"parked", HKCU, kCV + "RunDisabled", "Run", 3, 0},
        {"off.lnk", HKCU, userFolder, "StartupFolder", 3, kStartupOffInWindows},
        {"common.lnk", HKLM, commonFolder, "StartupFolder", 3, kStartupOffInWindows}};
    for (const auto& c : cases) {
        if (Mentions(c.name, ".lnk")) WriteFileText(c.at + "\\" + c.name, "x");
        else kit::SetRegString(c.hive, c.at, c.name, kNotepad);
        kit::SetRegRaw(c.hive, kCV + "Explorer\\StartupApproved\\" + c.list, c.name, REG_BINARY,
                       std::string(1, c.first) + std::string(11, '\1'));
    }
    // Back in a live place after being parked: names alike across places and cases.
    for (const std::string key : {"Run", "RunDisabled"}) kit::SetRegString(HKCU, kCV + key, "Foo", kNotepad);
    kit::SetRegString(HKLM, kCV + "Run", "FOO", "\"" + kNotepad + "\" /s");
    kit::SetRegString(HKLM, kCV + "RunOnce", "bar.lnk", kNotepad);
    ::CreateDirectoryA((userFolder + "Disabled").c_str(), nullptr);
    WriteFileText(userFolder + "Disabled\\Bar.lnk", "x");
    for (const char* name : {"dead", "kept"}) kit::SetRegString(HKCU, kCV + "RunOnce", name, "C:\\KelvoGone\\x.exe");
    KeepList keep;
    keep.Add(KeepStartupEntry("kept", "C:\\KelvoGone\\x.exe"));
    tool.keep = &keep;
    tool.ScanStartupPrograms();
    for (const auto& c : cases) {
        const int row = list.Find(kStartupColName, c.name);
        EXPECT_EQ(Line({c.name}, c.data, c.data == 1), Line({c.name}, list.Data(row), list.IsChecked(row)));
    }
    EXPECT_EQ(std::vector<std::string>{"Previously disabled program(s) have re-enabled themselves again.\nName(s): "
                                       "Foo,FOO,bar.lnk.\nPlease see the configuration of these programs"},
              status.notes);
    // The notifier is taken: the names that may be invalid get a box, with their last comma.
    ASSERT_EQ(1u, prompter.asked.size());
    EXPECT_TRUE(Mentions(prompter.asked[0].text, "may be invalid.\n\nName(s):\tdead,\nPlease verify"));
    DeleteRegKeyTree(HKCU, kCV + "RunDisabled");
    RemoveTree(userFolder + "Disabled");
    tool.ScanStartupPrograms();
    EXPECT_EQ("Location of certain program(s) may be invalid.\nName(s): dead\nPlease verify the paths are correct",
              status.notes.back());
}

TEST_F(StartupTest, NothingIsOverwrittenOrLostWhereAPlaceIsTakenOrCannotBeWrittenOrANameIsNotExact) {
    tool.codePage = 1252;  // an older Windows, whose code page has no Omega
    const std::string omega = "\xce\xa9mega";
    for (std::string key : {"Run", "RunDisabled"}) kit::SetRegString(HKCU, kCV + key, "App", "C:\\" + key + ".exe");
    kit::SetRegString(HKCU, kCV + "Run", omega, kNotepad);
    kit::SetRegString(HKCU, kCV + "Run", "?mega", "C:\\decoy.exe");  // what the lost name would be taken for
    SetIni("Load", "C:\\a\\same.exe");
    SetIni("LoadDisabled", "D:\\a\\same.exe");
    SetIni("Run", omega + ".exe keep.exe");  // written back whole, so neither entry is exact
    ::CreateDirectoryA((userFolder + "Disabled").c_str(), nullptr);
    for (const std::string& f : {userFolder, userFolder + "Disabled"}) WriteFileText(f + "\\x.lnk", f);
    WriteFileText(userFolder + "\\" + omega + ".lnk", "x");
    kit::SetRegString(HKLM, kCV + "Run", "machine", kNotepad);
    kit::SetKeyAccess(HKLM, kCV + "Run", kReadOnly);  // a standard user may list the machine's entries, not move them
    tool.ScanStartupPrograms();
    const std::vector<std::string> before = Listing();
    ASSERT_EQ(12u, before.size());
    // Every entry but the decoy would swap places with its namesake.
    for (auto& r : list.rows) r.checked = r.checked != (r.texts[1] != "C:\\decoy.exe");
    tool.ApplyStartupChanges();
    EXPECT_EQ(before, Listing());
    EXPECT_EQ(11u, tool.Problems().size());
    EXPECT_TRUE(Mentions(prompter.asked.back().text, "RunDisabled (C:\\RunDisabled.exe) is in the way and is not"));

    // Deletes are asked for; a registry entry is saved to the undo file first, or stays.
    for (int r = 0; r < list.Count(); ++r) list.Select(r, list.Data(r) == 0);
    prompter.answers = {IDNO, IDYES};
    tool.DeleteSelectedStartupRows();
    tool.places.undoFolder = dir / "missing";
    tool.DeleteSelectedStartupRows();
    EXPECT_EQ(10, list.Count());
    EXPECT_EQ("1:" + Wide("C:\\RunDisabled.exe"), Raw(HKCU, kCV + "RunDisabled", "App"));
    EXPECT_EQ("", Ini("LoadDisabled"));
    EXPECT_FALSE(FileExists(userFolder + "Disabled\\x.lnk"));
    EXPECT_TRUE(Mentions(prompter.asked.back().text, "RunDisabled): the undo file " + dir / "missing\\"));
    tool.places.undoFolder = dir.path();
    prompter.answers = {IDYES};
    tool.DeleteAllStartupRows();
    EXPECT_EQ(5, list.Count());  // the machine's entry and those whose names are not exact
    EXPECT_TRUE(Mentions(prompter.asked.back().text, "\nmachine (" + kMachine + kCV + "Run): you have no right"));
    EXPECT_EQ("<none>", Raw(HKCU, kCV + "RunDisabled", "App"));
    // The undo file gives it back through the registry editor.
    WIN32_FIND_DATAA found {};
    HANDLE find = ::FindFirstFileA((dir / "*.reg").c_str(), &found);
    ASSERT_NE(INVALID_HANDLE_VALUE, find) << "no undo file in " << dir.path();
    ::FindClose(find);
    ASSERT_EQ(0u, roots.Import(kit::ReadUtf16File(dir / found.cFileName), dir / "restore.reg"));
    EXPECT_EQ("1:" + Wide("C:\\RunDisabled.exe"), Raw(HKCU, kCV + "RunDisabled", "App"));
}

TEST_F(StartupTest, WinIniMovesTakeOnlyTheEntryAndLeaveBothLinesWhenOneCannotBeWritten) {
    const std::string file = "kelvo-startup-" + kit::Pid() + ".ini";
    tool.places.iniFile = ini = dir / file;
    SetIni("Load", "first.exe  C:\\Apps\\last.exe   last.exe");
    SetIni("LoadDisabled", "old.exe");
    SetIni("Run", "tool.exe");
    tool.ScanStartupPrograms();
    // The system's mapping of ini lines to the registry, read from the real machine's hive, sends
    // RunDisabled of this file to a key nobody may write.
    ::RegOverridePredefKey(HKLM, nullptr);
    const std::string mapping = "Software\\Microsoft\\Windows NT\\CurrentVersion\\IniFileMapping\\" + file;
    kit::SetRegString(HKLM, mapping + "\\windows", "RunDisabled", "USR:IniLocked");
    kit::SetKeyAccess(HKCU, "IniLocked", kReadOnly);
    EXPECT_FALSE(tool.DisableStartupRow(list.Find(kStartupColName, "tool.exe")));
    EXPECT_TRUE(Mentions(tool.Problems().back(), "could not be written to the win.ini line RunDisabled"));
    EXPECT_EQ("tool.exe", Ini("Run"));
    DeleteRegKeyTree(HKLM, mapping);
    // Only the entry leaves its line, never another that ends with its text.
    EXPECT_TRUE(tool.DisableStartupRow(2));
    EXPECT_EQ("first.exe C:\\Apps\\last.exe", Ini("Load"));
    EXPECT_EQ("old.exe last.exe", Ini("LoadDisabled"));
    // Nothing is made up for a row whose entry is gone from its line.
    EXPECT_FALSE(tool.DisableStartupRow(list.Add({"last.exe", "last.exe", "Load", "Win.ini"}, 1)));
    // Nor is anything moved into a line that cannot be read whole or would grow too long to be read back.
    for (size_t length : {2600, 2595}) {
        SetIni("LoadDisabled", std::string(length, 'z'));
        EXPECT_FALSE(tool.DisableStartupRow(0)) << length;
        EXPECT_EQ(std::string(length, 'z'), Ini("LoadDisabled")) << length;
    }
    ASSERT_EQ(1u, prompter.asked.size());
    EXPECT_EQ("Error reading ini file", prompter.asked[0].text);
}

// What only the real list window shows, and the commands' way to the tool.
TEST_F(StartupTest, CommandsWorkTheListWindow) {
    struct Host : CWindowImpl {} host;
    CWrenlyView view;
    RECT rc {0, 0, 800, 400};
    ASSERT_TRUE(host.Create(nullptr, rc, "", WS_OVERLAPPEDWINDOW | WS_VISIBLE) && view.CreateView(host.m_hWnd, 100));
    LVCOLUMNA column {LVCF_WIDTH, 0, 50};
    for (int c = 0; c < 4; ++c) view.Send(LVM_INSERTCOLUMNA, c, reinterpret_cast<LPARAM>(&column));
    DefaultStartupPlaces() = tool.places;
    kit::SetRegString(HKCU, kCV + "Run", "live", kNotepad);
    RunStartupScan(view, status);
    EXPECT_EQ(kListStartupPrograms, view.ListMode);
    EXPECT_NE(50, view.Send(LVM_GETCOLUMNWIDTH, 0));  // sized to the texts
    EXPECT_TRUE(::IsWindowEnabled(host.m_hWnd));      // given back by the animation
    EXPECT_EQ(2, int(view.Send(LVM_GETITEMSTATE, 0, LVIS_STATEIMAGEMASK) >> 12));  // checked
    // The user clears the check box; "Update" parks the entry and lists again.
    view.SetChecked(0, false);
    RunStartupUpdate(view, status);
    EXPECT_EQ(1, int(view.Send(LVM_GETITEMSTATE, 0, LVIS_STATEIMAGEMASK) >> 12));  // cleared
    prompter.answers = {IDNO, IDYES};
    RunStartupDeleteAll(view, status);
    EXPECT_EQ("Are you sure you want to delete all items ?", prompter.asked.back().text);
    ListView_SetItemState(view.m_hWnd, 0, LVIS_SELECTED, LVIS_SELECTED);
    RunStartupDeleteSelected(view, status);
    EXPECT_EQ(0, view.Count());
    EXPECT_EQ("<none>", Raw(HKCU, kCV + "RunDisabled", "live"));
}
