// The MPFR constants, the special values inf/nan/zero, MPFR's limits,
// can_round, and ieee(), which builds a context imitating an IEEE 754
// binary interchange format.
#include <cmath>

#include "convert/int_conv.h"
#include "core/args.h"
#include "core/errors.h"
#include "core/ref.h"
#include "core/registry.h"
#include "objects/check.h"

namespace vx {

namespace {

// ---- constants ----

using ConstFn = int (*)(mpfr_ptr, mpfr_rnd_t);

// MPFR computes a constant with several working values of about its
// precision and aborts when it cannot allocate them: large requests are
// tried first.
bool room_for_constant(mpfr_prec_t p) {
  if (p <= (mpfr_prec_t{1} << 24)) return true;
  const size_t one = mpfr_custom_get_size(p);
  if (one > PY_SSIZE_T_MAX / 16) return false;
  void* probe = PyMem_RawMalloc(one * 16);
  if (!probe) return false;
  PyMem_RawFree(probe);
  return true;
}

PyObject* constant(ConstFn f, mpfr_prec_t prec, CTXT_Object* ctx) {
  MPFR_Object* r = new_mpfr(prec, ctx);
  if (!r) return nullptr;
  if (!room_for_constant(mpfr_get_prec(r->f))) {
    Py_DECREF(r);
    return memory_error();
  }
  mpfr_clear_flags();
  r->rc = f(r->f, rnd(ctx->ctx));
  return reinterpret_cast<PyObject*>(check_real(r, ctx));
}

template <ConstFn F>
PyObject* module_constant(PyObject*, PyObject* args, PyObject* kwargs) {
  static const char* kwlist[] = {"precision", nullptr};
  long prec = 0;
  if (!PyArg_ParseTupleAndKeywords(args, kwargs, "|l", const_cast<char**>(kwlist), &prec)) return nullptr;
  Own<CTXT_Object> ctx(current_context());
  if (!ctx) return nullptr;
  return constant(F, prec <= 1 ? 0 : prec, ctx.get());
}

template <ConstFn F>
PyObject* context_constant(PyObject* self, PyObject*) {
  return constant(F, 0, reinterpret_cast<CTXT_Object*>(self));
}

// ---- special values ----

// The sign requested by inf(n) and zero(n): negative for n < 0; n is read
// only when exactly one argument is given. 0 with an exception on failure.
int requested_sign(PyObject* args) {
  if (PyTuple_GET_SIZE(args) != 1) return 1;
  long n = read_long(PyTuple_GET_ITEM(args, 0));
  if (n == -1 && PyErr_Occurred()) return 0;
  return n < 0 ? -1 : 1;
}

// inf(n) and zero(n) by the MPFR routine that sets the value.
template <void (*Set)(mpfr_ptr, int)>
PyObject* f_signed(PyObject*, PyObject* args) {
  int sign = requested_sign(args);
  if (!sign) return nullptr;
  MPFR_Object* r = new_mpfr(0, nullptr);
  if (r) Set(r->f, sign);
  return reinterpret_cast<PyObject*>(r);
}

PyObject* f_nan(PyObject*, PyObject*) {
  MPFR_Object* r = new_mpfr(0, nullptr);
  if (r) mpfr_set_nan(r->f);
  return reinterpret_cast<PyObject*>(r);
}

// ---- limits ----

PyObject* f_get_emax_max(PyObject*, PyObject*) { return PyLong_FromLong(mpfr_get_emax_max()); }
PyObject* f_get_emin_min(PyObject*, PyObject*) { return PyLong_FromLong(mpfr_get_emin_min()); }
PyObject* f_get_max_precision(PyObject*, PyObject*) { return PyLong_FromLongLong(PREC_MAX); }

PyObject* f_can_round(PyObject*, PyObject* args) {
  PyObject* b;
  long err, prec;
  int rnd1, rnd2;
  if (!PyArg_ParseTuple(args, "O!liil", &MPFR_Type, &b, &err, &rnd1, &rnd2, &prec)) return nullptr;
  if (rnd1 < 0 || rnd1 > 4 || rnd2 < 0 || rnd2 > 4) return value_error("invalid value for rounding mode");
  if (prec < 1 || prec > PREC_MAX) return value_error("invalid value for precision");
  return PyBool_FromLong(mpfr_can_round(mpfr_of(b), err, static_cast<mpfr_rnd_t>(rnd1),
                                        static_cast<mpfr_rnd_t>(rnd2), prec));
}

// ---- ieee ----

PyObject* f_ieee(PyObject*, PyObject* args, PyObject* kwargs) {
  constexpr Need need{"ieee", "'int' argument"};
  if (PyTuple_GET_SIZE(args) != 1) return refuse(need, nullptr, 0);
  long k = PyLong_AsLong(PyTuple_GET_ITEM(args, 0));
  if (k == -1 && PyErr_Occurred()) {
    PyErr_Clear();
    return refuse(need, PyTuple_GET_ITEM(args, 0));
  }
  if (k < 1) return value_error("ieee() requires positive value for size");
  int subnormalize = 1;
  if (kwargs) {
    static const char* kwlist[] = {"subnormalize", nullptr};
    Ref empty = Ref::steal(PyTuple_New(0));
    if (!empty) return nullptr;
    if (!PyArg_ParseTupleAndKeywords(empty.get(), kwargs, "|i", const_cast<char**>(kwlist), &subnormalize)) {
      PyErr_Clear();
      return value_error("invalid keyword arguments for ieee()");
    }
  }

  long p, emax;
  switch (k) {
    case 16: p = 11, emax = 16; break;
    case 32: p = 24, emax = 128; break;
    case 64: p = 53, emax = 1024; break;
    case 128: p = 113, emax = 16384; break;
    default: {
      if (k < 128 || k % 32 != 0)
        return value_error("bitwidth must be 16, 32, 64, 128; or must be greater than 128 and divisible by 32.");
      const long t = static_cast<long>(std::floor(std::log(double(k)) * 4 / 0.6931471805599453 + 0.5));
      // Wider formats would need an exponent range beyond what MPFR offers.
      if (t - 14 >= 63 || (1L << (t - 14)) > mpfr_get_emax_max()) return value_error("invalid value for emax");
      p = k - t + 13;
      emax = 1L << (t - 14);
    }
  }
  ContextRecord c;
  c.precision = p;
  c.emax = emax;
  c.emin = 4 - emax - p;
  if (c.emin < mpfr_get_emin_min()) return value_error("invalid value for emin");
  c.subnormalize = subnormalize ? 1 : 0;
  return reinterpret_cast<PyObject*>(context_new(&c));
}

const FnDef rows[] = {
    varargs_kw("const_pi", module_constant<mpfr_const_pi>, IN_MODULE, "Return pi with the given precision (0: the context's).") .typed("precision: int = 0", "mpfr"),
    noargs("const_pi", context_constant<mpfr_const_pi>, IN_CONTEXT, "Return pi with this context's precision and rounding.") .typed("", "mpfr"),
    varargs_kw("const_euler", module_constant<mpfr_const_euler>, IN_MODULE, "Return Euler's constant (0.5772...) with the given precision (0: the context's).") .typed("precision: int = 0", "mpfr"),
    noargs("const_euler", context_constant<mpfr_const_euler>, IN_CONTEXT, "Return Euler's constant (0.5772...) with this context's precision and rounding.") .typed("", "mpfr"),
    varargs_kw("const_log2", module_constant<mpfr_const_log2>, IN_MODULE, "Return the natural logarithm of 2 with the given precision (0: the context's).") .typed("precision: int = 0", "mpfr"),
    noargs("const_log2", context_constant<mpfr_const_log2>, IN_CONTEXT, "Return the natural logarithm of 2 with this context's precision and rounding.") .typed("", "mpfr"),
    varargs_kw("const_catalan", module_constant<mpfr_const_catalan>, IN_MODULE, "Return Catalan's constant (0.9159...) with the given precision (0: the context's).") .typed("precision: int = 0", "mpfr"),
    noargs("const_catalan", context_constant<mpfr_const_catalan>, IN_CONTEXT, "Return Catalan's constant (0.9159...) with this context's precision and rounding.") .typed("", "mpfr"),
    varargs("inf", f_signed<mpfr_set_inf>, IN_MODULE, "Return -Infinity if n < 0, +Infinity otherwise (also without n), at the context's\nprecision.") .typed("n: _Real = 0, /", "mpfr"),
    varargs("zero", f_signed<mpfr_set_zero>, IN_MODULE, "Return -0 if n < 0, +0 otherwise (also without n), at the context's precision.") .typed("n: _Real = 0, /", "mpfr"),
    noargs("nan", f_nan, IN_MODULE, "Return NaN at the context's precision.").typed("", "mpfr"),
    noargs("get_emax_max", f_get_emax_max, IN_MODULE, "Return the largest maximum exponent MPFR allows.").typed("", "int"),
    noargs("get_emin_min", f_get_emin_min, IN_MODULE, "Return the smallest minimum exponent MPFR allows.").typed("", "int"),
    noargs("get_max_precision", f_get_max_precision, IN_MODULE, "Return the largest precision MPFR allows, in bits.").typed("", "int"),
    varargs("can_round", f_can_round, IN_MODULE, "Return True if b, an approximation with error at most 2**(EXP(b)-err) of a value rounded\nwith rnd1, can be rounded correctly to prec bits with rnd2.") .typed("b: mpfr, err: int, rnd1: int, rnd2: int, prec: int, /", "bool"),
    varargs_kw("ieee", f_ieee, IN_MODULE, "Return a new context imitating the IEEE 754 binary format of size bits (16, 32, 64,\n128, or a multiple of 32 above 128).").typed("size: int, /, subnormalize: bool = True", "context"),
};

}  // namespace

VX_UNIT(floating_special, rows)

}  // namespace vx
