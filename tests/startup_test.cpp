// The startup programs manager on a machine of its own: the Run keys of HKEY_CURRENT_USER and
// HKEY_LOCAL_MACHINE redirected to scratch keys, a scratch ini file in place of win.ini and
// scratch Startup folders.
#include "core/codepage.h"
#include "core/reghelpers.h"
#include "framework/strings.h"
#include "resource.h"
#include "startup/startupprograms.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <sddl.h>

#include <algorithm>
#include <tuple>

namespace {

const std::string kCV = "Software\\Microsoft\\Windows\\CurrentVersion\\";
// The 32-bit registry view's branch of the machine's hive.
const std::string kCV32 = "Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\";
const std::string kApproved = kCV + "Explorer\\StartupApproved\\";
const char kNotepad[] = "C:\\windows\\notepad.exe";
const char kMissing[] = "C:\\KelvoMissing4711\\gone.exe";

// The list as the engine sees it: rows with texts, item data, a check box and a selection.
class MemoryList : public IResultList {
public:
    struct Row {
        std::vector<std::string> texts;
        DWORD data;
        bool checked = false, selected = false;
    };
    std::vector<Row> rows;
    int AddRow(const std::vector<std::string>& texts, int, DWORD data) override {
        rows.push_back({texts, data});
        rows.back().texts.resize(4);
        return static_cast<int>(rows.size()) - 1;
    }
    int Count() const override { return static_cast<int>(rows.size()); }
    std::string Text(int row, int column) const override { return rows[row].texts[column]; }
    void SetText(int row, int column, const std::string& text) override { rows[row].texts[column] = text; }
    DWORD Data(int row) const override { return rows[row].data; }
    bool IsSelected(int row) const override { return rows[row].selected; }
    bool IsChecked(int row) const override { return rows[row].checked; }
    void SetChecked(int row, bool checked) override { rows[row].checked = checked; }
    void DeleteRow(int row) override { rows.erase(rows.begin() + row); }
    void DeleteAll() override { rows.clear(); }

    int Find(const std::string& name) const {
        for (size_t r = 0; r < rows.size(); ++r)
            if (rows[r].texts[0] == name) return static_cast<int>(r);
        return -1;
    }
};

class RecordingStatus : public IStatusSink {
public:
    std::vector<std::string> messages, notes;
    void SetStatusText(const std::string& text, int target) override {
        if (target == 0) messages.push_back(text);
    }
    void ShowNotifierText(const std::string& text) override { notes.push_back(text); }
};

std::wstring W(const std::string& utf8) { return WideName(utf8, CP_UTF8); }

// Sets a value to exactly these bytes (names in UTF-8).
void SetRaw(HKEY root, const std::string& key, const std::string& name, DWORD type, const std::string& bytes) {
    HKEY k = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, ::RegCreateKeyExW(root, W(key).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k, nullptr));
    ASSERT_EQ(ERROR_SUCCESS, ::RegSetValueExW(k, W(name).c_str(), 0, type, reinterpret_cast<const BYTE*>(bytes.data()),
                                              static_cast<DWORD>(bytes.size())));
    ::RegCloseKey(k);
}
std::string WideBytes(const std::string& utf8) {
    std::wstring w = W(utf8) + L'\0';
    return std::string(reinterpret_cast<const char*>(w.data()), w.size() * sizeof(wchar_t));
}
void SetString(HKEY root, const std::string& key, const std::string& name, const std::string& text,
               DWORD type = REG_SZ) {
    SetRaw(root, key, name, type, WideBytes(text));
}
// The value as the registry keeps it: its type and its bytes, or "<none>".
std::string Raw(HKEY root, const std::string& key, const std::string& name) {
    HKEY k = nullptr;
    if (::RegOpenKeyExW(root, W(key).c_str(), 0, KEY_READ, &k) != ERROR_SUCCESS) return "<none>";
    DWORD type = 0, size = 0;
    LONG rc = ::RegQueryValueExW(k, W(name).c_str(), nullptr, &type, nullptr, &size);
    std::string bytes(size, '\0');
    if (rc == ERROR_SUCCESS && size)
        rc = ::RegQueryValueExW(k, W(name).c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&bytes[0]), &size);
    ::RegCloseKey(k);
    return rc == ERROR_SUCCESS ? Format("%lu:", type) + bytes : "<none>";
}
// The value's text and type, or "<none>".
std::string ValueOf(HKEY root, const std::string& key, const std::string& name, DWORD* typeOut = nullptr) {
    HKEY k = nullptr;
    if (::RegOpenKeyExA(root, key.c_str(), 0, KEY_READ, &k) != ERROR_SUCCESS) return "<none>";
    char data[1024] = {};
    DWORD type = 0, size = sizeof data - 1;
    LONG rc = ::RegQueryValueExA(k, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(data), &size);
    ::RegCloseKey(k);
    if (typeOut) *typeOut = type;
    return rc == ERROR_SUCCESS ? std::string(data) : "<none>";
}
std::string FileText(const std::string& path) {
    HANDLE h = ::CreateFileW(W(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return "<none>";
    std::string text(::GetFileSize(h, nullptr), '\0');
    DWORD got = 0;
    if (!text.empty()) ::ReadFile(h, &text[0], static_cast<DWORD>(text.size()), &got, nullptr);
    ::CloseHandle(h);
    return text.substr(0, got);
}
// Lets everyone read and delete the key but nobody write to it, as the machine's keys are for
// a standard user.
void MakeUnwritable(HKEY root, const std::string& key) {
    HKEY k = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, ::RegCreateKeyExA(root, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k, nullptr));
    PSECURITY_DESCRIPTOR sd = nullptr;
    ASSERT_TRUE(::ConvertStringSecurityDescriptorToSecurityDescriptorA("D:P(A;;KRSD;;;WD)", SDDL_REVISION_1, &sd,
                                                                       nullptr));
    EXPECT_EQ(ERROR_SUCCESS, ::RegSetKeySecurity(k, DACL_SECURITY_INFORMATION, sd));
    ::LocalFree(sd);
    ::RegCloseKey(k);
    ASSERT_FALSE(::RegOpenKeyExA(root, key.c_str(), 0, KEY_ALL_ACCESS, &k) == ERROR_SUCCESS);
}
bool Mentions(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

class StartupTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (int i = 0; i < 2; ++i) {
            std::string path = scratch.path() + (i ? "\\HKLM" : "\\HKCU");
            ::RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &roots[i],
                              nullptr);
        }
        ::RegOverridePredefKey(HKEY_CURRENT_USER, roots[0]);
        ::RegOverridePredefKey(HKEY_LOCAL_MACHINE, roots[1]);
        ::CreateDirectoryA((dir / "user").c_str(), nullptr);
        ::CreateDirectoryA((dir / "common").c_str(), nullptr);
        ::CreateDirectoryA(userFolder.c_str(), nullptr);
        ::CreateDirectoryA(commonFolder.c_str(), nullptr);
        tool.places.iniFile = ini;
        tool.places.undoFolder = dir.path();
        tool.places.shellFolder = [this](int csidl) {
            std::string f = csidl == 7 ? userFolder : csidl == 24 ? commonFolder : std::string();
            return FileExists(f) ? f : std::string();
        };
    }
    void TearDown() override {
        ::RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
        ::RegOverridePredefKey(HKEY_LOCAL_MACHINE, nullptr);
        for (HKEY k : roots) ::RegCloseKey(k);
    }
    void SetIni(const std::string& key, const std::string& line) {
        ASSERT_TRUE(::WritePrivateProfileStringA("windows", key.c_str(), line.c_str(), ini.c_str()));
    }
    std::string Ini(const std::string& key) {
        char buf[4096] = {};
        ::GetPrivateProfileStringA("windows", key.c_str(), "<none>", buf, sizeof buf, ini.c_str());
        return buf;
    }
    std::vector<std::string> Row(int r) { return list.rows[r].texts; }
    using Listing = std::vector<std::tuple<std::string, std::string, std::string, DWORD, bool>>;
    Listing Rows() {
        Listing l;
        for (auto& r : list.rows) l.emplace_back(r.texts[0], r.texts[1], r.texts[2], r.data, r.checked);
        return l;
    }

    ScratchKey scratch {"startup"};
    ScratchDir dir {"startup"};
    HKEY roots[2] = {};
    // Not called win.ini: the system maps a file of that name to the registry.
    std::string ini = dir / "startup.ini";
    std::string userFolder = dir / "user\\StartUp";
    std::string commonFolder = dir / "common\\StartUp";
    MemoryList list;
    RecordingStatus status;
    CStartupPrograms tool {list, status};
    ScriptedPrompter prompter;
};

}  // namespace

