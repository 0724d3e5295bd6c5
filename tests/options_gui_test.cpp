// The Options sheet: its pages, what each shows when opened and what it commits on OK, driven
// from inside the sheet's modal loop the way a user would.
#include "app/itemcommands.h"
#include "core/reghelpers.h"
#include "core/view.h"
#include "files/junk.h"
#include "files/walker.h"
#include "framework/prompter.h"
#include "framework/settings.h"
#include "framework/strings.h"
#include "options/optionssheet.h"
#include "resource.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <shlobj.h>

#include <algorithm>
#include <deque>
#include <functional>
#include <memory>
#include <set>

namespace {

// The settings store on a scratch key for one test.
class ScratchSettings {
public:
    ScratchSettings() : key_("options") {
        SetSettingsKey(key_.path().substr(std::string("Software\\").size()), "Kelvo Utils");
    }
    ~ScratchSettings() { SetSettingsKey("Kelvo Utils", "Kelvo Utils"); }

private:
    ScratchKey key_;
};

// Runs steps one per timer tick inside the sheet's (and its dialogs') modal loops. A step
// answers false to be tried again at the next tick. Anything that opens a modal window is
// posted, never sent, so that the next steps can reach it.
class SheetDriver {
public:
    using Step = std::function<bool()>;
    explicit SheetDriver(std::deque<Step> steps) : steps_(std::move(steps)) {
        current_ = this;
        start_ = ::GetTickCount();
        timer_ = ::SetTimer(nullptr, 0, 30, &SheetDriver::Tick);
    }
    ~SheetDriver() {
        ::KillTimer(nullptr, timer_);
        current_ = nullptr;
    }
    bool Finished() const { return steps_.empty(); }
    HWND sheet = nullptr;

private:
    static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
        SheetDriver* self = current_;
        if (!self || self->busy_) return;
        self->busy_ = true;
        if (!self->steps_.empty() && self->steps_.front()()) self->steps_.pop_front();
        // A test that lost its way must not hang the run: give up after 20 seconds.
        if (!self->steps_.empty() && ::GetTickCount() - self->start_ > 20000) {
            self->steps_.clear();
            // Every dialog of ours over the sheet goes first (the sheet waits for them).
            ::EnumThreadWindows(::GetCurrentThreadId(), [](HWND h, LPARAM sheet) {
                char cls[16] = {};
                ::GetClassNameA(h, cls, sizeof cls);
                if (std::string(cls) == "#32770" && h != reinterpret_cast<HWND>(sheet))
                    ::PostMessageA(h, WM_COMMAND, IDCANCEL, 0);
                return TRUE;
            }, reinterpret_cast<LPARAM>(self->sheet));
            if (self->sheet) ::PostMessageA(self->sheet, PSM_PRESSBUTTON, PSBTN_CANCEL, 0);
        }
        self->busy_ = false;
    }
    std::deque<Step> steps_;
    UINT_PTR timer_ = 0;
    DWORD start_ = 0;
    bool busy_ = false;
    static SheetDriver* current_;
};
SheetDriver* SheetDriver::current_ = nullptr;

void Click(HWND dlg, int id) { ::SendMessageA(::GetDlgItem(dlg, id), BM_CLICK, 0, 0); }
void PostClick(HWND dlg, int id) {
    ::PostMessageA(dlg, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(::GetDlgItem(dlg, id)));
}
bool Checked(HWND dlg, int id) { return ::IsDlgButtonChecked(dlg, id) == BST_CHECKED; }
bool Enabled(HWND dlg, int id) { return ::IsWindowEnabled(::GetDlgItem(dlg, id)) != FALSE; }
bool Visible(HWND dlg, int id) { return ::IsWindowVisible(::GetDlgItem(dlg, id)) != FALSE; }

std::vector<std::string> Texts(const CPageList& list) {
    std::vector<std::string> t;
    for (int i = 0; i < list.Count(); ++i) t.push_back(list.Text(i));
    return t;
}

std::vector<std::string> EndingTexts(const std::vector<JunkEnding>& endings) {
    std::vector<std::string> t;
    for (const JunkEnding& e : endings) t.push_back(e.ending);
    return t;
}

bool ValueExists(const std::string& key, const std::string& name) {
    HKEY k = nullptr;
    if (::RegOpenKeyExA(HKEY_CURRENT_USER, key.c_str(), 0, KEY_READ, &k) != ERROR_SUCCESS) return false;
    LONG rc = ::RegQueryValueExA(k, name.c_str(), nullptr, nullptr, nullptr, nullptr);
    ::RegCloseKey(k);
    return rc == ERROR_SUCCESS;
}

class OptionsTest : public ::testing::Test {
protected:
    void TearDown() override { COptionsSheet::onCreated = nullptr; }

    // Runs a sheet on `page` with the steps, then presses `finish` (PSBTN_OK or PSBTN_CANCEL).
    INT_PTR Run(int page, std::deque<SheetDriver::Step> steps, int finish = PSBTN_OK,
                const std::function<void(COptionsSheet&)>& prepare = {}) {
        COptionsSheet s(settings, taskNotify, playSound, page);
        if (prepare) prepare(s);
        sheet = &s;
        steps.push_back([finish] {
            ::PostMessageA(current->Window(), PSM_PRESSBUTTON, finish, 0);
            return true;
        });
        std::unique_ptr<SheetDriver> driver;
        s.onInitialized = [&](HWND h) { driver->sheet = h; };
        // The first step waits for the sheet window and the page it opened on.
        steps.push_front([] { return current && current->Window() && PropSheet_GetCurrentPageHwnd(current->Window()); });
        driver = std::make_unique<SheetDriver>(std::move(steps));
        current = &s;
        INT_PTR r = s.DoModal(nullptr);
        EXPECT_TRUE(driver->Finished());
        current = nullptr;
        sheet = nullptr;
        return r;
    }
    static HWND PageWindow() { return PropSheet_GetCurrentPageHwnd(current->Window()); }

