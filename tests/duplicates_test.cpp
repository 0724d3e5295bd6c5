// The duplicate finder on the sandbox machine's real files: the CRC-32, the "duplist" record
// format, the endings, the contents test, and whole scans of seeded trees on E: (grouping,
// separators, status texts, progress, cancel, totals).
#include "duplicates/crc32.h"
#include "duplicates/dupendings.h"
#include "duplicates/duplist.h"
#include "duplicates/dupscan.h"
#include "duplicates/samecontents.h"
#include "files_testkit.h"
#include "framework/settings.h"
#include "framework/strings.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <random>
#include <set>

using namespace filestest;

namespace {

uint32_t BytewiseCrc(uint32_t reg, const unsigned char* p, size_t n) {
    const uint32_t* table = Crc32Table();
    while (n--) reg = (reg >> 8) ^ table[(reg ^ *p++) & 0xFF];
    return reg;
}

std::string ReadAll(const std::string& path) {
    std::string data;
    HANDLE h = ::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                             nullptr);
    if (h == INVALID_HANDLE_VALUE) return data;
    char buf[65536];
    DWORD got = 0;
    while (::ReadFile(h, buf, sizeof buf, &got, nullptr) && got > 0) data.append(buf, got);
    ::CloseHandle(h);
    return data;
}

LONGLONG SizeOf(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA d {};
    if (!::GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &d)) return -1;
    return (static_cast<LONGLONG>(d.nFileSizeHigh) << 32) | d.nFileSizeLow;
}

std::string ShortOf(const std::string& path) {
    char buf[MAX_PATH] = {};
    DWORD n = ::GetShortPathNameA(path.c_str(), buf, MAX_PATH);
    return std::string(buf, n);
}

std::string Pattern(size_t length, unsigned seed) {
    std::string s(length, '\0');
    std::mt19937 rng(seed);
    for (char& c : s) c = static_cast<char>(rng());
    return s;
}

void SetWriteTime(const std::string& path, ULONGLONG t) {
    HANDLE h = ::CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                             OPEN_EXISTING, 0, nullptr);
    FILETIME ft {static_cast<DWORD>(t), static_cast<DWORD>(t >> 32)};
    ::SetFileTime(h, nullptr, nullptr, &ft);
    ::CloseHandle(h);
}

// `data` with one byte changed and its last four bytes set so that the CRC-32 comes out as
// before: five bytes differ. (Four bytes fed into the register give G(register ^ bytes) with G
// one-to-one, so the new bytes make up for the changed register.)
std::string CrcTwin(const std::string& data, size_t at) {
    std::string twin = data;
    twin[at] ^= 0x5A;
    size_t n = data.size() - 4;
    uint32_t tail;
    std::memcpy(&tail, &twin[n], 4);
    tail ^= Crc32Update(kCrc32Start, data.data(), n) ^ Crc32Update(kCrc32Start, twin.data(), n);
    std::memcpy(&twin[n], &tail, 4);
    return twin;
}

// Makes `link` a symbolic link to the file `target`: the system's own call where it works, and
// on Wine a host symbolic link, which Wine shows as a reparse point.
bool MakeFileLink(const std::string& link, const std::string& target) {
    if (::CreateSymbolicLinkA(link.c_str(), target.c_str(), 0) &&
        ::GetFileAttributesA(link.c_str()) != INVALID_FILE_ATTRIBUTES)
        return true;
    std::string unixTarget = UnixPath(target);
    size_t slash = link.rfind('\\');
    std::string unixParent = UnixPath(link.substr(0, slash));
    if (unixTarget.empty() || unixParent.empty()) return false;
    std::string command = "\\\\?\\unix\\bin\\ln -s \"" + unixTarget + "\" \"" + unixParent + "/" +
                          link.substr(slash + 1) + "\"";
    STARTUPINFOA si {sizeof si};
    PROCESS_INFORMATION pi {};
    if (!::CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr, &si, &pi))
        return false;
    ::CloseHandle(pi.hThread);
    ::CloseHandle(pi.hProcess);
    for (int i = 0; i < 500; ++i) {
        if (::GetFileAttributesA(link.c_str()) != INVALID_FILE_ATTRIBUTES) return true;
        ::Sleep(10);
    }
    return false;
}

// The rows the finder adds, kept as the list would keep them.
class FakeRows : public IDuplicateRows {
public:
    struct Row {
        bool separator;
        DWORD data;
        std::string size;
    };
    std::vector<Row> rows;
    int announced = -1;
    bool filling = false;
    int cleared = 0;

    void DeleteAllRows() override {
        rows.clear();
        ++cleared;
    }
    void BeginRows(int n) override {
        announced = n;
        filling = true;
    }
    void AddSeparatorRow(DWORD data) override { rows.push_back({true, data, ""}); }
    void AddDuplicateRow(const std::string& size, DWORD data) override { rows.push_back({false, data, size}); }
    void EndRows() override { filling = false; }

    // The groups as lists of long paths (as the list would draw them), in list order.
    std::vector<std::vector<std::string>> Groups(const std::string& folder, const std::vector<uint32_t>& offsets) const {
        std::vector<std::vector<std::string>> groups;
        for (const Row& r : rows) {
            if (r.separator) {
                groups.emplace_back();
                continue;
            }
            if (groups.empty()) groups.emplace_back();  // a file before any separator: wrong, and seen
            groups.back().push_back(DuplicateRowText(folder, offsets, r.data, 1));
        }
        return groups;
    }
};

// One scan of a seeded tree with its own list folder and settings key.
class DupScan {
public:
    explicit DupScan(const std::string& name) : listDir("dup-" + name) {
        settings.driveMask = 0;
    }
    DuplicateScanOutcome Run(const std::vector<std::string>& roots, ICancelPoll* cancel = nullptr) {
        CountingCancel never;
        CDuplicateFinder finder(rows, groupOffsets, cancel ? *cancel : never, status, settings, listDir.path());
        finder.roots = roots;
        DuplicateScanOutcome outcome = finder.ScanDuplicates();
        filesVisited = finder.filesVisited;
        listedBytes = finder.listedBytes;
        recordsWritten = finder.recordsWritten;
        filesOpened = finder.filesOpened;
        bytesRead = finder.bytesRead;
        return outcome;
    }
    std::vector<std::vector<std::string>> Groups() const { return rows.Groups(listDir.path(), groupOffsets); }
    std::string ListPath() const { return DuplicateListPath(listDir.path()); }
    // The groups as sets, order within each left out.
    std::multiset<std::set<std::string>> GroupSets() const {
        std::multiset<std::set<std::string>> out;
        for (const auto& g : Groups()) {
            std::set<std::string> s;
            for (const auto& p : g) s.insert(ToUpper(p));
            out.insert(s);
        }
        return out;
    }

