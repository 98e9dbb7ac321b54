#include "settings/settings_store.h"

#include <gtest/gtest.h>

#include "common/failure.h"
#include "memory_settings_store.h"

namespace tabulon::testing {
namespace {

using Writes = std::vector<std::pair<Text, Text>>;

TEST(SeedSettingsTest, FirstRunWritesTheThreeDefaultsInOrder) {
    MemorySettingsStore store;
    SeedSettings(store);
    EXPECT_EQ(store.writes,
              (Writes{{u"Show", u"2"}, {u"Before", u"I'm currently browsing:"}, {u"After", u""}}));
    EXPECT_EQ(ReadDisplayMode(store), 2);

    store.writes.clear();
    SeedSettings(store);
    EXPECT_TRUE(store.writes.empty());
}

TEST(SeedSettingsTest, OnlyAnEmptyShowCountsAsFirstRun) {
    struct Case {
        const char* name;
        std::map<Text, Text> before;
        bool seeds;
    };
    const Case cases[] = {
        {"Show only, others absent", {{u"Show", u"0"}}, false},
        {"Show as the options dialog writes it", {{u"Show", u" 0"}, {u"Before", u"x"}}, false},
        {"Show that is no number", {{u"Show", u"abc"}}, false},
        {"Show a lone blank", {{u"Show", u" "}}, false},
        {"Show empty, others set", {{u"Show", u""}, {u"Before", u"b"}, {u"After", u"a"}}, true},
        {"Show absent, others set", {{u"Before", u"b"}, {u"After", u"a"}}, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        MemorySettingsStore store;
        store.values = c.before;
        SeedSettings(store);
        if (c.seeds) {
            EXPECT_EQ(store.writes.size(), 3u);
            EXPECT_EQ(store.values, (std::map<Text, Text>{{u"Show", u"2"},
                                                          {u"Before", u"I'm currently browsing:"},
                                                          {u"After", u""}}));
        } else {
            EXPECT_TRUE(store.writes.empty());
            EXPECT_EQ(store.values, c.before);
        }
    }
}

TEST(SeedSettingsTest, AFailingWriteEndsSeeding) {
    MemorySettingsStore store;
    store.fail_writes = true;
    EXPECT_THROW(SeedSettings(store), Failure);
    EXPECT_TRUE(store.values.empty());
}

TEST(SettingsTest, TextsComeBackExactlyAsWritten) {
    MemorySettingsStore store;
    const Text before = u"  two\r\nlines  \t";
    WriteSetting(store, kBeforeKey, before);
    EXPECT_EQ(ReadSetting(store, kBeforeKey), before);
    EXPECT_EQ(ReadSetting(store, kAfterKey), u"");
}

TEST(SettingsTest, DisplayModeIsReadAfreshEachTime) {
    MemorySettingsStore store;
    WriteSetting(store, kShowKey, u" 1");
    EXPECT_EQ(ReadDisplayMode(store), 1);
    WriteSetting(store, kShowKey, u"-1");
    EXPECT_EQ(ReadDisplayMode(store), -1);

    WriteSetting(store, kShowKey, u"abc");
    try {
        ReadDisplayMode(store);
        ADD_FAILURE() << "no failure";
    } catch (const Failure& failure) {
        EXPECT_EQ(failure.code(), status::kTypeMismatch);
    }
    store.values.erase(u"Show");
    EXPECT_THROW(ReadDisplayMode(store), Failure);
}

}  // namespace
}  // namespace tabulon::testing