    ScratchSettings store;
    ScriptedPrompter prompts;
    FileToolSettings settings;
    bool taskNotify = true;
    bool playSound = true;
    COptionsSheet* sheet = nullptr;
    static COptionsSheet* current;
};
COptionsSheet* OptionsTest::current = nullptr;

}  // namespace

TEST_F(OptionsTest, SevenPagesInTabOrderOnOneRowWithoutApply) {
    std::vector<std::string> tabs;
    std::string title;
    bool multiline = true, apply = true;
    Run(kPageGeneral, {[&] {
            HWND h = current->Window();
            HWND tab = PropSheet_GetTabControl(h);
            for (int i = 0; i < TabCtrl_GetItemCount(tab); ++i) {
                char text[64] = {};
                TCITEMA item {};
                item.mask = TCIF_TEXT;
                item.pszText = text;
                item.cchTextMax = sizeof text;
                ::SendMessageA(tab, TCM_GETITEMA, i, reinterpret_cast<LPARAM>(&item));
                tabs.push_back(text);
            }
            title = CWindow(h).Text();
            multiline = (::GetWindowLongA(tab, GWL_STYLE) & TCS_MULTILINE) != 0;
            HWND a = ::GetDlgItem(h, 0x3021);
            apply = a && ::IsWindowVisible(a);
            EXPECT_EQ(current->general.m_hWnd, PageWindow());
            return true;
        }},
        PSBTN_CANCEL);
    EXPECT_EQ((std::vector<std::string> {"Drives", "Unneeded Files", "Exclude", "RegClean", "Duplicates", "General",
                                         "Keep List"}),
              tabs);
    EXPECT_NE(std::string::npos, title.find("Options"));
    EXPECT_FALSE(multiline);
    EXPECT_FALSE(apply);
}

TEST_F(OptionsTest, ContextMenuOptionsOpensThePageOfEachTool) {
    class Host : public CWindowImpl {} host;
    RECT rc {0, 0, 400, 300};
    ASSERT_TRUE(host.Create(nullptr, rc, "host", WS_OVERLAPPEDWINDOW));
    CWrenlyView view;
    ASSERT_TRUE(view.CreateView(host.m_hWnd, 100));

    int shownPage = -1;
    auto open = [&](int page) {
        COptionsSheet* opened = nullptr;
        COptionsSheet::onCreated = [&](COptionsSheet& s) { opened = &s; };
        SheetDriver driver({[&] {
            if (!opened || !PropSheet_GetCurrentPageHwnd(opened->Window())) return false;
            HWND tab = PropSheet_GetTabControl(opened->Window());
            shownPage = TabCtrl_GetCurSel(tab);
            CPropertyPage* pages[] = {&opened->drives, &opened->junk, &opened->exclude,
                                      &opened->regClean, &opened->duplicates, &opened->general};
            EXPECT_EQ(pages[shownPage]->m_hWnd, PropSheet_GetCurrentPageHwnd(opened->Window()));
            ::PostMessageA(opened->Window(), PSM_PRESSBUTTON, PSBTN_CANCEL, 0);
            return true;
        }});
        OpenOptionsSheet(page, view.settings, taskNotify, playSound);
        EXPECT_TRUE(driver.Finished());
    };
    const int expected[] = {0, 3, 0, 0, 1, 4, 0};
    for (int mode = 0; mode <= 6; ++mode) {
        view.SetListMode(mode);
        shownPage = -1;
        RunItemCommand(view, ID_ITEM_OPTIONS, open);
        EXPECT_EQ(expected[mode], shownPage) << "list mode " << mode;
        shownPage = -1;
        RunItemCommand(view, ID_ITEM_DRIVES, open);
        EXPECT_EQ(0, shownPage) << "Drives To Scan in list mode " << mode;
    }
    view.Destroy();
    host.Destroy();
}

TEST_F(OptionsTest, DrivesListsFixedDrivesAndOkDropsOtherBits) {
    DWORD present = ::GetLogicalDrives();
    DWORD fixed = 0;
    for (int i = 0; i < 26; ++i) {
        std::string root = std::string(1, static_cast<char>('A' + i)) + ":\\";
        if ((present & (1u << i)) && ::GetDriveTypeA(root.c_str()) == DRIVE_FIXED) fixed |= 1u << i;
    }
    // The sandbox machine has a floppy and a CD-ROM besides its fixed disks.
    ASSERT_NE(present, fixed);
    settings.driveMask = present;
    std::vector<std::string> rows;
    std::vector<bool> checked;
    Run(kPageDrives, {[&] {
        CPageList& list = current->drives.list;
        rows = Texts(list);
        for (int i = 0; i < list.Count(); ++i) checked.push_back(list.IsChecked(i));
        return true;
    }});
    ASSERT_EQ(2u, rows.size());
    EXPECT_NE(std::string::npos, rows[0].find("C:"));
    EXPECT_NE(std::string::npos, rows[1].find("E:"));
    EXPECT_EQ((std::vector<bool> {true, true}), checked);
    EXPECT_EQ(fixed, settings.driveMask);

    // Clearing a box drops that drive; a drive off in the mask shows cleared.
    Run(kPageDrives, {[&] {
        current->drives.list.SetChecked(1, false);
        return true;
    }});
    EXPECT_EQ(fixed & ~(1u << ('E' - 'A')), settings.driveMask);
    Run(kPageDrives, {[&] {
        EXPECT_TRUE(current->drives.list.IsChecked(0));
        EXPECT_FALSE(current->drives.list.IsChecked(1));
        return true;
    }}, PSBTN_CANCEL);
}

