// tabulon-soak: drives the registered TB.dll for a long time, as a host would, and
// fails when the process grows. N late-bound calls of every operation (the failure
// paths included), M openings of each window closed at once by a helper window on
// the same thread; then everything is released. Private bytes, handles and GDI/USER
// objects are taken after a warm-up and at the end.
//
//   tabulon-soak [N=100000] [M=1000] [windows=7: 1 picker, 2 options, 4 about]
// TABULON_SOAK_ROUNDS="N M" overrides N and M.
// Exit code 0: nothing grew beyond the tolerance, DllCanUnloadNow said S_OK and every
// object of the stand-in shell was released.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cwchar>

#include "common/bstr_win32.h"
#include "late_bound/late_bound_win32.h"
#include "process_figures_win32.h"
#include "settings/registry_settings_store_win32.h"
#include "testshell/test_shell.h"
#include "ui/frm_web_win32.h"

namespace {

using namespace tabulon;
using namespace tabulon::soak;
using late_bound::Args;
using late_bound::Outcome;
namespace shell = testshell;

// Allowed growth from the warm-up to the end.
constexpr SIZE_T kPrivateBytesTolerance = 2 * 1024 * 1024;
constexpr DWORD kHandleTolerance = 8;
constexpr DWORD kGuiObjectTolerance = 8;

constexpr UINT kCloseWindow = WM_APP + 1;  // lparam: caption

int g_failures = 0;

void Expect(bool ok, const char* what, HRESULT hr = S_OK) {
    if (ok) return;
    if (++g_failures <= 20)
        std::printf("FAILED: %s (0x%08lX)\n", what, static_cast<unsigned long>(hr));
}

// Closes a window of the plug-in from inside its own modal loop: the picker by
// picking its first line, the dialogs by their OK button.
LRESULT CALLBACK HelperProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message != kCloseWindow) return DefWindowProcW(hwnd, message, wparam, lparam);
    const auto caption = reinterpret_cast<const wchar_t*>(lparam);
    HWND form = FindWindowW(L"TabulonForm", caption);
    Expect(form != nullptr, "a window was shown");
    if (!form) return 0;
    if (HWND list = GetDlgItem(form, FrmWeb::kList1)) {
        SendMessageW(list, LB_SETCURSEL, 0, 0);
        SendMessageW(form, WM_COMMAND, MAKEWPARAM(FrmWeb::kList1, LBN_SELCHANGE),
                     reinterpret_cast<LPARAM>(list));
    }
    SendMessageW(GetDlgItem(form, IDOK), BM_CLICK, 0, 0);
    if (IsWindow(form)) SendMessageW(form, WM_CLOSE, 0, 0);
    return 0;
}

class Soak {
  public:
    Soak(const late_bound::Object& plugin, HWND helper, int window_mask)
        : plugin_(plugin), helper_(helper), window_mask_(window_mask) {}

    // One call of every operation, and the failure paths: a refused argument and a
    // failure raised inside the plug-in.
    void Calls(long i) {
        // The stand-in records every property read; a fresh scenario empties the record.
        shell::SetScenario(shell::CurrentScenario());
        {
            Args a;
            a.Long(i).String(u"user@example.com").Object(nullptr);
            Check(plugin_.Call(L"Initialize", a), "Initialize");
        }
        {
            Args a;
            Check(plugin_.Call(L"GetWinDir", a), "GetWinDir");
            Check(plugin_.Call(L"Uninitialize", a), "Uninitialize");
        }
        {
            Bstr name(u"x");
            BSTR n = name.Release();
            LONG commands = 0, tags = 0;
            Args a;
            a.StringRef(&n).LongRef(&commands).LongRef(&tags);
            Check(plugin_.Call(L"GetPublishInfo", a), "GetPublishInfo");
            SysFreeString(n);
        }
        {
            BSTR s[3] = {SysAllocString(L"a"), SysAllocString(L"b"), nullptr};
            Args a;
            a.Long(i % 6).StringRef(&s[0]).StringRef(&s[1]).StringRef(&s[2]);
            Check(plugin_.Call(L"GetPublishCommandInfo", a), "GetPublishCommandInfo");
            Args t;
            t.Long(1).StringRef(&s[0]).StringRef(&s[1]);
            Check(plugin_.Call(L"GetPublishTagInfo", t), "GetPublishTagInfo");
            for (BSTR b : s) SysFreeString(b);
        }
        for (const char16_t* command : {u"/xweball", u"/XWEBALL", u"/unknown"}) {
            BSTR result = SysAllocString(L"in");
            Args a;
            a.String(command).String(u"arg").Object(nullptr).StringRef(&result);
            Check(plugin_.Call(L"ParseCommand", a), "ParseCommand");
            SysFreeString(result);
        }
        {
            BSTR result = nullptr;
            Args tag;
            tag.String(u"(tag)").Object(nullptr).StringRef(&result);
            Check(plugin_.Call(L"ParseTag", tag), "ParseTag");
            Args notify;
            notify.String(u"1").String(u"t").String(u"c").Object(nullptr).StringRef(&result);
            Check(plugin_.Call(L"ReceiveNotify", notify), "ReceiveNotify");
            SysFreeString(result);
        }
        {
            // Refused while binding, and a Failure through IErrorInfo.
            Args wrong;
            wrong.String(u"abc").NullString().NullString().NullString();
            const Outcome o = plugin_.Call(L"GetPublishCommandInfo", wrong);
            Expect(o.hr == DISP_E_TYPEMISMATCH, "a refused argument", o.hr);
            Args raised;
            raised.String(u"/xweball").String(u"").Object(nullptr).StringRef(nullptr);
            const Outcome e = plugin_.Call(L"ParseCommand", raised);
            Expect(e.hr == DISP_E_EXCEPTION && e.scode == E_POINTER && !e.description.empty(),
                   "a failure with its description", e.hr);
        }
    }

