// Deletion to the Recycle Bin through the real shell (Wine keeps its Recycle Bin in a
// freedesktop Trash folder, the sandbox machine's own), the path lists handed to the shell, and
// the file tool commands on the real result list.
#include "core/view.h"
#include "files/filecommands.h"
#include "files/junk.h"
#include "files/recycle.h"
#include "files_testkit.h"
#include "framework/strings.h"
#include "resource.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <thread>

using namespace filestest;

namespace {

// Every shell operation the code under test asks for, passed on to the real shell.
struct ShellCall {
    UINT function;
    FILEOP_FLAGS flags;
    std::vector<std::string> from;
    bool doubleNul;
};
std::vector<ShellCall> g_calls;
bool g_forward = true;

int WINAPI RecordShellCall(SHFILEOPSTRUCTA* request) {
    ShellCall call {request->wFunc, request->fFlags, {}, false};
    const char* p = request->pFrom;
    while (*p) {
        call.from.push_back(p);
        p += call.from.back().size() + 1;
    }
    call.doubleNul = p[0] == '\0';
    g_calls.push_back(call);
    return g_forward ? ::SHFileOperationA(request) : 0;
}

class RecordShell {
public:
    explicit RecordShell(bool forward = true) {
        g_calls.clear();
        g_forward = forward;
        previous_ = SetShellFileOperationFunction(RecordShellCall);
    }
    ~RecordShell() { SetShellFileOperationFunction(previous_); }

private:
    ShellFileOperationFn previous_;
};

// Answers the shell's own question (a dialog of this process) from another thread.
class ShellDialogAnswerer {
public:
    explicit ShellDialogAnswerer(int button) : button_(button), thread_([this] { Run(); }) {}
    ~ShellDialogAnswerer() {
        stop_ = true;
        thread_.join();
    }
    int answered() const { return answered_; }

private:
    static BOOL CALLBACK Visit(HWND w, LPARAM self) {
        auto* me = reinterpret_cast<ShellDialogAnswerer*>(self);
        DWORD pid = 0;
        ::GetWindowThreadProcessId(w, &pid);
        char cls[32] = {};
        ::GetClassNameA(w, cls, sizeof cls);
        if (pid == ::GetCurrentProcessId() && ::IsWindowVisible(w) && lstrcmpA(cls, "#32770") == 0) {
            ::PostMessageA(w, WM_COMMAND, MAKEWPARAM(me->button_, BN_CLICKED),
                           reinterpret_cast<LPARAM>(::GetDlgItem(w, me->button_)));
            ++me->answered_;
            return FALSE;
        }
        return TRUE;
    }
    void Run() {
        while (!stop_) {
            ::EnumWindows(Visit, reinterpret_cast<LPARAM>(this));
            ::Sleep(50);
        }
    }
    int button_;
    std::atomic<bool> stop_ {false};
    std::atomic<int> answered_ {0};
    std::thread thread_;
};

// Files of one test with names of their own, taken out of Wine's trash folder at the end.
class BinFiles {
public:
    explicit BinFiles(const std::string& name) : tree_(name) {}
    ~BinFiles() {
        for (const auto& n : names_) PurgeFromTrash(n);
    }
    std::string Make(const std::string& stem, const std::string& text = "contents") {
        std::string name = "kelvo-" + stem + "-" + Pid() + ".txt";
        names_.push_back(name);
        std::string path = tree_ / name;
        WriteFileText(path, text);
        return path;
    }
    const std::string& folder() const { return tree_.path(); }

private:
    ScratchTree tree_;
    std::vector<std::string> names_;
};

std::string NameOf(const std::string& path) { return path.substr(path.rfind('\\') + 1); }

// In the Recycle Bin and not deleted outright: the shell lists it, and on Wine the trash folder
// holds its contents.
void ExpectRecycled(const std::string& folder, const std::string& path, const std::string& text = "contents") {
    EXPECT_FALSE(FileExists(path)) << path;
    EXPECT_TRUE(RecycleBinHolds(folder, NameOf(path))) << path;
    std::string trash = WineTrashFolder();
    if (!trash.empty()) {
        HANDLE h = ::CreateFileA((trash + "\\files\\" + NameOf(path)).c_str(), GENERIC_READ, FILE_SHARE_READ,
                                 nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(INVALID_HANDLE_VALUE, h) << "not in " << trash;
        char buf[64] = {};
        DWORD got = 0;
        ::ReadFile(h, buf, sizeof buf - 1, &got, nullptr);
        ::CloseHandle(h);
        EXPECT_EQ(text, std::string(buf, got));
    }
}

// Still in its place with its contents.
void ExpectIntact(const std::string& path, const std::string& text) {
    HANDLE h = ::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, h) << path;
    char buf[64] = {};
    DWORD got = 0;
    ::ReadFile(h, buf, sizeof buf - 1, &got, nullptr);
    ::CloseHandle(h);
    EXPECT_EQ(text, std::string(buf, got)) << path;
}

// Records notifier texts and questions in one sequence.
struct EventLog : public RecordingStatus {
    std::vector<std::string> events;
    void ShowNotifierText(const std::string& text) override {
        RecordingStatus::ShowNotifierText(text);
        events.push_back("notify: " + text);
    }
};
class LoggingPrompter : public ScriptedPrompter {
public:
    explicit LoggingPrompter(EventLog& log) : log_(log) {}
    int Ask(HWND owner, const std::string& text, const std::string& caption, UINT type) override {
        log_.events.push_back("ask: " + text);
        return ScriptedPrompter::Ask(owner, text, caption, type);
    }

private:
    EventLog& log_;
};

}  // namespace

