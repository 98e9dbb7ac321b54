#pragma once
// The three per-user settings and the operations every other area uses on them.
// A SettingsStore is the per-user store of strings under application "Vantorel",
// section "Tabulon"; the registry holds it on Windows, a map in the tests.
#include <cstdint>

#include "common/text.h"

namespace tabulon {

class SettingsStore {
  public:
    virtual ~SettingsStore() = default;
    // The stored text, or the empty text when the key (or its section) is absent.
    virtual Text Read(TextView key) = 0;
    // Creates or replaces the value, creating the section on first write.
    virtual void Write(TextView key, TextView value) = 0;
};

inline constexpr TextView kShowKey = u"Show";
inline constexpr TextView kBeforeKey = u"Before";
inline constexpr TextView kAfterKey = u"After";

// What a first run writes, in this order.
struct SettingSeed {
    TextView key;
    TextView value;
};
inline constexpr SettingSeed kSettingSeeds[] = {
    {kShowKey, u"2"}, {kBeforeKey, u"I'm currently browsing:"}, {kAfterKey, u""}};

Text ReadSetting(SettingsStore& store, TextView key);
void WriteSetting(SettingsStore& store, TextView key, TextView value);

// First-run rule: only when "Show" reads empty, writes Show, Before, After in that order.
void SeedSettings(SettingsStore& store);

// "Show" converted to the display mode; throws Failure when it is no 16-bit number.
std::int16_t ReadDisplayMode(SettingsStore& store);

}  // namespace tabulon
