#include "testbrowser/stand_in_browsers_win32.h"

#include <atomic>
#include <cstdlib>
#include <stdexcept>

namespace tabulon::testing {

namespace {

std::wstring TempFile() {
    wchar_t folder[MAX_PATH + 1];
    wchar_t path[MAX_PATH + 1];
    if (!GetTempPathW(MAX_PATH + 1, folder) || !GetTempFileNameW(folder, L"tsb", 0, path))
        throw std::runtime_error("no temporary file for the stand-in browsers");
    return path;
}

void WriteFile(const std::wstring& path, std::string_view text) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    const bool ok =
        file != INVALID_HANDLE_VALUE &&
        ::WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) &&
        written == text.size();
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
    if (!ok) throw std::runtime_error("cannot write the stand-in browsers' scenario");
}

std::string Failure(std::string_view what, DWORD error = GetLastError()) {
    return std::string(what) + " (error " + std::to_string(error) + ")";
}

[[noreturn]] void Fail(const std::string& message) { throw std::runtime_error(message); }

struct WindowSearch {
    DWORD process_id;
    std::vector<HWND> found;
};

BOOL CALLBACK CollectWindow(HWND hwnd, LPARAM lparam) {
    auto* search = reinterpret_cast<WindowSearch*>(lparam);
    DWORD owner = 0;
    GetWindowThreadProcessId(hwnd, &owner);
    // Only the scenario's windows: not the IME windows of its threads.
    if (owner == search->process_id && GetPropW(hwnd, L"TabulonTestBrowser"))
        search->found.push_back(hwnd);
    return TRUE;
}

}  // namespace

DWORD ScaledMilliseconds(DWORD milliseconds) {
    static const DWORD scale = [] {
        const char* text = std::getenv("TABULON_TIME_SCALE");
        char* end = nullptr;
        const long value = text ? std::strtol(text, &end, 10) : 1;
        return text && (*end || value < 1 || value > 1000) ? 1ul : static_cast<DWORD>(value);
    }();
    return milliseconds * scale;
}

StandInBrowsers::StandInBrowsers(std::string_view scenario)
    : StandInBrowsers(scenario, Unwaited{}) {
    if (WaitForReady(ScaledMilliseconds(20000))) return;
    DWORD code = STILL_ACTIVE;
    GetExitCodeProcess(process_, &code);
    std::string message = code == STILL_ACTIVE ? "testbrowser.exe did not get ready in time"
                                               : "testbrowser.exe ended with exit code " +
                                                     std::to_string(code) + ": " + Output();
    Close();
    Fail(message);
}

StandInBrowsers::StandInBrowsers(std::string_view scenario, Unwaited) {
    static std::atomic<unsigned> started{0};
    try {
        scenario_file_ = TempFile();
        output_file_ = TempFile();
        WriteFile(scenario_file_, scenario);
    } catch (const std::runtime_error& e) {
        Close();
        Fail(e.what());
    }
    const std::wstring event_name = L"TabulonStandInReady-" +
                                    std::to_wstring(GetCurrentProcessId()) + L"-" +
                                    std::to_wstring(++started);
    ready_ = CreateEventW(nullptr, TRUE, FALSE, event_name.c_str());
    // Killed with this process's last handle, however this process ends.
    job_ = CreateJobObjectW(nullptr, nullptr);
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    if (!ready_ || !job_ ||
        !SetInformationJobObject(job_, JobObjectExtendedLimitInformation, &limits, sizeof limits)) {
        const std::string message = Failure("cannot make the stand-in's event or job");
        Close();
        Fail(message);
    }

    SECURITY_ATTRIBUTES inherited{sizeof inherited, nullptr, TRUE};
    HANDLE output = CreateFileW(output_file_.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherited,
                                CREATE_ALWAYS, 0, nullptr);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = nullptr;
    startup.hStdOutput = output;
    startup.hStdError = output;
    const std::wstring exe = TABULON_TESTBROWSER_EXE;
    std::wstring command = L"\"" + exe + L"\" \"" + scenario_file_ + L"\" " + event_name;
    PROCESS_INFORMATION info{};
    const bool created = output != INVALID_HANDLE_VALUE &&
                         CreateProcessW(exe.c_str(), command.data(), nullptr, nullptr, TRUE,
                                        CREATE_SUSPENDED, nullptr, nullptr, &startup, &info);
    const DWORD error = GetLastError();
    if (output != INVALID_HANDLE_VALUE) CloseHandle(output);
    if (!created) {
        const std::string message = Failure("cannot start testbrowser.exe", error);
        Close();
        Fail(message);
    }
    process_ = info.hProcess;
    process_id_ = info.dwProcessId;
    // Outside the job it still runs; only a crashed test could leave it behind.
    AssignProcessToJobObject(job_, process_);
    ResumeThread(info.hThread);
    CloseHandle(info.hThread);
}

