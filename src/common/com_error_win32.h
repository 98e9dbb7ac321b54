#pragma once
// The COM boundary: Failure and HRESULT, IErrorInfo, and the catch-all that keeps
// C++ exceptions inside the DLL.
#include <windows.h>
#include <oleauto.h>

#include <new>

#include "common/failure.h"
#include "common/text.h"

namespace tabulon {

// "0x80020005": an HRESULT as people quote it.
Text HexStatus(HRESULT hr);

// Throws a Failure for a failed HRESULT. The description says what was being
// done; the system's own message for the code is appended when it has one.
void ThrowIfFailed(HRESULT hr, TextView what);

// The same for a Win32 call that failed: its GetLastError code (E_FAIL without one).
[[noreturn]] void ThrowLastError(TextView what);

// Stores the description as the thread's IErrorInfo for the given interface and
// returns the code, for a COM method to return.
HRESULT ReportFailure(HRESULT code, TextView description, REFIID iid);

// Runs body (which returns an HRESULT) and turns every exception into a failure
// HRESULT with IErrorInfo. On success the thread's error object is cleared, so a
// caller never sees a stale description.
template <typename Body>
HRESULT ComBoundary(REFIID iid, Body&& body) noexcept {
    try {
        HRESULT hr = body();
        if (SUCCEEDED(hr)) SetErrorInfo(0, nullptr);
        return hr;
    } catch (const Failure& f) {
        return ReportFailure(f.code(), f.description(), iid);
    } catch (const std::bad_alloc&) {
        return ReportFailure(E_OUTOFMEMORY, u"Out of memory.", iid);
    } catch (...) {
        return ReportFailure(E_UNEXPECTED, u"An unexpected internal error occurred.", iid);
    }
}

}  // namespace tabulon
