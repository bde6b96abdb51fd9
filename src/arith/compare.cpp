// Comparison across all numeric types: the rich comparison shared by the
// five number types, and the module functions cmp, cmp_abs and sign.
//
// Integers and rationals compare exactly with ints, floats and Fractions;
// reals compare through MPFR, whose erange flag tells that a NaN took part.
#include <bit>
#include <climits>
#include <cmath>
#include <cstdint>

#include "arith/hash.h"
#include "context/conditions.h"
#include "objects/check.h"
#include "convert/classify.h"
#include "convert/int_conv.h"
#include "convert/real_conv.h"
#include "core/args.h"
#include "core/compat.h"
#include "core/errors.h"
#include "core/ref.h"
#include "core/registry.h"
#include "core/temps.h"
#include "objects/objects.h"

namespace vx {

namespace {

inline int sgn(int c) noexcept { return (c > 0) - (c < 0); }

inline bool holds(int c, int op) noexcept {
  switch (op) {
    case Py_LT: return c < 0;
    case Py_LE: return c <= 0;
    case Py_EQ: return c == 0;
    case Py_NE: return c != 0;
    case Py_GT: return c > 0;
    default: return c >= 0;
  }
}

inline PyObject* verdict(int c, int op) noexcept { return PyBool_FromLong(holds(c, op)); }
// Unordered operands: only "not equal" holds.
inline PyObject* unordered(int op) noexcept { return PyBool_FromLong(op == Py_NE); }
inline PyObject* not_implemented() noexcept { Py_RETURN_NOTIMPLEMENTED; }

// Records that a NaN took part in a comparison; false with RangeError set
// when the context traps it.
bool note_nan(CTXT_Object* ctx, const char* msg) noexcept {
  return raise_conditions(ctx->ctx, TRAP_ERANGE, msg);
}

// Three-way comparison of a GMP integer with a Python int, without an
// allocation when the int is small.
int cmp_z_pylong(mpz_srcptr z, PyObject* y) noexcept {
  int sign;
  uint64_t mag;
  if (compat::long_small(y, sign, mag)) {  // |y| < 2**60
    long v = static_cast<long>(mag);
    return mpz_cmp_si(z, sign < 0 ? -v : v);
  }
  // Different signs or bit lengths decide without converting y.
  const int zs = mpz_sgn(z), ys = compat::long_sign(y);
  if (zs != ys) return zs < ys ? -1 : 1;
  const Py_ssize_t nd = compat::long_ndigits(y);
  const size_t ybits = static_cast<size_t>(nd - 1) * PyLong_SHIFT +
                       static_cast<size_t>(std::bit_width(static_cast<uint32_t>(compat::long_digits(y)[nd - 1])));
  const size_t zbits = mpz_sizeinbase(z, 2);
  if (zbits != ybits) return zbits < ybits ? -zs : zs;
  Mpz t;
  mpz_set_pylong(t, y);
  return mpz_cmp(z, t);
}

int cmp_q_pylong(mpq_srcptr q, PyObject* y) noexcept {
  int sign;
  uint64_t mag;
  if (compat::long_small(y, sign, mag)) {
    long v = static_cast<long>(mag);
    return mpq_cmp_si(q, sign < 0 ? -v : v, 1);
  }
  Mpz t;
  mpz_set_pylong(t, y);
  return mpq_cmp_z(q, t);
}

// The part of a comparison of an exact value with a float that does not
// depend on the exact value: true (and `out` set) when d is NaN or infinite.
bool float_special(double d, int op, PyObject*& out) noexcept {
  if (std::isnan(d)) {
    out = unordered(op);
    return true;
  }
  if (std::isinf(d)) {
    out = verdict(d > 0 ? -1 : 1, op);
    return true;
  }
  return false;
}

// Python's complex compares for equality with ints, floats and Fractions:
// equal when the imaginary part is zero and the real part equal. Sets
// `real` to the real part as a float, or leaves it empty when the parts
// cannot be equal (nonzero imaginary part); false on failure.
bool complex_real_part(PyObject* y, Ref& real) noexcept {
  Py_complex c = PyComplex_AsCComplex(y);
  if (c.imag != 0.0) return true;
  real = Ref::steal(PyFloat_FromDouble(c.real));
  return static_cast<bool>(real);
}

// A Decimal's answer to one of its predicates (is_nan, is_signed, ...):
// 1 or 0, or -1 with an exception set.
int decimal_ask(PyObject* d, const char* name) noexcept {
  Ref r = Ref::steal(PyObject_CallMethod(d, name, nullptr));
  return r ? PyObject_IsTrue(r.get()) : -1;
}

// Where a number lies: 2**lo <= |x| < 2**hi for a finite non-zero x.
struct Scale {
  enum { Zero, Finite, Other } what;  // Other: a NaN or an infinity
  long long lo, hi;
};

Scale scale_of(mpz_srcptr z) noexcept {
  if (mpz_sgn(z) == 0) return {Scale::Zero, 0, 0};
  const auto bits = static_cast<long long>(mpz_sizeinbase(z, 2));
  return {Scale::Finite, bits - 1, bits};
}

Scale scale_of(mpq_srcptr q) noexcept {
  if (mpq_sgn(q) == 0) return {Scale::Zero, 0, 0};
  const auto nb = static_cast<long long>(mpz_sizeinbase(mpq_numref(q), 2));
  const auto db = static_cast<long long>(mpz_sizeinbase(mpq_denref(q), 2));
  return {Scale::Finite, nb - 1 - db, nb - db + 1};
}

Scale scale_of(mpfr_srcptr f) noexcept {
  if (mpfr_zero_p(f)) return {Scale::Zero, 0, 0};
  if (!mpfr_number_p(f)) return {Scale::Other, 0, 0};
  const long long e = mpfr_get_exp(f);
  return {Scale::Finite, e - 1, e};
}

// A Decimal y as an operand that compares with x (of scale s) exactly as y
// does: a float for NaN and the infinities, otherwise an mpq of its value.
// Reading the value costs as much as the digits of 10**exponent, so a value
// far larger than |x| stands in as an infinity of its sign, and one far
// smaller (when x is not 0) as zero. Decimal's own comparison cannot read
// our numbers, so the comparison is done here. Empty with an exception set
// on failure.
Ref decimal_operand(PyObject* y, Scale s) noexcept {
  auto ask = [y](const char* name) { return decimal_ask(y, name); };
  auto infinity = [&ask]() -> Ref {
    int neg = ask("is_signed");
    if (neg < 0) return Ref();
    return Ref::steal(PyFloat_FromDouble(neg ? -INFINITY : INFINITY));
  };
  int nan = ask("is_nan");
  if (nan < 0) return Ref();
  if (nan) return Ref::steal(PyFloat_FromDouble(NAN));
  int inf = ask("is_infinite");
  if (inf < 0) return Ref();
  if (inf) return infinity();
  int zero = ask("is_zero");
  if (zero < 0) return Ref();
  if (zero) return Ref::steal(PyFloat_FromDouble(0.0));
  if (s.what == Scale::Zero) return infinity();
  if (s.what == Scale::Other) return Ref::steal(PyFloat_FromDouble(0.0));
  // 10**a <= |y| < 10**(a+1), and 8**n <= 10**n <= 16**n for n >= 0.
  Ref adj = Ref::steal(PyObject_CallMethod(y, "adjusted", nullptr));
  if (!adj) return Ref();
  int overflow;
  const long long a = PyLong_AsLongLongAndOverflow(adj.get(), &overflow);
  if (a == -1 && PyErr_Occurred()) return Ref();
  const __int128 a1 = overflow > 0 ? LLONG_MAX : overflow < 0 ? LLONG_MIN + 1 : a;
  const __int128 below = a1 >= 0 ? 3 * a1 : 4 * a1;              // 2**below <= |y|
  const __int128 above = a1 + 1 >= 0 ? 4 * (a1 + 1) : 3 * (a1 + 1);  // |y| < 2**above
  if (below >= s.hi) return infinity();
  if (above <= s.lo) return Ref::steal(PyFloat_FromDouble(0.0));
  Ref pair = Ref::steal(PyObject_CallMethod(y, "as_integer_ratio", nullptr));
  if (!pair) return Ref();
  if (!PyTuple_Check(pair.get()) || PyTuple_GET_SIZE(pair.get()) != 2) {
    type_error("cannot convert object to mpq");
    return Ref();
  }
  return Ref::steal(mpq_from_pair(PyTuple_GET_ITEM(pair.get(), 0), PyTuple_GET_ITEM(pair.get(), 1)));
}

// A value v (mpz, mpq or mpfr) compared with what stands in for y: the real
// part of a complex for == and != (unordered, `unord()`, when its imaginary
// part is not zero), or a Decimal's operand at v's scale; `again` compares
// with the stand-in. False, with nothing done, when y is neither.
template <class V, class Again, class Unord>
inline bool compare_stand_in(V v, PyObject* y, int kind, int op, Again again, Unord unord, PyObject*& out) noexcept {
  if (kind == K_PYCOMPLEX && (op == Py_EQ || op == Py_NE)) {
    Ref re;
    out = !complex_real_part(y, re) ? nullptr : re ? again(re.get()) : unord();
    return true;
  }
  if (kind == K_UNKNOWN && is_decimal(y)) {
    Ref d = decimal_operand(y, scale_of(v));
    out = d ? again(d.get()) : nullptr;
    return true;
  }
  return false;
}

// The end of an exact comparison (mpz or mpq): y's stand-in, if it has one,
// compared by `again`; NotImplemented otherwise.
template <class V, class Again>
inline PyObject* compare_rest(V v, PyObject* y, int kind, int op, Again again) noexcept {
  PyObject* out;
  return compare_stand_in(v, y, kind, op, again, [op] { return unordered(op); }, out) ? out : not_implemented();
}

PyObject* compare_mpz(PyObject* x, PyObject* y, int op) noexcept {
  mpz_srcptr z = mpz_of(x);
  const int kind = classify(y);
  if (is_own_integer(kind)) return verdict(mpz_cmp(z, mpz_of(y)), op);
  if (kind == K_PYINT) return verdict(cmp_z_pylong(z, y), op);
  if (is_integer_kind(kind)) {
    Own<MPZ_Object> t(to_mpz(y, kind));
    if (!t) return nullptr;
    return verdict(mpz_cmp(z, t->z), op);
  }
  if (is_rational_kind(kind)) {
    Own<MPQ_Object> t(to_mpq(y, kind));
    if (!t) return nullptr;
    return verdict(-mpq_cmp_z(t->q, z), op);
  }
  if (kind == K_PYFLOAT) {
    double d = PyFloat_AS_DOUBLE(y);
    PyObject* out;
    if (float_special(d, op, out)) return out;
    return verdict(mpz_cmp_d(z, d), op);
  }
  return compare_rest(z, y, kind, op, [x, op](PyObject* v) { return compare_mpz(x, v, op); });
}

PyObject* compare_mpq(PyObject* x, PyObject* y, int op) noexcept {
  mpq_srcptr q = mpq_of(x);
  const int kind = classify(y);
  if (kind == K_MPQ) return verdict(mpq_cmp(q, mpq_of(y)), op);
  if (is_own_integer(kind)) return verdict(mpq_cmp_z(q, mpz_of(y)), op);
  if (kind == K_PYINT) return verdict(cmp_q_pylong(q, y), op);
  if (is_rational_kind(kind)) {
    Own<MPQ_Object> t(to_mpq(y, kind));
    if (!t) return nullptr;
    return verdict(mpq_cmp(q, t->q), op);
  }
  if (kind == K_PYFLOAT) {
    double d = PyFloat_AS_DOUBLE(y);
    PyObject* out;
    if (float_special(d, op, out)) return out;
    Mpq t;
    mpq_set_d(t, d);  // exact
    return verdict(mpq_cmp(q, t), op);
  }
  return compare_rest(q, y, kind, op, [x, op](PyObject* v) { return compare_mpq(x, v, op); });
}

// The MPFR comparison of f with y, or false with an exception set; sets
// `unknown` when y is of no kind a real compares with.
bool mpfr_cmp_any(mpfr_srcptr f, PyObject* y, int kind, CTXT_Object* ctx, int& c, bool& unknown) noexcept {
  unknown = false;
  Ref t;  // converted operand, kept alive across the comparison
  if (kind == K_PYINT) {
    int sign;
    uint64_t mag;
    if (compat::long_small(y, sign, mag)) {
      long v = static_cast<long>(mag);
      mpfr_clear_flags();
      c = mpfr_cmp_si(f, sign < 0 ? -v : v);
      return true;
    }
  }
  if (kind == K_PYFLOAT) {
    mpfr_clear_flags();
    c = mpfr_cmp_d(f, PyFloat_AS_DOUBLE(y));
  } else if (kind == K_MPFR) {
    mpfr_clear_flags();
    c = mpfr_cmp(f, mpfr_of(y));
  } else if (is_own_integer(kind)) {
    mpfr_clear_flags();
    c = mpfr_cmp_z(f, mpz_of(y));
  } else if (is_integer_kind(kind)) {
    if (!(t = Ref::steal(to_mpz(y, kind)))) return false;
    mpfr_clear_flags();
    c = mpfr_cmp_z(f, mpz_of(t.get()));
  } else if (is_rational_kind(kind)) {
    if (!(t = Ref::steal(to_mpq(y, kind)))) return false;
    mpfr_clear_flags();
    c = mpfr_cmp_q(f, mpq_of(t.get()));
  } else if (is_real_kind(kind)) {
    if (!(t = Ref::steal(to_mpfr(y, kind, PREC_EXACT, ctx)))) return false;
    mpfr_clear_flags();
    c = mpfr_cmp(f, mpfr_of(t.get()));
  } else {
    unknown = true;
  }
  return true;
}

PyObject* compare_real(mpfr_srcptr f, PyObject* y, int op, CTXT_Object* ctx) noexcept {
  const int kind = classify(y);
  PyObject* out;
  auto unord = [f, op, ctx]() -> PyObject* {
    if (mpfr_nan_p(f) && !note_nan(ctx, "comparison with NaN")) return nullptr;
    return unordered(op);
  };
  if (compare_stand_in(f, y, kind, op, [f, op, ctx](PyObject* v) { return compare_real(f, v, op, ctx); }, unord,
                       out))
    return out;
  int c = 0;
  bool unknown;
  if (!mpfr_cmp_any(f, y, kind, ctx, c, unknown)) return nullptr;
  if (unknown) return not_implemented();
  if (mpfr_erangeflag_p()) {
    if (!note_nan(ctx, "comparison with NaN")) return nullptr;
    return unordered(op);
  }
  return verdict(c, op);
}

PyObject* compare_mpc(PyObject* x, PyObject* y, int op, CTXT_Object* ctx) noexcept {
  if (op != Py_EQ && op != Py_NE) return type_error("no ordering relation is defined for complex numbers");
  mpc_srcptr v = mpc_of(x);
  const int kind = classify(y);
  if (kind == K_MPC || kind == K_PYCOMPLEX) {
    Own<MPC_Object> t(to_mpc(y, kind, PREC_EXACT, PREC_EXACT, ctx));
    if (!t) return nullptr;
    mpfr_clear_flags();
    int c = mpc_cmp(v, t->c);
    if (mpfr_erangeflag_p()) {
      if (!note_nan(ctx, "comparison with NaN")) return nullptr;
      return unordered(op);
    }
    return verdict(c, op);
  }
  // A real value compares as its real part (read in place: nothing changes it).
  if (mpfr_zero_p(mpc_imagref(v))) return compare_real(mpc_realref(v), y, op, ctx);
  if (mpfr_nan_p(mpc_realref(v)) && !note_nan(ctx, "comparison with NaN")) return nullptr;
  return unordered(op);
}

PyObject* richcompare(PyObject* x, PyObject* y, int op) {
  XmpzLock lock(x, y);
  if (is_mpz(x) || is_xmpz(x)) return compare_mpz(x, y, op);
  if (is_mpq(x)) return compare_mpq(x, y, op);
  Own<CTXT_Object> ctx(current_context());
  if (!ctx) return nullptr;
  if (is_mpfr(x)) return compare_real(mpfr_of(x), y, op, ctx.get());
  return compare_mpc(x, y, op, ctx.get());
}

// ---- cmp, cmp_abs, sign -------------------------------------------------

// Converts o by its own class: an mpz, mpq or (exactly) an mpfr.
Ref convert_by_class(PyObject* o, int kind, CTXT_Object* ctx) noexcept {
  switch (class_of(kind)) {
    case Cls::Int: return Ref::steal(to_mpz(o, kind));
    case Cls::Rat: return Ref::steal(to_mpq(o, kind));
    default: break;
  }
  if (kind == K_PYFLOAT) {  // exact: no context step can change a double
    MPFR_Object* r = new_mpfr(53, ctx);
    if (r) r->rc = mpfr_set_d(r->f, PyFloat_AS_DOUBLE(o), MPFR_RNDN);
    return Ref::steal(r);
  }
  return Ref::steal(to_mpfr(o, kind, PREC_EXACT, ctx));
}

// |z| as a read-only view sharing z's limbs; negated when `negate`.
inline void abs_view(mpz_ptr v, mpz_srcptr z, bool negate = false) noexcept {
  auto n = static_cast<mp_size_t>(mpz_size(z));
  mpz_roinit_n(v, mpz_limbs_read(z), negate ? -n : n);
}
inline void abs_view(mpq_ptr v, mpq_srcptr q, bool negate = false) noexcept {
  abs_view(mpq_numref(v), mpq_numref(q), negate);
  abs_view(mpq_denref(v), mpq_denref(q));
}

// Compares the converted operands a (class ca) and b (class cb), both of
// the integer, rational or real class. With `absolute`, |a| with |b|.
int compare_converted(PyObject* a, Cls ca, PyObject* b, Cls cb, bool absolute) noexcept {
  if (ca == Cls::Int && cb == Cls::Int)
    return absolute ? mpz_cmpabs(mpz_of(a), mpz_of(b)) : mpz_cmp(mpz_of(a), mpz_of(b));
  if (ca == Cls::Real && cb == Cls::Real)
    return absolute ? mpfr_cmpabs(mpfr_of(a), mpfr_of(b)) : mpfr_cmp(mpfr_of(a), mpfr_of(b));
  if (cb == Cls::Real || (cb == Cls::Rat && ca == Cls::Int))
    return -compare_converted(b, cb, a, ca, absolute);
  // Now a is rational or real and b is of a narrower class.
  if (ca == Cls::Rat) {
    mpq_srcptr q = mpq_of(a);
    if (!absolute)
      return cb == Cls::Int ? mpq_cmp_z(q, mpz_of(b)) : mpq_cmp(q, mpq_of(b));
    mpq_t qa;
    abs_view(qa, q);
    if (cb == Cls::Int) {
      mpz_t zb;
      abs_view(zb, mpz_of(b));
      return mpq_cmp_z(qa, zb);
    }
    mpq_t qb;
    abs_view(qb, mpq_of(b));
    return mpq_cmp(qa, qb);
  }
  // a real, b integer or rational: |a| ? |b| is a ? -|b| reversed for negative a.
  mpfr_srcptr f = mpfr_of(a);
  const bool neg = absolute && mpfr_signbit(f) && !mpfr_nan_p(f);
  const int s = neg ? -1 : 1;
  if (cb == Cls::Int) {
    if (!absolute) return mpfr_cmp_z(f, mpz_of(b));
    mpz_t zb;
    abs_view(zb, mpz_of(b), neg);
    return s * mpfr_cmp_z(f, zb);
  }
  if (!absolute) return mpfr_cmp_q(f, mpq_of(b));
  mpq_t qb;
  abs_view(qb, mpq_of(b), neg);
  return s * mpfr_cmp_q(f, qb);
}

PyObject* finish_cmp(int c, CTXT_Object* ctx) noexcept {
  if (mpfr_erangeflag_p() && !note_nan(ctx, "invalid comparison with NaN")) return nullptr;
  return PyLong_FromLong(sgn(c));
}

// cmp (or cmp_abs, abs) of two arguments of real kinds ka and kb, each
// converted by its class.
PyObject* cmp_reals(PyObject* const* args, int ka, int kb, CTXT_Object* ctx, bool abs) noexcept {
  Ref a = convert_by_class(args[0], ka, ctx);
  if (!a) return nullptr;
  Ref b = convert_by_class(args[1], kb, ctx);
  if (!b) return nullptr;
  mpfr_clear_flags();
  return finish_cmp(compare_converted(a.get(), class_of(ka), b.get(), class_of(kb), abs), ctx);
}

PyObject* cmp_fn(PyObject*, PyObject* const* args, Py_ssize_t nargs) {
  if (!want_args(nargs, 2, Fn{"cmp"})) return nullptr;
  const int ka = classify(args[0]), kb = classify(args[1]);
  if (!is_real_kind(ka) || !is_real_kind(kb)) return requires_args("cmp", "integer, rational, or real "
      "arguments", args, nargs);
  Own<CTXT_Object> ctx(current_context());
  return ctx ? cmp_reals(args, ka, kb, ctx.get(), false) : nullptr;
}

PyObject* cmp_abs_fn(PyObject*, PyObject* const* args, Py_ssize_t nargs) {
  if (!want_args(nargs, 2, Fn{"cmp_abs"})) return nullptr;
  const int ka = classify(args[0]), kb = classify(args[1]);
  if (!ka || !kb) return requires_args("cmp_abs", "integer, rational, real, or complex arguments", args, nargs);
  Own<CTXT_Object> ctx(current_context());
  if (!ctx) return nullptr;
  if (!is_real_kind(ka) || !is_real_kind(kb)) {
    Own<MPC_Object> a(to_mpc(args[0], ka, PREC_EXACT, PREC_EXACT, ctx.get()));
    if (!a) return nullptr;
    Own<MPC_Object> b(to_mpc(args[1], kb, PREC_EXACT, PREC_EXACT, ctx.get()));
    if (!b) return nullptr;
    mpfr_clear_flags();
    return finish_cmp(mpc_cmp_abs(a->c, b->c), ctx.get());
  }
  return cmp_reals(args, ka, kb, ctx.get(), true);
}

// The sign of a Decimal, read through its own predicates; -2 on failure.
int decimal_sign(PyObject* o, bool& nan) noexcept {
  auto ask = [o](const char* name) { return decimal_ask(o, name); };
  int t;
  if ((t = ask("is_nan")) != 0) return t < 0 ? -2 : (nan = true, 0);
  if ((t = ask("is_zero")) != 0) return t < 0 ? -2 : 0;
  if ((t = ask("is_signed")) < 0) return -2;
  return t ? -1 : 1;
}

PyObject* sign_fn(PyObject* self, PyObject* x) {
  // Our integers and rationals and Python's ints need no conversion (and
  // none of them is asked for the conversion methods below).
  if (is_mpz(x) || is_xmpz(x)) {
    XmpzLock lock(x);
    return PyLong_FromLong(mpz_sgn(mpz_of(x)));
  }
  if (PyLong_Check(x)) return PyLong_FromLong(compat::long_sign(x));
  if (is_mpq(x)) return PyLong_FromLong(mpq_sgn(mpq_of(x)));
  // mpfr and float need no probing either; a float subclass may offer the
  // integer or rational protocol, which is then preferred.
  const bool own_real = is_mpfr(x) || PyFloat_CheckExact(x);
  const unsigned bits = own_real ? 0u : type_info(Py_TYPE(x)).bits;
  const bool has_mpq = (bits & P_MPQ) != 0;
  if (!has_mpq && (bits & P_MPZ)) {
    Own<MPZ_Object> z(to_mpz(x, K_HAS_MPZ));
    if (!z) return nullptr;
    return PyLong_FromLong(mpz_sgn(z->z));
  }
  const bool fraction = !own_real && is_fraction_value(x);
  if (fraction || has_mpq) {
    Own<MPQ_Object> q(to_mpq(x, fraction ? K_FRACTION : K_HAS_MPQ));
    if (!q) return nullptr;
    return PyLong_FromLong(mpq_sgn(q->q));
  }
  const bool decimal = is_decimal(x);
  if (!(own_real || PyFloat_Check(x) || decimal || (bits & (P_MPFR | P_MPC)) == P_MPFR))
    return not_supported("sign", x);
  Ctx cx = Ctx::of_self(self);
  CTXT_Object* ctx = cx.get();
  if (!ctx) return nullptr;
  int s;
  bool nan = false;
  if (decimal) {
    if ((s = decimal_sign(x, nan)) == -2) return nullptr;
  } else {
    Ref f = convert_by_class(x, is_mpfr(x) ? K_MPFR : PyFloat_Check(x) ? K_PYFLOAT : K_HAS_MPFR, ctx);
    if (!f) return nullptr;
    nan = mpfr_nan_p(mpfr_of(f.get()));
    s = nan ? 0 : mpfr_sgn(mpfr_of(f.get()));
  }
  if (nan && !note_nan(ctx, "sign() of invalid value (NaN)")) return nullptr;
  return PyLong_FromLong(sgn(s));
}


void setup_compare_slots() noexcept {
  for (PyTypeObject* t : {&MPZ_Type, &XMPZ_Type, &MPQ_Type, &MPFR_Type, &MPC_Type}) t->tp_richcompare = richcompare;
  MPZ_Type.tp_hash = mpz_hash;
  MPQ_Type.tp_hash = mpq_hash;
  MPFR_Type.tp_hash = mpfr_hash;
  MPC_Type.tp_hash = mpc_hash;
  XMPZ_Type.tp_hash = PyObject_HashNotImplemented;  // mutable
}

const FnDef compare_module_methods[] = {
    fast("cmp", cmp_fn, IN_MODULE, "Return -1 if x < y; 0 if x = y; or 1 if x > y. Both x and y must be\ninteger, rational or real. Note: 0 is returned (and exception flag set)\nif either argument is NaN.").typed("x: _Real, y: _Real, /", "int"),
    fast("cmp_abs", cmp_abs_fn, IN_MODULE, "Return -1 if abs(x) < abs(y); 0 if abs(x) = abs(y); or 1 else.") .typed("x: _Num, y: _Num, /", "int"),
    one("sign", sign_fn, IN_MODULE, "Return -1 if x < 0, 0 if x == 0, or +1 if x >0.") .typed("x: _Real, /", "int"),
};

}  // namespace

VX_UNIT(compare, compare_module_methods, setup_compare_slots)

}  // namespace vx
