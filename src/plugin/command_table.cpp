#include "plugin/command_table.h"

namespace tabulon {

namespace {

char16_t LowerAscii(char16_t c) noexcept {
    return (c >= u'A' && c <= u'Z') ? c + (u'a' - u'A') : c;
}

bool MatchesWord(TextView typed, TextView word) noexcept {
    if (typed.size() != word.size() + 1 || typed[0] != u'/') return false;
    for (size_t i = 0; i < word.size(); ++i)
        if (LowerAscii(typed[i + 1]) != word[i]) return false;
    return true;
}

}  // namespace

const CommandEntry* FindPublishedCommand(std::int32_t index) noexcept {
    if (index < 1 || index > static_cast<std::int32_t>(kCommandTable.size())) return nullptr;
    return &kCommandTable[index - 1];
}

std::optional<Command> MatchCommand(TextView typed) noexcept {
    for (const CommandEntry& entry : kCommandTable)
        if (MatchesWord(typed, entry.word)) return entry.command;
    return std::nullopt;
}

}  // namespace tabulon