TEST_F(StartupTest, ListsEveryPlaceInOrder) {
    // U the user's hive, M the machine's, W the machine's 32-bit view.
    const char* keys[24][2] = {{"U", "Run"},         {"U", "RunOnce"},         {"M", "Run"},
                               {"M", "RunServices"}, {"M", "RunOnce"},         {"M", "RunOnceEx"},
                               {"M", "RunServicesOnce"}, {"U", "RunDisabled"}, {"U", "RunOnceDisabled"},
                               {"M", "RunDisabled"}, {"M", "RunServicesDisabled"}, {"M", "RunOnceDisabled"},
                               {"M", "RunOnceExDisabled"}, {"M", "RunServicesOnceDisabled"},
                               {"W", "Run"},         {"W", "RunServices"},     {"W", "RunOnce"},
                               {"W", "RunOnceEx"},   {"W", "RunServicesOnce"}, {"W", "RunDisabled"},
                               {"W", "RunServicesDisabled"}, {"W", "RunOnceDisabled"}, {"W", "RunOnceExDisabled"},
                               {"W", "RunServicesOnceDisabled"}};
    Listing expected;
    // The machine's hive keeps 32-bit registrations apart.
    SetString(HKEY_LOCAL_MACHINE, "Software\\Wow6432Node", "", "");
    for (int i = 23; i >= 0; --i) {  // written backwards: the order comes from the scan
        const char where = keys[i][0][0];
        HKEY hive = where == 'U' ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE;
        // A 32-bit program's value: written through the 32-bit view.
        HKEY k = nullptr;
        ASSERT_EQ(ERROR_SUCCESS, ::RegCreateKeyExA(hive, (kCV + keys[i][1]).c_str(), 0, nullptr, 0,
                                                   KEY_ALL_ACCESS | (where == 'W' ? KEY_WOW64_32KEY : 0), nullptr, &k,
                                                   nullptr));
        std::wstring data = W(kNotepad);
        ::RegSetValueExW(k, W(Format("p%02d", i + 1)).c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                         static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t)));
        ::RegCloseKey(k);
    }
    for (int i = 0; i < 24; ++i) {
        const char where = keys[i][0][0];
        std::string place = where == 'U' ? "HKEY_CURRENT_USER\\" + kCV : where == 'M' ? "HKEY_LOCAL_MACHINE\\" + kCV
                                                                                       : "HKEY_LOCAL_MACHINE\\" + kCV32;
        bool live = (i < 7) || (i >= 14 && i < 19);
        expected.emplace_back(Format("p%02d", i + 1), kNotepad, place + keys[i][1], live ? 1 : 0, live);
    }
    // Only Run and RunOnce are read under the user's hive.
    SetString(HKEY_CURRENT_USER, kCV + "RunServices", "notread", kNotepad);
    SetIni("RunDisabled", "p28.exe");
    SetIni("Run", "p27.exe");
    SetIni("LoadDisabled", "p26.exe");
    SetIni("Load", "p25.exe");
    expected.emplace_back("p25.exe", "p25.exe", "Load", 1, true);
    expected.emplace_back("p26.exe", "p26.exe", "LoadDisabled", 0, false);
    expected.emplace_back("p27.exe", "p27.exe", "Run", 1, true);
    expected.emplace_back("p28.exe", "p28.exe", "RunDisabled", 0, false);
    ::CreateDirectoryA((userFolder + "Disabled").c_str(), nullptr);
    ::CreateDirectoryA((commonFolder + "Disabled").c_str(), nullptr);
    const std::string folders[4] = {userFolder + "Disabled", userFolder, commonFolder + "Disabled", commonFolder};
    for (int i = 0; i < 4; ++i) {
        std::string name = Format("p%02d.lnk", 29 + i);
        ASSERT_TRUE(WriteFileText(folders[i] + "\\" + name, "x"));
        expected.emplace_back(name, folders[i] + "\\" + name, i < 2 ? "Startup" : "Common Startup", i % 2, i % 2 == 1);
    }
    list.AddRow({"stale"}, 0, 1);

    tool.ScanStartupPrograms();

    ASSERT_EQ(expected, Rows());
    for (int r = 0; r < 24; ++r) EXPECT_EQ("Registry", list.Text(r, 3));
    for (int r = 24; r < 28; ++r) EXPECT_EQ("Win.ini", list.Text(r, 3));
    for (int r = 28; r < 32; ++r) EXPECT_EQ("StartUp", list.Text(r, 3));
    EXPECT_TRUE(status.notes.empty());
    EXPECT_TRUE(prompter.asked.empty());
}

