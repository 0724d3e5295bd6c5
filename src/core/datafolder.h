// Where the program keeps the files it writes for its user: the registry undo files and the
// duplicate finder's "duplist". A copy in a folder its user can write (the portable copy in
// C:\Kelvo Utilities, say) keeps them beside itself. An installed copy under C:\Program Files
// cannot: a standard user may not write there, and the manifest asks for no elevation, so no
// virtualisation catches the writes either. Its files go to the user's local application data
// folder instead. Every writer takes the folder from DataFolder(), so they never disagree.
#pragma once

#include <string>
#include <vector>

// The folder of the running program file, without a trailing backslash ("C:\x.exe" gives "C:").
std::string ProgramFolder();

// "Kelvo Utilities" in the user's local application data folder (CSIDL_LOCAL_APPDATA), not
// created here; empty when the system names no such folder or its name does not survive the
// process code page.
std::string LocalDataFolder();

// True when a file can be created in `folder`: a probe file is made there and removed again.
bool CanWriteFolder(const std::string& folder);

// Where a program in `programFolder` keeps its files: that folder when it can be written,
// otherwise the local data folder, which is created when missing.
std::string DataFolderFor(const std::string& programFolder);

// DataFolderFor(ProgramFolder()), decided at the first call and kept for the run.
std::string DataFolder();

// Every place where files of this or an earlier run may lie (the program's folder and the local
// data folder), each once.
std::vector<std::string> DataFolders();
