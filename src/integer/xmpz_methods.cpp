// Methods and attributes of the mutable integer: copies, handing the value
// over to an mpz, and direct access to the limb array.
#include "core/errors.h"
#include "core/ref.h"
#include "core/registry.h"
#include "integer/mpz_internal.h"

namespace vx {

namespace {

inline PyObject* xobj(XMPZ_Object* o) noexcept { return reinterpret_cast<PyObject*>(o); }

PyObject* xmpz_copy(PyObject* self, PyObject*) {
  XMPZ_Object* r = new_xmpz();
  if (!r) return nullptr;
  XmpzLock lock(self);
  mpz_set(r->z, mpz_of(self));
  return xobj(r);
}

// The value moves to a new mpz (its limbs change hands); self keeps 0.
PyObject* xmpz_make_mpz(PyObject* self, PyObject*) {
  MPZ_Object* r = new_mpz();
  if (!r) return nullptr;
  XmpzLock lock(self);
  mpz_swap(r->z, mpz_of(self));
  mpz_set_ui(mpz_of(self), 0);
  return obj(r);
}

PyObject* xmpz_num_limbs(PyObject* self, PyObject*) {
  XmpzLock lock(self);
  return PyLong_FromSize_t(mpz_size(mpz_of(self)));
}

PyObject* xmpz_limbs_read(PyObject* self, PyObject*) {
  XmpzLock lock(self);
  return PyLong_FromVoidPtr(const_cast<mp_limb_t*>(mpz_limbs_read(mpz_of(self))));
}

// A limb count of limbs_write and limbs_modify: at least 1, and no more
// than GMP and the machine's memory can hold (GMP stops the process when
// an allocation fails). -1 with an exception set.
mp_size_t limb_count(PyObject* n, const char* not_int) noexcept {
  if (!PyLong_Check(n)) return type_error(not_int);
  const Py_ssize_t v = PyLong_AsSsize_t(n);
  if (v == -1 && PyErr_Occurred()) return -1;
  if (v < 1) return value_error("number of limbs must be positive");
  const uint64_t bits = static_cast<uint64_t>(v) > MPZ_MAX_BITS / GMP_NUMB_BITS ? UINT64_MAX : static_cast<uint64_t>(v) * GMP_NUMB_BITS;
  if (!can_allocate(bits)) return -1;
  return static_cast<mp_size_t>(v);
}

constexpr const char* LIMBS_NOT_INT = "number of limbs must be an int or a long";

template <mp_ptr (*Get)(mpz_ptr, mp_size_t)>
PyObject* xmpz_limbs_open(PyObject* self, PyObject* n) {
  const mp_size_t count = limb_count(n, LIMBS_NOT_INT);
  if (count < 0) return nullptr;
  XmpzLock lock(self);
  return PyLong_FromVoidPtr(Get(mpz_of(self), count));
}

PyObject* xmpz_limbs_finish(PyObject* self, PyObject* n) {
  if (!PyLong_Check(n)) return type_error("number of limbs must be an int or long");
  const Py_ssize_t v = PyLong_AsSsize_t(n);
  if (v == -1 && PyErr_Occurred()) return nullptr;
  XmpzLock lock(self);
  mpz_ptr z = mpz_of(self);
  // GMP reads the top |n| limbs to find the size: none beyond the array.
  const size_t mag = v < 0 ? 0 - static_cast<size_t>(v) : static_cast<size_t>(v);
  if (mag > static_cast<size_t>(z->_mp_alloc)) return value_error("number of limbs exceeds the allocated limbs");
  mpz_limbs_finish(z, static_cast<mp_size_t>(v));
  Py_RETURN_NONE;
}

XMPZ_Object* small_xmpz(unsigned long v) noexcept {
  XMPZ_Object* r = new_xmpz();
  if (r) mpz_set_ui(r->z, v);
  return r;
}

PyObject* get_self(PyObject* self, void*) { return Py_NewRef(self); }
PyObject* get_one(PyObject*, void*) { return xobj(small_xmpz(1)); }
PyObject* get_zero(PyObject*, void*) { return xobj(small_xmpz(0)); }

const FnDef xmpz_rows[] = {
    noargs("copy", xmpz_copy, ON_XMPZ, "Return a new xmpz holding the same value.") .typed("/", "context"),
    noargs("make_mpz", xmpz_make_mpz, ON_XMPZ, "Return an mpz holding the value of x, which is moved, not copied;\nx is left holding 0.").typed("/", "mpz"),
    noargs("num_limbs", xmpz_num_limbs, ON_XMPZ, "Return the number of limbs of abs(x).").typed("/", "int"),
    noargs("limbs_read", xmpz_limbs_read, ON_XMPZ, "Return the address of the limb array of x, for reading.").typed("/", "int"),
    one("limbs_write", xmpz_limbs_open<mpz_limbs_write>, ON_XMPZ, "Return the address of a limb array of at least n limbs, for\nwriting; its old contents are not kept. limbs_finish() must follow\nbefore x is used again.").typed("n: _Int, /", "int"),
    one("limbs_modify", xmpz_limbs_open<mpz_limbs_modify>, ON_XMPZ, "Return the address of a limb array of at least n limbs, for\nwriting; its old contents are kept. limbs_finish() must follow\nbefore x is used again.").typed("n: _Int, /", "int"),
    one("limbs_finish", xmpz_limbs_finish, ON_XMPZ, "End a write through limbs_write() or limbs_modify(): x takes its\nsize from the top n limbs, and is negative when n is.").typed("n: _Int, /", "None"),
};

const AttrDef xmpz_attrs[] = {
    {"numerator", get_self, nullptr, "the numerator of a rational number in lowest terms", ON_XMPZ},
    {"denominator", get_one, nullptr, "the denominator of a rational number in lowest terms", ON_XMPZ},
    {"real", get_self, nullptr, "the real part of a complex number", ON_XMPZ},
    {"imag", get_zero, nullptr, "the imaginary part of a complex number", ON_XMPZ},
};

}  // namespace

VX_UNIT(xmpz_own_methods, xmpz_rows, xmpz_attrs)

}  // namespace vx
