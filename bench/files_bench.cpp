// Walk and unneeded-files scan rates on a seeded tree:
//   scripts/bench files_bench [files=20000] [files-per-folder=50] [root=E:\KelvoBench]
// Seeds `files` files (one in ten with a junk ending) in folders of `files-per-folder`, three
// levels deep, then times a plain walk and the junk scan's drive walk over the tree, and prints
// files per second and the peak memory of the process.
#include "bench_support.h"
#include "files/junk.h"
#include "files/walker.h"

#include <windows.h>
#include <psapi.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

class CountingWalker : public CFolderWalker {
public:
    using CFolderWalker::CFolderWalker;
    long files = 0;
    uint64_t bytes = 0;

protected:
    void OnFile(const WalkEntry& e) override {
        ++files;
        bytes += e.length;
    }
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

}  // namespace

int main(int argc, char** argv) {
    long files = argc > 1 ? std::atol(argv[1]) : 20000;
    int perFolder = argc > 2 ? std::atoi(argv[2]) : 50;
    std::string root = argc > 3 ? argv[3] : "E:\\KelvoBench";
    if (files <= 0 || perFolder <= 0) return 2;

    RemoveTree(root);
    LARGE_INTEGER t0 = Now();
    long folders = Seed(root, files, perFolder);
    LARGE_INTEGER t1 = Now();
    std::printf("seeded %ld files in %ld leaf folders under %s in %.2f s\n", files, folders, root.c_str(),
                Seconds(t0, t1));

    CountingCancel cancel;
    QuietStatus status;
    for (int pass = 1; pass <= 2; ++pass) {
        CountingWalker walker(&cancel, &status);
        cancel.polls = 0;
        LARGE_INTEGER a = Now();
        walker.WalkFolder(root);
        LARGE_INTEGER b = Now();
        double s = Seconds(a, b);
        std::printf("walk   pass %d: %ld files, %lu folders polled, %.3f s, %.0f files/s\n", pass, walker.files,
                    cancel.polls, s, walker.files / (s > 0 ? s : 1e-9));
    }

    FileToolSettings settings;
    settings.findZeroLength = true;
    for (int pass = 1; pass <= 2; ++pass) {
        BenchRows list;
        CJunkScan scan(list, cancel, status, settings, DefaultJunkEndings());
        LARGE_INTEGER a = Now();
        scan.WalkJunkFolder(root);
        LARGE_INTEGER b = Now();
        double s = Seconds(a, b);
        std::printf("junk   pass %d: %ld files walked, %d listed (%llu bytes), %.3f s, %.0f files/s\n", pass, files,
                    list.Count(), static_cast<unsigned long long>(scan.junkTotalBytes), s, files / (s > 0 ? s : 1e-9));
    }

    PrintPeakMemory();

    RemoveTree(root);
    return 0;
}
