// The report lists on the Options pages: the shell's small icons, check boxes, selection, and
// the ending lists of the "Unneeded Files" and "Duplicates" pages.
#pragma once

#include "files/junk.h"

#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

// A list control on a page, by handle. Every call works on the control as it is now.
class CPageList {
public:
    CPageList() = default;
    explicit CPageList(HWND h) : hwnd_(h) {}
    void Attach(HWND h) { hwnd_ = h; }
    HWND Window() const { return hwnd_; }

    // The shell's system small image list for the list's display scale (shared, never destroyed
    // by the list); check boxes unless `checkBoxes` is false.
    void Setup(bool checkBoxes);
    // `width` in pixels; Scaled() gives them for a width chosen at 96 DPI.
    void AddColumn(const char* title, int width);
    int Scaled(int pixels) const;

    // Appends a row; image -1 asks for the icon on demand. Returns the row.
    int AddRow(const std::string& text, int image, bool checked, LPARAM data = 0);
    // Sets column `column` of `row` to be asked for on demand.
    void SetCallbackText(int row, int column);

    int Count() const;
    std::string Text(int row, int column = 0) const;
    LPARAM Data(int row) const;
    // The check box: true when checked.
    bool IsChecked(int row) const;
    // False only for a row whose check box is cleared (a row without a check box counts as set).
    bool IsNotCleared(int row) const;
    void SetChecked(int row, bool checked);
    bool HasSelection() const;
    int FirstSelected() const;
    void Select(int row);
    // Deletes every selected row, one at a time; answers the texts of the rows deleted.
    std::vector<std::string> DeleteSelected();
    // Column sizing: LVSCW_AUTOSIZE, LVSCW_AUTOSIZE_USEHEADER or a width.
    void SizeColumn(int column, int how);
    int ColumnCount() const;

private:
    HWND hwnd_ = nullptr;
};

// The shell's small icon of a path; 0 when the shell knows none.
int ShellIconOfPath(const std::string& path);
// Icon and type name of files that end in `ending` ("*" + ending, without touching the disk).
int ShellIconOfEnding(const std::string& ending);
std::string ShellTypeOfEnding(const std::string& ending);

// The rows of the "Duplicates" list for a stored "DupExt" text (empty gives the defaults).
std::vector<JunkEnding> DuplicateEndingRows(const std::string& text);

// Why an ending typed into "Add Extension" is not added: empty, already listed (without
// regard to case), or holding a "," (which separates the pieces of the stored form, so it
// would come back as different endings).
bool CanAddEnding(const std::string& ending, const std::vector<std::string>& listed);

// An ending list: columns "Ext" and "Description", one checked or cleared row per ending, the
// icon and the description asked for on demand.
class CEndingList : public CPageList {
public:
    // The column widths as chosen at 96 DPI.
    void Setup(int extWidth, int descriptionWidth);
    void Fill(const std::vector<JunkEnding>& endings);
    // The rows in order: checked "E", cleared "D".
    std::vector<JunkEnding> Endings() const;
    std::vector<std::string> Texts() const;
    // Appends `ending` checked when CanAddEnding allows it; answers whether it did.
    bool AddEnding(const std::string& ending);
    // Answers the list's LVN_GETDISPINFOA.
    LRESULT OnGetDispInfo(NMHDR* h);
};
