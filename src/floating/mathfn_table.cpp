// The regular members of the math-function family: one row each, naming
// the function, its arity, its MPFR routine, its MPC routine (if any), its
// domain rule and its docstring. One template turns every row into a
// module function that is also a context method.
#include <array>
#include <cstring>
#include <utility>

#include "floating/clog_guard.h"
#include "floating/erf_guard.h"
#include "floating/arb_route.h"
#include "floating/mathfn.h"
#include "core/registry.h"

namespace vx {

namespace {

using namespace mathfn;

using RealFn1 = int (*)(mpfr_ptr, mpfr_srcptr, mpfr_rnd_t);
using RealFn2 = int (*)(mpfr_ptr, mpfr_srcptr, mpfr_srcptr, mpfr_rnd_t);
using CplxFn1 = int (*)(mpc_ptr, mpc_srcptr, mpc_rnd_t);

// When a real argument gives a complex result (only with allow_complex).
enum class Domain : unsigned char {
  any,   // never
  unit,  // outside [-1, 1], NaN excluded
  nonneg,  // below zero, -Inf included, -0 and NaN excluded
};

struct Row {
  const char* name;
  const char* msg;  // the name in error messages
  int arity;
  RealFn1 f1;
  RealFn2 f2;
  CplxFn1 g;
  Domain dom;
  const char* doc;
  const char* params;  // binary rows: the typed parameters
};

constexpr Row unary(const char* name, RealFn1 f, CplxFn1 g, Domain d, const char* doc, const char* msg = nullptr) {
  return {name, msg ? msg : name, 1, f, nullptr, g, d, doc, nullptr};
}
constexpr Row binary(const char* name, RealFn2 f, const char* params, const char* doc, const char* msg = nullptr) {
  return {name, msg ? msg : name, 2, nullptr, f, nullptr, Domain::any, doc, params};
}

// The typed parameters and result of a unary row: a real argument gives an
// mpfr (or, where allow_complex may turn it complex, an mpfr or mpc), a
// complex one an mpc where the row has a complex routine.
constexpr const char* unary_params(const Row& r) {
  if (!r.g) return "x: _Real, / -> mpfr";
  if (r.dom == Domain::any) return "x: _Real, / -> mpfr; x: complex | mpc, / -> mpc";
  return "x: _Real, / -> mpfr | mpc; x: complex | mpc, / -> mpc";
}

// Routines without the usual shape.
int reldiff(mpfr_ptr r, mpfr_srcptr x, mpfr_srcptr y, mpfr_rnd_t m) {
  mpfr_reldiff(r, x, y, m);
  return 0;
}
int round_away(mpfr_ptr r, mpfr_srcptr x, mpfr_rnd_t) { return mpfr_rint(r, x, MPFR_RNDNA); }

constexpr Domain ANY = Domain::any;

const Row rows[] = {
    unary("acos", mpfr_acos, mpc_acos, Domain::unit, "Return the arc-cosine of x; x in radians."),
    unary("acosh", mpfr_acosh, mpc_acosh, ANY, "Return the inverse hyperbolic cosine of x."),
    unary("asin", mpfr_asin, mpc_asin, Domain::unit, "Return the arc-sine of x; x in radians."),
    unary("asinh", mpfr_asinh, mpc_asinh, ANY, "Return the inverse hyperbolic sine of x."),
    unary("atan", mpfr_atan, mpc_atan, ANY, "Return the arc-tangent of x; x in radians."),
    unary("atanh", mpfr_atanh, mpc_atanh, Domain::unit, "Return the inverse hyperbolic tangent of x."),
    unary("cbrt", mpfr_cbrt, nullptr, ANY, "Return the cube root of x."),
    unary("cos", mpfr_cos, mpc_cos, ANY, "Return the cosine of x; x in radians."),
    unary("cosh", mpfr_cosh, mpc_cosh, ANY, "Return the hyperbolic cosine of x."),
    unary("cot", mpfr_cot, nullptr, ANY, "Return the cotangent of x; x in radians."),
    unary("coth", mpfr_coth, nullptr, ANY, "Return the hyperbolic cotangent of x."),
    unary("csc", mpfr_csc, nullptr, ANY, "Return the cosecant of x; x in radians."),
    unary("csch", mpfr_csch, nullptr, ANY, "Return the hyperbolic cosecant of x."),
    unary("digamma", mpfr_digamma, nullptr, ANY, "Return the digamma of x."),
    unary("eint", mpfr_eint, nullptr, ANY, "Return the exponential integral of x."),
    unary("erf", erf_checked, nullptr, ANY, "Return the error function of x."),
    unary("erfc", erfc_checked, nullptr, ANY, "Return the complementary error function of x."),
    unary("exp", mpfr_exp, mpc_exp, ANY, "Return the exponential of x."),
    unary("expm1", mpfr_expm1, nullptr, ANY, "Return exp(x) - 1."),
    unary("exp10", mpfr_exp10, nullptr, ANY, "Return 10**x."),
    unary("exp2", mpfr_exp2, nullptr, ANY, "Return 2**x."),
    unary("frac", mpfr_frac, nullptr, ANY, "Return the fractional part of x."),
    unary("gamma", mpfr_gamma, nullptr, ANY, "Return the gamma of x."),
    unary("j0", mpfr_j0, nullptr, ANY, "Return the first kind Bessel function of order 0 of x."),
    unary("j1", mpfr_j1, nullptr, ANY, "Return the first kind Bessel function of order 1 of x."),
    unary("li2", mpfr_li2, nullptr, ANY, "Return the real part of the dilogarithm of x."),
    unary("lngamma", mpfr_lngamma, nullptr, ANY, "Return the natural logarithm of gamma(x)."),
    unary("log", mpfr_log, log_checked, ANY, "Return the natural logarithm of x."),
    unary("log10", mpfr_log10, log10_checked, ANY, "Return the base-10 logarithm of x."),
    unary("log1p", mpfr_log1p, nullptr, ANY, "Return the natural logarithm of (1+x)."),
    unary("log2", mpfr_log2, nullptr, ANY, "Return the base-2 logarithm of x."),
    unary("rec_sqrt", mpfr_rec_sqrt, nullptr, ANY, "Return the reciprocal of the square root of x."),
    unary("rint", mpfr_rint, nullptr, ANY, "Return x rounded to an integer with the context's rounding."),
    unary("rint_ceil", mpfr_rint_ceil, nullptr, ANY,
          "Return x rounded up to the next integer, then rounded with the context's rounding."),
    unary("rint_floor", mpfr_rint_floor, nullptr, ANY,
          "Return x rounded down to the next integer, then rounded with the context's rounding."),
    unary("rint_round", mpfr_rint_round, nullptr, ANY,
          "Return x rounded to the nearest integer (ties away from 0), then rounded with the "
                             "context's rounding."),
    unary("rint_trunc", mpfr_rint_trunc, nullptr, ANY,
          "Return x rounded toward 0 to an integer, then rounded with the context's rounding."),
    unary("round_away", round_away, nullptr, ANY,
          "Return the nearest integer to x; ties are rounded away from 0.", "round"),
    unary("sec", mpfr_sec, nullptr, ANY, "Return the secant of x; x in radians."),
    unary("sech", mpfr_sech, nullptr, ANY, "Return the hyperbolic secant of x."),
    unary("sin", mpfr_sin, mpc_sin, ANY, "Return the sine of x; x in radians."),
    unary("sinh", mpfr_sinh, mpc_sinh, ANY, "Return the hyperbolic sine of x."),
    unary("sqrt", mpfr_sqrt, mpc_sqrt, Domain::nonneg, "Return the square root of x."),
    unary("tan", mpfr_tan, mpc_tan, ANY, "Return the tangent of x; x in radians."),
    unary("tanh", mpfr_tanh, mpc_tanh, ANY, "Return the hyperbolic tangent of x."),
    unary("y0", mpfr_y0, nullptr, ANY, "Return the second kind Bessel function of order 0 of x."),
    unary("y1", mpfr_y1, nullptr, ANY, "Return the second kind Bessel function of order 1 of x."),
    unary("zeta", mpfr_zeta, nullptr, ANY, "Return the Riemann zeta of x."),

    binary("agm", mpfr_agm, "x: _Real, y: _Real, /", "Return the arithmetic-geometric mean of x and y."),
    binary("atan2", mpfr_atan2, "y: _Real, x: _Real, /", "Return the arc-tangent of (y/x); result in radians."),
    binary("fmod", mpfr_fmod, "x: _Real, y: _Real, /", "Return x - n*y where n is the integer quotient of x/y, "
                                                    "rounded toward 0."),
    binary("hypot", mpfr_hypot, "x: _Real, y: _Real, /", "Return the square root of (x**2 + y**2)."),
    binary("maxnum", mpfr_max, "x: _Real, y: _Real, /", "Return the maximum of x and y; a NaN operand is ignored.",
           "max"),
    binary("minnum", mpfr_min, "x: _Real, y: _Real, /", "Return the minimum of x and y; a NaN operand is ignored.",
           "min"),
    binary("reldiff", reldiff, "x: _Real, y: _Real, /", "Return the relative difference between x and y: "
                                                        "abs(x-y)/abs(x)."),
    binary("remainder", mpfr_remainder, "x: _Real, y: _Real, /", "Return x - n*y where n is the integer "
                                                                    "quotient of x/y, rounded to nearest even."),
};

// True when the real value x is outside the real domain of its row.
bool outside(Domain d, mpfr_srcptr x) noexcept {
  switch (d) {
    case Domain::unit:
      return !mpfr_nan_p(x) && (mpfr_cmp_si(x, 1) > 0 || mpfr_cmp_si(x, -1) < 0);
    case Domain::nonneg:
      return !mpfr_nan_p(x) && !mpfr_zero_p(x) && mpfr_sgn(x) < 0;
    case Domain::any:
      break;
  }
  return false;
}

// MPC's time grows faster than the square of the gap between the exponents
// of the parts (acosh(1/2 + 2**-16384*I): seconds; 2**-10**8: practically
// forever, beyond an interrupt's reach). Beyond this gap an argument that
// Arb does not settle is refused.
constexpr mpfr_exp_t MPC_MAX_GAP = 1 << 14;

// The rows whose MPC routine is slow on such arguments (the logarithms and
// the square root are not).
bool slow_when_far(const char* name) noexcept {
  static constexpr const char* slow[] = {"exp",  "sin",  "cos",  "tan",   "sinh",  "cosh",  "tanh",
                                         "asin", "acos", "atan", "asinh", "acosh", "atanh"};
  for (const char* s : slow)
    if (std::strcmp(s, name) == 0) return true;
  return false;
}

bool parts_far_apart(mpc_srcptr z) noexcept {
  mpfr_srcptr a = mpc_realref(z), b = mpc_imagref(z);
  if (!mpfr_regular_p(a) || !mpfr_regular_p(b)) return false;
  const mpfr_exp_t ea = mpfr_get_exp(a), eb = mpfr_get_exp(b);
  return (ea > eb ? ea - eb : eb - ea) > MPC_MAX_GAP;
}

PyObject* complex_path(const Row& row, const arb_route::ComplexRule* acb, PyObject* x, int kind,
                       CTXT_Object* ctx) noexcept {
  Own<MPC_Object> c(exact_complex(x, kind, ctx));
  if (!c) return nullptr;
  const bool far = parts_far_apart(c->c) && slow_when_far(row.name);  // the cheap test first
  bool refused = false;
  Ref res = Ref::steal(complex_result(ctx, [&](mpc_ptr r, mpc_rnd_t m) {
    int rc;
    if (acb && arb_route::try_complex(acb, r, c->c, m, rc)) return rc;
    if (far) {
      refused = true;
      mpc_set_ui(r, 0, MPC_RNDNN);  // exact: no flag, no trap
      return 0;
    }
    return row.g(r, c->c, m);
  }));
  if (refused && res) return fn_error(PyExc_ValueError, row.msg, "argument parts too far apart");
  return res.release();
}

PyObject* run_unary(const Row& row, const arb_route::Rule* arb, const arb_route::ComplexRule* acb, PyObject* self,
                    PyObject* x) noexcept {
  Ctx cx = Ctx::of_self(self);
  CTXT_Object* ctx = cx.get();
  if (!ctx) return nullptr;
  const int kind = classify(x);
  if (is_real_kind(kind)) {
    Own<MPFR_Object> held;
    mpfr_srcptr v;
    if (kind == K_MPFR) {
      v = mpfr_of(x);
    } else {
      held = Own<MPFR_Object>(exact_real(x, kind, ctx));
      if (!held) return nullptr;
      v = held->f;
    }
    if (row.dom != Domain::any && ctx->ctx.allow_complex && outside(row.dom, v))
      return complex_path(row, acb, held ? held.obj() : x, K_MPFR, ctx);
    return real_result(ctx, 0, [&](mpfr_ptr r, mpfr_rnd_t m) { return arb_route::run1(arb, row.f1, r, v, m); });
  }
  if (kind != K_UNKNOWN && row.g) return complex_path(row, acb, x, kind, ctx);
  return not_supported(row.msg, x);
}

PyObject* run_binary(const Row& row, const arb_route::Rule* arb, PyObject* self, PyObject* const* args,
                     Py_ssize_t nargs) noexcept {
  if (!want_args(nargs, 2, Fn{row.msg})) return nullptr;
  Ctx cx = Ctx::of_self(self);
  CTXT_Object* ctx = cx.get();
  if (!ctx) return nullptr;
  Own<MPFR_Object> x, y;
  if (!exact_reals(args, row.msg, ctx, x, y)) return nullptr;
  return real_result(ctx, 0,
                     [&](mpfr_ptr r, mpfr_rnd_t m) { return arb_route::run2(arb, row.f2, r, x->f, y->f, m); });
}

// Each row's Arb rule (nullptr: MPFR alone), looked up once.
template <size_t I>
const arb_route::Rule* const arb_rule = arb_route::find(rows[I].name);
template <size_t I>
const arb_route::ComplexRule* const acb_rule = rows[I].g ? arb_route::find_complex(rows[I].name) : nullptr;

template <size_t I>
PyObject* entry_unary(PyObject* self, PyObject* x) {
  return run_unary(rows[I], arb_rule<I>, acb_rule<I>, self, x);
}
template <size_t I>
PyObject* entry_binary(PyObject* self, PyObject* const* args, Py_ssize_t nargs) {
  return run_binary(rows[I], arb_rule<I>, self, args, nargs);
}

template <size_t... I>
std::array<FnDef, sizeof...(I)> make_defs(std::index_sequence<I...>) {
  return {{(rows[I].arity == 1
                ? one(rows[I].name, entry_unary<I>, MODULE_AND_CONTEXT, rows[I].doc).typed(unary_params(rows[I]))
                : fast(rows[I].name, entry_binary<I>, MODULE_AND_CONTEXT, rows[I].doc)
                    .typed(rows[I].params, "mpfr"))...}};
}

const std::array<FnDef, std::size(rows)> defs = make_defs(std::make_index_sequence<std::size(rows)>{});

}  // namespace

VX_UNIT(floating_mathfn_table, defs)

// The MPFR routine of a row by name (for comparing the two routes).
bool mathfn::table_routine(const char* name, RealFn1& f1, RealFn2& f2, CplxFn1* g) noexcept {
  for (const Row& row : rows)
    if (std::strcmp(row.name, name) == 0) {
      f1 = row.f1;
      f2 = row.f2;
      if (g) *g = row.g;
      return true;
    }
  return false;
}

}  // namespace vx
