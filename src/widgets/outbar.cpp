#include "widgets/outbar.h"

#include "framework/dpi.h"
#include "resource.h"

#include <algorithm>

namespace {

// Timers of the control.
constexpr UINT_PTR kHoverTimer = 1;   // clears the hover frames once the mouse has left
constexpr UINT_PTR kScrollTimer = 2;  // repeats a held scroll arrow
constexpr UINT_PTR kItemTimer = 3;
constexpr UINT kHoverPeriod = 100;
constexpr UINT kScrollPeriod = 300;
constexpr int kAnimationStep = 20;  // pixels (at 96 DPI) the headers travel per animation step
// The label sits this much lower than the label gap alone would put it, so that the hover
// frame around the image (3 pixels below it) never runs through the text.
constexpr int kLabelDrop = 2;

void Fill(HDC dc, const RECT& rc, COLORREF c) {
    COLORREF old = ::SetBkColor(dc, c);
    ::ExtTextOutA(dc, 0, 0, ETO_OPAQUE, &rc, nullptr, 0, nullptr);
    ::SetBkColor(dc, old);
}

void Fill(HDC dc, int l, int t, int r, int b, COLORREF c) {
    RECT rc {l, t, r, b};
    Fill(dc, rc, c);
}

// One-pixel edge: top and left in `topLeft`, bottom and right in `bottomRight`.
void Draw3dRect(HDC dc, const RECT& rc, COLORREF topLeft, COLORREF bottomRight) {
    Fill(dc, rc.left, rc.top, rc.right - 1, rc.top + 1, topLeft);
    Fill(dc, rc.left, rc.top, rc.left + 1, rc.bottom - 1, topLeft);
    Fill(dc, rc.right - 1, rc.top, rc.right, rc.bottom, bottomRight);
    Fill(dc, rc.left, rc.bottom - 1, rc.right, rc.bottom, bottomRight);
}

RECT Deflated(RECT rc, int by) {
    ::InflateRect(&rc, -by, -by);
    return rc;
}

bool Contains(const RECT& rc, POINT pt) { return ::PtInRect(&rc, pt) != FALSE; }

// A memory DC with a bitmap of the given size selected.
class MemoryCanvas {
public:
    MemoryCanvas(HDC like, int w, int h) {
        dc = ::CreateCompatibleDC(like);
        bitmap_ = ::CreateCompatibleBitmap(like, std::max(w, 1), std::max(h, 1));
        old_ = ::SelectObject(dc, bitmap_);
    }
    ~MemoryCanvas() {
        ::SelectObject(dc, old_);
        ::DeleteObject(bitmap_);
        ::DeleteDC(dc);
    }
    MemoryCanvas(const MemoryCanvas&) = delete;
    MemoryCanvas& operator=(const MemoryCanvas&) = delete;
    HDC dc;

private:
    HBITMAP bitmap_;
    HGDIOBJ old_;
};

}  // namespace

CGfxOutBarCtrl::CGfxOutBarCtrl() {
    light3d = ::GetSysColor(COLOR_3DLIGHT);
    highlight3d = ::GetSysColor(COLOR_3DHILIGHT);
    shadow3d = ::GetSysColor(COLOR_3DSHADOW);
    darkShadow3d = ::GetSysColor(COLOR_3DDKSHADOW);
    folderCursor = ::LoadCursorA(AppInstance(), MAKEINTRESOURCEA(IDC_HAND_CURSOR));

    OnMessage(WM_CREATE, [this](WPARAM, LPARAM) { return onCreate(); });
    OnMessage(WM_TIMER, [this](WPARAM w, LPARAM) { return onTimer(w); });
    OnMessage(WM_PAINT, [this](WPARAM, LPARAM) { return onPaint(); });
    OnMessage(WM_ERASEBKGND, [](WPARAM, LPARAM) { return LRESULT(1); });
    OnMessage(WM_MOUSEMOVE, [this](WPARAM, LPARAM l) {
        return onMouseMove(POINT {static_cast<short>(LOWORD(l)), static_cast<short>(HIWORD(l))});
    });
    OnMessage(WM_LBUTTONDOWN, [this](WPARAM, LPARAM l) {
        return onLButtonDown(POINT {static_cast<short>(LOWORD(l)), static_cast<short>(HIWORD(l))});
    });
    OnMessage(WM_SETCURSOR, [this](WPARAM w, LPARAM l) { return onSetCursor(w, l); });
    OnMessage(WM_SIZE, [this](WPARAM, LPARAM) { return onSize(); });
    OnMessage(WM_CAPTURECHANGED, [this](WPARAM, LPARAM) {
        if (tracking_) {
            // The click loop may be waiting in GetMessage: wake it so it sees the loss.
            captureLost_ = true;
            ::PostMessageA(m_hWnd, WM_NULL, 0, 0);
        }
        return LRESULT(0);
    });
}

CGfxOutBarCtrl::~CGfxOutBarCtrl() {
    if (m_hWnd && ::IsWindow(m_hWnd)) {
        HWND h = m_hWnd;
        Detach();
        ::DestroyWindow(h);
    }
    if (font_) ::DeleteObject(font_);
}

void CGfxOutBarCtrl::AdjustClass(WNDCLASSEXA& wc) const {
    // No double clicks: two quick clicks on a scroll arrow are two steps.
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.hbrBackground = nullptr;
}

