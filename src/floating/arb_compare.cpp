// Private module functions of the math-function route: _math_route, which
// reads or switches the route, and _math_route_compare, which runs a row
// through both routes on many arguments (in C, for speed) and returns the
// disagreements in value, ternary value and flags, before and after the
// real result check of a narrow context.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "floating/arb_route.h"
#include "floating/mathfn.h"
#include "core/registry.h"

namespace vx {

namespace {

using namespace mathfn;

PyObject* f_math_route(PyObject*, PyObject* const* args, Py_ssize_t nargs) {
  if (!want_args_range(nargs, 0, 1, "_math_route() requires 0 or 1 arguments")) return nullptr;
  if (nargs == 1) {
    const char* name = PyUnicode_Check(args[0]) ? PyUnicode_AsUTF8(args[0]) : nullptr;
    if (!name) return type_error("_math_route() argument must be 'arb' or 'mpfr'");
    if (std::strcmp(name, "mpfr") == 0) {
      arb_route::set_active(false);
    } else if (std::strcmp(name, "arb") == 0) {
      if (!arb_route::built_with_arb()) return value_error("this build has no Arb");
      arb_route::set_active(true);
    } else {
      return value_error("_math_route() argument must be 'arb' or 'mpfr'");
    }
  }
  return PyUnicode_FromString(arb_route::route_name());
}

// ---- the differential run ----

// splitmix64: a small, fixed and fast generator of the arguments.
struct Rand {
  uint64_t s;
  uint64_t next() noexcept {
    uint64_t z = (s += 0x9e3779b97f4a7c15ULL);
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
    return z ^ (z >> 31);
  }
  long below(long n) noexcept { return static_cast<long>(next() % static_cast<uint64_t>(n)); }
  long between(long lo, long hi) noexcept { return lo + below(hi - lo + 1); }
};

// A precision from 2 to max_prec, mostly small: nine in ten up to 256 bits,
// most of the rest up to 2,000.
mpfr_prec_t draw_prec(Rand& g, mpfr_prec_t max_prec) noexcept {
  const long k = g.below(100);
  const long hi = k < 90 ? 256 : k < 99 ? 2000 : 20000;
  long p = g.between(2, hi);
  if (k < 60) p = g.between(2, 128);
  return p > max_prec ? max_prec : p;
}

// Random bits into x's mantissa (the top bit set), sign and exponent given.
void draw_mantissa(Rand& g, mpfr_ptr x, int sign, mpfr_exp_t e) noexcept {
  const mpfr_prec_t p = mpfr_get_prec(x);
  mpfr_set_ui(x, 1, MPFR_RNDN);
  Mpfr t(p);
  for (mpfr_prec_t done = 1; done < p; done += 60) {
    mpfr_set_ui_2exp(t, g.next() >> 4, -(done + 60), MPFR_RNDZ);
    mpfr_add(x, x, t, MPFR_RNDZ);
  }
  mpfr_set_exp(x, e);
  if (sign < 0) mpfr_neg(x, x, MPFR_RNDN);
}

// One argument: random mantissas and exponents, values near 0, +-1, small
// integers and half-integers, and the far ends of the exponent range.
void draw_arg(Rand& g, mpfr_ptr x, mpfr_prec_t p) noexcept {
  const long k = g.below(8);
  mpfr_set_prec(x, k < 2 ? p : k == 2 ? g.between(2, 4 * p + 200) : g.between(2, p + 64));
  const int sign = g.below(3) == 0 ? -1 : 1;
  switch (g.below(10)) {
    case 0:  // near +-1 and +-2
    case 1: {
      mpfr_set_si(x, sign * (1 + g.below(2)), MPFR_RNDN);
      Mpfr d(mpfr_get_prec(x));
      draw_mantissa(g, d, g.below(2) ? 1 : -1, -g.between(1, p + 8));
      mpfr_add(x, x, d, MPFR_RNDN);
      break;
    }
    case 2:  // small integers and half-integers
      mpfr_set_si_2exp(x, sign * g.between(1, 200), -g.below(2), MPFR_RNDN);
      break;
    case 3:  // tiny
      draw_mantissa(g, x, sign, -g.between(1, 2 * p + 64));
      break;
    case 4:  // far out: up to 2**4096, down to MPFR's smallest exponents
      draw_mantissa(g, x, sign, g.below(3) == 0 ? g.between(-(1L << 30) + 2, -4096) : g.between(8, 4096));
      break;
    default:  // moderate
      draw_mantissa(g, x, sign, g.between(-8, 8));
      break;
  }
}

struct Outcome {
  int rc;
  mpfr_flags_t flags;
};

bool same_value(mpfr_srcptr a, mpfr_srcptr b) noexcept {
  if (mpfr_nan_p(a) || mpfr_nan_p(b)) return mpfr_nan_p(a) && mpfr_nan_p(b);
  return mpfr_equal_p(a, b) && mpfr_signbit(a) == mpfr_signbit(b);
}

unsigned context_flags(const ContextRecord& c) noexcept {
  return (c.underflow ? 1u : 0u) | (c.overflow ? 2u : 0u) | (c.inexact ? 4u : 0u) | (c.invalid ? 8u : 0u) |
         (c.divzero ? 16u : 0u);
}

class Comparison {
 public:
  Comparison(const char* name, const arb_route::Rule* rule, RealFn1 f1, RealFn2 f2) noexcept
      : name_(name), rule_(rule), f1_(f1), f2_(f2) {}

