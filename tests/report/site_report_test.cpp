#include "report/site_report.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "common/failure.h"

namespace tabulon {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

// A window whose reads are logged ("T1" = title of window 1) and can be made to fail.
class FakeWindow : public SiteWindow {
  public:
    FakeWindow(int index, Text title, Text address, std::vector<std::string>& log)
        : index_(index), title_(std::move(title)), address_(std::move(address)), log_(log) {}

    bool fail_title = false;
    bool fail_address = false;

    Text Title() override { return Read('T', fail_title, title_); }
    Text Address() override { return Read('U', fail_address, address_); }

  private:
    Text Read(char what, bool fail, const Text& value) {
        log_.push_back(what + std::to_string(index_));
        if (fail) throw Failure(status::kFail, u"read failed");
        return value;
    }

    int index_;
    Text title_;
    Text address_;
    std::vector<std::string>& log_;
};

struct Page {
    Text title;
    Text address;
};

// Hands on its windows in order; optionally fails the walk before window fail_before.
class FakeSource : public BrowserWindowSource {
  public:
    explicit FakeSource(const std::vector<Page>& pages) {
        for (const Page& p : pages)
            windows.emplace_back(static_cast<int>(windows.size()) + 1, p.title, p.address, log);
    }

    void EnumerateBrowserWindows(const std::function<void(SiteWindow&)>& visit) override {
        for (std::size_t i = 0; i < windows.size(); ++i) {
            if (fail_before == static_cast<int>(i) + 1)
                throw Failure(status::kTypeMismatch, u"walk failed");
            visit(windows[i]);
        }
    }

    std::vector<std::string> log;
    std::vector<FakeWindow> windows;
    int fail_before = 0;
};

// The same window handed on count times, for the site counter.
class RepeatingSource : public BrowserWindowSource {
  public:
    explicit RepeatingSource(long count) : count_(count) {}
    void EnumerateBrowserWindows(const std::function<void(SiteWindow&)>& visit) override {
        for (long i = 0; i < count_; ++i) visit(window_);
    }

  private:
    long count_;
    std::vector<std::string> log_;
    FakeWindow window_{1, u"t", u"u", log_};
};

struct ReportCase {
    const char* name;
    std::int16_t mode;
    Text before;
    Text after;
    std::vector<Page> pages;
    Text expected;
    std::vector<std::string> reads;
};

// Failure messages name the case instead of dumping its bytes.
void PrintTo(const ReportCase& c, std::ostream* os) { *os << c.name; }

class ComposeReportTable : public ::testing::TestWithParam<ReportCase> {};

TEST_P(ComposeReportTable, BuildsTheReportAndReadsOnlyWhatTheModeNeeds) {
    const ReportCase& c = GetParam();
    FakeSource source(c.pages);
    Text result = u"whatever the host passed";
    ComposeReport(c.mode, c.before, c.after, result, source);
    EXPECT_EQ(ToUtf8(result), ToUtf8(c.expected));
    EXPECT_EQ(source.log, c.reads);
}

const Page kPage1{u"Title One", u"http://one.example/"};
const Page kPage2{u"Title Two", u"http://two.example/"};

// clang-format off
INSTANTIATE_TEST_SUITE_P(
    Report, ComposeReportTable,
    ::testing::Values(
        ReportCase{"NoWindowsMode2", 2, u"B", u"A", {},
                   u"No Webistes Available", {}},
        ReportCase{"NoWindowsMode3", 3, u"B", u"A", {},
                   u"No Webistes Available", {}},
        ReportCase{"NoWindowsEmptyFrame", 0, u"", u"", {},
                   u"No Webistes Available", {}},
        ReportCase{"Mode0", 0, u"B", u"A", {kPage1},
                   u"B\r\n\r\nTitle One\r\n\r\nA", {"T1"}},
        ReportCase{"Mode1", 1, u"B", u"A", {kPage1},
                   u"B\r\n\r\nhttp://one.example/\r\n\r\nA", {"U1"}},
        ReportCase{"Mode2", 2, u"B", u"A", {kPage1},
                   u"B\r\n\r\nTitle One - http://one.example/\r\n\r\nA", {"T1", "U1"}},
        ReportCase{"Mode0EmptyFrame", 0, u"", u"", {kPage1},
                   u"\r\n\r\nTitle One\r\n\r\n", {"T1"}},
        ReportCase{"SeededSettingsTwoWindows", 2, u"I'm currently browsing:", u"", {kPage1, kPage2},
                   u"I'm currently browsing:\r\n\r\nTitle One - http://one.example/\r\n"
                   u"Title Two - http://two.example/\r\n\r\n", {"T1", "U1", "T2", "U2"}},
        ReportCase{"Mode3WithWindowsReadsNothing", 3, u"B", u"A", {kPage1, kPage2},
                   u"B\r\n\r\n\r\nA", {}},
        ReportCase{"NegativeModeReadsNothing", -1, u"B", u"A", {kPage1},
                   u"B\r\n\r\n\r\nA", {}},
        ReportCase{"EmptyTitleMode2", 2, u"B", u"A", {{u"", u"http://x/"}},
                   u"B\r\n\r\n - http://x/\r\n\r\nA", {"T1", "U1"}},
        ReportCase{"SamePageTwice", 0, u"B", u"A", {kPage1, kPage1},
                   u"B\r\n\r\nTitle One\r\nTitle One\r\n\r\nA", {"T1", "T2"}},
        ReportCase{"BeforeEndingInLineBreak", 0, u"B\r\n", u"A", {kPage1},
                   u"B\r\n\r\n\r\nTitle One\r\n\r\nA", {"T1"}}),
    [](const auto& info) { return std::string(info.param.name); });
// clang-format on

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
    const auto compose = [](long windows, std::int16_t mode, TextView before, TextView after) {
        RepeatingSource source(windows);
        Text result;
        ComposeReport(mode, before, after, result, source);
        return result;
    };
    EXPECT_EQ(compose(32767, 3, u"B", u"A"), u"B\r\n\r\n\r\nA");
    // Mode 0 also shows that the work stays linear in the number of windows.
    EXPECT_EQ(compose(32767, 0, u"", u"").size(), 2 + 32767 * 3 + 4);

