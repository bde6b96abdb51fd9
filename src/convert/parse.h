// Numbers written as text: the shared clean-up of the text and the
// integer, rational, real and complex parsers behind the constructors.
//
// The digit grammar is GMP's (integers, rationals) and MPFR's/MPC's (reals,
// complex numbers). The base has been checked by the caller: 0 or 2..62
// (2..36 for complex numbers).
#pragma once
#include <Python.h>
#include <gmp.h>
#include <cstddef>
#include "objects/objects.h"

namespace vx {

// Texts that would make GMP work for minutes or ask it for more memory than
// a process sensibly has are refused before GMP sees them:
// - an integer or rational text of more than MAX_TEXT_DIGITS characters
//   (GMP needs about half a minute for 10**8 decimal digits);
// - a decimal exponent in a rational text beyond +-MAX_TEXT_EXPONENT
//   ("1e99999999999999" would otherwise ask for a power of ten with that
//   many digits).
constexpr std::size_t MAX_TEXT_DIGITS = 100'000'000;
constexpr long MAX_TEXT_EXPONENT = 10'000'000;

// A str or bytes argument as ASCII, with every space and underscore removed,
// NUL-terminated. Small texts stay on the stack.
class Text {
  char small_[120];
  char* p_ = small_;
  std::size_t n_ = 0;

 public:
  Text() noexcept { small_[0] = '\0'; }
  ~Text();
  Text(const Text&) = delete;
  Text& operator=(const Text&) = delete;

  // False with ValueError "string contains non-ASCII characters" or
  // TypeError "object is not string or Unicode".
  bool load(PyObject* o) noexcept;
  char* data() noexcept { return p_; }
  std::size_t size() const noexcept { return n_; }
};

// Integer parser: nullptr with ValueError "invalid digits" (or the text errors).
MPZ_Object* mpz_from_text(PyObject* text, int base) noexcept;
XMPZ_Object* xmpz_from_text(PyObject* text, int base) noexcept;

// Rational parser: '/' and, in base 10, '.' and an exponent.
MPQ_Object* mpq_from_text(PyObject* text, int base) noexcept;

// Real parser at `prec` (1 or less: the context's); ctx may be nullptr.
MPFR_Object* mpfr_from_text(PyObject* text, int base, Prec prec, CTXT_Object* ctx) noexcept;

// Complex parser: "1+2j", "2j", "1.5", each optionally in parentheses, and
// MPC's own "(re im)" for str arguments. ctx may be nullptr.
MPC_Object* mpc_from_text(PyObject* text, int base, Prec rprec, Prec iprec,
                          CTXT_Object* ctx) noexcept;

}  // namespace vx
