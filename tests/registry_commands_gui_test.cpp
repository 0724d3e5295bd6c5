// The registry tool's scan as the main window runs it: what only the window shows, its cancel
// dialog over a disabled main window, the rows' images and columns sized to their contents.
#include "core/view.h"
#include "framework/prompter.h"
#include "kit.h"
#include "registry/regcommands.h"
#include "registry/regscan.h"

#include <gtest/gtest.h>

namespace {

class Host : public CWindowImpl {};

// Notes whether the cancel dialog was up, over a disabled main window, whenever the scan spoke.
struct Frame : kit::RecordingStatus {
    const CWrenlyView* view = nullptr;
    bool underDialog = true;
    void SetStatusText(const std::string& text, int target) override {
        RecordingStatus::SetStatusText(text, target);
        underDialog = underDialog && view->activeCancelDialog && !::IsWindowEnabled(MainWindow());
    }
};

}  // namespace

TEST(RegistryCommands, ScanRunsUnderItsCancelDialogIntoTheList) {
    kit::ScratchRoots machine;
    kit::SetRegString(HKEY_CLASSES_ROOT, ".kvdead", "", "kvdeadfile");
    kit::SetRegString(HKEY_CLASSES_ROOT, "kvdeadfile\\shell\\open\\command", "", "C:\\KvGone\\viewer.exe %1");
    Host host;
    CWrenlyView view;
    ASSERT_TRUE(host.Create(nullptr, RECT {0, 0, 800, 400}, "host", WS_OVERLAPPEDWINDOW | WS_VISIBLE));
    ASSERT_TRUE(view.CreateView(host.m_hWnd, 100));
    for (const char* title : {"Location", "SubKey", "ValueName", "Data", "Invalid Entry"}) {
        LVCOLUMNA column {LVCF_TEXT | LVCF_WIDTH, 0, 500, const_cast<char*>(title)};
        view.Send(LVM_INSERTCOLUMNA, 5, reinterpret_cast<LPARAM>(&column));
    }
    view.SetListMode(kListRegistry);
    SetMainWindow(host.m_hWnd);
    Frame frame;
    frame.view = &view;
    RunRegistryScan(view, frame);
    EXPECT_EQ("Total Invalid entries found: 3", frame.LastMessage());
    EXPECT_TRUE(frame.underDialog && !view.activeCancelDialog && ::IsWindowEnabled(host.m_hWnd));
    ASSERT_EQ(3, view.Count());
    EXPECT_TRUE(view.Text(0, 0) == "HKEY_CLASSES_ROOT" && view.Text(1, 2) == "open" && view.Data(1) == 0x11) << view.Text(1, 2);
    LVITEMA item {LVIF_IMAGE, 1};
    view.Send(LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item));
    EXPECT_EQ(kImageClassesRoot, item.iImage);
    EXPECT_NE(500, static_cast<int>(view.Send(LVM_GETCOLUMNWIDTH, 4))) << "columns sized to their contents";
}
