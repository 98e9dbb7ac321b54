#include "testshell/test_shell.h"

#include <shldisp.h>

#include <algorithm>
#include <memory>
#include <utility>

#include "common/com_object_win32.h"

namespace tabulon::testshell {

namespace {

struct State {
    Scenario scenario;
    Counters counters;
    ScenarioRefresh refresh = nullptr;
};

State& Global() {
    static State state;
    return state;
}

HRESULT Refresh() { return Global().refresh ? Global().refresh() : S_OK; }

// Keeps one of the live-object counters up while its owner lives.
class Alive {
  public:
    explicit Alive(long Counters::*counter) : counter_(counter) { ++(Global().counters.*counter_); }
    ~Alive() { --(Global().counters.*counter_); }
    Alive(const Alive&) = delete;
    Alive& operator=(const Alive&) = delete;

  private:
    long Counters::*counter_;
};

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

// One window of one collection; the window objects handed out share it.
struct WindowState {
    int number = 0;  // 1-based position in Scenario::windows
    Window spec;
    bool closed = false;
};

// The windows as one Windows() call saw them; closings happen here.
struct Desktop {
    std::vector<std::shared_ptr<WindowState>> windows;  // in order, closed ones included
    std::vector<Closing> closings;

    std::vector<std::shared_ptr<WindowState>> Open() const {
        std::vector<std::shared_ptr<WindowState>> open;
        for (const auto& w : windows)
            if (!w->closed) open.push_back(w);
        return open;
    }

    void AfterRead(int number, Property property) {
        for (const Closing& c : closings)
            if (c.after == number && c.property == property && c.closing >= 1 &&
                c.closing <= static_cast<int>(windows.size()))
                windows[c.closing - 1]->closed = true;
    }
};

// IUnknown and the type-info half of IDispatch for the dispatch objects below.
template <typename Interface>
class DispatchObject : public ComObject<Interface> {
  public:
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
        if (!count) return E_POINTER;
        *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo** info) override {
        if (info) *info = nullptr;
        return DISP_E_BADINDEX;
    }

  protected:
    DispatchObject() = default;

    // Looks single names up in a table, without regard to case.
    template <std::size_t N>
    static HRESULT LookUp(const std::pair<const wchar_t*, DISPID> (&table)[N], LPOLESTR* names,
                          UINT count, DISPID* ids) {
        if (!names || !ids) return E_POINTER;
        HRESULT hr = S_OK;
        for (UINT i = 0; i < count; ++i) {
            ids[i] = DISPID_UNKNOWN;
            if (i > 0 || !names[i]) {  // named arguments: none
                hr = DISP_E_UNKNOWNNAME;
                continue;
            }
            const auto* hit = std::find_if(std::begin(table), std::end(table), [&](const auto& e) {
                return lstrcmpiW(e.first, names[i]) == 0;
            });
            if (hit == std::end(table))
                hr = DISP_E_UNKNOWNNAME;
            else
                ids[i] = hit->second;
        }
        return hr;
    }
};

// A window object: "Path", "LocationName", "LocationURL".
class WindowObject final : public DispatchObject<IDispatch> {
  public:
    WindowObject(std::shared_ptr<Desktop> desktop, std::shared_ptr<WindowState> window)
        : desktop_(std::move(desktop)), window_(std::move(window)) {}

    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID,
                                            DISPID* ids) override {
        static const std::pair<const wchar_t*, DISPID> kNames[] = {
            {L"Path", 1}, {L"LocationName", 2}, {L"LocationURL", 3}};
        for (UINT i = 0; names && i < count; ++i)
            Global().counters.names_asked.push_back(
                names[i] ? ToUtf8(reinterpret_cast<const char16_t*>(names[i])) : "(null)");
        return LookUp(kNames, names, count, ids);
    }

    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params,
                                     VARIANT* result, EXCEPINFO* info, UINT*) override {
        if (id < 1 || id > 3) return DISP_E_MEMBERNOTFOUND;
        if (!(flags & (DISPATCH_PROPERTYGET | DISPATCH_METHOD))) return DISP_E_MEMBERNOTFOUND;
        if (params && params->cArgs != 0) return DISP_E_BADPARAMCOUNT;

        const auto property = static_cast<Property>(id - 1);
        Global().counters.reads.push_back(std::to_string(window_->number) + ":" +
                                          PropertyName(property));
        const HRESULT hr = Read(property, result, info);
        desktop_->AfterRead(window_->number, property);
        return hr;
    }

  private:
    HRESULT Read(Property property, VARIANT* result, EXCEPINFO* info) const {
        if (window_->closed) return RPC_E_DISCONNECTED;
        const Value& value = property == Property::kPath           ? window_->spec.path
                             : property == Property::kLocationName ? window_->spec.title
                                                                   : window_->spec.address;
        if (FAILED(value.failure)) {
            if (value.failure_description.empty()) return value.failure;
            FillException(info, value.failure, value.failure_description);
            return DISP_E_EXCEPTION;
        }
        if (!result) return S_OK;
        return WriteValue(value, result);
    }

    Alive alive_{&Counters::live_windows};
    std::shared_ptr<Desktop> desktop_;
    std::shared_ptr<WindowState> window_;
};