bool CGfxOutBarCtrl::create(DWORD style, const RECT& rect, HWND parent, UINT id, DWORD newFlags) {
    flags = newFlags;
    return Create(parent, rect, "", style | WS_CHILD | WS_CLIPCHILDREN, WS_EX_STATICEDGE,
                  reinterpret_cast<HMENU>(static_cast<UINT_PTR>(id))) != nullptr;
}

HWND CGfxOutBarCtrl::notifyWindow() const {
    if (owner_) return owner_;
    return m_hWnd ? ::GetParent(m_hWnd) : nullptr;
}

LRESULT CGfxOutBarCtrl::notify(WPARAM code, LPARAM arg) {
    HWND to = notifyWindow();
    return to ? ::SendMessageA(to, WM_OUTBAR_NOTIFY, code, arg) : 0;
}

// ---------------------------------------------------------------------------------------------
// Contents

int CGfxOutBarCtrl::addFolder(const std::string& name, DWORD data) {
    auto f = std::make_unique<Folder>();
    f->name = name;
    f->data = data;
    folders.push_back(std::move(f));
    if (IsWindow()) Invalidate(false);
    return static_cast<int>(folders.size()) - 1;
}

int CGfxOutBarCtrl::insertItem(int folder, int index, const std::string& label, int image, DWORD data) {
    if (!validFolder(folder)) return -1;
    auto& items = folders[folder]->items;
    if (index < 0 || index > static_cast<int>(items.size())) index = static_cast<int>(items.size());
    items.insert(items.begin() + index, std::make_unique<Item>(Item {label, image, data}));
    if (folder == selectedFolder && IsWindow()) Invalidate(false);
    return index;
}

HIMAGELIST CGfxOutBarCtrl::setImageList(HIMAGELIST list, int kind) {
    HIMAGELIST* slot = kind == 1 ? &smallImages : kind == 2 ? &largeImages : nullptr;
    if (!slot) return nullptr;
    HIMAGELIST old = *slot;
    *slot = list;
    if (IsWindow()) Invalidate(false);
    return old;
}

HIMAGELIST CGfxOutBarCtrl::setFolderImageList(int folder, HIMAGELIST list, int kind) {
    if (!validFolder(folder)) return nullptr;
    Folder& f = *folders[folder];
    HIMAGELIST* slot = kind == 1 ? &f.smallImages : kind == 2 ? &f.largeImages : nullptr;
    if (!slot) return nullptr;
    HIMAGELIST old = *slot;
    *slot = list;
    if (IsWindow()) Invalidate(false);
    return old;
}

void CGfxOutBarCtrl::setFolderChild(int folder, HWND child) {
    if (!validFolder(folder)) return;
    Folder& f = *folders[folder];
    if (f.child && f.child != child) ::ShowWindow(f.child, SW_HIDE);
    f.child = child;
    if (child) {
        if (folder == selectedFolder) placeChild(folder);
        else ::ShowWindow(child, SW_HIDE);
    }
    if (IsWindow()) Invalidate(false);
}

void CGfxOutBarCtrl::setItemTick(int milliseconds) {
    itemTick = milliseconds;
    if (!IsWindow()) return;  // started when the window is created
    if (itemTick > 0) ::SetTimer(m_hWnd, kItemTimer, itemTick, nullptr);
    else ::KillTimer(m_hWnd, kItemTimer);
}

void CGfxOutBarCtrl::setDpi(UINT dpi) {
    if (!dpi || dpi == dpi_) return;
    dpi_ = dpi;
    if (font_) ::DeleteObject(font_);
    font_ = nullptr;
    upArrow.shown = downArrow.shown = false;
    if (IsWindow()) {
        onSize();
        Invalidate(false);
    }
}

void CGfxOutBarCtrl::setSmallIconView(bool on) {
    bool now = (flags & kOutBarSmallIcons) != 0;
    if (now == on) return;
    flags ^= kOutBarSmallIcons;
    if (IsWindow()) {
        RECT area = folderAreaRect();
        ::InvalidateRect(m_hWnd, &area, FALSE);
    }
}

DWORD CGfxOutBarCtrl::getFolderData(int folder) const {
    if (folder < 0) folder = selectedFolder;
    return validFolder(folder) ? folders[folder]->data : 0;
}

DWORD CGfxOutBarCtrl::getItemData(int index) const {
    Folder* f = openFolder();
    if (!f || index < 0 || index >= static_cast<int>(f->items.size())) return 0;
    return f->items[index]->data;
}

int CGfxOutBarCtrl::getItemCount() const {
    Folder* f = openFolder();
    return f ? static_cast<int>(f->items.size()) : 0;
}

std::string CGfxOutBarCtrl::getFolderText(int folder) const {
    return validFolder(folder) ? folders[folder]->name : std::string();
}

std::string CGfxOutBarCtrl::getItemText(int index) const {
    Folder* f = openFolder();
    if (!f || index < 0 || index >= static_cast<int>(f->items.size())) return std::string();
    return f->items[index]->label;
}

void CGfxOutBarCtrl::setFolderText(int folder, const std::string& name) {
    if (!validFolder(folder)) return;
    folders[folder]->name = name;
    if (IsWindow()) Invalidate(false);
}

