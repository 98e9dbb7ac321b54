#include "ui/logo_win32.h"

#include <cstring>

#include "common/com_error_win32.h"
#include "common/failure.h"
#include "common/module_lock_win32.h"
#include "ui/resource_ids.h"

namespace tabulon {

Microsoft::WRL::ComPtr<IPicture> LoadLogo() {
    const HINSTANCE module = ThisModule();
    HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(IDR_LOGO), MAKEINTRESOURCEW(10));
    if (!found) ThrowLastError(u"Finding the logo picture in the component's resources");
    HGLOBAL loaded = LoadResource(module, found);
    const void* bytes = loaded ? LockResource(loaded) : nullptr;
    const DWORD size = SizeofResource(module, found);
    if (!bytes || size == 0) ThrowLastError(u"Loading the logo picture's resource");

    // A stream on a global copy: with SHCreateMemStream the process grew by the
    // logo's size at every opening under Wine.
    HGLOBAL copy = GlobalAlloc(GMEM_MOVEABLE, size);
    void* target = copy ? GlobalLock(copy) : nullptr;
    if (!target) {
        if (copy) GlobalFree(copy);
        throw Failure(E_OUTOFMEMORY, u"Out of memory for the logo picture.");
    }
    std::memcpy(target, bytes, size);
    GlobalUnlock(copy);
    Microsoft::WRL::ComPtr<IStream> stream;
    if (FAILED(CreateStreamOnHGlobal(copy, TRUE, &stream))) {
        GlobalFree(copy);
        throw Failure(E_OUTOFMEMORY, u"Out of memory for the logo picture.");
    }

    Microsoft::WRL::ComPtr<IPicture> picture;
    ThrowIfFailed(OleLoadPicture(stream.Get(), static_cast<LONG>(size), FALSE, IID_IPicture,
                                 reinterpret_cast<void**>(picture.GetAddressOf())),
                  u"Decoding the logo picture");
    return picture;
}

HBITMAP PictureBitmap(IPicture& picture) {
    SHORT type = PICTYPE_UNINITIALIZED;
    ThrowIfFailed(picture.get_Type(&type), u"Reading the logo picture's type");
    if (type != PICTYPE_BITMAP)
        throw Failure(E_UNEXPECTED, u"The logo picture did not decode to a bitmap.");
    OLE_HANDLE handle = 0;
    ThrowIfFailed(picture.get_Handle(&handle), u"Reading the logo picture's bitmap");
    return BitmapOfPictureHandle(handle);
}

HBITMAP LogoImage::ShowIn(HWND control) {
    if (!picture_) {
        picture_ = LoadLogo();
        bitmap_ = PictureBitmap(*picture_.Get());
    }
    SendMessageW(control, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(bitmap_));
    return bitmap_;
}

void LogoImage::CollectCopyOf(HWND control) {
    const auto held =
        reinterpret_cast<HGDIOBJ>(SendMessageW(control, STM_GETIMAGE, IMAGE_BITMAP, 0));
    if (held && held != bitmap_) copies_.emplace_back(held);
}

void LogoImage::Release() noexcept {
    DeleteCopies();
    bitmap_ = nullptr;
    picture_.Reset();
}

}  // namespace tabulon
