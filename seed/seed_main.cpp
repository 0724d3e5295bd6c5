// KelvoSeed: puts the demo machine's leftovers on the machine it runs on (a sandbox, never a
// machine anyone uses):
//   KelvoSeed.exe                  the built-in fixtures/demo-machine.txt
//   KelvoSeed.exe <fixture file>   another fixture of the same form
// Seeding again resets what an earlier run (or the tools since) changed.
#include "seeder.h"

#include <objbase.h>

#include <cstdio>
#include <fstream>
#include <sstream>

int main(int argc, char** argv) {
    std::string text = kDemoMachineFixture;
    if (argc > 1) {
        std::ifstream in(argv[1], std::ios::binary);
        if (!in) {
            std::fprintf(stderr, "KelvoSeed: cannot read %s\n", argv[1]);
            return 2;
        }
        std::ostringstream all;
        all << in.rdbuf();
        text = all.str();
    }
    Fixture fixture;
    std::string error;
    if (!fixture.Parse(text, &error)) {
        std::fprintf(stderr, "KelvoSeed: %s\n", error.c_str());
        return 2;
    }
    ::CoInitialize(nullptr);
    FixtureRoots roots = MachineRoots();
    SeedReport report;
    bool ok = SeedMachine(fixture, roots, report);
    ::CoUninitialize();
    std::printf("KelvoSeed: %d folders, %d files, %d shortcuts, %d keys, %d values, %d win.ini lines, "
                "%d cache entries\n",
                report.folders, report.files, report.links, report.keys, report.values, report.iniLines,
                report.cacheEntries);
    for (const std::string& p : report.problems) std::fprintf(stderr, "KelvoSeed: %s\n", p.c_str());
    return ok ? 0 : 1;
}
