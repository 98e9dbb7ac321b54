// "/xweb", "/xweboptions" and "/xwebabout" through the registered TB.dll: the host
// calls ParseCommand by name while a second thread plays the user at the window.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <thread>
#include <string>
#include <vector>

#include "common/bstr_win32.h"
#include "plugin_fixture_win32.h"
#include "testbrowser/stand_in_browsers_win32.h"
#include "testshell/test_shell.h"
#include "ui/frm_about_win32.h"
#include "ui/frm_options_win32.h"
#include "ui/frm_web_win32.h"
#include "window_driver_win32.h"

namespace tabulon::testing {
namespace {

using late_bound::Outcome;
using testing_ui::Click;
using testing_ui::ListCount;
using testing_ui::ListItem;
using testing_ui::SelectItem;
using testing_ui::TypeText;
using testing_ui::WindowDriver;
namespace shell = testshell;

constexpr char16_t kBrowser[] = u"C:\\Program Files\\Internet Explorer";

struct CommandRun {
    Outcome outcome;
    Text result;
    bool windowShown = false;
};

class WindowCommands : public PluginTest {
  protected:
    void Arrange() override {
        shell::SetScenario(shell::Showing({shell::Page(kBrowser, u"One", u"http://one/"),
                                           shell::Page(u"C:\\windows", u"Folder", u""),
                                           shell::Page(kBrowser, u"Two", u"http://two/")}));
        InitializePlugin(plugin_);
    }

    // Sends the command while script answers the window with the caption.
    CommandRun Send(TextView command, const wchar_t* caption, std::function<void(HWND)> script,
                    TextView passed = u"passed by the host") {
        WindowDriver driver(caption, std::move(script));
        CommandResult sent = SendCommand(plugin_, command, passed);
        CommandRun run{std::move(sent.outcome), std::move(sent.text)};
        driver.Join();
        EXPECT_FALSE(driver.left_open()) << "the window was left open";
        run.windowShown = driver.found();
        return run;
    }

