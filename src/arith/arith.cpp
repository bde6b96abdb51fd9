// The shared number-protocol entries of the five types.
#include "module/tables.h"
#include "objects/objects.h"

namespace vx {

void setup_arith_slots() noexcept {}

PyMethodDef arith_module_methods[] = {{nullptr, nullptr, 0, nullptr}};
PyMethodDef arith_context_methods[] = {{nullptr, nullptr, 0, nullptr}};

}  // namespace vx
