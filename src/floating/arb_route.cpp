// The Arb route of the math functions (see arb_route.h): a Ziv loop over
// Arb's ball evaluations, and one rule per served row saying which
// arguments Arb takes (the rest, special values and exact cases above all,
// stay with MPFR or MPC) and how Arb evaluates the function.
#include "floating/arb_route.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdlib>
#include <cstdint>
#include <cstring>

#if VEXA2_HAVE_ARB
#if VEXA2_ARB_FLINT3
#include <flint/acb.h>
#include <flint/arb.h>
#include <flint/arb_hypgeom.h>
#else
#include <acb.h>
#include <arb.h>
#include <arb_hypgeom.h>
#endif
#endif

namespace vx::arb_route {

namespace {
// Switched off by VEXA2_MATH_ROUTE=mpfr at import or by the private
// _math_route("mpfr"); read relaxed, as any thread may switch it.
std::atomic<bool> route_on{true};
}  // namespace

void set_active(bool on) noexcept { route_on.store(on, std::memory_order_relaxed); }

#if !VEXA2_HAVE_ARB

struct Rule {};
struct ComplexRule {};
const Rule* find(const char*) noexcept { return nullptr; }
const ComplexRule* find_complex(const char*) noexcept { return nullptr; }
bool active() noexcept { return false; }
const char* route_name() noexcept { return "mpfr"; }
bool built_with_arb() noexcept { return false; }
void free_cache() noexcept {}
bool try1(const Rule*, mpfr_ptr, mpfr_srcptr, mpfr_rnd_t, int&) noexcept { return false; }
bool try2(const Rule*, mpfr_ptr, mpfr_srcptr, mpfr_srcptr, mpfr_rnd_t, int&) noexcept { return false; }
bool try_complex(const ComplexRule*, mpc_ptr, mpc_srcptr, mpc_rnd_t, int&) noexcept { return false; }

#else

using Eval1 = void (*)(arb_ptr, arb_srcptr, slong);
using Eval2 = void (*)(arb_ptr, arb_srcptr, arb_srcptr, slong);
using Take1 = bool (*)(mpfr_srcptr, mpfr_prec_t);
using Take2 = bool (*)(mpfr_srcptr, mpfr_srcptr, mpfr_prec_t);

struct Rule {
  const char* name;
  Eval1 e1;
  Take1 t1;
  Eval2 e2;
  Take2 t2;
};

using EvalComplex = void (*)(acb_ptr, acb_srcptr, slong);
using TakeComplex = bool (*)(mpc_srcptr, mpfr_prec_t);
struct ComplexRule {
  const char* name;
  EvalComplex e;
  TakeComplex t;
};

namespace {

// ---- Arb's per-thread state ----

// Arb keeps caches (constants, tables) per thread, freed when the thread
// that filled them ends; the route keeps its balls per thread too, so that
// a call allocates nothing once their limbs have grown.
struct ThreadState {
  bool used = false;
  arb_t arg1, arg2, value;
  acb_t carg, cvalue;
  ThreadState() noexcept {
    arb_init(arg1);
    arb_init(arg2);
    arb_init(value);
    acb_init(carg);
    acb_init(cvalue);
  }
  ~ThreadState() {
    arb_clear(arg1);
    arb_clear(arg2);
    arb_clear(value);
    acb_clear(carg);
    acb_clear(cvalue);
    if (used) flint_cleanup();
  }
  ThreadState(const ThreadState&) = delete;
  ThreadState& operator=(const ThreadState&) = delete;
  // After a call at a great precision the limbs are given back.
  void trim(slong wp) noexcept {
    if (wp <= KEEP_BITS) return;
    for (arb_ptr b : {arg1, arg2, value, acb_realref(carg), acb_imagref(carg), acb_realref(cvalue),
                      acb_imagref(cvalue)}) {
      arb_clear(b);
      arb_init(b);
    }
  }
  static constexpr slong KEEP_BITS = 1 << 15;
};
thread_local ThreadState state;

class Ball {
 public:
  Ball() noexcept { arb_init(v); }
  ~Ball() { arb_clear(v); }
  Ball(const Ball&) = delete;
  Ball& operator=(const Ball&) = delete;
  arb_t v;
};

class Float {
 public:
  Float() noexcept { arf_init(v); }
  ~Float() { arf_clear(v); }
  Float(const Float&) = delete;
  Float& operator=(const Float&) = delete;
  arf_t v;
};

// An exact ball of an MPFR number.
void set_exact(arb_ptr b, mpfr_srcptr x) noexcept {
  arf_set_mpfr(arb_midref(b), x);
  mag_zero(arb_radref(b));
}

// ---- rounding a ball ----

enum : int { UNSURE = 2, GIVE_UP = 3 };

// k bits (1 <= k <= 60) of the mantissa d[0..n) (most significant limb
// last) from bit `from` on, counted from the leading bit (0); bits past the
// end are 0.
static_assert(GMP_NUMB_BITS == 64, "64-bit limbs");
uint64_t mantissa_bits(mp_srcptr d, mp_size_t n, slong from, int k) noexcept {
  const slong top = n - 1 - from / GMP_NUMB_BITS;
  if (top < 0) return 0;
  const int o = static_cast<int>(from % GMP_NUMB_BITS);
  uint64_t w = static_cast<uint64_t>(d[top]) << o;
  if (o != 0 && top > 0) w |= static_cast<uint64_t>(d[top - 1]) >> (GMP_NUMB_BITS - o);
  return w >> (64 - k);
}

// The rounding of the ball y to r's precision p with mode m when it is
// settled: its ternary value (-1 or 1), r holding it. The ball must hold no
// number of p bits (for rounding to nearest, none of p + 1 bits, which
// takes in the midpoints): then every point of it rounds to the same number
// as the midpoint, from the same side. The midpoint's bits after the first
// q (p or p + 1) tell: with the radius below 2**(e - q - k), the k bits
// after the q-th one may be neither all zeros nor all ones. UNSURE when a
// narrower ball may settle it, GIVE_UP when the result is for MPFR (near
// the ends of MPFR's exponent range).
int round_ball(arb_srcptr y, mpfr_ptr r, mpfr_rnd_t m) noexcept {
  const arf_struct* mid = arb_midref(y);
  const mag_struct* rad = arb_radref(y);
  if (arf_is_special(mid) || mag_is_inf(rad)) return UNSURE;
  if (COEFF_IS_MPZ(ARF_EXP(mid))) return GIVE_UP;
  // |mid| lies in [2**(e-1), 2**e).
  const slong e = ARF_EXP(mid);
  if (e > mpfr_get_emax() - 2 || e <= mpfr_get_emin() + 3) return GIVE_UP;
  const slong q = static_cast<slong>(mpfr_get_prec(r)) + (m == MPFR_RNDN ? 1 : 0);
  slong k = 60;
  if (!mag_is_zero(rad)) {
    if (COEFF_IS_MPZ(MAG_EXP(rad))) return UNSURE;
    // rad < 2**MAG_EXP(rad)
    k = std::min<slong>(k, e - q - MAG_EXP(rad));
    if (k < 2) return UNSURE;
  }
  mp_srcptr d;
  mp_size_t n;
  ARF_GET_MPN_READONLY(d, n, mid);
  const uint64_t h = mantissa_bits(d, n, q, static_cast<int>(k));
  if (h == 0 || h == (uint64_t{1} << k) - 1) return UNSURE;
  const int t = arf_get_mpfr(r, mid, m);
  return t < 0 ? -1 : t > 0 ? 1 : UNSURE;
}

// The Ziv loop: eval(y, wp) at rising working precisions, a few rounds.
template <class Eval>
bool ziv(mpfr_ptr r, mpfr_rnd_t m, int& rc, Eval&& eval) noexcept {
  const slong p = mpfr_get_prec(r);
  const mpfr_flags_t saved = mpfr_flags_save();
  state.used = true;
  arb_ptr y = state.value;
  slong wp = p + 10;
  int t = UNSURE;
  for (int round = 0; round < 3; ++round) {
    eval(y, wp);
    t = round_ball(y, r, m);
    if (t != UNSURE) break;
    wp = round == 0 ? wp + 40 + p / 8 : 2 * wp;
  }
  state.trim(wp);
  if (t == 1 || t == -1) {
    // The MPFR routine raises only "inexact" for such a result.
    mpfr_flags_restore(saved | MPFR_FLAGS_INEXACT, MPFR_FLAGS_ALL);
    rc = t;
    return true;
  }
  mpfr_flags_restore(saved, MPFR_FLAGS_ALL);
  return false;
}

// The Ziv loop of a complex result: each part rounded with its own mode
// once its ball settles it (a part settled in an earlier round is kept).
template <class Eval>
bool ziv_complex(mpc_ptr r, mpc_rnd_t m, int& rc, Eval&& eval) noexcept {
  mpfr_ptr re = mpc_realref(r), im = mpc_imagref(r);
  const slong p = std::max(mpfr_get_prec(re), mpfr_get_prec(im));
  const mpfr_flags_t saved = mpfr_flags_save();
  state.used = true;
  acb_ptr y = state.cvalue;
  slong wp = p + 10;
  int t_re = UNSURE, t_im = UNSURE;
  for (int round = 0; round < 3; ++round) {
    eval(y, wp);
    if (t_re == UNSURE) t_re = round_ball(acb_realref(y), re, MPC_RND_RE(m));
    if (t_im == UNSURE) t_im = round_ball(acb_imagref(y), im, MPC_RND_IM(m));
    if (t_re == GIVE_UP || t_im == GIVE_UP || (t_re != UNSURE && t_im != UNSURE)) break;
    wp = round == 0 ? wp + 40 + p / 8 : 2 * wp;
  }
  state.trim(wp);
  if ((t_re == 1 || t_re == -1) && (t_im == 1 || t_im == -1)) {
    mpfr_flags_restore(saved | MPFR_FLAGS_INEXACT, MPFR_FLAGS_ALL);
    rc = MPC_INEX(t_re, t_im);
    return true;
  }
  mpfr_flags_restore(saved, MPFR_FLAGS_ALL);
  return false;
}

// ---- argument rules ----

inline mpfr_exp_t ex(mpfr_srcptr x) noexcept { return mpfr_get_exp(x); }
// Below this size f(x) = x + O(x**3) (or 1 + O(x**2)) is too close to a
// representable number for a ball at the working precision: MPFR's own
// shortcuts for small arguments take it.
inline bool tiny(mpfr_srcptr x, mpfr_prec_t p) noexcept { return ex(x) < -(p / 2) - 8; }
inline bool is_int(mpfr_srcptr x) noexcept { return mpfr_integer_p(x); }
// |x| below sqrt(c * p + 16): beyond it f(x) lies within the working
// precision of a representable limit (erf -> 1, tanh -> 1).
inline bool below_sqrt_limit(mpfr_srcptr x, mpfr_prec_t p, double c) noexcept {
  if (ex(x) > 40) return false;
  const double v = std::fabs(mpfr_get_d(x, MPFR_RNDZ));
  return v * v < c * static_cast<double>(p) + 16;
}
inline bool below_limit(mpfr_srcptr x, mpfr_prec_t p, double c) noexcept {
  return ex(x) <= 40 && std::fabs(mpfr_get_d(x, MPFR_RNDZ)) < c * static_cast<double>(p) + 16;
}

// Arguments of few significant bits are MPFR's forte at some precisions
// (its series multiply by a short number): for sine and cosine from 1,200
// to 3,500 bits (an argument of p/8 bits or fewer), for the exponential
// from 7,000 bits (of 100 bits or fewer); there Arb is no faster.
inline bool short_arg(mpfr_srcptr x, mpfr_prec_t bits) noexcept { return mpfr_min_prec(x) <= bits; }
inline bool trig_short(mpfr_srcptr x, mpfr_prec_t p) noexcept {
  return p >= 1200 && p <= 3500 && short_arg(x, p / 8);
}
inline bool exp_short(mpfr_srcptr x, mpfr_prec_t p) noexcept { return p >= 7000 && short_arg(x, 100); }

bool take_trig(mpfr_srcptr x, mpfr_prec_t p) noexcept {
  return !tiny(x, p) && ex(x) <= (1 << 16) && !trig_short(x, p);
}
bool take_hyp(mpfr_srcptr x, mpfr_prec_t p) noexcept { return !tiny(x, p) && ex(x) <= 29 && !exp_short(x, p); }
bool take_hyp_limit(mpfr_srcptr x, mpfr_prec_t p) noexcept {
  return !tiny(x, p) && below_limit(x, p, 0.35) && !exp_short(x, p);
}
bool take_atan(mpfr_srcptr x, mpfr_prec_t p) noexcept { return !tiny(x, p) && ex(x) <= (1 << 20); }
bool take_asin(mpfr_srcptr x, mpfr_prec_t p) noexcept { return !tiny(x, p) && mpfr_cmpabs_ui(x, 1) < 0; }
bool take_acos(mpfr_srcptr x, mpfr_prec_t) noexcept { return mpfr_cmpabs_ui(x, 1) < 0; }
bool take_acosh(mpfr_srcptr x, mpfr_prec_t) noexcept { return mpfr_cmp_ui(x, 1) > 0 && ex(x) <= (1 << 20); }
bool take_exp(mpfr_srcptr x, mpfr_prec_t p) noexcept { return !tiny(x, p) && ex(x) <= 29 && !exp_short(x, p); }
bool take_expm1(mpfr_srcptr x, mpfr_prec_t p) noexcept {
  return take_exp(x, p) && (mpfr_sgn(x) > 0 || below_limit(x, p, 0.7));
}
bool take_exp_base(mpfr_srcptr x, mpfr_prec_t p) noexcept { return !tiny(x, p) && ex(x) <= 27 && !is_int(x); }
bool take_log(mpfr_srcptr x, mpfr_prec_t) noexcept { return mpfr_sgn(x) > 0 && mpfr_cmp_ui(x, 1) != 0; }
bool take_log1p(mpfr_srcptr x, mpfr_prec_t p) noexcept { return !tiny(x, p) && mpfr_cmp_si(x, -1) > 0; }
bool take_log2(mpfr_srcptr x, mpfr_prec_t) noexcept {
  return mpfr_sgn(x) > 0 && mpfr_cmp_ui_2exp(x, 1, ex(x) - 1) != 0;
}
bool take_log10(mpfr_srcptr x, mpfr_prec_t) noexcept { return mpfr_sgn(x) > 0 && !is_int(x); }
// Below about 48 bits MPFR's error functions are as fast as Arb's.
bool take_erf(mpfr_srcptr x, mpfr_prec_t p) noexcept {
  return p >= 48 && !tiny(x, p) && below_sqrt_limit(x, p, 0.7);
}
bool take_erfc(mpfr_srcptr x, mpfr_prec_t p) noexcept {
  return p >= 48 && !tiny(x, p) && ex(x) <= 14 && (mpfr_sgn(x) > 0 || below_sqrt_limit(x, p, 0.7));
}
bool take_gamma(mpfr_srcptr x, mpfr_prec_t) noexcept { return !is_int(x) && ex(x) <= 24 && ex(x) >= -(1 << 20); }
bool take_lngamma(mpfr_srcptr x, mpfr_prec_t) noexcept {
  return mpfr_sgn(x) > 0 && mpfr_cmp_ui(x, 1) != 0 && mpfr_cmp_ui(x, 2) != 0 && ex(x) <= 32 &&
         ex(x) >= -(1 << 20);
}
bool take_digamma(mpfr_srcptr x, mpfr_prec_t) noexcept {
  return mpfr_sgn(x) > 0 && ex(x) <= 32 && ex(x) >= -(1 << 20);
}
bool take_zeta(mpfr_srcptr x, mpfr_prec_t p) noexcept {
  if (mpfr_cmp_ui(x, 1) == 0 || ex(x) > 20 || ex(x) < -(1 << 20)) return false;
  return mpfr_sgn(x) > 0 ? below_limit(x, p, 1.0) : !is_int(x);
}

bool take_atan2(mpfr_srcptr y, mpfr_srcptr x, mpfr_prec_t p) noexcept {
  const mpfr_exp_t d = ex(y) - ex(x);
  return d <= (1 << 16) && d >= -(1 << 16) && (mpfr_sgn(x) < 0 || d >= -(p / 2) - 8);
}

// Complex arguments: both parts nonzero (the axes, where MPC's signed zeros
// and branch cuts decide, stay with MPC), neither beyond 2**24, at most
// `max_bits` bits, and not both tiny (f(z) then lies too close to a
// representable number). One tiny part is no harm to exp and the
// trigonometric and hyperbolic functions, which take it at any precision;
// the inverse functions want both parts above the tiny size. (MPC's time grows with the square of the gap
// between the parts' exponents: seconds for sin(1/2 + 2**-20000*I).)
bool take_complex(mpc_srcptr z, mpfr_prec_t p, mpfr_prec_t max_bits, bool one_tiny) noexcept {
  const mpfr_exp_t lo = -(p / 2) - 8;
  const mpfr_exp_t a = ex(mpc_realref(z)), b = ex(mpc_imagref(z));
  if (a > 24 || b > 24) return false;
  if (std::min(a, b) >= lo) return p <= max_bits;
  return one_tiny && std::max(a, b) >= lo;  // at any precision
}
// Where Arb's complex trigonometric and hyperbolic functions were measured
// faster than MPC's; the inverse functions, exp and log are faster at every
// precision tried (up to 20,000 bits).
constexpr mpfr_prec_t TRIG_MAX_BITS = 4096;
constexpr mpfr_prec_t ANY_BITS = MPFR_PREC_MAX;
bool take_c_any(mpc_srcptr z, mpfr_prec_t p) noexcept { return take_complex(z, p, ANY_BITS, false); }
bool take_c_exp(mpc_srcptr z, mpfr_prec_t p) noexcept { return take_complex(z, p, ANY_BITS, true); }
bool take_c_trig(mpc_srcptr z, mpfr_prec_t p) noexcept { return take_complex(z, p, TRIG_MAX_BITS, true); }
// The logarithm takes tiny parts too: its real part, log|z|, is computed
// from |z|**2 - 1 near the unit circle, where MPC 1.3's own is inexact.
bool take_c_log(mpc_srcptr z, mpfr_prec_t) noexcept {
  const mpfr_exp_t a = ex(mpc_realref(z)), b = ex(mpc_imagref(z));
  return a <= 24 && b <= 24 && a >= -(1 << 20) && b >= -(1 << 20);
}
// tan(z) tends to +-i as |Im z| grows, tanh(z) to +-1 as |Re z| does.
bool take_c_tan(mpc_srcptr z, mpfr_prec_t p) noexcept {
  return take_c_trig(z, p) && below_limit(mpc_imagref(z), p, 0.35);
}
bool take_c_tanh(mpc_srcptr z, mpfr_prec_t p) noexcept {
  return take_c_trig(z, p) && below_limit(mpc_realref(z), p, 0.35);
}

// ---- evaluations Arb lacks under MPFR's name ----

// 2**x = 2**n * 2**f with n = floor(x); 10**x = exp(x * log(10)).
void exp2_ball(arb_ptr r, arb_srcptr x, slong wp) noexcept {
  Float n;
  arf_floor(n.v, arb_midref(x));
  Ball f;
  arb_sub_arf(f.v, x, n.v, wp + 64);
  arb_const_log2(r, wp);
  arb_mul(r, r, f.v, wp);
  arb_exp(r, r, wp);
  arb_mul_2exp_si(r, r, arf_get_si(n.v, ARF_RND_DOWN));
}
void exp10_ball(arb_ptr r, arb_srcptr x, slong wp) noexcept {
  const slong extra = std::max<slong>(0, arf_abs_bound_lt_2exp_si(arb_midref(x)));
  Ball t;
  arb_const_log10(t.v, wp + extra);
  arb_mul(t.v, t.v, x, wp + extra);
  arb_exp(r, t.v, wp);
}
void log2_ball(arb_ptr r, arb_srcptr x, slong wp) noexcept { arb_log_base_ui(r, x, 2, wp); }
void log10_ball(arb_ptr r, arb_srcptr x, slong wp) noexcept { arb_log_base_ui(r, x, 10, wp); }
void log10_complex(acb_ptr r, acb_srcptr z, slong wp) noexcept {
  Ball t;
  arb_const_log10(t.v, wp);
  acb_log(r, z, wp);
  acb_div_arb(r, r, t.v, wp);
}
constexpr Rule u(const char* name, Eval1 e, Take1 t) { return {name, e, t, nullptr, nullptr}; }
constexpr Rule b(const char* name, Eval2 e, Take2 t) { return {name, nullptr, nullptr, e, t}; }

// The rows Arb serves, each where it was measured faster than MPFR.
const Rule rules[] = {
    u("sin", arb_sin, take_trig),
    u("cos", arb_cos, take_trig),
    u("tan", arb_tan, take_trig),
    u("sec", arb_sec, take_trig),
    u("csc", arb_csc, take_trig),
    u("cot", arb_cot, take_trig),
    u("sinh", arb_sinh, take_hyp),
    u("cosh", arb_cosh, take_hyp),
    u("tanh", arb_tanh, take_hyp_limit),
    u("sech", arb_sech, take_hyp),
    u("csch", arb_csch, take_hyp),
    u("coth", arb_coth, take_hyp_limit),
    u("asin", arb_asin, take_asin),
    u("acos", arb_acos, take_acos),
    u("atan", arb_atan, take_atan),
    u("asinh", arb_asinh, take_atan),
    u("acosh", arb_acosh, take_acosh),
    u("atanh", arb_atanh, take_asin),
    u("exp", arb_exp, take_exp),
    u("expm1", arb_expm1, take_expm1),
    u("exp2", exp2_ball, take_exp_base),
    u("exp10", exp10_ball, take_exp_base),
    u("log", arb_log, take_log),
    u("log1p", arb_log1p, take_log1p),
    u("log2", log2_ball, take_log2),
    u("log10", log10_ball, take_log10),
    u("erf", arb_hypgeom_erf, take_erf),
    u("erfc", arb_hypgeom_erfc, take_erfc),
    u("gamma", arb_gamma, take_gamma),
    u("lngamma", arb_lgamma, take_lngamma),
    u("digamma", arb_digamma, take_digamma),
    u("zeta", arb_zeta, take_zeta),
    b("atan2", arb_atan2, take_atan2),
};

// The complex rows Arb serves.
const ComplexRule complex_rules[] = {
    {"exp", acb_exp, take_c_exp},       {"log", acb_log, take_c_log},       {"log10", log10_complex, take_c_log},
    {"sin", acb_sin, take_c_trig},      {"cos", acb_cos, take_c_trig},      {"tan", acb_tan, take_c_tan},
    {"sinh", acb_sinh, take_c_trig},    {"cosh", acb_cosh, take_c_trig},    {"tanh", acb_tanh, take_c_tanh},
    {"asin", acb_asin, take_c_any},     {"acos", acb_acos, take_c_any},     {"atan", acb_atan, take_c_any},
    {"asinh", acb_asinh, take_c_any},   {"acosh", acb_acosh, take_c_any},   {"atanh", acb_atanh, take_c_any},
};

}  // namespace

const Rule* find(const char* name) noexcept {
  for (const Rule& r : rules)
    if (std::strcmp(r.name, name) == 0) return &r;
  return nullptr;
}

const ComplexRule* find_complex(const char* name) noexcept {
  for (const ComplexRule& r : complex_rules)
    if (std::strcmp(r.name, name) == 0) return &r;
  return nullptr;
}

bool active() noexcept { return route_on.load(std::memory_order_relaxed); }
const char* route_name() noexcept { return active() ? "arb" : "mpfr"; }
bool built_with_arb() noexcept { return true; }
void free_cache() noexcept { flint_cleanup(); }

bool try1(const Rule* rule, mpfr_ptr r, mpfr_srcptr x, mpfr_rnd_t m, int& rc) noexcept {
  if (!rule->e1 || !active() || !mpfr_regular_p(x) || !rule->t1(x, mpfr_get_prec(r))) return false;
  arb_ptr a = state.arg1;
  set_exact(a, x);
  return ziv(r, m, rc, [&](arb_ptr y, slong wp) { rule->e1(y, a, wp); });
}

bool try2(const Rule* rule, mpfr_ptr r, mpfr_srcptr x, mpfr_srcptr y, mpfr_rnd_t m, int& rc) noexcept {
  if (!rule->e2 || !active() || !mpfr_regular_p(x) || !mpfr_regular_p(y) || !rule->t2(x, y, mpfr_get_prec(r)))
    return false;
  arb_ptr a = state.arg1, c = state.arg2;
  set_exact(a, x);
  set_exact(c, y);
  return ziv(r, m, rc, [&](arb_ptr z, slong wp) { rule->e2(z, a, c, wp); });
}

bool try_complex(const ComplexRule* rule, mpc_ptr r, mpc_srcptr x, mpc_rnd_t m, int& rc) noexcept {
  if (!active() || !mpfr_regular_p(mpc_realref(x)) || !mpfr_regular_p(mpc_imagref(x))) return false;
  const mpfr_prec_t p = std::max(mpfr_get_prec(mpc_realref(r)), mpfr_get_prec(mpc_imagref(r)));
  if (!rule->t(x, p)) return false;
  acb_ptr a = state.carg;
  set_exact(acb_realref(a), mpc_realref(x));
  set_exact(acb_imagref(a), mpc_imagref(x));
  return ziv_complex(r, m, rc, [&](acb_ptr y, slong wp) { rule->e(y, a, wp); });
}

#endif

}  // namespace vx::arb_route
