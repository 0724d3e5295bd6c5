// The unneeded files scan against a raw walk of the same tree:
//   scripts/bench files_bench [files=20000] [files-per-folder=50] [rounds=5]
// Seeds E:\KelvoBench with `files` files in folders of `files-per-folder`, three levels deep
// (one in ten with a junk ending, one in eleven empty), then, interleaved for `rounds` rounds:
// a raw loop of FindFirstFileA/FindNextFileA over the tree (the least any walk costs), the
// shared folder walker, the unneeded files scan's drive walk with the zero-length rule on, and
// the in-use test (an exclusive open and close) of the listed files alone, which the scan cannot
// do without. Prints each round, the medians and the ratios to the raw loop, and the peak memory.
#include "bench_support.h"
#include "files/junk.h"
#include "files/walker.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

class CountingWalker : public CFolderWalker {
public:
    using CFolderWalker::CFolderWalker;
    long files = 0;

protected:
    void OnFile(const WalkEntry&) override { ++files; }
};

long Seed(const std::string& root, long files, int perFolder) {
    ::CreateDirectoryA(root.c_str(), nullptr);
    long made = 0;
    int folder = 0;
    static const char* const kEndings[] = {".txt", ".dat", ".doc", ".bin", ".ini", ".cfg", ".htm", ".jpg", ".exe"};
    while (made < files) {
        // Folders three levels deep: root\aNN\bNN\cNNNN.
        std::string a = root + "\\a" + std::to_string(folder / 100);
        std::string b = a + "\\b" + std::to_string((folder / 10) % 10);
        std::string c = b + "\\c" + std::to_string(folder);
        ::CreateDirectoryA(a.c_str(), nullptr);
        ::CreateDirectoryA(b.c_str(), nullptr);
        ::CreateDirectoryA(c.c_str(), nullptr);
        for (int i = 0; i < perFolder && made < files; ++i, ++made) {
            std::string name = c + "\\file" + std::to_string(i);
            name += (made % 10 == 0) ? ".tmp" : kEndings[made % 9];
            HANDLE h = ::CreateFileA(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
            if (h != INVALID_HANDLE_VALUE) {
                DWORD w = 0;
                ::WriteFile(h, "0123456789", static_cast<DWORD>(made % 11), &w, nullptr);
                ::CloseHandle(h);
            }
        }
        ++folder;
    }
    return folder;
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

}  // namespace

int main(int argc, char** argv) {
    long files = argc > 1 ? std::atol(argv[1]) : 20000;
    int perFolder = argc > 2 ? std::atoi(argv[2]) : 50;
    int rounds = argc > 3 ? std::atoi(argv[3]) : 5;
    std::string root = "E:\\KelvoBench";
    if (files <= 0 || perFolder <= 0 || rounds <= 0) return 2;

    RemoveTree(root);
    LARGE_INTEGER t0 = Now();
    long folders = Seed(root, files, perFolder);
    LARGE_INTEGER t1 = Now();
    std::printf("seeded %ld files in %ld leaf folders under %s in %.1f s\n", files, folders, root.c_str(),
                Seconds(t0, t1));

    CountingCancel cancel;
    QuietStatus status;
    FileToolSettings settings;
    settings.findZeroLength = true;
    std::vector<double> raws, walks, junks, tests;
    for (int round = 1; round <= rounds; ++round) {
        long rawFiles = 0;
        LARGE_INTEGER a = Now();
        RawWalk(root, rawFiles);
        LARGE_INTEGER b = Now();

        CountingWalker walker(&cancel, &status);
        LARGE_INTEGER c = Now();
        walker.WalkFolder(root);
        LARGE_INTEGER d = Now();

        BenchRows list;
        CJunkScan scan(list, cancel, status, settings, DefaultJunkEndings());
        LARGE_INTEGER e = Now();
        scan.WalkJunkFolder(root);
        LARGE_INTEGER f = Now();

        // The in-use test alone, on the files listed: one open and close each.
        LARGE_INTEGER g = Now();
        for (const auto& row : list.rows) CanOpenExclusively(row[1]);
        LARGE_INTEGER h = Now();

        raws.push_back(Seconds(a, b));
        walks.push_back(Seconds(c, d));
        junks.push_back(Seconds(e, f));
        tests.push_back(Seconds(g, h));
        std::printf("round %d: raw walk %.3f s (%ld files); folder walker %.3f s (%ld files); unneeded files %.3f s "
                    "(%d listed, %llu bytes); the in-use test of the listed files alone %.3f s\n",
                    round, raws.back(), rawFiles, walks.back(), walker.files, junks.back(), list.Count(),
                    static_cast<unsigned long long>(scan.junkTotalBytes), tests.back());
    }
    double raw = Median(raws);
    std::printf("median: raw walk %.3f s; folder walker %.3f s (%.2fx); unneeded files %.3f s (%.2fx the raw walk); "
                "in-use test alone %.3f s (raw walk and in-use test together %.2fx the raw walk)\n",
                raw, Median(walks), Median(walks) / raw, Median(junks), Median(junks) / raw, Median(tests),
                (raw + Median(tests)) / raw);
    PrintPeakMemory();

    RemoveTree(root);
    return 0;
}
