#include "registry/regremove.h"

#include "app/datafolder.h"
#include "app/reghelpers.h"
#include "framework/prompter.h"
#include "framework/strings.h"
#include "registry/regscan.h"
#include "resource.h"

#include <shellapi.h>

namespace {

int FirstSelectedRow(const IResultList& list) {
    for (int row = 0, n = list.Count(); row < n; ++row)
        if (list.IsSelected(row)) return row;
    return -1;
}

void ReportUndoFailure(const std::string& path, bool opened) {
    MessageBoxText(Format("The undo file could not be written:\n%s\n%s", path.c_str(),
                          opened ? "The remaining item(s) have not been removed."
                                 : "Nothing has been removed."),
                   MB_OK | MB_ICONSTOP);
}

// Where the file went: the program's folder, or a folder the user would not look in unless told.
std::string UndoSavedText(const std::string& folder) {
    bool programs = ::CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, folder.c_str(), -1, ProgramFolder().c_str(),
                                     -1) == CSTR_EQUAL;
    return Format("Undo information has been saved in %s\ndouble-click on it to undo the changes made now",
                  programs ? "the program's folder" : folder.c_str());
}

bool OpenUndoFile(UndoFile& undo, const std::string& folder) {
    std::string path = folder + "\\" + MakeUndoFileName();
    if (undo.open(path)) return true;
    ReportUndoFailure(path, false);
    return false;
}

}  // namespace

std::string UndoFolder() { return DataFolder(); }

bool RemoveRegFinding(UndoFile& undoFile, const IResultList& list, int row) {
    DWORD flags = list.Data(row);
    HKEY root = RegRootFromFlags(flags);
    if (!root) return true;
    std::string keyPath = list.Text(row, kRegColSubKey);
    if (flags & kRegDeleteKey) {
        // A root itself is never deleted (and would not be put whole into the undo file).
        if (keyPath.empty()) return true;
        if (!undoFile.ExportKey(root, keyPath)) return false;
        DeleteRegKeyTree(root, keyPath);
    } else if (flags & kRegDeleteValue) {
        std::string valueName = list.Text(row, kRegColValueName);
        if (!undoFile.ExportValue(root, keyPath, valueName)) return false;
        DeleteRegValue(root, keyPath, valueName);
    }
    return true;
}

bool RemoveFindings(UndoFile& undoFile, IResultList& list, bool selectedOnly) {
    for (;;) {
        int row = selectedOnly ? FirstSelectedRow(list) : (list.Count() > 0 ? 0 : -1);
        if (row < 0) return true;
        if (!RemoveRegFinding(undoFile, list, row)) return false;
        list.DeleteRow(row);
    }
}

void RemoveSelectedEntries(IResultList& list, IStatusSink& status, const std::string& undoFolder) {
    if (FirstSelectedRow(list) < 0) {
        status.ShowNotifierText(LoadStr(IDS_SELECT_ITEMS));
        return;
    }
    if (MessageBoxText("Are you sure you want to remove the selected item(s)?", MB_YESNO | MB_ICONQUESTION) != IDYES)
        return;
    UndoFile undo;
    if (!OpenUndoFile(undo, undoFolder)) return;
    bool complete = RemoveFindings(undo, list, true);
    undo.close();
    if (!complete) ReportUndoFailure(undo.path(), true);
}

void RemoveAllEntries(IResultList& list, IStatusSink& status, const std::string& undoFolder) {
    if (list.Count() == 0) {
        status.ShowNotifierText(LoadStr(IDS_LIST_EMPTY));
        return;
    }
    status.ShowNotifierText(LoadStr(IDS_BACKUP_HINT));
    if (MessageBoxText("Are you sure you want to remove all the item(s)?", MB_YESNO | MB_ICONQUESTION) != IDYES)
        return;
    UndoFile undo;
    if (!OpenUndoFile(undo, undoFolder)) return;
    bool complete = RemoveFindings(undo, list, false);
    undo.close();
    if (!complete) {
        ReportUndoFailure(undo.path(), true);
        return;
    }
    MessageBoxText(UndoSavedText(undoFolder), MB_OK);
}

void BackupRegistry() {
    char windows[MAX_PATH] = {}, shortPath[MAX_PATH] = {};
    ::GetWindowsDirectoryA(windows, MAX_PATH);
    DWORD n = ::GetShortPathNameA(windows, shortPath, MAX_PATH);
    std::string program = (n > 0 && n < MAX_PATH ? shortPath : windows) + std::string("\\scanregw.exe");
    HINSTANCE rc = ::ShellExecuteA(nullptr, "open", program.c_str(), "/BACKUP", nullptr, SW_SHOWNORMAL);
    if (reinterpret_cast<INT_PTR>(rc) <= 32)
        MessageBoxText("Backup failed. Make sure scanregw.exe exists in your system\nThis may not be there if you have Windows NT/2K/XP",
                       MB_OK);
}
