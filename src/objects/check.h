// Checking floating results against a context: exponent range,
// subnormalization, sticky flags and traps. And the one place where
// integer and rational work may detach from the interpreter.
#pragma once
#include <Python.h>
#include "context/context.h"
#include "core/ref.h"
#include "objects/objects.h"

namespace vx {

// Both checks take ownership of `r` and return it (possibly changed), or
// nullptr with the trapped condition's exception set (r released).
// MPFR's flags must have been cleared before the operation that made r.
// Conversions skip some steps: `range` the exponent-range step, `subnormal`
// the subnormalization.
MPFR_Object* check_real(MPFR_Object* r, ContextRecord& c, bool range = true, bool subnormal = true) noexcept;
MPC_Object* check_complex(MPC_Object* r, ContextRecord& c) noexcept;
inline MPFR_Object* check_real(MPFR_Object* r, CTXT_Object* ctx) noexcept { return check_real(r, ctx->ctx); }
inline MPC_Object* check_complex(MPC_Object* r, CTXT_Object* ctx) noexcept { return check_complex(r, ctx->ctx); }
// The same, taking the result from its owning handle.
inline MPFR_Object* check_real(Own<MPFR_Object>&& r, CTXT_Object* ctx) noexcept {
  return check_real(r.release_typed(), ctx->ctx);
}
inline MPFR_Object* check_real(Own<MPFR_Object>&& r, ContextRecord& c) noexcept { return check_real(r.release_typed(), c); }
inline MPC_Object* check_complex(Own<MPC_Object>&& r, CTXT_Object* ctx) noexcept {
  return check_complex(r.release_typed(), ctx->ctx);
}
inline MPC_Object* check_complex(Own<MPC_Object>&& r, ContextRecord& c) noexcept {
  return check_complex(r.release_typed(), c);
}

// A result that the checks above would pass through unchanged whatever
// MPFR's flags say: a regular number inside the context's exponent range
// and above its subnormal zone, or an exact zero. For the four arithmetic
// operations its only condition is then "inexact", read from `rc`.
inline bool plain_real(mpfr_srcptr f, int rc, const ContextRecord& c) noexcept {
  if (mpfr_regular_p(f)) {
    const mpfr_exp_t e = mpfr_get_exp(f);
    return e > c.emin && e < c.emax &&
           (!c.subnormalize || e > c.emin + static_cast<mpfr_exp_t>(mpfr_get_prec(f)) - 2);
  }
  return rc == 0 && mpfr_zero_p(f) && !range_empty(c);
}

// The real check on a bare value: false with the trap's exception set.
bool check_real_value(mpfr_ptr f, int& rc, ContextRecord& c, bool range = true, bool subnormal = true) noexcept;

// Only the exponent-range step of the complex check, then its flags and traps:
// the same as check_complex with `range` selecting whether step one runs.
MPC_Object* check_complex_opt(MPC_Object* r, ContextRecord& c, bool range) noexcept;

// The private context describing IEEE double precision, used when
// integers and rationals are turned into Python floats.
ContextRecord ieee_double_context() noexcept;

// Sets MPFR's exponent range for the lifetime of the object, then restores it.
class ExpRange {
  mpfr_exp_t old_min_, old_max_;

 public:
  ExpRange(mpfr_exp_t emin, mpfr_exp_t emax) noexcept : old_min_(mpfr_get_emin()), old_max_(mpfr_get_emax()) {
    mpfr_set_emin(mpfr_get_emin_min());
    mpfr_set_emax(mpfr_get_emax_max());
    mpfr_set_emin(emin);
    mpfr_set_emax(emax);
  }
  ~ExpRange() {
    mpfr_set_emin(mpfr_get_emin_min());
    mpfr_set_emax(mpfr_get_emax_max());
    mpfr_set_emin(old_min_);
    mpfr_set_emax(old_max_);
  }
  ExpRange(const ExpRange&) = delete;
  ExpRange& operator=(const ExpRange&) = delete;
};

// Runs a GMP computation on private operands, detached from the interpreter
// when the context allows it, so that other threads may run meanwhile.
template <class F>
inline void gmp_compute(const ContextRecord& c, F&& f) {
  if (c.allow_release_gil) {
    Py_BEGIN_ALLOW_THREADS
    f();
    Py_END_ALLOW_THREADS
  } else {
    f();
  }
}

}  // namespace vx
