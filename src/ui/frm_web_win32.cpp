#include "ui/frm_web_win32.h"

#include "common/failure.h"
#include "report/windows_directory_win32.h"
#include "settings/registry_settings_store_win32.h"

namespace tabulon {

namespace {

// The label comes just before the list: screen readers name a box after it.
const ControlSpec kControls[] = {
    {FrmWeb::kLabel1, ControlKind::kLabel, u"Click on the Website and Click Send", 135, 195, 6915,
     255, kVerdana825, kBlue, SS_CENTER | WS_GROUP},
    {FrmWeb::kList1, ControlKind::kListBox, nullptr, 120, 660, 6990, 1140, kVerdana675, kGreen,
     WS_GROUP},
    {FrmWeb::kCmdSend, ControlKind::kPushButton, u"&Send", 3615, 1980, 1005, 360, kDefaultFont,
     kBlack, WS_GROUP | WS_DISABLED | BS_DEFPUSHBUTTON},
};

const FormSpec kForm{L"Tabulon", 7230, 2520, kControls};

std::optional<std::size_t> SelectedIndex(HWND list) {
    const LRESULT index = SendMessageW(list, LB_GETCURSEL, 0, 0);
    if (index == LB_ERR) return std::nullopt;
    return static_cast<std::size_t>(index);
}

}  // namespace

FrmWeb& FrmWeb::ForThread() { return PerThread<FrmWeb>::Get(); }

void FrmWeb::ReleaseShellOfThread() noexcept {
    FrmWeb* picker = PerThread<FrmWeb>::Find();
    if (picker && !picker->IsOpen()) picker->discovery_.oShell.Reset();
}

FrmWeb::FrmWeb()
    : Form(kForm, u"website picker"),
      sPickedText(state_.sPickedText),
      discovery_([this] { return GetWinDir(); }) {}

Text FrmWeb::GetWinDir() { return QueryWindowsDirectory(); }

void FrmWeb::ShowModal() { RunModal(); }

void FrmWeb::OnLoad() {
    state_.Reset();
    // Reaching the shell comes first, so a missing shell fails before any setting is read.
    discovery_.OpenWindowCollection();
    RegistrySettingsStore store;
    state_.Load(store, discovery_);
    ShowState();
}

void FrmWeb::ShowState() {
    HWND list = Control(kList1);
    for (const Text& item : state_.items()) {
        const LRESULT added =
            SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item.c_str()));
        if (added == LB_ERR || added == LB_ERRSPACE)
            throw Failure(status::kOutOfMemory, u"The website list has no room for another site.");
    }
    HWND button = Control(kCmdSend);
    if (WindowText(button) != state_.buttonCaption())
        SetControlText(button, state_.buttonCaption());
    EnableWindow(button, state_.buttonEnabled());
}

void FrmWeb::OnCommand(int id, int code, HWND) {
    if (id == kList1 && code == LBN_SELCHANGE) {
        state_.Select(SelectedIndex(Control(kList1)));
        EnableWindow(Control(kCmdSend), state_.buttonEnabled());
    } else if (id == kCmdSend && code == BN_CLICKED) {
        HWND button = Control(kCmdSend);
        if (!IsWindowEnabled(button)) return;
        if (state_.Press(WindowText(button), SelectedIndex(Control(kList1)))) Unload();
    }
}

}  // namespace tabulon
