// GoogleTest's entry point. Windows tests run in a single-threaded apartment, as a
// host's user-interface thread does.
#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>
#include <objbase.h>
#endif

int main(int argc, char** argv) {
    testing::InitGoogleTest(&argc, argv);
#ifdef _WIN32
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return 2;
    const int rc = RUN_ALL_TESTS();
    CoUninitialize();
    return rc;
#else
    return RUN_ALL_TESTS();
#endif
}
