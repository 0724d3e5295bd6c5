// The machine the tests run on: the drives the file tools rely on, and no way out to the host's own
// file system (scripts/check-sealed also looks for links out of it once every test has run).
#include "kit.h"

#include <gtest/gtest.h>

#include <shellapi.h>

// Wine keeps the Recycle Bin in the freedesktop Trash folder of XDG_DATA_HOME, which the scripts
// put inside the machine: a file recycled here never reaches the host user's own trash.
TEST(SandboxMachine, DrivesAndTheRecycleBinInsideTheMachine) {
    const std::pair<const char*, UINT> drives[] = {{"A:\\", DRIVE_REMOVABLE}, {"C:\\", DRIVE_FIXED},
        {"D:\\", DRIVE_CDROM}, {"E:\\", DRIVE_FIXED}, {"Z:\\", DRIVE_NO_ROOT_DIR}};  // no host root
    for (const auto& [root, type] : drives) EXPECT_EQ(type, ::GetDriveTypeA(root)) << root;
    char prefix[MAX_PATH] = {}, data[MAX_PATH] = {};
    ::GetEnvironmentVariableA("WINEPREFIX", prefix, MAX_PATH);
    ::GetEnvironmentVariableA("XDG_DATA_HOME", data, MAX_PATH);
    ASSERT_EQ(0u, std::string(data).rfind(std::string(prefix) + "/", 0)) << data << " is not in " << prefix;
    std::string trash = "\\\\?\\unix" + std::string(data) + "/Trash/", name = "kelvo-sandbox-" + kit::Pid() + ".txt";
    for (char& c : trash) c = c == '/' ? '\\' : c;
    ScratchDir dir("sandbox-bin");
    const std::string from = dir / name + '\0';
    ASSERT_TRUE(WriteFileText(dir / name, "recycled"));
    const FILEOP_FLAGS quietly = FOF_ALLOWUNDO | FOF_NOCONFIRMATION | FOF_SILENT | FOF_NOERRORUI;
    SHFILEOPSTRUCTA op {nullptr, FO_DELETE, from.c_str(), nullptr, quietly, FALSE, nullptr, nullptr};
    ASSERT_EQ(0, ::SHFileOperationA(&op));
    EXPECT_TRUE(!FileExists(dir / name) && FileExists(trash + "files\\" + name)) << "not recycled into " << trash;
    ::DeleteFileA((trash + "files\\" + name).c_str());
    ::DeleteFileA((trash + "info\\" + name + ".trashinfo").c_str());
}
