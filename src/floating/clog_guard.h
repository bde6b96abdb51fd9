// The complex logarithms with MPC's signature and a correctly rounded real
// part: MPC 1.3's real part of log(z) and log10(z) can be off by many ulps
// near the unit circle.
#pragma once
#include <mpc.h>

namespace vx {

int log_checked(mpc_ptr r, mpc_srcptr z, mpc_rnd_t rnd);
int log10_checked(mpc_ptr r, mpc_srcptr z, mpc_rnd_t rnd);

}  // namespace vx
