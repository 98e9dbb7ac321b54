#include "common/module_lock_win32.h"

namespace tabulon {

namespace {
LONG g_lockCount = 0;
LONG g_serverLocks = 0;
LONG g_pinned = 0;
}  // namespace

void ModuleAddRef() noexcept { InterlockedIncrement(&g_lockCount); }
void ModuleRelease() noexcept { InterlockedDecrement(&g_lockCount); }
LONG ModuleLockCount() noexcept { return InterlockedCompareExchange(&g_lockCount, 0, 0); }

void LockServer() noexcept {
    InterlockedIncrement(&g_serverLocks);
    ModuleAddRef();
}

bool UnlockServer() noexcept {
    for (LONG locks = InterlockedCompareExchange(&g_serverLocks, 0, 0); locks > 0;) {
        const LONG seen = InterlockedCompareExchange(&g_serverLocks, locks - 1, locks);
        if (seen == locks) {
            ModuleRelease();
            return true;
        }
        locks = seen;
    }
    return false;
}

HMODULE ThisModule() noexcept {
    HMODULE module = nullptr;
    GetModuleHandleExW(
        GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
        reinterpret_cast<LPCWSTR>(&ThisModule), &module);
    return module;
}

void PinThisModule() noexcept {
    if (InterlockedExchange(&g_pinned, 1) != 0) return;
    HMODULE module = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_PIN,
                       reinterpret_cast<LPCWSTR>(&PinThisModule), &module);
}

}  // namespace tabulon