TEST(ShellFileOperation, ListsStayDoubleNulTerminatedAndGrowExactly) {
    ShellFileOperation op;
    EXPECT_EQ(nullptr, op.list(ShellFileOperation::kSource));
    EXPECT_TRUE(op.reserve(ShellFileOperation::kSource, 10));
    EXPECT_EQ(11u, op.capacity(ShellFileOperation::kSource));
    EXPECT_EQ('\0', op.list(ShellFileOperation::kSource)[0]);

    EXPECT_TRUE(op.addPath(ShellFileOperation::kSource, "C:\\a.txt"));  // 9 bytes + the final NUL fit
    EXPECT_EQ(11u, op.capacity(ShellFileOperation::kSource));
    EXPECT_EQ(9u, op.used(ShellFileOperation::kSource));
    EXPECT_TRUE(op.addPath(ShellFileOperation::kSource, "C:\\bb.txt"));  // grows to exactly 9 + 10 + 1
    EXPECT_EQ(20u, op.capacity(ShellFileOperation::kSource));
    EXPECT_EQ(19u, op.used(ShellFileOperation::kSource));
    EXPECT_EQ(0, std::memcmp(op.list(ShellFileOperation::kSource), "C:\\a.txt\0C:\\bb.txt\0\0", 20));

    // Reserving more keeps what was written; reserving less never cuts it.
    EXPECT_TRUE(op.reserve(ShellFileOperation::kSource, 100));
    EXPECT_EQ(101u, op.capacity(ShellFileOperation::kSource));
    EXPECT_TRUE(op.reserve(ShellFileOperation::kSource, 3));
    EXPECT_EQ(20u, op.capacity(ShellFileOperation::kSource));
    EXPECT_EQ(0, std::memcmp(op.list(ShellFileOperation::kSource), "C:\\a.txt\0C:\\bb.txt\0\0", 20));

    EXPECT_TRUE(op.addPath(ShellFileOperation::kDestination, "D:\\x"));
    EXPECT_EQ(6u, op.capacity(ShellFileOperation::kDestination));
    EXPECT_EQ(0, std::memcmp(op.list(ShellFileOperation::kDestination), "D:\\x\0\0", 6));

    op.setProgressTitle("Moving");
    EXPECT_STREQ("Moving", op.request().lpszProgressTitle);
    op.setProgressTitle(IDS_PLEASE_WAIT);
    EXPECT_STREQ("Please Wait...", op.request().lpszProgressTitle);
    op.setProgressTitle("");
    EXPECT_EQ(nullptr, op.request().lpszProgressTitle);
}

