// The whole program on the demo machine: fixtures/demo-machine.txt is seeded on a machine of the
// test's own, and the real main window runs each tool through its outlook bar, as the user would:
// the tool lists what the fixture says it finds, its command changes the machine, and the undo
// file and the Recycle Bin give back what it took. The tools' rules, row by row, are the engine
// tests' business; here it is the wiring from the bar to the machine.
//
// The machine of the test's own: the four registry roots redirected to scratch keys for this
// process (win.ini's "windows" section is mapped into them too), the drives' leftovers in
// C:\KelvoE2E-<pid> and E:\KelvoE2E-<pid>, and the shell folders, the temporary folder and the
// settings store inside them. Other test programs may leave files on C: and E: meanwhile, so file
// rows are compared for the test's own folders only.
#include "app/itemcommands.h"
#include "app/mainframe.h"
#include "core/codepage.h"
#include "framework/settings.h"
#include "framework/strings.h"
#include "kit.h"
#include "registry/regremove.h"
#include "resource.h"
#include "seeder.h"

#include <gtest/gtest.h>
#include <shlwapi.h>

#include <memory>

namespace {

const std::string kCV = "Software\\Microsoft\\Windows\\CurrentVersion\\";
const char* const kPlaces[4][2] = {{"TEMP", "\\Temp"}, {"RECENT", "\\Users\\Demo\\Recent"},
                                   {"STARTUP", "\\Users\\Demo\\Start Menu\\Programs\\Startup"},
                                   {"COMMON STARTUP", "\\ProgramData\\Start Menu\\Programs\\Startup"}};

DWORD ValueType(HKEY root, const std::string& key, const std::string& name) {
    DWORD type = 0;
    ::RegGetValueA(root, key.c_str(), name.c_str(), RRF_RT_ANY | RRF_NOEXPAND, &type, nullptr, nullptr);
    return type;
}

// The undo folder's files and their sizes, to find what a removal appended.
std::map<std::string, size_t> UndoFileSizes() {
    std::map<std::string, size_t> sizes;
    WIN32_FIND_DATAA fd;
    HANDLE h = ::FindFirstFileA((UndoFolder() + "\\*.reg").c_str(), &fd);
    for (bool more = h != INVALID_HANDLE_VALUE; more; more = ::FindNextFileA(h, &fd))
        sizes[UndoFolder() + "\\" + fd.cFileName] = fd.nFileSizeLow;
    ::FindClose(h);
    return sizes;
}

class DemoTest : public ::testing::Test {
protected:
    // The machine, made once for the test program; every test seeds it again.
    static inline std::unique_ptr<kit::ScratchRoots> registry;
    static inline std::string c = "C:\\KelvoE2E-" + kit::Pid(), e = "E:\\KelvoE2E-" + kit::Pid();
    static inline FixtureRoots roots;
    static inline Fixture fixture;

    static void SetUpTestSuite() {
        registry = std::make_unique<kit::ScratchRoots>();
        WriteSettingInt("Settings", "playsound", 0);  // read as each test's main window is made
        kit::SetRegString(HKEY_LOCAL_MACHINE,
                          "Software\\Microsoft\\Windows NT\\CurrentVersion\\IniFileMapping\\win.ini\\windows", "",
                          "USR:Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows");
        roots = {{"C", c}, {"E", e}};
        // The seeding makes the folders.
        for (const auto& place : kPlaces) roots[place[0]] = c + place[1];
        char buf[MAX_PATH];
        roots["WINDOWS"] = std::string(buf, ::GetWindowsDirectoryA(buf, MAX_PATH));
        roots["SYSTEM"] = std::string(buf, ::GetSystemDirectoryA(buf, MAX_PATH));
        const std::string shellFolders = kCV + "Explorer\\User Shell Folders";
        kit::SetRegString(HKEY_CURRENT_USER, shellFolders, "Startup", roots["STARTUP"]);
        kit::SetRegString(HKEY_CURRENT_USER, shellFolders, "Recent", roots["RECENT"]);
        kit::SetRegString(HKEY_LOCAL_MACHINE, shellFolders, "Common Startup", roots["COMMON STARTUP"]);
        ::SetEnvironmentVariableA("TMP", roots["TEMP"].c_str());
        ::SetEnvironmentVariableA("TEMP", roots["TEMP"].c_str());
        fixture.Parse(kDemoMachineFixture);
    }
    static void TearDownTestSuite() {
        registry.reset();
        RemoveFolderTree(c);
        RemoveFolderTree(e);
    }
    static bool Ours(const std::string& path) {
        return !_strnicmp((path + "\\").c_str(), (c + "\\").c_str(), c.size() + 1) ||
               !_strnicmp((path + "\\").c_str(), (e + "\\").c_str(), e.size() + 1);
    }

