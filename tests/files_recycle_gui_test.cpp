// Deletion to the Recycle Bin through the real shell (Wine keeps its Recycle Bin in the sandbox
// machine's own freedesktop Trash folder), with the shell's own question boxes answered.
#include "core/view.h"
#include "files/recycle.h"
#include "framework/strings.h"
#include "kit.h"
#include "resource.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace kit;

namespace {

// The flags and paths of every operation asked of the shell, which then carries it out.
std::vector<std::pair<FILEOP_FLAGS, std::vector<std::string>>> g_calls;
int WINAPI RecordShellCall(SHFILEOPSTRUCTA* request) {
    g_calls.push_back({request->fFlags, {}});
    for (const char* p = request->pFrom; *p; p += std::strlen(p) + 1) g_calls.back().second.push_back(p);
    return ::SHFileOperationA(request);
}
struct RecordShell {
    ShellFileOperationFn previous = SetShellFileOperationFunction(RecordShellCall);
    ~RecordShell() { SetShellFileOperationFunction(previous); }
};

// Files of one test on drive E:, "<stem>-<pid>.tmp" holding "text of <stem>", taken out of
// Wine's trash folder again at the end.
struct BinFiles : ScratchTree {
    std::vector<std::string> names;
    explicit BinFiles(const std::string& name) : ScratchTree(name) {}
    ~BinFiles() {
        for (const auto& n : names) PurgeFromTrash(n);
    }
    std::string Make(const std::string& stem) {
        names.push_back(stem + "-" + Pid() + ".tmp");
        WriteFileText(*this / names.back(), "text of " + stem);
        return *this / names.back();
    }
};

// Gone from its place, listed by the shell's Recycle Bin, and (on Wine) whole in the trash folder.
void ExpectRecycled(const std::string& path) {
    size_t slash = path.rfind('\\');
    EXPECT_FALSE(FileExists(path)) << path;
    EXPECT_TRUE(RecycleBinHolds(path.substr(0, slash), path.substr(slash + 1))) << path;
    std::string trash = WineTrashFolder(), stem = path.substr(slash + 1, path.rfind('-') - slash - 1);
    EXPECT_EQ(trash.empty() ? "" : "text of " + stem, ReadWholeFile(trash + "\\files\\" + path.substr(slash + 1)));
}

}  // namespace

