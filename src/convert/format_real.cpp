// Text of mpfr and mpc values.
//
// __format__ translates a Python-style format spec into an MPFR format
// string (handed to mpfr_asprintf) and an alignment spec (applied
// afterwards by str.__format__). The language:
//   [<>^][+- ][#][width][.prec][rounding letter][type]
// with rounding letters D N U Y Z and types a A b e E f F g G %. An mpc
// adds a second ".prec" for the imaginary part and the style letters P/M.
#include "convert/format_real.h"
#include "convert/numtext.h"

#include <climits>
#include <string_view>
#include <string>
#include <cstdio>
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

// Room after the "%" of an MPFR format string while the format spec is
// read, and the longest alignment spec.
constexpr size_t CONV_MAX = 70;
constexpr size_t ALIGN_MAX = 29;

// Fixed-capacity text; the parser's limits keep every write in bounds, and
// push() refuses rather than overflow if they did not.
template <size_t N>
struct Text {
  char s[N + 1] = {};
  size_t n = 0;
  bool push(char c) noexcept {
    if (n >= N) return false;
    s[n++] = c;
    s[n] = '\0';
    return true;
  }
  bool push(const char* t) noexcept {
    for (; *t; ++t)
      if (!push(*t)) return false;
    return true;
  }
  void truncate(size_t k) noexcept {
    n = k;
    s[n] = '\0';
  }
};
using Conv = Text<CONV_MAX + 48>;  // "%", the format spec, ".D", "R", rounding, type
using Align = Text<ALIGN_MAX + 1>;

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

bool is_rounding_letter(char c) noexcept { return c && std::strchr("DNUYZ", c); }
bool is_digit(char c) noexcept { return c >= '0' && c <= '9'; }

