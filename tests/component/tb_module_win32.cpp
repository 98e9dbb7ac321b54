#include "tb_module_win32.h"

#include <gtest/gtest.h>

namespace tabulon::testing {

std::wstring TBPath() {
    wchar_t buffer[1024];
    const DWORD n = GetEnvironmentVariableW(L"TABULON_DLL", buffer, ARRAYSIZE(buffer));
    EXPECT_TRUE(n > 0 && n < ARRAYSIZE(buffer)) << "TABULON_DLL names TB.dll";
    return std::wstring(buffer, n);
}

const TBModule& LoadTB() {
    static const TBModule tb = [] {
        TBModule m;
        m.module = LoadLibraryW(TBPath().c_str());
        if (!m.module) return m;
        m.DllGetClassObject = reinterpret_cast<decltype(m.DllGetClassObject)>(
            reinterpret_cast<void*>(GetProcAddress(m.module, "DllGetClassObject")));
        m.DllCanUnloadNow = reinterpret_cast<decltype(m.DllCanUnloadNow)>(
            reinterpret_cast<void*>(GetProcAddress(m.module, "DllCanUnloadNow")));
        m.DllRegisterServer = reinterpret_cast<decltype(m.DllRegisterServer)>(
            reinterpret_cast<void*>(GetProcAddress(m.module, "DllRegisterServer")));
        m.DllUnregisterServer = reinterpret_cast<decltype(m.DllUnregisterServer)>(
            reinterpret_cast<void*>(GetProcAddress(m.module, "DllUnregisterServer")));
        return m;
    }();
    return tb;
}

}  // namespace tabulon::testing
