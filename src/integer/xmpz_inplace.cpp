// The mutable integer's own protocol: unary and in-place operators that
// change the object itself, and assignment of bits and bit slices.
//
// An xmpz is changed only while its lock is held (see XmpzLock), and never
// detached from the interpreter: a detached thread gives up its locks, so
// another thread could read limbs that GMP is reallocating.
#include <algorithm>

#include "convert/int_conv.h"
#include "core/compat.h"
#include "core/errors.h"
#include "core/ref.h"
#include "core/registry.h"
#include "core/temps.h"
#include "integer/mpz_internal.h"

namespace vx {

namespace {

// ---- unary operators: change self, evaluate to None ----------------------

template <void (*Op)(mpz_ptr, mpz_srcptr)>
PyObject* xmpz_unary(PyObject* self) {
  XmpzLock lock(self);
  Op(mpz_of(self), mpz_of(self));
  Py_RETURN_NONE;
}

PyObject* xmpz_positive(PyObject*) { Py_RETURN_NONE; }

// ---- add, subtract, multiply, remainder, floor division -------------------

// The right operand of an in-place operation: a Python int of one word
// (sign and magnitude), or a GMP value (an mpz's or xmpz's own, or a
// temporary holding a larger Python int).
struct Operand {
  mpz_srcptr z = nullptr;
  int sign = 0;
  uint64_t mag = 0;
  Mpz tmp;

