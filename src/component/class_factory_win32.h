#pragma once
#include <windows.h>
#include <unknwn.h>

namespace tabulon {

// A new class factory for TB, counted on the module until it is released.
HRESULT CreateTBClassFactory(REFIID riid, void** object) noexcept;

}  // namespace tabulon