    ScratchSettings scratch;
    ScratchDir listDir;
    FileToolSettings settings;
    FakeRows rows;
    std::vector<uint32_t> groupOffsets;
    RecordingStatus status;
    uint32_t filesVisited = 0;
    uint64_t listedBytes = 0;
    uint32_t recordsWritten = 0;
    uint32_t filesOpened = 0;
    uint64_t bytesRead = 0;
};

std::set<std::string> Set(std::initializer_list<std::string> paths) {
    std::set<std::string> s;
    for (const auto& p : paths) s.insert(ToUpper(p));
    return s;
}

}  // namespace

// ---- CRC-32 ----

TEST(DuplicateCrc, StandardCheckValueAndTable) {
    EXPECT_EQ(0xCBF43926u, Crc32("123456789", 9));
    EXPECT_EQ(0u, Crc32("", 0));
    EXPECT_EQ(0x77073096u, Crc32Table()[1]);
    EXPECT_EQ(0x2D02EF8Du, Crc32Table()[255]);
}

TEST(DuplicateCrc, EightAtATimeEqualsByteAtATimeForEveryAlignmentAndLength) {
    std::string data = Pattern(5000, 7);
    const unsigned char* base = reinterpret_cast<const unsigned char*>(data.data());
    for (size_t start = 0; start < 9; ++start) {
        for (size_t n : {0u, 1u, 3u, 7u, 8u, 9u, 15u, 16u, 17u, 63u, 64u, 65u, 4096u, 4991u}) {
            uint32_t reg = 0x12345678u + static_cast<uint32_t>(n);
            ASSERT_EQ(BytewiseCrc(reg, base + start, n), Crc32Update(reg, base + start, n))
                << "start " << start << " length " << n;
        }
    }
    // Running block by block gives the register of the whole.
    uint32_t whole = Crc32Update(kCrc32Start, base, 5000);
    uint32_t parts = Crc32Update(Crc32Update(Crc32Update(kCrc32Start, base, 4096), base + 4096, 3), base + 4099, 901);
    EXPECT_EQ(whole, parts);
}

// ---- the list file ----

TEST(DuplicateListFile, TwoRecordsExactBytesAndPositions) {
    ScratchDir dir("duplist-bytes");
    CDupListFile file;
    ASSERT_TRUE(file.Create(DuplicateListPath(dir.path())));
    FILETIME t {0x00000000u, 0x01C20000u};
    DuplicateRecord a, b;
    ASSERT_TRUE(MakeDuplicateRecord("C:\\A.TXT", 1536, t, a));
    ASSERT_TRUE(MakeDuplicateRecord("C:\\B\\C.DOC", 70000, FILETIME {5, 6}, b));
    // Stale bytes after the path of an in-memory record never reach the file.
    b.shortPath[11] = 'Z';
    uint32_t pa = 99, pb = 99;
    ASSERT_TRUE(file.Append(a, &pa));
    ASSERT_TRUE(file.Append(b, &pb));
    EXPECT_EQ(0u, pa);
    EXPECT_EQ(25u, pb);
    EXPECT_EQ(52u, file.Position());

    // Read back through the same opening, which writes went through.
    DuplicateRecord r;
    ASSERT_TRUE(file.ReadAt(25, r));
    EXPECT_STREQ("C:\\B\\C.DOC", r.shortPath);
    EXPECT_EQ(70000u, r.length);
    EXPECT_EQ(10u, r.pathLength);
    EXPECT_EQ(5u, r.lastWriteTime.dwLowDateTime);
    EXPECT_EQ(6u, r.lastWriteTime.dwHighDateTime);
    ASSERT_TRUE(file.ReadAt(0, r));
    EXPECT_STREQ("C:\\A.TXT", r.shortPath);
    EXPECT_EQ(1536u, r.length);
    EXPECT_FALSE(file.ReadAt(52, r)) << "nothing lies at the end";
    EXPECT_FALSE(file.ReadAt(40, r)) << "the middle of a record holds no whole record";
    file.Close();
    EXPECT_FALSE(file.ReadAt(0, r));

    const unsigned char expectA[] = {0x00, 0x06, 0x00, 0x00, 0x08, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
                                     0x00, 0xC2, 0x01, 'C',  ':',  '\\', 'A',  '.',  'T',  'X',  'T',  0x00};
    const unsigned char expectB[] = {0x70, 0x11, 0x01, 0x00, 0x0A, 0x00, 0x00, 0x00, 0x05, 0x00, 0x00,
                                     0x00, 0x06, 0x00, 0x00, 0x00, 'C',  ':',  '\\', 'B',  '\\', 'C',
                                     '.',  'D',  'O',  'C',  0x00};
    std::string bytes = ReadAll(DuplicateListPath(dir.path()));
    ASSERT_EQ(52u, bytes.size());
    EXPECT_EQ(0, std::memcmp(bytes.data(), expectA, 25));
    EXPECT_EQ(0, std::memcmp(bytes.data() + 25, expectB, 27));
}

TEST(DuplicateListFile, CreateEmptiesSharingAndTheLargeLengthBits) {
    ScratchDir dir("duplist-share");
    std::string path = DuplicateListPath(dir.path());
    WriteFileText(path, "left by an earlier run");
    CDupListFile file;
    ASSERT_TRUE(file.Create(path));
    EXPECT_EQ(0, SizeOf(path)) << "cut to length 0";

    // While the scan holds it, others may read but not write, and the display's unshared
    // opening waits for the scan to close it.
    HANDLE reader = ::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                  0, nullptr);
    EXPECT_NE(INVALID_HANDLE_VALUE, reader);
    if (reader != INVALID_HANDLE_VALUE) ::CloseHandle(reader);
    HANDLE writer = ::CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_EXISTING, 0, nullptr);
    EXPECT_EQ(INVALID_HANDLE_VALUE, writer);
    if (writer != INVALID_HANDLE_VALUE) ::CloseHandle(writer);
    CDupListFile display;
    EXPECT_FALSE(display.OpenForReading(path));

    // A file of 4 GB and more keeps its high length bits in the record's spare bytes.
    DuplicateRecord big;
    ASSERT_TRUE(MakeDuplicateRecord("E:\\BIG.AVI", 0x100000064ull, FILETIME {}, big));
    EXPECT_EQ(0x64u, big.length);
    EXPECT_EQ(1u, big.lengthHigh);
    ASSERT_TRUE(file.Append(big));
    file.Close();
    ASSERT_TRUE(display.OpenForReading(path));
    DuplicateRecord r;
    ASSERT_TRUE(display.ReadAt(0, r));
    EXPECT_EQ(0x100000064ull, r.FileLength());

    DuplicateRecord tooLong;
    EXPECT_FALSE(MakeDuplicateRecord("C:\\" + std::string(257, 'X'), 1, FILETIME {}, tooLong));
    EXPECT_TRUE(MakeDuplicateRecord("C:\\" + std::string(256, 'X'), 1, FILETIME {}, tooLong));
}

