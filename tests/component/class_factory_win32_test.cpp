// The exports as COM itself uses them: class objects, object and lock counting,
// QueryInterface rules, and registration entries.
#include <windows.h>
#include <objbase.h>
#include <wrl/client.h>

#include <gtest/gtest.h>

#include <string>

#include "common/bstr_win32.h"
#include "tb_h.h"
#include "tb_module_win32.h"

using Microsoft::WRL::ComPtr;
using tabulon::Bstr;
using tabulon::testing::LoadTB;

namespace {

ComPtr<IClassFactory> Factory() {
    ComPtr<IClassFactory> factory;
    EXPECT_EQ(LoadTB().DllGetClassObject(CLSID_TB, IID_PPV_ARGS(&factory)), S_OK);
    return factory;
}

TEST(ClassObject, OnlyForTheTBClass) {
    const auto& tb = LoadTB();
    ASSERT_NE(tb.DllGetClassObject, nullptr);
    void* object = reinterpret_cast<void*>(1);
    EXPECT_EQ(tb.DllGetClassObject(IID__TB, IID_IClassFactory, &object), CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_EQ(object, nullptr);
    EXPECT_EQ(tb.DllGetClassObject(CLSID_TB, IID_IClassFactory, nullptr), E_POINTER);
    object = reinterpret_cast<void*>(1);
    EXPECT_EQ(tb.DllGetClassObject(CLSID_TB, IID__TB, &object), E_NOINTERFACE);
    EXPECT_EQ(object, nullptr);
}

TEST(ClassObject, EachRequestMakesANewObjectAndAggregationIsRefused) {
    ComPtr<IClassFactory> factory = Factory();
    ASSERT_TRUE(factory);
    ComPtr<IUnknown> first, second;
    ASSERT_EQ(factory->CreateInstance(nullptr, IID_PPV_ARGS(&first)), S_OK);
    ASSERT_EQ(factory->CreateInstance(nullptr, IID_PPV_ARGS(&second)), S_OK);
    EXPECT_NE(first.Get(), second.Get());

    void* object = reinterpret_cast<void*>(1);
    EXPECT_EQ(factory->CreateInstance(first.Get(), IID_IUnknown, &object), CLASS_E_NOAGGREGATION);
    EXPECT_EQ(object, nullptr);
    object = reinterpret_cast<void*>(1);
    EXPECT_EQ(factory->CreateInstance(nullptr, IID_IClassFactory, &object), E_NOINTERFACE);
    EXPECT_EQ(object, nullptr);
    EXPECT_EQ(first.Reset(), 0u);
    EXPECT_EQ(second.Reset(), 0u);
    EXPECT_EQ(factory.Reset(), 0u);
}

// DllCanUnloadNow says no while a factory, a lock or an object is alive.
TEST(ClassObject, UnloadOnlyWhenNothingIsOutstanding) {
    const auto& tb = LoadTB();
    ASSERT_EQ(tb.DllCanUnloadNow(), S_OK);
    {
        ComPtr<IClassFactory> factory = Factory();
        EXPECT_EQ(tb.DllCanUnloadNow(), S_FALSE);
        ASSERT_EQ(factory->LockServer(TRUE), S_OK);
        ComPtr<IDispatch> plugin;
        ASSERT_EQ(factory->CreateInstance(nullptr, IID_PPV_ARGS(&plugin)), S_OK);
        EXPECT_EQ(factory.Reset(), 0u);
        EXPECT_EQ(tb.DllCanUnloadNow(), S_FALSE);  // the lock and the object
        ASSERT_EQ(Factory()->LockServer(FALSE), S_OK);
        EXPECT_EQ(tb.DllCanUnloadNow(), S_FALSE);  // the object
        ComPtr<MPPluginDef> def;
        ASSERT_EQ(plugin.As(&def), S_OK);
        plugin.Reset();
        EXPECT_EQ(tb.DllCanUnloadNow(), S_FALSE);  // still referenced through MPPluginDef
        EXPECT_EQ(def.Reset(), 0u);
    }
    EXPECT_EQ(tb.DllCanUnloadNow(), S_OK);
}

// An unlock without a lock is refused: counted, it would let the host unload the
// DLL under a live object.
TEST(ClassObject, AStrayUnlockCannotFreeTheServer) {
    const auto& tb = LoadTB();
    ComPtr<IDispatch> plugin;
    ASSERT_EQ(Factory()->CreateInstance(nullptr, IID_PPV_ARGS(&plugin)), S_OK);
    EXPECT_EQ(Factory()->LockServer(FALSE), E_UNEXPECTED);
    EXPECT_EQ(Factory()->LockServer(FALSE), E_UNEXPECTED);
    EXPECT_EQ(tb.DllCanUnloadNow(), S_FALSE);
    ASSERT_EQ(Factory()->LockServer(TRUE), S_OK);
    EXPECT_EQ(plugin.Reset(), 0u);
    EXPECT_EQ(tb.DllCanUnloadNow(), S_FALSE);  // the lock
    EXPECT_EQ(Factory()->LockServer(FALSE), S_OK);
    EXPECT_EQ(Factory()->LockServer(FALSE), E_UNEXPECTED);
    EXPECT_EQ(tb.DllCanUnloadNow(), S_OK);
}

TEST(PluginObject, QueryInterfaceRules) {
    ComPtr<IUnknown> unknown;
    ASSERT_EQ(Factory()->CreateInstance(nullptr, IID_PPV_ARGS(&unknown)), S_OK);

    ComPtr<IDispatch> dispatch;
    ComPtr<_TB> tb;
    ComPtr<MPPluginDef> def;
    ComPtr<ISupportErrorInfo> errorInfo;
    ASSERT_EQ(unknown.As(&dispatch), S_OK);
    ASSERT_EQ(unknown.As(&tb), S_OK);
    ASSERT_EQ(unknown.As(&def), S_OK);
    ASSERT_EQ(unknown.As(&errorInfo), S_OK);
    EXPECT_EQ(static_cast<IDispatch*>(tb.Get()), dispatch.Get());

    // One identity from every interface, and every interface reachable from every other.
    for (IUnknown* from :
         {static_cast<IUnknown*>(dispatch.Get()), static_cast<IUnknown*>(def.Get()),
          static_cast<IUnknown*>(errorInfo.Get())}) {
        ComPtr<IUnknown> identity;
        ASSERT_EQ(from->QueryInterface(IID_PPV_ARGS(&identity)), S_OK);
        EXPECT_EQ(identity.Get(), unknown.Get());
        ComPtr<_TB> again;
        EXPECT_EQ(from->QueryInterface(IID_PPV_ARGS(&again)), S_OK);
    }

    void* object = reinterpret_cast<void*>(1);
    EXPECT_EQ(unknown->QueryInterface(IID_IClassFactory, &object), E_NOINTERFACE);
    EXPECT_EQ(object, nullptr);
    EXPECT_EQ(def->QueryInterface(IID_IPersist, &object), E_NOINTERFACE);
    EXPECT_EQ(unknown->QueryInterface(IID_IUnknown, nullptr), E_POINTER);

    EXPECT_EQ(errorInfo->InterfaceSupportsErrorInfo(IID__TB), S_OK);
    EXPECT_EQ(errorInfo->InterfaceSupportsErrorInfo(IID_MPPluginDef), S_FALSE);

    // QueryInterface left no reference behind, the tear-off's included.
    dispatch.Reset();
    tb.Reset();
    def.Reset();
    errorInfo.Reset();
    EXPECT_EQ(unknown.Reset(), 0u);
}

std::wstring ClassesValue(const std::wstring& key, const wchar_t* name) {
    wchar_t buffer[1024] = {};
    DWORD size = sizeof(buffer);
    if (RegGetValueW(HKEY_CLASSES_ROOT, key.c_str(), name, RRF_RT_REG_SZ, nullptr, buffer, &size) !=
        ERROR_SUCCESS)
        return L"<absent>";
    return buffer;
}

std::wstring GuidText(REFGUID guid) {
    wchar_t text[40] = {};
    StringFromGUID2(guid, text, ARRAYSIZE(text));
    return text;
}

// The type library's key for a platform: this build's own, or the other width's.
constexpr bool kIs64Bit = sizeof(void*) == 8;
std::wstring LibraryKey(bool sixtyFourBit) {
    return L"TypeLib\\" + GuidText(LIBID_Quenlar) + L"\\1.0\\0\\" +
           (sixtyFourBit ? L"win64" : L"win32");
}

void ExpectRegistered() {
    const std::wstring clsid = GuidText(CLSID_TB);
    const std::wstring classKey = L"CLSID\\" + clsid;
    EXPECT_EQ(ClassesValue(L"Quenlar.TB\\CLSID", nullptr), clsid);
    EXPECT_EQ(ClassesValue(classKey + L"\\ProgID", nullptr), L"Quenlar.TB");
    EXPECT_EQ(ClassesValue(classKey + L"\\InprocServer32", L"ThreadingModel"), L"Apartment");
    EXPECT_EQ(lstrcmpiW(ClassesValue(classKey + L"\\InprocServer32", nullptr).c_str(),
                        tabulon::testing::TBPath().c_str()),
              0);
    EXPECT_EQ(ClassesValue(classKey + L"\\TypeLib", nullptr), GuidText(LIBID_Quenlar));
    // The library is registered for this build's platform, at the DLL's own path.
    EXPECT_EQ(lstrcmpiW(ClassesValue(LibraryKey(kIs64Bit), nullptr).c_str(),
                        tabulon::testing::TBPath().c_str()),
              0);
    // The type library registration, which also routes _TB to the automation marshaller.
    EXPECT_EQ(ClassesValue(L"Interface\\" + GuidText(IID__TB) + L"\\ProxyStubClsid32", nullptr),
              L"{00020424-0000-0000-C000-000000000046}");
    Bstr path;
    EXPECT_EQ(QueryPathOfRegTypeLib(LIBID_Quenlar, 1, 0, 0, path.put()), S_OK);
    // The help folder ends in a backslash, as the installer package writes it.
    const std::wstring dll = tabulon::testing::TBPath();
    const std::wstring folder = dll.substr(0, dll.find_last_of(L'\\') + 1);
    const std::wstring helpDir = L"TypeLib\\" + GuidText(LIBID_Quenlar) + L"\\1.0\\HELPDIR";
    EXPECT_EQ(lstrcmpiW(ClassesValue(helpDir, nullptr).c_str(), folder.c_str()), 0);
}

// Unregistering removes what registering wrote, so the class can no longer be
// created; registering again restores it (the other tests need it).
TEST(Registration, UnregisterThenRegisterAgain) {
    const auto& tb = LoadTB();
    ExpectRegistered();

    ASSERT_EQ(tb.DllUnregisterServer(), S_OK);
    CLSID clsid;
    {
        EXPECT_NE(CLSIDFromProgID(L"Quenlar.TB", &clsid), S_OK);
        ComPtr<IDispatch> plugin;
        EXPECT_EQ(CoCreateInstance(CLSID_TB, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&plugin)),
                  REGDB_E_CLASSNOTREG);
    }
    EXPECT_EQ(ClassesValue(L"CLSID\\" + GuidText(CLSID_TB) + L"\\InprocServer32", nullptr),
              L"<absent>");
    Bstr path;
    EXPECT_NE(QueryPathOfRegTypeLib(LIBID_Quenlar, 1, 0, 0, path.put()), S_OK);
    EXPECT_EQ(tb.DllUnregisterServer(), S_OK) << "unregistering twice is harmless";

    ASSERT_EQ(tb.DllRegisterServer(), S_OK);
    ExpectRegistered();
    ComPtr<IDispatch> plugin;
    EXPECT_EQ(CoCreateInstance(CLSID_TB, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&plugin)),
              S_OK);
    EXPECT_EQ(plugin.Reset(), 0u);
}

