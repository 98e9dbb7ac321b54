#include "report/site_report.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core_fakes.h"

namespace tabulon::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

const Page kPage1{u"Title One", u"http://one.example/"};
const Page kPage2{u"Title Two", u"http://two.example/"};

TEST(ComposeReport, BuildsTheReportAndReadsOnlyWhatTheModeNeeds) {
    struct Case {
        const char* name;
        std::int16_t mode;
        Text before;
        Text after;
        std::vector<Page> pages;
        Text expected;  // also after a failure: what was built so far
        std::vector<std::string> reads;
        bool fails = false;
        std::size_t walk_fails_before = 0;
    };
    const Page kTitle2Fails{kPage2.title, kPage2.address, true};
    const Page kAddress1Fails{kPage1.title, kPage1.address, false, true};
    const Page kAddress2Fails{kPage2.title, kPage2.address, false, true};
    const Text kFirstLine = u"B\r\n\r\nTitle One - http://one.example/";
    // clang-format off
    const Case cases[] = {
        {"no windows, mode 2", 2, u"B", u"A", {}, u"No Webistes Available", {}},
        {"no windows, mode 3", 3, u"B", u"A", {}, u"No Webistes Available", {}},
        {"no windows, empty frame", 0, u"", u"", {}, u"No Webistes Available", {}},
        {"mode 0", 0, u"B", u"A", {kPage1}, u"B\r\n\r\nTitle One\r\n\r\nA", {"T1"}},
        {"mode 1", 1, u"B", u"A", {kPage1}, u"B\r\n\r\nhttp://one.example/\r\n\r\nA", {"U1"}},
        {"mode 2", 2, u"B", u"A", {kPage1},
         u"B\r\n\r\nTitle One - http://one.example/\r\n\r\nA", {"T1", "U1"}},
        {"mode 0, empty frame", 0, u"", u"", {kPage1}, u"\r\n\r\nTitle One\r\n\r\n", {"T1"}},
        {"seeded settings, two windows", 2, u"I'm currently browsing:", u"", {kPage1, kPage2},
         u"I'm currently browsing:\r\n\r\nTitle One - http://one.example/\r\n"
         u"Title Two - http://two.example/\r\n\r\n", {"T1", "U1", "T2", "U2"}},
        {"mode 3 with windows reads nothing", 3, u"B", u"A", {kPage1, kPage2},
         u"B\r\n\r\n\r\nA", {}},
        {"negative mode reads nothing", -1, u"B", u"A", {kPage1}, u"B\r\n\r\n\r\nA", {}},
        {"empty title, mode 2", 2, u"B", u"A", {{u"", u"http://x/"}},
         u"B\r\n\r\n - http://x/\r\n\r\nA", {"T1", "U1"}},
        {"same page twice", 0, u"B", u"A", {kPage1, kPage1},
         u"B\r\n\r\nTitle One\r\nTitle One\r\n\r\nA", {"T1", "T2"}},
        {"before ending in a line break", 0, u"B\r\n", u"A", {kPage1},
         u"B\r\n\r\n\r\nTitle One\r\n\r\nA", {"T1"}},
        {"second title fails, mode 2", 2, u"B", u"A", {kPage1, kTitle2Fails}, kFirstLine,
         {"T1", "U1", "T2"}, true},
        {"second address fails, mode 2", 2, u"B", u"A", {kPage1, kAddress2Fails}, kFirstLine,
         {"T1", "U1", "T2", "U2"}, true},
        {"first address fails, mode 1", 1, u"B", u"A", {kAddress1Fails, kPage2}, u"B\r\n",
         {"U1"}, true},
        {"walk fails before the second window", 0, u"B", u"A", {kPage1, kPage2},
         u"B\r\n\r\nTitle One", {"T1"}, true, 2},
        {"walk fails before any window", 0, u"B", u"A", {kPage1, kPage2}, u"B\r\n", {}, true, 1},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FakeSource source(c.pages);
        source.fail_before = c.walk_fails_before;
        Text result = u"whatever the host passed";
        if (c.fails) {
            EXPECT_THROW(ComposeReport(c.mode, c.before, c.after, result, source), Failure);
        } else {
            ComposeReport(c.mode, c.before, c.after, result, source);
        }
        EXPECT_EQ(ToUtf8(result), ToUtf8(c.expected));
        EXPECT_EQ(source.log, c.reads);
    }
}

