// Everything that depends on the interpreter's internals lives here:
// the digit layout of Python ints (3.11 versus 3.12 and later) and the
// module slots that only newer interpreters know.
#pragma once
#include <Python.h>
#include <cstdint>

namespace vx::compat {

static_assert(PyLong_SHIFT == 30, "vexa2 expects 30-bit digits in Python ints");

// Sign (-1, 0, 1) and number of digits of a Python int.
inline int long_sign(PyObject* o) noexcept {
  auto* v = reinterpret_cast<PyLongObject*>(o);
#if PY_VERSION_HEX >= 0x030C0000
  return 1 - static_cast<int>(v->long_value.lv_tag & _PyLong_SIGN_MASK);
#else
  Py_ssize_t s = Py_SIZE(v);
  return s < 0 ? -1 : (s > 0 ? 1 : 0);
#endif
}

inline Py_ssize_t long_ndigits(PyObject* o) noexcept {
  auto* v = reinterpret_cast<PyLongObject*>(o);
#if PY_VERSION_HEX >= 0x030C0000
  return static_cast<Py_ssize_t>(v->long_value.lv_tag >> _PyLong_NON_SIZE_BITS);
#else
  Py_ssize_t s = Py_SIZE(v);
  return s < 0 ? -s : s;
#endif
}

inline const digit* long_digits(PyObject* o) noexcept {
  auto* v = reinterpret_cast<PyLongObject*>(o);
#if PY_VERSION_HEX >= 0x030C0000
  return v->long_value.ob_digit;
#else
  return v->ob_digit;
#endif
}

// A Python int whose magnitude fits in one machine word, read without a call.
// Returns false when the value needs more than two digits.
inline bool long_small(PyObject* o, int& sign, uint64_t& mag) noexcept {
  Py_ssize_t n = long_ndigits(o);
  if (n > 2) return false;
  const digit* d = long_digits(o);
  sign = long_sign(o);
  mag = n == 0 ? 0 : (n == 1 ? d[0] : (static_cast<uint64_t>(d[1]) << PyLong_SHIFT) | d[0]);
  return true;
}

// A new, uninitialised Python int of n > 0 digits; the caller fills the
// digits (most significant one non-zero) and then calls long_finish.
inline PyObject* long_new(Py_ssize_t n) noexcept { return reinterpret_cast<PyObject*>(_PyLong_New(n)); }
inline digit* long_digits_mut(PyObject* o) noexcept { return const_cast<digit*>(long_digits(o)); }
inline void long_finish(PyObject* o, Py_ssize_t n, bool negative) noexcept {
  auto* v = reinterpret_cast<PyLongObject*>(o);
#if PY_VERSION_HEX >= 0x030C0000
  v->long_value.lv_tag = (static_cast<uintptr_t>(n) << _PyLong_NON_SIZE_BITS) | (negative ? 2u : 0u);
#else
  Py_SET_SIZE(v, negative ? -n : n);
#endif
}

// The type's version tag: changes whenever the type or one of its bases is
// changed; 0 while it has none. Read without a lock (a racing change gives
// another tag, never a torn one).
inline unsigned int type_tag(PyTypeObject* t) noexcept {
  return __atomic_load_n(&t->tp_version_tag, __ATOMIC_ACQUIRE);
}

// Gives the type a version tag if it has none (false when the interpreter
// has run out of tags).
inline bool type_tag_assign(PyTypeObject* t, PyObject* any_name) noexcept {
  if (type_tag(t)) return true;
#if PY_VERSION_HEX >= 0x030C0000
  (void)any_name;
  return PyUnstable_Type_AssignVersionTag(t) != 0;
#else
  (void)_PyType_Lookup(t, any_name);  // assigns a tag for its own cache
  return type_tag(t) != 0;
#endif
}

// An attribute found on the type or its bases (not on an instance, and
// without running user code); borrowed, nullptr when absent. Only ever
// tested for presence or used under the caller's own reference.
inline PyObject* type_lookup(PyTypeObject* t, PyObject* name) noexcept { return _PyType_Lookup(t, name); }

// The same as a new reference (safe against a concurrent change of the type).
inline PyObject* type_lookup_ref(PyTypeObject* t, PyObject* name) noexcept {
#if PY_VERSION_HEX >= 0x030D0000
  return _PyType_LookupRef(t, name);
#else
  return Py_XNewRef(_PyType_Lookup(t, name));
#endif
}

}  // namespace vx::compat

// Per-object locking of the free-threaded build; older interpreters, and
// builds with the global lock, need none.
#ifndef Py_BEGIN_CRITICAL_SECTION
#define Py_BEGIN_CRITICAL_SECTION(op) {
#define Py_END_CRITICAL_SECTION() }
#endif

// Symbols other extension modules may look up in this one.
#define VX_EXPORT __attribute__((visibility("default")))

// The lock-declaration slot exists from 3.13 on.
#ifdef Py_mod_gil
#define VX_HAVE_GIL_SLOT 1
#else
#define VX_HAVE_GIL_SLOT 0
#endif
