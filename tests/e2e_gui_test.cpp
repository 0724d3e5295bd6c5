// The whole program on the demo machine: fixtures/demo-machine.txt is seeded on a machine of the
// test's own, and the real main window runs each of the six tools through its outlook bar, as
// the user would: every tool must list exactly what the fixture says it finds, and its remove,
// delete, fix and disable commands must change the machine (and no more), with the registry's
// undo file and the Recycle Bin giving everything back.
//
// The machine of the test's own: HKEY_CURRENT_USER, HKEY_USERS, HKEY_LOCAL_MACHINE and
// HKEY_CLASSES_ROOT redirected to scratch keys for this process (win.ini's "windows" section is
// mapped into that registry too), the drives' leftovers in C:\KelvoE2E-<pid> and
// E:\KelvoE2E-<pid>, the shell folders, the temporary folder and the settings store inside them.
// Other test programs run at the same time in the same prefix and may leave files on C: and E:,
// so the file tools' rows are compared for the test's own folders only, and the rows of other
// programs' files are taken out of the list before a "Delete All".
#include "core/codepage.h"
#include "app/mainframe.h"
#include "core/view.h"
#include "app/itemcommands.h"
#include "options/optionssheet.h"
#include "files_testkit.h"
#include "files/junk.h"
#include "framework/prompter.h"
#include "framework/settings.h"
#include "framework/strings.h"
#include "history/history.h"
#include "registry/regremove.h"
#include "resource.h"
#include "seeder.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>
#include <wininet.h>

#include <algorithm>
#include <atomic>
#include <fstream>
#include <map>
#include <memory>
#include <set>
#include <sstream>
#include <thread>
#include <tuple>

using namespace filestest;

namespace {

const char kCV[] = "Software\\Microsoft\\Windows\\CurrentVersion\\";
const char kShellFolders[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\User Shell Folders";

std::string Upper(std::string s) {
    for (char& c : s) c = static_cast<char>(::toupper(static_cast<unsigned char>(c)));
    return s;
}

bool StartsWith(const std::string& text, const std::string& prefix) {
    return text.size() >= prefix.size() && _strnicmp(text.c_str(), prefix.c_str(), prefix.size()) == 0;
}

std::string NameOf(const std::string& path) { return path.substr(path.rfind('\\') + 1); }
std::string FolderOf(const std::string& path) { return path.substr(0, path.rfind('\\')); }

void SetString(HKEY root, const std::string& key, const std::string& name, const std::string& text) {
    HKEY k = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, ::RegCreateKeyExA(root, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k, nullptr))
        << key;
    ::RegSetValueExA(k, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                     static_cast<DWORD>(text.size() + 1));
    ::RegCloseKey(k);
}

bool KeyExists(HKEY root, const std::string& key) {
    HKEY k = nullptr;
    if (::RegOpenKeyExA(root, key.c_str(), 0, KEY_READ, &k) != ERROR_SUCCESS) return false;
    ::RegCloseKey(k);
    return true;
}

// The value's bytes and type; false when there is no such value.
bool ReadValue(HKEY root, const std::string& key, const std::string& name, std::string* bytes = nullptr,
               DWORD* type = nullptr) {
    HKEY k = nullptr;
    if (::RegOpenKeyExA(root, key.c_str(), 0, KEY_READ, &k) != ERROR_SUCCESS) return false;
    char data[2048] = {};
    DWORD size = sizeof data, t = 0;
    LONG rc = ::RegQueryValueExA(k, name.c_str(), nullptr, &t, reinterpret_cast<BYTE*>(data), &size);
    ::RegCloseKey(k);
    if (rc != ERROR_SUCCESS) return false;
    if (bytes) *bytes = std::string(data, size);
    if (type) *type = t;
    return true;
}

std::string ValueText(HKEY root, const std::string& key, const std::string& name) {
    std::string bytes;
    if (!ReadValue(root, key, name, &bytes)) return "<none>";
    return std::string(bytes.c_str());
}

int ValueCount(HKEY root, const std::string& key) {
    HKEY k = nullptr;
    if (::RegOpenKeyExA(root, key.c_str(), 0, KEY_READ, &k) != ERROR_SUCCESS) return -1;
    DWORD values = 0;
    ::RegQueryInfoKeyA(k, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values, nullptr, nullptr, nullptr,
                       nullptr);
    ::RegCloseKey(k);
    return static_cast<int>(values);
}

std::string IniLine(const std::string& key) {
    char buf[4096] = {};
    ::GetPrivateProfileStringA("windows", key.c_str(), "", buf, sizeof buf, "win.ini");
    return buf;
}

DWORD CacheEntryType(const std::string& url) {
    DWORD size = 0;
    ::GetUrlCacheEntryInfoA(url.c_str(), nullptr, &size);
    if (::GetLastError() != ERROR_INSUFFICIENT_BUFFER || size == 0) return 0;
    std::vector<ULONGLONG> buf(size / sizeof(ULONGLONG) + 1);
    auto* info = reinterpret_cast<INTERNET_CACHE_ENTRY_INFOA*>(buf.data());
    if (!::GetUrlCacheEntryInfoA(url.c_str(), info, &size)) return 0;
    return info->CacheEntryType;
}

std::string ClipboardText() {
    std::string text;
    if (!::OpenClipboard(nullptr)) return "<busy>";
    if (HANDLE h = ::GetClipboardData(CF_TEXT)) {
        if (const char* p = static_cast<const char*>(::GlobalLock(h))) text = p;
        ::GlobalUnlock(h);
    }
    ::CloseClipboard();
    return text;
}

// The target and description a shell link holds, read by the shell's own link object.
bool ReadShellLink(const std::string& file, std::string* target, std::string* description) {
    IShellLinkA* link = nullptr;
    if (FAILED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                  reinterpret_cast<void**>(&link))))
        return false;
    IPersistFile* persist = nullptr;
    bool ok = SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&persist)));
    if (ok) {
        WCHAR wide[MAX_PATH] = {};
        ::MultiByteToWideChar(CP_ACP, 0, file.c_str(), -1, wide, MAX_PATH);
        ok = SUCCEEDED(persist->Load(wide, STGM_READ));
        persist->Release();
    }
    char buf[MAX_PATH] = {};
    WIN32_FIND_DATAA found {};
    if (ok && target) {
        ok = link->GetPath(buf, MAX_PATH, &found, SLGP_RAWPATH) == S_OK;
        *target = buf;
    }
    if (ok && description) {
        buf[0] = '\0';
        link->GetDescription(buf, MAX_PATH);
        *description = buf;
    }
    link->Release();
    return ok;
}


std::string NarrowText(const std::wstring& text) {
    std::string out;
    NarrowName(text, out, CP_UTF8);
    return out;
}

std::string ReadWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream all;
    all << in.rdbuf();
    return all.str();
}

