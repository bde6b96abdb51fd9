// What foreign types offer, learnt once per type and kept per thread.
#include "convert/classify.h"

#include <cstring>

#include "convert/foreign.h"
#include "core/compat.h"
#include "core/ref.h"

namespace vx {

namespace {

// The class attributes that mark what a foreign type offers (the
// conversion methods, with their Proto bits, and mpmath's raw values) are
// those of the foreign kinds' rows.
inline const char* proto_name(Proto p) noexcept {
  for (const ForeignKind& f : foreign_kinds())
    if (f.mark && f.bit == p) return f.mark;
  return "__mpz__";
}

// A direct-mapped table per thread. An entry is valid while its type keeps
// the version tag it had when learnt: any change to the type or its bases
// gives it a new tag, and tags are never reused, so a type freed and
// another allocated at the same address cannot match a stale entry.
struct Entry {
  PyTypeObject* type;
  unsigned int tag;
  TypeInfo info;
};
constexpr unsigned ENTRIES = 64;
thread_local Entry table[ENTRIES];

inline Entry& entry_of(PyTypeObject* t) noexcept {
  auto p = reinterpret_cast<uintptr_t>(t);
  return table[((p >> 4) ^ (p >> 11)) & (ENTRIES - 1)];
}

bool name_is(PyTypeObject* t, const char* name) noexcept { return std::strcmp(t->tp_name, name) == 0; }

// The class `name` of an imported module (fractions.Fraction,
// decimal.Decimal), or empty when the module is not imported: then no
// object can be an instance of it. Only a plain module is read (no user
// code runs).
Ref real_class(const char* module, const char* name) noexcept {
  Ref key = Ref::steal(PyUnicode_InternFromString(module));
  Ref m = Ref::steal(key ? PyImport_GetModule(key.get()) : nullptr);
  Ref c = m && PyModule_CheckExact(m.get()) ? Ref::steal(PyObject_GetAttrString(m.get(), name)) : Ref();
  if (!c || !PyType_Check(c.get())) {
    PyErr_Clear();
    return Ref();
  }
  return c;
}

bool subclass_of(PyTypeObject* t, const Ref& c) noexcept {
  return c && PyType_IsSubtype(t, reinterpret_cast<PyTypeObject*>(c.get()));
}

// A data descriptor (a property): reading it runs code that may fail.
bool is_data_descriptor(PyObject* attr) noexcept {
  return Py_TYPE(attr)->tp_descr_get && Py_TYPE(attr)->tp_descr_set;
}

unsigned marks_of(PyTypeObject* t) noexcept {
  unsigned bits = 0;
  for (const ForeignKind& f : foreign_kinds()) {
    if (!f.mark) continue;
    Ref name = Ref::steal(PyUnicode_InternFromString(f.mark));
    if (!name) {
      PyErr_Clear();
      continue;
    }
    if (PyObject* attr = compat::type_lookup(t, name.get())) {
      bits |= f.bit;
      // A conversion method behind a property is asked per instance.
      if ((f.bit & (P_MPZ | P_MPQ | P_MPFR | P_MPC)) && is_data_descriptor(attr)) bits |= T_PROBE;
    }
  }
  return bits;
}

// Whether o offers conversion method i, read through its data descriptor:
// a read that fails counts as absence. An error that must reach the caller
// (an interrupt, no memory) counts as presence and is cleared here; the
// conversion reads the method again and reports it.
bool offers(PyObject* o, Proto p) noexcept {
  PyTypeObject* t = Py_TYPE(o);
  Ref name = Ref::steal(PyUnicode_InternFromString(proto_name(p)));
  if (!name) {
    PyErr_Clear();
    return false;
  }
  Ref attr = Ref::steal(compat::type_lookup_ref(t, name.get()));
  if (!attr) return false;
  if (!is_data_descriptor(attr.get())) return true;
  Ref bound = Ref::steal(Py_TYPE(attr.get())->tp_descr_get(attr.get(), o, reinterpret_cast<PyObject*>(t)));
  if (bound) return true;
  const bool keep = must_propagate();
  PyErr_Clear();
  return keep;
}

TypeInfo learn(PyTypeObject* t) noexcept {
  SavedError keep;  // an error pending in the caller survives the lookups below
  unsigned bits = marks_of(t);
  int kind = K_UNKNOWN;
  if (PyType_HasFeature(t, Py_TPFLAGS_LONG_SUBCLASS)) {
    kind = K_PYINT;
  } else if (PyType_IsSubtype(t, &PyFloat_Type)) {
    kind = K_PYFLOAT;
  } else if (PyType_IsSubtype(t, &PyComplex_Type)) {
    kind = K_PYCOMPLEX;
  } else {
    Ref fraction = real_class("fractions", "Fraction");
    if (subclass_of(t, fraction)) {
      bits |= T_FRACTION_CLASS;
      if (reinterpret_cast<PyObject*>(t) == fraction.get()) bits |= T_STD_FRACTION;
      // In arithmetic, the class or a subclass keeping its name.
      if (name_is(t, "Fraction")) kind = K_FRACTION;
    } else if (name_is(t, "Fraction")) {
      bits |= T_FRACTION_NAME;
    }
    if (kind == K_UNKNOWN) {
      kind = (bits & P_MPC) ? K_HAS_MPC : (bits & P_MPFR) ? K_HAS_MPFR : (bits & P_MPQ) ? K_HAS_MPQ
           : (bits & P_MPZ) ? K_HAS_MPZ : K_UNKNOWN;
    }
  }
  for (const char* module : {"decimal", "_decimal", "_pydecimal"})
    if (subclass_of(t, real_class(module, "Decimal"))) bits |= T_DECIMAL;
  return TypeInfo{static_cast<uint8_t>(kind), static_cast<uint16_t>(bits)};
}

// An integer attribute of o (an int, an mpz or xmpz, or of a type offering
// __mpz__; judged by type alone, so that a part that is itself such an
// object cannot send the probe round in circles). Errors of the probe count
// as absence.
bool int_attr(PyObject* o, const char* name) noexcept {
  Ref v = Ref::steal(PyObject_GetAttrString(o, name));
  if (!v) {
    PyErr_Clear();
    return false;
  }
  PyObject* p = v.get();
  if (PyLong_Check(p) || is_mpz(p) || is_xmpz(p)) return true;
  return is_integer_kind(type_info(Py_TYPE(p)).kind);
}

}  // namespace

TypeInfo type_info(PyTypeObject* t) noexcept {
  Entry& e = entry_of(t);
  unsigned int tag = compat::type_tag(t);
  if (e.type == t && e.tag == tag && tag != 0) return e.info;
  // Learnt between two readings of the tag: a change to the type meanwhile
  // leaves the entry unused.
  if (!tag) {
    Ref any = Ref::steal(PyUnicode_InternFromString("__mpz__"));
    if (any)
      compat::type_tag_assign(t, any.get());
    else
      PyErr_Clear();
    tag = compat::type_tag(t);
  }
  TypeInfo info = learn(t);
  if (tag != 0 && tag == compat::type_tag(t)) e = Entry{t, tag, info};
  return info;
}

int classify_foreign(PyObject* o) noexcept {
  TypeInfo info = type_info(Py_TYPE(o));
  if ((info.bits & T_FRACTION_NAME) && int_attr(o, "numerator") && int_attr(o, "denominator")) return K_FRACTION;
  const int k = info.kind;
  if ((info.bits & T_PROBE) && (k == K_HAS_MPZ || k == K_HAS_MPQ || k == K_HAS_MPFR || k == K_HAS_MPC)) {
    // The widest method the instance really offers.
    static constexpr struct { Proto bit; int kind; } order[] = {
        {P_MPC, K_HAS_MPC}, {P_MPFR, K_HAS_MPFR}, {P_MPQ, K_HAS_MPQ}, {P_MPZ, K_HAS_MPZ}};
    for (const auto& p : order)
      if ((info.bits & p.bit) && offers(o, p.bit)) return p.kind;
    return K_UNKNOWN;
  }
  return info.kind;
}

bool is_fraction_value(PyObject* o) noexcept {
  TypeInfo info = type_info(Py_TYPE(o));
  if (info.kind == K_FRACTION) return true;
  return (info.bits & T_FRACTION_NAME) && int_attr(o, "numerator") && int_attr(o, "denominator");
}

bool must_propagate() noexcept {
  if (!PyErr_Occurred()) return false;  // nothing raised: the caller gives its own error
  return !PyErr_ExceptionMatches(PyExc_Exception) || PyErr_ExceptionMatches(PyExc_MemoryError) ||
         PyErr_ExceptionMatches(PyExc_RecursionError);
}

PyObject* call_special(PyObject* o, Proto p) noexcept {
  PyTypeObject* t = Py_TYPE(o);
  Ref name = Ref::steal(PyUnicode_InternFromString(proto_name(p)));
  if (!name) return nullptr;
  Ref f = Ref::steal(compat::type_lookup_ref(t, name.get()));
  if (!f) {
    PyErr_Format(PyExc_AttributeError, "'%.200s' object has no attribute '%U'", t->tp_name, name.get());
    return nullptr;
  }
  if (PyFunction_Check(f.get())) return PyObject_CallOneArg(f.get(), o);
  descrgetfunc get = Py_TYPE(f.get())->tp_descr_get;
  if (!get) return PyObject_CallNoArgs(f.get());
  Ref bound = Ref::steal(get(f.get(), o, reinterpret_cast<PyObject*>(t)));
  if (!bound) return nullptr;
  return PyObject_CallNoArgs(bound.get());
}

PyObject* call_protocol(PyObject* o, Proto p) noexcept {
  static PyTypeObject* const wanted[] = {&MPZ_Type, &MPQ_Type, &MPFR_Type, &MPC_Type};
  PyTypeObject* type = wanted[p == P_MPZ ? 0 : p == P_MPQ ? 1 : p == P_MPFR ? 2 : 3];
  PyObject* r = call_special(o, p);
  if (!r) {
    if (!must_propagate()) PyErr_Clear();
    return nullptr;
  }
  if (Py_TYPE(r) != type) {
    Py_DECREF(r);
    return nullptr;
  }
  return r;
}

}  // namespace vx
