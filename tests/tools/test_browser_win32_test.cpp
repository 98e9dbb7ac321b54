// testbrowser.exe as the page reader sees it: from this process, through oleacc's
// cross-process proxies, as it reads real browsers.
#include <windows.h>
#include <oleacc.h>
#include <wrl/client.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "common/variant_win32.h"
#include "testbrowser/stand_in_browsers_win32.h"

namespace tabulon {
namespace {

using Microsoft::WRL::ComPtr;
using ::testing::HasSubstr;
using testing::ScaledMilliseconds;
using testing::StandInBrowsers;

std::wstring Text(HWND hwnd, bool class_name) {
    wchar_t buffer[256] = {};
    if (class_name)
        GetClassNameW(hwnd, buffer, 256);
    else
        GetWindowTextW(hwnd, buffer, 256);
    return buffer;
}

// The root object for OBJID_CLIENT, or nullptr when the window gives none in time.
ComPtr<IAccessible> ClientObject(HWND hwnd, DWORD timeout = ScaledMilliseconds(10000)) {
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutW(hwnd, WM_GETOBJECT, 0, OBJID_CLIENT, SMTO_ABORTIFHUNG, timeout,
                             &result) ||
        !result)
        return nullptr;
    ComPtr<IAccessible> object;
    EXPECT_HRESULT_SUCCEEDED(ObjectFromLresult(static_cast<LRESULT>(result), __uuidof(IAccessible),
                                               0, reinterpret_cast<void**>(object.GetAddressOf())));
    return object;
}

// A text property: nothing when absent (S_FALSE), else the text.
std::optional<std::wstring> Read(IAccessible* object, LONG child,
                                 HRESULT (STDMETHODCALLTYPE IAccessible::*get)(VARIANT, BSTR*)) {
    BSTR text = nullptr;
    const HRESULT hr = (object->*get)(LongVariant(child), &text);
    std::optional<std::wstring> result;
    if (hr == S_OK && text) result.emplace(text, SysStringLen(text));
    EXPECT_TRUE(hr == S_OK ? text != nullptr : hr == S_FALSE && !text) << std::hex << hr;
    SysFreeString(text);
    return result;
}

// The tree below object as scenario lines, read the way a client walks a browser:
// AccessibleChildren, objects asked directly, simple children through their parent.
void Dump(IAccessible* object, LONG child, int depth, std::string& out) {
    auto utf8 = [](const std::wstring& w) {
        std::string s(
            static_cast<std::size_t>(WideCharToMultiByte(
                CP_UTF8, 0, w.data(), static_cast<int>(w.size()), nullptr, 0, nullptr, nullptr)),
            '\0');
        WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), s.data(),
                            static_cast<int>(s.size()), nullptr, nullptr);
        return s;
    };
    Variant role, state;
    ASSERT_HRESULT_SUCCEEDED(object->get_accRole(LongVariant(child), role.put()));
    ASSERT_HRESULT_SUCCEEDED(object->get_accState(LongVariant(child), state.put()));
    ASSERT_EQ(role.vt(), VT_I4);
    ASSERT_EQ(state.vt(), VT_I4);
    out += std::string(static_cast<std::size_t>(depth) * 2, ' ') + std::to_string(role->lVal);
    const std::pair<const char*, decltype(&IAccessible::get_accName)> texts[] = {
        {"name", &IAccessible::get_accName},
        {"value", &IAccessible::get_accValue},
        {"shortcut", &IAccessible::get_accKeyboardShortcut},
        {"description", &IAccessible::get_accDescription}};
    for (const auto& [key, get] : texts)
        if (const auto text = Read(object, child, get))
            out += std::string(" ") + key + "=\"" + utf8(*text) + "\"";
    if (state->lVal) {
        char hex[16];
        wsprintfA(hex, "%lx", static_cast<unsigned long>(state->lVal));
        out += std::string(" state=0x") + hex;
    }
    if (child != CHILDID_SELF) {
        out += " simple\n";
        return;
    }
    out += "\n";
    LONG count = 0;
    ASSERT_HRESULT_SUCCEEDED(object->get_accChildCount(&count));
    if (count == 0) return;  // AccessibleChildren takes no empty array
    std::vector<VARIANT> children(static_cast<std::size_t>(count));
    LONG obtained = 0;
    ASSERT_HRESULT_SUCCEEDED(AccessibleChildren(object, 0, count, children.data(), &obtained));
    ASSERT_EQ(obtained, count);
    for (VARIANT& c : children) {
        if (c.vt == VT_DISPATCH) {
            ComPtr<IAccessible> element;
            ASSERT_HRESULT_SUCCEEDED(c.pdispVal->QueryInterface(IID_PPV_ARGS(&element)));
            Dump(element.Get(), CHILDID_SELF, depth + 1, out);
        } else {
            ASSERT_EQ(c.vt, VT_I4);
            Dump(object, c.lVal, depth + 1, out);
        }
        VariantClear(&c);
    }
}

