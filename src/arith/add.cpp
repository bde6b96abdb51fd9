// Addition, subtraction and multiplication in the four classes, and the
// context's plus, minus and abs.
#include "arith/float_ops.h"
#include "convert/int_conv.h"
#include "core/memory.h"

namespace vx::arith {

namespace {

enum class Op { Add, Sub, Mul };

template <Op op>
inline void z_op(mpz_ptr r, mpz_srcptr a, mpz_srcptr b) noexcept {
  if constexpr (op == Op::Add) mpz_add(r, a, b);
  else if constexpr (op == Op::Sub) mpz_sub(r, a, b);
  else mpz_mul(r, a, b);
}

// r = a op s for a word-sized Python int s.
template <Op op>
inline void z_op_small(mpz_ptr r, mpz_srcptr a, Small s) noexcept {
  if constexpr (op == Op::Add) {
    if (s.sign < 0) mpz_sub_ui(r, a, s.mag);
    else mpz_add_ui(r, a, s.mag);
  } else if constexpr (op == Op::Sub) {
    if (s.sign < 0) mpz_add_ui(r, a, s.mag);
    else mpz_sub_ui(r, a, s.mag);
  } else {
    mpz_mul_ui(r, a, s.mag);
    if (s.sign < 0) mpz_neg(r, r);
  }
}

// r = s op b.
template <Op op>
inline void z_small_op(mpz_ptr r, Small s, mpz_srcptr b) noexcept {
  if constexpr (op == Op::Sub) {
    if (s.sign >= 0) {
      mpz_ui_sub(r, s.mag, b);
    } else {
      mpz_add_ui(r, b, s.mag);
      mpz_neg(r, r);
    }
  } else {
    z_op_small<op>(r, b, s);
  }
}

// A product of operands of `n` limbs in all needs room for its n limbs and
// as much again of GMP's scratch; GMP stops the process when it finds none.
template <Op op>
inline bool room_for(size_t n) noexcept {
  if constexpr (op == Op::Mul) {
    if (n >= DETACH_MIN_LIMBS && !can_allocate(uint64_t{n} * GMP_NUMB_BITS, Alloc::MPZ, 2)) return false;
  }
  return true;
}

// r = a op b in machine words when both operands and the result fit one
// limb (r has room for one, as every revived object has); false otherwise,
// r untouched.
template <Op op>
inline bool z_op_words(mpz_ptr r, mpz_srcptr a, mpz_srcptr b) noexcept {
  if constexpr (GMP_NUMB_BITS != 64 || GMP_NAIL_BITS != 0) return false;
  const int sa = a->_mp_size, sb0 = b->_mp_size;
  if (sa < -1 || sa > 1 || sb0 < -1 || sb0 > 1 || r->_mp_alloc < 1) return false;
  const mp_limb_t x = sa ? a->_mp_d[0] : 0, y = sb0 ? b->_mp_d[0] : 0;
  mp_limb_t v;
  int sign;
  if constexpr (op == Op::Mul) {
    const unsigned __int128 p = static_cast<unsigned __int128>(x) * y;
    if (p >> 64) return false;
    v = static_cast<mp_limb_t>(p);
    sign = sa * sb0;
  } else {
    const int sb = op == Op::Sub ? -sb0 : sb0;
    if (sa == 0 || sb == 0 || (sa > 0) == (sb > 0)) {  // the magnitudes add
      v = x + y;
      if (v < x) return false;
      sign = sa ? sa : sb;
    } else if (x >= y) {
      v = x - y;
      sign = sa;
    } else {
      v = y - x;
      sign = sb;
    }
  }
  r->_mp_d[0] = v;
  r->_mp_size = v ? sign : 0;
  return true;
}

template <Op op>
PyObject* int_impl(PyObject* x, int a, PyObject* y, int b, Ctx& cx) {
  Own<MPZ_Object> r(new_mpz());
  if (!r) return nullptr;
  mpz_ptr rz = r->z;
  if (is_own_integer(a) && (is_own_integer(b) || b == K_PYINT)) {
    mpz_srcptr xz = mpz_of(x);
    if (b == K_PYINT) {
      Small s;
      if (small_int(y, s)) {
        z_op_small<op>(rz, xz, s);
        return r.release();
      }
      mpz_set_pylong(rz, y);  // straight into the result: no temporary
      if (!room_for<op>(limbs(xz, rz))) return nullptr;
      if (!compute(cx, a == K_XMPZ, limbs(xz, rz), [&] { z_op<op>(rz, xz, rz); })) return nullptr;
      return r.release();
    }
    mpz_srcptr yz = mpz_of(y);
    if (z_op_words<op>(rz, xz, yz)) return r.release();
    if (!room_for<op>(limbs(xz, yz))) return nullptr;
    if (!compute(cx, is_shared(a, b), limbs(xz, yz), [&] { z_op<op>(rz, xz, yz); })) return nullptr;
    return r.release();
  }
  if (a == K_PYINT && is_own_integer(b)) {
    mpz_srcptr yz = mpz_of(y);
    Small s;
    if (small_int(x, s)) {
      z_small_op<op>(rz, s, yz);
      return r.release();
    }
    mpz_set_pylong(rz, x);
    if (!room_for<op>(limbs(rz, yz))) return nullptr;
    if (!compute(cx, b == K_XMPZ, limbs(rz, yz), [&] { z_op<op>(rz, rz, yz); })) return nullptr;
    return r.release();
  }
  Own<MPZ_Object> tx(to_mpz(x, a));
  if (!tx) return nullptr;
  Own<MPZ_Object> ty(to_mpz(y, b));
  if (!ty) return nullptr;
  mpz_srcptr xz = tx->z, yz = ty->z;
  if (!compute(cx, false, limbs(xz, yz), [&] { z_op<op>(rz, xz, yz); })) return nullptr;
  return r.release();
}

template <Op op>
PyObject* rat_impl(PyObject* x, int a, PyObject* y, int b, Ctx& cx) {
  Own<MPQ_Object> tx(to_mpq(x, a));
  if (!tx) return nullptr;
  Own<MPQ_Object> ty(to_mpq(y, b));
  if (!ty) return nullptr;
  Own<MPQ_Object> r(new_mpq());
  if (!r) return nullptr;
  mpq_ptr rq = r->q;
  mpq_srcptr xq = tx->q, yq = ty->q;
  bool ok = compute(cx, false, limbs(xq, yq), [&] {
    if constexpr (op == Op::Add) mpq_add(rq, xq, yq);
    else if constexpr (op == Op::Sub) mpq_sub(rq, xq, yq);
    else mpq_mul(rq, xq, yq);
  });
  return ok ? r.release() : nullptr;
}

template <class F>
PyObject* real_impl(PyObject* x, int a, PyObject* y, int b, Ctx& cx) {
  CTXT_Object* c = cx.get();
  if (!c) return nullptr;
  return real_checked<F>(x, a, y, b, c);
}

}  // namespace

const BinaryOp op_add = {int_impl<Op::Add>, rat_impl<Op::Add>, real_impl<FAdd>, complex_binary<FAdd>,
                         Fn{"add"}, "add",
                         real_pair<FAdd>, complex_pair<FAdd>};
const BinaryOp op_sub = {int_impl<Op::Sub>, rat_impl<Op::Sub>, real_impl<FSub>, complex_binary<FSub>,
                         Fn{"sub"}, "sub",
                         real_pair<FSub>, complex_pair<FSub>};
const BinaryOp op_mul = {int_impl<Op::Mul>, rat_impl<Op::Mul>, real_impl<FMul>, complex_binary<FMul>,
                         Fn{"mul"}, "mul",
                         real_pair<FMul>, complex_pair<FMul>};

// ---- one-operand context methods ----

namespace {

// The context of a context method (always called on a context object).
inline CTXT_Object* self_ctx(PyObject* self) noexcept { return reinterpret_cast<CTXT_Object*>(self); }

// Integer and rational results of minus/abs: the operand converted, then
// negated or made non-negative. `keep` returns the operand itself when the
// result would equal it.
template <class T, class Conv, class Set>
PyObject* exact_unary(PyObject* x, int k, Conv conv, Set set, bool keep) {
  Own<T> v(conv(x, k));
  if (!v) return nullptr;
  if (keep) return v.release();
  T* r;
  if constexpr (std::is_same_v<T, MPZ_Object>) r = new_mpz();
  else r = new_mpq();
  if (r) set(r, v.get());
  return obj(r);
}

enum class Unary { Minus, Abs };

template <Unary u>
PyObject* unary(PyObject* self, PyObject* x, const char* name) {
  CTXT_Object* c = self_ctx(self);
  int k = classify(x);
  if (k == K_UNKNOWN) return not_supported(name, x);
  if (is_integer_kind(k)) {
    bool keep = u == Unary::Abs && k == K_MPZ && mpz_sgn(mpz_of(x)) >= 0;
    return exact_unary<MPZ_Object>(x, k, to_mpz, [](MPZ_Object* r, MPZ_Object* v) {
      if constexpr (u == Unary::Minus) mpz_neg(r->z, v->z);
      else mpz_abs(r->z, v->z);
    }, keep);
  }
  if (is_rational_kind(k)) {
    bool keep = u == Unary::Abs && k == K_MPQ && mpq_sgn(mpq_of(x)) >= 0;
    return exact_unary<MPQ_Object>(x, k, to_mpq, [](MPQ_Object* r, MPQ_Object* v) {
      if constexpr (u == Unary::Minus) mpq_neg(r->q, v->q);
      else mpq_abs(r->q, v->q);
    }, keep);
  }
  const mpfr_rnd_t m = rnd(c->ctx);
  if (is_real_kind(k)) {
    Own<MPFR_Object> v(to_mpfr(x, k, PREC_EXACT, c));
    if (!v) return nullptr;
    MPFR_Object* r = new_mpfr(0, c);
    if (!r) return nullptr;
    mpfr_clear_flags();
    if constexpr (u == Unary::Minus) r->rc = mpfr_neg(r->f, v->f, m);
    else r->rc = mpfr_abs(r->f, v->f, m);
    return obj(check_real(r, c));
  }
  Own<MPC_Object> v(to_mpc(x, k, PREC_EXACT, PREC_EXACT, c));
  if (!v) return nullptr;
  if constexpr (u == Unary::Minus) {
    MPC_Object* r = new_mpc(0, 0, c);
    if (!r) return nullptr;
    mpfr_clear_flags();
    r->rc = mpc_neg(r->c, v->c, crnd(c->ctx));
    return obj(check_complex(r, c));
  } else {
    MPFR_Object* r = new_mpfr(0, c);
    if (!r) return nullptr;
    mpfr_clear_flags();
    r->rc = mpc_abs(r->f, v->c, m);
    return obj(check_real(r, c));
  }
}

}  // namespace

PyObject* ctx_plus(PyObject* self, PyObject* const* args, Py_ssize_t nargs) {
  if (!want_args(nargs, 1, Fn{"plus", "", "."})) return nullptr;
  CTXT_Object* c = self_ctx(self);
  PyObject* x = args[0];
  int k = classify(x);
  if (k == K_UNKNOWN) return not_supported("plus", x);
  if (is_integer_kind(k)) return obj(to_mpz(x, k));
  if (is_rational_kind(k)) return obj(to_mpq(x, k));
  if (is_real_kind(k)) return obj(to_mpfr(x, k, PREC_CONTEXT, c));
  return obj(to_mpc(x, k, PREC_CONTEXT, PREC_CONTEXT, c));
}

PyObject* ctx_minus(PyObject* self, PyObject* const* args, Py_ssize_t nargs) {
  if (!want_args(nargs, 1, Fn{"minus", "", "."})) return nullptr;
  return unary<Unary::Minus>(self, args[0], "minus");
}

PyObject* ctx_abs(PyObject* self, PyObject* arg) {
  return unary<Unary::Abs>(self, arg, "abs");
}

}  // namespace vx::arith
