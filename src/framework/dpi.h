// Display scale: the DPI a window is shown at, the sizes the program chooses in pixels scaled to
// it, and the pictures drawn for it. Every size in the code is written for 96 DPI (100%) and
// goes through these helpers.
//
// The program declares itself per-monitor aware (v2 where the system has it) in its manifest;
// systems without per-monitor support treat it as system aware. The newer calls are looked up
// at run time, so the program still starts on systems that lack them.
#pragma once

#include <windows.h>
#include <commctrl.h>

constexpr UINT kBaseDpi = 96;

// The DPI the process started with (the system DPI).
UINT SystemDpi();
// The DPI of a window: its monitor's under per-monitor awareness, else the system DPI.
UINT WindowDpi(HWND hwnd);
// The DPI of the monitor that holds most of `rc` (the system DPI where monitors have none of
// their own).
UINT DpiOfRect(const RECT& rc);
// A size chosen for 96 DPI, at `dpi`.
inline int ScaleToDpi(int pixels, UINT dpi) { return ::MulDiv(pixels, static_cast<int>(dpi), kBaseDpi); }
// A system metric (SM_CXVSCROLL, SM_CXSMICON, ...) at `dpi`.
int SystemMetricForDpi(int index, UINT dpi);

// A font like `base` (a font made for `baseDpi`) at `dpi`, with `weight` when it is not 0.
// The caller owns it.
HFONT CreateFontForDpi(const LOGFONTA& base, UINT baseDpi, UINT dpi, LONG weight = 0);
// The description of a window's font (the default GUI font when it has none).
LOGFONTA FontOfWindow(HWND hwnd);

// Pictures (bitmaps, the busy clip) come drawn for 100%, 150% and 200%: the resource of the
// larger ones is the picture's id plus one or two PICTURE_SCALE_STEP (resource.h). A window
// takes the largest drawing that is not larger than its scale wants, so pictures stay sharp
// (125% shows the 100% drawing, 175% the 150% one).
UINT PictureIdForDpi(UINT pictureId, UINT dpi);
// The size of a picture drawn `size` pixels wide at 100%, in the drawing PictureIdForDpi picks.
int PictureSizeForDpi(int size, UINT dpi);
// An image list of the square pictures of strip bitmap `pictureId` (drawn `size` pixels high at
// 100%, magenta where transparent) in the drawing for `dpi`. The caller owns it.
HIMAGELIST LoadPictureStrip(UINT pictureId, int size, UINT dpi, int grow = 1);
// An empty image list of pictures `size` pixels at 100%, sized for `dpi`. The caller owns it.
HIMAGELIST CreateEmptyPictureList(int size, UINT dpi);
// The shell's image list of small icons for `dpi` (shared by the whole process: never destroy
// it). The icon indexes are the same in every size, so any SHGFI_SYSICONINDEX answer applies.
HIMAGELIST SystemSmallIconsForDpi(UINT dpi);
