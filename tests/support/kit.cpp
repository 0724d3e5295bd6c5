#include "kit.h"

#include "core/codepage.h"
#include "framework/prompter.h"
#include "framework/settings.h"

#include <sddl.h>
#include <shlobj.h>
#include <shlwapi.h>
#include <shobjidl.h>

#include <cstring>
#include <fstream>
#include <sstream>

namespace kit {

std::string Pid() { return std::to_string(::GetCurrentProcessId()); }

int Rows::Add(std::vector<std::string> texts, DWORD data, bool selected, size_t columns) {
    if (texts.size() < columns) texts.resize(columns);
    int row = AddRow(texts, 0, data);
    Select(row, selected);
    return row;
}

std::vector<std::string> Rows::Column(int column) const {
    std::vector<std::string> out;
    for (int r = 0; r < Count(); ++r) out.push_back(Text(r, column));
    return out;
}

int Rows::Find(int column, const std::string& text) const {
    for (int r = 0; r < Count(); ++r)
        if (::lstrcmpiA(Text(r, column).c_str(), text.c_str()) == 0) return r;
    return -1;
}

ScratchSettings::ScratchSettings() : key_("settings") {
    SetSettingsKey(key_.path().substr(std::string("Software\\").size()), "Kelvo Utils");
}

ScratchSettings::~ScratchSettings() { SetSettingsKey("Kelvo Utils", "Kelvo Utils"); }

RedirectedUser::RedirectedUser() : base_("user") {
    ::RegOpenKeyExA(HKEY_CURRENT_USER, base_.path().c_str(), 0, KEY_ALL_ACCESS, &key_);
    ::RegOverridePredefKey(HKEY_CURRENT_USER, key_);
}

RedirectedUser::~RedirectedUser() {
    ::RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
    ::RegCloseKey(key_);
}

ShellDialogAnswerer::ShellDialogAnswerer(int button) : button_(button), thread_([this] {
    while (!stop_) {
        ::EnumWindows(Visit, reinterpret_cast<LPARAM>(this));
        ::Sleep(50);
    }
}) {}

ShellDialogAnswerer::~ShellDialogAnswerer() {
    stop_ = true;
    thread_.join();
}

BOOL CALLBACK ShellDialogAnswerer::Visit(HWND w, LPARAM self) {
    auto* me = reinterpret_cast<ShellDialogAnswerer*>(self);
    DWORD pid = 0;
    ::GetWindowThreadProcessId(w, &pid);
    char cls[32] = {};
    ::GetClassNameA(w, cls, sizeof cls);
    if (pid != ::GetCurrentProcessId() || !::IsWindowVisible(w) || lstrcmpA(cls, "#32770") != 0 || w == me->last_)
        return TRUE;
    int button = me->answered_ == 0 ? me->button_ : IDNO;
    if (!::GetDlgItem(w, button)) return TRUE;
    me->last_ = w;
    ::PostMessageA(w, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), reinterpret_cast<LPARAM>(::GetDlgItem(w, button)));
    ++me->answered_;
    return FALSE;
}

std::string ReadWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream all;
    all << in.rdbuf();
    return all.str();
}

void SetRegRaw(HKEY root, const std::string& key, const std::string& name, DWORD type, const std::string& bytes) {
    HKEY k = nullptr;
    if (::RegCreateKeyExW(root, WideName(key, CP_UTF8).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k,
                          nullptr) != ERROR_SUCCESS)
        return;
    ::RegSetValueExW(k, WideName(name, CP_UTF8).c_str(), 0, type, reinterpret_cast<const BYTE*>(bytes.data()),
                     static_cast<DWORD>(bytes.size()));
    ::RegCloseKey(k);
}

void SetRegString(HKEY root, const std::string& key, const std::string& name, const std::string& text, DWORD type) {
    std::wstring w = WideName(text, CP_UTF8);
    SetRegRaw(root, key, name, type,
              std::string(reinterpret_cast<const char*>(w.c_str()), (w.size() + 1) * sizeof(wchar_t)));
}

bool RegKeyPresent(HKEY root, const std::string& key) {
    HKEY k = nullptr;
    if (::RegOpenKeyExW(root, WideName(key, CP_UTF8).c_str(), 0, KEY_READ, &k) != ERROR_SUCCESS) return false;
    ::RegCloseKey(k);
    return true;
}

