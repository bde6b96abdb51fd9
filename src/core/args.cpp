// The messages formatted from a function's name.
#include "core/args.h"

#include "core/ref.h"

namespace vx {

Fail wrong_count(Fn f, Py_ssize_t n) noexcept {
  PyErr_Format(PyExc_TypeError, "%s() requires %zd %sargument%s%s", f.name, n, f.kind, n == 1 ? "" : "s", f.end);
  return {};
}

Fail wrong_range(Fn f, Py_ssize_t lo, Py_ssize_t hi) noexcept {
  if (lo == 0)
    PyErr_Format(PyExc_TypeError, "%s() takes at most %zd %sargument%s%s", f.name, hi, f.kind, hi == 1 ? "" : "s",
                 f.end);
  else
    PyErr_Format(PyExc_TypeError, "%s() requires %zd or %zd %sarguments%s", f.name, lo, hi, f.kind, f.end);
  return {};
}

namespace {

// "T, U": the type names of args; nullptr (no exception) when one cannot be had.
Ref type_names(PyObject* const* args, Py_ssize_t nargs) noexcept {
  Ref names = Ref::steal(PyUnicode_FromString(""));
  for (Py_ssize_t i = 0; names && i < nargs; ++i) {
    Ref name = Ref::steal(PyType_GetName(Py_TYPE(args[i])));
    if (!name) break;
    names = Ref::steal(PyUnicode_FromFormat(i ? "%U, %U" : "%U%U", names.get(), name.get()));
  }
  if (PyErr_Occurred()) {
    PyErr_Clear();
    return Ref();
  }
  return names;
}

// Raises TypeError "name() <fmt...>", then notes the types of args.
Fail refuse(PyObject* const* args, Py_ssize_t nargs, const char* fmt, const char* name, const char* a = "") noexcept {
  Ref names = nargs > 0 && args ? type_names(args, nargs) : Ref();
  PyErr_Format(PyExc_TypeError, fmt, name, a);
  if (names) note_current("got %U", names.get());
  return {};
}

}  // namespace

Fail too_many(const char* name, Py_ssize_t n, const char* which) noexcept {
  PyErr_Format(PyExc_TypeError, "%s() takes at most %zd %s arguments", name, n, which);
  return {};
}

Fail fn_error(PyObject* exc, const char* name, const char* what) noexcept {
  PyErr_Format(exc, "%s() %s", name, what);
  return {};
}

Fail not_supported(const char* name, PyObject* arg) noexcept {
  return refuse(&arg, 1, "%s() argument type not supported", name);
}

Fail not_supported(const char* name, PyObject* const* args, Py_ssize_t nargs) noexcept {
  return refuse(args, nargs, "%s() argument type not supported", name);
}

Fail types_not_supported(const char* name, PyObject* const* args, Py_ssize_t nargs) noexcept {
  return refuse(args, nargs, "%s() argument types not supported", name);
}

Fail refused(const char* name, const char* text, PyObject* const* args, Py_ssize_t nargs) noexcept {
  return refuse(args, nargs, "%s() %s", name, text);
}

Fail requires_args(const char* name, const char* what, PyObject* const* args, Py_ssize_t nargs) noexcept {
  return refuse(args, nargs, "%s() requires %s", name, what);
}

}  // namespace vx
