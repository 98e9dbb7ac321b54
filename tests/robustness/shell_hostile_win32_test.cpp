// "/xweball" through TB.dll against a shell that misbehaves: properties that fail or
// hold no text, windows that close during the walk, an enumerator that fails, and
// more windows than the site count can hold. Each time sResult holds the report as
// far as it was built, and every shell object the plug-in took is released.
#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "common/bstr_win32.h"
#include "plugin_fixture_win32.h"
#include "testshell/test_shell.h"

namespace tabulon::testing {
namespace {

namespace shell = testshell;
using Damage = std::function<void(shell::Scenario&)>;

Text Number(int n) {
    const std::string digits = std::to_string(n);
    return Text(digits.begin(), digits.end());
}

std::vector<shell::Window> Sites(int count) {
    std::vector<shell::Window> windows;
    windows.reserve(count);
    for (int n = 1; n <= count; ++n)
        windows.push_back(shell::Page(u"C:\\Program Files\\Internet Explorer", u"T" + Number(n),
                                      u"U" + Number(n)));
    return windows;
}

// Property `property` of the window at index w reads as value.
Damage Set(shell::Value shell::Window::*property, size_t w, shell::Value value) {
    return [=](shell::Scenario& s) { s.windows[w].*property = value; };
}

// Window `closing` (1-based) closes once window `after` had `property` read.
Damage Close(int closing, int after, shell::Property property) {
    return [=](shell::Scenario& s) { s.closings = {{closing, after, property}}; };
}

class HostileShell : public InitializedPluginTest {
  protected:
    void Arrange() override {
        StoreSetting(L"Show", u"2");
        StoreSetting(L"Before", u"B");
        StoreSetting(L"After", u"A");
    }
    CommandResult Run(shell::Scenario scenario) {
        shell::SetScenario(std::move(scenario));
        CommandResult r = SendCommand(plugin_, u"/xweball", u"passed");
        // Every window, enumerator and collection of this walk is released; only the
        // plugin object's shell stays.
        const shell::Counters counters = shell::ReadCounters();
        EXPECT_EQ(counters.live_windows + counters.live_enumerators + counters.live_collections, 0);
        EXPECT_EQ(counters.live_shells, 1);
        return r;
    }
};

TEST_F(HostileShell, MisbehavingWindowsAndEnumerators) {
    using shell::Value;
    using W = shell::Window;
    const Text w1 = u"B\r\n\r\nT1 - U1";
    const Text all = u"B\r\n\r\nT1 - U1\r\nT2 - U2\r\nT3 - U3\r\n\r\nA";
    const HRESULT kOwn = static_cast<HRESULT>(0x80041234);
    const Value failing = Value::Failing(E_FAIL);
    const struct {
        const char* what;
        Damage damage;
        HRESULT scode;  // S_OK: the command works
        Text text;
    } cases[] = {
        {"first Path fails", Set(&W::path, 0, failing), E_FAIL, u"B\r\n"},
        {"Path fails", Set(&W::path, 1, failing), E_FAIL, w1},
        {"address fails", Set(&W::address, 1, failing), E_FAIL, w1},
        {"last Path fails", Set(&W::path, 2, failing), E_FAIL, u"B\r\n\r\nT1 - U1\r\nT2 - U2"},
        {"title raises an exception", Set(&W::title, 1, Value::Failing(kOwn, u"gone away")), kOwn,
         w1},
        {"Path is Empty", Set(&W::path, 1, Value::Empty()), S_OK, all},
        {"Path is a NULL BSTR", Set(&W::path, 1, Value::NullBstr()), S_OK, all},
        {"title is a number, address a NULL BSTR",
         [](auto& s) {
             s.windows[1].title = Value::I4(42);
             s.windows[1].address = Value::NullBstr();
         },
         S_OK, u"B\r\n\r\nT1 - U1\r\n42 - \r\nT3 - U3\r\n\r\nA"},
        {"title is Null", Set(&W::title, 1, Value::Null()), DISP_E_TYPEMISMATCH, w1},
        {"Path is Null", Set(&W::path, 1, Value::Null()), DISP_E_TYPEMISMATCH, w1},
        {"address is Null", Set(&W::address, 1, Value::Null()), DISP_E_TYPEMISMATCH, w1},
        {"W2 closes before it is reached", Close(2, 1, shell::Property::kPath), S_OK,
         u"B\r\n\r\nT1 - U1\r\nT3 - U3\r\n\r\nA"},
        {"W2 closes while it is read", Close(2, 2, shell::Property::kPath), RPC_E_DISCONNECTED, w1},
        {"W3 closes after the last read of W2", Close(3, 2, shell::Property::kLocationUrl), S_OK,
         u"B\r\n\r\nT1 - U1\r\nT2 - U2\r\n\r\nA"},
        {"Next fails",
         [&](auto& s) {
             s.next_fails_at = 2;
             s.next_failure = kOwn;
         },
         kOwn, w1},
        {"_NewEnum fails", [](auto& s) { s.new_enum = E_OUTOFMEMORY; }, E_OUTOFMEMORY, u"B\r\n"},
        {"Windows() fails", [](auto& s) { s.windows_call = E_OUTOFMEMORY; }, E_OUTOFMEMORY,
         u"B\r\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        shell::Scenario scenario;
        scenario.windows = Sites(3);
        c.damage(scenario);
        const CommandResult r = Run(scenario);
        if (c.scode == S_OK) {
            EXPECT_EQ(r.outcome.hr, S_OK) << ToUtf8(r.outcome.description);
            EXPECT_TRUE(r.outcome.Boolean());
        } else {
            EXPECT_EQ(r.outcome.hr, DISP_E_EXCEPTION);
            EXPECT_EQ(r.outcome.scode, c.scode);
            EXPECT_FALSE(r.outcome.description.empty());
            EXPECT_EQ(r.outcome.value.vt(), VT_EMPTY);
        }
        EXPECT_EQ(r.text, c.text);
    }
}

// The site count is a 16-bit number: the 32,768th browser window ends the report
// with an overflow, after its line was added.
TEST_F(HostileShell, TheSiteCountOverflowsAt32768) {
    StoreSetting(L"Show", u"0");
    for (int count : {32767, 32768}) {
        SCOPED_TRACE(count);
        shell::Scenario scenario;
        scenario.windows = Sites(count);
        const CommandResult r = Run(scenario);
        Text lines = u"B\r\n";
        for (int n = 1; n <= count; ++n) lines += u"\r\nT" + Number(n);
        if (count == 32767) {
            ASSERT_EQ(r.outcome.hr, S_OK) << ToUtf8(r.outcome.description);
            EXPECT_TRUE(r.text == lines + u"\r\n\r\nA") << r.text.size();
        } else {
            EXPECT_EQ(r.outcome.hr, DISP_E_EXCEPTION);
            EXPECT_EQ(r.outcome.scode, DISP_E_OVERFLOW);
            EXPECT_NE(r.outcome.description.find(u"32767"), Text::npos);
            EXPECT_TRUE(r.text == lines) << r.text.size() << " vs " << lines.size();
        }
    }
}

}  // namespace
}  // namespace tabulon::testing
