#include "autopilot_win32.h"

#include <cstdio>
#include <string>
#include <vector>

#include "common/text.h"

namespace tabulon::host {

namespace {

std::wstring TextOf(HWND window) {
    std::wstring text(static_cast<size_t>(GetWindowTextLengthW(window)) + 1, L'\0');
    text.resize(GetWindowTextW(window, text.data(), static_cast<int>(text.size())));
    return text;
}

std::wstring ClassOf(HWND window) {
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    return name;
}

void Say(const std::wstring& line) {
    const std::string utf8 =
        ToUtf8(TextView(reinterpret_cast<const char16_t*>(line.data()), line.size()));
    std::printf("    [user] %s\n", utf8.c_str());
    std::fflush(stdout);
}

BOOL CALLBACK CollectChild(HWND child, LPARAM list) {
    reinterpret_cast<std::vector<HWND>*>(list)->push_back(child);
    return TRUE;
}

std::vector<HWND> Children(HWND window) {
    std::vector<HWND> children;
    EnumChildWindows(window, CollectChild, reinterpret_cast<LPARAM>(&children));
    return children;
}

HWND ButtonWithText(HWND window, const wchar_t* text) {
    for (HWND child : Children(window))
        if (ClassOf(child) == L"Button" && TextOf(child) == text) return child;
    return nullptr;
}

// Once shown: a window exists while its load still fills it.
HWND OwnWindow(const wchar_t* caption) {
    HWND found = FindWindowW(nullptr, caption);
    DWORD process = 0;
    if (found) GetWindowThreadProcessId(found, &process);
    return process == GetCurrentProcessId() && IsWindowVisible(found) ? found : nullptr;
}

void AnswerPicker(HWND window, int pick) {
    HWND list = nullptr;
    for (HWND child : Children(window))
        if (ClassOf(child) == L"ListBox") list = child;
    if (!list) return;
    const int count = static_cast<int>(SendMessageW(list, LB_GETCOUNT, 0, 0));
    Say(L"the picker lists " + std::to_wstring(count) + L" item(s):");
    for (int i = 0; i < count; ++i) {
        std::wstring item(static_cast<size_t>(SendMessageW(list, LB_GETTEXTLEN, i, 0)) + 1, L'\0');
        item.resize(SendMessageW(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(item.data())));
        Say(L"  " + std::to_wstring(i + 1) + L". " + item);
    }
    HWND button = ButtonWithText(window, L"Cancel");
    if (!button && count > 0) {
        const int choice = pick < count ? pick : 0;
        Say(L"clicks item " + std::to_wstring(choice + 1) + L" and presses Send");
        SendMessageW(list, LB_SETCURSEL, choice, 0);
        SendMessageW(window, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(list), LBN_SELCHANGE),
                     reinterpret_cast<LPARAM>(list));
        button = ButtonWithText(window, L"&Send");
    } else {
        Say(L"presses Cancel");
    }
    if (button) SendMessageW(button, BM_CLICK, 0, 0);
}

void AnswerDialog(HWND window) {
    Say(L"sees \"" + TextOf(window) + L"\":");
    for (HWND child : Children(window)) {
        const std::wstring kind = ClassOf(child);
        const std::wstring text = TextOf(child);
        if (text.empty() || (kind == L"Button" && text == L"&OK")) continue;
        std::wstring line = L"  " + text;
        if (kind == L"Button" && SendMessageW(child, BM_GETCHECK, 0, 0) == BST_CHECKED)
            line = L"  (*) " + text;
        else if (kind == L"Button")
            line = L"  ( ) " + text;
        else if (kind == L"Edit")
            line = L"  [" + text + L"]";
        Say(line);
    }
    Say(L"presses OK");
    if (HWND ok = ButtonWithText(window, L"&OK")) SendMessageW(ok, BM_CLICK, 0, 0);
}

}  // namespace

Autopilot::Autopilot(int pick) : pick_(pick), thread_([this] { Run(); }) {}

Autopilot::~Autopilot() {
    stop_ = true;
    thread_.join();
}

void Autopilot::Run() {
    while (!stop_) {
        if (HWND picker = OwnWindow(L"Tabulon")) {
            Sleep(100);  // let the load finish filling the list
            AnswerPicker(picker, pick_);
        } else if (HWND options = OwnWindow(L"Tabulon Options")) {
            Sleep(100);
            AnswerDialog(options);
        } else if (HWND about = OwnWindow(L"About Tabulon")) {
            Sleep(100);
            AnswerDialog(about);
        }
        Sleep(50);
    }
}

}  // namespace tabulon::host
