// The registry tools against the sandbox machine's real registry, drives and registry editor: the
// registry and name helpers, the path check, the scan over a machine of the test's own, and removal
// through the undo file.
#include "core/codepage.h"
#include "core/reghelpers.h"
#include "framework/strings.h"
#include "kit.h"
#include "registry/pathcheck.h"
#include "registry/regremove.h"
#include "registry/regscan.h"
#include "registry/undofile.h"
#include "resource.h"

#include <gtest/gtest.h>

#include <sddl.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <map>
#include <sstream>
#include <tuple>

using kit::SetRegRaw;
using kit::SetRegString;

namespace {

const HKEY CU = HKEY_CURRENT_USER, LM = HKEY_LOCAL_MACHINE;
const char kReadOnly[] = "D:P(A;;KR;;;WD)", kFullAccess[] = "D:P(A;;KA;;;WD)";
#define GONE "C:\\KvGone\\"
#define RUN "Software\\Microsoft\\Windows\\CurrentVersion\\Run"

std::string Folder(UINT(WINAPI* get)(LPSTR, UINT)) {
    char path[MAX_PATH] = {};
    get(path, MAX_PATH);
    return path;
}
const std::string kWindows = Folder(::GetWindowsDirectoryA), kSystem = Folder(::GetSystemDirectoryA),
                  kWow64 = Folder(::GetSystemWow64DirectoryA);
std::string Bytes(std::initializer_list<int> bytes) { return std::string(bytes.begin(), bytes.end()); }
// The raw bytes of a wide text, its terminating zero included.
std::string Wire(const std::wstring& text) {
    return std::string(reinterpret_cast<const char*>(text.c_str()), (text.size() + 1) * sizeof(wchar_t));
}
std::string U8(const std::wstring& text) {
    std::string out;
    NarrowName(text, out, CP_UTF8);
    return out;
}
void MakeKey(HKEY root, const std::string& key) {
    HKEY k = nullptr;
    ::RegCreateKeyExW(root, WideName(key).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k, nullptr);
    ::RegCloseKey(k);
}
// A registry link at root\link to `target`, a key below the real HKEY_CURRENT_USER.
void MakeLink(HKEY root, const std::string& link, const std::string& target) {
    HANDLE token = nullptr;
    BYTE user[256];
    DWORD size = 0;
    LPWSTR sid = nullptr;
    ::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token);
    ::GetTokenInformation(token, TokenUser, user, sizeof user, &size);
    ::CloseHandle(token);
    ::ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(user)->User.Sid, &sid);
    const std::wstring nt = L"\\Registry\\User\\" + std::wstring(sid) + L"\\" + WideName(target);
    ::LocalFree(sid);
    HKEY k = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, ::RegCreateKeyExW(root, WideName(link).c_str(), 0, nullptr, REG_OPTION_CREATE_LINK,
                                               KEY_ALL_ACCESS | KEY_CREATE_LINK, nullptr, &k, nullptr));
    ::RegSetValueExW(k, L"SymbolicLinkValue", 0, REG_LINK, reinterpret_cast<const BYTE*>(nt.data()),
                     static_cast<DWORD>(nt.size() * sizeof(wchar_t)));
    ::RegCloseKey(k);
}

}  // namespace

TEST(RegistryHelpers, ReadsTextOrNothingAndDeletesOnlyWhatTheyName) {
    ScratchKey key("read");
    // Both string types expanded, other types nothing; 257 characters fit, 260 do not fit the
    // expansion and 299 not the read, and a short text may grow too long.
    const struct { const char* name; DWORD type; std::string bytes, text; } cases[] = {
        {"", REG_SZ, Wire(L"%windir%\\x.exe"), kWindows + "\\x.exe"}, {"expand", REG_EXPAND_SZ, Wire(L"%windir%"), kWindows},
        {"multi", REG_MULTI_SZ, Wire(L"a"), ""}, {"b258", REG_SZ, Wire(std::wstring(257, 'a')), std::string(257, 'a')},
        {"b261", REG_SZ, Wire(std::wstring(260, 'a')), ""}, {"grows", REG_SZ, Wire(std::wstring(250, 'a') + L"%windir%"), ""}};
    for (const auto& c : cases) SetRegRaw(CU, key.path(), c.name, c.type, c.bytes);
    for (const auto& c : cases) EXPECT_TRUE(SameText(c.text, ReadRegString(CU, key.path(), c.name))) << c.name;
    // Deletes: only what they name.
    const std::string top = key.path() + "\\top", deep = top + "\\a\\b";
    WriteRegString(CU, deep, "name", "with \"quotes\"");
    SetRegString(CU, key.path() + "\\Elsewhere", "keep", "x");
    MakeLink(CU, top + "\\c\\Link", key.path() + "\\Elsewhere");
    ASSERT_TRUE(ReadRegString(CU, deep, "name") == "with \"quotes\"" && ValueExists(CU, top + "\\c\\Link", "keep"));
    // A link goes as itself, not what it points to.
    EXPECT_EQ(ERROR_SUCCESS, DeleteRegKeyTree(CU, top));
    EXPECT_TRUE(!RegKeyExists(CU, top) && ValueExists(CU, key.path() + "\\Elsewhere", "keep"));
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, DeleteRegKeyTree(CU, top));
    // A root is never deleted this way: asked of an empty stand-in, so that a wrong answer costs
    // the test machine nothing.
    kit::ScratchRoots standIn;
    EXPECT_EQ(ERROR_BADKEY, DeleteRegKeyTree(CU, ""));
}

