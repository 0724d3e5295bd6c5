#include "widgets/notifier.h"

#include "framework/dpi.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

// Two places are "the same" edge when they are less than this many pixels apart.
constexpr int kEdgeSlack = 20;

bool Near(int a, int b) { return std::abs(a - b) < kEdgeSlack; }

HFONT CopyOfGuiFont(bool underline, UINT dpi) {
    LOGFONTA lf {};
    ::GetObjectA(::GetStockObject(DEFAULT_GUI_FONT), sizeof lf, &lf);
    lf.lfUnderline = underline ? TRUE : FALSE;
    return CreateFontForDpi(lf, SystemDpi(), dpi);
}

// `skin` with the rows from `top` to `bottom` stretched by `grow` rows; the rows above and below
// stay as they are.
HBITMAP StretchedSkin(HBITMAP skin, int top, int bottom, int grow) {
    BITMAP bm {};
    if (!::GetObjectA(skin, sizeof bm, &bm) || top < 0 || bottom <= top || bottom > bm.bmHeight) return nullptr;
    HDC screen = ::GetDC(nullptr);
    HBITMAP out = ::CreateCompatibleBitmap(screen, bm.bmWidth, bm.bmHeight + grow);
    HDC from = ::CreateCompatibleDC(screen);
    HDC to = ::CreateCompatibleDC(screen);
    ::ReleaseDC(nullptr, screen);
    HGDIOBJ oldFrom = ::SelectObject(from, skin);
    HGDIOBJ oldTo = ::SelectObject(to, out);
    ::BitBlt(to, 0, 0, bm.bmWidth, top, from, 0, 0, SRCCOPY);
    // Whole pixels only: a blend would make colours that are neither the skin nor transparent.
    ::SetStretchBltMode(to, COLORONCOLOR);
    ::StretchBlt(to, 0, top, bm.bmWidth, bottom - top + grow, from, 0, top, bm.bmWidth, bottom - top, SRCCOPY);
    ::BitBlt(to, 0, bottom + grow, bm.bmWidth, bm.bmHeight - bottom, from, 0, bottom, SRCCOPY);
    ::SelectObject(from, oldFrom);
    ::SelectObject(to, oldTo);
    ::DeleteDC(from);
    ::DeleteDC(to);
    return out;
}

UINT TimerResolutionOfSystem() {
    OSVERSIONINFOA v {};
    v.dwOSVersionInfoSize = sizeof v;
    // The NT family's timers are fine-grained; the Windows 9x ones tick at about 55 ms.
    if (::GetVersionExA(&v) && v.dwPlatformId == VER_PLATFORM_WIN32_NT) return 10;
    return 50;
}

}  // namespace

CTaskbarNotifier::CTaskbarNotifier() {
    dpi_ = SystemDpi();
    normalFont = CopyOfGuiFont(false, dpi_);
    hoverFont = CopyOfGuiFont(true, dpi_);
    timerResolution = TimerResolutionOfSystem();

    OnMessage(WM_TIMER, [this](WPARAM id, LPARAM) {
        OnTimer(id);
        return LRESULT(0);
    });
    OnMessage(WM_MOUSEMOVE, [this](WPARAM, LPARAM) {
        TRACKMOUSEEVENT tme {sizeof tme, TME_HOVER | TME_LEAVE, m_hWnd, 1};
        ::TrackMouseEvent(&tme);
        return LRESULT(0);
    });
    OnMessage(WM_MOUSEHOVER, [this](WPARAM, LPARAM) {
        if (!hovering) {
            hovering = true;
            Invalidate();
        }
        return LRESULT(0);
    });
    OnMessage(WM_MOUSELEAVE, [this](WPARAM, LPARAM) {
        if (hovering) {
            hovering = false;
            Invalidate();
        }
        return LRESULT(0);
    });
    OnMessage(WM_LBUTTONUP, [this](WPARAM, LPARAM) {
        HideNow();
        return LRESULT(0);
    });
    OnMessage(WM_ERASEBKGND, [this](WPARAM dc, LPARAM) {
        DrawSkin(reinterpret_cast<HDC>(dc));
        return LRESULT(TRUE);
    });
    OnMessage(WM_PAINT, [this](WPARAM, LPARAM) {
        PAINTSTRUCT ps;
        HDC dc = ::BeginPaint(m_hWnd, &ps);
        DrawLabel(dc);
        ::EndPaint(m_hWnd, &ps);
        return LRESULT(0);
    });
}

