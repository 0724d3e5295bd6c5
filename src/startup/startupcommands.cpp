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