TEST(ShellFileOperation, RunsCopyMoveRenameAndDeleteWithTheShell) {
    ScratchTree t("shellop");
    std::string a = t.File("a.txt", 3);
    t.Dir("to");
    {
        ShellFileOperation op;
        op.setFlags(FOF_NOCONFIRMATION | FOF_SILENT | FOF_NOERRORUI);
        op.addPath(0, a);
        op.addPath(1, t / "to\\copy.txt");
        EXPECT_EQ(0, op.copy());
        EXPECT_FALSE(op.anyAborted());
    }
    EXPECT_TRUE(FileExists(t / "to\\copy.txt"));
    {
        ShellFileOperation op;
        op.setFlags(FOF_NOCONFIRMATION | FOF_SILENT | FOF_NOERRORUI);
        op.addPath(0, t / "to\\copy.txt");
        op.addPath(1, t / "to\\renamed.txt");
        EXPECT_EQ(0, op.rename());
    }
    EXPECT_TRUE(FileExists(t / "to\\renamed.txt"));
    {
        ShellFileOperation op;
        op.setFlags(FOF_NOCONFIRMATION | FOF_SILENT | FOF_NOERRORUI);
        op.addPath(0, a);
        op.addPath(1, t / "moved.txt");
        EXPECT_EQ(0, op.move());
    }
    EXPECT_FALSE(FileExists(a));
    EXPECT_TRUE(FileExists(t / "moved.txt"));
    {
        RecordShell record;
        ShellFileOperation op;
        op.setFlags(FOF_NOCONFIRMATION | FOF_SILENT | FOF_NOERRORUI);
        op.addPath(0, t / "moved.txt");
        EXPECT_EQ(0, op.remove());
        ASSERT_EQ(1u, g_calls.size());
        EXPECT_EQ(static_cast<UINT>(FO_DELETE), g_calls[0].function);
        EXPECT_TRUE(g_calls[0].doubleNul);
    }
    EXPECT_FALSE(FileExists(t / "moved.txt"));
}

TEST(RecycleOneFile, SendsTheFileToTheRecycleBin) {
    BinFiles files("recycleone");
    std::string path = files.Make("one", "one's text");
    RecordShell record;
    EXPECT_EQ(1, RecycleOneFile(path));
    ASSERT_EQ(1u, g_calls.size());
    EXPECT_EQ((std::vector<std::string>{path}), g_calls[0].from);
    EXPECT_EQ(FOF_ALLOWUNDO | FOF_NOCONFIRMATION, g_calls[0].flags & (FOF_ALLOWUNDO | FOF_NOCONFIRMATION));
    // A shell that cannot recycle then asks (and is refused) rather than destroying in silence.
    EXPECT_TRUE(g_calls[0].flags & FOF_WANTNUKEWARNING);
    ExpectRecycled(files.folder(), path, "one's text");

    EXPECT_EQ(0, RecycleOneFile(files.folder() + "\\kelvo-missing-" + Pid() + ".txt"));
    EXPECT_EQ(1u, g_calls.size()) << "nothing there, nothing asked of the shell";
}

