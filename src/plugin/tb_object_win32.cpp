#include "plugin/tb_object_win32.h"

#include <shldisp.h>
#include <wrl/client.h>

#include <new>

#include "common/bstr_win32.h"
#include "common/com_error_win32.h"
#include "common/com_object_win32.h"
#include "common/script_invoke_win32.h"
#include "common/variant_win32.h"
#include "plugin/command_table.h"
#include "plugin/tb_dispatch_win32.h"
#include "plugin/tb_operations_win32.h"
#include "tb_h.h"
#include "ui/frm_web_win32.h"

using Microsoft::WRL::ComPtr;

namespace tabulon {

namespace {

class TBObject;

// MPPluginDef shares its method names and signatures with _TB, so it gets an
// object of its own inside TB: every operation leaves its arguments alone and
// answers False or Empty.
class PluginDefNoOps final : public MPPluginDef {
  public:
    explicit PluginDefNoOps(IUnknown* outer) : outer_(outer) {}

    STDMETHODIMP QueryInterface(REFIID riid, void** object) override {
        return outer_->QueryInterface(riid, object);
    }
    STDMETHODIMP_(ULONG) AddRef() override { return outer_->AddRef(); }
    STDMETHODIMP_(ULONG) Release() override { return outer_->Release(); }

    STDMETHODIMP Initialize(LONG, BSTR, IDispatch*, VARIANT_BOOL* result) override {
        return False(result);
    }
    STDMETHODIMP Uninitialize(VARIANT* result) override { return Empty(result); }
    STDMETHODIMP GetPublishInfo(BSTR*, LONG*, LONG*, VARIANT_BOOL* result) override {
        return False(result);
    }
    STDMETHODIMP GetPublishCommandInfo(LONG, BSTR*, BSTR*, BSTR*, VARIANT* result) override {
        return Empty(result);
    }
    STDMETHODIMP GetPublishTagInfo(LONG, BSTR*, BSTR*, VARIANT* result) override {
        return Empty(result);
    }
    STDMETHODIMP ParseCommand(BSTR, BSTR, IDispatch*, BSTR*, VARIANT_BOOL* result) override {
        return False(result);
    }
    STDMETHODIMP ParseTag(BSTR, IDispatch*, BSTR*, VARIANT_BOOL* result) override {
        return False(result);
    }
    STDMETHODIMP ReceiveNotify(BSTR, BSTR, BSTR, IDispatch*, BSTR*, VARIANT_BOOL* result) override {
        return False(result);
    }

  private:
    static HRESULT False(VARIANT_BOOL* result) {
        if (!result) return E_POINTER;
        *result = VARIANT_FALSE;
        return S_OK;
    }
    static HRESULT Empty(VARIANT* result) {
        if (!result) return E_POINTER;
        VariantInit(result);
        return S_OK;
    }

    IUnknown* outer_;
};

class TBObject final : public ComObject<_TB, ISupportErrorInfo> {
  public:
    explicit TBObject(ITypeInfo* typeInfo)
        : typeInfo_(typeInfo), pluginDef_(static_cast<_TB*>(this)) {}

