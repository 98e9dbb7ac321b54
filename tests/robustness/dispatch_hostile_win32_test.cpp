// Every method of _TB, read from TB.dll's own type information, called through
// IDispatch::Invoke the way careless and hostile callers do. Each call must give a
// documented HRESULT, leave the result variant Empty when it fails, and never crash
// or free what the caller still owns.
//
// TB.dll binds the arguments itself: Wine's ITypeInfo::Invoke answers wrong codes,
// never sets puArgErr, refuses named arguments, crashes on null arrays and leaves
// False in pVarResult after a failure.
#include <windows.h>
#include <oleauto.h>
#include <wrl/client.h>

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "common/bstr_win32.h"
#include "plugin_fixture_win32.h"
#include "raw_invoke_win32.h"
#include "testshell/test_shell.h"

namespace tabulon::testing {
namespace {

using late_bound::Args;

std::string Utf8(const std::wstring& w) { return ToUtf8(Text(w.begin(), w.end())); }

// Zeroed, so a pointer-typed one is a null pointer.
VARIANT Of(VARTYPE vt) {
    VARIANT v{};
    v.vt = vt;
    return v;
}

VARIANT Long(LONG value) {
    VARIANT v = Of(VT_I4);
    v.lVal = value;
    return v;
}

VARIANT Text_(TextView text) {
    VARIANT v = Of(VT_BSTR);
    v.bstrVal = Bstr::Allocate(text);
    return v;
}

VARIANT Array() {
    VARIANT v = Of(VT_ARRAY | VT_I4);
    v.parray = SafeArrayCreateVector(VT_I4, 0, 2);
    return v;
}

// Where argument p of m stands in rgvarg, which is reversed.
UINT Slot(const Method& m, size_t p) { return static_cast<UINT>(m.params.size() - 1 - p); }

class HostileDispatch : public PluginTest {
  protected:
    void Arrange() override {
        StoreSetting(L"Show", u"2");
        methods_ = ReadMethods(plugin_.get());
        ASSERT_EQ(methods_.size(), 9u);
    }

    IDispatch* dispatch() const { return plugin_.get(); }

    // The method's own arguments, each sensible, with argument p replaced when given.
    static void GoodArgs(const Method& m, Args& args, size_t p = SIZE_MAX,
                         const VARIANT& replacement = {}) {
        for (size_t i = 0; i < m.params.size(); ++i) {
            if (i == p)
                args.Raw(replacement);
            else
                Good(args, m.params[i]);
        }
    }

    template <typename Check>
    void ForEachParameter(Check check) {
        for (const Method& m : methods_) {
            for (size_t p = 0; p < m.params.size(); ++p) {
                SCOPED_TRACE(Utf8(m.name) + " " + Utf8(m.params[p].name));
                check(m, p);
            }
        }
    }

    void Invoke(DISPID id, const Args& args, const InvokeOptions& o = {}) {
        RawInvoke(dispatch(), id, args, o, r_);
    }
    void ExpectWorked() { EXPECT_EQ(r_.hr, S_OK) << ToUtf8(r_.description); }
    // A failed call leaves the result Empty; slot: the argument it must name.
    void ExpectFailed(HRESULT hr, std::optional<UINT> slot = {}) {
        EXPECT_EQ(r_.hr, hr);
        EXPECT_EQ(r_.value.vt, VT_EMPTY) << "result after a failure";
        if (slot) {
            EXPECT_EQ(r_.argError, *slot);
        }
    }
    void ExpectRefused(DISPID id, const Args& args, const InvokeOptions& o, HRESULT hr) {
        Invoke(id, args, o);
        ExpectFailed(hr);
    }

