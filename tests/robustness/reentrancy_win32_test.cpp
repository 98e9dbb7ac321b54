// Commands that reach the plug-in while one of its windows is shown. The host is
// single-threaded, so they come from the window's own modal loop: a helper window on
// the same thread sends the four commands, then closes the window. The command whose
// window is open is refused (ERROR_BUSY, sResult kept); the others work as usual, and
// the outer command ends normally, even when the host releases the plug-in meanwhile.
#include <windows.h>

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "common/bstr_win32.h"
#include "plugin_fixture_win32.h"
#include "raw_invoke_win32.h"
#include "testshell/test_shell.h"

namespace tabulon::testing {
namespace {

namespace shell = testshell;

constexpr UINT kRunNested = WM_APP + 1;
constexpr UINT kCloseWindow = WM_APP + 2;  // wparam: index into kCommands
constexpr UINT kReleasePlugin = WM_APP + 3;
constexpr UINT_PTR kWatchdog = 1;
constexpr HRESULT kBusy = HRESULT_FROM_WIN32(ERROR_BUSY);
constexpr char16_t kReport[] = u"B\r\n\r\nT\r\n\r\n";

struct Command {
    const char16_t* text;
    const wchar_t* caption;  // of the window it opens, or none
};
const Command kCommands[] = {
    {u"/xweb", L"Tabulon"},
    {u"/xweball", nullptr},
    {u"/xweboptions", L"Tabulon Options"},
    {u"/xwebabout", L"About Tabulon"},
};

struct Record {
    HRESULT hr = E_FAIL;
    HRESULT scode = S_OK;
    bool result = false;
    Text text;
    bool operator==(const Record&) const = default;
};
void PrintTo(const Record& r, std::ostream* os) {
    *os << std::hex << r.hr << " (" << r.scode << ") " << r.result << " \"" << ToUtf8(r.text)
        << '"';
}
const Record kRefused{DISP_E_EXCEPTION, kBusy, false, u"kept"};

// What the helper window works with; one test at a time.
struct Context {
    late_bound::Object* plugin = nullptr;
    int outer = 0;  // index of the window that is open
    std::vector<Record> nested;
    std::vector<bool> closed;  // per kCommands: a window of that caption was found and closed
    bool watchdog_fired = false;
    IDispatch* release_me = nullptr;
};
Context g_context;

HWND FindForm(const wchar_t* caption) { return FindWindowW(L"TabulonForm", caption); }

Record Send(const late_bound::Object& plugin, TextView command) {
    const CommandResult sent = SendCommand(plugin, command, u"kept");
    return {sent.outcome.hr, sent.outcome.scode, sent.outcome.Boolean(), sent.text};
}

LRESULT CALLBACK HelperProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
    Context& c = g_context;
    switch (message) {
        case kRunNested:
            for (int i = 0; i < 4; ++i) {
                // A command that opens another window gets that window closed from
                // inside its own modal loop.
                if (kCommands[i].caption && i != c.outer) PostMessageW(hwnd, kCloseWindow, i, 0);
                c.nested.push_back(Send(*c.plugin, kCommands[i].text));
            }
            PostMessageW(hwnd, kCloseWindow, c.outer, 0);
            return 0;
        case kCloseWindow:
            if (HWND form = FindForm(kCommands[wparam].caption)) {
                c.closed[wparam] = true;
                SendMessageW(form, WM_CLOSE, 0, 0);
            }
            return 0;
        case kReleasePlugin:
            c.release_me->Release();
            c.release_me = nullptr;
            PostMessageW(hwnd, kCloseWindow, c.outer, 0);
            return 0;
        case WM_TIMER:
            // Something went wrong: close whatever is open so the test fails, not hangs.
            c.watchdog_fired = true;
            while (HWND form = FindForm(nullptr)) SendMessageW(form, WM_CLOSE, 0, 0);
            return 0;
        default:
            return DefWindowProcW(hwnd, message, wparam, lparam);
    }
}

class Reentrancy : public InitializedPluginTest {
  protected:
    void Arrange() override {
        ShowOneBrowserPage(u"T", u"U");
        StoreSetting(L"Show", u"0");
        StoreSetting(L"Before", u"B");

        WNDCLASSW wc{};
        wc.lpfnWndProc = HelperProc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"TabulonReentrancyHelper";
        RegisterClassW(&wc);
        helper_ = CreateWindowExW(0, wc.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                  wc.hInstance, nullptr);
        ASSERT_NE(helper_, nullptr);
        SetTimer(helper_, kWatchdog, 10000, nullptr);
        g_context = Context{};
        g_context.plugin = &plugin_;
        g_context.closed.assign(4, false);
    }
    void TearDown() override {
        if (helper_) DestroyWindow(helper_);
        EXPECT_FALSE(g_context.watchdog_fired) << "a window had to be closed by the watchdog";
        EXPECT_EQ(FindForm(nullptr), nullptr) << "no window of the plug-in is left";
        PluginTest::TearDown();
    }

