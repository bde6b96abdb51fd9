// Hashes of the number types, equal to the interpreter's hash of the equal
// int, float, Fraction or complex (arithmetic modulo 2**61 - 1).
#pragma once
#include <Python.h>
#include <gmp.h>
#include <mpfr.h>

namespace vx {

// tp_hash of mpz, mpq, mpfr and mpc (cached in the objects' hash field).
Py_hash_t mpz_hash(PyObject* self) noexcept;
Py_hash_t mpq_hash(PyObject* self) noexcept;
Py_hash_t mpfr_hash(PyObject* self) noexcept;
Py_hash_t mpc_hash(PyObject* self) noexcept;

}  // namespace vx