TEST(CodePage, NamesThatDoNotSurviveTheCodePageAreRefused) {
    // The test programs carry the program's manifest, so they run with UTF-8 as well. Best-fit
    // would give "Omega.txt" for the Greek name under 1252: another file's name.
    EXPECT_TRUE(ProcessCodePageIsUtf8());
    const struct { const wchar_t* name; UINT codePage; const char* narrow; } cases[] = {
        {L"\x03A9mega.txt", CP_ACP, "\xCE\xA9mega.txt"}, {L"\xD83D\xDE00.txt", CP_UTF8, "\xF0\x9F\x98\x80.txt"},
        {L"caf\x00E9", 1252, "caf\xE9"}, {L"\x03A9mega.txt", 1252, nullptr}, {L"\x6587\x4EF6.txt", 1252, nullptr}};
    for (const auto& c : cases) {
        std::string out;
        EXPECT_EQ(c.narrow != nullptr, NarrowName(c.name, out, c.codePage)) << c.codePage << " " << out;
        EXPECT_TRUE(!c.narrow || (c.narrow == out && WideName(out, c.codePage) == c.name)) << out;
    }
}

// The sandbox's drives: C: and E: fixed, A: a floppy, D: a CD-ROM, F: absent. Modes: S strict, L
// lenient, in lower case without the removable-media switch. Every text is judged directly and
// twice through the cache a scan keeps, which must never change a verdict.
TEST(PathCheck, Verdicts) {
    ASSERT_TRUE(::GetDriveTypeA("A:\\") == DRIVE_REMOVABLE && ::GetDriveTypeA("D:\\") == DRIVE_CDROM);
    ScratchDir dir("pathcheck");
    for (const char* file : {"kvtool.exe", "kvlib.dll", "Project.dsw", "Shortcut.lnk", "\xCE\xA9mega.exe"})
        ASSERT_TRUE(WriteFileText(dir / file, "x"));
    const std::string d = dir.path() + "\\", below = d.substr(3) + "kvtool.exe";
    const struct { std::string text; char mode; bool valid; } cases[] = {
        // Fixed disks are judged; a floppy by the switch alone, never read; CD-ROMs and absent letters not.
        {GONE "kvno.exe", 'S', false}, {"E:\\KvGone\\kvno.exe", 'S', false}, {"A:\\SETUP.EXE", 'S', false},
        {"A:\\SETUP.EXE", 's', true}, {"D:\\SETUP\\kvno.exe", 'S', true}, {"F:\\App\\kvno.exe", 'S', true},
        // Lenient: any drive and bare names are judged; a name on the search path is valid anywhere.
        {"D:\\SETUP\\kvno.exe", 'L', false}, {"A:\\kvno.exe", 'l', false}, {"F:\\Gone\\NOTEPAD.EXE", 'L', true},
        {"ole32.dll", 'L', true}, {"kvno.exe", 'S', true}, {"kvno.exe", 'L', false},
        // Not judged: a later colon (URL, resource, list), cut to nothing at a variable, rundll32
        // and shell32 lines, too short or not a drive path, cut at the first slash to "C:".
        {"http://example.com/kvno.exe", 'L', true}, {"res://" GONE "x.dll/1", 'L', true}, {"%1", 'L', true},
        {GONE "a.exe;" GONE "b.exe", 'L', true}, {"%ProgramFiles%\\Kelvo\\kvno.exe", 'L', true},
        {GONE "RUNDLL32.EXE " GONE "x.dll,Entry", 'L', true}, {GONE "shell32.dll,5", 'L', true}, {"", 'S', true},
        {"C:\\", 'S', true}, {"\\\\server\\share\\kvno.exe", 'S', true}, {"C:/KvGone/kvno.exe", 'S', true},
        // Command lines cut at their arguments, quotes and blanks trimmed.
        {"C:\\Windows\\notepad.exe %1", 'S', true}, {"\"C:\\Windows\\notepad.exe\" /p \"%1\"", 'S', true},
        {"  C:\\Windows\\\\  ", 'S', true}, {"\"" GONE "Some App\\kvno.exe\" -a -b", 'S', false},
        {GONE "kvno.exe /s", 'S', false}, {GONE "kvno.exe?", 'S', false}, {GONE "NoTePaD.ExE", 'S', true},
        // The file itself, or cut after ".EXE" (before ".DLL"), or a project or shortcut of that
        // name; folders count. Paths the system rewrites are asked as written, not from the cache.
        {d + "kvtool.exe setup", 'S', true}, {d + "kvtool.exe.old", 'S', true}, {d + "kvlib.dll.bak", 'S', true},
        {d + "kvtool.ex", 'S', false}, {d + "kvlib.dll\\run.exe", 'S', false}, {d + "Project", 'S', true},
        {d + "Shortcut", 'S', true}, {d + "Nothing", 'S', false}, {d, 'S', true}, {d + "\xCE\xA9mega.exe", 'S', true},
        {d + "\xCE\xA9mega2.exe", 'S', false}, {GONE "..\\" + below, 'S', true},
        {"C:\\KelvoTests.\\" + below.substr(11), 'S', true},
        // App Paths names count in lenient mode only, and whole.
        {"KVONLY.EXE", 'L', true}, {"kvonly.exe /x", 'L', true}, {GONE "kvonly.exe", 'L', false}, {"kvonly.exe", 'S', true}};
    // The App Paths key of a machine of our own, so the test owns every name in it.
    kit::ScratchRoots machine;
    MakeKey(LM, "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\App Paths\\kvonly.exe");
    for (const auto& c : cases) {
        const bool lenient = std::toupper(c.mode) == 'L', floppy = std::isupper(c.mode);
        PathCheckCache cache;
        EXPECT_EQ(c.valid, IsPathEntryValid(c.text, lenient, floppy)) << c.mode << " " << c.text;
        for (int again : {0, 1}) EXPECT_EQ(c.valid, IsPathEntryValid(c.text, lenient, floppy, &cache)) << c.text << again;
    }
    for (const char* path : {"C:\\windows\\\\ \\", GONE "notepad.exe", "notepad.exe"}) EXPECT_TRUE(PathOrFileNameExists(path));
    for (const char* path : {GONE "kvno.exe", GONE, "", "\\"}) EXPECT_FALSE(PathOrFileNameExists(path)) << path;
}

