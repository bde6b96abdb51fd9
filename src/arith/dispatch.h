// The shared machinery of the arithmetic operators: choosing the class of
// an operation from the operands' kinds, fetching the context only when it
// is needed, and the table-driven slot and function entries.
#pragma once
#include <Python.h>
#include <cstdint>

#include "objects/check.h"
#include "context/conditions.h"
#include "context/context.h"
#include "convert/classify.h"
#include "core/args.h"
#include "core/compat.h"
#include "core/errors.h"
#include "core/ref.h"
#include "core/temps.h"
#include "objects/objects.h"

namespace vx::arith {

// Operands below this many limbs are computed attached: detaching costs
// more than such a computation, and the context is not even fetched.
constexpr size_t DETACH_MIN_LIMBS = 256;

// Runs an integer or rational computation on operands of `limbs` limbs in
// all, detached from the interpreter when the context allows it. `shared`
// says an operand may be changed by another thread meanwhile (an xmpz), in
// which case it stays attached. False with an exception set when the
// context cannot be fetched.
template <class F>
inline bool compute(Ctx& cx, bool shared, size_t limbs, F&& f) {
  if (shared || limbs < DETACH_MIN_LIMBS) {
    f();
    return true;
  }
  CTXT_Object* c = cx.get();
  if (!c) return false;
  gmp_compute(c->ctx, f);
  return true;
}

inline size_t limbs(mpz_srcptr a, mpz_srcptr b) noexcept { return mpz_size(a) + mpz_size(b); }
inline size_t limbs(mpq_srcptr a, mpq_srcptr b) noexcept {
  return mpz_size(mpq_numref(a)) + mpz_size(mpq_denref(a)) + mpz_size(mpq_numref(b)) + mpz_size(mpq_denref(b));
}

inline bool is_shared(int kx, int ky) noexcept { return kx == K_XMPZ || ky == K_XMPZ; }

// A Python int read without a call when its magnitude fits one word.
struct Small {
  int sign;
  uint64_t mag;
};
inline bool small_int(PyObject* o, Small& s) noexcept { return compat::long_small(o, s.sign, s.mag); }


// Implementations by class. Each receives both operands with their kind codes.
using Impl = PyObject* (*)(PyObject*, int, PyObject*, int, Ctx&);

// Two operands of one floating type with the context at hand.
using Pair = PyObject* (*)(PyObject*, PyObject*, CTXT_Object*);

// One binary operation: its four implementations, the texts of its module
// function, and optionally the shortcuts of the operator for two mpfr or
// two mpc operands (the same results as `real`/`complex`, sooner).
struct BinaryOp {
  Impl integer, rational, real, complex;
  Fn count;          // "name() requires 2 arguments"
  const char* name;  // "name() argument type not supported"
  Pair real_pair = nullptr, complex_pair = nullptr;
};

inline PyObject* in_current_context(Pair f, PyObject* x, PyObject* y) {
  CTXT_Object* c = current_context();
  if (!c) return nullptr;
  PyObject* r = f(x, y, c);
  Py_DECREF(reinterpret_cast<PyObject*>(c));
  return r;
}

inline PyObject* dispatch(const BinaryOp& op, PyObject* x, int a, PyObject* y, int b, Ctx& cx) {
  switch (class_of(a, b)) {
    case Cls::Int: {
      XmpzLock lock(x, y);  // the integer paths read xmpz operands in place
      return op.integer(x, a, y, b, cx);
    }
    case Cls::Rat: return op.rational(x, a, y, b, cx);
    case Cls::Real: return op.real(x, a, y, b, cx);
    case Cls::Cpx: return op.complex(x, a, y, b, cx);
    case Cls::None: break;
  }
  return nullptr;
}

// The number-protocol entry: NotImplemented for an operand of unknown kind.
template <const BinaryOp& op>
[[gnu::noinline]] PyObject* slot_any(PyObject* x, PyObject* y) {
  int a = classify(x), b = classify(y);
  if (a == K_UNKNOWN || b == K_UNKNOWN) Py_RETURN_NOTIMPLEMENTED;
  Ctx cx;
  return dispatch(op, x, a, y, b, cx);
}

// Two mpfr or two mpc operands take their shortcut before any
// classification (and without the general path's register saves).
template <const BinaryOp& op>
PyObject* slot(PyObject* x, PyObject* y) {
  PyTypeObject* t = Py_TYPE(x);
  if (t == &MPFR_Type && Py_TYPE(y) == t && op.real_pair) return in_current_context(op.real_pair, x, y);
  if (t == &MPC_Type && Py_TYPE(y) == t && op.complex_pair) return in_current_context(op.complex_pair, x, y);
  return slot_any<op>(x, y);
}

// The module function, which is also a context method.
template <const BinaryOp& op>
PyObject* function(PyObject* self, PyObject* const* args, Py_ssize_t nargs) {
  if (!want_args(nargs, 2, op.count)) return nullptr;
  int a = classify(args[0]), b = classify(args[1]);
  if (a == K_UNKNOWN || b == K_UNKNOWN) return not_supported(op.name, args, nargs);
  Ctx cx = Ctx::of_self(self);
  return dispatch(op, args[0], a, args[1], b, cx);
}

// The operations, defined in add.cpp, div.cpp and pow.cpp.
extern const BinaryOp op_add, op_sub, op_mul, op_truediv, op_floordiv, op_mod, op_divmod;

PyObject* power(PyObject* x, int a, PyObject* y, int b, PyObject* m, Ctx& cx);

// Context methods of one operand (add.cpp) and the context's pow (pow.cpp).
PyObject* ctx_plus(PyObject* self, PyObject* const* args, Py_ssize_t nargs);
PyObject* ctx_minus(PyObject* self, PyObject* const* args, Py_ssize_t nargs);
PyObject* ctx_abs(PyObject* self, PyObject* arg);
PyObject* ctx_pow(PyObject* self, PyObject* const* args, Py_ssize_t nargs);
PyObject* slot_power(PyObject* x, PyObject* y, PyObject* m);

}  // namespace vx::arith
