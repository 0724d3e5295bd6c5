// The path check on the sandbox machine's real drives: C: and E: fixed, A: a floppy, D: a
// CD-ROM, F: and Q: absent.
#include "framework/strings.h"
#include "registry/pathcheck.h"
#include "test_support.h"

#include <gtest/gtest.h>

namespace {

const bool kStrict = false, kLenient = true;
const bool kFloppyOn = true, kFloppyOff = false;

// Every case is judged twice: directly, and through the cache a scan keeps, which must never
// change a verdict.
bool Valid(const std::string& text, bool lenient = kStrict, bool floppy = kFloppyOn) {
    bool direct = IsPathEntryValid(text, lenient, floppy);
    PathCheckCache cache;
    EXPECT_EQ(direct, IsPathEntryValid(text, lenient, floppy, &cache)) << text;
    EXPECT_EQ(direct, IsPathEntryValid(text, lenient, floppy, &cache)) << text << " (asked again)";
    return direct;
}

// A file name that is nowhere on the search path.
const std::string kNoSuchName = "kelvo-nosuch-4711.exe";
const std::string kNoSuchDir = "C:\\KelvoMissingDir4711";

}  // namespace

TEST(PathCheck, DriveTypesInStrictMode) {
    // The sandbox's drives are what the cases below rely on.
    ASSERT_EQ(static_cast<UINT>(DRIVE_FIXED), ::GetDriveTypeA("C:\\"));
    ASSERT_EQ(static_cast<UINT>(DRIVE_FIXED), ::GetDriveTypeA("E:\\"));
    ASSERT_EQ(static_cast<UINT>(DRIVE_REMOVABLE), ::GetDriveTypeA("A:\\"));
    ASSERT_EQ(static_cast<UINT>(DRIVE_CDROM), ::GetDriveTypeA("D:\\"));
    ASSERT_EQ(static_cast<UINT>(DRIVE_NO_ROOT_DIR), ::GetDriveTypeA("F:\\"));

    // Fixed disks are judged.
    EXPECT_FALSE(Valid(kNoSuchDir + "\\" + kNoSuchName));
    EXPECT_FALSE(Valid("E:\\KelvoMissing\\" + kNoSuchName));
    // A floppy is judged by the switch alone, without reading the disk.
    EXPECT_FALSE(Valid("A:\\SETUP.EXE", kStrict, kFloppyOn));
    EXPECT_TRUE(Valid("A:\\SETUP.EXE", kStrict, kFloppyOff));
    EXPECT_FALSE(Valid("a:\\notepad.exe", kStrict, kFloppyOn));
    // CD-ROMs and absent letters are never judged in strict mode.
    EXPECT_TRUE(Valid("D:\\SETUP\\" + kNoSuchName));
    EXPECT_TRUE(Valid("F:\\App\\" + kNoSuchName));
    EXPECT_TRUE(Valid("Q:\\" + kNoSuchName));
}

TEST(PathCheck, LenientModeIgnoresTheDriveType) {
    EXPECT_FALSE(Valid("D:\\SETUP\\" + kNoSuchName, kLenient));
    EXPECT_FALSE(Valid("F:\\App\\" + kNoSuchName, kLenient));
    EXPECT_FALSE(Valid("A:\\" + kNoSuchName, kLenient, kFloppyOff));
    EXPECT_FALSE(Valid(kNoSuchDir + "\\" + kNoSuchName, kLenient));
    // ...but a name found on the search path is still valid anywhere.
    EXPECT_TRUE(Valid("F:\\Gone\\NOTEPAD.EXE", kLenient));
    EXPECT_TRUE(Valid("ole32.dll", kLenient));
    // Bare names are judged in lenient mode only.
    EXPECT_TRUE(Valid(kNoSuchName, kStrict));
    EXPECT_FALSE(Valid(kNoSuchName, kLenient));
}

