#include "testbrowser/accessible_element.h"

#include <algorithm>

namespace tabulon::testbrowser {

namespace {

thread_local long t_calls = 0;

HRESULT Empty(VARIANT* out) {
    if (!out) return E_POINTER;
    VariantInit(out);
    return S_FALSE;
}

}  // namespace

AccessibleElement* AccessibleElement::Build(const Element& model, bool enumerable,
                                            AccessibleElement* parent) {
    auto* element = new AccessibleElement(model, enumerable, parent);
    element->children_.reserve(model.children.size());
    for (const Element& child : model.children)
        element->children_.push_back(
            {&child, child.simple ? nullptr : Build(child, enumerable, element)});
    return element;
}

AccessibleElement::AccessibleElement(const Element& model, bool enumerable,
                                     AccessibleElement* parent)
    : model_(model), enumerable_(enumerable), parent_(parent) {}

AccessibleElement::~AccessibleElement() {
    for (const Child& child : children_)
        if (child.object) child.object->Release();
}

// __uuidof, never IID_IAccessible: with static linking that name resolves to an import
// thunk of liboleacc.a, not to the GUID.
STDMETHODIMP AccessibleElement::QueryInterface(REFIID riid, void** object) {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (riid == IID_IUnknown || riid == IID_IDispatch || riid == __uuidof(IAccessible))
        *object = static_cast<IAccessible*>(this);
    else if (riid == __uuidof(IEnumVARIANT) && enumerable_)
        *object = static_cast<IEnumVARIANT*>(this);
    else
        return E_NOINTERFACE;
    AddRef();
    return S_OK;
}

STDMETHODIMP_(ULONG) AccessibleElement::AddRef() { return InterlockedIncrement(&refs_); }

STDMETHODIMP_(ULONG) AccessibleElement::Release() {
    const ULONG refs = InterlockedDecrement(&refs_);
    if (refs == 0) delete this;
    return refs;
}

STDMETHODIMP AccessibleElement::GetIDsOfNames(REFIID, LPOLESTR*, UINT count, LCID, DISPID* ids) {
    if (ids)
        for (UINT i = 0; i < count; ++i) ids[i] = DISPID_UNKNOWN;
    return DISP_E_UNKNOWNNAME;
}

STDMETHODIMP AccessibleElement::Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*,
                                       EXCEPINFO*, UINT*) {
    return DISP_E_MEMBERNOTFOUND;
}

long AccessibleElement::CallsOnThisThread() { return t_calls; }

long AccessibleElement::CountElements(const Element& model) {
    long count = 1;
    for (const Element& child : model.children) count += CountElements(child);
    return count;
}

HRESULT AccessibleElement::Enter(const Element* target, bool read) const {
    ++t_calls;
    auto act = [](const Element& e) {
        // A browser that closes mid-walk: no clean-up, no reply.
        if (e.exit) ExitProcess(0);
        if (e.stall_ms) Sleep(e.stall_ms);
    };
    act(model_);
    if (target && target != &model_) act(*target);
    if (read && (model_.fail || (target && target->fail))) return E_FAIL;
    return S_OK;
}

HRESULT AccessibleElement::Read(const VARIANT& child, const Element*& target) const {
    target = Target(child);
    if (const HRESULT hr = Enter(target, true); FAILED(hr)) return hr;
    return target ? S_OK : E_INVALIDARG;
}

const Element* AccessibleElement::Target(const VARIANT& child) const {
    if (child.vt != VT_I4) return nullptr;
    if (child.lVal == CHILDID_SELF) return &model_;
    if (child.lVal < 1 || static_cast<std::size_t>(child.lVal) > children_.size()) return nullptr;
    return children_[static_cast<std::size_t>(child.lVal) - 1].model;
}

void AccessibleElement::ChildAsVariant(std::size_t index, VARIANT* out) const {
    VariantInit(out);
    if (AccessibleElement* object = children_[index].object) {
        out->vt = VT_DISPATCH;
        out->pdispVal = static_cast<IAccessible*>(object);
        object->AddRef();
    } else {
        out->vt = VT_I4;
        out->lVal = static_cast<LONG>(index + 1);
    }
}

HRESULT AccessibleElement::Text(VARIANT child, BSTR* out,
                                const std::optional<std::wstring> Element::*field) {
    if (!out) return E_POINTER;
    *out = nullptr;
    const Element* target = nullptr;
    if (const HRESULT hr = Read(child, target); FAILED(hr)) return hr;
    const std::optional<std::wstring>& text = target->*field;
    if (!text) return S_FALSE;
    *out = SysAllocStringLen(text->data(), static_cast<UINT>(text->size()));
    return *out ? S_OK : E_OUTOFMEMORY;
}

