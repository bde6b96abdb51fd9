// The static type objects of the five number types. Their protocol slots
// and methods are contributed by the units that implement them and are
// wired in by objects_ready() before the types are readied.
#include "objects/objects.h"
#include "objects/type_slots.h"

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

void objects_prepare() noexcept {
  for (PyTypeObject* t : {&MPZ_Type, &XMPZ_Type, &MPQ_Type, &MPFR_Type, &MPC_Type}) {
    t->tp_flags = Py_TPFLAGS_DEFAULT;  // not subclassable: classification tests exact types
  }
  setup_type_slots();
}

}  // namespace vx
