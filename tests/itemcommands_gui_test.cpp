// Commands on listed items: the right-click menu by tool, double-click and Enter, and opening
// a registry row's key in the real registry editor.
#include "app/itemcommands.h"
#include "app/mainframe.h"
#include "core/reghelpers.h"
#include "core/view.h"
#include "framework/prompter.h"
#include "framework/settings.h"
#include "options/optionssheet.h"
#include "resource.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>

namespace {

class ScratchSettings {
public:
    ScratchSettings() : key_("itemcmd") {
        SetSettingsKey(key_.path().substr(std::string("Software\\").size()), "Kelvo Utils");
    }
    ~ScratchSettings() { SetSettingsKey("Kelvo Utils", "Kelvo Utils"); }

private:
    ScratchKey key_;
};

// A key tree right below HKEY_CURRENT_USER, where no other test program adds or removes
// siblings while the registry editor is being driven.
class TopKey {
public:
    TopKey() : name_("KelvoItemCmd-" + std::to_string(::GetCurrentProcessId())) {
        DeleteRegKeyTree(HKEY_CURRENT_USER, name_);
    }
    ~TopKey() { DeleteRegKeyTree(HKEY_CURRENT_USER, name_); }
    const std::string& name() const { return name_; }
    void Add(const std::string& sub) const {
        HKEY k = nullptr;
        ::RegCreateKeyExA(HKEY_CURRENT_USER, (name_ + "\\" + sub).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k,
                          nullptr);
        if (k) ::RegCloseKey(k);
    }

private:
    std::string name_;
};

class Host : public CWindowImpl {};

std::vector<UINT> MenuIds(HMENU menu) {
    std::vector<UINT> ids;
    for (int i = 0; i < ::GetMenuItemCount(menu); ++i) ids.push_back(::GetMenuItemID(menu, i));
    return ids;
}

bool MenuEnabled(HMENU menu, UINT id) {
    return !(::GetMenuState(menu, id, MF_BYCOMMAND) & (MF_GRAYED | MF_DISABLED));
}

// What a thread timer saw of the popup menus that came up while a command ran.
struct MenuWatch {
    int menusSeen = 0;
    std::vector<UINT> ids;
    RECT rect {};
    std::function<void(HWND menuWindow)> act;  // closes or chooses; default: Escape
    static MenuWatch* current;
    UINT_PTR timer = 0;

    MenuWatch() {
        current = this;
        timer = ::SetTimer(nullptr, 0, 40, &MenuWatch::Tick);
    }
    ~MenuWatch() {
        ::KillTimer(nullptr, timer);
        current = nullptr;
    }
    static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
        MenuWatch* self = current;
        if (!self) return;
        HWND menu = ::FindWindowA("#32768", nullptr);
        if (!menu || !::IsWindowVisible(menu)) return;
        HMENU h = reinterpret_cast<HMENU>(::SendMessageA(menu, MN_GETHMENU, 0, 0));
        if (!h) return;
        ++self->menusSeen;
        self->ids = MenuIds(h);
        ::GetWindowRect(menu, &self->rect);
        if (self->act) self->act(menu);
        else ::PostMessageA(menu, WM_KEYDOWN, VK_ESCAPE, 0);
    }
};
MenuWatch* MenuWatch::current = nullptr;

// Windows of any process whose title holds `part`.
std::vector<HWND> WindowsTitled(const std::string& part) {
    struct Search { std::string part; std::vector<HWND> found; } s {part, {}};
    ::EnumWindows([](HWND h, LPARAM l) {
        auto* s = reinterpret_cast<Search*>(l);
        char title[512] = {};
        ::GetWindowTextA(h, title, sizeof title);
        if (std::string(title).find(s->part) != std::string::npos && ::IsWindowVisible(h)) s->found.push_back(h);
        return TRUE;
    }, reinterpret_cast<LPARAM>(&s));
    return s.found;
}

void CloseWindowsTitled(const std::string& part) {
    for (HWND h : WindowsTitled(part)) ::PostMessageA(h, WM_CLOSE, 0, 0);
    PumpUntil([&] { return WindowsTitled(part).empty(); }, 5000);
}

