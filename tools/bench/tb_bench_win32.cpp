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
//  - "/xweball" with today's browsers (browsers_bench_win32.cpp).
//   tb-bench.exe Z:\path\to\TB.dll [create|report|parts|windows|browsers]
#include <windows.h>
#include <oleauto.h>
#include <shldisp.h>
#include <wrl/client.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "bench_support_win32.h"
#include "browsers_bench_win32.h"
#include "common/bstr_win32.h"
#include "common/registry_key_win32.h"
#include "common/variant_win32.h"
#include "late_bound/late_bound_win32.h"
#include "report/browser_discovery_win32.h"
#include "report/windows_directory_win32.h"
#include "testshell/test_shell.h"

namespace {

using Microsoft::WRL::ComPtr;
using tabulon::Bstr;
using tabulon::Text;
using tabulon::TextView;
using tabulon::Variant;
namespace late_bound = tabulon::late_bound;
namespace shell = tabulon::testshell;
using namespace tabulon::bench;

constexpr TextView kBefore = u"I'm currently browsing:";
constexpr TextView kBrowserPath = u"C:\\Program Files\\Internet Explorer";

shell::Scenario BrowserWindows(int count) {
    shell::Scenario scenario;
    scenario.windows.reserve(count);
    for (int i = 1; i <= count; ++i) {
        const Text n = tabulon::FromUtf8(std::to_string(i));
        scenario.windows.push_back({shell::Value::Str(kBrowserPath),
                                    shell::Value::Str(u"Example page " + n),
                                    shell::Value::Str(u"http://www.example.com/pages/" + n)});
    }
    return scenario;
}

// The baseline: the reads that any "/xweball" needs, made the plain way. The
// settings are read on every command, since the user may change them in between;
// the Windows directory cannot change while the process lives, so it is read once.
class Baseline {
  public:
    Baseline() {
        Check(CoCreateInstance(CLSID_Shell, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&shell_)),
              "creating the shell");
        char directory[MAX_PATH];
        const UINT length = GetWindowsDirectoryA(directory, MAX_PATH);
        windir_.assign(directory, directory + length);
        if (windir_.empty() || windir_.back() != u'\\') windir_ += u'\\';
    }

    Text Report() {
        Text show, before, after;
        tabulon::RegistryKey key;
        if (RegOpenKeyExW(HKEY_CURRENT_USER, kSettingsKey, 0, KEY_QUERY_VALUE, key.put()) ==
            ERROR_SUCCESS) {
            show = ReadSetting(key.get(), L"Show");
            before = ReadSetting(key.get(), L"Before");
            after = ReadSetting(key.get(), L"After");
        }
        const int mode = show.empty() ? 2 : std::stoi(tabulon::ToUtf8(show));

        ComPtr<IDispatch> collection;
        Check(shell_->Windows(&collection), "Windows()");
        DISPPARAMS none{};
        Variant enumerator;
        Check(collection->Invoke(DISPID_NEWENUM, IID_NULL, LOCALE_USER_DEFAULT,
                                 DISPATCH_METHOD | DISPATCH_PROPERTYGET, &none, enumerator.put(),
                                 nullptr, nullptr),
              "_NewEnum");
        ComPtr<IEnumVARIANT> elements;
        Check(enumerator->punkVal->QueryInterface(IID_PPV_ARGS(&elements)), "IEnumVARIANT");

        Text report(before);
        report += u"\r\n";
        int count = 0;
        for (;;) {
            Variant element;
            ULONG fetched = 0;
            if (elements->Next(1, element.get(), &fetched) != S_OK || fetched != 1) break;
            IDispatch& window = *element->pdispVal;
            Text path = Read(window, L"Path");
            if (path.empty() || path.back() != u'\\') path += u'\\';
            if (path == windir_) continue;
            report += u"\r\n";
            if (mode != 1) report += Read(window, L"Locationname");
            if (mode == 2) report += u" - ";
            if (mode != 0) report += Read(window, L"locationurl");
            ++count;
        }
        if (count == 0) return u"No Webistes Available";
        report += u"\r\n\r\n";
        report += after;
        return report;
    }