TEST(PathCheck, TextsThatAreNotJudged) {
    for (bool lenient : {kStrict, kLenient}) {
        SCOPED_TRACE(lenient ? "lenient" : "strict");
        EXPECT_TRUE(Valid("", lenient));
        // A colon after the drive's: URLs, resource references, lists of paths.
        EXPECT_TRUE(Valid("http://example.com/" + kNoSuchName, lenient));
        EXPECT_TRUE(Valid("res://" + kNoSuchDir + "\\x.dll/1", lenient));
        EXPECT_TRUE(Valid(kNoSuchDir + "\\a.exe;" + kNoSuchDir + "\\b.exe", lenient));
        // Cut to nothing at an unexpanded variable.
        EXPECT_TRUE(Valid("%ProgramFiles%\\Kelvo\\" + kNoSuchName, lenient));
        EXPECT_TRUE(Valid("%1", lenient));
        // rundll32 and shell32 command lines.
        EXPECT_TRUE(Valid(kNoSuchDir + "\\RUNDLL32.EXE " + kNoSuchDir + "\\x.dll,Entry", lenient));
        EXPECT_TRUE(Valid(kNoSuchDir + "\\shell32.dll,5", lenient));
    }
    // Too short, or not a drive path.
    EXPECT_TRUE(Valid("C:\\"));
    EXPECT_TRUE(Valid("C:x"));
    EXPECT_TRUE(Valid("\\\\server\\share\\" + kNoSuchName));
    EXPECT_TRUE(Valid("KelvoMissing\\" + kNoSuchName));
    // Cut at the first slash to "C:".
    EXPECT_TRUE(Valid("C:/KelvoMissingDir4711/" + kNoSuchName));
}

TEST(PathCheck, CutsAndTrimsCommandLines) {
    EXPECT_TRUE(Valid("C:\\Windows\\notepad.exe %1"));
    EXPECT_TRUE(Valid("\"C:\\Windows\\notepad.exe\" /p \"%1\""));
    EXPECT_TRUE(Valid("\"\"C:\\Windows\\notepad.exe\"\""));
    EXPECT_TRUE(Valid("C:\\Windows\\notepad.exe,1"));
    EXPECT_TRUE(Valid("  C:\\Windows\\\\  "));
    EXPECT_TRUE(Valid("C:\\Windows\\"));
    EXPECT_FALSE(Valid("\"" + kNoSuchDir + "\\Some App\\" + kNoSuchName + "\" -a -b"));
    EXPECT_FALSE(Valid(kNoSuchDir + "\\" + kNoSuchName + " /s"));
    EXPECT_FALSE(Valid(kNoSuchDir + "\\" + kNoSuchName + "?"));
    // The caller's text is left as it was.
    std::string text = "\"c:\\windows\\notepad.exe\" %1";
    Valid(text);
    EXPECT_EQ("\"c:\\windows\\notepad.exe\" %1", text);
}

TEST(PathCheck, FindsTheFileByItsNameOrAnEnding) {
    ScratchDir dir("pathcheck");
    ASSERT_TRUE(WriteFileText(dir / "kvtool.exe", "x"));
    ASSERT_TRUE(WriteFileText(dir / "kvlib.dll", "x"));
    ASSERT_TRUE(WriteFileText(dir / "Project.dsw", "x"));
    ASSERT_TRUE(WriteFileText(dir / "Shortcut.lnk", "x"));

    // A missing folder does not matter when the file name is on the search path.
    EXPECT_TRUE(Valid(kNoSuchDir + "\\NOTEPAD.EXE"));
    // Extension cut: everything after the first ".EXE" goes.
    EXPECT_TRUE(Valid(dir / "kvtool.exe setup"));
    EXPECT_TRUE(Valid(dir / "kvtool.exe.old"));
    EXPECT_TRUE(Valid(dir / "kvlib.dll.bak"));
    EXPECT_FALSE(Valid(dir / "kvtool.ex"));
    // ".EXE" is preferred to ".DLL": this one is cut after "RUN.EXE", which does not exist.
    EXPECT_FALSE(Valid(dir / "kvlib.dll\\run.exe"));
    // A project or a shortcut of that name.
    EXPECT_TRUE(Valid(dir / "Project"));
    EXPECT_TRUE(Valid(dir / "Shortcut"));
    EXPECT_FALSE(Valid(dir / "Nothing"));
    // Folders count.
    EXPECT_TRUE(Valid(dir.path()));
    EXPECT_TRUE(Valid(dir.path() + "\\"));
}

TEST(PathCheck, AppPathsNamesCountInLenientModeOnly) {
    // The App Paths key of a machine of our own, so the test owns every name in it.
    ScratchKey machine("apppaths");
    HKEY key = nullptr;
    ASSERT_EQ(ERROR_SUCCESS,
              ::RegCreateKeyExA(HKEY_CURRENT_USER,
                                (machine.path() + "\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\kvonly.exe")
                                    .c_str(),
                                0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr));
    ::RegCloseKey(key);
    HKEY root = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, ::RegOpenKeyExA(HKEY_CURRENT_USER, machine.path().c_str(), 0, KEY_ALL_ACCESS, &root));
    ASSERT_EQ(ERROR_SUCCESS, ::RegOverridePredefKey(HKEY_LOCAL_MACHINE, root));

    bool bare = Valid("KVONLY.EXE", kLenient);
    bool withArguments = Valid("kvonly.exe /x", kLenient);
    bool fullPath = Valid(kNoSuchDir + "\\kvonly.exe", kLenient);
    bool other = Valid("kvother.exe", kLenient);

    ::RegOverridePredefKey(HKEY_LOCAL_MACHINE, nullptr);
    ::RegCloseKey(root);

    EXPECT_TRUE(bare);
    EXPECT_TRUE(withArguments);
    // The whole text must equal a listed name.
    EXPECT_FALSE(fullPath);
    EXPECT_FALSE(other);
}

