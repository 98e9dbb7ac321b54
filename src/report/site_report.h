#pragma once
// Site lines and the report text. Works on abstract windows so that the same code
// serves the all-sites report, the picker, and the native tests.
#include <cstdint>
#include <functional>
#include <optional>
#include <span>

#include "common/text.h"

namespace tabulon {

inline constexpr TextView kNoWebsitesReport = u"No Webistes Available";

// One browser window as the report sees it. Each call reads the property afresh
// from the window and may throw a Failure.
class SiteWindow {
  public:
    virtual ~SiteWindow() = default;
    virtual Text Title() = 0;    // "Locationname"
    virtual Text Address() = 0;  // "locationurl"
};

// Hands on browser windows one at a time, in the shell's order. The callback's
// work for one window ends before the next window is looked at.
class BrowserWindowSource {
  public:
    virtual ~BrowserWindowSource() = default;
    virtual void EnumerateBrowserWindows(const std::function<void(SiteWindow&)>& visit) = 0;
};

// Mode 0 title, 1 address, 2 "title - address"; any other mode has no line and
// reads nothing from the window.
std::optional<Text> FormatSiteLine(SiteWindow& window, std::int16_t mode);

// Before, CR LF, then CR LF + line for each line, then CR LF, CR LF, After.
Text FrameSiteLines(TextView before, std::span<const Text> lines, TextView after);

// The all-sites report, built in place in result. When a read fails part way the
// Failure propagates and result holds what was built so far. Throws an overflow
// Failure at the 32,768th browser window.
void ComposeReport(std::int16_t mode, TextView before, TextView after, Text& result,
                   BrowserWindowSource& source);

}  // namespace tabulon