// Answers the shell's own question (a dialog of this process) from another thread, for the
// commands that let the shell ask. Only the first question is answered with `button`; any further
// one (the shell offering to destroy a file it could not recycle) gets "No" and is counted.
class ShellDialogAnswerer {
public:
    explicit ShellDialogAnswerer(int button) : button_(button), thread_([this] { Run(); }) {}
    ~ShellDialogAnswerer() {
        stop_ = true;
        thread_.join();
    }
    int answered() const { return answered_; }

private:
    static BOOL CALLBACK Visit(HWND w, LPARAM self) {
        auto* me = reinterpret_cast<ShellDialogAnswerer*>(self);
        DWORD pid = 0;
        ::GetWindowThreadProcessId(w, &pid);
        char cls[32] = {};
        ::GetClassNameA(w, cls, sizeof cls);
        if (pid == ::GetCurrentProcessId() && ::IsWindowVisible(w) && lstrcmpA(cls, "#32770") == 0 &&
            w != me->last_) {
            int button = me->answered_ == 0 ? me->button_ : IDNO;
            if (!::GetDlgItem(w, button)) return TRUE;
            me->last_ = w;
            ::PostMessageA(w, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED),
                           reinterpret_cast<LPARAM>(::GetDlgItem(w, button)));
            ++me->answered_;
            return FALSE;
        }
        return TRUE;
    }
    void Run() {
        while (!stop_) {
            ::EnumWindows(Visit, reinterpret_cast<LPARAM>(this));
            ::Sleep(50);
        }
    }
    int button_;
    HWND last_ = nullptr;  // the dialog answered last, which may still be on its way out
    std::atomic<bool> stop_ {false};
    std::atomic<int> answered_ {0};
    std::thread thread_;
};

// The demo machine of this test program: its registry, folders and places, seeded from the
// built-in fixture, and what the fixture expects of each tool.
class DemoMachine {
public:
    DemoMachine() : base_("e2e") {
        marker_ = "KelvoE2E-" + Pid();
        c_ = "C:\\" + marker_;
        e_ = "E:\\" + marker_;
        RemoveFolderTree(c_);
        RemoveFolderTree(e_);
        ::CreateDirectoryA(c_.c_str(), nullptr);
        ::CreateDirectoryA(e_.c_str(), nullptr);

        // The four roots, opened before the redirection (which would apply to them too).
        for (int i = 0; i < 4; ++i) {
            std::string path = base_.path() + "\\" + kParts[i];
            ::RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &keys_[i],
                              nullptr);
        }
        for (int i = 0; i < 4; ++i) ::RegOverridePredefKey(kRoots[i], keys_[i]);

        // win.ini's "windows" section lives in the user's registry, as on the machine itself.
        SetString(HKEY_LOCAL_MACHINE,
                  "Software\\Microsoft\\Windows NT\\CurrentVersion\\IniFileMapping\\win.ini\\windows", "",
                  "USR:Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows");

        // The places of the machine, inside the test's folders.
        roots_["C"] = c_;
        roots_["E"] = e_;
        roots_["TEMP"] = c_ + "\\Temp";
        roots_["STARTUP"] = c_ + "\\Users\\Demo\\Start Menu\\Programs\\Startup";
        roots_["COMMON STARTUP"] = c_ + "\\ProgramData\\Start Menu\\Programs\\Startup";
        roots_["RECENT"] = c_ + "\\Users\\Demo\\Recent";
        char buf[MAX_PATH];
        ::GetWindowsDirectoryA(buf, MAX_PATH);
        roots_["WINDOWS"] = buf;
        ::GetSystemDirectoryA(buf, MAX_PATH);
        roots_["SYSTEM"] = buf;
        for (const char* place : {"TEMP", "STARTUP", "COMMON STARTUP", "RECENT"}) MakeFolders(roots_[place]);
        SetString(HKEY_CURRENT_USER, kShellFolders, "Startup", roots_["STARTUP"]);
        SetString(HKEY_CURRENT_USER, kShellFolders, "Recent", roots_["RECENT"]);
        SetString(HKEY_LOCAL_MACHINE, kShellFolders, "Common Startup", roots_["COMMON STARTUP"]);
        ::SetEnvironmentVariableA("TMP", roots_["TEMP"].c_str());
        ::SetEnvironmentVariableA("TEMP", roots_["TEMP"].c_str());

        std::string error;
        parsed_ = fixture_.Parse(kDemoMachineFixture, &error);
        parseError_ = error;
    }
    ~DemoMachine() {
        for (int i = 0; i < 4; ++i) {
            ::RegOverridePredefKey(kRoots[i], nullptr);
            ::RegCloseKey(keys_[i]);
        }
        RemoveFolderTree(c_);
        RemoveFolderTree(e_);
        PurgeTrash();
    }

    bool parsed() const { return parsed_; }
    const std::string& parseError() const { return parseError_; }
    const Fixture& fixture() const { return fixture_; }
    const FixtureRoots& roots() const { return roots_; }
    std::string X(const std::string& text) const { return ExpandRoots(text, roots_); }
    std::string Root(const char* name) const { return roots_.at(name); }
    const std::string& c() const { return c_; }
    const std::string& e() const { return e_; }
    // The scratch key holding the four roots, as regedit (another process) sees it.
    std::string ScratchRoot(int i) const { return "HKEY_CURRENT_USER\\" + base_.path() + "\\" + kParts[i]; }

    // A path on the test's own folders (anything else was left by another program).
    bool Ours(const std::string& path) const {
        return StartsWith(path, c_ + "\\") || StartsWith(path, e_ + "\\") || SameText(path, c_) || SameText(path, e_);
    }

    SeedReport Seed() const {
        SeedReport report;
        SeedMachine(fixture_, roots_, report);
        return report;
    }

    // Takes the test's files out of Wine's trash folder, where it keeps its Recycle Bin.
    void PurgeTrash() const {
        std::string trash = WineTrashFolder();
        if (trash.empty()) return;
        WIN32_FIND_DATAA fd;
        HANDLE h = ::FindFirstFileA((trash + "\\info\\*.trashinfo").c_str(), &fd);
        if (h == INVALID_HANDLE_VALUE) return;
        do {
            std::string info = trash + "\\info\\" + fd.cFileName;
            if (ReadWholeFile(info).find(marker_) == std::string::npos) continue;
            std::string name = fd.cFileName;
            name.resize(name.size() - std::string(".trashinfo").size());
            // A file left behind here would stop the next run from recycling one of that name.
            std::string file = trash + "\\files\\" + name;
            ::SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_NORMAL);
            ::DeleteFileA(file.c_str());
            ::DeleteFileA(info.c_str());
        } while (::FindNextFileA(h, &fd));
        ::FindClose(h);
    }

    static bool MakeFolders(const std::string& path) {
        if (path.size() <= 3) return true;
        if (::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES) return true;
        MakeFolders(FolderOf(path));
        return ::CreateDirectoryA(path.c_str(), nullptr) != 0;
    }

private:
    const char* kParts[4] = {"HKCU", "HKU", "HKLM", "HKLM\\Software\\Classes"};
    const HKEY kRoots[4] = {HKEY_CURRENT_USER, HKEY_USERS, HKEY_LOCAL_MACHINE, HKEY_CLASSES_ROOT};
    ScratchKey base_;
    HKEY keys_[4] = {};
    std::string marker_, c_, e_;
    FixtureRoots roots_;
    Fixture fixture_;
    bool parsed_ = false;
    std::string parseError_;
};

DemoMachine* g_machine = nullptr;

class DemoTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { g_machine = new DemoMachine(); }
    static void TearDownTestSuite() {
        delete g_machine;
        g_machine = nullptr;
    }

    void SetUp() override {
        DemoMachine& m = *g_machine;
        ASSERT_TRUE(m.parsed()) << m.parseError();
        SeedReport report = m.Seed();
        ASSERT_TRUE(report.problems.empty()) << ::testing::PrintToString(report.problems);

        // The settings store of this machine: no sound, and the drive walks see only the test's
        // own folders on C: and E: (every other top-level folder there is excluded).
        WriteSettingInt("Settings", "playsound", 0);
        ::SHDeleteKeyA(HKEY_CURRENT_USER, (SettingsKeyPath() + "\\Exclude").c_str());
        ::SHDeleteKeyA(HKEY_CURRENT_USER, (SettingsKeyPath() + "\\Keep").c_str());
        for (const char* drive : {"C:", "E:"}) {
            WIN32_FIND_DATAA fd;
            HANDLE h = ::FindFirstFileA((std::string(drive) + "\\*").c_str(), &fd);
            if (h == INVALID_HANDLE_VALUE) continue;
            do {
                std::string path = std::string(drive) + "\\" + fd.cFileName;
                if ((fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && std::string(fd.cFileName) != "." &&
                    std::string(fd.cFileName) != ".." && !m.Ours(path))
                    WriteSettingInt("Exclude", path.c_str(), 1);
            } while (::FindNextFileA(h, &fd));
            ::FindClose(h);
        }
        WriteSettingInt("Exclude", "C:\\KelvoTests", 1);

        prompts = std::make_unique<ScriptedPrompter>();
        frame = std::make_unique<CMainFrame>();
        ASSERT_TRUE(frame->CreateFrame());
        SetMainWindow(frame->m_hWnd);
        frame->Show(SW_SHOW);
        frame->Update();
        view = frame->GetListView();
        ASSERT_TRUE(view);
        view->settings.driveMask = (1u << ('C' - 'A')) | (1u << ('E' - 'A'));
        // The start-up message comes half a second after the window; wait for it, as the user
        // does, so that it does not cover a tool's own message later.
        EXPECT_TRUE(PumpUntil([this] { return frame->Notifier().text == LoadStr(IDS_NOTIFY_UNNEEDED_FILES); }));
    }
    void TearDown() override {
        SetMainWindow(nullptr);
        if (frame && frame->IsWindow()) ::DestroyWindow(frame->m_hWnd);
        MSG msg;
        while (::PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {}
        frame.reset();
        prompts.reset();
    }

    DemoMachine& machine() { return *g_machine; }
    std::string X(const std::string& text) { return machine().X(text); }
    const std::vector<FixtureEntry>& Expect(const std::string& tool) {
        return machine().fixture().Section("expect " + tool);
    }

    // The outlook bar, as the user works it: choosing a tool's folder and clicking its items.
    void ChooseTool(int scanMode) {
        frame->OutBar().setSelFolder(scanMode);
        PumpFor(20);
        ASSERT_EQ(kTools[scanMode].listMode, view->ListMode);
    }
    void Click(const std::string& caption) {
        CGfxOutBarCtrl& bar = frame->OutBar();
        int item = -1;
        for (int i = 0; i < bar.getItemCount(); ++i)
            if (bar.getItemText(i) == caption) item = i;
        ASSERT_GE(item, 0) << "no item " << caption << " in " << bar.getFolderText(bar.getSelFolder());
        frame->Send(WM_OUTBAR_NOTIFY, kOutBarItemClicked, item);
        // The bar releases the mouse once the frame has answered.
        ::ReleaseCapture();
        PumpFor(20);
    }

    std::string MessageBar() {
        char buf[1024] = {};
        ::SendMessageA(frame->MessageBar(), SB_GETTEXTA, 0, reinterpret_cast<LPARAM>(buf));
        return buf;
    }
    int FindRow(int column, const std::string& text) {
        for (int r = 0; r < view->Count(); ++r)
            if (SameText(view->Text(r, column), text)) return r;
        return -1;
    }
    void SetSelected(int row, bool on) {
        LVITEMA item {};
        item.stateMask = LVIS_SELECTED;
        item.state = on ? LVIS_SELECTED : 0;
        view->Send(LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&item));
    }
    void SelectOnly(const std::vector<int>& rows) {
        SetSelected(-1, false);
        for (int r : rows) {
            ASSERT_GE(r, 0);
            SetSelected(r, true);
        }
    }
    // Rows of other programs' files go before "Delete All", which must not touch them.
    void DropForeignRows(int pathColumn) {
        for (int r = view->Count() - 1; r >= 0; --r)
            if (!machine().Ours(view->Text(r, pathColumn))) view->DeleteRow(r);
    }
    std::vector<std::string> OurPaths(int column) {
        std::vector<std::string> out;
        for (int r = 0; r < view->Count(); ++r)
            if (machine().Ours(view->Text(r, column))) out.push_back(Upper(view->Text(r, column)));
        std::sort(out.begin(), out.end());
        return out;
    }
    void ExpectRecycled(const std::string& path) {
        EXPECT_FALSE(FileExists(path)) << path;
        EXPECT_TRUE(RecycleBinHolds(FolderOf(path), NameOf(path))) << path << " is not in the Recycle Bin";
    }

    std::unique_ptr<ScriptedPrompter> prompts;
    std::unique_ptr<CMainFrame> frame;
    CWrenlyView* view = nullptr;
};

}  // namespace

