// The demo machine's seeder: reads a fixture (fixtures/demo-machine.txt) that lists the leftovers
// a well-used machine holds for each tool, and puts them on a machine with the system's own
// interfaces: files and folders with their attributes, shell links made by the shell's link
// object, registry keys and values, win.ini lines, Internet cache entries and clipboard text.
// The fixture also says what each tool must find; the end-to-end test reads that part.
#pragma once

#include <windows.h>

#include <map>
#include <string>
#include <vector>

// One entry of a fixture section: its fields (split at "|", trimmed) and its line number.
struct FixtureEntry {
    int line = 0;
    std::vector<std::string> fields;
    // Field i, or an empty text when the entry has fewer fields.
    std::string Field(size_t i) const { return i < fields.size() ? fields[i] : std::string(); }
};

class Fixture {
public:
    // Reads the text; false (with the line and what is wrong in `error`) for an entry outside
    // any section or a section header that is not closed.
    bool Parse(const std::string& text, std::string* error = nullptr);
    // The entries of a section (name compared without regard to case); none when it is missing.
    const std::vector<FixtureEntry>& Section(const std::string& name) const;
    bool HasSection(const std::string& name) const;

private:
    std::vector<std::pair<std::string, std::vector<FixtureEntry>>> sections_;
};

// The fixture of the demo machine, as built into the program.
extern const char kDemoMachineFixture[];

// Where the fixture's roots lie on the machine being seeded, by name without braces: "C", "E",
// "TEMP", "STARTUP", "COMMON STARTUP", "RECENT", "WINDOWS", "SYSTEM". Paths have no trailing
// backslash.
using FixtureRoots = std::map<std::string, std::string>;

// The machine's own places: the drives C: and E:, the user's temporary folder, the shell's
// Startup, common Startup and Recent folders (created when missing), the Windows and system
// folders.
FixtureRoots MachineRoots();

// The text with every "{NAME}" of a known root replaced by its path; other braces (class
// identifiers) stay as they are.
std::string ExpandRoots(const std::string& text, const FixtureRoots& roots);

struct SeedReport {
    int folders = 0, files = 0, links = 0, keys = 0, values = 0, iniLines = 0, cacheEntries = 0;
    std::vector<std::string> problems;  // what could not be made, with the fixture's line
};

// Removes what [reset] names, then makes everything the fixture lists. Seeding twice gives the
// same machine: files are rewritten, a startup entry the fixture puts in a live place is taken
// out of its Disabled twin (and the other way round), the four startup keys of win.ini hold
// exactly the fixture's lines, cache entries are made anew. True when nothing failed.
bool SeedMachine(const Fixture& fixture, const FixtureRoots& roots, SeedReport& report);

// Helpers the seeder is built from, shared with the test that checks what it made.
HKEY ParseRootKey(const std::string& keyPath, std::string* subPath);  // "HKCU\x" -> HKCU, "x"
bool RemoveFolderTree(const std::string& path);                       // attributes cleared first
std::string GeneratedBytes(const std::string& contents, bool* ok);    // the "contents" field
