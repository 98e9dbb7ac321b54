#pragma once
// The website picker (frmWeb): lists the open browser pages and leaves the report
// text of the one the user picks in sPickedText.
#include "report/browser_discovery_win32.h"
#include "common/per_thread.h"
#include "ui/form_win32.h"
#include "ui/picker_state.h"

namespace tabulon {

class FrmWeb : private Form {
  public:
    // The picker of this thread, made on first need; it outlives its window.
    static FrmWeb& ForThread();

    // Lets go of this thread's picker's shell object, unless the picker is open; the
    // next load makes a new one. For when the DLL may unload, which would leak it.
    static void ReleaseShellOfThread() noexcept;

    // Opens the picker with no owner window and returns when it has closed. Throws
    // the load's Failure (the window is then not offered), or a kBusy Failure when
    // the picker is already open on this thread.
    void ShowModal();

    // The Windows directory, as the plugin object's GetWinDir reports it.
    Text GetWinDir();

    // The report text of the last pick; empty after Cancel. Closing the window any
    // other way leaves it as it was.
    Text& sPickedText;

    // Control ids, for tests that drive the window.
    static constexpr int kLabel1 = 101;
    static constexpr int kList1 = 102;
    static constexpr int kCmdSend = IDOK;  // Enter presses it while it is enabled

  private:
    friend class PerThread<FrmWeb>;
    FrmWeb();
    void OnLoad() override;
    void OnCommand(int id, int code, HWND control) override;
    void ShowState();

    PickerState state_;
    BrowserDiscovery discovery_;  // the picker's own oShell, oWindow, sPath, sWinDir
};

}  // namespace tabulon