// What the seeder makes is what the fixture says, made the way the system makes it, and a
// second seeding puts back whatever the tools or the user changed.
TEST_F(DemoTest, SeedingMakesTheFixtureAndResetsIt) {
    DemoMachine& m = machine();
    const auto& files = m.fixture().Section("files");
    const auto& links = m.fixture().Section("shortcuts");
    ASSERT_GE(files.size(), 40u);
    ASSERT_GE(links.size(), 10u);
    for (const FixtureEntry& f : files) {
        std::string path = X(f.Field(0));
        EXPECT_TRUE(FileExists(path)) << path;
        bool ok = true;
        std::string expected = GeneratedBytes(f.Field(1), &ok);
        ASSERT_TRUE(ok) << f.line;
        EXPECT_EQ(expected.size(), ReadWholeFile(path).size()) << path;
    }
    // Same seed, same bytes; another seed, other bytes of the same length.
    EXPECT_EQ(ReadWholeFile(X("{E}\\Data\\Photos\\holiday.jpg")), ReadWholeFile(X("{C}\\Photos Backup\\holiday.jpg")));
    EXPECT_NE(ReadWholeFile(X("{E}\\Data\\Photos\\holiday.jpg")), ReadWholeFile(X("{E}\\Data\\Photos\\beach.jpg")));
    DWORD found = ::GetFileAttributesA(X("{E}\\FOUND.000").c_str());
    EXPECT_EQ(FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM,
              found & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_DIRECTORY) & ~FILE_ATTRIBUTE_DIRECTORY);
    EXPECT_TRUE(::GetFileAttributesA(X("{E}\\Data\\Reports\\system.tmp").c_str()) & FILE_ATTRIBUTE_SYSTEM);
    EXPECT_TRUE(::GetFileAttributesA(X("{RECENT}\\readme.txt").c_str()) & FILE_ATTRIBUTE_READONLY);

    // Real shell links, with the target and description the fixture gives.
    for (const FixtureEntry& l : links) {
        std::string target, description;
        ASSERT_TRUE(ReadShellLink(X(l.Field(0)), &target, &description)) << X(l.Field(0));
        EXPECT_TRUE(SameText(X(l.Field(1)), target)) << X(l.Field(0)) << " -> " << target;
        EXPECT_EQ(l.Field(2), description) << X(l.Field(0));
    }

    // The registry and win.ini lines are this machine's (the redirected registry), not the
    // prefix's that every test program shares.
    EXPECT_EQ(X("{C}\\NAGWARE\\NAGWARE.EXE"), IniLine("Load"));
    EXPECT_EQ(X("{C}\\NAGWARE\\NAGWARE.EXE"),
              ValueText(HKEY_CURRENT_USER, "Software\\Microsoft\\Windows NT\\CurrentVersion\\Windows", "Load"));
    DWORD type = 0;
    std::string bytes;
    ASSERT_TRUE(ReadValue(HKEY_CURRENT_USER, "Software\\Demo Vendor\\Photo Viewer", "ThumbCache", &bytes, &type));
    EXPECT_EQ(static_cast<DWORD>(REG_EXPAND_SZ), type);
    ASSERT_TRUE(ReadValue(HKEY_LOCAL_MACHINE, std::string(kCV) + "SharedDLLs",
                          X("{C}\\Program Files\\Photo Viewer\\pvcodec.dll"), &bytes, &type));
    EXPECT_EQ(static_cast<DWORD>(REG_DWORD), type);
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, "Software\\Classes\\KelvoDemo.Backup\\DefaultIcon"));
    EXPECT_EQ(kNormalCacheEntry, CacheEntryType("http://www.kelvo-demo.example/index.html") & kNormalCacheEntry);
    EXPECT_EQ(kCookieCacheEntry, CacheEntryType("Cookie:demo@kelvo-demo.example/") & kCookieCacheEntry);
    EXPECT_EQ(kUrlHistoryCacheEntry,
              CacheEntryType("Visited: demo@http://www.kelvo-demo.example/index.html") & kUrlHistoryCacheEntry);
    EXPECT_EQ("Account number 0000-1111-2222 (copied, never pasted)", ClipboardText());

    // The user (or a tool) disables and deletes things, adds a stray value and empties folders...
    std::string run = std::string(kCV) + "Run";
    SetString(HKEY_CURRENT_USER, run + "Disabled", "OldUpdater", "moved");
    SetString(HKEY_CURRENT_USER, "Software\\Demo Vendor\\Photo Viewer", "Stray", "x");
    ::SHDeleteKeyA(HKEY_CLASSES_ROOT, ".kvd");
    ::WritePrivateProfileStringA("windows", "LoadDisabled", "C:\\X.EXE", "win.ini");
    ::CopyFileA(X("{STARTUP}\\Kelvo Notes.lnk").c_str(), X("{STARTUP}Disabled\\Kelvo Notes.lnk").c_str(), FALSE);
    ::CopyFileA(X("{STARTUP}Disabled\\Weather.lnk").c_str(), X("{STARTUP}\\Weather.lnk").c_str(), FALSE);
    ::SetFileAttributesA(X("{RECENT}\\readme.txt").c_str(), FILE_ATTRIBUTE_NORMAL);
    ::DeleteFileA(X("{RECENT}\\readme.txt").c_str());
    RemoveFolderTree(X("{E}\\Data\\Reports"));
    ::DeleteUrlCacheEntryA("http://www.kelvo-demo.example/index.html");

    // ...and seeding again gives the fixture's machine back.
    SeedReport again = m.Seed();
    EXPECT_TRUE(again.problems.empty()) << ::testing::PrintToString(again.problems);
    EXPECT_EQ("<none>", ValueText(HKEY_CURRENT_USER, run + "Disabled", "OldUpdater"));
    EXPECT_EQ("<none>", ValueText(HKEY_CURRENT_USER, "Software\\Demo Vendor\\Photo Viewer", "Stray"));
    EXPECT_EQ("KelvoDemo.Document", ValueText(HKEY_CLASSES_ROOT, ".kvd", ""));
    EXPECT_EQ("", IniLine("LoadDisabled"));
    EXPECT_FALSE(FileExists(X("{STARTUP}Disabled\\Kelvo Notes.lnk")));
    EXPECT_FALSE(FileExists(X("{STARTUP}\\Weather.lnk")));
    EXPECT_TRUE(FileExists(X("{STARTUP}Disabled\\Weather.lnk")));
    EXPECT_TRUE(::GetFileAttributesA(X("{RECENT}\\readme.txt").c_str()) & FILE_ATTRIBUTE_READONLY);
    EXPECT_TRUE(FileExists(X("{E}\\Data\\Reports\\summary.txt")));
    EXPECT_EQ(kNormalCacheEntry, CacheEntryType("http://www.kelvo-demo.example/index.html") & kNormalCacheEntry);
}

// "Remove Unneeded Files": every built-in ending and the temporary folder's contents; setup
// logs, system files and a file in use stay out; deletions go to the Recycle Bin.
TEST_F(DemoTest, UnneededFiles) {
    ChooseTool(0);
    std::string inUse = X("{E}\\Data\\Reports\\inuse.tmp");
    HANDLE held = ::CreateFileA(inUse.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, held);
    Click("Scan");
    ::CloseHandle(held);

    std::vector<std::string> expected;
    for (const FixtureEntry& e : Expect("Remove Unneeded Files")) expected.push_back(Upper(X(e.Field(0))));
    std::sort(expected.begin(), expected.end());
    ASSERT_EQ(18u, expected.size());
    EXPECT_EQ(expected, OurPaths(1));
    for (int r = 0; r < view->Count(); ++r) {
        std::string path = view->Text(r, 1);
        EXPECT_EQ(NameOf(path), view->Text(r, 0));
        if (machine().Ours(path)) {
            WIN32_FILE_ATTRIBUTE_DATA data {};
            ASSERT_TRUE(::GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) << path;
            EXPECT_EQ(JunkSizeText(data.nFileSizeLow), view->Text(r, 2)) << path;
        }
    }
    EXPECT_TRUE(StartsWith(MessageBar(), "Total Invalid entries found: ")) << MessageBar();

    // Delete Selected: one question, then each selected file to the Recycle Bin.
    std::string letter = X("{E}\\Data\\Reports\\letter.old"), log = X("{E}\\Data\\Logs\\sync.log");
    SelectOnly({FindRow(1, letter), FindRow(1, log)});
    prompts->answers = {IDYES};
    Click("Delete Selected");
    ASSERT_EQ(1u, prompts->asked.size());
    EXPECT_EQ("Send all selected file(s) to the RecycleBin? ", prompts->asked[0].text);
    EXPECT_EQ(-1, FindRow(1, letter));
    EXPECT_EQ(-1, FindRow(1, log));
    ExpectRecycled(letter);
    ExpectRecycled(log);

    // Delete All: the shell asks its own question and recycles every listed file at once.
    DropForeignRows(1);
    std::vector<std::string> rest;
    for (int r = 0; r < view->Count(); ++r) rest.push_back(view->Text(r, 1));
    ASSERT_EQ(16u, rest.size());
    {
        ShellDialogAnswerer yes(IDYES);
        Click("Delete All");
        EXPECT_EQ(1, yes.answered()) << "the shell asked more than its one question";
    }
    EXPECT_EQ(0, view->Count());
    for (const std::string& path : rest) ExpectRecycled(path);
    // What the tool did not list is still there.
    for (const char* kept : {"{E}\\Data\\Reports\\budget.bak", "{E}\\Data\\Logs\\install.log",
                             "{E}\\Old Setup\\setup.log", "{E}\\Data\\Reports\\system.tmp",
                             "{E}\\Data\\Reports\\inuse.tmp", "{E}\\Data\\Reports\\summary.txt", "{E}\\Data\\empty.doc",
                             "{E}\\RECYCLER\\S-1-5-21-1004\\Dc1.tmp"})
        EXPECT_TRUE(FileExists(X(kept))) << X(kept);
}

