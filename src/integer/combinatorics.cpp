// Exact combinatorial numbers: factorials, multifactorials, the primorial,
// binomial coefficients, and Fibonacci and Lucas numbers (singly or as
// adjacent pairs). Each is one GMP routine; what is done here is reading
// the arguments and refusing, before GMP runs, results too large to exist
// (GMP would stop the process).
#include <cmath>

#include "convert/int_conv.h"
#include "core/args.h"
#include "core/errors.h"
#include "core/ref.h"
#include "core/registry.h"
#include "integer/mpz_internal.h"

namespace vx {

namespace {

constexpr double LOG2_E = 1.4426950408889634;  // log2(e)
constexpr double LOG2_PHI = 0.6942419136306174;  // log2 of the golden ratio
// Slack added to every estimate, covering rounding in the estimates
// themselves and the few limbs GMP allocates beyond the result.
constexpr double SLACK_BITS = 256;

// An unsigned argument of the function `fn`; false with the reader's
// exception set (saying what `fn` needs when fn is given).
inline bool read_count(PyObject* o, unsigned long& n, const char* fn = nullptr) noexcept {
  n = read_ulong(o);
  if (!(n == static_cast<unsigned long>(-1) && PyErr_Occurred())) return true;
  if (fn) argument_needs(o, fn, "a non-negative integer below 2**64");
  return false;
}

// log2(k!) for any k, from the log-gamma function.
inline double log2_factorial(double k) noexcept { return std::lgamma(k + 1) * LOG2_E; }

// True when a result bounded by `bits` bits can be made; MemoryError otherwise.
bool fits(double bits) noexcept {
  bits += SLACK_BITS;
  return can_allocate(bits < 0x1p62 ? static_cast<uint64_t>(bits) : UINT64_MAX);
}

// A bound on log2 of the binomial coefficient (N over j), 0 <= j <= N,
// given log2(N): C(N, j) <= (e*N/j)**j.
inline double log2_binomial(double log2_n, double j) noexcept {
  return j < 1 ? 0 : j * (log2_n - std::log2(j) + LOG2_E);
}

inline PyObject* new_result(void (*f)(mpz_ptr, unsigned long), unsigned long n) noexcept {
  MPZ_Object* r = new_mpz();
  if (r) f(r->z, n);
  return obj(r);
}

PyObject* fac(PyObject*, PyObject* arg) {
  unsigned long n;
  if (!read_count(arg, n, "fac")) return nullptr;
  if (!fits(log2_factorial(static_cast<double>(n)))) return nullptr;
  return new_result(mpz_fac_ui, n);
}

PyObject* double_fac(PyObject*, PyObject* arg) {
  unsigned long n;
  if (!read_count(arg, n, "double_fac")) return nullptr;
  // n!! <= (2k)!! = 2**k * k! with k = ceil(n/2)
  const double k = std::ceil(static_cast<double>(n) / 2);
  if (!fits(k + log2_factorial(k))) return nullptr;
  return new_result(mpz_2fac_ui, n);
}

PyObject* multi_fac(PyObject*, PyObject* const* args, Py_ssize_t nargs) {
  if (!want_args(nargs, 2, Fn{"multi_fac", "integer "})) return nullptr;
  unsigned long n, m;
  if (!read_count(args[0], n, "multi_fac") || !read_count(args[1], m, "multi_fac")) return nullptr;
  // With k = ceil(n/m) factors, the j-th is at most m*(k-j): the product is at most m**k * k!.
  if (m > 0) {
    const double k = std::ceil(static_cast<double>(n) / static_cast<double>(m));
    if (!fits(k * std::log2(static_cast<double>(m)) + log2_factorial(k))) return nullptr;
  }
  MPZ_Object* r = new_mpz();
  if (r) mpz_mfac_uiui(r->z, n, m);
  return obj(r);
}

PyObject* primorial(PyObject*, PyObject* arg) {
  unsigned long n;
  if (!read_count(arg, n, "primorial")) return nullptr;
  // The product of the primes up to n is below e**(1.01624 n).
  if (!fits(1.4662 * static_cast<double>(n))) return nullptr;
  return new_result(mpz_primorial_ui, n);
}

PyObject* bincoef(PyObject*, PyObject* const* args, Py_ssize_t nargs) {
  if (!want_args(nargs, 2, Need{"bincoef", "two integer arguments"})) return nullptr;
  unsigned long k, n;
  if (!read_count(args[1], k, "bincoef")) return nullptr;
  if (read_count(args[0], n)) {
    if (k <= n) {
      const double j = static_cast<double>(k < n - k ? k : n - k);
      const double bound = std::fmin(static_cast<double>(n) + 1, log2_binomial(std::log2(static_cast<double>(n)), j));
      if (!fits(bound)) return nullptr;
    }
    MPZ_Object* r = new_mpz();
    if (r) mpz_bin_uiui(r->z, n, k);
    return obj(r);
  }
  PyErr_Clear();
  Own<MPZ_Object> big(to_mpz_intonly(args[0]));
  if (!big) return nullptr;
  mpz_srcptr nz = big->z;
  // For a negative n = -a, (n over k) = (-1)**k * ((a+k-1) over (a-1)); a
  // positive n here is above every k.
  const double kd = static_cast<double>(k);
  long e;
  const double mant = mpz_get_d_2exp(&e, nz);  // |n| = |mant| * 2**e, 0.5 <= |mant| < 1
  const double log2_a = static_cast<double>(e) + std::log2(std::fabs(mant));
  const bool negative = mpz_sgn(nz) < 0;
  double j = kd;
  if (negative && log2_a < 64) j = std::fmin(kd, std::exp2(log2_a) - 1);
  const double log2_top = negative ? std::fmax(log2_a, std::log2(kd + 1)) + 1 : log2_a;  // >= log2(a + k - 1)
  const double bound = log2_binomial(log2_top, j);
  if (!fits(bound)) return nullptr;
  Own<MPZ_Object> r(new_mpz());
  if (!r) return nullptr;
  mpz_bin_ui(r->z, nz, k);
  return r.release();
}

// GMP holds two terms and scratch of their size while it computes a
// Fibonacci or Lucas number: room for three results.
constexpr double FIB_ROOM = 3.0;

PyObject* fib(PyObject*, PyObject* arg) {
  unsigned long n;
  if (!read_count(arg, n, "fib")) return nullptr;
  if (!fits(FIB_ROOM * LOG2_PHI * static_cast<double>(n))) return nullptr;
  return new_result(mpz_fib_ui, n);
}

PyObject* lucas(PyObject*, PyObject* arg) {
  unsigned long n;
  if (!read_count(arg, n, "lucas")) return nullptr;
  if (!fits(FIB_ROOM * LOG2_PHI * static_cast<double>(n))) return nullptr;
  return new_result(mpz_lucnum_ui, n);
}

// (S(n), S(n-1)) from one GMP call.
template <void (*F)(mpz_ptr, mpz_ptr, unsigned long)>
PyObject* sequence_pair(PyObject*, PyObject* arg) {
  unsigned long n;
  if (!read_count(arg, n, F == mpz_fib2_ui ? "fib2" : "lucas2")) return nullptr;
  if (!fits(FIB_ROOM * LOG2_PHI * static_cast<double>(n))) return nullptr;
  Own<MPZ_Object> a(new_mpz()), b(new_mpz());
  if (!a || !b) return nullptr;
  F(a->z, b->z, n);
  return steal_pair(a.release(), b.release());
}

const FnDef comb_rows[] = {
    one("fac", fac, IN_MODULE, "Return the exact factorial of n.\n\nSee factorial(n) for the floating-point version.") .typed("n: _Int, /", "mpz"),
    one("double_fac", double_fac, IN_MODULE, "Return the exact double factorial (n!!) of n: n*(n-2)*(n-4)*...") .typed("n: _Int, /", "mpz"),
    fast("multi_fac", multi_fac, IN_MODULE, "Return the exact m-multi factorial of n: n*(n-m)*(n-2m)*...") .typed("n: _Int, m: _Int, /", "mpz"),
    one("primorial", primorial, IN_MODULE, "Return the product of all positive prime numbers less than or\nequal to n.") .typed("n: _Int, /", "mpz"),
    fast("bincoef", bincoef, IN_MODULE, "Return the binomial coefficient ('n choose k'). k >= 0; n may be\nany integer.") .typed("n: _Int, k: _Int, /", "mpz"),
    fast("comb", bincoef, IN_MODULE, "Return the number of combinations of 'n things, taking k at a\ntime'. k >= 0. Same as bincoef(n, k).").typed("n: _Int, k: _Int, /", "mpz"),
    one("fib", fib, IN_MODULE, "Return the n-th Fibonacci number.").typed("n: _Int, /", "mpz"),
    one("fib2", sequence_pair<mpz_fib2_ui>, IN_MODULE, "Return the pair (fib(n), fib(n-1)) of Fibonacci numbers.").typed("n: _Int, /", "tuple[mpz, mpz]"),
    one("lucas", lucas, IN_MODULE, "Return the n-th Lucas number.").typed("n: _Int, /", "mpz"),
    one("lucas2", sequence_pair<mpz_lucnum2_ui>, IN_MODULE, "Return the pair (lucas(n), lucas(n-1)) of Lucas numbers.").typed("n: _Int, /", "tuple[mpz, mpz]"),
};

}  // namespace

VX_UNIT(integer_combinatorics, comb_rows)

}  // namespace vx
