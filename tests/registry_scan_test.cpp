// The registry scan over a machine of the test's own: the four roots are redirected to scratch
// keys seeded with exactly the entries each case expects.
#include "core/codepage.h"
#include "registry/regremove.h"
#include "registry/regscan.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <sddl.h>

#include <functional>

namespace {

// A result list in memory.
class FakeList : public IResultList {
public:
    struct Row {
        std::vector<std::string> texts;
        int image;
        DWORD data;
        bool selected = false;
    };
    std::vector<Row> rows;

    int AddRow(const std::vector<std::string>& texts, int image, DWORD data) override {
        rows.push_back({texts, image, data});
        rows.back().texts.resize(5);
        return static_cast<int>(rows.size()) - 1;
    }
    int Count() const override { return static_cast<int>(rows.size()); }
    std::string Text(int row, int column) const override { return rows[row].texts[column]; }
    void SetText(int row, int column, const std::string& text) override { rows[row].texts[column] = text; }
    DWORD Data(int row) const override { return rows[row].data; }
    bool IsSelected(int row) const override { return rows[row].selected; }
    bool IsChecked(int) const override { return false; }
    void SetChecked(int, bool) override {}
    void DeleteRow(int row) override { rows.erase(rows.begin() + row); }
    void DeleteAll() override { rows.clear(); }

    // "Location|SubKey|ValueName|Data|Invalid Entry|image|flags" per row, for whole-list checks.
    std::vector<std::string> Lines() const {
        std::vector<std::string> out;
        for (const Row& r : rows) {
            std::string s;
            for (const std::string& t : r.texts) s += t + "|";
            char tail[32];
            std::snprintf(tail, sizeof tail, "%d|%02lx", r.image, r.data);
            out.push_back(s + tail);
        }
        return out;
    }
};

class FakeStatus : public IStatusSink {
public:
    std::vector<std::string> messages;
    void SetStatusText(const std::string& text, int target) override {
        if (target == 0) messages.push_back(text);
    }
    void ShowNotifierText(const std::string&) override {}
};

// Says "cancelled" once `when` is true, and counts the polls.
class CancelWhen : public ICancelPoll {
public:
    explicit CancelWhen(std::function<bool()> when = [] { return false; }) : when_(std::move(when)) {}
    bool checkCancelled() override {
        ++polls;
        return when_();
    }
    int polls = 0;

private:
    std::function<bool()> when_;
};

// HKEY_CURRENT_USER, HKEY_USERS, HKEY_LOCAL_MACHINE and HKEY_CLASSES_ROOT redirected to keys
// below one scratch key for the life of the object; the classes root is the machine's
// Software\Classes, as on Windows.
class ScratchMachine {
public:
    ScratchMachine() : base_("regscan") {
        // Opened before the redirection, which would otherwise apply to the scratch key too.
        for (int i = 0; i < 4; ++i) {
            std::string path = base_.path() + "\\" + kParts[i];
            ::RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &keys_[i],
                              nullptr);
        }
        for (int i = 0; i < 4; ++i) ::RegOverridePredefKey(kRoots[i], keys_[i]);
    }
    ~ScratchMachine() {
        for (int i = 0; i < 4; ++i) {
            ::RegOverridePredefKey(kRoots[i], nullptr);
            ::RegCloseKey(keys_[i]);
        }
    }

    // Where the machine's HKEY_LOCAL_MACHINE really lies, below the real HKEY_CURRENT_USER.
    std::string MachinePath() const { return base_.path() + "\\HKLM"; }

private:
    const char* kParts[4] = {"HKCU", "HKU", "HKLM", "HKLM\\Software\\Classes"};
    const HKEY kRoots[4] = {HKEY_CURRENT_USER, HKEY_USERS, HKEY_LOCAL_MACHINE, HKEY_CLASSES_ROOT};
    ScratchKey base_;
    HKEY keys_[4] = {};
};

