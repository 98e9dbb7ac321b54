#pragma once
// What the options dialog loads and saves, apart from drawing it.
#include <array>
#include <cstdint>

#include "common/text.h"
#include "settings/settings_store.h"

namespace tabulon {

// The option buttons, by index; an index is the display mode it stands for.
inline constexpr std::size_t kOptionCount = 3;

// The texts the dialog opens with.
struct OptionsContent {
    std::size_t option = 0;  // the option button to select
    Text before;
    Text after;
};

// Reads "Show", "Before", "After". Throws a Failure when "Show" is no number, or a
// number with no option button: the dialog is then not offered.
OptionsContent LoadOptions(SettingsStore& store);

class OptionsSave {
  public:
    // Saves "Show", "Before", "After" in this order, the texts exactly as typed.
    // With no option selected the mode is 2, as with the last one.
    void Save(SettingsStore& store, const std::array<bool, kOptionCount>& selected, TextView before,
              TextView after);

    // The mode and its stored form, as last saved.
    std::int16_t nShow = 0;
    Text sShow;
};

}  // namespace tabulon
