// The table of foreign kinds, and the readers of mpmath's raw values.
#include "convert/foreign.h"

#include "context/context.h"
#include "convert/classify.h"
#include "convert/int_conv.h"
#include "convert/real_conv.h"
#include "core/errors.h"
#include "objects/objects.h"

namespace vx {

namespace {

PyObject* by_protocol(PyObject* o, Proto p) noexcept { return call_protocol(o, p); }
PyObject* mpz_protocol(PyObject* o) noexcept { return by_protocol(o, P_MPZ); }
PyObject* mpq_protocol(PyObject* o) noexcept { return by_protocol(o, P_MPQ); }
PyObject* mpfr_protocol(PyObject* o) noexcept { return by_protocol(o, P_MPFR); }
PyObject* mpc_protocol(PyObject* o) noexcept { return by_protocol(o, P_MPC); }
PyObject* fraction_value(PyObject* o) noexcept { return reinterpret_cast<PyObject*>(mpq_from_fraction(o)); }

// mpmath's special values: a zero mantissa with these exponents.
constexpr long long MPF_NAN_EXP = -123, MPF_INF_EXP = -456, MPF_NINF_EXP = -789;

// An mpfr holding exactly the value of mpmath's raw tuple (sign, man, exp,
// bc) = (-1)**sign * man * 2**exp; nullptr with an error set otherwise.
MPFR_Object* mpfr_from_mpf(PyObject* t) noexcept {
  if (!PyTuple_Check(t) || PyTuple_GET_SIZE(t) != 4) return type_error("object could not be converted to 'mpfr'");
  const int sign = PyObject_IsTrue(PyTuple_GET_ITEM(t, 0));
  if (sign < 0) return nullptr;
  PyObject* m = PyTuple_GET_ITEM(t, 1);
  const int mk = classify(m);
  if (!is_integer_kind(mk)) return type_error("object could not be converted to 'mpfr'");
  Own<MPZ_Object> man(to_mpz(m, mk));
  if (!man) return nullptr;
  const long long exp = PyLong_AsLongLong(PyTuple_GET_ITEM(t, 2));
  if (exp == -1 && PyErr_Occurred()) return nullptr;
  const size_t bits = mpz_sizeinbase(man->z, 2);
  if (bits > static_cast<size_t>(PREC_MAX)) return overflow_error("'mpz' too large to convert to 'mpfr'\n");
  // Zero, NaN and the infinities take the context's precision, as a float's do.
  MPFR_Object* r = new_mpfr(bits < 2 ? 0 : static_cast<mpfr_prec_t>(bits), nullptr);
  if (!r) return nullptr;
  if (mpz_sgn(man->z) == 0) {
    if (exp == MPF_NAN_EXP) mpfr_set_nan(r->f);
    else if (exp == MPF_INF_EXP || exp == MPF_NINF_EXP) mpfr_set_inf(r->f, exp == MPF_INF_EXP ? 1 : -1);
    else mpfr_set_zero(r->f, 1);
    return r;
  }
  if (sign) mpz_neg(man->z, man->z);
  // Exact unless the exponent leaves MPFR's range, which the precision
  // rules of the conversion that follows then report.
  r->rc = mpfr_set_z_2exp(r->f, man->z, static_cast<mpfr_exp_t>(exp), MPFR_RNDN);
  return r;
}

PyObject* mpf_value(PyObject* o) noexcept {
  Ref t = Ref::steal(PyObject_GetAttrString(o, "_mpf_"));
  return t ? reinterpret_cast<PyObject*>(mpfr_from_mpf(t.get())) : nullptr;
}

// An mpc holding exactly mpmath's raw pair of raw tuples (real, imag).
PyObject* mpc_value(PyObject* o) noexcept {
  Ref t = Ref::steal(PyObject_GetAttrString(o, "_mpc_"));
  if (!t) return nullptr;
  if (!PyTuple_Check(t.get()) || PyTuple_GET_SIZE(t.get()) != 2) return type_error("object could not be converted to 'mpc'");
  Own<MPFR_Object> re(mpfr_from_mpf(PyTuple_GET_ITEM(t.get(), 0)));
  if (!re) return nullptr;
  Own<MPFR_Object> im(mpfr_from_mpf(PyTuple_GET_ITEM(t.get(), 1)));
  if (!im) return nullptr;
  MPC_Object* r = new_mpc(mpfr_get_prec(re->f), mpfr_get_prec(im->f), nullptr);
  if (!r) return nullptr;
  r->rc = mpc_set_fr_fr(r->c, re->f, im->f, MPC_RNDNN);
  return reinterpret_cast<PyObject*>(r);
}

constexpr ForeignKind FOREIGN[] = {
    {K_HAS_MPZ, "__mpz__", P_MPZ, K_MPZ, true, mpz_protocol},
    {K_FRACTION, nullptr, 0, K_MPQ, true, fraction_value},  // by class identity (classify.cpp)
    {K_HAS_MPQ, "__mpq__", P_MPQ, K_MPQ, true, mpq_protocol},
    {K_HAS_MPFR, "__mpfr__", P_MPFR, K_MPFR, true, mpfr_protocol},
    {K_MPF_TUPLE, "_mpf_", T_MPF_TUPLE, K_MPFR, false, mpf_value},
    {K_HAS_MPC, "__mpc__", P_MPC, K_MPC, true, mpc_protocol},
    {K_MPC_TUPLE, "_mpc_", T_MPC_TUPLE, K_MPC, false, mpc_value},
};

}  // namespace

std::span<const ForeignKind> foreign_kinds() noexcept { return FOREIGN; }

OwnValue foreign_value(PyObject* o, int kind) noexcept {
  for (const ForeignKind& f : FOREIGN) {
    if (f.kind != kind) continue;
    Ref v = Ref::steal(f.value(o));
    if (!v && PyErr_Occurred() && !must_propagate()) PyErr_Clear();
    return OwnValue{std::move(v), f.own, f.as_is};
  }
  return OwnValue{Ref(), K_UNKNOWN, false};
}

}  // namespace vx
