// The constructors of the five number types, and the conversions of
// mpz, xmpz and mpq to Python int and float.
//
// Minimal numeric forms for now; text, keywords and base come next.
#include "convert/classify.h"
#include "convert/int_conv.h"
#include "convert/real_conv.h"
#include "module/errors.h"
#include "module/ref.h"
#include "module/tables.h"

#include <initializer_list>

namespace vx {

namespace {

PyObject* mpz_new(PyTypeObject*, PyObject* args, PyObject*) {
  if (PyTuple_GET_SIZE(args) == 0) return reinterpret_cast<PyObject*>(new_mpz());
  PyObject* n = PyTuple_GET_ITEM(args, 0);
  if (PyFloat_Check(n)) return reinterpret_cast<PyObject*>(int_from_double<MPZ_Object>(PyFloat_AS_DOUBLE(n)));
  if (is_mpq(n)) return reinterpret_cast<PyObject*>(int_from_mpq<MPZ_Object>(mpq_of(n)));
  if (is_mpfr(n)) return reinterpret_cast<PyObject*>(int_from_mpfr<MPZ_Object>(mpfr_of(n), nullptr));
  return reinterpret_cast<PyObject*>(to_mpz(n, classify(n)));
}

PyObject* xmpz_new(PyTypeObject*, PyObject* args, PyObject*) {
  if (PyTuple_GET_SIZE(args) == 0) return reinterpret_cast<PyObject*>(new_xmpz());
  PyObject* n = PyTuple_GET_ITEM(args, 0);
  if (PyLong_Check(n)) return reinterpret_cast<PyObject*>(xmpz_from_pylong(n));
  Own<MPZ_Object> z(to_mpz(n, classify(n)));
  if (!z) return nullptr;
  return reinterpret_cast<PyObject*>(int_from_mpz<XMPZ_Object>(z->z));
}

PyObject* mpq_new(PyTypeObject*, PyObject* args, PyObject*) {
  Py_ssize_t n = PyTuple_GET_SIZE(args);
  if (n == 0) return reinterpret_cast<PyObject*>(new_mpq());
  if (n == 2) return reinterpret_cast<PyObject*>(mpq_from_pair(PyTuple_GET_ITEM(args, 0), PyTuple_GET_ITEM(args, 1)));
  return reinterpret_cast<PyObject*>(to_mpq_ctor(PyTuple_GET_ITEM(args, 0)));
}

PyObject* mpfr_new(PyTypeObject*, PyObject* args, PyObject*) {
  Py_ssize_t n = PyTuple_GET_SIZE(args);
  if (n == 0) {
    MPFR_Object* r = new_mpfr(0, nullptr);
    if (r) mpfr_set_zero(r->f, 1);
    return reinterpret_cast<PyObject*>(r);
  }
  mpfr_prec_t prec = 0;
  if (n > 1) prec = PyLong_AsLong(PyTuple_GET_ITEM(args, 1));
  PyObject* x = PyTuple_GET_ITEM(args, 0);
  return reinterpret_cast<PyObject*>(to_mpfr(x, classify(x), prec, nullptr));
}

PyObject* mpc_new(PyTypeObject*, PyObject* args, PyObject*) {
  Py_ssize_t n = PyTuple_GET_SIZE(args);
  if (n == 0) {
    MPC_Object* r = new_mpc(0, 0, nullptr);
    if (r) mpc_set_ui(r->c, 0, MPC_RNDNN);
    return reinterpret_cast<PyObject*>(r);
  }
  PyObject* x = PyTuple_GET_ITEM(args, 0);
  return reinterpret_cast<PyObject*>(to_mpc(x, classify(x), 0, 0, nullptr));
}

PyObject* int_int(PyObject* self) { return pylong_from_mpz(mpz_of(self)); }
PyObject* int_float(PyObject* self) { return pyfloat_from_mpz(mpz_of(self)); }
int int_bool(PyObject* self) { return mpz_sgn(mpz_of(self)) != 0; }
PyObject* mpq_int(PyObject* self) { return pylong_from_mpq(mpq_of(self)); }
PyObject* mpq_float(PyObject* self) { return pyfloat_from_mpq(mpq_of(self)); }
PyObject* mpfr_float(PyObject* self) { return PyFloat_FromDouble(mpfr_get_d(mpfr_of(self), MPFR_RNDN)); }

}  // namespace

void setup_convert_slots() noexcept {
  MPZ_Type.tp_new = mpz_new;
  XMPZ_Type.tp_new = xmpz_new;
  MPQ_Type.tp_new = mpq_new;
  MPFR_Type.tp_new = mpfr_new;
  MPC_Type.tp_new = mpc_new;
  for (PyNumberMethods* nb : {&mpz_number, &xmpz_number}) {
    nb->nb_int = int_int;
    nb->nb_index = int_int;
    nb->nb_float = int_float;
    nb->nb_bool = int_bool;
  }
  mpq_number.nb_int = mpq_int;
  mpq_number.nb_float = mpq_float;
  mpfr_number.nb_float = mpfr_float;
}

PyMethodDef convert_module_methods[] = {{nullptr, nullptr, 0, nullptr}};
PyMethodDef mpz_convert_methods[] = {{nullptr, nullptr, 0, nullptr}};
PyMethodDef xmpz_convert_methods[] = {{nullptr, nullptr, 0, nullptr}};
PyMethodDef mpq_convert_methods[] = {{nullptr, nullptr, 0, nullptr}};
PyMethodDef mpfr_convert_methods[] = {{nullptr, nullptr, 0, nullptr}};
PyMethodDef mpc_convert_methods[] = {{nullptr, nullptr, 0, nullptr}};

}  // namespace vx