CTaskbarNotifier::~CTaskbarNotifier() {
    Destroy();
    if (skinBitmap && skinBitmap != loadedSkin_) ::DeleteObject(skinBitmap);
    if (loadedSkin_) ::DeleteObject(loadedSkin_);
    if (normalFont) ::DeleteObject(normalFont);
    if (hoverFont) ::DeleteObject(hoverFont);
}

void CTaskbarNotifier::AdjustClass(WNDCLASSEXA& wc) const {
    wc.style = CS_DBLCLKS | CS_SAVEBITS;
    wc.hCursor = ::LoadCursor(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
}

bool CTaskbarNotifier::CreateWnd(HWND owner) {
    RECT none {0, 0, 0, 0};
    if (!Create(owner, none, "", WS_POPUP, WS_EX_TOPMOST)) return false;
    SetDpi(WindowDpi(m_hWnd));
    return true;
}

bool CTaskbarNotifier::LoadSkin(UINT bitmapId, int, int, int) {
    auto load = [](UINT id) {
        return static_cast<HBITMAP>(
            ::LoadImageA(AppInstance(), MAKEINTRESOURCEA(id), IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
    };
    // A skin drawn for the scale, else the one there is.
    HBITMAP bitmap = load(PictureIdForDpi(bitmapId, dpi_));
    if (!bitmap) bitmap = load(bitmapId);
    if (!bitmap) return false;
    UseSkin(bitmap, true, RGB(255, 0, 255));
    skinId_ = bitmapId;
    return true;
}

bool CTaskbarNotifier::LoadSkinFromFile(const std::string& fileName, int red, int green, int blue) {
    auto bitmap = static_cast<HBITMAP>(::LoadImageA(nullptr, fileName.c_str(), IMAGE_BITMAP, 0, 0,
                                                    LR_LOADFROMFILE | LR_CREATEDIBSECTION));
    if (!bitmap) return false;
    bool cut = red != 0xFFFF && green < 0xFFFF && blue < 0xFFFF;
    UseSkin(bitmap, cut, RGB(red & 0xFF, green & 0xFF, blue & 0xFF));
    skinId_ = 0;
    return true;
}

void CTaskbarNotifier::UseSkin(HBITMAP bitmap, bool cutShape, COLORREF transparent) {
    if (skinBitmap && skinBitmap != loadedSkin_) ::DeleteObject(skinBitmap);
    if (loadedSkin_) ::DeleteObject(loadedSkin_);
    loadedSkin_ = skinBitmap = bitmap;
    grownBy_ = 0;
    BITMAP bm {};
    ::GetObjectA(bitmap, sizeof bm, &bm);
    skinWidth = bm.bmWidth;
    skinHeight = loadedHeight_ = bm.bmHeight;
    textArea = RECT {0, 0, skinWidth, skinHeight};
    cutShape_ = cutShape;
    transparent_ = transparent;
    SetShape();
}

void CTaskbarNotifier::SetShape() {
    if (!IsWindow() || !skinBitmap) return;
    // The window owns the region from here on.
    ::SetWindowRgn(m_hWnd, cutShape_ ? BuildSkinRegion(skinBitmap, transparent_) : nullptr, TRUE);
}

void CTaskbarNotifier::FitSkinToText(const std::string& shown) {
    if (!loadedSkin_) return;
    const int room = textArea.bottom - textArea.top - grownBy_;
    int needed = 0;
    HDC dc = ::GetDC(nullptr);
    for (HFONT font : {normalFont, hoverFont}) {
        HGDIOBJ old = ::SelectObject(dc, font);
        RECT rc {0, 0, textArea.right - textArea.left, 0};
        ::DrawTextA(dc, shown.c_str(), static_cast<int>(shown.size()), &rc,
                    (drawFlags & ~(DT_VCENTER | DT_BOTTOM | DT_END_ELLIPSIS)) | DT_CALCRECT);
        ::SelectObject(dc, old);
        needed = std::max<int>(needed, rc.bottom - rc.top);
    }
    ::ReleaseDC(nullptr, dc);
    const int grow = std::max(0, needed - room);
    if (grow == grownBy_) return;
    HBITMAP skin = loadedSkin_;
    if (grow > 0) {
        skin = StretchedSkin(loadedSkin_, textArea.top, textArea.bottom - grownBy_, grow);
        if (!skin) return;
    }
    if (skinBitmap != loadedSkin_) ::DeleteObject(skinBitmap);
    skinBitmap = skin;
    textArea.bottom += grow - grownBy_;
    grownBy_ = grow;
    skinHeight = loadedHeight_ + grow;
    SetShape();
}

void CTaskbarNotifier::SetDpi(UINT dpi) {
    if (!dpi || dpi == dpi_) return;
    dpi_ = dpi;
    MakeFonts();
    if (skinId_ && loadedSkin_) {
        // The text area keeps its place on the skin's drawing for the new scale.
        const int oldWidth = skinWidth, oldHeight = loadedHeight_;
        RECT area = textArea;
        area.bottom -= grownBy_;
        const UINT id = skinId_;
        if (LoadSkin(id) && oldWidth > 0 && oldHeight > 0) {
            textArea = RECT {::MulDiv(area.left, skinWidth, oldWidth), ::MulDiv(area.top, skinHeight, oldHeight),
                             ::MulDiv(area.right, skinWidth, oldWidth), ::MulDiv(area.bottom, skinHeight, oldHeight)};
        }
    }
    if (IsWindow()) Invalidate();
}

HRGN CTaskbarNotifier::BuildSkinRegion(HBITMAP bitmap, COLORREF transparent) {
    BITMAP bm {};
    if (!bitmap || !::GetObjectA(bitmap, sizeof bm, &bm) || bm.bmWidth <= 0 || bm.bmHeight <= 0)
        return ::CreateRectRgn(0, 0, 0, 0);
    const int width = bm.bmWidth, height = bm.bmHeight;

    // The pixels as 32-bit blue, green, red, unused; rows from the top.
    BITMAPINFO bi {};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = width;
    bi.bmiHeader.biHeight = -height;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    bi.bmiHeader.biCompression = BI_RGB;
    std::vector<DWORD> pixels(static_cast<size_t>(width) * height);
    HDC screen = ::GetDC(nullptr);
    int rows = ::GetDIBits(screen, bitmap, 0, height, pixels.data(), &bi, DIB_RGB_COLORS);
    ::ReleaseDC(nullptr, screen);
    if (rows != height) return ::CreateRectRgn(0, 0, 0, 0);

    const DWORD key = (GetRValue(transparent) << 16) | (GetGValue(transparent) << 8) | GetBValue(transparent);
    std::vector<RECT> runs;
    for (int row = height - 1; row >= 0; --row) {
        const DWORD* line = &pixels[static_cast<size_t>(row) * width];
        int col = 0;
        while (col < width) {
            while (col < width && (line[col] & 0xFFFFFF) == key) ++col;
            int start = col;
            while (col < width && (line[col] & 0xFFFFFF) != key) ++col;
            if (col > start) {
                if (runs.size() == runs.capacity()) runs.reserve(runs.capacity() + 40);
                runs.push_back(RECT {start, row, col, row + 1});
            }
        }
    }
    if (runs.empty()) return ::CreateRectRgn(0, 0, 0, 0);

    // One region per batch: older systems refuse very long rectangle lists.
    const size_t kBatch = 2000;
    HRGN result = nullptr;
    for (size_t first = 0; first < runs.size(); first += kBatch) {
        size_t n = std::min(kBatch, runs.size() - first);
        std::vector<BYTE> buffer(sizeof(RGNDATAHEADER) + n * sizeof(RECT));
        auto* data = reinterpret_cast<RGNDATA*>(buffer.data());
        data->rdh.dwSize = sizeof(RGNDATAHEADER);
        data->rdh.iType = RDH_RECTANGLES;
        data->rdh.nCount = static_cast<DWORD>(n);
        data->rdh.nRgnSize = static_cast<DWORD>(n * sizeof(RECT));
        data->rdh.rcBound = RECT {0, 0, width, height};
        std::memcpy(data->Buffer, &runs[first], n * sizeof(RECT));
        HRGN part = ::ExtCreateRegion(nullptr, static_cast<DWORD>(buffer.size()), data);
        if (!part) continue;
        if (!result) {
            result = part;
        } else {
            ::CombineRgn(result, result, part, RGN_OR);
            ::DeleteObject(part);
        }
    }
    return result ? result : ::CreateRectRgn(0, 0, 0, 0);
}

HFONT CTaskbarNotifier::MakeFont(int style) const {
    LOGFONTA lf {};
    lf.lfHeight = -::MulDiv(fontSize_, static_cast<int>(dpi_), 720);
    lf.lfWeight = (style & kBold) ? FW_BOLD : FW_NORMAL;
    lf.lfItalic = (style & kItalic) ? TRUE : FALSE;
    lf.lfUnderline = (style & kUnderline) ? TRUE : FALSE;
    lf.lfCharSet = DEFAULT_CHARSET;
    lstrcpynA(lf.lfFaceName, fontFace_.c_str(), LF_FACESIZE);
    return ::CreateFontIndirectA(&lf);
}

void CTaskbarNotifier::MakeFonts() {
    HFONT normal = fontFace_.empty() ? CopyOfGuiFont(false, dpi_) : MakeFont(normalStyle_);
    HFONT hover = fontFace_.empty() ? CopyOfGuiFont(true, dpi_) : MakeFont(hoverStyle_);
    if (normal) {
        if (normalFont) ::DeleteObject(normalFont);
        normalFont = normal;
    }
    if (hover) {
        if (hoverFont) ::DeleteObject(hoverFont);
        hoverFont = hover;
    }
}

void CTaskbarNotifier::SetFonts(const char* face, int size, int normalStyle, int hoverStyle) {
    // A face is needed to tell these fonts from the default ones.
    fontFace_ = face && *face ? face : "MS Shell Dlg";
    fontSize_ = size;
    normalStyle_ = normalStyle;
    hoverStyle_ = hoverStyle;
    MakeFonts();
    if (IsWindow()) Invalidate();
}

void CTaskbarNotifier::SetColors(COLORREF normal, COLORREF hover) {
    normalColor = normal;
    hoverColor = hover;
    if (IsWindow()) Invalidate();
}

void CTaskbarNotifier::SetTextArea(int left, int top, int right, int bottom) {
    // A skin grown for an earlier text goes back to its size as loaded, where the area is given.
    if (grownBy_) {
        if (skinBitmap != loadedSkin_) ::DeleteObject(skinBitmap);
        skinBitmap = loadedSkin_;
        skinHeight = loadedHeight_;
        grownBy_ = 0;
        SetShape();
    }
    textArea = RECT {left, top, right, bottom};
}

void CTaskbarNotifier::SetDrawFlags(UINT flags) { drawFlags = flags; }

TaskbarPlace CTaskbarNotifier::FindSystemTaskbar() {
    TaskbarPlace place {{0, 0, 0, 0}, ::GetSystemMetrics(SM_CXSCREEN)};
    HWND tray = ::FindWindowA("Shell_TrayWnd", nullptr);
    if (tray && ::IsWindowVisible(tray) && ::GetWindowRect(tray, &place.rect) && !::IsRectEmpty(&place.rect))
        return place;
    // No taskbar on the screen (another shell, or a hidden or empty one, as on some Wine
    // desktops): slide out of the bottom of the work area, as from a taskbar of no height
    // there, rather than from a corner off the screen.
    RECT work {};
    if (!::SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0))
        work = RECT {0, 0, place.screenWidth, ::GetSystemMetrics(SM_CYSCREEN)};
    place.rect = RECT {work.left, work.bottom, work.right, work.bottom};
    return place;
}

void CTaskbarNotifier::Steps(UINT time, int distance, UINT resolution, UINT& delay, int& step) {
    if (time > resolution) {
        int n = static_cast<int>(time / resolution);
        if (n > distance) n = distance;
        // Without a skin there is nothing to travel; one tick does it.
        if (n < 1) n = 1;
        delay = time / static_cast<UINT>(n);
        step = distance / n;
    } else {
        delay = resolution;
        step = distance;
    }
}

void CTaskbarNotifier::ShowText(const std::string& newText, UINT showTime, UINT stay, UINT hideTime) {
    if (!IsWindow()) return;
    text = newText;
    stayTime = stay;

    TaskbarPlace place = locateTaskbar ? locateTaskbar() : FindSystemTaskbar();
    taskbar = place.rect;
    // Drawn for the screen it comes out on, and as tall as the text needs.
    const SIZE before {skinWidth, skinHeight};
    SetDpi(DpiOfRect(taskbar));
    FitSkinToText(text);
    const bool resized = skinWidth != before.cx || skinHeight != before.cy;
    int distance;
    if (Near(taskbar.left, 0) && Near(taskbar.right, place.screenWidth)) {
        edge = Near(taskbar.top, 0) ? TaskbarEdge::Top : TaskbarEdge::Bottom;
        distance = skinHeight;
    } else {
        edge = Near(taskbar.left, 0) ? TaskbarEdge::Left : TaskbarEdge::Right;
        distance = skinWidth;
    }
    Steps(showTime, distance, timerResolution, showDelay, showStep);
    Steps(hideTime, distance, timerResolution, hideDelay, hideStep);

    switch (state) {
    case NotifierState::Hidden:
        // A strip of no thickness against the taskbar, at the taskbar's far end.
        switch (edge) {
        case TaskbarEdge::Bottom: x = taskbar.right - skinWidth; y = taskbar.top; w = skinWidth; h = 0; break;
        case TaskbarEdge::Top: x = taskbar.right - skinWidth; y = taskbar.bottom; w = skinWidth; h = 0; break;
        case TaskbarEdge::Right: x = taskbar.left; y = taskbar.bottom - skinHeight; w = 0; h = skinHeight; break;
        case TaskbarEdge::Left: x = taskbar.right; y = taskbar.bottom - skinHeight; w = 0; h = skinHeight; break;
        }
        PlaceWindow();
        ::ShowWindow(m_hWnd, SW_SHOWNOACTIVATE);
        ::SetTimer(m_hWnd, kAppearTimer, showDelay, nullptr);
        break;
    case NotifierState::Appearing:
    case NotifierState::Waiting:
        if (!resized) {
            Invalidate();
            if (state == NotifierState::Waiting) ::SetTimer(m_hWnd, kWaitTimer, stayTime, nullptr);
            break;
        }
        // A text that needs another size of skin shows at once in full, like one that comes
        // while the popup disappears.
        ::KillTimer(m_hWnd, kAppearTimer);
        [[fallthrough]];
    case NotifierState::Disappearing:
        ::KillTimer(m_hWnd, kDisappearTimer);
        ::SetTimer(m_hWnd, kWaitTimer, stayTime, nullptr);
        w = skinWidth;
        h = skinHeight;
        switch (edge) {
        case TaskbarEdge::Right: x = taskbar.left - skinWidth; y = taskbar.bottom - skinHeight; break;
        case TaskbarEdge::Left: x = taskbar.right; y = taskbar.bottom - skinHeight; break;
        case TaskbarEdge::Top: x = taskbar.right - skinWidth; y = taskbar.bottom; break;
        case TaskbarEdge::Bottom: x = taskbar.right - skinWidth; y = taskbar.top - skinHeight; break;
        }
        // Back at full size it waits again, and a further text only restarts the wait.
        state = NotifierState::Waiting;
        PlaceWindow();
        Invalidate();
        break;
    }
}

void CTaskbarNotifier::HideNow() {
    if (!IsWindow()) return;
    // Every movement timer goes, also one set by a ShowText whose first tick has not come yet.
    ::KillTimer(m_hWnd, kAppearTimer);
    ::KillTimer(m_hWnd, kWaitTimer);
    ::KillTimer(m_hWnd, kDisappearTimer);
    x = y = w = h = 0;
    // A hidden popup is under no mouse; it comes back in its normal look.
    hovering = false;
    ::MoveWindow(m_hWnd, 0, 0, 0, 0, FALSE);
    ::ShowWindow(m_hWnd, SW_HIDE);
    state = NotifierState::Hidden;
}

void CTaskbarNotifier::PlaceWindow() {
    ::SetWindowPos(m_hWnd, HWND_TOPMOST, x, y, w, h, SWP_NOACTIVATE);
}

void CTaskbarNotifier::OnTimer(UINT_PTR id) {
    switch (id) {
    case kAppearTimer: OnAppearTick(); break;
    case kWaitTimer:
        ::KillTimer(m_hWnd, kWaitTimer);
        ::SetTimer(m_hWnd, kDisappearTimer, hideDelay, nullptr);
        break;
    case kDisappearTimer: OnDisappearTick(); break;
    default: break;
    }
}

void CTaskbarNotifier::OnAppearTick() {
    state = NotifierState::Appearing;
    bool vertical = edge == TaskbarEdge::Left || edge == TaskbarEdge::Right;
    if (vertical ? w >= skinWidth : h >= skinHeight) {
        ::KillTimer(m_hWnd, kAppearTimer);
        ::SetTimer(m_hWnd, kWaitTimer, stayTime, nullptr);
        state = NotifierState::Waiting;
        return;
    }
    switch (edge) {
    case TaskbarEdge::Left: w += showStep; break;
    case TaskbarEdge::Top: h += showStep; break;
    case TaskbarEdge::Right: x -= showStep; w += showStep; break;
    case TaskbarEdge::Bottom: y -= showStep; h += showStep; break;
    }
    PlaceWindow();
}

void CTaskbarNotifier::OnDisappearTick() {
    state = NotifierState::Disappearing;
    bool usedUp = false;
    switch (edge) {
    case TaskbarEdge::Left: usedUp = w < 1; break;
    case TaskbarEdge::Top: usedUp = h < 1; break;
    case TaskbarEdge::Right: usedUp = w <= 0; break;
    case TaskbarEdge::Bottom: usedUp = h <= 0; break;
    }
    if (usedUp) {
        ::KillTimer(m_hWnd, kDisappearTimer);
        HideNow();
        return;
    }
    switch (edge) {
    case TaskbarEdge::Left: w -= hideStep; break;
    case TaskbarEdge::Top: h -= hideStep; break;
    case TaskbarEdge::Right: x += hideStep; w -= hideStep; break;
    case TaskbarEdge::Bottom: y += hideStep; h -= hideStep; break;
    }
    PlaceWindow();
}

void CTaskbarNotifier::DrawSkin(HDC dc) const {
    // The top-left part of the skin as large as the window is now.
    HDC mem = ::CreateCompatibleDC(dc);
    HGDIOBJ old = ::SelectObject(mem, skinBitmap);
    ::BitBlt(dc, 0, 0, w, h, mem, 0, 0, SRCCOPY);
    ::SelectObject(mem, old);
    ::DeleteDC(mem);
}

void CTaskbarNotifier::DrawLabel(HDC dc) const {
    ::SetBkMode(dc, TRANSPARENT);
    HGDIOBJ old = ::SelectObject(dc, hovering ? hoverFont : normalFont);
    ::SetTextColor(dc, hovering ? hoverColor : normalColor);
    RECT area = textArea;
    ::DrawTextA(dc, text.c_str(), static_cast<int>(text.size()), &area, drawFlags);
    ::SelectObject(dc, old);
}

void CTaskbarNotifier::Render(HDC dc) const {
    DrawSkin(dc);
    DrawLabel(dc);
}
