// The current context of each thread and task, held in a context variable,
// and the `with` protocol of context objects.
#include "context/context.h"
#include "core/registry.h"
#include "context/context_impl.h"
#include "core/args.h"
#include "core/compat.h"
#include "core/errors.h"
#include "core/ref.h"

namespace vx {

namespace {
// Created once at import, never released.
PyObject* context_var = nullptr;
}  // namespace

int context_module_init(PyObject*) noexcept {
  // One variable per process: a second module object keeps the threads'
  // current contexts.
  if (!context_var) context_var = PyContextVar_New("vexa2_context", nullptr);
  return context_var ? 0 : -1;
}

namespace {

// Free-threaded builds: the interpreter keeps no cache of a context
// variable's value there, so each read searches the current Context. This
// thread's last read is kept instead, with what it was read under: the
// thread state (pointer, interpreter and id, so that a new thread state at
// the same address never matches), the thread state's context version
// (changed whenever a task or Context.run switches the current Context)
// and the count of this thread's own changes of the variable (a change of
// a variable leaves the version as it is; the variable is changed only
// here). While all match, the value is the same object, kept alive by the
// variable. With the GIL the interpreter's own cache does the same.
struct LastRead {
  PyThreadState* ts;
  PyInterpreterState* interp;
  uint64_t ts_id, ts_ver, sets;
  CTXT_Object* value;  // borrowed
  uint64_t var_sets;   // this thread's changes of the variable so far
};
constinit thread_local LastRead last = {};

PyObject* set_var(PyObject* value) noexcept {
  ++last.var_sets;
  return PyContextVar_Set(context_var, value);
}

int reset_var(PyObject* token) noexcept {
  ++last.var_sets;
  return PyContextVar_Reset(context_var, token);
}

}  // namespace

CTXT_Object* current_context() noexcept {
#ifdef Py_GIL_DISABLED
  PyThreadState* ts = PyThreadState_Get();
  LastRead& k = last;
  if (k.value && k.ts == ts && k.sets == k.var_sets && k.ts_ver == ts->context_ver && k.ts_id == ts->id &&
      k.interp == ts->interp) {
    Py_INCREF(reinterpret_cast<PyObject*>(k.value));
    return k.value;
  }
#endif
  PyObject* v = nullptr;
  if (PyContextVar_Get(context_var, nullptr, &v) < 0) return nullptr;
  if (!v) {
    // First use in this thread or task: install a default context.
    Own<CTXT_Object> c(context_new());
    if (!c) return nullptr;
    Ref token = Ref::steal(set_var(c.obj()));
    if (!token) return nullptr;
    v = reinterpret_cast<PyObject*>(c.release());
  } else if (!is_context(v)) {
    // Only code that digs the variable out of a Context can put anything
    // else there; it is refused, not used as a context.
    Py_DECREF(v);
    return type_error("the current context is not a vexa2 context");
  }
#ifdef Py_GIL_DISABLED
  k.ts = ts;
  k.interp = ts->interp;
  k.ts_id = ts->id;
  k.ts_ver = ts->context_ver;
  k.sets = k.var_sets;
  k.value = reinterpret_cast<CTXT_Object*>(v);
#endif
  return reinterpret_cast<CTXT_Object*>(v);
}

// The token list of a context is shared by every thread that enters the
// object: it is created, searched and changed only under the object's
// critical section. Resetting the variable and dropping tokens (which may
// free other objects) happen outside it.

namespace {

// The interpreter's Context that the calling thread runs in: a token can
// be used only there. A token keeps its Context alive, so the address of a
// Context with open tokens is never reused.
inline void* running_context() noexcept { return PyThreadState_Get()->context; }

// Each entry is (token, address of the Context it was made in): a thread
// tries only its own tokens, never touching a token that its own thread may
// be using at the same moment (a token's use is not thread-safe).
int push_token(CTXT_Object* entered, PyObject* token) noexcept {
  Ref where = Ref::steal(PyLong_FromVoidPtr(running_context()));
  if (!where) return -1;
  Ref entry = Ref::steal(PyTuple_Pack(2, token, where.get()));
  if (!entry) return -1;
  int rc = -1;
  Py_BEGIN_CRITICAL_SECTION(entered);
  if (entered->tokens || (entered->tokens = PyList_New(0))) rc = PyList_Append(entered->tokens, entry.get());
  Py_END_CRITICAL_SECTION();
  return rc;
}

// The tokens of the open blocks, innermost first (a new list), or nullptr.
Ref open_tokens(CTXT_Object* entered) noexcept {
  Ref r;
  Py_BEGIN_CRITICAL_SECTION(entered);
  if (entered->tokens) {
    r = Ref::steal(PyList_GetSlice(entered->tokens, 0, PyList_GET_SIZE(entered->tokens)));
    if (r && PyList_Reverse(r.get()) < 0) r.reset();
  } else {
    r = Ref::steal(PyList_New(0));
  }
  Py_END_CRITICAL_SECTION();
  return r;
}

// Removes `token` from the list; the reference the list held is handed to `out`.
void drop_token(CTXT_Object* entered, PyObject* token, Ref& out) noexcept {
  Py_BEGIN_CRITICAL_SECTION(entered);
  for (Py_ssize_t i = PyList_GET_SIZE(entered->tokens) - 1; i >= 0; --i) {
    if (PyTuple_GET_ITEM(PyList_GET_ITEM(entered->tokens, i), 0) != token) continue;
    out = Ref::borrow(PyList_GET_ITEM(entered->tokens, i));
    if (PyList_SetSlice(entered->tokens, i, i + 1, nullptr) < 0) PyErr_Clear();
    break;
  }
  Py_END_CRITICAL_SECTION();
}

}  // namespace

PyObject* context_enter(PyObject* self, PyObject*) {
  auto* entered = reinterpret_cast<CTXT_Object*>(self);
  Own<CTXT_Object> block(context_new(&entered->ctx));
  if (!block) return nullptr;
  Ref token = Ref::steal(set_var(block.obj()));
  if (!token) return nullptr;
  if (push_token(entered, token.get()) < 0) {
    SavedError keep;
    if (reset_var(token.get()) < 0) PyErr_Clear();
    return nullptr;
  }
  return block.release();
}

PyObject* context_exit(PyObject* self, PyObject* const*, Py_ssize_t) {
  auto* entered = reinterpret_cast<CTXT_Object*>(self);
  // Each __enter__ pushed its own token. The block that ends is the newest
  // one opened in the caller's own thread or task: the first token, from the
  // top, that the interpreter accepts. Tokens of other threads and tasks
  // stay in place.
  Ref tokens = open_tokens(entered);
  if (!tokens) return nullptr;
  void* here = running_context();
  for (Py_ssize_t i = 0; i < PyList_GET_SIZE(tokens.get()); ++i) {
    PyObject* entry = PyList_GET_ITEM(tokens.get(), i);
    if (PyLong_AsVoidPtr(PyTuple_GET_ITEM(entry, 1)) != here) continue;  // another thread's or task's
    PyObject* token = PyTuple_GET_ITEM(entry, 0);
    if (reset_var(token) < 0) {
      // No memory to restore the variable: the block stays open, to be closed again.
      if (PyErr_ExceptionMatches(PyExc_MemoryError)) return nullptr;
      PyErr_Clear();  // a token of another thread or task
      continue;
    }
    Ref dropped;
    drop_token(entered, token, dropped);
    Py_RETURN_NONE;
  }
  return system_error("Unexpected failure in restoring context.");
}

namespace {

PyObject* f_get_context(PyObject*, PyObject*) { return reinterpret_cast<PyObject*>(current_context()); }

PyObject* f_set_context(PyObject*, PyObject* arg) {
  if (!is_context(arg)) return value_error("set_context() requires a context argument");
  Ref token = Ref::steal(set_var(arg));
  if (!token) return nullptr;
  Py_RETURN_NONE;
}

PyObject* f_local_context(PyObject*, PyObject* args, PyObject* kwargs) {
  if (PyErr_WarnEx(PyExc_DeprecationWarning, "local_context() is deprecated, use context(get_context()) instead.",
                   1) < 0)
    return nullptr;
  Own<CTXT_Object> from;
  Py_ssize_t n = PyTuple_GET_SIZE(args);
  if (n == 0) {
    from = Own<CTXT_Object>(current_context());
    if (!from) return nullptr;
  } else if (n == 1 && is_context(PyTuple_GET_ITEM(args, 0))) {
    from = Own<CTXT_Object>::borrow(reinterpret_cast<CTXT_Object*>(PyTuple_GET_ITEM(args, 0)));
  } else {
    return value_error("local_context() only supports [[context][,keyword]] arguments");
  }
  Own<CTXT_Object> c(context_new(&from->ctx));
  if (!c) return nullptr;
  if (kwargs && context_apply_kwargs(c.get(), kwargs) < 0) return nullptr;
  return c.release();
}


const FnDef context_module_methods[] = {
    noargs("get_context", f_get_context, IN_MODULE, "Return a reference to the current context.") .typed("", "context"),
    one("set_context", f_set_context, IN_MODULE, "Activate a context object controlling vexa2 arithmetic.") .typed("context: context, /", "None"),
    varargs_kw("local_context", f_local_context, IN_MODULE, "local_context(**kwargs)\nlocal_context(context, /, **kwargs)\n\nReturn a new context for controlling vexa2 arithmetic, either copying the\ncurrent context or the given one, then applying the keyword arguments.\nDeprecated: use context(get_context()) instead.").typed(nullptr, "context"),
};

}  // namespace

VX_UNIT(context_module, context_module_methods)

}  // namespace vx
