// Conversions to mpq, mpfr and mpc under a context, and from floating
// values to rationals.
#pragma once
#include <Python.h>
#include "objects/objects.h"

namespace vx {


// Object of a rational kind to mpq: TypeError "cannot convert object to mpq".
MPQ_Object* to_mpq(PyObject* o, int kind) noexcept;
// Argument conversion of the rational-only functions.
MPQ_Object* to_mpq_ratonly(PyObject* o) noexcept;
// The mpq constructor's conversion of any number (as_integer_ratio included).
MPQ_Object* to_mpq_ctor(PyObject* o) noexcept;
// n / d for the two-argument form of the mpq constructor.
MPQ_Object* mpq_from_pair(PyObject* n, PyObject* d) noexcept;

MPQ_Object* mpq_from_fraction(PyObject* o) noexcept;
MPQ_Object* mpq_from_double(double d) noexcept;
MPQ_Object* mpq_from_mpfr(mpfr_srcptr f) noexcept;
PyObject* pylong_from_mpq(mpq_srcptr q) noexcept;

// Real-kind object to mpfr at the requested precision; ctx may be nullptr.
MPFR_Object* to_mpfr(PyObject* o, int kind, Prec prec, CTXT_Object* ctx) noexcept;
// Any numeric object to mpc at the requested precisions; ctx may be nullptr.
MPC_Object* to_mpc(PyObject* o, int kind, Prec rprec, Prec iprec, CTXT_Object* ctx) noexcept;

}  // namespace vx