    void Windows() {
        shell::SetScenario(shell::CurrentScenario());
        static const struct {
            const char16_t* command;
            const wchar_t* caption;
            bool picks;
        } windows[] = {{u"/xweb", L"Tabulon", true},
                       {u"/xweboptions", L"Tabulon Options", false},
                       {u"/xwebabout", L"About Tabulon", false}};
        for (const auto& w : windows) {
            if (!(window_mask_ & (1 << (&w - windows)))) continue;
            PostMessageW(helper_, kCloseWindow, 0, reinterpret_cast<LPARAM>(w.caption));
            BSTR result = SysAllocString(L"in");
            Args a;
            a.String(w.command).String(u"").Object(nullptr).StringRef(&result);
            const Outcome o = plugin_.Call(L"ParseCommand", a);
            Check(o, "ParseCommand with a window");
            if (w.picks)
                Expect(Bstr::View(result).find(u"Soak title") != TextView::npos, "the pick");
            SysFreeString(result);
        }
    }

  private:
    static void Check(const Outcome& o, const char* what) { Expect(o.hr == S_OK, what, o.hr); }

    const late_bound::Object& plugin_;
    HWND helper_;
    int window_mask_;
};

bool Grew(const char* what, unsigned long before, unsigned long after, unsigned long tolerance) {
    const bool grew = after > before + tolerance;
    if (grew)
        std::printf("FAILED: %s grew from %lu to %lu (tolerance %lu)\n", what, before, after,
                    tolerance);
    return grew;
}

void ClearSettings() { RegDeleteTreeW(HKEY_CURRENT_USER, kSettingsRegistryKey); }

