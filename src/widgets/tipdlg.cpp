#include "widgets/tipdlg.h"

#include "core/codepage.h"
#include "core/datafolder.h"
#include "framework/dpi.h"
#include "framework/prompter.h"
#include "framework/settings.h"
#include "framework/strings.h"
#include "resource.h"

#include <sys/stat.h>

#include <cstring>
#include <ctime>

namespace {

const char kSection[] = "Settings";
// Lines are read in pieces of at most this many characters.
constexpr int kLineChars = 999;

// The file's modification time as ctime() writes it, without the line end.
std::string FileTimeStamp(std::FILE* f) {
    struct _stat st {};
    if (_fstat(_fileno(f), &st) != 0) return "";
    time_t when = st.st_mtime;
    const char* text = std::ctime(&when);
    std::string s = text ? text : "";
    while (!s.empty() && (s.back() == '\n' || s.back() == '\r' || s.back() == ' ' || s.back() == '\t')) s.pop_back();
    return s;
}

RECT ItemRectInDialog(HWND dlg, int id) {
    RECT rc {0, 0, 0, 0};
    HWND item = ::GetDlgItem(dlg, id);
    if (!item) return rc;
    ::GetWindowRect(item, &rc);
    ::MapWindowPoints(nullptr, dlg, reinterpret_cast<POINT*>(&rc), 2);
    return rc;
}

}  // namespace

void ShowTipAtStartup(HWND owner) {
    CDailyTipDlg dlg(-1, owner);
    if (dlg.showAtStartup) dlg.DoModal();
}

void ShowTipOfTheDay(HWND owner) {
    CDailyTipDlg dlg(-1, owner);
    dlg.DoModal();
}

std::string CDailyTipDlg::DefaultTipsPath() {
    return ProgramFolder() + "\\tips.txt";
}

CDailyTipDlg::CDailyTipDlg(int tipNumber, HWND owner, const std::string& tipsPath)
    : CDialogImpl(IDD_TIP), owner_(owner) {
    OnCommand(IDC_TIP_NEXT, [this] { OnNextTip(); });
    OnMessage(WM_CTLCOLOREDIT, [this](WPARAM w, LPARAM l) { return OnCtlColor(w, l); });
    OnMessage(WM_CTLCOLORSTATIC, [this](WPARAM w, LPARAM l) { return OnCtlColor(w, l); });
    OnMessage(WM_PAINT, [this](WPARAM, LPARAM) { return OnPaint(); });

    showAtStartup = ReadSettingInt(kSection, "StartUpTip", 0) == 0;
    long position = ReadSettingInt(kSection, "FilePos", 0);

    // Binary, so that positions are plain byte offsets whatever the line ends; ReadLine
    // turns "\r\n" into "\n" as a text stream would.
    tipsFile = std::fopen((tipsPath.empty() ? DefaultTipsPath() : tipsPath).c_str(), "rb");
    if (!tipsFile) {
        tipText = LoadStr(IDS_TIPS_FILE_MISSING);
        return;
    }

    // An edited file starts again from its first tip.
    std::string stamp = FileTimeStamp(tipsFile);
    if (stamp != ReadSettingString(kSection, "TimeStamp", "")) {
        position = 0;
        WriteSettingString(kSection, "TimeStamp", stamp);
    }

    if (std::fseek(tipsFile, position, SEEK_SET) != 0) {
        MessageBoxText(LoadStr(IDS_TIPS_FILE_TROUBLE));
        tipText.clear();
        return;
    }
    if (tipNumber == -1) ReadNextTip();
    else ReadTipNumber(tipNumber);
}

CDailyTipDlg::~CDailyTipDlg() {
    if (!tipsFile) return;
    long position = std::ftell(tipsFile);
    if (position >= 0) WriteSettingInt(kSection, "FilePos", static_cast<int>(position));
    std::fclose(tipsFile);
    tipsFile = nullptr;
}

bool CDailyTipDlg::ReadLine(std::string& line) {
    char buffer[kLineChars + 1];
    if (!std::fgets(buffer, sizeof buffer, tipsFile)) return false;
    line = buffer;
    if (line.empty() || line.back() != '\n') {
        // A line longer than we read: its remainder is no tip of its own.
        int c;
        while ((c = std::fgetc(tipsFile)) != EOF && c != '\n') {}
    }
    if (line.size() >= 2 && line[line.size() - 2] == '\r' && line.back() == '\n') line.erase(line.size() - 2, 1);
    return true;
}

bool CDailyTipDlg::IsTipLine(const std::string& line) {
    if (line.empty()) return false;
    char first = line[0];
    return first != ' ' && first != '\t' && first != '\n' && first != '\r' && first != ';';
}

std::string CDailyTipDlg::ForEditControl(const std::string& tip) {
    std::string out;
    out.reserve(tip.size() + 4);
    for (char c : tip) {
        if (c == '\n') out += "\r\n";
        else out += c;
    }
    return out;
}

