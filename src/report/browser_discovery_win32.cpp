#include "report/browser_discovery_win32.h"

#include <oleauto.h>

#include <string>
#include <utility>

#include "common/bstr_win32.h"
#include "common/com_error_win32.h"
#include "common/failure.h"
#include "common/lazy_text.h"
#include "common/scope_exit.h"
#include "common/variant_win32.h"

namespace tabulon {

using Microsoft::WRL::ComPtr;

namespace {

Text Quoted(TextView name) {
    Text out = u"\"";
    out += name;
    out += u'"';
    return out;
}

Text WindowName(long index) { return u"shell window " + FromUtf8(std::to_string(index)); }

Text VarTypeName(VARTYPE vt) {
#define TABULON_VT(name) \
    { name, u"" #name }
    static constexpr struct {
        VARTYPE vt;
        const char16_t* name;
    } kNames[] = {
        TABULON_VT(VT_EMPTY),    TABULON_VT(VT_NULL),    TABULON_VT(VT_I2),
        TABULON_VT(VT_I4),       TABULON_VT(VT_R4),      TABULON_VT(VT_R8),
        TABULON_VT(VT_CY),       TABULON_VT(VT_DATE),    TABULON_VT(VT_BSTR),
        TABULON_VT(VT_DISPATCH), TABULON_VT(VT_ERROR),   TABULON_VT(VT_BOOL),
        TABULON_VT(VT_VARIANT),  TABULON_VT(VT_UNKNOWN), TABULON_VT(VT_DECIMAL),
        TABULON_VT(VT_I1),       TABULON_VT(VT_UI1),     TABULON_VT(VT_UI2),
        TABULON_VT(VT_UI4),      TABULON_VT(VT_I8),      TABULON_VT(VT_UI8),
        TABULON_VT(VT_INT),      TABULON_VT(VT_UINT),    TABULON_VT(VT_RECORD),
    };
#undef TABULON_VT
    Text name;
    if (vt & VT_BYREF) name += u"VT_BYREF|";
    if (vt & VT_ARRAY) name += u"VT_ARRAY|";
    if (vt & VT_VECTOR) name += u"VT_VECTOR|";
    for (const auto& known : kNames) {
        if (known.vt == (vt & VT_TYPEMASK)) return name + known.name;
    }
    return name + u"variant type " + FromUtf8(std::to_string(vt & VT_TYPEMASK));
}

// The error details that Invoke hands back with DISP_E_EXCEPTION, freed on exit.
struct ExceptionInfo : EXCEPINFO {
    ExceptionInfo() : EXCEPINFO{} {}
    ExceptionInfo(const ExceptionInfo&) = delete;
    ExceptionInfo& operator=(const ExceptionInfo&) = delete;
    ~ExceptionInfo() {
        SysFreeString(bstrSource);
        SysFreeString(bstrDescription);
        SysFreeString(bstrHelpFile);
    }
};

// Checks an Invoke result. For DISP_E_EXCEPTION the callee's own code and
// description are what the caller gets to see. what() names the action; it is
// only called on failure, so the walk builds no text for reads that work.
void CheckInvoke(HRESULT hr, ExceptionInfo& info, LazyText what) {
    if (SUCCEEDED(hr)) return;
    if (hr != DISP_E_EXCEPTION) ThrowIfFailed(hr, what());
    if (info.pfnDeferredFillIn) info.pfnDeferredFillIn(&info);
    HRESULT code = info.scode;
    if (SUCCEEDED(code))
        code = info.wCode ? MAKE_HRESULT(SEVERITY_ERROR, FACILITY_CONTROL, info.wCode) : E_FAIL;
    const TextView detail = Bstr::View(info.bstrDescription);
    if (detail.empty()) ThrowIfFailed(code, what());
    Text description = what();
    description += u" failed: ";
    description += detail;
    throw Failure(code, std::move(description));
}

// A call or property get with no arguments.
void InvokeNoArguments(IDispatch& object, DISPID id, WORD flags, Variant& result, LazyText what) {
    DISPPARAMS none{};
    ExceptionInfo info;
    UINT bad_argument = 0;
    const HRESULT hr = object.Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &none, result.put(),
                                     &info, &bad_argument);
    CheckInvoke(hr, info, what);
}

// A property's value as text; name must end in a NUL.
Text ReadText(IDispatch& object, const wchar_t* name, LazyText what) {
    const TextView shownName(reinterpret_cast<const char16_t*>(name), wcslen(name));
    const auto action = [&] { return u"Reading " + Quoted(shownName) + u" of " + what(); };

    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    DISPID id = DISPID_UNKNOWN;
    const HRESULT found = object.GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
    if (FAILED(found)) ThrowIfFailed(found, action());

    Variant value;
    InvokeNoArguments(object, id, DISPATCH_PROPERTYGET, value, action);
    if (value.vt() == VT_BSTR) return Text(Bstr::View(value->bstrVal));

    Variant text;
    const HRESULT hr = VariantChangeType(text.get(), value.get(), VARIANT_ALPHABOOL, VT_BSTR);
    if (FAILED(hr))
        throw Failure(hr, u"The " + Quoted(shownName) + u" property of " + what() + u" is " +
                              VarTypeName(value.vt()) + u", which has no text form.");
    return Text(Bstr::View(text->bstrVal));
}

// The automation way of stepping through a collection: its _NewEnum member.
ComPtr<IEnumVARIANT> EnumerateCollection(IDispatch& collection) {
    constexpr TextView what = u"Enumerating the shell's window collection";
    Variant result;
    InvokeNoArguments(collection, DISPID_NEWENUM, DISPATCH_METHOD | DISPATCH_PROPERTYGET, result,
                      [&] { return Text(what); });
    ComPtr<IEnumVARIANT> elements;
    if ((result.vt() == VT_UNKNOWN || result.vt() == VT_DISPATCH) && result->punkVal)
        ThrowIfFailed(result->punkVal->QueryInterface(IID_PPV_ARGS(&elements)), what);
    if (!elements)
        throw Failure(status::kTypeMismatch, Text(what) + u" failed: _NewEnum gave " +
                                                 VarTypeName(result.vt()) +
                                                 u", not an enumerator.");
    return elements;
}

ComPtr<IDispatch> ElementAsWindow(Variant& element, long index) {
    Variant object;
    const HRESULT hr = VariantChangeType(object.get(), element.get(), 0, VT_DISPATCH);
    if (FAILED(hr) || !object->pdispVal)
        throw Failure(FAILED(hr) ? hr : status::kPointer,
                      u"The window collection gave " + VarTypeName(element.vt()) + u" as " +
                          WindowName(index) + u", not a window object.");
    return ComPtr<IDispatch>(object->pdispVal);
}

void EnsureTrailingBackslash(Text& path) {
    if (path.empty() || path.back() != u'\\') path += u'\\';
}

// A browser window as the report reads it; valid while the walk visits it.
class ShellSiteWindow : public SiteWindow {
  public:
    ShellSiteWindow(IDispatch& window, long index) : window_(window), name_{index} {}
    Text Title() override { return ReadText(window_, L"Locationname", name_); }
    Text Address() override { return ReadText(window_, L"locationurl", name_); }

