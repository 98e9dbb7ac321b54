#include "settings/registry_settings_store_win32.h"

#include <windows.h>

#include <limits>
#include <string>
#include <utility>
#include <vector>

#include "common/com_error_win32.h"
#include "common/failure.h"
#include "settings/shown_text.h"

namespace tabulon {

namespace {

// A value that keeps changing size between two reads is given up after this many tries.
constexpr int kReadAttempts = 16;

std::wstring ValueName(TextView key) { return std::wstring(key.begin(), key.end()); }

Text Quoted(TextView key) {
    Text quoted(1, u'"');
    quoted += ShownText(key);
    quoted += u'"';
    return quoted;
}

void ThrowIfError(LSTATUS status, TextView what) {
    if (status != ERROR_SUCCESS) ThrowIfFailed(HRESULT_FROM_WIN32(status), what);
}

Text TypeName(DWORD type) {
    switch (type) {
        case REG_NONE:
            return u"REG_NONE";
        case REG_BINARY:
            return u"REG_BINARY";
        case REG_DWORD:
            return u"REG_DWORD";
        case REG_DWORD_BIG_ENDIAN:
            return u"REG_DWORD_BIG_ENDIAN";
        case REG_LINK:
            return u"REG_LINK";
        case REG_MULTI_SZ:
            return u"REG_MULTI_SZ";
        case REG_RESOURCE_LIST:
            return u"REG_RESOURCE_LIST";
        case REG_FULL_RESOURCE_DESCRIPTOR:
            return u"REG_FULL_RESOURCE_DESCRIPTOR";
        case REG_RESOURCE_REQUIREMENTS_LIST:
            return u"REG_RESOURCE_REQUIREMENTS_LIST";
        case REG_QWORD:
            return u"REG_QWORD";
        default: {
            const std::string number = std::to_string(type);
            return u"type " + Text(number.begin(), number.end());
        }
    }
}

}  // namespace

Text RegistrySettingsStore::Read(TextView key) {
    const auto what = [&] { return u"Reading the setting " + Quoted(key) + u" from the registry"; };
    if (!section_) {
        RegistryKey section;
        const LSTATUS status = RegOpenKeyExW(HKEY_CURRENT_USER, kSettingsRegistryKey, 0,
                                             KEY_QUERY_VALUE, section.put());
        if (status == ERROR_FILE_NOT_FOUND) return Text();
        ThrowIfError(status, what());
        section_ = std::move(section);
    }
    const HKEY section = section_.get();

    // Most settings are short: one query into a small buffer, a second only for long ones.
    const std::wstring name = ValueName(key);
    std::vector<wchar_t> buffer(128);
    DWORD type = REG_NONE;
    DWORD bytes = static_cast<DWORD>(buffer.size() * sizeof(wchar_t));
    LSTATUS status = RegQueryValueExW(section, name.c_str(), nullptr, &type,
                                      reinterpret_cast<BYTE*>(buffer.data()), &bytes);
    for (int attempt = 0; status == ERROR_SUCCESS || status == ERROR_MORE_DATA; ++attempt) {
        if (type != REG_SZ && type != REG_EXPAND_SZ) {
            throw Failure(status::kTypeMismatch, u"The setting " + Quoted(key) +
                                                     u" is stored in the registry as " +
                                                     TypeName(type) + u", not as text (REG_SZ).");
        }
        if (status == ERROR_SUCCESS) break;
        if (attempt == kReadAttempts) {
            throw Failure(status::kFail, what() + u" failed: the value kept changing.");
        }
        // Room for an odd byte and for a terminator that the registry may add.
        buffer.assign(bytes / sizeof(wchar_t) + 2, L'\0');
        bytes = static_cast<DWORD>(buffer.size() * sizeof(wchar_t));
        status = RegQueryValueExW(section, name.c_str(), nullptr, &type,
                                  reinterpret_cast<BYTE*>(buffer.data()), &bytes);
    }
    if (status == ERROR_FILE_NOT_FOUND) return Text();
    ThrowIfError(status, what());

    // The byte count is the length; an odd last byte is no character, and terminating
    // NULs (none, one or several) are not part of the text.
    std::size_t length = std::min<std::size_t>(bytes / sizeof(wchar_t), buffer.size());
    while (length > 0 && buffer[length - 1] == L'\0') --length;
    return Text(reinterpret_cast<const char16_t*>(buffer.data()), length);
}

void RegistrySettingsStore::Write(TextView key, TextView value) {
    const Text what = u"Saving the setting " + Quoted(key) + u" in the registry";
    // With its terminator: an empty text becomes one NUL, never a zero-byte value.
    std::wstring data(value.begin(), value.end());
    if (data.size() >= std::numeric_limits<DWORD>::max() / sizeof(wchar_t)) {
        throw Failure(status::kOutOfMemory, what + u" failed: the text is too long.");
    }
    const auto bytes = static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t));

    RegistryKey section;
    ThrowIfError(
        RegCreateKeyExW(HKEY_CURRENT_USER, kSettingsRegistryKey, 0, nullptr,
                        REG_OPTION_NON_VOLATILE, KEY_SET_VALUE, nullptr, section.put(), nullptr),
        what);
    const std::wstring name = ValueName(key);
    ThrowIfError(RegSetValueExW(section.get(), name.c_str(), 0, REG_SZ,
                                reinterpret_cast<const BYTE*>(data.c_str()), bytes),
                 what);
}

}  // namespace tabulon
