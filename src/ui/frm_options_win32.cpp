#include "ui/frm_options_win32.h"

#include "settings/registry_settings_store_win32.h"
#include "ui/about_texts.h"

namespace tabulon {

namespace {

constexpr DWORD kFirst = WS_GROUP;

// Tab order: OK, the three options, Before, After. Each box's label comes just before
// it, as screen readers name a box after the control in front of it.
const ControlSpec kControls[] = {
    {FrmOptions::kCmdOK, ControlKind::kPushButton, u"&OK", 1725, 4005, 870, 315, kDefaultFont,
     kBlack, kFirst | BS_DEFPUSHBUTTON},
    {FrmOptions::kOptShow0, ControlKind::kOptionButton, u"Show Just Website Title", 945, 2340, 2475,
     270, kVerdana825, kBlue, kFirst | WS_TABSTOP},
    {FrmOptions::kOptShow0 + 1, ControlKind::kOptionButton, u"Show Just Website URL", 945, 2700,
     2490, 270, kVerdana825, kBlue, 0},
    {FrmOptions::kOptShow0 + 2, ControlKind::kOptionButton, u"Show Both Title and URL", 945, 3075,
     2670, 270, kVerdana825, kBlue, 0},
    {FrmOptions::kLabel1, ControlKind::kLabel, u"Text Before:", 105, 1860, 1110, 270, kVerdana825,
     kRed, kFirst},
    {FrmOptions::kTxtBefore, ControlKind::kTextBox, u"I'm Currently Browsing", 1230, 1830, 2985,
     300, kVerdana675, kGreen, kFirst | ES_CENTER},
    {FrmOptions::kLabel2, ControlKind::kLabel, u"Text After:", 120, 3585, 1110, 270, kVerdana825,
     kRed, kFirst},
    {FrmOptions::kTxtAfter, ControlKind::kTextBox, u"", 1245, 3555, 2985, 300, kVerdana675, kGreen,
     kFirst | ES_CENTER},
    {FrmOptions::kLabel3, ControlKind::kLabel, kProductTitle.data(), 60, 1155, 4215, 345,
     kTahoma1425, kRed, kFirst | SS_CENTER},
    {FrmOptions::kImage1, ControlKind::kPicture, nullptr, 1320, 30, 1770, 1095, kDefaultFont,
     kBlack, kFirst},
};

const FormSpec kForm{L"Tabulon Options", 4320, 4455, kControls};

}  // namespace

FrmOptions& FrmOptions::ForThread() { return PerThread<FrmOptions>::Get(); }

FrmOptions::FrmOptions() : Form(kForm, u"options") {}

void FrmOptions::ShowModal() { RunModal(); }

void FrmOptions::OnLoad() {
    RegistrySettingsStore store;
    const OptionsContent content = LoadOptions(store);
    CheckRadioButton(Window(), kOptShow0, kOptShow0 + static_cast<int>(kOptionCount) - 1,
                     kOptShow0 + static_cast<int>(content.option));
    SetControlText(Control(kTxtBefore), content.before);
    SetControlText(Control(kTxtAfter), content.after);
}

void FrmOptions::OnCommand(int id, int code, HWND) {
    if (id != kCmdOK || code != BN_CLICKED) return;
    std::array<bool, kOptionCount> selected{};
    for (std::size_t i = 0; i < kOptionCount; ++i)
        selected[i] = IsDlgButtonChecked(Window(), kOptShow0 + static_cast<int>(i)) == BST_CHECKED;
    RegistrySettingsStore store;
    save_.Save(store, selected, WindowText(Control(kTxtBefore)), WindowText(Control(kTxtAfter)));
    Unload();
}

}  // namespace tabulon
