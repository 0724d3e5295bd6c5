// The history eraser's commands as the main window calls them.
#pragma once

#include "core/services.h"
#include "core/view.h"

#include <functional>

// Fills the list with the removal options and their default check marks, and sizes the column.
// Called when "Erase Your History" is chosen, after the column is in and check boxes are on.
void ListHistoryItems(CWrenlyView& view);

// "Start": erases what the checked rows name, with the cancel dialog (owned by the main
// window) up for the duration; calls `stopBusyAnimation`, when given, as it finishes. The frame
// starts the animation before and plays the notify sound after.
void RunEraseHistory(CWrenlyView& view, IStatusSink& frame, const std::function<void()>& stopBusyAnimation = {});