TEST_F(OptionsTest, UnneededFilesListStoresItsFormAndAnEmptyListBringsBackTheDefaults) {
    settings.junkEndings = ".tmpE,.oldD,~E";
    settings.cleanTempFolder = true;
    settings.findZeroLength = false;
    std::vector<std::string> rows;
    std::vector<bool> checks;
    bool removeAtStart = true, removeAfterSelect = false;
    Run(kPageUnneededFiles, {[&] {
        HWND page = PageWindow();
        CEndingList& list = current->junk.list;
        rows = Texts(list);
        for (int i = 0; i < list.Count(); ++i) checks.push_back(list.IsChecked(i));
        EXPECT_TRUE(Checked(page, IDC_CLEAN_TEMP));
        EXPECT_FALSE(Checked(page, IDC_ZERO_LENGTH));
        removeAtStart = Enabled(page, IDC_JUNK_REMOVE);
        // Flip the states of the first two rows and the two switches.
        list.SetChecked(0, false);
        list.SetChecked(1, true);
        Click(page, IDC_CLEAN_TEMP);
        Click(page, IDC_ZERO_LENGTH);
        list.Select(2);
        removeAfterSelect = Enabled(page, IDC_JUNK_REMOVE);
        Click(page, IDC_JUNK_REMOVE);
        EXPECT_EQ(2, list.Count());
        EXPECT_FALSE(Enabled(page, IDC_JUNK_REMOVE));
        return true;
    }});
    EXPECT_EQ((std::vector<std::string> {".tmp", ".old", "~"}), rows);
    EXPECT_EQ((std::vector<bool> {true, false, true}), checks);
    EXPECT_FALSE(removeAtStart);
    EXPECT_TRUE(removeAfterSelect);
    EXPECT_EQ(".tmpD,.oldE", ReadSettingString("Settings", "JunkExt", "missing"));
    EXPECT_EQ(".tmpD,.oldE", settings.junkEndings);
    EXPECT_FALSE(settings.cleanTempFolder);
    EXPECT_TRUE(settings.findZeroLength);

    // Every row removed: the stored text is empty, and the next load gives the 14 defaults.
    Run(kPageUnneededFiles, {[&] {
        HWND page = PageWindow();
        CEndingList& list = current->junk.list;
        for (int i = 0; i < list.Count(); ++i) list.Select(i);
        Click(page, IDC_JUNK_REMOVE);
        EXPECT_EQ(0, list.Count());
        return true;
    }});
    EXPECT_TRUE(ValueExists(SettingsKeyPath() + "\\Settings", "JunkExt"));
    EXPECT_EQ("", ReadSettingString("Settings", "JunkExt", "missing"));
    FileToolSettings fresh;
    std::vector<JunkEnding> loaded = LoadJunkEndings(fresh);
    EXPECT_EQ(DefaultJunkEndings(), loaded);
    rows.clear();
    checks.clear();
    Run(kPageUnneededFiles, {[&] {
        rows = Texts(current->junk.list);
        for (int i = 0; i < current->junk.list.Count(); ++i) checks.push_back(current->junk.list.IsChecked(i));
        // The description column is asked of the shell on demand.
        current->junk.list.Text(0, 1);
        return true;
    }}, PSBTN_CANCEL);
    EXPECT_EQ(EndingTexts(DefaultJunkEndings()), rows);
    EXPECT_EQ(std::vector<bool>(14, true), checks);
}

TEST_F(OptionsTest, AddExtensionRefusesListedEndingsInAnyCase) {
    settings.junkEndings = ".tmpE";
    auto type = [](const std::string& text, int button) {
        return [text, button] {
            HWND dlg = ::FindWindowA(nullptr, "Add Extension");
            if (!dlg || !::IsWindowVisible(dlg)) return false;
            // The edit has the focus as the dialog opens.
            EXPECT_EQ(::GetDlgItem(dlg, IDC_EXT_EDIT), ::GetFocus());
            ::SetDlgItemTextA(dlg, IDC_EXT_EDIT, text.c_str());
            ::PostMessageA(dlg, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), 0);
            return true;
        };
    };
    auto addClicked = [] {
        PostClick(PageWindow(), IDC_JUNK_ADD);
        return true;
    };
    auto closed = [] { return ::FindWindowA(nullptr, "Add Extension") == nullptr; };
    std::vector<std::vector<std::string>> after;
    auto note = [&] {
        after.push_back(Texts(current->junk.list));
        return true;
    };
    Run(kPageUnneededFiles, {addClicked, type(".TMP", IDOK), closed, note,
                             addClicked, type(".bak", IDOK), closed, note,
                             addClicked, type(".zzz", IDCANCEL), closed, note,
                             addClicked, type("", IDOK), closed, note,
                             addClicked, type(".a,b", IDOK), closed, note,
                             addClicked, type("*", IDOK), closed, note});
    ASSERT_EQ(6u, after.size());
    EXPECT_EQ((std::vector<std::string> {".tmp"}), after[0]);
    EXPECT_EQ((std::vector<std::string> {".tmp", ".bak"}), after[1]);
    EXPECT_EQ(after[1], after[2]);
    EXPECT_EQ(after[1], after[3]);
    // A comma would split the ending in two in the stored form.
    EXPECT_EQ(after[1], after[4]);
    EXPECT_EQ((std::vector<std::string> {".tmp", ".bak", "*"}), after[5]);
    EXPECT_EQ(".tmpE,.bakE,*E", ReadSettingString("Settings", "JunkExt", ""));
    EXPECT_EQ(3u, ParseJunkEndings(settings.junkEndings).size());
}

