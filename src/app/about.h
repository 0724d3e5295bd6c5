// The About box.
#pragma once

#include "framework/dialog.h"
#include "widgets/hotstatic.h"

// Where feedback mail goes; the About box link and the Feedback command use it.
extern const char kFeedbackAddress[];

class CAboutDlg : public CDialogImpl {
public:
    CAboutDlg();
    CHotStatic link;

protected:
    BOOL OnInitDialog() override;
};
