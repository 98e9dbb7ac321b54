#include "late_bound/late_bound_win32.h"

#include <oleauto.h>

#include "common/bstr_win32.h"

namespace tabulon::late_bound {

Args::~Args() {
    for (VARIANT& v : values_)
        if (!(v.vt & VT_BYREF)) VariantClear(&v);
}

Args& Args::Long(LONG value) {
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_I4;
    v.lVal = value;
    values_.push_back(v);
    return *this;
}

Args& Args::String(TextView value) {
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_BSTR;
    v.bstrVal = Bstr::Allocate(value);
    values_.push_back(v);
    return *this;
}

Args& Args::NullString() {
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_BSTR;
    v.bstrVal = nullptr;
    values_.push_back(v);
    return *this;
}

Args& Args::Object(IDispatch* value) {
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_DISPATCH;
    v.pdispVal = value;
    if (value) value->AddRef();
    values_.push_back(v);
    return *this;
}

Args& Args::Raw(const VARIANT& value) {
    VARIANT v;
    VariantInit(&v);
    if (value.vt & VT_BYREF)
        v = value;
    else
        VariantCopy(&v, const_cast<VARIANT*>(&value));
    values_.push_back(v);
    return *this;
}

Args& Args::StringRef(BSTR* value) {
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_BYREF | VT_BSTR;
    v.pbstrVal = value;
    values_.push_back(v);
    return *this;
}

Args& Args::LongRef(LONG* value) {
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_BYREF | VT_I4;
    v.plVal = value;
    values_.push_back(v);
    return *this;
}

Args& Args::VariantRef(VARIANT* value) {
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_BYREF | VT_VARIANT;
    v.pvarVal = value;
    values_.push_back(v);
    return *this;
}

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