// Appends "." and the default digit count, recording it as the precision.
bool push_default(Conv& f, mpfr_prec_t p, double& digits) noexcept {
  char num[32];
  long long d = default_digits(p);
  PyOS_snprintf(num, sizeof num, ".%lld", d);
  digits = static_cast<double>(d);
  return f.push(num);
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

struct RealSpec {
  Conv f;
  Align a;
  char type = 'g';
  double digits = -1;  // requested digits; negative when MPFR's default applies
};

// The parsers report failure as false with the exception set.
bool invalid_spec() noexcept {
  value_error("Invalid conversion specification");
  return false;
}
bool too_long() noexcept {
  value_error("too long format string");
  return false;
}

bool parse_real_spec(const char* fmt, mpfr_prec_t prec, int round, RealSpec& r) noexcept {
  Conv& f = r.f;
  f.push('%');
  bool align = false, sign = false, hash = false, point = false, has_r = false, rletter = false, width = false;
  bool last_rounding = false, typed = false;

  // Before the first rounding or type letter: the default precision where
  // the letter needs one, then MPFR's "R" length modifier.
  auto before_letter = [&](char c, char next) noexcept {
    bool ok = true;
    if (!point && (c == 'e' || c == 'E' || (is_rounding_letter(c) && (next == 'e' || next == 'E')))) {
      ok = f.push(".6");
      r.digits = 6;
    } else if (!point && is_rounding_letter(c) && next == '\0') {
      ok = push_default(f, prec, r.digits);
    }
    has_r = true;
    return ok && f.push('R');
  };

  for (const char* p = fmt; *p && !typed; ++p) {
    if (f.n - 1 > CONV_MAX) return too_long();
    char c = *p;
    bool ok = true;
    last_rounding = false;
    if (c == '<' || c == '>' || c == '^') {
      if (align || sign || hash || point || has_r || rletter) return invalid_spec();
      ok = r.a.push(c);
      align = true;
    } else if (c == '+' || c == ' ' || c == '-') {
      // The sign comes before the width, as the '#' does.
      if (sign || hash || width || point || has_r || rletter) return invalid_spec();
      if (c != '-') ok = f.push(c);
      sign = true;
    } else if (c == '#') {
      // After the point the flag would land behind the precision, where
      // MPFR no longer reads a conversion and prints the format itself.
      // The flag comes before the width: digits on both sides of it would
      // make one width of them all.
      if (hash || point || has_r || width) return invalid_spec();
      ok = f.push(c);
      hash = true;
    } else if (c == '.') {
      if (point || has_r || rletter) return invalid_spec();
      ok = f.push(c);
      point = true;
      r.digits = 0;
    } else if (is_digit(c)) {
      if (has_r || rletter) return invalid_spec();
      if (point) {
        ok = f.push(c);
        r.digits = r.digits * 10 + (c - '0');
      } else {
        if (r.a.n == 0) {
          ok = r.a.push('>');
          align = true;
        }
        ok = ok && r.a.push(c);
        width = true;
      }
    } else if (is_rounding_letter(c)) {
      if (rletter) return invalid_spec();
      if (!has_r) ok = before_letter(c, p[1]);
      ok = ok && f.push(c);
      rletter = last_rounding = true;
    } else if (c && std::strchr("aAbeEfFgG%", c)) {
      if (!has_r) ok = before_letter(c, p[1]);
      if (!rletter) ok = ok && f.push(rounding_letter(round));
      ok = ok && (c == '%' ? f.push("f%") : f.push(c));
      r.type = c;
      typed = true;
    } else {
      return invalid_spec();
    }
    if (!ok || r.a.n > ALIGN_MAX) return too_long();
  }
  if (!typed) {
    if (f.n - 1 > CONV_MAX) return too_long();
    bool ok = true;
    if (last_rounding) {
      ok = f.push('g');
    } else {
      if (!point) ok = push_default(f, prec, r.digits);
      ok = ok && f.push("Rg");
    }
    if (!ok) return too_long();
  }
  return true;
}

struct ComplexSpec {
  Conv fr, fi;
  Align a;
  char type = 'g';
  bool parenthesised = false;
  double rdigits = -1, idigits = -1;
};

bool parse_complex_spec(const char* fmt, mpfr_prec_t rprec, mpfr_prec_t iprec, int round, ComplexSpec& r) noexcept {
  Conv &fr = r.fr, &fi = r.fi;
  fr.push('%');
  fi.push('%');
  bool align = false, sign = false, hash = false, width = false, has_r = false, rletter = false, style = false;
  bool last_letter = false, typed = false;
  int points = 0;
  size_t fi_prec_start = 0;
  auto both = [&](const char* s) noexcept { return fr.push(s) && fi.push(s); };
  auto both_c = [&](char c) noexcept { return fr.push(c) && fi.push(c); };
  auto defaults = [&]() noexcept { return push_default(fr, rprec, r.rdigits) && push_default(fi, iprec, r.idigits); };

  auto before_letter = [&](char c, char next) noexcept {
    bool ok = true;
    if (!points && (c == 'e' || c == 'E' || (is_rounding_letter(c) && (next == 'e' || next == 'E')))) {
      ok = both(".6");
      r.rdigits = r.idigits = 6;
    } else if (!points && is_rounding_letter(c) && next == '\0') {
      ok = defaults();
    }
    has_r = true;
    return ok && both_c('R');
  };

  auto over = [&]() noexcept { return fr.n - 1 > CONV_MAX || fi.n - 1 > CONV_MAX; };
  for (const char* p = fmt; *p && !typed; ++p) {
    if (over()) return too_long();
    char c = *p;
    bool ok = true;
    last_letter = false;
    if (c == '<' || c == '>' || c == '^') {
      if (align || sign || has_r || points || rletter || style || hash) return invalid_spec();
      ok = r.a.push(c);
      align = true;
    } else if (c == '+' || c == ' ' || c == '-') {
      if (sign || width || has_r || points || rletter || style || hash) return invalid_spec();
      ok = both_c(c);
      sign = true;
    } else {
      // The sign flag comes first in both conversions; "-" when none was given.
      if (!sign) {
        ok = both_c('-');
        sign = true;
      }
      if (c == '#') {
        if (hash || points || has_r || width) return invalid_spec();  // as for mpfr
        ok = ok && both_c(c);
        hash = true;
      } else if (c == '.') {
        if (has_r || rletter || style || points >= 2) return invalid_spec();
        if (points == 0) {
          ok = ok && both_c(c);
          fi_prec_start = fi.n;
          r.rdigits = r.idigits = 0;
        } else {
          fi.truncate(fi_prec_start);  // the imaginary part gets its own precision
          r.idigits = 0;
        }
        ++points;
      } else if (is_digit(c)) {
        if (has_r || rletter || style) return invalid_spec();
        if (points == 0) {
          if (r.a.n == 0) {
            ok = ok && r.a.push('>');
            align = true;
          }
          ok = ok && r.a.push(c);
          width = true;
        } else {
          if (points == 1) {
            ok = ok && fr.push(c);
            r.rdigits = r.rdigits * 10 + (c - '0');
          }
          ok = ok && fi.push(c);
          r.idigits = r.idigits * 10 + (c - '0');
        }
      } else if (is_rounding_letter(c)) {
        if (rletter || style) return invalid_spec();
        if (!has_r) ok = ok && before_letter(c, p[1]);
        ok = ok && both_c(c);
        rletter = last_letter = true;
      } else if (c == 'P' || c == 'M') {
        if (style) return invalid_spec();
        if (!has_r) ok = ok && before_letter(c, p[1]);
        r.parenthesised = c == 'M';
        style = last_letter = true;
      } else if (c && std::strchr("aAeEfFgG", c)) {
        if (!has_r) ok = ok && before_letter(c, p[1]);
        if (!rletter) ok = ok && both_c(rounding_letter(round));
        ok = ok && both_c(c);
        r.type = c;
        typed = true;
      } else {
        return invalid_spec();
      }
    }
    if (!ok || r.a.n > ALIGN_MAX) return too_long();
  }
  if (!typed) {
    if (over()) return too_long();
    bool ok = true;
    if (!sign) ok = both_c('-');
    if (last_letter) {
      ok = ok && both_c('g');
    } else {
      if (!points) ok = ok && defaults();
      ok = ok && both("Rg");
    }
    if (!ok) return too_long();
  }
  return true;
}

// ----- mpfr -----

PyObject* apply_alignment(PyObject* text, const Align& a) noexcept { return align_text(text, a.s, a.n); }

}  // namespace

