// Notes on raised exceptions: the value, the text or the limit that made
// an operation fail, added under the fixed message.
#include "core/errors.h"

#include <cstdarg>
#include <cstring>
#include <string>

namespace vx {

namespace {

constexpr Py_ssize_t NOTE_MAX = 200;
constexpr Py_ssize_t SHOWN_MAX = 60;

// Keeps the first and last part of a text longer than `max`.
PyObject* elide(PyObject* s, Py_ssize_t max) noexcept {
  const Py_ssize_t n = PyUnicode_GetLength(s);
  if (n <= max) return s;
  const Py_ssize_t head = (max - 3) * 2 / 3, tail = max - 3 - head;
  Ref a = Ref::steal(PyUnicode_Substring(s, 0, head));
  Ref b = Ref::steal(PyUnicode_Substring(s, n - tail, n));
  Py_DECREF(s);
  if (!a || !b) return nullptr;
  return PyUnicode_FromFormat("%U...%U", a.get(), b.get());
}

}  // namespace

Fail note_current(const char* fmt, ...) noexcept {
  if (!PyErr_Occurred()) return {};
  SavedError held;
  if (!held.exc()) return {};
  va_list va;
  va_start(va, fmt);
  PyObject* text = PyUnicode_FromFormatV(fmt, va);
  va_end(va);
  if (text) text = elide(text, NOTE_MAX);
  Ref note = Ref::steal(text);
  Ref r = note ? Ref::steal(PyObject_CallMethod(held.exc(), "add_note", "O", note.get())) : Ref();
  if (!r) PyErr_Clear();
  return {};
}

Ref shown(PyObject* o) noexcept {
  SavedError held;
  PyObject* s = nullptr;
  if (PyLong_Check(o)) {
    // A repr of a long int could be refused (the interpreter's digit limit) or be slow.
    const int64_t bits = static_cast<int64_t>(_PyLong_NumBits(o));
    if (bits > 192) s = PyUnicode_FromFormat("an int of about %lld digits", static_cast<long long>(bits * 0.30103) + 1);
  }
  if (!s) {
    PyErr_Clear();
    s = PyObject_Repr(o);
    if (s) s = elide(s, SHOWN_MAX);
  }
  if (!s) {
    PyErr_Clear();
    s = PyUnicode_FromFormat("<%s object>", Py_TYPE(o)->tp_name);
  }
  if (!s) PyErr_Clear();
  return Ref::steal(s ? s : PyUnicode_FromString("?"));
}

const char* closest_name(PyObject* word, const char* const* names, Py_ssize_t n) noexcept {
  SavedError held;
  // A word that begins exactly one name is taken as short for it.
  if (const char* w = PyUnicode_AsUTF8(word)) {
    const char* only = nullptr;
    int found = 0;
    for (Py_ssize_t i = 0; i < n; ++i)
      if (std::strncmp(names[i], w, std::strlen(w)) == 0 && ++found) only = names[i];
    if (found == 1 && *w) return only;
  }
  PyErr_Clear();
  Ref difflib = Ref::steal(PyImport_ImportModule("difflib"));
  Ref list = Ref::steal(PyList_New(n));
  const char* best = nullptr;
  if (difflib && list) {
    bool filled = true;
    for (Py_ssize_t i = 0; i < n; ++i) {
      PyObject* s = PyUnicode_FromString(names[i]);
      if (!s) {
        filled = false;
        s = Py_NewRef(Py_None);
      }
      PyList_SET_ITEM(list.get(), i, s);
    }
    Ref got = !filled ? Ref()
                      : Ref::steal(PyObject_CallMethod(difflib.get(), "get_close_matches", "OOi", word, list.get(), 1));
    if (got && PyList_Check(got.get()) && PyList_GET_SIZE(got.get()) == 1) {
      for (Py_ssize_t i = 0; i < n; ++i)
        if (PyUnicode_CompareWithASCIIString(PyList_GET_ITEM(got.get(), 0), names[i]) == 0) best = names[i];
    }
  }
  PyErr_Clear();
  return best;
}

Fail argument_needs(PyObject* arg, const char* fn, const char* needs) noexcept {
  if (!PyErr_Occurred()) return {};
  Ref what = shown(arg);
  if (PyLong_Check(arg) && PyErr_ExceptionMatches(PyExc_OverflowError)) {
    PyErr_Clear();
    PyErr_Format(PyExc_OverflowError, "%s() requires %s", fn, needs);
    return note_current("got %U", what.get());
  }
  return note_current("%s() requires %s; got %U", fn, needs, what.get());
}

}  // namespace vx
