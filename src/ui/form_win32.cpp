#include "ui/form_win32.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <utility>

#include "common/com_error_win32.h"
#include "common/failure.h"
#include "ui/resource_ids.h"

namespace tabulon {

namespace {

constexpr wchar_t kWindowClass[] = L"TabulonForm";
constexpr COLORREF kWhite = RGB(0xFF, 0xFF, 0xFF);

const wchar_t* Wide(const char16_t* text) { return reinterpret_cast<const wchar_t*>(text); }

// The modal loop checks its window after each message it takes. When the window
// goes while a message sent from another thread is handled, GetMessage would go on
// waiting; a posted no-op lets it look again.
void WakeModalLoop() { PostThreadMessageW(GetCurrentThreadId(), WM_NULL, 0, 0); }

[[noreturn]] void ThrowLastError(TextView what) {
    const DWORD error = GetLastError();
    ThrowIfFailed(error ? HRESULT_FROM_WIN32(error) : E_FAIL, what);
    throw Failure(E_FAIL, Text(what) + u" failed.");
}

// XP's structure ends with the message font; Vista appended iPaddedBorderWidth, which
// headers for XP leave out.
constexpr UINT kXpNonClientMetricsSize =
    offsetof(NONCLIENTMETRICSW, lfMessageFont) + sizeof(LOGFONTW);
static_assert(kXpNonClientMetricsSize == 500);

// Under a theme, option buttons draw their text in the theme's colour instead of the
// one WM_CTLCOLORSTATIC sets. Only comctl32 v6 themes controls, and it has uxtheme.dll
// loaded by then; looked up at run time, so a system without it still loads the DLL.
// A blank name matches no theme class; Windows takes an empty one too, Wine does not.
void KeepClassicLook(HWND control) {
    HMODULE uxtheme = GetModuleHandleW(L"uxtheme.dll");
    if (!uxtheme) return;
    using SetWindowThemeFunction = HRESULT(WINAPI*)(HWND, LPCWSTR, LPCWSTR);
    const auto set_window_theme = reinterpret_cast<SetWindowThemeFunction>(
        reinterpret_cast<void*>(GetProcAddress(uxtheme, "SetWindowTheme")));
    if (set_window_theme) set_window_theme(control, L" ", L" ");
}

// The work area of the monitor that shows most of the window, or of the primary one.
RECT WorkAreaFor(HWND window) {
    HMONITOR monitor = window ? MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST)
                              : MonitorFromPoint(POINT{0, 0}, MONITOR_DEFAULTTOPRIMARY);
    MONITORINFO info{};
    info.cbSize = sizeof info;
    if (monitor && GetMonitorInfoW(monitor, &info)) return info.rcWork;
    RECT work{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    return work;
}

}  // namespace

int TwipsToPixels(int twips, int dots_per_inch) { return MulDiv(twips, dots_per_inch, 1440); }

int ScreenDotsPerInch() {
    HDC screen = GetDC(nullptr);
    const int dpi = screen ? GetDeviceCaps(screen, LOGPIXELSY) : 0;
    if (screen) ReleaseDC(nullptr, screen);
    return dpi > 0 ? dpi : 96;
}

UINT NonClientMetricsSize(DWORD os_major_version) {
    return os_major_version >= 6 ? sizeof(NONCLIENTMETRICSW) : kXpNonClientMetricsSize;
}

bool ReadNonClientMetrics(NONCLIENTMETRICSW& metrics) {
    OSVERSIONINFOW version{};
    version.dwOSVersionInfoSize = sizeof version;
    const DWORD major = GetVersionExW(&version) ? version.dwMajorVersion : 5;
    metrics = NONCLIENTMETRICSW{};
    metrics.cbSize = NonClientMetricsSize(major);
    if (SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, metrics.cbSize, &metrics, 0)) return true;
    // A compatibility layer can report a newer version than the system has.
    if (metrics.cbSize == kXpNonClientMetricsSize) return false;
    metrics.cbSize = kXpNonClientMetricsSize;
    return SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, metrics.cbSize, &metrics, 0) != FALSE;
}

