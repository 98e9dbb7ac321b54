// The options and about dialogs as a user meets them, with the settings in the
// test prefix's registry and a second thread reading and pressing the controls.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <optional>
#include <vector>

#include "ui/frm_about_win32.h"
#include "ui/frm_options_win32.h"
#include "ui_windows_support_win32.h"
#include "window_driver_win32.h"

namespace tabulon {
namespace {

using namespace testing_ui;
using testing_ui::TwipsToPixels;  // the tests' own, not the product's

// A control as laid out, in twips; a null face is the platform's default font.
struct Expected {
    int id;
    const wchar_t* window_class;
    const char16_t* text;
    int left, top, width, height;
    const wchar_t* face;
    int hundredths_of_point;
};

struct DialogView {
    SIZE client{};
    std::vector<ControlView> controls;
    HWND focus = nullptr;
    HWND ok = nullptr;
    std::vector<bool> checked;  // options only
    int logo_id = 0;
    SIZE logo{};
};

DialogView LookAt(HWND window, DWORD owner, const std::vector<Expected>& expected, int logo_id) {
    DialogView v;
    v.client = testing_ui::ClientSize(window);
    for (const Expected& e : expected) v.controls.push_back(ViewControl(GetDlgItem(window, e.id)));
    v.focus = FocusOfThread(owner);
    v.ok = GetDlgItem(window, IDOK);
    for (int i = 0; i < 3; ++i)
        v.checked.push_back(IsDlgButtonChecked(window, FrmOptions::kOptShow0 + i) == BST_CHECKED);
    v.logo_id = logo_id;
    auto bitmap = reinterpret_cast<HBITMAP>(
        SendDlgItemMessageW(window, logo_id, STM_GETIMAGE, IMAGE_BITMAP, 0));
    BITMAP bm{};
    if (bitmap && GetObjectW(bitmap, sizeof bm, &bm)) v.logo = SIZE{bm.bmWidth, bm.bmHeight};
    return v;
}

// Checks the layout at the screen's resolution: twips become pixels, fonts scale,
// the logo keeps its own 118 x 73 pixels, centred in its box.
void ExpectLayout(const DialogView& v, const std::vector<Expected>& expected, int client_width,
                  int client_height) {
    const int dpi = ScreenDpi();
    ASSERT_EQ(v.controls.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        const Expected& e = expected[i];
        const ControlView& c = v.controls[i];
        SCOPED_TRACE("control " + std::to_string(e.id));
        EXPECT_EQ(c.window_class, e.window_class);
        if (e.text) {
            EXPECT_EQ(c.text, e.text);
        }
        if (e.face) {
            EXPECT_EQ(c.font_face, e.face);
            EXPECT_TRUE(c.font_plain);
            EXPECT_EQ(c.font_height, FontHeight(e.hundredths_of_point, dpi));
        }
        EXPECT_TRUE(c.visible);
        RECT want = TwipsToPixels(e.left, e.top, e.width, e.height, dpi);
        if (e.id == v.logo_id) {
            OffsetRect(&want, (want.right - want.left - 118) / 2,
                       (want.bottom - want.top - 73) / 2);
            want.right = want.left + 118;
            want.bottom = want.top + 73;
        }
        EXPECT_EQ(Corners(c.rect), Corners(want));
    }
    EXPECT_EQ(v.client.cx, TwipsToPixels(client_width, dpi));
    EXPECT_EQ(v.client.cy, TwipsToPixels(client_height, dpi));
    EXPECT_EQ(v.focus, v.ok) << "OK has the focus when the dialog opens";
    EXPECT_EQ(v.logo.cx, 118);
    EXPECT_EQ(v.logo.cy, 73);
}

const std::vector<Expected> kOptionsLayout = {
    {FrmOptions::kImage1, L"Static", nullptr, 1320, 30, 1770, 1095, nullptr, 0},
    {FrmOptions::kLabel3, L"Static", u"Tabulon v1.1", 60, 1155, 4215, 345, L"Tahoma", 1425},
    {FrmOptions::kLabel1, L"Static", u"Text Before:", 105, 1860, 1110, 270, L"Verdana", 825},
    {FrmOptions::kTxtBefore, L"Edit", nullptr, 1230, 1830, 2985, 300, L"Verdana", 675},
    {FrmOptions::kOptShow0, L"Button", u"Show Just Website Title", 945, 2340, 2475, 270, L"Verdana",
     825},
    {FrmOptions::kOptShow0 + 1, L"Button", u"Show Just Website URL", 945, 2700, 2490, 270,
     L"Verdana", 825},
    {FrmOptions::kOptShow0 + 2, L"Button", u"Show Both Title and URL", 945, 3075, 2670, 270,
     L"Verdana", 825},
    {FrmOptions::kLabel2, L"Static", u"Text After:", 120, 3585, 1110, 270, L"Verdana", 825},
    {FrmOptions::kTxtAfter, L"Edit", nullptr, 1245, 3555, 2985, 300, L"Verdana", 675},
    {FrmOptions::kCmdOK, L"Button", u"&OK", 1725, 4005, 870, 315, nullptr, 0},
};

class FrmOptionsTest : public WindowTest {
  protected:
    static std::vector<Text> Stored() {
        std::vector<Text> values;
        for (TextView key : {u"Show", u"Before", u"After"}) values.push_back(StoredSetting(key));
        return values;
    }

