// The registry tool's commands as the main window runs them: the scan under its cancel dialog
// into the real result list, removal with the undo file in the program's folder, and backup.
#include "core/codepage.h"
#include "core/view.h"
#include "framework/prompter.h"
#include "registry/regcommands.h"
#include "registry/regremove.h"
#include "registry/regscan.h"
#include "registry/undofile.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <sstream>

namespace {

class Host : public CWindowImpl {};

// Records the message bar and what the window looked like at each message.
class RecordingFrame : public IStatusSink {
public:
    explicit RecordingFrame(const CWrenlyView& view, HWND main) : view_(view), main_(main) {}
    std::vector<std::string> messages;
    std::vector<std::string> notes;
    bool sawDialog = false, sawMainDisabled = false;
    void SetStatusText(const std::string& text, int target) override {
        if (target != 0) return;
        messages.push_back(text);
        if (view_.activeCancelDialog) sawDialog = true;
        if (!::IsWindowEnabled(main_)) sawMainDisabled = true;
    }
    void ShowNotifierText(const std::string& text) override { notes.push_back(text); }

private:
    const CWrenlyView& view_;
    HWND main_;
};

void SetString(HKEY root, const std::string& key, const std::string& name, const std::string& text) {
    HKEY k = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, ::RegCreateKeyExA(root, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k, nullptr));
    ::RegSetValueExA(k, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                     static_cast<DWORD>(text.size() + 1));
    ::RegCloseKey(k);
}


class RegistryCommandsTest : public ::testing::Test {
protected:
    void SetUp() override {
        RECT rc {0, 0, 800, 400};
        ASSERT_TRUE(host.Create(nullptr, rc, "host", WS_OVERLAPPEDWINDOW | WS_VISIBLE));
        ASSERT_TRUE(view.CreateView(host.m_hWnd, 100));
        ::MoveWindow(view.m_hWnd, 0, 0, 780, 380, TRUE);
        int i = 0;
        for (const char* title : {"Location", "SubKey", "ValueName", "Data", "Invalid Entry"}) {
            LVCOLUMNA col {};
            col.mask = LVCF_TEXT | LVCF_WIDTH;
            col.pszText = const_cast<char*>(title);
            col.cx = i == 4 ? 500 : 120;
            view.Send(LVM_INSERTCOLUMNA, i++, reinterpret_cast<LPARAM>(&col));
        }
        view.SetListMode(kListRegistry);
        previousMain = MainWindow();
        SetMainWindow(host.m_hWnd);

        // The scan sees a machine of our own.
        ::RegOpenKeyExA(HKEY_CURRENT_USER, scratch.path().c_str(), 0, KEY_ALL_ACCESS, &scratchKey);
        for (const char* part : {"HKCU", "HKU", "HKLM", "HKLM\\Software\\Classes"}) {
            HKEY k = nullptr;
            ::RegCreateKeyExA(scratchKey, part, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k, nullptr);
            roots.push_back(k);
        }
        for (size_t r = 0; r < 4; ++r) ::RegOverridePredefKey(kRoots[r], roots[r]);
    }
    void TearDown() override {
        for (size_t r = 0; r < roots.size(); ++r) {
            ::RegOverridePredefKey(kRoots[r], nullptr);
            ::RegCloseKey(roots[r]);
        }
        ::RegCloseKey(scratchKey);
        SetMainWindow(previousMain);
    }
    int ColumnWidth(int c) { return static_cast<int>(view.Send(LVM_GETCOLUMNWIDTH, c)); }
    void Select(int row) {
        LVITEMA item {};
        item.stateMask = LVIS_SELECTED;
        item.state = LVIS_SELECTED;
        view.Send(LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&item));
    }

    const HKEY kRoots[4] = {HKEY_CURRENT_USER, HKEY_USERS, HKEY_LOCAL_MACHINE, HKEY_CLASSES_ROOT};
    ScratchKey scratch {"regcommands"};
    HKEY scratchKey = nullptr;
    std::vector<HKEY> roots;
    Host host;
    CWrenlyView view;
    HWND previousMain = nullptr;
};

const char kRun[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";

}  // namespace

