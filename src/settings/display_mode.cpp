#include "settings/display_mode.h"

#include <algorithm>
#include <string>

#include "common/failure.h"
#include "settings/settings_store.h"
#include "settings/shown_text.h"

// Not a call to the platform's VarI2FromStr: Wine's wraps exponents at 32 bits and
// crashes on some beyond 31 (measured), and this code must build without Windows.
//
// The conversion follows what oleaut32's VarI2FromStr does under the US English
// locale for every form a person could mean as a number: blanks around it, one
// sign (blanks may follow it), digits with "," thousands separators, a "."
// fraction rounded half to even, an exponent ("1e2", "25E-1") and "&H"/"&O"
// radix forms taken as 16 bits ("&HFFFF" is -1). Values are computed exactly,
// whatever the number of digits or the size of the exponent.
//
// Forms that the platform's parser also lets through are refused here as not a
// number: a currency sign, parentheses for negative, a sign after the number or
// more than one sign, a sign before "&H"/"&O" (which that parser ignores), and
// separators after the decimal point, in the exponent or after trailing blanks.
// A NUL ends the text for the platform, which would read "2<NUL>junk" as 2; here
// it is not a number.

namespace tabulon {

namespace {

constexpr int kMinValue = -32768;
constexpr int kMaxValue = 32767;
// Exponents are clamped far beyond any that could still give a 16-bit value.
constexpr std::int64_t kExponentClamp = 1'000'000'000;

// The blanks that the conversion skips before and after a number (measured).
bool IsBlank(char16_t c) {
    return (c >= 0x09 && c <= 0x0D) || c == 0x20 || c == 0x85 || c == 0xA0 || c == 0x1680 ||
           (c >= 0x2000 && c <= 0x200A) || c == 0x2028 || c == 0x2029 || c == 0x202F ||
           c == 0x205F || c == 0x3000;
}

bool IsDigit(char16_t c) { return c >= u'0' && c <= u'9'; }

int DigitValue(char16_t c, int base) {
    int value = 16;
    if (IsDigit(c))
        value = c - u'0';
    else if (c >= u'a' && c <= u'f')
        value = c - u'a' + 10;
    else if (c >= u'A' && c <= u'F')
        value = c - u'A' + 10;
    return value < base ? value : -1;
}

DisplayModeParse NotANumber() { return {std::nullopt, NumberError::kNotANumber}; }
DisplayModeParse OutOfRange() { return {std::nullopt, NumberError::kOutOfRange}; }
DisplayModeParse Number(int value) {
    return {static_cast<std::int16_t>(value), NumberError::kNotANumber};
}

// "&H..." or "&O...": anything up to 0xFFFF, read as a 16-bit pattern.
DisplayModeParse ParseRadix(TextView digits, int base) {
    if (digits.empty()) return NotANumber();
    std::uint32_t value = 0;
    bool too_big = false;
    for (char16_t c : digits) {
        const int digit = DigitValue(c, base);
        if (digit < 0) return NotANumber();
        if (!too_big) {
            value = value * base + digit;
            too_big = value > 0xFFFF;
        }
    }
    if (too_big) return OutOfRange();
    return Number(value >= 0x8000 ? static_cast<int>(value) - 0x10000 : static_cast<int>(value));
}

// A decimal number without its sign, as significant digits (no leading or trailing
// zeros) times a power of ten; nullopt when the text is no number.
struct Decimal {
    std::string digits;
    std::int64_t scale = 0;
};

std::optional<Decimal> ParseDecimal(TextView body) {
    Decimal number;
    std::size_t i = 0;
    auto take = [&](char16_t c) {
        if (c != u'0' || !number.digits.empty()) number.digits += static_cast<char>(c);
    };

    bool any_digit = false;
    if (i < body.size() && IsDigit(body[i])) {
        for (; i < body.size() && (IsDigit(body[i]) || body[i] == u','); ++i)
            if (body[i] != u',') take(body[i]);
        any_digit = true;
    }
    if (i < body.size() && body[i] == u'.') {
        ++i;
        for (; i < body.size() && IsDigit(body[i]); ++i) {
            take(body[i]);
            --number.scale;
            any_digit = true;
        }
    }
    if (!any_digit) return std::nullopt;

    if (i < body.size() && (body[i] == u'e' || body[i] == u'E')) {
        ++i;
        bool negative = false;
        if (i < body.size() && (body[i] == u'+' || body[i] == u'-')) negative = body[i++] == u'-';
        if (i == body.size() || !IsDigit(body[i])) return std::nullopt;
        std::int64_t exponent = 0;
        for (; i < body.size() && IsDigit(body[i]); ++i)
            exponent = std::min(exponent * 10 + (body[i] - u'0'), kExponentClamp);
        number.scale += negative ? -exponent : exponent;
    }
    if (i != body.size()) return std::nullopt;

    while (!number.digits.empty() && number.digits.back() == '0') {
        number.digits.pop_back();
        ++number.scale;
    }
    return number;
}

// Rounds to the nearest integer, a half to the even neighbour, and checks the range.
DisplayModeParse RoundToInt16(const Decimal& number, bool negative) {
    if (number.digits.empty()) return Number(0);
    const auto length = static_cast<std::int64_t>(number.digits.size());
    const std::int64_t whole_digits = length + number.scale;
    if (whole_digits > 5) return OutOfRange();

    int magnitude = 0;
    for (std::int64_t k = 0; k < whole_digits; ++k)
        magnitude = magnitude * 10 + (k < length ? number.digits[k] - '0' : 0);

    if (whole_digits >= 0 && whole_digits < length) {
        const int first = number.digits[whole_digits] - '0';
        const bool more = whole_digits + 1 < length;  // nonzero: trailing zeros are gone
        if (first > 5 || (first == 5 && (more || magnitude % 2 == 1))) ++magnitude;
    }

    if (negative) {
        if (magnitude > -kMinValue) return OutOfRange();
        return Number(-magnitude);
    }
    if (magnitude > kMaxValue) return OutOfRange();
    return Number(magnitude);
}

}  // namespace

DisplayModeParse ParseDisplayMode(TextView text) {
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && IsBlank(text[begin])) ++begin;
    while (end > begin && IsBlank(text[end - 1])) --end;

