// Registry and shell helpers against the sandbox machine's real registry.
#include "core/codepage.h"
#include "core/reghelpers.h"
#include "framework/strings.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <sddl.h>
#include <shlobj.h>

namespace {

void SetValue(const std::string& key, const char* name, DWORD type, const void* data, DWORD size) {
    HKEY k = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, ::RegCreateKeyExA(HKEY_CURRENT_USER, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                                                nullptr, &k, nullptr));
    ASSERT_EQ(ERROR_SUCCESS, ::RegSetValueExA(k, name, 0, type, static_cast<const BYTE*>(data), size));
    ::RegCloseKey(k);
}

void SetString(const std::string& key, const char* name, const std::string& s, DWORD type = REG_SZ) {
    SetValue(key, name, type, s.c_str(), static_cast<DWORD>(s.size() + 1));
}

bool ValueExists(const std::string& key, const char* name) {
    HKEY k = nullptr;
    if (::RegOpenKeyExA(HKEY_CURRENT_USER, key.c_str(), 0, KEY_READ, &k) != ERROR_SUCCESS) return false;
    LONG rc = ::RegQueryValueExA(k, name, nullptr, nullptr, nullptr, nullptr);
    ::RegCloseKey(k);
    return rc == ERROR_SUCCESS;
}

std::string WindowsFolder() {
    char buf[MAX_PATH];
    ::GetWindowsDirectoryA(buf, MAX_PATH);
    return buf;
}

}  // namespace

TEST(ReadRegString, ReadsStringsAndExpandsEnvironment) {
    ScratchKey key("read");
    SetString(key.path(), "plain", "C:\\Program Files\\App\\app.exe");
    SetString(key.path(), "sz", "%windir%\\x.exe");
    SetString(key.path(), "expand", "%windir%\\y.exe", REG_EXPAND_SZ);
    SetString(key.path(), "", "default value");

    EXPECT_EQ("C:\\Program Files\\App\\app.exe", ReadRegString(HKEY_CURRENT_USER, key.path(), "plain"));
    // Both string types are expanded.
    EXPECT_TRUE(SameText(WindowsFolder() + "\\x.exe", ReadRegString(HKEY_CURRENT_USER, key.path(), "sz")));
    EXPECT_TRUE(SameText(WindowsFolder() + "\\y.exe", ReadRegString(HKEY_CURRENT_USER, key.path(), "expand")));
    EXPECT_EQ("default value", ReadRegString(HKEY_CURRENT_USER, key.path(), ""));
}

TEST(ReadRegString, EveryFailureGivesEmptyText) {
    ScratchKey key("readfail");
    DWORD number = 42;
    SetValue(key.path(), "dword", REG_DWORD, &number, sizeof number);
    SetValue(key.path(), "binary", REG_BINARY, "abc", 4);
    SetString(key.path(), "multi", std::string("a\0b\0", 4), REG_MULTI_SZ);

    EXPECT_EQ("", ReadRegString(HKEY_CURRENT_USER, key.path(), "dword"));
    EXPECT_EQ("", ReadRegString(HKEY_CURRENT_USER, key.path(), "binary"));
    EXPECT_EQ("", ReadRegString(HKEY_CURRENT_USER, key.path(), "multi"));
    EXPECT_EQ("", ReadRegString(HKEY_CURRENT_USER, key.path(), "missing"));
    EXPECT_EQ("", ReadRegString(HKEY_CURRENT_USER, key.path() + "\\nokey", "x"));
}

TEST(ReadRegString, LengthLimits) {
    ScratchKey key("readlong");
    // 260 characters + terminator = 261 bytes: fits the read buffer but not the expansion.
    SetString(key.path(), "b261", std::string(260, 'a'));
    SetString(key.path(), "b300", std::string(299, 'a'));
    // 257 characters: its expansion (258 with the terminator) is below 260.
    SetString(key.path(), "b258", std::string(257, 'a'));
    // Short data whose expansion grows past the limit.
    SetString(key.path(), "grows", std::string(250, 'a') + "%windir%");

    EXPECT_EQ("", ReadRegString(HKEY_CURRENT_USER, key.path(), "b261"));
    EXPECT_EQ("", ReadRegString(HKEY_CURRENT_USER, key.path(), "b300"));
    EXPECT_EQ(std::string(257, 'a'), ReadRegString(HKEY_CURRENT_USER, key.path(), "b258"));
    EXPECT_EQ("", ReadRegString(HKEY_CURRENT_USER, key.path(), "grows"));
}

