// The predicates of real and complex numbers (is_nan, is_zero, ...) as
// methods, module functions and context methods, and the two-argument
// comparisons is_lessgreater and is_unordered.
#include "convert/classify.h"
#include "convert/real_conv.h"
#include "core/args.h"
#include "core/errors.h"
#include "core/ref.h"
#include "core/registry.h"

namespace vx {

namespace {

struct Predicate {
  bool (*real)(mpfr_srcptr);
  bool (*complex)(mpc_srcptr);  // nullptr: complex values are refused
  const char* name;  // in its messages
};

bool re_finite(mpfr_srcptr x) { return mpfr_number_p(x); }
bool re_infinite(mpfr_srcptr x) { return mpfr_inf_p(x); }
bool re_nan(mpfr_srcptr x) { return mpfr_nan_p(x); }
bool re_zero(mpfr_srcptr x) { return mpfr_zero_p(x); }
bool re_integer(mpfr_srcptr x) { return mpfr_integer_p(x); }
bool re_regular(mpfr_srcptr x) { return mpfr_regular_p(x); }
bool re_signed(mpfr_srcptr x) { return mpfr_signbit(x); }

bool c_finite(mpc_srcptr z) { return mpfr_number_p(mpc_realref(z)) && mpfr_number_p(mpc_imagref(z)); }
bool c_infinite(mpc_srcptr z) { return mpfr_inf_p(mpc_realref(z)) || mpfr_inf_p(mpc_imagref(z)); }
// A value with an infinite part counts as infinite, even when the other part is NaN.
bool c_nan(mpc_srcptr z) {
  mpfr_srcptr re = mpc_realref(z), im = mpc_imagref(z);
  return (mpfr_nan_p(re) && !mpfr_inf_p(im)) || (mpfr_nan_p(im) && !mpfr_inf_p(re));
}
bool c_zero(mpc_srcptr z) { return mpfr_zero_p(mpc_realref(z)) && mpfr_zero_p(mpc_imagref(z)); }

constexpr Predicate P_FINITE{re_finite, c_finite, "is_finite"};
constexpr Predicate P_INFINITE{re_infinite, c_infinite, "is_infinite"};
constexpr Predicate P_NAN{re_nan, c_nan, "is_nan"};
constexpr Predicate P_ZERO{re_zero, c_zero, "is_zero"};
constexpr Predicate P_INTEGER{re_integer, nullptr, "is_integer"};
constexpr Predicate P_REGULAR{re_regular, nullptr, "is_regular"};
constexpr Predicate P_SIGNED{re_signed, nullptr, "is_signed"};

PyObject* evaluate(const Predicate& p, PyObject* x, Ctx& cx) {
  const int kind = classify(x);
  if (kind == K_MPFR) return PyBool_FromLong(p.real(mpfr_of(x)));
  if (is_real_kind(kind)) {
    CTXT_Object* ctx = cx.get();
    if (!ctx) return nullptr;
    Own<MPFR_Object> v(to_mpfr(x, kind, PREC_EXACT, ctx));
    return v ? PyBool_FromLong(p.real(v->f)) : nullptr;
  }
  if (!p.complex || kind == K_UNKNOWN) return not_supported(p.name, x);
  if (kind == K_MPC) return PyBool_FromLong(p.complex(mpc_of(x)));
  CTXT_Object* ctx = cx.get();
  if (!ctx) return nullptr;
  Own<MPC_Object> v(to_mpc(x, kind, PREC_EXACT, PREC_EXACT, ctx));
  return v ? PyBool_FromLong(p.complex(v->c)) : nullptr;
}

// The module function / context method and the method of the number.
template <const Predicate& P>
PyObject* function(PyObject* self, PyObject* x) {
  Ctx cx = Ctx::of_self(self);
  return evaluate(P, x, cx);
}
template <const Predicate& P>
PyObject* method(PyObject* self, PyObject*) {
  Ctx cx;
  return evaluate(P, self, cx);
}

// ---- comparisons that tell NaN apart ----

template <int (*test)(mpfr_srcptr, mpfr_srcptr)>
PyObject* compare(const char* name, PyObject* const* args, Py_ssize_t nargs) {
  if (!want_args(nargs, 2, Fn{name})) return nullptr;
  const int kx = classify(args[0]), ky = classify(args[1]);
  if (!is_real_kind(kx) || !is_real_kind(ky)) return not_supported(name, args, nargs);
  Own<MPFR_Object> x(to_mpfr(args[0], kx, PREC_EXACT, nullptr));
  if (!x) return nullptr;
  Own<MPFR_Object> y(to_mpfr(args[1], ky, PREC_EXACT, nullptr));
  if (!y) return nullptr;
  return PyBool_FromLong(test(x->f, y->f));
}

PyObject* f_is_lessgreater(PyObject*, PyObject* const* args, Py_ssize_t nargs) {
  return compare<mpfr_lessgreater_p>("is_lessgreater", args, nargs);
}
PyObject* f_is_unordered(PyObject*, PyObject* const* args, Py_ssize_t nargs) {
  return compare<mpfr_unordered_p>("is_unordered", args, nargs);
}

const FnDef rows[] = {
    one("is_finite", function<P_FINITE>, MODULE_AND_CONTEXT, "Return True if x is finite (neither NaN nor an infinity).") .typed("x: _Num, /", "bool"),
    noargs("is_finite", method<P_FINITE>, ON_MPFR | ON_MPC, "Return True if x is finite (neither NaN nor an infinity).") .typed("", "bool"),
    one("is_infinite", function<P_INFINITE>, MODULE_AND_CONTEXT, "Return True if x is an infinity.") .typed("x: _Num, /", "bool"),
    noargs("is_infinite", method<P_INFINITE>, ON_MPFR | ON_MPC, "Return True if x is an infinity.").typed("", "bool"),
    one("is_nan", function<P_NAN>, MODULE_AND_CONTEXT, "Return True if x is NaN.") .typed("x: _Num, /", "bool"),
    noargs("is_nan", method<P_NAN>, ON_MPFR | ON_MPC, "Return True if x is NaN.").typed("", "bool"),
    one("is_zero", function<P_ZERO>, MODULE_AND_CONTEXT, "Return True if x is zero (of either sign).") .typed("x: _Num, /", "bool"),
    noargs("is_zero", method<P_ZERO>, ON_MPFR | ON_MPC, "Return True if x is zero (of either sign).").typed("", "bool"),
    one("is_integer", function<P_INTEGER>, MODULE_AND_CONTEXT, "Return True if x is a finite integral value.") .typed("x: _Real, /", "bool"),
    noargs("is_integer", method<P_INTEGER>, ON_MPFR, "Return True if x is a finite integral value.").typed("", "bool"),
    one("is_regular", function<P_REGULAR>, MODULE_AND_CONTEXT, "Return True if x is neither zero, NaN nor an infinity.") .typed("x: _Real, /", "bool"),
    noargs("is_regular", method<P_REGULAR>, ON_MPFR, "Return True if x is neither zero, NaN nor an infinity.") .typed("", "bool"),
    one("is_signed", function<P_SIGNED>, MODULE_AND_CONTEXT, "Return True if x has its sign bit set (-0, -Inf and a negative NaN too).") .typed("x: _Real, /", "bool"),
    noargs("is_signed", method<P_SIGNED>, ON_MPFR, "Return True if x has its sign bit set (-0, -Inf and a negative NaN too).") .typed("", "bool"),
    fast("is_lessgreater", f_is_lessgreater, IN_MODULE, "Return True if x < y or x > y; False when either is NaN.") .typed("x: _Real, y: _Real, /", "bool"),
    fast("is_unordered", f_is_unordered, IN_MODULE, "Return True if x or y is NaN.") .typed("x: _Real, y: _Real, /", "bool"),
};

}  // namespace

VX_UNIT(floating_predicates, rows)

}  // namespace vx
