// The invalid shortcuts scan: shortcut files on the selected fixed drives whose targets no longer
// exist, read and repaired through the shell's own link object (IShellLinkA and IPersistFile);
// the shortcut file format is never parsed here.
#pragma once

#include "app/services.h"
#include "files/walker.h"

#include <windows.h>

#include <functional>
#include <string>

// The existence test applied to a shortcut's target: true when the path exists (file or
// folder) or its last component is found on the system's search path. The path check is
// supplied by the registry cleaner (its PathOrFileNameExists) when the program starts; until
// then ShortcutTargetExists, the same rule, is used. Null restores it.
using PathCheckFn = std::function<bool(const std::string& path)>;
void SetShortcutTargetCheck(PathCheckFn check);
bool ShortcutTargetExists(const std::string& path);

enum ShortcutMode { kCheckShortcut = 0, kRepairShortcut = 1 };

// Mode 0 checks: answers 0 when the shortcut is invalid, and then `target` (the target path in
// its short form, as the link object gives it) and `description` are filled. A shortcut that
// cannot be loaded, has no file target, or points to a network drive, a RAM disk or a drive of
// unknown type is valid. Mode 1 lets the shell repair the shortcut (it may show its search
// dialog, owned by `window`, and saves the shortcut when it finds the target); the answer is
// 0 only when the shell reported it could not.
int CheckShortcut(const std::string& path, std::string* target, std::string* description, int mode, HWND window);

// True for a name whose last three characters are "LNK" (any case), extension or not.
bool IsShortcutName(const std::string& name);

// The shortcut walker: no exclusion list, hidden-and-system folders not entered; each
// shortcut whose target is gone becomes a row (name, full path, target, description).
class CShortcutScan : public CFolderWalker {
public:
    CShortcutScan(IResultList& list, ICancelPoll& cancel, IStatusSink& status, HWND window)
        : CFolderWalker(&cancel, &status), list_(list), window_(window) {}

    int WalkShortcutFolder(const std::string& folder) { return WalkFolder(folder); }

protected:
    bool SkipDirectory(const WalkEntry& entry) override { return IsSystemAndHidden(entry.attributes); }
    void OnFile(const WalkEntry& entry) override;

private:
    IResultList& list_;
    HWND window_;
};

// The "Scan" command's work: empties `list`, walks the fixed drives of `driveMask`, runs
// `afterDrive` (column sizing) after every drive, and puts "Total Invalid entries found: %d"
// in the message bar. Answers the number of rows.
int ScanInvalidShortcuts(IResultList& list, ICancelPoll& cancel, IStatusSink& status, DWORD driveMask, HWND window,
                         const std::function<void()>& afterDrive = {});

// "Fix All": lets the shell repair the shortcut of every row from the top, removing each row;
// after every sixth repair asks whether to go on (No keeps the row just repaired and the rest).
void FixAllShortcuts(IResultList& list, IStatusSink& status, HWND window);
// "Fix Selected": repairs the shortcut of each selected row and removes the row.
void FixSelectedShortcuts(IResultList& list, IStatusSink& status, HWND window);
