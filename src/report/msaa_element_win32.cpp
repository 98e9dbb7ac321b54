#include "report/msaa_element_win32.h"

#include <algorithm>
#include <utility>

#include "common/bstr_win32.h"
#include "common/com_error_win32.h"
#include "common/failure.h"
#include "common/variant_win32.h"

namespace tabulon {

using Microsoft::WRL::ComPtr;

static_assert(msaa::kRoleToolBar == ROLE_SYSTEM_TOOLBAR &&
              msaa::kRoleDocument == ROLE_SYSTEM_DOCUMENT &&
              msaa::kRolePageTab == ROLE_SYSTEM_PAGETAB && msaa::kRoleText == ROLE_SYSTEM_TEXT &&
              msaa::kRoleComboBox == ROLE_SYSTEM_COMBOBOX);
static_assert(msaa::kRoleMenuItem == ROLE_SYSTEM_MENUITEM &&
              msaa::kRoleSeparator == ROLE_SYSTEM_SEPARATOR &&
              msaa::kRoleLink == ROLE_SYSTEM_LINK && msaa::kRoleGraphic == ROLE_SYSTEM_GRAPHIC &&
              msaa::kRoleStaticText == ROLE_SYSTEM_STATICTEXT &&
              msaa::kRolePushButton == ROLE_SYSTEM_PUSHBUTTON &&
              msaa::kRoleButtonDropDown == ROLE_SYSTEM_BUTTONDROPDOWN &&
              msaa::kRoleButtonMenu == ROLE_SYSTEM_BUTTONMENU);
static_assert(msaa::kStateSelected == STATE_SYSTEM_SELECTED &&
              msaa::kStateReadOnly == STATE_SYSTEM_READONLY &&
              msaa::kStateInvisible == STATE_SYSTEM_INVISIBLE);

MsaaElement::MsaaElement(ComPtr<IAccessible> object, LONG child_id, MsaaTree& tree)
    : object_(std::move(object)), child_id_(child_id), tree_(tree) {}

void MsaaElement::CheckAbandoned() const {
    if (tree_.abandoned.load(std::memory_order_relaxed)) throw WalkAbandoned{};
}

LONG MsaaElement::Number(HRESULT (STDMETHODCALLTYPE IAccessible::*read)(VARIANT, VARIANT*)) {
    CheckAbandoned();
    Variant value;
    const HRESULT hr = (object_.Get()->*read)(LongVariant(child_id_), value.put());
    ThrowIfFailed(hr, u"Reading an accessible element");
    // A role may also be a string (a program's own role name): nothing this walk knows.
    if (hr != S_OK || value.vt() != VT_I4)
        throw Failure(status::kTypeMismatch, u"An accessible element answered no number.");
    return value->lVal;
}

Text MsaaElement::String(HRESULT (STDMETHODCALLTYPE IAccessible::*read)(VARIANT, BSTR*)) {
    CheckAbandoned();
    Bstr text;
    const HRESULT hr = (object_.Get()->*read)(LongVariant(child_id_), text.put());
    // S_FALSE and DISP_E_MEMBERNOTFOUND: the element has no such text.
    if (hr == DISP_E_MEMBERNOTFOUND) return Text();
    ThrowIfFailed(hr, u"Reading an accessible element");
    return text.text();
}

long MsaaElement::Role() { return Number(&IAccessible::get_accRole); }
std::uint32_t MsaaElement::State() {
    return static_cast<std::uint32_t>(Number(&IAccessible::get_accState));
}
Text MsaaElement::Name() { return String(&IAccessible::get_accName); }
Text MsaaElement::Value() { return String(&IAccessible::get_accValue); }
Text MsaaElement::KeyboardShortcut() { return String(&IAccessible::get_accKeyboardShortcut); }

void MsaaElement::AddObjectChild(IDispatch& object,
                                 std::vector<std::unique_ptr<AccessibleElement>>& children) {
    ComPtr<IAccessible> child;
    if (SUCCEEDED(object.QueryInterface(IID_PPV_ARGS(&child))))
        children.push_back(std::make_unique<MsaaElement>(std::move(child), CHILDID_SELF, tree_));
}

void MsaaElement::AddChild(Variant& slot,
                           std::vector<std::unique_ptr<AccessibleElement>>& children) {
    if (slot.vt() == VT_DISPATCH && slot->pdispVal)
        AddObjectChild(*slot->pdispVal, children);
    else if (slot.vt() == VT_I4 && slot->lVal != CHILDID_SELF)
        children.push_back(std::make_unique<MsaaElement>(object_, slot->lVal, tree_));
}

// AccessibleChildren's way, less its second count of the children (every call here
// crosses into the browser): the element's enumerator where it has one, else each
// child id and get_accChild.
std::vector<std::unique_ptr<AccessibleElement>> MsaaElement::Children(std::size_t limit) {
    std::vector<std::unique_ptr<AccessibleElement>> children;
    if (child_id_ != CHILDID_SELF) return children;  // simple elements have none
    CheckAbandoned();
    LONG count = 0;
    ThrowIfFailed(object_->get_accChildCount(&count), u"Counting an element's children");
    count = static_cast<LONG>(std::min<std::size_t>(std::max<LONG>(count, 0), limit));
    if (count == 0) return children;
    children.reserve(static_cast<std::size_t>(count));

    ComPtr<IEnumVARIANT> items;
    if (tree_.may_enumerate && (FAILED(object_.As(&items)) || !items)) tree_.may_enumerate = false;
    if (!items) {
        for (LONG id = 1; id <= count; ++id) {
            CheckAbandoned();
            ComPtr<IDispatch> object;
            if (SUCCEEDED(object_->get_accChild(LongVariant(id), object.GetAddressOf())) && object)
                AddObjectChild(*object.Get(), children);
            else
                children.push_back(std::make_unique<MsaaElement>(object_, id, tree_));
        }
        return children;
    }
    // A few at a time: a walk that has been abandoned stops between two batches.
    ThrowIfFailed(items->Reset(), u"Listing an element's children");
    constexpr ULONG kBatch = 32;
    for (LONG start = 0; start < count;) {
        CheckAbandoned();
        Variant slots[kBatch];
        static_assert(sizeof(Variant) == sizeof(VARIANT), "Variant is a VARIANT and nothing more");
        const ULONG wanted = std::min<ULONG>(kBatch, static_cast<ULONG>(count - start));
        ULONG obtained = 0;
        ThrowIfFailed(items->Next(wanted, slots[0].get(), &obtained),
                      u"Listing an element's children");
        obtained = std::min(obtained, wanted);
        if (obtained == 0) break;
        for (ULONG i = 0; i < obtained; ++i) AddChild(slots[i], children);
        start += static_cast<LONG>(obtained);
    }
    return children;
}

}  // namespace tabulon
