// mpq.__format__: the presentation types of Fraction (e E f F g G %) and,
// without a type, the fraction text, each with fill, alignment, sign,
// grouping and width. Values are rounded exactly, ties to even.
#include <algorithm>
#include <climits>
#include <cstring>
#include <new>
#include <string>

#include "convert/format_int.h"
#include "convert/format_spec.h"
#include "core/errors.h"
#include "core/memory.h"
#include "core/ref.h"
#include "core/registry.h"
#include "core/temps.h"
#include "objects/objects.h"

namespace vx {

namespace {

// A precision that would need a power of ten beyond what memory holds (or
// a text beyond what a str holds) is refused with MemoryError.
bool power_of_ten_fits(long long k) noexcept {
  const auto digits = static_cast<uint64_t>(k < 0 ? -k : k);
  return digits < static_cast<uint64_t>(PY_SSIZE_T_MAX) / 4 && memory_can_hold(digits * 2);
}

// r = x * 10**k for k >= 0 (r may be x).
void scale_by_ten(mpz_ptr r, mpz_srcptr x, long long k) noexcept {
  Mpz p;
  mpz_ui_pow_ui(p, 10, static_cast<unsigned long>(k));
  mpz_mul(r, x, p);
}

std::string decimal(mpz_srcptr x) {
  std::string s(mpz_sizeinbase(x, 10) + 2, '\0');
  mpz_get_str(s.data(), 10, x);
  s.resize(std::char_traits<char>::length(s.data()));
  return s;
}

// n/d rounded to a multiple of 10**exponent, ties to even: the multiple's
// magnitude in `out`; returns whether the result is negative (for
// no_neg_zero, a result rounded to zero is not).
bool round_to_exponent(mpz_ptr out, mpz_srcptr n, mpz_srcptr d, long long exponent, bool no_neg_zero) {
  Mpz num(n), den(d), r;
  if (exponent >= 0) {
    scale_by_ten(den, d, exponent);
  } else {
    scale_by_ten(num, n, -exponent);
  }
  // floor((num + den/2) / den); a remainder of 0 with an even den is a tie.
  mpz_fdiv_q_2exp(r, den, 1);
  mpz_add(num, num, r);
  mpz_fdiv_qr(out, r, num, den);
  if (mpz_sgn(r.get()) == 0 && mpz_even_p(den.get()) && mpz_odd_p(out)) mpz_sub_ui(out, out, 1);
  const bool negative = no_neg_zero ? mpz_sgn(out) < 0 : mpz_sgn(n) < 0;
  mpz_abs(out, out);
  return negative;
}

// cmp(|n|, d * 10**k).
int compare_scaled(mpz_srcptr n, mpz_srcptr d, long long k) {
  Mpz a, b;
  mpz_abs(a, n);
  if (k >= 0)
    scale_by_ten(b, d, k);
  else {
    scale_by_ten(a, a, -k);
    mpz_set(b, d);
  }
  return mpz_cmp(a, b);
}

// n/d (n not 0) rounded to `figures` significant digits: the significand in
// `out` (10**(figures-1) <= out < 10**figures) and its exponent.
bool round_to_figures(mpz_ptr out, long long& exponent, mpz_srcptr n, mpz_srcptr d, long long figures) {
  // m with 10**(m-1) <= |n|/d <= 10**m.
  long long m = static_cast<long long>(mpz_sizeinbase(n, 10)) - static_cast<long long>(mpz_sizeinbase(d, 10));
  while (compare_scaled(n, d, m) > 0) ++m;
  while (compare_scaled(n, d, m - 1) < 0) --m;
  exponent = m - figures;
  const bool negative = round_to_exponent(out, n, d, exponent, false);
  Mpz top;
  mpz_ui_pow_ui(top, 10, static_cast<unsigned long>(figures));
  if (mpz_cmp(out, top) == 0) {
    mpz_divexact_ui(out, out, 10);
    ++exponent;
  }
  return negative;
}

// Digits grouped by three from the right with `sep` (none when 0).
std::string grouped(const std::string& digits, char sep) {
  if (!sep || digits.size() <= 3) return digits;
  std::string out;
  const size_t first = 1 + (digits.size() - 1) % 3;
  out.append(digits, 0, first);
  for (size_t i = first; i < digits.size(); i += 3) {
    out.push_back(sep);
    out.append(digits, i, 3);
  }
  return out;
}

// sign + body padded to the format string's width with its fill on the side its
// alignment says ('>' by default; '=' pads between sign and body).
PyObject* padded(const std::string& sign, const std::string& body, const FormatSpec& s) {
  const size_t n = sign.size() + body.size();
  std::string text = sign;
  text.append(body);
  if (!s.has_width || s.width <= n)
    return PyUnicode_FromStringAndSize(text.data(), static_cast<Py_ssize_t>(text.size()));
  const Py_UCS4 fill = s.fill ? s.fill : ' ';
  const size_t pad = s.width - n;
  const char align = s.align ? s.align : '>';
  const size_t left = align == '<' ? 0 : align == '^' ? pad / 2 : align == '=' ? 0 : pad;
  Ref r = Ref::steal(PyUnicode_New(static_cast<Py_ssize_t>(s.width), std::max<Py_UCS4>(fill, 127)));
  if (!r) return nullptr;
  if (PyUnicode_Fill(r.get(), 0, static_cast<Py_ssize_t>(s.width), fill) < 0) return nullptr;
  const int kind = PyUnicode_KIND(r.get());
  void* data = PyUnicode_DATA(r.get());
  auto put = [&](size_t at, const std::string& t) {
    for (size_t i = 0; i < t.size(); ++i)
      PyUnicode_WRITE(kind, data, at + i, static_cast<Py_UCS4>(static_cast<unsigned char>(t[i])));
  };
  if (align == '=') {
    put(0, sign);
    put(sign.size() + pad, body);
  } else {
    put(left, text);
  }
  return r.release();
}

std::string positive_sign(const FormatSpec& s) { return s.sign == '+' || s.sign == ' ' ? std::string(1, s.sign) : ""; }

// No type: "n/d" (or "n" for an integer unless '#'), each part grouped.
PyObject* general_text(mpq_srcptr q, const FormatSpec& s) {
  Mpz num;
  mpz_abs(num, mpq_numref(q));
  std::string body = grouped(decimal(num), s.sep);
  if (s.alt || mpz_cmp_ui(mpq_denref(q), 1) != 0) body.append(1, '/').append(grouped(decimal(mpq_denref(q)), s.sep));
  return padded(mpz_sgn(mpq_numref(q)) < 0 ? "-" : positive_sign(s), body, s);
}

// The rounded value as significand * 10**exponent with the number of
// digits after the point, and whether it is written in scientific form.
struct Rounded {
  Mpz significand;
  long long exponent = 0;
  long long point = 0;
  bool negative = false;
  bool scientific = false;
};

void round_for_type(mpq_srcptr q, const FormatSpec& s, long long prec, Rounded& r) {
  const char t = s.type;
  if (t == 'f' || t == 'F' || t == '%') {
    r.exponent = -prec - (t == '%' ? 2 : 0);
    r.negative = round_to_exponent(r.significand, mpq_numref(q), mpq_denref(q), r.exponent, s.no_neg_zero);
    r.point = prec;
    return;
  }
  const long long figures = (t == 'g' || t == 'G') ? std::max(prec, 1LL) : prec + 1;
  if (mpz_sgn(mpq_numref(q)) == 0) {
    r.exponent = 1 - figures;
  } else {
    r.negative = round_to_figures(r.significand, r.exponent, mpq_numref(q), mpq_denref(q), figures);
  }
  r.scientific = t == 'e' || t == 'E' || r.exponent > 0 || r.exponent + figures <= -4;
  r.point = r.scientific ? figures - 1 : -r.exponent;
}

// The types e E f F g G %, as Fraction writes them.
PyObject* float_style_text(mpq_srcptr q, const FormatSpec& s) {
  const long long prec = s.points ? s.prec : 6;
  // The scale 10**prec, and digits of the text, must fit in memory.
  if (!power_of_ten_fits(prec + 2)) return memory_error();
  Rounded r;
  round_for_type(q, s, prec, r);
  std::string suffix;
  if (s.type == '%') {
    suffix = "%";
  } else if (r.scientific) {
    const long long e = r.exponent + r.point;
    const std::string digits = std::to_string(e < 0 ? -e : e);
    suffix.append(1, std::strchr("EFG", s.type) ? 'E' : 'e').append(1, e < 0 ? '-' : '+');
    suffix.append(digits.size() < 2 ? 1 : 0, '0').append(digits);
  }
  std::string digits = decimal(r.significand);
  const auto point = static_cast<size_t>(r.point);
  if (digits.size() < point + 1) digits.insert(0, point + 1 - digits.size(), '0');
  std::string leading = digits.substr(0, digits.size() - point);
  std::string fraction = digits.substr(digits.size() - point);
  if ((s.type == 'g' || s.type == 'G') && !s.alt) fraction.erase(fraction.find_last_not_of('0') + 1);
  std::string trailing;
  if (s.alt || !fraction.empty()) trailing.append(1, '.');
  trailing.append(fraction).append(suffix);
  const std::string sign = r.negative ? "-" : positive_sign(s);
  if (s.zero && s.width > sign.size() + trailing.size()) {
    const size_t room = s.width - sign.size() - trailing.size();
    const size_t want = s.sep ? 3 * room / 4 + 1 : room;
    if (leading.size() < want) leading.insert(0, want - leading.size(), '0');
  }
  return padded(sign, grouped(leading, s.sep).append(trailing), s);
}

// The elements Fraction accepts: no rounding letter, style, second
// precision or characters after the type; a point needs digits; without a
// type no 'z', '0' flag or precision; zero padding and an alignment not
// together.
bool rational_spec_ok(const FormatSpec& s) noexcept {
  if (s.trailing || s.round || s.style || s.points > 1 || (s.points && !s.prec_digits)) return false;
  if (!s.type) return !s.no_neg_zero && !s.zero && !s.points;
  return std::strchr("eEfFgG%", s.type) && !(s.zero && s.align);
}

PyObject* mpq_format(PyObject* self, PyObject* args) {
  const char* fmt = nullptr;
  if (!PyArg_ParseTuple(args, "s", &fmt)) return nullptr;
  mpq_srcptr q = mpq_of(self);
  if (!*fmt) return format_mpq(q, 10, false);
  FormatSpec s;
  if (!parse_format_spec(fmt, SpecOf::Rational, s)) return nullptr;
  if (!rational_spec_ok(s)) return invalid_spec();
  try {
    return s.type ? float_style_text(q, s) : general_text(q, s);
  } catch (const std::bad_alloc&) {
    return memory_error();
  }
}

const FnDef format_rational_methods[] = {
    varargs("__format__", mpq_format, ON_MPQ, "[[fill]align][sign][z][#][0][width][,|_][.prec][type] with the types\ne E f F g G %, rounded exactly (ties to even) as Fraction does; without\na type the fraction n/d, aligned and grouped.") .typed("format_spec: str, /", "str"),
};

}  // namespace

VX_UNIT(format_rational, format_rational_methods)

}  // namespace vx
