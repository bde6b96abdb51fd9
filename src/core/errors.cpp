// Notes on exceptions being raised.
#include "core/errors.h"

#include <cstdarg>

#include "core/ref.h"

namespace vx {

namespace {

void add_note(PyObject* value, PyObject* note) noexcept {
  if (!value || !note) return;
  Ref r = Ref::steal(PyObject_CallMethod(value, "add_note", "O", note));
  if (!r) PyErr_Clear();
}

}  // namespace

Fail note_current(const char* fmt, ...) noexcept {
  if (!PyErr_Occurred()) return {};
  va_list ap;
  va_start(ap, fmt);
#if PY_VERSION_HEX >= 0x030C0000
  PyObject* value = PyErr_GetRaisedException();
  Ref note = Ref::steal(PyUnicode_FromFormatV(fmt, ap));
  va_end(ap);
  if (!note) PyErr_Clear();
  add_note(value, note.get());
  PyErr_SetRaisedException(value);
#else
  PyObject *type, *value, *tb;
  PyErr_Fetch(&type, &value, &tb);
  PyErr_NormalizeException(&type, &value, &tb);
  Ref note = Ref::steal(PyUnicode_FromFormatV(fmt, ap));
  va_end(ap);
  if (!note) PyErr_Clear();
  add_note(value, note.get());
  PyErr_Restore(type, value, tb);
#endif
  return {};
}

}  // namespace vx
