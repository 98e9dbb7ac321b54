// RegistrySettingsStore against what can really be found in the registry. Each test
// starts and ends without the settings key.
#include "settings/registry_settings_store_win32.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "common/failure.h"
#include "settings/display_mode.h"
#include "settings/shown_text.h"

namespace tabulon::testing {
namespace {

using namespace std::literals;
using Bytes = std::vector<BYTE>;

void DeleteSettingsKey() {
    const LSTATUS status = RegDeleteTreeW(HKEY_CURRENT_USER, kSettingsRegistryKey);
    ASSERT_TRUE(status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND) << status;
    RegDeleteKeyW(HKEY_CURRENT_USER, kSettingsRegistryKey);
}

Bytes TextBytes(TextView text) {
    const auto* begin = reinterpret_cast<const BYTE*>(text.data());
    return Bytes(begin, begin + text.size() * sizeof(char16_t));
}

void SetRaw(const wchar_t* name, DWORD type, const Bytes& data) {
    RegistryKey key;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, kSettingsRegistryKey, 0, nullptr, 0, KEY_SET_VALUE,
                              nullptr, key.put(), nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExW(key.get(), name, 0, type, data.empty() ? nullptr : data.data(),
                             static_cast<DWORD>(data.size())),
              ERROR_SUCCESS);
}

struct RawValue {
    DWORD type = REG_NONE;
    Bytes data;
};

RawValue GetRaw(const wchar_t* name) {
    RawValue value;
    DWORD size = 0;
    if (RegGetValueW(HKEY_CURRENT_USER, kSettingsRegistryKey, name, RRF_RT_ANY | RRF_NOEXPAND,
                     &value.type, nullptr, &size) != ERROR_SUCCESS) {
        ADD_FAILURE() << "no value";
        return value;
    }
    value.data.resize(size);
    EXPECT_EQ(RegGetValueW(HKEY_CURRENT_USER, kSettingsRegistryKey, name, RRF_RT_ANY | RRF_NOEXPAND,
                           &value.type, value.data.data(), &size),
              ERROR_SUCCESS);
    value.data.resize(size);
    return value;
}

std::string Shown(TextView text) { return ToUtf8(ShownText(text)); }

class RegistrySettingsStoreTest : public ::testing::Test {
  protected:
    void SetUp() override { DeleteSettingsKey(); }
    void TearDown() override { DeleteSettingsKey(); }

