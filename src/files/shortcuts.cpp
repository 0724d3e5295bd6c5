#include "files/shortcuts.h"

#include "framework/prompter.h"
#include "framework/strings.h"
#include "resource.h"

#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <vector>

namespace {
// Resolve flags. Checking: no dialog, no search, no tracking, nothing saved (0xFF7B).
// Repairing: the shell may search and saves the shortcut when it finds the target (0x46).
const DWORD kCheckResolveFlags = 0xFF7B;
const DWORD kRepairResolveFlags = 0x46;

PathCheckFn& TargetCheck() {
    static PathCheckFn check;
    return check;
}

// The shell link object and its file interface, released in reverse order when it goes.
class CLinkObject {
public:
    CLinkObject() {
        if (FAILED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                      reinterpret_cast<void**>(&link_))))
            link_ = nullptr;
        if (link_ && FAILED(link_->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file_))))
            file_ = nullptr;
    }
    ~CLinkObject() {
        if (file_) file_->Release();
        if (link_) link_->Release();
    }
    CLinkObject(const CLinkObject&) = delete;
    CLinkObject& operator=(const CLinkObject&) = delete;

    bool Load(const std::string& path) {
        if (!link_ || !file_) return false;
        WCHAR wide[MAX_PATH] = {};
        if (!::MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide, MAX_PATH)) return false;
        return SUCCEEDED(file_->Load(wide, STGM_READWRITE));
    }
    IShellLinkA* operator->() const { return link_; }

private:
    IShellLinkA* link_ = nullptr;
    IPersistFile* file_ = nullptr;
};

// Whether a target on this root is judged at all: network drives, RAM disks and drives whose
// type cannot be told are never called invalid.
bool JudgedRoot(const std::string& target) {
    // A UNC path is a network place however its first characters read.
    if (target.size() >= 2 && target[0] == '\\' && target[1] == '\\') return false;
    switch (::GetDriveTypeA(target.substr(0, 3).c_str())) {
    case DRIVE_NO_ROOT_DIR:
    case DRIVE_REMOVABLE:
    case DRIVE_FIXED:
    case DRIVE_CDROM:
        return true;
    default:
        return false;
    }
}
}  // namespace

void SetShortcutTargetCheck(PathCheckFn check) { TargetCheck() = std::move(check); }

bool ShortcutTargetExists(const std::string& path) {
    std::string p = path;
    while (!p.empty() && (p.back() == '\\' || p.back() == ' ')) p.pop_back();
    if (::GetFileAttributesA(p.c_str()) != INVALID_FILE_ATTRIBUTES) return true;
    size_t slash = p.rfind('\\');
    std::string name = slash == std::string::npos ? p : p.substr(slash + 1);
    if (name.empty()) return false;
    return ::SearchPathA(nullptr, name.c_str(), nullptr, 0, nullptr, nullptr) != 0;
}

bool IsShortcutName(const std::string& name) {
    return name.size() >= 3 && _stricmp(name.c_str() + name.size() - 3, "LNK") == 0;
}

int CheckShortcut(const std::string& path, std::string* target, std::string* description, int mode, HWND window) {
    CLinkObject link;
    if (!link.Load(path)) return 1;

    if (mode == kRepairShortcut) return link->Resolve(window, kRepairResolveFlags) == S_FALSE ? 0 : 1;

    // The link object's own verdict is asked for first, but it is not taken alone: some
    // implementations (Wine's among them) answer S_OK without looking at the target, so the
    // target the object then holds is always checked as well.
    link->Resolve(window, kCheckResolveFlags);
    char buffer[MAX_PATH] = {};
    WIN32_FIND_DATAA found {};
    if (link->GetPath(buffer, MAX_PATH, &found, SLGP_SHORTPATH) != S_OK || !buffer[0]) return 1;
    std::string targetPath = buffer;
    if (!JudgedRoot(targetPath)) return 1;

    const PathCheckFn& check = TargetCheck();
    if (check ? check(targetPath) : ShortcutTargetExists(targetPath)) return 1;

    char text[MAX_PATH] = {};
    if (FAILED(link->GetDescription(text, MAX_PATH))) text[0] = '\0';
    if (target) *target = targetPath;
    if (description) *description = text;
    return 0;
}

void CShortcutScan::OnFile(const WalkEntry& entry) {
    if (!IsShortcutName(entry.name)) return;
    std::string target, description;
    if (CheckShortcut(entry.fullPath, &target, &description, kCheckShortcut, window_) != 0) return;
    list_.AddRow({entry.name, entry.fullPath, target, description}, -1, 0);
}

int ScanInvalidShortcuts(IResultList& list, ICancelPoll& cancel, IStatusSink& status, DWORD driveMask, HWND window,
                         const std::function<void()>& afterDrive) {
    list.DeleteAll();
    CShortcutScan scan(list, cancel, status, window);
    ScanDrives(
        driveMask, [&](const std::string& drive) { return scan.WalkShortcutFolder(drive); },
        [&](const std::string&) {
            if (afterDrive) afterDrive();
        });
    int rows = list.Count();
    status.SetStatusText(Format("Total Invalid entries found: %d", rows), 0);
    return rows;
}

void FixAllShortcuts(IResultList& list, IStatusSink& status, HWND window) {
    if (list.Count() == 0) {
        status.ShowNotifierText(LoadStr(IDS_LIST_EMPTY));
        return;
    }
    int counter = 0;
    while (list.Count() > 0) {
        CheckShortcut(list.Text(0, 1), nullptr, nullptr, kRepairShortcut, window);
        if (++counter == 6) {
            if (MessageBoxText("Do you want to continue with the next item", MB_YESNO | MB_ICONQUESTION) == IDNO)
                return;
            counter = 0;
        }
        // The row goes whatever the shell did: the next scan shows what is still broken.
        list.DeleteRow(0);
    }
}

void FixSelectedShortcuts(IResultList& list, IStatusSink& status, HWND window) {
    std::vector<int> selected;
    for (int row = 0, n = list.Count(); row < n; ++row)
        if (list.IsSelected(row)) selected.push_back(row);
    if (selected.empty()) {
        status.ShowNotifierText(LoadStr(IDS_SELECT_ITEMS));
        return;
    }
    for (int row : selected) CheckShortcut(list.Text(row, 1), nullptr, nullptr, kRepairShortcut, window);
    for (auto it = selected.rbegin(); it != selected.rend(); ++it) list.DeleteRow(*it);
}
