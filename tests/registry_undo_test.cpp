// The undo file's exact format, removal of registry rows through it, and the round trip: what
// was removed comes back byte for byte when the registry editor imports the undo file.
#include "framework/strings.h"
#include "registry/regremove.h"
#include "registry/regscan.h"
#include "registry/undofile.h"
#include "resource.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <map>
#include <sstream>

namespace {

class FakeList : public IResultList {
public:
    struct Row {
        std::vector<std::string> texts;
        DWORD data;
        bool selected;
    };
    std::vector<Row> rows;

    void Add(const std::string& root, const std::string& key, const std::string& value, DWORD flags,
             bool selected = false) {
        rows.push_back({{root, key, value, "", ""}, flags, selected});
    }
    int AddRow(const std::vector<std::string>& texts, int, DWORD data) override {
        rows.push_back({texts, data, false});
        rows.back().texts.resize(5);
        return Count() - 1;
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
};

class FakeStatus : public IStatusSink {
public:
    std::vector<std::string> notes;
    void SetStatusText(const std::string&, int) override {}
    void ShowNotifierText(const std::string& text) override { notes.push_back(text); }
};

std::string Bytes(std::initializer_list<int> b) {
    std::string s;
    for (int x : b) s.push_back(static_cast<char>(x));
    return s;
}
std::string Data(DWORD type, const std::string& bytes) {
    return FormatRegData(type, reinterpret_cast<const BYTE*>(bytes.data()), static_cast<DWORD>(bytes.size()));
}
std::string Counting(int n) {
    std::string s;
    for (int i = 0; i < n; ++i) s.push_back(static_cast<char>(i));
    return s;
}
std::string HexList(int from, int to) {
    std::string s;
    for (int i = from; i < to; ++i) s += Format("%02x,", i);
    return s;
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

std::vector<std::string> FilesIn(const std::string& folder) {
    std::vector<std::string> out;
    WIN32_FIND_DATAA fd;
    HANDLE f = ::FindFirstFileA((folder + "\\*").c_str(), &fd);
    if (f == INVALID_HANDLE_VALUE) return out;
    do {
        if (!(fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) out.push_back(fd.cFileName);
    } while (::FindNextFileA(f, &fd));
    ::FindClose(f);
    return out;
}

size_t CountOf(const std::string& text, const std::string& what) {
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

// Keeps a case clear of a minute change, so that its removals share one undo file.
void AwayFromMinuteEnd() {
    SYSTEMTIME t;
    ::GetLocalTime(&t);
    if (t.wSecond >= 50) ::Sleep((61 - t.wSecond) * 1000);
}

void SetValue(HKEY root, const std::string& key, const std::string& name, DWORD type, const std::string& bytes) {
    HKEY k = nullptr;
    ASSERT_EQ(ERROR_SUCCESS,
              ::RegCreateKeyExA(root, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k, nullptr));
    ASSERT_EQ(ERROR_SUCCESS, ::RegSetValueExA(k, name.c_str(), 0, type, reinterpret_cast<const BYTE*>(bytes.data()),
                                              static_cast<DWORD>(bytes.size())));
    ::RegCloseKey(k);
}
void SetString(HKEY root, const std::string& key, const std::string& name, const std::string& text,
               DWORD type = REG_SZ) {
    SetValue(root, key, name, type, text + std::string(1, '\0'));
}
void MakeKey(HKEY root, const std::string& key) {
    HKEY k = nullptr;
    ASSERT_EQ(ERROR_SUCCESS,
              ::RegCreateKeyExA(root, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k, nullptr));
    ::RegCloseKey(k);
}
bool KeyExists(HKEY root, const std::string& key) {
    HKEY k = nullptr;
    if (::RegOpenKeyExA(root, key.c_str(), 0, KEY_READ, &k) != ERROR_SUCCESS) return false;
    ::RegCloseKey(k);
    return true;
}

// Every key below a key (relative paths, the key itself as "") with its values' types and bytes.
struct Value {
    DWORD type;
    std::string bytes;
    bool operator==(const Value& o) const { return type == o.type && bytes == o.bytes; }
};
using Snapshot = std::map<std::string, std::map<std::string, Value>>;

void Snap(HKEY root, const std::string& path, const std::string& rel, Snapshot& out) {
    HKEY k = nullptr;
    if (::RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &k) != ERROR_SUCCESS) return;
    auto& values = out[rel];
    DWORD maxName = 0, maxData = 0;
    ::RegQueryInfoKeyA(k, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &maxName, &maxData, nullptr,
                       nullptr);
    for (DWORD i = 0;; ++i) {
        std::string name(maxName + 1, '\0');
        std::string data(maxData + 1, '\0');
        DWORD nameLen = maxName + 1, size = maxData + 1, type = 0;
        if (::RegEnumValueA(k, i, &name[0], &nameLen, nullptr, &type, reinterpret_cast<BYTE*>(&data[0]), &size) !=
            ERROR_SUCCESS)
            break;
        values[name.substr(0, nameLen)] = {type, data.substr(0, size)};
    }
    for (DWORD i = 0;; ++i) {
        char sub[256];
        DWORD len = sizeof sub;
        if (::RegEnumKeyExA(k, i, sub, &len, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        Snap(root, path + "\\" + sub, rel.empty() ? std::string(sub) : rel + "\\" + sub, out);
    }
    ::RegCloseKey(k);
}

std::string Describe(const Snapshot& s) {
    std::string out;
    for (const auto& key : s) {
        out += "[" + key.first + "]\n";
        for (const auto& v : key.second) {
            out += "  " + v.first.substr(0, 40) + " type " + std::to_string(v.second.type) + " size " +
                   std::to_string(v.second.bytes.size()) + "\n";
        }
    }
    return out;
}


// HKEY_CURRENT_USER redirected to a scratch key, so that cases can use the paths they name.
class RedirectedUser {
public:
    RedirectedUser() : base_("undouser") {
        ::RegOpenKeyExA(HKEY_CURRENT_USER, base_.path().c_str(), 0, KEY_ALL_ACCESS, &key_);
        ::RegOverridePredefKey(HKEY_CURRENT_USER, key_);
    }
    ~RedirectedUser() {
        ::RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
        ::RegCloseKey(key_);
    }

private:
    ScratchKey base_;
    HKEY key_ = nullptr;
};

const char kHeader[] = "REGEDIT4\r\n\r\n";

}  // namespace

TEST(UndoFileName, LocalTimeToTheMinute) {
    std::tm t {};
    t.tm_year = 2026 - 1900;
    t.tm_mon = 11;
    t.tm_mday = 4;
    t.tm_hour = 17;
    t.tm_min = 5;
    EXPECT_EQ("04 Dec 2026 05 05 PM.reg", MakeUndoFileName(t));
    t.tm_mon = 0;
    t.tm_mday = 1;
    t.tm_hour = 0;
    t.tm_min = 0;
    EXPECT_EQ("01 Jan 2026 12 00 AM.reg", MakeUndoFileName(t));
    t.tm_hour = 12;
    t.tm_min = 59;
    EXPECT_EQ("01 Jan 2026 12 59 PM.reg", MakeUndoFileName(t));
}

TEST(FormatRegData, StringsAndNumbers) {
    EXPECT_EQ("\"C:\\\\Old\\\\app.exe\"\n", Data(REG_SZ, std::string("C:\\Old\\app.exe") + '\0'));
    EXPECT_EQ("\"say \\\"hi\\\" \\\\\\\\srv\"\n", Data(REG_SZ, std::string("say \"hi\" \\\\srv") + '\0'));
    EXPECT_EQ("\"\"\n", Data(REG_SZ, std::string(1, '\0')));
    // Text without its terminating zero is written as the text.
    EXPECT_EQ("\"abc\"\n", Data(REG_SZ, "abc"));
    EXPECT_EQ("dword:00000001\n", Data(REG_DWORD, Bytes({1, 0, 0, 0})));
    EXPECT_EQ("dword:deadbeef\n", Data(REG_DWORD, Bytes({0xef, 0xbe, 0xad, 0xde})));
    EXPECT_EQ("hex(2):25,58,25,00,\n", Data(REG_EXPAND_SZ, std::string("%X%") + '\0'));
    EXPECT_EQ("hex(7):61,00,62,00,00,\n", Data(REG_MULTI_SZ, std::string("a\0b\0\0", 5)));
    EXPECT_EQ("hex(8):01,\n", Data(REG_RESOURCE_LIST, Bytes({1})));
    EXPECT_EQ("hex(9):01,\n", Data(REG_FULL_RESOURCE_DESCRIPTOR, Bytes({1})));
}

TEST(FormatRegData, BinaryLines) {
    EXPECT_EQ("hex:\n", Data(REG_BINARY, ""));
    EXPECT_EQ("hex:" + HexList(0, 21) + "\n", Data(REG_BINARY, Counting(21)));
    // The first line carries 22 bytes; no continuation when nothing follows.
    EXPECT_EQ("hex:" + HexList(0, 22) + "\n", Data(REG_BINARY, Counting(22)));
    EXPECT_EQ("hex:" + HexList(0, 22) + "\\\n16,\n", Data(REG_BINARY, Counting(23)));
    EXPECT_EQ("hex:" + HexList(0, 22) + "\\\n" + HexList(22, 43) + "\n", Data(REG_BINARY, Counting(43)));
    EXPECT_EQ("hex:" + HexList(0, 22) + "\\\n" + HexList(22, 43) + "\\\n2b,\n", Data(REG_BINARY, Counting(44)));
}

TEST(FormatRegData, EveryOtherTypeKeepsItsBytes) {
    EXPECT_EQ("hex(0):01,02,\n", Data(REG_NONE, Bytes({1, 2})));
    EXPECT_EQ("hex(0):\n", Data(REG_NONE, ""));
    EXPECT_EQ("hex(5):00,00,00,01,\n", Data(REG_DWORD_BIG_ENDIAN, Bytes({0, 0, 0, 1})));
    EXPECT_EQ("hex(6):5c,00,\n", Data(REG_LINK, Bytes({0x5c, 0})));
    // The registry editor reads the type in hexadecimal: 10 is "a", 11 (a QWORD) is "b".
    EXPECT_EQ("hex(a):01,\n", Data(REG_RESOURCE_REQUIREMENTS_LIST, Bytes({1})));
    EXPECT_EQ("hex(b):01,00,00,00,00,00,00,00,\n", Data(REG_QWORD, Bytes({1, 0, 0, 0, 0, 0, 0, 0})));
    EXPECT_EQ("hex(1234):ff,\n", Data(0x1234, Bytes({0xff})));
    // Forms that would not give the bytes back.
    EXPECT_EQ("hex(4):01,02,03,\n", Data(REG_DWORD, Bytes({1, 2, 3})));
    EXPECT_EQ("hex(1):61,0d,0a,62,00,\n", Data(REG_SZ, std::string("a\r\nb") + '\0'));
    EXPECT_EQ("hex(1):61,00,62,00,\n", Data(REG_SZ, std::string("a\0b\0", 4)));
}

TEST(FormatRegValueName, DefaultAndEscapedNames) {
    EXPECT_EQ("@ = ", FormatRegValueName(""));
    EXPECT_EQ("\"Path\" = ", FormatRegValueName("Path"));
    EXPECT_EQ("\"C:\\\\WINDOWS\\\\X.DLL\" = ", FormatRegValueName("C:\\WINDOWS\\X.DLL"));
    EXPECT_EQ("\"a\\\"b\" = ", FormatRegValueName("a\"b"));
}

TEST(UndoFileContent, ExactLinesOfOneRemoval) {
    ScratchDir dir("undoexact");
    RedirectedUser user;
    SetString(HKEY_CURRENT_USER, "Software\\Vendor\\App", "Path", "C:\\Old\\app.exe");
    SetString(HKEY_CURRENT_USER, "Software\\Vendor\\App", "", "default text");
    SetValue(HKEY_CURRENT_USER, "Software\\Vendor\\App", "Count", REG_DWORD, Bytes({1, 0, 0, 0}));
    FakeList list;
    list.Add("HKEY_CURRENT_USER", "Software\\Vendor\\App", "Path", 0x22);
    list.Add("HKEY_CURRENT_USER", "Software\\Vendor\\App", "", 0x22);
    list.Add("HKEY_CURRENT_USER", "Software\\Vendor\\App", "Count", 0x22);

    std::string path = dir / "undo.reg";
    {
        UndoFile undo;
        ASSERT_TRUE(undo.open(path));
        for (int row = 0; row < 3; ++row) EXPECT_TRUE(RemoveRegFinding(undo, list, row));
    }
    EXPECT_EQ(std::string(kHeader) +
                  "\r\n[HKEY_CURRENT_USER\\Software\\Vendor\\App]\r\n\"Path\" = \"C:\\\\Old\\\\app.exe\"\r\n"
                  "\r\n[HKEY_CURRENT_USER\\Software\\Vendor\\App]\r\n@ = \"default text\"\r\n"
                  "\r\n[HKEY_CURRENT_USER\\Software\\Vendor\\App]\r\n\"Count\" = dword:00000001\r\n",
              ReadFile(path));
    EXPECT_FALSE(ValueExists(HKEY_CURRENT_USER, "Software\\Vendor\\App", "Path"));
    EXPECT_FALSE(ValueExists(HKEY_CURRENT_USER, "Software\\Vendor\\App", ""));
    EXPECT_FALSE(ValueExists(HKEY_CURRENT_USER, "Software\\Vendor\\App", "Count"));
    // The key itself stays.
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, "Software\\Vendor\\App"));
}

TEST(UndoFileContent, KeyExportIsDeepestFirstWithTheDefaultTwice) {
    ScratchDir dir("undokey");
    RedirectedUser user;
    SetString(HKEY_CURRENT_USER, "Software\\K", "", "top");
    SetString(HKEY_CURRENT_USER, "Software\\K\\A\\Deep", "v", "1");
    MakeKey(HKEY_CURRENT_USER, "Software\\K\\B");
    FakeList list;
    list.Add("HKEY_CURRENT_USER", "Software\\K", "", 0x12);
    std::string path = dir / "undo.reg";
    {
        UndoFile undo;
        ASSERT_TRUE(undo.open(path));
        EXPECT_TRUE(RemoveRegFinding(undo, list, 0));
    }
    EXPECT_EQ(std::string(kHeader) +
                  "\r\n[HKEY_CURRENT_USER\\Software\\K\\A\\Deep]\r\n"
                  "\r\n[HKEY_CURRENT_USER\\Software\\K\\A\\Deep]\r\n\"v\" = \"1\"\r\n"
                  "\r\n[HKEY_CURRENT_USER\\Software\\K\\A]\r\n"
                  "\r\n[HKEY_CURRENT_USER\\Software\\K\\B]\r\n"
                  "\r\n[HKEY_CURRENT_USER\\Software\\K]\r\n@ = \"top\"\r\n"
                  "\r\n[HKEY_CURRENT_USER\\Software\\K]\r\n@ = \"top\"\r\n",
              ReadFile(path));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, "Software\\K"));
}

TEST(UndoFileContent, VanishedAndNestedFindings) {
    ScratchDir dir("undonested");
    RedirectedUser user;
    SetString(HKEY_CURRENT_USER, "Software\\C\\shell\\open\\command", "", "x");
    FakeList list;
    // A value that is gone leaves its key line only; a key deleted with its parent, nothing.
    list.Add("HKEY_CURRENT_USER", "Software\\C", "gone", 0x22);
    list.Add("HKEY_CURRENT_USER", "Software\\C\\shell", "", 0x12);
    list.Add("HKEY_CURRENT_USER", "Software\\C\\shell\\open", "open", 0x12);
    // A root is never exported nor deleted.
    list.Add("HKEY_CURRENT_USER", "", "", 0x12);
    std::string path = dir / "undo.reg";
    {
        UndoFile undo;
        ASSERT_TRUE(undo.open(path));
        for (int row = 0; row < list.Count(); ++row) EXPECT_TRUE(RemoveRegFinding(undo, list, row));
    }
    EXPECT_EQ(std::string(kHeader) +
                  "\r\n[HKEY_CURRENT_USER\\Software\\C]\r\n"
                  "\r\n[HKEY_CURRENT_USER\\Software\\C\\shell\\open\\command]\r\n@ = \"x\"\r\n"
                  "\r\n[HKEY_CURRENT_USER\\Software\\C\\shell\\open\\command]\r\n@ = \"x\"\r\n"
                  "\r\n[HKEY_CURRENT_USER\\Software\\C\\shell\\open]\r\n"
                  "\r\n[HKEY_CURRENT_USER\\Software\\C\\shell]\r\n",
              ReadFile(path));
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, "Software\\C"));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, "Software\\C\\shell"));
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, "Software"));
}

