// The display mode's text conversions: any text parses without harm, every 16-bit
// value survives a write and a read, and a few plain properties of numbers hold.
#include <cstdint>
#include <cstdlib>

#include "fuzz_input.h"
#include "settings/display_mode.h"

namespace {

using tabulon::Text;
using tabulon::TextView;

void Check(bool condition) {
    if (!condition) std::abort();
}

bool IsDigits(TextView text) {
    if (text.empty() || text.size() > 9) return false;
    for (char16_t c : text)
        if (c < u'0' || c > u'9') return false;
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    for (int v = -32768; v <= 32767; ++v) {
        const auto mode = static_cast<std::int16_t>(v);
        const Text text = tabulon::FormatDisplayMode(mode);
        Check(text.size() >= 2 && (text[0] == u' ' || text[0] == u'-'));
        const tabulon::DisplayModeParse parsed = tabulon::ParseDisplayMode(text);
        Check(parsed.value == mode);
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    const Text text = tabulon::fuzz::TextOf(bytes, size);

    const tabulon::DisplayModeParse parsed = tabulon::ParseDisplayMode(text);
    if (parsed.value)
        Check(tabulon::ParseDisplayMode(tabulon::FormatDisplayMode(*parsed.value)).value ==
              parsed.value);

    // Blanks around a number change nothing.
    const tabulon::DisplayModeParse padded = tabulon::ParseDisplayMode(u" \t" + text + u"  ");
    Check(padded.value == parsed.value);
    if (!parsed.value) Check(padded.error == parsed.error);

    // Plain digits read as their value, or as out of range.
    if (IsDigits(text)) {
        long value = 0;
        for (char16_t c : text) value = value * 10 + (c - u'0');
        if (value <= 32767)
            Check(parsed.value == value);
        else
            Check(!parsed.value && parsed.error == tabulon::NumberError::kOutOfRange);
    }

    // A minus before an unsigned decimal number negates it.
    if (parsed.value && *parsed.value > 0 && !text.empty() &&
        ((text[0] >= u'0' && text[0] <= u'9') || text[0] == u'.'))
        Check(tabulon::ParseDisplayMode(u"-" + text).value == -*parsed.value);
    return 0;
}
