// The six pages of the Options sheet. Each reads its values when it is first shown and
// commits them on the sheet's OK; a page never shown commits nothing.
#pragma once

#include "core/view.h"
#include "framework/propsheet.h"
#include "options/pagelist.h"

#include <functional>
#include <string>
#include <vector>

// Help context of every "Help" button on the pages.
constexpr int kOptionsHelpTopic = 32;

// The fixed drives the "Drives" page lists, in letter order.
struct DriveRow {
    std::string text;   // "Label (C:)", or "C:" when no label can be read
    std::string root;   // "C:\\"
    DWORD bit = 0;      // 1 << (letter - 'A')
};
std::vector<DriveRow> ListFixedDrives();

// An undo file as the "RegClean" page lists it.
struct UndoFileRow {
    std::string name;  // the file's name, the row's text
    std::string path;  // where it lies, for the registry editor or Notepad
    FILETIME written {};
};
// The undo files in `folders`: every entry that is not a directory and whose name ends in
// ".reg" (without regard to case), the last written first.
std::vector<UndoFileRow> ListUndoFiles(const std::vector<std::string>& folders);

// The values of the "Exclude" section in the order the registry enumerates them: the folder
// and whether it is checked (excluded).
struct ExcludeRow {
    std::string folder;
    bool checked = false;
};
std::vector<ExcludeRow> ReadExcludeSection();

// "Drives" (index 0): `driveMask`.
class COptionsPage2 : public CPropertyPage {
public:
    explicit COptionsPage2(FileToolSettings& settings);
    CPageList list;

protected:
    BOOL OnInitDialog() override;
    void OnOK() override;

private:
    FileToolSettings& settings_;
};

// "Unneeded Files" (index 1): `junkEndings`, `cleanTempFolder`, `findZeroLength`.
class COptionsPage1 : public CPropertyPage {
public:
    explicit COptionsPage1(FileToolSettings& settings);
    CEndingList list;

protected:
    void DoDataExchange(CDataExchange& dx) override;
    BOOL OnInitDialog() override;
    void OnOK() override;

private:
    void OnAdd();
    void OnRemove();
    void UpdateButtons();
    FileToolSettings& settings_;
    bool cleanTemp_ = true;
    bool zeroLength_ = false;
};

// "Exclude" (index 2): the "Exclude" section of the settings store.
class COptionsPage3 : public CPropertyPage {
public:
    explicit COptionsPage3(FileToolSettings& settings);
    CPageList list;

    // Runs the folder browser; answers the folder chosen, empty when none.
    std::string BrowseForFolder();

protected:
    BOOL OnInitDialog() override;
    void OnOK() override;

private:
    void OnAdd();
    void OnRemove();
    void UpdateButtons();
    FileToolSettings& settings_;
    std::vector<std::string> removed_;
};

// "RegClean" (index 3): `RegScanOptions`; lists the undo files of `undoFolders`.
class COptionsPage4 : public CPropertyPage {
public:
    explicit COptionsPage4(FileToolSettings& settings);
    CPageList list;
    // Where undo files may be: the program's folder and the local data folder, for a copy that
    // has run from folders it could and could not write.
    std::vector<std::string> undoFolders;

protected:
    void DoDataExchange(CDataExchange& dx) override;
    BOOL OnInitDialog() override;
    void OnOK() override;

private:
    void OnOpenWith(const char* program);
    void OnAdvanced();
    void UpdateButtons();
    FileToolSettings& settings_;
    RegScanOptions options_;
    // The listed files' paths, by row data.
    std::vector<std::string> undoPaths_;
};

// "Duplicates" (index 4): the match criteria, `onlyListedTypes` and `duplicateEndings`.
class COptionsPage6 : public CPropertyPage {
public:
    explicit COptionsPage6(FileToolSettings& settings);
    CEndingList list;

protected:
    void DoDataExchange(CDataExchange& dx) override;
    BOOL OnInitDialog() override;
    void OnOK() override;

private:
    void OnScanChoice(bool listed);
    void OnAdd();
    void OnRemove();
    void UpdateControls();
    FileToolSettings& settings_;
    bool size_ = true, name_ = true, time_ = false, contents_ = true;
    bool listedOnly_ = true;
};

// "General" (index 5): "StartUpTip", `taskNotify`, `playSound`.
class COptionsPage7 : public CPropertyPage {
public:
    COptionsPage7(bool& taskNotify, bool& playSound);

protected:
    void DoDataExchange(CDataExchange& dx) override;
    BOOL OnInitDialog() override;
    void OnOK() override;

private:
    bool& taskNotify_;
    bool& playSound_;
    bool showTips_ = true;
    bool notify_ = true;
    bool sound_ = true;
};
