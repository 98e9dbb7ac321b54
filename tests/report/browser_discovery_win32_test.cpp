// The discovery walk against the test shell, registered in this process for
// CLSID_Shell.
#include "report/browser_discovery_win32.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "common/failure.h"
#include "report/site_report.h"
#include "report/windows_directory_win32.h"
#include "testshell/test_shell.h"

namespace tabulon {
namespace {

using ::testing::AllOf;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
namespace ts = testshell;

ts::Window Page(TextView path, TextView title = u"T", TextView address = u"U") {
    return ts::Page(path, title, address);
}
using ts::Showing;

const TextView kIe = u"C:\\Program Files\\Internet Explorer";

class DiscoveryTest : public ::testing::Test {
  protected:
    void SetUp() override { ASSERT_HRESULT_SUCCEEDED(registration_.status()); }

    void TearDown() override {
        discovery_.oShell.Reset();
        EXPECT_EQ(ts::ReadCounters().LiveObjects(), 0) << "a shell object was not released";
    }

    struct Outcome {
        Text report;
        std::optional<Failure> failure;
    };

    Outcome Compose(std::int16_t mode, TextView before = u"B", TextView after = u"A") {
        Outcome out{u"host text", std::nullopt};
        try {
            ComposeReport(mode, before, after, out.report, discovery_);
        } catch (const Failure& f) {
            out.failure = f;
        }
        return out;
    }

    // The titles of the windows handed on, in order.
    std::vector<std::string> Titles() {
        std::vector<std::string> titles;
        discovery_.EnumerateBrowserWindows(
            [&](SiteWindow& w) { titles.push_back(ToUtf8(w.Title())); });
        return titles;
    }

