// Per-object locks of the free-threaded interpreter (its critical
// sections). A lock taken on nullptr is no lock, so callers pass only the
// objects that need one. With the global interpreter lock, and on
// interpreters without the API, the guard compiles away.
#pragma once
#include <Python.h>

namespace vx {

class ObjectLock {
 public:
#ifdef Py_GIL_DISABLED
  explicit ObjectLock(PyObject* a, PyObject* b = nullptr) noexcept {
    if (a && b) {
      PyCriticalSection2_Begin(&two_, a, b);  // one lock when a == b
      held_ = 2;
    } else if (a || b) {
      PyCriticalSection_Begin(&one_, a ? a : b);
      held_ = 1;
    }
  }
  ~ObjectLock() {
    if (held_ == 2)
      PyCriticalSection2_End(&two_);
    else if (held_ == 1)
      PyCriticalSection_End(&one_);
  }
#else
  explicit ObjectLock(PyObject*, PyObject* = nullptr) noexcept {}
#endif
  ObjectLock(const ObjectLock&) = delete;
  ObjectLock& operator=(const ObjectLock&) = delete;

#ifdef Py_GIL_DISABLED
 private:
  union {
    PyCriticalSection one_;
    PyCriticalSection2 two_;
  };
  int held_ = 0;
#endif
};

}  // namespace vx
