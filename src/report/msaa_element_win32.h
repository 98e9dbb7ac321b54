#pragma once
// An element of another program's accessibility tree, read through oleacc: an
// IAccessible object, or a simple element (a child id) asked through its parent.
#include <windows.h>
#include <oleacc.h>
#include <wrl/client.h>

#include <atomic>

#include "common/variant_win32.h"
#include "report/browser_page.h"

namespace tabulon {

// Thrown by every read once the walk's owner has stopped waiting for it: the walk
// then ends at once instead of reading on into a browser nobody listens to.
struct WalkAbandoned {};

// What the elements of one window's tree share.
struct MsaaTree {
    const std::atomic<bool>& abandoned;
    // Cleared once one of its elements has no enumerator: one program made them all,
    // so the others are not asked either, and list their children by id.
    bool may_enumerate = true;
};

class MsaaElement : public AccessibleElement {
  public:
    // tree outlives the element.
    MsaaElement(Microsoft::WRL::ComPtr<IAccessible> object, LONG child_id, MsaaTree& tree);

    long Role() override;
    std::uint32_t State() override;
    Text Name() override;
    Text Value() override;
    Text KeyboardShortcut() override;
    std::vector<std::unique_ptr<AccessibleElement>> Children(std::size_t limit) override;

  private:
    LONG Number(HRESULT (STDMETHODCALLTYPE IAccessible::*read)(VARIANT, VARIANT*));
    Text String(HRESULT (STDMETHODCALLTYPE IAccessible::*read)(VARIANT, BSTR*));
    void CheckAbandoned() const;
    // A child object, kept when it is an IAccessible.
    void AddObjectChild(IDispatch& object,
                        std::vector<std::unique_ptr<AccessibleElement>>& children);
    // A child as an enumerator gives it: an object or a child id.
    void AddChild(Variant& slot, std::vector<std::unique_ptr<AccessibleElement>>& children);

    Microsoft::WRL::ComPtr<IAccessible> object_;
    LONG child_id_;  // CHILDID_SELF for the object itself
    MsaaTree& tree_;
};

}  // namespace tabulon
