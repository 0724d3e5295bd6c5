#include "core/view.h"

#include "framework/dpi.h"
#include "resource.h"

#include <shellapi.h>

#include <utility>

namespace {
const COLORREF kListBack = RGB(0xEB, 0xEB, 0xEE);
const COLORREF kEvenColumn = RGB(0xED, 0xEB, 0xC8);
const COLORREF kOddColumn = RGB(0xF0, 0xF0, 0xF0);

int SystemIconIndex(const std::string& path) {
    SHFILEINFOA sfi {};
    if (!::SHGetFileInfoA(path.c_str(), 0, &sfi, sizeof sfi, SHGFI_SYSICONINDEX | SHGFI_SMALLICON)) return -1;
    return sfi.iIcon;
}

std::string WindowsFolder() {
    char buf[MAX_PATH] = {};
    ::GetWindowsDirectoryA(buf, MAX_PATH);
    return buf;
}

std::string SystemFolder() {
    char buf[MAX_PATH] = {};
    ::GetSystemDirectoryA(buf, MAX_PATH);
    return buf;
}
}  // namespace

std::string FormatSize(uint64_t bytes) {
    char buf[64];
    if (bytes >= 1048576ULL) {
        uint64_t mb = bytes / 1048576ULL + (bytes % 1048576ULL ? 1 : 0);
        std::snprintf(buf, sizeof buf, "%llu MB", static_cast<unsigned long long>(mb));
    } else {
        uint64_t kb = bytes / 1024ULL + (bytes % 1024ULL ? 1 : 0);
        std::snprintf(buf, sizeof buf, "%llu KB", static_cast<unsigned long long>(kb));
    }
    return buf;
}

CWrenlyView::CWrenlyView() {
    settings.driveMask = ::GetLogicalDrives();
    OnReflectedNotify(NM_CUSTOMDRAW, [this](NMHDR* h) { return OnCustomDraw(h); });
    OnReflectedNotify(LVN_GETDISPINFOA, [this](NMHDR* h) { return OnGetDispInfo(h); });
    OnReflectedNotify(LVN_GETINFOTIPA, [this](NMHDR* h) { return OnGetInfoTip(h); });
    OnReflectedNotify(LVN_ITEMCHANGED, [this](NMHDR* h) { return OnItemChanged(h); });
    OnReflectedNotify(LVN_COLUMNCLICK, [](NMHDR*) -> LRESULT { return 0; });
    OnMessage(WM_SIZE, [this](WPARAM, LPARAM) {
        LRESULT r = Default();
        int n = ColumnCount();
        for (int i = 0; i + 1 < n && i < static_cast<int>(columnWidths.size()); ++i) {
            if (Send(LVM_GETCOLUMNWIDTH, i) == 0 && columnWidths[i] > 0) Send(LVM_SETCOLUMNWIDTH, i, columnWidths[i]);
        }
        if (n > 0) Send(LVM_SETCOLUMNWIDTH, n - 1, LVSCW_AUTOSIZE_USEHEADER);
        return r;
    });
}

CWrenlyView::~CWrenlyView() {
    Destroy();
    if (registryImages_) ::ImageList_Destroy(registryImages_);
    if (emptyImages_) ::ImageList_Destroy(emptyImages_);
    if (boldFont_) ::DeleteObject(boldFont_);
}

bool CWrenlyView::CreateView(HWND parent, UINT id) {
    RECT rc {0, 0, 100, 100};
    // LVS_SHAREIMAGELISTS: the list destroys none of its image lists. The view destroys its own
    // (the registry pictures and the empty list) with itself, the shell's small-icon list
    // belongs to the whole process, and the check-box pictures go with the list.
    if (!CreateControl(WC_LISTVIEWA, parent, rc, "",
                       WS_CHILD | WS_VISIBLE | WS_BORDER | WS_TABSTOP | LVS_REPORT | LVS_SHAREIMAGELISTS, 0, id))
        return false;
    FreeCheckBoxImagesWithList(m_hWnd);

    baseFont_ = FontOfWindow(m_hWnd);
    dpi_ = WindowDpi(m_hWnd);
    MakeDpiResources();

    Send(LVM_SETEXTENDEDLISTVIEWSTYLE, 0, LVS_EX_FULLROWSELECT | LVS_EX_INFOTIP);
    HWND header = reinterpret_cast<HWND>(Send(LVM_GETHEADER));
    if (header) ::SetWindowLongA(header, GWL_STYLE, ::GetWindowLongA(header, GWL_STYLE) | HDS_HOTTRACK);
    Send(LVM_SETBKCOLOR, 0, kListBack);
    Send(LVM_SETTEXTBKCOLOR, 0, kListBack);
    Send(LVM_SETTEXTCOLOR, 0, RGB(0, 0, 0));
    return true;
}

