// Numeric hashes. Every value is reduced modulo the Mersenne prime
// P = 2**61 - 1 the way the interpreter reduces ints, floats and Fractions,
// so that equal numbers of any type hash equal.
#include "arith/hash.h"

#include <atomic>
#include <cstdint>

#include "objects/objects.h"

namespace vx {

namespace {

static_assert(GMP_NUMB_BITS == 64, "the hashes read 64-bit limbs");
static_assert(sizeof(Py_hash_t) == 8, "the hashes assume a 64-bit Py_hash_t");

constexpr uint64_t P = (uint64_t{1} << 61) - 1;  // sys.hash_info.modulus
constexpr int P_BITS = 61;
constexpr Py_hash_t HASH_INF = 314159;        // sys.hash_info.inf
constexpr uint64_t HASH_IMAG = 1000003;       // sys.hash_info.imag

inline Py_hash_t finish(Py_hash_t h) noexcept { return h == -1 ? -2 : h; }

inline Py_hash_t signed_hash(uint64_t mag, bool negative) noexcept {
  Py_hash_t h = static_cast<Py_hash_t>(mag);
  return finish(negative ? -h : h);
}

inline uint64_t mulmod(uint64_t a, uint64_t b) noexcept {
  unsigned __int128 t = static_cast<unsigned __int128>(a) * b;
  // t < 2**122: fold the high bits twice (2**61 = 1 mod P).
  uint64_t r = static_cast<uint64_t>(t & P) + static_cast<uint64_t>(t >> P_BITS);
  r = (r & P) + (r >> P_BITS);
  return r >= P ? r - P : r;
}

// a**(P-2) mod P, the inverse of a non-zero residue a.
uint64_t invmod(uint64_t a) noexcept {
  uint64_t result = 1, e = P - 2;
  while (e) {
    if (e & 1) result = mulmod(result, a);
    a = mulmod(a, a);
    e >>= 1;
  }
  return result;
}

// |z| mod P.
inline uint64_t magnitude_mod(mpz_srcptr z) noexcept {
  size_t n = mpz_size(z);
  if (n == 0) return 0;
  if (n == 1) return mpz_getlimbn(z, 0) % P;
  return mpn_mod_1(mpz_limbs_read(z), static_cast<mp_size_t>(n), P);
}

inline Py_hash_t pointer_hash(PyObject* o) noexcept {
#if PY_VERSION_HEX >= 0x030D0000
  return Py_HashPointer(o);
#else
  return _Py_HashPointer(o);
#endif
}

// The interpreter's hash of the integer z.
Py_hash_t hash_of_mpz(mpz_srcptr z) noexcept { return signed_hash(magnitude_mod(z), mpz_sgn(z) < 0); }

// The hash of the real f; a NaN hashes by the address of `owner`.
Py_hash_t hash_of_mpfr(mpfr_srcptr f, PyObject* owner) noexcept {
  if (mpfr_nan_p(f)) return pointer_hash(owner);
  if (mpfr_inf_p(f)) return mpfr_signbit(f) ? -HASH_INF : HASH_INF;
  if (mpfr_zero_p(f)) return 0;
  // |f| = m * 2**(e - 64k) with m the k significand limbs read as an integer.
  const mp_size_t k = static_cast<mp_size_t>((mpfr_get_prec(f) + GMP_NUMB_BITS - 1) / GMP_NUMB_BITS);
  const mp_limb_t* limbs = f->_mpfr_d;
  uint64_t r = k == 1 ? limbs[0] % P : mpn_mod_1(limbs, k, P);
  // (e - 64k) mod 61, in 0..60, without forming e - 64k (which may overflow).
  long s = static_cast<long>(mpfr_get_exp(f) % P_BITS) - static_cast<long>((3 * (k % P_BITS)) % P_BITS);
  s = ((s % P_BITS) + P_BITS) % P_BITS;
  if (s) r = ((r << s) & P) | (r >> (P_BITS - s));  // r * 2**s mod P
  return signed_hash(r, mpfr_signbit(f) != 0);
}

// The hash cache of a number another thread may be hashing at the same
// time: both compute the same value, so relaxed loads and stores suffice.
inline Py_hash_t cached(Py_hash_t& slot) noexcept { return std::atomic_ref<Py_hash_t>(slot).load(std::memory_order_relaxed); }
inline Py_hash_t remember(Py_hash_t& slot, Py_hash_t h) noexcept {
  std::atomic_ref<Py_hash_t>(slot).store(h, std::memory_order_relaxed);
  return h;
}

}  // namespace

Py_hash_t mpz_hash(PyObject* self) noexcept {
  auto* o = reinterpret_cast<MPZ_Object*>(self);
  const Py_hash_t h = cached(o->hash_cache);
  return h != -1 ? h : remember(o->hash_cache, hash_of_mpz(o->z));
}

Py_hash_t mpq_hash(PyObject* self) noexcept {
  auto* o = reinterpret_cast<MPQ_Object*>(self);
  if (const Py_hash_t c = cached(o->hash_cache); c != -1) return c;
  mpz_srcptr num = mpq_numref(o->q), den = mpq_denref(o->q);
  const bool negative = mpz_sgn(num) < 0;
  Py_hash_t h;
  uint64_t d = magnitude_mod(den);
  if (d == 0) {
    h = negative ? -HASH_INF : HASH_INF;  // no inverse modulo P
  } else {
    uint64_t n = magnitude_mod(num);
    h = signed_hash(d == 1 ? n : mulmod(n, invmod(d)), negative);
  }
  return remember(o->hash_cache, h);
}

Py_hash_t mpfr_hash(PyObject* self) noexcept {
  auto* o = reinterpret_cast<MPFR_Object*>(self);
  const Py_hash_t h = cached(o->hash_cache);
  return h != -1 ? h : remember(o->hash_cache, hash_of_mpfr(o->f, self));
}

Py_hash_t mpc_hash(PyObject* self) noexcept {
  auto* o = reinterpret_cast<MPC_Object*>(self);
  if (const Py_hash_t c = cached(o->hash_cache); c != -1) return c;
  auto re = static_cast<uint64_t>(hash_of_mpfr(mpc_realref(o->c), self));
  auto im = static_cast<uint64_t>(hash_of_mpfr(mpc_imagref(o->c), self));
  return remember(o->hash_cache, finish(static_cast<Py_hash_t>(re + HASH_IMAG * im)));
}

}  // namespace vx