StandInBrowsers::~StandInBrowsers() { Close(); }

void StandInBrowsers::Close() noexcept {
    if (process_) {
        TerminateProcess(process_, 1);
        WaitForSingleObject(process_, ScaledMilliseconds(10000));
        CloseHandle(process_);
        process_ = nullptr;
    }
    if (job_) CloseHandle(job_);
    if (ready_) CloseHandle(ready_);
    job_ = ready_ = nullptr;
    for (std::wstring* file : {&scenario_file_, &output_file_})
        if (!file->empty()) {
            DeleteFileW(file->c_str());
            file->clear();
        }
}

bool StandInBrowsers::WaitForReady(DWORD milliseconds) const {
    const HANDLE handles[] = {ready_, process_};
    return WaitForMultipleObjects(2, handles, FALSE, milliseconds) == WAIT_OBJECT_0;
}

std::string StandInBrowsers::Output() const {
    std::string text;
    HANDLE file =
        CreateFileW(output_file_.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                    OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return text;
    char buffer[4096];
    DWORD read = 0;
    while (text.size() < 65536 && ReadFile(file, buffer, sizeof buffer, &read, nullptr) && read)
        text.append(buffer, read);
    CloseHandle(file);
    return text;
}

DWORD StandInBrowsers::ProcessId() const { return process_id_; }

HANDLE StandInBrowsers::Process() const { return process_; }

bool StandInBrowsers::Exited() const { return WaitForExit(0); }

bool StandInBrowsers::WaitForExit(DWORD milliseconds) const {
    return WaitForSingleObject(process_, milliseconds) == WAIT_OBJECT_0;
}

std::vector<HWND> StandInBrowsers::Windows() const {
    WindowSearch search{process_id_, {}};
    EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

namespace {
long AskCount(HWND window, WPARAM what) {
    static const UINT message = RegisterWindowMessageW(L"TabulonTestBrowserCount");
    DWORD_PTR answer = 0;
    if (!message || !SendMessageTimeoutW(window, message, what, 0, SMTO_ABORTIFHUNG,
                                         ScaledMilliseconds(5000), &answer))
        return -1;
    return static_cast<long>(answer);
}
}  // namespace

long StandInBrowsers::CallsServed(HWND window) { return AskCount(window, 0); }

long StandInBrowsers::Elements(HWND window) { return AskCount(window, 1); }

StandInBrowsers::Outcome StandInBrowsers::RunRefused(std::string_view scenario) {
    StandInBrowsers browsers(scenario, Unwaited{});
    Outcome outcome;
    if (browsers.WaitForReady(ScaledMilliseconds(20000))) {
        outcome.exit_code = STILL_ACTIVE;
        outcome.error_output = "testbrowser.exe accepted the scenario";
    } else if (!browsers.WaitForExit(0)) {
        outcome.exit_code = WAIT_TIMEOUT;
    } else {
        GetExitCodeProcess(browsers.process_, &outcome.exit_code);
        outcome.error_output = browsers.Output();
    }
    return outcome;
}

}  // namespace tabulon::testing
