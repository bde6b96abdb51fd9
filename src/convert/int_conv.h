// Conversions between Python values and GMP integers, and the readers of
// machine integers from arguments.
#pragma once
#include <Python.h>
#include <gmp.h>
#include "core/args.h"
#include "core/ref.h"
#include "objects/objects.h"

namespace vx {

// Sets z from a Python int; -1 with TypeError "expected int, got ..." otherwise.
int mpz_set_pylong(mpz_ptr z, PyObject* o) noexcept;
// A Python int equal to z.
PyObject* pylong_from_mpz(mpz_srcptr z) noexcept;
// The double nearest to z (ties to even); OverflowError "'<name>' too large to convert to float".
PyObject* pyfloat_from_mpz(mpz_srcptr z) noexcept;
// The double nearest to q, rounded once; OverflowError "'mpq' too large to convert to float".
PyObject* pyfloat_from_mpq(mpq_srcptr q) noexcept;

MPZ_Object* mpz_from_pylong(PyObject* o) noexcept;
XMPZ_Object* xmpz_from_pylong(PyObject* o) noexcept;
MPQ_Object* mpq_from_pylong(PyObject* o) noexcept;

// Integer-typed results built from other values. T is MPZ_Object or XMPZ_Object;
// the NaN/Infinity messages name the type.
template <class T> T* new_int() noexcept;
template <class T> T* int_from_mpz(mpz_srcptr z) noexcept;           // copy
template <class T> T* int_from_mpq(mpq_srcptr q) noexcept;           // truncated
template <class T> T* int_from_double(double d) noexcept;            // truncated
template <class T> T* int_from_mpfr(mpfr_srcptr f, CTXT_Object* ctx) noexcept;  // context rounding
template <class T> T* int_from_pylong(PyObject* o) noexcept;

// Object of an integer kind to mpz: TypeError "cannot convert object to mpz".
MPZ_Object* to_mpz(PyObject* o, int kind) noexcept;
// Argument conversion of the integer-only functions (floats, mpq, mpfr refused).
MPZ_Object* to_mpz_intonly(PyObject* o) noexcept;

// ---- Integer arguments of the integer functions ----
// Readers without a Need keep the conversion's TypeError "cannot convert
// object to mpz". With one, a refusal is TypeError "name() requires <what>"
// noting the argument's type (or, given a call's args, the type of each);
// an error that must reach the caller (an interrupt, no memory) is kept.

// An integer argument as an mpz of its own (an xmpz is copied, so that it
// is read without its lock).
MPZ_Object* int_arg(PyObject* o, Need need, PyObject* const* args = nullptr, Py_ssize_t nargs = 0) noexcept;
// An integer operand read in place: an mpz or xmpz as it is (an xmpz is
// read under its XmpzLock), anything else converted.
inline Ref int_operand(PyObject* o) noexcept {
  if (is_mpz(o) || is_xmpz(o)) return Ref::borrow(o);
  return Ref::steal(to_mpz_intonly(o));
}
Ref int_operand(PyObject* o, Need need) noexcept;
// args[0..n) into a by int_arg, noting the refused argument's type (every
// argument's with note_all); false at the first refusal.
template <size_t N>
bool int_args(Own<MPZ_Object> (&a)[N], PyObject* const* args, Py_ssize_t n, Need need, bool note_all = false) noexcept {
  for (Py_ssize_t i = 0; i < n; ++i)
    if (!(a[i] = Own<MPZ_Object>(note_all ? int_arg(args[i], need, args, n) : int_arg(args[i], need)))) return false;
  return true;
}

// Machine-integer readers: -1 with an exception set on failure.
long read_long(PyObject* o, int kind) noexcept;
unsigned long read_ulong(PyObject* o, int kind) noexcept;
long long read_llong(PyObject* o) noexcept;
unsigned long long read_ullong(PyObject* o) noexcept;
inline long read_long(PyObject* o) noexcept;
inline unsigned long read_ulong(PyObject* o) noexcept;

// q = n / d (d > 0) rounded to an integer in a context's rounding mode;
// ties of round-to-nearest go to the even quotient.
void round_div(mpz_ptr q, mpz_srcptr n, mpz_srcptr d, int mode) noexcept;

}  // namespace vx

#include "convert/classify.h"
namespace vx {
inline long read_long(PyObject* o) noexcept { return read_long(o, classify(o)); }
inline unsigned long read_ulong(PyObject* o) noexcept { return read_ulong(o, classify(o)); }
}  // namespace vx
