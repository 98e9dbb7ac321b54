#pragma once
// What the window tests share: the settings as the windows find them (in the test
// prefix's registry) and the Failure that opening a window throws.
#include <functional>
#include <optional>

#include "common/failure.h"
#include "settings/registry_settings_store_win32.h"

namespace tabulon::testing_ui {

inline void StoreSetting(TextView key, TextView value) {
    RegistrySettingsStore().Write(key, value);
}
inline Text StoredSetting(TextView key) { return RegistrySettingsStore().Read(key); }

// Runs action; the Failure it threw, if any.
inline std::optional<Failure> FailureOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const Failure& f) {
        return f;
    }
    return std::nullopt;
}

}  // namespace tabulon::testing_ui
