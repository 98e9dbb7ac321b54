#pragma once
// The Windows directory as kernel32's ANSI query reports it, with no backslash added.
#include <windows.h>

#include <functional>

#include "common/text.h"

namespace tabulon {

// GetWindowsDirectoryA's contract: fills the buffer and returns the byte count
// without the terminator, the size needed (terminator included) when the buffer is
// too small, or 0 on failure.
using AnsiDirectoryQuery = std::function<UINT(LPSTR buffer, UINT size)>;

// A failed query (0) gives the empty text, not a Failure. A directory longer than
// the first 256-byte buffer is asked for again with a buffer big enough. Exactly
// the returned bytes are converted, so a double-byte code page gives the right
// characters.
Text QueryWindowsDirectory();
Text QueryWindowsDirectory(const AnsiDirectoryQuery& query, UINT code_page);

}  // namespace tabulon
