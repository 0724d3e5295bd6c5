// The six tools and their command items: one table each, which the outlook bar, the toolbar's
// selection commands, the frame's dispatch and the tests all read. Nothing else spells a tool's
// folder or a command's number.
#pragma once

#include <windows.h>

class CMainFrame;
class CWrenlyView;

// A tool, in the order of its folder in the outlook bar (its ScanMode).
struct ToolInfo {
    int scanMode;
    const char* caption;
    UINT folderId;      // IDF_...
    int listMode;
    UINT selectCommand; // ID_TOOL_... (menu accelerators and toolbar)
    // What choosing the tool does besides setting up the list (the startup tool lists at once,
    // the history eraser shows its options); none for the others.
    void (*onSelect)(CMainFrame& frame, CWrenlyView& view);
};
extern const ToolInfo kTools[6];

// A command item of a tool's folder, in the order the folder shows them.
struct ToolCommand {
    UINT id;            // ID_REG_SCAN...
    int scanMode;       // the tool it belongs to
    const char* caption;
    int image;          // in the outlook bar's pictures
    bool busyAnimation; // the rebar's animation plays while it runs
    bool notifySound;   // the notify sound plays when it is done
    void (*run)(CMainFrame& frame, CWrenlyView& view);
};
extern const ToolCommand kToolCommands[20];

// The command with that id; none for an id of no item.
const ToolCommand* FindToolCommand(UINT id);
