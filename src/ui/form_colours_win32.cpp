// The form's colours: the product's own (black or coloured text on white), or under
// high contrast the ones the user chose for windows, switched as the setting changes.
#include "ui/form_colours_win32.h"

#include <uxtheme.h>

#include <atomic>

#include "ui/form_win32.h"

namespace tabulon {

namespace {
constexpr COLORREF kWhite = RGB(0xFF, 0xFF, 0xFF);
std::atomic<HighContrastQuery> g_high_contrast_query{&SystemHighContrastOn};
}  // namespace

// Only comctl32 v6 themes controls, and it has uxtheme.dll
// loaded by then; looked up at run time, so a system without it still loads the DLL.
// A blank name matches no theme class; Windows takes an empty one too, Wine does not.
// Two nulls drop the names again.
// The pointer's type is the header's own, calling convention included: a hand-written
// one that drops WINAPI still works on x86 only by luck of the frame pointer.
void SetClassicLook(HWND control, bool classic) {
    HMODULE uxtheme = GetModuleHandleW(L"uxtheme.dll");
    if (!uxtheme) return;
    const auto set_window_theme = reinterpret_cast<decltype(&::SetWindowTheme)>(
        reinterpret_cast<void*>(GetProcAddress(uxtheme, "SetWindowTheme")));
    if (!set_window_theme) return;
    if (classic)
        set_window_theme(control, L" ", L" ");
    else
        set_window_theme(control, nullptr, nullptr);
}

bool SystemHighContrastOn() {
    HIGHCONTRASTW setting{};
    setting.cbSize = sizeof setting;
    return SystemParametersInfoW(SPI_GETHIGHCONTRAST, sizeof setting, &setting, 0) &&
           (setting.dwFlags & HCF_HIGHCONTRASTON);
}

void SetHighContrastQueryForTests(HighContrastQuery query) {
    g_high_contrast_query = query ? query : &SystemHighContrastOn;
}

bool HighContrastOn() { return g_high_contrast_query.load()(); }

// Under high contrast, text and background take the colours the user chose for
// windows, whatever the product's own are.
LRESULT Form::ColourControl(HDC dc, HWND control) {
    const int id = GetDlgCtrlID(control);
    for (const ControlSpec& c : spec_.controls) {
        if (c.id != id) continue;
        SetTextColor(dc, high_contrast_ ? GetSysColor(COLOR_WINDOWTEXT) : c.colour);
        SetBkColor(dc, high_contrast_ ? GetSysColor(COLOR_WINDOW) : kWhite);
        // A label erases with the window's own background: one that repaints by itself
        // (at the first Alt or Tab, WM_UPDATEUISTATE) would otherwise draw over its old
        // text.
        if (c.kind == ControlKind::kLabel || c.kind == ControlKind::kPicture)
            SetBkMode(dc, TRANSPARENT);
        return reinterpret_cast<LRESULT>(high_contrast_ ? GetSysColorBrush(COLOR_WINDOW)
                                                        : GetStockObject(WHITE_BRUSH));
    }
    return 0;
}

// The class's white brush is shared by every window of the class; under high contrast
// this one erases itself.
bool Form::EraseInSystemColours(HDC dc) {
    if (!high_contrast_) return false;
    RECT client{};
    GetClientRect(hwnd_, &client);
    FillRect(dc, &client, GetSysColorBrush(COLOR_WINDOW));
    return true;
}

// High contrast comes and goes with a change of the system's colours. Option buttons
// take the system's look under it. The controls are told of the change by nobody
// else; they and the window repaint.
void Form::FollowSystemColours() {
    const bool high_contrast = HighContrastOn();
    if (high_contrast != high_contrast_) {
        high_contrast_ = high_contrast;
        for (const ControlSpec& c : spec_.controls)
            if (c.kind == ControlKind::kOptionButton) SetClassicLook(Control(c.id), !high_contrast);
    }
    for (HWND child = GetWindow(hwnd_, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        SendMessageW(child, WM_SYSCOLORCHANGE, 0, 0);
    RedrawWindow(hwnd_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

}  // namespace tabulon