  private:
    // One query into a buffer big enough for the bench's settings.
    static Text ReadSetting(HKEY key, const wchar_t* name) {
        wchar_t buffer[256];
        DWORD type = REG_NONE, bytes = sizeof buffer;
        if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &bytes) !=
                ERROR_SUCCESS ||
            type != REG_SZ)
            return Text();
        std::size_t length = bytes / sizeof(wchar_t);
        while (length > 0 && buffer[length - 1] == L'\0') --length;
        return Text(reinterpret_cast<const char16_t*>(buffer), length);
    }

    static Text Read(IDispatch& object, const wchar_t* name) {
        LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
        DISPID id = DISPID_UNKNOWN;
        Check(object.GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id), "GetIDsOfNames");
        DISPPARAMS none{};
        Variant value;
        Check(object.Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none,
                            value.put(), nullptr, nullptr),
              "Invoke");
        return Text(Bstr::View(value->bstrVal));
    }

    ComPtr<IShellDispatch> shell_;
    Text windir_;
};

void BenchReport() {
    std::printf("\n\"/xweball\" (display mode 2, all windows browser windows)\n");
    std::printf("%8s %14s %12s %14s %12s %7s\n", "windows", "plug-in/call", "per window",
                "baseline/call", "per window", "ratio");
    const int counts[] = {1, 100, 1000, 10000, 32767};
    double per_window_1000 = 0, per_window_32767 = 0;
    for (const int n : counts) {
        const shell::Scenario scenario = BrowserWindows(n);
        shell::SetScenario(scenario);
        const Plugin plugin = Plugin::Create();
        Baseline baseline;

        // Both must produce the same text, or the comparison means nothing.
        Text plugin_text;
        Check(plugin.ParseCommand(u"/xweball", &plugin_text).hr, "ParseCommand /xweball");
        if (plugin_text != baseline.Report()) {
            std::fprintf(stderr, "tb-bench: plug-in and baseline reports differ at %d windows\n",
                         n);
            std::exit(1);
        }

        // Batches of the two alternate, so that a change in the machine's load hits both;
        // the best batch of each counts. The stand-in logs every read: a fresh scenario
        // before each batch keeps its log short.
        const int per_batch = std::max(1, 3000 / n);
        const int batches = n >= 10000 ? 7 : 15;
        double plugin_time = 1e9, baseline_time = 1e9;
        for (int b = 0; b < batches; ++b) {
            shell::SetScenario(scenario);
            plugin_time = std::min(
                plugin_time, TimePerCall([&] { plugin.ParseCommand(u"/xweball"); }, per_batch, 1));
            shell::SetScenario(scenario);
            baseline_time =
                std::min(baseline_time, TimePerCall([&] { baseline.Report(); }, per_batch, 1));
        }
        std::printf("%8d %11.3f ms %9.3f us %11.3f ms %9.3f us %7.2f\n", n, plugin_time * 1e3,
                    plugin_time / n * 1e6, baseline_time * 1e3, baseline_time / n * 1e6,
                    plugin_time / baseline_time);
        if (n == 1000) per_window_1000 = plugin_time / n;
        if (n == 32767) per_window_32767 = plugin_time / n;
    }
    std::printf("growth 1,000 -> 32,767 windows: per-window time x%.2f (1.00 = linear)\n",
                per_window_32767 / per_window_1000);
}

void BenchCreate() {
    shell::SetScenario(BrowserWindows(1));
    const double first_start = Now();
    Plugin::Create();
    const double first = Now() - first_start;
    std::vector<double> samples;
    for (int i = 0; i < 200; ++i) {
        const double start = Now();
        Plugin plugin = Plugin::Create();
        samples.push_back(Now() - start);
    }
    std::printf("\ncreate + Initialize: first %.3f ms, then median %.3f ms (200 runs)\n",
                first * 1e3, Median(samples) * 1e3);
}

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

