// The registry cleaner's commands as the main window runs them from its side bar.
#pragma once

#include "core/services.h"
#include "core/view.h"

// "Scan" (3015): the cancel dialog over the main window, then the whole registry scan into the
// list. The caller starts the busy animation before and stops it and plays the notify sound after.
void RunRegistryScan(CWrenlyView& view, IStatusSink& frame);
// "Remove Selected" (3016) and "Remove All" (3017), with the undo file in UndoFolder().
void RunRegistryRemoveSelected(CWrenlyView& view, IStatusSink& frame);
void RunRegistryRemoveAll(CWrenlyView& view, IStatusSink& frame);
// "Backup" (3019).
void RunRegistryBackup(CWrenlyView& view, IStatusSink& frame);

// Runs the registry command with that side-bar identifier; false for any other identifier.
bool RunRegistryCommand(UINT toolCommandId, CWrenlyView& view, IStatusSink& frame);
