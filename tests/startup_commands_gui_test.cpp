// The startup tool's commands on the real result list: once on a scratch machine, and once
// through the machine's own places (the user's Run key, win.ini and Startup folder), leaving
// nothing behind.
#include "core/reghelpers.h"
#include "core/view.h"
#include "framework/prompter.h"
#include "startup/startupcommands.h"
#include "startup/startupprograms.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <functional>
#include <utility>

namespace {

class Host : public CWindowImpl {};

class RecordingFrame : public IStatusSink {
public:
    std::vector<std::string> messages, notes;
    void SetStatusText(const std::string& text, int target) override {
        if (target == 0) messages.push_back(text);
    }
    void ShowNotifierText(const std::string& text) override { notes.push_back(text); }
};

const std::string kRun = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const char kNotepad[] = "C:\\windows\\notepad.exe";

void SetString(HKEY root, const std::string& key, const std::string& name, const std::string& text) {
    HKEY k = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, ::RegCreateKeyExA(root, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k, nullptr));
    ::RegSetValueExA(k, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                     static_cast<DWORD>(text.size() + 1));
    ::RegCloseKey(k);
}


std::string IniLine(const std::string& file, const std::string& key) {
    char buf[4096] = {};
    ::GetPrivateProfileStringA("windows", key.c_str(), "<none>", buf, sizeof buf, file.c_str());
    return buf;
}

class StartupCommandsTest : public ::testing::Test {
protected:
    void SetUp() override {
        RECT rc {0, 0, 800, 400};
        ASSERT_TRUE(host.Create(nullptr, rc, "host", WS_OVERLAPPEDWINDOW | WS_VISIBLE));
        ASSERT_TRUE(view.CreateView(host.m_hWnd, 100));
        ::MoveWindow(view.m_hWnd, 0, 0, 780, 380, TRUE);
        int i = 0;
        for (const char* title : {"Program Name", "Command Line", "Location", "Physical"}) {
            LVCOLUMNA col {};
            col.mask = LVCF_TEXT | LVCF_WIDTH;
            col.pszText = const_cast<char*>(title);
            col.cx = i == 2 ? 200 : 120;
            view.Send(LVM_INSERTCOLUMNA, i++, reinterpret_cast<LPARAM>(&col));
        }
        previousMain = MainWindow();
        SetMainWindow(host.m_hWnd);
    }
    void TearDown() override { SetMainWindow(previousMain); }

    int Find(const std::string& name) {
        for (int r = 0; r < view.Count(); ++r)
            if (view.Text(r, 0) == name) return r;
        return -1;
    }
    int StateImage(int row) {
        return static_cast<int>((view.Send(LVM_GETITEMSTATE, row, LVIS_STATEIMAGEMASK) & LVIS_STATEIMAGEMASK) >> 12);
    }
    void Select(int row) {
        LVITEMA item {};
        item.stateMask = LVIS_SELECTED;
        item.state = LVIS_SELECTED;
        view.Send(LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&item));
    }

    Host host;
    CWrenlyView view;
    RecordingFrame frame;
    ScriptedPrompter prompter;
    HWND previousMain = nullptr;
};

// The scratch machine: Run keys under a scratch key, a scratch ini file and Startup folder.
class ScratchStartupTest : public StartupCommandsTest {
protected:
    void SetUp() override {
        StartupCommandsTest::SetUp();
        for (int i = 0; i < 2; ++i) {
            std::string path = scratch.path() + (i ? "\\HKLM" : "\\HKCU");
            ::RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &roots[i],
                              nullptr);
        }
        ::RegOverridePredefKey(HKEY_CURRENT_USER, roots[0]);
        ::RegOverridePredefKey(HKEY_LOCAL_MACHINE, roots[1]);
        ::CreateDirectoryA(folder.c_str(), nullptr);
        saved = DefaultStartupPlaces();
        DefaultStartupPlaces().iniFile = ini;
        DefaultStartupPlaces().undoFolder = dir.path();
        DefaultStartupPlaces().shellFolder = [this](int csidl) { return csidl == 7 ? folder : std::string(); };
    }
    void TearDown() override {
        DefaultStartupPlaces() = saved;
        ::RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
        ::RegOverridePredefKey(HKEY_LOCAL_MACHINE, nullptr);
        for (HKEY k : roots) ::RegCloseKey(k);
        StartupCommandsTest::TearDown();
    }

    ScratchKey scratch {"startupcmd"};
    ScratchDir dir {"startupcmd"};
    HKEY roots[2] = {};
    std::string ini = dir / "startup.ini";
    std::string folder = dir / "StartUp";
    StartupPlaces saved;
};

}  // namespace

