// How module functions and methods are declared: METH_FASTCALL entries
// with the argument-count checks worded as the Python-level function.
#pragma once
#include <Python.h>
#include "module/errors.h"

namespace vx {

using FastFn = PyObject* (*)(PyObject*, PyObject* const*, Py_ssize_t);

// A METH_FASTCALL table entry.
#define VX_FASTCALL(name, fn, doc) \
  { name, reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)(void)>(fn)), METH_FASTCALL, doc }
#define VX_FASTCALL_KW(name, fn, doc) \
  { name, reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)(void)>(fn)), METH_FASTCALL | METH_KEYWORDS, doc }
#define VX_NOARGS(name, fn, doc) \
  { name, reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)(void)>(fn)), METH_NOARGS, doc }
#define VX_VARARGS_KW(name, fn, doc) \
  { name, reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)(void)>(fn)), METH_VARARGS | METH_KEYWORDS, doc }
#define VX_O(name, fn, doc) \
  { name, reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)(void)>(fn)), METH_O, doc }

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
