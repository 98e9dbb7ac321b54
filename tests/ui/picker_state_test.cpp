#include "ui/picker_state.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "core_fakes.h"

namespace tabulon::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

class PickerStateTest : public ::testing::Test {
  protected:
    // Loads the picker from these settings, over browser windows showing pages.
    void Load(Text show, std::vector<Page> pages, Text before = u"I'm currently browsing:",
              Text after = u"") {
        store.values = {{u"Show", show}, {u"Before", before}, {u"After", after}};
        source = FakeSource(std::move(pages));
        picker.Load(store, source);
    }
    void ExpectButton(TextView caption, bool enabled) {
        EXPECT_EQ(picker.buttonCaption(), caption);
        EXPECT_EQ(picker.buttonEnabled(), enabled);
    }

    MemoryStore store;
    FakeSource source;
    PickerState picker;
};

TEST_F(PickerStateTest, ListsOneLinePerWindowInTheShellsOrder) {
    const struct {
        const char* name;
        Text show;
        std::vector<Text> items;
    } cases[] = {
        {"titles", u" 0", {u"Alpha", u"", u"Alpha"}},
        {"addresses", u"1", {u"http://a.example/", u"http://b.example/", u"http://a.example/"}},
        {"both",
         u"2",
         {u"Alpha - http://a.example/", u" - http://b.example/", u"Alpha - http://a.example/"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        picker = {};
        Load(c.show, {{u"Alpha", u"http://a.example/"},
                      {u"", u"http://b.example/"},
                      {u"Alpha", u"http://a.example/"}});
        EXPECT_EQ(picker.items(), c.items);
        ExpectButton(u"&Send", false);
    }
}

TEST_F(PickerStateTest, EmptyListOffersCancelAtOnce) {
    const struct {
        const char* name;
        Text show;
        std::vector<Page> pages;
    } cases[] = {
        {"no browser window", u"2", {}},
        {"mode with no line", u"3", {{u"A", u"http://a.example/"}, {u"B", u"http://b.example/"}}},
        {"negative mode", u"-1", {{u"A", u"http://a.example/"}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        picker = {};
        picker.sPickedText = u"earlier pick";
        Load(c.show, c.pages);
        EXPECT_THAT(picker.items(), ElementsAre(u"No Websites Available"));
        ExpectButton(u"Cancel", true);
        EXPECT_THAT(source.log, IsEmpty()) << "no title or address is read";
        EXPECT_EQ(picker.sPickedText, u"earlier pick") << "loading leaves the last pick";

        // Cancel leaves no text, with nothing selected or with the one item selected,
        // which keeps the button as it is.
        EXPECT_TRUE(picker.Press(picker.buttonCaption(), std::nullopt));
        EXPECT_EQ(picker.sPickedText, u"");
        picker.sPickedText = u"earlier pick";
        picker.Select(0);
        ExpectButton(u"Cancel", true);
        EXPECT_TRUE(picker.Press(picker.buttonCaption(), 0));
        EXPECT_EQ(picker.sPickedText, u"");
    }
}

TEST_F(PickerStateTest, SelectionEnablesTheButton) {
    Load(u"0", {{u"A", u"a"}, {u"B", u"b"}});
    picker.Select(1);
    EXPECT_TRUE(picker.buttonEnabled());
    picker.Select(std::nullopt);
    EXPECT_FALSE(picker.buttonEnabled());
    for (std::size_t beyond : {2u, 7u}) {
        picker.Select(beyond);
        EXPECT_FALSE(picker.buttonEnabled()) << "index " << beyond << " is beyond the list";
    }
}

TEST_F(PickerStateTest, PickFramesTheLineWithTheTextsReadAtLoad) {
    Load(u"2", {{u"One", u"http://1.example/"}, {u"Two", u"http://2.example/"}});
    // A change saved while the picker is open does not reach this pick.
    store.values[u"Before"] = u"changed";
    picker.Select(1);
    ASSERT_TRUE(picker.Press(u"&Send", 1));
    EXPECT_EQ(picker.sPickedText,
              u"I'm currently browsing:\r\n\r\nTwo - http://2.example/\r\n\r\n");

    picker.Reset();
    Load(u"1", {{u"One", u"http://1.example/"}}, u"Before\r\n", u"After");
    ASSERT_TRUE(picker.Press(u"&Send", 0));
    EXPECT_EQ(picker.sPickedText, u"Before\r\n\r\n\r\nhttp://1.example/\r\n\r\nAfter");
}

TEST_F(PickerStateTest, SendNeedsAnItemAndOnlyTheExactCaptionCancels) {
    picker.sPickedText = u"earlier pick";
    Load(u"0", {{u"Page", u"p"}});
    EXPECT_FALSE(picker.Press(u"&Send", std::nullopt));
    EXPECT_FALSE(picker.Press(u"&Send", 1));
    EXPECT_EQ(picker.sPickedText, u"earlier pick") << "the window stays, with the last pick";

    for (TextView caption : {u"cancel", u"CANCEL", u"Cancel ", u"&Send"}) {
        SCOPED_TRACE(ToUtf8(caption));
        picker.sPickedText.clear();
        ASSERT_TRUE(picker.Press(caption, 0));
        EXPECT_EQ(picker.sPickedText, u"I'm currently browsing:\r\n\r\nPage\r\n\r\n");
    }
}

TEST_F(PickerStateTest, LoadFailuresPropagateAndOfferNoCancel) {
    EXPECT_THROW(Load(u"abc", {{u"Page", u"p"}}), Failure);
    EXPECT_THAT(source.log, IsEmpty());
    EXPECT_THAT(picker.items(), IsEmpty());

    const Failure failure = FailureOf([&] {
        Load(u"0", {{u"First", u"1"}, {u"Second", u"2", true}});
    });
    EXPECT_EQ(failure.code(), status::kTypeMismatch);
    EXPECT_THAT(picker.items(), ElementsAre(u"First"));
    ExpectButton(u"&Send", false);
}

TEST_F(PickerStateTest, StartsWithSendDisabledAndNoItemsAndAResetKeepsOnlyThePick) {
    EXPECT_THAT(picker.items(), IsEmpty());
    ExpectButton(u"&Send", false);
    EXPECT_TRUE(picker.sPickedText.empty());

    Load(u"2", {});
    picker.Press(picker.buttonCaption(), std::nullopt);
    picker.sPickedText = u"kept";
    picker.Reset();
    EXPECT_THAT(picker.items(), IsEmpty());
    ExpectButton(u"&Send", false);
    EXPECT_EQ(picker.sPickedText, u"kept");
}

}  // namespace
}  // namespace tabulon::testing
