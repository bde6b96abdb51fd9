// The binary Lucas ladder and the Lucas-sequence functions lucasu, lucasv,
// lucasu_mod and lucasv_mod.
#include "integer/lucas.h"


#include <cmath>

#include "convert/int_conv.h"
#include "core/args.h"
#include "core/errors.h"
#include "core/ref.h"
#include "core/registry.h"
#include "core/signals.h"
#include "integer/mpz_internal.h"

namespace vx {

namespace {

// A ladder parameter: multiplied in by one-word multiplication when it fits a word.
struct Param {
  mpz_srcptr z;
  bool small;
  long v;
  explicit Param(mpz_srcptr p) noexcept : z(p), small(mpz_fits_slong_p(p) != 0), v(small ? mpz_get_si(p) : 0) {}
  void mul(mpz_ptr r, mpz_srcptr x) const noexcept {
    if (small)
      mpz_mul_si(r, x, v);
    else
      mpz_mul(r, x, z);
  }
};

}  // namespace

// uh, vl and vh hold U(h), V(l) and V(h) for h = l + 1, where l is the prefix
// of m's bits read so far; ql is Q**l. Q**h (qh in the textbook form) is
// never stored: it is ql*Q after a 1 bit and ql after a 0 bit, which
// `times_q` remembers, so that updating Q**l costs one squaring.
//
// For U(m) the prefix stops above m's lowest 1 bit, one step gives U and V
// of the odd part and doubling steps the rest. For V alone every bit is
// read the same way, which leaves V(m + 1) in vh as well.
bool LucasLadder::run(mpz_srcptr p, mpz_srcptr q, mpz_srcptr m, mpz_srcptr n, bool want_u) noexcept {
  const Param P(p), Q(q);
  auto red = [n](mpz_ptr x) {
    if (n) mpz_tdiv_r(x, x, n);
  };
  mpz_set_ui(uh, 1);
  mpz_set_ui(vl, 2);
  mpz_set(vh, p);
  mpz_set_ui(ql, 1);
  red(vh);
  red(vl);  // n may be 1 or 2
  const mp_bitcnt_t low = want_u ? mpz_scan1(m, 0) : 0;
  const mp_bitcnt_t top = mpz_sizeinbase(m, 2) - 1;
  bool times_q = false;
  auto next_ql = [&] {  // ql = ql * qh
    mpz_mul(ql, ql, ql);
    if (times_q) Q.mul(ql, ql);
    red(ql);
  };
  // V(l + h) = V(l) V(h) - P Q**l, into vl or vh.
  auto v_sum = [&](mpz_ptr x) {
    P.mul(t, ql);
    mpz_mul(x, vh, vl);
    mpz_sub(x, x, t);
    red(x);
  };
  // U(l + h) = U(h) V(l) - Q**l.
  auto u_sum = [&] {
    mpz_mul(uh, uh, vl);
    mpz_sub(uh, uh, ql);
    red(uh);
  };
  // V(2l) = V(l)**2 - 2 Q**l.
  auto v_double = [&] {
    mpz_mul(vl, vl, vl);
    mpz_submul_ui(vl, ql, 2);
    red(vl);
  };
  for (mp_bitcnt_t j = top + 1; j-- > low + want_u;) {
    if (interrupted()) return false;
    next_ql();
    if (mpz_tstbit(m, j)) {
      if (want_u) {
        mpz_mul(uh, uh, vh);
        red(uh);
      }
      v_sum(vl);
      Q.mul(t, ql);  // qh = ql * Q
      mpz_mul_2exp(t, t, 1);
      mpz_mul(vh, vh, vh);
      mpz_sub(vh, vh, t);
      red(vh);
      times_q = true;
    } else {
      if (want_u) u_sum();
      v_sum(vh);
      v_double();
      times_q = false;
    }
  }
  next_ql();
  if (want_u) {
    // The lowest 1 bit.
    u_sum();
    v_sum(vl);
    mpz_mul(ql, ql, ql);  // ql * qh with qh = ql * Q
    Q.mul(ql, ql);
    red(ql);
    // The trailing 0 bits: k -> 2k.
    for (mp_bitcnt_t j = 0; j < low; ++j) {
      if (interrupted()) return false;
      mpz_mul(uh, uh, vl);
      red(uh);
      v_double();
      mpz_mul(ql, ql, ql);
      red(ql);
    }
    if (n) mpz_mod(uh, uh, n);
  } else if (n) {
    mpz_mod(vh, vh, n);
  }
  if (n) {
    mpz_mod(vl, vl, n);
    mpz_mod(ql, ql, n);
  }
  return true;
}

void LucasLadder::double_v(mpz_srcptr n) noexcept {
  mpz_mul(vl, vl, vl);
  mpz_submul_ui(vl, ql, 2);
  mpz_mod(vl, vl, n);
  mpz_mul(ql, ql, ql);
  mpz_mod(ql, ql, n);
}

namespace {

// log2 |z| for z != 0, also beyond the range of a double.
double log2_abs(mpz_srcptr z) noexcept {
  long e;
  double d = mpz_get_d_2exp(&e, z);
  return static_cast<double>(e) + std::log2(std::fabs(d));
}

// Whether the unreduced ladder for U(k), V(k) with parameters p, q and
// discriminant d can run in this process: GMP holds at most MPZ_MAX_BITS
// bits and stops the process when memory runs out. The terms grow by
// log2 of the larger root's magnitude per step, Q**k by log2 |Q|.
bool lucas_fits(mpz_srcptr p, mpz_srcptr q, mpz_srcptr d, mpz_srcptr k) noexcept {
  double lq = mpz_sgn(q) ? log2_abs(q) : 0.0;
  double la;
  if (mpz_sgn(d) < 0) {
    la = lq / 2;  // complex roots: |alpha|**2 = |Q|
  } else {
    // alpha = (|P| + sqrt(D)) / 2, scaled by 2**s to stay within a double.
    const double lp = mpz_sgn(p) ? log2_abs(p) : -1e300;
    const double s = std::fmax(lp, log2_abs(d) / 2);
    const double a = mpz_sgn(p) ? std::exp2(lp - s) : 0.0;
    la = s + std::log2((a + std::sqrt(std::exp2(log2_abs(d) - 2 * s))) / 2);
  }
  const double per_step = std::fmax(std::fmax(la, lq), 0.0);
  if (per_step < 1e-9) return true;  // bounded sequences (|roots| <= 1)
  if (mpz_sizeinbase(k, 2) > 62) return false;
  // Products of two terms, and a few terms held at once.
  const double bits = 2.0 * ((static_cast<double>(mpz_get_ui(k)) + 1) * per_step * (1 + 1e-9) + 256);
  if (bits > static_cast<double>(MPZ_MAX_BITS)) return false;
  return memory_can_hold(static_cast<uint64_t>(bits / 2));  // bits counts four terms; two are held at once
}

struct LucasFn {
  Need count;          // wrong count or a non-integer
  const char* pq;      // D = 0
  const char* k;       // k < 0
  const char* n;       // n <= 0 (modular forms)
  bool v;              // V rather than U
  bool modular;
};

PyObject* lucas_term(const LucasFn& f, PyObject* const* args, Py_ssize_t nargs) {
  if (!want_args(nargs, f.modular ? 4 : 3, f.count)) return nullptr;
  Own<MPZ_Object> a[4];
  if (!int_args(a, args, nargs, f.count, true)) return nullptr;
  mpz_srcptr p = a[0]->z, q = a[1]->z, k = a[2]->z, n = f.modular ? a[3]->z : nullptr;
  Mpz d;
  mpz_mul(d, p, p);
  mpz_submul_ui(d, q, 4);
  if (mpz_sgn(d.get()) == 0) return value_error(f.pq);
  if (mpz_sgn(k) < 0) return value_error(f.k);
  if (n && mpz_sgn(n) <= 0) return value_error(f.n);
  Own<MPZ_Object> r(new_mpz());
  if (!r) return nullptr;
  if (mpz_sgn(k) == 0) {
    mpz_set_ui(r->z, f.v ? 2 : 0);
    if (n) mpz_mod(r->z, r->z, n);
    return r.release();
  }
  if (!n && !lucas_fits(p, q, d, k)) return memory_error();
  LucasLadder ladder;
  if (!ladder.run(p, q, k, n, !f.v)) return nullptr;
  mpz_swap(r->z, f.v ? ladder.vl.get() : ladder.uh.get());
  return r.release();
}

constexpr LucasFn LUCASU{Need{"lucasu", "3 integer arguments"}, "invalid values for p,q in lucasu()",
                         "invalid value for k in lucasu()", nullptr, false, false};
constexpr LucasFn LUCASV{Need{"lucasv", "3 integer arguments"}, "invalid values for p,q in lucasv()",
                         "invalid value for k in lucasv()", nullptr, true, false};
constexpr LucasFn LUCASU_MOD{Need{"lucasu_mod", "4 integer arguments"}, "invalid values for p,q in lucasu_mod()",
                             "invalid value for k in lucasu_mod()", "invalid value for n in lucasu_mod()", false,
                             true};
constexpr LucasFn LUCASV_MOD{Need{"lucasv_mod", "4 integer arguments"}, "invalid values for p,q in lucasv_mod()",
                             "invalid value for k in lucasv_mod()", "invalid value for n in lucasv_mod()", true,
                             true};

template <const LucasFn& F>
PyObject* lucas_fn(PyObject*, PyObject* const* args, Py_ssize_t nargs) {
  return lucas_term(F, args, nargs);
}

const FnDef rows[] = {
    fast("lucasu", lucas_fn<LUCASU>, IN_MODULE, "Return the k-th element of the Lucas U sequence defined by p,q.\np*p - 4*q must not equal 0; k must be greater than or equal to 0.") .typed("p: _Int, q: _Int, k: _Int, /", "mpz"),
    fast("lucasv", lucas_fn<LUCASV>, IN_MODULE, "Return the k-th element of the Lucas V sequence defined by p,q.\np*p - 4*q must not equal 0; k must be greater than or equal to 0.") .typed("p: _Int, q: _Int, k: _Int, /", "mpz"),
    fast("lucasu_mod", lucas_fn<LUCASU_MOD>, IN_MODULE, "Return the k-th element of the Lucas U sequence defined by p,q (mod n).\np*p - 4*q must not equal 0; k must be greater than or equal to 0;\nn must be greater than 0.").typed("p: _Int, q: _Int, k: _Int, n: _Int, /", "mpz"),
    fast("lucasv_mod", lucas_fn<LUCASV_MOD>, IN_MODULE, "Return the k-th element of the Lucas V sequence defined by p,q (mod n).\np*p - 4*q must not equal 0; k must be greater than or equal to 0;\nn must be greater than 0.").typed("p: _Int, q: _Int, k: _Int, n: _Int, /", "mpz"),
};

}  // namespace

VX_UNIT(integer_lucas, rows)

}  // namespace vx
