// The invalid shortcuts scan: shortcut files on the selected fixed drives whose targets no longer
// exist, read and repaired through the shell's own link object (IShellLinkA and IPersistFile);
// the shortcut file format is never parsed here.
#pragma once

#include "core/keeplist.h"
#include "core/services.h"
#include "files/walker.h"

#include <windows.h>

#include <functional>
#include <string>

// What the check makes of a shortcut's target. The registry cleaner's drive rule: a target on a
// fixed disk is judged; on a removable disk only when `judgeRemovable` (the "Include all
// references to removable media" switch); on a CD-ROM drive (with or without a disc), a network
// place, a RAM disk or a drive letter that is not there (an unplugged stick), never. A path is
// judged by itself; the search path serves bare names ("notepad.exe") only. A target the user
// may not look into is not called missing.
enum TargetVerdict { kTargetNotJudged, kTargetExists, kTargetMissing };
TargetVerdict JudgeShortcutTarget(const std::wstring& target, bool judgeRemovable);

enum ShortcutMode { kCheckShortcut = 0, kRepairShortcut = 1 };

// Mode 0 checks: answers 0 when the shortcut is invalid (JudgeShortcutTarget finds its target
// missing), and then `target` (the target path in its short form, as the link object gives it)
// and `description` are filled. A shortcut that cannot be loaded, has no file target, or whose
// target is not judged is valid. Mode 1 lets the shell repair the shortcut (it may show its
// search dialog, owned by `window`, and saves the shortcut when it finds the target); the
// answer is 0 only when the shell reported it could not.
int CheckShortcut(const std::string& path, std::string* target, std::string* description, int mode, HWND window,
                  bool judgeRemovable = true);

// True for a name whose last three characters are "LNK" (any case), extension or not.
bool IsShortcutName(const std::string& name);

// The shortcut walker: no exclusion list, hidden-and-system folders not entered; each
// shortcut whose target is gone becomes a row (name, full path, target, description).
class CShortcutScan : public CFolderWalker {
public:
    CShortcutScan(IResultList& list, ICancelPoll& cancel, IStatusSink& status, HWND window, bool judgeRemovable = true)
        : CFolderWalker(&cancel, &status), list_(list), window_(window), judgeRemovable_(judgeRemovable) {}

    // Shortcuts the user chose to keep are not even loaded.
    const KeepList* keep = nullptr;

    int WalkShortcutFolder(const std::string& folder) { return WalkFolder(folder); }

protected:
    bool SkipDirectory(const WalkEntry& entry) override { return IsSystemAndHidden(entry.attributes); }
    void OnFile(const WalkEntry& entry) override;

private:
    IResultList& list_;
    HWND window_;
    bool judgeRemovable_;
};

// The "Scan" command's work: empties `list`, walks the fixed drives of `driveMask`, runs
// `afterDrive` (column sizing) after every drive, and puts "Total Invalid entries found: %d"
// in the message bar. Answers the number of rows.
int ScanInvalidShortcuts(IResultList& list, ICancelPoll& cancel, IStatusSink& status, DWORD driveMask, HWND window,
                         bool judgeRemovable, const std::function<void()>& afterDrive = {},
                         const KeepList* keep = nullptr);

// "Fix All": lets the shell repair the shortcut of every row from the top, removing each row;
// after every sixth repair asks whether to go on (No keeps the row just repaired and the rest).
void FixAllShortcuts(IResultList& list, IStatusSink& status, HWND window);
// "Fix Selected": repairs the shortcut of each selected row and removes the row.
void FixSelectedShortcuts(IResultList& list, IStatusSink& status, HWND window);
