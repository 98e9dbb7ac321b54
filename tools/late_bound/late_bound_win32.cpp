#include "late_bound/late_bound_win32.h"

#include <oleauto.h>

#include "common/bstr_win32.h"

namespace tabulon::late_bound {

Args::~Args() {
    for (VARIANT& v : values_)
        if (!(v.vt & VT_BYREF)) VariantClear(&v);
    for (BSTR s : strings_) SysFreeString(s);
    for (VARIANT& v : variants_) VariantClear(&v);
}

VARIANT& Args::Add(VARTYPE type) {
    VARIANT& v = values_.emplace_back();
    VariantInit(&v);
    v.vt = type;
    return v;
}

Args& Args::Long(LONG value) {
    Add(VT_I4).lVal = value;
    return *this;
}

Args& Args::String(TextView value) {
    // Made before it is added, so a failure leaves no half-made argument behind.
    BSTR text = Bstr::Allocate(value);
    Add(VT_BSTR).bstrVal = text;
    return *this;
}

Args& Args::NullString() {
    Add(VT_BSTR).bstrVal = nullptr;
    return *this;
}

Args& Args::Object(IDispatch* value) {
    if (value) value->AddRef();
    Add(VT_DISPATCH).pdispVal = value;
    return *this;
}

Args& Args::Raw(VARIANT value) {
    values_.push_back(value);
    return *this;
}

Args& Args::StringRef(BSTR* value) {
    Add(VT_BYREF | VT_BSTR).pbstrVal = value;
    return *this;
}

Args& Args::LongRef(LONG* value) {
    Add(VT_BYREF | VT_I4).plVal = value;
    return *this;
}

Args& Args::VariantRef(VARIANT* value) {
    Add(VT_BYREF | VT_VARIANT).pvarVal = value;
    return *this;
}

BSTR* Args::Held(TextView text) {
    BSTR& slot = strings_.emplace_back();
    slot = Bstr::Allocate(text);
    return &slot;
}

LONG* Args::Held(LONG value) { return &longs_.emplace_back(value); }

VARIANT* Args::Held(VARIANT value) { return &variants_.emplace_back(value); }

std::vector<VARIANTARG> Args::Reversed() const {
    return std::vector<VARIANTARG>(values_.rbegin(), values_.rend());
}

Object Object::Create(const wchar_t* progId, HRESULT* hr) {
    CLSID clsid;
    *hr = CLSIDFromProgID(progId, &clsid);
    if (FAILED(*hr)) return {};
    Microsoft::WRL::ComPtr<IDispatch> dispatch;
    *hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&dispatch));
    return Object(dispatch);
}

HRESULT Object::IdOf(const wchar_t* name, DISPID* id) const {
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    return dispatch_->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, id);
}

Outcome Object::Call(const wchar_t* name, const Args& args, WORD flags) const {
    DISPID id = DISPID_UNKNOWN;
    const HRESULT hr = IdOf(name, &id);
    if (FAILED(hr)) {
        Outcome outcome;
        outcome.hr = hr;
        return outcome;
    }
    return CallId(id, args, flags);
}

Outcome Object::CallId(DISPID id, const Args& args, WORD flags) const {
    Outcome outcome;
    std::vector<VARIANTARG> reversed = args.Reversed();
    DISPPARAMS params{reversed.data(), nullptr, static_cast<UINT>(reversed.size()), 0};
    EXCEPINFO info{};
    outcome.hr = dispatch_->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params,
                                   outcome.value.put(), &info, &outcome.argError);
    if (outcome.hr == DISP_E_EXCEPTION) {
        if (info.pfnDeferredFillIn) info.pfnDeferredFillIn(&info);
        outcome.scode = info.scode;
        outcome.description = Bstr::View(info.bstrDescription);
        outcome.source = Bstr::View(info.bstrSource);
    }
    SysFreeString(info.bstrDescription);
    SysFreeString(info.bstrSource);
    SysFreeString(info.bstrHelpFile);
    return outcome;
}

}  // namespace tabulon::late_bound
