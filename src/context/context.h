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

struct ContextRecord {
  mpfr_prec_t precision = 53;
  int round = RoundToNearest;
  mpfr_exp_t emax = DEFAULT_EMAX;
  mpfr_exp_t emin = -DEFAULT_EMAX;
  int subnormalize = 0;
  int underflow = 0;
  int overflow = 0;
  int inexact = 0;
  int invalid = 0;
  int erange = 0;
  int divzero = 0;
  int traps = 0;
  mpfr_prec_t real_prec = -1;
  mpfr_prec_t imag_prec = -1;
  int real_round = RoundDefault;
  int imag_round = RoundDefault;
  int allow_complex = 0;
  int rational_division = 0;
  int allow_release_gil = 0;
};

struct CTXT_Object {
  PyObject_HEAD
  ContextRecord ctx;
  // Tokens of the open `with` blocks on this object, innermost last
  // (a list, created on first __enter__), so that re-entering works.
  PyObject* tokens;
};

extern PyTypeObject CTXT_Type;

inline bool is_context(PyObject* o) noexcept { return Py_TYPE(o) == &CTXT_Type; }

// Effective values used by complex operations.
inline mpfr_prec_t real_prec(const ContextRecord& c) noexcept {
  return c.real_prec == -1 ? c.precision : c.real_prec;
}
inline mpfr_prec_t imag_prec(const ContextRecord& c) noexcept {
  return c.imag_prec != -1 ? c.imag_prec : real_prec(c);
}
inline int real_round(const ContextRecord& c) noexcept {
  return c.real_round == RoundDefault ? c.round : c.real_round;
}
inline int imag_round(const ContextRecord& c) noexcept {
  return c.imag_round == RoundDefault ? real_round(c) : c.imag_round;
}
inline mpfr_rnd_t rnd(const ContextRecord& c) noexcept { return static_cast<mpfr_rnd_t>(c.round); }
inline mpc_rnd_t crnd(const ContextRecord& c) noexcept {
  return static_cast<mpc_rnd_t>(real_round(c) + 16 * imag_round(c));
}

// A new context with default settings, or a copy of `from` (flags included).
CTXT_Object* context_new(const ContextRecord* from = nullptr) noexcept;

// The current context of the calling thread or task, created with the
// defaults on first use. New reference, or nullptr with an exception.
CTXT_Object* current_context() noexcept;

// The context a module function uses: `self` when it is called as a context
// method, the current context otherwise. New reference.
inline CTXT_Object* context_for(PyObject* self) noexcept {
  if (self && is_context(self)) {
    Py_INCREF(self);
    return reinterpret_cast<CTXT_Object*>(self);
  }
  return current_context();
}

// Module-level setup: the context variable; called by the exec step.
int context_module_init(PyObject* module) noexcept;

extern PyMethodDef context_module_methods[];

}  // namespace vx
