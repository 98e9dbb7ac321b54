#pragma once
// What tests that drive TB.dll as a host need: the plug-in created by ProgID and
// called by name, and direct access to the per-user settings key.
#include <windows.h>

#include <gtest/gtest.h>

#include <optional>

#include "common/text.h"
#include "late_bound/late_bound_win32.h"
#include "testshell/test_shell.h"

namespace tabulon::testing {

// A new plugin object through Quenlar.TB; fails the test when it can't be made.
late_bound::Object CreatePlugin();

// Removes the whole settings section, as on a machine that never ran the plug-in.
void ClearSettings();

// The raw stored value (REG_SZ) or nothing when absent; and writing one.
std::optional<Text> StoredSetting(const wchar_t* key);
void StoreSetting(const wchar_t* key, TextView value);
void DeleteSetting(const wchar_t* key);

// Calls Initialize(0, "", Nothing) and expects True.
void InitializePlugin(const late_bound::Object& plugin);

// The stand-in shell reports one browser window (Internet Explorer's folder) showing
// that page.
void ShowOneBrowserPage(TextView title, TextView address);

// What ParseCommand returned and the text it left in sResult.
struct CommandResult {
    late_bound::Outcome outcome;
    Text text;
};

// ParseCommand by name, with sResult set to passed as a host would hand it over.
CommandResult SendCommand(const late_bound::Object& plugin, TextView command, TextView passed,
                          TextView argument = u"");

// A new plugin object against the in-process stand-in shell (no windows open) and
// no stored settings. Afterwards the plugin object is gone, the settings are gone
// again, the DLL may unload and every shell object the plug-in took is released.
class PluginTest : public ::testing::Test {
  protected:
    void SetUp() final;
    void TearDown() override;

    // A fixture's own preparation, once the plug-in exists (and is initialised, for an
    // InitializedPluginTest); a fatal failure here ends the test.
    virtual void Arrange() {}

    testshell::Registration registration_;
    late_bound::Object plugin_;
    bool initialize_ = false;
};

// The same, initialised as a host does before its first command.
class InitializedPluginTest : public PluginTest {
  protected:
    InitializedPluginTest() { initialize_ = true; }
};

}  // namespace tabulon::testing