void CWrenlyView::MakeDpiResources() {
    // Every row is drawn bold.
    HFONT bold = CreateFontForDpi(baseFont_, SystemDpi(), dpi_, FW_BOLD);
    Send(WM_SETFONT, reinterpret_cast<WPARAM>(bold), TRUE);
    if (boldFont_) ::DeleteObject(boldFont_);
    boldFont_ = bold;

    HIMAGELIST registry = LoadPictureStrip(IDB_REGISTRY_IMAGES, 16, dpi_);
    HIMAGELIST empty = CreateEmptyPictureList(16, dpi_);
    std::swap(registry, registryImages_);
    std::swap(empty, emptyImages_);
    if (ListMode != kListNone) UseImageLists();
    // The list holds the new ones now: the old ones can go.
    if (registry) ::ImageList_Destroy(registry);
    if (empty) ::ImageList_Destroy(empty);
}

void CWrenlyView::SetDpi(UINT dpi) {
    if (!dpi || dpi == dpi_ || !IsWindow()) return;
    int n = ColumnCount();
    for (int i = 0; i + 1 < n; ++i) {
        int width = static_cast<int>(Send(LVM_GETCOLUMNWIDTH, i));
        Send(LVM_SETCOLUMNWIDTH, i, ::MulDiv(width, static_cast<int>(dpi), static_cast<int>(dpi_)));
    }
    for (int& width : columnWidths) width = ::MulDiv(width, static_cast<int>(dpi), static_cast<int>(dpi_));
    dpi_ = dpi;
    MakeDpiResources();
    if (n > 0) Send(LVM_SETCOLUMNWIDTH, n - 1, LVSCW_AUTOSIZE_USEHEADER);
}

void CWrenlyView::UseImageLists() {
    ::SetWindowLongA(m_hWnd, GWL_STYLE, ::GetWindowLongA(m_hWnd, GWL_STYLE) | LVS_SHAREIMAGELISTS);
    Send(LVM_SETIMAGELIST, LVSIL_NORMAL, reinterpret_cast<LPARAM>(emptyImages_));
    HIMAGELIST small = nullptr;
    if (ListMode == kListRegistry) small = registryImages_;
    else if (ListMode >= 2 && ListMode <= 7) small = SystemSmallIconsForDpi(dpi_);
    if (small) Send(LVM_SETIMAGELIST, LVSIL_SMALL, reinterpret_cast<LPARAM>(small));
}

void CWrenlyView::SetListMode(int mode) {
    if (clearDuplicateRecords) clearDuplicateRecords();
    ListMode = mode;
    UseImageLists();
}

int CWrenlyView::AddRow(const std::vector<std::string>& texts, int image, DWORD data) {
    LVITEMA item {};
    item.mask = LVIF_TEXT | LVIF_IMAGE;
    item.iItem = Count();
    item.pszText = const_cast<char*>(texts.empty() ? "" : texts[0].c_str());
    item.iImage = image < 0 ? I_IMAGECALLBACK : image;
    int row = static_cast<int>(Send(LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)));
    if (row < 0) return row;
    for (size_t c = 1; c < texts.size(); ++c) SetText(row, static_cast<int>(c), texts[c]);
    LVITEMA d {};
    d.mask = LVIF_PARAM;
    d.iItem = row;
    d.lParam = static_cast<LPARAM>(data);
    Send(LVM_SETITEMA, 0, reinterpret_cast<LPARAM>(&d));
    return row;
}

