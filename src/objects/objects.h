// The five number objects, their allocation routines and the per-thread
// caches of dead objects.
#pragma once
#include <Python.h>
#include <gmp.h>
#include <mpfr.h>
#include <mpc.h>
#include "context/context.h"
#include "core/compat.h"
#include "core/lock.h"

namespace vx {

struct MPZ_Object {
  PyObject_HEAD
  mpz_t z;
  Py_hash_t hash_cache;
};

struct XMPZ_Object {
  PyObject_HEAD
  mpz_t z;
};

struct MPQ_Object {
  PyObject_HEAD
  mpq_t q;
  Py_hash_t hash_cache;
};

struct MPFR_Object {
  PyObject_HEAD
  mpfr_t f;
  Py_hash_t hash_cache;
  int rc;
};

struct MPC_Object {
  PyObject_HEAD
  mpc_t c;
  Py_hash_t hash_cache;
  int rc;
};

extern PyTypeObject MPZ_Type, XMPZ_Type, MPQ_Type, MPFR_Type, MPC_Type;

// Any object record as the PyObject* it is.
template <class T>
inline PyObject* obj(T* p) noexcept {
  return reinterpret_cast<PyObject*>(p);
}

inline bool is_mpz(PyObject* o) noexcept { return Py_TYPE(o) == &MPZ_Type; }
inline bool is_xmpz(PyObject* o) noexcept { return Py_TYPE(o) == &XMPZ_Type; }
inline bool is_mpq(PyObject* o) noexcept { return Py_TYPE(o) == &MPQ_Type; }
inline bool is_mpfr(PyObject* o) noexcept { return Py_TYPE(o) == &MPFR_Type; }
inline bool is_mpc(PyObject* o) noexcept { return Py_TYPE(o) == &MPC_Type; }

// The GMP integer inside an mpz or xmpz (same layout up to the value).
inline mpz_ptr mpz_of(PyObject* o) noexcept { return reinterpret_cast<MPZ_Object*>(o)->z; }
inline mpq_ptr mpq_of(PyObject* o) noexcept { return reinterpret_cast<MPQ_Object*>(o)->q; }
inline mpfr_ptr mpfr_of(PyObject* o) noexcept { return reinterpret_cast<MPFR_Object*>(o)->f; }
inline mpc_ptr mpc_of(PyObject* o) noexcept { return reinterpret_cast<MPC_Object*>(o)->c; }

static_assert(offsetof(MPZ_Object, z) == offsetof(XMPZ_Object, z));

// The value of an xmpz changes in place: on the free-threaded interpreter
// every read and change of it holds the object's lock, so that no thread
// sees limbs another thread is reallocating. Locks whichever of a and b is
// an xmpz (b may be nullptr); other objects are immutable and need none.
inline PyObject* if_xmpz(PyObject* o) noexcept { return o && is_xmpz(o) ? o : nullptr; }
struct XmpzLock : ObjectLock {
  explicit XmpzLock(PyObject* a, PyObject* b = nullptr) noexcept : ObjectLock(if_xmpz(a), if_xmpz(b)) {}
};

// Allocation routines: new reference, or nullptr with an exception set.
// A precision of 1 or less means the context's; ctx may be nullptr (current).
MPZ_Object* new_mpz() noexcept;
XMPZ_Object* new_xmpz() noexcept;
MPQ_Object* new_mpq() noexcept;
MPFR_Object* new_mpfr(mpfr_prec_t prec, CTXT_Object* ctx) noexcept;
MPC_Object* new_mpc(mpfr_prec_t rprec, mpfr_prec_t iprec, CTXT_Object* ctx) noexcept;

void mpz_dealloc(PyObject* self) noexcept;
void xmpz_dealloc(PyObject* self) noexcept;
void mpq_dealloc(PyObject* self) noexcept;
void mpfr_dealloc(PyObject* self) noexcept;
void mpc_dealloc(PyObject* self) noexcept;

constexpr int CACHE_SIZE = 100;
constexpr int CACHE_MAX_LIMBS = 64;
constexpr mpfr_prec_t CACHE_MAX_PREC = 1024;

// Protocol tables of the number types; each unit fills the slots it serves
// in its registered slot routine before the types are readied.
extern PyNumberMethods mpz_number, xmpz_number, mpq_number, mpfr_number, mpc_number;
extern PyMappingMethods mpz_mapping, xmpz_mapping;

// The five number types in their one order, which the per-thread record
// below, the registry's targets (Target::Mpz to Target::Mpc) and the
// capsule's slots also follow.
struct NumberType {
  const char* name;
  PyTypeObject* type;
  PyNumberMethods* number;
  PyMappingMethods* mapping;  // nullptr: none
  const char* doc;
  const char* abc;            // the class of the numbers module it registers with, or nullptr
};
constexpr int NUMBER_TYPE_COUNT = 5;
extern const NumberType NUMBER_TYPES[NUMBER_TYPE_COUNT];

// Joins the protocol tables to the five number types; the exec step readies them.
void objects_prepare() noexcept;

}  // namespace vx

