// Reading a format string into a FormatSpec.
#include "convert/format_spec.h"

#include <algorithm>
#include <cstring>

#include "convert/numtext.h"
#include "core/errors.h"

namespace vx {

namespace {

// The integer formatting keeps a format string of at most 30 characters (the width
// that has no alignment gets a '>' in front).
constexpr size_t INT_SPEC_MAX = 30;
// The real and complex formatting: the alignment format string ('>' or the
// alignment, then the width) holds at most 29 characters, and at most 70
// characters follow the '%' of an MPFR conversion while the format string is read.
constexpr size_t ALIGN_MAX = 29;
constexpr size_t CONV_MAX = 70;
// Precisions are kept up to here; anything larger is refused by whoever
// renders it as more than it can produce.
constexpr long long PREC_CAP = 100'000'000'000'000'000;

bool is_digit(char c) noexcept { return c >= '0' && c <= '9'; }

// What each character may be in a format string, looked up in one table.
enum : unsigned char { ALIGN = 1, ROUNDING = 2, TYPE = 4, INT_TYPE = 8 };

struct CharClasses {
  unsigned char of[256] = {};
};

constexpr CharClasses make_char_classes() noexcept {
  CharClasses t;
  auto mark = [&t](const char* set, unsigned char bit) {
    for (; *set; ++set) t.of[static_cast<unsigned char>(*set)] |= bit;
  };
  mark("<>^=", ALIGN);
  mark("DNUYZ", ROUNDING);
  mark("bdnoxXaAeEfFgG%", TYPE);
  mark("bdnoxX", INT_TYPE);
  return t;
}

constexpr CharClasses CHAR_CLASSES = make_char_classes();

bool has_class(char c, unsigned char bit) noexcept { return (CHAR_CLASSES.of[static_cast<unsigned char>(c)] & bit) != 0; }

bool too_long() noexcept {
  value_error("too long format string");
  return false;
}

bool invalid() noexcept {
  invalid_spec();
  return false;
}

// Length of the UTF-8 sequence that starts with byte c.
size_t utf8_length(unsigned char c) noexcept { return c < 0x80 ? 1 : c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1; }

Py_UCS4 utf8_decode(const char* p, size_t n) noexcept {
  auto b = [p](size_t i) { return static_cast<Py_UCS4>(static_cast<unsigned char>(p[i])); };
  switch (n) {
    case 2: return ((b(0) & 0x1F) << 6) | (b(1) & 0x3F);
    case 3: return ((b(0) & 0x0F) << 12) | ((b(1) & 0x3F) << 6) | (b(2) & 0x3F);
    case 4: return ((b(0) & 0x07) << 18) | ((b(1) & 0x3F) << 12) | ((b(2) & 0x3F) << 6) | (b(3) & 0x3F);
    default: return b(0);
  }
}

bool is_align(char c) noexcept { return has_class(c, ALIGN); }

// Reads a run of digits; the value saturates at PREC_CAP.
const char* read_digits(const char* p, long long& value, size_t& count) noexcept {
  value = 0;
  count = 0;
  for (; is_digit(*p); ++p, ++count)
    if (value < PREC_CAP) value = value * 10 + (*p - '0');
  return p;
}

// The characters after the '%' of the real conversion (or of the longer
// complex one) once the format string has been read this far.
size_t conv_length(const FormatSpec& s, SpecOf of) noexcept {
  size_t n = (of == SpecOf::Complex || s.sign == '+' || s.sign == ' ') ? 1 : 0;
  if (s.alt) ++n;
  size_t digits = s.points ? 1 + s.prec_digits : 0;
  if (of == SpecOf::Complex && s.points == 2) digits = std::max(digits, 1 + s.prec2_digits);
  n += digits;
  if (s.round || s.style) n += of == SpecOf::Complex ? 1 + (s.round ? 1 : 0) : 2;  // "R" and the letter
  return n;
}

bool width_fits(const FormatSpec& s) noexcept { return !s.has_width || 1 + s.width_digits <= ALIGN_MAX; }

// The limits checked as each element ends (the formatting checks them before
// reading the next character).
struct Limits {
  SpecOf of;
  const char* begin;
  // The integer limit: before each character, the characters read so far
  // (with the '>' a bare width gets) must be fewer than 30.
  bool integer(const FormatSpec& s, const char* p, const char* width) const noexcept {
    if (of != SpecOf::Integer || !s.integer_form() || p == begin) return true;
    const char* last = *p ? p : p - 1;  // the last character checked
    size_t n = static_cast<size_t>(last - begin);
    if (s.has_width && !s.align && width < last) ++n;
    return n < INT_SPEC_MAX;
  }
  bool real(const FormatSpec& s) const noexcept {
    if (of == SpecOf::Rational || (of == SpecOf::Integer && s.integer_form())) return true;
    return width_fits(s) && conv_length(s, of) <= CONV_MAX;
  }
  bool ok(const FormatSpec& s, const char* p, const char* width) const noexcept {
    return integer(s, p, width) && real(s);
  }
};

}  // namespace

PyObject* invalid_spec() noexcept { return value_error("Invalid conversion specification"); }

bool FormatSpec::integer_form() const noexcept {
  return !fill && align != '=' && !no_neg_zero && !points && !round && !style &&
         (!type || has_class(type, INT_TYPE));
}

bool check_real_limits(const FormatSpec& s) noexcept {
  return (width_fits(s) && conv_length(s, SpecOf::Real) <= CONV_MAX) || too_long();
}

bool parse_format_spec(const char* fmt, SpecOf of, FormatSpec& s) noexcept {
  s = FormatSpec{};
  const Limits limits{of, fmt};
  const char* p = fmt;
  // Only the rational formatting takes a fill character: for the others a
  // type letter may come first, and what follows it is ignored.
  const size_t k = of == SpecOf::Rational ? utf8_length(static_cast<unsigned char>(*p)) : 0;
  if (k && *p && std::strlen(p) > k && is_align(p[k])) {
    s.fill = utf8_decode(p, k);
    s.align = p[k];
    p += k + 1;
  } else if (of == SpecOf::Real && p[0] == '0' && is_align(p[1]) && p[1] != '=') {
    // The real formatting reads a '0' before the alignment as the zero flag:
    // the text is padded with zeros on the side the alignment leaves free.
    s.zero = true;
    s.align = p[1];
    p += 2;
  } else if (is_align(*p)) {
    s.align = *p++;
  }
  if (*p == '+' || *p == '-' || *p == ' ') s.sign = *p++;
  if (*p == 'z') {
    s.no_neg_zero = true;
    ++p;
  }
  if (*p == '#') {
    s.alt = true;
    ++p;
  }
  const bool zero_fill = s.zero;
  if (*p == '0' && is_digit(p[1]) && !zero_fill) {
    s.zero = true;
    ++p;
  }
  const char* width = p;
  long long ignored = 0;
  p = read_digits(p, ignored, s.width_digits);
  if (p != width || (s.zero && !zero_fill)) {
    s.has_width = true;
    if (s.zero) ++s.width_digits;
    if (!limits.ok(s, p, width)) return too_long();
  }
  if (*p == ',' || *p == '_') {
    s.sep = *p++;
    if (!limits.ok(s, p, width)) return too_long();
  }
  while (*p == '.' && s.points < 2) {
    if (++s.points == 1)
      p = read_digits(p + 1, s.prec, s.prec_digits);
    else
      p = read_digits(p + 1, s.prec2, s.prec2_digits);
    if (!limits.ok(s, p, width)) return too_long();
  }
  if (has_class(*p, ROUNDING)) {
    s.round = *p++;
    if (!limits.ok(s, p, width)) return too_long();
  }
  if (*p == 'P' || *p == 'M') {
    s.style = *p++;
    if (!limits.ok(s, p, width)) return too_long();
  }
  if (has_class(*p, TYPE)) {
    s.type = *p++;
    s.trailing = *p != '\0';
  } else if (*p) {
    return invalid();
  }
  if (s.has_width && !read_width(width, width + s.width_digits - (s.zero ? 1 : 0), s.width)) return false;
  return true;
}

}  // namespace vx
