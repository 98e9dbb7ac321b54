# TB.dll's compilers: the win32 thread model, whose static runtime needs no
# winpthreads and so imports nothing newer than Windows XP.
include(${CMAKE_CURRENT_LIST_DIR}/i686-w64-mingw32.cmake)

set(CMAKE_C_COMPILER ${TOOLCHAIN_PREFIX}-gcc-win32)
set(CMAKE_CXX_COMPILER ${TOOLCHAIN_PREFIX}-g++-win32)
