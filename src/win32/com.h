// COM for the moments the program needs it: the thread's apartment while a
// ComApartment lives, and interface pointers released exactly once.
#pragma once

#include <objbase.h>

#include <utility>

namespace rtrillex {

// Joins the calling thread to a single-threaded apartment and leaves it again,
// but only if this call joined it.
class ComApartment {
 public:
  ComApartment() : result_(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE)) {}
  ~ComApartment() {
    if (SUCCEEDED(result_)) CoUninitialize();
  }
  ComApartment(const ComApartment&) = delete;
  ComApartment& operator=(const ComApartment&) = delete;

  // A thread already in a multithreaded apartment can use COM as it is.
  HRESULT result() const { return result_ == RPC_E_CHANGED_MODE ? S_OK : result_; }

 private:
  HRESULT result_;
};

template <typename Interface>
class ComPtr {
 public:
  ComPtr() = default;
  ComPtr(ComPtr&& other) noexcept : pointer_(std::exchange(other.pointer_, nullptr)) {}
  ComPtr& operator=(ComPtr&& other) noexcept {
    reset();
    pointer_ = std::exchange(other.pointer_, nullptr);
    return *this;
  }
  ComPtr(const ComPtr&) = delete;
  ComPtr& operator=(const ComPtr&) = delete;
  ~ComPtr() { reset(); }

  Interface* operator->() const { return pointer_; }
  Interface* get() const { return pointer_; }
  explicit operator bool() const { return pointer_ != nullptr; }
  void reset() {
    if (pointer_) std::exchange(pointer_, nullptr)->Release();
  }
  // For a call that hands out a new reference.
  void** put() {
    reset();
    return reinterpret_cast<void**>(&pointer_);
  }

  // The same, for a call typed with this interface.
  Interface** out() {
    reset();
    return &pointer_;
  }

  template <typename Other>
  HRESULT QueryInto(REFIID id, ComPtr<Other>& other) const {
    return pointer_->QueryInterface(id, other.put());
  }

 private:
  Interface* pointer_ = nullptr;
};

}  // namespace rtrillex
