#pragma once
// The IUnknown every object of this project shares: a reference count, a
// QueryInterface that answers from the list of interfaces the class implements,
// and one count on the module for as long as the object lives (DllCanUnloadNow).
//
//   class Thing final : public ComObject<IThing, ISupportErrorInfo> { ... };
//
// IUnknown is answered with the first interface, IDispatch with the first that
// derives from it. A class with a tear-off answers its extra interfaces in
// QueryTearOff. Objects start with one reference, the creator's.
#include <windows.h>
#include <unknwn.h>

#include <new>
#include <tuple>
#include <type_traits>

#include "common/module_lock_win32.h"

namespace tabulon {

template <typename... Interfaces>
class ComObject : public Interfaces... {
  public:
    ComObject(const ComObject&) = delete;
    ComObject& operator=(const ComObject&) = delete;

    STDMETHODIMP QueryInterface(REFIID riid, void** object) override {
        if (!object) return E_POINTER;
        *object = Find(riid);
        if (!*object) return E_NOINTERFACE;
        static_cast<IUnknown*>(*object)->AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return InterlockedIncrement(&refs_); }
    STDMETHODIMP_(ULONG) Release() override {
        const ULONG refs = InterlockedDecrement(&refs_);
        if (refs == 0) delete this;
        return refs;
    }

  protected:
    ComObject() = default;
    virtual ~ComObject() = default;

    // Interfaces that live in another object (a tear-off sharing this identity).
    virtual void* QueryTearOff(REFIID) { return nullptr; }

  private:
    using First = std::tuple_element_t<0, std::tuple<Interfaces...>>;

    void* Find(REFIID riid) {
        if (riid == IID_IUnknown) return static_cast<First*>(this);
        void* found = nullptr;
        ((found || riid != __uuidof(Interfaces) ? void()
                                                : void(found = static_cast<Interfaces*>(this))),
         ...);
        if (!found && riid == IID_IDispatch)
            ((found || !std::is_base_of_v<IDispatch, Interfaces>
                  ? void()
                  : void(found = static_cast<Interfaces*>(this))),
             ...);
        return found ? found : QueryTearOff(riid);
    }

    ModuleReference moduleReference_;
    LONG refs_ = 1;
};

// Makes an object, hands out the interface asked for and drops the creator's
// reference: the object lives as long as the caller holds the interface.
template <typename T, typename... Args>
HRESULT CreateComObject(REFIID riid, void** object, Args&&... args) {
    if (!object) return E_POINTER;
    *object = nullptr;
    T* created = new (std::nothrow) T(static_cast<Args&&>(args)...);
    if (!created) return E_OUTOFMEMORY;
    const HRESULT hr = created->QueryInterface(riid, object);
    created->Release();
    return hr;
}

// A class object whose CreateInstance is `Create`; LockServer holds the module.
template <HRESULT (*Create)(IUnknown* outer, REFIID riid, void** object) noexcept>
class ClassFactory final : public ComObject<IClassFactory> {
  public:
    STDMETHODIMP CreateInstance(IUnknown* outer, REFIID riid, void** object) override {
        return Create(outer, riid, object);
    }
    STDMETHODIMP LockServer(BOOL lock) override {
        if (lock) {
            tabulon::LockServer();
            return S_OK;
        }
        return UnlockServer() ? S_OK : E_UNEXPECTED;
    }
};

}  // namespace tabulon
