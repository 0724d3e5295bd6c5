// The startup tool's commands as the main window runs them from its side bar.
#pragma once

#include "core/services.h"
#include "core/view.h"

// Lists every startup entry: run when the "AutoStart Programs" tool is selected and by
// "Refresh List". The caller plays the notify sound after "Refresh List".
void RunStartupScan(CWrenlyView& view, IStatusSink& frame);
// "Update": moves the entries whose check box the user changed, then lists again. The
// caller plays the notify sound after it.
void RunStartupUpdate(CWrenlyView& view, IStatusSink& frame);
// "Delete Selected" and "Delete All".
void RunStartupDeleteSelected(CWrenlyView& view, IStatusSink& frame);
void RunStartupDeleteAll(CWrenlyView& view, IStatusSink& frame);

