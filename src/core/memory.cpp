// Reading the limits on the process's memory.
#include "core/memory.h"

#include <Python.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace vx {

namespace {

// The first number of a small file, or UINT64_MAX ("max", missing, unreadable).
uint64_t read_number(const char* path) noexcept {
  std::FILE* f = std::fopen(path, "r");
  if (!f) return UINT64_MAX;
  unsigned long long v = 0;
  int got = std::fscanf(f, "%llu", &v);
  std::fclose(f);
  return got == 1 ? v : UINT64_MAX;
}

// Virtual size and data size of this process, in bytes (from /proc/self/statm).
void process_sizes(uint64_t& vsize, uint64_t& data) noexcept {
  vsize = data = 0;
  std::FILE* f = std::fopen("/proc/self/statm", "r");
  if (!f) return;
  unsigned long long size = 0, resident = 0, shared = 0, text = 0, lib = 0, d = 0;
  if (std::fscanf(f, "%llu %llu %llu %llu %llu %llu", &size, &resident, &shared, &text, &lib, &d) == 6) {
    const uint64_t page = static_cast<uint64_t>(sysconf(_SC_PAGESIZE));
    vsize = size * page;
    data = d * page;
  }
  std::fclose(f);
}

// MemAvailable plus free swap, from /proc/meminfo.
uint64_t system_available() noexcept {
  std::FILE* f = std::fopen("/proc/meminfo", "r");
  if (!f) {
    long pages = sysconf(_SC_PHYS_PAGES), page = sysconf(_SC_PAGESIZE);
    return pages > 0 && page > 0 ? static_cast<uint64_t>(pages) * static_cast<uint64_t>(page) : UINT64_MAX;
  }
  char line[256];
  uint64_t avail = UINT64_MAX, swap = 0;
  while (std::fgets(line, sizeof line, f)) {
    unsigned long long kb = 0;
    if (std::sscanf(line, "MemAvailable: %llu kB", &kb) == 1) avail = kb * 1024;
    if (std::sscanf(line, "SwapFree: %llu kB", &kb) == 1) swap = kb * 1024;
  }
  std::fclose(f);
  return avail == UINT64_MAX ? avail : avail + swap;
}

uint64_t rest_of(rlim_t limit, uint64_t used) noexcept {
  if (limit == RLIM_INFINITY) return UINT64_MAX;
  return static_cast<uint64_t>(limit) > used ? static_cast<uint64_t>(limit) - used : 0;
}

}  // namespace

uint64_t memory_obtainable() noexcept {
  uint64_t vsize = 0, data = 0;
  process_sizes(vsize, data);
  uint64_t best = system_available();
  rlimit rl{};
  if (getrlimit(RLIMIT_AS, &rl) == 0) best = std::min(best, rest_of(rl.rlim_cur, vsize));
  if (getrlimit(RLIMIT_DATA, &rl) == 0) best = std::min(best, rest_of(rl.rlim_cur, data));
  // cgroup v2, then v1.
  uint64_t cg_max = read_number("/sys/fs/cgroup/memory.max");
  uint64_t cg_cur = read_number("/sys/fs/cgroup/memory.current");
  if (cg_max == UINT64_MAX) {
    cg_max = read_number("/sys/fs/cgroup/memory/memory.limit_in_bytes");
    cg_cur = read_number("/sys/fs/cgroup/memory/memory.usage_in_bytes");
  }
  if (cg_max != UINT64_MAX && cg_max < (uint64_t{1} << 62))
    best = std::min(best, cg_cur != UINT64_MAX && cg_cur < cg_max ? cg_max - cg_cur : 0);
  return best;
}

bool allocatable(uint64_t bits, Alloc what, unsigned copies) noexcept {
  if ((what == Alloc::MPZ || what == Alloc::MPQ) && bits > MPZ_MAX_BITS) return false;
  const uint64_t bytes = what == Alloc::BYTES ? bits : bits / 8 + 16;
  if (bytes > UINT64_MAX / (copies ? copies : 1)) return false;
  return memory_can_hold(bytes * copies);
}

bool can_allocate(uint64_t bits, Alloc what, unsigned copies) noexcept {
  if (allocatable(bits, what, copies)) return true;
  cannot_allocate(bits, what);
  return false;
}

std::nullptr_t cannot_allocate(uint64_t bits, Alloc what) noexcept {
  static constexpr const char* names[] = {"an mpz of ", "an mpq of ", "an mpfr of ", "an mpc of ", ""};
  const char* unit = what == Alloc::BYTES ? "bytes" : "bits";
  const char* name = names[static_cast<int>(what)];
  if (bits == UINT64_MAX)
    PyErr_Format(PyExc_MemoryError, "cannot allocate %sat least 2**64 %s", name, unit);
  else if (bits && (bits & (bits - 1)) == 0)
    PyErr_Format(PyExc_MemoryError, "cannot allocate %s2**%d %s", name, __builtin_ctzll(bits), unit);
  else
    PyErr_Format(PyExc_MemoryError, "cannot allocate %s%llu %s", name, static_cast<unsigned long long>(bits), unit);
  return nullptr;
}

}  // namespace vx