    std::vector<Method> methods_;
    InvokeResult r_;
};

TEST_F(HostileDispatch, TypeInformationIsTheNineMethods) {
    const wchar_t* names[] = {L"Initialize",
                              L"GetWinDir",
                              L"Uninitialize",
                              L"GetPublishInfo",
                              L"GetPublishCommandInfo",
                              L"GetPublishTagInfo",
                              L"ParseCommand",
                              L"ParseTag",
                              L"ReceiveNotify"};
    for (size_t i = 0; i < methods_.size(); ++i) {
        EXPECT_EQ(methods_[i].name, names[i]);
        EXPECT_EQ(methods_[i].id, static_cast<DISPID>(0x60030000 + i));
    }
    UINT count = 0;
    EXPECT_EQ(dispatch()->GetTypeInfoCount(&count), S_OK);
    EXPECT_EQ(count, 1u);
    EXPECT_EQ(dispatch()->GetTypeInfoCount(nullptr), E_POINTER);
    Microsoft::WRL::ComPtr<ITypeInfo> info;
    EXPECT_EQ(dispatch()->GetTypeInfo(1, 0, &info), DISP_E_BADINDEX);
    EXPECT_EQ(info, nullptr);
    EXPECT_EQ(dispatch()->GetTypeInfo(0, 0, nullptr), E_POINTER);
}

// Also without a place for the result, where the work is still done.
TEST_F(HostileDispatch, SensibleArgumentsWork) {
    for (const Method& m : methods_) {
        for (bool no_result : {false, true}) {
            SCOPED_TRACE(Utf8(m.name) + (no_result ? ", null pVarResult" : ""));
            Args args;
            GoodArgs(m, args);
            Invoke(m.id, args, {.no_result = no_result});
            ExpectWorked();
            if (!no_result) {
                EXPECT_NE(r_.value.vt, VT_ERROR);
            } else if (m.name == L"GetPublishInfo") {
                EXPECT_EQ(Bstr::View(*args[0].pbstrVal), u"Tabulon");
            }
        }
    }
}

TEST_F(HostileDispatch, WrongArgumentCount) {
    for (const Method& m : methods_) {
        SCOPED_TRACE(Utf8(m.name));
        Args fewer, none, more;  // fewer: the first left out
        for (size_t i = 1; i < m.params.size(); ++i) Good(fewer, m.params[i]);
        GoodArgs(m, more);
        more.Raw(Long(5));
        for (const Args* wrong : {&fewer, &none, &more}) {
            if (wrong != &more && m.params.empty()) continue;
            ExpectRefused(m.id, *wrong, {}, DISP_E_BADPARAMCOUNT);
        }
    }
}

// A value that can't become the parameter's type: the call fails before the method
// runs, naming the argument's index in rgvarg.
TEST_F(HostileDispatch, UnconvertibleArgumentsNameTheirIndex) {
    ForEachParameter([&](const Method& m, size_t p) {
        const Formal& formal = m.params[p];
        LONG number = 3;
        Bstr text;
        std::vector<std::pair<VARIANT, HRESULT>> wrongs;
        if (formal.byref) {
            VARIANT other = Of(VT_BYREF | (formal.vt == VT_BSTR ? VT_I4 : VT_BSTR));
            if (formal.vt == VT_BSTR)
                other.plVal = &number;
            else
                other.pbstrVal = text.put();
            wrongs = {{other, DISP_E_TYPEMISMATCH}, {Array(), DISP_E_TYPEMISMATCH}};
            if (formal.vt == VT_I4) wrongs.push_back({Text_(u"abc"), DISP_E_TYPEMISMATCH});
        } else if (formal.vt == VT_I4) {
            wrongs = {{Text_(u"abc"), DISP_E_TYPEMISMATCH},
                      {Text_(u"99999999999"), DISP_E_OVERFLOW},
                      {Array(), DISP_E_TYPEMISMATCH}};
        } else if (formal.vt == VT_BSTR) {
            wrongs = {{Array(), DISP_E_TYPEMISMATCH}};
        } else {
            wrongs = {{Text_(u"abc"), DISP_E_TYPEMISMATCH}, {Long(1), DISP_E_TYPEMISMATCH}};
        }
        for (const auto& [value, hr] : wrongs) {
            SCOPED_TRACE(value.vt);
            Args args;
            GoodArgs(m, args, p, value);
            Invoke(m.id, args);
            ExpectFailed(hr, Slot(m, p));
            // Nothing ran: the other in/out arguments are as passed.
            for (size_t i = 0; i < args.size(); ++i) {
                if (i != p && args[i].vt == (VT_BYREF | VT_BSTR)) {
                    EXPECT_EQ(Bstr::View(*args[i].pbstrVal), u"in");
                }
            }
            ExpectRefused(m.id, args, {.no_arg_error = true}, hr);
        }
    });
}

// Empty, Null, NULL BSTR and Nothing, one parameter at a time.
TEST_F(HostileDispatch, EmptyNullAndNullPointers) {
    ForEachParameter([&](const Method& m, size_t p) {
        const VARTYPE vt = m.params[p].vt;
        const HRESULT forObject = vt == VT_DISPATCH ? S_OK : DISP_E_TYPEMISMATCH;
        const HRESULT forString = vt == VT_BSTR ? S_OK : DISP_E_TYPEMISMATCH;
        Bstr nullString;
        VARIANT nullRef = Of(VT_BYREF | VT_BSTR);
        nullRef.pbstrVal = nullString.put();
        const struct {
            const char* what;
            VARIANT value;
            HRESULT hr;
        } cases[] = {
            {"Empty", Of(VT_EMPTY), S_OK},
            {"Null", Of(VT_NULL), forObject},
            {"NULL BSTR", Of(VT_BSTR), forString},
            {"Nothing", Of(VT_DISPATCH), forObject},
            {"reference to a NULL BSTR", nullRef, forString},
        };
        for (const auto& c : cases) {
            SCOPED_TRACE(c.what);
            Args args;
            GoodArgs(m, args, p, c.value);
            Invoke(m.id, args);
            if (c.hr == S_OK)
                ExpectWorked();
            else
                ExpectFailed(c.hr, Slot(m, p));
        }
        // A by-reference argument whose pointer is null reaches the method, which
        // refuses it.
        if (!m.params[p].byref) return;
        Args args;
        GoodArgs(m, args, p, Of(VT_BYREF | vt));
        Invoke(m.id, args);
        ExpectFailed(DISP_E_EXCEPTION);
        EXPECT_EQ(r_.scode, E_POINTER);
    });
}

// An in/out string passed by value: the method may replace its own copy, but the
// caller's string must be neither changed nor freed.
TEST_F(HostileDispatch, InOutStringsByValueLeaveTheCallersStringAlone) {
    for (const Method& m : methods_) {
        SCOPED_TRACE(Utf8(m.name));
        Args args;
        std::vector<std::pair<size_t, BSTR>> passed;  // where in args, and the caller's string
        for (const Formal& f : m.params) {
            if (f.byref && f.vt == VT_BSTR) {
                args.String(u"caller's own text");
                passed.emplace_back(args.size() - 1, args[args.size() - 1].bstrVal);
            } else {
                Good(args, f);
            }
        }
        if (passed.empty()) continue;
        Invoke(m.id, args);
        ExpectWorked();
        for (const auto& [i, s] : passed) {
            EXPECT_EQ(args[i].vt, VT_BSTR);
            EXPECT_EQ(args[i].bstrVal, s) << "the by-value string is still the caller's";
            EXPECT_EQ(Bstr::View(s), u"caller's own text");
            // A freed string would come straight back from the allocator's cache.
            const Bstr probe(u"caller's own text");
            EXPECT_NE(probe.get(), s) << "the caller's string was freed";
        }
    }
}

// VBScript passes its variables as VT_BYREF|VT_VARIANT; in/out ones are written back
// into the script's own variable.
TEST_F(HostileDispatch, ScriptVariablesByReference) {
    for (const Method& m : methods_) {
        SCOPED_TRACE(Utf8(m.name));
        Args args;
        std::vector<VARIANT*> inner;
        for (const Formal& f : m.params) {
            inner.push_back(args.Held(f.vt == VT_I4 ? Long(1)
                                      : f.vt == VT_BSTR
                                          ? Text_(u"in")
                                          : Of(f.vt == VT_DISPATCH ? f.vt : VARTYPE(VT_EMPTY))));
            args.VariantRef(inner.back());
        }
        Invoke(m.id, args);
        ExpectWorked();
        for (size_t i = 0; i < m.params.size(); ++i) {
            if (m.params[i].byref) {
                EXPECT_EQ(inner[i]->vt, m.params[i].vt);
            }
        }
    }

    // What the script's variables hold afterwards.
    Args args;
    VARIANT* name = args.Held(Of(VT_EMPTY));
    VARIANT* commands = args.Held(Text_(u"12"));
    VARIANT* tags = args.Held(Of(VT_NULL));
    args.VariantRef(name).VariantRef(commands).VariantRef(tags);
    const DISPID publishInfo = methods_[3].id;
    Invoke(publishInfo, args);
    EXPECT_EQ(r_.hr, DISP_E_TYPEMISMATCH) << "Null can't be a Long";
    EXPECT_EQ(r_.argError, 0u);
    EXPECT_EQ(name->vt, VT_EMPTY) << "a refused call changes no variable";
    *tags = Long(5);
    Invoke(publishInfo, args);
    ASSERT_EQ(r_.hr, S_OK);
    EXPECT_EQ(Bstr::View(name->bstrVal), u"Tabulon");
    EXPECT_EQ(commands->vt, VT_I4);
    EXPECT_EQ(commands->lVal, 4);
    EXPECT_EQ(tags->lVal, 0);

    // A null variant pointer, and a variant that itself holds a reference.
    ForEachParameter([&](const Method& m, size_t p) {
        Args hollow;
        GoodArgs(m, hollow, p, Of(VT_BYREF | VT_VARIANT));
        Invoke(m.id, hollow);
        ExpectFailed(DISP_E_TYPEMISMATCH, Slot(m, p));
        if (m.params[p].vt != VT_BSTR) return;
        Args nested;
        VARIANT refToString = Of(VT_BYREF | VT_BSTR);
        refToString.pbstrVal = nested.Held(u"in");
        VARIANT variable = Of(VT_BYREF | VT_VARIANT);
        variable.pvarVal = nested.Held(refToString);
        GoodArgs(m, nested, p, variable);
        Invoke(m.id, nested);
        ExpectWorked();
    });
}

TEST_F(HostileDispatch, NamedArguments) {
    // ParseCommand(sCommand, sCommandArg, oConversationWnd, sResult) with every
    // argument named, in scrambled order.
    const Method& parse = methods_[6];
    ASSERT_EQ(parse.name, L"ParseCommand");
    Args args;  // natural order here is the order of the named list below
    BSTR* result = args.Held(u"kept");
    args.StringRef(result);    // 3: sResult
    args.String(u"");          // 1: sCommandArg
    args.String(u"/XWEBALL");  // 0: sCommand
    args.Object(nullptr);      // 2: oConversationWnd
    // rgvarg is reversed: rgvarg[0] is the last one added.
    Invoke(parse.id, args, {.named = {2, 0, 1, 3}});
    ASSERT_EQ(r_.hr, S_OK) << ToUtf8(r_.description);
    EXPECT_EQ(r_.value.vt, VT_BOOL);
    EXPECT_EQ(r_.value.boolVal, VARIANT_TRUE);
    EXPECT_EQ(Bstr::View(*result), u"No Webistes Available");

    // Named and positional mixed: the positional ones come first.
    for (const Method& m : methods_) {
        if (m.params.size() < 2) continue;
        SCOPED_TRACE(Utf8(m.name));
        Args mixed;
        GoodArgs(m, mixed);
        const auto last = static_cast<DISPID>(m.params.size() - 1);
        Invoke(m.id, mixed, {.named = {last}});
        ExpectWorked();
        // A name beyond the parameters, a negative one, DISPID_PROPERTYPUT on a method,
        // and the same parameter named twice.
        const std::vector<DISPID> wrongs[] = {{last + 1}, {-7}, {DISPID_PROPERTYPUT}, {0, 0}};
        for (const std::vector<DISPID>& named : wrongs) {
            SCOPED_TRACE(named.back());
            Invoke(m.id, mixed, {.named = named});
            ExpectFailed(DISP_E_PARAMNOTFOUND, static_cast<UINT>(named.size() - 1));
        }
    }
}

TEST_F(HostileDispatch, MalformedCalls) {
    for (const Method& m : methods_) {
        SCOPED_TRACE(Utf8(m.name));
        Args args, none;
        GoodArgs(m, args);
        // A method is no property.
        for (WORD flags :
             {WORD(DISPATCH_PROPERTYPUT), WORD(DISPATCH_PROPERTYPUTREF),
              WORD(DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF), WORD(DISPATCH_PROPERTYGET)}) {
            SCOPED_TRACE(flags);
            ExpectRefused(m.id, args, {.flags = flags}, DISP_E_MEMBERNOTFOUND);
        }
        // As VB and VBScript call a method whose result is used.
        Invoke(m.id, args, {.flags = DISPATCH_METHOD | DISPATCH_PROPERTYGET});
        EXPECT_EQ(r_.hr, S_OK);

        ExpectRefused(m.id, args, {.riid = &IID_IDispatch}, DISP_E_UNKNOWNINTERFACE);
        ExpectRefused(m.id, none, {.no_params = true}, E_INVALIDARG);
        if (!m.params.empty()) {
            ExpectRefused(m.id, args, {.null_rgvarg = true}, E_INVALIDARG);
            ExpectRefused(m.id, args, {.named_count = 1}, E_INVALIDARG);  // no rgdispidNamedArgs
        }
        ExpectRefused(m.id, args, {.named = std::vector<DISPID>(m.params.size() + 1, 0)},
                      E_INVALIDARG);
    }

    Args none;
    for (DISPID unknown : {DISPID(0x60030009), DISPID(0x5FFFFFFF), DISPID(DISPID_VALUE),
                           DISPID(DISPID_UNKNOWN), DISPID(DISPID_NEWENUM), DISPID(1)}) {
        SCOPED_TRACE(unknown);
        ExpectRefused(unknown, none, {}, DISP_E_MEMBERNOTFOUND);
    }
    // Nor are IDispatch's own DISPIDs callable.
    Args two;
    two.Raw(Of(VT_EMPTY)).Raw(Of(VT_EMPTY));
    for (DISPID inherited = 0x60000000; inherited < 0x60000000 + 8; ++inherited) {
        ExpectRefused(inherited, none, {}, DISP_E_MEMBERNOTFOUND);
        ExpectRefused(inherited, two, {}, DISP_E_MEMBERNOTFOUND);
    }
}

TEST_F(HostileDispatch, NamesAreFoundInAnyCaseAndUnknownOnesAreMarked) {
    const auto idsOf = [&](std::vector<const wchar_t*> names, std::vector<DISPID>& ids,
                           REFIID riid = IID_NULL) {
        ids.assign(names.size(), 12345);
        return dispatch()->GetIDsOfNames(riid, const_cast<LPOLESTR*>(names.data()),
                                         static_cast<UINT>(names.size()), 0, ids.data());
    };
    std::vector<DISPID> ids;
    for (const Method& m : methods_) {
        std::wstring lower = m.name, upper = m.name;
        for (auto& c : lower) c = towlower(c);
        for (auto& c : upper) c = towupper(c);
        for (const std::wstring& name : {m.name, lower, upper}) {
            EXPECT_EQ(idsOf({name.c_str()}, ids), S_OK);
            EXPECT_EQ(ids[0], m.id);
        }
    }
    // Parameter names after the method name give their positions.
    EXPECT_EQ(idsOf({L"parsecommand", L"SRESULT", L"sCommand"}, ids), S_OK);
    EXPECT_EQ(ids, (std::vector<DISPID>{0x60030006, 3, 0}));

    const struct {
        std::vector<const wchar_t*> names;
        std::vector<DISPID> ids;
    } unknown[] = {
        {{L"NoSuchMethod"}, {DISPID_UNKNOWN}},
        {{L""}, {DISPID_UNKNOWN}},
        {{L"ParseCommand "}, {DISPID_UNKNOWN}},
        {{L"QueryInterface"}, {DISPID_UNKNOWN}},  // IDispatch's own are not callable
        {{L"Invoke"}, {DISPID_UNKNOWN}},
        {{L"sResult"}, {DISPID_UNKNOWN}},  // a parameter name alone
        {{L"ParseCommand", L"sNothing", L"sResult"}, {0x60030006, DISPID_UNKNOWN, 3}},
        {{L"Nope", L"sResult"}, {DISPID_UNKNOWN, DISPID_UNKNOWN}},
        {{L"GetTypeInfo", L"itinfo"}, {DISPID_UNKNOWN, DISPID_UNKNOWN}},
    };
    for (const auto& u : unknown) {
        SCOPED_TRACE(Utf8(u.names[0]));
        EXPECT_EQ(idsOf(u.names, ids), DISP_E_UNKNOWNNAME);
        EXPECT_EQ(ids, u.ids);
    }

    EXPECT_EQ(idsOf({L"ParseCommand"}, ids, IID_IDispatch), DISP_E_UNKNOWNINTERFACE);
    EXPECT_EQ(idsOf({nullptr}, ids), E_INVALIDARG);
    DISPID id = 0;
    LPOLESTR one[] = {const_cast<LPOLESTR>(L"ParseCommand")};
    EXPECT_EQ(dispatch()->GetIDsOfNames(IID_NULL, nullptr, 1, 0, &id), E_INVALIDARG);
    EXPECT_EQ(dispatch()->GetIDsOfNames(IID_NULL, one, 1, 0, nullptr), E_INVALIDARG);
    EXPECT_EQ(dispatch()->GetIDsOfNames(IID_NULL, one, 0, 0, &id), S_OK);
}

}  // namespace
}  // namespace tabulon::testing
