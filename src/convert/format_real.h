// Text of reals and complex numbers: repr, str, __format__ and digits.
#pragma once
#include <Python.h>
#include "objects/objects.h"

namespace vx {

// x.__format__(spec) for an mpfr x and a format string already read (an
// integer formatted as a real); the context gives the default rounding.
struct FormatSpec;
PyObject* mpfr_format_with(MPFR_Object* x, const FormatSpec& spec, CTXT_Object* ctx) noexcept;

// x.digits(*args) with args a tuple parsed as "|ii" (base, digit count).
PyObject* mpfr_digits_args(MPFR_Object* x, PyObject* args) noexcept;
PyObject* mpc_digits_args(MPC_Object* x, PyObject* args) noexcept;

}  // namespace vx
