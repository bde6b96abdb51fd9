// Argument-count checks of module functions and methods, worded as the
// Python-level function.
#pragma once
#include <Python.h>
#include "core/errors.h"

namespace vx {

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

}  // namespace vx