int CWrenlyView::AddCallbackRow(int columns, DWORD data) {
    LVITEMA item {};
    item.mask = LVIF_TEXT | LVIF_IMAGE | LVIF_PARAM;
    item.iItem = Count();
    item.pszText = LPSTR_TEXTCALLBACKA;
    item.iImage = I_IMAGECALLBACK;
    item.lParam = static_cast<LPARAM>(data);
    int row = static_cast<int>(Send(LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)));
    for (int c = 1; row >= 0 && c < columns; ++c) {
        LVITEMA s {};
        s.iSubItem = c;
        s.pszText = LPSTR_TEXTCALLBACKA;
        Send(LVM_SETITEMTEXTA, row, reinterpret_cast<LPARAM>(&s));
    }
    return row;
}

int CWrenlyView::Count() const { return static_cast<int>(Send(LVM_GETITEMCOUNT)); }

std::string CWrenlyView::Text(int row, int column) const {
    std::vector<char> buf(1024);
    for (;;) {
        LVITEMA item {};
        item.iSubItem = column;
        item.pszText = buf.data();
        item.cchTextMax = static_cast<int>(buf.size());
        int n = static_cast<int>(Send(LVM_GETITEMTEXTA, row, reinterpret_cast<LPARAM>(&item)));
        if (n < static_cast<int>(buf.size()) - 1 || buf.size() >= 65536) return std::string(buf.data(), n > 0 ? n : 0);
        buf.resize(buf.size() * 4);
    }
}

void CWrenlyView::SetText(int row, int column, const std::string& text) {
    LVITEMA s {};
    s.iSubItem = column;
    s.pszText = const_cast<char*>(text.c_str());
    Send(LVM_SETITEMTEXTA, row, reinterpret_cast<LPARAM>(&s));
}

DWORD CWrenlyView::Data(int row) const {
    LVITEMA item {};
    item.mask = LVIF_PARAM;
    item.iItem = row;
    if (!Send(LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item))) return 0;
    return static_cast<DWORD>(item.lParam);
}

bool CWrenlyView::IsSelected(int row) const {
    return (Send(LVM_GETITEMSTATE, row, LVIS_SELECTED) & LVIS_SELECTED) != 0;
}

bool CWrenlyView::IsChecked(int row) const {
    return ((Send(LVM_GETITEMSTATE, row, LVIS_STATEIMAGEMASK) >> 12) - 1) == 1;
}

void CWrenlyView::SetChecked(int row, bool checked) {
    LVITEMA item {};
    item.stateMask = LVIS_STATEIMAGEMASK;
    item.state = INDEXTOSTATEIMAGEMASK(checked ? 2 : 1);
    Send(LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&item));
}

void CWrenlyView::DeleteRow(int row) { Send(LVM_DELETEITEM, row); }
void CWrenlyView::DeleteAll() { Send(LVM_DELETEALLITEMS); }

int CWrenlyView::ColumnCount() const {
    HWND header = reinterpret_cast<HWND>(Send(LVM_GETHEADER));
    return header ? static_cast<int>(::SendMessageA(header, HDM_GETITEMCOUNT, 0, 0)) : 0;
}

std::string CWrenlyView::ColumnTitle(int column) const {
    char title[257] = {};
    LVCOLUMNA col {};
    col.mask = LVCF_TEXT;
    col.pszText = title;
    col.cchTextMax = 256;
    if (!Send(LVM_GETCOLUMNA, column, reinterpret_cast<LPARAM>(&col))) return std::string();
    return title;
}

LRESULT CWrenlyView::OnCustomDraw(NMHDR* h) {
    auto* cd = reinterpret_cast<NMLVCUSTOMDRAW*>(h);
    switch (cd->nmcd.dwDrawStage) {
    case CDDS_PREPAINT:
        return CDRF_NOTIFYITEMDRAW;
    case CDDS_ITEMPREPAINT:
        return CDRF_NOTIFYSUBITEMDRAW;
    case CDDS_ITEMPREPAINT | CDDS_SUBITEM:
        cd->clrText = RGB(0, 0, 0);
        cd->clrTextBk = (cd->iSubItem % 2 == 0) ? kEvenColumn : kOddColumn;
        return CDRF_NEWFONT;
    default:
        return CDRF_DODEFAULT;
    }
}

