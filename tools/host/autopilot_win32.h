#pragma once
// A stand-in for the user at the keyboard, for runs without anyone watching: it
// waits for the plug-in's windows on a thread of its own, reports what they show,
// and answers them (the picker: picks a page and presses Send; the dialogs: OK).
#include <windows.h>

#include <atomic>
#include <thread>

namespace tabulon::host {

class Autopilot {
  public:
    // pick: the list item the user chooses in the picker (0-based).
    explicit Autopilot(int pick);
    ~Autopilot();
    Autopilot(const Autopilot&) = delete;
    Autopilot& operator=(const Autopilot&) = delete;

  private:
    void Run();

    int pick_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

}  // namespace tabulon::host