TEST(UndoRoundTrip, RegeditRestoresEveryKeyAndValue) {
    ScratchKey base("roundtrip");
    ScratchDir dir("roundtrip");
    HKEY cu = HKEY_CURRENT_USER;
    std::string tree = base.path() + "\\Tree";
    std::string values = base.path() + "\\Values";
    std::string multi("first\0second \"q\"\0C:\\third\\\0\0", 29);
    std::string big;
    for (int i = 0; i < 1000; ++i) big.push_back(static_cast<char>(i * 7));

    for (const std::string& key : {tree, values}) {
        SetString(cu, key, "", "default \"value\"");
        SetString(cu, key, "sz", "C:\\Old\\\"quoted\" \\\\server\\share\\ caf\xe9");
        SetString(cu, key, "sz empty", "");
        SetString(cu, key, "sz lines", "line1\r\nline2");
        SetString(cu, key, "expand", "%SystemRoot%\\x;%PATH%", REG_EXPAND_SZ);
        SetValue(cu, key, "multi", REG_MULTI_SZ, multi);
        SetValue(cu, key, "bin empty", REG_BINARY, "");
        SetValue(cu, key, "bin21", REG_BINARY, Counting(21));
        SetValue(cu, key, "bin22", REG_BINARY, Counting(22));
        SetValue(cu, key, "bin23", REG_BINARY, Counting(23));
        SetValue(cu, key, "bin43", REG_BINARY, Counting(43));
        SetValue(cu, key, "bin big", REG_BINARY, big);
        SetValue(cu, key, "dword", REG_DWORD, Bytes({1, 0, 0, 0}));
        SetValue(cu, key, "dword max", REG_DWORD, Bytes({0xff, 0xff, 0xff, 0xff}));
        SetValue(cu, key, "none", REG_NONE, Bytes({1, 2, 3}));
        SetValue(cu, key, "big endian", REG_DWORD_BIG_ENDIAN, Bytes({0, 0, 0, 7}));
        SetValue(cu, key, "link", REG_LINK, Bytes({0x5c, 0, 0x41, 0}));
        SetValue(cu, key, "resource list", REG_RESOURCE_LIST, Bytes({1, 2}));
        SetValue(cu, key, "full descriptor", REG_FULL_RESOURCE_DESCRIPTOR, Bytes({3, 4}));
        SetValue(cu, key, "requirements", REG_RESOURCE_REQUIREMENTS_LIST, Bytes({5, 6}));
        SetValue(cu, key, "qword", REG_QWORD, Bytes({1, 2, 3, 4, 5, 6, 7, 8}));
        SetValue(cu, key, "odd type", 0x1234, Bytes({9}));
        SetValue(cu, key, "C:\\Shared\\name \"q\".dll", REG_DWORD, Bytes({2, 0, 0, 0}));
        SetString(cu, key, std::string(300, 'n'), "long name");
    }
    SetString(cu, tree + "\\Child", "child value", "c");
    SetString(cu, tree + "\\Child\\Grand Child", "", "g");
    MakeKey(cu, tree + "\\Empty Key");

    Snapshot before;
    Snap(cu, base.path(), "", before);
    ASSERT_EQ(6u, before.size());
    ASSERT_EQ(24u, before["Values"].size());

    FakeList list;
    list.Add("HKEY_CURRENT_USER", tree, "", 0x12, true);
    for (const auto& v : before["Values"]) list.Add("HKEY_CURRENT_USER", values, v.first, 0x22, true);
    ScriptedPrompter prompter;
    prompter.answers = {IDYES};
    FakeStatus status;
    AwayFromMinuteEnd();
    RemoveSelectedEntries(list, status, dir.path());
    EXPECT_EQ(0, list.Count());
    ASSERT_EQ(1u, prompter.asked.size());

    Snapshot removed;
    Snap(cu, base.path(), "", removed);
    ASSERT_EQ(2u, removed.size()) << Describe(removed);
    EXPECT_TRUE(removed["Values"].empty());

    std::vector<std::string> files = FilesIn(dir.path());
    ASSERT_EQ(1u, files.size());
    EXPECT_EQ(0u, ImportWithRegedit(dir / files[0]));

    Snapshot after;
    Snap(cu, base.path(), "", after);
    EXPECT_EQ(Describe(before), Describe(after));
    for (const auto& key : before) {
        for (const auto& v : key.second) {
            auto found = after[key.first].find(v.first);
            ASSERT_NE(found, after[key.first].end()) << key.first << " / " << v.first;
            EXPECT_EQ(v.second.type, found->second.type) << key.first << " / " << v.first;
            EXPECT_EQ(v.second.bytes, found->second.bytes) << key.first << " / " << v.first;
        }
    }
}