// The shell's file operation object is a stub on Wine, so the sink is driven the way Vista and
// later drive it: a deletion announced without the recycle flag would destroy the file.
TEST(RecycleOnlySink, RefusesEveryDeletionThatWouldNotRecycle) {
    CRecycleOnlySink sink;
    EXPECT_EQ(S_OK, sink.PreDeleteItem(TSF_DELETE_RECYCLE_IF_POSSIBLE, nullptr));
    EXPECT_TRUE(FAILED(sink.PreDeleteItem(0, nullptr)));
    EXPECT_TRUE(FAILED(sink.PreDeleteItem(TSF_OVERWRITE_EXIST, nullptr)));
    EXPECT_EQ(2, sink.refused);
    IUnknown* unknown = nullptr;
    EXPECT_EQ(S_OK, sink.QueryInterface(IID_IFileOperationProgressSink, reinterpret_cast<void**>(&unknown)));
    EXPECT_EQ(static_cast<IUnknown*>(&sink), unknown);
}

namespace {
// A shell whose Recycle Bin takes nothing, asking as Wine's and older Windows' do: its own
// question first unless told not to, then for each file whether to destroy it ("Yes" does).
int g_questionsShown = 0;
int Ask(const char* text) {
    int answer = ::MessageBoxA(nullptr, text, "Delete File", MB_YESNO | MB_ICONQUESTION);
    if (answer == IDYES || answer == IDNO) ++g_questionsShown;  // a box refused before it shows answers neither
    return answer;
}
int WINAPI ShellThatOffersToDestroy(SHFILEOPSTRUCTA* request) {
    if (!(request->fFlags & FOF_NOCONFIRMATION) && Ask("Send these items to the Recycle Bin?") != IDYES) {
        request->fAnyOperationsAborted = TRUE;
        return 0;
    }
    for (const char* p = request->pFrom; *p; p += std::strlen(p) + 1) {
        if (Ask("It cannot be sent to the Recycle Bin. Delete it permanently?") != IDYES) {
            request->fAnyOperationsAborted = TRUE;
            break;
        }
        ::DeleteFileA(p);
    }
    return 0;
}
}  // namespace

TEST(RecycleFiles, AQuestionOfferingToDestroyIsRefusedBeforeItShows) {
    BinFiles files("nuke");
    std::string a = files.Make("nuke-a");
    std::string b = files.Make("nuke-b");
    ShellFileOperationFn previous = SetShellFileOperationFunction(ShellThatOffersToDestroy);
    g_questionsShown = 0;
    std::vector<RecycleOutcome> each, all;
    {
        ShellDialogAnswerer yes(IDYES);  // what a user pressing Enter would do
        each = RecycleFiles({a}, true);
        all = RecycleFiles({a, b}, false);
    }
    SetShellFileOperationFunction(previous);
    EXPECT_EQ(1, g_questionsShown) << "the shell's own question, and no other";
    EXPECT_EQ((std::vector<RecycleOutcome>{kKeptNotTaken}), each);
    EXPECT_EQ((std::vector<RecycleOutcome>{kKeptNotTaken, kKeptNotTaken}), all);
    EXPECT_TRUE(FileExists(a));
    EXPECT_TRUE(FileExists(b));
}

TEST(DeleteSelectedFiles, OneQuestionThenOneOperationPerSelectedFile) {
    BinFiles files("delsel");
    FakeList list;
    std::vector<std::string> paths;
    for (int i = 0; i < 5; ++i) {
        paths.push_back(files.Make("sel" + std::to_string(i)));
        list.Add(NameOf(paths.back()), paths.back());
    }
    list.rows[0].selected = list.rows[2].selected = list.rows[4].selected = true;

    RecordingStatus status;
    ScriptedPrompter prompter;
    prompter.answers = {IDYES};
    RecordShell record;
    EXPECT_EQ(0, DeleteSelectedFiles(list, status, kListUnneededFiles));

    ASSERT_EQ(1u, prompter.asked.size());
    EXPECT_EQ("Send all selected file(s) to the RecycleBin? ", prompter.asked[0].text);
    EXPECT_EQ(static_cast<UINT>(MB_YESNO | MB_ICONQUESTION), prompter.asked[0].type);
    ASSERT_EQ(3u, g_calls.size());
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ((std::vector<std::string>{paths[i * 2]}), g_calls[i].from);
        EXPECT_TRUE(g_calls[i].flags & FOF_NOCONFIRMATION);
    }
    EXPECT_EQ((std::vector<std::string>{paths[1], paths[3]}), list.Paths());
    for (int i : {0, 2, 4}) ExpectRecycled(files.folder(), paths[i]);
    EXPECT_TRUE(FileExists(paths[1]));
    EXPECT_TRUE(status.Showed("Deleting " + paths[2] + " to the Recycle Bin"));
    EXPECT_EQ("", status.Last());
}

