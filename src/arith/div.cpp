// True division, floor division, remainder and divmod in the four classes.
#include "arith/float_ops.h"
#include "convert/int_conv.h"

namespace vx::arith {

namespace {

constexpr const char* ZERO_DIV = "division or modulo by zero";

// The exponent range of the context imposed on a bare value, and its
// subnormalization, without touching the context's flags.
void impose_range(mpfr_ptr f, int& rc, const ContextRecord& c) noexcept {
  if (mpfr_regular_p(f) && (mpfr_get_exp(f) < c.emin || mpfr_get_exp(f) > c.emax)) {
    ExpRange er(c.emin, c.emax);
    rc = mpfr_check_range(f, rc, rnd(c));
  }
  if (c.subnormalize && mpfr_regular_p(f) && mpfr_get_exp(f) >= c.emin &&
      mpfr_get_exp(f) <= c.emin + static_cast<mpfr_exp_t>(mpfr_get_prec(f)) - 2) {
    ExpRange er(c.emin, c.emax);
    rc = mpfr_subnormalize(f, rc, rnd(c));
  }
}

// ---- integers: floor semantics, the remainder takes the divisor's sign ----

enum class Part { Q, R, QR };

// The quotient and/or remainder objects of one division.
template <Part P>
struct Out {
  Own<MPZ_Object> q, r;
  bool make() noexcept {
    if (P != Part::R && !(q = Own<MPZ_Object>(new_mpz()))) return false;
    if (P != Part::Q && !(r = Own<MPZ_Object>(new_mpz()))) return false;
    return true;
  }
  // Where a large Python int operand may be stored before dividing.
  mpz_ptr scratch() noexcept { return P == Part::Q ? q->z : r->z; }
  PyObject* result() noexcept {
    if constexpr (P == Part::Q) return q.release();
    else if constexpr (P == Part::R) return r.release();
    else return steal_pair(q.release(), r.release());
  }
};

template <Part P>
inline void fdiv(Out<P>& o, mpz_srcptr n, mpz_srcptr d) noexcept {
  if constexpr (P == Part::Q) mpz_fdiv_q(o.q->z, n, d);
  else if constexpr (P == Part::R) mpz_fdiv_r(o.r->z, n, d);
  else mpz_fdiv_qr(o.q->z, o.r->z, n, d);
}

// Division by a non-zero word: by m > 0 with floor rounding, by -m through
// the ceiling forms (floor(n / -m) = -ceil(n / m), same remainder).
template <Part P>
inline void fdiv_small(Out<P>& o, mpz_srcptr n, Small s) noexcept {
  if (s.sign > 0) {
    if constexpr (P == Part::Q) mpz_fdiv_q_ui(o.q->z, n, s.mag);
    else if constexpr (P == Part::R) mpz_fdiv_r_ui(o.r->z, n, s.mag);
    else mpz_fdiv_qr_ui(o.q->z, o.r->z, n, s.mag);
  } else {
    if constexpr (P == Part::Q) mpz_cdiv_q_ui(o.q->z, n, s.mag);
    else if constexpr (P == Part::R) mpz_cdiv_r_ui(o.r->z, n, s.mag);
    else mpz_cdiv_qr_ui(o.q->z, o.r->z, n, s.mag);
    if constexpr (P != Part::R) mpz_neg(o.q->z, o.q->z);
  }
}

// Operands of at most one limb (a non-zero divisor) divided in machine
// words, without GMP's general division and its adjustments; false when
// an operand is larger.
template <Part P>
inline bool fdiv_words(Out<P>& o, mpz_srcptr n, mpz_srcptr d) noexcept {
  if (mpz_size(n) > 1 || mpz_size(d) != 1) return false;
  const mp_limb_t nm = mpz_getlimbn(n, 0), dm = mpz_getlimbn(d, 0);
  const bool n_neg = mpz_sgn(n) < 0, d_neg = mpz_sgn(d) < 0;
  mp_limb_t q = nm / dm, r = nm % dm;
  if (n_neg != d_neg && r) {  // floor: one more in magnitude, remainder from the other side
    q += 1;
    r = dm - r;
  }
  if constexpr (P != Part::R) {
    mpz_set_ui(o.q->z, q);
    if (n_neg != d_neg) mpz_neg(o.q->z, o.q->z);
  }
  if constexpr (P != Part::Q) {
    mpz_set_ui(o.r->z, r);
    if (d_neg) mpz_neg(o.r->z, o.r->z);  // the remainder takes the divisor's sign
  }
  return true;
}

template <Part P>
PyObject* int_fdiv(PyObject* x, int a, PyObject* y, int b, Ctx& cx) {
  Out<P> o;
  if (!o.make()) return nullptr;
  if (is_own_integer(a) && b == K_PYINT) {
    mpz_srcptr n = mpz_of(x);
    Small s;
    if (small_int(y, s)) {
      if (s.mag == 0) return zero_division(ZERO_DIV);
      fdiv_small(o, n, s);
      return o.result();
    }
    mpz_ptr d = o.scratch();
    mpz_set_pylong(d, y);  // large, hence not zero
    if (!compute(cx, a == K_XMPZ, limbs(n, d), [&] { fdiv(o, n, d); })) return nullptr;
    return o.result();
  }
  if ((is_own_integer(a) || a == K_PYINT) && is_own_integer(b)) {
    mpz_srcptr d = mpz_of(y);
    if (mpz_sgn(d) == 0) return zero_division(ZERO_DIV);
    mpz_srcptr n;
    if (a == K_PYINT) {
      mpz_ptr t = o.scratch();
      mpz_set_pylong(t, x);
      n = t;
    } else {
      n = mpz_of(x);
      if (fdiv_words(o, n, d)) return o.result();
    }
    if (!compute(cx, is_shared(a, b), limbs(n, d), [&] { fdiv(o, n, d); })) return nullptr;
    return o.result();
  }
  Own<MPZ_Object> tx(to_mpz(x, a));
  if (!tx) return nullptr;
  Own<MPZ_Object> ty(to_mpz(y, b));
  if (!ty) return nullptr;
  if (mpz_sgn(ty->z) == 0) return zero_division(ZERO_DIV);
  mpz_srcptr n = tx->z, d = ty->z;
  if (!compute(cx, false, limbs(n, d), [&] { fdiv(o, n, d); })) return nullptr;
  return o.result();
}

// ---- rationals ----

// Both operands as mpq, the divisor checked for zero.
struct RatPair {
  Own<MPQ_Object> x, y;
  bool load(PyObject* xo, int a, PyObject* yo, int b) noexcept {
    if (!(x = Own<MPQ_Object>(to_mpq(xo, a)))) return false;
    if (!(y = Own<MPQ_Object>(to_mpq(yo, b)))) return false;
    if (mpq_sgn(y->q) == 0) {
      zero_division(ZERO_DIV);
      return false;
    }
    return true;
  }
};

PyObject* rat_truediv(PyObject* x, int a, PyObject* y, int b, Ctx& cx) {
  RatPair p;
  if (!p.load(x, a, y, b)) return nullptr;
  Own<MPQ_Object> r(new_mpq());
  if (!r) return nullptr;
  mpq_ptr rq = r->q;
  mpq_srcptr xq = p.x->q, yq = p.y->q;
  if (!compute(cx, false, limbs(xq, yq), [&] { mpq_div(rq, xq, yq); })) return nullptr;
  return r.release();
}

// n = floor(x / y) and r = x - n*y; either may be left out.
void rat_floor(mpz_ptr n, mpq_ptr r, mpq_srcptr x, mpq_srcptr y) noexcept {
  Mpq t;
  mpq_div(t, x, y);
  mpz_fdiv_q(mpq_numref(t.get()), mpq_numref(t.get()), mpq_denref(t.get()));
  mpz_set_ui(mpq_denref(t.get()), 1);
  if (n) mpz_set(n, mpq_numref(t.get()));
  if (r) {
    mpq_mul(t, t, y);
    mpq_sub(r, x, t);
  }
}

template <Part P>
PyObject* rat_fdiv(PyObject* x, int a, PyObject* y, int b, Ctx& cx) {
  RatPair p;
  if (!p.load(x, a, y, b)) return nullptr;
  Own<MPZ_Object> n;
  Own<MPQ_Object> r;
  if (P != Part::R && !(n = Own<MPZ_Object>(new_mpz()))) return nullptr;
  if (P != Part::Q && !(r = Own<MPQ_Object>(new_mpq()))) return nullptr;
  mpz_ptr np = n ? n->z : nullptr;
  mpq_ptr rp = r ? r->q : nullptr;
  mpq_srcptr xq = p.x->q, yq = p.y->q;
  if (!compute(cx, false, limbs(xq, yq), [&] { rat_floor(np, rp, xq, yq); })) return nullptr;
  if constexpr (P == Part::Q) return n.release();
  else if constexpr (P == Part::R) return r.release();
  else return PyTuple_Pack(2, n.get(), r.get());
}

// ---- reals ----

PyObject* real_truediv(PyObject* x, int a, PyObject* y, int b, Ctx& cx) {
  CTXT_Object* c = cx.get();
  if (!c) return nullptr;
  return real_checked<FDiv>(x, a, y, b, c);
}

// The quotient rounded to the context, then down to an integral value; the
// check reads the flags of both roundings.
PyObject* real_floordiv(PyObject* x, int a, PyObject* y, int b, Ctx& cx) {
  CTXT_Object* c = cx.get();
  if (!c) return nullptr;
  return real_forms<FDiv>(x, a, y, b, c, [c](auto op) -> PyObject* {
    MPFR_Object* r = new_mpfr(0, c);
    if (!r) return nullptr;
    mpfr_clear_flags();
    op(r->f, rnd(c->ctx));
    r->rc = mpfr_rint(r->f, r->f, MPFR_RNDD);
    return obj(check_real(r, c));
  });
}


// The operands of % and divmod as exact mpfr values, with their context.
// A NaN operand whose conversion reports the invalid operation itself (a
// float NaN under trap_invalid) is taken as a NaN: the flag is set, and the
// operation then reports it with its own text, after a zero divisor.
struct RealPair {
  Own<MPFR_Object> x, y;
  CTXT_Object* c = nullptr;
  bool load(PyObject* xo, int a, PyObject* yo, int b, Ctx& cx) noexcept {
    if (!(c = cx.get())) return false;
    return convert(x, xo, a) && convert(y, yo, b);
  }

