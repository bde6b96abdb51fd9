// Classification of any Python object into a kind code. The codes are
// grouped so that range tests tell which arithmetic an operand can join.
#pragma once
#include <Python.h>
#include <cstring>
#include "objects/objects.h"

namespace vx {

enum Kind : int {
  K_UNKNOWN = 0,
  K_MPZ = 1,
  K_XMPZ = 2,
  K_PYINT = 3,
  K_HAS_MPZ = 4,
  K_MPQ = 16,
  K_FRACTION = 17,
  K_HAS_MPQ = 18,
  K_MPFR = 32,
  K_PYFLOAT = 33,
  K_HAS_MPFR = 34,
  K_MPC = 48,
  K_PYCOMPLEX = 49,
  K_HAS_MPC = 50,
};

inline bool is_integer_kind(int k) noexcept { return k > 0 && k < 15; }
inline bool is_rational_kind(int k) noexcept { return k > 0 && k < 31; }
inline bool is_real_kind(int k) noexcept { return k > 0 && k < 47; }
inline bool is_complex_kind(int k) noexcept { return k > 0; }
inline bool is_own_integer(int k) noexcept { return k == K_MPZ || k == K_XMPZ; }

inline bool is_fraction(PyObject* o) noexcept { return std::strcmp(Py_TYPE(o)->tp_name, "Fraction") == 0; }
inline bool is_decimal(PyObject* o) noexcept {
  const char* n = Py_TYPE(o)->tp_name;
  return std::strcmp(n, "decimal.Decimal") == 0 || std::strcmp(n, "Decimal") == 0;
}

// Presence of an attribute; errors raised by the probe count as absence.
inline bool has_attr(PyObject* o, const char* name) noexcept {
  PyObject* v = PyObject_GetAttrString(o, name);
  if (!v) {
    PyErr_Clear();
    return false;
  }
  Py_DECREF(v);
  return true;
}

inline int classify(PyObject* o) noexcept {
  PyTypeObject* t = Py_TYPE(o);
  if (t == &MPZ_Type) return K_MPZ;
  if (t == &MPFR_Type) return K_MPFR;
  if (t == &MPC_Type) return K_MPC;
  if (t == &MPQ_Type) return K_MPQ;
  if (t == &XMPZ_Type) return K_XMPZ;
  if (PyLong_Check(o)) return K_PYINT;
  if (PyFloat_Check(o)) return K_PYFLOAT;
  if (PyComplex_Check(o)) return K_PYCOMPLEX;
  if (is_fraction(o)) return K_FRACTION;
  if (has_attr(o, "__mpc__")) return K_HAS_MPC;
  if (has_attr(o, "__mpfr__")) return K_HAS_MPFR;
  if (has_attr(o, "__mpq__")) return K_HAS_MPQ;
  if (has_attr(o, "__mpz__")) return K_HAS_MPZ;
  return K_UNKNOWN;
}

}  // namespace vx
