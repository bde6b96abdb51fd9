// The real and complex result checks.
#include "objects/check.h"
#include "context/conditions.h"
#include "core/errors.h"

namespace vx {

ContextRecord ieee_double_context() noexcept {
  ContextRecord c;
  c.precision = 53;
  c.round = RoundToNearest;
  c.emax = 1024;
  c.emin = -1073;
  c.subnormalize = 1;
  return c;
}


// Brings one MPFR value into the context's exponent range and, when asked,
// emulates gradual underflow; returns the updated ternary value.
static int fit_to_context(mpfr_ptr f, int t, const ContextRecord& c, mpfr_rnd_t r, bool range, bool subnormal) noexcept {
  if (!mpfr_regular_p(f)) return t;
  if (range && (mpfr_get_exp(f) < c.emin || mpfr_get_exp(f) > c.emax)) {
    ExpRange er(c.emin, c.emax);
    t = mpfr_check_range(f, t, r);
  }
  if (subnormal && c.subnormalize && mpfr_regular_p(f) && mpfr_get_exp(f) >= c.emin &&
      mpfr_get_exp(f) <= c.emin + static_cast<mpfr_exp_t>(mpfr_get_prec(f)) - 2) {
    ExpRange er(c.emin, c.emax);
    t = mpfr_subnormalize(f, t, r);
  }
  return t;
}

bool check_real_value(mpfr_ptr f, int& rc, ContextRecord& c, bool range, bool subnormal) noexcept {
  if (range_empty(c)) {
    value_error(EMPTY_RANGE);
    return false;
  }
  rc = fit_to_context(f, rc, c, rnd(c), range, subnormal);
  // One read of MPFR's per-thread flags; an exact, ordinary result stops here.
  const mpfr_flags_t flags = mpfr_flags_save();
  if (!flags) return true;
  unsigned cond = 0;
  if (flags & MPFR_FLAGS_UNDERFLOW) cond |= TRAP_UNDERFLOW;
  if (flags & MPFR_FLAGS_OVERFLOW) cond |= TRAP_OVERFLOW;
  if (flags & MPFR_FLAGS_INEXACT) cond |= TRAP_INEXACT;
  if (flags & MPFR_FLAGS_NAN) cond |= TRAP_INVALID;
  if (flags & MPFR_FLAGS_DIVBY0) cond |= TRAP_DIVZERO;
  return raise_conditions(c, cond);
}

MPFR_Object* check_real(MPFR_Object* r, ContextRecord& c, bool range, bool subnormal) noexcept {
  if (check_real_value(r->f, r->rc, c, range, subnormal)) return r;
  Py_DECREF(r);
  return nullptr;
}

namespace {
// MPC packs the two ternary values: bits 0-1 the real part, 2-3 the imaginary part.
inline int pack(int re, int im) noexcept {
  return (re == 0 ? 0 : (re > 0 ? 1 : 2)) | (im == 0 ? 0 : (im > 0 ? 4 : 8));
}
}  // namespace

MPC_Object* check_complex_opt(MPC_Object* r, ContextRecord& c, bool range) noexcept {
  if (range_empty(c)) {
    Py_DECREF(r);
    return value_error(EMPTY_RANGE);
  }
  mpfr_ptr re = mpc_realref(r->c), im = mpc_imagref(r->c);
  int t_re = MPC_INEX_RE(r->rc), t_im = MPC_INEX_IM(r->rc);
  // Each part is fitted like a real result, with its own rounding.
  t_re = fit_to_context(re, t_re, c, static_cast<mpfr_rnd_t>(real_round(c)), range, true);
  t_im = fit_to_context(im, t_im, c, static_cast<mpfr_rnd_t>(imag_round(c)), range, true);
  r->rc = pack(t_re, t_im);
  unsigned cond = 0;
  if ((mpfr_zero_p(re) && t_re) || (mpfr_zero_p(im) && t_im)) cond |= TRAP_UNDERFLOW;
  if ((mpfr_inf_p(re) && t_re) || (mpfr_inf_p(im) && t_im)) cond |= TRAP_OVERFLOW;
  if (r->rc != 0) cond |= TRAP_INEXACT;
  if ((mpfr_nan_p(re) && !mpfr_inf_p(im)) || (mpfr_nan_p(im) && !mpfr_inf_p(re))) cond |= TRAP_INVALID;
  if (raise_conditions(c, cond)) return r;
  Py_DECREF(r);
  return nullptr;
}

MPC_Object* check_complex(MPC_Object* r, ContextRecord& c) noexcept { return check_complex_opt(r, c, true); }

}  // namespace vx
