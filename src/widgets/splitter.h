// A static splitter of one row and two columns: the tool selector on the left, the result list
// on the right, with a bar between them that the user drags.
#pragma once

#include "framework/window.h"

class CSplitterWnd : public CWindowImpl {
public:
    CSplitterWnd();
    bool CreateSplitter(HWND parent, UINT id);
    // The windows of the two panes (children of the splitter).
    void SetPanes(HWND left, HWND right);
    // Column widths: the left column's ideal width and the minimums.
    void SetColumnInfo(int column, int ideal, int minimum);
    int LeftWidth() const { return leftWidth_; }
    void RecalcLayout();

    // The DPI the splitter is shown at: the bar's width follows it, and a change keeps the
    // columns in proportion (the left column's width and the minimums grow with the scale).
    void SetDpi(UINT dpi);
    int BarWidth() const;
    // Widens the left column to at least `width` for now: the width the user chose (or the
    // ideal one) comes back at the next change of scale.
    void WidenLeftColumn(int width);

protected:
    const char* ClassName() const override { return "KelvoSplitter"; }
    void AdjustClass(WNDCLASSEXA& wc) const override;

private:
    void Paint();
    RECT BarRect() const;

    HWND left_ = nullptr, right_ = nullptr;
    int leftWidth_ = 160;
    int rightIdeal_ = 0;
    int leftMin_ = 0, rightMin_ = 0;
    UINT dpi_ = 96;
    int chosenLeft96_ = 160;  // the left column's width as chosen, at 96 DPI
    bool dragging_ = false;
    int dragOffset_ = 0;
};