// "Clean System Registry": dead paths in values, the shared DLL list, broken associations and
// COM registrations; everything removed is written to the undo file first, and the registry
// editor puts it all back from there.
TEST_F(DemoTest, RegistryCleaner) {
    ChooseTool(1);
    Click("Scan");
    struct Finding {
        std::string location, subKey, valueName, entry;
        bool operator<(const Finding& o) const {
            return std::tie(location, subKey, valueName, entry) < std::tie(o.location, o.subKey, o.valueName, o.entry);
        }
        bool operator==(const Finding& o) const { return !(*this < o) && !(o < *this); }
    };
    auto key = [](const std::string& a, const std::string& b, const std::string& c, const std::string& d) {
        return Finding {a, Upper(b), Upper(c), Upper(d)};
    };
    std::vector<Finding> expected, listed;
    for (const FixtureEntry& e : Expect("Clean System Registry"))
        expected.push_back(key(e.Field(0), e.Field(1), X(e.Field(2)), X(e.Field(3))));
    std::sort(expected.begin(), expected.end());
    auto listing = [&] {
        std::vector<Finding> out;
        for (int r = 0; r < view->Count(); ++r)
            out.push_back(key(view->Text(r, 0), view->Text(r, 1), view->Text(r, 2), view->Text(r, 4)));
        std::sort(out.begin(), out.end());
        return out;
    };
    listed = listing();
    ASSERT_EQ(32u, expected.size());
    EXPECT_EQ(expected.size(), listed.size());
    for (size_t i = 0; i < std::max(expected.size(), listed.size()); ++i) {
        const Finding* a = i < expected.size() ? &expected[i] : nullptr;
        const Finding* b = i < listed.size() ? &listed[i] : nullptr;
        if (a && b && !(*a < *b) && !(*b < *a)) continue;
        ADD_FAILURE() << "expected " << (a ? a->location + " | " + a->subKey + " | " + a->valueName + " | " + a->entry : "-")
                      << "\n  listed " << (b ? b->location + " | " + b->subKey + " | " + b->valueName + " | " + b->entry : "-");
        break;
    }
    EXPECT_EQ("Total Invalid entries found: 32", MessageBar());

    // What each row names, to look for it on the machine afterwards.
    struct Named {
        HKEY root;
        std::string key, value;
        bool isKey;
        std::string bytes;
        DWORD type = 0;
    };
    std::vector<Named> named;
    for (int r = 0; r < view->Count(); ++r) {
        DWORD flags = view->Data(r);
        HKEY root = (flags & 4) ? HKEY_LOCAL_MACHINE : (flags & 2) ? HKEY_CURRENT_USER : (flags & 8) ? HKEY_USERS
                                                                                                      : HKEY_CLASSES_ROOT;
        Named n {root, view->Text(r, 1), view->Text(r, 2), (flags & 0x10) != 0};
        if (!n.isKey) ASSERT_TRUE(ReadValue(root, n.key, n.value, &n.bytes, &n.type)) << n.key << " " << n.value;
        else ASSERT_TRUE(KeyExists(root, n.key)) << n.key;
        named.push_back(n);
    }

    // Undo files of the undo folder as they stand before the removals.
    std::map<std::string, uint64_t> before;
    auto undoFiles = [] {
        std::map<std::string, uint64_t> sizes;
        WIN32_FIND_DATAA fd;
        HANDLE h = ::FindFirstFileA((UndoFolder() + "\\*.reg").c_str(), &fd);
        if (h == INVALID_HANDLE_VALUE) return sizes;
        do sizes[UndoFolder() + "\\" + fd.cFileName] = fd.nFileSizeLow;
        while (::FindNextFileA(h, &fd));
        ::FindClose(h);
        return sizes;
    };
    before = undoFiles();

    // Remove Selected: one value.
    int lastFile = -1;
    for (int r = 0; r < view->Count(); ++r)
        if (view->Text(r, 0) == "HKEY_CURRENT_USER" && view->Text(r, 2) == "LastFile") lastFile = r;
    SelectOnly({lastFile});
    prompts->answers = {IDYES};
    Click("Remove Selected");
    EXPECT_EQ("Are you sure you want to remove the selected item(s)?", prompts->asked.at(0).text);
    EXPECT_EQ(31, view->Count());
    EXPECT_FALSE(ReadValue(HKEY_CURRENT_USER, "Software\\Demo Vendor\\Photo Viewer", "LastFile"));
    EXPECT_EQ("2.1", ValueText(HKEY_CURRENT_USER, "Software\\Demo Vendor\\Photo Viewer", "Version"));

    // Remove All: the rest, nested keys included.
    prompts->answers = {IDYES};
    Click("Remove All");
    ASSERT_EQ(3u, prompts->asked.size());
    EXPECT_EQ("Are you sure you want to remove all the item(s)?", prompts->asked[1].text);
    EXPECT_EQ("Undo information has been saved in the program's folder\ndouble-click on it to undo the changes made now",
              prompts->asked[2].text);
    EXPECT_EQ(0, view->Count());
    for (const Named& n : named) {
        if (n.isKey) EXPECT_FALSE(KeyExists(n.root, n.key)) << n.key;
        else EXPECT_FALSE(ReadValue(n.root, n.key, n.value)) << n.key << " " << n.value;
    }
    // Neighbours of what was removed stay.
    EXPECT_EQ("2.1", ValueText(HKEY_CURRENT_USER, "Software\\Demo Vendor\\Photo Viewer", "Version"));
    EXPECT_EQ("KelvoDemo.Backup", ValueText(HKEY_CLASSES_ROOT, ".kbk", ""));
    EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, "KelvoDemo.Backup\\shell\\open\\command"));
    EXPECT_NE("<none>", ValueText(HKEY_LOCAL_MACHINE, std::string(kCV) + "SharedDLLs", X("{SYSTEM}\\comctl32.dll")));

    // The undo text this test's removals appended, with its roots moved to where this machine's
    // registry really lies, so that regedit (a program of its own, which sees no redirection)
    // puts it back there.
    std::string undo;
    for (const auto& f : undoFiles()) {
        auto old = before.find(f.first);
        uint64_t from = old == before.end() ? 0 : old->second;
        // UTF-16LE text after the byte order mark.
        if (f.second <= from) continue;
        std::string bytes = ReadWholeFile(f.first).substr(from ? from : 2);
        undo += NarrowText(std::wstring(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / 2));
    }
    const std::string kUndoHeader = "Windows Registry Editor Version 5.00";
    ASSERT_FALSE(undo.empty()) << "no undo file was written";
    std::string import = kUndoHeader + "\r\n";
    std::istringstream lines(undo);
    std::string line;
    const struct { const char* root; int part; } kMoves[] = {{"[HKEY_CURRENT_USER\\", 0}, {"[HKEY_USERS\\", 1},
                                                             {"[HKEY_LOCAL_MACHINE\\", 2}, {"[HKEY_CLASSES_ROOT\\", 3}};
    int keyLines = 0;
    while (std::getline(lines, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line == kUndoHeader) continue;
        for (const auto& move : kMoves) {
            if (StartsWith(line, move.root)) {
                line = "[" + machine().ScratchRoot(move.part) + "\\" + line.substr(std::string(move.root).size());
                ++keyLines;
                break;
            }
        }
        import += line + "\r\n";
    }
    EXPECT_GE(keyLines, 32);
    std::string importFile = X("{C}\\undo-import.reg");
    std::wstring wide = L"\xFEFF" + WideName(import, CP_UTF8);
    ASSERT_TRUE(WriteFileText(importFile, std::string(reinterpret_cast<const char*>(wide.data()), wide.size() * 2)));
    ASSERT_EQ(0u, ImportWithRegedit(importFile));
    for (const Named& n : named) {
        if (n.isKey) {
            EXPECT_TRUE(KeyExists(n.root, n.key)) << n.key;
            continue;
        }
        std::string bytes;
        DWORD type = 0;
        EXPECT_TRUE(ReadValue(n.root, n.key, n.value, &bytes, &type)) << n.key << " " << n.value;
        EXPECT_EQ(n.type, type) << n.key << " " << n.value;
        EXPECT_EQ(n.bytes, bytes) << n.key << " " << n.value;
    }
    // The restored machine shows the same findings again.
    Click("Scan");
    EXPECT_EQ(expected.size(), listing().size());
    EXPECT_TRUE(listing() == expected) << "the restored registry lists other findings";
}

