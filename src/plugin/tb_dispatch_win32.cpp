#include "plugin/tb_dispatch_win32.h"

#include <wrl/client.h>

#include <vector>

#include "common/com_error_win32.h"
#include "common/module_lock_win32.h"
#include "tb_h.h"

using Microsoft::WRL::ComPtr;

namespace tabulon {

namespace {

SRWLOCK g_typeInfoLock = SRWLOCK_INIT;
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

// Where a positional or named argument lands among the formal parameters.
int FormalIndex(const DISPPARAMS& params, UINT i) {
    if (i < params.cNamedArgs) return params.rgdispidNamedArgs ? params.rgdispidNamedArgs[i] : -1;
    return static_cast<int>(params.cArgs - 1 - i);
}

}  // namespace

ITypeInfo* AcquireTBTypeInfo() {
    AcquireSRWLockExclusive(&g_typeInfoLock);
    struct Unlock {
        ~Unlock() { ReleaseSRWLockExclusive(&g_typeInfoLock); }
    } unlock;
    if (!g_typeInfo) g_typeInfo = LoadTBTypeInfo().Detach();
    g_typeInfo->AddRef();
    return g_typeInfo;
}

void ReleaseTBTypeInfo() noexcept {
    AcquireSRWLockExclusive(&g_typeInfoLock);
    ITypeInfo* info = g_typeInfo;
    g_typeInfo = nullptr;
    ReleaseSRWLockExclusive(&g_typeInfoLock);
    if (info) info->Release();
}

HRESULT InvokeWithScriptArguments(ITypeInfo* typeInfo, void* instance, DISPID member, WORD flags,
                                  DISPPARAMS* params, VARIANT* result, EXCEPINFO* exception,
                                  UINT* argError) noexcept {
    if (!params || (params->cArgs && !params->rgvarg))
        return typeInfo->Invoke(instance, member, flags, params, result, exception, argError);
    try {
        ComPtr<ITypeInfo2> info2;
        UINT index = 0;
        FUNCDESC* func = nullptr;
        if (FAILED(typeInfo->QueryInterface(IID_PPV_ARGS(&info2))) ||
            FAILED(info2->GetFuncIndexOfMemId(member, INVOKE_FUNC, &index)) ||
            FAILED(typeInfo->GetFuncDesc(index, &func)))
            return typeInfo->Invoke(instance, member, flags, params, result, exception, argError);
        struct ReleaseFunc {
            ITypeInfo* info;
            FUNCDESC* func;
            ~ReleaseFunc() { info->ReleaseFuncDesc(func); }
        } releaseFunc{typeInfo, func};

        std::vector<VARIANTARG> args(params->rgvarg, params->rgvarg + params->cArgs);
        // By-value arguments given for in/out parameters get a temporary of their own,
        // so the callee may replace it without freeing the caller's value.
        std::vector<VARIANT> temps(params->cArgs);
        for (VARIANT& t : temps) VariantInit(&t);
        struct ClearTemps {
            std::vector<VARIANT>& temps;
            ~ClearTemps() {
                for (VARIANT& t : temps) VariantClear(&t);
            }
        } clearTemps{temps};

        for (UINT i = 0; i < params->cArgs; ++i) {
            const int p = FormalIndex(*params, i);
            if (p < 0 || p >= func->cParams) continue;
            const TYPEDESC& formal = func->lprgelemdescParam[p].tdesc;
            VARIANTARG& arg = args[i];
            const bool byRefFormal = formal.vt == VT_PTR && formal.lptdesc->vt != VT_VARIANT;
            if (byRefFormal) {
                const VARTYPE target = formal.lptdesc->vt;
                VARIANT* slot = nullptr;
                if (arg.vt == (VT_BYREF | VT_VARIANT) && arg.pvarVal &&
                    !(arg.pvarVal->vt & VT_BYREF)) {
                    slot = arg.pvarVal;  // the script's own variable: written back in place
                } else if (!(arg.vt & VT_BYREF)) {
                    slot = &temps[i];
                    if (FAILED(VariantCopy(slot, &arg))) return E_OUTOFMEMORY;
                }
                if (!slot) continue;
                if (slot->vt != target) {
                    if (FAILED(VariantChangeType(slot, slot, 0, target))) {
                        if (argError) *argError = i;
                        return DISP_E_TYPEMISMATCH;
                    }
                }
                arg.vt = VT_BYREF | target;
                arg.byref = &slot->lVal;  // the value's storage, whatever its type
            } else {
                if (arg.vt == (VT_BYREF | VT_VARIANT) && arg.pvarVal && formal.vt != VT_VARIANT)
                    arg = *arg.pvarVal;  // shallow: the caller still owns the value
                if ((arg.vt == VT_NULL || arg.vt == VT_EMPTY) && formal.vt == VT_DISPATCH) {
                    arg.vt = VT_DISPATCH;
                    arg.pdispVal = nullptr;
                }
            }
        }
        DISPPARAMS bound = *params;
        bound.rgvarg = args.data();
        return typeInfo->Invoke(instance, member, flags, &bound, result, exception, argError);
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

}  // namespace tabulon
