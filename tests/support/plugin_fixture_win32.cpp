#include "plugin_fixture_win32.h"

#include <gtest/gtest.h>

#include <utility>

#include "common/bstr_win32.h"
#include "common/com_error_win32.h"
#include "settings/registry_settings_store_win32.h"
#include "testbrowser/stand_in_browsers_win32.h"

namespace tabulon::testing {

late_bound::Object CreatePlugin() {
    HRESULT hr = E_FAIL;
    late_bound::Object plugin = late_bound::Object::Create(L"Quenlar.TB", &hr);
    EXPECT_EQ(hr, S_OK) << "creating Quenlar.TB";
    return plugin;
}

void ClearSettings() {
    const LSTATUS rc = RegDeleteTreeW(HKEY_CURRENT_USER, kSettingsRegistryKey);
    ASSERT_TRUE(rc == ERROR_SUCCESS || rc == ERROR_FILE_NOT_FOUND) << rc;
    RegDeleteKeyW(HKEY_CURRENT_USER, kSettingsRegistryKey);
}

std::optional<Text> StoredSetting(const wchar_t* key) {
    DWORD type = 0, size = 0;
    if (RegGetValueW(HKEY_CURRENT_USER, kSettingsRegistryKey, key, RRF_RT_ANY | RRF_NOEXPAND, &type,
                     nullptr, &size) != ERROR_SUCCESS)
        return std::nullopt;
    EXPECT_EQ(type, static_cast<DWORD>(REG_SZ)) << "type of the stored value";
    std::wstring buffer(size / sizeof(wchar_t) + 1, L'\0');
    if (RegGetValueW(HKEY_CURRENT_USER, kSettingsRegistryKey, key, RRF_RT_ANY | RRF_NOEXPAND, &type,
                     buffer.data(), &size) != ERROR_SUCCESS)
        return std::nullopt;
    buffer.resize(size / sizeof(wchar_t));
    while (!buffer.empty() && buffer.back() == L'\0') buffer.pop_back();
    return Text(reinterpret_cast<const char16_t*>(buffer.data()), buffer.size());
}

void StoreSetting(const wchar_t* key, TextView value) {
    const std::wstring text(reinterpret_cast<const wchar_t*>(value.data()), value.size());
    const LSTATUS rc =
        RegSetKeyValueW(HKEY_CURRENT_USER, kSettingsRegistryKey, key, REG_SZ, text.c_str(),
                        static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
    ASSERT_EQ(rc, ERROR_SUCCESS);
}

void DeleteSetting(const wchar_t* key) {
    RegistryKey handle;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kSettingsRegistryKey, 0, KEY_SET_VALUE, handle.put()) ==
        ERROR_SUCCESS)
        RegDeleteValueW(handle.get(), key);
}

void InitializePlugin(const late_bound::Object& plugin) {
    late_bound::Args args;
    args.Long(0).String(u"").Object(nullptr);
    const late_bound::Outcome outcome = plugin.Call(L"Initialize", args);
    ASSERT_EQ(outcome.hr, S_OK) << ToUtf8(outcome.description);
    ASSERT_TRUE(outcome.Boolean());
}

void ShowOneBrowserPage(TextView title, TextView address) {
    testshell::SetScenario(testshell::Showing(
        {testshell::Page(u"C:\\Program Files\\Internet Explorer", title, address)}));
}

CommandResult SendCommand(const late_bound::Object& plugin, TextView command, TextView passed,
                          TextView argument) {
    late_bound::Args args;
    BSTR* result = args.Held(passed);
    args.String(command).String(argument).Object(nullptr).StringRef(result);
    late_bound::Outcome outcome = plugin.Call(L"ParseCommand", args);
    return {std::move(outcome), Text(Bstr::View(*result))};
}

void PluginTest::SetUp() {
    ASSERT_EQ(registration_.status(), S_OK);
    testshell::SetScenario({});
    ClearSettings();
    plugin_ = CreatePlugin();
    ASSERT_TRUE(plugin_);
    if (initialize_) InitializePlugin(plugin_);
    if (!HasFatalFailure()) Arrange();
}

void PluginTest::TearDown() {
    if (plugin_) {
        EXPECT_EQ(plugin_.Reset(), 0u) << "the test held the last reference";
    }
    ClearSettings();
    // The picker keeps its own shell object for later openings, until the DLL is
    // asked whether it may unload.
    auto canUnload = reinterpret_cast<decltype(&::DllCanUnloadNow)>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"TB.dll"), "DllCanUnloadNow")));
    ASSERT_NE(canUnload, nullptr);
    // A reading of the browsers' pages that outlived its command holds the DLL until it
    // ends: a few seconds at most, unless a browser stalls.
    const DWORD start = GetTickCount();
    HRESULT may = canUnload();
    while (may != S_OK && GetTickCount() - start < ScaledMilliseconds(15000)) {
        Sleep(20);
        may = canUnload();
    }
    EXPECT_EQ(may, S_OK);
    EXPECT_EQ(testshell::ReadCounters().LiveObjects(), 0) << "every shell object was released";
}

}  // namespace tabulon::testing
