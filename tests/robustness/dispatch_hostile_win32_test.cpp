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

#include <string>

#include "common/bstr_win32.h"
#include "plugin_fixture_win32.h"
#include "raw_invoke_win32.h"
#include "testshell/test_shell.h"

namespace tabulon::testing {
namespace {

using late_bound::Args;
namespace shell = testshell;

constexpr UINT kUntouched = 0xDEAD;

std::string Name(const Method& m) { return ToUtf8(Text(m.name.begin(), m.name.end())); }

VARIANT Of(VARTYPE vt) {
    VARIANT v;
    VariantInit(&v);
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

class HostileDispatch : public PluginTest {
  protected:
    void Arrange() override {
        StoreSetting(L"Show", u"2");
        methods_ = ReadMethods(plugin_.get());
        ASSERT_EQ(methods_.size(), 9u);
    }

    IDispatch* dispatch() const { return plugin_.get(); }

    // The method's own arguments, each sensible, with argument p replaced when given.
    void GoodArgs(const Method& m, Args& args, int p = -1, const VARIANT* replacement = nullptr) {
        for (size_t i = 0; i < m.params.size(); ++i) {
            if (static_cast<int>(i) == p && replacement)
                args.Raw(*replacement);
            else
                Good(args, m.params[i]);
        }
    }

    // A failed call leaves the result Empty.
    static void ExpectFailedCleanly(const InvokeResult& r, HRESULT expected) {
        EXPECT_EQ(r.hr, expected);
        EXPECT_EQ(r.value.vt, VT_EMPTY) << "result after a failure";
    }

    void ExpectRefused(DISPID id, const Args& args, const InvokeOptions& o, HRESULT hr) {
        InvokeResult r;
        RawInvoke(dispatch(), id, args, o, r);
        ExpectFailedCleanly(r, hr);
    }

    std::vector<Method> methods_;
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
            SCOPED_TRACE(Name(m) + (no_result ? ", null pVarResult" : ""));
            Args args;
            GoodArgs(m, args);
            InvokeResult r;
            RawInvoke(dispatch(), m.id, args, {.no_result = no_result}, r);
            EXPECT_EQ(r.hr, S_OK) << ToUtf8(r.description);
            if (!no_result) {
                EXPECT_NE(r.value.vt, VT_ERROR);
            }
        }
    }
    Args args;
    BSTR* name = args.Held(u"in");
    args.StringRef(name).LongRef(args.Held(7L)).LongRef(args.Held(7L));
    InvokeResult r;
    RawInvoke(dispatch(), methods_[3].id, args, {.no_result = true}, r);
    EXPECT_EQ(r.hr, S_OK);
    EXPECT_EQ(Bstr::View(*name), u"Tabulon");
}

TEST_F(HostileDispatch, WrongArgumentCount) {
    for (const Method& m : methods_) {
        SCOPED_TRACE(Name(m));
        if (!m.params.empty()) {
            // One fewer (the first left out), and none at all.
            Args fewer;
            for (size_t i = 1; i < m.params.size(); ++i) Good(fewer, m.params[i]);
            InvokeResult r;
            RawInvoke(dispatch(), m.id, fewer, {}, r);
            ExpectFailedCleanly(r, DISP_E_BADPARAMCOUNT);
            Args none;
            RawInvoke(dispatch(), m.id, none, {}, r);
            ExpectFailedCleanly(r, DISP_E_BADPARAMCOUNT);
        }
        Args more;
        GoodArgs(m, more);
        more.Raw(Long(5));
        InvokeResult r;
        RawInvoke(dispatch(), m.id, more, {}, r);
        ExpectFailedCleanly(r, DISP_E_BADPARAMCOUNT);
    }
}

// A value that can't become the parameter's type: the call fails before the method
// runs, naming the argument's index in rgvarg.
TEST_F(HostileDispatch, UnconvertibleArgumentsNameTheirIndex) {
    for (const Method& m : methods_) {
        for (size_t p = 0; p < m.params.size(); ++p) {
            const Formal& formal = m.params[p];
            SCOPED_TRACE(Name(m) + " " + ToUtf8(Text(formal.name.begin(), formal.name.end())));
            struct Wrong {
                VARIANT value;
                HRESULT hr;
            };
            std::vector<Wrong> wrongs;
            LONG number = 3;
            Bstr text;
            if (formal.byref) {
                VARIANT other = Of(VT_BYREF | (formal.vt == VT_BSTR ? VT_I4 : VT_BSTR));
                if (formal.vt == VT_BSTR)
                    other.plVal = &number;
                else
                    other.pbstrVal = text.put();
                wrongs.push_back({other, DISP_E_TYPEMISMATCH});
                wrongs.push_back({Array(), DISP_E_TYPEMISMATCH});
                if (formal.vt == VT_I4) wrongs.push_back({Text_(u"abc"), DISP_E_TYPEMISMATCH});
            } else if (formal.vt == VT_I4) {
                wrongs.push_back({Text_(u"abc"), DISP_E_TYPEMISMATCH});
                wrongs.push_back({Text_(u"99999999999"), DISP_E_OVERFLOW});
                wrongs.push_back({Array(), DISP_E_TYPEMISMATCH});
            } else if (formal.vt == VT_BSTR) {
                wrongs.push_back({Array(), DISP_E_TYPEMISMATCH});
            } else {
                wrongs.push_back({Text_(u"abc"), DISP_E_TYPEMISMATCH});
                wrongs.push_back({Long(1), DISP_E_TYPEMISMATCH});
            }
            for (Wrong& w : wrongs) {
                SCOPED_TRACE(w.value.vt);
                Args args;
                GoodArgs(m, args, static_cast<int>(p), &w.value);
                InvokeResult r;
                RawInvoke(dispatch(), m.id, args, {}, r);
                ExpectFailedCleanly(r, w.hr);
                EXPECT_EQ(r.argError, m.params.size() - 1 - p);
                // Nothing ran: the other in/out arguments are as passed.
                for (size_t i = 0; i < m.params.size(); ++i) {
                    const VARIANTARG& a = args[i];
                    if (i != p && a.vt == (VT_BYREF | VT_BSTR)) {
                        EXPECT_EQ(Bstr::View(*a.pbstrVal), u"in");
                    }
                }
                // Without puArgErr the call still fails cleanly.
                ExpectRefused(m.id, args, {.no_arg_error = true}, w.hr);
            }
        }
    }
}

// Empty, Null, NULL BSTR and Nothing, one parameter at a time.
TEST_F(HostileDispatch, EmptyNullAndNullPointers) {
    for (const Method& m : methods_) {
        for (size_t p = 0; p < m.params.size(); ++p) {
            const Formal& formal = m.params[p];
            SCOPED_TRACE(Name(m) + " " + ToUtf8(Text(formal.name.begin(), formal.name.end())));
            Bstr nullString;
            VARIANT nullRef = Of(VT_BYREF | VT_BSTR);
            nullRef.pbstrVal = nullString.put();
            VARIANT nullBstr = Of(VT_BSTR);
            nullBstr.bstrVal = nullptr;
            VARIANT nothing = Of(VT_DISPATCH);
            nothing.pdispVal = nullptr;
            const bool isObject = formal.vt == VT_DISPATCH;
            const struct {
                const char* what;
                VARIANT value;
                HRESULT hr;
            } cases[] = {
                {"Empty", Of(VT_EMPTY), S_OK},
                {"Null", Of(VT_NULL), isObject ? S_OK : DISP_E_TYPEMISMATCH},
                {"NULL BSTR", nullBstr, formal.vt == VT_BSTR ? S_OK : DISP_E_TYPEMISMATCH},
                {"Nothing", nothing, isObject ? S_OK : DISP_E_TYPEMISMATCH},
                {"reference to a NULL BSTR", nullRef,
                 formal.vt == VT_BSTR ? S_OK : DISP_E_TYPEMISMATCH},
            };
            for (const auto& c : cases) {
                SCOPED_TRACE(c.what);
                Args args;
                GoodArgs(m, args, static_cast<int>(p), &c.value);
                InvokeResult r;
                RawInvoke(dispatch(), m.id, args, {}, r);
                if (c.hr == S_OK) {
                    EXPECT_EQ(r.hr, S_OK) << ToUtf8(r.description);
                } else {
                    ExpectFailedCleanly(r, c.hr);
                    EXPECT_EQ(r.argError, m.params.size() - 1 - p);
                }
            }
            // A by-reference argument whose pointer is null reaches the method, which
            // refuses it.
            if (formal.byref) {
                VARIANT dangling = Of(VT_BYREF | formal.vt);
                dangling.byref = nullptr;
                Args args;
                GoodArgs(m, args, static_cast<int>(p), &dangling);
                InvokeResult r;
                RawInvoke(dispatch(), m.id, args, {}, r);
                ExpectFailedCleanly(r, DISP_E_EXCEPTION);
                EXPECT_EQ(r.scode, E_POINTER);
            }
        }
    }
}

// An in/out string passed by value: the method may replace its own copy, but the
// caller's string must be neither changed nor freed.
TEST_F(HostileDispatch, InOutStringsByValueLeaveTheCallersStringAlone) {
    for (const Method& m : methods_) {
        bool any = false;
        for (const Formal& f : m.params) any |= f.byref && f.vt == VT_BSTR;
        if (!any) continue;
        SCOPED_TRACE(Name(m));
        Args args;
        std::vector<BSTR> passed;
        for (const Formal& f : m.params) {
            if (f.byref && f.vt == VT_BSTR) {
                args.String(u"caller's own text");
                passed.push_back(args[args.size() - 1].bstrVal);
            } else {
                Good(args, f);
            }
        }
        InvokeResult r;
        RawInvoke(dispatch(), m.id, args, {}, r);
        EXPECT_EQ(r.hr, S_OK) << ToUtf8(r.description);
        size_t k = 0;
        for (size_t i = 0; i < args.size(); ++i) {
            const VARIANTARG& a = args[i];
            if (a.vt != VT_BSTR || k >= passed.size() || a.bstrVal != passed[k]) continue;
            EXPECT_EQ(Bstr::View(a.bstrVal), u"caller's own text");
            ++k;
        }
        EXPECT_EQ(k, passed.size()) << "every by-value string is still the caller's";
        // A freed string would come straight back from the allocator's cache.
        for (BSTR s : passed) {
            const Bstr probe(u"caller's own text");
            EXPECT_NE(probe.get(), s) << "the caller's string was freed";
        }
    }
}

// VBScript passes its variables as VT_BYREF|VT_VARIANT; in/out ones are written back
// into the script's own variable.
TEST_F(HostileDispatch, ScriptVariablesByReference) {
    for (const Method& m : methods_) {
        SCOPED_TRACE(Name(m));
        Args args;
        std::vector<VARIANT*> inner;
        for (const Formal& f : m.params) {
            VARIANT v = Of(VT_EMPTY);
            if (f.vt == VT_I4) v = Long(1);
            if (f.vt == VT_BSTR) v = Text_(u"in");
            if (f.vt == VT_DISPATCH) v.vt = VT_DISPATCH;
            inner.push_back(args.Held(v));
            args.VariantRef(inner.back());
        }
        InvokeResult r;
        RawInvoke(dispatch(), m.id, args, {}, r);
        EXPECT_EQ(r.hr, S_OK) << ToUtf8(r.description);
        for (size_t i = 0; i < m.params.size(); ++i)
            if (m.params[i].byref) {
                EXPECT_EQ(inner[i]->vt, m.params[i].vt);
            }
    }

    // What the script's variables hold afterwards.
    const Method& info = methods_[3];  // GetPublishInfo
    Args args;
    VARIANT* name = args.Held(Of(VT_EMPTY));
    VARIANT* commands = args.Held(Text_(u"12"));
    VARIANT* tags = args.Held(Of(VT_NULL));
    args.VariantRef(name).VariantRef(commands).VariantRef(tags);
    InvokeResult r;
    RawInvoke(dispatch(), info.id, args, {}, r);
    EXPECT_EQ(r.hr, DISP_E_TYPEMISMATCH) << "Null can't be a Long";
    EXPECT_EQ(r.argError, 0u);
    EXPECT_EQ(name->vt, VT_EMPTY) << "a refused call changes no variable";
    *tags = Long(5);
    RawInvoke(dispatch(), info.id, args, {}, r);
    ASSERT_EQ(r.hr, S_OK);
    EXPECT_EQ(Bstr::View(name->bstrVal), u"Tabulon");
    EXPECT_EQ(commands->vt, VT_I4);
    EXPECT_EQ(commands->lVal, 4);
    EXPECT_EQ(tags->lVal, 0);

    // A null variant pointer, and a variant that itself holds a reference.
    for (const Method& m : methods_) {
        for (size_t p = 0; p < m.params.size(); ++p) {
            SCOPED_TRACE(Name(m) + " " + std::to_string(p));
            VARIANT hollow = Of(VT_BYREF | VT_VARIANT);
            hollow.pvarVal = nullptr;
            Args bad;
            GoodArgs(m, bad, static_cast<int>(p), &hollow);
            RawInvoke(dispatch(), m.id, bad, {}, r);
            ExpectFailedCleanly(r, DISP_E_TYPEMISMATCH);
            EXPECT_EQ(r.argError, m.params.size() - 1 - p);

            if (m.params[p].vt != VT_BSTR) continue;
            Args nested;
            VARIANT refToString = Of(VT_BYREF | VT_BSTR);
            refToString.pbstrVal = nested.Held(u"in");
            for (size_t i = 0; i < m.params.size(); ++i)
                if (i == p)
                    nested.VariantRef(nested.Held(refToString));
                else
                    Good(nested, m.params[i]);
            RawInvoke(dispatch(), m.id, nested, {}, r);
            EXPECT_EQ(r.hr, S_OK) << ToUtf8(r.description);
        }
    }
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
    InvokeResult r;
    // rgvarg is reversed: rgvarg[0] is the last one added.
    RawInvoke(dispatch(), parse.id, args, {.named = {2, 0, 1, 3}}, r);
    ASSERT_EQ(r.hr, S_OK) << ToUtf8(r.description);
    EXPECT_EQ(r.value.vt, VT_BOOL);
    EXPECT_EQ(r.value.boolVal, VARIANT_TRUE);
    EXPECT_EQ(Bstr::View(*result), u"No Webistes Available");

    // Named and positional mixed: the positional ones come first.
    for (const Method& m : methods_) {
        if (m.params.size() < 2) continue;
        SCOPED_TRACE(Name(m));
        Args mixed;
        GoodArgs(m, mixed);
        RawInvoke(dispatch(), m.id, mixed, {.named = {static_cast<DISPID>(m.params.size() - 1)}},
                  r);
        EXPECT_EQ(r.hr, S_OK) << ToUtf8(r.description);

        // A name beyond the parameters, a negative one, and DISPID_PROPERTYPUT on a method.
        for (DISPID wrong : {static_cast<DISPID>(m.params.size()), static_cast<DISPID>(-7),
                             static_cast<DISPID>(DISPID_PROPERTYPUT)}) {
            SCOPED_TRACE(wrong);
            ExpectRefused(m.id, mixed, {.named = {wrong}}, DISP_E_PARAMNOTFOUND);
        }
        // The same parameter named twice.
        RawInvoke(dispatch(), m.id, mixed, {.named = {0, 0}}, r);
        ExpectFailedCleanly(r, DISP_E_PARAMNOTFOUND);
        EXPECT_EQ(r.argError, 1u);
    }
}

TEST_F(HostileDispatch, MalformedCalls) {
    for (const Method& m : methods_) {
        SCOPED_TRACE(Name(m));
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
        InvokeResult r;
        RawInvoke(dispatch(), m.id, args, {.flags = DISPATCH_METHOD | DISPATCH_PROPERTYGET}, r);
        EXPECT_EQ(r.hr, S_OK);

        ExpectRefused(m.id, args, {.riid = &IID_IDispatch}, DISP_E_UNKNOWNINTERFACE);
        ExpectRefused(m.id, none, {.no_params = true}, E_INVALIDARG);
        if (!m.params.empty()) {
            ExpectRefused(m.id, args, {.null_rgvarg = true}, E_INVALIDARG);
            ExpectRefused(m.id, args, {.named_count = 1}, E_INVALIDARG);  // no rgdispidNamedArgs
        }
        InvokeOptions tooManyNamed;
        tooManyNamed.named.assign(m.params.size() + 1, 0);
        ExpectRefused(m.id, args, tooManyNamed, E_INVALIDARG);
    }

    for (DISPID unknown : {DISPID(0x60030009), DISPID(0x5FFFFFFF), DISPID(DISPID_VALUE),
                           DISPID(DISPID_UNKNOWN), DISPID(DISPID_NEWENUM), DISPID(1)}) {
        SCOPED_TRACE(unknown);
        Args none;
        ExpectRefused(unknown, none, {}, DISP_E_MEMBERNOTFOUND);
    }
}

TEST_F(HostileDispatch, NamesAreFoundInAnyCaseAndUnknownOnesAreMarked) {
    for (const Method& m : methods_) {
        std::wstring lower = m.name, upper = m.name;
        for (auto& c : lower) c = towlower(c);
        for (auto& c : upper) c = towupper(c);
        for (const std::wstring& name : {m.name, lower, upper}) {
            DISPID id = 0;
            LPOLESTR names[] = {const_cast<LPOLESTR>(name.c_str())};
            EXPECT_EQ(dispatch()->GetIDsOfNames(IID_NULL, names, 1, 0, &id), S_OK);
            EXPECT_EQ(id, m.id);
        }
    }
    // Parameter names after the method name give their positions.
    LPOLESTR parse[] = {const_cast<LPOLESTR>(L"parsecommand"), const_cast<LPOLESTR>(L"SRESULT"),
                        const_cast<LPOLESTR>(L"sCommand")};
    DISPID ids[3] = {};
    EXPECT_EQ(dispatch()->GetIDsOfNames(IID_NULL, parse, 3, 0, ids), S_OK);
    EXPECT_EQ(ids[0], 0x60030006);
    EXPECT_EQ(ids[1], 3);
    EXPECT_EQ(ids[2], 0);

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
        SCOPED_TRACE(ToUtf8(Text(u.names[0], u.names[0] + wcslen(u.names[0]))));
        std::vector<DISPID> got(u.names.size(), 12345);
        EXPECT_EQ(dispatch()->GetIDsOfNames(IID_NULL, const_cast<LPOLESTR*>(u.names.data()),
                                            static_cast<UINT>(u.names.size()), 0, got.data()),
                  DISP_E_UNKNOWNNAME);
        EXPECT_EQ(got, u.ids);
    }

