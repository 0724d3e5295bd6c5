// The main window: menu, result list and the services every tool uses.
#pragma once

#include "app/services.h"
#include "app/view.h"
#include "framework/window.h"

#include <string>

class CMainFrame : public CWindowImpl, public IStatusSink {
public:
    CMainFrame();
    ~CMainFrame() override;

    // Creates the window at its stored (or first-run) place, hidden.
    bool CreateFrame();

    CWrenlyView* GetListView() { return view_.IsWindow() ? &view_ : nullptr; }
    void SetStatusText(const std::string& text, int target) override;
    void ShowNotifierText(const std::string& text) override {}
    // Shows the tip of the day when the user has not turned it off.
    void ShowStartupTip();

protected:
    const char* ClassName() const override { return "KelvoUtilsFrame"; }
    void AdjustClass(WNDCLASSEXA& wc) const override;

private:
    LRESULT OnCreate();
    void Layout();
    void OnClose();

    CWrenlyView view_;
    HWND statusBar_ = nullptr;
    HWND messageBar_ = nullptr;
    HFONT messageFont_ = nullptr;
    bool savePositionOnExit_ = true;
};