namespace {

#define SHARED "Software\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs|"
#define UNI "Software\\Zunicode"
#define GOODCLSID "{0C0FFEE0-0000-0000-0000-000000000002}"
#define DEADCLSID "{0DEAD000-0000-0000-0000-000000000003}"
#define BADCLSID "{0BADC1D0-0000-0000-0000-000000000001}"
#define GOODTL "{7E570000-0000-0000-0000-0000000000A1}"
#define DEADTL "{7E570000-0000-0000-0000-0000000000B2}"
#define BADTL "{7E570000-0000-0000-0000-0000000000FF}"
#define WOW "Software\\Wow6432Node\\KelvoVendor\\App|"
#define VERBS "kvhandlers\\shell\\"
#define CLASSES "0 14|Software\\Classes\\"

// The scan's machine, one entry a text "RTL key|name|data": the root R (U current user, S users, C
// classes, M machine), the type T (s REG_SZ, e REG_EXPAND_SZ, m REG_MULTI_SZ, d REG_DWORD, k a key
// alone, r a key this user may only read), and the row L the scan lists for it (v the value, d a
// shared DLL's count, - none). Values in name order, subkeys before their parents' values: the
// order the scan meets them, whether the registry keeps values sorted or as created.
std::vector<std::string> MachineSeeds(const std::string& live, const std::string& typeLib) {
    return {
        "Usv" RUN "|a-dead|" GONE "dead.exe /s", "Usv" RUN "|b-quoted|\"" GONE "Gone App\\x.exe\" -a",
        "Us-" RUN "|c-alive|C:\\windows\\notepad.exe", "Us-" RUN "|CachePath|" GONE "cache", "Usv" RUN "|d-floppy|A:\\SETUP.EXE",
        "Uev" RUN "|f-expand|%SystemRoot%\\kv-nothere.exe", "Us-" RUN "|g-envsz|%SystemRoot%\\kv-nothere.exe",
        "Um-" RUN "|h-multi|" GONE "m.exe", "Usv" RUN "|k-quotes|\"\"" GONE "q.exe\"\"",
        "Usv" RUN "|l-" + std::string(300, 'n') + "|" GONE "l.exe", "Ue-" RUN "|n-longexpand|" GONE + std::string(300, 'e'),
        // The current user's class tree is left to the association checks; a key this user may
        // only read is judged; keys below HKEY_USERS are walked like any other.
        "Us-Software\\Classes\\kvcls|x|" GONE "cls.exe", "Usv" "Software\\Zeta\\Sub|dead|" GONE "zeta.exe",
        "Usv" "Software\\Zeta|dead2|" GONE "zeta2.exe", "Usv" "Software\\Zlocked|dead|" GONE "locked.exe", "Ur-Software\\Zlocked",
        "Usv" UNI "\\\xE6\x96\x87\xE4\xBB\xB6|v|" GONE "cjk.exe", "Usv" UNI "|Odead|" GONE "o.exe",
        "Usv" UNI "|\xCE\xA9" "dead|" GONE "o.exe",
        "Us-" UNI "|\xE6\x96\x87|" + live + "\\\xCE\xA9mega\\x.exe", "Usv" UNI "|\xF0\x9F\x98\x80|" GONE "\xCE\xA9mega\\x.exe",
        "Ssv" "S-1-5-21-kelvo\\Software\\Classes\\kvcls|x|" GONE "hku.exe",
        "Cs-.kvalive||kvalivefile", "Cs-kvalivefile\\shell\\open\\command||C:\\windows\\notepad.exe %1",
        "Cs-kvalivefile\\DefaultIcon||%1", "Cs-.kvdead||kvdeadfile", "Ck-kvemptyicon\\DefaultIcon", "Ck-kvemptyshell\\shell",
        "Cs-kvdeadfile\\shell\\open\\command||\"" GONE "v.exe\" \"%1\"", "Cs-kvclsidref\\CLSID||" BADCLSID,
        "Cs-kvclsidok\\CLSID||" GOODCLSID,
        "Cs-kvdeadicon\\DefaultIcon||\"" GONE "icons.dll\",3", "Ck-kvmixed\\shell\\edit\\command",
        "Cs-kvmixed\\shell\\open\\command||C:\\windows\\notepad.exe %1", "Cs-kvallbad\\shell\\open\\command||" GONE "all.exe",
        "Cs-kvmixed\\shell\\print\\command||" GONE "print.exe %1",
        // Registered for the machine and only readable by this user: present all the same.
        "Cr-Kelvo.Alive.1", "Cr-kvmixed\\shell\\open\\command",
        // Verbs that work without a command line; only the one with neither is bad.
        "Ck-" VERBS "dde\\ddeexec", "Ck-" VERBS "drop\\DropTarget", "Ck-" VERBS "drop\\command",
        "Cs-" VERBS "explorer|ExplorerCommandHandler|" GOODCLSID, "Cs-" VERBS "explorer\\command||" GONE "e.exe",
        "Cs-" VERBS "delegate\\command|DelegateExecute|" GOODCLSID, "Cs-" VERBS "none\\command||" GONE "none.exe",
        "Cs-CLSID\\" GOODCLSID "\\InprocServer32||ole32.dll", "Cs-CLSID\\" GOODCLSID "\\ProgID||Kelvo.Alive.1",
        "Cs-CLSID\\" GOODCLSID "\\TypeLib||" GOODTL, "Cs-CLSID\\" DEADCLSID "\\InprocServer32||" GONE "server.dll",
        "Cs-CLSID\\" DEADCLSID "\\TypeLib||" BADTL, "Cs-CLSID\\" DEADCLSID "\\ProgID||Kelvo.Gone.1",
        "Cs-CLSID\\" DEADCLSID "\\VersionIndependentProgID||Kelvo.Gone",
        "Ce-CLSID\\{0E000000-0000-0000-0000-000000000004}\\InprocServer32||%SystemRoot%\\system32\\kv-gone.dll",
        // A real type library file registered under identifiers of our own (its version must match).
        "Cs-TypeLib\\" GOODTL "\\2.0\\0\\win32||" + typeLib, "Ck-TypeLib\\" GOODTL "\\2.0\\HELPDIR",
        "Cs-TypeLib\\" DEADTL "\\1.0\\0\\win32||" GONE "dead.tlb", "Ck-TypeLib\\" DEADTL "\\1.0\\HELPDIR",
        "Cs-TypeLib\\" DEADTL "\\2.0\\0\\win32||" GONE "dead2.tlb",
        "Cs-Interface\\{1F000000-0000-0000-0000-000000000001}\\TypeLib||" BADTL,
        "Msv" "Software\\KelvoVendor\\App|InstallDir|" GONE "App\\",
        // 32-bit registrations, judged as 32-bit programs see the disk: the system folder is
        // SysWOW64 for them and %ProgramFiles% the folder of 32-bit programs. Their class tree
        // is the class scans' business, as the 64-bit one.
        "Msv" WOW "a-dead|" GONE "x86.exe", "Msv" WOW "b-sys64only|" + kSystem + "\\kvscan64.dll",
        "Ms-" WOW "c-sys32only|" + kSystem + "\\kvscan32.dll", "Me-" WOW "d-programfiles|%ProgramFiles%\\KvScan32\\app.exe",
        "Ms-Software\\Wow6432Node\\Classes\\kvwowcls|x|" GONE "cls32.exe", "Mdd" SHARED "A:\\FLOPPY.DLL|1",
        "Mdd" SHARED GONE "shared.dll|3", "Ms-" SHARED GONE "sz.dll|1", "Md-" SHARED + kSystem + "\\ole32.dll|1",
        "Md-" SHARED "kvrelative.dll|1"};
}

// A row as "image flags|SubKey|ValueName|Data|Invalid Entry"; its Location column goes with its image.
std::vector<std::string> Lines(const kit::Rows& list) {
    const char* roots[] = {"HKEY_LOCAL_MACHINE", "HKEY_CURRENT_USER", "HKEY_USERS", "HKEY_CLASSES_ROOT"};
    std::vector<std::string> out;
    for (const auto& r : list.rows)
        out.push_back(Format("%d %02lx|", r.image, r.data) + r.texts[1] + "|" + r.texts[2] + "|" + r.texts[3] + "|" +
                      r.texts[4] + (r.texts[0] == roots[r.image & 3] ? "" : " in " + r.texts[0]));
    return out;
}

class RegistryScan : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(::CreateDirectoryA((files / "\xCE\xA9mega").c_str(), nullptr));
        ::CreateDirectoryA("C:\\Program Files (x86)\\KvScan32", nullptr);
        for (const std::string& file : {files / "\xCE\xA9mega\\x.exe", kSystem + "\\kvscan64.dll", kWow64 + "\\kvscan32.dll",
                                        std::string("C:\\Program Files (x86)\\KvScan32\\app.exe")})
            ASSERT_TRUE(WriteFileText(file, "x")) << file;
        for (const std::string& seed : MachineSeeds(files.path(), kSystem + "\\stdole2.tlb")) {
            std::string part[3];
            std::istringstream fields(seed.substr(3));
            for (std::string& field : part) std::getline(fields, field, '|');
            const HKEY root = seed[0] == 'U' ? CU : seed[0] == 'S' ? HKEY_USERS : seed[0] == 'C' ? HKEY_CLASSES_ROOT : LM;
            const char type = seed[1], row = seed[2];
            MakeKey(root, part[0]);
            if (type == 'r' && kit::SetKeyAccess(root, part[0], kReadOnly)) readOnly.emplace_back(root, part[0]);
            if (type == 'd') SetRegRaw(root, part[0], part[1], REG_DWORD, Bytes({std::stoi(part[2]), 0, 0, 0}));
            if (strchr("sem", type))
                SetRegString(root, part[0], part[1], part[2], type == 's' ? REG_SZ : type == 'e' ? REG_EXPAND_SZ : REG_MULTI_SZ);
            const std::string kind = seed[0] == 'U' ? "1 22|" : seed[0] == 'S' ? "2 28|" : "0 24|";
            if (row != '-')
                (seed[0] == 'M' ? machineRows : user).push_back(kind + seed.substr(3) + "|" + part[row == 'v' ? 2 : 1]);
        }
        all = user;
        for (const auto* part : {&associations, &classIds, &machineRows}) all.insert(all.end(), part->begin(), part->end());
        // A link in the 32-bit tree to a 64-bit key, as Wine makes for the keys both share:
        // what it points to is met once, where it lies.
        MakeLink(LM, "Software\\Wow6432Node\\KelvoLinked", machine.MachinePath() + "\\Software\\KelvoVendor");
    }
    void TearDown() override {
        for (const auto& key : readOnly) kit::SetKeyAccess(key.first, key.second, kFullAccess);
        for (const std::string& file : {kSystem + "\\kvscan64.dll", kWow64 + "\\kvscan32.dll"}) ::DeleteFileA(file.c_str());
        RemoveTree("C:\\Program Files (x86)\\KvScan32");
    }
    std::vector<std::string> Scan(ICancelPoll&& cancel) {
        status.messages.clear();
        CRegistryScan scan(list, cancel, status, RegScanOptions());
        scan.ScanRegistry();
        cancelled = scan.Cancelled();
        return Lines(list);
    }

    ScratchDir files {"regscan"};
    kit::ScratchRoots machine;
    std::vector<std::pair<HKEY, std::string>> readOnly;
    std::vector<std::string> user, machineRows, all;
    std::vector<std::string> associations = {
        "3 11|.kvdead|||.kvdead", "3 11|kvallbad\\shell\\open|open|" GONE "all.exe|" GONE "all.exe", "3 11|kvallbad\\shell|||",
        "3 11|kvclsidref\\CLSID|||" BADCLSID, "3 11|kvdeadfile\\shell\\open|open|\"" GONE "v.exe\" \"%1\"|\"" GONE "v.exe\" \"%1\"",
        "3 11|kvdeadfile\\shell|||", "3 11|kvdeadicon\\DefaultIcon|||" GONE "icons.dll\",3", "3 11|kvemptyicon\\DefaultIcon|||",
        "3 11|kvemptyshell\\shell|||", "3 11|" VERBS "none|none|" GONE "none.exe|" GONE "none.exe",
        "3 11|kvmixed\\shell\\edit|edit||",
        "3 11|kvmixed\\shell\\print|print|" GONE "print.exe %1|" GONE "print.exe %1"};
    // Servers are shown in upper case; one row per type library version whose file is missing,
    // and no HelpDir row for them.
    std::vector<std::string> classIds = {
        CLASSES "CLSID\\" DEADCLSID "\\InprocServer32|||C:\\KVGONE\\SERVER.DLL", CLASSES "CLSID\\" DEADCLSID "\\TypeLib|||" BADTL,
        CLASSES "CLSID\\" DEADCLSID "\\ProgID|||Kelvo.Gone.1",
        CLASSES "CLSID\\" DEADCLSID "\\VersionIndependentProgID|||Kelvo.Gone",
        CLASSES "CLSID\\{0E000000-0000-0000-0000-000000000004}\\InprocServer32|||" + ToUpper(kSystem) + "\\KV-GONE.DLL",
        CLASSES "TypeLib\\" GOODTL "\\2.0\\HelpDir|||", CLASSES "TypeLib\\" DEADTL "|||" DEADTL,
        CLASSES "TypeLib\\" DEADTL "|||" DEADTL,
        CLASSES "Interface\\{1F000000-0000-0000-0000-000000000001}\\TypeLib|||" BADTL};
    kit::Rows list;
    kit::RecordingStatus status;
    bool cancelled = false;
};

}  // namespace

