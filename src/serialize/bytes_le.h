// Little-endian fields and magnitudes of the binary formats.
#pragma once
#include <gmp.h>
#include <climits>
#include <cstddef>
#include <cstdint>

namespace vx {

// The most bytes of magnitude a GMP integer can take: its size field counts
// limbs in an int, and GMP aborts the process beyond that.
constexpr uint64_t MAX_MAGNITUDE_BYTES = static_cast<uint64_t>(INT_MAX - 1) * (GMP_NUMB_BITS / 8);

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

// Bytes of abs(z), 0 for zero.
inline size_t magnitude_bytes(mpz_srcptr z) noexcept {
  return mpz_sgn(z) == 0 ? 0 : (mpz_sizeinbase(z, 2) + 7) / 8;
}

// Writes abs(z) as exactly n bytes, least significant first; false when
// its magnitude does not take n bytes.
inline bool export_le(unsigned char* p, size_t n, mpz_srcptr z) noexcept {
  if (magnitude_bytes(z) != n) return false;
  if (n == 0) return true;
  size_t count = 0;
  mpz_export(p, &count, -1, 1, 0, 0, z);
  return count == n;
}

// z = the n bytes at p, least significant first (z >= 0).
inline void import_le(mpz_ptr z, const unsigned char* p, size_t n) noexcept {
  if (n == 0)
    mpz_set_ui(z, 0);
  else
    mpz_import(z, n, -1, 1, 0, 0, p);
}

// z = the n bytes at p, most significant first (z >= 0).
inline void import_be(mpz_ptr z, const unsigned char* p, size_t n) noexcept {
  if (n == 0)
    mpz_set_ui(z, 0);
  else
    mpz_import(z, n, 1, 1, 0, 0, p);
}

}  // namespace vx
