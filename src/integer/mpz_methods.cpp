// Methods and attributes of mpz (and those xmpz shares), other than the
// bit methods and text formatting.
#include <climits>

#include "context/context.h"
#include "convert/classify.h"
#include "convert/int_conv.h"
#include "integer/mpz_internal.h"
#include "core/args.h"
#include "core/errors.h"
#include "core/ref.h"
#include "core/registry.h"
#include "core/temps.h"

namespace vx {

namespace {

// __ceil__, __floor__, __trunc__, conjugate: an integer is its own value.
PyObject* self_value(PyObject* self, PyObject*) { return Py_NewRef(self); }

PyObject* mpz_round(PyObject* self, PyObject* const* args, Py_ssize_t nargs) {
  if (!want_args_range(nargs, 0, 1, Fn{"__round__"})) return nullptr;
  if (nargs == 0) return Py_NewRef(self);
  const long long nd = read_llong(args[0]);
  if (nd == -1 && PyErr_Occurred()) {
    PyErr_Clear();
    return requires_args("__round__", "'int' argument", args[0]);
  }
  if (nd >= 0) return Py_NewRef(self);
  const unsigned long long k = 0ULL - static_cast<unsigned long long>(nd);  // -nd, also for LLONG_MIN
  mpz_srcptr x = mpz_of(self);
  Own<CTXT_Object> ctx(current_context());
  if (!ctx) return nullptr;
  const int mode = ctx->ctx.round;
  Own<MPZ_Object> r(new_mpz());
  if (!r) return nullptr;
  if (mpz_sizeinbase(x, 10) < k) {
    // |x| < 10**(k-1): the quotient is 0, or +-1 when the mode rounds away from 0.
    const int s = mpz_sgn(x);
    const int q = mode == RoundUp ? (s > 0) : mode == RoundDown ? -(s < 0) : mode == RoundAwayZero ? s : 0;
    if (q == 0) return r.release();
    if (k > MPZ_MAX_BITS / 4) return cannot_allocate(k > UINT64_MAX / 4 ? UINT64_MAX : 3 * k + k / 3);  // 10**k has about 3.32k bits
    mpz_ui_pow_ui(r->z, 10, static_cast<unsigned long>(k));
    if (q < 0) mpz_neg(r->z, r->z);
    return r.release();
  }
  Mpz p;
  mpz_ui_pow_ui(p, 10, static_cast<unsigned long>(k));
  round_div(r->z, x, p, mode);
  mpz_mul(r->z, r->z, p);
  return r.release();
}

PyObject* mpz_sizeof(PyObject* self, PyObject*) {
  XmpzLock lock(self);
  auto alloc = static_cast<size_t>(mpz_of(self)->_mp_alloc);
  return PyLong_FromSize_t(static_cast<size_t>(Py_TYPE(self)->tp_basicsize) + alloc * sizeof(mp_limb_t));
}

PyObject* mpz_array(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  if (nargs > 2) return too_many("__array__", 2, "positional");
  const Py_ssize_t nkw = kwnames ? PyTuple_GET_SIZE(kwnames) : 0;
  if (nkw > 2) return too_many("__array__", 2, "keyword");
  PyObject* dtype = nargs >= 1 ? args[0] : Py_None;
  for (Py_ssize_t i = 0; i < nkw; ++i) {
    PyObject* name = PyTuple_GET_ITEM(kwnames, i);
    if (PyUnicode_CompareWithASCIIString(name, "dtype") == 0) {
      if (nargs >= 1) return type_error("argument for __array__() given by name ('dtype') and position (1)");
      dtype = args[nargs + i];
    } else if (PyUnicode_CompareWithASCIIString(name, "copy") == 0) {
      if (nargs >= 2) return type_error("argument for __array__() given by name ('copy') and position (2)");
    } else {
      return type_error("got an invalid keyword argument for __array__()");
    }
  }
  Ref numpy = Ref::steal(PyImport_ImportModule("numpy"));
  if (!numpy) return nullptr;
  Ref value = Ref::steal(pylong_from_mpz(mpz_of(self)));
  if (!value) return nullptr;
  return PyObject_CallMethod(numpy.get(), "array", "OO", value.get(), dtype);
}

PyObject* is_congruent(PyObject* self, PyObject* const* args, Py_ssize_t nargs) {
  static constexpr Need msg{"is_congruent", "2 integer arguments"};
  if (!want_args(nargs, 2, msg)) return nullptr;
  Own<MPZ_Object> a[2];
  if (!int_args(a, args, 2, msg, true)) return nullptr;
  return PyBool_FromLong(mpz_congruent_p(mpz_of(self), a[0]->z, a[1]->z));
}

PyObject* is_divisible(PyObject* self, PyObject* d) {
  const unsigned long small = read_ulong(d);
  if (!(small == static_cast<unsigned long>(-1) && PyErr_Occurred()))
    return PyBool_FromLong(mpz_divisible_ui_p(mpz_of(self), small));
  PyErr_Clear();
  Own<MPZ_Object> big(int_arg(d, Need{"is_divisible", "2 integer arguments"}));
  if (!big) return nullptr;
  return PyBool_FromLong(mpz_divisible_p(mpz_of(self), big->z));
}

PyObject* is_even(PyObject* self, PyObject*) { return PyBool_FromLong(mpz_even_p(mpz_of(self))); }
PyObject* is_odd(PyObject* self, PyObject*) { return PyBool_FromLong(mpz_odd_p(mpz_of(self))); }
PyObject* is_power(PyObject* self, PyObject*) { return PyBool_FromLong(mpz_perfect_power_p(mpz_of(self))); }
PyObject* is_square(PyObject* self, PyObject*) {
  mpz_srcptr z = mpz_of(self);
  return PyBool_FromLong(mpz_sgn(z) >= 0 && mpz_perfect_square_p(z));
}
PyObject* is_integer(PyObject*, PyObject*) { Py_RETURN_TRUE; }

// GMP's primality test of self with the optional count of rounds n (25 when
// not given), read by `read`: 2 for certainly prime, 1 probably prime, 0
// composite (or negative); -1 with the refusal of n. The count is capped at
// 1000: GMP would run every round asked for (hours for a large prime and a
// count near 2**31), and 1000 rounds leave an error below 4**-1000.
int prime_test(PyObject* self, PyObject* const* args, Py_ssize_t nargs, const char* name,
               unsigned long (*read)(PyObject*)) noexcept {
  if (!want_args_range(nargs, 0, 1, Fn{name})) return -1;
  unsigned long reps = 25;
  if (nargs == 1) {
    reps = read(args[0]);
    if (reps == static_cast<unsigned long>(-1) && PyErr_Occurred()) {
      argument_needs(args[0], name, "a non-negative count of rounds n");
      return -1;
    }
  }
  mpz_srcptr z = mpz_of(self);
  return mpz_sgn(z) < 0 ? 0 : mpz_probab_prime_p(z, reps > 1000 ? 1000 : static_cast<int>(reps));
}

PyObject* is_prime(PyObject* self, PyObject* const* args, Py_ssize_t nargs) {
  const int r = prime_test(self, args, nargs, "is_prime", read_ulong);  // any integer type
  return r < 0 ? nullptr : PyBool_FromLong(r);
}

PyObject* is_probab_prime(PyObject* self, PyObject* const* args, Py_ssize_t nargs) {
  const int r = prime_test(self, args, nargs, "is_probab_prime", PyLong_AsUnsignedLong);  // a Python int
  return r < 0 ? nullptr : PyLong_FromLong(r);
}

PyObject* as_integer_ratio(PyObject* self, PyObject*) {
  Ref one = Ref::steal(obj(new_mpz()));
  if (!one) return nullptr;
  mpz_set_ui(mpz_of(one.get()), 1);
  return PyTuple_Pack(2, self, one.get());
}

PyObject* small_mpz(unsigned long v) noexcept {
  MPZ_Object* r = new_mpz();
  if (r) mpz_set_ui(r->z, v);
  return obj(r);
}

PyObject* get_self(PyObject* self, void*) { return Py_NewRef(self); }
PyObject* get_one(PyObject*, void*) { return small_mpz(1); }
PyObject* get_zero(PyObject*, void*) { return small_mpz(0); }


const FnDef mpz_integer_methods[] = {
    noargs("__ceil__", self_value, ON_MPZ, "Return the ceiling of x (x itself).") .typed("/", "mpz"),
    noargs("__floor__", self_value, ON_MPZ, "Return the floor of x (x itself).") .typed("/", "mpz"),
    noargs("__trunc__", self_value, ON_MPZ, "Return x truncated to an integer (x itself).") .typed("/", "mpz"),
    fast("__round__", mpz_round, ON_MPZ, "Round x to the nearest multiple of 10**-ndigits.") .typed("ndigits: int | None = None, /", "mpz"),
    noargs("__sizeof__", mpz_sizeof, ON_INTEGERS, "Return the size of x in memory, in bytes.") .typed("/", "int"),
    fast_kw("__array__", mpz_array, ON_MPZ, "Return x as a numpy array.") .typed("dtype: Any = None, copy: bool | None = None", "Any"),
    noargs("as_integer_ratio", as_integer_ratio, ON_MPZ, "Return the pair (x, 1).").typed("/", "tuple[mpz, mpz]"),
    noargs("conjugate", self_value, ON_MPZ, "Return the conjugate of x (which is just a new\nreference to x since x is not a complex number).").typed("/", "mpz"),
    fast("is_congruent", is_congruent, ON_MPZ, "Return True if x is congruent to y modulo m, else False.") .typed("y: _Int, m: _Int, /", "bool"),
    one("is_divisible", is_divisible, ON_MPZ, "Return True if x is divisible by d, else False.") .typed("d: _Int, /", "bool"),
    noargs("is_even", is_even, ON_MPZ, "Return True if x is even, False otherwise.") .typed("/", "bool"),
    noargs("is_integer", is_integer, ON_MPZ, "Return True.").typed("/", "bool"),
    noargs("is_odd", is_odd, ON_MPZ, "Return True if x is odd, False otherwise.") .typed("/", "bool"),
    noargs("is_power", is_power, ON_MPZ, "Return True if x is a perfect power (there exists y and\nn > 1 such that x=y**n), else return False.").typed("/", "bool"),
    fast("is_prime", is_prime, ON_MPZ, "Return True if x is probably prime, else False if x is\ndefinitely composite. x is checked for small divisors and up to n\nMiller-Rabin tests are performed.").typed("n: _Int = 25, /", "bool"),
    fast("is_probab_prime", is_probab_prime, ON_MPZ, "Return 2 if x is definitely prime, 1 if x is probably prime,\nor return 0 if x is definitely non-prime.").typed("n: _Int = 25, /", "int"),
    noargs("is_square", is_square, ON_MPZ, "Return True if x is a perfect square, else return False.").typed("/", "bool"),
};

const FnDef xmpz_integer_methods[] = {
    noargs("conjugate", self_value, ON_XMPZ, "Return the conjugate of x (x itself).") .typed("/", "xmpz"),
};

const AttrDef mpz_integer_getset[] = {
    {"numerator", get_self, nullptr, "the numerator of a rational number in lowest terms", ON_MPZ},
    {"denominator", get_one, nullptr, "the denominator of a rational number in lowest terms", ON_MPZ},
    {"real", get_self, nullptr, "the real part of a complex number", ON_MPZ},
    {"imag", get_zero, nullptr, "the imaginary part of a complex number", ON_MPZ},
};

}  // namespace

namespace mpz_pred {
PyObject* even(PyObject* x) { return is_even(x, nullptr); }
PyObject* odd(PyObject* x) { return is_odd(x, nullptr); }
PyObject* power(PyObject* x) { return is_power(x, nullptr); }
PyObject* square(PyObject* x) { return is_square(x, nullptr); }
PyObject* prime(PyObject* x, PyObject* const* reps, Py_ssize_t n) { return is_prime(x, reps, n); }
PyObject* probab_prime(PyObject* x, PyObject* const* reps, Py_ssize_t n) { return is_probab_prime(x, reps, n); }
PyObject* divisible(PyObject* x, PyObject* d) { return is_divisible(x, d); }
}  // namespace mpz_pred

VX_UNIT(mpz_methods, mpz_integer_methods, mpz_integer_getset)
VX_UNIT(xmpz_methods, xmpz_integer_methods)

}  // namespace vx