    void SetUp() override {
        SeedReport report;
        ASSERT_TRUE(SeedMachine(fixture, roots, report)) << ::testing::PrintToString(report.problems);
        // Nothing kept, and the drive walks see only the test's own folders on C: and E:.
        ::SHDeleteKeyA(HKEY_CURRENT_USER, (SettingsKeyPath() + "\\Exclude").c_str());
        ::SHDeleteKeyA(HKEY_CURRENT_USER, (SettingsKeyPath() + "\\Keep").c_str());
        WriteSettingInt("Exclude", "C:\\KelvoTests", 1);
        for (const std::string d : {"C:\\", "E:\\"}) {
            WIN32_FIND_DATAA fd;
            HANDLE h = ::FindFirstFileA((d + "*").c_str(), &fd);
            for (bool more = h != INVALID_HANDLE_VALUE; more; more = ::FindNextFileA(h, &fd))
                if ((fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && *fd.cFileName != '.' && !Ours(d + fd.cFileName))
                    WriteSettingInt("Exclude", (d + fd.cFileName).c_str(), 1);
            ::FindClose(h);
        }
        ASSERT_TRUE(frame.CreateFrame());
        SetMainWindow(frame.m_hWnd);
        frame.Show(SW_SHOW);
        view = frame.GetListView();
        view->settings.driveMask = (1u << ('C' - 'A')) | (1u << ('E' - 'A'));
        // The start-up message comes half a second after the window: wait for it, as the user
        // does, so that it does not cover a tool's own message later.
        EXPECT_TRUE(PumpUntil([this] { return frame.Notifier().text == LoadStr(IDS_NOTIFY_UNNEEDED_FILES); }));
    }
    void TearDown() override {
        SetMainWindow(nullptr);
        if (frame.IsWindow()) ::DestroyWindow(frame.m_hWnd);
        for (MSG msg; ::PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE);) {}
    }

    std::string X(const std::string& text) { return ExpandRoots(text, roots); }
    int Expected(const char* tool) { return static_cast<int>(fixture.Section(std::string("expect ") + tool).size()); }
    // The paths the fixture expects a tool to list (the first field of each entry, or all), and
    // the paths the list shows on the test's own folders, both sorted.
    std::vector<std::string> ExpectedPaths(const char* tool, bool allFields) {
        std::vector<std::string> out;
        for (const FixtureEntry& entry : fixture.Section(std::string("expect ") + tool))
            for (size_t i = 0; i < (allFields ? entry.fields.size() : 1); ++i) out.push_back(X(entry.fields[i]));
        std::sort(out.begin(), out.end());
        return out;
    }
    std::vector<std::string> OurPaths() {
        std::vector<std::string> out;
        for (int r = 0; r < view->Count(); ++r)
            if (Ours(view->Text(r, 1))) out.push_back(view->Text(r, 1));
        std::sort(out.begin(), out.end());
        return out;
    }