    HWND helper_ = nullptr;
};

TEST_F(Reentrancy, CommandsFromInsideEachWindow) {
    for (int outer : {0, 2, 3}) {
        SCOPED_TRACE(ToUtf8(kCommands[outer].text));
        g_context.outer = outer;
        g_context.nested.clear();
        g_context.closed.assign(4, false);
        PostMessageW(helper_, kRunNested, 0, 0);
        EXPECT_EQ(Send(plugin_, kCommands[outer].text), (Record{S_OK, S_OK, true, u""}))
            << "the picker was closed without a pick";
        ASSERT_EQ(g_context.nested.size(), 4u);
        for (int i = 0; i < 4; ++i) {
            SCOPED_TRACE(ToUtf8(kCommands[i].text));
            EXPECT_EQ(g_context.nested[i],
                      (i == outer ? kRefused : Record{S_OK, S_OK, true, i == 1 ? kReport : u""}));
            if (i != outer && kCommands[i].caption) {
                EXPECT_TRUE(g_context.closed[i]) << "it was shown";
            }
        }
        EXPECT_TRUE(g_context.closed[outer]);
    }

    // The same plug-in serves later commands as before.
    const Record after = Send(plugin_, u"/xweball");
    EXPECT_EQ(after.hr, S_OK);
    EXPECT_EQ(after.text, kReport);
}

// A second plugin object on the same thread shares the windows: it is refused the
// open one too.
TEST_F(Reentrancy, ASecondPluginObjectSharesTheWindows) {
    late_bound::Object second = CreatePlugin();
    g_context.plugin = &second;
    g_context.outer = 3;
    PostMessageW(helper_, kRunNested, 0, 0);
    const Record r = Send(plugin_, u"/xwebabout");
    EXPECT_EQ(r.hr, S_OK);
    ASSERT_EQ(g_context.nested.size(), 4u);
    EXPECT_EQ(g_context.nested[3].scode, kBusy);
    EXPECT_EQ(g_context.nested[1].text, kReport);
    EXPECT_EQ(second.Reset(), 0u);
}

// The host lets go of the plug-in while the plug-in's window is shown: the call in
// progress still ends normally.
TEST_F(Reentrancy, ThePluginIsReleasedWhileItsWindowIsShown) {
    for (int outer : {0, 2, 3}) {
        SCOPED_TRACE(ToUtf8(kCommands[outer].text));
        late_bound::Object created = CreatePlugin();
        IDispatch* raw = created.get();
        raw->AddRef();
        created.Reset();  // raw holds the only reference; the helper releases it
        g_context.release_me = raw;
        g_context.outer = outer;
        PostMessageW(helper_, kReleasePlugin, 0, 0);

        late_bound::Args args;
        args.String(kCommands[outer].text)
            .String(u"")
            .Object(nullptr)
            .StringRef(args.Held(u"kept"));
        InvokeResult r;
        RawInvoke(raw, 0x60030006, args, {}, r);  // ParseCommand
        EXPECT_EQ(r.hr, S_OK);
        EXPECT_EQ(r.value.vt, VT_BOOL);
        EXPECT_EQ(r.value.boolVal, VARIANT_TRUE);
        EXPECT_TRUE(g_context.closed[outer]);
        EXPECT_EQ(g_context.release_me, nullptr);
    }
}

}  // namespace
}  // namespace tabulon::testing
