// The bit iterators of xmpz: every bit, the positions of the set bits, the
// positions of the clear bits. The value and its bit length are read again
// at every step, so changes made while iterating are seen.
#include <cstdint>

#include "core/errors.h"
#include "core/registry.h"
#include "core/signals.h"
#include "integer/mpz_internal.h"

namespace vx {

namespace {

enum IterKind : int { ALL_BITS = 1, SET_BITS = 2, CLEAR_BITS = 3 };

struct BitIter {
  PyObject_HEAD
  PyObject* x;       // the xmpz walked (strong reference)
  Py_ssize_t start;  // the next position to look at
  Py_ssize_t stop;   // bound; -1: the bit length of the value at each step
  int kind;
};

PyTypeObject BitIter_Type = {PyVarObject_HEAD_INIT(nullptr, 0) "vexa2 iterator", sizeof(BitIter), 0};

void iter_dealloc(PyObject* self) {
  Py_DECREF(reinterpret_cast<BitIter*>(self)->x);
  PyObject_Free(self);
}

PyObject* iter_repr(PyObject*) { return PyUnicode_FromString("<vexa2.Iterator>"); }

// Consumers written in C (list(), sum()) look for no signals between items:
// every 1024th step of a thread does, before taking the lock.
constinit thread_local SignalPoll iter_poll;

PyObject* iter_next(PyObject* self) {
  if (iter_poll()) return nullptr;
  auto* it = reinterpret_cast<BitIter*>(self);
  ObjectLock lock(self, it->x);  // the position and the value
  mpz_srcptr z = mpz_of(it->x);
  // A negative start compares as a huge position and ends the walk.
  const auto start = static_cast<uint64_t>(it->start);
  const uint64_t bound = it->stop < 0 ? mpz_sizeinbase(z, 2) : static_cast<uint64_t>(it->stop);
  if (start >= bound) return nullptr;
  mp_bitcnt_t p;
  switch (it->kind) {
    case ALL_BITS:
      it->start += 1;
      return PyBool_FromLong(mpz_tstbit(z, start));
    case SET_BITS: p = mpz_scan1(z, start); break;
    case CLEAR_BITS: p = mpz_scan0(z, start); break;
    default: return system_error("Illegal iter_type in vexa2.Iterator.");
  }
  if (p >= bound) return nullptr;  // also GMP's "none" (all ones)
  it->start = static_cast<Py_ssize_t>(p) + 1;
  return PyLong_FromUnsignedLongLong(p);
}

template <int Kind>
PyObject* make_iter(PyObject* self, PyObject* args, PyObject* kwargs) {
  static const char* const kwlist[] = {"start", "stop", nullptr};
  Py_ssize_t start = 0, stop = -1;
  if (!PyArg_ParseTupleAndKeywords(args, kwargs, "|nn", const_cast<char**>(kwlist), &start, &stop)) return nullptr;
  BitIter* it = PyObject_New(BitIter, &BitIter_Type);
  if (!it) return nullptr;
  it->x = Py_NewRef(self);
  it->start = start;
  // Any negative stop means the bit length: a walk never runs unbounded.
  it->stop = stop < 0 ? -1 : stop;
  it->kind = Kind;
  return reinterpret_cast<PyObject*>(it);
}

int ready_iterator(PyObject*) noexcept {
  if (!(BitIter_Type.tp_flags & Py_TPFLAGS_READY)) {
    BitIter_Type.tp_flags = Py_TPFLAGS_DEFAULT;
    BitIter_Type.tp_dealloc = iter_dealloc;
    BitIter_Type.tp_repr = iter_repr;
    BitIter_Type.tp_iter = PyObject_SelfIter;
    BitIter_Type.tp_iternext = iter_next;
    BitIter_Type.tp_doc = "Iterator over the bits of an xmpz.";
  }
  return PyType_Ready(&BitIter_Type);
}

const FnDef iter_rows[] = {
    varargs_kw("iter_bits", make_iter<ALL_BITS>, ON_XMPZ, "Return an iterator over the bits of x from position start up to,\nnot including, stop: True for a 1 bit, False for a 0 bit. A negative\nstop means the bit length of x.").typed("/, start: _Int = 0, stop: _Int = -1", "Iterator[bool]"),
    varargs_kw("iter_set", make_iter<SET_BITS>, ON_XMPZ, "Return an iterator over the positions p, start <= p < stop, of\nthe 1 bits of x. A negative stop means the bit length of x.") .typed("/, start: _Int = 0, stop: _Int = -1", "Iterator[int]"),
    varargs_kw("iter_clear", make_iter<CLEAR_BITS>, ON_XMPZ, "Return an iterator over the positions p, start <= p < stop, of\nthe 0 bits of x. A negative stop means the bit length of x.") .typed("/, start: _Int = 0, stop: _Int = -1", "Iterator[int]"),
};

}  // namespace

VX_UNIT(xmpz_bit_iter, iter_rows, {}, nullptr, ready_iterator)

}  // namespace vx
