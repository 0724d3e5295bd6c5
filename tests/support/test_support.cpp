#include "test_support.h"

#include "app/reghelpers.h"

#include <shellapi.h>

namespace {
std::string Unique(const std::string& name) {
    static int counter = 0;
    return name + "-" + std::to_string(::GetCurrentProcessId()) + "-" + std::to_string(++counter);
}
}

ScratchKey::ScratchKey(const std::string& name) : path_("Software\\KelvoTests\\" + Unique(name)) {
    HKEY k = nullptr;
    ::RegCreateKeyExA(HKEY_CURRENT_USER, path_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k, nullptr);
    if (k) ::RegCloseKey(k);
}

ScratchKey::~ScratchKey() { DeleteRegKeyTree(HKEY_CURRENT_USER, path_); }

ScratchDir::ScratchDir(const std::string& name) : path_("C:\\KelvoTests\\" + Unique(name)) {
    ::CreateDirectoryA("C:\\KelvoTests", nullptr);
    RemoveTree(path_);
    ::CreateDirectoryA(path_.c_str(), nullptr);
}

ScratchDir::~ScratchDir() { RemoveTree(path_); }

bool WriteFileText(const std::string& path, const std::string& text) {
    HANDLE h = ::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    BOOL ok = ::WriteFile(h, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    ::CloseHandle(h);
    return ok && written == text.size();
}

bool ValueExists(HKEY root, const std::string& key, const std::string& name) {
    HKEY k = nullptr;
    if (::RegOpenKeyExA(root, key.c_str(), 0, KEY_READ, &k) != ERROR_SUCCESS) return false;
    LONG rc = ::RegQueryValueExA(k, name.c_str(), nullptr, nullptr, nullptr, nullptr);
    ::RegCloseKey(k);
    return rc == ERROR_SUCCESS;
}

DWORD ImportWithRegedit(const std::string& file) {
    char windows[MAX_PATH];
    ::GetWindowsDirectoryA(windows, MAX_PATH);
    std::string exe = std::string(windows) + "\\regedit.exe";
    std::string cmd = "regedit.exe /s \"" + file + "\"";
    STARTUPINFOA si {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi {};
    if (!::CreateProcessA(exe.c_str(), &cmd[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
        return ::GetLastError() | 0x80000000;
    ::WaitForSingleObject(pi.hProcess, 60000);
    DWORD code = 0;
    ::GetExitCodeProcess(pi.hProcess, &code);
    ::CloseHandle(pi.hThread);
    ::CloseHandle(pi.hProcess);
    return code;
}

bool FileExists(const std::string& path) { return ::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

void RemoveTree(const std::string& path) {
    DWORD attr = ::GetFileAttributesA(path.c_str());
    if (attr == INVALID_FILE_ATTRIBUTES) return;
    if (!(attr & FILE_ATTRIBUTE_DIRECTORY) || (attr & FILE_ATTRIBUTE_REPARSE_POINT)) {
        ::SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        if (attr & FILE_ATTRIBUTE_DIRECTORY) ::RemoveDirectoryA(path.c_str());
        else ::DeleteFileA(path.c_str());
        return;
    }
    WIN32_FIND_DATAA fd;
    HANDLE f = ::FindFirstFileA((path + "\\*").c_str(), &fd);
    if (f != INVALID_HANDLE_VALUE) {
        do {
            std::string n = fd.cFileName;
            if (n != "." && n != "..") RemoveTree(path + "\\" + n);
        } while (::FindNextFileA(f, &fd));
        ::FindClose(f);
    }
    ::SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    ::RemoveDirectoryA(path.c_str());
}

int ScriptedPrompter::Ask(HWND, const std::string& text, const std::string& caption, UINT type) {
    asked.push_back({text, caption, type});
    if (answers.empty()) return IDOK;
    int a = answers.front();
    answers.pop_front();
    return a;
}

void PumpFor(DWORD ms) {
    DWORD start = ::GetTickCount();
    do {
        MSG msg;
        while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageA(&msg);
        }
        ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
    } while (::GetTickCount() - start < ms);
}