void CGfxOutBarCtrl::setItemText(int index, const std::string& label) {
    Folder* f = openFolder();
    if (!f || index < 0 || index >= static_cast<int>(f->items.size())) return;
    f->items[index]->label = label;
    if (IsWindow()) Invalidate(false);
}

void CGfxOutBarCtrl::modifyFlags(DWORD remove, DWORD add, bool redraw) {
    flags = (flags & ~remove) | add;
    if (redraw && IsWindow()) Invalidate(false);
}

// ---------------------------------------------------------------------------------------------
// Layout

CGfxOutBarCtrl::Folder* CGfxOutBarCtrl::openFolder() const {
    return validFolder(selectedFolder) ? folders[selectedFolder].get() : nullptr;
}

HIMAGELIST CGfxOutBarCtrl::imagesFor(const Folder& f) const {
    if (flags & kOutBarSmallIcons) return f.smallImages ? f.smallImages : smallImages;
    return f.largeImages ? f.largeImages : largeImages;
}

SIZE CGfxOutBarCtrl::imageSize(const Folder& f) const {
    SIZE s {0, 0};
    if (HIMAGELIST list = imagesFor(f)) {
        int cx = 0, cy = 0;
        if (::ImageList_GetIconSize(list, &cx, &cy)) s = {cx, cy};
    }
    return s;
}

RECT CGfxOutBarCtrl::headerRectFor(int folder, int selected) const {
    RECT client {};
    if (m_hWnd) ::GetClientRect(m_hWnd, &client);
    int n = static_cast<int>(folders.size());
    int h = px(folderHeight);
    if (folder <= selected)
        return RECT {client.left, client.top + folder * h - 1, client.right, client.top + (folder + 1) * h - 1};
    return RECT {client.left, client.bottom - h * (n - folder), client.right, client.bottom - h * (n - folder - 1)};
}

RECT CGfxOutBarCtrl::headerRect(int folder) const {
    if (!validFolder(folder)) return RECT {};
    return headerRectFor(folder, selectedFolder);
}

RECT CGfxOutBarCtrl::folderAreaFor(int selected) const {
    RECT client {};
    if (m_hWnd) ::GetClientRect(m_hWnd, &client);
    int n = static_cast<int>(folders.size());
    if (n == 0) return client;
    int h = px(folderHeight);
    return RECT {client.left, client.top + (selected + 1) * h - 1, client.right,
                 client.bottom - (n - selected - 1) * h};
}

RECT CGfxOutBarCtrl::folderAreaRect() const { return folderAreaFor(selectedFolder); }

std::vector<CGfxOutBarCtrl::ItemLayout> CGfxOutBarCtrl::layoutItems() const {
    std::vector<ItemLayout> out;
    Folder* f = openFolder();
    if (!f || f->child) return out;
    out.resize(f->items.size(), ItemLayout {RECT {}, RECT {}});
    RECT area = folderAreaRect();
    int width = area.right - area.left;
    SIZE img = imageSize(*f);
    bool small = (flags & kOutBarSmallIcons) != 0;

    HDC dc = ::CreateCompatibleDC(nullptr);
    HGDIOBJ oldFont = ::SelectObject(dc, boldFont());
    int y = area.top + px(itemOffsetY);
    for (size_t i = std::max(firstVisibleItem, 0); i < f->items.size(); ++i) {
        const std::string& text = f->items[i]->label;
        ItemLayout& it = out[i];
        if (!small) {
            RECT t {0, 0, std::max(width, 1), 0};
            ::DrawTextA(dc, text.c_str(), static_cast<int>(text.size()), &t, DT_CALCRECT | DT_WORDBREAK | DT_CENTER | DT_NOPREFIX);
            int lw = t.right - t.left, lh = t.bottom - t.top;
            it.image = RECT {area.left + (width - img.cx) / 2, y, area.left + (width - img.cx) / 2 + img.cx, y + img.cy};
            int ly = it.image.bottom + px(largeLabelGap + kLabelDrop);
            it.label = RECT {area.left + (width - lw) / 2, ly, area.left + (width - lw) / 2 + lw, ly + lh};
            y = it.label.bottom + px(largeItemSpacing);
        } else {
            int imageLeft = area.left + px(itemOffsetX + 2);
            int labelLeft = imageLeft + img.cx + px(smallLabelGap);
            RECT t {0, 0, std::max(static_cast<int>(area.right) - labelLeft, 1), 0};
            ::DrawTextA(dc, text.c_str(), static_cast<int>(text.size()), &t, DT_CALCRECT | DT_SINGLELINE | DT_LEFT | DT_NOPREFIX);
            int lw = t.right - t.left, lh = t.bottom - t.top;
            int rowHeight = std::max<int>(img.cy, lh);
            int iy = y + (rowHeight - img.cy) / 2;
            int ly = y + (rowHeight - lh) / 2;
            it.image = RECT {imageLeft, iy, imageLeft + img.cx, iy + img.cy};
            it.label = RECT {labelLeft, ly, labelLeft + lw, ly + lh};
            y += rowHeight + px(smallItemSpacing);
        }
    }
    ::SelectObject(dc, oldFont);
    ::DeleteDC(dc);
    return out;
}

