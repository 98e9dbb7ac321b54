// Why this file exists: TB.dll carries its own C++ runtime, so whatever the
// runtime's defaults drag in ships inside the plug-in. Two defaults of libstdc++
// cost far more than they give a DLL in someone else's process:
//  - the verbose terminate handler writes the demangled type of an escaping
//    exception to stderr, which a chat host does not have. It brings the demangler
//    and a printf.
//  - std::__throw_length_error and its siblings live in one object that builds
//    every standard exception class. Those classes keep their messages in
//    reference-counted strings, which pull in two whole std::string
//    instantiations for a plug-in that only uses UTF-16 text.
//
// What it saves (TB.dll, win32 thread model, measured): 163,328 bytes with both
// definitions below; 242,688 without the handler, 254,976 without the helpers,
// 332,288 without either.
//
// What breaks it: defining these symbols keeps those archive members out of the
// link. If a newer runtime wants another symbol from the same object, the link
// fails on a duplicate definition instead of quietly growing; if it renames these
// internals, they stop replacing anything and the size test (tb_dll_size) fails.
//
// What reaches the host is unchanged: an allocation failure is still
// std::bad_alloc (E_OUTOFMEMORY at the COM boundary), and a broken container
// limit is still an exception that is neither Failure nor bad_alloc
// (E_UNEXPECTED). Terminate still ends in abort(), without the message.
#include <cstdlib>
#include <exception>
#include <new>
#include <string>

namespace {

// A container or string limit broken inside the plug-in: a bug, never user input.
class LibraryLimitError : public std::exception {
  public:
    explicit LibraryLimitError(const char* what) noexcept : what_(what) {}
    const char* what() const noexcept override { return what_; }

  private:
    const char* what_;
};

}  // namespace

namespace __gnu_cxx {

void __verbose_terminate_handler() { std::abort(); }

}  // namespace __gnu_cxx

namespace std {

void __throw_bad_alloc() { throw bad_alloc(); }
void __throw_bad_array_new_length() { throw bad_array_new_length(); }
void __throw_length_error(const char* what) { throw LibraryLimitError(what); }
void __throw_logic_error(const char* what) { throw LibraryLimitError(what); }
// The format's arguments (positions and sizes) are dropped: no one reads them.
void __throw_out_of_range_fmt(const char* format, ...) { throw LibraryLimitError(format); }

}  // namespace std
