// The result list: the report list in the right pane of the main window that every tool fills
// with its findings.
#pragma once

#include "core/keeplist.h"
#include "core/services.h"
#include "framework/window.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// Which tool the rows belong to.
enum ListModeId {
    kListNone = 0,
    kListRegistry = 1,
    kListStartupPrograms = 2,
    kListInvalidShortcuts = 3,
    kListUnneededFiles = 4,
    kListDuplicates = 5,
    kListHistory = 6,
};

// Item data bit of a file row whose name has no form in the process code page (only where that
// is not UTF-8) and no 8.3 alias: the row shows the file, and no command ever acts on it.
const DWORD kRowNameUnusable = 0x80000000;

// Registry scan switches; all on at every start and never stored.
struct RegScanOptions {
    bool scanUserHives = true;
    bool scanMachineHive = true;
    bool scanFileAssociations = true;
    bool scanClassIds = true;
    bool reportRemovableMedia = true;
};

// The settings the file tools keep in memory while the program runs.
struct FileToolSettings {
    DWORD driveMask = 0;                      // bit n: drive 'A' + n is scanned
    std::vector<std::string> excludedFolders; // folders the walkers skip
    std::string junkEndings;                  // "ending" + "E"/"D", comma separated
    std::string duplicateEndings;
    bool cleanTempFolder = true;
    bool findZeroLength = false;
    bool matchSize = true;
    bool matchName = true;
    bool matchTime = false;
    bool matchContents = true;
    int onlyListedTypes = 1;
    RegScanOptions regScan;
    // What the user chose never to see listed again (stored; loaded when the main window opens).
    KeepList keep;
};

// "%lu KB" below one megabyte, "%lu MB" from there, rounded up.
std::string FormatSize(uint64_t bytes);

class CCancelDialog;

class CWrenlyView : public CWindowImpl, public IResultList {
public:
    CWrenlyView();
    ~CWrenlyView() override;

    // Creates the list control as a child of `parent` and gives it its look.
    bool CreateView(HWND parent, UINT id);

    int ListMode = kListNone;
    void SetListMode(int mode);

    FileToolSettings settings;
    CCancelDialog* activeCancelDialog = nullptr;
    // Duplicate finder: record positions of the listed files, in list order.
    std::vector<uint32_t> groupOffsets;
    // Duplicate finder: answers text requests of rows added with on-demand texts.
    std::function<std::string(int row, int column, DWORD data)> textProvider;
    // Called when the duplicate finder's in-memory records must be dropped (tool switch).
    std::function<void()> clearDuplicateRecords;

    // The widths the columns were inserted with. Columns inserted while the window is still
    // being created can come out with no width at all; the next resize gives them theirs.
    std::vector<int> columnWidths;

    HIMAGELIST RegistryImages() const { return registryImages_; }

    // The DPI the list is shown at (its window's when it is created): its pictures, its font and
    // its columns follow it; a change keeps the columns in proportion.
    void SetDpi(UINT dpi);
    UINT Dpi() const { return dpi_; }

    // IResultList
    int AddRow(const std::vector<std::string>& texts, int image, DWORD data) override;
    int Count() const override;
    std::string Text(int row, int column) const override;
    void SetText(int row, int column, const std::string& text) override;
    DWORD Data(int row) const override;
    bool IsSelected(int row) const override;
    bool IsChecked(int row) const override;
    void SetChecked(int row, bool checked) override;
    void DeleteRow(int row) override;
    void DeleteAll() override;

    // Appends a row whose texts are asked for on demand (duplicate finder).
    int AddCallbackRow(int columns, DWORD data);
    int ColumnCount() const;
    std::string ColumnTitle(int column) const;

    // Duplicates: unselects every selected row whose file lies in a folder the user keeps as a
    // reference; such files are originals and are never offered for deletion.
    void DeselectReferenceRows();
    bool IsReferenceRow(int row) const;

    // The tool tip of a row for a buffer of `capacity` characters.
    std::string BuildInfoTip(int row, int capacity) const;
    // The icon index of a row whose column 1 holds `text`.
    static int IconForText(const std::string& text);

private:
    LRESULT OnCustomDraw(NMHDR* h);
    LRESULT OnGetDispInfo(NMHDR* h);
    LRESULT OnGetInfoTip(NMHDR* h);
    LRESULT OnItemChanged(NMHDR* h);

    void MakeDpiResources();
    void UseImageLists();

    UINT dpi_ = 96;
    HIMAGELIST registryImages_ = nullptr;
    HIMAGELIST emptyImages_ = nullptr;
    LOGFONTA baseFont_ {};  // the list's own font, at the system DPI
    HFONT boldFont_ = nullptr;
};
