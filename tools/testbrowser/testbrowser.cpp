// testbrowser.exe <scenario-file> <ready-event-name>
//
// Stands in for browsers' top-level windows: each scenario window is a real window of
// its class and title, on a thread of its own (so a hung one blocks no other), serving
// its element tree through WM_GETOBJECT. Once every window is up and in z-order (the
// first one on top) it signals the named event (made by the caller, or here), prints
// "testbrowser: ready", and serves until all windows are closed or it is killed.
//
// Exit codes: 0 all windows closed (or an `exit` element was read), 2 a bad command
// line or scenario (the reason on stderr), 3 a system call failed.
#include <windows.h>
#include <oleacc.h>
#include <objbase.h>

#include <cstdio>
#include <string>
#include <vector>

#include "testbrowser/accessible_element.h"
#include "testbrowser/html_document.h"
#include "testbrowser/scenario.h"

namespace tabulon::testbrowser {
namespace {

// The window property testbrowser's windows carry (stand_in_browsers_win32.cpp).
constexpr wchar_t kMarker[] = L"TabulonTestBrowser";

struct WindowThread {
    const Window* window = nullptr;
    HANDLE created = nullptr;  // the window exists (or could not be made)
    HANDLE ready = nullptr;    // shared: everything is up; hung threads stop here
    HANDLE stopped = nullptr;  // a hung thread no longer answers
    HWND hwnd = nullptr;
    AccessibleElement* root = nullptr;
    HtmlDocument* document = nullptr;  // of the Internet Explorer mode tab, if any
};

constexpr wchar_t kInternetExplorerServer[] = L"Internet Explorer_Server";

// Sent by benchmarks: wParam 0 asks how many accessibility calls the window's tree has
// served, 1 how many elements it has.
const UINT kCountMessage = RegisterWindowMessageW(L"TabulonTestBrowserCount");

LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
    auto* thread = reinterpret_cast<WindowThread*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (message == kCountMessage && kCountMessage && thread) {
        if (wparam == 0) return AccessibleElement::CallsOnThisThread();
        return thread->window->root ? AccessibleElement::CountElements(*thread->window->root) : 0;
    }
    switch (message) {
        case WM_NCCREATE:
            SetWindowLongPtrW(hwnd, GWLP_USERDATA,
                              reinterpret_cast<LONG_PTR>(
                                  reinterpret_cast<CREATESTRUCTW*>(lparam)->lpCreateParams));
            break;
        case WM_GETOBJECT:
            // lParam is a LONG sign- or zero-extended, depending on the sender's width.
            if (static_cast<LONG>(lparam) == OBJID_CLIENT && thread) {
                if (thread->window->refuse) return 0;
                if (thread->root)
                    return LresultFromObject(__uuidof(IAccessible), wparam,
                                             static_cast<IAccessible*>(thread->root));
            }
            break;
        case WM_CLOSE:
            DestroyWindow(hwnd);
            return 0;
        case WM_DESTROY:
            RemovePropW(hwnd, kMarker);
            PostQuitMessage(0);
            return 0;
        default:
            break;
    }
    return DefWindowProcW(hwnd, message, wparam, lparam);
}

// An Internet Explorer mode tab's window: its document for WM_HTML_GETOBJECT.
LRESULT CALLBACK ServerProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
    static const UINT get_object = RegisterWindowMessageW(L"WM_HTML_GETOBJECT");
    if (message == WM_NCCREATE)
        SetWindowLongPtrW(
            hwnd, GWLP_USERDATA,
            reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTW*>(lparam)->lpCreateParams));
    auto* thread = reinterpret_cast<WindowThread*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (message == get_object && get_object && thread && thread->document)
        return LresultFromObject(IID_IDispatch, wparam, thread->document);
    return DefWindowProcW(hwnd, message, wparam, lparam);
}

// Answers sent and posted messages until handle is signalled.
void PumpUntil(HANDLE handle) {
    for (;;) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        if (MsgWaitForMultipleObjects(1, &handle, FALSE, INFINITE, QS_ALLINPUT) == WAIT_OBJECT_0)
            return;
    }
}

