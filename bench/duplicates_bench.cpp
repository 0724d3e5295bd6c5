// The duplicate finder against the least any finder must do, and against what a user would run
// instead:
//   scripts/bench duplicates_bench [--rounds N] [--trees identical,lastbytes,sizes] [files...]
// For every count of files (20000 when none is given) and every tree it seeds E:\KelvoDupBench:
// folders of 50 files named f00.mp3 ... f49.doc, three levels deep, file k of every folder the
// same length (1000 + 370 k bytes, about 10 KB on average):
//   identical  the files of one name are copies of one another (50 groups);
//   lastbytes  the files of one name differ in their last 4 bytes only (nothing to list);
//   sizes      a length repeats only every 20011 files (with the name test: nothing to read).
// Then N rounds (3), interleaved: the scan with the default criteria, run in a process of its
// own so that its peak working set is its own; the floor, a raw loop that finds every file with
// FindFirstFileA and opens, reads and closes it once; the raw walk, that loop without opening
// anything; and, when KELVO_BENCH_PEER names a host
// program (scripts/bench sets it to jdupes -r -q when jdupes is installed), that program on the
// same tree. Prints each round and the medians, with the ratio of the scan to the floor.
#include "bench_support.h"
#include "duplicates/dupscan.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace {

const char* const kEndings[] = {".mp3", ".jpg", ".exe", ".doc"};
constexpr int kPerFolder = 50;

class CountingRows : public IDuplicateRows {
public:
    long separators = 0, files = 0;
    void DeleteAllRows() override { separators = files = 0; }
    void BeginRows(int) override {}
    void AddSeparatorRow(DWORD) override { ++separators; }
    void AddDuplicateRow(const std::string&, DWORD) override { ++files; }
    void EndRows() override {}
};

size_t LengthOf(int k) { return 1000 + 370 * static_cast<size_t>(k); }

std::string NameOf(int k) {
    char name[16];
    std::snprintf(name, sizeof name, "f%02d%s", k, kEndings[k % 4]);
    return name;
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

bool WriteBytes(const std::string& path, const char* data, size_t n) {
    HANDLE h = ::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    DWORD w = 0;
    bool ok = ::WriteFile(h, data, static_cast<DWORD>(n), &w, nullptr) && w == n;
    ::CloseHandle(h);
    return ok;
}

// Notes when the grouping starts, so the walk and the grouping are timed apart.
class TimingStatus : public IStatusSink {
public:
    LARGE_INTEGER groupingStart {};
    void SetStatusText(const std::string& text, int) override {
        if (text == "Grouping files of same size..") groupingStart = Now();
    }
    void ShowNotifierText(const std::string&) override {}
};

// Answers the bytes written.
double Seed(const std::string& root, const std::string& tree, long files) {
    ::CreateDirectoryA(root.c_str(), nullptr);
    std::mt19937 rng(12345);
    std::vector<std::string> patterns(kPerFolder);
    for (int k = 0; k < kPerFolder; ++k) {
        patterns[k].resize(LengthOf(k));
        for (char& c : patterns[k]) c = static_cast<char>(rng());
    }
    // The sizes tree: lengths 1000 to 21010, the same length again only every 20011th file,
    // and the first four bytes the file's number.
    std::string any(1000 + 20011, '\0');
    for (char& c : any) c = static_cast<char>(rng());
    double bytes = 0;
    long made = 0;
    for (long folder = 0; made < files; ++folder) {
        std::string dir = Folder(root, folder);
        for (int k = 0; k < kPerFolder && made < files; ++k, ++made) {
            const char* data = patterns[k].data();
            size_t n = patterns[k].size();
            if (tree == "lastbytes") std::memcpy(&patterns[k][n - 4], &folder, 4);
            if (tree == "sizes") {
                std::memcpy(&any[0], &made, 4);
                data = any.data();
                n = 1000 + static_cast<size_t>(made % 20011);
            }
            WriteBytes(dir + "\\" + NameOf(k), data, n);
            bytes += static_cast<double>(n);
        }
    }
    return bytes;
}

// The floor: every file found and read once, as plainly as it can be done.
void ReadEveryFile(const std::string& folder, std::vector<char>& buffer, long& files, double& bytes) {
    WIN32_FIND_DATAA fd;
    HANDLE find = ::FindFirstFileA((folder + "\\*.*").c_str(), &fd);
    if (find == INVALID_HANDLE_VALUE) return;
    do {
        std::string path = folder + "\\" + fd.cFileName;
        if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            if (std::strcmp(fd.cFileName, ".") != 0 && std::strcmp(fd.cFileName, "..") != 0)
                ReadEveryFile(path, buffer, files, bytes);
            continue;
        }
        HANDLE h = ::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                 FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
        if (h == INVALID_HANDLE_VALUE) continue;
        DWORD got = 0;
        while (::ReadFile(h, buffer.data(), static_cast<DWORD>(buffer.size()), &got, nullptr) && got > 0) bytes += got;
        ::CloseHandle(h);
        ++files;
    } while (::FindNextFileA(find, &fd));
    ::FindClose(find);
}

