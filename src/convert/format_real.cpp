// Text of mpfr and mpc values.
//
// __format__ renders a FormatSpec (format_spec.h) as an MPFR conversion
// (handed to mpfr_asprintf), then pads the text. A real takes
//   [<>^][+- ][#][0][width][,|_][.prec][rounding letter][type]
// with rounding letters D N U Y Z and types a A b e E f F g G %; an mpc
// no zero padding or grouping, a second ".prec" for the imaginary part and
// the style letters P/M, and no type % or b.
#include "convert/format_real.h"
#include "convert/format_spec.h"
#include "convert/numtext.h"

#include <climits>
#include <string_view>
#include <cmath>
#include <algorithm>
#include <cstring>
#include <optional>

#include "context/context.h"
#include "core/errors.h"
#include "core/ref.h"
#include "core/registry.h"
#include "core/temps.h"

namespace vx {

namespace {

constexpr const char* MAX_PREC_MSG =
    "The maximum precision for string formatting exceeded. Please use digits() method instead.";

// Number of significant digits shown by default for a precision of p bits.
long long default_digits(mpfr_prec_t p) noexcept {
  return static_cast<long long>(static_cast<double>(p) * 0.3010299956639812) + 2;
}

char rounding_letter(int round) noexcept {
  switch (round) {
    case RoundToZero: return 'Z';
    case RoundUp: return 'U';
    case RoundDown: return 'D';
    case RoundAwayZero: return 'Y';
    default: return 'N';
  }
}


// Upper bound of the characters MPFR writes for v under a conversion with
// `digits` digits (negative: MPFR's default) and the given type. Without a
// precision "a", "b" and "e" write every digit the value needs, the others 6.
double output_bound(mpfr_srcptr v, char type, double digits) noexcept {
  double p = static_cast<double>(mpfr_get_prec(v));
  double n = digits >= 0                                     ? digits
             : type == 'a' || type == 'A' || type == 'b'     ? p + 2
             : type == 'e' || type == 'E'                    ? p * 0.3010299956639812 + 3
                                                             : 6;
  if ((type == 'f' || type == 'F' || type == '%') && mpfr_regular_p(v) && mpfr_get_exp(v) > 0)
    n += static_cast<double>(mpfr_get_exp(v)) * 0.3010299956639812 + 2;
  return n + 64;  // sign, point, exponent and the like
}

// An MPFR value to read in place of another: a NaN without sign, so that
// every NaN prints as "nan", or x * 100 for the "%" type.
using Temp = std::optional<Mpfr>;

// A NaN is printed from a positive copy: the object itself may be read by
// other threads at the same time and is never changed.
mpfr_srcptr unsigned_nan(mpfr_srcptr v, Temp& t) noexcept {
  if (!mpfr_nan_p(v)) return v;
  t.emplace(MPFR_PREC_MIN);
  mpfr_set_nan(*t);
  mpfr_setsign(*t, *t, 0, MPFR_RNDN);
  return t->get();
}

// A precision of 0 with the types f and F asks for no digits after the
// point: such a text gets no ".0" (float writes '2' for 1.5 too).
bool no_fraction_asked(char type, double digits) noexcept { return digits == 0 && (type == 'f' || type == 'F'); }

bool plain_number(const char* s, size_t n) noexcept {
  for (size_t i = 0; i < n; ++i)
    if (!std::strchr("+- 0123456789", s[i]) || !s[i]) return false;
  return true;
}

// Owns a string from mpfr_asprintf.
struct MpfrText {
  char* s = nullptr;
  int n = -1;
  ~MpfrText() {
    if (s) mpfr_free_str(s);
  }
};

// The text MPFR writes for v under conv, with ".0" after an integral-looking
// result (when it has at most `dot0_max` characters). nullptr on refusal.
PyObject* mpfr_text(const char* conv, mpfr_srcptr v, size_t dot0_max, PyObject* exc, const char* msg) noexcept {
  Temp nan;
  mpfr_srcptr w = unsigned_nan(v, nan);
  MpfrText t;
  t.n = mpfr_asprintf(&t.s, conv, w);
  if (t.n < 0 || !t.s) return raise(exc, msg);
  size_t n = static_cast<size_t>(t.n);
  // MPFR drops the "+" and " " flags for infinities and NaN; C's printf
  // keeps them, and the imaginary part of a complex text relies on them.
  char flag = conv[1];
  if ((flag == '+' || flag == ' ') && !mpfr_number_p(w) && t.s[0] != '-' && t.s[0] != '+' && t.s[0] != ' ')
    return PyUnicode_FromFormat("%c%s", flag, t.s);
  if (n <= dot0_max && plain_number(t.s, n)) return PyUnicode_FromFormat("%s.0", t.s);
  return PyUnicode_FromStringAndSize(t.s, t.n);
}

// One MPFR conversion ("%" flags [.prec] "R" [rounding] type) for a part
// of a format string: a real, or the real or imaginary part of a complex number.
struct Conversion {
  char s[96] = {};
  char type = 'g';     // the type MPFR is given ('%' for "f%")
  double digits = -1;  // digits asked for; negative when MPFR's default applies
};

// What a conversion is built from: the format string, the part's flag ('+', ' ', '-'
// or 0), its precision (-1 when no point was written) and bits, and the
// context's rounding letter.
struct PartSpec {
  const FormatSpec& spec;
  char flag;
  long long prec;
  mpfr_prec_t bits;
  char context_letter;
};

void build_conversion(const PartSpec& p, Conversion& c) noexcept {
  const FormatSpec& s = p.spec;
  char* o = c.s;
  *o++ = '%';
  if (p.flag) *o++ = p.flag;
  if (s.alt) *o++ = '#';
  // Without a point: "e" is given 6 digits (MPFR would write them all), a
  // format string without a type the default digit count; the complex styles keep
  // MPFR's defaults.
  long long digits = p.prec;
  if (digits < 0 && !s.style && (s.type == 'e' || s.type == 'E')) digits = 6;
  if (digits < 0 && !s.style && !s.type) digits = default_digits(p.bits);
  if (digits >= 0) {
    char rev[24];
    int n = 0;
    long long v = digits;
    do rev[n++] = static_cast<char>('0' + v % 10);
    while ((v /= 10) != 0);
    *o++ = '.';
    while (n) *o++ = rev[--n];
  }
  c.digits = static_cast<double>(digits);
  *o++ = 'R';
  // A type takes the context's rounding when the format string names none; without a
  // type only a named letter is written (MPFR then rounds to nearest).
  if (s.round || s.type) *o++ = s.round ? s.round : p.context_letter;
  c.type = s.type ? s.type : 'g';
  if (s.type == '%') *o++ = 'f';
  *o++ = c.type;
  *o = '\0';
}

// The elements the real formatting accepts.
bool real_spec_ok(const FormatSpec& s) noexcept {
  return !s.fill && s.align != '=' && !s.no_neg_zero && s.points < 2 && !s.style &&
         (!s.type || std::strchr("aAbeEfFgG%", s.type));
}

// The elements the complex formatting accepts: no '%' or "b" type, no zero
// padding or grouping (a '0' before the width is part of the width).
bool complex_spec_ok(const FormatSpec& s) noexcept {
  return !s.fill && s.align != '=' && !s.no_neg_zero && !s.sep && (!s.type || std::strchr("aAeEfFgG", s.type));
}

// The alignment and width of a format string with a blank fill, or zeros when '0'
// came with an alignment.
PyObject* align_spec(PyObject* text, const FormatSpec& s, char fill = ' ') noexcept {
  if (!text || !s.has_width) return text;
  return pad_text(text, fill, s.align ? s.align : '>', s.width);
}

// The text for a precision of d digits in place of the one asked.
PyObject* real_text_with_digits(const PartSpec& p, long long d, mpfr_srcptr v, size_t dot0) noexcept {
  Conversion c;
  build_conversion(PartSpec{p.spec, p.flag, d, p.bits, p.context_letter}, c);
  return mpfr_text(c.s, v, dot0, PyExc_RuntimeError, MAX_PREC_MSG);
}

// Digits past the exact decimal expansion of a binary value are zeros. For
// a request far beyond it, MPFR writes only the digits the value has and
// the zeros are added here: MPFR's time grows faster than the output.
PyObject* exact_tail_text(const PartSpec& p, const Conversion& c, mpfr_srcptr v) noexcept {
  constexpr double SLACK = 64;
  const char t = c.type;
  const size_t dot0 = no_fraction_asked(t, c.digits) ? 0 : SIZE_MAX;
  const bool fixed = t == 'f' || t == 'F' || t == '%', sci = t == 'e' || t == 'E';
  if (!(fixed || sci) || !mpfr_regular_p(v) || c.digits < 0)
    return mpfr_text(c.s, v, dot0, PyExc_RuntimeError, MAX_PREC_MSG);
  const double e = static_cast<double>(mpfr_get_exp(v)), bits = static_cast<double>(mpfr_get_prec(v));
  double needed = std::max(0.0, bits - e);  // binary fraction digits = decimal fraction digits
  if (sci && e > 0) needed += std::ceil(e * 0.3010299956639812) + 1;
  needed = std::max(needed, 1.0);
  if (c.digits <= needed + SLACK) return mpfr_text(c.s, v, dot0, PyExc_RuntimeError, MAX_PREC_MSG);

  Ref short_text = Ref::steal(real_text_with_digits(p, static_cast<long long>(needed), v, dot0));
  if (!short_text) return nullptr;
  Py_ssize_t n = 0;
  const char* u = PyUnicode_AsUTF8AndSize(short_text.get(), &n);
  if (!u) return nullptr;
  std::string_view text(u, static_cast<size_t>(n));
  // The zeros go after the last digit: before the exponent, or before '%'.
  size_t at = sci ? text.find_last_of("eE") : (t == '%' ? text.rfind('%') : text.size());
  if (at == std::string_view::npos) at = text.size();
  const size_t zeros = static_cast<size_t>(c.digits - needed);
  PyObject* out = PyUnicode_New(static_cast<Py_ssize_t>(text.size() + zeros), 127);
  if (!out) return nullptr;
  char* d = static_cast<char*>(PyUnicode_DATA(out));
  std::memcpy(d, text.data(), at);
  std::memset(d + at, '0', zeros);
  std::memcpy(d + at + zeros, text.data() + at, text.size() - at);
  return out;
}

// Zero padding and grouping as float does them, then the alignment.
PyObject* style_real_text(PyObject* text, const FormatSpec& s) noexcept {
  NumberStyle style;
  style.sep = s.sep;
  if (s.zero && !s.align) {
    style.zero = true;
    style.width = s.width;
    return style_number_text(text, style);
  }
  return align_spec(style_number_text(text, style), s, s.zero ? '0' : ' ');
}

}  // namespace

PyObject* mpfr_format_with(MPFR_Object* x, const FormatSpec& s, CTXT_Object* ctx) noexcept {
  if (!real_spec_ok(s)) return invalid_spec();
  const char flag = s.sign == '+' || s.sign == ' ' ? s.sign : 0;
  const PartSpec part{s, flag, s.points ? s.prec : -1, mpfr_get_prec(x->f), rounding_letter(ctx->ctx.round)};
  Conversion c;
  build_conversion(part, c);
  Temp scaled;
  mpfr_srcptr v = x->f;
  if (s.type == '%') {
    scaled.emplace(mpfr_get_prec(x->f));
    mpfr_mul_ui(*scaled, x->f, 100, rnd(ctx->ctx));
    v = scaled->get();
  }
  // MPFR reports an over-long result only after producing its digits, which
  // for a large request takes unbounded time and memory: refuse up front.
  if (output_bound(v, c.type, c.digits) > INT_MAX) return raise(PyExc_RuntimeError, MAX_PREC_MSG);
  return style_real_text(exact_tail_text(part, c, v), s);
}

namespace {

// x.__format__(fmt) for an mpfr x; the context gives the default rounding.
PyObject* mpfr_format_spec(MPFR_Object* x, const char* fmt, CTXT_Object* ctx) noexcept {
  FormatSpec s;
  if (!parse_format_spec(fmt, SpecOf::Real, s)) return nullptr;
  return mpfr_format_with(x, s, ctx);
}

// __format__ and str() of both floating types: the format string applied under
// the current context.
template <class T, PyObject* (*Spec)(T*, const char*, CTXT_Object*) noexcept>
PyObject* format_current(PyObject* self, const char* fmt) {
  Own<CTXT_Object> ctx(current_context());
  if (!ctx) return nullptr;
  return Spec(reinterpret_cast<T*>(self), fmt, ctx.get());
}

template <class T, PyObject* (*Spec)(T*, const char*, CTXT_Object*) noexcept>
PyObject* format_method(PyObject* self, PyObject* args) {
  const char* fmt = nullptr;
  if (!PyArg_ParseTuple(args, "s", &fmt)) return nullptr;
  return format_current<T, Spec>(self, fmt);
}

template <class T, PyObject* (*Spec)(T*, const char*, CTXT_Object*) noexcept>
PyObject* format_str(PyObject* self) {
  return format_current<T, Spec>(self, "");
}

PyObject* mpfr_format_method(PyObject* self, PyObject* args) {
  if (!is_mpfr(self)) return type_error("requires mpfr type");
  return format_method<MPFR_Object, mpfr_format_spec>(self, args);
}

constexpr auto mpfr_str = format_str<MPFR_Object, mpfr_format_spec>;

PyObject* mpfr_repr(PyObject* self) {
  Ref text = Ref::steal(mpfr_str(self));
  if (!text) return nullptr;
  mpfr_srcptr f = mpfr_of(self);
  long prec = static_cast<long>(mpfr_get_prec(f));
  if (mpfr_number_p(f) && prec != 53) return PyUnicode_FromFormat("mpfr('%U',%ld)", text.get(), prec);
  return PyUnicode_FromFormat("mpfr('%U')", text.get());
}

// (digits, exponent, precision) of f, with f ~ 0.digits * base**exponent.
PyObject* real_digits(mpfr_srcptr f, int base, int prec, mpfr_rnd_t round, const char* internal) noexcept {
  if (mpfr_inf_p(f)) return Py_BuildValue("(sii)", mpfr_signbit(f) ? "-inf" : "inf", 0, 0);
  if (mpfr_nan_p(f)) return Py_BuildValue("(sii)", "nan", 0, 0);
  long bits = static_cast<long>(mpfr_get_prec(f));
  if (mpfr_zero_p(f)) return Py_BuildValue("(sil)", mpfr_signbit(f) ? "-0" : "0", 0, bits);
  mpfr_exp_t e = 0;
  MpfrText t;
  t.s = mpfr_get_str(nullptr, &e, base, static_cast<size_t>(prec), f, round);
  if (!t.s || !*t.s) return system_error(internal);
  return Py_BuildValue("(sLl)", t.s, static_cast<long long>(e), bits);
}

bool digits_args(PyObject* args, int& base, int& prec) noexcept {
  base = 10;
  prec = 0;
  if (!PyArg_ParseTuple(args, "|ii", &base, &prec)) return false;
  if (base < 2 || base > 62) {
    value_error("base must be in the interval [2,62]");
    return false;
  }
  if (prec < 0 || prec == 1) {
    value_error("digits must be 0 or >= 2");
    return false;
  }
  return true;
}

}  // namespace

PyObject* mpfr_digits_args(MPFR_Object* x, PyObject* args) noexcept {
  int base, prec;
  if (!digits_args(args, base, prec)) return nullptr;
  Own<CTXT_Object> ctx(current_context());
  if (!ctx) return nullptr;
  return real_digits(x->f, base, prec, rnd(ctx->ctx), "Internal error in Pympfr_To_PyStr");
}

PyObject* mpc_digits_args(MPC_Object* x, PyObject* args) noexcept {
  int base, prec;
  if (!digits_args(args, base, prec)) return nullptr;
  Own<CTXT_Object> ctx(current_context());
  if (!ctx) return nullptr;
  const char* msg = "Internal error in mpfr_ascii";
  auto rr = static_cast<mpfr_rnd_t>(real_round(ctx->ctx));
  auto ir = static_cast<mpfr_rnd_t>(imag_round(ctx->ctx));
  Ref re = Ref::steal(real_digits(mpc_realref(x->c), base, prec, rr, msg));
  if (!re) return nullptr;
  Ref im = Ref::steal(real_digits(mpc_imagref(x->c), base, prec, ir, msg));
  if (!im) return nullptr;
  return PyTuple_Pack(2, re.get(), im.get());
}

namespace {

PyObject* mpfr_digits_method(PyObject* self, PyObject* args) {
  return mpfr_digits_args(reinterpret_cast<MPFR_Object*>(self), args);
}

// ----- mpc -----

// Parts longer than this never receive ".0".
constexpr size_t COMPLEX_DOT0_MAX = 49;

PyObject* mpc_format_spec(MPC_Object* x, const char* fmt, CTXT_Object* ctx) noexcept {
  FormatSpec s;
  if (!parse_format_spec(fmt, SpecOf::Complex, s)) return nullptr;
  if (!complex_spec_ok(s)) return invalid_spec();
  mpfr_srcptr re = mpc_realref(x->c), im = mpc_imagref(x->c);
  const char letter = rounding_letter(ctx->ctx.round);
  const char flag = s.sign ? s.sign : '-';
  // The imaginary part always shows its sign, except in the "M" style.
  const PartSpec rpart{s, flag, s.points ? s.prec : -1, mpfr_get_prec(re), letter};
  const PartSpec ipart{s, s.style == 'M' ? flag : '+', s.points == 2 ? s.prec2 : rpart.prec, mpfr_get_prec(im), letter};
  Conversion rc, ic;
  build_conversion(rpart, rc);
  build_conversion(ipart, ic);
  const char* internal = "Internal error in mpfr_asprintf";
  if (output_bound(re, rc.type, rc.digits) > INT_MAX || output_bound(im, ic.type, ic.digits) > INT_MAX)
    return system_error(internal);
  auto dot0 = [](const Conversion& c) { return no_fraction_asked(c.type, c.digits) ? 0 : COMPLEX_DOT0_MAX; };
  Ref rtext = Ref::steal(mpfr_text(rc.s, re, dot0(rc), PyExc_SystemError, internal));
  if (!rtext) return nullptr;
  Ref itext = Ref::steal(mpfr_text(ic.s, im, dot0(ic), PyExc_SystemError, internal));
  if (!itext) return nullptr;
  PyObject* text = s.style == 'M' ? PyUnicode_FromFormat("(%U %U)", rtext.get(), itext.get())
                                  : PyUnicode_FromFormat("%U%Uj", rtext.get(), itext.get());
  return align_spec(text, s);
}

PyObject* mpc_format_method(PyObject* self, PyObject* args) {
  if (!is_mpc(self)) return type_error("requires 'mpc' object");
  return format_method<MPC_Object, mpc_format_spec>(self, args);
}

constexpr auto mpc_str = format_str<MPC_Object, mpc_format_spec>;

PyObject* mpc_repr(PyObject* self) {
  Ref text = Ref::steal(mpc_str(self));
  if (!text) return nullptr;
  mpc_srcptr c = mpc_of(self);
  long rp = static_cast<long>(mpfr_get_prec(mpc_realref(c)));
  long ip = static_cast<long>(mpfr_get_prec(mpc_imagref(c)));
  if (rp == 53 && ip == 53) return PyUnicode_FromFormat("mpc('%U')", text.get());
  return PyUnicode_FromFormat("mpc('%U',(%ld,%ld))", text.get(), rp, ip);
}

PyObject* mpc_digits_method(PyObject* self, PyObject* args) {
  return mpc_digits_args(reinterpret_cast<MPC_Object*>(self), args);
}

constexpr const char* FORMAT_DOC =
    "__format__($self, format_spec, /)\n--\n\n"
    "[<>^][+- ][#][width][.prec][rounding][type]; rounding is one of D N U Y Z,\n"
    "type one of a A b e E f F g G %.";
constexpr const char* MPC_FORMAT_DOC =
    "__format__($self, format_spec, /)\n--\n\n"
    "[<>^][+- ][#][width][.prec[.prec]][rounding][P|M][type]; 'M' writes\n"
    "(real imag), 'P' real+imagj.";
constexpr const char* DIGITS_DOC =
    "digits($self, base=10, prec=0, /)\n--\n\n"
    "(digits, exponent, precision) with x ~ 0.digits * base**exponent; prec=0\n"
    "gives enough digits to read the value back exactly.";

// repr and str of mpfr and mpc.
void setup_floating_format_slots() noexcept {
  MPFR_Type.tp_repr = mpfr_repr;
  MPFR_Type.tp_str = mpfr_str;
  MPC_Type.tp_repr = mpc_repr;
  MPC_Type.tp_str = mpc_str;
}

const FnDef format_real_methods[] = {
    varargs("__format__", mpfr_format_method, ON_MPFR, FORMAT_DOC).typed("format_spec: str, /", "str"),
    varargs("digits", mpfr_digits_method, ON_MPFR, DIGITS_DOC).typed("base: int = 10, prec: int = 0, /", "tuple[str, int, int]"),
    varargs("__format__", mpc_format_method, ON_MPC, MPC_FORMAT_DOC).typed("format_spec: str, /", "str"),
    varargs("digits", mpc_digits_method, ON_MPC, "The digits of both parts.") .typed("base: int = 10, prec: int = 0, /", "tuple[tuple[str, int, int], tuple[str, int, int]]"),
};

}  // namespace

VX_UNIT(format_real, format_real_methods, setup_floating_format_slots)

}  // namespace vx
