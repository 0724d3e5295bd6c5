// The Options sheet: six pages that edit the drives, endings, excluded folders, registry scan
// switches, duplicate criteria and general settings.
#pragma once

#include "core/view.h"
#include "framework/propsheet.h"
#include "options/keeppage.h"
#include "options/optionspages.h"

#include <functional>

// Page indexes, in tab order.
enum OptionsPageIndex {
    kPageDrives = 0,
    kPageUnneededFiles = 1,
    kPageExclude = 2,
    kPageRegClean = 3,
    kPageDuplicates = 4,
    kPageGeneral = 5,
    kPageKeepList = 6,
};

class COptionsSheet : public CPropertySheet {
public:
    COptionsSheet(FileToolSettings& settings, bool& taskNotify, bool& playSound, int startPage);

    COptionsPage2 drives;
    COptionsPage1 junk;
    COptionsPage3 exclude;
    COptionsPage4 regClean;
    COptionsPage6 duplicates;
    COptionsPage7 general;
    CKeepListPage keepList;

    // Runs once the sheet window exists, before any page is shown (tests drive the sheet
    // from here).
    static std::function<void(COptionsSheet&)> onCreated;
};

// The "Options" sheet on page `page`, modal over the main window. IDOK or IDCANCEL.
// `startupExists` tells the "Keep List" page whether a kept startup entry is still anywhere.
INT_PTR OpenOptionsSheet(int page, FileToolSettings& settings, bool& taskNotify, bool& playSound,
                         std::function<bool(const KeptItem&)> startupExists = {});
