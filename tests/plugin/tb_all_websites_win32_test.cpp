// "/xweball" through the registered TB.dll against the stand-in shell: which
// windows count as browser windows and the report in each display mode (a shell that
// fails or misbehaves is shell_hostile_win32_test's).
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/bstr_win32.h"
#include "plugin_fixture_win32.h"
#include "testbrowser/stand_in_browsers_win32.h"
#include "testshell/test_shell.h"

namespace tabulon::testing {
namespace {

using late_bound::Outcome;
namespace shell = testshell;

constexpr char16_t kWinDir[] = u"C:\\windows";
constexpr char16_t kBrowser[] = u"C:\\Program Files\\Internet Explorer";

using shell::Page;

using Report = CommandResult;

class AllWebsites : public InitializedPluginTest {
  protected:
    Report Run(std::vector<shell::Window> windows, TextView command = u"/xweball",
               TextView argument = u"") {
        shell::SetScenario(shell::Showing(std::move(windows)));
        return SendCommand(plugin_, command, u"passed by the host", argument);
    }
};

TEST_F(AllWebsites, ReportInEachDisplayMode) {
    const std::vector<shell::Window> windows = {
        Page(kBrowser, u"Example", u"http://example.com/"),
        Page(kWinDir, u"My Documents", u"file:///C:/users/me"),  // a folder window
        Page(kBrowser, u"\u65e5\u672c\u8a9e \U0001F600 \u05e9\u05dc\u05d5\u05dd",
             u"http://example.org/\u00e9"),
    };
    const struct {
        const char16_t* show;
        const char16_t* expected;
    } modes[] = {
        {u"0",
         u"I'm currently browsing:\r\n\r\nExample\r\n\u65e5\u672c\u8a9e \U0001F600 "
         u"\u05e9\u05dc\u05d5\u05dd\r\n\r\n"},
        {u" 1",
         u"I'm currently browsing:\r\n\r\nhttp://example.com/\r\n"
         u"http://example.org/\u00e9\r\n\r\n"},
        {u"2",
         u"I'm currently browsing:\r\n\r\nExample - http://example.com/\r\n"
         u"\u65e5\u672c\u8a9e \U0001F600 \u05e9\u05dc\u05d5\u05dd - "
         u"http://example.org/\u00e9\r\n\r\n"},
        {u"3", u"I'm currently browsing:\r\n\r\n\r\n"},
    };
    for (const auto& mode : modes) {
        SCOPED_TRACE(ToUtf8(mode.show));
        StoreSetting(L"Show", mode.show);
        const Report report = Run(windows);
        ASSERT_EQ(report.outcome.hr, S_OK) << ToUtf8(report.outcome.description);
        EXPECT_TRUE(report.outcome.Boolean());
        EXPECT_EQ(report.text, mode.expected);
    }
}

// Today's browsers, read through their accessibility trees, come after the shell's
// windows, top window first, in the same lines; they alone are enough for a report.
TEST_F(AllWebsites, TodaysBrowsersFollowTheShellsWindows) {
    const StandInBrowsers browsers(R"(
window MozillaWindowClass "Org - Firefox"
  client
    toolbar
      combobox
        text value="example.org"
    document name="Org" value="https://example.org/"
window Chrome_WidgetWin_1 "Fresh - Chromium"
  client
    pagetablist
      pagetab name="Fresh" state=selected
    toolbar
      text shortcut="Ctrl+L" value="fresh.example"
window Chrome_WidgetWin_1 "Editor"
  client
    document name="notes.txt" value="file:///notes.txt"
)");
    const struct {
        const char16_t* show;
        std::vector<shell::Window> shell;
        const char16_t* expected;
    } cases[] = {
        {u"2",
         {Page(kBrowser, u"Example", u"http://example.com/"), Page(kWinDir, u"Desktop", u"")},
         u"I'm currently browsing:\r\n\r\nExample - http://example.com/\r\n"
         u"Org - https://example.org/\r\nFresh - fresh.example\r\n\r\n"},
        {u"1", {}, u"I'm currently browsing:\r\n\r\nhttps://example.org/\r\nfresh.example\r\n\r\n"},
        {u"3", {}, u"I'm currently browsing:\r\n\r\n\r\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(ToUtf8(c.show));
        StoreSetting(L"Show", c.show);
        // A machine far slower than any real one (an emulated one) can miss the deadline
        // on its first reads: the command is sent again, up to three times.
        Report report;
        for (int attempt = 0; attempt < 3 && report.text != c.expected; ++attempt) {
            report = Run(c.shell);
            ASSERT_EQ(report.outcome.hr, S_OK) << ToUtf8(report.outcome.description);
        }
        if (report.text != c.expected && ScaledMilliseconds(1) > 1)
            GTEST_SKIP() << "this machine is too slow for the browsers' deadline (the reading "
                            "itself is browser_pages_test's, with its times scaled)";
        EXPECT_EQ(report.text, c.expected);
    }
}

TEST_F(AllWebsites, FramedByBeforeAndAfterAsStored) {
    StoreSetting(L"Show", u"0");
    StoreSetting(L"Before", u"  Open now:\r\n");
    StoreSetting(L"After", u"-- sent by me");
    const Report report = Run({Page(kBrowser, u"A", u"a"), Page(kBrowser, u"A", u"a")}, u"/XWEBALL",
                              u"ignored argument");
    ASSERT_EQ(report.outcome.hr, S_OK);
    EXPECT_TRUE(report.outcome.Boolean());
    EXPECT_EQ(report.text, u"  Open now:\r\n\r\n\r\nA\r\nA\r\n\r\n-- sent by me");
}

TEST_F(AllWebsites, NoBrowserWindowGivesTheFixedText) {
    for (const char16_t* show : {u"0", u"2", u"3"}) {
        SCOPED_TRACE(ToUtf8(show));
        StoreSetting(L"Show", show);
        for (const auto& windows : {std::vector<shell::Window>{},
                                    std::vector<shell::Window>{Page(kWinDir, u"Desktop", u"")}}) {
            const Report report = Run(windows);
            ASSERT_EQ(report.outcome.hr, S_OK);
            EXPECT_TRUE(report.outcome.Boolean());
            EXPECT_EQ(report.text, u"No Webistes Available");
        }
    }
}

// Folder windows are those whose "Path" is the real Windows directory, with or without
// one backslash; letter case counts. The edge cases are browser_discovery_win32_test's.
TEST_F(AllWebsites, FolderWindowsAreTellApartByTheirPathAlone) {
    StoreSetting(L"Show", u"0");
    const struct {
        const char16_t* path;
        bool browser;
    } cases[] = {
        {u"C:\\windows", false},
        {u"C:\\windows\\", false},
        {u"C:\\WINDOWS", true},
        {u"C:\\Windows\\", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(ToUtf8(c.path));
        const Report report = Run({Page(c.path, u"T", u"U")});
        ASSERT_EQ(report.outcome.hr, S_OK);
        EXPECT_EQ(report.text, c.browser ? Text(u"I'm currently browsing:\r\n\r\nT\r\n\r\n")
                                         : Text(u"No Webistes Available"));
    }
}

TEST_F(AllWebsites, ReadsOnlyWhatTheModeNeedsInOrder) {
    const std::vector<shell::Window> windows = {
        Page(kBrowser, u"T1", u"U1"), Page(kWinDir, u"F", u"f"), Page(kBrowser, u"T2", u"U2")};
    const struct {
        const char16_t* show;
        std::vector<std::string> reads;
    } cases[] = {
        {u"2",
         {"1:Path", "1:LocationName", "1:LocationURL", "2:Path", "3:Path", "3:LocationName",
          "3:LocationURL"}},
        {u"1", {"1:Path", "1:LocationURL", "2:Path", "3:Path", "3:LocationURL"}},
        {u"3", {"1:Path", "2:Path", "3:Path"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(ToUtf8(c.show));
        StoreSetting(L"Show", c.show);
        ASSERT_EQ(Run(windows).outcome.hr, S_OK);
        EXPECT_EQ(shell::ReadCounters().reads, c.reads);
    }
    // Property names go to the window exactly as the plug-in spells them.
    EXPECT_EQ(shell::ReadCounters().names_asked,
              (std::vector<std::string>{"Path", "Path", "Path"}));
}

TEST_F(AllWebsites, LongTitlesAndEmbeddedNulsPassThrough) {
    StoreSetting(L"Show", u"0");
    Text title(1 << 20, u'x');
    title[10] = u'\0';
    title[20] = u'\r';
    const Report report = Run({Page(kBrowser, title, u"u")});
    ASSERT_EQ(report.outcome.hr, S_OK);
    EXPECT_EQ(report.text, u"I'm currently browsing:\r\n\r\n" + title + u"\r\n\r\n");
}

}  // namespace
}  // namespace tabulon::testing
