#include "component/class_factory_win32.h"

#include "common/com_object_win32.h"
#include "plugin/tb_object_win32.h"

namespace tabulon {

HRESULT CreateTBClassFactory(REFIID riid, void** object) noexcept {
    return CreateComObject<ClassFactory<CreateTBObject>>(riid, object);
}

}  // namespace tabulon
