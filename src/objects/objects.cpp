// Allocation, recycling and freeing of number objects.
#include "objects/objects.h"
#include "core/memory.h"
#include "core/errors.h"
#include "core/ref.h"

extern "C" {
constinit thread_local vexa_global_t global = {};
}

namespace vx {

namespace {

// Revive a dead cached object: its value keeps its storage, the header is
// initialised again (reference count 1, owned by the calling thread).
template <class T>
T* revive(T* obj, PyTypeObject* type) noexcept {
  PyObject_Init(reinterpret_cast<PyObject*>(obj), type);
  return obj;
}

// Precision actually used by an allocation: values of 1 or less take `fallback`.
inline mpfr_prec_t pick(mpfr_prec_t prec, mpfr_prec_t fallback) noexcept {
  return prec <= 1 ? fallback : prec;
}

inline bool prec_ok(mpfr_prec_t p) noexcept { return p >= 1 && p <= PREC_MAX; }

// MPFR aborts the process when it cannot allocate a value's digits. Large
// requests are tried here first, so that an impossible precision (say 2**40
// bits) becomes a MemoryError instead.
// The value's digits (both parts of a complex value) are asked for twice:
// as much again for the working copies MPFR and MPC make computing into it.
bool storage_available(mpfr_prec_t p, mpfr_prec_t q = 0) noexcept {
  constexpr mpfr_prec_t SMALL = mpfr_prec_t{1} << 20;
  if (p <= SMALL && q <= SMALL) return true;
  const auto bits = bits_sum(static_cast<uint64_t>(p), static_cast<uint64_t>(q));
  return can_allocate(bits, q ? Alloc::MPC : Alloc::MPFR, 2);
}

}  // namespace

// ---- per-thread caches ----
//
// A dead object whose value is small goes to its type's cache of the
// thread that drops it, and is revived by the next allocation there. The
// caches of a thread are emptied when its interpreter state goes away: the
// first cached object installs a capsule in the thread state's dictionary,
// which is cleared (holding the interpreter) when the thread ends.

namespace {

enum : int { CACHE_NONE = 0, CACHE_OPEN = 1, CACHE_CLOSED = 2 };

void drain_all() noexcept;

void on_thread_state_cleared(PyObject* capsule) noexcept {
  // A thread state cleared from another thread leaves that thread's caches
  // alone: they are not ours to touch.
  if (PyCapsule_GetPointer(capsule, "vexa2._cache") != &global) {
    PyErr_Clear();
    return;
  }
  drain_all();
  global.cache_state = CACHE_CLOSED;
  global.closed_tstate = PyThreadState_Get();
}

// Whether dead objects may be kept now: not while (or after) this thread's
// state is being cleared, and only once the state's capsule is in place.
bool cache_open() noexcept {
  if (global.cache_state == CACHE_OPEN) return true;
  PyThreadState* ts = PyThreadState_Get();
  if (global.cache_state == CACHE_CLOSED && ts == global.closed_tstate) return false;
  SavedError keep;  // a dealloc may run with an exception pending
  bool ok = false;
  if (PyObject* dict = PyThreadState_GetDict()) {
    Ref cap = Ref::steal(PyCapsule_New(&global, "vexa2._cache", on_thread_state_cleared));
    ok = cap && PyDict_SetItemString(dict, "vexa2._cache", cap.get()) == 0;
  }
  if (ok) global.cache_state = CACHE_OPEN;
  return ok;
}

// One type's cache: the array and count in the thread's record, and how the
// value inside a dead object is cleared for good.
template <class T, auto Cache, auto Count, void (*Clear)(T*)>
struct Pool {
  using Obj = T;
  static T* take() noexcept {
    int& n = global.*Count;
    return n ? (global.*Cache)[--n] : nullptr;
  }
  static void put(PyObject* self, bool small) noexcept {
    T* o = reinterpret_cast<T*>(self);
    int& n = global.*Count;
    if (small && n < CACHE_SIZE && (global.cache_state == CACHE_OPEN || cache_open())) {
      (global.*Cache)[n++] = o;
      return;
    }
    Clear(o);
    PyObject_Free(self);
  }
  static void drain() noexcept {
    while (T* o = take()) {
      Clear(o);
      PyObject_Free(o);
    }
  }
};

void clear_z(MPZ_Object* o) noexcept { mpz_clear(o->z); }
void clear_x(XMPZ_Object* o) noexcept { mpz_clear(o->z); }
void clear_q(MPQ_Object* o) noexcept { mpq_clear(o->q); }
void clear_f(MPFR_Object* o) noexcept { mpfr_clear(o->f); }
void clear_c(MPC_Object* o) noexcept { mpc_clear(o->c); }

using MpzPool = Pool<MPZ_Object, &vexa_global_t::mpz_cache, &vexa_global_t::in_mpz_cache, clear_z>;
using XmpzPool = Pool<XMPZ_Object, &vexa_global_t::xmpz_cache, &vexa_global_t::in_xmpz_cache, clear_x>;
using MpqPool = Pool<MPQ_Object, &vexa_global_t::mpq_cache, &vexa_global_t::in_mpq_cache, clear_q>;
using MpfrPool = Pool<MPFR_Object, &vexa_global_t::mpfr_cache, &vexa_global_t::in_mpfr_cache, clear_f>;
using MpcPool = Pool<MPC_Object, &vexa_global_t::mpc_cache, &vexa_global_t::in_mpc_cache, clear_c>;

void drain_all() noexcept {
  MpzPool::drain();
  XmpzPool::drain();
  MpqPool::drain();
  MpfrPool::drain();
  MpcPool::drain();
}

// A revived object of the cache with `reset` applied to its value, or a new
// one with `init` applied; nullptr with MemoryError.
template <class P, class Reset, class Init>
typename P::Obj* obtain(PyTypeObject* type, Reset reset, Init init) noexcept {
  using T = typename P::Obj;
  if (T* r = P::take()) {
    reset(revive(r, type));
    return r;
  }
  T* r = PyObject_New(T, type);
  if (r) init(r);
  return r;
}

inline bool small_mpfr(mpfr_srcptr f) noexcept { return mpfr_get_prec(f) <= CACHE_MAX_PREC; }
inline bool small_mpz(mpz_srcptr z) noexcept { return z->_mp_alloc <= CACHE_MAX_LIMBS; }

}  // namespace

MPZ_Object* new_mpz() noexcept {
  MPZ_Object* r = obtain<MpzPool>(
      &MPZ_Type, [](MPZ_Object* o) { o->z->_mp_size = 0; }, [](MPZ_Object* o) { mpz_init(o->z); });
  if (r) r->hash_cache = -1;
  return r;
}

XMPZ_Object* new_xmpz() noexcept {
  return obtain<XmpzPool>(
      &XMPZ_Type, [](XMPZ_Object* o) { mpz_set_ui(o->z, 0); }, [](XMPZ_Object* o) { mpz_init(o->z); });
}

MPQ_Object* new_mpq() noexcept {
  MPQ_Object* r = obtain<MpqPool>(
      &MPQ_Type, [](MPQ_Object* o) { mpq_set_ui(o->q, 0, 1); }, [](MPQ_Object* o) { mpq_init(o->q); });
  if (r) r->hash_cache = -1;
  return r;
}

MPFR_Object* new_mpfr(mpfr_prec_t prec, CTXT_Object* ctx) noexcept {
  Ctx cx(ctx);
  if (!(ctx = cx.get())) return nullptr;
  prec = pick(prec, ctx->ctx.precision);
  if (MPFR_Object* r = cached_mpfr(prec)) return r;
  if (!prec_ok(prec)) {
    value_error("invalid value for precision");
    return note_current("precision must be from 1 to 9223372036854775551 bits; got %lld", static_cast<long long>(prec));
  }
  if (!storage_available(prec)) return nullptr;
  MPFR_Object* r = obtain<MpfrPool>(
      &MPFR_Type, [prec](MPFR_Object* o) { mpfr_set_prec(o->f, prec); },  // (the same precision was taken above)
      [prec](MPFR_Object* o) { mpfr_init2(o->f, prec); });
  if (!r) return nullptr;
  r->hash_cache = -1;
  r->rc = 0;
  return r;
}

MPC_Object* new_mpc(mpfr_prec_t rprec, mpfr_prec_t iprec, CTXT_Object* ctx) noexcept {
  Ctx cx(ctx);
  if (!(ctx = cx.get())) return nullptr;
  rprec = pick(rprec, real_prec(ctx->ctx));
  iprec = pick(iprec, imag_prec(ctx->ctx));
  if (MPC_Object* r = cached_mpc(rprec, iprec)) return r;
  if (!prec_ok(rprec) || !prec_ok(iprec)) {
    value_error("invalid value for precision");
    return note_current("precisions must be from 1 to 9223372036854775551 bits; got %lld and %lld",
                        static_cast<long long>(rprec), static_cast<long long>(iprec));
  }
  if (!storage_available(rprec, iprec)) return nullptr;
  MPC_Object* r = obtain<MpcPool>(
      &MPC_Type,
      [rprec, iprec](MPC_Object* o) {  // (the same precisions were taken above)
        if (rprec == iprec) {
          mpc_set_prec(o->c, rprec);
        } else {
          mpc_clear(o->c);
          mpc_init3(o->c, rprec, iprec);
        }
      },
      [rprec, iprec](MPC_Object* o) { mpc_init3(o->c, rprec, iprec); });
  if (!r) return nullptr;
  r->hash_cache = -1;
  r->rc = 0;
  return r;
}

void mpz_dealloc(PyObject* self) noexcept { MpzPool::put(self, small_mpz(mpz_of(self))); }
void xmpz_dealloc(PyObject* self) noexcept { XmpzPool::put(self, small_mpz(mpz_of(self))); }
void mpq_dealloc(PyObject* self) noexcept {
  mpq_srcptr q = mpq_of(self);
  MpqPool::put(self, small_mpz(mpq_numref(q)) && small_mpz(mpq_denref(q)));
}
void mpfr_dealloc(PyObject* self) noexcept { MpfrPool::put(self, small_mpfr(mpfr_of(self))); }
void mpc_dealloc(PyObject* self) noexcept {
  mpc_srcptr c = mpc_of(self);
  MpcPool::put(self, small_mpfr(mpc_realref(c)) && small_mpfr(mpc_imagref(c)));
}

}  // namespace vx
