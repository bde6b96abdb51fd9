// The context object: precision, rounding, exponent range, sticky flags,
// traps and switches that govern floating results; and the current context
// of each thread and task.
#pragma once
#include <Python.h>
#include <mpfr.h>
#include <mpc.h>

namespace vx {

// Rounding-mode codes; 0..4 are MPFR's own modes.
enum : int {
  RoundDefault = -1,
  RoundToNearest = 0,
  RoundToZero = 1,
  RoundUp = 2,
  RoundDown = 3,
  RoundAwayZero = 4,
};

// Trap bits of ContextRecord::traps.
enum : int {
  TRAP_UNDERFLOW = 1,
  TRAP_OVERFLOW = 2,
  TRAP_INEXACT = 4,
  TRAP_INVALID = 8,
  TRAP_ERANGE = 16,
  TRAP_DIVZERO = 32,
};

constexpr mpfr_prec_t PREC_MAX = 9223372036854775551LL;  // 2**63 - 257, MPFR's largest
constexpr mpfr_exp_t DEFAULT_EMAX = 1073741823;

// A precision request of a conversion to mpfr or mpc: the context's, exact
// (as many bits as the source needs), or a number of bits. A distinct type,
// so that a request cannot be confused with the bit count an allocation
// takes (new_mpfr and new_mpc read 1 or less as the context's precision).
struct Prec {
  mpfr_prec_t v;  // 0 the context's, 1 exact, 2 or more that many bits
  constexpr bool is_context() const noexcept { return v == 0; }
  constexpr bool is_exact() const noexcept { return v == 1; }
  // The bits to allocate for the request: its count of bits, or 0 (the
  // context's) when it names none.
  constexpr mpfr_prec_t alloc_bits() const noexcept { return v >= 2 ? v : 0; }
  friend constexpr bool operator==(Prec, Prec) = default;
};
inline constexpr Prec PREC_CONTEXT{0};
inline constexpr Prec PREC_EXACT{1};

// A numeric setting of a context record. A context may be shared by
// several threads, one of them changing a setting while others compute
// under it, so each read and write is a relaxed atomic one, as those of the
// flags, traps and switches are: a reader sees the old value or the new
// one, never a torn mix. Reads convert implicitly, so the settings read
// as plain numbers.
template <class T>
class Relaxed {
  T v_;

 public:
  constexpr explicit Relaxed(T v) noexcept : v_(v) {}
  Relaxed(const Relaxed& o) noexcept : v_(o.load()) {}
  Relaxed& operator=(const Relaxed& o) noexcept {
    store(o.load());
    return *this;
  }
  T operator=(T v) noexcept {
    store(v);
    return v;
  }
  T load() const noexcept { return __atomic_load_n(&v_, __ATOMIC_RELAXED); }
  void store(T v) noexcept { __atomic_store_n(&v_, v, __ATOMIC_RELAXED); }
  operator T() const noexcept { return load(); }  // NOLINT: reads as the number
};

struct ContextRecord {
  Relaxed<mpfr_prec_t> precision{53};
  Relaxed<int> round{RoundToNearest};
  Relaxed<mpfr_exp_t> emax{DEFAULT_EMAX};
  Relaxed<mpfr_exp_t> emin{-DEFAULT_EMAX};
  int subnormalize = 0;
  int underflow = 0;
  int overflow = 0;
  int inexact = 0;
  int invalid = 0;
  int erange = 0;
  int divzero = 0;
  int traps = 0;
  Relaxed<mpfr_prec_t> real_prec{-1};
  Relaxed<mpfr_prec_t> imag_prec{-1};
  Relaxed<int> real_round{RoundDefault};
  Relaxed<int> imag_round{RoundDefault};
  int allow_complex = 0;
  int rational_division = 0;
  int allow_release_gil = 0;
};

// A range whose emin exceeds its emax holds no number: keywords refuse
// it, and every result check refuses to produce a number under it (the
// attributes may pass through one while both ends are moved).
constexpr const char* EMPTY_RANGE = "invalid exponent range: emin is greater than emax";
inline bool range_empty(const ContextRecord& c) noexcept { return c.emin > c.emax; }

struct CTXT_Object {
  PyObject_HEAD
  ContextRecord ctx;
  // Tokens of the open `with` blocks on this object, innermost last
  // (a list, created on first __enter__), so that re-entering works.
  PyObject* tokens;
};

extern PyTypeObject CTXT_Type;

inline bool is_context(PyObject* o) noexcept { return Py_TYPE(o) == &CTXT_Type; }

// Effective values used by complex operations (each setting read once).
inline mpfr_prec_t real_prec(const ContextRecord& c) noexcept {
  const mpfr_prec_t p = c.real_prec;
  return p == -1 ? c.precision : p;
}
inline mpfr_prec_t imag_prec(const ContextRecord& c) noexcept {
  const mpfr_prec_t p = c.imag_prec;
  return p != -1 ? p : real_prec(c);
}
inline int real_round(const ContextRecord& c) noexcept {
  const int r = c.real_round;
  return r == RoundDefault ? c.round : r;
}
inline int imag_round(const ContextRecord& c) noexcept {
  const int r = c.imag_round;
  return r == RoundDefault ? real_round(c) : r;
}
inline mpfr_rnd_t rnd(const ContextRecord& c) noexcept { return static_cast<mpfr_rnd_t>(c.round.load()); }
inline mpc_rnd_t crnd(const ContextRecord& c) noexcept {
  return static_cast<mpc_rnd_t>(real_round(c) + 16 * imag_round(c));
}

// A new context with default settings, or a copy of `from` (flags included).
CTXT_Object* context_new(const ContextRecord* from = nullptr) noexcept;

// The current context of the calling thread or task, created with the
// defaults on first use. New reference, or nullptr with an exception.
CTXT_Object* current_context() noexcept;

// The context of one call: the one given (a context method, or an explicit
// `context=` argument) or, when none is, the current one, fetched on first
// use so that work that never needs it never pays for it. This is the only
// way to say "the given context, or the current one".
class Ctx {
  CTXT_Object* c_;
  CTXT_Object* held_ = nullptr;  // owned when the current context was fetched

 public:
  explicit Ctx(CTXT_Object* given = nullptr) noexcept : c_(given) {}
  // The context of a module function that is also a context method.
  static Ctx of_self(PyObject* self) noexcept {
    return Ctx(self && is_context(self) ? reinterpret_cast<CTXT_Object*>(self) : nullptr);
  }
  Ctx(const Ctx&) = delete;
  Ctx& operator=(const Ctx&) = delete;
  Ctx(Ctx&& o) noexcept : c_(o.c_), held_(o.held_) { o.held_ = nullptr; }
  ~Ctx() { Py_XDECREF(reinterpret_cast<PyObject*>(held_)); }

  // Borrowed; nullptr with an exception set when the current context cannot be made.
  CTXT_Object* get() noexcept {
    if (!c_) c_ = held_ = current_context();
    return c_;
  }
  ContextRecord& rec() noexcept { return c_->ctx; }  // after a successful get()
};

// Module-level setup: the context variable; called by the exec step.
int context_module_init(PyObject* module) noexcept;

}  // namespace vx