// The text of an item of a tree view that may belong to another process.
std::string RemoteTreeText(HWND tree, HTREEITEM item) {
    DWORD pid = 0;
    ::GetWindowThreadProcessId(tree, &pid);
    HANDLE process = ::OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid);
    if (!process) return "?";
    char* remote = static_cast<char*>(::VirtualAllocEx(process, nullptr, 4096, MEM_COMMIT, PAGE_READWRITE));
    std::string text = "?";
    if (remote) {
        TVITEMA tv {};
        tv.mask = TVIF_TEXT | TVIF_HANDLE;
        tv.hItem = item;
        tv.pszText = remote + 512;
        tv.cchTextMax = 1024;
        SIZE_T n = 0;
        ::WriteProcessMemory(process, remote, &tv, sizeof tv, &n);
        if (::SendMessageA(tree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(remote))) {
            char buf[1024] = {};
            ::ReadProcessMemory(process, remote + 512, buf, sizeof buf - 1, &n);
            text = buf;
        }
        ::VirtualFreeEx(process, remote, 0, MEM_RELEASE);
    }
    ::CloseHandle(process);
    return text;
}

// The path of the tree's selected item, from the first level below the root down.
std::string SelectedTreePath(HWND tree) {
    HTREEITEM item = reinterpret_cast<HTREEITEM>(::SendMessageA(tree, TVM_GETNEXTITEM, TVGN_CARET, 0));
    std::vector<std::string> parts;
    while (item) {
        HTREEITEM parent = reinterpret_cast<HTREEITEM>(
            ::SendMessageA(tree, TVM_GETNEXTITEM, TVGN_PARENT, reinterpret_cast<LPARAM>(item)));
        if (!parent) break;  // the root (the computer) itself
        parts.insert(parts.begin(), RemoteTreeText(tree, item));
        item = parent;
    }
    std::string path;
    for (const std::string& p : parts) path += (path.empty() ? "" : "\\") + p;
    return path;
}

HWND RegEditTree() {
    HWND frame = ::FindWindowA("RegEdit_RegEdit", nullptr);
    if (!frame) return nullptr;
    HWND tree = nullptr;
    ::EnumChildWindows(frame, [](HWND h, LPARAM l) {
        char cls[32] = {};
        ::GetClassNameA(h, cls, sizeof cls);
        if (std::string(cls) == "SysTreeView32") {
            *reinterpret_cast<HWND*>(l) = h;
            return FALSE;
        }
        return TRUE;
    }, reinterpret_cast<LPARAM>(&tree));
    return tree;
}

// Wine's registry editor is not single-instance: every start opens one more window, and one
// started a moment ago may show its window only later. Close them until none has been seen
// for two seconds, so that no editor outlives the test program.
void CloseRegEdit() {
    DWORD quietSince = ::GetTickCount();
    PumpUntil([&] {
        HWND frame = ::FindWindowA("RegEdit_RegEdit", nullptr);
        if (frame) {
            ::PostMessageA(frame, WM_CLOSE, 0, 0);
            quietSince = ::GetTickCount();
        }
        return ::GetTickCount() - quietSince > 2000;
    }, 30000);
}

class ItemCommandsTest : public ::testing::Test {
protected:
    void SetUp() override {
        RECT rc {40, 40, 640, 440};
        ASSERT_TRUE(host.Create(nullptr, rc, "item commands host", WS_OVERLAPPEDWINDOW | WS_VISIBLE));
        ASSERT_TRUE(view.CreateView(host.m_hWnd, 100));
        ::MoveWindow(view.m_hWnd, 0, 0, 580, 360, TRUE);
        for (const char* title : {"Name", "Path"}) {
            LVCOLUMNA col {};
            col.mask = LVCF_TEXT | LVCF_WIDTH;
            col.pszText = const_cast<char*>(title);
            col.cx = 200;
            view.Send(LVM_INSERTCOLUMNA, view.ColumnCount(), reinterpret_cast<LPARAM>(&col));
        }
        previousMain = MainWindow();
        SetMainWindow(host.m_hWnd);
        AttachItemCommands(view, [this](int page) { pages.push_back(page); });
    }
    void TearDown() override {
        SetMainWindow(previousMain);
        view.Destroy();
        host.Destroy();
    }
    void Select(int row) {
        LVITEMA item {};
        item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
        item.state = LVIS_SELECTED | LVIS_FOCUSED;
        view.Send(LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&item));
    }
    // Selects `row` alone; -1 clears the selection.
    void SelectOnly(int row) {
        LVITEMA none {};
        none.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
        view.Send(LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&none));
        if (row >= 0) Select(row);
    }
    POINT RowCentre(int row) {
        RECT r {};
        r.left = LVIR_LABEL;
        view.Send(LVM_GETITEMRECT, row, reinterpret_cast<LPARAM>(&r));
        return POINT {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
    }
    void DoubleClick(int row) {
        POINT p = RowCentre(row);
        view.Send(WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(p.x, p.y));
    }
    void PressEnter() { view.Send(WM_KEYDOWN, VK_RETURN, 0); }

    ScratchSettings store;
    ScriptedPrompter prompts;
    Host host;
    CWrenlyView view;
    HWND previousMain = nullptr;
    std::vector<int> pages;
};

}  // namespace