  // Both routes on (x[, y]) at precision p with mode m, and both results
  // through the result check of context c. False on a Python error.
  bool run(mpfr_srcptr x, mpfr_srcptr y, mpfr_prec_t p, int m, ContextRecord c) noexcept {
    ++runs;
    Mpfr a(p), b(p);
    const mpfr_rnd_t rm = static_cast<mpfr_rnd_t>(m);
    mpfr_clear_flags();
    Outcome oa{f1_ ? f1_(a, x, rm) : f2_(a, x, y, rm), mpfr_flags_save()};
    mpfr_clear_flags();
    int rc = 0;
    const bool settled = rule_ && (f1_ ? arb_route::try1(rule_, b, x, rm, rc) : arb_route::try2(rule_, b, x, y, rm, rc));
    if (!settled) rc = f1_ ? f1_(b, x, rm) : f2_(b, x, y, rm);
    Outcome ob{rc, mpfr_flags_save()};
    arb_settled += settled;
    const char* what = nullptr;
    if (!same_value(a, b))
      what = "value";
    else if (oa.rc != ob.rc)
      what = "ternary value";
    else if (oa.flags != ob.flags)
      what = "flags";
    if (!what) {
      c.round = m;
      ContextRecord ca = c, cb = c;
      mpfr_flags_restore(oa.flags, MPFR_FLAGS_ALL);
      check_real_value(a, oa.rc, ca);
      mpfr_flags_restore(ob.flags, MPFR_FLAGS_ALL);
      check_real_value(b, ob.rc, cb);
      if (!same_value(a, b) || oa.rc != ob.rc || context_flags(ca) != context_flags(cb)) what = "checked result";
    }
    mpfr_clear_flags();
    return !what || report(x, y, p, m, what, a, b, oa, ob);
  }

  Ref found = Ref::steal(PyList_New(0));
  long runs = 0;
  long arb_settled = 0;

 private:
  bool report(mpfr_srcptr x, mpfr_srcptr y, mpfr_prec_t p, int m, const char* what, mpfr_srcptr a,
              mpfr_srcptr b, Outcome oa, Outcome ob) noexcept {
    char* text = nullptr;
    if (mpfr_asprintf(&text, "%s(%Ra%s%Ra) prec %ld round %d: %s differs: mpfr %Ra rc %d flags %u, arb %Ra rc %d flags %u",
                      name_, x, y ? ", " : "", y ? y : x, static_cast<long>(p), m, what, a, oa.rc,
                      static_cast<unsigned>(oa.flags), b, ob.rc, static_cast<unsigned>(ob.flags)) < 0)
      return memory_error() != nullptr;
    Ref s = Ref::steal(PyUnicode_FromString(text));
    mpfr_free_str(text);
    return s && PyList_Append(found.get(), s.get()) == 0;
  }

