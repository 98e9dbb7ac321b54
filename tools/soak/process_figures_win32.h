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

}  // namespace tabulon::soak
