#pragma once
// A lock that needs no initialisation and nothing newer than Windows XP (slim
// reader/writer locks arrived with Vista, and a critical section would need a
// start-up hook). It guards one-time loads and pointer swaps, so it is almost
// never contended: a waiter yields its time slice instead of blocking.
#include <windows.h>

namespace tabulon {

class SpinLock {
  public:
    void lock() noexcept {
        while (InterlockedExchange(&held_, 1) != 0) SwitchToThread();
    }
    void unlock() noexcept { InterlockedExchange(&held_, 0); }

  private:
    LONG held_ = 0;
};

}  // namespace tabulon
