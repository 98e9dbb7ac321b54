#include "plugin/tb_dispatch_win32.h"

#include <wrl/client.h>

#include <mutex>
#include <utility>

#include "common/com_error_win32.h"
#include "common/module_lock_win32.h"
#include "common/spin_lock_win32.h"
#include "tb_h.h"

using Microsoft::WRL::ComPtr;

namespace tabulon {

namespace {

SpinLock g_typeInfoLock;
ITypeInfo* g_typeInfo = nullptr;

ComPtr<ITypeInfo> LoadTBTypeInfo() {
    wchar_t path[MAX_PATH * 4];
    const DWORD n = GetModuleFileNameW(ThisModule(), path, ARRAYSIZE(path));
    if (n == 0 || n >= ARRAYSIZE(path))
        throw Failure(E_FAIL, u"The path of TB.dll could not be determined.");
    ComPtr<ITypeLib> library;
    ThrowIfFailed(LoadTypeLibEx(path, REGKIND_NONE, &library),
                  u"Loading the type library embedded in TB.dll");
    ComPtr<ITypeInfo> dispatchView;
    ThrowIfFailed(library->GetTypeInfoOfGuid(IID__TB, &dispatchView),
                  u"Finding _TB in the type library");
    // The dual interface's dispatch view folds the retval; DispInvoke needs the
    // interface view that matches the vtable.
    HREFTYPE ref = 0;
    ThrowIfFailed(dispatchView->GetRefTypeOfImplType(-1, &ref), u"Finding the vtable view of _TB");
    ComPtr<ITypeInfo> interfaceView;
    ThrowIfFailed(dispatchView->GetRefTypeInfo(ref, &interfaceView),
                  u"Loading the vtable view of _TB");
    return interfaceView;
}

}  // namespace

ITypeInfo* AcquireTBTypeInfo() {
    const std::lock_guard<SpinLock> hold(g_typeInfoLock);
    if (!g_typeInfo) g_typeInfo = LoadTBTypeInfo().Detach();
    g_typeInfo->AddRef();
    return g_typeInfo;
}

void ReleaseTBTypeInfo() noexcept {
    ITypeInfo* info = nullptr;
    {
        const std::lock_guard<SpinLock> hold(g_typeInfoLock);
        std::swap(info, g_typeInfo);
    }
    if (info) info->Release();
}

}  // namespace tabulon
