// erf and erfc for every argument and precision.
//
// MPFR 4.2.0 sums erf(x) = 2x/sqrt(pi) * sum((-y)**k / (k! (2k+1))), y = x*x,
// for all but large |x| (erfc uses that sum too, through erf), and aborts the
// process when one of the partial sums comes out exactly zero. That happens
// when x*x lies very close to a zero of a partial sum: x close to sqrt(3) at
// 10 to 35 bits or at more than 1000 bits, for instance. Such arguments are
// found by following the partial sums at a modest precision; they are
// computed instead from the incomplete gamma function,
//   erfc(x) = gamma_inc(1/2, x*x) / sqrt(pi)  (x > 0),
// rounded correctly by the usual loop of growing working precisions.
#include "floating/erf_guard.h"

#include <algorithm>
#include <cmath>

#include "core/temps.h"

namespace vx {

namespace {

constexpr double LN2 = 0.69314718055994531;

// True when a partial sum of the series above may vanish at the working
// precision MPFR uses for an n-bit result (and, harmlessly, in a few cases
// where it would not). MPFR works with at least n + y/log(2) + 8 bits, and
// no term exceeds e**y = 2**(y/log(2)), so its partial sums are within
// 2k * 2**-(n+8) of the exact ones: only an exact partial sum below that
// can come out zero. The sums are followed here well enough to tell sums
// below 2**-t, t a little under n - log2(2k), from larger ones. Once the
// terms decrease and are small against the sum, no later sum can vanish.
bool partial_sum_may_vanish(mpfr_srcptr x, mpfr_prec_t n, double y_approx) {
  const double k_limit = 4.0 * y_approx + 4096.0;
  const long log_k = static_cast<long>(std::ceil(std::log2(2.0 * k_limit)));
  const long t = std::min(40L, static_cast<long>(n) - log_k);
  const mpfr_prec_t w = std::max(t, 0L) + 32 + log_k + static_cast<mpfr_prec_t>(1.5 * y_approx);
  Mpfr y(w), term(w), u(w), s(w);
  mpfr_sqr(y, x, MPFR_RNDN);
  mpfr_set_ui(term, 1, MPFR_RNDN);
  mpfr_set_ui(s, 1, MPFR_RNDN);
  for (unsigned long k = 1; static_cast<double>(k) < k_limit; ++k) {
    mpfr_mul(term, term, y, MPFR_RNDN);
    mpfr_div_ui(term, term, k, MPFR_RNDN);
    mpfr_div_ui(u, term, 2 * k + 1, MPFR_RNDN);
    if (k & 1) mpfr_sub(s, s, u, MPFR_RNDN);
    else mpfr_add(s, s, u, MPFR_RNDN);
    if (mpfr_zero_p(s) || mpfr_get_exp(s) <= -t) return true;
    if (mpfr_cmp_ui(y, k) <= 0 && mpfr_get_exp(u) < mpfr_get_exp(s) - 2) return false;
  }
  return true;
}

// Whether MPFR's series may meet a vanishing partial sum for erf(x)
// (complement false) or erfc(x) (true) with an n-bit result. erf sums the
// series for x*x up to about n log 2, as erfc does for x < 0; for x > 0
// erfc goes through erf below a power of two near 2 sqrt(n) (16 for small
// n), and uses its asymptotic expansion above.
bool series_unsafe(mpfr_srcptr x, mpfr_prec_t n, bool complement) {
  if (!mpfr_regular_p(x) || mpfr_get_exp(x) > 40) return false;
  const double xd = mpfr_get_d(x, MPFR_RNDN);
  const double y = xd * xd;
  const double nd = static_cast<double>(n);
  const double reach = complement && xd > 0 ? 4.0 * nd + 320.0 : (nd + 4.0) * LN2 + 4.0;
  // Below y = 2 the terms decrease from the first: every partial sum
  // exceeds 1 - y/3.
  return y >= 1.9 && y <= reach && partial_sum_may_vanish(x, n, y);
}

// erf(x) or erfc(x) of a regular x from the upper incomplete gamma
// function, correctly rounded in `rnd`; the ternary value.
int erf_by_gamma(mpfr_ptr r, mpfr_srcptr x, mpfr_rnd_t rnd, bool complement) {
  const mpfr_prec_t n = mpfr_get_prec(r);
  const bool negative = mpfr_signbit(x);
  Mpfr y(2 * mpfr_get_prec(x)), half(2);
  mpfr_sqr(y, x, MPFR_RNDN);  // exact
  mpfr_set_ui_2exp(half, 1, -1, MPFR_RNDN);
  mpfr_prec_t w = n + 32 + static_cast<mpfr_prec_t>(std::log2(static_cast<double>(n) + 1.0));
  for (;;) {
    Mpfr t(w), root_pi(w), v(w);
    mpfr_gamma_inc(t, half, y, MPFR_RNDN);
    mpfr_const_pi(root_pi, MPFR_RNDN);
    mpfr_sqrt(root_pi, root_pi, MPFR_RNDN);
    mpfr_div(t, t, root_pi, MPFR_RNDN);  // erfc(|x|), within 2**(2-w) relative
    mpfr_exp_t err = mpfr_get_exp(t) - w + 2;  // exponent of a bound on the error
    if (complement && !negative) {
      mpfr_set(v, t, MPFR_RNDN);
    } else {
      // erf(|x|) = 1 - t; erfc(x) = 1 + erf(|x|) = 2 - t for x < 0.
      mpfr_ui_sub(v, complement ? 2 : 1, t, MPFR_RNDN);
      err = std::max(err + 1, mpfr_get_exp(v) - w + 1);
      if (negative && !complement) mpfr_neg(v, v, MPFR_RNDN);
    }
    if (!mpfr_zero_p(v) &&
        mpfr_can_round(v, mpfr_get_exp(v) - err, MPFR_RNDN, MPFR_RNDZ, n + (rnd == MPFR_RNDN))) {
      mpfr_clear_flags();
      return mpfr_set(r, v, rnd);
    }
    w += w / 2;
  }
}

}  // namespace

int erf_checked(mpfr_ptr r, mpfr_srcptr x, mpfr_rnd_t rnd) {
  if (series_unsafe(x, mpfr_get_prec(r), false)) return erf_by_gamma(r, x, rnd, false);
  return mpfr_erf(r, x, rnd);
}

int erfc_checked(mpfr_ptr r, mpfr_srcptr x, mpfr_rnd_t rnd) {
  if (series_unsafe(x, mpfr_get_prec(r), true)) return erf_by_gamma(r, x, rnd, true);
  return mpfr_erfc(r, x, rnd);
}

}  // namespace vx
