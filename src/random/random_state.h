// The random-state object: one GMP random state, drawn from by the
// generator functions of this unit.
#pragma once
#include <Python.h>
#include <gmp.h>

namespace vx {

struct RandomState_Object {
  PyObject_HEAD
  gmp_randstate_t state;
};

extern PyTypeObject RandomState_Type;

inline bool is_random_state(PyObject* o) noexcept { return Py_TYPE(o) == &RandomState_Type; }

}  // namespace vx
