// Property sheet and property pages over the common controls' property sheet.
#pragma once

#include "framework/dialog.h"

#include <prsht.h>

#include <string>
#include <vector>

class CPropertyPage : public CDialogImpl {
public:
    explicit CPropertyPage(UINT templateId) : CDialogImpl(templateId) {}
    // True once the page's window has been created (the user has shown it).
    bool WasShown() const { return shown_; }
    PROPSHEETPAGEA Describe();

protected:
    // Called when the sheet's OK is pressed, only for pages that were shown.
    void OnOK() override { UpdateData(true); }
    void OnCancel() override {}
    INT_PTR DialogProc(UINT msg, WPARAM w, LPARAM l) override;

private:
    static INT_PTR CALLBACK PageProc(HWND, UINT, WPARAM, LPARAM);
    bool shown_ = false;
};

class CPropertySheet {
public:
    CPropertySheet(std::string title, int startPage) : title_(std::move(title)), startPage_(startPage) {}
    int StartPage() const { return startPage_; }
    void AddPage(CPropertyPage& page) { pages_.push_back(&page); }
    // Runs the sheet modally; IDOK or IDCANCEL.
    INT_PTR DoModal(HWND owner);
    // The sheet window while it runs.
    HWND Window() const { return hwnd_; }

    // Hook for tests and callers: runs after the sheet window is initialised.
    std::function<void(HWND)> onInitialized;

private:
    static int CALLBACK SheetCallback(HWND, UINT, LPARAM);
    std::string title_;
    int startPage_;
    std::vector<CPropertyPage*> pages_;
    HWND hwnd_ = nullptr;
};
