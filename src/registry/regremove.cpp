#include "registry/regremove.h"

#include "core/datafolder.h"
#include "core/reghelpers.h"
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

RemovalOutcome ExportOutcome(const UndoFile& undo) {
    switch (undo.refusal()) {
    case UndoRefusal::kNotWritable: return RemovalOutcome::kNotWritable;
    case UndoRefusal::kUnreadable: return RemovalOutcome::kUnreadable;
    default: return RemovalOutcome::kUndoNotWritten;
    }
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

bool RemoveRegFinding(UndoFile& undoFile, const IResultList& list, int row, RemovalOutcome* outcome) {
    RemovalOutcome local;
    RemovalOutcome& result = outcome ? *outcome : local;
    result = RemovalOutcome::kRemoved;
    DWORD flags = list.Data(row);
    HKEY root = RegRootFromFlags(flags);
    if (!root) return true;
    if (flags & kRegNotRemovable) {
        result = RemovalOutcome::kNotRemovable;
        return false;
    }
    std::string keyPath = list.Text(row, kRegColSubKey);
    LONG rc = ERROR_SUCCESS;
    if (flags & kRegDeleteKey) {
        // A root itself is never deleted (and would not be put whole into the undo file).
        if (keyPath.empty()) return true;
        if (!undoFile.ExportKey(root, keyPath)) result = ExportOutcome(undoFile);
        else rc = DeleteRegKeyTree(root, keyPath);
    } else if (flags & kRegDeleteValue) {
        std::string valueName = list.Text(row, kRegColValueName);
        if (!undoFile.ExportValue(root, keyPath, valueName)) result = ExportOutcome(undoFile);
        else rc = DeleteRegValue(root, keyPath, valueName);
    }
    if (result != RemovalOutcome::kRemoved) return false;
    // Gone already (with its parent, or by another program) is as good as removed.
    if (rc == ERROR_SUCCESS || rc == ERROR_FILE_NOT_FOUND) return true;
    result = rc == ERROR_ACCESS_DENIED ? RemovalOutcome::kAccessDenied : RemovalOutcome::kDeleteFailed;
    return false;
}

std::string RemovalSummary::KeptText() const {
    std::string text;
    auto line = [&text](int n, const char* why) {
        if (n > 0) text += Format("%d item(s) %s\n", n, why);
    };
    line(accessDenied, "could not be removed: access was denied (they belong to the system or to an administrator).");
    line(deleteFailed, "could not be removed.");
    line(notWritable, "were kept: a name holds a line break, or text data does not end where the registry editor "
                      "ends it, so no undo file could give them back exactly.");
    line(unreadable, "were kept: they could not be read completely for the undo file.");
    line(notRemovable, "were kept: their names cannot be used on this system (characters outside its code page).");
    if (!text.empty()) text.pop_back();
    return text;
}

bool RemoveFindings(UndoFile& undoFile, IResultList& list, bool selectedOnly, RemovalSummary* summary) {
    RemovalSummary local;
    RemovalSummary& counts = summary ? *summary : local;
    for (int row = 0; row < list.Count();) {
        if (selectedOnly && !list.IsSelected(row)) {
            ++row;
            continue;
        }
        RemovalOutcome outcome;
        if (RemoveRegFinding(undoFile, list, row, &outcome)) {
            ++counts.removed;
            list.DeleteRow(row);
            continue;
        }
        switch (outcome) {
        case RemovalOutcome::kUndoNotWritten: return false;
        case RemovalOutcome::kNotWritable: ++counts.notWritable; break;
        case RemovalOutcome::kUnreadable: ++counts.unreadable; break;
        case RemovalOutcome::kAccessDenied: ++counts.accessDenied; break;
        case RemovalOutcome::kNotRemovable: ++counts.notRemovable; break;
        default: ++counts.deleteFailed; break;
        }
        ++row;
    }
    return true;
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
    RemovalSummary summary;
    bool complete = RemoveFindings(undo, list, true, &summary);
    undo.close();
    if (!complete) ReportUndoFailure(undo.path(), true);
    else if (summary.Kept() > 0) MessageBoxText(summary.KeptText(), MB_OK | MB_ICONEXCLAMATION);
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
    RemovalSummary summary;
    bool complete = RemoveFindings(undo, list, false, &summary);
    undo.close();
    if (!complete) {
        ReportUndoFailure(undo.path(), true);
        return;
    }
    const std::string kSaved = UndoSavedText(undoFolder);
    if (summary.Kept() == 0) MessageBoxText(kSaved, MB_OK);
    else if (summary.removed == 0) MessageBoxText(summary.KeptText(), MB_OK | MB_ICONEXCLAMATION);
    else MessageBoxText(kSaved + "\n\n" + summary.KeptText(), MB_OK | MB_ICONEXCLAMATION);
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
