// Conversions to mpq, mpfr and mpc.
#include "convert/real_conv.h"

#include <cmath>

#include "objects/check.h"
#include "convert/classify.h"
#include "convert/int_conv.h"
#include "core/errors.h"
#include "core/ref.h"
#include "core/temps.h"

namespace vx {

namespace {

// The precision requests in their raw form, inside the conversions.
constexpr mpfr_prec_t P_CONTEXT = PREC_CONTEXT.v;
constexpr mpfr_prec_t P_EXACT = PREC_EXACT.v;


MPQ_Object* mpq_from_z(mpz_srcptr z) noexcept {
  MPQ_Object* r = new_mpq();
  if (r) mpq_set_z(r->q, z);
  return r;
}

MPQ_Object* mpq_via_mpz_protocol(PyObject* o) noexcept {
  Ref z = Ref::steal(call_protocol(o, P_MPZ));
  return z ? mpq_from_z(mpz_of(z.get())) : nullptr;
}

}  // namespace

MPQ_Object* mpq_from_fraction(PyObject* o) noexcept {
  // fractions.Fraction itself keeps both parts in slots behind its
  // properties: read them directly.
  const bool std_fraction = (type_info(Py_TYPE(o)).bits & T_STD_FRACTION) != 0;
  Ref num = Ref::steal(PyObject_GetAttrString(o, std_fraction ? "_numerator" : "numerator"));
  Ref den = num ? Ref::steal(PyObject_GetAttrString(o, std_fraction ? "_denominator" : "denominator")) : Ref();
  // Fraction keeps the parts it is given when they are Integral, so they
  // may be mpz (or any integer kind) rather than int.
  const int nk = num ? classify(num.get()) : K_UNKNOWN, dk = den ? classify(den.get()) : K_UNKNOWN;
  if (!is_integer_kind(nk) || !is_integer_kind(dk)) {
    if (PyErr_Occurred()) {
      if (must_propagate()) return nullptr;  // no memory, an interrupt: not a verdict on the object
      PyErr_Clear();
    }
    return system_error("Object does not appear to be Fraction");
  }
  Own<MPQ_Object> r(new_mpq());
  if (!r) return nullptr;
  if (nk == K_PYINT && dk == K_PYINT) {
    if (mpz_set_pylong(mpq_numref(r->q), num.get()) < 0 || mpz_set_pylong(mpq_denref(r->q), den.get()) < 0)
      return nullptr;
  } else {
    Own<MPZ_Object> n(to_mpz(num.get(), nk));
    Own<MPZ_Object> d(n ? to_mpz(den.get(), dk) : nullptr);
    if (!d) return nullptr;
    mpz_set(mpq_numref(r->q), n->z);
    mpz_set(mpq_denref(r->q), d->z);
  }
  // A foreign object is not trusted to be in lowest terms with a positive
  // denominator: an mpq must never hold a zero or negative denominator.
  if (mpz_sgn(mpq_denref(r->q)) == 0) return zero_division("zero denominator in mpq()");
  mpq_canonicalize(r->q);
  return reinterpret_cast<MPQ_Object*>(r.release());
}

MPQ_Object* mpq_from_double(double d) noexcept {
  if (std::isnan(d)) return value_error("'mpq' does not support NaN");
  if (std::isinf(d)) return overflow_error("'mpq' does not support Infinity");
  MPQ_Object* r = new_mpq();
  if (r) mpq_set_d(r->q, d);
  return r;
}

void mpq_set_mpfr_exact(mpq_ptr q, mpfr_srcptr f) noexcept {
  if (mpfr_zero_p(f)) {
    mpq_set_ui(q, 0, 1);
    return;
  }
  mpz_ptr m = mpq_numref(q);
  mpfr_exp_t e = mpfr_get_z_2exp(m, f);
  mp_bitcnt_t tz = mpz_scan1(m, 0);
  mpz_fdiv_q_2exp(m, m, tz);
  e += static_cast<mpfr_exp_t>(tz);
  mpz_set_ui(mpq_denref(q), 1);
  if (e > 0)
    mpz_mul_2exp(m, m, static_cast<mp_bitcnt_t>(e));
  else if (e < 0)
    mpz_mul_2exp(mpq_denref(q), mpq_denref(q), static_cast<mp_bitcnt_t>(-e));
}

MPQ_Object* mpq_from_mpfr(mpfr_srcptr f) noexcept {
  if (mpfr_nan_p(f)) return value_error("can not convert NaN to MPQ");
  if (mpfr_inf_p(f)) return overflow_error("can not convert Infinity to MPQ");
  MPQ_Object* r = new_mpq();
  if (r) mpq_set_mpfr_exact(r->q, f);
  return r;
}

PyObject* pylong_from_mpq(mpq_srcptr q) noexcept {
  Mpz t;
  mpz_tdiv_q(t, mpq_numref(q), mpq_denref(q));
  return pylong_from_mpz(t);
}

MPQ_Object* to_mpq(PyObject* o, int kind) noexcept {
  MPQ_Object* r = nullptr;
  switch (kind) {
    case K_MPZ:
      return mpq_from_z(mpz_of(o));
    case K_XMPZ: {
      XmpzLock lock(o);
      return mpq_from_z(mpz_of(o));
    }
    case K_PYINT:
      return mpq_from_pylong(o);
    case K_HAS_MPZ:
      if ((r = mpq_via_mpz_protocol(o))) return r;
      break;
    case K_MPQ:
      Py_INCREF(o);
      return reinterpret_cast<MPQ_Object*>(o);
    case K_FRACTION:
      return mpq_from_fraction(o);
    case K_HAS_MPQ:
      if ((r = reinterpret_cast<MPQ_Object*>(call_protocol(o, P_MPQ)))) return r;
      break;
    default:
      break;
  }
  return conversion_failed("cannot convert object to mpq");
}

MPQ_Object* to_mpq_ratonly(PyObject* o) noexcept {
  if (is_mpq(o)) {
    Py_INCREF(o);
    return reinterpret_cast<MPQ_Object*>(o);
  }
  if (is_mpz(o) || is_xmpz(o)) {
    XmpzLock lock(o);
    return mpq_from_z(mpz_of(o));
  }
  if (PyLong_Check(o)) return mpq_from_pylong(o);
  if (is_fraction_value(o)) return mpq_from_fraction(o);
  if (has_protocol(o, P_MPQ)) {
    if (auto* r = reinterpret_cast<MPQ_Object*>(call_protocol(o, P_MPQ))) return r;
  } else if (has_protocol(o, P_MPZ)) {
    if (MPQ_Object* r = mpq_via_mpz_protocol(o)) return r;
  }
  return conversion_failed("cannot convert object to mpq");
}

MPQ_Object* mpq_from_pair(PyObject* n, PyObject* d) noexcept {
  if (!is_rational_kind(classify(n)) || !is_rational_kind(classify(d)))
    return type_error("mpq() requires numeric or string argument");
  Own<MPQ_Object> qn(to_mpq_ratonly(n));
  if (!qn) return nullptr;
  Own<MPQ_Object> qd(to_mpq_ratonly(d));
  if (!qd) return nullptr;
  if (mpq_sgn(qd->q) == 0) return zero_division("zero denominator in mpq()");
  MPQ_Object* r = new_mpq();
  if (r) mpq_div(r->q, qn->q, qd->q);
  return r;
}

MPQ_Object* to_mpq_ctor(PyObject* o) noexcept {
  if (is_mpq(o)) {
    Py_INCREF(o);
    return reinterpret_cast<MPQ_Object*>(o);
  }
  if (is_mpz(o)) return mpq_from_z(mpz_of(o));
  if (is_mpfr(o)) return mpq_from_mpfr(mpfr_of(o));
  if (PyFloat_Check(o)) return mpq_from_double(PyFloat_AS_DOUBLE(o));
  if (PyLong_Check(o)) return mpq_from_pylong(o);
  if (is_xmpz(o)) {
    XmpzLock lock(o);
    return mpq_from_z(mpz_of(o));
  }
  if (is_fraction(o)) return mpq_from_fraction(o);
  Ref pair = Ref::steal(PyObject_CallMethod(o, "as_integer_ratio", nullptr));
  if (pair) {
    if (!PyTuple_Check(pair.get()) || PyTuple_GET_SIZE(pair.get()) != 2)
      return type_error("cannot convert object to mpq");
    return mpq_from_pair(PyTuple_GET_ITEM(pair.get(), 0), PyTuple_GET_ITEM(pair.get(), 1));
  }
  if (must_propagate()) return nullptr;
  PyErr_Clear();
  if (has_protocol(o, P_MPQ)) {
    if (auto* r = reinterpret_cast<MPQ_Object*>(call_protocol(o, P_MPQ))) return r;
  } else if (has_protocol(o, P_MPZ)) {
    if (MPQ_Object* r = mpq_via_mpz_protocol(o)) return r;
  }
  return conversion_failed("cannot convert object to mpq");
}

namespace {

// mpz to mpfr: exact (p == 1) uses the integer's bit length.
MPFR_Object* mpfr_from_z(mpz_srcptr z, mpfr_prec_t p, CTXT_Object* ctx) noexcept {
  const bool exact = p == P_EXACT;
  if (exact) {
    size_t bits = mpz_sizeinbase(z, 2);
    if (bits > static_cast<size_t>(PREC_MAX)) return overflow_error("'mpz' too large to convert to 'mpfr'\n");
    p = static_cast<mpfr_prec_t>(bits);
  }
  MPFR_Object* r = new_mpfr(p, ctx);
  if (!r) return nullptr;
  mpfr_clear_flags();
  r->rc = mpfr_set_z(r->f, z, rnd(ctx->ctx));
  return check_real(r, ctx->ctx, !exact, false);
}

MPFR_Object* mpfr_from_q(mpq_srcptr q, mpfr_prec_t p, CTXT_Object* ctx) noexcept {
  MPFR_Object* r = new_mpfr(p == P_EXACT ? P_CONTEXT : p, ctx);
  if (!r) return nullptr;
  mpfr_clear_flags();
  r->rc = mpfr_set_q(r->f, q, rnd(ctx->ctx));
  return check_real(r, ctx->ctx);
}

MPFR_Object* mpfr_from_mpfr(PyObject* o, mpfr_prec_t p, CTXT_Object* ctx) noexcept {
  mpfr_srcptr f = mpfr_of(o);
  if (p == P_EXACT || !mpfr_number_p(f)) {
    Py_INCREF(o);
    return reinterpret_cast<MPFR_Object*>(o);
  }
  const ContextRecord& c = ctx->ctx;
  if (p == P_CONTEXT) p = c.precision;
  bool convert = p != mpfr_get_prec(f) || c.subnormalize;
  if (!convert && !mpfr_zero_p(f)) {
    mpfr_exp_t e = mpfr_get_exp(f);
    convert = e < p + c.emin - 1 || e > c.emax;
  }
  if (!convert) {
    Py_INCREF(o);
    return reinterpret_cast<MPFR_Object*>(o);
  }
  MPFR_Object* r = new_mpfr(p, ctx);
  if (!r) return nullptr;
  mpfr_clear_flags();
  r->rc = mpfr_set(r->f, f, rnd(c));
  return check_real(r, ctx->ctx);
}

}  // namespace

MPFR_Object* to_mpfr(PyObject* o, int kind, Prec prec, CTXT_Object* given) noexcept {
  const mpfr_prec_t p = prec.v;
  Ctx h(given);
  CTXT_Object* ctx = h.get();
  if (!ctx) return nullptr;
  switch (kind) {
    case K_MPFR:
      return mpfr_from_mpfr(o, p, ctx);
    case K_MPZ:
      return mpfr_from_z(mpz_of(o), p, ctx);
    case K_XMPZ: {
      XmpzLock lock(o);
      return mpfr_from_z(mpz_of(o), p, ctx);
    }
    case K_PYINT: {
      int overflow = 0;
      long v = PyLong_AsLongAndOverflow(o, &overflow);
      if (!overflow) {
        if (v == -1 && PyErr_Occurred()) return nullptr;
        MPFR_Object* r = new_mpfr(p == P_EXACT ? 64 : p, ctx);
        if (!r) return nullptr;
        mpfr_clear_flags();
        r->rc = mpfr_set_si_2exp(r->f, v, 0, rnd(ctx->ctx));
        return check_real(r, ctx->ctx, p != P_EXACT, false);
      }
      Own<MPZ_Object> z(mpz_from_pylong(o));
      if (!z) return nullptr;
      return mpfr_from_z(z->z, p, ctx);
    }
    case K_HAS_MPZ: {
      Ref z = Ref::steal(call_protocol(o, P_MPZ));
      if (z) return mpfr_from_z(mpz_of(z.get()), p, ctx);
      break;
    }
    case K_MPQ:
      return mpfr_from_q(mpq_of(o), p, ctx);
    case K_FRACTION: {
      Own<MPQ_Object> q(mpq_from_fraction(o));
      if (!q) return nullptr;
      return mpfr_from_q(q->q, p, ctx);
    }
    case K_HAS_MPQ: {
      Ref q = Ref::steal(call_protocol(o, P_MPQ));
      if (q) return mpfr_from_q(mpq_of(q.get()), p, ctx);
      break;
    }
    case K_PYFLOAT: {
      MPFR_Object* r = new_mpfr(p == P_EXACT ? 53 : p, ctx);
      if (!r) return nullptr;
      mpfr_clear_flags();
      r->rc = mpfr_set_d(r->f, PyFloat_AS_DOUBLE(o), rnd(ctx->ctx));
      return check_real(r, ctx->ctx, p != P_EXACT, true);
    }
    case K_HAS_MPFR:
      if (PyObject* r = call_protocol(o, P_MPFR)) return reinterpret_cast<MPFR_Object*>(r);
      break;
    default:
      break;
  }
  return conversion_failed("object could not be converted to 'mpfr'");
}

namespace {

template <class SetFn>
MPC_Object* mpc_made(mpfr_prec_t rp, mpfr_prec_t ip, CTXT_Object* ctx, bool range, SetFn set) noexcept {
  MPC_Object* r = new_mpc(rp, ip, ctx);
  if (!r) return nullptr;
  r->rc = set(r->c, crnd(ctx->ctx));
  return check_complex_opt(r, ctx->ctx, range);
}

MPC_Object* mpc_from_z(mpz_srcptr z, mpfr_prec_t p, CTXT_Object* ctx) noexcept {
  return mpc_made(0, 0, ctx, p != P_EXACT, [z](mpc_ptr c, mpc_rnd_t r) { return mpc_set_z(c, z, r); });
}
MPC_Object* mpc_from_q(mpq_srcptr q, CTXT_Object* ctx) noexcept {
  return mpc_made(0, 0, ctx, true, [q](mpc_ptr c, mpc_rnd_t r) { return mpc_set_q(c, q, r); });
}

MPC_Object* mpc_from_mpfr(mpfr_srcptr f, mpfr_prec_t p, CTXT_Object* ctx) noexcept {
  mpfr_prec_t rp = p ? mpfr_get_prec(f) : real_prec(ctx->ctx);
  return mpc_made(rp, imag_prec(ctx->ctx), ctx, true, [f](mpc_ptr c, mpc_rnd_t r) { return mpc_set_fr(c, f, r); });
}

MPC_Object* mpc_from_mpc(PyObject* o, mpfr_prec_t p, mpfr_prec_t q, CTXT_Object* ctx) noexcept {
  mpc_srcptr src = mpc_of(o);
  mpfr_srcptr re = mpc_realref(src), im = mpc_imagref(src);
  if ((p == P_EXACT && q == P_EXACT) || (!mpfr_number_p(re) && !mpfr_number_p(im))) {
    Py_INCREF(o);
    return reinterpret_cast<MPC_Object*>(o);
  }
  const ContextRecord& c = ctx->ctx;
  p = p == P_CONTEXT ? real_prec(c) : (p == P_EXACT ? mpfr_get_prec(re) : p);
  q = q == P_CONTEXT ? imag_prec(c) : (q == P_EXACT ? mpfr_get_prec(im) : q);
  bool convert = p != mpfr_get_prec(re) || q != mpfr_get_prec(im) || c.subnormalize;
  auto out = [&](mpfr_srcptr part, mpfr_prec_t prec) {
    if (!mpfr_regular_p(part)) return false;
    mpfr_exp_t e = mpfr_get_exp(part);
    return e < prec + c.emin - 1 || e > c.emax;
  };
  convert = convert || out(re, p) || out(im, q);
  if (!convert) {
    Py_INCREF(o);
    return reinterpret_cast<MPC_Object*>(o);
  }
  return mpc_made(p, q, ctx, true, [src](mpc_ptr d, mpc_rnd_t r) { return mpc_set(d, src, r); });
}

}  // namespace

MPC_Object* to_mpc(PyObject* o, int kind, Prec rprec, Prec iprec, CTXT_Object* given) noexcept {
  const mpfr_prec_t p = rprec.v, q = iprec.v;
  Ctx h(given);
  CTXT_Object* ctx = h.get();
  if (!ctx) return nullptr;
  switch (kind) {
    case K_MPC:
      return mpc_from_mpc(o, p, q, ctx);
    case K_MPZ:
      return mpc_from_z(mpz_of(o), p, ctx);
    case K_XMPZ: {
      XmpzLock lock(o);
      return mpc_from_z(mpz_of(o), p, ctx);
    }
    case K_PYINT: {
      Own<MPZ_Object> z(mpz_from_pylong(o));
      if (!z) return nullptr;
      return mpc_from_z(z->z, p, ctx);
    }
    case K_HAS_MPZ: {
      Ref z = Ref::steal(call_protocol(o, P_MPZ));
      if (z) return mpc_from_z(mpz_of(z.get()), p, ctx);
      break;
    }
    case K_MPQ:
      return mpc_from_q(mpq_of(o), ctx);
    case K_FRACTION: {
      Own<MPQ_Object> fq(mpq_from_fraction(o));
      if (!fq) return nullptr;
      return mpc_from_q(fq->q, ctx);
    }
    case K_HAS_MPQ: {
      Ref fq = Ref::steal(call_protocol(o, P_MPQ));
      if (fq) return mpc_from_q(mpq_of(fq.get()), ctx);
      break;
    }
    case K_MPFR:
      return mpc_from_mpfr(mpfr_of(o), p, ctx);
    case K_HAS_MPFR: {
      Ref f = Ref::steal(call_protocol(o, P_MPFR));
      if (f) return mpc_from_mpfr(mpfr_of(f.get()), p, ctx);
      break;
    }
    case K_PYFLOAT: {
      double d = PyFloat_AS_DOUBLE(o);
      return mpc_made(p ? 53 : real_prec(ctx->ctx), imag_prec(ctx->ctx), ctx, true,
                      [d](mpc_ptr c, mpc_rnd_t r) { return mpc_set_d(c, d, r); });
    }
    case K_PYCOMPLEX: {
      double re = PyComplex_RealAsDouble(o), im = PyComplex_ImagAsDouble(o);
      mpfr_prec_t rp = p == P_CONTEXT ? real_prec(ctx->ctx) : (p == P_EXACT ? 53 : p);
      mpfr_prec_t ip = q == P_CONTEXT ? imag_prec(ctx->ctx) : (q == P_EXACT ? 53 : q);
      // new_mpc reads 1 as "the context's": ask for 53 explicitly.
      return mpc_made(rp, ip, ctx, true, [re, im](mpc_ptr c, mpc_rnd_t r) { return mpc_set_d_d(c, re, im, r); });
    }
    case K_HAS_MPC:
      if (PyObject* r = call_protocol(o, P_MPC)) return reinterpret_cast<MPC_Object*>(r);
      break;
    default:
      break;
  }
  return conversion_failed("object could not be converted to 'mpc'");
}

namespace {
inline bool is_private(PyObject* o) noexcept { return Py_REFCNT(o) == 1; }
}  // namespace

MPZ_Object* private_mpz(PyObject* o, int kind) noexcept {
  MPZ_Object* r = to_mpz(o, kind);
  if (!r || is_private(reinterpret_cast<PyObject*>(r))) return r;
  Own<MPZ_Object> shared(r);
  return int_from_mpz<MPZ_Object>(shared->z);
}

MPQ_Object* private_mpq(PyObject* o, int kind) noexcept {
  MPQ_Object* r = to_mpq(o, kind);
  if (!r || is_private(reinterpret_cast<PyObject*>(r))) return r;
  Own<MPQ_Object> shared(r);
  MPQ_Object* c = new_mpq();
  if (c) mpq_set(c->q, shared->q);
  return c;
}

MPFR_Object* private_mpfr(PyObject* o, int kind, CTXT_Object* ctx) noexcept {
  MPFR_Object* r = to_mpfr(o, kind, PREC_EXACT, ctx);
  if (!r || is_private(reinterpret_cast<PyObject*>(r))) return r;
  Own<MPFR_Object> shared(r);
  MPFR_Object* c = new_mpfr(mpfr_get_prec(shared->f), ctx);
  if (c) c->rc = mpfr_set(c->f, shared->f, MPFR_RNDN);
  return c;
}

}  // namespace vx
