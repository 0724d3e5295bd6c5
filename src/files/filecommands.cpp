#include "files/filecommands.h"

#include "files/junk.h"
#include "files/recycle.h"
#include "files/shortcuts.h"
#include "framework/prompter.h"
#include "widgets/progressdlg.h"

namespace {
// The cancel dialog of one scan, made the list's active one for the scan's duration. Closing
// order at the end: the list forgets it, the busy animation stops, the list repaints, the
// dialog goes.
class ScanDialog {
public:
    ScanDialog(CWrenlyView& view, const std::function<void()>& stopBusyAnimation)
        : view_(view), stop_(stopBusyAnimation) {
        dialog_.create(MainWindow());
        view_.activeCancelDialog = &dialog_;
    }
    ~ScanDialog() {
        view_.activeCancelDialog = nullptr;
        if (stop_) stop_();
        view_.Invalidate();
        dialog_.close();
    }
    CCancelDialog& dialog() { return dialog_; }

private:
    CWrenlyView& view_;
    std::function<void()> stop_;
    CCancelDialog dialog_ {0};
};
}  // namespace

void SizeListColumns(CWrenlyView& view) {
    int n = view.ColumnCount();
    for (int i = 0; i + 1 < n; ++i) view.Send(LVM_SETCOLUMNWIDTH, i, LVSCW_AUTOSIZE);
    if (n > 0) view.Send(LVM_SETCOLUMNWIDTH, n - 1, LVSCW_AUTOSIZE_USEHEADER);
}

void RunUnneededFilesScan(CWrenlyView& view, IStatusSink& frame, const std::function<void()>& stopBusyAnimation) {
    ScanDialog scan(view, stopBusyAnimation);
    view.Send(LVM_SETITEMCOUNT, 1000);
    ScanUnneededFiles(view, scan.dialog(), frame, view.settings, [&view] { SizeListColumns(view); });
}

void RunUnneededFilesDeleteSelected(CWrenlyView& view, IStatusSink& frame) {
    DeleteSelectedFiles(view, frame, kListUnneededFiles);
}

void RunUnneededFilesDeleteAll(CWrenlyView& view, IStatusSink& frame) {
    DeleteAllFiles(view, frame, kListUnneededFiles);
}

void RunShortcutsScan(CWrenlyView& view, IStatusSink& frame, const std::function<void()>& stopBusyAnimation) {
    ScanDialog scan(view, stopBusyAnimation);
    ScanInvalidShortcuts(view, scan.dialog(), frame, view.settings.driveMask, view.m_hWnd,
                         view.settings.regScan.reportRemovableMedia, [&view] { SizeListColumns(view); },
                         &view.settings.keep);
}

void RunShortcutsFixSelected(CWrenlyView& view, IStatusSink& frame) { FixSelectedShortcuts(view, frame, view.m_hWnd); }

void RunShortcutsFixAll(CWrenlyView& view, IStatusSink& frame) { FixAllShortcuts(view, frame, view.m_hWnd); }

void RunShortcutsDeleteAll(CWrenlyView& view, IStatusSink& frame) {
    DeleteAllFiles(view, frame, kListInvalidShortcuts);
}

void RunShortcutsDeleteSelected(CWrenlyView& view, IStatusSink& frame) {
    DeleteSelectedFiles(view, frame, kListInvalidShortcuts);
}

void RunDuplicatesDeleteSelected(CWrenlyView& view, IStatusSink& frame) {
    // A file in a folder kept as a reference is an original: whatever selected it, it stays.
    view.DeselectReferenceRows();
    DeleteSelectedFiles(view, frame, kListDuplicates);
}

void RunDeleteSelectedFiles(CWrenlyView& view, IStatusSink& frame) { DeleteSelectedFiles(view, frame, view.ListMode); }
