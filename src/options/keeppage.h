// The "Keep List" page of the Options sheet: every finding the user chose to keep, by tool,
// with the ones that no longer exist and the stored entries that cannot be read marked. The
// user removes items here to have them listed again; OK applies, Cancel does not.
#pragma once

#include "core/keeplist.h"
#include "framework/propsheet.h"
#include "options/pagelist.h"

#include <functional>
#include <vector>

class CKeepListPage : public CPropertyPage {
public:
    explicit CKeepListPage(KeepList& keep);
    CPageList list;
    // Whether a kept startup entry is still in one of the startup places; unset, startup
    // entries are never marked gone.
    std::function<bool(const KeptItem&)> startupExists;

    // The texts of the "State" column.
    static constexpr const char* kGone = "gone";
    static constexpr const char* kUnreadable = "unreadable";

protected:
    BOOL OnInitDialog() override;
    void OnOK() override;

private:
    void UpdateButtons();
    KeepList& keep_;
    // What the rows show; a row's data is its index here.
    std::vector<KeptItem> shown_;
};
