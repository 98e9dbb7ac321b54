#pragma once
// Owning wrapper for an automation string. A NULL BSTR is the empty string.
#include <windows.h>
#include <oleauto.h>

#include <utility>

#include "common/failure.h"
#include "common/text.h"

namespace tabulon {

class Bstr {
  public:
    Bstr() = default;
    explicit Bstr(TextView text) : value_(Allocate(text)) {}
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;
    Bstr(Bstr&& other) noexcept : value_(other.Release()) {}
    Bstr& operator=(Bstr&& other) noexcept {
        Reset(other.Release());
        return *this;
    }
    ~Bstr() { SysFreeString(value_); }

    // Takes ownership of a string that the callee allocated.
    static Bstr Attach(BSTR value) {
        Bstr b;
        b.value_ = value;
        return b;
    }

    BSTR get() const noexcept { return value_; }
    BSTR* put() noexcept {
        Reset();
        return &value_;
    }
    BSTR Release() noexcept { return std::exchange(value_, nullptr); }
    void Reset(BSTR value = nullptr) noexcept { SysFreeString(std::exchange(value_, value)); }

    TextView view() const noexcept { return View(value_); }
    Text text() const { return Text(view()); }

    // The text of any BSTR, by its counted length (never by a terminator).
    static TextView View(BSTR value) noexcept {
        return value ? TextView(reinterpret_cast<const char16_t*>(value), SysStringLen(value))
                     : TextView();
    }

    static BSTR Allocate(TextView text) {
        if (text.size() > 0x7FFFFFF0u / sizeof(OLECHAR))
            throw Failure(status::kOutOfMemory, u"The text is too long for an automation string.");
        BSTR b = SysAllocStringLen(reinterpret_cast<const OLECHAR*>(text.data()),
                                   static_cast<UINT>(text.size()));
        if (!b) throw Failure(status::kOutOfMemory, u"Out of memory for an automation string.");
        return b;
    }

  private:
    BSTR value_ = nullptr;
};

// Replaces an in/out string: the new one is made first (so a failure leaves the
// caller's string as it was), then the old one is freed.
inline void ReplaceBstr(BSTR* target, TextView text) {
    BSTR fresh = Bstr::Allocate(text);
    SysFreeString(*target);
    *target = fresh;
}

}  // namespace tabulon