namespace {
struct ModalRun {
    std::deque<std::function<bool()>> steps;
    DWORD start, ms;
    bool busy = false, lost = false;
};
ModalRun* g_modalRun = nullptr;
}  // namespace

bool RunModal(const std::function<void()>& open, std::deque<std::function<bool()>> steps, DWORD ms) {
    ModalRun run {std::move(steps), ::GetTickCount(), ms};
    ModalRun* outer = g_modalRun;
    g_modalRun = &run;
    UINT_PTR timer = ::SetTimer(nullptr, 0, 30, [](HWND, UINT, UINT_PTR, DWORD) {
        ModalRun* r = g_modalRun;
        if (!r || r->busy || r->steps.empty()) return;
        r->busy = true;
        if (r->steps.front()()) r->steps.pop_front();
        if (!r->steps.empty() && ::GetTickCount() - r->start > r->ms) {
            r->lost = true;
            r->steps.clear();
            ::EndMenu();
            ::EnumThreadWindows(::GetCurrentThreadId(), [](HWND h, LPARAM) {
                char cls[16] = {};
                ::GetClassNameA(h, cls, sizeof cls);
                if (lstrcmpA(cls, "#32770") == 0) ::PostMessageA(h, WM_COMMAND, IDCANCEL, 0);
                return TRUE;
            }, 0);
        }
        r->busy = false;
    });
    open();
    ::KillTimer(nullptr, timer);
    g_modalRun = outer;
    return !run.lost && run.steps.empty();
}

// The registry roots on scratch keys, keys a user may only read, and undo files.
namespace {
const HKEY kScratchRoots[4] = {HKEY_CURRENT_USER, HKEY_USERS, HKEY_LOCAL_MACHINE, HKEY_CLASSES_ROOT};
}

const char* const kScratchRootParts[4] = {"HKCU", "HKU", "HKLM", "HKLM\\Software\\Classes"};

ScratchRoots::ScratchRoots() : base_("roots") {
    // All opened before the redirection, which would apply to the scratch key too.
    for (int i = 0; i < 4; ++i)
        ::RegCreateKeyExA(HKEY_CURRENT_USER, (base_.path() + "\\" + kScratchRootParts[i]).c_str(), 0, nullptr, 0,
                          KEY_ALL_ACCESS, nullptr, &keys_[i], nullptr);
    for (int i = 0; i < 4; ++i) ::RegOverridePredefKey(kScratchRoots[i], keys_[i]);
}

ScratchRoots::~ScratchRoots() {
    for (int i = 0; i < 4; ++i) {
        ::RegOverridePredefKey(kScratchRoots[i], nullptr);
        ::RegCloseKey(keys_[i]);
    }
}

std::string ScratchRoots::RealPath(int i) const {
    return "HKEY_CURRENT_USER\\" + base_.path() + "\\" + kScratchRootParts[i];
}

DWORD ScratchRoots::Import(std::string text, const std::string& file) const {
    static const std::string kNames[4] = {"HKEY_CURRENT_USER", "HKEY_USERS", "HKEY_LOCAL_MACHINE", "HKEY_CLASSES_ROOT"};
    const std::string header = "Windows Registry Editor Version 5.00\r\n";
    for (size_t at; (at = text.find(header)) != std::string::npos;) text.erase(at, header.size());
    for (int i = 0; i < 4; ++i)
        for (size_t at = 0; (at = text.find("[" + kNames[i] + "\\", at)) != std::string::npos; ++at)
            text.replace(at + 1, kNames[i].size(), RealPath(i));
    std::wstring wide = L"\xFEFF" + WideName(header + text, CP_UTF8);
    if (!WriteFileText(file, std::string(reinterpret_cast<char*>(&wide[0]), wide.size() * 2))) return DWORD(-1);
    return ImportWithRegedit(file);
}

bool SetKeyAccess(HKEY root, const std::string& key, const char* sddl) {
    HKEY k = nullptr;
    PSECURITY_DESCRIPTOR sd = nullptr;
    if (::RegCreateKeyExW(root, WideName(key, CP_UTF8).c_str(), 0, nullptr, 0, WRITE_DAC, nullptr, &k, nullptr) !=
        ERROR_SUCCESS)
        return false;
    bool done = ::ConvertStringSecurityDescriptorToSecurityDescriptorA(sddl, SDDL_REVISION_1, &sd, nullptr) &&
                ::RegSetKeySecurity(k, DACL_SECURITY_INFORMATION, sd) == ERROR_SUCCESS;
    ::LocalFree(sd);
    ::RegCloseKey(k);
    return done;
}

