// The machine the tests run on: the drives every file tool relies on, and no way out to the
// host's own file system.
#include "files_testkit.h"

#include <gtest/gtest.h>

#include <windows.h>
#include <shellapi.h>

TEST(SandboxMachine, KnownDrivesAndNoHostRoot) {
    DWORD mask = ::GetLogicalDrives();
    EXPECT_TRUE(mask & (1 << ('C' - 'A')));
    EXPECT_TRUE(mask & (1 << ('E' - 'A')));
    EXPECT_FALSE(mask & (1 << ('Z' - 'A'))) << "the host root must not be reachable";
    EXPECT_EQ(static_cast<UINT>(DRIVE_FIXED), ::GetDriveTypeA("C:\\"));
    EXPECT_EQ(static_cast<UINT>(DRIVE_FIXED), ::GetDriveTypeA("E:\\"));
    EXPECT_EQ(static_cast<UINT>(DRIVE_REMOVABLE), ::GetDriveTypeA("A:\\"));
    EXPECT_EQ(static_cast<UINT>(DRIVE_CDROM), ::GetDriveTypeA("D:\\"));
    EXPECT_EQ(static_cast<UINT>(DRIVE_NO_ROOT_DIR), ::GetDriveTypeA("Z:\\"));
}

TEST(SandboxMachine, ProgramFolderOnDriveC) {
    char path[MAX_PATH];
    ::GetModuleFileNameA(nullptr, path, MAX_PATH);
    EXPECT_EQ(0, _strnicmp(path, "C:\\Kelvo Utilities\\", 19)) << path;
}

// Wine keeps the Recycle Bin in a freedesktop Trash folder on the host; the scripts put that
// folder inside the machine, so a file recycled here never reaches the host user's own trash.
TEST(SandboxMachine, RecycleBinInsideTheMachine) {
    char prefix[MAX_PATH] = {};
    DWORD n = ::GetEnvironmentVariableA("WINEPREFIX", prefix, MAX_PATH);
    ASSERT_TRUE(n > 0 && n < MAX_PATH) << "not on a sandbox machine of the scripts";
    std::string inside = "\\\\?\\unix" + std::string(prefix) + "\\";
    for (char& c : inside)
        if (c == '/') c = '\\';
    std::string trash = filestest::WineTrashFolder();
    EXPECT_EQ(0, _strnicmp(trash.c_str(), inside.c_str(), inside.size())) << trash << " is not in " << inside;

    ScratchDir dir("sandbox-bin");
    std::string name = "kelvo-sandbox-" + filestest::Pid() + ".txt";
    ASSERT_TRUE(WriteFileText(dir / name, "recycled"));
    std::string from = dir / name + '\0';
    SHFILEOPSTRUCTA op {};
    op.wFunc = FO_DELETE;
    op.pFrom = from.c_str();
    op.fFlags = FOF_ALLOWUNDO | FOF_NOCONFIRMATION | FOF_SILENT | FOF_NOERRORUI;
    ASSERT_EQ(0, ::SHFileOperationA(&op));
    EXPECT_FALSE(FileExists(dir / name));
    EXPECT_TRUE(FileExists(trash + "\\files\\" + name)) << "not recycled into " << trash;
    filestest::PurgeFromTrash(name);
}
