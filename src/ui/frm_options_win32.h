#pragma once
// The options dialog (frmOptions): edits "Show", "Before" and "After"; OK saves all
// three, closing it any other way saves nothing.
#include "common/per_thread.h"
#include "ui/form_win32.h"
#include "ui/options_state.h"

namespace tabulon {

class FrmOptions : private Form, public DialogControlIds {
  public:
    // The dialog of this thread, made on first need; it outlives its window.
    static FrmOptions& ForThread();

    // Opens the dialog with no owner window and returns when it has closed. Throws
    // the load's Failure (a "Show" with no option button, for one; the dialog is then
    // not offered), a failed save, or a kBusy Failure when it is already open.
    void ShowModal();

    // Its own controls' ids, for tests that drive the window.
    static constexpr int kOptShow0 = 110;  // + index
    static constexpr int kTxtBefore = 120;
    static constexpr int kTxtAfter = 121;

  private:
    friend class PerThread<FrmOptions>;
    FrmOptions();
    void OnLoad() override;
    void OnCommand(int id, int code, HWND control) override;

    OptionsSave save_;  // nShow and sShow while saving
};

}  // namespace tabulon