// "AutoStart Programs": every startup place with its state, the reports of re-enabled and
// invalid entries, moves between live places and their Disabled twins and back, and deletion.
TEST_F(DemoTest, StartupPrograms) {
    ChooseTool(2);  // scans at once
    const auto& expect = Expect("AutoStart Programs");
    ASSERT_EQ(20u, expect.size());
    auto nameOf = [&](const FixtureEntry& e) {
        if (e.Field(0) != "*") return e.Field(0);
        std::string command = X(e.Field(1));
        size_t slash = command.find('\\');
        return slash == std::string::npos ? command : command.substr(slash + 1);
    };
    auto checkRows = [&](const char* when) {
        ASSERT_EQ(static_cast<int>(expect.size()), view->Count()) << when;
        std::vector<std::string> wanted, listed, wantedPlaces, listedPlaces;
        for (const FixtureEntry& e : expect) {
            wanted.push_back(Upper(nameOf(e) + "|" + X(e.Field(1)) + "|" + e.Field(2) + "|" + e.Field(3) + "|" +
                                   e.Field(4)));
            wantedPlaces.push_back(e.Field(2));
        }
        for (int r = 0; r < view->Count(); ++r) {
            bool on = view->IsChecked(r);
            EXPECT_EQ(on ? 1u : 0u, view->Data(r)) << view->Text(r, 0);
            listed.push_back(Upper(view->Text(r, 0) + "|" + view->Text(r, 1) + "|" + view->Text(r, 2) + "|" +
                                   view->Text(r, 3) + "|" + (on ? "on" : "off")));
            listedPlaces.push_back(view->Text(r, 2));
        }
        // The places in their order; the entries of one place in any order.
        EXPECT_EQ(wantedPlaces, listedPlaces) << when;
        std::sort(wanted.begin(), wanted.end());
        std::sort(listed.begin(), listed.end());
        EXPECT_EQ(wanted, listed) << when;
    };
    checkRows("first scan");

    // The reports: the re-enabled program in the taskbar notifier, and (because both kinds of
    // finding occurred) the invalid ones in a message box, in list order with a comma after each.
    std::string reEnabled, invalid;
    for (int r = 0; r < view->Count(); ++r) {
        for (const FixtureEntry& e : expect) {
            if (!SameText(X(e.Field(1)), view->Text(r, 1)) || e.Field(2) != view->Text(r, 2)) continue;
            if (e.Field(5) == "invalid") invalid += view->Text(r, 0) + ",";
            if (e.Field(5) == "re-enabled") reEnabled += (reEnabled.empty() ? "" : ",") + view->Text(r, 0);
        }
    }
    EXPECT_EQ("Previously disabled program(s) have re-enabled themselves again.\nName(s): " + reEnabled +
                  ".\nPlease see the configuration of these programs",
              frame->Notifier().text);
    ASSERT_EQ(1u, prompts->asked.size());
    EXPECT_EQ("AutoStart Programs", prompts->asked[0].caption);
    EXPECT_EQ("Location of certain program(s) may be invalid.\n\nName(s):\t" + invalid +
                  "\nPlease verify the paths are correct.This can happen if you have uninstalled the "
                  "application.If the path is invalid, delete that entry",
              prompts->asked[0].text);

    // Update: disable a registry entry, a win.ini entry and a Startup-folder shortcut, enable a
    // parked one.
    std::string hkcuRun = std::string(kCV) + "Run";
    std::string nag = X("{C}\\NAGWARE\\NAGWARE.EXE");
    auto row = [&](const std::string& name, const std::string& place) {
        for (int r = 0; r < view->Count(); ++r)
            if (SameText(view->Text(r, 0), name) && SameText(view->Text(r, 2), place)) return r;
        return -1;
    };
    const std::string hkcuRunPlace = "HKEY_CURRENT_USER\\" + hkcuRun;
    const std::string nagName = nag.substr(nag.find('\\') + 1);
    const std::string clipmon = X("{C}\\TOOLS\\CLIPMON.EXE"), taskmon = X("{C}\\TOOLS\\TASKMON.EXE");
    const std::string prnmon = X("{C}\\TOOLS\\PRNMON.EXE"), taskmonName = taskmon.substr(taskmon.find('\\') + 1);
    int oldUpdater = row("OldUpdater", hkcuRunPlace), trayClock = row("TrayClock", hkcuRunPlace + "Disabled");
    int nagware = row(nagName, "Load"), notes = row("Kelvo Notes.lnk", "Startup");
    int reminder = row("Reminder", hkcuRunPlace + "Disabled"), taskmonRow = row(taskmonName, "Run");
    ASSERT_TRUE(oldUpdater >= 0 && trayClock >= 0 && nagware >= 0 && notes >= 0 && reminder >= 0 && taskmonRow >= 0);
    view->SetChecked(oldUpdater, false);
    view->SetChecked(trayClock, true);
    view->SetChecked(nagware, false);
    view->SetChecked(notes, false);
    view->SetChecked(reminder, true);
    view->SetChecked(taskmonRow, false);
    Click("Update");
    EXPECT_EQ("<none>", ValueText(HKEY_CURRENT_USER, hkcuRun, "OldUpdater"));
    EXPECT_EQ(X("{C}\\Program Files\\Old Updater\\oupdate.exe /background"),
              ValueText(HKEY_CURRENT_USER, hkcuRun + "Disabled", "OldUpdater"));
    EXPECT_EQ(X("{C}\\Program Files\\Tray Clock\\trayclock.exe"), ValueText(HKEY_CURRENT_USER, hkcuRun, "TrayClock"));
    EXPECT_EQ("<none>", ValueText(HKEY_CURRENT_USER, hkcuRun + "Disabled", "TrayClock"));
    EXPECT_EQ("", IniLine("Load"));
    EXPECT_TRUE(SameText(nag, IniLine("LoadDisabled"))) << IniLine("LoadDisabled");
    EXPECT_FALSE(FileExists(X("{STARTUP}\\Kelvo Notes.lnk")));
    EXPECT_TRUE(FileExists(X("{STARTUP}Disabled\\Kelvo Notes.lnk")));
    EXPECT_TRUE(::GetFileAttributesA(X("{STARTUP}Disabled").c_str()) & FILE_ATTRIBUTE_HIDDEN);
    // One entry of a line of two moves; an expandable value keeps its type.
    EXPECT_TRUE(SameText(clipmon, IniLine("Run"))) << IniLine("Run");
    EXPECT_TRUE(SameText(prnmon + " " + taskmon, IniLine("RunDisabled"))) << IniLine("RunDisabled");
    std::string bytes;
    DWORD type = 0;
    ASSERT_TRUE(ReadValue(HKEY_CURRENT_USER, hkcuRun, "Reminder", &bytes, &type));
    EXPECT_EQ(static_cast<DWORD>(REG_EXPAND_SZ), type);
    EXPECT_EQ(std::string("%SystemRoot%\\notepad.exe") + '\0', bytes);
    EXPECT_EQ("<none>", ValueText(HKEY_CURRENT_USER, hkcuRun + "Disabled", "Reminder"));
    // The list is read again from the machine.
    EXPECT_EQ(20, view->Count());
    oldUpdater = row("OldUpdater", hkcuRunPlace + "Disabled");
    trayClock = row("TrayClock", hkcuRunPlace);
    nagware = row(nagName, "LoadDisabled");
    notes = row("Kelvo Notes.lnk", "Startup");
    reminder = row("Reminder", hkcuRunPlace);
    taskmonRow = row(taskmonName, "RunDisabled");
    ASSERT_TRUE(oldUpdater >= 0 && trayClock >= 0 && nagware >= 0 && notes >= 0 && reminder >= 0 && taskmonRow >= 0);
    EXPECT_TRUE(view->IsChecked(reminder));
    EXPECT_FALSE(view->IsChecked(taskmonRow));
    EXPECT_FALSE(view->IsChecked(oldUpdater));
    EXPECT_TRUE(view->IsChecked(trayClock));
    EXPECT_FALSE(view->IsChecked(nagware));
    EXPECT_FALSE(view->IsChecked(notes));

    // ...and back again.
    view->SetChecked(oldUpdater, true);
    view->SetChecked(trayClock, false);
    view->SetChecked(nagware, true);
    view->SetChecked(notes, true);
    view->SetChecked(reminder, false);
    view->SetChecked(taskmonRow, true);
    Click("Update");
    checkRows("moved back");
    EXPECT_EQ(X("{C}\\Program Files\\Old Updater\\oupdate.exe /background"),
              ValueText(HKEY_CURRENT_USER, hkcuRun, "OldUpdater"));
    EXPECT_TRUE(SameText(nag, IniLine("Load")));
    EXPECT_EQ("", IniLine("LoadDisabled"));
    EXPECT_TRUE(SameText(clipmon + " " + taskmon, IniLine("Run"))) << IniLine("Run");
    EXPECT_TRUE(SameText(prnmon, IniLine("RunDisabled"))) << IniLine("RunDisabled");
    EXPECT_TRUE(FileExists(X("{STARTUP}\\Kelvo Notes.lnk")));

    // Delete Selected: an entry of a Disabled key and a Startup-folder shortcut, for good.
    prompts->asked.clear();
    SelectOnly({row("OldBackup", "HKEY_LOCAL_MACHINE\\" + std::string(kCV) + "RunDisabled"),
                row("Photo Viewer Tray.lnk", "Startup")});
    prompts->answers = {IDYES};
    Click("Delete Selected");
    EXPECT_EQ("Are you sure you want to delete selected items ?", prompts->asked.at(0).text);
    EXPECT_EQ(18, view->Count());
    EXPECT_EQ("<none>", ValueText(HKEY_LOCAL_MACHINE, std::string(kCV) + "RunDisabled", "OldBackup"));
    EXPECT_FALSE(FileExists(X("{STARTUP}\\Photo Viewer Tray.lnk")));
    EXPECT_FALSE(RecycleBinHolds(X("{STARTUP}"), "Photo Viewer Tray.lnk"));

    // Delete All: every place is empty afterwards.
    prompts->answers = {IDYES};
    Click("Delete All");
    EXPECT_EQ(0, view->Count());
    for (const char* place : {"Run", "RunOnce", "RunDisabled"}) EXPECT_EQ(0, ValueCount(HKEY_CURRENT_USER, kCV + std::string(place))) << place;
    for (const char* place : {"Run", "RunServices", "RunDisabled"}) EXPECT_EQ(0, ValueCount(HKEY_LOCAL_MACHINE, kCV + std::string(place))) << place;
    for (const char* key : {"Load", "Run", "LoadDisabled", "RunDisabled"}) EXPECT_EQ("", IniLine(key)) << key;
    for (const char* file : {"{STARTUP}\\Kelvo Notes.lnk", "{STARTUP}\\Hidden Helper.lnk", "{STARTUP}Disabled\\Weather.lnk",
                             "{COMMON STARTUP}\\Kelvo Sync.lnk"})
        EXPECT_FALSE(FileExists(X(file))) << X(file);
    // A read-only shortcut is no startup entry the tool lists, so it is left alone.
    EXPECT_TRUE(FileExists(X("{STARTUP}\\Pinned.lnk")));
    Click("Refresh List");
    EXPECT_EQ(0, view->Count());
}

