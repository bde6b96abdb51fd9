// Read-only attributes of mpq: numerator and denominator.
#include "convert/int_conv.h"
#include "core/registry.h"
#include "objects/objects.h"

namespace vx {

namespace {

PyObject* mpq_get_numerator(PyObject* self, void*) {
  return reinterpret_cast<PyObject*>(int_from_mpz<MPZ_Object>(mpq_numref(mpq_of(self))));
}

PyObject* mpq_get_denominator(PyObject* self, void*) {
  return reinterpret_cast<PyObject*>(int_from_mpz<MPZ_Object>(mpq_denref(mpq_of(self))));
}


const AttrDef mpq_attr_getset[] = {
    {"numerator", mpq_get_numerator, nullptr, "the numerator of a rational number in lowest terms", ON_MPQ},
    {"denominator", mpq_get_denominator, nullptr, "the denominator of a rational number in lowest terms", ON_MPQ},
};

}  // namespace

VX_UNIT(rational_attrs, {}, mpq_attr_getset)

}  // namespace vx
