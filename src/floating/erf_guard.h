// erf and erfc with MPFR's signature, safe for every argument: MPFR's own
// routines where they are safe, another formulation where MPFR would abort.
#pragma once
#include <mpfr.h>

namespace vx {

int erf_checked(mpfr_ptr r, mpfr_srcptr x, mpfr_rnd_t rnd);
int erfc_checked(mpfr_ptr r, mpfr_srcptr x, mpfr_rnd_t rnd);

}  // namespace vx
