#pragma once
// What keeps TB.dll loaded: live plugin objects, live class factories and
// IClassFactory::LockServer locks. DllCanUnloadNow answers from this count.
#include <windows.h>

namespace tabulon {

void ModuleAddRef() noexcept;
void ModuleRelease() noexcept;
LONG ModuleLockCount() noexcept;

// IClassFactory::LockServer. An unlock without a lock to match is refused
// (false): counting it would let DllCanUnloadNow answer S_OK while objects live.
void LockServer() noexcept;
bool UnlockServer() noexcept;

// This DLL's own handle (or the program's, when the glue is linked into a test).
HMODULE ThisModule() noexcept;

// Keeps this DLL in the process until it ends, whatever FreeLibrary calls follow.
// The static runtime takes a thread-local storage slot the first time a thread
// throws or reads a per-thread window, and cannot give it back at unload: a host
// that frees unused libraries would run out of slots after about a thousand loads.
void PinThisModule() noexcept;

// Holds one count on the module for its lifetime; a member of every counted object.
class ModuleReference {
  public:
    ModuleReference() noexcept { ModuleAddRef(); }
    ModuleReference(const ModuleReference&) = delete;
    ModuleReference& operator=(const ModuleReference&) = delete;
    ~ModuleReference() { ModuleRelease(); }
};

}  // namespace tabulon