bool CGfxOutBarCtrl::itemRects(int index, RECT* image, RECT* label) const {
    if (index < firstVisibleItem || index >= getItemCount()) return false;
    auto layout = layoutItems();
    if (index >= static_cast<int>(layout.size())) return false;
    if (image) *image = layout[index].image;
    if (label) *label = layout[index].label;
    return true;
}

RECT CGfxOutBarCtrl::itemRect(int index) const {
    RECT image, label, both {};
    if (!itemRects(index, &image, &label)) return both;
    ::UnionRect(&both, &image, &label);
    return both;
}

RECT CGfxOutBarCtrl::frameFor(const ItemLayout& it) const {
    RECT rc;
    if (::IsRectEmpty(&it.image)) {
        // No picture to frame: frame the label instead.
        rc = it.label;
        ::InflateRect(&rc, px(2), px(2));
        return rc;
    }
    rc = it.image;
    if (flags & kOutBarSmallIcons) {
        rc.left -= px(2), rc.right += px(2), rc.top -= px(2), rc.bottom += px(3);
    } else {
        rc.left -= px(10), rc.right += px(10), rc.top -= px(2), rc.bottom += px(3);
    }
    return rc;
}

RECT CGfxOutBarCtrl::itemFrameRect(int index) const {
    ItemLayout it;
    if (!itemRects(index, &it.image, &it.label)) return RECT {};
    return frameFor(it);
}

bool CGfxOutBarCtrl::lastItemBelowArea() const {
    auto layout = layoutItems();
    if (layout.empty() || static_cast<int>(layout.size()) <= firstVisibleItem) return false;
    RECT area = folderAreaRect();
    return layout.back().label.bottom > area.bottom;
}

RECT CGfxOutBarCtrl::arrowSquare(bool up) const {
    RECT area = folderAreaRect();
    int cx = SystemMetricForDpi(SM_CXVSCROLL, dpi_);
    int inset = px(5);
    int right = area.right - inset;
    if (up) return RECT {right - cx, area.top + inset, right, area.top + inset + cx};
    return RECT {right - cx, area.bottom - inset - cx, right, area.bottom - inset};
}

void CGfxOutBarCtrl::updateScrollArrows() {
    Folder* f = openFolder();
    bool items = f && !f->child;
    upArrow.shown = items && firstVisibleItem > 0;
    downArrow.shown = items && lastItemBelowArea();
    upArrow.rc = arrowSquare(true);
    downArrow.rc = arrowSquare(false);
}

bool CGfxOutBarCtrl::scrollArrowRect(bool up, RECT* rc) const {
    const Arrow& a = up ? upArrow : downArrow;
    if (rc) *rc = a.rc;
    return a.shown;
}

int CGfxOutBarCtrl::hitTest(POINT pt, int* index) const {
    if (index) *index = -1;
    if (upArrow.shown && Contains(upArrow.rc, pt)) return htUpScroll;
    if (downArrow.shown && Contains(downArrow.rc, pt)) return htDownScroll;
    for (int i = 0; i < getFolderCount(); ++i) {
        if (Contains(headerRect(i), pt)) {
            if (index) *index = i;
            return htFolder;
        }
    }
    RECT area = folderAreaRect();
    if (!Contains(area, pt)) return htNothing;
    auto layout = layoutItems();
    for (int i = std::max(firstVisibleItem, 0); i < static_cast<int>(layout.size()); ++i) {
        // The framed picture counts, not only its pixels: no dead band above the label.
        if (Contains(frameFor(layout[i]), pt) || Contains(layout[i].label, pt)) {
            if (index) *index = i;
            return htItem;
        }
    }
    return htNothing;
}

// ---------------------------------------------------------------------------------------------
// Drawing

HFONT CGfxOutBarCtrl::boldFont() const {
    if (!font_) {
        font_ = ::CreateFontA(px(13), 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                              CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_SWISS, "Tahoma");
        if (!font_) font_ = static_cast<HFONT>(::GetStockObject(DEFAULT_GUI_FONT));
    }
    return font_;
}

int CGfxOutBarCtrl::captionWidth() const {
    HDC dc = ::GetDC(nullptr);
    HGDIOBJ old = ::SelectObject(dc, boldFont());
    int widest = 0;
    for (const auto& f : folders) {
        std::string text = f->name + "  ";
        RECT rc {};
        ::DrawTextA(dc, text.c_str(), static_cast<int>(text.size()), &rc, DT_CALCRECT | DT_SINGLELINE | DT_NOPREFIX);
        widest = std::max<int>(widest, rc.right - rc.left);
    }
    ::SelectObject(dc, old);
    ::ReleaseDC(nullptr, dc);
    // The header's edges, and the window's own.
    RECT window {0, 0, 100, 100}, client = window;
    if (IsWindow()) {
        window = WindowRect();
        client = ClientRect();
    }
    return widest + 2 + (window.right - window.left) - (client.right - client.left);
}

