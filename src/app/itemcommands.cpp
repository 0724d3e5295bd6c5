#include "app/itemcommands.h"

#include "core/codepage.h"
#include "framework/prompter.h"
#include "framework/settings.h"
#include "framework/strings.h"
#include "resource.h"

#include <shellapi.h>

#include <algorithm>

namespace {

const char kRegEditWarning[] =
    "This is for advanced users only. If you damage the registry, you will have to reinstall windows again.Please "
    "close RegEdit if you are'nt an expert with the registry\n\nThis message will not be shown again";
const char kRegEditTimeout[] =
    "RegEdit did not show its window within 10 seconds, so the key could not be selected.\nPlease find it in RegEdit "
    "yourself.";

int Tell(HWND owner, const std::string& text, UINT type = MB_OK, const std::string& caption = "") {
    return Prompter().Ask(owner, text, caption.empty() ? LoadStr(IDS_APP_TITLE) : caption, type);
}

// The column-1 text of the first selected row; false when nothing is selected.
bool FirstSelectedText(const CWrenlyView& view, std::string& text) {
    int row = FirstSelectedRow(view);
    if (row < 0) return false;
    text = view.Text(row, 1);
    return true;
}

// A message to a window of another process that may be busy or hung: never wait for ever.
LRESULT SendTo(HWND h, UINT msg, WPARAM w, LPARAM l) {
    DWORD_PTR result = 0;
    if (!::SendMessageTimeoutA(h, msg, w, l, SMTO_ABORTIFHUNG, 2000, &result)) return 0;
    return static_cast<LRESULT>(result);
}

HTREEITEM TreeItem(HWND tree, UINT relation, HTREEITEM from) {
    return reinterpret_cast<HTREEITEM>(SendTo(tree, TVM_GETNEXTITEM, relation, reinterpret_cast<LPARAM>(from)));
}

BOOL CALLBACK FindTreeChild(HWND h, LPARAM l) {
    char cls[64] = {};
    ::GetClassNameA(h, cls, sizeof cls);
    if (::lstrcmpiA(cls, "SysTreeView32") == 0) {
        *reinterpret_cast<HWND*>(l) = h;
        return FALSE;
    }
    return TRUE;
}

HWND FindTreeOf(HWND frame) {
    HWND tree = nullptr;
    ::EnumChildWindows(frame, &FindTreeChild, reinterpret_cast<LPARAM>(&tree));
    return tree;
}

}  // namespace

int OptionsPageForListMode(int listMode) {
    switch (listMode) {
    case kListRegistry: return 3;
    case kListUnneededFiles: return 1;
    case kListDuplicates: return 4;
    default: return 0;
    }
}