TEST(ItemCommandRules, PagesTargetsAndRoots) {
    const int pages[] = {0, 3, 0, 0, 1, 4, 0, 0};
    for (int mode = 0; mode <= 7; ++mode) EXPECT_EQ(pages[mode], OptionsPageForListMode(mode)) << mode;

    // A command line keeps its program path, blank included; a blank alone cuts nothing.
    EXPECT_EQ("C:\\APP\\TOOL.EXE ", PropertiesTarget("C:\\APP\\TOOL.EXE /S"));
    EXPECT_EQ("C:\\Program Files\\App\\app.exe -quiet", PropertiesTarget("C:\\Program Files\\App\\app.exe -quiet"));
    EXPECT_EQ("rundll32.exe shell32.dll", PropertiesTarget("rundll32.exe shell32.dll,Control_RunDLL"));
    EXPECT_EQ("", PropertiesTarget("/x"));

    EXPECT_EQ(HKEY_LOCAL_MACHINE, RootFromRowData(0x0F | 0x10));
    EXPECT_EQ(HKEY_CURRENT_USER, RootFromRowData(0x0B));
    EXPECT_EQ(HKEY_USERS, RootFromRowData(0x09 | 0x20));
    EXPECT_EQ(HKEY_CLASSES_ROOT, RootFromRowData(0x01));
    EXPECT_EQ(nullptr, RootFromRowData(0x30));

    EXPECT_EQ(0, RegEditRootPosition(HKEY_CLASSES_ROOT));
    EXPECT_EQ(1, RegEditRootPosition(HKEY_CURRENT_USER));
    EXPECT_EQ(2, RegEditRootPosition(HKEY_LOCAL_MACHINE));
    EXPECT_EQ(3, RegEditRootPosition(HKEY_USERS));
    EXPECT_EQ(2, RegEditRootPosition(nullptr));
}