void SetValue(HKEY root, const std::string& key, const std::string& name, DWORD type, const void* data, DWORD size) {
    HKEY k = nullptr;
    ASSERT_EQ(ERROR_SUCCESS,
              ::RegCreateKeyExA(root, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k, nullptr));
    if (data) {
        ASSERT_EQ(ERROR_SUCCESS, ::RegSetValueExA(k, name.c_str(), 0, type, static_cast<const BYTE*>(data), size));
    }
    ::RegCloseKey(k);
}
void SetString(HKEY root, const std::string& key, const std::string& name, const std::string& text,
               DWORD type = REG_SZ) {
    SetValue(root, key, name, type, text.c_str(), static_cast<DWORD>(text.size() + 1));
}
void SetDword(HKEY root, const std::string& key, const std::string& name, DWORD v) {
    SetValue(root, key, name, REG_DWORD, &v, sizeof v);
}
void MakeKey(HKEY root, const std::string& key) { SetValue(root, key, "", REG_NONE, nullptr, 0); }
// What a standard user meets on most machine keys: reading allowed, changing not (deleting is,
// so that the scratch machine goes at the end).
void MakeReadOnly(HKEY root, const std::string& key) {
    HKEY k = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, ::RegOpenKeyExA(root, key.c_str(), 0, WRITE_DAC, &k));
    PSECURITY_DESCRIPTOR sd = nullptr;
    ASSERT_TRUE(::ConvertStringSecurityDescriptorToSecurityDescriptorA("D:P(A;;KRSD;;;WD)", SDDL_REVISION_1, &sd,
                                                                       nullptr));
    EXPECT_EQ(ERROR_SUCCESS, ::RegSetKeySecurity(k, DACL_SECURITY_INFORMATION, sd));
    ::LocalFree(sd);
    ::RegCloseKey(k);
    ASSERT_EQ(ERROR_ACCESS_DENIED, ::RegOpenKeyExA(root, key.c_str(), 0, KEY_ALL_ACCESS, &k));
}
// A registry link at root\\linkPath to `target`, a key below the real HKEY_CURRENT_USER.
void MakeLink(HKEY root, const std::string& linkPath, const std::string& target) {
    HANDLE token = nullptr;
    ASSERT_TRUE(::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token));
    BYTE user[256];
    DWORD len = 0;
    ASSERT_TRUE(::GetTokenInformation(token, TokenUser, user, sizeof user, &len));
    ::CloseHandle(token);
    LPWSTR sid = nullptr;
    ASSERT_TRUE(::ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(user)->User.Sid, &sid));
    std::wstring nt = L"\\Registry\\User\\" + std::wstring(sid) + L"\\" + WideName(target);
    ::LocalFree(sid);
    HKEY k = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, ::RegCreateKeyExW(root, WideName(linkPath).c_str(), 0, nullptr, REG_OPTION_CREATE_LINK,
                                               KEY_ALL_ACCESS | KEY_CREATE_LINK, nullptr, &k, nullptr));
    EXPECT_EQ(ERROR_SUCCESS, ::RegSetValueExW(k, L"SymbolicLinkValue", 0, REG_LINK,
                                              reinterpret_cast<const BYTE*>(nt.data()),
                                              static_cast<DWORD>(nt.size() * sizeof(wchar_t))));
    ::RegCloseKey(k);
}