    ts::Registration registration_;
    Text windows_directory_ = u"C:\\windows";
    int win_dir_calls_ = 0;
    BrowserDiscovery discovery_{[this] {
        ++win_dir_calls_;
        return windows_directory_;
    }};
};

TEST_F(DiscoveryTest, SkipsExactlyTheWindowsWhosePathIsTheWindowsDirectory) {
    struct Case {
        TextView windows_directory;
        std::vector<TextView> paths;  // window i has title "i"
        std::vector<std::string> handed_on;
    };
    const Case cases[] = {
        {u"C:\\windows",
         {u"C:\\windows", u"C:\\windows\\", u"C:\\Windows", u"c:\\windows", u"", kIe,
          u"C:\\windows\\\\", u"C:\\windows ", u" C:\\windows", u"\\", u"C:\\windows\\system32"},
         {"3", "4", "5", "6", "7", "8", "9", "10", "11"}},
        // A drive root is used as it is; "C:" becomes "C:\" too.
        {u"C:\\", {u"C:\\", u"C:", u"C:\\windows", u"D:\\"}, {"3", "4"}},
        // A failed directory query: only an empty Path or "\" is a folder window.
        {u"", {u"", u"\\", u"C:\\windows", kIe}, {"3", "4"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(ToUtf8(c.windows_directory));
        ts::Scenario scenario;
        for (std::size_t i = 0; i < c.paths.size(); ++i)
            scenario.windows.push_back(Page(c.paths[i], FromUtf8(std::to_string(i + 1))));
        ts::SetScenario(scenario);
        windows_directory_ = Text(c.windows_directory);
        win_dir_calls_ = 0;

        EXPECT_EQ(Titles(), c.handed_on);
        EXPECT_EQ(win_dir_calls_, static_cast<int>(c.paths.size())) << "asked once per window";
    }
    // The last window's values stay behind; the window object does not.
    EXPECT_EQ(discovery_.sPath, u"C:\\Program Files\\Internet Explorer\\");
    EXPECT_EQ(discovery_.sWinDir, u"\\");
    EXPECT_FALSE(discovery_.oWindow);
}

TEST_F(DiscoveryTest, WithTheRealWindowsDirectory) {
    discovery_.GetWinDir = [] { return QueryWindowsDirectory(); };
    wchar_t wide[MAX_PATH];
    const UINT n = GetWindowsDirectoryW(wide, MAX_PATH);
    ASSERT_GT(n, 0u);
    const Text real(reinterpret_cast<const char16_t*>(wide), n);
    EXPECT_EQ(QueryWindowsDirectory(), real);

    Text upper = real;
    for (char16_t& ch : upper)
        if (ch >= u'a' && ch <= u'z') ch = static_cast<char16_t>(ch - u'a' + u'A');
    ASSERT_NE(upper, real) << "the test needs a lower-case letter in the Windows directory";
    ts::SetScenario(Showing({Page(real, u"folder"), Page(upper, u"upper"), Page(kIe, u"ie")}));
    EXPECT_THAT(Titles(), ElementsAre("upper", "ie"));
}

TEST_F(DiscoveryTest, ReportReadsEachWindowInCollectionOrderByTheNamesAsWritten) {
    ts::SetScenario(
        Showing({Page(kIe, u"One", u"http://one/"), Page(u"C:\\windows", u"Folder", u""),
                 Page(kIe, u"Same", u"http://same/"),
                 Page(u"D:\\Other Browser", u"Same", u"http://same/")}));
    const Outcome out = Compose(2, u"I'm currently browsing:", u"");
    ASSERT_FALSE(out.failure);
    EXPECT_EQ(out.report,
              u"I'm currently browsing:\r\n\r\nOne - http://one/\r\nSame - http://same/\r\n"
              u"Same - http://same/\r\n\r\n");

    const ts::Counters c = ts::ReadCounters();
    EXPECT_THAT(c.reads, ElementsAre("1:Path", "1:LocationName", "1:LocationURL", "2:Path",
                                     "3:Path", "3:LocationName", "3:LocationURL", "4:Path",
                                     "4:LocationName", "4:LocationURL"));
    EXPECT_THAT(std::vector<std::string>(c.names_asked.begin(), c.names_asked.begin() + 3),
                ElementsAre("Path", "Locationname", "locationurl"));
    EXPECT_EQ(c.live_windows, 0);

    // Another mode, another walk: the shell is kept, the collection is asked for afresh.
    ts::SetScenario(ts::CurrentScenario());
    const Outcome mode3 = Compose(3);
    EXPECT_EQ(mode3.report, u"B\r\n\r\n\r\nA");
    EXPECT_THAT(ts::ReadCounters().reads, ElementsAre("1:Path", "2:Path", "3:Path", "4:Path"));
    EXPECT_EQ(ts::ReadCounters().shells_created, 0);
    EXPECT_EQ(ts::ReadCounters().windows_calls, 1);
}

TEST_F(DiscoveryTest, NoWindowsOrOnlyFolderWindows) {
    ts::SetScenario({});
    EXPECT_EQ(Compose(0).report, u"No Webistes Available");
    ts::SetScenario(Showing({Page(u"C:\\windows"), Page(u"C:\\windows\\")}));
    EXPECT_EQ(Compose(2).report, u"No Webistes Available");
    EXPECT_EQ(ts::ReadCounters().shells_created, 0) << "the shell made for the first walk stays";
}

TEST_F(DiscoveryTest, AFailureEndsTheReportWithWhatWasBuiltSoFar) {
    constexpr HRESULT kGone = static_cast<HRESULT>(0x80040001);
    static constexpr char16_t kGoneText[] = u"The page has gone away.";
    struct Case {
        const char* name;
        std::function<void(ts::Scenario&)> break_it;  // applied to two pages
        HRESULT code;
        std::vector<std::string> description_parts;
        Text partial;
    };
    const Text kFirstLine = u"B\r\n\r\nOne - u1";
    // clang-format off
    const Case cases[] = {
        {"shell cannot be created", [](ts::Scenario& s) { s.create_shell = REGDB_E_CLASSNOTREG; },
         REGDB_E_CLASSNOTREG, {"Shell"}, u"B\r\n"},
        {"Windows() fails", [](ts::Scenario& s) { s.windows_call = E_NOTIMPL; },
         E_NOTIMPL, {"window collection"}, u"B\r\n"},
        {"_NewEnum fails", [](ts::Scenario& s) { s.new_enum = E_OUTOFMEMORY; },
         E_OUTOFMEMORY, {"Enumerating"}, u"B\r\n"},
        {"second element cannot be fetched", [](ts::Scenario& s) { s.next_fails_at = 2; },
         E_FAIL, {"shell window 2"}, kFirstLine},
        {"Path of window 2",
         [](ts::Scenario& s) { s.windows[1].path = ts::Value::Failing(E_ACCESSDENIED); },
         E_ACCESSDENIED, {"\"Path\"", "shell window 2"}, kFirstLine},
        {"title of window 2, with the callee's description",
         [](ts::Scenario& s) { s.windows[1].title = ts::Value::Failing(kGone, kGoneText); },
         kGone, {"\"Locationname\"", "shell window 2", "The page has gone away."}, kFirstLine},
        {"address of window 1",
         [](ts::Scenario& s) { s.windows[0].address = ts::Value::Failing(E_FAIL); },
         E_FAIL, {"\"locationurl\"", "shell window 1"}, u"B\r\n"},
        {"window 1 closes once its Path is read",
         [](ts::Scenario& s) { s.closings = {{1, 1, ts::Property::kPath}}; },
         RPC_E_DISCONNECTED, {"\"Locationname\"", "shell window 1"}, u"B\r\n"},
    };
    // clang-format on

    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        discovery_.oShell.Reset();
        ts::Scenario scenario = Showing({Page(kIe, u"One", u"u1"), Page(kIe, u"Two", u"u2")});
        c.break_it(scenario);
        ts::SetScenario(scenario);
        const Outcome out = Compose(2);
        ASSERT_TRUE(out.failure);
        EXPECT_EQ(out.failure->code(), c.code);
        for (const std::string& part : c.description_parts)
            EXPECT_THAT(ToUtf8(out.failure->description()), HasSubstr(part));
        EXPECT_EQ(ToUtf8(out.report), ToUtf8(c.partial));

        const ts::Counters counters = ts::ReadCounters();
        EXPECT_EQ(counters.live_windows, 0);
        EXPECT_EQ(counters.live_enumerators, 0);
        EXPECT_EQ(counters.live_collections, 0);
        EXPECT_FALSE(discovery_.oWindow);
    }
}

TEST_F(DiscoveryTest, PropertiesThatAreNotTextAreConvertedOrRefused) {
    const struct {
        ts::Value value;
        std::optional<std::string> title;  // nothing: a type-mismatch failure naming the type
        const char* type;
    } cases[] = {
        {ts::Value::I4(-42), "-42", ""},
        {ts::Value::Empty(), "", ""},
        {ts::Value::NullBstr(), "", ""},
        {ts::Value::Str(Text(u"a\0b", 3)), std::string("a\0b", 3), ""},
        {ts::Value::Null(), std::nullopt, "VT_NULL"},
    };
    for (const auto& c : cases) {
        ts::SetScenario(Showing({{ts::Value::Str(kIe), c.value, ts::Value::Str(u"u")}}));
        const Outcome out = Compose(0);
        if (c.title) {
            ASSERT_FALSE(out.failure) << ToUtf8(out.failure->description());
            EXPECT_EQ(ToUtf8(out.report), "B\r\n\r\n" + *c.title + "\r\n\r\nA");
        } else {
            ASSERT_TRUE(out.failure);
            EXPECT_EQ(out.failure->code(), status::kTypeMismatch);
            EXPECT_THAT(ToUtf8(out.failure->description()),
                        AllOf(HasSubstr("\"Locationname\""), HasSubstr("shell window 1"),
                              HasSubstr(c.type)));
        }
    }

    // A Path that is not text is refused the same way, before the window is handed on.
    ts::SetScenario(Showing({{ts::Value::Null(), ts::Value::Str(u"t"), ts::Value::Str(u"u")}}));
    const Outcome out = Compose(0);
    ASSERT_TRUE(out.failure);
    EXPECT_THAT(ToUtf8(out.failure->description()), HasSubstr("\"Path\""));
    EXPECT_EQ(out.report, u"B\r\n");
    // An empty Path is no folder window: it becomes "\".
    ts::SetScenario(Showing({{ts::Value::Empty(), ts::Value::Str(u"t"), ts::Value::Str(u"u")}}));
    EXPECT_EQ(Compose(0).report, u"B\r\n\r\nt\r\n\r\nA");
}

TEST_F(DiscoveryTest, WindowsThatCloseDuringTheWalkAreNotSeen) {
    ts::Scenario scenario = Showing({Page(kIe, u"1"), Page(kIe, u"2"), Page(kIe, u"3")});
    // Window 2 closes while the report works on window 1, window 3 while on window 2.
    scenario.closings = {{2, 1, ts::Property::kLocationName}};
    ts::SetScenario(scenario);
    EXPECT_EQ(Compose(0).report, u"B\r\n\r\n1\r\n3\r\n\r\nA");

    scenario.closings = {{3, 2, ts::Property::kLocationName}};
    ts::SetScenario(scenario);
    EXPECT_EQ(Compose(0).report, u"B\r\n\r\n1\r\n2\r\n\r\nA");

    // All close while the first is looked at: that window still counts.
    scenario.closings = {{2, 1, ts::Property::kPath}, {3, 1, ts::Property::kPath}};
    ts::SetScenario(scenario);
    EXPECT_EQ(Compose(0).report, u"B\r\n\r\n1\r\n\r\nA");
    EXPECT_EQ(ts::ReadCounters().live_windows, 0);
}

TEST_F(DiscoveryTest, ShellIsCreatedOnceAndOnlyWhenMissing) {
    ts::SetScenario(Showing({Page(kIe)}));
    EXPECT_FALSE(discovery_.oShell);
    Compose(0);
    Compose(0);
    EXPECT_TRUE(discovery_.oShell);
    EXPECT_EQ(ts::ReadCounters().shells_created, 1);
    EXPECT_EQ(ts::ReadCounters().windows_calls, 2);

    // A failed creation leaves oShell empty, and the next walk tries again.
    discovery_.oShell.Reset();
    ts::Scenario failing = Showing({Page(kIe)});
    failing.create_shell = E_OUTOFMEMORY;
    ts::SetScenario(failing);
    EXPECT_TRUE(Compose(0).failure);
    EXPECT_FALSE(discovery_.oShell);
    ts::SetScenario(Showing({Page(kIe)}));
    EXPECT_FALSE(Compose(0).failure);
    EXPECT_EQ(ts::ReadCounters().shells_created, 1);
}

TEST_F(DiscoveryTest, ExceptionsFromTheCallerAndFromGetWinDirReleaseTheWindow) {
    ts::SetScenario(Showing({Page(kIe), Page(kIe)}));
    EXPECT_THROW(discovery_.EnumerateBrowserWindows(
                     [](SiteWindow&) { throw Failure(status::kFail, u"caller"); }),
                 Failure);
    discovery_.GetWinDir = []() -> Text { throw Failure(status::kFail, u"no directory"); };
    EXPECT_THROW(Titles(), Failure);
    EXPECT_FALSE(discovery_.oWindow);
    EXPECT_EQ(ts::ReadCounters().live_windows, 0);
}

TEST(QueryWindowsDirectory, AnsiQueryEdgeCases) {
    // 0: no failure, the empty text.
    EXPECT_EQ(QueryWindowsDirectory([](LPSTR, UINT) { return 0u; }, CP_ACP), u"");

    // Longer than 256 bytes: asked again with room for all of it.
    const std::string long_dir = "C:\\" + std::string(297, 'x');
    std::vector<UINT> sizes;
    auto long_query = [&](LPSTR buffer, UINT size) -> UINT {
        sizes.push_back(size);
        if (size <= long_dir.size()) return static_cast<UINT>(long_dir.size() + 1);
        memcpy(buffer, long_dir.c_str(), long_dir.size() + 1);
        return static_cast<UINT>(long_dir.size());
    };
    EXPECT_EQ(ToUtf8(QueryWindowsDirectory(long_query, CP_ACP)), long_dir);
    EXPECT_THAT(sizes, ElementsAre(256u, 301u));

    // Double-byte code page: 4 bytes are 2 characters, and only those.
    auto japanese = [](LPSTR buffer, UINT) -> UINT {
        memcpy(buffer, "\x93\xFA\x96\x7B\0garbage", 12);
        return 4;
    };
    EXPECT_EQ(QueryWindowsDirectory(japanese, 932), u"\u65E5\u672C");
}

}  // namespace
}  // namespace tabulon
