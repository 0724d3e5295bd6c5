// The tip of the day: reading tips.txt in turn, remembering the place, the start-up switch and
// what the dialog shows when the file is missing or holds no tip.
#include "widgets/tipdlg.h"
#include "framework/settings.h"
#include "framework/strings.h"
#include "resource.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <regex>

namespace {

const char kMissing[] = "Tips file does not exist in the prescribed directory";
const char kTrouble[] = "Trouble reading the tips file";

class TipTest : public ::testing::Test {
protected:
    TipTest() : key_("tipdlg"), dir_("tipdlg"), saved_(SettingsKeyPath()) {
        SetSettingsKey(key_.path().substr(std::string("Software\\").size()), "Kelvo Utils");
        tips_ = dir_ / "tips.txt";
    }
    ~TipTest() override {
        std::string rest = saved_.substr(saved_.find('\\') + 1);
        size_t cut = rest.find('\\');
        SetSettingsKey(rest.substr(0, cut), rest.substr(cut + 1));
    }

    // Writes the tips file byte for byte.
    void WriteTips(const std::string& text) {
        std::ofstream f(tips_, std::ios::binary | std::ios::trunc);
        f << text;
    }
    // One showing as at a program start: the tip the dialog would show.
    std::string Next() {
        CDailyTipDlg dlg(-1, nullptr, tips_);
        return dlg.tipText;
    }
    // Moves the file's modification time by `days`.
    void Touch(int days) {
        HANDLE h = ::CreateFileA(tips_.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                 OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(INVALID_HANDLE_VALUE, h);
        FILETIME ft;
        ::GetFileTime(h, nullptr, nullptr, &ft);
        ULARGE_INTEGER t {{ft.dwLowDateTime, ft.dwHighDateTime}};
        t.QuadPart += static_cast<ULONGLONG>(days) * 24 * 3600 * 10000000ULL;
        ft.dwLowDateTime = t.LowPart;
        ft.dwHighDateTime = t.HighPart;
        ASSERT_TRUE(::SetFileTime(h, nullptr, nullptr, &ft));
        ::CloseHandle(h);
    }
    int Setting(const char* name, int def = -7) { return ReadSettingInt("Settings", name, def); }

    ScratchKey key_;
    ScratchDir dir_;
    std::string saved_;
    std::string tips_;
    ScriptedPrompter prompter_;
};

// A modeless showing of the dialog for looking at its controls.
struct OpenTip {
    explicit OpenTip(CDailyTipDlg& d) : dlg(d) {
        EXPECT_TRUE(dlg.CreateModeless(nullptr));
        dlg.Show(SW_SHOW);
        dlg.Update();
    }
    ~OpenTip() { dlg.DestroyModeless(); }
    bool Checked() const { return ::IsDlgButtonChecked(dlg.m_hWnd, IDC_TIP_STARTUP) == BST_CHECKED; }
    bool NextEnabled() const { return ::IsWindowEnabled(dlg.Item(IDC_TIP_NEXT)) != FALSE; }
    void Press(int id) { dlg.Send(WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(dlg.Item(id))); }
    CDailyTipDlg& dlg;
};

}  // namespace

TEST_F(TipTest, TipsComeInTurnSkippingCommentsAndBlankLines) {
    WriteTips("; tips for the test\n\nFirst tip\n  indented is no tip\n\tnor tabbed\n;nor this\nSecond tip\n");
    EXPECT_EQ("First tip\r\n", Next());
    EXPECT_EQ("Second tip\r\n", Next());
    EXPECT_EQ("First tip\r\n", Next());  // round to the top
    EXPECT_EQ("Second tip\r\n", Next());
    EXPECT_TRUE(prompter_.asked.empty());
}

TEST_F(TipTest, WindowsLineEndsAndALastLineWithoutOne) {
    WriteTips(";c\r\n\r\nOne\r\nTwo");
    EXPECT_EQ("One\r\n", Next());
    EXPECT_EQ("Two", Next());
    EXPECT_EQ("One\r\n", Next());
}

TEST_F(TipTest, OverlongLineShowsItsStartOnly) {
    std::string longTip(1500, 'x');
    WriteTips(longTip + "\nShort\n");
    EXPECT_EQ(std::string(999, 'x'), Next());
    EXPECT_EQ("Short\r\n", Next());  // the rest of the long line is not a tip of its own
    EXPECT_EQ(std::string(999, 'x'), Next());
}

TEST_F(TipTest, PlaceIsSavedAndResumed) {
    WriteTips(";c\nAlpha\nBeta\nGamma\n");
    EXPECT_EQ("Alpha\r\n", Next());
    EXPECT_EQ(9, Setting("FilePos"));  // just after "Alpha\n"
    std::string stamp = ReadSettingString("Settings", "TimeStamp", "");
    EXPECT_TRUE(std::regex_match(stamp, std::regex("[A-Z][a-z]{2} [A-Z][a-z]{2} [ 0-9][0-9] "
                                                    "[0-9]{2}:[0-9]{2}:[0-9]{2} [0-9]{4}")))
        << stamp;

    // The stored place is where the next showing starts.
    WriteSettingInt("Settings", "FilePos", 14);  // after "Beta\n"
    EXPECT_EQ("Gamma\r\n", Next());
    EXPECT_EQ(20, Setting("FilePos"));
    EXPECT_EQ("Alpha\r\n", Next());
}

TEST_F(TipTest, ChangedFileStartsAgainAtTheTop) {
    WriteTips("Alpha\nBeta\nGamma\n");
    EXPECT_EQ("Alpha\r\n", Next());
    EXPECT_EQ("Beta\r\n", Next());
    std::string before = ReadSettingString("Settings", "TimeStamp", "");
    Touch(1);
    EXPECT_EQ("Alpha\r\n", Next());
    EXPECT_NE(before, ReadSettingString("Settings", "TimeStamp", ""));
    EXPECT_EQ("Beta\r\n", Next());
}

TEST_F(TipTest, FileWithoutTipsSaysSoInsteadOfHanging) {
    for (const char* text : {";only\n\n; comments\n   \n", ""}) {
        WriteTips(text);
        CDailyTipDlg dlg(-1, nullptr, tips_);
        EXPECT_EQ(kTrouble, dlg.tipText) << '"' << text << '"';
        EXPECT_FALSE(dlg.HasTips());
        OpenTip open(dlg);
        EXPECT_EQ(kTrouble, dlg.ItemText(IDC_TIP_TEXT));
        EXPECT_FALSE(open.NextEnabled());
    }
    // Also when the stored place is in the middle of such a file.
    WriteTips(";only\n;comments\n");
    WriteSettingInt("Settings", "FilePos", 6);
    EXPECT_EQ(kTrouble, Next());
}

TEST_F(TipTest, MissingFileShowsTheMessageAndKeepsThePlace) {
    WriteSettingInt("Settings", "FilePos", 42);
    {
        CDailyTipDlg dlg(-1, nullptr, dir_ / "no-such-tips.txt");
        EXPECT_EQ(kMissing, dlg.tipText);
        OpenTip open(dlg);
        EXPECT_EQ(kMissing, dlg.ItemText(IDC_TIP_TEXT));
        EXPECT_FALSE(open.NextEnabled());
    }
    EXPECT_EQ(42, Setting("FilePos"));
    EXPECT_TRUE(prompter_.asked.empty());
}

TEST_F(TipTest, UnreachablePlaceReportsTroubleWithAnEmptyTip) {
    WriteTips("Alpha\nBeta\n");
    Next();  // stores the file's time stamp
    WriteSettingInt("Settings", "FilePos", -5);
    CDailyTipDlg dlg(-1, nullptr, tips_);
    EXPECT_EQ("", dlg.tipText);
    ASSERT_EQ(1u, prompter_.asked.size());
    EXPECT_EQ(kTrouble, prompter_.asked[0].text);
}

TEST_F(TipTest, TipByNumber) {
    WriteTips(";c\nAlpha\n\nBeta\n");
    EXPECT_EQ("Beta\r\n", CDailyTipDlg(2, nullptr, tips_).tipText);
    EXPECT_EQ("Alpha\r\n", CDailyTipDlg(1, nullptr, tips_).tipText);
    EXPECT_EQ(kTrouble, CDailyTipDlg(3, nullptr, tips_).tipText);
}

TEST_F(TipTest, NextTipButtonMovesOn) {
    WriteTips("Alpha\nBeta\n");
    {
        CDailyTipDlg dlg(-1, nullptr, tips_);
        OpenTip open(dlg);
        EXPECT_EQ("Alpha\r\n", dlg.ItemText(IDC_TIP_TEXT));
        EXPECT_TRUE(open.NextEnabled());
        open.Press(IDC_TIP_NEXT);
        EXPECT_EQ("Beta\r\n", dlg.ItemText(IDC_TIP_TEXT));
        open.Press(IDC_TIP_NEXT);
        EXPECT_EQ("Alpha\r\n", dlg.ItemText(IDC_TIP_TEXT));
    }
    EXPECT_EQ("Beta\r\n", Next());  // the place of the last tip shown was kept
}

TEST_F(TipTest, StartUpTipIsReadAndWrittenInverted) {
    WriteTips("Alpha\n");
    {
        CDailyTipDlg dlg(-1, nullptr, tips_);  // nothing stored: shown at start-up
        EXPECT_TRUE(dlg.showAtStartup);
        OpenTip open(dlg);
        EXPECT_TRUE(open.Checked());
        ::CheckDlgButton(dlg.m_hWnd, IDC_TIP_STARTUP, BST_UNCHECKED);
        open.Press(IDOK);  // the "&Cancel" button
        EXPECT_FALSE(dlg.IsWindow());
    }
    EXPECT_EQ(1, Setting("StartUpTip"));
    {
        CDailyTipDlg dlg(-1, nullptr, tips_);
        EXPECT_FALSE(dlg.showAtStartup);
        OpenTip open(dlg);
        EXPECT_FALSE(open.Checked());
        ::CheckDlgButton(dlg.m_hWnd, IDC_TIP_STARTUP, BST_CHECKED);
        open.Press(IDCANCEL);  // Esc writes nothing
    }
    EXPECT_EQ(1, Setting("StartUpTip"));
    {
        CDailyTipDlg dlg(-1, nullptr, tips_);
        OpenTip open(dlg);
        ::CheckDlgButton(dlg.m_hWnd, IDC_TIP_STARTUP, BST_CHECKED);
        open.Press(IDOK);
    }
    EXPECT_EQ(0, Setting("StartUpTip"));
    WriteSettingInt("Settings", "StartUpTip", 2);  // any non-zero value: not at start-up
    EXPECT_FALSE(CDailyTipDlg(-1, nullptr, tips_).showAtStartup);
}

TEST_F(TipTest, PaintsTheBandAndTheWhiteTipArea) {
    WriteTips("Alpha\n");
    CDailyTipDlg dlg(-1, nullptr, tips_);
    OpenTip open(dlg);
    PumpFor(100);
    RECT bulb = dlg.ClientRect();
    HWND bulbStatic = dlg.Item(IDC_TIP_BULB);
    ::GetWindowRect(bulbStatic, &bulb);
    ::MapWindowPoints(nullptr, dlg.m_hWnd, reinterpret_cast<POINT*>(&bulb), 2);

    HDC dc = ::GetDC(dlg.m_hWnd);
    int bandLeft = std::max<int>(bulb.right, bulb.left + 32);
    EXPECT_EQ(RGB(250, 250, 0), ::GetPixel(dc, bandLeft + 200, 14));
    EXPECT_EQ(RGB(250, 250, 0), ::GetPixel(dc, bandLeft + 230, 40));
    EXPECT_NE(RGB(250, 250, 0), ::GetPixel(dc, bandLeft + 233, 20));
    // Some of the band is the heading's text.
    int text = 0;
    for (int x = bandLeft; x < bandLeft + 100; ++x)
        for (int y = 13; y < 41; ++y)
            if (::GetPixel(dc, x, y) != RGB(250, 250, 0)) ++text;
    EXPECT_GT(text, 20);
    // White below the bulb and around the tip.
    EXPECT_EQ(RGB(255, 255, 255), ::GetPixel(dc, bulb.left + 5, bulb.bottom - 5));
    RECT edit;
    ::GetWindowRect(dlg.Item(IDC_TIP_TEXT), &edit);
    ::MapWindowPoints(nullptr, dlg.m_hWnd, reinterpret_cast<POINT*>(&edit), 2);
    EXPECT_EQ(RGB(255, 255, 255), ::GetPixel(dc, edit.right - 30, edit.bottom - 3));
    ::ReleaseDC(dlg.m_hWnd, dc);
}

TEST_F(TipTest, ShippedTipsFileIsBesideTheProgramAndWellFormed) {
    std::string path = CDailyTipDlg::DefaultTipsPath();
    ASSERT_TRUE(FileExists(path)) << path;
    EXPECT_EQ("C:\\Kelvo Utilities\\tips.txt", path);
    std::ifstream f(path, std::ios::binary);
    std::string line;
    int tips = 0;
    while (std::getline(f, line)) {
        EXPECT_LT(line.size(), 999u);
        EXPECT_EQ(std::string::npos, line.find('\r'));
        if (!line.empty() && line[0] != ';' && line[0] != ' ' && line[0] != '\t') ++tips;
    }
    EXPECT_GE(tips, 10);

    CDailyTipDlg first;  // the program's own file, from the top
    EXPECT_FALSE(first.tipText.empty());
    EXPECT_NE(kMissing, first.tipText);
    EXPECT_NE(kTrouble, first.tipText);
}

namespace {
HWND g_tipWindow = nullptr;
int g_closeWith = IDOK;

void CALLBACK CloseTip(HWND, UINT, UINT_PTR id, DWORD) {
    ::EnumThreadWindows(::GetCurrentThreadId(), [](HWND h, LPARAM) -> BOOL {
        char title[16] = "";
        ::GetWindowTextA(h, title, sizeof title);
        if (std::string(title) == "Tip" && ::IsWindowVisible(h)) g_tipWindow = h;
        return TRUE;
    }, 0);
    if (g_tipWindow) {
        ::KillTimer(nullptr, id);
        ::PostMessageA(g_tipWindow, WM_COMMAND, MAKEWPARAM(g_closeWith, BN_CLICKED), 0);
    }
}
}  // namespace

TEST_F(TipTest, StartUpAndMenuShowTheDialogModally) {
    // The start-up call and the menu call read the file beside the program.
    WriteSettingInt("Settings", "StartUpTip", 1);
    g_tipWindow = nullptr;
    ShowTipAtStartup(nullptr);  // turned off: no dialog, but the place moves on
    EXPECT_EQ(nullptr, g_tipWindow);
    int afterFirst = Setting("FilePos");
    EXPECT_GT(afterFirst, 0);

    UINT_PTR timer = ::SetTimer(nullptr, 0, 50, CloseTip);
    g_closeWith = IDOK;
    ShowTipOfTheDay(nullptr);  // the menu shows it anyway
    ::KillTimer(nullptr, timer);
    EXPECT_NE(nullptr, g_tipWindow);
    EXPECT_GT(Setting("FilePos"), afterFirst);
    EXPECT_EQ(1, Setting("StartUpTip"));  // the box was cleared, as stored

    WriteSettingInt("Settings", "StartUpTip", 0);
    g_tipWindow = nullptr;
    timer = ::SetTimer(nullptr, 0, 50, CloseTip);
    g_closeWith = IDCANCEL;
    ShowTipAtStartup(nullptr);
    ::KillTimer(nullptr, timer);
    EXPECT_NE(nullptr, g_tipWindow);
}