TEST_F(StartupTest, RegistryValuesListedAsTextWhateverTheirTypeLengthAndRights) {
    const std::string run = kCV + "Run";
    SetString(HKEY_CURRENT_USER, run, "empty", "");
    SetString(HKEY_CURRENT_USER, run, "expand", "%windir%\\notepad.exe", REG_EXPAND_SZ);
    SetRaw(HKEY_CURRENT_USER, run, "binary", REG_BINARY, "C:\\windows\\notepad.exe");
    SetString(HKEY_CURRENT_USER, run, std::string(300, 'n'), kNotepad);
    SetString(HKEY_CURRENT_USER, run, "longdata", std::string(300, 'd'));
    // A standard user may read the machine's Run key but not write it.
    SetString(HKEY_LOCAL_MACHINE, kCV + "Run", "locked", kNotepad);
    MakeUnwritable(HKEY_LOCAL_MACHINE, kCV + "Run");
    // Items of a Startup folder that are not listed, and a hidden one that is.
    ::CreateDirectoryA((userFolder + "\\sub").c_str(), nullptr);
    for (const char* n : {"ro.lnk", "sys.lnk", "hidden.lnk"}) WriteFileText(userFolder + "\\" + n, "x");
    ::SetFileAttributesA((userFolder + "\\ro.lnk").c_str(), FILE_ATTRIBUTE_READONLY);
    ::SetFileAttributesA((userFolder + "\\sys.lnk").c_str(), FILE_ATTRIBUTE_SYSTEM);
    ::SetFileAttributesA((userFolder + "\\hidden.lnk").c_str(), FILE_ATTRIBUTE_HIDDEN);
    RemoveTree(commonFolder);

    tool.ScanStartupPrograms();

    ASSERT_EQ(6, list.Count());
    ASSERT_GE(list.Find("expand"), 0);
    EXPECT_EQ((std::vector<std::string>{"expand", "%windir%\\notepad.exe", "HKEY_CURRENT_USER\\" + kCV + "Run",
                                        "Registry"}),
              Row(list.Find("expand")));
    ASSERT_GE(list.Find("binary"), 0);
    EXPECT_EQ(kNotepad, list.Text(list.Find("binary"), 1));
    ASSERT_GE(list.Find("longdata"), 0);
    EXPECT_EQ(std::string(300, 'd'), list.Text(list.Find("longdata"), 1));
    EXPECT_GE(list.Find(std::string(300, 'n')), 0);
    ASSERT_GE(list.Find("locked"), 0);
    EXPECT_EQ(1u, list.Data(list.Find("locked")));
    EXPECT_EQ("hidden.lnk", list.Text(5, 0));
}

TEST_F(StartupTest, WinIniEntriesSplitAtSpacesAndOverflowReported) {
    SetIni("Load", "C:\\A\\B.EXE  D.EXE ");
    SetIni("Run", std::string(2600, 'r'));
    std::string omegas;
    for (int i = 0; i < 2599; ++i) omegas += u8"Ω";
    SetIni("RunDisabled", omegas);  // just fits: 2599 characters, two bytes each

    tool.ScanStartupPrograms();

    ASSERT_EQ(3, list.Count());
    EXPECT_EQ((std::vector<std::string>{"A\\B.EXE", "C:\\A\\B.EXE", "Load", "Win.ini"}), Row(0));
    EXPECT_EQ((std::vector<std::string>{"D.EXE", "D.EXE", "Load", "Win.ini"}), Row(1));
    EXPECT_EQ(omegas, list.Text(2, 1));
    ASSERT_EQ(1u, prompter.asked.size());
    EXPECT_EQ("Error reading ini file", prompter.asked[0].text);
    EXPECT_EQ(LoadStr(IDS_APP_TITLE), prompter.asked[0].caption);
    EXPECT_EQ(static_cast<UINT>(MB_OK), prompter.asked[0].type);
}

