// Methods of mpq: rounding to integers, the Fraction-compatible methods and
// the size in memory.
#include <algorithm>
#include <climits>
#include <cstdint>

#include "context/context.h"
#include "convert/classify.h"
#include "convert/int_conv.h"
#include "convert/real_conv.h"
#include "core/args.h"
#include "core/errors.h"
#include "core/ref.h"
#include "core/memory.h"
#include "core/registry.h"
#include "core/signals.h"
#include "core/temps.h"
#include "objects/objects.h"

namespace vx {

namespace {




template <void (*div)(mpz_ptr, mpz_srcptr, mpz_srcptr)>
PyObject* mpq_to_int(PyObject* self, PyObject*) {
  MPZ_Object* r = new_mpz();
  if (r) div(r->z, mpq_numref(mpq_of(self)), mpq_denref(mpq_of(self)));
  return obj(r);
}

// The bits of 10**k times x's larger part, which x * 10**k needs (GMP
// stops the process when an allocation fails): 10**k has about 3.32k bits.
uint64_t pow10_bits(uint64_t k, mpq_srcptr x) noexcept {
  const uint64_t parts = std::max(mpz_sizeinbase(mpq_numref(x), 2), mpz_sizeinbase(mpq_denref(x), 2));
  return bits_sum(k > UINT64_MAX / 4 ? UINT64_MAX : 3 * k + k / 3, parts);
}

PyObject* mpq_round(PyObject* self, PyObject* const* args, Py_ssize_t nargs) {
  if (nargs > 1) return type_error("Too many arguments for __round__()");
  Own<CTXT_Object> ctx(current_context());
  if (!ctx) return nullptr;
  const int mode = ctx->ctx.round;
  mpq_srcptr x = mpq_of(self);
  mpz_srcptr num = mpq_numref(x), den = mpq_denref(x);
  if (nargs == 0) {
    MPZ_Object* r = new_mpz();
    if (r) round_div(r->z, num, den, mode);
    return obj(r);
  }
  long long nd = read_llong(args[0]);
  if (nd == -1 && PyErr_Occurred()) {
    // Integers beyond 64 bits ask for more digits than any result can have.
    const bool too_big = PyErr_ExceptionMatches(PyExc_OverflowError);
    PyErr_Clear();
    const int kind = classify(args[0]);
    if (!too_big || !is_integer_kind(kind)) return requires_args("__round__", "'int' argument", args[0]);
    Own<MPZ_Object> z(to_mpz(args[0], kind));
    if (!z) return nullptr;
    nd = mpz_sgn(z->z) > 0 ? LLONG_MAX : -LLONG_MAX;
  }
  const uint64_t k = nd < 0 ? 0 - static_cast<uint64_t>(nd) : static_cast<uint64_t>(nd);
  Own<MPQ_Object> r(new_mpq());
  if (!r) return nullptr;
  if (nd >= 1) {
    // An integer is its own rounding; otherwise round x * 10**k.
    if (mpz_cmp_ui(den, 1) == 0) {
      mpq_set(r->q, x);
      return r.release();
    }
    if (!can_allocate(pow10_bits(k, x), Alloc::MPQ, 3)) return nullptr;
    Mpz t, scaled;
    mpz_ui_pow_ui(t, 10, static_cast<unsigned long>(k));
    mpz_mul(scaled, num, t);
    round_div(mpq_numref(r->q), scaled, den, mode);
    mpz_set(mpq_denref(r->q), t);
    mpq_canonicalize(r->q);
    return r.release();
  }
  if (mpz_sgn(num) == 0) return r.release();
  if (!allocatable(pow10_bits(k, x), Alloc::MPQ, 3)) {
    // 10**k cannot be made. When |x| < 2**(3k-1) < 10**k / 2 the quotient
    // is 0, or +-1 when the mode rounds away from zero.
    const uint64_t bn = mpz_sizeinbase(num, 2), bd = mpz_sizeinbase(den, 2);
    const int s = mpz_sgn(num);
    const int q = mode == RoundUp ? (s > 0) : mode == RoundDown ? -(s < 0) : mode == RoundAwayZero ? s : 0;
    if (q == 0 && (bn <= bd || bn - bd + 2 <= k / 4 * 12)) return r.release();
    return cannot_allocate(pow10_bits(k, x), Alloc::MPQ);
  }
  Mpz t, scaled;
  mpz_ui_pow_ui(t, 10, static_cast<unsigned long>(k));
  mpz_mul(scaled, den, t);
  round_div(mpq_numref(r->q), num, scaled, mode);
  mpz_mul(mpq_numref(r->q), mpq_numref(r->q), t);
  return r.release();
}

PyObject* mpq_sizeof(PyObject* self, PyObject*) {
  mpq_srcptr q = mpq_of(self);
  const auto limbs = static_cast<size_t>(mpq_numref(q)->_mp_alloc) + static_cast<size_t>(mpq_denref(q)->_mp_alloc);
  return PyLong_FromSize_t(static_cast<size_t>(Py_TYPE(self)->tp_basicsize) + limbs * 8);
}

PyObject* mpq_self(PyObject* self, PyObject*) { return Py_NewRef(self); }

PyObject* mpq_as_integer_ratio(PyObject* self, PyObject*) {
  Own<MPZ_Object> n(int_from_mpz<MPZ_Object>(mpq_numref(mpq_of(self))));
  Own<MPZ_Object> d(n ? int_from_mpz<MPZ_Object>(mpq_denref(mpq_of(self))) : nullptr);
  if (!d) return nullptr;
  return PyTuple_Pack(2, n.obj(), d.obj());
}

PyObject* mpq_is_integer(PyObject* self, PyObject*) {
  return PyBool_FromLong(mpz_cmp_ui(mpq_denref(mpq_of(self)), 1) == 0);
}

// mpq.from_float(f) and mpq.from_decimal(dec): the argument's own exact
// integer ratio.
PyObject* mpq_from_ratio_of(PyObject*, PyObject* const* args, Py_ssize_t nargs) {
  if (nargs != 1) return type_error("missing 1 required positional argument");
  Ref pair = Ref::steal(PyObject_CallMethod(args[0], "as_integer_ratio", nullptr));
  if (!pair) return nullptr;
  if (!PyTuple_Check(pair.get()) || PyTuple_GET_SIZE(pair.get()) != 2)
    return type_error("as_integer_ratio() must return a pair of integers");
  return obj(mpq_from_pair(PyTuple_GET_ITEM(pair.get(), 0), PyTuple_GET_ITEM(pair.get(), 1)));
}

// The limit given to limit_denominator(): positionally or as max_denominator.
bool limit_argument(PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames, PyObject*& value) noexcept {
  if (nargs > 1) return too_many("limit_denominator", 1, "positional"), false;
  const Py_ssize_t nkw = kwnames ? PyTuple_GET_SIZE(kwnames) : 0;
  if (nkw > 1) return too_many("limit_denominator", 1, "keyword"), false;
  value = nargs == 1 ? args[0] : nullptr;
  if (nkw == 1) {
    if (PyUnicode_CompareWithASCIIString(PyTuple_GET_ITEM(kwnames, 0), "max_denominator") != 0)
      return type_error("got an invalid keyword argument for limit_denominator()"), false;
    if (nargs == 1)
      return type_error("argument for limit_denominator() given by name ('max_denominator') and position (1)"),
             false;
    value = args[nargs];
  }
  return true;
}

// The closest rational to x with a denominator of at most max_denominator
// (the same walk over the continued fraction as Fraction.limit_denominator).
PyObject* mpq_limit_denominator(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  PyObject* value = nullptr;
  if (!limit_argument(args, nargs, kwnames, value)) return nullptr;
  Mpz m(1000000L);
  if (value) {
    const int kind = classify(value);
    if (!is_integer_kind(kind)) return type_error("limit_denominator() takes an integer argument 'max_denominator'");
    Own<MPZ_Object> z(to_mpz(value, kind));
    if (!z) return nullptr;
    mpz_set(m, z->z);
  }
  if (mpz_cmp_ui(m.get(), 1) < 0) return value_error("max_denominator should be at least 1");
  mpq_srcptr x = mpq_of(self);
  if (mpz_cmp(mpq_denref(x), m) <= 0) return Py_NewRef(self);

  Mpz p0(0L), q0(1L), p1(1L), q1(0L), n(mpq_numref(x)), d(mpq_denref(x)), a, q2, t;
  for (;;) {
    // Huge operands take many steps, each a division of big numbers.
    if (interrupted()) return nullptr;
    mpz_fdiv_q(a, n, d);
    mpz_set(q2, q0);
    mpz_addmul(q2, a, q1);
    if (mpz_cmp(q2, m) > 0) break;
    // (p0, q0, p1, q1) = (p1, q1, p0 + a*p1, q2); (n, d) = (d, n - a*d)
    mpz_addmul(p0, a, p1);
    mpz_swap(p0, p1);
    mpz_swap(q0, q1);
    mpz_swap(q1, q2);
    mpz_submul(n, a, d);
    mpz_swap(n, d);
  }
  Mpz k, bound_n, bound_d;
  mpz_sub(k, m, q0);
  mpz_fdiv_q(k, k, q1);
  mpz_set(bound_n, p0);
  mpz_addmul(bound_n, k, p1);
  mpz_set(bound_d, q0);
  mpz_addmul(bound_d, k, q1);
  Own<MPQ_Object> r(new_mpq());
  if (!r) return nullptr;
  // p1/q1 when 2*d*(q0 + k*q1) <= x's denominator, else the bound.
  mpz_mul(t, d, bound_d);
  mpz_mul_2exp(t, t, 1);
  const bool convergent = mpz_cmp(t, mpq_denref(x)) <= 0;
  mpz_set(mpq_numref(r->q), convergent ? p1.get() : bound_n.get());
  mpz_set(mpq_denref(r->q), convergent ? q1.get() : bound_d.get());
  return r.release();
}

PyObject* mpq_get_real(PyObject* self, void*) { return Py_NewRef(self); }
PyObject* mpq_get_imag(PyObject*, void*) { return obj(new_mpz()); }

const FnDef rows[] = {
    noargs("__ceil__", mpq_to_int<mpz_cdiv_q>, ON_MPQ, "Return the ceiling of x as an mpz.") .typed("/", "mpz"),
    noargs("__floor__", mpq_to_int<mpz_fdiv_q>, ON_MPQ, "Return the floor of x as an mpz.") .typed("/", "mpz"),
    noargs("__trunc__", mpq_to_int<mpz_tdiv_q>, ON_MPQ, "Return x truncated toward zero, as an mpz.").typed("/", "mpz"),
    fast("__round__", mpq_round, ON_MPQ, "Round an mpq to a power of 10.") .typed("ndigits: None = None, / -> mpz; ndigits: int, / -> mpq"),
    noargs("__sizeof__", mpq_sizeof, ON_MPQ, "Return the size of x in memory, in bytes.") .typed("/", "int"),
    noargs("conjugate", mpq_self, ON_MPQ, "Return the conjugate of x (x itself, as x is not a complex number).") .typed("/", "mpq"),
    noargs("as_integer_ratio", mpq_as_integer_ratio, ON_MPQ, "Return the pair (numerator, denominator) of x in lowest terms, the\ndenominator positive.").typed("/", "tuple[mpz, mpz]"),
    noargs("is_integer", mpq_is_integer, ON_MPQ, "Return True if x is an integer.").typed("/", "bool"),
    with_flag(fast("from_float", mpq_from_ratio_of, ON_MPQ, "Convert a finite float to an mpq, exactly.") .typed("f: float, /", "mpq"), METH_CLASS),
    with_flag(fast("from_decimal", mpq_from_ratio_of, ON_MPQ, "Convert a finite Decimal to an mpq, exactly.") .typed("dec: _Rat, /", "mpq"), METH_CLASS),
    fast_kw("limit_denominator", mpq_limit_denominator, ON_MPQ, "Return the closest rational to x whose denominator is at most\nmax_denominator.").typed("/, max_denominator: _Int = 1000000", "mpq"),
};

const AttrDef attrs[] = {
    {"real", mpq_get_real, nullptr, "the real part of a complex number", ON_MPQ},
    {"imag", mpq_get_imag, nullptr, "the imaginary part of a complex number", ON_MPQ},
};

}  // namespace

VX_UNIT(rational_methods, rows, attrs)

}  // namespace vx
