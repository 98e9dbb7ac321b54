// What clients do besides reading an element: select, locate, navigate, hit-test, act
// and write. The stand-in answers each as an element without such abilities would,
// the scenario's stalls, failures and exits included.
#include "testbrowser/accessible_element.h"

namespace tabulon::testbrowser {

STDMETHODIMP AccessibleElement::accSelect(LONG, VARIANT child) {
    const Element* target = Target(child);
    Enter(target, false);
    return target ? DISP_E_MEMBERNOTFOUND : E_INVALIDARG;
}

STDMETHODIMP AccessibleElement::accLocation(LONG* left, LONG* top, LONG* width, LONG* height,
                                            VARIANT child) {
    if (!left || !top || !width || !height) return E_POINTER;
    *left = *top = *width = *height = 0;
    const Element* target = Target(child);
    Enter(target, false);
    return target ? DISP_E_MEMBERNOTFOUND : E_INVALIDARG;
}

STDMETHODIMP AccessibleElement::accNavigate(LONG direction, VARIANT start, VARIANT* end) {
    if (!end) return E_POINTER;
    VariantInit(end);
    const Element* target = Target(start);
    Enter(target, false);
    if (!target) return E_INVALIDARG;
    const std::size_t n = children_.size();
    const std::size_t from = static_cast<std::size_t>(start.lVal);  // 0 for this element
    std::size_t to = 0;                                             // 1-based, 0: none
    if (from == 0 && direction == NAVDIR_FIRSTCHILD) to = n ? 1 : 0;
    if (from == 0 && direction == NAVDIR_LASTCHILD) to = n;
    if (from > 0 && direction == NAVDIR_NEXT) to = from < n ? from + 1 : 0;
    if (from > 0 && direction == NAVDIR_PREVIOUS) to = from - 1;
    if (to == 0) return S_FALSE;
    ChildAsVariant(to - 1, end);
    return S_OK;
}

STDMETHODIMP AccessibleElement::accHitTest(LONG, LONG, VARIANT* child) {
    if (!child) return E_POINTER;
    Enter(nullptr, false);
    VariantInit(child);  // nothing at that point
    return S_FALSE;
}

STDMETHODIMP AccessibleElement::accDoDefaultAction(VARIANT child) {
    const Element* target = Target(child);
    Enter(target, false);
    return target ? DISP_E_MEMBERNOTFOUND : E_INVALIDARG;
}

STDMETHODIMP AccessibleElement::put_accName(VARIANT child, BSTR) {
    const Element* target = Target(child);
    Enter(target, false);
    return target ? DISP_E_MEMBERNOTFOUND : E_INVALIDARG;
}

STDMETHODIMP AccessibleElement::put_accValue(VARIANT child, BSTR) {
    const Element* target = Target(child);
    Enter(target, false);
    return target ? DISP_E_MEMBERNOTFOUND : E_INVALIDARG;
}

}  // namespace tabulon::testbrowser
