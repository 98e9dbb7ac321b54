// The stand-in shell's window collection, its enumerator and its window objects.
#include <string>

#include "testshell/shell_objects.h"

namespace tabulon::testshell::detail {

namespace {

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

}  // namespace

IDispatch* NewCollection(std::shared_ptr<Desktop> desktop) {
    return new Collection(std::move(desktop));
}

}  // namespace tabulon::testshell::detail
