#pragma once
// Finds the open browser windows: first through the shell's window collection, where
// a window whose program folder ("Path") is the Windows directory is one of the
// shell's own folder windows and is skipped, and every other window is a browser
// window; then the pages of today's browsers, which keep out of that collection.
#include <windows.h>
#include <shldisp.h>
#include <wrl/client.h>

#include <functional>
#include <vector>

#include "common/text.h"
#include "report/browser_page.h"
#include "report/browser_pages_win32.h"
#include "report/site_report.h"

namespace tabulon {

// The state of one discoverer, named as in its owners (the plugin object and the
// picker window each have their own).
struct BrowserDiscovery : BrowserWindowSource {
    explicit BrowserDiscovery(
        std::function<Text()> get_win_dir,
        std::function<std::vector<BrowserPage>()> read_browser_pages = ReadOpenBrowserPages)
        : GetWinDir(std::move(get_win_dir)), ReadBrowserPages(std::move(read_browser_pages)) {}

    Microsoft::WRL::ComPtr<IShellDispatch> oShell;  // made on first need, then kept
    Microsoft::WRL::ComPtr<IDispatch> oWindow;      // the window being examined, during a walk
    Text sPath;                                     // its "Path", ending in a backslash
    Text sWinDir;                                   // the Windows directory, ending in a backslash

    // The Windows directory with no backslash added; asked again for every window.
    std::function<Text()> GetWinDir;

    // The second source: the pages open in today's browsers, top window first. It
    // never fails.
    std::function<std::vector<BrowserPage>()> ReadBrowserPages;

    // Creates the Shell object when oShell is empty.
    IShellDispatch& EnsureShell();

    // Asks the shell for a fresh window collection (creating the shell first if needed).
    Microsoft::WRL::ComPtr<IDispatch> OpenWindowCollection();

    // Walks a fresh collection in its own order and calls visit for each browser
    // window, whose title and address are read from the window when asked. The window
    // is decided on before visit runs, and visit returns before the next window's
    // "Path" is read. Any failure propagates; oWindow is empty again afterwards. Then
    // visits each page of the second source.
    void EnumerateBrowserWindows(const std::function<void(SiteWindow&)>& visit) override;
};

// The text of one late-bound property read with no arguments, as automation turns a
// value into a string. what names the object for the failure description, such as
// u"shell window 2". A NULL BSTR and VT_EMPTY give the empty text; a value with no
// text form (VT_NULL, an array, ...) is a type-mismatch Failure.
Text ReadTextProperty(IDispatch& object, TextView name, TextView what);

}  // namespace tabulon