TEST(PathCheck, PathsTheSystemRewritesAreAskedAsWritten) {
    // A cache that took these word for word would take a missing folder for the one the system
    // really opens. The file is on no search path, so only the path itself can make it valid.
    ScratchDir dir("pathcheck-rewrite");
    ASSERT_TRUE(WriteFileText(dir / "kvtool.exe", "x"));
    std::string top = dir.path().substr(0, dir.path().find('\\', 3));  // C:\KelvoTests
    std::string rest = dir.path().substr(top.size()) + "\\kvtool.exe";
    EXPECT_TRUE(Valid(kNoSuchDir + "\\..\\" + top.substr(3) + rest));
    EXPECT_TRUE(Valid(top + "." + rest));
    Valid(top + " " + rest);
    EXPECT_TRUE(Valid(top + "\\" + rest));
    EXPECT_TRUE(Valid("C:\\.\\" + top.substr(3) + rest));
    Valid(kNoSuchDir + "\\NUL");
    Valid(kNoSuchDir + "\\con.txt");
    Valid(dir / "kvtool.exe.");
    EXPECT_FALSE(Valid(kNoSuchDir + "\\gone\\" + kNoSuchName));
    // Names on the search path in any case, and names in Greek.
    EXPECT_TRUE(Valid(kNoSuchDir + "\\NoTePaD.ExE"));
    ASSERT_TRUE(WriteFileText(dir / "\xCE\xA9mega.exe", "x"));
    EXPECT_TRUE(Valid(dir / "\xCE\xA9mega.exe"));
    EXPECT_FALSE(Valid(dir / "\xCE\xA9mega2.exe"));
    EXPECT_FALSE(Valid(kNoSuchDir + "\\\xCE\xA9mega.exe", kLenient));
}

TEST(PathCheck, ThirtyTwoBitProgramsSeeTheirOwnSystemFolder) {
    char system[MAX_PATH], wow64[MAX_PATH], windows[MAX_PATH];
    ::GetSystemDirectoryA(system, MAX_PATH);
    ASSERT_NE(0u, ::GetSystemWow64DirectoryA(wow64, MAX_PATH));
    ::GetWindowsDirectoryA(windows, MAX_PATH);
    std::string sys = ToUpper(system), wow = ToUpper(wow64), win = ToUpper(windows);
    const struct { std::string path, seen; } cases[] = {
        {sys + "\\X.DLL", wow + "\\X.DLL"},
        {sys, wow},
        {sys + "\\DRIVERS\\X.SYS", wow + "\\DRIVERS\\X.SYS"},
        // Shared by both views.
        {sys + "\\DRIVERS\\ETC\\HOSTS", sys + "\\DRIVERS\\ETC\\HOSTS"},
        {sys + "\\SPOOL\\X", sys + "\\SPOOL\\X"},
        {sys + "\\CATROOT2", sys + "\\CATROOT2"},
        {sys + "X\\Y.DLL", sys + "X\\Y.DLL"},
        {win + "\\SYSNATIVE\\X.DLL", sys + "\\X.DLL"},
        {win + "\\NOTEPAD.EXE", win + "\\NOTEPAD.EXE"},
    };
    for (const auto& c : cases) EXPECT_EQ(c.seen, PathFor32BitView(c.path)) << c.path;
}

TEST(PathOrFileNameExists, FilesFoldersAndSearchPath) {
    EXPECT_TRUE(PathOrFileNameExists("C:\\windows"));
    EXPECT_TRUE(PathOrFileNameExists("C:\\windows\\\\ \\"));
    EXPECT_TRUE(PathOrFileNameExists("C:\\windows\\notepad.exe"));
    EXPECT_TRUE(PathOrFileNameExists(kNoSuchDir + "\\notepad.exe"));
    EXPECT_TRUE(PathOrFileNameExists("notepad.exe"));
    EXPECT_FALSE(PathOrFileNameExists(kNoSuchDir + "\\" + kNoSuchName));
    EXPECT_FALSE(PathOrFileNameExists(kNoSuchDir));
    EXPECT_FALSE(PathOrFileNameExists(""));
    EXPECT_FALSE(PathOrFileNameExists("\\"));
}