  private:
    // Names the window in a failure description, built only when one is needed.
    struct Name {
        long index;
        Text operator()() const { return WindowName(index); }
    };

    IDispatch& window_;
    Name name_;
};

// A page of the second source, read before the visit.
class BrowserPageWindow : public SiteWindow {
  public:
    explicit BrowserPageWindow(const BrowserPage& page) : page_(page) {}
    Text Title() override { return page_.title; }
    Text Address() override { return page_.address; }

  private:
    const BrowserPage& page_;
};

}  // namespace

Text ReadTextProperty(IDispatch& object, TextView name, TextView what) {
    const std::wstring terminated(reinterpret_cast<const wchar_t*>(name.data()), name.size());
    return ReadText(object, terminated.c_str(), [&] { return Text(what); });
}

IShellDispatch& BrowserDiscovery::EnsureShell() {
    if (!oShell) {
        ComPtr<IShellDispatch> shell;
        ThrowIfFailed(
            CoCreateInstance(CLSID_Shell, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&shell)),
            u"Creating the Windows shell object (Shell)");
        oShell = std::move(shell);
    }
    return *oShell.Get();
}

ComPtr<IDispatch> BrowserDiscovery::OpenWindowCollection() {
    constexpr TextView what = u"Asking the Windows shell for its window collection";
    IShellDispatch& shell = EnsureShell();
    ComPtr<IDispatch> collection;
    ThrowIfFailed(shell.Windows(&collection), what);
    if (!collection) throw Failure(status::kPointer, Text(what) + u" gave no collection.");
    return collection;
}

void BrowserDiscovery::EnumerateBrowserWindows(const std::function<void(SiteWindow&)>& visit) {
    const ComPtr<IDispatch> collection = OpenWindowCollection();
    const ComPtr<IEnumVARIANT> elements = EnumerateCollection(*collection.Get());

    // A window may close at any time: the walk keeps no window object once it ends.
    const ScopeExit forget([this] { oWindow.Reset(); });

    for (long index = 1;; ++index) {
        const auto name = [index] { return WindowName(index); };
        Variant element;
        ULONG fetched = 0;
        const HRESULT hr = elements->Next(1, element.get(), &fetched);
        if (FAILED(hr)) ThrowIfFailed(hr, u"Fetching " + name() + u" from the window collection");
        if (hr != S_OK || fetched != 1) break;
        oWindow = ElementAsWindow(element, index);

        sPath = ReadText(*oWindow.Get(), L"Path", name);
        EnsureTrailingBackslash(sPath);
        sWinDir = GetWinDir();
        EnsureTrailingBackslash(sWinDir);
        if (sPath == sWinDir) continue;  // one of the shell's own folder windows

        ShellSiteWindow site(*oWindow.Get(), index);
        visit(site);
    }
    oWindow.Reset();

    for (const BrowserPage& page : ReadBrowserPages()) {
        BrowserPageWindow site(page);
        visit(site);
    }
}

}  // namespace tabulon
