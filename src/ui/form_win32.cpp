#include "ui/form_win32.h"

#include <cstddef>
#include <utility>

#include "common/com_error_win32.h"
#include "common/failure.h"

namespace tabulon {

namespace {

constexpr wchar_t kWindowClass[] = L"TabulonForm";

const wchar_t* Wide(const char16_t* text) { return reinterpret_cast<const wchar_t*>(text); }

// The modal loop checks its window after each message it takes. When the window
// goes while a message sent from another thread is handled, GetMessage would go on
// waiting; a posted no-op lets it look again.
void WakeModalLoop() { PostThreadMessageW(GetCurrentThreadId(), WM_NULL, 0, 0); }

// The push button Enter presses: the one declared with BS_DEFPUSHBUTTON, or none (0).
int DefaultButton(const FormSpec& spec) {
    for (const ControlSpec& c : spec.controls)
        if (c.kind == ControlKind::kPushButton && (c.style & BS_DEFPUSHBUTTON)) return c.id;
    return 0;
}

}  // namespace

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
    const Placement placement = PlacementBeside(GetForegroundWindow(), GetActiveWindow());
    previous_foreground_ = placement.give_back;
    try {
        Create(placement);
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

void Form::Unload() noexcept {
    if (!hwnd_) return;
    GiveForegroundBack(std::exchange(previous_foreground_, nullptr), hwnd_);
    DestroyWindow(hwnd_);
}

void Form::Destroy() noexcept {
    Unload();
    hwnd_ = nullptr;
    previous_foreground_ = nullptr;
    fonts_.Clear();
    logo_.Release();
}

// comctl32 v6 shows a copy of a bitmap with alpha and leaves the copy to the owner.
void Form::CollectPictureCopies() {
    for (const ControlSpec& c : spec_.controls)
        if (c.kind == ControlKind::kPicture) logo_.CollectCopyOf(Control(c.id));
}

void Form::Create(const Placement& placement) {
    RegisterWindowClass();
    const int dpi = ScreenDotsPerInch();
    high_contrast_ = HighContrastOn();

    // A fixed frame: caption and close box, no sizing border, no minimise or maximise.
    const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_CLIPSIBLINGS;
    DWORD ex_style = WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT;
    const SIZE client{TwipsToPixels(spec_.client_width, dpi),
                      TwipsToPixels(spec_.client_height, dpi)};
    RECT frame{0, 0, client.cx, client.cy};
    AdjustWindowRectEx(&frame, style, FALSE, ex_style);
    const int width = frame.right - frame.left;
    const int height = frame.bottom - frame.top;

    // No owner window, so nothing keeps it above the window the user was in: it opens
    // centred on that window's monitor, and above it even when that one is topmost.
    const POINT corner = CentredBeside(placement.beside, width, height);
    if (placement.topmost) ex_style |= WS_EX_TOPMOST;

    if (!CreateWindowExW(ex_style, kWindowClass, spec_.caption, style, corner.x, corner.y, width,
                         height, nullptr, nullptr, ThisModule(), this)) {
        ThrowLastError(u"Creating the " + name_ + u" window");
    }
    // The frame drawn can differ from what AdjustWindowRectEx predicts (Wine 10, when
    // it reports Windows XP, draws one six pixels shorter): the layout needs the
    // client area.
    RECT made{};
    GetClientRect(hwnd_, &made);
    const int dx = client.cx - made.right;
    const int dy = client.cy - made.bottom;
    if (dx != 0 || dy != 0) {
        SetWindowPos(hwnd_, nullptr, corner.x - dx / 2, corner.y - dy / 2, width + dx, height + dy,
                     SWP_NOZORDER | SWP_NOACTIVATE);
    }
    CreateControls(dpi);
}

void Form::CreateControls(int dots_per_inch) {
    for (const ControlSpec& c : spec_.controls) {
        const ControlWindowStyle made = StyleOf(c);
        const int x = TwipsToPixels(c.left, dots_per_inch);
        const int y = TwipsToPixels(c.top, dots_per_inch);
        const int width = TwipsToPixels(c.width, dots_per_inch);
        const int height = TwipsToPixels(c.height, dots_per_inch);
        HWND control = CreateWindowExW(made.ex_style, made.window_class,
                                       c.text ? Wide(c.text) : L"", made.style, x, y, width, height,
                                       hwnd_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(c.id)),
                                       ThisModule(), nullptr);
        if (!control) ThrowLastError(u"Creating a control of the " + name_ + u" window");

        if (c.kind == ControlKind::kOptionButton && !high_contrast_) SetClassicLook(control, true);
        if (c.kind == ControlKind::kPicture) {
            const HBITMAP bitmap = logo_.ShowIn(control);
            // Never stretched: the control takes the picture's own size, centred in its
            // box (which is exactly the picture at 96 dpi).
            BITMAP size{};
            GetObjectW(bitmap, sizeof size, &size);
            SetWindowPos(control, nullptr, x + (width - size.bmWidth) / 2,
                         y + (height - size.bmHeight) / 2, size.bmWidth, size.bmHeight,
                         SWP_NOZORDER | SWP_NOACTIVATE);
        } else {
            SendMessageW(control, WM_SETFONT,
                         reinterpret_cast<WPARAM>(fonts_.For(c.font, dots_per_inch, name_)), FALSE);
        }
    }
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
            if (const int button = DefaultButton(spec_)) return MAKELONG(button, DC_HASDEFID);
            break;
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLOREDIT:
        case WM_CTLCOLORLISTBOX:
            if (LRESULT brush =
                    ColourControl(reinterpret_cast<HDC>(wparam), reinterpret_cast<HWND>(lparam)))
                return brush;
            break;
        case WM_ERASEBKGND:
            if (EraseInSystemColours(reinterpret_cast<HDC>(wparam))) return 1;
            break;
        case WM_SYSCOLORCHANGE:
            FollowSystemColours();
            break;
        case WM_SETTINGCHANGE:
            if (wparam == SPI_SETHIGHCONTRAST) FollowSystemColours();
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
            logo_.DeleteCopies();
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
