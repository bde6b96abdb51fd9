// Shared pieces of the math-function family: the argument tests by type,
// exact conversion of arguments, and running one MPFR or MPC routine into a
// checked result.
#pragma once
#include <Python.h>
#include "objects/check.h"
#include "convert/classify.h"
#include "convert/int_conv.h"
#include "convert/real_conv.h"
#include "core/args.h"
#include "core/errors.h"
#include "core/ref.h"
#include "core/temps.h"

namespace vx::mathfn {

inline PyObject* obj(void* p) noexcept { return reinterpret_cast<PyObject*>(p); }

// TypeError "<name>() argument type not supported".
inline PyObject* not_supported(const char* name) noexcept {
  PyErr_Format(PyExc_TypeError, "%s() argument type not supported", name);
  return nullptr;
}

// Argument tests by type, made before an argument is classified.
inline bool rational_type(PyObject* o) noexcept {
  return is_mpq(o) || is_fraction(o) || has_attr(o, "__mpq__");
}
inline bool integer_type(PyObject* o) noexcept {
  return is_mpz(o) || is_xmpz(o) || PyLong_Check(o) || (has_attr(o, "__mpz__") && !has_attr(o, "__mpq__"));
}
inline bool real_type(PyObject* o) noexcept {
  if (is_mpq(o) || is_fraction(o) || is_mpz(o) || is_xmpz(o) || PyLong_Check(o) || is_mpfr(o) || PyFloat_Check(o))
    return true;
  if (has_attr(o, "__mpq__") || has_attr(o, "__mpz__")) return true;
  if (has_attr(o, "__mpfr__") && !has_attr(o, "__mpc__")) return true;
  return is_decimal(o);
}
// Complex values only: real numbers do not pass.
inline bool complex_only_type(PyObject* o) noexcept {
  return is_mpc(o) || PyComplex_Check(o) || has_attr(o, "__mpc__");
}
inline bool complex_type(PyObject* o) noexcept { return real_type(o) || complex_only_type(o); }

// Exact conversions (an mpfr or mpc is used as it is).
inline MPFR_Object* exact_real(PyObject* o, int kind, CTXT_Object* ctx) noexcept {
  return to_mpfr(o, kind, PREC_EXACT, ctx);
}
inline MPC_Object* exact_complex(PyObject* o, int kind, CTXT_Object* ctx) noexcept {
  return to_mpc(o, kind, PREC_EXACT, PREC_EXACT, ctx);
}

// A new mpfr of `prec` bits (0: the context's) computed by
// f(result, rounding) -> ternary, with MPFR's flags cleared before and the
// real check after.
template <class F>
inline PyObject* real_result(CTXT_Object* ctx, mpfr_prec_t prec, F&& f) noexcept {
  MPFR_Object* r = new_mpfr(prec, ctx);
  if (!r) return nullptr;
  mpfr_clear_flags();
  r->rc = f(r->f, rnd(ctx->ctx));
  return obj(check_real(r, ctx));
}

// A new mpc at the context's effective precisions computed by
// f(result, MPC rounding) -> packed ternary, then the complex check.
template <class F>
inline PyObject* complex_result(CTXT_Object* ctx, F&& f) noexcept {
  MPC_Object* r = new_mpc(0, 0, ctx);
  if (!r) return nullptr;
  r->rc = f(r->c, crnd(ctx->ctx));
  return obj(check_complex(r, ctx));
}

// Ternary value of one result from its two bits of a combined code
// (0 exact, 1 above, 2 below).
inline int unpack_rc(int bits) noexcept { return bits == 2 ? -1 : bits == 1 ? 1 : 0; }

// The MPFR routine of a row of the math-function table, by name: false
// when there is no such row.
using RealFn1 = int (*)(mpfr_ptr, mpfr_srcptr, mpfr_rnd_t);
using RealFn2 = int (*)(mpfr_ptr, mpfr_srcptr, mpfr_srcptr, mpfr_rnd_t);
bool table_routine(const char* name, RealFn1& f1, RealFn2& f2) noexcept;

}  // namespace vx::mathfn
