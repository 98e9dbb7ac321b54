#include "ui/frm_about_win32.h"

#include "ui/about_texts.h"

namespace tabulon {

namespace {

// Tab order: OK, then the labels from top to bottom. Label5 reaches beyond the
// right edge of the client area, as the entries' spacing expects.
std::span<const ControlSpec> Controls() {
    static const Text visit = AboutVisitText();
    static const Text contacts = AboutContactText();
    static const ControlSpec controls[] = {
        {FrmAbout::kCmdOK, ControlKind::kPushButton, u"&OK", 1575, 4230, 1095, 390, kDefaultFont,
         kBlack, WS_GROUP | BS_DEFPUSHBUTTON},
        {FrmAbout::kLabel3, ControlKind::kLabel, kProductTitle.data(), 38, 1125, 4215, 345,
         kTahoma1425, kRed, WS_GROUP | SS_CENTER},
        {FrmAbout::kLabel1, ControlKind::kLabel, kAboutDescription.data(), 518, 1680, 3255, 780,
         kVerdana825, kBlue, WS_GROUP | SS_CENTER},
        {FrmAbout::kLabel2, ControlKind::kLabel, kAboutLogoCredit.data(), 878, 2445, 2535, 195,
         kVerdana825, kGreen, WS_GROUP},
        {FrmAbout::kLabel4, ControlKind::kLabel, visit.c_str(), 345, 2820, 3600, 465, kVerdana825,
         kRed, WS_GROUP},
        {FrmAbout::kLabel5, ControlKind::kLabel, contacts.c_str(), 540, 3465, 4065, 585,
         kVerdana675, kOrange, WS_GROUP},
        {FrmAbout::kImage1, ControlKind::kPicture, nullptr, 1260, 0, 1770, 1095, kDefaultFont,
         kBlack, WS_GROUP},
    };
    return controls;
}

const FormSpec& Spec() {
    static const FormSpec form{L"About Tabulon", 4245, 4785, Controls()};
    return form;
}

}  // namespace

FrmAbout& FrmAbout::ForThread() { return PerThread<FrmAbout>::Get(); }

FrmAbout::FrmAbout() : Form(Spec(), u"about") {}

void FrmAbout::ShowModal() { RunModal(); }

void FrmAbout::OnCommand(int id, int code, HWND) {
    if (id == kCmdOK && code == BN_CLICKED) Unload();
}

}  // namespace tabulon
