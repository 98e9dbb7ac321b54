// testshell.dll as a demo prefix uses it: its scenario comes from the file named by
// TABULON_TEST_SHELL, and the discovery walk runs against it.
#include <windows.h>
#include <shldisp.h>
#include <wrl/client.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "common/failure.h"
#include "report/browser_discovery_win32.h"
#include "report/site_report.h"
#include "testshell/scenario_file.h"

namespace tabulon {
namespace {

using Microsoft::WRL::ComPtr;
using ::testing::HasSubstr;
namespace ts = testshell;

TEST(ScenarioFile, ParsesWindowsValuesAndDirectives) {
    const std::string text =
        "\xEF\xBB\xBF# comment\r\n"
        "C:\\windows\tDesktop\r\n"
        "\n"
        "C:\\Program Files\\Internet Explorer\t\xC3\x84rger\thttp://a/\n"
        "%%x\t%null\t%i4:-7\n"
        "%#y\t%nullbstr\t%fail:0x80004005:gone\n"
        "\t\t%empty\n"
        "!create 0x80040154\n"
        "!next 3\n"
        "!close 2 after LocationName 1\n";
    ts::Scenario s;
    std::string error;
    ASSERT_TRUE(ts::ParseScenario(text, s, error)) << error;
    ASSERT_EQ(s.windows.size(), 5u);
    EXPECT_EQ(s.windows[0].path.text, u"C:\\windows");
    EXPECT_EQ(s.windows[0].title.text, u"Desktop");
    EXPECT_EQ(s.windows[0].address.text, u"");
    EXPECT_EQ(s.windows[1].title.text, u"\u00C4rger");
    EXPECT_EQ(s.windows[2].path.text, u"%x");
    EXPECT_EQ(s.windows[2].title.vt, VT_NULL);
    EXPECT_EQ(s.windows[2].address.vt, VT_I4);
    EXPECT_EQ(s.windows[2].address.number, -7);
    EXPECT_EQ(s.windows[3].path.text, u"#y");
    EXPECT_TRUE(s.windows[3].title.null_bstr);
    EXPECT_EQ(s.windows[3].address.failure, E_FAIL);
    EXPECT_EQ(s.windows[3].address.failure_description, u"gone");
    EXPECT_EQ(s.windows[4].address.vt, VT_EMPTY);
    EXPECT_EQ(s.create_shell, REGDB_E_CLASSNOTREG);
    EXPECT_EQ(s.next_fails_at, 3);
    EXPECT_EQ(s.next_failure, E_FAIL);
    ASSERT_EQ(s.closings.size(), 1u);
    EXPECT_EQ(s.closings[0].closing, 2);
    EXPECT_EQ(s.closings[0].after, 1);
    EXPECT_EQ(s.closings[0].property, ts::Property::kLocationName);

    for (const char* bad :
         {"a\tb\tc\td", "%bogus", "%fail:0", "!close 2 before Path 1", "!windows", "%i4:x"}) {
        ts::Scenario untouched;
        EXPECT_FALSE(ts::ParseScenario(std::string("ok\n") + bad, untouched, error)) << bad;
        EXPECT_THAT(error, HasSubstr("line 2")) << bad;
        EXPECT_TRUE(untouched.windows.empty());
    }
}

class TestShellDll : public ::testing::Test {
  protected:
    void SetUp() override {
        const char* dll = std::getenv("TABULON_TESTSHELL_DLL");
        ASSERT_TRUE(dll) << "TABULON_TESTSHELL_DLL is not set";
        module_ = LoadLibraryA(dll);
        ASSERT_TRUE(module_) << dll;
        get_class_object_ = reinterpret_cast<decltype(get_class_object_)>(
            reinterpret_cast<void*>(GetProcAddress(module_, "DllGetClassObject")));
        can_unload_ = reinterpret_cast<decltype(can_unload_)>(
            reinterpret_cast<void*>(GetProcAddress(module_, "DllCanUnloadNow")));
        ASSERT_TRUE(get_class_object_ && can_unload_);

        wchar_t dir[MAX_PATH];
        ASSERT_GT(GetTempPathW(MAX_PATH, dir), 0u);
        wchar_t file[MAX_PATH];
        ASSERT_TRUE(GetTempFileNameW(dir, L"tts", 0, file));
        file_ = file;
        ASSERT_TRUE(SetEnvironmentVariableW(L"TABULON_TEST_SHELL", file_.c_str()));
    }

    void TearDown() override {
        SetEnvironmentVariableW(L"TABULON_TEST_SHELL", nullptr);
        if (!file_.empty()) DeleteFileW(file_.c_str());
        if (module_) FreeLibrary(module_);
    }

    void WriteScenario(const std::string& text) {
        const HANDLE f = CreateFileW(file_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                     FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(f, INVALID_HANDLE_VALUE);
        DWORD written = 0;
        WriteFile(f, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
        CloseHandle(f);
        ASSERT_EQ(written, text.size());
    }

    HRESULT CreateShell(ComPtr<IShellDispatch>& shell) {
        ComPtr<IClassFactory> factory;
        HRESULT hr = get_class_object_(CLSID_Shell, IID_PPV_ARGS(&factory));
        if (SUCCEEDED(hr)) hr = factory->CreateInstance(nullptr, IID_PPV_ARGS(&shell));
        return hr;
    }

    Text Report(BrowserDiscovery& discovery) {
        Text report;
        ComposeReport(2, u"B", u"", report, discovery);
        return report;
    }

    HMODULE module_ = nullptr;
    decltype(&::DllGetClassObject) get_class_object_ = nullptr;
    decltype(&::DllCanUnloadNow) can_unload_ = nullptr;
    std::wstring file_;
};

TEST_F(TestShellDll, ReadsItsScenarioFileAfreshForEveryWalk) {
    WriteScenario("C:\\windows\tFolder\t\nC:\\IE\tOne\thttp://one/\n");
    {
        BrowserDiscovery discovery([] { return Text(u"C:\\windows"); });
        ASSERT_HRESULT_SUCCEEDED(CreateShell(discovery.oShell));
        EXPECT_EQ(Report(discovery), u"B\r\n\r\nOne - http://one/\r\n\r\n");

        WriteScenario("C:\\IE\tTwo\thttp://two/\n!close 1 after Path 1\n");
        try {
            Report(discovery);
            ADD_FAILURE() << "the closed window was read";
        } catch (const Failure& f) {
            EXPECT_EQ(f.code(), RPC_E_DISCONNECTED);
        }

        WriteScenario("!windows 0x80004001\n");
        EXPECT_THROW(Report(discovery), Failure);

        SetEnvironmentVariableW(L"TABULON_TEST_SHELL", nullptr);
        EXPECT_EQ(Report(discovery), u"No Webistes Available");
        EXPECT_EQ(can_unload_(), S_FALSE) << "the shell is still held";
        EXPECT_EQ(discovery.oShell.Reset(), 0u);
    }
    EXPECT_EQ(can_unload_(), S_OK);
}

TEST_F(TestShellDll, AMalformedOrMissingFileFailsTheShell) {
    ComPtr<IShellDispatch> shell;
    WriteScenario("!create 0x80040154\n");
    EXPECT_EQ(CreateShell(shell), REGDB_E_CLASSNOTREG);
    WriteScenario("%nonsense\n");
    EXPECT_EQ(CreateShell(shell), E_INVALIDARG);
    DeleteFileW(file_.c_str());
    EXPECT_HRESULT_FAILED(CreateShell(shell));
    EXPECT_EQ(can_unload_(), S_OK);
}

}  // namespace
}  // namespace tabulon
