// The bit methods of mpz, shared by xmpz. Bits are numbered from 0; a
// negative value reads as its infinite two's-complement form.
#include "convert/int_conv.h"
#include "core/registry.h"
#include "integer/mpz_internal.h"
#include "core/args.h"
#include "core/errors.h"

namespace vx {

namespace {

// The bit-index argument; false with the reader's exception set.
inline bool bit_index(PyObject* o, mp_bitcnt_t& n) noexcept {
  unsigned long long v = read_ullong(o);
  if (v == static_cast<unsigned long long>(-1) && PyErr_Occurred()) return false;
  n = static_cast<mp_bitcnt_t>(v);
  return true;
}

// |z| as a read-only view sharing z's limbs.
inline void magnitude_view(mpz_ptr v, mpz_srcptr z) noexcept {
  mpz_roinit_n(v, mpz_limbs_read(z), static_cast<mp_size_t>(mpz_size(z)));
}

// A copy of self with bit n changed by Op; New is the bit's new value, or
// -1 for its complement. A change above the largest possible integer is
// refused before GMP is asked to grow the value that far.
template <void (*Op)(mpz_ptr, mp_bitcnt_t), int New>
PyObject* bit_edit(PyObject* self, PyObject* arg) {
  mp_bitcnt_t n;
  if (!bit_index(arg, n)) return nullptr;
  XmpzLock lock(self);
  mpz_srcptr z = mpz_of(self);
  const int before = mpz_tstbit(z, n);
  const int after = New < 0 ? !before : New;
  if (after != before && n >= MPZ_MAX_BITS) return memory_error();
  MPZ_Object* r = new_mpz();
  if (!r) return nullptr;
  mpz_set(r->z, z);
  if (after != before) Op(r->z, n);
  return as_obj(r);
}

PyObject* bit_test(PyObject* self, PyObject* arg) {
  mp_bitcnt_t n;
  if (!bit_index(arg, n)) return nullptr;
  XmpzLock lock(self);
  return PyBool_FromLong(mpz_tstbit(mpz_of(self), n));
}

template <mp_bitcnt_t (*Scan)(mpz_srcptr, mp_bitcnt_t), const char* const* TooMany>
PyObject* bit_scan(PyObject* self, PyObject* const* args, Py_ssize_t nargs) {
  if (!want_args_range(nargs, 0, 1, *TooMany)) return nullptr;
  mp_bitcnt_t n = 0;
  if (nargs == 1 && !bit_index(args[0], n)) return nullptr;
  XmpzLock lock(self);
  mp_bitcnt_t found = Scan(mpz_of(self), n);
  if (found == ~mp_bitcnt_t{0}) Py_RETURN_NONE;
  return PyLong_FromUnsignedLong(found);
}

PyObject* bit_count(PyObject* self, PyObject*) {
  XmpzLock lock(self);
  mpz_t m;
  magnitude_view(m, mpz_of(self));
  return PyLong_FromUnsignedLong(mpz_popcount(m));
}

PyObject* bit_length(PyObject* self, PyObject*) {
  XmpzLock lock(self);
  mpz_srcptr z = mpz_of(self);
  return PyLong_FromSize_t(mpz_sgn(z) == 0 ? 0 : mpz_sizeinbase(z, 2));
}

constexpr const char* scan0_args = "bit_scan0() takes at most 1 argument";
constexpr const char* scan1_args = "bit_scan1() takes at most 1 argument";

constexpr auto bit_clear = bit_edit<mpz_clrbit, 0>;
constexpr auto bit_set = bit_edit<mpz_setbit, 1>;
constexpr auto bit_flip = bit_edit<mpz_combit, -1>;
constexpr auto bit_scan0 = bit_scan<mpz_scan0, &scan0_args>;
constexpr auto bit_scan1 = bit_scan<mpz_scan1, &scan1_args>;


const FnDef mpz_bit_methods[] = {
    one("bit_clear", bit_clear, ON_INTEGERS, "x.bit_clear(n, /) -> mpz\n\nReturn a copy of x with the n-th bit cleared."),
    noargs("bit_count", bit_count, ON_INTEGERS,
              "x.bit_count() -> int\n\nReturn the number of 1-bits set in abs(x)."),
    one("bit_flip", bit_flip, ON_INTEGERS, "x.bit_flip(n, /) -> mpz\n\nReturn a copy of x with the n-th bit inverted."),
    noargs("bit_length", bit_length, ON_INTEGERS,
              "x.bit_length() -> int\n\nReturn the number of significant bits in the radix-2\n"
              "representation of x. Note: mpz(0).bit_length() returns 0."),
    fast("bit_scan0", bit_scan0, ON_INTEGERS,
                "x.bit_scan0(n=0, /) -> int | None\n\nReturn the index of the first 0-bit of x with index >= n.\n"
                "n >= 0. If there are no more 0-bits in x at or above index n\n"
                "(which can only happen for x<0, assuming an infinitely long 2's\n"
                "complement format), then None is returned."),
    fast("bit_scan1", bit_scan1, ON_INTEGERS,
                "x.bit_scan1(n=0, /) -> int | None\n\nReturn the index of the first 1-bit of x with index >= n.\n"
                "n >= 0. If there are no more 1-bits in x at or above index n\n"
                "(which can only happen for x>=0, assuming an infinitely long 2's\n"
                "complement format), then None is returned."),
    one("bit_set", bit_set, ON_INTEGERS, "x.bit_set(n, /) -> mpz\n\nReturn a copy of x with the n-th bit set."),
    one("bit_test", bit_test, ON_INTEGERS, "x.bit_test(n, /) -> bool\n\nReturn the value of the n-th bit of x."),
};

}  // namespace

VX_UNIT(mpz_bits, mpz_bit_methods)

}  // namespace vx