TEST(FrameSiteLines, FramesLinesAsTheReportDoes) {
    const std::vector<Text> one{u"picked"};
    EXPECT_EQ(FrameSiteLines(u"B", one, u"A"), u"B\r\n\r\npicked\r\n\r\nA");

    const std::vector<Text> two{u"x", u"y"};
    EXPECT_EQ(FrameSiteLines(u"", two, u""), u"\r\n\r\nx\r\ny\r\n\r\n");

    EXPECT_EQ(FrameSiteLines(u"B", {}, u"A"), u"B\r\n\r\n\r\nA");
}

TEST(FrameSiteLines, MatchesComposeReportForTheSameWindows) {
    FakeSource source({kPage1, kPage2});
    Text composed;
    ComposeReport(2, u"before", u"after", composed, source);
    const std::vector<Text> lines{u"Title One - http://one.example/",
                                  u"Title Two - http://two.example/"};
    EXPECT_EQ(FrameSiteLines(u"before", lines, u"after"), composed);
}

TEST(ComposeReport, SiteCountOverflowsAtThe32768thWindow) {
    FakeSource source(std::vector<Page>(32767, {u"t", u"u"}));
    Text result;
    ComposeReport(3, u"B", u"A", result, source);
    EXPECT_EQ(result, u"B\r\n\r\n\r\nA");
    // Mode 0 also shows that the work stays linear in the number of windows.
    ComposeReport(0, u"", u"", result, source);
    EXPECT_EQ(result.size(), 2 + 32767 * 3 + 4);

    source.pages.push_back({u"t", u"u"});
    const Failure overflow = FailureOf([&] { ComposeReport(0, u"B", u"A", result, source); });
    EXPECT_EQ(overflow.code(), status::kOverflow);
    EXPECT_NE(ToUtf8(overflow.description()).find("32767"), std::string::npos);
    // The 32768th line went in before its count failed; no closing frame.
    EXPECT_EQ(result.size(), 3 + 32768 * 3);
    EXPECT_EQ(result.substr(result.size() - 4), u"t\r\nt");
}

TEST(ComposeReport, TextPassesThroughUnchanged) {
    const Text unicode = u"\u00C4rger \u4E2D\u6587 \U0001F600 \u05E9\u05DC\u05D5\u05DD";
    const Text with_nul(u"a\0b\r\nc", 6);
    const Text big(1 << 20, u'\u00E9');
    FakeSource source({{unicode, with_nul}, {big, u""}});
    Text before(u"x\0y", 3);
    Text result;
    ComposeReport(2, before, with_nul, result, source);

    Text expected = before + u"\r\n\r\n" + unicode + u" - " + with_nul + u"\r\n" + big + u" - " +
                    u"\r\n\r\n" + with_nul;
    EXPECT_EQ(result.size(), expected.size());
    EXPECT_TRUE(result == expected);
}

TEST(FormatSiteLine, ModesOutsideZeroToTwoHaveNoLineAndReadNothing) {
    FakeSource source({Page{u"t", u"u"}});
    source.EnumerateBrowserWindows([&](SiteWindow& window) {
        for (std::int16_t mode : {-32768, -1, 3, 32767}) EXPECT_FALSE(FormatSiteLine(window, mode));
        EXPECT_THAT(source.log, IsEmpty());
        EXPECT_EQ(FormatSiteLine(window, 2), u"t - u");
    });
    EXPECT_THAT(source.log, ElementsAre("T1", "U1"));
}

}  // namespace
}  // namespace tabulon::testing