TEST_F(RegistryScan, ListsExactlyTheDeadEntriesUnlessCancelled) {
    list.Add({"left over"});
    EXPECT_EQ(all, Scan(kit::CountingCancel()));
    // One message for each pass, then the total.
    EXPECT_EQ(9u, status.messages.size());
    EXPECT_EQ(Format("Total Invalid entries found: %d", list.Count()), status.LastMessage());
    // A cancel keeps the rows found: the Run key's values are judged together, the next poll
    // (before the next key) stops.
    EXPECT_EQ(std::vector<std::string>(user.begin(), user.begin() + 6),
              Scan(kit::CountingCancel([this] { return list.Count() > 0; })));
    EXPECT_TRUE(cancelled);
    EXPECT_EQ((std::vector<std::string> {"Scanning HKEY_CURRENT_USER for Invalid Entries...",
                                         "Total Invalid entries found: 6"}),
              status.messages);
}

// The sandbox machine as Wine installs it: a scan finds nothing but entries whose files are
// really missing. Every other row here would be a false finding on a user's machine.
TEST(StockMachine, FindsOnlyWhatIsReallyMissing) {
    kit::Rows list;
    kit::RecordingStatus status;
    kit::CountingCancel never;
    CRegistryScan(list, never, status, RegScanOptions()).ScanRegistry();
    std::vector<std::string> rows;
    // Scratch keys of the test programs running beside this one are left out.
    for (const std::string& row : Lines(list))
        if (row.find("Software\\KelvoTests\\") == std::string::npos) rows.push_back(row);
    // Wine ships no General MIDI sound set.
    const std::string gm = kSystem + "\\drivers\\gm.dls";
    EXPECT_EQ(std::vector<std::string> {"0 24|Software\\Microsoft\\DirectMusic|GMFilePath|" + gm + "|" + gm}, rows);
}

