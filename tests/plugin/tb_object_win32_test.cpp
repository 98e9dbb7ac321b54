// Class TB through the registered TB.dll, by name, as the host drives it: every
// operation with its in/out arguments pre-set, the failure status, first-run
// seeding, and the do-nothing MPPluginDef.
#include <windows.h>
#include <wrl/client.h>

#include <gtest/gtest.h>

#include "common/bstr_win32.h"
#include "plugin_fixture_win32.h"
#include "tb_h.h"
#include "testshell/test_shell.h"

namespace tabulon::testing {
namespace {

using late_bound::Args;
using late_bound::Outcome;
namespace shell = testshell;

using TBObject = PluginTest;

TEST_F(TBObject, GetPublishInfoOverwritesWhateverWasPassed) {
    Args args;
    BSTR* name = args.Held(u"something else");
    LONG commands = 99, tags = 7;
    args.StringRef(name).LongRef(&commands).LongRef(&tags);
    const Outcome outcome = plugin_.Call(L"GetPublishInfo", args);
    ASSERT_EQ(outcome.hr, S_OK);
    EXPECT_EQ(outcome.value.vt(), VT_BOOL);
    EXPECT_EQ(outcome.value.get()->boolVal, VARIANT_TRUE);
    EXPECT_EQ(Bstr::View(*name), u"Tabulon");
    EXPECT_EQ(commands, 4);
    EXPECT_EQ(tags, 0);
}

TEST_F(TBObject, GetPublishCommandInfoWritesNameAndValueOfTheFourRowsOnly) {
    const struct {
        LONG index;
        const char16_t* name;
        const char16_t* value;
    } rows[] = {
        {1, u"Pick Website", u"xweb"},         {2, u"All Websites", u"xweball"},
        {3, u"Options", u"xweboptions"},       {4, u"About", u"xwebabout"},
        {0, u"passed name", u"passed value"},  {5, u"passed name", u"passed value"},
        {-1, u"passed name", u"passed value"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.index);
        Args args;
        BSTR* name = args.Held(u"passed name");
        BSTR* value = args.Held(u"passed value");
        BSTR* help = args.Held(u"passed help");
        args.Long(row.index).StringRef(name).StringRef(value).StringRef(help);
        const Outcome outcome = plugin_.Call(L"GetPublishCommandInfo", args);
        EXPECT_EQ(outcome.hr, S_OK);
        EXPECT_EQ(outcome.value.vt(), VT_EMPTY);
        EXPECT_EQ(Bstr::View(*name), row.name);
        EXPECT_EQ(Bstr::View(*value), row.value);
        EXPECT_EQ(Bstr::View(*help), u"passed help") << "help text is never written";
    }
}

TEST_F(TBObject, OperationsWithNothingToDoLeaveTheirArgumentsAlone) {
    Bstr firstOwner(u"first"), secondOwner(u"second");
    BSTR first = firstOwner.get(), second = secondOwner.get();
    {
        Args args;
        args.Long(1).StringRef(&first).StringRef(&second);
        const Outcome outcome = plugin_.Call(L"GetPublishTagInfo", args);
        EXPECT_EQ(outcome.hr, S_OK);
        EXPECT_EQ(outcome.value.vt(), VT_EMPTY);
    }
    {
        Args args;
        args.String(u"<tag>").Object(nullptr).StringRef(&first);
        const Outcome outcome = plugin_.Call(L"ParseTag", args);
        EXPECT_EQ(outcome.hr, S_OK);
        EXPECT_EQ(outcome.value.vt(), VT_BOOL);
        EXPECT_FALSE(outcome.Boolean());
    }
    {
        Args args;
        args.String(u"code").String(u"text").String(u"contact").Object(nullptr).StringRef(&second);
        const Outcome outcome = plugin_.Call(L"ReceiveNotify", args);
        EXPECT_EQ(outcome.hr, S_OK);
        EXPECT_FALSE(outcome.Boolean());
    }
    EXPECT_EQ(first, firstOwner.get()) << "the very same string came back";
    EXPECT_EQ(second, secondOwner.get());
    EXPECT_EQ(firstOwner.view(), u"first");
    EXPECT_EQ(secondOwner.view(), u"second");
}

TEST_F(TBObject, GetWinDirIsTheSystemsWindowsDirectory) {
    char ansi[MAX_PATH] = {};
    const UINT n = GetWindowsDirectoryA(ansi, MAX_PATH);
    ASSERT_GT(n, 0u);
    Args none;
    const Outcome outcome = plugin_.Call(L"GetWinDir", none);
    ASSERT_EQ(outcome.hr, S_OK);
    ASSERT_EQ(outcome.value.vt(), VT_BSTR);
    EXPECT_EQ(Bstr::View(outcome.value.get()->bstrVal), FromUtf8(std::string(ansi, n)));
    EXPECT_NE(Bstr::View(outcome.value.get()->bstrVal).back(), u'\\');
}

void ExpectSeeded() {
    EXPECT_EQ(StoredSetting(L"Show"), Text(u"2"));
    EXPECT_EQ(StoredSetting(L"Before"), Text(u"I'm currently browsing:"));
    EXPECT_EQ(StoredSetting(L"After"), Text(u""));
}

TEST_F(TBObject, InitializeSeedsOnceAndOnlyWhenShowIsEmpty) {
    InitializePlugin(plugin_);
    ExpectSeeded();
    EXPECT_EQ(shell::ReadCounters().windows_calls, 1);

    // Run again: the shell is reused and asked again; nothing is written.
    StoreSetting(L"Before", u"edited");
    DeleteSetting(L"After");
    InitializePlugin(plugin_);
    EXPECT_EQ(StoredSetting(L"Before"), Text(u"edited"));
    EXPECT_EQ(StoredSetting(L"After"), std::nullopt);
    EXPECT_EQ(shell::ReadCounters().shells_created, 1);
    EXPECT_EQ(shell::ReadCounters().windows_calls, 2);

    // Only "Show" decides: emptied, it brings all three first-run values back.
    StoreSetting(L"Show", u"");
    InitializePlugin(plugin_);
    ExpectSeeded();

    // A value from the options dialog counts as set.
    StoreSetting(L"Show", u" 0");
    DeleteSetting(L"Before");
    InitializePlugin(plugin_);
    EXPECT_EQ(StoredSetting(L"Show"), Text(u" 0"));
    EXPECT_EQ(StoredSetting(L"Before"), std::nullopt);
}

TEST_F(TBObject, InitializeFailsWithoutSeedingWhenTheShellFails) {
    const struct {
        const char* what;
        HRESULT create, windows;
    } cases[] = {
        {"shell cannot be created", E_ACCESSDENIED, S_OK},
        {"Windows fails", S_OK, E_NOTIMPL},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        shell::Scenario scenario;
        scenario.create_shell = c.create;
        scenario.windows_call = c.windows;
        shell::SetScenario(scenario);
        late_bound::Object plugin = CreatePlugin();
        Args args;
        args.Long(0).String(u"").Object(nullptr);
        const Outcome outcome = plugin.Call(L"Initialize", args);
        EXPECT_EQ(outcome.hr, DISP_E_EXCEPTION);
        EXPECT_EQ(outcome.scode, c.create != S_OK ? c.create : c.windows);
        EXPECT_FALSE(outcome.description.empty());
        EXPECT_EQ(outcome.source, u"Quenlar.TB");
        EXPECT_EQ(StoredSetting(L"Show"), std::nullopt) << "nothing seeded";
        EXPECT_EQ(plugin.Reset(), 0u);
    }
}

TEST_F(TBObject, ParseCommandReadsTheSettingsFirstAndFailsOnAnUnusableShow) {
    StoreSetting(L"Before", u"b");
    StoreSetting(L"After", u"a");
    const struct {
        const char16_t* show;
        HRESULT scode;
    } bad[] = {
        {u"abc", DISP_E_TYPEMISMATCH},
        {u"32768", DISP_E_OVERFLOW},
        {u"-32769", DISP_E_OVERFLOW},
        {u"", DISP_E_TYPEMISMATCH},  // never seeded: the display mode is missing
    };
    for (const auto& b : bad) {
        StoreSetting(L"Show", b.show);
        for (const char16_t* command : {u"/xweball", u"/xwebabout", u"/unknown"}) {
            SCOPED_TRACE(ToUtf8(Text(b.show) + u" " + command));
            const CommandResult sent = SendCommand(plugin_, command, u"kept");
            const Outcome& outcome = sent.outcome;
            EXPECT_EQ(outcome.hr, DISP_E_EXCEPTION);
            EXPECT_EQ(outcome.scode, b.scode);
            EXPECT_NE(outcome.description.find(u"Show"), Text::npos) << ToUtf8(outcome.description);
            EXPECT_EQ(sent.text, u"kept");
        }
    }
}

TEST_F(TBObject, ParseCommandLeavesOtherCommandsAlone) {
    StoreSetting(L"Show", u"2");
    for (const char16_t* command : {u"/xwebx", u"/help", u"xweball", u" /xweball", u"/xweball "}) {
        SCOPED_TRACE(ToUtf8(command));
        const CommandResult sent = SendCommand(plugin_, command, u"kept", u"arg");
        EXPECT_EQ(sent.outcome.hr, S_OK);
        EXPECT_EQ(sent.outcome.value.vt(), VT_BOOL);
        EXPECT_FALSE(sent.outcome.Boolean());
        EXPECT_EQ(sent.text, u"kept");
    }
    // A NULL BSTR is the empty text: no command of ours, and no crash.
    Bstr result;
    Args args;
    args.NullString().NullString().Object(nullptr).StringRef(result.put());
    const Outcome outcome = plugin_.Call(L"ParseCommand", args);
    EXPECT_EQ(outcome.hr, S_OK);
    EXPECT_FALSE(outcome.Boolean());
    EXPECT_EQ(result.get(), nullptr);
}

TEST_F(TBObject, UninitializeChangesNothing) {
    InitializePlugin(plugin_);
    Args none;
    const Outcome outcome = plugin_.Call(L"Uninitialize", none);
    ASSERT_EQ(outcome.hr, S_OK);
    EXPECT_EQ(outcome.value.vt(), VT_EMPTY);
    const CommandResult sent = SendCommand(plugin_, u"/xweball", u"");
    EXPECT_EQ(sent.outcome.hr, S_OK);
    EXPECT_TRUE(sent.outcome.Boolean());
    EXPECT_EQ(sent.text, u"No Webistes Available");
}

// Early-bound callers get E_POINTER for missing out pointers, never a crash.
TEST_F(TBObject, NullPointersThroughTheVtable) {
    Microsoft::WRL::ComPtr<_TB> tb;
    ASSERT_EQ(plugin_.get()->QueryInterface(IID_PPV_ARGS(&tb)), S_OK);
    VARIANT_BOOL ok = VARIANT_TRUE;
    VARIANT empty;
    VariantInit(&empty);
    Bstr text;
    LONG number = 0;
    EXPECT_EQ(tb->Initialize(0, nullptr, nullptr, nullptr), E_POINTER);
    EXPECT_EQ(tb->GetWinDir(nullptr), E_POINTER);
    EXPECT_EQ(tb->Uninitialize(nullptr), E_POINTER);
    EXPECT_EQ(tb->GetPublishInfo(nullptr, &number, &number, &ok), E_POINTER);
    EXPECT_EQ(ok, VARIANT_FALSE);
    EXPECT_EQ(tb->GetPublishInfo(text.put(), nullptr, &number, &ok), E_POINTER);
    EXPECT_EQ(text.get(), nullptr) << "nothing written before the check";
    EXPECT_EQ(tb->GetPublishCommandInfo(1, text.put(), text.put(), nullptr, &empty), E_POINTER);
    EXPECT_EQ(tb->GetPublishTagInfo(1, nullptr, text.put(), &empty), E_POINTER);
    EXPECT_EQ(tb->ParseCommand(nullptr, nullptr, nullptr, nullptr, &ok), E_POINTER);
    EXPECT_EQ(tb->ParseTag(nullptr, nullptr, nullptr, &ok), E_POINTER);
    EXPECT_EQ(tb->ReceiveNotify(nullptr, nullptr, nullptr, nullptr, nullptr, &ok), E_POINTER);
    EXPECT_EQ(tb->ParseCommand(nullptr, nullptr, nullptr, text.put(), nullptr), E_POINTER);
}

TEST_F(TBObject, PluginDefOperationsDoNothing) {
    Microsoft::WRL::ComPtr<MPPluginDef> def;
    ASSERT_EQ(plugin_.get()->QueryInterface(IID_PPV_ARGS(&def)), S_OK);
    StoreSetting(L"Show", u"2");

    Bstr a(u"a"), b(u"b"), c(u"c");
    BSTR pa = a.get(), pb = b.get(), pc = c.get();
    LONG n1 = 11, n2 = 22;
    VARIANT_BOOL ok = VARIANT_TRUE;
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_I4;

    EXPECT_EQ(def->Initialize(1, pa, nullptr, &ok), S_OK);
    EXPECT_EQ(ok, VARIANT_FALSE);
    EXPECT_EQ(StoredSetting(L"Before"), std::nullopt) << "no seeding";
    ok = VARIANT_TRUE;
    EXPECT_EQ(def->GetPublishInfo(&pa, &n1, &n2, &ok), S_OK);
    EXPECT_EQ(ok, VARIANT_FALSE);
    EXPECT_EQ(def->GetPublishCommandInfo(1, &pa, &pb, &pc, &v), S_OK);
    EXPECT_EQ(v.vt, VT_EMPTY);
    v.vt = VT_I4;
    EXPECT_EQ(def->GetPublishTagInfo(1, &pa, &pb, &v), S_OK);
    EXPECT_EQ(v.vt, VT_EMPTY);
    v.vt = VT_I4;
    EXPECT_EQ(def->Uninitialize(&v), S_OK);
    EXPECT_EQ(v.vt, VT_EMPTY);
    ok = VARIANT_TRUE;
    Bstr command(u"/xweball");
    EXPECT_EQ(def->ParseCommand(command.get(), nullptr, nullptr, &pa, &ok), S_OK);
    EXPECT_EQ(ok, VARIANT_FALSE);
    ok = VARIANT_TRUE;
    EXPECT_EQ(def->ParseTag(pa, nullptr, &pb, &ok), S_OK);
    EXPECT_EQ(ok, VARIANT_FALSE);
    ok = VARIANT_TRUE;
    EXPECT_EQ(def->ReceiveNotify(pa, pb, pc, nullptr, &pc, &ok), S_OK);
    EXPECT_EQ(ok, VARIANT_FALSE);

    EXPECT_EQ(pa, a.get());
    EXPECT_EQ(pb, b.get());
    EXPECT_EQ(pc, c.get());
    EXPECT_EQ(a.view(), u"a");
    EXPECT_EQ(n1, 11);
    EXPECT_EQ(n2, 22);
    EXPECT_EQ(shell::ReadCounters().shells_created, 0);

    EXPECT_EQ(def->Initialize(1, nullptr, nullptr, nullptr), E_POINTER);
    EXPECT_EQ(def->Uninitialize(nullptr), E_POINTER);
}

}  // namespace
}  // namespace tabulon::testing
