// The constructors of the five number types, and the conversions of
// mpz, xmpz and mpq to Python int and float.
//
// Each type is called through vectorcall: a call with one positional
// argument and no keywords goes straight to the conversion, tested by exact
// type first. Keywords, bases, precisions and contexts take the general
// route through the interpreter's argument parser, which also serves
// `T.__new__(T, ...)`.
#include "context/context.h"
#include "convert/classify.h"
#include "convert/int_conv.h"
#include "convert/parse.h"
#include "convert/real_conv.h"
#include "core/errors.h"
#include "core/ref.h"
#include "core/registry.h"

#include <climits>
#include <initializer_list>

namespace vx {

namespace {

// True for the objects the constructors treat as text (str, bytes, subclasses).
inline bool is_text(PyObject* o) noexcept { return PyUnicode_Check(o) || PyBytes_Check(o); }

// The arguments of one constructor call: positional ones in an array, the
// keywords in a dictionary (or none). The tuple the argument parser needs
// is made only when it is asked for.
class CallArgs {
  PyObject* const* pos_;
  Py_ssize_t npos_;
  PyObject* kwds_;   // borrowed, may be nullptr
  PyObject* tuple_;  // borrowed, may be nullptr
  Ref own_tuple_, own_kwds_;

 public:
  CallArgs(PyObject* const* pos, Py_ssize_t npos, PyObject* kwds, PyObject* tuple) noexcept
      : pos_(pos), npos_(npos), kwds_(kwds), tuple_(tuple) {}

  // From a vectorcall: the keyword values follow the positional ones.
  bool set_kwnames(PyObject* kwnames) noexcept {
    if (!kwnames || PyTuple_GET_SIZE(kwnames) == 0) return true;
    own_kwds_ = Ref::steal(PyDict_New());
    if (!own_kwds_) return false;
    for (Py_ssize_t i = 0; i < PyTuple_GET_SIZE(kwnames); ++i)
      if (PyDict_SetItem(own_kwds_.get(), PyTuple_GET_ITEM(kwnames, i), pos_[npos_ + i]) < 0) return false;
    kwds_ = own_kwds_.get();
    return true;
  }

  // The argument at position i or given by keyword kw (borrowed), or nullptr.
  PyObject* arg(Py_ssize_t i, const char* kw) const noexcept {
    if (i < npos_) return pos_[i];
    return kwds_ ? PyDict_GetItemString(kwds_, kw) : nullptr;
  }

  Py_ssize_t npos() const noexcept { return npos_; }
  Py_ssize_t nkw() const noexcept { return kwds_ ? PyDict_GET_SIZE(kwds_) : 0; }
  Py_ssize_t total() const noexcept { return npos_ + nkw(); }
  PyObject* operator[](Py_ssize_t i) const noexcept { return pos_[i]; }

