// Deletion to the Recycle Bin. The file tools never delete a file outright: every file they
// remove goes through the shell's file operation with undo allowed, so the user can restore it.
#pragma once

#include "app/services.h"

#include <windows.h>
#include <shellapi.h>

#include <string>

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

// Sends one file to the Recycle Bin without the shell's question. When the file cannot be
// recycled the shell asks before destroying it instead of deleting it silently. Answers 1 when
// the shell reported success and nothing was aborted, else 0 (also for a missing file).
int RecycleOneFile(const std::string& path);

// "Delete Selected" of the unneeded files, invalid shortcuts and duplicate files tools
// (`listMode` picks the wording and the duplicate warning): after one question, sends the file
// of each selected row (column 1) to the Recycle Bin, one operation per file. Rows whose file
// reached the Recycle Bin go; the others stay, and the user is told how many could not be
// moved. Answers that number (0 also when nothing was done).
int DeleteSelectedFiles(IResultList& list, IStatusSink& status, int listMode);

// "Delete All" of the unneeded files and invalid shortcuts tools: one shell operation with every
// row's file, the shell asking its own question and showing its own progress; then the list is
// emptied. Answers whether the shell reported success.
bool DeleteAllFiles(IResultList& list, IStatusSink& status);
