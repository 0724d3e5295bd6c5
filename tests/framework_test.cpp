// The window layer: settings store, string table, message routing, dialogs with data exchange,
// property sheets, the prompter.
#include "framework/dialog.h"
#include "framework/prompter.h"
#include "framework/propsheet.h"
#include "framework/settings.h"
#include "framework/strings.h"
#include "core/reghelpers.h"
#include "resource.h"
#include "test_support.h"

#include <gtest/gtest.h>

namespace {

// Points the settings store at a scratch key for one test.
class SettingsScope {
public:
    SettingsScope() : key_("settings"), saved_(SettingsKeyPath()) {
        std::string company = key_.path().substr(std::string("Software\\").size());
        SetSettingsKey(company, "Kelvo Utils");
    }
    ~SettingsScope() {
        size_t cut = saved_.find('\\');
        std::string rest = saved_.substr(cut + 1);
        size_t cut2 = rest.find('\\');
        SetSettingsKey(rest.substr(0, cut2), rest.substr(cut2 + 1));
    }
    const std::string& root() const { return key_.path(); }

private:
    ScratchKey key_;
    std::string saved_;
};

}  // namespace

TEST(SettingsStore, KeyIsUnderSoftware) {
    EXPECT_EQ("Software\\Kelvo Utils\\Kelvo Utils", SettingsKeyPath());
}

TEST(SettingsStore, DefaultsWhenNothingIsStored) {
    SettingsScope scope;
    EXPECT_EQ(1, ReadSettingInt("Settings", "tasknotify", 1));
    EXPECT_EQ(-7, ReadSettingInt("Settings", "x", -7));
    EXPECT_EQ("", ReadSettingString("Settings", "JunkExt", ""));
    EXPECT_EQ("dflt", ReadSettingString("Nosection", "JunkExt", "dflt"));
    // Reading creates nothing.
    EXPECT_FALSE(RegKeyExists(HKEY_CURRENT_USER, SettingsKeyPath() + "\\Settings"));
}

TEST(SettingsStore, RoundTripsIntegersAndStrings) {
    SettingsScope scope;
    WriteSettingInt("Settings", "StartUpTip", 2);
    WriteSettingInt("Settings", "x", -120);
    WriteSettingString("Settings", "JunkExt", ".tmpE,.bakD");
    WriteSettingInt("Exclude", "C:\\WINDOWS", 1);
    std::string longText(5000, 'q');
    WriteSettingString("Settings", "Long", longText);

    EXPECT_EQ(2, ReadSettingInt("Settings", "StartUpTip", 0));
    EXPECT_EQ(-120, ReadSettingInt("Settings", "x", 0));
    EXPECT_EQ(".tmpE,.bakD", ReadSettingString("Settings", "JunkExt", ""));
    EXPECT_EQ(1, ReadSettingInt("Exclude", "C:\\WINDOWS", 0));
    EXPECT_EQ(longText, ReadSettingString("Settings", "Long", ""));

    // Stored types: integers as REG_DWORD, strings as REG_SZ.
    HKEY k = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, ::RegOpenKeyExA(HKEY_CURRENT_USER, (SettingsKeyPath() + "\\Settings").c_str(), 0,
                                              KEY_READ, &k));
    DWORD type = 0;
    ::RegQueryValueExA(k, "x", nullptr, &type, nullptr, nullptr);
    EXPECT_EQ(static_cast<DWORD>(REG_DWORD), type);
    ::RegQueryValueExA(k, "JunkExt", nullptr, &type, nullptr, nullptr);
    EXPECT_EQ(static_cast<DWORD>(REG_SZ), type);
    ::RegCloseKey(k);
}

TEST(SettingsStore, WrongTypeGivesDefault) {
    SettingsScope scope;
    WriteSettingString("Settings", "playsound", "1");
    WriteSettingInt("Settings", "TimeStamp", 5);
    EXPECT_EQ(9, ReadSettingInt("Settings", "playsound", 9));
    EXPECT_EQ("none", ReadSettingString("Settings", "TimeStamp", "none"));
}