PyObject* align_text(PyObject* text, const char* spec, size_t n) noexcept {
  Ref owned = Ref::steal(text);
  if (!owned || n == 0) return owned.release();
  char buf[40];
  if (n + 1 > sizeof buf) return value_error("too long format string");
  buf[0] = ' ';  // explicit fill: a leading '0' of the width is then part of the width
  std::memcpy(buf + 1, spec, n);
  Ref fmt = Ref::steal(PyUnicode_FromStringAndSize(buf, static_cast<Py_ssize_t>(n + 1)));
  if (!fmt) return nullptr;
  return PyObject_Format(owned.get(), fmt.get());
}

namespace {

// Takes the zero-padding flag (with its width) and the digit grouping out of
// a real format spec, leaving the rest for the MPFR-oriented parser.
bool split_number_style(const char* fmt, char* out, size_t cap, NumberStyle& st) noexcept {
  size_t n = std::strlen(fmt);
  if (n >= cap) {  // the parser refuses such a spec as too long
    std::memcpy(out, fmt, cap - 1);
    out[cap - 1] = '\0';
    return true;
  }
  bool align = false, point = false, in_width = false, width_done = false;
  const char* wb = nullptr;
  const char* we = nullptr;
  size_t k = 0;
  for (const char* p = fmt; *p; ++p) {
    char c = *p;
    if (!point && !in_width && !width_done && (c == '<' || c == '>' || c == '^')) align = true;
    if (c == '.') point = true;
    // The grouping follows the width: digits after it would be read as more width.
    if (!point && st.sep && is_digit(c)) return invalid_spec();
    if (!point && !width_done && is_digit(c)) {
      if (!in_width && c == '0' && !st.zero && !st.zero_fill) {
        // The flag: without an alignment the width that follows is ours,
        // with one it only makes the fill a '0'.
        (align ? st.zero_fill : st.zero) = true;
        continue;
      }
      in_width = true;
      if (st.zero) {
        if (!wb) wb = p;
        we = p + 1;
        continue;
      }
    } else if (in_width) {
      in_width = false;
      width_done = true;
    }
    if (!point && !st.sep && (c == ',' || c == '_')) {
      st.sep = c;
      width_done = true;
      continue;
    }
    out[k++] = c;
  }
  out[k] = '\0';
  // The flag and its width count against the alignment spec's length as if
  // they had stayed in it (with the '>' a bare width gets).
  if (st.zero || st.zero_fill) {
    size_t digits = 0;
    for (const char* p = fmt; *p && *p != '.'; ++p)
      if (is_digit(*p)) ++digits;
      else if (digits) break;
    if (1 + digits > ALIGN_MAX) return too_long();
  }
  return !wb || read_width(wb, we, st.width);
}

}  // namespace

