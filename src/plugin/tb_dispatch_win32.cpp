#include "plugin/tb_dispatch_win32.h"

#include <wrl/client.h>

#include <mutex>
#include <utility>
#include <vector>

#include "common/com_error_win32.h"
#include "common/module_lock_win32.h"
#include "common/spin_lock_win32.h"
#include "tb_h.h"

using Microsoft::WRL::ComPtr;

namespace tabulon {

namespace {

SpinLock g_typeInfoLock;
ITypeInfo* g_typeInfo = nullptr;

ComPtr<ITypeInfo> LoadTBTypeInfo() {
    wchar_t path[MAX_PATH * 4];
    const DWORD n = GetModuleFileNameW(ThisModule(), path, ARRAYSIZE(path));
    if (n == 0 || n >= ARRAYSIZE(path))
        throw Failure(E_FAIL, u"The path of TB.dll could not be determined.");
    ComPtr<ITypeLib> library;
    ThrowIfFailed(LoadTypeLibEx(path, REGKIND_NONE, &library),
                  u"Loading the type library embedded in TB.dll");
    ComPtr<ITypeInfo> dispatchView;
    ThrowIfFailed(library->GetTypeInfoOfGuid(IID__TB, &dispatchView),
                  u"Finding _TB in the type library");
    // The dual interface's dispatch view folds the retval; DispInvoke needs the
    // interface view that matches the vtable.
    HREFTYPE ref = 0;
    ThrowIfFailed(dispatchView->GetRefTypeOfImplType(-1, &ref), u"Finding the vtable view of _TB");
    ComPtr<ITypeInfo> interfaceView;
    ThrowIfFailed(dispatchView->GetRefTypeInfo(ref, &interfaceView),
                  u"Loading the vtable view of _TB");
    return interfaceView;
}

// One coercion failure as Invoke reports it.
HRESULT CoercionFailure(HRESULT hr) {
    return hr == DISP_E_OVERFLOW || hr == E_OUTOFMEMORY ? hr : DISP_E_TYPEMISMATCH;
}

HRESULT Refuse(HRESULT hr, UINT index, UINT* argError) {
    if (argError) *argError = index;
    return hr;
}

}  // namespace

ITypeInfo* AcquireTBTypeInfo() {
    const std::lock_guard<SpinLock> hold(g_typeInfoLock);
    if (!g_typeInfo) g_typeInfo = LoadTBTypeInfo().Detach();
    g_typeInfo->AddRef();
    return g_typeInfo;
}

void ReleaseTBTypeInfo() noexcept {
    ITypeInfo* info = nullptr;
    {
        const std::lock_guard<SpinLock> hold(g_typeInfoLock);
        std::swap(info, g_typeInfo);
    }
    if (info) info->Release();
}

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
    if (!params || (params->cArgs && !params->rgvarg) ||
        (params->cNamedArgs && !params->rgdispidNamedArgs) || params->cNamedArgs > params->cArgs)
        return E_INVALIDARG;
    try {
        ComPtr<ITypeInfo2> info2;
        UINT index = 0;
        FUNCDESC* func = nullptr;
        if (FAILED(typeInfo->QueryInterface(IID_PPV_ARGS(&info2))) ||
            FAILED(info2->GetFuncIndexOfMemId(member, INVOKE_FUNC, &index)) ||
            FAILED(typeInfo->GetFuncDesc(index, &func)))
            return DISP_E_MEMBERNOTFOUND;
        struct ReleaseFunc {
            ITypeInfo* info;
            FUNCDESC* func;
            ~ReleaseFunc() { info->ReleaseFuncDesc(func); }
        } releaseFunc{typeInfo, func};
        if (!(flags & DISPATCH_METHOD)) return DISP_E_MEMBERNOTFOUND;

        UINT formals = 0;
        for (SHORT p = 0; p < func->cParams; ++p)
            if (!(func->lprgelemdescParam[p].paramdesc.wParamFlags & PARAMFLAG_FRETVAL)) ++formals;
        if (params->cArgs != formals) return DISP_E_BADPARAMCOUNT;

        // Where each argument goes: named ones by their DISPID, the rest by position.
        std::vector<int> source(formals, -1);
        for (UINT i = 0; i < params->cArgs; ++i) {
            const DISPID p = i < params->cNamedArgs ? params->rgdispidNamedArgs[i]
                                                    : static_cast<DISPID>(params->cArgs - 1 - i);
            if (p < 0 || static_cast<UINT>(p) >= formals || source[p] != -1)
                return Refuse(DISP_E_PARAMNOTFOUND, i, argError);
            source[p] = static_cast<int>(i);
        }

        // Every argument is coerced into a value of our own before the method runs, so
        // a refused call changes nothing. VBScript's VT_BYREF|VT_VARIANT variables and
        // by-value arguments for in/out parameters get a temporary that is written
        // back to the script's variable (or dropped) afterwards.
        std::vector<VARIANT> temps(formals);
        for (VARIANT& t : temps) VariantInit(&t);
        struct ClearTemps {
            std::vector<VARIANT>& temps;
            ~ClearTemps() {
                for (VARIANT& t : temps) VariantClear(&t);
            }
        } clearTemps{temps};
        std::vector<VARIANT*> writeBack(formals, nullptr);
        std::vector<VARIANTARG> bound(formals);

        for (UINT p = 0; p < formals; ++p) {
            const UINT i = static_cast<UINT>(source[p]);
            const TYPEDESC& formal = func->lprgelemdescParam[p].tdesc;
            VARIANT* arg = &params->rgvarg[i];
            VARIANT* variable = nullptr;
            for (int depth = 0; arg->vt == (VT_BYREF | VT_VARIANT); ++depth) {
                if (!arg->pvarVal || depth == 8) return Refuse(DISP_E_TYPEMISMATCH, i, argError);
                variable = arg = arg->pvarVal;
            }
            VARIANTARG& out = bound[formals - 1 - p];
            VARIANT& temp = temps[p];

            if (formal.vt == VT_PTR && formal.lptdesc->vt != VT_VARIANT) {
                const VARTYPE target = formal.lptdesc->vt;
                if (arg->vt == (VT_BYREF | target)) {
                    out = *arg;  // the caller's own storage
                    continue;
                }
                if (arg->vt & VT_BYREF) return Refuse(DISP_E_TYPEMISMATCH, i, argError);
                const HRESULT hr = VariantChangeType(&temp, arg, 0, target);
                if (FAILED(hr)) return Refuse(CoercionFailure(hr), i, argError);
                VariantInit(&out);
                out.vt = VT_BYREF | target;
                out.byref = &temp.lVal;  // the value's storage, whatever its type
                writeBack[p] = variable;
            } else if (formal.vt == VT_VARIANT || formal.vt == VT_PTR) {
                out = *arg;
            } else {
                if ((arg->vt & VT_BYREF) && !arg->byref)
                    return Refuse(DISP_E_TYPEMISMATCH, i, argError);
                if ((arg->vt == VT_EMPTY || arg->vt == VT_NULL) && formal.vt == VT_DISPATCH) {
                    temp.vt = VT_DISPATCH;
                    temp.pdispVal = nullptr;
                } else {
                    const HRESULT hr = VariantChangeType(&temp, arg, 0, formal.vt);
                    if (FAILED(hr)) return Refuse(CoercionFailure(hr), i, argError);
                }
                out = temp;  // shallow: temp keeps ownership
            }
        }

        DISPPARAMS positional{bound.data(), nullptr, formals, 0};
        const HRESULT hr =
            typeInfo->Invoke(instance, member, flags, &positional, result, exception, argError);
        // A method that fails still hands back its retval (False); the caller gets Empty.
        if (FAILED(hr) && result) VariantClear(result);
        for (UINT p = 0; p < formals; ++p) {
            if (!writeBack[p]) continue;
            VariantClear(writeBack[p]);
            *writeBack[p] = temps[p];
            VariantInit(&temps[p]);
        }
        return hr;
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

}  // namespace tabulon
