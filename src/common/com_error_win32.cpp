#include "common/com_error_win32.h"

#include <wrl/client.h>

#include "common/bstr_win32.h"

namespace tabulon {

namespace {

Text SystemMessage(HRESULT hr) {
    wchar_t* buffer = nullptr;
    const DWORD n = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, static_cast<DWORD>(hr), 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    Text message;
    if (n && buffer) {
        message.assign(reinterpret_cast<const char16_t*>(buffer), n);
        while (!message.empty() && (message.back() == u'\r' || message.back() == u'\n' ||
                                    message.back() == u' ' || message.back() == u'.'))
            message.pop_back();
    }
    LocalFree(buffer);
    return message;
}

}  // namespace

Text HexStatus(HRESULT hr) {
    static const char16_t digits[] = u"0123456789ABCDEF";
    Text out = u"0x";
    for (int shift = 28; shift >= 0; shift -= 4)
        out += digits[(static_cast<DWORD>(hr) >> shift) & 0xF];
    return out;
}

void ThrowIfFailed(HRESULT hr, TextView what) {
    if (SUCCEEDED(hr)) return;
    Text description(what);
    description += u" failed (";
    const Text system = SystemMessage(hr);
    if (!system.empty()) {
        description += system;
        description += u", ";
    }
    description += HexStatus(hr);
    description += u").";
    throw Failure(hr, std::move(description));
}

void ThrowLastError(TextView what) {
    const DWORD error = GetLastError();
    ThrowIfFailed(error ? HRESULT_FROM_WIN32(error) : E_FAIL, what);
    throw Failure(E_FAIL, Text(what) + u" failed.");
}

HRESULT ReportFailure(HRESULT code, TextView description, REFIID iid) {
    if (SUCCEEDED(code)) code = E_FAIL;
    Microsoft::WRL::ComPtr<ICreateErrorInfo> create;
    if (SUCCEEDED(CreateErrorInfo(&create))) {
        try {
            Bstr text(description);
            Bstr source(u"Quenlar.TB");
            create->SetGUID(iid);
            create->SetSource(source.get());
            create->SetDescription(text.get());
            Microsoft::WRL::ComPtr<IErrorInfo> info;
            if (SUCCEEDED(create.As(&info))) SetErrorInfo(0, info.Get());
        } catch (...) {
            // No memory for the description: the code alone still reaches the caller.
        }
    }
    return code;
}

}  // namespace tabulon
