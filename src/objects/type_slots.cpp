// Which unit serves which slot of the number types.
#include "objects/objects.h"
#include "objects/type_slots.h"

namespace vx {

void setup_type_slots() noexcept {}

}  // namespace vx