TEST_F(StartupTest, ReportsReenabledAndInvalidEntries) {
    const char kReenabled[] = "Previously disabled program(s) have re-enabled themselves again.\nName(s): ";
    // A program that put itself back after being disabled.
    SetString(HKEY_CURRENT_USER, kCV + "RunDisabled", "Foo", kNotepad);
    SetString(HKEY_CURRENT_USER, kCV + "Run", "Foo", kNotepad);
    tool.ScanStartupPrograms();
    EXPECT_EQ(std::vector<std::string>{std::string(kReenabled) + "Foo.\nPlease see the configuration of these programs"},
              status.notes);
    EXPECT_TRUE(prompter.asked.empty());

    // Names are compared alike across kinds of place and without regard to case; every live
    // row of such a name is reported, however many there are.
    status.notes.clear();
    SetString(HKEY_LOCAL_MACHINE, kCV + "Run", "FOO", kNotepad);
    ::CreateDirectoryA((userFolder + "Disabled").c_str(), nullptr);
    WriteFileText(userFolder + "Disabled\\Bar.lnk", "x");
    SetString(HKEY_LOCAL_MACHINE, kCV + "RunOnce", "bar.lnk", kNotepad);
    tool.ScanStartupPrograms();
    EXPECT_EQ(std::vector<std::string>{std::string(kReenabled) +
                                       "Foo,FOO,bar.lnk.\nPlease see the configuration of these programs"},
              status.notes);

    // With both findings, the invalid names go to a message box and keep their final comma.
    status.notes.clear();
    SetString(HKEY_CURRENT_USER, kCV + "RunOnce", "dead", kMissing);
    SetIni("Run", "C:\\KelvoMissing4711\\old.exe");
    tool.ScanStartupPrograms();
    ASSERT_EQ(1u, status.notes.size());
    ASSERT_EQ(1u, prompter.asked.size());
    EXPECT_EQ("AutoStart Programs", prompter.asked[0].caption);
    EXPECT_EQ(static_cast<UINT>(MB_ICONEXCLAMATION | MB_OK), prompter.asked[0].type);
    EXPECT_EQ("Location of certain program(s) may be invalid.\n\nName(s):\tdead,KelvoMissing4711\\old.exe,\n"
              "Please verify the paths are correct.This can happen if you have uninstalled the application.If the "
              "path is invalid, delete that entry",
              prompter.asked[0].text);

    // Invalid names alone go to the notifier without it; disabled rows are checked too.
    status.notes.clear();
    prompter.asked.clear();
    for (const char* key : {"Run", "RunDisabled"}) ::RegDeleteKeyA(HKEY_CURRENT_USER, (kCV + key).c_str());
    RemoveTree(userFolder + "Disabled");
    SetString(HKEY_LOCAL_MACHINE, kCV + "RunOnceDisabled", "parked", kMissing);
    tool.ScanStartupPrograms();
    EXPECT_TRUE(prompter.asked.empty());
    EXPECT_EQ(std::vector<std::string>{"Location of certain program(s) may be invalid.\nName(s): "
                                       "dead,parked,KelvoMissing4711\\old.exe\nPlease verify the paths are correct"},
              status.notes);
}

TEST_F(StartupTest, EntriesWindowsItselfSwitchedOffShowAsOff) {
    SetString(HKEY_LOCAL_MACHINE, "Software\\Wow6432Node", "", "");
    ::CreateDirectoryA((userFolder + "Disabled").c_str(), nullptr);
    // Where the entry is, its switch's hive and list, the switch's first byte, and its row's data.
    const struct {
        const char* name;
        HKEY hive;
        std::string place;
        HKEY switchHive;
        const char* list;
        char first;
        DWORD data;
    } cases[] = {
        {"offUser", HKEY_CURRENT_USER, kCV + "Run", HKEY_CURRENT_USER, "Run", 3, kStartupOffInWindows},
        {"onUser", HKEY_CURRENT_USER, kCV + "Run", HKEY_CURRENT_USER, "Run", 2, 1},
        {"onSix", HKEY_CURRENT_USER, kCV + "Run", HKEY_CURRENT_USER, "Run", 6, 1},
        {"offMachine", HKEY_LOCAL_MACHINE, kCV + "Run", HKEY_LOCAL_MACHINE, "Run", 7, kStartupOffInWindows},
        {"off32", HKEY_LOCAL_MACHINE, kCV32 + "Run", HKEY_LOCAL_MACHINE, "Run32", 3, kStartupOffInWindows},
        {"otherList", HKEY_LOCAL_MACHINE, kCV + "Run", HKEY_LOCAL_MACHINE, "Run32", 3, 1},
        {"once", HKEY_CURRENT_USER, kCV + "RunOnce", HKEY_CURRENT_USER, "Run", 3, 1},
        {"parked", HKEY_CURRENT_USER, kCV + "RunDisabled", HKEY_CURRENT_USER, "Run", 3, 0},
        {"off.lnk", nullptr, userFolder, HKEY_CURRENT_USER, "StartupFolder", 3, kStartupOffInWindows},
        {"parked.lnk", nullptr, userFolder + "Disabled", HKEY_CURRENT_USER, "StartupFolder", 3, 0},
        {"common.lnk", nullptr, commonFolder, HKEY_LOCAL_MACHINE, "StartupFolder", 3, kStartupOffInWindows},
    };
    for (const auto& c : cases) {
        if (c.hive) SetString(c.hive, c.place, c.name, kNotepad);
        else WriteFileText(c.place + "\\" + c.name, "x");
        SetRaw(c.switchHive, kApproved + c.list, c.name, REG_BINARY, std::string(1, c.first) + std::string(11, '\1'));
    }
    tool.ScanStartupPrograms();
    ASSERT_EQ(11, list.Count());
    for (const auto& c : cases) {
        int row = list.Find(c.name);
        ASSERT_GE(row, 0) << c.name;
        EXPECT_EQ(c.data, list.Data(row)) << c.name;
        EXPECT_EQ(c.data == 1, list.rows[row].checked) << c.name;
    }
    // This tool only reads that switch: ticking such an entry says where to switch it on, and an
    // entry moved back under a switch that is off is still shown off.
    for (const char* name : {"offUser", "parked"}) list.rows[list.Find(name)].checked = true;
    tool.ApplyStartupChanges();
    EXPECT_EQ(kNotepad, ValueOf(HKEY_CURRENT_USER, kCV + "Run", "parked"));
    EXPECT_EQ(static_cast<DWORD>(kStartupOffInWindows), list.Data(list.Find("parked")));
    ASSERT_EQ(1u, prompter.asked.size());
    EXPECT_TRUE(Mentions(prompter.asked[0].text, "offUser (HKEY_CURRENT_USER\\" + kCV + "Run): Windows itself has "
                                                 "switched it off; switch it on again in Task Manager"));
    EXPECT_TRUE(Mentions(prompter.asked[0].text, "parked (HKEY_CURRENT_USER\\" + kCV + "Run): it is back in its "
                                                 "place, but Windows itself"));
}

