#pragma once
// One element of a scenario's tree as an IAccessible, the way a browser serves its
// window to screen readers. Children are ids 1..n: full objects (VT_DISPATCH) or
// simple elements, whose properties the parent answers for their child id.
//
// Lives on one thread (an STA); the tree is built once and never changes. A parent
// holds its children; a child's link to its parent is not counted, so the root must
// outlive every remote reference (the window thread releases it after CoUninitialize).
#include <windows.h>
#include <oleacc.h>

#include <optional>
#include <string>
#include <vector>

#include "testbrowser/scenario.h"
#include "testbrowser/untyped_dispatch.h"

namespace tabulon::testbrowser {

class AccessibleElement final : public UntypedDispatch<IAccessible>, public IEnumVARIANT {
  public:
    // The tree for model, with one reference for the caller. With enumerable, every
    // element also answers IEnumVARIANT over its children.
    static AccessibleElement* Build(const Element& model, bool enumerable,
                                    AccessibleElement* parent = nullptr);

    AccessibleElement(const AccessibleElement&) = delete;
    AccessibleElement& operator=(const AccessibleElement&) = delete;

    // IUnknown
    STDMETHODIMP QueryInterface(REFIID riid, void** object) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    // IDispatch: clients call IAccessible directly.
    STDMETHODIMP GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID lcid,
                               DISPID* ids) override;
    STDMETHODIMP Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags, DISPPARAMS* params,
                        VARIANT* result, EXCEPINFO* exception, UINT* arg_error) override;

    // IAccessible
    STDMETHODIMP get_accParent(IDispatch** parent) override;
    STDMETHODIMP get_accChildCount(LONG* count) override;
    STDMETHODIMP get_accChild(VARIANT child, IDispatch** object) override;
    STDMETHODIMP get_accName(VARIANT child, BSTR* name) override;
    STDMETHODIMP get_accValue(VARIANT child, BSTR* value) override;
    STDMETHODIMP get_accDescription(VARIANT child, BSTR* description) override;
    STDMETHODIMP get_accRole(VARIANT child, VARIANT* role) override;
    STDMETHODIMP get_accState(VARIANT child, VARIANT* state) override;
    STDMETHODIMP get_accHelp(VARIANT child, BSTR* help) override;
    STDMETHODIMP get_accHelpTopic(BSTR* file, VARIANT child, LONG* topic) override;
    STDMETHODIMP get_accKeyboardShortcut(VARIANT child, BSTR* shortcut) override;
    STDMETHODIMP get_accFocus(VARIANT* focus) override;
    STDMETHODIMP get_accSelection(VARIANT* selection) override;
    STDMETHODIMP get_accDefaultAction(VARIANT child, BSTR* action) override;
    STDMETHODIMP accSelect(LONG flags, VARIANT child) override;
    STDMETHODIMP accLocation(LONG* left, LONG* top, LONG* width, LONG* height,
                             VARIANT child) override;
    STDMETHODIMP accNavigate(LONG direction, VARIANT start, VARIANT* end) override;
    STDMETHODIMP accHitTest(LONG x, LONG y, VARIANT* child) override;
    STDMETHODIMP accDoDefaultAction(VARIANT child) override;
    STDMETHODIMP put_accName(VARIANT child, BSTR name) override;
    STDMETHODIMP put_accValue(VARIANT child, BSTR value) override;

    // IEnumVARIANT, over the children from a cursor of this object's own.
    STDMETHODIMP Next(ULONG count, VARIANT* items, ULONG* fetched) override;
    STDMETHODIMP Skip(ULONG count) override;
    STDMETHODIMP Reset() override;
    STDMETHODIMP Clone(IEnumVARIANT** copy) override;

    // IEnumVARIANT's Next and Skip from a given cursor, shared with Clone's copies.
    HRESULT NextFrom(ULONG& cursor, ULONG count, VARIANT* items, ULONG* fetched) const;
    HRESULT SkipFrom(ULONG& cursor, ULONG count) const;
    // The scenario's behaviour on a call about target (this element or a child), and
    // the call counted. Returns a failure for get_acc* calls when one of them fails.
    HRESULT Enter(const Element* target, bool read) const;
    // IAccessible and IEnumVARIANT calls served on this thread: a window's tree lives on
    // its window's thread, so that is the window's count. Not counted: QueryInterface,
    // which COM's marshalling calls here too, so that the remote asks cannot be told
    // apart (a client asks once for each child object it gets as IDispatch).
    static long CallsOnThisThread();
    // Elements in model's tree, simple ones too.
    static long CountElements(const Element& model);

  private:
    struct Child {
        const Element* model;
        AccessibleElement* object;  // nullptr: a simple element
    };

    AccessibleElement(const Element& model, bool enumerable, AccessibleElement* parent);
    ~AccessibleElement();

    // Child number index (0-based) as AccessibleChildren gives it: the object or the id.
    void ChildAsVariant(std::size_t index, VARIANT* out) const;
    // The element a child id names, or nullptr when there is none.
    const Element* Target(const VARIANT& child) const;
    // Enter for a read of the element child names: E_INVALIDARG when it names none.
    HRESULT Read(const VARIANT& child, const Element*& target) const;
    HRESULT Text(VARIANT child, BSTR* out, const std::optional<std::wstring> Element::*field);

    const Element& model_;
    const bool enumerable_;
    AccessibleElement* const parent_;
    std::vector<Child> children_;
    ULONG cursor_ = 0;
    LONG refs_ = 1;
};

}  // namespace tabulon::testbrowser
