// Rounding an mpfr to an integer or to a number of decimal places:
// __round__, __ceil__, __floor__ and __trunc__, and the module functions
// (and context methods) ceil, floor and trunc of any real number.
#include <algorithm>
#include <climits>

#include "convert/classify.h"
#include "context/conditions.h"
#include "convert/int_conv.h"
#include "convert/real_conv.h"
#include "core/errors.h"
#include "core/args.h"
#include "core/ref.h"
#include "core/registry.h"
#include "core/temps.h"
#include "objects/check.h"

namespace vx {

namespace {

// ---- integer rounding ----

// An mpz holding v.
PyObject* small_mpz(long v) {
  MPZ_Object* z = new_mpz();
  if (z) mpz_set_si(z->z, v);
  return reinterpret_cast<PyObject*>(z);
}

// x rounded to an integer in direction `mode`, read straight from the
// significand, for a finite x below 2**62 in magnitude. False otherwise.
// `inexact` tells whether x had a fractional part.
bool machine_integer(mpfr_srcptr x, mpfr_rnd_t mode, long& v, bool& inexact) {
  if (mpfr_zero_p(x)) {
    v = 0;
    inexact = false;
    return true;
  }
  if (!mpfr_regular_p(x) || mpfr_get_exp(x) > 62) return false;
  const mpfr_exp_t e = mpfr_get_exp(x);
  const mp_limb_t* d = static_cast<const mp_limb_t*>(mpfr_custom_get_significand(x));
  const size_t n = (mpfr_get_prec(x) + GMP_NUMB_BITS - 1) / GMP_NUMB_BITS;
  static_assert(GMP_NUMB_BITS == 64, "one limb holds the integer part");
  bool sticky = false;  // any bit below the top limb
  for (size_t i = 0; i + 1 < n && !sticky; ++i) sticky = d[i] != 0;
  const mp_limb_t top = d[n - 1];
  const mp_limb_t half = mp_limb_t{1} << 63;
  unsigned long mag = e > 0 ? top >> (64 - e) : 0;
  // The fraction's place against one half: -1 below, 0 exactly, 1 above.
  int vs_half;
  if (e < 0) {
    vs_half = -1;
  } else {
    const mp_limb_t frac = e > 0 ? top << e : top;
    vs_half = frac > half ? 1 : frac < half ? -1 : (sticky ? 1 : 0);
    sticky = sticky || frac != 0;
  }
  inexact = sticky || e < 0;
  const bool negative = mpfr_signbit(x);
  if (inexact) {
    bool up;  // away from zero
    switch (mode) {
      case MPFR_RNDZ: up = false; break;
      case MPFR_RNDA: up = true; break;
      case MPFR_RNDU: up = !negative; break;
      case MPFR_RNDD: up = negative; break;
      default: up = vs_half > 0 || (vs_half == 0 && (mag & 1));
    }
    mag += up;
  }
  v = negative ? -static_cast<long>(mag) : static_cast<long>(mag);
  return true;
}

// x rounded to an integral mpfr in direction `mode` (context check), then
// to an mpz. The intermediate value has at least the precision of x, so
// the integer is exact: floor(x) of a p-bit x always fits in p bits.
PyObject* integral(mpfr_srcptr f, mpfr_rnd_t mode, CTXT_Object* ctx) {
  ContextRecord& c = ctx->ctx;
  const mpfr_prec_t p = std::max<mpfr_prec_t>(c.precision, mpfr_get_prec(f));
  // Machine-size results where the context's range and subnormals cannot
  // matter (integers of up to 63 bits): only the inexact condition remains.
  long v;
  bool inexact;
  if (c.emax >= 64 && c.emin < 3 - p && machine_integer(f, mode, v, inexact)) {
    if (inexact && !raise_conditions(c, TRAP_INEXACT)) return nullptr;
    return small_mpz(v);
  }
  MPFR_Object* r = new_mpfr(p, ctx);
  if (!r) return nullptr;
  mpfr_clear_flags();
  r->rc = mpfr_rint(r->f, f, mode);
  Own<MPFR_Object> checked(check_real(r, ctx));
  if (!checked) return nullptr;
  return reinterpret_cast<PyObject*>(int_from_mpfr<MPZ_Object>(checked->f, ctx));
}

template <mpfr_rnd_t Mode>
PyObject* mpfr_integral_method(PyObject* x, PyObject*) {
  Own<CTXT_Object> ctx(current_context());
  if (!ctx) return nullptr;
  return integral(mpfr_of(x), Mode, ctx.get());
}

// The integer of a rational q in direction `Mode`, exactly; a fractional
// part is reported as an inexact result, as for a real argument.
template <mpfr_rnd_t Mode>
PyObject* rational_integral(mpq_srcptr q, CTXT_Object* ctx) {
  Own<MPZ_Object> z(new_mpz());
  if (!z) return nullptr;
  if (Mode == MPFR_RNDU) mpz_cdiv_q(z->z, mpq_numref(q), mpq_denref(q));
  else if (Mode == MPFR_RNDD) mpz_fdiv_q(z->z, mpq_numref(q), mpq_denref(q));
  else mpz_tdiv_q(z->z, mpq_numref(q), mpq_denref(q));
  if (mpz_cmp_ui(mpq_denref(q), 1) != 0 && !raise_conditions(ctx->ctx, TRAP_INEXACT)) return nullptr;
  return reinterpret_cast<PyObject*>(z.release_typed());
}

// ceil(x), floor(x), trunc(x) as module functions and context methods:
// an mpz for any real x. Integers and rationals are rounded exactly; other
// reals are converted exactly and rounded as the methods round an mpfr.
template <mpfr_rnd_t Mode>
PyObject* f_integral(PyObject* self, PyObject* x) {
  const char* name = Mode == MPFR_RNDU ? "ceil" : Mode == MPFR_RNDD ? "floor" : "trunc";
  Ctx cx = Ctx::of_self(self);
  CTXT_Object* ctx = cx.get();
  if (!ctx) return nullptr;
  const int kind = classify(x);
  if (!is_real_kind(kind)) {
    PyErr_Format(PyExc_TypeError, "%s() argument type not supported", name);
    return nullptr;
  }
  if (is_integer_kind(kind)) return reinterpret_cast<PyObject*>(to_mpz(x, kind));
  if (is_rational_kind(kind)) {
    Own<MPQ_Object> q(to_mpq(x, kind));
    if (!q) return nullptr;
    return rational_integral<Mode>(q->q, ctx);
  }
  Own<MPFR_Object> f(to_mpfr(x, kind, PREC_EXACT, ctx));
  if (!f) return nullptr;
  return integral(f->f, Mode, ctx);
}

// ---- rounding to decimal places ----

// Above this many bits of intermediate integers the exact method gives
// way to a working precision of 100 extra bits.
constexpr double EXACT_BITS_MAX = double(1 << 24);
constexpr double LOG2_10_LOW = 3.3219, LOG2_10_HIGH = 3.3220;

// The integer nearest to a / b (b > 0) in direction `mode`, ties to even.
void div_round(mpz_ptr q, mpz_srcptr a, mpz_srcptr b, mpfr_rnd_t mode) {
  switch (mode) {
    case MPFR_RNDZ: mpz_tdiv_q(q, a, b); return;
    case MPFR_RNDU: mpz_cdiv_q(q, a, b); return;
    case MPFR_RNDD: mpz_fdiv_q(q, a, b); return;
    case MPFR_RNDA:
      if (mpz_sgn(a) >= 0) mpz_cdiv_q(q, a, b);
      else mpz_fdiv_q(q, a, b);
      return;
    default: {
      Mpz rem;
      mpz_fdiv_qr(q, rem, a, b);
      mpz_mul_2exp(rem, rem, 1);
      int c = mpz_cmp(rem, b);
      if (c > 0 || (c == 0 && mpz_odd_p(q))) mpz_add_ui(q, q, 1);
    }
  }
}

// The rounding of a nonzero |y| < 1/2 to an integer: 0 or +-1.
int tiny_integer(bool negative, mpfr_rnd_t mode) {
  switch (mode) {
    case MPFR_RNDU: return negative ? 0 : 1;
    case MPFR_RNDD: return negative ? -1 : 0;
    case MPFR_RNDA: return negative ? -1 : 1;
    default: return 0;
  }
}

// r = sign * 10**e (e may be negative), rounded once in `mode`.
void signed_power_of_ten(mpfr_ptr r, int sign, long e, mpfr_rnd_t mode) {
  mpfr_rnd_t m = mode;
  if (sign < 0) m = mode == MPFR_RNDU ? MPFR_RNDD : mode == MPFR_RNDD ? MPFR_RNDU : mode;
  Mpfr ten(8);
  mpfr_set_ui(ten, 10, MPFR_RNDN);
  mpfr_pow_si(r, ten, e, m);
  if (sign < 0) mpfr_neg(r, r, MPFR_RNDN);
}

// x rounded to a multiple of 10**-n (ties to even under RoundToNearest),
// then to the precision of r, each rounding in `mode`. Decided exactly
// on the integers x = m * 2**e; only results that would need intermediate
// integers of more than EXACT_BITS_MAX bits use a working precision.
// False with an exception set on failure.
bool round_decimal(mpfr_ptr r, mpfr_srcptr x, long n, mpfr_rnd_t mode) {
  const mpfr_prec_t px = mpfr_get_prec(x);
  const bool negative = mpfr_signbit(x);
  const double ex = double(mpfr_get_exp(x));  // |x| in [2**(ex-1), 2**ex)
  const unsigned long k = n < 0 ? 0UL - static_cast<unsigned long>(n) : static_cast<unsigned long>(n);
  Mpz m;
  const double e = double(mpfr_get_z_2exp(m, x));  // exact for all practical exponents

  long long integer = 0;  // the rounded value when it is 0 or +-1
  bool tiny;
  if (n >= 0) {
    if (e + double(n) >= 0) {  // x is already a multiple of 10**-n
      mpfr_set(r, x, mode);
      return true;
    }
    tiny = ex + 1 + LOG2_10_HIGH * double(n) <= 0;
  } else {
    tiny = ex + 1 <= LOG2_10_LOW * double(k);
  }
  if (tiny) {
    integer = tiny_integer(negative, mode);
    if (integer == 0) mpfr_set_zero(r, negative ? -1 : 1);
    else signed_power_of_ten(r, int(integer), n == LONG_MIN ? LONG_MAX : -n, mode);
    return true;
  }

  // y = x * 10**n as a / b with b > 0.
  const double bits = n >= 0 ? double(px) + 2.33 * double(k) - (e + double(n))
                             : std::max(double(px), ex - double(k)) + 2.33 * double(k) + std::max(0.0, double(k) - e);
  if (bits <= EXACT_BITS_MAX) {
    Mpz a, b, five, q;
    mpz_ui_pow_ui(five, 5, k);
    const long le = static_cast<long>(e);
    if (n >= 0) {
      mpz_mul(a, m, five);
      mpz_set_ui(b, 1);
      mpz_mul_2exp(b, b, static_cast<mp_bitcnt_t>(-(le + n)));
    } else if (le >= static_cast<long>(k)) {
      mpz_mul_2exp(a, m, static_cast<mp_bitcnt_t>(le - static_cast<long>(k)));
      mpz_set(b, five);
    } else {
      mpz_set(a, m);
      mpz_mul_2exp(b, five, static_cast<mp_bitcnt_t>(static_cast<long>(k) - le));
    }
    div_round(q, a, b, mode);
    if (mpz_sgn(q.get()) == 0) {
      mpfr_set_zero(r, negative ? -1 : 1);
    } else if (n >= 0) {  // q / 10**n: one rounding, then an exact halving
      ExpRange wide(mpfr_get_emin_min(), mpfr_get_emax_max());
      Mpfr qf(std::max<mpfr_prec_t>(mpz_sizeinbase(q, 2), MPFR_PREC_MIN));
      mpfr_set_z(qf, q, MPFR_RNDN);
      mpfr_div_z(r, qf, five, mode);
      mpfr_div_2ui(r, r, k, mode);
    } else {
      mpz_mul(q, q, five);
      mpz_mul_2exp(q, q, k);
      mpfr_set_z(r, q, mode);
    }
    return true;
  }

  // Huge intermediate integers: scale with 100 guard bits.
  ExpRange wide(mpfr_get_emin_min(), mpfr_get_emax_max());
  Mpfr p(px + 100), y(px + 100);
  mpfr_ui_pow_ui(p, 10, k, MPFR_RNDN);
  if (!mpfr_number_p(p)) {
    overflow_error("__round__() ndigits too large");
    return false;
  }
  if (n >= 0) mpfr_mul(y, x, p, mode);
  else mpfr_div(y, x, p, mode);
  mpfr_rint(y, y, mode);
  if (n >= 0) mpfr_div(y, y, p, mode);
  else mpfr_mul(y, y, p, mode);
  mpfr_set(r, y, mode);
  return true;
}

PyObject* mpfr_round_method(PyObject* x, PyObject* args) {
  if (PyTuple_GET_SIZE(args) == 0) {
    Own<CTXT_Object> ctx(current_context());
    if (!ctx) return nullptr;
    long v;
    bool inexact;
    if (machine_integer(mpfr_of(x), rnd(ctx->ctx), v, inexact)) return small_mpz(v);
    return reinterpret_cast<PyObject*>(int_from_mpfr<MPZ_Object>(mpfr_of(x), ctx.get()));
  }
  mpfr_srcptr f = mpfr_of(x);
  if (!mpfr_regular_p(f)) {
    Py_INCREF(x);
    return x;
  }
  long n = PyLong_AsLong(PyTuple_GET_ITEM(args, 0));
  if (n == -1 && PyErr_Occurred()) {
    PyErr_Clear();
    return requires_args("__round__", "'int' argument", PyTuple_GET_ITEM(args, 0));
  }
  Own<CTXT_Object> ctx(current_context());
  if (!ctx) return nullptr;
  if (range_empty(ctx->ctx)) return value_error(EMPTY_RANGE);
  const mpfr_prec_t px = mpfr_get_prec(f);
  MPFR_Object* r = new_mpfr(px, ctx.get());
  if (!r) return nullptr;
  Own<MPFR_Object> res(r);
  if (px < 2) mpfr_set_prec(r->f, px);  // the allocator reads 1 as "the context's"
  if (!round_decimal(r->f, f, n, rnd(ctx->ctx))) return nullptr;
  r->rc = 0;
  return res.release();
}

const FnDef rows[] = {
    noargs("__ceil__", mpfr_integral_method<MPFR_RNDU>, ON_MPFR, "Return the smallest integer not less than x, as an mpz.").typed("/", "mpz"),
    noargs("__floor__", mpfr_integral_method<MPFR_RNDD>, ON_MPFR, "Return the largest integer not greater than x, as an mpz.").typed("/", "mpz"),
    noargs("__trunc__", mpfr_integral_method<MPFR_RNDZ>, ON_MPFR, "Return x with its fractional part removed, as an mpz.").typed("/", "mpz"),
    one("ceil", f_integral<MPFR_RNDU>, MODULE_AND_CONTEXT, "Return the smallest integer not less than x, as an mpz.").typed("x: _Real, /", "mpz"),
    one("floor", f_integral<MPFR_RNDD>, MODULE_AND_CONTEXT, "Return the largest integer not greater than x, as an mpz.").typed("x: _Real, /", "mpz"),
    one("trunc", f_integral<MPFR_RNDZ>, MODULE_AND_CONTEXT, "Return x with its fractional part removed, as an mpz.").typed("x: _Real, /", "mpz"),
    varargs("__round__", mpfr_round_method, ON_MPFR, "Without ndigits, x rounded to an mpz with the context's rounding; with it, x rounded to\nndigits decimal places (ties to even under RoundToNearest), at the precision of x.") .typed("ndigits: None = None, / -> mpz; ndigits: int, / -> mpfr"),
};

}  // namespace

VX_UNIT(floating_round, rows)

}  // namespace vx
