// Registry scan throughput: seeds a registry of a given size below a scratch key, redirects the
// scanned roots to it, and times the full scan against a raw walk of the same keys (what any
// program needs only to enumerate every key and read every value), interleaved in one run.
// Prints both times, their ratio, keys/s, values/s and peak memory.
//   registry_bench [keys=20000] [values=100000] [--real]
// --real also times a scan of the machine's own registry, as the "Scan" command runs it.
#include "core/reghelpers.h"
#include "bench_support.h"
#include "registry/pathcheck.h"
#include "registry/regscan.h"

#include <windows.h>
#include <psapi.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

// Keys in a tree of fan-out 16 (breadth first), values spread evenly over them: plain texts,
// live paths, dead paths and numbers.
void Seed(HKEY base, long keys, long values) {
    std::vector<HKEY> handles;
    std::vector<std::string> names;
    handles.push_back(base);
    for (long i = 1; i < keys; ++i) {
        HKEY parent = handles[(i - 1) / 16];
        char name[32];
        std::snprintf(name, sizeof name, "Key%05ld", i);
        HKEY k = nullptr;
        ::RegCreateKeyExA(parent, name, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k, nullptr);
        handles.push_back(k);
    }
    for (long v = 0; v < values; ++v) {
        HKEY k = handles[v % keys];
        char name[32], text[128];
        std::snprintf(name, sizeof name, "Value%06ld", v);
        switch (v % 10) {
        case 0: {
            DWORD n = static_cast<DWORD>(v);
            ::RegSetValueExA(k, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&n), sizeof n);
            continue;
        }
        case 1: std::snprintf(text, sizeof text, "C:\\windows\\notepad.exe /p %%1"); break;
        case 2: std::snprintf(text, sizeof text, "\"C:\\KelvoBenchMissing\\App%ld\\tool%ld.exe\" -x", v % 97, v); break;
        default: std::snprintf(text, sizeof text, "Some setting text number %ld", v); break;
        }
        ::RegSetValueExA(k, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                         static_cast<DWORD>(std::strlen(text) + 1));
    }
    for (size_t i = 1; i < handles.size(); ++i) ::RegCloseKey(handles[i]);
}