    static std::optional<Failure> Open(std::function<void(HWND)> script) {
        return ShowWhile(
            L"Tabulon Options", [] { FrmOptions::ForThread().ShowModal(); }, std::move(script));
    }
};

TEST_F(FrmOptionsTest, OpensWithTheStoredSettingsAndOkSavesThemAgain) {
    DialogView seen;
    Text before, after;
    EXPECT_FALSE(Open([&](HWND w) {
        seen = LookAt(w, thread_, kOptionsLayout, FrmOptions::kImage1);
        before = ViewControl(GetDlgItem(w, FrmOptions::kTxtBefore)).text;
        after = ViewControl(GetDlgItem(w, FrmOptions::kTxtAfter)).text;
        Click(GetDlgItem(w, FrmOptions::kCmdOK));
    }));
    ExpectLayout(seen, kOptionsLayout, 4320, 4455);
    EXPECT_EQ(seen.checked, (std::vector<bool>{false, false, true}));
    // Tab order: form_win32_test presses Tab through it.
    EXPECT_EQ(before, u"I'm currently browsing:");
    EXPECT_EQ(after, u"");
    EXPECT_EQ(Stored(), (std::vector<Text>{u" 2", u"I'm currently browsing:", u""}));
}

TEST_F(FrmOptionsTest, SavesTheChosenOptionAndTheTextsAsTyped) {
    struct Case {
        const char* name;
        int option;  // clicked before OK, -1 for none
        const char16_t* before;
        const char16_t* after;
        std::vector<Text> stored;
    };
    const Case cases[] = {
        {"address only", 1, nullptr, nullptr, {u" 1", u"I'm currently browsing:", u""}},
        {"title only, texts", 0, u"  Look:", u"bye ", {u" 0", u"  Look:", u"bye "}},
        {"emptied boxes", -1, u"", u"", {u" 2", u"", u""}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Seed(u"2", u"I'm currently browsing:", u"");
        std::vector<bool> checked;
        EXPECT_FALSE(Open([&](HWND w) {
            if (c.option >= 0) Click(GetDlgItem(w, FrmOptions::kOptShow0 + c.option));
            if (c.before) TypeText(GetDlgItem(w, FrmOptions::kTxtBefore), c.before);
            if (c.after) TypeText(GetDlgItem(w, FrmOptions::kTxtAfter), c.after);
            for (int i = 0; i < 3; ++i)
                checked.push_back(IsDlgButtonChecked(w, FrmOptions::kOptShow0 + i) == BST_CHECKED);
            Click(GetDlgItem(w, FrmOptions::kCmdOK));
        }));
        const int chosen = c.option >= 0 ? c.option : 2;
        for (int i = 0; i < 3; ++i) EXPECT_EQ(checked[i], i == chosen) << "one option at a time";
        EXPECT_EQ(Stored(), c.stored);
    }
}

TEST_F(FrmOptionsTest, ClosingWithoutOkSavesNothing) {
    Seed(u"0", u"Before", u"After");
    for (UINT how : {WM_CLOSE, WM_KEYDOWN}) {
        EXPECT_FALSE(Open([&](HWND w) {
            Click(GetDlgItem(w, FrmOptions::kOptShow0 + 2));
            TypeText(GetDlgItem(w, FrmOptions::kTxtBefore), u"edited");
            if (how == WM_CLOSE)
                PostMessageW(w, WM_CLOSE, 0, 0);
            else
                testing_ui::PressKey(GetDlgItem(w, FrmOptions::kTxtBefore), VK_ESCAPE);
        }));
        EXPECT_EQ(Stored(), (std::vector<Text>{u"0", u"Before", u"After"}));
    }
}

TEST_F(FrmOptionsTest, ModeWithoutAnOptionFailsWithoutShowing) {
    for (TextView show : {u"3", u"-1", u"abc"}) {
        SCOPED_TRACE(ToUtf8(show));
        Seed(show, u"B", u"A");
        const std::optional<Failure> failure =
            FailureOf([] { FrmOptions::ForThread().ShowModal(); });
        ASSERT_TRUE(failure.has_value());
        EXPECT_FALSE(failure->description().empty());
        EXPECT_EQ(FindWindowW(nullptr, L"Tabulon Options"), nullptr);
        EXPECT_EQ(Stored(), (std::vector<Text>{Text(show), u"B", u"A"}));
    }
}

const std::vector<Expected> kAboutLayout = {
    {FrmAbout::kImage1, L"Static", nullptr, 1260, 0, 1770, 1095, nullptr, 0},
    {FrmAbout::kLabel3, L"Static", u"Tabulon v1.1", 38, 1125, 4215, 345, L"Tahoma", 1425},
    {FrmAbout::kLabel1, L"Static",
     u"Tabulon lets you easily tell your MSN contacts what websites your are currently viewing "
     u"in IE.",
     518, 1680, 3255, 780, L"Verdana", 825},
    {FrmAbout::kLabel2, L"Static", u"Thanks to Zindle for the logo", 878, 2445, 2535, 195,
     L"Verdana", 825},
    {FrmAbout::kLabel4, L"Static",
     u"Visit www.quenlar.example for news and updates and other software by Quenlar", 345, 2820,
     3600, 465, L"Verdana", 825},
    {FrmAbout::kLabel5, L"Static",
     u"web  -  www.quenlar.example                                   msn  -  "
     u"messenger@quenlar.example    email  -  mail@quenlar.example",
     540, 3465, 4065, 585, L"Verdana", 675},
    {FrmAbout::kCmdOK, L"Button", u"&OK", 1575, 4230, 1095, 390, nullptr, 0},
};

TEST(FrmAboutTest, ShowsItsTextsAndOkCloses) {
    const DWORD thread = GetCurrentThreadId();
    for (bool by_key : {false, true}) {
        DialogView seen;
        EXPECT_FALSE(ShowWhile(
            L"About Tabulon", [] { FrmAbout::ForThread().ShowModal(); },
            [&](HWND w) {
                seen = LookAt(w, thread, kAboutLayout, FrmAbout::kImage1);
                if (by_key)
                    testing_ui::PressKey(GetDlgItem(w, FrmAbout::kCmdOK), VK_RETURN);
                else
                    Click(GetDlgItem(w, FrmAbout::kCmdOK));
            }));
        ExpectLayout(seen, kAboutLayout, 4245, 4785);
    }
}

}  // namespace
}  // namespace tabulon
