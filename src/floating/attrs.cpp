// Read-only attributes of mpfr and mpc: precision, rc, and the parts of an mpc.
#include "objects/check.h"
#include "context/context.h"
#include "core/ref.h"
#include "core/registry.h"
#include "floating/mathfn.h"
#include "objects/objects.h"

namespace vx {

namespace {

PyObject* mpfr_get_precision(PyObject* self, void*) {
  return PyLong_FromLongLong(static_cast<long long>(mpfr_get_prec(mpfr_of(self))));
}

PyObject* mpfr_get_rc(PyObject* self, void*) { return PyLong_FromLong(reinterpret_cast<MPFR_Object*>(self)->rc); }

PyObject* mpc_get_precision(PyObject* self, void*) {
  mpc_srcptr c = mpc_of(self);
  return Py_BuildValue("(LL)", static_cast<long long>(mpfr_get_prec(mpc_realref(c))),
                       static_cast<long long>(mpfr_get_prec(mpc_imagref(c))));
}

// Ternary value of one part from its two bits of the packed code.
int part_rc(int bits) noexcept { return bits == 2 ? -1 : bits == 1 ? 1 : 0; }

PyObject* mpc_get_rc(PyObject* self, void*) {
  int rc = reinterpret_cast<MPC_Object*>(self)->rc;
  return Py_BuildValue("(ii)", part_rc(rc & 3), part_rc((rc >> 2) & 3));
}

// One part of an mpc at that part's own precision, checked against the context.
template <int (*take)(mpfr_ptr, mpc_srcptr, mpfr_rnd_t), mpfr_srcptr (*part)(mpc_srcptr)>
PyObject* mpc_get_part(PyObject* self, void*) {
  mpc_srcptr c = mpc_of(self);
  return mathfn::real_in_current(mpfr_get_prec(part(c)), [c](mpfr_ptr r, mpfr_rnd_t m) { return take(r, c, m); });
}

mpfr_srcptr real_part(mpc_srcptr c) { return mpc_realref(c); }
mpfr_srcptr imag_part(mpc_srcptr c) { return mpc_imagref(c); }


const AttrDef floating_attrs[] = {
    {"precision", mpfr_get_precision, nullptr, "precision in bits", ON_MPFR},
    {"rc", mpfr_get_rc, nullptr, "return code", ON_MPFR},
    {"precision", mpc_get_precision, nullptr, "precision in bits", ON_MPC},
    {"rc", mpc_get_rc, nullptr, "return code", ON_MPC},
    {"imag", mpc_get_part<mpc_imag, imag_part>, nullptr, "imaginary component", ON_MPC},
    {"real", mpc_get_part<mpc_real, real_part>, nullptr, "real component", ON_MPC},
};

}  // namespace

VX_UNIT(floating_attrs, {}, floating_attrs)

}  // namespace vx
