// The real and complex result checks.
#include "context/check.h"
#include "module/errors.h"

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

bool check_real_value(mpfr_ptr f, int& rc, ContextRecord& c, bool range, bool subnormal) noexcept {
  if (mpfr_regular_p(f)) {
    if (range && (mpfr_get_exp(f) < c.emin || mpfr_get_exp(f) > c.emax)) {
      ExpRange er(c.emin, c.emax);
      rc = mpfr_check_range(f, rc, rnd(c));
    }
    if (subnormal && c.subnormalize && mpfr_regular_p(f) && mpfr_get_exp(f) >= c.emin &&
        mpfr_get_exp(f) <= c.emin + static_cast<mpfr_exp_t>(mpfr_get_prec(f)) - 2) {
      ExpRange er(c.emin, c.emax);
      rc = mpfr_subnormalize(f, rc, rnd(c));
    }
  }
  // One read of MPFR's per-thread flags; an exact, ordinary result stops here.
  const mpfr_flags_t flags = mpfr_flags_save();
  if (!flags) return true;
  const bool under = flags & MPFR_FLAGS_UNDERFLOW, over = flags & MPFR_FLAGS_OVERFLOW,
             nan = flags & MPFR_FLAGS_NAN, inex = flags & MPFR_FLAGS_INEXACT, div0 = flags & MPFR_FLAGS_DIVBY0;
  c.underflow |= under;
  c.overflow |= over;
  c.invalid |= nan;
  c.inexact |= inex;
  c.divzero |= div0;
  if (!c.traps) return true;
  PyObject* e = nullptr;
  const char* msg = nullptr;
  if ((c.traps & TRAP_UNDERFLOW) && under) e = exc.underflow, msg = "underflow";
  if ((c.traps & TRAP_OVERFLOW) && over) e = exc.overflow, msg = "overflow";
  if ((c.traps & TRAP_INEXACT) && inex) e = exc.inexact, msg = "inexact result";
  if ((c.traps & TRAP_INVALID) && nan) e = exc.invalid, msg = "invalid operation";
  if ((c.traps & TRAP_DIVZERO) && div0) e = exc.divzero, msg = "division by zero";
  if (!e) return true;
  PyErr_SetString(e, msg);
  return false;
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
  mpfr_ptr re = mpc_realref(r->c), im = mpc_imagref(r->c);
  int t_re = MPC_INEX_RE(r->rc), t_im = MPC_INEX_IM(r->rc);
  if (range) {
    if (mpfr_regular_p(re) && (mpfr_get_exp(re) < c.emin || mpfr_get_exp(re) > c.emax)) {
      ExpRange er(c.emin, c.emax);
      t_re = mpfr_check_range(re, t_re, static_cast<mpfr_rnd_t>(real_round(c)));
    }
    if (mpfr_regular_p(im) && (mpfr_get_exp(im) < c.emin || mpfr_get_exp(im) > c.emax)) {
      ExpRange er(c.emin, c.emax);
      t_im = mpfr_check_range(im, t_im, static_cast<mpfr_rnd_t>(imag_round(c)));
    }
  }
  if (c.subnormalize) {
    // Each part is subnormalized like a real result, with its own rounding.
    auto sub = [&](mpfr_ptr p, int& t, int rmode) {
      if (mpfr_regular_p(p) && mpfr_get_exp(p) >= c.emin &&
          mpfr_get_exp(p) <= c.emin + static_cast<mpfr_exp_t>(mpfr_get_prec(p)) - 2) {
        ExpRange er(c.emin, c.emax);
        t = mpfr_subnormalize(p, t, static_cast<mpfr_rnd_t>(rmode));
      }
    };
    sub(re, t_re, real_round(c));
    sub(im, t_im, imag_round(c));
  }
  r->rc = pack(t_re, t_im);
  const bool nan = (mpfr_nan_p(re) && !mpfr_inf_p(im)) || (mpfr_nan_p(im) && !mpfr_inf_p(re));
  const bool inex = r->rc != 0;
  const bool under = (mpfr_zero_p(re) && t_re) || (mpfr_zero_p(im) && t_im);
  const bool over = (mpfr_inf_p(re) && t_re) || (mpfr_inf_p(im) && t_im);
  c.invalid |= nan;
  c.inexact |= inex;
  c.underflow |= under;
  c.overflow |= over;
  if (!c.traps) return r;
  PyObject* e = nullptr;
  const char* msg = nullptr;
  if ((c.traps & TRAP_UNDERFLOW) && under) e = exc.underflow, msg = "underflow";
  if ((c.traps & TRAP_OVERFLOW) && over) e = exc.overflow, msg = "overflow";
  if ((c.traps & TRAP_INEXACT) && inex) e = exc.inexact, msg = "inexact result";
  if ((c.traps & TRAP_INVALID) && nan) e = exc.invalid, msg = "invalid operation";
  if (!e) return r;
  Py_DECREF(r);
  PyErr_SetString(e, msg);
  return nullptr;
}

MPC_Object* check_complex(MPC_Object* r, ContextRecord& c) noexcept { return check_complex_opt(r, c, true); }

}  // namespace vx