// What the plug-in does per window beyond the baseline's reads.
void BenchParts() {
    char directory[MAX_PATH];
    const double windir = TimePerCall([&] { GetWindowsDirectoryA(directory, MAX_PATH); }, 10000, 9);
    std::printf("\nGetWindowsDirectoryA: %.3f us a call\n", windir * 1e6);

    shell::SetScenario(BrowserWindows(1));
    ComPtr<IShellDispatch> shell;
    Check(CoCreateInstance(CLSID_Shell, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&shell)),
          "creating the shell");
    ComPtr<IDispatch> collection;
    Check(shell->Windows(&collection), "Windows()");
    Variant item, index;
    index->vt = VT_I4;
    index->lVal = 0;
    DISPPARAMS one{index.get(), nullptr, 1, 0};
    DISPID item_id = DISPID_UNKNOWN;
    LPOLESTR item_name[] = {const_cast<LPOLESTR>(L"Item")};
    Check(collection->GetIDsOfNames(IID_NULL, item_name, 1, LOCALE_USER_DEFAULT, &item_id),
          "Item's DISPID");
    Check(collection->Invoke(item_id, IID_NULL, LOCALE_USER_DEFAULT,
                             DISPATCH_METHOD | DISPATCH_PROPERTYGET, &one, item.put(), nullptr,
                             nullptr),
          "Item(0)");
    IDispatch& window = *item->pdispVal;
    LPOLESTR names[] = {const_cast<LPOLESTR>(L"Locationname")};
    DISPID id = DISPID_UNKNOWN;
    const double ids =
        TimePerCall([&] { window.GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id); },
                    10000, 9, [] { shell::SetScenario(shell::CurrentScenario()); });
    DISPPARAMS none{};
    const double invoke = TimePerCall(
        [&] {
            Variant value;
            window.Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none,
                          value.put(), nullptr, nullptr);
        },
        10000, 9, [] { shell::SetScenario(shell::CurrentScenario()); });
    std::printf("stand-in window: GetIDsOfNames %.3f us, property get %.3f us\n", ids * 1e6,
                invoke * 1e6);

    const auto fresh = [] { shell::SetScenario(shell::CurrentScenario()); };
    const double query = TimePerCall([] { tabulon::QueryWindowsDirectory(); }, 10000, 9);
    const double read =
        TimePerCall([&] { tabulon::ReadTextProperty(window, u"Locationname", u"shell window 1"); },
                    10000, 9, fresh);
    const double raw = TimePerCall(
        [&] {
            DISPID raw_id = DISPID_UNKNOWN;
            window.GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &raw_id);
            Variant value;
            window.Invoke(raw_id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none,
                          value.put(), nullptr, nullptr);
            Text text(Bstr::View(value->bstrVal));
        },
        10000, 9, fresh);
    std::printf("plug-in's GetWinDir (QueryWindowsDirectory): %.3f us\n", query * 1e6);
    std::printf("plug-in's property read %.3f us, the same read done plainly %.3f us\n", read * 1e6,
                raw * 1e6);

    // Texts the plug-in makes for every read and every window before it knows whether
    // they are needed (failure descriptions, the window's name).
    volatile std::size_t sink = 0;
    const double texts = TimePerCall(
        [&] {
            const Text name = u"shell window " + tabulon::FromUtf8(std::to_string(12345));
            const Text action =
                u"Reading " + (u"\"" + Text(u"Locationname") + u"\"") + u" of " + name;
            Bstr member(u"Locationname");
            sink = sink + action.size() + SysStringLen(member.get());
        },
        10000, 9);
    std::printf("a window's name, a read's description and the name's BSTR: %.3f us\n",
                texts * 1e6);

    // One setting read as the registry store makes it (open, size, read, close).
    const double setting = TimePerCall(
        [] {
            tabulon::RegistryKey key;
            if (RegOpenKeyExW(HKEY_CURRENT_USER, kSettingsKey, 0, KEY_QUERY_VALUE, key.put()))
                return;
            wchar_t buffer[64];
            DWORD type = 0, bytes = 0;
            RegQueryValueExW(key.get(), L"Before", nullptr, &type, nullptr, &bytes);
            bytes = sizeof buffer;
            RegQueryValueExW(key.get(), L"Before", nullptr, &type, reinterpret_cast<BYTE*>(buffer),
                             &bytes);
        },
        200, 9);
    std::printf("one setting read from the registry: %.3f us\n", setting * 1e6);

    // The walk alone, without site lines, over 10,000 windows.
    const shell::Scenario many = BrowserWindows(10000);
    shell::SetScenario(many);
    tabulon::BrowserDiscovery discovery([] { return tabulon::QueryWindowsDirectory(); });
    const double walk =
        TimePerCall([&] { discovery.EnumerateBrowserWindows([](tabulon::SiteWindow&) {}); }, 1, 5,
                    [&] { shell::SetScenario(many); });
    std::printf("plug-in's discovery walk (Path and GetWinDir only): %.3f us a window\n",
                walk / 10000 * 1e6);

    // ParseCommand's fixed part: settings read, dispatch; a command that is not ours.
    const Plugin plugin = Plugin::Create();
    const double foreign = TimePerCall([&] { plugin.ParseCommand(u"/notours"); }, 200, 9);
    shell::SetScenario({});
    const double none_open = TimePerCall([&] { plugin.ParseCommand(u"/xweball"); }, 200, 9);
    std::printf("ParseCommand \"/notours\": %.3f ms; \"/xweball\" with no window: %.3f ms\n",
                foreign * 1e3, none_open * 1e3);
}

}  // namespace

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
