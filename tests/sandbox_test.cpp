// The machine the tests run on: the drives every file tool relies on, and no way out to the
// host's own file system.
#include <gtest/gtest.h>

#include <windows.h>

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
