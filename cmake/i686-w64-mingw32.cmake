# Cross build for 32-bit Windows with Debian's mingw-w64: the posix thread model, for the
# test programs and tools (std::thread, GoogleTest).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(TOOLCHAIN_PREFIX i686-w64-mingw32)

set(CMAKE_C_COMPILER ${TOOLCHAIN_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TOOLCHAIN_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${TOOLCHAIN_PREFIX}-windres)
set(TABULON_WIDL ${TOOLCHAIN_PREFIX}-widl)
set(TABULON_OBJDUMP ${TOOLCHAIN_PREFIX}-objdump)

# Where Debian 12 keeps what the cross build takes from the build machine; elsewhere,
# set them with -D. widl needs Wine's IDL files (mingw-w64's packages ship none) and
# the folder of Wine's 32-bit DLLs, which holds stdole2.tlb.
set(TABULON_WIDL_INCLUDE_DIR /usr/include/wine/wine/windows
    CACHE PATH "Wine's IDL files, for widl's imports")
set(TABULON_WIDL_LIBRARY_DIR /usr/lib/i386-linux-gnu/wine/i386-windows
    CACHE PATH "Folder with stdole2.tlb, for widl's importlib")
set(TABULON_GTEST_SOURCE_DIR /usr/src/googletest
    CACHE PATH "GoogleTest's sources, built with the cross compilers")

set(CMAKE_FIND_ROOT_PATH /usr/${TOOLCHAIN_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
