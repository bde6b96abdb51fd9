// Probable-prime tests: Fermat, Euler, strong (Miller-Rabin), Fibonacci,
// Lucas, strong and extra-strong Lucas, Selfridge, strong Selfridge and the
// two Baillie-PSW tests.
//
// Each test works on integers converted from its arguments, runs its
// parameter checks in a fixed order, then settles n = 1 and even n, and
// runs the test proper on odd n >= 3. The cores return 1 (n passes),
// 0 (n is composite) or -1 (an exception is set).
#include "convert/int_conv.h"
#include "core/args.h"
#include "core/errors.h"
#include "core/ref.h"
#include "core/registry.h"
#include "core/signals.h"
#include "core/temps.h"
#include "integer/lucas.h"
#include "integer/mpz_internal.h"

namespace vx {

namespace {

// The settled answer for n = 1 and even n (n > 0), or -1 when the test must run.
int small_n(mpz_srcptr n) noexcept {
  if (mpz_cmp_ui(n, 1) == 0) return 0;
  if (mpz_even_p(n)) return mpz_cmp_ui(n, 2) == 0;
  return -1;
}

// The messages of one test.
struct Names {
  Need count;        // wrong count or failed conversion (TypeError)
  const char* param;  // invalid 'a' or p,q
  const char* gcd;    // a shared factor with n
  const char* no_d;   // the Selfridge search failed
};

// ---- Tests to a base a ----

// The checks shared by the base-a tests; -1 when n must be tested.
int base_checks(const Names& w, mpz_srcptr n, mpz_srcptr a) noexcept {
  if (mpz_cmp_ui(a, 2) < 0) return value_error(w.param);
  if (mpz_sgn(n) <= 0) return fn_error(PyExc_ValueError, w.count.name, "requires 'n' be greater than 0");
  int s = small_n(n);
  if (s >= 0) return s;
  Mpz g;
  mpz_gcd(g, n, a);
  if (mpz_cmp_ui(g.get(), 1) > 0) return value_error(w.gcd);
  return -2;
}

int fermat(const Names& w, mpz_srcptr n, mpz_srcptr a) noexcept {
  int s = base_checks(w, n, a);
  if (s != -2) return s;
  Mpz e, r;
  mpz_sub_ui(e, n, 1);
  mpz_powm(r, a, e, n);
  return mpz_cmp_ui(r.get(), 1) == 0;
}

int euler(const Names& w, mpz_srcptr n, mpz_srcptr a) noexcept {
  int s = base_checks(w, n, a);
  if (s != -2) return s;
  Mpz e, r, expect;
  mpz_sub_ui(e, n, 1);
  mpz_fdiv_q_2exp(e, e, 1);
  mpz_powm(r, a, e, n);
  const int j = mpz_jacobi(a, n);
  if (j >= 0)
    mpz_set_ui(expect, static_cast<unsigned long>(j));  // n + j mod n
  else
    mpz_sub_ui(expect, n, 1);
  return mpz_cmp(r, expect) == 0;
}

// The strong test of odd n >= 3 to base a, checks done.
int strong_core(mpz_srcptr n, mpz_srcptr a) noexcept {
  Mpz nm1, d, r;
  mpz_sub_ui(nm1, n, 1);
  const mp_bitcnt_t s = mpz_scan1(nm1, 0);
  mpz_fdiv_q_2exp(d, nm1, s);
  mpz_powm(r, a, d, n);
  if (mpz_cmp_ui(r.get(), 1) == 0 || mpz_cmp(r, nm1) == 0) return 1;
  for (mp_bitcnt_t i = 1; i < s; ++i) {
    if (interrupted()) return -1;
    mpz_mul(r, r, r);
    mpz_mod(r, r, n);
    if (mpz_cmp(r, nm1) == 0) return 1;
  }
  return 0;
}

int strong(const Names& w, mpz_srcptr n, mpz_srcptr a) noexcept {
  int s = base_checks(w, n, a);
  if (s != -2) return s;
  return strong_core(n, a);
}

// ---- Lucas tests ----

// D = p*p - 4q.
void discriminant(mpz_ptr d, mpz_srcptr p, mpz_srcptr q) noexcept {
  mpz_mul(d, p, p);
  mpz_submul_ui(d, q, 4);
}

// n - Jacobi(D, n): the index whose U term a prime n divides.
void lucas_index(mpz_ptr m, mpz_srcptr n, mpz_srcptr d) noexcept {
  const int j = mpz_jacobi(d, n);
  if (j > 0)
    mpz_sub_ui(m, n, 1);
  else if (j < 0)
    mpz_add_ui(m, n, 1);
  else
    mpz_set(m, n);
}

// gcd(f, n) is neither 1 nor n: a proper factor of n (odd n >= 3).
bool shares_factor(mpz_srcptr f, mpz_srcptr n) noexcept {
  Mpz g;
  mpz_gcd(g, f, n);
  return mpz_cmp_ui(g.get(), 1) > 0 && mpz_cmp(g, n) != 0;
}

int fibonacci(const Names& w, mpz_srcptr n, mpz_srcptr p, mpz_srcptr q) noexcept {
  Mpz d;
  discriminant(d, p, q);
  if (mpz_sgn(d.get()) == 0 || mpz_cmpabs_ui(q, 1) != 0 || mpz_sgn(p) <= 0) return value_error(w.param);
  if (mpz_sgn(n) <= 0) return fn_error(PyExc_ValueError, w.count.name, "requires 'n' be greater than 0");
  int s = small_n(n);
  if (s >= 0) return s;
  LucasLadder l;
  if (!l.run(p, q, n, n, false)) return -1;
  Mpz pm;
  mpz_mod(pm, p, n);
  return mpz_cmp(l.vl, pm) == 0;
}

// The checks of the Lucas tests with parameters p, q; -2 when n must be tested.
int lucas_checks(const Names& w, mpz_srcptr n, mpz_srcptr p, mpz_srcptr q, mpz_ptr d) noexcept {
  discriminant(d, p, q);
  if (mpz_sgn(d) == 0) return value_error(w.param);
  if (mpz_sgn(n) <= 0) return fn_error(PyExc_ValueError, w.count.name, "requires 'n' be greater than 0");
  int s = small_n(n);
  if (s >= 0) return s;
  Mpz f;
  mpz_mul(f, q, d);
  mpz_mul_2exp(f, f, 1);
  if (shares_factor(f, n)) return value_error(w.gcd);
  return -2;
}

// Runs the ladder on m and tells whether U(m) == 0 (mod n) (1 or 0; -1 when
// interrupted); vl is V(m) after.
// When D is invertible modulo n, U(m) is read from D*U(m) = 2*V(m+1) - P*V(m)
// and the ladder need not carry U, a third less work.
int u_vanishes(LucasLadder& l, mpz_srcptr n, mpz_srcptr p, mpz_srcptr q, mpz_srcptr d, mpz_srcptr m) noexcept {
  Mpz g;
  mpz_gcd(g, d, n);
  if (mpz_cmp_ui(g.get(), 1) != 0) {
    if (!l.run(p, q, m, n, true)) return -1;
    return mpz_sgn(l.uh.get()) == 0;
  }
  if (!l.run(p, q, m, n, false)) return -1;
  mpz_mul_2exp(g, l.vh, 1);
  mpz_submul(g, p, l.vl);
  return mpz_divisible_p(g, n);
}

// U(n - Jacobi(D, n)) == 0 (mod n), odd n >= 3.
int lucas_core(mpz_srcptr n, mpz_srcptr p, mpz_srcptr q, mpz_srcptr d) noexcept {
  Mpz m;
  lucas_index(m, n, d);
  LucasLadder l;
  return u_vanishes(l, n, p, q, d, m);
}

// The strong Lucas test of odd n >= 3.
int strong_lucas_core(mpz_srcptr n, mpz_srcptr p, mpz_srcptr q, mpz_srcptr d) noexcept {
  Mpz m;
  lucas_index(m, n, d);
  const mp_bitcnt_t s = mpz_scan1(m, 0);
  mpz_fdiv_q_2exp(m, m, s);
  LucasLadder l;
  const int u = u_vanishes(l, n, p, q, d, m);
  if (u < 0) return -1;
  if (u || mpz_sgn(l.vl.get()) == 0) return 1;
  for (mp_bitcnt_t i = 1; i < s; ++i) {
    if (interrupted()) return -1;
    l.double_v(n);
    if (mpz_sgn(l.vl.get()) == 0) return 1;
  }
  return 0;
}

int lucas(const Names& w, mpz_srcptr n, mpz_srcptr p, mpz_srcptr q) noexcept {
  Mpz d;
  int s = lucas_checks(w, n, p, q, d);
  return s != -2 ? s : lucas_core(n, p, q, d);
}

int strong_lucas(const Names& w, mpz_srcptr n, mpz_srcptr p, mpz_srcptr q) noexcept {
  Mpz d;
  int s = lucas_checks(w, n, p, q, d);
  return s != -2 ? s : strong_lucas_core(n, p, q, d);
}

int extra_strong_lucas(const Names& w, mpz_srcptr n, mpz_srcptr p) noexcept {
  Mpz d, one(1L);
  discriminant(d, p, one);
  if (mpz_sgn(d.get()) == 0) return value_error(w.param);
  if (mpz_sgn(n) <= 0) return fn_error(PyExc_ValueError, w.count.name, "requires 'n' be greater than 0");
  int s = small_n(n);
  if (s >= 0) return s;
  Mpz f;
  mpz_mul_2exp(f, d, 1);
  if (shares_factor(f, n)) return value_error(w.gcd);
  Mpz m;
  lucas_index(m, n, d);
  const mp_bitcnt_t z = mpz_scan1(m, 0);
  mpz_fdiv_q_2exp(m, m, z);
  LucasLadder l;
  const int u = u_vanishes(l, n, p, one, d, m);
  if (u < 0) return -1;
  if (u) {
    Mpz nm2;
    mpz_sub_ui(nm2, n, 2);
    if (mpz_cmp_ui(l.vl.get(), 2) == 0 || mpz_cmp(l.vl, nm2) == 0) return 1;
  }
  if (mpz_sgn(l.vl.get()) == 0) return 1;
  for (mp_bitcnt_t i = 2; i < z; ++i) {
    if (interrupted()) return -1;
    l.double_v(n);
    if (mpz_sgn(l.vl.get()) == 0) return 1;
  }
  return 0;
}

// The Selfridge choice of parameters for odd n >= 3: the first D of 5, -7,
// 9, -11, ... with Jacobi(D, n) = -1, P = 1 and Q = (1 - D) / 4; then the
// Lucas test (or the strong one) with them.
int selfridge_core(const Names& w, mpz_srcptr n, bool strong_test) noexcept {
  long d = 5;
  for (;;) {
    const int j = mpz_si_kronecker(d, n);
    if (j == -1) break;
    if (j == 0) return mpz_cmp_ui(n, static_cast<unsigned long>(d < 0 ? -d : d)) == 0 && d != 9;
    if (d == 13 && mpz_perfect_square_p(n)) return 0;  // a square has no such D
    d = d > 0 ? -(d + 2) : -d + 2;
    if (d >= 1000000) return value_error(w.no_d);
  }
  // Q shares no factor with n: every odd prime dividing Q is smaller than
  // |D| and came earlier in the sequence as +-D (3 as 9) with Jacobi 0.
  Mpz p(1L), q((1 - d) / 4), dz(d);
  return strong_test ? strong_lucas_core(n, p, q, dz) : lucas_core(n, p, q, dz);
}

int selfridge(const Names& w, mpz_srcptr n, bool strong_test) noexcept {
  if (mpz_sgn(n) <= 0) return fn_error(PyExc_ValueError, w.count.name, "requires 'n' be greater than 0");
  int s = small_n(n);
  return s >= 0 ? s : selfridge_core(w, n, strong_test);
}

// ---- Entry points ----

constexpr Names FERMAT{Need{"is_fermat_prp", "2 integer arguments"},
                       "is_fermat_prp() requires 'a' greater than or equal to "
                       "2", "is_fermat_prp() requires gcd(n,a) == 1",
                       nullptr};
constexpr Names EULER{Need{"is_euler_prp", "2 integer arguments"},
                      "is_euler_prp() requires 'a' greater than or equal to 2", "is_euler_prp() requires gcd(n,a) == 1",
                      nullptr};
constexpr Names STRONG{Need{"is_strong_prp", "2 integer arguments"},
                       "is_strong_prp() requires 'a' greater than or equal to "
                       "2", "is_strong_prp() requires gcd(n,a) == 1",
                       nullptr};
constexpr Names FIBONACCI{Need{"is_fibonacci_prp", "3 integer arguments"},
                          "invalid values for p,q in is_fibonacci_prp()", nullptr, nullptr};
constexpr Names LUCAS{Need{"is_lucas_prp", "3 integer "
                                           "arguments"}, "invalid values for p,q in "
                                                         "is_lucas_prp()", "is_lucas_prp() requires gcd(n,2*q*D) == 1",
                      nullptr};
constexpr Names STRONG_LUCAS{Need{"is_strong_lucas_prp", "3 integer arguments"},
                             "invalid values for p,q in is_strong_lucas_prp()",
                             "is_strong_lucas_prp() requires gcd(n,2*q*D) == 1", nullptr};
constexpr Names EXTRA_STRONG{Need{"is_extra_strong_lucas_prp", "2 integer arguments"},
                             "invalid value for p in is_extra_strong_lucas_prp()",
                             "is_extra_strong_lucas_prp() requires gcd(n,2*D) == 1", nullptr};
constexpr Names SELFRIDGE{Need{"is_selfridge_prp", "1 integer argument"}, nullptr, nullptr,
                          "appropriate value for D cannot be found in is_selfridge_prp()"};
constexpr Names STRONG_SELFRIDGE{Need{"is_strong_selfridge_prp", "1 integer argument"}, nullptr, nullptr,
                                 "appropriate value for D cannot be found in is_strong_selfridge_prp()"};
constexpr Names BPSW{Need{"is_bpsw_prp", "1 integer argument"}, nullptr, nullptr, nullptr};
constexpr Names STRONG_BPSW{Need{"is_strong_bpsw_prp", "1 integer argument"}, nullptr, nullptr, nullptr};

// Checks the count and converts every argument; false with the test's TypeError.
template <Py_ssize_t N>
bool take_args(const Names& w, PyObject* const* args, Py_ssize_t nargs, Own<MPZ_Object> (&a)[N]) noexcept {
  return want_args(nargs, N, w.count) && int_args(a, args, N, w.count, true);
}

PyObject* result(int r) noexcept { return r < 0 ? nullptr : PyBool_FromLong(r); }

using Test2 = int (*)(const Names&, mpz_srcptr, mpz_srcptr) noexcept;
using Test3 = int (*)(const Names&, mpz_srcptr, mpz_srcptr, mpz_srcptr) noexcept;

template <const Names& W, Test2 T>
PyObject* entry2(PyObject*, PyObject* const* args, Py_ssize_t nargs) {
  Own<MPZ_Object> a[2];
  if (!take_args(W, args, nargs, a)) return nullptr;
  return result(T(W, a[0]->z, a[1]->z));
}

template <const Names& W, Test3 T>
PyObject* entry3(PyObject*, PyObject* const* args, Py_ssize_t nargs) {
  Own<MPZ_Object> a[3];
  if (!take_args(W, args, nargs, a)) return nullptr;
  return result(T(W, a[0]->z, a[1]->z, a[2]->z));
}

template <const Names& W, bool STRONG_TEST>
PyObject* entry_selfridge(PyObject*, PyObject* const* args, Py_ssize_t nargs) {
  Own<MPZ_Object> a[1];
  if (!take_args(W, args, nargs, a)) return nullptr;
  return result(selfridge(W, a[0]->z, STRONG_TEST));
}

// Baillie-PSW: the strong test to base 2, then the Selfridge test.
template <const Names& W, bool STRONG_TEST>
PyObject* entry_bpsw(PyObject*, PyObject* const* args, Py_ssize_t nargs) {
  Own<MPZ_Object> a[1];
  if (!take_args(W, args, nargs, a)) return nullptr;
  mpz_srcptr n = a[0]->z;
  if (mpz_sgn(n) <= 0) return fn_error(PyExc_ValueError, W.count.name, "requires 'n' be greater than 0");
  int s = small_n(n);
  if (s >= 0) return result(s);
  const Mpz two(2L);
  s = strong_core(n, two);
  if (s <= 0) return result(s);
  return result(selfridge_core(STRONG_TEST ? STRONG_SELFRIDGE : SELFRIDGE, n, STRONG_TEST));
}

const FnDef rows[] = {
    fast("is_fermat_prp", entry2<FERMAT, fermat>, IN_MODULE, "Return True if n is a Fermat probable prime to the base a.\nAssuming:\n    gcd(n,a) == 1\nThen a Fermat probable prime requires:\n    a**(n-1) == 1 (mod n)").typed("n: _Int, a: _Int, /", "bool"),
    fast("is_euler_prp", entry2<EULER, euler>, IN_MODULE, "Return True if n is an Euler (also known as Solovay-Strassen)\nprobable prime to the base a.\nAssuming:\n    gcd(n,a) == 1\n    n is odd\nThen an Euler probable prime requires:\n    a**((n-1)/2) == (a/n) (mod n)\nwhere (a/n) is the Jacobi symbol.").typed("n: _Int, a: _Int, /", "bool"),
    fast("is_strong_prp", entry2<STRONG, strong>, IN_MODULE, "Return True if n is a strong (also known as Miller-Rabin)\nprobable prime to the base a.\nAssuming:\n    gcd(n,a) == 1\n    n is odd\n    n = s*(2**r) + 1, with s odd\nThen a strong probable prime requires one of the following is true:\n    a**s == 1 (mod n)\n    or\n    a**(s*(2**t)) == -1 (mod n) for some t, 0 <= t < r.").typed("n: _Int, a: _Int, /", "bool"),
    fast("is_fibonacci_prp", entry3<FIBONACCI, fibonacci>, IN_MODULE, "Return True if n is a Fibonacci probable prime with parameters (p,q).\nAssuming:\n    n is odd\n    p > 0, q = +/-1\n    p*p - 4q != 0\nThen a Fibonacci probable prime requires:\n    lucasv(p,q,n) == p (mod n).").typed("n: _Int, p: _Int, q: _Int, /", "bool"),
    fast("is_lucas_prp", entry3<LUCAS, lucas>, IN_MODULE, "Return True if n is a Lucas probable prime with parameters (p,q).\nAssuming:\n    n is odd\n    D = p*p - 4*q, D != 0\n    gcd(n, 2*q*D) == 1\nThen a Lucas probable prime requires:\n    lucasu(p,q,n - Jacobi(D,n)) == 0 (mod n)").typed("n: _Int, p: _Int, q: _Int, /", "bool"),
    fast("is_strong_lucas_prp", entry3<STRONG_LUCAS, strong_lucas>, IN_MODULE, "Return True if n is a strong Lucas probable prime with parameters (p,q).\nAssuming:\n    n is odd\n    D = p*p - 4*q, D != 0\n    gcd(n, 2*q*D) == 1\n    n - Jacobi(D,n) = 2**r * s, with s odd\nThen a strong Lucas probable prime requires:\n    lucasu(p,q,s) == 0 (mod n)\n    or\n    lucasv(p,q,s*(2**t)) == 0 (mod n) for some t, 0 <= t < r").typed("n: _Int, p: _Int, q: _Int, /", "bool"),
    fast("is_extra_strong_lucas_prp", entry2<EXTRA_STRONG, extra_strong_lucas>, IN_MODULE, "Return True if n is an extra strong Lucas probable prime with\nparameters (p,1).\nAssuming:\n    n is odd\n    D = p*p - 4, D != 0\n    gcd(n, 2*D) == 1\n    n - Jacobi(D,n) = 2**r * s, with s odd\nThen an extra strong Lucas probable prime requires:\n    lucasu(p,1,s) == 0 (mod n) and lucasv(p,1,s) == +/-2 (mod n)\n    or\n    lucasv(p,1,s*(2**t)) == 0 (mod n) for some t, 0 <= t < r-1").typed("n: _Int, p: _Int, /", "bool"),
    fast("is_selfridge_prp", entry_selfridge<SELFRIDGE, false>, IN_MODULE, "Return True if n is a Lucas probable prime with Selfridge parameters\n(p,q). The Selfridge parameters are chosen by finding the first\nelement D in the sequence {5, -7, 9, -11, 13, ...} such that\nJacobi(D,n) == -1. Then let p=1 and q = (1-D)/4. Then perform\na Lucas probable prime test.").typed("n: _Int, /", "bool"),
    fast("is_strong_selfridge_prp", entry_selfridge<STRONG_SELFRIDGE, true>, IN_MODULE, "Return True if n is a strong Lucas probable prime with Selfridge\nparameters (p,q). The Selfridge parameters are chosen by finding\nthe first element D in the sequence {5, -7, 9, -11, 13, ...} such\nthat Jacobi(D,n) == -1. Then let p=1 and q = (1-D)/4. Then perform\na strong Lucas probable prime test.").typed("n: _Int, /", "bool"),
    fast("is_bpsw_prp", entry_bpsw<BPSW, false>, IN_MODULE, "Return True if n is a Baillie-Pomerance-Selfridge-Wagstaff probable\nprime. A BPSW probable prime passes the is_strong_prp() test with\nbase 2 and the is_selfridge_prp() test.").typed("n: _Int, /", "bool"),
    fast("is_strong_bpsw_prp", entry_bpsw<STRONG_BPSW, true>, IN_MODULE, "Return True if n is a strong Baillie-Pomerance-Selfridge-Wagstaff\nprobable prime. A strong BPSW probable prime passes the\nis_strong_prp() test with base 2 and the is_strong_selfridge_prp()\ntest.").typed("n: _Int, /", "bool"),
};

}  // namespace

VX_UNIT(integer_primes, rows)

}  // namespace vx