    // The outlook bar, as the user works it: choosing a tool's folder and clicking its items.
    void ChooseTool(int scanMode) {
        frame.OutBar().setSelFolder(scanMode);
        PumpFor(20);
        ASSERT_EQ(kTools[scanMode].listMode, view->ListMode);
    }
    void Scan(int scanMode) {
        ChooseTool(scanMode);
        Click("Scan");
    }
    void Click(const std::string& caption, int answer = IDOK, int row = -2) {
        if (row != -2) SelectOnly(row);
        prompts.answers = {answer};
        CGfxOutBarCtrl& bar = frame.OutBar();
        int item = bar.getItemCount() - 1;
        while (item >= 0 && bar.getItemText(item) != caption) --item;
        ASSERT_GE(item, 0) << "no item " << caption;
        frame.Send(WM_OUTBAR_NOTIFY, kOutBarItemClicked, item);
        ::ReleaseCapture();  // the bar lets the mouse go once the frame has answered
        PumpFor(20);
    }
    int FindRow(int column, const std::string& text, const std::string& place = "") {
        for (int r = 0; r < view->Count(); ++r)
            if (SameText(view->Text(r, column), text) && (place.empty() || SameText(view->Text(r, 2), place))) return r;
        return -1;
    }
    void SelectOnly(int row) {
        ASSERT_GE(row, 0);
        ListView_SetItemState(view->m_hWnd, -1, 0, LVIS_SELECTED);
        ListView_SetItemState(view->m_hWnd, row, LVIS_SELECTED, LVIS_SELECTED);
    }
    void ExpectRecycled(const std::string& path) {
        size_t slash = path.rfind('\\');
        EXPECT_FALSE(FileExists(path)) << path;
        EXPECT_TRUE(kit::RecycleBinHolds(path.substr(0, slash), path.substr(slash + 1))) << path << " not recycled";
        // A file left in Wine's trash folder would stop the next run from recycling one of that name.
        kit::PurgeFromTrash(path.substr(slash + 1));
    }

    ScriptedPrompter prompts;
    CMainFrame frame;
    CWrenlyView* view = nullptr;
};

}  // namespace

TEST_F(DemoTest, UnneededFilesGoToTheRecycleBin) {
    // A file in use is no leftover.
    HANDLE held = ::CreateFileA(X("{E}\\Data\\Reports\\inuse.tmp").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                0, nullptr);
    Scan(0);
    ::CloseHandle(held);
    EXPECT_EQ(ExpectedPaths("Remove Unneeded Files", false), OurPaths());
    std::string letter = X("{E}\\Data\\Reports\\letter.old");
    Click("Delete Selected", IDYES, FindRow(1, letter));
    EXPECT_EQ(-1, FindRow(1, letter));
    ExpectRecycled(letter);
}

// What Remove All takes goes to the undo file first, and the registry editor puts it all back.
TEST_F(DemoTest, RegistryFindingsComeBackFromTheUndoFile) {
    Scan(1);
    ASSERT_EQ(Expected("Clean System Registry"), view->Count());
    std::map<std::string, size_t> before = UndoFileSizes();
    Click("Remove All", IDYES);
    EXPECT_EQ(0, view->Count());
    EXPECT_FALSE(ValueExists(HKEY_CURRENT_USER, "Software\\Demo Vendor\\Photo Viewer", "LastFile"));

    // What the removal appended (UTF-16LE after the byte order mark), given back by regedit.
    std::string appended;
    for (const auto& file : UndoFileSizes()) {
        size_t from = before.count(file.first) ? before[file.first] : 2;
        std::string bytes = file.second > from ? kit::ReadWholeFile(file.first).substr(from) : "", text;
        NarrowName(std::wstring(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / 2), text, CP_UTF8);
        appended += text;
    }
    ASSERT_NE("", appended) << "no undo file was written";
    ASSERT_EQ(0u, registry->Import(appended, X("{C}\\undo.reg")));
    Click("Scan");
    EXPECT_EQ(Expected("Clean System Registry"), view->Count()) << "the restored registry lists other findings";
}

// Update moves entries to their Disabled places and back; Delete Selected takes one for good.
TEST_F(DemoTest, StartupEntriesMoveAndComeBack) {
    ChooseTool(2);  // lists at once
    ASSERT_EQ(Expected("AutoStart Programs"), view->Count());
    const std::string run = kCV + "Run", hkcuRun = "HKEY_CURRENT_USER\\" + run, disabled = run + "Disabled";
    auto set = [&](const char* name, const std::string& place, bool on) {
        ASSERT_GE(FindRow(0, name, place), 0) << name << " in " << place;
        view->SetChecked(FindRow(0, name, place), on);
    };
    set("OldUpdater", hkcuRun, false);
    set("Reminder", hkcuRun + "Disabled", true);
    Click("Update");
    EXPECT_TRUE(ValueExists(HKEY_CURRENT_USER, disabled, "OldUpdater"));
    EXPECT_FALSE(ValueExists(HKEY_CURRENT_USER, run, "OldUpdater"));
    EXPECT_EQ(static_cast<DWORD>(REG_EXPAND_SZ), ValueType(HKEY_CURRENT_USER, run, "Reminder"));

    // The list was read again, so the entries are found at their new places.
    set("OldUpdater", hkcuRun + "Disabled", true);
    set("Reminder", hkcuRun, false);
    Click("Update");
    EXPECT_TRUE(ValueExists(HKEY_CURRENT_USER, run, "OldUpdater"));
    EXPECT_EQ(static_cast<DWORD>(REG_EXPAND_SZ), ValueType(HKEY_CURRENT_USER, disabled, "Reminder"));

    Click("Delete Selected", IDYES, FindRow(0, "OldBackup"));
    EXPECT_FALSE(ValueExists(HKEY_LOCAL_MACHINE, kCV + "RunDisabled", "OldBackup"));
    EXPECT_EQ(Expected("AutoStart Programs") - 1, view->Count());
}

