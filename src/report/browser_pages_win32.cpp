#include "report/browser_pages_win32.h"

#include <atomic>
#include <mutex>
#include <new>
#include <optional>
#include <utility>

#include "common/failure.h"
#include "common/module_lock_win32.h"
#include "common/spin_lock_win32.h"
#include "report/ie_mode_page_win32.h"
#include "report/msaa_element_win32.h"

namespace tabulon {

using Microsoft::WRL::ComPtr;

namespace {

// What the caller and the worker share; whichever lets go last frees it.
struct Harvest {
    Harvest(std::vector<BrowserWindow> browser_windows, const BrowserPageReading& how)
        : windows(std::move(browser_windows)), reading(how) {}
    Harvest(const Harvest&) = delete;
    Harvest& operator=(const Harvest&) = delete;
    ~Harvest() {
        if (finished) CloseHandle(finished);
    }
    void Release() {
        if (InterlockedDecrement(&references) == 0) delete this;
    }

    LONG references = 2;
    const std::vector<BrowserWindow> windows;
    const BrowserPageReading reading;
    HANDLE finished = nullptr;  // set by the worker as it ends
    HMODULE module = nullptr;   // the worker's own reference to this DLL
    std::atomic<bool> abandoned{false};
    SpinLock lock;                   // held only to add a page or take them all
    std::vector<BrowserPage> pages;  // under lock
};

// The page of a tab in Internet Explorer mode, or the window's tree, if it hands one
// over in time, and the page read from it.
std::optional<BrowserPage> ReadWindow(const BrowserWindow& window, const Harvest& harvest) {
    if (window.family == BrowserFamily::kChromium)
        if (std::optional<BrowserPage> page =
                ReadInternetExplorerModePage(window.handle, harvest.reading.answer_timeout_ms))
            return page;
    DWORD_PTR answer = 0;
    if (!SendMessageTimeoutW(window.handle, WM_GETOBJECT, 0, static_cast<LPARAM>(OBJID_CLIENT),
                             SMTO_ABORTIFHUNG, harvest.reading.answer_timeout_ms, &answer) ||
        answer == 0)
        return std::nullopt;
    ComPtr<IAccessible> root;
    if (FAILED(ObjectFromLresult(static_cast<LRESULT>(answer), __uuidof(IAccessible), 0,
                                 reinterpret_cast<void**>(root.GetAddressOf()))) ||
        !root)
        return std::nullopt;
    MsaaTree tree{harvest.abandoned};
    MsaaElement element(std::move(root), CHILDID_SELF, tree);
    return FindBrowserPage(element, window.family, window.title, harvest.reading.limits);
}

void ReadWindows(Harvest& harvest) {
    const HRESULT com = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    try {
        for (const BrowserWindow& window : harvest.windows) {
            if (harvest.abandoned.load()) break;
            std::optional<BrowserPage> page;
            try {
                page = ReadWindow(window, harvest);
            } catch (const Failure&) {
                // The window's root could not be read at all: no browser to report.
            }
            if (!page) continue;
            const std::lock_guard<SpinLock> locked(harvest.lock);
            harvest.pages.push_back(std::move(*page));
        }
    } catch (...) {
        // Abandoned, or out of memory: the pages found so far stand.
    }
    if (SUCCEEDED(com)) CoUninitialize();
}

DWORD WINAPI Work(void* parameter) {
    Harvest& harvest = *static_cast<Harvest*>(parameter);
    const HMODULE module = harvest.module;
    ReadWindows(harvest);
    SetEvent(harvest.finished);
    harvest.Release();
    ModuleRelease();
    FreeLibraryAndExitThread(module, 0);
}

// Waits for the event up to the deadline. Messages that other threads send to this
// one are answered, so that nobody waiting on the host's windows deadlocks; input and
// posted messages wait until the command returns, so that no second command can start
// inside this one.
void WaitAnsweringSentMessages(HANDLE event, DWORD deadline_ms) {
    const DWORD start = GetTickCount();
    for (;;) {
        const DWORD elapsed = GetTickCount() - start;
        if (elapsed >= deadline_ms) return;
        const DWORD woken =
            MsgWaitForMultipleObjects(1, &event, FALSE, deadline_ms - elapsed, QS_SENDMESSAGE);
        if (woken != WAIT_OBJECT_0 + 1) return;  // finished, timed out or failed
        MSG message;
        PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    }
}

}  // namespace

std::vector<BrowserPage> ReadBrowserPages(std::vector<BrowserWindow> windows,
                                          const BrowserPageReading& reading) {
    if (windows.empty()) return {};
    Harvest* harvest = nullptr;
    try {
        harvest = new Harvest(std::move(windows), reading);
    } catch (const std::bad_alloc&) {
        return {};
    }
    harvest->finished = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (!harvest->finished ||
        !GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                            reinterpret_cast<LPCWSTR>(&Work), &harvest->module)) {
        delete harvest;
        return {};
    }
    ModuleAddRef();
    const HANDLE worker = CreateThread(nullptr, 0, &Work, harvest, 0, nullptr);
    if (!worker) {
        ModuleRelease();
        FreeLibrary(harvest->module);
        delete harvest;
        return {};
    }
    CloseHandle(worker);

    WaitAnsweringSentMessages(harvest->finished, reading.deadline_ms);
    std::vector<BrowserPage> pages;
    {
        const std::lock_guard<SpinLock> locked(harvest->lock);
        harvest->abandoned.store(true);
        pages.swap(harvest->pages);
    }
    harvest->Release();
    return pages;
}

std::vector<BrowserPage> ReadOpenBrowserPages() {
    try {
        return ReadBrowserPages(ListBrowserWindows());
    } catch (const std::bad_alloc&) {
        return {};
    }
}

}  // namespace tabulon
