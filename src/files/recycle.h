// Deletion to the Recycle Bin. The file tools never delete a file outright: every file they
// remove goes through the shell's file operation with undo allowed, so the user can restore it.
#pragma once

#include "core/services.h"

#include <windows.h>
#include <shellapi.h>
#include <shobjidl.h>

#include <functional>
#include <string>
#include <vector>

// One shell file operation: builds the double-NUL-terminated path lists that SHFileOperationA
// wants and runs a move, copy, delete or rename. Built on the stack for one operation; the
// lists live on the C heap and grow as paths are added.
class ShellFileOperation {
public:
    enum { kSource = 0, kDestination = 1 };

    ShellFileOperation();
    ~ShellFileOperation();
    ShellFileOperation(const ShellFileOperation&) = delete;
    ShellFileOperation& operator=(const ShellFileOperation&) = delete;

    void setFlags(FILEOP_FLAGS flags) { request_.fFlags = flags; }
    void setOwner(HWND owner) { request_.hwnd = owner; }
    // Gives the source list (0) or the destination list (any other value) room for n bytes and
    // the final NUL, keeping what was written. A list is never made smaller than its contents.
    bool reserve(int list, DWORD n);
    // Appends one path; the list stays double-NUL-terminated. Grows the list to exactly the
    // size needed when the path does not fit.
    bool addPath(int list, const std::string& path);
    // The title of the shell's progress dialog; an empty text leaves none.
    void setProgressTitle(const std::string& text);
    void setProgressTitle(UINT stringId);

    int move() { return run(FO_MOVE); }
    int copy() { return run(FO_COPY); }
    int remove() { return run(FO_DELETE); }
    int rename() { return run(FO_RENAME); }
    bool anyAborted() const { return request_.fAnyOperationsAborted != FALSE; }

    // The lists as they stand (for the curious and for tests).
    const char* list(int which) const { return which == kSource ? source_.data : dest_.data; }
    DWORD used(int which) const { return which == kSource ? source_.used : dest_.used; }
    DWORD capacity(int which) const { return which == kSource ? source_.capacity : dest_.capacity; }
    const SHFILEOPSTRUCTA& request() const { return request_; }

private:
    struct PathList {
        char* data = nullptr;
        DWORD capacity = 0;
        DWORD used = 0;  // bytes of paths with their NULs, the final NUL not counted
    };
    static bool Grow(PathList& l, DWORD capacity);
    int run(UINT function);

    SHFILEOPSTRUCTA request_ {};
    PathList source_;
    PathList dest_;
    char* progressTitle_ = nullptr;
};

// The function that carries out the operation: SHFileOperationA unless replaced. Tests put a
// recorder in front of the shell with it; null puts the shell back. Returns the previous one.
using ShellFileOperationFn = int(WINAPI*)(SHFILEOPSTRUCTA*);
ShellFileOperationFn SetShellFileOperationFunction(ShellFileOperationFn fn);

// What became of one file of a removal. Only kRecycled and kNotThere leave nothing behind; every
// other outcome keeps the file where it is, untouched.
enum RecycleOutcome {
    kRecycled,          // it left its place for the Recycle Bin
    kNotThere,          // nothing was at that path any more
    kKeptNoPath,        // an empty path, never handed to the shell
    kKeptUnusableName,  // its name has no form in the process code page
    kKeptInUse,         // another program has it open
    kKeptNoAccess,      // the user may not remove it
    kKeptNoRecycleBin,  // its drive has no Recycle Bin (removable, network, CD-ROM) or the bin is out of use
    kKeptNotTaken,      // the shell did not move it: stopped half-way, or it would not recycle
    kKeptDeclined,      // the user answered the shell's question with No
};

