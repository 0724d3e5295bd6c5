// Duplicate finder rates on a seeded tree:
//   scripts/bench duplicates_bench [files=20000] [large-mb=32] [root=E:\KelvoDupBench]
// Seeds `files` candidate files (.mp3/.jpg/.exe/.doc) in folders of 50, three levels deep, with
// lengths drawn from a narrow range so that many share a length, one in ten a real copy of an
// earlier file under the same name in another folder, one in ten a same-named file of the same
// length with other contents; and four large files of `large-mb` MB (two copies, two that differ
// only in their last block). Prints the CRC-32 rate in memory, then for a scan with the default
// criteria and one without the name test: files per second, MB per second run through the CRC,
// the groups found, the memory held per candidate file and the peak memory of the process.
#include "bench_support.h"
#include "duplicates/crc32.h"
#include "duplicates/dupscan.h"

#include <windows.h>
#include <psapi.h>

#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

namespace {

class CountingRows : public IDuplicateRows {
public:
    long separators = 0, files = 0;
    void DeleteAllRows() override { separators = files = 0; }
    void BeginRows(int) override {}
    void AddSeparatorRow(DWORD) override { ++separators; }
    void AddDuplicateRow(const std::string&, DWORD) override { ++files; }
    void EndRows() override {}
};

// Notes when the grouping starts, so the walk and the grouping are timed apart.
class TimingStatus : public IStatusSink {
public:
    LARGE_INTEGER groupingStart {};
    std::string last;
    void SetStatusText(const std::string& text, int) override {
        if (text == "Grouping files of same size..") groupingStart = Now();
        last = text;
    }
    void ShowNotifierText(const std::string&) override {}
};

bool WriteBytes(const std::string& path, const std::string& data) {
    HANDLE h = ::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    DWORD w = 0;
    bool ok = ::WriteFile(h, data.data(), static_cast<DWORD>(data.size()), &w, nullptr) && w == data.size();
    ::CloseHandle(h);
    return ok;
}

std::string Folder(const std::string& root, long folder) {
    std::string a = root + "\\a" + std::to_string(folder / 100);
    std::string b = a + "\\b" + std::to_string((folder / 10) % 10);
    std::string c = b + "\\c" + std::to_string(folder);
    ::CreateDirectoryA(a.c_str(), nullptr);
    ::CreateDirectoryA(b.c_str(), nullptr);
    ::CreateDirectoryA(c.c_str(), nullptr);
    return c;
}

struct Seeded {
    long files = 0, copies = 0, sameNameOther = 0;
    double megabytes = 0;
};

Seeded Seed(const std::string& root, long files, int largeMb) {
    ::CreateDirectoryA(root.c_str(), nullptr);
    static const char* const kEndings[] = {".mp3", ".jpg", ".exe", ".doc"};
    std::mt19937 rng(12345);
    Seeded s;
    struct Made {
        std::string name, data;
    };
    std::vector<Made> recent;  // a window of earlier files to copy from
    const int perFolder = 50;
    for (long folder = 0; s.files < files; ++folder) {
        std::string dir = Folder(root, folder);
        for (int i = 0; i < perFolder && s.files < files; ++i) {
            int kind = static_cast<int>(rng() % 10);
            Made m;
            if (kind == 0 && !recent.empty()) {
                m = recent[rng() % recent.size()];
                ++s.copies;
            } else if (kind == 1 && !recent.empty()) {
                m = recent[rng() % recent.size()];
                for (char& c : m.data) c = static_cast<char>(rng());
                ++s.sameNameOther;
            } else {
                m.name = "f" + std::to_string(s.files) + kEndings[s.files % 4];
                // 2000 to 12000 bytes: about 20000 files share 10000 lengths.
                m.data.resize(2000 + rng() % 10000);
                for (char& c : m.data) c = static_cast<char>(rng());
                if (recent.size() < 64) recent.push_back(m);
                else recent[rng() % recent.size()] = m;
            }
            // A copy may land in the folder of its original: then it is a new name.
            std::string path = dir + "\\" + m.name;
            while (::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES) {
                m.name = "x" + m.name;
                path = dir + "\\" + m.name;
            }
            WriteBytes(path, m.data);
            s.megabytes += m.data.size() / 1048576.0;
            ++s.files;
        }
    }
    // Large files: two copies, and two of the same length that differ only at the end.
    std::string large(static_cast<size_t>(largeMb) * 1048576, '\0');
    for (char& c : large) c = static_cast<char>(rng());
    std::string big = root + "\\big";
    ::CreateDirectoryA(big.c_str(), nullptr);
    ::CreateDirectoryA((big + "\\1").c_str(), nullptr);
    ::CreateDirectoryA((big + "\\2").c_str(), nullptr);
    WriteBytes(big + "\\1\\movie.avi", large);
    WriteBytes(big + "\\2\\movie.avi", large);
    large.back() ^= 1;
    WriteBytes(big + "\\1\\other.avi", large);
    large.back() ^= 2;
    WriteBytes(big + "\\2\\other.avi", large);
    s.files += 4;
    s.megabytes += 4.0 * largeMb;
    return s;
}

void CrcRate() {
    std::string data(64 * 1048576, '\0');
    std::mt19937 rng(1);
    for (char& c : data) c = static_cast<char>(rng());
    const uint32_t* table = Crc32Table();
    LARGE_INTEGER a = Now();
    uint32_t reg = kCrc32Start;
    for (unsigned char b : data) reg = (reg >> 8) ^ table[(reg ^ b) & 0xFF];
    LARGE_INTEGER b = Now();
    uint32_t fast = Crc32Update(kCrc32Start, data.data(), data.size());
    LARGE_INTEGER c = Now();
    std::printf("crc-32 in memory: byte-at-a-time %.0f MB/s, eight at a time %.0f MB/s (%s)\n",
                64 / Seconds(a, b), 64 / Seconds(b, c), reg == fast ? "same result" : "RESULTS DIFFER");
}

void Scan(const char* label, const std::string& root, bool matchName) {
    FileToolSettings settings;
    settings.matchName = matchName;
    std::vector<uint32_t> groupOffsets;
    CountingRows rows;
    CountingCancel cancel;
    TimingStatus status;
    char folder[MAX_PATH] = {};
    ::GetTempPathA(MAX_PATH, folder);
    std::string listFolder = folder;
    if (!listFolder.empty() && listFolder.back() == '\\') listFolder.pop_back();
    CDuplicateFinder finder(rows, groupOffsets, cancel, status, settings, listFolder);
    finder.roots = {root};
    LARGE_INTEGER a = Now();
    finder.ScanDuplicates();
    LARGE_INTEGER b = Now();
    double total = Seconds(a, b);
    double walk = Seconds(a, status.groupingStart);
    double grouping = Seconds(status.groupingStart, b);
    std::printf("%s: %u files visited, %u records, %.2f s (walk and write %.2f s, grouping %.2f s): %.0f files/s\n",
                label, finder.filesVisited, finder.recordsWritten, total, walk, grouping,
                finder.filesVisited / (total > 0 ? total : 1e-9));
    std::printf("    %ld groups, %ld files listed; %u contents tests, %.1f MB through the CRC, %.0f MB/s hashed "
                "during grouping\n",
                rows.separators, rows.files, finder.contentTests, finder.bytesHashed / 1048576.0,
                finder.bytesHashed / 1048576.0 / (grouping > 0 ? grouping : 1e-9));
    std::printf("    one drive's records held at most %.1f KB (%.1f bytes a record); across drives 0 bytes a "
                "record (runs: position and count per drive); listed rows 4 bytes each\n",
                finder.peakDriveRecordBytes / 1024.0,
                finder.recordsWritten ? double(finder.peakDriveRecordBytes) / finder.recordsWritten : 0.0);
    std::printf("    %s\n", status.last.c_str());
}

}  // namespace

