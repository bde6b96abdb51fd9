/* The bare GMP/MPFR/MPC call behind a benchmark case, timed in C.

   Usage: ccall KEY...   prints "KEY ns-per-call" for each key
          ccall          lists the keys

   The operands are the values the Python cases use (bench_arith.py,
   bench_convert.py); results go to a variable initialised once, so what is
   timed is the library call alone. Timing: the count of calls is doubled
   until one batch takes 0.2 s, then the best of 5 batches is kept (as
   timeit's autorange and repeat do).

   Built by run.py: cc -O2 ccall.c -lmpc -lmpfr -lgmp */
#include <gmp.h>
#include <mpc.h>
#include <mpfr.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

static mpz_t za, zb, zr;
static mpq_t qa, qb, qr;
static mpfr_t fa, fb, fr;
static mpc_t ca, cb, cr;
static char *text, *buf;

static void t_mpz_add_1limb(void) { mpz_add(zr, za, zb); }
static void t_mpz_mul_1limb(void) { mpz_mul(zr, za, zb); }
static void t_mpz_fdiv_q_1limb(void) { mpz_fdiv_q(zr, zb, za); }
static void t_mpq_add_1limb(void) { mpq_add(qr, qa, qb); }
static void t_mpfr_add(void) { mpfr_add(fr, fa, fb, MPFR_RNDN); }
static void t_mpfr_mul(void) { mpfr_mul(fr, fa, fb, MPFR_RNDN); }
static void t_mpfr_mul_d_53(void) { mpfr_mul_d(fr, fa, 9.876543210987, MPFR_RNDN); }
static void t_mpc_mul_53(void) { mpc_mul(cr, ca, cb, MPC_RNDNN); }
static void t_mpz_mul(void) { mpz_mul(zr, za, zb); }
static void t_mpz_set_str(void) { mpz_set_str(zr, text, 10); }
static void t_mpz_get_str(void) { mpz_get_str(buf, 10, za); }

/* x = 1234567, y = 7654321 as in bench_arith.py's SMALL. */
static void small_ints(void) {
  mpz_set_ui(za, 1234567);
  mpz_set_ui(zb, 7654321);
  mpq_set_ui(qa, 3, 7);
  mpq_set_ui(qb, 5, 11);
}

static void floats(mpfr_prec_t prec) {
  mpfr_set_prec(fa, prec);
  mpfr_set_prec(fb, prec);
  mpfr_set_prec(fr, prec);
  if (prec == 53) {
    mpfr_set_d(fa, 1.2345678901234, MPFR_RNDN);
    mpfr_set_d(fb, 9.876543210987, MPFR_RNDN);
  } else { /* bench_arith.py's HIGH: sqrt(2) and sqrt(3) */
    mpfr_sqrt_ui(fa, 2, MPFR_RNDN);
    mpfr_sqrt_ui(fb, 3, MPFR_RNDN);
  }
}

static void complexes(void) {
  mpc_set_d_d(ca, 1.5, 2.25, MPC_RNDNN);
  mpc_set_d_d(cb, -0.75, 3.5, MPC_RNDNN);
}

/* bench_arith.py's big(digits): 7**int(digits/0.8451) + 12345 and 3**int(digits/0.4771) + 54321. */
static void big_ints(long digits) {
  mpz_ui_pow_ui(za, 7, (unsigned long)(digits / 0.8451));
  mpz_add_ui(za, za, 12345);
  mpz_ui_pow_ui(zb, 3, (unsigned long)(digits / 0.4771));
  mpz_add_ui(zb, zb, 54321);
}

/* bench_convert.py: s = '7' * digits, z = mpz(s); buf holds str(z). */
static void sevens(long digits) {
  free(text);
  free(buf);
  text = malloc(digits + 1);
  buf = malloc(digits + 2);
  if (!text || !buf) abort();
  memset(text, '7', digits);
  text[digits] = 0;
  mpz_set_str(za, text, 10);
}

static void b10k(void) { big_ints(10000); }
static void b1m(void) { big_ints(1000000); }
static void s10k(void) { sevens(10000); }
static void s1m(void) { sevens(1000000); }
static void f53(void) { floats(53); }
static void f1000(void) { floats(1000); }

