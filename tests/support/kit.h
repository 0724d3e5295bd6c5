// The fakes and helpers every test program shares: rows in memory, a status sink that records,
// a cancel poll that counts, the settings store and the registry's roots on scratch keys, keys a
// standard user may only read, an answerer for the shell's own question boxes, a result list in
// a window, a driver for modal windows, scratch trees on drive E:, the Recycle Bin and shortcuts.
#pragma once

#include "core/memorylist.h"
#include "core/services.h"
#include "core/view.h"
#include "test_support.h"

#include <atomic>
#include <deque>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace kit {

std::string Pid();

// Rows in memory, with the look-ups the tests make.
class Rows : public CMemoryList {
public:
    // A row of `texts` (filled up to `columns` empty texts) with item data `data`.
    int Add(std::vector<std::string> texts, DWORD data = 0, bool selected = false, size_t columns = 5);
    void Select(int row, bool on = true) { rows.at(row).selected = on; }
    // The texts of one column, in list order.
    std::vector<std::string> Column(int column) const;
    // The first row whose column text equals `text` without regard to case; -1 when none.
    int Find(int column, const std::string& text) const;
};

// What went to the message bar (target 0), the status bar (1) and the taskbar notifier.
class RecordingStatus : public IStatusSink {
public:
    std::vector<std::string> messages, statusBar, notes;
    void SetStatusText(const std::string& text, int target) override {
        (target == 0 ? messages : statusBar).push_back(text);
    }
    void ShowNotifierText(const std::string& text) override { notes.push_back(text); }
    std::string LastMessage() const { return messages.empty() ? std::string() : messages.back(); }
};

// Says "cancelled" from the poll numbered `cancelAt` on (0: never), or once `when` is true;
// counts the polls.
class CountingCancel : public ICancelPoll {
public:
    explicit CountingCancel(int cancelAt = 0) : cancelAt_(cancelAt) {}
    explicit CountingCancel(std::function<bool()> when) : when_(std::move(when)) {}
    bool checkCancelled() override {
        ++polls;
        return (cancelAt_ > 0 && polls >= cancelAt_) || (when_ && when_());
    }
    int polls = 0;

private:
    int cancelAt_ = 0;
    std::function<bool()> when_;
};

// The program's settings store on a scratch key for the scope.
class ScratchSettings {
public:
    ScratchSettings();
    ~ScratchSettings();

private:
    ScratchKey key_;
};

// HKEY_CURRENT_USER of this process redirected to a scratch key for the scope, so tests can
// use the paths the tools name without touching the user's own keys.
class RedirectedUser {
public:
    RedirectedUser();
    ~RedirectedUser();

private:
    ScratchKey base_;
    HKEY key_ = nullptr;
};

// Answers the shell's own question boxes (dialogs of this process) from another thread: the
// first with `button`, any further one (the shell offering to destroy a file it could not
// recycle) with No; counts them.
class ShellDialogAnswerer {
public:
    explicit ShellDialogAnswerer(int button);
    ~ShellDialogAnswerer();
    int answered() const { return answered_; }

private:
    static BOOL CALLBACK Visit(HWND w, LPARAM self);
    int button_;
    HWND last_ = nullptr;
    std::atomic<bool> stop_ {false};
    std::atomic<int> answered_ {0};
    std::thread thread_;
};

std::string ReadWholeFile(const std::string& path);

// Registry values by UTF-8 names: a string, or exactly these bytes of `type`.
void SetRegString(HKEY root, const std::string& key, const std::string& name, const std::string& text,
                  DWORD type = REG_SZ);
void SetRegRaw(HKEY root, const std::string& key, const std::string& name, DWORD type, const std::string& bytes);
bool RegKeyPresent(HKEY root, const std::string& key);

// For modal windows (a property sheet, a dialog, a popup menu) driven from inside their own
// message loops: `open` starts one and returns when it ends; meanwhile `steps` run one per timer
// tick, each answering false to be tried again at the next. Whatever opens another modal window
// must be posted, never sent, so that the next steps can reach it. A run that lost its way gives
// up after `ms`, closing the thread's menu and dialogs. Answers whether every step ran.
bool RunModal(const std::function<void()>& open, std::deque<std::function<bool()>> steps, DWORD ms = 20000);