TEST_F(ItemCommandsTest, ContextMenuEntriesAndStatesFollowTheTool) {
    view.AddRow({"file.txt", "C:\\file.txt"}, 0, 0);
    const std::vector<UINT> all = {ID_ITEM_OPEN, ID_ITEM_OPEN_WITH, ID_ITEM_PROPERTIES, ID_ITEM_OPTIONS,
                                   ID_ITEM_DRIVES};
    std::vector<UINT> allAndKeep = all;
    allAndKeep.insert(allAndKeep.end(), {0, ID_ITEM_KEEP});
    const std::map<int, std::vector<UINT>> entries = {
        {0, all},
        {1, {ID_ITEM_OPTIONS, ID_ITEM_REGEDIT, 0, ID_ITEM_KEEP}},
        {2, {ID_ITEM_OPEN, ID_ITEM_OPEN_WITH, ID_ITEM_PROPERTIES, 0, ID_ITEM_KEEP}},
        {3, allAndKeep},
        {4, allAndKeep},
        {5, allAndKeep},
    };
    // Duplicates and startup entries stay listed when kept, and the entry says so.
    const std::map<int, std::string> keepCaptions = {
        {1, "&Keep (never list again)"}, {2, "&Keep (no more warnings)"}, {3, "&Keep (never list again)"},
        {4, "&Keep (never list again)"}, {5, "&Keep Folder as Reference (never delete)"},
    };
    for (bool selected : {false, true}) {
        if (selected) Select(0);
        for (int mode = 0; mode <= 6; ++mode) {
            view.SetListMode(mode);
            HMENU menu = CreateListContextMenu(view);
            if (mode == kListHistory) {
                EXPECT_EQ(nullptr, menu);
                continue;
            }
            ASSERT_TRUE(menu) << mode;
            EXPECT_EQ(entries.at(mode), MenuIds(menu)) << "mode " << mode;
            if (keepCaptions.count(mode)) {
                char caption[64] = {};
                ::GetMenuStringA(menu, ID_ITEM_KEEP, caption, sizeof caption, MF_BYCOMMAND);
                EXPECT_EQ(keepCaptions.at(mode), caption);
            }
            for (UINT id : MenuIds(menu)) {
                if (id == 0) continue;
                bool expected = selected || id != ID_ITEM_KEEP;
                if (id == ID_ITEM_OPEN || id == ID_ITEM_OPEN_WITH) expected = selected && mode >= 2;
                if (id == ID_ITEM_PROPERTIES) expected = selected && mode != 0 && mode != 1;
                if (id == ID_ITEM_REGEDIT) expected = selected && mode == 1;
                EXPECT_EQ(expected, MenuEnabled(menu, id)) << "mode " << mode << " id " << id << " sel " << selected;
            }
            ::DestroyMenu(menu);
        }
    }
    // A file whose name has no form in the code page is shown only: nothing opens it.
    view.AddRow({"?mega.txt", "C:\\?mega.txt"}, 0, kRowNameUnusable);
    SelectOnly(1);
    for (int mode : {kListUnneededFiles, kListInvalidShortcuts}) {
        view.SetListMode(mode);
        for (UINT id : {ID_ITEM_OPEN, ID_ITEM_OPEN_WITH, ID_ITEM_PROPERTIES})
            EXPECT_FALSE(IsItemCommandEnabled(id, view)) << mode << " " << id;
    }
    SelectOnly(0);

    // The entries' texts come from menu 118.
    view.SetListMode(kListRegistry);
    HMENU menu = CreateListContextMenu(view);
    char text[64] = {};
    ::GetMenuStringA(menu, ID_ITEM_OPTIONS, text, sizeof text, MF_BYCOMMAND);
    EXPECT_STREQ("O&ptions...", text);
    ::GetMenuStringA(menu, ID_ITEM_REGEDIT, text, sizeof text, MF_BYCOMMAND);
    EXPECT_STREQ("Open in &RegEdit", text);
    ::DestroyMenu(menu);

    // The main menu's ContextMenu entries follow the same rules.
    HMENU main = ::CreatePopupMenu();
    ::AppendMenuA(main, MF_STRING, ID_ITEM_PROPERTIES, "Properties");
    ::AppendMenuA(main, MF_STRING, ID_ITEM_REGEDIT, "Open key in RegEdit...");
    UpdateItemCommandMenu(main, view);
    EXPECT_FALSE(MenuEnabled(main, ID_ITEM_PROPERTIES));
    EXPECT_TRUE(MenuEnabled(main, ID_ITEM_REGEDIT));
    view.SetListMode(kListUnneededFiles);
    UpdateItemCommandMenu(main, view);
    EXPECT_TRUE(MenuEnabled(main, ID_ITEM_PROPERTIES));
    EXPECT_FALSE(MenuEnabled(main, ID_ITEM_REGEDIT));
    ::DestroyMenu(main);
}

