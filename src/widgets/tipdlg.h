// The tip of the day: one short hint from "tips.txt" beside the program, the next one at every
// showing. The place reached is kept in the settings ("FilePos", with the file's time in
// "TimeStamp"), and "StartUpTip" says whether the tip is shown at start-up.
#pragma once

#include "framework/dialog.h"

#include <cstdio>
#include <string>

class CDailyTipDlg : public CDialogImpl {
public:
    // Reads the settings and the tip to show: the next one for tip number -1, otherwise that
    // tip (counted from 1). The tips file is the one beside the program unless `tipsPath` names
    // another.
    explicit CDailyTipDlg(int tipNumber = -1, HWND owner = nullptr, const std::string& tipsPath = "");
    // Remembers the place reached in the file.
    ~CDailyTipDlg() override;

    // Shows the dialog modally over the owner given at construction.
    INT_PTR DoModal() { return CDialogImpl::DoModal(owner_); }
    using CDialogImpl::DoModal;

    // Moves on to the next tip, round to the first after the last.
    void ReadNextTip();
    // Takes tip number `n` (from 1) of the file.
    void ReadTipNumber(int n);

    // "tips.txt" in the folder of the program.
    static std::string DefaultTipsPath();

    bool showAtStartup = true;
    std::string tipText;
    // True when the file is open and holds at least one tip.
    bool HasTips() const { return tipsFile != nullptr && !noTips_; }
    // Where the yellow "Did you know..." band is painted, in client coordinates.
    RECT HeadingBand() const;

protected:
    BOOL OnInitDialog() override;
    void OnOK() override;
    void DoDataExchange(CDataExchange& dx) override;

private:
    void OnNextTip();
    LRESULT OnCtlColor(WPARAM dc, LPARAM control);
    LRESULT OnPaint();
    // The bulb drawn for the dialog's display scale.
    HBITMAP LoadBulb() const;
    // Reads one line into `line`; false at the end of the file.
    bool ReadLine(std::string& line);
    static bool IsTipLine(const std::string& line);
    static std::string ForEditControl(const std::string& tip);

    std::FILE* tipsFile = nullptr;
    HWND owner_;
    bool noTips_ = false;
};

// Start-up: shows the tip modally over `owner` unless the user turned it off ("StartUpTip").
// The place in the file moves on either way.
void ShowTipAtStartup(HWND owner);
// Help menu "Tip of the Day": shows the next tip modally over `owner` in any case.
void ShowTipOfTheDay(HWND owner);
