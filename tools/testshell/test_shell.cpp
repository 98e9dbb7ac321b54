#include "testshell/test_shell.h"

#include <shldisp.h>

#include <algorithm>
#include <memory>
#include <utility>

#include "common/com_object_win32.h"
#include "testshell/shell_objects.h"

namespace tabulon::testshell {

namespace detail {

State& Global() {
    static State state;
    return state;
}

HRESULT Refresh() { return Global().refresh ? Global().refresh() : S_OK; }

const char* PropertyName(Property property) {
    switch (property) {
        case Property::kPath:
            return "Path";
        case Property::kLocationName:
            return "LocationName";
        case Property::kLocationUrl:
            return "LocationURL";
    }
    return "?";
}

BSTR AllocText(TextView text) {
    return SysAllocStringLen(reinterpret_cast<const OLECHAR*>(text.data()),
                             static_cast<UINT>(text.size()));
}

HRESULT WriteValue(const Value& value, VARIANT* out) {
    VariantInit(out);
    switch (value.vt) {
        case VT_BSTR:
            if (!value.null_bstr && !(out->bstrVal = AllocText(value.text))) return E_OUTOFMEMORY;
            break;
        case VT_I4:
            out->lVal = value.number;
            break;
        case VT_EMPTY:
        case VT_NULL:
            break;
        default:
            return DISP_E_BADVARTYPE;
    }
    out->vt = value.vt;
    return S_OK;
}

void FillException(EXCEPINFO* info, HRESULT code, TextView description) {
    if (!info) return;
    *info = EXCEPINFO{};
    info->scode = code;
    info->bstrSource = SysAllocString(L"Tabulon test shell");
    info->bstrDescription = AllocText(description);
}

}  // namespace detail

namespace {

using namespace detail;

// The Shell object. Of IShellDispatch only Windows() does anything.
class Shell final : public DispatchObject<IShellDispatch> {
  public:
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID,
                                            DISPID* ids) override {
        static const std::pair<const wchar_t*, DISPID> kNames[] = {{L"Windows", 1}};
        return LookUp(kNames, names, count, ids);
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params,
                                     VARIANT* result, EXCEPINFO*, UINT*) override {
        if (id != 1 || !(flags & (DISPATCH_PROPERTYGET | DISPATCH_METHOD)))
            return DISP_E_MEMBERNOTFOUND;
        if (params && params->cArgs != 0) return DISP_E_BADPARAMCOUNT;
        IDispatch* collection = nullptr;
        const HRESULT hr = Windows(&collection);
        if (FAILED(hr)) return hr;
        if (result) {
            VariantInit(result);
            result->pdispVal = collection;
            result->vt = VT_DISPATCH;
        } else {
            collection->Release();
        }
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE Windows(IDispatch** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        ++Global().counters.windows_calls;
        if (const HRESULT hr = Refresh(); FAILED(hr)) return hr;
        const Scenario& scenario = Global().scenario;
        if (FAILED(scenario.windows_call)) return scenario.windows_call;

        auto desktop = std::make_shared<Desktop>();
        desktop->closings = scenario.closings;
        for (const Window& spec : scenario.windows) {
            auto window = std::make_shared<WindowState>();
            window->number = static_cast<int>(desktop->windows.size()) + 1;
            window->spec = spec;
            desktop->windows.push_back(std::move(window));
        }
        *out = NewCollection(std::move(desktop));
        return S_OK;
    }

    // clang-format off
    HRESULT STDMETHODCALLTYPE get_Application(IDispatch** out) override { return NotImplemented(out); }
    HRESULT STDMETHODCALLTYPE get_Parent(IDispatch** out) override { return NotImplemented(out); }
    HRESULT STDMETHODCALLTYPE NameSpace(VARIANT, Folder** out) override { return NotImplemented(out); }
    HRESULT STDMETHODCALLTYPE BrowseForFolder(LONG, BSTR, LONG, VARIANT, Folder** out) override {
        return NotImplemented(out);
    }
    HRESULT STDMETHODCALLTYPE Open(VARIANT) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Explore(VARIANT) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE MinimizeAll() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE UndoMinimizeALL() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE FileRun() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE CascadeWindows() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE TileVertically() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE TileHorizontally() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE ShutdownWindows() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Suspend() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE EjectPC() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetTime() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE TrayProperties() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Help() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE FindFiles() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE FindComputer() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE RefreshMenu() override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE ControlPanelItem(BSTR) override { return E_NOTIMPL; }
    // clang-format on

  private:
    template <typename T>
    static HRESULT NotImplemented(T** out) {
        if (out) *out = nullptr;
        return E_NOTIMPL;
    }

    Alive alive_{&Counters::live_shells};
};

HRESULT CreateShell(IUnknown* outer, REFIID iid, void** out) noexcept {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (outer) return CLASS_E_NOAGGREGATION;
    if (const HRESULT hr = Refresh(); FAILED(hr)) return hr;
    if (FAILED(Global().scenario.create_shell)) return Global().scenario.create_shell;
    const HRESULT hr = CreateComObject<Shell>(iid, out);
    if (SUCCEEDED(hr)) ++Global().counters.shells_created;
    return hr;
}

}  // namespace

Value Value::Str(TextView text) {
    Value v;
    v.text = Text(text);
    return v;
}

Value Value::NullBstr() {
    Value v;
    v.null_bstr = true;
    return v;
}

Value Value::I4(LONG number) {
    Value v;
    v.vt = VT_I4;
    v.number = number;
    return v;
}

Value Value::Null() {
    Value v;
    v.vt = VT_NULL;
    return v;
}

Value Value::Empty() {
    Value v;
    v.vt = VT_EMPTY;
    return v;
}

Value Value::Failing(HRESULT code, TextView description) {
    Value v;
    v.failure = code;
    v.failure_description = Text(description);
    return v;
}

void SetScenario(Scenario scenario) {
    State& state = Global();
    state.scenario = std::move(scenario);
    state.counters.shells_created = 0;
    state.counters.windows_calls = 0;
    state.counters.reads.clear();
    state.counters.names_asked.clear();
}

const Scenario& CurrentScenario() { return Global().scenario; }

Counters ReadCounters() { return Global().counters; }

void SetScenarioRefresh(ScenarioRefresh refresh) { Global().refresh = refresh; }

HRESULT GetClassObject(REFCLSID clsid, REFIID iid, void** object) {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (clsid != CLSID_Shell) return CLASS_E_CLASSNOTAVAILABLE;
    return CreateComObject<ClassFactory<CreateShell>>(iid, object);
}

bool CanUnload() { return ModuleLockCount() == 0; }

Registration::Registration() {
    IUnknown* factory = nullptr;
    HRESULT hr = GetClassObject(CLSID_Shell, IID_IUnknown, reinterpret_cast<void**>(&factory));
    if (SUCCEEDED(hr)) {
        hr = CoRegisterClassObject(CLSID_Shell, factory, CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE,
                                   &cookie_);
        factory->Release();
    }
    if (FAILED(hr)) cookie_ = 0;
    status_ = hr;
}

Registration::~Registration() {
    if (cookie_) CoRevokeClassObject(cookie_);
}

}  // namespace tabulon::testshell
