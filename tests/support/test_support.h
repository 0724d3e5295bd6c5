// Helpers shared by the test programs: scratch registry keys and folders on the sandbox
// machine, a prompter that answers in the user's place, and a message pump.
#pragma once

#include "framework/prompter.h"

#include <windows.h>

#include <deque>
#include <string>
#include <vector>

// A fresh key HKEY_CURRENT_USER\Software\KelvoTests\<name>-<pid>, deleted with its subtree
// at the end of the scope.
class ScratchKey {
public:
    explicit ScratchKey(const std::string& name);
    ~ScratchKey();
    const std::string& path() const { return path_; }
    HKEY root() const { return HKEY_CURRENT_USER; }

private:
    std::string path_;
};

// A fresh folder under C:\KelvoTests, removed with its contents at the end of the scope.
class ScratchDir {
public:
    explicit ScratchDir(const std::string& name);
    ~ScratchDir();
    const std::string& path() const { return path_; }
    std::string operator/(const std::string& rel) const { return path_ + "\\" + rel; }

private:
    std::string path_;
};

bool WriteFileText(const std::string& path, const std::string& text);
// True when the value exists under root\key.
bool ValueExists(HKEY root, const std::string& key, const std::string& name);
// Runs the system's registry editor silently on a .reg file and waits for it; its exit code.
DWORD ImportWithRegedit(const std::string& file);
bool FileExists(const std::string& path);
void RemoveTree(const std::string& path);

// Answers message boxes from a queue (IDOK when it runs dry) and records what was asked.
class ScriptedPrompter : public IPrompter {
public:
    ScriptedPrompter() { previous_ = SetPrompter(this); }
    ~ScriptedPrompter() override { SetPrompter(previous_); }
    int Ask(HWND owner, const std::string& text, const std::string& caption, UINT type) override;

    std::deque<int> answers;
    struct Question { std::string text, caption; UINT type; };
    std::vector<Question> asked;

private:
    IPrompter* previous_;
};

// GDI objects the process holds: GetGuiResources where the system counts them, otherwise (Wine)
// the entries in use in the process's GDI handle table.
int GdiObjectCount();

// Windows at another display scale. Wine takes the DPI from the registry (the current user's
// "Control Panel\Desktop" LogPixels) when a process starts, so RunAtDpi starts this test program
// again with `--gtest_filter=filter` at `dpi`: it sets the value, starts the child, puts the value
// back as soon as the child has read it (so that programs starting later, and the tests running
// beside, see the machine's own DPI), and answers the child's exit code (0: its tests passed).
// The child's output goes to ours.
DWORD RunAtDpi(UINT dpi, const std::string& filter);
// The DPI RunAtDpi started this process at; 0 in a process it did not start.
UINT RequestedDpi();
// Called at the start of every test program: tells a RunAtDpi waiting for this process that the
// DPI has been read.
void ReportDpiRead();

// Dispatches the thread's messages for about `ms` milliseconds.
void PumpFor(DWORD ms);
// Pumps until `done` is true or `ms` pass; returns done().
template <class F> bool PumpUntil(F done, DWORD ms = 5000) {
    DWORD start = ::GetTickCount();
    while (!done()) {
        if (::GetTickCount() - start > ms) return false;
        PumpFor(10);
    }
    return true;
}
