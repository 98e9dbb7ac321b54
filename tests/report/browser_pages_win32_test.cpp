// The second page source against stand-in browsers in a process of their own: which
// windows give a page, in which order, and that no browser can hold the caller past
// the deadline.
#include "report/browser_pages_win32.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <ostream>
#include <string>
#include <vector>

#include "common/module_lock_win32.h"
#include "testbrowser/stand_in_browsers_win32.h"

namespace tabulon {

void PrintTo(const BrowserPage& page, std::ostream* out) {
    *out << '"' << ToUtf8(page.title) << "\" at \"" << ToUtf8(page.address) << '"';
}

namespace {

using testing::ScaledMilliseconds;
using testing::StandInBrowsers;

// A Chromium window as the browser builds it before any accessibility client asked:
// tab strip and tool bar, no document yet.
constexpr const char* kChromiumWithoutDocument = R"(window Chrome_WidgetWin_1 "Fresh - Chromium"
  client
    pagetablist
      pagetab name="Other tab"
      pagetab name="Fresh tab" state=selected
    toolbar
      text shortcut="Ctrl+L" value="fresh.example/path" name="Address and search bar"
)";

// The product's reading, its times scaled like the tests' own limits: an emulated
// machine is far slower than any real one.
BrowserPageReading Scaled() {
    BrowserPageReading reading;
    reading.deadline_ms = ScaledMilliseconds(reading.deadline_ms);
    reading.answer_timeout_ms = ScaledMilliseconds(reading.answer_timeout_ms);
    return reading;
}

// For the cases about which pages come out, not about the deadline: time enough for
// the busiest machine.
BrowserPageReading Generous() {
    BrowserPageReading reading;
    reading.deadline_ms = ScaledMilliseconds(30000);
    reading.answer_timeout_ms = ScaledMilliseconds(5000);
    return reading;
}

struct Timed {
    std::vector<BrowserPage> pages;
    DWORD milliseconds;
};

Timed ReadTimed(const BrowserPageReading& reading = Scaled()) {
    const DWORD start = GetTickCount();
    std::vector<BrowserPage> pages = ReadBrowserPages(ListBrowserWindows(), reading);
    return {std::move(pages), GetTickCount() - start};
}

// Waits until the worker of an abandoned read has let go of the module.
bool WorkerGone(DWORD milliseconds) {
    const DWORD start = GetTickCount();
    while (ModuleLockCount() != 0) {
        if (GetTickCount() - start > milliseconds) return false;
        Sleep(20);
    }
    return true;
}

TEST(BrowserPagesTest, EachBrowserWindowGivesItsPageTopWindowFirst) {
    const StandInBrowsers browsers(std::string(R"(
window Chrome_WidgetWin_1 "Example Domain - Chromium"
  client
    toolbar
      text shortcut="Ctrl+L" value="example.com"
    pane
      document name="Example Domain" value="https://example.com/"
window Chrome_WidgetWin_1 "notes.txt - Editor"
  client
    document name="notes.txt - Editor" value="file:///app/index.html"
window MozillaWindowClass "Org - Firefox" enum
  application
    pagetablist
      pagetab name="Org" state=selected
    toolbar
      combobox value="example.org/news"
        text
    document name="Hidden tab" value="https://hidden.example/" state=invisible
window Chrome_WidgetWin_1 "Hidden window" hidden
  client
    toolbar
      text shortcut="Ctrl+L" value="hidden.example"
window SomeOtherClass "Not a browser"
  client
    text shortcut="Ctrl+L" value="other.example"
)") + kChromiumWithoutDocument);

    const Timed read = ReadTimed(Generous());
    const std::vector<BrowserPage> expected = {
        {u"Example Domain", u"https://example.com/"},
        {u"Org", u"example.org/news"},
        {u"Fresh tab", u"fresh.example/path"},
    };
    EXPECT_EQ(read.pages, expected);
    EXPECT_TRUE(WorkerGone(ScaledMilliseconds(2000)));
}

TEST(BrowserPagesTest, FieldsPlantedInThePageAndSimpleElementsAreReadAsPublished) {
    const StandInBrowsers browsers(R"(
window Chrome_WidgetWin_1 "Planted - Chromium"
  client
    document name="Planted" value="https://evil.example/"
      text shortcut="Ctrl+L" value="bank.example"
window MozillaWindowClass "Simple - Firefox"
  client
    toolbar
      text value="simple.example" simple
    pagetab name="Simple page" state=selected simple
)");
    const Timed read = ReadTimed(Generous());
    const std::vector<BrowserPage> expected = {{u"Simple page", u"simple.example"}};
    EXPECT_EQ(read.pages, expected);
}

// Edge's Internet Explorer mode: the shown tab's document gives the exact address and
// its title; a tab in that mode behind a normal one, or such a window in Firefox's
// family, changes nothing.
TEST(BrowserPagesTest, InternetExplorerModeTabsGiveTheirDocumentsPage) {
    const StandInBrowsers browsers(R"(
window Chrome_WidgetWin_1 "Intranet - Edge" ie_url="https://intranet.example/app.aspx?id=42" ie_title="Legacy App"
  client
    toolbar
      text shortcut="Ctrl+L" value="intranet.example/app.aspx?id=42"
window Chrome_WidgetWin_1 "News - Edge" ie_url="https://old.example/" ie_title="Old" ie_hidden
  client
    toolbar
      text shortcut="Ctrl+L" value="news.example"
    document name="News" value="https://news.example/"
window MozillaWindowClass "Org - Firefox" ie_url="https://never.example/" ie_title="Never"
  client
    toolbar
      text value="example.org"
)");
    const std::vector<BrowserPage> expected = {
        {u"Legacy App", u"https://intranet.example/app.aspx?id=42"},
        {u"News", u"https://news.example/"},
        {u"Org - Firefox", u"example.org"},
    };
    EXPECT_EQ(ReadTimed(Generous()).pages, expected);
}

// Ten browsers of both families, as a user has them open: titles in any script, an
// address bar named in another language, a new tab's empty address, a 100,000-character
// one. All come back within the product's own deadline, at most four accessibility
// calls per element of their trees.
TEST(BrowserPagesTest, TenBrowsersOfAnyScriptAndSizeComeBackInTimeAndCheaply) {
    const std::string huge = "data:text/plain," + std::string(100000, 'x');
    const StandInBrowsers browsers(R"(
window Chrome_WidgetWin_1 "東京の天気 - Chromium"
  client
    pane
      toolbar
        pushbutton name="Zurück"
        text shortcut="Ctrl+L" value="tenki.example.jp" name="Adress- und Suchleiste"
      pane
        document name="東京の天気" value="https://tenki.example.jp/"
window Chrome_WidgetWin_1 "Zürich – Wikipedia - Chromium"
  client
    pagetablist
      pagetab name="Zürich – Wikipedia" state=selected
    toolbar
      grouping
        text shortcut="Strg+L" value="x"
        text shortcut="Ctrl+L" value="de.wikipedia.org/wiki/Zürich" name="Adress- und Suchleiste"
window MozillaWindowClass "مرحبا — Firefox"
  application
    toolbar
      combobox
        text value="ar.example/مرحبا"
    grouping
      document name="مرحبا" value="https://ar.example/%D9%85"
window MozillaWindowClass "New Tab — Firefox"
  application
    pagetablist
      pagetab name="New Tab" state=selected
    toolbar
      combobox value=""
        text
window Chrome_WidgetWin_1 "Data - Chromium"
  client
    toolbar
      text shortcut="Ctrl+L" value="data:text/plain,x"
    document name="" value=")" + huge +
                                   R"("
window Chrome_WidgetWin_1 "😀 - Chromium"
  client
    toolbar
      text shortcut="Ctrl+L" value="emoji.example"
    document name="😀 Smile" value="https://emoji.example/"
window MozillaWindowClass "Αθήνα — Firefox"
  application
    toolbar
      text value="el.example"
    document name="Αθήνα" value="https://el.example/"
window Chrome_WidgetWin_1 "שלום - Chromium"
  client
    toolbar
      text shortcut="Ctrl+L" value="he.example"
    document name="שלום" value="https://he.example/"
window MozillaWindowClass "नमस्ते — Firefox"
  application
    toolbar
      text value="hi.example"
    document name="नमस्ते" value="https://hi.example/"
window Chrome_WidgetWin_1 "서울 - Chromium"
  client
    pagetablist
      pagetab name="서울" state=selected
    toolbar
      text shortcut="Ctrl+L" value="ko.example/서울"
)");
    const std::vector<BrowserPage> expected = {
        {u"東京の天気", u"https://tenki.example.jp/"},
        {u"Zürich – Wikipedia", u"de.wikipedia.org/wiki/Zürich"},
        {u"مرحبا", u"https://ar.example/%D9%85"},
        {u"New Tab", u""},
        {u"", u"<the 100,016 characters as served>"},
        {u"😀 Smile", u"https://emoji.example/"},
        {u"Αθήνα", u"https://el.example/"},
        {u"שלום", u"https://he.example/"},
        {u"नमस्ते", u"https://hi.example/"},
        {u"서울", u"ko.example/서울"},
    };
    // The huge address, compared whole but shown short.
    const auto shortened = [&](std::vector<BrowserPage> pages) {
        for (BrowserPage& page : pages)
            if (page.address.size() > 1000)
                page.address = page.address == Text(huge.begin(), huge.end())
                                   ? u"<the 100,016 characters as served>"
                                   : u"<" + FromUtf8(std::to_string(page.address.size())) +
                                         u" characters, not those served>";
        return pages;
    };

    // What comes back, and what it cost the browsers, with time enough for any machine.
    EXPECT_EQ(shortened(ReadTimed(Generous()).pages), expected);
    long calls = 0, elements = 0;
    for (HWND window : browsers.Windows()) {
        calls += StandInBrowsers::CallsServed(window);
        elements += StandInBrowsers::Elements(window);
    }
    EXPECT_LE(calls, 4 * elements) << "accessibility calls for " << elements << " elements";

    // With the product's deadline, which holds, the first ones come back in order. How
    // many of the ten fit is the machine's: each call costs Wine over a millisecond,
    // several on a busy machine (make bench measures it).
    const Timed read = ReadTimed();
    EXPECT_LE(read.milliseconds, Scaled().deadline_ms + ScaledMilliseconds(300));
    const std::vector<BrowserPage> in_time = shortened(read.pages);
    ASSERT_LE(in_time.size(), expected.size());
    EXPECT_TRUE(std::equal(in_time.begin(), in_time.end(), expected.begin()));
    RecordProperty("pages_within_deadline", static_cast<int>(in_time.size()));
}

// Browsers that hang, stall, answer nonsense or go away: the caller gets the pages of
// the others in time, and the worker lets go of the DLL once the browser lets it.
TEST(BrowserPagesTest, NoBrowserHoldsTheCallerPastTheDeadline) {
    struct Case {
        const char* name;
        const char* broken;  // a browser in a process of its own, on top of a working one
        bool others_read;    // the working window behind it still gives its page
    };
    const Case cases[] = {
        {"a hung window", "window Chrome_WidgetWin_1 \"Hung\" hang\n  client\n", true},
        {"a window without accessibility", "window Chrome_WidgetWin_1 \"No\" refuse\n  client\n",
         true},
        {"nonsense answers",
         "window Chrome_WidgetWin_1 \"Odd\"\n  client count=50\n    text rolebstr "
         "shortcut=\"Ctrl+L\" "
         "value=\"odd.example\"\n    text fail shortcut=\"Ctrl+L\" value=\"odd.example\"\n",
         true},
        {"a browser that closes while it is read",
         "window MozillaWindowClass \"Gone\"\n  client\n    toolbar exit\n", true},
        {"a stall in the middle of the walk, past the deadline",
         "window Chrome_WidgetWin_1 \"Stalled\"\n  client\n    toolbar stall=STALL\n      text "
         "shortcut=\"Ctrl+L\" value=\"stalled.example\"\n",
         false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        // Where the working window is read: a deadline long enough for the busiest machine
        // to reach it. The stall eats any deadline, so there the product's own does, and
        // the stall outlasts it by a second.
        BrowserPageReading reading = Scaled();
        if (c.others_read) reading.deadline_ms = ScaledMilliseconds(4000);
        const StandInBrowsers working(kChromiumWithoutDocument);
        std::string broken_scenario = c.broken;
        if (const auto at = broken_scenario.find("STALL"); at != std::string::npos)
            broken_scenario.replace(at, 5,
                                    std::to_string(reading.deadline_ms + ScaledMilliseconds(1000)));
        const StandInBrowsers broken(broken_scenario);
        const Timed read = ReadTimed(reading);
        EXPECT_LE(read.milliseconds, reading.deadline_ms + ScaledMilliseconds(300));
        const std::vector<BrowserPage> expected = {{u"Fresh tab", u"fresh.example/path"}};
        EXPECT_EQ(read.pages, c.others_read ? expected : std::vector<BrowserPage>{});
        // A worker stuck in a browser keeps the DLL loaded until the browser lets go.
        if (!c.others_read) {
            EXPECT_NE(ModuleLockCount(), 0);
        }
        EXPECT_TRUE(WorkerGone(reading.deadline_ms * 2 + ScaledMilliseconds(5000)))
            << "the worker still holds the DLL after the browser answered";
    }
}

TEST(BrowserPagesTest, WideAndDeepTreesCostBoundedTime) {
    const StandInBrowsers browsers(std::string(R"(
window Chrome_WidgetWin_1 "Many tabs - Chromium"
  client
    pagetablist
      pagetab name="tab" repeat=5000
    toolbar
      text shortcut="Ctrl+L" value="late.example"
window Chrome_WidgetWin_1 "Deep - Chromium"
  client
    grouping nest=400
      text shortcut="Ctrl+L" value="deep.example"
)") + kChromiumWithoutDocument);
    const Timed read = ReadTimed();
    EXPECT_LE(read.milliseconds, Scaled().deadline_ms + ScaledMilliseconds(300));
    // Past the limits neither is a browser; the window behind them still is, where the
    // machine is fast enough to reach it within the deadline.
    for (const BrowserPage& page : read.pages) EXPECT_EQ(page.title, u"Fresh tab");
    EXPECT_TRUE(WorkerGone(Scaled().deadline_ms * 2 + ScaledMilliseconds(5000)));
}

}  // namespace
}  // namespace tabulon
