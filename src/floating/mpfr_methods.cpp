// Methods and attributes of mpfr: exact decompositions, the simple-fraction
// approximation, the real/imag parts, and the module functions that read or
// change the exponent and sign of an mpfr.
#include <climits>

#include "context/context.h"
#include "convert/simple_fraction.h"
#include "core/args.h"
#include "core/errors.h"
#include "core/memory.h"
#include "core/ref.h"
#include "core/registry.h"
#include "core/temps.h"
#include "objects/check.h"

namespace vx {

namespace {

PyObject* self_ref(PyObject* x, PyObject* = nullptr) {
  Py_INCREF(x);
  return x;
}

// (m, e) with x = m * 2**e; m has exactly the precision's bits. x is regular.
PyObject* mantissa_exp_pair(mpfr_srcptr x, bool reduce) {
  Own<MPZ_Object> m(new_mpz());
  if (!m) return nullptr;
  Own<MPZ_Object> second(new_mpz());
  if (!second) return nullptr;
  mpfr_exp_t e = mpfr_get_z_2exp(m->z, x);
  if (!reduce) {
    mpz_set_si(second->z, e);
  } else {
    // Lowest terms: move the trailing zero bits of m into the exponent.
    mp_bitcnt_t tz = mpz_scan1(m->z, 0);
    mpz_tdiv_q_2exp(m->z, m->z, tz);
    e += static_cast<mpfr_exp_t>(tz);
    if (!can_allocate(bits_sum(static_cast<uint64_t>(e > 0 ? e : -e), mpz_sizeinbase(m->z, 2)))) return nullptr;
    mpz_set_ui(second->z, 1);
    if (e > 0) mpz_mul_2exp(m->z, m->z, static_cast<mp_bitcnt_t>(e));
    else if (e < 0) mpz_mul_2exp(second->z, second->z, static_cast<mp_bitcnt_t>(-e));
  }
  return steal_pair(m.release(), second.release());
}

// x.as_integer_ratio() (RATIO) and x.as_mantissa_exp(): (0, 1) for a zero.
template <bool RATIO>
PyObject* mpfr_as_pair(PyObject* self, PyObject*) {
  mpfr_srcptr x = mpfr_of(self);
  if (mpfr_inf_p(x))
    return overflow_error(RATIO ? "Cannot pass Infinity to mpfr.as_integer_ratio."
                                : "Cannot pass Infinity to mpfr.as_mantissa_exp.");
  if (mpfr_nan_p(x))
    return value_error(RATIO ? "Cannot pass NaN to mpfr.as_integer_ratio." : "Cannot pass NaN to mpfr.as_mantissa_exp.");
  if (!mpfr_zero_p(x)) return mantissa_exp_pair(x, RATIO);
  Own<MPZ_Object> a(new_mpz()), b(new_mpz());
  if (!a || !b) return nullptr;
  mpz_set_ui(b->z, 1);
  return steal_pair(a.release(), b.release());
}

PyObject* mpfr_as_simple_fraction(PyObject* self, PyObject* args, PyObject* kwargs) {
  static const char* kwlist[] = {"precision", nullptr};
  long prec = 0;
  if (!PyArg_ParseTupleAndKeywords(args, kwargs, "|l", const_cast<char**>(kwlist), &prec)) return nullptr;
  return simple_fraction(mpfr_of(self), nullptr, prec, false);
}

PyObject* mpfr_sizeof(PyObject* self, PyObject*) {
  const size_t limbs = (mpfr_get_prec(mpfr_of(self)) + mp_bits_per_limb - 1) / mp_bits_per_limb;
  return PyLong_FromSize_t(static_cast<size_t>(Py_TYPE(self)->tp_basicsize) + limbs * sizeof(mp_limb_t));
}

PyObject* mpfr_get_imag(PyObject*, void*) {
  MPFR_Object* r = new_mpfr(0, nullptr);
  if (r) mpfr_set_zero(r->f, 1);
  return reinterpret_cast<PyObject*>(r);
}

PyObject* mpfr_get_real(PyObject* self, void*) { return self_ref(self); }

// ---- exponent and sign ----

PyObject* f_get_exp(PyObject*, PyObject* x) {
  if (!is_mpfr(x)) return requires_args("get_exp", "'mpfr' argument", x);
  mpfr_srcptr f = mpfr_of(x);
  if (mpfr_regular_p(f)) return PyLong_FromLong(mpfr_get_exp(f));
  if (mpfr_zero_p(f)) return PyLong_FromLong(0);
  Own<CTXT_Object> ctx(current_context());
  if (!ctx) return nullptr;
  ctx->ctx.erange = 1;
  if (ctx->ctx.traps & TRAP_ERANGE) return raise(exc.range, "Can not get exponent from NaN or Infinity.");
  return PyLong_FromLong(0);
}

PyObject* f_set_exp(PyObject*, PyObject* const* args, Py_ssize_t nargs) {
  if (nargs != 2 || !is_mpfr(args[0]) || !PyLong_Check(args[1]))
    return requires_args("set_exp", "'mpfr', 'integer' arguments", args, nargs);
  long n = PyLong_AsLong(args[1]);
  if (n == -1 && PyErr_Occurred()) {
    PyErr_Clear();
    return value_error("exponent too large");
  }
  Own<CTXT_Object> ctx(current_context());
  if (!ctx) return nullptr;
  if (range_empty(ctx->ctx)) return value_error(EMPTY_RANGE);
  mpfr_srcptr x = mpfr_of(args[0]);
  const mpfr_prec_t px = mpfr_get_prec(x);
  Own<MPFR_Object> r(new_mpfr(px, ctx.get()));
  if (!r) return nullptr;
  if (px < 2) mpfr_set_prec(r->f, px);
  {
    ExpRange range(ctx->ctx.emin, ctx->ctx.emax);
    mpfr_set(r->f, x, rnd(ctx->ctx));
    r->rc = mpfr_set_exp(r->f, n);
  }
  if (r->rc != 0) {
    ctx->ctx.erange = 1;
    if (ctx->ctx.traps & TRAP_ERANGE) return raise(exc.range, "new exponent is out-of-bounds");
  }
  return r.release();
}

PyObject* f_set_sign(PyObject*, PyObject* const* args, Py_ssize_t nargs) {
  if (nargs != 2 || !is_mpfr(args[0]) || !PyLong_Check(args[1]))
    return requires_args("set_sign", "'mpfr', 'boolean' arguments", args, nargs);
  int neg = PyObject_IsTrue(args[1]);
  if (neg < 0) return nullptr;
  Own<CTXT_Object> ctx(current_context());
  if (!ctx) return nullptr;
  if (range_empty(ctx->ctx)) return value_error(EMPTY_RANGE);
  MPFR_Object* r = new_mpfr(0, ctx.get());
  if (r) r->rc = mpfr_setsign(r->f, mpfr_of(args[0]), neg, rnd(ctx->ctx));
  return reinterpret_cast<PyObject*>(r);
}

PyObject* f_copy_sign(PyObject*, PyObject* const* args, Py_ssize_t nargs) {
  if (nargs != 2 || !is_mpfr(args[0]) || !is_mpfr(args[1]))
    return requires_args("copy_sign", "'mpfr', 'mpfr' arguments", args, nargs);
  Own<CTXT_Object> ctx(current_context());
  if (!ctx) return nullptr;
  if (range_empty(ctx->ctx)) return value_error(EMPTY_RANGE);
  MPFR_Object* r = new_mpfr(0, ctx.get());
  if (r) r->rc = mpfr_copysign(r->f, mpfr_of(args[0]), mpfr_of(args[1]), rnd(ctx->ctx));
  return reinterpret_cast<PyObject*>(r);
}

const FnDef rows[] = {
    noargs("__sizeof__", mpfr_sizeof, ON_MPFR, "Return the memory used by x, in bytes.").typed("/", "int"),
    noargs("as_integer_ratio", mpfr_as_pair<true>, ON_MPFR, "Return (numerator, denominator), two mpz in lowest terms whose ratio is exactly x.") .typed("/", "tuple[mpz, mpz]"),
    noargs("as_mantissa_exp", mpfr_as_pair<false>, ON_MPFR, "Return (mantissa, exponent), two mpz with x == mantissa * 2**exponent; the mantissa\nhas the precision's number of bits.").typed("/", "tuple[mpz, mpz]"),
    varargs_kw("as_simple_fraction", mpfr_as_simple_fraction, ON_MPFR, "Return the simplest mpq that approximates x to precision bits (0: the precision of x).") .typed("/, precision: int = 0", "mpq"),
    noargs("conjugate", self_ref, ON_MPFR, "Return x: a real number is its own conjugate.") .typed("/", "mpfr"),
    one("get_exp", f_get_exp, IN_MODULE, "Return the exponent of an mpfr x, with x == f * 2**exp and 0.5 <= abs(f) < 1.") .typed("x: mpfr, /", "int"),
    fast("set_exp", f_set_exp, IN_MODULE, "Return a copy of the mpfr x with its exponent set to n.") .typed("x: mpfr, n: int, /", "mpfr"),
    fast("set_sign", f_set_sign, IN_MODULE, "Return abs(x) if s is false, -abs(x) if s is true.") .typed("x: mpfr, s: bool, /", "mpfr"),
    fast("copy_sign", f_copy_sign, IN_MODULE, "Return the magnitude of x with the sign of y.") .typed("x: mpfr, y: mpfr, /", "mpfr"),
};

const AttrDef attrs[] = {
    {"imag", mpfr_get_imag, nullptr, "imaginary component", ON_MPFR},
    {"real", mpfr_get_real, nullptr, "real component", ON_MPFR},
};

}  // namespace

VX_UNIT(floating_mpfr_methods, rows, attrs)

}  // namespace vx