    // IDispatch, driven by the embedded type information.
    STDMETHODIMP GetTypeInfoCount(UINT* count) override {
        if (!count) return E_POINTER;
        *count = 1;
        return S_OK;
    }
    STDMETHODIMP GetTypeInfo(UINT index, LCID, ITypeInfo** info) override {
        if (!info) return E_POINTER;
        *info = nullptr;
        if (index != 0) return DISP_E_BADINDEX;
        typeInfo_.CopyTo(info);
        return S_OK;
    }
    STDMETHODIMP GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID,
                               DISPID* ids) override {
        if (riid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
        return GetIDsOfOwnNames(typeInfo_.Get(), names, count, ids);
    }
    STDMETHODIMP Invoke(DISPID member, REFIID riid, LCID, WORD flags, DISPPARAMS* params,
                        VARIANT* result, EXCEPINFO* exception, UINT* argError) override {
        if (result) VariantInit(result);  // Empty after any failure
        if (riid != IID_NULL) return DISP_E_UNKNOWNINTERFACE;
        // A modal window's message loop may let the host release us mid-call.
        ComPtr<_TB> self(this);
        return InvokeWithScriptArguments(typeInfo_.Get(), static_cast<_TB*>(this), member, flags,
                                         params, result, exception, argError);
    }

    // ISupportErrorInfo
    STDMETHODIMP InterfaceSupportsErrorInfo(REFIID riid) override {
        return riid == IID__TB ? S_OK : S_FALSE;
    }

    // _TB
    STDMETHODIMP Initialize(LONG, BSTR, IDispatch*, VARIANT_BOOL* result) override {
        return Boundary(result, [&] { return ops_.Initialize(); });
    }
    STDMETHODIMP GetWinDir(BSTR* result) override {
        if (!result) return E_POINTER;
        *result = nullptr;
        return ComBoundary(IID__TB, [&] {
            *result = Bstr::Allocate(ops_.GetWinDir());
            return S_OK;
        });
    }
    STDMETHODIMP Uninitialize(VARIANT* result) override {
        if (!result) return E_POINTER;
        VariantInit(result);
        return S_OK;
    }
    STDMETHODIMP GetPublishInfo(BSTR* sPluginName, LONG* nCommandCount, LONG* nTagCount,
                                VARIANT_BOOL* result) override {
        return Boundary(result, [&] {
            RequirePointers(sPluginName, nCommandCount, nTagCount);
            ReplaceBstr(sPluginName, kPluginName);
            *nCommandCount = static_cast<LONG>(kCommandTable.size());
            *nTagCount = 0;
            return true;
        });
    }
    STDMETHODIMP GetPublishCommandInfo(LONG nCommandIdx, BSTR* sName, BSTR* sValue, BSTR* sHelp,
                                       VARIANT* result) override {
        return EmptyBoundary(result, [&] {
            RequirePointers(sName, sValue, sHelp);
            if (const CommandEntry* entry = FindPublishedCommand(nCommandIdx)) {
                ReplaceBstr(sName, entry->label);
                ReplaceBstr(sValue, entry->word);
            }
        });
    }
    STDMETHODIMP GetPublishTagInfo(LONG, BSTR* sName, BSTR* sValue, VARIANT* result) override {
        return EmptyBoundary(result, [&] { RequirePointers(sName, sValue); });
    }
    STDMETHODIMP ParseCommand(BSTR sCommand, BSTR, IDispatch*, BSTR* sResult,
                              VARIANT_BOOL* result) override {
        return Boundary(result, [&] {
            RequirePointers(sResult);
            return ops_.ParseCommand(Bstr::View(sCommand), sResult);
        });
    }
    STDMETHODIMP ParseTag(BSTR, IDispatch*, BSTR* sResult, VARIANT_BOOL* result) override {
        return Boundary(result, [&] {
            RequirePointers(sResult);
            return false;
        });
    }
    STDMETHODIMP ReceiveNotify(BSTR, BSTR, BSTR, IDispatch*, BSTR* sTextToSend,
                               VARIANT_BOOL* result) override {
        return Boundary(result, [&] {
            RequirePointers(sTextToSend);
            return false;
        });
    }

  private:
    ~TBObject() override = default;

    void* QueryTearOff(REFIID riid) override {
        return riid == IID_MPPluginDef ? static_cast<MPPluginDef*>(&pluginDef_) : nullptr;
    }

    template <typename... P>
    static void RequirePointers(P*... pointers) {
        if (((pointers == nullptr) || ...))
            throw Failure(E_POINTER, u"A by-reference argument was passed as a null pointer.");
    }

    // A Boolean operation: False until the body has done its work.
    template <typename Body>
    static HRESULT Boundary(VARIANT_BOOL* result, Body&& body) noexcept {
        if (!result) return E_POINTER;
        *result = VARIANT_FALSE;
        return ComBoundary(IID__TB, [&] {
            *result = body() ? VARIANT_TRUE : VARIANT_FALSE;
            return S_OK;
        });
    }

    // A Variant operation: always Empty.
    template <typename Body>
    static HRESULT EmptyBoundary(VARIANT* result, Body&& body) noexcept {
        if (!result) return E_POINTER;
        VariantInit(result);
        return ComBoundary(IID__TB, [&] {
            body();
            return S_OK;
        });
    }

    ComPtr<ITypeInfo> typeInfo_;
    PluginDefNoOps pluginDef_;
    TBOperations ops_;
};

}  // namespace

HRESULT CreateTBObject(IUnknown* outer, REFIID riid, void** object) noexcept {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (outer) return CLASS_E_NOAGGREGATION;
    return ComBoundary(IID_IClassFactory, [&] {
        ComPtr<ITypeInfo> typeInfo;
        typeInfo.Attach(AcquireTBTypeInfo());
        return CreateComObject<TBObject>(riid, object, typeInfo.Get());
    });
}

void ReleaseSharedState() noexcept {
    ReleaseTBTypeInfo();
    FrmWeb::ReleaseShellOfThread();
}

}  // namespace tabulon
