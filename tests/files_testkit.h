// Helpers shared by the file tool tests: an in-memory result list, a status sink and cancel poll
// that record what they were told, scratch trees on drive E:, a scratch settings key, folder
// links, and a look into the Recycle Bin.
#pragma once

#include "core/services.h"
#include "framework/settings.h"
#include "test_support.h"

#include <windows.h>
#include <shlobj.h>
#include <shlwapi.h>

#include <algorithm>
#include <string>
#include <vector>

namespace filestest {

inline std::string Pid() { return std::to_string(::GetCurrentProcessId()); }

class FakeList : public IResultList {
public:
    struct Row {
        std::vector<std::string> texts;
        DWORD data = 0;
        bool selected = false;
        int image = 0;
    };
    std::vector<Row> rows;

    int AddRow(const std::vector<std::string>& texts, int image, DWORD data) override {
        rows.push_back({texts, data, false, image});
        return static_cast<int>(rows.size()) - 1;
    }
    int Count() const override { return static_cast<int>(rows.size()); }
    std::string Text(int row, int column) const override {
        const auto& t = rows.at(row).texts;
        return column < static_cast<int>(t.size()) ? t[column] : std::string();
    }
    void SetText(int row, int column, const std::string& text) override {
        auto& t = rows.at(row).texts;
        if (static_cast<int>(t.size()) <= column) t.resize(column + 1);
        t[column] = text;
    }
    DWORD Data(int row) const override { return rows.at(row).data; }
    bool IsSelected(int row) const override { return rows.at(row).selected; }
    bool IsChecked(int) const override { return false; }
    void SetChecked(int, bool) override {}
    void DeleteRow(int row) override { rows.erase(rows.begin() + row); }
    void DeleteAll() override { rows.clear(); }

    void Add(const std::string& name, const std::string& path) { AddRow({name, path}, -1, 0); }
    // Column-1 texts in list order.
    std::vector<std::string> Paths() const {
        std::vector<std::string> out;
        for (const auto& r : rows) out.push_back(r.texts.size() > 1 ? r.texts[1] : "");
        return out;
    }
    bool HasPath(const std::string& path) const {
        for (const auto& r : rows)
            if (r.texts.size() > 1 && lstrcmpiA(r.texts[1].c_str(), path.c_str()) == 0) return true;
        return false;
    }
    const Row* Find(const std::string& path) const {
        for (const auto& r : rows)
            if (r.texts.size() > 1 && lstrcmpiA(r.texts[1].c_str(), path.c_str()) == 0) return &r;
        return nullptr;
    }
};

class RecordingStatus : public IStatusSink {
public:
    std::vector<std::string> bar;        // texts for target 0
    std::vector<std::string> notifier;
    void SetStatusText(const std::string& text, int target) override {
        if (target == 0) bar.push_back(text);
    }
    void ShowNotifierText(const std::string& text) override { notifier.push_back(text); }
    std::string Last() const { return bar.empty() ? std::string() : bar.back(); }
    bool Showed(const std::string& text) const { return std::find(bar.begin(), bar.end(), text) != bar.end(); }
};

// Answers "cancelled" from the poll numbered `cancelAt` on (0: never).
class CountingCancel : public ICancelPoll {
public:
    explicit CountingCancel(int cancelAt = 0) : cancelAt_(cancelAt) {}
    bool checkCancelled() override {
        ++polls;
        return cancelAt_ > 0 && polls >= cancelAt_;
    }
    int polls = 0;

private:
    int cancelAt_;
};

// A fresh folder on drive E:, removed with everything below it at the end of the scope.
class ScratchTree {
public:
    explicit ScratchTree(const std::string& name) {
        static int counter = 0;
        path_ = "E:\\KelvoFiles-" + name + "-" + Pid() + "-" + std::to_string(++counter);
        RemoveTree(path_);
        ::CreateDirectoryA(path_.c_str(), nullptr);
    }
    ~ScratchTree() { RemoveTree(path_); }
    const std::string& path() const { return path_; }
    std::string operator/(const std::string& rel) const { return path_ + "\\" + rel; }