void CGfxOutBarCtrl::drawHeader(HDC dc, const RECT& rc, const std::string& name, bool pressed) const {
    // The line that parts this header from the one above.
    Fill(dc, rc.left, rc.top, rc.right, rc.top + 1, frameColour);
    RECT edge {rc.left, rc.top + 1, rc.right, rc.bottom};
    RECT face;
    if (!pressed) {
        Draw3dRect(dc, edge, highlight3d, frameColour);
        face = Deflated(edge, 1);
    } else {
        Draw3dRect(dc, edge, darkShadow3d, highlight3d);
        RECT inner = Deflated(edge, 1);
        Draw3dRect(dc, inner, frameColour, headerColour);
        face = Deflated(inner, 1);
    }
    Fill(dc, face, headerColour);

    std::string text = name + "  ";
    RECT t = face;
    if (pressed) ::OffsetRect(&t, 1, 1);
    HGDIOBJ old = ::SelectObject(dc, boldFont());
    ::SetBkMode(dc, TRANSPARENT);
    ::SetTextColor(dc, RGB(255, 255, 255));
    ::DrawTextA(dc, text.c_str(), static_cast<int>(text.size()), &t,
                DT_SINGLELINE | DT_VCENTER | DT_RIGHT | DT_END_ELLIPSIS | DT_NOPREFIX);
    ::SelectObject(dc, old);
}

void CGfxOutBarCtrl::drawHeaderHover(HDC dc, int folder, bool hot) const {
    if (!validFolder(folder)) return;
    RECT rc = headerRect(folder);
    RECT edge {rc.left, rc.top + 1, rc.right, rc.bottom};
    RECT inner = Deflated(edge, 1);
    COLORREF outer = hot ? darkShadow3d : frameColour;
    COLORREF in = hot ? frameColour : headerColour;
    Fill(dc, edge.right - 1, edge.top, edge.right, edge.bottom, outer);
    Fill(dc, edge.left, edge.bottom - 1, edge.right, edge.bottom, outer);
    Fill(dc, inner.right - 1, inner.top, inner.right, inner.bottom, in);
    Fill(dc, inner.left, inner.bottom - 1, inner.right, inner.bottom, in);
}

void CGfxOutBarCtrl::drawItemFrame(HDC dc, int index, FrameLook look) const {
    RECT rc = itemFrameRect(index);
    if (::IsRectEmpty(&rc)) return;
    int saved = ::SaveDC(dc);
    RECT area = folderAreaRect();
    ::IntersectClipRect(dc, area.left, area.top, area.right, area.bottom);
    if (upArrow.shown) ::ExcludeClipRect(dc, upArrow.rc.left, upArrow.rc.top, upArrow.rc.right, upArrow.rc.bottom);
    if (downArrow.shown)
        ::ExcludeClipRect(dc, downArrow.rc.left, downArrow.rc.top, downArrow.rc.right, downArrow.rc.bottom);
    switch (look) {
    case FrameLook::Erased: Draw3dRect(dc, rc, backgroundColour, backgroundColour); break;
    case FrameLook::Raised: Draw3dRect(dc, rc, highlight3d, shadow3d); break;
    case FrameLook::Sunken: Draw3dRect(dc, rc, shadow3d, highlight3d); break;
    }
    ::RestoreDC(dc, saved);
}

void CGfxOutBarCtrl::drawItems(HDC dc) const {
    Folder* f = openFolder();
    if (!f || f->child) return;
    RECT area = folderAreaRect();
    auto layout = layoutItems();
    HIMAGELIST list = imagesFor(*f);
    bool small = (flags & kOutBarSmallIcons) != 0;

    int saved = ::SaveDC(dc);
    ::IntersectClipRect(dc, area.left, area.top, area.right, area.bottom);
    if (upArrow.shown) ::ExcludeClipRect(dc, upArrow.rc.left, upArrow.rc.top, upArrow.rc.right, upArrow.rc.bottom);
    if (downArrow.shown)
        ::ExcludeClipRect(dc, downArrow.rc.left, downArrow.rc.top, downArrow.rc.right, downArrow.rc.bottom);
    ::SelectObject(dc, boldFont());
    ::SetBkMode(dc, TRANSPARENT);
    ::SetTextColor(dc, textColour);
    for (int i = std::max(firstVisibleItem, 0); i < static_cast<int>(layout.size()); ++i) {
        const ItemLayout& it = layout[i];
        if (it.image.top >= area.bottom && it.label.top >= area.bottom) break;
        const Item& item = *f->items[i];
        if (list && item.image >= 0)
            ::ImageList_Draw(list, item.image, dc, it.image.left, it.image.top, ILD_TRANSPARENT);
        RECT t = it.label;
        ::DrawTextA(dc, item.label.c_str(), static_cast<int>(item.label.size()), &t,
                    (small ? DT_LEFT | DT_SINGLELINE : DT_CENTER | DT_WORDBREAK) | DT_NOCLIP | DT_NOPREFIX);
    }
    ::RestoreDC(dc, saved);

    if (upArrow.shown) {
        RECT rc = upArrow.rc;
        ::DrawFrameControl(dc, &rc, DFC_SCROLL, DFCS_SCROLLUP | (upArrow.pushed ? DFCS_PUSHED : 0));
    }
    if (downArrow.shown) {
        RECT rc = downArrow.rc;
        ::DrawFrameControl(dc, &rc, DFC_SCROLL, DFCS_SCROLLDOWN | (downArrow.pushed ? DFCS_PUSHED : 0));
    }
}

bool CGfxOutBarCtrl::hoverDrawingAllowed() const {
    if (animating_) return false;
    HWND focus = ::GetFocus();
    return !(focus && ::IsChild(m_hWnd, focus));
}

