// The binary Lucas ladder, shared by the Lucas probable-prime tests and the
// Lucas-sequence functions.
#pragma once
#include <gmp.h>

#include "core/temps.h"

namespace vx {

// The Lucas sequences U and V for parameters P and Q: U(0) = 0, U(1) = 1,
// V(0) = 2, V(1) = P, W(k) = P*W(k-1) - Q*W(k-2).
struct LucasLadder {
  Mpz uh, vl, vh, ql, t;

  // Sets uh = U(m), vl = V(m) and ql = Q**m for m > 0. With a modulus n the
  // values are reduced after every step and end in 0 .. n-1 (n > 0); without
  // one (n == nullptr) they grow to their full size. Without want_u, uh is
  // not computed and vh = V(m + 1). False, with the exception set, when a
  // signal handler raised (Ctrl-C) between two steps.
  [[nodiscard]] bool run(mpz_srcptr p, mpz_srcptr q, mpz_srcptr m, mpz_srcptr n, bool want_u) noexcept;

  // One doubling step (k -> 2k) of V and Q**k modulo n, as the strong tests
  // take after the ladder has run on the odd part: vl = vl*vl - 2*ql,
  // ql = ql*ql, both reduced to 0 .. n-1.
  void double_v(mpz_srcptr n) noexcept;
};

}  // namespace vx
