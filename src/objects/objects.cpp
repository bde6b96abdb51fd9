// Allocation, recycling and freeing of number objects.
#include "objects/objects.h"
#include "core/errors.h"
#include "core/ref.h"

extern "C" {
thread_local vexa_global_t global = {};
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
bool storage_available(mpfr_prec_t p) noexcept {
  if (p <= (mpfr_prec_t{1} << 20)) return true;
  void* probe = PyMem_RawMalloc(mpfr_custom_get_size(p));
  if (!probe) return false;
  PyMem_RawFree(probe);
  return true;
}

}  // namespace

MPZ_Object* new_mpz() noexcept {
  MPZ_Object* r;
  if (global.in_mpz_cache) {
    r = revive(global.mpz_cache[--global.in_mpz_cache], &MPZ_Type);
    mpz_set_ui(r->z, 0);
  } else {
    r = PyObject_New(MPZ_Object, &MPZ_Type);
    if (!r) return nullptr;
    mpz_init(r->z);
  }
  r->hash_cache = -1;
  return r;
}

XMPZ_Object* new_xmpz() noexcept {
  XMPZ_Object* r;
  if (global.in_xmpz_cache) {
    r = revive(global.xmpz_cache[--global.in_xmpz_cache], &XMPZ_Type);
    mpz_set_ui(r->z, 0);
  } else {
    r = PyObject_New(XMPZ_Object, &XMPZ_Type);
    if (!r) return nullptr;
    mpz_init(r->z);
  }
  return r;
}

MPQ_Object* new_mpq() noexcept {
  MPQ_Object* r;
  if (global.in_mpq_cache) {
    r = revive(global.mpq_cache[--global.in_mpq_cache], &MPQ_Type);
    mpq_set_ui(r->q, 0, 1);
  } else {
    r = PyObject_New(MPQ_Object, &MPQ_Type);
    if (!r) return nullptr;
    mpq_init(r->q);
  }
  r->hash_cache = -1;
  return r;
}

MPFR_Object* new_mpfr(mpfr_prec_t prec, CTXT_Object* ctx) noexcept {
  Ctx cx(ctx);
  if (!(ctx = cx.get())) return nullptr;
  prec = pick(prec, ctx->ctx.precision);
  if (!prec_ok(prec)) return value_error("invalid value for precision");
  if (!storage_available(prec)) return memory_error();
  MPFR_Object* r;
  if (global.in_mpfr_cache) {
    r = revive(global.mpfr_cache[--global.in_mpfr_cache], &MPFR_Type);
    mpfr_set_prec(r->f, prec);
  } else {
    r = PyObject_New(MPFR_Object, &MPFR_Type);
    if (!r) return nullptr;
    mpfr_init2(r->f, prec);
  }
  r->hash_cache = -1;
  r->rc = 0;
  return r;
}

MPC_Object* new_mpc(mpfr_prec_t rprec, mpfr_prec_t iprec, CTXT_Object* ctx) noexcept {
  Ctx cx(ctx);
  if (!(ctx = cx.get())) return nullptr;
  rprec = pick(rprec, real_prec(ctx->ctx));
  iprec = pick(iprec, imag_prec(ctx->ctx));
  if (!prec_ok(rprec) || !prec_ok(iprec)) return value_error("invalid value for precision");
  if (!storage_available(rprec) || !storage_available(iprec)) return memory_error();
  MPC_Object* r;
  if (global.in_mpc_cache) {
    r = revive(global.mpc_cache[--global.in_mpc_cache], &MPC_Type);
    if (rprec == iprec) {
      mpc_set_prec(r->c, rprec);
    } else {
      mpc_clear(r->c);
      mpc_init3(r->c, rprec, iprec);
    }
  } else {
    r = PyObject_New(MPC_Object, &MPC_Type);
    if (!r) return nullptr;
    mpc_init3(r->c, rprec, iprec);
  }
  r->hash_cache = -1;
  r->rc = 0;
  return r;
}

void mpz_dealloc(PyObject* self) noexcept {
  auto* o = reinterpret_cast<MPZ_Object*>(self);
  if (global.in_mpz_cache < CACHE_SIZE && o->z->_mp_alloc <= CACHE_MAX_LIMBS) {
    global.mpz_cache[global.in_mpz_cache++] = o;
  } else {
    mpz_clear(o->z);
    PyObject_Free(self);
  }
}

void xmpz_dealloc(PyObject* self) noexcept {
  auto* o = reinterpret_cast<XMPZ_Object*>(self);
  if (global.in_xmpz_cache < CACHE_SIZE && o->z->_mp_alloc <= CACHE_MAX_LIMBS) {
    global.xmpz_cache[global.in_xmpz_cache++] = o;
  } else {
    mpz_clear(o->z);
    PyObject_Free(self);
  }
}

void mpq_dealloc(PyObject* self) noexcept {
  auto* o = reinterpret_cast<MPQ_Object*>(self);
  if (global.in_mpq_cache < CACHE_SIZE && mpq_numref(o->q)->_mp_alloc <= CACHE_MAX_LIMBS &&
      mpq_denref(o->q)->_mp_alloc <= CACHE_MAX_LIMBS) {
    global.mpq_cache[global.in_mpq_cache++] = o;
  } else {
    mpq_clear(o->q);
    PyObject_Free(self);
  }
}

void mpfr_dealloc(PyObject* self) noexcept {
  auto* o = reinterpret_cast<MPFR_Object*>(self);
  if (global.in_mpfr_cache < CACHE_SIZE && mpfr_get_prec(o->f) <= CACHE_MAX_PREC) {
    global.mpfr_cache[global.in_mpfr_cache++] = o;
  } else {
    mpfr_clear(o->f);
    PyObject_Free(self);
  }
}

void mpc_dealloc(PyObject* self) noexcept {
  auto* o = reinterpret_cast<MPC_Object*>(self);
  if (global.in_mpc_cache < CACHE_SIZE && mpfr_get_prec(mpc_realref(o->c)) <= CACHE_MAX_PREC &&
      mpfr_get_prec(mpc_imagref(o->c)) <= CACHE_MAX_PREC) {
    global.mpc_cache[global.in_mpc_cache++] = o;
  } else {
    mpc_clear(o->c);
    PyObject_Free(self);
  }
}

}  // namespace vx
