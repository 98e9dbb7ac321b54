#include "ui/options_state.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "common/failure.h"
#include "ui_fakes.h"

namespace tabulon {
namespace {

using ::testing::ElementsAre;
using testing_ui::MemoryStore;

TEST(OptionsStateTest, LoadSelectsTheOptionOfTheStoredMode) {
    struct Case {
        Text show;
        std::size_t option;
    };
    const Case cases[] = {{u"2", 2}, {u" 1", 1}, {u" 0", 0}, {u"0.4", 0}, {u"1.5 ", 2}};
    for (const Case& c : cases) {
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
    struct Case {
        Text show;
        std::int32_t code;
    };
    const Case cases[] = {
        {u"3", static_cast<std::int32_t>(0x8002000B)},
        {u"-1", static_cast<std::int32_t>(0x8002000B)},
        {u"32767", static_cast<std::int32_t>(0x8002000B)},
        {u"abc", status::kTypeMismatch},
        {u"", status::kTypeMismatch},
        {u"40000", status::kOverflow},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(ToUtf8(c.show));
        MemoryStore store;
        store.values = {{u"Show", c.show}};
        try {
            LoadOptions(store);
            ADD_FAILURE() << "the load should fail";
        } catch (const Failure& f) {
            EXPECT_EQ(f.code(), c.code);
            EXPECT_FALSE(f.description().empty());
        }
    }
}

TEST(OptionsStateTest, SaveWritesShowBeforeAfterInOrder) {
    struct Case {
        std::array<bool, kOptionCount> selected;
        const char* show;
    };
    const Case cases[] = {
        {{true, false, false}, "Show= 0"}, {{false, true, false}, "Show= 1"},
        {{false, false, true}, "Show= 2"}, {{false, false, false}, "Show= 2"},
        {{true, true, false}, "Show= 0"},
    };
    for (const Case& c : cases) {
        MemoryStore store;
        OptionsSave save;
        save.Save(store, c.selected, u" Before text\r\n", u"");
        EXPECT_THAT(store.writes, ElementsAre(c.show, "Before= Before text\r\n", "After="));
    }
}

TEST(OptionsStateTest, AFailedWriteKeepsTheEarlierOnes) {
    MemoryStore store;
    store.refuse_key = u"Before";
    OptionsSave save;
    EXPECT_THROW(save.Save(store, {false, true, false}, u"b", u"a"), Failure);
    EXPECT_THAT(store.writes, ElementsAre("Show= 1"));
}

}  // namespace
}  // namespace tabulon
