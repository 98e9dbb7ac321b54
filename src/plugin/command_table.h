#pragma once
// The four published commands and how a typed command is recognised.
#include <array>
#include <cstdint>
#include <optional>

#include "common/text.h"

namespace tabulon {

enum class Command { kPickWebsite, kAllWebsites, kOptions, kAbout };

struct CommandEntry {
    Command command;
    TextView label;  // sName
    TextView word;   // sValue; the user types "/" + word
};

inline constexpr TextView kPluginName = u"Tabulon";

// In the order published (index 1 to 4) and tested.
inline constexpr std::array<CommandEntry, 4> kCommandTable{{
    {Command::kPickWebsite, u"Pick Website", u"xweb"},
    {Command::kAllWebsites, u"All Websites", u"xweball"},
    {Command::kOptions, u"Options", u"xweboptions"},
    {Command::kAbout, u"About", u"xwebabout"},
}};

// The row of a 1-based published index, or nothing outside 1 to 4.
const CommandEntry* FindPublishedCommand(std::int32_t index) noexcept;

// The command that sCommand names: the whole text, slash included, compared
// without regard to letter case; no trimming, no prefix match.
std::optional<Command> MatchCommand(TextView typed) noexcept;

}  // namespace tabulon