std::string Dump(IAccessible* root) {
    std::string out;
    Dump(root, CHILDID_SELF, 1, out);
    return out;
}

TEST(TestBrowser, WindowsComeWithClassTitleVisibilityAndZOrder) {
    StandInBrowsers browsers(
        "# the first window is the top one\n"
        "window Chrome_WidgetWin_1 \"Example Domain - Google Chrome\"\n"
        "  client\n"
        "\n"
        "window MozillaWindowClass \"Tab \\\"two\\\" \xE2\x80\x93 Mozilla\" hidden\n"
        "window Chrome_WidgetWin_1 \"Third\"\r\n");
    const std::vector<HWND> windows = browsers.Windows();
    ASSERT_EQ(windows.size(), 3u);
    EXPECT_EQ(Text(windows[0], true), L"Chrome_WidgetWin_1");
    EXPECT_EQ(Text(windows[0], false), L"Example Domain - Google Chrome");
    EXPECT_EQ(Text(windows[1], true), L"MozillaWindowClass");
    EXPECT_EQ(Text(windows[1], false), L"Tab \"two\" \u2013 Mozilla");
    EXPECT_EQ(Text(windows[2], false), L"Third");
    EXPECT_TRUE(IsWindowVisible(windows[0]));
    EXPECT_FALSE(IsWindowVisible(windows[1]));
    EXPECT_TRUE(IsWindowVisible(windows[2]));
    EXPECT_FALSE(GetWindow(windows[0], GW_OWNER));
    // A window without elements answers nothing.
    EXPECT_TRUE(ClientObject(windows[0]));
    EXPECT_FALSE(ClientObject(windows[2]));

    // Closing the last window ends the process, as closing a browser does.
    for (HWND window : windows) PostMessageW(window, WM_CLOSE, 0, 0);
    ASSERT_TRUE(browsers.WaitForExit(ScaledMilliseconds(5000)));
    DWORD code = 1;
    EXPECT_TRUE(GetExitCodeProcess(browsers.Process(), &code));
    EXPECT_EQ(code, 0u);
}

