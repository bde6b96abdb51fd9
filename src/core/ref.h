// Owning handle for PyObject* references.
//
// A Ref owns exactly one reference. Use Ref::steal() for a new reference
// returned by the C API and Ref::borrow() for a borrowed one; release()
// hands the reference to the caller (for returning it to the interpreter).
#pragma once
#include <Python.h>
#include <utility>

namespace vx {

class Ref {
  PyObject* p_ = nullptr;
  explicit Ref(PyObject* p) noexcept : p_(p) {}

 public:
  Ref() noexcept = default;
  static Ref steal(PyObject* p) noexcept { return Ref(p); }
  static Ref borrow(PyObject* p) noexcept {
    Py_XINCREF(p);
    return Ref(p);
  }
  template <class T>
  static Ref steal(T* p) noexcept { return Ref(reinterpret_cast<PyObject*>(p)); }
  template <class T>
  static Ref borrow(T* p) noexcept { return borrow(reinterpret_cast<PyObject*>(p)); }

  Ref(const Ref&) = delete;
  Ref& operator=(const Ref&) = delete;
  Ref(Ref&& o) noexcept : p_(std::exchange(o.p_, nullptr)) {}
  Ref& operator=(Ref&& o) noexcept {
    if (this != &o) {
      PyObject* old = std::exchange(p_, std::exchange(o.p_, nullptr));
      Py_XDECREF(old);
    }
    return *this;
  }
  ~Ref() { Py_XDECREF(p_); }

  PyObject* get() const noexcept { return p_; }
  template <class T>
  T* as() const noexcept { return reinterpret_cast<T*>(p_); }
  PyObject* release() noexcept { return std::exchange(p_, nullptr); }
  void reset() noexcept { Py_CLEAR(p_); }
  explicit operator bool() const noexcept { return p_ != nullptr; }
};

// A typed owning handle for the module's own object records.
template <class T>
class Own {
  T* p_ = nullptr;

 public:
  Own() noexcept = default;
  explicit Own(T* p) noexcept : p_(p) {}  // steals
  Own(const Own&) = delete;
  Own& operator=(const Own&) = delete;
  Own(Own&& o) noexcept : p_(std::exchange(o.p_, nullptr)) {}
  Own& operator=(Own&& o) noexcept {
    if (this != &o) {
      T* old = std::exchange(p_, std::exchange(o.p_, nullptr));
      Py_XDECREF(reinterpret_cast<PyObject*>(old));
    }
    return *this;
  }
  ~Own() { Py_XDECREF(reinterpret_cast<PyObject*>(p_)); }
  static Own borrow(T* p) noexcept {
    Py_XINCREF(reinterpret_cast<PyObject*>(p));
    return Own(p);
  }

  T* get() const noexcept { return p_; }
  T* operator->() const noexcept { return p_; }
  PyObject* obj() const noexcept { return reinterpret_cast<PyObject*>(p_); }
  PyObject* release() noexcept { return reinterpret_cast<PyObject*>(std::exchange(p_, nullptr)); }
  // The reference, typed, handed to the caller.
  T* release_typed() noexcept { return std::exchange(p_, nullptr); }
  explicit operator bool() const noexcept { return p_ != nullptr; }
};

// The tuple (a, b), taking over both new references; nullptr when either is
// nullptr (its error set) or the tuple cannot be made, both released then.
inline PyObject* steal_pair(PyObject* a, PyObject* b) noexcept {
  Ref x = Ref::steal(a), y = Ref::steal(b);
  if (!x || !y) return nullptr;
  PyObject* t = PyTuple_New(2);
  if (!t) return nullptr;
  PyTuple_SET_ITEM(t, 0, x.release());
  PyTuple_SET_ITEM(t, 1, y.release());
  return t;
}

}  // namespace vx
