#pragma once
// The pages open in today's browsers, one a window, top window first: the page
// discovery's second source, after the shell's windows.
//
// The host's thread must never freeze, and a browser can hang or stall in the middle
// of a call. So the trees are read on one short-lived worker thread, which the
// caller waits for up to a deadline, answering messages sent to its thread meanwhile.
// Past the deadline the caller takes the pages found so far and goes on; the worker
// finishes on its own, holding the DLL loaded, and touches nothing of the caller's.
// A browser that fails, answers nonsense or disappears gives no page; nothing here
// ever fails the caller.
#include <windows.h>

#include <vector>

#include "report/browser_page.h"
#include "report/browser_windows_win32.h"

namespace tabulon {

struct BrowserPageReading {
    DWORD deadline_ms = 1500;      // for all windows together
    UINT answer_timeout_ms = 200;  // for a window to hand over its tree
    WalkLimits limits;
};

std::vector<BrowserPage> ReadBrowserPages(std::vector<BrowserWindow> windows,
                                          const BrowserPageReading& reading = {});

// ListBrowserWindows, then ReadBrowserPages.
std::vector<BrowserPage> ReadOpenBrowserPages();

}  // namespace tabulon
