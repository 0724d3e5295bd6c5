#include "files/shortcuts.h"

#include "core/codepage.h"
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
// Room for a target or a description, read wide so that nothing is cut that the process code
// page would make longer.
const int kLinkTextChars = INFOTIPSIZE;

// The shell link object and its file interface, released in reverse order when it goes.
class CLinkObject {
public:
    CLinkObject() {
        if (FAILED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
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
        if (!link_ || !file_ || path.empty()) return false;
        return SUCCEEDED(file_->Load(WideName(path).c_str(), STGM_READWRITE));
    }
    IShellLinkW* operator->() const { return link_; }

private:
    IShellLinkW* link_ = nullptr;
    IPersistFile* file_ = nullptr;
};

bool StartsAtDriveRoot(const std::wstring& p) {
    return p.size() >= 3 && p[1] == L':' && p[2] == L'\\' &&
           ((p[0] >= L'A' && p[0] <= L'Z') || (p[0] >= L'a' && p[0] <= L'z'));
}
}  // namespace

TargetVerdict JudgeShortcutTarget(const std::wstring& target, bool judgeRemovable) {
    std::wstring p = target;
    while (p.size() > 3 && (p.back() == L'\\' || p.back() == L' ')) p.pop_back();
    if (p.empty()) return kTargetNotJudged;
    if (p.find_first_of(L"\\/:") == std::wstring::npos)
        return ::SearchPathW(nullptr, p.c_str(), nullptr, 0, nullptr, nullptr) ? kTargetExists : kTargetMissing;
    // Only a path from a drive's root is judged: a network place (\\server\share) never is.
    if (!StartsAtDriveRoot(p)) return kTargetNotJudged;
    bool removable = false;
    switch (::GetDriveTypeW(p.substr(0, 3).c_str())) {
    case DRIVE_FIXED:
        break;
    case DRIVE_REMOVABLE:
        if (!judgeRemovable) return kTargetNotJudged;
        removable = true;
        break;
    default:
        return kTargetNotJudged;
    }
    // A drive without its disk answers at once instead of asking for the disk.
    DWORD previousMode = 0;
    ::SetThreadErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX, &previousMode);
    DWORD attributes = ::GetFileAttributesW(p.c_str());
    DWORD error = ::GetLastError();
    ::SetThreadErrorMode(previousMode, nullptr);
    if (attributes != INVALID_FILE_ATTRIBUTES) return kTargetExists;
    // Only "not there" counts. A place the user may not look into (another user's folder) or a
    // disk that does not answer leaves a shortcut that may well work.
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return kTargetMissing;
    if (removable && error == ERROR_NOT_READY) return kTargetMissing;
    return kTargetNotJudged;
}

bool IsShortcutName(const std::string& name) {
    return name.size() >= 3 && _stricmp(name.c_str() + name.size() - 3, "LNK") == 0;
}

int CheckShortcut(const std::string& path, std::string* target, std::string* description, int mode, HWND window,
                  bool judgeRemovable) {
    CLinkObject link;
    if (!link.Load(path)) return 1;

    if (mode == kRepairShortcut) return link->Resolve(window, kRepairResolveFlags) == S_FALSE ? 0 : 1;

    // The link object's own verdict is asked for first, but it is not taken alone: some
    // implementations (Wine's among them) answer S_OK without looking at the target, so the
    // target the object then holds is always checked as well.
    link->Resolve(window, kCheckResolveFlags);
    std::vector<WCHAR> buffer(kLinkTextChars);
    WIN32_FIND_DATAW found {};
    if (link->GetPath(buffer.data(), kLinkTextChars, &found, SLGP_SHORTPATH) != S_OK || !buffer[0]) return 1;
    std::wstring targetPath = buffer.data();
    if (JudgeShortcutTarget(targetPath, judgeRemovable) != kTargetMissing) return 1;

    std::vector<WCHAR> text(kLinkTextChars);
    if (FAILED(link->GetDescription(text.data(), kLinkTextChars))) text[0] = L'\0';
    // Shown only, so where the code page lacks a character a form with question marks will do;
    // the row acts on the shortcut's own path.
    if (target) NarrowName(targetPath, *target);
    if (description) NarrowName(text.data(), *description);
    return 0;
}

void CShortcutScan::OnFile(const WalkEntry& entry) {
    if (!IsShortcutName(entry.name)) return;
    if (keep && keep->IsShortcutKept(entry.fullPath)) return;
    std::string target, description;
    if (CheckShortcut(entry.fullPath, &target, &description, kCheckShortcut, window_, judgeRemovable_) != 0) return;
    list_.AddRow({entry.name, entry.fullPath, target, description}, -1, 0);
}

int ScanInvalidShortcuts(IResultList& list, ICancelPoll& cancel, IStatusSink& status, DWORD driveMask, HWND window,
                         bool judgeRemovable, const std::function<void()>& afterDrive, const KeepList* keep) {
    list.DeleteAll();
    CShortcutScan scan(list, cancel, status, window, judgeRemovable);
    scan.keep = keep;
    ScanDrives(
        driveMask, [&](const std::string& drive) { return scan.WalkShortcutFolder(drive); },
        [&](const std::string&) {
            if (afterDrive) afterDrive();
        });
    int rows = list.Count();
    status.SetStatusText(Format("Total Invalid entries found: %d", rows) + UnusableNamesText(scan.namesUnusable()), 0);
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
