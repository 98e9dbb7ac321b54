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
                              !lf.lfStrikeOut && lf.lfCharSet == DEFAULT_CHARSET;
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

int ExpectedWindowsVersion() {
    const char* value = std::getenv("TABULON_EXPECT_WINDOWS");
    return value ? std::atoi(value) : 0;
}

namespace {

// Windows XP scales no program: each sees the screen's own resolution. Wine 10 gives
// a program that does not declare itself DPI-aware 96 dpi whatever version it
// reports, so a run that stands for XP declares it before its first window.
const bool kSeesTheScreensResolution = [] {
    if (ExpectedWindowsVersion() == 5) SetProcessDPIAware();
    return true;
}();

}  // namespace

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

DWORD GdiObjectCount() {
    if (DWORD count = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS)) return count;
    DWORD count = 0;
    for (ULONG_PTR h = 1; h < 0x10000; ++h)
        if (GetObjectType(reinterpret_cast<HGDIOBJ>(h))) ++count;
    return count;
}

int Rendering::Count(COLORREF colour) const {
    int count = 0;
    for (COLORREF pixel : pixels) count += pixel == colour;
    return count;
}

namespace {

// The window's client area, first filled with fill, as paint draws it.
Rendering RenderWith(HWND window, COLORREF fill, const std::function<void(HDC)>& paint) {
    RECT r{};
    GetClientRect(window, &r);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = r.right;
    info.bmiHeader.biHeight = -r.bottom;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    Rendering rendering;
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP canvas = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (dc && canvas && bits) {
        HGDIOBJ old = SelectObject(dc, canvas);
        HBRUSH brush = CreateSolidBrush(fill);
        FillRect(dc, &r, brush);
        DeleteObject(brush);
        paint(dc);
        GdiFlush();
        const auto* pixel = static_cast<const DWORD*>(bits);
        for (LONG i = 0; i < r.right * r.bottom; ++i) {
            const DWORD bgr = pixel[i];  // blue in the low byte, unlike a COLORREF
            rendering.pixels.push_back(RGB((bgr >> 16) & 0xFF, (bgr >> 8) & 0xFF, bgr & 0xFF));
        }
        SelectObject(dc, old);
    }
    if (canvas) DeleteObject(canvas);
    if (dc) DeleteDC(dc);
    return rendering;
}

}  // namespace

Rendering Render(HWND control, COLORREF fill) {
    return RenderWith(control, fill, [&](HDC dc) {
        SendMessageW(control, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc),
                     PRF_CLIENT | PRF_ERASEBKGND);
    });
}

Rendering RenderBackground(HWND window, COLORREF fill) {
    return RenderWith(window, fill, [&](HDC dc) {
        SendMessageW(window, WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
    });
}

CommonControls6::CommonControls6() {
    wchar_t folder[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, folder);
    manifest_ = std::wstring(folder) + L"tabulon-comctl6-" +
                std::to_wstring(GetCurrentProcessId()) + L".manifest";
    // "*": the host's own architecture, x86 or amd64, whichever this program is.
    static const char kManifest[] =
        "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
        "<assembly xmlns=\"urn:schemas-microsoft-com:asm.v1\" manifestVersion=\"1.0\">\n"
        "<dependency><dependentAssembly>\n"
        "<assemblyIdentity type=\"win32\" name=\"Microsoft.Windows.Common-Controls\" "
        "version=\"6.0.0.0\" processorArchitecture=\"*\" "
        "publicKeyToken=\"6595b64144ccf1df\" language=\"*\"/>\n"
        "</dependentAssembly></dependency>\n"
        "</assembly>\n";
    HANDLE file = CreateFileW(manifest_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    const BOOL ok = WriteFile(file, kManifest, sizeof kManifest - 1, &written, nullptr);
    CloseHandle(file);
    if (!ok) return;
    ACTCTXW request{};
    request.cbSize = sizeof request;
    request.lpSource = manifest_.c_str();
    context_ = CreateActCtxW(&request);
    if (context_ != INVALID_HANDLE_VALUE && !ActivateActCtx(context_, &cookie_)) cookie_ = 0;
}

CommonControls6::~CommonControls6() {
    if (cookie_) DeactivateActCtx(0, cookie_);
    if (context_ != INVALID_HANDLE_VALUE) ReleaseActCtx(context_);
    if (!manifest_.empty()) DeleteFileW(manifest_.c_str());
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
