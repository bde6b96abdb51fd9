// Owning handle for PyObject* references.
//
// A Ref owns exactly one reference. Use Ref::steal() for a new reference
// returned by the C API and Ref::borrow() for a borrowed one; release()
// hands the reference to the caller (for returning it to the interpreter).
#pragma once
#include <Python.h>
#include <utility>

namespace vx {

// One owned reference to a T (PyObject or a number record): moved, never
// copied, released when the owner goes.
template <class T>
class Owner {
 protected:
  T* p_ = nullptr;
  static void drop(T* p) noexcept { Py_XDECREF(reinterpret_cast<PyObject*>(p)); }

 public:
  Owner() noexcept = default;
  explicit Owner(T* p) noexcept : p_(p) {}
  Owner(const Owner&) = delete;
  Owner& operator=(const Owner&) = delete;
  Owner(Owner&& o) noexcept : p_(std::exchange(o.p_, nullptr)) {}
  Owner& operator=(Owner&& o) noexcept {
    if (this != &o) drop(std::exchange(p_, std::exchange(o.p_, nullptr)));
    return *this;
  }
  ~Owner() { drop(p_); }
  explicit operator bool() const noexcept { return p_ != nullptr; }
};

class Ref : public Owner<PyObject> {
  explicit Ref(PyObject* p) noexcept : Owner(p) {}

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

  PyObject* get() const noexcept { return p_; }
  template <class T>
  T* as() const noexcept { return reinterpret_cast<T*>(p_); }
  PyObject* release() noexcept { return std::exchange(p_, nullptr); }
  void reset() noexcept { Py_CLEAR(p_); }
};

// A typed owning handle for the module's own object records.
template <class T>
class Own : public Owner<T> {
  using Owner<T>::p_;

 public:
  Own() noexcept = default;
  explicit Own(T* p) noexcept : Owner<T>(p) {}  // steals
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