TEST(RegKeyExists, OpensAndCloses) {
    ScratchKey key("exists");
    EXPECT_TRUE(RegKeyExists(HKEY_CURRENT_USER, key.path()));
    EXPECT_FALSE(RegKeyExists(HKEY_CURRENT_USER, key.path() + "\\missing"));
    // The key is closed again: it can be deleted at once.
    EXPECT_EQ(ERROR_SUCCESS, DeleteRegKeyTree(HKEY_CURRENT_USER, key.path()));
    EXPECT_FALSE(RegKeyExists(HKEY_CURRENT_USER, key.path()));
}

TEST(RegistryHelpers, ReadOnlyKeysAndNamesInAnyLanguage) {
    ScratchKey key("readonly");
    // A text of 200 CJK characters: 600 bytes in UTF-8, one path all the same.
    std::wstring cjk(200, L'\x6587');
    std::string cjkUtf8;
    ASSERT_TRUE(NarrowName(cjk, cjkUtf8));
    std::string name = "\xCE\xA9mega";
    SetString(key.path(), name.c_str(), cjkUtf8);
    // What a standard user meets on most machine keys: reading allowed, changing not.
    HKEY k = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, ::RegOpenKeyExA(HKEY_CURRENT_USER, key.path().c_str(), 0, WRITE_DAC, &k));
    PSECURITY_DESCRIPTOR sd = nullptr;
    ASSERT_TRUE(::ConvertStringSecurityDescriptorToSecurityDescriptorA("D:P(A;;KRSD;;;WD)", SDDL_REVISION_1, &sd,
                                                                       nullptr));
    EXPECT_EQ(ERROR_SUCCESS, ::RegSetKeySecurity(k, DACL_SECURITY_INFORMATION, sd));
    ::LocalFree(sd);
    ::RegCloseKey(k);
    ASSERT_EQ(ERROR_ACCESS_DENIED, ::RegOpenKeyExA(HKEY_CURRENT_USER, key.path().c_str(), 0, KEY_ALL_ACCESS, &k));

    EXPECT_TRUE(RegKeyExists(HKEY_CURRENT_USER, key.path()));
    EXPECT_EQ(cjkUtf8, ReadRegString(HKEY_CURRENT_USER, key.path(), name));
    EXPECT_EQ(ERROR_ACCESS_DENIED, DeleteRegValue(HKEY_CURRENT_USER, key.path(), name));
    EXPECT_TRUE(ValueExists(key.path(), name.c_str()));
}

TEST(WriteRegString, CreatesKeysAndWritesRegSz) {
    ScratchKey key("write");
    std::string deep = key.path() + "\\a\\b";
    WriteRegString(HKEY_CURRENT_USER, deep, "name", "value with \"quotes\"");
    WriteRegString(HKEY_CURRENT_USER, deep, "", "default");
    EXPECT_EQ("value with \"quotes\"", ReadRegString(HKEY_CURRENT_USER, deep, "name"));
    EXPECT_EQ("default", ReadRegString(HKEY_CURRENT_USER, deep, ""));

    HKEY k = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, ::RegOpenKeyExA(HKEY_CURRENT_USER, deep.c_str(), 0, KEY_READ, &k));
    DWORD type = 0, size = 0;
    ::RegQueryValueExA(k, "name", nullptr, &type, nullptr, &size);
    ::RegCloseKey(k);
    EXPECT_EQ(static_cast<DWORD>(REG_SZ), type);
    EXPECT_EQ(std::string("value with \"quotes\"").size() + 1, size);
}