Microsoft::WRL::ComPtr<IPicture> LoadLogo() {
    const HINSTANCE module = ThisModule();
    HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(IDR_LOGO), MAKEINTRESOURCEW(10));
    if (!found) ThrowLastError(u"Finding the logo picture in the component's resources");
    HGLOBAL loaded = LoadResource(module, found);
    const void* bytes = loaded ? LockResource(loaded) : nullptr;
    const DWORD size = SizeofResource(module, found);
    if (!bytes || size == 0) ThrowLastError(u"Loading the logo picture's resource");

    // A stream on a global copy: with SHCreateMemStream the process grew by the
    // logo's size at every opening under Wine.
    HGLOBAL copy = GlobalAlloc(GMEM_MOVEABLE, size);
    void* target = copy ? GlobalLock(copy) : nullptr;
    if (!target) {
        if (copy) GlobalFree(copy);
        throw Failure(E_OUTOFMEMORY, u"Out of memory for the logo picture.");
    }
    std::memcpy(target, bytes, size);
    GlobalUnlock(copy);
    Microsoft::WRL::ComPtr<IStream> stream;
    if (FAILED(CreateStreamOnHGlobal(copy, TRUE, &stream))) {
        GlobalFree(copy);
        throw Failure(E_OUTOFMEMORY, u"Out of memory for the logo picture.");
    }

    Microsoft::WRL::ComPtr<IPicture> picture;
    ThrowIfFailed(OleLoadPicture(stream.Get(), static_cast<LONG>(size), FALSE, IID_IPicture,
                                 reinterpret_cast<void**>(picture.GetAddressOf())),
                  u"Decoding the logo picture");
    return picture;
}

HBITMAP PictureBitmap(IPicture& picture) {
    SHORT type = PICTYPE_UNINITIALIZED;
    ThrowIfFailed(picture.get_Type(&type), u"Reading the logo picture's type");
    if (type != PICTYPE_BITMAP)
        throw Failure(E_UNEXPECTED, u"The logo picture did not decode to a bitmap.");
    OLE_HANDLE handle = 0;
    ThrowIfFailed(picture.get_Handle(&handle), u"Reading the logo picture's bitmap");
    return reinterpret_cast<HBITMAP>(static_cast<UINT_PTR>(handle));
}

Form::Form(const FormSpec& spec, TextView name) : spec_(spec), name_(name) {}

Form::~Form() { Destroy(); }

Text Form::WindowText(HWND window) {
    const int length = GetWindowTextLengthW(window);
    Text text(static_cast<std::size_t>(length) + 1, u'\0');
    const int copied = GetWindowTextW(window, reinterpret_cast<wchar_t*>(text.data()), length + 1);
    text.resize(static_cast<std::size_t>(copied > 0 ? copied : 0));
    return text;
}

void Form::SetControlText(HWND window, TextView text) {
    const Text terminated(text);
    if (!SetWindowTextW(window, Wide(terminated.c_str())))
        ThrowLastError(u"Setting the text of a control");
}

void Form::RegisterWindowClass() {
    const HINSTANCE module = ThisModule();
    WNDCLASSEXW existing{};
    existing.cbSize = sizeof existing;
    if (GetClassInfoExW(module, kWindowClass, &existing)) {
        if (existing.lpfnWndProc == &Form::WindowProc) return;
        // Left behind by an earlier load of this module at another address.
        UnregisterClassW(kWindowClass, module);
    }
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = &Form::WindowProc;
    wc.hInstance = module;
    wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    wc.lpszClassName = kWindowClass;
    if (!RegisterClassExW(&wc)) ThrowLastError(u"Registering the plug-in's window class");
}

