#include "test_support.h"

#include "core/reghelpers.h"

#include <shellapi.h>

#include <cstdint>
#include <cstdlib>

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

int GdiObjectCount() {
    DWORD counted = ::GetGuiResources(::GetCurrentProcess(), GR_GDIOBJECTS);
    if (counted) return static_cast<int>(counted);
    // The handle table the PEB points to (x64 layout): an entry whose type is not 0 holds an
    // object. Wine keeps one table per process and leaves the owner blank.
    struct Entry {
        uint64_t object;
        uint16_t processId, count, unique;
        uint8_t type, flags;
        uint64_t user;
    };
    static_assert(sizeof(Entry) == 24, "GDI handle table entry");
    struct BasicInformation {
        LONG_PTR exitStatus;
        BYTE* peb;
        ULONG_PTR rest[4];
    } info {};
    using QueryFn = LONG(WINAPI*)(HANDLE, int, void*, ULONG, ULONG*);
    auto query = reinterpret_cast<QueryFn>(
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleA("ntdll.dll"), "NtQueryInformationProcess")));
    if (!query || query(::GetCurrentProcess(), 0 /* ProcessBasicInformation */, &info, sizeof info, nullptr) != 0 ||
        !info.peb)
        return -1;
    auto* table = *reinterpret_cast<const Entry**>(info.peb + 0xF8);
    if (!table) return -1;
    const uint16_t self = static_cast<uint16_t>(::GetCurrentProcessId());
    int n = 0;
    for (int i = 0; i < 0x10000; ++i)
        if (table[i].type && (table[i].processId == self || table[i].processId == 0)) ++n;
    return n;
}

namespace {
const char kDpiRequestVar[] = "KELVO_TEST_DPI";
const char kDpiReadEventVar[] = "KELVO_TEST_DPI_READ";
const char kDesktopKey[] = "Control Panel\\Desktop";

// The LogPixels value of the machine, put back when the scope ends.
class LogPixelsOverride {
public:
    explicit LogPixelsOverride(UINT dpi) {
        had_ = ::RegGetValueA(HKEY_CURRENT_USER, kDesktopKey, "LogPixels", RRF_RT_REG_DWORD, nullptr, &saved_,
                              &size_) == ERROR_SUCCESS;
        Write(dpi);
    }
    ~LogPixelsOverride() { Restore(); }
    void Restore() {
        if (restored_) return;
        restored_ = true;
        if (had_) Write(saved_);
        else ::RegDeleteKeyValueA(HKEY_CURRENT_USER, kDesktopKey, "LogPixels");
    }

private:
    static void Write(DWORD dpi) {
        ::RegSetKeyValueA(HKEY_CURRENT_USER, kDesktopKey, "LogPixels", REG_DWORD, &dpi, sizeof dpi);
    }
    DWORD saved_ = 0;
    DWORD size_ = sizeof(DWORD);
    bool had_ = false;
    bool restored_ = false;
};
}  // namespace

DWORD RunAtDpi(UINT dpi, const std::string& filter) {
    char exe[MAX_PATH] = {};
    ::GetModuleFileNameA(nullptr, exe, MAX_PATH);
    std::string eventName = "KelvoTestDpiRead-" + std::to_string(::GetCurrentProcessId()) + "-" + std::to_string(dpi);
    HANDLE read = ::CreateEventA(nullptr, TRUE, FALSE, eventName.c_str());
    if (!read) return 0x80000000 | ::GetLastError();

    std::string cmd = "\"" + std::string(exe) + "\" --gtest_brief=1 --gtest_filter=" + filter;
    STARTUPINFOA si {};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = ::GetStdHandle(STD_INPUT_HANDLE);
    si.hStdOutput = ::GetStdHandle(STD_OUTPUT_HANDLE);
    si.hStdError = ::GetStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION pi {};
    ::SetEnvironmentVariableA(kDpiRequestVar, std::to_string(dpi).c_str());
    ::SetEnvironmentVariableA(kDpiReadEventVar, eventName.c_str());
    BOOL started;
    {
        LogPixelsOverride logPixels(dpi);
        started = ::CreateProcessA(exe, &cmd[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi);
        if (started) {
            HANDLE either[] = {read, pi.hProcess};
            ::WaitForMultipleObjects(2, either, FALSE, 60000);
        }
    }
    ::SetEnvironmentVariableA(kDpiRequestVar, nullptr);
    ::SetEnvironmentVariableA(kDpiReadEventVar, nullptr);
    ::CloseHandle(read);
    if (!started) return 0x80000000 | ::GetLastError();

    DWORD code = STILL_ACTIVE;
    if (::WaitForSingleObject(pi.hProcess, 240000) != WAIT_OBJECT_0) ::TerminateProcess(pi.hProcess, 0xDEAD);
    ::WaitForSingleObject(pi.hProcess, 5000);
    ::GetExitCodeProcess(pi.hProcess, &code);
    ::CloseHandle(pi.hThread);
    ::CloseHandle(pi.hProcess);
    return code;
}

UINT RequestedDpi() {
    const char* dpi = std::getenv(kDpiRequestVar);
    return dpi ? static_cast<UINT>(std::atoi(dpi)) : 0;
}

void ReportDpiRead() {
    const char* name = std::getenv(kDpiReadEventVar);
    if (!name) return;
    // Everything that takes the DPI at start-up has taken it once these have answered.
    HDC screen = ::GetDC(nullptr);
    ::GetDeviceCaps(screen, LOGPIXELSY);
    ::ReleaseDC(nullptr, screen);
    LOGFONTA lf {};
    ::GetObjectA(::GetStockObject(DEFAULT_GUI_FONT), sizeof lf, &lf);
    NONCLIENTMETRICSA ncm {};
    ncm.cbSize = sizeof ncm;
    ::SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, sizeof ncm, &ncm, 0);
    if (HANDLE read = ::OpenEventA(EVENT_MODIFY_STATE, FALSE, name)) {
        ::SetEvent(read);
        ::CloseHandle(read);
    }
}
