// "Add Extension": asks for one file-name ending for the ending lists of the Options sheet.
#pragma once

#include "framework/dialog.h"

#include <string>

class CAddExtensionDlg : public CDialogImpl {
public:
    CAddExtensionDlg();

    // The text of the edit after OK; empty after Cancel. The dialog itself refuses nothing:
    // the list that asked decides what it takes.
    std::string endingText;

protected:
    void DoDataExchange(CDataExchange& dx) override;
    BOOL OnInitDialog() override;
    void OnOK() override;
    void OnCancel() override;
};
