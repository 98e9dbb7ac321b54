// "/xweball" through TB.dll against the stand-in shell, beside a baseline that makes
// the reads any such command must make, and creating the plug-in.
#include <windows.h>
#include <oleauto.h>
#include <shldisp.h>
#include <wrl/client.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "bench_parts_win32.h"
#include "bench_support_win32.h"
#include "common/bstr_win32.h"
#include "common/unique_handle_win32.h"
#include "common/variant_win32.h"

namespace tabulon::bench {
namespace {

using Microsoft::WRL::ComPtr;
namespace shell = testshell;
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

}  // namespace

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

}  // namespace tabulon::bench