namespace {

const std::string kHeader = "Windows Registry Editor Version 5.00\r\n";

std::string Counting(int from, int to, const char* format = "%c") {
    std::string s;
    for (int i = from; i < to; ++i) s += Format(format, i);
    return s;
}
// The undo file of the minute, kept clear of a minute change so that a case's removals share it.
std::string MinutesUndoFile(const ScratchDir& dir) {
    SYSTEMTIME t;
    ::GetLocalTime(&t);
    if (t.wSecond >= 50) ::Sleep((61 - t.wSecond) * 1000);
    return dir / MakeUndoFileName();
}
// Every key below HKEY_CURRENT_USER\path ("key\") and value ("key\|name": type and bytes): a
// picture of the tree that compares byte for byte.
void Snap(const std::wstring& path, const std::wstring& rel, std::map<std::wstring, std::string>& out) {
    HKEY k = nullptr;
    if (::RegOpenKeyExW(CU, path.c_str(), 0, KEY_READ, &k) != ERROR_SUCCESS) return;
    out[rel + L"\\"] = "";
    std::vector<wchar_t> name(16384);
    std::vector<char> data(1 << 16);
    for (DWORD i = 0, length = 16384, size = 65536, type = 0;
         ::RegEnumValueW(k, i, name.data(), &length, nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &size) == 0;
         ++i, length = 16384, size = 65536)
        out[rel + L"\\|" + std::wstring(name.data(), length)] = std::to_string(type) + ":" + std::string(data.data(), size);
    for (DWORD i = 0, length = 256; ::RegEnumKeyExW(k, i, name.data(), &length, nullptr, nullptr, nullptr, nullptr) == 0;
         ++i, length = 256)
        Snap(path + L"\\" + name.data(), rel + L"\\" + name.data(), out);
    ::RegCloseKey(k);
}
std::map<std::wstring, std::string> Snap(const std::string& path) {
    std::map<std::wstring, std::string> out;
    Snap(WideName(path), L"", out);
    return out;
}

// A disk that fills up after a number of writes.
class FailingUndoFile : public UndoFile {
public:
    explicit FailingUndoFile(int writesLeft) : writesLeft(writesLeft) {}
    bool Write(const std::wstring& text) override { return writesLeft-- > 0 && UndoFile::Write(text); }
    int writesLeft;
};

}  // namespace

