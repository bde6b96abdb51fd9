// Comparison and hashing across all numeric types.
#include "module/tables.h"
#include "objects/objects.h"

namespace vx {

void setup_compare_slots() noexcept {}

PyMethodDef compare_module_methods[] = {{nullptr, nullptr, 0, nullptr}};

}  // namespace vx