int CWrenlyView::IconForText(const std::string& text) {
    if (text.empty()) return 0;
    int icon = SystemIconIndex(text);
    if (icon >= 0) return icon;
    size_t cut = text.find_first_of(".,/");
    if (cut == std::string::npos) return 0;
    std::string name = text.substr(0, cut + 4);
    if (!name.empty() && name[0] == '"') name.erase(0, 1);
    if ((icon = SystemIconIndex(name)) >= 0) return icon;
    if ((icon = SystemIconIndex(WindowsFolder() + "\\" + name)) >= 0) return icon;
    if ((icon = SystemIconIndex(SystemFolder() + "\\" + name)) >= 0) return icon;
    return 0;
}

LRESULT CWrenlyView::OnGetDispInfo(NMHDR* h) {
    auto* di = reinterpret_cast<NMLVDISPINFOA*>(h);
    LVITEMA& item = di->item;
    if ((item.mask & LVIF_IMAGE) && item.iSubItem == 0) {
        item.iImage = IconForText(Text(item.iItem, 1));
        item.mask |= LVIF_DI_SETITEM;
    }
    if ((item.mask & LVIF_TEXT) && ListMode == kListDuplicates && textProvider && item.pszText && item.cchTextMax > 0) {
        std::string s = textProvider(item.iItem, item.iSubItem, static_cast<DWORD>(item.lParam));
        lstrcpynA(item.pszText, s.c_str(), item.cchTextMax);
        // A text cut to the asker's buffer (a drawing asks with a short one; a name in UTF-8
        // can be three bytes a character) must not become the row's text for good.
        if (s.size() < static_cast<size_t>(item.cchTextMax)) item.mask |= LVIF_DI_SETITEM;
    }
    return 0;
}

std::string CWrenlyView::BuildInfoTip(int row, int capacity) const {
    std::string tip;
    int n = ColumnCount();
    for (int i = 0; i < n; ++i) {
        std::string line = ColumnTitle(i) + ":\t " + Text(row, i);
        if (static_cast<int>(line.size() + tip.size()) < capacity) tip += line + "\n";
    }
    if (!tip.empty()) tip.pop_back();
    return tip;
}

LRESULT CWrenlyView::OnGetInfoTip(NMHDR* h) {
    auto* tip = reinterpret_cast<NMLVGETINFOTIPA*>(h);
    if (!tip->pszText || tip->cchTextMax <= 0) return 0;
    std::string s = BuildInfoTip(tip->iItem, tip->cchTextMax);
    lstrcpynA(tip->pszText, s.c_str(), tip->cchTextMax);
    return 0;
}

bool CWrenlyView::IsReferenceRow(int row) const {
    if (ListMode != kListDuplicates || !settings.keep.HasReferenceFolders()) return false;
    if (Data(row) >= groupOffsets.size()) return false;
    return settings.keep.IsInReferenceFolder(Text(row, 1));
}

void CWrenlyView::DeselectReferenceRows() {
    for (int row = static_cast<int>(Send(LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED)); row >= 0;
         row = static_cast<int>(Send(LVM_GETNEXTITEM, row, LVNI_SELECTED))) {
        if (!IsReferenceRow(row)) continue;
        LVITEMA item {};
        item.stateMask = LVIS_SELECTED;
        Send(LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&item));
    }
}

LRESULT CWrenlyView::OnItemChanged(NMHDR* h) {
    auto* nm = reinterpret_cast<NMLISTVIEW*>(h);
    if (ListMode != kListDuplicates || nm->iItem < 0 || !(nm->uChanged & LVIF_STATE)) return 0;
    if (static_cast<size_t>(static_cast<DWORD>(nm->lParam)) != groupOffsets.size()) {
        // A file in a reference folder can be focused, never selected.
        if ((nm->uNewState & LVIS_SELECTED) && IsReferenceRow(nm->iItem)) {
            LVITEMA item {};
            item.stateMask = LVIS_SELECTED;
            Send(LVM_SETITEMSTATE, nm->iItem, reinterpret_cast<LPARAM>(&item));
        }
        return 0;
    }
    if (nm->uNewState & (LVIS_SELECTED | LVIS_FOCUSED)) {
        LVITEMA item {};
        item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
        item.state = 0;
        Send(LVM_SETITEMSTATE, nm->iItem, reinterpret_cast<LPARAM>(&item));
    }
    return 0;
}
