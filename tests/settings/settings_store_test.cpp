#include "settings/settings_store.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "core_fakes.h"

namespace tabulon::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

TEST(SeedSettingsTest, FirstRunWritesTheThreeDefaultsInOrder) {
    MemoryStore store;
    SeedSettings(store);
    EXPECT_THAT(store.writes, ElementsAre("Show=2", "Before=I'm currently browsing:", "After="));
    EXPECT_EQ(ReadDisplayMode(store), 2);

    store.writes.clear();
    SeedSettings(store);
    EXPECT_THAT(store.writes, IsEmpty());
}

TEST(SeedSettingsTest, OnlyAnEmptyShowCountsAsFirstRun) {
    const struct {
        const char* name;
        std::map<Text, Text> before;
        bool seeds;
    } cases[] = {
        {"Show only, others absent", {{u"Show", u"0"}}, false},
        {"Show as the options dialog writes it", {{u"Show", u" 0"}, {u"Before", u"x"}}, false},
        {"Show that is no number", {{u"Show", u"abc"}}, false},
        {"Show a lone blank", {{u"Show", u" "}}, false},
        {"Show empty, others set", {{u"Show", u""}, {u"Before", u"b"}, {u"After", u"a"}}, true},
        {"Show absent, others set", {{u"Before", u"b"}, {u"After", u"a"}}, true},
    };
    const std::map<Text, Text> seeded{
        {u"Show", u"2"}, {u"Before", u"I'm currently browsing:"}, {u"After", u""}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        MemoryStore store;
        store.values = c.before;
        SeedSettings(store);
        EXPECT_EQ(store.writes.size(), c.seeds ? 3u : 0u);
        EXPECT_EQ(store.values, c.seeds ? seeded : c.before);
    }
}

TEST(SeedSettingsTest, AFailingWriteEndsSeeding) {
    MemoryStore store;
    store.refuse_key = u"Show";
    EXPECT_THROW(SeedSettings(store), Failure);
    EXPECT_TRUE(store.values.empty());
}

TEST(SettingsTest, TextsComeBackExactlyAsWritten) {
    MemoryStore store;
    const Text before = u"  two\r\nlines  \t";
    WriteSetting(store, kBeforeKey, before);
    EXPECT_EQ(ReadSetting(store, kBeforeKey), before);
    EXPECT_EQ(ReadSetting(store, kAfterKey), u"");
}

TEST(SettingsTest, DisplayModeIsReadAfreshEachTime) {
    MemoryStore store;
    WriteSetting(store, kShowKey, u" 1");
    EXPECT_EQ(ReadDisplayMode(store), 1);
    WriteSetting(store, kShowKey, u"-1");
    EXPECT_EQ(ReadDisplayMode(store), -1);
    WriteSetting(store, kShowKey, u"abc");
    EXPECT_EQ(FailureOf([&] { ReadDisplayMode(store); }).code(), status::kTypeMismatch);
    store.values.erase(u"Show");
    EXPECT_THROW(ReadDisplayMode(store), Failure);
}

}  // namespace
}  // namespace tabulon::testing
