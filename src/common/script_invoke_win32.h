#pragma once
// Late binding from a type description: the names a caller may ask for and an
// IDispatch::Invoke that script hosts can use too.
#include <windows.h>
#include <oaidl.h>

namespace tabulon {

// DispGetIDsOfNames for the methods Invoke can call; names of IUnknown's and
// IDispatch's own methods are unknown. Null names are refused (E_INVALIDARG).
HRESULT GetIDsOfOwnNames(ITypeInfo* typeInfo, LPOLESTR* names, UINT count, DISPID* ids) noexcept;

// ITypeInfo::Invoke, after binding every argument itself: the count, named
// arguments, and coercion to the formal types (what Wine's Invoke gets wrong or
// crashes on), with puArgErr set. VBScript hands its variables over as
// VT_BYREF|VT_VARIANT and in/out ones are written back; JScript's null/undefined
// (VT_NULL / VT_EMPTY) are Nothing for an object. pVarResult is Empty after a failure.
HRESULT InvokeWithScriptArguments(ITypeInfo* typeInfo, void* instance, DISPID member, WORD flags,
                                  DISPPARAMS* params, VARIANT* result, EXCEPINFO* exception,
                                  UINT* argError) noexcept;

}  // namespace tabulon
