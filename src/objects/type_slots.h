// Wiring of protocol slots and method tables into the number types.
#pragma once

namespace vx {
// Fills the slots (constructors, repr, number protocol, methods, ...) of
// the five number types from the units that implement them.
void setup_type_slots() noexcept;
}  // namespace vx
