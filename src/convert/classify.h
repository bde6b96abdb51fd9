// Classification of any Python object into a kind code. The codes are
// grouped so that range tests tell which arithmetic an operand can join.
//
// The module's own types and Python's int, float and complex are told by
// their type alone. Everything else is judged by what its TYPE offers (the
// conversion methods __mpz__, __mpq__, __mpfr__, __mpc__ as class
// attributes; an instance's __getattr__ is never asked), and that judgement
// is kept per thread, keyed by the type and its version tag, so an operand
// of a foreign type costs a table probe.
#pragma once
#include <Python.h>
#include <cstdint>
#include <cstring>
#include "core/errors.h"
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

// The conversion methods a type may offer.
enum Proto : unsigned { P_MPZ = 1, P_MPQ = 2, P_MPFR = 4, P_MPC = 8 };

// What a foreign type's instances are, learnt once per type.
struct TypeInfo {
  uint8_t kind;  // the kind of every instance (a type merely named "Fraction" is asked per instance)
  uint8_t bits;  // Proto bits and the T_ bits below
};
constexpr uint8_t T_FRACTION_NAME = 16;  // named "Fraction" but not the fractions module's
constexpr uint8_t T_DECIMAL = 32;        // named "decimal.Decimal" or "Decimal"
constexpr uint8_t T_STD_FRACTION = 64;   // exactly fractions.Fraction
constexpr uint8_t T_PROBE = 128;         // a conversion method is a data descriptor (a property): asked per instance

TypeInfo type_info(PyTypeObject* t) noexcept;
int classify_foreign(PyObject* o) noexcept;

inline bool has_protocol(PyObject* o, Proto p) noexcept { return (type_info(Py_TYPE(o)).bits & p) != 0; }

// A type named "Fraction" (by name alone, as the constructors accept it).
inline bool is_fraction(PyObject* o) noexcept { return std::strcmp(Py_TYPE(o)->tp_name, "Fraction") == 0; }
inline bool is_decimal(PyObject* o) noexcept { return (type_info(Py_TYPE(o)).bits & T_DECIMAL) != 0; }
// A fractions.Fraction, or an object of a type named "Fraction" with int
// numerator and denominator: what converts as a Fraction in arithmetic.
bool is_fraction_value(PyObject* o) noexcept;

// Presence of an attribute on the object; errors raised by the probe count
// as absence. Not for the conversion methods (see has_protocol).
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
  if (t == &PyFloat_Type) return K_PYFLOAT;
  if (t == &PyComplex_Type) return K_PYCOMPLEX;
  return classify_foreign(o);
}

// Errors that say nothing about a conversion (an interrupt, an exit, no
// memory, too deep a recursion): raised inside a conversion method they
// reach the caller unchanged instead of becoming "cannot convert".
bool must_propagate() noexcept;

// Calls o's conversion method, found on its type, with no arguments: a new
// reference, or nullptr with the method's error set.
PyObject* call_special(PyObject* o, Proto p) noexcept;

// The same, accepting only a result of exactly the matching type (mpz for
// __mpz__, ...). Otherwise nullptr, with an error set only when it must
// reach the caller (must_propagate); other errors are cleared.
PyObject* call_protocol(PyObject* o, Proto p) noexcept;

// The failure of a conversion: its own TypeError, unless an error that must
// reach the caller is already set.
inline Fail conversion_failed(const char* msg) noexcept {
  if (PyErr_Occurred()) return {};
  return type_error(msg);
}

}  // namespace vx
