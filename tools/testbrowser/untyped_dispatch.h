#pragma once
// IDispatch's type information for the stand-in's objects, which publish none: readers
// call them by dispatch id or through their own vtables.
#include <windows.h>
#include <oaidl.h>

namespace tabulon::testbrowser {

template <typename Base>
class UntypedDispatch : public Base {
  public:
    STDMETHODIMP GetTypeInfoCount(UINT* count) override {
        if (!count) return E_POINTER;
        *count = 0;
        return S_OK;
    }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo** info) override {
        if (info) *info = nullptr;
        return E_NOTIMPL;
    }
};

}  // namespace tabulon::testbrowser
