// A host that frees unused libraries loads and unloads TB.dll over and over. The
// process must survive it with its thread-local storage slots: Windows has 1,088,
// and a slot lost per load ends the host at about the thousandth.
#include <windows.h>
#include <objbase.h>
#include <wrl/client.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/bstr_win32.h"
#include "tb_h.h"
#include "tb_module_win32.h"

using Microsoft::WRL::ComPtr;
using tabulon::Bstr;

namespace {

// How many thread-local storage slots the process can still take.
int FreeTlsSlots() {
    std::vector<DWORD> taken;
    for (DWORD slot; (slot = TlsAlloc()) != TLS_OUT_OF_INDEXES;) taken.push_back(slot);
    for (DWORD slot : taken) TlsFree(slot);
    return static_cast<int>(taken.size());
}

// A copy under a name of its own, so the TB.dll that COM or other tests load is not it.
std::wstring CopyOfTB() {
    wchar_t folder[MAX_PATH];
    GetTempPathW(MAX_PATH, folder);
    const std::wstring copy = std::wstring(folder) + L"tabulon-reload-test.dll";
    EXPECT_TRUE(CopyFileW(tabulon::testing::TBPath().c_str(), copy.c_str(), FALSE))
        << "copying TB.dll: error " << GetLastError();
    return copy;
}

template <typename F>
F Export(HMODULE module, const char* name) {
    return reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

// One load of a host's life: create the plug-in, call it, including a call it
// refuses (an exception inside the DLL), let go of it and unload if it may.
void LoadCreateCallReleaseUnload(const std::wstring& path) {
    HMODULE module = LoadLibraryW(path.c_str());
    ASSERT_NE(module, nullptr) << "error " << GetLastError();
    auto getClassObject = Export<decltype(&::DllGetClassObject)>(module, "DllGetClassObject");
    auto canUnloadNow = Export<decltype(&::DllCanUnloadNow)>(module, "DllCanUnloadNow");
    ASSERT_TRUE(getClassObject && canUnloadNow);
    {
        ComPtr<IClassFactory> factory;
        ASSERT_EQ(getClassObject(CLSID_TB, IID_PPV_ARGS(&factory)), S_OK);
        ComPtr<_TB> plugin;
        ASSERT_EQ(factory->CreateInstance(nullptr, IID_PPV_ARGS(&plugin)), S_OK);
        Bstr folder;
        ASSERT_EQ(plugin->GetWinDir(folder.put()), S_OK);
        VARIANT result;
        VariantInit(&result);
        EXPECT_EQ(plugin->GetPublishCommandInfo(0, nullptr, nullptr, nullptr, &result), E_POINTER);
        VariantClear(&result);
        EXPECT_EQ(plugin.Reset(), 0u);
        EXPECT_EQ(factory.Reset(), 0u);
    }
    ASSERT_EQ(canUnloadNow(), S_OK);
    ASSERT_TRUE(FreeLibrary(module));
}

TEST(Reload, TwelveHundredLoadsKeepTheProcessAndItsThreadLocalSlots) {
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    const std::wstring copy = CopyOfTB();
    const int slotsBefore = FreeTlsSlots();
    ASSERT_GT(slotsBefore, 1000);

    for (int round = 0; round < 1200; ++round) {
        LoadCreateCallReleaseUnload(copy);
        if (HasFatalFailure()) FAIL() << "at load " << round + 1;
    }

    // The first load may take the runtime's one slot for good, never one a load.
    EXPECT_GE(FreeTlsSlots(), slotsBefore - 2);
    // TB.dll keeps itself loaded once a class object was handed out: its runtime's
    // thread-local slot cannot be given back, so it is taken once, not per load.
    EXPECT_NE(GetModuleHandleW(copy.c_str()), nullptr);
    CoUninitialize();
}

}  // namespace