TEST_F(ScratchStartupTest, ScanUpdateAndDeleteOnTheRealList) {
    SetString(HKEY_CURRENT_USER, kRun, "live", kNotepad);
    SetString(HKEY_LOCAL_MACHINE, kRun + "Disabled", "parked", "C:\\windows\\regedit.exe");
    ::WritePrivateProfileStringA("windows", "Load", "KelvoLoad.exe", ini.c_str());
    WriteFileText(folder + "\\shortcut.lnk", "x");

    RunStartupScan(view, frame);

    EXPECT_EQ(kListStartupPrograms, view.ListMode);
    EXPECT_TRUE(view.Send(LVM_GETEXTENDEDLISTVIEWSTYLE) & LVS_EX_CHECKBOXES);
    EXPECT_TRUE(view.Send(LVM_GETEXTENDEDLISTVIEWSTYLE) & LVS_EX_FULLROWSELECT);
    EXPECT_TRUE(::IsWindowEnabled(host.m_hWnd));  // the animation dialog gave it back
    ASSERT_EQ(4, view.Count());
    EXPECT_EQ((std::vector<int>{2, 2, 1, 2}),
              (std::vector<int>{StateImage(Find("live")), StateImage(Find("KelvoLoad.exe")), StateImage(Find("parked")),
                                StateImage(Find("shortcut.lnk"))}));
    EXPECT_EQ(0u, view.Data(Find("parked")));
    // Columns sized to their contents.
    EXPECT_NE(120, view.Send(LVM_GETCOLUMNWIDTH, 1));

    // The user swaps two check boxes; "Update" moves both and lists again.
    view.SetChecked(Find("live"), false);
    view.SetChecked(Find("parked"), true);
    RunStartupUpdate(view, frame);
    ASSERT_EQ(4, view.Count());
    EXPECT_FALSE(ValueExists(HKEY_CURRENT_USER, kRun, "live"));
    EXPECT_TRUE(ValueExists(HKEY_CURRENT_USER, kRun + "Disabled", "live"));
    EXPECT_TRUE(ValueExists(HKEY_LOCAL_MACHINE, kRun, "parked"));
    EXPECT_EQ(1, StateImage(Find("live")));
    EXPECT_EQ("HKEY_CURRENT_USER\\" + kRun + "Disabled", view.Text(Find("live"), 2));
    EXPECT_EQ(2, StateImage(Find("parked")));

    // Deleting the Startup-folder row removes its file.
    Select(Find("shortcut.lnk"));
    prompter.answers = {IDYES};
    RunStartupDeleteSelected(view, frame);
    EXPECT_FALSE(FileExists(folder + "\\shortcut.lnk"));
    EXPECT_EQ(3, view.Count());

    prompter.answers = {IDYES};
    RunStartupDeleteAll(view, frame);
    EXPECT_EQ(0, view.Count());
    EXPECT_FALSE(ValueExists(HKEY_CURRENT_USER, kRun + "Disabled", "live"));
    EXPECT_FALSE(ValueExists(HKEY_LOCAL_MACHINE, kRun, "parked"));
    EXPECT_EQ("", IniLine(ini, "Load"));
    RunStartupScan(view, frame);
    EXPECT_EQ(0, view.Count());
}

