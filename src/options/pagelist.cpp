#include "options/pagelist.h"

#include "duplicates/dupendings.h"

#include "framework/dpi.h"
#include "framework/strings.h"
#include "framework/window.h"

#include <shellapi.h>

namespace {

int StateImage(HWND list, int row) {
    UINT state = static_cast<UINT>(::SendMessageA(list, LVM_GETITEMSTATE, row, LVIS_STATEIMAGEMASK));
    return static_cast<int>((state & LVIS_STATEIMAGEMASK) >> 12);
}
}  // namespace

int ShellIconOfPath(const std::string& path) {
    SHFILEINFOA sfi {};
    if (!::SHGetFileInfoA(path.c_str(), 0, &sfi, sizeof sfi, SHGFI_SYSICONINDEX | SHGFI_SMALLICON)) return 0;
    return sfi.iIcon;
}

int ShellIconOfEnding(const std::string& ending) {
    SHFILEINFOA sfi {};
    std::string name = "*" + ending;
    if (!::SHGetFileInfoA(name.c_str(), FILE_ATTRIBUTE_NORMAL, &sfi, sizeof sfi,
                          SHGFI_USEFILEATTRIBUTES | SHGFI_SYSICONINDEX | SHGFI_SMALLICON))
        return 0;
    return sfi.iIcon;
}

std::string ShellTypeOfEnding(const std::string& ending) {
    SHFILEINFOA sfi {};
    std::string name = "*" + ending;
    if (!::SHGetFileInfoA(name.c_str(), FILE_ATTRIBUTE_NORMAL, &sfi, sizeof sfi,
                          SHGFI_USEFILEATTRIBUTES | SHGFI_TYPENAME))
        return std::string();
    return sfi.szTypeName;
}

std::vector<JunkEnding> DuplicateEndingRows(const std::string& text) { return ParseDuplicateEndings(text); }

bool CanAddEnding(const std::string& ending, const std::vector<std::string>& listed) {
    if (ending.empty() || ending.find(',') != std::string::npos) return false;
    for (const std::string& t : listed)
        if (SameText(t, ending)) return false;
    return true;
}

// ---------------------------------------------------------------------------------------------

void CPageList::Setup(bool checkBoxes) {
    // The lists are made with LVS_SHAREIMAGELISTS, so that none destroys the shell's image list,
    // which belongs to the whole process. Their check-box pictures are each list's own: the list
    // frees them when it goes.
    FreeCheckBoxImagesWithList(hwnd_);
    ::SendMessageA(hwnd_, LVM_SETIMAGELIST, LVSIL_SMALL,
                   reinterpret_cast<LPARAM>(SystemSmallIconsForDpi(WindowDpi(hwnd_))));
    if (checkBoxes) ::SendMessageA(hwnd_, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_CHECKBOXES, LVS_EX_CHECKBOXES);
}

int CPageList::Scaled(int pixels) const { return ScaleToDpi(pixels, WindowDpi(hwnd_)); }

void CPageList::AddColumn(const char* title, int width) {
    LVCOLUMNA col {};
    col.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT | LVCF_SUBITEM;
    col.fmt = LVCFMT_LEFT;
    col.cx = width;
    col.pszText = const_cast<char*>(title);
    col.iSubItem = ColumnCount();
    ::SendMessageA(hwnd_, LVM_INSERTCOLUMNA, col.iSubItem, reinterpret_cast<LPARAM>(&col));
}

int CPageList::AddRow(const std::string& text, int image, bool checked, LPARAM data) {
    LVITEMA item {};
    item.mask = LVIF_TEXT | LVIF_IMAGE | LVIF_PARAM;
    item.iItem = Count();
    item.pszText = const_cast<char*>(text.c_str());
    item.iImage = image < 0 ? I_IMAGECALLBACK : image;
    item.lParam = data;
    int row = static_cast<int>(::SendMessageA(hwnd_, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)));
    if (row >= 0) SetChecked(row, checked);
    return row;
}

void CPageList::SetCallbackText(int row, int column) {
    LVITEMA s {};
    s.iSubItem = column;
    s.pszText = LPSTR_TEXTCALLBACKA;
    ::SendMessageA(hwnd_, LVM_SETITEMTEXTA, row, reinterpret_cast<LPARAM>(&s));
}

int CPageList::Count() const { return static_cast<int>(::SendMessageA(hwnd_, LVM_GETITEMCOUNT, 0, 0)); }