 private:
  bool convert(Own<MPFR_Object>& v, PyObject* o, int kind) noexcept {
    v = Own<MPFR_Object>(to_mpfr(o, kind, PREC_EXACT, c));
    if (v) return true;
    if (!PyErr_ExceptionMatches(exc.invalid)) return false;
    PyErr_Clear();
    v = Own<MPFR_Object>(new_mpfr(2, c));
    if (!v) return false;
    mpfr_set_nan(v->f);
    return true;
  }
};

// % or divmod of two reals: Body(context, x, y) on the operands of RealPair.
template <PyObject* (*Body)(CTXT_Object*, mpfr_srcptr, mpfr_srcptr)>
PyObject* on_real_pair(PyObject* x, int a, PyObject* y, int b, Ctx& cx) {
  RealPair p;
  return p.load(x, a, y, b, cx) ? Body(p.c, p.x->f, p.y->f) : nullptr;
}

// fmod's remainder r of x / y (the sign of x) made Python's, with the sign
// of y: a zero takes y's sign, a remainder of the other sign is moved by y
// (rc its ternary value). True when moved: the floored quotient is then the
// truncated one less 1.
bool floor_remainder(mpfr_ptr r, int& rc, mpfr_srcptr y, mpfr_rnd_t m) noexcept {
  if (mpfr_zero_p(r)) {
    mpfr_setsign(r, r, mpfr_signbit(y), m);
    return false;
  }
  if (mpfr_signbit(r) == mpfr_signbit(y)) return false;
  rc = mpfr_add(r, r, y, m);
  return true;
}

// x % y with the sign of y, as Python's floats do.
PyObject* real_mod(CTXT_Object* c, mpfr_srcptr fx, mpfr_srcptr fy) {
  ContextRecord& cr = c->ctx;
  if (mpfr_zero_p(fy)) {
    if (!raise_conditions(cr, TRAP_DIVZERO, "mod() modulo by zero")) return nullptr;
  }
  Own<MPFR_Object> r(new_mpfr(0, c));
  if (!r) return nullptr;
  const mpfr_rnd_t m = rnd(cr);
  mpfr_clear_flags();
  if (mpfr_nan_p(fx) || mpfr_inf_p(fx) || mpfr_nan_p(fy)) {
    if (!raise_conditions(cr, TRAP_INVALID, "mod() invalid operation")) return nullptr;
    mpfr_set_nan(r->f);
  } else if (mpfr_inf_p(fy)) {
    if (!raise_conditions(cr, TRAP_INVALID, "mod() invalid operation")) return nullptr;
    if (mpfr_sgn(fy) < 0)
      mpfr_set_inf(r->f, -1);
    else
      r->rc = mpfr_set(r->f, fx, m);
  } else {
    r->rc = mpfr_fmod(r->f, fx, fy, m);
    floor_remainder(r->f, r->rc, fy, m);
  }
  return obj(check_real(std::move(r), c));
}

// divmod(x, y) as Python's floats compute it; the parts are brought into
// the exponent range but no flag is raised.
PyObject* real_divmod(CTXT_Object* c, mpfr_srcptr fx, mpfr_srcptr fy) {
  ContextRecord& cr = c->ctx;
  if (range_empty(cr)) return value_error(EMPTY_RANGE);
  Own<MPFR_Object> q(new_mpfr(0, c));
  if (!q) return nullptr;
  Own<MPFR_Object> r(new_mpfr(0, c));
  if (!r) return nullptr;
  mpfr_ptr fq = q->f, fr = r->f;
  constexpr mpfr_rnd_t N = MPFR_RNDN;
  if (mpfr_zero_p(fy)) {
    if (!raise_conditions(cr, TRAP_DIVZERO, "divmod() division by zero")) return nullptr;
    mpfr_set_nan(fq);
    mpfr_set_nan(fr);
  } else if (mpfr_nan_p(fy) || mpfr_nan_p(fx) || mpfr_inf_p(fx)) {
    if (!raise_conditions(cr, TRAP_INVALID, "divmod() invalid operation")) return nullptr;
    mpfr_set_nan(fq);
    mpfr_set_nan(fr);
  } else if (mpfr_inf_p(fy)) {
    if (!raise_conditions(cr, TRAP_INVALID, "divmod() invalid operation")) return nullptr;
    const int ysign = mpfr_signbit(fy) ? -1 : 1;
    if (mpfr_zero_p(fx)) {
      mpfr_set_zero(fq, ysign);
      mpfr_set_zero(fr, ysign);
    } else if (mpfr_signbit(fx) != mpfr_signbit(fy)) {
      mpfr_set_si(fq, -1, N);
      mpfr_set_inf(fr, ysign);
    } else {
      mpfr_set_zero(fq, 1);
      r->rc = mpfr_set(fr, fx, N);
    }
  } else {
    Mpfr t(cr.precision);
    mpfr_fmod(fr, fx, fy, N);
    mpfr_sub(t, fx, fr, N);
    mpfr_div(fq, t, fy, N);
    int unused;
    if (floor_remainder(fr, unused, fy, N)) mpfr_sub_ui(fq, fq, 1, N);
    if (mpfr_zero_p(fq)) {
      bool same = !mpfr_zero_p(fx) && mpfr_signbit(fx) == mpfr_signbit(fy);
      mpfr_set_zero(fq, same ? 1 : -1);
    } else {
      q->rc = mpfr_round(fq, fq);
    }
  }
  impose_range(fq, q->rc, cr);
  impose_range(fr, r->rc, cr);
  return PyTuple_Pack(2, q.get(), r.get());
}

// ---- complex: no floor ----

PyObject* no_floor(PyObject*, int, PyObject*, int, Ctx&) {
  return type_error("can't take floor of complex number");
}
PyObject* no_mod(PyObject*, int, PyObject*, int, Ctx&) { return type_error("can't take mod of complex number"); }
PyObject* no_divmod(PyObject*, int, PyObject*, int, Ctx&) {
  return type_error("can't take floor or mod of complex number.");
}

// ---- integer true division: a real, or a rational when the context asks ----

// Copies any integer-kind operand into z.
bool load_z(mpz_ptr z, PyObject* o, int k) noexcept {
  if (is_own_integer(k)) {
    mpz_set(z, mpz_of(o));
    return true;
  }
  if (k == K_PYINT) return mpz_set_pylong(z, o) == 0;
  Own<MPZ_Object> t(to_mpz(o, k));
  if (!t) return false;
  mpz_set(z, t->z);
  return true;
}

PyObject* int_truediv(PyObject* x, int a, PyObject* y, int b, Ctx& cx) {
  CTXT_Object* c = cx.get();
  if (!c) return nullptr;
  if (c->ctx.rational_division) return rat_truediv(x, a, y, b, cx);
  Own<MPFR_Object> r(new_mpfr(0, c));
  if (!r) return nullptr;
  Mpq q;
  if (!load_z(mpq_numref(q.get()), x, a) || !load_z(mpq_denref(q.get()), y, b)) return nullptr;
  if (mpz_sgn(mpq_denref(q.get())) == 0) return zero_division(ZERO_DIV);
  mpq_canonicalize(q);
  mpfr_clear_flags();
  r->rc = mpfr_set_q(r->f, q, rnd(c->ctx));
  return obj(check_real(std::move(r), c));
}

}  // namespace

const BinaryOp op_truediv = {int_truediv, rat_truediv, real_truediv, complex_binary<FDiv, true>,
                             Fn{"div", "", "."}, "div",
                             real_pair<FDiv>};
const BinaryOp op_floordiv = {int_fdiv<Part::Q>, rat_fdiv<Part::Q>, real_floordiv, no_floor,
                              Fn{"floor_div"}, "floor_div"};
const BinaryOp op_mod = {int_fdiv<Part::R>, rat_fdiv<Part::R>, on_real_pair<real_mod>, no_mod, Fn{"mod"}, "mod"};
const BinaryOp op_divmod = {int_fdiv<Part::QR>, rat_fdiv<Part::QR>, on_real_pair<real_divmod>, no_divmod,
                            Fn{"div_mod"}, "divmod"};

}  // namespace vx::arith
