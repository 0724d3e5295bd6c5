// The outlook bar: a stack of folder headers with the open folder's items (icon and label)
// between them. Clicking a header opens that folder with a sliding animation; clicking an item
// tells the owner window which one.
#pragma once

#include "framework/window.h"

#include <commctrl.h>

#include <memory>
#include <string>
#include <vector>

// Sent to the owner: wParam one of the codes below, lParam its argument.
constexpr UINT WM_OUTBAR_NOTIFY = WM_USER + 1;
constexpr WPARAM kOutBarItemClicked = 1;    // lParam: item index in the selected folder
constexpr WPARAM kOutBarItemDragged = 4;    // lParam: OutBarDragInfo*; non-zero answer moves it
constexpr WPARAM kOutBarFolderChanged = 5;  // lParam: the selected folder's index

// Behaviour bits.
constexpr DWORD kOutBarSmallIcons = 0x001;     // image left, label right (else icon above label)
constexpr DWORD kOutBarReserved40 = 0x040;     // carried along, read by nobody
constexpr DWORD kOutBarDragItems = 0x080;      // items may be dragged within their folder
constexpr DWORD kOutBarAnimate = 0x100;        // slide the headers when the folder changes
constexpr DWORD kOutBarSelHighlight = 0x200;   // the last clicked item stays framed
constexpr DWORD kOutBarDefaultFlags = 0x370;

// What notification 4 points to.
struct OutBarDragInfo {
    int folder;  // the selected folder
    int from;    // index of the dragged item
    int to;      // index it would take (the item count: after the last one)
};

class CGfxOutBarCtrl : public CWindowImpl {
public:
    // Answers of hitTest.
    enum HitArea { htNothing = -1, htFolder = 0, htItem = 1, htUpScroll = 2, htDownScroll = 3 };

    CGfxOutBarCtrl();
    ~CGfxOutBarCtrl() override;

    bool create(DWORD style, const RECT& rect, HWND parent, UINT id, DWORD flags);
    // The window that gets the notifications; the parent when none is set.
    void setOwner(HWND owner) { owner_ = owner; }
    HWND notifyWindow() const;

    int addFolder(const std::string& name, DWORD data);
    int insertItem(int folder, int index, const std::string& label, int image, DWORD data);
    // kind 1: small-icon layout list, kind 2: icon-above-label list. Returns the previous one.
    HIMAGELIST setImageList(HIMAGELIST list, int kind);
    HIMAGELIST setFolderImageList(int folder, HIMAGELIST list, int kind);
    // A window shown in the folder's area instead of its items (nullptr: items again).
    void setFolderChild(int folder, HWND child);
    void setItemTick(int milliseconds);
    void setSelFolder(int index);
    void setSmallIconView(bool on);
    // The DPI the control lays itself out for (its window's when it is created): every size
    // below is for 96 DPI and scaled to it. The owner's image lists should have its pictures in
    // that scale.
    void setDpi(UINT dpi);
    UINT getDpi() const { return dpi_; }
    void setAnimationSpeed(int speed) { animationSpeed = speed; }
    int getSelFolder() const { return selectedFolder; }
    int getFolderCount() const { return static_cast<int>(folders.size()); }
    DWORD getFolderData(int folder = -1) const;
    DWORD getItemData(int index) const;
    int getItemCount() const;
    std::string getFolderText(int folder) const;
    std::string getItemText(int index) const;
    void setFolderText(int folder, const std::string& name);
    void setItemText(int index, const std::string& label);
    void modifyFlags(DWORD remove, DWORD add, bool redraw = true);
    DWORD getFlags() const { return flags; }

    // Geometry, in client coordinates, as the control lays itself out now.
    RECT headerRect(int folder) const;
    RECT folderAreaRect() const;
    // The image and label of item `index` of the open folder; false when it is not laid out
    // (no such item, or scrolled out above the area).
    bool itemRects(int index, RECT* image, RECT* label) const;
    // Bounding box of the item's image and label (empty when not laid out).
    RECT itemRect(int index) const;
    // Where the hover frame of the item is drawn.
    RECT itemFrameRect(int index) const;
    // The scroll arrow's square; false when the arrow is not shown.
    bool scrollArrowRect(bool up, RECT* rc) const;
    int hitTest(POINT pt, int* index) const;

    // The width the control needs to show its widest folder caption whole.
    int captionWidth() const;
    // The font of the captions and labels, and the image lists in use (kind 1 or 2).
    HFONT getFont() const { return boldFont(); }
    HIMAGELIST getImageList(int kind) const { return kind == 1 ? smallImages : kind == 2 ? largeImages : nullptr; }

