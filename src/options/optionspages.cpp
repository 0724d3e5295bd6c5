#include "options/optionspages.h"

#include "core/datafolder.h"
#include "core/help.h"
#include "core/reghelpers.h"
#include "core/codepage.h"
#include "duplicates/dupendings.h"
#include "files/junk.h"
#include "files/walker.h"
#include "framework/prompter.h"
#include "framework/settings.h"
#include "framework/strings.h"
#include "options/addextdlg.h"
#include "resource.h"

#include <shellapi.h>
#include <shlobj.h>

#include <algorithm>

namespace {

const char kScanAllWarning[] =
    "You have chosen to scan all files; this could take several minutes.\nTo speed up, please select only some "
    "drives(2 or 3) to scan, from the 'Drives' tab";

bool EndsWithNoCase(const std::string& s, const char* tail) {
    size_t n = std::char_traits<char>::length(tail);
    return s.size() >= n && SameText(s.substr(s.size() - n), tail);
}

std::string WindowsFolder() {
    char buf[MAX_PATH] = {};
    UINT n = ::GetWindowsDirectoryA(buf, MAX_PATH);
    std::string s = (n > 0 && n < MAX_PATH) ? std::string(buf, n) : std::string();
    while (!s.empty() && s.back() == '\\') s.pop_back();
    return s;
}

bool RowSelectionChanged(NMHDR* h) {
    auto* lv = reinterpret_cast<NMLISTVIEW*>(h);
    return (lv->uChanged & LVIF_STATE) && ((lv->uOldState ^ lv->uNewState) & LVIS_SELECTED);
}

// Runs "Add Extension" over `owner` and appends what it gives to `list`.
void AddEndingTo(CEndingList& list, HWND owner) {
    CAddExtensionDlg dlg;
    if (dlg.DoModal(owner) == IDOK) list.AddEnding(dlg.endingText);
}

}  // namespace

std::vector<DriveRow> ListFixedDrives() {
    std::vector<DriveRow> rows;
    DWORD present = ::GetLogicalDrives();
    for (int i = 0; i < 26; ++i) {
        if (!(present & (1u << i))) continue;
        std::string letter = std::string(1, static_cast<char>('A' + i)) + ":";
        if (::GetDriveTypeA((letter + "\\").c_str()) != DRIVE_FIXED) continue;
        // The longest label the system allows, in UTF-8 up to three bytes a character.
        char label[(MAX_PATH + 1) * 3] = {};
        DriveRow row;
        row.bit = 1u << i;
        row.root = letter + "\\";
        if (::GetVolumeInformationA((letter + "\\").c_str(), label, sizeof label, nullptr, nullptr, nullptr, nullptr,
                                    0))
            row.text = std::string(label) + " (" + letter + ")";
        else
            row.text = letter;
        rows.push_back(row);
    }
    return rows;
}

std::vector<UndoFileRow> ListUndoFiles(const std::vector<std::string>& folders) {
    std::vector<UndoFileRow> rows;
    for (const std::string& folder : folders) {
        WIN32_FIND_DATAA fd {};
        HANDLE find = ::FindFirstFileA((folder + "\\*.*").c_str(), &fd);
        if (find == INVALID_HANDLE_VALUE) continue;
        do {
            if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
            if (EndsWithNoCase(fd.cFileName, ".reg"))
                rows.push_back({fd.cFileName, folder + "\\" + fd.cFileName, fd.ftLastWriteTime});
        } while (::FindNextFileA(find, &fd));
        ::FindClose(find);
    }
    // The clean-up just made, the one a user most likely wants to take back, comes first.
    std::stable_sort(rows.begin(), rows.end(), [](const UndoFileRow& a, const UndoFileRow& b) {
        return ::CompareFileTime(&a.written, &b.written) > 0;
    });
    return rows;
}

