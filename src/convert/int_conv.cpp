// Python int <-> GMP integer over the interpreter's own digit array, and
// the conversions of other values to integers.
#include "convert/int_conv.h"

#include <climits>
#include <cmath>
#include <utility>

#include "objects/check.h"
#include "convert/classify.h"
#include "convert/foreign.h"
#include "core/compat.h"
#include "core/errors.h"
#include "core/memory.h"
#include "core/ref.h"
#include "core/temps.h"

namespace vx {

// Python digits hold 30 value bits in 32-bit words, least significant first;
// GMP limbs 64 bits. Large values are repacked directly, with no text or
// byte-string step in between.
static_assert(GMP_NUMB_BITS == 64 && GMP_NAIL_BITS == 0, "vexa2 expects 64-bit limbs without nails");

namespace {

// 32 digits of 30 bits fill exactly 15 limbs of 64 bits: whole blocks are
// repacked with shifts known at compile time, the tail bit by bit.
constexpr size_t BLOCK_DIGITS = 32, BLOCK_LIMBS = 15;
static_assert(BLOCK_DIGITS * PyLong_SHIFT == BLOCK_LIMBS * 64);

template <size_t J>
inline uint64_t block_limb(const digit* d) noexcept {
  constexpr size_t lo = 64 * J, i = lo / PyLong_SHIFT, off = lo % PyLong_SHIFT;
  uint64_t v = static_cast<uint64_t>(d[i]) >> off;
  constexpr size_t h1 = PyLong_SHIFT - off, h2 = h1 + PyLong_SHIFT, h3 = h2 + PyLong_SHIFT;
  v |= static_cast<uint64_t>(d[i + 1]) << h1;
  if constexpr (h2 < 64) v |= static_cast<uint64_t>(d[i + 2]) << h2;
  if constexpr (h3 < 64) v |= static_cast<uint64_t>(d[i + 3]) << h3;
  return v;
}

template <size_t I>
inline digit block_digit(const mp_limb_t* l) noexcept {
  constexpr size_t lo = PyLong_SHIFT * I, j = lo / 64, off = lo % 64;
  uint64_t v = l[j] >> off;
  if constexpr (off + PyLong_SHIFT > 64) v |= l[j + 1] << (64 - off);
  return static_cast<digit>(v & PyLong_MASK);
}

template <size_t... J>
inline void pack_block(const digit* d, mp_limb_t* out, std::index_sequence<J...>) noexcept {
  ((out[J] = block_limb<J>(d)), ...);
}
template <size_t... I>
inline void unpack_block(const mp_limb_t* l, digit* d, std::index_sequence<I...>) noexcept {
  ((d[I] = block_digit<I>(l)), ...);
}

// Packs n 30-bit digits into 64-bit limbs.
void digits_to_mpz(mpz_ptr z, const digit* d, size_t n, bool negative) noexcept {
  size_t nlimbs = (n * PyLong_SHIFT + 63) / 64;
  mp_limb_t* out = mpz_limbs_write(z, static_cast<mp_size_t>(nlimbs));
  size_t i = 0, k = 0;
  for (; i + BLOCK_DIGITS <= n; i += BLOCK_DIGITS, k += BLOCK_LIMBS)
    pack_block(d + i, out + k, std::make_index_sequence<BLOCK_LIMBS>());
  uint64_t acc = 0;
  int have = 0;
  for (; i < n; ++i) {
    acc |= static_cast<uint64_t>(d[i]) << have;
    have += PyLong_SHIFT;
    if (have >= 64) {
      out[k++] = acc;
      have -= 64;
      acc = have ? static_cast<uint64_t>(d[i]) >> (PyLong_SHIFT - have) : 0;
    }
  }
  if (have) out[k++] = acc;
  while (k && out[k - 1] == 0) --k;
  mpz_limbs_finish(z, negative ? -static_cast<mp_size_t>(k) : static_cast<mp_size_t>(k));
}

// Unpacks the magnitude of z into n 30-bit digits.
void mpz_to_digits(mpz_srcptr z, digit* d, size_t n) noexcept {
  const mp_limb_t* limbs = mpz_limbs_read(z);
  size_t nlimbs = mpz_size(z), i = 0, k = 0;
  for (; i + BLOCK_DIGITS <= n && k + BLOCK_LIMBS <= nlimbs; i += BLOCK_DIGITS, k += BLOCK_LIMBS)
    unpack_block(limbs + k, d + i, std::make_index_sequence<BLOCK_DIGITS>());
  unsigned __int128 acc = 0;
  int have = 0;
  for (; i < n; ++i) {
    if (have < PyLong_SHIFT && k < nlimbs) {
      acc |= static_cast<unsigned __int128>(limbs[k++]) << have;
      have += 64;
    }
    d[i] = static_cast<digit>(acc & PyLong_MASK);
    acc >>= PyLong_SHIFT;
    have -= PyLong_SHIFT;
  }
}

}  // namespace

int mpz_set_pylong(mpz_ptr z, PyObject* o) noexcept {
  if (!PyLong_Check(o)) {
    PyErr_Format(PyExc_TypeError, "expected int, got %s", Py_TYPE(o)->tp_name);
    return -1;
  }
  int sign;
  uint64_t mag;
  if (compat::long_small(o, sign, mag)) {
    mpz_set_ui(z, mag);
    if (sign < 0) mpz_neg(z, z);
    return 0;
  }
  digits_to_mpz(z, compat::long_digits(o), static_cast<size_t>(compat::long_ndigits(o)), compat::long_sign(o) < 0);
  return 0;
}

PyObject* pylong_from_mpz(mpz_srcptr z) noexcept {
  if (mpz_fits_slong_p(z)) return PyLong_FromLong(mpz_get_si(z));
  size_t bits = mpz_sizeinbase(z, 2);
  Py_ssize_t n = static_cast<Py_ssize_t>((bits + PyLong_SHIFT - 1) / PyLong_SHIFT);
  PyObject* r = compat::long_new(n);
  if (!r) return nullptr;
  mpz_to_digits(z, compat::long_digits_mut(r), static_cast<size_t>(n));
  compat::long_finish(r, n, mpz_sgn(z) < 0);
  return r;
}

namespace {

// Rounds an exact value to a double once, through the IEEE-double context,
// so that subnormal results are correctly rounded too.
template <class SetFn>
PyObject* to_double(SetFn set, const char* overflow_msg) {
  ContextRecord c = ieee_double_context();
  Mpfr f(53);
  mpfr_clear_flags();
  int rc = set(f.get());
  check_real_value(f, rc, c);  // no traps: cannot fail
  const double d = mpfr_get_d(f, MPFR_RNDN);
  if (std::isinf(d)) return overflow_error(overflow_msg);
  return PyFloat_FromDouble(d);
}

}  // namespace

PyObject* pyfloat_from_mpz(mpz_srcptr z) noexcept {
  if (mpz_sizeinbase(z, 2) <= 53) return PyFloat_FromDouble(mpz_get_d(z));  // exact
  return to_double([z](mpfr_ptr f) { return mpfr_set_z(f, z, MPFR_RNDN); }, "'mpz' too large to convert to float");
}

PyObject* pyfloat_from_mpq(mpq_srcptr q) noexcept {
  return to_double([q](mpfr_ptr f) { return mpfr_set_q(f, q, MPFR_RNDN); }, "'mpq' too large to convert to float");
}

template <>
MPZ_Object* new_int<MPZ_Object>() noexcept {
  return new_mpz();
}
template <>
XMPZ_Object* new_int<XMPZ_Object>() noexcept {
  return new_xmpz();
}

namespace {
template <class T>
struct IntName;
template <>
struct IntName<MPZ_Object> {
  static constexpr const char* nan = "'mpz' does not support NaN";
  static constexpr const char* inf = "'mpz' does not support Infinity";
};
template <>
struct IntName<XMPZ_Object> {
  static constexpr const char* nan = "'xmpz' does not support NaN";
  static constexpr const char* inf = "'xmpz' does not support Infinity";
};
}  // namespace

template <class T>
T* int_from_pylong(PyObject* o) noexcept {
  T* r = new_int<T>();
  if (r && mpz_set_pylong(r->z, o) < 0) {
    Py_DECREF(r);
    return nullptr;
  }
  return r;
}

template <class T>
T* int_from_mpz(mpz_srcptr z) noexcept {
  T* r = new_int<T>();
  if (r) mpz_set(r->z, z);
  return r;
}

template <class T>
T* int_from_mpq(mpq_srcptr q) noexcept {
  T* r = new_int<T>();
  if (r) mpz_tdiv_q(r->z, mpq_numref(q), mpq_denref(q));
  return r;
}

template <class T>
T* int_from_double(double d) noexcept {
  if (std::isnan(d)) return value_error(IntName<T>::nan);
  if (std::isinf(d)) return overflow_error(IntName<T>::inf);
  T* r = new_int<T>();
  if (r) mpz_set_d(r->z, d);
  return r;
}


template <class T>
T* int_from_mpfr(mpfr_srcptr f, CTXT_Object* ctx) noexcept {
  if (mpfr_nan_p(f)) return value_error(IntName<T>::nan);
  if (mpfr_inf_p(f)) return overflow_error(IntName<T>::inf);
  // The integer part of a value with a huge exponent (exponents reach 2**62).
  if (mpfr_regular_p(f) && mpfr_get_exp(f) > 0 && !can_allocate(static_cast<uint64_t>(mpfr_get_exp(f)))) return nullptr;
  Ctx cx(ctx);
  if (!(ctx = cx.get())) return nullptr;
  T* r = new_int<T>();
  if (r) mpfr_get_z(r->z, f, rnd(ctx->ctx));
  return r;
}

template MPZ_Object* int_from_pylong<MPZ_Object>(PyObject*) noexcept;
template XMPZ_Object* int_from_pylong<XMPZ_Object>(PyObject*) noexcept;
template MPZ_Object* int_from_mpz<MPZ_Object>(mpz_srcptr) noexcept;
template XMPZ_Object* int_from_mpz<XMPZ_Object>(mpz_srcptr) noexcept;
template MPZ_Object* int_from_mpq<MPZ_Object>(mpq_srcptr) noexcept;
template XMPZ_Object* int_from_mpq<XMPZ_Object>(mpq_srcptr) noexcept;
template MPZ_Object* int_from_double<MPZ_Object>(double) noexcept;
template XMPZ_Object* int_from_double<XMPZ_Object>(double) noexcept;
template MPZ_Object* int_from_mpfr<MPZ_Object>(mpfr_srcptr, CTXT_Object*) noexcept;
template XMPZ_Object* int_from_mpfr<XMPZ_Object>(mpfr_srcptr, CTXT_Object*) noexcept;

MPZ_Object* mpz_from_pylong(PyObject* o) noexcept { return int_from_pylong<MPZ_Object>(o); }
XMPZ_Object* xmpz_from_pylong(PyObject* o) noexcept { return int_from_pylong<XMPZ_Object>(o); }

MPQ_Object* mpq_from_pylong(PyObject* o) noexcept {
  MPQ_Object* r = new_mpq();
  if (r && mpz_set_pylong(mpq_numref(r->q), o) < 0) {
    Py_DECREF(r);
    return nullptr;
  }
  return r;
}

void round_div(mpz_ptr q, mpz_srcptr n, mpz_srcptr d, int mode) noexcept {
  switch (mode) {
    case RoundToZero: mpz_tdiv_q(q, n, d); return;
    case RoundUp: mpz_cdiv_q(q, n, d); return;
    case RoundDown: mpz_fdiv_q(q, n, d); return;
    case RoundAwayZero:
      if (mpz_sgn(n) >= 0)
        mpz_cdiv_q(q, n, d);
      else
        mpz_fdiv_q(q, n, d);
      return;
    default: {
      Mpz r;
      mpz_fdiv_qr(q, r, n, d);
      mpz_mul_2exp(r, r, 1);
      const int c = mpz_cmp(r, d);
      if (c > 0 || (c == 0 && mpz_odd_p(q))) mpz_add_ui(q, q, 1);
    }
  }
}

MPZ_Object* to_mpz(PyObject* o, int kind) noexcept {
  switch (kind) {
    case K_MPZ:
      Py_INCREF(o);
      return reinterpret_cast<MPZ_Object*>(o);
    case K_XMPZ: {
      XmpzLock lock(o);
      return int_from_mpz<MPZ_Object>(mpz_of(o));
    }
    case K_PYINT:
      return mpz_from_pylong(o);
    default:
      if (OwnValue v = foreign_value(o, kind); v.value && is_integer_kind(v.kind)) return to_mpz(v.value.get(), v.kind);
      break;
  }
  return conversion_failed("cannot convert object to mpz");
}

MPZ_Object* to_mpz_intonly(PyObject* o) noexcept {
  if (is_mpz(o)) {
    Py_INCREF(o);
    return reinterpret_cast<MPZ_Object*>(o);
  }
  if (PyLong_Check(o)) return mpz_from_pylong(o);
  if (is_xmpz(o)) {
    XmpzLock lock(o);
    return int_from_mpz<MPZ_Object>(mpz_of(o));
  }
  if ((type_info(Py_TYPE(o)).bits & (P_MPZ | P_MPQ)) == P_MPZ)
    if (MPZ_Object* r = reinterpret_cast<MPZ_Object*>(call_protocol(o, P_MPZ))) return r;
  return conversion_failed("cannot convert object to mpz");
}

MPZ_Object* int_arg(PyObject* o, Need need, PyObject* const* args, Py_ssize_t nargs) noexcept {
  MPZ_Object* z = to_mpz_intonly(o);
  if (z || must_propagate()) return z;
  PyErr_Clear();
  if (args)
    refuse(need, args, nargs);
  else
    refuse(need, o);
  return nullptr;
}

Ref int_operand(PyObject* o, Need need) noexcept {
  if (is_mpz(o) || is_xmpz(o)) return Ref::borrow(o);
  return Ref::steal(int_arg(o, need));
}

namespace {

// The mpz behind an integer-kind argument of the machine-integer readers:
// the object itself or the result of its __mpz__ (whose errors propagate).
Ref integer_value(PyObject* o, int kind) noexcept {
  if (kind == K_MPZ || kind == K_XMPZ) return Ref::borrow(o);
  if (kind == K_HAS_MPZ) {
    Ref r = Ref::steal(call_special(o, P_MPZ));
    if (r && !is_mpz(r.get())) {
      // A protocol result of another type is refused, never read as 0.
      type_error("could not convert object to integer");
      return Ref();
    }
    return r;
  }
  type_error("could not convert object to integer");
  return Ref();
}

// The magnitude of z in one 64-bit word, or false when it needs more.
bool magnitude64(mpz_srcptr z, unsigned long long& out) noexcept {
  if (mpz_sizeinbase(z, 256) > 8) return false;
  out = 0;
  mpz_export(&out, nullptr, 1, 8, 0, 0, z);
  return true;
}

}  // namespace

long read_long(PyObject* o, int kind) noexcept {
  if (kind == K_PYINT) return PyLong_AsLong(o);
  Ref v = integer_value(o, kind);
  if (!v) return -1;
  XmpzLock lock(v.get());
  mpz_srcptr z = mpz_of(v.get());
  if (mpz_fits_slong_p(z)) return mpz_get_si(z);
  return overflow_error("value could not be converted to C long");
}

unsigned long read_ulong(PyObject* o, int kind) noexcept {
  if (kind == K_PYINT) return PyLong_AsUnsignedLong(o);
  Ref v = integer_value(o, kind);
  if (!v) return static_cast<unsigned long>(-1);
  XmpzLock lock(v.get());
  mpz_srcptr z = mpz_of(v.get());
  if (mpz_sgn(z) >= 0 && mpz_fits_ulong_p(z)) return mpz_get_ui(z);
  overflow_error("value could not be converted to C long");
  return static_cast<unsigned long>(-1);
}

long long read_llong(PyObject* o) noexcept {
  int kind = classify(o);
  if (kind == K_PYINT) return PyLong_AsLongLong(o);
  Ref v = integer_value(o, kind);
  if (!v) return -1;
  XmpzLock lock(v.get());
  mpz_srcptr z = mpz_of(v.get());
  unsigned long long mag;
  if (mpz_sgn(z) == 0) return 0;
  if (magnitude64(z, mag)) {
    if (mag < (1ULL << 63)) return mpz_sgn(z) < 0 ? -static_cast<long long>(mag) : static_cast<long long>(mag);
    if (mag == (1ULL << 63) && mpz_sgn(z) < 0) return LLONG_MIN;
  }
  return overflow_error("value could not be converted to C long long");
}

unsigned long long read_ullong(PyObject* o) noexcept {
  int kind = classify(o);
  if (kind == K_PYINT) return PyLong_AsUnsignedLongLong(o);
  Ref v = integer_value(o, kind);
  if (!v) return static_cast<unsigned long long>(-1);
  XmpzLock lock(v.get());
  mpz_srcptr z = mpz_of(v.get());
  // A negative value is refused as it is for a Python int: read as 0 it
  // would turn a bit index or shift count of -1 into 0.
  if (mpz_sgn(z) < 0) {
    overflow_error("can't convert negative int to unsigned");
    return static_cast<unsigned long long>(-1);
  }
  unsigned long long mag;
  if (magnitude64(z, mag)) return mag;
  overflow_error("value could not be converted to C long long");
  return static_cast<unsigned long long>(-1);
}

}  // namespace vx
