// Which unit serves which slot of the number types.
#include "objects/type_slots.h"
#include "module/tables.h"

namespace vx {

void setup_type_slots() noexcept {
  setup_convert_slots();
  setup_format_slots();
  setup_arith_slots();
  setup_compare_slots();
  setup_integer_slots();
  setup_unary_slots();
}

}  // namespace vx
