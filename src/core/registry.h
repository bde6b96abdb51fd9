// Declarative registration. A unit declares each function once, as one row
// of a table: its name, calling convention, docstring and where it appears
// (module function, context method, method of which number types). The
// unit hands its tables to the registry with one VX_UNIT(...) at namespace
// scope; the module's exec step builds the module's, the context's and each
// type's tables from the rows, and refuses a name declared twice for the
// same place.
//
//   const FnDef rows[] = {
//       fast("gcd", f_gcd, IN_MODULE | IN_CONTEXT, "gcd(*integers)\n--\n\nReturn ..."),
//   };
//   VX_UNIT(integer_ntheory, rows);
//
// A row may say its parameters and result with types, as the stubs write
// them: `.typed("x: _Real, /", "mpfr")`. The registry then writes the text
// signature that starts the docstring ("name(x, /)\n--\n\n"), which
// `inspect.signature` and `help()` read; rows without one write it at the
// start of their docstring. Where the result type follows the argument,
// the forms are separated by ';' and each ends with its result:
// `.typed("x: _Real, / -> mpfr; x: _Num, / -> mpfr | mpc")` (the first form
// gives the text signature). The module's private `_rows()` hands the
// rows to the stub generator.
#pragma once
#include <Python.h>
#include <cstddef>
#include <span>

namespace vx {

// Where a row appears; the bits combine.
enum Home : unsigned {
  IN_MODULE = 1u << 0,   // vexa2.name(...)
  IN_CONTEXT = 1u << 1,  // context.name(...): self is the context
  ON_MPZ = 1u << 2,      // methods and attributes: self is the number
  ON_XMPZ = 1u << 3,
  ON_MPQ = 1u << 4,
  ON_MPFR = 1u << 5,
  ON_MPC = 1u << 6,
  ON_INTEGERS = ON_MPZ | ON_XMPZ,
  MODULE_AND_CONTEXT = IN_MODULE | IN_CONTEXT,
};

// The owner of a table built from rows: the module, the context type or a number type.
enum class Target { Module, Context, Mpz, Xmpz, Mpq, Mpfr, Mpc };
constexpr unsigned home_bit(Target t) noexcept { return 1u << static_cast<unsigned>(t); }

using FastFn = PyObject* (*)(PyObject*, PyObject* const*, Py_ssize_t);
using FastKwFn = PyObject* (*)(PyObject*, PyObject* const*, Py_ssize_t, PyObject*);
using VarKwFn = PyObject* (*)(PyObject*, PyObject*, PyObject*);
using OneFn = PyObject* (*)(PyObject*, PyObject*);

// One function or method.
struct FnDef {
  const char* name;
  PyCFunction fn;
  int flags;  // METH_*
  const char* doc;
  unsigned where;  // Home bits
  const char* params = nullptr;   // typed parameters, see above
  const char* returns = nullptr;  // the result type, when the forms do not say it

  constexpr FnDef typed(const char* p, const char* r = nullptr) const noexcept {
    FnDef d = *this;
    d.params = p;
    d.returns = r;
    return d;
  }
};

// One attribute of the number types (or the context).
struct AttrDef {
  const char* name;
  getter get;
  setter set;
  const char* doc;
  unsigned where;
  const char* type = nullptr;  // the value's type, as the stubs write it

  constexpr AttrDef typed(const char* t) const noexcept {
    AttrDef d = *this;
    d.type = t;
    return d;
  }
};

template <class F>
constexpr PyCFunction as_cfunction(F f) noexcept {
  return reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)(void)>(f));
}

// Row builders, one per calling convention.
constexpr FnDef fast(const char* name, FastFn f, unsigned where, const char* doc) noexcept {
  return {name, as_cfunction(f), METH_FASTCALL, doc, where};
}
constexpr FnDef fast_kw(const char* name, FastKwFn f, unsigned where, const char* doc) noexcept {
  return {name, as_cfunction(f), METH_FASTCALL | METH_KEYWORDS, doc, where};
}
constexpr FnDef noargs(const char* name, OneFn f, unsigned where, const char* doc) noexcept {
  return {name, as_cfunction(f), METH_NOARGS, doc, where};
}
constexpr FnDef one(const char* name, OneFn f, unsigned where, const char* doc) noexcept {
  return {name, as_cfunction(f), METH_O, doc, where};
}
constexpr FnDef varargs(const char* name, OneFn f, unsigned where, const char* doc) noexcept {
  return {name, as_cfunction(f), METH_VARARGS, doc, where};
}
constexpr FnDef varargs_kw(const char* name, VarKwFn f, unsigned where, const char* doc) noexcept {
  return {name, as_cfunction(f), METH_VARARGS | METH_KEYWORDS, doc, where};
}
// A row that only describes: no table gets it, `_rows()` hands it over (the
// typed forms of a type's constructor, which its slots serve).
constexpr FnDef described(const char* name, unsigned where, const char* params) noexcept {
  return {name, nullptr, 0, nullptr, where, params, nullptr};
}
// A static or class method of a type (for instance mpq.from_float).
constexpr FnDef with_flag(FnDef d, int extra) noexcept {
  d.flags |= extra;
  return d;
}

// What one unit contributes: function rows, attribute rows, a routine
// that fills the number-protocol slots it serves (run before the types
// are readied) and one that readies the unit's own types (run by the
// module's exec step after the number types are ready; it may publish
// them in the module; 0, or -1 with an exception set). Any part may be empty.
using ReadyFn = int (*)(PyObject* module) noexcept;
struct Unit {
  const char* name;
  std::span<const FnDef> fns;
  std::span<const AttrDef> attrs;
  void (*slots)() noexcept;
  ReadyFn ready = nullptr;
};

// Adds a unit to the registry (at load time, before the module runs).
struct UnitRegistration {
  explicit UnitRegistration(const Unit& u) noexcept;
};

// Every registered unit, in registration order.
std::span<const Unit* const> registered_units() noexcept;

// The tables of one target, built from every unit's rows (the module's
// exec step calls these once). nullptr with SystemError "duplicate name
// '<name>' in <target>" when two rows give the same name to one target.
PyMethodDef* method_table(Target t) noexcept;
PyGetSetDef* attr_table(Target t) noexcept;

}  // namespace vx

#define VX_PASTE2(a, b) a##b
#define VX_PASTE(a, b) VX_PASTE2(a, b)

// Registers a unit: VX_UNIT(name, fn_rows), VX_UNIT(name, fn_rows, slots) or
// VX_UNIT(name, fn_rows, attr_rows, slots[, ready]).
#define VX_UNIT(name, ...)                                                                  \
  namespace {                                                                               \
  const ::vx::Unit VX_PASTE(vx_unit_, name) = ::vx::make_unit(#name, __VA_ARGS__);          \
  const ::vx::UnitRegistration VX_PASTE(vx_unit_reg_, name){VX_PASTE(vx_unit_, name)};     \
  }

namespace vx {
inline Unit make_unit(const char* name, std::span<const FnDef> fns, std::span<const AttrDef> attrs = {},
                      void (*slots)() noexcept = nullptr, ReadyFn ready = nullptr) noexcept {
  return {name, fns, attrs, slots, ready};
}
inline Unit make_unit(const char* name, std::span<const FnDef> fns, void (*slots)() noexcept) noexcept {
  return {name, fns, {}, slots, nullptr};
}
}  // namespace vx
