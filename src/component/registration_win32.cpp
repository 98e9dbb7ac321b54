#include "component/registration_win32.h"

#include <oleauto.h>
#include <olectl.h>
#include <wrl/client.h>

#include <string>

#include "common/module_lock_win32.h"
#include "tb_h.h"

using Microsoft::WRL::ComPtr;

namespace tabulon {

namespace {

constexpr wchar_t kProgId[] = L"Quenlar.TB";
constexpr wchar_t kClassName[] = L"TB";

std::wstring GuidText(REFGUID guid) {
    wchar_t text[40] = {};
    StringFromGUID2(guid, text, ARRAYSIZE(text));
    return text;
}

std::wstring ModulePath() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n =
            GetModuleFileNameW(ThisModule(), path.data(), static_cast<DWORD>(path.size()));
        if (n == 0) return {};
        if (n < path.size()) {
            path.resize(n);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

// Writes one REG_SZ under HKEY_CLASSES_ROOT\key; name nullptr is the default value.
LSTATUS SetClassesValue(const std::wstring& key, const wchar_t* name, const std::wstring& value) {
    HKEY handle = nullptr;
    LSTATUS rc = RegCreateKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, nullptr, 0, KEY_SET_VALUE,
                                 nullptr, &handle, nullptr);
    if (rc != ERROR_SUCCESS) return rc;
    rc = RegSetValueExW(handle, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                        static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(handle);
    return rc;
}

LSTATUS DeleteClassesTree(const std::wstring& key) {
    const LSTATUS rc = RegDeleteTreeW(HKEY_CLASSES_ROOT, key.c_str());
    if (rc == ERROR_SUCCESS || rc == ERROR_FILE_NOT_FOUND) {
        RegDeleteKeyW(HKEY_CLASSES_ROOT, key.c_str());
        return ERROR_SUCCESS;
    }
    return rc;
}

}  // namespace

HRESULT RegisterTBServer() noexcept {
    try {
        const std::wstring path = ModulePath();
        if (path.empty()) return SELFREG_E_CLASS;
        const std::wstring clsid = GuidText(CLSID_TB);
        const std::wstring libid = GuidText(LIBID_Quenlar);
        const std::wstring classKey = L"CLSID\\" + clsid;

        const struct {
            std::wstring key;
            const wchar_t* name;
            std::wstring value;
        } entries[] = {
            {kProgId, nullptr, kClassName},
            {std::wstring(kProgId) + L"\\CLSID", nullptr, clsid},
            {classKey, nullptr, std::wstring(kProgId)},
            {classKey + L"\\InprocServer32", nullptr, path},
            {classKey + L"\\InprocServer32", L"ThreadingModel", L"Apartment"},
            {classKey + L"\\ProgID", nullptr, std::wstring(kProgId)},
            {classKey + L"\\TypeLib", nullptr, libid},
            {classKey + L"\\VERSION", nullptr, L"1.0"},
        };
        for (const auto& e : entries) {
            const LSTATUS rc = SetClassesValue(e.key, e.name, e.value);
            if (rc != ERROR_SUCCESS) return SELFREG_E_CLASS;
        }

        // The help folder as Windows Installer writes a folder, trailing backslash and
        // all, so that a package can write the same registration.
        std::wstring dir = path.substr(0, path.find_last_of(L'\\') + 1);
        ComPtr<ITypeLib> library;
        if (FAILED(LoadTypeLibEx(path.c_str(), REGKIND_NONE, &library))) return SELFREG_E_TYPELIB;
        // Also registers _TB with the automation marshaller.
        if (FAILED(RegisterTypeLib(library.Get(), const_cast<wchar_t*>(path.c_str()), dir.data())))
            return SELFREG_E_TYPELIB;
        return S_OK;
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

HRESULT UnregisterTBServer() noexcept {
    try {
        HRESULT result = S_OK;
        BSTR registeredPath = nullptr;
        const bool registered =
            SUCCEEDED(QueryPathOfRegTypeLib(LIBID_Quenlar, 1, 0, 0, &registeredPath));
        SysFreeString(registeredPath);
        if (registered && FAILED(UnRegisterTypeLib(LIBID_Quenlar, 1, 0, 0, SYS_WIN32)))
            result = SELFREG_E_TYPELIB;
        if (DeleteClassesTree(L"CLSID\\" + GuidText(CLSID_TB)) != ERROR_SUCCESS)
            result = SELFREG_E_CLASS;
        if (DeleteClassesTree(kProgId) != ERROR_SUCCESS) result = SELFREG_E_CLASS;
        return result;
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

}  // namespace tabulon
