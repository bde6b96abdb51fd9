// The conditions a floating result can raise. One table says, for each, its
// sticky flag, its trap, the attribute names and messages of both, the
// exception class a trap raises and that class's bases; the flags, traps,
// exception classes, result checks and the printed form of contexts are all
// driven from it.
//
// Every flag update goes through raise_conditions() (or take_back_flags()):
// a context may be shared by several threads, so flags and traps are read
// and written atomically.
#pragma once
#include <Python.h>
#include <iterator>

#include "context/context.h"
#include "core/errors.h"

namespace vx {

struct Condition {
  unsigned bit;                      // condition code and trap bit (TRAP_*)
  int ContextRecord::*flag;          // the sticky flag
  const char* flag_name;             // attribute (and printed) name of the flag
  const char* trap_name;             // attribute (keyword, printed) name of the trap
  const char* flag_msg;              // TypeError of a non-bool flag value
  const char* trap_msg;              // TypeError of a non-bool trap value
  const char* message;               // what a trapped result check says
  PyObject* Exceptions::*cls;        // the class a trap raises
  const char* cls_name;              // its name in the module
  PyObject* Exceptions::*base;       // its base among the module's classes
  PyObject** builtin_base;           // and a built-in second base, if any
};

// In the printed order. Result checks test traps in this order too: the
// last trapped condition decides the exception.
inline constexpr Condition CONDITIONS[] = {
    {TRAP_UNDERFLOW, &ContextRecord::underflow, "underflow", "trap_underflow", "underflow must be True or False",
     "trap_underflow must be True or False", "underflow", &Exceptions::underflow, "UnderflowResultError",
     &Exceptions::inexact, nullptr},
    {TRAP_OVERFLOW, &ContextRecord::overflow, "overflow", "trap_overflow", "overflow must be True or False",
     "trap_overflow must be True or False", "overflow", &Exceptions::overflow, "OverflowResultError",
     &Exceptions::inexact, nullptr},
    {TRAP_INEXACT, &ContextRecord::inexact, "inexact", "trap_inexact", "inexact must be True or False",
     "trap_inexact must be True or False", "inexact result", &Exceptions::inexact, "InexactResultError",
     &Exceptions::base, nullptr},
    {TRAP_INVALID, &ContextRecord::invalid, "invalid", "trap_invalid", "invalid must be True or False",
     "trap_invalid must be True or False", "invalid operation", &Exceptions::invalid, "InvalidOperationError",
     &Exceptions::base, &PyExc_ValueError},
    {TRAP_ERANGE, &ContextRecord::erange, "erange", "trap_erange", "erange must be True or False",
     "trap_erange must be True or False", "range error", &Exceptions::range, "RangeError", &Exceptions::base,
     nullptr},
    {TRAP_DIVZERO, &ContextRecord::divzero, "divzero", "trap_divzero", "divzero must be True or False",
     "trap_divzero must be True or False", "division by zero", &Exceptions::divzero, "DivisionByZeroError",
     &Exceptions::base, &PyExc_ZeroDivisionError},
};
inline constexpr size_t N_CONDITIONS = std::size(CONDITIONS);

// Atomic access to one int field of a context record.
inline int load_field(const int& f) noexcept { return __atomic_load_n(&f, __ATOMIC_RELAXED); }
inline void store_field(int& f, int v) noexcept { __atomic_store_n(&f, v, __ATOMIC_RELAXED); }

inline bool flag_set(const ContextRecord& c, const Condition& k) noexcept { return load_field(c.*k.flag) != 0; }
inline bool trapped(const ContextRecord& c, unsigned bit) noexcept { return (load_field(c.traps) & bit) != 0; }
inline void set_trap(ContextRecord& c, unsigned bit, bool on) noexcept {
  if (on)
    __atomic_fetch_or(&c.traps, static_cast<int>(bit), __ATOMIC_RELAXED);
  else
    __atomic_fetch_and(&c.traps, ~static_cast<int>(bit), __ATOMIC_RELAXED);
}

// Sets the sticky flags of the conditions `cond` (TRAP_* bits) and raises
// the exception of the last trapped one, saying `msg` (or the condition's
// own message). False when a trap fired.
bool raise_conditions_slow(ContextRecord& c, unsigned cond, const char* msg) noexcept;
inline bool raise_conditions(ContextRecord& c, unsigned cond, const char* msg = nullptr) noexcept {
  // The common results: nothing to report, or an inexact result in a
  // context whose inexact flag is already set and not trapped.
  if (!cond) return true;
  if (cond == TRAP_INEXACT && load_field(c.inexact) && !(load_field(c.traps) & static_cast<int>(TRAP_INEXACT)))
    return true;
  return raise_conditions_slow(c, cond, msg);
}

// The sticky flags as TRAP_* bits.
unsigned flags_of(const ContextRecord& c) noexcept;

// Clears the flags among `mask` that were not set in `before` (taking back
// what a failed attempt raised, leaving other threads' flags alone).
void take_back_flags(ContextRecord& c, unsigned before, unsigned mask) noexcept;

// Clears every flag.
void clear_flags(ContextRecord& c) noexcept;

}  // namespace vx