// On 64-bit Windows both widths of TB.dll may be registered: the type library under
// win32 and win64 of the same key. Removing one must leave the other's entry, and
// must not fail because of it.
TEST(Registration, RemovalLeavesTheOtherWidthsLibrary) {
    const auto& tb = LoadTB();
    const std::wstring other = LibraryKey(!kIs64Bit);
    const std::wstring otherPath = L"C:\\Program Files\\Tabulon\\other-width\\TB.dll";
    ASSERT_EQ(RegSetKeyValueW(HKEY_CLASSES_ROOT, other.c_str(), nullptr, REG_SZ, otherPath.c_str(),
                              static_cast<DWORD>((otherPath.size() + 1) * sizeof(wchar_t))),
              ERROR_SUCCESS);

    EXPECT_EQ(tb.DllUnregisterServer(), S_OK);
    EXPECT_EQ(ClassesValue(LibraryKey(kIs64Bit), nullptr), L"<absent>");
    EXPECT_EQ(ClassesValue(other, nullptr), otherPath);
    EXPECT_EQ(tb.DllUnregisterServer(), S_OK) << "the other width's entry is not ours to remove";
    EXPECT_EQ(ClassesValue(other, nullptr), otherPath);

    EXPECT_EQ(tb.DllRegisterServer(), S_OK);
    EXPECT_EQ(ClassesValue(other, nullptr), otherPath);
    EXPECT_EQ(RegDeleteKeyW(HKEY_CLASSES_ROOT, other.c_str()), ERROR_SUCCESS);
    ExpectRegistered();
}

}  // namespace
