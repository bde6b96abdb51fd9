// Typed temporaries: GMP, MPFR and MPC values that clear themselves.
//
//   Mpz t;                       // mpz_init
//   mpz_mul(t, a, b);            // converts to mpz_ptr
//   Mpfr f(200);                 // mpfr_init2(f, 200)
//
// Each owns its value for its whole life; none can be copied.
#pragma once
#include <gmp.h>
#include <mpfr.h>
#include <mpc.h>

namespace vx {

// The part every temporary shares: the value (an array of one struct, as
// GMP declares its types), its pointers, and no copies.
template <class Struct, class Ptr, class SrcPtr>
class TempBase {
 protected:
  Struct v_[1];
  TempBase() noexcept = default;

 public:
  TempBase(const TempBase&) = delete;
  TempBase& operator=(const TempBase&) = delete;
  Ptr get() noexcept { return v_; }
  SrcPtr get() const noexcept { return v_; }
  operator Ptr() noexcept { return v_; }
  operator SrcPtr() const noexcept { return v_; }
};

class Mpz : public TempBase<__mpz_struct, mpz_ptr, mpz_srcptr> {
 public:
  Mpz() noexcept { mpz_init(v_); }
  explicit Mpz(mpz_srcptr from) noexcept { mpz_init_set(v_, from); }
  explicit Mpz(long from) noexcept { mpz_init_set_si(v_, from); }
  ~Mpz() { mpz_clear(v_); }
};

class Mpq : public TempBase<__mpq_struct, mpq_ptr, mpq_srcptr> {
 public:
  Mpq() noexcept { mpq_init(v_); }
  ~Mpq() { mpq_clear(v_); }
};

class Mpfr : public TempBase<__mpfr_struct, mpfr_ptr, mpfr_srcptr> {
 public:
  explicit Mpfr(mpfr_prec_t prec) noexcept { mpfr_init2(v_, prec); }
  ~Mpfr() { mpfr_clear(v_); }
};

class Mpc : public TempBase<__mpc_struct, mpc_ptr, mpc_srcptr> {
 public:
  Mpc(mpfr_prec_t rprec, mpfr_prec_t iprec) noexcept { mpc_init3(v_, rprec, iprec); }
  ~Mpc() { mpc_clear(v_); }
};

}  // namespace vx