namespace {

// Digits past the exact decimal expansion of a binary value are zeros. For
// a request far beyond it, MPFR writes only the digits the value has and
// the zeros are added here: MPFR's time grows faster than the output.
PyObject* exact_tail_text(const RealSpec& s, mpfr_srcptr v) noexcept {
  constexpr double SLACK = 64;
  const char t = s.type;
  const bool fixed = t == 'f' || t == 'F' || t == '%', sci = t == 'e' || t == 'E';
  if (!(fixed || sci) || !mpfr_regular_p(v) || s.digits < 0)
    return mpfr_text(s.f.s, v, SIZE_MAX, PyExc_RuntimeError, MAX_PREC_MSG);
  const double e = static_cast<double>(mpfr_get_exp(v)), p = static_cast<double>(mpfr_get_prec(v));
  double needed = std::max(0.0, p - e);  // binary fraction digits = decimal fraction digits
  if (sci && e > 0) needed += std::ceil(e * 0.3010299956639812) + 1;
  needed = std::max(needed, 1.0);
  if (s.digits <= needed + SLACK)
    return mpfr_text(s.f.s, v, SIZE_MAX, PyExc_RuntimeError, MAX_PREC_MSG);

  // The conversion with the smaller digit count in place of the requested one.
  const char* dot = std::strchr(s.f.s, '.');
  if (!dot) return mpfr_text(s.f.s, v, SIZE_MAX, PyExc_RuntimeError, MAX_PREC_MSG);
  const char* after = dot + 1;
  while (is_digit(*after)) ++after;
  char conv[CONV_MAX + 32];
  int k = std::snprintf(conv, sizeof conv, "%.*s.%.0f%s", static_cast<int>(dot - s.f.s), s.f.s, needed, after);
  if (k < 0 || static_cast<size_t>(k) >= sizeof conv)
    return mpfr_text(s.f.s, v, SIZE_MAX, PyExc_RuntimeError, MAX_PREC_MSG);
  Ref short_text = Ref::steal(mpfr_text(conv, v, SIZE_MAX, PyExc_RuntimeError, MAX_PREC_MSG));
  if (!short_text) return nullptr;
  Py_ssize_t n = 0;
  const char* u = PyUnicode_AsUTF8AndSize(short_text.get(), &n);
  if (!u) return nullptr;
  std::string_view text(u, static_cast<size_t>(n));
  // The zeros go after the last digit: before the exponent, or before '%'.
  size_t at = sci ? text.find_last_of("eE") : (t == '%' ? text.rfind('%') : text.size());
  if (at == std::string_view::npos) at = text.size();
  const size_t zeros = static_cast<size_t>(s.digits - needed);
  PyObject* out = PyUnicode_New(static_cast<Py_ssize_t>(text.size() + zeros), 127);
  if (!out) return nullptr;
  char* d = static_cast<char*>(PyUnicode_DATA(out));
  std::memcpy(d, text.data(), at);
  std::memset(d + at, '0', zeros);
  std::memcpy(d + at + zeros, text.data() + at, text.size() - at);
  return out;
}

}  // namespace

