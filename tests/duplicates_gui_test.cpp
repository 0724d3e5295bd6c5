// The duplicate finder on the sandbox machine's real files: the "duplist" records byte for byte,
// the contents test and whole scans of scratch trees on the engine; on the real result list, what
// only the window shows (separators and reference folders' files that cannot be selected, Delete
// Selected, the Scan command with its cancel dialog).
#include "core/keeplist.h"
#include "duplicates/crc32.h"
#include "duplicates/dupcommands.h"
#include "duplicates/duplist.h"
#include "duplicates/dupscan.h"
#include "duplicates/samecontents.h"
#include "files/filecommands.h"
#include "framework/settings.h"
#include "framework/strings.h"
#include "kit.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <set>

namespace {

using Groups = std::multiset<std::set<std::string>>;

std::string Pattern(size_t length, unsigned seed) {
    std::string s(length, '\0');
    std::mt19937 rng(seed);
    for (char& c : s) c = static_cast<char>(rng());
    return s;
}

// `data` with byte `at` changed and its last four bytes set so that the CRC-32 stays as it was:
// only the byte-for-byte comparison tells the two apart.
std::string CrcTwin(std::string twin, size_t at) {
    size_t n = twin.size() - 4;
    uint32_t before = Crc32Update(kCrc32Start, twin.data(), n), tail;
    twin[at] ^= 0x5A;
    std::memcpy(&tail, &twin[n], 4);
    tail ^= before ^ Crc32Update(kCrc32Start, twin.data(), n);
    std::memcpy(&twin[n], &tail, 4);
    return twin;
}

std::set<std::string> Up(std::initializer_list<std::string> paths) {
    std::set<std::string> s;
    for (const auto& p : paths) s.insert(ToUpper(p));
    return s;
}

// A scratch folder (on C:, or on `drive`) whose files are written with the folders they lie in.
struct Tree {
    explicit Tree(const std::string& name, const std::string& drive = "C:")
        : path(drive + "\\KelvoDup-" + name + "-" + kit::Pid()) {
        RemoveTree(path);
        ::CreateDirectoryA(path.c_str(), nullptr);
    }
    ~Tree() { RemoveTree(path); }
    std::string operator/(const std::string& rel) const { return path + "\\" + rel; }
    std::string Put(const std::string& rel, const std::string& data, DWORD attributes = 0) const {
        for (size_t s = rel.find('\\'); s != std::string::npos; s = rel.find('\\', s + 1))
            ::CreateDirectoryA((*this / rel.substr(0, s)).c_str(), nullptr);
        WriteFileText(*this / rel, data);
        if (attributes) ::SetFileAttributesA((*this / rel).c_str(), attributes);
        return *this / rel;
    }
    std::string path;
};

// The rows the finder adds, as the list keeps them: separators, and files with their size text.
struct Rows : IDuplicateRows {
    std::vector<std::pair<DWORD, std::string>> rows;
    void DeleteAllRows() override { rows.clear(); }
    void BeginRows(int) override {}
    void AddSeparatorRow(DWORD data) override { rows.push_back({data, "separator"}); }
    void AddDuplicateRow(const std::string& size, DWORD data) override { rows.push_back({data, size}); }
    void EndRows() override {}
};

// Scans of scratch trees with a list folder and settings of their own.
class DupScan : public ::testing::Test {
protected:
    DuplicateScanOutcome Run(const std::vector<std::string>& roots, ICancelPoll* cancel = nullptr) {
        finder.reset(new CDuplicateFinder(rows, offsets, cancel ? *cancel : never, status, settings, list.path));
        finder->roots = roots;
        return finder->ScanDuplicates();
    }
    std::string Text(DWORD data, int column) const { return DuplicateRowText(list.path, offsets, data, column); }
    // The groups as the list draws them: long paths, each group after its separator.
    Groups Found() const {
        std::vector<std::set<std::string>> groups;
        for (const auto& r : rows.rows)
            if (r.second == "separator") groups.emplace_back();
            else if (!groups.empty()) groups.back().insert(ToUpper(Text(r.first, 1)));
        return Groups(groups.begin(), groups.end());
    }
    std::string ListBytes() const { return kit::ReadWholeFile(DuplicateListPath(list.path)); }