TEST_F(ItemCommandsTest, RightClickAndContextKeyShowTheMenuAndRunTheChoice) {
    view.SetListMode(kListUnneededFiles);
    view.AddRow({"a.tmp", "C:\\a.tmp"}, 0, 0);
    view.AddRow({"b.tmp", "C:\\b.tmp"}, 0, 0);
    Select(1);

    // From the keyboard: just inside the list's top-left corner; "p" picks "O&ptions...".
    {
        MenuWatch watch;
        watch.act = [](HWND menu) { ::PostMessageA(menu, WM_CHAR, 'p', 0); };
        view.Send(WM_CONTEXTMENU, reinterpret_cast<WPARAM>(view.m_hWnd), static_cast<LPARAM>(-1));
        EXPECT_EQ(1, watch.menusSeen);
        EXPECT_EQ((std::vector<UINT> {ID_ITEM_OPEN, ID_ITEM_OPEN_WITH, ID_ITEM_PROPERTIES, ID_ITEM_OPTIONS,
                                      ID_ITEM_DRIVES, 0, ID_ITEM_KEEP}),
                  watch.ids);
        POINT corner {5, 5};
        ::ClientToScreen(view.m_hWnd, &corner);
        EXPECT_EQ(corner.x, watch.rect.left);
        EXPECT_EQ(corner.y, watch.rect.top);
    }
    EXPECT_EQ((std::vector<int> {1}), pages);

    // With the mouse: the menu opens where the button went up; Escape runs nothing.
    {
        MenuWatch watch;
        POINT p = RowCentre(0);
        // The list takes the menu's place from the click's message position.
        POINT screen = p;
        ::ClientToScreen(view.m_hWnd, &screen);
        // The display answers a warp late: wait until the pointer is reported there.
        ASSERT_TRUE(PumpUntil([&] {
            ::SetCursorPos(screen.x, screen.y);
            PumpFor(20);
            POINT now {};
            ::GetCursorPos(&now);
            return now.x == screen.x && now.y == screen.y;
        }, 5000));
        ::PostMessageA(view.m_hWnd, WM_RBUTTONUP, 0, MAKELPARAM(p.x, p.y));
        view.Send(WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(p.x, p.y));
        PumpFor(100);
        EXPECT_EQ(1, watch.menusSeen);
        ::ClientToScreen(view.m_hWnd, &p);
        EXPECT_EQ(p.x, watch.rect.left);
        EXPECT_EQ(p.y, watch.rect.top);
    }
    EXPECT_EQ((std::vector<int> {1}), pages);

    // "Drives To Scan..." always opens the first page; in the registry tool "O&ptions..."
    // opens "RegClean".
    {
        MenuWatch watch;
        watch.act = [](HWND menu) {
            // Down to the fifth entry, then Enter.
            for (int i = 0; i < 5; ++i) ::PostMessageA(menu, WM_KEYDOWN, VK_DOWN, 0);
            ::PostMessageA(menu, WM_KEYDOWN, VK_RETURN, 0);
        };
        view.Send(WM_CONTEXTMENU, reinterpret_cast<WPARAM>(view.m_hWnd), static_cast<LPARAM>(-1));
    }
    EXPECT_EQ((std::vector<int> {1, 0}), pages);
    view.SetListMode(kListRegistry);
    {
        MenuWatch watch;
        watch.act = [](HWND menu) { ::PostMessageA(menu, WM_CHAR, 'p', 0); };
        view.Send(WM_CONTEXTMENU, reinterpret_cast<WPARAM>(view.m_hWnd), static_cast<LPARAM>(-1));
        EXPECT_EQ((std::vector<UINT> {ID_ITEM_OPTIONS, ID_ITEM_REGEDIT, 0, ID_ITEM_KEEP}), watch.ids);
    }
    EXPECT_EQ((std::vector<int> {1, 0, 3}), pages);

    // The history tool has no menu at all.
    view.SetListMode(kListHistory);
    {
        MenuWatch watch;
        view.Send(WM_CONTEXTMENU, reinterpret_cast<WPARAM>(view.m_hWnd), static_cast<LPARAM>(-1));
        PumpFor(150);
        EXPECT_EQ(0, watch.menusSeen);
    }
}