void Form::RunModal() {
    if (open_) {
        throw Failure(status::kBusy, u"The " + name_ +
                                         u" window is already open; close it before asking "
                                         u"for it again.");
    }
    open_ = true;
    failure_ = nullptr;
    saved_focus_ = nullptr;
    previous_foreground_ = GetForegroundWindow();
    try {
        Create();
        OnLoad();
    } catch (...) {
        Destroy();
        open_ = false;
        throw;
    }

    ShowWindow(hwnd_, SW_SHOWNORMAL);
    SetForegroundWindow(hwnd_);
    if (HWND first = GetNextDlgTabItem(hwnd_, nullptr, FALSE)) SetFocus(first);

    bool quit = false;
    WPARAM quit_code = 0;
    MSG msg;
    while (hwnd_ && !failure_) {
        const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
        if (got == 0) {
            // The thread is being asked to end: give up the window, pass the request on.
            quit = true;
            quit_code = msg.wParam;
            break;
        }
        if (got == -1) {
            failure_ = std::make_exception_ptr(Failure(HRESULT_FROM_WIN32(GetLastError()),
                                                       u"Reading the window's messages failed."));
            break;
        }
        if (!IsDialogMessageW(hwnd_, &msg)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }

    Destroy();
    open_ = false;
    if (quit) PostQuitMessage(static_cast<int>(quit_code));
    if (failure_) std::rethrow_exception(std::exchange(failure_, nullptr));
}

void Form::Unload() {
    if (!hwnd_) return;
    GiveBackForeground();
    DestroyWindow(hwnd_);
}

void Form::Destroy() noexcept {
    if (hwnd_) {
        GiveBackForeground();
        DestroyWindow(hwnd_);
    }
    hwnd_ = nullptr;
    previous_foreground_ = nullptr;
    DeletePictureCopies();
    for (HFONT font : fonts_) DeleteObject(font);
    fonts_.clear();
    logo_bitmap_ = nullptr;
    logo_.Reset();
}

// The window has no owner to return to when it goes; the one that had the foreground
// when it opened gets it back, unless the user has gone elsewhere meanwhile.
void Form::GiveBackForeground() noexcept {
    HWND previous = std::exchange(previous_foreground_, nullptr);
    if (!previous || previous == hwnd_ || !IsWindow(previous)) return;
    if (GetForegroundWindow() == hwnd_) SetForegroundWindow(previous);
}

// comctl32 v6 shows a copy of a bitmap with alpha and leaves the copy to the owner.
void Form::CollectPictureCopies() {
    for (const ControlSpec& c : spec_.controls) {
        if (c.kind != ControlKind::kPicture) continue;
        const auto held =
            reinterpret_cast<HGDIOBJ>(SendMessageW(Control(c.id), STM_GETIMAGE, IMAGE_BITMAP, 0));
        if (held && held != logo_bitmap_) picture_copies_.push_back(held);
    }
}

void Form::DeletePictureCopies() noexcept {
    for (HGDIOBJ copy : picture_copies_) DeleteObject(copy);
    picture_copies_.clear();
}

void Form::Create() {
    RegisterWindowClass();
    const int dpi = ScreenDotsPerInch();

    // A fixed frame: caption and close box, no sizing border, no minimise or maximise.
    const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPSIBLINGS;
    DWORD ex_style = WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT;
    RECT frame{0, 0, TwipsToPixels(spec_.client_width, dpi),
               TwipsToPixels(spec_.client_height, dpi)};
    AdjustWindowRectEx(&frame, style, FALSE, ex_style);
    const int width = frame.right - frame.left;
    const int height = frame.bottom - frame.top;

    // No owner window, so nothing keeps it above the window the user was in: it opens
    // centred on that window's monitor, and above it even when that one is topmost.
    HWND foreground = previous_foreground_;
    const RECT work = WorkAreaFor(foreground);
    const int x = std::max(work.left, work.left + ((work.right - work.left) - width) / 2);
    const int y = std::max(work.top, work.top + ((work.bottom - work.top) - height) / 2);
    if (foreground && (GetWindowLongW(foreground, GWL_EXSTYLE) & WS_EX_TOPMOST))
        ex_style |= WS_EX_TOPMOST;

    if (!CreateWindowExW(ex_style, kWindowClass, spec_.caption, style, x, y, width, height, nullptr,
                         nullptr, ThisModule(), this)) {
        ThrowLastError(u"Creating the " + name_ + u" window");
    }
    CreateControls(dpi);
}

HFONT Form::FontFor(const FontSpec& spec, int dots_per_inch) {
    HFONT font = nullptr;
    if (spec.face) {
        font =
            CreateFontW(-MulDiv(spec.hundredths_of_point, dots_per_inch, 7200), 0, 0, 0, FW_NORMAL,
                        FALSE, FALSE, FALSE, ANSI_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                        DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, spec.face);
    } else {
        NONCLIENTMETRICSW metrics;
        if (ReadNonClientMetrics(metrics))
            font = CreateFontIndirectW(&metrics.lfMessageFont);
        else
            return static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    }
    if (!font) ThrowLastError(u"Creating a font for the " + name_ + u" window");
    fonts_.push_back(font);
    return font;
}

void Form::CreateControls(int dots_per_inch) {
    for (const ControlSpec& c : spec_.controls) {
        const wchar_t* window_class = L"STATIC";
        DWORD style = WS_CHILD | WS_VISIBLE | c.style;
        DWORD ex_style = 0;
        switch (c.kind) {
            case ControlKind::kLabel:
                style |= SS_NOPREFIX;
                break;
            case ControlKind::kPicture:
                style |= SS_BITMAP;
                break;
            case ControlKind::kListBox:
                window_class = L"LISTBOX";
                style |= WS_VSCROLL | WS_TABSTOP | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT;
                ex_style = WS_EX_CLIENTEDGE;
                break;
            case ControlKind::kPushButton:
                window_class = L"BUTTON";
                style |= WS_TABSTOP;
                break;
            case ControlKind::kTextBox:
                window_class = L"EDIT";
                style |= WS_TABSTOP | ES_AUTOHSCROLL;
                ex_style = WS_EX_CLIENTEDGE;
                break;
            case ControlKind::kOptionButton:
                window_class = L"BUTTON";
                style |= BS_AUTORADIOBUTTON;
                break;
        }
        const int x = TwipsToPixels(c.left, dots_per_inch);
        const int y = TwipsToPixels(c.top, dots_per_inch);
        const int width = TwipsToPixels(c.width, dots_per_inch);
        const int height = TwipsToPixels(c.height, dots_per_inch);
        HWND control = CreateWindowExW(
            ex_style, window_class, c.text ? Wide(c.text) : L"", style, x, y, width, height, hwnd_,
            reinterpret_cast<HMENU>(static_cast<INT_PTR>(c.id)), ThisModule(), nullptr);
        if (!control) ThrowLastError(u"Creating a control of the " + name_ + u" window");

        if (c.kind == ControlKind::kOptionButton) KeepClassicLook(control);
        if (c.kind == ControlKind::kPicture) {
            if (!logo_) {
                logo_ = LoadLogo();
                logo_bitmap_ = PictureBitmap(*logo_.Get());
            }
            HBITMAP bitmap = logo_bitmap_;
            SendMessageW(control, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(bitmap));
            // Never stretched: the control takes the picture's own size, centred in its
            // box (which is exactly the picture at 96 dpi).
            BITMAP size{};
            GetObjectW(bitmap, sizeof size, &size);
            SetWindowPos(control, nullptr, x + (width - size.bmWidth) / 2,
                         y + (height - size.bmHeight) / 2, size.bmWidth, size.bmHeight,
                         SWP_NOZORDER | SWP_NOACTIVATE);
        } else {
            SendMessageW(control, WM_SETFONT,
                         reinterpret_cast<WPARAM>(FontFor(c.font, dots_per_inch)), FALSE);
        }
    }
}

LRESULT Form::ColourControl(HDC dc, HWND control) {
    const int id = GetDlgCtrlID(control);
    for (const ControlSpec& c : spec_.controls) {
        if (c.id != id) continue;
        SetTextColor(dc, c.colour);
        SetBkColor(dc, kWhite);
        // A label erases with the window's own white: one that repaints by itself (at
        // the first Alt or Tab, WM_UPDATEUISTATE) would otherwise draw over its old text.
        if (c.kind == ControlKind::kLabel || c.kind == ControlKind::kPicture)
            SetBkMode(dc, TRANSPARENT);
        return reinterpret_cast<LRESULT>(GetStockObject(WHITE_BRUSH));
    }
    return 0;
}

LRESULT CALLBACK Form::WindowProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam) {
    Form* form = nullptr;
    if (message == WM_NCCREATE) {
        form = static_cast<Form*>(reinterpret_cast<CREATESTRUCTW*>(lparam)->lpCreateParams);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(form));
        form->hwnd_ = hwnd;
    } else {
        form = reinterpret_cast<Form*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    }
    if (!form) return DefWindowProcW(hwnd, message, wparam, lparam);

    // Nothing may leave a window procedure: an exception crossing USER32 ends the
    // process. A failing handler closes the window and RunModal throws it.
    try {
        return form->HandleMessage(message, wparam, lparam);
    } catch (...) {
        if (!form->failure_) form->failure_ = std::current_exception();
        WakeModalLoop();
        return 0;
    }
}

