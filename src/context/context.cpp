// The context type: construction, keyword application, attributes,
// copy, clear_flags and the printed form.
#include "context/context.h"
#include "core/registry.h"

#include <string>

#include "context/context_impl.h"
#include "core/args.h"
#include "core/errors.h"
#include "core/ref.h"

namespace vx {

CTXT_Object* context_new(const ContextRecord* from) noexcept {
  CTXT_Object* c = PyObject_New(CTXT_Object, &CTXT_Type);
  if (!c) return nullptr;
  c->ctx = from ? *from : ContextRecord{};
  c->tokens = nullptr;
  return c;
}

namespace {

void context_dealloc(PyObject* self) {
  Py_XDECREF(reinterpret_cast<CTXT_Object*>(self)->tokens);
  PyObject_Free(self);
}

inline ContextRecord& rec(PyObject* self) { return reinterpret_cast<CTXT_Object*>(self)->ctx; }

inline bool prec_valid(long long p) { return p >= 1 && p <= PREC_MAX; }

}  // namespace

int context_apply_kwargs(CTXT_Object* self, PyObject* kwargs) noexcept {
  static const char* kwlist[] = {"precision",      "real_prec",     "imag_prec",     "round",
                                 "real_round",     "imag_round",    "emax",          "emin",
                                 "subnormalize",   "trap_underflow", "trap_overflow", "trap_inexact",
                                 "trap_invalid",   "trap_erange",   "trap_divzero",  "allow_complex",
                                 "rational_division", "allow_release_gil", nullptr};
  ContextRecord& c = self->ctx;
  int t_under = (c.traps & TRAP_UNDERFLOW) != 0, t_over = (c.traps & TRAP_OVERFLOW) != 0,
      t_inex = (c.traps & TRAP_INEXACT) != 0, t_inv = (c.traps & TRAP_INVALID) != 0,
      t_erange = (c.traps & TRAP_ERANGE) != 0, t_div = (c.traps & TRAP_DIVZERO) != 0;
  long precision = c.precision, real_prec = c.real_prec, imag_prec = c.imag_prec;
  long emax = c.emax, emin = c.emin;

  Ref empty = Ref::steal(PyTuple_New(0));
  if (!empty) return -1;
  if (!PyArg_ParseTupleAndKeywords(empty.get(), kwargs, "|llliiilliiiiiiiiii", const_cast<char**>(kwlist),
                                   &precision, &real_prec, &imag_prec, &c.round, &c.real_round,
                                   &c.imag_round, &emax, &emin, &c.subnormalize, &t_under, &t_over, &t_inex,
                                   &t_inv, &t_erange, &t_div, &c.allow_complex, &c.rational_division,
                                   &c.allow_release_gil)) {
    PyErr_Clear();
    return value_error("invalid keyword arguments for context");
  }
  c.precision = precision;
  c.real_prec = real_prec;
  c.imag_prec = imag_prec;
  c.emax = emax;
  c.emin = emin;
  c.traps = (t_under ? TRAP_UNDERFLOW : 0) | (t_over ? TRAP_OVERFLOW : 0) | (t_inex ? TRAP_INEXACT : 0) |
            (t_inv ? TRAP_INVALID : 0) | (t_erange ? TRAP_ERANGE : 0) | (t_div ? TRAP_DIVZERO : 0);
  if (c.subnormalize) c.subnormalize = 1;

  if (!prec_valid(c.precision)) return value_error("invalid value for precision");
  if (c.real_prec != -1 && !prec_valid(c.real_prec)) return value_error("invalid value for real_prec");
  if (c.imag_prec != -1 && !prec_valid(c.imag_prec)) return value_error("invalid value for imag_prec");
  if (c.round < 0 || c.round > 4) return value_error("invalid value for round");
  if (c.round == RoundAwayZero) {
    c.real_round = c.imag_round = RoundToNearest;
  } else {
    if (c.real_round < -1 || c.real_round > 3) return value_error("invalid value for real_round");
    if (c.imag_round < -1 || c.imag_round > 3) return value_error("invalid value for imag_round");
  }
  if (c.emin < mpfr_get_emin_min() || c.emin > mpfr_get_emin_max()) return value_error("invalid value for emin");
  if (c.emax < mpfr_get_emax_min() || c.emax > mpfr_get_emax_max()) return value_error("invalid value for emax");
  return 0;
}

namespace {

PyObject* context_tp_new(PyTypeObject*, PyObject* args, PyObject* kwargs) {
  const ContextRecord* from = nullptr;
  Py_ssize_t n = PyTuple_GET_SIZE(args);
  if (n == 1 && is_context(PyTuple_GET_ITEM(args, 0))) {
    from = &rec(PyTuple_GET_ITEM(args, 0));
  } else if (n != 0) {
    return value_error("context() only supports [[context][,keyword]] arguments");
  }
  Own<CTXT_Object> c(context_new(from));
  if (!c) return nullptr;
  if (kwargs && context_apply_kwargs(c.get(), kwargs) < 0) return nullptr;
  return c.release();
}

// ---- printed form ----

const char* round_name(int r) {
  switch (r) {
    case RoundDefault: return "Default";
    case RoundToNearest: return "RoundToNearest";
    case RoundToZero: return "RoundToZero";
    case RoundUp: return "RoundUp";
    case RoundDown: return "RoundDown";
    case RoundAwayZero: return "RoundAwayZero";
    default: return "?";
  }
}

PyObject* context_repr(PyObject* self) {
  const ContextRecord& c = rec(self);
  auto b = [](int v) { return v ? "True" : "False"; };
  auto prec = [](mpfr_prec_t p) { return p == -1 ? std::string("Default") : std::to_string(p); };
  auto t = [&](int bit) { return b(c.traps & bit); };
  std::string s;
  s.reserve(600);
  const char* nl = "\n        ";
  s += "context(precision=" + std::to_string(c.precision) + ", real_prec=" + prec(c.real_prec) +
       ", imag_prec=" + prec(c.imag_prec) + ",";
  s += nl + std::string("round=") + round_name(c.round) + ", real_round=" + round_name(c.real_round) +
       ", imag_round=" + round_name(c.imag_round) + ",";
  s += nl + std::string("emax=") + std::to_string(c.emax) + ", emin=" + std::to_string(c.emin) + ",";
  s += nl + std::string("subnormalize=") + b(c.subnormalize) + ",";
  s += nl + std::string("trap_underflow=") + t(TRAP_UNDERFLOW) + ", underflow=" + b(c.underflow) + ",";
  s += nl + std::string("trap_overflow=") + t(TRAP_OVERFLOW) + ", overflow=" + b(c.overflow) + ",";
  s += nl + std::string("trap_inexact=") + t(TRAP_INEXACT) + ", inexact=" + b(c.inexact) + ",";
  s += nl + std::string("trap_invalid=") + t(TRAP_INVALID) + ", invalid=" + b(c.invalid) + ",";
  s += nl + std::string("trap_erange=") + t(TRAP_ERANGE) + ", erange=" + b(c.erange) + ",";
  s += nl + std::string("trap_divzero=") + t(TRAP_DIVZERO) + ", divzero=" + b(c.divzero) + ",";
  s += nl + std::string("allow_complex=") + b(c.allow_complex) + ",";
  s += nl + std::string("rational_division=") + b(c.rational_division) + ",";
  s += nl + std::string("allow_release_gil=") + b(c.allow_release_gil) + ")";
  PyObject* r = PyUnicode_FromStringAndSize(s.data(), static_cast<Py_ssize_t>(s.size()));
  if (!r) {
    PyErr_Clear();
    return system_error("internal error in Vexa_CTXT_Repr");
  }
  return r;
}

// ---- attributes ----

// Reads a Python int for a setter: TypeError `type_msg` for a non-int,
// ValueError `range_msg` when the value is beyond 64 bits.
bool read_int(PyObject* v, const char* type_msg, const char* range_msg, long long& out) {
  if (!v || !PyLong_Check(v)) {
    type_error(type_msg);
    return false;
  }
  out = PyLong_AsLongLong(v);
  if (out == -1 && PyErr_Occurred()) {
    PyErr_Clear();
    value_error(range_msg);
    return false;
  }
  return true;
}

bool read_bool(PyObject* v, const char* msg, int& out) {
  if (!v || !PyBool_Check(v)) {
    type_error(msg);
    return false;
  }
  out = v == Py_True;
  return true;
}

PyObject* get_precision(PyObject* self, void*) { return PyLong_FromLongLong(rec(self).precision); }
int set_precision(PyObject* self, PyObject* v, void*) {
  long long x;
  if (!read_int(v, "precision must be Python integer", "invalid value for precision", x)) return -1;
  if (!prec_valid(x)) return value_error("invalid value for precision");
  rec(self).precision = x;
  return 0;
}

PyObject* get_real_prec(PyObject* self, void*) { return PyLong_FromLongLong(real_prec(rec(self))); }
int set_real_prec(PyObject* self, PyObject* v, void*) {
  long long x;
  if (!read_int(v, "real_prec must be Python integer", "invalid value for real_prec", x)) return -1;
  if (!prec_valid(x)) return value_error("invalid value for real_prec");
  rec(self).real_prec = x;
  return 0;
}

PyObject* get_imag_prec(PyObject* self, void*) { return PyLong_FromLongLong(imag_prec(rec(self))); }
int set_imag_prec(PyObject* self, PyObject* v, void*) {
  long long x;
  if (!read_int(v, "imag_prec must be Python integer", "invalid value for imag_prec", x)) return -1;
  if (!prec_valid(x)) return value_error("invalid value for imag_prec");
  rec(self).imag_prec = x;
  return 0;
}

bool read_round(PyObject* v, long long lo, long long hi, int& out) {
  long long x;
  if (!read_int(v, "round mode must be Python integer", "invalid value for round mode", x)) return false;
  if (x < lo || x > hi) {
    value_error("invalid value for round mode");
    return false;
  }
  out = static_cast<int>(x);
  return true;
}

PyObject* get_round(PyObject* self, void*) { return PyLong_FromLong(rec(self).round); }
int set_round(PyObject* self, PyObject* v, void*) {
  int x;
  if (!read_round(v, 0, 4, x)) return -1;
  ContextRecord& c = rec(self);
  c.round = x;
  if (x == RoundAwayZero) c.real_round = c.imag_round = RoundToNearest;
  return 0;
}

PyObject* get_real_round(PyObject* self, void*) { return PyLong_FromLong(real_round(rec(self))); }
int set_real_round(PyObject* self, PyObject* v, void*) {
  int x;
  if (!read_round(v, -1, 3, x)) return -1;
  rec(self).real_round = x;
  return 0;
}

PyObject* get_imag_round(PyObject* self, void*) { return PyLong_FromLong(imag_round(rec(self))); }
int set_imag_round(PyObject* self, PyObject* v, void*) {
  int x;
  if (!read_round(v, -1, 3, x)) return -1;
  rec(self).imag_round = x;
  return 0;
}

PyObject* get_emax(PyObject* self, void*) { return PyLong_FromLongLong(rec(self).emax); }
int set_emax(PyObject* self, PyObject* v, void*) {
  long long x;
  if (!read_int(v, "emax must be Python integer", "requested maximum exponent is invalid", x)) return -1;
  if (x < mpfr_get_emax_min() || x > mpfr_get_emax_max())
    return value_error("requested maximum exponent is invalid");
  rec(self).emax = x;
  return 0;
}

PyObject* get_emin(PyObject* self, void*) { return PyLong_FromLongLong(rec(self).emin); }
int set_emin(PyObject* self, PyObject* v, void*) {
  long long x;
  if (!read_int(v, "emin must be Python integer", "requested minimum exponent is invalid", x)) return -1;
  if (x < mpfr_get_emin_min() || x > mpfr_get_emin_max())
    return value_error("requested minimum exponent is invalid");
  rec(self).emin = x;
  return 0;
}

// The boolean fields: flags, switches and subnormalize, described by offset.
struct BoolField {
  size_t offset;
  const char* msg;
};
#define VX_BOOL_FIELD(name) \
  BoolField { offsetof(ContextRecord, name), #name " must be True or False" }
const BoolField bool_fields[] = {
    VX_BOOL_FIELD(subnormalize), VX_BOOL_FIELD(underflow),     VX_BOOL_FIELD(overflow),
    VX_BOOL_FIELD(inexact),      VX_BOOL_FIELD(invalid),       VX_BOOL_FIELD(erange),
    VX_BOOL_FIELD(divzero),      VX_BOOL_FIELD(allow_complex), VX_BOOL_FIELD(rational_division),
    VX_BOOL_FIELD(allow_release_gil),
};
#undef VX_BOOL_FIELD

inline int& field(PyObject* self, const BoolField* f) {
  return *reinterpret_cast<int*>(reinterpret_cast<char*>(&rec(self)) + f->offset);
}
PyObject* get_bool(PyObject* self, void* closure) {
  return PyBool_FromLong(field(self, static_cast<const BoolField*>(closure)));
}
int set_bool(PyObject* self, PyObject* v, void* closure) {
  auto* f = static_cast<const BoolField*>(closure);
  int x;
  if (!read_bool(v, f->msg, x)) return -1;
  field(self, f) = x;
  return 0;
}

struct TrapField {
  int bit;
  const char* msg;
};
const TrapField trap_fields[] = {
    {TRAP_UNDERFLOW, "trap_underflow must be True or False"}, {TRAP_OVERFLOW, "trap_overflow must be True or False"},
    {TRAP_INEXACT, "trap_inexact must be True or False"},     {TRAP_INVALID, "trap_invalid must be True or False"},
    {TRAP_ERANGE, "trap_erange must be True or False"},       {TRAP_DIVZERO, "trap_divzero must be True or False"},
};
PyObject* get_trap(PyObject* self, void* closure) {
  return PyBool_FromLong(rec(self).traps & static_cast<const TrapField*>(closure)->bit);
}
int set_trap(PyObject* self, PyObject* v, void* closure) {
  auto* f = static_cast<const TrapField*>(closure);
  int x;
  if (!read_bool(v, f->msg, x)) return -1;
  if (x)
    rec(self).traps |= f->bit;
  else
    rec(self).traps &= ~f->bit;
  return 0;
}

void* cl(const void* p) { return const_cast<void*>(p); }

PyGetSetDef context_getset[] = {
    {"precision", get_precision, set_precision, nullptr, nullptr},
    {"real_prec", get_real_prec, set_real_prec, nullptr, nullptr},
    {"imag_prec", get_imag_prec, set_imag_prec, nullptr, nullptr},
    {"round", get_round, set_round, nullptr, nullptr},
    {"real_round", get_real_round, set_real_round, nullptr, nullptr},
    {"imag_round", get_imag_round, set_imag_round, nullptr, nullptr},
    {"emax", get_emax, set_emax, nullptr, nullptr},
    {"emin", get_emin, set_emin, nullptr, nullptr},
    {"subnormalize", get_bool, set_bool, nullptr, cl(&bool_fields[0])},
    {"underflow", get_bool, set_bool, nullptr, cl(&bool_fields[1])},
    {"overflow", get_bool, set_bool, nullptr, cl(&bool_fields[2])},
    {"inexact", get_bool, set_bool, nullptr, cl(&bool_fields[3])},
    {"invalid", get_bool, set_bool, nullptr, cl(&bool_fields[4])},
    {"erange", get_bool, set_bool, nullptr, cl(&bool_fields[5])},
    {"divzero", get_bool, set_bool, nullptr, cl(&bool_fields[6])},
    {"allow_complex", get_bool, set_bool, nullptr, cl(&bool_fields[7])},
    {"rational_division", get_bool, set_bool, nullptr, cl(&bool_fields[8])},
    {"allow_release_gil", get_bool, set_bool, nullptr, cl(&bool_fields[9])},
    {"trap_underflow", get_trap, set_trap, nullptr, cl(&trap_fields[0])},
    {"trap_overflow", get_trap, set_trap, nullptr, cl(&trap_fields[1])},
    {"trap_inexact", get_trap, set_trap, nullptr, cl(&trap_fields[2])},
    {"trap_invalid", get_trap, set_trap, nullptr, cl(&trap_fields[3])},
    {"trap_erange", get_trap, set_trap, nullptr, cl(&trap_fields[4])},
    {"trap_divzero", get_trap, set_trap, nullptr, cl(&trap_fields[5])},
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

// ---- methods ----

PyObject* context_copy(PyObject* self, PyObject*) {
  return reinterpret_cast<PyObject*>(context_new(&rec(self)));
}

PyObject* context_clear_flags(PyObject* self, PyObject*) {
  ContextRecord& c = rec(self);
  c.underflow = c.overflow = c.inexact = c.invalid = c.erange = c.divzero = 0;
  Py_RETURN_NONE;
}

PyDoc_STRVAR(context_doc,
             "context(**kwargs)\n"
             "context(ctx, /, **kwargs)\n\n"
             "Return a new context for controlling vexa2 arithmetic, with default settings\n"
             "or copying ctx, then applying the keyword arguments.");


const FnDef context_own_methods[] = {
    noargs("copy", context_copy, IN_CONTEXT, "copy($self, /)\n--\n\nReturn a copy of a context."),
    noargs("clear_flags", context_clear_flags, IN_CONTEXT, "clear_flags($self, /)\n--\n\nClear all sticky flags of the context."),
    noargs("__enter__", context_enter, IN_CONTEXT,
           "__enter__($self, /)\n--\n\nMake a copy of the context current; return the copy."),
    fast("__exit__", context_exit, IN_CONTEXT,
         "__exit__($self, /, *args)\n--\n\nRestore the context that was current before __enter__."),
};

}  // namespace

PyTypeObject CTXT_Type = {
    PyVarObject_HEAD_INIT(nullptr, 0) "vexa2.context",
    sizeof(CTXT_Object),
    0,
    context_dealloc,
    0,                  // tp_vectorcall_offset
    nullptr,            // tp_getattr
    nullptr,            // tp_setattr
    nullptr,            // tp_as_async
    context_repr,       // tp_repr
    nullptr,            // tp_as_number
    nullptr,            // tp_as_sequence
    nullptr,            // tp_as_mapping
    nullptr,            // tp_hash
    nullptr,            // tp_call
    context_repr,       // tp_str
    nullptr,            // tp_getattro
    nullptr,            // tp_setattro
    nullptr,            // tp_as_buffer
    Py_TPFLAGS_DEFAULT, // tp_flags
    context_doc,        // tp_doc
    nullptr,            // tp_traverse
    nullptr,            // tp_clear
    nullptr,            // tp_richcompare
    0,                  // tp_weaklistoffset
    nullptr,            // tp_iter
    nullptr,            // tp_iternext
    nullptr,            // tp_methods (set at import)
    nullptr,            // tp_members
    context_getset,     // tp_getset
    nullptr,            // tp_base
    nullptr,            // tp_dict
    nullptr,            // tp_descr_get
    nullptr,            // tp_descr_set
    0,                  // tp_dictoffset
    nullptr,            // tp_init
    nullptr,            // tp_alloc
    context_tp_new,     // tp_new
};

VX_UNIT(context_own, context_own_methods)

}  // namespace vx