TEST(RemoveCommands, NothingToRemoveAsksNothing) {
    ScratchDir dir("removenone");
    ScriptedPrompter prompter;
    FakeStatus status;
    FakeList list;
    RemoveAllEntries(list, status, dir.path());
    list.Add("HKEY_CURRENT_USER", "Software\\X", "v", 0x22);
    RemoveSelectedEntries(list, status, dir.path());
    EXPECT_EQ((std::vector<std::string> {"List Empty.", "Please select item(s)"}), status.notes);
    EXPECT_TRUE(prompter.asked.empty());
    EXPECT_TRUE(FilesIn(dir.path()).empty());
    EXPECT_EQ(1, list.Count());
}

TEST(RemoveCommands, AnsweringNoRemovesNothing) {
    ScratchDir dir("removeno");
    ScratchKey key("removeno");
    SetString(HKEY_CURRENT_USER, key.path(), "v", "x");
    ScriptedPrompter prompter;
    prompter.answers = {IDNO, IDNO};
    FakeStatus status;
    FakeList list;
    list.Add("HKEY_CURRENT_USER", key.path(), "v", 0x22, true);
    RemoveSelectedEntries(list, status, dir.path());
    RemoveAllEntries(list, status, dir.path());
    ASSERT_EQ(2u, prompter.asked.size());
    EXPECT_EQ("Are you sure you want to remove the selected item(s)?", prompter.asked[0].text);
    EXPECT_EQ(static_cast<UINT>(MB_YESNO | MB_ICONQUESTION), prompter.asked[0].type);
    EXPECT_EQ("Are you sure you want to remove all the item(s)?", prompter.asked[1].text);
    EXPECT_EQ(static_cast<UINT>(MB_YESNO | MB_ICONQUESTION), prompter.asked[1].type);
    EXPECT_EQ((std::vector<std::string> {LoadStr(IDS_BACKUP_HINT)}), status.notes);
    EXPECT_EQ(1, list.Count());
    EXPECT_TRUE(ValueExists(HKEY_CURRENT_USER, key.path(), "v"));
    EXPECT_TRUE(FilesIn(dir.path()).empty());
}