TEST_F(ItemCommandsTest, DoubleClickAndEnterOpenTheFileByTool) {
    ScratchDir dir("itemopen");
    std::string marker = "kelvo-open-" + std::to_string(::GetCurrentProcessId());
    std::string file = dir / (marker + ".ini");
    ASSERT_TRUE(WriteFileText(file, "opened by the list\r\n"));
    view.AddRow({marker + ".ini", file}, 0, 0);
    Select(0);

    // Nothing opens with no tool, and nothing in the history tool (its rows are no files).
    view.SetListMode(kListNone);
    DoubleClick(0);
    PressEnter();
    view.SetListMode(kListHistory);
    DoubleClick(0);
    PressEnter();
    PumpFor(2500);
    EXPECT_TRUE(WindowsTitled(marker).empty());

    view.SetListMode(kListInvalidShortcuts);
    PressEnter();
    EXPECT_TRUE(PumpUntil([&] { return !WindowsTitled(marker).empty(); }, 15000)) << "Enter opened nothing";
    CloseWindowsTitled(marker);

    view.SetListMode(kListDuplicates);
    DoubleClick(0);
    EXPECT_TRUE(PumpUntil([&] { return !WindowsTitled(marker).empty(); }, 15000)) << "double-click opened nothing";
    CloseWindowsTitled(marker);

    // The menu's Open does the same; with no row selected it does nothing.
    view.SetListMode(kListUnneededFiles);
    RunItemCommand(view, ID_ITEM_OPEN, {});
    EXPECT_TRUE(PumpUntil([&] { return !WindowsTitled(marker).empty(); }, 15000)) << "Open opened nothing";
    CloseWindowsTitled(marker);
    SelectOnly(-1);
    RunItemCommand(view, ID_ITEM_OPEN, {});
    PressEnter();
    PumpFor(2000);
    EXPECT_TRUE(WindowsTitled(marker).empty());
    EXPECT_TRUE(prompts.asked.empty());
}

TEST_F(ItemCommandsTest, KeyPositionsCountInTheTreesOrder) {
    TopKey top;
    for (const char* k : {"beta", "Alpha", "~tilde\\child", "gamma\\inner", "Zeta"}) top.Add(k);
    std::vector<int> base = ComputeKeyPositions(HKEY_CURRENT_USER, top.name());
    ASSERT_EQ(1u, base.size());

    auto tail = [&](const std::string& sub) {
        std::vector<int> p = ComputeKeyPositions(HKEY_CURRENT_USER, top.name() + "\\" + sub);
        EXPECT_EQ(base[0], p.empty() ? -1 : p[0]) << sub;
        return std::vector<int>(p.begin() + (p.empty() ? 0 : 1), p.end());
    };
    // Punctuation sorts before letters and case does not count: ~tilde, Alpha, beta, gamma, Zeta.
    EXPECT_EQ((std::vector<int> {0, 0}), tail("~tilde\\child"));
    EXPECT_EQ((std::vector<int> {1}), tail("ALPHA"));
    EXPECT_EQ((std::vector<int> {3, 0}), tail("gamma\\inner"));
    EXPECT_EQ((std::vector<int> {4}), tail("zeta"));
    // A missing component ends the list at the last key that exists.
    EXPECT_EQ((std::vector<int> {3}), tail("gamma\\gone\\deeper"));
    EXPECT_EQ((std::vector<int> {}), tail("nothere"));
    // Backslashes and blanks around the path do not count.
    EXPECT_EQ(ComputeKeyPositions(HKEY_CURRENT_USER, top.name() + "\\gamma\\inner"),
              ComputeKeyPositions(HKEY_CURRENT_USER, " \\" + top.name() + "\\gamma\\inner\\ "));
    EXPECT_TRUE(ComputeKeyPositions(nullptr, "Software").empty());
    EXPECT_TRUE(ComputeKeyPositions(HKEY_CURRENT_USER, " \\ ").empty());

    // A tree view that keeps its items sorted, as the editor's does, reaches the same keys.
    HWND tree = ::CreateWindowExA(0, WC_TREEVIEWA, "", WS_CHILD | WS_VISIBLE, 0, 0, 200, 200, host.m_hWnd, nullptr,
                                  AppInstance(), nullptr);
    ASSERT_TRUE(tree);
    auto insert = [&](HTREEITEM parent, const char* text) {
        TVINSERTSTRUCTA ins {};
        ins.hParent = parent;
        ins.hInsertAfter = TVI_SORT;
        ins.item.mask = TVIF_TEXT;
        ins.item.pszText = const_cast<char*>(text);
        return reinterpret_cast<HTREEITEM>(::SendMessageA(tree, TVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&ins)));
    };
    HTREEITEM root = insert(TVI_ROOT, "Computer");
    for (const char* k : {"Zeta", "gamma", "beta", "~tilde", "Alpha"}) insert(root, k);
    auto text = [&](HTREEITEM item) {
        char buf[64] = {};
        TVITEMA tv {};
        tv.mask = TVIF_TEXT | TVIF_HANDLE;
        tv.hItem = item;
        tv.pszText = buf;
        tv.cchTextMax = sizeof buf;
        ::SendMessageA(tree, TVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&tv));
        return std::string(buf);
    };
    for (const char* k : {"~tilde", "Alpha", "beta", "gamma", "Zeta"}) {
        HTREEITEM reached = SelectTreePath(tree, tail(k));
        EXPECT_EQ(k, text(reached));
        EXPECT_EQ(reached, reinterpret_cast<HTREEITEM>(::SendMessageA(tree, TVM_GETNEXTITEM, TVGN_CARET, 0)));
    }
    // Positions past the last sibling stop at the last one.
    EXPECT_EQ("Zeta", text(SelectTreePath(tree, {9})));
    EXPECT_EQ("Computer", text(SelectTreePath(tree, {})));
    ::DestroyWindow(tree);
}

