// The Options sheet, driven from inside its modal loop the way a user would, and the keep list.
#include "files/junk.h"
#include "framework/settings.h"
#include "kit.h"
#include "options/optionssheet.h"
#include "resource.h"

#include <gtest/gtest.h>

namespace {

// The sheet on show, its page, and the page's controls.
COptionsSheet* g_sheet = nullptr;
HWND Page() { return PropSheet_GetCurrentPageHwnd(g_sheet->Window()); }
void ShowPage(int page) { ::SendMessageA(g_sheet->Window(), PSM_SETCURSEL, page, 0); }
void Click(int id) { ::SendMessageA(::GetDlgItem(Page(), id), BM_CLICK, 0, 0); }
bool Checked(int id) { return ::IsDlgButtonChecked(Page(), id) == BST_CHECKED; }
bool Enabled(int id) { return ::IsWindowEnabled(::GetDlgItem(Page(), id)) != FALSE; }

class OptionsTest : public ::testing::Test {
protected:
    // Opens a sheet of the test's own on `page`, runs `step` in it once it shows the page, then
    // presses `finish`.
    void Run(int page, std::function<bool()> step, int finish = PSBTN_OK) {
        COptionsSheet::onCreated = [](COptionsSheet& s) { g_sheet = &s; };
        g_sheet = nullptr;
        EXPECT_TRUE(kit::RunModal([&] { COptionsSheet(settings, notify, sound, page).DoModal(nullptr); },
            {[] { return g_sheet && g_sheet->Window() && Page(); }, step,
             [finish] { return ::PostMessageA(g_sheet->Window(), PSM_PRESSBUTTON, finish, 0) != FALSE; }}))
            << "the sheet closed before its steps were done";
        COptionsSheet::onCreated = nullptr;
    }
    kit::ScratchSettings store;
    ScriptedPrompter prompts;
    FileToolSettings settings;
    bool notify = true, sound = true;
};

}  // namespace

TEST_F(OptionsTest, OpeningEveryPageAndCancellingLeavesNoGdiObjectsBehind) {
    auto openEveryPage = [&] {
        Run(kPageDrives, [&] {
            for (int page = kPageUnneededFiles; page <= kPageKeepList; ++page) ShowPage(page);
            return Page() == g_sheet->keepList.m_hWnd;
        }, PSBTN_CANCEL);
    };
    for (int i = 0; i < 2; ++i) openEveryPage();  // the first showings fill the system's caches
    const int before = GdiObjectCount();
    for (int i = 0; i < 10; ++i) openEveryPage();
    EXPECT_EQ(before, GdiObjectCount()) << "GDI objects left behind by 10 openings";
}

