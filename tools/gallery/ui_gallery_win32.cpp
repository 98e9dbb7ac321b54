// Opens the three windows one after another with sample content and saves a
// picture of each, frame included, as a 24-bit BMP file:
//   ui_gallery.exe OUTPUT_FOLDER SUFFIX [styles]
// writes picker-SUFFIX.bmp, options-SUFFIX.bmp and about-SUFFIX.bmp; with "styles",
// as a host with visual styles (comctl32 6.0) shows them. Meant for a
// display that can be read back (Wine's X11 driver on Xvfb); scripts/screenshots.sh
// runs it.
#include <windows.h>

#include <cstdio>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "common/failure.h"
#include "settings/registry_settings_store_win32.h"
#include "testshell/test_shell.h"
#include "ui/frm_about_win32.h"
#include "ui/frm_options_win32.h"
#include "ui/frm_web_win32.h"
#include "window_driver_win32.h"

namespace tabulon {
namespace {

namespace ts = testshell;

bool SaveBitmap(HDC dc, HBITMAP bitmap, int width, int height, const std::wstring& path) {
    BITMAPINFOHEADER header{};
    header.biSize = sizeof header;
    header.biWidth = width;
    header.biHeight = height;
    header.biPlanes = 1;
    header.biBitCount = 24;
    header.biCompression = BI_RGB;
    const DWORD stride = ((static_cast<DWORD>(width) * 3 + 3) / 4) * 4;
    std::vector<BYTE> pixels(stride * static_cast<DWORD>(height));
    if (!GetDIBits(dc, bitmap, 0, static_cast<UINT>(height), pixels.data(),
                   reinterpret_cast<BITMAPINFO*>(&header), DIB_RGB_COLORS))
        return false;

    BITMAPFILEHEADER file{};
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof file + sizeof header;
    file.bfSize = file.bfOffBits + static_cast<DWORD>(pixels.size());
    FILE* out = _wfopen(path.c_str(), L"wb");
    if (!out) return false;
    const bool ok = fwrite(&file, sizeof file, 1, out) == 1 &&
                    fwrite(&header, sizeof header, 1, out) == 1 &&
                    fwrite(pixels.data(), 1, pixels.size(), out) == pixels.size();
    return fclose(out) == 0 && ok;
}

// Copies the window as the screen shows it.
bool Capture(HWND window, const std::wstring& path) {
    RECT r{};
    GetWindowRect(window, &r);
    const int width = r.right - r.left;
    const int height = r.bottom - r.top;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
    HGDIOBJ old = SelectObject(memory, bitmap);
    const bool copied = BitBlt(memory, 0, 0, width, height, screen, r.left, r.top, SRCCOPY);
    SelectObject(memory, old);
    const bool saved = copied && SaveBitmap(memory, bitmap, width, height, path);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return saved;
}

int failures = 0;

// Shows one window; a second thread prepares it, waits for it to be drawn, saves
// its picture and closes it.
void Shoot(const wchar_t* caption, const std::wstring& path, const std::function<void()>& show,
           const std::function<void(HWND)>& prepare = {}) {
    testing_ui::WindowDriver driver(caption, [&](HWND window) {
        if (prepare) prepare(window);
        RedrawWindow(window, nullptr, nullptr,
                     RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
        Sleep(700);
        if (!Capture(window, path)) {
            fwprintf(stderr, L"ui_gallery: could not save %ls\n", path.c_str());
            ++failures;
        }
        PostMessageW(window, WM_CLOSE, 0, 0);
    });
    try {
        show();
    } catch (const Failure& f) {
        fprintf(stderr, "ui_gallery: %s\n", ToUtf8(f.description()).c_str());
        ++failures;
    }
    driver.Join();
    if (!driver.found()) {
        fwprintf(stderr, L"ui_gallery: the window \"%ls\" did not appear\n", caption);
        ++failures;
    }
}

ts::Window Site(TextView title, TextView address) {
    return ts::Window{ts::Value::Str(u"C:\\Program Files\\Internet Explorer"),
                      ts::Value::Str(title), ts::Value::Str(address)};
}

}  // namespace
}  // namespace tabulon

int wmain(int argc, wchar_t** argv) {
    using namespace tabulon;
    const bool styles = argc == 4 && std::wstring(argv[3]) == L"styles";
    if (argc != 3 && !styles) {
        fwprintf(stderr, L"usage: ui_gallery OUTPUT_FOLDER SUFFIX [styles]\n");
        return 2;
    }
    const std::wstring folder = argv[1];
    const std::wstring suffix = argv[2];
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return 2;
    {
        std::optional<testing_ui::CommonControls6> visual_styles;
        if (styles) visual_styles.emplace();
        ts::Registration shell;
        ts::Scenario scenario;
        scenario.windows = {Site(u"Tabulon - news and updates", u"http://www.quenlar.example/"),
                            Site(u"Weather for the week", u"http://weather.example/week"),
                            Site(u"Search results", u"http://search.example/?q=tabs")};
        ts::SetScenario(scenario);

        RegistrySettingsStore store;
        store.Write(u"Show", u"2");
        store.Write(u"Before", u"I'm currently browsing:");
        store.Write(u"After", u"");

        Shoot(
            L"Tabulon", folder + L"\\picker-" + suffix + L".bmp",
            [] { FrmWeb::ForThread().ShowModal(); },
            [](HWND w) { testing_ui::SelectItem(GetDlgItem(w, FrmWeb::kList1), 1); });
        Shoot(L"Tabulon Options", folder + L"\\options-" + suffix + L".bmp",
              [] { FrmOptions::ForThread().ShowModal(); });
        Shoot(L"About Tabulon", folder + L"\\about-" + suffix + L".bmp",
              [] { FrmAbout::ForThread().ShowModal(); });
    }
    CoUninitialize();
    return failures ? 1 : 0;
}
