#include "settings/shown_text.h"

namespace tabulon {

namespace {

bool IsHigh(char16_t c) { return c >= 0xD800 && c < 0xDC00; }
bool IsLow(char16_t c) { return c >= 0xDC00 && c < 0xE000; }

// Characters that would be invisible, break the line or reorder the message.
bool NeedsEscape(char16_t c) {
    return c < 0x20 || (c >= 0x7F && c < 0xA0) || c == 0x00AD || (c >= 0x200B && c <= 0x200F) ||
           (c >= 0x2028 && c <= 0x202E) || (c >= 0x2060 && c <= 0x206F) || c == 0xFEFF ||
           (c >= 0xFFF9 && c <= 0xFFFB);
}

void AppendEscape(Text& out, char16_t c) {
    static const char16_t digits[] = u"0123456789ABCDEF";
    out += u"\\u";
    for (int shift = 12; shift >= 0; shift -= 4) out += digits[(c >> shift) & 0xF];
}

}  // namespace

Text ShownText(TextView text, std::size_t limit) {
    Text out;
    std::size_t i = 0;
    for (; i < text.size() && i < limit; ++i) {
        const char16_t c = text[i];
        if (IsHigh(c) && i + 1 < text.size() && IsLow(text[i + 1])) {
            if (i + 1 >= limit) break;  // the pair does not fit: cut before it
            out += c;
            out += text[++i];
        } else if (IsHigh(c) || IsLow(c) || NeedsEscape(c)) {
            AppendEscape(out, c);
        } else {
            out += c;
        }
    }
    if (i < text.size()) out += u"...";
    return out;
}

}  // namespace tabulon
