// The module's function tables and the method and attribute tables of the
// types. Each unit offers its own tables; the lists in registry.cpp name
// them, and the tables are joined once at import.
#pragma once
#include <Python.h>

namespace vx {

// Null-terminated list of null-terminated PyMethodDef tables.
extern PyMethodDef* const module_tables[];

// The context type's method table: its own methods followed by the
// context methods of every unit.
PyMethodDef* context_method_table() noexcept;

enum class TypeTables { MPZ, XMPZ, MPQ, MPFR, MPC };
PyMethodDef* type_method_table(TypeTables t) noexcept;
PyGetSetDef* type_getset_table(TypeTables t) noexcept;

}  // namespace vx
