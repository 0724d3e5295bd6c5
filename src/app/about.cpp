#include "app/about.h"

#include "app/appinfo.h"
#include "resource.h"

const char kFeedbackAddress[] = "feedback@kelvo-utilities.example";

CAboutDlg::CAboutDlg() : CDialogImpl(IDD_ABOUTBOX) {}

BOOL CAboutDlg::OnInitDialog() {
    SetItemText(IDC_ABOUT_VERSION, AppTitle());
    SetItemText(IDC_ABOUT_LINK, kFeedbackAddress);
    link.Attach(Item(IDC_ABOUT_LINK));
    link.link = std::string("mailto:") + kFeedbackAddress + "?subject=KelvoUtils";
    return TRUE;
}
