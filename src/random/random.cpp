// Random states and the generators that draw integers, reals and complex
// numbers from them.
#include "random/random_state.h"

#include <cstdint>

#include "context/context.h"
#include "convert/classify.h"
#include "convert/int_conv.h"
#include "core/args.h"
#include "core/compat.h"
#include "core/errors.h"
#include "core/memory.h"
#include "core/ref.h"
#include "core/registry.h"
#include "objects/objects.h"

namespace vx {

PyTypeObject RandomState_Type = {
    PyVarObject_HEAD_INIT(nullptr, 0) "vexa2.random_state",
    sizeof(RandomState_Object),
    0,
};

namespace {

using StatePtr = __gmp_randstate_struct*;

void random_state_dealloc(PyObject* self) noexcept {
  gmp_randclear(reinterpret_cast<RandomState_Object*>(self)->state);
  PyObject_Free(self);
}

PyObject* random_state_repr(PyObject*) noexcept { return PyUnicode_FromString("<vexa2.RandomState>"); }

// Runs one draw on the state of `s`. Threads that share a state take
// turns: on the free-threaded build the object's critical section keeps
// two draws from interleaving inside GMP; elsewhere the interpreter's lock
// already does. `draw` makes no call into the interpreter.
template <class F>
void with_state(PyObject* s, F&& draw) noexcept {
  Py_BEGIN_CRITICAL_SECTION(s);
  draw(reinterpret_cast<RandomState_Object*>(s)->state);
  Py_END_CRITICAL_SECTION();
}

// GMP counts limbs in an int and stops the process when asked for more,
// or when it cannot allocate them. A bit count beyond the first limit is
// refused with ValueError; one the machine's memory cannot hold with
// MemoryError.
bool bit_count_possible(unsigned long bits, const char* fname) noexcept {
  if (bits > MPZ_MAX_BITS) {
    PyErr_Format(PyExc_ValueError, "%s() bit_count too large", fname);
    return false;
  }
  return can_allocate(bits);
}

PyObject* f_random_state(PyObject*, PyObject* const* args, Py_ssize_t nargs) {
  if (nargs > 1) return refuse(Need{"random_state", "0 or 1 integer arguments"}, nullptr, 0);
  Own<RandomState_Object> r(PyObject_New(RandomState_Object, &RandomState_Type));
  if (!r) return nullptr;
  gmp_randinit_default(r->state);
  if (nargs == 0) {
    gmp_randseed_ui(r->state, 0);
    return r.release();
  }
  const int kind = classify(args[0]);
  Own<MPZ_Object> seed(is_integer_kind(kind) ? to_mpz(args[0], kind) : nullptr);
  if (!seed) {
    PyErr_Clear();
    return type_error("seed must be an integer");
  }
  gmp_randseed(r->state, seed->z);
  return r.release();
}

PyObject* f_mpz_random(PyObject*, PyObject* const* args, Py_ssize_t nargs) {
  if (!want_args(nargs, 2, Fn{"mpz_random"})) return nullptr;
  constexpr Need bad{"mpz_random", "'random_state' and 'int' arguments"};
  if (!is_random_state(args[0])) return refuse(bad, args, nargs);
  const int kind = classify(args[1]);
  Own<MPZ_Object> n(is_integer_kind(kind) ? to_mpz(args[1], kind) : nullptr);
  if (!n) {
    PyErr_Clear();
    return refuse(bad, args, nargs);
  }
  // GMP divides by the bound: zero would stop the process.
  if (mpz_sgn(n->z) <= 0) return value_error("mpz_random() requires a positive bound");
  MPZ_Object* r = new_mpz();
  if (!r) return nullptr;
  with_state(args[0], [&](StatePtr st) { mpz_urandomm(r->z, st, n->z); });
  return reinterpret_cast<PyObject*>(r);
}

// mpz_urandomb and mpz_rrandomb: a state and a bit count.
template <void (*gen)(mpz_ptr, StatePtr, mp_bitcnt_t), const char* fname>
PyObject* draw_bits(PyObject*, PyObject* const* args, Py_ssize_t nargs) {
  const Need bad{fname, "'random_state' and 'bit_count' arguments"};
  if (!want_args(nargs, 2, Fn{fname})) return nullptr;
  if (!is_random_state(args[0])) return refuse(bad, args, nargs);
  const unsigned long bits = read_ulong(args[1]);
  if (bits == static_cast<unsigned long>(-1) && PyErr_Occurred()) {
    PyErr_Clear();
    return refuse(bad, args, nargs);
  }
  if (!bit_count_possible(bits, fname)) return nullptr;
  MPZ_Object* r = new_mpz();
  if (!r) return nullptr;
  with_state(args[0], [&](StatePtr st) { gen(r->z, st, bits); });
  return reinterpret_cast<PyObject*>(r);
}

// The checks shared by the one-argument generators; the current context
// (borrowed from `ctx`) on success.
CTXT_Object* real_draw_setup(PyObject* const* args, Py_ssize_t nargs, Fn count, const char* name,
                             Own<CTXT_Object>& ctx) noexcept {
  if (!want_args(nargs, 1, count)) return nullptr;
  if (!is_random_state(args[0])) return refuse(Need{name, "'random_state' argument"}, args, nargs);
  ctx = Own<CTXT_Object>(current_context());
  return ctx.get();
}

// One real draw by MPFR's Draw. The result keeps rc 0 and no result check
// runs: a draw raises no flag.
template <int (*Draw)(mpfr_ptr, gmp_randstate_t, mpfr_rnd_t), const char* name>
PyObject* real_draw(PyObject*, PyObject* const* args, Py_ssize_t nargs) noexcept {
  Own<CTXT_Object> ctx;
  if (!real_draw_setup(args, nargs, Fn{name}, name, ctx)) return nullptr;
  MPFR_Object* r = new_mpfr(0, ctx.get());
  if (!r) return nullptr;
  const mpfr_rnd_t mode = rnd(ctx->ctx);
  with_state(args[0], [&](StatePtr st) { Draw(r->f, st, mode); });
  return reinterpret_cast<PyObject*>(r);
}

constexpr char URANDOMB[] = "mpz_urandomb";
constexpr char RRANDOMB[] = "mpz_rrandomb";
constexpr char RANDOM[] = "mpfr_random";
constexpr char NRANDOM[] = "mpfr_nrandom";

PyObject* f_mpfr_grandom(PyObject*, PyObject* const* args, Py_ssize_t nargs) {
  Own<CTXT_Object> ctx;
  if (!real_draw_setup(args, nargs, Fn{"mpfr_grandom"}, "mpfr_grandom", ctx))
    return nullptr;
  Own<MPFR_Object> a(new_mpfr(0, ctx.get()));
  if (!a) return nullptr;
  Own<MPFR_Object> b(new_mpfr(0, ctx.get()));
  if (!b) return nullptr;
  const mpfr_rnd_t mode = rnd(ctx->ctx);
  with_state(args[0], [&](StatePtr st) {
    mpfr_nrandom(a->f, st, mode);
    mpfr_nrandom(b->f, st, mode);
  });
  return steal_pair(a.release(), b.release());
}

PyObject* f_mpc_random(PyObject*, PyObject* const* args, Py_ssize_t nargs) {
  Own<CTXT_Object> ctx;
  if (!real_draw_setup(args, nargs, Fn{"mpfc_random"}, "mpc_random", ctx))
    return nullptr;
  MPC_Object* r = new_mpc(0, 0, ctx.get());
  if (!r) return nullptr;
  with_state(args[0], [&](StatePtr st) { mpc_urandom(r->c, st); });
  return reinterpret_cast<PyObject*>(r);
}

void setup_random_state_type() noexcept {
  RandomState_Type.tp_dealloc = random_state_dealloc;
  RandomState_Type.tp_repr = random_state_repr;
  RandomState_Type.tp_flags = Py_TPFLAGS_DEFAULT;
  RandomState_Type.tp_doc =
      "State of a random-number generator, made by random_state(seed).\n\n"
      "Every draw advances it. Threads may share one state: each draw holds\n"
      "the state alone while it runs, so draws never interleave, although the\n"
      "order in which the threads receive the values is not fixed.";
}

const FnDef random_rows[] = {
    fast("random_state", f_random_state, IN_MODULE, "Return a new random state seeded by the integer seed. Equal seeds\ngive equal sequences. A state may be shared by threads, each draw\ntaking it alone; only a state used by one thread gives a sequence\nthat can be reproduced.").typed("seed: _Int = 0, /", "Any"),
    fast("mpz_random", f_mpz_random, IN_MODULE, "Return a uniformly distributed random integer between 0 and n-1 (n > 0).") .typed("random_state: Any, n: int, /", "mpz"),
    fast("mpz_urandomb", draw_bits<mpz_urandomb, URANDOMB>, IN_MODULE, "Return a uniformly distributed random integer between 0 and\n2**bit_count-1.").typed("random_state: Any, bit_count: int, /", "mpz"),
    fast("mpz_rrandomb", draw_bits<mpz_rrandomb, RRANDOMB>, IN_MODULE, "Return a random integer between 2**(bit_count-1) and 2**bit_count-1\nwith long sequences of zeros and ones in its binary representation.") .typed("random_state: Any, bit_count: int, /", "mpz"),
    fast("mpfr_random", real_draw<mpfr_urandom, RANDOM>, IN_MODULE, "Return a uniformly distributed number between [0,1], at the current\ncontext's precision and rounding.").typed("random_state: Any, /", "mpfr"),
    fast("mpfr_nrandom", real_draw<mpfr_nrandom, NRANDOM>, IN_MODULE, "Return a random number with a standard normal distribution.").typed("random_state: Any, /", "mpfr"),
    fast("mpfr_grandom", f_mpfr_grandom, IN_MODULE, "Return a tuple of two independent random numbers with a standard\nnormal distribution.").typed("random_state: Any, /", "tuple[mpfr, mpfr]"),
    fast("mpc_random", f_mpc_random, IN_MODULE, "Return a complex number whose real and imaginary parts are each\nuniformly distributed in [0,1].").typed("random_state: Any, /", "mpc"),
};

// Readied at import but not published: states are made by random_state().
int ready_random_state(PyObject*) noexcept { return PyType_Ready(&RandomState_Type); }

}  // namespace

VX_UNIT(random, random_rows, {}, setup_random_state_type, ready_random_state)

}  // namespace vx