// The same tree read through either of AccessibleChildren's paths.
TEST(TestBrowser, TreeReadsBackAsWritten) {
    const std::string tree =
        "  client\n"
        "    toolbar\n"
        "      text shortcut=\"Ctrl+L\" value=\"example.com\" name=\"Address and search bar\"\n"
        "    pagetablist\n"
        "      pagetab name=\"Example Domain\" state=selected,focusable\n"
        "      pagetab name=\"\xC3\x84rger \\\\ \\\"quoted\\\"\" state=0x100000 simple\n"
        "      listitem name=\"\" value=\"x\" repeat=3 simple\n"
        "    grouping nest=2 description=\"deep\"\n"
        "      1234 name=\"numbered\"\n"
        "    document name=\"Example Domain\" value=\"https://example.com/\"\n";
    const std::string expected =
        "  10\n"
        "    22\n"
        "      42 name=\"Address and search bar\" value=\"example.com\" shortcut=\"Ctrl+L\"\n"
        "    60\n"
        "      37 name=\"Example Domain\" state=0x100002\n"
        "      37 name=\"\xC3\x84rger \\ \"quoted\"\" state=0x100000 simple\n"
        "      34 name=\"\" value=\"x\" simple\n"
        "      34 name=\"\" value=\"x\" simple\n"
        "      34 name=\"\" value=\"x\" simple\n"
        "    20\n"
        "      20\n"
        "        20 description=\"deep\"\n"
        "          1234 name=\"numbered\"\n"
        "    15 name=\"Example Domain\" value=\"https://example.com/\"\n";
    StandInBrowsers browsers("window Chrome_WidgetWin_1 \"plain\"\n" + tree +
                             "window Chrome_WidgetWin_1 \"enumerating\" enum\n" + tree);
    const std::vector<HWND> windows = browsers.Windows();
    ASSERT_EQ(windows.size(), 2u);
    for (int i = 0; i < 2; ++i) {
        SCOPED_TRACE(i ? "enum" : "plain");
        ComPtr<IAccessible> root = ClientObject(windows[static_cast<std::size_t>(i)]);
        ASSERT_TRUE(root);
        ComPtr<IEnumVARIANT> enumerator;
        EXPECT_EQ(SUCCEEDED(root.As(&enumerator)), i == 1);
        EXPECT_EQ(Dump(root.Get()), expected);
    }
}

TEST(TestBrowser, ElementsAnswerHostileAndOddCallsSafely) {
    StandInBrowsers browsers(
        "window Chrome_WidgetWin_1 \"t\"\n"
        "  client name=\"root\"\n"
        "    pagetablist count=7 rolebstr\n"
        "      pagetab name=\"only\" simple\n");
    ComPtr<IAccessible> root = ClientObject(browsers.Windows().at(0));
    ASSERT_TRUE(root);
    ComPtr<IDispatch> dispatch;
    ASSERT_EQ(root->get_accChild(LongVariant(1), &dispatch), S_OK);
    ComPtr<IAccessible> list;
    ASSERT_HRESULT_SUCCEEDED(dispatch.As(&list));

    LONG count = 0;
    EXPECT_EQ(list->get_accChildCount(&count), S_OK);
    EXPECT_EQ(count, 7);
    Variant role;
    EXPECT_EQ(list->get_accRole(LongVariant(CHILDID_SELF), role.put()), S_OK);
    EXPECT_EQ(role.vt(), VT_BSTR);
    EXPECT_EQ(list->get_accRole(LongVariant(1), role.put()), S_OK);
    EXPECT_EQ(role.vt(), VT_I4);

    ComPtr<IDispatch> none;
    EXPECT_EQ(list->get_accChild(LongVariant(1), &none), S_FALSE);  // simple
    EXPECT_FALSE(none);
    ComPtr<IDispatch> parent;
    ASSERT_EQ(list->get_accParent(&parent), S_OK);
    ComPtr<IAccessible> back;
    ASSERT_HRESULT_SUCCEEDED(parent.As(&back));
    EXPECT_EQ(Read(back.Get(), CHILDID_SELF, &IAccessible::get_accName), L"root");
    EXPECT_EQ(root->get_accParent(&parent), S_FALSE);

    BSTR text = nullptr;
    for (LONG bad : {-1, 2, 7, 0x7FFFFFFF}) {
        EXPECT_EQ(list->get_accName(LongVariant(bad), &text), E_INVALIDARG) << bad;
        EXPECT_EQ(list->get_accChild(LongVariant(bad), &none), E_INVALIDARG) << bad;
    }
    EXPECT_EQ(list->get_accChild(LongVariant(CHILDID_SELF), &none), E_INVALIDARG);
    VARIANT wrong_type;
    VariantInit(&wrong_type);
    wrong_type.vt = VT_R8;
    wrong_type.dblVal = 1.0;
    EXPECT_EQ(list->get_accName(wrong_type, &text), E_INVALIDARG);
    EXPECT_FALSE(text);
    // Still serving after all that.
    EXPECT_EQ(Read(list.Get(), 1, &IAccessible::get_accName), L"only");
}