void CGfxOutBarCtrl::drawHoverFrames(HDC dc) const {
    if (!hoverDrawingAllowed()) return;
    if (hotFolder >= 0 && hotFolder != pressedFolder_) drawHeaderHover(dc, hotFolder, true);
    if (hotItem >= 0) drawItemFrame(dc, hotItem, itemPressed_ ? FrameLook::Sunken : FrameLook::Raised);
}

void CGfxOutBarCtrl::redrawArea(const RECT& rc) {
    if (!IsWindow()) return;
    ::InvalidateRect(m_hWnd, &rc, FALSE);
    ::UpdateWindow(m_hWnd);
}

LRESULT CGfxOutBarCtrl::onPaint() {
    PAINTSTRUCT ps;
    HDC dc = ::BeginPaint(m_hWnd, &ps);
    RECT client = ClientRect();
    int w = client.right - client.left, h = client.bottom - client.top;
    {
        MemoryCanvas mem(dc, w, h);
        updateScrollArrows();
        Fill(mem.dc, client, backgroundColour);
        for (int i = 0; i < getFolderCount(); ++i)
            drawHeader(mem.dc, headerRect(i), folders[i]->name, i == pressedFolder_);
        drawItems(mem.dc);
        if ((flags & kOutBarSelHighlight) && selectedItem >= 0)
            drawItemFrame(mem.dc, selectedItem, FrameLook::Sunken);
        if (animating_ && animBand_)
            ::BitBlt(mem.dc, 0, animBandTop_, w, animBandHeight_, animBand_, 0, 0, SRCCOPY);
        ::BitBlt(dc, 0, 0, w, h, mem.dc, 0, 0, SRCCOPY);
    }
    drawHoverFrames(dc);
    ::EndPaint(m_hWnd, &ps);
    return 0;
}

// ---------------------------------------------------------------------------------------------
// Messages

LRESULT CGfxOutBarCtrl::onCreate() {
    dpi_ = WindowDpi(m_hWnd);
    if (itemTick > 0) ::SetTimer(m_hWnd, kItemTimer, itemTick, nullptr);
    return 0;
}

LRESULT CGfxOutBarCtrl::onTimer(WPARAM id) {
    if (id == kHoverTimer) {
        if (tracking_) return 0;  // the click loop owns the frames until the button is up
        POINT pt;
        ::GetCursorPos(&pt);
        ::ScreenToClient(m_hWnd, &pt);
        RECT client = ClientRect();
        if (!Contains(client, pt)) {
            clearHot();
            ::KillTimer(m_hWnd, kHoverTimer);
        } else if (hotFolder < 0 && hotItem < 0) {
            ::KillTimer(m_hWnd, kHoverTimer);
        }
    } else if (id == kItemTimer) {
        tickCounter_ = (tickCounter_ + 1) % 11;
    } else if (id == kScrollTimer && !tracking_) {
        ::KillTimer(m_hWnd, kScrollTimer);
    }
    return 0;
}

void CGfxOutBarCtrl::setHot(int folder, int item) {
    bool draw = hoverDrawingAllowed() && ::IsWindowVisible(m_hWnd);
    HDC dc = ::GetDC(m_hWnd);
    if (folder != hotFolder) {
        if (hotFolder >= 0 && draw) drawHeaderHover(dc, hotFolder, false);
        hotFolder = folder;
        if (hotFolder >= 0) {
            if (draw) drawHeaderHover(dc, hotFolder, true);
            ::SetTimer(m_hWnd, kHoverTimer, kHoverPeriod, nullptr);
        }
    }
    if (item != hotItem) {
        if (hotItem >= 0 && draw) {
            bool keep = (flags & kOutBarSelHighlight) && hotItem == selectedItem;
            drawItemFrame(dc, hotItem, keep ? FrameLook::Sunken : FrameLook::Erased);
        }
        hotItem = item;
        if (hotItem >= 0) {
            if (draw) drawItemFrame(dc, hotItem, itemPressed_ ? FrameLook::Sunken : FrameLook::Raised);
            ::SetTimer(m_hWnd, kHoverTimer, kHoverPeriod, nullptr);
        }
    }
    ::ReleaseDC(m_hWnd, dc);
}

void CGfxOutBarCtrl::clearHot() { setHot(-1, -1); }

LRESULT CGfxOutBarCtrl::onMouseMove(POINT pt) {
    if (tracking_) return 0;
    updateScrollArrows();
    int index;
    int ht = hitTest(pt, &index);
    int folder = ht == htFolder ? index : -1;
    int item = ht == htItem ? index : -1;
    if ((flags & kOutBarSelHighlight) && item == selectedItem) item = -1;  // it keeps its own frame
    setHot(folder, item);
    return 0;
}

LRESULT CGfxOutBarCtrl::onSetCursor(WPARAM w, LPARAM l) {
    if (reinterpret_cast<HWND>(w) == m_hWnd && LOWORD(l) == HTCLIENT && folderCursor) {
        POINT pt;
        ::GetCursorPos(&pt);
        ::ScreenToClient(m_hWnd, &pt);
        int index;
        if (hitTest(pt, &index) == htFolder) {
            ::SetCursor(folderCursor);
            return TRUE;
        }
    }
    return Default();
}

