// The commands of the file tools as the main window calls them: each works on the result list
// and reports through the frame's message bar and notifier. The scans put up the cancel dialog
// (owned by the main window) for their walk and call `stopBusyAnimation`, when given, as they
// finish; the frame starts the animation before and plays the notify sound after.
#pragma once

#include "core/services.h"
#include "core/view.h"

#include <functional>

// "Remove Unneeded Files": Scan, Delete Selected, Delete All.
void RunUnneededFilesScan(CWrenlyView& view, IStatusSink& frame, const std::function<void()>& stopBusyAnimation = {});
void RunUnneededFilesDeleteSelected(CWrenlyView& view, IStatusSink& frame);
void RunUnneededFilesDeleteAll(CWrenlyView& view, IStatusSink& frame);

// "Fix Invalid Shortcuts": Scan, Fix Selected, Fix All, Delete All,
// Delete Selected.
void RunShortcutsScan(CWrenlyView& view, IStatusSink& frame, const std::function<void()>& stopBusyAnimation = {});
void RunShortcutsFixSelected(CWrenlyView& view, IStatusSink& frame);
void RunShortcutsFixAll(CWrenlyView& view, IStatusSink& frame);
void RunShortcutsDeleteAll(CWrenlyView& view, IStatusSink& frame);
void RunShortcutsDeleteSelected(CWrenlyView& view, IStatusSink& frame);

// "Find Duplicate Files": Delete Selected, with the warning about deleting one file per group.
void RunDuplicatesDeleteSelected(CWrenlyView& view, IStatusSink& frame);

// "Delete Selected" for whichever file tool the list shows (its ListMode picks the wording).
void RunDeleteSelectedFiles(CWrenlyView& view, IStatusSink& frame);

// Sizes every column but the last to its widest content and the last to fill the list.
void SizeListColumns(CWrenlyView& view);
