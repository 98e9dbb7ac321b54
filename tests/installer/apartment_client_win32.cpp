// Calls the installed plug-in from a second apartment. The object lives in this
// single-threaded apartment; a worker in the multithreaded apartment reaches _TB
// through a proxy, which only the registered type library can provide (the
// interface's ProxyStubClsid32 and the library's win32 path). Prints what it
// checked; exit code 0 when everything passed.
#include <windows.h>
#include <objbase.h>
#include <oleauto.h>
#include <wrl/client.h>

#include <cstdio>
#include <string>

#include "common/bstr_win32.h"
#include "common/com_error_win32.h"
#include "tb_h.h"

using Microsoft::WRL::ComPtr;
using tabulon::Bstr;

namespace {

std::string Status(HRESULT hr) { return tabulon::ToUtf8(tabulon::HexStatus(hr)); }

struct WorkerCall {
    IStream* marshalled = nullptr;  // the worker releases it
    std::string failure;
    std::string report;
};

void CallThroughProxy(WorkerCall& call) {
    ComPtr<_TB> tb;
    HRESULT hr = CoGetInterfaceAndReleaseStream(call.marshalled, IID__TB, &tb);
    call.marshalled = nullptr;
    if (FAILED(hr)) {
        call.failure = "unmarshalling _TB in the second apartment failed: " + Status(hr);
        return;
    }
    Bstr name;
    LONG commands = 0, tags = 0;
    VARIANT_BOOL ok = VARIANT_FALSE;
    hr = tb->GetPublishInfo(name.put(), &commands, &tags, &ok);
    if (FAILED(hr) || ok != VARIANT_TRUE || name.view() != u"Tabulon" || commands != 4) {
        call.failure = "GetPublishInfo through the proxy: " + Status(hr) + ", name \"" +
                       tabulon::ToUtf8(name.view()) + "\", " + std::to_string(commands) +
                       " commands";
        return;
    }
    Bstr windows;
    hr = tb->GetWinDir(windows.put());
    if (FAILED(hr) || windows.view().empty()) {
        call.failure = "GetWinDir through the proxy: " + Status(hr);
        return;
    }
    call.report = "_TB from the second apartment: " + tabulon::ToUtf8(name.view()) + ", " +
                  std::to_string(commands) + " commands, Windows in " +
                  tabulon::ToUtf8(windows.view());
}

DWORD WINAPI Worker(void* parameter) {
    auto& call = *static_cast<WorkerCall*>(parameter);
    const HRESULT hr = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    if (FAILED(hr)) {
        call.failure = "CoInitializeEx in the worker: " + Status(hr);
        return 1;
    }
    CallThroughProxy(call);
    CoUninitialize();
    return 0;
}

// The worker's calls arrive as messages to this apartment: pump them until it ends.
bool WaitPumping(HANDLE thread) {
    const DWORD deadline = GetTickCount() + 30000;
    for (;;) {
        const DWORD now = GetTickCount();
        if (static_cast<LONG>(deadline - now) <= 0) return false;
        const DWORD wait =
            MsgWaitForMultipleObjects(1, &thread, FALSE, deadline - now, QS_ALLINPUT);
        if (wait == WAIT_OBJECT_0) return true;
        if (wait != WAIT_OBJECT_0 + 1) return false;
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
    }
}

int Run() {
    CLSID clsid;
    HRESULT hr = CLSIDFromProgID(L"Quenlar.TB", &clsid);
    if (FAILED(hr)) {
        std::printf("FAIL: Quenlar.TB is not registered: %s\n", Status(hr).c_str());
        return 1;
    }
    ComPtr<_TB> tb;
    hr = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID__TB, &tb);
    if (FAILED(hr)) {
        std::printf("FAIL: creating Quenlar.TB: %s\n", Status(hr).c_str());
        return 1;
    }
    WorkerCall call;
    hr = CoMarshalInterThreadInterfaceInStream(IID__TB, tb.Get(), &call.marshalled);
    if (FAILED(hr)) {
        std::printf("FAIL: no proxy for _TB (is the type library registered?): %s\n",
                    Status(hr).c_str());
        return 1;
    }
    HANDLE thread = CreateThread(nullptr, 0, Worker, &call, 0, nullptr);
    if (!thread) {
        if (call.marshalled) call.marshalled->Release();
        std::printf("FAIL: CreateThread: %lu\n", GetLastError());
        return 1;
    }
    const bool ended = WaitPumping(thread);
    CloseHandle(thread);
    if (!ended) {
        // The worker may still use `call`: leave without unwinding it.
        std::printf("FAIL: the call from the second apartment did not finish in 30 s\n");
        std::fflush(stdout);
        ExitProcess(1);
    }
    if (!call.failure.empty()) {
        std::printf("FAIL: %s\n", call.failure.c_str());
        return 1;
    }
    std::printf("%s\n", call.report.c_str());
    return 0;
}

}  // namespace

int main() {
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {
        std::printf("FAIL: CoInitializeEx\n");
        return 1;
    }
    const int status = Run();
    CoUninitialize();
    return status;
}
