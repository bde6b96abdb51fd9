// Parsing numbers from text.
#include "convert/parse.h"

#include <cmath>
#include <cstring>

#include "objects/check.h"
#include "convert/int_conv.h"
#include "core/errors.h"
#include "core/ref.h"
#include "core/temps.h"

namespace vx {

namespace {
// For routines that report failure as false.
inline bool failed(Fail) noexcept { return false; }
}  // namespace

Text::~Text() {
  if (p_ != small_) PyMem_Free(p_);
}

bool Text::load(PyObject* o) noexcept {
  const char* src;
  Py_ssize_t len;
  if (PyBytes_CheckExact(o)) {
    src = PyBytes_AS_STRING(o);
    len = PyBytes_GET_SIZE(o);
    for (Py_ssize_t i = 0; i < len; ++i)
      if (static_cast<unsigned char>(src[i]) > 127) return failed(value_error("string contains non-ASCII characters"));
  } else if (PyUnicode_Check(o)) {
#if PY_VERSION_HEX < 0x030C0000
    if (PyUnicode_READY(o) < 0) return false;
#endif
    if (!PyUnicode_IS_ASCII(o)) return failed(value_error("string contains non-ASCII characters"));
    src = PyUnicode_AsUTF8AndSize(o, &len);  // the ASCII data itself, no copy
    if (!src) return false;
  } else {
    return failed(type_error("object is not string or Unicode"));
  }
  if (static_cast<std::size_t>(len) >= sizeof small_) {
    p_ = static_cast<char*>(PyMem_Malloc(static_cast<std::size_t>(len) + 1));
    if (!p_) {
      p_ = small_;
      return failed(memory_error());
    }
  }
  // Spaces and underscores group digits for the reader; they carry no value.
  char* d = p_;
  for (Py_ssize_t i = 0; i < len; ++i) {
    char c = src[i];
    if (c != ' ' && c != '_') *d++ = c;
  }
  *d = '\0';
  n_ = static_cast<std::size_t>(d - p_);
  return true;
}

namespace {

Fail invalid_digits() noexcept { return value_error("invalid digits"); }

inline char lower(char c) noexcept { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }
inline bool is_digit(char c) noexcept { return c >= '0' && c <= '9'; }
inline bool is_space(char c) noexcept { return c == ' ' || (c >= '\t' && c <= '\r'); }

// GMP stops at a NUL and would read "12\0" + "34" as 12; such texts, and
// texts too long to parse in reasonable time, never reach it.
bool fit_for_gmp(const char* s, std::size_t n) noexcept {
  if (n > MAX_TEXT_DIGITS) {
    PyErr_Format(PyExc_ValueError, "string too long to convert (more than %zu digits)", MAX_TEXT_DIGITS);
    return false;
  }
  if (std::memchr(s, '\0', n)) {
    invalid_digits();
    return false;
  }
  return true;
}

// GMP reads a base prefix without digits ("0x", "-0b", "0x\t") as zero.
bool bare_prefix(const char* p) noexcept {
  while (is_space(*p)) ++p;
  if (*p == '-') ++p;
  if (p[0] != '0' || (lower(p[1]) != 'x' && lower(p[1]) != 'b')) return false;
  for (p += 2; *p; ++p)
    if (!is_space(*p)) return false;
  return true;
}

// mpz_set_str, refusing what GMP would wrongly take for zero.
int set_digits(mpz_ptr z, const char* s, int base) noexcept {
  if (mpz_set_str(z, s, base) != 0 || (base == 0 && bare_prefix(s))) return invalid_digits();
  return 0;
}

inline char* skip_space(char* p) noexcept {
  while (is_space(*p)) ++p;
  return p;
}

// Reads an integer from normalised text s (modified: none).
int parse_integer(mpz_ptr z, char* s, std::size_t n, int base) noexcept {
  if (!fit_for_gmp(s, n)) return -1;
  // White space before the sign or the prefix is passed over here, so that
  // "\t-12" reads -12 and "\t017" is decimal like "017".
  char* p = skip_space(s);
  if (*p == '+') p = skip_space(p + 1);
  const bool negative = *p == '-';
  if (negative) p = skip_space(p + 1);
  // One sign only: GMP would take "--12" as a second minus and return 12.
  if (std::strchr(p, '-')) return invalid_digits();
  if (p[0] == '0' && p[1] != '\0') {
    const char c = lower(p[1]);
    if (base == 0) {
      if (c == 'o') {
        base = 8;
        p += 2;
      } else if (c != 'b' && c != 'x') {
        base = 10;  // a leading zero never means octal
      }
    } else if ((base == 2 && c == 'b') || (base == 8 && c == 'o') || (base == 16 && c == 'x')) {
      p += 2;
    }
  }
  // Leading zeros go, but not the last one before white space ("0\t" is 0).
  if (base != 0)
    while (p[0] == '0' && p[1] != '\0' && !is_space(p[1])) ++p;
  if (set_digits(z, p, base) < 0) return -1;
  if (negative) mpz_neg(z, z);
  return 0;
}

// The decimal exponent after an 'e': white space, one sign, digits; reading
// stops at the first non-digit and no digits read as 0.
bool read_exponent(const char* p, long& out) noexcept {
  while (is_space(*p)) ++p;
  bool negative = false;
  if (*p == '+' || *p == '-') negative = *p++ == '-';
  long v = 0;
  for (; is_digit(*p); ++p) {
    v = v * 10 + (*p - '0');
    if (v > MAX_TEXT_EXPONENT) {
      PyErr_Format(PyExc_ValueError, "exponent too large in mpq() (more than %ld)", MAX_TEXT_EXPONENT);
      return false;
    }
  }
  out = negative ? -v : v;
  return true;
}

// q = q * 10**shift (shift may be negative), canonical.
void scale_by_ten(mpq_ptr q, long shift) noexcept {
  if (shift == 0) return;
  Mpz t;
  mpz_ui_pow_ui(t, 10, static_cast<unsigned long>(shift < 0 ? -shift : shift));
  if (shift > 0)
    mpz_mul(mpq_numref(q), mpq_numref(q), t);
  else
    mpz_set(mpq_denref(q), t);
  mpq_canonicalize(q);
}

// Reads a rational from normalised text s, which it may change.
int parse_rational(mpq_ptr q, char* s, std::size_t n, int base) noexcept {
  if (!fit_for_gmp(s, n)) return -1;
  char* slash = std::strchr(s, '/');
  char* dot = std::strchr(s, '.');
  char* exp = std::strchr(s, 'E');
  if (!exp) exp = std::strchr(s, 'e');
  if (slash && dot) return value_error("illegal string: both . and / found");
  if (dot && base != 10) return value_error("illegal string: embedded . requires base=10");

  long e = 0;
  if (base == 10 && !slash && exp) {
    if (dot && dot > exp) return invalid_digits();  // "1e5.5" has no meaning
    if (!read_exponent(exp + 1, e)) return -1;
    *exp = '\0';
  }
  mpz_ptr num = mpq_numref(q);
  if (dot) {
    // Drop the point (a space would stop GMP after a sign, as in "-.5") and
    // count the digits after it.
    long k = 0;
    for (char* p = dot + 1; *p; ++p) k += is_digit(*p);
    std::memmove(dot, dot + 1, std::strlen(dot + 1) + 1);
    if (set_digits(num, s, 10) < 0) return -1;
    mpz_set_ui(mpq_denref(q), 1);
    scale_by_ten(q, e - k);
    return 0;
  }
  if (slash) {
    *slash = '\0';
    if (set_digits(num, s, base) < 0 || set_digits(mpq_denref(q), slash + 1, base) < 0) return -1;
    if (mpz_sgn(mpq_denref(q)) == 0) return zero_division("zero denominator in mpq()");
    mpq_canonicalize(q);
    return 0;
  }
  if (set_digits(num, s, base) < 0) return -1;
  mpz_set_ui(mpq_denref(q), 1);
  scale_by_ten(q, e);
  return 0;
}

// Integer texts of the usual form are read in one pass: straight from the
// string into digit values for mpn_set_str, validated on the way, without
// the copy, the scans and GMP's own second pass of the general route. The
// form: an optional sign, the base prefix of base 0, 2, 8 or 16 written
// right after it ("0x1f", not "0_x1f"), then digits; white space and
// underscores may stand anywhere except inside the prefix. Every other
// text (and every faulty one) takes the general route, which reads these
// ones to the same value and reports the faults.

// A byte's digit value in GMP's texts: for bases up to 36 a letter's case
// does not matter (a-z and A-Z are 10..35); above, A-Z are 10..35 and a-z
// 36..61. SKIP marks white space and '_'; every other byte is NOT_DIGIT.
// Both exceed the largest base, so one comparison finds a digit.
constexpr unsigned char SKIP = 0xFE, NOT_DIGIT = 0xFF;

struct DigitValues {
  unsigned char folded[256];  // bases 2..36
  unsigned char cased[256];   // bases 37..62
};

constexpr DigitValues make_digit_values() noexcept {
  DigitValues t{};
  for (int c = 0; c < 256; ++c) {
    unsigned char f = NOT_DIGIT, k = NOT_DIGIT;
    if (c >= '0' && c <= '9') {
      f = k = static_cast<unsigned char>(c - '0');
    } else if (c >= 'A' && c <= 'Z') {
      f = k = static_cast<unsigned char>(c - 'A' + 10);
    } else if (c >= 'a' && c <= 'z') {
      f = static_cast<unsigned char>(c - 'a' + 10);
      k = static_cast<unsigned char>(c - 'a' + 36);
    } else if (c == ' ' || c == '_' || (c >= '\t' && c <= '\r')) {
      f = k = SKIP;
    }
    t.folded[c] = f;
    t.cased[c] = k;
  }
  return t;
}

constexpr DigitValues DIGIT_VALUES = make_digit_values();

// Room for digit values: on the stack up to 256 of them, else on the heap.
class DigitBuffer {
  static constexpr std::size_t STACK_DIGITS = 256;
  unsigned char small_[STACK_DIGITS];
  unsigned char* p_ = small_;

