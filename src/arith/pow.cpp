// Powers: exact integer and rational powers, modular powers, real and
// complex powers.
#include <unistd.h>

#include <climits>

#include "core/memory.h"
#include "arith/float_ops.h"
#include "convert/int_conv.h"

namespace vx::arith {

namespace {

// The real power, also reached from integer and rational powers.
PyObject* real_power(PyObject* x, int a, PyObject* y, int b, Ctx& cx);

constexpr const char* NO_MODULUS = "pow() 3rd argument not allowed unless all arguments are integers";

// The largest integer GMP can hold: its size in limbs is an int. A result
// is also refused when it could not fit in the machine's memory, since
// GMP stops the process when an allocation fails.
// Results below 2**30 bits (128 MiB) are not compared with the memory size,
// whose query is a system call that would cost more than most powers.
bool power_fits(uint64_t base_bits, uint64_t e) noexcept {
  unsigned __int128 bits = static_cast<unsigned __int128>(base_bits) * e;
  if (bits <= (static_cast<unsigned __int128>(1) << 30)) return true;
  const unsigned __int128 limit = static_cast<unsigned __int128>(INT_MAX - 64) * GMP_NUMB_BITS;
  // The result and GMP's working copy of it.
  return bits <= limit && memory_can_hold(static_cast<uint64_t>(bits / 8) * 2);
}

// Bits that bound the result of raising z (|z| >= 2) to a power: GMP sizes
// its result as bit length times exponent.
inline uint64_t base_bits(mpz_srcptr z) noexcept { return mpz_sizeinbase(z, 2); }

// Limbs of a power whose size power_fits() accepted.
inline size_t result_limbs(uint64_t base_bits, uint64_t e) noexcept {
  return static_cast<size_t>(static_cast<unsigned __int128>(base_bits) * e / GMP_NUMB_BITS);
}

PyObject* too_large() noexcept {
  memory_error();
  return note_current("the power would need more memory than is available");
}

PyObject* int_power(PyObject* x, int a, PyObject* y, int b, PyObject* m, Ctx& cx) {
  Own<MPZ_Object> mz;
  if (m != Py_None) {
    int k = classify(m);
    if (!is_integer_kind(k)) return type_error("pow() modulus must be an integer");
    if (!(mz = Own<MPZ_Object>(to_mpz(m, k)))) return nullptr;
  }
  Own<MPZ_Object> tx(to_mpz(x, a));
  if (!tx) return nullptr;
  Own<MPZ_Object> ty(to_mpz(y, b));
  if (!ty) return nullptr;
  mpz_srcptr base = tx->z, ex = ty->z;

  if (!mz) {
    if (mpz_sgn(ex) < 0) return real_power(x, a, y, b, cx);
    Own<MPZ_Object> r(new_mpz());
    if (!r) return nullptr;
    mpz_ptr rz = r->z;
    if (mpz_sgn(base) == 0) {
      mpz_set_ui(rz, mpz_sgn(ex) == 0 ? 1 : 0);
    } else if (mpz_cmp_ui(base, 1) == 0) {
      mpz_set_ui(rz, 1);
    } else if (mpz_cmp_si(base, -1) == 0) {
      mpz_set_si(rz, mpz_odd_p(ex) ? -1 : 1);
    } else {
      if (mpz_sizeinbase(ex, 2) > 64) {
        value_error("pow() outrageous exponent");
        return note_current("an integer power's exponent must be below 2**64; got %U", shown(y).get());
      }
      unsigned long e = mpz_get_ui(ex);
      if (!power_fits(base_bits(base), e)) return too_large();
      if (!compute(cx, false, result_limbs(base_bits(base), e), [&] { mpz_pow_ui(rz, base, e); })) return nullptr;
    }
    return r.release();
  }

  mpz_srcptr mod = mz->z;
  if (mpz_sgn(mod) == 0) return value_error("pow() 3rd argument cannot be 0");
  Own<MPZ_Object> r(new_mpz());
  if (!r) return nullptr;
  mpz_ptr rz = r->z;
  // |m| and |y| are only copied when negative.
  Mpz abs_m, abs_y;
  mpz_srcptr n = mod, e = ex;
  if (mpz_sgn(mod) < 0) {
    mpz_neg(abs_m, mod);
    n = abs_m;
  }
  bool ok = true;
  if (mpz_sgn(ex) < 0) {
    // GMP would stop the process on a base without an inverse: test first.
    if (!mpz_invert(rz, base, n)) {
      value_error("pow() base not invertible");
      ok = false;
    }
    mpz_neg(abs_y, ex);
    e = abs_y;
    base = rz;
  }
  if (ok) ok = compute(cx, false, limbs(base, n) + mpz_size(e), [&] { mpz_powm(rz, base, e, n); });
  if (!ok) return nullptr;
  if (mpz_sgn(mod) < 0 && mpz_sgn(rz) > 0) mpz_add(rz, rz, mod);
  return r.release();
}

PyObject* rat_power(PyObject* x, int a, PyObject* y, int b, PyObject* m, Ctx& cx) {
  if (m != Py_None) return type_error(NO_MODULUS);
  if (b >= 15) return real_power(x, a, y, b, cx);
  Own<MPQ_Object> tx(to_mpq(x, a));
  if (!tx) return nullptr;
  Own<MPZ_Object> ty(to_mpz(y, b));
  if (!ty) return nullptr;
  if (!mpz_fits_slong_p(ty->z)) {
    value_error("mpq.pow() outrageous exponent");
    return note_current("a rational power's exponent must be from -2**63 to 2**63 - 1; got %U", shown(y).get());
  }
  long e = mpz_get_si(ty->z);
  Own<MPQ_Object> r(new_mpq());
  if (!r) return nullptr;
  mpq_ptr rq = r->q;
  mpq_srcptr q = tx->q;
  if (e == 0) {
    mpq_set_ui(rq, 1, 1);
    return r.release();
  }
  unsigned long k;
  if (e < 0) {
    if (mpq_sgn(q) == 0) return zero_division("pow() 0 base to negative exponent");
    // 1/x: numerator and denominator swap places, the sign stays in front.
    mpz_abs(mpq_numref(rq), mpq_denref(q));
    if (mpq_sgn(q) < 0) mpz_neg(mpq_numref(rq), mpq_numref(rq));
    mpz_abs(mpq_denref(rq), mpq_numref(q));
    k = 0UL - static_cast<unsigned long>(e);
  } else {
    mpq_set(rq, q);
    k = static_cast<unsigned long>(e);
  }
  if (k > 1) {
    mpz_ptr num = mpq_numref(rq), den = mpq_denref(rq);
    auto bits = [](mpz_srcptr z) -> uint64_t { return mpz_cmpabs_ui(z, 1) <= 0 ? 0 : base_bits(z); };
    uint64_t nb = bits(num), db = bits(den);
    if (nb + db > 0 && !power_fits(nb + db, k)) return too_large();
    // Coprime parts stay coprime: no canonicalization needed.
    if (!compute(cx, false, result_limbs(nb + db, k), [&] {
          if (nb) mpz_pow_ui(num, num, k);
          if (db) mpz_pow_ui(den, den, k);
        }))
      return nullptr;
    if (!nb && mpz_sgn(num) < 0 && !(k & 1)) mpz_neg(num, num);  // (-1)**even
  }
  return r.release();
}

PyObject* complex_power(PyObject* x, int a, PyObject* y, int b, PyObject* m, Ctx& cx) {
  if (m != Py_None) return type_error(NO_MODULUS);
  CTXT_Object* c = cx.get();
  if (!c) return nullptr;
  Own<MPC_Object> r(new_mpc(0, 0, c));
  if (!r) return nullptr;
  Own<MPC_Object> tx(to_mpc(x, a, PREC_EXACT, PREC_EXACT, c));
  if (!tx) return nullptr;
  const mpc_rnd_t rm = crnd(c->ctx);
  mpfr_clear_flags();
  if (is_integer_kind(b)) {
    Own<MPZ_Object> ty(to_mpz(y, b));
    if (!ty) return nullptr;
    r->rc = mpc_pow_z(r->c, tx->c, ty->z, rm);
  } else if (complex_class(b)) {
    Own<MPC_Object> ty(to_mpc(y, b, PREC_EXACT, PREC_EXACT, c));
    if (!ty) return nullptr;
    r->rc = mpc_pow(r->c, tx->c, ty->c, rm);
  } else {
    Own<MPFR_Object> ty(to_mpfr(y, b, PREC_EXACT, c));
    if (!ty) return nullptr;
    r->rc = mpc_pow_fr(r->c, tx->c, ty->f, rm);
  }
  return obj(check_complex(std::move(r), c));
}

// A real power that has no real value, retried in the complex plane when
// the context allows complex results.
PyObject* complex_retry(PyObject* x, int a, PyObject* y, int b, Ctx& cx) {
  // Only the flags of the failed attempt are taken back: the record may be
  // shared with other threads, whose changes to other fields must stay.
  ContextRecord& cr = cx.rec();
  const unsigned before = flags_of(cr);
  Ref z = Ref::steal(complex_power(x, a, y, b, Py_None, cx));
  if (!z) return nullptr;
  mpc_srcptr v = mpc_of(z.get());
  if (!mpfr_nan_p(mpc_realref(v)) && !mpfr_nan_p(mpc_imagref(v))) return z.release();
  take_back_flags(cr, before, TRAP_UNDERFLOW | TRAP_OVERFLOW | TRAP_INEXACT);
  raise_conditions(cr, TRAP_INVALID);
  PyErr_SetString(exc.invalid, "pow() invalid operation");  // trapped or not
  return nullptr;
}

PyObject* real_power(PyObject* x, int a, PyObject* y, int b, Ctx& cx) {
  CTXT_Object* c = cx.get();
  if (!c) return nullptr;
  ContextRecord& cr = c->ctx;
  Own<MPFR_Object> r(new_mpfr(0, c));
  if (!r) return nullptr;
  Own<MPFR_Object> tx(to_mpfr(x, a, PREC_EXACT, c));
  if (!tx) return nullptr;
  const mpfr_rnd_t m = rnd(cr);
  mpfr_srcptr fx = tx->f;
  mpfr_clear_flags();
  Small s;
  // Whole non-negative bases in a word; a negative zero is not one (its odd
  // powers are -0).
  if (b == K_PYINT && small_int(y, s) && s.sign >= 0 && mpfr_integer_p(fx) && !mpfr_signbit(fx) &&
      mpfr_fits_ulong_p(fx, MPFR_RNDN)) {
    unsigned long base = mpfr_get_ui(fx, MPFR_RNDN);
    mpfr_clear_flags();
    r->rc = mpfr_ui_pow_ui(r->f, base, s.mag, m);
  } else if (is_integer_kind(b)) {
    Own<MPZ_Object> ty(to_mpz(y, b));
    if (!ty) return nullptr;
    mpfr_clear_flags();
    r->rc = mpfr_pow_z(r->f, fx, ty->z, m);
  } else {
    Own<MPFR_Object> ty(to_mpfr(y, b, PREC_EXACT, c));
    if (!ty) return nullptr;
    mpfr_clear_flags();
    r->rc = mpfr_pow(r->f, fx, ty->f, m);
    if (cr.allow_complex && mpfr_nan_p(r->f) && !mpfr_nan_p(fx) && !mpfr_nan_p(ty->f))
      return complex_retry(x, a, y, b, cx);
  }
  return obj(check_real(std::move(r), c));
}

}  // namespace

PyObject* power(PyObject* x, int a, PyObject* y, int b, PyObject* m, Ctx& cx) {
  switch (class_of(a, b)) {
    case Cls::Int: return int_power(x, a, y, b, m, cx);
    case Cls::Rat: return rat_power(x, a, y, b, m, cx);
    case Cls::Real:
      if (m != Py_None) return type_error(NO_MODULUS);
      return real_power(x, a, y, b, cx);
    case Cls::Cpx: return complex_power(x, a, y, b, m, cx);
    case Cls::None: break;
  }
  Py_RETURN_NOTIMPLEMENTED;
}

PyObject* slot_power(PyObject* x, PyObject* y, PyObject* m) {
  Ctx cx;
  return power(x, classify(x), y, classify(y), m, cx);
}

PyObject* ctx_pow(PyObject* self, PyObject* const* args, Py_ssize_t nargs) {
  if (!want_args(nargs, 2, Fn{"pow", "", "."})) return nullptr;
  int a = classify(args[0]), b = classify(args[1]);
  if (a == K_UNKNOWN || b == K_UNKNOWN) return not_supported("pow", args, nargs);
  Ctx cx(reinterpret_cast<CTXT_Object*>(self));
  return power(args[0], a, args[1], b, Py_None, cx);
}

}  // namespace vx::arith
