// Integer and rational text: repr, str, digits and __format__.
#include "module/tables.h"
#include "objects/objects.h"

namespace vx {

void setup_format_slots() noexcept {}

PyMethodDef format_module_methods[] = {{nullptr, nullptr, 0, nullptr}};
PyMethodDef mpz_format_methods[] = {{nullptr, nullptr, 0, nullptr}};
PyMethodDef xmpz_format_methods[] = {{nullptr, nullptr, 0, nullptr}};
PyMethodDef mpq_format_methods[] = {{nullptr, nullptr, 0, nullptr}};
PyMethodDef mpfr_format_methods[] = {{nullptr, nullptr, 0, nullptr}};
PyMethodDef mpc_format_methods[] = {{nullptr, nullptr, 0, nullptr}};
PyGetSetDef mpq_attr_getset[] = {{nullptr, nullptr, nullptr, nullptr, nullptr}};
PyGetSetDef mpfr_attr_getset[] = {{nullptr, nullptr, nullptr, nullptr, nullptr}};
PyGetSetDef mpc_attr_getset[] = {{nullptr, nullptr, nullptr, nullptr, nullptr}};

}  // namespace vx
