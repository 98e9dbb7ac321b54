#pragma once
// Handles that close themselves: one owner, moved, never copied.
#include <windows.h>

#include <utility>

namespace tabulon {

template <typename Handle, auto Close>
class UniqueHandle {
  public:
    UniqueHandle() = default;
    explicit UniqueHandle(Handle handle) noexcept : handle_(handle) {}
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    UniqueHandle(UniqueHandle&& other) noexcept : handle_(std::exchange(other.handle_, nullptr)) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept {
        Reset(std::exchange(other.handle_, nullptr));
        return *this;
    }
    ~UniqueHandle() { Reset(); }

    Handle get() const noexcept { return handle_; }
    // Closes the handle held and hands out the slot for a call that opens one.
    Handle* put() noexcept {
        Reset();
        return &handle_;
    }
    explicit operator bool() const noexcept { return handle_ != nullptr; }
    void Reset(Handle handle = nullptr) noexcept {
        if (handle_) Close(handle_);
        handle_ = handle;
    }

  private:
    Handle handle_ = nullptr;
};

using RegistryKey = UniqueHandle<HKEY, &RegCloseKey>;
using GdiObject = UniqueHandle<HGDIOBJ, &DeleteObject>;

}  // namespace tabulon
