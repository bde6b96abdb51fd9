// Modular powers: powmod, powmod_sec and the list forms powmod_base_list
// and powmod_exp_list.
#include "arith/dispatch.h"
#include "convert/int_conv.h"
#include "core/args.h"
#include "core/errors.h"
#include "core/ref.h"
#include "core/registry.h"
#include "core/signals.h"
#include "core/temps.h"
#include "integer/mpz_internal.h"

namespace vx {

namespace {

// The integer three-argument power, with its rules and messages.
PyObject* powmod(PyObject*, PyObject* const* args, Py_ssize_t nargs) {
  if (!want_args(nargs, 3, Fn{"powmod", "", "."})) return nullptr;
  int k[3];
  for (int i = 0; i < 3; ++i) {
    k[i] = classify(args[i]);
    if (!is_integer_kind(k[i])) return types_not_supported("powmod", args, nargs);
  }
  Ctx cx;
  return arith::power(args[0], k[0], args[1], k[1], args[2], cx);
}

// The side-channel-resistant power: its time and memory accesses do not
// depend on the exponent's bits.
PyObject* powmod_sec(PyObject*, PyObject* const* args, Py_ssize_t nargs) {
  if (!want_args(nargs, 3, Fn{"powmod_sec", "", "."})) return nullptr;
  Ctx cx;
  CTXT_Object* c = cx.get();
  if (!c) return nullptr;
  Own<MPZ_Object> r(new_mpz());
  if (!r) return nullptr;
  Own<MPZ_Object> x, y, m;
  if (!is_integer_kind(classify(args[0])) || !(x = Own<MPZ_Object>(to_mpz_intonly(args[0])))) {
    PyErr_Clear();
    return type_error("powmod_sec() base must be an integer.");
  }
  if (!is_integer_kind(classify(args[1])) || !(y = Own<MPZ_Object>(to_mpz_intonly(args[1])))) {
    PyErr_Clear();
    return type_error("powmod_sec() exponent must be an integer.");
  }
  if (mpz_sgn(y->z) <= 0) return value_error("powmod_sec() exponent must be > 0.");
  if (!is_integer_kind(classify(args[2])) || !(m = Own<MPZ_Object>(to_mpz_intonly(args[2])))) {
    PyErr_Clear();
    return type_error("powmod_sec() modulus must be an integer.");
  }
  if (mpz_even_p(m->z)) return value_error("powmod_sec() modulus must be odd.");  // 0 is even
  mpz_ptr rz = r->z;
  mpz_srcptr xz = x->z, yz = y->z, mz = m->z;
  gmp_compute(c->ctx, [&] { mpz_powm_sec(rz, xz, yz, mz); });
  return r.release();
}

// The names of one list form.
struct ListFn {
  const char* count;
  const char* not_sequence;
  Need not_integer;
  const char* bad_mod;
  const char* not_invertible;
};

constexpr ListFn BASE_LIST{"powmod_base_list requires 3 arguments",
                           "the first argument to powmod_base_list must be a sequence",
                           Need{"powmod_base_list", "integer arguments"}, "powmod_base_list() 'mod' must be > 0",
                           "powmod_base_list() base not invertible"};
constexpr ListFn EXP_LIST{"powmod_exp_list requires 3 arguments",
                          "the second argument to powmod_exp_list must be a sequence",
                          Need{"powmod_exp_list", "integer arguments"}, "powmod_exp_list() 'mod' must be > 0",
                          "powmod_exp_list() base not invertible"};

// Converts every item of a sequence into a new mpz of a new list. The items
// are read from a tuple copy: a conversion may run Python code (__mpz__)
// that changes a list given, or another thread may.
PyObject* list_of_new_mpz(PyObject* seq) {
  Ref items = Ref::steal(PySequence_Tuple(seq));
  if (!items) {
    if (PyErr_ExceptionMatches(PyExc_TypeError)) type_error("argument must be an iterable");
    return nullptr;
  }
  const Py_ssize_t len = PyTuple_GET_SIZE(items.get());
  Ref list = Ref::steal(PyList_New(len));
  if (!list) return nullptr;
  for (Py_ssize_t i = 0; i < len; ++i) {
    PyObject* o = PyTuple_GET_ITEM(items.get(), i);
    MPZ_Object* z = nullptr;
    if (is_integer_kind(classify(o))) {
      if (Py_TYPE(o) == &MPZ_Type) {
        z = new_mpz();  // never the caller's object: the entry is changed in place
        if (z) mpz_set(z->z, mpz_of(o));
      } else {
        z = to_mpz_intonly(o);
      }
    }
    if (!z) {
      if (PyErr_Occurred() && must_propagate()) return nullptr;
      PyErr_Clear();
      return type_error("all items in iterable must be integers");
    }
    PyList_SET_ITEM(list.get(), i, reinterpret_cast<PyObject*>(z));
  }
  return list.release();
}

// powmod_base_list(bases, exp, mod) and powmod_exp_list(base, exps, mod):
// every power is converted first, then all run detached in one stretch.
template <bool BASES>
PyObject* powmod_list(PyObject*, PyObject* const* args, Py_ssize_t nargs) {
  const ListFn& w = BASES ? BASE_LIST : EXP_LIST;
  if (!want_args(nargs, 3, w.count)) return nullptr;
  PyObject* seq = args[BASES ? 0 : 1];
  PyObject* fixed = args[BASES ? 1 : 0];
  if (!PySequence_Check(seq)) return type_error(w.not_sequence);
  if (!is_integer_kind(classify(fixed)) || !is_integer_kind(classify(args[2])))
    return refuse(w.not_integer, args, nargs);
  Own<MPZ_Object> m(to_mpz_intonly(args[2]));
  if (!m) return nullptr;
  Own<MPZ_Object> f(to_mpz_intonly(fixed));
  if (!f) return nullptr;
  if (mpz_sgn(m->z) <= 0) return value_error(w.bad_mod);
  Ref list = Ref::steal(list_of_new_mpz(seq));
  if (!list) return nullptr;
  const Py_ssize_t len = PyList_GET_SIZE(list.get());
  PyObject** items = reinterpret_cast<PyListObject*>(list.get())->ob_item;
  mpz_srcptr mod = m->z;
  // A negative exponent takes the base's inverse; a base without one is
  // refused here, while attached (GMP would stop the process).
  Mpz fixed_val(f->z), inv;
  const bool unit = mpz_cmp_ui(mod, 1) == 0;  // every residue is 0, inverses or not
  if (BASES) {
    if (mpz_sgn(fixed_val.get()) < 0) {
      for (Py_ssize_t i = 0; i < len; ++i) {
        mpz_ptr b = mpz_of(items[i]);
        if (!unit && !mpz_invert(b, b, mod)) return value_error(w.not_invertible);
      }
      mpz_neg(fixed_val, fixed_val);
    }
  } else {
    bool negative = false;
    for (Py_ssize_t i = 0; i < len; ++i) negative |= mpz_sgn(mpz_of(items[i])) < 0;
    if (negative && !unit && !mpz_invert(inv, fixed_val, mod)) return value_error(w.not_invertible);
  }
  mpz_srcptr fv = fixed_val, iv = inv;
  // Detached in stretches of about 20 ms, with a look for signals between them.
  for (Py_ssize_t i = 0; i < len;) {
    Py_BEGIN_ALLOW_THREADS
    for (Stretch stretch; i < len && !stretch.over(); ++i) {
      mpz_ptr z = mpz_of(items[i]);
      if (BASES) {
        mpz_powm(z, z, fv, mod);
      } else if (mpz_sgn(z) < 0) {
        mpz_neg(z, z);
        mpz_powm(z, iv, z, mod);
      } else {
        mpz_powm(z, fv, z, mod);
      }
    }
    Py_END_ALLOW_THREADS
    if (interrupted()) return nullptr;
  }
  return list.release();
}

const FnDef rows[] = {
    fast("powmod", powmod, IN_MODULE, "Return (x**y) mod m. Same as the three argument version of Python's\nbuilt-in pow(), but converts all three arguments to mpz.").typed("x: _Int, y: _Int, m: _Int, /", "mpz"),
    fast("powmod_sec", powmod_sec, IN_MODULE, "Return (x**y) mod m. Calculates x ** y (mod m) but using a constant\ntime algorithm to reduce the risk of side channel attacks. y must be\nan integer >0. m must be an odd integer.").typed("x: _Int, y: _Int, m: _Int, /", "mpz"),
    fast("powmod_base_list", powmod_list<true>, IN_MODULE, "Returns list(powmod(i, exp, mod) for i in base_lst). The powers run\ndetached from the interpreter, so other threads may run meanwhile.") .typed("base_lst: Iterable[_Int], exp: _Int, mod: _Int, /", "list[mpz]"),
    fast("powmod_exp_list", powmod_list<false>, IN_MODULE, "Returns list(powmod(base, i, mod) for i in exp_lst). The powers run\ndetached from the interpreter, so other threads may run meanwhile.") .typed("base: int, exp_lst: Iterable[_Int], mod: _Int, /", "list[mpz]"),
};

}  // namespace

VX_UNIT(integer_powmod, rows)

}  // namespace vx
