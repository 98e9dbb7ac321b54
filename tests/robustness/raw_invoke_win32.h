#pragma once
// IDispatch::Invoke with every field under the caller's control, for tests that pass
// what a careless or hostile caller would: arguments of any type and count, named
// arguments, null pointers, odd flags.
#include <windows.h>
#include <oaidl.h>

#include <deque>
#include <string>
#include <vector>

#include "common/text.h"

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

// Arguments in their natural order. By-reference storage lives as long as the list.
class ArgList {
  public:
    ArgList() = default;
    ArgList(const ArgList&) = delete;
    ArgList& operator=(const ArgList&) = delete;
    ~ArgList();

    // A sensible value for the formal parameter: 1, "text", Nothing, or a reference to
    // "in" / 7.
    ArgList& Good(const Formal& formal);
    // Takes the variant as given (a by-value one is owned and cleared afterwards).
    ArgList& Add(const VARIANT& value);
    ArgList& Str(TextView text);
    // A reference to a BSTR held here, initially text.
    BSTR* StrRef(TextView text);
    LONG* LongRef(LONG value);
    // VT_BYREF|VT_VARIANT around a variant held here (owned), as VBScript passes.
    VARIANT* VariantRef(const VARIANT& inner);

    std::vector<VARIANTARG>& natural() { return args_; }
    size_t size() const { return args_.size(); }
    // The arguments reversed, as DISPPARAMS holds them; valid until the next call.
    VARIANTARG* Reversed();

  private:
    std::vector<VARIANTARG> args_;
    std::vector<VARIANTARG> reversed_;
    std::deque<BSTR> strings_;
    std::deque<LONG> longs_;
    std::deque<VARIANT> variants_;
};

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
    bool no_result = false;     // pass a null pVarResult
    bool no_params = false;     // pass a null DISPPARAMS
    bool no_arg_error = false;  // pass a null puArgErr
    std::vector<DISPID> named;  // rgdispidNamedArgs, for the first named.size() entries
    int named_count = -1;       // cNamedArgs when it should differ from named.size()
    bool null_rgvarg = false;
};

void RawInvoke(IDispatch* object, DISPID id, ArgList& args, const InvokeOptions& options,
               InvokeResult& out);

}  // namespace tabulon::testing
