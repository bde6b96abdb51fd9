// Methods of mpc: __sizeof__ and conjugate.
#include "objects/check.h"
#include "core/ref.h"
#include "core/registry.h"
#include "floating/mathfn.h"

namespace vx {

namespace {

size_t limbs_of(mpfr_srcptr f) noexcept {
  const auto bits = static_cast<size_t>(mpfr_get_prec(f));
  return (bits + GMP_NUMB_BITS - 1) / GMP_NUMB_BITS;
}

PyObject* mpc_sizeof(PyObject* self, PyObject*) {
  mpc_srcptr c = mpc_of(self);
  const size_t limbs = limbs_of(mpc_realref(c)) + limbs_of(mpc_imagref(c));
  return PyLong_FromSize_t(static_cast<size_t>(Py_TYPE(self)->tp_basicsize) + limbs * sizeof(mp_limb_t));
}

PyObject* mpc_conjugate(PyObject* self, PyObject*) {
  return mathfn::complex_in_current([self](mpc_ptr r, mpc_rnd_t m) { return mpc_conj(r, mpc_of(self), m); });
}

const FnDef mpc_methods[] = {
    noargs("__sizeof__", mpc_sizeof, ON_MPC, "Return the size of x in memory, in bytes.") .typed("/", "int"),
    noargs("conjugate", mpc_conjugate, ON_MPC, "Return the complex conjugate of x, rounded to the context's precisions.") .typed("/", "mpc"),
};

}  // namespace

VX_UNIT(floating_mpc_methods, mpc_methods)

}  // namespace vx