TEST(RemoveCommands, SelectedRowsOnlyAndTwoRemovalsShareTheMinutesFile) {
    ScratchDir dir("removesel");
    ScratchKey key("removesel");
    for (const char* v : {"a", "b", "c", "d"}) SetString(HKEY_CURRENT_USER, key.path(), v, v);
    FakeList list;
    for (const char* v : {"a", "b", "c", "d"}) list.Add("HKEY_CURRENT_USER", key.path(), v, 0x22);
    list.rows[1].selected = list.rows[3].selected = true;
    ScriptedPrompter prompter;
    prompter.answers = {IDYES, IDYES};
    FakeStatus status;
    AwayFromMinuteEnd();
    RemoveSelectedEntries(list, status, dir.path());
    ASSERT_EQ(2, list.Count());
    EXPECT_EQ("a", list.Text(0, kRegColValueName));
    EXPECT_EQ("c", list.Text(1, kRegColValueName));
    list.rows[0].selected = true;
    RemoveSelectedEntries(list, status, dir.path());
    EXPECT_EQ(1, list.Count());

    EXPECT_FALSE(ValueExists(HKEY_CURRENT_USER, key.path(), "a"));
    EXPECT_FALSE(ValueExists(HKEY_CURRENT_USER, key.path(), "b"));
    EXPECT_TRUE(ValueExists(HKEY_CURRENT_USER, key.path(), "c"));
    EXPECT_FALSE(ValueExists(HKEY_CURRENT_USER, key.path(), "d"));

    std::vector<std::string> files = FilesIn(dir.path());
    ASSERT_EQ(1u, files.size());
    EXPECT_EQ(MakeUndoFileName(), files[0]);
    std::string text = ReadFile(dir / files[0]);
    EXPECT_EQ(2u, CountOf(text, "REGEDIT4\r\n\r\n"));
    std::string keyLine = "\r\n[HKEY_CURRENT_USER\\" + key.path() + "]\r\n";
    EXPECT_EQ(std::string(kHeader) + keyLine + "\"b\" = \"b\"\r\n" + keyLine + "\"d\" = \"d\"\r\n" + kHeader +
                  keyLine + "\"a\" = \"a\"\r\n",
              text);
    // No message after "Remove Selected".
    EXPECT_EQ(2u, prompter.asked.size());
}

