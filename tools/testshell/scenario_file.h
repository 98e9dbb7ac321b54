#pragma once
// The scenario as a UTF-8 text file, for testshell.dll (which finds the file through
// the environment variable TABULON_TEST_SHELL).
//
// One line is one open window, in the collection's order, with three fields
// separated by tabs: Path, title ("LocationName"), address ("LocationURL").
// Missing fields are empty text (a window with all three empty is a line of two
// tabs); a CR before the line end is dropped; a UTF-8 byte
// order mark at the start is skipped. Fields are taken literally, except that one
// starting with '%' is a value other than plain text:
//     %null  %empty  %nullbstr     VT_NULL, VT_EMPTY, a NULL BSTR
//     %i4:<n>                      VT_I4, decimal
//     %fail:<hresult>[:<text>]     reading fails with that code (hex 0x... or decimal);
//                                  with text, as DISP_E_EXCEPTION carrying it
//     %%  %#  %!                   a literal '%', '#' or '!' followed by the rest
// Empty lines and lines starting with '#' are ignored. Lines starting with '!' set
// a failure or an event:
//     !create <hresult>            creating the Shell object fails
//     !windows <hresult>           IShellDispatch::Windows fails
//     !newenum <hresult>           the collection's _NewEnum fails
//     !next <k> [<hresult>]        fetching the k-th element fails (default E_FAIL)
//     !close <n> after <Path|LocationName|LocationURL> <k>
//                                  window n closes once that property of window k is read
// Example (tabs shown as →):
//     C:\windows→Desktop→
//     C:\Program Files\Internet Explorer→Example→http://example.com/
//     !close 3 after LocationName 2
#include <string>
#include <string_view>

#include "testshell/test_shell.h"

namespace tabulon::testshell {

// Parses the text into scenario. On a malformed line returns false and says which
// line and why in error.
bool ParseScenario(std::string_view text, Scenario& scenario, std::string& error);

}  // namespace tabulon::testshell
