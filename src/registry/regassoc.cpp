// File association and COM registration checks of the registry scan.
#include "app/reghelpers.h"
#include "framework/strings.h"
#include "registry/regscan.h"

#include <objbase.h>
#include <oleauto.h>

#include <cstdlib>
#include <cstring>

namespace {

const char kClsidPath[] = "Software\\Classes\\CLSID";
const char kTypeLibPath[] = "Software\\Classes\\TypeLib\\";
const char kInterfacePath[] = "Software\\Classes\\Interface";
const DWORD kClassesKeyRow = kRegRootClasses | kRegDeleteKey;
const DWORD kMachineKeyRow = kRegRootLocalMachine | kRegDeleteKey;

std::wstring Widen(const std::string& s) {
    int n = ::MultiByteToWideChar(CP_ACP, 0, s.c_str(), -1, nullptr, 0);
    std::wstring w(n > 0 ? n : 1, L'\0');
    if (n > 0) ::MultiByteToWideChar(CP_ACP, 0, s.c_str(), -1, &w[0], n);
    w.resize(w.size() - 1);
    return w;
}

bool WideFileExists(const std::wstring& path) {
    return !path.empty() && ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Whether the file a type library version is registered with can be found: as written (with
// environment variables expanded), without a trailing resource number ("x.dll\2"), or by its
// name on the search path, the way the system's loader looks for it.
bool RegisteredTypeLibFileExists(const GUID& guid, WORD major, WORD minor) {
    BSTR registered = nullptr;
    if (FAILED(::QueryPathOfRegTypeLib(guid, major, minor, 0, &registered)) || !registered) return true;
    std::wstring path(registered);
    ::SysFreeString(registered);
    wchar_t expanded[MAX_PATH * 2];
    DWORD n = ::ExpandEnvironmentStringsW(path.c_str(), expanded, MAX_PATH * 2);
    if (n > 0 && n <= MAX_PATH * 2) path = expanded;
    while (!path.empty() && (path.back() == L'"' || path.back() == L' ')) path.pop_back();
    while (!path.empty() && path.front() == L'"') path.erase(0, 1);
    if (path.empty() || WideFileExists(path)) return true;
    size_t slash = path.find_last_of(L'\\');
    if (slash != std::wstring::npos && slash + 1 < path.size() &&
        path.find_first_not_of(L"0123456789", slash + 1) == std::wstring::npos) {
        path.erase(slash);
        if (WideFileExists(path)) return true;
        slash = path.find_last_of(L'\\');
    }
    std::wstring name = slash == std::wstring::npos ? path : path.substr(slash + 1);
    return !name.empty() && ::SearchPathW(nullptr, name.c_str(), nullptr, 0, nullptr, nullptr) != 0;
}

}  // namespace

void CRegistryScan::ScanFileAssociations() {
    HKEY classes = nullptr;
    if (::RegOpenKeyExA(HKEY_CLASSES_ROOT, "", 0, KEY_ALL_ACCESS, &classes) != ERROR_SUCCESS) return;
    for (DWORD index = 0;; ++index) {
        char nameBuf[261];
        DWORD len = sizeof nameBuf;
        if (::RegEnumKeyExA(classes, index, nameBuf, &len, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        if (Poll()) break;
        ++keysVisited;
        std::string name(nameBuf);
        if (name[0] == '.') {
            // An extension: judged by the open command of its class, when it has one.
            std::string cls = ReadRegString(HKEY_CLASSES_ROOT, name, "");
            if (cls.empty()) continue;
            std::string cmd = ReadRegString(HKEY_CLASSES_ROOT, cls + "\\shell\\open\\command", "");
            if (cmd.empty()) continue;
            if (!Judge(cmd, false))
                AddRegFinding("HKEY_CLASSES_ROOT", kImageClassesRoot, name, "", "", name, kClassesKeyRow);
            continue;
        }

        CheckProgIdClsid(name);

        if (RegKeyExists(HKEY_CLASSES_ROOT, name + "\\DefaultIcon")) {
            std::string icon = ReadRegString(HKEY_CLASSES_ROOT, name + "\\DefaultIcon", "");
            size_t start = icon.find_first_not_of('"');
            icon.erase(0, start == std::string::npos ? icon.size() : start);
            if (icon.empty() || !Judge(icon, true))
                AddRegFinding("HKEY_CLASSES_ROOT", kImageClassesRoot, name + "\\DefaultIcon", "", "", icon,
                              kClassesKeyRow);
        }

        HKEY shell = nullptr;
        if (::RegOpenKeyExA(HKEY_CLASSES_ROOT, (name + "\\shell").c_str(), 0, KEY_ALL_ACCESS, &shell) !=
            ERROR_SUCCESS)
            continue;
        int verbs = 0, bad = 0;
        for (DWORD v = 0;; ++v) {
            char verb[261];
            DWORD verbLen = sizeof verb;
            if (::RegEnumKeyExA(shell, v, verb, &verbLen, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
            ++verbs;
            std::string verbKey = name + "\\shell\\" + verb;
            std::string cmd = ReadRegString(HKEY_CLASSES_ROOT, verbKey + "\\command", "");
            if (cmd.empty() || !Judge(cmd, false)) {
                AddRegFinding("HKEY_CLASSES_ROOT", kImageClassesRoot, verbKey, verb, cmd, cmd, kClassesKeyRow);
                ++bad;
            }
        }
        ::RegCloseKey(shell);
        if (verbs == 0 || bad == verbs)
            AddRegFinding("HKEY_CLASSES_ROOT", kImageClassesRoot, name + "\\shell", "", "", "", kClassesKeyRow);
    }
    ::RegCloseKey(classes);
}

bool CRegistryScan::CheckProgIdClsid(const std::string& className) {
    HKEY key = nullptr;
    if (::RegOpenKeyExA(HKEY_CLASSES_ROOT, (className + "\\CLSID").c_str(), 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS)
        return false;
    char value[261] = {};
    DWORD size = 260;
    LONG rc = ::RegQueryValueExA(key, "", nullptr, nullptr, reinterpret_cast<BYTE*>(value), &size);
    ::RegCloseKey(key);
    if (rc != ERROR_SUCCESS) return false;
    if (RegKeyExists(HKEY_CLASSES_ROOT, std::string("CLSID\\") + value)) return false;
    AddRegFinding("HKEY_CLASSES_ROOT", kImageClassesRoot, className + "\\CLSID", "", "", value, kClassesKeyRow);
    return true;
}

void CRegistryScan::ScanClassIds(HKEY root) {
    if (root != HKEY_LOCAL_MACHINE) return;

    // Class identifiers.
    HKEY clsids = nullptr;
    if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, kClsidPath, 0, KEY_ALL_ACCESS, &clsids) == ERROR_SUCCESS) {
        for (DWORD index = 0;; ++index) {
            char name[261];
            DWORD len = sizeof name;
            if (::RegEnumKeyExA(clsids, index, name, &len, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
                break;
            if (Poll()) {
                ::RegCloseKey(clsids);
                return;
            }
            ++keysVisited;
            CheckClassId(HKEY_LOCAL_MACHINE, std::string(kClsidPath) + "\\" + name);
        }
        ::RegCloseKey(clsids);
    }

    // Type libraries, version by version.
    SetMessage("Scanning Type Library Identifiers for Errors...");
    HKEY typeLibs = nullptr;
    if (::RegOpenKeyExA(HKEY_CLASSES_ROOT, "TypeLib", 0, KEY_READ, &typeLibs) == ERROR_SUCCESS) {
        for (DWORD index = 0;; ++index) {
            char guid[128];
            DWORD len = sizeof guid;
            if (::RegEnumKeyExA(typeLibs, index, guid, &len, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
                break;
            ++keysVisited;
            HKEY guidKey = nullptr;
            if (::RegOpenKeyExA(typeLibs, guid, 0, KEY_READ, &guidKey) != ERROR_SUCCESS) continue;
            for (DWORD v = 0;; ++v) {
                char ver[128];
                DWORD verLen = sizeof ver;
                if (::RegEnumKeyExA(guidKey, v, ver, &verLen, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
                    break;
                WORD major = static_cast<WORD>(std::strtoul(ver, nullptr, 10));
                const char* point = std::strchr(ver, '.');
                WORD minor = point ? static_cast<WORD>(std::strtoul(point + 1, nullptr, 10)) : 0;
                bool helpDirEmpty = false;
                HKEY helpDir = nullptr;
                if (::RegOpenKeyExA(guidKey, (std::string(ver) + "\\helpdir").c_str(), 0, KEY_READ, &helpDir) ==
                    ERROR_SUCCESS) {
                    helpDirEmpty = ::RegQueryValueExA(helpDir, "", nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS;
                    ::RegCloseKey(helpDir);
                }
                if (CheckTypeLibVersion(guid, major, minor) && helpDirEmpty)
                    AddRegFinding("HKEY_LOCAL_MACHINE", kImageLocalMachine,
                                  std::string(kTypeLibPath) + guid + "\\" + ver + "\\HelpDir", "", "", "",
                                  kMachineKeyRow);
            }
            ::RegCloseKey(guidKey);
        }
        ::RegCloseKey(typeLibs);
    }

    // Interfaces whose type library is not registered.
    SetMessage("Scanning Interface for Errors...");
    HKEY interfaces = nullptr;
    if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, kInterfacePath, 0, KEY_ALL_ACCESS, &interfaces) != ERROR_SUCCESS) return;
    for (DWORD index = 0;; ++index) {
        char iid[260];
        DWORD len = sizeof iid;
        if (::RegEnumKeyExA(interfaces, index, iid, &len, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        ++keysVisited;
        std::string typeLibKey = std::string(kInterfacePath) + "\\" + iid + "\\TypeLib";
        std::string tl = ReadRegString(HKEY_LOCAL_MACHINE, typeLibKey, "");
        if (!tl.empty() && !RegKeyExists(HKEY_LOCAL_MACHINE, kTypeLibPath + tl))
            AddRegFinding("HKEY_LOCAL_MACHINE", kImageLocalMachine, typeLibKey, "", "", tl, kMachineKeyRow);
    }
    ::RegCloseKey(interfaces);
}

void CRegistryScan::CheckClassId(HKEY root, const std::string& clsidPath) {
    std::string server = ReadRegString(root, clsidPath + "\\InprocServer32", "");
    if (!server.empty()) {
        server = ToUpper(server);
        if (!Judge(server, true))
            AddRegFinding("HKEY_LOCAL_MACHINE", kImageLocalMachine, clsidPath + "\\InprocServer32", "", "", server,
                          kMachineKeyRow);
    }
    std::string tl = ReadRegString(root, clsidPath + "\\TypeLib", "");
    if (!tl.empty() && !RegKeyExists(root, "Software\\classes\\TypeLib\\" + tl))
        AddRegFinding("HKEY_LOCAL_MACHINE", kImageLocalMachine, clsidPath + "\\TypeLib", "", "", tl, kMachineKeyRow);
    std::string progId = ReadRegString(root, clsidPath + "\\ProgID", "");
    if (!progId.empty() && !RegKeyExists(root, "Software\\classes\\" + progId))
        AddRegFinding("HKEY_LOCAL_MACHINE", kImageLocalMachine, clsidPath + "\\ProgID", "", "", progId,
                      kMachineKeyRow);
    std::string viProgId = ReadRegString(root, clsidPath + "\\VersionIndependentProgID", "");
    if (!viProgId.empty() && !RegKeyExists(root, "Software\\classes\\" + viProgId))
        AddRegFinding("HKEY_LOCAL_MACHINE", kImageLocalMachine, clsidPath + "\\VersionIndependentProgID", "", "",
                      viProgId, kMachineKeyRow);
}

bool CRegistryScan::CheckTypeLibVersion(const std::string& guidText, WORD major, WORD minor) {
    GUID guid;
    std::wstring wide = Widen(guidText);
    if (FAILED(::CLSIDFromString(const_cast<LPOLESTR>(wide.c_str()), &guid))) return true;
    ITypeLib* lib = nullptr;
    HRESULT hr = ::LoadRegTypeLib(guid, major, minor, 0, &lib);
    if (lib) lib->Release();
    if (SUCCEEDED(hr)) return true;
    // Systems differ in how they report a registered file that is gone (Windows 9x says
    // STG_E_FILENOTFOUND, later ones and Wine say the library cannot be loaded): for any other
    // failure look at the registered file itself.
    if (hr != STG_E_FILENOTFOUND && RegisteredTypeLibFileExists(guid, major, minor)) return true;
    AddRegFinding("HKEY_LOCAL_MACHINE", kImageLocalMachine, kTypeLibPath + guidText, "", "", guidText,
                  kMachineKeyRow);
    return false;
}
