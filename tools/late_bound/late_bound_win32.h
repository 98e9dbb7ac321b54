#pragma once
// Calling an automation object by name, the way a host or a script does: names
// through GetIDsOfNames, arguments in DISPPARAMS, failures through EXCEPINFO.
#include <windows.h>
#include <oaidl.h>
#include <wrl/client.h>

#include <deque>
#include <vector>

#include "common/text.h"
#include "common/variant_win32.h"

namespace tabulon::late_bound {

// Arguments in their natural order. By-reference arguments point at the caller's
// own storage, which the callee may replace, or at storage held by the list.
class Args {
  public:
    Args() = default;
    Args(const Args&) = delete;
    Args& operator=(const Args&) = delete;
    ~Args();

    Args& Long(LONG value);
    Args& String(TextView value);
    Args& NullString();  // a NULL BSTR, which automation treats as the empty string
    Args& Object(IDispatch* value);
    // Taken over as given, for unusual types; a by-value one is cleared with the list.
    Args& Raw(VARIANT value);
    Args& StringRef(BSTR* value);
    Args& LongRef(LONG* value);
    Args& VariantRef(VARIANT* value);  // VT_BYREF|VT_VARIANT, as VBScript passes variables

    // Storage for by-reference arguments that lives as long as the list; a held
    // variant is taken over.
    BSTR* Held(TextView text);
    LONG* Held(LONG value);
    VARIANT* Held(VARIANT value);

    const VARIANT& operator[](size_t i) const { return values_[i]; }
    size_t size() const { return values_.size(); }
    // Reversed, as DISPPARAMS wants them.
    std::vector<VARIANTARG> Reversed() const;

  private:
    VARIANT& Add(VARTYPE type);

    std::vector<VARIANT> values_;
    std::deque<BSTR> strings_;
    std::deque<LONG> longs_;
    std::deque<VARIANT> variants_;
};

struct Outcome {
    HRESULT hr = E_FAIL;   // what Invoke returned
    HRESULT scode = S_OK;  // EXCEPINFO's code when hr is DISP_E_EXCEPTION
    Text description;      // EXCEPINFO's description
    Text source;           // EXCEPINFO's source
    UINT argError = ~0u;
    Variant value;  // the result

    bool ok() const { return SUCCEEDED(hr); }
    // True/False of a Boolean result (VT_BOOL), or a failed expectation.
    bool Boolean() const { return value.vt() == VT_BOOL && value.get()->boolVal != VARIANT_FALSE; }
};

class Object {
  public:
    Object() = default;
    explicit Object(Microsoft::WRL::ComPtr<IDispatch> dispatch) : dispatch_(std::move(dispatch)) {}

    // Creates an in-process object by ProgID; hr tells why it could not be made.
    static Object Create(const wchar_t* progId, HRESULT* hr);

    IDispatch* get() const { return dispatch_.Get(); }
    explicit operator bool() const { return dispatch_ != nullptr; }
    // What the released reference's Release() answered: 0 when it was the last.
    ULONG Reset() { return dispatch_.Reset(); }

    HRESULT IdOf(const wchar_t* name, DISPID* id) const;
    Outcome Call(const wchar_t* name, const Args& args,
                 WORD flags = DISPATCH_METHOD | DISPATCH_PROPERTYGET) const;
    Outcome CallId(DISPID id, const Args& args,
                   WORD flags = DISPATCH_METHOD | DISPATCH_PROPERTYGET) const;

  private:
    Microsoft::WRL::ComPtr<IDispatch> dispatch_;
};

}  // namespace tabulon::late_bound