std::string ReadUtf16File(const std::string& path) {
    std::string raw = ReadWholeFile(path), out;
    if (raw.size() < 2 || raw.size() % 2 || raw.compare(0, 2, "\xFF\xFE") != 0) return "<not UTF-16LE: " + raw + ">";
    std::wstring text(raw.size() / 2 - 1, L'\0');
    std::memcpy(&text[0], raw.data() + 2, raw.size() - 2);
    NarrowName(text, out, CP_UTF8);
    return out;
}

// The result list in a window.

ListHost::ListHost(int listMode, const std::vector<std::pair<std::string, int>>& columns) {
    window.Create(nullptr, RECT {0, 0, 700, 400}, "list host", WS_OVERLAPPEDWINDOW | WS_VISIBLE);
    view.CreateView(window.m_hWnd, 100);
    ::MoveWindow(view.m_hWnd, 0, 0, 680, 380, TRUE);
    SetMainWindow(window.m_hWnd);
    view.SetListMode(listMode);
    for (const auto& c : columns) {
        LVCOLUMNA column {LVCF_TEXT | LVCF_WIDTH, 0, c.second, const_cast<char*>(c.first.c_str())};
        view.Send(LVM_INSERTCOLUMNA, view.ColumnCount(), reinterpret_cast<LPARAM>(&column));
    }
}

ListHost::~ListHost() { SetMainWindow(nullptr); }

int ListHost::Find(int column, const std::string& text) const {
    for (int r = 0; r < view.Count(); ++r)
        if (::lstrcmpiA(view.Text(r, column).c_str(), text.c_str()) == 0) return r;
    return -1;
}

void ListHost::Select(int row, bool on) {
    LVITEMA item {};
    item.stateMask = LVIS_SELECTED;
    item.state = on ? LVIS_SELECTED : 0;
    view.Send(LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&item));
}

// Files on drive E: and the Recycle Bin.

ScratchTree::ScratchTree(const std::string& name) {
    static int counter = 0;
    path_ = "E:\\KelvoFiles-" + name + "-" + Pid() + "-" + std::to_string(++counter);
    RemoveTree(path_);
    ::CreateDirectoryA(path_.c_str(), nullptr);
}

std::string ScratchTree::Dir(const std::string& rel, DWORD attributes) const {
    std::string p = *this / rel;
    ::CreateDirectoryA(p.c_str(), nullptr);
    if (attributes) ::SetFileAttributesA(p.c_str(), attributes);
    return p;
}

std::string ScratchTree::File(const std::string& rel, size_t length, DWORD attributes) const {
    std::string p = *this / rel;
    for (size_t slash = rel.find('\\'); slash != std::string::npos; slash = rel.find('\\', slash + 1))
        ::CreateDirectoryA((*this / rel.substr(0, slash)).c_str(), nullptr);
    WriteFileText(p, std::string(length, 'x'));
    if (attributes) ::SetFileAttributesA(p.c_str(), attributes);
    return p;
}