const char kRun[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const char kShared[] = "Software\\Microsoft\\Windows\\CurrentVersion\\SharedDLLs";
const std::string kMissing = "C:\\KelvoMissing4711\\";
const std::string kLongName = "l-" + std::string(300, 'n');
const std::string kLongAliveName = "o-" + std::string(300, 'o');
const std::string kLongData = kMissing + std::string(280, 'd') + ".exe";

const char kGoodTypeLib[] = "{7E570000-0000-0000-0000-0000000000A1}";
const char kDeadTypeLib[] = "{7E570000-0000-0000-0000-0000000000B2}";
const char kHelpOkTypeLib[] = "{7E570000-0000-0000-0000-0000000000C3}";
const char kUnregisteredTypeLib[] = "{7E570000-0000-0000-0000-0000000000FF}";
const char kGoodClsid[] = "{0C0FFEE0-0000-0000-0000-000000000002}";
const char kDeadClsid[] = "{0DEAD000-0000-0000-0000-000000000003}";
const char kExpandClsid[] = "{0E000000-0000-0000-0000-000000000004}";
const char kUnregisteredClsid[] = "{0BADC1D0-0000-0000-0000-000000000001}";

const std::string kUnicodeKey = "Software\\Zunicode";
const std::string kCjk = "\xE6\x96\x87\xE4\xBB\xB6";
const std::string kCjkAlive = "\xE6\x96\x87";
const std::string kOmegaDead = "\xCE\xA9" "dead";
const std::string kEmoji = "\xF0\x9F\x98\x80";
const std::string kOmegaFile = "\xCE\xA9mega\\x.exe";

std::string SystemFolder() {
    char buf[MAX_PATH];
    ::GetSystemDirectoryA(buf, MAX_PATH);
    return buf;
}

// Values are created in name order, so that the enumeration order is the same whether the
// registry keeps values sorted or in creation order.
void SeedUserHives(const std::string& liveFolder) {
    HKEY cu = HKEY_CURRENT_USER;
    SetString(cu, kRun, "a-dead", kMissing + "dead.exe /s");
    SetString(cu, kRun, "b-quoted", "\"" + kMissing + "Gone App\\x.exe\" -a");
    SetString(cu, kRun, "c-alive", "C:\\windows\\notepad.exe");
    SetString(cu, kRun, "CachePath", kMissing + "cache");
    SetString(cu, kRun, "d-floppy", "A:\\SETUP.EXE");
    SetString(cu, kRun, "e-cdrom", "D:\\SETUP.EXE");
    SetString(cu, kRun, "f-expand", "%SystemRoot%\\kelvo-nothere.exe", REG_EXPAND_SZ);
    SetString(cu, kRun, "g-envsz", "%SystemRoot%\\kelvo-nothere.exe");
    std::string multi = kMissing + "m.exe";
    multi.push_back('\0');
    SetValue(cu, kRun, "h-multi", REG_MULTI_SZ, multi.c_str(), static_cast<DWORD>(multi.size() + 1));
    SetDword(cu, kRun, "i-dword", 1);
    SetValue(cu, kRun, "j-binary", REG_BINARY, multi.c_str(), static_cast<DWORD>(multi.size()));
    SetString(cu, kRun, "k-quotes", "\"\"" + kMissing + "q.exe\"\"");
    SetString(cu, kRun, kLongName, kMissing + "long.exe");
    SetString(cu, kRun, "m-longdata", kLongData);
    SetString(cu, kRun, "n-longexpand", kMissing + std::string(300, 'e') + ".exe", REG_EXPAND_SZ);
    SetString(cu, kRun, kLongAliveName, "C:\\windows\\notepad.exe");
    // The current user's class tree is left to the association checks.
    SetString(cu, "Software\\Classes\\kelvo.cls", "x", kMissing + "cls.exe");
    // Subkeys before values, depth first.
    SetString(cu, "Software\\Zeta", "dead2", kMissing + "zeta2.exe");
    SetString(cu, "Software\\Zeta\\Sub", "dead", kMissing + "zeta.exe");
    // Class trees below HKEY_USERS are walked like any other key.
    SetString(HKEY_USERS, "S-1-5-21-kelvo\\Software\\Classes\\kelvo.cls", "x", kMissing + "hku.exe");
    // A key this user may only read is judged all the same.
    SetString(cu, "Software\\Zlocked", "dead", kMissing + "locked.exe");
    MakeReadOnly(cu, "Software\\Zlocked");
    // Names in any language, and paths through a folder named in one.
    SetString(cu, kUnicodeKey + "\\" + kCjk, "v", kMissing + "cjk.exe");
    SetString(cu, kUnicodeKey, "Odead", kMissing + "omega.exe");
    SetString(cu, kUnicodeKey, kOmegaDead, kMissing + "omega.exe");
    SetString(cu, kUnicodeKey, kCjkAlive, liveFolder + "\\" + kOmegaFile);
    SetString(cu, kUnicodeKey, kEmoji, kMissing + kOmegaFile);
}

void SeedClasses() {
    HKEY cr = HKEY_CLASSES_ROOT;
    SetString(cr, ".kvalive", "", "kvalivefile");
    SetString(cr, "kvalivefile\\shell\\open\\command", "", "C:\\windows\\notepad.exe %1");
    SetString(cr, "kvalivefile\\DefaultIcon", "", "%1");
    SetString(cr, ".kvdead", "", "kvdeadfile");
    SetString(cr, "kvdeadfile\\shell\\open\\command", "", "\"" + kMissing + "viewer.exe\" \"%1\"");
    SetString(cr, ".kvnoclass", "", "kvnonexistent");
    SetString(cr, ".kvnocmd", "", "kvnocmdfile");
    MakeKey(cr, "kvnocmdfile");
    SetString(cr, "kvclsidref\\CLSID", "", kUnregisteredClsid);
    SetString(cr, "kvclsidok\\CLSID", "", kGoodClsid);
    MakeKey(cr, "kvemptyicon\\DefaultIcon");
    SetString(cr, "kvdeadicon\\DefaultIcon", "", "\"" + kMissing + "icons.dll\",3");
    SetString(cr, "kvsysicon\\DefaultIcon", "", "%SystemRoot%\\system32\\shell32.dll,3");
    MakeKey(cr, "kvemptyshell\\shell");
    MakeKey(cr, "kvmixed\\shell\\edit\\command");
    SetString(cr, "kvmixed\\shell\\open\\command", "", "C:\\windows\\notepad.exe %1");
    SetString(cr, "kvmixed\\shell\\print\\command", "", kMissing + "print.exe %1");
    SetString(cr, "kvallbad\\shell\\open\\command", "", kMissing + "all.exe");
    SetString(cr, "kvvalue", "x", kMissing + "c.exe");
    MakeKey(cr, "Kelvo.Alive.1");
    // Registered for the machine and only readable by this user: present all the same.
    MakeReadOnly(cr, "Kelvo.Alive.1");
    MakeReadOnly(cr, "kvmixed\\shell\\open\\command");
    // Verbs that work without a command line; only the one with neither is bad.
    MakeKey(cr, "kvhandlers\\shell\\dde\\ddeexec");
    MakeKey(cr, "kvhandlers\\shell\\drop\\DropTarget");
    MakeKey(cr, "kvhandlers\\shell\\drop\\command");
    SetString(cr, "kvhandlers\\shell\\explorer", "ExplorerCommandHandler", kGoodClsid);
    SetString(cr, "kvhandlers\\shell\\explorer\\command", "", kMissing + "explorer.exe");
    SetString(cr, "kvhandlers\\shell\\delegate\\command", "DelegateExecute", kGoodClsid);
    SetString(cr, "kvhandlers\\shell\\none\\command", "", kMissing + "none.exe");
    SetString(cr, "kvddeonly\\shell\\open\\ddeexec", "", "[open(\"%1\")]");

    std::string clsid = std::string("CLSID\\");
    SetString(cr, clsid + kGoodClsid + "\\InprocServer32", "", "ole32.dll");
    SetString(cr, clsid + kGoodClsid + "\\ProgID", "", "Kelvo.Alive.1");
    SetString(cr, clsid + kGoodClsid + "\\TypeLib", "", kGoodTypeLib);
    SetString(cr, clsid + kDeadClsid + "\\InprocServer32", "", kMissing + "server.dll");
    SetString(cr, clsid + kDeadClsid + "\\TypeLib", "", kUnregisteredTypeLib);
    SetString(cr, clsid + kDeadClsid + "\\ProgID", "", "Kelvo.Gone.1");
    SetString(cr, clsid + kDeadClsid + "\\VersionIndependentProgID", "", "Kelvo.Gone");
    SetString(cr, clsid + kExpandClsid + "\\InprocServer32", "", "%SystemRoot%\\system32\\kelvo-gone.dll",
              REG_EXPAND_SZ);

    // A real type library file registered under our own identifier (its version must match).
    std::string stdole = SystemFolder() + "\\stdole2.tlb";
    std::string tl = "TypeLib\\";
    SetString(cr, tl + kGoodTypeLib + "\\2.0\\0\\win32", "", stdole);
    MakeKey(cr, tl + kGoodTypeLib + "\\2.0\\HELPDIR");
    SetString(cr, tl + kDeadTypeLib + "\\1.0\\0\\win32", "", kMissing + "dead.tlb");
    MakeKey(cr, tl + kDeadTypeLib + "\\1.0\\HELPDIR");
    SetString(cr, tl + kDeadTypeLib + "\\2.0\\0\\win32", "", kMissing + "dead2.tlb");
    SetString(cr, tl + kHelpOkTypeLib + "\\2.0\\0\\win32", "", stdole);
    SetString(cr, tl + kHelpOkTypeLib + "\\2.0\\HELPDIR", "", "");

    SetString(cr, "Interface\\{1F000000-0000-0000-0000-000000000001}\\TypeLib", "", kUnregisteredTypeLib);
    SetString(cr, "Interface\\{1F000000-0000-0000-0000-000000000002}\\TypeLib", "", kGoodTypeLib);
}

const std::string k64Only = "kelvo-scan-64only.dll";
const std::string k32Only = "kelvo-scan-32only.dll";
const std::string k32Program = "KelvoScan32\\app.exe";

std::string Wow64Folder() {
    char buf[MAX_PATH];
    ::GetSystemWow64DirectoryA(buf, MAX_PATH);
    return buf;
}
std::string ProgramFiles32() {
    char buf[MAX_PATH];
    ::ExpandEnvironmentStringsA("%ProgramFiles(x86)%", buf, MAX_PATH);
    return buf;
}

void SeedMachine() {
    HKEY lm = HKEY_LOCAL_MACHINE;
    SetString(lm, "Software\\KelvoVendor\\App", "InstallDir", kMissing + "App\\");
    SetString(lm, "Software\\KelvoVendor\\App", "Web", "http://example.com/kelvo.exe");
    SetDword(lm, kShared, "A:\\FLOPPY.DLL", 1);
    SetDword(lm, kShared, kMissing + "shared.dll", 3);
    SetString(lm, kShared, kMissing + "sz.dll", "1");
    SetDword(lm, kShared, SystemFolder() + "\\ole32.dll", 1);
    SetDword(lm, kShared, "kvrelative.dll", 1);
    // 32-bit registrations, judged as 32-bit programs see the disk: the system folder is
    // SysWOW64 for them and %ProgramFiles% the folder of 32-bit programs.
    std::string wow = "Software\\Wow6432Node\\KelvoVendor\\App";
    SetString(lm, wow, "a-dead", kMissing + "x86.exe");
    SetString(lm, wow, "b-sys64only", SystemFolder() + "\\" + k64Only);
    SetString(lm, wow, "c-sys32only", SystemFolder() + "\\" + k32Only);
    SetString(lm, wow, "d-programfiles", "%ProgramFiles%\\" + k32Program, REG_EXPAND_SZ);
    // Their class tree is the class scans' business, as the 64-bit one.
    SetString(lm, "Software\\Wow6432Node\\Classes\\kvwowcls", "x", kMissing + "cls32.exe");
}

std::string Row(const std::string& location, const std::string& subKey, const std::string& valueName,
                const std::string& data, const std::string& invalid, int image, DWORD flags) {
    char tail[32];
    std::snprintf(tail, sizeof tail, "%d|%02lx", image, flags);
    return location + "|" + subKey + "|" + valueName + "|" + data + "|" + invalid + "|" + tail;
}
std::string CuValue(const std::string& key, const std::string& name, const std::string& data) {
    return Row("HKEY_CURRENT_USER", key, name, data, data, 1, 0x22);
}
std::string CrKey(const std::string& key, const std::string& invalid, const std::string& valueName = "",
                  const std::string& data = "") {
    return Row("HKEY_CLASSES_ROOT", key, valueName, data, invalid, 3, 0x11);
}
std::string LmKey(const std::string& key, const std::string& invalid) {
    return Row("HKEY_LOCAL_MACHINE", key, "", "", invalid, 0, 0x14);
}

std::vector<std::string> UserHiveRows() {
    return {
        CuValue(kRun, "a-dead", kMissing + "dead.exe /s"),
        CuValue(kRun, "b-quoted", "\"" + kMissing + "Gone App\\x.exe\" -a"),
        CuValue(kRun, "d-floppy", "A:\\SETUP.EXE"),
        CuValue(kRun, "f-expand", "%SystemRoot%\\kelvo-nothere.exe"),
        CuValue(kRun, "k-quotes", "\"\"" + kMissing + "q.exe\"\""),
        CuValue(kRun, kLongName, kMissing + "long.exe"),
        CuValue(kRun, "m-longdata", kLongData),
        CuValue("Software\\Zeta\\Sub", "dead", kMissing + "zeta.exe"),
        CuValue("Software\\Zeta", "dead2", kMissing + "zeta2.exe"),
        CuValue("Software\\Zlocked", "dead", kMissing + "locked.exe"),
        CuValue(kUnicodeKey + "\\" + kCjk, "v", kMissing + "cjk.exe"),
        CuValue(kUnicodeKey, "Odead", kMissing + "omega.exe"),
        CuValue(kUnicodeKey, kOmegaDead, kMissing + "omega.exe"),
        CuValue(kUnicodeKey, kEmoji, kMissing + kOmegaFile),
        Row("HKEY_USERS", "S-1-5-21-kelvo\\Software\\Classes\\kelvo.cls", "x", kMissing + "hku.exe",
            kMissing + "hku.exe", 2, 0x28),
    };
}

std::vector<std::string> AssociationRows() {
    std::string deadCmd = "\"" + kMissing + "viewer.exe\" \"%1\"";
    return {
        CrKey(".kvdead", ".kvdead"),
        CrKey("kvallbad\\shell\\open", kMissing + "all.exe", "open", kMissing + "all.exe"),
        CrKey("kvallbad\\shell", ""),
        CrKey("kvclsidref\\CLSID", kUnregisteredClsid),
        CrKey("kvdeadfile\\shell\\open", deadCmd, "open", deadCmd),
        CrKey("kvdeadfile\\shell", ""),
        CrKey("kvdeadicon\\DefaultIcon", kMissing + "icons.dll\",3"),
        CrKey("kvemptyicon\\DefaultIcon", ""),
        CrKey("kvemptyshell\\shell", ""),
        CrKey("kvhandlers\\shell\\none", kMissing + "none.exe", "none", kMissing + "none.exe"),
        CrKey("kvmixed\\shell\\edit", "", "edit", ""),
        CrKey("kvmixed\\shell\\print", kMissing + "print.exe %1", "print", kMissing + "print.exe %1"),
    };
}

std::vector<std::string> ClassIdRows() {
    std::string c = "Software\\Classes\\CLSID\\";
    std::string upperServer = "C:\\KELVOMISSING4711\\SERVER.DLL";
    char systemUpper[MAX_PATH];
    std::snprintf(systemUpper, sizeof systemUpper, "%s\\KELVO-GONE.DLL", SystemFolder().c_str());
    ::CharUpperA(systemUpper);
    std::string tl = "Software\\Classes\\TypeLib\\";
    return {
        LmKey(c + kDeadClsid + "\\InprocServer32", upperServer),
        LmKey(c + kDeadClsid + "\\TypeLib", kUnregisteredTypeLib),
        LmKey(c + kDeadClsid + "\\ProgID", "Kelvo.Gone.1"),
        LmKey(c + kDeadClsid + "\\VersionIndependentProgID", "Kelvo.Gone"),
        LmKey(c + kExpandClsid + "\\InprocServer32", systemUpper),
        LmKey(tl + kGoodTypeLib + "\\2.0\\HelpDir", ""),
        // One row per version whose file is missing, and no HelpDir row for them.
        LmKey(tl + kDeadTypeLib, kDeadTypeLib),
        LmKey(tl + kDeadTypeLib, kDeadTypeLib),
        LmKey("Software\\Classes\\Interface\\{1F000000-0000-0000-0000-000000000001}\\TypeLib", kUnregisteredTypeLib),
    };
}

std::vector<std::string> MachineRows() {
    return {
        Row("HKEY_LOCAL_MACHINE", "Software\\KelvoVendor\\App", "InstallDir", kMissing + "App\\", kMissing + "App\\",
            0, 0x24),
        Row("HKEY_LOCAL_MACHINE", "Software\\Wow6432Node\\KelvoVendor\\App", "a-dead", kMissing + "x86.exe",
            kMissing + "x86.exe", 0, 0x24),
        Row("HKEY_LOCAL_MACHINE", "Software\\Wow6432Node\\KelvoVendor\\App", "b-sys64only",
            SystemFolder() + "\\" + k64Only, SystemFolder() + "\\" + k64Only, 0, 0x24),
        Row("HKEY_LOCAL_MACHINE", kShared, "A:\\FLOPPY.DLL", "1", "A:\\FLOPPY.DLL", 0, 0x24),
        Row("HKEY_LOCAL_MACHINE", kShared, kMissing + "shared.dll", "3", kMissing + "shared.dll", 0, 0x24),
    };
}

template <class... V> std::vector<std::string> Concat(V... parts) {
    std::vector<std::string> out;
    for (const auto& p : {parts...}) out.insert(out.end(), p.begin(), p.end());
    return out;
}

class RegistryScanTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(::CreateDirectoryA((files / "\xCE\xA9mega").c_str(), nullptr));
        ASSERT_TRUE(WriteFileText(files / kOmegaFile, "x"));
        ASSERT_TRUE(WriteFileText(SystemFolder() + "\\" + k64Only, "x"));
        ASSERT_TRUE(WriteFileText(Wow64Folder() + "\\" + k32Only, "x"));
        ::CreateDirectoryA((ProgramFiles32() + "\\KelvoScan32").c_str(), nullptr);
        ASSERT_TRUE(WriteFileText(ProgramFiles32() + "\\" + k32Program, "x"));
        SeedUserHives(files.path());
        SeedClasses();
        SeedMachine();
        // A link in the 32-bit tree to a 64-bit key, as Wine makes for the keys both share:
        // what it points to is met once, where it lies.
        MakeLink(HKEY_LOCAL_MACHINE, "Software\\Wow6432Node\\KelvoLinked", machine.MachinePath() + "\\Software\\KelvoVendor");
    }
    void TearDown() override {
        ::DeleteFileA((SystemFolder() + "\\" + k64Only).c_str());
        ::DeleteFileA((Wow64Folder() + "\\" + k32Only).c_str());
        RemoveTree(ProgramFiles32() + "\\KelvoScan32");
    }
    ScratchDir files {"regscan"};
    ScratchMachine machine;
    FakeList list;
    FakeStatus status;
    RegScanOptions options;
};

}  // namespace

