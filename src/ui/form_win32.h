#pragma once
// A fixed-size top-level window built from standard controls, laid out in twips at
// the screen's real resolution, and shown modally with its own message loop.
// The three windows of the plug-in derive from Form.
#include <windows.h>

#include <exception>

#include "common/module_lock_win32.h"
#include "common/text.h"
#include "ui/form_colours_win32.h"
#include "ui/form_layout_win32.h"
#include "ui/form_spec_win32.h"
#include "ui/logo_win32.h"

namespace tabulon {

class Form {
  public:
    Form(const Form&) = delete;
    Form& operator=(const Form&) = delete;

  protected:
    Form(const FormSpec& spec, TextView name);
    virtual ~Form();

    // Builds the window and its controls, runs OnLoad, shows the window in front of
    // the one that had the foreground, centred on that one's monitor, and runs its
    // message loop until it is gone; the foreground then goes back. Another program's
    // foreground window is left alone (PlacementBeside). A failure of the load, or of
    // any handler while the window was shown, is thrown from here. Throws a kBusy
    // Failure when this window is already open on this thread.
    void RunModal();

    // Handlers, all called inside the window procedure's exception barrier (OnLoad
    // before the window is shown). The default close command just unloads.
    virtual void OnLoad() {}
    virtual void OnCommand(int id, int code, HWND control) = 0;
    virtual void OnCloseCommand() { Unload(); }

    // Closes and destroys the window; the object stays.
    void Unload() noexcept;

    HWND Window() const { return hwnd_; }
    HWND Control(int id) const { return GetDlgItem(hwnd_, id); }
    bool IsOpen() const { return open_; }

    static Text WindowText(HWND window);
    static void SetControlText(HWND window, TextView text);

  private:
    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wparam, LPARAM lparam);
    LRESULT HandleMessage(UINT message, WPARAM wparam, LPARAM lparam);
    LRESULT ColourControl(HDC dc, HWND control);
    bool EraseInSystemColours(HDC dc);
    void FollowSystemColours();
    void Create(const Placement& placement);
    void CollectPictureCopies();
    void CreateControls(int dots_per_inch);
    static void RegisterWindowClass();
    void Destroy() noexcept;

    const FormSpec& spec_;
    Text name_;
    HWND hwnd_ = nullptr;
    bool open_ = false;
    FormFonts fonts_;
    LogoImage logo_;
    HWND saved_focus_ = nullptr;
    bool high_contrast_ = false;          // the system's colours instead of the product's
    HWND previous_foreground_ = nullptr;  // the window to give the foreground back to
    std::exception_ptr failure_;
};

}  // namespace tabulon