TEST(Strings, StringTableAndFormatting) {
    EXPECT_EQ("Kelvo Utils", LoadStr(IDS_APP_TITLE));
    EXPECT_EQ("Kelvo Utilities v1.3\n\nKELVOUI\n\n\nKELVOUI\nKELVOUI Document", LoadStr(IDR_MAINFRAME));
    EXPECT_EQ("Please Wait...", LoadStr(IDS_PLEASE_WAIT));
    EXPECT_EQ("", LoadStr(65000));
    EXPECT_EQ("Total Invalid entries found: 12", Format("Total Invalid entries found: %d", 12));
    EXPECT_TRUE(SameText("C:\\Windows\\System", "c:\\WINDOWS\\system"));
    EXPECT_FALSE(SameText("C:\\Windows", "C:\\Windows\\"));
    EXPECT_EQ("C:\\TEMP\\ABC", ToUpper("c:\\temp\\abc"));
}

namespace {
class RoutedWindow : public CWindowImpl {
public:
    RoutedWindow() {
        OnMessage(WM_USER + 5, [this](WPARAM w, LPARAM l) { lastW = w; return LRESULT(l * 2); });
        OnCommand(4001, [this] { ++commands; });
        OnMessage(WM_USER + 6, [this](WPARAM, LPARAM) { return Default(); });
    }
    WPARAM lastW = 0;
    int commands = 0;
};

class ReflectingChild : public CWindowImpl {
public:
    ReflectingChild() {
        OnReflectedNotify(NM_CLICK, [this](NMHDR*) { ++clicks; return LRESULT(77); });
    }
    int clicks = 0;
};
}  // namespace

TEST(WindowRouting, MessagesCommandsAndReflectedNotifications) {
    RoutedWindow w;
    RECT rc {0, 0, 200, 100};
    ASSERT_TRUE(w.Create(nullptr, rc, "routed", WS_OVERLAPPEDWINDOW));
    EXPECT_EQ(42, w.Send(WM_USER + 5, 3, 21));
    EXPECT_EQ(3u, w.lastW);
    w.Send(WM_COMMAND, MAKEWPARAM(4001, BN_CLICKED), 0);
    w.Send(WM_COMMAND, MAKEWPARAM(4002, BN_CLICKED), 0);
    EXPECT_EQ(1, w.commands);
    EXPECT_EQ(0, w.Send(WM_USER + 6));  // default procedure

    ReflectingChild child;
    ASSERT_TRUE(child.CreateControl(WC_BUTTONA, w.m_hWnd, rc, "child", WS_CHILD, 0, 77));
    NMHDR hdr {child.m_hWnd, 77, static_cast<UINT>(NM_CLICK)};
    EXPECT_EQ(77, w.Send(WM_NOTIFY, 77, reinterpret_cast<LPARAM>(&hdr)));
    EXPECT_EQ(1, child.clicks);

    HWND h = w.m_hWnd;
    w.Destroy();
    EXPECT_FALSE(::IsWindow(h));
    EXPECT_EQ(nullptr, w.m_hWnd);
}

namespace {
class EndingDialog : public CDialogImpl {
public:
    EndingDialog() : CDialogImpl(IDD_ADD_EXTENSION) {}
    std::string ending = ".bak";
    bool inited = false;

protected:
    BOOL OnInitDialog() override {
        inited = true;
        return CDialogImpl::OnInitDialog();
    }
    void DoDataExchange(CDataExchange& dx) override { dx.Text(IDC_EXT_EDIT, ending); }
};
}  // namespace

TEST(Dialogs, ModelessDataExchangeBothWays) {
    EndingDialog dlg;
    ASSERT_TRUE(dlg.CreateModeless(nullptr));
    EXPECT_TRUE(dlg.inited);
    EXPECT_EQ(".bak", dlg.ItemText(IDC_EXT_EDIT));
    dlg.SetItemText(IDC_EXT_EDIT, ".old");
    EXPECT_TRUE(dlg.UpdateData(true));
    EXPECT_EQ(".old", dlg.ending);
    dlg.DestroyModeless();
    EXPECT_EQ(nullptr, dlg.m_hWnd);
}