TEST_F(StartupTest, NamesWithoutAnExactFormAreNeverActedOn) {
    // An older Windows: the names go through code page 1252, where Omega has no form.
    tool.codePage = 1252;
    const std::string omega = u8"\u03a9mega";
    SetString(HKEY_CURRENT_USER, kCV + "Run", omega, kNotepad);
    // What the lost name would be taken for.
    SetString(HKEY_CURRENT_USER, kCV + "Run", "?mega", "C:\\decoy.exe");
    SetString(HKEY_CURRENT_USER, kCV + "Run", "plain", kNotepad);
    SetIni("Load", omega + ".exe keep.exe");
    WriteFileText(userFolder + "\\" + omega + ".lnk", "x");
    tool.ScanStartupPrograms();
    ASSERT_EQ(6, list.Count());
    int notExact = 0;
    for (auto& r : list.rows) {
        notExact += (r.data & kStartupNameNotExact) != 0;
        if (r.texts[1] != "C:\\decoy.exe") r.checked = false;
    }
    EXPECT_EQ(4, notExact);  // the value, both entries of its win.ini line, and the file

    tool.ApplyStartupChanges();
    EXPECT_EQ(kNotepad, ValueOf(HKEY_CURRENT_USER, kCV + "Run", omega));
    EXPECT_EQ("C:\\decoy.exe", ValueOf(HKEY_CURRENT_USER, kCV + "Run", "?mega"));
    EXPECT_EQ(kNotepad, ValueOf(HKEY_CURRENT_USER, kCV + "RunDisabled", "plain"));
    EXPECT_EQ(omega + ".exe keep.exe", Ini("Load"));
    EXPECT_TRUE(FileExists(userFolder + "\\" + omega + ".lnk"));
    EXPECT_EQ(4u, tool.Problems().size());

    prompter.answers = {IDYES};
    tool.DeleteAllStartupRows();
    EXPECT_EQ(4, list.Count());
    EXPECT_EQ(kNotepad, ValueOf(HKEY_CURRENT_USER, kCV + "Run", omega));
    EXPECT_EQ(omega + ".exe keep.exe", Ini("Load"));
    EXPECT_TRUE(FileExists(userFolder + "\\" + omega + ".lnk"));
}

