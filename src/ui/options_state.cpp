#include "ui/options_state.h"

#include <string>

#include "common/failure.h"
#include "settings/display_mode.h"

namespace tabulon {

namespace {

// DISP_E_BADINDEX: the mode names no option button.
constexpr std::int32_t kNoSuchOption = static_cast<std::int32_t>(0x8002000B);

}  // namespace

OptionsContent LoadOptions(SettingsStore& store) {
    const std::int16_t mode = ReadDisplayMode(store);
    if (mode < 0 || mode >= static_cast<std::int16_t>(kOptionCount)) {
        throw Failure(kNoSuchOption, u"The \"Show\" setting holds " +
                                         FromUtf8(std::to_string(mode)) +
                                         u", which is no display mode the options dialog offers "
                                         u"(0, 1 or 2).");
    }
    OptionsContent content;
    content.option = static_cast<std::size_t>(mode);
    content.before = ReadSetting(store, kBeforeKey);
    content.after = ReadSetting(store, kAfterKey);
    return content;
}

void OptionsSave::Save(SettingsStore& store, const std::array<bool, kOptionCount>& selected,
                       TextView before, TextView after) {
    nShow = selected[0] ? 0 : selected[1] ? 1 : 2;
    sShow = FormatDisplayMode(nShow);
    WriteSetting(store, kShowKey, sShow);
    WriteSetting(store, kBeforeKey, before);
    WriteSetting(store, kAfterKey, after);
}

}  // namespace tabulon