TEST(RemoveCommands, RemoveAllTellsWhereTheUndoFileIs) {
    ScratchDir dir("removeall");
    ScratchKey key("removeall");
    SetString(HKEY_CURRENT_USER, key.path() + "\\Sub", "v", "x");
    SetString(HKEY_CURRENT_USER, key.path(), "w", "y");
    FakeList list;
    list.Add("HKEY_CURRENT_USER", key.path() + "\\Sub", "", 0x12);
    list.Add("HKEY_CURRENT_USER", key.path(), "w", 0x22);
    ScriptedPrompter prompter;
    prompter.answers = {IDYES};
    FakeStatus status;
    RemoveAllEntries(list, status, dir.path());
    EXPECT_EQ(0, list.Count());
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, key.path() + "\\Sub"));
    EXPECT_FALSE(ValueExists(HKEY_CURRENT_USER, key.path(), "w"));
    ASSERT_EQ(2u, prompter.asked.size());
    // A folder other than the program's own is named.
    EXPECT_EQ("Undo information has been saved in " + dir.path() + "\ndouble-click on it to undo the changes made now",
              prompter.asked[1].text);
    EXPECT_EQ(static_cast<UINT>(MB_OK), prompter.asked[1].type);
    EXPECT_EQ(1u, FilesIn(dir.path()).size());
}

