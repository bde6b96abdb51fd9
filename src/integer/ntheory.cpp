// Number-theoretic module functions: gcd, lcm, gcdext, invert, divm, the
// Jacobi, Legendre and Kronecker symbols, remove, integer roots, next and
// previous prime, and the module forms of the integer predicates.
#include "context/context.h"
#include "convert/int_conv.h"
#include "core/args.h"
#include "core/errors.h"
#include "core/ref.h"
#include "core/registry.h"
#include "core/signals.h"
#include "core/temps.h"
#include "integer/mpz_internal.h"
#include "objects/check.h"

namespace vx {

namespace {

// ---- gcd, lcm, gcdext ----

template <bool GCD>
PyObject* gcd_lcm(PyObject*, PyObject* const* args, Py_ssize_t nargs) {
  const Need msg{GCD ? "gcd" : "lcm", "'mpz' arguments"};
  Ctx cx;
  CTXT_Object* c = cx.get();
  if (!c) return nullptr;
  Own<MPZ_Object> r(new_mpz());
  if (!r) return nullptr;
  mpz_ptr rz = r->z;
  if (!GCD) mpz_set_ui(rz, 1);
  SignalPoll poll;
  for (Py_ssize_t i = 0; i < nargs; ++i) {
    if (poll()) return nullptr;
    Own<MPZ_Object> a(int_arg(args[i], msg));
    if (!a) return nullptr;
    mpz_srcptr az = a->z;
    if (GCD) {
      if (mpz_cmp_ui(rz, 1) != 0) gmp_compute(c->ctx, [&] { mpz_gcd(rz, az, rz); });
    } else {
      gmp_compute(c->ctx, [&] { mpz_lcm(rz, az, rz); });
    }
  }
  return r.release();
}

PyObject* gcdext(PyObject*, PyObject* const* args, Py_ssize_t nargs) {
  static constexpr Need msg{"gcdext", "'mpz','mpz' arguments"};
  Ctx cx;
  CTXT_Object* c = cx.get();
  if (!c) return nullptr;
  if (!want_args(nargs, 2, msg)) return nullptr;
  Own<MPZ_Object> g(new_mpz()), s(new_mpz()), t(new_mpz());
  if (!g || !s || !t) return nullptr;
  Own<MPZ_Object> a[2];
  if (!int_args(a, args, 2, msg)) return nullptr;
  mpz_ptr gz = g->z, sz = s->z, tz = t->z;
  mpz_srcptr x = a[0]->z, y = a[1]->z;
  gmp_compute(c->ctx, [&] { mpz_gcdext(gz, sz, tz, x, y); });
  return PyTuple_Pack(3, g.get(), s.get(), t.get());
}

// ---- Inverses and modular division ----

PyObject* invert(PyObject*, PyObject* const* args, Py_ssize_t nargs) {
  static constexpr Need msg{"invert", "'mpz','mpz' arguments"};
  if (!want_args(nargs, 2, msg)) return nullptr;
  Own<MPZ_Object> a[2];
  if (!int_args(a, args, 2, msg)) return nullptr;
  mpz_srcptr x = a[0]->z, m = a[1]->z;
  if (mpz_sgn(m) == 0) return fn_error(PyExc_ZeroDivisionError, "invert", "division by 0");
  Own<MPZ_Object> r(new_mpz());
  if (!r) return nullptr;
  // Modulo 1 every number is 0, its inverse too (GMP releases disagree on it).
  if (mpz_cmpabs_ui(m, 1) == 0) return r.release();
  if (!mpz_invert(r->z, x, m)) return zero_division("invert() no inverse exists");
  return r.release();
}

PyObject* divm(PyObject*, PyObject* const* args, Py_ssize_t nargs) {
  static constexpr Need msg{"divm", "'mpz','mpz','mpz' arguments"};
  Ctx cx;
  CTXT_Object* c = cx.get();
  if (!c) return nullptr;
  if (!want_args(nargs, 3, msg)) return nullptr;
  Own<MPZ_Object> a[3];
  if (!int_args(a, args, 3, msg)) return nullptr;
  if (mpz_sgn(a[2]->z) == 0) return fn_error(PyExc_ZeroDivisionError, "divm", "division by 0");
  Own<MPZ_Object> r(new_mpz());
  if (!r) return nullptr;
  if (mpz_cmpabs_ui(a[2]->z, 1) == 0) return r.release();  // b*0 == a (mod 1)
  Mpz A(a[0]->z), B(a[1]->z), M(a[2]->z), x;
  int ok = 0;
  gmp_compute(c->ctx, [&] { ok = mpz_invert(x, B, M); });
  if (!ok) {
    // b and m share a factor g: solvable when g divides a too.
    gmp_compute(c->ctx, [&] {
      Mpz g;
      mpz_gcd(g, A, B);
      mpz_gcd(g, g, M);
      mpz_divexact(A, A, g);
      mpz_divexact(B, B, g);
      mpz_divexact(M, M, g);
      ok = mpz_cmpabs_ui(M, 1) == 0 ? (mpz_set_ui(x, 0), 1) : mpz_invert(x, B, M);
    });
    if (!ok) return zero_division("not invertible");
  }
  mpz_ptr rz = r->z;
  gmp_compute(c->ctx, [&] {
    mpz_mul(rz, x, A);
    mpz_mod(rz, rz, M);
  });
  return r.release();
}

// ---- Symbols ----

// Converts two arguments with the conversion's own errors.
bool two_ints(PyObject* const* args, Py_ssize_t nargs, Need msg, Own<MPZ_Object> (&a)[2]) noexcept {
  if (!want_args(nargs, 2, msg)) return false;
  for (int i = 0; i < 2; ++i)
    if (!(a[i] = Own<MPZ_Object>(to_mpz_intonly(args[i])))) return false;
  return true;
}

PyObject* jacobi(PyObject*, PyObject* const* args, Py_ssize_t nargs) {
  Own<MPZ_Object> a[2];
  if (!two_ints(args, nargs, Need{"jacobi", "'mpz','mpz' arguments"}, a)) return nullptr;
  if (mpz_even_p(a[1]->z)) return value_error("y must be odd");  // 0 is even
  return PyLong_FromLong(mpz_jacobi(a[0]->z, a[1]->z));
}

PyObject* legendre(PyObject*, PyObject* const* args, Py_ssize_t nargs) {
  Own<MPZ_Object> a[2];
  if (!two_ints(args, nargs, Need{"legendre", "'mpz','mpz' arguments"}, a)) return nullptr;
  if (mpz_sgn(a[1]->z) <= 0 || mpz_even_p(a[1]->z)) return value_error("y must be odd, prime, and >0");
  return PyLong_FromLong(mpz_legendre(a[0]->z, a[1]->z));
}

PyObject* kronecker(PyObject*, PyObject* const* args, Py_ssize_t nargs) {
  Own<MPZ_Object> a[2];
  if (!two_ints(args, nargs, Need{"kronecker", "'mpz','mpz' arguments"}, a)) return nullptr;
  return PyLong_FromLong(mpz_kronecker(a[0]->z, a[1]->z));
}

// ---- remove ----

PyObject* remove(PyObject*, PyObject* const* args, Py_ssize_t nargs) {
  static constexpr Need msg{"remove", "'mpz','mpz' arguments"};
  if (!want_args(nargs, 2, msg)) return nullptr;
  Own<MPZ_Object> a[2];
  if (!int_args(a, args, 2, msg)) return nullptr;
  if (mpz_cmp_ui(a[1]->z, 2) < 0) return value_error("factor must be > 1");
  Own<MPZ_Object> r(new_mpz());
  if (!r) return nullptr;
  const mp_bitcnt_t k = mpz_remove(r->z, a[0]->z, a[1]->z);
  return steal_pair(r.release(), PyLong_FromUnsignedLongLong(k));
}

// ---- Roots ----

PyObject* iroot(PyObject*, PyObject* const* args, Py_ssize_t nargs) {
  static constexpr Need msg{"iroot", "'int','int' arguments"};
  if (!want_args(nargs, 2, msg)) return nullptr;
  const int kx = classify(args[0]), kn = classify(args[1]);
  if (!is_integer_kind(kx) || !is_integer_kind(kn)) return refuse(msg, args, nargs);
  unsigned long n = read_ulong(args[1], kn);
  if (n == static_cast<unsigned long>(-1) && PyErr_Occurred()) {
    PyErr_Clear();
    const long s = read_long(args[1], kn);
    if (s == -1 && PyErr_Occurred()) return argument_needs(args[1], "iroot", "n from 1 to 2**64 - 1");
    n = 0;  // a value that fits only signed is negative
  }
  if (n == 0) return value_error("n must be > 0");
  Own<MPZ_Object> x(to_mpz(args[0], kx));
  if (!x) return nullptr;
  if (mpz_sgn(x->z) < 0) return value_error("iroot() of negative number");
  Own<MPZ_Object> r(new_mpz());
  if (!r) return nullptr;
  const int exact = mpz_root(r->z, x->z, n);
  return steal_pair(r.release(), PyBool_FromLong(exact));
}

PyObject* iroot_rem(PyObject*, PyObject* const* args, Py_ssize_t nargs) {
  static constexpr Need msg{"iroot_rem", "'int','int' arguments"};
  if (!want_args(nargs, 2, msg)) return nullptr;
  const int kx = classify(args[0]), kn = classify(args[1]);
  if (!is_integer_kind(kx) || !is_integer_kind(kn)) return refuse(msg, args, nargs);
  const unsigned long n = read_ulong(args[1], kn);
  if (n == static_cast<unsigned long>(-1) && PyErr_Occurred()) {
    PyErr_Clear();
    return value_error("n must be > 0");
  }
  if (n == 0) return value_error("n must be > 0");
  Own<MPZ_Object> x(to_mpz(args[0], kx));
  if (!x) return nullptr;
  if (mpz_sgn(x->z) < 0) return value_error("iroot_rem() of negative number");
  Own<MPZ_Object> y(new_mpz()), r(new_mpz());
  if (!y || !r) return nullptr;
  mpz_rootrem(y->z, r->z, x->z, n);
  return steal_pair(y.release(), r.release());
}

template <bool REM>
PyObject* isqrt(PyObject*, PyObject* arg) {
  Ref x = int_operand(arg, Need{REM ? "isqrt_rem" : "isqrt", "'mpz' argument"});
  if (!x) return nullptr;
  XmpzLock lock(x.get());
  mpz_srcptr z = mpz_of(x.get());
  if (mpz_sgn(z) < 0) return value_error(REM ? "isqrt_rem() of negative number" : "isqrt() of negative number");
  Own<MPZ_Object> s(new_mpz());
  if (!s) return nullptr;
  if (!REM) {
    mpz_sqrt(s->z, z);
    return s.release();
  }
  Own<MPZ_Object> r(new_mpz());
  if (!r) return nullptr;
  mpz_sqrtrem(s->z, r->z, z);
  return steal_pair(s.release(), r.release());
}

// ---- Primes ----

PyObject* next_prime(PyObject*, PyObject* arg) {
  Own<MPZ_Object> x(int_arg(arg, Need{"next_prime", "'mpz' argument"}));
  if (!x) return nullptr;
  Own<MPZ_Object> r(new_mpz());
  if (!r) return nullptr;
  mpz_nextprime(r->z, x->z);
  return r.release();
}

// The greatest prime below x >= 3.
// False with KeyboardInterrupt set when the search was interrupted.
bool prev_prime_of(mpz_ptr r, mpz_srcptr x) noexcept {
#if __GNU_MP_RELEASE >= 60300
  mpz_prevprime(r, x);
  return true;
#else
  // The same test GMP's own search makes on each candidate; odd candidates
  // downwards, 2 only below 4.
  mpz_sub_ui(r, x, 1);
  if (mpz_cmp_ui(r, 2) == 0) return true;
  if (mpz_even_p(r)) mpz_sub_ui(r, r, 1);
  while (!mpz_probab_prime_p(r, 25)) {
    if (interrupted()) return false;
    mpz_sub_ui(r, r, 2);
  }
  return true;
#endif
}

PyObject* prev_prime(PyObject*, PyObject* arg) {
  Own<MPZ_Object> x(int_arg(arg, Need{"prev_prime", "'mpz' argument"}));
  if (!x) return nullptr;
  if (mpz_cmp_ui(x->z, 3) < 0) return value_error("x must be >= 3");
  Own<MPZ_Object> r(new_mpz());
  if (!r) return nullptr;
  if (!prev_prime_of(r->z, x->z)) return nullptr;
  return r.release();
}

// ---- Module forms of the mpz predicates ----

using Pred = PyObject* (*)(PyObject*);

template <Pred P>
PyObject* predicate(PyObject*, PyObject* arg, Need msg) {
  Ref x = Ref::steal(int_arg(arg, msg));
  return x ? P(x.get()) : nullptr;
}

PyObject* is_even(PyObject* m, PyObject* a) { return predicate<mpz_pred::even>(m, a, Need{"is_even", "'mpz' "
    "argument"}); }
PyObject* is_odd(PyObject* m, PyObject* a) { return predicate<mpz_pred::odd>(m, a, Need{"is_odd", "'mpz' argument"}); }
PyObject* is_square(PyObject* m, PyObject* a) {
  return predicate<mpz_pred::square>(m, a, Need{"is_square", "'mpz' argument"});
}
PyObject* is_power(PyObject* m, PyObject* a) {
  return predicate<mpz_pred::power>(m, a, Need{"is_power", "'mpz' argument"});
}

template <bool PROBAB>
PyObject* is_prime(PyObject*, PyObject* const* args, Py_ssize_t nargs) {
  if (!want_args_range(nargs, 1, 2,
                       PROBAB ? Need{"is_probab_prime", "'mpz'[,'int'] arguments"}
                              : Need{"is_prime", "'mpz'[,'int'] arguments"}))
    return nullptr;
  Ref x = Ref::steal(to_mpz_intonly(args[0]));
  if (!x) return nullptr;
  return (PROBAB ? mpz_pred::probab_prime : mpz_pred::prime)(x.get(), args + 1, nargs - 1);
}

PyObject* is_congruent(PyObject*, PyObject* const* args, Py_ssize_t nargs) {
  static constexpr Need msg{"is_congruent", "3 integer arguments"};
  if (!want_args(nargs, 3, msg)) return nullptr;
  Own<MPZ_Object> a[3];
  if (!int_args(a, args, 3, msg)) return nullptr;
  return PyBool_FromLong(mpz_congruent_p(a[0]->z, a[1]->z, a[2]->z));
}

PyObject* is_divisible(PyObject*, PyObject* const* args, Py_ssize_t nargs) {
  if (!want_args(nargs, 2, Fn{"is_divisible", "integer "})) return nullptr;
  Ref x = Ref::steal(to_mpz_intonly(args[0]));
  if (!x) return nullptr;
  return mpz_pred::divisible(x.get(), args[1]);
}

const FnDef rows[] = {
    fast("gcd", gcd_lcm<true>, IN_MODULE, "Return the greatest common divisor of integers (0 for none).") .typed("*integers: _Int", "mpz"),
    fast("lcm", gcd_lcm<false>, IN_MODULE, "Return the lowest common multiple of integers (1 for none).") .typed("*integers: _Int", "mpz"),
    fast("gcdext", gcdext, IN_MODULE, "Return a 3-element tuple (g,s,t) such that g == gcd(a,b) and g == a*s + b*t.") .typed("a: _Int, b: _Int, /", "tuple[mpz, mpz, mpz]"),
    fast("invert", invert, IN_MODULE, "Return y such that x*y == 1 modulo m. Raises ZeroDivisionError if no\ninverse exists.").typed("x: _Int, m: _Int, /", "mpz"),
    fast("divm", divm, IN_MODULE, "Return x such that b*x == a mod m. Raises a ZeroDivisionError\nexception if no such value x exists.").typed("a: _Int, b: _Int, m: _Int, /", "mpz"),
    fast("jacobi", jacobi, IN_MODULE, "Return the Jacobi symbol (x|y). y must be odd.").typed("x: _Int, y: _Int, /", "int"),
    fast("legendre", legendre, IN_MODULE, "Return the Legendre symbol (x|y). y is assumed to be an odd prime.") .typed("x: _Int, y: _Int, /", "int"),
    fast("kronecker", kronecker, IN_MODULE, "Return the Kronecker-Jacobi symbol (x|y).").typed("x: _Int, y: _Int, /", "int"),
    fast("remove", remove, IN_MODULE, "Return a 2-element tuple (y,m) such that x=y*(f**m) and f does\nnot divide y. Remove the factor f from x as many times as\npossible. m is the multiplicity f in x. f > 1.").typed("x: _Int, f: _Int, /", "tuple[mpz, int]"),
    fast("iroot", iroot, IN_MODULE, "Return the integer n-th root of x and boolean value that is True\niff the root is exact. x >= 0. n > 0.").typed("x: _Int, n: _Int, /", "tuple[mpz, bool]"),
    fast("iroot_rem", iroot_rem, IN_MODULE, "Return a 2-element tuple (y,r), such that y is the integer n-th\nroot of x and x=y**n + r. x >= 0. n > 0.").typed("x: _Int, n: _Int, /", "tuple[mpz, mpz]"),
    one("isqrt", isqrt<false>, IN_MODULE, "Return the integer square root of a non-negative integer x.").typed("x: _Int, /", "mpz"),
    one("isqrt_rem", isqrt<true>, IN_MODULE, "Return a 2-element tuple (s,t) such that s=isqrt(x) and t=x-s*s.\nx >= 0.").typed("x: _Int, /", "tuple[mpz, mpz]"),
    one("next_prime", next_prime, IN_MODULE, "Return the next probable prime number > x.").typed("x: _Int, /", "mpz"),
    one("prev_prime", prev_prime, IN_MODULE, "Return the previous probable prime number < x. x >= 3.").typed("x: _Int, /", "mpz"),
    one("is_even", is_even, IN_MODULE, "Return True if x is even, False otherwise.") .typed("x: _Int, /", "bool"),
    one("is_odd", is_odd, IN_MODULE, "Return True if x is odd, False otherwise.") .typed("x: _Int, /", "bool"),
    one("is_square", is_square, IN_MODULE, "Return True if x is a perfect square, else return False.").typed("x: _Int, /", "bool"),
    one("is_power", is_power, IN_MODULE, "Return True if x is a perfect power (there exists a y and an\nn > 1, such that x=y**n), else return False.").typed("x: _Int, /", "bool"),
    fast("is_prime", is_prime<false>, IN_MODULE, "Return True if x is probably prime, else False if x is\ndefinitely composite. x is checked for small divisors and up\nto n Miller-Rabin tests are performed.").typed("x: _Int, n: _Int = 25, /", "bool"),
    fast("is_probab_prime", is_prime<true>, IN_MODULE, "Return 2 if x is definitely prime, 1 if x is probably prime,\nor return 0 if x is definitely non-prime. x is checked for small\ndivisors and up to n Miller-Rabin tests are performed.").typed("x: _Int, n: _Int = 25, /", "int"),
    fast("is_congruent", is_congruent, IN_MODULE, "Return True if x is congruent to y modulo m, else return False.") .typed("x: _Int, y: _Int, m: _Int, /", "bool"),
    fast("is_divisible", is_divisible, IN_MODULE, "Return True if x is divisible by d, else return False.") .typed("x: _Int, d: _Int, /", "bool"),
};

}  // namespace

VX_UNIT(integer_ntheory, rows)

}  // namespace vx