 public:
  DigitBuffer() noexcept = default;
  ~DigitBuffer() {
    if (p_ != small_) PyMem_Free(p_);
  }
  DigitBuffer(const DigitBuffer&) = delete;
  DigitBuffer& operator=(const DigitBuffer&) = delete;

  // False when the heap cannot give n bytes.
  bool reserve(std::size_t n) noexcept {
    if (n <= STACK_DIGITS) return true;
    auto* p = static_cast<unsigned char*>(PyMem_Malloc(n));
    if (!p) return false;
    p_ = p;
    return true;
  }
  unsigned char* data() noexcept { return p_; }
};

// The bytes of an ASCII str or of a bytes object; false for anything else.
bool ascii_bytes(PyObject* text, const unsigned char*& s, Py_ssize_t& len) noexcept {
  if (PyUnicode_Check(text)) {
#if PY_VERSION_HEX < 0x030C0000
    if (PyUnicode_READY(text) < 0) {
      PyErr_Clear();
      return false;
    }
#endif
    if (!PyUnicode_IS_ASCII(text)) return false;
    s = static_cast<const unsigned char*>(PyUnicode_DATA(text));
    len = PyUnicode_GET_LENGTH(text);
    return true;
  }
  if (PyBytes_CheckExact(text)) {
    s = reinterpret_cast<const unsigned char*>(PyBytes_AS_STRING(text));
    len = PyBytes_GET_SIZE(text);
    return true;
  }
  return false;
}

// Reads the blanks, the sign and a base prefix that the base allows (a
// base of 0 takes the prefix's, else 10); returns the base.
int read_sign_and_prefix(const unsigned char*& p, const unsigned char* end, int base, bool& negative) noexcept {
  const unsigned char* const folded = DIGIT_VALUES.folded;
  auto skip = [&] {
    while (p < end && folded[*p] == SKIP) ++p;
  };
  skip();
  negative = false;
  if (p < end && (*p == '+' || *p == '-')) {
    negative = *p++ == '-';
    skip();
  }
  if (end - p >= 2 && p[0] == '0') {
    const char c = lower(static_cast<char>(p[1]));
    const int named = c == 'x' ? 16 : c == 'b' ? 2 : c == 'o' ? 8 : 0;
    if (named && (base == 0 || base == named)) {
      base = named;
      p += 2;
    }
  }
  return base == 0 ? 10 : base;  // a leading zero never means octal
}

// The value of each digit from p on into `digits` (blanks and '_' skipped,
// leading zeros dropped): their count, or -1 when a byte is not a digit of
// the base. `zeros` tells whether leading zeros were seen.
long collect_digits(const unsigned char* p, const unsigned char* end, const unsigned char* values, unsigned base,
                    unsigned char* digits, bool& zeros) noexcept {
  zeros = false;
  for (; p < end; ++p) {
    const unsigned v = values[*p];
    if (v == 0)
      zeros = true;
    else if (v != SKIP)
      break;
  }
  long n = 0;
  for (; p < end; ++p) {
    const unsigned v = values[*p];
    if (v < base)
      digits[n++] = static_cast<unsigned char>(v);
    else if (v != SKIP)
      return -1;
  }
  return n;
}

// z = the n digit values (n > 0) read in `base`.
void digits_to_mpz(mpz_ptr z, const unsigned char* digits, std::size_t n, int base, bool negative) noexcept {
  const auto limit = static_cast<unsigned>(base);
  unsigned bits = 1;  // bits per digit, rounded up
  while ((1u << bits) < limit) ++bits;
  mp_size_t rn;
  if (n * bits <= GMP_NUMB_BITS) {
    mp_limb_t v = 0;
    for (std::size_t k = 0; k < n; ++k) v = v * limit + digits[k];
    *mpz_limbs_write(z, 1) = v;
    rn = 1;
  } else {
    // GMP's own bound: the value's bits, plus the limb mpn_set_str may
    // write beyond it (and one for the rounding of log2).
    const double value_bits = static_cast<double>(n) * std::log2(static_cast<double>(limit));
    const auto room = static_cast<mp_size_t>(value_bits / GMP_NUMB_BITS) + 3;
    mp_limb_t* rp = mpz_limbs_write(z, room);
    rn = static_cast<mp_size_t>(mpn_set_str(rp, digits, n, base));
    while (rn > 0 && rp[rn - 1] == 0) --rn;
  }
  mpz_limbs_finish(z, negative ? -rn : rn);
}

// 1 when z holds the value, 0 when the text is not of that form (z
// untouched), -1 with MemoryError.
int plain_digits(mpz_ptr z, PyObject* text, int base) noexcept {
  const unsigned char* s;
  Py_ssize_t len;
  if (!ascii_bytes(text, s, len)) return 0;
  // The length limit counts the text without its spaces: the general route judges.
  if (static_cast<std::size_t>(len) > MAX_TEXT_DIGITS) return 0;
  const unsigned char* p = s;
  const unsigned char* const end = s + len;
  bool negative = false;
  base = read_sign_and_prefix(p, end, base, negative);
  const unsigned char* const values = base <= 36 ? DIGIT_VALUES.folded : DIGIT_VALUES.cased;
  DigitBuffer buffer;
  if (!buffer.reserve(static_cast<std::size_t>(end - p))) {
    memory_error();
    return -1;
  }
  bool zeros = false;
  const long n = collect_digits(p, end, values, static_cast<unsigned>(base), buffer.data(), zeros);
  if (n < 0) return 0;
  if (n == 0) {
    if (!zeros) return 0;  // no digits at all
    mpz_set_ui(z, 0);
    return 1;
  }
  digits_to_mpz(z, buffer.data(), static_cast<std::size_t>(n), base, negative);
  return 1;
}

template <class T>
T* int_from_text(PyObject* text, int base) noexcept {
  Own<T> r(new_int<T>());
  if (!r) return nullptr;
  const int fast = plain_digits(r->z, text, base);
  if (fast < 0) return nullptr;
  if (fast > 0) return reinterpret_cast<T*>(r.release());
  Text t;
  if (!t.load(text)) return nullptr;
  if (parse_integer(r->z, t.data(), t.size(), base) < 0) return nullptr;
  return reinterpret_cast<T*>(r.release());
}

inline int sign_code(int t, int neg, int pos) noexcept { return t < 0 ? neg : (t > 0 ? pos : 0); }

}  // namespace

MPZ_Object* mpz_from_text(PyObject* text, int base) noexcept { return int_from_text<MPZ_Object>(text, base); }
XMPZ_Object* xmpz_from_text(PyObject* text, int base) noexcept { return int_from_text<XMPZ_Object>(text, base); }

MPQ_Object* mpq_from_text(PyObject* text, int base) noexcept {
  Text t;
  if (!t.load(text)) return nullptr;
  Own<MPQ_Object> r(new_mpq());
  if (!r || parse_rational(r->q, t.data(), t.size(), base) < 0) return nullptr;
  return reinterpret_cast<MPQ_Object*>(r.release());
}

MPFR_Object* mpfr_from_text(PyObject* text, int base, Prec prec, CTXT_Object* given) noexcept {
  Text t;
  if (!t.load(text)) return nullptr;
  Ctx h(given);
  CTXT_Object* ctx = h.get();
  if (!ctx) return nullptr;
  ContextRecord& c = ctx->ctx;
  Own<MPFR_Object> r(new_mpfr(prec.alloc_bits(), ctx));
  if (!r) return nullptr;
  mpfr_clear_flags();
  char* end = nullptr;
  r->rc = mpfr_strtofr(r->f, t.data(), &end, base, rnd(c));
  if (end == t.data() || end != t.data() + t.size()) return invalid_digits();
  // mpfr_strtofr rounds correctly; a value in the subnormal range is rounded
  // again, to its shorter precision, by the result check, which uses the
  // ternary value of this first rounding so that no double rounding occurs.
  return check_real(std::move(r), c);
}

MPC_Object* mpc_from_text(PyObject* text, int base, Prec rprec, Prec iprec,
                          CTXT_Object* given) noexcept {
  Ctx h(given);
  CTXT_Object* ctx = h.get();
  if (!ctx) return nullptr;
  ContextRecord& c = ctx->ctx;
  Own<MPC_Object> r(new_mpc(rprec.alloc_bits(), iprec.alloc_bits(), ctx));
  if (!r) return nullptr;
  const bool exact = rprec.is_exact() && iprec.is_exact();  // no exponent-range step then

  // MPC's own form, "(re im)", read from the text as written.
  if (PyUnicode_Check(text)) {
    Py_ssize_t len = 0;
    const char* s = PyUnicode_AsUTF8AndSize(text, &len);
    if (!s) {
      PyErr_Clear();  // the normalisation below reports the text's fault
    } else if (len > 0 && s[0] == '(') {
      char* end = nullptr;
      int inex = mpc_strtoc(r->c, s, &end, base, crnd(c));
      if (inex >= 0 && end == s + len) {
        // Both spellings of a complex number answer to the same context:
        // its exponent range, flags and traps apply here too.
        r->rc = inex & 15;
        return check_complex_opt(reinterpret_cast<MPC_Object*>(r.release()), c, !exact);
      }
    }
  }

  Text t;
  if (!t.load(text)) return nullptr;
  char* p = t.data();
  char* stop = p + t.size();  // one past the number's last character
  const bool open = t.size() > 0 && p[0] == '(';
  const bool close = t.size() > 0 && stop[-1] == ')';
  auto invalid = [] { return value_error("invalid string in mpc()"); };
  if (open != close) return invalid();
  if (open) {
    ++p;
    --stop;
  }
  const bool final_j = stop > p && stop[-1] == 'j';
  if (final_j) --stop;  // the number must end just before it

  mpfr_ptr re = mpc_realref(r->c), im = mpc_imagref(r->c);
  const auto rr = static_cast<mpfr_rnd_t>(real_round(c)), ir = static_cast<mpfr_rnd_t>(imag_round(c));
  char* end = nullptr;
  int t_re = mpfr_strtofr(re, p, &end, base, rr), t_im = 0;
  if (end == p) return invalid();
  if (*end == 'j') {
    // What was read is the imaginary part: "2j".
    mpfr_set_zero(re, 1);
    t_re = 0;
    t_im = mpfr_strtofr(im, p, &end, base, ir);
    if (!final_j || end != stop) return invalid();
  } else {
    char* from = end;
    t_im = mpfr_strtofr(im, from, &end, base, ir);
    if (end == from) {  // a real number alone: "1.5"
      mpfr_set_zero(im, 1);
      t_im = 0;
      if (final_j || end != stop) return invalid();
    } else if (!final_j || end != stop) {
      return invalid();
    }
  }
  r->rc = sign_code(t_re, 2, 1) | sign_code(t_im, 8, 4);
  return check_complex_opt(reinterpret_cast<MPC_Object*>(r.release()), c, !exact);
}

}  // namespace vx
