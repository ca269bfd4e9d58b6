#include "tests/support/GuiResources.h"

#include <gtest/gtest.h>

#include <winternl.h>

#include <cstdint>
#include <cstring>

namespace testsupport {

namespace {

// One slot of the shared GDI handle table as this platform lays it out.
#pragma pack(push, 1)
struct GdiEntry {
    uint64_t object;
    uint32_t owner;
    uint16_t unique;  // low byte: 7-bit extended type and the stock flag; high byte: generation
    uint8_t type;
    uint8_t flags;
    uint64_t userPointer;
};
#pragma pack(pop)
static_assert(sizeof(GdiEntry) == 24);
constexpr size_t kGdiEntries = 0x10000;

const GdiEntry* GdiTable() {
    PROCESS_BASIC_INFORMATION info{};
    if (NtQueryInformationProcess(GetCurrentProcess(), ProcessBasicInformation, &info, sizeof(info),
                                  nullptr) != 0)
        return nullptr;
    const auto* peb = reinterpret_cast<const BYTE*>(info.PebBaseAddress);
    const size_t offset = sizeof(void*) == 4 ? 0x94 : 0xF8;  // PEB.GdiSharedHandleTable
    const GdiEntry* table = nullptr;
    std::memcpy(&table, peb + offset, sizeof(table));
    return table;
}

// Checks on a brush of our own that the table is laid out as expected.
bool GdiTableUsable() {
    static int usable = -1;
    if (usable >= 0) return usable == 1;
    usable = 0;
    const GdiEntry* table = GdiTable();
    if (!table) return false;
    HBRUSH brush = CreateSolidBrush(RGB(1, 2, 3));
    const auto value = reinterpret_cast<uintptr_t>(brush);
    const GdiEntry& entry = table[value & 0xFFFF];
    const bool live = entry.type != 0 && entry.unique == ((value >> 16) & 0xFFFF);
    DeleteObject(brush);
    const bool freed = entry.type == 0 || entry.unique != ((value >> 16) & 0xFFFF);
    usable = live && freed ? 1 : 0;
    return usable == 1;
}

long CountGdiInTable() {
    const GdiEntry* table = GdiTable();
    long count = 0;
    for (size_t i = 0; i < kGdiEntries; ++i) {
        if (table[i].type != 0 && !(table[i].unique & 0x80)) ++count;
    }
    return count;
}

// The input-method windows come and go with a thread's other windows: the system's own.
bool IsSystemImeWindow(HWND hwnd) {
    wchar_t name[32] = {};
    GetClassNameW(hwnd, name, 32);
    return wcscmp(name, L"IME") == 0 || wcscmp(name, L"MSCTFIME UI") == 0;
}

BOOL CALLBACK CountOwnWindow(HWND hwnd, LPARAM lp) {
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    if (pid == GetCurrentProcessId() && !IsSystemImeWindow(hwnd)) ++*reinterpret_cast<long*>(lp);
    return TRUE;
}

long CountTree(HWND top) {
    long count = 0;
    CountOwnWindow(top, reinterpret_cast<LPARAM>(&count));
    EnumChildWindows(top, CountOwnWindow, reinterpret_cast<LPARAM>(&count));
    return count;
}

BOOL CALLBACK CountTopLevel(HWND hwnd, LPARAM lp) {
    *reinterpret_cast<long*>(lp) += CountTree(hwnd);
    return TRUE;
}

long CountOwnWindows() {
    long count = 0;
    EnumWindows(CountTopLevel, reinterpret_cast<LPARAM>(&count));
    for (HWND h = FindWindowExW(HWND_MESSAGE, nullptr, nullptr, nullptr); h;
         h = FindWindowExW(HWND_MESSAGE, h, nullptr, nullptr)) {
        count += CountTree(h);
    }
    return count;
}

}  // namespace

GuiObjectCounts CountGuiObjects() {
    GuiObjectCounts counts;
    SetLastError(0);
    const DWORD gdi = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
    const bool implemented = !(gdi == 0 && GetLastError() == ERROR_CALL_NOT_IMPLEMENTED);
    if (implemented) {
        counts.gdi = static_cast<long>(gdi);
        counts.user = static_cast<long>(GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS));
        return counts;
    }
    if (GdiTableUsable()) counts.gdi = CountGdiInTable();
    counts.user = CountOwnWindows();
    return counts;
}

void ExpectNoGuiLeaks(const std::function<void(int)>& cycle, int times) {
    cycle(0);
    const GuiObjectCounts before = CountGuiObjects();
    for (int i = 1; i <= times; ++i)
        cycle(i);
    EXPECT_EQ(CountGuiObjects(), before);
}

}  // namespace testsupport
