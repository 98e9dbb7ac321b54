# Cross build for Windows with Debian's mingw-w64, shared by both widths; the width's
# own toolchain file (i686-w64-mingw32.cmake, x86_64-w64-mingw32.cmake) names the
# target and includes this.
#
# TABULON_THREAD_MODEL picks the compilers: posix (the default) for the test programs
# and tools, which use std::thread and GoogleTest; win32 for TB.dll's own sub-build,
# whose static runtime then needs no winpthreads and imports nothing newer than XP.
set(CMAKE_SYSTEM_NAME Windows)
if(NOT TABULON_THREAD_MODEL)
    set(TABULON_THREAD_MODEL posix)
endif()
# try_compile projects read this file again: they must pick the same compilers.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES TABULON_THREAD_MODEL)

set(CMAKE_C_COMPILER ${TOOLCHAIN_PREFIX}-gcc-${TABULON_THREAD_MODEL})
set(CMAKE_CXX_COMPILER ${TOOLCHAIN_PREFIX}-g++-${TABULON_THREAD_MODEL})
set(CMAKE_RC_COMPILER ${TOOLCHAIN_PREFIX}-windres)
set(TABULON_WIDL ${TOOLCHAIN_PREFIX}-widl)
set(TABULON_OBJDUMP ${TOOLCHAIN_PREFIX}-objdump)

# The build machine's paths, one KEY=VALUE a line; -D overrides each.
file(STRINGS ${CMAKE_CURRENT_LIST_DIR}/build-machine.paths machine_paths REGEX "^[A-Z0-9_]+=")
foreach(line IN LISTS machine_paths)
    string(REGEX MATCH "^([A-Z0-9_]+)=(.*)$" _ "${line}")
    set(TABULON_MACHINE_${CMAKE_MATCH_1} "${CMAKE_MATCH_2}")
endforeach()
set(TABULON_WIDL_INCLUDE_DIR ${TABULON_MACHINE_WIDL_INCLUDE_DIR}
    CACHE PATH "Wine's IDL files, for widl's imports")
set(TABULON_WIDL_LIBRARY_DIR ${TABULON_MACHINE_STDOLE2_DIR}
    CACHE PATH "Folder with stdole2.tlb, for widl's importlib")
set(TABULON_GTEST_SOURCE_DIR ${TABULON_MACHINE_GTEST_SOURCE_DIR}
    CACHE PATH "GoogleTest's sources, built with the cross compilers")

set(CMAKE_FIND_ROOT_PATH /usr/${TOOLCHAIN_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
