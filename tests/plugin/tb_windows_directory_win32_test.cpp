// The Windows directory as TB.dll sees it, with kernel32's answer replaced in the
// DLL's import table: a directory longer than the first buffer.
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

using QueryFunction = decltype(&::GetWindowsDirectoryA);

std::string g_directory;  // what the replacement reports

UINT WINAPI ReplacementQuery(LPSTR buffer, UINT size) {
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

class WindowsDirectory : public InitializedPluginTest {
  protected:
    void Arrange() override {
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

    std::unique_ptr<ImportPatch> patch_;
};

// Longer than the first 256-byte buffer: asked again, never cut short, in
// GetWinDir and in the report alike. The other edge cases are tested where the
// directory is queried and compared (tests/report).
TEST_F(WindowsDirectory, LongerThanTheFirstBuffer) {
    g_directory = "C:\\" + std::string(300, 'w');
    const Text expected = FromUtf8(g_directory);
    Args none;
    const Outcome winDir = plugin_.Call(L"GetWinDir", none);
    EXPECT_EQ(winDir.hr, S_OK);
    ASSERT_EQ(winDir.value.vt(), VT_BSTR);
    EXPECT_EQ(Bstr::View(winDir.value.get()->bstrVal), expected);

    shell::SetScenario(shell::Showing(
        {shell::Page(expected, u"T1", u"u"), shell::Page(u"C:\\other", u"T2", u"u")}));
    const CommandResult report = SendCommand(plugin_, u"/xweball", u"");
    EXPECT_EQ(report.outcome.hr, S_OK) << ToUtf8(report.outcome.description);
    EXPECT_EQ(report.text, u"I'm currently browsing:\r\n\r\nT2\r\n\r\n");
}

}  // namespace
}  // namespace tabulon::testing
