#include "common/module_lock_win32.h"

namespace tabulon {

namespace {
LONG g_lockCount = 0;
}

void ModuleAddRef() noexcept { InterlockedIncrement(&g_lockCount); }
void ModuleRelease() noexcept { InterlockedDecrement(&g_lockCount); }
LONG ModuleLockCount() noexcept { return InterlockedCompareExchange(&g_lockCount, 0, 0); }

HMODULE ThisModule() noexcept {
    HMODULE module = nullptr;
    GetModuleHandleExW(
        GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
        reinterpret_cast<LPCWSTR>(&ThisModule), &module);
    return module;
}

}  // namespace tabulon