TEST_F(RegistryScanTest, FullScanListsExactlyTheDeadEntries) {
    list.AddRow({"left over"}, 0, 0);
    CancelWhen never;
    CRegistryScan scan(list, never, status, options);
    scan.ScanRegistry();

    std::vector<std::string> expected = Concat(UserHiveRows(), AssociationRows(), ClassIdRows(), MachineRows());
    EXPECT_EQ(expected, list.Lines());
    EXPECT_FALSE(scan.Cancelled());

    std::vector<std::string> messages = {
        "Scanning HKEY_CURRENT_USER for Invalid Entries...",
        "Scanning HKEY_USERS for Invalid Entries...",
        "Scanning File Associations for Invalid Entries...",
        "Scanning Class Identifiers for Invalid Entries...",
        "Scanning Type Library Identifiers for Errors...",
        "Scanning Interface for Errors...",
        "Scanning HKEY_LOCAL_MACHINE for Invalid Entries...",
        "Scanning Shared DLL Paths...",
        "Total Invalid entries found: " + std::to_string(expected.size()),
    };
    EXPECT_EQ(messages, status.messages);
    EXPECT_GT(never.polls, 20);
}

TEST_F(RegistryScanTest, RemovableMediaSwitchOff) {
    options.reportRemovableMedia = false;
    CancelWhen never;
    CRegistryScan scan(list, never, status, options);
    scan.ScanRegistry();
    std::vector<std::string> expected;
    for (const std::string& row : Concat(UserHiveRows(), AssociationRows(), ClassIdRows(), MachineRows()))
        if (row.find("FLOPPY") == std::string::npos && row.find("SETUP.EXE") == std::string::npos)
            expected.push_back(row);
    EXPECT_EQ(expected, list.Lines());
}

