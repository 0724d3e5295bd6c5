#include "options/keeppage.h"

#include "core/help.h"
#include "options/optionspages.h"
#include "resource.h"

#include <algorithm>

CKeepListPage::CKeepListPage(KeepList& keep) : CPropertyPage(IDD_OPTIONS_KEEP), keep_(keep) {
    OnCommand(IDC_KEEP_REMOVE, [this] {
        list.DeleteSelected();
        UpdateButtons();
    });
    OnCommand(IDC_KEEP_HELP, [] { OpenHelpTopic(kOptionsHelpTopic); });
    OnNotify(IDC_KEEP_LIST, LVN_ITEMCHANGED, [this](NMHDR*) {
        UpdateButtons();
        return LRESULT(0);
    });
}

BOOL CKeepListPage::OnInitDialog() {
    list.Attach(Item(IDC_KEEP_LIST));
    // No image list: the rows carry no icons, so the list owns nothing it must give back.
    ::SendMessageA(list.Window(), LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT, LVS_EX_FULLROWSELECT);
    list.AddColumn("Tool", list.Scaled(90));
    list.AddColumn("Kept item", list.Scaled(250));
    list.AddColumn("State", list.Scaled(60));
    // Grouped by tool, in the order they were kept within each.
    shown_ = keep_.Items();
    std::stable_sort(shown_.begin(), shown_.end(), [](const KeptItem& a, const KeptItem& b) {
        return a.readable != b.readable ? a.readable : a.kind < b.kind;
    });
    for (size_t i = 0; i < shown_.size(); ++i) {
        const KeptItem& item = shown_[i];
        int row = list.AddRow(item.readable ? KeepKindTitle(item.kind) : "?", 0, false,
                              static_cast<LPARAM>(i));
        LVITEMA s {};
        std::string text = KeptItemText(item);
        s.iSubItem = 1;
        s.pszText = const_cast<char*>(text.c_str());
        ::SendMessageA(list.Window(), LVM_SETITEMTEXTA, row, reinterpret_cast<LPARAM>(&s));
        const char* state = !item.readable ? kUnreadable : !KeptItemExists(item, startupExists) ? kGone : "";
        s.iSubItem = 2;
        s.pszText = const_cast<char*>(state);
        ::SendMessageA(list.Window(), LVM_SETITEMTEXTA, row, reinterpret_cast<LPARAM>(&s));
    }
    if (!shown_.empty()) list.SizeColumn(1, LVSCW_AUTOSIZE);
    UpdateButtons();
    return TRUE;
}

void CKeepListPage::UpdateButtons() { CWindow(Item(IDC_KEEP_REMOVE)).Enable(list.HasSelection()); }

void CKeepListPage::OnOK() {
    std::vector<KeptItem> kept;
    for (int row = 0, n = list.Count(); row < n; ++row) {
        size_t index = static_cast<size_t>(list.Data(row));
        if (index < shown_.size()) kept.push_back(shown_[index]);
    }
    keep_.SetItems(std::move(kept));
    keep_.Save();
}
