// Start-up benchmark: time from process start to the main window visible, for the setup
// program against the floor program (the same system windows, OLE, rich edit library and
// one stream-in of the licence, without host or layout) and against a bare Win32 window
// program, in alternating runs; and the size of setup.exe without its payloads.
//   startup_bench.exe [runs [setup.exe floor_window.exe bare_window.exe]]
// Without paths it takes the programs of its own build folder.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "bench/BenchReport.h"

namespace {

struct Search {
    DWORD pid;
    HWND found;
};

BOOL CALLBACK FindVisible(HWND hwnd, LPARAM lParam) {
    auto* search = reinterpret_cast<Search*>(lParam);
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    if (pid == search->pid && IsWindowVisible(hwnd) && !GetWindow(hwnd, GW_OWNER)) {
        search->found = hwnd;
        return FALSE;
    }
    return TRUE;
}

// Milliseconds from CreateProcess to a visible top-level window of the process; -1 on failure.
double TimeToWindow(const std::wstring& exe) {
    STARTUPINFOW si{};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi{};
    std::wstring command = L"\"" + exe + L"\"";
    LARGE_INTEGER frequency, start, now;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    if (!CreateProcessW(exe.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &si, &pi)) {
        return -1;
    }
    double ms = -1;
    Search search{pi.dwProcessId, nullptr};
    for (int i = 0; i < 20000 && !search.found; ++i) {
        EnumWindows(FindVisible, reinterpret_cast<LPARAM>(&search));
        if (!search.found) Sleep(1);
    }
    if (search.found) {
        QueryPerformanceCounter(&now);
        ms = 1000.0 * static_cast<double>(now.QuadPart - start.QuadPart) /
             static_cast<double>(frequency.QuadPart);
        PostMessageW(search.found, WM_CLOSE, 0, 0);
    }
    if (WaitForSingleObject(pi.hProcess, 10000) != WAIT_OBJECT_0) {
        TerminateProcess(pi.hProcess, 1);
        WaitForSingleObject(pi.hProcess, 5000);
    }
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return ms;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

DWORD ResourceSize(HMODULE module, const wchar_t* type, WORD id) {
    HRSRC info = FindResourceW(module, MAKEINTRESOURCEW(id), type);
    return info ? SizeofResource(module, info) : 0;
}

std::wstring OwnFolder() {
    std::wstring path(MAX_PATH, L'\0');
    path.resize(GetModuleFileNameW(nullptr, path.data(), MAX_PATH));
    return path.substr(0, path.find_last_of(L'\\') + 1);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const int runs = argc > 1 ? _wtoi(argv[1]) : 9;
    const std::wstring here = OwnFolder();
    const std::wstring setup = argc > 4 ? argv[2] : here + L"..\\setup\\setup.exe";
    const std::wstring floor = argc > 4 ? argv[3] : here + L"floor_window.exe";
    const std::wstring bare = argc > 4 ? argv[4] : here + L"bare_window.exe";
    if (runs < 1) {
        std::fprintf(stderr, "usage: startup_bench [runs [setup.exe floor.exe bare.exe]]\n");
        return 2;
    }

    // One run of each first: disk caches and the Wine server warm up for all alike.
    TimeToWindow(setup);
    TimeToWindow(floor);
    TimeToWindow(bare);
    std::vector<double> setupTimes, floorTimes, bareTimes;
    for (int i = 0; i < runs; ++i) {
        const double s = TimeToWindow(setup);
        const double f = TimeToWindow(floor);
        const double b = TimeToWindow(bare);
        if (s < 0 || f < 0 || b < 0) {
            std::fprintf(stderr, "run %d: no window\n", i + 1);
            return 1;
        }
        setupTimes.push_back(s);
        floorTimes.push_back(f);
        bareTimes.push_back(b);
        std::printf("run %d: setup %.1f ms, floor %.1f ms, bare %.1f ms\n", i + 1, s, f, b);
    }
    const double ms = Median(setupTimes), mf = Median(floorTimes), mb = Median(bareTimes);
    char detail[200];
    std::snprintf(detail, sizeof detail,
                  "setup %.1f ms, floor %.1f ms (medians of %d alternating runs, process start "
                  "to window visible)",
                  ms, mf, runs);
    BenchReport::Figure("startup.setup_vs_floor", ms / mf, "<= 1.10", detail);
    std::snprintf(detail, sizeof detail, "setup %.1f ms, bare window %.1f ms", ms, mb);
    BenchReport::Figure("startup.setup_vs_bare", ms / mb, "<= 1.30", detail);
    std::snprintf(detail, sizeof detail, "floor %.1f ms, bare window %.1f ms", mf, mb);
    BenchReport::Figure("startup.floor_vs_bare", mf / mb, "-", detail);

    WIN32_FILE_ATTRIBUTE_DATA data{};
    GetFileAttributesExW(setup.c_str(), GetFileExInfoStandard, &data);
    const DWORD total = data.nFileSizeLow;
    HMODULE module = LoadLibraryExW(setup.c_str(), nullptr,
                                    LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    const DWORD workbook = module ? ResourceSize(module, L"CUSTOM", 101) : 0;
    const DWORD help = module ? ResourceSize(module, L"CUSTOM", 102) : 0;
    if (module) FreeLibrary(module);
    std::snprintf(detail, sizeof detail,
                  "setup.exe %lu bytes, payloads %lu + %lu bytes, KB without them",
                  static_cast<unsigned long>(total), static_cast<unsigned long>(workbook),
                  static_cast<unsigned long>(help));
    BenchReport::Figure("size.setup_without_payloads_kb", (total - workbook - help) / 1024.0,
                        "<= 600", detail);
    return 0;
}
