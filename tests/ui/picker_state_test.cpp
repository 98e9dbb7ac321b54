#include "ui/picker_state.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "ui_fakes.h"

namespace tabulon {
namespace {

using ::testing::ElementsAre;
using testing_ui::MemoryStore;
using testing_ui::Page;
using testing_ui::PageSource;

MemoryStore Settings(Text show, Text before = u"I'm currently browsing:", Text after = u"") {
    MemoryStore store;
    store.values[u"Show"] = std::move(show);
    store.values[u"Before"] = std::move(before);
    store.values[u"After"] = std::move(after);
    return store;
}

TEST(PickerStateTest, StartsWithSendDisabledAndNoItems) {
    PickerState picker;
    EXPECT_TRUE(picker.items().empty());
    EXPECT_EQ(picker.buttonCaption(), u"&Send");
    EXPECT_FALSE(picker.buttonEnabled());
    EXPECT_TRUE(picker.sPickedText.empty());
}

TEST(PickerStateTest, ListsOneLinePerWindowInTheShellsOrder) {
    struct Case {
        const char* name;
        Text show;
        std::vector<Text> items;
    };
    const std::vector<Page> pages = {{u"Alpha", u"http://a.example/"},
                                     {u"", u"http://b.example/"},
                                     {u"Alpha", u"http://a.example/"}};
    const Case cases[] = {
        {"titles", u" 0", {u"Alpha", u"", u"Alpha"}},
        {"addresses", u"1", {u"http://a.example/", u"http://b.example/", u"http://a.example/"}},
        {"both",
         u"2",
         {u"Alpha - http://a.example/", u" - http://b.example/", u"Alpha - http://a.example/"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        MemoryStore store = Settings(c.show);
        PageSource source(pages);
        PickerState picker;
        picker.Load(store, source);
        EXPECT_EQ(picker.items(), c.items);
        EXPECT_EQ(picker.buttonCaption(), u"&Send");
        EXPECT_FALSE(picker.buttonEnabled());
    }
}

TEST(PickerStateTest, EmptyListOffersCancelAtOnce) {
    struct Case {
        const char* name;
        Text show;
        std::vector<Page> pages;
    };
    const Case cases[] = {
        {"no browser window", u"2", {}},
        {"mode with no line", u"3", {{u"A", u"http://a.example/"}, {u"B", u"http://b.example/"}}},
        {"negative mode", u"-1", {{u"A", u"http://a.example/"}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        MemoryStore store = Settings(c.show);
        PageSource source(c.pages);
        PickerState picker;
        picker.sPickedText = u"earlier pick";
        picker.Load(store, source);
        EXPECT_THAT(picker.items(), ElementsAre(u"No Websites Available"));
        EXPECT_EQ(picker.buttonCaption(), u"Cancel");
        EXPECT_TRUE(picker.buttonEnabled());
        EXPECT_EQ(source.reads, 0) << "no title or address is read";
        EXPECT_EQ(picker.sPickedText, u"earlier pick") << "loading leaves the last pick";

        // Cancel without a selection, then with the one item selected: no text either way.
        EXPECT_TRUE(picker.Press(picker.buttonCaption(), std::nullopt));
        EXPECT_EQ(picker.sPickedText, u"");
        picker.sPickedText = u"earlier pick";
        // Selecting the one item keeps the button usable and its caption as it is.
        picker.Select(0);
        EXPECT_TRUE(picker.buttonEnabled());
        EXPECT_EQ(picker.buttonCaption(), u"Cancel");
        EXPECT_TRUE(picker.Press(picker.buttonCaption(), 0));
        EXPECT_EQ(picker.sPickedText, u"");
    }
}

TEST(PickerStateTest, SelectionEnablesTheButton) {
    MemoryStore store = Settings(u"0");
    PageSource source(std::vector<Page>{{u"A", u"a"}, {u"B", u"b"}});
    PickerState picker;
    picker.Load(store, source);
    picker.Select(1);
    EXPECT_TRUE(picker.buttonEnabled());
    picker.Select(std::nullopt);
    EXPECT_FALSE(picker.buttonEnabled());
    for (std::size_t beyond : {2u, 7u}) {
        picker.Select(beyond);
        EXPECT_FALSE(picker.buttonEnabled()) << "index " << beyond << " is beyond the list";
    }
}

TEST(PickerStateTest, PickFramesTheLineWithTheTextsReadAtLoad) {
    MemoryStore store = Settings(u"2");
    PageSource source(
        std::vector<Page>{{u"One", u"http://1.example/"}, {u"Two", u"http://2.example/"}});
    PickerState picker;
    picker.Load(store, source);

    // A change saved while the picker is open does not reach this pick.
    store.values[u"Before"] = u"changed";
    picker.Select(1);
    ASSERT_TRUE(picker.Press(u"&Send", 1));
    EXPECT_EQ(picker.sPickedText,
              u"I'm currently browsing:\r\n\r\nTwo - http://2.example/\r\n\r\n");

    MemoryStore framed = Settings(u"1", u"Before\r\n", u"After");
    PageSource one(std::vector<Page>{{u"One", u"http://1.example/"}});
    picker.Reset();
    picker.Load(framed, one);
    ASSERT_TRUE(picker.Press(u"&Send", 0));
    EXPECT_EQ(picker.sPickedText, u"Before\r\n\r\n\r\nhttp://1.example/\r\n\r\nAfter");
}

TEST(PickerStateTest, OnlyTheExactCaptionCancels) {
    MemoryStore store = Settings(u"0");
    PageSource source(std::vector<Page>{{u"Page", u"p"}});
    PickerState picker;
    picker.Load(store, source);
    for (TextView caption : {u"cancel", u"CANCEL", u"Cancel ", u"&Send"}) {
        SCOPED_TRACE(ToUtf8(caption));
        picker.sPickedText.clear();
        ASSERT_TRUE(picker.Press(caption, 0));
        EXPECT_EQ(picker.sPickedText, u"I'm currently browsing:\r\n\r\nPage\r\n\r\n");
    }
}

TEST(PickerStateTest, PressWithNothingSelectedKeepsTheWindowAndTheLastPick) {
    MemoryStore store = Settings(u"0");
    PageSource source(std::vector<Page>{{u"Page", u"p"}});
    PickerState picker;
    picker.sPickedText = u"earlier pick";
    picker.Load(store, source);
    EXPECT_FALSE(picker.Press(u"&Send", std::nullopt));
    EXPECT_FALSE(picker.Press(u"&Send", 1));
    EXPECT_EQ(picker.sPickedText, u"earlier pick");
}

TEST(PickerStateTest, LoadFailuresPropagateAndOfferNoCancel) {
    {
        MemoryStore store = Settings(u"abc");
        PageSource source(std::vector<Page>{{u"Page", u"p"}});
        PickerState picker;
        EXPECT_THROW(picker.Load(store, source), Failure);
        EXPECT_EQ(source.reads, 0);
        EXPECT_TRUE(picker.items().empty());
    }
    {
        MemoryStore store = Settings(u"0");
        PageSource source(std::vector<Page>{{u"First", u"1"}, {u"Second", u"2"}});
        source.fail_at = 2;
        PickerState picker;
        try {
            picker.Load(store, source);
            FAIL() << "the load should fail";
        } catch (const Failure& f) {
            EXPECT_EQ(f.code(), status::kTypeMismatch);
        }
        EXPECT_THAT(picker.items(), ElementsAre(u"First"));
        EXPECT_EQ(picker.buttonCaption(), u"&Send");
        EXPECT_FALSE(picker.buttonEnabled());
    }
}

TEST(PickerStateTest, ResetStartsAFreshOpeningButKeepsThePick) {
    MemoryStore store = Settings(u"2");
    PageSource none;
    PickerState picker;
    picker.Load(store, none);
    picker.Press(picker.buttonCaption(), std::nullopt);
    picker.sPickedText = u"kept";
    picker.Reset();
    EXPECT_TRUE(picker.items().empty());
    EXPECT_EQ(picker.buttonCaption(), u"&Send");
    EXPECT_FALSE(picker.buttonEnabled());
    EXPECT_EQ(picker.sPickedText, u"kept");
}

}  // namespace
}  // namespace tabulon
