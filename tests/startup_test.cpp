// The startup programs manager on a machine of its own: the Run keys of HKEY_CURRENT_USER and
// HKEY_LOCAL_MACHINE redirected to scratch keys, a scratch ini file in place of win.ini and
// scratch Startup folders.
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

void SetValue(HKEY root, const std::string& key, const std::string& name, DWORD type, const void* data, DWORD size) {
    HKEY k = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, ::RegCreateKeyExA(root, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k, nullptr));
    ASSERT_EQ(ERROR_SUCCESS, ::RegSetValueExA(k, name.c_str(), 0, type, static_cast<const BYTE*>(data), size));
    ::RegCloseKey(k);
}
void SetString(HKEY root, const std::string& key, const std::string& name, const std::string& text,
               DWORD type = REG_SZ) {
    SetValue(root, key, name, type, text.c_str(), static_cast<DWORD>(text.size() + 1));
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
// Lets everyone read and delete the key but nobody write to it.
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
    const char* keys[14][2] = {{"U", "Run"},         {"U", "RunOnce"},         {"M", "Run"},
                               {"M", "RunServices"}, {"M", "RunOnce"},         {"M", "RunOnceEx"},
                               {"M", "RunServicesOnce"}, {"U", "RunDisabled"}, {"U", "RunOnceDisabled"},
                               {"M", "RunDisabled"}, {"M", "RunServicesDisabled"}, {"M", "RunOnceDisabled"},
                               {"M", "RunOnceExDisabled"}, {"M", "RunServicesOnceDisabled"}};
    Listing expected;
    for (int i = 13; i >= 0; --i) {  // written backwards: the order comes from the scan
        bool user = keys[i][0][0] == 'U';
        std::string name = Format("p%02d", i + 1);
        SetString(user ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE, kCV + keys[i][1], name, kNotepad);
    }
    for (int i = 0; i < 14; ++i) {
        std::string hive = keys[i][0][0] == 'U' ? "HKEY_CURRENT_USER\\" : "HKEY_LOCAL_MACHINE\\";
        expected.emplace_back(Format("p%02d", i + 1), kNotepad, hive + kCV + keys[i][1], i < 7 ? 1 : 0, i < 7);
    }
    // Only Run and RunOnce are read under the user's hive.
    SetString(HKEY_CURRENT_USER, kCV + "RunServices", "notread", kNotepad);
    SetIni("RunDisabled", "p18.exe");
    SetIni("Run", "p17.exe");
    SetIni("LoadDisabled", "p16.exe");
    SetIni("Load", "p15.exe");
    expected.emplace_back("p15.exe", "p15.exe", "Load", 1, true);
    expected.emplace_back("p16.exe", "p16.exe", "LoadDisabled", 0, false);
    expected.emplace_back("p17.exe", "p17.exe", "Run", 1, true);
    expected.emplace_back("p18.exe", "p18.exe", "RunDisabled", 0, false);
    ::CreateDirectoryA((userFolder + "Disabled").c_str(), nullptr);
    ::CreateDirectoryA((commonFolder + "Disabled").c_str(), nullptr);
    const std::string folders[4] = {userFolder + "Disabled", userFolder, commonFolder + "Disabled", commonFolder};
    for (int i = 0; i < 4; ++i) {
        std::string name = Format("p%02d.lnk", 19 + i);
        ASSERT_TRUE(WriteFileText(folders[i] + "\\" + name, "x"));
        expected.emplace_back(name, folders[i] + "\\" + name, i < 2 ? "Startup" : "Common Startup", i % 2, i % 2 == 1);
    }
    list.AddRow({"stale"}, 0, 1);

    tool.ScanStartupPrograms();

    EXPECT_EQ(expected, Rows());
    for (int r = 0; r < 14; ++r) EXPECT_EQ("Registry", list.Text(r, 3));
    for (int r = 14; r < 18; ++r) EXPECT_EQ("Win.ini", list.Text(r, 3));
    for (int r = 18; r < 22; ++r) EXPECT_EQ("StartUp", list.Text(r, 3));
    EXPECT_TRUE(status.notes.empty());
    EXPECT_TRUE(prompter.asked.empty());
}

TEST_F(StartupTest, RegistryValuesAsRawTextAndUnreadablePlacesSkipped) {
    const std::string run = kCV + "Run";
    SetString(HKEY_CURRENT_USER, run, "empty", "");
    SetString(HKEY_CURRENT_USER, run, "expand", "%windir%\\notepad.exe", REG_EXPAND_SZ);
    SetValue(HKEY_CURRENT_USER, run, "binary", REG_BINARY, "C:\\windows\\notepad.exe", 22);
    SetString(HKEY_CURRENT_USER, run, std::string(300, 'n'), kNotepad);      // name too long
    SetString(HKEY_CURRENT_USER, run, "longdata", std::string(300, 'd'));     // data too long
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

    ASSERT_EQ(3, list.Count());
    ASSERT_GE(list.Find("expand"), 0);
    EXPECT_EQ((std::vector<std::string>{"expand", "%windir%\\notepad.exe", "HKEY_CURRENT_USER\\" + kCV + "Run",
                                        "Registry"}),
              Row(list.Find("expand")));
    ASSERT_GE(list.Find("binary"), 0);
    EXPECT_EQ(kNotepad, list.Text(list.Find("binary"), 1));
    EXPECT_EQ("hidden.lnk", list.Text(2, 0));
}

