// Recognising typed commands and the published command table.
#include <gtest/gtest.h>

#include "plugin/command_table.h"

namespace tabulon {
namespace {

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
        const char16_t* typed;
        std::optional<Command> expected;
    } cases[] = {
        {u"/xweb", Command::kPickWebsite},
        {u"/XWEB", Command::kPickWebsite},
        {u"/xWeB", Command::kPickWebsite},
        {u"/xweball", Command::kAllWebsites},
        {u"/XWEBALL", Command::kAllWebsites},
        {u"/xweboptions", Command::kOptions},
        {u"/XWebOptions", Command::kOptions},
        {u"/xwebabout", Command::kAbout},
        {u"/XWEBABOUT", Command::kAbout},
        // Whole strings only: no prefix match, no trimming, the slash is required.
        {u"/xweb ", std::nullopt},
        {u" /xweb", std::nullopt},
        {u"/xweball ", std::nullopt},
        {u"xweball", std::nullopt},
        {u"xweb", std::nullopt},
        {u"/xwe", std::nullopt},
        {u"/xwebal", std::nullopt},
        {u"/xweballx", std::nullopt},
        {u"//xweb", std::nullopt},
        {u"\\xweb", std::nullopt},
        {u"/xweb\r\n", std::nullopt},
        {u"", std::nullopt},
        {u"/", std::nullopt},
        // Letters outside ASCII never stand in for the command's letters.
        {u"/xw\u00c9b", std::nullopt},
        {u"/xweb\u0130", std::nullopt},
        {u"/\uff58web", std::nullopt},
    };
    for (const auto& c : cases) EXPECT_EQ(MatchCommand(c.typed), c.expected) << ToUtf8(c.typed);

    // A NUL inside the text is part of it, not its end.
    EXPECT_EQ(MatchCommand(TextView(u"/xweb\0all", 9)), std::nullopt);
    EXPECT_EQ(MatchCommand(TextView(u"/xweb\0", 6)), std::nullopt);
}

}  // namespace
}  // namespace tabulon
