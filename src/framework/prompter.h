// Questions and messages to the user go through a prompter, so that engines can run without a
// window and tests can answer in the user's place.
#pragma once

#include <windows.h>

#include <string>

class IPrompter {
public:
    virtual ~IPrompter() = default;
    // Shows a message box (MB_* flags in `type`) and returns the button chosen (IDOK, IDYES...).
    virtual int Ask(HWND owner, const std::string& text, const std::string& caption, UINT type) = 0;
};

// The real one: MessageBoxA.
class CMessageBoxPrompter : public IPrompter {
public:
    int Ask(HWND owner, const std::string& text, const std::string& caption, UINT type) override;
};

IPrompter& Prompter();
// Replaces the prompter (tests); nullptr restores the message box one. Returns the previous one.
IPrompter* SetPrompter(IPrompter* p);

// Message box with the application's title as caption when `caption` is empty, owned by the
// main window.
int MessageBoxText(const std::string& text, UINT type = MB_OK, const std::string& caption = "");
// The application's main window (set by the application at start-up).
HWND MainWindow();
void SetMainWindow(HWND h);
