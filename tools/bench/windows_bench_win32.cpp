// Opening and closing the plug-in's three windows, headless: a second thread waits
// for each and clicks its button.
#include <windows.h>

#include <atomic>
#include <cstdio>
#include <thread>
#include <vector>

#include "bench_parts_win32.h"
#include "bench_support_win32.h"

namespace tabulon::bench {
namespace {

namespace shell = testshell;
// Opens a window with `command` while a second thread waits for `caption`, then
// clicks the window's button (IDOK on all three windows).
struct WindowTiming {
    double open = 0, close = 0;
    bool found = false;
};

WindowTiming TimeWindow(const Plugin& plugin, TextView command, const wchar_t* caption) {
    std::atomic<double> shown{0}, clicked{0};
    std::atomic<bool> stop{false};
    std::thread user([&] {
        const double give_up = Now() + 10;
        while (!stop && Now() < give_up) {
            HWND window = FindWindowW(nullptr, caption);
            if (window && IsWindowVisible(window)) {
                shown = Now();
                clicked = Now();
                SendMessageW(GetDlgItem(window, IDOK), BM_CLICK, 0, 0);
                return;
            }
        }
    });
    const double start = Now();
    const HRESULT hr = plugin.ParseCommand(command).hr;
    const double end = Now();
    stop = true;
    user.join();
    Check(hr, "ParseCommand with a window");
    WindowTiming timing;
    timing.found = shown != 0;
    if (timing.found) {
        timing.open = shown - start;
        timing.close = end - clicked;
    }
    return timing;
}

}  // namespace

void BenchWindows() {
    shell::SetScenario({});  // the picker then offers Cancel, which needs no pick
    const Plugin plugin = Plugin::Create();
    const struct {
        TextView command;
        const wchar_t* caption;
    } windows[] = {{u"/xweb", L"Tabulon"},
                   {u"/xweboptions", L"Tabulon Options"},
                   {u"/xwebabout", L"About Tabulon"}};
    std::printf("\nwindows (headless), until shown / from the click until ParseCommand returns\n");
    for (const auto& w : windows) {
        const WindowTiming first = TimeWindow(plugin, w.command, w.caption);
        std::vector<double> open, close;
        for (int i = 0; i < 15; ++i) {
            const WindowTiming t = TimeWindow(plugin, w.command, w.caption);
            if (!t.found) break;
            open.push_back(t.open);
            close.push_back(t.close);
        }
        if (!first.found || open.empty()) {
            std::printf("%-13s window \"%ls\" not found\n", tabulon::ToUtf8(w.command).c_str(),
                        w.caption);
            continue;
        }
        std::printf("%-13s first open %.2f ms close %.2f ms; median open %.2f ms close %.2f ms\n",
                    tabulon::ToUtf8(w.command).c_str(), first.open * 1e3, first.close * 1e3,
                    Median(open) * 1e3, Median(close) * 1e3);
    }
}

}  // namespace tabulon::bench
