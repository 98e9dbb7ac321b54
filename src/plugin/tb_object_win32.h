#pragma once
// Class TB, the plugin object the host creates and drives through _TB.
#include <windows.h>
#include <oaidl.h>

namespace tabulon {

// Creates a plugin object and queries it for riid. Aggregation is refused.
HRESULT CreateTBObject(IUnknown* outer, REFIID riid, void** object) noexcept;

// Lets go of what the plug-in keeps between objects (the type information, the
// picker's shell object), once no object is left: DllCanUnloadNow.
void ReleaseSharedState() noexcept;

}  // namespace tabulon
