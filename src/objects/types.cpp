// The static type objects of the five number types. Their protocol slots
// and methods are contributed by the units that implement them and are
// wired in by the module's exec step before the types are readied.
#include "objects/objects.h"

#include <initializer_list>

namespace vx {

#define VX_NUMBER_TYPE(var, name, rec, dealloc, doc)        \
  PyTypeObject var = {                                       \
      PyVarObject_HEAD_INIT(nullptr, 0) "vexa2." name,       \
      sizeof(rec),                                           \
      0,                                                     \
      dealloc,                                               \
  };

VX_NUMBER_TYPE(MPZ_Type, "mpz", MPZ_Object, mpz_dealloc, nullptr)
VX_NUMBER_TYPE(XMPZ_Type, "xmpz", XMPZ_Object, xmpz_dealloc, nullptr)
VX_NUMBER_TYPE(MPQ_Type, "mpq", MPQ_Object, mpq_dealloc, nullptr)
VX_NUMBER_TYPE(MPFR_Type, "mpfr", MPFR_Object, mpfr_dealloc, nullptr)
VX_NUMBER_TYPE(MPC_Type, "mpc", MPC_Object, mpc_dealloc, nullptr)

#undef VX_NUMBER_TYPE

PyNumberMethods mpz_number = {}, xmpz_number = {}, mpq_number = {}, mpfr_number = {}, mpc_number = {};
PyMappingMethods mpz_mapping = {}, xmpz_mapping = {};

void objects_prepare() noexcept {
  struct {
    PyTypeObject* type;
    PyNumberMethods* number;
  } all[] = {{&MPZ_Type, &mpz_number}, {&XMPZ_Type, &xmpz_number}, {&MPQ_Type, &mpq_number},
             {&MPFR_Type, &mpfr_number}, {&MPC_Type, &mpc_number}};
  for (auto& t : all) {
    t.type->tp_flags = Py_TPFLAGS_DEFAULT;  // not subclassable: classification tests exact types
    t.type->tp_as_number = t.number;
  }
  MPZ_Type.tp_as_mapping = &mpz_mapping;
  XMPZ_Type.tp_as_mapping = &xmpz_mapping;
}

}  // namespace vx