TEST(DeleteRegValue, DeletesOnlyThatValue) {
    ScratchKey key("delvalue");
    SetString(key.path(), "a", "1");
    SetString(key.path(), "b", "2");
    DeleteRegValue(HKEY_CURRENT_USER, key.path(), "a");
    DeleteRegValue(HKEY_CURRENT_USER, key.path(), "not there");
    DeleteRegValue(HKEY_CURRENT_USER, key.path() + "\\missing", "b");
    EXPECT_FALSE(ValueExists(key.path(), "a"));
    EXPECT_TRUE(ValueExists(key.path(), "b"));
}

TEST(DeleteRegKeyTree, EmptyPathIsRefused) {
    ScratchKey key("delempty");
    HKEY k = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, ::RegOpenKeyExA(HKEY_CURRENT_USER, key.path().c_str(), 0, KEY_ALL_ACCESS, &k));
    EXPECT_EQ(ERROR_BADKEY, DeleteRegKeyTree(k, ""));
    ::RegCloseKey(k);
    EXPECT_EQ(ERROR_BADKEY, DeleteRegKeyTree(HKEY_CURRENT_USER, ""));
    EXPECT_TRUE(RegKeyExists(HKEY_CURRENT_USER, key.path()));
}

TEST(DeleteRegKeyTree, DeletesThreeLevelTree) {
    ScratchKey key("deltree");
    std::string top = key.path() + "\\top";
    for (const char* sub : {"\\a\\a1\\leaf", "\\a\\a2", "\\b\\b1\\leaf", "\\c"}) {
        SetString(top + sub, "v", "x");
    }
    SetString(top, "v", "x");
    SetString(key.path() + "\\sibling", "keep", "x");

    EXPECT_EQ(ERROR_SUCCESS, DeleteRegKeyTree(HKEY_CURRENT_USER, top));
    EXPECT_FALSE(RegKeyExists(HKEY_CURRENT_USER, top));
    EXPECT_TRUE(RegKeyExists(HKEY_CURRENT_USER, key.path()));
    EXPECT_TRUE(ValueExists(key.path() + "\\sibling", "keep"));
}

TEST(DeleteRegKeyTree, ALinkGoesAsItselfNotWhatItPointsTo) {
    ScratchKey key("dellink");
    SetString(key.path() + "\\Elsewhere", "keep", "x");
    HANDLE token = nullptr;
    ASSERT_TRUE(::OpenProcessToken(::GetCurrentProcess(), TOKEN_QUERY, &token));
    BYTE user[256];
    DWORD len = 0;
    ASSERT_TRUE(::GetTokenInformation(token, TokenUser, user, sizeof user, &len));
    ::CloseHandle(token);
    LPWSTR sid = nullptr;
    ASSERT_TRUE(::ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(user)->User.Sid, &sid));
    std::wstring target = L"\\Registry\\User\\" + std::wstring(sid) + L"\\" + WideName(key.path() + "\\Elsewhere");
    ::LocalFree(sid);
    HKEY link = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, ::RegCreateKeyExW(HKEY_CURRENT_USER, WideName(key.path() + "\\Tree\\Link").c_str(), 0,
                                               nullptr, REG_OPTION_CREATE_LINK, KEY_ALL_ACCESS | KEY_CREATE_LINK,
                                               nullptr, &link, nullptr));
    ASSERT_EQ(ERROR_SUCCESS, ::RegSetValueExW(link, L"SymbolicLinkValue", 0, REG_LINK,
                                              reinterpret_cast<const BYTE*>(target.data()),
                                              static_cast<DWORD>(target.size() * sizeof(wchar_t))));
    ::RegCloseKey(link);
    ASSERT_TRUE(ValueExists(key.path() + "\\Tree\\Link", "keep"));

    EXPECT_EQ(ERROR_SUCCESS, DeleteRegKeyTree(HKEY_CURRENT_USER, key.path() + "\\Tree"));
    EXPECT_FALSE(RegKeyExists(HKEY_CURRENT_USER, key.path() + "\\Tree"));
    EXPECT_TRUE(ValueExists(key.path() + "\\Elsewhere", "keep"));
}

