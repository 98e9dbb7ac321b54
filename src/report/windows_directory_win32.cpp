#include "report/windows_directory_win32.h"

#include <cstdint>
#include <limits>
#include <string>

#include "common/com_error_win32.h"
#include "common/failure.h"

namespace tabulon {

namespace {

constexpr UINT kFirstBufferSize = 256;
// The directory could in principle grow between two queries; give up after a few.
constexpr int kAttempts = 4;

[[noreturn]] void ThrowConversionFailed() {
    const DWORD error = GetLastError();
    ThrowIfFailed(error ? HRESULT_FROM_WIN32(error) : E_FAIL,
                  u"Converting the Windows directory from the ANSI code page");
    throw Failure(status::kFail, u"Converting the Windows directory failed.");
}

}  // namespace

Text QueryWindowsDirectory() {
    return QueryWindowsDirectory(
        [](LPSTR buffer, UINT size) { return GetWindowsDirectoryA(buffer, size); }, CP_ACP);
}

Text QueryWindowsDirectory(const AnsiDirectoryQuery& query, UINT code_page) {
    std::string buffer(kFirstBufferSize, '\0');
    UINT length = 0;
    for (int attempt = 0;; ++attempt) {
        length = query(buffer.data(), static_cast<UINT>(buffer.size()));
        if (length < buffer.size()) break;
        // Too small: length is the size needed, terminator included.
        if (attempt + 1 == kAttempts)
            throw Failure(status::kFail, u"The Windows directory kept changing its length.");
        buffer.assign(length, '\0');
    }
    if (length == 0) return {};

    // The byte count is kept in a 16-bit counter.
    if (length > static_cast<UINT>(std::numeric_limits<std::int16_t>::max()))
        throw Failure(status::kOverflow, u"The Windows directory is longer than 32767 bytes.");

    const int bytes = static_cast<int>(length);
    const int chars = MultiByteToWideChar(code_page, 0, buffer.data(), bytes, nullptr, 0);
    if (chars <= 0) ThrowConversionFailed();
    Text directory(static_cast<std::size_t>(chars), u'\0');
    if (MultiByteToWideChar(code_page, 0, buffer.data(), bytes,
                            reinterpret_cast<LPWSTR>(directory.data()), chars) != chars)
        ThrowConversionFailed();
    return directory;
}

}  // namespace tabulon
