// The undo file's exact format, removal of registry rows through it, and the round trip: what
// was removed comes back byte for byte when the registry editor imports the undo file.
#include "core/codepage.h"
#include "framework/strings.h"
#include "registry/regremove.h"
#include "registry/regscan.h"
#include "registry/undofile.h"
#include "resource.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <sddl.h>

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
std::string U8(const std::wstring& w) {
    std::string out;
    NarrowName(w, out, CP_UTF8);
    return out;
}
std::wstring W(const std::string& s) { return WideName(s, CP_UTF8); }
// The raw bytes of a wide text, its terminating zero included.
std::string Wire(const std::wstring& text) {
    return std::string(reinterpret_cast<const char*>(text.c_str()), (text.size() + 1) * sizeof(wchar_t));
}
std::string Data(DWORD type, const std::string& bytes) {
    return U8(FormatRegData(type, reinterpret_cast<const BYTE*>(bytes.data()), static_cast<DWORD>(bytes.size())));
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
// An undo file as UTF-8 text, its byte order mark checked and left out.
std::string ReadUndoFile(const std::string& path) {
    std::string raw = ReadFile(path);
    if (raw.size() < 2 || raw.size() % 2 || raw.compare(0, 2, "\xFF\xFE") != 0) return "<not UTF-16LE: " + raw + ">";
    std::wstring text(raw.size() / 2 - 1, L'\0');
    std::memcpy(&text[0], raw.data() + 2, raw.size() - 2);
    return U8(text);
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

// Keeps a case clear of a minute change, so that its removals share one undo file.
void AwayFromMinuteEnd() {
    SYSTEMTIME t;
    ::GetLocalTime(&t);
    if (t.wSecond >= 50) ::Sleep((61 - t.wSecond) * 1000);
}

// Wide calls throughout, so that names and bytes are the registry's own.
void SetValue(HKEY root, const std::string& key, const std::string& name, DWORD type, const std::string& bytes) {
    HKEY k = nullptr;
    ASSERT_EQ(ERROR_SUCCESS,
              ::RegCreateKeyExW(root, W(key).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k, nullptr));
    ASSERT_EQ(ERROR_SUCCESS, ::RegSetValueExW(k, W(name).c_str(), 0, type, reinterpret_cast<const BYTE*>(bytes.data()),
                                              static_cast<DWORD>(bytes.size())));
    ::RegCloseKey(k);
}
void SetString(HKEY root, const std::string& key, const std::string& name, const std::string& text,
               DWORD type = REG_SZ) {
    SetValue(root, key, name, type, Wire(W(text)));
}
void MakeKey(HKEY root, const std::string& key) {
    HKEY k = nullptr;
    ASSERT_EQ(ERROR_SUCCESS,
              ::RegCreateKeyExW(root, W(key).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k, nullptr));
    ::RegCloseKey(k);
}
bool KeyExists(HKEY root, const std::string& key) {
    HKEY k = nullptr;
    if (::RegOpenKeyExW(root, W(key).c_str(), 0, KEY_READ, &k) != ERROR_SUCCESS) return false;
    ::RegCloseKey(k);
    return true;
}
bool HasValue(HKEY root, const std::string& key, const std::string& name) {
    HKEY k = nullptr;
    if (::RegOpenKeyExW(root, W(key).c_str(), 0, KEY_READ, &k) != ERROR_SUCCESS) return false;
    LONG rc = ::RegQueryValueExW(k, W(name).c_str(), nullptr, nullptr, nullptr, nullptr);
    ::RegCloseKey(k);
    return rc == ERROR_SUCCESS;
}
// Sets a key's access list (SDDL); the test's own rights to change it again are kept in it.
void SetKeyAccess(HKEY root, const std::string& key, const char* sddl) {
    HKEY k = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, ::RegOpenKeyExW(root, W(key).c_str(), 0, WRITE_DAC, &k));
    PSECURITY_DESCRIPTOR sd = nullptr;
    ASSERT_TRUE(::ConvertStringSecurityDescriptorToSecurityDescriptorA(sddl, SDDL_REVISION_1, &sd, nullptr));
    EXPECT_EQ(ERROR_SUCCESS, ::RegSetKeySecurity(k, DACL_SECURITY_INFORMATION, sd));
    ::LocalFree(sd);
    ::RegCloseKey(k);
}
const char kFullAccess[] = "D:P(A;;KA;;;WD)";

// Every key below a key (relative paths, the key itself as "") with its values' types and bytes:
// an export of the key that compares byte for byte.
struct Value {
    DWORD type;
    std::string bytes;
    bool operator==(const Value& o) const { return type == o.type && bytes == o.bytes; }
};
using Snapshot = std::map<std::wstring, std::map<std::wstring, Value>>;

void Snap(HKEY root, const std::wstring& path, const std::wstring& rel, Snapshot& out) {
    HKEY k = nullptr;
    if (::RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &k) != ERROR_SUCCESS) return;
    auto& values = out[rel];
    std::vector<wchar_t> name(16384);
    std::vector<BYTE> data(1 << 16);
    for (DWORD i = 0;; ++i) {
        DWORD nameLen = 16384, size = static_cast<DWORD>(data.size()), type = 0;
        if (::RegEnumValueW(k, i, name.data(), &nameLen, nullptr, &type, data.data(), &size) != ERROR_SUCCESS) break;
        values[std::wstring(name.data(), nameLen)] = {type, std::string(reinterpret_cast<char*>(data.data()), size)};
    }
    for (DWORD i = 0;; ++i) {
        wchar_t sub[256];
        DWORD len = 256;
        if (::RegEnumKeyExW(k, i, sub, &len, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        Snap(root, path + L"\\" + sub, rel.empty() ? std::wstring(sub) : rel + L"\\" + sub, out);
    }
    ::RegCloseKey(k);
}
Snapshot Snap(HKEY root, const std::string& path) {
    Snapshot s;
    Snap(root, W(path), L"", s);
    return s;
}

std::string Describe(const Snapshot& s) {
    std::string out;
    for (const auto& key : s) {
        out += "[" + U8(key.first) + "]\n";
        for (const auto& v : key.second)
            out += "  " + U8(v.first).substr(0, 40) + " type " + std::to_string(v.second.type) + " size " +
                   std::to_string(v.second.bytes.size()) + "\n";
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

const char kHeader[] = "Windows Registry Editor Version 5.00\r\n";

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
    EXPECT_EQ("\"C:\\\\Old\\\\app.exe\"\n", Data(REG_SZ, Wire(L"C:\\Old\\app.exe")));
    EXPECT_EQ("\"say \\\"hi\\\" \\\\\\\\srv\"\n", Data(REG_SZ, Wire(L"say \"hi\" \\\\srv")));
    EXPECT_EQ("\"\"\n", Data(REG_SZ, Wire(L"")));
    // Any language, and characters beyond the first plane.
    EXPECT_EQ("\"\xCE\xA9mega \xE6\x96\x87 \xF0\x9F\x98\x80\"\n", Data(REG_SZ, Wire(L"\x03A9mega \x6587 \xD83D\xDE00")));
    EXPECT_EQ("dword:00000001\n", Data(REG_DWORD, Bytes({1, 0, 0, 0})));
    EXPECT_EQ("dword:deadbeef\n", Data(REG_DWORD, Bytes({0xef, 0xbe, 0xad, 0xde})));
    // The registry keeps these as wide text: its bytes go to the file as they are.
    EXPECT_EQ("hex(2):25,00,58,00,25,00,00,00,\n", Data(REG_EXPAND_SZ, Wire(L"%X%")));
    EXPECT_EQ("hex(7):61,00,00,00,62,00,00,00,00,00,\n", Data(REG_MULTI_SZ, std::string("a\0\0\0b\0\0\0\0\0", 10)));
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
    // Forms that would not give the bytes back: a short number, a line break, a zero inside, no
    // terminating zero, half a character, half a surrogate pair.
    EXPECT_EQ("hex(4):01,02,03,\n", Data(REG_DWORD, Bytes({1, 2, 3})));
    EXPECT_EQ("hex(1):61,00,0d,00,0a,00,62,00,00,00,\n", Data(REG_SZ, Wire(L"a\r\nb")));
    EXPECT_EQ("hex(1):61,00,00,00,62,00,00,00,\n", Data(REG_SZ, std::string("a\0\0\0b\0\0\0", 8)));
    EXPECT_EQ("hex(1):61,00,\n", Data(REG_SZ, std::string("a\0", 2)));
    EXPECT_EQ("hex(1):61,00,00,\n", Data(REG_SZ, std::string("a\0\0", 3)));
    EXPECT_EQ("hex(1):3d,d8,00,00,\n", Data(REG_SZ, Wire(L"\xD83D")));
}

TEST(FormatRegValueName, DefaultAndEscapedNames) {
    EXPECT_EQ(L"@ = ", FormatRegValueName(L""));
    EXPECT_EQ(L"\"Path\" = ", FormatRegValueName(L"Path"));
    EXPECT_EQ(L"\"C:\\\\WINDOWS\\\\X.DLL\" = ", FormatRegValueName(L"C:\\WINDOWS\\X.DLL"));
    EXPECT_EQ(L"\"a\\\"b\" = ", FormatRegValueName(L"a\"b"));
    EXPECT_EQ(L"\"@\" = ", FormatRegValueName(L"@"));
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
              ReadUndoFile(path));
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
              ReadUndoFile(path));
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
              ReadUndoFile(path));
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, "Software\\C"));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, "Software\\C\\shell"));
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, "Software"));
}

