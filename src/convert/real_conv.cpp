// Conversions to mpq, mpfr and mpc.
#include "convert/real_conv.h"

#include <cmath>

#include "objects/check.h"
#include "convert/classify.h"
#include "convert/foreign.h"
#include "convert/int_conv.h"
#include "core/errors.h"
#include "core/memory.h"
#include "core/ref.h"
#include "core/temps.h"

namespace vx {

namespace {

// The precision requests in their raw form, inside the conversions.


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
    if (PyErr_Occurred() && !must_propagate()) PyErr_Clear();
    return conversion_failed("cannot convert object to mpq");
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

MPQ_Object* mpq_from_mpfr(mpfr_srcptr f) noexcept {
  if (mpfr_nan_p(f)) return value_error("can not convert NaN to MPQ");
  if (mpfr_inf_p(f)) return overflow_error("can not convert Infinity to MPQ");
  // The numerator or the denominator has about |exponent| + precision bits.
  const mpfr_exp_t e = mpfr_zero_p(f) ? 0 : mpfr_get_exp(f);
  if (!can_allocate(bits_sum(static_cast<uint64_t>(e < 0 ? -e : e), static_cast<uint64_t>(mpfr_get_prec(f))))) return nullptr;
  MPQ_Object* r = new_mpq();
  if (r) mpfr_get_q(r->q, f);
  return r;
}

PyObject* pylong_from_mpq(mpq_srcptr q) noexcept {
  Mpz t;
  mpz_tdiv_q(t, mpq_numref(q), mpq_denref(q));
  return pylong_from_mpz(t);
}

MPQ_Object* to_mpq(PyObject* o, int kind) noexcept {
  switch (kind) {
    case K_MPZ:
    case K_XMPZ: {
      XmpzLock lock(o);  // (nothing to lock for an mpz)
      return mpq_from_z(mpz_of(o));
    }
    case K_PYINT:
      return mpq_from_pylong(o);
    case K_MPQ:
      Py_INCREF(o);
      return reinterpret_cast<MPQ_Object*>(o);
    default:
      if (OwnValue v = foreign_value(o, kind); v.value && is_rational_kind(v.kind)) return to_mpq(v.value.get(), v.kind);
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
  if (is_fraction_arg(o)) return mpq_from_fraction(o);
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
MPFR_Object* mpfr_from_z(mpz_srcptr z, Prec prec, CTXT_Object* ctx) noexcept {
  const bool exact = prec.is_exact();
  mpfr_prec_t p = prec.alloc_bits();
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

MPFR_Object* mpfr_from_q(mpq_srcptr q, Prec prec, CTXT_Object* ctx) noexcept {
  MPFR_Object* r = new_mpfr(prec.alloc_bits(), ctx);  // exact: the context's (a rational cannot be exact)
  if (!r) return nullptr;
  mpfr_clear_flags();
  r->rc = mpfr_set_q(r->f, q, rnd(ctx->ctx));
  return check_real(r, ctx->ctx);
}

MPFR_Object* mpfr_from_mpfr(PyObject* o, Prec prec, CTXT_Object* ctx) noexcept {
  mpfr_srcptr f = mpfr_of(o);
  if (prec.is_exact() || !mpfr_number_p(f)) {
    Py_INCREF(o);
    return reinterpret_cast<MPFR_Object*>(o);
  }
  const ContextRecord& c = ctx->ctx;
  const mpfr_prec_t p = prec.is_context() ? c.precision : prec.v;
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
  const Prec p = prec;
  Ctx h(given);
  CTXT_Object* ctx = h.get();
  if (!ctx) return nullptr;
  switch (kind) {
    case K_MPFR:
      return mpfr_from_mpfr(o, p, ctx);
    case K_MPZ:
    case K_XMPZ: {
      XmpzLock lock(o);
      return mpfr_from_z(mpz_of(o), p, ctx);
    }
    case K_PYINT: {
      int overflow = 0;
      long v = PyLong_AsLongAndOverflow(o, &overflow);
      if (!overflow) {
        if (v == -1 && PyErr_Occurred()) return nullptr;
        MPFR_Object* r = new_mpfr(p.is_exact() ? 64 : p.alloc_bits(), ctx);
        if (!r) return nullptr;
        mpfr_clear_flags();
        r->rc = mpfr_set_si_2exp(r->f, v, 0, rnd(ctx->ctx));
        return check_real(r, ctx->ctx, !p.is_exact(), false);
      }
      Own<MPZ_Object> z(mpz_from_pylong(o));
      if (!z) return nullptr;
      return mpfr_from_z(z->z, p, ctx);
    }
    case K_MPQ:
      return mpfr_from_q(mpq_of(o), p, ctx);
    case K_PYFLOAT: {
      MPFR_Object* r = new_mpfr(p.is_exact() ? 53 : p.alloc_bits(), ctx);
      if (!r) return nullptr;
      mpfr_clear_flags();
      r->rc = mpfr_set_d(r->f, PyFloat_AS_DOUBLE(o), rnd(ctx->ctx));
      return check_real(r, ctx->ctx, !p.is_exact(), true);
    }
    default:
      if (OwnValue v = foreign_value(o, kind); v.value && is_real_kind(v.kind)) {
        if (v.as_is && v.kind == K_MPFR) return reinterpret_cast<MPFR_Object*>(v.value.release());
        return to_mpfr(v.value.get(), v.kind, prec, ctx);
      }
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

MPC_Object* mpc_from_z(mpz_srcptr z, Prec p, CTXT_Object* ctx) noexcept {
  return mpc_made(0, 0, ctx, !p.is_exact(), [z](mpc_ptr c, mpc_rnd_t r) { return mpc_set_z(c, z, r); });
}
MPC_Object* mpc_from_q(mpq_srcptr q, CTXT_Object* ctx) noexcept {
  return mpc_made(0, 0, ctx, true, [q](mpc_ptr c, mpc_rnd_t r) { return mpc_set_q(c, q, r); });
}

// The real part keeps f's own precision unless the context's is asked for.
MPC_Object* mpc_from_mpfr(mpfr_srcptr f, Prec p, CTXT_Object* ctx) noexcept {
  mpfr_prec_t rp = p.is_context() ? real_prec(ctx->ctx) : mpfr_get_prec(f);
  return mpc_made(rp, imag_prec(ctx->ctx), ctx, true, [f](mpc_ptr c, mpc_rnd_t r) { return mpc_set_fr(c, f, r); });
}

MPC_Object* mpc_from_mpc(PyObject* o, Prec rprec, Prec iprec, CTXT_Object* ctx) noexcept {
  mpc_srcptr src = mpc_of(o);
  mpfr_srcptr re = mpc_realref(src), im = mpc_imagref(src);
  if ((rprec.is_exact() && iprec.is_exact()) || (!mpfr_number_p(re) && !mpfr_number_p(im))) {
    Py_INCREF(o);
    return reinterpret_cast<MPC_Object*>(o);
  }
  const ContextRecord& c = ctx->ctx;
  const mpfr_prec_t p = rprec.is_context() ? real_prec(c) : (rprec.is_exact() ? mpfr_get_prec(re) : rprec.v);
  const mpfr_prec_t q = iprec.is_context() ? imag_prec(c) : (iprec.is_exact() ? mpfr_get_prec(im) : iprec.v);
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
  const Prec p = rprec, q = iprec;
  Ctx h(given);
  CTXT_Object* ctx = h.get();
  if (!ctx) return nullptr;
  switch (kind) {
    case K_MPC:
      return mpc_from_mpc(o, p, q, ctx);
    case K_MPZ:
    case K_XMPZ: {
      XmpzLock lock(o);
      return mpc_from_z(mpz_of(o), p, ctx);
    }
    case K_PYINT: {
      Own<MPZ_Object> z(mpz_from_pylong(o));
      if (!z) return nullptr;
      return mpc_from_z(z->z, p, ctx);
    }
    case K_MPQ:
      return mpc_from_q(mpq_of(o), ctx);
    case K_MPFR:
      return mpc_from_mpfr(mpfr_of(o), p, ctx);
    case K_PYFLOAT: {
      double d = PyFloat_AS_DOUBLE(o);
      return mpc_made(p.is_context() ? real_prec(ctx->ctx) : 53, imag_prec(ctx->ctx), ctx, true,
                      [d](mpc_ptr c, mpc_rnd_t r) { return mpc_set_d(c, d, r); });
    }
    case K_PYCOMPLEX: {
      double re = PyComplex_RealAsDouble(o), im = PyComplex_ImagAsDouble(o);
      mpfr_prec_t rp = p.is_context() ? real_prec(ctx->ctx) : (p.is_exact() ? 53 : p.v);
      mpfr_prec_t ip = q.is_context() ? imag_prec(ctx->ctx) : (q.is_exact() ? 53 : q.v);
      // new_mpc reads 1 as "the context's": ask for 53 explicitly.
      return mpc_made(rp, ip, ctx, true, [re, im](mpc_ptr c, mpc_rnd_t r) { return mpc_set_d_d(c, re, im, r); });
    }
    default:
      if (OwnValue v = foreign_value(o, kind); v.value) {
        if (v.as_is && v.kind == K_MPC) return reinterpret_cast<MPC_Object*>(v.value.release());
        return to_mpc(v.value.get(), v.kind, rprec, iprec, ctx);
      }
      break;
  }
  return conversion_failed("object could not be converted to 'mpc'");
}

}  // namespace vx