  // PyArg_ParseTupleAndKeywords over these arguments; the first keyword
  // name is "" (positional only).
  template <class... Out>
  bool parse(const char* format, std::initializer_list<const char*> names, Out... out) noexcept {
    if (!tuple_) {
      own_tuple_ = Ref::steal(PyTuple_New(npos_));
      if (!own_tuple_) return false;
      for (Py_ssize_t i = 0; i < npos_; ++i) {
        Py_INCREF(pos_[i]);
        PyTuple_SET_ITEM(own_tuple_.get(), i, pos_[i]);
      }
      tuple_ = own_tuple_.get();
    }
    char* kwlist[8] = {};
    std::size_t k = 0;
    for (const char* n : names) kwlist[k++] = const_cast<char*>(n);
    return PyArg_ParseTupleAndKeywords(tuple_, kwds_, format, kwlist, out...) != 0;
  }
};


// The result of parsing `text`; a text that was refused is noted with its base.
PyObject* parsed(void* r, PyObject* text, int base) noexcept {
  if (!r && (PyErr_ExceptionMatches(PyExc_ValueError) || PyErr_ExceptionMatches(PyExc_ZeroDivisionError))) {
    if (base == 0)
      note_current("the text was %U, read in base 0 (a 0b, 0o or 0x prefix, else 10)", shown(text).get());
    else
      note_current("the text was %U, read in base %d", shown(text).get(), base);
  }
  return obj(r);
}

// After the argument parser refused a constructor's arguments: a precision
// that is not an integer, or one too large for a C long, is reported
// with the constructor's name (the parser's own texts name none).
PyObject* precision_refused(const CallArgs& a, const char* fn) noexcept {
  PyObject* p = a.arg(1, "precision");
  if (!p || (!PyErr_ExceptionMatches(PyExc_TypeError) && !PyErr_ExceptionMatches(PyExc_OverflowError)))
    return nullptr;
  if (!PyIndex_Check(p)) {
    PyErr_Clear();
    PyErr_Format(PyExc_TypeError, "precision for %s() must be an integer", fn);
  } else if (PyErr_ExceptionMatches(PyExc_OverflowError)) {
    PyErr_Clear();
    PyErr_Format(PyExc_OverflowError, "precision for %s() must be at most 9223372036854775551", fn);
  } else {
    return nullptr;
  }
  return note_current("got %U", shown(p).get());
}

// Types known to carry none of the conversion protocol methods.
inline bool is_plain_number(PyObject* x) noexcept {
  PyTypeObject* t = Py_TYPE(x);
  return t == &MPZ_Type || t == &MPFR_Type || t == &MPQ_Type || t == &MPC_Type || t == &XMPZ_Type ||
         t == &PyLong_Type || t == &PyFloat_Type || t == &PyComplex_Type || t == &PyBool_Type;
}

// The argument forms that count as a real number for the constructors.
bool is_real_number(PyObject* x) noexcept {
  if (is_real_kind(classify_argument(x))) return true;
  return !is_mpc(x) && !PyComplex_Check(x) && real_arg(x);
}

// An exact int that fits a C int, read as the argument parser's "i" would.
inline bool fits_c_int(PyObject* o, int& out) noexcept {
  if (!PyLong_CheckExact(o)) return false;
  int overflow = 0;
  long v = PyLong_AsLongAndOverflow(o, &overflow);
  if (overflow || v < INT_MIN || v > INT_MAX) return false;
  out = static_cast<int>(v);
  return true;
}

inline bool base_ok(int base, int hi = 62) noexcept { return base == 0 || (base >= 2 && base <= hi); }

// The result of x.name(), which must be exactly `type`.
PyObject* call_protocol_strict(PyObject* x, Proto p, PyTypeObject* type, const char* tname) noexcept {
  Ref r = Ref::steal(call_special(x, p));
  if (!r) return nullptr;
  if (Py_TYPE(r.get()) != type) {
    PyErr_Format(PyExc_TypeError, "object of type '%.200s' can not be interpreted as %s", Py_TYPE(r.get())->tp_name,
                 tname);
    return nullptr;
  }
  return r.release();
}

// A context argument: exactly a context, or absent (the current one).
bool context_arg(PyObject* o, CTXT_Object*& ctx) noexcept {
  ctx = nullptr;
  if (!o) return true;
  if (!is_context(o)) {
    type_error("context argument is not a valid context");
    return false;
  }
  ctx = reinterpret_cast<CTXT_Object*>(o);
  return true;
}

// ---- mpz and xmpz ----

// The texts of the integer types' constructors.
struct MpzNames {
  using T = MPZ_Object;
  static constexpr const char* base = "base for mpz() must be 0 or in the interval [2, 62]";
  static constexpr const char* one_arg = "mpz() with number argument only takes 1 argument";
  static constexpr const char* need_base = "mpz() requires numeric or string (and optional base) arguments";
  static constexpr const char* need = "mpz() requires numeric or string argument";
  static constexpr const char* wrong_type = "mpz.__new__() requires mpz type";
};
struct XmpzNames {
  using T = XMPZ_Object;
  static constexpr const char* base = "base for xmpz() must be 0 or in the interval [2, 62]";
  static constexpr const char* one_arg = "xmpz() with number argument only takes 1 argument";
  static constexpr const char* need_base = "xmpz() requires numeric or string (and optional base) arguments";
  static constexpr const char* need = "xmpz() requires numeric or string argument";
  static constexpr const char* wrong_type = "xmpz.__new__() requires xmpz type";
};

template <class T>
T* int_from_text(PyObject* x, int base) noexcept;
template <>
MPZ_Object* int_from_text<MPZ_Object>(PyObject* x, int base) noexcept {
  return mpz_from_text(x, base);
}
template <>
XMPZ_Object* int_from_text<XMPZ_Object>(PyObject* x, int base) noexcept {
  return xmpz_from_text(x, base);
}

template <class Names>
PyObject* int_from_fraction(PyObject* x) noexcept {
  Own<MPQ_Object> q(mpq_from_fraction(x));
  if (!q) return nullptr;
  return obj(int_from_mpq<typename Names::T>(q->q));
}

// The interpreter's own integer conversion, for anything else that is a number.
template <class Names>
PyObject* int_via_pylong(PyObject* x) noexcept {
  Ref i = Ref::steal(PyNumber_Long(x));
  if (!i) {
    if (must_propagate()) return nullptr;
    PyErr_Clear();
    return type_error(Names::need);
  }
  return obj(int_from_pylong<typename Names::T>(i.get()));
}

PyObject* mpz_one(PyObject* x) noexcept {
  if (is_mpz(x)) return Py_NewRef(x);
  if (PyLong_Check(x)) return obj(mpz_from_pylong(x));
  if (is_mpq(x)) return obj(int_from_mpq<MPZ_Object>(mpq_of(x)));
  if (is_mpfr(x)) return obj(int_from_mpfr<MPZ_Object>(mpfr_of(x), nullptr));
  if (PyFloat_Check(x)) return obj(int_from_double<MPZ_Object>(PyFloat_AS_DOUBLE(x)));
  if (is_xmpz(x)) {
    XmpzLock lock(x);
    return obj(int_from_mpz<MPZ_Object>(mpz_of(x)));
  }
  if (is_fraction_arg(x)) return int_from_fraction<MpzNames>(x);
  if (is_text(x)) return parsed(mpz_from_text(x, 0), x, 0);
  if (has_protocol(x, P_MPZ)) return call_protocol_strict(x, P_MPZ, &MPZ_Type, "mpz");
  return int_via_pylong<MpzNames>(x);
}

PyObject* xmpz_one(PyObject* x) noexcept {
  if (is_xmpz(x)) return Py_NewRef(x);  // the same mutable object
  if (PyLong_Check(x)) return obj(xmpz_from_pylong(x));
  if (is_mpq(x)) return obj(int_from_mpq<XMPZ_Object>(mpq_of(x)));
  if (is_mpfr(x)) return obj(int_from_mpfr<XMPZ_Object>(mpfr_of(x), nullptr));
  if (PyFloat_Check(x)) return obj(int_from_double<XMPZ_Object>(PyFloat_AS_DOUBLE(x)));
  if (is_mpz(x)) return obj(int_from_mpz<XMPZ_Object>(mpz_of(x)));
  if (is_fraction_arg(x)) return int_from_fraction<XmpzNames>(x);
  if (is_text(x)) return parsed(xmpz_from_text(x, 0), x, 0);
  return int_via_pylong<XmpzNames>(x);
}

template <class Names, PyObject* (*One)(PyObject*)>
PyObject* int_ctor(CallArgs& a) noexcept {
  if (a.nkw() == 0) {
    if (a.npos() == 0) return obj(new_int<typename Names::T>());
    if (a.npos() == 1) return One(a[0]);
  }
  PyObject* x = nullptr;
  int base = 0;
  if (a.nkw() == 0 && a.npos() == 2 && fits_c_int(a[1], base)) {
    x = a[0];  // mpz(s, base) without the argument parser
  } else if (!a.parse("O|i", {"", "base", nullptr}, &x, &base)) {
    return nullptr;
  }
  if (!base_ok(base)) return value_error(Names::base);
  if (is_text(x)) return parsed(int_from_text<typename Names::T>(x, base), x, base);
  if (is_real_number(x)) return type_error(Names::one_arg);
  return type_error(Names::need_base);
}

// ---- mpq ----

PyObject* mpq_ctor(CallArgs& a) noexcept {
  if (a.total() > 2) return type_error("mpq() takes at most 2 arguments");
  if (a.total() == 0) return obj(new_mpq());
  if (a.npos() == 0) return type_error("mpq() requires at least one non-keyword argument");
  PyObject* x = a[0];
  if (is_text(x) || a.nkw() > 0) {
    int base = 10;
    if (a.total() > 1) {
      if (!a.parse("O|i", {"", "base", nullptr}, &x, &base)) return nullptr;
      if (!base_ok(base)) return value_error("base for mpq() must be 0 or in the interval [2, 62]");
    }
    return parsed(mpq_from_text(x, base), x, base);
  }
  if (a.npos() == 2) return obj(mpq_from_pair(x, a[1]));
  if (is_mpq(x)) return Py_NewRef(x);
  if (is_real_number(x)) return obj(to_mpq_ctor(x));
  return type_error("mpq() requires numeric or string argument");
}

// ---- mpfr ----

bool precision_arg(long prec, const char* msg) noexcept {
  if (prec >= 0) return true;
  value_error(msg);
  return false;
}

PyObject* mpfr_ctor(CallArgs& a) noexcept {
  if (a.total() > 4) return type_error("mpfr() takes at most 4 arguments");
  if (a.total() == 0) {
    MPFR_Object* r = new_mpfr(0, nullptr);
    if (r) mpfr_set_zero(r->f, 1);
    return obj(r);
  }
  if (a.npos() == 0) return type_error("mpfr() requires at least one non-keyword argument");
  PyObject* x = a[0];
  PyObject* co = nullptr;
  long prec = 0;
  CTXT_Object* ctx = nullptr;
  if (is_text(x)) {
    int base = 0;
    if (a.total() > 1 && !a.parse("O|liO", {"", "precision", "base", "context", nullptr}, &x, &prec, &base, &co))
      return precision_refused(a, "mpfr");
    if (!context_arg(co, ctx) || !precision_arg(prec, "precision for mpfr() must be >= 0")) return nullptr;
    if (!base_ok(base)) return value_error("base for mpfr() must be 0 or in the interval [2, 62]");
    return parsed(mpfr_from_text(x, base, Prec{prec}, ctx), x, base);
  }
  if (!is_plain_number(x) && has_protocol(x, P_MPFR)) return call_protocol_strict(x, P_MPFR, &MPFR_Type, "mpfr");
  if (!is_real_number(x)) return type_error("mpfr() requires numeric or string argument");
  if (a.total() > 1) {
    if (!a.parse("O|lO", {"", "precision", "context", nullptr}, &x, &prec, &co)) return precision_refused(a, "mpfr");
    if (!context_arg(co, ctx) || !precision_arg(prec, "precision for mpfr() must be >= 0")) return nullptr;
  }
  return obj(to_mpfr(x, classify_argument(x), Prec{prec}, ctx));
}

// ---- mpc ----

// The precision argument of mpc(): an int for both parts or a pair.
bool mpc_precision(PyObject* p, Prec& rpr, Prec& ipr) noexcept {
  mpfr_prec_t rp = 0, ip = 0;
  rpr = ipr = PREC_CONTEXT;
  if (!p) return true;
  auto read = [](PyObject* o, mpfr_prec_t& out) {
    out = PyLong_AsLong(o);
    if (out == -1 && PyErr_Occurred()) {
      PyErr_Clear();
      value_error("invalid value for precision in mpc()");
      return false;
    }
    return true;
  };
  if (PyLong_Check(p)) {
    if (!read(p, rp)) return false;
    ip = rp;
  } else if (PyTuple_Check(p) && PyTuple_GET_SIZE(p) == 2) {
    if (!read(PyTuple_GET_ITEM(p, 0), rp) || !read(PyTuple_GET_ITEM(p, 1), ip)) return false;
  } else {
    type_error("precision for mpc() must be integer or tuple");
    return false;
  }
  if (rp < 0 || ip < 0) {
    value_error("precision for mpc() must be >= 0");
    return false;
  }
  rpr = Prec{rp};
  ipr = Prec{ip};
  return true;
}

// mpc(real, imag): both parts converted as reals, then rounded into the mpc.
PyObject* mpc_from_parts(PyObject* x, PyObject* imag, Prec rp, Prec ip, CTXT_Object* given) noexcept {
  Ctx cx(given);
  CTXT_Object* ctx = cx.get();
  if (!ctx) return nullptr;
  Own<MPFR_Object> re(to_mpfr(x, classify_argument(x), rp, ctx));
  Own<MPFR_Object> im;
  if (re) {
    if (imag) {
      im = Own<MPFR_Object>(to_mpfr(imag, classify_argument(imag), ip, ctx));
    } else if ((im = Own<MPFR_Object>(new_mpfr(ip.alloc_bits(), ctx)))) {
      mpfr_set_zero(im->f, 1);
    }
  }
  Own<MPC_Object> r;
  if (re && im && (r = Own<MPC_Object>(new_mpc(rp.alloc_bits(), ip.alloc_bits(), ctx))))
    r->rc = mpc_set_fr_fr(r->c, re->f, im->f, crnd(ctx->ctx));
  if (!r) {
    // A part that cannot be converted is reported with one text; a trapped
    // condition, a full memory or an interrupt propagates unchanged.
    if (PyErr_ExceptionMatches(exc.base) ||
        !(PyErr_ExceptionMatches(PyExc_TypeError) || PyErr_ExceptionMatches(PyExc_ValueError)))
      return nullptr;
    PyErr_Clear();
    return type_error("mpc() requires string or numeric argument.");
  }
  return r.release();
}

PyObject* mpc_ctor(CallArgs& a) noexcept {
  if (a.total() > 4) return type_error("mpc() takes at most 4 arguments");
  if (a.total() == 0) {
    MPC_Object* r = new_mpc(0, 0, nullptr);
    if (r) mpc_set_ui(r->c, 0, MPC_RNDNN);
    return obj(r);
  }
  if (a.npos() == 0) return type_error("mpc() requires at least one non-keyword argument");
  PyObject* x = a[0];
  PyObject *po = nullptr, *co = nullptr;
  CTXT_Object* ctx = nullptr;
  Prec rp = PREC_CONTEXT, ip = PREC_CONTEXT;
  if (is_text(x)) {
    int base = 10;
    if (a.total() > 1 && !a.parse("O|OiO", {"", "precision", "base", "context", nullptr}, &x, &po, &base, &co))
      return nullptr;
    if (!context_arg(co, ctx) || !mpc_precision(po, rp, ip)) return nullptr;
    if (base < 2 || base > 36) return value_error("base for mpc() must be in the interval [2,36]");
    return parsed(mpc_from_text(x, base, rp, ip, ctx), x, base);
  }
  if (!is_plain_number(x) && has_protocol(x, P_MPC)) return call_protocol_strict(x, P_MPC, &MPC_Type, "mpc");
  if (is_real_number(x)) {
    PyObject* imag = nullptr;
    if (a.total() > 1 && !a.parse("O|OOO", {"", "imag", "precision", "context", nullptr}, &x, &imag, &po, &co))
      return nullptr;
    if (!context_arg(co, ctx) || !mpc_precision(po, rp, ip)) return nullptr;
    if (imag && !is_real_number(imag)) return type_error("invalid type for imaginary component in mpc()");
    return mpc_from_parts(x, imag, rp, ip, ctx);
  }
  const int kind = classify_argument(x);
  if (class_of(kind) != Cls::Cpx) return type_error("mpc() requires numeric or string argument");
  if (a.total() > 1 && !a.parse("O|OO", {"", "precision", "context", nullptr}, &x, &po, &co)) return nullptr;
  if (!context_arg(co, ctx) || !mpc_precision(po, rp, ip)) return nullptr;
  return obj(to_mpc(x, kind, rp, ip, ctx));
}

// ---- entry points: tp_new and vectorcall of each type ----

template <PyObject* (*Ctor)(CallArgs&), PyTypeObject* Type>
PyObject* type_new(PyTypeObject* type, PyObject* args, PyObject* kwds, const char* wrong_type) noexcept {
  if (type != Type) return type_error(wrong_type);
  CallArgs a(reinterpret_cast<PyTupleObject*>(args)->ob_item, PyTuple_GET_SIZE(args), kwds, args);
  return Ctor(a);
}

template <PyObject* (*Ctor)(CallArgs&)>
PyObject* type_vectorcall(PyObject* const* args, std::size_t nargsf, PyObject* kwnames) noexcept {
  CallArgs a(args, PyVectorcall_NARGS(nargsf), nullptr, nullptr);
  if (!a.set_kwnames(kwnames)) return nullptr;
  return Ctor(a);
}

PyObject* mpz_new(PyTypeObject* t, PyObject* a, PyObject* k) {
  return type_new<int_ctor<MpzNames, mpz_one>, &MPZ_Type>(t, a, k, MpzNames::wrong_type);
}
PyObject* xmpz_new(PyTypeObject* t, PyObject* a, PyObject* k) {
  return type_new<int_ctor<XmpzNames, xmpz_one>, &XMPZ_Type>(t, a, k, XmpzNames::wrong_type);
}
PyObject* mpq_new(PyTypeObject* t, PyObject* a, PyObject* k) {
  return type_new<mpq_ctor, &MPQ_Type>(t, a, k, "mpq.__new__() requires mpq type");
}
PyObject* mpfr_new(PyTypeObject* t, PyObject* a, PyObject* k) {
  return type_new<mpfr_ctor, &MPFR_Type>(t, a, k, "mpfr.__new__() requires mpfr type");
}
PyObject* mpc_new(PyTypeObject* t, PyObject* a, PyObject* k) {
  return type_new<mpc_ctor, &MPC_Type>(t, a, k, "mpc.__new__() requires mpc type");
}

PyObject* mpz_vectorcall(PyObject*, PyObject* const* args, std::size_t nargsf, PyObject* kwnames) {
  // The common call, mpz(x), without building anything.
  if (!kwnames && PyVectorcall_NARGS(nargsf) == 1) return mpz_one(args[0]);
  return type_vectorcall<int_ctor<MpzNames, mpz_one>>(args, nargsf, kwnames);
}
PyObject* xmpz_vectorcall(PyObject*, PyObject* const* args, std::size_t nargsf, PyObject* kwnames) {
  if (!kwnames && PyVectorcall_NARGS(nargsf) == 1) return xmpz_one(args[0]);
  return type_vectorcall<int_ctor<XmpzNames, xmpz_one>>(args, nargsf, kwnames);
}
PyObject* mpq_vectorcall(PyObject*, PyObject* const* args, std::size_t nargsf, PyObject* kwnames) {
  return type_vectorcall<mpq_ctor>(args, nargsf, kwnames);
}
PyObject* mpfr_vectorcall(PyObject*, PyObject* const* args, std::size_t nargsf, PyObject* kwnames) {
  return type_vectorcall<mpfr_ctor>(args, nargsf, kwnames);
}
PyObject* mpc_vectorcall(PyObject*, PyObject* const* args, std::size_t nargsf, PyObject* kwnames) {
  return type_vectorcall<mpc_ctor>(args, nargsf, kwnames);
}

// ---- int(), float(), index and truth of the numbers ----

PyObject* int_int(PyObject* self) {
  XmpzLock lock(self);
  return pylong_from_mpz(mpz_of(self));
}
PyObject* int_float(PyObject* self) {
  XmpzLock lock(self);
  return pyfloat_from_mpz(mpz_of(self));
}
int int_bool(PyObject* self) {
  XmpzLock lock(self);
  return mpz_sgn(mpz_of(self)) != 0;
}
PyObject* mpq_int(PyObject* self) { return pylong_from_mpq(mpq_of(self)); }
PyObject* mpq_float(PyObject* self) { return pyfloat_from_mpq(mpq_of(self)); }

// The constructors' forms, as the stubs write them.
const FnDef constructor_forms[] = {
    described("__new__", ON_MPZ, "n: _Real | SupportsIndex = ..., / -> mpz; s: _Text, /, base: int = ... -> mpz"),
    described("__new__", ON_XMPZ, "n: _Real | SupportsIndex = ..., / -> xmpz; s: _Text, /, base: int = ... -> xmpz"),
    described("__new__", ON_MPQ, "n: _Real = ..., / -> mpq; n: _Rat, m: _Rat, / -> mpq; s: _Text, /, base: int = ... -> mpq"),
    described("__new__", ON_MPFR, "n: _Real | SupportsFloat = ..., /, precision: int = ..., context: context = ... -> mpfr; s: _Text, /, precision: int = ..., base: int = ..., context: context = ... -> mpfr"),
    described("__new__", ON_MPC, "c: complex | mpc = ..., /, precision: int | tuple[int, int] = ..., context: context = ... -> mpc; real: _Real, /, imag: _Real = ..., precision: int | tuple[int, int] = ..., context: context = ... -> mpc; s: _Text, /, precision: int | tuple[int, int] = ..., base: int = ..., context: context = ... -> mpc"),
};

void setup_convert_slots() noexcept {
  MPZ_Type.tp_new = mpz_new;
  XMPZ_Type.tp_new = xmpz_new;
  MPQ_Type.tp_new = mpq_new;
  MPFR_Type.tp_new = mpfr_new;
  MPC_Type.tp_new = mpc_new;
  MPZ_Type.tp_vectorcall = mpz_vectorcall;
  XMPZ_Type.tp_vectorcall = xmpz_vectorcall;
  MPQ_Type.tp_vectorcall = mpq_vectorcall;
  MPFR_Type.tp_vectorcall = mpfr_vectorcall;
  MPC_Type.tp_vectorcall = mpc_vectorcall;
  for (PyNumberMethods* nb : {&mpz_number, &xmpz_number}) {
    nb->nb_int = int_int;
    nb->nb_index = int_int;
    nb->nb_float = int_float;
    nb->nb_bool = int_bool;
  }
  mpq_number.nb_int = mpq_int;
  mpq_number.nb_float = mpq_float;
}

}  // namespace

VX_UNIT(constructors, constructor_forms, setup_convert_slots)

}  // namespace vx