TEST_F(OptionsTest, DuplicatesKeepsSizeAndNameAndStoresItsEndings) {
    std::vector<std::string> rows;
    bool sizeAfterClick = false;
    Run(kPageDuplicates, {[&] {
        HWND page = PageWindow();
        rows = Texts(current->duplicates.list);
        EXPECT_TRUE(Checked(page, IDC_SAME_SIZE));
        EXPECT_TRUE(Checked(page, IDC_SAME_NAME));
        EXPECT_FALSE(Checked(page, IDC_SAME_TIME));
        EXPECT_TRUE(Checked(page, IDC_SAME_CONTENTS));
        EXPECT_TRUE(Checked(page, IDC_SCAN_LISTED));
        EXPECT_TRUE(Enabled(page, IDC_DUP_LIST));
        EXPECT_TRUE(Enabled(page, IDC_DUP_ADD));
        EXPECT_FALSE(Enabled(page, IDC_DUP_REMOVE));
        Click(page, IDC_SAME_SIZE);
        sizeAfterClick = Checked(page, IDC_SAME_SIZE);
        Click(page, IDC_SAME_NAME);
        Click(page, IDC_SAME_CONTENTS);
        current->duplicates.list.SetChecked(1, false);
        return true;
    }});
    EXPECT_EQ(EndingTexts(DuplicateEndingRows("")), rows);
    EXPECT_TRUE(sizeAfterClick);
    EXPECT_TRUE(settings.matchSize);
    EXPECT_TRUE(settings.matchName);
    EXPECT_FALSE(settings.matchTime);
    EXPECT_FALSE(settings.matchContents);
    EXPECT_EQ(1, settings.onlyListedTypes);
    const std::string stored = ".exeE,.mp3D,.zipE,.mpgE,.wavE,.bmpE,.jpgE,.aviE,.wmaE,.wmvE,.docE";
    EXPECT_EQ(stored, ReadSettingString("Settings", "DupExt", ""));
    EXPECT_EQ(stored, settings.duplicateEndings);

    // With the time on, the name may stay off.
    Run(kPageDuplicates, {[&] {
        HWND page = PageWindow();
        EXPECT_FALSE(Checked(page, IDC_SAME_CONTENTS));
        EXPECT_FALSE(current->duplicates.list.IsChecked(1));
        Click(page, IDC_SAME_NAME);
        Click(page, IDC_SAME_TIME);
        return true;
    }});
    EXPECT_FALSE(settings.matchName);
    EXPECT_TRUE(settings.matchTime);
}

TEST_F(OptionsTest, DuplicatesScanAllWarnsOnceAndGreysTheList) {
    bool listEnabled = true, addEnabled = true, removeEnabled = true, removeWithSelection = false;
    Run(kPageDuplicates, {[&] {
        HWND page = PageWindow();
        current->duplicates.list.Select(0);
        removeWithSelection = Enabled(page, IDC_DUP_REMOVE);
        Click(page, IDC_SCAN_ALL);
        listEnabled = Enabled(page, IDC_DUP_LIST);
        addEnabled = Enabled(page, IDC_DUP_ADD);
        removeEnabled = Enabled(page, IDC_DUP_REMOVE);
        // A second click on the chosen button does not warn again.
        Click(page, IDC_SCAN_ALL);
        return true;
    }});
    EXPECT_TRUE(removeWithSelection);
    EXPECT_FALSE(listEnabled);
    EXPECT_FALSE(addEnabled);
    EXPECT_FALSE(removeEnabled);
    ASSERT_EQ(1u, prompts.asked.size());
    EXPECT_EQ("You have chosen to scan all files; this could take several minutes.\nTo speed up, please select only some "
              "drives(2 or 3) to scan, from the 'Drives' tab",
              prompts.asked[0].text);
    EXPECT_EQ("Kelvo Utils", prompts.asked[0].caption);
    EXPECT_EQ(static_cast<UINT>(MB_OK), prompts.asked[0].type);
    EXPECT_EQ(0, settings.onlyListedTypes);

    Run(kPageDuplicates, {[&] {
        HWND page = PageWindow();
        EXPECT_TRUE(Checked(page, IDC_SCAN_ALL));
        EXPECT_FALSE(Enabled(page, IDC_DUP_LIST));
        Click(page, IDC_SCAN_LISTED);
        EXPECT_TRUE(Enabled(page, IDC_DUP_LIST));
        EXPECT_TRUE(Enabled(page, IDC_DUP_ADD));
        return true;
    }});
    EXPECT_EQ(1, settings.onlyListedTypes);
    EXPECT_EQ(1u, prompts.asked.size());
}

