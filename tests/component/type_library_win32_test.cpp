// The type library embedded in TB.dll, read back as a host's tools would read it.
#include <windows.h>
#include <oleauto.h>
#include <wrl/client.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/bstr_win32.h"
#include "common/scope_exit.h"
#include "tb_h.h"
#include "tb_module_win32.h"

using Microsoft::WRL::ComPtr;
using tabulon::Bstr;

namespace {

struct ExpectedParam {
    const wchar_t* name;
    VARTYPE vt;  // for a pointer, the pointed-to type
    bool pointer;
    USHORT flags;  // PARAMFLAG_*
};

struct ExpectedMethod {
    const wchar_t* name;
    std::initializer_list<ExpectedParam> params;  // the retval last
};

constexpr USHORT kIn = PARAMFLAG_FIN;
constexpr USHORT kInOut = PARAMFLAG_FIN | PARAMFLAG_FOUT;
constexpr USHORT kRetval = PARAMFLAG_FOUT | PARAMFLAG_FRETVAL;

// clang-format off
const ExpectedMethod kMethods[] = {
    {L"Initialize", {{L"nVersion", VT_I4, false, kIn}, {L"sUserEmail", VT_BSTR, false, kIn},
                     {L"oMessenger", VT_DISPATCH, false, kIn}, {nullptr, VT_BOOL, true, kRetval}}},
    {L"GetWinDir", {{nullptr, VT_BSTR, true, kRetval}}},
    {L"Uninitialize", {{nullptr, VT_VARIANT, true, kRetval}}},
    {L"GetPublishInfo", {{L"sPluginName", VT_BSTR, true, kInOut},
                         {L"nCommandCount", VT_I4, true, kInOut},
                         {L"nTagCount", VT_I4, true, kInOut}, {nullptr, VT_BOOL, true, kRetval}}},
    {L"GetPublishCommandInfo", {{L"nCommandIdx", VT_I4, false, kIn},
                                {L"sName", VT_BSTR, true, kInOut},
                                {L"sValue", VT_BSTR, true, kInOut},
                                {L"sHelp", VT_BSTR, true, kInOut},
                                {nullptr, VT_VARIANT, true, kRetval}}},
    {L"GetPublishTagInfo", {{L"nTagIdx", VT_I4, false, kIn}, {L"sName", VT_BSTR, true, kInOut},
                            {L"sValue", VT_BSTR, true, kInOut},
                            {nullptr, VT_VARIANT, true, kRetval}}},
    {L"ParseCommand", {{L"sCommand", VT_BSTR, false, kIn}, {L"sCommandArg", VT_BSTR, false, kIn},
                       {L"oConversationWnd", VT_DISPATCH, false, kIn},
                       {L"sResult", VT_BSTR, true, kInOut}, {nullptr, VT_BOOL, true, kRetval}}},
    {L"ParseTag", {{L"sTag", VT_BSTR, false, kIn}, {L"oConversationWnd", VT_DISPATCH, false, kIn},
                   {L"sResult", VT_BSTR, true, kInOut}, {nullptr, VT_BOOL, true, kRetval}}},
    {L"ReceiveNotify", {{L"sNotifyCode", VT_BSTR, false, kIn}, {L"sText", VT_BSTR, false, kIn},
                        {L"sContactName", VT_BSTR, false, kIn},
                        {L"oConversationWnd", VT_DISPATCH, false, kIn},
                        {L"sTextToSend", VT_BSTR, true, kInOut},
                        {nullptr, VT_BOOL, true, kRetval}}},
};
// clang-format on

class TypeLibrary : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(LoadTypeLibEx(tabulon::testing::TBPath().c_str(), REGKIND_NONE, &library_), S_OK);
    }
    ComPtr<ITypeLib> library_;
};

std::wstring NameOf(ITypeInfo* info, MEMBERID id = MEMBERID_NIL) {
    Bstr name;
    info->GetDocumentation(id, name.put(), nullptr, nullptr, nullptr);
    return std::wstring(name.get() ? name.get() : L"");
}

