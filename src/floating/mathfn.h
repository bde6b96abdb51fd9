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


// Exact conversions (an mpfr or mpc is used as it is).
inline MPFR_Object* exact_real(PyObject* o, int kind, CTXT_Object* ctx) noexcept {
  return to_mpfr(o, kind, PREC_EXACT, ctx);
}
inline MPC_Object* exact_complex(PyObject* o, int kind, CTXT_Object* ctx) noexcept {
  return to_mpc(o, kind, PREC_EXACT, PREC_EXACT, ctx);
}

// The two arguments of a member taking two reals, converted exactly; false
// with "name() argument type not supported" (noting both types) when either
// is of another kind, or with the conversion's error.
inline bool exact_reals(PyObject* const* args, const char* name, CTXT_Object* ctx, Own<MPFR_Object>& x,
                        Own<MPFR_Object>& y) noexcept {
  const int kx = classify(args[0]), ky = classify(args[1]);
  if (!is_real_kind(kx) || !is_real_kind(ky)) {
    not_supported(name, args, 2);
    return false;
  }
  x = Own<MPFR_Object>(exact_real(args[0], kx, ctx));
  if (!x) return false;
  y = Own<MPFR_Object>(exact_real(args[1], ky, ctx));
  return static_cast<bool>(y);
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

// The same in the current context, for the slots, methods and attributes
// of the numbers.
template <class F>
inline PyObject* real_in_current(mpfr_prec_t prec, F&& f) noexcept {
  Own<CTXT_Object> ctx(current_context());
  return ctx ? real_result(ctx.get(), prec, f) : nullptr;
}
template <class F>
inline PyObject* complex_in_current(F&& f) noexcept {
  Own<CTXT_Object> ctx(current_context());
  return ctx ? complex_result(ctx.get(), f) : nullptr;
}

// The MPFR routine of a row of the math-function table, by name, and its
// MPC routine (nullptr if none) when g is given: false when there is no
// such row.
using RealFn1 = int (*)(mpfr_ptr, mpfr_srcptr, mpfr_rnd_t);
using RealFn2 = int (*)(mpfr_ptr, mpfr_srcptr, mpfr_srcptr, mpfr_rnd_t);
using CplxFn1 = int (*)(mpc_ptr, mpc_srcptr, mpc_rnd_t);
bool table_routine(const char* name, RealFn1& f1, RealFn2& f2, CplxFn1* g = nullptr) noexcept;

}  // namespace vx::mathfn