    kit::ScratchSettings scratch;
    Tree list {"list"};
    FileToolSettings settings;
    Rows rows;
    std::vector<uint32_t> offsets;
    kit::RecordingStatus status;
    kit::CountingCancel never;
    std::unique_ptr<CDuplicateFinder> finder;
};


// The finder's commands on the real result list, set up as the main window sets the tool up.
class DuplicatesView : public DupScan {
protected:
    void SetUp() override {
        InstallDuplicateFinder(view);
        SetDuplicateListFolder(list.path);
        view.settings.driveMask = 1 << ('E' - 'A');
    }
    void TearDown() override { SetDuplicateListFolder(""); }

    kit::ListHost host {kListDuplicates, {{"Name", 120}, {"Path", 120}, {"Size", 120}}};
    CWrenlyView& view = host.view;
};

}  // namespace

TEST(DuplicateListFile, RecordsByteForByte) {
    ScratchDir dir("duplist-bytes");
    std::string path = DuplicateListPath(dir.path());
    WriteFileText(path, "left by an earlier run");
    CDupListFile file;
    ASSERT_TRUE(file.Create(path));
    DuplicateRecord a, b;
    ASSERT_TRUE(MakeDuplicateRecord("C:\\A.TXT", 1536, FILETIME {0, 0x01C20000u}, a));
    // A file of 4 GB and more keeps its high length bits in the record's spare bytes.
    ASSERT_TRUE(MakeDuplicateRecord("C:\\B\\C.DOC", 0x100011170ull, FILETIME {5, 6}, b));
    b.shortPath[11] = 'Z';  // stale bytes after the path never reach the file
    uint32_t pa = 99, pb = 99;
    ASSERT_TRUE(file.Append(a, &pa) && file.Append(b, &pb));
    EXPECT_TRUE(pa == 0 && pb == 25) << pa << ", " << pb;
    CDupListFile display;
    EXPECT_FALSE(display.OpenForReading(path)) << "the display waits for the scan to close the file";
    file.Close();
    EXPECT_EQ(std::string("\x00\x06\x00\x00\x08\x00\x00\x00\x00\x00\x00\x00\x00\x00\xC2\x01"
                          "C:\\A.TXT\0"
                          "\x70\x11\x01\x00\x0A\x00\x01\x00\x05\x00\x00\x00\x06\x00\x00\x00"
                          "C:\\B\\C.DOC\0",
                          52),
              kit::ReadWholeFile(path));
}

