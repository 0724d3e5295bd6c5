// Where the program keeps its undo files and "duplist": beside itself when its folder can be
// written (the portable copy), in the user's local application data folder when it cannot (the
// copy installed under C:\Program Files, run by a standard user). The road a user takes is
// walked in both: Remove All, Undo from the Options page, a duplicate scan.
#include "core/datafolder.h"
#include "duplicates/dupcommands.h"
#include "kit.h"
#include "options/optionssheet.h"
#include "registry/regcommands.h"
#include "registry/regremove.h"
#include "registry/regscan.h"
#include "registry/undofile.h"
#include "resource.h"

#include <gtest/gtest.h>

#include <sddl.h>
#include <shlobj.h>

#include <set>

namespace {

// Set by the test that starts a copy of this program in a folder it cannot write (and by
// scripts/package --check for the installed copy): the files must go to the local data folder.
bool ExpectLocalData() { return ::GetEnvironmentVariableA("KELVO_EXPECT_LOCAL_DATA", nullptr, 0) > 0; }

// Only reading and running for everyone, as C:\Program Files is to a standard user; or anything.
bool Seal(const std::string& folder, bool sealed) {
    PSECURITY_DESCRIPTOR sd = nullptr;
    const char* sddl = sealed ? "D:P(A;OICI;GRGX;;;WD)" : "D:P(A;OICI;FA;;;WD)";
    bool ok = ::ConvertStringSecurityDescriptorToSecurityDescriptorA(sddl, SDDL_REVISION_1, &sd, nullptr) &&
              ::SetFileSecurityA(folder.c_str(), DACL_SECURITY_INFORMATION, sd);
    ::LocalFree(sd);
    return ok;
}

// A Program Files folder in a scratch folder, sealed for the scope once Seal()ed.
struct ProgramFiles : ScratchDir {
    ProgramFiles() : ScratchDir("datafolder") { ::SHCreateDirectoryExA(nullptr, folder.c_str(), nullptr); }
    ~ProgramFiles() { Seal(folder, false); }
    const std::string folder = *this / "Program Files\\Kelvo Utilities";
};

std::set<std::string> FilesIn(const std::string& folder) {
    std::set<std::string> names;
    WIN32_FIND_DATAA fd;
    HANDLE h = ::FindFirstFileA((folder + "\\*").c_str(), &fd);
    for (bool more = h != INVALID_HANDLE_VALUE; more; more = ::FindNextFileA(h, &fd))
        if (fd.cFileName[0] != '.') names.insert(fd.cFileName);
    ::FindClose(h);
    return names;
}

}  // namespace

TEST(DataFolderRoad, RemoveAllUndoFromTheOptionsPageAndADuplicateScanUseTheDataFolder) {
    const bool local = ExpectLocalData();
    ASSERT_EQ(!local, CanWriteFolder(ProgramFolder())) << ProgramFolder();
    const std::string folder = local ? LocalDataFolder() : ProgramFolder();
    for (const std::string& used : {DataFolder(), UndoFolder(), DuplicateListFolder()}) EXPECT_EQ(folder, used);
    const std::set<std::string> programFiles = FilesIn(ProgramFolder());
    kit::ScratchSettings store;
    ScriptedPrompter prompts;
    kit::RecordingStatus status;
    kit::ListHost hosted {kListRegistry, {{"Location", 120}, {"SubKey", 120}, {"ValueName", 120}, {"Data", 120}, {"Invalid Entry", 120}}};
    CWrenlyView& view = hosted.view;
    // Remove All: the finding goes into the undo file of this minute, the newest on the Options
    // page, whose Undo puts it back.
    ScratchKey app("datafolder-app");
    kit::SetRegString(HKEY_CURRENT_USER, app.path(), "Path", "C:\\KelvoMissing4711\\app.exe");
    SYSTEMTIME now;
    ::GetLocalTime(&now);
    if (now.wSecond >= 50) ::Sleep((61 - now.wSecond) * 1000);
    const std::string undo = folder + "\\" + MakeUndoFileName();
    const bool undoExisted = FileExists(undo);
    view.SetListMode(kListRegistry);
    view.AddRow({"HKEY_CURRENT_USER", app.path(), "Path"}, 0, kRegRootCurrentUser | kRegDeleteValue);
    prompts.answers = {IDYES};
    RunRegistryRemoveAll(view, status);
    EXPECT_FALSE(ValueExists(HKEY_CURRENT_USER, app.path(), "Path"));
    ASSERT_TRUE(FileExists(undo)) << undo;
    EXPECT_EQ("Undo information has been saved in " + (local ? folder : "the program's folder") +
                  "\ndouble-click on it to undo the changes made now", prompts.asked.at(1).text);
    static COptionsSheet* sheet = nullptr;
    COptionsSheet::onCreated = [](COptionsSheet& s) { sheet = &s; };
    bool notify = false, sound = false;
    EXPECT_TRUE(kit::RunModal([&] { OpenOptionsSheet(kPageRegClean, view.settings, notify, sound); }, {[&] {
        if (!sheet || !sheet->Window() || !sheet->regClean.list.Count()) return false;
        EXPECT_EQ(undo, folder + "\\" + sheet->regClean.list.Text(0));
        sheet->regClean.list.Select(0);
        ::SendMessageA(::GetDlgItem(PropSheet_GetCurrentPageHwnd(sheet->Window()), IDC_UNDO), BM_CLICK, 0, 0);
        return ::PostMessageA(sheet->Window(), PSM_PRESSBUTTON, PSBTN_CANCEL, 0) != FALSE;
    }}));
    COptionsSheet::onCreated = nullptr;
    EXPECT_TRUE(PumpUntil([&] { return ValueExists(HKEY_CURRENT_USER, app.path(), "Path"); }, 15000));
    if (!undoExisted) ::DeleteFileA(undo.c_str());
    // A duplicate scan (of no drive) makes its "duplist" there.
    const bool duplistExisted = FileExists(folder + "\\duplist");
    view.settings.driveMask = 0;
    view.SetListMode(kListDuplicates);
    InstallDuplicateFinder(view);
    RunDuplicatesScan(view, status);
    EXPECT_TRUE(FileExists(folder + "\\duplist"));
    if (!duplistExisted) ::DeleteFileA((folder + "\\duplist").c_str());
    EXPECT_TRUE(!local || programFiles == FilesIn(ProgramFolder())) << "the program's folder was written";
}

