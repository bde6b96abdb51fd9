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

class Mpz {
  mpz_t v_;

 public:
  Mpz() noexcept { mpz_init(v_); }
  explicit Mpz(mpz_srcptr from) noexcept { mpz_init_set(v_, from); }
  explicit Mpz(long from) noexcept { mpz_init_set_si(v_, from); }
  ~Mpz() { mpz_clear(v_); }
  Mpz(const Mpz&) = delete;
  Mpz& operator=(const Mpz&) = delete;
  mpz_ptr get() noexcept { return v_; }
  mpz_srcptr get() const noexcept { return v_; }
  operator mpz_ptr() noexcept { return v_; }
  operator mpz_srcptr() const noexcept { return v_; }
};

class Mpq {
  mpq_t v_;

 public:
  Mpq() noexcept { mpq_init(v_); }
  ~Mpq() { mpq_clear(v_); }
  Mpq(const Mpq&) = delete;
  Mpq& operator=(const Mpq&) = delete;
  mpq_ptr get() noexcept { return v_; }
  mpq_srcptr get() const noexcept { return v_; }
  operator mpq_ptr() noexcept { return v_; }
  operator mpq_srcptr() const noexcept { return v_; }
};

class Mpfr {
  mpfr_t v_;

 public:
  explicit Mpfr(mpfr_prec_t prec) noexcept { mpfr_init2(v_, prec); }
  ~Mpfr() { mpfr_clear(v_); }
  Mpfr(const Mpfr&) = delete;
  Mpfr& operator=(const Mpfr&) = delete;
  mpfr_ptr get() noexcept { return v_; }
  mpfr_srcptr get() const noexcept { return v_; }
  operator mpfr_ptr() noexcept { return v_; }
  operator mpfr_srcptr() const noexcept { return v_; }
};

class Mpc {
  mpc_t v_;

 public:
  Mpc(mpfr_prec_t rprec, mpfr_prec_t iprec) noexcept { mpc_init3(v_, rprec, iprec); }
  ~Mpc() { mpc_clear(v_); }
  Mpc(const Mpc&) = delete;
  Mpc& operator=(const Mpc&) = delete;
  mpc_ptr get() noexcept { return v_; }
  mpc_srcptr get() const noexcept { return v_; }
  operator mpc_ptr() noexcept { return v_; }
  operator mpc_srcptr() const noexcept { return v_; }
};

}  // namespace vx
