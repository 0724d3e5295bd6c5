#include "app/mainframe.h"

#include "app/about.h"
#include "app/appinfo.h"
#include "core/help.h"
#include "app/itemcommands.h"
#include "app/tooltable.h"
#include "duplicates/dupcommands.h"
#include "framework/dpi.h"
#include "framework/prompter.h"
#include "framework/settings.h"
#include "framework/strings.h"
#include "duplicates/dupendings.h"
#include "files/junk.h"
#include "files/shortcuts.h"
#include "files/walker.h"
#include "options/optionssheet.h"
#include "startup/startupprograms.h"
#include "resource.h"
#include "widgets/tipdlg.h"

#include <mmsystem.h>
#include <shellapi.h>

#include <algorithm>
#include <vector>

namespace {

const UINT_PTR kStartupNotifierTimer = 100;
const UINT kViewId = 0xE900;        // first pane of the splitter
const UINT kOutBarId = 0xE901;
const UINT kRebarId = 0xE81C;
const UINT kToolBarId = 0xE800;
const int kMinWidth = 500;
const int kMinHeight = 450;
const char kIdlePrompt[] = "Press F1 for Help";
const char kHomePage[] = "http://www.kelvo-utilities.example/";
const char kDownloadFirst[] = "http://www.kelvo-utilities.example/download/KelvoUtils.zip";
const char kDownloadSecond[] = "http://mirror.kelvo-utilities.example/download/KelvoUtils.zip";
const char kDownloadSelector[] = "DownloadMirror";

struct ColumnSpec { const char* title; int width; };

std::vector<ColumnSpec> ColumnsFor(int listMode) {
    switch (listMode) {
    case kListRegistry:
        return {{"Location", 120}, {"SubKey", 120}, {"ValueName", 120}, {"Data", 120}, {"Invalid Entry", 500}};
    case kListStartupPrograms:
        return {{"Program Name", 120}, {"Command Line", 120}, {"Location", 200}, {"Physical", 120}};
    case kListInvalidShortcuts:
        return {{"Name", 120}, {"Shortcut Location", 120}, {"Target Location", 120}, {"Description", 120}};
    case kListUnneededFiles:
        return {{"Name", 120}, {"Folder", 120}, {"Length", 120}};
    case kListDuplicates:
        return {{"Name", 120}, {"Path", 120}, {"Size", 120}};
    case kListHistory:
        return {{"Select Removal Options", 200}};
    default:
        return {};
    }
}

// The help topic of each tool, by ScanMode.
const int kToolHelpTopics[6] = {50, 20, 15, 40, 60, 30};

void OpenAddress(const std::string& address) {
    ::ShellExecuteA(nullptr, "open", address.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

}  // namespace

void ApplyMinimumSize(const RECT& current, WINDOWPOS& pos, UINT dpi) {
    if (pos.flags & SWP_NOSIZE) return;
    const int minWidth = ScaleToDpi(kMinWidth, dpi), minHeight = ScaleToDpi(kMinHeight, dpi);
    if (pos.cx < minWidth) {
        // A left edge dragged inwards moves the window: keep the right edge where it was.
        if (!(pos.flags & SWP_NOMOVE) && pos.x != current.left) pos.x = current.right - minWidth;
        pos.cx = minWidth;
    }
    if (pos.cy < minHeight) {
        if (!(pos.flags & SWP_NOMOVE) && pos.y != current.top) pos.y = current.bottom - minHeight;
        pos.cy = minHeight;
    }
}

RECT PlaceInWorkArea(const RECT& stored, const RECT& work) {
    const LONG workWidth = work.right - work.left, workHeight = work.bottom - work.top;
    LONG width = std::min(std::max<LONG>(stored.right - stored.left, kMinWidth), workWidth);
    LONG height = std::min(std::max<LONG>(stored.bottom - stored.top, kMinHeight), workHeight);
    LONG left = std::max(work.left, std::min<LONG>(stored.left, work.right - width));
    LONG top = std::max(work.top, std::min<LONG>(stored.top, work.bottom - height));
    return RECT {left, top, left + width, top + height};
}

CMainFrame::CMainFrame() {
    taskNotify = ReadSettingInt("Settings", "tasknotify", 1) != 0;
    playSound = ReadSettingInt("Settings", "playsound", 1) != 0;

    OnMessage(WM_CREATE, [this](WPARAM, LPARAM) { return OnCreate(); });
    OnMessage(WM_SIZE, [this](WPARAM, LPARAM) {
        Layout();
        return LRESULT(0);
    });
    OnMessage(WM_CLOSE, [this](WPARAM, LPARAM) {
        OnClose();
        return LRESULT(0);
    });
    OnMessage(WM_DESTROY, [](WPARAM, LPARAM) {
        ::PostQuitMessage(0);
        return LRESULT(0);
    });
    OnMessage(WM_TIMER, [this](WPARAM w, LPARAM) {
        OnTimer(w);
        return LRESULT(0);
    });
    OnMessage(WM_WINDOWPOSCHANGING, [this](WPARAM, LPARAM l) {
        if (!::IsIconic(m_hWnd)) ApplyMinimumSize(WindowRect(), *reinterpret_cast<WINDOWPOS*>(l), dpi_);
        return LRESULT(0);
    });
    OnMessage(WM_DPICHANGED, [this](WPARAM w, LPARAM l) {
        OnDpiChanged(HIWORD(w), reinterpret_cast<const RECT*>(l));
        return LRESULT(0);
    });
    OnMessage(WM_OUTBAR_NOTIFY, [this](WPARAM w, LPARAM l) {
        if (w == kOutBarFolderChanged) OnFolderSelected(static_cast<int>(l));
        else if (w == kOutBarItemClicked) OnItemClicked(static_cast<int>(l));
        return LRESULT(0);
    });
    OnMessage(WM_INITMENUPOPUP, [this](WPARAM w, LPARAM) {
        InitMenuPopup(reinterpret_cast<HMENU>(w));
        return LRESULT(0);
    });
    OnMessage(WM_MENUSELECT, [this](WPARAM w, LPARAM l) {
        UINT flags = HIWORD(w);
        if (flags == 0xFFFF && !l) ShowIdlePrompt();
        else if (!(flags & (MF_POPUP | MF_SEPARATOR))) ShowPrompt(LOWORD(w));
        return LRESULT(0);
    });
    OnMessage(WM_EXITMENULOOP, [this](WPARAM, LPARAM) {
        ShowIdlePrompt();
        return LRESULT(0);
    });
    OnMessage(WM_SETFOCUS, [this](WPARAM, LPARAM) {
        if (view_.IsWindow()) ::SetFocus(view_.m_hWnd);
        return LRESULT(0);
    });
    OnNotify(kToolBarId, TBN_HOTITEMCHANGE, [this](NMHDR* h) {
        auto* hot = reinterpret_cast<NMTBHOTITEM*>(h);
        if (hot->dwFlags & HICF_LEAVING) ShowIdlePrompt();
        else ShowPrompt(static_cast<UINT>(hot->idNew));
        return LRESULT(0);
    });
    OnNotify(0, TTN_GETDISPINFOA, [this](NMHDR* h) {
        auto* di = reinterpret_cast<NMTTDISPINFOA*>(h);
        tipText_ = LoadStr(static_cast<UINT>(h->idFrom));
        di->lpszText = const_cast<char*>(tipText_.c_str());
        return LRESULT(0);
    });

    // Tool selection from the toolbar and accelerators.
    for (const ToolInfo& t : kTools) {
        int mode = t.scanMode;
        OnCommand(t.selectCommand, [this, mode] { SelectToolFolder(mode); });
    }
    OnCommand(ID_APP_ABOUTBOX, [] {
        CAboutDlg dlg;
        dlg.DoModal(MainWindow());
    });
    OnCommand(ID_OPTIONS, [this] { OnOptions(); });
    OnCommand(ID_CONFIG_DRIVES, [this] { OpenOptionsSheetOn(0); });
    OnCommand(ID_TOOLBAR_HELP, [this] { OnHelpForTool(); });
    OnCommand(ID_HELP_TOPIC, [this] { OnHelpForTool(); });
    OnCommand(ID_HELP_CONTENTS, [] { OpenHelpTopic(kHelpContents); });
    OnCommand(ID_HELP_FAQ, [] { OpenHelpTopic(90); });
    OnCommand(ID_HELP_LICENSE, [] { OpenHelpTopic(35); });
    OnCommand(ID_HELP_TUTORIAL, [] { OpenHelpTopic(21); });
    OnCommand(ID_VIEW_STATUSBAR, [this] {
        if (!statusBar_) return;
        ::ShowWindow(statusBar_, ::IsWindowVisible(statusBar_) ? SW_HIDE : SW_SHOW);
        Layout();
    });
    OnCommand(ID_VIEW_SAVE_POSITION, [this] { savePositionOnExit = !savePositionOnExit; });
    OnCommand(ID_VIEW_AUTOSIZE_COLUMNS, [this] { OnAutoSizeColumns(); });
    OnCommand(ID_SUPPORT_FEEDBACK, [] { OpenAddress(std::string("mailto:") + kFeedbackAddress + "?subject=Feedback"); });
    OnCommand(ID_SUPPORT_HOMEPAGE, [] { OpenAddress(kHomePage); });
    OnCommand(ID_SUPPORT_DOWNLOAD, [] {
        OpenAddress(ReadSettingInt("Settings", kDownloadSelector, 0) == 0 ? kDownloadFirst : kDownloadSecond);
    });
    OnCommand(ID_TIP_OF_THE_DAY, [this] { ShowTipOfTheDay(m_hWnd); });
    OnCommand(ID_NEXT_PANE, [this] { NextPane(true); });
    OnCommand(ID_PREV_PANE, [this] { NextPane(false); });

    // Item commands of the main menu's "ContextMenu".
    auto openOptions = [this](int page) { OpenOptionsSheetOn(page); };
    OnCommand(ID_ITEM_PROPERTIES, [this, openOptions] { RunItemCommand(view_, ID_ITEM_PROPERTIES, openOptions); });
    OnCommand(ID_ITEM_REGEDIT, [this, openOptions] { RunItemCommand(view_, ID_ITEM_REGEDIT, openOptions); });
}

CMainFrame::~CMainFrame() {
    Destroy();
    if (messageFont_) ::DeleteObject(messageFont_);
    if (statusFont_) ::DeleteObject(statusFont_);
    if (outBarImages_) ::ImageList_Destroy(outBarImages_);
    if (outBarSmallImages_) ::ImageList_Destroy(outBarSmallImages_);
    if (toolImages_) ::ImageList_Destroy(toolImages_);
    if (rebarBack_) ::DeleteObject(rebarBack_);
}

void CMainFrame::AdjustClass(WNDCLASSEXA& wc) const {
    wc.hIcon = ::LoadIconA(AppInstance(), MAKEINTRESOURCEA(IDR_MAINFRAME));
    // The caption's icon from the drawing of its own size, not the large one shrunk.
    wc.hIconSm = static_cast<HICON>(::LoadImageA(AppInstance(), MAKEINTRESOURCEA(IDR_MAINFRAME), IMAGE_ICON,
                                                 ::GetSystemMetrics(SM_CXSMICON), ::GetSystemMetrics(SM_CYSMICON),
                                                 LR_SHARED));
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
}

bool CMainFrame::CreateFrame() {
    RECT def = DefaultWindowRect(::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN));
    // Kept within a range where the sums below cannot overflow, whatever the settings hold.
    auto stored = [](const char* name, int defaultValue) {
        return std::max(-1000000, std::min(ReadSettingInt("Settings", name, defaultValue), 1000000));
    };
    RECT rc;
    rc.left = stored("x", def.left);
    rc.top = stored("y", def.top);
    rc.right = rc.left + stored("cx", def.right - def.left);
    rc.bottom = rc.top + stored("cy", def.bottom - def.top);
    MONITORINFO monitor {};
    monitor.cbSize = sizeof monitor;
    if (::GetMonitorInfoA(::MonitorFromRect(&rc, MONITOR_DEFAULTTONEAREST), &monitor))
        rc = PlaceInWorkArea(rc, monitor.rcWork);
    HMENU menu = ::LoadMenuA(AppInstance(), MAKEINTRESOURCEA(IDR_MAINFRAME));
    return Create(nullptr, rc, AppTitle().c_str(), WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, 0, menu) != nullptr;
}

LRESULT CMainFrame::OnCreate() {
    dpi_ = WindowDpi(m_hWnd);
    // The client area: the splitter with the outlook bar and the result list.
    if (!splitter_.CreateSplitter(m_hWnd, IDW_SPLITTER)) return -1;
    splitter_.SetDpi(dpi_);
    if (!view_.CreateView(splitter_.m_hWnd, kViewId)) return -1;
    view_.SetDpi(dpi_);
    // The file tools' settings live with the list from the start.
    LoadExcludedFolders(view_.settings.excludedFolders);
    LoadJunkEndings(view_.settings);
    view_.settings.keep.Load();
    InstallDuplicateFinder(view_);
    // The list's right-click menu, double-click and Enter.
    AttachItemCommands(view_, [this](int page) { OpenOptionsSheetOn(page); });
    SetupOutBar();
    if (!outBar_.m_hWnd) return -1;
    splitter_.SetPanes(outBar_.m_hWnd, view_.m_hWnd);
    // Selecting the first tool sets up the list; the message bar and notifier come later.
    outBar_.setSelFolder(0);
    RECT client = ClientRect();
    splitter_.SetColumnInfo(0, ScaleToDpi(160, dpi_), 0);
    // Wider where the captions need it: fonts do not grow in step with the scale.
    splitter_.WidenLeftColumn(outBar_.captionWidth());
    splitter_.SetColumnInfo(1, client.right / 4, 0);
    splitter_.RecalcLayout();

    if (!CreateToolBar()) return -1;
    CreateRebar();

    statusBar_ = ::CreateWindowExA(0, STATUSCLASSNAMEA, kIdlePrompt, WS_CHILD | WS_VISIBLE | SBARS_SIZEGRIP, 0, 0, 0,
                                   0, m_hWnd, reinterpret_cast<HMENU>(static_cast<UINT_PTR>(IDW_STATUS_BAR)),
                                   AppInstance(), nullptr);
    messageBar_ = ::CreateWindowExA(0, STATUSCLASSNAMEA, "",
                                    WS_CHILD | WS_VISIBLE | CCS_NOPARENTALIGN | CCS_NORESIZE | CCS_NODIVIDER, 0, 0,
                                    0, 0, m_hWnd, reinterpret_cast<HMENU>(static_cast<UINT_PTR>(IDW_MESSAGE_BAR)),
                                    AppInstance(), nullptr);
    if (!statusBar_ || !messageBar_) return -1;
    int whole = -1;
    if (!::SendMessageA(statusBar_, SB_SETPARTS, 1, reinterpret_cast<LPARAM>(&whole))) return -1;
    if (!::SendMessageA(messageBar_, SB_SETPARTS, 1, reinterpret_cast<LPARAM>(&whole))) return -1;
    // The bars' own fonts, made for the system DPI, are the starting point at every scale.
    messageBarFont_ = FontOfWindow(messageBar_);
    statusBarFont_ = FontOfWindow(statusBar_);
    statusBarOwnFont_ = reinterpret_cast<HFONT>(::SendMessageA(statusBar_, WM_GETFONT, 0, 0));
    SetBarFonts();

    CreateNotifier();
    Layout();
    // A place stored at a smaller scale can be under this one's minimum size.
    RECT now = WindowRect();
    ::SetWindowPos(m_hWnd, nullptr, 0, 0, now.right - now.left, now.bottom - now.top,
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    return 0;
}

void CMainFrame::SetupOutBar() {
    RECT rc {0, 0, ScaleToDpi(160, dpi_), ScaleToDpi(400, dpi_)};
    outBar_.create(WS_CHILD | WS_VISIBLE, rc, splitter_.m_hWnd, kOutBarId, 0x140);
    outBar_.setOwner(m_hWnd);
    SetOutBarPictures();
    outBar_.setAnimationSpeed(20);
    outBar_.setItemTick(200);
    for (const ToolInfo& t : kTools) outBar_.addFolder(t.caption, t.folderId);
    for (const ToolCommand& c : kToolCommands) outBar_.insertItem(c.scanMode, -1, c.caption, c.image, c.id);
}

bool CMainFrame::CreateToolBar() {
    // Toolbar resource: version, width, height, count, then the command of each button (0 for
    // a separator).
    HRSRC res = ::FindResourceA(AppInstance(), MAKEINTRESOURCEA(IDR_MAINFRAME), MAKEINTRESOURCEA(10));
    HGLOBAL mem = res ? ::LoadResource(AppInstance(), res) : nullptr;
    const WORD* data = mem ? static_cast<const WORD*>(::LockResource(mem)) : nullptr;
    if (!data || data[0] != 1) return false;
    int count = data[3];
    const WORD* ids = data + 4;

    toolBar_ = ::CreateWindowExA(0, TOOLBARCLASSNAMEA, "",
                                 WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | TBSTYLE_FLAT | TBSTYLE_TRANSPARENT |
                                     TBSTYLE_TOOLTIPS | CCS_NODIVIDER | CCS_NORESIZE | CCS_NOPARENTALIGN,
                                 0, 0, 0, 0, m_hWnd, reinterpret_cast<HMENU>(static_cast<UINT_PTR>(kToolBarId)),
                                 AppInstance(), nullptr);
    if (!toolBar_) return false;
    ::SendMessageA(toolBar_, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
    SetToolBarPictures();
    std::vector<TBBUTTON> buttons;
    int image = 0;
    for (int i = 0; i < count; ++i) {
        TBBUTTON b {};
        if (ids[i] == 0) {
            b.fsStyle = BTNS_SEP;
        } else {
            b.iBitmap = image++;
            b.idCommand = ids[i];
            b.fsState = TBSTATE_ENABLED;
            b.fsStyle = BTNS_BUTTON;
        }
        buttons.push_back(b);
    }
    if (!::SendMessageA(toolBar_, TB_ADDBUTTONSA, buttons.size(), reinterpret_cast<LPARAM>(buttons.data())))
        return false;
    ::SendMessageA(toolBar_, TB_AUTOSIZE, 0, 0);
    return true;
}

void CMainFrame::CreateRebar() {
    rebar_ = ::CreateWindowExA(WS_EX_TOOLWINDOW, REBARCLASSNAMEA, "",
                               WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN | RBS_BANDBORDERS |
                                   RBS_VARHEIGHT | CCS_NODIVIDER | CCS_TOP,
                               0, 0, 0, 0, m_hWnd, reinterpret_cast<HMENU>(static_cast<UINT_PTR>(kRebarId)),
                               AppInstance(), nullptr);
    if (!rebar_) return;
    ::SetParent(toolBar_, rebar_);
    ::SendMessageA(toolBar_, TB_SETPARENT, reinterpret_cast<WPARAM>(m_hWnd), 0);

    animation_ = ::CreateWindowExA(0, ANIMATE_CLASSA, "", WS_CHILD | WS_VISIBLE | ACS_TRANSPARENT, 0, 0,
                                   ScaleToDpi(48, dpi_), ScaleToDpi(16, dpi_), rebar_, nullptr, AppInstance(), nullptr);
    OpenBusyClip();

    REBARBANDINFOA band {};
    band.cbSize = sizeof band;
    band.fMask = RBBIM_CHILD | RBBIM_STYLE;
    band.fStyle = RBBS_CHILDEDGE | RBBS_GRIPPERALWAYS;
    band.hwndChild = toolBar_;
    ::SendMessageA(rebar_, RB_INSERTBANDA, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&band));
    if (animation_) {
        REBARBANDINFOA anim {};
        anim.cbSize = sizeof anim;
        anim.fMask = RBBIM_CHILD | RBBIM_STYLE;
        anim.fStyle = RBBS_CHILDEDGE | RBBS_FIXEDSIZE;
        anim.hwndChild = animation_;
        ::SendMessageA(rebar_, RB_INSERTBANDA, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&anim));
    }
    SizeRebarBands();
}

void CMainFrame::SetOutBarPictures() {
    HIMAGELIST large = LoadPictureStrip(IDB_OUTBAR_IMAGES, 16, dpi_);
    HIMAGELIST small = CreateEmptyPictureList(16, dpi_);
    outBar_.setImageList(large, 2);
    outBar_.setImageList(small, 1);
    outBar_.setDpi(dpi_);
    // The bar uses the new lists from here on: the old ones can go.
    if (outBarImages_) ::ImageList_Destroy(outBarImages_);
    if (outBarSmallImages_) ::ImageList_Destroy(outBarSmallImages_);
    outBarImages_ = large;
    outBarSmallImages_ = small;
}

void CMainFrame::SetToolBarPictures() {
    HIMAGELIST pictures = LoadPictureStrip(IDB_TOOLBAR_IMAGES, 16, dpi_);
    // The toolbar takes its button size from the pictures.
    ::SendMessageA(toolBar_, TB_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(pictures));
    ::SendMessageA(toolBar_, TB_SETDISABLEDIMAGELIST, 0, reinterpret_cast<LPARAM>(pictures));
    if (toolImages_) ::ImageList_Destroy(toolImages_);
    toolImages_ = pictures;
}

void CMainFrame::OpenBusyClip() {
    busyClipSize_ = SIZE {ScaleToDpi(48, dpi_), ScaleToDpi(16, dpi_)};
    if (!animation_) return;
    // Without ACS_CENTER the control takes the size of the clip it opens.
    ::SendMessageA(animation_, ACM_OPENA, reinterpret_cast<WPARAM>(AppInstance()),
                   reinterpret_cast<LPARAM>(MAKEINTRESOURCEA(PictureIdForDpi(IDR_BUSY_AVI, dpi_))));
    RECT clip {};
    ::GetClientRect(animation_, &clip);
    if (clip.right > 0 && clip.bottom > 0) busyClipSize_ = SIZE {clip.right, clip.bottom};
}

void CMainFrame::SizeRebarBands() {
    if (!rebar_) return;
    HBITMAP back = ::LoadBitmapA(AppInstance(), MAKEINTRESOURCEA(PictureIdForDpi(IDB_REBAR_BACK, dpi_)));
    SIZE size {};
    ::SendMessageA(toolBar_, TB_GETMAXSIZE, 0, reinterpret_cast<LPARAM>(&size));
    REBARBANDINFOA band {};
    band.cbSize = sizeof band;
    band.fMask = RBBIM_CHILDSIZE | RBBIM_SIZE | (back ? RBBIM_BACKGROUND : 0);
    band.cxMinChild = size.cx;
    band.cyMinChild = std::max<int>(size.cy, ScaleToDpi(22, dpi_));
    band.cx = size.cx + ScaleToDpi(40, dpi_);
    band.hbmBack = back;
    ::SendMessageA(rebar_, RB_SETBANDINFOA, 0, reinterpret_cast<LPARAM>(&band));
    if (rebarBack_) ::DeleteObject(rebarBack_);
    rebarBack_ = back;
    if (animation_) {
        REBARBANDINFOA anim {};
        anim.cbSize = sizeof anim;
        anim.fMask = RBBIM_CHILDSIZE;
        anim.cxMinChild = busyClipSize_.cx;
        anim.cyMinChild = busyClipSize_.cy;
        ::SendMessageA(rebar_, RB_SETBANDINFOA, 1, reinterpret_cast<LPARAM>(&anim));
    }
}

void CMainFrame::SetBarFonts() {
    HFONT bold = CreateFontForDpi(messageBarFont_, SystemDpi(), dpi_, FW_BOLD);
    ::SendMessageA(messageBar_, WM_SETFONT, reinterpret_cast<WPARAM>(bold), TRUE);
    if (messageFont_) ::DeleteObject(messageFont_);
    messageFont_ = bold;
    // At the system DPI the status bar keeps the font it was made with.
    HFONT status = dpi_ != SystemDpi() ? CreateFontForDpi(statusBarFont_, SystemDpi(), dpi_) : nullptr;
    if (status || statusFont_) {
        ::SendMessageA(statusBar_, WM_SETFONT, reinterpret_cast<WPARAM>(status ? status : statusBarOwnFont_), TRUE);
        if (statusFont_) ::DeleteObject(statusFont_);
        statusFont_ = status;
    }
}

void CMainFrame::OnDpiChanged(UINT dpi, const RECT* suggested) {
    if (dpi && dpi != dpi_) {
        dpi_ = dpi;
        splitter_.SetDpi(dpi);
        view_.SetDpi(dpi);
        SetOutBarPictures();
        splitter_.WidenLeftColumn(outBar_.captionWidth());
        if (toolBar_) {
            SetToolBarPictures();
            ::SendMessageA(toolBar_, TB_AUTOSIZE, 0, 0);
        }
        OpenBusyClip();
        SizeRebarBands();
        if (messageBar_ && statusBar_) SetBarFonts();
    }
    if (suggested)
        ::SetWindowPos(m_hWnd, nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
                       suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
    Layout();
    Invalidate();
}

void CMainFrame::CreateNotifier() {
    notifier_.CreateWnd(m_hWnd);
    notifier_.LoadSkin(IDB_NOTIFIER_SKIN);
    notifier_.SetFonts("tahoma", 85, 0, 0);
    notifier_.SetColors(RGB(0, 0, 0), 0xC80000);
    // The margins of the skin's drawing at 100%, in the drawing the popup took for its scale.
    const UINT dpi = notifier_.Dpi();
    notifier_.SetTextArea(PictureSizeForDpi(15, dpi), PictureSizeForDpi(30, dpi),
                          notifier_.skinWidth - PictureSizeForDpi(10, dpi),
                          notifier_.skinHeight - PictureSizeForDpi(30, dpi));
}

void CMainFrame::Layout() {
    if (!splitter_.m_hWnd) return;
    RECT rc = ClientRect();
    int top = 0, bottom = rc.bottom;
    if (rebar_) {
        ::SendMessageA(rebar_, WM_SIZE, 0, 0);
        RECT r;
        ::GetWindowRect(rebar_, &r);
        top = r.bottom - r.top;
    }
    if (messageBar_) {
        HDC dc = ::GetDC(messageBar_);
        HGDIOBJ old = ::SelectObject(dc, messageFont_);
        TEXTMETRICA tm {};
        ::GetTextMetricsA(dc, &tm);
        ::SelectObject(dc, old);
        ::ReleaseDC(messageBar_, dc);
        int h = tm.tmHeight + ScaleToDpi(8, dpi_);
        ::MoveWindow(messageBar_, 0, top, rc.right, h, TRUE);
        top += h;
    }
    if (statusBar_ && ::IsWindowVisible(statusBar_)) {
        ::SendMessageA(statusBar_, WM_SIZE, 0, 0);
        RECT r;
        ::GetWindowRect(statusBar_, &r);
        bottom -= r.bottom - r.top;
    }
    ::MoveWindow(splitter_.m_hWnd, 0, top, rc.right, bottom > top ? bottom - top : 0, TRUE);
}

void CMainFrame::SetStatusText(const std::string& text, int target) {
    HWND bar = target == 0 ? messageBar_ : ::GetDlgItem(m_hWnd, IDW_STATUS_BAR);
    if (bar) ::SendMessageA(bar, SB_SETTEXTA, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

void CMainFrame::ShowNotifierText(const std::string& text) {
    if (taskNotify && notifier_.IsWindow()) notifier_.ShowText(text, 200, 10000, 200);
}

void CMainFrame::ShowNotifierText(UINT stringId) {
    if (!taskNotify) return;
    if (notifier_.IsWindow()) notifier_.ShowText(LoadStr(stringId), 200, 10000, 200);
    else if (m_hWnd) ::SetTimer(m_hWnd, kStartupNotifierTimer, 500, nullptr);
}

void CMainFrame::OnTimer(UINT_PTR id) {
    if (id == kStartupNotifierTimer) {
        ::KillTimer(m_hWnd, kStartupNotifierTimer);
        ShowNotifierText(IDS_NOTIFY_UNNEEDED_FILES);
    }
}

void CMainFrame::PlayNotifySound() {
    if (playSound)
        ::PlaySoundA(MAKEINTRESOURCEA(IDR_NOTIFY_WAVE), AppInstance(), SND_RESOURCE | SND_ASYNC);
}

void CMainFrame::StartBusyAnimation() {
    if (animation_) ::SendMessageA(animation_, ACM_PLAY, static_cast<WPARAM>(-1), MAKELONG(0, 0xFFFF));
}

void CMainFrame::StopBusyAnimation() {
    if (animation_) ::SendMessageA(animation_, ACM_STOP, 0, 0);
    Invalidate();
}

void CMainFrame::SetColumns(int listMode) {
    int n = 0;
    for (const ColumnSpec& c : ColumnsFor(listMode)) {
        LVCOLUMNA col {};
        col.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT | LVCF_SUBITEM;
        col.fmt = LVCFMT_LEFT;
        col.cx = ScaleToDpi(c.width, dpi_);
        col.pszText = const_cast<char*>(c.title);
        col.iSubItem = n;
        view_.Send(LVM_INSERTCOLUMNA, n++, reinterpret_cast<LPARAM>(&col));
        view_.columnWidths.push_back(col.cx);
    }
}

void CMainFrame::OnFolderSelected(int folder) {
    CWrenlyView* view = GetListView();
    if (!view) return;
    if (messageBar_) SetStatusText("", 0);
    if (notifier_.IsWindow()) notifier_.HideNow();
    UINT folderId = outBar_.getFolderData(folder);
    if (folderId < IDF_STARTUP || folderId > IDF_DUPLICATES) return;

    ::SetWindowLongA(view->m_hWnd, GWL_STYLE,
                     (::GetWindowLongA(view->m_hWnd, GWL_STYLE) & ~LVS_TYPEMASK) | LVS_REPORT);
    view->DeleteAll();
    for (int n = view->ColumnCount(); n > 0; --n) view->Send(LVM_DELETECOLUMN, 0);
    view->columnWidths.clear();

    auto checkBoxes = [view](bool on) {
        view->Send(LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_CHECKBOXES, on ? LVS_EX_CHECKBOXES : 0);
    };
    switch (folderId) {
    case IDF_STARTUP:
        // The check boxes go on before the scan fills the rows, so the states it sets stay.
        SetColumns(kListStartupPrograms);
        view->SetListMode(kListStartupPrograms);
        checkBoxes(true);
        kTools[folder].onSelect(*this, *view);
        break;
    case IDF_REGISTRY:
        view->SetListMode(kListRegistry);
        checkBoxes(false);
        SetColumns(kListRegistry);
        ShowNotifierText(IDS_NOTIFY_REGISTRY);
        break;
    case IDF_UNNEEDED_FILES:
        view->SetListMode(kListUnneededFiles);
        ShowNotifierText(IDS_NOTIFY_UNNEEDED_FILES);
        checkBoxes(false);
        SetColumns(kListUnneededFiles);
        break;
    case IDF_SHORTCUTS:
        view->SetListMode(kListInvalidShortcuts);
        checkBoxes(false);
        SetColumns(kListInvalidShortcuts);
        break;
    case IDF_HISTORY:
        view->SetListMode(kListHistory);
        checkBoxes(true);
        SetColumns(kListHistory);
        kTools[folder].onSelect(*this, *view);
        break;
    case IDF_DUPLICATES:
        view->SetListMode(kListDuplicates);
        checkBoxes(false);
        SetColumns(kListDuplicates);
        break;
    }
}

void CMainFrame::OnItemClicked(int item) {
    RunToolCommand(outBar_.getItemData(item));
}

void CMainFrame::RunToolCommand(UINT toolCommandId) {
    ::SetCapture(m_hWnd);
    if (const ToolCommand* command = FindToolCommand(toolCommandId)) RunToolCommand(*command);
}

void CMainFrame::RunToolCommand(const ToolCommand& cmd) {
    CWrenlyView* view = GetListView();
    if (!view) return;
    if (cmd.busyAnimation) StartBusyAnimation();
    cmd.run(*this, *view);
    if (cmd.busyAnimation) StopBusyAnimation();
    if (cmd.notifySound) PlayNotifySound();
    if (CWrenlyView* v = GetListView()) v->Invalidate();
    if (toolBar_) ::InvalidateRect(toolBar_, nullptr, TRUE);
    if (animation_) ::InvalidateRect(animation_, nullptr, TRUE);
}

void CMainFrame::SelectToolFolder(int scanMode) { outBar_.setSelFolder(scanMode); }

void CMainFrame::ShowIdlePrompt() {
    if (statusBar_) ::SendMessageA(statusBar_, SB_SETTEXTA, 0, reinterpret_cast<LPARAM>(kIdlePrompt));
}

void CMainFrame::ShowPrompt(UINT id) {
    std::string prompt = LoadStr(id);
    if (prompt.empty()) prompt = kIdlePrompt;
    if (statusBar_) ::SendMessageA(statusBar_, SB_SETTEXTA, 0, reinterpret_cast<LPARAM>(prompt.c_str()));
}

void CMainFrame::OnOptions() {
    if (ReadSettingInt("Settings", "CtxMnuOptionsTip", 0) == 0) {
        WriteSettingInt("Settings", "CtxMnuOptionsTip", 1);
        MessageBoxText("Tip:-  right-click on the listview for quick access to options");
    }
    OpenOptionsSheetOn(0);
}

void CMainFrame::OpenOptionsSheetOn(int page) {
    OpenOptionsSheet(page, view_.settings, taskNotify, playSound,
                     [](const KeptItem& item) { return StartupEntryExists(item.path, item.detail); });
}

void CMainFrame::OnHelpForTool() {
    int folder = outBar_.m_hWnd ? outBar_.getSelFolder() : -1;
    if (folder >= 0 && folder < 6) OpenHelpTopic(kToolHelpTopics[folder]);
    else OpenHelpTopic(kHelpContents);
}

void CMainFrame::OnAutoSizeColumns() {
    HCURSOR old = ::SetCursor(::LoadCursor(nullptr, IDC_WAIT));
    int n = view_.ColumnCount();
    for (int i = 0; i < n; ++i)
        view_.Send(LVM_SETCOLUMNWIDTH, i, i == n - 1 ? LVSCW_AUTOSIZE_USEHEADER : LVSCW_AUTOSIZE);
    ::SetCursor(old);
}

void CMainFrame::NextPane(bool) {
    HWND focus = ::GetFocus();
    ::SetFocus(focus == view_.m_hWnd ? outBar_.m_hWnd : view_.m_hWnd);
}

void CMainFrame::InitMenuPopup(HMENU menu) {
    ::CheckMenuItem(menu, ID_VIEW_STATUSBAR,
                    MF_BYCOMMAND | (statusBar_ && ::IsWindowVisible(statusBar_) ? MF_CHECKED : MF_UNCHECKED));
    ::CheckMenuItem(menu, ID_VIEW_SAVE_POSITION, MF_BYCOMMAND | (savePositionOnExit ? MF_CHECKED : MF_UNCHECKED));
    UpdateItemCommandMenu(menu, view_);
}

void CMainFrame::ShowStartupTip() { ShowTipAtStartup(m_hWnd); }

void CMainFrame::OnClose() {
    if (savePositionOnExit && !::IsZoomed(m_hWnd) && !::IsIconic(m_hWnd)) {
        RECT rc = WindowRect();
        WriteSettingInt("Settings", "x", rc.left);
        WriteSettingInt("Settings", "y", rc.top);
        WriteSettingInt("Settings", "cx", rc.right - rc.left);
        WriteSettingInt("Settings", "cy", rc.bottom - rc.top);
    }
    ::DestroyWindow(m_hWnd);
}
