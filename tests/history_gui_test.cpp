// The history eraser's commands on the real result list: the options with their check boxes,
// and "Start" with its cancel dialog, the clipboard, and the settings-change broadcast that a
// top-level window of this test receives.
#include "core/view.h"
#include "files_testkit.h"
#include "history/history.h"
#include "history/historycommands.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>

using namespace filestest;

namespace {

class Host : public CWindowImpl {
public:
    Host() {
        // Only this thread's own broadcasts count: other programs may send theirs.
        OnMessage(WM_SETTINGCHANGE, [this](WPARAM w, LPARAM l) -> LRESULT {
            if (!::InSendMessage()) settingChanges.push_back({w, l});
            return 0;
        });
    }
    std::vector<std::pair<WPARAM, LPARAM>> settingChanges;
};

// Records the message bar and what the window looked like at each text.
class WatchingStatus : public RecordingStatus {
public:
    std::function<void()> onText;
    void SetStatusText(const std::string& text, int target) override {
        RecordingStatus::SetStatusText(text, target);
        if (onText) onText();
    }
};

bool PutTextOnClipboard(HWND owner, const std::string& text) {
    if (!::OpenClipboard(owner)) return false;
    ::EmptyClipboard();
    HGLOBAL mem = ::GlobalAlloc(GMEM_MOVEABLE, text.size() + 1);
    std::memcpy(::GlobalLock(mem), text.c_str(), text.size() + 1);
    ::GlobalUnlock(mem);
    bool ok = ::SetClipboardData(CF_TEXT, mem) != nullptr;
    ::CloseClipboard();
    return ok;
}

std::string ClipboardText() {
    std::string s;
    if (!::OpenClipboard(nullptr)) return "<busy>";
    if (HANDLE h = ::GetClipboardData(CF_TEXT)) {
        if (const char* p = static_cast<const char*>(::GlobalLock(h))) s = p;
        ::GlobalUnlock(h);
    }
    ::CloseClipboard();
    return s;
}

class HistoryCommandsTest : public ::testing::Test {
protected:
    void SetUp() override {
        RECT rc {0, 0, 700, 400};
        ASSERT_TRUE(host.Create(nullptr, rc, "history host", WS_OVERLAPPEDWINDOW | WS_VISIBLE));
        ASSERT_TRUE(view.CreateView(host.m_hWnd, 100));
        ::MoveWindow(view.m_hWnd, 0, 0, 680, 380, TRUE);
        SetMainWindow(host.m_hWnd);
        // As the main window sets the tool up.
        view.SetListMode(kListHistory);
        view.Send(LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_CHECKBOXES, LVS_EX_CHECKBOXES);
        LVCOLUMNA col {};
        col.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT | LVCF_SUBITEM;
        col.cx = 200;
        col.pszText = const_cast<char*>("Select Removal Options");
        view.Send(LVM_INSERTCOLUMNA, 0, reinterpret_cast<LPARAM>(&col));
        ListHistoryItems(view);
        host.settingChanges.clear();
    }
    void TearDown() override { SetMainWindow(nullptr); }
    void CheckOnly(DWORD code) {
        for (int r = 0; r < view.Count(); ++r) view.SetChecked(r, view.Data(r) == code);
    }

    Host host;
    CWrenlyView view;
};

}  // namespace

TEST_F(HistoryCommandsTest, ListsTheOptionsWithCheckBoxesAndSizesTheColumn) {
    ASSERT_EQ(8, view.Count());
    for (int r = 0; r < 8; ++r) {
        EXPECT_EQ(kHistoryOptions[r].text, view.Text(r, 0));
        EXPECT_EQ(kHistoryOptions[r].code, view.Data(r));
        EXPECT_EQ(kHistoryOptions[r].checkedAtStart, view.IsChecked(r)) << r;
    }
    EXPECT_FALSE(view.IsChecked(3));
    int width = static_cast<int>(view.Send(LVM_GETCOLUMNWIDTH, 0));
    int text = static_cast<int>(view.Send(LVM_GETSTRINGWIDTHA, 0, reinterpret_cast<LPARAM>(kHistoryOptions[0].text)));
    EXPECT_GT(width, text) << "the longest option is shown whole";

    // The check marks the user changed are forgotten when the tool is chosen again.
    view.SetChecked(0, false);
    view.SetChecked(3, true);
    ListHistoryItems(view);
    ASSERT_EQ(8, view.Count());
    EXPECT_TRUE(view.IsChecked(0));
    EXPECT_FALSE(view.IsChecked(3));
}

TEST_F(HistoryCommandsTest, StartEmptiesTheClipboardUnderTheCancelDialogAndAnnouncesTheChange) {
    ASSERT_TRUE(PutTextOnClipboard(host.m_hWnd, "secret paste"));
    ASSERT_EQ("secret paste", ClipboardText());
    CheckOnly(kEraseClipboard);

    WatchingStatus status;
    bool dialogWasUp = false;
    status.onText = [&] { dialogWasUp = view.activeCancelDialog != nullptr && !::IsWindowEnabled(host.m_hWnd); };
    int stops = 0;
    RunEraseHistory(view, status, [&] { ++stops; });

    EXPECT_EQ("", ClipboardText());
    EXPECT_EQ((std::vector<std::string>{""}), status.bar);
    EXPECT_TRUE(dialogWasUp);
    EXPECT_EQ(nullptr, view.activeCancelDialog);
    EXPECT_TRUE(::IsWindowEnabled(host.m_hWnd));
    EXPECT_EQ(1, stops);
    // The shell's global-events notice that follows cannot be observed here: Wine's shell drops
    // notices given as DWORD items without passing them on.
    ASSERT_EQ(1u, host.settingChanges.size());
    EXPECT_EQ(0u, host.settingChanges[0].first);
    EXPECT_EQ(0, host.settingChanges[0].second) << "no section named";
    // "Start" leaves the rows and their check marks as they were.
    ASSERT_EQ(8, view.Count());
    for (int r = 0; r < 8; ++r) EXPECT_EQ(view.Data(r) == kEraseClipboard, view.IsChecked(r)) << r;
}

TEST_F(HistoryCommandsTest, WithEveryRowClearedOnlyTheBroadcastHappens) {
    ASSERT_TRUE(PutTextOnClipboard(host.m_hWnd, "kept paste"));
    CheckOnly(0);
    RecordingStatus status;
    RunEraseHistory(view, status);
    EXPECT_EQ("kept paste", ClipboardText());
    EXPECT_EQ((std::vector<std::string>{""}), status.bar);
    ASSERT_EQ(1u, host.settingChanges.size());
    EXPECT_EQ(0, host.settingChanges[0].second);
    EXPECT_EQ(nullptr, view.activeCancelDialog);
    EXPECT_TRUE(::IsWindowEnabled(host.m_hWnd));
}
