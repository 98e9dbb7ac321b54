#pragma once
// Owning wrapper for an automation VARIANT.
#include <windows.h>
#include <oleauto.h>

namespace tabulon {

class Variant {
  public:
    Variant() noexcept { VariantInit(&value_); }
    Variant(const Variant&) = delete;
    Variant& operator=(const Variant&) = delete;
    Variant(Variant&& other) noexcept : value_(other.value_) { VariantInit(&other.value_); }
    Variant& operator=(Variant&& other) noexcept {
        if (this != &other) {
            VariantClear(&value_);
            value_ = other.value_;
            VariantInit(&other.value_);
        }
        return *this;
    }
    ~Variant() { VariantClear(&value_); }

    VARIANT* get() noexcept { return &value_; }
    const VARIANT* get() const noexcept { return &value_; }
    VARIANT* operator->() noexcept { return &value_; }
    // Clears the old value and hands out the slot for a callee to fill.
    VARIANT* put() noexcept {
        VariantClear(&value_);
        return &value_;
    }
    VARTYPE vt() const noexcept { return value_.vt; }

  private:
    VARIANT value_;
};

// A VT_I4 value, which needs no clearing: the form of Active Accessibility's child ids.
inline VARIANT LongVariant(LONG value) noexcept {
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_I4;
    v.lVal = value;
    return v;
}

}  // namespace tabulon