TEST(DeleteSelectedFiles, NoChangesNothingAndNoSelectionIsReported) {
    BinFiles files("delselno");
    FakeList list;
    std::string path = files.Make("no");
    list.Add(NameOf(path), path);
    RecordingStatus status;
    RecordShell record;
    {
        ScriptedPrompter prompter;
        EXPECT_EQ(0, DeleteSelectedFiles(list, status, kListUnneededFiles));
        EXPECT_TRUE(prompter.asked.empty());
        ASSERT_EQ(1u, status.notifier.size());
        EXPECT_EQ("Please select item(s)", status.notifier[0]);
    }
    list.rows[0].selected = true;
    {
        ScriptedPrompter prompter;
        prompter.answers = {IDNO};
        EXPECT_EQ(0, DeleteSelectedFiles(list, status, kListInvalidShortcuts));
        ASSERT_EQ(1u, prompter.asked.size());
        EXPECT_EQ("Send all selected shortcut(s) to the RecycleBin ?", prompter.asked[0].text);
    }
    EXPECT_TRUE(g_calls.empty());
    EXPECT_EQ(1, list.Count());
    EXPECT_TRUE(FileExists(path));
}

TEST(DeleteSelectedFiles, AFileInUseStaysWithItsRowAndIsReported) {
    BinFiles files("delselfail");
    FakeList list;
    std::string good = files.Make("good");
    std::string locked = files.Make("locked", "still here");
    std::string missing = files.folder() + "\\kelvo-vanished-" + Pid() + ".txt";
    list.Add(NameOf(good), good);
    list.Add(NameOf(locked), locked);
    list.Add(NameOf(missing), missing);
    for (auto& r : list.rows) r.selected = true;
    HANDLE lock = ::CreateFileA(locked.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, lock);
    RecordingStatus status;
    ScriptedPrompter prompter;
    prompter.answers = {IDYES, IDOK};
    RecordShell record;
    int kept;
    {
        ShellDialogAnswerer yes(IDYES);
        kept = DeleteSelectedFiles(list, status, kListInvalidShortcuts);
        EXPECT_EQ(0, yes.answered()) << "the shell asked nothing";
    }
    ::CloseHandle(lock);
    EXPECT_EQ(1, kept);
    // The file in use never reached the shell; a file already gone takes its row with it.
    ASSERT_EQ(1u, g_calls.size());
    EXPECT_EQ((std::vector<std::string>{good}), g_calls[0].from);
    EXPECT_EQ((std::vector<std::string>{locked}), list.Paths());
    ASSERT_EQ(2u, prompter.asked.size());
    EXPECT_EQ("1 shortcut(s) could not be moved to the RecycleBin and stay in the list: 1 in use by another program.",
              prompter.asked[1].text);
    ExpectRecycled(files.folder(), good);
    ExpectIntact(locked, "still here");
}

TEST(DeleteSelectedFiles, DuplicatesWarnBeforeTheQuestion) {
    FakeList list;
    list.Add("x", "E:\\kelvo-dup-" + Pid());
    list.rows[0].selected = true;
    EventLog log;
    LoggingPrompter prompter(log);
    prompter.answers = {IDNO};
    DeleteSelectedFiles(list, log, kListDuplicates);
    ASSERT_EQ(2u, log.events.size());
    EXPECT_EQ("notify: " + LoadStr(IDS_DUPLICATE_DELETE_WARNING), log.events[0]);
    EXPECT_EQ("ask: Send all selected file(s) to the RecycleBin? ", log.events[1]);
}