TEST_F(StartupTest, WinIniEntriesSplitAtSpacesAndOverflowReported) {
    SetIni("Load", "C:\\A\\B.EXE  D.EXE ");
    SetIni("Run", std::string(2600, 'r'));
    SetIni("RunDisabled", std::string(2599, 'f'));  // just fits

    tool.ScanStartupPrograms();

    ASSERT_EQ(3, list.Count());
    EXPECT_EQ((std::vector<std::string>{"A\\B.EXE", "C:\\A\\B.EXE", "Load", "Win.ini"}), Row(0));
    EXPECT_EQ((std::vector<std::string>{"D.EXE", "D.EXE", "Load", "Win.ini"}), Row(1));
    EXPECT_EQ(std::string(2599, 'f'), list.Text(2, 1));
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

TEST_F(StartupTest, DisableAndEnableRestoreEveryKindOfPlace) {
    const char* liveKeys[7][2] = {{"U", "Run"},     {"U", "RunOnce"},   {"M", "Run"},           {"M", "RunServices"},
                                  {"M", "RunOnce"}, {"M", "RunOnceEx"}, {"M", "RunServicesOnce"}};
    for (int i = 0; i < 7; ++i)
        SetString(liveKeys[i][0][0] == 'U' ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE, kCV + liveKeys[i][1],
                  Format("reg%d", i), Format("c:\\Program Files\\App%d\\app.exe /s", i));
    SetIni("Load", "c:\\tools\\Loader.exe  keep.exe");
    SetIni("Run", "c:\\x\\app.exe app.exe");  // one entry contains the other's text
    WriteFileText(userFolder + "\\mine.lnk", "user");
    WriteFileText(commonFolder + "\\all.lnk", "common");
    tool.ScanStartupPrograms();
    const Listing original = Rows();
    ASSERT_EQ(13, list.Count());

    for (auto& r : list.rows) r.checked = false;
    tool.ApplyStartupChanges();
    ASSERT_EQ(13, list.Count());
    for (int r = 0; r < 13; ++r) EXPECT_EQ(0u, list.Data(r)) << list.Text(r, 0);
    EXPECT_EQ("<none>", ValueOf(HKEY_LOCAL_MACHINE, kCV + "RunOnceEx", "reg5"));
    EXPECT_EQ("c:\\Program Files\\App5\\app.exe /s", ValueOf(HKEY_LOCAL_MACHINE, kCV + "RunOnceExDisabled", "reg5"));
    EXPECT_EQ("", Ini("Run"));
    EXPECT_EQ("c:\\x\\app.exe app.exe", Ini("RunDisabled"));
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

TEST_F(StartupTest, MovesKeepTheEntryWhenTheNewPlaceCannotBeWritten) {
    SetString(HKEY_CURRENT_USER, kCV + "Run", "stay", kNotepad);
    MakeUnwritable(HKEY_CURRENT_USER, kCV + "RunDisabled");
    tool.ScanStartupPrograms();
    ASSERT_EQ(1, list.Count());
    EXPECT_FALSE(tool.DisableStartupRow(0));
    EXPECT_EQ(kNotepad, ValueOf(HKEY_CURRENT_USER, kCV + "Run", "stay"));
    EXPECT_EQ("<none>", ValueOf(HKEY_CURRENT_USER, kCV + "RunDisabled", "stay"));
    list.rows[0].checked = false;
    tool.ApplyStartupChanges();
    ASSERT_EQ(1, list.Count());
    EXPECT_TRUE(list.rows[0].checked);
    EXPECT_EQ("HKEY_CURRENT_USER\\" + kCV + "Run", list.Text(0, 2));

    // The same for an enable whose live key is locked; a REG_EXPAND_SZ comes back as REG_SZ.
    SetString(HKEY_LOCAL_MACHINE, kCV + "RunOnceDisabled", "back", "%windir%\\notepad.exe", REG_EXPAND_SZ);
    SetString(HKEY_LOCAL_MACHINE, kCV + "RunDisabled", "parked", kNotepad);
    MakeUnwritable(HKEY_LOCAL_MACHINE, kCV + "Run");
    tool.ScanStartupPrograms();
    ASSERT_EQ(3, list.Count());
    EXPECT_FALSE(tool.EnableStartupRow(list.Find("parked")));
    EXPECT_EQ(kNotepad, ValueOf(HKEY_LOCAL_MACHINE, kCV + "RunDisabled", "parked"));
    EXPECT_TRUE(tool.EnableStartupRow(list.Find("back")));
    DWORD type = 0;
    EXPECT_EQ("%windir%\\notepad.exe", ValueOf(HKEY_LOCAL_MACHINE, kCV + "RunOnce", "back", &type));
    EXPECT_EQ(static_cast<DWORD>(REG_SZ), type);
    EXPECT_EQ("<none>", ValueOf(HKEY_LOCAL_MACHINE, kCV + "RunOnceDisabled", "back"));
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

    prompter.answers = {IDYES};
    tool.DeleteSelectedStartupRows();
    EXPECT_EQ(2, list.Count());
    EXPECT_EQ((std::vector<std::string>{"Please Wait...", ""}), status.messages);
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