TEST(DuplicateListFile, RowTextsComeFromTheFileInLongForm) {
    ScratchDir dir("duplist-rows");
    ScratchTree t("duprows");
    std::string longFile = t.File("A rather long file name.mp3", 10);
    std::string shortPath = ShortOf(longFile);
    ASSERT_FALSE(shortPath.empty());
    {
        CDupListFile file;
        ASSERT_TRUE(file.Create(DuplicateListPath(dir.path())));
        DuplicateRecord r;
        ASSERT_TRUE(MakeDuplicateRecord(shortPath, 10, FILETIME {}, r));
        file.Append(r);
        ASSERT_TRUE(MakeDuplicateRecord("E:\\NOSUCHDR\\GONE.MP3", 10, FILETIME {}, r));
        file.Append(r);
    }
    std::vector<uint32_t> offsets = {0, static_cast<uint32_t>(17 + shortPath.size())};
    EXPECT_TRUE(SameText(longFile, DuplicateRowText(dir.path(), offsets, 0, 1)));
    EXPECT_EQ("A rather long file name.mp3", DuplicateRowText(dir.path(), offsets, 0, 0));
    // A file gone since the scan shows the path the record holds.
    EXPECT_EQ("E:\\NOSUCHDR\\GONE.MP3", DuplicateRowText(dir.path(), offsets, 1, 1));
    EXPECT_EQ("GONE.MP3", DuplicateRowText(dir.path(), offsets, 1, 0));
    // Separator rows (one past the last index) and the size column never reach the file.
    EXPECT_EQ("", DuplicateRowText(dir.path(), offsets, 2, 1));
    EXPECT_EQ("", DuplicateRowText(dir.path(), offsets, 0, 2));
    // Without the file there are no texts.
    ::DeleteFileA(DuplicateListPath(dir.path()).c_str());
    EXPECT_EQ("", DuplicateRowText(dir.path(), offsets, 0, 1));

    EXPECT_EQ("C.DOC", FileNameOfPath("C:\\B\\C.DOC"));
    EXPECT_EQ("X.TXT", FileNameOfPath("C:X.TXT"));
    EXPECT_EQ("", FileNameOfPath("C:\\B\\"));
}

// ---- endings ----

TEST(DuplicateEndings, DefaultsStoredFormAndMatching) {
    auto defaults = DefaultDuplicateEndings();
    ASSERT_EQ(11u, defaults.size());
    EXPECT_EQ(".exeE,.mp3E,.zipE,.mpgE,.wavE,.bmpE,.jpgE,.aviE,.wmaE,.wmvE,.docE", DuplicateEndingsText(defaults));
    EXPECT_EQ(defaults, ParseDuplicateEndings(""));

    auto list = ParseDuplicateEndings(".mp3E,.aviD,E,.oggx");
    ASSERT_EQ(3u, list.size()) << "a piece without an ending is dropped";
    EXPECT_EQ((DuplicateEnding {".avi", "D"}), list[1]);
    EXPECT_TRUE(MatchesDuplicateEnding("C:\\Music\\SONG.MP3", list));
    EXPECT_FALSE(MatchesDuplicateEnding("C:\\Video\\film.avi", list)) << "kept but not in force";
    EXPECT_FALSE(MatchesDuplicateEnding("C:\\x.ogg", list)) << "only E is in force";
    EXPECT_FALSE(MatchesDuplicateEnding("p3", list)) << "shorter than the ending";
    EXPECT_TRUE(MatchesDuplicateEnding("C:\\y.ogg", ParseDuplicateEndings(".oGGe")));
    EXPECT_FALSE(MatchesDuplicateEnding("C:\\notes.txt", defaults));

    ScratchSettings scratch;
    FileToolSettings settings;
    EXPECT_EQ(defaults, LoadDuplicateEndings(settings));
    EXPECT_EQ("", settings.duplicateEndings);
    WriteSettingString("Settings", "DupExt", ".mp3E,.aviD");
    auto loaded = LoadDuplicateEndings(settings);
    EXPECT_EQ(".mp3E,.aviD", settings.duplicateEndings);
    ASSERT_EQ(2u, loaded.size());
    EXPECT_EQ((DuplicateEnding {".mp3", "E"}), loaded[0]);
}

// ---- the contents test ----

