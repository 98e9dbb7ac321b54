# 32-bit Windows: TB.dll for the host, which is a 32-bit program.
set(CMAKE_SYSTEM_PROCESSOR i686)
set(TOOLCHAIN_PREFIX i686-w64-mingw32)
set(TABULON_TARGET_WIDTH 32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
