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

namespace {
const HKEY kRedirected[4] = {HKEY_CURRENT_USER, HKEY_USERS, HKEY_LOCAL_MACHINE, HKEY_CLASSES_ROOT};
const char* const kRedirectedParts[4] = {"HKCU", "HKU", "HKLM", "HKLM\\Software\\Classes"};
}  // namespace

RedirectedRoots::RedirectedRoots() : base_("roots") {
    // All four are opened before the redirection, which would apply to the scratch key too.
    for (int i = 0; i < 4; ++i)
        ::RegCreateKeyExA(HKEY_CURRENT_USER, RealPath(i).substr(18).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                          &keys_[i], nullptr);
    for (int i = 0; i < 4; ++i) ::RegOverridePredefKey(kRedirected[i], keys_[i]);
}

RedirectedRoots::~RedirectedRoots() {
    for (int i = 0; i < 4; ++i) {
        ::RegOverridePredefKey(kRedirected[i], nullptr);
        ::RegCloseKey(keys_[i]);
    }
}

std::string RedirectedRoots::RealPath(int i) const {
    return "HKEY_CURRENT_USER\\" + base_.path() + "\\" + kRedirectedParts[i];
}

}  // namespace kit
