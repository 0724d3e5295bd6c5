#include "history/historycommands.h"

#include "framework/prompter.h"
#include "history/history.h"
#include "widgets/progressdlg.h"

void ListHistoryItems(CWrenlyView& view) {
    FillHistoryItems(view);
    int columns = view.ColumnCount();
    if (columns <= 0) return;
    view.Send(LVM_SETCOLUMNWIDTH, 0, LVSCW_AUTOSIZE);
    view.Send(LVM_SETCOLUMNWIDTH, columns - 1, LVSCW_AUTOSIZE_USEHEADER);
}

void RunEraseHistory(CWrenlyView& view, IStatusSink& frame, const std::function<void()>& stopBusyAnimation) {
    CCancelDialog dialog(0);
    dialog.create(MainWindow());
    view.activeCancelDialog = &dialog;
    {
        CHistoryEraser eraser(dialog, frame);
        eraser.EraseHistory(view);
    }
    view.activeCancelDialog = nullptr;
    if (stopBusyAnimation) stopBusyAnimation();
    view.Invalidate();
    dialog.close();
}
