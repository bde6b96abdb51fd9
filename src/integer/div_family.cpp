// Integer division with an explicit rounding of the quotient: c_ (toward
// +inf), f_ (toward -inf), t_ (toward 0), by an integer or by a power of
// two, and exact division. Every function is one instantiation of a
// template over a row that names its GMP operations and messages.
#include "convert/int_conv.h"
#include "core/args.h"
#include "core/errors.h"
#include "core/ref.h"
#include "core/registry.h"
#include "integer/mpz_internal.h"

namespace vx {

namespace {

using QFn = void (*)(mpz_ptr, mpz_srcptr, mpz_srcptr);
using QRFn = void (*)(mpz_ptr, mpz_ptr, mpz_srcptr, mpz_srcptr);
using Q2Fn = void (*)(mpz_ptr, mpz_srcptr, mp_bitcnt_t);

// One rounding direction: its GMP operations.
struct Rounding {
  QFn q, r;
  QRFn qr;
  Q2Fn q2, r2;
};

constexpr Rounding CEIL{mpz_cdiv_q, mpz_cdiv_r, mpz_cdiv_qr, mpz_cdiv_q_2exp, mpz_cdiv_r_2exp};
constexpr Rounding FLOOR{mpz_fdiv_q, mpz_fdiv_r, mpz_fdiv_qr, mpz_fdiv_q_2exp, mpz_fdiv_r_2exp};
constexpr Rounding TRUNC{mpz_tdiv_q, mpz_tdiv_r, mpz_tdiv_qr, mpz_tdiv_q_2exp, mpz_tdiv_r_2exp};

// What a member returns.
enum class Out { Q, R, QR };

// One member of the family: its rounding, result shape and messages.
struct DivRow {
  const Rounding& rnd;
  Out out;
  const char* count_msg;
  const char* zero_msg;  // unused by the power-of-two forms
};

// The results of one member: one mpz, or two in a tuple.
struct Results {
  Own<MPZ_Object> a, b;
  bool make(bool two) noexcept {
    a = Own<MPZ_Object>(new_mpz());
    if (!a) return false;
    if (!two) return true;
    b = Own<MPZ_Object>(new_mpz());
    return static_cast<bool>(b);
  }
  PyObject* give(bool two) noexcept {
    if (!two) return a.release();
    PyObject* t = PyTuple_New(2);
    if (!t) return nullptr;
    PyTuple_SET_ITEM(t, 0, a.release());
    PyTuple_SET_ITEM(t, 1, b.release());
    return t;
  }
};

template <const DivRow& D>
PyObject* div_by_int(PyObject*, PyObject* const* args, Py_ssize_t nargs) {
  if (!want_args(nargs, 2, D.count_msg)) return nullptr;
  Ref x = integer_operand(args[0]);
  if (!x) return nullptr;
  Ref y = integer_operand(args[1]);
  if (!y) return nullptr;
  XmpzLock lock(x.get(), y.get());
  mpz_srcptr xz = mpz_of(x.get()), yz = mpz_of(y.get());
  if (mpz_sgn(yz) == 0) return zero_division(D.zero_msg);
  Results r;
  if (!r.make(D.out == Out::QR)) return nullptr;
  switch (D.out) {
    case Out::Q: D.rnd.q(r.a->z, xz, yz); break;
    case Out::R: D.rnd.r(r.a->z, xz, yz); break;
    case Out::QR: D.rnd.qr(r.a->z, r.b->z, xz, yz); break;
  }
  return r.give(D.out == Out::QR);
}

template <const DivRow& D>
PyObject* div_by_2exp(PyObject*, PyObject* const* args, Py_ssize_t nargs) {
  if (!want_args(nargs, 2, D.count_msg)) return nullptr;
  const unsigned long long n = read_ullong(args[1]);
  if (n == static_cast<unsigned long long>(-1) && PyErr_Occurred()) return nullptr;
  Ref x = integer_operand(args[0]);
  if (!x) return nullptr;
  XmpzLock lock(x.get());
  mpz_srcptr xz = mpz_of(x.get());
  // The c_ remainder of a positive x, and the f_ remainder of a negative
  // one, have n bits: refused when no integer (or no memory) can be that long.
  const bool long_rem = (&D.rnd == &CEIL && mpz_sgn(xz) > 0) || (&D.rnd == &FLOOR && mpz_sgn(xz) < 0);
  if (D.out != Out::Q && long_rem && n > mpz_sizeinbase(xz, 2) && !can_allocate(n)) return nullptr;
  Results r;
  if (!r.make(D.out == Out::QR)) return nullptr;
  const auto bits = static_cast<mp_bitcnt_t>(n);
  switch (D.out) {
    case Out::Q: D.rnd.q2(r.a->z, xz, bits); break;
    case Out::R: D.rnd.r2(r.a->z, xz, bits); break;
    case Out::QR:
      D.rnd.q2(r.a->z, xz, bits);
      D.rnd.r2(r.b->z, xz, bits);
      break;
  }
  return r.give(D.out == Out::QR);
}

PyObject* divexact(PyObject*, PyObject* const* args, Py_ssize_t nargs) {
  if (!want_args(nargs, 2, "divexact() requires 'mpz','mpz' arguments")) return nullptr;
  Ref x = integer_operand(args[0]);
  if (!x) return nullptr;
  Ref y = integer_operand(args[1]);
  if (!y) return nullptr;
  XmpzLock lock(x.get(), y.get());
  mpz_srcptr xz = mpz_of(x.get()), yz = mpz_of(y.get());
  if (mpz_sgn(yz) == 0) return zero_division("divexact() division by 0");
  Own<MPZ_Object> r(new_mpz());
  if (!r) return nullptr;
  mpz_divexact(r->z, xz, yz);
  return r.release();
}

#define VX_DIV_ROWS(p, RND)                                                                                  \
  constexpr DivRow p##_div{RND, Out::Q, #p "_div() requires 'mpz','mpz' arguments", #p "_div() division by 0"}; \
  constexpr DivRow p##_mod{RND, Out::R, #p "_mod() requires 'mpz','mpz' arguments", #p "_mod() division by 0"}; \
  constexpr DivRow p##_divmod{RND, Out::QR, #p "_divmod() requires 'mpz','mpz' arguments",                   \
                              #p "_divmod() division by 0"};                                               \
  constexpr DivRow p##_div_2exp{RND, Out::Q, #p "_div_2exp() requires 'mpz','int' arguments", nullptr};       \
  constexpr DivRow p##_mod_2exp{RND, Out::R, #p "_mod_2exp() requires 'mpz','int' arguments", nullptr};       \
  constexpr DivRow p##_divmod_2exp{RND, Out::QR, #p "_divmod_2exp() requires 'mpz','int' arguments", nullptr};

VX_DIV_ROWS(c, CEIL)
VX_DIV_ROWS(f, FLOOR)
VX_DIV_ROWS(t, TRUNC)
#undef VX_DIV_ROWS

#define VX_DIV_FNS(p, toward)                                                                               \
  fast(#p "_div", div_by_int<p##_div>, IN_MODULE,                                                         \
       #p "_div(x, y, /)\n--\n\nReturn the quotient of x divided by y, rounded toward " toward "."),        \
  fast(#p "_mod", div_by_int<p##_mod>, IN_MODULE,                                                         \
       #p "_mod(x, y, /)\n--\n\nReturn the remainder of x divided by y; the quotient is rounded toward "    \
          toward "."),                                                                                     \
  fast(#p "_divmod", div_by_int<p##_divmod>, IN_MODULE,                                                   \
       #p "_divmod(x, y, /)\n--\n\nReturn (q, r) with x == q*y + r, q rounded toward " toward "."),        \
  fast(#p "_div_2exp", div_by_2exp<p##_div_2exp>, IN_MODULE,                                              \
       #p "_div_2exp(x, n, /)\n--\n\nReturn the quotient of x divided by 2**n, rounded toward " toward     \
          "."),                                                                                            \
  fast(#p "_mod_2exp", div_by_2exp<p##_mod_2exp>, IN_MODULE,                                              \
       #p "_mod_2exp(x, n, /)\n--\n\nReturn the remainder of x divided by 2**n; the quotient is rounded "   \
          "toward " toward "."),                                                                           \
  fast(#p "_divmod_2exp", div_by_2exp<p##_divmod_2exp>, IN_MODULE,                                        \
       #p "_divmod_2exp(x, n, /)\n--\n\nReturn (q, r) with x == q*2**n + r, q rounded toward " toward ".")

const FnDef div_rows[] = {
    VX_DIV_FNS(c, "+Infinity"),
    VX_DIV_FNS(f, "-Infinity"),
    VX_DIV_FNS(t, "zero"),
    fast("divexact", divexact, IN_MODULE,
         "divexact(x, y, /)\n--\n\nReturn x / y for a y known to divide x exactly (faster than\n"
         "the other divisions; the result is meaningless when y does not divide x)."),
};
#undef VX_DIV_FNS

}  // namespace

VX_UNIT(integer_div_family, div_rows)

}  // namespace vx
