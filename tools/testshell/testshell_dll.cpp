// testshell.dll: the test shell as an in-process server, for a throwaway Wine prefix
// whose CLSID_Shell registration points here (see install-in-prefix.sh). The
// scenario is the file named by TABULON_TEST_SHELL (format in scenario_file.h),
// read afresh whenever a shell is created and on every Windows() call; without the
// variable no window is open.
#include <windows.h>
#include <objbase.h>

#include <string>

#include "testshell/scenario_file.h"
#include "testshell/test_shell.h"

namespace {

using tabulon::testshell::Scenario;

HRESULT LastError() {
    const DWORD error = GetLastError();
    return error ? HRESULT_FROM_WIN32(error) : E_FAIL;
}

HRESULT ReadFileBytes(const std::wstring& path, std::string& bytes) {
    const HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return LastError();
    HRESULT hr = S_OK;
    char chunk[4096];
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(file, chunk, sizeof chunk, &got, nullptr)) {
            hr = LastError();
            break;
        }
        if (got == 0) break;
        bytes.append(chunk, got);
    }
    CloseHandle(file);
    return hr;
}

// Problems with the file are told on the debug channel (WINEDEBUG=+debugstr) and
// fail the call that needed the scenario.
HRESULT LoadScenario() {
    wchar_t name[MAX_PATH * 4];
    const DWORD length = GetEnvironmentVariableW(L"TABULON_TEST_SHELL", name, MAX_PATH * 4);
    if (length == 0 || length >= MAX_PATH * 4) {
        tabulon::testshell::SetScenario(Scenario{});
        return S_OK;
    }
    std::string bytes;
    if (const HRESULT hr = ReadFileBytes(name, bytes); FAILED(hr)) {
        OutputDebugStringA("testshell: cannot read the file named by TABULON_TEST_SHELL\n");
        return hr;
    }
    Scenario scenario;
    std::string error;
    if (!tabulon::testshell::ParseScenario(bytes, scenario, error)) {
        OutputDebugStringA(("testshell: " + error + "\n").c_str());
        return E_INVALIDARG;
    }
    tabulon::testshell::SetScenario(std::move(scenario));
    return S_OK;
}

}  // namespace

STDAPI DllGetClassObject(REFCLSID clsid, REFIID iid, LPVOID* object) {
    tabulon::testshell::SetScenarioRefresh(&LoadScenario);
    return tabulon::testshell::GetClassObject(clsid, iid, object);
}

STDAPI DllCanUnloadNow() { return tabulon::testshell::CanUnload() ? S_OK : S_FALSE; }
