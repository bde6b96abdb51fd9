// The bit operations: methods of mpz and xmpz, and their module forms
// (which take the integer as their first argument), popcount, hamdist,
// bit_mask and xbit_mask. Method and module form share one routine per
// operation. Bits are numbered from 0; a negative value reads as its
// infinite two's-complement form.
#include "convert/int_conv.h"
#include "core/args.h"
#include "core/errors.h"
#include "core/ref.h"
#include "core/registry.h"
#include "integer/mpz_internal.h"

namespace vx {

namespace {

// The bit-index argument; false with the reader's exception set.
inline bool bit_index(PyObject* o, mp_bitcnt_t& n) noexcept {
  unsigned long long v = read_ullong(o);
  if (v == static_cast<unsigned long long>(-1) && PyErr_Occurred()) {
    note_current("a bit index must be from 0 to 2**64 - 1; got %U", shown(o).get());
    return false;
  }
  n = static_cast<mp_bitcnt_t>(v);
  return true;
}

// |z| as a read-only view sharing z's limbs.
inline void magnitude_view(mpz_ptr v, mpz_srcptr z) noexcept {
  mpz_roinit_n(v, mpz_limbs_read(z), static_cast<mp_size_t>(mpz_size(z)));
}

// ---- one routine per operation, on a GMP value -----------------------------

// A copy of z with bit n changed by Op; New is the bit's new value, or -1
// for its complement. A change above the largest possible integer is
// refused before GMP is asked to grow the value that far.
template <void (*Op)(mpz_ptr, mp_bitcnt_t), int New>
PyObject* edit_bit(mpz_srcptr z, PyObject* index) noexcept {
  mp_bitcnt_t n;
  if (!bit_index(index, n)) return nullptr;
  const int before = mpz_tstbit(z, n);
  const int after = New < 0 ? !before : New;
  if (after != before && !can_allocate(bits_sum(n, 1))) return nullptr;
  MPZ_Object* r = new_mpz();
  if (!r) return nullptr;
  mpz_set(r->z, z);
  if (after != before) Op(r->z, n);
  return obj(r);
}

PyObject* test_bit(mpz_srcptr z, PyObject* index) noexcept {
  mp_bitcnt_t n;
  if (!bit_index(index, n)) return nullptr;
  return PyBool_FromLong(mpz_tstbit(z, n));
}

template <mp_bitcnt_t (*Scan)(mpz_srcptr, mp_bitcnt_t)>
PyObject* scan_bit(mpz_srcptr z, PyObject* start) noexcept {
  mp_bitcnt_t n = 0;
  if (start && !bit_index(start, n)) return nullptr;
  const mp_bitcnt_t found = Scan(z, n);
  if (found == ~mp_bitcnt_t{0}) Py_RETURN_NONE;
  return PyLong_FromUnsignedLong(found);
}

PyObject* count_bits(mpz_srcptr z) noexcept {
  mpz_t m;
  magnitude_view(m, z);
  return PyLong_FromUnsignedLong(mpz_popcount(m));
}

PyObject* length_bits(mpz_srcptr z) noexcept { return PyLong_FromSize_t(mpz_sgn(z) == 0 ? 0 : mpz_sizeinbase(z, 2)); }

using EditFn = PyObject* (*)(mpz_srcptr, PyObject*) noexcept;
using ScanFn = PyObject* (*)(mpz_srcptr, PyObject*) noexcept;
using CountFn = PyObject* (*)(mpz_srcptr) noexcept;

constexpr EditFn clear_bit = edit_bit<mpz_clrbit, 0>;
constexpr EditFn set_bit = edit_bit<mpz_setbit, 1>;
constexpr EditFn flip_bit = edit_bit<mpz_combit, -1>;
constexpr ScanFn scan0 = scan_bit<mpz_scan0>;
constexpr ScanFn scan1 = scan_bit<mpz_scan1>;

// ---- methods: self is the integer ------------------------------------------

template <EditFn F>
PyObject* method_index(PyObject* self, PyObject* arg) {
  XmpzLock lock(self);
  return F(mpz_of(self), arg);
}

template <ScanFn F, const char* Name>
PyObject* method_scan(PyObject* self, PyObject* const* args, Py_ssize_t nargs) {
  if (!want_args_range(nargs, 0, 1, Fn{Name})) return nullptr;
  XmpzLock lock(self);
  return F(mpz_of(self), nargs ? args[0] : nullptr);
}

template <CountFn F>
PyObject* method_count(PyObject* self, PyObject*) {
  XmpzLock lock(self);
  return F(mpz_of(self));
}

constexpr char scan0_name[] = "bit_scan0";
constexpr char scan1_name[] = "bit_scan1";

// ---- module forms: the integer is the first argument -----------------------

template <EditFn F, const Need& Msg>
PyObject* module_index(PyObject*, PyObject* const* args, Py_ssize_t nargs) {
  if (!want_args(nargs, 2, Msg)) return nullptr;
  Ref x = int_operand(args[0], Msg);
  if (!x) return nullptr;
  XmpzLock lock(x.get());
  return F(mpz_of(x.get()), args[1]);
}

template <ScanFn F, const Need& Msg>
PyObject* module_scan(PyObject*, PyObject* const* args, Py_ssize_t nargs) {
  if (!want_args_range(nargs, 1, 2, Msg)) return nullptr;
  Ref x = int_operand(args[0], Msg);
  if (!x) return nullptr;
  XmpzLock lock(x.get());
  return F(mpz_of(x.get()), nargs == 2 ? args[1] : nullptr);
}

template <CountFn F, const Need& Msg>
PyObject* module_count(PyObject*, PyObject* arg) {
  Ref x = int_operand(arg, Msg);
  if (!x) return nullptr;
  XmpzLock lock(x.get());
  return F(mpz_of(x.get()));
}

constexpr Need clear_msg{"bit_clear", "'mpz','int' arguments"};
constexpr Need flip_msg{"bit_flip", "'mpz','int' arguments"};
constexpr Need set_msg{"bit_set", "'mpz','int' arguments"};
constexpr Need test_msg{"bit_test", "'mpz','int' arguments"};
constexpr Need scan0_msg{"bit_scan0", "'mpz',['int'] arguments"};
constexpr Need scan1_msg{"bit_scan1", "'mpz',['int'] arguments"};
constexpr Need count_msg{"bit_count", "'mpz' argument"};
constexpr Need length_msg{"bit_length", "'mpz' argument"};
constexpr Need popcount_msg{"popcount", "'mpz' argument"};

// The number of 1-bits; -1 for a negative value, which has infinitely many.
PyObject* popcount_of(mpz_srcptr z) noexcept {
  if (mpz_sgn(z) < 0) return PyLong_FromLong(-1);
  return PyLong_FromUnsignedLong(mpz_popcount(z));
}

PyObject* hamdist(PyObject*, PyObject* const* args, Py_ssize_t nargs) {
  static constexpr Need msg{"hamdist", "'mpz','mpz' arguments"};
  if (!want_args(nargs, 2, msg)) return nullptr;
  Ref x = int_operand(args[0], msg);
  if (!x) return nullptr;
  Ref y = int_operand(args[1], msg);
  if (!y) return nullptr;
  // GMP answers the largest bit count when the signs differ: the distance is infinite.
  XmpzLock lock(x.get(), y.get());
  return PyLong_FromUnsignedLong(mpz_hamdist(mpz_of(x.get()), mpz_of(y.get())));
}

// 2**n - 1 into z; false with MemoryError when no integer can have n bits.
bool make_mask(mpz_ptr z, unsigned long long n) noexcept {
  if (!can_allocate(n)) return false;
  mpz_set_ui(z, 0);
  if (n) {
    mpz_setbit(z, static_cast<mp_bitcnt_t>(n));
    mpz_sub_ui(z, z, 1);
  }
  return true;
}

PyObject* bit_mask(PyObject*, PyObject* arg) {
  const unsigned long long n = read_ullong(arg);
  if (n == static_cast<unsigned long long>(-1) && PyErr_Occurred()) return nullptr;
  Own<MPZ_Object> r(new_mpz());
  if (!r || !make_mask(r->z, n)) return nullptr;
  return r.release();
}

PyObject* xbit_mask(PyObject*, PyObject* arg) {
  const long long n = read_llong(arg);
  if (n == -1 && PyErr_Occurred()) {
    PyErr_Clear();
    return requires_args("xbit_mask", "'int' argument", arg);
  }
  if (n < 0) return value_error("mask length must be >= 0");
  Own<XMPZ_Object> r(new_xmpz());
  if (!r || !make_mask(r->z, static_cast<unsigned long long>(n))) return nullptr;
  return r.release();
}

const FnDef bit_rows[] = {
    // methods of mpz and xmpz
    one("bit_clear", method_index<clear_bit>, ON_INTEGERS, "Return a copy of x with the n-th bit cleared.").typed("n: _Int, /", "mpz"),
    noargs("bit_count", method_count<count_bits>, ON_INTEGERS, "Return the number of 1-bits set in abs(x).").typed("/", "int"),
    one("bit_flip", method_index<flip_bit>, ON_INTEGERS, "Return a copy of x with the n-th bit inverted.").typed("n: _Int, /", "mpz"),
    noargs("bit_length", method_count<length_bits>, ON_INTEGERS, "Return the number of significant bits in the radix-2\nrepresentation of x. Note: mpz(0).bit_length() returns 0.").typed("/", "int"),
    fast("bit_scan0", method_scan<scan0, scan0_name>, ON_INTEGERS, "Return the index of the first 0-bit of x with index >= n.\nn >= 0. If there are no more 0-bits in x at or above index n\n(which can only happen for x<0, assuming an infinitely long 2's\ncomplement format), then None is returned.").typed("n: _Int = 0, /", "int | None"),
    fast("bit_scan1", method_scan<scan1, scan1_name>, ON_INTEGERS, "Return the index of the first 1-bit of x with index >= n.\nn >= 0. If there are no more 1-bits in x at or above index n\n(which can only happen for x>=0, assuming an infinitely long 2's\ncomplement format), then None is returned.").typed("n: _Int = 0, /", "int | None"),
    one("bit_set", method_index<set_bit>, ON_INTEGERS, "Return a copy of x with the n-th bit set.").typed("n: _Int, /", "mpz"),
    one("bit_test", method_index<test_bit>, ON_INTEGERS, "Return the value of the n-th bit of x.").typed("n: _Int, /", "bool"),
    // module functions
    fast("bit_clear", module_index<clear_bit, clear_msg>, IN_MODULE, "Return a copy of x with the n-th bit cleared.").typed("x: _Int, n: _Int, /", "mpz"),
    one("bit_count", module_count<count_bits, count_msg>, IN_MODULE, "Return the number of 1-bits set in abs(x).").typed("x: _Int, /", "int"),
    fast("bit_flip", module_index<flip_bit, flip_msg>, IN_MODULE, "Return a copy of x with the n-th bit inverted.").typed("x: _Int, n: _Int, /", "mpz"),
    one("bit_length", module_count<length_bits, length_msg>, IN_MODULE, "Return the number of significant bits in the radix-2\nrepresentation of x. Note: bit_length(0) returns 0.").typed("x: _Int, /", "int"),
    fast("bit_scan0", module_scan<scan0, scan0_msg>, IN_MODULE, "Return the index of the first 0-bit of x with index >= n,\nor None when there is none (only for x < 0, in an infinitely long\ntwo's-complement form).").typed("x: _Int, n: _Int = 0, /", "int | None"),
    fast("bit_scan1", module_scan<scan1, scan1_msg>, IN_MODULE, "Return the index of the first 1-bit of x with index >= n,\nor None when there is none (only for x >= 0).").typed("x: _Int, n: _Int = 0, /", "int | None"),
    fast("bit_set", module_index<set_bit, set_msg>, IN_MODULE, "Return a copy of x with the n-th bit set.").typed("x: _Int, n: _Int, /", "mpz"),
    fast("bit_test", module_index<test_bit, test_msg>, IN_MODULE, "Return the value of the n-th bit of x.").typed("x: _Int, n: _Int, /", "bool"),
    one("popcount", module_count<popcount_of, popcount_msg>, IN_MODULE, "Return the number of 1-bits set in x. If x < 0, the number\nof 1-bits is infinite so -1 is returned in that case.").typed("x: _Int, /", "int"),
    fast("hamdist", hamdist, IN_MODULE, "Return the Hamming distance (number of bit-positions where the\nbits differ) between integers x and y; the largest unsigned 64-bit\nvalue when exactly one of them is negative.").typed("x: _Int, y: _Int, /", "int"),
    one("bit_mask", bit_mask, IN_MODULE, "Return an mpz exactly n bits in length with all bits set.") .typed("n: _Int, /", "mpz"),
    one("xbit_mask", xbit_mask, IN_MODULE, "Return an xmpz exactly n bits in length with all bits set.") .typed("n: _Int, /", "xmpz"),
};

}  // namespace

VX_UNIT(mpz_bits, bit_rows)

}  // namespace vx