    RegistrySettingsStore store;
};

TEST_F(RegistrySettingsStoreTest, AbsentKeyOrValueReadsEmpty) {
    EXPECT_EQ(store.Read(u"Show"), u"");
    SetRaw(L"Before", REG_SZ, TextBytes(u"b\0"sv));
    EXPECT_EQ(store.Read(u"Show"), u"");
    EXPECT_EQ(store.Read(u"Before"), u"b");
}

TEST_F(RegistrySettingsStoreTest, ReadsTextsByTheirByteCount) {
    struct Case {
        const char* name;
        DWORD type;
        Bytes data;
        Text expected;
    };
    Bytes odd = TextBytes(u"ab\0"sv);
    odd.push_back('c');
    Bytes odd_unterminated = TextBytes(u"2");
    odd_unterminated.push_back(0);
    const Case cases[] = {
        {"zero bytes", REG_SZ, {}, u""},
        {"one terminator", REG_SZ, TextBytes(u"\0"sv), u""},
        {"no terminator", REG_SZ, TextBytes(u"2"), u"2"},
        {"two terminators", REG_SZ, TextBytes(u"2\0\0"sv), u"2"},
        {"odd byte count", REG_SZ, odd, u"ab"},
        {"odd byte count, no terminator", REG_SZ, odd_unterminated, u"2"},
        {"one odd byte", REG_SZ, Bytes{'2'}, u""},
        {"embedded NULs", REG_SZ, TextBytes(u"a\0\0b\0"sv), u"a\0\0b"s},
        {"non-ASCII", REG_SZ, TextBytes(u"\u00E9\u4E16\U0001F600\0"sv), u"\u00E9\u4E16\U0001F600"},
        {"expandable text stays unexpanded", REG_EXPAND_SZ, TextBytes(u"%WINDIR%\0"sv),
         u"%WINDIR%"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SetRaw(L"Before", c.type, c.data);
        EXPECT_EQ(store.Read(u"Before"), c.expected) << Shown(store.Read(u"Before"));
    }
}

TEST_F(RegistrySettingsStoreTest, ReadsLongTexts) {
    Text text(32 * 1024 - 1, u'x');
    text[1000] = u'\r';
    text.back() = u'!';
    SetRaw(L"Before", REG_SZ, TextBytes(text + u'\0'));  // 64 KB with the terminator
    EXPECT_EQ(store.Read(u"Before"), text);
    SetRaw(L"Before", REG_SZ, TextBytes(text));
    EXPECT_EQ(store.Read(u"Before"), text);
}

// The size asked for first may no longer fit when the value is read.
TEST_F(RegistrySettingsStoreTest, ReadsAValueThatChangesSizeMeanwhile) {
    const Text short_text = u"short";
    const Text long_text(5000, u'L');
    store.Write(u"Before", short_text);
    std::atomic<bool> stop{false};
    std::thread writer([&] {
        RegistrySettingsStore other;
        for (int k = 0; !stop; ++k) other.Write(u"Before", k % 2 ? long_text : short_text);
    });
    int wrong = 0;
    for (int k = 0; k < 2000; ++k) {
        try {
            const Text read = store.Read(u"Before");
            if (read != short_text && read != long_text) ++wrong;
        } catch (const Failure&) {
            ++wrong;
        }
    }
    stop = true;
    writer.join();
    EXPECT_EQ(wrong, 0);
}

TEST_F(RegistrySettingsStoreTest, OtherValueTypesFailNamingSettingAndType) {
    struct Case {
        DWORD type;
        Bytes data;
        const char16_t* type_name;
    };
    const Case cases[] = {
        {REG_DWORD, {2, 0, 0, 0}, u"REG_DWORD"},
        {REG_BINARY, TextBytes(u"2\0"sv), u"REG_BINARY"},
        {REG_MULTI_SZ, TextBytes(u"2\0\0"sv), u"REG_MULTI_SZ"},
        {REG_QWORD, {2, 0, 0, 0, 0, 0, 0, 0}, u"REG_QWORD"},
        {REG_NONE, {}, u"REG_NONE"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(ToUtf8(c.type_name));
        SetRaw(L"Show", c.type, c.data);
        try {
            store.Read(u"Show");
            ADD_FAILURE() << "no failure";
        } catch (const Failure& failure) {
            EXPECT_EQ(failure.code(), status::kTypeMismatch);
            EXPECT_EQ(failure.description(),
                      u"The setting \"Show\" is stored in the registry as "s + c.type_name +
                          u", not as text (REG_SZ).");
        }
        EXPECT_THROW(ReadDisplayMode(store), Failure);
    }
}

TEST_F(RegistrySettingsStoreTest, WritesTerminatedTextsCreatingTheKey) {
    store.Write(u"After", u"");
    RawValue raw = GetRaw(L"After");
    EXPECT_EQ(raw.type, static_cast<DWORD>(REG_SZ));
    EXPECT_EQ(raw.data, (Bytes{0, 0}));

    store.Write(u"Show", FormatDisplayMode(1));
    EXPECT_EQ(GetRaw(L"Show").data, TextBytes(u" 1\0"sv));
    EXPECT_EQ(ReadDisplayMode(store), 1);
}

TEST_F(RegistrySettingsStoreTest, TextsComeBackExactly) {
    Text megabyte(1024 * 1024 / 2, u'a');
    for (std::size_t k = 0; k < megabyte.size(); k += 1000) megabyte[k] = u'\n';
    const Text texts[] = {
        u"",           u"  I'm currently browsing:\r\n\t",
        u"a\0b\0\0c"s, u"\u00E9t\u00E9 \u4E16\u754C \U0001F600 \u202E",
        megabyte,
    };
    for (const Text& text : texts) {
        SCOPED_TRACE(Shown(text));
        store.Write(u"Before", text);
        EXPECT_EQ(store.Read(u"Before"), text);
        EXPECT_EQ(GetRaw(L"Before").data.size(), (text.size() + 1) * sizeof(char16_t));
    }
}

}  // namespace
}  // namespace tabulon::testing
