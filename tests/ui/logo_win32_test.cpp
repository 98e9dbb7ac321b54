// The logo's bitmap handle as the picture object hands it over.
#include <gtest/gtest.h>

#include "ui/logo_win32.h"

namespace {

TEST(LogoTest, PictureHandlesWidenAsWindowsWidensGdiHandles) {
    // A handle whose top bit is set names, in a 64-bit process, the sign-extended value.
    const OLE_HANDLE high = 0x80A01234u;
    const auto expected = sizeof(void*) == 8 ? static_cast<UINT_PTR>(0xFFFFFFFF80A01234ull)
                                             : static_cast<UINT_PTR>(0x80A01234u);
    EXPECT_EQ(reinterpret_cast<UINT_PTR>(tabulon::BitmapOfPictureHandle(high)), expected);
    EXPECT_EQ(reinterpret_cast<UINT_PTR>(tabulon::BitmapOfPictureHandle(0x0A01234u)), 0x0A01234u);

    // The real logo: its handle is a bitmap GDI knows.
    const auto picture = tabulon::LoadLogo();
    ASSERT_TRUE(picture);
    BITMAP size{};
    EXPECT_EQ(GetObjectW(tabulon::PictureBitmap(*picture.Get()), sizeof size, &size),
              static_cast<int>(sizeof size));
    EXPECT_GT(size.bmWidth, 0);
}

}  // namespace
