// Unary operators, truth value and conversions to Python numbers of mpq,
// mpfr and mpc.
#include "objects/check.h"
#include "convert/classify.h"
#include "convert/int_conv.h"
#include "convert/real_conv.h"
#include "core/errors.h"
#include "core/ref.h"
#include "core/registry.h"
#include "floating/mathfn.h"

namespace vx {

namespace {

PyObject* self_ref(PyObject* x) {
  Py_INCREF(x);
  return x;
}

// ---- mpq ----

PyObject* mpq_negative(PyObject* x) {
  MPQ_Object* r = new_mpq();
  if (r) mpq_neg(r->q, mpq_of(x));
  return reinterpret_cast<PyObject*>(r);
}
PyObject* mpq_absolute(PyObject* x) { return mpq_sgn(mpq_of(x)) >= 0 ? self_ref(x) : mpq_negative(x); }
int mpq_bool(PyObject* x) { return mpq_sgn(mpq_of(x)) != 0; }

// ---- mpfr ----

using mathfn::complex_in_current;
using mathfn::real_in_current;

PyObject* mpfr_negative(PyObject* x) {
  return real_in_current(0, [x](mpfr_ptr r, mpfr_rnd_t m) { return mpfr_neg(r, mpfr_of(x), m); });
}
PyObject* mpfr_absolute(PyObject* x) {
  return real_in_current(0, [x](mpfr_ptr r, mpfr_rnd_t m) { return mpfr_abs(r, mpfr_of(x), m); });
}
PyObject* mpfr_positive(PyObject* x) {
  return reinterpret_cast<PyObject*>(to_mpfr(x, K_MPFR, PREC_CONTEXT, nullptr));
}
int mpfr_bool(PyObject* x) { return !mpfr_zero_p(mpfr_of(x)); }

PyObject* mpfr_int(PyObject* x) {
  Own<MPZ_Object> z(int_from_mpfr<MPZ_Object>(mpfr_of(x), nullptr));
  return z ? pylong_from_mpz(z->z) : nullptr;
}
PyObject* mpfr_float(PyObject* x) {
  Own<CTXT_Object> ctx(current_context());
  if (!ctx) return nullptr;
  return PyFloat_FromDouble(mpfr_get_d(mpfr_of(x), rnd(ctx->ctx)));
}

// ---- mpc ----

PyObject* mpc_negative(PyObject* x) {
  return complex_in_current([x](mpc_ptr r, mpc_rnd_t m) { return mpc_neg(r, mpc_of(x), m); });
}
PyObject* mpc_positive(PyObject* x) {
  return reinterpret_cast<PyObject*>(to_mpc(x, K_MPC, PREC_CONTEXT, PREC_CONTEXT, nullptr));
}
PyObject* mpc_absolute(PyObject* x) {
  return real_in_current(0, [x](mpfr_ptr r, mpfr_rnd_t m) { return mpc_abs(r, mpc_of(x), m); });
}
int mpc_bool(PyObject* x) {
  return !(mpfr_zero_p(mpc_realref(mpc_of(x))) && mpfr_zero_p(mpc_imagref(mpc_of(x))));
}
PyObject* mpc_int(PyObject*) { return type_error("can't convert 'mpc' to int"); }
PyObject* mpc_float(PyObject*) { return type_error("can't convert 'mpc' to float"); }

PyObject* mpc_complex(PyObject* x, PyObject*) {
  Own<CTXT_Object> ctx(current_context());
  if (!ctx) return nullptr;
  mpc_srcptr c = mpc_of(x);
  return PyComplex_FromDoubles(mpfr_get_d(mpc_realref(c), static_cast<mpfr_rnd_t>(real_round(ctx->ctx))),
                               mpfr_get_d(mpc_imagref(c), static_cast<mpfr_rnd_t>(imag_round(ctx->ctx))));
}


void setup_unary_slots() noexcept {
  mpq_number.nb_negative = mpq_negative;
  mpq_number.nb_positive = self_ref;
  mpq_number.nb_absolute = mpq_absolute;
  mpq_number.nb_bool = mpq_bool;

  mpfr_number.nb_negative = mpfr_negative;
  mpfr_number.nb_positive = mpfr_positive;
  mpfr_number.nb_absolute = mpfr_absolute;
  mpfr_number.nb_bool = mpfr_bool;
  mpfr_number.nb_int = mpfr_int;
  mpfr_number.nb_float = mpfr_float;

  mpc_number.nb_negative = mpc_negative;
  mpc_number.nb_positive = mpc_positive;
  mpc_number.nb_absolute = mpc_absolute;
  mpc_number.nb_bool = mpc_bool;
  mpc_number.nb_int = mpc_int;
  mpc_number.nb_float = mpc_float;
}

const FnDef mpc_unary_methods[] = {
    noargs("__complex__", mpc_complex, ON_MPC, "The value as a Python complex, each part rounded to a double.") .typed("/", "complex"),
};

}  // namespace

VX_UNIT(floating_unary, mpc_unary_methods, setup_unary_slots)

}  // namespace vx
