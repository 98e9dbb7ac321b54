#include "testbrowser/html_document.h"

namespace tabulon::testbrowser {

namespace {
// DISPID_IHTMLDOCUMENT2_TITLE and _URL.
constexpr DISPID kTitle = 1012;
constexpr DISPID kUrl = 1025;
}  // namespace

STDMETHODIMP HtmlDocument::GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
    if (!names || !ids) return E_POINTER;
    for (UINT i = 0; i < count; ++i) ids[i] = DISPID_UNKNOWN;
    if (count == 0 || !names[0]) return DISP_E_UNKNOWNNAME;
    if (lstrcmpiW(names[0], L"URL") == 0) ids[0] = kUrl;
    if (lstrcmpiW(names[0], L"title") == 0) ids[0] = kTitle;
    return ids[0] == DISPID_UNKNOWN || count > 1 ? DISP_E_UNKNOWNNAME : S_OK;
}

STDMETHODIMP HtmlDocument::Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS*, VARIANT* result,
                                  EXCEPINFO*, UINT*) {
    if (id != kTitle && id != kUrl) return DISP_E_MEMBERNOTFOUND;
    if (!(flags & DISPATCH_PROPERTYGET)) return DISP_E_MEMBERNOTFOUND;
    if (!result) return E_POINTER;
    VariantInit(result);
    result->bstrVal = SysAllocString((id == kUrl ? url_ : title_).c_str());
    if (!result->bstrVal) return E_OUTOFMEMORY;
    result->vt = VT_BSTR;
    return S_OK;
}

}  // namespace tabulon::testbrowser
