/* vexa2.h -- the C interface of the vexa2 module for other extension modules.
 *
 * vexa2 publishes a capsule, vexa2._C_API, whose pointer is a table of 30
 * entries: the types, the allocation routines, the constructors, the
 * deallocators and four argument converters. A module that includes this
 * header calls import_vexa2() once (in its exec step or init function)
 * and then uses the names below; it links against GMP, MPFR and MPC for
 * the values inside the objects, never against vexa2 itself.
 *
 *     #include <vexa2.h>
 *
 *     if (import_vexa2() < 0) return -1;
 *     Vexa2_MPZ_Object *z = Vexa2_MPZ_New();
 *     if (!z) return NULL;
 *     mpz_set_si(z->z, 42);
 *
 * Every source file that uses the table calls import_vexa2() itself (the
 * table pointer is private to each file). The compiler flags for this
 * header: -I followed by the folder that vexa2.get_include() returns, plus
 * the include folders of Python, GMP, MPFR and MPC.
 *
 * Objects: the allocation routines return new references (NULL with an
 * exception set on failure) holding 0 (mpz, xmpz), 0/1 (mpq) or NaN at
 * the given precision (mpfr, mpc). Set the value before
 * handing the object to Python code; afterwards mpz, mpq, mpfr and mpc
 * objects must not change (their hash is cached). Release objects with
 * Py_DECREF, which calls the deallocator.
 *
 * Precisions: the mpfr and mpc allocation routines take a precision in
 * bits; 0 (or 1) means the context's. The context argument may be NULL:
 * the calling thread's current context is used.
 *
 * Converters: the four converters have the shape that PyArg_ParseTuple's
 * "O&" expects. On success they store a new reference to an object of the
 * target type in *(PyObject **)slot and return 1; on failure they set a
 * TypeError (or the conversion's own error) and return 0, leaving the slot
 * untouched.
 */
#ifndef VEXA2_H
#define VEXA2_H

#include <Python.h>
#include <gmp.h>
#include <mpfr.h>
#include <mpc.h>

