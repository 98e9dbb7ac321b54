#pragma once
// Creating a COM class straight from its DLL, without the registry: the way to try
// a plug-in before it is installed.
#include <windows.h>
#include <oaidl.h>
#include <wrl/client.h>

#include <string>

namespace tabulon::host {

struct DllClass {
    Microsoft::WRL::ComPtr<IDispatch> object;
    CLSID clsid{};
    HRESULT hr = E_FAIL;
    std::wstring failure;  // the step that failed, when object is null
};

// Loads the DLL (which then stays loaded for the process's life) and creates the
// class through its DllGetClassObject: `clsid`, or when it is null the first class
// the DLL's embedded type library names.
DllClass CreateFromDll(const std::wstring& path, const CLSID* clsid);

}  // namespace tabulon::host