TEST_F(StartupTest, DisableAndEnableRestoreEveryKindOfPlace) {
    const char* liveKeys[7][2] = {{"U", "Run"},     {"U", "RunOnce"},   {"M", "Run"},           {"M", "RunServices"},
                                  {"M", "RunOnce"}, {"M", "RunOnceEx"}, {"M", "RunServicesOnce"}};
    for (int i = 0; i < 7; ++i)
        SetString(liveKeys[i][0][0] == 'U' ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE, kCV + liveKeys[i][1],
                  Format("reg%d", i), Format("c:\\Program Files\\App%d\\app.exe /s", i));
    SetIni("Load", "c:\\tools\\Loader.exe  keep.exe");
    // One entry contains the other's text; names in any language.
    SetIni("Run", u8"c:\\x\\app.exe app.exe C:\\\u03a9mega\\\u4e2d\u6587.exe");
    WriteFileText(userFolder + "\\mine.lnk", "user");
    WriteFileText(userFolder + u8"\\\u03a9mega \U0001F600.lnk", "emoji");
    WriteFileText(commonFolder + "\\all.lnk", "common");
    tool.ScanStartupPrograms();
    const Listing original = Rows();
    ASSERT_EQ(15, list.Count());
    EXPECT_GE(list.Find(u8"\u03a9mega\\\u4e2d\u6587.exe"), 0);
    EXPECT_GE(list.Find(u8"\u03a9mega \U0001F600.lnk"), 0);

    for (auto& r : list.rows) r.checked = false;
    tool.ApplyStartupChanges();
    ASSERT_EQ(15, list.Count());
    for (int r = 0; r < 15; ++r) EXPECT_EQ(0u, list.Data(r)) << list.Text(r, 0);
    EXPECT_EQ("emoji", FileText(userFolder + u8"Disabled\\\u03a9mega \U0001F600.lnk"));
    EXPECT_EQ("<none>", ValueOf(HKEY_LOCAL_MACHINE, kCV + "RunOnceEx", "reg5"));
    EXPECT_EQ("c:\\Program Files\\App5\\app.exe /s", ValueOf(HKEY_LOCAL_MACHINE, kCV + "RunOnceExDisabled", "reg5"));
    EXPECT_EQ("", Ini("Run"));
    EXPECT_EQ(u8"c:\\x\\app.exe app.exe C:\\\u03a9mega\\\u4e2d\u6587.exe", Ini("RunDisabled"));
    EXPECT_TRUE(FileExists(userFolder + "Disabled\\mine.lnk"));
    EXPECT_FALSE(FileExists(userFolder + "\\mine.lnk"));
    EXPECT_TRUE(prompter.asked.empty());  // the Disabled folders were made without asking
    for (const std::string& f : {userFolder, commonFolder})
        EXPECT_TRUE(::GetFileAttributesA((f + "Disabled").c_str()) & FILE_ATTRIBUTE_HIDDEN);

    for (auto& r : list.rows) r.checked = true;
    tool.ApplyStartupChanges();
    Listing restored = Rows(), expected = original;
    std::sort(restored.begin(), restored.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(expected, restored);
    EXPECT_EQ("c:\\tools\\Loader.exe keep.exe", Ini("Load"));
    EXPECT_EQ("", Ini("LoadDisabled"));
}

TEST_F(StartupTest, EveryValueTypeComesBackByteForByte) {
    const std::string wide600 = WideBytes(std::string(600, 'x'));
    const struct {
        const char* name;
        DWORD type;
        std::string bytes;
    } values[] = {
        {"sz", REG_SZ, WideBytes("C:\\a.exe /x")},
        {"unterminated", REG_SZ, WideBytes("C:\\a.exe").substr(0, 16)},
        {"expand", REG_EXPAND_SZ, WideBytes("%windir%\\notepad.exe")},
        {"multi", REG_MULTI_SZ, WideBytes("C:\\a.exe") + WideBytes("C:\\b.exe") + std::string(2, '\0')},
        {"binary", REG_BINARY, std::string("abcd\0\1\2\3", 8)},
        {"dword", REG_DWORD, std::string("A\0\0\0", 4)},
        {"qword", REG_QWORD, std::string("B\0\0\0\0\0\0\1", 8)},
        {"own type", 0x4b57, std::string("kelvo\0\xff", 7)},
        {"long", REG_SZ, wide600},
        {u8"\u03a9mega", REG_SZ, WideBytes(u8"C:\\\u03a9\\\u4e2d\u6587.exe")},
        {u8"\u4e2d\u6587", REG_EXPAND_SZ, WideBytes("%windir%\\x.exe")},
        {u8"emoji \U0001F600", REG_SZ, WideBytes("C:\\e.exe")},
    };
    std::vector<std::string> stored;
    for (const auto& v : values) {
        SetRaw(HKEY_CURRENT_USER, kCV + "Run", v.name, v.type, v.bytes);
        stored.push_back(Raw(HKEY_CURRENT_USER, kCV + "Run", v.name));
    }
    // A 32-bit program's value moves within the 32-bit view.
    SetString(HKEY_LOCAL_MACHINE, "Software\\Wow6432Node", "", "");
    HKEY k = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, ::RegCreateKeyExA(HKEY_LOCAL_MACHINE, (kCV + "Run").c_str(), 0, nullptr, 0,
                                               KEY_ALL_ACCESS | KEY_WOW64_32KEY, nullptr, &k, nullptr));
    ::RegSetValueExA(k, "multi32", 0, REG_MULTI_SZ, reinterpret_cast<const BYTE*>("C:\\a.exe\0C:\\b.exe\0"), 19);
    ::RegCloseKey(k);
    const std::string multi32 = Raw(HKEY_LOCAL_MACHINE, kCV32 + "Run", "multi32");
    ASSERT_NE("<none>", multi32);

    tool.ScanStartupPrograms();
    ASSERT_EQ(13, list.Count());
    EXPECT_EQ(std::string(600, 'x'), list.Text(list.Find("long"), 1));
    for (auto& r : list.rows) r.checked = false;
    tool.ApplyStartupChanges();
    EXPECT_TRUE(prompter.asked.empty());
    for (size_t i = 0; i < stored.size(); ++i) {
        EXPECT_EQ("<none>", Raw(HKEY_CURRENT_USER, kCV + "Run", values[i].name)) << values[i].name;
        EXPECT_EQ(stored[i], Raw(HKEY_CURRENT_USER, kCV + "RunDisabled", values[i].name)) << values[i].name;
    }
    EXPECT_EQ(multi32, Raw(HKEY_LOCAL_MACHINE, kCV32 + "RunDisabled", "multi32"));
    EXPECT_EQ("<none>", Raw(HKEY_LOCAL_MACHINE, kCV + "RunDisabled", "multi32"));

    for (auto& r : list.rows) r.checked = true;
    tool.ApplyStartupChanges();
    for (size_t i = 0; i < stored.size(); ++i)
        EXPECT_EQ(stored[i], Raw(HKEY_CURRENT_USER, kCV + "Run", values[i].name)) << values[i].name;
    EXPECT_EQ(multi32, Raw(HKEY_LOCAL_MACHINE, kCV32 + "Run", "multi32"));
    EXPECT_EQ(13, list.Count());
}

TEST_F(StartupTest, MovesNeverReplaceAnEntryOfTheSameName) {
    SetString(HKEY_CURRENT_USER, kCV + "Run", "App", "C:\\new\\app.exe");
    SetString(HKEY_CURRENT_USER, kCV + "RunDisabled", "App", "C:\\old\\parked.exe");
    SetIni("Load", "C:\\a\\same.exe");
    SetIni("LoadDisabled", "D:\\a\\same.exe");
    WriteFileText(userFolder + "\\x.lnk", "new");
    ::CreateDirectoryA((userFolder + "Disabled").c_str(), nullptr);
    WriteFileText(userFolder + "Disabled\\x.lnk", "parked");
    tool.ScanStartupPrograms();
    ASSERT_EQ(6, list.Count());
    const Listing before = Rows();
    for (auto& r : list.rows) r.checked = !r.checked;  // each entry swaps places with its namesake
    prompter.asked.clear();

    tool.ApplyStartupChanges();

    EXPECT_EQ("C:\\new\\app.exe", ValueOf(HKEY_CURRENT_USER, kCV + "Run", "App"));
    EXPECT_EQ("C:\\old\\parked.exe", ValueOf(HKEY_CURRENT_USER, kCV + "RunDisabled", "App"));
    EXPECT_EQ("C:\\a\\same.exe", Ini("Load"));
    EXPECT_EQ("D:\\a\\same.exe", Ini("LoadDisabled"));
    EXPECT_EQ("new", FileText(userFolder + "\\x.lnk"));
    EXPECT_EQ("parked", FileText(userFolder + "Disabled\\x.lnk"));
    EXPECT_EQ(before, Rows());
    // The user learns which entry is in the way of each (after the scan's own findings).
    ASSERT_EQ(2u, prompter.asked.size());
    EXPECT_EQ(6u, tool.Problems().size());
    const std::string& text = prompter.asked[1].text;
    EXPECT_TRUE(Mentions(text, "\"App\" in HKEY_CURRENT_USER\\" + kCV + "RunDisabled (C:\\old\\parked.exe)")) << text;
    EXPECT_TRUE(Mentions(text, "\"a\\same.exe\" in LoadDisabled (D:\\a\\same.exe)")) << text;
    EXPECT_TRUE(Mentions(text, "\"x.lnk\" in " + userFolder + "Disabled is in the way")) << text;
}