// Every key below `key` opened, every value read with its name and data: the floor under any scan.
void RawWalk(HKEY key, unsigned long& keys, unsigned long& values) {
    ++keys;
    for (DWORD index = 0;; ++index) {
        char name[1024];
        DWORD len = sizeof name;
        if (::RegEnumKeyExA(key, index, name, &len, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        HKEY sub = nullptr;
        if (::RegOpenKeyExA(key, name, 0, KEY_READ, &sub) != ERROR_SUCCESS) continue;
        RawWalk(sub, keys, values);
        ::RegCloseKey(sub);
    }
    static char name[16384 * 3 + 1];
    static BYTE data[4096];
    for (DWORD index = 0;; ++index) {
        DWORD len = sizeof name, size = sizeof data, type = 0;
        LONG rc = ::RegEnumValueA(key, index, name, &len, nullptr, &type, data, &size);
        if (rc != ERROR_SUCCESS && rc != ERROR_MORE_DATA) break;
        ++values;
    }
}

void Report(const char* what, const CRegistryScan& scan, const BenchRows& rows, unsigned long polls, double seconds) {
    std::printf("%s: %lu keys, %lu values, %d rows, %lu polls in %.3f s\n", what, scan.keysVisited,
                scan.valuesChecked, rows.Count(), polls, seconds);
    std::printf("%s: %.0f keys/s, %.0f values/s\n", what, scan.keysVisited / seconds, scan.valuesChecked / seconds);
}

}  // namespace

int main(int argc, char** argv) {
    long keys = 20000, values = 100000;
    bool real = false;
    int positional = 0;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--real") == 0) real = true;
        else if (positional++ == 0) keys = std::max(1L, std::atol(argv[i]));
        else values = std::max(0L, std::atol(argv[i]));
    }
    ::CoInitialize(nullptr);

    std::string basePath = "Software\\KelvoBench-" + std::to_string(::GetCurrentProcessId());
    HKEY base = nullptr;
    ::RegCreateKeyExA(HKEY_CURRENT_USER, basePath.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &base, nullptr);
    const HKEY roots[4] = {HKEY_CURRENT_USER, HKEY_USERS, HKEY_LOCAL_MACHINE, HKEY_CLASSES_ROOT};
    const char* parts[4] = {"HKCU", "HKU", "HKLM", "HKLM\\Software\\Classes"};
    HKEY redirected[4] = {};
    for (int i = 0; i < 4; ++i)
        ::RegCreateKeyExA(base, parts[i], 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &redirected[i], nullptr);

    std::printf("seeding %ld keys and %ld values...\n", keys, values);
    LARGE_INTEGER t0 = Now();
    Seed(redirected[0], keys, values);
    std::printf("seeded in %.2f s\n", Seconds(t0, Now()));

    for (int i = 0; i < 4; ++i) ::RegOverridePredefKey(roots[i], redirected[i]);
    // Two rounds, each a raw walk and then a scan, so that both meet the same caches.
    double rawSeconds = 0, scanSeconds = 0;
    for (int round = 1; round <= 2; ++round) {
        unsigned long rawKeys = 0, rawValues = 0;
        LARGE_INTEGER start = Now();
        RawWalk(redirected[0], rawKeys, rawValues);
        double raw = Seconds(start, Now());
        std::printf("raw walk %d: %lu keys, %lu values in %.3f s\n", round, rawKeys, rawValues, raw);

        BenchRows rows;
        CountingCancel poll;
        QuietStatus status;
        RegScanOptions options;
        CRegistryScan scan(rows, poll, status, options);
        start = Now();
        scan.ScanRegistry();
        double scanned = Seconds(start, Now());
        char what[32];
        std::snprintf(what, sizeof what, "seeded registry %d", round);
        Report(what, scan, rows, poll.polls, scanned);
        std::printf("%s: %lu file-system queries\n", what, scan.DiskQueries());
        rawSeconds += raw;
        scanSeconds += scanned;
    }
    std::printf("scan / raw walk: %.3f s / %.3f s = %.2fx\n", scanSeconds, rawSeconds, scanSeconds / rawSeconds);
    for (int i = 0; i < 4; ++i) {
        ::RegOverridePredefKey(roots[i], nullptr);
        ::RegCloseKey(redirected[i]);
    }
    ::RegCloseKey(base);
    DeleteRegKeyTree(HKEY_CURRENT_USER, basePath);
    PrintPeakMemory();

    // What one judgement costs: a dead path goes through every file and search-path lookup;
    // within a scan the cache answers from what it already asked.
    PathCheckCache cache;
    for (const char* text : {"C:\\KelvoBenchMissing\\App1\\tool1.exe -x", "C:\\windows\\notepad.exe /p %1",
                             "Some setting text number 7"}) {
        const int n = 2000;
        LARGE_INTEGER start = Now();
        for (int i = 0; i < n; ++i) IsPathEntryValid(text, false, true);
        double direct = Seconds(start, Now()) * 1e6 / n;
        start = Now();
        for (int i = 0; i < n; ++i) IsPathEntryValid(text, false, true, &cache);
        double cached = Seconds(start, Now()) * 1e6 / n;
        std::printf("path check of \"%s\": %.1f us per call, %.1f us with a scan's cache\n", text, direct, cached);
    }

    if (real) {
        BenchRows rows;
        CountingCancel poll;
        QuietStatus status;
        RegScanOptions options;
        CRegistryScan scan(rows, poll, status, options);
        LARGE_INTEGER start = Now();
        scan.ScanRegistry();
        Report("machine registry", scan, rows, poll.polls, Seconds(start, Now()));
        for (int i = 0; i < rows.Count() && i < 15; ++i)
            std::printf("  %s\\%s | %s | %s\n", rows.Text(i, 0).c_str(), rows.Text(i, 1).c_str(),
                        rows.Text(i, 2).c_str(), rows.Text(i, 4).c_str());
        PrintPeakMemory();
    }
    return 0;
}