struct ScanFigures {
    double seconds = -1, peakMb = 0, walkSeconds = 0;
    long groups = 0, listed = 0;
    unsigned long visited = 0;
};

// The scan in this process (the child's side).
int ScanHere(const std::string& root) {
    FileToolSettings settings;
    std::vector<uint32_t> groupOffsets;
    CountingRows rows;
    CountingCancel cancel;
    TimingStatus status;
    char temp[MAX_PATH] = {};
    ::GetTempPathA(MAX_PATH, temp);
    std::string listFolder = temp;
    if (!listFolder.empty() && listFolder.back() == '\\') listFolder.pop_back();
    CDuplicateFinder finder(rows, groupOffsets, cancel, status, settings, listFolder);
    finder.roots = {root};
    LARGE_INTEGER a = Now();
    finder.ScanDuplicates();
    LARGE_INTEGER b = Now();
    PROCESS_MEMORY_COUNTERS pmc {};
    pmc.cb = sizeof pmc;
    ::GetProcessMemoryInfo(::GetCurrentProcess(), &pmc, sizeof pmc);
    std::printf("%.4f %.1f %ld %ld %u %.4f\n", Seconds(a, b), pmc.PeakWorkingSetSize / 1048576.0, rows.separators,
                rows.files, finder.filesVisited, Seconds(a, status.groupingStart));
    ::DeleteFileA(DuplicateListPath(listFolder).c_str());
    return 0;
}

