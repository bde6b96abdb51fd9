// The continued-fraction approximation behind as_simple_fraction and f2q.
#include "convert/simple_fraction.h"

#include <climits>

#include "core/errors.h"
#include "core/memory.h"
#include "core/ref.h"
#include "core/signals.h"
#include "core/temps.h"
#include "objects/objects.h"

namespace vx {

namespace {

constexpr const char* PREC_MSG = "Requested precision out-of-bounds.";

// The convergents hold several integers of about |exponent of x| bits;
// GMP aborts when it cannot allocate them, so huge ones are tried first.
bool convergents_possible(mpfr_srcptr x) noexcept {
  if (!mpfr_regular_p(x)) return true;
  const mpfr_exp_t e = mpfr_get_exp(x);
  return can_allocate(static_cast<uint64_t>(e < 0 ? -e : e), Alloc::MPQ, 4);
}

inline bool prec_in_bounds(long p, mpfr_prec_t limit) noexcept { return p >= 2 && p <= limit; }

}  // namespace

PyObject* simple_fraction(mpfr_srcptr x, mpfr_srcptr err, long prec, bool allow_int) noexcept {
  if (mpfr_inf_p(x)) return overflow_error("Cannot convert Infinity to a number.");
  if (mpfr_nan_p(x)) return value_error("Cannot convert NaN to a number.");
  const mpfr_prec_t px = mpfr_get_prec(x);
  if (prec == 0) prec = px;

  // The tolerance: a positive bound as given, otherwise 2**-bits.
  const bool bound = err && !mpfr_nan_p(err) && mpfr_sgn(err) > 0;
  long bits = prec;
  if (!bound) {
    if (!prec_in_bounds(prec, px)) return value_error(PREC_MSG);
    if (err && !mpfr_nan_p(err) && mpfr_sgn(err) < 0) {
      bits = mpfr_fits_slong_p(err, MPFR_RNDZ) ? -mpfr_get_si(err, MPFR_RNDZ) : 0;
      if (!prec_in_bounds(bits, px)) return value_error(PREC_MSG);
    }
  } else if (!prec_in_bounds(prec, PREC_MAX) || prec > px) {
    // Working variables have `prec` bits; refuse what MPFR could not allocate.
    return value_error(PREC_MSG);
  }

  if (!convergents_possible(x)) return nullptr;

  Mpfr tol(prec), r(prec), c(prec), a(prec), t(prec), u(prec), q(prec);
  if (bound) mpfr_set(tol, err, MPFR_RNDN);
  else mpfr_set_ui_2exp(tol, 1, -bits, MPFR_RNDN);
  const bool negative = mpfr_signbit(x);
  mpfr_abs(r, x, MPFR_RNDN);

  // Convergents n/d with their two predecessors; a is the partial quotient.
  Mpz n2(1L), n1, d2(0L), d1(1L), n, d, az;
  Mpq nd;
  mpfr_set(c, r, MPFR_RNDN);
  mpfr_rint(a, c, MPFR_RNDD);
  mpfr_get_z(n1, a, MPFR_RNDN);
  mpfr_reldiff(t, r, a, MPFR_RNDN);
  while (mpfr_greater_p(t, tol)) {
    if (interrupted()) return nullptr;
    mpfr_sub(c, c, a, MPFR_RNDN);
    if (mpfr_zero_p(c)) break;  // nothing left to expand
    mpfr_ui_div(c, 1, c, MPFR_RNDN);
    if (!mpfr_number_p(c)) break;
    mpfr_rint(a, c, MPFR_RNDD);
    mpfr_get_z(az, a, MPFR_RNDN);
    mpz_mul(n, az, n1);
    mpz_add(n, n, n2);
    mpz_mul(d, az, d1);
    mpz_add(d, d, d2);
    mpz_set(mpq_numref(nd.get()), n);
    mpz_set(mpq_denref(nd.get()), d);
    mpfr_set_q(q, nd, MPFR_RNDN);
    mpfr_reldiff(u, r, q, MPFR_RNDN);
    if (!mpfr_less_p(u, t)) break;  // no improvement: keep the previous convergent
    mpfr_set(t, u, MPFR_RNDN);
    mpz_swap(n2, n1);
    mpz_swap(n1, n);
    mpz_swap(d2, d1);
    mpz_swap(d1, d);
  }
  if (negative) mpz_neg(n1, n1);

  if (allow_int && mpz_cmp_ui(d1.get(), 1) == 0) {
    MPZ_Object* z = new_mpz();
    if (z) mpz_swap(z->z, n1);
    return reinterpret_cast<PyObject*>(z);
  }
  MPQ_Object* res = new_mpq();
  if (!res) return nullptr;
  mpz_swap(mpq_numref(res->q), n1);
  mpz_swap(mpq_denref(res->q), d1);
  mpq_canonicalize(res->q);
  return reinterpret_cast<PyObject*>(res);
}

}  // namespace vx
