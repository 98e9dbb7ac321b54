#pragma once
// TB.dll as the tests see it: its Windows path (from TABULON_DLL) and the module
// loaded into the test process, with its four exports, typed as the system declares them.
#include <windows.h>
#include <olectl.h>

#include <string>

namespace tabulon::testing {

std::wstring TBPath();

struct TBModule {
    HMODULE module = nullptr;
    decltype(&::DllGetClassObject) DllGetClassObject = nullptr;
    decltype(&::DllCanUnloadNow) DllCanUnloadNow = nullptr;
    decltype(&::DllRegisterServer) DllRegisterServer = nullptr;
    decltype(&::DllUnregisterServer) DllUnregisterServer = nullptr;
};

// Loads TB.dll once for the process (COM later finds the same module).
const TBModule& LoadTB();

}  // namespace tabulon::testing