  const char* name_;
  const arb_route::Rule* rule_;
  RealFn1 f1_;
  RealFn2 f2_;
};

// A narrow context now and then (exponent range, subnormalization), the
// default otherwise.
ContextRecord draw_context(Rand& g) noexcept {
  ContextRecord c;
  if (g.below(4) == 0) {
    c.emax = g.between(-40, 300);
    c.emin = c.emax - g.between(1, 1200);
    c.subnormalize = static_cast<int>(g.below(2));
  }
  return c;
}

// _math_route_compare(name, n, seed, max_prec) runs n random arguments;
// _math_route_compare(name, values, seed, prec) runs each given value (for
// two-argument rows, each pair) at that precision in all five roundings.
// Returns (runs, settled by Arb, [texts of disagreements]).
// The arguments of both comparisons: the row (its routines), the seed and
// the precision. False with an exception raised when they are wrong.
struct CompareArgs {
  const char* name = nullptr;
  RealFn1 f1 = nullptr;
  RealFn2 f2 = nullptr;
  CplxFn1 g = nullptr;
  long long seed = 0;
  long prec = 0;
};

bool read_compare_args(PyObject* const* args, Py_ssize_t nargs, bool complex, CompareArgs& a) noexcept {
  if (!want_args(nargs, 4, complex ? "_math_route_compare_complex() requires 4 arguments"
                                   : "_math_route_compare() requires 4 arguments"))
    return false;
  a.name = PyUnicode_Check(args[0]) ? PyUnicode_AsUTF8(args[0]) : nullptr;
  if (!a.name) return type_error("the comparison needs a function name") != nullptr;
  if (!table_routine(a.name, a.f1, a.f2, &a.g) || (complex && !a.g))
    return value_error(complex ? "no such complex row" : "no such row") != nullptr;
  a.seed = PyLong_AsLongLong(args[2]);
  a.prec = PyLong_AsLong(args[3]);
  if (PyErr_Occurred()) return false;
  if (a.prec < 2 || a.prec > 1000000) return value_error("precision out of range") != nullptr;
  return true;
}

PyObject* f_compare(PyObject*, PyObject* const* args, Py_ssize_t nargs) {
  CompareArgs a;
  if (!read_compare_args(args, nargs, false, a)) return nullptr;
  const char* name = a.name;
  RealFn1 f1 = a.f1;
  RealFn2 f2 = a.f2;
  const long long seed = a.seed;
  const long prec_arg = a.prec;
  Comparison cmp(name, arb_route::find(name), f1, f2);
  if (!cmp.found) return nullptr;
  Rand g{static_cast<uint64_t>(seed)};
  Mpfr x(2), y(2);
  if (PyLong_Check(args[1])) {
    const long n = PyLong_AsLong(args[1]);
    if (n == -1 && PyErr_Occurred()) return nullptr;
    for (long i = 0; i < n; ++i) {
      const mpfr_prec_t p = draw_prec(g, prec_arg);
      draw_arg(g, x, p);
      if (f2) draw_arg(g, y, p);
      if (!cmp.run(x, f2 ? y.get() : nullptr, p, static_cast<int>(i % 5), draw_context(g))) return nullptr;
      if ((i & 1023) == 0 && PyErr_CheckSignals() < 0) return nullptr;
    }
  } else {
    Ref seq = Ref::steal(PySequence_Fast(args[1], "_math_route_compare() needs a count or a sequence"));
    if (!seq) return nullptr;
    const Py_ssize_t step = f2 ? 2 : 1;
    for (Py_ssize_t i = 0; i + step <= PySequence_Fast_GET_SIZE(seq.get()); i += step) {
      PyObject* vx = PySequence_Fast_GET_ITEM(seq.get(), i);
      PyObject* vy = f2 ? PySequence_Fast_GET_ITEM(seq.get(), i + 1) : vx;
      if (!is_mpfr(vx) || !is_mpfr(vy)) return type_error("_math_route_compare() needs mpfr values");
      for (int m = 0; m < 5; ++m)
        if (!cmp.run(mpfr_of(vx), f2 ? mpfr_of(vy) : nullptr, prec_arg, m, ContextRecord{})) return nullptr;
    }
  }
  return Py_BuildValue("llO", cmp.runs, cmp.arb_settled, cmp.found.get());
}

// ---- the complex rows ----

bool same_complex(mpc_srcptr a, mpc_srcptr b) noexcept {
  return same_value(mpc_realref(a), mpc_realref(b)) && same_value(mpc_imagref(a), mpc_imagref(b));
}

// One part of a complex argument: as a real one, but no smaller than
// 2**-4096 (MPC's time grows with the gap between the parts' exponents:
// minutes for exp(191 + 2**-641390832*I)).
void draw_complex_part(Rand& g, mpfr_ptr x, mpfr_prec_t p) noexcept {
  draw_arg(g, x, p);
  if (mpfr_regular_p(x) && mpfr_get_exp(x) < -4096) mpfr_set_exp(x, -g.between(64, 4096));
}

class ComplexComparison {
 public:
  ComplexComparison(const char* name, const arb_route::ComplexRule* rule, CplxFn1 g) noexcept
      : name_(name), rule_(rule), g_(g) {}

