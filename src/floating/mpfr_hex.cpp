// mpfr.hex() and mpfr.fromhex(s): exact hexadecimal texts, as float.hex
// and float.fromhex write and read them.
#include <cctype>
#include <climits>
#include <new>
#include <string>

#include "context/context.h"
#include "core/args.h"
#include "core/errors.h"
#include "core/memory.h"
#include "core/ref.h"
#include "core/registry.h"
#include "core/temps.h"
#include "objects/check.h"

namespace vx {

namespace {

constexpr const char* BAD_TEXT = "invalid hexadecimal floating-point string";

// "0x1.<digits>p<exp>": the leading 1, then the other precision - 1 bits in
// hexadecimal digits (the last one filled with zero bits), so that 53 bits
// give float's 13 digits.
PyObject* mpfr_hex(PyObject* self, PyObject*) {
  mpfr_srcptr x = mpfr_of(self);
  if (mpfr_nan_p(x)) return PyUnicode_FromString("nan");
  if (mpfr_inf_p(x)) return PyUnicode_FromString(mpfr_signbit(x) ? "-inf" : "inf");
  if (mpfr_zero_p(x)) return PyUnicode_FromString(mpfr_signbit(x) ? "-0x0.0p+0" : "0x0.0p+0");
  const mpfr_prec_t p = mpfr_get_prec(x);
  Mpz m;
  const mpfr_exp_t e = mpfr_get_z_2exp(m, x);  // |m| has exactly p bits
  mpz_abs(m, m);
  mpz_clrbit(m, static_cast<mp_bitcnt_t>(p - 1));
  const auto digits = static_cast<size_t>((p - 1 + 3) / 4);
  mpz_mul_2exp(m, m, static_cast<mp_bitcnt_t>(digits * 4 - static_cast<size_t>(p - 1)));
  try {
    std::string text = mpfr_signbit(x) ? "-0x1" : "0x1";
    if (digits) {
      std::string frac(mpz_sizeinbase(m, 16) + 2, '\0');
      mpz_get_str(frac.data(), 16, m);
      frac.resize(std::char_traits<char>::length(frac.data()));
      text.append(1, '.').append(digits - frac.size(), '0').append(frac);
    }
    const long long exponent = static_cast<long long>(e) + p - 1;
    text.append(exponent < 0 ? "p-" : "p+").append(std::to_string(exponent < 0 ? -exponent : exponent));
    return PyUnicode_FromStringAndSize(text.data(), static_cast<Py_ssize_t>(text.size()));
  } catch (const std::bad_alloc&) {
    return memory_error();
  }
}

bool is_hex(char c) noexcept { return std::isxdigit(static_cast<unsigned char>(c)) != 0; }

bool same_word(const char* p, const char* end, const char* word) noexcept {
  for (; p < end && *word; ++p, ++word)
    if (std::tolower(static_cast<unsigned char>(*p)) != *word) return false;
  return p == end && !*word;
}

// The exponent after 'p': a signed decimal, kept within ±2**62 (beyond every
// exponent range MPFR has, so the result still overflows or underflows).
bool read_exponent(const char*& p, const char* end, long long& out) noexcept {
  bool negative = false;
  if (p < end && (*p == '+' || *p == '-')) negative = *p++ == '-';
  if (p == end || !std::isdigit(static_cast<unsigned char>(*p))) return false;
  constexpr long long LIMIT = 1LL << 62;
  long long v = 0;
  for (; p < end && std::isdigit(static_cast<unsigned char>(*p)); ++p)
    v = v < LIMIT / 10 ? v * 10 + (*p - '0') : LIMIT;
  out = negative ? -v : v;
  return true;
}

// The text's value as m * 2**e, or the special values; false for a text
// float.fromhex refuses.
struct HexValue {
  Mpz m;
  long long e = 0;
  bool negative = false;
  bool inf = false, nan = false;
};

bool parse_hex(const char* p, const char* end, HexValue& v) {
  while (p < end && std::isspace(static_cast<unsigned char>(*p))) ++p;
  while (end > p && std::isspace(static_cast<unsigned char>(end[-1]))) --end;
  if (p < end && (*p == '+' || *p == '-')) v.negative = *p++ == '-';
  v.inf = same_word(p, end, "inf") || same_word(p, end, "infinity");
  v.nan = same_word(p, end, "nan");
  if (v.inf || v.nan) return true;
  if (end - p >= 2 && p[0] == '0' && (p[1] == 'x' || p[1] == 'X')) p += 2;
  std::string digits;
  long long fraction = 0;
  for (; p < end && is_hex(*p); ++p) digits += *p;
  if (p < end && *p == '.') {
    for (++p; p < end && is_hex(*p); ++p, ++fraction) digits += *p;
  }
  if (digits.empty()) return false;
  if (p < end && (*p == 'p' || *p == 'P')) {
    ++p;
    if (!read_exponent(p, end, v.e)) return false;
  }
  if (p != end) return false;
  v.e -= 4 * fraction;
  return mpz_set_str(v.m, digits.c_str(), 16) == 0;
}

PyObject* mpfr_fromhex(PyObject*, PyObject* const* args, Py_ssize_t nargs) {
  if (!want_args(nargs, 1, "fromhex() requires 1 argument")) return nullptr;
  if (!PyUnicode_Check(args[0])) return type_error("fromhex() argument must be str");
  Py_ssize_t n = 0;
  const char* s = PyUnicode_AsUTF8AndSize(args[0], &n);
  if (!s) return nullptr;
  if (!memory_can_hold(static_cast<uint64_t>(n) * 2)) return memory_error();
  Own<CTXT_Object> ctx(current_context());
  if (!ctx) return nullptr;
  Own<MPFR_Object> r(new_mpfr(0, ctx.get()));
  if (!r) return nullptr;
  HexValue v;
  try {
    if (!parse_hex(s, s + n, v)) return value_error(BAD_TEXT);
  } catch (const std::bad_alloc&) {
    return memory_error();
  }
  // NaN and the infinities are read as they are, as mpfr('nan') is.
  if (v.nan || v.inf) {
    if (v.nan)
      mpfr_set_nan(r->f);
    else
      mpfr_set_inf(r->f, v.negative ? -1 : 1);
    return reinterpret_cast<PyObject*>(r.release());
  }
  if (v.negative) mpz_neg(v.m, v.m);
  mpfr_clear_flags();
  r->rc = mpfr_set_z_2exp(r->f, v.m, static_cast<mpfr_exp_t>(v.e), rnd(ctx->ctx));
  // A zero keeps its sign, as float.fromhex('-0x0p0') does.
  if (mpfr_zero_p(r->f) && v.negative && mpz_sgn(v.m.get()) == 0) mpfr_neg(r->f, r->f, MPFR_RNDN);
  return reinterpret_cast<PyObject*>(check_real(std::move(r), ctx.get()));
}

const FnDef rows[] = {
    noargs("hex", mpfr_hex, ON_MPFR, "Return x exactly as a hexadecimal text '[-]0x1.<digits>p<exp>', with the\nprecision's bits after the leading 1 (13 digits at 53 bits, the text\nfloat.hex writes for a normal float); 'inf', '-inf', 'nan', '0x0.0p+0'.") .typed("/", "str"),
    with_flag(fast("fromhex", mpfr_fromhex, ON_MPFR, "Return the mpfr a hexadecimal text ([sign][0x]digits[.digits][p[sign]exp],\nor inf, infinity, nan) denotes, read exactly and rounded to the current\ncontext's precision with its rounding; its flags and traps (inexact,\noverflow, underflow) apply. At 53 bits it gives float.fromhex's value.") .typed("s: str, /", "mpfr"), METH_CLASS),
};

}  // namespace

VX_UNIT(floating_mpfr_hex, rows)

}  // namespace vx
