// Entry points for the mpmath library, which represents a binary floating
// value as a tuple (sign, man, exp, bc): value = (-1)**sign * man * 2**exp,
// man >= 0 with bc bits. _mpmath_normalize and _mpmath_create round and
// normalise such tuples; mpfr._mpf_ reads an mpfr as one, mpc._mpc_ an
// mpc as a pair of them. None of them
// reads a context or raises a flag.
#include <Python.h>
#include <gmp.h>
#include <mpfr.h>

#include "convert/classify.h"
#include "convert/int_conv.h"
#include "core/errors.h"
#include "core/ref.h"
#include "core/registry.h"
#include "core/temps.h"
#include "objects/objects.h"

namespace vx {

namespace {

// mpmath's special values: it has no signed zero, and marks NaN and the
// infinities by a zero mantissa with these exponents and bit counts.
constexpr long NAN_EXP = -123, NAN_BC = -1;
constexpr long INF_EXP = -456, INF_BC = -2;
constexpr long NINF_EXP = -789, NINF_BC = -3;

// A rounding letter of mpmath: 'c' ceiling, 'f' floor, 'd' toward zero,
// 'u' away from zero; anything else (mpmath uses 'n') to nearest, ties to even.
Py_UCS4 letter_of(PyObject* rnd) noexcept {
  return PyUnicode_GET_LENGTH(rnd) > 0 ? PyUnicode_READ_CHAR(rnd, 0) : 0;
}

// out = m (>= 0) without its s >= 1 lowest bits, rounded by `letter` for a
// value of sign `neg`. out may be m.
void round_magnitude(mpz_ptr out, mpz_srcptr m, mp_bitcnt_t s, Py_UCS4 letter, bool neg) noexcept {
  bool up;
  switch (letter) {
    case 'c': up = !neg; break;
    case 'f': up = neg; break;
    case 'd': up = false; break;
    case 'u': up = true; break;
    default: {
      if (!mpz_tstbit(m, s - 1)) {
        mpz_fdiv_q_2exp(out, m, s);
        return;
      }
      const bool half = mpz_scan1(m, 0) == s - 1;  // nothing below the first dropped bit
      mpz_fdiv_q_2exp(out, m, s);
      if (!half || mpz_odd_p(out)) mpz_add_ui(out, out, 1);
      return;
    }
  }
  if (up)
    mpz_cdiv_q_2exp(out, m, s);
  else
    mpz_fdiv_q_2exp(out, m, s);
}

PyObject* tuple4(Ref a, Ref b, Ref c, Ref d) noexcept {
  if (!a || !b || !c || !d) return nullptr;
  PyObject* t = PyTuple_New(4);
  if (!t) return nullptr;
  PyTuple_SET_ITEM(t, 0, a.release());
  PyTuple_SET_ITEM(t, 1, b.release());
  PyTuple_SET_ITEM(t, 2, c.release());
  PyTuple_SET_ITEM(t, 3, d.release());
  return t;
}

Ref pylong(long v) noexcept { return Ref::steal(PyLong_FromLong(v)); }

// mpmath's zero, with `man` (an mpz 0) as its mantissa.
PyObject* zero_tuple(Ref man) noexcept { return tuple4(pylong(0), std::move(man), pylong(0), pylong(0)); }

// The tuple of M after `shift` bits were rounded off (added to exp) and
// its trailing zero bits are dropped; P is the bit count M had before.
PyObject* finish(Ref sign, Own<MPZ_Object> M, PyObject* exp, unsigned long long shift,
                 unsigned long long P) noexcept {
  // Only a bit count larger than the mantissa's (or a precision of 0) rounds to nothing.
  if (mpz_sgn(M->z) == 0) return zero_tuple(Ref::steal(M.release()));
  const mp_bitcnt_t z = mpz_scan1(M->z, 0);
  if (z) mpz_fdiv_q_2exp(M->z, M->z, z);
  Ref e;
  if (shift + z == 0) {
    e = Ref::borrow(exp);
  } else {
    Ref add = Ref::steal(PyLong_FromUnsignedLongLong(shift + z));
    if (!add) return nullptr;
    e = Ref::steal(PyNumber_Add(exp, add.get()));
    if (!e) return nullptr;
  }
  Ref bc;
  if (mpz_cmp_ui(M->z, 1) == 0)
    bc = pylong(1);
  else if (P >= z)
    bc = Ref::steal(PyLong_FromUnsignedLongLong(P - z));
  else  // a bit count given smaller than the mantissa's
    bc = Ref::steal(PyLong_FromLongLong(-static_cast<long long>(z - P)));
  return tuple4(std::move(sign), Ref::steal(M.release()), std::move(e), std::move(bc));
}

inline bool read_failed(unsigned long long v) noexcept {
  return v == static_cast<unsigned long long>(-1) && PyErr_Occurred();
}

PyObject* f_mpmath_normalize(PyObject*, PyObject* const* args, Py_ssize_t nargs) {
  if (nargs != 6) return type_error("6 arguments required");
  PyObject *sign_obj = args[0], *man_obj = args[1], *exp = args[2], *bc_obj = args[3];
  long sign = -1;
  if (PyLong_Check(sign_obj))
    sign = PyLong_AsLong(sign_obj);
  else if (is_mpz(sign_obj))
    sign = mpz_sgn(mpz_of(sign_obj)) < 0;
  const unsigned long long bc = read_ullong(bc_obj);
  const bool bc_bad = read_failed(bc);
  const unsigned long long prec = read_ullong(args[4]);
  if (sign == -1 || bc_bad || read_failed(prec)) {
    PyErr_Clear();
    return type_error("arguments long, MPZ_Object*, PyObject*, long, long, char needed");
  }
  Ref man;
  if (is_mpz(man_obj)) {
    man = Ref::borrow(man_obj);
  } else {
    const int kind = classify(man_obj);
    man = Ref::steal(is_integer_kind(kind) ? to_mpz(man_obj, kind) : nullptr);
    if (!man) {
      PyErr_Clear();
      return type_error("argument is not an mpz");
    }
  }
  if (!PyUnicode_Check(args[5])) return value_error("invalid rounding mode specified");
  mpz_srcptr m = mpz_of(man.get());
  if (mpz_sgn(m) == 0) return zero_tuple(std::move(man));
  if (prec >= bc && mpz_odd_p(m))
    return tuple4(Ref::borrow(sign_obj), std::move(man), Ref::borrow(exp), Ref::borrow(bc_obj));
  Own<MPZ_Object> M(new_mpz());
  if (!M) return nullptr;
  unsigned long long shift = 0, P = bc;
  if (prec < bc) {
    shift = bc - prec;
    P = prec;
    round_magnitude(M->z, m, shift, letter_of(args[5]), sign != 0);
  } else {
    mpz_set(M->z, m);
  }
  return finish(Ref::borrow(sign_obj), std::move(M), exp, shift, P);
}

PyObject* f_mpmath_create(PyObject*, PyObject* const* args, Py_ssize_t nargs) {
  constexpr const char* usage = "mpmath_create() expects 'mpz','int'[,'int','str'] arguments";
  if (nargs < 2 || nargs > 4) return type_error(usage);
  const int kind = classify(args[0]);
  Own<MPZ_Object> man(is_integer_kind(kind) ? to_mpz(args[0], kind) : nullptr);
  if (!man) {
    PyErr_Clear();
    return type_error(usage);
  }
  long prec = 0;
  if (nargs >= 3) {
    prec = read_long(args[2]);
    if (prec == -1) {
      PyErr_Clear();
      return value_error("could not convert prec to positive int");
    }
  }
  Py_UCS4 letter = 'f';
  if (nargs == 4) {
    if (!PyUnicode_Check(args[3])) return value_error("invalid rounding mode specified");
    letter = letter_of(args[3]);
  }
  if (mpz_sgn(man->z) == 0) return zero_tuple(Ref::steal(man.release()));
  const bool neg = mpz_sgn(man->z) < 0;
  const unsigned long long B = mpz_sizeinbase(man->z, 2);
  // Compared as unsigned: a negative precision asks for no rounding.
  unsigned long long P = prec != 0 ? static_cast<unsigned long long>(prec) : B;
  Own<MPZ_Object> M(new_mpz());
  if (!M) return nullptr;
  mpz_abs(M->z, man->z);
  unsigned long long shift = 0;
  if (P < B) {
    shift = B - P;
    round_magnitude(M->z, M->z, shift, letter, neg);
  } else {
    P = B;
  }
  return finish(pylong(neg), std::move(M), args[1], shift, P);
}

// The value as mpmath's raw tuple, not normalised: the mantissa has the
// precision's bits, trailing zeros included. The mantissa is a Python int,
// the type mpmath keeps its mantissas in (it refuses others). Zero, NaN
// and the infinities are mpmath's own representations of them.
PyObject* mpf_tuple(mpfr_srcptr f) {
  if (!mpfr_number_p(f) || mpfr_zero_p(f)) {
    long sign = 0, exp = 0, bc = 0;
    if (mpfr_nan_p(f)) {
      exp = NAN_EXP;
      bc = NAN_BC;
    } else if (mpfr_inf_p(f)) {
      sign = mpfr_signbit(f) ? 1 : 0;
      exp = sign ? NINF_EXP : INF_EXP;
      bc = sign ? NINF_BC : INF_BC;
    }
    return tuple4(pylong(sign), pylong(0), pylong(exp), pylong(bc));
  }
  // mpmath's own form (an odd mantissa): mpmath compares and hashes the
  // tuples as they are, so mpf(mpfr(1.5)) must be the tuple of mpf(1.5).
  Mpz m;
  mpfr_exp_t e = mpfr_get_z_2exp(m, f);
  const bool neg = mpz_sgn(m.get()) < 0;
  mpz_abs(m, m);
  const mp_bitcnt_t zeros = mpz_scan1(m, 0);
  mpz_tdiv_q_2exp(m, m, zeros);
  e += static_cast<mpfr_exp_t>(zeros);
  return tuple4(pylong(neg), Ref::steal(pylong_from_mpz(m)), Ref::steal(PyLong_FromLongLong(e)),
                Ref::steal(PyLong_FromUnsignedLongLong(mpz_sizeinbase(m, 2))));
}

PyObject* mpfr_get_mpf(PyObject* self, void*) { return mpf_tuple(mpfr_of(self)); }

// The value as mpmath's raw complex value: the pair of the parts' tuples.
PyObject* mpc_get_mpc(PyObject* self, void*) {
  Ref re = Ref::steal(mpf_tuple(mpc_realref(mpc_of(self))));
  Ref im = re ? Ref::steal(mpf_tuple(mpc_imagref(mpc_of(self)))) : Ref();
  return im ? PyTuple_Pack(2, re.get(), im.get()) : nullptr;
}

const FnDef mpmath_rows[] = {
    fast("_mpmath_normalize", f_mpmath_normalize, IN_MODULE, "helper function for mpmath.").typed(nullptr, "Any"),
    fast("_mpmath_create", f_mpmath_create, IN_MODULE, "helper function for mpmath.").typed(nullptr, "Any"),
};

const AttrDef mpmath_attrs[] = {
    {"_mpf_", mpfr_get_mpf, nullptr, "return raw mpf tuple", ON_MPFR},
    {"_mpc_", mpc_get_mpc, nullptr, "return raw mpc tuple pair", ON_MPC},
};

}  // namespace

VX_UNIT(mpmath, mpmath_rows, mpmath_attrs, nullptr)

}  // namespace vx