// The per-thread cache record, one per thread, zero-initialised.
extern "C" {
struct vexa_global_t {
  vx::MPZ_Object* mpz_cache[vx::CACHE_SIZE + 1];
  int in_mpz_cache;
  vx::XMPZ_Object* xmpz_cache[vx::CACHE_SIZE + 1];
  int in_xmpz_cache;
  vx::MPQ_Object* mpq_cache[vx::CACHE_SIZE + 1];
  int in_mpq_cache;
  vx::MPFR_Object* mpfr_cache[vx::CACHE_SIZE + 1];
  int in_mpfr_cache;
  vx::MPC_Object* mpc_cache[vx::CACHE_SIZE + 1];
  int in_mpc_cache;
  int cache_state;               // none yet, open (emptied at thread end), closed
  PyThreadState* closed_tstate;  // the thread state whose clearing emptied the caches
};
VX_EXPORT extern constinit thread_local vexa_global_t global;
}

namespace vx {

// What mpfr_set_prec leaves (NaN), for a value that keeps its precision
// and its digits.
inline void make_nan(mpfr_ptr f) noexcept {
  f->_mpfr_sign = 1;
  f->_mpfr_exp = __MPFR_EXP_NAN;
}

// The top of this thread's cache revived as a new result when its value
// already has the precision asked for (so that the precision needs no
// checking), else nullptr. The value is NaN, the digits' storage kept.
inline MPFR_Object* cached_mpfr(mpfr_prec_t prec) noexcept {
  vexa_global_t& g = global;
  const int n = g.in_mpfr_cache;
  if (!n || mpfr_get_prec(g.mpfr_cache[n - 1]->f) != prec) return nullptr;
  MPFR_Object* r = g.mpfr_cache[--g.in_mpfr_cache];
  PyObject_Init(reinterpret_cast<PyObject*>(r), &MPFR_Type);
  make_nan(r->f);
  r->hash_cache = -1;
  r->rc = 0;
  return r;
}

inline MPC_Object* cached_mpc(mpfr_prec_t rprec, mpfr_prec_t iprec) noexcept {
  vexa_global_t& g = global;
  const int n = g.in_mpc_cache;
  if (!n) return nullptr;
  MPC_Object* r = g.mpc_cache[n - 1];
  if (mpfr_get_prec(mpc_realref(r->c)) != rprec || mpfr_get_prec(mpc_imagref(r->c)) != iprec) return nullptr;
  --g.in_mpc_cache;
  PyObject_Init(reinterpret_cast<PyObject*>(r), &MPC_Type);
  make_nan(mpc_realref(r->c));
  make_nan(mpc_imagref(r->c));
  r->hash_cache = -1;
  r->rc = 0;
  return r;
}

// new_mpfr/new_mpc at the context's precision, with the cached case inline
// for the arithmetic's hot paths.
inline MPFR_Object* new_mpfr_ctx(CTXT_Object* ctx) noexcept {
  if (MPFR_Object* r = cached_mpfr(ctx->ctx.precision)) return r;
  return new_mpfr(0, ctx);
}

inline MPC_Object* new_mpc_ctx(CTXT_Object* ctx) noexcept {
  if (MPC_Object* r = cached_mpc(real_prec(ctx->ctx), imag_prec(ctx->ctx))) return r;
  return new_mpc(0, 0, ctx);
}

}  // namespace vx
