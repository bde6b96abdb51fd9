// The integer protocol and methods of mpz and xmpz.
#include "module/tables.h"
#include "objects/objects.h"

namespace vx {

void setup_integer_slots() noexcept {}

PyMethodDef integer_module_methods[] = {{nullptr, nullptr, 0, nullptr}};
PyMethodDef mpz_integer_methods[] = {{nullptr, nullptr, 0, nullptr}};
PyMethodDef xmpz_integer_methods[] = {{nullptr, nullptr, 0, nullptr}};
PyGetSetDef mpz_integer_getset[] = {{nullptr, nullptr, nullptr, nullptr, nullptr}};
PyGetSetDef xmpz_integer_getset[] = {{nullptr, nullptr, nullptr, nullptr, nullptr}};

}  // namespace vx