int FirstSelectedRow(const CWrenlyView& view) {
    if (!view.IsWindow()) return -1;
    return static_cast<int>(view.Send(LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
}

bool IsItemCommandEnabled(UINT id, const CWrenlyView& view) {
    int row = FirstSelectedRow(view);
    bool selected = row >= 0;
    int mode = view.ListMode;
    // A file whose name has no form in the process code page is only shown: its path text may
    // name another file.
    bool file = selected && !((mode == kListUnneededFiles || mode == kListInvalidShortcuts) &&
                              (view.Data(row) & kRowNameUnusable));
    switch (id) {
    case ID_ITEM_OPEN:
    case ID_ITEM_OPEN_WITH: return file && mode >= 2;
    case ID_ITEM_PROPERTIES: return file && mode != kListNone && mode != kListRegistry && mode != kListHistory;
    case ID_ITEM_REGEDIT: return selected && mode == kListRegistry;
    case ID_ITEM_OPTIONS:
    case ID_ITEM_DRIVES: return true;
    case ID_ITEM_KEEP: return selected && !KeepCommandCaption(mode).empty();
    default: return false;
    }
}

void UpdateItemCommandMenu(HMENU menu, const CWrenlyView& view) {
    for (UINT id : {ID_ITEM_OPEN, ID_ITEM_OPEN_WITH, ID_ITEM_PROPERTIES, ID_ITEM_OPTIONS, ID_ITEM_DRIVES,
                    ID_ITEM_REGEDIT, ID_ITEM_KEEP}) {
        if (::GetMenuState(menu, id, MF_BYCOMMAND) == static_cast<UINT>(-1)) continue;
        ::EnableMenuItem(menu, id, MF_BYCOMMAND | (IsItemCommandEnabled(id, view) ? MF_ENABLED : MF_GRAYED));
    }
}

HMENU CreateListContextMenu(const CWrenlyView& view) {
    if (view.ListMode == kListHistory) return nullptr;
    HMENU bar = ::LoadMenuA(AppInstance(), MAKEINTRESOURCEA(IDR_CONTEXT_MENU));
    if (!bar) return nullptr;
    HMENU popup = ::GetSubMenu(bar, 0);
    // Keep the popup when the bar goes.
    if (popup) ::RemoveMenu(bar, 0, MF_BYPOSITION);
    ::DestroyMenu(bar);
    if (!popup) return nullptr;

    std::vector<UINT> removed;
    switch (view.ListMode) {
    case kListRegistry: removed = {ID_ITEM_OPEN, ID_ITEM_OPEN_WITH, ID_ITEM_PROPERTIES, ID_ITEM_DRIVES}; break;
    case kListStartupPrograms: removed = {ID_ITEM_OPTIONS, ID_ITEM_DRIVES, ID_ITEM_REGEDIT}; break;
    default: removed = {ID_ITEM_REGEDIT}; break;
    }
    for (UINT id : removed) ::DeleteMenu(popup, id, MF_BYCOMMAND);
    std::string keep = KeepCommandCaption(view.ListMode);
    if (keep.empty()) {
        ::DeleteMenu(popup, ID_ITEM_KEEP, MF_BYCOMMAND);
        // The separator above it goes too.
        int last = ::GetMenuItemCount(popup) - 1;
        if (last >= 0 && ::GetMenuItemID(popup, last) == 0) ::DeleteMenu(popup, last, MF_BYPOSITION);
    } else {
        ::ModifyMenuA(popup, ID_ITEM_KEEP, MF_BYCOMMAND | MF_STRING, ID_ITEM_KEEP, keep.c_str());
    }
    UpdateItemCommandMenu(popup, view);
    return popup;
}

void ShowListContextMenu(CWrenlyView& view, LPARAM pos, const OpenOptionsFn& openOptions) {
    HMENU menu = CreateListContextMenu(view);
    if (!menu) return;
    POINT pt {static_cast<short>(LOWORD(pos)), static_cast<short>(HIWORD(pos))};
    if (pt.x == -1 && pt.y == -1) {
        // From the keyboard: just inside the list's top-left corner.
        pt = {5, 5};
        ::ClientToScreen(view.m_hWnd, &pt);
    }
    HWND owner = ::GetAncestor(view.m_hWnd, GA_ROOT);
    UINT id = static_cast<UINT>(::TrackPopupMenu(menu, TPM_LEFTALIGN | TPM_RIGHTBUTTON | TPM_RETURNCMD, pt.x, pt.y,
                                                 0, owner ? owner : view.m_hWnd, nullptr));
    ::DestroyMenu(menu);
    if (id) RunItemCommand(view, id, openOptions);
}

void RunItemCommand(CWrenlyView& view, UINT id, const OpenOptionsFn& openOptions) {
    if (!view.IsWindow()) return;
    std::string text;
    switch (id) {
    case ID_ITEM_OPEN:
        if (IsItemCommandEnabled(id, view) && FirstSelectedText(view, text)) OpenItemFile(view.m_hWnd, text);
        break;
    case ID_ITEM_OPEN_WITH:
        if (IsItemCommandEnabled(id, view) && FirstSelectedText(view, text) && !text.empty()) OpenItemWith(text);
        break;
    case ID_ITEM_PROPERTIES:
        if (IsItemCommandEnabled(id, view) && FirstSelectedText(view, text))
            ShowItemProperties(view.m_hWnd, PropertiesTarget(text));
        break;
    case ID_ITEM_OPTIONS:
        if (openOptions) openOptions(OptionsPageForListMode(view.ListMode));
        break;
    case ID_ITEM_DRIVES:
        if (openOptions) openOptions(0);
        break;
    case ID_ITEM_REGEDIT:
        if (view.ListMode == kListRegistry) OpenSelectedKeyInRegEdit(view);
        break;
    case ID_ITEM_KEEP:
        KeepSelectedRows(view);
        break;
    default:
        break;
    }
}

std::string KeepCommandCaption(int listMode) {
    switch (listMode) {
    case kListRegistry:
    case kListUnneededFiles:
    case kListInvalidShortcuts: return "&Keep (never list again)";
    case kListStartupPrograms: return "&Keep (no more warnings)";
    case kListDuplicates: return "&Keep Folder as Reference (never delete)";
    default: return std::string();
    }
}

bool KeptItemForRow(const CWrenlyView& view, int row, KeptItem& item) {
    switch (view.ListMode) {
    case kListRegistry:
        item = KeepRegistryFinding(view.Text(row, 0), view.Text(row, 1), view.Text(row, 2), view.Data(row));
        return true;
    case kListUnneededFiles: item = KeepFile(view.Text(row, 1)); return true;
    case kListInvalidShortcuts: item = KeepShortcut(view.Text(row, 1)); return true;
    case kListStartupPrograms: item = KeepStartupEntry(view.Text(row, 0), view.Text(row, 1)); return true;
    case kListDuplicates: {
        if (view.Data(row) >= view.groupOffsets.size()) return false;
        std::string path = view.Text(row, 1);
        size_t slash = path.find_last_of('\\');
        if (slash == std::string::npos) return false;
        item = KeepReferenceFolder(path.substr(0, slash));
        return true;
    }
    default: return false;
    }
}

int KeepSelectedRows(CWrenlyView& view) {
    if (!view.IsWindow() || KeepCommandCaption(view.ListMode).empty()) return 0;
    const bool dropRows = view.ListMode == kListRegistry || view.ListMode == kListUnneededFiles ||
                          view.ListMode == kListInvalidShortcuts;
    KeepList& keep = view.settings.keep;
    int kept = 0;
    std::vector<int> selected;
    for (int row = FirstSelectedRow(view); row >= 0;
         row = static_cast<int>(view.Send(LVM_GETNEXTITEM, row, LVNI_SELECTED)))
        selected.push_back(row);
    bool referenceAdded = false;
    for (int row : selected) {
        KeptItem item;
        if (!KeptItemForRow(view, row, item)) continue;
        if (keep.Add(item)) {
            ++kept;
            referenceAdded |= item.kind == KeepKind::kReferenceFolder;
        }
    }
    // Last row first, so the indexes still to go stay valid.
    if (dropRows)
        for (auto it = selected.rbegin(); it != selected.rend(); ++it) view.DeleteRow(*it);
    if (referenceAdded) view.DeselectReferenceRows();
    keep.Save();
    return kept;
}

void OnListDoubleClick(CWrenlyView& view) {
    int mode = view.ListMode;
    if (mode == kListRegistry) OpenSelectedKeyInRegEdit(view);
    else if (mode >= kListStartupPrograms && mode <= kListDuplicates) RunItemCommand(view, ID_ITEM_OPEN, {});
}

void OnListEnter(CWrenlyView& view) {
    // The history rows are names of histories, not files: Enter opens nothing there, as a
    // double-click does not (the shell would be asked to run whatever bears that name).
    OnListDoubleClick(view);
}

void AttachItemCommands(CWrenlyView& view, OpenOptionsFn openOptions) {
    CWrenlyView* v = &view;
    view.OnMessage(WM_CONTEXTMENU, [v, openOptions](WPARAM, LPARAM l) {
        ShowListContextMenu(*v, l, openOptions);
        return LRESULT(0);
    });
    view.OnReflectedNotify(NM_DBLCLK, [v](NMHDR* h) {
        if (reinterpret_cast<NMITEMACTIVATE*>(h)->iItem >= 0) OnListDoubleClick(*v);
        return LRESULT(0);
    });
    view.OnReflectedNotify(LVN_KEYDOWN, [v](NMHDR* h) {
        if (reinterpret_cast<NMLVKEYDOWN*>(h)->wVKey == VK_RETURN) OnListEnter(*v);
        return LRESULT(0);
    });
}

void OpenItemFile(HWND owner, const std::string& path) {
    SHELLEXECUTEINFOA sei {};
    sei.cbSize = sizeof sei;
    sei.hwnd = owner;
    sei.lpVerb = "open";
    sei.lpFile = path.c_str();
    sei.nShow = SW_SHOWNORMAL;
    ::ShellExecuteExA(&sei);
}

void ShowItemProperties(HWND owner, const std::string& path) {
    SHELLEXECUTEINFOA sei {};
    sei.cbSize = sizeof sei;
    sei.fMask = SEE_MASK_INVOKEIDLIST | SEE_MASK_FLAG_NO_UI;
    sei.hwnd = owner;
    sei.lpVerb = "Properties";
    sei.lpFile = path.c_str();
    sei.nShow = SW_SHOW;
    ::ShellExecuteExA(&sei);
}

void OpenItemWith(const std::string& path) {
    std::string command = "rundll32.exe shell32.dll,OpenAs_RunDLL " + path;
    ::WinExec(command.c_str(), SW_SHOWNORMAL);
}

std::string PropertiesTarget(const std::string& text) {
    size_t cut = text.find_first_of("/,");
    return cut == std::string::npos ? text : text.substr(0, cut);
}

HKEY RootFromRowData(DWORD data) {
    if (data & 4) return HKEY_LOCAL_MACHINE;
    if (data & 2) return HKEY_CURRENT_USER;
    if (data & 8) return HKEY_USERS;
    if (data & 1) return HKEY_CLASSES_ROOT;
    return nullptr;
}

int RegEditRootPosition(HKEY root) {
    if (root == HKEY_CLASSES_ROOT) return 0;
    if (root == HKEY_CURRENT_USER) return 1;
    if (root == HKEY_USERS) return 3;
    return 2;
}

std::vector<int> ComputeKeyPositions(HKEY root, const std::string& keyPath) {
    std::vector<int> positions;
    if (!root) return positions;
    size_t first = keyPath.find_first_not_of("\\ ");
    if (first == std::string::npos) return positions;
    size_t last = keyPath.find_last_not_of("\\ ");
    std::string path = keyPath.substr(first, last - first + 1);

    std::vector<std::string> components;
    for (size_t start = 0;;) {
        size_t slash = path.find('\\', start);
        components.push_back(path.substr(start, slash == std::string::npos ? std::string::npos : slash - start));
        if (slash == std::string::npos) break;
        start = slash + 1;
    }

    std::string parent;
    for (const std::string& component : components) {
        HKEY key = root;
        if (!parent.empty() &&
            ::RegOpenKeyExA(root, parent.c_str(), 0, KEY_ENUMERATE_SUB_KEYS, &key) != ERROR_SUCCESS)
            break;
        std::vector<std::string> names;
        for (DWORD index = 0;; ++index) {
            // A key name has up to 255 characters, in UTF-8 up to three bytes each.
            char name[256 * 3 + 1] = {};
            DWORD length = sizeof name;
            if (::RegEnumKeyExA(key, index, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
                break;
            names.emplace_back(name, length);
        }
        if (key != root) ::RegCloseKey(key);
        // The editor's tree keeps each key's children sorted by the system's case-insensitive
        // text order (lstrcmpi); the positions must count in that order to land on the key.
        std::stable_sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
            return ::lstrcmpiA(a.c_str(), b.c_str()) < 0;
        });
        auto found = std::find_if(names.begin(), names.end(),
                                  [&](const std::string& n) { return SameName(n, component); });
        if (found == names.end()) break;
        positions.push_back(static_cast<int>(found - names.begin()));
        parent += (parent.empty() ? "" : "\\") + component;
    }
    return positions;
}

HTREEITEM SelectTreePath(HWND tree, const std::vector<int>& positions) {
    HTREEITEM item = TreeItem(tree, TVGN_ROOT, nullptr);
    if (!item) return nullptr;
    for (int p : positions) {
        HTREEITEM child = TreeItem(tree, TVGN_CHILD, item);
        if (!child) break;
        item = child;
        for (int i = 0; i < p; ++i) {
            HTREEITEM next = TreeItem(tree, TVGN_NEXT, item);
            if (!next) break;
            item = next;
        }
        SendTo(tree, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(item));
    }
    SendTo(tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(item));
    return item;
}

bool DriveRegEditTree(const std::vector<int>& positions, DWORD waitMs) {
    DWORD start = ::GetTickCount();
    auto timeLeft = [&] { return ::GetTickCount() - start < waitMs; };
    // The editor's window, then its tree with the top items in it.
    HWND frame = nullptr, tree = nullptr;
    for (;;) {
        if (!frame) frame = ::FindWindowA("RegEdit_RegEdit", nullptr);
        if (frame && !tree) tree = FindTreeOf(frame);
        if (tree) {
            HTREEITEM root = TreeItem(tree, TVGN_ROOT, nullptr);
            if (root && TreeItem(tree, TVGN_CHILD, root)) break;
        }
        if (!timeLeft()) return false;
        ::Sleep(5);
    }
    SelectTreePath(tree, positions);
    return true;
}

void OpenKeyInRegEdit(HWND owner, HKEY root, const std::string& keyPath) {
    if (ReadSettingInt("Settings", "openwithregedit", 0) == 0) {
        Tell(owner, kRegEditWarning, MB_OK | MB_ICONEXCLAMATION, "Warning !!!");
        WriteSettingInt("Settings", "openwithregedit", 1);
    }
    HINSTANCE started = ::ShellExecuteA(nullptr, "open", "regedit.exe", nullptr, nullptr, SW_SHOWNORMAL);
    if (reinterpret_cast<INT_PTR>(started) <= 32) {
        Tell(owner, "Unable to run regedit");
        return;
    }
    std::vector<int> positions {RegEditRootPosition(root)};
    for (int p : ComputeKeyPositions(root, keyPath)) positions.push_back(p);
    if (!DriveRegEditTree(positions)) Tell(owner, kRegEditTimeout);
}

void OpenSelectedKeyInRegEdit(CWrenlyView& view) {
    if (!view.IsWindow()) return;
    int row = FirstSelectedRow(view);
    if (row < 0) {
        Tell(view.m_hWnd, "Please select an item");
        return;
    }
    OpenKeyInRegEdit(view.m_hWnd, RootFromRowData(view.Data(row)), view.Text(row, 1));
}
