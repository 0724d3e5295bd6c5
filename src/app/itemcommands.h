// Commands on one listed item, whatever tool found it: open the file, open it with another
// program, show its properties, open a registry row's key in the registry editor, and the
// shortcuts to the Options sheet. They take the first selected row and its column-1 text.
// Reached from the list's right-click menu, double-click and Enter, the main menu's
// "ContextMenu" entries and the registry tool's "Open With RegEdit" item.
#pragma once

#include "core/view.h"

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

// Opens the Options sheet on a page.
using OpenOptionsFn = std::function<void(int page)>;

// The Options page that belongs to a list mode: Registry "RegClean" (3), Unneeded files
// "Unneeded Files" (1), Duplicates "Duplicates" (4), any other "Drives" (0).
int OptionsPageForListMode(int listMode);

// The first selected row, -1 when none.
int FirstSelectedRow(const CWrenlyView& view);

// Whether an item command can run now (the enabled state of its menu entry).
bool IsItemCommandEnabled(UINT id, const CWrenlyView& view);
// Enables or greys the item commands found in `menu` (by command).
void UpdateItemCommandMenu(HMENU menu, const CWrenlyView& view);

// The right-click menu for the list's mode, entries removed and enabled; nullptr in the
// history tool (no menu there). The caller destroys it.
HMENU CreateListContextMenu(const CWrenlyView& view);
// WM_CONTEXTMENU on the list: `pos` is the message's screen position, (-1, -1) from the
// keyboard. Shows the menu and runs the command chosen.
void ShowListContextMenu(CWrenlyView& view, LPARAM pos, const OpenOptionsFn& openOptions);

// Runs an item command: 32783 Open, 32801 Open With, 32784 Properties, 32785 Options,
// 32800 Drives To Scan, 32786 Open in RegEdit, 32809 Keep.
void RunItemCommand(CWrenlyView& view, UINT id, const OpenOptionsFn& openOptions);

// What "Keep" stores for a row of the list's tool: a registry finding, an unneeded file, a
// shortcut, a startup entry, or for a duplicate the folder it lies in (kept as a reference
// folder). False in tools with nothing to keep and for duplicate separator rows.
bool KeptItemForRow(const CWrenlyView& view, int row, KeptItem& item);
// The caption of the Keep entry in the list's tool: duplicates and startup entries stay listed.
std::string KeepCommandCaption(int listMode);
// "Keep": stores every selected row in the keep list, and takes the rows the tool will not
// list again out of the list (registry findings, unneeded files, shortcuts). Duplicates in a
// folder kept as a reference stay listed but can no longer be selected; startup entries stay
// listed without warnings. Answers how many items were kept.
int KeepSelectedRows(CWrenlyView& view);

// Double-click on a row and the Enter key.
void OnListDoubleClick(CWrenlyView& view);
void OnListEnter(CWrenlyView& view);

// Routes the list's right-click menu, double-click and Enter to the commands above.
void AttachItemCommands(CWrenlyView& view, OpenOptionsFn openOptions);

// The shell operations behind the commands.
void OpenItemFile(HWND owner, const std::string& path);
void ShowItemProperties(HWND owner, const std::string& path);
void OpenItemWith(const std::string& path);
// The part of a row's text that Properties asks about: a command line is cut before its first
// "/" or "," (so C:\APP\TOOL.EXE /S gives "C:\APP\TOOL.EXE ").
std::string PropertiesTarget(const std::string& text);

// The root key a registry row names by its item data (bits 4, 2, 8, 1 in that order); nullptr
// for none.
HKEY RootFromRowData(DWORD data);
// The place of a root key among the registry editor's top items.
int RegEditRootPosition(HKEY root);
// One position per component of `keyPath` (trimmed of backslashes and blanks): the place of
// the key among its parent's subkeys, sorted as the registry editor's tree sorts them. Ends at
// the first component that does not exist.
std::vector<int> ComputeKeyPositions(HKEY root, const std::string& keyPath);

// How long to wait for the registry editor's windows.
constexpr DWORD kRegEditWaitMs = 10000;

// Walks a tree view from its root item by `positions` (for each: first child, then that many
// next siblings, stopping at the last one; then expand) and selects the item reached. Works on
// a tree of another process. Answers the item selected, nullptr when the tree has no root.
HTREEITEM SelectTreePath(HWND tree, const std::vector<int>& positions);
// Waits up to `waitMs` for the registry editor's main window and its filled tree, then walks
// the tree to `positions`. False when the windows did not come in time.
bool DriveRegEditTree(const std::vector<int>& positions, DWORD waitMs = kRegEditWaitMs);
// Starts the registry editor (after the one-time warning) and shows the key in it. Messages
// are owned by `owner`.
void OpenKeyInRegEdit(HWND owner, HKEY root, const std::string& keyPath);
// "Open in RegEdit" for the first selected row of the registry tool.
void OpenSelectedKeyInRegEdit(CWrenlyView& view);