TEST(DeleteRegKeyTree, MissingKeyReportsError) {
    ScratchKey key("delmissing");
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, DeleteRegKeyTree(HKEY_CURRENT_USER, key.path() + "\\nothing"));
}

TEST(GetShellFolder, KnownFoldersWithoutTrailingBackslash) {
    for (int csidl : {kStartupFolder, kRecentFolder, kSendToFolder}) {
        char raw[MAX_PATH] = {};
        ::SHGetSpecialFolderPathA(nullptr, raw, csidl, TRUE);  // make sure it exists
        std::string path = GetShellFolder(csidl);
        ASSERT_FALSE(path.empty()) << csidl;
        EXPECT_NE('\\', path.back());
        EXPECT_NE(INVALID_FILE_ATTRIBUTES, ::GetFileAttributesA(path.c_str()));
    }
    EXPECT_EQ("", GetShellFolder(0x7F));  // not a folder the system knows
}

TEST(NarrowName, RefusesNamesThatDoNotSurviveTheCodePage) {
    // The test programs carry the program's manifest, so they run with UTF-8 as well.
    EXPECT_TRUE(ProcessCodePageIsUtf8());
    struct Case { const wchar_t* name; UINT codePage; bool survives; const char* narrow; };
    const Case cases[] = {
        {L"\x03A9mega.txt", CP_UTF8, true, "\xCE\xA9mega.txt"},
        {L"\x6587\x4EF6.txt", CP_UTF8, true, "\xE6\x96\x87\xE4\xBB\xB6.txt"},
        {L"\xD83D\xDE00.txt", CP_UTF8, true, "\xF0\x9F\x98\x80.txt"},
        {L"Omega.txt", 1252, true, "Omega.txt"},
        {L"caf\x00E9", 1252, true, "caf\xE9"},
        // Best-fit would give "Omega.txt": another file's name.
        {L"\x03A9mega.txt", 1252, false, nullptr},
        {L"\x6587\x4EF6.txt", 1252, false, nullptr},
    };
    for (const Case& c : cases) {
        std::string out;
        EXPECT_EQ(c.survives, NarrowName(c.name, out, c.codePage)) << c.codePage << " " << out;
        if (c.narrow) {
            EXPECT_EQ(c.narrow, out);
            EXPECT_EQ(std::wstring(c.name), WideName(out, c.codePage));
        }
    }
    std::string out;
    EXPECT_TRUE(NarrowName(L"\x03A9", out));
    EXPECT_EQ("\xCE\xA9", out);
}

TEST(NarrowPath, TheShortFormWhereTheCodePageLacksACharacter) {
    ScratchDir dir("narrowpath");
    std::string omega = dir / "\xCE\xA9mega.txt";
    ASSERT_TRUE(WriteFileText(omega, "omega"));
    std::string out;
    EXPECT_TRUE(NarrowPath(WideName(omega), out));
    EXPECT_EQ(omega, out);
    // Western European has no omega: the short form names the same file.
    EXPECT_TRUE(NarrowPath(WideName(omega), out, 1252));
    EXPECT_NE(omega, out);
    EXPECT_EQ(std::string::npos, out.find('?'));
    EXPECT_TRUE(FileExists(out)) << out;
    // No file, no short form: nothing that could be acted on.
    EXPECT_FALSE(NarrowPath(WideName(dir / "\xCE\xA9gone.txt"), out, 1252));

    EXPECT_TRUE(FileExists(ModulePath()));
    EXPECT_TRUE(SameName("E:\\\xC3\xA4rger \xCF\x89", "e:\\\xC3\x84RGER \xCE\xA9"));
    EXPECT_FALSE(SameName("encyclop\xC3\xA6" "dia", "encyclopaedia")) << "ordinal, as the file system compares";
    EXPECT_FALSE(SameName("C:\\a", "C:\\a\\"));
}
