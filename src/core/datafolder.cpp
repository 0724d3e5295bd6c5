#include "core/datafolder.h"

#include "core/codepage.h"

#include <windows.h>
#include <shlobj.h>

namespace {

const char kDataFolderName[] = "Kelvo Utilities";

bool SameFolder(const std::string& a, const std::string& b) {
    return ::CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, a.c_str(), -1, b.c_str(), -1) == CSTR_EQUAL;
}

}  // namespace

std::string ProgramFolder() {
    // The module path in a form the code page carries (its 8.3 alias where it must); empty
    // when there is none, and the data folder then goes to the local one.
    std::string path = ModulePath();
    size_t slash = path.rfind('\\');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

std::string LocalDataFolder() {
    wchar_t path[MAX_PATH] = {};
    if (FAILED(::SHGetFolderPathW(nullptr, CSIDL_LOCAL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, path)) || !path[0])
        return std::string();
    std::string folder;
    if (!NarrowName(path, folder)) return std::string();
    while (!folder.empty() && folder.back() == '\\') folder.pop_back();
    return folder + "\\" + kDataFolderName;
}

bool CanWriteFolder(const std::string& folder) {
    if (folder.empty()) return false;
    for (int attempt = 0; attempt < 10; ++attempt) {
        char name[64];
        wsprintfA(name, "\\~kelvo-write-test-%lu-%lu.tmp", ::GetCurrentProcessId(), ::GetTickCount() + attempt);
        HANDLE probe = ::CreateFileA((folder + name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                     FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_TEMPORARY, nullptr);
        if (probe != INVALID_HANDLE_VALUE) {
            ::CloseHandle(probe);
            ::DeleteFileA((folder + name).c_str());
            return true;
        }
        if (::GetLastError() != ERROR_FILE_EXISTS) return false;
    }
    return false;
}

std::string DataFolderFor(const std::string& programFolder) {
    if (CanWriteFolder(programFolder)) return programFolder;
    std::string local = LocalDataFolder();
    if (local.empty()) return programFolder;
    // The writers report a folder they cannot use; nothing to say here.
    ::SHCreateDirectoryExA(nullptr, local.c_str(), nullptr);
    return local;
}

std::string DataFolder() {
    static const std::string folder = DataFolderFor(ProgramFolder());
    return folder;
}

std::vector<std::string> DataFolders() {
    std::vector<std::string> folders;
    for (const std::string& f : {ProgramFolder(), LocalDataFolder()}) {
        bool listed = f.empty();
        for (const std::string& g : folders) listed = listed || SameFolder(f, g);
        if (!listed) folders.push_back(f);
    }
    return folders;
}
