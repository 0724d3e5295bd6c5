#include "registry/regcommands.h"

#include "framework/prompter.h"
#include "registry/regremove.h"
#include "registry/regscan.h"
#include "widgets/progressdlg.h"

void RunRegistryScan(CWrenlyView& view, IStatusSink& frame) {
    CCancelDialog dialog(0);
    dialog.create(MainWindow());
    view.activeCancelDialog = &dialog;
    CRegistryScan scan(view, dialog, frame, view.settings.regScan);
    scan.listControl = view.m_hWnd;
    scan.keep = &view.settings.keep;
    scan.ScanRegistry();
    view.activeCancelDialog = nullptr;
    dialog.close();
}

void RunRegistryRemoveSelected(CWrenlyView& view, IStatusSink& frame) {
    RemoveSelectedEntries(view, frame, UndoFolder());
}

void RunRegistryRemoveAll(CWrenlyView& view, IStatusSink& frame) { RemoveAllEntries(view, frame, UndoFolder()); }

void RunRegistryBackup(CWrenlyView&, IStatusSink&) { BackupRegistry(); }
