#pragma once
// IDispatch::Invoke with every field under the caller's control, for tests that pass
// what a careless or hostile caller would: arguments of any type and count, named
// arguments, null pointers, odd flags.
#include <windows.h>
#include <oaidl.h>

#include <string>
#include <vector>

#include "common/text.h"
#include "late_bound/late_bound_win32.h"

namespace tabulon::testing {

// One parameter of a method as the type library describes it.
struct Formal {
    std::wstring name;
    VARTYPE vt = VT_EMPTY;  // the value type; for in/out parameters the pointed-to type
    bool byref = false;
};

struct Method {
    DISPID id = DISPID_UNKNOWN;
    std::wstring name;
    std::vector<Formal> params;  // without the retval
};

// The methods of the object's type information (IDispatch::GetTypeInfo(0)).
std::vector<Method> ReadMethods(IDispatch* object);

// A sensible value for the formal parameter: 1, "text", Nothing, or a reference to
// "in" / 7 held by the list.
void Good(late_bound::Args& args, const Formal& formal);

struct InvokeResult {
    HRESULT hr = E_FAIL;
    UINT argError = 0xDEAD;  // untouched unless Invoke wrote it
    HRESULT scode = S_OK;    // with DISP_E_EXCEPTION
    Text description;        // with DISP_E_EXCEPTION
    VARIANT value;           // pre-set to VT_ERROR 0xBAD0BAD0 before the call

    InvokeResult() { VariantInit(&value); }
    ~InvokeResult() { VariantClear(&value); }
    InvokeResult(const InvokeResult&) = delete;
    InvokeResult& operator=(const InvokeResult&) = delete;
};

struct InvokeOptions {
    WORD flags = DISPATCH_METHOD;
    const IID* riid = &IID_NULL;
    bool no_result = false;       // pass a null pVarResult
    bool no_params = false;       // pass a null DISPPARAMS
    bool no_arg_error = false;    // pass a null puArgErr
    std::vector<DISPID> named{};  // rgdispidNamedArgs, for the first named.size() entries
    int named_count = -1;         // cNamedArgs when it should differ from named.size()
    bool null_rgvarg = false;
};

void RawInvoke(IDispatch* object, DISPID id, const late_bound::Args& args,
               const InvokeOptions& options, InvokeResult& out);

}  // namespace tabulon::testing