TEST_F(StartupCommandsTest, RoundTripThroughTheMachinesOwnPlaces) {
    const std::string tag = "KelvoCheck" + std::to_string(::GetCurrentProcessId());
    ScratchDir undoFolder("startup-undo");
    const StartupPlaces saved = DefaultStartupPlaces();
    DefaultStartupPlaces().undoFolder = undoFolder.path();
    const std::string userFolder = GetShellFolder(7);
    ASSERT_FALSE(userFolder.empty());
    const std::string disabledFolder = userFolder + "Disabled";
    const bool hadDisabledKey = RegKeyExists(HKEY_CURRENT_USER, kRun + "Disabled");
    const bool hadDisabledFolder = FileExists(disabledFolder);
    const std::string oldRun = IniLine("win.ini", "Run"), oldRunDisabled = IniLine("win.ini", "RunDisabled");
    const std::string entry = tag + ".exe", file = tag + ".bat";
    // Puts the machine back as it was, whatever happens below.
    struct Restore {
        std::function<void()> run;
        ~Restore() { run(); }
    } restore {[&] {
        DefaultStartupPlaces() = saved;
        DeleteRegValue(HKEY_CURRENT_USER, kRun, tag);
        DeleteRegValue(HKEY_CURRENT_USER, kRun + "Disabled", tag);
        for (const auto& [key, old] : {std::pair<const char*, std::string>{"Run", oldRun}, {"RunDisabled", oldRunDisabled}})
            ::WritePrivateProfileStringA("windows", key, old == "<none>" ? nullptr : old.c_str(), "win.ini");
        ::DeleteFileA((userFolder + "\\" + file).c_str());
        ::DeleteFileA((disabledFolder + "\\" + file).c_str());
        if (!hadDisabledKey) DeleteRegKeyTree(HKEY_CURRENT_USER, kRun + "Disabled");
        if (!hadDisabledFolder) ::RemoveDirectoryA(disabledFolder.c_str());
    }};

    SetString(HKEY_CURRENT_USER, kRun, tag, kNotepad);
    std::string line = oldRun == "<none>" || oldRun.empty() ? entry : oldRun + " " + entry;
    ::WritePrivateProfileStringA("windows", "Run", line.c_str(), "win.ini");
    WriteFileText(userFolder + "\\" + file, "@echo off\r\n");

    RunStartupScan(view, frame);
    const std::string names[3] = {tag, entry, file};
    for (const std::string& n : names) {
        ASSERT_GE(Find(n), 0) << n;
        view.SetChecked(Find(n), false);
    }
    RunStartupUpdate(view, frame);
    for (const std::string& n : names) EXPECT_EQ(1, StateImage(Find(n))) << n;
    EXPECT_TRUE(ValueExists(HKEY_CURRENT_USER, kRun + "Disabled", tag));
    EXPECT_NE(std::string::npos, IniLine("win.ini", "RunDisabled").find(entry));
    EXPECT_TRUE(FileExists(disabledFolder + "\\" + file));
    EXPECT_TRUE(::GetFileAttributesA(disabledFolder.c_str()) & FILE_ATTRIBUTE_HIDDEN);

    for (const std::string& n : names) view.SetChecked(Find(n), true);
    RunStartupUpdate(view, frame);
    EXPECT_EQ(kNotepad, ReadRegString(HKEY_CURRENT_USER, kRun, tag));
    EXPECT_EQ(userFolder + "\\" + file, view.Text(Find(file), 1));
    EXPECT_EQ("Run", view.Text(Find(entry), 2));

    for (const std::string& n : names) Select(Find(n));
    prompter.answers = {IDYES};
    RunStartupDeleteSelected(view, frame);
    EXPECT_FALSE(ValueExists(HKEY_CURRENT_USER, kRun, tag));
    EXPECT_EQ(std::string::npos, IniLine("win.ini", "Run").find(entry));
    EXPECT_FALSE(FileExists(userFolder + "\\" + file));
    // The registry editor brings the deleted value back from the undo file.
    WIN32_FIND_DATAA fd;
    HANDLE undo = ::FindFirstFileA((undoFolder.path() + "\\*.reg").c_str(), &fd);
    ASSERT_NE(INVALID_HANDLE_VALUE, undo);
    ::FindClose(undo);
    EXPECT_EQ(0u, ImportWithRegedit(undoFolder.path() + "\\" + fd.cFileName));
    EXPECT_EQ(kNotepad, ReadRegString(HKEY_CURRENT_USER, kRun, tag));

    restore.run();
    EXPECT_EQ(oldRun, IniLine("win.ini", "Run"));
    EXPECT_EQ(oldRunDisabled, IniLine("win.ini", "RunDisabled"));
    EXPECT_EQ(hadDisabledKey, RegKeyExists(HKEY_CURRENT_USER, kRun + "Disabled"));
    EXPECT_EQ(hadDisabledFolder, FileExists(disabledFolder));
}