TEST(DeleteSelectedFiles, OneQuestionThenEachFileRecycledAloneAndWhatStaysKeepsItsRow) {
    BinFiles files("selected");
    // Names in any language; "Omega" is what a best-fit mapping would make of "Ωmega", and is
    // not selected. A file already gone takes its row with it.
    Rows rows;
    for (const char* stem : {"\xCE\xA9mega", "\xE6\x96\x87\xE4\xBB\xB6", "\xF0\x9F\x98\x80", "Omega", "locked"})
        rows.Add({stem, files.Make(stem)}, 0, std::string(stem) != "Omega");
    rows.Add({"gone", files / "vanished.tmp"}, 0, true);
    RecordingStatus status;
    HANDLE lock = ::CreateFileA((files / files.names[4]).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ScriptedPrompter prompter;
    prompter.answers = {IDYES};
    g_calls.clear();
    {
        RecordShell record;
        ShellDialogAnswerer yes(IDYES);
        EXPECT_EQ(1, DeleteSelectedFiles(rows, status, kListUnneededFiles));
        EXPECT_EQ(0, yes.answered()) << "the shell asked nothing";
    }
    ::CloseHandle(lock);
    ASSERT_EQ(2u, prompter.asked.size());
    EXPECT_EQ("Send all selected file(s) to the RecycleBin? ", prompter.asked[0].text);
    EXPECT_EQ("1 file(s) could not be moved to the RecycleBin and stay in the list: 1 in use by another program.",
              prompter.asked[1].text);
    // One operation a file, without the shell's question, never destroying in silence; the
    // file in use never reached the shell.
    ASSERT_EQ(3u, g_calls.size());
    for (int i = 0; i < 3; ++i) {
        const FILEOP_FLAGS want = FOF_ALLOWUNDO | FOF_NOCONFIRMATION | FOF_WANTNUKEWARNING;
        EXPECT_EQ(want, g_calls[i].first & want);
        EXPECT_EQ(std::vector<std::string>{files / files.names[i]}, g_calls[i].second);
        EXPECT_EQ("Deleting " + files / files.names[i] + " to the Recycle Bin", status.messages[i]);
        ExpectRecycled(files / files.names[i]);
    }
    EXPECT_EQ((std::vector<std::string>{files / files.names[3], files / files.names[4]}), rows.Column(1));
    EXPECT_EQ("text of Omega", ReadWholeFile(files / files.names[3]));
    EXPECT_EQ("text of locked", ReadWholeFile(files / files.names[4]));
    EXPECT_EQ("", status.LastMessage());
}

TEST(DeleteSelectedFiles, NothingWithoutASelectionOrAYes) {
    // The warning of the duplicates tool comes before the question.
    struct Prompter : ScriptedPrompter {
        RecordingStatus status;
        int Ask(HWND, const std::string& text, const std::string&, UINT) override {
            asked.push_back({text + " after " + std::to_string(status.notes.size()) + " notes"});
            return IDNO;
        }
    } prompter;
    BinFiles files("unselected");
    Rows rows;
    rows.Add({"x", files.Make("kept")});
    EXPECT_EQ(0, DeleteSelectedFiles(rows, prompter.status, kListUnneededFiles));
    rows.Select(0);
    for (int mode : {kListInvalidShortcuts, kListDuplicates}) EXPECT_EQ(0, DeleteSelectedFiles(rows, prompter.status, mode));
    EXPECT_EQ((std::vector<std::string>{"Please select item(s)", LoadStr(IDS_DUPLICATE_DELETE_WARNING)}),
              prompter.status.notes);
    ASSERT_EQ(2u, prompter.asked.size());
    EXPECT_EQ("Send all selected shortcut(s) to the RecycleBin ? after 1 notes", prompter.asked[0].text);
    EXPECT_EQ("Send all selected file(s) to the RecycleBin?  after 2 notes", prompter.asked[1].text);
    EXPECT_EQ("text of kept", ReadWholeFile(rows.Text(0, 1)));
}

TEST(DeleteAllFiles, OneOperationAfterTheShellsQuestionAndRowsItMustNotSeeStay) {
    BinFiles files("all");
    Rows rows;
    std::string a = files.Make("a"), locked = files.Make("locked"), b = files.Make("b"), odd = files.Make("odd");
    for (const std::string& p : {a, locked, std::string(), b}) rows.Add({"row", p});
    rows.Add({"odd", odd}, kRowNameUnusable);
    HANDLE lock = ::CreateFileA(locked.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    RecordingStatus status;
    ScriptedPrompter prompter;
    g_calls.clear();
    for (int answer : {IDNO, IDYES}) {
        RecordShell record;
        ShellDialogAnswerer shell(answer);
        EXPECT_FALSE(DeleteAllFiles(rows, status, kListInvalidShortcuts));
        EXPECT_EQ(1, shell.answered()) << "the shell's own question only";
        if (answer == IDNO) {  // declined: every file and row stays, and a No needs no report
            EXPECT_EQ("text of a", ReadWholeFile(a));
            EXPECT_EQ(5, rows.Count());
            EXPECT_TRUE(prompter.asked.empty());
        }
    }
    ::CloseHandle(lock);
    // Neither the empty path (it would end the list early) nor the others reach the shell.
    ASSERT_EQ(2u, g_calls.size());
    EXPECT_EQ((std::vector<std::string>{a, b}), g_calls[1].second);
    EXPECT_EQ(FOF_ALLOWUNDO | FOF_WANTNUKEWARNING, g_calls[1].first & (FOF_ALLOWUNDO | FOF_WANTNUKEWARNING | FOF_NOCONFIRMATION));
    EXPECT_EQ((std::vector<std::string>{locked, "", odd}), rows.Column(1));
    ASSERT_EQ(1u, prompter.asked.size());
    EXPECT_EQ("3 shortcut(s) could not be moved to the RecycleBin and stay in the list: 1 in use by another "
              "program, 1 named in a way this Windows cannot pass on, 1 without a path.",
              prompter.asked[0].text);
    EXPECT_EQ("Please Wait...", status.messages.end()[-2]);
    EXPECT_EQ("", status.LastMessage());
    ExpectRecycled(a);
    ExpectRecycled(b);
    EXPECT_EQ("text of locked", ReadWholeFile(locked));
    EXPECT_EQ("text of odd", ReadWholeFile(odd));
    Rows empty;
    EXPECT_FALSE(DeleteAllFiles(empty, status, kListUnneededFiles));
    EXPECT_EQ("List Empty.", status.notes.back());
}

namespace {
// A shell whose Recycle Bin takes nothing, asking as Wine's and older Windows' do: its own
// question first unless told not to, then for each file whether to destroy it ("Yes" does).
int g_questionsShown = 0;
bool Ask(const char* text) {
    int answer = ::MessageBoxA(nullptr, text, "Delete File", MB_YESNO | MB_ICONQUESTION);
    g_questionsShown += answer == IDYES || answer == IDNO;  // a box refused before it shows answers neither
    return answer == IDYES;
}
int WINAPI ShellThatOffersToDestroy(SHFILEOPSTRUCTA* request) {
    request->fAnyOperationsAborted = TRUE;
    if (!(request->fFlags & FOF_NOCONFIRMATION) && !Ask("Send these items to the Recycle Bin?")) return 0;
    for (const char* p = request->pFrom; *p && Ask("Delete it permanently?"); p += std::strlen(p) + 1)
        ::DeleteFileA(p);
    return 0;
}
}  // namespace

TEST(RecycleFiles, NoFileIsEverDestroyed) {
    BinFiles files("destroy");
    std::string a = files.Make("a"), b = files.Make("b");
    std::vector<RecycleOutcome> each, all;
    ShellFileOperationFn previous = SetShellFileOperationFunction(ShellThatOffersToDestroy);
    {
        ShellDialogAnswerer yes(IDYES);  // what a user pressing Enter would do
        each = RecycleFiles({a}, true);
        all = RecycleFiles({a, b}, false);
    }
    SetShellFileOperationFunction(previous);
    EXPECT_EQ(1, g_questionsShown) << "the shell's own question, and no other";
    EXPECT_EQ((std::vector<RecycleOutcome>{kKeptNotTaken}), each);
    EXPECT_EQ((std::vector<RecycleOutcome>{kKeptNotTaken, kKeptNotTaken}), all);
    EXPECT_TRUE(FileExists(a) && FileExists(b));
    // Where the shell's file operation object carries the files (not on Wine), its sink refuses
    // every deletion announced without the recycle flag.
    CRecycleOnlySink sink;
    EXPECT_EQ(S_OK, sink.PreDeleteItem(TSF_DELETE_RECYCLE_IF_POSSIBLE, nullptr));
    EXPECT_TRUE(FAILED(sink.PreDeleteItem(TSF_OVERWRITE_EXIST, nullptr)));
    EXPECT_EQ(1, sink.refused);
}