// "Fix Invalid Shortcuts": shortcuts whose targets are gone, wherever they lie; the shell's
// repair of one, and deletion to the Recycle Bin.
TEST_F(DemoTest, InvalidShortcuts) {
    ChooseTool(3);
    Click("Scan");
    std::vector<std::string> expected, listed;
    for (const FixtureEntry& e : Expect("Fix Invalid Shortcuts"))
        expected.push_back(Upper(X(e.Field(0)) + "|" + X(e.Field(1)) + "|" + e.Field(2)));
    std::sort(expected.begin(), expected.end());
    for (int r = 0; r < view->Count(); ++r) {
        EXPECT_EQ(NameOf(view->Text(r, 1)), view->Text(r, 0));
        if (machine().Ours(view->Text(r, 1)))
            listed.push_back(Upper(view->Text(r, 1) + "|" + view->Text(r, 2) + "|" + view->Text(r, 3)));
    }
    std::sort(listed.begin(), listed.end());
    ASSERT_EQ(5u, expected.size());
    EXPECT_EQ(expected, listed);
    EXPECT_EQ(Format("Total Invalid entries found: %d", view->Count()), MessageBar());

    // Fix Selected: the document is back where the shortcut expects it; the shell's repair
    // leaves a working shortcut, and the next scan no longer lists it.
    std::string report = X("{E}\\Data\\Shortcuts\\Old Report.lnk");
    ASSERT_TRUE(WriteFileText(X("{E}\\Data\\Reports\\q3-forecast.txt"), "found again"));
    SelectOnly({FindRow(1, report)});
    Click("Fix Selected");
    EXPECT_EQ(-1, FindRow(1, report));
    std::string target;
    ASSERT_TRUE(ReadShellLink(report, &target, nullptr));
    EXPECT_TRUE(SameText(X("{E}\\Data\\Reports\\q3-forecast.txt"), target)) << target;

    Click("Scan");
    EXPECT_EQ(-1, FindRow(1, report));
    EXPECT_EQ(4u, OurPaths(1).size());

    // Delete Selected and Delete All send the shortcuts to the Recycle Bin.
    std::string viewer = X("{E}\\Data\\Shortcuts\\Photo Viewer.lnk");
    SelectOnly({FindRow(1, viewer)});
    prompts->answers = {IDYES};
    Click("Delete Selected");
    EXPECT_EQ("Send all selected shortcut(s) to the RecycleBin ?", prompts->asked.at(0).text);
    ExpectRecycled(viewer);

    DropForeignRows(1);
    std::vector<std::string> rest;
    for (int r = 0; r < view->Count(); ++r) rest.push_back(view->Text(r, 1));
    ASSERT_EQ(3u, rest.size());
    {
        ShellDialogAnswerer yes(IDYES);
        Click("Delete All");
        EXPECT_EQ(1, yes.answered()) << "the shell asked more than its one question";
    }
    EXPECT_EQ(0, view->Count());
    for (const std::string& path : rest) ExpectRecycled(path);
    // Working shortcuts stay.
    for (const char* kept : {"{E}\\Data\\Shortcuts\\Photos.lnk", "{E}\\Data\\Shortcuts\\Summary.lnk",
                             "{STARTUP}\\Kelvo Notes.lnk", "{RECENT}\\summary.txt.lnk"})
        EXPECT_TRUE(FileExists(X(kept))) << X(kept);
}

