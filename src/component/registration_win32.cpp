#include "component/registration_win32.h"

#include <oleauto.h>
#include <olectl.h>
#include <shlwapi.h>
#include <wrl/client.h>

#include <string>

#include "common/module_lock_win32.h"
#include "common/unique_handle_win32.h"
#include "tb_h.h"

using Microsoft::WRL::ComPtr;

namespace tabulon {

namespace {

constexpr wchar_t kProgId[] = L"Quenlar.TB";
constexpr wchar_t kClassName[] = L"TB";
// The type library is registered under the key of its own platform (win32 or win64),
// and only that key is removed again: the other width's DLL may be registered too.
#ifdef _WIN64
constexpr SYSKIND kSysKind = SYS_WIN64;
constexpr wchar_t kSysKindKey[] = L"win64";
#else
constexpr SYSKIND kSysKind = SYS_WIN32;
constexpr wchar_t kSysKindKey[] = L"win32";
#endif

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
    RegistryKey handle;
    const LSTATUS rc = RegCreateKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, nullptr, 0, KEY_SET_VALUE,
                                       nullptr, handle.put(), nullptr);
    if (rc != ERROR_SUCCESS) return rc;
    return RegSetValueExW(handle.get(), name, 0, REG_SZ,
                          reinterpret_cast<const BYTE*>(value.c_str()),
                          static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
}

// SHDeleteKeyW rather than RegDeleteTreeW, which Windows XP lacks.
LSTATUS DeleteClassesTree(const std::wstring& key) {
    const LSTATUS rc = static_cast<LSTATUS>(SHDeleteKeyW(HKEY_CLASSES_ROOT, key.c_str()));
    return rc == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : rc;
}

// The registry's own error reaches regsvr32, so a prompt without administrator
// rights shows "access denied" (0x80070005) rather than a bare SELFREG_E_CLASS.
HRESULT FromRegistry(LSTATUS rc) { return HRESULT_FROM_WIN32(static_cast<DWORD>(rc)); }

}  // namespace

HRESULT RegisterTBServer() noexcept {
    try {
        const std::wstring path = ModulePath();
        if (path.empty()) return HRESULT_FROM_WIN32(GetLastError());
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
            if (rc != ERROR_SUCCESS) return FromRegistry(rc);
        }

        // The help folder as Windows Installer writes a folder, trailing backslash and
        // all, so that a package can write the same registration.
        std::wstring dir = path.substr(0, path.find_last_of(L'\\') + 1);
        ComPtr<ITypeLib> library;
        HRESULT hr = LoadTypeLibEx(path.c_str(), REGKIND_NONE, &library);
        if (FAILED(hr)) return hr;
        // Also registers _TB with the automation marshaller. Its failures are its own
        // codes (TYPE_E_REGISTRYACCESS when the registry refuses a write).
        return RegisterTypeLib(library.Get(), const_cast<wchar_t*>(path.c_str()), dir.data());
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

HRESULT UnregisterTBServer() noexcept {
    try {
        HRESULT result = S_OK;
        // Not QueryPathOfRegTypeLib: it falls back to the other platform's key.
        RegistryKey ownPlatform;
        const std::wstring libraryKey =
            L"TypeLib\\" + GuidText(LIBID_Quenlar) + L"\\1.0\\0\\" + kSysKindKey;
        if (RegOpenKeyExW(HKEY_CLASSES_ROOT, libraryKey.c_str(), 0, KEY_READ, ownPlatform.put()) ==
            ERROR_SUCCESS) {
            const HRESULT hr = UnRegisterTypeLib(LIBID_Quenlar, 1, 0, 0, kSysKind);
            if (FAILED(hr)) result = hr;
        }
        // Everything that can go is removed; the first failure is the answer.
        for (const std::wstring& key : {L"CLSID\\" + GuidText(CLSID_TB), std::wstring(kProgId)}) {
            const LSTATUS rc = DeleteClassesTree(key);
            if (rc != ERROR_SUCCESS && SUCCEEDED(result)) result = FromRegistry(rc);
        }
        return result;
    } catch (...) {
        return E_OUTOFMEMORY;
    }
}

}  // namespace tabulon
