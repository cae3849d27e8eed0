// How the C++ library reports its own failures in the shipped program.
//
// The library throws through a family of helper functions (std::__throw_*).
// Its own versions build std::logic_error and std::system_error objects,
// which drag in the reference-counted string, error-category tables and
// message formatting: about 60 KB of a program that has to stay small. The
// program never looks at what such an exception says or which type it has:
// the one place that catches them (the worker start, see progress.cpp)
// catches everything and reports its own failure text. So these versions
// throw one small exception type with a fixed text instead. Linked into each
// program ahead of the libraries, they stand in for the library's helpers;
// should a library part ever need a helper missing here, the library's
// whole set comes along and the link fails on the duplicates, which is the
// signal to add it.

#include <exception>
#include <new>

namespace {

class LibraryFailure final : public std::exception {
 public:
  explicit LibraryFailure(const char* text) : text_(text) {}
  const char* what() const noexcept override { return text_; }

 private:
  const char* text_;  // always a literal of the library or of this file
};

}  // namespace

namespace std {

void __throw_bad_alloc() { throw bad_alloc(); }
void __throw_bad_array_new_length() { throw bad_array_new_length(); }
void __throw_bad_function_call() { throw LibraryFailure("empty function called"); }
void __throw_length_error(const char* text) { throw LibraryFailure(text); }
void __throw_logic_error(const char* text) { throw LibraryFailure(text); }
// The format's arguments are left out: the text is never shown.
void __throw_out_of_range_fmt(const char* format, ...) { throw LibraryFailure(format); }
// A thread the system refused to start.
void __throw_system_error(int) { throw LibraryFailure("system call failed"); }

}  // namespace std
