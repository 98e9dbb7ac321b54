#include "process_figures_win32.h"

#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace tabulon::soak {

namespace {

SIZE_T CommittedPrivateMemory() {
    SIZE_T total = 0;
    MEMORY_BASIC_INFORMATION info;
    for (const char* at = nullptr; VirtualQuery(at, &info, sizeof info) == sizeof info;) {
        if (info.State == MEM_COMMIT && info.Type == MEM_PRIVATE) total += info.RegionSize;
        const char* next = static_cast<const char*>(info.BaseAddress) + info.RegionSize;
        if (next <= at) break;
        at = next;
    }
    return total;
}

BOOL CALLBACK CountWindow(HWND window, LPARAM count) {
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process != GetCurrentProcessId()) return TRUE;
    ++*reinterpret_cast<DWORD*>(count);
    EnumChildWindows(window, CountWindow, count);
    return TRUE;
}

}  // namespace

// Wine answers 0 for GetProcessHandleCount and GetGuiResources; then the handles, GDI
// objects and windows are counted one by one (Wine takes a GDI handle's low word alone).
Figures Measure() {
    Figures f;
    PROCESS_MEMORY_COUNTERS_EX memory{};
    memory.cb = sizeof memory;
    if (GetProcessMemoryInfo(GetCurrentProcess(),
                             reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&memory), sizeof memory))
        f.private_bytes = memory.PrivateUsage ? memory.PrivateUsage : memory.PagefileUsage;
    f.committed = CommittedPrivateMemory();
    GetProcessHandleCount(GetCurrentProcess(), &f.handles);
    if (f.handles == 0) {
        for (ULONG_PTR h = 4; h < 0x10000; h += 4) {
            DWORD flags = 0;
            if (GetHandleInformation(reinterpret_cast<HANDLE>(h), &flags)) ++f.handles;
        }
    }
    f.gdi = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
    if (f.gdi == 0) {
        for (ULONG_PTR h = 1; h < 0x10000; ++h)
            if (GetObjectType(reinterpret_cast<HGDIOBJ>(h))) ++f.gdi;
    }
    f.user = GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS);
    if (f.user == 0) EnumWindows(CountWindow, reinterpret_cast<LPARAM>(&f.user));
    return f;
}

void Print(const char* when, const Figures& f) {
    std::printf(
        "%-8s private bytes %10lu   committed private %10lu   handles %4lu   GDI objects "
        "%4lu   windows/USER objects %4lu\n",
        when, static_cast<unsigned long>(f.private_bytes), static_cast<unsigned long>(f.committed),
        static_cast<unsigned long>(f.handles), static_cast<unsigned long>(f.gdi),
        static_cast<unsigned long>(f.user));
}

const char* PlatformName() {
    static char name[64];
    if (name[0]) return name;
    using WineVersion = const char*(__cdecl*)();
    const auto wine_get_version = reinterpret_cast<WineVersion>(reinterpret_cast<void*>(
        GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version")));
    if (wine_get_version) {
        std::snprintf(name, sizeof name, "Wine %s", wine_get_version());
    } else {
        // GetVersionEx stops at 6.2 for programs without a manifest; ntdll tells the truth.
        OSVERSIONINFOW version{};
        version.dwOSVersionInfoSize = sizeof version;
        using RtlGetVersion = LONG(WINAPI*)(OSVERSIONINFOW*);
        const auto rtl_get_version = reinterpret_cast<RtlGetVersion>(reinterpret_cast<void*>(
            GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "RtlGetVersion")));
        if (rtl_get_version) rtl_get_version(&version);
        std::snprintf(name, sizeof name, "Windows %lu.%lu.%lu", version.dwMajorVersion,
                      version.dwMinorVersion, version.dwBuildNumber);
    }
    return name;
}

int WineMajorVersion() {
    const char* name = PlatformName();
    return std::strncmp(name, "Wine ", 5) == 0 ? std::atoi(name + 5) : 0;
}

SIZE_T WineCacheAllowance() {
    // Growth in private bytes after the warm-up, the same at 300, 1,000 and 3,000
    // openings (64-bit, null display driver), with room above it.
    struct Measured {
        int major;
        SIZE_T bytes;
    };
    static constexpr Measured kMeasured[] = {{8, 1'570'000}, {10, 1'830'000}};
    constexpr SIZE_T kRoom = 512 * 1024;
    const int major = WineMajorVersion();
    if (major == 0) return 0;
    SIZE_T largest = 0;
    for (const Measured& m : kMeasured) {
        if (m.major == major) return m.bytes + kRoom;
        largest = std::max(largest, m.bytes);
    }
    return largest + kRoom;  // a version not measured yet: the most any has taken
}

}  // namespace tabulon::soak