TEST(DuplicateContents, EveryByteIsCompared) {
    // Files up to 1 MB are read whole at once; larger ones show their first 4 KiB, then go on
    // block by block.
    Tree t("dupbytes");
    std::string small = Pattern(3 * 4096 + 100, 11), big = Pattern(1500000, 12);
    auto changed = [](std::string s, size_t at) { return s[at] ^= 1, s; };
    struct { const char* what; const std::string& data; std::string other; bool same; } cases[] = {
        {"a copy", small, small, true},
        {"the last byte", small, changed(small, small.size() - 1), false},
        {"the first byte", small, changed(small, 0), false},
        {"a copy read in blocks", big, big, true},
        {"the last byte past the first block", big, changed(big, big.size() - 1), false},
        {"the same CRC-32 past the first block", big, CrcTwin(big, 1200000), false},
    };
    for (const auto& c : cases) {
        ContentStats stats;
        EXPECT_EQ(c.same, SameContents(t.Put("a", c.data), t.Put("b", c.other), &stats)) << c.what;
        EXPECT_TRUE(!c.same || stats.bytesRead == 2 * c.data.size()) << c.what << ": each file read once";
    }
    // A file someone is writing is nobody's copy.
    std::string a = t.Put("a", small), b = t.Put("b", small);
    HANDLE writer = ::CreateFileA(a.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_FALSE(SameContents(a, b));
    ::CloseHandle(writer);
}

TEST_F(DupScan, GroupsLargestFirstEachAfterItsSeparator) {
    Tree t("dupgroups");
    std::string song = Pattern(5000, 1), large = Pattern(2000000, 2);
    std::string s1 = t.Put("one\\A long song name.mp3", song), s2 = t.Put("two\\A long song name.mp3", song);
    std::string l1 = t.Put("one\\LARGE.WAV", large), l2 = t.Put("three\\LARGE.WAV", large);
    std::string lone = t.Put("two\\A long folder name\\x.mp3", Pattern(5000, 3));
    for (int i = 0; i < 20; ++i) t.Put("three\\F" + std::to_string(i) + ".EXE", std::string(99 + i, 'x'));
    // Each root stands for a drive: its records are sorted and written apart, and the grouping
    // merges the drives' runs.
    ASSERT_EQ(DuplicateScanOutcome::Listed, Run({t / "one", t / "two", t / "three"}));
    EXPECT_EQ((std::vector<std::pair<DWORD, std::string>> {
                  {4, "separator"}, {0, "2 MB"}, {1, "2 MB"}, {4, "separator"}, {2, "5 KB"}, {3, "5 KB"}}),
              rows.rows);
    EXPECT_EQ((Groups {Up({l1, l2}), Up({s1, s2})}), Found());
    EXPECT_EQ("A long song name.mp3", Text(2, 0));
    EXPECT_EQ("", Text(4, 1) + Text(2, 2)) << "separators and sizes are not read from the file";
    EXPECT_EQ((std::vector<std::string> {"Grouping files of same size..", "Finding duplicates..0 %",
                                         "Finding duplicates..40 %", "Finding duplicates..80 %", "Listing duplicates..",
                                         "4 possible duplicates files found from 25 files (4 MB)"}),
              std::vector<std::string>(status.messages.end() - 6, status.messages.end()));

    // The file holds a record of every candidate, by the short path the system gives.
    char shortPath[MAX_PATH] = {};
    ASSERT_GT(::GetShortPathNameA(lone.c_str(), shortPath, MAX_PATH), 0u);
    EXPECT_NE(std::string::npos, ListBytes().find(shortPath + std::string(1, '\0'))) << shortPath;
}

TEST_F(DupScan, NameTimeAndContentsAsChosen) {
    Tree t("dupcriteria");
    std::string d = Pattern(2500, 60), e = Pattern(2500, 61);
    auto put = [&](const std::string& rel, const std::string& data, DWORD time) {
        std::string p = t.Put(rel, data);
        HANDLE h = ::CreateFileA(p.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        FILETIME ft {time, 0x01D00000u};
        ::SetFileTime(h, nullptr, nullptr, &ft);
        ::CloseHandle(h);
        return p;
    };
    std::string f1 = put("a\\FIRST.ZIP", d, 0), f2 = put("b\\FIRST.ZIP", d, 1), s3 = put("b\\SECOND.ZIP", d, 0);
    std::string doc = put("a\\FIRST.DOC", d, 2), f5 = put("c\\FIRST.ZIP", e, 0);
    put("c\\ZULU.ZIP", Pattern(2500, 62), 3);  // sorts first when names are not compared, and differs
    struct { bool name, time, contents; Groups expected; } cases[] = {
        {true, false, true, {Up({f1, f2})}},  // another extension is another name
        {true, false, false, {Up({f1, f2, f5})}},
        {false, true, true, {Up({f1, s3})}},
        {true, true, true, {}},
        {false, false, true, {Up({f1, f2, s3, doc})}},
    };
    for (const auto& c : cases) {
        settings.matchName = c.name;
        settings.matchTime = c.time;
        settings.matchContents = c.contents;
        Run({t.path});
        EXPECT_EQ(c.expected, Found()) << "name " << c.name << " time " << c.time << " contents " << c.contents;
    }
}

TEST_F(DupScan, WhichFilesAreCandidates) {
    Tree t("dupkinds");
    std::string data = Pattern(1200, 70);
    // Of each name a copy in two folders; the empty ones and the system ones are no candidates.
    for (const char* name : {"LIB.DLL", "link.Lnk", "DRV.sys", "NOTES.TXT", "SONG.MP3", "EMPTY.MP3", "SYSTEM.MP3"})
        for (const char* folder : {"m\\", "n\\"})
            t.Put(folder + std::string(name), name[1] == 'M' ? "" : data, name[1] == 'Y' ? FILE_ATTRIBUTE_SYSTEM : 0);
    // Not walked: a hidden and system folder, an excluded one, and the Recycle Bins at the top
    // of the drive (the root stands for one); a folder named so further down is walked.
    for (const char* skipped : {"hs", "skip", "RECYCLED", "recycler", "$Recycle.Bin\\S-1-5-21"})
        t.Put(skipped + std::string("\\SONG.MP3"), data);
    ::SetFileAttributesA((t / "hs").c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
    WriteSettingInt("Exclude", (t / "skip").c_str(), 1);
    std::set<std::string> songs = Up({t / "m\\SONG.MP3", t / "n\\SONG.MP3", t.Put("sub\\RECYCLED\\SONG.MP3", data)}),
                          notes = Up({t / "m\\NOTES.TXT", t / "n\\NOTES.TXT"});

    Run({t.path});
    EXPECT_EQ(Groups {songs}, Found());
    EXPECT_EQ(11u, finder->filesVisited) << "counted before the type filter, without empty and system files";
    EXPECT_EQ(3u, finder->filesOpened) << "only files that share a length and a name are opened";
    settings.onlyListedTypes = 0;
    Run({t.path});
    EXPECT_EQ((Groups {songs, notes}), Found()) << "every type but DLL, LNK and SYS";
    settings.onlyListedTypes = 1;
    WriteSettingString("Settings", "DupExt", ".txtE,.mp3D");
    Run({t.path});
    EXPECT_EQ(Groups {notes}, Found()) << "the user's own endings";
}

TEST_F(DupScan, LinksAreNotCopiesOfTheirTargets) {
    Tree t("duplinks");
    std::string data = Pattern(6000, 120), original = t.Put("a\\SONG.MP3", data), copy = t.Put("c\\SONG.MP3", data);
    t.Put("b\\x", "");
    ASSERT_TRUE(::CreateHardLinkA((t / "b\\SONG.MP3").c_str(), original.c_str(), nullptr));
    // Beside a real copy, the file and its hard link are listed once, with the copy.
    for (bool contents : {true, false}) {
        settings.matchContents = contents;
        Run({t.path});
        Groups found = Found();
        ASSERT_EQ(1u, found.size()) << "contents " << contents;
        EXPECT_TRUE(found.begin()->count(ToUpper(copy)) && found.begin()->size() == 2) << "contents " << contents;
    }
}

TEST_F(DupScan, CancelLeavesTheListEmpty) {
    Tree t("dupcancel");
    for (int i = 0; i < 12; ++i) t.Put("d" + std::to_string(i) + "\\TRACK.WAV", Pattern(700, 80));
    // The walk asks once per folder (13 folders), the grouping every 10 records.
    offsets = {1, 2, 3};
    kit::CountingCancel atGrouping(14), inWalk(5);
    EXPECT_EQ(DuplicateScanOutcome::Cancelled, Run({t.path}, &atGrouping));
    EXPECT_EQ(14, atGrouping.polls);
    EXPECT_TRUE(rows.rows.empty() && offsets.empty());
    EXPECT_EQ("Cancelled", status.LastMessage());
    EXPECT_EQ(12u, finder->recordsWritten);
    EXPECT_EQ(DuplicateScanOutcome::Cancelled, Run({t.path}, &inWalk));
    EXPECT_EQ(5, inWalk.polls);
    EXPECT_EQ("", ListBytes()) << "nothing is written for the interrupted drive";

    // Files compared for long are asked about as they are read: two files of 1 GB.
    Tree big("dupcancelbig");
    for (const char* name : {"A.AVI", "B.AVI"}) {
        HANDLE h = ::CreateFileA((big / name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        LARGE_INTEGER at {};
        at.QuadPart = 1ll << 30;
        ASSERT_TRUE(::SetFilePointerEx(h, at, nullptr, FILE_BEGIN) && ::SetEndOfFile(h));
        ::CloseHandle(h);
    }
    settings.matchName = false;
    kit::CountingCancel inComparison(2);  // the walk of the one folder asks first
    EXPECT_EQ(DuplicateScanOutcome::Cancelled, Run({big.path}, &inComparison));
    EXPECT_LT(finder->bytesRead, 1ull << 31);
}

TEST_F(DuplicatesView, OnlyCopiesOutsideReferenceFoldersAreSelectedAndRecycled) {
    // Copies on E: (the drive scanned here), names not compared: one by a name the "A" calls may
    // give cut short (250 bytes), one in a folder that takes the path past 260 bytes in UTF-8 though
    // not past 260 characters.
    Tree t("gui", "E:");
    std::string deep, longName, name = u8"Ωmega 日本 😀.mp3", copy(2345, 'c');
    for (int i = 0; i < 8; ++i) deep += u8"日本語のフォルダ名";
    for (int i = 0; i < 82; ++i) longName += u8"名";
    std::vector<std::string> paths = {t.Put("keep\\" + longName + ".mp3", copy), t.Put("also\\" + name, copy),
                                      t.Put(deep + "\\" + name, copy)};
    view.settings.matchName = false;
    int stops = 0, dialogUpAtTheStop = 0;
    RunDuplicatesScan(view, status, [&] { dialogUpAtTheStop += ++stops && view.activeCancelDialog; });
    EXPECT_TRUE(stops == 1 && dialogUpAtTheStop == 1) << "the animation stops once, the cancel dialog still up";
    EXPECT_TRUE(view.activeCancelDialog == nullptr && ::IsWindowEnabled(host.window.m_hWnd));
    int keep = host.Find(1, paths[0]), also = host.Find(1, paths[1]), drop = host.Find(1, paths[2]);
    ASSERT_TRUE(keep > 0 && also > 0 && drop > 0);
    int separator = std::min({keep, also, drop}) - 1;
    EXPECT_EQ(view.groupOffsets.size(), view.Data(separator));
    EXPECT_EQ("", view.Text(separator, 0) + view.Text(separator, 1) + view.Text(separator, 2));
    EXPECT_EQ(name, view.Text(drop, 0));
    EXPECT_EQ(longName + ".mp3", view.Text(keep, 0));
    EXPECT_EQ("3 KB", view.Text(drop, 2));

    view.settings.keep.Add(KeepReferenceFolder(t / "keep"));
    host.Select(separator);
    host.Select(keep);
    EXPECT_FALSE(view.IsSelected(separator) || view.IsSelected(keep)) << "neither can ever be selected";
    host.Select(-1);
    EXPECT_TRUE(view.IsSelected(also) && view.IsSelected(drop) && !view.IsSelected(keep) &&
                !view.IsSelected(separator));
    // A file selected before its folder became a reference stays all the same.
    view.settings.keep.Add(KeepReferenceFolder(t / "also"));
    ScriptedPrompter prompter;
    prompter.answers = {IDYES};
    RunDuplicatesDeleteSelected(view, status);
    ASSERT_EQ(1u, prompter.asked.size());
    EXPECT_EQ("Send all selected file(s) to the RecycleBin? ", prompter.asked[0].text);
    EXPECT_EQ(0u, status.notes.at(0).find("Be careful when deleting duplicate files."));
    EXPECT_TRUE(!FileExists(paths[2]) && FileExists(paths[0]) && FileExists(paths[1]));
    // The rows left keep the texts the list was given, without the file they came from.
    ASSERT_TRUE(::DeleteFileA(DuplicateListPath(list.path).c_str()));
    EXPECT_TRUE(view.Count() == 3 && host.Find(1, paths[0]) > 0 && host.Find(1, paths[1]) > 0);

    // A list file that cannot be made stops the next scan before it walks: the list is emptied.
    SetDuplicateListFolder(list / "missing");
    status.messages.clear();
    stops = 0;
    RunDuplicatesScan(view, status, [&] { ++stops; });
    ASSERT_EQ(2u, prompter.asked.size());
    EXPECT_EQ("Unable to open " + list / "missing" + "\\duplist. Cannot continue", prompter.asked[1].text);
    EXPECT_EQ(static_cast<UINT>(MB_OK), prompter.asked[1].type & 0xF);
    EXPECT_TRUE(stops == 1 && view.Count() == 0 && ::IsWindowEnabled(host.window.m_hWnd));
    EXPECT_TRUE(status.messages.empty()) << "nothing was walked";
}
