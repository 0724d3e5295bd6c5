// The fakes and helpers every test program shares: rows in memory, a status sink that records,
// a cancel poll that counts, the settings store and HKEY_CURRENT_USER on scratch keys, an
// answerer for the shell's own question boxes, and whole-file reads.
#pragma once

#include "core/memorylist.h"
#include "core/services.h"
#include "test_support.h"

#include <atomic>
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

// For the tests that need a whole machine's registry: HKEY_CURRENT_USER, HKEY_USERS,
// HKEY_LOCAL_MACHINE and HKEY_CLASSES_ROOT of this process redirected, for the scope, to the
// subkeys HKCU, HKU, HKLM and HKLM\Software\Classes of one scratch key (the classes root lies in
// the machine's Software\Classes, as on Windows).
class RedirectedRoots {
public:
    RedirectedRoots();
    ~RedirectedRoots();
    // Where root i (in the order above) really lies, as another process (regedit) names it.
    std::string RealPath(int i) const;

private:
    ScratchKey base_;
    HKEY keys_[4] = {};
};

}  // namespace kit