TEST(UndoFile, DataLinesGiveEveryByteBack) {
    const std::string first = Counting(0, 22, "%02x,"), second = Counting(22, 43, "%02x,");
    // Strings quoted and escaped; the first line of bytes carries 22, the others 21, with no
    // continuation when nothing follows; every other type as typed bytes, its number in
    // hexadecimal as the registry editor reads it, as is what the forms above would not give back:
    // a short number, a line break, a zero inside, no terminating zero, half a surrogate pair.
    const struct { DWORD type; std::string bytes, line; } cases[] = {
        {REG_SZ, Wire(L"say \"hi\" \\\\srv"), "\"say \\\"hi\\\" \\\\\\\\srv\""}, {REG_BINARY, "", "hex:"},
        {REG_SZ, Wire(L"\x03A9 \xD83D\xDE00"), "\"\xCE\xA9 \xF0\x9F\x98\x80\""},
        {REG_DWORD, Bytes({0xef, 0xbe, 0xad, 0xde}), "dword:deadbeef"},
        {REG_BINARY, Counting(0, 22), "hex:" + first}, {REG_BINARY, Counting(0, 23), "hex:" + first + "\\\n16,"},
        {REG_BINARY, Counting(0, 44), "hex:" + first + "\\\n" + second + "\\\n2b,"}, {0x1234, Bytes({0xff}), "hex(1234):ff,"},
        {REG_DWORD, Bytes({1, 2, 3}), "hex(4):01,02,03,"}, {REG_SZ, Wire(L"a\nb"), "hex(1):61,00,0a,00,62,00,00,00,"},
        {REG_SZ, std::string("a\0\0\0b\0\0\0", 8), "hex(1):61,00,00,00,62,00,00,00,"},
        {REG_SZ, std::string("a\0", 2), "hex(1):61,00,"},
        {REG_SZ, Wire(L"\xD83D"), "hex(1):3d,d8,00,00,"}};
    for (const auto& c : cases)
        EXPECT_EQ(c.line + "\n", U8(FormatRegData(c.type, reinterpret_cast<const BYTE*>(c.bytes.data()),
                                                  static_cast<DWORD>(c.bytes.size()))));
}

