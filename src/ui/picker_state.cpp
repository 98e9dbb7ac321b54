#include "ui/picker_state.h"

#include <cstdint>
#include <span>

namespace tabulon {

void PickerState::Reset() {
    items_.clear();
    caption_ = Text(kSendCaption);
    enabled_ = false;
}

void PickerState::Load(SettingsStore& store, BrowserWindowSource& source) {
    const std::int16_t mode = ReadDisplayMode(store);
    sBefore = ReadSetting(store, kBeforeKey);
    sAfter = ReadSetting(store, kAfterKey);

    source.EnumerateBrowserWindows([&](SiteWindow& window) {
        if (std::optional<Text> line = FormatSiteLine(window, mode)) items_.push_back(*line);
    });

    if (items_.empty()) {
        items_.emplace_back(kNoWebsitesItem);
        caption_ = Text(kCancelCaption);
        enabled_ = true;
    }
}

void PickerState::Select(std::optional<std::size_t> index) {
    enabled_ = index.has_value() && *index < items_.size();
}

bool PickerState::Press(TextView caption, std::optional<std::size_t> index) {
    if (caption == kCancelCaption) {
        sPickedText.clear();
        return true;
    }
    if (!index || *index >= items_.size()) return false;
    sPickedText = FrameSiteLines(sBefore, std::span<const Text>(&items_[*index], 1), sAfter);
    return true;
}

}  // namespace tabulon
