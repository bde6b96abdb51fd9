// The integer protocol of mpz and xmpz: unary operators, shifts, the
// bitwise operators and bit indexing.
#include "convert/classify.h"
#include "convert/int_conv.h"
#include "integer/mpz_internal.h"
#include "core/compat.h"
#include "core/errors.h"
#include "core/ref.h"
#include "core/registry.h"

namespace vx {

int huge_shift_count(PyObject* b) noexcept {
  if (!PyErr_ExceptionMatches(PyExc_OverflowError)) return -1;
  PyErr_Clear();
  Ref v = Ref::steal(PyNumber_Long(b));
  if (!v) return -1;
  if (!PyLong_Check(v.get())) {
    PyErr_Format(PyExc_TypeError, "expected int, got %s", Py_TYPE(v.get())->tp_name);
    return -1;
  }
  if (compat::long_sign(v.get()) < 0) {
    value_error("negative shift count");
    return -1;
  }
  return 1;
}

namespace {

// ---- unary operators ----------------------------------------------------

PyObject* mpz_negative(PyObject* self) {
  MPZ_Object* r = new_mpz();
  if (r) mpz_neg(r->z, mpz_of(self));
  return obj(r);
}

PyObject* mpz_positive(PyObject* self) { return Py_NewRef(self); }

PyObject* mpz_absolute(PyObject* self) {
  if (mpz_sgn(mpz_of(self)) >= 0) return Py_NewRef(self);
  MPZ_Object* r = new_mpz();
  if (r) mpz_abs(r->z, mpz_of(self));
  return obj(r);
}

PyObject* mpz_invert(PyObject* self) {
  MPZ_Object* r = new_mpz();
  if (r) mpz_com(r->z, mpz_of(self));
  return obj(r);
}

// ---- shifts -------------------------------------------------------------

inline bool read_failed(unsigned long long n) noexcept {
  return n == static_cast<unsigned long long>(-1) && PyErr_Occurred();
}

PyObject* int_lshift(PyObject* a, PyObject* b) {
  const unsigned long long n = read_ullong(b);
  if (read_failed(n)) return note_current("a shift count must be from 0 to 2**64 - 1; got %U", shown(b).get());
  Ref x = int_operand(a);
  if (!x) return nullptr;
  XmpzLock lock(x.get());
  mpz_srcptr z = mpz_of(x.get());
  if (mpz_sgn(z) != 0 && !can_allocate(bits_sum(mpz_sizeinbase(z, 2), n))) return nullptr;
  MPZ_Object* r = new_mpz();
  if (r) mpz_mul_2exp(r->z, z, n);
  return obj(r);
}

PyObject* int_rshift(PyObject* a, PyObject* b) {
  const unsigned long long n = read_ullong(b);
  const bool huge = read_failed(n);
  if (huge && huge_shift_count(b) < 0) return nullptr;
  Ref x = int_operand(a);
  if (!x) return nullptr;
  XmpzLock lock(x.get());
  mpz_srcptr z = mpz_of(x.get());
  MPZ_Object* r = new_mpz();
  if (!r) return nullptr;
  if (huge)
    mpz_set_si(r->z, mpz_sgn(z) < 0 ? -1 : 0);
  else
    mpz_fdiv_q_2exp(r->z, z, n);
  return obj(r);
}

// ---- and, xor, or -------------------------------------------------------

template <void (*Op)(mpz_ptr, mpz_srcptr, mpz_srcptr)>
PyObject* int_bitwise(PyObject* a, PyObject* b) {
  const bool own_a = is_mpz(a) || is_xmpz(a), own_b = is_mpz(b) || is_xmpz(b);
  if (!own_a && !own_b) Py_RETURN_NOTIMPLEMENTED;
  Ref x = int_operand(a);
  if (!x) return nullptr;
  Ref y = int_operand(b);
  if (!y) return nullptr;
  XmpzLock lock(x.get(), y.get());
  MPZ_Object* r = new_mpz();
  if (r) Op(r->z, mpz_of(x.get()), mpz_of(y.get()));
  return obj(r);
}

// ---- length and bit indexing ---------------------------------------------

Py_ssize_t int_length(PyObject* self) {
  XmpzLock lock(self);
  return static_cast<Py_ssize_t>(mpz_sizeinbase(mpz_of(self), 2));
}

// The unpacked slice start:stop:step of z's bits.
PyObject* bit_slice(mpz_srcptr z, Py_ssize_t start, Py_ssize_t stop, Py_ssize_t step) noexcept {
  const auto len = static_cast<Py_ssize_t>(mpz_sizeinbase(z, 2));
  const Py_ssize_t count = PySlice_AdjustIndices(len, &start, &stop, step);
  MPZ_Object* r = new_mpz();
  if (!r || count == 0) return obj(r);
  if (step == 1) {
    // Two's-complement bits start .. start+count-1.
    mpz_fdiv_q_2exp(r->z, z, static_cast<mp_bitcnt_t>(start));
    mpz_fdiv_r_2exp(r->z, r->z, static_cast<mp_bitcnt_t>(count));
    return obj(r);
  }
  // start + j*step stays within 0 .. len-1 for j < count; stepping past the
  // last position could overflow with a huge step.
  for (Py_ssize_t j = 0; j < count; ++j)
    if (mpz_tstbit(z, static_cast<mp_bitcnt_t>(start + j * step))) mpz_setbit(r->z, static_cast<mp_bitcnt_t>(j));
  return obj(r);
}

template <const char* const* TooLarge>
PyObject* int_subscript(PyObject* self, PyObject* key) {
  mpz_srcptr z = mpz_of(self);
  if (PyIndex_Check(key)) {
    Py_ssize_t i = PyNumber_AsSsize_t(key, PyExc_OverflowError);
    if (i == -1 && PyErr_Occurred()) {
      if (!PyErr_ExceptionMatches(PyExc_OverflowError)) return nullptr;
      PyErr_Clear();
      return raise(PyExc_IndexError, *TooLarge);
    }
    XmpzLock lock(self);
    // A negative index counts from the top bit; one still negative reads as
    // a huge position, which holds the sign fill.
    if (i < 0) i += static_cast<Py_ssize_t>(mpz_sizeinbase(z, 2));
    return PyLong_FromLong(mpz_tstbit(z, static_cast<mp_bitcnt_t>(i)));
  }
  if (PySlice_Check(key)) {
    Py_ssize_t start, stop, step;
    if (PySlice_Unpack(key, &start, &stop, &step) < 0) return nullptr;
    XmpzLock lock(self);
    return bit_slice(z, start, stop, step);
  }
  return type_error("bit positions must be integers");
}

constexpr const char* mpz_index_msg = "argument too large to convert to an index";
constexpr const char* xmpz_index_msg = "argument too large to be converted to an index";


void setup_integer_slots() noexcept {
  mpz_number.nb_negative = mpz_negative;
  mpz_number.nb_positive = mpz_positive;
  mpz_number.nb_absolute = mpz_absolute;
  mpz_number.nb_invert = mpz_invert;
  for (PyNumberMethods* nb : {&mpz_number, &xmpz_number}) {
    nb->nb_lshift = int_lshift;
    nb->nb_rshift = int_rshift;
    nb->nb_and = int_bitwise<mpz_and>;
    nb->nb_xor = int_bitwise<mpz_xor>;
    nb->nb_or = int_bitwise<mpz_ior>;
  }
  mpz_mapping.mp_length = int_length;
  mpz_mapping.mp_subscript = int_subscript<&mpz_index_msg>;
  xmpz_mapping.mp_length = int_length;
  xmpz_mapping.mp_subscript = int_subscript<&xmpz_index_msg>;
}

}  // namespace

VX_UNIT(integer_slots, {}, setup_integer_slots)

}  // namespace vx
