#pragma once
// What tests that drive TB.dll as a host need: the plug-in created by ProgID and
// called by name, and direct access to the per-user settings key.
#include <windows.h>

#include <optional>

#include "common/text.h"
#include "late_bound/late_bound_win32.h"

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

// ParseCommand by name; result holds sResult afterwards.
late_bound::Outcome ParseCommand(const late_bound::Object& plugin, TextView command,
                                 TextView argument, BSTR* result);

}  // namespace tabulon::testing
