// Settings that another program (or a hand in regedit) left in a shape the plug-in
// never writes, read through TB.dll as the host calls it. Each command either gives
// the exact text or fails with the failure status naming the setting; none crashes.
// One case per outcome: every value type and byte count is the registry store test's.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/bstr_win32.h"
#include "plugin_fixture_win32.h"
#include "settings/registry_settings_store_win32.h"
#include "testshell/test_shell.h"

namespace tabulon::testing {
namespace {

using late_bound::Outcome;

std::vector<BYTE> Utf16(std::wstring_view text, bool terminated = true) {
    const auto* p = reinterpret_cast<const BYTE*>(text.data());
    std::vector<BYTE> bytes(p, p + text.size() * sizeof(wchar_t));
    if (terminated) bytes.insert(bytes.end(), sizeof(wchar_t), 0);
    return bytes;
}

std::vector<BYTE> Dword(DWORD value) {
    const auto* p = reinterpret_cast<const BYTE*>(&value);
    return std::vector<BYTE>(p, p + sizeof value);
}

void StoreRaw(const wchar_t* key, DWORD type, const std::vector<BYTE>& bytes) {
    ASSERT_EQ(
        RegSetKeyValueW(HKEY_CURRENT_USER, kSettingsRegistryKey, key, type,
                        bytes.empty() ? nullptr : bytes.data(), static_cast<DWORD>(bytes.size())),
        ERROR_SUCCESS);
}

class HostileSettings : public InitializedPluginTest {
  protected:
    void Arrange() override { ShowOneBrowserPage(u"Title", u"http://a/"); }

    using Result = CommandResult;
    Result AllWebsites() { return SendCommand(plugin_, u"/xweball", u"passed"); }
};

void ExpectFailureNaming(const Outcome& outcome, HRESULT scode, const wchar_t* setting) {
    EXPECT_EQ(outcome.hr, DISP_E_EXCEPTION);
    EXPECT_EQ(outcome.scode, scode);
    const Text quoted = u"\"" + Text(reinterpret_cast<const char16_t*>(setting)) + u"\"";
    EXPECT_NE(outcome.description.find(quoted), Text::npos) << ToUtf8(outcome.description);
    EXPECT_EQ(outcome.value.vt(), VT_EMPTY);
}

TEST_F(HostileSettings, SettingsInEveryShape) {
    const std::wstring blanks(16383, L' ');
    const struct {
        const char* what;
        const wchar_t* key;
        DWORD type;
        std::vector<BYTE> bytes;
        HRESULT scode;  // S_OK: works
        const char16_t* line;
    } cases[] = {
        {"REG_DWORD", L"Show", REG_DWORD, Dword(2), DISP_E_TYPEMISMATCH, nullptr},
        {"0-byte REG_SZ", L"Show", REG_SZ, {}, DISP_E_TYPEMISMATCH, nullptr},
        {"no terminator", L"Show", REG_SZ, Utf16(L"1", false), S_OK, u"http://a/"},
        {"odd byte count", L"Show", REG_SZ,
         [] {
             auto b = Utf16(L"2", false);
             b.push_back('7');
             return b;
         }(),
         S_OK, u"Title - http://a/"},
        {"64 KB of blanks", L"Show", REG_SZ, Utf16(blanks + L"0" + blanks.substr(1)), S_OK,
         u"Title"},
        {"64 KB of digits", L"Show", REG_SZ, Utf16(std::wstring(32767, L'7')), DISP_E_OVERFLOW,
         nullptr},
        {"Before as REG_DWORD", L"Before", REG_DWORD, Dword(1), DISP_E_TYPEMISMATCH, nullptr},
        {"After as REG_BINARY", L"After", REG_BINARY, Utf16(L"A"), DISP_E_TYPEMISMATCH, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        StoreSetting(L"Show", u"2");
        StoreSetting(L"Before", u"B");
        DeleteSetting(L"After");
        StoreRaw(c.key, c.type, c.bytes);
        const Result r = AllWebsites();
        if (c.scode == S_OK) {
            ASSERT_EQ(r.outcome.hr, S_OK) << ToUtf8(r.outcome.description);
            EXPECT_TRUE(r.outcome.Boolean());
            EXPECT_EQ(r.text, Text(u"B\r\n\r\n") + c.line + u"\r\n\r\n");
        } else {
            ExpectFailureNaming(r.outcome, c.scode, c.key);
            EXPECT_EQ(r.text, u"passed") << "sResult unchanged";
        }
    }
}

// Initialize reads "Show" too: a value of the wrong type fails it without reseeding;
// an empty one is reseeded.
TEST_F(HostileSettings, InitializeWithAnUnreadableShow) {
    StoreRaw(L"Show", REG_DWORD, Dword(2));
    late_bound::Args args;
    args.Long(0).String(u"").Object(nullptr);
    const Outcome outcome = plugin_.Call(L"Initialize", args);
    ExpectFailureNaming(outcome, DISP_E_TYPEMISMATCH, L"Show");

    StoreRaw(L"Show", REG_SZ, {});
    InitializePlugin(plugin_);
    EXPECT_EQ(StoredSetting(L"Show"), Text(u"2"));
}

TEST_F(HostileSettings, HugeBeforeAndAfterArePassedExactly) {
    Text before(1 << 20, u'b');
    Text after(1 << 20, u'a');
    before[0] = u'\r';
    before[5] = u'\u00e9';
    after[(1 << 20) - 1] = u'\n';
    StoreSetting(L"Show", u"0");
    StoreSetting(L"Before", before);
    StoreSetting(L"After", after);
    const Result r = AllWebsites();
    ASSERT_EQ(r.outcome.hr, S_OK) << ToUtf8(r.outcome.description);
    EXPECT_TRUE(r.text == before + u"\r\n\r\nTitle\r\n\r\n" + after) << r.text.size();

    // Without a terminator, and with an embedded NUL that is kept.
    const Text withNul(u"x\0y", 3);
    StoreRaw(L"Before", REG_SZ, Utf16(std::wstring(L"x\0y", 3), false));
    StoreRaw(L"After", REG_SZ, Utf16(L"end", false));
    const Result raw = AllWebsites();
    ASSERT_EQ(raw.outcome.hr, S_OK);
    EXPECT_EQ(raw.text, withNul + u"\r\n\r\nTitle\r\n\r\nend");
}

}  // namespace
}  // namespace tabulon::testing