// Sends files to the Recycle Bin and never destroys one. Each file is checked first (there,
// not in use, on a drive with a Recycle Bin); only those that pass reach the shell. On Vista
// and later the shell's file operation object carries them with a progress sink that refuses
// any deletion that would not recycle; where that object does not work (Wine, older systems)
// SHFileOperationA does, with any question offering to destroy a file refused before it shows.
// `oneOperationPerFile` runs one operation per file, without questions (`beforeEach` is told
// each path); otherwise one operation carries them all and the shell asks its own question
// first (see ShellAsksBeforeRecycling). A file counts as recycled only when it has left its
// place.
std::vector<RecycleOutcome> RecycleFiles(const std::vector<std::string>& paths, bool oneOperationPerFile,
                                         const std::function<void(const std::string&)>& beforeEach = {});

// Whether one operation for many files gets the shell's own question. False where the file
// operation object carries them: it is run without questions, because the shell would offer
// there to destroy a file too large for the Recycle Bin, and the caller asks instead.
bool ShellAsksBeforeRecycling();

// Sends one file to the Recycle Bin without the shell's question. Answers 1 when it went, else
// 0 (also for a missing file or one that had to stay).
int RecycleOneFile(const std::string& path);

// The progress sink of the shell's file operation object that lets a file go only to the
// Recycle Bin: a deletion announced without TSF_DELETE_RECYCLE_IF_POSSIBLE is refused, which
// stops the operation there.
class CRecycleOnlySink : public IFileOperationProgressSink {
public:
    int refused = 0;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }   // lives on the caller's stack
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE PreDeleteItem(DWORD flags, IShellItem* item) override;

    HRESULT STDMETHODCALLTYPE StartOperations() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE FinishOperations(HRESULT) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE PreRenameItem(DWORD, IShellItem*, LPCWSTR) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE PostRenameItem(DWORD, IShellItem*, LPCWSTR, HRESULT, IShellItem*) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE PreMoveItem(DWORD, IShellItem*, IShellItem*, LPCWSTR) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE PostMoveItem(DWORD, IShellItem*, IShellItem*, LPCWSTR, HRESULT, IShellItem*) override {
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE PreCopyItem(DWORD, IShellItem*, IShellItem*, LPCWSTR) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE PostCopyItem(DWORD, IShellItem*, IShellItem*, LPCWSTR, HRESULT, IShellItem*) override {
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE PostDeleteItem(DWORD, IShellItem*, HRESULT, IShellItem*) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE PreNewItem(DWORD, IShellItem*, LPCWSTR) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE PostNewItem(DWORD, IShellItem*, LPCWSTR, LPCWSTR, DWORD, HRESULT, IShellItem*) override {
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE UpdateProgress(UINT, UINT) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE ResetTimer() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE PauseTimer() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE ResumeTimer() override { return S_OK; }
};

// While it lives, dialogs that the shell puts up on this thread beyond the first `allowed` are
// refused before they show; the shell takes that as "No". During a recycle the only such
// dialog is its offer to destroy a file that the Recycle Bin would not take.
class CShellQuestionGuard {
public:
    explicit CShellQuestionGuard(int allowed);
    ~CShellQuestionGuard();
    CShellQuestionGuard(const CShellQuestionGuard&) = delete;
    CShellQuestionGuard& operator=(const CShellQuestionGuard&) = delete;
    int refused() const { return refused_; }

private:
    static LRESULT CALLBACK Hook(int code, WPARAM w, LPARAM l);
    HHOOK hook_ = nullptr;
    CShellQuestionGuard* outer_ = nullptr;
    int allowed_;
    int refused_ = 0;
};

// "Delete Selected" of the unneeded files, invalid shortcuts and duplicate files tools
// (`listMode` picks the wording and the duplicate warning): after one question, sends the file
// of each selected row (column 1) to the Recycle Bin, one operation per file. Rows whose file
// left its place go; the others stay, and the user is told how many and why. Answers the
// number kept (0 also when nothing was done).
int DeleteSelectedFiles(IResultList& list, IStatusSink& status, int listMode);

// "Delete All" of the unneeded files and invalid shortcuts tools: one operation with every
// row's file, the shell asking its own question (see ShellAsksBeforeRecycling) and showing its
// own progress. As in "Delete Selected", the rows of files still on disk stay and are reported,
// unless the user declined. Answers whether every listed file went.
bool DeleteAllFiles(IResultList& list, IStatusSink& status, int listMode);