TEST(OptionsLists, UndoFilesOfBothPlacesNewestFirst) {
    ScratchDir dir("undo"), local("undo-local");
    const std::pair<std::string, int> files[] = {{dir / "04 Dec 2026 05 05 PM.reg", 30}, {dir / "OLD.REG", 10},
        {local / "06 Dec 2026 09 15 AM.reg", 50}, {local / "05 Dec 2026 11 00 PM.reg", 20}, {dir / "notes.txt", 60}};
    for (const auto& f : files) {
        ASSERT_TRUE(WriteFileText(f.first, "REGEDIT4\r\n"));
        // Written `minutes` after a fixed moment.
        HANDLE h = ::CreateFileA(f.first.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        const uint64_t t = 134000000000000000ull + 600000000ull * f.second;
        FILETIME written {static_cast<DWORD>(t), static_cast<DWORD>(t >> 32)};
        EXPECT_TRUE(::SetFileTime(h, nullptr, nullptr, &written)) << f.first;
        ::CloseHandle(h);
    }
    ::CreateDirectoryA((dir / "folder.reg").c_str(), nullptr);
    std::string names;
    for (const UndoFileRow& r : ListUndoFiles({dir.path(), local.path()})) names += r.name + "|";
    EXPECT_EQ("06 Dec 2026 09 15 AM.reg|04 Dec 2026 05 05 PM.reg|05 Dec 2026 11 00 PM.reg|OLD.REG|", names);
}

TEST_F(OptionsTest, EachPageShowsItsSettingsAndCommitsThemOnOkOnly) {
    settings.driveMask = ::GetLogicalDrives();
    settings.junkEndings = ".tmpE,.oldD,~E";
    WriteSettingInt("Exclude", "C:\\One", 1);
    WriteSettingInt("Exclude", "C:\\TWO", 0);
    Run(kPageDrives, [&] {
        CPageList& drives = g_sheet->drives.list;
        EXPECT_TRUE(drives.Count() == 2 && drives.IsChecked(0) && drives.IsChecked(1));
        drives.SetChecked(1, false);
        ShowPage(kPageUnneededFiles);
        CEndingList& junk = g_sheet->junk.list;
        EXPECT_EQ((std::vector<std::string> {".tmp", ".old", "~"}), junk.Texts());
        EXPECT_TRUE(!junk.IsChecked(1) && Checked(IDC_CLEAN_TEMP) && !Checked(IDC_ZERO_LENGTH));
        EXPECT_FALSE(Enabled(IDC_JUNK_REMOVE)) << "nothing selected";
        junk.SetChecked(1, true);
        Click(IDC_CLEAN_TEMP);
        junk.Select(0);
        Click(IDC_JUNK_REMOVE);
        ShowPage(kPageExclude);
        CPageList& exclude = g_sheet->exclude.list;
        for (int i = 0; i < exclude.Count(); ++i) exclude.SetChecked(i, exclude.Text(i) == "C:\\TWO");
        exclude.Select(exclude.Text(0) == "C:\\One" ? 0 : 1);
        Click(IDC_EXCLUDE_REMOVE);
        // The size cannot be cleared; with name, time and contents all cleared, the name stays.
        ShowPage(kPageDuplicates);
        for (int id : {IDC_SAME_SIZE, IDC_SAME_NAME, IDC_SAME_CONTENTS}) Click(id);
        EXPECT_TRUE(Checked(IDC_SAME_SIZE) && !Checked(IDC_SAME_TIME));
        g_sheet->duplicates.list.SetChecked(1, false);
        ShowPage(kPageRegClean);
        for (int id : {IDC_REMOVABLE_MEDIA, IDC_SCAN_MACHINE_HIVE}) Click(id);
        ShowPage(kPageGeneral);
        EXPECT_TRUE(Checked(IDC_SHOW_TIPS) && Checked(IDC_TASK_NOTIFY) && Checked(IDC_PLAY_SOUND));
        Click(IDC_SHOW_TIPS);
        Click(IDC_PLAY_SOUND);
        return true;
    });
    EXPECT_EQ(1u << ('C' - 'A'), settings.driveMask) << "a cleared box, and drives that are not fixed, drop out";
    EXPECT_EQ(".oldE,~E|.oldE,~E", ReadSettingString("Settings", "JunkExt", "missing") + "|" + settings.junkEndings);
    EXPECT_FALSE(settings.cleanTempFolder);
    EXPECT_EQ(-1, ReadSettingInt("Exclude", "C:\\One", -1));
    EXPECT_EQ((std::vector<std::string> {"C:\\TWO"}), settings.excludedFolders);
    EXPECT_TRUE(settings.matchSize && settings.matchName && !settings.matchTime && !settings.matchContents);
    EXPECT_EQ("D", ParseJunkEndings(ReadSettingString("Settings", "DupExt", "")).at(1).flag);
    const RegScanOptions& scan = settings.regScan;
    EXPECT_TRUE(!scan.reportRemovableMedia && !scan.scanMachineHive && scan.scanClassIds);
    EXPECT_EQ((std::vector<int> {1, 1, 0}), (std::vector<int> {ReadSettingInt("Settings", "StartUpTip", -1),
              ReadSettingInt("Settings", "tasknotify", -1), ReadSettingInt("Settings", "playsound", -1)}));
    EXPECT_TRUE(notify && !sound);
    // Scanning all files greys the list and warns, once; Cancel commits nothing.
    Run(kPageDuplicates, [&] {
        EXPECT_FALSE(g_sheet->duplicates.list.IsChecked(1) || Checked(IDC_SAME_CONTENTS));
        Click(IDC_SCAN_ALL);
        Click(IDC_SCAN_ALL);
        EXPECT_FALSE(Enabled(IDC_DUP_LIST) || Enabled(IDC_DUP_ADD) || Enabled(IDC_DUP_REMOVE));
        ShowPage(kPageGeneral);
        return !Checked(IDC_SHOW_TIPS) && !Checked(IDC_PLAY_SOUND);
    }, PSBTN_CANCEL);
    EXPECT_EQ(1u, prompts.asked.size());
    EXPECT_EQ(0u, prompts.asked.at(0).text.find("You have chosen to scan all files; this could take several minutes."));
    EXPECT_EQ(1, settings.onlyListedTypes);
}

TEST(KeepList, MatchesAnyCaseAndReadsPastDamagedEntriesWhichItKeepsAsTheyWere) {
    kit::ScratchSettings store;
    KeepList keep;
    for (const KeptItem& item : {KeepFile("C:\\T\\\xCE\xA9mega.tmp"), KeepRegistryValue("HKEY_CURRENT_USER\\S|A", "v|1\r\n"),
                                 KeepRegistryKey("HKEY_CLASSES_ROOT\\bad"), KeepReferenceFolder("C:\\Originals\\"),
                                 KeepStartupEntry("App", "C:\\app.exe /s")})
        ASSERT_TRUE(keep.Add(item));
    EXPECT_FALSE(keep.Add(KeepFile("c:\\t\\\xCF\x89MEGA.TMP")));
    keep.Save();
    // Damaged entries, as a hand edit or a cut-off write leaves them.
    const std::pair<DWORD, std::string> damaged[] = {{REG_DWORD, std::string("\5\0\0\0", 4)},
        {REG_SZ, std::string("File|C:\\a%ZZ", 13)}, {REG_SZ, std::string("Nonsense", 9)}, {REG_SZ, std::string("File|", 6)},
        {REG_EXPAND_SZ, std::string("File|C:\\b", 10)}, {REG_SZ, std::string("File|C:\\c\0d", 12)}};
    HKEY k = nullptr;
    ::RegOpenKeyExA(HKEY_CURRENT_USER, (SettingsKeyPath() + "\\Keep").c_str(), 0, KEY_SET_VALUE, &k);
    for (const auto& d : damaged)
        ::RegSetValueExA(k, ("damaged" + std::to_string(&d - damaged)).c_str(), 0, d.first,
                         reinterpret_cast<const BYTE*>(d.second.data()), static_cast<DWORD>(d.second.size()));
    ::RegCloseKey(k);
    keep.Load();
    size_t readable = 0;
    for (const KeptItem& item : keep.Items()) readable += item.readable;
    EXPECT_EQ(5u, readable);
    const std::pair<KeptItem, bool> cases[] = {{KeepFile("C:\\t\\\xCF\x89mega.TMP"), true},
        {KeepShortcut("C:\\T\\\xCE\xA9mega.tmp"), false}, {KeepRegistryValue("hkey_current_user\\s|a", "V|1\r\n"), true},
        {KeepRegistryValue("HKEY_CURRENT_USER\\S|A", "v|1"), false}, {KeepRegistryKey("HKEY_CURRENT_USER\\S|A"), false},
        {KeepRegistryKey("HKEY_CLASSES_ROOT\\BAD"), true}, {KeepStartupEntry("app", "c:\\APP.exe /S"), true},
        {KeepStartupEntry("App", "C:\\other.exe"), false}, {KeepFile("C:\\a"), false}, {KeepFile("C:\\b"), false}};
    for (const auto& c : cases) EXPECT_EQ(c.second, keep.IsKept(c.first)) << KeptItemText(c.first);
    const std::pair<const char*, bool> inReference[] = {
        {"C:\\originals\\sub\\a.mp3", true}, {"C:\\Originals\\a.mp3", true}, {"C:\\Originals2\\a.mp3", false}};
    for (const auto& f : inReference) EXPECT_EQ(f.second, keep.IsInReferenceFolder(f.first)) << f.first;
    // Saved again, the damaged entries are written back byte for byte.
    keep.Save();
    KeepList again;
    again.Load();
    ASSERT_EQ(keep.Items().size(), again.Items().size());
    for (size_t i = 0; i < keep.Items().size(); ++i) EXPECT_EQ(keep.Items()[i].storedBytes, again.Items()[i].storedBytes);
}

TEST_F(OptionsTest, KeepListPageShowsItemsByToolAndRemovesThemOnlyOnOk) {
    ScratchDir dir("keeppage");
    ASSERT_TRUE(WriteFileText(dir / "there.tmp", "x"));
    for (const KeptItem& item : {KeepFile(dir / "there.tmp"), KeepRegistryValue("HKEY_CURRENT_USER\\KelvoGone", "v"),
                                 KeepReferenceFolder(dir.path()), KeepFile(dir / "gone.tmp")})
        settings.keep.Add(item);
    settings.keep.Save();
    kit::SetRegString(HKEY_CURRENT_USER, SettingsKeyPath() + "\\Keep", "hand edit", "Nonsense");
    settings.keep.Load();
    std::string rows;
    auto removeGoneAndUnreadable = [&] {
        CPageList& list = g_sheet->keepList.list;
        rows.clear();
        for (int i = 0; i < list.Count(); ++i) rows += list.Text(i) + "|" + list.Text(i, 1) + "|" + list.Text(i, 2) + "\n";
        EXPECT_FALSE(Enabled(IDC_KEEP_REMOVE));
        for (int i = 0; i < list.Count(); ++i)
            if (!list.Text(i, 2).empty()) list.Select(i);
        Click(IDC_KEEP_REMOVE);
        return list.Count() == 2;
    };
    Run(kPageKeepList, removeGoneAndUnreadable, PSBTN_CANCEL);
    EXPECT_EQ("Registry|HKEY_CURRENT_USER\\KelvoGone : \"v\"|gone\nUnneeded Files|" + dir / "there.tmp" +
                  "|\nUnneeded Files|" + dir / "gone.tmp" + "|gone\nDuplicate Files (reference folder)|" + dir.path() +
                  "|\n?|(unreadable entry) Nonsense|unreadable\n",
              rows);
    EXPECT_EQ(5u, settings.keep.Items().size()) << "Cancel changed the list";
    Run(kPageKeepList, removeGoneAndUnreadable);
    KeepList stored;
    stored.Load();
    EXPECT_TRUE(stored.Items().size() == 2 && settings.keep.Items().size() == 2);
    EXPECT_TRUE(stored.IsFileKept(dir / "there.tmp") && stored.IsInReferenceFolder(dir / "a.mp3"));
}
