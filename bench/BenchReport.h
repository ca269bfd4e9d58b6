// The one line format in which every benchmark reports a figure, collected by bench/run.sh
// into one table (bench/README.md):
//   BENCH <TAB> name <TAB> value <TAB> goal <TAB> what was measured
// The value is a plain number (a ratio, or a size); the goal is "<= x", ">= x" or "-" for a
// figure without a goal. Anything else a benchmark prints is left out of the table.
#pragma once

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "tests/support/GuiResources.h"

namespace BenchReport {

inline void Figure(const char* name, double value, const char* goal, const char* detail) {
    std::printf("BENCH\t%s\t%.3f\t%s\t%s\n", name, value, goal, detail);
    std::fflush(stdout);
}

// Milliseconds from the performance counter.
inline double Now() {
    static const LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return 1000.0 * static_cast<double>(t.QuadPart) / static_cast<double>(frequency.QuadPart);
}

inline double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

// Dispatches what is queued now.
inline void Pump() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

// The process's GDI and USER objects before and after a run of cycles (the benchmark links
// tests/support/GuiResources.cpp).
struct Objects {
    testsupport::GuiObjectCounts before;
    testsupport::GuiObjectCounts after;
    long GdiGrowth() const { return after.gdi - before.gdi; }
    long UserGrowth() const { return after.user - before.user; }
};

// Runs `cycle(0)` and `cycle(1)` (what lives as long as the process, or as the control in
// either state a cycle alternates between, is made then), counts, runs `cycle(1..cycles)`
// with the queue pumped every 50, and counts again.
template <class Cycle>
Objects CountAround(int cycles, Cycle&& cycle) {
    cycle(0);
    cycle(1);
    Pump();
    Objects objects;
    objects.before = testsupport::CountGuiObjects();
    for (int i = 1; i <= cycles; ++i) {
        cycle(i);
        if (i % 50 == 0) Pump();
    }
    Pump();
    objects.after = testsupport::CountGuiObjects();
    return objects;
}

inline std::string GrowthDetail(int cycles, const char* what, const Objects& o) {
    char detail[300];
    std::snprintf(detail, sizeof detail, "%d %s: GDI %ld -> %ld, USER %ld -> %ld", cycles, what,
                  o.before.gdi, o.after.gdi, o.before.user, o.after.user);
    return detail;
}

// One figure: the objects gained, GDI and USER together (goal: none).
inline void Growth(const std::string& name, int cycles, const char* what, const Objects& o) {
    const long grown = std::max(0L, o.GdiGrowth()) + std::max(0L, o.UserGrowth());
    Figure(name.c_str(), static_cast<double>(grown), "<= 0", GrowthDetail(cycles, what, o).c_str());
}

// Two figures, `name`_gdi_growth and `name`_user_growth (goal: none).
inline void GrowthEach(const std::string& name, int cycles, const char* what, const Objects& o) {
    const std::string detail = GrowthDetail(cycles, what, o);
    Figure((name + "_gdi_growth").c_str(), static_cast<double>(o.GdiGrowth()), "<= 0",
           detail.c_str());
    Figure((name + "_user_growth").c_str(), static_cast<double>(o.UserGrowth()), "<= 0",
           detail.c_str());
}

}  // namespace BenchReport
