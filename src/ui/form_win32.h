#pragma once
// A fixed-size top-level window built from standard controls, laid out in twips at
// the screen's real resolution, and shown modally with its own message loop.
// The three windows of the plug-in derive from Form.
#include <windows.h>
#include <ocidl.h>
#include <olectl.h>
#include <wrl/client.h>

#include <exception>
#include <span>
#include <vector>

#include "common/module_lock_win32.h"
#include "common/text.h"

namespace tabulon {

enum class ControlKind { kLabel, kListBox, kPushButton, kTextBox, kOptionButton, kPicture };

// A font face and size; a null face is the platform's default (message) font.
struct FontSpec {
    const wchar_t* face = nullptr;
    int hundredths_of_point = 0;
};

inline constexpr FontSpec kDefaultFont{};
inline constexpr FontSpec kVerdana825{L"Verdana", 825};
inline constexpr FontSpec kVerdana675{L"Verdana", 675};
inline constexpr FontSpec kTahoma1425{L"Tahoma", 1425};

inline constexpr COLORREF kRed = RGB(0xFF, 0x00, 0x00);
inline constexpr COLORREF kGreen = RGB(0x00, 0xC0, 0x00);
inline constexpr COLORREF kBlue = RGB(0x00, 0x00, 0xFF);
inline constexpr COLORREF kOrange = RGB(0xFF, 0x80, 0x00);
inline constexpr COLORREF kBlack = RGB(0x00, 0x00, 0x00);

// One control. Rectangles are in twips of the client area. Controls are listed in
// tab order; the first one that can take the focus has it when the window opens.
struct ControlSpec {
    int id;
    ControlKind kind;
    const char16_t* text;
    int left, top, width, height;
    FontSpec font;
    COLORREF colour;
    DWORD style;  // kind-specific extras: SS_CENTER, ES_CENTER, WS_GROUP, WS_DISABLED...
};

struct FormSpec {
    const wchar_t* caption;
    int client_width, client_height;  // twips
    std::span<const ControlSpec> controls;
    int default_button;  // the push button Enter presses, as DM_GETDEFID reports it
};

// Twips to pixels at dots_per_inch (15 twips a pixel at 96), rounded.
int TwipsToPixels(int twips, int dots_per_inch);

// The vertical resolution of the screen, as fonts and layouts use it.
int ScreenDotsPerInch();

// The cbSize that SPI_GETNONCLIENTMETRICS accepts on Windows of that major version:
// XP refuses the member Vista added, whatever the headers' structure holds.
UINT NonClientMetricsSize(DWORD os_major_version);
// The running system's non-client metrics (its message font among them).
bool ReadNonClientMetrics(NONCLIENTMETRICSW& metrics);

// The logo picture from the module's resources. The bitmap it hands out lives as
// long as the picture.
Microsoft::WRL::ComPtr<IPicture> LoadLogo();
HBITMAP PictureBitmap(IPicture& picture);

class Form {
  public:
    Form(const Form&) = delete;
    Form& operator=(const Form&) = delete;

  protected:
    Form(const FormSpec& spec, TextView name);
    virtual ~Form();

    // Builds the window and its controls, runs OnLoad, shows the window in front of
    // the one that had the foreground, centred on that one's monitor, and runs its
    // message loop until it is gone; the foreground then goes back. A failure of the
    // load, or of any handler while the window was shown, is thrown from here. Throws
    // a kBusy Failure when this window is already open on this thread.
    void RunModal();

    // Handlers, all called inside the window procedure's exception barrier (OnLoad
    // before the window is shown). The default close command just unloads.
    virtual void OnLoad() {}
    virtual void OnCommand(int id, int code, HWND control) = 0;
    virtual void OnCloseCommand() { Unload(); }

    // Closes and destroys the window; the object stays.
    void Unload();

    HWND Window() const { return hwnd_; }
    HWND Control(int id) const { return GetDlgItem(hwnd_, id); }
    bool IsOpen() const { return open_; }

    static Text WindowText(HWND window);
    static void SetControlText(HWND window, TextView text);

  private:
    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
    LRESULT HandleMessage(UINT message, WPARAM wparam, LPARAM lparam);
    LRESULT ColourControl(HDC dc, HWND control);
    void Create();
    void GiveBackForeground() noexcept;
    void CollectPictureCopies();
    void DeletePictureCopies() noexcept;
    void CreateControls(int dots_per_inch);
    HFONT FontFor(const FontSpec& spec, int dots_per_inch);
    static void RegisterWindowClass();
    void Destroy() noexcept;

    const FormSpec& spec_;
    Text name_;
    HWND hwnd_ = nullptr;
    bool open_ = false;
    std::vector<HFONT> fonts_;
    Microsoft::WRL::ComPtr<IPicture> logo_;  // kept while its bitmap is shown
    HBITMAP logo_bitmap_ = nullptr;          // as handed to the picture controls
    std::vector<HGDIOBJ> picture_copies_;    // what they showed instead; ours to delete
    HWND saved_focus_ = nullptr;
    HWND previous_foreground_ = nullptr;  // the window to give the foreground back to
    std::exception_ptr failure_;
};

}  // namespace tabulon