// The program's folder when it can be written, else the local data folder, made at need. The
// installed copy: this program, copied into a Program Files folder that its user cannot write,
// walks the road above and keeps everything in the local data folder.
TEST(DataFolder, ProgramFolderWhenItCanBeWrittenElseLocalAppDataAsTheInstalledCopyShows) {
    if (ExpectLocalData()) GTEST_SKIP() << "this is the installed copy";
    char shellLocal[MAX_PATH] = {};
    ::SHGetFolderPathA(nullptr, CSIDL_LOCAL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, shellLocal);
    const std::string local = std::string(shellLocal) + "\\Kelvo Utilities";
    EXPECT_EQ(local, LocalDataFolder());
    EXPECT_EQ((std::vector<std::string> {ProgramFolder(), local}), DataFolders()) << "each place once";
    ProgramFiles installed;
    EXPECT_EQ(installed.folder, DataFolderFor(installed.folder));
    EXPECT_TRUE(FilesIn(installed.folder).empty()) << "the probe left a file behind";
    char self[MAX_PATH] = {};
    ::GetModuleFileNameA(nullptr, self, MAX_PATH);
    std::string copy = installed.folder + "\\datafolder_gui_test.exe";
    std::string command = "\"" + copy + "\" --gtest_filter=DataFolderRoad.*";
    ASSERT_TRUE(::CopyFileA(self, copy.c_str(), FALSE) && Seal(installed.folder, true));
    ASSERT_FALSE(WriteFileText(installed.folder + "\\x.txt", "x")) << "the user can write a read-only folder: run "
                                                                    "the tests through scripts/test";
    EXPECT_EQ(local, DataFolderFor(installed.folder));
    EXPECT_NE(INVALID_FILE_ATTRIBUTES, ::GetFileAttributesA(local.c_str())) << "the local data folder was not made";
    ::SetEnvironmentVariableA("KELVO_EXPECT_LOCAL_DATA", "1");
    STARTUPINFOA si {sizeof si};
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdOutput = ::GetStdHandle(STD_OUTPUT_HANDLE);
    si.hStdError = ::GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION pi {};
    ASSERT_TRUE(::CreateProcessA(copy.c_str(), &command[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi));
    ::SetEnvironmentVariableA("KELVO_EXPECT_LOCAL_DATA", nullptr);
    // The copy shows its windows meanwhile: pump.
    EXPECT_TRUE(PumpUntil([&] { return ::WaitForSingleObject(pi.hProcess, 0) == WAIT_OBJECT_0; }, 180000));
    DWORD code = 1;
    ::GetExitCodeProcess(pi.hProcess, &code);
    ::CloseHandle(pi.hThread);
    ::CloseHandle(pi.hProcess);
    EXPECT_EQ(0u, code) << "the installed copy's road failed (its output is above)";
    EXPECT_EQ((std::set<std::string> {"datafolder_gui_test.exe"}), FilesIn(installed.folder));
}
