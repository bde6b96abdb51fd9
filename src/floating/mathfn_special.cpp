// Members of the math-function family that test or read their arguments
// in their own way: steps to neighbours, range checks, scaling by powers
// of two, roots, rounding to a precision, square, factorial, degrees and
// radians, Bessel functions of integer order, and the complex-only members.
#include <algorithm>
#include <climits>
#include <cmath>

#include "floating/mathfn.h"
#include "core/registry.h"

namespace vx {

namespace {

using namespace mathfn;

using RealOwn = Own<MPFR_Object>;
using CplxOwn = Own<MPC_Object>;

// The real check run with `round` in place of the context's rounding; the
// context's flags receive what the check finds, its rounding never changes.
PyObject* check_with_round(RealOwn r, CTXT_Object* ctx, int round) noexcept {
  ContextRecord local = ctx->ctx;
  local.round = round;
  MPFR_Object* done = check_real(r.release_typed(), local);
  ContextRecord& c = ctx->ctx;
  c.underflow = local.underflow;
  c.overflow = local.overflow;
  c.inexact = local.inexact;
  c.invalid = local.invalid;
  c.erange = local.erange;
  c.divzero = local.divzero;
  return obj(done);
}

// x converted exactly, any conversion error replaced by the member's TypeError.
RealOwn real_or_refuse(PyObject* x, CTXT_Object* ctx, const char* name) noexcept {
  RealOwn v(exact_real(x, classify(x), ctx));
  if (!v) {
    PyErr_Clear();
    not_supported(name, x);
  }
  return v;
}

// A copy of x at x's own precision.
RealOwn copy_of(mpfr_srcptr x, CTXT_Object* ctx) noexcept {
  const mpfr_prec_t p = mpfr_get_prec(x);
  RealOwn r(new_mpfr(p < 2 ? 2 : p, ctx));
  if (!r) return r;
  if (p < 2) mpfr_set_prec(r->f, p);
  mpfr_set(r->f, x, MPFR_RNDN);
  return r;
}

template <bool Up>
PyObject* f_next(PyObject* self, PyObject* x) {
  const char* name = Up ? "next_above" : "next_below";
  Ctx cx = Ctx::of_self(self);
  CTXT_Object* ctx = cx.get();
  if (!ctx) return nullptr;
  RealOwn v = real_or_refuse(x, ctx, name);
  if (!v) return nullptr;
  RealOwn r = copy_of(v->f, ctx);
  if (!r) return nullptr;
  mpfr_clear_flags();
  if (Up)
    mpfr_nextabove(r->f);
  else
    mpfr_nextbelow(r->f);
  return check_with_round(std::move(r), ctx, Up ? RoundUp : RoundDown);
}

PyObject* f_next_toward(PyObject* self, PyObject* const* args, Py_ssize_t nargs) {
  if (!want_args(nargs, 2, Fn{"next_toward"})) return nullptr;
  Ctx cx = Ctx::of_self(self);
  CTXT_Object* ctx = cx.get();
  if (!ctx) return nullptr;
  RealOwn x = real_or_refuse(args[0], ctx, "next_toward");
  if (!x) return nullptr;
  RealOwn y = real_or_refuse(args[1], ctx, "next_toward");
  if (!y) return nullptr;
  RealOwn r = copy_of(x->f, ctx);
  if (!r) return nullptr;
  mpfr_clear_flags();
  mpfr_nexttoward(r->f, y->f);
  // The check rounds in the direction of the step, so that a value brought
  // back into a subnormal range still lies on the side of x it moved to.
  const int cmp = mpfr_cmp(r->f, x->f);
  const int round = cmp > 0 ? RoundUp : cmp < 0 ? RoundDown : ctx->ctx.round;
  mpfr_clear_erangeflag();  // comparing with a NaN is not a finding of this call
  return check_with_round(std::move(r), ctx, round);
}

PyObject* f_check_range(PyObject* self, PyObject* x) {
  if (!is_mpfr(x)) return types_not_supported("check_range", &x, 1);
  Ctx cx = Ctx::of_self(self);
  CTXT_Object* ctx = cx.get();
  if (!ctx) return nullptr;
  RealOwn r = copy_of(mpfr_of(x), ctx);
  if (!r) return nullptr;
  mpfr_clear_flags();
  return obj(check_real(r.release_typed(), ctx));
}

// ---- scaling by powers of two ----

template <bool Mul>
PyObject* f_scale_2exp(PyObject* self, PyObject* const* args, Py_ssize_t nargs) {
  const char* name = Mul ? "mul_2exp" : "div_2exp";
  if (!want_args(nargs, 2, Fn{name}))
    return nullptr;
  Ctx cx = Ctx::of_self(self);
  CTXT_Object* ctx = cx.get();
  if (!ctx) return nullptr;
  PyObject* x = args[0];
  const bool real = real_arg(x);
  if (!real && !complex_arg(x)) return not_supported(name, x);
  const int kn = classify(args[1]);
  bool is_signed = false;
  long sn = 0;
  unsigned long un = read_ulong(args[1], kn);
  if (un == static_cast<unsigned long>(-1) && PyErr_Occurred()) {
    PyErr_Clear();
    sn = read_long(args[1], kn);
    if (sn == -1 && PyErr_Occurred()) return nullptr;
    is_signed = true;
  }
  const int kx = classify(x);
  if (real) {
    RealOwn v(exact_real(x, kx, ctx));
    if (!v) return nullptr;
    return real_result(ctx, 0, [&](mpfr_ptr r, mpfr_rnd_t m) {
      if (is_signed) return Mul ? mpfr_mul_2si(r, v->f, sn, m) : mpfr_div_2si(r, v->f, sn, m);
      return Mul ? mpfr_mul_2ui(r, v->f, un, m) : mpfr_div_2ui(r, v->f, un, m);
    });
  }
  CplxOwn v(exact_complex(x, kx, ctx));
  if (!v) return nullptr;
  return complex_result(ctx, [&](mpc_ptr r, mpc_rnd_t m) {
    if (is_signed) return Mul ? mpc_mul_2si(r, v->c, sn, m) : mpc_div_2si(r, v->c, sn, m);
    return Mul ? mpc_mul_2ui(r, v->c, un, m) : mpc_div_2ui(r, v->c, un, m);
  });
}

// ---- roots ----

// root keeps the sign of a zero argument (root(-0, n) is -0); rootn follows
// MPFR (rootn(-0, even n) is +0).
template <bool KeepZero>
PyObject* f_root(PyObject* self, PyObject* const* args, Py_ssize_t nargs) {
  const char* name = KeepZero ? "root" : "rootn";
  if (!want_args(nargs, 2, Fn{name})) return nullptr;
  Ctx cx = Ctx::of_self(self);
  CTXT_Object* ctx = cx.get();
  if (!ctx) return nullptr;
  if (!real_arg(args[0]) || !PyLong_Check(args[1])) return not_supported(name, args, nargs);
  RealOwn r(new_mpfr(0, ctx));
  if (!r) return nullptr;
  RealOwn x(exact_real(args[0], classify(args[0]), ctx));
  if (!x) return nullptr;
  const unsigned long n = PyLong_AsUnsignedLong(args[1]);
  if (n == static_cast<unsigned long>(-1) && PyErr_Occurred())
    return argument_needs(args[1], name, "a root index n from 0 to 2**64 - 1");
  mpfr_clear_flags();
  if (KeepZero && mpfr_zero_p(x->f)) {
    mpfr_set(r->f, x->f, rnd(ctx->ctx));
    r->rc = 0;
  } else {
    r->rc = mpfr_rootn_ui(r->f, x->f, n, rnd(ctx->ctx));
  }
  return obj(check_real(r.release_typed(), ctx));
}

PyObject* f_root_of_unity(PyObject* self, PyObject* const* args, Py_ssize_t nargs) {
  if (!want_args(nargs, 2, Fn{"root_of_unity"})) return nullptr;
  Ctx cx = Ctx::of_self(self);
  CTXT_Object* ctx = cx.get();
  if (!ctx) return nullptr;
  if (!integer_arg(args[0]) || !integer_arg(args[1]))
    return requires_args("root_of_unity", "integer arguments", args, nargs);
  CplxOwn r(new_mpc(0, 0, ctx));
  if (!r) return nullptr;
  const unsigned long n = read_ulong(args[0], classify(args[0]));
  const bool bad_n = n == static_cast<unsigned long>(-1) && PyErr_Occurred();
  const unsigned long k = bad_n ? 0 : read_ulong(args[1], classify(args[1]));
  const bool bad_k = !bad_n && k == static_cast<unsigned long>(-1) && PyErr_Occurred();
  if (bad_n || bad_k) {
    PyErr_Clear();
    return value_error("root_of_unity() requires positive integer arguments.");
  }
  r->rc = mpc_rootofunity(r->c, n, k, crnd(ctx->ctx));
  return obj(check_complex(r.release_typed(), ctx));
}

// ---- rounding to a precision ----

PyObject* f_round2(PyObject* self, PyObject* const* args, Py_ssize_t nargs) {
  if (!want_args_range(nargs, 1, 2, Fn{"round2"})) return nullptr;
  Ctx cx = Ctx::of_self(self);
  CTXT_Object* ctx = cx.get();
  if (!ctx) return nullptr;
  if (!real_arg(args[0]) || (nargs == 2 && !PyLong_Check(args[1]))) return not_supported("round2", args, nargs);
  long n = 0;
  if (nargs == 2) {
    n = PyLong_AsLong(args[1]);
    if (n == -1 && PyErr_Occurred()) PyErr_Clear();
  }
  if (n == 0) n = static_cast<long>(ctx->ctx.precision);
  if (n < 1 || n > PREC_MAX) return value_error("invalid precision");
  RealOwn x(exact_real(args[0], classify(args[0]), ctx));
  if (!x) return nullptr;
  // x rounded to n bits, into a result of precision n (allocated through the
  // allocator, which refuses a precision too large to store).
  RealOwn r(new_mpfr(n < 2 ? 2 : n, ctx));
  if (!r) return nullptr;
  if (n < 2) mpfr_set_prec(r->f, n);
  mpfr_clear_flags();
  r->rc = mpfr_set(r->f, x->f, rnd(ctx->ctx));
  return obj(check_real(r.release_typed(), ctx));
}

// ---- square ----

bool square_fits(mpz_srcptr z) noexcept { return 2 * mpz_size(z) < static_cast<size_t>(INT_MAX) - 1; }

PyObject* square_mpz(mpz_srcptr z) noexcept {
  if (!square_fits(z)) return memory_error();
  Own<MPZ_Object> r(new_mpz());
  if (r) mpz_mul(r->z, z, z);
  return r.release();
}
PyObject* square_mpq(mpq_srcptr q) noexcept {
  if (!square_fits(mpq_numref(q)) || !square_fits(mpq_denref(q))) return memory_error();
  Own<MPQ_Object> r(new_mpq());
  if (r) mpq_mul(r->q, q, q);
  return r.release();
}
PyObject* square_real(mpfr_srcptr x, CTXT_Object* ctx) noexcept {
  return real_result(ctx, 0, [x](mpfr_ptr r, mpfr_rnd_t m) { return mpfr_sqr(r, x, m); });
}
PyObject* square_complex(mpc_srcptr x, CTXT_Object* ctx) noexcept {
  return complex_result(ctx, [x](mpc_ptr r, mpc_rnd_t m) { return mpc_sqr(r, x, m); });
}

PyObject* f_square(PyObject* self, PyObject* x) {
  Ctx cx = Ctx::of_self(self);
  if (is_mpz(x)) return square_mpz(mpz_of(x));
  if (is_mpq(x)) return square_mpq(mpq_of(x));
  CTXT_Object* ctx = cx.get();
  if (!ctx) return nullptr;
  if (is_mpfr(x)) return square_real(mpfr_of(x), ctx);
  if (is_mpc(x)) return square_complex(mpc_of(x), ctx);
  if (integer_arg(x)) {
    Own<MPZ_Object> z(to_mpz(x, classify(x)));
    return z ? square_mpz(z->z) : nullptr;
  }
  if (rational_arg(x)) {
    Own<MPQ_Object> q(to_mpq(x, classify(x)));
    return q ? square_mpq(q->q) : nullptr;
  }
  if (real_arg(x)) {
    RealOwn v(exact_real(x, classify(x), ctx));
    return v ? square_real(v->f, ctx) : nullptr;
  }
  if (complex_arg(x)) {
    CplxOwn v(exact_complex(x, classify(x), ctx));
    return v ? square_complex(v->c, ctx) : nullptr;
  }
  return not_supported("square", x);
}

// ---- factorial, degrees, radians ----

PyObject* f_factorial(PyObject* self, PyObject* n) {
  Ctx cx = Ctx::of_self(self);
  CTXT_Object* ctx = cx.get();
  if (!ctx) return nullptr;
  const unsigned long v = read_ulong(n, classify(n));
  if (v == static_cast<unsigned long>(-1) && PyErr_Occurred()) return nullptr;
  // From here on the factorial exceeds every exponent MPFR can represent.
  constexpr unsigned long first_overflow = 44787928;
  return real_result(ctx, 0, [v](mpfr_ptr r, mpfr_rnd_t m) {
    if (v < first_overflow) return mpfr_fac_ui(r, v, m);
    mpfr_set_inf(r, 1);
    mpfr_set_overflow();
    return 1;
  });
}

// x * 180/pi or x * pi/180, rounded to nearest whatever the context's rounding.
template <bool ToDegrees>
PyObject* f_angle(PyObject* self, PyObject* x) {
  Ctx cx = Ctx::of_self(self);
  CTXT_Object* ctx = cx.get();
  if (!ctx) return nullptr;
  RealOwn v(exact_real(x, classify(x), ctx));
  if (!v) return nullptr;
  RealOwn r(new_mpfr(0, ctx));
  if (!r) return nullptr;
  const mpfr_prec_t p = ctx->ctx.precision;
  if (p > PREC_MAX - 100) return memory_error();
  Mpfr t(p + 100);
  mpfr_const_pi(t, MPFR_RNDN);
  if (ToDegrees)
    mpfr_ui_div(t, 180, t, MPFR_RNDN);
  else
    mpfr_div_ui(t, t, 180, MPFR_RNDN);
  mpfr_clear_flags();
  r->rc = mpfr_mul(r->f, t, v->f, MPFR_RNDN);
  return obj(check_real(r.release_typed(), ctx));
}

// ---- Bessel functions of integer order ----

constexpr long YN_MAX_ORDER = 1L << 14;

template <bool First>
PyObject* f_bessel_n(PyObject* self, PyObject* const* args, Py_ssize_t nargs) {
  const char* name = First ? "jn" : "yn";
  if (!want_args(nargs, 2, Fn{name})) return nullptr;
  Ctx cx = Ctx::of_self(self);
  CTXT_Object* ctx = cx.get();
  if (!ctx) return nullptr;
  const int kn = classify(args[0]), kx = classify(args[1]);
  if (!is_integer_kind(kn) || !is_real_kind(kx))
    return refused(name, "argument types not supported. Note that the argument order for jn() and yn() has changed to "
                   "(int, mpfr) instead of (mpfr,int).", args, nargs);
  const long n = read_long(args[0], kn);
  if (n == -1 && PyErr_Occurred()) return nullptr;
  // MPFR's Bessel function of the second kind takes time growing faster
  // than the square of the order (half a minute at 10**4) and aborts the
  // process on a failed allocation near 10**6.
  if (!First && (n > YN_MAX_ORDER || n < -YN_MAX_ORDER)) return value_error("yn() order too large");
  RealOwn x(exact_real(args[1], kx, ctx));
  if (!x) return nullptr;
  // Between |x| = 2**15 (2**12 for yn) and about n**2, MPFR sums its series
  // at a precision growing with |x|: seconds for jn(2**10, 2.0**16) or
  // yn(2**10, 2.0**13), hours beyond, and an allocation that aborts the
  // process for larger orders (jn(2**30, 2.0**53)). From n**2 on its
  // asymptotic expansion answers at once, and below |n| / 2**12 it finds
  // the value underflowing.
  if (mpfr_number_p(x->f) && mpfr_cmpabs_ui(x->f, First ? 1UL << 15 : 1UL << 12) > 0) {
    const double order = std::fabs(static_cast<double>(n)), ax = std::fabs(mpfr_get_d(x->f, MPFR_RNDZ));
    if (ax < order * order && ax > order / 4096) return fn_error(PyExc_ValueError, name, "argument too large");
  }
  // J(-n, x) = (-1)**n J(n, x), and Y likewise. MPFR works on a negative
  // order with a large x at a precision it cannot allocate (jn(-66, 2.0**53)
  // aborted the process) or for hours (yn(-3, 1e20)): the order is made
  // positive, and for an odd one the value rounded the other way is negated.
  // (MPFR's value at an infinity is +0 for every order, kept.)
  const bool negate = n < 0 && n != LONG_MIN && (n & 1) && mpfr_number_p(x->f);
  const long k = n < 0 && n != LONG_MIN ? -n : n;
  return real_result(ctx, 0, [&](mpfr_ptr r, mpfr_rnd_t m) {
    const mpfr_rnd_t mode = !negate ? m : m == MPFR_RNDU ? MPFR_RNDD : m == MPFR_RNDD ? MPFR_RNDU : m;
    const int rc = First ? mpfr_jn(r, k, x->f, mode) : mpfr_yn(r, k, x->f, mode);
    if (!negate) return rc;
    mpfr_neg(r, r, MPFR_RNDN);  // exact
    return -rc;
  });
}

// ---- upper incomplete gamma ----

// MPFR's upper incomplete gamma works at a precision growing with x: at
// 53 bits x = 10**3 takes a tenth of a second, 10**4 half a minute, and
// larger x (up to where exp(-x) underflows, near 7 * 10**8) practically
// forever, beyond the reach of an interrupt. Such arguments are refused.
constexpr double GAMMA_INC_LIMIT = 4096;
// a is bounded too when x > 0 (a zero, negative or infinite x is answered at
// once). From a = 2**56 on MPFR aborts the process (an overflow inside it;
// the value overflows every exponent range from about there on); a negative
// a costs time in proportion to |a| (a second for -2**20), and an a near
// zero time growing fast as its exponent falls (seconds from 2**-1100 with
// x = 4096, minutes from 2**-8000).
constexpr double GAMMA_INC_A_MAX = 0x1p55;
constexpr long GAMMA_INC_A_MIN = -(1L << 20);
constexpr mpfr_exp_t GAMMA_INC_A_EXP_MIN = -1100;

bool gamma_inc_a_refused(mpfr_srcptr a, mpfr_srcptr x) noexcept {
  if (!mpfr_regular_p(a) || !mpfr_regular_p(x) || mpfr_sgn(x) < 0) return false;
  return mpfr_cmp_d(a, GAMMA_INC_A_MAX) > 0 || mpfr_cmp_si(a, GAMMA_INC_A_MIN) < 0 ||
         mpfr_get_exp(a) < GAMMA_INC_A_EXP_MIN;
}

PyObject* f_gamma_inc(PyObject* self, PyObject* const* args, Py_ssize_t nargs) {
  if (!want_args(nargs, 2, "gamma_inc() requires 2 arguments")) return nullptr;
  Ctx cx = Ctx::of_self(self);
  CTXT_Object* ctx = cx.get();
  if (!ctx) return nullptr;
  RealOwn a, x;
  if (!exact_reals(args, "gamma_inc", ctx, a, x)) return nullptr;
  if ((mpfr_number_p(x->f) && mpfr_cmpabs_ui(x->f, static_cast<unsigned long>(GAMMA_INC_LIMIT)) > 0) ||
      gamma_inc_a_refused(a->f, x->f))
    return value_error("gamma_inc() argument too large");
  return real_result(ctx, 0, [&](mpfr_ptr r, mpfr_rnd_t m) { return mpfr_gamma_inc(r, a->f, x->f, m); });
}

// ---- Airy function ----

// MPFR sums a power series whose working precision and length grow like
// |x|**1.5: beyond about a thousand it runs for minutes, and near 10**5 its
// allocations fail and the process aborts. Far out on the positive axis the
// value is known to underflow, Ai(x) < exp(-2/3 x**1.5); elsewhere such
// arguments are refused.
constexpr double AI_LIMIT = 1024;

PyObject* f_ai(PyObject* self, PyObject* x) {
  Ctx cx = Ctx::of_self(self);
  CTXT_Object* ctx = cx.get();
  if (!ctx) return nullptr;
  const int kind = classify(x);
  if (!is_real_kind(kind)) return not_supported("ai", x);
  RealOwn v(exact_real(x, kind, ctx));
  if (!v) return nullptr;
  const bool far = mpfr_number_p(v->f) && mpfr_cmpabs_ui(v->f, static_cast<unsigned long>(AI_LIMIT)) > 0;
  if (!far) return real_result(ctx, 0, [&](mpfr_ptr r, mpfr_rnd_t m) { return mpfr_ai(r, v->f, m); });
  // The smallest exponent a result may have, in MPFR and in the context.
  const mpfr_exp_t emin = std::max<mpfr_exp_t>(mpfr_get_emin(), ctx->ctx.emin);
  const double xd = mpfr_get_d(v->f, MPFR_RNDZ);
  const double log2_bound = 2.0 / 3.0 * xd * std::sqrt(std::fabs(xd)) * 1.4426950408889634;
  if (xd < 0 || log2_bound <= (2.0 - static_cast<double>(emin)) * (1 + 1e-9))
    return value_error("ai() argument too large");
  // Any positive value below half the smallest positive number rounds like
  // Ai(x): 2**(emin-2), known to lie above Ai(x), underflows in MPFR or in
  // the check.
  return real_result(ctx, 0, [&](mpfr_ptr r, mpfr_rnd_t m) {
    const int t = mpfr_set_ui_2exp(r, 1, emin - 2, m);
    return t ? t : 1;
  });
}

// ---- complex-only members and rect ----

CplxOwn complex_only_operand(PyObject* x, CTXT_Object* ctx, const char* name) noexcept {
  if (!vx::complex_only_arg(x)) {
    not_supported(name, x);
    return CplxOwn();
  }
  return CplxOwn(exact_complex(x, classify(x), ctx));
}

// norm and phase: one real value of a complex argument.
template <int (*F)(mpfr_ptr, mpc_srcptr, mpfr_rnd_t)>
PyObject* f_complex_to_real(PyObject* self, PyObject* x, const char* name) {
  Ctx cx = Ctx::of_self(self);
  CTXT_Object* ctx = cx.get();
  if (!ctx) return nullptr;
  CplxOwn v = complex_only_operand(x, ctx, name);
  if (!v) return nullptr;
  return real_result(ctx, 0, [&](mpfr_ptr r, mpfr_rnd_t m) { return F(r, v->c, m); });
}

PyObject* f_norm(PyObject* self, PyObject* x) { return f_complex_to_real<mpc_norm>(self, x, "norm"); }
PyObject* f_phase(PyObject* self, PyObject* x) { return f_complex_to_real<mpc_arg>(self, x, "phase"); }

PyObject* f_proj(PyObject* self, PyObject* x) {
  Ctx cx = Ctx::of_self(self);
  CTXT_Object* ctx = cx.get();
  if (!ctx) return nullptr;
  CplxOwn v = complex_only_operand(x, ctx, "proj");
  if (!v) return nullptr;
  return complex_result(ctx, [&](mpc_ptr r, mpc_rnd_t m) { return mpc_proj(r, v->c, m); });
}

PyObject* f_polar(PyObject* self, PyObject* x) {
  Ctx cx = Ctx::of_self(self);
  CTXT_Object* ctx = cx.get();
  if (!ctx) return nullptr;
  CplxOwn v = complex_only_operand(x, ctx, "polar");
  if (!v) return nullptr;
  Ref a = Ref::steal(real_result(ctx, 0, [&](mpfr_ptr r, mpfr_rnd_t m) { return mpc_abs(r, v->c, m); }));
  if (!a) return nullptr;
  Ref p = Ref::steal(real_result(ctx, 0, [&](mpfr_ptr r, mpfr_rnd_t m) { return mpc_arg(r, v->c, m); }));
  if (!p) return nullptr;
  return PyTuple_Pack(2, a.get(), p.get());
}

// r * cos(phi) in `part`: the cosine (or sine) rounded, then the product.
// The ternary value is the product's, or when the product is exact the
// direction in which the rounded cosine (or sine) moved it.
int rect_part(mpfr_ptr part, mpfr_srcptr r, mpfr_srcptr phi, bool cosine, mpfr_rnd_t m) noexcept {
  const int t1 = cosine ? mpfr_cos(part, phi, m) : mpfr_sin(part, phi, m);
  const int t2 = mpfr_mul(part, part, r, m);
  if (t2 || !t1 || mpfr_zero_p(part) || !mpfr_number_p(part)) return t2;
  return mpfr_sgn(r) < 0 ? -t1 : t1;
}

PyObject* f_rect(PyObject* self, PyObject* const* args, Py_ssize_t nargs) {
  if (!want_args(nargs, 2, Fn{"rect"})) return nullptr;
  Ctx cx = Ctx::of_self(self);
  CTXT_Object* ctx = cx.get();
  if (!ctx) return nullptr;
  if (!real_arg(args[0]) || !real_arg(args[1])) return not_supported("rect", args, nargs);
  RealOwn r(exact_real(args[0], classify(args[0]), ctx));
  if (!r) return nullptr;
  RealOwn phi(exact_real(args[1], classify(args[1]), ctx));
  if (!phi) return nullptr;
  CplxOwn c(new_mpc(0, 0, ctx));
  if (!c) return nullptr;
  const ContextRecord& rec = ctx->ctx;
  const int tr = rect_part(mpc_realref(c->c), r->f, phi->f, true, static_cast<mpfr_rnd_t>(real_round(rec)));
  const int ti = rect_part(mpc_imagref(c->c), r->f, phi->f, false, static_cast<mpfr_rnd_t>(imag_round(rec)));
  c->rc = MPC_INEX(tr, ti);
  return obj(check_complex(c.release_typed(), ctx));
}

const FnDef rows[] = {
    one("next_above", f_next<true>, MODULE_AND_CONTEXT, "Return the next representable number of x's precision above x, toward +Inf.") .typed("x: _Real, /", "mpfr"),
    one("next_below", f_next<false>, MODULE_AND_CONTEXT, "Return the next representable number of x's precision below x, toward -Inf.") .typed("x: _Real, /", "mpfr"),
    fast("next_toward", f_next_toward, MODULE_AND_CONTEXT, "Return the next representable number of x's precision after x in the direction of y.").typed("x: _Real, y: _Real, /", "mpfr"),
    one("check_range", f_check_range, MODULE_AND_CONTEXT, "Return x with the context's exponent range and subnormalization applied.") .typed("x: mpfr, /", "mpfr"),
    fast("div_2exp", f_scale_2exp<false>, MODULE_AND_CONTEXT, "Return x / 2**n.") .typed("x: _Real, n: _Real, /", "mpfr | mpc"),
    fast("mul_2exp", f_scale_2exp<true>, MODULE_AND_CONTEXT, "Return x * 2**n.") .typed("x: _Real, n: _Real, /", "mpfr | mpc"),
    fast("root", f_root<true>, MODULE_AND_CONTEXT, "Return the n-th root of x; the root of a zero keeps the zero's sign.") .typed("x: _Real, n: _Real, /", "mpfr"),
    fast("rootn", f_root<false>, MODULE_AND_CONTEXT, "Return the n-th root of x; rootn(-0, n) is +0 for even n, as IEEE 754 rootn.") .typed("x: _Real, n: _Real, /", "mpfr"),
    fast("root_of_unity", f_root_of_unity, MODULE_AND_CONTEXT, "Return the n-th root of unity exp(2*pi*i*k/n).") .typed("n: _Real, k: _Real, /", "mpc"),
    fast("round2", f_round2, MODULE_AND_CONTEXT, "Return x rounded to n bits, with precision n; n = 0 means the context's precision.").typed("x: _Real, n: _Real = 0, /", "mpfr"),
    one("square", f_square, MODULE_AND_CONTEXT, "Return x * x; exact for integers and rationals.") .typed("x: _Num, /", "mpz | mpq | mpfr | mpc"),
    one("factorial", f_factorial, MODULE_AND_CONTEXT, "Return the floating-point approximation of the factorial of n.") .typed("n: _Real, /", "mpfr"),
    one("degrees", f_angle<true>, MODULE_AND_CONTEXT, "Convert angle x from radians to degrees (rounded to nearest).") .typed("x: _Real, /", "mpfr"),
    one("radians", f_angle<false>, MODULE_AND_CONTEXT, "Convert angle x from degrees to radians (rounded to nearest).") .typed("x: _Real, /", "mpfr"),
    fast("jn", f_bessel_n<true>, MODULE_AND_CONTEXT, "Return the first kind Bessel function of order n of x.") .typed("n: _Real, x: _Real, /", "mpfr"),
    fast("yn", f_bessel_n<false>, MODULE_AND_CONTEXT, "Return the second kind Bessel function of order n of x.").typed("n: _Real, x: _Real, /", "mpfr"),
    fast("gamma_inc", f_gamma_inc, MODULE_AND_CONTEXT, "Return the upper incomplete gamma of (a, x) (abs(x) up to 4096).").typed("a: _Real, x: _Real, /", "mpfr"),
    one("ai", f_ai, MODULE_AND_CONTEXT, "Return the Airy function of x (abs(x) up to 1024; larger positive x where the result underflows).").typed("x: _Real, /", "mpfr"),
    one("norm", f_norm, MODULE_AND_CONTEXT, "Return the norm of the complex x: the square of its absolute value.") .typed("x: _Num, /", "mpfr"),
    one("phase", f_phase, MODULE_AND_CONTEXT, "Return the phase angle (argument) of the complex x.") .typed("x: _Num, /", "mpfr"),
    one("proj", f_proj, MODULE_AND_CONTEXT, "Return the projection of the complex x on the Riemann sphere.").typed("x: _Num, /", "mpc"),
    one("polar", f_polar, MODULE_AND_CONTEXT, "Return the polar coordinates (abs(x), phase(x)) of the complex x.") .typed("x: _Num, /", "tuple[mpfr, mpfr]"),
    fast("rect", f_rect, MODULE_AND_CONTEXT, "Return the complex number with modulus r and phase phi.") .typed("r: _Real, phi: _Real, /", "mpc"),
};

}  // namespace

VX_UNIT(floating_mathfn_special, rows)

}  // namespace vx