    std::string Dir(const std::string& rel, DWORD attributes = 0) const {
        std::string p = *this / rel;
        ::CreateDirectoryA(p.c_str(), nullptr);
        if (attributes) ::SetFileAttributesA(p.c_str(), attributes);
        return p;
    }
    std::string File(const std::string& rel, size_t length = 0, DWORD attributes = 0) const {
        std::string p = *this / rel;
        WriteFileText(p, std::string(length, 'x'));
        if (attributes) ::SetFileAttributesA(p.c_str(), attributes);
        return p;
    }

private:
    std::string path_;
};

// Points the settings store at a scratch key for the scope, so tests never meet the user's
// (or another test program's) "Exclude" and "Settings" sections.
class ScratchSettings {
public:
    ScratchSettings() {
        static int counter = 0;
        app_ = "files-" + Pid() + "-" + std::to_string(++counter);
        SetSettingsKey("KelvoTests", app_);
    }
    ~ScratchSettings() {
        ::SHDeleteKeyA(HKEY_CURRENT_USER, ("Software\\KelvoTests\\" + app_).c_str());
        SetSettingsKey("Kelvo Utils", "Kelvo Utils");
    }

private:
    std::string app_;
};

// The host path of a sandbox path (Wine only; empty elsewhere).
inline std::string UnixPath(const std::string& path) {
    using Fn = char*(CDECL*)(LPCWSTR);
    auto fn = reinterpret_cast<Fn>(::GetProcAddress(::GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name"));
    if (!fn) return std::string();
    WCHAR wide[MAX_PATH];
    ::MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide, MAX_PATH);
    char* unix = fn(wide);
    if (!unix) return std::string();
    std::string s = unix;
    ::HeapFree(::GetProcessHeap(), 0, unix);
    return s;
}

// Makes `link` a symbolic link to the folder `target`: the system's own call where it works,
// and on Wine (whose CreateSymbolicLink does nothing) a host symbolic link, which Wine shows as
// a reparse point.
inline bool MakeFolderLink(const std::string& link, const std::string& target) {
    if (::CreateSymbolicLinkA(link.c_str(), target.c_str(), SYMBOLIC_LINK_FLAG_DIRECTORY)) {
        DWORD a = ::GetFileAttributesA(link.c_str());
        if (a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_REPARSE_POINT)) return true;
    }
    std::string unixTarget = UnixPath(target);
    size_t slash = link.rfind('\\');
    std::string unixParent = UnixPath(link.substr(0, slash));
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

// Whether the shell's Recycle Bin holds a file named `name` that came from `folder`.
inline bool RecycleBinHolds(const std::string& folder, const std::string& name) {
    bool found = false;
    LPITEMIDLIST bin = nullptr;
    IShellFolder* desktop = nullptr;
    IShellFolder* bucket = nullptr;
    IShellFolder2* details = nullptr;
    IEnumIDList* items = nullptr;
    if (FAILED(::SHGetSpecialFolderLocation(nullptr, CSIDL_BITBUCKET, &bin))) return false;
    if (SUCCEEDED(::SHGetDesktopFolder(&desktop)) &&
        SUCCEEDED(desktop->BindToObject(bin, nullptr, IID_IShellFolder, reinterpret_cast<void**>(&bucket))) &&
        SUCCEEDED(bucket->QueryInterface(IID_IShellFolder2, reinterpret_cast<void**>(&details))) &&
        bucket->EnumObjects(nullptr, SHCONTF_FOLDERS | SHCONTF_NONFOLDERS | SHCONTF_INCLUDEHIDDEN, &items) == S_OK) {
        LPITEMIDLIST item = nullptr;
        ULONG got = 0;
        while (!found && items->Next(1, &item, &got) == S_OK) {
            char shown[MAX_PATH] = {}, from[MAX_PATH] = {};
            SHELLDETAILS d {};
            if (SUCCEEDED(details->GetDetailsOf(item, 0, &d))) ::StrRetToBufA(&d.str, item, shown, MAX_PATH);
            if (SUCCEEDED(details->GetDetailsOf(item, 1, &d))) ::StrRetToBufA(&d.str, item, from, MAX_PATH);
            found = lstrcmpiA(shown, name.c_str()) == 0 && lstrcmpiA(from, folder.c_str()) == 0;
            ::CoTaskMemFree(item);
        }
    }
    if (items) items->Release();
    if (details) details->Release();
    if (bucket) bucket->Release();
    if (desktop) desktop->Release();
    ::CoTaskMemFree(bin);
    return found;
}

// The folder Wine keeps its Recycle Bin in, found as Wine finds it: the Trash folder of the
// freedesktop data folder, $XDG_DATA_HOME when that is an absolute path, else
// ~/.local/share. Empty when neither is known (not on Wine).
inline std::string WineTrashFolder() {
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

// Takes a test's file out of Wine's trash folder again, so runs leave nothing behind.
inline void PurgeFromTrash(const std::string& name) {
    std::string trash = WineTrashFolder();
    if (trash.empty()) return;
    ::DeleteFileA((trash + "\\files\\" + name).c_str());
    ::DeleteFileA((trash + "\\info\\" + name + ".trashinfo").c_str());
}

// Puts a file back from the Recycle Bin the way a user does, with the "Restore" entry of its
// menu there. False when the bin holds no such file or has no such entry.
inline bool RestoreFromRecycleBin(const std::string& folder, const std::string& name) {
    bool restored = false;
    LPITEMIDLIST bin = nullptr;
    IShellFolder* desktop = nullptr;
    IShellFolder2* bucket = nullptr;
    IEnumIDList* items = nullptr;
    if (FAILED(::SHGetSpecialFolderLocation(nullptr, CSIDL_BITBUCKET, &bin))) return false;
    if (SUCCEEDED(::SHGetDesktopFolder(&desktop)) &&
        SUCCEEDED(desktop->BindToObject(bin, nullptr, IID_IShellFolder2, reinterpret_cast<void**>(&bucket))) &&
        bucket->EnumObjects(nullptr, SHCONTF_NONFOLDERS, &items) == S_OK) {
        LPITEMIDLIST item = nullptr;
        ULONG got = 0;
        bool found = false;
        while (!found && items->Next(1, &item, &got) == S_OK) {
            char shown[MAX_PATH * 3] = {}, from[MAX_PATH * 3] = {};
            SHELLDETAILS d {};
            if (SUCCEEDED(bucket->GetDetailsOf(item, 0, &d))) ::StrRetToBufA(&d.str, item, shown, sizeof shown);
            if (SUCCEEDED(bucket->GetDetailsOf(item, 1, &d))) ::StrRetToBufA(&d.str, item, from, sizeof from);
            found = lstrcmpiA(shown, name.c_str()) == 0 && lstrcmpiA(from, folder.c_str()) == 0;
            IContextMenu* menu = nullptr;
            LPCITEMIDLIST one[1] = {item};
            if (found && SUCCEEDED(bucket->GetUIObjectOf(nullptr, 1, one, IID_IContextMenu, nullptr,
                                                         reinterpret_cast<void**>(&menu)))) {
                HMENU popup = ::CreatePopupMenu();
                menu->QueryContextMenu(popup, 0, 0, 0x7FFF, CMF_NORMAL);
                for (int i = 0, n = ::GetMenuItemCount(popup); i < n && !restored; ++i) {
                    char text[64] = {};
                    ::GetMenuStringA(popup, i, text, sizeof text, MF_BYPOSITION);
                    std::string plain(text);
                    plain.erase(std::remove(plain.begin(), plain.end(), '&'), plain.end());
                    if (lstrcmpiA(plain.c_str(), "Restore") != 0) continue;
                    CMINVOKECOMMANDINFO invoke {};
                    invoke.cbSize = sizeof invoke;
                    invoke.lpVerb = MAKEINTRESOURCEA(::GetMenuItemID(popup, i));
                    invoke.nShow = SW_SHOWNORMAL;
                    restored = SUCCEEDED(menu->InvokeCommand(&invoke));
                }
                ::DestroyMenu(popup);
                menu->Release();
            }
            ::CoTaskMemFree(item);
        }
    }
    if (items) items->Release();
    if (bucket) bucket->Release();
    if (desktop) desktop->Release();
    ::CoTaskMemFree(bin);
    return restored;
}

}  // namespace filestest
