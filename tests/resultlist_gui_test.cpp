// The result list and the commands on its items: size texts, tool tips, the right-click menu of
// each tool, double-click and Enter, and a registry row's key shown in the real registry editor.
#include "app/itemcommands.h"
#include "core/reghelpers.h"
#include "kit.h"
#include "resource.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

// Wine's registry editor is not single-instance, and one started a moment ago may show its
// window only later: close them until none has been seen for two seconds.
void CloseRegEdit() {
    DWORD quiet = ::GetTickCount();
    PumpUntil([&] {
        if (HWND editor = ::FindWindowA("RegEdit_RegEdit", nullptr)) {
            ::PostMessageA(editor, WM_CLOSE, 0, 0);
            quiet = ::GetTickCount();
        }
        return ::GetTickCount() - quiet > 2000;
    }, 30000);
}

// The key selected in the registry editor, as its status bar names it (after the computer's name).
std::string RegEditSelection() {
    char text[1024] = {};
    HWND bar = ::FindWindowExA(::FindWindowA("RegEdit_RegEdit", nullptr), nullptr, STATUSCLASSNAMEA, nullptr);
    ::SendMessageTimeoutA(bar, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text), SMTO_BLOCK, 2000, nullptr);
    return std::strchr(text, '\\') ? std::strchr(text, '\\') + 1 : text;
}

class ListTest : public ::testing::Test {
protected:
    void SetUp() override {
        AttachItemCommands(view, [this](int page) { pages.push_back(page); });
    }
    // Selects `row` alone (none: -1).
    void Select(int row) {
        ListView_SetItemState(view.m_hWnd, -1, 0, LVIS_SELECTED | LVIS_FOCUSED);
        if (row >= 0) ListView_SetItemState(view.m_hWnd, row, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
    }
    kit::ScratchSettings store;
    ScriptedPrompter prompts;
    kit::ListHost hosted {kListNone, {{"Name", 120}, {"Path", 120}, {"Size", 120}}};
    CWrenlyView& view = hosted.view;
    std::vector<int> pages;
};

}  // namespace

TEST(ResultList, SizesRoundedUpToWholeKilobytesOrMegabytes) {
    const std::pair<uint64_t, const char*> sizes[] = {{0, "0 KB"}, {1, "1 KB"}, {1024, "1 KB"}, {1025, "2 KB"},
        {1048575, "1024 KB"}, {1048576, "1 MB"}, {1048577, "2 MB"}, {~0u, "4096 MB"}, {5ULL << 30, "5120 MB"}};
    for (const auto& s : sizes) EXPECT_EQ(s.second, FormatSize(s.first)) << s.first;
}

TEST_F(ListTest, ToolTipsLeaveOutWholeLinesThatDoNotFit) {
    view.AddRow({"a.tmp", std::string(40, 'F'), "1 KB"}, 0, 0);
    // "Name:\t a.tmp" is 12 characters, the path's line 47, "Size:\t 1 KB" 11.
    const std::string path = "\nPath:\t " + std::string(40, 'F');
    const std::pair<int, std::string> tips[] = {{1024, "Name:\t a.tmp" + path + "\nSize:\t 1 KB"},
        {30, "Name:\t a.tmp\nSize:\t 1 KB"}, {13, "Name:\t a.tmp"}, {12, "Size:\t 1 KB"}, {11, ""}};
    for (const auto& t : tips) EXPECT_EQ(t.second, view.BuildInfoTip(0, t.first)) << t.first;
}

TEST(ItemCommands, OptionsPagesAndPropertiesTargets) {
    const int pages[] = {0, 3, 0, 0, 1, 4, 0, 0};
    for (int mode = 0; mode <= 7; ++mode) EXPECT_EQ(pages[mode], OptionsPageForListMode(mode)) << mode;
    // A command line keeps its program path, blank included; a blank alone cuts nothing.
    const std::pair<const char*, const char*> targets[] = {{"C:\\APP\\TOOL.EXE /S", "C:\\APP\\TOOL.EXE "},
        {"C:\\Program Files\\A\\a.exe -q", "C:\\Program Files\\A\\a.exe -q"},
        {"rundll32.exe shell32.dll,Control_RunDLL", "rundll32.exe shell32.dll"}, {"/x", ""}};
    for (const auto& t : targets) EXPECT_EQ(t.second, PropertiesTarget(t.first)) << t.first;
}

