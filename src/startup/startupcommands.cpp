#include "startup/startupcommands.h"

#include "startup/startupprograms.h"

namespace {
CStartupPrograms ForView(CWrenlyView& view, IStatusSink& frame) {
    CStartupPrograms tool(view, frame);
    tool.view = &view;
    tool.places = DefaultStartupPlaces();
    tool.reportRemovableMedia = view.settings.regScan.reportRemovableMedia;
    tool.keep = &view.settings.keep;
    return tool;
}
}  // namespace

void RunStartupScan(CWrenlyView& view, IStatusSink& frame) { ForView(view, frame).ScanStartupPrograms(); }

void RunStartupUpdate(CWrenlyView& view, IStatusSink& frame) { ForView(view, frame).ApplyStartupChanges(); }

void RunStartupDeleteSelected(CWrenlyView& view, IStatusSink& frame) {
    ForView(view, frame).DeleteSelectedStartupRows();
}

void RunStartupDeleteAll(CWrenlyView& view, IStatusSink& frame) { ForView(view, frame).DeleteAllStartupRows(); }

bool RunStartupCommand(UINT toolCommandId, CWrenlyView& view, IStatusSink& frame) {
    switch (toolCommandId) {
    case 3013: RunStartupScan(view, frame); return true;
    case 3008: RunStartupUpdate(view, frame); return true;
    case 3011: RunStartupDeleteSelected(view, frame); return true;
    case 3010: RunStartupDeleteAll(view, frame); return true;
    default: return false;
    }
}