DWORD WINAPI Serve(void* parameter) {
    auto* thread = static_cast<WindowThread*>(parameter);
    const Window& window = *thread->window;
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {
        SetEvent(thread->created);
        return 3;
    }
    if (window.root) thread->root = AccessibleElement::Build(*window.root, window.enumerable);
    thread->hwnd = CreateWindowExW(0, window.class_name.c_str(), window.title.c_str(),
                                   WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT, 800, 600,
                                   nullptr, nullptr, GetModuleHandleW(nullptr), thread);
    // Tells the scenario's windows from the ones the system adds (IME).
    if (thread->hwnd) SetPropW(thread->hwnd, kMarker, reinterpret_cast<HANDLE>(1));
    if (thread->hwnd && !window.hidden) ShowWindow(thread->hwnd, SW_SHOWNOACTIVATE);
    if (thread->hwnd && window.ie_server) {
        thread->document = new HtmlDocument(window.ie_server->url, window.ie_server->title);
        CreateWindowExW(0, kInternetExplorerServer, L"",
                        WS_CHILD | (window.ie_server_hidden ? 0 : WS_VISIBLE), 0, 0, 800, 600,
                        thread->hwnd, nullptr, GetModuleHandleW(nullptr), thread);
    }
    SetEvent(thread->created);
    if (!thread->hwnd) return 3;

    if (window.hang) {
        // Until ready the main thread still needs answers (z-order); after it, none.
        PumpUntil(thread->ready);
        SetEvent(thread->stopped);
        HANDLE never = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        WaitForSingleObject(never, INFINITE);
    }
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    // Remote references go first: the tree's parent links are not counted.
    CoUninitialize();
    if (thread->root) thread->root->Release();
    if (thread->document) thread->document->Release();
    return 0;
}

bool ReadFile(const wchar_t* path, std::string& text) {
    HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    LARGE_INTEGER size{};
    bool ok = GetFileSizeEx(file, &size) && size.QuadPart < 256 * 1024 * 1024;
    if (ok) {
        text.resize(static_cast<std::size_t>(size.QuadPart));
        DWORD read = 0;
        ok = text.empty() ||
             (::ReadFile(file, text.data(), static_cast<DWORD>(text.size()), &read, nullptr) &&
              read == text.size());
    }
    CloseHandle(file);
    return ok;
}

int Fail(int code, const char* what) {
    std::fprintf(stderr, "testbrowser: %s (error %lu)\n", what, GetLastError());
    return code;
}

int Run(int argc, wchar_t** argv) {
    if (argc != 3) {
        std::fputs("usage: testbrowser <scenario-file> <ready-event-name>\n", stderr);
        return 2;
    }
    std::string text;
    if (!ReadFile(argv[1], text)) return Fail(2, "cannot read the scenario file");
    static Scenario scenario;  // the trees point into it for the process's lifetime
    std::string error;
    if (!ParseScenario(text, scenario, error)) {
        std::fprintf(stderr, "testbrowser: %ls: %s\n", argv[1], error.c_str());
        return 2;
    }
    // Made here too when the caller has none, as a script has not.
    HANDLE signal = CreateEventW(nullptr, TRUE, FALSE, argv[2]);
    if (!signal) return Fail(3, "cannot open the ready event");

    for (const Window& window : scenario.windows) {
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = WindowProc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
        wc.lpszClassName = window.class_name.c_str();
        if (!RegisterClassExW(&wc) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
            return Fail(3, "cannot register a window class");
    }

    WNDCLASSEXW server{};
    server.cbSize = sizeof server;
    server.lpfnWndProc = ServerProc;
    server.hInstance = GetModuleHandleW(nullptr);
    server.lpszClassName = kInternetExplorerServer;
    if (!RegisterClassExW(&server)) return Fail(3, "cannot register a window class");

    HANDLE ready = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::vector<WindowThread> threads(scenario.windows.size());
    std::vector<HANDLE> handles;
    for (std::size_t i = 0; i < threads.size(); ++i) {
        WindowThread& t = threads[i];
        t.window = &scenario.windows[i];
        t.created = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        t.stopped = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        t.ready = ready;
        HANDLE handle = CreateThread(nullptr, 0, Serve, &t, 0, nullptr);
        if (!handle) return Fail(3, "cannot start a window thread");
        handles.push_back(handle);
        WaitForSingleObject(t.created, INFINITE);
        if (!t.hwnd) return Fail(3, "cannot create a window");
    }
    // Bottom first, each brought to the top: the first window ends above the others.
    for (auto t = threads.rbegin(); t != threads.rend(); ++t)
        SetWindowPos(t->hwnd, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    SetEvent(ready);
    for (const WindowThread& t : threads)
        if (t.window->hang) WaitForSingleObject(t.stopped, INFINITE);
    SetEvent(signal);
    CloseHandle(signal);
    std::puts("testbrowser: ready");
    std::fflush(stdout);

    // Hung threads never end: with one of them this serves until killed.
    for (HANDLE handle : handles) WaitForSingleObject(handle, INFINITE);
    return 0;
}

}  // namespace
}  // namespace tabulon::testbrowser

int wmain(int argc, wchar_t** argv) { return tabulon::testbrowser::Run(argc, argv); }