    // State, for the owner and for tests.
    int getFirstVisibleItem() const { return firstVisibleItem; }
    int getHotFolder() const { return hotFolder; }
    int getHotItem() const { return hotItem; }
    int getSelectedItem() const { return selectedItem; }
    bool isTracking() const { return tracking_; }
    int getItemTickCount() const { return tickCounter_; }
    // Steps the last folder animation took (0 when it did not animate).
    int getLastAnimationSteps() const { return lastAnimationSteps_; }

    // Settings the creator may change before filling the control, in pixels at 96 DPI.
    int folderHeight = 23;
    int smallLabelGap = 4;
    int largeLabelGap = 1;
    int smallItemSpacing = 10;
    int largeItemSpacing = 8;
    int itemOffsetX = 5;
    int itemOffsetY = 5;
    int animationSpeed = 10;
    COLORREF backgroundColour = RGB(237, 235, 200);
    COLORREF frameColour = RGB(237, 235, 200);
    COLORREF textColour = RGB(0, 0, 0);
    COLORREF headerColour = RGB(142, 182, 217);

protected:
    const char* ClassName() const override { return "KelvoOutBar"; }
    void AdjustClass(WNDCLASSEXA& wc) const override;

private:
    struct Item {
        std::string label;
        int image;
        DWORD data;
    };
    struct Folder {
        std::string name;
        DWORD data = 0;
        HIMAGELIST largeImages = nullptr;
        HIMAGELIST smallImages = nullptr;
        std::vector<std::unique_ptr<Item>> items;
        HWND child = nullptr;
    };
    struct ItemLayout {
        RECT image, label;
    };
    struct Arrow {
        bool shown = false;
        bool pushed = false;
        RECT rc {};
    };
    enum class FrameLook { Erased, Raised, Sunken };

    // Layout helpers.
    bool validFolder(int f) const { return f >= 0 && f < static_cast<int>(folders.size()); }
    Folder* openFolder() const;
    HIMAGELIST imagesFor(const Folder& f) const;
    SIZE imageSize(const Folder& f) const;
    RECT headerRectFor(int folder, int selected) const;
    RECT folderAreaFor(int selected) const;
    // Lays out the open folder's items from firstVisibleItem on (entries before it are empty).
    std::vector<ItemLayout> layoutItems() const;
    RECT frameFor(const ItemLayout& it) const;
    bool lastItemBelowArea() const;
    void updateScrollArrows();
    RECT arrowSquare(bool up) const;

    // Drawing.
    HFONT boldFont() const;
    void drawHeader(HDC dc, const RECT& rc, const std::string& name, bool pressed) const;
    void drawHeaderHover(HDC dc, int folder, bool hot) const;
    void drawItemFrame(HDC dc, int index, FrameLook look) const;
    void drawItems(HDC dc) const;
    void drawHoverFrames(HDC dc) const;
    bool hoverDrawingAllowed() const;
    void redrawArea(const RECT& rc);

    // Messages.
    LRESULT onCreate();
    LRESULT onPaint();
    LRESULT onTimer(WPARAM id);
    LRESULT onMouseMove(POINT pt);
    LRESULT onLButtonDown(POINT pt);
    LRESULT onSetCursor(WPARAM w, LPARAM l);
    LRESULT onSize();

    void setHot(int folder, int item);
    void clearHot();
    void trackClick(POINT pt);
    bool scrollStep(bool up);
    void animateFolderScroll(int from, int to);
    void placeChild(int folder);
    LRESULT notify(WPARAM code, LPARAM arg);

    std::vector<std::unique_ptr<Folder>> folders;
    int selectedFolder = 0;
    int firstVisibleItem = 0;
    int hotFolder = -1;
    int hotItem = -1;
    int selectedItem = -1;
    DWORD flags = kOutBarDefaultFlags;
    HIMAGELIST largeImages = nullptr;
    HIMAGELIST smallImages = nullptr;
    int itemTick = 0;
    COLORREF light3d, highlight3d, shadow3d, darkShadow3d;
    Arrow upArrow, downArrow;
    HCURSOR folderCursor = nullptr;

    HWND owner_ = nullptr;
    UINT dpi_ = 96;
    int px(int pixels) const { return ::MulDiv(pixels, static_cast<int>(dpi_), 96); }
    mutable HFONT font_ = nullptr;
    bool tracking_ = false;
    bool animating_ = false;
    HDC animBand_ = nullptr;  // the travelling headers while the folder change slides
    int animBandTop_ = 0;
    int animBandHeight_ = 0;
    bool itemPressed_ = false;   // hotItem is held down
    int pressedFolder_ = -1;     // header drawn pushed
    bool captureLost_ = false;
    int tickCounter_ = 0;
    int lastAnimationSteps_ = 0;
};