  // Both routes on x with result precisions (pr, pi) and modes (mr, mi),
  // then both results through the complex check of context c. False on a
  // Python error.
  bool run(mpc_srcptr x, mpfr_prec_t pr, mpfr_prec_t pi, int mr, int mi, ContextRecord c) noexcept {
    ++runs;
    Own<MPC_Object> a(new_mpc(pr, pi, nullptr)), b(new_mpc(pr, pi, nullptr));
    if (!a || !b) return false;
    const mpc_rnd_t m = static_cast<mpc_rnd_t>(mr + 16 * mi);
    a->rc = g_(a->c, x, m);
    int rc = 0;
    const bool settled = rule_ && arb_route::try_complex(rule_, b->c, x, m, rc);
    b->rc = settled ? rc : g_(b->c, x, m);
    arb_settled += settled;
    const char* what = !same_complex(a->c, b->c) ? "value" : a->rc != b->rc ? "ternary value" : nullptr;
    if (!what) {
      c.real_round = mr;
      c.imag_round = mi;
      ContextRecord ca = c, cb = c;
      if (!checked(a.get(), ca) || !checked(b.get(), cb)) return false;
      if (!same_complex(a->c, b->c) || a->rc != b->rc || context_flags(ca) != context_flags(cb))
        what = "checked result";
    }
    mpfr_clear_flags();
    return !what || report(x, what, a.get(), b.get(), m);
  }

  Ref found = Ref::steal(PyList_New(0));
  long runs = 0;
  long arb_settled = 0;

 private:
  // The complex check on r (which keeps its reference); false on an error.
  static bool checked(MPC_Object* r, ContextRecord& c) noexcept {
    Py_INCREF(r);
    MPC_Object* out = check_complex_opt(r, c, true);
    if (!out) return false;
    Py_DECREF(out);
    return true;
  }

  bool report(mpc_srcptr x, const char* what, const MPC_Object* a, const MPC_Object* b, mpc_rnd_t m) noexcept {
    char* text = nullptr;
    if (mpfr_asprintf(&text, "%s(%Ra + %Ra*I) prec %ld,%ld round %d: %s differs: mpc %Ra + %Ra*I rc %d, arb %Ra + %Ra*I rc %d",
                      name_, mpc_realref(x), mpc_imagref(x), static_cast<long>(mpfr_get_prec(mpc_realref(a->c))),
                      static_cast<long>(mpfr_get_prec(mpc_imagref(a->c))), static_cast<int>(m), what,
                      mpc_realref(a->c), mpc_imagref(a->c), a->rc, mpc_realref(b->c), mpc_imagref(b->c), b->rc) < 0)
      return memory_error() != nullptr;
    Ref s = Ref::steal(PyUnicode_FromString(text));
    mpfr_free_str(text);
    return s && PyList_Append(found.get(), s.get()) == 0;
  }