    // Sends a command that must fail before its window is offered; watches for the
    // window while the call runs.
    CommandRun SendExpectingNoWindow(TextView command, const wchar_t* caption) {
        std::atomic<bool> done{false}, seen{false};
        std::thread watcher([&] {
            while (!done) {
                HWND window = FindWindowW(nullptr, caption);
                if (window && IsWindowVisible(window)) {
                    seen = true;
                    PostMessageW(window, WM_CLOSE, 0, 0);
                }
                Sleep(1);
            }
        });
        CommandResult sent = SendCommand(plugin_, command, u"passed by the host");
        CommandRun run{std::move(sent.outcome), std::move(sent.text)};
        done = true;
        watcher.join();
        run.windowShown = seen;
        return run;
    }
};

TEST_F(WindowCommands, PickerFramesThePickedPageWithTheSeededTexts) {
    std::vector<Text> items;
    const CommandRun run = Send(u"/XWEB", L"Tabulon", [&](HWND window) {
        HWND list = GetDlgItem(window, FrmWeb::kList1);
        for (int i = 0; i < ListCount(list); ++i) items.push_back(ListItem(list, i));
        SelectItem(list, 1);
        Click(GetDlgItem(window, FrmWeb::kCmdSend));
    });
    ASSERT_EQ(run.outcome.hr, S_OK) << ToUtf8(run.outcome.description);
    EXPECT_TRUE(run.outcome.Boolean());
    EXPECT_EQ(items, (std::vector<Text>{u"One - http://one/", u"Two - http://two/"}));
    EXPECT_EQ(run.result, u"I'm currently browsing:\r\n\r\nTwo - http://two/\r\n\r\n");
}

TEST_F(WindowCommands, PickerListsTodaysBrowsersAfterTheShellsPages) {
    const StandInBrowsers browsers(R"(
window Chrome_WidgetWin_1 "Three - Chromium"
  client
    toolbar
      text shortcut="Ctrl+L" value="three.example"
    document name="Three" value="https://three.example/"
)");
    const std::vector<Text> expected = {u"One - http://one/", u"Two - http://two/",
                                        u"Three - https://three.example/"};
    // As in the all-sites report, up to three openings on a machine too slow for the
    // deadline's first reads.
    std::vector<Text> items;
    CommandRun run;
    for (int attempt = 0; attempt < 3 && items != expected; ++attempt) {
        items.clear();
        run = Send(u"/xweb", L"Tabulon", [&](HWND window) {
            HWND list = GetDlgItem(window, FrmWeb::kList1);
            for (int i = 0; i < ListCount(list); ++i) items.push_back(ListItem(list, i));
            SelectItem(list, ListCount(list) - 1);
            Click(GetDlgItem(window, FrmWeb::kCmdSend));
        });
        ASSERT_EQ(run.outcome.hr, S_OK) << ToUtf8(run.outcome.description);
    }
    if (items != expected && ScaledMilliseconds(1) > 1)
        GTEST_SKIP() << "this machine is too slow for the browsers' deadline (the reading "
                        "itself is browser_pages_test's, with its times scaled)";
    EXPECT_EQ(items, expected);
    EXPECT_EQ(run.result, u"I'm currently browsing:\r\n\r\nThree - https://three.example/\r\n\r\n");
}

// The picker with no page (its own look is frm_web_win32_test's) and the about
// box: each shows its window, and its button leaves the empty text.
TEST_F(WindowCommands, PickerWithNoPageAndAboutLeaveTheEmptyText) {
    shell::SetScenario({});
    const struct {
        const char16_t* command;
        const wchar_t* caption;
        int button;
    } rows[] = {{u"/xweb", L"Tabulon", FrmWeb::kCmdSend},
                {u"/xwebabout", L"About Tabulon", FrmAbout::kCmdOK}};
    for (const auto& row : rows) {
        SCOPED_TRACE(ToUtf8(row.command));
        const CommandRun run = Send(row.command, row.caption,
                                    [&](HWND window) { Click(GetDlgItem(window, row.button)); });
        ASSERT_EQ(run.outcome.hr, S_OK);
        EXPECT_TRUE(run.outcome.Boolean());
        EXPECT_TRUE(run.windowShown);
        EXPECT_EQ(run.result, u"");
    }
}

// The picker outlives its window: closing it another way hands over the last pick.
TEST_F(WindowCommands, ClosingThePickerWithoutItsButtonKeepsTheLastPick) {
    StoreSetting(L"Show", u"0");
    CommandRun run = Send(u"/xweb", L"Tabulon", [](HWND window) {
        SelectItem(GetDlgItem(window, FrmWeb::kList1), 0);
        Click(GetDlgItem(window, FrmWeb::kCmdSend));
    });
    ASSERT_EQ(run.result, u"I'm currently browsing:\r\n\r\nOne\r\n\r\n");

    bool sendDisabled = false;
    run = Send(u"/xweb", L"Tabulon", [&](HWND window) {
        sendDisabled = !IsWindowEnabled(GetDlgItem(window, FrmWeb::kCmdSend));
        PostMessageW(window, WM_CLOSE, 0, 0);
    });
    ASSERT_EQ(run.outcome.hr, S_OK);
    EXPECT_TRUE(run.outcome.Boolean());
    EXPECT_TRUE(sendDisabled) << "a fresh opening starts with Send disabled";
    EXPECT_EQ(run.result, u"I'm currently browsing:\r\n\r\nOne\r\n\r\n");
}

// The dialog's own contents are frm_dialogs_win32_test's; here the seeded settings it
// saves and the report that follows them.
TEST_F(WindowCommands, OptionsOpenWithTheSettingsAndOkSavesThem) {
    CommandRun run = Send(u"/xweboptions", L"Tabulon Options",
                          [](HWND window) { Click(GetDlgItem(window, FrmOptions::kCmdOK)); });
    ASSERT_EQ(run.outcome.hr, S_OK) << ToUtf8(run.outcome.description);
    EXPECT_TRUE(run.outcome.Boolean());
    EXPECT_EQ(run.result, u"");
    EXPECT_EQ(StoredSetting(L"Show"), Text(u" 2"));
    EXPECT_EQ(StoredSetting(L"Before"), Text(u"I'm currently browsing:"));

    // Addresses only, both texts emptied: the next report shows just that.
    run = Send(u"/xweboptions", L"Tabulon Options", [](HWND window) {
        Click(GetDlgItem(window, FrmOptions::kOptShow0 + 1));
        TypeText(GetDlgItem(window, FrmOptions::kTxtBefore), u"");
        TypeText(GetDlgItem(window, FrmOptions::kTxtAfter), u"");
        Click(GetDlgItem(window, FrmOptions::kCmdOK));
    });
    ASSERT_EQ(run.outcome.hr, S_OK);
    EXPECT_EQ(StoredSetting(L"Show"), Text(u" 1"));
    EXPECT_EQ(StoredSetting(L"Before"), Text(u""));
    EXPECT_EQ(StoredSetting(L"After"), Text(u""));
    const CommandResult report = SendCommand(plugin_, u"/xweball", u"");
    ASSERT_EQ(report.outcome.hr, S_OK);
    EXPECT_EQ(report.text, u"\r\n\r\nhttp://one/\r\nhttp://two/\r\n\r\n");
}

// A picker whose list cannot be loaded, and options with a "Show" no button stands
// for: the command fails with the cause and no window is offered.
TEST_F(WindowCommands, CommandsFailBeforeTheirWindowWhenItCannotLoad) {
    shell::Scenario failing;
    failing.windows_call = E_NOTIMPL;
    const struct {
        const char16_t* command;
        const wchar_t* caption;
        const char16_t* show;
        HRESULT scode;
    } rows[] = {{u"/xweb", L"Tabulon", u"2", E_NOTIMPL},
                {u"/xweboptions", L"Tabulon Options", u"3", DISP_E_BADINDEX},
                {u"/xweboptions", L"Tabulon Options", u"-1", DISP_E_BADINDEX},
                {u"/xweboptions", L"Tabulon Options", u"abc", DISP_E_TYPEMISMATCH}};
    for (const auto& row : rows) {
        SCOPED_TRACE(ToUtf8(row.command) + " with Show " + ToUtf8(row.show));
        shell::SetScenario(row.scode == E_NOTIMPL ? failing : shell::Scenario{});
        StoreSetting(L"Show", row.show);
        const CommandRun run = SendExpectingNoWindow(row.command, row.caption);
        EXPECT_EQ(run.outcome.hr, DISP_E_EXCEPTION);
        EXPECT_EQ(run.outcome.scode, row.scode);
        if (row.scode != E_NOTIMPL) {
            EXPECT_NE(run.outcome.description.find(u"Show"), Text::npos);
        }
        EXPECT_FALSE(run.windowShown);
        EXPECT_EQ(run.result, u"passed by the host");
        EXPECT_EQ(StoredSetting(L"Show"), Text(row.show));
    }
}

}  // namespace
}  // namespace tabulon::testing
