#include "settings/display_mode.h"

#include <gtest/gtest.h>

#include <string>

#include "core_fakes.h"
#include "display_mode_cases.h"
#include "settings/shown_text.h"

namespace tabulon::testing {
namespace {

std::string Shown(TextView text) { return ToUtf8(ShownText(text)); }

void ExpectParse(TextView text, std::optional<std::int16_t> value, NumberError error) {
    SCOPED_TRACE("text \"" + Shown(text) + "\"");
    const DisplayModeParse parsed = ParseDisplayMode(text);
    EXPECT_EQ(parsed.value, value);
    if (!value) {
        EXPECT_EQ(parsed.error, error);
    }
}

TEST(DisplayModeTest, ConvertsTheTable) {
    for (const DisplayModeCase& c : kDisplayModeCases) ExpectParse(c.text, c.value, c.error);
}

TEST(DisplayModeTest, ConvertsVeryLongTexts) {
    const Text zeros(100000, u'0');
    const Text blanks(100000, u' ');
    struct LongCase {
        Text text;
        std::optional<std::int16_t> value;
        NumberError error = kNaN;
    };
    const LongCase cases[] = {
        {zeros + u"2", 2},
        {blanks + u"-2" + blanks, -2},
        {u"2." + Text(100000, u'4') + u"5", 2},
        {u"0.5" + zeros + u"1", 1},  // the last digit still decides the rounding
        {u"0.5" + zeros, 0},
        {u"1." + Text(2000, u'9'), 2},
        {u"12." + Text(2000, u'3'), 12},
        {u"-32768.5" + zeros + u"1", std::nullopt, kRange},
        {u"-32768.5" + zeros, -32768},
        {Text(100000, u'1'), std::nullopt, kRange},
        {u"1" + zeros + u"e-100000", 1},
        {u"1" + zeros + u"e-99999", 10},
        {u"&H" + zeros + u"FFFF", -1},
        {zeros + u"x", std::nullopt},
    };
    for (const LongCase& c : cases) ExpectParse(c.text, c.value, c.error);
}

TEST(DisplayModeTest, EveryValueSurvivesFormatAndParse) {
    for (int value = -32768; value <= 32767; ++value) {
        const Text text = FormatDisplayMode(static_cast<std::int16_t>(value));
        ASSERT_EQ(ParseDisplayMode(text).value, value) << ToUtf8(text);
    }
}

TEST(DisplayModeTest, FormatReservesThePlaceOfTheSign) {
    const std::pair<std::int16_t, TextView> cases[] = {
        {0, u" 0"}, {1, u" 1"}, {2, u" 2"}, {-1, u"-1"}, {32767, u" 32767"}, {-32768, u"-32768"}};
    for (const auto& [mode, text] : cases) EXPECT_EQ(FormatDisplayMode(mode), text) << mode;
}

TEST(DisplayModeTest, FailureNamesTheSettingAndShowsItsTextSafely) {
    EXPECT_EQ(ConvertDisplayMode(u" 2"), 2);
    const Text very_long(1000000, u'x');
    const struct {
        TextView text;
        std::int32_t code;
        Text shown;
    } cases[] = {
        {u"abc", status::kTypeMismatch, u"abc"},
        {u"", status::kTypeMismatch, u""},
        {u"32768", status::kOverflow, u"32768"},
        {u"1\0\r\n\u202E2"sv, status::kTypeMismatch, u"1\\u0000\\u000D\\u000A\\u202E2"},
        {very_long, status::kTypeMismatch, Text(kShownTextLimit, u'x') + u"..."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(Shown(c.text));
        const Failure failure = FailureOf([&] { ConvertDisplayMode(c.text); });
        EXPECT_EQ(failure.code(), c.code);
        EXPECT_EQ(failure.description(),
                  u"The setting \"Show\" holds \"" + c.shown +
                      u"\", which is not a whole number from -32768 to 32767.");
        EXPECT_LT(failure.description().size(), 200u);
    }
}

TEST(ShownTextTest, KeepsPrintableTextAndCutsOnlyWholeCharacters) {
    EXPECT_EQ(ShownText(u"I'm currently browsing:"), u"I'm currently browsing:");
    EXPECT_EQ(ShownText(u"caf\u00E9 \u4E16\u754C"), u"caf\u00E9 \u4E16\u754C");
    EXPECT_EQ(ShownText(u"abcdef", 6), u"abcdef");
    EXPECT_EQ(ShownText(u"abcdefg", 6), u"abcdef...");
    // A surrogate pair that would straddle the limit is left out whole.
    EXPECT_EQ(ShownText(u"abcde\U0001F600", 6), u"abcde...");
    EXPECT_EQ(ShownText(u"abcd\U0001F600", 6), u"abcd\U0001F600");
    // Lone surrogates and format characters become visible.
    EXPECT_EQ(ShownText(u"a\xD800"
                        u"b\xDC00\u200B\uFEFF"),
              u"a\\uD800b\\uDC00\\u200B\\uFEFF");
    EXPECT_EQ(ShownText(u"\t\x7F\x85"), u"\\u0009\\u007F\\u0085");
}

}  // namespace
}  // namespace tabulon::testing
