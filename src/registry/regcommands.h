// The registry cleaner's commands as the main window runs them from its side bar.
#pragma once

#include "core/services.h"
#include "core/view.h"

// "Scan": the cancel dialog over the main window, then the whole registry scan into the
// list. The caller starts the busy animation before and stops it and plays the notify sound after.
void RunRegistryScan(CWrenlyView& view, IStatusSink& frame);
// "Remove Selected" and "Remove All", with the undo file in UndoFolder().
void RunRegistryRemoveSelected(CWrenlyView& view, IStatusSink& frame);
void RunRegistryRemoveAll(CWrenlyView& view, IStatusSink& frame);
// "Backup".
void RunRegistryBackup(CWrenlyView& view, IStatusSink& frame);

