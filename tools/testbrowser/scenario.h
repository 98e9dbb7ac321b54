#pragma once
// The stand-in browsers' scenario: top-level windows and the accessibility tree each
// one serves, from a UTF-8 text file.
//
//   # comment lines and empty lines are ignored
//   window Chrome_WidgetWin_1 "Example Domain - Google Chrome"
//     client
//       toolbar
//         text shortcut="Ctrl+L" value="example.com" name="Address and search bar"
//       pagetablist
//         pagetab name="Example Domain" state=selected
//       document name="Example Domain" value="https://example.com/"
//   window MozillaWindowClass "Mozilla thing" hang
//     client
//
// `window <class> "<title>" [hidden] [hang] [refuse] [enum] [ie_url="text"]
// [ie_title="text"] [ie_hidden]` starts a window (the first one ends on top); ie_url
// or ie_title gives it an Internet Explorer mode tab, ie_hidden puts that tab behind.
// Every other line is an element, two spaces of indentation a level (level 1: the
// window's one root, served for OBJID_CLIENT):
//   <role> [name|value|shortcut|description="text"] [state=a,b|0x..] [stall=ms]
//          [count=n] [repeat=n] [nest=n] [fail] [exit] [simple] [rolebstr]
// Roles and states are the ROLE_SYSTEM_ / STATE_SYSTEM_ names in lower case, or
// numbers. Texts take \" and \\ escapes. nest=n wraps the element in n copies of
// itself that keep only its role and state; repeat=n stands for n copies of the line
// and its subtree. A simple element has no children.
// stall, fail and exit act on calls on the element's object, and on its parent's calls
// that name it by child id (get_accChild excepted: that asks the parent, not the
// child); fail also fails the element's own IEnumVARIANT::Next and Skip.
#include <windows.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tabulon::testbrowser {

struct Element {
    LONG role = 0;
    std::optional<std::wstring> name, value, shortcut, description;  // absent: S_FALSE
    LONG state = 0;
    DWORD stall_ms = 0;             // every call on it sleeps first
    bool fail = false;              // get_acc* answer E_FAIL
    bool exit = false;              // the process ends at the first call on it
    bool simple = false;            // a child id of its parent, not an object
    bool role_bstr = false;         // get_accRole answers a VT_BSTR
    std::optional<LONG> count;      // what get_accChildCount claims
    std::vector<Element> children;  // repeat and nest already expanded
};

// A tab in Internet Explorer mode: an "Internet Explorer_Server" child window whose
// document answers WM_HTML_GETOBJECT.
struct InternetExplorerServer {
    std::wstring url, title;
};

struct Window {
    std::wstring class_name;
    std::wstring title;
    bool hidden = false;
    bool hang = false;        // its thread stops answering once the stand-in is ready
    bool refuse = false;      // WM_GETOBJECT answers 0
    bool enumerable = false;  // elements also implement IEnumVARIANT
    std::optional<InternetExplorerServer> ie_server;
    bool ie_server_hidden = false;  // a tab in the background
    std::optional<Element> root;
};

struct Scenario {
    std::vector<Window> windows;  // top first
};

// Parses the text into scenario. On a malformed line returns false and says which
// line and why in error.
bool ParseScenario(std::string_view text, Scenario& scenario, std::string& error);

}  // namespace tabulon::testbrowser