TEST(DuplicateContents, LockStepCrcOfTwoFiles) {
    ScratchTree t("dupcrc");
    std::string data = Pattern(3 * 4096 + 100, 11);
    std::string a = t / "a.bin", b = t / "b.bin", c = t / "c.bin", d = t / "d.bin", e = t / "e.bin";
    WriteFileText(a, data);
    WriteFileText(b, data);
    std::string late = data;
    late[3 * 4096 + 50] ^= 1;  // differs in the last, short block
    WriteFileText(c, late);
    std::string early = data;
    early[0] ^= 0x80;
    WriteFileText(d, early);
    WriteFileText(e, data.substr(0, 4096));  // the same first block, then ends

    ContentStats read;
    EXPECT_TRUE(SameContents(a, b, &read));
    EXPECT_EQ(2ull * data.size(), read.bytesRead) << "each file read once";
    EXPECT_FALSE(SameContents(a, c));
    EXPECT_FALSE(SameContents(a, d));
    EXPECT_FALSE(SameContents(a, e)) << "a file that ends early is not a copy of a longer one";
    EXPECT_FALSE(SameContents(e, a));
    EXPECT_FALSE(SameContents(a, t / "missing.bin"));
    EXPECT_FALSE(SameContents(t / "missing.bin", a));

    // Read-only, hidden and system files are read all the same.
    ::SetFileAttributesA(b.c_str(), FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
    EXPECT_TRUE(SameContents(a, b));
    ::SetFileAttributesA(b.c_str(), FILE_ATTRIBUTE_NORMAL);

    // A file someone holds open for writing cannot be opened and so is no duplicate.
    HANDLE writer = ::CreateFileA(b.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                  0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, writer);
    EXPECT_FALSE(SameContents(a, b));
    ::CloseHandle(writer);
    EXPECT_TRUE(SameContents(a, b));
}

TEST(DuplicateContents, SetsTooLargeToHoldOpenAreSplitAlike) {
    ScratchTree t("dupsets");
    std::string a = Pattern(9000, 40), b = Pattern(9000, 41), twin = CrcTwin(a, 5000);
    std::vector<std::string> paths;
    for (const std::string* data : {&a, &b, &a, &twin, &b, &a}) {
        paths.push_back(t / ("f" + std::to_string(paths.size())));
        WriteFileText(paths.back(), *data);
    }
    paths.push_back(t / "link");
    ASSERT_TRUE(::CreateHardLinkA(paths.back().c_str(), paths[0].c_str(), nullptr));
    std::vector<std::vector<uint32_t>> expected = {{0, 2, 5}, {1, 4}};
    for (size_t maxOpen : {size_t(4096), size_t(2)}) {
        ContentScan scan;
        scan.maxOpenFiles = maxOpen;
        EXPECT_EQ(expected, SplitByContents(paths, 9000, &scan)) << "at most " << maxOpen << " files open";
    }
}

// ---- whole scans ----

TEST(DuplicateScan, TwoCopiesInDifferentFoldersMakeOneGroupAfterASeparator) {
    ScratchTree t("dupcopies");
    std::string data = Pattern(5000, 1);
    t.Dir("one");
    t.Dir("two");
    std::string a = t / "one\\SONG.MP3", b = t / "two\\SONG.MP3";
    WriteFileText(a, data);
    WriteFileText(b, data);
    t.File("two\\OTHER.MP3", 4000);
    DupScan scan("copies");
    ASSERT_EQ(DuplicateScanOutcome::Listed, scan.Run({t.path()}));

    ASSERT_EQ(3u, scan.rows.rows.size());
    EXPECT_TRUE(scan.rows.rows[0].separator);
    EXPECT_EQ(2u, scan.rows.rows[0].data) << "a separator's data is one past the last index";
    EXPECT_FALSE(scan.rows.rows[1].separator);
    EXPECT_EQ(0u, scan.rows.rows[1].data);
    EXPECT_EQ(1u, scan.rows.rows[2].data);
    EXPECT_EQ("5 KB", scan.rows.rows[1].size);
    EXPECT_EQ(3, scan.rows.announced);
    EXPECT_FALSE(scan.rows.filling);
    EXPECT_EQ(1, scan.rows.cleared);
    EXPECT_EQ((std::multiset<std::set<std::string>> {Set({a, b})}), scan.GroupSets());
    EXPECT_EQ(3u, scan.filesVisited);
    EXPECT_EQ("2 possible duplicates files found from 3 files (1 MB)", scan.status.Last());
    EXPECT_EQ(DuplicateRowText(scan.listDir.path(), scan.groupOffsets, 0, 0), "SONG.MP3");

    // The file holds the three records, n + 17 bytes each, every one a short path of a file seen.
    std::string bytes = ReadAll(scan.ListPath());
    std::set<std::string> recorded;
    size_t at = 0;
    while (at + 17 <= bytes.size()) {
        uint16_t n;
        std::memcpy(&n, bytes.data() + at + 4, 2);
        ASSERT_LE(at + 17 + n, bytes.size());
        EXPECT_EQ('\0', bytes[at + 16 + n]);
        uint16_t spare;
        std::memcpy(&spare, bytes.data() + at + 6, 2);
        EXPECT_EQ(0, spare);
        recorded.insert(ToUpper(std::string(bytes.data() + at + 16, n)));
        at += 17 + n;
    }
    EXPECT_EQ(bytes.size(), at);
    EXPECT_EQ(Set({ShortOf(a), ShortOf(b), ShortOf(t / "two\\OTHER.MP3")}), recorded);
}

TEST(DuplicateScan, RecordsHoldTheShortPathsTheSystemGives) {
    ScratchTree t("dupshort");
    t.Dir("A folder with a long name");
    t.Dir("A folder with a long name\\and another one");
    t.Dir("SHORT");
    std::vector<std::string> files = {t / "A folder with a long name\\Some long file name.mp3",
                                      t / "A folder with a long name\\and another one\\x.mp3",
                                      t / "A folder with a long name\\and another one\\Mixed Case Name.Mp3",
                                      t / "SHORT\\lower.mp3", t / "top level file.mp3"};
    for (size_t i = 0; i < files.size(); ++i) WriteFileText(files[i], std::string(100 + i, 'k'));
    DupScan scan("short");
    scan.Run({t.path()});
    std::string bytes = ReadAll(scan.ListPath());
    std::set<std::string> recorded, expected;
    for (size_t at = 0; at + 17 <= bytes.size();) {
        uint16_t n;
        std::memcpy(&n, bytes.data() + at + 4, 2);
        recorded.insert(std::string(bytes.data() + at + 16, n));
        at += 17 + n;
    }
    for (const auto& f : files) expected.insert(ShortOf(f));
    EXPECT_EQ(expected, recorded);
}

TEST(DuplicateScan, ContentsTestOnAndOff) {
    ScratchTree t("dupcontents");
    t.Dir("x");
    t.Dir("y");
    std::string a = t / "x\\CLIP.AVI", b = t / "y\\CLIP.AVI";
    WriteFileText(a, Pattern(9000, 2));
    WriteFileText(b, Pattern(9000, 3));
    DupScan on("contents-on");
    on.Run({t.path()});
    EXPECT_TRUE(on.rows.rows.empty());
    EXPECT_EQ("0 possible duplicates files found from 2 files (0 MB)", on.status.Last());

    DupScan off("contents-off");
    off.settings.matchContents = false;
    off.Run({t.path()});
    EXPECT_EQ((std::multiset<std::set<std::string>> {Set({a, b})}), off.GroupSets());
}

TEST(DuplicateScan, RecordsMatchingEachOtherButNotTheFirstAreFound) {
    // A sorts first (the largest name) and differs; B and C are identical.
    ScratchTree t("dupabc");
    std::string a = t / "Z.MP3", b = t / "C.MP3", c = t / "B.MP3";
    WriteFileText(a, Pattern(6000, 20));
    WriteFileText(b, Pattern(6000, 21));
    WriteFileText(c, Pattern(6000, 21));
    DupScan scan("abc");
    scan.settings.matchName = false;
    scan.Run({t.path()});
    EXPECT_EQ((std::multiset<std::set<std::string>> {Set({b, c})}), scan.GroupSets());
    EXPECT_EQ(3u, scan.rows.rows.size());

    // The same with equal names in three folders, whatever order the walk met them in.
    ScratchTree u("dupabc2");
    u.Dir("1");
    u.Dir("2");
    u.Dir("3");
    std::string a2 = u / "1\\SAME.MP3", b2 = u / "2\\SAME.MP3", c2 = u / "3\\SAME.MP3";
    WriteFileText(a2, Pattern(6000, 30));
    WriteFileText(b2, Pattern(6000, 31));
    WriteFileText(c2, Pattern(6000, 31));
    DupScan named("abc-named");
    named.Run({u.path()});
    EXPECT_EQ((std::multiset<std::set<std::string>> {Set({b2, c2})}), named.GroupSets());
}

TEST(DuplicateScan, TwoGroupsOfTwoGiveSixRowsAndAStatusStartingWith4) {
    ScratchTree t("duptwo");
    // Two groups of one length (names not compared) and a third, unmatched file of that length.
    std::string a1 = t / "A1.JPG", a2 = t / "A2.JPG", b1 = t / "B1.JPG", b2 = t / "B2.JPG", lone = t / "C.JPG";
    WriteFileText(a1, Pattern(3000, 40));
    WriteFileText(b1, Pattern(3000, 41));
    WriteFileText(a2, Pattern(3000, 40));
    WriteFileText(lone, Pattern(3000, 42));
    WriteFileText(b2, Pattern(3000, 41));
    DupScan scan("two");
    scan.settings.matchName = false;
    scan.Run({t.path()});
    ASSERT_EQ(6u, scan.rows.rows.size());
    EXPECT_TRUE(scan.rows.rows[0].separator);
    EXPECT_TRUE(scan.rows.rows[3].separator);
    for (int i : {1, 2, 4, 5}) EXPECT_FALSE(scan.rows.rows[i].separator);
    for (const auto& r : scan.rows.rows) {
        if (r.separator) {
            EXPECT_EQ(4u, r.data);
        }
    }
    EXPECT_EQ((std::multiset<std::set<std::string>> {Set({a1, a2}), Set({b1, b2})}), scan.GroupSets());
    EXPECT_EQ(0u, scan.status.Last().find("4 possible duplicates files found from 5 files"));

    // Groups of different lengths come largest first, each after its own separator.
    ScratchTree u("duptwo2");
    u.Dir("p");
    u.Dir("q");
    std::string s1 = u / "p\\SMALL.WAV", s2 = u / "q\\SMALL.WAV", l1 = u / "p\\LARGE.WAV", l2 = u / "q\\LARGE.WAV";
    WriteFileText(s1, Pattern(100, 50));
    WriteFileText(s2, Pattern(100, 50));
    WriteFileText(l1, Pattern(2000000, 51));
    WriteFileText(l2, Pattern(2000000, 51));
    DupScan sized("two-sized");
    sized.Run({u.path()});
    auto groups = sized.Groups();
    ASSERT_EQ(2u, groups.size());
    EXPECT_EQ(Set({l1, l2}), std::set<std::string>({ToUpper(groups[0][0]), ToUpper(groups[0][1])}));
    EXPECT_EQ("2 MB", sized.rows.rows[1].size);
    EXPECT_EQ("1 KB", sized.rows.rows[4].size);
    EXPECT_EQ("4 possible duplicates files found from 4 files (4 MB)", sized.status.Last());
}

TEST(DuplicateScan, NameAndTimeTests) {
    ScratchTree t("dupnames");
    t.Dir("a");
    t.Dir("b");
    std::string data = Pattern(2500, 60);
    std::string one = t / "a\\FIRST.ZIP", two = t / "b\\SECOND.ZIP", three = t / "b\\FIRST.ZIP";
    // The same name with another extension is another name.
    std::string other = t / "a\\FIRST.DOC";
    WriteFileText(one, data);
    WriteFileText(two, data);
    WriteFileText(three, data);
    WriteFileText(other, data);
    SetWriteTime(one, 0x01D0000000000000ull);
    SetWriteTime(two, 0x01D0000000000000ull);
    SetWriteTime(three, 0x01D0000000000001ull);
    SetWriteTime(other, 0x01D0000000000002ull);

    DupScan byName("names");
    byName.Run({t.path()});
    EXPECT_EQ((std::multiset<std::set<std::string>> {Set({one, three})}), byName.GroupSets());

    DupScan byTime("times");
    byTime.settings.matchName = false;
    byTime.settings.matchTime = true;
    byTime.Run({t.path()});
    EXPECT_EQ((std::multiset<std::set<std::string>> {Set({one, two})}), byTime.GroupSets());

    DupScan both("name-and-time");
    both.settings.matchTime = true;
    both.Run({t.path()});
    EXPECT_TRUE(both.rows.rows.empty());

    // Long names are compared in the short form the records hold: copies of one long name in
    // two folders share it.
    ScratchTree u("duplong");
    u.Dir("x");
    u.Dir("y");
    std::string l1 = u / "x\\Holiday video number one.avi", l2 = u / "y\\Holiday video number one.avi";
    WriteFileText(l1, data);
    WriteFileText(l2, data);
    if (ShortOf(l1).substr(ShortOf(l1).rfind('\\')) == ShortOf(l2).substr(ShortOf(l2).rfind('\\'))) {
        DupScan longNames("long-names");
        longNames.Run({u.path()});
        EXPECT_EQ((std::multiset<std::set<std::string>> {Set({l1, l2})}), longNames.GroupSets());
    }
}

TEST(DuplicateScan, WhichFilesAreCandidates) {
    ScratchTree t("dupkinds");
    t.Dir("m");
    t.Dir("n");
    std::string data = Pattern(1200, 70);
    std::vector<std::string> names = {"LIB.DLL", "link.Lnk", "DRV.sys", "NOTES.TXT", "SONG.MP3"};
    for (const auto& name : names) {
        WriteFileText(t / ("m\\" + name), data);
        WriteFileText(t / ("n\\" + name), data);
    }
    t.File("m\\EMPTY.MP3", 0);
    t.File("n\\EMPTY.MP3", 0);
    std::string sys1 = t.File("m\\SYSTEM.MP3", 10, FILE_ATTRIBUTE_SYSTEM);
    std::string sys2 = t.File("n\\SYSTEM.MP3", 10, FILE_ATTRIBUTE_SYSTEM);
    // A hidden and system folder is not entered.
    t.Dir("hs");
    WriteFileText(t / "hs\\SONG.MP3", data);
    ::SetFileAttributesA((t / "hs").c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);

    DupScan listed("kinds-listed");
    listed.Run({t.path()});
    EXPECT_EQ((std::multiset<std::set<std::string>> {Set({t / "m\\SONG.MP3", t / "n\\SONG.MP3"})}),
              listed.GroupSets());
    EXPECT_EQ(10u, listed.filesVisited) << "counted before the type filter, without empty and system files";
    EXPECT_EQ(2u, listed.filesOpened) << "only files that share a length and a name are opened";

    DupScan all("kinds-all");
    all.settings.onlyListedTypes = 0;
    all.Run({t.path()});
    EXPECT_EQ((std::multiset<std::set<std::string>> {Set({t / "m\\SONG.MP3", t / "n\\SONG.MP3"}),
                                                     Set({t / "m\\NOTES.TXT", t / "n\\NOTES.TXT"})}),
              all.GroupSets());
    EXPECT_EQ(4u, all.recordsWritten);

    // The user's own list of endings.
    DupScan own("kinds-own");
    WriteSettingString("Settings", "DupExt", ".txtE,.mp3D");
    own.Run({t.path()});
    EXPECT_EQ((std::multiset<std::set<std::string>> {Set({t / "m\\NOTES.TXT", t / "n\\NOTES.TXT"})}), own.GroupSets());
    ::SetFileAttributesA(sys1.c_str(), FILE_ATTRIBUTE_NORMAL);
    ::SetFileAttributesA(sys2.c_str(), FILE_ATTRIBUTE_NORMAL);
    ::SetFileAttributesA((t / "hs").c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST(DuplicateScan, NothingQualifiesLeavesAnEmptyListFile) {
    ScratchTree t("dupnone");
    t.File("notes.txt", 50);
    DupScan scan("none");
    WriteFileText(scan.ListPath(), "an earlier scan");
    EXPECT_EQ(DuplicateScanOutcome::Listed, scan.Run({t.path()}));
    EXPECT_EQ(0, SizeOf(scan.ListPath()));
    EXPECT_TRUE(scan.rows.rows.empty());
    EXPECT_EQ("0 possible duplicates files found from 1 files (0 MB)", scan.status.Last());

    // Drives that are not fixed disks are not walked; neither is a drive left out of the mask.
    DupScan drives("none-drives");
    drives.settings.driveMask = (1 << 0) | (1 << 3);  // the floppy A: and the CD-ROM D:
    EXPECT_EQ(DuplicateScanOutcome::Listed, drives.Run({}));
    EXPECT_EQ(0u, drives.filesVisited);
    EXPECT_EQ(0, SizeOf(drives.ListPath()));
    EXPECT_FALSE(drives.status.Showed("Writing Data..."));
}

TEST(DuplicateScan, ProgressTextsFor25Records) {
    ScratchTree t("dupprogress");
    for (int i = 0; i < 25; ++i) t.File("F" + std::to_string(i) + ".EXE", 100 + i);
    DupScan scan("progress");
    scan.Run({t.path()});
    std::vector<std::string> progress;
    bool grouping = false;
    for (const auto& s : scan.status.bar) {
        if (s == "Grouping files of same size..") grouping = true;
        if (grouping) progress.push_back(s);
    }
    EXPECT_EQ((std::vector<std::string> {"Grouping files of same size..", "Finding duplicates..0 %",
                                         "Finding duplicates..40 %", "Finding duplicates..80 %",
                                         "Listing duplicates..",
                                         "0 possible duplicates files found from 25 files (0 MB)"}),
              progress);
    // Walk texts come before: the folder, then the writing of the drive's records.
    auto writing = std::find(scan.status.bar.begin(), scan.status.bar.end(), "Writing Data...");
    ASSERT_NE(scan.status.bar.end(), writing);
    EXPECT_EQ(t.path(), scan.status.bar.front());
    EXPECT_EQ("", *(writing + 1));
}

TEST(DuplicateScan, CancelDuringWalkOrGroupingLeavesTheListEmpty) {
    ScratchTree t("dupcancel");
    std::string data = Pattern(700, 80);
    for (int i = 0; i < 12; ++i) {
        t.Dir("d" + std::to_string(i));
        WriteFileText(t / ("d" + std::to_string(i) + "\\TRACK.WAV"), data);
    }
    // The walk polls once per folder (13 folders), the grouping every 10 records.
    DupScan grouping("cancel-grouping");
    grouping.groupOffsets = {1, 2, 3};
    CountingCancel atGrouping(14);
    EXPECT_EQ(DuplicateScanOutcome::Cancelled, grouping.Run({t.path()}, &atGrouping));
    EXPECT_EQ(14, atGrouping.polls);
    EXPECT_TRUE(grouping.rows.rows.empty());
    EXPECT_TRUE(grouping.groupOffsets.empty());
    EXPECT_EQ("Cancelled", grouping.status.Last());
    EXPECT_EQ(12u, grouping.recordsWritten);

    DupScan walk("cancel-walk");
    CountingCancel inWalk(5);
    EXPECT_EQ(DuplicateScanOutcome::Cancelled, walk.Run({t.path()}, &inWalk));
    EXPECT_EQ(5, inWalk.polls);
    EXPECT_TRUE(walk.rows.rows.empty());
    EXPECT_EQ(0, SizeOf(walk.ListPath())) << "nothing is written for the interrupted drive";
    EXPECT_FALSE(walk.status.Showed("Writing Data..."));
    EXPECT_FALSE(walk.status.Showed("Grouping files of same size.."));
    EXPECT_EQ(0u, walk.status.Last().find(t.path())) << "the last folder shown stays";

    DupScan whole("cancel-none");
    CountingCancel never;
    EXPECT_EQ(DuplicateScanOutcome::Listed, whole.Run({t.path()}, &never));
    EXPECT_EQ(12u, whole.groupOffsets.size());
    EXPECT_EQ(13u, whole.rows.rows.size());
}

TEST(DuplicateScan, TotalOfAPairOf5000000Bytes) {
    ScratchTree t("duptotal");
    t.Dir("a");
    t.Dir("b");
    std::string data = Pattern(5000000, 90);
    WriteFileText(t / "a\\MOVIE.MPG", data);
    WriteFileText(t / "b\\MOVIE.MPG", data);
    DupScan scan("total");
    scan.Run({t.path()});
    ASSERT_EQ(3u, scan.rows.rows.size());
    EXPECT_EQ("5 MB", scan.rows.rows[1].size);
    EXPECT_EQ(10000000u, scan.listedBytes);
    EXPECT_EQ("2 possible duplicates files found from 2 files (10 MB)", scan.status.Last());
}

TEST(DuplicateScan, FilesOf4GBAndMoreAreNotTakenForSmallOnes) {
    ScratchTree t("dupbig");
    t.Dir("a");
    t.Dir("b");
    std::string big = t / "a\\DISK.ZIP", small = t / "b\\DISK.ZIP";
    HANDLE h = ::CreateFileA(big.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, h);
    LARGE_INTEGER at;
    at.QuadPart = 0x100000000ll + 100;
    bool sized = ::SetFilePointerEx(h, at, nullptr, FILE_BEGIN) && ::SetEndOfFile(h);
    ::CloseHandle(h);
    if (!sized || SizeOf(big) != 0x100000000ll + 100) GTEST_SKIP() << "the sandbox disk takes no 4 GB file";
    t.File("b\\DISK.ZIP", 100);
    DupScan scan("big");
    scan.settings.matchContents = false;
    scan.Run({t.path()});
    EXPECT_TRUE(scan.rows.rows.empty());
    EXPECT_EQ(2u, scan.recordsWritten);
}

TEST(DuplicateScan, ExcludedFoldersAndTheListFileFailure) {
    ScratchTree t("dupexclude");
    t.Dir("keep");
    t.Dir("skip");
    std::string data = Pattern(800, 100);
    WriteFileText(t / "keep\\A.BMP", data);
    WriteFileText(t / "skip\\A.BMP", data);
    WriteFileText(t / "A.BMP", data);
    DupScan scan("exclude");
    WriteSettingInt("Exclude", (t / "skip").c_str(), 1);
    scan.Run({t.path()});
    EXPECT_EQ((std::multiset<std::set<std::string>> {Set({t / "keep\\A.BMP", t / "A.BMP"})}), scan.GroupSets());

    DupScan failing("failing");
    failing.rows.rows.push_back({false, 0, "1 KB"});
    CountingCancel never;
    CDuplicateFinder finder(failing.rows, failing.groupOffsets, never, failing.status,
                            failing.settings, failing.listDir / "no such folder");
    finder.roots = {t.path()};
    EXPECT_EQ(DuplicateScanOutcome::ListFileFailed, finder.ScanDuplicates());
    EXPECT_TRUE(failing.rows.rows.empty()) << "the list is emptied before the file is made";
    EXPECT_EQ(0u, finder.filesVisited);
    EXPECT_TRUE(failing.status.bar.empty());
    EXPECT_EQ("Unable to open " + failing.listDir.path() + "\\no such folder\\duplist. Cannot continue",
              DuplicateListFailureText(failing.listDir / "no such folder"));
}

TEST(DuplicateScan, CompareRecordsOrdersByLengthThenName) {
    ScratchDir dir("dupcompare");
    FakeRows rows;
    std::vector<uint32_t> offsets;
    RecordingStatus status;
    CountingCancel cancel;
    FileToolSettings settings;
    CDuplicateFinder finder(rows, offsets, cancel, status, settings, dir.path());
    EXPECT_EQ(0, finder.CompareRecords(0, 0)) << "no file open";
    ASSERT_TRUE(finder.CreateListFile());
    auto add = [&](const char* path, uint64_t length) {
        DuplicateRecord r;
        MakeDuplicateRecord(path, length, FILETIME {}, r);
        uint32_t pos = 0;
        finder.listFile().Append(r, &pos);
        return pos;
    };
    uint32_t small = add("C:\\Z\\ZZZ.TXT", 10);
    uint32_t large = add("C:\\A\\AAA.TXT", 20);
    uint32_t abc = add("C:\\B\\abc.DOC", 20);
    uint32_t abcUpper = add("C:\\C\\ABC.TXT", 20);
    uint32_t huge = add("C:\\H.TXT", 0x100000005ull);
    EXPECT_LT(finder.CompareRecords(large, small), 0);
    EXPECT_GT(finder.CompareRecords(small, large), 0);
    EXPECT_LT(finder.CompareRecords(huge, large), 0) << "lengths compare in full";
    EXPECT_LT(finder.CompareRecords(abc, large), 0) << "the larger name first";
    EXPECT_GT(finder.CompareRecords(large, abc), 0);
    EXPECT_EQ(0, finder.CompareRecords(abc, abcUpper)) << "names without extension, case ignored";
}

TEST(DuplicateScan, CopiesOnSeveralDrivesMeetInOneGroup) {
    // Each root stands for a drive: its records are sorted and written apart, and the grouping
    // merges the drives' runs.
    ScratchTree t("dupdrives");
    std::string data = Pattern(4321, 170);
    std::vector<std::string> roots, copies;
    for (int d = 0; d < 5; ++d) {
        roots.push_back(t.Dir("drive" + std::to_string(d)));
        for (char c = 'A'; c <= 'H'; ++c) {
            std::string name = std::string(1, c) + ".MP3";
            if (c == 'D') {
                copies.push_back(t / ("drive" + std::to_string(d) + "\\" + name));
                WriteFileText(copies.back(), data);
            } else {
                WriteFileText(t / ("drive" + std::to_string(d) + "\\" + name), Pattern(4321, 180 + d * 10 + c));
            }
        }
    }
    DupScan scan("drives");
    scan.Run(roots);
    EXPECT_EQ((std::multiset<std::set<std::string>> {Set({copies[0], copies[1], copies[2], copies[3], copies[4]})}),
              scan.GroupSets());
}

TEST(DuplicateScan, EqualCrcIsNotEqualContents) {
    // Five bytes differ and the CRC-32 agrees: in a file of one block, and in the block after
    // the first of a longer file.
    ScratchTree t("dupcrcpair");
    t.Dir("a");
    t.Dir("b");
    std::string one = Pattern(4096, 110);
    std::string twin = CrcTwin(one, 100);
    ASSERT_EQ(Crc32(one.data(), one.size()), Crc32(twin.data(), twin.size()));
    std::string head = Pattern(4096, 111), tail = Pattern(5000, 112);
    std::string longer = head + tail, longerTwin = head + CrcTwin(tail, 2000);
    ASSERT_EQ(Crc32(tail.data(), tail.size()), Crc32(longerTwin.data() + 4096, tail.size()));
    for (const char* folder : {"a", "b"}) {
        bool first = folder[0] == 'a';
        WriteFileText(t / (std::string(folder) + "\\PAIR.ZIP"), first ? one : twin);
        WriteFileText(t / (std::string(folder) + "\\LONGER.ZIP"), first ? longer : longerTwin);
    }
    DupScan scan("crcpair");
    scan.Run({t.path()});
    EXPECT_TRUE(scan.rows.rows.empty());
    EXPECT_EQ(4u, scan.filesOpened);
}

TEST(DuplicateScan, LinksAreNotCopiesOfTheirTargets) {
    ScratchTree t("duplinks");
    for (const char* d : {"a", "b", "c", "d"}) t.Dir(d);
    std::string data = Pattern(6000, 120);
    std::string original = t / "a\\SONG.MP3", hardLink = t / "b\\SONG.MP3", symLink = t / "c\\SONG.MP3";
    WriteFileText(original, data);
    ASSERT_TRUE(::CreateHardLinkA(hardLink.c_str(), original.c_str(), nullptr));
    ASSERT_TRUE(MakeFileLink(symLink, original));
    ASSERT_TRUE(data == ReadAll(symLink)) << "the link reads as its target";

    for (bool contents : {true, false}) {
        DupScan alone(contents ? "links" : "links-names");
        alone.settings.matchContents = contents;
        alone.Run({t.path()});
        EXPECT_TRUE(alone.rows.rows.empty()) << "a file, a hard link to it and a symbolic link to it are one file";
    }

    // Beside a real copy, the file is listed once, with the copy.
    std::string copy = t / "d\\SONG.MP3";
    WriteFileText(copy, data);
    for (bool contents : {true, false}) {
        DupScan withCopy(contents ? "links-copy" : "links-copy-names");
        withCopy.settings.matchContents = contents;
        withCopy.Run({t.path()});
        auto groups = withCopy.GroupSets();
        ASSERT_EQ(1u, groups.size());
        const auto& group = *groups.begin();
        EXPECT_EQ(2u, group.size());
        EXPECT_EQ(1u, group.count(ToUpper(copy)));
        EXPECT_EQ(1u, group.count(ToUpper(original)) + group.count(ToUpper(hardLink)));
    }
}

TEST(DuplicateScan, SameLengthFilesThatDifferOnlyAtTheEndAreReadOnceAndNotListed) {
    ScratchTree t("duplast");
    std::string data = Pattern(10000, 130);
    for (int i = 0; i < 30; ++i) {
        t.Dir("d" + std::to_string(i));
        data.back() = static_cast<char>(i);
        WriteFileText(t / ("d" + std::to_string(i) + "\\TRACK.WAV"), data);
    }
    // Files too large to be read whole at once, whose first blocks differ, are read no
    // further than that block.
    std::string clip = Pattern(3000000, 131);
    for (int i = 0; i < 10; ++i) {
        t.Dir("e" + std::to_string(i));
        clip[0] = static_cast<char>(i);
        WriteFileText(t / ("e" + std::to_string(i) + "\\CLIP.WAV"), clip);
    }
    DupScan scan("lastbyte");
    scan.Run({t.path()});
    EXPECT_TRUE(scan.rows.rows.empty());
    EXPECT_EQ("0 possible duplicates files found from 40 files (0 MB)", scan.status.Last());
    EXPECT_EQ(40u, scan.filesOpened);
    EXPECT_EQ(30u * 10000 + 10u * 4096, scan.bytesRead);
}

TEST(DuplicateScan, RecycleBinsAtTheTopAreNotWalked) {
    ScratchTree t("dupbins");
    std::string data = Pattern(3300, 140);
    std::vector<std::string> walked = {t / "a\\TUNE.MP3", t / "b\\TUNE.MP3", t / "sub\\RECYCLED\\TUNE.MP3"};
    for (const char* d : {"a", "b", "sub", "sub\\RECYCLED", "RECYCLED", "recycler", "$Recycle.Bin", "$Recycle.Bin\\S-1-5-21"})
        t.Dir(d);
    for (const auto& p : walked) WriteFileText(p, data);
    for (const char* p : {"RECYCLED\\TUNE.MP3", "recycler\\TUNE.MP3", "$Recycle.Bin\\S-1-5-21\\TUNE.MP3"})
        WriteFileText(t / p, data);
    DupScan scan("bins");
    scan.Run({t.path()});
    EXPECT_EQ((std::multiset<std::set<std::string>> {Set({walked[0], walked[1], walked[2]})}), scan.GroupSets());
    EXPECT_EQ(3u, scan.filesVisited);
}

TEST(DuplicateScan, NamesInAnyLanguage) {
    ScratchTree t("dupworld");
    t.Dir("x");
    t.Dir(u8"y Ωmega 日本 😀");
    // The last name is 250 bytes long in UTF-8 (the most a host file system under Wine keeps is
    // 255): a name that may have been cut short, opened by its short path.
    std::string longName;
    for (int i = 0; i < 82; ++i) longName += u8"名";
    std::vector<std::string> names = {u8"Ωmega.mp3", u8"日本語の歌.mp3", u8"😀.mp3", longName + ".mp3"};
    std::multiset<std::set<std::string>> expected;
    for (size_t i = 0; i < names.size(); ++i) {
        std::string data = Pattern(2000, 150 + static_cast<unsigned>(i));
        std::string a = t / ("x\\" + names[i]), b = t / (u8"y Ωmega 日本 😀\\" + names[i]);
        ASSERT_TRUE(WriteFileText(a, data));
        ASSERT_TRUE(WriteFileText(b, data));
        expected.insert(Set({a, b}));
    }
    // The name "Ωmega.mp3" fits the code page of an older Windows as this one.
    WriteFileText(t / "x\\Omega.mp3", Pattern(2000, 160));
    DupScan scan("world");
    scan.Run({t.path()});
    EXPECT_EQ(expected, scan.GroupSets());
    std::set<std::string> shownNames;
    for (const auto& r : scan.rows.rows)
        if (!r.separator) shownNames.insert(DuplicateRowText(scan.listDir.path(), scan.groupOffsets, r.data, 0));
    EXPECT_EQ(std::set<std::string>(names.begin(), names.end()), shownNames);
}

TEST(DuplicateNames, APathNamesTheFileMetOnlyWithItsLengthAndTime) {
    // Where names come back altered, the record's path is checked against the file the walk met.
    ScratchTree t("dupnamed");
    std::string path = t.File("TUNE.MP3", 700);
    SetWriteTime(path, 0x01D0000000000005ull);
    FILETIME time {0x00000005u, 0x01D00000u};
    FILETIME other {0x00000006u, 0x01D00000u};
    struct Case {
        const char* what;
        std::string path;
        uint64_t length;
        FILETIME time;
        bool names;
    } cases[] = {
        {"the file met", path, 700, time, true},
        {"another length", path, 701, time, false},
        {"another time", path, 700, other, false},
        {"no such file", t / "TUNE2.MP3", 700, time, false},
    };
    for (const Case& c : cases) EXPECT_EQ(c.names, PathNamesTheFile(c.path, c.length, c.time, 1252)) << c.what;
}
