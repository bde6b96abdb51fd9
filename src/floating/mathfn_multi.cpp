// Members of the math-function family with several results or several
// operands: frexp, lgamma, modf, remquo, sin_cos, sinh_cosh, the fused
// products fma, fms, fmma, fmms, and fsum.
#include <climits>
#include <vector>

#include "floating/arb_route.h"
#include "floating/mathfn.h"
#include "core/registry.h"
#include "core/signals.h"

namespace vx {

namespace {

using namespace mathfn;

// A checked mpfr result handed to a tuple; nullptr when the check trapped.
using RealOwn = Own<MPFR_Object>;

RealOwn checked(RealOwn r, CTXT_Object* ctx) noexcept { return RealOwn(check_real(r.release_typed(), ctx)); }

// The argument of a real-only member, converted exactly; nullptr with the
// member's TypeError for other kinds.
RealOwn real_arg(PyObject* x, CTXT_Object* ctx, const char* name) noexcept {
  const int kind = classify(x);
  if (!is_real_kind(kind)) {
    not_supported(name, x);
    return RealOwn();
  }
  return RealOwn(exact_real(x, kind, ctx));
}

// Ternary value of one result from its two bits of a combined code
// (0 exact, 1 above, 2 below).
int unpack_rc(int bits) noexcept { return bits == 2 ? -1 : bits == 1 ? 1 : 0; }

// Two results of one MPFR call that returns both ternary values in one code
// (bits 0-1 the first, bits 2-3 the second).
template <class F>
PyObject* real_two(CTXT_Object* ctx, F&& f) noexcept {
  RealOwn a(new_mpfr(0, ctx));
  if (!a) return nullptr;
  RealOwn b(new_mpfr(0, ctx));
  if (!b) return nullptr;
  mpfr_clear_flags();
  const int code = f(a->f, b->f, rnd(ctx->ctx));
  a->rc = unpack_rc(code & 3);
  b->rc = unpack_rc((code >> 2) & 3);
  RealOwn ca = checked(std::move(a), ctx);
  if (!ca) return nullptr;
  RealOwn cb = checked(std::move(b), ctx);
  if (!cb) return nullptr;
  return steal_pair(ca.release(), cb.release());
}

PyObject* f_frexp(PyObject* self, PyObject* x) {
  Ctx cx = Ctx::of_self(self);
  CTXT_Object* ctx = cx.get();
  if (!ctx) return nullptr;
  RealOwn a = real_arg(x, ctx, "frexp");
  if (!a) return nullptr;
  RealOwn m(new_mpfr(0, ctx));
  if (!m) return nullptr;
  mpfr_exp_t e = 0;
  mpfr_clear_flags();
  m->rc = mpfr_frexp(&e, m->f, a->f, rnd(ctx->ctx));
  if (!mpfr_regular_p(a->f)) e = 0;  // MPFR leaves it unset for NaN and infinities
  m = checked(std::move(m), ctx);
  if (!m) return nullptr;
  return steal_pair(PyLong_FromLongLong(static_cast<long long>(e)), m.release());
}

PyObject* f_lgamma(PyObject* self, PyObject* x) {
  Ctx cx = Ctx::of_self(self);
  CTXT_Object* ctx = cx.get();
  if (!ctx) return nullptr;
  RealOwn a = real_arg(x, ctx, "lgamma");
  if (!a) return nullptr;
  RealOwn r(new_mpfr(0, ctx));
  if (!r) return nullptr;
  int sign = 1;
  mpfr_clear_flags();
  // For x > 0 (sign 1) this is lngamma, which Arb may settle.
  static const arb_route::Rule* const arb = arb_route::find("lngamma");
  const bool settled = arb && mpfr_regular_p(a->f) && !mpfr_signbit(a->f) &&
                       arb_route::try1(arb, r->f, a->f, rnd(ctx->ctx), r->rc);
  if (!settled) r->rc = mpfr_lgamma(r->f, &sign, a->f, rnd(ctx->ctx));
  r = checked(std::move(r), ctx);
  if (!r) return nullptr;
  return steal_pair(r.release(), PyLong_FromLong(sign < 0 ? -1 : 1));
}

PyObject* f_modf(PyObject* self, PyObject* x) {
  Ctx cx = Ctx::of_self(self);
  CTXT_Object* ctx = cx.get();
  if (!ctx) return nullptr;
  RealOwn a = real_arg(x, ctx, "modf");
  if (!a) return nullptr;
  return real_two(ctx, [&](mpfr_ptr i, mpfr_ptr f, mpfr_rnd_t m) { return mpfr_modf(i, f, a->f, m); });
}

PyObject* f_sinh_cosh(PyObject* self, PyObject* x) {
  Ctx cx = Ctx::of_self(self);
  CTXT_Object* ctx = cx.get();
  if (!ctx) return nullptr;
  RealOwn a = real_arg(x, ctx, "sinh_cosh");
  if (!a) return nullptr;
  return real_two(ctx, [&](mpfr_ptr s, mpfr_ptr c, mpfr_rnd_t m) { return mpfr_sinh_cosh(s, c, a->f, m); });
}

PyObject* f_sin_cos(PyObject* self, PyObject* x) {
  Ctx cx = Ctx::of_self(self);
  CTXT_Object* ctx = cx.get();
  if (!ctx) return nullptr;
  const int kind = classify(x);
  if (is_real_kind(kind)) {
    RealOwn a(exact_real(x, kind, ctx));
    if (!a) return nullptr;
    return real_two(ctx, [&](mpfr_ptr s, mpfr_ptr c, mpfr_rnd_t m) { return mpfr_sin_cos(s, c, a->f, m); });
  }
  if (kind == K_UNKNOWN) return not_supported("sin_cos", x);
  Own<MPC_Object> a(exact_complex(x, kind, ctx));
  if (!a) return nullptr;
  Own<MPC_Object> s(new_mpc(0, 0, ctx));
  if (!s) return nullptr;
  Own<MPC_Object> c(new_mpc(0, 0, ctx));
  if (!c) return nullptr;
  const mpc_rnd_t m = crnd(ctx->ctx);
  const int code = mpc_sin_cos(s->c, c->c, a->c, m, m);
  s->rc = code & 15;
  c->rc = code >> 4;
  Own<MPC_Object> cs(check_complex(s.release_typed(), ctx));
  if (!cs) return nullptr;
  Own<MPC_Object> cc(check_complex(c.release_typed(), ctx));
  if (!cc) return nullptr;
  return steal_pair(cs.release(), cc.release());
}

PyObject* f_remquo(PyObject* self, PyObject* const* args, Py_ssize_t nargs) {
  if (!want_args(nargs, 2, Fn{"remquo"})) return nullptr;
  Ctx cx = Ctx::of_self(self);
  CTXT_Object* ctx = cx.get();
  if (!ctx) return nullptr;
  RealOwn x, y;
  if (!exact_reals(args, "remquo", ctx, x, y)) return nullptr;
  RealOwn r(new_mpfr(0, ctx));
  if (!r) return nullptr;
  long q = 0;
  mpfr_clear_flags();
  r->rc = mpfr_remquo(r->f, &q, x->f, y->f, rnd(ctx->ctx));
  r = checked(std::move(r), ctx);
  if (!r) return nullptr;
  return steal_pair(r.release(), PyLong_FromLong(q));
}

// ---- fused products ----

enum class Fused { fma, fms, fmma, fmms };

struct FusedName {
  const char* name;
  Py_ssize_t n;
  bool sub;
  bool complex_ok;
};
constexpr FusedName fused_names[] = {
    {"fma", 3, false, true},
    {"fms", 3, true, true},
    {"fmma", 4, false, false},
    {"fmms", 4, true, false},
};

// GMP's integers hold at most INT_MAX limbs; a product beyond that would abort.
bool product_fits(mpz_srcptr a, mpz_srcptr b) noexcept {
  return mpz_size(a) + mpz_size(b) < static_cast<size_t>(INT_MAX) - 1;
}

template <class T, class Conv>
bool convert_all(Own<T>* out, PyObject* const* args, const int* kinds, Py_ssize_t n, Conv conv) noexcept {
  for (Py_ssize_t i = 0; i < n; ++i) {
    out[i] = Own<T>(conv(args[i], kinds[i]));
    if (!out[i]) return false;
  }
  return true;
}

PyObject* fused_integer(const FusedName& d, PyObject* const* args, const int* kinds, CTXT_Object* ctx) noexcept {
  Own<MPZ_Object> v[4];
  if (!convert_all(v, args, kinds, d.n, to_mpz)) return nullptr;
  if (!product_fits(v[0]->z, v[1]->z) || (d.n == 4 && !product_fits(v[2]->z, v[3]->z))) return memory_error();
  Own<MPZ_Object> r(new_mpz());
  if (!r) return nullptr;
  gmp_compute(ctx->ctx, [&] {
    mpz_mul(r->z, v[0]->z, v[1]->z);
    if (d.n == 3) {
      (d.sub ? mpz_sub : mpz_add)(r->z, r->z, v[2]->z);
    } else {
      Mpz t;
      mpz_mul(t, v[2]->z, v[3]->z);
      (d.sub ? mpz_sub : mpz_add)(r->z, r->z, t);
    }
  });
  return r.release();
}

PyObject* fused_rational(const FusedName& d, PyObject* const* args, const int* kinds, CTXT_Object* ctx) noexcept {
  Own<MPQ_Object> v[4];
  if (!convert_all(v, args, kinds, d.n, to_mpq)) return nullptr;
  Own<MPQ_Object> r(new_mpq());
  if (!r) return nullptr;
  gmp_compute(ctx->ctx, [&] {
    mpq_mul(r->q, v[0]->q, v[1]->q);
    if (d.n == 3) {
      (d.sub ? mpq_sub : mpq_add)(r->q, r->q, v[2]->q);
    } else {
      Mpq t;
      mpq_mul(t, v[2]->q, v[3]->q);
      (d.sub ? mpq_sub : mpq_add)(r->q, r->q, t);
    }
  });
  return r.release();
}

PyObject* fused_real(const FusedName& d, PyObject* const* args, const int* kinds, CTXT_Object* ctx) noexcept {
  Own<MPFR_Object> v[4];
  if (!convert_all(v, args, kinds, d.n, [ctx](PyObject* o, int k) { return exact_real(o, k, ctx); }))
    return nullptr;
  return real_result(ctx, 0, [&](mpfr_ptr r, mpfr_rnd_t m) {
    if (d.n == 3) return (d.sub ? mpfr_fms : mpfr_fma)(r, v[0]->f, v[1]->f, v[2]->f, m);
    return (d.sub ? mpfr_fmms : mpfr_fmma)(r, v[0]->f, v[1]->f, v[2]->f, v[3]->f, m);
  });
}

PyObject* fused_complex(const FusedName& d, PyObject* const* args, const int* kinds, CTXT_Object* ctx) noexcept {
  Own<MPC_Object> v[3];
  if (!convert_all(v, args, kinds, 3, [ctx](PyObject* o, int k) { return exact_complex(o, k, ctx); }))
    return nullptr;
  return complex_result(ctx, [&](mpc_ptr r, mpc_rnd_t m) {
    if (!d.sub) return mpc_fma(r, v[0]->c, v[1]->c, v[2]->c, m);
    mpc_srcptr z = v[2]->c;
    Mpc neg(mpfr_get_prec(mpc_realref(z)), mpfr_get_prec(mpc_imagref(z)));
    mpc_neg(neg, z, m);  // exact at z's own precisions
    return mpc_fma(r, v[0]->c, v[1]->c, neg, m);
  });
}

template <Fused F>
PyObject* f_fused(PyObject* self, PyObject* const* args, Py_ssize_t nargs) {
  const FusedName& d = fused_names[static_cast<int>(F)];
  if (!want_args(nargs, d.n, Fn{d.name})) return nullptr;
  Ctx cx = Ctx::of_self(self);
  CTXT_Object* ctx = cx.get();
  if (!ctx) return nullptr;
  int kinds[4];
  bool integer = true, rational = true, real = true, known = true;
  for (Py_ssize_t i = 0; i < d.n; ++i) {
    kinds[i] = classify(args[i]);
    integer &= is_integer_kind(kinds[i]);
    rational &= is_rational_kind(kinds[i]);
    real &= is_real_kind(kinds[i]);
    known &= kinds[i] != K_UNKNOWN;
  }
  if (integer) return fused_integer(d, args, kinds, ctx);
  if (rational) return fused_rational(d, args, kinds, ctx);
  if (real) return fused_real(d, args, kinds, ctx);
  if (known && d.complex_ok) return fused_complex(d, args, kinds, ctx);
  return not_supported(d.name, args, nargs);
}

// ---- fsum ----

PyObject* f_fsum(PyObject* self, PyObject* iterable) {
  Ctx cx = Ctx::of_self(self);
  CTXT_Object* ctx = cx.get();
  if (!ctx) return nullptr;
  RealOwn r(new_mpfr(0, ctx));
  if (!r) return nullptr;
  Ref list = Ref::steal(PySequence_List(iterable));
  if (!list) {
    if (must_propagate()) return nullptr;  // an interrupt while iterating, no memory
    PyErr_Clear();
    return type_error("argument must be an iterable");
  }
  const Py_ssize_t n = PyList_GET_SIZE(list.get());
  std::vector<mpfr_ptr> values;
  try {
    values.reserve(static_cast<size_t>(n));
  } catch (...) {
    return memory_error();
  }
  SignalPoll poll;
  for (Py_ssize_t i = 0; i < n; ++i) {
    if (poll()) return nullptr;
    PyObject* item = PyList_GET_ITEM(list.get(), i);
    MPFR_Object* v = exact_real(item, classify(item), ctx);
    if (!v) {
      if (PyErr_Occurred() && must_propagate()) return nullptr;
      PyErr_Clear();
      return type_error("all items in iterable must be real numbers");
    }
    PyList_SET_ITEM(list.get(), i, obj(v));  // the list now holds the converted value
    Py_DECREF(item);
    values.push_back(v->f);
  }
  mpfr_clear_flags();
  r->rc = mpfr_sum(r->f, values.data(), static_cast<unsigned long>(n), rnd(ctx->ctx));
  return obj(check_real(r.release_typed(), ctx));
}

const FnDef rows[] = {
    one("frexp", f_frexp, MODULE_AND_CONTEXT, "Return a tuple (e, m) with x == m * 2**e and 0.5 <= abs(m) < 1.") .typed("x: _Real, /", "tuple[int, mpfr]"),
    one("lgamma", f_lgamma, MODULE_AND_CONTEXT, "Return a tuple (v, s): v is the logarithm of the absolute value of gamma(x) and s its sign, 1 or -1.").typed("x: _Real, /", "tuple[mpfr, int]"),
    one("modf", f_modf, MODULE_AND_CONTEXT, "Return a tuple (i, f): the integer and fractional parts of x, both with the sign of x.") .typed("x: _Real, /", "tuple[mpfr, mpfr]"),
    one("sin_cos", f_sin_cos, MODULE_AND_CONTEXT, "Return a tuple (sin(x), cos(x)); x in radians.") .typed("x: _Real, / -> tuple[mpfr, mpfr]; x: complex | mpc, / -> tuple[mpc, mpc]"),
    one("sinh_cosh", f_sinh_cosh, MODULE_AND_CONTEXT, "Return a tuple (sinh(x), cosh(x)).") .typed("x: _Real, /", "tuple[mpfr, mpfr]"),
    fast("remquo", f_remquo, MODULE_AND_CONTEXT, "Return a tuple (r, q): r = remainder(x, y) and q holds the low bits of the quotient x/y rounded to nearest, with its sign.").typed("x: _Real, y: _Real, /", "tuple[mpfr, int]"),
    fast("fma", f_fused<Fused::fma>, MODULE_AND_CONTEXT, "Return x*y + z, rounded once.") .typed("x: _Real, y: _Real, z: _Real, /", "mpz | mpq | mpfr | mpc"),
    fast("fms", f_fused<Fused::fms>, MODULE_AND_CONTEXT, "Return x*y - z, rounded once.") .typed("x: _Real, y: _Real, z: _Real, /", "mpz | mpq | mpfr | mpc"),
    fast("fmma", f_fused<Fused::fmma>, MODULE_AND_CONTEXT, "Return x*y + z*t, rounded once.") .typed("x: _Real, y: _Real, z: _Real, t: _Real, /", "mpz | mpq | mpfr"),
    fast("fmms", f_fused<Fused::fmms>, MODULE_AND_CONTEXT, "Return x*y - z*t, rounded once.") .typed("x: _Real, y: _Real, z: _Real, t: _Real, /", "mpz | mpq | mpfr"),
    one("fsum", f_fsum, MODULE_AND_CONTEXT, "Return the correctly rounded sum of the real numbers of the iterable.") .typed("iterable: Iterable[_Real], /", "mpfr"),
};

}  // namespace

VX_UNIT(floating_mathfn_multi, rows)

}  // namespace vx
