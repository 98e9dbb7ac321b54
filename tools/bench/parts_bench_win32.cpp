// What the plug-in does per window beyond the baseline's reads, part by part.
#include <windows.h>
#include <oleauto.h>
#include <shldisp.h>
#include <wrl/client.h>

#include <cstdio>

#include "bench_parts_win32.h"
#include "bench_support_win32.h"
#include "common/bstr_win32.h"
#include "common/unique_handle_win32.h"
#include "common/variant_win32.h"
#include "report/browser_discovery_win32.h"
#include "report/windows_directory_win32.h"

namespace tabulon::bench {

using Microsoft::WRL::ComPtr;
namespace shell = testshell;

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

}  // namespace tabulon::bench