TEST_F(DemoTest, InvalidShortcutsAreFixedOrRecycled) {
    Scan(3);
    EXPECT_EQ(ExpectedPaths("Fix Invalid Shortcuts", false), OurPaths());
    // Fix Selected, once the document is back where the shortcut expects it.
    std::string report = X("{E}\\Data\\Shortcuts\\Old Report.lnk");
    ASSERT_TRUE(WriteFileText(X("{E}\\Data\\Reports\\q3-forecast.txt"), "found again"));
    Click("Fix Selected", IDOK, FindRow(1, report));
    EXPECT_EQ(-1, FindRow(1, report));
    std::string viewer = X("{E}\\Data\\Shortcuts\\Photo Viewer.lnk");
    Click("Delete Selected", IDYES, FindRow(1, viewer));
    ExpectRecycled(viewer);
}

TEST_F(DemoTest, HistoryEraserStartErasesTheCheckedTraces) {
    ChooseTool(4);
    ASSERT_EQ(8, view->Count());
    Click("Start");
    EXPECT_FALSE(kit::RegKeyPresent(HKEY_CURRENT_USER, kCV + "Explorer\\RunMRU"));
    for (const char* f : {"summary.txt.lnk", "budget.xls.lnk", "holiday.jpg.lnk"}) ExpectRecycled(X("{RECENT}\\") + f);
    EXPECT_TRUE(FileExists(X("{RECENT}\\readme.txt")));
    EXPECT_FALSE(::IsClipboardFormatAvailable(CF_TEXT));
}

TEST_F(DemoTest, DuplicateCopyGoesToTheRecycleBin) {
    Scan(5);
    EXPECT_EQ(ExpectedPaths("Find Duplicate Files", true), OurPaths());
    std::string copy = X("{C}\\Photos Backup\\holiday.jpg");
    Click("Delete Selected", IDYES, FindRow(1, copy));
    ExpectRecycled(copy);
    EXPECT_TRUE(FileExists(X("{E}\\Data\\Photos\\holiday.jpg")));
}

// A kept finding stays out of every later scan, a duplicate's folder kept as a reference keeps
// its files listed but never selectable, and once off the Keep List they are all listed again.
TEST_F(DemoTest, KeptFindingsStayOutUntilRemovedFromTheKeepList) {
    const struct { int tool, column; std::string text; } picks[] = {{1, 2, "LastFile"},
        {0, 1, X("{E}\\Data\\Reports\\letter.old")}, {3, 1, X("{E}\\Data\\Shortcuts\\Photo Viewer.lnk")}};
    for (const auto& pick : picks) {
        Scan(pick.tool);
        SelectOnly(FindRow(pick.column, pick.text));
        RunItemCommand(*view, ID_ITEM_KEEP, {});
        Click("Scan");
        EXPECT_EQ(-1, FindRow(pick.column, pick.text)) << "tool " << pick.tool << " lists a kept finding";
    }
    Scan(5);
    std::string copy = X("{C}\\Photos Backup\\holiday.jpg");
    SelectOnly(FindRow(1, copy));
    RunItemCommand(*view, ID_ITEM_KEEP, {});
    Click("Scan");
    SelectOnly(FindRow(1, copy));
    EXPECT_FALSE(view->IsSelected(FindRow(1, copy))) << "a reference folder's file was selected";

    view->settings.keep.Clear();
    for (const auto& pick : picks) {
        Scan(pick.tool);
        EXPECT_GE(FindRow(pick.column, pick.text), 0) << "tool " << pick.tool;
    }
}
