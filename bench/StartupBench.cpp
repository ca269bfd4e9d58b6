// Start-up benchmark: time from process start to the main window visible, for the setup
// program against a bare Win32 window program, over several alternating runs; and the size
// of setup.exe without its payloads.
//   startup_bench.exe <setup.exe> <bare_window.exe> [runs]
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

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

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: startup_bench <setup.exe> <bare_window.exe> [runs]\n");
        return 2;
    }
    const std::wstring setup = argv[1], bare = argv[2];
    const int runs = argc > 3 ? _wtoi(argv[3]) : 7;

    // One run of each first: disk caches and the Wine server warm up for both alike.
    TimeToWindow(setup);
    TimeToWindow(bare);
    std::vector<double> setupTimes, bareTimes;
    for (int i = 0; i < runs; ++i) {
        const double s = TimeToWindow(setup);
        const double b = TimeToWindow(bare);
        if (s < 0 || b < 0) {
            std::fprintf(stderr, "run %d: no window\n", i);
            return 1;
        }
        setupTimes.push_back(s);
        bareTimes.push_back(b);
        std::printf("run %d: setup %.1f ms, bare %.1f ms\n", i + 1, s, b);
    }
    const double ms = Median(setupTimes), mb = Median(bareTimes);
    std::printf("median: setup %.1f ms, bare %.1f ms, ratio %.2f (goal <= 1.30)\n", ms, mb,
                ms / mb);

    WIN32_FILE_ATTRIBUTE_DATA data{};
    GetFileAttributesExW(setup.c_str(), GetFileExInfoStandard, &data);
    const DWORD total = data.nFileSizeLow;
    HMODULE module = LoadLibraryExW(setup.c_str(), nullptr,
                                    LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    const DWORD workbook = module ? ResourceSize(module, L"CUSTOM", 101) : 0;
    const DWORD help = module ? ResourceSize(module, L"CUSTOM", 102) : 0;
    if (module) FreeLibrary(module);
    std::printf(
        "setup.exe: %lu bytes, payloads %lu + %lu bytes, without payloads %lu bytes "
        "(%.0f KB, goal <= 600 KB)\n",
        static_cast<unsigned long>(total), static_cast<unsigned long>(workbook),
        static_cast<unsigned long>(help), static_cast<unsigned long>(total - workbook - help),
        (total - workbook - help) / 1024.0);
    return 0;
}
