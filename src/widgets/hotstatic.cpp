#include "widgets/hotstatic.h"

#include "core/reghelpers.h"
#include "resource.h"

#include <shellapi.h>

CHotStatic::CHotStatic() {
    OnMessage(WM_PAINT, [this](WPARAM, LPARAM) { return OnPaint(); });
    OnMessage(WM_MOUSEMOVE, [this](WPARAM, LPARAM) {
        if (!hover_) {
            hover_ = true;
            TRACKMOUSEEVENT tme {sizeof tme, TME_LEAVE, m_hWnd, 0};
            ::TrackMouseEvent(&tme);
            Invalidate();
        }
        return LRESULT(0);
    });
    OnMessage(WM_MOUSELEAVE, [this](WPARAM, LPARAM) {
        hover_ = false;
        Invalidate();
        return LRESULT(0);
    });
    OnMessage(WM_SETCURSOR, [this](WPARAM, LPARAM) {
        if (cursor_) {
            ::SetCursor(cursor_);
            return LRESULT(TRUE);
        }
        return Default();
    });
    OnMessage(WM_LBUTTONUP, [this](WPARAM, LPARAM) {
        Open(Target());
        return LRESULT(0);
    });
}

CHotStatic::~CHotStatic() {
    Detach();
    if (font_) ::DeleteObject(font_);
}

bool CHotStatic::Attach(HWND staticControl) {
    if (!Subclass(staticControl)) return false;
    ::SetWindowLongA(m_hWnd, GWL_STYLE, ::GetWindowLongA(m_hWnd, GWL_STYLE) | SS_NOTIFY);
    HFONT base = reinterpret_cast<HFONT>(::SendMessageA(::GetParent(m_hWnd), WM_GETFONT, 0, 0));
    if (!base) base = static_cast<HFONT>(::GetStockObject(DEFAULT_GUI_FONT));
    LOGFONTA lf {};
    ::GetObjectA(base, sizeof lf, &lf);
    lf.lfWeight = FW_BOLD;
    lf.lfUnderline = TRUE;
    font_ = ::CreateFontIndirectA(&lf);
    cursor_ = ::LoadCursorA(AppInstance(), MAKEINTRESOURCEA(IDC_HAND_CURSOR));
    return true;
}

LRESULT CHotStatic::OnPaint() {
    PAINTSTRUCT ps;
    HDC dc = ::BeginPaint(m_hWnd, &ps);
    RECT rc = ClientRect();
    HGDIOBJ old = ::SelectObject(dc, font_);
    ::SetBkMode(dc, TRANSPARENT);
    ::SetTextColor(dc, hover_ ? RGB(255, 0, 0) : RGB(0, 0, 255));
    std::string text = Text();
    ::DrawTextA(dc, text.c_str(), static_cast<int>(text.size()), &rc, DT_LEFT | DT_SINGLELINE | DT_VCENTER);
    ::SelectObject(dc, old);
    ::EndPaint(m_hWnd, &ps);
    return 0;
}

std::string CHotStatic::BrowserCommand(const std::string& openCommand, const std::string& target) {
    std::string cmd = openCommand;
    size_t cut = cmd.find("\"%1\"");
    if (cut == std::string::npos) cut = cmd.find("%1");
    if (cut != std::string::npos) cmd.resize(cut);
    return cmd + " " + target;
}

bool CHotStatic::Open(const std::string& target) {
    auto r = reinterpret_cast<INT_PTR>(::ShellExecuteA(nullptr, "open", target.c_str(), nullptr, nullptr, SW_SHOWNORMAL));
    if (r > 32) return true;
    std::string htmClass = ReadRegString(HKEY_CLASSES_ROOT, ".htm", "");
    if (htmClass.empty()) return false;
    std::string open = ReadRegString(HKEY_CLASSES_ROOT, htmClass + "\\shell\\open\\command", "");
    if (open.empty()) return false;
    return ::WinExec(BrowserCommand(open, target).c_str(), SW_SHOWNORMAL) > 31;
}
