#pragma once
// Browsers for tests and benchmarks that read pages through Active Accessibility:
// testbrowser.exe (whose scenario.h describes the scenario text) in a process of its
// own, as real browsers are.
#include <windows.h>

#include <string>
#include <string_view>
#include <vector>

namespace tabulon::testing {

// Milliseconds times TABULON_TIME_SCALE (a whole number, 1 when unset), for the time
// limits of tests that also run in an emulated machine.
DWORD ScaledMilliseconds(DWORD milliseconds);

// Starts testbrowser.exe with the scenario and waits (20 s, scaled) until its windows
// are up; a failure to start throws std::runtime_error (in a test, its failure). The
// destructor ends the process. It also lives in a job object that kills it when this
// process ends, so a crashed test leaves no stand-in behind.
class StandInBrowsers {
  public:
    explicit StandInBrowsers(std::string_view scenario);  // UTF-8 scenario text
    ~StandInBrowsers();
    StandInBrowsers(const StandInBrowsers&) = delete;
    StandInBrowsers& operator=(const StandInBrowsers&) = delete;

    DWORD ProcessId() const;
    HANDLE Process() const;
    // The process has ended (e.g. an `exit` element was read).
    bool Exited() const;
    // Waits up to milliseconds for the process to end; whether it did.
    bool WaitForExit(DWORD milliseconds) const;

    // The scenario's windows, top first (EnumWindows' order), hidden ones too; not the
    // windows the system adds to the process (IME).
    std::vector<HWND> Windows() const;
    // What one of those windows counted: the accessibility calls its tree has served,
    // and the elements it has; -1 when the window does not answer within 5 s.
    static long CallsServed(HWND window);
    static long Elements(HWND window);

    // What the stand-in did with a scenario it did not get ready with.
    struct Outcome {
        DWORD exit_code = 0;
        std::string error_output;  // its stderr
    };
    // Runs the stand-in on a scenario expected to be refused, until it ends (20 s,
    // scaled; then it is killed and the exit code is WAIT_TIMEOUT).
    static Outcome RunRefused(std::string_view scenario);

  private:
    struct Unwaited {};
    // Only starts the process.
    StandInBrowsers(std::string_view scenario, Unwaited);
    // Waits for the ready signal or the process's end; false when it did not get ready.
    bool WaitForReady(DWORD milliseconds) const;
    std::string Output() const;
    void Close() noexcept;

    HANDLE process_ = nullptr;
    HANDLE job_ = nullptr;
    HANDLE ready_ = nullptr;
    DWORD process_id_ = 0;
    std::wstring scenario_file_;
    std::wstring output_file_;
};

}  // namespace tabulon::testing
