// Raising exceptions with the module's fixed message texts.
//
// Every helper sets the interpreter's error indicator and returns the
// failure value of the caller's convention (nullptr or -1), so that a
// failure path reads `return type_error("...");`.
#pragma once
#include <Python.h>

#include "core/ref.h"

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

// ---- notes on a raised exception ----
//
// A note (PEP 678, shown under the traceback) says what exactly was wrong
// without changing the exception's class or fixed text.

// Adds a note, formatted as PyUnicode_FromFormat does (%s %d %zd %lld %R
// %S %U ...), to the exception being raised; notes longer than 200
// characters lose their middle. Safe to call with the exception set (it is
// set aside while the text is made); does nothing without one, and keeps
// the exception if the note cannot be made. Returns the failure value.
Fail note_current(const char* fmt, ...) noexcept;

// A value as a note shows it: its repr, shortened to 60 characters, or
// "an int of N digits" for ints too long for that; safe to call with an
// exception set. Never empty (the type's name if repr fails).
Ref shown(PyObject* o) noexcept;

// The name among `names` closest to `word`, or nullptr: the one name that
// `word` begins, else the standard library's difflib.get_close_matches
// (cut-off 0.6). `word` must be a str; safe to call with an exception set.
const char* closest_name(PyObject* word, const char* const* names, Py_ssize_t n) noexcept;

// After an argument could not be read as a machine integer: the
// interpreter's own OverflowError for a Python int (a text that names no
// function) becomes OverflowError "<fn>() requires <needs>"; any other
// error keeps its text and gets that as a note. Either way the value given
// is noted. Returns the failure value.
Fail argument_needs(PyObject* arg, const char* fn, const char* needs) noexcept;

// Keeps the pending exception aside for its lifetime (a clean-up call, a
// deallocation) and sets it again at the end, over whatever was raised
// meanwhile.
struct SavedError {
#if PY_VERSION_HEX >= 0x030C0000
  PyObject* e = PyErr_GetRaisedException();
  SavedError() = default;
  ~SavedError() { PyErr_SetRaisedException(e); }
#else
  PyObject *type, *e, *tb;
  SavedError() noexcept {
    PyErr_Fetch(&type, &e, &tb);
    if (type) PyErr_NormalizeException(&type, &e, &tb);
    if (e && tb) PyException_SetTraceback(e, tb);
  }
  ~SavedError() { PyErr_Restore(type, e, tb); }
#endif
  // The exception set aside (an instance), or nullptr when none was raised.
  PyObject* exc() const noexcept { return e; }
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
