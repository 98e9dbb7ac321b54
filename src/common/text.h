#pragma once
// Text in the portable core: UTF-16 code units, as the automation strings hold them.
// Lengths are counted, never found by a terminator: a text may hold NUL characters.
#include <string>
#include <string_view>

namespace tabulon {

using Text = std::u16string;
using TextView = std::u16string_view;

// CR LF, the only line break the plug-in writes.
inline constexpr TextView kLineBreak = u"\r\n";

// Lossy UTF-16 to UTF-8, for messages in tests and tools only.
std::string ToUtf8(TextView text);
Text FromUtf8(std::string_view text);

}  // namespace tabulon
