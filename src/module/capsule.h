// The C-level capsule for other extension modules.
#pragma once
#include <Python.h>

namespace vx {

// Adds the capsule "vexa2._C_API" to the module as `_C_API`. A module
// without it still works: a failure is cleared, not reported.
void publish_capsule(PyObject* module) noexcept;

}  // namespace vx