TEST(RemoveCommands, NoUndoFileNoDeletion) {
    ScratchKey key("noundo");
    SetString(HKEY_CURRENT_USER, key.path(), "v", "x");
    MakeKey(HKEY_CURRENT_USER, key.path() + "\\Sub");
    const std::string missingFolder = "C:\\KelvoMissingFolder4711\\deeper";
    for (bool all : {false, true}) {
        FakeList list;
        list.Add("HKEY_CURRENT_USER", key.path(), "v", 0x22, true);
        list.Add("HKEY_CURRENT_USER", key.path() + "\\Sub", "", 0x12, true);
        ScriptedPrompter prompter;
        prompter.answers = {IDYES};
        FakeStatus status;
        if (all) RemoveAllEntries(list, status, missingFolder);
        else RemoveSelectedEntries(list, status, missingFolder);
        ASSERT_EQ(2u, prompter.asked.size());
        EXPECT_NE(std::string::npos, prompter.asked[1].text.find("The undo file could not be written"));
        EXPECT_NE(std::string::npos, prompter.asked[1].text.find("Nothing has been removed."));
        EXPECT_EQ(static_cast<UINT>(MB_OK | MB_ICONSTOP), prompter.asked[1].type);
        EXPECT_EQ(2, list.Count());
        EXPECT_TRUE(ValueExists(HKEY_CURRENT_USER, key.path(), "v"));
        EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, key.path() + "\\Sub"));
    }
}

