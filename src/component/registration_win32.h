#pragma once
#include <windows.h>

namespace tabulon {

// The ProgID, the class entries and the type library of TB.dll.
HRESULT RegisterTBServer() noexcept;
HRESULT UnregisterTBServer() noexcept;

}  // namespace tabulon