int main(int argc, char** argv) {
    long files = argc > 1 ? std::atol(argv[1]) : 20000;
    int largeMb = argc > 2 ? std::atoi(argv[2]) : 32;
    std::string root = argc > 3 ? argv[3] : "E:\\KelvoDupBench";
    if (files <= 0 || largeMb <= 0) return 2;

    RemoveTree(root);
    LARGE_INTEGER t0 = Now();
    Seeded s = Seed(root, files, largeMb);
    LARGE_INTEGER t1 = Now();
    std::printf("seeded %ld files (%.0f MB; %ld copies, %ld same name and length but other contents, 4 of %d MB) "
                "under %s in %.1f s\n",
                s.files, s.megabytes, s.copies, s.sameNameOther, largeMb, root.c_str(), Seconds(t0, t1));

    // The contents test alone on the large files, and the cost of opening a file.
    for (const char* name : {"movie.avi", "other.avi"}) {
        uint64_t hashed = 0;
        LARGE_INTEGER a = Now();
        bool same = SameContents(root + "\\big\\1\\" + name, root + "\\big\\2\\" + name, &hashed);
        LARGE_INTEGER b = Now();
        std::printf("contents test of two %d MB files (%s): %.3f s, %.0f MB/s through the CRC\n", largeMb,
                    same ? "equal" : "differ at the end", Seconds(a, b), hashed / 1048576.0 / Seconds(a, b));
    }
    {
        std::string probe = root + "\\big\\1\\movie.avi";
        LARGE_INTEGER a = Now();
        for (int i = 0; i < 1000; ++i) {
            HANDLE h = ::CreateFileA(probe.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                     FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
            ::CloseHandle(h);
        }
        LARGE_INTEGER b = Now();
        char shortPath[MAX_PATH] = {};
        ::GetShortPathNameA(probe.c_str(), shortPath, MAX_PATH);
        LARGE_INTEGER c = Now();
        for (int i = 0; i < 1000; ++i) {
            HANDLE h = ::CreateFileA(shortPath, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                     FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
            ::CloseHandle(h);
        }
        LARGE_INTEGER d = Now();
        std::printf("opening and closing a file: %.0f microseconds by its long path, %.0f by its short path %s\n",
                    Seconds(a, b) * 1000, Seconds(c, d) * 1000, shortPath);
    }

    for (int pass = 1; pass <= 2; ++pass) {
        Scan(pass == 1 ? "default criteria, first pass" : "default criteria, second pass", root, true);
    }
    Scan("without the name test", root, false);

    PrintPeakMemory("the seeding, with its " + std::to_string(largeMb) + " MB buffer, included");

    CrcRate();

    RemoveTree(root);
    return 0;
}
