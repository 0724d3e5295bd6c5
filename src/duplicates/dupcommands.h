// The duplicate finder's commands as the main window calls them, and the hooks it gives the
// result list.
#pragma once

#include "core/services.h"
#include "core/view.h"
#include "duplicates/dupscan.h"

#include <functional>
#include <string>

// The finder's rows in the real list: separators with an empty text, files with their name and
// path on demand and their size in column 2, filled with redrawing off; columns 0 and 1 get
// 150 and 200 pixels at the end.
class CViewDuplicateRows : public IDuplicateRows {
public:
    explicit CViewDuplicateRows(CWrenlyView& view) : view_(view) {}
    void DeleteAllRows() override;
    void BeginRows(int rows) override;
    void AddSeparatorRow(DWORD data) override;
    void AddDuplicateRow(const std::string& sizeText, DWORD data) override;
    void EndRows() override;

private:
    CWrenlyView& view_;
};

// To be called once the view window exists: the view answers the texts of duplicate rows from
// "duplist", drops the finder's data when a tool switch has emptied the list, and the
// duplicate endings are loaded from the settings store.
void InstallDuplicateFinder(CWrenlyView& view);

// "Find Duplicate Files": Scan. Puts up the cancel dialog (owned by the main window),
// scans, groups and lists; calls `stopBusyAnimation`, when given, as it finishes. The frame
// starts the animation before and plays the notify sound after. (Delete Selected is
// RunDuplicatesDeleteSelected of files/filecommands.h.)
void RunDuplicatesScan(CWrenlyView& view, IStatusSink& frame, const std::function<void()>& stopBusyAnimation = {});

// The folder that holds "duplist": the program's data folder (DataFolder of app/datafolder.h),
// unless SetDuplicateListFolder chose another (tests; an empty text goes back to the data folder).
std::string DuplicateListFolder();
void SetDuplicateListFolder(const std::string& folder);
