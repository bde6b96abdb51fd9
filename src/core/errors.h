// Raising exceptions with the module's fixed message texts.
//
// Every helper sets the interpreter's error indicator and returns the
// failure value of the caller's convention (nullptr or -1), so that a
// failure path reads `return type_error("...");`.
#pragma once
#include <Python.h>

namespace vx {

struct Fail {
  // Converts to nullptr for object-returning routines and to -1 for int ones.
  operator PyObject*() const noexcept { return nullptr; }
  template <class T>
  operator T*() const noexcept { return nullptr; }
  operator int() const noexcept { return -1; }
  operator long() const noexcept { return -1; }
  operator long long() const noexcept { return -1; }
};

inline Fail raise(PyObject* exc, const char* msg) noexcept {
  PyErr_SetString(exc, msg);
  return {};
}
inline Fail type_error(const char* msg) noexcept { return raise(PyExc_TypeError, msg); }
inline Fail value_error(const char* msg) noexcept { return raise(PyExc_ValueError, msg); }
inline Fail overflow_error(const char* msg) noexcept { return raise(PyExc_OverflowError, msg); }
inline Fail zero_division(const char* msg) noexcept { return raise(PyExc_ZeroDivisionError, msg); }
inline Fail system_error(const char* msg) noexcept { return raise(PyExc_SystemError, msg); }
inline Fail memory_error() noexcept {
  PyErr_NoMemory();
  return {};
}

// Keeps the pending exception aside for its lifetime (a clean-up call, a
// deallocation) and sets it again at the end, over whatever was raised
// meanwhile.
struct SavedError {
#if PY_VERSION_HEX >= 0x030C0000
  PyObject* exc = PyErr_GetRaisedException();
  SavedError() = default;
  ~SavedError() { PyErr_SetRaisedException(exc); }
#else
  PyObject *type, *value, *tb;
  SavedError() { PyErr_Fetch(&type, &value, &tb); }
  ~SavedError() { PyErr_Restore(type, value, tb); }
#endif
  SavedError(const SavedError&) = delete;
  SavedError& operator=(const SavedError&) = delete;
};

// The module's own exception classes, created once at import.
struct Exceptions {
  PyObject* base;        // vexa2Error
  PyObject* range;       // RangeError
  PyObject* inexact;     // InexactResultError
  PyObject* overflow;    // OverflowResultError
  PyObject* underflow;   // UnderflowResultError
  PyObject* invalid;     // InvalidOperationError
  PyObject* divzero;     // DivisionByZeroError
};
extern Exceptions exc;

}  // namespace vx
