#pragma once
// What keeps TB.dll loaded: live plugin objects, live class factories and
// IClassFactory::LockServer locks. DllCanUnloadNow answers from this count.
#include <windows.h>

namespace tabulon {

void ModuleAddRef() noexcept;
void ModuleRelease() noexcept;
LONG ModuleLockCount() noexcept;

// This DLL's own handle (or the program's, when the glue is linked into a test).
HMODULE ThisModule() noexcept;

// Holds one count on the module for its lifetime; a member of every counted object.
class ModuleReference {
  public:
    ModuleReference() noexcept { ModuleAddRef(); }
    ModuleReference(const ModuleReference&) = delete;
    ModuleReference& operator=(const ModuleReference&) = delete;
    ~ModuleReference() { ModuleRelease(); }
};

}  // namespace tabulon