TEST_F(RegistryScanTest, EachSwitchRunsItsOwnScan) {
    CancelWhen never;
    {
        options = RegScanOptions();
        options.scanMachineHive = options.scanFileAssociations = options.scanClassIds = false;
        CRegistryScan scan(list, never, status, options);
        scan.ScanRegistry();
        EXPECT_EQ(UserHiveRows(), list.Lines());
    }
    {
        options = RegScanOptions();
        options.scanUserHives = options.scanFileAssociations = options.scanClassIds = false;
        CRegistryScan scan(list, never, status, options);
        scan.ScanRegistry();
        EXPECT_EQ(MachineRows(), list.Lines());
    }
    {
        options = RegScanOptions();
        options.scanUserHives = options.scanMachineHive = options.scanClassIds = false;
        CRegistryScan scan(list, never, status, options);
        scan.ScanRegistry();
        EXPECT_EQ(AssociationRows(), list.Lines());
    }
    {
        options = RegScanOptions();
        options.scanUserHives = options.scanMachineHive = options.scanFileAssociations = false;
        CRegistryScan scan(list, never, status, options);
        scan.ScanRegistry();
        EXPECT_EQ(ClassIdRows(), list.Lines());
    }
}

TEST_F(RegistryScanTest, AllSwitchesOffEmptiesTheListAndReportsZero) {
    list.AddRow({"left over"}, 0, 0);
    options.scanUserHives = options.scanMachineHive = options.scanFileAssociations = options.scanClassIds = false;
    CancelWhen never;
    CRegistryScan scan(list, never, status, options);
    scan.ScanRegistry();
    EXPECT_EQ(0, list.Count());
    std::vector<std::string> messages = {
        "Scanning File Associations for Invalid Entries...",
        "Scanning Class Identifiers for Invalid Entries...",
        "Scanning HKEY_LOCAL_MACHINE for Invalid Entries...",
        "Total Invalid entries found: 0",
    };
    EXPECT_EQ(messages, status.messages);
}

