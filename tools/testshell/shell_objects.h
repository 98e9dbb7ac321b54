#pragma once
// What the stand-in shell's objects share: the scenario and counters, the windows one
// Windows() call saw, and the dispatch objects' common half.
#include <windows.h>
#include <oaidl.h>

#include <algorithm>
#include <iterator>
#include <memory>
#include <utility>
#include <vector>

#include "common/com_object_win32.h"
#include "testshell/test_shell.h"

namespace tabulon::testshell::detail {

struct State {
    Scenario scenario;
    Counters counters;
    ScenarioRefresh refresh = nullptr;
};

State& Global();
// The scenario's refresh hook, if any.
HRESULT Refresh();

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

const char* PropertyName(Property property);
BSTR AllocText(TextView text);
HRESULT WriteValue(const Value& value, VARIANT* out);
void FillException(EXCEPINFO* info, HRESULT code, TextView description);

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

// The collection that Windows() returns over the desktop, with one reference.
IDispatch* NewCollection(std::shared_ptr<Desktop> desktop);

}  // namespace tabulon::testshell::detail
