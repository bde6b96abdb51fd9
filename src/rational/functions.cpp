// Module functions on rationals: qdiv, f2q, numer and denom.
#include "context/context.h"
#include "convert/classify.h"
#include "convert/int_conv.h"
#include "convert/real_conv.h"
#include "convert/simple_fraction.h"
#include "core/args.h"
#include "core/errors.h"
#include "core/ref.h"
#include "core/registry.h"
#include "core/temps.h"
#include "objects/objects.h"

namespace vx {

namespace {

// An integer or a rational: mpq, mpz, xmpz, int, Fraction, or an object
// offering __mpq__ or __mpz__.
bool rational_like(PyObject* o) noexcept {
  return is_rational_kind(classify(o)) || (type_bits(o) & (P_MPQ | P_MPZ)) != 0;
}

// A rational, as an mpz when its denominator is 1.
PyObject* rational_result(Own<MPQ_Object> q) noexcept {
  if (mpz_cmp_ui(mpq_denref(q->q), 1) != 0) return q.release();
  return reinterpret_cast<PyObject*>(int_from_mpz<MPZ_Object>(mpq_numref(q->q)));
}

PyObject* f_qdiv(PyObject*, PyObject* const* args, Py_ssize_t nargs) {
  static constexpr Need msg{"qdiv", "1 or 2 integer or rational arguments"};
  if (nargs == 1) {
    PyObject* x = args[0];
    if (is_mpz(x)) return Py_NewRef(x);
    if (is_xmpz(x) || PyLong_Check(x))
      return reinterpret_cast<PyObject*>(to_mpz(x, is_xmpz(x) ? K_XMPZ : K_PYINT));
    if (!is_mpq(x) && !is_fraction_value(x) && !has_protocol(x, P_MPQ) && has_protocol(x, P_MPZ))
      return reinterpret_cast<PyObject*>(to_mpz(x, K_HAS_MPZ));
    if (!rational_like(x)) return refuse(msg, x);
    Own<MPQ_Object> q(to_mpq_ratonly(x));
    if (!q) return nullptr;
    return rational_result(std::move(q));
  }
  if (nargs != 2 || !rational_like(args[0]) || !rational_like(args[1])) return refuse(msg, args, nargs);
  Own<MPQ_Object> x(to_mpq_ratonly(args[0]));
  if (!x) return nullptr;
  Own<MPQ_Object> y(to_mpq_ratonly(args[1]));
  if (!y) return nullptr;
  if (mpq_sgn(y->q) == 0) return zero_division("qdiv() division by zero");
  Own<MPQ_Object> q(new_mpq());
  if (!q) return nullptr;
  mpq_div(q->q, x->q, y->q);
  return rational_result(std::move(q));
}


// o as an mpfr, exactly where the conversion allows it; at least 2 bits,
// which the approximation needs (a 1-bit value fits 2 bits exactly).
MPFR_Object* exact_real_2bits(PyObject* o, CTXT_Object* ctx) noexcept {
  Own<MPFR_Object> f;
  const int kind = classify(o);
  if (is_real_kind(kind)) {
    f = Own<MPFR_Object>(to_mpfr(o, kind, PREC_EXACT, ctx));
  } else {
    Own<MPQ_Object> q(to_mpq_ctor(o));  // a Decimal: its exact ratio
    if (!q) return nullptr;
    f = Own<MPFR_Object>(to_mpfr(q.obj(), K_MPQ, PREC_EXACT, ctx));
  }
  if (!f || mpfr_get_prec(f->f) >= 2) return f.release_typed();
  MPFR_Object* r = new_mpfr(2, ctx);
  if (r) mpfr_set(r->f, f->f, MPFR_RNDN);
  return r;
}

PyObject* f_f2q(PyObject* self, PyObject* const* args, Py_ssize_t nargs) {
  if (!want_args_range(nargs, 1, 2, Fn{"f2q"})) return nullptr;
  Ctx cx = Ctx::of_self(self);
  CTXT_Object* ctx = cx.get();
  if (!ctx) return nullptr;
  for (Py_ssize_t i = 0; i < nargs; ++i)
    if (!real_arg(args[i])) return types_not_supported("f2q", args, nargs);
  Own<MPFR_Object> err;
  if (nargs == 2) {
    err = Own<MPFR_Object>(exact_real_2bits(args[1], ctx));
    if (!err) return nullptr;
  }
  Own<MPFR_Object> x(exact_real_2bits(args[0], ctx));
  if (!x) return nullptr;
  return simple_fraction(x->f, err ? err->f : nullptr, 0, true);
}

template <mpz_srcptr (*part)(mpq_srcptr)>
PyObject* f_part(PyObject*, PyObject* x) {
  Own<MPQ_Object> q(to_mpq_ratonly(x));
  if (!q) return nullptr;
  return reinterpret_cast<PyObject*>(int_from_mpz<MPZ_Object>(part(q->q)));
}

mpz_srcptr numerator_of(mpq_srcptr q) { return mpq_numref(q); }
mpz_srcptr denominator_of(mpq_srcptr q) { return mpq_denref(q); }

const FnDef rows[] = {
    fast("qdiv", f_qdiv, IN_MODULE, "Return x/y as an mpz if the quotient is an integer, else as an mpq.\nx and y must be integers or rationals.").typed("x: _Rat, y: _Rat = 1, /", "mpz | mpq"),
    fast("f2q", f_f2q, MODULE_AND_CONTEXT, "Return the best rational approximation of x within the relative error\nerr, by default within the precision of x. A negative err means a\nrelative error of 2**err. The result is an mpz when its denominator is 1.") .typed("x: _Rat, err: int = 0, /", "mpz | mpq"),
    one("numer", f_part<numerator_of>, IN_MODULE, "Return the numerator of x as an mpz.").typed("x: _Rat, /", "mpz"),
    one("denom", f_part<denominator_of>, IN_MODULE, "Return the denominator of x as an mpz.").typed("x: _Rat, /", "mpz"),
};

}  // namespace

VX_UNIT(rational_functions, rows)

}  // namespace vx
