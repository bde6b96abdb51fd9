// The module's function tables. Each unit offers a table of module
// functions and, for functions that are also context methods, a table of
// context methods (usually the same entries); the lists below name them.
#pragma once
#include <Python.h>
#include <vector>

namespace vx {

// Null-terminated list of null-terminated PyMethodDef tables.
extern PyMethodDef* const module_tables[];
extern PyMethodDef* const context_tables[];

// The context type's method table: its own methods followed by every
// context table, built once before the type is readied.
PyMethodDef* context_method_table() noexcept;

}  // namespace vx
