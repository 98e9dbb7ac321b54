// Timings of the registered TB.dll, driven late-bound as a host drives it, against
// the in-process stand-in shell:
//  - "/xweball" with 1 to 32,767 browser windows, beside a baseline that makes the
//    reads any such command must make (the three settings: open the key, query
//    Show, Before and After, close it; the shell's window collection; "Path",
//    "Locationname", "locationurl" through GetIDsOfNames and Invoke over _NewEnum)
//    and builds the same text without the plug-in, so the ratio is the plug-in's
//    own cost;
//  - creating the plugin object and Initialize;
//  - opening and closing each of the three windows (a second thread finds the
//    window by its caption and clicks its button);
//  - the parts of the per-window work that the plug-in adds;
//  - "/xweball" with today's browsers.
//   tb-bench.exe Z:\path\to\TB.dll [create|report|parts|windows|browsers]
#include <windows.h>
#include <objbase.h>

#include <cstdio>
#include <string>

#include "bench_parts_win32.h"
#include "bench_support_win32.h"

using namespace tabulon::bench;
namespace shell = tabulon::testshell;

int wmain(int argc, wchar_t** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: tb-bench.exe PATH-TO-TB.dll\n");
        return 2;
    }
    Check(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED), "CoInitializeEx");
    {
        shell::Registration registration;
        Check(registration.status(), "registering the stand-in shell");

        WIN32_FILE_ATTRIBUTE_DATA file{};
        if (GetFileAttributesExW(argv[1], GetFileExInfoStandard, &file))
            std::printf("TB.dll: %lu bytes (%.1f KiB)\n", file.nFileSizeLow,
                        file.nFileSizeLow / 1024.0);

        StoreSetting(L"Show", u"2");
        StoreSetting(L"Before", kBefore);
        StoreSetting(L"After", u"");

        // An optional second argument picks one part: create, report, parts, windows,
        // browsers.
        const std::wstring only = argc > 2 ? argv[2] : L"";
        if (only.empty() || only == L"create") BenchCreate();
        if (only.empty() || only == L"report") BenchReport();
        if (only.empty() || only == L"parts") BenchParts();
        if (only.empty() || only == L"windows") BenchWindows();
        if (only.empty() || only == L"browsers") BenchBrowsers();
        RegDeleteTreeW(HKEY_CURRENT_USER, kSettingsKey);
        RegDeleteKeyW(HKEY_CURRENT_USER, kSettingsKey);
    }
    CoUninitialize();
    return 0;
}
