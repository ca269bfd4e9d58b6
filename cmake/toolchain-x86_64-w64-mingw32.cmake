# Cross-compiling for 64-bit Windows.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(WINE_ARCH win64)
include(${CMAKE_CURRENT_LIST_DIR}/toolchain-mingw.cmake)