std::string UnixPath(const std::string& path) {
    using Fn = char*(CDECL*)(LPCWSTR);
    auto fn = reinterpret_cast<Fn>(::GetProcAddress(::GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name"));
    char* unix = fn ? fn(WideName(path).c_str()) : nullptr;
    if (!unix) return std::string();
    std::string s = unix;
    ::HeapFree(::GetProcessHeap(), 0, unix);
    return s;
}

bool MakeFolderLink(const std::string& link, const std::string& target) {
    if (::CreateSymbolicLinkA(link.c_str(), target.c_str(), SYMBOLIC_LINK_FLAG_DIRECTORY)) {
        DWORD a = ::GetFileAttributesA(link.c_str());
        if (a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_REPARSE_POINT)) return true;
    }
    size_t slash = link.rfind('\\');
    std::string unixTarget = UnixPath(target), unixParent = UnixPath(link.substr(0, slash));
    if (unixTarget.empty() || unixParent.empty()) return false;
    std::string command = "\\\\?\\unix\\bin\\ln -s \"" + unixTarget + "\" \"" + unixParent + "/" +
                          link.substr(slash + 1) + "\"";
    STARTUPINFOA si {sizeof si};
    PROCESS_INFORMATION pi {};
    if (!::CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr, &si, &pi))
        return false;
    ::CloseHandle(pi.hThread);
    ::CloseHandle(pi.hProcess);
    // The handle of a host program tells nothing about its end: look for the link instead.
    for (int i = 0; i < 500; ++i) {
        DWORD a = ::GetFileAttributesA(link.c_str());
        if (a != INVALID_FILE_ATTRIBUTES) return (a & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
        ::Sleep(10);
    }
    return false;
}

bool RecycleBinHolds(const std::string& folder, const std::string& name) {
    bool found = false;
    LPITEMIDLIST bin = nullptr, item = nullptr;
    IShellFolder* desktop = nullptr;
    IShellFolder2* bucket = nullptr;
    IEnumIDList* items = nullptr;
    if (FAILED(::SHGetSpecialFolderLocation(nullptr, CSIDL_BITBUCKET, &bin))) return false;
    if (SUCCEEDED(::SHGetDesktopFolder(&desktop)) &&
        SUCCEEDED(desktop->BindToObject(bin, nullptr, IID_IShellFolder2, reinterpret_cast<void**>(&bucket))) &&
        bucket->EnumObjects(nullptr, SHCONTF_FOLDERS | SHCONTF_NONFOLDERS | SHCONTF_INCLUDEHIDDEN, &items) == S_OK) {
        ULONG got = 0;
        while (!found && items->Next(1, &item, &got) == S_OK) {
            // Column 0 is the name, column 1 the folder it came from.
            char shown[MAX_PATH * 3] = {}, from[MAX_PATH * 3] = {};
            SHELLDETAILS d {};
            if (SUCCEEDED(bucket->GetDetailsOf(item, 0, &d))) ::StrRetToBufA(&d.str, item, shown, sizeof shown);
            if (SUCCEEDED(bucket->GetDetailsOf(item, 1, &d))) ::StrRetToBufA(&d.str, item, from, sizeof from);
            found = lstrcmpiA(shown, name.c_str()) == 0 && lstrcmpiA(from, folder.c_str()) == 0;
            ::CoTaskMemFree(item);
        }
    }
    if (items) items->Release();
    if (bucket) bucket->Release();
    if (desktop) desktop->Release();
    ::CoTaskMemFree(bin);
    return found;
}

std::string WineTrashFolder() {
    // As Wine finds it: $XDG_DATA_HOME/Trash when that is an absolute path, else
    // ~/.local/share/Trash.
    char value[MAX_PATH] = {};
    DWORD n = ::GetEnvironmentVariableA("XDG_DATA_HOME", value, MAX_PATH);
    if (n > 0 && n < MAX_PATH && value[0] == '/') {
        std::string unixPath = value;
        for (char& c : unixPath)
            if (c == '/') c = '\\';
        return "\\\\?\\unix" + unixPath + "\\Trash";
    }
    n = ::GetEnvironmentVariableA("WINEHOMEDIR", value, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return std::string();
    std::string h = value;
    if (h.compare(0, 4, "\\??\\") == 0) h = "\\\\?\\" + h.substr(4);
    return h + "\\.local\\share\\Trash";
}

void PurgeFromTrash(const std::string& name) {
    std::string trash = WineTrashFolder();
    if (trash.empty()) return;
    ::DeleteFileA((trash + "\\files\\" + name).c_str());
    ::DeleteFileA((trash + "\\info\\" + name + ".trashinfo").c_str());
}

bool MakeShortcut(const std::string& file, const std::string& target, const std::string& description) {
    IShellLinkW* link = nullptr;
    IPersistFile* persist = nullptr;
    if (FAILED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                  reinterpret_cast<void**>(&link))))
        return false;
    // A target that is not there is what many tests want: what SetPath thinks of it is no matter.
    link->SetPath(WideName(target).c_str());
    link->SetDescription(WideName(description).c_str());
    bool ok = SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&persist))) &&
              SUCCEEDED(persist->Save(WideName(file).c_str(), TRUE));
    if (persist) persist->Release();
    link->Release();
    return ok;
}

}  // namespace kit
