#include "plugin/command_table.h"

#include <gtest/gtest.h>

#include <vector>

namespace tabulon {
namespace {

using namespace std::literals;

TEST(CommandTable, PublishedRowsByIndex) {
    const struct {
        std::int32_t index;
        const char16_t* label;
        const char16_t* word;
    } rows[] = {{1, u"Pick Website", u"xweb"},
                {2, u"All Websites", u"xweball"},
                {3, u"Options", u"xweboptions"},
                {4, u"About", u"xwebabout"}};
    for (const auto& row : rows) {
        const CommandEntry* entry = FindPublishedCommand(row.index);
        ASSERT_NE(entry, nullptr) << row.index;
        EXPECT_EQ(entry->label, row.label);
        EXPECT_EQ(entry->word, row.word);
    }
    for (std::int32_t outside : {0, 5, -1, INT32_MIN, INT32_MAX})
        EXPECT_EQ(FindPublishedCommand(outside), nullptr) << outside;
}

TEST(CommandTable, MatchesWholeCommandsWithoutRegardToCase) {
    const struct {
        std::optional<Command> expected;
        std::vector<TextView> typed;
    } groups[] = {
        {Command::kPickWebsite, {u"/xweb", u"/XWEB", u"/xWeB"}},
        {Command::kAllWebsites, {u"/xweball", u"/XWEBALL"}},
        {Command::kOptions, {u"/xweboptions", u"/XWebOptions"}},
        {Command::kAbout, {u"/xwebabout", u"/XWEBABOUT"}},
        // Whole texts only: no prefix match, no trimming, the slash is required, and a NUL
        // is part of the text, not its end.
        {std::nullopt,
         {u"/xweb ", u" /xweb", u"/xweball ", u"xweball", u"xweb", u"/xwe", u"/xwebal",
          u"/xweballx", u"//xweb", u"\\xweb", u"/xweb\r\n", u"", u"/", u"/xweb\0all"sv,
          u"/xweb\0"sv}},
        // Letters outside ASCII never stand in for the command's letters.
        {std::nullopt, {u"/xw\u00c9b", u"/xweb\u0130", u"/\uff58web"}},
    };
    for (const auto& group : groups) {
        for (TextView typed : group.typed)
            EXPECT_EQ(MatchCommand(typed), group.expected) << ToUtf8(typed);
    }
}

}  // namespace
}  // namespace tabulon
