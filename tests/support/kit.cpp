#include "kit.h"

#include "core/codepage.h"
#include "framework/settings.h"

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
