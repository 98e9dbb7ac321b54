#pragma once
// Runs a clean-up when the scope ends, however it ends.
#include <utility>

namespace tabulon {

template <typename F>
class ScopeExit {
  public:
    explicit ScopeExit(F f) : f_(std::move(f)) {}
    ScopeExit(const ScopeExit&) = delete;
    ScopeExit& operator=(const ScopeExit&) = delete;
    ~ScopeExit() { f_(); }

  private:
    F f_;
};

}  // namespace tabulon