// Names the undo file must carry exactly: any language, characters beyond the first plane, and
// the characters the file format itself uses.
const char* const kHostileNames[] = {
    "\xCE\xA9mega",                      // Ωmega
    "\xE6\x96\x87\xE4\xBB\xB6",          // a CJK name
    "\xF0\x9F\x98\x80 smile",            // an emoji
    "] [ \" = @ ; end]",
    "[start",
    "@",
    " lead and trail ",
};

TEST(UndoRoundTrip, RegeditRestoresEveryKeyAndValue) {
    ScratchKey base("roundtrip");
    ScratchDir dir("roundtrip");
    HKEY cu = HKEY_CURRENT_USER;
    std::string tree = base.path() + "\\Tree";
    std::string values = base.path() + "\\Values";
    std::string big;
    for (int i = 0; i < 1000; ++i) big.push_back(static_cast<char>(i * 7));

    for (const std::string& key : {tree, values}) {
        SetString(cu, key, "", "default \"value\"");
        SetString(cu, key, "sz", "C:\\Old\\\"quoted\" \\\\server\\share\\ caf\xC3\xA9 \xE6\x96\x87");
        SetString(cu, key, "sz empty", "");
        SetString(cu, key, "sz lines", "line1\r\nline2");
        SetValue(cu, key, "sz half pair", REG_SZ, Wire(L"x\xDC00y"));
        SetString(cu, key, "expand", "%SystemRoot%\\x;%PATH%;\xCE\xA9", REG_EXPAND_SZ);
        const wchar_t multi[] = L"first\0second \"q\"\0C:\\\x03A9\\\0";
        SetValue(cu, key, "multi", REG_MULTI_SZ, std::string(reinterpret_cast<const char*>(multi), sizeof multi));
        SetValue(cu, key, "bin empty", REG_BINARY, "");
        SetValue(cu, key, "bin23", REG_BINARY, Counting(23));
        SetValue(cu, key, "bin big", REG_BINARY, big);
        SetValue(cu, key, "dword", REG_DWORD, Bytes({1, 0, 0, 0}));
        SetValue(cu, key, "none", REG_NONE, Bytes({1, 2, 3}));
        SetValue(cu, key, "big endian", REG_DWORD_BIG_ENDIAN, Bytes({0, 0, 0, 7}));
        SetValue(cu, key, "link", REG_LINK, Bytes({0x5c, 0, 0x41, 0}));
        SetValue(cu, key, "requirements", REG_RESOURCE_REQUIREMENTS_LIST, Bytes({5, 6}));
        SetValue(cu, key, "qword", REG_QWORD, Bytes({1, 2, 3, 4, 5, 6, 7, 8}));
        SetValue(cu, key, "odd type", 0x1234, Bytes({9}));
        SetValue(cu, key, "C:\\Shared\\name \"q\".dll", REG_DWORD, Bytes({2, 0, 0, 0}));
        SetString(cu, key, std::string(16383, 'n'), "the longest name");
        for (const char* name : kHostileNames) SetString(cu, key, name, name);
    }
    SetString(cu, tree + "\\Child", "child value", "c");
    SetString(cu, tree + "\\Child\\Grand Child", "", "g");
    MakeKey(cu, tree + "\\Empty Key");
    for (const char* name : kHostileNames) SetString(cu, tree + "\\" + name + "\\" + name, name, "deep");
    // What no .reg file gives back exactly: names holding a line break, and text the registry
    // editor would end with a zero of its own. These rows stay.
    std::string kept = base.path() + "\\Kept";
    SetString(cu, kept + "\\a\nb", "v", "x");
    SetString(cu, values, "line\r\nbreak", "x");
    SetValue(cu, values, "sz odd", REG_SZ, Bytes({'a', 0, 'b'}));
    SetValue(cu, values, "sz unended", REG_EXPAND_SZ, Bytes({'a', 0, 'b', 0}));

    Snapshot before = Snap(cu, base.path());
    ASSERT_EQ(29u, before[L"Values"].size());

    FakeList list;
    list.Add("HKEY_CURRENT_USER", tree, "", 0x12, true);
    list.Add("HKEY_CURRENT_USER", kept, "", 0x12, true);
    for (const auto& v : before[L"Values"]) list.Add("HKEY_CURRENT_USER", values, U8(v.first), 0x22, true);
    ScriptedPrompter prompter;
    prompter.answers = {IDYES};
    FakeStatus status;
    AwayFromMinuteEnd();
    RemoveSelectedEntries(list, status, dir.path());

    // Those rows are kept, in the list and in the registry, and the message says so.
    std::vector<std::string> keptRows;
    for (int row = 0; row < list.Count(); ++row)
        keptRows.push_back(list.Text(row, kRegColSubKey) + "|" + list.Text(row, kRegColValueName));
    EXPECT_EQ((std::vector<std::string> {kept + "|", values + "|line\r\nbreak", values + "|sz odd",
                                         values + "|sz unended"}),
              keptRows);
    ASSERT_EQ(2u, prompter.asked.size());
    EXPECT_EQ("4 item(s) were kept: a name holds a line break, or text data does not end where the registry editor "
              "ends it, so no undo file could give them back exactly.",
              prompter.asked[1].text);
    Snapshot removed = Snap(cu, base.path());
    EXPECT_EQ(3u, removed[L"Values"].size()) << Describe(removed);
    EXPECT_FALSE(KeyExists(cu, tree));
    EXPECT_TRUE(HasValue(cu, kept + "\\a\nb", "v"));

    std::vector<std::string> files = FilesIn(dir.path());
    ASSERT_EQ(1u, files.size());
    EXPECT_EQ(0u, ImportWithRegedit(dir / files[0]));

    Snapshot after = Snap(cu, base.path());
    EXPECT_EQ(Describe(before), Describe(after));
    for (const auto& key : before) {
        for (const auto& v : key.second) {
            auto found = after[key.first].find(v.first);
            ASSERT_NE(found, after[key.first].end()) << U8(key.first) << " / " << U8(v.first);
            EXPECT_EQ(v.second.type, found->second.type) << U8(key.first) << " / " << U8(v.first);
            EXPECT_EQ(v.second.bytes, found->second.bytes) << U8(key.first) << " / " << U8(v.first);
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
    prompter.answers = {IDYES, IDYES, IDYES};
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
    // One file, one encoding, one header: the second removal only appends its entries.
    std::string keyLine = "\r\n[HKEY_CURRENT_USER\\" + key.path() + "]\r\n";
    EXPECT_EQ(std::string(kHeader) + keyLine + "\"b\" = \"b\"\r\n" + keyLine + "\"d\" = \"d\"\r\n" + keyLine +
                  "\"a\" = \"a\"\r\n",
              ReadUndoFile(dir / files[0]));
    // No message after "Remove Selected".
    EXPECT_EQ(2u, prompter.asked.size());
    // A file of that name in another form is never appended to: nothing is removed then.
    WriteFileText(dir / files[0], "REGEDIT4\r\n\r\n");
    list.rows[0].selected = true;
    RemoveSelectedEntries(list, status, dir.path());
    EXPECT_TRUE(ValueExists(HKEY_CURRENT_USER, key.path(), "c"));
    EXPECT_EQ(1, list.Count());
    ASSERT_EQ(4u, prompter.asked.size());
    EXPECT_EQ(0u, prompter.asked[3].text.find("The undo file could not be written"));
    EXPECT_EQ("REGEDIT4\r\n\r\n", ReadFile(dir / files[0]));
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
    bool Write(const std::wstring& text) override { return writesLeft_-- > 0 && UndoFile::Write(text); }

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

    // A key's export reaches the file whole or not at all; a key not written is not deleted.
    list.rows.erase(list.rows.begin());
    FailingUndoFile keyUndo(1);
    ASSERT_TRUE(keyUndo.open(dir / "undo2.reg"));
    EXPECT_FALSE(RemoveFindings(keyUndo, list, false));
    EXPECT_TRUE(ValueExists(HKEY_CURRENT_USER, key.path() + "\\Tree\\Deep", "v"));
    EXPECT_TRUE(ValueExists(HKEY_CURRENT_USER, key.path() + "\\Tree", "w"));
    EXPECT_EQ(1, list.Count());
    undo.close();
    keyUndo.close();
    std::string keyLine = "\r\n[HKEY_CURRENT_USER\\" + key.path() + "]\r\n";
    EXPECT_EQ(std::string(kHeader) + keyLine + "\"a\" = \"x\"\r\n", ReadUndoFile(dir / "undo.reg"));
    EXPECT_EQ(std::string(kHeader), ReadUndoFile(dir / "undo2.reg"));

    // With a sound file, the same rows go.
    UndoFile good;
    ASSERT_TRUE(good.open(dir / "undo3.reg"));
    EXPECT_TRUE(RemoveFindings(good, list, false));
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, key.path() + "\\Tree"));
    EXPECT_EQ(0, list.Count());
}