TEST(TestBrowser, RefusingAndHungWindowsLeaveTheOthersServing) {
    StandInBrowsers browsers(
        "window Chrome_WidgetWin_1 \"refusing\" refuse\n"
        "  client\n"
        "window MozillaWindowClass \"hung\" hang\n"
        "  client\n"
        "window Chrome_WidgetWin_1 \"fine\"\n"
        "  client name=\"fine\"\n");
    const std::vector<HWND> windows = browsers.Windows();
    ASSERT_EQ(windows.size(), 3u);

    DWORD_PTR result = 1;
    EXPECT_TRUE(SendMessageTimeoutW(windows[0], WM_GETOBJECT, 0, OBJID_CLIENT, SMTO_ABORTIFHUNG,
                                    ScaledMilliseconds(10000), &result));
    EXPECT_EQ(result, 0u);

    EXPECT_TRUE(IsWindowVisible(windows[1]));
    const ULONGLONG start = GetTickCount64();
    EXPECT_FALSE(SendMessageTimeoutW(windows[1], WM_GETOBJECT, 0, OBJID_CLIENT, SMTO_ABORTIFHUNG,
                                     200, &result));
    EXPECT_LT(GetTickCount64() - start, ScaledMilliseconds(1500));

    ComPtr<IAccessible> fine = ClientObject(windows[2]);
    ASSERT_TRUE(fine);
    EXPECT_EQ(Read(fine.Get(), CHILDID_SELF, &IAccessible::get_accName), L"fine");
}

TEST(TestBrowser, StallingFailingAndExitingElements) {
    StandInBrowsers browsers(
        "window Chrome_WidgetWin_1 \"t\"\n"
        "  client name=\"root\"\n"
        "    document name=\"slow\" stall=400\n"
        "    document name=\"broken\" fail\n"
        "    document name=\"last\" exit\n");
    ComPtr<IAccessible> root = ClientObject(browsers.Windows().at(0));
    ASSERT_TRUE(root);
    VARIANT children[3];
    LONG obtained = 0;
    ASSERT_EQ(AccessibleChildren(root.Get(), 0, 3, children, &obtained), S_OK);
    ASSERT_EQ(obtained, 3);
    ComPtr<IAccessible> elements[3];
    for (int i = 0; i < 3; ++i) {
        ASSERT_EQ(children[i].vt, VT_DISPATCH);
        ASSERT_HRESULT_SUCCEEDED(children[i].pdispVal->QueryInterface(IID_PPV_ARGS(&elements[i])));
        VariantClear(&children[i]);
    }
    IAccessible* const slow = elements[0].Get();
    IAccessible* const broken = elements[1].Get();
    IAccessible* const last = elements[2].Get();

    const ULONGLONG start = GetTickCount64();
    EXPECT_EQ(Read(slow, CHILDID_SELF, &IAccessible::get_accName), L"slow");
    EXPECT_GE(GetTickCount64() - start, 390u);

    BSTR text = nullptr;
    EXPECT_EQ(broken->get_accName(LongVariant(CHILDID_SELF), &text), E_FAIL);
    LONG count = 0;
    EXPECT_EQ(broken->get_accChildCount(&count), E_FAIL);

    EXPECT_FALSE(browsers.Exited());
    EXPECT_HRESULT_FAILED(last->get_accName(LongVariant(CHILDID_SELF), &text));
    EXPECT_FALSE(text);
    EXPECT_TRUE(browsers.WaitForExit(ScaledMilliseconds(5000)));
}