TEST(DeleteAllFiles, OneOperationWithEveryFileAfterTheShellsQuestion) {
    BinFiles files("delall");
    FakeList list;
    std::string a = files.Make("all-a", "aaa");
    std::string b = files.Make("all-b", "bbbb");
    list.Add(NameOf(a), a);
    list.Add(NameOf(b), b);
    RecordingStatus status;
    RecordShell record;
    bool ok;
    {
        ShellDialogAnswerer yes(IDYES);
        ok = DeleteAllFiles(list, status, kListUnneededFiles);
        EXPECT_EQ(1, yes.answered()) << "the shell asks its own question";
    }
    EXPECT_TRUE(ok);
    ASSERT_EQ(1u, g_calls.size());
    EXPECT_TRUE(g_calls[0].flags & FOF_ALLOWUNDO);
    EXPECT_FALSE(g_calls[0].flags & FOF_NOCONFIRMATION) << "the shell asks";
    EXPECT_EQ((std::vector<std::string>{a, b}), g_calls[0].from);
    EXPECT_TRUE(g_calls[0].doubleNul);
    EXPECT_EQ(0, list.Count());
    EXPECT_TRUE(status.Showed("Please Wait..."));
    EXPECT_EQ("", status.Last());
    ExpectRecycled(files.folder(), a, "aaa");
    ExpectRecycled(files.folder(), b, "bbbb");
}

TEST(DeleteAllFiles, DecliningTheShellKeepsTheFilesAndTheirRows) {
    BinFiles files("delallno");
    FakeList list;
    std::string a = files.Make("keep-a");
    std::string b = files.Make("keep-b");
    list.Add(NameOf(a), a);
    list.Add(NameOf(b), b);
    RecordingStatus status;
    ScriptedPrompter prompter;
    bool ok;
    {
        ShellDialogAnswerer no(IDNO);
        ok = DeleteAllFiles(list, status, kListUnneededFiles);
        EXPECT_EQ(1, no.answered());
    }
    EXPECT_FALSE(ok);
    EXPECT_TRUE(FileExists(a));
    EXPECT_TRUE(FileExists(b));
    EXPECT_EQ((std::vector<std::string>{a, b}), list.Paths());
    EXPECT_TRUE(prompter.asked.empty()) << "a No needs no report";

    FakeList empty;
    EXPECT_FALSE(DeleteAllFiles(empty, status, kListUnneededFiles));
    EXPECT_EQ("List Empty.", status.notifier.back());
}

TEST(DeleteAllFiles, RowsTheShellMustNotSeeStayAndAreReported) {
    BinFiles files("delallkeep");
    FakeList list;
    std::string good = files.Make("all-good", "good");
    std::string locked = files.Make("all-locked", "locked");
    std::string unusable = files.Make("all-unusable", "unusable");
    list.Add(NameOf(locked), locked);
    list.Add("no path", "");
    list.Add(NameOf(good), good);
    list.AddRow({NameOf(unusable), unusable}, -1, kRowNameUnusable);
    HANDLE lock = ::CreateFileA(locked.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, lock);
    RecordingStatus status;
    ScriptedPrompter prompter;
    RecordShell record;
    {
        ShellDialogAnswerer yes(IDYES);
        EXPECT_FALSE(DeleteAllFiles(list, status, kListInvalidShortcuts));
        EXPECT_EQ(1, yes.answered()) << "the shell's own question only";
    }
    ::CloseHandle(lock);
    // Neither the empty path (it would end the list early) nor the others reach the shell.
    ASSERT_EQ(1u, g_calls.size());
    EXPECT_EQ((std::vector<std::string>{good}), g_calls[0].from);
    EXPECT_TRUE(g_calls[0].doubleNul);
    EXPECT_EQ((std::vector<std::string>{locked, "", unusable}), list.Paths());
    ASSERT_EQ(1u, prompter.asked.size());
    EXPECT_EQ("3 shortcut(s) could not be moved to the RecycleBin and stay in the list: 1 in use by another "
              "program, 1 named in a way this Windows cannot pass on, 1 without a path.",
              prompter.asked[0].text);
    ExpectRecycled(files.folder(), good, "good");
    ExpectIntact(locked, "locked");
    ExpectIntact(unusable, "unusable");
}