TEST_F(ItemCommandsTest, OpenInRegEditSelectsTheKeyInTheRegistryEditor) {
    CloseRegEdit();
    TopKey top;
    for (const char* k : {"beta", "Alpha", "~tilde\\child", "gamma\\inner", "Zeta"}) top.Add(k);
    view.SetListMode(kListRegistry);
    view.AddRow({"HKEY_CURRENT_USER", top.name() + "\\~tilde\\child", "", "", ""}, 0, 0x02 | 0x10);
    view.AddRow({"HKEY_CURRENT_USER", top.name() + "\\gamma\\gone\\deeper", "", "", ""}, 0, 0x02 | 0x10);

    // Nothing selected.
    RunItemCommand(view, ID_ITEM_REGEDIT, {});
    ASSERT_EQ(1u, prompts.asked.size());
    EXPECT_EQ("Please select an item", prompts.asked[0].text);

    // The first time: the warning, once per user.
    Select(0);
    RunItemCommand(view, ID_ITEM_REGEDIT, {});
    ASSERT_EQ(2u, prompts.asked.size());
    EXPECT_EQ(0u, prompts.asked[1].text.find("This is for advanced users only."));
    EXPECT_EQ("Warning !!!", prompts.asked[1].caption);
    EXPECT_EQ(static_cast<UINT>(MB_OK | MB_ICONEXCLAMATION), prompts.asked[1].type);
    EXPECT_EQ(1, ReadSettingInt("Settings", "openwithregedit", 0));
    HWND tree = RegEditTree();
    ASSERT_TRUE(tree) << "the registry editor did not come up";
    EXPECT_EQ("HKEY_CURRENT_USER\\" + top.name() + "\\~tilde\\child", SelectedTreePath(tree));

    // Enter in the registry tool: a key that no longer exists shows its last existing ancestor.
    SelectOnly(1);
    PressEnter();
    EXPECT_EQ(2u, prompts.asked.size());
    tree = RegEditTree();
    ASSERT_TRUE(tree);
    EXPECT_EQ("HKEY_CURRENT_USER\\" + top.name() + "\\gamma", SelectedTreePath(tree));

    // Double-click does the same.
    SelectOnly(0);
    DoubleClick(0);
    tree = RegEditTree();
    ASSERT_TRUE(tree);
    EXPECT_EQ("HKEY_CURRENT_USER\\" + top.name() + "\\~tilde\\child", SelectedTreePath(tree));
    CloseRegEdit();
    EXPECT_EQ(2u, prompts.asked.size());
}

TEST_F(ItemCommandsTest, WaitingForTheEditorGivesUp) {
    CloseRegEdit();
    if (::FindWindowA("RegEdit_RegEdit", nullptr)) GTEST_SKIP() << "a registry editor is still open";
    DWORD start = ::GetTickCount();
    EXPECT_FALSE(DriveRegEditTree({2}, 300));
    DWORD took = ::GetTickCount() - start;
    EXPECT_GE(took, 250u);
    EXPECT_LT(took, 3000u);
}

