#pragma once
// A stand-in for the Windows shell's Shell object (CLSID_Shell), for tests and demos
// where the real one cannot list windows (Wine's Windows() is not implemented).
//
// It implements IShellDispatch, of which only Windows() works. The collection that
// Windows() returns answers _NewEnum, Count and Item; each element is a window object
// with the properties "Path", "LocationName" and "LocationURL" (names matched
// without regard to case). A Scenario says which windows are open, what their
// properties hold and which step fails; Counters tell what a client did.
//
// Single-threaded: use it from one apartment.
#include <windows.h>
#include <oleauto.h>

#include <string>
#include <vector>

#include "common/text.h"

namespace tabulon::testshell {

enum class Property { kPath, kLocationName, kLocationUrl };

// One property value of a window, or the failure that reading it gives.
struct Value {
    VARTYPE vt = VT_BSTR;
    Text text;                 // VT_BSTR
    bool null_bstr = false;    // VT_BSTR as a NULL BSTR
    LONG number = 0;           // VT_I4
    HRESULT failure = S_OK;    // reading fails with this code
    Text failure_description;  // when set, the failure comes as DISP_E_EXCEPTION with it

    static Value Str(TextView text);
    static Value NullBstr();
    static Value I4(LONG number);
    static Value Null();
    static Value Empty();
    static Value Failing(HRESULT code, TextView description = {});
};

struct Window {
    Value path;
    Value title;    // "LocationName"
    Value address;  // "LocationURL"
};

// Window number `closing` (1-based, in Scenario::windows) closes as soon as `property`
// of window `after` has been read: it leaves every collection, and reads from its
// objects fail with RPC_E_DISCONNECTED.
struct Closing {
    int closing = 0;
    int after = 0;
    Property property = Property::kPath;
};

struct Scenario {
    std::vector<Window> windows;  // in the collection's order
    HRESULT create_shell = S_OK;  // CreateInstance fails with this
    HRESULT windows_call = S_OK;  // IShellDispatch::Windows fails with this
    HRESULT new_enum = S_OK;      // the collection's _NewEnum fails with this
    int next_fails_at = 0;        // IEnumVARIANT::Next fails when fetching this element (1-based)
    HRESULT next_failure = E_FAIL;
    std::vector<Closing> closings;
};

// A window showing a page, its values all text, and a scenario of such windows.
inline Window Page(TextView path, TextView title, TextView address) {
    return {Value::Str(path), Value::Str(title), Value::Str(address)};
}
inline Scenario Showing(std::vector<Window> windows) {
    Scenario scenario;
    scenario.windows = std::move(windows);
    return scenario;
}

struct Counters {
    int shells_created = 0;
    int windows_calls = 0;
    // "<window number>:<Path|LocationName|LocationURL>", one per successful or failed
    // property read, in order.
    std::vector<std::string> reads;
    // Exact names that GetIDsOfNames was asked for on window objects, in order.
    std::vector<std::string> names_asked;
    // Objects alive now, by kind.
    long live_shells = 0;
    long live_collections = 0;
    long live_enumerators = 0;
    long live_windows = 0;

    // The objects a client can have taken: all but the class factories.
    long LiveObjects() const {
        return live_shells + live_collections + live_enumerators + live_windows;
    }
};

// Replaces the scenario (for objects made from now on) and resets the counters
// except the live-object counts.
void SetScenario(Scenario scenario);
const Scenario& CurrentScenario();
Counters ReadCounters();

// The class object for CLSID_Shell.
HRESULT GetClassObject(REFCLSID clsid, REFIID iid, void** object);
// No live objects and no server locks.
bool CanUnload();

// Makes every CoCreateInstance of CLSID_Shell in this process get the stand-in,
// until destroyed. Needs COM initialised on the thread.
class Registration {
  public:
    Registration();
    ~Registration();
    Registration(const Registration&) = delete;
    Registration& operator=(const Registration&) = delete;

    HRESULT status() const { return status_; }

  private:
    DWORD cookie_ = 0;
    HRESULT status_ = E_FAIL;
};

// Called before the shell is created and before each Windows() call, so a scenario
// read from a file can change while a program runs; a failure fails that call.
// Default: none.
using ScenarioRefresh = HRESULT (*)();
void SetScenarioRefresh(ScenarioRefresh refresh);

}  // namespace tabulon::testshell
