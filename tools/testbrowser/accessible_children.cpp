// An element's children as IEnumVARIANT: the element's own cursor, and Clone's copies
// with cursors of their own.
#include <algorithm>
#include <new>

#include "common/com_object_win32.h"
#include "testbrowser/accessible_element.h"

namespace tabulon::testbrowser {

namespace {

// What Clone hands out: a cursor of its own over the same children.
class ChildEnumerator final : public ComObject<IEnumVARIANT> {
  public:
    ChildEnumerator(AccessibleElement* element, ULONG cursor) : element_(element), cursor_(cursor) {
        element_->AddRef();
    }

    STDMETHODIMP Next(ULONG count, VARIANT* items, ULONG* fetched) override {
        return element_->NextFrom(cursor_, count, items, fetched);
    }
    STDMETHODIMP Skip(ULONG count) override { return element_->SkipFrom(cursor_, count); }
    STDMETHODIMP Reset() override {
        element_->Enter(nullptr, false);
        cursor_ = 0;
        return S_OK;
    }
    STDMETHODIMP Clone(IEnumVARIANT** copy) override {
        if (!copy) return E_POINTER;
        *copy = new (std::nothrow) ChildEnumerator(element_, cursor_);
        return *copy ? S_OK : E_OUTOFMEMORY;
    }

  private:
    ~ChildEnumerator() { element_->Release(); }

    AccessibleElement* element_;
    ULONG cursor_;
};

}  // namespace

HRESULT AccessibleElement::NextFrom(ULONG& cursor, ULONG count, VARIANT* items,
                                    ULONG* fetched) const {
    if (fetched) *fetched = 0;
    if (!items || (!fetched && count != 1)) return E_POINTER;
    if (const HRESULT hr = Enter(nullptr, true); FAILED(hr)) return hr;
    ULONG done = 0;
    for (; done < count && cursor < children_.size(); ++done, ++cursor)
        ChildAsVariant(cursor, &items[done]);
    if (fetched) *fetched = done;
    return done == count ? S_OK : S_FALSE;
}

HRESULT AccessibleElement::SkipFrom(ULONG& cursor, ULONG count) const {
    if (const HRESULT hr = Enter(nullptr, true); FAILED(hr)) return hr;
    const ULONG left = static_cast<ULONG>(children_.size()) - cursor;
    cursor += std::min(count, left);
    return count <= left ? S_OK : S_FALSE;
}

STDMETHODIMP AccessibleElement::Next(ULONG count, VARIANT* items, ULONG* fetched) {
    return NextFrom(cursor_, count, items, fetched);
}

STDMETHODIMP AccessibleElement::Skip(ULONG count) { return SkipFrom(cursor_, count); }

STDMETHODIMP AccessibleElement::Reset() {
    Enter(nullptr, false);
    cursor_ = 0;
    return S_OK;
}

STDMETHODIMP AccessibleElement::Clone(IEnumVARIANT** copy) {
    if (!copy) return E_POINTER;
    Enter(nullptr, false);
    *copy = new (std::nothrow) ChildEnumerator(this, cursor_);
    return *copy ? S_OK : E_OUTOFMEMORY;
}

}  // namespace tabulon::testbrowser
