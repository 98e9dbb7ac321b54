#pragma once
// What a window of the plug-in is made of: its caption, its client size and its
// controls, in twips, with their fonts and colours.
#include <windows.h>

#include <span>

namespace tabulon {

enum class ControlKind { kLabel, kListBox, kPushButton, kTextBox, kOptionButton, kPicture };

// The ids of the controls that the options and about windows both have: an OK button,
// labels and the logo. Public, for tests that drive the windows.
struct DialogControlIds {
    static constexpr int kCmdOK = IDOK;
    static constexpr int kLabel1 = 131;
    static constexpr int kLabel2 = 132;
    static constexpr int kLabel3 = 133;
    static constexpr int kLabel4 = 134;
    static constexpr int kLabel5 = 135;
    static constexpr int kImage1 = 140;
};

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
    int client_width, client_height;        // twips
    std::span<const ControlSpec> controls;  // the default push button has BS_DEFPUSHBUTTON
};

}  // namespace tabulon
