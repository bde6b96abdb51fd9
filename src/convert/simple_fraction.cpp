// Continued-fraction approximation of reals by rationals.
#include "convert/simple_fraction.h"

#include <climits>

#include "core/errors.h"
#include "core/ref.h"
#include "core/temps.h"
#include "objects/check.h"
#include "objects/objects.h"

namespace vx {

PyObject* simple_fraction(mpfr_srcptr x, mpfr_srcptr err, mpfr_prec_t prec, bool allow_mpz) noexcept {
  if (mpfr_inf_p(x)) return overflow_error("Cannot convert Infinity to a number.");
  if (mpfr_nan_p(x)) return value_error("Cannot convert NaN to a number.");
  if (prec == 0) prec = mpfr_get_prec(x);
  // The whole walk runs in MPFR's widest exponent range: the convergents
  // must never overflow or underflow on the way.
  ExpRange full(mpfr_get_emin_min(), mpfr_get_emax_max());

  const bool bounded = err && mpfr_number_p(err) && mpfr_sgn(err) > 0;
  if (!bounded && (prec < 2 || prec > mpfr_get_prec(x))) return value_error("Requested precision out-of-bounds.");
  Mpfr tol(prec);
  if (bounded) {
    mpfr_set(tol, err, MPFR_RNDN);
  } else {
    long bits = static_cast<long>(prec);
    if (err && !mpfr_nan_p(err) && mpfr_sgn(err) < 0) {
      Mpfr mag(mpfr_get_prec(err));
      mpfr_neg(mag, err, MPFR_RNDN);
      bits = mpfr_get_si(mag, MPFR_RNDD);  // saturates for huge bounds
      if (bits < 2 || bits > prec) return value_error("Requested precision out-of-bounds.");
    }
    mpfr_set_ui_2exp(tol, 1, -bits, MPFR_RNDN);
  }

  const bool negative = mpfr_sgn(x) < 0;
  Mpfr r(prec), c(prec), a(prec), t(prec), u(prec), q(prec);
  Mpfr n0(prec), n1(prec), n2(prec), d0(prec), d1(prec), d2(prec);
  mpfr_abs(r, x, MPFR_RNDN);
  mpfr_set(c, r, MPFR_RNDN);
  mpfr_rint(a, c, MPFR_RNDD);
  mpfr_set_ui(n0, 1, MPFR_RNDN);
  mpfr_set(n1, a, MPFR_RNDN);
  mpfr_set_ui(d0, 0, MPFR_RNDN);
  mpfr_set_ui(d1, 1, MPFR_RNDN);
  mpfr_reldiff(t, r, a, MPFR_RNDN);
  while (mpfr_greater_p(t, tol)) {
    mpfr_sub(c, c, a, MPFR_RNDN);
    if (mpfr_zero_p(c)) break;  // the expansion ended: the convergent is r itself
    mpfr_ui_div(c, 1, c, MPFR_RNDN);
    mpfr_rint(a, c, MPFR_RNDD);
    mpfr_mul(n2, a, n1, MPFR_RNDN);
    mpfr_add(n2, n2, n0, MPFR_RNDN);
    mpfr_mul(d2, a, d1, MPFR_RNDN);
    mpfr_add(d2, d2, d0, MPFR_RNDN);
    if (!mpfr_number_p(n2) || !mpfr_number_p(d2)) break;
    mpfr_div(q, n2, d2, MPFR_RNDN);
    mpfr_reldiff(u, r, q, MPFR_RNDN);
    if (!mpfr_less_p(u, t)) break;  // no improvement: keep the previous convergent
    mpfr_swap(n0, n1);
    mpfr_swap(n1, n2);
    mpfr_swap(d0, d1);
    mpfr_swap(d1, d2);
    mpfr_swap(t, u);
  }

  Own<MPQ_Object> res(new_mpq());
  if (!res) return nullptr;
  mpfr_get_z(mpq_numref(res->q), n1, MPFR_RNDN);
  mpfr_get_z(mpq_denref(res->q), d1, MPFR_RNDN);
  if (mpz_sgn(mpq_denref(res->q)) <= 0) return system_error("internal error in simple_fraction");
  mpq_canonicalize(res->q);
  if (negative) mpq_neg(res->q, res->q);
  if (allow_mpz && mpz_cmp_ui(mpq_denref(res->q), 1) == 0) {
    MPZ_Object* z = new_mpz();
    if (z) mpz_set(z->z, mpq_numref(res->q));
    return reinterpret_cast<PyObject*>(z);
  }
  return res.release();
}

}  // namespace vx
