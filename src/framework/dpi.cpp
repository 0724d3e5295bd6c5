#include "framework/dpi.h"

#include "framework/window.h"
#include "resource.h"

#include <commctrl.h>
#include <objbase.h>
#include <shellapi.h>

namespace {

template <class F> F UserCall(const char* name) {
    HMODULE user = ::GetModuleHandleA("user32.dll");
    return user ? reinterpret_cast<F>(reinterpret_cast<void*>(::GetProcAddress(user, name))) : nullptr;
}

using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
using GetSystemMetricsForDpiFn = int(WINAPI*)(int, UINT);
using GetDpiForMonitorFn = HRESULT(WINAPI*)(HMONITOR, int, UINT*, UINT*);
using SHGetImageListFn = HRESULT(WINAPI*)(int, REFIID, void**);

// The pictures drawn for 150% and 200%, by the scale step (0: 100%).
int PictureStep(UINT dpi) {
    if (dpi >= 2 * kBaseDpi) return 2;
    if (dpi >= kBaseDpi * 3 / 2) return 1;
    return 0;
}

int IconListSize(HIMAGELIST list) {
    int cx = 0, cy = 0;
    return list && ::ImageList_GetIconSize(list, &cx, &cy) ? cx : 0;
}

}  // namespace

UINT SystemDpi() {
    HDC screen = ::GetDC(nullptr);
    int dpi = screen ? ::GetDeviceCaps(screen, LOGPIXELSY) : 0;
    if (screen) ::ReleaseDC(nullptr, screen);
    return dpi > 0 ? static_cast<UINT>(dpi) : kBaseDpi;
}

UINT WindowDpi(HWND hwnd) {
    static const auto getDpiForWindow = UserCall<GetDpiForWindowFn>("GetDpiForWindow");
    if (getDpiForWindow && hwnd) {
        UINT dpi = getDpiForWindow(hwnd);
        if (dpi > 0) return dpi;
    }
    return SystemDpi();
}

UINT DpiOfRect(const RECT& rc) {
    // Per-monitor DPIs came with Windows 8.1, in shcore.dll.
    static const auto getDpiForMonitor = [] {
        HMODULE shcore = ::LoadLibraryA("shcore.dll");
        return shcore ? reinterpret_cast<GetDpiForMonitorFn>(
                            reinterpret_cast<void*>(::GetProcAddress(shcore, "GetDpiForMonitor")))
                      : nullptr;
    }();
    if (getDpiForMonitor) {
        UINT x = 0, y = 0;
        HMONITOR monitor = ::MonitorFromRect(&rc, MONITOR_DEFAULTTOPRIMARY);
        if (monitor && SUCCEEDED(getDpiForMonitor(monitor, 0 /* MDT_EFFECTIVE_DPI */, &x, &y)) && y > 0) return y;
    }
    return SystemDpi();
}

int SystemMetricForDpi(int index, UINT dpi) {
    static const auto forDpi = UserCall<GetSystemMetricsForDpiFn>("GetSystemMetricsForDpi");
    if (forDpi) return forDpi(index, dpi);
    // Without it the process is at most system aware: every window has the system DPI.
    return ::MulDiv(::GetSystemMetrics(index), static_cast<int>(dpi), static_cast<int>(SystemDpi()));
}

HFONT CreateFontForDpi(const LOGFONTA& base, UINT baseDpi, UINT dpi, LONG weight) {
    LOGFONTA lf = base;
    lf.lfHeight = ::MulDiv(base.lfHeight, static_cast<int>(dpi), static_cast<int>(baseDpi ? baseDpi : kBaseDpi));
    lf.lfWidth = ::MulDiv(base.lfWidth, static_cast<int>(dpi), static_cast<int>(baseDpi ? baseDpi : kBaseDpi));
    if (weight) lf.lfWeight = weight;
    return ::CreateFontIndirectA(&lf);
}

LOGFONTA FontOfWindow(HWND hwnd) {
    LOGFONTA lf {};
    HFONT font = hwnd ? reinterpret_cast<HFONT>(::SendMessageA(hwnd, WM_GETFONT, 0, 0)) : nullptr;
    if (!font || !::GetObjectA(font, sizeof lf, &lf)) ::GetObjectA(::GetStockObject(DEFAULT_GUI_FONT), sizeof lf, &lf);
    return lf;
}

UINT PictureIdForDpi(UINT pictureId, UINT dpi) {
    return pictureId + static_cast<UINT>(PictureStep(dpi)) * PICTURE_SCALE_STEP;
}

int PictureSizeForDpi(int size, UINT dpi) { return size + size * PictureStep(dpi) / 2; }

HIMAGELIST LoadPictureStrip(UINT pictureId, int size, UINT dpi, int grow) {
    int side = PictureSizeForDpi(size, dpi);
    HBITMAP strip = static_cast<HBITMAP>(::LoadImageA(AppInstance(), MAKEINTRESOURCEA(PictureIdForDpi(pictureId, dpi)),
                                                      IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
    BITMAP bm {};
    int count = strip && ::GetObjectA(strip, sizeof bm, &bm) ? bm.bmWidth / side : 0;
    HIMAGELIST list = ::ImageList_Create(side, side, ILC_COLOR24 | ILC_MASK, count, grow);
    if (strip) {
        if (list) ::ImageList_AddMasked(list, strip, RGB(255, 0, 255));
        ::DeleteObject(strip);
    }
    return list;
}

HIMAGELIST CreateEmptyPictureList(int size, UINT dpi) {
    int side = PictureSizeForDpi(size, dpi);
    return ::ImageList_Create(side, side, ILC_COLOR24 | ILC_MASK, 0, 1);
}

HIMAGELIST SystemSmallIconsForDpi(UINT dpi) {
    SHFILEINFOA sfi {};
    auto small = reinterpret_cast<HIMAGELIST>(
        ::SHGetFileInfoA("C:\\", 0, &sfi, sizeof sfi, SHGFI_SYSICONINDEX | SHGFI_SMALLICON));
    const int wanted = SystemMetricForDpi(SM_CXSMICON, dpi);
    if (IconListSize(small) >= wanted) return small;

    // A window on a monitor of a larger scale than the system's: the shell's larger lists hold
    // the same icons; take the largest that is not larger than the scale wants.
    static const auto getImageList = [] {
        HMODULE shell = ::GetModuleHandleA("shell32.dll");
        return shell ? reinterpret_cast<SHGetImageListFn>(
                           reinterpret_cast<void*>(::GetProcAddress(shell, "SHGetImageList")))
                     : nullptr;
    }();
    if (!getImageList) return small;
    static const GUID kImageListId = {0x46EB5926, 0x582E, 0x4017, {0x9F, 0xDF, 0xE8, 0x99, 0x8D, 0xAA, 0x09, 0x50}};
    HIMAGELIST best = small;
    for (int kind : {0 /* SHIL_LARGE */, 2 /* SHIL_EXTRALARGE */}) {
        void* list = nullptr;
        if (FAILED(getImageList(kind, kImageListId, &list)) || !list) continue;
        auto candidate = static_cast<HIMAGELIST>(list);
        int size = IconListSize(candidate);
        if (size <= wanted && size > IconListSize(best)) best = candidate;
        // The shell keeps its own reference for the life of the process.
        static_cast<IUnknown*>(list)->Release();
    }
    return best;
}
