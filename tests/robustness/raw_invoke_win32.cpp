#include "raw_invoke_win32.h"

#include <oleauto.h>
#include <wrl/client.h>

#include <gtest/gtest.h>

#include "common/bstr_win32.h"

using Microsoft::WRL::ComPtr;

namespace tabulon::testing {

std::vector<Method> ReadMethods(IDispatch* object) {
    std::vector<Method> methods;
    ComPtr<ITypeInfo> info;
    EXPECT_EQ(object->GetTypeInfo(0, LOCALE_USER_DEFAULT, &info), S_OK);
    if (!info) return methods;
    TYPEATTR* attr = nullptr;
    EXPECT_EQ(info->GetTypeAttr(&attr), S_OK);
    if (!attr) return methods;
    for (UINT f = 0; f < attr->cFuncs; ++f) {
        FUNCDESC* func = nullptr;
        if (FAILED(info->GetFuncDesc(f, &func))) continue;
        BSTR names[16] = {};
        UINT count = 0;
        info->GetNames(func->memid, names, 16, &count);
        Method m;
        m.id = func->memid;
        m.name = names[0] ? names[0] : L"";
        for (SHORT p = 0; p < func->cParams; ++p) {
            const ELEMDESC& e = func->lprgelemdescParam[p];
            if (e.paramdesc.wParamFlags & PARAMFLAG_FRETVAL) continue;
            Formal formal;
            formal.name = static_cast<UINT>(p + 1) < count && names[p + 1] ? names[p + 1] : L"";
            formal.byref = e.tdesc.vt == VT_PTR;
            formal.vt = formal.byref ? e.tdesc.lptdesc->vt : e.tdesc.vt;
            if (formal.vt == VT_USERDEFINED) formal.vt = VT_DISPATCH;
            m.params.push_back(formal);
        }
        for (UINT n = 0; n < count; ++n) SysFreeString(names[n]);
        info->ReleaseFuncDesc(func);
        methods.push_back(std::move(m));
    }
    info->ReleaseTypeAttr(attr);
    return methods;
}

void Good(late_bound::Args& args, const Formal& formal) {
    if (formal.byref && formal.vt == VT_BSTR)
        args.StringRef(args.Held(u"in"));
    else if (formal.byref)
        args.LongRef(args.Held(7L));
    else if (formal.vt == VT_I4)
        args.Long(1);
    else if (formal.vt == VT_BSTR)
        args.String(u"text");
    else
        args.Object(nullptr);
}

void RawInvoke(IDispatch* object, DISPID id, const late_bound::Args& args,
               const InvokeOptions& options, InvokeResult& out) {
    VariantClear(&out.value);
    out.value.vt = VT_ERROR;
    out.value.scode = static_cast<SCODE>(0xBAD0BAD0);
    out.argError = 0xDEAD;

    DISPPARAMS params{};
    params.cArgs = static_cast<UINT>(args.size());
    std::vector<VARIANTARG> reversed = args.Reversed();
    params.rgvarg = options.null_rgvarg ? nullptr : reversed.data();
    std::vector<DISPID> named = options.named;
    params.cNamedArgs =
        options.named_count >= 0 ? static_cast<UINT>(options.named_count) : named.size();
    params.rgdispidNamedArgs = named.empty() ? nullptr : named.data();

    EXCEPINFO info{};
    out.hr = object->Invoke(id, *options.riid, LOCALE_USER_DEFAULT, options.flags,
                            options.no_params ? nullptr : &params,
                            options.no_result ? nullptr : &out.value, &info,
                            options.no_arg_error ? nullptr : &out.argError);
    if (out.hr == DISP_E_EXCEPTION) {
        if (info.pfnDeferredFillIn) info.pfnDeferredFillIn(&info);
        out.scode = info.scode;
        out.description = Bstr::View(info.bstrDescription);
    }
    SysFreeString(info.bstrDescription);
    SysFreeString(info.bstrSource);
    SysFreeString(info.bstrHelpFile);
}

}  // namespace tabulon::testing