// Sizes a client must cope with. Every full object costs a few cross-process calls
// under Wine (milliseconds each): the wide list is of simple elements.
TEST(TestBrowser, RepeatAndNestMakeWideAndDeepTrees) {
    StandInBrowsers browsers(
        "window Chrome_WidgetWin_1 \"wide\" enum\n"
        "  pagetablist\n"
        "    pagetab name=\"tab\" repeat=5000 simple\n"
        "window Chrome_WidgetWin_1 \"deep\"\n"
        "  grouping nest=200\n"
        "    document name=\"bottom\"\n");
    const std::vector<HWND> windows = browsers.Windows();
    ASSERT_EQ(windows.size(), 2u);

    ComPtr<IAccessible> wide = ClientObject(windows[0]);
    ASSERT_TRUE(wide);
    std::vector<VARIANT> tabs(5001);
    LONG obtained = 0;
    EXPECT_EQ(AccessibleChildren(wide.Get(), 0, 5001, tabs.data(), &obtained), S_FALSE);
    ASSERT_EQ(obtained, 5000);
    EXPECT_EQ(tabs[4999].vt, VT_I4);
    EXPECT_EQ(tabs[4999].lVal, 5000);
    EXPECT_EQ(Read(wide.Get(), 5000, &IAccessible::get_accName), L"tab");

    ComPtr<IAccessible> level = ClientObject(windows[1]);
    int depth = 0;
    for (; level; ++depth) {
        LONG count = 0;
        ASSERT_HRESULT_SUCCEEDED(level->get_accChildCount(&count));
        if (count == 0) break;
        ASSERT_EQ(count, 1);
        ComPtr<IDispatch> child;
        ASSERT_EQ(level->get_accChild(LongVariant(1), &child), S_OK) << depth;
        ASSERT_HRESULT_SUCCEEDED(child.As(&level));
    }
    EXPECT_EQ(depth, 201);
    ASSERT_TRUE(level);
    EXPECT_EQ(Read(level.Get(), CHILDID_SELF, &IAccessible::get_accName), L"bottom");
}

TEST(TestBrowser, MalformedScenariosEndWithCodeTwoAndTheLine) {
    const struct {
        const char* scenario;
        const char* says;
    } cases[] = {
        {"  client\n", "line 1"},
        {"window Chrome_WidgetWin_1\n", "line 1"},
        {"window C \"t\" sideways\n", "line 1"},
        {"window C \"t\"\n  client\n  client\n", "line 3"},
        {"window C \"t\"\n  client\n      text\n", "line 3"},
        {"window C \"t\"\n   client\n", "line 2"},
        {"window C \"t\"\n  client\n    text state=shiny\n", "line 3"},
        {"window C \"t\"\n  client\n    text name=\"open\n", "line 3"},
        {"window C \"t\"\n  client\n    text name=\"a\\n\"\n", "line 3"},
        {"window C \"t\"\n  client\n    text stall=soon\n", "line 3"},
        {"window C \"t\"\n  client\n    text repeat=0\n", "line 3"},
        {"window C \"t\"\n  client\n    spaceship\n", "line 3"},
        {"window C \"t\"\n  client\n    text name=\"\xC3\"\n", "line 3"},
        {"window C \"t\"\n  client\n    list simple\n      listitem\n", "line 3"},
        {"window C \"t\"\n  client simple\n", "line 2"},
    };
    for (const auto& c : cases) {
        const StandInBrowsers::Outcome outcome = StandInBrowsers::RunRefused(c.scenario);
        EXPECT_EQ(outcome.exit_code, 2u) << c.scenario;
        EXPECT_THAT(outcome.error_output, HasSubstr(c.says)) << c.scenario;
    }
}

}  // namespace
}  // namespace tabulon
