// The names the duplicates, history, data folder, sandbox and end-to-end tests still take from
// here; all of them now live in the shared kit. Goes once those programs include kit.h.
#pragma once

#include "kit.h"

#include <shlwapi.h>

#include <algorithm>

namespace filestest {

using kit::CountingCancel, kit::Pid, kit::PurgeFromTrash, kit::RecycleBinHolds, kit::ScratchSettings,
    kit::ScratchTree, kit::UnixPath, kit::WineTrashFolder;

// The message bar's texts as `bar`, the notifier's as `notifier`.
struct RecordingStatus : IStatusSink {
    std::vector<std::string> bar, notifier;
    void SetStatusText(const std::string& text, int target) override {
        if (target == 0) bar.push_back(text);
    }
    void ShowNotifierText(const std::string& text) override { notifier.push_back(text); }
    std::string Last() const { return bar.empty() ? std::string() : bar.back(); }
    bool Showed(const std::string& text) const { return std::find(bar.begin(), bar.end(), text) != bar.end(); }
};

}  // namespace filestest
