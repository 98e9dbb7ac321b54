#pragma once
// TB.dll as the tests see it: its Windows path (from TABULON_DLL) and the module
// loaded into the test process, with its four exports.
#include <windows.h>

#include <string>

namespace tabulon::testing {

std::wstring TBPath();

struct TBModule {
    HMODULE module = nullptr;
    HRESULT(WINAPI* DllGetClassObject)(REFCLSID, REFIID, void**) = nullptr;
    HRESULT(WINAPI* DllCanUnloadNow)() = nullptr;
    HRESULT(WINAPI* DllRegisterServer)() = nullptr;
    HRESULT(WINAPI* DllUnregisterServer)() = nullptr;
};

// Loads TB.dll once for the process (COM later finds the same module).
const TBModule& LoadTB();

}  // namespace tabulon::testing
