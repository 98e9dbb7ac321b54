#include "report/browser_windows_win32.h"

#include <cwchar>
#include <optional>

namespace tabulon {

namespace {

std::optional<BrowserFamily> FamilyOf(HWND window) {
    wchar_t name[64];
    const int length = GetClassNameW(window, name, static_cast<int>(std::size(name)));
    if (length <= 0) return std::nullopt;
    if (std::wcscmp(name, L"Chrome_WidgetWin_1") == 0) return BrowserFamily::kChromium;
    if (std::wcscmp(name, L"MozillaWindowClass") == 0) return BrowserFamily::kFirefox;
    return std::nullopt;
}

// GetWindowTextW reads another process's caption from the system's copy, without a
// message: a hung browser cannot stall it.
Text CaptionOf(HWND window) {
    wchar_t caption[512];
    const int length = GetWindowTextW(window, caption, static_cast<int>(std::size(caption)));
    return length > 0
               ? Text(reinterpret_cast<const char16_t*>(caption), static_cast<size_t>(length))
               : Text();
}

BOOL CALLBACK AddBrowserWindow(HWND window, LPARAM list) {
    try {
        if (!IsWindowVisible(window) || GetWindow(window, GW_OWNER)) return TRUE;
        if (const std::optional<BrowserFamily> family = FamilyOf(window))
            reinterpret_cast<std::vector<BrowserWindow>*>(list)->push_back(
                {window, *family, CaptionOf(window)});
        return TRUE;
    } catch (...) {
        return FALSE;  // out of memory: the windows listed so far
    }
}

}  // namespace

std::vector<BrowserWindow> ListBrowserWindows() {
    std::vector<BrowserWindow> windows;
    EnumWindows(&AddBrowserWindow, reinterpret_cast<LPARAM>(&windows));
    return windows;
}

}  // namespace tabulon
