// Modal and modeless dialogs from dialog templates, with data exchange between controls and
// members.
#pragma once

#include "framework/window.h"

#include <string>

// One direction of data exchange: controls to members (save) or members to controls.
class CDataExchange {
public:
    CDataExchange(HWND dlg, bool save) : dlg_(dlg), save_(save) {}
    bool Saving() const { return save_; }
    HWND Dialog() const { return dlg_; }

    void Text(int id, std::string& value);
    void Int(int id, int& value);
    // Check box: 0 cleared, 1 checked, 2 indeterminate.
    void Check(int id, int& value);
    void Check(int id, bool& value);
    // Radio group starting at `firstId` (WS_GROUP): index of the checked button, -1 none.
    void Radio(int firstId, int& index);
    // Binds a control to a window object (subclassing it) once.
    void Control(int id, class CWindowImpl& wnd);

private:
    HWND dlg_;
    bool save_;
};

class CDialogImpl : public CWindow, public CMessageRoutes {
public:
    explicit CDialogImpl(UINT templateId) : templateId_(templateId) {}
    CDialogImpl(const CDialogImpl&) = delete;
    CDialogImpl& operator=(const CDialogImpl&) = delete;
    virtual ~CDialogImpl();

    INT_PTR DoModal(HWND parent);
    HWND CreateModeless(HWND parent);
    void EndDialog(INT_PTR result);
    void DestroyModeless();
    bool IsModal() const { return modal_; }

    // Runs DoDataExchange in the given direction; false when a value was refused.
    bool UpdateData(bool save);
    UINT TemplateId() const { return templateId_; }

protected:
    virtual BOOL OnInitDialog() { UpdateData(false); return TRUE; }
    virtual void OnOK() { if (UpdateData(true)) EndDialog(IDOK); }
    virtual void OnCancel() { EndDialog(IDCANCEL); }
    virtual void DoDataExchange(CDataExchange&) {}
    // Raw dialog procedure result for a message; the default routes through the table.
    virtual INT_PTR DialogProc(UINT msg, WPARAM w, LPARAM l);
    // Sets the result a notification handler wants the dialog manager to return.
    void SetMsgResult(LRESULT r) { ::SetWindowLongPtrA(m_hWnd, DWLP_MSGRESULT, r); }
    virtual void OnFinalMessage() {}

    static INT_PTR CALLBACK StaticDialogProc(HWND, UINT, WPARAM, LPARAM);
    friend class CPropertyPage;

private:
    UINT templateId_;
    bool modal_ = false;
};
