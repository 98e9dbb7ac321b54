// Another program for the window tests, in a process of its own: its one window takes
// the foreground, as an on-screen keyboard or a video player does when the user
// switches to it. The window stays on top unless the argument is "plain". Sent
// WM_APP, it takes the foreground again; it ends on WM_CLOSE, or after a minute so
// that a test that died leaves nothing behind.
#include <windows.h>

#include <cstring>

namespace {

constexpr wchar_t kClass[] = L"TabulonTestAnotherProgram";
constexpr UINT_PTR kLifetimeTimer = 1;

LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
        case WM_APP:
            return SetForegroundWindow(hwnd);
        case WM_TIMER:
            DestroyWindow(hwnd);
            return 0;
        case WM_DESTROY:
            PostQuitMessage(0);
            return 0;
        default:
            return DefWindowProcW(hwnd, message, wparam, lparam);
    }
}

}  // namespace

int main(int argc, char** argv) {
    const bool topmost = !(argc > 1 && std::strcmp(argv[1], "plain") == 0);
    WNDCLASSW wc{};
    wc.lpfnWndProc = &WindowProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    wc.lpszClassName = kClass;
    if (!RegisterClassW(&wc)) return 1;
    HWND window = CreateWindowExW(topmost ? WS_EX_TOPMOST : 0, kClass, L"Another program",
                                  WS_POPUP | WS_VISIBLE, 100, 80, 300, 200, nullptr, nullptr,
                                  wc.hInstance, nullptr);
    if (!window) return 1;
    SetForegroundWindow(window);
    SetTimer(window, kLifetimeTimer, 60000, nullptr);
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchMessageW(&msg);
    return 0;
}