TEST_F(RegistryScanTest, CancelDuringTheUserWalkKeepsTheRowsFound) {
    // The Run key's values are judged together; the next poll (before Software\Zeta) stops.
    CancelWhen atFirstRow([this] { return list.Count() > 0; });
    CRegistryScan scan(list, atFirstRow, status, options);
    scan.ScanRegistry();

    std::vector<std::string> all = UserHiveRows();
    EXPECT_EQ(std::vector<std::string>(all.begin(), all.begin() + 7), list.Lines());
    EXPECT_TRUE(scan.Cancelled());
    std::vector<std::string> messages = {"Scanning HKEY_CURRENT_USER for Invalid Entries...",
                                         "Total Invalid entries found: 7"};
    EXPECT_EQ(messages, status.messages);
}

TEST_F(RegistryScanTest, CancelDuringTheClassIdentifiersSkipsTheLaterPasses) {
    size_t before = UserHiveRows().size() + AssociationRows().size();
    CancelWhen inClassIds([this, before] { return list.Count() > static_cast<int>(before); });
    CRegistryScan scan(list, inClassIds, status, options);
    scan.ScanRegistry();

    // The dead class identifier's four rows come in one check; the next one is never reached.
    std::vector<std::string> classIds = ClassIdRows();
    std::vector<std::string> expected =
        Concat(UserHiveRows(), AssociationRows(), std::vector<std::string>(classIds.begin(), classIds.begin() + 4));
    EXPECT_EQ(expected, list.Lines());
    ASSERT_FALSE(status.messages.empty());
    EXPECT_EQ("Scanning Class Identifiers for Invalid Entries...", status.messages[status.messages.size() - 2]);
    EXPECT_EQ("Total Invalid entries found: " + std::to_string(expected.size()), status.messages.back());
}

