#include "common/script_invoke_win32.h"

#include <wrl/client.h>

#include <memory>
#include <new>
#include <vector>

#include "common/variant_win32.h"

using Microsoft::WRL::ComPtr;

namespace tabulon {

namespace {

HRESULT Refuse(HRESULT hr, UINT index, UINT* argError) {
    if (argError) *argError = index;
    return hr;
}

// One coercion failure as Invoke reports it.
HRESULT CoercionFailure(HRESULT hr) {
    return hr == DISP_E_OVERFLOW || hr == E_OUTOFMEMORY ? hr : DISP_E_TYPEMISMATCH;
}

// The method a DISPID names, with its parameters.
class Method {
  public:
    Method(ITypeInfo* typeInfo, FUNCDESC* func) : typeInfo_(typeInfo), func_(func) {}
    Method(const Method&) = delete;
    Method& operator=(const Method&) = delete;
    ~Method() { typeInfo_->ReleaseFuncDesc(func_); }

    // Parameters the caller passes: all but the retval.
    UINT Formals() const {
        UINT formals = 0;
        for (SHORT p = 0; p < func_->cParams; ++p)
            if (!(Param(p).paramdesc.wParamFlags & PARAMFLAG_FRETVAL)) ++formals;
        return formals;
    }
    const ELEMDESC& Param(SHORT p) const { return func_->lprgelemdescParam[p]; }

  private:
    ITypeInfo* typeInfo_;
    FUNCDESC* func_;
};

// Step 1: the DISPPARAMS are well formed and the member is a method with as many
// parameters as the caller passes.
HRESULT CheckCall(ITypeInfo* typeInfo, DISPID member, WORD flags, const DISPPARAMS* params,
                  std::unique_ptr<Method>& method) {
    if (!params || (params->cArgs && !params->rgvarg) ||
        (params->cNamedArgs && !params->rgdispidNamedArgs) || params->cNamedArgs > params->cArgs)
        return E_INVALIDARG;
    ComPtr<ITypeInfo2> info2;
    UINT index = 0;
    FUNCDESC* func = nullptr;
    if (FAILED(typeInfo->QueryInterface(IID_PPV_ARGS(&info2))) ||
        FAILED(info2->GetFuncIndexOfMemId(member, INVOKE_FUNC, &index)) ||
        FAILED(typeInfo->GetFuncDesc(index, &func)))
        return DISP_E_MEMBERNOTFOUND;
    method.reset(new (std::nothrow) Method(typeInfo, func));
    if (!method) {
        typeInfo->ReleaseFuncDesc(func);
        return E_OUTOFMEMORY;
    }
    if (!(flags & DISPATCH_METHOD)) return DISP_E_MEMBERNOTFOUND;
    if (params->cArgs != method->Formals()) return DISP_E_BADPARAMCOUNT;
    return S_OK;
}

// Step 2: where each parameter's argument is, named ones by their DISPID, the rest
// by position.
HRESULT MapArguments(const DISPPARAMS& params, std::vector<UINT>& source, UINT* argError) {
    const UINT unset = params.cArgs;
    source.assign(params.cArgs, unset);
    for (UINT i = 0; i < params.cArgs; ++i) {
        const DISPID p = i < params.cNamedArgs ? params.rgdispidNamedArgs[i]
                                               : static_cast<DISPID>(params.cArgs - 1 - i);
        if (p < 0 || static_cast<UINT>(p) >= params.cArgs || source[p] != unset)
            return Refuse(DISP_E_PARAMNOTFOUND, i, argError);
        source[p] = i;
    }
    return S_OK;
}

// Step 3: every argument coerced into a value of our own before the method runs,
// so a refused call changes nothing. VBScript's VT_BYREF|VT_VARIANT variables and
// by-value arguments for in/out parameters get a temporary that is written back to
// the script's variable (or dropped) after the call.
class BoundArguments {
  public:
    explicit BoundArguments(UINT count) : temps_(count), writeBack_(count), bound_(count) {}

    HRESULT Bind(const Method& method, DISPPARAMS& params, const std::vector<UINT>& source,
                 UINT* argError) {
        const UINT count = static_cast<UINT>(bound_.size());
        for (UINT p = 0; p < count; ++p) {
            const UINT i = source[p];
            const HRESULT hr = BindOne(method.Param(static_cast<SHORT>(p)).tdesc, &params.rgvarg[i],
                                       p, bound_[count - 1 - p]);
            if (FAILED(hr)) return Refuse(hr, i, argError);
        }
        return S_OK;
    }

    DISPPARAMS Positional() {
        return DISPPARAMS{bound_.data(), nullptr, static_cast<UINT>(bound_.size()), 0};
    }

    // The temporaries of in/out parameters go back to the script's variables.
    void WriteBack() {
        for (size_t p = 0; p < writeBack_.size(); ++p) {
            if (!writeBack_[p]) continue;
            VariantClear(writeBack_[p]);
            *writeBack_[p] = *temps_[p].get();
            VariantInit(temps_[p].get());
        }
    }

