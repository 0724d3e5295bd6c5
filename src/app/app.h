// The application object: single-instance guard, start-up sequence and the message loop.
#pragma once

#include <windows.h>

#include <memory>
#include <string>

class CMainFrame;

// True for the Windows 95 family member without a minor version (every Windows 95 release).
bool IsWindows95(const OSVERSIONINFOA& v);

class CWrenlyApp {
public:
    CWrenlyApp();
    ~CWrenlyApp();

    // The single-instance guard; false when another copy runs.
    bool InitApplication();
    // The start-up sequence; false when the main window could not be made.
    bool InitInstance();
    int Run();

    std::string programFolder;
    CMainFrame* MainFrame() const { return frame_.get(); }

private:
    std::unique_ptr<CMainFrame> frame_;
    HACCEL accelerators_ = nullptr;
};

CWrenlyApp& TheApp();