TEST(Dialogs, ModalEndsWithOkAndSavesData) {
    EndingDialog dlg;
    // Type into the edit and press OK once the dialog is up.
    UINT_PTR timer = ::SetTimer(nullptr, 0, 50, [](HWND, UINT, UINT_PTR id, DWORD) {
        HWND dlgWnd = ::FindWindowA(nullptr, "Add Extension");
        if (!dlgWnd) return;
        ::KillTimer(nullptr, id);
        ::SetDlgItemTextA(dlgWnd, IDC_EXT_EDIT, ".TMP");
        ::PostMessageA(dlgWnd, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    });
    INT_PTR r = dlg.DoModal(nullptr);
    ::KillTimer(nullptr, timer);
    EXPECT_EQ(IDOK, r);
    EXPECT_EQ(".TMP", dlg.ending);
}

namespace {
class CountingPage : public CPropertyPage {
public:
    explicit CountingPage(UINT id) : CPropertyPage(id) {}
    int commits = 0;

protected:
    void OnOK() override { ++commits; }
};
}  // namespace

TEST(PropertySheet, OnlyShownPagesCommitAndTabsStayOnOneRow) {
    CountingPage drives(IDD_OPTIONS_DRIVES), junk(IDD_OPTIONS_JUNK), general(IDD_OPTIONS_GENERAL);
    CPropertySheet sheet("Options", 1);
    sheet.AddPage(drives);
    sheet.AddPage(junk);
    sheet.AddPage(general);
    bool multiline = true, hasApply = true;
    sheet.onInitialized = [&](HWND h) {
        HWND tab = reinterpret_cast<HWND>(::SendMessageA(h, PSM_GETTABCONTROL, 0, 0));
        multiline = (::GetWindowLongA(tab, GWL_STYLE) & TCS_MULTILINE) != 0;
        HWND apply = ::GetDlgItem(h, 0x3021);
        hasApply = apply && ::IsWindowVisible(apply);
        ::PostMessageA(h, PSM_PRESSBUTTON, PSBTN_OK, 0);
    };
    EXPECT_EQ(IDOK, sheet.DoModal(nullptr));
    EXPECT_FALSE(multiline);
    EXPECT_FALSE(hasApply);
    EXPECT_FALSE(drives.WasShown());
    EXPECT_TRUE(junk.WasShown());
    EXPECT_EQ(0, drives.commits);
    EXPECT_EQ(1, junk.commits);
    EXPECT_EQ(0, general.commits);
}

TEST(PropertySheet, CancelCommitsNothing) {
    CountingPage drives(IDD_OPTIONS_DRIVES);
    CPropertySheet sheet("Options", 0);
    sheet.AddPage(drives);
    sheet.onInitialized = [](HWND h) { ::PostMessageA(h, PSM_PRESSBUTTON, PSBTN_CANCEL, 0); };
    EXPECT_EQ(IDCANCEL, sheet.DoModal(nullptr));
    EXPECT_TRUE(drives.WasShown());
    EXPECT_EQ(0, drives.commits);
}

TEST(Prompter, ScriptedAnswersAndDefaultCaption) {
    ScriptedPrompter prompts;
    prompts.answers = {IDNO, IDYES};
    EXPECT_EQ(IDNO, MessageBoxText("first?", MB_YESNO));
    EXPECT_EQ(IDYES, MessageBoxText("second?", MB_YESNO, "Caption"));
    EXPECT_EQ(IDOK, MessageBoxText("third"));
    ASSERT_EQ(3u, prompts.asked.size());
    EXPECT_EQ("first?", prompts.asked[0].text);
    EXPECT_EQ("Kelvo Utils", prompts.asked[0].caption);
    EXPECT_EQ("Caption", prompts.asked[1].caption);
    EXPECT_EQ(static_cast<UINT>(MB_YESNO), prompts.asked[1].type);
}