TEST(UndoFile, RegeditGivesBackEveryKeyAndValueByteForByte) {
    // Names in any language, beyond the first plane, and with the characters of the format itself.
    const char* const hostile[] = {"\xCE\xA9mega", "\xE6\x96\x87\xE4\xBB\xB6", "\xF0\x9F\x98\x80 smile", "] [ \" = @ ; end]",
                                   "[start", "@", " lead and trail ", "C:\\Shared\\name \"q\".dll"};
    ScratchKey base("roundtrip");
    ScratchDir dir("roundtrip");
    const std::string tree = base.path() + "\\Tree", values = base.path() + "\\Values", kept = base.path() + "\\Kept";
    for (const std::string& key : {tree, values}) {
        SetRegString(CU, key, "", "default \"value\"");
        SetRegString(CU, key, "sz", "C:\\Old\\\"quoted\" \\\\server\\share\\ caf\xC3\xA9 \xE6\x96\x87");
        SetRegString(CU, key, "sz lines", "line1\r\nline2");
        SetRegRaw(CU, key, "sz half pair", REG_SZ, Wire(L"x\xDC00y"));
        SetRegString(CU, key, "expand", "%SystemRoot%\\x;%PATH%;\xCE\xA9", REG_EXPAND_SZ);
        SetRegRaw(CU, key, "bin big", REG_BINARY, Counting(0, 1000));
        SetRegRaw(CU, key, "dword", REG_DWORD, Bytes({1, 0, 0, 0}));
        // Every other type (an empty value too), and a type of no name.
        SetRegRaw(CU, key, "empty", REG_NONE, "");
        for (DWORD type : {0ul, 5ul, 6ul, 7ul, 8ul, 9ul, 10ul, 11ul, 0x1234ul})
            SetRegRaw(CU, key, "type " + std::to_string(type), type, Bytes({1, 2, 3, 4, 5, 6, 0, 0}));
        SetRegString(CU, key, std::string(16383, 'n'), "the longest name");
        for (const char* name : hostile) SetRegString(CU, key, name, name);
    }
    SetRegString(CU, tree + "\\Child\\Grand Child", "", "g");
    MakeKey(CU, tree + "\\Empty Key");
    for (const char* name : hostile) SetRegString(CU, tree + "\\" + name + "\\" + name, name, "deep");
    // What no .reg file gives back exactly: names holding a line break, and text the registry
    // editor would end with a zero of its own. These rows stay.
    SetRegString(CU, kept + "\\a\nb", "v", "x");
    SetRegString(CU, values, "line\r\nbreak", "x");
    SetRegRaw(CU, values, "sz odd", REG_SZ, Bytes({'a', 0, 'b'}));
    SetRegRaw(CU, values, "sz unended", REG_EXPAND_SZ, Bytes({'a', 0, 'b', 0}));
    const auto before = Snap(base.path());
    kit::Rows list;
    list.Add({"HKEY_CURRENT_USER", tree}, 0x12, true);
    list.Add({"HKEY_CURRENT_USER", kept}, 0x12, true);
    for (const auto& v : before)
        if (v.first.compare(0, 9, L"\\Values\\|") == 0)
            list.Add({"HKEY_CURRENT_USER", values, U8(v.first.substr(9))}, 0x22, true);
    ScriptedPrompter prompter;
    prompter.answers = {IDYES};
    kit::RecordingStatus status;
    const std::string undoFile = MinutesUndoFile(dir);
    RemoveSelectedEntries(list, status, dir.path());
    // Those rows are kept, in the list and in the registry, and the message says so.
    EXPECT_EQ((std::vector<std::string> {kept, values, values, values}), list.Column(kRegColSubKey));
    EXPECT_EQ((std::vector<std::string> {"", "line\r\nbreak", "sz odd", "sz unended"}), list.Column(kRegColValueName));
    ASSERT_EQ(2u, prompter.asked.size());
    EXPECT_EQ("4 item(s) were kept: a name holds a line break, or text data does not end where the registry editor "
              "ends it, so no undo file could give them back exactly.",
              prompter.asked[1].text);
    const auto removed = Snap(base.path());
    EXPECT_TRUE(removed.count(L"\\Kept\\a\nb\\|v") && !removed.count(L"\\Tree\\"));
    EXPECT_EQ(4, std::count_if(removed.begin(), removed.end(), [](auto& v) { return v.first.find(L"\\Values\\") == 0; }));
    EXPECT_EQ(0u, ImportWithRegedit(undoFile));
    auto after = Snap(base.path());
    EXPECT_EQ(before.size(), after.size());
    for (const auto& v : before) EXPECT_TRUE(v.second == after[v.first]) << U8(v.first).substr(0, 80);
}

TEST(RemoveCommands, AskFirstAndRemoveOnlyTheSelectedRowsIntoTheMinutesFile) {
    ScratchDir dir("removesel");
    ScratchKey key("removesel");
    ScriptedPrompter prompter;
    kit::RecordingStatus status;
    kit::Rows list;
    RemoveAllEntries(list, status, dir.path());
    for (const char* v : {"a", "b", "c", "d"}) {
        SetRegString(CU, key.path(), v, v);
        list.Add({"HKEY_CURRENT_USER", key.path(), v}, 0x22, *v == 'b' || *v == 'd');
    }
    const std::string undoFile = MinutesUndoFile(dir);
    // Answering No removes nothing.
    prompter.answers = {IDNO, IDNO, IDYES, IDYES};
    RemoveSelectedEntries(list, status, dir.path());
    RemoveAllEntries(list, status, dir.path());
    EXPECT_EQ((std::vector<std::string> {"List Empty.", LoadStr(IDS_BACKUP_HINT)}), status.notes);
    EXPECT_TRUE(list.Count() == 4 && !FileExists(undoFile));
    ASSERT_EQ(2u, prompter.asked.size());
    EXPECT_EQ("Are you sure you want to remove the selected item(s)?|Are you sure you want to remove all the item(s)?",
              prompter.asked[0].text + "|" + prompter.asked[1].text);
    EXPECT_EQ(static_cast<UINT>(MB_YESNO | MB_ICONQUESTION), prompter.asked[1].type);
    RemoveSelectedEntries(list, status, dir.path());
    EXPECT_EQ((std::vector<std::string> {"a", "c"}), list.Column(kRegColValueName));
    RemoveSelectedEntries(list, status, dir.path());
    EXPECT_EQ("Please select item(s)", status.notes.back());
    list.Select(0);
    RemoveSelectedEntries(list, status, dir.path());
    EXPECT_EQ((std::vector<std::string> {"c"}), list.Column(kRegColValueName));
    EXPECT_EQ(4u, prompter.asked.size()) << "no message after Remove Selected";
    EXPECT_TRUE(ValueExists(CU, key.path(), "c") && !ValueExists(CU, key.path(), "a") && !ValueExists(CU, key.path(), "b"));
    // One file, one encoding, one header: the second removal only appends its entries.
    const std::string keyLine = "\r\n[HKEY_CURRENT_USER\\" + key.path() + "]\r\n";
    EXPECT_EQ(kHeader + keyLine + "\"b\" = \"b\"\r\n" + keyLine + "\"d\" = \"d\"\r\n" + keyLine + "\"a\" = \"a\"\r\n",
              kit::ReadUtf16File(undoFile));
    // A file of that name in another form is never appended to: nothing is removed then.
    WriteFileText(undoFile, "REGEDIT4\r\n\r\n");
    list.Select(0);
    prompter.answers = {IDYES};
    RemoveSelectedEntries(list, status, dir.path());
    EXPECT_TRUE(ValueExists(CU, key.path(), "c") && list.Count() == 1);
    EXPECT_EQ("The undo file could not be written:\n" + undoFile + "\nNothing has been removed.", prompter.asked.back().text);
    EXPECT_EQ(static_cast<UINT>(MB_OK | MB_ICONSTOP), prompter.asked.back().type);
    EXPECT_EQ("REGEDIT4\r\n\r\n", kit::ReadWholeFile(undoFile));
}

