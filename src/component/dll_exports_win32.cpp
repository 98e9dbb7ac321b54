// The four exports of TB.dll (named in tb.def). There is no start-up code:
// all plug-in work begins in _TB::Initialize.
#include <windows.h>
#include <olectl.h>

#include "common/module_lock_win32.h"
#include "component/class_factory_win32.h"
#include "component/registration_win32.h"
#include "plugin/tb_object_win32.h"
#include "tb_h.h"

extern "C" {

// Thread notifications stay on: the statically linked runtime has a TLS directory.
BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }

HRESULT WINAPI DllGetClassObject(REFCLSID clsid, REFIID riid, void** object) {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (clsid != CLSID_TB) return CLASS_E_CLASSNOTAVAILABLE;
    tabulon::PinThisModule();
    return tabulon::CreateTBClassFactory(riid, object);
}

HRESULT WINAPI DllCanUnloadNow() {
    if (tabulon::ModuleLockCount() != 0) return S_FALSE;
    tabulon::ReleaseSharedState();
    return S_OK;
}

HRESULT WINAPI DllRegisterServer() { return tabulon::RegisterTBServer(); }

HRESULT WINAPI DllUnregisterServer() { return tabulon::UnregisterTBServer(); }

}  // extern "C"
