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
// Division known to be exact: a quotient only.
constexpr Rounding EXACT{mpz_divexact, nullptr, nullptr, nullptr, nullptr};

// What a member returns.
enum class Out { Q, R, QR };

// One member of the family: its rounding, result shape and messages.
struct DivRow {
  const Rounding& rnd;
  Out out;
  const char* name;  // in its messages
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
    return two ? steal_pair(a.release(), b.release()) : a.release();
  }
};

template <const DivRow& D>
PyObject* div_by_int(PyObject*, PyObject* const* args, Py_ssize_t nargs) {
  if (nargs != 2) return requires_args(D.name, "'mpz','mpz' arguments", nullptr, 0);
  Ref x = int_operand(args[0]);
  if (!x) return nullptr;
  Ref y = int_operand(args[1]);
  if (!y) return nullptr;
  XmpzLock lock(x.get(), y.get());
  mpz_srcptr xz = mpz_of(x.get()), yz = mpz_of(y.get());
  if (mpz_sgn(yz) == 0) return fn_error(PyExc_ZeroDivisionError, D.name, "division by 0");
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
  if (nargs != 2) return requires_args(D.name, "'mpz','int' arguments", nullptr, 0);
  const unsigned long long n = read_ullong(args[1]);
  if (n == static_cast<unsigned long long>(-1) && PyErr_Occurred()) return nullptr;
  Ref x = int_operand(args[0]);
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

constexpr DivRow c_div{CEIL, Out::Q, "c_div"};
constexpr DivRow c_mod{CEIL, Out::R, "c_mod"};
constexpr DivRow c_divmod{CEIL, Out::QR, "c_divmod"};
constexpr DivRow c_div_2exp{CEIL, Out::Q, "c_div_2exp"};
constexpr DivRow c_mod_2exp{CEIL, Out::R, "c_mod_2exp"};
constexpr DivRow c_divmod_2exp{CEIL, Out::QR, "c_divmod_2exp"};
constexpr DivRow f_div{FLOOR, Out::Q, "f_div"};
constexpr DivRow f_mod{FLOOR, Out::R, "f_mod"};
constexpr DivRow f_divmod{FLOOR, Out::QR, "f_divmod"};
constexpr DivRow f_div_2exp{FLOOR, Out::Q, "f_div_2exp"};
constexpr DivRow f_mod_2exp{FLOOR, Out::R, "f_mod_2exp"};
constexpr DivRow f_divmod_2exp{FLOOR, Out::QR, "f_divmod_2exp"};
constexpr DivRow t_div{TRUNC, Out::Q, "t_div"};
constexpr DivRow t_mod{TRUNC, Out::R, "t_mod"};
constexpr DivRow t_divmod{TRUNC, Out::QR, "t_divmod"};
constexpr DivRow t_div_2exp{TRUNC, Out::Q, "t_div_2exp"};
constexpr DivRow t_mod_2exp{TRUNC, Out::R, "t_mod_2exp"};
constexpr DivRow t_divmod_2exp{TRUNC, Out::QR, "t_divmod_2exp"};
constexpr DivRow divexact{EXACT, Out::Q, "divexact"};

const FnDef div_rows[] = {
    fast("c_div", div_by_int<c_div>, IN_MODULE, "Return the quotient of x divided by y, rounded toward +Infinity.") .typed("x: _Int, y: _Int, /", "mpz"),
    fast("c_mod", div_by_int<c_mod>, IN_MODULE, "Return the remainder of x divided by y; the quotient is rounded toward +Infinity.") .typed("x: _Int, y: _Int, /", "mpz"),
    fast("c_divmod", div_by_int<c_divmod>, IN_MODULE, "Return (q, r) with x == q*y + r, q rounded toward +Infinity.") .typed("x: _Int, y: _Int, /", "tuple[mpz, mpz]"),
    fast("c_div_2exp", div_by_2exp<c_div_2exp>, IN_MODULE, "Return the quotient of x divided by 2**n, rounded toward +Infinity.") .typed("x: _Int, n: int, /", "mpz"),
    fast("c_mod_2exp", div_by_2exp<c_mod_2exp>, IN_MODULE, "Return the remainder of x divided by 2**n; the quotient is rounded toward +Infinity.") .typed("x: _Int, n: int, /", "mpz"),
    fast("c_divmod_2exp", div_by_2exp<c_divmod_2exp>, IN_MODULE, "Return (q, r) with x == q*2**n + r, q rounded toward +Infinity.") .typed("x: _Int, n: int, /", "tuple[mpz, mpz]"),
    fast("f_div", div_by_int<f_div>, IN_MODULE, "Return the quotient of x divided by y, rounded toward -Infinity.") .typed("x: _Int, y: _Int, /", "mpz"),
    fast("f_mod", div_by_int<f_mod>, IN_MODULE, "Return the remainder of x divided by y; the quotient is rounded toward -Infinity.") .typed("x: _Int, y: _Int, /", "mpz"),
    fast("f_divmod", div_by_int<f_divmod>, IN_MODULE, "Return (q, r) with x == q*y + r, q rounded toward -Infinity.") .typed("x: _Int, y: _Int, /", "tuple[mpz, mpz]"),
    fast("f_div_2exp", div_by_2exp<f_div_2exp>, IN_MODULE, "Return the quotient of x divided by 2**n, rounded toward -Infinity.") .typed("x: _Int, n: int, /", "mpz"),
    fast("f_mod_2exp", div_by_2exp<f_mod_2exp>, IN_MODULE, "Return the remainder of x divided by 2**n; the quotient is rounded toward -Infinity.") .typed("x: _Int, n: int, /", "mpz"),
    fast("f_divmod_2exp", div_by_2exp<f_divmod_2exp>, IN_MODULE, "Return (q, r) with x == q*2**n + r, q rounded toward -Infinity.") .typed("x: _Int, n: int, /", "tuple[mpz, mpz]"),
    fast("t_div", div_by_int<t_div>, IN_MODULE, "Return the quotient of x divided by y, rounded toward zero.") .typed("x: _Int, y: _Int, /", "mpz"),
    fast("t_mod", div_by_int<t_mod>, IN_MODULE, "Return the remainder of x divided by y; the quotient is rounded toward zero.") .typed("x: _Int, y: _Int, /", "mpz"),
    fast("t_divmod", div_by_int<t_divmod>, IN_MODULE, "Return (q, r) with x == q*y + r, q rounded toward zero.") .typed("x: _Int, y: _Int, /", "tuple[mpz, mpz]"),
    fast("t_div_2exp", div_by_2exp<t_div_2exp>, IN_MODULE, "Return the quotient of x divided by 2**n, rounded toward zero.") .typed("x: _Int, n: int, /", "mpz"),
    fast("t_mod_2exp", div_by_2exp<t_mod_2exp>, IN_MODULE, "Return the remainder of x divided by 2**n; the quotient is rounded toward zero.") .typed("x: _Int, n: int, /", "mpz"),
    fast("t_divmod_2exp", div_by_2exp<t_divmod_2exp>, IN_MODULE, "Return (q, r) with x == q*2**n + r, q rounded toward zero.") .typed("x: _Int, n: int, /", "tuple[mpz, mpz]"),
    fast("divexact", div_by_int<divexact>, IN_MODULE, "Return x / y for a y known to divide x exactly (faster than\nthe other divisions; the result is meaningless when y does not divide x).") .typed("x: _Int, y: _Int, /", "mpz"),
};

}  // namespace

VX_UNIT(integer_div_family, div_rows)

}  // namespace vx