TEST_F(RegistryScanTest, UserValuesAreMetTwiceThroughHkeyUsers) {
    // The current user's hive also appears below HKEY_USERS on a real machine: the same dead
    // value then gives two rows. Here the user key below HKEY_USERS is seeded alike.
    SetString(HKEY_USERS, std::string("S-1-5-21-kelvo\\") + kRun, "a-dead", kMissing + "dead.exe /s");
    options.scanMachineHive = options.scanFileAssociations = options.scanClassIds = false;
    CancelWhen never;
    CRegistryScan scan(list, never, status, options);
    scan.ScanRegistry();
    int count = 0;
    for (const auto& r : list.rows)
        if (r.texts[kRegColValueName] == "a-dead") ++count;
    EXPECT_EQ(2, count);
}

TEST_F(RegistryScanTest, OlderWindowsNeverActsOnNamesItsCodePageLoses) {
    // Windows before 10 (1903) runs the program with an ANSI code page: "\xCE\xA9dead" comes back
    // best-fit as the name of its neighbour "Odead", and a folder named in Greek as another one.
    options.scanMachineHive = options.scanFileAssociations = options.scanClassIds = false;
    CancelWhen never;
    CRegistryScan scan(list, never, status, options);
    scan.codePage = 1252;
    scan.ScanRegistry();
    std::vector<std::pair<std::string, DWORD>> rows;
    for (int row = 0; row < list.Count(); ++row)
        if (list.Text(row, kRegColSubKey).compare(0, kUnicodeKey.size(), kUnicodeKey) == 0)
            rows.push_back({list.Text(row, kRegColValueName), list.Data(row)});
    // The rows whose names were lost are listed as not removable; the text through the Greek
    // folder is not judged at all.
    ASSERT_EQ(3u, rows.size());
    EXPECT_EQ(0x62u, rows[0].second);
    EXPECT_EQ((std::pair<std::string, DWORD>("Odead", 0x22)), rows[1]);
    EXPECT_EQ(0x62u, rows[2].second);

    // Removal deletes the real "Odead" and neither the value nor the key whose name was lost.
    ScratchDir undoDir("regscan-undo");
    UndoFile undo;
    ASSERT_TRUE(undo.open(undoDir / "undo.reg"));
    RemovalSummary summary;
    for (int row = list.Count() - 1; row >= 0; --row)
        if (list.Text(row, kRegColSubKey).compare(0, kUnicodeKey.size(), kUnicodeKey) != 0) list.DeleteRow(row);
    EXPECT_TRUE(RemoveFindings(undo, list, false, &summary));
    EXPECT_EQ(1, summary.removed);
    EXPECT_EQ(2, summary.notRemovable);
    EXPECT_FALSE(ValueExists(HKEY_CURRENT_USER, kUnicodeKey, "Odead"));
    EXPECT_TRUE(ValueExists(HKEY_CURRENT_USER, kUnicodeKey, kOmegaDead));
    EXPECT_TRUE(ValueExists(HKEY_CURRENT_USER, kUnicodeKey + "\\" + kCjk, "v"));
}

