// "/xweball" against testbrowser.exe processes serving Chromium- and Firefox-shaped
// trees, 1, 10 and 50 windows: how many pages came back before the deadline, the time
// per window, and the accessibility calls each window's tree served per element (the
// stand-in counts them); then one browser that stalls inside a call.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>
#include <vector>

#include "bench_parts_win32.h"
#include "bench_support_win32.h"
#include "testbrowser/stand_in_browsers_win32.h"
#include "testshell/test_shell.h"

namespace tabulon::bench {
namespace {

using testing::StandInBrowsers;

// Shaped as the browsers publish their windows: tab strip, tool bar with the address
// bar among buttons, and the page's document (which the reader never enters), each a
// few levels down. "#" stands for the window's number.
constexpr const char* kChromium = R"(window Chrome_WidgetWin_1 "Page # - Chromium"
  client
    pane
      pane
        pagetablist name="Tab strip"
          pagetab name="Page #" state=selected
          pagetab name="Mail"
          pagetab name="News"
          pushbutton name="New Tab"
        toolbar
          pushbutton name="Back"
          pushbutton name="Forward"
          pushbutton name="Reload"
          grouping
            text name="Address and search bar" shortcut="Ctrl+L" value="example.com/#"
          pushbutton name="Extensions"
          buttonmenu name="Chromium"
        pane
          document name="Page #" value="https://example.com/#"
            grouping
              statictext name="Heading"
              link name="More"
)";
constexpr const char* kFirefox = R"(window MozillaWindowClass "Page # - Firefox"
  application
    grouping
      toolbar name="Tabs"
        pagetablist
          pagetab name="Page #" state=selected
          pagetab name="Mail"
        pushbutton name="Open a new tab"
      toolbar name="Navigation"
        pushbutton name="Back"
        pushbutton name="Forward"
        pushbutton name="Reload"
        combobox
          text name="Search or enter address" value="example.org/#"
          pushbutton name="Show history"
        pushbutton name="Extensions"
    grouping
      document name="Page #" value="https://example.org/#"
        statictext name="Heading"
        link name="More"
)";

std::string Numbered(const char* tree, int n) {
    std::string numbered;
    for (const char* c = tree; *c; ++c)
        numbered += *c == '#' ? std::to_string(n) : std::string(1, *c);
    return numbered;
}

std::string Browsers(int count) {
    std::string scenario;
    for (int i = 1; i <= count; ++i) scenario += Numbered(i % 2 ? kChromium : kFirefox, i);
    return scenario;
}

// Site lines in a report: each names its page's address.
int PagesIn(const Text& report) {
    int pages = 0;
    for (std::size_t at = 0; (at = report.find(u"example.", at)) != Text::npos; ++at) ++pages;
    return pages;
}

struct Served {
    long calls = 0, elements = 0;
};

Served Count(const StandInBrowsers& browsers) {
    Served served;
    for (HWND window : browsers.Windows()) {
        served.calls += std::max(0L, StandInBrowsers::CallsServed(window));
        served.elements += std::max(0L, StandInBrowsers::Elements(window));
    }
    return served;
}

void Row(const Plugin& plugin, int windows) {
    const StandInBrowsers browsers(Browsers(windows));
    // The first command counts the calls; the time is the median of five.
    Text report;
    const Served before = Count(browsers);
    Check(plugin.ParseCommand(u"/xweball", &report).hr, "/xweball");
    const Served after = Count(browsers);
    const int found = PagesIn(report);
    const double seconds =
        TimePerCall([&] { Check(plugin.ParseCommand(u"/xweball").hr, "/xweball"); }, 1, 5);
    const double calls = static_cast<double>(after.calls - before.calls);
    std::printf("%8d %6d %9.1f %10.1f %9.1f %14.2f\n", windows, found, seconds * 1e3,
                seconds * 1e3 / windows, static_cast<double>(after.elements) / windows,
                calls / static_cast<double>(after.elements));
}

}  // namespace

void BenchBrowsers() {
    testshell::SetScenario({});
    const Plugin plugin = Plugin::Create();
    std::printf(
        "\n\"/xweball\" with today's browsers (testbrowser.exe: Chromium- and "
        "Firefox-shaped windows, the shell's list empty)\n");
    std::printf("%8s %6s %9s %10s %9s %14s\n", "windows", "pages", "ms/call", "ms/window",
                "elements", "calls/element");
    try {
        for (int windows : {1, 10, 50}) Row(plugin, windows);

        // A browser on top that stalls for 5 s in a call of its walk, one that works
        // behind it.
        const StandInBrowsers browsers(R"(window Chrome_WidgetWin_1 "Stalled - Chromium"
  client
    toolbar stall=5000
      text shortcut="Ctrl+L" value="stalled.example"
)" + Numbered(kChromium, 1));
        Text report;
        const double start = Now();
        Check(plugin.ParseCommand(u"/xweball", &report).hr, "/xweball");
        std::printf("with a browser stalled for 5 s in a call: %.0f ms, %d page(s)\n",
                    (Now() - start) * 1e3, PagesIn(report));
    } catch (const std::exception& e) {
        std::fprintf(stderr, "tb-bench: %s\n", e.what());
        std::exit(1);
    }
}

}  // namespace tabulon::bench
