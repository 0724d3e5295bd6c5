// Removal of registry cleaner rows: each key or value is written to the undo file of the
// current minute before it is deleted, and the "Backup" command.
#pragma once

#include "app/services.h"
#include "registry/undofile.h"

#include <string>

// Where undo files are written: the program's data folder (app/datafolder.h), which is the
// program's own folder unless that cannot be written. Every writer of undo files uses it.
std::string UndoFolder();

// Exports what the row names (a whole key or one value), then deletes it. Returns false, having
// deleted nothing, when the export could not be written completely.
bool RemoveRegFinding(UndoFile& undoFile, const IResultList& list, int row);

// Removes the selected rows (or all rows) one after the other, first row first, through an open
// undo file, deleting each row once its entry is removed. Stops at the first row that could not
// be written to the undo file, leaving it and the rows after it; false then.
bool RemoveFindings(UndoFile& undoFile, IResultList& list, bool selectedOnly);

// "Remove Selected" and "Remove All": ask, open the undo file in `undoFolder`, remove and drop
// the rows. When the undo file cannot be opened or written, they stop before deleting anything
// more and tell the user.
void RemoveSelectedEntries(IResultList& list, IStatusSink& status, const std::string& undoFolder);
void RemoveAllEntries(IResultList& list, IStatusSink& status, const std::string& undoFolder);

// "Backup": starts the system's registry checker to back the registry up.
void BackupRegistry();
