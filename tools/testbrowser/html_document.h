#pragma once
// The HTML document of a tab in Internet Explorer mode, as far as readers ask it:
// IDispatch answering the title and URL properties by mshtml's dispatch ids (and
// names). Lives on its window's thread.
#include <windows.h>
#include <oaidl.h>

#include <string>

#include "common/com_object_win32.h"
#include "testbrowser/untyped_dispatch.h"

namespace tabulon::testbrowser {

class HtmlDocument final : public UntypedDispatch<ComObject<IDispatch>> {
  public:
    HtmlDocument(std::wstring url, std::wstring title)
        : url_(std::move(url)), title_(std::move(title)) {}

    STDMETHODIMP GetIDsOfNames(REFIID riid, LPOLESTR* names, UINT count, LCID lcid,
                               DISPID* ids) override;
    STDMETHODIMP Invoke(DISPID id, REFIID riid, LCID lcid, WORD flags, DISPPARAMS* params,
                        VARIANT* result, EXCEPINFO* exception, UINT* arg_error) override;

  private:
    ~HtmlDocument() override = default;

    const std::wstring url_, title_;
};

}  // namespace tabulon::testbrowser