TEST_F(RegistryCommandsTest, ScanFillsTheListUnderTheCancelDialog) {
    SetString(HKEY_CURRENT_USER, kRun, "dead", "C:\\KelvoMissing4711\\dead.exe /s");
    SetString(HKEY_CURRENT_USER, kRun, "live", "C:\\windows\\notepad.exe");
    SetString(HKEY_CLASSES_ROOT, ".kvdead", "", "kvdeadfile");
    SetString(HKEY_CLASSES_ROOT, "kvdeadfile\\shell\\open\\command", "", "C:\\KelvoMissing4711\\viewer.exe %1");
    view.AddRow({"old row"}, 0, 0);
    RecordingFrame frame(view, host.m_hWnd);

    RunRegistryScan(view, frame);

    ASSERT_EQ(4, view.Count());
    EXPECT_EQ("HKEY_CURRENT_USER", view.Text(0, 0));
    EXPECT_EQ(kRun, view.Text(0, 1));
    EXPECT_EQ("dead", view.Text(0, 2));
    EXPECT_EQ("C:\\KelvoMissing4711\\dead.exe /s", view.Text(0, 3));
    EXPECT_EQ("C:\\KelvoMissing4711\\dead.exe /s", view.Text(0, 4));
    EXPECT_EQ(0x22u, view.Data(0));
    EXPECT_EQ(".kvdead", view.Text(1, 1));
    EXPECT_EQ(0x11u, view.Data(1));
    EXPECT_EQ("kvdeadfile\\shell\\open", view.Text(2, 1));
    EXPECT_EQ("kvdeadfile\\shell", view.Text(3, 1));
    // The image comes from the root.
    LVITEMA item {};
    item.mask = LVIF_IMAGE;
    item.iItem = 1;
    view.Send(LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&item));
    EXPECT_EQ(kImageClassesRoot, item.iImage);

    EXPECT_EQ("Total Invalid entries found: 4", frame.messages.back());
    EXPECT_TRUE(frame.sawDialog);
    EXPECT_TRUE(frame.sawMainDisabled);
    EXPECT_EQ(nullptr, view.activeCancelDialog);
    EXPECT_TRUE(::IsWindowEnabled(host.m_hWnd));
    // Columns sized to their contents: the invalid-entry column no longer has its first width.
    EXPECT_NE(500, ColumnWidth(4));
}

TEST_F(RegistryCommandsTest, RemoveSelectedWritesTheUndoFileBesideTheProgram) {
    SetString(HKEY_CURRENT_USER, kRun, "a-dead", "C:\\KelvoMissing4711\\a.exe");
    SetString(HKEY_CURRENT_USER, kRun, "b-dead", "C:\\KelvoMissing4711\\b.exe");
    RecordingFrame frame(view, host.m_hWnd);
    RunRegistryScan(view, frame);
    ASSERT_EQ(2, view.Count());

    ScriptedPrompter prompter;
    RunRegistryRemoveSelected(view, frame);
    EXPECT_EQ((std::vector<std::string> {"Please select item(s)"}), frame.notes);
    EXPECT_TRUE(prompter.asked.empty());

    SYSTEMTIME t;
    ::GetLocalTime(&t);
    if (t.wSecond >= 55) ::Sleep((61 - t.wSecond) * 1000);
    std::string undoPath = UndoFolder() + "\\" + MakeUndoFileName();
    bool existed = FileExists(undoPath);
    Select(1);
    prompter.answers = {IDYES};
    RunRegistryRemoveSelected(view, frame);
    ASSERT_EQ(1, view.Count());
    EXPECT_EQ("a-dead", view.Text(0, 2));
    EXPECT_TRUE(ValueExists(HKEY_CURRENT_USER, kRun, "a-dead"));
    EXPECT_FALSE(ValueExists(HKEY_CURRENT_USER, kRun, "b-dead"));

    std::ifstream in(undoPath, std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    in.close();
    std::wstring text(bytes.str().size() / 2, L'\0');
    std::memcpy(&text[0], bytes.str().data(), text.size() * 2);
    EXPECT_NE(std::wstring::npos,
              text.find(L"\r\n[HKEY_CURRENT_USER\\" + WideName(kRun) +
                        L"]\r\n\"b-dead\" = \"C:\\\\KelvoMissing4711\\\\b.exe\"\r\n"));
    if (!existed) ::DeleteFileA(undoPath.c_str());

    // "Remove All" on what is left, answering No: nothing changes.
    prompter.answers = {IDNO};
    RunRegistryRemoveAll(view, frame);
    EXPECT_EQ(1, view.Count());
    EXPECT_TRUE(ValueExists(HKEY_CURRENT_USER, kRun, "a-dead"));
}