TEST(RemoveCommands, RowsWhoseEntryStaysKeepTheirPlace) {
    ScratchDir dir("keep");
    ScratchKey key("keep");
    HKEY cu = HKEY_CURRENT_USER;
    // A key this user may read but not change (as most machine keys for a standard user). Wine
    // leaves a key's own deletion to its parent, so the case is a value.
    std::string locked = key.path() + "\\Locked";
    SetString(cu, locked, "v", "x");
    // A key with a part this user may not read: it cannot go whole into the undo file.
    std::string hidden = key.path() + "\\Hidden";
    MakeKey(cu, hidden + "\\Secret");
    // A twin whose best-fit name equals another's, listed where names do not survive.
    SetString(cu, key.path(), "\xCE\xA9" "dead", "x");
    SetString(cu, key.path(), "Odead", "x");
    SetString(cu, key.path(), "gone", "x");
    SetKeyAccess(cu, locked, "D:P(A;;KRWD;;;WD)");
    SetKeyAccess(cu, hidden + "\\Secret", "D:P(A;;WD;;;WD)");
    HKEY probe = nullptr;
    ASSERT_EQ(ERROR_ACCESS_DENIED, ::RegOpenKeyExW(cu, W(locked).c_str(), 0, KEY_ALL_ACCESS, &probe));

    FakeList list;
    list.Add("HKEY_CURRENT_USER", locked, "v", 0x22);
    list.Add("HKEY_CURRENT_USER", hidden, "", 0x12);
    list.Add("HKEY_CURRENT_USER", key.path(), "Odead", 0x62);
    list.Add("HKEY_CURRENT_USER", key.path(), "gone", 0x22);
    ScriptedPrompter prompter;
    prompter.answers = {IDYES};
    FakeStatus status;
    RemoveAllEntries(list, status, dir.path());

    SetKeyAccess(cu, locked, kFullAccess);
    SetKeyAccess(cu, hidden + "\\Secret", kFullAccess);
    ASSERT_EQ(3, list.Count());
    EXPECT_EQ("v", list.Text(0, kRegColValueName));
    EXPECT_EQ(hidden, list.Text(1, kRegColSubKey));
    EXPECT_EQ("Odead", list.Text(2, kRegColValueName));
    EXPECT_TRUE(HasValue(cu, locked, "v"));
    EXPECT_TRUE(KeyExists(cu, hidden + "\\Secret"));
    EXPECT_TRUE(HasValue(cu, key.path(), "\xCE\xA9" "dead"));
    EXPECT_TRUE(HasValue(cu, key.path(), "Odead"));
    EXPECT_FALSE(HasValue(cu, key.path(), "gone"));
    ASSERT_EQ(2u, prompter.asked.size());
    EXPECT_EQ("Undo information has been saved in " + dir.path() + "\ndouble-click on it to undo the changes made now\n\n"
              "1 item(s) could not be removed: access was denied (they belong to the system or to an administrator).\n"
              "1 item(s) were kept: they could not be read completely for the undo file.\n"
              "1 item(s) were kept: their names cannot be used on this system (characters outside its code page).",
              prompter.asked[1].text);
    EXPECT_EQ(static_cast<UINT>(MB_OK | MB_ICONEXCLAMATION), prompter.asked[1].type);
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
