#include "window_driver_win32.h"

#include <chrono>
#include <cstdlib>
#include <vector>

namespace tabulon::testing_ui {

ControlView ViewControl(HWND control) {
    ControlView view;
    wchar_t name[64] = {};
    GetClassNameW(control, name, 64);
    view.window_class = name;

    const int length = GetWindowTextLengthW(control);
    std::vector<wchar_t> buffer(static_cast<std::size_t>(length) + 1);
    const int copied = GetWindowTextW(control, buffer.data(), length + 1);
    view.text.assign(reinterpret_cast<const char16_t*>(buffer.data()),
                     static_cast<std::size_t>(copied > 0 ? copied : 0));

    GetWindowRect(control, &view.rect);
    MapWindowPoints(nullptr, GetParent(control), reinterpret_cast<POINT*>(&view.rect), 2);

    if (HFONT font = reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0))) {
        LOGFONTW lf{};
        if (GetObjectW(font, sizeof lf, &lf)) {
            view.font_face = lf.lfFaceName;
            view.font_height = lf.lfHeight;
            view.font_plain = lf.lfWeight == FW_NORMAL && !lf.lfItalic && !lf.lfUnderline &&
                              !lf.lfStrikeOut && lf.lfCharSet == ANSI_CHARSET;
        }
    }
    view.enabled = IsWindowEnabled(control);
    view.visible = IsWindowVisible(control);
    view.style = GetWindowLongW(control, GWL_STYLE);
    return view;
}

SIZE ClientSize(HWND window) {
    RECT r{};
    GetClientRect(window, &r);
    return SIZE{r.right - r.left, r.bottom - r.top};
}

HWND FocusOfThread(DWORD thread_id) {
    GUITHREADINFO info{};
    info.cbSize = sizeof info;
    return GetGUIThreadInfo(thread_id, &info) ? info.hwndFocus : nullptr;
}

int ListCount(HWND list) { return static_cast<int>(SendMessageW(list, LB_GETCOUNT, 0, 0)); }

Text ListItem(HWND list, int index) {
    const LRESULT length = SendMessageW(list, LB_GETTEXTLEN, index, 0);
    if (length == LB_ERR) return u"<no item>";
    std::vector<wchar_t> buffer(static_cast<std::size_t>(length) + 1);
    SendMessageW(list, LB_GETTEXT, index, reinterpret_cast<LPARAM>(buffer.data()));
    return Text(reinterpret_cast<const char16_t*>(buffer.data()), static_cast<std::size_t>(length));
}

int ScreenDpi() {
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    return dpi;
}

int ExpectedDpi() {
    const char* value = std::getenv("TABULON_EXPECT_DPI");
    return value ? std::atoi(value) : 0;
}

LONG TwipsToPixels(int twips, int dpi) { return (twips * dpi + 720) / 1440; }

RECT TwipsToPixels(int left, int top, int width, int height, int dpi) {
    const LONG x = TwipsToPixels(left, dpi);
    const LONG y = TwipsToPixels(top, dpi);
    return RECT{x, y, x + TwipsToPixels(width, dpi), y + TwipsToPixels(height, dpi)};
}

LONG FontHeight(int hundredths_of_point, int dpi) {
    return -((hundredths_of_point * dpi + 3600) / 7200);
}

bool WaitFor(const std::function<bool()>& condition, int timeout_ms) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > end) return false;
        Sleep(10);
    }
    return true;
}

WindowDriver::WindowDriver(std::wstring caption, std::function<void(HWND)> script)
    : caption_(std::move(caption)), script_(std::move(script)), thread_([this] { Run(); }) {}

WindowDriver::~WindowDriver() { Join(); }

void WindowDriver::Join() {
    if (thread_.joinable()) thread_.join();
}

void WindowDriver::Run() {
    HWND window = nullptr;
    if (!WaitFor(
            [&] {
                window = FindWindowW(nullptr, caption_.c_str());
                return window && IsWindowVisible(window);
            },
            10000))
        return;
    found_ = true;
    script_(window);
    if (!WaitFor([&] { return !IsWindow(window); })) {
        left_open_ = true;
        PostMessageW(window, WM_CLOSE, 0, 0);
    }
}

void Click(HWND button) { SendMessageW(button, BM_CLICK, 0, 0); }

void TypeText(HWND edit, TextView text) {
    const Text terminated(text);
    SendMessageW(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(terminated.c_str()));
}

void SelectItem(HWND list, int index) {
    SendMessageW(list, LB_SETCURSEL, index, 0);
    SendMessageW(GetParent(list), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(list), LBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(list));
}

void PressKey(HWND control, UINT virtual_key) {
    const UINT scan = MapVirtualKeyW(virtual_key, MAPVK_VK_TO_VSC);
    PostMessageW(control, WM_KEYDOWN, virtual_key, 1 | (scan << 16));
    PostMessageW(control, WM_KEYUP, virtual_key, 1 | (scan << 16) | (3u << 30));
}

}  // namespace tabulon::testing_ui