#ifdef __cplusplus
extern "C" {
#endif

/* The number objects. Their layout is part of the interface. */
typedef struct {
  PyObject_HEAD
  mpz_t z;
  Py_hash_t hash_cache;
} Vexa2_MPZ_Object;

typedef struct {
  PyObject_HEAD
  mpz_t z;
} Vexa2_XMPZ_Object;

typedef struct {
  PyObject_HEAD
  mpq_t q;
  Py_hash_t hash_cache;
} Vexa2_MPQ_Object;

typedef struct {
  PyObject_HEAD
  mpfr_t f;
  Py_hash_t hash_cache;
  int rc; /* ternary value of the rounding that made f */
} Vexa2_MPFR_Object;

typedef struct {
  PyObject_HEAD
  mpc_t c;
  Py_hash_t hash_cache;
  int rc; /* packed ternary values of the two parts, as MPC returns them */
} Vexa2_MPC_Object;

/* A context; its record is not part of the interface. */
typedef struct Vexa2_CTXT_Object Vexa2_CTXT_Object;

/* The places of the table. */
#define Vexa2_MPZ_Type_NUM 0
#define Vexa2_XMPZ_Type_NUM 1
#define Vexa2_MPQ_Type_NUM 2
/* 3: the mpq type again */
#define Vexa2_MPFR_Type_NUM 4
/* 5: the mpfr type again */
#define Vexa2_MPC_Type_NUM 6
/* 7: the mpc type again */
#define Vexa2_CTXT_Type_NUM 8
/* 9: empty (NULL) */
#define Vexa2_RandomState_Type_NUM 10
#define Vexa2_MPZ_New_NUM 11
#define Vexa2_MPZ_NewInit_NUM 12
#define Vexa2_MPZ_Dealloc_NUM 13
#define Vexa2_MPZ_ConvertArg_NUM 14
#define Vexa2_XMPZ_New_NUM 15
#define Vexa2_XMPZ_NewInit_NUM 16
#define Vexa2_XMPZ_Dealloc_NUM 17
#define Vexa2_MPQ_New_NUM 18
#define Vexa2_MPQ_NewInit_NUM 19
#define Vexa2_MPQ_Dealloc_NUM 20
#define Vexa2_MPQ_ConvertArg_NUM 21
#define Vexa2_MPFR_New_NUM 22
#define Vexa2_MPFR_NewInit_NUM 23
#define Vexa2_MPFR_Dealloc_NUM 24
#define Vexa2_MPFR_ConvertArg_NUM 25
#define Vexa2_MPC_New_NUM 26
#define Vexa2_MPC_NewInit_NUM 27
#define Vexa2_MPC_Dealloc_NUM 28
#define Vexa2_MPC_ConvertArg_NUM 29
#define Vexa2_API_pointers 30

/* The shapes of the entries. */
typedef Vexa2_MPZ_Object *(*Vexa2_MPZ_New_t)(void);
typedef Vexa2_XMPZ_Object *(*Vexa2_XMPZ_New_t)(void);
typedef Vexa2_MPQ_Object *(*Vexa2_MPQ_New_t)(void);
typedef Vexa2_MPFR_Object *(*Vexa2_MPFR_New_t)(mpfr_prec_t bits, Vexa2_CTXT_Object *context);
typedef Vexa2_MPC_Object *(*Vexa2_MPC_New_t)(mpfr_prec_t real_bits, mpfr_prec_t imag_bits,
                                              Vexa2_CTXT_Object *context);
/* The types' constructors (tp_new): type(*args, **kwargs). */
typedef PyObject *(*Vexa2_NewInit_t)(PyTypeObject *type, PyObject *args, PyObject *kwargs);
typedef void (*Vexa2_Dealloc_t)(PyObject *self);
typedef int (*Vexa2_ConvertArg_t)(PyObject *arg, void *slot);

/* The table of the calling source file; set by import_vexa2(). */
static inline void ***Vexa2_API_ref(void) {
  static void **api = NULL;
  return &api;
}
#define Vexa2_API (*Vexa2_API_ref())

/* Imports vexa2 and reads its table: 0, or -1 with an exception set. */
static inline int import_vexa2(void) {
  void **api = (void **)PyCapsule_Import("vexa2._C_API", 0);
  if (!api) return -1;
  Vexa2_API = api;
  return 0;
}

#define Vexa2_MPZ_Type ((PyTypeObject *)Vexa2_API[Vexa2_MPZ_Type_NUM])
#define Vexa2_XMPZ_Type ((PyTypeObject *)Vexa2_API[Vexa2_XMPZ_Type_NUM])
#define Vexa2_MPQ_Type ((PyTypeObject *)Vexa2_API[Vexa2_MPQ_Type_NUM])
#define Vexa2_MPFR_Type ((PyTypeObject *)Vexa2_API[Vexa2_MPFR_Type_NUM])
#define Vexa2_MPC_Type ((PyTypeObject *)Vexa2_API[Vexa2_MPC_Type_NUM])
#define Vexa2_CTXT_Type ((PyTypeObject *)Vexa2_API[Vexa2_CTXT_Type_NUM])
#define Vexa2_RandomState_Type ((PyTypeObject *)Vexa2_API[Vexa2_RandomState_Type_NUM])

/* The types cannot be subclassed: a check compares the exact type. */
#define Vexa2_MPZ_Check(op) (Py_TYPE(op) == Vexa2_MPZ_Type)
#define Vexa2_XMPZ_Check(op) (Py_TYPE(op) == Vexa2_XMPZ_Type)
#define Vexa2_MPQ_Check(op) (Py_TYPE(op) == Vexa2_MPQ_Type)
#define Vexa2_MPFR_Check(op) (Py_TYPE(op) == Vexa2_MPFR_Type)
#define Vexa2_MPC_Check(op) (Py_TYPE(op) == Vexa2_MPC_Type)
#define Vexa2_CTXT_Check(op) (Py_TYPE(op) == Vexa2_CTXT_Type)

/* The values inside the objects. */
#define Vexa2_MPZ(op) (((Vexa2_MPZ_Object *)(op))->z)
#define Vexa2_XMPZ(op) (((Vexa2_XMPZ_Object *)(op))->z)
#define Vexa2_MPQ(op) (((Vexa2_MPQ_Object *)(op))->q)
#define Vexa2_MPFR(op) (((Vexa2_MPFR_Object *)(op))->f)
#define Vexa2_MPC(op) (((Vexa2_MPC_Object *)(op))->c)

#define Vexa2_MPZ_New ((Vexa2_MPZ_New_t)Vexa2_API[Vexa2_MPZ_New_NUM])
#define Vexa2_MPZ_NewInit ((Vexa2_NewInit_t)Vexa2_API[Vexa2_MPZ_NewInit_NUM])
#define Vexa2_MPZ_Dealloc ((Vexa2_Dealloc_t)Vexa2_API[Vexa2_MPZ_Dealloc_NUM])
#define Vexa2_MPZ_ConvertArg ((Vexa2_ConvertArg_t)Vexa2_API[Vexa2_MPZ_ConvertArg_NUM])
#define Vexa2_XMPZ_New ((Vexa2_XMPZ_New_t)Vexa2_API[Vexa2_XMPZ_New_NUM])
#define Vexa2_XMPZ_NewInit ((Vexa2_NewInit_t)Vexa2_API[Vexa2_XMPZ_NewInit_NUM])
#define Vexa2_XMPZ_Dealloc ((Vexa2_Dealloc_t)Vexa2_API[Vexa2_XMPZ_Dealloc_NUM])
#define Vexa2_MPQ_New ((Vexa2_MPQ_New_t)Vexa2_API[Vexa2_MPQ_New_NUM])
#define Vexa2_MPQ_NewInit ((Vexa2_NewInit_t)Vexa2_API[Vexa2_MPQ_NewInit_NUM])
#define Vexa2_MPQ_Dealloc ((Vexa2_Dealloc_t)Vexa2_API[Vexa2_MPQ_Dealloc_NUM])
#define Vexa2_MPQ_ConvertArg ((Vexa2_ConvertArg_t)Vexa2_API[Vexa2_MPQ_ConvertArg_NUM])
#define Vexa2_MPFR_New ((Vexa2_MPFR_New_t)Vexa2_API[Vexa2_MPFR_New_NUM])
#define Vexa2_MPFR_NewInit ((Vexa2_NewInit_t)Vexa2_API[Vexa2_MPFR_NewInit_NUM])
#define Vexa2_MPFR_Dealloc ((Vexa2_Dealloc_t)Vexa2_API[Vexa2_MPFR_Dealloc_NUM])
#define Vexa2_MPFR_ConvertArg ((Vexa2_ConvertArg_t)Vexa2_API[Vexa2_MPFR_ConvertArg_NUM])
#define Vexa2_MPC_New ((Vexa2_MPC_New_t)Vexa2_API[Vexa2_MPC_New_NUM])
#define Vexa2_MPC_NewInit ((Vexa2_NewInit_t)Vexa2_API[Vexa2_MPC_NewInit_NUM])
#define Vexa2_MPC_Dealloc ((Vexa2_Dealloc_t)Vexa2_API[Vexa2_MPC_Dealloc_NUM])
#define Vexa2_MPC_ConvertArg ((Vexa2_ConvertArg_t)Vexa2_API[Vexa2_MPC_ConvertArg_NUM])

#ifdef __cplusplus
}
#endif

#endif /* VEXA2_H */