    RepeatingSource source(32768);
    Text result;
    try {
        ComposeReport(0, u"B", u"A", result, source);
        FAIL() << "no overflow";
    } catch (const Failure& f) {
        EXPECT_EQ(f.code(), status::kOverflow);
        EXPECT_NE(ToUtf8(f.description()).find("32767"), std::string::npos);
    }
    // The 32768th line went in before its count failed; no closing frame.
    EXPECT_EQ(result.size(), 3 + 32768 * 3);
    EXPECT_EQ(result.substr(result.size() - 4), u"t\r\nt");
}

TEST(ComposeReport, FailingReadLeavesWhatWasBuiltSoFar) {
    struct Case {
        const char* name;
        std::int16_t mode;
        int fail_title_of;    // 0: none
        int fail_address_of;  // 0: none
        int walk_fails_before;
        Text expected;
        std::vector<std::string> reads;
    };
    const Text kFirstLine = u"B\r\n\r\nTitle One - http://one.example/";
    // clang-format off
    const Case cases[] = {
        {"second title, mode 2", 2, 2, 0, 0, kFirstLine, {"T1", "U1", "T2"}},
        {"second address, mode 2", 2, 0, 2, 0, kFirstLine, {"T1", "U1", "T2", "U2"}},
        {"first address, mode 1", 1, 0, 1, 0, u"B\r\n", {"U1"}},
        {"walk before second window", 0, 0, 0, 2, u"B\r\n\r\nTitle One", {"T1"}},
        {"walk before any window", 0, 0, 0, 1, u"B\r\n", {}},
    };
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FakeSource source({kPage1, kPage2});
        if (c.fail_title_of) source.windows[c.fail_title_of - 1].fail_title = true;
        if (c.fail_address_of) source.windows[c.fail_address_of - 1].fail_address = true;
        source.fail_before = c.walk_fails_before;
        Text result = u"host text";
        EXPECT_THROW(ComposeReport(c.mode, u"B", u"A", result, source), Failure);
        EXPECT_EQ(ToUtf8(result), ToUtf8(c.expected));
        EXPECT_EQ(source.log, c.reads);
    }
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
    std::vector<std::string> log;
    FakeWindow window(1, u"t", u"u", log);
    for (std::int16_t mode : {-32768, -1, 3, 32767}) EXPECT_FALSE(FormatSiteLine(window, mode));
    EXPECT_THAT(log, IsEmpty());

    EXPECT_EQ(FormatSiteLine(window, 2), u"t - u");
    EXPECT_THAT(log, ElementsAre("T1", "U1"));
}

}  // namespace
}  // namespace tabulon