// A disk that fills up after a number of writes.
class FailingUndoFile : public UndoFile {
public:
    explicit FailingUndoFile(int writesLeft) : writesLeft_(writesLeft) {}

protected:
    bool Write(const std::string& text) override { return writesLeft_-- > 0 && UndoFile::Write(text); }

private:
    int writesLeft_;
};

TEST(RemoveCommands, AFailedWriteStopsBeforeTheDeletion) {
    ScratchDir dir("writefail");
    ScratchKey key("writefail");
    SetString(HKEY_CURRENT_USER, key.path(), "a", "x");
    SetString(HKEY_CURRENT_USER, key.path(), "b", "y");
    SetString(HKEY_CURRENT_USER, key.path() + "\\Tree\\Deep", "v", "1");
    SetString(HKEY_CURRENT_USER, key.path() + "\\Tree", "w", "2");
    FakeList list;
    list.Add("HKEY_CURRENT_USER", key.path(), "a", 0x22, true);
    list.Add("HKEY_CURRENT_USER", key.path(), "b", 0x22, true);
    list.Add("HKEY_CURRENT_USER", key.path() + "\\Tree", "", 0x12, true);

    // The header and the first entry get through, the second entry does not.
    FailingUndoFile undo(2);
    ASSERT_TRUE(undo.open(dir / "undo.reg"));
    EXPECT_FALSE(RemoveFindings(undo, list, true));
    EXPECT_FALSE(ValueExists(HKEY_CURRENT_USER, key.path(), "a"));
    EXPECT_TRUE(ValueExists(HKEY_CURRENT_USER, key.path(), "b"));
    ASSERT_EQ(2, list.Count());
    EXPECT_EQ("b", list.Text(0, kRegColValueName));

    // A key whose export breaks off halfway is not deleted either.
    list.rows.erase(list.rows.begin());
    FailingUndoFile keyUndo(3);
    ASSERT_TRUE(keyUndo.open(dir / "undo2.reg"));
    EXPECT_FALSE(RemoveFindings(keyUndo, list, false));
    EXPECT_TRUE(ValueExists(HKEY_CURRENT_USER, key.path() + "\\Tree\\Deep", "v"));
    EXPECT_TRUE(ValueExists(HKEY_CURRENT_USER, key.path() + "\\Tree", "w"));
    EXPECT_EQ(1, list.Count());
    undo.close();
    keyUndo.close();
    std::string keyLine = "\r\n[HKEY_CURRENT_USER\\" + key.path() + "]\r\n";
    EXPECT_EQ(std::string(kHeader) + keyLine + "\"a\" = \"x\"\r\n", ReadFile(dir / "undo.reg"));

    // With a sound file, the same rows go.
    UndoFile good;
    ASSERT_TRUE(good.open(dir / "undo3.reg"));
    EXPECT_TRUE(RemoveFindings(good, list, false));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, key.path() + "\\Tree"));
    EXPECT_EQ(0, list.Count());
}

TEST(BackupCommand, ReportsAMissingRegistryChecker) {
    char windows[MAX_PATH];
    ::GetWindowsDirectoryA(windows, MAX_PATH);
    if (FileExists(std::string(windows) + "\\scanregw.exe")) GTEST_SKIP() << "this system has scanregw.exe";
    ScriptedPrompter prompter;
    BackupRegistry();
    ASSERT_EQ(1u, prompter.asked.size());
    EXPECT_EQ("Backup failed. Make sure scanregw.exe exists in your system\nThis may not be there if you have Windows NT/2K/XP",
              prompter.asked[0].text);
    EXPECT_EQ(static_cast<UINT>(MB_OK), prompter.asked[0].type);
}
