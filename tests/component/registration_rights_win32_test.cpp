// Registration where the registry refuses: on Vista and later a prompt without
// administrator rights cannot write the class entries, and regsvr32 must show the
// registry's own error (there, 0x80070005). A key of the test's own stands in for
// HKEY_CLASSES_ROOT. Wine grants every access a handle asks for, so the refusal
// here is a stand-in deleted under the override: each write through it fails with
// the registry's ERROR_KEY_DELETED.
#include <windows.h>

#include <gtest/gtest.h>

#include "common/unique_handle_win32.h"
#include "tb_module_win32.h"

using tabulon::RegistryKey;
using tabulon::testing::LoadTB;

namespace {

constexpr wchar_t kStandIn[] = L"Software\\Tabulon tests\\Classes root";

// HKEY_CLASSES_ROOT is `key` in this process until the override goes.
class ClassesRootOverride {
  public:
    explicit ClassesRootOverride(HKEY key) {
        EXPECT_EQ(RegOverridePredefKey(HKEY_CLASSES_ROOT, key), ERROR_SUCCESS);
    }
    ~ClassesRootOverride() { RegOverridePredefKey(HKEY_CLASSES_ROOT, nullptr); }
};

class RegistrationRights : public ::testing::Test {
  protected:
    void SetUp() override {
        RegDeleteTreeW(HKEY_CURRENT_USER, kStandIn);
        ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, kStandIn, 0, nullptr, 0, KEY_ALL_ACCESS,
                                  nullptr, writable_.put(), nullptr),
                  ERROR_SUCCESS);
    }
    void TearDown() override { RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Tabulon tests"); }

    // The stand-in goes while this test still holds its handle.
    void DeleteStandIn() { ASSERT_EQ(RegDeleteTreeW(HKEY_CURRENT_USER, kStandIn), ERROR_SUCCESS); }

    DWORD SubkeyCount() {
        DWORD subkeys = 0;
        RegQueryInfoKeyW(writable_.get(), nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr,
                         nullptr, nullptr, nullptr, nullptr, nullptr);
        return subkeys;
    }

    RegistryKey writable_;
};

TEST_F(RegistrationRights, ARefusedWriteIsReportedAsTheRegistrysError) {
    DeleteStandIn();
    ClassesRootOverride classesRoot(writable_.get());
    EXPECT_EQ(LoadTB().DllRegisterServer(), HRESULT_FROM_WIN32(ERROR_KEY_DELETED));
}

TEST_F(RegistrationRights, RegistrationAndRemovalInTheStandInSucceed) {
    {
        ClassesRootOverride classesRoot(writable_.get());
        ASSERT_EQ(LoadTB().DllRegisterServer(), S_OK);
    }
    EXPECT_GE(SubkeyCount(), 3u);  // the ProgID, CLSID, TypeLib and Interface
    {
        ClassesRootOverride classesRoot(writable_.get());
        EXPECT_EQ(LoadTB().DllUnregisterServer(), S_OK);
        EXPECT_EQ(LoadTB().DllUnregisterServer(), S_OK);  // nothing left to remove
    }
}

TEST_F(RegistrationRights, RemovalReportsTheRegistrysError) {
    {
        ClassesRootOverride classesRoot(writable_.get());
        ASSERT_EQ(LoadTB().DllRegisterServer(), S_OK);
    }
    DeleteStandIn();
    ClassesRootOverride classesRoot(writable_.get());
    const HRESULT hr = LoadTB().DllUnregisterServer();
    EXPECT_EQ(hr, HRESULT_FROM_WIN32(ERROR_KEY_DELETED)) << std::hex << hr;
}

}  // namespace