TEST(DeleteSelectedFiles, NamesInAnyLanguageAreWalkedListedRecycledAndRestored) {
    BinFiles files("names");
    // Omega beside Ωmega: the name a best-fit mapping would make of it. Then a CJK and an emoji name.
    const std::string tail = "-" + Pid() + ".tmp";
    const std::vector<std::string> names = {"\xCE\xA9mega" + tail, "\xE6\x96\x87\xE4\xBB\xB6" + tail,
                                            "\xF0\x9F\x98\x80" + tail, "Omega" + tail};
    for (const std::string& n : names) ASSERT_TRUE(WriteFileText(files.folder() + "\\" + n, "text of " + n)) << n;
    FakeList list;
    FileToolSettings settings;
    CountingCancel cancel;
    RecordingStatus status;
    CJunkScan scan(list, cancel, status, settings, DefaultJunkEndings());
    scan.WalkJunkFolder(files.folder());
    ASSERT_EQ(4, list.Count());
    for (const std::string& n : names) {
        const FakeList::Row* row = list.Find(files.folder() + "\\" + n);
        ASSERT_NE(nullptr, row) << n;
        EXPECT_EQ(n, row->texts[0]);
        EXPECT_EQ(0u, row->data);
    }
    for (auto& r : list.rows) r.selected = r.texts[0] != names[3];

    ScriptedPrompter prompter;
    prompter.answers = {IDYES};
    EXPECT_EQ(0, DeleteSelectedFiles(list, status, kListUnneededFiles));
    EXPECT_EQ((std::vector<std::string>{files.folder() + "\\" + names[3]}), list.Paths());
    ExpectIntact(files.folder() + "\\" + names[3], "text of " + names[3]);
    for (size_t i = 0; i < 3; ++i) {
        std::string path = files.folder() + "\\" + names[i];
        ExpectRecycled(files.folder(), path, "text of " + names[i]);
        EXPECT_TRUE(RestoreFromRecycleBin(files.folder(), names[i])) << names[i];
        ExpectIntact(path, "text of " + names[i]);
        PurgeFromTrash(names[i]);  // in case it did not come back
    }
}

namespace {

class Host : public CWindowImpl {};

class FileCommandsTest : public ::testing::Test {
protected:
    void SetUp() override {
        RECT rc {0, 0, 700, 400};
        ASSERT_TRUE(host.Create(nullptr, rc, "files host", WS_OVERLAPPEDWINDOW | WS_VISIBLE));
        ASSERT_TRUE(view.CreateView(host.m_hWnd, 100));
        ::MoveWindow(view.m_hWnd, 0, 0, 680, 380, TRUE);
        SetMainWindow(host.m_hWnd);
        view.settings.driveMask = 1 << ('E' - 'A');
    }
    void TearDown() override { SetMainWindow(nullptr); }
    void Columns(std::initializer_list<const char*> titles) {
        int i = 0;
        for (const char* title : titles) {
            LVCOLUMNA col {};
            col.mask = LVCF_TEXT | LVCF_WIDTH;
            col.pszText = const_cast<char*>(title);
            col.cx = 20;
            view.Send(LVM_INSERTCOLUMNA, i++, reinterpret_cast<LPARAM>(&col));
        }
    }
    int RowOf(const std::string& path) {
        for (int r = 0; r < view.Count(); ++r)
            if (SameText(view.Text(r, 1), path)) return r;
        return -1;
    }
    Host host;
    CWrenlyView view;
    ScratchSettings scratch;
    RecordingStatus frame;
};

}  // namespace

