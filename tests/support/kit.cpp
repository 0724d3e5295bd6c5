#include "kit.h"

#include "core/codepage.h"
#include "framework/settings.h"

#include <sddl.h>

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


HostedView::HostedView(const std::vector<std::string>& columns) {
    RECT rc {0, 0, 640, 400};
    host_.Create(nullptr, rc, "host", WS_OVERLAPPEDWINDOW | WS_VISIBLE);
    view.CreateView(host_.m_hWnd, 100);
    ::MoveWindow(view.m_hWnd, 0, 0, 600, 340, TRUE);
    for (const std::string& title : columns) {
        LVCOLUMNA col {LVCF_TEXT | LVCF_WIDTH, 0, 120, const_cast<char*>(title.c_str())};
        view.Send(LVM_INSERTCOLUMNA, view.ColumnCount(), reinterpret_cast<LPARAM>(&col));
    }
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

}  // namespace kit

// The machine's hive on a scratch key.
namespace kit {
RedirectedMachine::RedirectedMachine() : base_("machine") {
    ::RegOpenKeyExA(HKEY_CURRENT_USER, base_.path().c_str(), 0, KEY_ALL_ACCESS, &key_);
    ::RegOverridePredefKey(HKEY_LOCAL_MACHINE, key_);
}

RedirectedMachine::~RedirectedMachine() {
    ::RegOverridePredefKey(HKEY_LOCAL_MACHINE, nullptr);
    ::RegCloseKey(key_);
}
}  // namespace kit

// Keys a standard user may not change.
namespace kit {
void MakeKeyUnwritable(HKEY root, const std::string& key) {
    HKEY k = nullptr;
    PSECURITY_DESCRIPTOR sd = nullptr;
    ::RegCreateKeyExW(root, WideName(key, CP_UTF8).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k, nullptr);
    if (::ConvertStringSecurityDescriptorToSecurityDescriptorA("D:P(A;;KRSD;;;WD)", SDDL_REVISION_1, &sd, nullptr))
        ::RegSetKeySecurity(k, DACL_SECURITY_INFORMATION, sd);
    ::LocalFree(sd);
    ::RegCloseKey(k);
}
// For the tools that read the machine's registry, keys a user may only read, and undo files.
namespace {
const HKEY kScratchRoots[4] = {HKEY_CURRENT_USER, HKEY_USERS, HKEY_LOCAL_MACHINE, HKEY_CLASSES_ROOT};
}

ScratchRoots::ScratchRoots() : base_("roots") {
    // All opened before the redirection, which would apply to the scratch key too.
    const char* parts[4] = {"HKCU", "HKU", "HKLM", "HKLM\\Software\\Classes"};
    for (int i = 0; i < 4; ++i)
        ::RegCreateKeyExA(HKEY_CURRENT_USER, (base_.path() + "\\" + parts[i]).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                          nullptr, &keys_[i], nullptr);
    for (int i = 0; i < 4; ++i) ::RegOverridePredefKey(kScratchRoots[i], keys_[i]);
}

ScratchRoots::~ScratchRoots() {
    for (int i = 0; i < 4; ++i) {
        ::RegOverridePredefKey(kScratchRoots[i], nullptr);
        ::RegCloseKey(keys_[i]);
    }
}

bool SetKeyAccess(HKEY root, const std::string& key, const char* sddl) {
    HKEY k = nullptr;
    PSECURITY_DESCRIPTOR sd = nullptr;
    if (::RegOpenKeyExW(root, WideName(key, CP_UTF8).c_str(), 0, WRITE_DAC, &k) != ERROR_SUCCESS) return false;
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

}  // namespace kit

// For the GUI tests of the tools: the result list in a window.
#include "framework/prompter.h"

namespace kit {

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

}  // namespace kit
