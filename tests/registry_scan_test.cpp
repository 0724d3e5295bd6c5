// The registry scan over a machine of the test's own: the four roots are redirected to scratch
// keys seeded with exactly the entries each case expects.
#include "registry/regscan.h"
#include "test_support.h"

#include <gtest/gtest.h>

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

std::string SystemFolder() {
    char buf[MAX_PATH];
    ::GetSystemDirectoryA(buf, MAX_PATH);
    return buf;
}

// Values are created in name order, so that the enumeration order is the same whether the
// registry keeps values sorted or in creation order.
void SeedUserHives() {
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

void SeedMachine() {
    HKEY lm = HKEY_LOCAL_MACHINE;
    SetString(lm, "Software\\KelvoVendor\\App", "InstallDir", kMissing + "App\\");
    SetString(lm, "Software\\KelvoVendor\\App", "Web", "http://example.com/kelvo.exe");
    SetDword(lm, kShared, "A:\\FLOPPY.DLL", 1);
    SetDword(lm, kShared, kMissing + "shared.dll", 3);
    SetString(lm, kShared, kMissing + "sz.dll", "1");
    SetDword(lm, kShared, SystemFolder() + "\\ole32.dll", 1);
    SetDword(lm, kShared, "kvrelative.dll", 1);
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
        SeedUserHives();
        SeedClasses();
        SeedMachine();
    }
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
