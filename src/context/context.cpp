// The context type: construction, keyword application, attributes,
// copy, clear_flags and the printed form.
#include "context/context.h"
#include "core/registry.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <climits>
#include <iterator>
#include <string>
#include <string_view>

#include "context/conditions.h"
#include "context/context_impl.h"
#include "core/args.h"
#include "core/errors.h"
#include "core/ref.h"

namespace vx {

CTXT_Object* context_new(const ContextRecord* from) noexcept {
  CTXT_Object* c = PyObject_GC_New(CTXT_Object, &CTXT_Type);
  if (!c) return nullptr;
  c->ctx = from ? *from : ContextRecord{};
  c->tokens = nullptr;
  PyObject_GC_Track(c);
  return c;
}

namespace {

// A context entered while current and never left holds a token that holds
// the context: the cycle collector must be able to see and break that.
void context_dealloc(PyObject* self) {
  PyObject_GC_UnTrack(self);
  Py_CLEAR(reinterpret_cast<CTXT_Object*>(self)->tokens);
  PyObject_GC_Del(self);
}

int context_traverse(PyObject* self, visitproc visit, void* arg) {
  Py_VISIT(reinterpret_cast<CTXT_Object*>(self)->tokens);
  return 0;
}

int context_clear(PyObject* self) {
  Py_CLEAR(reinterpret_cast<CTXT_Object*>(self)->tokens);
  return 0;
}

inline ContextRecord& rec(PyObject* self) { return reinterpret_cast<CTXT_Object*>(self)->ctx; }

}  // namespace

// ---- the field table ----
//
// Every setting of a context is a row: the numeric ones (precision,
// exponent range, roundings), the switches, and the flags and traps of the
// condition table. Attribute setters, keyword arguments and the printed
// form all read these rows, so their names and messages cannot drift apart.

namespace {

inline bool prec_valid(long long p) { return p >= 1 && p <= PREC_MAX; }
inline bool prec_or_default(long long p) { return p == -1 || prec_valid(p); }

std::string show_prec(mpfr_prec_t p) { return p == -1 ? std::string("Default") : std::to_string(p); }

const char* round_name(long long r) {
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

// Away-from-zero rounding has no complex counterpart: both parts round to nearest.
void settle_rounds(ContextRecord& c) {
  if (c.round == RoundAwayZero) c.real_round = c.imag_round = RoundToNearest;
}

enum class Shown { Number, Prec, Round };

struct NumField {
  const char* name;
  long long (*get)(const ContextRecord&);   // what the attribute reads (Default resolved)
  long long (*raw)(const ContextRecord&);   // what is stored
  void (*put)(ContextRecord&, long long);   // stores an accepted value
  bool (*ok)(long long v, bool keyword);    // keywords may also say Default (-1) where it exists
  void (*after)(ContextRecord&);            // run after the attribute is set
  const char* type_msg;                     // TypeError of the attribute
  const char* attr_msg;                     // ValueError of the attribute
  const char* kw_msg;                       // ValueError of the keyword
  bool kw_int;                              // the keyword value must fit a C int
  int kw_rank;                              // the order keyword values are checked in
  bool line_end;                            // printed form: a new line follows
  Shown shown;                              // printed form of the stored value
};

// clang-format off
constexpr NumField NUM_FIELDS[] = {
    {"precision", [](const ContextRecord& c) -> long long { return c.precision; },
     [](const ContextRecord& c) -> long long { return c.precision; },
     [](ContextRecord& c, long long v) { c.precision = v; },
     [](long long v, bool) { return prec_valid(v); }, nullptr,
     "precision must be Python integer", "invalid value for precision", "invalid value for precision", false, 0, false, Shown::Number},
    {"real_prec", [](const ContextRecord& c) -> long long { return real_prec(c); },
     [](const ContextRecord& c) -> long long { return c.real_prec; },
     [](ContextRecord& c, long long v) { c.real_prec = v; },
     [](long long v, bool kw) { return kw ? prec_or_default(v) : prec_valid(v); }, nullptr,
     "real_prec must be Python integer", "invalid value for real_prec", "invalid value for real_prec", false, 1, false, Shown::Prec},
    {"imag_prec", [](const ContextRecord& c) -> long long { return imag_prec(c); },
     [](const ContextRecord& c) -> long long { return c.imag_prec; },
     [](ContextRecord& c, long long v) { c.imag_prec = v; },
     [](long long v, bool kw) { return kw ? prec_or_default(v) : prec_valid(v); }, nullptr,
     "imag_prec must be Python integer", "invalid value for imag_prec", "invalid value for imag_prec", false, 2, true, Shown::Prec},
    {"round", [](const ContextRecord& c) -> long long { return c.round; },
     [](const ContextRecord& c) -> long long { return c.round; },
     [](ContextRecord& c, long long v) { c.round = static_cast<int>(v); },
     [](long long v, bool) { return v >= 0 && v <= 4; }, settle_rounds,
     "round mode must be Python integer", "invalid value for round mode", "invalid value for round", true, 3, false, Shown::Round},
    {"real_round", [](const ContextRecord& c) -> long long { return real_round(c); },
     [](const ContextRecord& c) -> long long { return c.real_round; },
     [](ContextRecord& c, long long v) { c.real_round = static_cast<int>(v); },
     [](long long v, bool) { return v >= -1 && v <= 3; }, nullptr,
     "round mode must be Python integer", "invalid value for round mode", "invalid value for real_round", true, 4, false, Shown::Round},
    {"imag_round", [](const ContextRecord& c) -> long long { return imag_round(c); },
     [](const ContextRecord& c) -> long long { return c.imag_round; },
     [](ContextRecord& c, long long v) { c.imag_round = static_cast<int>(v); },
     [](long long v, bool) { return v >= -1 && v <= 3; }, nullptr,
     "round mode must be Python integer", "invalid value for round mode", "invalid value for imag_round", true, 5, true, Shown::Round},
    {"emax", [](const ContextRecord& c) -> long long { return c.emax; },
     [](const ContextRecord& c) -> long long { return c.emax; },
     [](ContextRecord& c, long long v) { c.emax = v; },
     [](long long v, bool) { return v >= mpfr_get_emax_min() && v <= mpfr_get_emax_max(); }, nullptr,
     "emax must be Python integer", "requested maximum exponent is invalid", "invalid value for emax", false, 7, false, Shown::Number},
    {"emin", [](const ContextRecord& c) -> long long { return c.emin; },
     [](const ContextRecord& c) -> long long { return c.emin; },
     [](ContextRecord& c, long long v) { c.emin = v; },
     [](long long v, bool) { return v >= mpfr_get_emin_min() && v <= mpfr_get_emin_max(); }, nullptr,
     "emin must be Python integer", "requested minimum exponent is invalid", "invalid value for emin", false, 6, true, Shown::Number},
};
// clang-format on
constexpr size_t N_NUM = std::size(NUM_FIELDS);

// The boolean switches; the first is printed before the conditions, the
// others after them.
struct Switch {
  const char* name;
  int ContextRecord::*member;
  const char* msg;
};
constexpr Switch SWITCHES[] = {
    {"subnormalize", &ContextRecord::subnormalize, "subnormalize must be True or False"},
    {"allow_complex", &ContextRecord::allow_complex, "allow_complex must be True or False"},
    {"rational_division", &ContextRecord::rational_division, "rational_division must be True or False"},
    {"allow_release_gil", &ContextRecord::allow_release_gil, "allow_release_gil must be True or False"},
};

// Reads a Python int: TypeError `type_msg` for a non-int, ValueError
// `range_msg` when the value is beyond 64 bits.
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

bool read_bool(PyObject* v, const char* msg, bool& out) {
  if (!v || !PyBool_Check(v)) {
    type_error(msg);
    return false;
  }
  out = v == Py_True;
  return true;
}

// What a numeric setting accepts, as the notes of its errors say.
const char* accepted(const NumField& f, bool keyword) {
  const std::string_view n = f.name;
  if (n == "precision") return "an integer from 1 to 9223372036854775551";
  if (n == "real_prec" || n == "imag_prec")
    return keyword ? "Default (-1) or an integer from 1 to 9223372036854775551"
                   : "an integer from 1 to 9223372036854775551";
  if (n == "round") return "a rounding mode: RoundToNearest (0), RoundToZero (1), RoundUp (2), RoundDown (3) "
                           "or RoundAwayZero (4)";
  if (n == "real_round" || n == "imag_round")
    return "Default (-1) or a rounding mode: RoundToNearest (0), RoundToZero (1), RoundUp (2) or RoundDown (3)";
  return nullptr;  // the exponents: their range is MPFR's
}

// Notes the accepted values of a numeric setting and the value given (a
// Python object, or else the number v).
void note_accepted(const NumField& f, bool keyword, PyObject* given, long long v = 0) {
  Ref what = given ? shown(given) : Ref::steal(PyLong_FromLongLong(v));
  if (!what) return;
  if (const char* acc = accepted(f, keyword)) {
    note_current("%s must be %s; got %S", f.name, acc, what.get());
  } else {
    const bool max = std::string_view(f.name) == "emax";
    note_current("%s must be an integer from %lld to %lld; got %S", f.name,
                 static_cast<long long>(max ? mpfr_get_emax_min() : mpfr_get_emin_min()),
                 static_cast<long long>(max ? mpfr_get_emax_max() : mpfr_get_emin_max()), what.get());
  }
}

// Each setter below stores one row's value on `c` once it is accepted; the
// attribute setters and the keywords share them.
bool set_num_value(ContextRecord& c, const NumField& f, long long v, bool keyword) {
  if (!f.ok(v, keyword)) {
    value_error(keyword ? f.kw_msg : f.attr_msg);
    note_accepted(f, keyword, nullptr, v);
    return false;
  }
  f.put(c, v);
  return true;
}
PyObject* get_num(PyObject* self, void* closure) {
  return PyLong_FromLongLong(static_cast<const NumField*>(closure)->get(rec(self)));
}
int set_num(PyObject* self, PyObject* v, void* closure) {
  auto& f = *static_cast<const NumField*>(closure);
  long long x;
  if (!read_int(v, f.type_msg, f.attr_msg, x)) {
    if (v) note_accepted(f, false, v);
    return -1;
  }
  if (!set_num_value(rec(self), f, x, false)) return -1;
  if (f.after) f.after(rec(self));
  return 0;
}

// The boolean rows: switches, and the flag and the trap of each condition.
bool switch_on(const ContextRecord& c, const Switch& s) { return load_field(c.*s.member) != 0; }
void set_switch_value(ContextRecord& c, const Switch& s, bool on) { store_field(c.*s.member, on ? 1 : 0); }
void set_flag_value(ContextRecord& c, const Condition& k, bool on) { store_field(c.*k.flag, on ? 1 : 0); }
bool trap_on(const ContextRecord& c, const Condition& k) { return trapped(c, k.bit); }
void set_trap_value(ContextRecord& c, const Condition& k, bool on) { set_trap(c, k.bit, on); }

template <class Row, bool (*On)(const ContextRecord&, const Row&)>
PyObject* get_bool(PyObject* self, void* closure) {
  return PyBool_FromLong(On(rec(self), *static_cast<const Row*>(closure)));
}
template <class Row, void (*Set)(ContextRecord&, const Row&, bool), const char* const Row::*Msg>
int set_bool(PyObject* self, PyObject* v, void* closure) {
  auto& row = *static_cast<const Row*>(closure);
  bool on;
  if (!read_bool(v, row.*Msg, on)) {
    if (v) note_current("got %U", shown(v).get());
    return -1;
  }
  Set(rec(self), row, on);
  return 0;
}

// The precision in decimal digits (see digits_to_bits below).
long long bits_to_digits(long long p);
long long digits_to_bits(long long d);
bool digits_valid(long long d);
void note_digits(PyObject* given);
PyObject* get_digits(PyObject* self, void*) { return PyLong_FromLongLong(bits_to_digits(rec(self).precision)); }
int set_digits(PyObject* self, PyObject* v, void*) {
  long long d;
  if (!read_int(v, "digits must be Python integer", "invalid value for digits", d) || !digits_valid(d)) {
    if (!PyErr_Occurred()) value_error("invalid value for digits");
    if (v) note_digits(v);
    return -1;
  }
  rec(self).precision = digits_to_bits(d);
  return 0;
}

constexpr void* cl(const void* p) { return const_cast<void*>(p); }

constexpr size_t N_GETSET = N_NUM + std::size(SWITCHES) + 2 * N_CONDITIONS + 2;

constexpr std::array<PyGetSetDef, N_GETSET> build_getset() {
  std::array<PyGetSetDef, N_GETSET> a{};
  size_t i = 0;
  for (const NumField& f : NUM_FIELDS) a[i++] = {f.name, get_num, set_num, nullptr, cl(&f)};
  for (const Switch& s : SWITCHES)
    a[i++] = {s.name, get_bool<Switch, switch_on>, set_bool<Switch, set_switch_value, &Switch::msg>, nullptr, cl(&s)};
  for (const Condition& k : CONDITIONS)
    a[i++] = {k.flag_name, get_bool<Condition, flag_set>, set_bool<Condition, set_flag_value, &Condition::flag_msg>,
              nullptr, cl(&k)};
  for (const Condition& k : CONDITIONS)
    a[i++] = {k.trap_name, get_bool<Condition, trap_on>, set_bool<Condition, set_trap_value, &Condition::trap_msg>,
              nullptr, cl(&k)};
  a[i++] = {"digits", get_digits, set_digits,
            "The precision in decimal digits: setting d gives round((d + 1) * log2(10)) bits\n"
            "(15 digits are 53 bits); reading gives the digits that map back to the precision.",
            nullptr};
  a[i] = {nullptr, nullptr, nullptr, nullptr, nullptr};
  return a;
}

constinit std::array<PyGetSetDef, N_GETSET> context_getset = build_getset();

// A keyword value read as the argument parser's "l" or "i" would.
bool read_keyword_int(PyObject* v, bool c_int, long long& out) {
  out = PyLong_AsLongLong(v);
  if (out == -1 && PyErr_Occurred()) return false;
  return !c_int || (out >= INT_MIN && out <= INT_MAX);
}

// Decimal digits and bits of precision, both ways: digits d need
// round((d + 1) * log2(10)) bits, and a precision p gives the d that maps
// back to it (53 bits are 15 digits, as for float).
constexpr long double LOG2_10 = 3.321928094887362347870319429489390175864831393L;
constexpr long long DIGITS_MAX = 1000000000000000000LL;
long long digits_to_bits(long long d) { return std::llround(static_cast<long double>(d + 1) * LOG2_10); }
long long bits_to_digits(long long p) { return std::max(1LL, std::llround(static_cast<long double>(p) / LOG2_10) - 1); }
bool digits_valid(long long d) { return d >= 1 && d <= DIGITS_MAX; }
void note_digits(PyObject* given) { note_current("digits must be an integer from 1 to 10**18; got %U", shown(given).get()); }

// What the keywords of one call said beyond the record's fields.
struct Given {
  bool precision = false;
  PyObject* digits = nullptr;  // borrowed from the keyword dictionary
};

enum class Kw { stored, unknown, bad_value };

// Stores one keyword, unchecked for range; says whether it names no
// setting or its value is not an integer.
Kw store_keyword(ContextRecord& c, PyObject* key, PyObject* value, Given& given) {
  if (!PyUnicode_Check(key)) return Kw::unknown;
  auto is = [key](const char* name) { return PyUnicode_CompareWithASCIIString(key, name) == 0; };
  long long x;
  for (const NumField& f : NUM_FIELDS) {
    if (!is(f.name)) continue;
    if (!read_keyword_int(value, f.kw_int, x)) return Kw::bad_value;
    f.put(c, x);
    if (&f == &NUM_FIELDS[0]) given.precision = true;
    return Kw::stored;
  }
  for (const Switch& s : SWITCHES) {
    if (!is(s.name)) continue;
    if (!read_keyword_int(value, true, x)) return Kw::bad_value;
    set_switch_value(c, s, x != 0);
    return Kw::stored;
  }
  for (const Condition& k : CONDITIONS) {
    if (!is(k.trap_name)) continue;
    if (!read_keyword_int(value, true, x)) return Kw::bad_value;
    set_trap_value(c, k, x != 0);
    return Kw::stored;
  }
  if (is("digits")) {
    if (!read_keyword_int(value, false, x)) return Kw::bad_value;
    given.digits = value;
    return Kw::stored;
  }
  return Kw::unknown;
}

// The note of a keyword that failed: the closest valid keyword to an
// unknown one, or what the keyword accepts and the value given.
void note_keyword(PyObject* key, PyObject* value, Kw why) {
  if (!PyUnicode_Check(key)) return;
  auto is = [key](const char* name) { return PyUnicode_CompareWithASCIIString(key, name) == 0; };
  if (why == Kw::unknown) {
    const char* names[N_NUM + std::size(SWITCHES) + N_CONDITIONS + 1];
    Py_ssize_t n = 0;
    for (const NumField& f : NUM_FIELDS) names[n++] = f.name;
    for (const Switch& s : SWITCHES) names[n++] = s.name;
    for (const Condition& k : CONDITIONS) names[n++] = k.trap_name;
    names[n++] = "digits";
    if (const char* best = closest_name(key, names, n))
      note_current("unknown keyword %R; did you mean '%s'?", key, best);
    else
      note_current("unknown keyword %R", key);
    return;
  }
  for (const NumField& f : NUM_FIELDS)
    if (is(f.name)) return note_accepted(f, true, value);
  if (is("digits")) return note_digits(value);
  note_current("%U takes True or False; got %U", key, shown(value).get());
}

}  // namespace

int context_apply_kwargs(CTXT_Object* self, PyObject* kwargs) noexcept {
  ContextRecord& c = self->ctx;
  // Every keyword is read first (a malformed one is reported before any
  // value's range), then the numeric settings are checked in their order.
  PyObject *key, *value;
  Py_ssize_t pos = 0;
  Given given;
  while (PyDict_Next(kwargs, &pos, &key, &value)) {
    const Kw got = store_keyword(c, key, value, given);
    if (got != Kw::stored) {
      PyErr_Clear();
      value_error("invalid keyword arguments for context");
      note_keyword(key, value, got);
      return -1;
    }
  }
  if (given.digits) {
    const long long d = PyLong_AsLongLong(given.digits);
    if (given.precision) {
      value_error("invalid keyword arguments for context");
      return note_current("give precision or digits, not both");
    }
    if (!digits_valid(d)) {
      value_error("invalid value for digits");
      note_digits(given.digits);
      return -1;
    }
    c.precision = digits_to_bits(d);
  }
  settle_rounds(c);
  for (int rank = 0; rank < static_cast<int>(N_NUM); ++rank)
    for (const NumField& f : NUM_FIELDS)
      if (f.kw_rank == rank && !set_num_value(c, f, f.raw(c), true)) return -1;
  if (range_empty(c)) return value_error(EMPTY_RANGE);
  return 0;
}

namespace {

// ---- printed form ----

PyObject* context_repr(PyObject* self) {
  const ContextRecord& c = rec(self);
  auto b = [](bool v) { return v ? "True" : "False"; };
  const char* nl = "\n        ";
  std::string s;
  s.reserve(600);
  s += "context(";
  for (const NumField& f : NUM_FIELDS) {
    s += f.name;
    s += '=';
    const long long v = f.raw(c);
    s += f.shown == Shown::Round ? round_name(v) : f.shown == Shown::Prec ? show_prec(v) : std::to_string(v);
    s += ",";
    s += f.line_end ? nl : " ";
  }
  auto line = [&](const char* name, bool v, bool last = false) {
    s += name;
    s += '=';
    s += b(v);
    s += last ? ")" : ",";
  };
  line(SWITCHES[0].name, switch_on(c, SWITCHES[0]));
  for (const Condition& k : CONDITIONS) {
    s += nl;
    line(k.trap_name, trap_on(c, k));
    s += ' ';
    line(k.flag_name, flag_set(c, k));
  }
  for (size_t i = 1; i < std::size(SWITCHES); ++i) {
    s += nl;
    line(SWITCHES[i].name, switch_on(c, SWITCHES[i]), i + 1 == std::size(SWITCHES));
  }
  PyObject* r = PyUnicode_FromStringAndSize(s.data(), static_cast<Py_ssize_t>(s.size()));
  if (!r) {
    if (PyErr_ExceptionMatches(PyExc_MemoryError)) return nullptr;
    PyErr_Clear();
    return system_error("internal error in Vexa_CTXT_Repr");
  }
  return r;
}

}  // namespace

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

// ---- methods ----

PyObject* context_copy(PyObject* self, PyObject*) {
  return reinterpret_cast<PyObject*>(context_new(&rec(self)));
}

PyObject* context_clear_flags(PyObject* self, PyObject*) {
  clear_flags(rec(self));
  Py_RETURN_NONE;
}

PyDoc_STRVAR(context_doc,
             "context(**kwargs)\n"
             "context(ctx, /, **kwargs)\n\n"
             "Return a new context for controlling vexa2 arithmetic, with default settings\n"
             "or copying ctx, then applying the keyword arguments.");


const FnDef context_own_methods[] = {
    noargs("copy", context_copy, IN_CONTEXT, "Return a copy of a context.").typed("/", "context"),
    noargs("clear_flags", context_clear_flags, IN_CONTEXT, "Clear all sticky flags of the context.") .typed("/", "None"),
    noargs("__enter__", context_enter, IN_CONTEXT, "Make a copy of the context current; return the copy.").typed("/", "context"),
    fast("__exit__", context_exit, IN_CONTEXT, "Restore the context that was current before __enter__.") .typed("/, *args: Any", "None"),
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
    Py_TPFLAGS_DEFAULT | Py_TPFLAGS_HAVE_GC,  // tp_flags
    context_doc,        // tp_doc
    context_traverse,   // tp_traverse
    context_clear,      // tp_clear
    nullptr,            // tp_richcompare
    0,                  // tp_weaklistoffset
    nullptr,            // tp_iter
    nullptr,            // tp_iternext
    nullptr,            // tp_methods (set at import)
    nullptr,            // tp_members
    context_getset.data(),  // tp_getset
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
