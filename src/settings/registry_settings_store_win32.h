#pragma once
// The settings in the registry, where the platform's per-user application settings
// facility keeps them: REG_SZ values under
// HKEY_CURRENT_USER\Software\VB and VBA Program Settings\<application>\<section>.
#include "common/unique_handle_win32.h"
#include "settings/settings_store.h"

namespace tabulon {

inline constexpr wchar_t kSettingsRegistryKey[] =
    L"Software\\VB and VBA Program Settings\\Vantorel\\Tabulon";

class RegistrySettingsStore : public SettingsStore {
  public:
    RegistrySettingsStore() = default;
    RegistrySettingsStore(const RegistrySettingsStore&) = delete;
    RegistrySettingsStore& operator=(const RegistrySettingsStore&) = delete;

    // An absent key or value reads as the empty text. Text values are taken by their
    // byte count, without the terminating NULs; any other value type is a Failure.
    Text Read(TextView key) override;
    // Writes a REG_SZ with its terminating NUL, creating the key on first write.
    void Write(TextView key, TextView value) override;

  private:
    // The section, opened for reading on the first read that finds it and kept for
    // the reads after it: a command reads three settings in a row.
    RegistryKey section_;
};

}  // namespace tabulon
