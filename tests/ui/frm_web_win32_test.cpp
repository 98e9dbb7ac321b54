// The website picker as a user meets it: the shell stand-in supplies the open
// windows, the registry of the test prefix holds the settings, and a second thread
// reads and presses the controls.
#include "ui/frm_web_win32.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <vector>

#include "testshell/test_shell.h"
#include "ui_windows_support_win32.h"
#include "window_driver_win32.h"

namespace tabulon {
namespace {

namespace ts = testshell;
using namespace testing_ui;
using testing_ui::TwipsToPixels;  // the tests' own, not the product's

using ts::Page;
using ts::Showing;
ts::Scenario Failing() {
    ts::Scenario scenario;
    scenario.windows_call = E_NOTIMPL;
    return scenario;
}
const TextView kIe = u"C:\\Program Files\\Internet Explorer";

// What the user saw of the picker when it opened, and after the script's steps.
struct PickerView {
    SIZE client{};
    std::vector<Text> items;
    ControlView label, list, button;
    bool list_had_focus = false;
    bool nothing_selected = false;
    bool enabled_after_key = false;
};

PickerView LookAt(HWND window, DWORD owner_thread) {
    PickerView v;
    v.client = testing_ui::ClientSize(window);
    HWND list = GetDlgItem(window, FrmWeb::kList1);
    for (int i = 0; i < ListCount(list); ++i) v.items.push_back(ListItem(list, i));
    v.label = ViewControl(GetDlgItem(window, FrmWeb::kLabel1));
    v.list = ViewControl(list);
    v.button = ViewControl(GetDlgItem(window, FrmWeb::kCmdSend));
    v.list_had_focus = FocusOfThread(owner_thread) == list;
    v.nothing_selected = SendMessageW(list, LB_GETCURSEL, 0, 0) == LB_ERR;
    return v;
}

class FrmWebTest : public WindowTest {
  protected:
    // Opens the picker on this thread while script plays the user.
    static std::optional<Failure> Open(std::function<void(HWND)> script) {
        return ShowWhile(
            L"Tabulon", [] { FrmWeb::ForThread().ShowModal(); }, std::move(script));
    }
};

TEST_F(FrmWebTest, WithNoBrowserWindowOffersCancelAndLeavesEmptyText) {
    ts::SetScenario(Showing({Page(u"C:\\windows", u"My Documents", u"file:///C:/")}));
    FrmWeb::ForThread().sPickedText = u"an earlier pick";
    PickerView seen;
    EXPECT_FALSE(Open([&](HWND w) {
        seen = LookAt(w, thread_);
        Click(GetDlgItem(w, FrmWeb::kCmdSend));
    }));
    EXPECT_THAT(seen.items, ::testing::ElementsAre(u"No Websites Available"));
    EXPECT_EQ(seen.button.text, u"Cancel");
    EXPECT_TRUE(seen.button.enabled) << "usable before anything is selected";
    EXPECT_TRUE(seen.nothing_selected);
    EXPECT_EQ(FrmWeb::ForThread().sPickedText, u"");
}

TEST_F(FrmWebTest, LaysOutItsControlsInTwipsAtTheScreenResolution) {
    ts::SetScenario(Showing({Page(kIe, u"Page", u"http://page.example/")}));
    PickerView seen;
    HWND window = nullptr;
    Open([&](HWND w) {
        window = w;
        seen = LookAt(w, thread_);
        PostMessageW(w, WM_CLOSE, 0, 0);
    });
    EXPECT_EQ(seen.label.window_class, L"Static");
    EXPECT_EQ(seen.label.text, u"Click on the Website and Click Send");
    EXPECT_EQ(seen.label.style & SS_TYPEMASK, SS_CENTER);
    EXPECT_EQ(seen.list.window_class, L"ListBox");
    EXPECT_EQ(seen.list.style & (LBS_SORT | LBS_MULTIPLESEL | LBS_EXTENDEDSEL), 0);
    EXPECT_EQ(seen.button.window_class, L"Button");
    EXPECT_EQ(seen.button.text, u"&Send");
    EXPECT_FALSE(seen.button.enabled);
    EXPECT_TRUE(seen.list_had_focus);

    EXPECT_EQ(seen.label.font_face, L"Verdana");
    EXPECT_EQ(seen.list.font_face, L"Verdana");
    EXPECT_TRUE(seen.label.font_plain && seen.list.font_plain);

    // At whatever resolution the screen has: twips become pixels, fonts scale.
    const int dpi = ScreenDpi();
    EXPECT_EQ(seen.client.cx, TwipsToPixels(7230, dpi));
    EXPECT_EQ(seen.client.cy, TwipsToPixels(2520, dpi));
    EXPECT_EQ(Corners(seen.label.rect), Corners(TwipsToPixels(135, 195, 6915, 255, dpi)));
    EXPECT_EQ(Corners(seen.list.rect), Corners(TwipsToPixels(120, 660, 6990, 1140, dpi)));
    EXPECT_EQ(Corners(seen.button.rect), Corners(TwipsToPixels(3615, 1980, 1005, 360, dpi)));
    EXPECT_EQ(seen.label.font_height, FontHeight(825, dpi));
    EXPECT_EQ(seen.list.font_height, FontHeight(675, dpi));
}

// A run set up for a resolution (a prefix with LogPixels set) must really have it,
// or the layout checks above prove nothing about it.
TEST(ScreenTest, HasTheResolutionTheRunWasSetUpFor) {
    const int expected = testing_ui::ExpectedDpi();
    if (expected == 0) GTEST_SKIP() << "TABULON_EXPECT_DPI is not set";
    EXPECT_EQ(ScreenDpi(), expected);
}

TEST_F(FrmWebTest, PickFramesTheChosenLine) {
    ts::SetScenario(Showing({Page(kIe, u"One", u"http://one.example/"),
                             Page(u"C:\\windows", u"Folder", u"file:///C:/"),
                             Page(kIe, u"", u"http://two.example/")}));
    PickerView seen;
    bool open_after_early_enter = false;
    bool enabled_after_arrow = false;
    EXPECT_FALSE(Open([&](HWND w) {
        seen = LookAt(w, thread_);
        HWND list = GetDlgItem(w, FrmWeb::kList1);
        HWND button = GetDlgItem(w, FrmWeb::kCmdSend);
        // Enter before anything is selected must not pick.
        testing_ui::PressKey(list, VK_RETURN);
        Sleep(200);
        open_after_early_enter = IsWindow(w);
        // The arrow key selects as a click does, and so enables the button.
        testing_ui::PressKey(list, VK_DOWN);
        enabled_after_arrow = WaitFor([&] { return IsWindowEnabled(button) != FALSE; });
        SelectItem(list, 1);
        Click(button);
    }));
    EXPECT_THAT(seen.items,
                ::testing::ElementsAre(u"One - http://one.example/", u" - http://two.example/"));
    EXPECT_FALSE(seen.button.enabled);
    EXPECT_TRUE(open_after_early_enter);
    EXPECT_TRUE(enabled_after_arrow);
    EXPECT_EQ(FrmWeb::ForThread().sPickedText,
              u"I'm currently browsing:\r\n\r\n - http://two.example/\r\n\r\n");
}

// Page titles come in any script. The list keeps each line as the shell gave it, and
// its font leaves Windows free to link in the glyphs Verdana lacks.
TEST_F(FrmWebTest, TitlesInAnyScriptReachTheListIntact) {
    // Titles in Chinese, Arabic and Hebrew, and one that mixes scripts with a character
    // beyond the first 65,536 (a surrogate pair).
    const Text chinese = u"\u4E2D\u6587\u65B0\u95FB";
    const Text arabic = u"\u0623\u062E\u0628\u0627\u0631 \u0639\u0631\u0628\u064A\u0629";
    const Text hebrew = u"\u05D7\u05D3\u05E9\u05D5\u05EA \u05D1\u05E2\u05D1\u05E8\u05D9\u05EA";
    const Text mixed =
        u"\u65E5\u672C (\u05E2\u05D1\u05E8\u05D9\u05EA, \u0639\u0631\u0628\u064A) \U0001F600";
    ts::SetScenario(Showing(
        {Page(kIe, chinese, u"http://zh.example/"), Page(kIe, arabic, u"http://ar.example/"),
         Page(kIe, hebrew, u"http://he.example/"), Page(kIe, mixed, u"http://mixed.example/")}));
    PickerView seen;
    EXPECT_FALSE(Open([&](HWND w) {
        seen = LookAt(w, thread_);
        PostMessageW(w, WM_CLOSE, 0, 0);
    }));
    EXPECT_THAT(seen.items, ::testing::ElementsAre(chinese + u" - http://zh.example/",
                                                   arabic + u" - http://ar.example/",
                                                   hebrew + u" - http://he.example/",
                                                   mixed + u" - http://mixed.example/"));
    EXPECT_TRUE(seen.list.font_plain) << "a font of any character set";
}

TEST_F(FrmWebTest, AccessKeyAndEnterPressTheButton) {
    ts::SetScenario(Showing({Page(kIe, u"One", u"http://one.example/")}));
    StoreSetting(u"Show", u"0");
    for (bool access_key : {true, false}) {
        SCOPED_TRACE(access_key ? "Alt+S" : "Enter");
        FrmWeb::ForThread().sPickedText.clear();
        EXPECT_FALSE(Open([&](HWND w) {
            HWND list = GetDlgItem(w, FrmWeb::kList1);
            SelectItem(list, 0);
            if (access_key) {
                PostMessageW(list, WM_SYSCHAR, 's', 1 | (1u << 29));
            } else {
                testing_ui::PressKey(list, VK_RETURN);
            }
        }));
        EXPECT_EQ(FrmWeb::ForThread().sPickedText, u"I'm currently browsing:\r\n\r\nOne\r\n\r\n");
    }
}

TEST_F(FrmWebTest, SecondOpeningIsFreshAndClosingKeepsTheLastPick) {
    ts::SetScenario(Showing({Page(kIe, u"First", u"http://first.example/")}));
    StoreSetting(u"Show", u" 0");
    StoreSetting(u"Before", u"B");
    StoreSetting(u"After", u"A");
    EXPECT_FALSE(Open([&](HWND w) {
        SelectItem(GetDlgItem(w, FrmWeb::kList1), 0);
        Click(GetDlgItem(w, FrmWeb::kCmdSend));
    }));
    EXPECT_EQ(FrmWeb::ForThread().sPickedText, u"B\r\n\r\nFirst\r\n\r\nA");

    // A setting changed between openings shows at the next one.
    StoreSetting(u"Show", u"1");
    ts::SetScenario(Showing({Page(kIe, u"First", u"http://first.example/"),
                             Page(kIe, u"Second", u"http://second.example/")}));
    PickerView seen;
    EXPECT_FALSE(Open([&](HWND w) {
        seen = LookAt(w, thread_);
        SelectItem(GetDlgItem(w, FrmWeb::kList1), 1);
        PostMessageW(w, WM_CLOSE, 0, 0);
    }));
    EXPECT_THAT(seen.items,
                ::testing::ElementsAre(u"http://first.example/", u"http://second.example/"));
    EXPECT_EQ(seen.button.text, u"&Send");
    EXPECT_FALSE(seen.button.enabled);
    EXPECT_EQ(FrmWeb::ForThread().sPickedText, u"B\r\n\r\nFirst\r\n\r\nA")
        << "closing without the button leaves the last pick";
}

TEST_F(FrmWebTest, LoadFailureIsThrownAndNoWindowIsOffered) {
    struct Case {
        const char* name;
        ts::Scenario scenario;
        Text show;
        HRESULT code;
    };
    const Case cases[] = {
        {"shell window list", Failing(), u"2", E_NOTIMPL},
        {"display mode", Showing({Page(kIe, u"T", u"U")}), u"abc", DISP_E_TYPEMISMATCH},
        {"title",
         Showing({{ts::Value::Str(kIe), ts::Value::Failing(E_ACCESSDENIED), ts::Value::Str(u"U")}}),
         u"0", E_ACCESSDENIED},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ts::SetScenario(c.scenario);
        StoreSetting(u"Show", c.show);
        FrmWeb::ForThread().sPickedText = u"kept";
        const std::optional<Failure> failure = FailureOf([] { FrmWeb::ForThread().ShowModal(); });
        ASSERT_TRUE(failure.has_value());
        EXPECT_EQ(failure->code(), c.code);
        EXPECT_EQ(FindWindowW(nullptr, L"Tabulon"), nullptr);
        EXPECT_EQ(FrmWeb::ForThread().sPickedText, u"kept");
    }
}

// Runs on this thread inside the picker's modal loop, as a second command would,
// then finishes the pick in the picker that stayed open.
std::optional<Failure> g_nested_failure;
void CALLBACK OpenAgainThenPick(HWND, UINT, UINT_PTR timer, DWORD) {
    KillTimer(nullptr, timer);
    g_nested_failure = FailureOf([] { FrmWeb::ForThread().ShowModal(); });
    HWND w = FindWindowW(nullptr, L"Tabulon");
    if (!w) return;
    SelectItem(GetDlgItem(w, FrmWeb::kList1), 0);
    Click(GetDlgItem(w, FrmWeb::kCmdSend));
    if (IsWindow(w)) PostMessageW(w, WM_CLOSE, 0, 0);
}

TEST_F(FrmWebTest, OpeningAgainWhileOpenIsRefusedAndTheOpenPickerGoesOn) {
    ts::SetScenario(Showing({Page(kIe, u"Only", u"http://only.example/")}));
    StoreSetting(u"Show", u"0");
    FrmWeb::ForThread().sPickedText.clear();
    g_nested_failure.reset();
    SetTimer(nullptr, 0, 50, &OpenAgainThenPick);
    EXPECT_NO_THROW(FrmWeb::ForThread().ShowModal());
    ASSERT_TRUE(g_nested_failure.has_value());
    EXPECT_EQ(g_nested_failure->code(), static_cast<std::int32_t>(0x800700AA));
    EXPECT_FALSE(g_nested_failure->description().empty());
    EXPECT_EQ(FrmWeb::ForThread().sPickedText, u"I'm currently browsing:\r\n\r\nOnly\r\n\r\n");
}

}  // namespace
}  // namespace tabulon
