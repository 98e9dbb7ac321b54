#pragma once
// Stored texts quoted in failure descriptions: whatever the registry holds must not
// make the message unreadable, spoof its direction or run to megabytes.
#include <cstddef>

#include "common/text.h"

namespace tabulon {

inline constexpr std::size_t kShownTextLimit = 60;

// The text with control, format and lone surrogate characters written as \uXXXX,
// cut after `limit` characters (never inside a surrogate pair) with "..." appended.
Text ShownText(TextView text, std::size_t limit = kShownTextLimit);

}  // namespace tabulon
