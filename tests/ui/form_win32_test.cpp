// What the three windows share through their form code: metrics, colours, high
// contrast, tab order, default button and where they open.
#include <windows.h>
#include <uxtheme.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "testshell/test_shell.h"
#include "ui/form_win32.h"
#include "ui/frm_about_win32.h"
#include "ui/frm_options_win32.h"
#include "ui/frm_web_win32.h"
#include "ui_windows_support_win32.h"
#include "window_driver_win32.h"

namespace tabulon {
namespace {

namespace ts = testshell;
using testing_ui::FailureOf;
using testing_ui::FocusOfThread;
using testing_ui::Render;
using testing_ui::RenderBackground;
using testing_ui::StoreSetting;
using testing_ui::WaitFor;
using testing_ui::WindowDriver;

constexpr COLORREF kMagenta = RGB(0xFF, 0x00, 0xFF);

struct FormWindow {
    const char* name;
    const wchar_t* caption;
    void (*show)();
};
const FormWindow kPicker{"picker", L"Tabulon", [] { FrmWeb::ForThread().ShowModal(); }};
const FormWindow kOptions{"options", L"Tabulon Options",
                          [] { FrmOptions::ForThread().ShowModal(); }};
const FormWindow kAbout{"about", L"About Tabulon", [] { FrmAbout::ForThread().ShowModal(); }};
const FormWindow kAllWindows[] = {kPicker, kOptions, kAbout};

class FormTest : public testing_ui::WindowTest {
  protected:
    void SetUp() override {
        WindowTest::SetUp();
        ts::SetScenario(ts::Showing(
            {ts::Page(u"C:\\Program Files\\Internet Explorer", u"One", u"http://one.example/")}));
    }

