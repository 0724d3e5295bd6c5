// File association and COM registration checks of the registry scan.
#include "core/codepage.h"
#include "core/reghelpers.h"
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

bool HasSubkey(HKEY key, const wchar_t* name) {
    HKEY sub = nullptr;
    LONG rc = ::RegOpenKeyExW(key, name, 0, KEY_QUERY_VALUE, &sub);
    if (rc == ERROR_SUCCESS) ::RegCloseKey(sub);
    return rc == ERROR_SUCCESS || rc == ERROR_ACCESS_DENIED;
}

bool HasValue(HKEY key, const wchar_t* name) {
    return ::RegQueryValueExW(key, name, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

// Since Windows 7 a verb can work without a command line: through a DDE conversation, a drop
// target, an Explorer command handler or a delegate object. Such a verb is never judged.
bool VerbHasHandler(HKEY shell, const std::wstring& verb) {
    HKEY key = nullptr;
    if (::RegOpenKeyExW(shell, verb.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    bool handled = HasSubkey(key, L"ddeexec") || HasSubkey(key, L"DropTarget") ||
                   HasValue(key, L"ExplorerCommandHandler") || HasValue(key, L"DelegateExecute");
    HKEY command = nullptr;
    if (!handled && ::RegOpenKeyExW(key, L"command", 0, KEY_QUERY_VALUE, &command) == ERROR_SUCCESS) {
        handled = HasValue(command, L"DelegateExecute");
        ::RegCloseKey(command);
    }
    ::RegCloseKey(key);
    return handled;
}

}  // namespace

bool CRegistryScan::ReadClassText(HKEY root, const std::string& keyPath, std::string& text) {
    bool unfit = false;
    text = ReadRegString(root, keyPath, "", &unfit);
    if (unfit) return false;
    // Under a code page of a test standing an older Windows's in, the text must survive that too.
    if (codePage == CP_ACP) return true;
    std::string narrow;
    return Narrow(WideName(text), narrow);
}

void CRegistryScan::ScanFileAssociations() {
    HKEY classes = nullptr;
    if (::RegOpenKeyExW(HKEY_CLASSES_ROOT, L"", 0, KEY_READ, &classes) != ERROR_SUCCESS) return;
    std::wstring wideName;
    for (DWORD index = 0;; ++index) {
        if (EnumSubkeyName(classes, index, wideName) != ERROR_SUCCESS) break;
        if (Poll()) break;
        ++keysVisited;
        // A class whose name this code page cannot carry is not judged: its best-fit name could
        // be another class.
        std::string name;
        if (!Narrow(wideName, name) || name.empty()) continue;
        if (name[0] == '.') {
            // An extension: judged by the open command of its class, when it has one.
            std::string cls, cmd;
            if (!ReadClassText(HKEY_CLASSES_ROOT, name, cls) || cls.empty()) continue;
            if (!ReadClassText(HKEY_CLASSES_ROOT, cls + "\\shell\\open\\command", cmd) || cmd.empty()) continue;
            if (!Judge(cmd, false))
                AddRegFinding("HKEY_CLASSES_ROOT", kImageClassesRoot, name, "", "", name, kClassesKeyRow);
            continue;
        }

        CheckProgIdClsid(name);

        std::string icon;
        if (RegKeyExists(HKEY_CLASSES_ROOT, name + "\\DefaultIcon") &&
            ReadClassText(HKEY_CLASSES_ROOT, name + "\\DefaultIcon", icon)) {
            size_t start = icon.find_first_not_of('"');
            icon.erase(0, start == std::string::npos ? icon.size() : start);
            if (icon.empty() || !Judge(icon, true))
                AddRegFinding("HKEY_CLASSES_ROOT", kImageClassesRoot, name + "\\DefaultIcon", "", "", icon,
                              kClassesKeyRow);
        }

        HKEY shell = nullptr;
        if (::RegOpenKeyExW(classes, (wideName + L"\\shell").c_str(), 0, KEY_READ, &shell) != ERROR_SUCCESS) continue;
        int verbs = 0, bad = 0;
        std::wstring wideVerb;
        for (DWORD v = 0;; ++v) {
            if (EnumSubkeyName(shell, v, wideVerb) != ERROR_SUCCESS) break;
            ++verbs;
            std::string verb, cmd;
            if (!Narrow(wideVerb, verb) || VerbHasHandler(shell, wideVerb)) continue;
            std::string verbKey = name + "\\shell\\" + verb;
            if (!ReadClassText(HKEY_CLASSES_ROOT, verbKey + "\\command", cmd)) continue;
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
    if (::RegOpenKeyExW(HKEY_CLASSES_ROOT, WideName(className + "\\CLSID").c_str(), 0, KEY_QUERY_VALUE, &key) !=
        ERROR_SUCCESS)
        return false;
    wchar_t value[261] = {};
    DWORD size = 260 * sizeof(wchar_t);
    LONG rc = ::RegQueryValueExW(key, L"", nullptr, nullptr, reinterpret_cast<BYTE*>(value), &size);
    ::RegCloseKey(key);
    std::string clsid;
    if (rc != ERROR_SUCCESS || !Narrow(value, clsid)) return false;
    if (RegKeyExists(HKEY_CLASSES_ROOT, "CLSID\\" + clsid)) return false;
    AddRegFinding("HKEY_CLASSES_ROOT", kImageClassesRoot, className + "\\CLSID", "", "", clsid, kClassesKeyRow);
    return true;
}

void CRegistryScan::ScanClassIds(HKEY root) {
    if (root != HKEY_LOCAL_MACHINE) return;
    std::wstring wide;
    std::string name;

    // Class identifiers.
    HKEY clsids = nullptr;
    if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, kClsidPath, 0, KEY_READ, &clsids) == ERROR_SUCCESS) {
        for (DWORD index = 0;; ++index) {
            if (EnumSubkeyName(clsids, index, wide) != ERROR_SUCCESS) break;
            if (Poll()) {
                ::RegCloseKey(clsids);
                return;
            }
            ++keysVisited;
            if (Narrow(wide, name)) CheckClassId(HKEY_LOCAL_MACHINE, std::string(kClsidPath) + "\\" + name);
        }
        ::RegCloseKey(clsids);
    }

    // Type libraries, version by version.
    SetMessage("Scanning Type Library Identifiers for Errors...");
    HKEY typeLibs = nullptr;
    if (::RegOpenKeyExA(HKEY_CLASSES_ROOT, "TypeLib", 0, KEY_READ, &typeLibs) == ERROR_SUCCESS) {
        for (DWORD index = 0;; ++index) {
            if (EnumSubkeyName(typeLibs, index, wide) != ERROR_SUCCESS) break;
            ++keysVisited;
            std::string guid;
            if (!Narrow(wide, guid)) continue;
            HKEY guidKey = nullptr;
            if (::RegOpenKeyExW(typeLibs, wide.c_str(), 0, KEY_READ, &guidKey) != ERROR_SUCCESS) continue;
            std::wstring wideVer;
            for (DWORD v = 0;; ++v) {
                if (EnumSubkeyName(guidKey, v, wideVer) != ERROR_SUCCESS) break;
                std::string ver;
                if (!Narrow(wideVer, ver)) continue;
                WORD major = static_cast<WORD>(std::strtoul(ver.c_str(), nullptr, 10));
                size_t point = ver.find('.');
                WORD minor = point != std::string::npos ? static_cast<WORD>(std::strtoul(ver.c_str() + point + 1, nullptr, 10))
                                                        : 0;
                bool helpDirEmpty = false;
                HKEY helpDir = nullptr;
                if (::RegOpenKeyExW(guidKey, (wideVer + L"\\helpdir").c_str(), 0, KEY_READ, &helpDir) == ERROR_SUCCESS) {
                    helpDirEmpty = ::RegQueryValueExW(helpDir, L"", nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS;
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
    if (::RegOpenKeyExA(HKEY_LOCAL_MACHINE, kInterfacePath, 0, KEY_READ, &interfaces) != ERROR_SUCCESS) return;
    for (DWORD index = 0;; ++index) {
        if (EnumSubkeyName(interfaces, index, wide) != ERROR_SUCCESS) break;
        ++keysVisited;
        if (!Narrow(wide, name)) continue;
        std::string typeLibKey = std::string(kInterfacePath) + "\\" + name + "\\TypeLib";
        std::string tl;
        if (!ReadClassText(HKEY_LOCAL_MACHINE, typeLibKey, tl)) continue;
        if (!tl.empty() && !RegKeyExists(HKEY_LOCAL_MACHINE, kTypeLibPath + tl))
            AddRegFinding("HKEY_LOCAL_MACHINE", kImageLocalMachine, typeLibKey, "", "", tl, kMachineKeyRow);
    }
    ::RegCloseKey(interfaces);
}

void CRegistryScan::CheckClassId(HKEY root, const std::string& clsidPath) {
    std::string server, tl, progId, viProgId;
    // The server is judged as written and shown in upper case.
    if (ReadClassText(root, clsidPath + "\\InprocServer32", server) && !server.empty() && !Judge(server, true))
        AddRegFinding("HKEY_LOCAL_MACHINE", kImageLocalMachine, clsidPath + "\\InprocServer32", "", "",
                      ToUpper(server), kMachineKeyRow);
    if (ReadClassText(root, clsidPath + "\\TypeLib", tl) && !tl.empty() &&
        !RegKeyExists(root, "Software\\classes\\TypeLib\\" + tl))
        AddRegFinding("HKEY_LOCAL_MACHINE", kImageLocalMachine, clsidPath + "\\TypeLib", "", "", tl, kMachineKeyRow);
    if (ReadClassText(root, clsidPath + "\\ProgID", progId) && !progId.empty() &&
        !RegKeyExists(root, "Software\\classes\\" + progId))
        AddRegFinding("HKEY_LOCAL_MACHINE", kImageLocalMachine, clsidPath + "\\ProgID", "", "", progId,
                      kMachineKeyRow);
    if (ReadClassText(root, clsidPath + "\\VersionIndependentProgID", viProgId) && !viProgId.empty() &&
        !RegKeyExists(root, "Software\\classes\\" + viProgId))
        AddRegFinding("HKEY_LOCAL_MACHINE", kImageLocalMachine, clsidPath + "\\VersionIndependentProgID", "", "",
                      viProgId, kMachineKeyRow);
}

bool CRegistryScan::CheckTypeLibVersion(const std::string& guidText, WORD major, WORD minor) {
    GUID guid;
    std::wstring wide = WideName(guidText);
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
