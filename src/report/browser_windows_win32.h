#pragma once
// The top-level windows of today's browsers, top first: Chromium's family (Chrome,
// Edge, Brave, Opera, Vivaldi, and every Electron program, which the page reading
// tells apart) and Firefox's. Listing them asks nothing of the browsers themselves,
// so it cannot hang.
#include <windows.h>

#include <vector>

#include "report/browser_page.h"

namespace tabulon {

struct BrowserWindow {
    HWND handle;
    BrowserFamily family;
    Text title;  // the caption, kept by the system: reading it sends the browser nothing
};

// Visible, unowned windows of the browsers' classes, in z-order.
std::vector<BrowserWindow> ListBrowserWindows();

}  // namespace tabulon