std::string CPageList::Text(int row, int column) const {
    char buf[1024] = {};
    LVITEMA item {};
    item.iSubItem = column;
    item.pszText = buf;
    item.cchTextMax = sizeof buf;
    int n = static_cast<int>(::SendMessageA(hwnd_, LVM_GETITEMTEXTA, row, reinterpret_cast<LPARAM>(&item)));
    return std::string(buf, n > 0 ? n : 0);
}

LPARAM CPageList::Data(int row) const {
    LVITEMA item {};
    item.mask = LVIF_PARAM;
    item.iItem = row;
    ::SendMessageA(hwnd_, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item));
    return item.lParam;
}

bool CPageList::IsChecked(int row) const { return StateImage(hwnd_, row) == 2; }

bool CPageList::IsNotCleared(int row) const { return StateImage(hwnd_, row) != 1; }

void CPageList::SetChecked(int row, bool checked) {
    if (!(::SendMessageA(hwnd_, LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0) & LVS_EX_CHECKBOXES)) return;
    LVITEMA item {};
    item.stateMask = LVIS_STATEIMAGEMASK;
    item.state = INDEXTOSTATEIMAGEMASK(checked ? 2 : 1);
    ::SendMessageA(hwnd_, LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&item));
}

bool CPageList::HasSelection() const { return FirstSelected() >= 0; }

int CPageList::FirstSelected() const {
    return static_cast<int>(::SendMessageA(hwnd_, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
}

void CPageList::Select(int row) {
    LVITEMA item {};
    item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    item.state = LVIS_SELECTED | LVIS_FOCUSED;
    ::SendMessageA(hwnd_, LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&item));
}

std::vector<std::string> CPageList::DeleteSelected() {
    std::vector<std::string> gone;
    for (int row = FirstSelected(); row >= 0; row = FirstSelected()) {
        gone.push_back(Text(row));
        if (!::SendMessageA(hwnd_, LVM_DELETEITEM, row, 0)) break;
    }
    return gone;
}

void CPageList::SizeColumn(int column, int how) { ::SendMessageA(hwnd_, LVM_SETCOLUMNWIDTH, column, how); }

int CPageList::ColumnCount() const {
    HWND header = reinterpret_cast<HWND>(::SendMessageA(hwnd_, LVM_GETHEADER, 0, 0));
    return header ? static_cast<int>(::SendMessageA(header, HDM_GETITEMCOUNT, 0, 0)) : 0;
}

// ---------------------------------------------------------------------------------------------

void CEndingList::Setup(int extWidth, int descriptionWidth) {
    CPageList::Setup(true);
    AddColumn("Ext", Scaled(extWidth));
    AddColumn("Description", Scaled(descriptionWidth));
}

void CEndingList::Fill(const std::vector<JunkEnding>& endings) {
    for (const JunkEnding& e : endings) {
        int row = AddRow(e.ending, -1, SameText(e.flag, "E"));
        if (row >= 0) SetCallbackText(row, 1);
    }
}

std::vector<JunkEnding> CEndingList::Endings() const {
    std::vector<JunkEnding> endings;
    for (int row = 0, n = Count(); row < n; ++row) endings.push_back({Text(row), IsChecked(row) ? "E" : "D"});
    return endings;
}

std::vector<std::string> CEndingList::Texts() const {
    std::vector<std::string> texts;
    for (int row = 0, n = Count(); row < n; ++row) texts.push_back(Text(row));
    return texts;
}

bool CEndingList::AddEnding(const std::string& ending) {
    if (!CanAddEnding(ending, Texts())) return false;
    int row = AddRow(ending, -1, true);
    if (row < 0) return false;
    SetCallbackText(row, 1);
    return true;
}

LRESULT CEndingList::OnGetDispInfo(NMHDR* h) {
    auto* di = reinterpret_cast<NMLVDISPINFOA*>(h);
    LVITEMA& item = di->item;
    std::string ending = Text(item.iItem, 0);
    if ((item.mask & LVIF_IMAGE) && item.iSubItem == 0) item.iImage = ShellIconOfEnding(ending);
    if ((item.mask & LVIF_TEXT) && item.iSubItem == 1 && item.pszText && item.cchTextMax > 0)
        ::lstrcpynA(item.pszText, ShellTypeOfEnding(ending).c_str(), item.cchTextMax);
    item.mask |= LVIF_DI_SETITEM;
    return 0;
}