TEST_F(OptionsTest, ExcludeShowsTheSectionAndWritesRowsInUpperCase) {
    ScratchDir dir("exclude");
    std::string added = dir / "Backup Data";
    ::CreateDirectoryA(added.c_str(), nullptr);
    WriteSettingInt("Exclude", "C:\\One", 1);
    WriteSettingInt("Exclude", "C:\\TWO", 0);
    WriteSettingInt("Exclude", "C:\\Three", 1);
    // The rows come in the registry's own order, each with its flag.
    std::vector<std::string> order;
    HKEY k = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, ::RegOpenKeyExA(HKEY_CURRENT_USER, ExcludeKeyPath().c_str(), 0, KEY_READ, &k));
    for (DWORD i = 0; i < 3; ++i) {
        char name[MAX_PATH] = {};
        DWORD n = MAX_PATH;
        ::RegEnumValueA(k, i, name, &n, nullptr, nullptr, nullptr, nullptr);
        order.push_back(name);
    }
    ::RegCloseKey(k);
    std::vector<std::string> rows;
    std::vector<bool> checks;
    HWND browser = nullptr;
    auto browse = [&](const std::string& path) {
        return [path, &browser] {
            // The folder browser is the one dialog of this thread besides the sheet.
            HWND dlg = nullptr;
            ::EnumThreadWindows(::GetCurrentThreadId(), [](HWND h, LPARAM l) {
                char cls[16] = {};
                ::GetClassNameA(h, cls, sizeof cls);
                if (std::string(cls) == "#32770" && h != current->Window() && ::IsWindowVisible(h)) {
                    *reinterpret_cast<HWND*>(l) = h;
                    return FALSE;
                }
                return TRUE;
            }, reinterpret_cast<LPARAM>(&dlg));
            if (!dlg) return false;
            // Wait until the browser has filled its tree and picked its first folder.
            HWND tree = nullptr;
            ::EnumChildWindows(dlg, [](HWND h, LPARAM l) {
                char cls[32] = {};
                ::GetClassNameA(h, cls, sizeof cls);
                if (std::string(cls) != WC_TREEVIEWA) return TRUE;
                *reinterpret_cast<HWND*>(l) = h;
                return FALSE;
            }, reinterpret_cast<LPARAM>(&tree));
            if (!tree || ::SendMessageA(tree, TVM_GETCOUNT, 0, 0) == 0) return false;
            ::SendMessageA(dlg, BFFM_SETSELECTIONA, TRUE, reinterpret_cast<LPARAM>(path.c_str()));
            if (!::SendMessageA(tree, TVM_GETNEXTITEM, TVGN_CARET, 0)) return false;
            browser = dlg;
            return true;
        };
    };
    auto pressOk = [&browser] {
        ::PostMessageA(browser, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
        return true;
    };
    auto rowCount = [](int n) { return [n] { return current->exclude.list.Count() == n; }; };
    Run(kPageExclude, {[&] {
                           CPageList& list = current->exclude.list;
                           rows = Texts(list);
                           for (int i = 0; i < list.Count(); ++i) checks.push_back(list.IsChecked(i));
                           EXPECT_FALSE(Enabled(PageWindow(), IDC_EXCLUDE_REMOVE));
                           // Remove "C:\TWO" and "C:\Three".
                           for (int i = 0; i < list.Count(); ++i)
                               if (list.Text(i) != "C:\\One") list.Select(i);
                           EXPECT_TRUE(Enabled(PageWindow(), IDC_EXCLUDE_REMOVE));
                           Click(PageWindow(), IDC_EXCLUDE_REMOVE);
                           list.SetChecked(0, false);
                           PostClick(PageWindow(), IDC_EXCLUDE_ADD);
                           return true;
                       },
                       browse(added), pressOk, rowCount(2),
                       [] {
                           PostClick(PageWindow(), IDC_EXCLUDE_ADD);
                           return true;
                       },
                       browse("C:\\"), pressOk, rowCount(3),
                       [&] {
                           CPageList& list = current->exclude.list;
                           EXPECT_EQ(added, list.Text(1));
                           EXPECT_TRUE(list.IsChecked(1));
                           // A drive's root is kept the way the walk names it.
                           EXPECT_EQ("C:", list.Text(2));
                           return true;
                       }});
    std::vector<std::string> original = {"C:\\One", "C:\\TWO", "C:\\Three"};
    EXPECT_TRUE(std::is_permutation(original.begin(), original.end(), order.begin()));
    ASSERT_EQ(3u, rows.size());
    EXPECT_EQ(order, rows);
    for (size_t i = 0; i < rows.size(); ++i) EXPECT_EQ(rows[i] != "C:\\TWO", checks[i]) << rows[i];
    EXPECT_EQ(0, ReadSettingInt("Exclude", "C:\\ONE", -1));
    EXPECT_EQ(1, ReadSettingInt("Exclude", ToUpper(added).c_str(), -1));
    EXPECT_EQ(1, ReadSettingInt("Exclude", "C:", -1));
    EXPECT_FALSE(ValueExists(ExcludeKeyPath(), "C:\\TWO"));
    EXPECT_FALSE(ValueExists(ExcludeKeyPath(), "C:\\Three"));
    std::set<std::string> excluded;
    for (const std::string& f : settings.excludedFolders) excluded.insert(ToUpper(f));
    EXPECT_EQ((std::set<std::string> {ToUpper(added), "C:"}), excluded);
}

TEST_F(OptionsTest, ExcludeWithoutSectionOpensEmpty) {
    int rows = -1;
    Run(kPageExclude, {[&] {
        rows = current->exclude.list.Count();
        return true;
    }}, PSBTN_CANCEL);
    EXPECT_EQ(0, rows);
}

// Gives a file a last-write time `minutes` after a fixed moment.
void SetWritten(const std::string& path, int minutes) {
    HANDLE h = ::CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, h) << path;
    ULARGE_INTEGER t;
    t.QuadPart = 134000000000000000ull + 600000000ull * minutes;
    FILETIME ft {t.LowPart, t.HighPart};
    ::SetFileTime(h, nullptr, nullptr, &ft);
    ::CloseHandle(h);
}

