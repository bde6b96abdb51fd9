// The Arb route of the math functions: the function evaluated as an Arb
// ball, rounded only when every point of the ball rounds to the same number
// and that number lies outside the ball (so that the ternary value is known
// too); otherwise, and for special values, domain edges, exact cases and
// results near the ends of MPFR's exponent range, the row's MPFR routine
// computes the result. Either way the value, the ternary value and MPFR's
// flags are those of the MPFR routine, and the caller's result check sees no
// difference. Complex arguments go the same way through Arb's acb functions,
// each part rounded on its own, with the row's MPC routine as the fallback.
#pragma once
#include <mpc.h>
#include <mpfr.h>

namespace vx::arb_route {

using RealFn1 = int (*)(mpfr_ptr, mpfr_srcptr, mpfr_rnd_t);
using RealFn2 = int (*)(mpfr_ptr, mpfr_srcptr, mpfr_srcptr, mpfr_rnd_t);

struct Rule;
struct ComplexRule;
using ComplexFn1 = int (*)(mpc_ptr, mpc_srcptr, mpc_rnd_t);

// The rule of a math-function row by its name, or nullptr when this build
// has no Arb or Arb does not serve the row.
const Rule* find(const char* name) noexcept;
// The same for the complex routine of a row (Arb's acb functions).
const ComplexRule* find_complex(const char* name) noexcept;

// Whether the Arb route is in use (built with Arb and not switched off),
// and its name: "arb" or "mpfr".
bool active() noexcept;
const char* route_name() noexcept;
bool built_with_arb() noexcept;
void set_active(bool on) noexcept;
// Frees Arb's caches of the calling thread (its constants); nothing without Arb.
void free_cache() noexcept;

// r = f(x) (or f(x, y)) correctly rounded with mode m, the ternary value
// returned and MPFR's inexact flag raised as the MPFR routine would: true
// when Arb settled it, false (r unspecified) when the MPFR routine must run.
bool try1(const Rule* rule, mpfr_ptr r, mpfr_srcptr x, mpfr_rnd_t m, int& rc) noexcept;
bool try2(const Rule* rule, mpfr_ptr r, mpfr_srcptr x, mpfr_srcptr y, mpfr_rnd_t m, int& rc) noexcept;

// r = f(x) for a complex x as the MPC routine gives it: each part correctly
// rounded with its own mode, the packed ternary value (MPC_INEX) in rc;
// false (r unspecified) when the MPC routine must run.
bool try_complex(const ComplexRule* rule, mpc_ptr r, mpc_srcptr x, mpc_rnd_t m, int& rc) noexcept;

// One evaluation through the route: Arb where it settles the result, else
// the MPFR routine f.
inline int run1(const Rule* rule, RealFn1 f, mpfr_ptr r, mpfr_srcptr x, mpfr_rnd_t m) noexcept {
  int rc;
  if (rule && try1(rule, r, x, m, rc)) return rc;
  return f(r, x, m);
}
inline int run2(const Rule* rule, RealFn2 f, mpfr_ptr r, mpfr_srcptr x, mpfr_srcptr y, mpfr_rnd_t m) noexcept {
  int rc;
  if (rule && try2(rule, r, x, y, m, rc)) return rc;
  return f(r, x, y, m);
}

inline int run_complex(const ComplexRule* rule, ComplexFn1 f, mpc_ptr r, mpc_srcptr x, mpc_rnd_t m) noexcept {
  int rc;
  if (rule && try_complex(rule, r, x, m, rc)) return rc;
  return f(r, x, m);
}

}  // namespace vx::arb_route
