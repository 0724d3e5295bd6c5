// Where the program keeps its undo files and "duplist": beside itself when its folder can be
// written (the portable copy), in the user's local application data folder when it cannot (the
// copy installed under C:\Program Files, run by a standard user). The whole road is walked in
// both: scan, Remove All, Undo from the Options page, a duplicate scan.
#include "core/datafolder.h"
#include "core/reghelpers.h"
#include "core/view.h"
#include "duplicates/dupcommands.h"
#include "files_testkit.h"
#include "framework/prompter.h"
#include "framework/settings.h"
#include "framework/strings.h"
#include "options/optionssheet.h"
#include "registry/regcommands.h"
#include "registry/regremove.h"
#include "registry/undofile.h"
#include "resource.h"

#include <gtest/gtest.h>

#include <sddl.h>
#include <shlobj.h>

#include <functional>
#include <set>

using namespace filestest;

namespace {

// Set (by the test that starts a copy of this program in a folder it cannot write, and by
// scripts/package --check for the installed copy): the program's folder is not writable here,
// and the files must go to the local data folder.
bool ExpectLocalData() {
    char value[8] = {};
    return ::GetEnvironmentVariableA("KELVO_EXPECT_LOCAL_DATA", value, sizeof value) > 0 && value[0] == '1';
}

bool SetFolderSecurity(const std::string& folder, const char* sddl) {
    PSECURITY_DESCRIPTOR sd = nullptr;
    if (!::ConvertStringSecurityDescriptorToSecurityDescriptorA(sddl, SDDL_REVISION_1, &sd, nullptr)) return false;
    BOOL ok = ::SetFileSecurityA(folder.c_str(), DACL_SECURITY_INFORMATION, sd);
    ::LocalFree(sd);
    return ok != FALSE;
}

// A folder everyone may read and run programs from but nobody may write, as C:\Program Files is
// to a standard user. Made writable again at the end, so that it can go.
class ReadOnlyFolder {
public:
    explicit ReadOnlyFolder(const std::string& path) : path_(path) {
        ::SHCreateDirectoryExA(nullptr, path.c_str(), nullptr);
    }
    bool Seal() { return SetFolderSecurity(path_, "D:P(A;OICI;GRGX;;;WD)"); }
    ~ReadOnlyFolder() { SetFolderSecurity(path_, "D:P(A;OICI;FA;;;WD)"); }
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

std::set<std::string> FilesIn(const std::string& folder) {
    std::set<std::string> names;
    WIN32_FIND_DATAA fd;
    HANDLE h = ::FindFirstFileA((folder + "\\*").c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE) return names;
    do
        if (std::string(fd.cFileName) != "." && std::string(fd.cFileName) != "..") names.insert(fd.cFileName);
    while (::FindNextFileA(h, &fd));
    ::FindClose(h);
    return names;
}

std::string ShellLocalAppData() {
    char path[MAX_PATH] = {};
    ::SHGetFolderPathA(nullptr, CSIDL_LOCAL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, path);
    return path;
}

void SetString(HKEY root, const std::string& key, const std::string& name, const std::string& text) {
    HKEY k = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, ::RegCreateKeyExA(root, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k, nullptr));
    ::RegSetValueExA(k, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                     static_cast<DWORD>(text.size() + 1));
    ::RegCloseKey(k);
}

// The four scanned roots moved to empty scratch keys for the scope: the scan sees only what the
// test puts there.
class ScratchRoots {
public:
    ScratchRoots() {
        ::RegOpenKeyExA(HKEY_CURRENT_USER, base_.path().c_str(), 0, KEY_ALL_ACCESS, &baseKey_);
        for (int r = 0; r < 4; ++r) {
            ::RegCreateKeyExA(baseKey_, kParts[r], 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &keys_[r], nullptr);
            ::RegOverridePredefKey(kRoots[r], keys_[r]);
        }
    }
    ~ScratchRoots() {
        for (int r = 0; r < 4; ++r) {
            ::RegOverridePredefKey(kRoots[r], nullptr);
            ::RegCloseKey(keys_[r]);
        }
        ::RegCloseKey(baseKey_);
    }

private:
    const HKEY kRoots[4] = {HKEY_CURRENT_USER, HKEY_USERS, HKEY_LOCAL_MACHINE, HKEY_CLASSES_ROOT};
    const char* kParts[4] = {"HKCU", "HKU", "HKLM", "HKLM\\Software\\Classes"};
    ScratchKey base_ {"datafolder-roots"};
    HKEY baseKey_ = nullptr;
    HKEY keys_[4] = {};
};

// Runs the Options sheet on `page` and calls `step` from inside its modal loop until it answers
// true (or 20 seconds pass); then cancels the sheet.
void WithOptionsSheet(int page, FileToolSettings& settings, std::function<bool(COptionsSheet&)> step) {
    static std::function<void()> tick;
    bool notify = false, sound = false, done = false;
    COptionsSheet sheet(settings, notify, sound, page);
    DWORD start = ::GetTickCount();
    tick = [&] {
        HWND h = sheet.Window();
        if (done || !h || !PropSheet_GetCurrentPageHwnd(h)) return;
        if (step(sheet) || ::GetTickCount() - start > 20000) {
            done = true;
            ::PostMessageA(h, PSM_PRESSBUTTON, PSBTN_CANCEL, 0);
        }
    };
    UINT_PTR timer = ::SetTimer(nullptr, 0, 50, [](HWND, UINT, UINT_PTR, DWORD) {
        if (tick) tick();
    });
    sheet.DoModal(nullptr);
    ::KillTimer(nullptr, timer);
    tick = nullptr;
}

class Host : public CWindowImpl {};

}  // namespace

