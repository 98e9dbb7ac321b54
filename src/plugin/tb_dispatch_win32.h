#pragma once
// _TB's own type information, loaded from this module's embedded type library:
// what late binding (common/script_invoke_win32.h) works from.
#include <windows.h>
#include <oaidl.h>

namespace tabulon {

// The interface view of _TB (its own nine methods, HRESULT returns, retval last):
// the view DispInvoke needs and IDispatch::GetTypeInfo hands out. Loaded once and
// shared; returns an added reference. Throws Failure when the library can't be read.
ITypeInfo* AcquireTBTypeInfo();

// Drops the shared type information; called when the DLL may unload.
void ReleaseTBTypeInfo() noexcept;

}  // namespace tabulon
