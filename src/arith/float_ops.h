// Real and complex binary operations shared by + - * / and //: the MPFR
// and MPC routines of each operation, and one implementation per class
// that converts the operands, computes and checks the result.
#pragma once
#include "arith/dispatch.h"
#include "convert/real_conv.h"

namespace vx::arith {

// MPFR and MPC routines of one operation. `fd`/`df` take a double operand
// on the right/left, `fs`/`sf` a machine integer; the complex forms take an
// mpc and an mpfr in either order. The forms with the plain operand on the
// right are the libraries' routines as they are:
template <int (*FF)(mpfr_ptr, mpfr_srcptr, mpfr_srcptr, mpfr_rnd_t),
          int (*FD)(mpfr_ptr, mpfr_srcptr, double, mpfr_rnd_t), int (*FS)(mpfr_ptr, mpfr_srcptr, long, mpfr_rnd_t),
          int (*CC)(mpc_ptr, mpc_srcptr, mpc_srcptr, mpc_rnd_t), int (*CF)(mpc_ptr, mpc_srcptr, mpfr_srcptr, mpc_rnd_t)>
struct RightForms {
  static int ff(mpfr_ptr r, mpfr_srcptr a, mpfr_srcptr b, mpfr_rnd_t m) { return FF(r, a, b, m); }
  static int fd(mpfr_ptr r, mpfr_srcptr a, double b, mpfr_rnd_t m) { return FD(r, a, b, m); }
  static int fs(mpfr_ptr r, mpfr_srcptr a, long b, mpfr_rnd_t m) { return FS(r, a, b, m); }
  static int cc(mpc_ptr r, mpc_srcptr a, mpc_srcptr b, mpc_rnd_t m) { return CC(r, a, b, m); }
  static int cf(mpc_ptr r, mpc_srcptr a, mpfr_srcptr b, mpc_rnd_t m) { return CF(r, a, b, m); }
};

// An operation that commutes: the left forms are the right ones with the
// operands exchanged.
template <auto FF, auto FD, auto FS, auto CC, auto CF>
struct Commuting : RightForms<FF, FD, FS, CC, CF> {
  static int df(mpfr_ptr r, double a, mpfr_srcptr b, mpfr_rnd_t m) { return FD(r, b, a, m); }
  static int sf(mpfr_ptr r, long a, mpfr_srcptr b, mpfr_rnd_t m) { return FS(r, b, a, m); }
  static int fc(mpc_ptr r, mpfr_srcptr a, mpc_srcptr b, mpc_rnd_t m) { return CF(r, b, a, m); }
};
using FAdd = Commuting<mpfr_add, mpfr_add_d, mpfr_add_si, mpc_add, mpc_add_fr>;
using FMul = Commuting<mpfr_mul, mpfr_mul_d, mpfr_mul_si, mpc_mul, mpc_mul_fr>;

struct FSub : RightForms<mpfr_sub, mpfr_sub_d, mpfr_sub_si, mpc_sub, mpc_sub_fr> {
  static int df(mpfr_ptr r, double a, mpfr_srcptr b, mpfr_rnd_t m) { return mpfr_d_sub(r, a, b, m); }
  // MPFR forms a - b for a negative a as -(b + |a|), which gives an exact
  // cancellation the sign of the wrong zero; it gets the sign x - x has.
  static int sf(mpfr_ptr r, long a, mpfr_srcptr b, mpfr_rnd_t m) {
    const int t = mpfr_si_sub(r, a, b, m);
    if (mpfr_zero_p(r)) mpfr_setsign(r, r, m == MPFR_RNDD, m);
    return t;
  }
  static int fc(mpc_ptr r, mpfr_srcptr a, mpc_srcptr b, mpc_rnd_t m) { return mpc_fr_sub(r, a, b, m); }
};
struct FDiv : RightForms<mpfr_div, mpfr_div_d, mpfr_div_si, mpc_div, mpc_div_fr> {
  static int df(mpfr_ptr r, double a, mpfr_srcptr b, mpfr_rnd_t m) { return mpfr_d_div(r, a, b, m); }
  static int sf(mpfr_ptr r, long a, mpfr_srcptr b, mpfr_rnd_t m) { return mpfr_si_div(r, a, b, m); }
  // MPC's quotient of a + 0i by b.
  static int fc(mpc_ptr r, mpfr_srcptr a, mpc_srcptr b, mpc_rnd_t m) { return mpc_fr_div(r, a, b, m); }
};

// A non-zero Python int that fits a machine word, as a long.
inline bool small_nonzero(PyObject* o, int kind, long& v) noexcept {
  Small s;
  if (kind != K_PYINT || !small_int(o, s) || s.mag == 0) return false;
  v = s.sign < 0 ? -static_cast<long>(s.mag) : static_cast<long>(s.mag);
  return true;
}

// Runs `op(result, rounding)` into a new result at the context's precision
// and checks it, for the four arithmetic operations. MPFR's flags are
// neither cleared nor read when the result is plain (see plain_real);
// otherwise the operation is done again between a clearing and the full
// check, so that special values and range ends are judged as everywhere else.
template <class Op>
PyObject* run_checked(CTXT_Object* c, Op op) {
  MPFR_Object* r = new_mpfr_ctx(c);
  if (!r) return nullptr;
  ContextRecord& cr = c->ctx;
  const mpfr_rnd_t m = rnd(cr);
  const int rc = op(r->f, m);
  if (plain_real(r->f, rc, cr)) {
    r->rc = rc;
    if (raise_conditions(cr, rc ? TRAP_INEXACT : 0)) return reinterpret_cast<PyObject*>(r);
    Py_DECREF(r);
    return nullptr;
  }
  mpfr_clear_flags();
  r->rc = op(r->f, m);
  return reinterpret_cast<PyObject*>(check_real(r, cr));
}

// x op y for two mpfr values, the common case of the arithmetic operators.
template <class F>
PyObject* real_pair(PyObject* x, PyObject* y, CTXT_Object* c) {
  mpfr_srcptr xf = mpfr_of(x), yf = mpfr_of(y);
  return run_checked(c, [xf, yf](mpfr_ptr r, mpfr_rnd_t m) { return F::ff(r, xf, yf, m); });
}

// x op y in the real class: `run` receives the operation as
// op(result, rounding) -> ternary value and makes the result. A float or a
// small int beside an mpfr is used without a temporary (MPFR's mixed forms
// round exactly as the operation on the converted value does; zero is left
// to the general path, whose signed-zero rules differ); other operands are
// converted exactly.
template <class F, class Run>
PyObject* real_forms(PyObject* x, int a, PyObject* y, int b, CTXT_Object* c, Run run) {
  const bool sub = c->ctx.subnormalize;
  long v;
  if (a == K_MPFR) {
    mpfr_srcptr xf = mpfr_of(x);
    if (b == K_MPFR) {
      mpfr_srcptr yf = mpfr_of(y);
      return run([xf, yf](mpfr_ptr r, mpfr_rnd_t m) { return F::ff(r, xf, yf, m); });
    }
    if (b == K_PYFLOAT && !sub) {
      const double d = PyFloat_AS_DOUBLE(y);
      return run([xf, d](mpfr_ptr r, mpfr_rnd_t m) { return F::fd(r, xf, d, m); });
    }
    if (small_nonzero(y, b, v)) return run([xf, v](mpfr_ptr r, mpfr_rnd_t m) { return F::fs(r, xf, v, m); });
  } else if (b == K_MPFR) {
    mpfr_srcptr yf = mpfr_of(y);
    if (a == K_PYFLOAT && !sub) {
      const double d = PyFloat_AS_DOUBLE(x);
      return run([d, yf](mpfr_ptr r, mpfr_rnd_t m) { return F::df(r, d, yf, m); });
    }
    if (small_nonzero(x, a, v)) return run([v, yf](mpfr_ptr r, mpfr_rnd_t m) { return F::sf(r, v, yf, m); });
  }
  Own<MPFR_Object> tx(to_mpfr(x, a, PREC_EXACT, c));
  if (!tx) return nullptr;
  Own<MPFR_Object> ty(to_mpfr(y, b, PREC_EXACT, c));
  if (!ty) return nullptr;
  mpfr_srcptr xf = tx->f, yf = ty->f;
  return run([xf, yf](mpfr_ptr r, mpfr_rnd_t m) { return F::ff(r, xf, yf, m); });
}

// x op y in the real class, checked.
template <class F>
PyObject* real_checked(PyObject* x, int a, PyObject* y, int b, CTXT_Object* c) {
  return real_forms<F>(x, a, y, b, c, [c](auto op) { return run_checked(c, op); });
}

// x op y for two mpc values (not division, whose zero divisor is checked
// first). The complex check reads no MPFR flags; when both parts are plain
// it would change nothing and report at most "inexact".
template <class F>
PyObject* complex_pair(PyObject* x, PyObject* y, CTXT_Object* c) {
  MPC_Object* r = new_mpc_ctx(c);
  if (!r) return nullptr;
  ContextRecord& cr = c->ctx;
  r->rc = F::cc(r->c, mpc_of(x), mpc_of(y), crnd(cr));
  if (plain_real(mpc_realref(r->c), MPC_INEX_RE(r->rc), cr) && plain_real(mpc_imagref(r->c), MPC_INEX_IM(r->rc), cr)) {
    if (raise_conditions(cr, r->rc ? TRAP_INEXACT : 0)) return reinterpret_cast<PyObject*>(r);
    Py_DECREF(r);
    return nullptr;
  }
  return reinterpret_cast<PyObject*>(check_complex(r, cr));
}

inline bool complex_class(int kind) noexcept { return kind >= K_REAL_END; }

// The zero-divisor rule of complex division: `divzero` is raised and, when
// trapped, the division fails.
inline bool complex_divisor_ok(bool zero, ContextRecord& c) noexcept {
  if (!zero) return true;
  return raise_conditions(c, TRAP_DIVZERO, "'mpc' division by zero");
}

inline bool mpc_zero(mpc_srcptr z) noexcept {
  return mpfr_zero_p(mpc_realref(z)) && mpfr_zero_p(mpc_imagref(z));
}

// x op y in the complex class: a real operand joins through MPC's mixed
// forms, so that its imaginary part is not invented.
template <class F, bool divide = false>
PyObject* complex_binary(PyObject* x, int a, PyObject* y, int b, Ctx& cx) {
  CTXT_Object* c = cx.get();
  if (!c) return nullptr;
  if constexpr (!divide) {
    if (a == K_MPC && b == K_MPC) return complex_pair<F>(x, y, c);
  }
  ContextRecord& cr = c->ctx;
  Own<MPC_Object> r(new_mpc(0, 0, c));
  if (!r) return nullptr;
  const mpc_rnd_t m = crnd(cr);
  mpfr_clear_flags();
  if (!complex_class(b)) {
    Own<MPC_Object> tx(to_mpc(x, a, PREC_EXACT, PREC_EXACT, c));
    if (!tx) return nullptr;
    Own<MPFR_Object> ty(to_mpfr(y, b, PREC_EXACT, c));
    if (!ty) return nullptr;
    if (divide && !complex_divisor_ok(mpfr_zero_p(ty->f), cr)) return nullptr;
    r->rc = F::cf(r->c, tx->c, ty->f, m);
  } else if (!complex_class(a)) {
    Own<MPFR_Object> tx(to_mpfr(x, a, PREC_EXACT, c));
    if (!tx) return nullptr;
    Own<MPC_Object> ty(to_mpc(y, b, PREC_EXACT, PREC_EXACT, c));
    if (!ty) return nullptr;
    if (divide && !complex_divisor_ok(mpc_zero(ty->c), cr)) return nullptr;
    r->rc = F::fc(r->c, tx->f, ty->c, m);
  } else {
    Own<MPC_Object> tx(to_mpc(x, a, PREC_EXACT, PREC_EXACT, c));
    if (!tx) return nullptr;
    Own<MPC_Object> ty(to_mpc(y, b, PREC_EXACT, PREC_EXACT, c));
    if (!ty) return nullptr;
    if constexpr (divide) {
      if (!complex_divisor_ok(mpc_zero(ty->c), cr)) return nullptr;
      // Complex division of two values is long enough to let others run.
      mpc_ptr rp = r->c;
      mpc_srcptr xp = tx->c, yp = ty->c;
      int rc = 0;
      gmp_compute(cr, [&] { rc = F::cc(rp, xp, yp, m); });
      r->rc = rc;
    } else {
      r->rc = F::cc(r->c, tx->c, ty->c, m);
    }
  }
  return obj(check_complex(std::move(r), cr));
}

}  // namespace vx::arith
