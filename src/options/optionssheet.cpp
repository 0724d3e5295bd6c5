#include "options/optionssheet.h"

#include "framework/prompter.h"
#include "framework/settings.h"
#include "framework/strings.h"
#include "resource.h"

std::function<void(COptionsSheet&)> COptionsSheet::onCreated;

COptionsSheet::COptionsSheet(FileToolSettings& settings, bool& taskNotify, bool& playSound, int startPage)
    : CPropertySheet(LoadStr(IDS_OPTIONS_TITLE), startPage),
      drives(settings),
      junk(settings),
      exclude(settings),
      regClean(settings),
      duplicates(settings),
      general(taskNotify, playSound),
      keepList(settings.keep) {
    AddPage(drives);
    AddPage(junk);
    AddPage(exclude);
    AddPage(regClean);
    AddPage(duplicates);
    AddPage(general);
    AddPage(keepList);
    onInitialized = [this](HWND) {
        if (onCreated) onCreated(*this);
    };
}

INT_PTR OpenOptionsSheet(int page, FileToolSettings& settings, bool& taskNotify, bool& playSound,
                         std::function<bool(const KeptItem&)> startupExists) {
    COptionsSheet sheet(settings, taskNotify, playSound, page);
    sheet.keepList.startupExists = std::move(startupExists);
    HWND owner = MainWindow();
    return sheet.DoModal(owner && ::IsWindow(owner) ? owner : nullptr);
}
