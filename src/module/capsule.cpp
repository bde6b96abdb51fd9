// The capsule "vexa2._C_API": the table that other extension modules read
// through include/vexa2.h, and get_include(), which tells their builds
// where that header is installed.
#include "module/capsule.h"

#include <array>
#include <cstddef>

#include "context/context.h"
#include "convert/classify.h"
#include "convert/int_conv.h"
#include "convert/real_conv.h"
#include "core/errors.h"
#include "core/ref.h"
#include "core/registry.h"
#include "objects/objects.h"
#include "random/random_state.h"
#include "vexa2.h"

namespace vx {

// The public header describes the same records as the module uses.
#define VX_SAME_LAYOUT(pub, own, field)                                  \
  static_assert(sizeof(pub) == sizeof(own), #own " differs from " #pub); \
  static_assert(offsetof(pub, field) == offsetof(own, field), #own " differs from " #pub);
VX_SAME_LAYOUT(Vexa2_MPZ_Object, MPZ_Object, hash_cache)
VX_SAME_LAYOUT(Vexa2_XMPZ_Object, XMPZ_Object, z)
VX_SAME_LAYOUT(Vexa2_MPQ_Object, MPQ_Object, hash_cache)
VX_SAME_LAYOUT(Vexa2_MPFR_Object, MPFR_Object, rc)
VX_SAME_LAYOUT(Vexa2_MPC_Object, MPC_Object, rc)
#undef VX_SAME_LAYOUT

namespace {

// Stores a converted argument, or reports the failure with `msg` in
// place of whatever the conversion raised.
int store(PyObject* r, void* slot, const char* msg) noexcept {
  if (!r) {
    PyErr_Clear();
    PyErr_SetString(PyExc_TypeError, msg);
    return 0;
  }
  *static_cast<PyObject**>(slot) = r;
  return 1;
}

int convert_mpz(PyObject* o, void* slot) noexcept {
  const int kind = classify(o);
  PyObject* r = is_integer_kind(kind) ? reinterpret_cast<PyObject*>(to_mpz(o, kind)) : nullptr;
  return store(r, slot, "argument can not be converted to 'mpz'");
}

// Accepts the rational kinds and, converted exactly, mpfr and float; a
// failed conversion keeps its own error.
int convert_mpq(PyObject* o, void* slot) noexcept {
  const int kind = classify(o);
  MPQ_Object* r;
  if (kind == K_MPFR)
    r = mpq_from_mpfr(mpfr_of(o));
  else if (kind == K_PYFLOAT)
    r = mpq_from_double(PyFloat_AS_DOUBLE(o));
  else if (is_rational_kind(kind))
    r = to_mpq(o, kind);
  else
    r = type_error("cannot convert object to mpq");
  if (!r) {
    if (!PyErr_Occurred()) PyErr_SetString(PyExc_TypeError, "argument can not be converted to 'mpq'");
    return 0;
  }
  *static_cast<PyObject**>(slot) = reinterpret_cast<PyObject*>(r);
  return 1;
}

int convert_mpfr(PyObject* o, void* slot) noexcept {
  const int kind = classify(o);
  PyObject* r = is_real_kind(kind) ? reinterpret_cast<PyObject*>(to_mpfr(o, kind, PREC_EXACT, nullptr)) : nullptr;
  return store(r, slot, "argument can not be converted to 'mpfr'");
}

int convert_mpc(PyObject* o, void* slot) noexcept {
  const int kind = classify(o);
  PyObject* r = is_complex_kind(kind)
                    ? reinterpret_cast<PyObject*>(to_mpc(o, kind, PREC_CONTEXT, PREC_CONTEXT, nullptr))
                    : nullptr;
  return store(r, slot, "can't convert argument to 'mpc'");
}

template <class F>
void* entry(F* f) noexcept {
  return reinterpret_cast<void*>(f);
}
void* entry(PyTypeObject* t) noexcept { return t; }

// Filled once, after the types are readied (the constructors are their
// tp_new slots); read-only from then on.
using Table = std::array<void*, Vexa2_API_pointers>;
Table make_table() noexcept {
  return {
      entry(&MPZ_Type),          entry(&XMPZ_Type),
      entry(&MPQ_Type),          entry(&MPQ_Type),
      entry(&MPFR_Type),         entry(&MPFR_Type),
      entry(&MPC_Type),          entry(&MPC_Type),
      entry(&CTXT_Type),         nullptr,
      entry(&RandomState_Type),  entry(new_mpz),
      entry(MPZ_Type.tp_new),    entry(mpz_dealloc),
      entry(convert_mpz),        entry(new_xmpz),
      entry(XMPZ_Type.tp_new),   entry(xmpz_dealloc),
      entry(new_mpq),            entry(MPQ_Type.tp_new),
      entry(mpq_dealloc),        entry(convert_mpq),
      entry(new_mpfr),           entry(MPFR_Type.tp_new),
      entry(mpfr_dealloc),       entry(convert_mpfr),
      entry(new_mpc),            entry(MPC_Type.tp_new),
      entry(mpc_dealloc),        entry(convert_mpc),
  };
}

// The folder of the installed public header: include/ in the package, next
// to the module's file.
PyObject* f_get_include(PyObject* module, PyObject*) {
  Ref file = Ref::steal(PyModule_GetFilenameObject(module));
  if (!file) return nullptr;
  Ref path = Ref::steal(PyImport_ImportModule("os.path"));
  if (!path) return nullptr;
  Ref dir = Ref::steal(PyObject_CallMethod(path.get(), "dirname", "O", file.get()));
  if (!dir) return nullptr;
  return PyObject_CallMethod(path.get(), "join", "Os", dir.get(), "include");
}

const FnDef capsule_rows[] = {
    noargs("get_include", f_get_include, IN_MODULE, "Return the folder of the C header vexa2.h, for extension modules that\nuse vexa2's numbers through its C interface (the capsule _C_API).").typed("", "str"),
};

}  // namespace

void publish_capsule(PyObject* module) noexcept {
  static const Table table = make_table();
  Ref cap = Ref::steal(PyCapsule_New(const_cast<void**>(table.data()), "vexa2._C_API", nullptr));
  if (!cap || PyModule_AddObjectRef(module, "_C_API", cap.get()) < 0) PyErr_Clear();
}

VX_UNIT(capsule, capsule_rows)

}  // namespace vx
