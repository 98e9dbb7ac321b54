#include "component/class_factory_win32.h"

#include <new>

#include "common/module_lock_win32.h"
#include "plugin/tb_object_win32.h"

namespace tabulon {

namespace {

class TBClassFactory final : public IClassFactory {
  public:
    STDMETHODIMP QueryInterface(REFIID riid, void** object) override {
        if (!object) return E_POINTER;
        if (riid == IID_IUnknown || riid == IID_IClassFactory) {
            *object = static_cast<IClassFactory*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return InterlockedIncrement(&refs_); }
    STDMETHODIMP_(ULONG) Release() override {
        const ULONG refs = InterlockedDecrement(&refs_);
        if (refs == 0) delete this;
        return refs;
    }

    STDMETHODIMP CreateInstance(IUnknown* outer, REFIID riid, void** object) override {
        return CreateTBObject(outer, riid, object);
    }
    STDMETHODIMP LockServer(BOOL lock) override {
        if (lock) {
            tabulon::LockServer();
            return S_OK;
        }
        return UnlockServer() ? S_OK : E_UNEXPECTED;
    }

  private:
    ModuleReference moduleReference_;
    LONG refs_ = 1;
};

}  // namespace

HRESULT CreateTBClassFactory(REFIID riid, void** object) noexcept {
    if (!object) return E_POINTER;
    *object = nullptr;
    auto* factory = new (std::nothrow) TBClassFactory();
    if (!factory) return E_OUTOFMEMORY;
    const HRESULT hr = factory->QueryInterface(riid, object);
    factory->Release();
    return hr;
}

}  // namespace tabulon
