// Declarations of every unit's tables (defined in the units themselves).
#pragma once
#include <Python.h>

namespace vx {

// Module functions.
extern PyMethodDef info_methods[];            // module/module.cpp
extern PyMethodDef context_module_methods[];  // context/current.cpp
extern PyMethodDef convert_module_methods[];  // convert/ctor.cpp
extern PyMethodDef format_module_methods[];   // convert/format_int.cpp (digits)
extern PyMethodDef arith_module_methods[];    // arith/
extern PyMethodDef compare_module_methods[];  // arith/compare.cpp
extern PyMethodDef integer_module_methods[];  // integer/

// Context methods.
extern PyMethodDef context_own_methods[];  // context/context.cpp
extern PyMethodDef arith_context_methods[];  // arith/

// Type methods and attributes.
extern PyMethodDef mpz_format_methods[], xmpz_format_methods[], mpq_format_methods[], mpfr_format_methods[],
    mpc_format_methods[];
extern PyMethodDef mpz_integer_methods[], xmpz_integer_methods[];
extern PyMethodDef mpz_bit_methods[];  // integer/mpz_bits.cpp, shared by mpz and xmpz
extern PyMethodDef mpz_convert_methods[], xmpz_convert_methods[], mpq_convert_methods[], mpfr_convert_methods[],
    mpc_convert_methods[];
extern PyGetSetDef mpz_integer_getset[], xmpz_integer_getset[];
extern PyMethodDef mpc_unary_methods[];  // floating/unary.cpp
extern PyGetSetDef mpq_attr_getset[], mpfr_attr_getset[], mpc_attr_getset[];

// Slot setup of each unit, called before the types are readied.
void setup_convert_slots() noexcept;  // constructors, int/float/index/bool
void setup_format_slots() noexcept;   // repr, str
void setup_arith_slots() noexcept;    // + - * / // % divmod ** abs etc.
void setup_compare_slots() noexcept;  // richcompare, hash
void setup_integer_slots() noexcept;
void setup_unary_slots() noexcept;  // floating/unary.cpp: unary, bool, int, float of mpq/mpfr/mpc  // unary/bitwise/shift/mapping of mpz and xmpz

}  // namespace vx
