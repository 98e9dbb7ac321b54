#include "ui/form_layout_win32.h"

#include <algorithm>
#include <cstddef>
#include <iterator>

#include "common/com_error_win32.h"

namespace tabulon {

namespace {

// XP's structure ends with the message font; Vista appended iPaddedBorderWidth, which
// headers for XP leave out.
constexpr UINT kXpNonClientMetricsSize =
    offsetof(NONCLIENTMETRICSW, lfMessageFont) + sizeof(LOGFONTW);
static_assert(kXpNonClientMetricsSize == 500);

// The work area of the monitor that shows most of the window, or of the primary one.
RECT WorkAreaFor(HWND window) {
    HMONITOR monitor = window ? MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST)
                              : MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY);
    MONITORINFO info{};
    info.cbSize = sizeof info;
    if (monitor && GetMonitorInfoW(monitor, &info)) return info.rcWork;
    RECT work{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    return work;
}

}  // namespace

int TwipsToPixels(int twips, int dots_per_inch) { return MulDiv(twips, dots_per_inch, 1440); }

int ScreenDotsPerInch() {
    HDC screen = GetDC(nullptr);
    const int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSY) : 0;
    if (screen) ReleaseDC(nullptr, screen);
    return dpi > 0 ? dpi : 96;
}

UINT NonClientMetricsSize(DWORD os_major_version) {
    return os_major_version >= 6 ? sizeof(NONCLIENTMETRICSW) : kXpNonClientMetricsSize;
}

bool ReadNonClientMetrics(NONCLIENTMETRICSW& metrics) {
    OSVERSIONINFOW version{};
    version.dwOSVersionInfoSize = sizeof version;
    const DWORD major = GetVersionExW(&version) ? version.dwMajorVersion : 5;
    metrics = NONCLIENTMETRICSW{};
    metrics.cbSize = NonClientMetricsSize(major);
    if (SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, metrics.cbSize, &metrics, 0)) return true;
    // A compatibility layer can report a newer version than the system has.
    if (metrics.cbSize == kXpNonClientMetricsSize) return false;
    metrics.cbSize = kXpNonClientMetricsSize;
    return SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, metrics.cbSize, &metrics, 0) != FALSE;
}

POINT CentredBeside(HWND beside, int width, int height) {
    const RECT work = WorkAreaFor(beside);
    return POINT{std::max(work.left, work.left + ((work.right - work.left) - width) / 2),
                 std::max(work.top, work.top + ((work.bottom - work.top) - height) / 2)};
}

Placement PlacementBeside(HWND foreground, HWND active) {
    DWORD process = 0;
    if (foreground) GetWindowThreadProcessId(foreground, &process);
    if (!foreground || process != GetCurrentProcessId()) return Placement{active, false, nullptr};
    const bool topmost = (GetWindowLongW(foreground, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
    return Placement{foreground, topmost, foreground};
}

void GiveForegroundBack(HWND previous, HWND window) noexcept {
    if (!previous || previous == window || !IsWindow(previous)) return;
    if (GetForegroundWindow() == window) SetForegroundWindow(previous);
}

ControlWindowStyle StyleOf(const ControlSpec& c) {
    // In the order of ControlKind.
    static constexpr ControlWindowStyle kByKind[] = {
        {L"STATIC", SS_NOPREFIX, 0},
        {L"LISTBOX", WS_VSCROLL | WS_TABSTOP | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT, WS_EX_CLIENTEDGE},
        {L"BUTTON", WS_TABSTOP, 0},
        {L"EDIT", WS_TABSTOP | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE},
        {L"BUTTON", BS_AUTORADIOBUTTON, 0},
        {L"STATIC", SS_BITMAP, 0},
    };
    static_assert(std::size(kByKind) == static_cast<size_t>(ControlKind::kPicture) + 1);
    ControlWindowStyle style = kByKind[static_cast<size_t>(c.kind)];
    style.style |= WS_CHILD | WS_VISIBLE | c.style;
    return style;
}

// DEFAULT_CHARSET, not ANSI_CHARSET: page titles come in any script, and only so do
// font substitution and linking find the glyphs a face lacks.
HFONT FormFonts::For(const FontSpec& spec, int dots_per_inch, TextView window) {
    HFONT font = nullptr;
    if (spec.face) {
        font = CreateFontW(-MulDiv(spec.hundredths_of_point, dots_per_inch, 7200), 0, 0, 0,
                           FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                           CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE,
                           spec.face);
    } else {
        NONCLIENTMETRICSW metrics;
        if (ReadNonClientMetrics(metrics))
            font = CreateFontIndirectW(&metrics.lfMessageFont);
        else
            return static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    }
    if (!font) ThrowLastError(u"Creating a font for the " + Text(window) + u" window");
    fonts_.emplace_back(font);
    return font;
}

}  // namespace tabulon
