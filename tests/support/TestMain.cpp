// Test entry point: a single-threaded OLE apartment, as the program has, and the message
// box guard that fails a test showing a box nobody expected instead of hanging it.
#include <windows.h>
#include <ole2.h>

#include <gtest/gtest.h>

#include "tests/support/MessageBoxCatcher.h"

int wmain(int argc, wchar_t** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (FAILED(OleInitialize(nullptr))) return 3;
    testsupport::InstallMessageBoxGuard();
    const int result = RUN_ALL_TESTS();
    OleUninitialize();
    return result;
}