// Runs `command` and answers what it printed.
std::string Output(std::string command) {
    SECURITY_ATTRIBUTES sa {sizeof sa, nullptr, TRUE};
    HANDLE readEnd = nullptr, writeEnd = nullptr;
    if (!::CreatePipe(&readEnd, &writeEnd, &sa, 0)) return std::string();
    ::SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOA si {};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdOutput = writeEnd;
    si.hStdError = ::GetStdHandle(STD_ERROR_HANDLE);
    si.hStdInput = ::GetStdHandle(STD_INPUT_HANDLE);
    PROCESS_INFORMATION pi {};
    std::string out;
    if (::CreateProcessA(nullptr, &command[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi)) {
        ::CloseHandle(writeEnd);
        writeEnd = nullptr;
        char buf[256];
        DWORD got = 0;
        while (::ReadFile(readEnd, buf, sizeof buf, &got, nullptr) && got > 0) out.append(buf, got);
        ::WaitForSingleObject(pi.hProcess, INFINITE);
        ::CloseHandle(pi.hThread);
        ::CloseHandle(pi.hProcess);
    }
    if (writeEnd) ::CloseHandle(writeEnd);
    ::CloseHandle(readEnd);
    return out;
}

ScanFigures ScanInChild(const std::string& root) {
    char self[MAX_PATH] = {};
    ::GetModuleFileNameA(nullptr, self, MAX_PATH);
    std::string out = Output("\"" + std::string(self) + "\" --scan \"" + root + "\"");
    ScanFigures f;
    std::sscanf(out.c_str(), "%lf %lf %ld %ld %lu %lf", &f.seconds, &f.peakMb, &f.groups, &f.listed, &f.visited,
                &f.walkSeconds);
    return f;
}

// The host path of a sandbox path (Wine only; empty elsewhere).
std::string UnixPath(const std::string& path) {
    using Fn = char*(CDECL*)(LPCWSTR);
    auto fn = reinterpret_cast<Fn>(::GetProcAddress(::GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name"));
    if (!fn) return std::string();
    WCHAR wide[MAX_PATH];
    ::MultiByteToWideChar(CP_ACP, 0, path.c_str(), -1, wide, MAX_PATH);
    char* unix = fn(wide);
    if (!unix) return std::string();
    std::string s = unix;
    ::HeapFree(::GetProcessHeap(), 0, unix);
    return s;
}

// Runs the host program `peer` on the tree and answers its seconds, -1 when it could not be run.
// A host program's process handle tells nothing about its end, so a shell times it and leaves
// the figure in a file, which is waited for.
double RunPeer(const std::string& peer, const std::string& root) {
    std::string unixRoot = UnixPath(root);
    std::string result = root + ".peer-time";
    std::string unixResult = UnixPath(result);
    if (peer.empty() || unixRoot.empty() || unixResult.empty()) return -1;
    ::DeleteFileA(result.c_str());
    std::string script = "s=$(date +%s%N); " + peer + " '" + unixRoot + "' >/dev/null 2>&1; e=$(date +%s%N); echo $((e-s)) > '" +
                         unixResult + ".tmp'; mv '" + unixResult + ".tmp' '" + unixResult + "'";
    std::string command = "\\\\?\\unix\\bin\\sh -c \"" + script + "\"";
    STARTUPINFOA si {};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi {};
    if (!::CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr, &si, &pi))
        return -1;
    ::CloseHandle(pi.hThread);
    ::CloseHandle(pi.hProcess);
    for (int i = 0; i < 60000; ++i) {
        HANDLE h = ::CreateFileA(result.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
        if (h != INVALID_HANDLE_VALUE) {
            char text[64] = {};
            DWORD got = 0;
            ::ReadFile(h, text, sizeof text - 1, &got, nullptr);
            ::CloseHandle(h);
            ::DeleteFileA(result.c_str());
            return std::atof(text) / 1e9;
        }
        ::Sleep(10);
    }
    return -1;
}

double Median(std::vector<double> v) {
    if (v.empty()) return -1;
    std::sort(v.begin(), v.end());
    return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

void Bench(const std::string& root, const std::string& tree, long files, int rounds, const std::string& peer) {
    RemoveTree(root);
    LARGE_INTEGER t0 = Now();
    double megabytes = Seed(root, tree, files) / 1048576.0;
    LARGE_INTEGER t1 = Now();
    std::printf("\n%s tree, %ld files (%.0f MB) seeded in %.0f s\n", tree.c_str(), files, megabytes, Seconds(t0, t1));

    std::vector<double> scans, floors, peers, ratios, peaks, walks;
    std::vector<char> buffer(64 * 1024);
    for (int round = 1; round <= rounds; ++round) {
        ScanFigures scan = ScanInChild(root);
        long read = 0;
        double bytes = 0;
        LARGE_INTEGER a = Now();
        ReadEveryFile(root, buffer, read, bytes);
        LARGE_INTEGER b = Now();
        double floor = Seconds(a, b);
        long found = 0;
        LARGE_INTEGER c = Now();
        RawWalk(root, found);
        LARGE_INTEGER d = Now();
        double walk = Seconds(c, d);
        double peerSeconds = RunPeer(peer, root);
        std::printf("  round %d: scan %.2f s (walk %.2f s; %ld groups, %ld files listed of %lu; peak working set "
                    "%.1f MB); floor %.2f s (%ld files, %.0f MB); scan/floor %.2f; raw walk %.2f s",
                    round, scan.seconds, scan.walkSeconds, scan.groups, scan.listed, scan.visited, scan.peakMb, floor,
                    read, bytes / 1048576.0, floor > 0 ? scan.seconds / floor : 0, walk);
        if (peerSeconds >= 0) std::printf("; peer %.2f s", peerSeconds);
        std::printf("\n");
        scans.push_back(scan.seconds);
        floors.push_back(floor);
        ratios.push_back(floor > 0 ? scan.seconds / floor : 0);
        peaks.push_back(scan.peakMb);
        walks.push_back(walk);
        if (peerSeconds >= 0) peers.push_back(peerSeconds);
    }
    std::printf("  median: scan %.2f s, floor %.2f s, scan/floor %.2f, peak working set %.1f MB, raw walk %.2f s",
                Median(scans), Median(floors), Median(ratios), *std::max_element(peaks.begin(), peaks.end()),
                Median(walks));
    if (!peers.empty()) std::printf(", %s %.2f s", peer.c_str(), Median(peers));
    std::printf("\n");
    std::fflush(stdout);
    RemoveTree(root);
}

}  // namespace

int main(int argc, char** argv) {
    // Each round's line shows as it comes: a 200k tree takes minutes.
    std::setvbuf(stdout, nullptr, _IONBF, 0);
    if (argc == 3 && std::strcmp(argv[1], "--scan") == 0) return ScanHere(argv[2]);

    int rounds = 3;
    std::vector<std::string> trees = {"identical", "lastbytes", "sizes"};
    std::vector<long> counts;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--rounds") == 0 && i + 1 < argc) {
            rounds = std::atoi(argv[++i]);
        } else if (std::strcmp(argv[i], "--trees") == 0 && i + 1 < argc) {
            trees.clear();
            std::string list = argv[++i];
            for (size_t at = 0; at <= list.size();) {
                size_t comma = list.find(',', at);
                if (comma == std::string::npos) comma = list.size();
                trees.push_back(list.substr(at, comma - at));
                at = comma + 1;
            }
        } else {
            counts.push_back(std::atol(argv[i]));
        }
    }
    if (counts.empty()) counts.push_back(20000);
    if (rounds <= 0) return 2;
    for (long n : counts)
        if (n <= 0) return 2;

    char peer[512] = {};
    ::GetEnvironmentVariableA("KELVO_BENCH_PEER", peer, sizeof peer);
    std::printf("duplicate finder with the default criteria; floor: find, open, read and close every file once%s%s\n",
                peer[0] ? "; peer: " : "", peer);
    std::string root = "E:\\KelvoDupBench";
    for (long n : counts)
        for (const std::string& tree : trees) Bench(root, tree, n, rounds, peer);
    return 0;
}
