#pragma once
// Plays the user of a modal window: a second thread waits for the window by its
// caption, looks at its controls and presses, selects and types, while the test
// thread sits in the window's modal loop. Observations are plain data, checked on
// the test thread once the window has closed.
#include <windows.h>

#include <atomic>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "common/text.h"

namespace tabulon::testing_ui {

// A control as the user sees it; the rectangle is in the parent's client pixels.
struct ControlView {
    std::wstring window_class;
    Text text;
    RECT rect{};
    std::wstring font_face;
    LONG font_height = 0;
    bool font_plain = false;  // normal weight, no italic/underline/strike-out, DEFAULT_CHARSET
    bool enabled = false;
    bool visible = false;
    LONG style = 0;
};

ControlView ViewControl(HWND control);
SIZE ClientSize(HWND window);
HWND FocusOfThread(DWORD thread_id);
Text ListItem(HWND list, int index);
int ListCount(HWND list);

// The screen's resolution, as the windows lay themselves out by it.
int ScreenDpi();
// The resolution the test run was set up for (TABULON_EXPECT_DPI), 0 when not told.
int ExpectedDpi();
// The major Windows version the run was set up to report (TABULON_EXPECT_WINDOWS), 0
// when not told.
int ExpectedWindowsVersion();

// Where a layout in twips lands at dpi, rounded to the nearest pixel: each of left,
// top, width and height on its own, as a form places its controls.
LONG TwipsToPixels(int twips, int dpi);
RECT TwipsToPixels(int left, int top, int width, int height, int dpi);
// The LOGFONT height of a font of hundredths_of_point at dpi.
LONG FontHeight(int hundredths_of_point, int dpi);

// Waits up to timeout_ms for condition; true when it came.
bool WaitFor(const std::function<bool()>& condition, int timeout_ms = 5000);

// The GDI objects of this process. Wine answers 0 for GetGuiResources; then they are
// counted one by one.
DWORD GdiObjectCount();

// A control's client area as it paints itself (WM_PRINTCLIENT) on a canvas first
// filled with fill, one COLORREF a pixel.
struct Rendering {
    std::vector<COLORREF> pixels;
    int Count(COLORREF colour) const;
};
Rendering Render(HWND control, COLORREF fill);
// A window's client area as it erases it (WM_ERASEBKGND), on a canvas filled the same.
Rendering RenderBackground(HWND window, COLORREF fill);

// While it lives, windows this thread creates take their controls from comctl32 6.0,
// as in a host whose manifest asks for visual styles.
class CommonControls6 {
  public:
    CommonControls6();
    ~CommonControls6();
    CommonControls6(const CommonControls6&) = delete;
    CommonControls6& operator=(const CommonControls6&) = delete;
    bool active() const { return cookie_ != 0; }

  private:
    std::wstring manifest_;
    HANDLE context_ = INVALID_HANDLE_VALUE;
    ULONG_PTR cookie_ = 0;
};

class WindowDriver {
  public:
    // Starts waiting for a visible top-level window with the caption, then runs the
    // script with it. A window still open 5 s after the script is closed, so a
    // broken test fails instead of hanging.
    WindowDriver(std::wstring caption, std::function<void(HWND)> script);
    ~WindowDriver();
    WindowDriver(const WindowDriver&) = delete;
    WindowDriver& operator=(const WindowDriver&) = delete;

    // Waits for the thread; afterwards found() and left_open() are final.
    void Join();
    bool found() const { return found_; }
    bool left_open() const { return left_open_; }

  private:
    void Run();

    std::wstring caption_;
    std::function<void(HWND)> script_;
    std::atomic<bool> found_{false};
    std::atomic<bool> left_open_{false};
    std::thread thread_;
};

// A user's click, sent to the button's owner thread.
void Click(HWND button);
// Types into an edit box as a paste would: replaces its whole text.
void TypeText(HWND edit, TextView text);
// Selects a list item and tells the parent, as a mouse click does.
void SelectItem(HWND list, int index);
// Posts a key press (down and up) to the control, through the owner's message loop.
void PressKey(HWND control, UINT virtual_key);

}  // namespace tabulon::testing_ui