void CDailyTipDlg::ReadNextTip() {
    if (!tipsFile) return;
    std::string line;
    bool wentRound = false;
    for (;;) {
        if (!ReadLine(line)) {
            // Round the whole file once without a tip: there is none to show.
            if (wentRound) {
                noTips_ = true;
                tipText = LoadStr(IDS_TIPS_FILE_TROUBLE);
                return;
            }
            if (std::fseek(tipsFile, 0, SEEK_SET) != 0) {
                MessageBoxText(LoadStr(IDS_TIPS_FILE_TROUBLE));
                return;
            }
            std::clearerr(tipsFile);
            wentRound = true;
            continue;
        }
        if (IsTipLine(line)) {
            tipText = ForEditControl(line);
            return;
        }
    }
}

void CDailyTipDlg::ReadTipNumber(int n) {
    if (!tipsFile) return;
    std::string line;
    int count = 0;
    if (std::fseek(tipsFile, 0, SEEK_SET) == 0) {
        while (ReadLine(line)) {
            if (IsTipLine(line) && ++count == n) {
                tipText = ForEditControl(line);
                return;
            }
        }
    }
    tipText = LoadStr(IDS_TIPS_FILE_TROUBLE);
}

void CDailyTipDlg::DoDataExchange(CDataExchange& dx) {
    dx.Check(IDC_TIP_STARTUP, showAtStartup);
    // The tip only goes out to the control.
    if (!dx.Saving()) dx.Text(IDC_TIP_TEXT, tipText);
}

BOOL CDailyTipDlg::OnInitDialog() {
    UpdateData(false);
    if (!HasTips()) ::EnableWindow(Item(IDC_TIP_NEXT), FALSE);
    return TRUE;
}

void CDailyTipDlg::OnOK() {
    UpdateData(true);
    // Stored the other way round: 0 shows the tip at start-up.
    WriteSettingInt(kSection, "StartUpTip", showAtStartup ? 0 : 1);
    EndDialog(IDOK);
}

void CDailyTipDlg::OnNextTip() {
    ReadNextTip();
    SetItemText(IDC_TIP_TEXT, tipText);
    if (!HasTips()) ::EnableWindow(Item(IDC_TIP_NEXT), FALSE);
}

LRESULT CDailyTipDlg::OnCtlColor(WPARAM dc, LPARAM control) {
    if (reinterpret_cast<HWND>(control) != Item(IDC_TIP_TEXT)) return 0;
    ::SetBkColor(reinterpret_cast<HDC>(dc), RGB(255, 255, 255));
    return reinterpret_cast<LRESULT>(::GetStockObject(WHITE_BRUSH));
}

HBITMAP CDailyTipDlg::LoadBulb() const {
    return ::LoadBitmapA(AppInstance(), MAKEINTRESOURCEA(PictureIdForDpi(IDB_TIP_BULB, WindowDpi(m_hWnd))));
}

RECT CDailyTipDlg::HeadingBand() const {
    RECT bulbArea = ItemRectInDialog(m_hWnd, IDC_TIP_BULB);
    int bandLeft = bulbArea.right;
    if (HBITMAP bulb = LoadBulb()) {
        BITMAP bm {};
        ::GetObjectA(bulb, sizeof bm, &bm);
        ::DeleteObject(bulb);
        if (bulbArea.left + bm.bmWidth > bandLeft) bandLeft = bulbArea.left + bm.bmWidth;
    }
    const UINT dpi = WindowDpi(m_hWnd);
    return RECT {bandLeft, ScaleToDpi(12, dpi), bandLeft + ScaleToDpi(232, dpi), ScaleToDpi(42, dpi)};
}

LRESULT CDailyTipDlg::OnPaint() {
    PAINTSTRUCT ps;
    HDC dc = ::BeginPaint(m_hWnd, &ps);
    auto white = static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH));
    RECT frame = ItemRectInDialog(m_hWnd, IDC_TIP_FRAME);
    RECT bulbArea = ItemRectInDialog(m_hWnd, IDC_TIP_BULB);
    ::FillRect(dc, &frame, white);
    ::FillRect(dc, &bulbArea, white);

    if (HBITMAP bulb = LoadBulb()) {
        BITMAP bm {};
        ::GetObjectA(bulb, sizeof bm, &bm);
        HDC mem = ::CreateCompatibleDC(dc);
        HGDIOBJ old = ::SelectObject(mem, bulb);
        ::BitBlt(dc, bulbArea.left, bulbArea.top, bm.bmWidth, bm.bmHeight, mem, 0, 0, SRCCOPY);
        ::SelectObject(mem, old);
        ::DeleteDC(mem);
        ::DeleteObject(bulb);
    }

    RECT band = HeadingBand();
    HBRUSH yellow = ::CreateSolidBrush(RGB(250, 250, 0));
    ::FillRect(dc, &band, yellow);
    ::DeleteObject(yellow);

    std::string heading = " " + LoadStr(IDS_DID_YOU_KNOW);
    HGDIOBJ oldFont = ::SelectObject(dc, reinterpret_cast<HFONT>(Send(WM_GETFONT)));
    ::SetBkMode(dc, TRANSPARENT);
    ::SetTextColor(dc, RGB(0, 0, 0));
    ::DrawTextA(dc, heading.c_str(), static_cast<int>(heading.size()), &band, DT_SINGLELINE | DT_VCENTER);
    ::SelectObject(dc, oldFont);
    ::EndPaint(m_hWnd, &ps);
    return 0;
}