    bool negative = false;
    bool signed_ = false;
    if (begin < end && (text[begin] == u'+' || text[begin] == u'-')) {
        negative = text[begin] == u'-';
        signed_ = true;
        ++begin;
        while (begin < end && IsBlank(text[begin])) ++begin;
    }
    const TextView body = text.substr(begin, end - begin);

    if (!body.empty() && body[0] == u'&') {
        if (signed_ || body.size() < 2) return NotANumber();
        if (body[1] == u'H' || body[1] == u'h') return ParseRadix(body.substr(2), 16);
        if (body[1] == u'O' || body[1] == u'o') return ParseRadix(body.substr(2), 8);
        return NotANumber();
    }

    const std::optional<Decimal> number = ParseDecimal(body);
    if (!number) return NotANumber();
    return RoundToInt16(*number, negative);
}

std::int16_t ConvertDisplayMode(TextView text) {
    const DisplayModeParse parsed = ParseDisplayMode(text);
    if (parsed.value) return *parsed.value;
    Text description = u"The setting \"";
    description += kShowKey;
    description += u"\" holds \"";
    description += ShownText(text);
    description += u"\", which is not a whole number from -32768 to 32767.";
    throw Failure(
        parsed.error == NumberError::kOutOfRange ? status::kOverflow : status::kTypeMismatch,
        std::move(description));
}

Text FormatDisplayMode(std::int16_t mode) {
    const int value = mode;
    const std::string digits = std::to_string(value < 0 ? -value : value);
    Text out(1, value < 0 ? u'-' : u' ');
    out.append(digits.begin(), digits.end());
    return out;
}

}  // namespace tabulon
