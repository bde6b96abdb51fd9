// How much memory the process can still get, and the one answer to "can a
// value of this size be allocated": GMP, MPFR and MPC stop the process when
// an allocation fails, so a request that cannot be met must become a
// MemoryError before they are called.
#pragma once
#include <gmp.h>
#include <climits>
#include <cstddef>
#include <cstdint>

namespace vx {

// Requests below this many bytes are never questioned (asking costs system calls).
constexpr uint64_t MEMORY_CHECK_FLOOR = uint64_t{64} << 20;

// The most bits a GMP integer can hold: its size field counts limbs in an int.
constexpr uint64_t MPZ_MAX_BITS = static_cast<uint64_t>(INT_MAX - 1) * GMP_NUMB_BITS;

// The bytes the process may still allocate: the least of the address-space
// and data limits (less what is in use), the cgroup's memory limit (less its
// usage) and the system's available memory. UINT64_MAX when nothing is known.
uint64_t memory_obtainable() noexcept;

// True when `bytes` more can probably be allocated.
inline bool memory_can_hold(uint64_t bytes) noexcept {
  return bytes < MEMORY_CHECK_FLOOR || bytes <= memory_obtainable();
}

// What a request is for; it names the value in the error message and says
// whether GMP's integer limit applies (mpz and both parts of an mpq).
enum class Alloc : uint8_t { MPZ, MPQ, MPFR, MPC, BYTES };

// a + b, held at UINT64_MAX instead of wrapping.
constexpr uint64_t bits_sum(uint64_t a, uint64_t b) noexcept { return a > UINT64_MAX - b ? UINT64_MAX : a + b; }

// Whether a value of `bits` bits (bytes for Alloc::BYTES) can be allocated,
// `copies` times over (the working space of the operation that makes it):
// within GMP's integer limit for integers, and within the memory the
// process can still get. Sets nothing.
bool allocatable(uint64_t bits, Alloc what = Alloc::MPZ, unsigned copies = 1) noexcept;

// The same; false with MemoryError saying what was asked for, e.g.
// "cannot allocate an mpz of 2**40 bits".
bool can_allocate(uint64_t bits, Alloc what = Alloc::MPZ, unsigned copies = 1) noexcept;

// Raises that MemoryError (for callers that decided by other means) and
// returns nullptr.
std::nullptr_t cannot_allocate(uint64_t bits, Alloc what = Alloc::MPZ) noexcept;

}  // namespace vx
