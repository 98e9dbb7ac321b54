#pragma once
// What the window tests share: the settings as the windows find them (in the test
// prefix's registry), the Failure that opening a window throws, and rectangles as
// comparable values.
#include <windows.h>

#include <functional>
#include <optional>
#include <vector>

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

// left, top, right, bottom: EXPECT_EQ prints all four when they differ.
inline std::vector<LONG> Corners(const RECT& r) { return {r.left, r.top, r.right, r.bottom}; }

}  // namespace tabulon::testing_ui
