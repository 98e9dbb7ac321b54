#pragma once
// The system's look that the form's colours follow: high contrast and themes.
#include <windows.h>

namespace tabulon {

// Under a theme, option buttons draw their text in the theme's colour instead of the
// one WM_CTLCOLORSTATIC sets: `classic` keeps a control unthemed, and the system's
// look comes back without it.
void SetClassicLook(HWND control, bool classic);

// Whether the user has high contrast on, as SPI_GETHIGHCONTRAST reports it.
bool SystemHighContrastOn();

// What the windows go by, when they open and whenever the system's colours change:
// SystemHighContrastOn, unless a test has put its own answer in its place (Wine keeps
// no such setting and always answers off). Null puts the system's answer back.
using HighContrastQuery = bool (*)();
void SetHighContrastQueryForTests(HighContrastQuery query);
bool HighContrastOn();

}  // namespace tabulon
