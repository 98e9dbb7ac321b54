#pragma once
// The about dialog (frmAbout): name, version, description, credits and contacts.
#include "common/per_thread.h"
#include "ui/form_win32.h"

namespace tabulon {

class FrmAbout : private Form, public DialogControlIds {
  public:
    // The dialog of this thread, made on first need; it outlives its window.
    static FrmAbout& ForThread();

    // Opens the dialog with no owner window and returns when it has closed; throws a
    // kBusy Failure when it is already open on this thread.
    void ShowModal();

  private:
    friend class PerThread<FrmAbout>;
    FrmAbout();
    void OnCommand(int id, int code, HWND control) override;
};

}  // namespace tabulon
