#pragma once
// The about dialog (frmAbout): name, version, description, credits and contacts.
#include "common/per_thread.h"
#include "ui/form_win32.h"

namespace tabulon {

class FrmAbout : private Form {
  public:
    // The dialog of this thread, made on first need; it outlives its window.
    static FrmAbout& ForThread();

    // Opens the dialog with no owner window and returns when it has closed; throws a
    // kBusy Failure when it is already open on this thread.
    void ShowModal();

    // Control ids, for tests that drive the window.
    static constexpr int kCmdOK = IDOK;
    static constexpr int kLabel1 = 131;
    static constexpr int kLabel2 = 132;
    static constexpr int kLabel3 = 133;
    static constexpr int kLabel4 = 134;
    static constexpr int kLabel5 = 135;
    static constexpr int kImage1 = 140;

  private:
    friend class PerThread<FrmAbout>;
    FrmAbout();
    void OnCommand(int id, int code, HWND control) override;
};

}  // namespace tabulon