static const struct {
  const char *key;
  void (*setup)(void);
  void (*call)(void);
} cases[] = {
    {"mpz_add_1limb", small_ints, t_mpz_add_1limb},
    {"mpz_mul_1limb", small_ints, t_mpz_mul_1limb},
    {"mpz_fdiv_q_1limb", small_ints, t_mpz_fdiv_q_1limb},
    {"mpq_add_1limb", small_ints, t_mpq_add_1limb},
    {"mpfr_add_53", f53, t_mpfr_add},
    {"mpfr_mul_53", f53, t_mpfr_mul},
    {"mpfr_mul_d_53", f53, t_mpfr_mul_d_53},
    {"mpc_mul_53", complexes, t_mpc_mul_53},
    {"mpfr_mul_1000", f1000, t_mpfr_mul},
    {"mpz_mul_10k", b10k, t_mpz_mul},
    {"mpz_mul_1m", b1m, t_mpz_mul},
    {"mpz_set_str_10k", s10k, t_mpz_set_str},
    {"mpz_set_str_1m", s1m, t_mpz_set_str},
    {"mpz_get_str_10k", s10k, t_mpz_get_str},
    {"mpz_get_str_1m", s1m, t_mpz_get_str},
};

/* The math-function table (bench_mathfn_route.py): "math_<name>_<bits>",
   the MPFR routine on x = sqrt(3) - 1 at that precision. */
static int (*math_fn)(mpfr_ptr, mpfr_srcptr, mpfr_rnd_t);
static void t_math(void) { math_fn(fr, fa, MPFR_RNDN); }
static int lgamma_fn(mpfr_ptr r, mpfr_srcptr x, mpfr_rnd_t m) {
  int sign;
  return mpfr_lgamma(r, &sign, x, m);
}
static const struct {
  const char *name;
  int (*f)(mpfr_ptr, mpfr_srcptr, mpfr_rnd_t);
} math_fns[] = {{"sin", mpfr_sin},     {"cos", mpfr_cos},   {"tan", mpfr_tan},       {"exp", mpfr_exp},
                {"log", mpfr_log},     {"atan", mpfr_atan}, {"erf", mpfr_erf},       {"gamma", mpfr_gamma},
                {"lgamma", lgamma_fn}, {"zeta", mpfr_zeta}, {"lngamma", mpfr_lngamma}};

static int math_case(const char *key) {
  char name[32];
  long bits;
  if (sscanf(key, "math_%31[a-z0-9]_%ld", name, &bits) != 2 || bits < 2) return 0;
  for (size_t i = 0; i < sizeof math_fns / sizeof math_fns[0]; i++)
    if (strcmp(math_fns[i].name, name) == 0) {
      math_fn = math_fns[i].f;
      floats(bits);
      mpfr_sqrt_ui(fa, 3, MPFR_RNDN);
      mpfr_sub_ui(fa, fa, 1, MPFR_RNDN);
      return 1;
    }
  return 0;
}

static double now(void) {
  struct timespec t;
  clock_gettime(CLOCK_MONOTONIC, &t);
  return t.tv_sec + t.tv_nsec * 1e-9;
}

static double batch(void (*call)(void), long n) {
  double t = now();
  for (long i = 0; i < n; i++) call();
  return now() - t;
}

static double ns_per_call(void (*call)(void)) {
  long n = 1;
  while (batch(call, n) < 0.2) n *= 2;
  double best = 1e300;
  for (int r = 0; r < 5; r++) {
    double t = batch(call, n);
    if (t < best) best = t;
  }
  return best / n * 1e9;
}

int main(int argc, char **argv) {
  size_t ncases = sizeof cases / sizeof cases[0];
  if (argc < 2) {
    for (size_t i = 0; i < ncases; i++) puts(cases[i].key);
    return 0;
  }
  mpz_inits(za, zb, zr, NULL);
  mpq_init(qa);
  mpq_init(qb);
  mpq_init(qr);
  mpfr_inits2(53, fa, fb, fr, (mpfr_ptr)0);
  mpc_init2(ca, 53);
  mpc_init2(cb, 53);
  mpc_init2(cr, 53);
  int status = 0;
  for (int a = 1; a < argc; a++) {
    size_t i = 0;
    while (i < ncases && strcmp(cases[i].key, argv[a]) != 0) i++;
    if (i == ncases && math_case(argv[a])) {
      printf("%s %.2f\n", argv[a], ns_per_call(t_math));
      fflush(stdout);
      continue;
    }
    if (i == ncases) {
      fprintf(stderr, "ccall: unknown key %s\n", argv[a]);
      status = 2;
      continue;
    }
    cases[i].setup();
    printf("%s %.2f\n", cases[i].key, ns_per_call(cases[i].call));
    fflush(stdout);
  }
  return status;
}
