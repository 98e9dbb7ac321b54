#pragma once
// The logo picture, from the module's resources, as the windows' picture controls
// show it.
#include <windows.h>
#include <ocidl.h>
#include <olectl.h>
#include <wrl/client.h>

#include <vector>

#include "common/unique_handle_win32.h"

namespace tabulon {

// The logo picture from the module's resources. The bitmap it hands out lives as
// long as the picture.
Microsoft::WRL::ComPtr<IPicture> LoadLogo();
HBITMAP PictureBitmap(IPicture& picture);

// A picture's OLE_HANDLE is 32 bits at both widths. GDI handles keep only 32
// significant bits, and 64-bit Windows widens them by sign extension: zero extension
// would turn a handle with its top bit set into one that names nothing.
inline HBITMAP BitmapOfPictureHandle(OLE_HANDLE handle) {
    return reinterpret_cast<HBITMAP>(static_cast<INT_PTR>(static_cast<LONG>(handle)));
}

// The logo of one window: loaded for its first picture control, kept while shown.
// comctl32 v6 may show a copy of the bitmap instead and leaves the copy to us.
class LogoImage {
  public:
    // Shows the logo in a picture control; returns the bitmap handed to it.
    HBITMAP ShowIn(HWND control);
    // Notes the copy a control shows in place of ours, before the control goes.
    void CollectCopyOf(HWND control);
    // Deletes the copies collected so far.
    void DeleteCopies() noexcept { copies_.clear(); }
    void Release() noexcept;

  private:
    Microsoft::WRL::ComPtr<IPicture> picture_;  // kept while its bitmap is shown
    HBITMAP bitmap_ = nullptr;                  // as handed to the picture controls
    std::vector<GdiObject> copies_;             // what they showed instead; ours to delete
};

}  // namespace tabulon
