#pragma once
// What this process holds: memory, handles, GDI and USER objects.
#include <windows.h>

namespace tabulon::soak {

struct Figures {
    SIZE_T private_bytes = 0;  // PrivateUsage (Wine: PagefileUsage, which it does fill)
    SIZE_T committed = 0;      // private committed memory, by walking the address space
    DWORD handles = 0;
    DWORD gdi = 0;
    DWORD user = 0;
};

Figures Measure();
// One line: when, then every figure.
void Print(const char* when, const Figures& f);

// What this runs on: "Wine 8.0" (ntdll's wine_get_version), or "Windows 10.0.19045".
// The figures' meaning, and how much they may grow, differ between the two and
// between Wine's versions.
const char* PlatformName();
// Wine's major version, or 0 on Windows.
int WineMajorVersion();

// What Wine itself adds to private bytes over a run: Wine counts its Unix side there
// (resident anonymous memory), and its caches grow once, by a fixed amount, over the
// first few hundred window openings, with or without TB.dll (tabulon-soak-bare shows
// it), then stop. 0 on Windows.
SIZE_T WineCacheAllowance();

}  // namespace tabulon::soak
