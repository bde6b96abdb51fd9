// Integers to and from flat sequences: mpz.to_bytes and mpz.from_bytes
// (the conventions of int's own methods), pack and unpack (an integer as a
// list of n-bit fields, field 0 in the lowest bits) and num_digits.
//
// On a little-endian machine with 64-bit limbs the limb array of a GMP
// integer is its magnitude's bytes, least significant first, so bytes are
// copied to and from the limbs directly; elsewhere GMP's import and export
// do the same work.
#include <algorithm>
#include <bit>
#include <cstring>

#include "convert/classify.h"
#include "convert/int_conv.h"
#include "core/args.h"
#include "core/compat.h"
#include "core/errors.h"
#include "core/ref.h"
#include "core/registry.h"
#include "core/temps.h"
#include "integer/mpz_internal.h"

namespace vx {

namespace {

constexpr bool LIMBS_ARE_BYTES =
    std::endian::native == std::endian::little && sizeof(mp_limb_t) == 8 && GMP_NAIL_BITS == 0;
constexpr unsigned LIMB_BITS = GMP_NUMB_BITS;

// ---- argument parsing shared by to_bytes and from_bytes --------------------

// The arguments of to_bytes/from_bytes: a first one (length or bytes), the
// byte order and the signed flag, by position (at most two) or by keyword.
struct BytesArgs {
  PyObject* first = nullptr;
  PyObject* order = nullptr;
  PyObject* sign = nullptr;
};

// The names of one of the two methods; its messages are formatted from them.
struct BytesMethod {
  const char* name;        // "to_bytes" or "from_bytes"
  const char* first_name;  // "length" or "bytes"
};

constexpr BytesMethod TO_BYTES{"to_bytes", "length"};
constexpr BytesMethod FROM_BYTES{"from_bytes", "bytes"};

bool parse_bytes_args(const BytesMethod& m, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames,
                      BytesArgs& out) noexcept {
  if (nargs > 2) {
    too_many(m.name, 2, "positional");
    return false;
  }
  const Py_ssize_t nkw = kwnames ? PyTuple_GET_SIZE(kwnames) : 0;
  if (nkw > 3) {
    too_many(m.name, 3, "keyword");
    return false;
  }
  if (nargs >= 1) out.first = args[0];
  if (nargs >= 2) out.order = args[1];
  for (Py_ssize_t i = 0; i < nkw; ++i) {
    PyObject* name = PyTuple_GET_ITEM(kwnames, i);
    PyObject* value = args[nargs + i];
    if (PyUnicode_CompareWithASCIIString(name, m.first_name) == 0) {
      if (nargs >= 1) {
        PyErr_Format(PyExc_TypeError, "argument for %s() given by name ('%s') and position (1)", m.name,
                     m.first_name);
        return false;
      }
      out.first = value;
    } else if (PyUnicode_CompareWithASCIIString(name, "byteorder") == 0) {
      if (nargs >= 2) {
        PyErr_Format(PyExc_TypeError, "argument for %s() given by name ('byteorder') and position (2)", m.name);
        return false;
      }
      out.order = value;
    } else if (PyUnicode_CompareWithASCIIString(name, "signed") == 0) {
      out.sign = value;
    } else {
      PyErr_Format(PyExc_TypeError, "got an invalid keyword argument for %s()", m.name);
      return false;
    }
  }
  return true;
}

// 1 for little-endian, 0 for big-endian (the default), -1 with an exception.
int read_byteorder(const BytesMethod& m, PyObject* o) noexcept {
  if (!o) return 0;
  if (!PyUnicode_Check(o)) return fn_error(PyExc_TypeError, m.name, "argument 'byteorder' must be str");
  if (PyUnicode_CompareWithASCIIString(o, "big") == 0) return 0;
  if (PyUnicode_CompareWithASCIIString(o, "little") == 0) return 1;
  return value_error("byteorder must be either 'little' or 'big'");
}

// 1 or 0 for the signed flag (default false), -1 with an exception.
inline int read_signed(PyObject* o) noexcept { return o ? PyObject_IsTrue(o) : 0; }

// Reverses n bytes in place, eight at a time.
void reverse_bytes(unsigned char* p, size_t n) noexcept {
  size_t i = 0, j = n;
  while (j - i >= 16) {
    uint64_t a, b;
    std::memcpy(&a, p + i, 8);
    std::memcpy(&b, p + j - 8, 8);
    a = __builtin_bswap64(a);
    b = __builtin_bswap64(b);
    std::memcpy(p + i, &b, 8);
    std::memcpy(p + j - 8, &a, 8);
    i += 8;
    j -= 8;
  }
  std::reverse(p + i, p + j);
}

// ---- to_bytes --------------------------------------------------------------

// Whether z fits in len bytes: unsigned, or as two's complement when
// is_signed (the field's top bit must then be z's sign).
bool fits_bytes(mpz_srcptr z, size_t len, bool is_signed) noexcept {
  const int sgn = mpz_sgn(z);
  if (sgn == 0) return true;
  const size_t bits = mpz_sizeinbase(z, 2);
  if (!is_signed) return (bits + 7) / 8 <= len;
  if (bits / 8 < len) return true;  // bits <= 8*len - 1
  // Only -2**(8*len - 1) also fits.
  return sgn < 0 && bits % 8 == 0 && bits / 8 == len && mpz_scan1(z, 0) == bits - 1;
}

PyObject* to_bytes(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  BytesArgs a;
  if (!parse_bytes_args(TO_BYTES, args, nargs, kwnames, a)) return nullptr;
  Py_ssize_t len = 1;
  if (a.first) {
    if (!PyIndex_Check(a.first)) return type_error("to_bytes() takes an integer argument 'length'");
    len = PyNumber_AsSsize_t(a.first, PyExc_OverflowError);
    if (len == -1 && PyErr_Occurred()) {
      if (!PyErr_ExceptionMatches(PyExc_OverflowError)) return nullptr;
      PyErr_Clear();
    }
    if (len < 0) return value_error("length argument must be non-negative");
  }
  const int little = read_byteorder(TO_BYTES, a.order);
  if (little < 0) return nullptr;
  const int is_signed = read_signed(a.sign);
  if (is_signed < 0) return nullptr;

  mpz_srcptr z = mpz_of(self);
  const bool negative = mpz_sgn(z) < 0;
  if (negative && !is_signed) return overflow_error("can't convert negative mpz to unsigned");
  const auto n = static_cast<size_t>(len);
  if (!fits_bytes(z, n, is_signed)) return overflow_error("mpz too big to convert");

  PyObject* out = PyBytes_FromStringAndSize(nullptr, len);
  if (!out) return nullptr;
  auto* p = reinterpret_cast<unsigned char*>(PyBytes_AS_STRING(out));
  // The magnitude, least significant byte first, zero-filled to len bytes.
  size_t used;
  if constexpr (LIMBS_ARE_BYTES) {
    used = std::min(n, mpz_size(z) * sizeof(mp_limb_t));
    if (used) std::memcpy(p, mpz_limbs_read(z), used);
  } else {
    used = 0;
    if (mpz_sgn(z)) mpz_export(p, &used, -1, 1, 0, 0, z);
  }
  std::memset(p + used, 0, n - used);
  if (negative) {
    // Two's complement: bytes below the lowest non-zero one stay 0, that
    // one is negated, every byte above it inverted.
    size_t i = 0;
    while (p[i] == 0) ++i;
    p[i] = static_cast<unsigned char>(-p[i]);
    for (size_t k = i + 1; k < n; ++k) p[k] = static_cast<unsigned char>(~p[k]);
  }
  if (!little) reverse_bytes(p, n);
  return out;
}

// ---- from_bytes ------------------------------------------------------------

// Sets z from n bytes, as two's complement when negative is set (the
// caller has seen the top bit).
bool mpz_from_bytes(mpz_ptr z, const unsigned char* p, size_t n, bool little, bool negative) noexcept {
  if (n == 0) {
    mpz_set_ui(z, 0);
    return true;
  }
  const size_t limbs = (n + sizeof(mp_limb_t) - 1) / sizeof(mp_limb_t);
  if (limbs >= static_cast<size_t>(INT_MAX)) {
    memory_error();
    return false;
  }
  if constexpr (LIMBS_ARE_BYTES) {
    mp_limb_t* d = mpz_limbs_write(z, static_cast<mp_size_t>(limbs));
    const mp_limb_t fill = negative ? ~mp_limb_t{0} : 0;
    if (little) {
      d[limbs - 1] = fill;
      std::memcpy(d, p, n);
    } else {
      const size_t full = n / 8, rest = n % 8;
      for (size_t i = 0; i < full; ++i) {
        uint64_t v;
        std::memcpy(&v, p + n - 8 * (i + 1), 8);
        d[i] = __builtin_bswap64(v);
      }
      if (rest) {
        mp_limb_t v = fill;
        for (size_t i = 0; i < rest; ++i) v = (v << 8) | p[i];
        d[full] = v;
      }
    }
    const auto size = static_cast<mp_size_t>(limbs);
    if (negative) mpn_neg(d, d, size);
    mpz_limbs_finish(z, negative ? -size : size);
  } else {
    mpz_import(z, n, little ? -1 : 1, 1, 0, 0, p);
    if (negative) {
      Mpz t;
      mpz_setbit(t, static_cast<mp_bitcnt_t>(8 * n));
      mpz_sub(z, z, t);
    }
  }
  return true;
}

PyObject* from_bytes(PyObject*, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) {
  BytesArgs a;
  if (!parse_bytes_args(FROM_BYTES, args, nargs, kwnames, a)) return nullptr;
  if (!a.first) return type_error("from_bytes() missing required argument 'bytes' (pos 1)");
  const int little = read_byteorder(FROM_BYTES, a.order);
  if (little < 0) return nullptr;
  const int is_signed = read_signed(a.sign);
  if (is_signed < 0) return nullptr;
  Ref bytes = Ref::steal(PyObject_Bytes(a.first));
  if (!bytes) return nullptr;
  const auto* p = reinterpret_cast<const unsigned char*>(PyBytes_AS_STRING(bytes.get()));
  const auto n = static_cast<size_t>(PyBytes_GET_SIZE(bytes.get()));
  const bool negative = is_signed && n > 0 && ((little ? p[n - 1] : p[0]) & 0x80);
  Own<MPZ_Object> r(new_mpz());
  if (!r || !mpz_from_bytes(r->z, p, n, little, negative)) return nullptr;
  return r.release();
}

// ---- pack ------------------------------------------------------------------

constexpr Need PACK_ARGS{"pack", "'list','int' arguments"};
constexpr const char* PACK_ELEMENT = "pack() requires list elements be positive integers < 2^n bits";

// Bit length of a non-negative Python int, read from its digits.
inline uint64_t pylong_bits(PyObject* o) noexcept {
  const Py_ssize_t nd = compat::long_ndigits(o);
  if (nd == 0) return 0;
  const digit top = compat::long_digits(o)[nd - 1];
  return static_cast<uint64_t>(nd - 1) * PyLong_SHIFT + static_cast<uint64_t>(std::bit_width(top));
}

// The value of a Python int of at most 64 bits.
inline uint64_t pylong_word(PyObject* o) noexcept {
  const Py_ssize_t nd = compat::long_ndigits(o);
  const digit* d = compat::long_digits(o);
  uint64_t v = 0;
  for (Py_ssize_t i = nd; i-- > 0;) v = (v << PyLong_SHIFT) | d[i];
  return v;
}

// ORs the word v into the limbs d at bit offset `at`.
inline void or_word(mp_limb_t* d, uint64_t at, mp_limb_t v) noexcept {
  const uint64_t w = at / LIMB_BITS;
  const unsigned s = static_cast<unsigned>(at % LIMB_BITS);
  d[w] |= v << s;
  if (s && (v >> (LIMB_BITS - s))) d[w + 1] |= v >> (LIMB_BITS - s);
}

// Checks one element and returns its bit length (zero counts as one bit);
// elements that are not a Python int of at most 64 bits or an mpz are
// replaced in the private tuple by an mpz copy, so that the second pass
// reads values no other code can change. -1 with TypeError when refused.
int64_t check_element(PyObject* items, Py_ssize_t i, uint64_t n) noexcept {
  PyObject* e = PyTuple_GET_ITEM(items, i);
  uint64_t bits;
  if (PyLong_Check(e)) {
    if (compat::long_sign(e) < 0) return type_error(PACK_ELEMENT);
    bits = pylong_bits(e);
    if (bits > 64) {
      MPZ_Object* z = mpz_from_pylong(e);
      if (!z) return -1;
      PyTuple_SET_ITEM(items, i, obj(z));
      Py_DECREF(e);
    }
  } else {
    if (!is_mpz(e)) {
      MPZ_Object* z = is_integer_kind(classify(e)) ? to_mpz_intonly(e) : nullptr;
      if (!z) {
        PyErr_Clear();
        return type_error(PACK_ELEMENT);
      }
      PyTuple_SET_ITEM(items, i, obj(z));
      Py_DECREF(e);
      e = obj(z);
    }
    if (mpz_sgn(mpz_of(e)) < 0) return type_error(PACK_ELEMENT);
    bits = mpz_sizeinbase(mpz_of(e), 2);
  }
  if (bits == 0) bits = 1;
  if (bits > n) return type_error(PACK_ELEMENT);
  return static_cast<int64_t>(bits);
}

PyObject* pack(PyObject*, PyObject* const* args, Py_ssize_t nargs) {
  if (!want_args(nargs, 2, PACK_ARGS)) return nullptr;
  const unsigned long long n = read_ullong(args[1]);
  if (n == static_cast<unsigned long long>(-1) && PyErr_Occurred()) return nullptr;
  if (!PyList_Check(args[0])) return refuse(PACK_ARGS, args, nargs);
  unsigned long long total;
  if (__builtin_mul_overflow(static_cast<unsigned long long>(PyList_GET_SIZE(args[0])), n, &total))
    return value_error("result too large to store in an 'mpz'");
  // A private copy of the list: converting an element may run code that changes the list.
  Ref items = Ref::steal(PyList_AsTuple(args[0]));
  if (!items) return nullptr;
  const Py_ssize_t count = PyTuple_GET_SIZE(items.get());
  uint64_t top = 0;  // one past the highest bit set
  for (Py_ssize_t i = 0; i < count; ++i) {
    const int64_t bits = check_element(items.get(), i, n);
    if (bits < 0) return nullptr;
    top = std::max<uint64_t>(top, static_cast<uint64_t>(i) * n + static_cast<uint64_t>(bits));
  }
  if (!can_allocate(top)) return nullptr;
  Own<MPZ_Object> r(new_mpz());
  if (!r || top == 0) return r.release();
  const uint64_t limbs = (top + LIMB_BITS - 1) / LIMB_BITS;
  mp_limb_t* d = mpz_limbs_write(r->z, static_cast<mp_size_t>(limbs));
  std::memset(d, 0, limbs * sizeof(mp_limb_t));
  for (Py_ssize_t i = 0; i < count; ++i) {
    PyObject* e = PyTuple_GET_ITEM(items.get(), i);
    const uint64_t at = static_cast<uint64_t>(i) * n;
    if (PyLong_Check(e)) {
      if (const uint64_t v = pylong_word(e)) or_word(d, at, v);
      continue;
    }
    mpz_srcptr z = mpz_of(e);
    const mp_limb_t* src = mpz_limbs_read(z);
    const size_t k = mpz_size(z);
    for (size_t j = 0; j < k; ++j) or_word(d, at + j * LIMB_BITS, src[j]);
  }
  mpz_limbs_finish(r->z, static_cast<mp_size_t>(limbs));
  return r.release();
}

// ---- unpack ----------------------------------------------------------------

// Bits [at, at + len) of the non-negative x into z; len > 0.
void take_field(mpz_ptr z, mpz_srcptr x, uint64_t at, uint64_t len) noexcept {
  const mp_limb_t* src = mpz_limbs_read(x);
  const size_t size = mpz_size(x);
  const size_t w = at / LIMB_BITS;
  const unsigned s = static_cast<unsigned>(at % LIMB_BITS);
  const size_t k = (len + LIMB_BITS - 1) / LIMB_BITS;  // limbs of the field
  const size_t avail = size - w;
  if (k == 1) {
    mp_limb_t v = src[w] >> s;
    if (s && avail > 1) v |= src[w + 1] << (LIMB_BITS - s);
    if (len < LIMB_BITS) v &= (mp_limb_t{1} << len) - 1;
    *mpz_limbs_write(z, 1) = v;
    mpz_limbs_finish(z, 1);
    return;
  }
  const size_t m = std::min(s ? k + 1 : k, avail);  // source limbs that hold it
  mp_limb_t* d = mpz_limbs_write(z, static_cast<mp_size_t>(std::max(k, m)));
  if (s)
    mpn_rshift(d, src + w, static_cast<mp_size_t>(m), s);
  else
    mpn_copyi(d, src + w, static_cast<mp_size_t>(m));
  for (size_t j = m; j < k; ++j) d[j] = 0;
  if (len % LIMB_BITS) d[k - 1] &= (mp_limb_t{1} << (len % LIMB_BITS)) - 1;
  mpz_limbs_finish(z, static_cast<mp_size_t>(k));
}

PyObject* unpack(PyObject*, PyObject* const* args, Py_ssize_t nargs) {
  static constexpr Need msg{"unpack", "'int','int' arguments"};
  if (!want_args(nargs, 2, msg)) return nullptr;
  const unsigned long long n = read_ullong(args[1]);
  if (n == static_cast<unsigned long long>(-1) && PyErr_Occurred()) return nullptr;
  // A private value (an xmpz is copied): the list's allocation may run code.
  Own<MPZ_Object> x(int_arg(args[0], msg, args, nargs));
  if (!x) return nullptr;
  if (mpz_sgn(x->z) < 0) return value_error("unpack() requires x >= 0");
  if (n == 0) return value_error("unpack() requires n > 0");
  const uint64_t bits = mpz_sgn(x->z) ? mpz_sizeinbase(x->z, 2) : 0;
  const uint64_t fields = bits <= n ? 1 : (bits + n - 1) / n;
  if (fields > static_cast<uint64_t>(PY_SSIZE_T_MAX / sizeof(PyObject*))) return memory_error();
  Ref out = Ref::steal(PyList_New(static_cast<Py_ssize_t>(fields)));
  if (!out) return nullptr;
  for (uint64_t i = 0; i < fields; ++i) {
    MPZ_Object* f = new_mpz();
    if (!f) return nullptr;
    PyList_SET_ITEM(out.get(), static_cast<Py_ssize_t>(i), obj(f));
    const uint64_t at = i * n;
    if (at < bits) take_field(f->z, x->z, at, std::min<uint64_t>(n, bits - at));
  }
  return out.release();
}

// ---- num_digits --------------------------------------------------------------

// The digit count of |z| in a base given as an argument (10 when absent).
PyObject* digits_in_base(mpz_srcptr z, PyObject* base_arg) noexcept {
  long long base = 10;
  if (base_arg) {
    base = PyLong_AsLongLong(base_arg);
    if (base == -1 && PyErr_Occurred()) return nullptr;
  }
  if (base < 2 || base > 62) return value_error("base must be in the interval [2, 62]");
  return PyLong_FromSize_t(mpz_sizeinbase(z, static_cast<int>(base)));
}

PyObject* num_digits_method(PyObject* self, PyObject* const* args, Py_ssize_t nargs) {
  if (!want_args_range(nargs, 0, 1, Fn{"num_digits"})) return nullptr;
  XmpzLock lock(self);
  return digits_in_base(mpz_of(self), nargs ? args[0] : nullptr);
}

PyObject* num_digits(PyObject*, PyObject* const* args, Py_ssize_t nargs) {
  if (!want_args_range(nargs, 1, 2, Need{"num_digits", "'mpz',['int'] arguments"})) return nullptr;
  Ref x = int_operand(args[0]);
  if (!x) return nullptr;
  XmpzLock lock(x.get());
  return digits_in_base(mpz_of(x.get()), nargs == 2 ? args[1] : nullptr);
}

const FnDef packing_rows[] = {
    fast_kw("to_bytes", to_bytes, ON_MPZ, "Return an array of bytes representing x.\n\nlength is the number of bytes, byteorder 'big' (most significant\nbyte first) or 'little'. signed says whether a negative x is\nwritten in two's complement; OverflowError when x does not fit.") .typed("/, length: int = 1, byteorder: str = 'big', *, signed: bool = False", "bytes"),
    with_flag(fast_kw("from_bytes", from_bytes, ON_MPZ, "Return the integer represented by the given array of bytes.\n\nbytes is anything bytes() accepts; byteorder 'big' (most\nsignificant byte first) or 'little'; signed says whether the\nbytes are read as two's complement.") .typed("/, bytes: bytes | bytearray | memoryview | Iterable[int], byteorder: str = 'big', *, signed: bool = False", "mpz"), METH_CLASS),
    fast("num_digits", num_digits_method, ON_INTEGERS, "Return the length of the string representing the absolute value\nof x in radix base. The result is correct if base is a power\nof 2. For other bases, the result is usually correct but may\nbe 1 too large. base can range between 2 and 62, inclusive.").typed("base: int = 10, /", "int"),
    fast("num_digits", num_digits, IN_MODULE, "Return the length of the string representing the absolute value\nof x in radix base. The result is correct if base is a power\nof 2. For other bases, the result is usually correct but may\nbe 1 too large. base can range between 2 and 62, inclusive.").typed("x: _Int, base: int = 10, /", "int"),
    fast("pack", pack, IN_MODULE, "Return the integer made of the n-bit fields in lst: the sum of\nlst[i] * 2**(n*i). Every element must be a non-negative integer\nof at most n bits.").typed("lst: Iterable[_Int], n: _Int, /", "mpz"),
    fast("unpack", unpack, IN_MODULE, "Return a list of the n-bit fields of the non-negative integer x,\nlowest first: the inverse of pack(lst, n).").typed("x: _Int, n: _Int, /", "list[mpz]"),
};

}  // namespace

VX_UNIT(integer_packing, packing_rows)

}  // namespace vx