TEST_F(TypeLibrary, LibraryAttributes) {
    TLIBATTR* attr = nullptr;
    ASSERT_EQ(library_->GetLibAttr(&attr), S_OK);
    EXPECT_TRUE(IsEqualGUID(attr->guid, LIBID_Quenlar));
    EXPECT_EQ(attr->lcid, 0u);
    EXPECT_EQ(attr->syskind, sizeof(void*) == 8 ? SYS_WIN64 : SYS_WIN32);
    EXPECT_EQ(attr->wMajorVerNum, 1);
    EXPECT_EQ(attr->wMinorVerNum, 0);
    library_->ReleaseTLibAttr(attr);

    Bstr name, doc, helpFile;
    ASSERT_EQ(library_->GetDocumentation(-1, name.put(), doc.put(), nullptr, helpFile.put()), S_OK);
    EXPECT_STREQ(name.get(), L"Quenlar");
    EXPECT_EQ(SysStringLen(doc.get()), 0u);
    EXPECT_EQ(SysStringLen(helpFile.get()), 0u);
}

TEST_F(TypeLibrary, HoldsTheInterfaceThenTheClassAndNothingElse) {
    ASSERT_EQ(library_->GetTypeInfoCount(), 2u);
    const struct {
        const wchar_t* name;
        TYPEKIND kind;
        WORD flags;
        GUID guid;
    } expected[] = {
        // hidden | dual | nonextensible | oleautomation | dispatchable
        {L"_TB", TKIND_DISPATCH, 0x10d0, IID__TB},
        {L"TB", TKIND_COCLASS, TYPEFLAG_FCANCREATE, CLSID_TB},
    };
    for (UINT i = 0; i < 2; ++i) {
        SCOPED_TRACE(i);
        ComPtr<ITypeInfo> info;
        ASSERT_EQ(library_->GetTypeInfo(i, &info), S_OK);
        EXPECT_EQ(NameOf(info.Get()), expected[i].name);
        TYPEATTR* attr = nullptr;
        ASSERT_EQ(info->GetTypeAttr(&attr), S_OK);
        EXPECT_EQ(attr->typekind, expected[i].kind);
        EXPECT_EQ(attr->wTypeFlags, expected[i].flags);
        EXPECT_TRUE(IsEqualGUID(attr->guid, expected[i].guid));
        EXPECT_EQ(attr->wMajorVerNum, 1);
        EXPECT_EQ(attr->wMinorVerNum, 0);
        info->ReleaseTypeAttr(attr);
    }

    ComPtr<ITypeInfo> missing;
    EXPECT_EQ(library_->GetTypeInfoOfGuid(IID_MPPluginDef, &missing), TYPE_E_ELEMENTNOTFOUND);
    BOOL found = TRUE;
    wchar_t name[] = L"MPPluginDef";
    EXPECT_EQ(library_->IsName(name, 0, &found), S_OK);
    EXPECT_FALSE(found);
}

TEST_F(TypeLibrary, ClassImplementsOnlyTheDefaultInterface) {
    ComPtr<ITypeInfo> coclass;
    ASSERT_EQ(library_->GetTypeInfoOfGuid(CLSID_TB, &coclass), S_OK);
    TYPEATTR* attr = nullptr;
    ASSERT_EQ(coclass->GetTypeAttr(&attr), S_OK);
    EXPECT_EQ(attr->cImplTypes, 1);
    coclass->ReleaseTypeAttr(attr);

    INT flags = 0;
    ASSERT_EQ(coclass->GetImplTypeFlags(0, &flags), S_OK);
    EXPECT_EQ(flags, IMPLTYPEFLAG_FDEFAULT);
    HREFTYPE ref = 0;
    ASSERT_EQ(coclass->GetRefTypeOfImplType(0, &ref), S_OK);
    ComPtr<ITypeInfo> implemented;
    ASSERT_EQ(coclass->GetRefTypeInfo(ref, &implemented), S_OK);
    EXPECT_EQ(NameOf(implemented.Get()), L"_TB");
}

