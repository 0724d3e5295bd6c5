#include "duplicates/dupcommands.h"

#include "core/datafolder.h"
#include "duplicates/dupendings.h"
#include "duplicates/duplist.h"
#include "framework/prompter.h"
#include "widgets/progressdlg.h"

#include <map>
#include <unordered_map>

namespace {

std::string& ListFolderOverride() {
    static std::string folder;
    return folder;
}

// The long paths of the rows drawn so far, by item data, for each view. The list keeps the
// text it was given for a row's first column, but not on every system for the other columns;
// kept here, a row reads the file at most once while the rows exist.
std::map<const CWrenlyView*, std::unordered_map<DWORD, std::string>>& DrawnPaths() {
    static std::map<const CWrenlyView*, std::unordered_map<DWORD, std::string>> paths;
    return paths;
}

std::string RowText(const CWrenlyView& view, DWORD data, int column) {
    if (data >= view.groupOffsets.size() || (column != 0 && column != 1)) return std::string();
    auto& paths = DrawnPaths()[&view];
    auto it = paths.find(data);
    if (it == paths.end()) {
        std::string path = ReadDuplicateLongPath(DuplicateListFolder(), view.groupOffsets[data]);
        // A failed read (someone holds the file) is tried again at the next drawing.
        if (path.empty()) return path;
        it = paths.emplace(data, path).first;
    }
    return column == 1 ? it->second : FileNameOfPath(it->second);
}

}  // namespace

void CViewDuplicateRows::DeleteAllRows() {
    view_.DeleteAll();
    DrawnPaths().erase(&view_);
}

void CViewDuplicateRows::BeginRows(int rows) {
    view_.Send(WM_SETREDRAW, FALSE);
    view_.Send(LVM_SETITEMCOUNT, rows);
}

void CViewDuplicateRows::AddSeparatorRow(DWORD data) { view_.AddRow({""}, -1, data); }

void CViewDuplicateRows::AddDuplicateRow(const std::string& sizeText, DWORD data) {
    int row = view_.AddCallbackRow(2, data);
    if (row >= 0) view_.SetText(row, 2, sizeText);
}

void CViewDuplicateRows::EndRows() {
    view_.Send(LVM_SETCOLUMNWIDTH, 0, 150);
    view_.Send(LVM_SETCOLUMNWIDTH, 1, 200);
    int n = view_.ColumnCount();
    if (n > 2) view_.Send(LVM_SETCOLUMNWIDTH, n - 1, LVSCW_AUTOSIZE_USEHEADER);
    view_.Send(WM_SETREDRAW, TRUE);
}

std::string DuplicateListFolder() {
    const std::string& folder = ListFolderOverride();
    return folder.empty() ? DataFolder() : folder;
}

void SetDuplicateListFolder(const std::string& folder) { ListFolderOverride() = folder; }

void InstallDuplicateFinder(CWrenlyView& view) {
    view.textProvider = [&view](int, int column, DWORD data) { return RowText(view, data, column); };
    // The tool switch has emptied the list already; the record positions of its rows go too.
    view.clearDuplicateRecords = [&view] {
        if (view.Count() != 0) return;
        view.groupOffsets.clear();
        view.groupOffsets.shrink_to_fit();
        DrawnPaths().erase(&view);
    };
    LoadDuplicateEndings(view.settings);
}

void RunDuplicatesScan(CWrenlyView& view, IStatusSink& frame, const std::function<void()>& stopBusyAnimation) {
    CCancelDialog dialog(0);
    dialog.create(MainWindow());
    view.activeCancelDialog = &dialog;

    std::string folder = DuplicateListFolder();
    CViewDuplicateRows rows(view);
    CDuplicateFinder finder(rows, view.groupOffsets, dialog, frame, view.settings, folder);
    if (finder.ScanDuplicates() == DuplicateScanOutcome::ListFileFailed) {
        view.activeCancelDialog = nullptr;
        MessageBoxText(DuplicateListFailureText(folder), MB_OK);
        if (stopBusyAnimation) stopBusyAnimation();
        dialog.close();
        return;
    }
    if (stopBusyAnimation) stopBusyAnimation();
    view.activeCancelDialog = nullptr;
    view.Invalidate();
    dialog.close();
}
