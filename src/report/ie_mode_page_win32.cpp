#include "report/ie_mode_page_win32.h"

#include <oleacc.h>
#include <wrl/client.h>

#include <cwchar>

#include "common/bstr_win32.h"
#include "common/variant_win32.h"

namespace tabulon {

namespace {

using Microsoft::WRL::ComPtr;

// mshtml's dispatch ids of IHTMLDocument2's title and URL (DISPID_IHTMLDOCUMENT2_*),
// which every version of its document answers.
constexpr DISPID kDocumentTitle = 1012;
constexpr DISPID kDocumentUrl = 1025;

BOOL CALLBACK FindVisibleServer(HWND child, LPARAM found) {
    wchar_t name[32];
    if (IsWindowVisible(child) &&
        GetClassNameW(child, name, static_cast<int>(std::size(name))) > 0 &&
        std::wcscmp(name, L"Internet Explorer_Server") == 0) {
        *reinterpret_cast<HWND*>(found) = child;
        return FALSE;
    }
    return TRUE;
}

// A text property through IDispatch: the standard marshaller carries it, so no
// type library of mshtml's is needed on this side.
std::optional<Text> ReadText(IDispatch& document, DISPID id) {
    DISPPARAMS none{};
    Variant value;
    if (FAILED(document.Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none,
                               value.put(), nullptr, nullptr)) ||
        value.vt() != VT_BSTR)
        return std::nullopt;
    return Text(Bstr::View(value->bstrVal));
}

}  // namespace

std::optional<BrowserPage> ReadInternetExplorerModePage(HWND window, DWORD answer_timeout_ms) {
    HWND server = nullptr;
    EnumChildWindows(window, &FindVisibleServer, reinterpret_cast<LPARAM>(&server));
    static const UINT message = RegisterWindowMessageW(L"WM_HTML_GETOBJECT");
    DWORD_PTR answer = 0;
    if (!server || !message ||
        !SendMessageTimeoutW(server, message, 0, 0, SMTO_ABORTIFHUNG, answer_timeout_ms, &answer) ||
        answer == 0)
        return std::nullopt;
    ComPtr<IDispatch> document;
    if (FAILED(ObjectFromLresult(static_cast<LRESULT>(answer), IID_IDispatch, 0,
                                 reinterpret_cast<void**>(document.GetAddressOf()))) ||
        !document)
        return std::nullopt;
    std::optional<Text> address = ReadText(*document.Get(), kDocumentUrl);
    if (!address) return std::nullopt;
    return BrowserPage{ReadText(*document.Get(), kDocumentTitle).value_or(Text()),
                       std::move(*address)};
}

}  // namespace tabulon