TEST(DataFolder, ProgramFolderWhenItCanBeWrittenElseLocalAppData) {
    std::string local = ShellLocalAppData() + "\\Kelvo Utilities";
    EXPECT_EQ(local, LocalDataFolder());

    ScratchDir writable("datafolder-rw");
    EXPECT_TRUE(CanWriteFolder(writable.path()));
    EXPECT_EQ(writable.path(), DataFolderFor(writable.path()));
    EXPECT_TRUE(FilesIn(writable.path()).empty()) << "the probe left a file behind";

    ScratchDir scratch("datafolder-ro");
    ReadOnlyFolder sealed(scratch / "Program Files\\Kelvo Utilities");
    ASSERT_TRUE(sealed.Seal());
    HANDLE h = ::CreateFileA((sealed.path() + "\\x.txt").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    if (h != INVALID_HANDLE_VALUE) ::CloseHandle(h);
    ASSERT_EQ(INVALID_HANDLE_VALUE, h) << "this machine's user can write a read-only folder: run the tests "
                                          "through scripts/test, whose machine has a standard user";
    EXPECT_FALSE(CanWriteFolder(sealed.path()));
    EXPECT_EQ(local, DataFolderFor(sealed.path()));
    EXPECT_NE(INVALID_FILE_ATTRIBUTES, ::GetFileAttributesA(local.c_str())) << "the local data folder was not made";

    // The Options page looks in both places, each once.
    EXPECT_EQ((std::vector<std::string> {ProgramFolder(), local}), DataFolders());
}

// The road a user takes, in whatever place this copy of the program runs from.
class DataFolderRoad : public ::testing::Test {
protected:
    void SetUp() override {
        RECT rc {0, 0, 800, 400};
        ASSERT_TRUE(host.Create(nullptr, rc, "host", WS_OVERLAPPEDWINDOW | WS_VISIBLE));
        ASSERT_TRUE(view.CreateView(host.m_hWnd, 100));
        int i = 0;
        for (const char* title : {"Location", "SubKey", "ValueName", "Data", "Invalid Entry"}) {
            LVCOLUMNA col {};
            col.mask = LVCF_TEXT | LVCF_WIDTH;
            col.pszText = const_cast<char*>(title);
            col.cx = 120;
            view.Send(LVM_INSERTCOLUMNA, i++, reinterpret_cast<LPARAM>(&col));
        }
        SetMainWindow(host.m_hWnd);
    }
    void TearDown() override { SetMainWindow(nullptr); }

    ScratchSettings store;
    ScriptedPrompter prompts;
    RecordingStatus frame;
    Host host;
    CWrenlyView view;
};

TEST_F(DataFolderRoad, ScanRemoveAllUndoFromTheOptionsPageAndDuplicateScan) {
    const bool local = ExpectLocalData();
    ASSERT_EQ(!local, CanWriteFolder(ProgramFolder())) << ProgramFolder();
    const std::string folder = local ? LocalDataFolder() : ProgramFolder();
    EXPECT_EQ(folder, DataFolder());
    EXPECT_EQ(folder, UndoFolder());
    EXPECT_EQ(folder, DuplicateListFolder());
    const std::set<std::string> programFiles = FilesIn(ProgramFolder());

    // Scan and Remove All: the finding goes into the undo file of this minute.
    ScratchKey app("datafolder-app");
    const std::string key = app.path() + "\\App";
    SYSTEMTIME t;
    ::GetLocalTime(&t);
    if (t.wSecond >= 50) ::Sleep((61 - t.wSecond) * 1000);
    const std::string undoName = MakeUndoFileName();
    const std::string undo = folder + "\\" + undoName;
    const bool undoExisted = FileExists(undo);
    {
        ScratchRoots roots;
        SetString(HKEY_CURRENT_USER, key, "Path", "C:\\KelvoMissing4711\\app.exe");
        view.SetListMode(kListRegistry);
        RunRegistryScan(view, frame);
        ASSERT_EQ(1, view.Count());
        ASSERT_EQ(key, view.Text(0, 1));
        prompts.answers = {IDYES};
        RunRegistryRemoveAll(view, frame);
        EXPECT_EQ(0, view.Count());
        EXPECT_FALSE(ValueExists(HKEY_CURRENT_USER, key, "Path"));
        ASSERT_EQ(2u, prompts.asked.size());
        EXPECT_EQ(std::string("Undo information has been saved in ") + (local ? folder : "the program's folder") +
                      "\ndouble-click on it to undo the changes made now",
                  prompts.asked[1].text);
    }
    ASSERT_TRUE(FileExists(undo)) << undo;

    // Undo from the Options page: the newest file comes first, and the registry editor puts the
    // value back (into the machine's own registry, the scratch roots being gone).
    std::string firstRow;
    WithOptionsSheet(kPageRegClean, view.settings, [&](COptionsSheet& s) {
        if (s.regClean.list.Count() == 0) return false;
        firstRow = s.regClean.list.Text(0);
        s.regClean.list.Select(0);
        ::SendMessageA(::GetDlgItem(PropSheet_GetCurrentPageHwnd(s.Window()), IDC_UNDO), BM_CLICK, 0, 0);
        return true;
    });
    EXPECT_EQ(undoName, firstRow);
    EXPECT_TRUE(PumpUntil([&] { return ReadRegString(HKEY_CURRENT_USER, key, "Path") == "C:\\KelvoMissing4711\\app.exe"; },
                          15000))
        << "the Undo button did not restore " << key;
    if (!undoExisted) ::DeleteFileA(undo.c_str());

    // Duplicate scan: "duplist" is made in the same folder, and the rows are read back from it.
    ScratchTree tree("datafolder-dup");
    tree.Dir("a");
    tree.Dir("b");
    const std::string name = "kelvo-datafolder-" + Pid() + ".mp3";
    const std::string copies[] = {tree.File("a\\" + name, 4321), tree.File("b\\" + name, 4321)};
    for (const std::string& top : FilesIn("E:"))
        if (!SameText("E:\\" + top, tree.path())) WriteSettingInt("Exclude", ("E:\\" + top).c_str(), 1);
    view.settings.driveMask = 1u << ('E' - 'A');
    const std::string duplist = folder + "\\duplist";
    const bool duplistExisted = FileExists(duplist);
    view.SetListMode(kListDuplicates);
    InstallDuplicateFinder(view);
    RunDuplicatesScan(view, frame);
    EXPECT_TRUE(FileExists(duplist));
    std::set<std::string> listed;
    for (int r = 0; r < view.Count(); ++r) listed.insert(ToUpper(view.Text(r, 1)));
    for (const std::string& copy : copies) EXPECT_EQ(1u, listed.count(ToUpper(copy))) << copy << " is not listed";
    view.DeleteAll();
    if (!duplistExisted) ::DeleteFileA(duplist.c_str());

    if (local) {
        EXPECT_EQ(programFiles, FilesIn(ProgramFolder())) << "the program's folder was written";
    }
}

// The installed copy: this program, copied into a Program Files folder that its user cannot
// write, walks the same road and keeps everything in the local data folder.
TEST(DataFolder, InstalledCopyKeepsItsFilesInLocalAppData) {
    if (ExpectLocalData()) GTEST_SKIP() << "this is the installed copy";
    ScratchDir scratch("datafolder-installed");
    ReadOnlyFolder installed(scratch / "Program Files\\Kelvo Utilities");
    char self[MAX_PATH] = {};
    ::GetModuleFileNameA(nullptr, self, MAX_PATH);
    const std::string copy = installed.path() + "\\datafolder_gui_test.exe";
    ASSERT_TRUE(::CopyFileA(self, copy.c_str(), FALSE));
    ASSERT_TRUE(installed.Seal());

    ::SetEnvironmentVariableA("KELVO_EXPECT_LOCAL_DATA", "1");
    std::string command = "\"" + copy + "\" --gtest_brief=1 --gtest_filter=DataFolderRoad.*";
    STARTUPINFOA si {};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = ::GetStdHandle(STD_INPUT_HANDLE);
    si.hStdOutput = ::GetStdHandle(STD_OUTPUT_HANDLE);
    si.hStdError = ::GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION pi {};
    BOOL started = ::CreateProcessA(copy.c_str(), &command[0], nullptr, nullptr, TRUE, 0, nullptr,
                                    installed.path().c_str(), &si, &pi);
    ::SetEnvironmentVariableA("KELVO_EXPECT_LOCAL_DATA", nullptr);
    ASSERT_TRUE(started) << ::GetLastError();
    // The copy draws its windows and runs the registry editor: pump meanwhile.
    EXPECT_TRUE(PumpUntil([&] { return ::WaitForSingleObject(pi.hProcess, 0) == WAIT_OBJECT_0; }, 180000));
    DWORD code = 1;
    ::GetExitCodeProcess(pi.hProcess, &code);
    ::CloseHandle(pi.hThread);
    ::CloseHandle(pi.hProcess);
    EXPECT_EQ(0u, code) << "the installed copy's road failed (its output is above)";
    EXPECT_EQ((std::set<std::string> {"datafolder_gui_test.exe"}), FilesIn(installed.path()));
}
