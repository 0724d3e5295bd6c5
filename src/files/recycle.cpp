#include "files/recycle.h"

#include "core/view.h"
#include "framework/prompter.h"
#include "framework/strings.h"
#include "resource.h"

#include "core/codepage.h"

#include <shlobj.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <map>
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

namespace {

// A root's Recycle Bin, asked once per removal: on some systems the question reads the whole bin.
class CRecycleBins {
public:
    bool Has(const std::string& root) {
        auto it = known_.find(root);
        if (it != known_.end()) return it->second;
        bool has = false;
        // Removable, network and CD-ROM drives have no Recycle Bin: the shell would destroy.
        if (::GetDriveTypeA(root.c_str()) == DRIVE_FIXED) {
            SHQUERYRBINFO info {};
            info.cbSize = sizeof info;
            has = SUCCEEDED(::SHQueryRecycleBinA(root.c_str(), &info));
        }
        known_[root] = has;
        return has;
    }

private:
    std::map<std::string, bool> known_;
};

// kRecycled here means "ready to go".
RecycleOutcome CheckBeforeRecycling(const std::string& path, CRecycleBins& bins) {
    if (path.empty()) return kKeptNoPath;
    if (::GetFileAttributesA(path.c_str()) == INVALID_FILE_ATTRIBUTES) {
        DWORD error = ::GetLastError();
        if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return kNotThere;
        return error == ERROR_ACCESS_DENIED ? kKeptNoAccess : kKeptNotTaken;
    }
    bool driveLetter = path.size() >= 3 && path[1] == ':' && path[2] == '\\';
    if (!driveLetter || !bins.Has(path.substr(0, 3))) return kKeptNoRecycleBin;
    // Opened the way the move to the bin needs it, sharing everything: a file that another
    // program holds without letting it be moved fails here instead of inside the shell.
    HANDLE h = ::CreateFileA(path.c_str(), DELETE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                             OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        switch (::GetLastError()) {
        case ERROR_SHARING_VIOLATION:
        case ERROR_LOCK_VIOLATION: return kKeptInUse;
        case ERROR_ACCESS_DENIED: return kKeptNoAccess;
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND: return kNotThere;
        default: return kKeptNotTaken;
        }
    }
    ::CloseHandle(h);
    return kRecycled;
}

// The shell's file operation object, when it works here: it is a stub on Wine and missing
// before Vista. False leaves the paths to SHFileOperationA. `refused` counts the deletions the
// sink would not let happen.
bool RecycleWithFileOperation(const std::vector<std::string>& paths, int* refused = nullptr) {
    IFileOperation* op = nullptr;
    if (FAILED(::CoCreateInstance(CLSID_FileOperation, nullptr, CLSCTX_ALL, IID_IFileOperation,
                                  reinterpret_cast<void**>(&op))))
        return false;
    // No questions at all: the shell would otherwise offer to destroy a file too large for
    // the bin, and the sink refuses such a deletion anyway.
    const DWORD flags = FOF_ALLOWUNDO | FOFX_RECYCLEONDELETE | FOF_NOCONFIRMATION | FOF_NOERRORUI;
    CRecycleOnlySink sink;
    DWORD cookie = 0;
    bool works = SUCCEEDED(op->SetOperationFlags(flags)) && SUCCEEDED(op->Advise(&sink, &cookie));
    if (works && !paths.empty()) {
        bool queued = false;
        for (const std::string& path : paths) {
            IShellItem* item = nullptr;
            if (FAILED(::SHCreateItemFromParsingName(WideName(path).c_str(), nullptr, IID_IShellItem,
                                                     reinterpret_cast<void**>(&item))))
                continue;
            queued = SUCCEEDED(op->DeleteItem(item, nullptr)) || queued;
            item->Release();
        }
        if (queued) op->PerformOperations();
        op->Unadvise(cookie);
    }
    op->Release();
    if (refused) *refused = sink.refused;
    return works;
}

// Answers how many questions offering to destroy a file were refused.
int RecycleWithShell(const std::vector<std::string>& paths, bool shellAsks) {
    ShellFileOperation op;
    // FOF_WANTNUKEWARNING makes a shell that cannot recycle a file ask before destroying it
    // rather than destroy it in silence; the guard then refuses that question, so the file
    // stays. Only the one operation for many files has the shell's own question first.
    op.setFlags(shellAsks ? FOF_ALLOWUNDO | FOF_WANTNUKEWARNING
                          : FOF_ALLOWUNDO | FOF_NOCONFIRMATION | FOF_WANTNUKEWARNING | FOF_NOERRORUI);
    DWORD total = 0;
    for (const std::string& p : paths) total += static_cast<DWORD>(p.size() + 1);
    op.reserve(ShellFileOperation::kSource, total);
    for (const std::string& p : paths) op.addPath(ShellFileOperation::kSource, p);
    CShellQuestionGuard guard(shellAsks ? 1 : 0);
    op.remove();
    return guard.refused();
}

// How one operation went: the deletions refused because they would not have recycled, and
// whether the shell put its own question (which the user may have declined).
struct RecycleRun {
    int refused = 0;
    bool shellAsked = false;
};

RecycleRun Recycle(const std::vector<std::string>& paths, bool shellAsks) {
    RecycleRun run;
    if (RecycleWithFileOperation(paths, &run.refused)) return run;
    run.refused = RecycleWithShell(paths, shellAsks);
    run.shellAsked = shellAsks;
    return run;
}

bool StillThere(const std::string& path) { return ::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

thread_local CShellQuestionGuard* g_guard = nullptr;

bool IsDialogClass(LPCSTR name) {
    if (IS_INTRESOURCE(name)) return LOWORD(reinterpret_cast<ULONG_PTR>(name)) == 0x8002;  // WC_DIALOG
    return name && lstrcmpiA(name, "#32770") == 0;
}

}  // namespace

std::vector<RecycleOutcome> RecycleFiles(const std::vector<std::string>& paths, bool oneOperationPerFile,
                                         const std::function<void(const std::string&)>& beforeEach) {
    std::vector<RecycleOutcome> outcomes(paths.size());
    std::vector<size_t> ready;
    CRecycleBins bins;
    for (size_t i = 0; i < paths.size(); ++i) {
        outcomes[i] = CheckBeforeRecycling(paths[i], bins);
        if (outcomes[i] == kRecycled) ready.push_back(i);
    }
    // What the shell answered is not taken on trust: a file still in its place stayed.
    if (oneOperationPerFile) {
        for (size_t i : ready) {
            if (beforeEach) beforeEach(paths[i]);
            Recycle({paths[i]}, false);
            if (StillThere(paths[i])) outcomes[i] = kKeptNotTaken;
        }
    } else if (!ready.empty()) {
        std::vector<std::string> batch;
        for (size_t i : ready) batch.push_back(paths[i]);
        RecycleRun run = Recycle(batch, true);
        bool anyMoved = false;
        for (size_t i : ready) {
            if (StillThere(paths[i])) outcomes[i] = kKeptNotTaken;
            else anyMoved = true;
        }
        // Nothing moved and nothing refused after the shell's question: the user said No.
        if (run.shellAsked && !anyMoved && run.refused == 0)
            for (size_t i : ready) outcomes[i] = kKeptDeclined;
    }
    return outcomes;
}

bool ShellAsksBeforeRecycling() { return !RecycleWithFileOperation({}); }

int RecycleOneFile(const std::string& path) {
    return RecycleFiles({path}, true).front() == kRecycled ? 1 : 0;
}

HRESULT CRecycleOnlySink::QueryInterface(REFIID riid, void** object) {
    if (riid == IID_IUnknown || riid == IID_IFileOperationProgressSink) {
        *object = static_cast<IFileOperationProgressSink*>(this);
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

HRESULT CRecycleOnlySink::PreDeleteItem(DWORD flags, IShellItem*) {
    if (flags & TSF_DELETE_RECYCLE_IF_POSSIBLE) return S_OK;
    ++refused;
    return HRESULT_FROM_WIN32(ERROR_CANCELLED);
}

CShellQuestionGuard::CShellQuestionGuard(int allowed) : outer_(g_guard), allowed_(allowed) {
    g_guard = this;
    hook_ = ::SetWindowsHookExA(WH_CBT, &CShellQuestionGuard::Hook, nullptr, ::GetCurrentThreadId());
}

CShellQuestionGuard::~CShellQuestionGuard() {
    if (hook_) ::UnhookWindowsHookEx(hook_);
    g_guard = outer_;
}

LRESULT CALLBACK CShellQuestionGuard::Hook(int code, WPARAM w, LPARAM l) {
    CShellQuestionGuard* guard = g_guard;
    if (code == HCBT_CREATEWND && guard) {
        const CREATESTRUCTA* cs = reinterpret_cast<CBT_CREATEWNDA*>(l)->lpcs;
        if (!(cs->style & WS_CHILD) && IsDialogClass(cs->lpszClass)) {
            if (guard->allowed_ > 0) {
                --guard->allowed_;
            } else {
                ++guard->refused_;
                return 1;  // the window is not made; the dialog call fails
            }
        }
    }
    return ::CallNextHookEx(guard ? guard->hook_ : nullptr, code, w, l);
}

namespace {

int CountOf(const std::vector<RecycleOutcome>& outcomes, RecycleOutcome which) {
    return static_cast<int>(std::count(outcomes.begin(), outcomes.end(), which));
}

// "2 file(s) could not be moved to the RecycleBin and stay in the list: 1 in use by another
// program, 1 on a drive without a Recycle Bin."
std::string KeptText(const std::vector<RecycleOutcome>& outcomes, const char* what) {
    static const struct { RecycleOutcome outcome; const char* why; } kReasons[] = {
        {kKeptInUse, "in use by another program"},
        {kKeptNoAccess, "not yours to remove"},
        {kKeptNoRecycleBin, "on a drive without a Recycle Bin"},
        {kKeptNotTaken, "not taken by the Recycle Bin"},
        {kKeptUnusableName, "named in a way this Windows cannot pass on"},
        {kKeptNoPath, "without a path"},
    };
    int kept = 0;
    std::string why;
    for (const auto& r : kReasons) {
        int n = CountOf(outcomes, r.outcome);
        if (n == 0) continue;
        kept += n;
        why += (why.empty() ? "" : ", ") + Format("%d %s", n, r.why);
    }
    if (kept == 0) return std::string();
    return Format("%d %s could not be moved to the RecycleBin and stay in the list: %s.", kept, what, why.c_str());
}

// Runs a removal over `rows` of `list` and takes out the rows whose file is gone; the rest stay.
std::vector<RecycleOutcome> RemoveRows(IResultList& list, const std::vector<int>& rows, bool oneOperationPerFile,
                                       const std::function<void(const std::string&)>& beforeEach) {
    std::vector<std::string> paths;
    std::vector<int> handed;
    std::vector<RecycleOutcome> outcomes;
    for (int row : rows) {
        if (list.Data(row) & kRowNameUnusable) {
            outcomes.push_back(kKeptUnusableName);
            continue;
        }
        handed.push_back(row);
        paths.push_back(list.Text(row, 1));
    }
    std::vector<RecycleOutcome> done = RecycleFiles(paths, oneOperationPerFile, beforeEach);
    std::vector<int> gone;
    for (size_t i = 0; i < done.size(); ++i) {
        outcomes.push_back(done[i]);
        if (done[i] == kRecycled || done[i] == kNotThere) gone.push_back(handed[i]);
    }
    // From the bottom up, so the rows still to go keep their places.
    std::sort(gone.begin(), gone.end());
    for (auto it = gone.rbegin(); it != gone.rend(); ++it) list.DeleteRow(*it);
    return outcomes;
}

const char* ItemWord(int listMode) { return listMode == kListInvalidShortcuts ? "shortcut(s)" : "file(s)"; }

}  // namespace

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

    std::vector<RecycleOutcome> outcomes = RemoveRows(list, selected, true, [&](const std::string& path) {
        status.SetStatusText("Deleting " + path + " to the Recycle Bin", 0);
    });
    status.SetStatusText("", 0);

    std::string kept = KeptText(outcomes, ItemWord(listMode));
    if (!kept.empty()) MessageBoxText(kept, MB_OK | MB_ICONEXCLAMATION);
    return static_cast<int>(outcomes.size()) - CountOf(outcomes, kRecycled) - CountOf(outcomes, kNotThere);
}

bool DeleteAllFiles(IResultList& list, IStatusSink& status, int listMode) {
    int rows = list.Count();
    if (rows == 0) {
        status.ShowNotifierText(LoadStr(IDS_LIST_EMPTY));
        return false;
    }
    if (!ShellAsksBeforeRecycling()) {
        std::string question = Format("Send all %s in the list to the RecycleBin?", ItemWord(listMode));
        if (MessageBoxText(question, MB_YESNO | MB_ICONQUESTION) == IDNO) return false;
    }
    status.SetStatusText("Please Wait...", 0);
    std::vector<int> all;
    for (int row = 0; row < rows; ++row) all.push_back(row);
    std::vector<RecycleOutcome> outcomes = RemoveRows(list, all, false, {});
    status.SetStatusText("", 0);

    // A "No" to the shell's question needs no report: the rows are all there.
    bool declined = CountOf(outcomes, kKeptDeclined) > 0;
    std::string kept = declined ? std::string() : KeptText(outcomes, ItemWord(listMode));
    if (!kept.empty()) MessageBoxText(kept, MB_OK | MB_ICONEXCLAMATION);
    return list.Count() == 0;
}
