#include "dll_class_win32.h"

#include <oleauto.h>

namespace tabulon::host {

namespace {

using Microsoft::WRL::ComPtr;

DllClass Failed(HRESULT hr, std::wstring what) {
    DllClass result;
    result.hr = hr;
    result.failure = std::move(what);
    return result;
}

HRESULT LastError() { return HRESULT_FROM_WIN32(GetLastError()); }

// The first coclass in the type library that the DLL carries as a resource.
HRESULT FirstClassInTypeLibrary(const wchar_t* module_path, CLSID* clsid) {
    ComPtr<ITypeLib> library;
    HRESULT hr = LoadTypeLibEx(module_path, REGKIND_NONE, &library);
    if (FAILED(hr)) return hr;
    const UINT count = library->GetTypeInfoCount();
    for (UINT i = 0; i < count; ++i) {
        TYPEKIND kind;
        if (FAILED(library->GetTypeInfoType(i, &kind)) || kind != TKIND_COCLASS) continue;
        ComPtr<ITypeInfo> info;
        hr = library->GetTypeInfo(i, &info);
        if (FAILED(hr)) return hr;
        TYPEATTR* attributes = nullptr;
        hr = info->GetTypeAttr(&attributes);
        if (FAILED(hr)) return hr;
        *clsid = attributes->guid;
        info->ReleaseTypeAttr(attributes);
        return S_OK;
    }
    return TYPE_E_ELEMENTNOTFOUND;
}

}  // namespace

DllClass CreateFromDll(const std::wstring& path, const CLSID* clsid) {
    // Its own folder first for what the DLL imports, as for a registered server.
    const HMODULE module = LoadLibraryExW(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    if (!module) return Failed(LastError(), L"LoadLibrary");
    using GetClassObject = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
    const auto get_class_object = reinterpret_cast<GetClassObject>(
        reinterpret_cast<void*>(GetProcAddress(module, "DllGetClassObject")));
    if (!get_class_object) return Failed(LastError(), L"no DllGetClassObject export");

    DllClass result;
    if (clsid) {
        result.clsid = *clsid;
    } else {
        wchar_t loaded[MAX_PATH];
        const DWORD length = GetModuleFileNameW(module, loaded, MAX_PATH);
        if (length == 0 || length == MAX_PATH) return Failed(LastError(), L"GetModuleFileName");
        const HRESULT hr = FirstClassInTypeLibrary(loaded, &result.clsid);
        if (FAILED(hr))
            return Failed(hr, L"no type library that names a class (give one with --clsid)");
    }

    ComPtr<IClassFactory> factory;
    result.hr = get_class_object(result.clsid, IID_PPV_ARGS(&factory));
    if (FAILED(result.hr)) {
        result.failure = L"DllGetClassObject";
        return result;
    }
    result.hr = factory->CreateInstance(nullptr, IID_PPV_ARGS(&result.object));
    if (FAILED(result.hr)) result.failure = L"IClassFactory::CreateInstance";
    return result;
}

}  // namespace tabulon::host
