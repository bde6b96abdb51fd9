// Readers of the three older binary forms of mpz, mpq and mpfr. Nothing
// writes them any more; stored data in these forms can still be loaded.
#include <cstdint>

#include "context/context.h"
#include "core/errors.h"
#include "core/args.h"
#include "core/ref.h"
#include "core/registry.h"
#include "core/temps.h"
#include "objects/check.h"
#include "objects/objects.h"
#include "serialize/bytes_le.h"

namespace vx {

namespace {

// Bits of an old real's stated precision allowed beyond its mantissa bytes.
constexpr uint64_t MAX_SPARE_BITS = uint64_t{1} << 20;

inline const unsigned char* data_of(PyObject* b) noexcept {
  return reinterpret_cast<const unsigned char*>(PyBytes_AS_STRING(b));
}

// Magnitude, least significant byte first; a last byte 0xFF marks a
// negative number and is not part of the magnitude.
PyObject* f_mpz_from_old_binary(PyObject*, PyObject* b) {
  if (!PyBytes_Check(b)) return requires_args("mpz_from_old_binary", "bytes argument", b);
  const unsigned char* p = data_of(b);
  size_t n = static_cast<size_t>(PyBytes_GET_SIZE(b));
  if (n == 0) return value_error("invalid mpz binary (too short)");
  const bool negative = p[n - 1] == 0xFF;
  if (negative) --n;
  if (!magnitude_possible(n)) return nullptr;
  MPZ_Object* r = new_mpz();
  if (!r) return nullptr;
  import_le(r->z, p, n);
  if (negative) mpz_neg(r->z, r->z);
  return reinterpret_cast<PyObject*>(r);
}

// Four bytes: the numerator's byte length in the low 31 bits, the sign in
// the top bit; then the numerator and the denominator, least significant
// byte first.
PyObject* f_mpq_from_old_binary(PyObject*, PyObject* b) {
  if (!PyBytes_Check(b)) return requires_args("mpq_from_old_binary", "bytes argument", b);
  const unsigned char* p = data_of(b);
  const size_t n = static_cast<size_t>(PyBytes_GET_SIZE(b));
  if (n <= 5) return value_error("invalid mpq binary (too short)");
  const uint64_t head = get_le(p, 4);
  const uint64_t nlen = head & 0x7FFFFFFF;
  const bool negative = head & 0x80000000u;
  if (nlen + 5 > n) return value_error("invalid mpq binary (num len)");
  const size_t dlen = n - 4 - static_cast<size_t>(nlen);
  if (!magnitude_possible(nlen, Alloc::MPQ) || !magnitude_possible(dlen, Alloc::MPQ)) return nullptr;
  Own<MPQ_Object> r(new_mpq());
  if (!r) return nullptr;
  import_le(mpq_numref(r->q), p + 4, static_cast<size_t>(nlen));
  import_le(mpq_denref(r->q), p + 4 + nlen, dlen);
  if (mpz_sgn(mpq_denref(r->q)) == 0) return value_error("invalid mpq binary (zero denominator)");
  mpq_canonicalize(r->q);
  if (negative) mpq_neg(r->q, r->q);
  return r.release();
}

// Byte 0: flags (0x01 negative, 0x02 negative exponent, 0x04 zero, 0x08
// precision stored in bytes 1..4). Then a 32-bit exponent E counting bytes
// and a base-256 fraction, most significant byte first:
// value = 0.m1 m2 ... (base 256) * 256**(+-E).
PyObject* f_mpfr_from_old_binary(PyObject*, PyObject* b) {
  Own<CTXT_Object> ctx(current_context());
  if (!ctx) return nullptr;
  if (!PyBytes_Check(b)) return requires_args("mpfr_from_old_binary", "bytes argument", b);
  constexpr const char* SHORT = "invalid mpf binary encoding (too short)";
  const unsigned char* p = data_of(b);
  const size_t n = static_cast<size_t>(PyBytes_GET_SIZE(b));
  if (n == 0) return value_error(SHORT);
  const unsigned char flags = p[0];
  const bool stored = (flags & 0x08) && n > 4;
  uint64_t prec = 0;
  if (stored)
    prec = get_le(p + 1, 4);
  else if (n > 5)
    prec = 8 * static_cast<uint64_t>(n - 5);

  if (flags & 0x04) {  // zero: +0 of the stated precision (0 or 1: the context's)
    MPFR_Object* r = new_mpfr(static_cast<mpfr_prec_t>(prec), ctx.get());
    if (r) mpfr_set_zero(r->f, 1);
    return reinterpret_cast<PyObject*>(r);
  }
  const size_t off = stored ? 5 : 1;
  if (n < off + 5) return value_error(SHORT);
  const uint64_t ebytes = get_le(p + off, 4);
  const size_t mlen = n - off - 4;
  // A writer gives as many mantissa bytes as the precision needs. A stored
  // precision far beyond them (up to 2**32 bits, all of which MPFR would
  // fill) marks a damaged or hostile record.
  if (prec < 2 || prec > 8 * static_cast<uint64_t>(mlen) + MAX_SPARE_BITS)
    return value_error("invalid mpf binary encoding (precision)");
  if (!magnitude_possible(mlen)) return nullptr;

  MPFR_Object* r = new_mpfr(static_cast<mpfr_prec_t>(prec), ctx.get());
  if (!r) return nullptr;
  Mpz m;
  import_be(m, p + off + 4, mlen);
  // 0.m (base 256) = m / 256**mlen; the exact value is rounded once.
  const int64_t shift = static_cast<int64_t>(8 * ebytes) * ((flags & 0x02) ? -1 : 1) - 8 * static_cast<int64_t>(mlen);
  {
    ExpRange full(mpfr_get_emin_min(), mpfr_get_emax_max());
    r->rc = mpfr_set_z_2exp(r->f, m, static_cast<mpfr_exp_t>(shift), MPFR_RNDN);
  }
  if (flags & 0x01) {
    mpfr_neg(r->f, r->f, MPFR_RNDN);
    r->rc = -r->rc;
  }
  return reinterpret_cast<PyObject*>(r);
}

const FnDef rows[] = {
    one("mpz_from_old_binary", f_mpz_from_old_binary, IN_MODULE, "Return an mpz from the older binary form of an integer.") .typed("b: bytes, /", "mpz"),
    one("mpq_from_old_binary", f_mpq_from_old_binary, IN_MODULE, "Return an mpq from the older binary form of a rational.") .typed("b: bytes, /", "mpq"),
    one("mpfr_from_old_binary", f_mpfr_from_old_binary, IN_MODULE, "Return an mpfr from the older binary form of a real number.") .typed("b: bytes, /", "mpfr"),
};

}  // namespace

VX_UNIT(serialize_old_binary, rows)

}  // namespace vx
