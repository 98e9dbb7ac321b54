#pragma once
// Layout, resolution and fonts of the plug-in's windows: twips become pixels at the
// screen's real resolution, a window opens centred where the user is, and each
// control gets its window class, style and font.
#include <windows.h>

#include <vector>

#include "common/text.h"
#include "common/unique_handle_win32.h"
#include "ui/form_spec_win32.h"

namespace tabulon {

// Twips to pixels at dots_per_inch (15 twips a pixel at 96), rounded.
int TwipsToPixels(int twips, int dots_per_inch);

// The vertical resolution of the screen, as fonts and layouts use it.
int ScreenDotsPerInch();

// The cbSize that SPI_GETNONCLIENTMETRICS accepts on Windows of that major version:
// XP refuses the member Vista added, whatever the headers' structure holds.
UINT NonClientMetricsSize(DWORD os_major_version);
// The running system's non-client metrics (its message font among them).
bool ReadNonClientMetrics(NONCLIENTMETRICSW& metrics);

// Where a window of that outer size goes: centred on the work area of the monitor
// that shows most of `beside` (the primary one without it), its corner inside it.
POINT CentredBeside(HWND beside, int width, int height);

// How a window without an owner opens beside the one the user is in.
struct Placement {
    HWND beside = nullptr;     // centred on its monitor; none: the primary monitor
    bool topmost = false;      // stays on top, as that window does
    HWND give_back = nullptr;  // gets the foreground back at close; none: no window
};

// The foreground window counts only when this process owns it. When the user has
// switched to another program meanwhile, Windows refuses us the foreground, and that
// program's window may stay above everything (an on-screen keyboard, a video): the
// window then opens beside `active`, the thread's active window if any, not on top,
// and gives the foreground back to no one.
Placement PlacementBeside(HWND foreground, HWND active);

// The window has no owner to return to when it goes: `previous`, which had the
// foreground when it opened, gets it back from `window`, unless the user has gone
// elsewhere meanwhile.
void GiveForegroundBack(HWND previous, HWND window) noexcept;

// The window class and styles that make a control of its declared kind.
struct ControlWindowStyle {
    const wchar_t* window_class;
    DWORD style;
    DWORD ex_style;
};
ControlWindowStyle StyleOf(const ControlSpec& control);

// The fonts of one window, deleted when it goes.
class FormFonts {
  public:
    // A font of that face and size at dots_per_inch, or the system's message font.
    // `window` names the window in a failure's description.
    HFONT For(const FontSpec& spec, int dots_per_inch, TextView window);
    void Clear() noexcept { fonts_.clear(); }

  private:
    std::vector<GdiObject> fonts_;
};

}  // namespace tabulon
