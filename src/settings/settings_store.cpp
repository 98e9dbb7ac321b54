#include "settings/settings_store.h"

#include "settings/display_mode.h"

namespace tabulon {

Text ReadSetting(SettingsStore& store, TextView key) { return store.Read(key); }

void WriteSetting(SettingsStore& store, TextView key, TextView value) { store.Write(key, value); }

void SeedSettings(SettingsStore& store) {
    // Only "Show" marks a first run: a missing "Before" or "After" alone stays missing.
    if (!ReadSetting(store, kShowKey).empty()) return;
    for (const SettingSeed& seed : kSettingSeeds) WriteSetting(store, seed.key, seed.value);
}

std::int16_t ReadDisplayMode(SettingsStore& store) {
    return ConvertDisplayMode(ReadSetting(store, kShowKey));
}

}  // namespace tabulon
