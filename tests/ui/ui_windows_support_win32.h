#pragma once
// What the window tests share: the settings as the windows find them (in the test
// prefix's registry), the Failure that opening a window throws, their fixture, and
// rectangles as comparable values.
#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "common/failure.h"
#include "settings/registry_settings_store_win32.h"
#include "testshell/test_shell.h"
#include "window_driver_win32.h"

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

// Runs show, which opens the modal window with the caption, while script plays the
// user; the Failure it threw. The window must come and the script must close it.
inline std::optional<Failure> ShowWhile(std::wstring caption, const std::function<void()>& show,
                                        std::function<void(HWND)> script) {
    WindowDriver driver(std::move(caption), std::move(script));
    std::optional<Failure> failure = FailureOf(show);
    driver.Join();
    EXPECT_TRUE(driver.found()) << "the window did not come";
    EXPECT_FALSE(driver.left_open()) << "the script did not close the window";
    return failure;
}

// Every window test's start: the stand-in shell registered, the settings as a first run
// leaves them, and this thread's id (the windows run on it).
class WindowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_HRESULT_SUCCEEDED(registration_.status());
        Seed(u"2", u"I'm currently browsing:", u"");
    }
    static void Seed(TextView show, TextView before, TextView after) {
        StoreSetting(u"Show", show);
        StoreSetting(u"Before", before);
        StoreSetting(u"After", after);
    }

    const DWORD thread_ = GetCurrentThreadId();
    testshell::Registration registration_;
};

// left, top, right, bottom: EXPECT_EQ prints all four when they differ.
inline std::vector<LONG> Corners(const RECT& r) { return {r.left, r.top, r.right, r.bottom}; }

}  // namespace tabulon::testing_ui