namespace {
// Acts on the Options sheet from a timer once it shows a page, then lets it close.
struct SheetWatch {
    COptionsSheet* sheet = nullptr;
    int page = -1;
    std::function<int(COptionsSheet&)> act;  // answers the button to press
    static SheetWatch* current;
    UINT_PTR timer = 0;
    SheetWatch() {
        current = this;
        COptionsSheet::onCreated = [](COptionsSheet& s) { current->sheet = &s; };
        timer = ::SetTimer(nullptr, 0, 40, &SheetWatch::Tick);
    }
    ~SheetWatch() {
        ::KillTimer(nullptr, timer);
        COptionsSheet::onCreated = nullptr;
        current = nullptr;
    }
    static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
        SheetWatch* self = current;
        if (!self || !self->sheet || self->page >= 0) return;
        HWND h = self->sheet->Window();
        if (!h || !PropSheet_GetCurrentPageHwnd(h)) return;
        self->page = TabCtrl_GetCurSel(PropSheet_GetTabControl(h));
        int button = self->act ? self->act(*self->sheet) : PSBTN_CANCEL;
        ::PostMessageA(h, PSM_PRESSBUTTON, button, 0);
    }
};
SheetWatch* SheetWatch::current = nullptr;
}  // namespace

TEST(ItemCommandsInFrame, MainWindowRoutesTheMenuAndTheSheet) {
    ScratchSettings store;
    ScriptedPrompter prompts;
    CMainFrame frame;
    ASSERT_TRUE(frame.CreateFrame());
    SetMainWindow(frame.m_hWnd);
    frame.Show(SW_SHOW);
    CWrenlyView* view = frame.GetListView();
    ASSERT_TRUE(view);

    // The registry tool's right-click "O&ptions..." opens "RegClean".
    frame.OutBar().setSelFolder(1);
    ASSERT_EQ(kListRegistry, view->ListMode);
    {
        SheetWatch sheet;
        MenuWatch menu;
        menu.act = [](HWND m) { ::PostMessageA(m, WM_CHAR, 'p', 0); };
        view->Send(WM_CONTEXTMENU, reinterpret_cast<WPARAM>(view->m_hWnd), static_cast<LPARAM>(-1));
        EXPECT_EQ((std::vector<UINT> {ID_ITEM_OPTIONS, ID_ITEM_REGEDIT, 0, ID_ITEM_KEEP}), menu.ids);
        EXPECT_EQ(kPageRegClean, sheet.page);
    }
    // "Open With RegEdit" with nothing selected asks for a selection.
    frame.RunToolCommand(3020);
    ASSERT_EQ(1u, prompts.asked.size());
    EXPECT_EQ("Please select an item", prompts.asked[0].text);

    // "General": clearing "Play Notify Sound" acts at once on the frame, and the box shows it.
    ASSERT_TRUE(frame.playSound);
    {
        SheetWatch sheet;
        sheet.act = [](COptionsSheet& s) {
            ::SendMessageA(::GetDlgItem(s.general.m_hWnd, IDC_PLAY_SOUND), BM_CLICK, 0, 0);
            return PSBTN_OK;
        };
        frame.OpenOptionsSheetOn(kPageGeneral);
        EXPECT_EQ(kPageGeneral, sheet.page);
    }
    EXPECT_FALSE(frame.playSound);
    EXPECT_TRUE(frame.taskNotify);
    {
        bool sound = true;
        SheetWatch sheet;
        sheet.act = [&](COptionsSheet& s) {
            sound = ::IsDlgButtonChecked(s.general.m_hWnd, IDC_PLAY_SOUND) == BST_CHECKED;
            return PSBTN_CANCEL;
        };
        frame.OpenOptionsSheetOn(kPageGeneral);
        EXPECT_FALSE(sound);
    }
    // The drives the sheet commits are the list's own.
    {
        SheetWatch sheet;
        sheet.act = [](COptionsSheet&) { return PSBTN_OK; };
        ::SendMessageA(frame.m_hWnd, WM_COMMAND, ID_CONFIG_DRIVES, 0);
        EXPECT_EQ(kPageDrives, sheet.page);
    }
    EXPECT_EQ(0u, view->settings.driveMask & ((1u << 0) | (1u << 3)));  // the floppy and the CD-ROM
    SetMainWindow(nullptr);
    ::DestroyWindow(frame.m_hWnd);
    MSG msg;
    while (::PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {}
}
