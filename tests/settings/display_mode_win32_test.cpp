// ParseDisplayMode against the platform's own VarI2FromStr, over the shared table
// and a few thousand generated texts.
#include <windows.h>
#include <oleauto.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "display_mode_cases.h"
#include "settings/display_mode.h"
#include "settings/shown_text.h"

namespace tabulon::testing {
namespace {

struct PlatformResult {
    HRESULT status;
    SHORT value;
};

PlatformResult Platform(TextView text) {
    std::wstring copy(text.begin(), text.end());
    SHORT value = 0;
    const HRESULT status = VarI2FromStr(copy.data(), LOCALE_USER_DEFAULT, 0, &value);
    return {status, value};
}

bool IsSign(char16_t c) { return c == u'+' || c == u'-'; }
bool IsBlankish(char16_t c) { return c <= 0x20 || c == 0xA0 || c == 0x3000; }

// Forms that the platform's parser takes and ParseDisplayMode refuses on purpose:
// currency, parentheses, trailing or repeated signs, signed radix forms, separators
// after the decimal point, in the exponent or after the number's trailing blanks.
bool PlatformOnlyForm(TextView text) {
    if (text.find_first_of(u"$()") != TextView::npos) return true;
    std::size_t i = 0;
    while (i < text.size() && IsBlankish(text[i])) ++i;
    bool sign = false;
    if (i < text.size() && IsSign(text[i])) {
        sign = true;
        ++i;
        while (i < text.size() && IsBlankish(text[i])) ++i;
    }
    const TextView rest = text.substr(i);
    if (!rest.empty() && rest[0] == u'&')
        return sign || rest.find_first_of(u"+-") != TextView::npos;
    for (std::size_t k = 0; k < rest.size(); ++k) {
        if (IsSign(rest[k]) && (k == 0 || (rest[k - 1] != u'e' && rest[k - 1] != u'E')))
            return true;
        if (IsBlankish(rest[k]) && rest.find(u',', k) != TextView::npos) return true;
    }
    const std::size_t point = rest.find_first_of(u".eE");
    return point != TextView::npos && rest.find(u',', point) != TextView::npos;
}

// Wine rounds some numbers below 0.1 away from zero ("0.06" gives 1, "0.05" 0): it
// looks at the first significant digit wherever it stands. Not followed here.
bool PlatformRoundsTinyValueUp(TextView text, int ours, SHORT platform) {
    if (ours != 0 || (platform != 1 && platform != -1)) return false;
    std::string plain;
    for (char16_t c : text)
        if (!IsBlankish(c) && c != u',' && c < 0x80) plain += static_cast<char>(c);
    char* end = nullptr;
    const double value = std::strtod(plain.c_str(), &end);
    return end && *end == '\0' && value > -0.1 && value < 0.1;
}

// Differences that are known and accepted, by kind.
struct Excused {
    int platform_only_forms = 0;
    int tiny_values = 0;
};

// Empty when both agree (or differ in an accepted way); otherwise what differs.
std::string Compare(TextView text, Excused* excused) {
    const DisplayModeParse ours = ParseDisplayMode(text);
    const PlatformResult platform = Platform(text);
    const std::string shown = "\"" + ToUtf8(ShownText(text)) + "\"";
    if (ours.value) {
        if (platform.status == S_OK && platform.value == *ours.value) return {};
        if (excused && platform.status == S_OK &&
            PlatformRoundsTinyValueUp(text, *ours.value, platform.value)) {
            ++excused->tiny_values;
            return {};
        }
        return shown + ": ours " + std::to_string(*ours.value) + ", platform status " +
               std::to_string(platform.status) + " value " + std::to_string(platform.value);
    }
    const HRESULT expected =
        ours.error == NumberError::kOutOfRange ? DISP_E_OVERFLOW : DISP_E_TYPEMISMATCH;
    if (platform.status == expected) return {};
    if (excused && ours.error == NumberError::kNotANumber && PlatformOnlyForm(text)) {
        ++excused->platform_only_forms;
        return {};
    }
    return shown + ": ours fails with " + std::to_string(expected) + ", platform status " +
           std::to_string(platform.status) + " value " + std::to_string(platform.value);
}

void ExpectAgreement(const std::vector<Text>& texts) {
    int differences = 0;
    Excused excused;
    for (const Text& text : texts) {
        const std::string difference = Compare(text, &excused);
        if (difference.empty()) continue;
        if (++differences <= 20) ADD_FAILURE() << difference;
    }
    EXPECT_EQ(differences, 0) << "of " << texts.size() << " texts";
    std::printf("%zu texts: %d refused forms the platform takes, %d tiny values it rounds up\n",
                texts.size(), excused.platform_only_forms, excused.tiny_values);
}

TEST(DisplayModePlatformTest, AgreesOnTheTable) {
    for (const DisplayModeCase& c : kDisplayModeCases) {
        if (c.platform_differs) continue;
        EXPECT_EQ(Compare(c.text, nullptr), "");
    }
}

TEST(DisplayModePlatformTest, AgreesOnEveryHalfAndBoundary) {
    std::vector<Text> texts;
    for (int n = -32800; n <= 32800; ++n) {
        const std::string digits = std::to_string(n);
        const Text whole(digits.begin(), digits.end());
        texts.push_back(whole + u".5");
        if (n % 97 == 0) {
            texts.push_back(whole);
            texts.push_back(whole + u".49999");
            texts.push_back(whole + u".50001");
        }
    }
    ExpectAgreement(texts);
}

// Numbers built from their parts: blanks, sign, digits with separators, fraction and
// exponent, with the digits that matter for rounding made common.
TEST(DisplayModePlatformTest, AgreesOnGeneratedNumbers) {
    std::mt19937 random(20261208);
    auto pick = [&](int n) { return static_cast<int>(random() % n); };
    const char16_t* blanks[] = {u"", u"", u" ", u"  ", u"\t", u"\u00A0", u"\r\n"};
    const char16_t digits[] = u"0000155599123456789";
    auto some_digits = [&](int max, bool separators) {
        Text out;
        const int n = pick(max + 1);
        for (int k = 0; k < n; ++k) {
            out += digits[pick(19)];
            if (separators && pick(6) == 0) out += u',';
        }
        return out;
    };
    std::vector<Text> texts;
    for (int k = 0; k < 4000; ++k) {
        Text text = blanks[pick(7)];
        const int sign = pick(4);
        if (sign == 1) text += u'-';
        if (sign == 2) text += u'+';
        if (sign && pick(4) == 0) text += u' ';
        text += some_digits(7, pick(3) == 0);
        if (pick(2)) text += u'.' + some_digits(22, false);
        if (pick(4) == 0) {
            text += pick(2) ? u'e' : u'E';
            const int exponent_sign = pick(3);
            if (exponent_sign == 1) text += u'-';
            if (exponent_sign == 2) text += u'+';
            text += some_digits(3, false);
        }
        text += blanks[pick(7)];
        texts.push_back(text);
    }
    ExpectAgreement(texts);
}

// Short texts of arbitrary pieces, most of them no number at all.
TEST(DisplayModePlatformTest, AgreesOnGeneratedJunk) {
    std::mt19937 random(8122026);
    const TextView pieces[] = {u"0", u"1", u"2", u"5", u"9",      u"7",      u" ",    u"\t", u"+",
                               u"-", u".", u",", u"e", u"E",      u"&H",     u"&O",   u"&",  u"F",
                               u"x", u"$", u"(", u")", u"\u00A0", u"\u3000", u"\x1F", u"d"};
    constexpr int kPieces = sizeof(pieces) / sizeof(pieces[0]);
    std::vector<Text> texts;
    for (int k = 0; k < 6000; ++k) {
        Text text;
        const int n = static_cast<int>(random() % 8);
        for (int p = 0; p < n; ++p) text += pieces[random() % kPieces];
        texts.push_back(text);
    }
    ExpectAgreement(texts);
}

}  // namespace
}  // namespace tabulon::testing
