// The taskbar notifier: a small skinned popup that slides out of the taskbar, shows a short text
// for a while and slides back in, without ever taking the focus. Window timers drive the
// movement: 1 while it appears, 2 while it waits, 3 while it disappears.
#pragma once

#include "framework/window.h"

#include <functional>
#include <string>

enum class NotifierState { Hidden = 0, Appearing = 1, Waiting = 2, Disappearing = 3 };
enum class TaskbarEdge { Left = 0, Top = 1, Right = 2, Bottom = 3 };

// Where the taskbar lies: its window rectangle and the width of the screen it is on.
struct TaskbarPlace {
    RECT rect;
    int screenWidth;
};

class CTaskbarNotifier : public CWindowImpl {
public:
    enum : UINT_PTR { kAppearTimer = 1, kWaitTimer = 2, kDisappearTimer = 3 };
    // SetFonts style bits.
    enum : int { kBold = 1, kItalic = 2, kUnderline = 4 };

    CTaskbarNotifier();
    ~CTaskbarNotifier() override;

    // Registers "TaskbarNotifierClass" and creates the hidden popup, owned by `owner`.
    bool CreateWnd(HWND owner);
    // Skin from a bitmap resource of the program, in its drawing for the popup's display scale;
    // magenta pixels are cut out of the window's shape (the colour arguments are accepted for the
    // caller's convenience and not used).
    bool LoadSkin(UINT bitmapId, int red = 255, int green = 0, int blue = 255);
    // Skin from a bitmap file; the pixels of colour red/green/blue are cut out, unless red is
    // 0xFFFF or green or blue is 0xFFFF or more, in which case the window stays rectangular.
    bool LoadSkinFromFile(const std::string& fileName, int red = 0xFFFF, int green = 0xFFFF, int blue = 0xFFFF);
    // Both fonts from `face` at `size` tenths of a point; styles are kBold | kItalic | kUnderline.
    void SetFonts(const char* face, int size, int normalStyle, int hoverStyle);
    void SetColors(COLORREF normal, COLORREF hover);
    // In the skin as loaded. A text too long for it makes the skin taller (the rows of the text
    // area stretch), so that every text shows whole.
    void SetTextArea(int left, int top, int right, int bottom);
    void SetDrawFlags(UINT flags);
    // Shows `text`: slides out in `showTime` ms, stays `stayTime` ms, slides back in `hideTime` ms.
    void ShowText(const std::string& text, UINT showTime, UINT stayTime, UINT hideTime);
    // Stops any movement and hides the popup at once.
    void HideNow();

    // The DPI the popup is drawn for: that of the screen its taskbar is on, found again at every
    // ShowText. A change takes the skin's drawing for the new scale and scales the text area and
    // the fonts with it.
    UINT Dpi() const { return dpi_; }
    void SetDpi(UINT dpi);

    // The popup's face at its current size: the skin and the text over it.
    void Render(HDC dc) const;

    // The region of a bitmap without its pixels of colour `transparent`.
    static HRGN BuildSkinRegion(HBITMAP bitmap, COLORREF transparent);
    // The shell's taskbar; when none is on the screen, a flat bar along the bottom of the work
    // area.
    static TaskbarPlace FindSystemTaskbar();
    // How a movement of `distance` pixels in `time` ms is cut into timer ticks.
    static void Steps(UINT time, int distance, UINT resolution, UINT& delay, int& step);

    // Asked at every ShowText for the taskbar's place; FindSystemTaskbar when empty. Tests put
    // a made-up taskbar here.
    std::function<TaskbarPlace()> locateTaskbar;

    // The look and the movement, for reading; the calls above change them.
    HBITMAP skinBitmap = nullptr;
    int skinWidth = 0, skinHeight = 0;
    std::string text;
    HFONT normalFont = nullptr, hoverFont = nullptr;
    COLORREF normalColor = RGB(133, 146, 181), hoverColor = RGB(10, 36, 106);
    RECT textArea {0, 0, 0, 0};
    UINT drawFlags = DT_VCENTER | DT_WORDBREAK | DT_END_ELLIPSIS;
    bool hovering = false;
    NotifierState state = NotifierState::Hidden;
    TaskbarEdge edge = TaskbarEdge::Bottom;
    UINT timerResolution = 10;
    UINT stayTime = 0, showDelay = 0, hideDelay = 0;
    int showStep = 0, hideStep = 0;
    int x = 0, y = 0, w = 0, h = 0;
    // The taskbar found by the last ShowText.
    RECT taskbar {0, 0, 0, 0};

protected:
    const char* ClassName() const override { return "TaskbarNotifierClass"; }
    void AdjustClass(WNDCLASSEXA& wc) const override;

private:
    void OnTimer(UINT_PTR id);
    void OnAppearTick();
    void OnDisappearTick();
    void PlaceWindow();
    void DrawSkin(HDC dc) const;
    void DrawLabel(HDC dc) const;
    void UseSkin(HBITMAP bitmap, bool cutShape, COLORREF transparent);
    // Grows (or shrinks back) the skin so that `text` fits the text area.
    void FitSkinToText(const std::string& text);
    void SetShape();
    void MakeFonts();
    HFONT MakeFont(int style) const;

    UINT dpi_ = 96;
    UINT skinId_ = 0;           // the resource the skin came from, 0 for none or a file
    HBITMAP loadedSkin_ = nullptr;
    int loadedHeight_ = 0;      // the skin's height as loaded
    int grownBy_ = 0;           // rows the skin has been made taller for the text
    bool cutShape_ = false;
    COLORREF transparent_ = RGB(255, 0, 255);
    std::string fontFace_;      // empty: copies of the default GUI font
    int fontSize_ = 0, normalStyle_ = 0, hoverStyle_ = 0;
};