TEST_F(FileCommandsTest, UnneededFilesScanThenDeleteSelectedOnTheResultList) {
    BinFiles files("cmdjunk");
    std::string junk = files.Make("cmd");
    std::string tmp = junk.substr(0, junk.size() - 4) + ".tmp";
    ::MoveFileA(junk.c_str(), tmp.c_str());
    Columns({"Name", "Location", "Size"});
    view.SetListMode(kListUnneededFiles);
    view.settings.cleanTempFolder = false;

    int stops = 0;
    bool dialogWhileScanning = false;
    RunUnneededFilesScan(view, frame, [&] {
        ++stops;
        dialogWhileScanning = view.activeCancelDialog == nullptr;
    });
    EXPECT_EQ(1, stops);
    EXPECT_TRUE(dialogWhileScanning) << "the list forgets the dialog before the animation stops";
    EXPECT_EQ(nullptr, view.activeCancelDialog);
    EXPECT_TRUE(::IsWindowEnabled(host.m_hWnd)) << "the cancel dialog gave the window back";
    int row = RowOf(tmp);
    ASSERT_GE(row, 0);
    EXPECT_EQ("1 KB", view.Text(row, 2));
    EXPECT_GT(::SendMessageA(view.m_hWnd, LVM_GETCOLUMNWIDTH, 0, 0), 20) << "columns sized";
    EXPECT_EQ(0, frame.Last().find("Total Invalid entries found: "));

    LVITEMA item {};
    item.stateMask = LVIS_SELECTED;
    item.state = LVIS_SELECTED;
    view.Send(LVM_SETITEMSTATE, row, reinterpret_cast<LPARAM>(&item));
    int before = view.Count();
    ScriptedPrompter prompter;
    prompter.answers = {IDYES};
    RunUnneededFilesDeleteSelected(view, frame);
    EXPECT_EQ(before - 1, view.Count());
    EXPECT_LT(RowOf(tmp), 0);
    EXPECT_FALSE(FileExists(tmp));
    EXPECT_TRUE(RecycleBinHolds(files.folder(), NameOf(tmp)));
    PurgeFromTrash(NameOf(tmp));
}

TEST_F(FileCommandsTest, ShortcutScanFillsFourColumns) {
    ScratchTree t("cmdlnk");
    std::string gone = t.File("gone.txt", 1);
    std::string lnk = t / "dead.lnk";
    {
        IShellLinkA* link = nullptr;
        ASSERT_TRUE(SUCCEEDED(::CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                                 reinterpret_cast<void**>(&link))));
        link->SetPath(gone.c_str());
        link->SetDescription("described");
        IPersistFile* persist = nullptr;
        link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&persist));
        WCHAR wide[MAX_PATH];
        ::MultiByteToWideChar(CP_ACP, 0, lnk.c_str(), -1, wide, MAX_PATH);
        ASSERT_TRUE(SUCCEEDED(persist->Save(wide, TRUE)));
        persist->Release();
        link->Release();
    }
    ::DeleteFileA(gone.c_str());
    Columns({"Name", "Shortcut Location", "Target Location", "Description"});
    view.SetListMode(kListInvalidShortcuts);
    RunShortcutsScan(view, frame);
    int row = RowOf(lnk);
    ASSERT_GE(row, 0);
    EXPECT_EQ("dead.lnk", view.Text(row, 0));
    EXPECT_TRUE(SameText(gone, view.Text(row, 2)));
    EXPECT_EQ("described", view.Text(row, 3));
    EXPECT_EQ(Format("Total Invalid entries found: %d", view.Count()), frame.Last());

    ScriptedPrompter prompter;
    RunShortcutsFixSelected(view, frame);
    EXPECT_EQ("Please select item(s)", frame.notifier.back());
}
