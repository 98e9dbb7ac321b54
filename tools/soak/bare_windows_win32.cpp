// tabulon-soak-bare: opens and closes a window like the plug-in's, with the same kinds
// of controls and fonts, made by plain USER32 and GDI32 calls and no TB.dll, and
// reports what the process grew by. What grows here under a Wine version is that
// Wine's own, not the plug-in's.
//   tabulon-soak-bare [OPENINGS=1000]
#include <windows.h>

#include <cstdio>
#include <cwchar>

#include "process_figures_win32.h"

namespace {

using namespace tabulon::soak;

void OpenAndClose() {
    HINSTANCE instance = GetModuleHandleW(nullptr);
    HWND window = CreateWindowExW(WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT, L"TabulonBareForm",
                                  L"Bare form", WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU, 100, 100,
                                  400, 300, nullptr, nullptr, instance, nullptr);
    HFONT faced = CreateFontW(-11, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                              OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                              DEFAULT_PITCH | FF_DONTCARE, L"MS Sans Serif");
    NONCLIENTMETRICSW metrics{};
    metrics.cbSize = sizeof metrics;
    SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0);
    HFONT message = CreateFontIndirectW(&metrics.lfMessageFont);
    const struct {
        const wchar_t* window_class;
        const wchar_t* text;
        DWORD style;
    } controls[] = {
        {L"Static", L"A label", SS_LEFT},
        {L"Static", L"Another label", SS_CENTER},
        {L"Button", L"&OK", BS_DEFPUSHBUTTON | WS_TABSTOP},
        {L"Button", L"An option", BS_AUTORADIOBUTTON | WS_TABSTOP},
        {L"Edit", L"Some text", ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP},
        {L"ListBox", L"", LBS_NOTIFY | WS_VSCROLL | WS_BORDER | WS_TABSTOP},
    };
    int y = 10;
    for (const auto& c : controls) {
        HWND control = CreateWindowExW(0, c.window_class, c.text, WS_CHILD | WS_VISIBLE | c.style,
                                       10, y, 200, 24, window, nullptr, instance, nullptr);
        SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(y % 2 ? faced : message), TRUE);
        if (c.window_class[0] == L'L') SendMessageW(control, LB_ADDSTRING, 0, LPARAM(L"A line"));
        y += 30;
    }
    ShowWindow(window, SW_SHOWNORMAL);
    UpdateWindow(window);
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
    DestroyWindow(window);
    DeleteObject(faced);
    DeleteObject(message);
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const long openings = argc > 1 ? std::wcstol(argv[1], nullptr, 10) : 1000;
    if (openings < 10) return 2;
    WNDCLASSW wc{};
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    wc.lpszClassName = L"TabulonBareForm";
    if (!RegisterClassW(&wc)) return 3;
    std::printf("tabulon-soak-bare on %s, %d-bit: %ld openings of a window without TB.dll\n",
                PlatformName(), static_cast<int>(sizeof(void*) * 8), openings);
    for (int i = 0; i < 10; ++i) OpenAndClose();
    const Figures warm = Measure();
    Print("warm-up", warm);
    for (long i = 10; i < openings; ++i) OpenAndClose();
    const Figures end = Measure();
    Print("end", end);
    const double n = static_cast<double>(openings - 10);
    std::printf(
        "per opening: private bytes %+.0f, committed private %+.0f\n",
        (static_cast<double>(end.private_bytes) - static_cast<double>(warm.private_bytes)) / n,
        (static_cast<double>(end.committed) - static_cast<double>(warm.committed)) / n);
    return 0;
}
