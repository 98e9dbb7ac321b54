#pragma once
// An open registry key, closed when it goes out of scope.
#include <windows.h>

#include <utility>

namespace tabulon {

class RegistryKey {
  public:
    RegistryKey() = default;
    RegistryKey(const RegistryKey&) = delete;
    RegistryKey& operator=(const RegistryKey&) = delete;
    RegistryKey(RegistryKey&& other) noexcept : key_(std::exchange(other.key_, nullptr)) {}
    RegistryKey& operator=(RegistryKey&& other) noexcept {
        Reset(std::exchange(other.key_, nullptr));
        return *this;
    }
    ~RegistryKey() { Reset(); }

    HKEY get() const noexcept { return key_; }
    // Closes the key held and hands out the slot for a call that opens one.
    HKEY* put() noexcept {
        Reset();
        return &key_;
    }
    explicit operator bool() const noexcept { return key_ != nullptr; }
    void Reset(HKEY key = nullptr) noexcept {
        if (key_) RegCloseKey(key_);
        key_ = key;
    }

  private:
    HKEY key_ = nullptr;
};

}  // namespace tabulon
