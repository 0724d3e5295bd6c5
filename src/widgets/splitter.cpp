#include "widgets/splitter.h"

#include "framework/dpi.h"

#include <windowsx.h>

CSplitterWnd::CSplitterWnd() {
    OnMessage(WM_SIZE, [this](WPARAM, LPARAM) {
        RecalcLayout();
        return LRESULT(0);
    });
    OnMessage(WM_PAINT, [this](WPARAM, LPARAM) {
        Paint();
        return LRESULT(0);
    });
    OnMessage(WM_ERASEBKGND, [](WPARAM, LPARAM) { return LRESULT(1); });
    OnMessage(WM_SETCURSOR, [this](WPARAM w, LPARAM l) {
        if (reinterpret_cast<HWND>(w) == m_hWnd && LOWORD(l) == HTCLIENT) {
            ::SetCursor(::LoadCursor(nullptr, IDC_SIZEWE));
            return LRESULT(TRUE);
        }
        return Default();
    });
    OnMessage(WM_LBUTTONDOWN, [this](WPARAM, LPARAM l) {
        RECT bar = BarRect();
        POINT pt {GET_X_LPARAM(l), GET_Y_LPARAM(l)};
        if (::PtInRect(&bar, pt)) {
            dragging_ = true;
            dragOffset_ = pt.x - bar.left;
            ::SetCapture(m_hWnd);
        }
        return LRESULT(0);
    });
    OnMessage(WM_MOUSEMOVE, [this](WPARAM, LPARAM l) {
        if (dragging_) {
            RECT rc = ClientRect();
            int x = GET_X_LPARAM(l) - dragOffset_;
            if (x < leftMin_) x = leftMin_;
            if (x > rc.right - BarWidth() - rightMin_) x = rc.right - BarWidth() - rightMin_;
            if (x < 0) x = 0;
            leftWidth_ = x;
            chosenLeft96_ = ::MulDiv(x, kBaseDpi, static_cast<int>(dpi_));
            RecalcLayout();
        }
        return LRESULT(0);
    });
    OnMessage(WM_LBUTTONUP, [this](WPARAM, LPARAM) {
        if (dragging_) {
            dragging_ = false;
            ::ReleaseCapture();
        }
        return LRESULT(0);
    });
    OnMessage(WM_CAPTURECHANGED, [this](WPARAM, LPARAM) {
        dragging_ = false;
        return LRESULT(0);
    });
    // Messages a pane sends to its parent that belong to the frame (not notifications, which the
    // panes handle themselves) go on up.
    OnMessage(WM_USER + 1, [this](WPARAM w, LPARAM l) { return ::SendMessageA(::GetParent(m_hWnd), WM_USER + 1, w, l); });
}

void CSplitterWnd::AdjustClass(WNDCLASSEXA& wc) const {
    wc.hCursor = nullptr;
    wc.hbrBackground = nullptr;
}

bool CSplitterWnd::CreateSplitter(HWND parent, UINT id) {
    RECT rc {0, 0, 100, 100};
    if (!Create(parent, rc, "", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, 0,
                reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id))))
        return false;
    dpi_ = WindowDpi(m_hWnd);
    return true;
}

int CSplitterWnd::BarWidth() const { return ScaleToDpi(6, dpi_); }

void CSplitterWnd::SetDpi(UINT dpi) {
    if (!dpi || dpi == dpi_) return;
    auto rescale = [&](int& v) { v = ::MulDiv(v, static_cast<int>(dpi), static_cast<int>(dpi_)); };
    leftWidth_ = ScaleToDpi(chosenLeft96_, dpi);
    rescale(rightIdeal_);
    rescale(leftMin_);
    rescale(rightMin_);
    dpi_ = dpi;
    RecalcLayout();
    Invalidate();
}

void CSplitterWnd::SetPanes(HWND left, HWND right) {
    left_ = left;
    right_ = right;
    RecalcLayout();
}

void CSplitterWnd::SetColumnInfo(int column, int ideal, int minimum) {
    if (column == 0) {
        leftWidth_ = ideal;
        chosenLeft96_ = ::MulDiv(ideal, kBaseDpi, static_cast<int>(dpi_));
        leftMin_ = minimum;
    } else {
        rightIdeal_ = ideal;
        rightMin_ = minimum;
    }
}

void CSplitterWnd::WidenLeftColumn(int width) {
    if (width <= leftWidth_) return;
    leftWidth_ = width;
    RecalcLayout();
}

RECT CSplitterWnd::BarRect() const {
    RECT rc = ClientRect();
    return RECT {leftWidth_, 0, leftWidth_ + BarWidth(), rc.bottom};
}

void CSplitterWnd::RecalcLayout() {
    if (!m_hWnd) return;
    RECT rc = ClientRect();
    int left = leftWidth_;
    if (left > rc.right - BarWidth()) left = rc.right - BarWidth() > 0 ? rc.right - BarWidth() : 0;
    if (left_) ::MoveWindow(left_, 0, 0, left, rc.bottom, TRUE);
    if (right_) {
        int x = left + BarWidth();
        ::MoveWindow(right_, x, 0, rc.right - x > 0 ? rc.right - x : 0, rc.bottom, TRUE);
    }
    RECT bar = BarRect();
    ::InvalidateRect(m_hWnd, &bar, TRUE);
}

void CSplitterWnd::Paint() {
    PAINTSTRUCT ps;
    HDC dc = ::BeginPaint(m_hWnd, &ps);
    RECT bar = BarRect();
    ::FillRect(dc, &bar, ::GetSysColorBrush(COLOR_3DFACE));
    RECT edge = bar;
    ::DrawEdge(dc, &edge, EDGE_RAISED, BF_LEFT | BF_RIGHT);
    ::EndPaint(m_hWnd, &ps);
}
