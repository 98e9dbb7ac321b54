#include "bench_support_win32.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "common/bstr_win32.h"

namespace tabulon::bench {

double Now() {
    static const double frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return static_cast<double>(f.QuadPart);
    }();
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return static_cast<double>(t.QuadPart) / frequency;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

double TimePerCall(const std::function<void()>& call, int per_batch, int batches,
                   const std::function<void()>& between) {
    std::vector<double> samples;
    for (int b = 0; b < batches; ++b) {
        if (between) between();
        const double start = Now();
        for (int i = 0; i < per_batch; ++i) call();
        samples.push_back((Now() - start) / per_batch);
    }
    return Median(samples);
}

void Fail(const char* what, HRESULT hr) {
    std::fprintf(stderr, "tb-bench: %s failed (0x%08lx)\n", what, static_cast<unsigned long>(hr));
    std::exit(1);
}

void Check(HRESULT hr, const char* what) {
    if (FAILED(hr)) Fail(what, hr);
}

void StoreSetting(const wchar_t* name, TextView value) {
    const std::wstring text(reinterpret_cast<const wchar_t*>(value.data()), value.size());
    RegSetKeyValueW(HKEY_CURRENT_USER, kSettingsKey, name, REG_SZ, text.c_str(),
                    static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
}

testshell::Scenario BrowserWindows(int count) {
    testshell::Scenario scenario;
    scenario.windows.reserve(count);
    for (int i = 1; i <= count; ++i) {
        const Text n = FromUtf8(std::to_string(i));
        scenario.windows.push_back({testshell::Value::Str(u"C:\\Program Files\\Internet Explorer"),
                                    testshell::Value::Str(u"Example page " + n),
                                    testshell::Value::Str(u"http://www.example.com/pages/" + n)});
    }
    return scenario;
}

Plugin Plugin::Create() {
    Plugin plugin;
    HRESULT hr = E_FAIL;
    plugin.object = late_bound::Object::Create(L"Quenlar.TB", &hr);
    Check(hr, "creating Quenlar.TB (is TB.dll registered?)");
    late_bound::Args args;
    args.Long(0).String(u"").Object(nullptr);
    const late_bound::Outcome outcome = plugin.object.Call(L"Initialize", args);
    Check(outcome.hr, "Initialize");
    Check(plugin.object.IdOf(L"ParseCommand", &plugin.parse_command), "ParseCommand's DISPID");
    return plugin;
}

late_bound::Outcome Plugin::ParseCommand(TextView command, Text* result) const {
    BSTR text = Bstr::Allocate(u"");
    late_bound::Args args;
    args.String(command).String(u"").Object(nullptr).StringRef(&text);
    late_bound::Outcome outcome = object.CallId(parse_command, args);
    if (result) *result = Text(Bstr::View(text));
    SysFreeString(text);
    return outcome;
}

}  // namespace tabulon::bench
