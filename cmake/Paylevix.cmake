# Project-wide settings and helpers for the Windows build.

set(PAYLEVIX_GTEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest sources")
if(NOT WINE_ARCH)
    if(CMAKE_SIZEOF_VOID_P EQUAL 8)
        set(WINE_ARCH win64)
    else()
        set(WINE_ARCH win32)
    endif()
endif()

# Every program runs through Wine in a prefix of this build folder.
set(PAYLEVIX_WINE_ENV ${CMAKE_SOURCE_DIR}/tools/wine-env.sh)
configure_file(${CMAKE_SOURCE_DIR}/cmake/wine-run.sh.in ${CMAKE_BINARY_DIR}/wine-run @ONLY
               FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
                                WORLD_READ WORLD_EXECUTE)
set(CMAKE_CROSSCOMPILING_EMULATOR ${CMAKE_BINARY_DIR}/wine-run)

# Test programs run in parallel, each in a Wine environment of its own (tools/wine-env.sh):
# this many environments, described for ctest's resource allocation.
set(PAYLEVIX_TEST_SLOTS 2 CACHE STRING "Wine environments for parallel test programs")
set(paylevix_slots "")
math(EXPR paylevix_last_slot "${PAYLEVIX_TEST_SLOTS} - 1")
foreach(paylevix_slot RANGE ${paylevix_last_slot})
    list(APPEND paylevix_slots "{\"id\": \"${paylevix_slot}\", \"slots\": 1}")
endforeach()
list(JOIN paylevix_slots ", " paylevix_slots)
file(WRITE ${CMAKE_BINARY_DIR}/wine-slots.json
     "{\"version\": {\"major\": 1, \"minor\": 0},\n \"local\": [{\"wine\": [${paylevix_slots}]}]}\n")

add_compile_definitions(UNICODE _UNICODE NOMINMAX WINVER=0x0601 _WIN32_WINNT=0x0601
                        _WIN32_IE=0x0800)
# No compiler runtime DLLs to ship: the executables import system DLLs only.
add_link_options(-static -static-libgcc -static-libstdc++ $<$<CONFIG:MinSizeRel,Release>:-s>)

# Warnings are errors in the build CI runs (the default); a local build may turn that off.
option(PAYLEVIX_WERROR "Treat compiler warnings as errors" ON)
set(PAYLEVIX_WARNINGS -Wall -Wextra $<$<BOOL:${PAYLEVIX_WERROR}>:-Werror>)

# The common-controls version 6 manifest, shared by the program and every test
# executable so that both get the same comctl32.
set(PAYLEVIX_MANIFEST ${CMAKE_SOURCE_DIR}/setup/Paylevix.manifest)
set(PAYLEVIX_MANIFEST_RC ${CMAKE_BINARY_DIR}/manifest.rc)
file(WRITE ${PAYLEVIX_MANIFEST_RC}
     "#include <winuser.h>\n1 RT_MANIFEST \"${PAYLEVIX_MANIFEST}\"\n")

# Each library sees its own folder and, through the libraries it links, the layers below it,
# never a higher one: its include directory is a view of the source tree holding only its own
# folder (build/include/<library>/<folder>, a link to the sources), so "#include" of a higher
# layer's header is not found.
function(paylevix_library name)
    add_library(${name} STATIC ${ARGN})
    target_compile_options(${name} PRIVATE ${PAYLEVIX_WARNINGS})
    file(RELATIVE_PATH folder ${CMAKE_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR})
    set(view ${CMAKE_BINARY_DIR}/include/${name})
    if(NOT IS_SYMLINK ${view}/${folder})
        get_filename_component(parent ${view}/${folder} DIRECTORY)
        file(MAKE_DIRECTORY ${parent})
        file(CREATE_LINK ${CMAKE_CURRENT_SOURCE_DIR} ${view}/${folder} SYMBOLIC)
    endif()
    target_include_directories(${name} PUBLIC ${view})
endfunction()

# paylevix_executable(NAME [WIN32] [NO_MANIFEST] SOURCES ... [LIBS ...]): a program with the
# project's warnings, the wide entry point and, unless it carries its own, the
# common-controls manifest.
function(paylevix_executable name)
    cmake_parse_arguments(E "WIN32;NO_MANIFEST" "" "SOURCES;LIBS" ${ARGN})
    set(kind)
    if(E_WIN32)
        set(kind WIN32)
    endif()
    set(manifest ${PAYLEVIX_MANIFEST_RC})
    if(E_NO_MANIFEST)
        set(manifest)
    endif()
    add_executable(${name} ${kind} ${E_SOURCES} ${manifest})
    target_compile_options(${name} PRIVATE ${PAYLEVIX_WARNINGS})
    target_link_libraries(${name} PRIVATE ${E_LIBS})
    target_link_options(${name} PRIVATE -municode)
endfunction()

# paylevix_test(NAME SOURCES... LIBS ... [TIMEOUT s]): one executable, one CTest entry, run
# through Wine inside the shared test environment.
function(paylevix_test name)
    cmake_parse_arguments(T "" "TIMEOUT" "SOURCES;LIBS" ${ARGN})
    paylevix_executable(${name} SOURCES ${T_SOURCES} LIBS ${T_LIBS} test_support)
    add_test(NAME ${name} COMMAND ${name})
    if(NOT T_TIMEOUT)
        set(T_TIMEOUT 300)
    endif()
    set_tests_properties(${name} PROPERTIES FIXTURES_REQUIRED wine TIMEOUT ${T_TIMEOUT})
endfunction()
