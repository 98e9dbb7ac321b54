#include "ui/options_state.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "core_fakes.h"

namespace tabulon::testing {
namespace {

using ::testing::ElementsAre;

TEST(OptionsStateTest, LoadSelectsTheOptionOfTheStoredMode) {
    const struct {
        Text show;
        std::size_t option;
    } cases[] = {{u"2", 2}, {u" 1", 1}, {u" 0", 0}, {u"0.4", 0}, {u"1.5 ", 2}};
    for (const auto& c : cases) {
        SCOPED_TRACE(ToUtf8(c.show));
        MemoryStore store;
        store.values = {{u"Show", c.show}, {u"Before", u"  lead\r\n"}, {u"After", u"tail "}};
        const OptionsContent content = LoadOptions(store);
        EXPECT_EQ(content.option, c.option);
        EXPECT_EQ(content.before, u"  lead\r\n");
        EXPECT_EQ(content.after, u"tail ");
        EXPECT_TRUE(store.writes.empty());
    }
}

TEST(OptionsStateTest, LoadFailsForModesWithoutAnOptionButton) {
    constexpr auto kBadIndex = static_cast<std::int32_t>(0x8002000B);
    const struct {
        Text show;
        std::int32_t code;
    } cases[] = {{u"3", kBadIndex},
                 {u"-1", kBadIndex},
                 {u"32767", kBadIndex},
                 {u"abc", status::kTypeMismatch},
                 {u"", status::kTypeMismatch},
                 {u"40000", status::kOverflow}};
    for (const auto& c : cases) {
        SCOPED_TRACE(ToUtf8(c.show));
        MemoryStore store;
        store.values = {{u"Show", c.show}};
        const Failure failure = FailureOf([&] { LoadOptions(store); });
        EXPECT_EQ(failure.code(), c.code);
        EXPECT_FALSE(failure.description().empty());
    }
}

TEST(OptionsStateTest, SaveWritesShowBeforeAfterInOrder) {
    const struct {
        std::array<bool, kOptionCount> selected;
        const char* show;
    } cases[] = {
        {{true, false, false}, "Show= 0"}, {{false, true, false}, "Show= 1"},
        {{false, false, true}, "Show= 2"}, {{false, false, false}, "Show= 2"},
        {{true, true, false}, "Show= 0"},
    };
    for (const auto& c : cases) {
        MemoryStore store;
        OptionsSave().Save(store, c.selected, u" Before text\r\n", u"");
        EXPECT_THAT(store.writes, ElementsAre(c.show, "Before= Before text\r\n", "After="));
    }
}

TEST(OptionsStateTest, AFailedWriteKeepsTheEarlierOnes) {
    MemoryStore store;
    store.refuse_key = u"Before";
    EXPECT_THROW(OptionsSave().Save(store, {false, true, false}, u"b", u"a"), Failure);
    EXPECT_THAT(store.writes, ElementsAre("Show= 1"));
}

}  // namespace
}  // namespace tabulon::testing
