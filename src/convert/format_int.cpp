// Integer and rational text: repr, str, digits and __format__.
#include "convert/format_int.h"

#include <cstdlib>
#include <cstring>

#include "context/context.h"
#include "convert/classify.h"
#include "convert/int_conv.h"
#include "convert/real_conv.h"
#include "convert/format_real.h"
#include "convert/numtext.h"
#include "core/args.h"
#include "core/errors.h"
#include "core/memory.h"
#include "core/ref.h"
#include "core/registry.h"
#include "objects/objects.h"

namespace vx {

namespace {

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

}  // namespace

PyObject* format_mpz(mpz_srcptr z, int base, unsigned options, bool xmpz) noexcept {
  if (!((base >= 2 && base <= 62) || (base >= -36 && base <= -2)))
    return value_error("base must be in the interval 2 ... 62");

  // What goes before the digits: "xmpz(", sign, prefix.
  char head[16];
  size_t h = 0;
  auto put = [&head, &h](const char* s) {
    const size_t k = std::strlen(s);
    std::memcpy(head + h, s, k);
    h += k;
  };
  if (options & FMT_REPR) put(xmpz ? "xmpz(" : "mpz(");
  const bool negative = mpz_sgn(z) < 0;
  if (negative)
    put("-");
  else if (options & FMT_PLUS)
    put("+");
  else if (options & FMT_SPACE)
    put(" ");
  if ((options & FMT_PREFIX) || !(options & FMT_NO_PREFIX)) {
    switch (base) {
      case 2: put("0b"); break;
      case 8: put("0o"); break;
      case 16: put("0x"); break;
      case -16: put("0X"); break;
      default: break;
    }
  }
  const size_t t = (options & FMT_REPR) ? 1 : 0;  // ")"

  if (mpz_size(z) <= 1) {
    // One limb: digits written here, without GMP's temporaries.
    char buf[sizeof head + GMP_NUMB_BITS + 2];
    char* e = buf + sizeof buf;
    if (t) *--e = ')';
    char* d = limb_digits(e, mpz_getlimbn(z, 0), base);
    d -= h;
    std::memcpy(d, head, h);
    return short_text(d, static_cast<size_t>(buf + sizeof buf - d));
  }

  // sizeinbase gives the number of digits or one more.
  const size_t digits = mpz_sizeinbase(z, std::abs(base));
  const size_t n = h + digits + t;
  // GMP converts through temporaries a few times the value's size, and
  // stops the process if it cannot get them.
  if (!memory_can_hold(n + 11 + 4 * mpz_size(z) * sizeof(mp_limb_t))) return memory_error();
  // The magnitude through a read-only view: the value is shared. GMP writes
  // the digits and a NUL.
  __mpz_struct mag = *z;
  if (negative) mag._mp_size = -mag._mp_size;

  if (n <= SHORT_TEXT) {
    char buf[SHORT_TEXT + 1];
    std::memcpy(buf, head, h);
    mpz_get_str(buf + h, base, &mag);
    const size_t written = buf[h + digits - 1] ? digits : digits - 1;
    if (t) buf[h + written] = ')';
    return short_text(buf, h + written + t);
  }

  // Long texts: the digits go straight into the str (its terminator takes
  // GMP's NUL), which is shortened by one when sizeinbase said one too many.
  Ref r = Ref::steal(PyUnicode_New(static_cast<Py_ssize_t>(n), 127));
  if (!r) return nullptr;
  char* out = reinterpret_cast<char*>(PyUnicode_1BYTE_DATA(r.get()));
  std::memcpy(out, head, h);
  mpz_get_str(out + h, base, &mag);
  if (out[h + digits - 1]) {
    if (t) out[h + digits] = ')';
    return r.release();
  }
  if (t) out[h + digits - 1] = ')';
  PyObject* shorter = r.release();
  if (PyUnicode_Resize(&shorter, static_cast<Py_ssize_t>(n - 1)) < 0) {
    Py_DECREF(shorter);  // left as it was
    return nullptr;
  }
  return shorter;
}

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

// The integer format language: [align][sign][#][0][width][,|_][type], where
// the type is one of X b d n o x. A '0' before the width pads with zeros
// after the sign and prefix, and ',' or '_' group the digits, as for int.
// Any other character hands the whole format spec to the real formatting.
PyObject* int_format(PyObject* self, PyObject* args) {
  if (!is_mpz(self) && !is_xmpz(self)) return type_error("requires mpz type");
  const char* fmt = nullptr;
  if (!PyArg_ParseTuple(args, "s", &fmt)) return nullptr;
  if (!*fmt) {
    XmpzLock lock(self);
    return format_mpz(mpz_of(self), 10, FMT_NO_PREFIX);
  }

  constexpr size_t SPEC_MAX = 30;
  char align_char = 0;
  const char* width_begin = nullptr;
  const char* width_end = nullptr;
  unsigned options = FMT_NO_PREFIX;
  int base = 10;
  char type = 'd';
  NumberStyle style;
  bool align = false, sign = false, hash = false, width = false, zero = false;
  auto invalid = [] { return value_error("Invalid conversion specification"); };

  size_t len = 0;
  for (const char* c = fmt; *c; ++c, ++len) {
    if (len >= SPEC_MAX) return value_error("too long format string");
    switch (*c) {
      case '<':
      case '>':
      case '^':
        if (align || sign || hash || width || zero) return invalid();
        align_char = *c;
        align = true;
        continue;
      case '+':
      case '-':
      case ' ':
        if (sign || hash || width || zero) return invalid();
        if (*c == '+') options |= FMT_PLUS;
        if (*c == ' ') options |= FMT_SPACE;
        sign = true;
        continue;
      case '#':
        if (hash || width || zero) return invalid();
        options |= FMT_PREFIX;
        hash = true;
        continue;
      case ',':
      case '_':
        if (style.sep) return invalid();
        style.sep = *c;
        continue;
      case 'X': base = -16; break;
      case 'b': base = 2; break;
      case 'd':
      case 'n': base = 10; break;
      case 'o': base = 8; break;
      case 'x': base = 16; break;
      default:
        if (*c >= '0' && *c <= '9' && !style.sep) {
          if (*c == '0' && !width && !zero) {
            zero = true;
            continue;
          }
          if (!width) {
            width_begin = c;
            if (!align) ++len;  // counted as the '>' the alignment spec gets
          }
          width_end = c + 1;
          width = true;
          continue;
        }
        {
          // Not part of the integer language: format as a real number.
          Own<CTXT_Object> ctx(current_context());
          if (!ctx) return nullptr;
          Own<MPFR_Object> f(to_mpfr(self, classify(self), PREC_CONTEXT, ctx.get()));
          if (!f) return nullptr;
          return mpfr_format_spec(f.get(), fmt, ctx.get());
        }
    }
    type = *c;
    break;  // a type letter ends the format spec
  }

  if (style.sep == ',' && base != 10) {
    PyErr_Format(PyExc_ValueError, "Cannot specify ',' with '%c'.", type);
    return nullptr;
  }
  if (style.sep == '_' && base != 10) style.every = 4;
  style.hex = base == 16 || base == -16;
  size_t w = 0;
  if (width && !read_width(width_begin, width_end, w)) return nullptr;
  Ref text;
  {
    XmpzLock lock(self);
    text = Ref::steal(format_mpz(mpz_of(self), base, options));
  }
  if (zero && !align) {
    // Sign-aware zero padding: the zeros go after the sign and prefix.
    style.zero = true;
    style.width = w;
    return style_number_text(text.release(), style);
  }
  text = Ref::steal(style_number_text(text.release(), style));
  if (!text || !width) return text.release();
  return pad_text(text.release(), zero ? '0' : ' ', align ? align_char : '>', w);
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
    fast("digits", f_digits, IN_MODULE,
                "digits(x, base=10, prec=0, /)\n--\n\n"
                "x as text in the given base; reals and complex numbers give digit\n"
                "strings with exponents (see mpfr.digits).")
                    .typed("x: _Rat, base: int = 10, prec: int = 0, / -> str; x: _Real, base: int = 10, prec: int = "
                           "0, / -> "
              "tuple[str, int, int]; x: _Num, base: int = 10, prec: int = 0, / -> tuple[tuple[str, int, int], "
              "tuple[str, int, int]]"),
    varargs("__format__", int_format, ON_MPZ, FORMAT_DOC).typed(nullptr, "str"),
    varargs("digits", mpz_digits, ON_MPZ, DIGITS_DOC).typed(nullptr, "str"),
    varargs("__format__", int_format, ON_XMPZ, FORMAT_DOC).typed(nullptr, "str"),
    varargs("digits", xmpz_digits, ON_XMPZ, DIGITS_DOC).typed(nullptr, "str"),
    varargs("digits", mpq_digits, ON_MPQ, "digits($self, base=10, /)\n--\n\nThe rational as text in the given base.")
        .typed("base: int = 10, /", "str"),
};

}  // namespace

VX_UNIT(format_int, format_int_methods, setup_format_slots)

}  // namespace vx