LRESULT CGfxOutBarCtrl::onSize() {
    upArrow.shown = downArrow.shown = false;
    for (int i = 0; i < getFolderCount(); ++i) {
        if (HWND child = folders[i]->child) {
            RECT area = folderAreaRect();
            ::MoveWindow(child, area.left, area.top, area.right - area.left, area.bottom - area.top, TRUE);
        }
    }
    return 0;
}

LRESULT CGfxOutBarCtrl::onLButtonDown(POINT pt) {
    ::SetFocus(m_hWnd);
    if (tracking_) return 0;  // a click arriving while the owner handles the last one
    trackClick(pt);
    return 0;
}

bool CGfxOutBarCtrl::scrollStep(bool up) {
    if (up) {
        if (firstVisibleItem <= 0) return false;
        --firstVisibleItem;
    } else {
        if (!lastItemBelowArea()) return false;
        ++firstVisibleItem;
    }
    hotItem = -1;  // the items moved under the frame
    updateScrollArrows();
    redrawArea(folderAreaRect());
    return true;
}

void CGfxOutBarCtrl::trackClick(POINT pt) {
    updateScrollArrows();
    int index;
    const int ht = hitTest(pt, &index);
    if (ht == htNothing) return;

    HWND self = m_hWnd;
    tracking_ = true;
    captureLost_ = false;
    ::SetCapture(self);

    const bool up = ht == htUpScroll;
    Arrow* arrow = ht == htUpScroll ? &upArrow : ht == htDownScroll ? &downArrow : nullptr;
    POINT cur = pt;
    bool released = false;
    bool dragging = false;

    switch (ht) {
    case htFolder:
        setHot(-1, hotItem);
        pressedFolder_ = index;
        redrawArea(headerRect(index));
        break;
    case htItem: {
        itemPressed_ = true;
        if (hotItem == index) {
            HDC dc = ::GetDC(self);
            if (hoverDrawingAllowed()) drawItemFrame(dc, index, FrameLook::Sunken);
            ::ReleaseDC(self, dc);
        }
        setHot(-1, index);
        break;
    }
    default:
        arrow->pushed = true;
        redrawArea(arrow->rc);
        ::SetTimer(self, kScrollTimer, kScrollPeriod, nullptr);
        break;
    }

    bool done = false;
    while (!done) {
        if (captureLost_ || ::GetCapture() != self) break;
        MSG msg;
        BOOL got = ::GetMessageA(&msg, nullptr, 0, 0);
        if (got == 0) {
            ::PostQuitMessage(static_cast<int>(msg.wParam));  // for the main loop
            break;
        }
        if (got == -1) break;
        bool ours = msg.hwnd == self;
        switch (msg.message) {
        case WM_MOUSEMOVE:
        case WM_LBUTTONUP: {
            if (!ours) {
                ::DispatchMessageA(&msg);
                break;
            }
            cur = POINT {static_cast<short>(LOWORD(msg.lParam)), static_cast<short>(HIWORD(msg.lParam))};
            if (msg.message == WM_LBUTTONUP) {
                released = true;
                done = true;
                break;
            }
            int at;
            int now = hitTest(cur, &at);
            if (ht == htFolder) {
                int pressed = (now == htFolder && at == index) ? index : -1;
                if (pressed != pressedFolder_) {
                    pressedFolder_ = pressed;
                    redrawArea(headerRect(index));
                }
            } else if (ht == htItem) {
                bool over = now == htItem && at == index;
                if ((flags & kOutBarDragItems) && now == htItem && at != index) dragging = true;
                if (over != itemPressed_) {
                    itemPressed_ = over;
                    HDC dc = ::GetDC(self);
                    if (hoverDrawingAllowed()) drawItemFrame(dc, index, over ? FrameLook::Sunken : FrameLook::Raised);
                    ::ReleaseDC(self, dc);
                }
            } else {
                bool over = Contains(arrow->rc, cur);
                if (over != arrow->pushed) {
                    arrow->pushed = over;
                    redrawArea(arrow->rc);
                }
            }
            break;
        }
        case WM_TIMER:
            if (ours && msg.wParam == kScrollTimer) {
                if (arrow) {
                    if (arrow->pushed) scrollStep(up);
                    if (up ? firstVisibleItem <= 0 : !lastItemBelowArea()) done = true;  // nothing left
                }
            } else {
                ::DispatchMessageA(&msg);
            }
            break;
        case WM_KEYDOWN:
        case WM_SYSKEYDOWN:
            if (msg.wParam == VK_ESCAPE) done = true;  // gives up the click
            break;
        case WM_KEYUP:
        case WM_SYSKEYUP:
        case WM_CHAR:
        case WM_SYSCHAR:
        case WM_DEADCHAR:
        case WM_SYSDEADCHAR:
            break;
        default:
            ::TranslateMessage(&msg);
            ::DispatchMessageA(&msg);
            break;
        }
        if (!::IsWindow(self)) return;  // destroyed by something the loop dispatched
    }

    ::KillTimer(self, kScrollTimer);
    int pressedHeader = pressedFolder_;
    pressedFolder_ = -1;
    if (pressedHeader >= 0) redrawArea(headerRect(pressedHeader));
    if (arrow) {
        bool wasPushed = arrow->pushed;
        upArrow.pushed = downArrow.pushed = false;
        if (wasPushed) redrawArea(arrow->rc);
    }
    itemPressed_ = false;

    if (released) {
        int at;
        int now = hitTest(cur, &at);
        if (ht == htFolder) {
            if (now == htFolder && at == index && index != selectedFolder) setSelFolder(index);
        } else if (ht == htItem) {
            if (dragging) {
                int count = getItemCount();
                int to = -1;
                if (now == htItem) to = at;
                else if (Contains(folderAreaRect(), cur) && count > 0 && cur.y >= itemRect(count - 1).bottom)
                    to = count;
                if (to >= 0 && to != index) {
                    OutBarDragInfo info {selectedFolder, index, to};
                    bool agreed = notify(kOutBarItemDragged, reinterpret_cast<LPARAM>(&info)) != 0;
                    // The owner may have changed the folders while it answered.
                    if (agreed && ::IsWindow(self) && selectedFolder == info.folder && index < getItemCount()) {
                        auto& items = folders[selectedFolder]->items;
                        auto moved = std::move(items[index]);
                        items.erase(items.begin() + index);
                        int place = std::min<int>(to, static_cast<int>(items.size()));
                        items.insert(items.begin() + place, std::move(moved));
                        hotItem = -1;
                        Invalidate(false);
                    }
                }
            } else if (now == htItem && at == index) {
                if (flags & kOutBarSelHighlight) {
                    int old = selectedItem;
                    selectedItem = index;
                    HDC dc = ::GetDC(self);
                    if (old >= 0) drawItemFrame(dc, old, FrameLook::Erased);
                    drawItemFrame(dc, index, FrameLook::Sunken);
                    ::ReleaseDC(self, dc);
                    hotItem = -1;
                }
                notify(kOutBarItemClicked, index);
            }
        } else if (now == ht) {
            scrollStep(up);  // the release on the arrow is one more step
        }
    }

    // The owner has answered: only now is the mouse given back.
    ::ReleaseCapture();
    if (!::IsWindow(self)) return;
    tracking_ = false;
    if (hotItem >= 0) redrawArea(itemFrameRect(hotItem));
    onMouseMove(cur);
}

