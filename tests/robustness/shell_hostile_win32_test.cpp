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
using late_bound::Outcome;

constexpr char16_t kBrowser[] = u"C:\\Program Files\\Internet Explorer";

shell::Window Site(int n) {
    const std::string digits = std::to_string(n);
    const Text number(digits.begin(), digits.end());
    return shell::Page(kBrowser, u"T" + number, u"U" + number);
}

std::vector<shell::Window> Sites(int count) {
    std::vector<shell::Window> windows;
    windows.reserve(count);
    for (int n = 1; n <= count; ++n) windows.push_back(Site(n));
    return windows;
}

class HostileShell : public InitializedPluginTest {
  protected:
    void Arrange() override {
        StoreSetting(L"Show", u"2");
        StoreSetting(L"Before", u"B");
        StoreSetting(L"After", u"A");
    }
    using Result = CommandResult;
    Result Run(shell::Scenario scenario) {
        shell::SetScenario(std::move(scenario));
        Result r = SendCommand(plugin_, u"/xweball", u"passed");
        // Every window, enumerator and collection of this walk is released; only the
        // plugin object's shell stays.
        const shell::Counters counters = shell::ReadCounters();
        EXPECT_EQ(counters.live_windows + counters.live_enumerators + counters.live_collections, 0);
        EXPECT_EQ(counters.live_shells, 1);
        return r;
    }
};

TEST_F(HostileShell, MisbehavingWindowsAndEnumerators) {
    const Text w1 = u"B\r\n\r\nT1 - U1";
    const Text all = u"B\r\n\r\nT1 - U1\r\nT2 - U2\r\nT3 - U3\r\n\r\nA";
    const HRESULT kOwn = static_cast<HRESULT>(0x80041234);
    struct Case {
        const char* what;
        std::function<void(shell::Scenario&)> damage;
        HRESULT scode;  // S_OK: the command works
        Text text;
    };
    const Case cases[] = {
        {"first Path fails", [](auto& s) { s.windows[0].path = shell::Value::Failing(E_FAIL); },
         E_FAIL, u"B\r\n"},
        {"Path fails", [](auto& s) { s.windows[1].path = shell::Value::Failing(E_FAIL); }, E_FAIL,
         w1},
        {"address fails", [](auto& s) { s.windows[1].address = shell::Value::Failing(E_FAIL); },
         E_FAIL, w1},
        {"last Path fails", [](auto& s) { s.windows[2].path = shell::Value::Failing(E_FAIL); },
         E_FAIL, u"B\r\n\r\nT1 - U1\r\nT2 - U2"},
        {"title raises an exception",
         [&](auto& s) { s.windows[1].title = shell::Value::Failing(kOwn, u"gone away"); }, kOwn,
         w1},
        {"Path is Empty", [](auto& s) { s.windows[1].path = shell::Value::Empty(); }, S_OK, all},
        {"Path is a NULL BSTR", [](auto& s) { s.windows[1].path = shell::Value::NullBstr(); }, S_OK,
         all},
        {"title is a number, address a NULL BSTR",
         [](auto& s) {
             s.windows[1].title = shell::Value::I4(42);
             s.windows[1].address = shell::Value::NullBstr();
         },
         S_OK, u"B\r\n\r\nT1 - U1\r\n42 - \r\nT3 - U3\r\n\r\nA"},
        {"title is Null", [](auto& s) { s.windows[1].title = shell::Value::Null(); },
         DISP_E_TYPEMISMATCH, w1},
        {"Path is Null", [](auto& s) { s.windows[1].path = shell::Value::Null(); },
         DISP_E_TYPEMISMATCH, w1},
        {"address is Null", [](auto& s) { s.windows[1].address = shell::Value::Null(); },
         DISP_E_TYPEMISMATCH, w1},
        {"W2 closes before it is reached",
         [](auto& s) {
             s.closings = {{2, 1, shell::Property::kPath}};
         },
         S_OK, u"B\r\n\r\nT1 - U1\r\nT3 - U3\r\n\r\nA"},
        {"W2 closes while it is read",
         [](auto& s) {
             s.closings = {{2, 2, shell::Property::kPath}};
         },
         RPC_E_DISCONNECTED, w1},
        {"W3 closes after the last read of W2",
         [](auto& s) {
             s.closings = {{3, 2, shell::Property::kLocationUrl}};
         },
         S_OK, u"B\r\n\r\nT1 - U1\r\nT2 - U2\r\n\r\nA"},
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
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        shell::Scenario scenario;
        scenario.windows = Sites(3);
        c.damage(scenario);
        const Result r = Run(scenario);
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
        const Result r = Run(scenario);
        Text lines = u"B\r\n";
        for (int n = 1; n <= count; ++n) {
            const std::string digits = std::to_string(n);
            lines += u"\r\nT";
            lines.append(digits.begin(), digits.end());
        }
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