    // Opens the window on this thread while script plays the user, then closes it.
    static void Open(const FormWindow& window, const std::function<void(HWND)>& script) {
        SCOPED_TRACE(window.name);
        const std::optional<Failure> failure =
            testing_ui::ShowWhile(window.caption, window.show, [&](HWND w) {
                script(w);
                if (IsWindow(w)) PostMessageW(w, WM_CLOSE, 0, 0);
            });
        EXPECT_FALSE(failure.has_value()) << ToUtf8(failure->description());
    }
};

DWORD RunningMajorVersion() {
    OSVERSIONINFOW version{};
    version.dwOSVersionInfoSize = sizeof version;
    return GetVersionExW(&version) ? version.dwMajorVersion : 0;
}

TEST(NonClientMetricsTest, SizeIsTheOneTheRunningWindowsAccepts) {
    EXPECT_EQ(NonClientMetricsSize(5), 500u) << "XP refuses the structure Vista extended";
    // From Vista on, the structure as the plug-in is compiled (XP's API: the same 500).
    EXPECT_GE(NonClientMetricsSize(6), 500u);
    EXPECT_EQ(NonClientMetricsSize(10), NonClientMetricsSize(6));

    // One run reports XP (TABULON_EXPECT_WINDOWS=5), where the short size is passed.
    const DWORD running = RunningMajorVersion();
    if (const int expected = testing_ui::ExpectedWindowsVersion()) {
        EXPECT_EQ(running, static_cast<DWORD>(expected));
    }
    NONCLIENTMETRICSW metrics;
    ASSERT_TRUE(ReadNonClientMetrics(metrics));
    EXPECT_EQ(metrics.cbSize, NonClientMetricsSize(running));
    EXPECT_NE(metrics.lfMessageFont.lfFaceName[0], L'\0');
}

TEST_F(FormTest, ButtonsWithoutAFontOfTheirOwnUseTheMessageFont) {
    NONCLIENTMETRICSW metrics;
    ASSERT_TRUE(ReadNonClientMetrics(metrics));
    testing_ui::ControlView ok;
    Open(kAbout, [&](HWND w) { ok = testing_ui::ViewControl(GetDlgItem(w, FrmAbout::kCmdOK)); });
    EXPECT_EQ(ok.font_face, metrics.lfMessageFont.lfFaceName);
    EXPECT_EQ(ok.font_height, metrics.lfMessageFont.lfHeight);
}

// Each control whose colours a window sets: the message it asks by, its own colour.
struct ColouredControl {
    int id;
    UINT message;
    COLORREF colour;
    bool label;  // paints its own text, which the rendering shows
};
const std::vector<ColouredControl> kPickerColoured = {
    {FrmWeb::kLabel1, WM_CTLCOLORSTATIC, kBlue, true},
    {FrmWeb::kList1, WM_CTLCOLORLISTBOX, kGreen, false}};
const std::vector<ColouredControl> kOptionsColoured = {
    {FrmOptions::kLabel1, WM_CTLCOLORSTATIC, kRed, true},
    {FrmOptions::kLabel2, WM_CTLCOLORSTATIC, kRed, true},
    {FrmOptions::kLabel3, WM_CTLCOLORSTATIC, kRed, true},
    {FrmOptions::kImage1, WM_CTLCOLORSTATIC, kBlack, false},
    {FrmOptions::kOptShow0, WM_CTLCOLORSTATIC, kBlue, false},
    {FrmOptions::kOptShow0 + 1, WM_CTLCOLORSTATIC, kBlue, false},
    {FrmOptions::kOptShow0 + 2, WM_CTLCOLORSTATIC, kBlue, false},
    {FrmOptions::kTxtBefore, WM_CTLCOLOREDIT, kGreen, false},
    {FrmOptions::kTxtAfter, WM_CTLCOLOREDIT, kGreen, false}};
const std::vector<ColouredControl> kAboutColoured = {
    {FrmAbout::kLabel1, WM_CTLCOLORSTATIC, kBlue, true},
    {FrmAbout::kLabel2, WM_CTLCOLORSTATIC, kGreen, true},
    {FrmAbout::kLabel3, WM_CTLCOLORSTATIC, kRed, true},
    {FrmAbout::kLabel4, WM_CTLCOLORSTATIC, kRed, true},
    {FrmAbout::kLabel5, WM_CTLCOLORSTATIC, kOrange, true},
    {FrmAbout::kImage1, WM_CTLCOLORSTATIC, kBlack, false}};
struct WindowControls {
    FormWindow window;
    std::vector<ColouredControl> controls;
};
const WindowControls kColouredControls[] = {
    {kPicker, kPickerColoured}, {kOptions, kOptionsColoured}, {kAbout, kAboutColoured}};

bool IsOptionButton(int id) {
    return id >= FrmOptions::kOptShow0 && id < FrmOptions::kOptShow0 + 3;
}
// The labels and logos: statics that paint themselves.
bool IsStatic(const ColouredControl& c) {
    return c.message == WM_CTLCOLORSTATIC && !IsOptionButton(c.id);
}

struct StaticColours {
    DWORD brush_type = 0;
    UINT brush_style = 0;
    COLORREF brush_colour = 0;
    int background_mode = 0;
    COLORREF text_colour = 0;
    int unerased = -1;     // canvas pixels the control left as they were
    int text_pixels = -1;  // pixels in its text colour
};

StaticColours ColoursOf(HWND window, HWND control, COLORREF text_colour) {
    StaticColours seen;
    HDC dc = CreateCompatibleDC(nullptr);
    const auto brush = reinterpret_cast<HBRUSH>(SendMessageW(window, WM_CTLCOLORSTATIC,
                                                             reinterpret_cast<WPARAM>(dc),
                                                             reinterpret_cast<LPARAM>(control)));
    seen.brush_type = GetObjectType(brush);
    LOGBRUSH logical{};
    if (GetObjectW(brush, sizeof logical, &logical)) {
        seen.brush_style = logical.lbStyle;
        seen.brush_colour = logical.lbColor;
    }
    seen.background_mode = GetBkMode(dc);
    seen.text_colour = GetTextColor(dc);
    DeleteDC(dc);
    const testing_ui::Rendering painted = Render(control, kMagenta);
    seen.unerased = painted.Count(kMagenta);
    seen.text_pixels = painted.Count(text_colour);
    return seen;
}

COLORREF BackgroundOf(HWND window) {
    LOGBRUSH logical{};
    GetObjectW(reinterpret_cast<HBRUSH>(GetClassLongPtrW(window, GCLP_HBRBACKGROUND)),
               sizeof logical, &logical);
    return logical.lbColor;
}

// Runs body with the classic controls, then with those of comctl32 6.0, as a host
// with visual styles has them.
void WithClassicControlsAndVisualStyles(const std::function<void(bool styles)>& body) {
    for (bool styles : {false, true}) {
        SCOPED_TRACE(styles ? "visual styles" : "classic controls");
        std::optional<testing_ui::CommonControls6> visual_styles;
        if (styles) {
            visual_styles.emplace();
            ASSERT_TRUE(visual_styles->active());
        }
        body(styles);
    }
}

// A label erases its whole box itself, so a repaint (the first Alt or Tab) never
// draws its text over the old one.
TEST_F(FormTest, LabelsEraseWithTheWindowsOwnWhite) {
    WithClassicControlsAndVisualStyles([&](bool) {
        for (const auto& [window, controls] : kColouredControls) {
            SCOPED_TRACE(window.name);
            std::vector<ColouredControl> statics;
            for (const ColouredControl& c : controls)
                if (IsStatic(c)) statics.push_back(c);
            std::vector<StaticColours> seen;
            COLORREF background = 0;
            Open(window, [&](HWND w) {
                background = BackgroundOf(w);
                for (const ColouredControl& s : statics)
                    seen.push_back(ColoursOf(w, GetDlgItem(w, s.id), s.colour));
            });
            EXPECT_EQ(background, RGB(0xFF, 0xFF, 0xFF));
            ASSERT_EQ(seen.size(), statics.size());
            for (std::size_t i = 0; i < statics.size(); ++i) {
                SCOPED_TRACE("control " + std::to_string(statics[i].id));
                EXPECT_EQ(seen[i].brush_type, static_cast<DWORD>(OBJ_BRUSH));
                EXPECT_EQ(seen[i].brush_style, static_cast<UINT>(BS_SOLID));
                EXPECT_EQ(seen[i].brush_colour, background);
                EXPECT_EQ(seen[i].background_mode, TRANSPARENT);
                EXPECT_EQ(seen[i].text_colour, statics[i].colour);
                EXPECT_EQ(seen[i].unerased, 0);
                if (statics[i].label) {
                    EXPECT_GT(seen[i].text_pixels, 0) << "its text in its own colour";
                }
            }
        }
    });
}

// Themed controls keep the product's blue on the option buttons; no GDI object
// outlives a window, the logo's copy in a v6 picture control included.
TEST_F(FormTest, UnderVisualStylesKeepsItsColoursAndLeavesNoGdiObjectBehind) {
    testing_ui::CommonControls6 visual_styles;
    ASSERT_TRUE(visual_styles.active());

    bool ok_themed = false;
    std::vector<bool> option_themed;
    std::vector<int> option_blue;
    Open(kOptions, [&](HWND w) {
        ok_themed = GetWindowTheme(GetDlgItem(w, FrmOptions::kCmdOK)) != nullptr;
        for (int i = 0; i < 3; ++i) {
            HWND option = GetDlgItem(w, FrmOptions::kOptShow0 + i);
            option_themed.push_back(GetWindowTheme(option) != nullptr);
            option_blue.push_back(Render(option, kMagenta).Count(kBlue));
        }
    });
    EXPECT_TRUE(ok_themed) << "the OK button is themed: the context is in force";
    EXPECT_EQ(option_themed, (std::vector<bool>{false, false, false}));
    // Wine's theme leaves the text colour to the caller even when themed; Windows' do not.
    for (int blue : option_blue) EXPECT_GT(blue, 0) << "an option's text in blue";

    // Wine makes a few objects of its own in the first openings, and on a busy machine
    // a dozen more once, a little later. A leak grows every batch: one object an opening
    // shows as 10 in each, so the batch that grew least is the one that counts.
    for (int i = 0; i < 3; ++i)
        for (const FormWindow& window : kAllWindows) Open(window, [](HWND) {});
    for (const FormWindow& window : kAllWindows) {
        SCOPED_TRACE(window.name);
        std::vector<long long> counts = {testing_ui::GdiObjectCount()};
        for (int batch = 0; batch < 3; ++batch) {
            for (int i = 0; i < 10; ++i) Open(window, [](HWND) {});
            counts.push_back(testing_ui::GdiObjectCount());
        }
        long long least = counts[1] - counts[0];
        for (std::size_t i = 2; i < counts.size(); ++i)
            least = std::min(least, counts[i] - counts[i - 1]);
        EXPECT_LE(least, 5) << "GDI objects after each 10 openings: "
                            << testing::PrintToString(counts);
    }
}

// The user's high-contrast setting while it lives (Wine keeps none), with a scheme of
// yellow on black put in by SetSysColors, which tells every top-level window.
class HighContrast {
  public:
    static constexpr COLORREF kText = RGB(0xFF, 0xFF, 0x00);
    static constexpr COLORREF kWindow = RGB(0x00, 0x00, 0x00);