// "Erase Your History": "Start" with the options checked as the tool opens.
TEST_F(DemoTest, HistoryEraser) {
    ChooseTool(4);
    ASSERT_EQ(8, view->Count());
    int checked = 0;
    for (int r = 0; r < view->Count(); ++r) checked += view->IsChecked(r) ? 1 : 0;
    EXPECT_EQ(7, checked);
    EXPECT_FALSE(view->IsChecked(FindRow(0, "Delete all cookies in the Temporary Internet Files Folder")));
    ASSERT_NE("<busy>", ClipboardText());
    ASSERT_NE("", ClipboardText());

    Click("Start");
    const auto& expect = Expect("Erase Your History");
    ASSERT_GE(expect.size(), 20u);
    for (const FixtureEntry& e : expect) {
        std::string state = e.Field(0), kind = e.Field(1), what = X(e.Field(2));
        SCOPED_TRACE(state + " " + kind + " " + what);
        if (kind == "key") {
            std::string sub;
            HKEY root = ParseRootKey(what, &sub);
            ASSERT_TRUE(root);
            EXPECT_EQ(state != "gone", KeyExists(root, sub));
            if (state == "empty") {
                EXPECT_EQ(0, ValueCount(root, sub));
            }
        } else if (kind == "file") {
            if (state == "gone") ExpectRecycled(what);
            else EXPECT_TRUE(FileExists(what));
        } else if (kind == "cache") {
            EXPECT_EQ(state == "kept", CacheEntryType(what) != 0);
        } else if (kind == "clipboard") {
            EXPECT_EQ("", ClipboardText());
        } else {
            ADD_FAILURE() << "unknown kind";
        }
    }
    // The rows and their check marks stay for another "Start".
    EXPECT_EQ(8, view->Count());
    EXPECT_EQ("", MessageBar());
}

// "Find Duplicate Files": groups across folders and drives; near misses stay out; a copy goes to
// the Recycle Bin.
TEST_F(DemoTest, DuplicateFiles) {
    ChooseTool(5);
    Click("Scan");
    // Rows between separators form the groups; the texts are read from the list as it draws them.
    std::vector<std::vector<std::string>> groups;
    for (int r = 0; r < view->Count(); ++r) {
        std::string path = view->Text(r, 1);
        if (path.empty()) {
            EXPECT_EQ("", view->Text(r, 0));
            groups.emplace_back();
            continue;
        }
        ASSERT_FALSE(groups.empty()) << "a file row before the first separator";
        EXPECT_EQ(NameOf(path), view->Text(r, 0));
        groups.back().push_back(Upper(path));
    }
    std::vector<std::vector<std::string>> ours;
    int rows = 0;
    for (auto& g : groups) {
        int own = 0;
        for (const auto& p : g) own += machine().Ours(p) ? 1 : 0;
        if (own == 0) continue;  // another program's files
        EXPECT_EQ(static_cast<int>(g.size()), own) << "a group mixes the test's files with others";
        std::sort(g.begin(), g.end());
        ours.push_back(g);
        rows += 1 + own;
    }
    std::vector<std::vector<std::string>> expected;
    for (const FixtureEntry& e : Expect("Find Duplicate Files")) {
        std::vector<std::string> g;
        for (const std::string& f : e.fields) g.push_back(Upper(X(f)));
        std::sort(g.begin(), g.end());
        expected.push_back(g);
    }
    ASSERT_EQ(3u, expected.size());
    std::sort(ours.begin(), ours.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(expected, ours);
    if (rows == view->Count()) {
        EXPECT_TRUE(StartsWith(MessageBar(), "7 possible duplicates files found from ")) << MessageBar();
    }

    // Delete Selected: the warning, one question, and the copy in the Recycle Bin.
    std::string copy = X("{C}\\Photos Backup\\holiday.jpg");
    SelectOnly({FindRow(1, copy)});
    prompts->answers = {IDYES};
    Click("Delete Selected");
    EXPECT_EQ(LoadStr(IDS_DUPLICATE_DELETE_WARNING), frame->Notifier().text);
    EXPECT_EQ("Send all selected file(s) to the RecycleBin? ", prompts->asked.at(0).text);
    ExpectRecycled(copy);
    EXPECT_EQ(-1, FindRow(1, copy));
    EXPECT_TRUE(FileExists(X("{E}\\Data\\Photos\\holiday.jpg")));
}

// "Keep (never list again)": a kept registry finding, unneeded file and shortcut stay out of
// every later scan, a duplicate's folder kept as a reference keeps its files listed but never
// selectable, and removing the items on the Options sheet's "Keep List" page lists them again.
TEST_F(DemoTest, KeptFindingsStayOutUntilRemovedFromTheKeepList) {
    // Other test programs' files may come and go on the drives meanwhile: the file tools' rows
    // are compared for the test's own files.
    auto ours = [this](int row) { return view->ListMode == kListRegistry || machine().Ours(view->Text(row, 1)); };
    auto rowsOf = [&] {
        std::vector<std::string> rows;
        for (int r = 0; r < view->Count(); ++r)
            if (ours(r)) rows.push_back(view->Text(r, 0) + "|" + view->Text(r, 1) + "|" + view->Text(r, 2));
        std::sort(rows.begin(), rows.end());
        return rows;
    };
    struct Tool { int mode; const char* pick; };
    const Tool tools[] = {{1, nullptr}, {0, "{E}\\Data\\Reports\\letter.old"}, {3, nullptr}};
    std::vector<std::vector<std::string>> before;
    for (const Tool& t : tools) {
        ChooseTool(t.mode);
        Click("Scan");
        before.push_back(rowsOf());
        int row = t.pick ? FindRow(1, X(t.pick)) : 0;
        while (row < view->Count() && !ours(row)) ++row;
        ASSERT_GE(row, 0) << t.mode;
        std::string kept = view->Text(row, 0) + "|" + view->Text(row, 1) + "|" + view->Text(row, 2);
        SelectOnly({row});
        RunItemCommand(*view, ID_ITEM_KEEP, {});
        Click("Scan");
        std::vector<std::string> expected = before.back();
        expected.erase(std::find(expected.begin(), expected.end(), kept));
        EXPECT_EQ(expected, rowsOf()) << "tool " << t.mode;
    }

    ChooseTool(5);
    Click("Scan");
    std::string copy = X("{C}\\Photos Backup\\holiday.jpg");
    SelectOnly({FindRow(1, copy)});
    RunItemCommand(*view, ID_ITEM_KEEP, {});
    Click("Scan");
    ASSERT_GE(FindRow(1, copy), 0) << "a reference folder's files are still listed";
    SelectOnly({FindRow(1, copy)});
    EXPECT_FALSE(view->IsSelected(FindRow(1, copy)));
    Click("Delete Selected");
    EXPECT_TRUE(FileExists(copy));

    // The "Keep List" page: every item removed, and OK.
    UINT_PTR timer = ::SetTimer(nullptr, 0, 50, [](HWND, UINT, UINT_PTR, DWORD) {
        HWND sheet = ::FindWindowA(nullptr, "Options");
        if (!sheet || !PropSheet_GetCurrentPageHwnd(sheet)) return;
        HWND page = PropSheet_GetCurrentPageHwnd(sheet);
        HWND list = ::GetDlgItem(page, IDC_KEEP_LIST);
        if (!list || ::SendMessageA(list, LVM_GETITEMCOUNT, 0, 0) == 0) return;
        LVITEMA all {};
        all.stateMask = all.state = LVIS_SELECTED;
        ::SendMessageA(list, LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&all));
        ::SendMessageA(::GetDlgItem(page, IDC_KEEP_REMOVE), BM_CLICK, 0, 0);
        ::PostMessageA(sheet, PSM_PRESSBUTTON, PSBTN_OK, 0);
    });
    frame->OpenOptionsSheetOn(kPageKeepList);
    ::KillTimer(nullptr, timer);
    EXPECT_TRUE(view->settings.keep.Items().empty());
    for (size_t i = 0; i < std::size(tools); ++i) {
        ChooseTool(tools[i].mode);
        Click("Scan");
        EXPECT_EQ(before[i], rowsOf()) << "tool " << tools[i].mode;
    }
}