TEST_F(StartupTest, MovesAndDeletesKeepTheEntryWhenItsPlaceCannotBeWritten) {
    SetString(HKEY_CURRENT_USER, kCV + "Run", "stay", kNotepad);
    MakeUnwritable(HKEY_CURRENT_USER, kCV + "RunDisabled");
    SetString(HKEY_LOCAL_MACHINE, kCV + "Run", "machine", kNotepad);
    MakeUnwritable(HKEY_LOCAL_MACHINE, kCV + "Run");
    tool.ScanStartupPrograms();
    ASSERT_EQ(2, list.Count());
    for (auto& r : list.rows) r.checked = false;
    tool.ApplyStartupChanges();
    EXPECT_EQ(kNotepad, ValueOf(HKEY_CURRENT_USER, kCV + "Run", "stay"));
    EXPECT_EQ("<none>", ValueOf(HKEY_CURRENT_USER, kCV + "RunDisabled", "stay"));
    EXPECT_EQ(kNotepad, ValueOf(HKEY_LOCAL_MACHINE, kCV + "Run", "machine"));
    EXPECT_EQ("<none>", ValueOf(HKEY_LOCAL_MACHINE, kCV + "RunDisabled", "machine"));
    ASSERT_EQ(2, list.Count());
    EXPECT_TRUE(list.rows[0].checked && list.rows[1].checked);
    ASSERT_EQ(1u, prompter.asked.size());
    EXPECT_TRUE(Mentions(prompter.asked[0].text, "stay (HKEY_CURRENT_USER\\" + kCV + "Run): you have no right to change "
                                                 "HKEY_CURRENT_USER\\" + kCV + "RunDisabled")) << prompter.asked[0].text;
    EXPECT_TRUE(Mentions(prompter.asked[0].text, "you have no right to change HKEY_LOCAL_MACHINE\\" + kCV + "Run;"));
    // A delete refused for lack of rights keeps its row and says so.
    prompter.answers = {IDYES};
    tool.DeleteAllStartupRows();
    EXPECT_EQ(kNotepad, ValueOf(HKEY_LOCAL_MACHINE, kCV + "Run", "machine"));
    ASSERT_EQ(1, list.Count());
    EXPECT_EQ("machine", list.Text(0, 0));
    EXPECT_TRUE(Mentions(prompter.asked.back().text, "These entries were not deleted:\n\nmachine ("));

    // A win.ini line that cannot be written: the system's own mapping of ini lines to the
    // registry (IniFileMapping) sends RunDisabled of this file to a key nobody may write. The
    // mapping is read from the real machine's hive.
    ::RegOverridePredefKey(HKEY_LOCAL_MACHINE, nullptr);
    const std::string file = Format("kelvo-startup-%lu.ini", ::GetCurrentProcessId());
    const std::string mapping = "Software\\Microsoft\\Windows NT\\CurrentVersion\\IniFileMapping\\" + file;
    struct Unmap {
        std::string key;
        ~Unmap() { DeleteRegKeyTree(HKEY_LOCAL_MACHINE, key); }
    } unmap {mapping};
    SetString(HKEY_LOCAL_MACHINE, mapping + "\\windows", "RunDisabled", "USR:IniLocked");
    MakeUnwritable(HKEY_CURRENT_USER, "IniLocked");
    tool.places.iniFile = ini = dir / file;
    SetIni("Run", "first.exe tool.exe");
    ASSERT_FALSE(::WritePrivateProfileStringA("windows", "RunDisabled", "x", ini.c_str()));
    int row = list.AddRow({"tool.exe", "tool.exe", "Run", "Win.ini"}, -1, 1);
    EXPECT_FALSE(tool.DisableStartupRow(row));
    EXPECT_EQ("first.exe tool.exe", Ini("Run"));
    EXPECT_EQ("<none>", Ini("RunDisabled"));
    EXPECT_TRUE(Mentions(tool.Problems().back(), "could not be written to the win.ini line RunDisabled"));
}

TEST_F(StartupTest, WinIniMovesTouchOnlyTheEntryAndNeverAnOverflowingLine) {
    SetIni("Load", "first.exe  C:\\Apps\\Mid.exe   last.exe");
    SetIni("LoadDisabled", "old.exe");
    tool.ScanStartupPrograms();
    ASSERT_EQ(4, list.Count());
    EXPECT_TRUE(tool.DisableStartupRow(1));
    EXPECT_EQ("first.exe last.exe", Ini("Load"));
    EXPECT_EQ("old.exe C:\\Apps\\Mid.exe", Ini("LoadDisabled"));
    EXPECT_EQ("LoadDisabled", list.Text(1, 2));
    EXPECT_FALSE(list.rows[1].checked);
    // A row whose entry is no longer on its line: nothing is made up in the other line.
    int stale = list.AddRow({"Apps\\Mid.exe", "C:\\Apps\\Mid.exe", "Load", "Win.ini"}, -1, 1);
    EXPECT_FALSE(tool.DisableStartupRow(stale));
    EXPECT_EQ("old.exe C:\\Apps\\Mid.exe", Ini("LoadDisabled"));

    // A target line that cannot be read whole: nothing is written anywhere.
    SetIni("Run", "tool.exe");
    SetIni("RunDisabled", std::string(2700, 'z'));
    tool.ScanStartupPrograms();
    prompter.asked.clear();
    int row = list.Find("tool.exe");
    ASSERT_GE(row, 0);
    EXPECT_FALSE(tool.DisableStartupRow(row));
    EXPECT_EQ("tool.exe", Ini("Run"));
    EXPECT_EQ(std::string(2700, 'z'), Ini("RunDisabled"));
    ASSERT_EQ(1u, prompter.asked.size());
    EXPECT_EQ("Error reading ini file", prompter.asked[0].text);
    // Nor when the moved entry would make the target too long to read back.
    SetIni("RunDisabled", std::string(2595, 'z'));
    EXPECT_FALSE(tool.DisableStartupRow(row));
    EXPECT_EQ("tool.exe", Ini("Run"));
}

