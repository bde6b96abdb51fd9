// The complex logarithms with a correctly rounded real part (see
// clog_guard.h): log|z| = log(x**2 + y**2) / 2, one MPFR logarithm of the
// exact sum of squares, replaces MPC's real part; MPC gives the imaginary
// part, the argument of z.
#include "floating/clog_guard.h"

#include <algorithm>

#include "core/temps.h"

namespace vx {

namespace {

// Beyond this length of the exact x**2 + y**2 (parts of very different
// sizes), |z| is the larger part to far more than the precision and MPC's
// real part stands.
constexpr mpfr_prec_t MAX_SUM_BITS = 1 << 16;

// log|z| (log10|z| when ten) rounded into re with mode rnd, its ternary
// value in t; false when MPC's real part stands (a zero or non-finite part,
// a far exponent, a long sum).
bool real_part(mpfr_ptr re, mpfr_srcptr x, mpfr_srcptr y, mpfr_rnd_t rnd, bool ten, int& t) noexcept {
  if (!mpfr_regular_p(x) || !mpfr_regular_p(y)) return false;
  const mpfr_exp_t ex = mpfr_get_exp(x), ey = mpfr_get_exp(y);
  constexpr mpfr_exp_t FAR = mpfr_exp_t{1} << 28;
  if (ex > FAR || ex < -FAR || ey > FAR || ey < -FAR) return false;
  const mpfr_prec_t px = mpfr_get_prec(x), py = mpfr_get_prec(y);
  const mpfr_prec_t bits = 2 * (std::max(ex, ey) - std::min(ex, ey)) + 2 * std::max(px, py) + 4;
  if (bits > MAX_SUM_BITS) return false;
  Mpfr xx(2 * px), yy(2 * py), s(bits);
  mpfr_sqr(xx, x, MPFR_RNDN);  // exact, as are the sum and the halving
  mpfr_sqr(yy, y, MPFR_RNDN);
  mpfr_add(s, xx, yy, MPFR_RNDN);
  t = ten ? mpfr_log10(re, s, rnd) : mpfr_log(re, s, rnd);
  mpfr_div_2ui(re, re, 1, rnd);
  return true;
}

int checked(mpc_ptr r, mpc_srcptr z, mpc_rnd_t rnd, bool ten) {
  Mpfr re(mpfr_get_prec(mpc_realref(r)));
  int t = 0;
  const bool own = real_part(re, mpc_realref(z), mpc_imagref(z), MPC_RND_RE(rnd), ten, t);
  const int inex = ten ? mpc_log10(r, z, rnd) : mpc_log(r, z, rnd);
  if (!own) return inex;
  mpfr_set(mpc_realref(r), re, MPFR_RNDN);
  return MPC_INEX(t, MPC_INEX_IM(inex));
}

}  // namespace

int log_checked(mpc_ptr r, mpc_srcptr z, mpc_rnd_t rnd) { return checked(r, z, rnd, false); }
int log10_checked(mpc_ptr r, mpc_srcptr z, mpc_rnd_t rnd) { return checked(r, z, rnd, true); }

}  // namespace vx
