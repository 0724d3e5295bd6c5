#include "files/recycle.h"

#include "app/view.h"
#include "framework/prompter.h"
#include "framework/strings.h"
#include "resource.h"

#include <cstdlib>
#include <cstring>
#include <vector>

namespace {
ShellFileOperationFn g_shellFileOperation = nullptr;

int WINAPI CallShell(SHFILEOPSTRUCTA* request) {
    return g_shellFileOperation ? g_shellFileOperation(request) : ::SHFileOperationA(request);
}

// An empty list as the shell wants it.
char g_emptyList[2] = {0, 0};
}  // namespace

ShellFileOperationFn SetShellFileOperationFunction(ShellFileOperationFn fn) {
    ShellFileOperationFn previous = g_shellFileOperation;
    g_shellFileOperation = fn;
    return previous;
}

ShellFileOperation::ShellFileOperation() = default;

ShellFileOperation::~ShellFileOperation() {
    std::free(source_.data);
    std::free(dest_.data);
    std::free(progressTitle_);
}

bool ShellFileOperation::Grow(PathList& l, DWORD capacity) {
    bool fresh = l.data == nullptr;
    char* p = static_cast<char*>(std::realloc(l.data, capacity));
    if (!p) return false;
    l.data = p;
    l.capacity = capacity;
    if (fresh) {
        l.used = 0;
        l.data[0] = '\0';
    }
    return true;
}

bool ShellFileOperation::reserve(int which, DWORD n) {
    PathList& l = which == kSource ? source_ : dest_;
    DWORD capacity = n + 1;
    if (capacity < l.used + 1) capacity = l.used + 1;  // never below what is written
    return Grow(l, capacity);
}

bool ShellFileOperation::addPath(int which, const std::string& path) {
    PathList& l = which == kSource ? source_ : dest_;
    DWORD length = static_cast<DWORD>(path.size());
    DWORD needed = l.used + length + 1 + 1;
    if (needed > l.capacity && !Grow(l, needed)) return false;
    std::memcpy(l.data + l.used, path.c_str(), length + 1);
    l.used += length + 1;
    l.data[l.used] = '\0';
    return true;
}

void ShellFileOperation::setProgressTitle(const std::string& text) {
    std::free(progressTitle_);
    progressTitle_ = nullptr;
    if (!text.empty()) {
        progressTitle_ = static_cast<char*>(std::malloc(text.size() + 1));
        if (progressTitle_) std::memcpy(progressTitle_, text.c_str(), text.size() + 1);
    }
    request_.lpszProgressTitle = progressTitle_;
}

void ShellFileOperation::setProgressTitle(UINT stringId) { setProgressTitle(LoadStr(stringId)); }

int ShellFileOperation::run(UINT function) {
    request_.fAnyOperationsAborted = FALSE;
    request_.wFunc = function;
    request_.pFrom = source_.data ? source_.data : g_emptyList;
    request_.pTo = dest_.data;
    return CallShell(&request_);
}

int RecycleOneFile(const std::string& path) {
    // Nothing to recycle; the shell would only ask whether to destroy what is not there.
    if (::GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES) return 0;
    ShellFileOperation op;
    op.setFlags(FOF_ALLOWUNDO | FOF_NOCONFIRMATION | FOF_WANTNUKEWARNING);
    op.addPath(ShellFileOperation::kSource, path);
    int rc = op.remove();
    return (rc == 0 && !op.anyAborted()) ? 1 : 0;
}

int DeleteSelectedFiles(IResultList& list, IStatusSink& status, int listMode) {
    std::vector<int> selected;
    for (int row = 0, n = list.Count(); row < n; ++row)
        if (list.IsSelected(row)) selected.push_back(row);
    if (selected.empty()) {
        status.ShowNotifierText(LoadStr(IDS_SELECT_ITEMS));
        return 0;
    }
    if (listMode == kListDuplicates) status.ShowNotifierText(LoadStr(IDS_DUPLICATE_DELETE_WARNING));

    bool shortcuts = listMode == kListInvalidShortcuts;
    const char* question = shortcuts ? "Send all selected shortcut(s) to the RecycleBin ?"
                                     : "Send all selected file(s) to the RecycleBin? ";
    if (MessageBoxText(question, MB_YESNO | MB_ICONQUESTION) == IDNO) return 0;

    std::vector<int> recycled;
    for (int row : selected) {
        std::string path = list.Text(row, 1);
        status.SetStatusText("Deleting " + path + " to the Recycle Bin", 0);
        if (RecycleOneFile(path)) recycled.push_back(row);
        status.SetStatusText("", 0);
    }
    // From the bottom up, so the rows still to go keep their places.
    for (auto it = recycled.rbegin(); it != recycled.rend(); ++it) list.DeleteRow(*it);

    int failed = static_cast<int>(selected.size() - recycled.size());
    if (failed > 0) {
        const char* what = shortcuts ? "shortcut(s)" : "file(s)";
        MessageBoxText(Format("%d %s could not be moved to the RecycleBin and stay in the list.", failed, what),
                       MB_OK | MB_ICONEXCLAMATION);
    }
    return failed;
}

bool DeleteAllFiles(IResultList& list, IStatusSink& status) {
    int rows = list.Count();
    if (rows == 0) {
        status.ShowNotifierText(LoadStr(IDS_LIST_EMPTY));
        return false;
    }
    status.SetStatusText("Please Wait...", 0);
    ShellFileOperation op;
    op.setFlags(FOF_ALLOWUNDO);
    std::vector<std::string> paths;
    paths.reserve(rows);
    DWORD total = 0;
    for (int row = 0; row < rows; ++row) {
        paths.push_back(list.Text(row, 1));
        total += static_cast<DWORD>(paths.back().size() + 1);
    }
    op.reserve(ShellFileOperation::kSource, total);
    // An empty path would end the list early and hide the paths after it.
    for (const std::string& p : paths)
        if (!p.empty()) op.addPath(ShellFileOperation::kSource, p);
    int rc = op.remove();
    list.DeleteAll();
    status.SetStatusText("", 0);
    return rc == 0 && !op.anyAborted();
}
