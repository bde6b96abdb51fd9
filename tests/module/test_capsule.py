"""The C interface: a small extension module is built against the installed
header, with the interpreter's own compiler and flags, and reads and makes
numbers through the capsule's table."""
import importlib.util
import os
import shlex
import shutil
import subprocess
import sysconfig

import pytest

import vexa2
from vexa2 import mpc, mpfr, mpq, mpz, xmpz

PROBE = r"""
#include <vexa2.h>

/* Slots 0 to 10: the types (None for the empty slot). */
static PyObject *types(PyObject *self, PyObject *unused) {
  PyObject *t = PyTuple_New(11);
  if (!t) return NULL;
  for (int i = 0; i < 11; i++) {
    PyObject *o = Vexa2_API[i] ? (PyObject *)Vexa2_API[i] : Py_None;
    Py_INCREF(o);
    PyTuple_SET_ITEM(t, i, o);
  }
  return t;
}

/* Whether the deallocator slots hold the types' own deallocators. */
static PyObject *deallocators_match(PyObject *self, PyObject *unused) {
  static const int pairs[5][2] = {{13, 0}, {17, 1}, {20, 2}, {24, 4}, {28, 6}};
  for (int i = 0; i < 5; i++)
    if (Vexa2_API[pairs[i][0]] != (void *)((PyTypeObject *)Vexa2_API[pairs[i][1]])->tp_dealloc) Py_RETURN_FALSE;
  Py_RETURN_TRUE;
}

static PyObject *make_mpz(PyObject *self, PyObject *arg) {
  long n = PyLong_AsLong(arg);
  if (n == -1 && PyErr_Occurred()) return NULL;
  Vexa2_MPZ_Object *z = Vexa2_MPZ_New();
  if (!z) return NULL;
  mpz_set_si(z->z, n);
  return (PyObject *)z;
}

static PyObject *make_mpfr(PyObject *self, PyObject *args) {
  double d;
  long bits;
  if (!PyArg_ParseTuple(args, "dl", &d, &bits)) return NULL;
  Vexa2_MPFR_Object *f = Vexa2_MPFR_New(bits, NULL);
  if (!f) return NULL;
  f->rc = mpfr_set_d(f->f, d, MPFR_RNDN);
  return (PyObject *)f;
}

/* The value of an integer (through the mpz converter) as a C long. */
static PyObject *read_mpz(PyObject *self, PyObject *arg) {
  PyObject *z = NULL;
  if (!Vexa2_MPZ_ConvertArg(arg, &z)) return NULL;
  if (!Vexa2_MPZ_Check(z)) return PyErr_Format(PyExc_SystemError, "not an mpz");
  long n = mpz_get_si(Vexa2_MPZ(z));
  Py_DECREF(z);
  return PyLong_FromLong(n);
}

/* The value of a real (through the mpfr converter) as (double, precision). */
static PyObject *read_mpfr(PyObject *self, PyObject *arg) {
  PyObject *f = NULL;
  if (!Vexa2_MPFR_ConvertArg(arg, &f)) return NULL;
  if (!Vexa2_MPFR_Check(f)) return PyErr_Format(PyExc_SystemError, "not an mpfr");
  PyObject *r = Py_BuildValue("(dl)", mpfr_get_d(Vexa2_MPFR(f), MPFR_RNDN), (long)mpfr_get_prec(Vexa2_MPFR(f)));
  Py_DECREF(f);
  return r;
}

/* convert(slot, obj): the converter in `slot`; its result, or its error. */
static PyObject *convert(PyObject *self, PyObject *args) {
  int slot;
  PyObject *obj, *out = Py_Ellipsis;
  if (!PyArg_ParseTuple(args, "iO", &slot, &obj)) return NULL;
  int ok = ((Vexa2_ConvertArg_t)Vexa2_API[slot])(obj, &out);
  if (!ok) {
    if (out != Py_Ellipsis) return PyErr_Format(PyExc_SystemError, "slot written on failure");
    if (!PyErr_Occurred()) return PyErr_Format(PyExc_SystemError, "failure without an error");
    return NULL;
  }
  if (ok != 1) return PyErr_Format(PyExc_SystemError, "converter returned %d", ok);
  return out;
}

/* construct(slot, type_slot, args): the constructor in `slot` called as tp_new. */
static PyObject *construct(PyObject *self, PyObject *args) {
  int slot, type_slot;
  PyObject *cargs;
  if (!PyArg_ParseTuple(args, "iiO!", &slot, &type_slot, &PyTuple_Type, &cargs)) return NULL;
  return ((Vexa2_NewInit_t)Vexa2_API[slot])((PyTypeObject *)Vexa2_API[type_slot], cargs, NULL);
}

/* The other allocation routines: an xmpz, an mpq and an mpc, given values. */
static PyObject *make_others(PyObject *self, PyObject *unused) {
  Vexa2_XMPZ_Object *x = Vexa2_XMPZ_New();
  Vexa2_MPQ_Object *q = Vexa2_MPQ_New();
  Vexa2_MPC_Object *c = Vexa2_MPC_New(0, 80, NULL);
  if (!x || !q || !c) {
    Py_XDECREF(x);
    Py_XDECREF(q);
    Py_XDECREF(c);
    return NULL;
  }
  mpz_set_si(x->z, -5);
  mpq_set_si(q->q, 2, 3);
  mpc_set_si_si(c->c, 1, -2, MPC_RNDNN);
  return Py_BuildValue("(NNN)", x, q, c);
}

static PyMethodDef methods[] = {
    {"types", types, METH_NOARGS, NULL},
    {"deallocators_match", deallocators_match, METH_NOARGS, NULL},
    {"make_mpz", make_mpz, METH_O, NULL},
    {"make_mpfr", make_mpfr, METH_VARARGS, NULL},
    {"read_mpz", read_mpz, METH_O, NULL},
    {"read_mpfr", read_mpfr, METH_O, NULL},
    {"convert", convert, METH_VARARGS, NULL},
    {"construct", construct, METH_VARARGS, NULL},
    {"make_others", make_others, METH_NOARGS, NULL},
    {NULL, NULL, 0, NULL},
};

static int exec_probe(PyObject *m) { return import_vexa2(); }

static PyModuleDef_Slot slots[] = {
    {Py_mod_exec, (void *)exec_probe},
#ifdef Py_mod_gil
    {Py_mod_gil, Py_MOD_GIL_NOT_USED},
#endif
    {0, NULL},
};

static struct PyModuleDef def = {PyModuleDef_HEAD_INIT, "vexa2_probe", NULL, 0, methods, slots};

PyMODINIT_FUNC PyInit_vexa2_probe(void) { return PyModuleDef_Init(&def); }
"""