TEST_F(StartupTest, DeletesRemoveTheEntryFromItsPlace) {
    SetString(HKEY_CURRENT_USER, kCV + "RunDisabled", "regoff", kNotepad);
    SetString(HKEY_CURRENT_USER, kCV + "Run", "regon", kNotepad);
    SetIni("Run", "C:\\x\\app.exe app.exe");
    WriteFileText(commonFolder + "\\gone.lnk", "x");
    tool.ScanStartupPrograms();
    ASSERT_EQ(5, list.Count());
    status.notes.clear();

    // Nothing selected: a hint and no change.
    tool.DeleteSelectedStartupRows();
    EXPECT_EQ(std::vector<std::string>{LoadStr(IDS_SELECT_ITEMS)}, status.notes);
    EXPECT_TRUE(prompter.asked.empty());
    // Answered No: nothing happens.
    for (const char* n : {"regoff", "app.exe", "gone.lnk"}) list.rows[list.Find(n)].selected = true;
    prompter.answers = {IDNO};
    tool.DeleteSelectedStartupRows();
    EXPECT_EQ(5, list.Count());
    ASSERT_EQ(1u, prompter.asked.size());
    EXPECT_EQ("Are you sure you want to delete selected items ?", prompter.asked[0].text);
    EXPECT_EQ(static_cast<UINT>(MB_YESNO | MB_ICONQUESTION), prompter.asked[0].type);

    // Registry entries are saved to the undo file first: without one they stay, the others go.
    tool.places.undoFolder = dir / "missing";
    prompter.answers = {IDYES};
    tool.DeleteSelectedStartupRows();
    EXPECT_EQ(3, list.Count());
    EXPECT_EQ(kNotepad, ValueOf(HKEY_CURRENT_USER, kCV + "RunDisabled", "regoff"));
    ASSERT_GE(list.Find("regoff"), 0);
    EXPECT_TRUE(list.rows[list.Find("regoff")].selected);
    ASSERT_EQ(3u, prompter.asked.size());
    EXPECT_TRUE(Mentions(prompter.asked[2].text, "regoff (HKEY_CURRENT_USER\\" + kCV + "RunDisabled): the undo file " +
                                                 dir.path() + "\\missing\\")) << prompter.asked[2].text;

    tool.places.undoFolder = dir.path();
    prompter.answers = {IDYES};
    tool.DeleteSelectedStartupRows();
    EXPECT_EQ(2, list.Count());
    EXPECT_EQ((std::vector<std::string>{"Please Wait...", "", "Please Wait...", ""}), status.messages);
    WIN32_FIND_DATAA fd;
    HANDLE undo = ::FindFirstFileA((dir / "*.reg").c_str(), &fd);
    ASSERT_NE(INVALID_HANDLE_VALUE, undo);
    ::FindClose(undo);
    // (The registry editor brings it back: see the test on the machine's own places.)
    const std::string undoText = FileText(dir / fd.cFileName);
    EXPECT_TRUE(Mentions(undoText, "regoff") || Mentions(undoText, WideBytes("regoff").substr(0, 12)));
    EXPECT_EQ("<none>", ValueOf(HKEY_CURRENT_USER, kCV + "RunDisabled", "regoff"));
    EXPECT_EQ(kNotepad, ValueOf(HKEY_CURRENT_USER, kCV + "Run", "regon"));
    EXPECT_EQ("C:\\x\\app.exe", Ini("Run"));
    EXPECT_FALSE(FileExists(commonFolder + "\\gone.lnk"));

    prompter.answers = {IDYES};
    tool.DeleteAllStartupRows();
    EXPECT_EQ("Are you sure you want to delete all items ?", prompter.asked.back().text);
    EXPECT_EQ(0, list.Count());
    EXPECT_EQ("<none>", ValueOf(HKEY_CURRENT_USER, kCV + "Run", "regon"));
    EXPECT_EQ("", Ini("Run"));
    status.notes.clear();
    tool.DeleteAllStartupRows();
    EXPECT_EQ(std::vector<std::string>{LoadStr(IDS_LIST_EMPTY)}, status.notes);
}

TEST_F(StartupTest, RowsWithoutAUsableLocationAreLeftAlone) {
    RegistryLocation where;
    list.AddRow({"v", "x.exe", "HKEY_CURRENT_USER\\" + kCV + "Run", "registry"}, -1, 1);
    ASSERT_TRUE(ParseRegistryLocation(list, 0, where));
    EXPECT_EQ(HKEY_CURRENT_USER, where.hive);
    EXPECT_EQ(kCV + "Run", where.keyPath);
    EXPECT_EQ("v", where.valueName);
    for (const std::string& bad : {"hkey_current_user\\" + kCV + "Run", "HKEY_USERS\\" + kCV + "Run",
                                   std::string("HKEY_LOCAL_MACHINE\\"), std::string("HKEY_LOCAL_MACHINE")}) {
        list.rows[0].texts[2] = bad;
        EXPECT_FALSE(ParseRegistryLocation(list, 0, where)) << bad;
        EXPECT_FALSE(tool.DisableStartupRow(0)) << bad;
    }
    list.rows[0].texts = {"v", "x.exe", "Run", "Elsewhere"};
    EXPECT_FALSE(tool.DisableStartupRow(0));
    EXPECT_EQ("<none>", Ini("RunDisabled"));
}
