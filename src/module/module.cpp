// Module entry: definition, execution step, exceptions, constants, the
// informational functions and the handler for GMP's fatal errors.
#include <Python.h>
#include <gmp.h>
#include <mpfr.h>
#include <mpc.h>
#include <csignal>
#include <initializer_list>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "context/conditions.h"
#include "context/context.h"
#include "core/args.h"
#include "core/compat.h"
#include "core/errors.h"
#include "core/ref.h"
#include "floating/arb_route.h"
#include "core/registry.h"
#include "module/capsule.h"
#include "objects/objects.h"

extern "C" {

VX_EXPORT extern const char vexa_license[];
const char vexa_license[] =
    "The vexa2 module is free software; you can redistribute it and/or modify\n"
    "it under the terms of the GNU Lesser General Public License as published\n"
    "by the Free Software Foundation; either version 3 of the License, or (at\n"
    "your option) any later version. It is distributed in the hope that it\n"
    "will be useful, but WITHOUT ANY WARRANTY; without even the implied\n"
    "warranty of MERCHANTABILITY or FITNESS FOR A PARTICULAR PURPOSE.\n";

// GMP reports a fatal error by setting gmp_errno and raising SIGFPE. The
// process cannot continue; say what happened and stop.
VX_EXPORT void gmp_abort_handler(int) {
  if (gmp_errno & 2)
    std::puts("gmp: divide by zero");
  else if (gmp_errno & 4)
    std::puts("gmp: root of negative");
  else
    std::puts("gmp: overflow in mpz type");
  std::fflush(stdout);
  std::abort();
}

}  // extern "C"

