// The portable binary form of the five number types: to_binary and
// from_binary. It is also the pickle payload of every number, so the bytes
// are a stored format: multi-byte fields are little-endian, magnitudes are
// unsigned with the sign in a flag byte, and every record starts with a
// type byte.
#include <cstdint>
#include <cstring>

#include "context/context.h"
#include "core/args.h"
#include "core/errors.h"
#include "core/ref.h"
#include "core/memory.h"
#include "core/registry.h"
#include "objects/check.h"
#include "objects/objects.h"
#include "serialize/bytes_le.h"

namespace vx {

namespace {

static_assert(GMP_NUMB_BITS == 64 || GMP_NUMB_BITS == 32, "limbs must be 32 or 64 bits");
static_assert(GMP_NAIL_BITS == 0, "limbs with nail bits are not supported");

enum : unsigned char { T_MPZ = 1, T_XMPZ = 2, T_MPQ = 3, T_MPFR = 4, T_MPC = 5 };

// Flags of a real record.
enum : unsigned char {
  F_REGULAR = 0x01,
  F_NEGATIVE = 0x02,
  F_WIDE = 0x04,
  F_NAN = 0x08,
  F_INF = 0x10,
  F_EXP_NEGATIVE = 0x20,
  F_LIMB64 = 0x40,
};

constexpr const char* TOO_SHORT = "byte sequence too short for from_binary()";
constexpr const char* INVALID = "byte sequence invalid for from_binary()";
constexpr uint64_t U32_MAX = 0xFFFFFFFFu;
constexpr size_t LIMB_BYTES = sizeof(mp_limb_t);

// ---------------------------------------------------------------- writing

PyObject* new_bytes(uint64_t n, unsigned char*& p) noexcept {
  if (n > static_cast<uint64_t>(PY_SSIZE_T_MAX)) return memory_error();
  PyObject* b = PyBytes_FromStringAndSize(nullptr, static_cast<Py_ssize_t>(n));
  if (b) p = reinterpret_cast<unsigned char*>(PyBytes_AS_STRING(b));
  return b;
}

PyObject* integer_record(mpz_srcptr z, unsigned char type) noexcept {
  const size_t n = magnitude_bytes(z);
  unsigned char* p = nullptr;
  PyObject* b = new_bytes(2 + uint64_t{n}, p);
  if (!b) return nullptr;
  p[0] = type;
  p[1] = mpz_sgn(z) == 0 ? 0x00 : mpz_sgn(z) > 0 ? 0x01 : 0x02;
  export_le(p + 2, n, z);
  return b;
}

PyObject* rational_record(mpq_srcptr q) noexcept {
  mpz_srcptr num = mpq_numref(q), den = mpq_denref(q);
  unsigned char* p = nullptr;
  if (mpz_sgn(num) == 0) {
    PyObject* b = new_bytes(2, p);
    if (b) p[0] = T_MPQ, p[1] = 0x00;
    return b;
  }
  const size_t nlen = magnitude_bytes(num), dlen = magnitude_bytes(den);
  const bool wide = nlen > U32_MAX;
  const int w = wide ? 8 : 4;
  PyObject* b = new_bytes(2 + uint64_t{static_cast<unsigned>(w)} + nlen + dlen, p);
  if (!b) return nullptr;
  p[0] = T_MPQ;
  p[1] = static_cast<unsigned char>((mpz_sgn(num) > 0 ? 0x01 : 0x02) | (wide ? 0x04 : 0));
  put_le(p + 2, nlen, w);
  if (!export_le(p + 2 + w, nlen, num) || !export_le(p + 2 + w + nlen, dlen, den)) {
    Py_DECREF(b);
    return system_error("internal error in Pympq_To_Binary");
  }
  return b;
}

// The byte length of the real record of f.
uint64_t real_record_size(mpfr_srcptr f) noexcept {
  const uint64_t prec = static_cast<uint64_t>(mpfr_get_prec(f));
  if (!mpfr_regular_p(f)) return 4 + (prec > U32_MAX ? 8 : 4);
  const uint64_t k = (prec + GMP_NUMB_BITS - 1) / GMP_NUMB_BITS;
  const mpfr_exp_t e = mpfr_get_exp(f);
  const uint64_t ae = e < 0 ? 0 - static_cast<uint64_t>(e) : static_cast<uint64_t>(e);
  const bool wide = prec > U32_MAX || ae > U32_MAX || k > U32_MAX;
  return 4 + 2 * uint64_t{wide ? 8u : 4u} + k * LIMB_BYTES;
}

// Writes the real record of f (real_record_size(f) bytes) at p.
void write_real(unsigned char* p, mpfr_srcptr f, unsigned char type, int rc) noexcept {
  const uint64_t prec = static_cast<uint64_t>(mpfr_get_prec(f));
  p[0] = type;
  p[2] = rc == 0 ? 0x00 : rc > 0 ? 0x01 : 0x02;
  p[3] = 0x00;
  if (!mpfr_regular_p(f)) {
    const bool wide = prec > U32_MAX;
    unsigned char flags = wide ? F_WIDE : 0;
    if (mpfr_nan_p(f))
      flags |= F_NAN;
    else if (mpfr_signbit(f))
      flags |= F_NEGATIVE;
    if (mpfr_inf_p(f)) flags |= F_INF;
    p[1] = flags;
    put_le(p + 4, prec, wide ? 8 : 4);
    return;
  }
  const uint64_t k = (prec + GMP_NUMB_BITS - 1) / GMP_NUMB_BITS;
  const mpfr_exp_t e = mpfr_get_exp(f);
  const uint64_t ae = e < 0 ? 0 - static_cast<uint64_t>(e) : static_cast<uint64_t>(e);
  const bool wide = prec > U32_MAX || ae > U32_MAX || k > U32_MAX;
  const int w = wide ? 8 : 4;
  p[1] = static_cast<unsigned char>(F_REGULAR | (mpfr_signbit(f) ? F_NEGATIVE : 0) | (wide ? F_WIDE : 0) |
                                    (e < 0 ? F_EXP_NEGATIVE : 0) | (GMP_NUMB_BITS == 64 ? F_LIMB64 : 0));
  put_le(p + 4, prec, w);
  put_le(p + 4 + w, ae, w);
  const auto* limbs = static_cast<const mp_limb_t*>(mpfr_custom_get_significand(f));
  limbs_to_le(p + 4 + 2 * w, limbs, static_cast<size_t>(k));
}

PyObject* real_record(MPFR_Object* x) noexcept {
  unsigned char* p = nullptr;
  PyObject* b = new_bytes(real_record_size(x->f), p);
  if (b) write_real(p, x->f, T_MPFR, x->rc);
  return b;
}

PyObject* complex_record(MPC_Object* x) noexcept {
  mpfr_srcptr re = mpc_realref(x->c), im = mpc_imagref(x->c);
  const uint64_t n1 = real_record_size(re), n2 = real_record_size(im);
  unsigned char* p = nullptr;
  PyObject* b = new_bytes(n1 + n2, p);
  if (!b) return nullptr;
  write_real(p, re, T_MPC, x->rc == 0 ? 0 : 1);
  write_real(p + n1, im, T_MPC, 0);
  return b;
}

PyObject* f_to_binary(PyObject*, PyObject* x) {
  if (is_mpz(x)) return integer_record(mpz_of(x), T_MPZ);
  if (is_xmpz(x)) return integer_record(mpz_of(x), T_XMPZ);
  if (is_mpq(x)) return rational_record(mpq_of(x));
  if (is_mpfr(x)) return real_record(reinterpret_cast<MPFR_Object*>(x));
  if (is_mpc(x)) return complex_record(reinterpret_cast<MPC_Object*>(x));
  return not_supported("to_binary", x);
}

// ---------------------------------------------------------------- reading

template <class T>
PyObject* read_integer(const unsigned char* p, size_t n, T* (*make)()) noexcept {
  if (!magnitude_possible(n - 2)) return nullptr;
  T* r = make();
  if (!r) return nullptr;
  if (p[1] != 0) {
    import_le(r->z, p + 2, n - 2);
    if (p[1] == 0x02) mpz_neg(r->z, r->z);
  }
  return reinterpret_cast<PyObject*>(r);
}

PyObject* read_rational(const unsigned char* p, size_t n) noexcept {
  Own<MPQ_Object> r(new_mpq());
  if (!r) return nullptr;
  const unsigned char flags = p[1];
  if (flags == 0) return r.release();
  const size_t w = (flags & 0x04) ? 8 : 4;
  // The length field, then at least one byte of denominator after the numerator.
  if (n < 3 + w) return value_error(TOO_SHORT);
  const uint64_t nlen = get_le(p + 2, static_cast<int>(w));
  if (nlen > n - 3 - w) return value_error(TOO_SHORT);
  const size_t dlen = n - 2 - w - static_cast<size_t>(nlen);
  if (!magnitude_possible(nlen, Alloc::MPQ) || !magnitude_possible(dlen, Alloc::MPQ)) return nullptr;
  import_le(mpq_numref(r->q), p + 2 + w, static_cast<size_t>(nlen));
  import_le(mpq_denref(r->q), p + 2 + w + nlen, dlen);
  if (mpz_sgn(mpq_denref(r->q)) == 0) return value_error(INVALID);
  mpq_canonicalize(r->q);
  if (flags & 0x02) mpq_neg(r->q, r->q);
  return r.release();
}

// Reads one real record from the start of p[0..n) into a new mpfr; `used`
// receives the record's length. The record may be followed by more bytes.
MPFR_Object* read_real(const unsigned char* p, size_t n, size_t& used, CTXT_Object* ctx) noexcept {
  if (n < 4) return value_error(TOO_SHORT);
  const unsigned char flags = p[1];
  const int w = (flags & F_WIDE) ? 8 : 4;
  if (n < 4 + static_cast<size_t>(w)) return value_error(TOO_SHORT);
  const uint64_t prec = get_le(p + 4, w);
  if (prec > static_cast<uint64_t>(PREC_MAX)) return value_error("invalid value for precision");
  const int rc = p[2] == 0 ? 0 : p[2] == 1 ? 1 : -1;

  if (!(flags & F_REGULAR)) {
    used = 4 + static_cast<size_t>(w);
    // A stored precision of 0 or 1 takes the context's.
    MPFR_Object* r = new_mpfr(static_cast<mpfr_prec_t>(prec), ctx);
    if (!r) return nullptr;
    r->rc = rc;
    const int sign = (flags & F_NEGATIVE) ? -1 : 1;
    if ((flags & (F_NAN | F_INF)) == F_NAN)
      mpfr_set_nan(r->f);
    else if (flags & F_INF)
      mpfr_set_inf(r->f, sign);
    else
      mpfr_set_zero(r->f, sign);
    return r;
  }

  if (n < 4 + 2 * static_cast<size_t>(w)) return value_error(TOO_SHORT);
  const uint64_t ae = get_le(p + 4 + w, w);
  // A regular number has at least two bits; the writer's limbs must give
  // the same bytes as this build's limbs.
  if (prec < 2) return value_error(INVALID);
  const uint64_t writer_bytes = (flags & F_LIMB64) ? (prec + 63) / 64 * 8 : (prec + 31) / 32 * 4;
  const uint64_t k = (prec + GMP_NUMB_BITS - 1) / GMP_NUMB_BITS;
  const uint64_t mbytes = k * LIMB_BYTES;
  if (writer_bytes != mbytes) return value_error(INVALID);
  const size_t head = 4 + 2 * static_cast<size_t>(w);
  if (mbytes > n - head) return value_error(TOO_SHORT);
  const unsigned char* m = p + head;
  // A normalised mantissa: top bit set, the bits below the precision clear.
  if (!(m[mbytes - 1] & 0x80)) return value_error(INVALID);
  const uint64_t spare = mbytes * 8 - prec;
  for (uint64_t i = 0; i < spare / 8; ++i)
    if (m[i]) return value_error(INVALID);
  if (spare % 8 && (m[spare / 8] & ((1u << (spare % 8)) - 1))) return value_error(INVALID);
  const bool eneg = flags & F_EXP_NEGATIVE;
  if (eneg ? ae > 0 - static_cast<uint64_t>(mpfr_get_emin_min())
           : ae > static_cast<uint64_t>(mpfr_get_emax_max()))
    return value_error(INVALID);
  const mpfr_exp_t e = eneg ? -static_cast<mpfr_exp_t>(ae) : static_cast<mpfr_exp_t>(ae);

  MPFR_Object* r = new_mpfr(static_cast<mpfr_prec_t>(prec), ctx);
  if (!r) return nullptr;
  r->rc = rc;
  mpfr_set_ui(r->f, 1, MPFR_RNDN);  // a regular value whose mantissa is replaced below
  auto* limbs = static_cast<mp_limb_t*>(mpfr_custom_get_significand(r->f));
  le_to_limbs(limbs, m, static_cast<size_t>(k));
  {
    ExpRange full(mpfr_get_emin_min(), mpfr_get_emax_max());
    mpfr_set_exp(r->f, e);
  }
  if (flags & F_NEGATIVE) mpfr_neg(r->f, r->f, MPFR_RNDN);
  used = head + static_cast<size_t>(mbytes);
  return r;
}

PyObject* read_complex(const unsigned char* p, size_t n, CTXT_Object* ctx) noexcept {
  size_t n1 = 0, n2 = 0;
  Own<MPFR_Object> re(read_real(p, n, n1, ctx));
  if (!re) return nullptr;
  if (n1 >= n) return value_error(TOO_SHORT);
  if (p[n1] != T_MPC) return value_error(INVALID);
  Own<MPFR_Object> im(read_real(p + n1, n - n1, n2, ctx));
  if (!im) return nullptr;
  if (n1 + n2 != n) return value_error(INVALID);
  MPC_Object* r = new_mpc(mpfr_get_prec(re->f), mpfr_get_prec(im->f), ctx);
  if (!r) return nullptr;
  mpfr_swap(mpc_realref(r->c), re->f);
  mpfr_swap(mpc_imagref(r->c), im->f);
  r->rc = 0;
  return reinterpret_cast<PyObject*>(r);
}

PyObject* f_from_binary(PyObject*, PyObject* b) {
  Own<CTXT_Object> ctx(current_context());
  if (!ctx) return nullptr;
  if (!PyBytes_Check(b)) return requires_args("from_binary", "bytes argument", b);
  const auto* p = reinterpret_cast<const unsigned char*>(PyBytes_AS_STRING(b));
  const auto n = static_cast<size_t>(PyBytes_GET_SIZE(b));
  if (n < 2) return value_error(TOO_SHORT);
  switch (p[0]) {
    case T_MPZ:
      return read_integer<MPZ_Object>(p, n, new_mpz);
    case T_XMPZ:
      return read_integer<XMPZ_Object>(p, n, new_xmpz);
    case T_MPQ:
      return read_rational(p, n);
    case T_MPFR: {
      size_t used = 0;
      Own<MPFR_Object> r(read_real(p, n, used, ctx.get()));
      if (!r) return nullptr;
      if (used != n) return value_error(INVALID);
      return r.release();
    }
    case T_MPC:
      return read_complex(p, n, ctx.get());
    default:
      return type_error("from_binary() argument type not supported");
  }
}

const FnDef rows[] = {
    one("to_binary", f_to_binary, IN_MODULE, "Return a bytes object holding x (an mpz, xmpz, mpq, mpfr or mpc) in a\nportable binary form; from_binary() turns it back into the same value,\ntype and precision.").typed("x: _Num, /", "bytes"),
    one("from_binary", f_from_binary, IN_MODULE, "Return the number stored in the bytes b by to_binary().") .typed("b: bytes, /", "mpz | xmpz | mpq | mpfr | mpc"),
};

}  // namespace

VX_UNIT(serialize_binary, rows)

}  // namespace vx
