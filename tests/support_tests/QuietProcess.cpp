// Shows no window and no box; lives for the number of milliseconds given, or until killed.
#include <windows.h>

#include <cwchar>

int wmain(int argc, wchar_t** argv) {
    Sleep(argc > 1 ? static_cast<DWORD>(wcstoul(argv[1], nullptr, 10)) : 10000);
    return 0;
}
