// Little-endian fields and magnitudes of the binary formats.
#pragma once
#include <gmp.h>
#include <bit>
#include <climits>
#include <cstring>
#include <cstddef>
#include <cstdint>
#include "core/memory.h"

namespace vx {

// Whether an integer of an n-byte magnitude can be made (GMP aborts the
// process beyond its limit); false with MemoryError.
inline bool magnitude_possible(uint64_t n, Alloc what = Alloc::MPZ) noexcept {
  return can_allocate(n > UINT64_MAX / 8 ? UINT64_MAX : n * 8, what);
}

// The w-byte little-endian unsigned field at p (w <= 8).
inline uint64_t get_le(const unsigned char* p, int w) noexcept {
  uint64_t v = 0;
  for (int i = w - 1; i >= 0; --i) v = (v << 8) | p[i];
  return v;
}
inline uint64_t get_le(const unsigned char* p, size_t w) noexcept { return get_le(p, static_cast<int>(w)); }

inline void put_le(unsigned char* p, uint64_t v, int w) noexcept {
  for (int i = 0; i < w; ++i, v >>= 8) p[i] = static_cast<unsigned char>(v & 0xFF);
}

// k limbs to 8k (or 4k) bytes, least significant first, and back.
inline void limbs_to_le(unsigned char* p, const mp_limb_t* limbs, size_t k) noexcept {
  if constexpr (std::endian::native == std::endian::little) {
    std::memcpy(p, limbs, k * sizeof(mp_limb_t));
  } else {
    for (size_t i = 0; i < k; ++i) put_le(p + i * sizeof(mp_limb_t), limbs[i], static_cast<int>(sizeof(mp_limb_t)));
  }
}
inline void le_to_limbs(mp_limb_t* limbs, const unsigned char* p, size_t k) noexcept {
  if constexpr (std::endian::native == std::endian::little) {
    std::memcpy(limbs, p, k * sizeof(mp_limb_t));
  } else {
    for (size_t i = 0; i < k; ++i) limbs[i] = static_cast<mp_limb_t>(get_le(p + i * sizeof(mp_limb_t), sizeof(mp_limb_t)));
  }
}

// Bytes of abs(z), 0 for zero.
inline size_t magnitude_bytes(mpz_srcptr z) noexcept {
  return mpz_sgn(z) == 0 ? 0 : (mpz_sizeinbase(z, 2) + 7) / 8;
}

// Writes abs(z) as exactly n bytes, least significant first; false when
// its magnitude does not take n bytes. Whole limbs are copied at once.
inline bool export_le(unsigned char* p, size_t n, mpz_srcptr z) noexcept {
  if (magnitude_bytes(z) != n) return false;
  const mp_limb_t* limbs = mpz_limbs_read(z);
  const size_t whole = n / sizeof(mp_limb_t);
  limbs_to_le(p, limbs, whole);
  if (const size_t rest = n % sizeof(mp_limb_t)) put_le(p + whole * sizeof(mp_limb_t), limbs[whole], static_cast<int>(rest));
  return true;
}

// z = the n bytes at p, least significant first (z >= 0).
inline void import_le(mpz_ptr z, const unsigned char* p, size_t n) noexcept {
  if (n == 0) {
    mpz_set_ui(z, 0);
    return;
  }
  const size_t whole = n / sizeof(mp_limb_t), rest = n % sizeof(mp_limb_t);
  const size_t count = whole + (rest != 0);
  mp_limb_t* limbs = mpz_limbs_write(z, static_cast<mp_size_t>(count));
  le_to_limbs(limbs, p, whole);
  if (rest) limbs[whole] = static_cast<mp_limb_t>(get_le(p + whole * sizeof(mp_limb_t), rest));
  mpz_limbs_finish(z, static_cast<mp_size_t>(count));  // drops high zero limbs
}

// z = the n bytes at p, most significant first (z >= 0).
inline void import_be(mpz_ptr z, const unsigned char* p, size_t n) noexcept {
  if (n == 0)
    mpz_set_ui(z, 0);
  else
    mpz_import(z, n, 1, 1, 0, 0, p);
}

}  // namespace vx