// For the tools that read the machine's registry (registry scan, startup places, data folder):
// HKEY_CURRENT_USER, HKEY_USERS, HKEY_LOCAL_MACHINE and HKEY_CLASSES_ROOT (the machine's
// Software\Classes, as on Windows) redirected to empty keys below one scratch key for the scope,
// so that they see only what the test puts there.
class ScratchRoots {
public:
    ScratchRoots();
    ~ScratchRoots();
    // Where the redirected HKEY_LOCAL_MACHINE really lies, below the real HKEY_CURRENT_USER.
    std::string MachinePath() const { return base_.path() + "\\HKLM"; }
    // Where HKEY_CURRENT_USER, HKEY_USERS, HKEY_LOCAL_MACHINE or HKEY_CLASSES_ROOT (i = 0 to 3)
    // really lies, as another process (regedit) names it.
    std::string RealPath(int i) const;
    // Imports undo-file text (UTF-8, with or without its header) with regedit, through `file`,
    // its roots moved to where they really lie: regedit, a program of its own, sees no
    // redirection. Answers regedit's exit code.
    DWORD Import(std::string regText, const std::string& file) const;

private:
    ScratchKey base_;
    HKEY keys_[4] = {};
};

// For keys a standard user may only read, as most machine keys: sets the access list of
// root\key (made when missing) from SDDL ("D:P(A;;KR;;;WD)": everyone may read, nobody change).
// The owner may always set it again. True when set.
bool SetKeyAccess(HKEY root, const std::string& key, const char* sddl);

// For the undo files (registry cleaner, startup moves): a UTF-16LE file with its byte order mark
// as UTF-8 text; a text saying what it is instead when it is not one.
std::string ReadUtf16File(const std::string& path);

// For the GUI tests of the tools: a top-level window holding a result list, as the main window
// holds it, named the main window for the scope (the commands put their dialogs and questions up
// over it); the list in `listMode` with `columns` (title and width). Rows are found by a column's
// text, without regard to case, and selected as a user does.
class ListHost {
public:
    ListHost(int listMode, const std::vector<std::pair<std::string, int>>& columns);
    ~ListHost();
    int Find(int column, const std::string& text) const;
    void Select(int row, bool on = true);

    CWindowImpl window;
    CWrenlyView view;
};

// Files on drive E: (a fixed drive the scans walk) and the Recycle Bin, for the file tools,
// duplicates, history and the end-to-end tests.

// A fresh folder on drive E:, removed with everything below it at the end of the scope.
class ScratchTree {
public:
    explicit ScratchTree(const std::string& name);
    ~ScratchTree() { RemoveTree(path_); }
    const std::string& path() const { return path_; }
    std::string operator/(const std::string& rel) const { return path_ + "\\" + rel; }
    std::string Dir(const std::string& rel, DWORD attributes = 0) const;
    // A file of `length` bytes, its folders made as needed.
    std::string File(const std::string& rel, size_t length = 0, DWORD attributes = 0) const;

private:
    std::string path_;
};

// The host path of a sandbox path (Wine only; empty elsewhere).
std::string UnixPath(const std::string& path);
// Makes `link` a symbolic link to the folder `target` (on Wine, whose CreateSymbolicLink does
// nothing, a host link, which Wine shows as a reparse point).
bool MakeFolderLink(const std::string& link, const std::string& target);
// Whether the shell's Recycle Bin lists a file `name` that came from `folder`.
bool RecycleBinHolds(const std::string& folder, const std::string& name);
// The freedesktop Trash folder Wine keeps its Recycle Bin in; empty when not on Wine.
std::string WineTrashFolder();
// Takes a test's file out of Wine's trash folder again, so runs leave nothing behind.
void PurgeFromTrash(const std::string& name);
// Saves a shortcut `file` to `target` with `description` through the shell's own link object.
bool MakeShortcut(const std::string& file, const std::string& target, const std::string& description = "");

}  // namespace kit
