// Command recognition against a plain reference: the typed text, ASCII letters
// lowered, equals "/" + word for the first row of the table that fits.
#include <cstdint>
#include <cstdlib>

#include "fuzz_input.h"
#include "plugin/command_table.h"

namespace {

using tabulon::Text;

std::optional<tabulon::Command> Reference(const Text& typed) {
    Text lowered = typed;
    for (char16_t& c : lowered)
        if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
    for (const tabulon::CommandEntry& entry : tabulon::kCommandTable)
        if (lowered == u"/" + Text(entry.word)) return entry.command;
    return std::nullopt;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    const Text typed = tabulon::fuzz::TextOf(bytes, size);
    if (tabulon::MatchCommand(typed) != Reference(typed)) std::abort();
    return 0;
}