// The vtable view: the nine methods in slot order, their dispatch identifiers,
// parameters, directions and types.
TEST_F(TypeLibrary, InterfaceMethodsMatchTheVtable) {
    ComPtr<ITypeInfo> dispatchView;
    ASSERT_EQ(library_->GetTypeInfoOfGuid(IID__TB, &dispatchView), S_OK);
    HREFTYPE ref = 0;
    ASSERT_EQ(dispatchView->GetRefTypeOfImplType(-1, &ref), S_OK);
    ComPtr<ITypeInfo> info;
    ASSERT_EQ(dispatchView->GetRefTypeInfo(ref, &info), S_OK);

    TYPEATTR* attr = nullptr;
    ASSERT_EQ(info->GetTypeAttr(&attr), S_OK);
    EXPECT_EQ(attr->typekind, TKIND_INTERFACE);
    EXPECT_EQ(attr->cFuncs, 9);
    EXPECT_EQ(attr->cVars, 0);
    info->ReleaseTypeAttr(attr);

    for (UINT i = 0; i < 9; ++i) {
        const ExpectedMethod& want = kMethods[i];
        SCOPED_TRACE(testing::Message() << "method " << i);
        FUNCDESC* func = nullptr;
        ASSERT_EQ(info->GetFuncDesc(i, &func), S_OK);
        BSTR names[8] = {};
        UINT count = 0;
        const tabulon::ScopeExit release([&] {
            for (UINT n = 0; n < count; ++n) SysFreeString(names[n]);
            info->ReleaseFuncDesc(func);
        });
        EXPECT_EQ(func->memid, static_cast<MEMBERID>(0x60030000 + i));
        EXPECT_EQ(func->funckind, FUNC_PUREVIRTUAL);
        EXPECT_EQ(func->invkind, INVOKE_FUNC);
        EXPECT_EQ(func->callconv, CC_STDCALL);
        EXPECT_EQ(func->elemdescFunc.tdesc.vt, VT_HRESULT);
        EXPECT_EQ(func->cParamsOpt, 0);
        EXPECT_EQ(func->oVft, static_cast<SHORT>((7 + i) * sizeof(void*)));
        ASSERT_EQ(func->cParams, static_cast<SHORT>(want.params.size()));

        ASSERT_EQ(info->GetNames(func->memid, names, 8, &count), S_OK);
        EXPECT_STREQ(names[0], want.name);
        size_t p = 0;
        for (const ExpectedParam& param : want.params) {
            SCOPED_TRACE(testing::Message() << "parameter " << p);
            const ELEMDESC& desc = func->lprgelemdescParam[p];
            if (param.name) {
                ASSERT_LT(p + 1, count);
                EXPECT_STREQ(names[p + 1], param.name);
            }
            EXPECT_EQ(desc.paramdesc.wParamFlags, param.flags);
            if (param.pointer) {
                ASSERT_EQ(desc.tdesc.vt, VT_PTR);
                EXPECT_EQ(desc.tdesc.lptdesc->vt, param.vt);
            } else {
                EXPECT_EQ(desc.tdesc.vt, param.vt);
            }
            ++p;
        }
    }
}

BOOL CALLBACK CollectLanguage(HMODULE, LPCWSTR, LPCWSTR, WORD language, LONG_PTR param) {
    reinterpret_cast<std::vector<WORD>*>(param)->push_back(language);
    return TRUE;
}

TEST(TypeLibraryResource, IsOneLanguageNeutralResource) {
    const HMODULE module = tabulon::testing::LoadTB().module;
    ASSERT_NE(module, nullptr);
    std::vector<WORD> languages;
    EnumResourceLanguagesW(module, L"TYPELIB", MAKEINTRESOURCEW(1), CollectLanguage,
                           reinterpret_cast<LONG_PTR>(&languages));
    EXPECT_EQ(languages, std::vector<WORD>{0});
}

}  // namespace
