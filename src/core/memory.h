// How much memory the process can still get, for refusing sizes that GMP,
// MPFR or MPC would fail to allocate: those libraries stop the process when
// an allocation fails, so a request that cannot be met must become a
// MemoryError before they are called.
#pragma once
#include <cstddef>
#include <cstdint>

namespace vx {

// Requests below this many bytes are never questioned (asking costs system calls).
constexpr uint64_t MEMORY_CHECK_FLOOR = uint64_t{64} << 20;

// The bytes the process may still allocate: the least of the address-space
// and data limits (less what is in use), the cgroup's memory limit (less its
// usage) and the system's available memory. UINT64_MAX when nothing is known.
uint64_t memory_obtainable() noexcept;

// True when `bytes` more can probably be allocated.
inline bool memory_can_hold(uint64_t bytes) noexcept {
  return bytes < MEMORY_CHECK_FLOOR || bytes <= memory_obtainable();
}

}  // namespace vx