TEST_F(OptionsTest, RegCleanListsUndoFilesOfBothPlacesNewestFirstAndKeepsTheScanSwitches) {
    // The program's folder and the local data folder: the page lists the files of both.
    ScratchDir dir("undo"), local("undo-local");
    const struct { const ScratchDir& folder; const char* name; int minutes; } kFiles[] = {
        {dir, "04 Dec 2026 05 05 PM.reg", 30}, {dir, "OLD.REG", 10}, {local, "06 Dec 2026 09 15 AM.reg", 50},
        {local, "05 Dec 2026 11 00 PM.reg", 20}};
    for (const auto& f : kFiles) {
        ASSERT_TRUE(WriteFileText(f.folder / f.name, "REGEDIT4\r\n"));
        SetWritten(f.folder / f.name, f.minutes);
    }
    ASSERT_TRUE(WriteFileText(dir / "notes.txt", "x"));
    ASSERT_TRUE(WriteFileText(dir / "reg", "x"));
    ::CreateDirectoryA((dir / "folder.reg").c_str(), nullptr);
    std::vector<std::string> rows;
    bool buttonsAtStart = true, buttonsWithSelection = false, groupHidden = false, advancedGone = false;
    bool groupShown = false;
    auto setFolder = [&](COptionsSheet& s) { s.regClean.undoFolders = {dir.path(), local.path()}; };
    Run(kPageRegClean, {[&] {
        HWND page = PageWindow();
        rows = Texts(current->regClean.list);
        buttonsAtStart = Enabled(page, IDC_UNDO) || Enabled(page, IDC_VIEW_UNDO);
        current->regClean.list.Select(0);
        buttonsWithSelection = Enabled(page, IDC_UNDO) && Enabled(page, IDC_VIEW_UNDO);
        groupHidden = !Visible(page, IDC_SCAN_FOR_GROUP) && !Visible(page, IDC_SCAN_USER_HIVES) &&
                      !Visible(page, IDC_SCAN_CLASS_IDS);
        EXPECT_TRUE(Checked(page, IDC_REMOVABLE_MEDIA));
        EXPECT_TRUE(Checked(page, IDC_SCAN_MACHINE_HIVE));
        Click(page, IDC_ADVANCED);
        groupShown = Visible(page, IDC_SCAN_FOR_GROUP) && Visible(page, IDC_SCAN_USER_HIVES) &&
                     Visible(page, IDC_SCAN_MACHINE_HIVE) && Visible(page, IDC_SCAN_FILE_ASSOC) &&
                     Visible(page, IDC_SCAN_CLASS_IDS);
        advancedGone = !Visible(page, IDC_ADVANCED);
        Click(page, IDC_REMOVABLE_MEDIA);
        Click(page, IDC_SCAN_MACHINE_HIVE);
        Click(page, IDC_SCAN_CLASS_IDS);
        return true;
    }}, PSBTN_OK, setFolder);
    EXPECT_EQ((std::vector<std::string> {"06 Dec 2026 09 15 AM.reg", "04 Dec 2026 05 05 PM.reg",
                                         "05 Dec 2026 11 00 PM.reg", "OLD.REG"}),
              rows);
    EXPECT_FALSE(buttonsAtStart);
    EXPECT_TRUE(buttonsWithSelection);
    EXPECT_TRUE(groupHidden);
    EXPECT_TRUE(groupShown);
    EXPECT_TRUE(advancedGone);
    EXPECT_FALSE(settings.regScan.reportRemovableMedia);
    EXPECT_FALSE(settings.regScan.scanMachineHive);
    EXPECT_FALSE(settings.regScan.scanClassIds);
    EXPECT_TRUE(settings.regScan.scanUserHives);
    EXPECT_TRUE(settings.regScan.scanFileAssociations);

    // Cancel leaves the switches as they were.
    Run(kPageRegClean, {[&] {
        Click(PageWindow(), IDC_REMOVABLE_MEDIA);
        return true;
    }}, PSBTN_CANCEL, setFolder);
    EXPECT_FALSE(settings.regScan.reportRemovableMedia);

    // A folder without undo files: both buttons stay grey.
    ScratchDir empty("undo-none");
    Run(kPageRegClean, {[&] {
        EXPECT_EQ(0, current->regClean.list.Count());
        EXPECT_FALSE(Enabled(PageWindow(), IDC_UNDO));
        EXPECT_FALSE(Enabled(PageWindow(), IDC_VIEW_UNDO));
        return true;
    }}, PSBTN_CANCEL, [&](COptionsSheet& s) { s.regClean.undoFolders = {empty.path()}; });
}

TEST_F(OptionsTest, RegCleanUndoHandsTheFileToTheRegistryEditorFromEitherPlace) {
    // The file lies in the second place, and the first holds one of the same name that would
    // restore something else.
    ScratchDir first("undo first"), dir("undo run");
    ScratchKey target("options-undo");
    std::string reg = "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\" + target.path() + "\\Restored]\r\n\"Value\"=\"back\"\r\n\r\n";
    ASSERT_TRUE(WriteFileText(first / "restore me.reg", "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\" + target.path() +
                                                           "\\Wrong]\r\n\r\n"));
    SetWritten(first / "restore me.reg", 0);
    ASSERT_TRUE(WriteFileText(dir / "restore me.reg", reg));
    Run(kPageRegClean, {[&] {
        EXPECT_EQ(2, current->regClean.list.Count());
        current->regClean.list.Select(0);
        Click(PageWindow(), IDC_UNDO);
        EXPECT_TRUE(Enabled(PageWindow(), IDC_UNDO));
        return true;
    }}, PSBTN_CANCEL, [&](COptionsSheet& s) { s.regClean.undoFolders = {first.path(), dir.path()}; });
    EXPECT_TRUE(PumpUntil([&] { return ReadRegString(HKEY_CURRENT_USER, target.path() + "\\Restored", "Value") == "back"; },
                          15000));
    EXPECT_FALSE(RegKeyExists(HKEY_CURRENT_USER, target.path() + "\\Wrong"));
}