PyObject* mpfr_format_spec(MPFR_Object* x, const char* fmt, CTXT_Object* ctx) noexcept {
  char plain[128];
  NumberStyle style;
  if (!split_number_style(fmt, plain, sizeof plain, style)) return nullptr;
  RealSpec s;
  if (!parse_real_spec(plain, mpfr_get_prec(x->f), ctx->ctx.round, s)) return nullptr;
  Temp scaled;
  mpfr_srcptr v = x->f;
  if (s.type == '%') {
    scaled.emplace(mpfr_get_prec(x->f));
    mpfr_mul_ui(*scaled, x->f, 100, rnd(ctx->ctx));
    v = scaled->get();
  }
  // MPFR reports an over-long result only after producing its digits, which
  // for a large request takes unbounded time and memory: refuse up front.
  if (output_bound(v, s.type, s.digits) > INT_MAX) return raise(PyExc_RuntimeError, MAX_PREC_MSG);
  Ref text = Ref::steal(exact_tail_text(s, v));
  text = Ref::steal(style_number_text(text.release(), style));
  if (!text || !style.zero_fill || s.a.n == 0) return apply_alignment(text.release(), s.a);
  size_t width = 0;
  if (!read_width(s.a.s + 1, s.a.s + s.a.n, width)) return nullptr;
  return pad_text(text.release(), '0', s.a.s[0], width);
}

namespace {

// __format__ and str() of both floating types: the format spec applied under
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
  mpfr_srcptr re = mpc_realref(x->c), im = mpc_imagref(x->c);
  ComplexSpec s;
  if (!parse_complex_spec(fmt, mpfr_get_prec(re), mpfr_get_prec(im), ctx->ctx.round, s)) return nullptr;
  const char* internal = "Internal error in mpfr_asprintf";
  if (output_bound(re, s.type, s.rdigits) > INT_MAX || output_bound(im, s.type, s.idigits) > INT_MAX)
    return system_error(internal);
  if (!s.parenthesised) {
    // The imaginary part always shows its sign.
    char& flag = s.fi.s[1];
    if (flag != ' ' && flag != '+' && flag != '-') return value_error("Invalid conversion specification for imag");
    flag = '+';
  }
  Ref rtext = Ref::steal(mpfr_text(s.fr.s, re, COMPLEX_DOT0_MAX, PyExc_SystemError, internal));
  if (!rtext) return nullptr;
  Ref itext = Ref::steal(mpfr_text(s.fi.s, im, COMPLEX_DOT0_MAX, PyExc_SystemError, internal));
  if (!itext) return nullptr;
  PyObject* text = s.parenthesised ? PyUnicode_FromFormat("(%U %U)", rtext.get(), itext.get())
                                   : PyUnicode_FromFormat("%U%Uj", rtext.get(), itext.get());
  return apply_alignment(text, s.a);
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


void setup_floating_format_slots() noexcept {
  MPFR_Type.tp_repr = mpfr_repr;
  MPFR_Type.tp_str = mpfr_str;
  MPC_Type.tp_repr = mpc_repr;
  MPC_Type.tp_str = mpc_str;
}

const FnDef format_real_methods[] = {
    varargs("__format__", mpfr_format_method, ON_MPFR, FORMAT_DOC).typed(nullptr, "str"),
    varargs("digits", mpfr_digits_method, ON_MPFR, DIGITS_DOC).typed(nullptr, "tuple[str, int, int]"),
    varargs("__format__", mpc_format_method, ON_MPC, MPC_FORMAT_DOC).typed(nullptr, "str"),
    varargs("digits", mpc_digits_method, ON_MPC, "digits($self, base=10, prec=0, /)\n--\n\nThe digits of both parts.")
        .typed("base: int = 10, prec: int = 0, /", "tuple[tuple[str, int, int], tuple[str, int, int]]"),
};

}  // namespace

VX_UNIT(format_real, format_real_methods, setup_floating_format_slots)

}  // namespace vx