    DISPID id = 0;
    LPOLESTR one[] = {const_cast<LPOLESTR>(L"ParseCommand")};
    EXPECT_EQ(dispatch()->GetIDsOfNames(IID_IDispatch, one, 1, 0, &id), DISP_E_UNKNOWNINTERFACE);
    EXPECT_EQ(dispatch()->GetIDsOfNames(IID_NULL, nullptr, 1, 0, &id), E_INVALIDARG);
    EXPECT_EQ(dispatch()->GetIDsOfNames(IID_NULL, one, 1, 0, nullptr), E_INVALIDARG);
    EXPECT_EQ(dispatch()->GetIDsOfNames(IID_NULL, one, 0, 0, &id), S_OK);
    LPOLESTR none[] = {nullptr};
    EXPECT_EQ(dispatch()->GetIDsOfNames(IID_NULL, none, 1, 0, &id), E_INVALIDARG);

    // The DISPIDs of IDispatch's own methods can't be invoked either.
    for (DISPID inherited = 0x60000000; inherited < 0x60000000 + 8; ++inherited) {
        Args args;
        ExpectRefused(inherited, args, {}, DISP_E_MEMBERNOTFOUND);
        args.Raw(Of(VT_EMPTY)).Raw(Of(VT_EMPTY));
        ExpectRefused(inherited, args, {}, DISP_E_MEMBERNOTFOUND);
    }
}

}  // namespace
}  // namespace tabulon::testing