// ---------------------------------------------------------------------------------------------
// Folder change

void CGfxOutBarCtrl::placeChild(int folder) {
    if (!validFolder(folder) || !folders[folder]->child) return;
    HWND child = folders[folder]->child;
    RECT area = folderAreaFor(folder);
    ::MoveWindow(child, area.left, area.top, area.right - area.left, area.bottom - area.top, TRUE);
    ::ShowWindow(child, SW_SHOW);
}

void CGfxOutBarCtrl::setSelFolder(int index) {
    if (!validFolder(index)) return;
    int old = selectedFolder;
    if (validFolder(old) && folders[old]->child) ::ShowWindow(folders[old]->child, SW_HIDE);

    bool animate = old != index && validFolder(old) && (flags & kOutBarAnimate) && animationSpeed >= 0 &&
                   IsWindow() && ::IsWindowVisible(m_hWnd);
    // What is still to be painted belongs to the old layout: paint it before anything moves.
    if (animate) ::UpdateWindow(m_hWnd);

    // Frames of the old layout mean nothing in the new one; the whole control is repainted.
    hotFolder = hotItem = -1;
    firstVisibleItem = 0;
    selectedFolder = index;
    selectedItem = -1;
    lastAnimationSteps_ = 0;
    if (animate) animateFolderScroll(old, index);
    if (IsWindow()) updateScrollArrows();
    placeChild(index);

    HWND self = m_hWnd;
    notify(kOutBarFolderChanged, index);
    if (self && ::IsWindow(self)) ::InvalidateRect(self, nullptr, FALSE);
}

void CGfxOutBarCtrl::animateFolderScroll(int from, int to) {
    RECT client = ClientRect();
    int h = px(folderHeight);
    int width = client.right - client.left;
    int first = std::min(from, to) + 1;
    int count = std::abs(to - from);
    int bandHeight = count * h;
    // The headers between the two folders travel from where the old layout had them to where
    // the new one puts them: up when a later folder opens, down when an earlier one does.
    int start = headerRectFor(first, from).top;
    int target = headerRectFor(first, to).top;

    HDC screen = ::GetDC(m_hWnd);
    MemoryCanvas band(screen, width, bandHeight);
    ::ReleaseDC(m_hWnd, screen);
    for (int k = 0; k < count; ++k) {
        RECT rc {0, k * h, width, (k + 1) * h};
        drawHeader(band.dc, rc, folders[first + k]->name, false);
    }

    animating_ = true;
    animBand_ = band.dc;
    animBandHeight_ = bandHeight;
    int steps = 0;
    int pos = start;
    while (pos != target) {
        int step = px(kAnimationStep);
        int next = pos < target ? std::min(pos + step, target) : std::max(pos - step, target);
        // Repaint, at once, the band at its new place and the strip it leaves behind, which
        // already shows the new folder's area. One paint puts both on the screen together.
        animBandTop_ = next;
        RECT moved {0, std::min(pos, next), width, std::max(pos, next) + bandHeight};
        ::InvalidateRect(m_hWnd, &moved, FALSE);
        ::UpdateWindow(m_hWnd);
        pos = next;
        ++steps;
        if (animationSpeed / 2 > 0) ::Sleep(animationSpeed / 2);
    }
    animating_ = false;
    animBand_ = nullptr;
    lastAnimationSteps_ = steps;
    Invalidate(false);
}