    HighContrast() : saved_{GetSysColor(COLOR_WINDOW), GetSysColor(COLOR_WINDOWTEXT)} {
        SetHighContrastQueryForTests(&IsOn);
    }
    ~HighContrast() {
        Turn(false);
        SetHighContrastQueryForTests(nullptr);
    }
    HighContrast(const HighContrast&) = delete;
    HighContrast& operator=(const HighContrast&) = delete;

    void Turn(bool on) {
        on_ = on;
        const INT elements[] = {COLOR_WINDOW, COLOR_WINDOWTEXT};
        const COLORREF scheme[] = {kWindow, kText};
        SetSysColors(2, elements, on ? scheme : saved_);
    }
    // The setting alone, with the colours as they are.
    void Answer(bool on) { on_ = on; }

  private:
    static bool IsOn() { return on_; }
    static inline std::atomic<bool> on_{false};
    const COLORREF saved_[2];
};

// What the window procedure hands back when a control asks for its colours.
struct HandedBack {
    HBRUSH brush = nullptr;
    COLORREF text = 0;
    COLORREF background = 0;
};

HandedBack AskColours(HWND window, int id, UINT message) {
    HandedBack seen;
    HDC dc = CreateCompatibleDC(nullptr);
    seen.brush =
        reinterpret_cast<HBRUSH>(SendMessageW(window, message, reinterpret_cast<WPARAM>(dc),
                                              reinterpret_cast<LPARAM>(GetDlgItem(window, id))));
    seen.text = GetTextColor(dc);
    seen.background = GetBkColor(dc);
    DeleteDC(dc);
    return seen;
}

// Under high contrast every control and the window itself draw in the scheme's
// colours; option buttons keep the system's look, themed under visual styles.
TEST_F(FormTest, UnderHighContrastDrawInTheSystemsWindowColours) {
    HighContrast high_contrast;
    high_contrast.Turn(true);
    WithClassicControlsAndVisualStyles([&](bool styles) {
        for (const auto& [window, controls] : kColouredControls) {
            SCOPED_TRACE(window.name);
            struct Seen {
                HandedBack asked;
                int unerased, in_scheme, in_own_colour;
                bool themed;
            };
            std::vector<Seen> seen;
            HBRUSH system_brush = nullptr;
            int background_pixels = 0, in_window_colour = -1;
            Open(window, [&](HWND w) {
                system_brush = GetSysColorBrush(COLOR_WINDOW);
                for (const ColouredControl& c : controls) {
                    const testing_ui::Rendering painted = Render(GetDlgItem(w, c.id), kMagenta);
                    seen.push_back({AskColours(w, c.id, c.message), painted.Count(kMagenta),
                                    painted.Count(HighContrast::kText), painted.Count(c.colour),
                                    GetWindowTheme(GetDlgItem(w, c.id)) != nullptr});
                }
                const testing_ui::Rendering background = RenderBackground(w, kMagenta);
                background_pixels = static_cast<int>(background.pixels.size());
                in_window_colour = background.Count(HighContrast::kWindow);
            });
            EXPECT_GT(background_pixels, 0);
            EXPECT_EQ(in_window_colour, background_pixels) << "the window erases in its colour";
            ASSERT_EQ(seen.size(), controls.size());
            for (std::size_t i = 0; i < controls.size(); ++i) {
                SCOPED_TRACE("control " + std::to_string(controls[i].id));
                EXPECT_EQ(seen[i].asked.brush, system_brush);
                EXPECT_EQ(seen[i].asked.text, HighContrast::kText);
                EXPECT_EQ(seen[i].asked.background, HighContrast::kWindow);
                if (controls[i].label) {
                    EXPECT_EQ(seen[i].unerased, 0);
                    EXPECT_GT(seen[i].in_scheme, 0) << "its text in the scheme's colour";
                    EXPECT_EQ(seen[i].in_own_colour, 0);
                }
                if (IsOptionButton(controls[i].id)) {
                    EXPECT_EQ(seen[i].themed, styles);
                }
            }
        }
    });
}

// Counts, while it lives, the messages that windows of this thread are sent (as
// SendMessage and BeginPaint send them); read from any thread.
class MessagesSent {
  public:
    MessagesSent() {
        const std::lock_guard<std::mutex> lock(mutex_);
        seen_.clear();
        hook_ = SetWindowsHookExW(WH_CALLWNDPROC, &Record, nullptr, GetCurrentThreadId());
    }
    ~MessagesSent() {
        if (hook_) UnhookWindowsHookEx(hook_);
    }
    MessagesSent(const MessagesSent&) = delete;
    MessagesSent& operator=(const MessagesSent&) = delete;
    bool active() const { return hook_ != nullptr; }
    int Count(HWND window, UINT message) const {
        const std::lock_guard<std::mutex> lock(mutex_);
        return static_cast<int>(std::count(seen_.begin(), seen_.end(), std::pair{window, message}));
    }