  // 1 when read, 0 for an operand of another kind, -1 on error.
  int read(PyObject* y) noexcept {
    if (is_mpz(y) || is_xmpz(y)) {
      z = mpz_of(y);
      return 1;
    }
    if (!PyLong_Check(y)) return 0;
    if (compat::long_small(y, sign, mag)) return 1;
    if (mpz_set_pylong(tmp, y) < 0) return -1;
    z = tmp;
    return 1;
  }
  // Call with the locks held.
  bool is_zero() const noexcept { return z ? mpz_sgn(z) == 0 : mag == 0; }
  uint64_t bits() const noexcept { return z ? mpz_sizeinbase(z, 2) : 64; }
};

enum class IOp { Add, Sub, Mul, Mod, FloorDiv };

// x = x op y; false with an exception set.
template <IOp op>
bool apply(mpz_ptr x, const Operand& y) noexcept {
  if constexpr (op == IOp::Mod || op == IOp::FloorDiv) {
    if (y.is_zero()) {
      zero_division(op == IOp::Mod ? "xmpz modulo by zero" : "xmpz division by zero");
      return false;
    }
  }
  if constexpr (op == IOp::Mul) {
    if (mpz_sgn(x) != 0 && !can_allocate(bits_sum(mpz_sizeinbase(x, 2), y.bits()))) return false;
  }
  const unsigned long m = static_cast<unsigned long>(y.mag);
  if (y.z) {
    if constexpr (op == IOp::Add) mpz_add(x, x, y.z);
    else if constexpr (op == IOp::Sub) mpz_sub(x, x, y.z);
    else if constexpr (op == IOp::Mul) mpz_mul(x, x, y.z);
    else if constexpr (op == IOp::Mod) mpz_fdiv_r(x, x, y.z);
    else mpz_fdiv_q(x, x, y.z);
    return true;
  }
  const bool neg = y.sign < 0;
  if constexpr (op == IOp::Add) {
    if (neg) mpz_sub_ui(x, x, m);
    else mpz_add_ui(x, x, m);
  } else if constexpr (op == IOp::Sub) {
    if (neg) mpz_add_ui(x, x, m);
    else mpz_sub_ui(x, x, m);
  } else if constexpr (op == IOp::Mul) {
    mpz_mul_ui(x, x, m);
    if (neg) mpz_neg(x, x);
  } else if constexpr (op == IOp::Mod) {
    // The floor remainder takes the divisor's sign.
    if (neg) mpz_cdiv_r_ui(x, x, m);
    else mpz_fdiv_r_ui(x, x, m);
  } else {
    // floor(x / -m) = -ceil(x / m)
    if (neg) {
      mpz_cdiv_q_ui(x, x, m);
      mpz_neg(x, x);
    } else {
      mpz_fdiv_q_ui(x, x, m);
    }
  }
  return true;
}

template <IOp op>
PyObject* xmpz_inplace(PyObject* self, PyObject* other) {
  Operand y;
  const int got = y.read(other);
  if (got == 0) Py_RETURN_NOTIMPLEMENTED;  // the ordinary operator makes a new object
  if (got < 0) return nullptr;
  XmpzLock lock(self, other);
  if (!apply<op>(mpz_of(self), y)) return nullptr;
  return Py_NewRef(self);
}

// ---- power ------------------------------------------------------------------

PyObject* xmpz_inplace_power(PyObject* self, PyObject* other, PyObject*) {
  const unsigned long n = read_ulong(other);
  if (n == static_cast<unsigned long>(-1) && PyErr_Occurred()) return nullptr;
  XmpzLock lock(self);
  mpz_ptr x = mpz_of(self);
  if (mpz_cmpabs_ui(x, 1) > 0) {
    // GMP sizes the result as bit length times exponent.
    const unsigned __int128 bits = static_cast<unsigned __int128>(mpz_sizeinbase(x, 2)) * n;
    if (!can_allocate(bits > UINT64_MAX ? UINT64_MAX : static_cast<uint64_t>(bits))) return nullptr;
  }
  mpz_pow_ui(x, x, n);
  return Py_NewRef(self);
}

// ---- shifts: the plain operators' counts, limits and errors ---------------

PyObject* xmpz_inplace_lshift(PyObject* self, PyObject* other) {
  const unsigned long long n = read_ullong(other);
  if (n == static_cast<unsigned long long>(-1) && PyErr_Occurred()) return nullptr;
  XmpzLock lock(self);
  mpz_ptr x = mpz_of(self);
  if (mpz_sgn(x) != 0 && !can_allocate(bits_sum(mpz_sizeinbase(x, 2), n))) return nullptr;
  mpz_mul_2exp(x, x, static_cast<mp_bitcnt_t>(n));
  return Py_NewRef(self);
}

PyObject* xmpz_inplace_rshift(PyObject* self, PyObject* other) {
  const unsigned long long n = read_ullong(other);
  const bool huge = n == static_cast<unsigned long long>(-1) && PyErr_Occurred();
  if (huge && huge_shift_count(other) < 0) return nullptr;
  XmpzLock lock(self);
  mpz_ptr x = mpz_of(self);
  if (huge)
    mpz_set_si(x, mpz_sgn(x) < 0 ? -1 : 0);
  else
    mpz_fdiv_q_2exp(x, x, static_cast<mp_bitcnt_t>(n));
  return Py_NewRef(self);
}

// ---- and, xor, or -------------------------------------------------------------

template <void (*Op)(mpz_ptr, mpz_srcptr, mpz_srcptr)>
PyObject* xmpz_inplace_bitwise(PyObject* self, PyObject* other) {
  Mpz tmp;
  mpz_srcptr y;
  if (is_mpz(other) || is_xmpz(other)) {
    y = mpz_of(other);
  } else if (PyLong_Check(other)) {
    if (mpz_set_pylong(tmp, other) < 0) return nullptr;
    y = tmp;
  } else {
    Py_RETURN_NOTIMPLEMENTED;
  }
  XmpzLock lock(self, other);
  Op(mpz_of(self), mpz_of(self), y);
  return Py_NewRef(self);
}

// ---- bit assignment -----------------------------------------------------------

constexpr const char* BIT_VALUE = "bit value must be 0 or 1";

// Sets bit i of x to v; a bit too high to exist raises MemoryError
// unless it already has that value.
int assign_bit(mpz_ptr x, uint64_t i, bool v) noexcept {
  if (mpz_tstbit(x, i) == static_cast<int>(v)) return 0;
  if (!can_allocate(bits_sum(i, 1))) return -1;
  if (v)
    mpz_setbit(x, i);
  else
    mpz_clrbit(x, i);
  return 0;
}

int assign_index(PyObject* self, PyObject* key, PyObject* value) noexcept {
  Py_ssize_t i = PyNumber_AsSsize_t(key, PyExc_OverflowError);
  if (i == -1 && PyErr_Occurred()) {
    if (!PyErr_ExceptionMatches(PyExc_OverflowError)) return -1;
    PyErr_Clear();
    return raise(PyExc_IndexError, "argument too large to be converted to an index");
  }
  if (!value) return value_error(BIT_VALUE);
  const Py_ssize_t v = PyNumber_AsSsize_t(value, nullptr);
  if (v != 0 && v != 1) {
    PyErr_Clear();
    return value_error(BIT_VALUE);
  }
  XmpzLock lock(self);
  mpz_ptr x = mpz_of(self);
  if (i < 0) i += static_cast<Py_ssize_t>(mpz_sizeinbase(x, 2));
  if (i < 0) return raise(PyExc_IndexError, "bit index out of range");
  return assign_bit(x, static_cast<uint64_t>(i), v == 1);
}

// The number of low bits of z (two's complement) that are not all its sign
// fill: from this position up every bit is 0 (z >= 0) or 1 (z < 0).
uint64_t own_bits(mpz_srcptr z) noexcept {
  if (mpz_sgn(z) == 0) return 0;
  const uint64_t n = mpz_sizeinbase(z, 2);
  // -2**k is ...1 followed by k zeros: one bit less than its magnitude.
  return mpz_sgn(z) < 0 && mpz_scan1(z, 0) == n - 1 ? n - 1 : n;
}

// Bits start, start+step, ... (count of them) of x become bits 0, 1, ... of v.
// Beyond their own bits x and v hold nothing but their sign fills, so
// where both are beyond, a bit changes only when the two fills differ:
// when they agree, only the positions below x's own bits and the bits
// below v's own bits are visited.
int assign_stepped(mpz_ptr x, Py_ssize_t start, Py_ssize_t step, Py_ssize_t count, mpz_srcptr v) noexcept {
  using I = __int128;
  const I lx = own_bits(x), lv = own_bits(v), n = count;
  auto pos = [&](I j) { return start + j * step; };
  auto clamp = [&](I j) { return j < 0 ? I{0} : (j > n ? n : j); };
  I a_end = n, b_start = n;  // visited: j in [0, a_end) and [b_start, n)
  if ((mpz_sgn(x) < 0) == (mpz_sgn(v) < 0)) {
    if (step > 0) {
      a_end = std::max(clamp(lv), clamp((lx - start + step - 1) / step));
    } else {
      a_end = clamp(lv);
      b_start = start < lx ? 0 : clamp((start - lx) / -step + 1);
    }
  }
  if (b_start < a_end) b_start = a_end;
  // The highest position written must exist.
  I top = -1;
  if (a_end > 0) top = step > 0 ? pos(a_end - 1) : pos(0);
  if (b_start < n) top = std::max(top, pos(b_start));
  if (top >= 0 && !can_allocate(top >= I{UINT64_MAX} ? UINT64_MAX : static_cast<uint64_t>(top) + 1)) return -1;
  auto visit = [&](I from, I to) {
    for (I j = from; j < to; ++j) {
      const auto p = static_cast<mp_bitcnt_t>(pos(j));
      if (mpz_tstbit(v, static_cast<mp_bitcnt_t>(j)))
        mpz_setbit(x, p);
      else
        mpz_clrbit(x, p);
    }
  };
  visit(0, a_end);
  visit(b_start, n);
  return 0;
}

// Bits start .. start+count-1 of x become bits 0 .. count-1 of v:
// x = floor(x / 2**(s+c)) * 2**(s+c) + (v mod 2**c) * 2**s + (x mod 2**s).
int assign_run(mpz_ptr x, uint64_t s, uint64_t c, mpz_srcptr v) noexcept {
  const uint64_t end = s + c;
  const bool high_part = mpz_sgn(x) < 0 || mpz_sizeinbase(x, 2) > end;
  const uint64_t vbits = mpz_sgn(v) < 0 ? c : std::min<uint64_t>(own_bits(v), c);
  uint64_t need = vbits ? s + vbits : 0;
  if (high_part) need = std::max<uint64_t>(need, std::max<uint64_t>(end, mpz_sizeinbase(x, 2)) + 1);
  if (!can_allocate(need)) return -1;
  Mpz low, mid;
  mpz_fdiv_r_2exp(low, x, s);
  mpz_fdiv_r_2exp(mid, v, c);
  mpz_mul_2exp(mid, mid, s);
  if (high_part) {
    mpz_fdiv_q_2exp(x, x, end);
    mpz_mul_2exp(x, x, end);
  } else {
    mpz_set_ui(x, 0);
  }
  mpz_add(x, x, mid);
  mpz_add(x, x, low);
  return 0;
}

int assign_slice(PyObject* self, PyObject* key, PyObject* value) noexcept {
  Py_ssize_t start, stop, step;
  if (PySlice_Unpack(key, &start, &stop, &step) < 0) return -1;
  const bool has_stop = reinterpret_cast<PySliceObject*>(key)->stop != Py_None;
  if (!value) return type_error("deleting bits not supported");
  Own<MPZ_Object> v(to_mpz_intonly(value));  // a copy when value is an xmpz
  if (!v) {
    PyErr_Clear();
    return value_error("must specify bit sequence as an integer");
  }
  XmpzLock lock(self);
  mpz_ptr x = mpz_of(self);
  auto len = static_cast<Py_ssize_t>(mpz_sizeinbase(x, 2));
  if (has_stop && stop > len) len = stop;  // assignment may extend the value upward
  const Py_ssize_t count = PySlice_AdjustIndices(len, &start, &stop, step);
  if (count <= 0) return 0;
  if (step == 1) return assign_run(x, static_cast<uint64_t>(start), static_cast<uint64_t>(count), v->z);
  return assign_stepped(x, start, step, count, v->z);
}

int xmpz_ass_subscript(PyObject* self, PyObject* key, PyObject* value) {
  if (PyIndex_Check(key)) return assign_index(self, key, value);
  if (PySlice_Check(key)) return assign_slice(self, key, value);
  return type_error("bit positions must be integers");
}

void setup_xmpz_slots() noexcept {
  PyNumberMethods& nb = xmpz_number;
  nb.nb_negative = xmpz_unary<mpz_neg>;
  nb.nb_positive = xmpz_positive;
  nb.nb_absolute = xmpz_unary<mpz_abs>;
  nb.nb_invert = xmpz_unary<mpz_com>;
  nb.nb_inplace_add = xmpz_inplace<IOp::Add>;
  nb.nb_inplace_subtract = xmpz_inplace<IOp::Sub>;
  nb.nb_inplace_multiply = xmpz_inplace<IOp::Mul>;
  nb.nb_inplace_remainder = xmpz_inplace<IOp::Mod>;
  nb.nb_inplace_floor_divide = xmpz_inplace<IOp::FloorDiv>;
  nb.nb_inplace_power = xmpz_inplace_power;
  nb.nb_inplace_lshift = xmpz_inplace_lshift;
  nb.nb_inplace_rshift = xmpz_inplace_rshift;
  nb.nb_inplace_and = xmpz_inplace_bitwise<mpz_and>;
  nb.nb_inplace_xor = xmpz_inplace_bitwise<mpz_xor>;
  nb.nb_inplace_or = xmpz_inplace_bitwise<mpz_ior>;
  xmpz_mapping.mp_ass_subscript = xmpz_ass_subscript;
}

}  // namespace

VX_UNIT(xmpz_inplace, {}, setup_xmpz_slots)

}  // namespace vx
