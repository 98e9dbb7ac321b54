#pragma once
// The display mode's text form, both ways, as the platform's automation
// conversions do it (VarI2FromStr for reading, the sign-reserving number format
// for writing).
#include <cstdint>
#include <optional>

#include "common/text.h"

namespace tabulon {

enum class NumberError { kNotANumber, kOutOfRange };

// Text to 16-bit signed integer: blanks around the number, an optional sign, a
// fraction rounded half to even. Returns the value or why it failed.
struct DisplayModeParse {
    std::optional<std::int16_t> value;
    NumberError error = NumberError::kNotANumber;
};
DisplayModeParse ParseDisplayMode(TextView text);

// Like ParseDisplayMode, but throws a Failure that names the setting and its text.
std::int16_t ConvertDisplayMode(TextView text);

// " 0", " 1", " 2": one leading position reserved for the sign.
Text FormatDisplayMode(std::int16_t mode);

}  // namespace tabulon