  private:
    static LRESULT CALLBACK Record(int code, WPARAM wparam, LPARAM lparam) {
        if (code == HC_ACTION) {
            const auto* sent = reinterpret_cast<const CWPSTRUCT*>(lparam);
            const std::lock_guard<std::mutex> lock(mutex_);
            seen_.emplace_back(sent->hwnd, sent->message);
        }
        return CallNextHookEx(nullptr, code, wparam, lparam);
    }
    static inline std::mutex mutex_;
    static inline std::vector<std::pair<HWND, UINT>> seen_;
    HHOOK hook_ = nullptr;
};

// Each change of the system's colours, and a WM_SETTINGCHANGE for the setting, switch
// colours, option look and background at once, reach every control and repaint all.
TEST_F(FormTest, HighContrastComingAndGoingSwitchesAtOnce) {
    testing_ui::CommonControls6 visual_styles;
    ASSERT_TRUE(visual_styles.active());
    HighContrast high_contrast;
    MessagesSent sent;
    ASSERT_TRUE(sent.active());

    struct Look {
        bool system_brush;
        HandedBack label, box;
        bool option_themed;
        COLORREF background;
    };
    std::vector<Look> looks;
    std::vector<HWND> controls;
    bool repainted_after_setting = false, repainted_after_colours = false;
    Open(kOptions, [&](HWND w) {
        for (HWND c = GetWindow(w, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT))
            controls.push_back(c);
        const auto look = [&] {
            Look l;
            l.label = AskColours(w, FrmOptions::kLabel1, WM_CTLCOLORSTATIC);
            l.box = AskColours(w, FrmOptions::kTxtBefore, WM_CTLCOLOREDIT);
            l.system_brush =
                l.label.brush == GetSysColorBrush(COLOR_WINDOW) && l.box.brush == l.label.brush;
            l.option_themed = GetWindowTheme(GetDlgItem(w, FrmOptions::kOptShow0)) != nullptr;
            const testing_ui::Rendering background = RenderBackground(w, kMagenta);
            l.background = background.pixels.empty() ? kMagenta : background.pixels.front();
            if (background.Count(l.background) != static_cast<int>(background.pixels.size()))
                l.background = kMagenta;
            return l;
        };
        // Whether the window and each control are erased again after `change`.
        const auto repaints = [&](const std::function<void()>& change) {
            std::vector<int> before;
            before.push_back(sent.Count(w, WM_ERASEBKGND));
            for (HWND c : controls) before.push_back(sent.Count(c, WM_ERASEBKGND));
            change();
            return WaitFor(
                [&] {
                    if (sent.Count(w, WM_ERASEBKGND) <= before[0]) return false;
                    for (std::size_t i = 0; i < controls.size(); ++i)
                        if (sent.Count(controls[i], WM_ERASEBKGND) <= before[i + 1]) return false;
                    return true;
                },
                2000);
        };
        looks.push_back(look());
        high_contrast.Turn(true);
        looks.push_back(look());
        high_contrast.Turn(false);
        looks.push_back(look());
        repainted_after_setting = repaints([&] {
            high_contrast.Answer(true);
            SendMessageW(w, WM_SETTINGCHANGE, SPI_SETHIGHCONTRAST, 0);
        });
        looks.push_back(look());
        repainted_after_colours = repaints([&] { SendMessageW(w, WM_SYSCOLORCHANGE, 0, 0); });
    });
    ASSERT_EQ(looks.size(), 4u);
    const COLORREF white = RGB(0xFF, 0xFF, 0xFF);
    const struct {
        const char* name;
        bool high_contrast;
        COLORREF text, window;
    } expected[] = {
        {"opened", false, kRed, white},
        {"turned on", true, HighContrast::kText, HighContrast::kWindow},
        {"turned off", false, kRed, white},
        {"setting changed", true, GetSysColor(COLOR_WINDOWTEXT), GetSysColor(COLOR_WINDOW)}};
    for (std::size_t i = 0; i < looks.size(); ++i) {
        SCOPED_TRACE(expected[i].name);
        const Look& l = looks[i];
        EXPECT_EQ(l.system_brush, expected[i].high_contrast);
        EXPECT_EQ(l.label.text, expected[i].text);
        EXPECT_EQ(l.label.background, expected[i].window);
        EXPECT_EQ(l.box.text, expected[i].high_contrast ? expected[i].text : kGreen);
        EXPECT_EQ(l.option_themed, expected[i].high_contrast);
        EXPECT_EQ(l.background, expected[i].window);
    }
    EXPECT_TRUE(repainted_after_setting);
    EXPECT_TRUE(repainted_after_colours);
    ASSERT_FALSE(controls.empty());
    for (HWND c : controls)
        EXPECT_EQ(sent.Count(c, WM_SYSCOLORCHANGE), 4) << "control " << GetDlgCtrlID(c);
}

// Presses Tab at the control that has the focus and waits for the focus to move on.
HWND PressTab(DWORD owner, HWND from) {
    testing_ui::PressKey(from, VK_TAB);
    HWND to = nullptr;
    WaitFor([&] { return (to = FocusOfThread(owner)) != from; }, 2000);
    return to;
}

// What DM_GETDEFID answers, and whether that button has the default border.
struct DefaultButton {
    LRESULT answer = 0;
    bool has_border = false;
};

DefaultButton DefaultButtonOf(HWND window) {
    DefaultButton seen;
    seen.answer = SendMessageW(window, DM_GETDEFID, 0, 0);
    HWND button = GetDlgItem(window, LOWORD(seen.answer));
    seen.has_border = (GetWindowLongW(button, GWL_STYLE) & BS_TYPEMASK) == BS_DEFPUSHBUTTON;
    return seen;
}

// Screen readers name a box after the control before it, so labels precede boxes yet
// take no focus; DM_GETDEFID names the default button (Wine does not restore its border).
TEST_F(FormTest, BoxesFollowTheirLabelsAndTabKeepsItsOrder) {
    const struct {
        FormWindow window;
        int default_button;
        std::vector<int> boxes, before_boxes;  // each box, and the control just before it
        bool select_first;                     // a picked line enables Send
        int tab_from;
        std::vector<int> tab;  // where each Tab takes the focus
    } cases[] = {
        {kPicker,
         FrmWeb::kCmdSend,
         {FrmWeb::kList1},
         {FrmWeb::kLabel1},
         true,
         FrmWeb::kList1,
         {FrmWeb::kCmdSend, FrmWeb::kList1}},
        {kOptions,
         FrmOptions::kCmdOK,
         {FrmOptions::kTxtBefore, FrmOptions::kTxtAfter},
         {FrmOptions::kLabel1, FrmOptions::kLabel2},
         false,
         FrmOptions::kCmdOK,
         {FrmOptions::kOptShow0 + 2, FrmOptions::kTxtBefore, FrmOptions::kTxtAfter,
          FrmOptions::kCmdOK}},
        {kAbout, FrmAbout::kCmdOK, {}, {}, false, FrmAbout::kCmdOK, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.window.name);
        DefaultButton default_button;
        std::vector<int> before_boxes, tab;
        Open(c.window, [&](HWND w) {
            default_button = DefaultButtonOf(w);
            for (int box : c.boxes)
                before_boxes.push_back(GetDlgCtrlID(GetWindow(GetDlgItem(w, box), GW_HWNDPREV)));
            if (c.select_first) testing_ui::SelectItem(GetDlgItem(w, c.boxes[0]), 0);
            HWND at = GetDlgItem(w, c.tab_from);
            for (std::size_t i = 0; i < c.tab.size(); ++i) {
                at = PressTab(thread_, at);
                tab.push_back(GetDlgCtrlID(at));
            }
        });
        EXPECT_EQ(default_button.answer, MAKELONG(c.default_button, DC_HASDEFID));
        EXPECT_TRUE(default_button.has_border);
        EXPECT_EQ(before_boxes, c.before_boxes);
        EXPECT_EQ(tab, c.tab);
    }
}

// A stand-in for the conversation window the command was typed in, and another window
// of the host's, above it but not active: the one the system would activate next.
class HostWindows {
  public:
    explicit HostWindows(bool topmost)
        : conversation_(Make(topmost, L"conversation")), other_(Make(topmost, L"contacts")) {
        ShowWindow(conversation_, SW_SHOW);
        SetForegroundWindow(conversation_);
        ShowWindow(other_, SW_SHOWNOACTIVATE);
        SetWindowPos(other_, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    }
    ~HostWindows() {
        DestroyWindow(other_);
        DestroyWindow(conversation_);
    }
    HostWindows(const HostWindows&) = delete;
    HostWindows& operator=(const HostWindows&) = delete;
    HWND conversation() const { return conversation_; }
    HWND other() const { return other_; }

  private:
    static HWND Make(bool topmost, const wchar_t* title) {
        return CreateWindowExW(topmost ? WS_EX_TOPMOST : 0, L"STATIC", title, WS_POPUP, 40, 30, 320,
                               240, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    }
    HWND conversation_;
    HWND other_;
};

// Whether above comes before below in the z-order of the top-level windows.
bool IsAbove(HWND above, HWND below) {
    for (HWND w = GetTopWindow(nullptr); w; w = GetWindow(w, GW_HWNDNEXT)) {
        if (w == above) return true;
        if (w == below) return false;
    }
    return false;
}

void ExpectCentred(const RECT& frame, const RECT& work) {
    const LONG width = frame.right - frame.left, height = frame.bottom - frame.top;
    EXPECT_EQ(frame.left, work.left + (work.right - work.left - width) / 2);
    EXPECT_EQ(frame.top, work.top + (work.bottom - work.top - height) / 2);
}

// Ownerless windows open in front of the user's window, even a topmost one, centred on
// its monitor, and hand the foreground back on closing (Wine shows one monitor only).
TEST_F(FormTest, OpensInFrontOfTheForegroundWindowAndGivesItBack) {
    for (bool topmost : {true, false}) {
        SCOPED_TRACE(topmost ? "topmost conversation" : "plain conversation");
        for (const FormWindow& window : kAllWindows) {
            SCOPED_TRACE(window.name);
            HostWindows host(topmost);
            ASSERT_EQ(GetForegroundWindow(), host.conversation());
            ASSERT_TRUE(IsAbove(host.other(), host.conversation()));
            MONITORINFO monitor{};
            monitor.cbSize = sizeof monitor;
            GetMonitorInfoW(MonitorFromWindow(host.conversation(), MONITOR_DEFAULTTONEAREST),
                            &monitor);

            bool is_topmost = false, in_front = false, foreground = false;
            RECT frame{};
            Open(window, [&](HWND w) {
                is_topmost = (GetWindowLongW(w, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
                in_front = IsAbove(w, host.other());
                foreground = WaitFor([&] { return GetForegroundWindow() == w; }, 2000);
                GetWindowRect(w, &frame);
            });
            EXPECT_EQ(is_topmost, topmost);
            EXPECT_TRUE(in_front);
            EXPECT_TRUE(foreground);
            ExpectCentred(frame, monitor.rcWork);
            EXPECT_EQ(GetForegroundWindow(), host.conversation());
        }
    }
}

// The window of another_program_win32.cpp: foreground once started, topmost if asked.
class AnotherProgram {
  public:
    explicit AnotherProgram(bool topmost) {
        wchar_t path[MAX_PATH] = {};
        GetModuleFileNameW(nullptr, path, MAX_PATH);
        std::wstring command = path;
        command.erase(command.find_last_of(L'\\') + 1);
        command = L"\"" + command + L"ui_another_program.exe\"" + (topmost ? L"" : L" plain");
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                            &startup, &process_))
            return;
        WaitFor([&] { return (window_ = WindowOf(process_.dwProcessId)) != nullptr; }, 10000);
        if (window_) WaitFor([&] { return GetForegroundWindow() == window_; }, 5000);
    }
    ~AnotherProgram() {
        if (!process_.hProcess) return;
        if (window_) PostMessageW(window_, WM_CLOSE, 0, 0);
        if (WaitForSingleObject(process_.hProcess, 5000) != WAIT_OBJECT_0)
            TerminateProcess(process_.hProcess, 1);
        CloseHandle(process_.hThread);
        CloseHandle(process_.hProcess);
    }
    AnotherProgram(const AnotherProgram&) = delete;
    AnotherProgram& operator=(const AnotherProgram&) = delete;

    HWND window() const { return window_; }

    // As a click into it would: its window becomes the foreground window.
    bool TakeForeground() const {
        DWORD_PTR taken = 0;
        SendMessageTimeoutW(window_, WM_APP, 0, 0, SMTO_ABORTIFHUNG, 5000, &taken);
        return WaitFor([&] { return GetForegroundWindow() == window_; }, 5000);
    }

  private:
    struct Search {
        DWORD process_id;
        HWND found;
    };
    static BOOL CALLBACK Visit(HWND w, LPARAM data) {
        auto* search = reinterpret_cast<Search*>(data);
        DWORD owner = 0;
        GetWindowThreadProcessId(w, &owner);
        if (owner != search->process_id || !IsWindowVisible(w)) return TRUE;
        search->found = w;
        return FALSE;
    }
    static HWND WindowOf(DWORD process_id) {
        Search search{process_id, nullptr};
        EnumWindows(&Visit, reinterpret_cast<LPARAM>(&search));
        return search.found;
    }

    PROCESS_INFORMATION process_{};
    HWND window_ = nullptr;
};

bool IsTopmost(HWND window) { return (GetWindowLongW(window, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0; }

// A window of this process that another of its threads made and keeps.
class WindowOfAnotherThread {
  public:
    WindowOfAnotherThread()
        : thread_([this] {
              window_ = CreateWindowExW(WS_EX_TOPMOST, L"STATIC", L"another thread", WS_POPUP, 0, 0,
                                        10, 10, nullptr, nullptr, nullptr, nullptr);
              made_ = true;
              while (!done_) Sleep(10);
              DestroyWindow(window_);
          }) {
        WaitFor([&] { return made_.load(); });
    }
    ~WindowOfAnotherThread() {
        done_ = true;
        thread_.join();
    }
    WindowOfAnotherThread(const WindowOfAnotherThread&) = delete;
    WindowOfAnotherThread& operator=(const WindowOfAnotherThread&) = delete;
    HWND window() const { return window_; }

  private:
    std::atomic<bool> made_{false}, done_{false};
    HWND window_ = nullptr;
    std::thread thread_;
};

void ExpectPlacement(const Placement& seen, HWND beside, bool topmost, HWND give_back) {
    EXPECT_EQ(seen.beside, beside);
    EXPECT_EQ(seen.topmost, topmost);
    EXPECT_EQ(seen.give_back, give_back);
}

// Any thread's window of this process counts; a window that is gone does not.
TEST(PlacementTest, AWindowOfAnyThreadOfThisProcessCounts) {
    HostWindows host(false);
    HWND active = host.conversation();
    HWND gone = nullptr;
    {
        WindowOfAnotherThread of_another_thread;
        gone = of_another_thread.window();
        ASSERT_NE(gone, nullptr);
        ExpectPlacement(PlacementBeside(gone, active), gone, true, gone);
    }
    ASSERT_FALSE(IsWindow(gone));
    ExpectPlacement(PlacementBeside(gone, active), active, false, nullptr);
    ExpectPlacement(PlacementBeside(nullptr, active), active, false, nullptr);
}

// Another program took the foreground meanwhile: ours is not topmost, stays below it
// when it is, centres on the primary monitor and hands the foreground to no one.
TEST_F(FormTest, AnotherProgramsForegroundWindowIsNeitherFollowedOnTopNorGivenBack) {
    HostWindows host(false);
    MONITORINFO primary{};
    primary.cbSize = sizeof primary;
    GetMonitorInfoW(MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY), &primary);
    for (bool topmost : {true, false}) {
        SCOPED_TRACE(topmost ? "topmost window of another program" : "window of another program");
        AnotherProgram other(topmost);
        ASSERT_NE(other.window(), nullptr);
        ASSERT_EQ(IsTopmost(other.window()), topmost);
        ExpectPlacement(PlacementBeside(other.window(), host.conversation()), host.conversation(),
                        false, nullptr);
        for (const FormWindow& window : kAllWindows) {
            SCOPED_TRACE(window.name);
            ASSERT_TRUE(other.TakeForeground());
            bool is_topmost = true, below_other = false;
            RECT frame{};
            Open(window, [&](HWND w) {
                is_topmost = IsTopmost(w);
                below_other = IsAbove(other.window(), w);
                GetWindowRect(w, &frame);
                // The system activates the window next below a closing one: the host's,
                // so that a foreground that goes to the other program was handed to it.
                SetWindowPos(host.conversation(), w, 0, 0, 0, 0,
                             SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
            });
            EXPECT_FALSE(is_topmost);
            EXPECT_EQ(below_other, topmost);
            ExpectCentred(frame, primary.rcWork);
            EXPECT_NE(GetForegroundWindow(), other.window());
        }
    }
}

}  // namespace
}  // namespace tabulon
