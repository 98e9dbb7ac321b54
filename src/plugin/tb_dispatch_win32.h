#pragma once
// Late binding for _TB: the interface's own type information, loaded from this
// module's embedded type library, and an Invoke that script hosts can use too.
#include <windows.h>
#include <oaidl.h>

namespace tabulon {

// The interface view of _TB (its own nine methods, HRESULT returns, retval last):
// the view DispInvoke needs and IDispatch::GetTypeInfo hands out. Loaded once and
// shared; returns an added reference. Throws Failure when the library can't be read.
ITypeInfo* AcquireTBTypeInfo();

// Drops the shared type information; called when the DLL may unload.
void ReleaseTBTypeInfo() noexcept;

// ITypeInfo::Invoke, after binding what script engines pass: VBScript hands its
// variables over as VT_BYREF|VT_VARIANT, and JScript null/undefined as VT_NULL /
// VT_EMPTY. Both are turned into what the formal parameter types ask for.
HRESULT InvokeWithScriptArguments(ITypeInfo* typeInfo, void* instance, DISPID member,
                                  WORD flags, DISPPARAMS* params, VARIANT* result,
                                  EXCEPINFO* exception, UINT* argError) noexcept;

}  // namespace tabulon