LRESULT Form::HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
        case WM_COMMAND: {
            const int id = LOWORD(wparam);
            if (id == IDCANCEL && !Control(IDCANCEL)) {
                // Esc: the same as the close box.
                OnCloseCommand();
            } else {
                OnCommand(id, HIWORD(wparam), reinterpret_cast<HWND>(lparam));
            }
            return 0;
        }
        case WM_CLOSE:
            OnCloseCommand();
            return 0;
        case DM_GETDEFID:
            // Lets IsDialogMessage put the default border back when the focus leaves a
            // push button for a control that is none.
            if (spec_.default_button) return MAKELONG(spec_.default_button, DC_HASDEFID);
            break;
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLOREDIT:
        case WM_CTLCOLORLISTBOX:
            if (LRESULT brush =
                    ColourControl(reinterpret_cast<HDC>(wparam), reinterpret_cast<HWND>(lparam)))
                return brush;
            break;
        case WM_ACTIVATE:
            // A plain window does not keep its focus over a switch to another window.
            if (LOWORD(wparam) == WA_INACTIVE) {
                HWND focus = GetFocus();
                if (focus && IsChild(hwnd_, focus)) saved_focus_ = focus;
            } else if (saved_focus_ && IsWindow(saved_focus_) && IsChild(hwnd_, saved_focus_)) {
                SetFocus(saved_focus_);
                return 0;
            }
            break;
        case WM_DESTROY:
            CollectPictureCopies();
            break;
        case WM_NCDESTROY:
            DeletePictureCopies();
            SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
            WakeModalLoop();
            {
                HWND gone = std::exchange(hwnd_, nullptr);
                return DefWindowProcW(gone, message, wparam, lparam);
            }
        default:
            break;
    }
    return DefWindowProcW(hwnd_, message, wparam, lparam);
}

}  // namespace tabulon