namespace vx {

Exceptions exc = {};

namespace {

PyObject* f_license(PyObject*, PyObject*) { return PyUnicode_FromString(vexa_license); }

PyObject* f_version(PyObject*, PyObject*) {
  Ref mod = Ref::steal(PyImport_ImportModule("vexa2"));
  if (!mod) return nullptr;
  return PyObject_GetAttrString(mod.get(), "__version__");
}

PyObject* f_mp_version(PyObject*, PyObject*) { return PyUnicode_FromFormat("GMP %s", gmp_version); }
PyObject* f_mp_limbsize(PyObject*, PyObject*) { return PyLong_FromLong(mp_bits_per_limb); }
PyObject* f_mpfr_version(PyObject*, PyObject*) { return PyUnicode_FromFormat("MPFR %s", MPFR_VERSION_STRING); }
PyObject* f_mpc_version(PyObject*, PyObject*) { return PyUnicode_FromFormat("MPC %s", MPC_VERSION_STRING); }
PyObject* f_free_cache(PyObject*, PyObject*) {
  mpfr_free_cache();
  arb_route::free_cache();
  Py_RETURN_NONE;
}

// Runs a snippet of Python with "vexa2" (and `extra`) bound in its globals.
int run_snippet(PyObject* module, const char* code, const char* extra_name = nullptr,
                PyObject* extra = nullptr) {
  Ref d = Ref::steal(PyDict_New());
  if (!d) return -1;
  if (PyDict_SetItemString(d.get(), "vexa2", module) < 0) return -1;
  if (extra_name && PyDict_SetItemString(d.get(), extra_name, extra) < 0) return -1;
  Ref r = Ref::steal(PyRun_String(code, Py_file_input, d.get(), d.get()));
  return r ? 0 : -1;
}

// Registers the number types with copyreg or numbers; failures are ignored.
void register_with(PyObject* module, const char* modname, const char* code) {
  Ref m = Ref::steal(PyImport_ImportModule(modname));
  if (!m) {
    PyErr_Clear();
    return;
  }
  if (run_snippet(module, code, modname, m.get()) < 0) PyErr_Clear();
}

PyObject* new_exception(const char* name, PyObject* base1, PyObject* base2 = nullptr) {
  if (!base2) return PyErr_NewException(name, base1, nullptr);
  Ref bases = Ref::steal(PyTuple_Pack(2, base1, base2));
  if (!bases) return nullptr;
  return PyErr_NewException(name, bases.get(), nullptr);
}

int add_type(PyObject* m, const char* name, PyTypeObject* t) {
  Py_INCREF(t);
  if (PyModule_AddObject(m, name, reinterpret_cast<PyObject*>(t)) < 0) {
    Py_DECREF(t);
    PyErr_Clear();
  }
  return 0;
}

// Makes `slot` once per process: a second module object (for instance one
// made by importlib.util.module_from_spec) shares the first one's classes,
// so that its traps are caught by either module's names.
bool make_exception(PyObject*& slot, const char* name, PyObject* base1, PyObject* base2 = nullptr) {
  if (!slot) slot = new_exception(name, base1, base2);
  return slot != nullptr;
}

// The module's functions, built from every unit's rows at the first import.
PyMethodDef* module_functions = nullptr;

// The registry target of each number type: the targets list them in the
// types' order.
static_assert(static_cast<int>(Target::Mpc) - static_cast<int>(Target::Mpz) == NUMBER_TYPE_COUNT - 1 &&
              static_cast<int>(Target::Xmpz) == static_cast<int>(Target::Mpz) + 1 &&
              static_cast<int>(Target::Mpq) == static_cast<int>(Target::Mpz) + 2);
inline Target target_of(int i) noexcept { return static_cast<Target>(static_cast<int>(Target::Mpz) + i); }

// Fills in the static types' tables once, before the first readying
// (PyType_Ready is a no-op on a readied type), and readies them.
int prepare_types() {
  static bool prepared = false;
  if (!prepared) {
    objects_prepare();
    for (const Unit* u : registered_units())
      if (u->slots) u->slots();
    for (int i = 0; i < NUMBER_TYPE_COUNT; ++i) {
      PyTypeObject* t = NUMBER_TYPES[i].type;
      t->tp_methods = method_table(target_of(i));
      t->tp_getset = attr_table(target_of(i));
      if (!t->tp_methods || !t->tp_getset) return -1;
    }
    CTXT_Type.tp_methods = method_table(Target::Context);
    if (!CTXT_Type.tp_methods) return -1;
    module_functions = method_table(Target::Module);
    if (!module_functions) return -1;
    prepared = true;
  }
  for (const NumberType& t : NUMBER_TYPES)
    if (PyType_Ready(t.type) < 0) return -1;
  return PyType_Ready(&CTXT_Type);
}

// The exception classes: the base, then the conditions' classes, each
// after the class it derives from.
int make_exceptions() {
  if (!make_exception(exc.base, "vexa2.vexa2Error", PyExc_ArithmeticError)) return -1;
  for (bool derived : {false, true}) {
    for (const Condition& k : CONDITIONS) {
      if ((k.base != &Exceptions::base) != derived) continue;
      const std::string name = std::string("vexa2.") + k.cls_name;
      if (!make_exception(exc.*k.cls, name.c_str(), exc.*k.base, k.builtin_base ? *k.builtin_base : nullptr))
        return -1;
    }
  }
  return 0;
}

int add_types(PyObject* m) {
  add_type(m, "context", &CTXT_Type);
  for (const NumberType& t : NUMBER_TYPES) add_type(m, t.name, t.type);
  Ref eight = Ref::steal(PyLong_FromLong(8));
  if (!eight || PyDict_SetItemString(XMPZ_Type.tp_dict, "limb_size", eight.get()) < 0) PyErr_Clear();
  PyType_Modified(&XMPZ_Type);
  for (const Unit* u : registered_units())
    if (u->ready && u->ready(m) < 0) return -1;
  return 0;
}

int add_constants(PyObject* m) {
  static const struct {
    const char* name;
    long value;
  } constants[] = {{"RoundToNearest", RoundToNearest}, {"RoundToZero", RoundToZero},
                   {"RoundUp", RoundUp},               {"RoundDown", RoundDown},
                   {"RoundAwayZero", RoundAwayZero},   {"Default", RoundDefault}};
  for (const auto& c : constants)
    if (PyModule_AddIntConstant(m, c.name, c.value) < 0) return -1;
  return 0;
}

int add_exceptions(PyObject* m) {
  for (const Condition& k : CONDITIONS) {
    PyObject* cls = exc.*k.cls;
    Py_INCREF(cls);
    if (PyModule_AddObject(m, k.cls_name, cls) < 0) {
      Py_DECREF(cls);
      return -1;
    }
  }
  return 0;
}

// Pickling through copyreg, and the numbers ABCs; failures are ignored.
void register_with_stdlib(PyObject* m) {
  std::string pickles = "def vexa2_reducer(x): return (vexa2.from_binary, (vexa2.to_binary(x),))\n";
  std::string abcs;
  for (const NumberType& t : NUMBER_TYPES) {
    pickles += std::string("copyreg.pickle(vexa2.") + t.name + ", vexa2_reducer)\n";
    if (t.abc) abcs += std::string("numbers.") + t.abc + ".register(vexa2." + t.name + ")\n";
  }
  register_with(m, "copyreg", pickles.c_str());
  register_with(m, "numbers", abcs.c_str());
}

int vexa2_exec(PyObject* m) {
  if (prepare_types() < 0 || make_exceptions() < 0 || add_types(m) < 0) return -1;
  if (context_module_init(m) < 0 || add_constants(m) < 0) return -1;
  // The functions name the public package as their module, so that pickles
  // and reprs refer to vexa2.<name>, which the package re-exports.
  Ref name = Ref::steal(PyUnicode_FromString("vexa2"));
  if (!name || PyObject_SetAttrString(m, "__name__", name.get()) < 0) return -1;
  if (PyModule_AddFunctions(m, module_functions) < 0) return -1;
  // The distribution's version, compiled in by the build (CMakeLists.txt).
  if (PyModule_AddStringConstant(m, "__version__", VEXA2_VERSION) < 0) return -1;
  if (add_exceptions(m) < 0) return -1;
  publish_capsule(m);
  register_with_stdlib(m);
  PyOS_setsig(SIGFPE, gmp_abort_handler);
  return 0;
}

PyDoc_STRVAR(module_doc,
             "vexa2 - multiple-precision arithmetic for Python\n\n"
             "Integers and rationals are computed by GMP, real floating-point numbers\n"
             "by MPFR and complex ones by MPC.\n\n"
             "Types: mpz (exact integers), xmpz (mutable integers), mpq (exact\n"
             "rationals), mpfr (binary reals of any precision), mpc (complex numbers of\n"
             "mpfr parts) and context (precision, rounding, exponent range, sticky\n"
             "flags and traps). They mix with each other and with int, float, complex\n"
             "and Fraction in + - * / // % divmod ** and comparisons.\n\n"
             "Contexts: get_context(), set_context(), context(...) as a with-block;\n"
             "add(), sub(), mul(), div(), floor_div(), mod() follow the current context\n"
             "and are methods of contexts too.\n\n"
             "Integers: division rounded as asked (c_div(), f_div(), t_div() and their\n"
             "_2exp, divmod and mod forms), divexact(); bits (bit_length(), bit_test(),\n"
             "bit_set(), popcount(), hamdist(), xbit_mask()); roots (isqrt(), iroot(),\n"
             "iroot_rem()); number theory (gcd(), lcm(), gcdext(), invert(), divm(),\n"
             "jacobi(), legendre(), kronecker(), remove(), powmod(), powmod_sec());\n"
             "primes (is_prime(), next_prime(), prev_prime(), is_strong_prp() and the\n"
             "other probable-prime tests); combinatorics (fac(), double_fac(),\n"
             "multi_fac(), primorial(), comb(), fib(), fib2(), lucas(), lucasu());\n"
             "conversions (digits(), num_digits(), pack(), unpack()).\n\n"
             "Reals and complex numbers: sqrt(), cbrt(), root(), exp(), log(), sin(),\n"
             "cos(), tan(), atan2(), sinh(), gamma(), lgamma(), zeta(), erf(), agm(),\n"
             "j0(), yn() and the other functions of MPFR and MPC, correctly rounded in\n"
             "the current context; constants const_pi(), const_euler(), const_log2(),\n"
             "const_catalan(); fsum(), fma(), hypot(), remainder(), rint(); tests\n"
             "is_nan(), is_finite(), is_zero(); polar(), rect(), phase(), norm(),\n"
             "proj() for complex numbers.\n\n"
             "Serialization: to_binary() and from_binary() (used by pickle and copy).\n\n"
             "Information: version(), mp_version(), mpfr_version(), mpc_version(),\n"
             "mp_limbsize(), license(). python -m vexa2 prints them and runs a short\n"
             "self-check.");


PyModuleDef_Slot module_slots[] = {
    {Py_mod_exec, reinterpret_cast<void*>(vexa2_exec)},
#ifdef Py_mod_multiple_interpreters
    {Py_mod_multiple_interpreters, Py_MOD_MULTIPLE_INTERPRETERS_NOT_SUPPORTED},
#endif
#if VX_HAVE_GIL_SLOT
    {Py_mod_gil, Py_MOD_GIL_USED},
#endif
    {0, nullptr},
};

PyModuleDef module_def = {
    PyModuleDef_HEAD_INIT, "vexa2._vexa2", module_doc, 0, nullptr, module_slots, nullptr, nullptr, nullptr,
};


const FnDef info_methods[] = {
    noargs("license", f_license, IN_MODULE, "Return string giving license information.") .typed("", "str"),
    noargs("version", f_version, IN_MODULE, "Return string giving the current vexa2 version.") .typed("", "str"),
    noargs("mp_version", f_mp_version, IN_MODULE, "Return string giving the current GMP version.") .typed("", "str"),
    noargs("mp_limbsize", f_mp_limbsize, IN_MODULE, "Return the number of bits per limb.") .typed("", "int"),
    noargs("mpfr_version", f_mpfr_version, IN_MODULE, "Return string giving the current MPFR version.").typed("", "str"),
    noargs("mpc_version", f_mpc_version, IN_MODULE, "Return string giving the current MPC version.") .typed("", "str"),
    noargs("free_cache", f_free_cache, IN_MODULE, "Free the internal cache of constants kept by MPFR.") .typed("", "None"),
};

}  // namespace

VX_UNIT(info, info_methods)

}  // namespace vx

extern "C" PyMODINIT_FUNC PyInit__vexa2(void) {
#if VX_HAVE_GIL_SLOT
  if (mpfr_buildopt_tls_p()) {
    // MPFR keeps its flags and exponent range per thread: no lock needed.
    for (PyModuleDef_Slot* s = vx::module_slots; s->slot; ++s)
      if (s->slot == Py_mod_gil) s->value = Py_MOD_GIL_NOT_USED;
  }
#endif
  return PyModuleDef_Init(&vx::module_def);
}
