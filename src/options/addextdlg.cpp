#include "options/addextdlg.h"

#include "resource.h"

CAddExtensionDlg::CAddExtensionDlg() : CDialogImpl(IDD_ADD_EXTENSION) {}

void CAddExtensionDlg::DoDataExchange(CDataExchange& dx) { dx.Text(IDC_EXT_EDIT, endingText); }

BOOL CAddExtensionDlg::OnInitDialog() {
    UpdateData(false);
    ::SetFocus(Item(IDC_EXT_EDIT));
    // The focus was set here: the dialog manager must not move it.
    return FALSE;
}

void CAddExtensionDlg::OnOK() {
    UpdateData(true);
    EndDialog(IDOK);
}

void CAddExtensionDlg::OnCancel() {
    endingText.clear();
    EndDialog(IDCANCEL);
}
