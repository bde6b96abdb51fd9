// Argument checks of module functions and methods, and the messages
// formatted from a function's name: every "name() requires 2 arguments",
// "name() argument type not supported" and the like is written here once.
#pragma once
#include <Python.h>
#include "core/errors.h"
#include "core/args.h"

namespace vx {

// A function as its messages name it: "name() requires 2 <kind>arguments<end>"
// (kind "integer " or "", end "." where the text has kept a full stop).
struct Fn {
  const char* name;
  const char* kind = "";
  const char* end = "";
};

// TypeError "name() requires n [kind ]argument(s)".
Fail wrong_count(Fn f, Py_ssize_t n) noexcept;
// TypeError "name() takes at most hi argument(s)" (lo == 0) or
// "name() requires lo or hi [kind ]arguments".
Fail wrong_range(Fn f, Py_ssize_t lo, Py_ssize_t hi) noexcept;
// TypeError "name() argument type not supported", with the note "got T"
// naming the refused argument's type.
Fail not_supported(const char* name, PyObject* arg) noexcept;
// The same for several arguments: the note names each argument's type.
Fail not_supported(const char* name, PyObject* const* args, Py_ssize_t nargs) noexcept;
// TypeError "name() argument types not supported", with the same note.
Fail types_not_supported(const char* name, PyObject* const* args, Py_ssize_t nargs) noexcept;
// TypeError "name() requires <what>" (e.g. "'mpz','int' arguments"), with
// the note naming the types of the arguments given.
Fail requires_args(const char* name, const char* what, PyObject* const* args, Py_ssize_t nargs) noexcept;
// TypeError "name() <text>" for any other refusal of argument types, with that note.
Fail refused(const char* name, const char* text, PyObject* const* args, Py_ssize_t nargs) noexcept;
inline Fail requires_args(const char* name, const char* what, PyObject* arg) noexcept {
  return requires_args(name, what, &arg, 1);
}

// What a function requires, for "name() requires <what>" (a TypeError):
// Need{"gcd", "'mpz' arguments"}.
struct Need {
  const char* name;
  const char* what;
};
// TypeError "name() requires <what>", noting the types of args (none when nargs is 0).
inline Fail refuse(Need n, PyObject* const* args, Py_ssize_t nargs) noexcept {
  return requires_args(n.name, n.what, args, nargs);
}
inline Fail refuse(Need n, PyObject* arg) noexcept { return requires_args(n.name, n.what, &arg, 1); }
// True when exactly k arguments were given; otherwise TypeError "name() requires <what>".
inline bool want_args(Py_ssize_t nargs, Py_ssize_t k, Need n) noexcept {
  if (nargs == k) return true;
  refuse(n, nullptr, 0);
  return false;
}
inline bool want_args_range(Py_ssize_t nargs, Py_ssize_t lo, Py_ssize_t hi, Need n) noexcept {
  if (nargs >= lo && nargs <= hi) return true;
  refuse(n, nullptr, 0);
  return false;
}

// TypeError "name() takes at most n <which> arguments" ("positional", "keyword").
Fail too_many(const char* name, Py_ssize_t n, const char* which) noexcept;

// exc "name() <what>" (e.g. ZeroDivisionError "name() division by 0").
Fail fn_error(PyObject* exc, const char* name, const char* what) noexcept;

// True when exactly n arguments were given; otherwise raises TypeError with msg.
inline bool want_args(Py_ssize_t nargs, Py_ssize_t n, const char* msg) noexcept {
  if (nargs == n) return true;
  PyErr_SetString(PyExc_TypeError, msg);
  return false;
}
inline bool want_args_range(Py_ssize_t nargs, Py_ssize_t lo, Py_ssize_t hi, const char* msg) noexcept {
  if (nargs >= lo && nargs <= hi) return true;
  PyErr_SetString(PyExc_TypeError, msg);
  return false;
}
// The same with the message formatted from the function.
inline bool want_args(Py_ssize_t nargs, Py_ssize_t n, Fn f) noexcept {
  if (nargs == n) return true;
  wrong_count(f, n);
  return false;
}
inline bool want_args_range(Py_ssize_t nargs, Py_ssize_t lo, Py_ssize_t hi, Fn f) noexcept {
  if (nargs >= lo && nargs <= hi) return true;
  wrong_range(f, lo, hi);
  return false;
}

}  // namespace vx
