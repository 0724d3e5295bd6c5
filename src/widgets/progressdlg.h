// The two small modeless dialogs that keep the window alive during long work on the interface
// thread: the cancel dialog, which scans poll, and the animation dialog. Both disable the main
// window while they are up.
#pragma once

#include "core/services.h"
#include "framework/dialog.h"

// Pumps every waiting message of the thread, giving each to `dialog` first.
void PumpMessages(HWND dialog);
// The top-level window that should own a dialog created for `parent` (the main window when
// there is no parent).
HWND SafeOwner(HWND parent);

class CProgressDialogBase : public CDialogImpl {
public:
    CProgressDialogBase(UINT templateId, UINT titleStringId);
    ~CProgressDialogBase() override;

    bool create(HWND parentWindow);
    void close();

    UINT titleStringId;
    bool ownerDisabled = false;
    HWND owner = nullptr;

protected:
    virtual void BeforeClose() {}
};

class CCancelDialog : public CProgressDialogBase, public ICancelPoll {
public:
    explicit CCancelDialog(UINT titleId = 0);
    // Pumps the queue, then answers whether Cancel was pressed.
    bool checkCancelled() override;
    bool cancelled = false;

protected:
    BOOL OnInitDialog() override;
    void OnOK() override {}
    void OnCancel() override { cancelled = true; }
};

class CAnimationDialog : public CProgressDialogBase {
public:
    explicit CAnimationDialog(UINT titleId = 0);
    ~CAnimationDialog() override { close(); }
    void setText(const std::string& text);
    void pump();
    HWND animation() const { return Item(1019); }

protected:
    BOOL OnInitDialog() override;
    void OnOK() override {}
    void OnCancel() override {}
    void BeforeClose() override;
};
