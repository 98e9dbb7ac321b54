#pragma once
// The page that a browser window shows, read from the window's accessibility tree
// (Active Accessibility): what today's browsers publish there, without assuming any
// one browser's exact shape.
//
// - The page is the first document that is not inside another document and not
//   invisible: its name is the title, its value the address.
// - A browser is told by its address bar. Chromium's is an editable text with the
//   keyboard shortcut "Ctrl+L" (its name is localised, so never matched); Firefox's
//   is the editable text, or a combo box holding one, in a tool bar. Programs built on
//   Chromium's window class (editors, chat programs) and Firefox's mail client
//   publish documents but no address bar, and give no page.
// - Until the browser has built its web content's tree there is no document: then the
//   address bar gives the address, as shown, and the selected page tab (or else the
//   window title) the title.
// - Nothing is read inside a document: a web page can plant fields that look like an
//   address bar.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "common/text.h"

namespace tabulon {

// The roles and states the reading relies on: oleacc's ROLE_SYSTEM_* and
// STATE_SYSTEM_* values, spelled out so that the portable core needs no Windows headers.
namespace msaa {
inline constexpr long kRoleToolBar = 0x16;
inline constexpr long kRoleDocument = 0x0F;
inline constexpr long kRolePageTab = 0x25;
inline constexpr long kRoleText = 0x2A;
inline constexpr long kRoleComboBox = 0x2E;
// Controls that hold no address bar, tab or document.
inline constexpr long kRoleMenuItem = 0x0C;
inline constexpr long kRoleSeparator = 0x15;
inline constexpr long kRoleLink = 0x1E;
inline constexpr long kRoleGraphic = 0x28;
inline constexpr long kRoleStaticText = 0x29;
inline constexpr long kRolePushButton = 0x2B;
inline constexpr long kRoleButtonDropDown = 0x38;
inline constexpr long kRoleButtonMenu = 0x39;
inline constexpr std::uint32_t kStateSelected = 0x2;
inline constexpr std::uint32_t kStateReadOnly = 0x40;
inline constexpr std::uint32_t kStateInvisible = 0x8000;
}  // namespace msaa

enum class BrowserFamily { kChromium, kFirefox };

// One element of a window's tree. Every read asks the browser afresh and may throw a
// Failure; the element then counts as one that is nothing of interest.
class AccessibleElement {
  public:
    virtual ~AccessibleElement() = default;
    virtual long Role() = 0;
    virtual std::uint32_t State() = 0;
    virtual Text Name() = 0;
    virtual Text Value() = 0;
    virtual Text KeyboardShortcut() = 0;
    // The first children, at most limit of them, in the tree's order.
    virtual std::vector<std::unique_ptr<AccessibleElement>> Children(std::size_t limit) = 0;
};

struct BrowserPage {
    Text title;
    Text address;
    friend bool operator==(const BrowserPage&, const BrowserPage&) = default;
};

// How much of a tree one window may cost: a browser's own interface is a few hundred
// elements, a dozen levels deep; anything past these is a program to skip.
struct WalkLimits {
    int depth = 32;
    std::size_t elements = 2000;
};

// The page of the window whose tree starts at root, or nothing when the window is no
// browser (no address bar within the limits).
std::optional<BrowserPage> FindBrowserPage(AccessibleElement& root, BrowserFamily family,
                                           TextView window_title, const WalkLimits& limits = {});

}  // namespace tabulon
