// Integer and rational text: repr, str, digits and __format__.
#include "convert/format_int.h"

#include <cstdlib>
#include <cstring>

#include "context/context.h"
#include "convert/classify.h"
#include "convert/int_conv.h"
#include "convert/real_conv.h"
#include "convert/format_real.h"
#include "convert/format_spec.h"
#include "convert/numtext.h"
#include "core/args.h"
#include "core/errors.h"
#include "core/memory.h"
#include "core/ref.h"
#include "core/registry.h"
#include "objects/objects.h"

namespace vx {

namespace {

// Option bits of format_mpz; they combine.
enum : unsigned {
  FMT_REPR = 1,       // wrap as "mpz(...)" or "xmpz(...)"
  FMT_PLUS = 2,       // "+" before a non-negative value
  FMT_SPACE = 4,      // " " before a non-negative value (unless FMT_PLUS)
  FMT_PREFIX = 8,     // base prefix even with FMT_NO_PREFIX
  FMT_NO_PREFIX = 16  // no "0b", "0o", "0x" or "0X"
};

// Texts up to this many characters are written on the stack first.
constexpr size_t SHORT_TEXT = 1024;

// Digits of GMP's texts: lower-case letters up to base 36, upper-case for
// the negative bases, both cases (upper first) above 36.
constexpr const char LOWER_DIGITS[] = "0123456789abcdefghijklmnopqrstuvwxyz";
constexpr const char UPPER_DIGITS[] = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ";
constexpr const char DIGITS_62[] = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";

// The digits of v in base b (2..62) as GMP writes them, ending just before
// `end`; returns where they begin.
char* limb_digits(char* end, mp_limb_t v, int base) noexcept {
  if (base == 10) {  // a constant divisor: multiplications
    do {
      *--end = static_cast<char>('0' + v % 10);
      v /= 10;
    } while (v);
    return end;
  }
  const char* chars = base < 0 ? UPPER_DIGITS : base > 36 ? DIGITS_62 : LOWER_DIGITS;
  const auto b = static_cast<mp_limb_t>(base < 0 ? -base : base);
  do {
    *--end = chars[v % b];
    v /= b;
  } while (v);
  return end;
}

// A short text as a str; a single character is the interpreter's shared one.
PyObject* short_text(const char* p, size_t n) noexcept {
  if (n == 1) return PyUnicode_FromOrdinal(static_cast<unsigned char>(p[0]));
  PyObject* r = PyUnicode_New(static_cast<Py_ssize_t>(n), 127);
  if (r) std::memcpy(PyUnicode_1BYTE_DATA(r), p, n);
  return r;
}

// What goes before the digits: "mpz(" or "xmpz(", the sign, the prefix.
struct Head {
  char s[16];
  size_t n = 0;
  void put(const char* t) noexcept {
    const size_t k = std::strlen(t);
    std::memcpy(s + n, t, k);
    n += k;
  }
};

Head text_head(bool negative, int base, unsigned options, bool xmpz) noexcept {
  Head h;
  if (options & FMT_REPR) h.put(xmpz ? "xmpz(" : "mpz(");
  if (negative)
    h.put("-");
  else if (options & FMT_PLUS)
    h.put("+");
  else if (options & FMT_SPACE)
    h.put(" ");
  if ((options & FMT_PREFIX) || !(options & FMT_NO_PREFIX)) {
    switch (base) {
      case 2: h.put("0b"); break;
      case 8: h.put("0o"); break;
      case 16: h.put("0x"); break;
      case -16: h.put("0X"); break;
      default: break;
    }
  }
  return h;
}

// One limb: the digits are written here, without GMP's temporaries.
PyObject* one_limb_text(const Head& h, mp_limb_t v, int base, bool close) noexcept {
  char buf[sizeof h.s + GMP_NUMB_BITS + 2];
  char* e = buf + sizeof buf;
  if (close) *--e = ')';
  char* d = limb_digits(e, v, base);
  d -= h.n;
  std::memcpy(d, h.s, h.n);
  return short_text(d, static_cast<size_t>(buf + sizeof buf - d));
}

// GMP writes the digits of mag (a non-negative value) and a NUL at `out`;
// `digits` is mpz_sizeinbase's count, one too many at times. Returns the
// digits written.
size_t write_digits(char* out, mpz_srcptr mag, int base, size_t digits) noexcept {
  mpz_get_str(out, base, mag);
  return out[digits - 1] ? digits : digits - 1;
}

// Long texts: the digits go straight into the str (its terminator takes
// GMP's NUL), which is shortened by one when sizeinbase said one too many.
PyObject* long_text(const Head& h, mpz_srcptr mag, int base, size_t digits, bool close) noexcept {
  const size_t n = h.n + digits + (close ? 1 : 0);
  Ref r = Ref::steal(PyUnicode_New(static_cast<Py_ssize_t>(n), 127));
  if (!r) return nullptr;
  char* out = reinterpret_cast<char*>(PyUnicode_1BYTE_DATA(r.get()));
  std::memcpy(out, h.s, h.n);
  const size_t written = write_digits(out + h.n, mag, base, digits);
  if (close) out[h.n + written] = ')';
  if (written == digits) return r.release();
  PyObject* shorter = r.release();
  if (PyUnicode_Resize(&shorter, static_cast<Py_ssize_t>(n - 1)) < 0) {
    Py_DECREF(shorter);  // left as it was
    return nullptr;
  }
  return shorter;
}

// z in `base` (2..62, or -36..-2 for upper-case letters). New str, or
// nullptr with ValueError "base must be in the interval 2 ... 62" or
// MemoryError. z is only read.
PyObject* format_mpz(mpz_srcptr z, int base, unsigned options, bool xmpz = false) noexcept {
  if (!((base >= 2 && base <= 62) || (base >= -36 && base <= -2)))
    return value_error("base must be in the interval 2 ... 62");
  const bool negative = mpz_sgn(z) < 0;
  const Head h = text_head(negative, base, options, xmpz);
  const bool close = (options & FMT_REPR) != 0;  // ")"
  if (mpz_size(z) <= 1) return one_limb_text(h, mpz_getlimbn(z, 0), base, close);

  // sizeinbase gives the number of digits or one more.
  const size_t digits = mpz_sizeinbase(z, std::abs(base));
  const size_t n = h.n + digits + (close ? 1 : 0);
  // GMP converts through temporaries a few times the value's size, and
  // stops the process if it cannot get them.
  if (!memory_can_hold(n + 11 + 4 * mpz_size(z) * sizeof(mp_limb_t))) return memory_error();
  // The magnitude through a read-only view: the value is shared.
  __mpz_struct mag = *z;
  if (negative) mag._mp_size = -mag._mp_size;
  if (n > SHORT_TEXT) return long_text(h, &mag, base, digits, close);
  char buf[SHORT_TEXT + 1];
  std::memcpy(buf, h.s, h.n);
  const size_t written = write_digits(buf + h.n, &mag, base, digits);
  if (close) buf[h.n + written] = ')';
  return short_text(buf, h.n + written + (close ? 1 : 0));
}

}  // namespace

PyObject* format_mpq(mpq_srcptr q, int base, bool repr) noexcept {
  Ref num = Ref::steal(format_mpz(mpq_numref(q), base, 0));
  if (!num) return nullptr;
  Ref den = Ref::steal(format_mpz(mpq_denref(q), base, 0));
  if (!den) return nullptr;
  if (repr) return PyUnicode_FromFormat("mpq(%U,%U)", num.get(), den.get());
  if (mpz_cmp_ui(mpq_denref(q), 1) == 0) return num.release();
  return PyUnicode_FromFormat("%U/%U", num.get(), den.get());
}

namespace {

PyObject* mpz_repr(PyObject* self) { return format_mpz(mpz_of(self), 10, FMT_REPR); }
PyObject* mpz_str(PyObject* self) { return format_mpz(mpz_of(self), 10, 0); }
PyObject* xmpz_str(PyObject* self) {
  XmpzLock lock(self);
  return format_mpz(mpz_of(self), 10, 0);
}
PyObject* xmpz_repr(PyObject* self) {
  XmpzLock lock(self);
  return format_mpz(mpz_of(self), 10, FMT_REPR, true);
}
PyObject* mpq_repr(PyObject* self) { return format_mpq(mpq_of(self), 10, true); }
PyObject* mpq_str(PyObject* self) { return format_mpq(mpq_of(self), 10, false); }

PyObject* mpz_digits(PyObject* self, PyObject* args) {
  int base = 10;
  if (!PyArg_ParseTuple(args, "|i", &base)) return nullptr;
  return format_mpz(mpz_of(self), base, FMT_NO_PREFIX);
}

PyObject* xmpz_digits(PyObject* self, PyObject* args) {
  int base = 10;
  if (!PyArg_ParseTuple(args, "|i", &base)) return nullptr;
  XmpzLock lock(self);
  return format_mpz(mpz_of(self), base, 0, true);
}

PyObject* mpq_digits(PyObject* self, PyObject* args) {
  int base = 10;
  if (!PyArg_ParseTuple(args, "|i", &base)) return nullptr;
  return format_mpq(mpq_of(self), base, false);
}

// The base of an integer presentation type.
int type_base(char type) noexcept {
  switch (type) {
    case 'X': return -16;
    case 'b': return 2;
    case 'o': return 8;
    case 'x': return 16;
    default: return 10;  // 'd', 'n' or none
  }
}

// An integer format string rendered as int renders it: a '0' before the width pads
// with zeros after the sign and prefix, ',' and '_' group the digits (by
// four for '_' in bases 2, 8, 16).
PyObject* render_integer(PyObject* self, const FormatSpec& s) noexcept {
  const int base = type_base(s.type);
  if (s.sep == ',' && base != 10) {
    PyErr_Format(PyExc_ValueError, "Cannot specify ',' with '%c'.", s.type);
    return nullptr;
  }
  unsigned options = FMT_NO_PREFIX;
  if (s.sign == '+') options |= FMT_PLUS;
  if (s.sign == ' ') options |= FMT_SPACE;
  if (s.alt) options |= FMT_PREFIX;
  NumberStyle style;
  style.sep = s.sep;
  if (s.sep == '_' && base != 10) style.every = 4;
  style.hex = base == 16 || base == -16;
  Ref text;
  {
    XmpzLock lock(self);
    text = Ref::steal(format_mpz(mpz_of(self), base, options));
  }
  if (s.zero && !s.align) {
    // Sign-aware zero padding: the zeros go after the sign and prefix.
    style.zero = true;
    style.width = s.width;
    return style_number_text(text.release(), style);
  }
  text = Ref::steal(style_number_text(text.release(), style));
  if (!text || !s.has_width) return text.release();
  return pad_text(text.release(), s.zero ? '0' : ' ', s.align ? s.align : '>', s.width);
}

// An integer under a format string of the real language: converted at the context's
// precision and formatted as an mpfr.
PyObject* render_integer_as_real(PyObject* self, const FormatSpec& s) noexcept {
  if (!check_real_limits(s)) return nullptr;
  Own<CTXT_Object> ctx(current_context());
  if (!ctx) return nullptr;
  Own<MPFR_Object> f(to_mpfr(self, classify(self), PREC_CONTEXT, ctx.get()));
  if (!f) return nullptr;
  return mpfr_format_with(f.get(), s, ctx.get());
}

// x.__format__(fmt) for an mpz or xmpz: the integer language
// [align][sign][#][0][width][,|_][type] with the types X b d n o x; any
// other format string formats the value as a real.
PyObject* int_format(PyObject* self, PyObject* args) {
  if (!is_mpz(self) && !is_xmpz(self)) return type_error("requires mpz type");
  const char* fmt = nullptr;
  if (!PyArg_ParseTuple(args, "s", &fmt)) return nullptr;
  // The format string empty or a lone type letter: the digits alone.
  if (!*fmt || (!fmt[1] && std::strchr("bdnoxX", fmt[0]))) {
    XmpzLock lock(self);
    return format_mpz(mpz_of(self), type_base(fmt[0]), FMT_NO_PREFIX);
  }
  FormatSpec s;
  if (!parse_format_spec(fmt, SpecOf::Integer, s)) return nullptr;
  return s.integer_form() ? render_integer(self, s) : render_integer_as_real(self, s);
}

// digits(x, base=10, prec=0, /) for numbers of every kind.
PyObject* f_digits(PyObject*, PyObject* const* args, Py_ssize_t nargs) {
  if (nargs == 0) return type_error("digits() requires at least one argument");
  if (nargs > 3) return type_error("digits() accepts at most three arguments");
  PyObject* x = args[0];
  int kind = classify(x);
  Ref rest = Ref::steal(PyTuple_New(nargs - 1));
  if (!rest) return nullptr;
  for (Py_ssize_t i = 1; i < nargs; ++i) PyTuple_SET_ITEM(rest.get(), i - 1, Py_NewRef(args[i]));

  int base = 10;
  if (is_integer_kind(kind)) {
    Own<MPZ_Object> z(to_mpz(x, kind));
    if (!z) return nullptr;
    if (!PyArg_ParseTuple(rest.get(), "|i", &base)) return nullptr;
    return format_mpz(z->z, base, FMT_NO_PREFIX);
  }
  if (is_rational_kind(kind)) {
    Own<MPQ_Object> q(to_mpq(x, kind));
    if (!q) return nullptr;
    if (!PyArg_ParseTuple(rest.get(), "|i", &base)) return nullptr;
    return format_mpq(q->q, base, false);
  }
  if (is_real_kind(kind)) {
    Own<MPFR_Object> f(to_mpfr(x, kind, PREC_EXACT, nullptr));
    if (!f) return nullptr;
    return mpfr_digits_args(f.get(), rest.get());
  }
  if (is_complex_kind(kind)) {
    Own<MPC_Object> c(to_mpc(x, kind, PREC_EXACT, PREC_EXACT, nullptr));
    if (!c) return nullptr;
    return mpc_digits_args(c.get(), rest.get());
  }
  return not_supported("digits", x);
}

constexpr const char* DIGITS_DOC = "digits($self, base=10, /)\n--\n\nThe integer as text in the given base.";
constexpr const char* FORMAT_DOC = "__format__($self, format_spec, /)\n--\n\nThe number as text, formatted as format_spec asks.";


void setup_format_slots() noexcept {
  MPZ_Type.tp_repr = mpz_repr;
  MPZ_Type.tp_str = mpz_str;
  XMPZ_Type.tp_repr = xmpz_repr;
  XMPZ_Type.tp_str = xmpz_str;
  MPQ_Type.tp_repr = mpq_repr;
  MPQ_Type.tp_str = mpq_str;
}

const FnDef format_int_methods[] = {
    fast("digits", f_digits, IN_MODULE, "x as text in the given base; reals and complex numbers give digit\nstrings with exponents (see mpfr.digits).") .typed("x: _Rat, base: int = 10, prec: int = 0, / -> str; x: _Real, base: int = 10, prec: int = 0, / -> tuple[str, int, int]; x: _Num, base: int = 10, prec: int = 0, / -> tuple[tuple[str, int, int], tuple[str, int, int]]"),
    varargs("__format__", int_format, ON_MPZ, FORMAT_DOC).typed("format_spec: str, /", "str"),
    varargs("digits", mpz_digits, ON_MPZ, DIGITS_DOC).typed("base: int = 10, /", "str"),
    varargs("__format__", int_format, ON_XMPZ, FORMAT_DOC).typed("format_spec: str, /", "str"),
    varargs("digits", xmpz_digits, ON_XMPZ, DIGITS_DOC).typed("base: int = 10, /", "str"),
    varargs("digits", mpq_digits, ON_MPQ, "The rational as text in the given base.") .typed("base: int = 10, /", "str"),
};

}  // namespace

VX_UNIT(format_int, format_int_methods, setup_format_slots)

}  // namespace vx