std::vector<ExcludeRow> ReadExcludeSection() {
    std::vector<ExcludeRow> rows;
    HKEY key = nullptr;
    if (::RegOpenKeyExA(HKEY_CURRENT_USER, ExcludeKeyPath().c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return rows;
    std::vector<char> name(kLongestValueNameBytes);
    for (DWORD index = 0;; ++index) {
        DWORD nameLength = static_cast<DWORD>(name.size());
        BYTE data[4] = {};
        DWORD dataSize = sizeof data;
        LONG rc = ::RegEnumValueA(key, index, name.data(), &nameLength, nullptr, nullptr, data, &dataSize);
        if (rc == ERROR_NO_MORE_ITEMS) break;
        // Values that are not a folder's 4-byte flag are none of ours.
        if (rc != ERROR_SUCCESS || dataSize != sizeof data) continue;
        rows.push_back({std::string(name.data(), nameLength), data[0] || data[1] || data[2] || data[3]});
    }
    ::RegCloseKey(key);
    return rows;
}

// ---------------------------------------------------------------------------------------------
// "Drives"

COptionsPage2::COptionsPage2(FileToolSettings& settings) : CPropertyPage(IDD_OPTIONS_DRIVES), settings_(settings) {}

BOOL COptionsPage2::OnInitDialog() {
    list.Attach(Item(IDC_DRIVE_LIST));
    list.Setup(true);
    RECT rc {};
    ::GetClientRect(list.Window(), &rc);
    list.AddColumn("", rc.right - rc.left);
    for (const DriveRow& d : ListFixedDrives())
        list.AddRow(d.text, ShellIconOfPath(d.root), (settings_.driveMask & d.bit) != 0, static_cast<LPARAM>(d.bit));
    return TRUE;
}

void COptionsPage2::OnOK() {
    DWORD mask = 0;
    for (int row = 0, n = list.Count(); row < n; ++row)
        if (list.IsNotCleared(row)) mask |= static_cast<DWORD>(list.Data(row));
    settings_.driveMask = mask;
}

// ---------------------------------------------------------------------------------------------
// "Unneeded Files"

COptionsPage1::COptionsPage1(FileToolSettings& settings) : CPropertyPage(IDD_OPTIONS_JUNK), settings_(settings) {
    OnCommand(IDC_JUNK_ADD, [this] { OnAdd(); });
    OnCommand(IDC_JUNK_REMOVE, [this] { OnRemove(); });
    OnCommand(IDC_JUNK_HELP, [] { OpenHelpTopic(kOptionsHelpTopic); });
    OnNotify(IDC_JUNK_LIST, LVN_GETDISPINFOA, [this](NMHDR* h) { return list.OnGetDispInfo(h); });
    OnNotify(IDC_JUNK_LIST, LVN_ITEMCHANGED, [this](NMHDR* h) {
        if (RowSelectionChanged(h)) {
            list.SizeColumn(0, LVSCW_AUTOSIZE);
            list.SizeColumn(1, LVSCW_AUTOSIZE_USEHEADER);
        }
        UpdateButtons();
        return LRESULT(0);
    });
}

void COptionsPage1::DoDataExchange(CDataExchange& dx) {
    dx.Check(IDC_CLEAN_TEMP, cleanTemp_);
    dx.Check(IDC_ZERO_LENGTH, zeroLength_);
}

BOOL COptionsPage1::OnInitDialog() {
    list.Attach(Item(IDC_JUNK_LIST));
    list.Setup(50, 50);
    list.Fill(ParseJunkEndings(settings_.junkEndings));
    cleanTemp_ = settings_.cleanTempFolder;
    zeroLength_ = settings_.findZeroLength;
    UpdateData(false);
    UpdateButtons();
    return TRUE;
}

void COptionsPage1::OnOK() {
    UpdateData(true);
    settings_.cleanTempFolder = cleanTemp_;
    settings_.findZeroLength = zeroLength_;
    WriteSettingString("Settings", "JunkExt", JunkEndingsText(list.Endings()));
    LoadJunkEndings(settings_);
}

void COptionsPage1::OnAdd() { AddEndingTo(list, ::GetParent(m_hWnd)); }

void COptionsPage1::OnRemove() {
    list.DeleteSelected();
    UpdateButtons();
}

void COptionsPage1::UpdateButtons() { CWindow(Item(IDC_JUNK_REMOVE)).Enable(list.HasSelection()); }

// ---------------------------------------------------------------------------------------------
// "Exclude"

COptionsPage3::COptionsPage3(FileToolSettings& settings) : CPropertyPage(IDD_OPTIONS_EXCLUDE), settings_(settings) {
    OnCommand(IDC_EXCLUDE_ADD, [this] { OnAdd(); });
    OnCommand(IDC_EXCLUDE_REMOVE, [this] { OnRemove(); });
    OnCommand(IDC_EXCLUDE_HELP, [] { OpenHelpTopic(kOptionsHelpTopic); });
    OnNotify(IDC_EXCLUDE_LIST, LVN_GETDISPINFOA, [this](NMHDR* h) {
        auto* di = reinterpret_cast<NMLVDISPINFOA*>(h);
        if ((di->item.mask & LVIF_IMAGE) && di->item.iSubItem == 0) {
            di->item.iImage = ShellIconOfPath(list.Text(di->item.iItem));
            di->item.mask |= LVIF_DI_SETITEM;
        }
        return LRESULT(0);
    });
    OnNotify(IDC_EXCLUDE_LIST, LVN_ITEMCHANGED, [this](NMHDR*) {
        UpdateButtons();
        return LRESULT(0);
    });
}

BOOL COptionsPage3::OnInitDialog() {
    list.Attach(Item(IDC_EXCLUDE_LIST));
    list.Setup(true);
    list.AddColumn("", list.Scaled(100));
    for (const ExcludeRow& r : ReadExcludeSection()) list.AddRow(r.folder, -1, r.checked);
    list.SizeColumn(0, LVSCW_AUTOSIZE);
    UpdateButtons();
    return TRUE;
}

std::string COptionsPage3::BrowseForFolder() {
    // Wide throughout: the byte forms would cut a long UTF-8 path at MAX_PATH bytes.
    BROWSEINFOW bi {};
    WCHAR display[MAX_PATH] = {};
    bi.hwndOwner = ::GetParent(m_hWnd);
    bi.pszDisplayName = display;
    bi.ulFlags = BIF_RETURNONLYFSDIRS | BIF_DONTGOBELOWDOMAIN;
    LPITEMIDLIST pidl = ::SHBrowseForFolderW(&bi);
    if (!pidl) return std::string();
    WCHAR path[MAX_PATH] = {};
    BOOL ok = ::SHGetPathFromIDListW(pidl, path);
    ::CoTaskMemFree(pidl);
    if (!ok) return std::string();
    // The walk names such a folder by its short form, so the entry is stored in that form.
    std::string folder;
    if (NarrowPath(path, folder)) return folder;
    MessageBoxText("The name of " + folder +
                       " has no form in this Windows's code page, and the folder has no short name; it cannot be "
                       "listed here.",
                   MB_OK | MB_ICONEXCLAMATION);
    return std::string();
}

void COptionsPage3::OnAdd() {
    std::string folder = BrowseForFolder();
    // Stored without a trailing backslash, as the walk names folders ("C:\" is kept as "C:",
    // the name the walk gives a drive's root), so that the entry can match.
    while (!folder.empty() && folder.back() == '\\') folder.pop_back();
    if (folder.empty()) return;
    list.AddRow(folder, -1, true);
    list.SizeColumn(0, LVSCW_AUTOSIZE);
}

void COptionsPage3::OnRemove() {
    for (std::string& gone : list.DeleteSelected()) removed_.push_back(gone);
    UpdateButtons();
}

void COptionsPage3::UpdateButtons() { CWindow(Item(IDC_EXCLUDE_REMOVE)).Enable(list.HasSelection()); }

void COptionsPage3::OnOK() {
    std::vector<std::string> kept;
    for (int row = 0, n = list.Count(); row < n; ++row) {
        std::string folder = list.Text(row);
        kept.push_back(folder);
        WriteSettingInt("Exclude", ToUpper(folder).c_str(), list.IsChecked(row) ? 1 : 0);
    }
    // A folder removed from the page leaves the section, unless another row still names it.
    for (const std::string& gone : removed_) {
        bool stillListed = false;
        for (const std::string& k : kept)
            if (SameText(k, gone)) stillListed = true;
        if (!stillListed) DeleteRegValue(HKEY_CURRENT_USER, ExcludeKeyPath(), gone);
    }
    removed_.clear();
    LoadExcludedFolders(settings_.excludedFolders);
}

// ---------------------------------------------------------------------------------------------
// "RegClean"

COptionsPage4::COptionsPage4(FileToolSettings& settings)
    : CPropertyPage(IDD_OPTIONS_REGCLEAN), undoFolders(DataFolders()), settings_(settings) {
    OnCommand(IDC_UNDO, [this] { OnOpenWith("regedit.exe"); });
    OnCommand(IDC_VIEW_UNDO, [this] { OnOpenWith("notepad.exe"); });
    OnCommand(IDC_ADVANCED, [this] { OnAdvanced(); });
    OnNotify(IDC_UNDO_LIST, LVN_ITEMCHANGED, [this](NMHDR*) {
        UpdateButtons();
        return LRESULT(0);
    });
}

void COptionsPage4::DoDataExchange(CDataExchange& dx) {
    dx.Check(IDC_REMOVABLE_MEDIA, options_.reportRemovableMedia);
    dx.Check(IDC_SCAN_USER_HIVES, options_.scanUserHives);
    dx.Check(IDC_SCAN_MACHINE_HIVE, options_.scanMachineHive);
    dx.Check(IDC_SCAN_FILE_ASSOC, options_.scanFileAssociations);
    dx.Check(IDC_SCAN_CLASS_IDS, options_.scanClassIds);
}

BOOL COptionsPage4::OnInitDialog() {
    list.Attach(Item(IDC_UNDO_LIST));
    list.Setup(false);
    list.AddColumn("", list.Scaled(150));
    SHFILEINFOA sfi {};
    int icon = ::SHGetFileInfoA(".reg", FILE_ATTRIBUTE_NORMAL, &sfi, sizeof sfi,
                                SHGFI_USEFILEATTRIBUTES | SHGFI_SYSICONINDEX)
                   ? sfi.iIcon
                   : 0;
    undoPaths_.clear();
    for (const UndoFileRow& file : ListUndoFiles(undoFolders)) {
        list.AddRow(file.name, icon, false, static_cast<LPARAM>(undoPaths_.size()));
        undoPaths_.push_back(file.path);
    }
    options_ = settings_.regScan;
    UpdateData(false);
    UpdateButtons();
    return TRUE;
}

void COptionsPage4::OnOK() {
    UpdateData(true);
    settings_.regScan = options_;
}

void COptionsPage4::OnOpenWith(const char* program) {
    int row = list.FirstSelected();
    if (row < 0) return;
    LPARAM index = list.Data(row);
    if (index < 0 || static_cast<size_t>(index) >= undoPaths_.size()) return;
    const std::string& file = undoPaths_[index];
    char shortPath[MAX_PATH] = {};
    DWORD n = ::GetShortPathNameA(file.c_str(), shortPath, MAX_PATH);
    // Without a short form the whole path goes in quotes, so that blanks in it survive.
    std::string parameters = (n > 0 && n < MAX_PATH) ? std::string(shortPath, n) : "\"" + file + "\"";
    std::string exe = WindowsFolder() + "\\" + program;
    ::ShellExecuteA(m_hWnd, "open", exe.c_str(), parameters.c_str(), nullptr, SW_SHOWNORMAL);
    UpdateButtons();
}

void COptionsPage4::OnAdvanced() {
    for (int id : {IDC_SCAN_FOR_GROUP, IDC_SCAN_USER_HIVES, IDC_SCAN_MACHINE_HIVE, IDC_SCAN_FILE_ASSOC,
                   IDC_SCAN_CLASS_IDS})
        ::ShowWindow(Item(id), SW_SHOW);
    ::ShowWindow(Item(IDC_ADVANCED), SW_HIDE);
}

void COptionsPage4::UpdateButtons() {
    bool selected = list.HasSelection();
    CWindow(Item(IDC_UNDO)).Enable(selected);
    CWindow(Item(IDC_VIEW_UNDO)).Enable(selected);
}

// ---------------------------------------------------------------------------------------------
// "Duplicates"

COptionsPage6::COptionsPage6(FileToolSettings& settings)
    : CPropertyPage(IDD_OPTIONS_DUPLICATES), settings_(settings) {
    OnCommand(IDC_SAME_SIZE, [this] { ::CheckDlgButton(m_hWnd, IDC_SAME_SIZE, BST_CHECKED); });
    OnCommand(IDC_SCAN_LISTED, [this] { OnScanChoice(true); });
    OnCommand(IDC_SCAN_ALL, [this] { OnScanChoice(false); });
    OnCommand(IDC_DUP_ADD, [this] { OnAdd(); });
    OnCommand(IDC_DUP_REMOVE, [this] { OnRemove(); });
    OnCommand(IDC_DUP_HELP, [] { OpenHelpTopic(kOptionsHelpTopic); });
    OnNotify(IDC_DUP_LIST, LVN_GETDISPINFOA, [this](NMHDR* h) { return list.OnGetDispInfo(h); });
    OnNotify(IDC_DUP_LIST, LVN_ITEMCHANGED, [this](NMHDR*) {
        for (int c = 0, n = list.ColumnCount(); c < n; ++c) list.SizeColumn(c, LVSCW_AUTOSIZE);
        UpdateControls();
        return LRESULT(0);
    });
}

void COptionsPage6::DoDataExchange(CDataExchange& dx) {
    dx.Check(IDC_SAME_SIZE, size_);
    dx.Check(IDC_SAME_NAME, name_);
    dx.Check(IDC_SAME_TIME, time_);
    dx.Check(IDC_SAME_CONTENTS, contents_);
    if (dx.Saving()) {
        listedOnly_ = ::IsDlgButtonChecked(m_hWnd, IDC_SCAN_LISTED) == BST_CHECKED;
    } else {
        ::CheckRadioButton(m_hWnd, IDC_SCAN_LISTED, IDC_SCAN_ALL, listedOnly_ ? IDC_SCAN_LISTED : IDC_SCAN_ALL);
    }
}

BOOL COptionsPage6::OnInitDialog() {
    list.Attach(Item(IDC_DUP_LIST));
    list.Setup(30, 100);
    list.Fill(DuplicateEndingRows(settings_.duplicateEndings));
    // The size is always compared; the box only shows it.
    size_ = true;
    name_ = settings_.matchName;
    time_ = settings_.matchTime;
    contents_ = settings_.matchContents;
    listedOnly_ = settings_.onlyListedTypes > 0;
    UpdateData(false);
    UpdateControls();
    return TRUE;
}

void COptionsPage6::OnScanChoice(bool listed) {
    bool wasListed = listedOnly_;
    listedOnly_ = ::IsDlgButtonChecked(m_hWnd, IDC_SCAN_LISTED) == BST_CHECKED;
    UpdateControls();
    // The warning comes with the change to all files, not with every click on the button.
    if (!listed && wasListed && !listedOnly_)
        Prompter().Ask(::GetParent(m_hWnd), kScanAllWarning, LoadStr(IDS_APP_TITLE), MB_OK);
}

void COptionsPage6::OnAdd() { AddEndingTo(list, ::GetParent(m_hWnd)); }

void COptionsPage6::OnRemove() {
    list.DeleteSelected();
    UpdateControls();
}

void COptionsPage6::UpdateControls() {
    bool listed = ::IsDlgButtonChecked(m_hWnd, IDC_SCAN_LISTED) == BST_CHECKED;
    CWindow(list.Window()).Enable(listed);
    CWindow(Item(IDC_DUP_ADD)).Enable(listed);
    CWindow(Item(IDC_DUP_REMOVE)).Enable(listed && list.HasSelection());
}

void COptionsPage6::OnOK() {
    UpdateData(true);
    settings_.matchSize = true;
    settings_.matchName = name_;
    settings_.matchTime = time_;
    settings_.matchContents = contents_;
    // Equal size alone is no evidence: at least the name is compared as well.
    if (!settings_.matchContents && !settings_.matchName && !settings_.matchTime) settings_.matchName = true;
    settings_.onlyListedTypes = listedOnly_ ? 1 : 0;
    WriteSettingString("Settings", "DupExt", JunkEndingsText(list.Endings()));
    LoadDuplicateEndings(settings_);
}

// ---------------------------------------------------------------------------------------------
// "General"

COptionsPage7::COptionsPage7(bool& taskNotify, bool& playSound)
    : CPropertyPage(IDD_OPTIONS_GENERAL), taskNotify_(taskNotify), playSound_(playSound) {}

void COptionsPage7::DoDataExchange(CDataExchange& dx) {
    dx.Check(IDC_SHOW_TIPS, showTips_);
    dx.Check(IDC_TASK_NOTIFY, notify_);
    dx.Check(IDC_PLAY_SOUND, sound_);
}

BOOL COptionsPage7::OnInitDialog() {
    showTips_ = ReadSettingInt("Settings", "StartUpTip", 0) <= 0;
    notify_ = taskNotify_;
    sound_ = playSound_;
    UpdateData(false);
    return TRUE;
}

void COptionsPage7::OnOK() {
    UpdateData(true);
    WriteSettingInt("Settings", "StartUpTip", showTips_ ? 0 : 1);
    WriteSettingInt("Settings", "tasknotify", notify_ ? 1 : 0);
    WriteSettingInt("Settings", "playsound", sound_ ? 1 : 0);
    taskNotify_ = notify_;
    playSound_ = sound_;
}
