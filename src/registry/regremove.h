// Removal of registry cleaner rows: each key or value is written to the undo file of the
// current minute before it is deleted, and the "Backup" command.
#pragma once

#include "core/services.h"
#include "registry/undofile.h"

#include <string>

// Where undo files are written: the program's data folder (app/datafolder.h), which is the
// program's own folder unless that cannot be written. Every writer of undo files uses it.
std::string UndoFolder();

// What became of one row's removal.
enum class RemovalOutcome {
    kRemoved,          // exported and deleted (or already gone)
    kUndoNotWritten,   // the undo file could not be written: nothing more may be removed
    kNotWritable,      // a name or text no .reg file gives back exactly: kept
    kUnreadable,       // part of it could not be read for the undo file: kept
    kAccessDenied,     // the deletion was refused for lack of rights: kept
    kDeleteFailed,     // the deletion failed for another reason: kept
    kNotRemovable,     // its names did not survive this system's code page: never acted on
};

// Exports what the row names (a whole key or one value), then deletes it. True when the entry
// is gone; false, having deleted nothing more than the system allowed, when it stays (the
// outcome says why). Nothing is deleted that is not in the undo file first.
bool RemoveRegFinding(UndoFile& undoFile, const IResultList& list, int row, RemovalOutcome* outcome = nullptr);

// How many rows a removal command kept, by reason.
struct RemovalSummary {
    int removed = 0;
    int notWritable = 0;
    int unreadable = 0;
    int accessDenied = 0;
    int deleteFailed = 0;
    int notRemovable = 0;
    int Kept() const { return notWritable + unreadable + accessDenied + deleteFailed + notRemovable; }
    // One line per reason that kept rows, for the message to the user; empty when none did.
    std::string KeptText() const;
};

// Removes the selected rows (or all rows) one after the other, first row first, through an open
// undo file, deleting each row once its entry is removed; a row whose entry stays keeps its
// place in the list. Stops at the first row that could not be written to the undo file,
// leaving it and the rows after it; false then.
bool RemoveFindings(UndoFile& undoFile, IResultList& list, bool selectedOnly, RemovalSummary* summary = nullptr);

// "Remove Selected" and "Remove All": ask, open the undo file in `undoFolder`, remove and drop
// the rows, and say how many were kept and why. When the undo file cannot be opened or
// written, they stop before deleting anything more and tell the user.
void RemoveSelectedEntries(IResultList& list, IStatusSink& status, const std::string& undoFolder);
void RemoveAllEntries(IResultList& list, IStatusSink& status, const std::string& undoFolder);

// "Backup": starts the system's registry checker to back the registry up.
void BackupRegistry();
