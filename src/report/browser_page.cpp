#include "report/browser_page.h"

#include <utility>

#include "common/failure.h"

namespace tabulon {

namespace {

constexpr TextView kChromiumAddressBarShortcut = u"Ctrl+L";

bool EqualsIgnoringAsciiCase(TextView a, TextView b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        const auto lower = [](char16_t c) {
            return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c - u'A' + u'a') : c;
        };
        if (lower(a[i]) != lower(b[i])) return false;
    }
    return true;
}

// Where in the tree an element sits, as far as the rules care.
struct Surroundings {
    bool in_tool_bar = false;
    AccessibleElement* combo_box = nullptr;  // the nearest enclosing combo box, if any
};

class Walk {
  public:
    Walk(BrowserFamily family, const WalkLimits& limits) : family_(family), limits_(limits) {}

    void Visit(AccessibleElement& element, int depth, Surroundings around) {
        if (Finished() || ++visited_ > limits_.elements) return;
        try {
            const long role = element.Role();
            switch (role) {
                case msaa::kRoleDocument:
                    // Never descended into, visible or not: its fields are the page's.
                    if (!document_ && !(element.State() & msaa::kStateInvisible))
                        document_ = BrowserPage{element.Name(), element.Value()};
                    return;
                case msaa::kRolePageTab:
                    if (!selected_tab_title_ && (element.State() & msaa::kStateSelected))
                        selected_tab_title_ = element.Name();
                    return;
                case msaa::kRoleText:
                    if (!address_ && IsAddressBar(element, around))
                        address_ = AddressShown(element, around);
                    return;
                case msaa::kRoleMenuItem:
                case msaa::kRoleSeparator:
                case msaa::kRoleLink:
                case msaa::kRoleGraphic:
                case msaa::kRoleStaticText:
                case msaa::kRolePushButton:
                case msaa::kRoleButtonDropDown:
                case msaa::kRoleButtonMenu:
                    // Buttons and the like fill the tool bars: their insides (a label, an
                    // icon) are never asked for.
                    return;
                case msaa::kRoleToolBar:
                    around.in_tool_bar = true;
                    break;
                case msaa::kRoleComboBox:
                    around.combo_box = &element;
                    break;
                default:
                    break;
            }
            if (depth >= limits_.depth) return;
            for (const auto& child : element.Children(limits_.elements - visited_ + 1)) {
                Visit(*child, depth + 1, around);
                if (Finished()) return;
            }
        } catch (const Failure&) {
            // An element that cannot be read, or answers nonsense, is nothing of
            // interest; its siblings still count.
        }
    }

    std::optional<BrowserPage> Page(TextView window_title) && {
        if (!address_) return std::nullopt;
        if (document_) return std::move(*document_);
        return BrowserPage{
            selected_tab_title_ ? std::move(*selected_tab_title_) : Text(window_title),
            std::move(*address_)};
    }

  private:
    bool Finished() const { return (document_ && address_) || visited_ > limits_.elements; }

    bool IsAddressBar(AccessibleElement& text, const Surroundings& around) {
        if (text.State() & msaa::kStateReadOnly) return false;
        switch (family_) {
            case BrowserFamily::kChromium:
                return EqualsIgnoringAsciiCase(text.KeyboardShortcut(),
                                               kChromiumAddressBarShortcut);
            case BrowserFamily::kFirefox:
                return around.in_tool_bar;
        }
        return false;
    }

    // The text's value; a text that holds none inside a combo box shows the combo box's.
    static Text AddressShown(AccessibleElement& text, const Surroundings& around) {
        Text value = text.Value();
        if (value.empty() && around.combo_box) {
            try {
                value = around.combo_box->Value();
            } catch (const Failure&) {
            }
        }
        return value;
    }

    BrowserFamily family_;
    WalkLimits limits_;
    std::size_t visited_ = 0;
    std::optional<BrowserPage> document_;
    std::optional<Text> address_;
    std::optional<Text> selected_tab_title_;
};

}  // namespace

std::optional<BrowserPage> FindBrowserPage(AccessibleElement& root, BrowserFamily family,
                                           TextView window_title, const WalkLimits& limits) {
    Walk walk(family, limits);
    walk.Visit(root, 0, {});
    return std::move(walk).Page(window_title);
}

}  // namespace tabulon