TEST_F(OptionsTest, GeneralWritesTheStoredSwitchesAndActsAtOnce) {
    WriteSettingInt("Settings", "StartUpTip", 0);
    bool tips = false, notify = false, sound = false;
    Run(kPageGeneral, {[&] {
        HWND page = PageWindow();
        tips = Checked(page, IDC_SHOW_TIPS);
        notify = Checked(page, IDC_TASK_NOTIFY);
        sound = Checked(page, IDC_PLAY_SOUND);
        Click(page, IDC_SHOW_TIPS);
        Click(page, IDC_PLAY_SOUND);
        return true;
    }});
    EXPECT_TRUE(tips && notify && sound);
    EXPECT_EQ(1, ReadSettingInt("Settings", "StartUpTip", -1));
    EXPECT_EQ(1, ReadSettingInt("Settings", "tasknotify", -1));
    EXPECT_EQ(0, ReadSettingInt("Settings", "playsound", -1));
    EXPECT_TRUE(taskNotify);
    EXPECT_FALSE(playSound);

    // Reopened, the boxes show what was stored; any non-zero StartUpTip means no tips.
    WriteSettingInt("Settings", "StartUpTip", 2);
    Run(kPageGeneral, {[&] {
        HWND page = PageWindow();
        tips = Checked(page, IDC_SHOW_TIPS);
        sound = Checked(page, IDC_PLAY_SOUND);
        return true;
    }}, PSBTN_CANCEL);
    EXPECT_FALSE(tips);
    EXPECT_FALSE(sound);
    EXPECT_EQ(2, ReadSettingInt("Settings", "StartUpTip", -1));
}

TEST_F(OptionsTest, OnlyPagesShownCommitAndCancelCommitsNothing) {
    settings.driveMask = ::GetLogicalDrives();
    // Shown pages: "General" (start) and "Unneeded Files" (switched to); the rest never were.
    Run(kPageGeneral, {[&] {
                           ::SendMessageA(current->Window(), PSM_SETCURSEL, kPageUnneededFiles, 0);
                           return true;
                       },
                       [&] { return PageWindow() == current->junk.m_hWnd; }});
    EXPECT_TRUE(ValueExists(SettingsKeyPath() + "\\Settings", "JunkExt"));
    EXPECT_TRUE(ValueExists(SettingsKeyPath() + "\\Settings", "playsound"));
    EXPECT_FALSE(ValueExists(SettingsKeyPath() + "\\Settings", "DupExt"));
    EXPECT_EQ(::GetLogicalDrives(), settings.driveMask);

    Run(kPageDuplicates, {[&] {
        Click(PageWindow(), IDC_SAME_TIME);
        ::SendMessageA(current->Window(), PSM_SETCURSEL, kPageGeneral, 0);
        Click(PageWindow(), IDC_PLAY_SOUND);
        return true;
    }}, PSBTN_CANCEL);
    EXPECT_FALSE(ValueExists(SettingsKeyPath() + "\\Settings", "DupExt"));
    EXPECT_FALSE(settings.matchTime);
    EXPECT_EQ(1, ReadSettingInt("Settings", "playsound", -1));
    EXPECT_TRUE(playSound);
}

TEST_F(OptionsTest, OpeningEveryPageAndCancellingLeavesNoGdiObjectsBehind) {
    auto openEveryPage = [&] {
        Run(kPageDrives, {[&] {
            for (int page = kPageUnneededFiles; page <= kPageKeepList; ++page)
                ::SendMessageA(current->Window(), PSM_SETCURSEL, page, 0);
            return PageWindow() == current->keepList.m_hWnd;
        }}, PSBTN_CANCEL);
    };
    // The first showings fill the caches of the system (fonts, the shell's icons).
    for (int i = 0; i < 2; ++i) openEveryPage();
    const int before = GdiObjectCount();
    ASSERT_GT(before, 0);
    for (int i = 0; i < 10; ++i) openEveryPage();
    EXPECT_EQ(before, GdiObjectCount()) << "GDI objects left behind by 10 openings";
}

