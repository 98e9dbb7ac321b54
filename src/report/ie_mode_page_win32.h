#pragma once
// Internet Explorer mode (Edge): a tab in that mode shows its page in an
// "Internet Explorer_Server" child window, whose HTML document answers the registered
// message WM_HTML_GETOBJECT. Its address and title come from there, exact, where the
// accessibility tree only has the address bar's text.
#include <windows.h>

#include <optional>

#include "report/browser_page.h"

namespace tabulon {

// The page of the window's visible Internet Explorer_Server, if it has one and it
// hands over a document that gives its address within answer_timeout_ms; otherwise
// nothing. For the page-reading worker: COM initialised, every call may cross into
// the browser.
std::optional<BrowserPage> ReadInternetExplorerModePage(HWND window, DWORD answer_timeout_ms);

}  // namespace tabulon
