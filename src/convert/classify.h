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
  K_MPF_TUPLE = 35,  // mpmath's real numbers (_mpf_): constructors only
  K_MPC = 48,
  K_PYCOMPLEX = 49,
  K_HAS_MPC = 50,
  K_MPC_TUPLE = 51,  // mpmath's complex numbers (_mpc_): constructors only
};

// The first code past each group: integer kinds are 1 .. K_INTEGER_END - 1,
// rational kinds (integers included) 1 .. K_RATIONAL_END - 1, and so on.
constexpr int K_INTEGER_END = 15, K_RATIONAL_END = 31, K_REAL_END = 47;

inline bool is_integer_kind(int k) noexcept { return k > 0 && k < K_INTEGER_END; }
inline bool is_rational_kind(int k) noexcept { return k > 0 && k < K_RATIONAL_END; }
inline bool is_real_kind(int k) noexcept { return k > 0 && k < K_REAL_END; }
inline bool is_complex_kind(int k) noexcept { return k > 0; }
inline bool is_own_integer(int k) noexcept { return k == K_MPZ || k == K_XMPZ; }

// The class a kind computes in; None for an unknown operand.
enum class Cls { None, Int, Rat, Real, Cpx };

inline Cls class_of(int k) noexcept {
  if (k == K_UNKNOWN) return Cls::None;
  if (k < K_INTEGER_END) return Cls::Int;
  if (k < K_RATIONAL_END) return Cls::Rat;
  if (k < K_REAL_END) return Cls::Real;
  return Cls::Cpx;
}

// The class an operation on two operands runs in: the wider one, None when
// either is unknown (the codes are grouped by range, so it is the class of
// the larger code).
inline Cls class_of(int a, int b) noexcept {
  if (a == K_UNKNOWN || b == K_UNKNOWN) return Cls::None;
  return class_of(a > b ? a : b);
}

// The conversion methods a type may offer.
enum Proto : unsigned { P_MPZ = 1, P_MPQ = 2, P_MPFR = 4, P_MPC = 8 };

// What a foreign type's instances are, learnt once per type.
struct TypeInfo {
  uint8_t kind;   // the kind of every instance (a type merely named "Fraction" is asked per instance)
  uint16_t bits;  // Proto bits and the T_ bits below
};
// The real classes (fractions.Fraction, decimal.Decimal) are recognised by
// identity: the type is the class or a subclass of it. A class only named
// "Fraction" counts as one when its instance has int numerator and
// denominator; one named "Decimal" never counts.
constexpr uint16_t T_FRACTION_NAME = 16;   // named "Fraction" but not a subclass of the real class
constexpr uint16_t T_DECIMAL = 32;         // decimal.Decimal or a subclass
constexpr uint16_t T_STD_FRACTION = 64;    // exactly fractions.Fraction
constexpr uint16_t T_FRACTION_CLASS = 128; // fractions.Fraction or a subclass, of any name
constexpr uint16_t T_MPF_TUPLE = 256;      // offers mpmath's raw real value, _mpf_
constexpr uint16_t T_MPC_TUPLE = 512;      // offers mpmath's raw complex value, _mpc_
constexpr uint16_t T_PROBE = 1024;         // a conversion method is a data descriptor (a property): asked per instance

TypeInfo type_info(PyTypeObject* t) noexcept;
int classify_foreign(PyObject* o) noexcept;

inline bool has_protocol(PyObject* o, Proto p) noexcept { return (type_info(Py_TYPE(o)).bits & p) != 0; }
// The Proto and T_ bits of o's type. (The module's own mpfr and mpc carry
// the marks of mpmath's values, _mpf_ and _mpc_, which their kind makes
// irrelevant.)
inline unsigned type_bits(PyObject* o) noexcept { return type_info(Py_TYPE(o)).bits; }

inline bool is_decimal(PyObject* o) noexcept { return (type_bits(o) & T_DECIMAL) != 0; }
// A fractions.Fraction (or a subclass keeping its name), or an object of a
// type named "Fraction" with int numerator and denominator: what converts
// as a Fraction in arithmetic (kind K_FRACTION).
bool is_fraction_value(PyObject* o) noexcept;
// What the constructors take as a Fraction: the above, and any subclass of
// fractions.Fraction whatever its name.
inline bool is_fraction_arg(PyObject* o) noexcept {
  return (type_bits(o) & T_FRACTION_CLASS) != 0 || is_fraction_value(o);
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

// The kind of a constructor's argument: classify()'s, and for what it does
// not know, K_FRACTION for any subclass of fractions.Fraction whatever its
// name, and the kinds of mpmath's numbers. (In arithmetic these are left
// to the other operand, as float leaves them.)
inline int classify_argument(PyObject* o) noexcept {
  const int k = classify(o);
  if (k != K_UNKNOWN) return k;
  const unsigned bits = type_bits(o);
  return (bits & T_FRACTION_CLASS) ? int{K_FRACTION} : (bits & T_MPC_TUPLE) ? int{K_MPC_TUPLE}
       : (bits & T_MPF_TUPLE) ? int{K_MPF_TUPLE} : int{K_UNKNOWN};
}

// The argument groups of the functions that judge an argument by the
// narrowest conversion it offers rather than by its kind (an object with
// both __mpz__ and __mpq__ is rational, not integer; one with __mpc__ and
// __mpz__ is also real; a Decimal is real). Judged by type alone.
inline bool integer_arg(PyObject* o) noexcept {
  const int k = classify(o);
  return (k > 0 && k < K_HAS_MPZ) || (type_bits(o) & (P_MPZ | P_MPQ)) == P_MPZ;
}
inline bool rational_arg(PyObject* o) noexcept {
  const int k = classify(o);
  return k == K_MPQ || k == K_FRACTION || (type_bits(o) & P_MPQ) != 0;
}
inline bool real_arg(PyObject* o) noexcept {
  if (is_real_kind(classify(o))) return true;
  const unsigned bits = type_bits(o);
  return (bits & (P_MPZ | P_MPQ | T_DECIMAL)) != 0 || (bits & (P_MPFR | P_MPC)) == P_MPFR;
}
// Complex values only: real numbers do not pass.
inline bool complex_only_arg(PyObject* o) noexcept {
  const int k = classify(o);
  return k == K_MPC || k == K_PYCOMPLEX || (type_bits(o) & P_MPC) != 0;
}
inline bool complex_arg(PyObject* o) noexcept { return real_arg(o) || complex_only_arg(o); }

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
