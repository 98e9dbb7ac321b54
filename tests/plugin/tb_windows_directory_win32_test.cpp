// The Windows directory as TB.dll sees it, with kernel32's answer replaced in the
// DLL's import table: a failing query and a directory longer than the first buffer.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

#include "common/bstr_win32.h"
#include "plugin_fixture_win32.h"
#include "testshell/test_shell.h"

namespace tabulon::testing {
namespace {

using late_bound::Args;
using late_bound::Outcome;
namespace shell = testshell;

using QueryFunction = UINT(WINAPI*)(LPSTR, UINT);

std::string g_directory;  // what the replacement reports; empty means the call fails

UINT WINAPI ReplacementQuery(LPSTR buffer, UINT size) {
    if (g_directory.empty()) return 0;
    if (g_directory.size() + 1 > size) return static_cast<UINT>(g_directory.size() + 1);
    std::memcpy(buffer, g_directory.c_str(), g_directory.size() + 1);
    return static_cast<UINT>(g_directory.size());
}

// Points the module's import of kernel32!GetWindowsDirectoryA elsewhere for the
// lifetime of the object.
class ImportPatch {
  public:
    ImportPatch(HMODULE module, QueryFunction replacement) {
        auto* base = reinterpret_cast<BYTE*>(module);
        auto* dos = reinterpret_cast<IMAGE_DOS_HEADER*>(base);
        auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
        const IMAGE_DATA_DIRECTORY& dir =
            nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
        for (auto* desc = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + dir.VirtualAddress);
             desc->Name; ++desc) {
            if (lstrcmpiA(reinterpret_cast<char*>(base + desc->Name), "kernel32.dll") != 0)
                continue;
            auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(base + desc->OriginalFirstThunk);
            auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + desc->FirstThunk);
            for (; names->u1.AddressOfData; ++names, ++slots) {
                if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
                auto* byName =
                    reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
                if (std::strcmp(reinterpret_cast<char*>(byName->Name), "GetWindowsDirectoryA") != 0)
                    continue;
                slot_ = reinterpret_cast<ULONG_PTR*>(&slots->u1.Function);
                original_ = *slot_;
                Write(reinterpret_cast<ULONG_PTR>(replacement));
                return;
            }
        }
    }
    ~ImportPatch() {
        if (slot_) Write(original_);
    }
    bool active() const { return slot_ != nullptr; }

  private:
    void Write(ULONG_PTR value) {
        DWORD old = 0;
        VirtualProtect(slot_, sizeof *slot_, PAGE_READWRITE, &old);
        *slot_ = value;
        VirtualProtect(slot_, sizeof *slot_, old, &old);
    }
    ULONG_PTR* slot_ = nullptr;
    ULONG_PTR original_ = 0;
};

class WindowsDirectory : public PluginTest {
  protected:
    void SetUp() override {
        PluginTest::SetUp();
        if (HasFatalFailure()) return;
        InitializePlugin(plugin_);
        StoreSetting(L"Show", u"0");
        HMODULE tb = GetModuleHandleW(L"TB.dll");
        ASSERT_NE(tb, nullptr);
        patch_ = std::make_unique<ImportPatch>(tb, &ReplacementQuery);
        ASSERT_TRUE(patch_->active()) << "TB.dll imports GetWindowsDirectoryA";
    }
    void TearDown() override {
        patch_.reset();
        PluginTest::TearDown();
    }

    Text WinDir() {
        Args none;
        const Outcome outcome = plugin_.Call(L"GetWinDir", none);
        EXPECT_EQ(outcome.hr, S_OK);
        return outcome.value.vt() == VT_BSTR ? Text(Bstr::View(outcome.value.get()->bstrVal))
                                             : Text();
    }

    Text Report(std::initializer_list<const char16_t*> paths) {
        shell::Scenario scenario;
        int n = 0;
        for (const char16_t* path : paths) {
            const Text title = u"T" + FromUtf8(std::to_string(++n));
            scenario.windows.push_back(
                {shell::Value::Str(path), shell::Value::Str(title), shell::Value::Str(u"u")});
        }
        shell::SetScenario(scenario);
        BSTR result = nullptr;
        const Outcome outcome = ParseCommand(plugin_, u"/xweball", u"", &result);
        EXPECT_EQ(outcome.hr, S_OK) << ToUtf8(outcome.description);
        const Text text(Bstr::View(result));
        SysFreeString(result);
        return text;
    }

    std::unique_ptr<ImportPatch> patch_;
};

// A failed query is the empty directory, "\" once ended: only windows whose Path
// is empty or "\" count as folders.
TEST_F(WindowsDirectory, AFailedQueryLeavesOnlyEmptyPathsAsFolders) {
    g_directory.clear();
    EXPECT_EQ(WinDir(), u"");
    EXPECT_EQ(Report({u"", u"C:\\windows", u"\\", u"C:\\Program Files"}),
              u"I'm currently browsing:\r\n\r\nT2\r\nT4\r\n\r\n");
}

// A drive's root already ends in a backslash and gets no second one.
TEST_F(WindowsDirectory, RootOfADrive) {
    g_directory = "D:\\";
    EXPECT_EQ(WinDir(), u"D:\\");
    EXPECT_EQ(Report({u"D:", u"D:\\", u"D:\\\\", u"d:\\"}),
              u"I'm currently browsing:\r\n\r\nT3\r\nT4\r\n\r\n");
}

// Longer than the first 256-byte buffer: asked again, never cut short.
TEST_F(WindowsDirectory, LongerThanTheFirstBuffer) {
    g_directory = "C:\\" + std::string(300, 'w');
    const Text expected = FromUtf8(g_directory);
    EXPECT_EQ(WinDir(), expected);
    EXPECT_EQ(Report({expected.c_str(), u"C:\\other"}),
              u"I'm currently browsing:\r\n\r\nT2\r\n\r\n");
}

}  // namespace
}  // namespace tabulon::testing