int Run(long calls, long openings, int window_mask) {
    shell::Registration registration;
    if (registration.status() != S_OK) {
        std::printf("FAILED: the stand-in shell could not be registered\n");
        return 1;
    }
    shell::Scenario scenario;
    scenario.windows = {
        {shell::Value::Str(u"C:\\Program Files\\Internet Explorer"),
         shell::Value::Str(u"Soak title"), shell::Value::Str(u"http://soak.example/")},
        {shell::Value::Str(u"C:\\windows"), shell::Value::Str(u"Folder"),
         shell::Value::Str(u"file:///C:/")},
        {shell::Value::Str(u"C:\\Program Files\\Internet Explorer"), shell::Value::Str(u"Second"),
         shell::Value::Str(u"http://second.example/")},
    };
    shell::SetScenario(scenario);
    ClearSettings();

    WNDCLASSW wc{};
    wc.lpfnWndProc = HelperProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"TabulonSoakHelper";
    RegisterClassW(&wc);
    HWND helper = CreateWindowExW(0, wc.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                  wc.hInstance, nullptr);

    Figures warm, end;
    {
        HRESULT hr = E_FAIL;
        const late_bound::Object plugin = late_bound::Object::Create(L"Quenlar.TB", &hr);
        if (!plugin) {
            std::printf("FAILED: creating Quenlar.TB (0x%08lX)\n", static_cast<unsigned long>(hr));
            return 1;
        }
        Soak soak(plugin, helper, window_mask);
        // Warm-up: caches, the type information, window classes, fonts and the logo.
        for (long i = 0; i < 200; ++i) soak.Calls(i);
        for (long i = 0; i < 5; ++i) soak.Windows();
        warm = Measure();
        Print("warm-up", warm);

        const DWORD start = GetTickCount();
        for (long i = 0; i < calls; ++i) soak.Calls(i);
        const DWORD afterCalls = GetTickCount();
        for (long i = 0; i < openings; ++i) soak.Windows();
        const DWORD afterWindows = GetTickCount();
        std::printf(
            "%ld rounds of calls (%ld late-bound calls) in %.1f s; %ld openings of "
            "each window in %.1f s\n",
            calls, calls * 13, (afterCalls - start) / 1000.0, openings,
            (afterWindows - afterCalls) / 1000.0);
    }
    end = Measure();
    Print("end", end);
    int windows = 0;
    for (int bit = 0; bit < 3; ++bit) windows += (window_mask >> bit) & 1;
    if (openings > 0 && windows > 0) {
        const double n = static_cast<double>(openings) * windows;
        std::printf("per window opening: private bytes %+.0f, committed private %+.0f\n",
                    (static_cast<double>(end.private_bytes) - warm.private_bytes) / n,
                    (static_cast<double>(end.committed) - warm.committed) / n);
    }

    DestroyWindow(helper);
    ClearSettings();

    bool ok = g_failures == 0;
    // Where TB.dll's own memory shows on Wine too: committed private memory. Private
    // bytes there also hold Wine's caches.
    const SIZE_T wine_caches = WineCacheAllowance();
    if (wine_caches)
        std::printf("private bytes may grow by %lu more on %s: Wine's own caches\n",
                    static_cast<unsigned long>(wine_caches), PlatformName());
    ok &= !Grew("private bytes", warm.private_bytes, end.private_bytes,
                kPrivateBytesTolerance + wine_caches);
    ok &= !Grew("committed private memory", warm.committed, end.committed, kPrivateBytesTolerance);
    ok &= !Grew("handles", warm.handles, end.handles, kHandleTolerance);
    ok &= !Grew("GDI objects", warm.gdi, end.gdi, kGuiObjectTolerance);
    ok &= !Grew("USER objects", warm.user, end.user, kGuiObjectTolerance);

    auto canUnloadNow = reinterpret_cast<HRESULT(WINAPI*)()>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"TB.dll"), "DllCanUnloadNow")));
    const HRESULT unload = canUnloadNow ? canUnloadNow() : E_FAIL;
    std::printf("DllCanUnloadNow 0x%08lX; stand-in shell objects alive: %ld\n",
                static_cast<unsigned long>(unload), shell::ReadCounters().LiveObjects());
    if (unload != S_OK) {
        std::printf("FAILED: TB.dll can't be unloaded\n");
        ok = false;
    }
    if (shell::ReadCounters().LiveObjects() != 0) {
        std::printf("FAILED: shell objects were not released\n");
        ok = false;
    }
    if (g_failures) std::printf("FAILED: %d calls went wrong\n", g_failures);
    std::printf(ok ? "soak passed\n" : "soak FAILED\n");
    return ok ? 0 : 1;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    long calls = argc > 1 ? std::wcstol(argv[1], nullptr, 10) : 100000;
    long openings = argc > 2 ? std::wcstol(argv[2], nullptr, 10) : 1000;
    // "CALLS OPENINGS" in place of the command line's: a shorter round where the machine
    // is emulated. One handle or GDI object lost an opening still shows when OPENINGS
    // is above their tolerance.
    if (const wchar_t* rounds = _wgetenv(L"TABULON_SOAK_ROUNDS")) {
        wchar_t* end = nullptr;
        calls = std::wcstol(rounds, &end, 10);
        openings = std::wcstol(end, nullptr, 10);
        if (calls <= 0 || openings <= static_cast<long>(kGuiObjectTolerance)) {
            std::printf("FAILED: TABULON_SOAK_ROUNDS is \"CALLS OPENINGS\", OPENINGS above %lu\n",
                        static_cast<unsigned long>(kGuiObjectTolerance));
            return 2;
        }
    }
    std::printf("tabulon-soak on %s, %d-bit: %ld calls, %ld openings\n", PlatformName(),
                static_cast<int>(sizeof(void*) * 8), calls, openings);
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return 2;
    // Which windows to open: 1 picker, 2 options, 4 about.
    const int mask = argc > 3 ? static_cast<int>(std::wcstol(argv[3], nullptr, 10)) : 7;
    const int rc = Run(calls, openings, mask);
    CoUninitialize();
    return rc;
}
