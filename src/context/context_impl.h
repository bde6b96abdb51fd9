// Internals shared by the context unit's files.
#pragma once
#include "context/context.h"

namespace vx {
// Applies the context keywords to `self`; -1 with ValueError on failure.
int context_apply_kwargs(CTXT_Object* self, PyObject* kwargs) noexcept;
PyObject* context_enter(PyObject* self, PyObject*);
PyObject* context_exit(PyObject* self, PyObject* const* args, Py_ssize_t nargs);
}  // namespace vx
