// Methods under NumPy's names, so that NumPy's ufuncs work on object arrays
// of vexa2 numbers: on such arrays np.sqrt(a) calls a[i].sqrt(), np.arcsin
// calls .arcsin(), np.arctan2(a, b) calls a[i].arctan2(b[i]). Each method
// is the module function of the same meaning (found among the registry's
// rows by its name), applied under the current context, so the values are
// those of vexa2.sqrt(x), vexa2.asin(x), ...
#include <array>
#include <cstring>
#include <utility>

#include "core/errors.h"
#include "core/registry.h"

namespace vx {

namespace {

constexpr unsigned REALS = ON_MPZ | ON_MPQ | ON_MPFR;
constexpr unsigned ALL = REALS | ON_MPC;

struct Ufunc {
  const char* name;  // NumPy's ufunc (and so the method)
  const char* fn;    // the module function
  unsigned where;
  bool binary;
  const char* real_result;  // the result on a real self, as the module function's real form says
};

// The functions with a complex form are methods of mpc too.
constexpr Ufunc UFUNCS[] = {
    {"sqrt", "sqrt", ALL, false, "mpfr | mpc"},       {"exp", "exp", ALL, false, "mpfr"},         {"log", "log", ALL, false, "mpfr"},
    {"log10", "log10", ALL, false, "mpfr"},     {"sin", "sin", ALL, false, "mpfr"},         {"cos", "cos", ALL, false, "mpfr"},
    {"tan", "tan", ALL, false, "mpfr"},         {"arcsin", "asin", ALL, false, "mpfr | mpc"},     {"arccos", "acos", ALL, false, "mpfr | mpc"},
    {"arctan", "atan", ALL, false, "mpfr"},     {"sinh", "sinh", ALL, false, "mpfr"},       {"cosh", "cosh", ALL, false, "mpfr"},
    {"tanh", "tanh", ALL, false, "mpfr"},       {"arcsinh", "asinh", ALL, false, "mpfr"},   {"arccosh", "acosh", ALL, false, "mpfr"},
    {"arctanh", "atanh", ALL, false, "mpfr | mpc"},   {"log2", "log2", REALS, false, "mpfr"},     {"exp2", "exp2", REALS, false, "mpfr"},
    {"expm1", "expm1", REALS, false, "mpfr"},   {"log1p", "log1p", REALS, false, "mpfr"},   {"cbrt", "cbrt", REALS, false, "mpfr"},
    {"rint", "rint", REALS, false, "mpfr"},     {"degrees", "degrees", REALS, false, "mpfr"}, {"radians", "radians", REALS, false, "mpfr"},
    {"rad2deg", "degrees", REALS, false, "mpfr"}, {"deg2rad", "radians", REALS, false, "mpfr"},
    {"arctan2", "atan2", REALS, true, "mpfr"},  {"hypot", "hypot", REALS, true, "mpfr"},    {"fmod", "fmod", REALS, true, "mpfr"},
};
constexpr size_t N = std::size(UFUNCS);

// The module functions' rows, looked up once (the registry is complete
// before the module runs) and never changed afterwards.
struct Resolved {
  std::array<const FnDef*, N> rows{};
};

const FnDef* find_row(const char* fn) noexcept {
  for (const Unit* u : registered_units())
    for (const FnDef& d : u->fns)
      if ((d.where & IN_MODULE) && std::strcmp(d.name, fn) == 0 &&
          (d.flags & (METH_O | METH_FASTCALL | METH_KEYWORDS | METH_VARARGS | METH_NOARGS)) ==
              (d.flags & (METH_O | METH_FASTCALL)))
        return &d;
  return nullptr;
}

const Resolved& resolved() noexcept {
  static const Resolved r = [] {
    Resolved x;
    for (size_t i = 0; i < N; ++i) x.rows[i] = find_row(UFUNCS[i].fn);
    return x;
  }();
  return r;
}

// Calls the module function of ufunc I on (self) or (self, other); the
// function's own self is null, so it uses the current context.
PyObject* call(size_t i, PyObject* self, PyObject* other) noexcept {
  const FnDef* d = resolved().rows[i];
  if (!d) return system_error("internal error in a NumPy method: no module function");
  PyObject* args[2] = {self, other};
  const Py_ssize_t n = other ? 2 : 1;
  if (d->flags & METH_O) {
    if (n != 1) return system_error("internal error in a NumPy method: arity");
    return reinterpret_cast<OneFn>(reinterpret_cast<void (*)(void)>(d->fn))(nullptr, self);
  }
  return reinterpret_cast<FastFn>(reinterpret_cast<void (*)(void)>(d->fn))(nullptr, args, n);
}

template <size_t I>
PyObject* unary_method(PyObject* self, PyObject*) {
  return call(I, self, nullptr);
}
template <size_t I>
PyObject* binary_method(PyObject* self, PyObject* other) {
  return call(I, self, other);
}

// "sqrt($self, /)\n--\n\nReturn sqrt(x) ..." for each row, built at compile time.
template <size_t I>
struct Doc {
  static constexpr auto text = [] {
    constexpr const char* parts[] = {UFUNCS[I].name,
                                     UFUNCS[I].binary ? "($self, other, /)\n--\n\nReturn vexa2." : "($self, /)\n--\n\nReturn vexa2.",
                                     UFUNCS[I].fn,
                                     UFUNCS[I].binary ? "(x, other)" : "(x)",
                                     ", under the current context (NumPy's ufunc of this name calls it on object arrays)."};
    std::array<char, 256> out{};
    size_t k = 0;
    for (const char* p : parts)
      for (; *p && k + 1 < out.size(); ++p) out[k++] = *p;
    return out;
  }();
};

// The methods with a complex form are two rows: on the real types (the
// result their real form gives) and on mpc (an mpc), so that each type's
// stub says its own result.
constexpr size_t N_COMPLEX = [] {
  size_t m = 0;
  for (const Ufunc& u : UFUNCS) m += (u.where & ON_MPC) != 0;
  return m;
}();

template <size_t I>
FnDef method_row(unsigned where, const char* result) {
  const FnDef d = UFUNCS[I].binary ? one(UFUNCS[I].name, binary_method<I>, where, Doc<I>::text.data())
                                   : noargs(UFUNCS[I].name, unary_method<I>, where, Doc<I>::text.data());
  return d.typed(UFUNCS[I].binary ? "other: _Real, /" : "/", result);
}

template <size_t... I>
std::array<FnDef, N + N_COMPLEX> make_defs(std::index_sequence<I...>) {
  std::array<FnDef, N + N_COMPLEX> out{};
  size_t k = 0;
  ((out[k++] = method_row<I>(UFUNCS[I].where & REALS, UFUNCS[I].real_result)), ...);
  ((UFUNCS[I].where & ON_MPC ? void(out[k++] = method_row<I>(ON_MPC, "mpc")) : void()), ...);
  return out;
}

const std::array<FnDef, N + N_COMPLEX> defs = make_defs(std::make_index_sequence<N>{});

}  // namespace

VX_UNIT(floating_ufunc_methods, defs)

}  // namespace vx
