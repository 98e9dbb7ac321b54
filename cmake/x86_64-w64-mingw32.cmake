# 64-bit Windows: TB.dll for 64-bit script hosts and programs, from the same sources.
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(TOOLCHAIN_PREFIX x86_64-w64-mingw32)
set(TABULON_TARGET_WIDTH 64)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