def pkg_config_flags(what):
    if not shutil.which("pkg-config"):
        return []
    r = subprocess.run(["pkg-config", what, "gmp", "mpfr", "mpc"], capture_output=True, text=True)
    return shlex.split(r.stdout) if r.returncode == 0 else []


@pytest.fixture(scope="module")
def probe(tmp_path_factory):
    cv = sysconfig.get_config_var
    cc = shlex.split(cv("CC") or "")
    if not cc or not shutil.which(cc[0]):
        pytest.skip("no C compiler")
    d = tmp_path_factory.mktemp("capi")
    src, obj = d / "vexa2_probe.c", d / "vexa2_probe.o"
    out = d / ("vexa2_probe" + cv("EXT_SUFFIX"))
    src.write_text(PROBE)
    paths = sysconfig.get_paths()
    includes = [f"-I{p}" for p in (vexa2.get_include(), paths["include"], paths["platinclude"])]
    compile_cmd = (cc + shlex.split(cv("CFLAGS") or "") + shlex.split(cv("CCSHARED") or "") + includes
                   + pkg_config_flags("--cflags") + ["-c", str(src), "-o", str(obj)])
    link_cmd = (shlex.split(cv("LDSHARED")) + [str(obj), "-o", str(out)]
                + (pkg_config_flags("--libs") or ["-lmpc", "-lmpfr", "-lgmp"]))
    for cmd in (compile_cmd, link_cmd):
        r = subprocess.run(cmd, capture_output=True, text=True)
        assert r.returncode == 0, f"{shlex.join(cmd)}\n{r.stderr}"
    spec = importlib.util.spec_from_file_location("vexa2_probe", out)
    mod = importlib.util.module_from_spec(spec)
    spec.loader.exec_module(mod)
    return mod