  const char* name_;
  const arb_route::ComplexRule* rule_;
  CplxFn1 g_;
};

// _math_route_compare_complex(name, n, seed, max_prec) runs n random
// complex arguments; _math_route_compare_complex(name, values, seed, prec)
// runs each given mpc value at that precision in all 16 pairs of roundings
// (the parts of an mpc are never rounded away from zero).
// Returns (runs, settled by Arb, [texts of disagreements]).
PyObject* f_compare_complex(PyObject*, PyObject* const* args, Py_ssize_t nargs) {
  CompareArgs a;
  if (!read_compare_args(args, nargs, true, a)) return nullptr;
  const long long seed = a.seed;
  const long prec_arg = a.prec;
  ComplexComparison cmp(a.name, arb_route::find_complex(a.name), a.g);
  if (!cmp.found) return nullptr;
  Rand rg{static_cast<uint64_t>(seed)};
  Mpc x(2, 2);
  if (PyLong_Check(args[1])) {
    const long n = PyLong_AsLong(args[1]);
    if (n == -1 && PyErr_Occurred()) return nullptr;
    for (long i = 0; i < n; ++i) {
      const mpfr_prec_t p = draw_prec(rg, prec_arg);
      const mpfr_prec_t q = rg.below(4) == 0 ? draw_prec(rg, prec_arg) : p;
      draw_complex_part(rg, mpc_realref(x.get()), p);
      draw_complex_part(rg, mpc_imagref(x.get()), q);
      if (!cmp.run(x, p, q, static_cast<int>(i % 4), static_cast<int>(rg.below(4)), draw_context(rg))) return nullptr;
      if ((i & 1023) == 0 && PyErr_CheckSignals() < 0) return nullptr;
    }
  } else {
    Ref seq = Ref::steal(PySequence_Fast(args[1], "_math_route_compare_complex() needs a count or a sequence"));
    if (!seq) return nullptr;
    for (Py_ssize_t i = 0; i < PySequence_Fast_GET_SIZE(seq.get()); ++i) {
      PyObject* v = PySequence_Fast_GET_ITEM(seq.get(), i);
      if (!is_mpc(v)) return type_error("_math_route_compare_complex() needs mpc values");
      for (int m = 0; m < 16; ++m)
        if (!cmp.run(mpc_of(v), prec_arg, prec_arg, m % 4, m / 4, ContextRecord{})) return nullptr;
    }
  }
  return Py_BuildValue("llO", cmp.runs, cmp.arb_settled, cmp.found.get());
}

// VEXA2_MATH_ROUTE=mpfr in the environment at import keeps the math
// functions on MPFR.
int read_route_setting(PyObject*) noexcept {
  const char* v = std::getenv("VEXA2_MATH_ROUTE");
  if (v && std::strcmp(v, "mpfr") == 0) arb_route::set_active(false);
  return 0;
}

const FnDef rows[] = {
    fast("_math_route", f_math_route, IN_MODULE, "_math_route(route=None, /)\n--\n\nReturn the route of the real math functions, 'arb' or 'mpfr', after switching to `route` if given (private: for tests and benchmarks)."),
    fast("_math_route_compare", f_compare, IN_MODULE, "_math_route_compare(name, n_or_values, seed, prec, /)\n--\n\nRun a math function through both routes and return (runs, settled by Arb, disagreements) (private: for tests)."),
    fast("_math_route_compare_complex", f_compare_complex, IN_MODULE, "_math_route_compare_complex(name, n_or_values, seed, prec, /)\n--\n\nRun a math function on complex arguments through both routes and return (runs, settled by Arb, disagreements) (private: for tests)."),
};

}  // namespace

VX_UNIT(floating_arb_compare, rows, {}, nullptr, read_route_setting)

}  // namespace vx
