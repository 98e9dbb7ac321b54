#pragma once
// A fuzz input as text: an even number of bytes is UTF-16 code units; an odd one
// spells each byte as one unit, so that plain ASCII seeds are easy to write and
// mutate.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "common/text.h"

namespace tabulon::fuzz {

inline Text TextOf(const std::uint8_t* bytes, std::size_t size) {
    Text text;
    if (size % 2 == 0) {
        text.resize(size / 2);
        if (size) std::memcpy(text.data(), bytes, size);
    } else {
        text.assign(bytes, bytes + size);
    }
    return text;
}

}  // namespace tabulon::fuzz
