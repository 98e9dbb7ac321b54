#pragma once
// Texts of "Show" and what they convert to. Shared by the portable test and the
// comparison with the platform's own conversion under Wine.
#include <cstdint>
#include <optional>
#include <string_view>

#include "settings/display_mode.h"

namespace tabulon::testing {

using namespace std::literals;

// What the conversion gives: a value, or why it fails.
struct DisplayModeCase {
    constexpr DisplayModeCase(TextView text, std::int16_t value, bool platform_differs = false)
        : text(text), value(value), platform_differs(platform_differs) {}
    constexpr DisplayModeCase(TextView text, NumberError error, bool platform_differs = false)
        : text(text), error(error), platform_differs(platform_differs) {}

    TextView text;
    std::optional<std::int16_t> value;
    NumberError error = NumberError::kNotANumber;
    // Wine's VarI2FromStr gives something else on purpose: it takes forms refused
    // here (see display_mode.cpp) or rounds wrongly. The comparison skips these.
    bool platform_differs = false;
};

constexpr NumberError kNaN = NumberError::kNotANumber;
constexpr NumberError kRange = NumberError::kOutOfRange;

// clang-format off
inline constexpr DisplayModeCase kDisplayModeCases[] = {
    // What the settings really hold, and blanks around them.
    {u"2", 2}, {u" 0", 0}, {u" 1", 1}, {u" 2", 2}, {u"2 ", 2}, {u"\t 2 \t", 2}, {u"\r\n2\r\n", 2},
    {u"\u00A02\u3000", 2}, {u"\u20282\u2029", 2}, {u"", kNaN}, {u"   ", kNaN}, {u"\t", kNaN},
    {u"1 2", kNaN}, {u"1 \t 2", kNaN}, {u"1 000", kNaN},
    // Signs.
    {u"+2", 2}, {u"-2", -2}, {u"- 2", -2}, {u" + 2 ", 2}, {u"-0", 0}, {u"+0", 0}, {u"-", kNaN},
    {u"+", kNaN}, {u"--2", kNaN}, {u"++2", kNaN}, {u"-2-", kNaN}, {u"\u22122", kNaN},
    {u"+-2", kNaN, true}, {u"2-", kNaN, true}, {u"2 +", kNaN, true},
    // Fractions round to the nearest, a half to even.
    {u"1.5", 2}, {u"2.5", 2}, {u"3.5", 4}, {u"0.5", 0}, {u"0.51", 1}, {u"-0.5", 0}, {u"-0.6", -1},
    {u"-1.5", -2}, {u"-2.5", -2}, {u".5", 0}, {u"0.05", 0}, {u"0.06", 0, true}, {u"-0.09", 0, true},
    {u"556e-80", 0, true}, {u"-.5", 0}, {u"1.", 1}, {u"0.", 0}, {u".0", 0},
    {u"2.4999999999999999999999", 2}, {u"2.50000000000000000001", 3},
    {u"2.000000000000000000000000000000000000000000000000000000000", 2}, {u".", kNaN},
    {u"-.", kNaN}, {u"1..2", kNaN}, {u"1.2.3", kNaN}, {u"1.5.", kNaN},
    // The 16-bit range, also after rounding.
    {u"32767", 32767}, {u"32767.4", 32767}, {u"32767.5", kRange}, {u"32768", kRange},
    {u"32766.5", 32766}, {u"-32768", -32768}, {u"-32768.4", -32768}, {u"-32768.5", -32768},
    {u"-32768.6", kRange}, {u"-32767.5", -32768}, {u"-32769", kRange}, {u"65535", kRange},
    {u"-65536", kRange}, {u"99999999999999999999999999", kRange},
    {u"00000000000000000000000000000000000000002", 2},
    {u"000000000000000000000000000000000000000032767", 32767},
    // Thousands separators.
    {u"1,000", 1000}, {u"32,767", 32767}, {u"32,768", kRange}, {u"1,2,3", 123}, {u"1,", 1},
    {u"0,5", 5}, {u"1,000.5", 1000}, {u"1,.5", 2}, {u",1", kNaN}, {u",", kNaN},
    {u"1.5,", kNaN, true}, {u"1.000,5", kNaN, true}, {u"290 ,", kNaN, true},
    // Exponents.
    {u"1e2", 100}, {u"1E+2", 100}, {u"1e-2", 0}, {u"15e-1", 2}, {u"25e-1", 2}, {u"2.5e0", 2},
    {u"0.000005e6", 5}, {u"2e0000000000000000000001", 20}, {u"1e-400", 0}, {u"0e400", 0},
    {u"1e5", kRange}, {u"1e400", kRange}, {u"0.0001e99999999999", kRange},
    // Wine wraps exponents at 32 bits and faults on some beyond 31 bits.
    {u"1e4294967297", kRange, true}, {u"1e2147483648", kRange, true}, {u"1e-4294967297", 0},
    {u"1e", kNaN}, {u"1e-", kNaN}, {u"0e", kNaN}, {u"e2", kNaN}, {u".e1", kNaN}, {u"1e2.5", kNaN},
    {u"1e 2", kNaN}, {u"1e1e1", kNaN}, {u"1d2", kNaN}, {u"1e2,5", kNaN, true},
    {u"1e--2", kNaN, true},
    // Hexadecimal and octal, as 16-bit patterns.
    {u"&H10", 16}, {u"&h7fff", 32767}, {u"&H8000", -32768}, {u"&HFFFF", -1}, {u"&H1e2", 482},
    {u"&H00000000000000010", 16}, {u" &H10 ", 16}, {u"&H0", 0}, {u"&O17", 15}, {u"&o177777", -1},
    {u"&H1FFFF", kRange}, {u"&HFFFFFFFFFFFFFFFF", kRange}, {u"&H", kNaN}, {u"&HG", kNaN},
    {u"&H 10", kNaN}, {u"& H10", kNaN}, {u"&H1.8", kNaN}, {u"&O8", kNaN}, {u"&17", kNaN},
    {u"&B101", kNaN}, {u"0x10", kNaN}, {u"0&H10", kNaN}, {u"-&H10", kNaN, true},
    {u"&H10-", kNaN, true},
    // Other texts.
    {u"abc", kNaN}, {u"2abc", kNaN}, {u"#2", kNaN}, {u"2%", kNaN}, {u"2&", kNaN}, {u"\u0662", kNaN},
    {u"\uFF12", kNaN}, {u"$2", kNaN, true}, {u"2$", kNaN, true}, {u"(2)", kNaN, true},
    {u"(2", kNaN}, {u"2)", kNaN},
    // A NUL ends the text for the platform; here it is part of the text.
    {u"1\0" u"2"sv, kNaN, true}, {u"2\0"sv, kNaN, true}, {u"\0"sv, kNaN},
};
// clang-format on

}  // namespace tabulon::testing