TEST_F(OptionsTest, KeepListMatchesAnyCaseAndReadsPastDamagedEntries) {
    KeepList& keep = settings.keep;
    ASSERT_TRUE(keep.Add(KeepFile("C:\\Temp\\\xCE\xA9mega.tmp")));
    ASSERT_TRUE(keep.Add(KeepRegistryValue("HKEY_CURRENT_USER\\Software\\A|B", "v|1\r\n")));
    ASSERT_TRUE(keep.Add(KeepRegistryKey("HKEY_CLASSES_ROOT\\bad\\shell")));
    ASSERT_TRUE(keep.Add(KeepReferenceFolder("C:\\Originals\\")));
    ASSERT_TRUE(keep.Add(KeepStartupEntry("App", "C:\\app.exe /s")));
    EXPECT_FALSE(keep.Add(KeepFile("c:\\temp\\\xCF\x89MEGA.TMP")));
    keep.Save();
    // Damaged entries as a hand edit or a cut-off write leaves them.
    HKEY k = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, ::RegOpenKeyExA(HKEY_CURRENT_USER, (SettingsKeyPath() + "\\Keep").c_str(), 0,
                                              KEY_SET_VALUE, &k));
    DWORD number = 5;
    ::RegSetValueExA(k, "x1", 0, REG_DWORD, reinterpret_cast<BYTE*>(&number), sizeof number);
    const std::string damaged[] = {std::string("File|C:\\a%ZZ", 13), std::string("Nonsense|x", 11),
                                   std::string("Registry|HKEY_CURRENT_USER\\Softw", 33), std::string("Registry|HKEY_USERS\\x|Q", 24),
                                   std::string("File|", 6)};
    int n = 0;
    for (const std::string& d : damaged)
        ::RegSetValueExA(k, ("y" + std::to_string(++n)).c_str(), 0, REG_SZ,
                         reinterpret_cast<const BYTE*>(d.data()), static_cast<DWORD>(d.size()));
    ::RegCloseKey(k);

    KeepList loaded;
    loaded.Load();
    size_t readable = 0;
    for (const KeptItem& item : loaded.Items()) readable += item.readable;
    EXPECT_EQ(5u, readable);
    EXPECT_EQ(11u, loaded.Items().size());
    struct Case { KeptItem item; bool kept; };
    const Case cases[] = {
        {KeepFile("C:\\TEMP\\\xCF\x89mega.TMP"), true},
        {KeepFile("C:\\Temp\\Omega.tmp"), false},
        {KeepShortcut("C:\\Temp\\\xCE\xA9mega.tmp"), false},
        {KeepRegistryValue("hkey_current_user\\software\\a|b", "V|1\r\n"), true},
        {KeepRegistryValue("HKEY_CURRENT_USER\\Software\\A|B", "v|1"), false},
        {KeepRegistryKey("HKEY_CURRENT_USER\\Software\\A|B"), false},
        {KeepRegistryKey("HKEY_CLASSES_ROOT\\BAD\\shell"), true},
        {KeepStartupEntry("app", "c:\\APP.exe /S"), true},
        {KeepStartupEntry("App", "C:\\other.exe"), false},
        {KeepFile("C:\\a"), false},
        {KeepRegistryKey("HKEY_CURRENT_USER\\Softw"), false},
    };
    for (const Case& c : cases) EXPECT_EQ(c.kept, loaded.IsKept(c.item)) << KeptItemText(c.item);
    EXPECT_TRUE(loaded.IsInReferenceFolder("C:\\originals\\sub\\a.mp3"));
    EXPECT_TRUE(loaded.IsInReferenceFolder("C:\\Originals\\a.mp3"));
    EXPECT_FALSE(loaded.IsInReferenceFolder("C:\\Originals2\\a.mp3"));
    EXPECT_FALSE(loaded.IsInReferenceFolder("C:\\a.mp3"));

    // Saving keeps the damaged entries as they were until the user removes them.
    loaded.Save();
    KeepList again;
    again.Load();
    ASSERT_EQ(loaded.Items().size(), again.Items().size());
    for (size_t i = 0; i < again.Items().size(); ++i) {
        EXPECT_EQ(loaded.Items()[i].storedType, again.Items()[i].storedType);
        EXPECT_EQ(loaded.Items()[i].storedBytes, again.Items()[i].storedBytes);
    }
}

TEST_F(OptionsTest, KeepListPageShowsItemsByToolAndRemovesThemOnlyOnOk) {
    ScratchDir dir("keeppage");
    ASSERT_TRUE(WriteFileText(dir / "there.tmp", "x"));
    ScratchKey key("keeppage");
    KeepList& keep = settings.keep;
    keep.Add(KeepFile(dir / "there.tmp"));
    keep.Add(KeepRegistryValue("HKEY_CURRENT_USER\\" + key.path(), "missing"));
    keep.Add(KeepReferenceFolder(dir.path()));
    keep.Add(KeepFile(dir / "gone.tmp"));
    keep.Save();
    HKEY k = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, ::RegOpenKeyExA(HKEY_CURRENT_USER, (SettingsKeyPath() + "\\Keep").c_str(), 0,
                                              KEY_SET_VALUE, &k));
    ::RegSetValueExA(k, "hand edit", 0, REG_SZ, reinterpret_cast<const BYTE*>("Nonsense"), 9);
    ::RegCloseKey(k);
    keep.Load();

    std::vector<std::vector<std::string>> rows;
    auto readRows = [&] {
        rows.clear();
        CPageList& list = current->keepList.list;
        for (int i = 0; i < list.Count(); ++i) rows.push_back({list.Text(i, 0), list.Text(i, 1), list.Text(i, 2)});
    };
    auto removeGoneAndUnreadable = [&] {
        HWND page = PageWindow();
        CPageList& list = current->keepList.list;
        readRows();
        EXPECT_FALSE(Enabled(page, IDC_KEEP_REMOVE));
        for (int i = 0; i < list.Count(); ++i)
            if (!list.Text(i, 2).empty()) list.Select(i);
        Click(page, IDC_KEEP_REMOVE);
        EXPECT_EQ(2, list.Count());
        return true;
    };
    Run(kPageKeepList, {removeGoneAndUnreadable}, PSBTN_CANCEL);
    const std::vector<std::vector<std::string>> expected = {
        {"Registry", "HKEY_CURRENT_USER\\" + key.path() + " : \"missing\"", "gone"},
        {"Unneeded Files", dir / "there.tmp", ""},
        {"Unneeded Files", dir / "gone.tmp", "gone"},
        {"Duplicate Files (reference folder)", dir.path(), ""},
        {"?", "(unreadable entry) Nonsense", "unreadable"},
    };
    EXPECT_EQ(expected, rows);
    // Cancel changed nothing, in memory or stored.
    EXPECT_EQ(5u, keep.Items().size());
    KeepList stored;
    stored.Load();
    EXPECT_EQ(5u, stored.Items().size());

    Run(kPageKeepList, {removeGoneAndUnreadable});
    stored.Load();
    ASSERT_EQ(2u, stored.Items().size());
    EXPECT_TRUE(stored.IsFileKept(dir / "there.tmp"));
    EXPECT_TRUE(stored.IsInReferenceFolder(dir / "a.mp3"));
    EXPECT_FALSE(keep.IsFileKept(dir / "gone.tmp"));
    EXPECT_EQ(2u, keep.Items().size());
}