  private:
    HRESULT BindOne(const TYPEDESC& formal, VARIANT* arg, UINT p, VARIANTARG& out) {
        VARIANT* variable = nullptr;
        for (int depth = 0; arg->vt == (VT_BYREF | VT_VARIANT); ++depth) {
            if (!arg->pvarVal || depth == 8) return DISP_E_TYPEMISMATCH;
            variable = arg = arg->pvarVal;
        }
        VARIANT& temp = *temps_[p].get();

        if (formal.vt == VT_PTR && formal.lptdesc->vt != VT_VARIANT) {
            const VARTYPE target = formal.lptdesc->vt;
            if (arg->vt == (VT_BYREF | target)) {
                out = *arg;  // the caller's own storage
                return S_OK;
            }
            if (arg->vt & VT_BYREF) return DISP_E_TYPEMISMATCH;
            const HRESULT hr = VariantChangeType(&temp, arg, 0, target);
            if (FAILED(hr)) return CoercionFailure(hr);
            VariantInit(&out);
            out.vt = VT_BYREF | target;
            out.byref = &temp.lVal;  // the value's storage, whatever its type
            writeBack_[p] = variable;
        } else if (formal.vt == VT_VARIANT || formal.vt == VT_PTR) {
            out = *arg;
        } else {
            if ((arg->vt & VT_BYREF) && !arg->byref) return DISP_E_TYPEMISMATCH;
            if ((arg->vt == VT_EMPTY || arg->vt == VT_NULL) && formal.vt == VT_DISPATCH) {
                temp.vt = VT_DISPATCH;
                temp.pdispVal = nullptr;
            } else {
                const HRESULT hr = VariantChangeType(&temp, arg, 0, formal.vt);
                if (FAILED(hr)) return CoercionFailure(hr);
            }
            out = temp;  // shallow: temp keeps ownership
        }
        return S_OK;
    }

    std::vector<Variant> temps_;
    std::vector<VARIANT*> writeBack_;
    std::vector<VARIANTARG> bound_;
};

// Step 4: the call itself, on positional arguments of the formal types.
HRESULT InvokeBound(ITypeInfo* typeInfo, void* instance, DISPID member, WORD flags,
                    BoundArguments& arguments, VARIANT* result, EXCEPINFO* exception,
                    UINT* argError) {
    DISPPARAMS positional = arguments.Positional();
    const HRESULT hr =
        typeInfo->Invoke(instance, member, flags, &positional, result, exception, argError);
    // A method that fails still hands back its retval (False); the caller gets Empty.
    if (FAILED(hr) && result) VariantClear(result);
    arguments.WriteBack();
    return hr;
}

}  // namespace

HRESULT GetIDsOfOwnNames(ITypeInfo* typeInfo, LPOLESTR* names, UINT count, DISPID* ids) noexcept {
    if (count == 0) return S_OK;
    if (!names || !ids) return E_INVALIDARG;
    for (UINT i = 0; i < count; ++i)
        if (!names[i]) return E_INVALIDARG;
    const HRESULT hr = DispGetIDsOfNames(typeInfo, names, count, ids);
    // QueryInterface, Invoke and the rest resolve through the base interface, but
    // Invoke can't call them: they are unknown names to a late-bound caller.
    ComPtr<ITypeInfo2> info2;
    UINT index = 0;
    if (ids[0] != DISPID_UNKNOWN &&
        (FAILED(typeInfo->QueryInterface(IID_PPV_ARGS(&info2))) ||
         FAILED(info2->GetFuncIndexOfMemId(ids[0], INVOKE_FUNC, &index)))) {
        for (UINT i = 0; i < count; ++i) ids[i] = DISPID_UNKNOWN;
        return DISP_E_UNKNOWNNAME;
    }
    return hr;
}

HRESULT InvokeWithScriptArguments(ITypeInfo* typeInfo, void* instance, DISPID member, WORD flags,
                                  DISPPARAMS* params, VARIANT* result, EXCEPINFO* exception,
                                  UINT* argError) noexcept {
    // The caller's result stays Empty unless the call succeeds.
    if (result) VariantInit(result);
    try {
        std::unique_ptr<Method> method;
        if (const HRESULT hr = CheckCall(typeInfo, member, flags, params, method); FAILED(hr))
            return hr;
        std::vector<UINT> source;
        if (const HRESULT hr = MapArguments(*params, source, argError); FAILED(hr)) return hr;
        BoundArguments arguments(params->cArgs);
        if (const HRESULT hr = arguments.Bind(*method, *params, source, argError); FAILED(hr))
            return hr;
        return InvokeBound(typeInfo, instance, member, flags, arguments, result, exception,
                           argError);
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    }
}

}  // namespace tabulon
