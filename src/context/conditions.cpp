// Raising conditions on a context: flags, traps and their exceptions.
#include "context/conditions.h"

namespace vx {

bool raise_conditions_slow(ContextRecord& c, unsigned cond, const char* msg) noexcept {
  const Condition* fired = nullptr;
  const int traps = load_field(c.traps);
  for (const Condition& k : CONDITIONS) {
    if (!(cond & k.bit)) continue;
    // A flag already set is not written again: a context shared by several
    // threads then costs no write on every inexact result.
    if (!load_field(c.*k.flag)) store_field(c.*k.flag, 1);
    if (traps & static_cast<int>(k.bit)) fired = &k;
  }
  if (!fired) return true;
  PyErr_SetString(exc.*fired->cls, msg ? msg : fired->message);
  return false;
}

unsigned flags_of(const ContextRecord& c) noexcept {
  unsigned r = 0;
  for (const Condition& k : CONDITIONS)
    if (flag_set(c, k)) r |= k.bit;
  return r;
}

void take_back_flags(ContextRecord& c, unsigned before, unsigned mask) noexcept {
  for (const Condition& k : CONDITIONS)
    if ((mask & k.bit) && !(before & k.bit)) store_field(c.*k.flag, 0);
}

void clear_flags(ContextRecord& c) noexcept {
  for (const Condition& k : CONDITIONS) store_field(c.*k.flag, 0);
}

}  // namespace vx
