#pragma once
// The one exception type of the plug-in. Everything that can go wrong inside an
// operation throws a Failure; the COM boundary turns it into an HRESULT with
// IErrorInfo, so nothing else ever reaches the host.
#include <cstdint>
#include <exception>

#include "common/text.h"

namespace tabulon {

// HRESULT values, spelled out so that the portable core needs no Windows headers.
namespace status {
inline constexpr std::int32_t kFail = static_cast<std::int32_t>(0x80004005);     // E_FAIL
inline constexpr std::int32_t kPointer = static_cast<std::int32_t>(0x80004003);  // E_POINTER
inline constexpr std::int32_t kOutOfMemory =
    static_cast<std::int32_t>(0x8007000E);                                          // E_OUTOFMEMORY
inline constexpr std::int32_t kInvalidArg = static_cast<std::int32_t>(0x80070057);  // E_INVALIDARG
inline constexpr std::int32_t kTypeMismatch =
    static_cast<std::int32_t>(0x80020005);  // DISP_E_TYPEMISMATCH
inline constexpr std::int32_t kOverflow = static_cast<std::int32_t>(0x8002000A);  // DISP_E_OVERFLOW
// A window that the plug-in needs is already open on this thread.
inline constexpr std::int32_t kBusy = static_cast<std::int32_t>(0x800700AA);  // ERROR_BUSY
}  // namespace status

class Failure : public std::exception {
  public:
    Failure(std::int32_t code, Text description)
        : code_(code), description_(std::move(description)) {}

    std::int32_t code() const noexcept { return code_; }
    const Text& description() const noexcept { return description_; }
    const char* what() const noexcept override { return "tabulon::Failure"; }

  private:
    std::int32_t code_;
    Text description_;
};

}  // namespace tabulon
