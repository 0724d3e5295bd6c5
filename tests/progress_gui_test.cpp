// The cancel and animation dialogs: owner disabling, the pump and the Cancel flag.
#include "widgets/progressdlg.h"
#include "framework/prompter.h"
#include "resource.h"
#include "test_support.h"

#include <gtest/gtest.h>

namespace {

class Counter : public CWindowImpl {
public:
    Counter() { OnMessage(WM_USER + 9, [this](WPARAM, LPARAM) { ++hits; return LRESULT(0); }); }
    int hits = 0;
};

class ProgressTest : public ::testing::Test {
protected:
    void SetUp() override {
        RECT rc {50, 50, 450, 350};
        ASSERT_TRUE(owner.Create(nullptr, rc, "owner", WS_OVERLAPPEDWINDOW | WS_VISIBLE));
        SetMainWindow(owner.m_hWnd);
    }
    void TearDown() override { SetMainWindow(nullptr); }
    Counter owner;
};

}  // namespace

TEST_F(ProgressTest, CancelDialogDisablesAndReenablesItsOwner) {
    CCancelDialog dlg(0);
    ASSERT_TRUE(dlg.create(owner.m_hWnd));
    EXPECT_FALSE(::IsWindowEnabled(owner.m_hWnd));
    EXPECT_TRUE(dlg.ownerDisabled);
    EXPECT_EQ("Please Wait...", dlg.Text());
    EXPECT_FALSE(dlg.checkCancelled());
    dlg.close();
    EXPECT_TRUE(::IsWindowEnabled(owner.m_hWnd));
    EXPECT_FALSE(dlg.IsWindow());
}

TEST_F(ProgressTest, AlreadyDisabledOwnerStaysDisabled) {
    ::EnableWindow(owner.m_hWnd, FALSE);
    {
        CCancelDialog dlg(0);
        ASSERT_TRUE(dlg.create(nullptr));  // no parent: the main window
        EXPECT_FALSE(dlg.ownerDisabled);
        dlg.close();
    }
    EXPECT_FALSE(::IsWindowEnabled(owner.m_hWnd));
    ::EnableWindow(owner.m_hWnd, TRUE);
}

TEST_F(ProgressTest, DestroyingTheObjectClosesTheDialog) {
    HWND h;
    {
        CCancelDialog dlg(IDS_PLEASE_WAIT);
        ASSERT_TRUE(dlg.create(owner.m_hWnd));
        h = dlg.m_hWnd;
    }
    EXPECT_FALSE(::IsWindow(h));
    EXPECT_TRUE(::IsWindowEnabled(owner.m_hWnd));
}

TEST_F(ProgressTest, CancelSetsTheFlagOnlyAndEnterDoesNothing) {
    CCancelDialog dlg(0);
    ASSERT_TRUE(dlg.create(owner.m_hWnd));
    dlg.Send(WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    EXPECT_TRUE(dlg.IsWindow());
    EXPECT_FALSE(dlg.checkCancelled());

    // A click on Cancel arrives as a message; the scan sees it at its next poll.
    HWND cancel = dlg.Item(IDCANCEL);
    ASSERT_TRUE(cancel);
    ::PostMessageA(dlg.m_hWnd, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), reinterpret_cast<LPARAM>(cancel));
    EXPECT_FALSE(dlg.cancelled);
    EXPECT_TRUE(dlg.checkCancelled());
    ::PostMessageA(dlg.m_hWnd, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), reinterpret_cast<LPARAM>(cancel));
    EXPECT_TRUE(dlg.checkCancelled());
    EXPECT_TRUE(dlg.IsWindow());  // the scan closes it, not the button
    dlg.close();
}

TEST_F(ProgressTest, PollDispatchesOtherWindowsMessages) {
    CCancelDialog dlg(0);
    ASSERT_TRUE(dlg.create(owner.m_hWnd));
    for (int i = 0; i < 3; ++i) ::PostMessageA(owner.m_hWnd, WM_USER + 9, 0, 0);
    dlg.checkCancelled();
    EXPECT_EQ(3, owner.hits);
    dlg.close();
}

TEST_F(ProgressTest, PollLeavesAQuitRequestForTheMainLoop) {
    CCancelDialog dlg(0);
    ASSERT_TRUE(dlg.create(owner.m_hWnd));
    ::PostQuitMessage(3);
    dlg.checkCancelled();
    dlg.close();
    MSG msg;
    bool sawQuit = false;
    while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            sawQuit = true;
            EXPECT_EQ(3u, msg.wParam);
            break;
        }
    }
    EXPECT_TRUE(sawQuit);
}

TEST_F(ProgressTest, AnimationDialogPlaysAndAlwaysSaysLoading) {
    CAnimationDialog dlg(IDS_PLEASE_WAIT);
    ASSERT_TRUE(dlg.create(owner.m_hWnd));
    EXPECT_EQ("Loading...", dlg.Text());
    EXPECT_FALSE(::IsWindowEnabled(owner.m_hWnd));
    EXPECT_TRUE(dlg.animation());
    // The clip is open: playing it again is accepted (a control without a clip refuses).
    EXPECT_TRUE(::SendMessageA(dlg.animation(), ACM_PLAY, static_cast<WPARAM>(-1), MAKELONG(0, 0xFFFF)));
    dlg.setText("Run");
    EXPECT_EQ("Run", dlg.ItemText(1005));
    dlg.Send(WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    dlg.Send(WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    dlg.pump();
    EXPECT_TRUE(dlg.IsWindow());
    HWND anim = dlg.animation();
    dlg.close();
    EXPECT_FALSE(::IsWindow(anim));
    EXPECT_TRUE(::IsWindowEnabled(owner.m_hWnd));
}
