#include "report/site_report.h"

#include <limits>

#include "common/failure.h"

namespace tabulon {

namespace {

constexpr TextView kTitleAddressSeparator = u" - ";

}  // namespace

std::optional<Text> FormatSiteLine(SiteWindow& window, std::int16_t mode) {
    switch (mode) {
        case 0:
            return window.Title();
        case 1:
            return window.Address();
        case 2: {
            // The title is read before the address: a failing title leaves the address unread.
            Text line = window.Title();
            const Text address = window.Address();
            line.reserve(line.size() + kTitleAddressSeparator.size() + address.size());
            line += kTitleAddressSeparator;
            line += address;
            return line;
        }
        default:
            return std::nullopt;
    }
}

Text FrameSiteLines(TextView before, std::span<const Text> lines, TextView after) {
    std::size_t size = before.size() + 3 * kLineBreak.size() + after.size();
    for (const Text& line : lines) size += kLineBreak.size() + line.size();

    Text report;
    report.reserve(size);
    report += before;
    report += kLineBreak;
    for (const Text& line : lines) {
        report += kLineBreak;
        report += line;
    }
    report += kLineBreak;
    report += kLineBreak;
    report += after;
    return report;
}

void ComposeReport(std::int16_t mode, TextView before, TextView after, Text& result,
                   BrowserWindowSource& source) {
    result.assign(before);
    result += kLineBreak;

    std::int16_t count = 0;
    source.EnumerateBrowserWindows([&](SiteWindow& window) {
        if (std::optional<Text> line = FormatSiteLine(window, mode)) {
            // One append of the break and one of the line: std::u16string grows
            // geometrically, so a report of many long lines stays linear.
            result += kLineBreak;
            result += *line;
        }
        if (count == std::numeric_limits<std::int16_t>::max())
            throw Failure(status::kOverflow,
                          u"Too many browser windows: the site count cannot pass 32767.");
        ++count;
    });

    if (count == 0) {
        result.assign(kNoWebsitesReport);
        return;
    }
    result += kLineBreak;
    result += kLineBreak;
    result += after;
}

}  // namespace tabulon