TEST_F(ListTest, EachToolsMenuWithItsEntriesEnabledForWhatIsSelected) {
    // (Data 0 would make it a separator in the duplicate finder, which has no records here.)
    view.AddRow({"file.txt", "C:\\file.txt"}, 0, 1);
    view.AddRow({"?mega.txt", "C:\\?mega.txt"}, 0, kRowNameUnusable);  // shown only: no form in the code page
    const UINT open = ID_ITEM_OPEN, with = ID_ITEM_OPEN_WITH, props = ID_ITEM_PROPERTIES, keep = ID_ITEM_KEEP;
    const std::vector<UINT> files = {open, with, props, ID_ITEM_OPTIONS, ID_ITEM_DRIVES, 0, keep};
    const struct { int mode; std::vector<UINT> ids; const char* keep; } tools[] = {
        {kListNone, {open, with, props, ID_ITEM_OPTIONS, ID_ITEM_DRIVES}, ""},
        {kListRegistry, {ID_ITEM_OPTIONS, ID_ITEM_REGEDIT, 0, keep}, "&Keep (never list again)"},
        {kListStartupPrograms, {open, with, props, 0, keep}, "&Keep (no more warnings)"},
        {kListInvalidShortcuts, files, "&Keep (never list again)"},
        {kListUnneededFiles, files, "&Keep (never list again)"},
        {kListDuplicates, files, "&Keep Folder as Reference (never delete)"}};
    for (int row : {-1, 0, 1}) {
        Select(row);
        for (const auto& t : tools) {
            view.SetListMode(t.mode);
            HMENU menu = CreateListContextMenu(view);
            std::vector<UINT> ids;
            for (int i = 0; i < ::GetMenuItemCount(menu); ++i) ids.push_back(::GetMenuItemID(menu, i));
            EXPECT_EQ(t.ids, ids) << "mode " << t.mode;
            char caption[64] = {};
            ::GetMenuStringA(menu, keep, caption, sizeof caption, MF_BYCOMMAND);
            EXPECT_STREQ(t.keep, caption) << "mode " << t.mode;
            const bool file = row == 0 || (row == 1 && t.mode != kListUnneededFiles && t.mode != kListInvalidShortcuts);
            for (UINT id : ids) {
                bool enabled = id == open || id == with || id == props ? file && t.mode >= 2 : row >= 0;
                enabled = id && (enabled || id == ID_ITEM_OPTIONS || id == ID_ITEM_DRIVES);
                EXPECT_EQ(enabled, id && !(::GetMenuState(menu, id, 0) & MF_GRAYED)) << t.mode << "/" << id << "/" << row;
            }
            ::DestroyMenu(menu);
        }
    }
    view.SetListMode(kListHistory);
    EXPECT_EQ(nullptr, CreateListContextMenu(view));
}

TEST_F(ListTest, TheMenuKeyShowsTheMenuAtTheListsCornerAndRunsTheChoice) {
    view.SetListMode(kListRegistry);
    RECT place {};
    EXPECT_TRUE(kit::RunModal([&] { view.Send(WM_CONTEXTMENU, reinterpret_cast<WPARAM>(view.m_hWnd), -1); }, {[&] {
        HWND menu = ::FindWindowA("#32768", nullptr);
        return ::IsWindowVisible(menu) && ::GetWindowRect(menu, &place) && ::PostMessageA(menu, WM_CHAR, 'p', 0);
    }}));
    POINT corner {5, 5};
    ::ClientToScreen(view.m_hWnd, &corner);
    EXPECT_EQ((std::vector<LONG> {corner.x, corner.y}), (std::vector<LONG> {place.left, place.top}));
    EXPECT_EQ((std::vector<int> {3}), pages) << "O&ptions... opens the RegClean page";
}

TEST_F(ListTest, OpenInRegEditShowsTheKeyOrItsLastAncestorInTheRegistryEditor) {
    CloseRegEdit();
    // Keys right below HKEY_CURRENT_USER, where no other test program adds or removes siblings.
    const std::string top = "KelvoItemCmd-" + kit::Pid();
    for (const char* k : {"beta", "Alpha", "~tilde\\child", "gamma\\inner", "Zeta"})
        kit::SetRegString(HKEY_CURRENT_USER, top + "\\" + k, "", "");
    view.SetListMode(kListRegistry);
    // A key that is gone shows its last existing ancestor, found in the tree's order (punctuation
    // first, without regard to case).
    view.AddRow({"HKEY_CURRENT_USER", " \\" + top + "\\~TILDE\\gone\\deeper\\ "}, 0, 0x02 | 0x10);
    view.Send(WM_KEYDOWN, VK_RETURN, 0);
    Select(0);
    view.Send(WM_KEYDOWN, VK_RETURN, 0);
    const std::string ancestor = "HKEY_CURRENT_USER\\" + top + "\\~tilde";
    EXPECT_TRUE(PumpUntil([&] { return RegEditSelection() == ancestor; })) << RegEditSelection();
    RunItemCommand(view, ID_ITEM_REGEDIT, {});
    CloseRegEdit();
    // No row: a word to the user; the first time: a warning, once for the user.
    ASSERT_EQ(2u, prompts.asked.size());
    EXPECT_EQ("Please select an item", prompts.asked[0].text);
    EXPECT_EQ(0u, prompts.asked[1].text.find("This is for advanced users only."));
    DeleteRegKeyTree(HKEY_CURRENT_USER, top);
    // With no editor coming, the wait gives up.
    DWORD start = ::GetTickCount();
    EXPECT_FALSE(DriveRegEditTree({2}, 300));
    EXPECT_LT(::GetTickCount() - start, 3000u);
}