def test_header_is_installed():
    assert os.path.isfile(os.path.join(vexa2.get_include(), "vexa2.h"))


def test_capsule_name():
    assert "vexa2._C_API" in repr(vexa2._C_API)


def test_type_slots(probe):
    rs = type(vexa2.random_state())
    assert probe.types() == (mpz, xmpz, mpq, mpq, mpfr, mpfr, mpc, mpc, vexa2.context, None, rs)
    assert probe.deallocators_match()


def test_numbers_made_and_read_through_the_table(probe):
    z = probe.make_mpz(-1234567890123)
    assert type(z) is mpz and z == -1234567890123 and hash(z) == hash(-1234567890123)
    assert probe.read_mpz(z) == -1234567890123
    assert probe.read_mpz(2**40 + 1) == 2**40 + 1
    f = probe.make_mpfr(0.1, 100)
    assert type(f) is mpfr and f.precision == 100 and f == 0.1
    assert probe.make_mpfr(2.5, 0).precision == 53  # 0: the context's
    assert probe.read_mpfr(f) == (0.1, 100)
    x, q, c = probe.make_others()
    assert (type(x), x, type(q), q) == (xmpz, -5, mpq, mpq(2, 3))
    assert c == mpc(1, -2) and c.precision == (53, 80)


@pytest.mark.parametrize(
    "slot, arg, expected",
    [
        (14, 7, mpz(7)),
        (14, xmpz(9), mpz(9)),
        (21, 0.5, mpq(1, 2)),
        (21, mpfr(0.75), mpq(3, 4)),
        (21, 3, mpq(3)),
        (25, 3, mpfr(3)),
        (25, 2**100 + 1, mpfr(2**100 + 1, 101)),  # exact
        (29, 1 + 2j, mpc(1 + 2j)),
        (29, 5, mpc(5)),
    ],
)
def test_converters(probe, slot, arg, expected):
    got = probe.convert(slot, arg)
    assert type(got) is type(expected) and got == expected


def test_mpfr_converter_keeps_the_object(probe):
    x = mpfr("1.5", 200)
    assert probe.convert(25, x) is x


@pytest.mark.parametrize(
    "slot, arg, exc, msg",
    [
        (14, 3.5, TypeError, "argument can not be converted to 'mpz'"),
        (14, "7", TypeError, "argument can not be converted to 'mpz'"),
        (21, "1/2", TypeError, "cannot convert object to mpq"),
        (21, float("nan"), ValueError, "'mpq' does not support NaN"),
        (21, mpfr("inf"), OverflowError, "can not convert Infinity to MPQ"),
        (25, 1j, TypeError, "argument can not be converted to 'mpfr'"),
        (29, "x", TypeError, "can't convert argument to 'mpc'"),
    ],
)
def test_converter_errors(probe, slot, arg, exc, msg):
    with pytest.raises(exc) as e:
        probe.convert(slot, arg)
    assert str(e.value) == msg


@pytest.mark.parametrize(
    "slot, type_slot, args, expected",
    [
        (12, 0, ("ff", 16), mpz(255)),
        (16, 1, (7,), xmpz(7)),
        (19, 2, (1, 3), mpq(1, 3)),
        (23, 4, ("0.5",), mpfr(0.5)),
        (27, 6, (1, 2), mpc(1, 2)),
    ],
)
def test_constructors(probe, slot, type_slot, args, expected):
    got = probe.construct(slot, type_slot, args)
    assert type(got) is type(expected) and got == expected
