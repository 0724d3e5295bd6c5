#include "framework/prompter.h"
#include "framework/strings.h"
#include "resource.h"

namespace {
CMessageBoxPrompter g_messageBoxes;
IPrompter* g_prompter = &g_messageBoxes;
HWND g_mainWindow = nullptr;
}

int CMessageBoxPrompter::Ask(HWND owner, const std::string& text, const std::string& caption, UINT type) {
    return ::MessageBoxA(owner, text.c_str(), caption.c_str(), type);
}

IPrompter& Prompter() { return *g_prompter; }

IPrompter* SetPrompter(IPrompter* p) {
    IPrompter* old = g_prompter;
    g_prompter = p ? p : &g_messageBoxes;
    return old;
}

HWND MainWindow() { return g_mainWindow; }
void SetMainWindow(HWND h) { g_mainWindow = h; }

int MessageBoxText(const std::string& text, UINT type, const std::string& caption) {
    std::string title = caption;
    if (title.empty()) {
        title = LoadStr(IDS_APP_TITLE);  // the application's name
    }
    HWND owner = g_mainWindow && ::IsWindow(g_mainWindow) ? g_mainWindow : nullptr;
    return Prompter().Ask(owner, text, title, type);
}
