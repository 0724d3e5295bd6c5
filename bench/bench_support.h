// Pieces every benchmark program needs: results kept in memory, a cancel poll that counts,
// a silent status sink, a clock, folder removal and the peak-memory line.
#pragma once

#include "core/services.h"

#include <windows.h>
#include <psapi.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

class BenchRows : public IResultList {
public:
    std::vector<std::vector<std::string>> rows;
    int AddRow(const std::vector<std::string>& texts, int, DWORD) override {
        rows.push_back(texts);
        return static_cast<int>(rows.size()) - 1;
    }
    int Count() const override { return static_cast<int>(rows.size()); }
    std::string Text(int row, int column) const override { return rows[row][column]; }
    void SetText(int row, int column, const std::string& text) override { rows[row][column] = text; }
    DWORD Data(int) const override { return 0; }
    bool IsSelected(int) const override { return false; }
    bool IsChecked(int) const override { return false; }
    void SetChecked(int, bool) override {}
    void DeleteRow(int row) override { rows.erase(rows.begin() + row); }
    void DeleteAll() override { rows.clear(); }
};

// Never cancels; counts how often it was asked.
class CountingCancel : public ICancelPoll {
public:
    unsigned long polls = 0;
    bool checkCancelled() override {
        ++polls;
        return false;
    }
};

class QuietStatus : public IStatusSink {
public:
    void SetStatusText(const std::string&, int) override {}
    void ShowNotifierText(const std::string&) override {}
};

inline LARGE_INTEGER Now() {
    LARGE_INTEGER t;
    ::QueryPerformanceCounter(&t);
    return t;
}

inline double Seconds(LARGE_INTEGER a, LARGE_INTEGER b) {
    LARGE_INTEGER f;
    ::QueryPerformanceFrequency(&f);
    return double(b.QuadPart - a.QuadPart) / double(f.QuadPart);
}

inline void RemoveTree(const std::string& path) {
    WIN32_FIND_DATAA fd;
    HANDLE f = ::FindFirstFileA((path + "\\*").c_str(), &fd);
    if (f != INVALID_HANDLE_VALUE) {
        do {
            std::string n = fd.cFileName;
            if (n == "." || n == "..") continue;
            std::string p = path + "\\" + n;
            if (fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) RemoveTree(p);
            else ::DeleteFileA(p.c_str());
        } while (::FindNextFileA(f, &fd));
        ::FindClose(f);
    }
    ::RemoveDirectoryA(path.c_str());
}

// "peak working set x MB, peak private bytes y MB" and an optional remark in brackets.
// The raw walk, what every scan of a tree costs at least: every file below `folder` found with
// FindFirstFileA/FindNextFileA and counted, none opened.
inline void RawWalk(const std::string& folder, long& files) {
    WIN32_FIND_DATAA fd;
    HANDLE find = ::FindFirstFileA((folder + "\\*.*").c_str(), &fd);
    if (find == INVALID_HANDLE_VALUE) return;
    do {
        if (!(fd.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
            ++files;
        } else if (std::strcmp(fd.cFileName, ".") != 0 && std::strcmp(fd.cFileName, "..") != 0) {
            RawWalk(folder + "\\" + fd.cFileName, files);
        }
    } while (::FindNextFileA(find, &fd));
    ::FindClose(find);
}

inline void PrintPeakMemory(const std::string& remark = "") {
    PROCESS_MEMORY_COUNTERS pmc {};
    pmc.cb = sizeof pmc;
    if (!::GetProcessMemoryInfo(::GetCurrentProcess(), &pmc, sizeof pmc)) return;
    std::printf("peak working set %.1f MB, peak private bytes %.1f MB%s\n", pmc.PeakWorkingSetSize / 1048576.0,
                pmc.PeakPagefileUsage / 1048576.0, remark.empty() ? "" : (" (" + remark + ")").c_str());
}
