#pragma once
// What the website picker shows and does, apart from drawing it: the list of site
// lines, the state of its one button, and the text that the button leaves.
#include <cstddef>
#include <optional>
#include <vector>

#include "common/text.h"
#include "report/site_report.h"
#include "settings/settings_store.h"

namespace tabulon {

// Spelled unlike the all-sites report's text on purpose: both are what users know.
inline constexpr TextView kNoWebsitesItem = u"No Websites Available";
inline constexpr TextView kSendCaption = u"&Send";
inline constexpr TextView kCancelCaption = u"Cancel";

class PickerState {
  public:
    // Fresh controls for a new opening: no items, "&Send", disabled.
    void Reset();

    // The load after the shell was reached: reads the settings, then adds one item
    // per browser window. A failure propagates and leaves the items added so far.
    void Load(SettingsStore& store, BrowserWindowSource& source);

    // A change of the list's selection (nullopt: nothing selected).
    void Select(std::optional<std::size_t> index);

    // The button was pressed while it read caption, with index selected. Returns
    // whether the pick is over (the window closes); false when there is nothing
    // to frame, which an enabled button never allows.
    bool Press(TextView caption, std::optional<std::size_t> index);

    const std::vector<Text>& items() const { return items_; }
    const Text& buttonCaption() const { return caption_; }
    bool buttonEnabled() const { return enabled_; }

    // Members that outlive one opening.
    Text sPickedText;
    Text sBefore;
    Text sAfter;

  private:
    std::vector<Text> items_;
    Text caption_{kSendCaption};
    bool enabled_ = false;
};

}  // namespace tabulon