HRESULT NewWindow(const std::shared_ptr<Desktop>& desktop,
                  const std::shared_ptr<WindowState>& window, VARIANT* out) {
    VariantInit(out);
    out->pdispVal = new WindowObject(desktop, window);
    out->vt = VT_DISPATCH;
    return S_OK;
}

// Steps through the windows still open, in the collection's order.
class Enumerator final : public ComObject<IEnumVARIANT> {
  public:
    Enumerator(std::shared_ptr<Desktop> desktop, std::size_t position, int fetched)
        : desktop_(std::move(desktop)), position_(position), fetched_(fetched) {}

    HRESULT STDMETHODCALLTYPE Next(ULONG count, VARIANT* out, ULONG* fetched) override {
        if (fetched) *fetched = 0;
        if (!out) return E_POINTER;
        ULONG done = 0;
        while (done < count) {
            const std::shared_ptr<WindowState> window = NextOpen();
            if (!window) break;
            if (++fetched_ == Global().scenario.next_fails_at) {
                for (ULONG i = 0; i < done; ++i) VariantClear(&out[i]);
                return Global().scenario.next_failure;
            }
            NewWindow(desktop_, window, &out[done++]);
        }
        if (fetched) *fetched = done;
        return done == count ? S_OK : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE Skip(ULONG count) override {
        for (ULONG i = 0; i < count; ++i)
            if (!NextOpen()) return S_FALSE;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Reset() override {
        position_ = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Clone(IEnumVARIANT** out) override {
        if (!out) return E_POINTER;
        *out = new Enumerator(desktop_, position_, fetched_);
        return S_OK;
    }

  private:
    std::shared_ptr<WindowState> NextOpen() {
        while (position_ < desktop_->windows.size()) {
            const auto& window = desktop_->windows[position_++];
            if (!window->closed) return window;
        }
        return nullptr;
    }

    Alive alive_{&Counters::live_enumerators};
    std::shared_ptr<Desktop> desktop_;
    std::size_t position_;
    int fetched_;
};

// The collection that Windows() returns: _NewEnum, Count, Item.
class Collection final : public DispatchObject<IDispatch> {
  public:
    explicit Collection(std::shared_ptr<Desktop> desktop) : desktop_(std::move(desktop)) {}

    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID,
                                            DISPID* ids) override {
        static const std::pair<const wchar_t*, DISPID> kNames[] = {
            {L"Count", 1}, {L"Item", DISPID_VALUE}, {L"_NewEnum", DISPID_NEWENUM}};
        return LookUp(kNames, names, count, ids);
    }

    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params,
                                     VARIANT* result, EXCEPINFO*, UINT* bad_argument) override {
        if (!(flags & (DISPATCH_PROPERTYGET | DISPATCH_METHOD))) return DISP_E_MEMBERNOTFOUND;
        const UINT args = params ? params->cArgs : 0;
        VARIANT ignored;
        if (!result) result = &ignored;
        VariantInit(result);
        switch (id) {
            case DISPID_NEWENUM: {
                if (args != 0) return DISP_E_BADPARAMCOUNT;
                if (FAILED(Global().scenario.new_enum)) return Global().scenario.new_enum;
                result->punkVal = new Enumerator(desktop_, 0, 0);
                result->vt = VT_UNKNOWN;
                break;
            }
            case 1:
                if (args != 0) return DISP_E_BADPARAMCOUNT;
                result->lVal = static_cast<LONG>(desktop_->Open().size());
                result->vt = VT_I4;
                break;
            case DISPID_VALUE: {
                if (args != 1) return DISP_E_BADPARAMCOUNT;
                VARIANT index;
                VariantInit(&index);
                if (FAILED(VariantChangeType(&index, &params->rgvarg[0], 0, VT_I4))) {
                    if (bad_argument) *bad_argument = 0;
                    return DISP_E_TYPEMISMATCH;
                }
                const auto open = desktop_->Open();
                if (index.lVal < 0 || index.lVal >= static_cast<LONG>(open.size()))
                    return E_INVALIDARG;
                NewWindow(desktop_, open[index.lVal], result);
                break;
            }
            default:
                return DISP_E_MEMBERNOTFOUND;
        }
        if (result == &ignored) VariantClear(&ignored);
        return S_OK;
    }

  private:
    Alive alive_{&Counters::live_collections};
    std::shared_ptr<Desktop> desktop_;
};

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
        *out = new Collection(std::move(desktop));
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