TEST(RemoveCommands, NothingIsDeletedThatIsNotInTheUndoFile) {
    ScratchDir dir("writefail");
    ScratchKey key("writefail");
    SetRegString(CU, key.path(), "a", "x");
    SetRegString(CU, key.path(), "b", "y");
    SetRegString(CU, key.path() + "\\Tree\\Deep", "v", "1");
    // A disk that fills up: the header and the first entry get through, the second does not.
    kit::Rows list;
    for (const char* v : {"a", "b"}) list.Add({"HKEY_CURRENT_USER", key.path(), v}, 0x22, true);
    FailingUndoFile undo(2);
    ASSERT_TRUE(undo.open(dir / "undo.reg"));
    EXPECT_FALSE(RemoveFindings(undo, list, true));
    EXPECT_TRUE(!ValueExists(CU, key.path(), "a") && ValueExists(CU, key.path(), "b"));
    EXPECT_EQ((std::vector<std::string> {"b"}), list.Column(kRegColValueName));
    // A key's export reaches the file whole or not at all; a key not written is not deleted.
    list.rows.clear();
    list.Add({"HKEY_CURRENT_USER", key.path() + "\\Tree"}, 0x12);
    FailingUndoFile keyUndo(1);
    ASSERT_TRUE(keyUndo.open(dir / "undo2.reg"));
    EXPECT_FALSE(RemoveFindings(keyUndo, list, false));
    EXPECT_TRUE(ValueExists(CU, key.path() + "\\Tree\\Deep", "v") && list.Count() == 1);
    keyUndo.close();
    EXPECT_EQ(kHeader, kit::ReadUtf16File(dir / "undo2.reg"));
}

TEST(RemoveCommands, RowsWhoseEntryStaysKeepTheirPlace) {
    ScratchDir dir("keep");
    ScratchKey key("keep");
    // A key this user may read but not change (Wine leaves a key's own deletion to its parent, so
    // the case is a value); a key with a part this user may not read, which cannot go whole into
    // the undo file; a twin whose best-fit name equals another's, listed where names do not
    // survive; one that goes; one gone already, and a root, which is never exported nor deleted.
    const std::string locked = key.path() + "\\Locked", hidden = key.path() + "\\Hidden";
    SetRegString(CU, locked, "v", "x");
    MakeKey(CU, hidden + "\\Secret");
    for (const char* v : {"\xCE\xA9" "dead", "Odead", "gone"}) SetRegString(CU, key.path(), v, "x");
    ASSERT_TRUE(kit::SetKeyAccess(CU, locked, kReadOnly) && kit::SetKeyAccess(CU, hidden + "\\Secret", "D:P(A;;WD;;;WD)"));
    kit::Rows list;
    const std::string& k = key.path();
    for (auto row : {std::make_tuple(locked, "v", 0x22), std::make_tuple(hidden, "", 0x12), std::make_tuple(k, "Odead", 0x62),
                     std::make_tuple(k, "gone", 0x22), std::make_tuple(k, "vanished", 0x22), std::make_tuple(std::string(), "", 0x12)})
        list.Add({"HKEY_CURRENT_USER", std::get<0>(row), std::get<1>(row)}, std::get<2>(row));
    ScriptedPrompter prompter;
    prompter.answers = {IDYES};
    kit::RecordingStatus status;
    RemoveAllEntries(list, status, dir.path());
    EXPECT_TRUE(kit::SetKeyAccess(CU, locked, kFullAccess) && kit::SetKeyAccess(CU, hidden + "\\Secret", kFullAccess));
    EXPECT_EQ((std::vector<std::string> {locked, hidden, key.path()}), list.Column(kRegColSubKey));
    EXPECT_TRUE(ValueExists(CU, locked, "v") && RegKeyExists(CU, hidden + "\\Secret") && ValueExists(CU, key.path(), "Odead"));
    EXPECT_TRUE(ValueExists(CU, key.path(), "\xCE\xA9" "dead") && !ValueExists(CU, key.path(), "gone"));
    // A folder other than the program's own is named.
    ASSERT_EQ(2u, prompter.asked.size());
    EXPECT_EQ("Undo information has been saved in " + dir.path() + "\ndouble-click on it to undo the changes made now\n\n"
              "1 item(s) could not be removed: access was denied (they belong to the system or to an administrator).\n"
              "1 item(s) were kept: they could not be read completely for the undo file.\n"
              "1 item(s) were kept: their names cannot be used on this system (characters outside its code page).",
              prompter.asked[1].text);
    EXPECT_EQ(static_cast<UINT>(MB_OK | MB_ICONEXCLAMATION), prompter.asked[1].type);
}
