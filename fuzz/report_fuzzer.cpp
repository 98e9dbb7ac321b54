// The all-sites report over fuzz-made windows, checked against the report format
// written out by hand: framing, the fixed text for no window, which properties are
// read in which order, and what a failure part way leaves behind.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "common/failure.h"
#include "report/site_report.h"

namespace {

using tabulon::Failure;
using tabulon::Text;
using tabulon::TextView;

constexpr std::int32_t kInjected = static_cast<std::int32_t>(0x80070578);
constexpr TextView kCrLf = u"\r\n";

void Check(bool condition) {
    if (!condition) std::abort();
}

enum class FailAt { kNowhere, kTitle, kAddress, kWalk };

struct Page {
    Text title;
    Text address;
};

class FakeWindow : public tabulon::SiteWindow {
  public:
    FakeWindow(const Page& page, bool fail_title, bool fail_address, std::string& reads)
        : page_(page), fail_title_(fail_title), fail_address_(fail_address), reads_(reads) {}
    Text Title() override {
        reads_ += 'T';
        if (fail_title_) throw Failure(kInjected, u"title");
        return page_.title;
    }
    Text Address() override {
        reads_ += 'A';
        if (fail_address_) throw Failure(kInjected, u"address");
        return page_.address;
    }

  private:
    const Page& page_;
    bool fail_title_, fail_address_;
    std::string& reads_;
};

class FakeSource : public tabulon::BrowserWindowSource {
  public:
    FakeSource(const std::vector<Page>& pages, std::size_t count, std::size_t fail_index,
               FailAt fail_at)
        : pages_(pages), count_(count), fail_index_(fail_index), fail_at_(fail_at) {}
    void EnumerateBrowserWindows(const std::function<void(tabulon::SiteWindow&)>& visit) override {
        for (std::size_t i = 0; i < count_; ++i) {
            const bool failing = i == fail_index_;
            if (failing && fail_at_ == FailAt::kWalk) throw Failure(kInjected, u"walk");
            FakeWindow window(pages_[i % pages_.size()], failing && fail_at_ == FailAt::kTitle,
                              failing && fail_at_ == FailAt::kAddress, reads);
            visit(window);
        }
    }
    std::string reads;

  private:
    const std::vector<Page>& pages_;
    std::size_t count_, fail_index_;
    FailAt fail_at_;
};

Text TakeText(FuzzedDataProvider& data) {
    const std::size_t length = data.ConsumeIntegralInRange<std::size_t>(0, 24);
    Text text;
    for (std::size_t i = 0; i < length && data.remaining_bytes() > 0; ++i) {
        // Mostly the characters that matter to the format, sometimes any code unit.
        static constexpr char16_t kCommon[] = u"\r\n -aZ\0\u00e9";
        const std::uint8_t pick = data.ConsumeIntegral<std::uint8_t>();
        text += pick < 128 ? kCommon[pick % 8] : data.ConsumeIntegral<char16_t>();
    }
    return text;
}

// The site line as the format defines it, and the reads that make it.
bool ExpectedLine(const Page& page, std::int16_t mode, Text& line, std::string& reads) {
    switch (mode) {
        case 0:
            line = page.title;
            reads += "T";
            return true;
        case 1:
            line = page.address;
            reads += "A";
            return true;
        case 2:
            line = page.title + u" - " + page.address;
            reads += "TA";
            return true;
        default:
            return false;
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    FuzzedDataProvider data(bytes, size);

    const std::uint8_t mode_pick = data.ConsumeIntegral<std::uint8_t>();
    const std::int16_t mode = mode_pick < 240 ? static_cast<std::int16_t>(mode_pick % 4)
                                              : data.ConsumeIntegral<std::int16_t>();
    const Text before = TakeText(data);
    const Text after = TakeText(data);

    // A handful of pages; the 16-bit site count's limit is a unit test's business,
    // since 32,768 windows a run would leave the fuzzer a few hundred runs.
    const std::size_t count = data.ConsumeIntegralInRange<std::size_t>(0, 12);
    std::vector<Page> pages(std::max<std::size_t>(count, 1));
    for (Page& page : pages) {
        page.title = TakeText(data);
        page.address = TakeText(data);
    }
    const FailAt fail_at = static_cast<FailAt>(data.ConsumeIntegralInRange<int>(0, 3));
    const std::size_t fail_index =
        fail_at == FailAt::kNowhere ? SIZE_MAX : data.ConsumeIntegralInRange<std::size_t>(0, count);

    // What the report must be, written out: lines and reads up to where it stops.
    Text expected = before + Text(kCrLf);
    std::string expected_reads;
    bool expect_failure = false;
    std::int32_t expected_code = 0;
    std::size_t visited = 0;
    for (std::size_t i = 0; i < count; ++i) {
        if (i == fail_index && fail_at == FailAt::kWalk) {
            expect_failure = true;
            expected_code = kInjected;
            break;
        }
        const Page& page = pages[i % pages.size()];
        Text line;
        std::string reads;
        const bool has_line = ExpectedLine(page, mode, line, reads);
        if (i == fail_index && fail_at != FailAt::kNowhere) {
            const char failing = fail_at == FailAt::kTitle ? 'T' : 'A';
            const std::size_t at = reads.find(failing);
            if (at != std::string::npos) {
                expected_reads += reads.substr(0, at + 1);
                expect_failure = true;
                expected_code = kInjected;
                break;
            }
        }
        expected_reads += reads;
        if (has_line) expected += Text(kCrLf) + line;
        ++visited;
    }
    if (!expect_failure) {
        if (visited == 0)
            expected = Text(tabulon::kNoWebsitesReport);
        else
            expected += Text(kCrLf) + Text(kCrLf) + after;
    }

    Text result = u"left by the caller";
    FakeSource source(pages, count, fail_index, fail_at);
    bool failed = false;
    try {
        tabulon::ComposeReport(mode, before, after, result, source);
    } catch (const Failure& failure) {
        failed = true;
        Check(failure.code() == expected_code);
        Check(!failure.description().empty());
    }
    Check(failed == expect_failure);
    Check(result == expected);
    Check(source.reads == expected_reads);
    // A failure leaves a beginning of the report: Before and CR LF at least.
    if (failed) Check(result.compare(0, before.size() + 2, before + Text(kCrLf)) == 0);

    // The picker's framing of lines equals the report's.
    if (!expect_failure && visited > 0) {
        std::vector<Text> lines;
        for (std::size_t i = 0; i < count; ++i) {
            std::string ignored;
            Text line;
            if (ExpectedLine(pages[i], mode, line, ignored)) lines.push_back(line);
        }
        Check(tabulon::FrameSiteLines(before, lines, after) == expected);
        for (std::size_t i = 0; i < count; ++i) {
            std::string reads;
            FakeWindow window(pages[i], false, false, reads);
            const std::optional<Text> line = tabulon::FormatSiteLine(window, mode);
            Check(line.has_value() == (mode >= 0 && mode <= 2));
        }
    }
    return 0;
}