STDMETHODIMP AccessibleElement::get_accParent(IDispatch** parent) {
    if (!parent) return E_POINTER;
    *parent = nullptr;
    if (const HRESULT hr = Enter(nullptr, true); FAILED(hr)) return hr;
    if (!parent_) return S_FALSE;
    *parent = static_cast<IAccessible*>(parent_);
    parent_->AddRef();
    return S_OK;
}

STDMETHODIMP AccessibleElement::get_accChildCount(LONG* count) {
    if (!count) return E_POINTER;
    *count = 0;
    if (const HRESULT hr = Enter(nullptr, true); FAILED(hr)) return hr;
    *count = model_.count ? *model_.count : static_cast<LONG>(children_.size());
    return S_OK;
}

STDMETHODIMP AccessibleElement::get_accChild(VARIANT child, IDispatch** object) {
    if (!object) return E_POINTER;
    *object = nullptr;
    // A call on this element, not on the child: only this one's behaviour applies.
    if (const HRESULT hr = Enter(nullptr, true); FAILED(hr)) return hr;
    if (child.vt != VT_I4 || child.lVal < 1 ||
        static_cast<std::size_t>(child.lVal) > children_.size())
        return E_INVALIDARG;
    AccessibleElement* found = children_[static_cast<std::size_t>(child.lVal) - 1].object;
    if (!found) return S_FALSE;
    *object = static_cast<IAccessible*>(found);
    found->AddRef();
    return S_OK;
}

STDMETHODIMP AccessibleElement::get_accName(VARIANT child, BSTR* name) {
    return Text(child, name, &Element::name);
}

STDMETHODIMP AccessibleElement::get_accValue(VARIANT child, BSTR* value) {
    return Text(child, value, &Element::value);
}

STDMETHODIMP AccessibleElement::get_accDescription(VARIANT child, BSTR* description) {
    return Text(child, description, &Element::description);
}

STDMETHODIMP AccessibleElement::get_accKeyboardShortcut(VARIANT child, BSTR* shortcut) {
    return Text(child, shortcut, &Element::shortcut);
}

STDMETHODIMP AccessibleElement::get_accRole(VARIANT child, VARIANT* role) {
    if (!role) return E_POINTER;
    VariantInit(role);
    const Element* target = nullptr;
    if (const HRESULT hr = Read(child, target); FAILED(hr)) return hr;
    if (target->role_bstr) {
        role->bstrVal = SysAllocString(L"frobnicator");
        if (!role->bstrVal) return E_OUTOFMEMORY;
        role->vt = VT_BSTR;
        return S_OK;
    }
    role->vt = VT_I4;
    role->lVal = target->role;
    return S_OK;
}

STDMETHODIMP AccessibleElement::get_accState(VARIANT child, VARIANT* state) {
    if (!state) return E_POINTER;
    VariantInit(state);
    const Element* target = nullptr;
    if (const HRESULT hr = Read(child, target); FAILED(hr)) return hr;
    state->vt = VT_I4;
    state->lVal = target->state;
    return S_OK;
}

STDMETHODIMP AccessibleElement::get_accHelp(VARIANT child, BSTR* help) {
    if (!help) return E_POINTER;
    *help = nullptr;
    const Element* target = nullptr;
    const HRESULT hr = Read(child, target);
    return FAILED(hr) ? hr : S_FALSE;
}

STDMETHODIMP AccessibleElement::get_accHelpTopic(BSTR* file, VARIANT child, LONG* topic) {
    if (!file || !topic) return E_POINTER;
    *file = nullptr;
    *topic = 0;
    const Element* target = nullptr;
    const HRESULT hr = Read(child, target);
    return FAILED(hr) ? hr : S_FALSE;
}

STDMETHODIMP AccessibleElement::get_accFocus(VARIANT* focus) {
    if (!focus) return E_POINTER;
    VariantInit(focus);
    if (const HRESULT hr = Enter(nullptr, true); FAILED(hr)) return hr;
    for (std::size_t i = 0; i < children_.size(); ++i)
        if (children_[i].model->state & STATE_SYSTEM_FOCUSED) {
            ChildAsVariant(i, focus);
            return S_OK;
        }
    if (model_.state & STATE_SYSTEM_FOCUSED) {
        focus->vt = VT_I4;
        focus->lVal = CHILDID_SELF;
        return S_OK;
    }
    return S_FALSE;
}

STDMETHODIMP AccessibleElement::get_accSelection(VARIANT* selection) {
    if (!selection) return E_POINTER;
    if (const HRESULT hr = Enter(nullptr, true); FAILED(hr)) {
        VariantInit(selection);
        return hr;
    }
    return Empty(selection);
}

STDMETHODIMP AccessibleElement::get_accDefaultAction(VARIANT child, BSTR* action) {
    if (!action) return E_POINTER;
    *action = nullptr;
    const Element* target = nullptr;
    const HRESULT hr = Read(child, target);
    return FAILED(hr) ? hr : S_FALSE;
}

}  // namespace tabulon::testbrowser
