// Entry point of every test program: COM and the common controls as the program sets them up.
#include "test_support.h"

#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>
#include <objbase.h>

int main(int argc, char** argv) {
    ReportDpiRead();
    ::CoInitialize(nullptr);
    INITCOMMONCONTROLSEX icc {sizeof icc, ICC_WIN95_CLASSES | ICC_COOL_CLASSES | ICC_BAR_CLASSES |
                                              ICC_ANIMATE_CLASS | ICC_LISTVIEW_CLASSES | ICC_TAB_CLASSES};
    ::InitCommonControlsEx(&icc);
    testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