TEST(RegRoots, NamesImagesAndBits) {
    RegRootInfo info;
    ASSERT_TRUE(GetRegRootInfo(HKEY_USERS, info));
    EXPECT_STREQ("HKEY_USERS", info.name);
    EXPECT_EQ(2, info.image);
    EXPECT_EQ(0x08u, info.bit);
    EXPECT_FALSE(GetRegRootInfo(HKEY_CURRENT_CONFIG, info));
    // The machine bit wins when several are set, as removal reads them.
    EXPECT_EQ(HKEY_LOCAL_MACHINE, RegRootFromFlags(0x04 | 0x02 | 0x10));
    EXPECT_EQ(HKEY_CURRENT_USER, RegRootFromFlags(0x02 | 0x08 | 0x20));
    EXPECT_EQ(HKEY_USERS, RegRootFromFlags(0x08 | 0x01));
    EXPECT_EQ(HKEY_CLASSES_ROOT, RegRootFromFlags(0x01 | 0x10));
    EXPECT_EQ(nullptr, RegRootFromFlags(0x30));
}

// The sandbox machine as Wine installs it: a scan finds nothing but entries whose files are
// really missing. Every other row here would be a false finding on a user's machine.
TEST(StockMachine, FindsOnlyWhatIsReallyMissing) {
    FakeList list;
    FakeStatus status;
    CancelWhen never;
    RegScanOptions options;
    CRegistryScan scan(list, never, status, options);
    scan.ScanRegistry();
    std::vector<std::string> rows;
    for (const std::string& row : list.Lines())
        // Scratch keys of the test programs running beside this one.
        if (row.find("Software\\KelvoTests\\") == std::string::npos) rows.push_back(row);
    // Wine ships no General MIDI sound set.
    std::string gm = SystemFolder() + "\\drivers\\gm.dls";
    EXPECT_EQ((std::vector<std::string> {
                  Row("HKEY_LOCAL_MACHINE", "Software\\Microsoft\\DirectMusic", "GMFilePath", gm, gm, 0, 0x24)}),
              rows);
    EXPECT_FALSE(FileExists(gm));
}
