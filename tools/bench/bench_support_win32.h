#pragma once
// What every part of tb-bench shares: timing, failing loudly, the settings, and the
// plug-in as a host holds it.
#include <windows.h>

#include <functional>
#include <vector>

#include "common/text.h"
#include "late_bound/late_bound_win32.h"
#include "testshell/test_shell.h"

namespace tabulon::bench {

inline constexpr wchar_t kSettingsKey[] =
    L"Software\\VB and VBA Program Settings\\Vantorel\\Tabulon";

// Seconds on the performance counter.
double Now();
double Median(std::vector<double> values);
// Seconds per call: the median over `batches` of the mean of `per_batch` calls.
double TimePerCall(const std::function<void()>& call, int per_batch, int batches,
                   const std::function<void()>& between = {});

// A failed step ends the benchmark with its HRESULT.
[[noreturn]] void Fail(const char* what, HRESULT hr);
void Check(HRESULT hr, const char* what);

void StoreSetting(const wchar_t* name, TextView value);

inline constexpr TextView kBefore = u"I'm currently browsing:";
// Internet Explorer's windows in the stand-in shell: "Example page N" at
// http://www.example.com/pages/N.
testshell::Scenario BrowserWindows(int count);

// The plug-in as a host holds it: created by ProgID, initialised, ParseCommand's
// DISPID looked up once.
struct Plugin {
    late_bound::Object object;
    DISPID parse_command = DISPID_UNKNOWN;

    static Plugin Create();
    late_bound::Outcome ParseCommand(TextView command, Text* result = nullptr) const;
};

}  // namespace tabulon::bench
