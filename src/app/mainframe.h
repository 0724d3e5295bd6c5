// The main window: menu, rebar with toolbar and busy animation, message bar, status bar, and
// the splitter with the tool selector (outlook bar) on the left and the result list on the
// right. Owns the services every tool uses at the end of its work.
#pragma once

#include "app/tooltable.h"
#include "core/services.h"
#include "widgets/splitter.h"
#include "core/view.h"
#include "framework/window.h"
#include "widgets/notifier.h"
#include "widgets/outbar.h"

#include <functional>
#include <map>
#include <string>

// The window rectangle that results from a move or resize, kept at least 500 x 450 (at 96 DPI,
// larger at `dpi`); `current` is where the window is now, so a left or top edge dragged inwards
// keeps the opposite edge.
void ApplyMinimumSize(const RECT& current, WINDOWPOS& pos, UINT dpi = 96);

// The stored window rectangle made fit to start with: at least 500 x 450, no larger than the
// work area `work` (where that is smaller), and moved inside it. A place saved on a monitor that
// is gone, or a size from a damaged setting, would otherwise open the window out of sight.
RECT PlaceInWorkArea(const RECT& stored, const RECT& work);

class CMainFrame : public CWindowImpl, public IStatusSink {
public:
    CMainFrame();
    ~CMainFrame() override;

    // Creates the window at its stored (or first-run) place, hidden.
    bool CreateFrame();

    CWrenlyView* GetListView() { return view_.IsWindow() ? &view_ : nullptr; }
    CGfxOutBarCtrl& OutBar() { return outBar_; }
    CTaskbarNotifier& Notifier() { return notifier_; }
    HWND MessageBar() const { return messageBar_; }
    HWND StatusBar() const { return statusBar_; }
    HWND ToolBar() const { return toolBar_; }
    HWND BusyAnimation() const { return animation_; }
    CSplitterWnd& Splitter() { return splitter_; }
    // The DPI the window is laid out for.
    UINT Dpi() const { return dpi_; }

    // Services for the tools.
    void SetStatusText(const std::string& text, int target) override;
    void ShowNotifierText(const std::string& text) override;
    void ShowNotifierText(UINT stringId);
    void PlayNotifySound();
    void StartBusyAnimation();
    void StopBusyAnimation();
    // Runs the command of an outlook-bar item, with the busy animation and the notify sound the
    // tool table gives it; an id of no item runs nothing.
    void RunToolCommand(UINT toolCommandId);
    void RunToolCommand(const ToolCommand& command);
    // The Options sheet on a page.
    void OpenOptionsSheetOn(int page);

    // Shows the tip of the day when the user has not turned it off.
    void ShowStartupTip();

    bool taskNotify;
    bool playSound;
    bool savePositionOnExit = true;

    // The folder-selected and item-clicked handlers the outlook bar's notification reaches.
    void OnFolderSelected(int folder);
    void OnItemClicked(int item);

protected:
    const char* ClassName() const override { return "KelvoUtilsFrame"; }
    void AdjustClass(WNDCLASSEXA& wc) const override;

private:
    LRESULT OnCreate();
    bool CreateToolBar();
    void CreateRebar();
    void CreateNotifier();
    void SetupOutBar();
    // The sizes and pictures that follow the window's DPI.
    void SetOutBarPictures();
    void SetToolBarPictures();
    void OpenBusyClip();
    void SizeRebarBands();
    void SetBarFonts();
    void OnDpiChanged(UINT dpi, const RECT* suggested);
    void Layout();
    void OnClose();
    void OnTimer(UINT_PTR id);
    void SelectToolFolder(int scanMode);
    void ShowIdlePrompt();
    void ShowPrompt(UINT id);
    void OnOptions();
    void OnHelpForTool();
    void OnAutoSizeColumns();
    void NextPane(bool forward);
    void InitMenuPopup(HMENU menu);
    void SetColumns(int listMode);

    CSplitterWnd splitter_;
    CGfxOutBarCtrl outBar_;
    CWrenlyView view_;
    CTaskbarNotifier notifier_;
    HIMAGELIST outBarImages_ = nullptr;
    HIMAGELIST outBarSmallImages_ = nullptr;
    HIMAGELIST toolImages_ = nullptr;
    HWND rebar_ = nullptr;
    HWND toolBar_ = nullptr;
    HWND animation_ = nullptr;
    HWND statusBar_ = nullptr;
    HWND messageBar_ = nullptr;
    UINT dpi_ = 96;
    HFONT messageFont_ = nullptr;
    HFONT statusFont_ = nullptr;  // only while the window is not at the system DPI
    LOGFONTA messageBarFont_ {};
    LOGFONTA statusBarFont_ {};
    HFONT statusBarOwnFont_ = nullptr;  // the status bar's font as made (none: the system's)
    HBITMAP rebarBack_ = nullptr;
    SIZE busyClipSize_ {48, 16};
    std::string tipText_;
};
