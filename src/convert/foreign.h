// The foreign kinds of number (classify.h), one row each: the class
// attribute that marks the type (learnt once per type by classify), and
// how the value of such an object is had as one of the module's own
// numbers, which every conversion (to_mpz, to_mpq, to_mpfr, to_mpc) then
// converts as it would convert that number. A new foreign type is one kind
// code (and its mark bit) in classify.h and one row in foreign.cpp.
#pragma once
#include <Python.h>
#include <span>
#include "core/ref.h"

namespace vx {

struct ForeignKind {
  int kind;
  const char* mark;  // the class attribute that marks the type, or nullptr (recognised otherwise)
  unsigned bit;      // its bit in TypeInfo::bits
  int own;           // the kind of the value had
  bool as_is;        // see OwnValue
  PyObject* (*value)(PyObject*) noexcept;
};
std::span<const ForeignKind> foreign_kinds() noexcept;

struct OwnValue {
  Ref value;     // an mpz, mpq, mpfr or mpc; empty when none could be had
  int kind;      // its kind (K_MPZ, K_MPQ, K_MPFR, K_MPC)
  bool as_is;    // a value of the wanted type is the result itself (no precision rules)
};

// The value of o, of the foreign kind `kind`. An empty value with an error
// set only when it must reach the caller (conversion_failed then keeps it);
// also empty for a kind that is not foreign.
OwnValue foreign_value(PyObject* o, int kind) noexcept;

}  // namespace vx
