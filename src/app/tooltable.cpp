#include "app/tooltable.h"

#include "app/itemcommands.h"
#include "app/mainframe.h"
#include "duplicates/dupcommands.h"
#include "files/filecommands.h"
#include "history/historycommands.h"
#include "registry/regcommands.h"
#include "resource.h"
#include "startup/startupcommands.h"

namespace {

// The scans stop the animation themselves as they finish, before they list.
std::function<void()> StopAnimation(CMainFrame& frame) {
    return [&frame] { frame.StopBusyAnimation(); };
}

}  // namespace

const ToolInfo kTools[6] = {
    {0, "Remove Unneeded Files", IDF_UNNEEDED_FILES, kListUnneededFiles, ID_TOOL_UNNEEDED_FILES, nullptr},
    {1, "Clean System Registry", IDF_REGISTRY, kListRegistry, ID_TOOL_REGISTRY, nullptr},
    {2, "AutoStart Programs", IDF_STARTUP, kListStartupPrograms, ID_TOOL_STARTUP,
     [](CMainFrame& f, CWrenlyView& v) { RunStartupScan(v, f); }},
    {3, "Fix Invalid Shortcuts", IDF_SHORTCUTS, kListInvalidShortcuts, ID_TOOL_SHORTCUTS, nullptr},
    {4, "Erase Your History", IDF_HISTORY, kListHistory, ID_TOOL_HISTORY,
     [](CMainFrame&, CWrenlyView& v) { ListHistoryItems(v); }},
    {5, "Find Duplicate Files", IDF_DUPLICATES, kListDuplicates, ID_TOOL_DUPLICATES, nullptr},
};

const ToolCommand kToolCommands[20] = {
    {ID_STARTUP_REFRESH, 2, "Refresh List", 1, false, true,
     [](CMainFrame& f, CWrenlyView& v) { RunStartupScan(v, f); }},
    {ID_STARTUP_UPDATE, 2, "Update", 7, false, true, [](CMainFrame& f, CWrenlyView& v) { RunStartupUpdate(v, f); }},
    {ID_STARTUP_DELETE_SELECTED, 2, "Delete Selected", 0, false, false,
     [](CMainFrame& f, CWrenlyView& v) { RunStartupDeleteSelected(v, f); }},
    {ID_STARTUP_DELETE_ALL, 2, "Delete All", 3, false, false,
     [](CMainFrame& f, CWrenlyView& v) { RunStartupDeleteAll(v, f); }},

    {ID_REG_SCAN, 1, "Scan", 1, true, true, [](CMainFrame& f, CWrenlyView& v) { RunRegistryScan(v, f); }},
    {ID_REG_REMOVE_ALL, 1, "Remove All", 6, false, false,
     [](CMainFrame& f, CWrenlyView& v) { RunRegistryRemoveAll(v, f); }},
    {ID_REG_REMOVE_SELECTED, 1, "Remove Selected", 6, false, false,
     [](CMainFrame& f, CWrenlyView& v) { RunRegistryRemoveSelected(v, f); }},
    {ID_REG_OPEN_REGEDIT, 1, "Open With RegEdit", 12, false, false,
     [](CMainFrame&, CWrenlyView& v) { OpenSelectedKeyInRegEdit(v); }},
    {ID_REG_BACKUP, 1, "Backup", 5, false, false, [](CMainFrame& f, CWrenlyView& v) { RunRegistryBackup(v, f); }},

    {ID_JUNK_SCAN, 0, "Scan", 1, true, true,
     [](CMainFrame& f, CWrenlyView& v) { RunUnneededFilesScan(v, f, StopAnimation(f)); }},
    {ID_JUNK_DELETE_SELECTED, 0, "Delete Selected", 0, false, false,
     [](CMainFrame& f, CWrenlyView& v) { RunUnneededFilesDeleteSelected(v, f); }},
    {ID_JUNK_DELETE_ALL, 0, "Delete All", 3, false, false,
     [](CMainFrame& f, CWrenlyView& v) { RunUnneededFilesDeleteAll(v, f); }},

    {ID_SHORTCUTS_SCAN, 3, "Scan", 1, true, true,
     [](CMainFrame& f, CWrenlyView& v) { RunShortcutsScan(v, f, StopAnimation(f)); }},
    {ID_SHORTCUTS_FIX_ALL, 3, "Fix All", 7, false, false,
     [](CMainFrame& f, CWrenlyView& v) { RunShortcutsFixAll(v, f); }},
    {ID_SHORTCUTS_FIX_SELECTED, 3, "Fix Selected", 7, false, false,
     [](CMainFrame& f, CWrenlyView& v) { RunShortcutsFixSelected(v, f); }},
    {ID_SHORTCUTS_DELETE_SELECTED, 3, "Delete Selected", 0, false, false,
     [](CMainFrame& f, CWrenlyView& v) { RunShortcutsDeleteSelected(v, f); }},
    {ID_SHORTCUTS_DELETE_ALL, 3, "Delete All", 3, false, false,
     [](CMainFrame& f, CWrenlyView& v) { RunShortcutsDeleteAll(v, f); }},

    {ID_HISTORY_START, 4, "Start", 1, true, true,
     [](CMainFrame& f, CWrenlyView& v) { RunEraseHistory(v, f, StopAnimation(f)); }},

    {ID_DUP_SCAN, 5, "Scan", 1, true, true,
     [](CMainFrame& f, CWrenlyView& v) { RunDuplicatesScan(v, f, StopAnimation(f)); }},
    {ID_DUP_DELETE_SELECTED, 5, "Delete Selected", 0, false, false,
     [](CMainFrame& f, CWrenlyView& v) { RunDuplicatesDeleteSelected(v, f); }},
};

const ToolCommand* FindToolCommand(UINT id) {
    for (const ToolCommand& c : kToolCommands)
        if (c.id == id) return &c;
    return nullptr;
}
