// A heap cell with value semantics: copying a box copies what it holds.
// Lets a value type hold itself recursively (a drawing nested in a drawing).
#pragma once

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <utility>

namespace SVG {

template <typename T>
class Box {
 public:
  Box(T value) : ptr_(std::make_unique<T>(std::move(value))) {}
  Box(const Box& other) : ptr_(std::make_unique<T>(other.get())) {}
  Box(Box&& other) noexcept = default;
  Box& operator=(const Box& other) {
    if (this != &other) ptr_ = std::make_unique<T>(other.get());
    return *this;
  }
  Box& operator=(Box&& other) noexcept = default;
  ~Box() = default;

  /// The held value. A box that was moved from holds nothing; reading it stops the process.
  const T& get() const { return *checked(); }
  T& get() { return *checked(); }
  const T& operator*() const { return get(); }
  T& operator*() { return get(); }
  const T* operator->() const { return &get(); }
  T* operator->() { return &get(); }

  friend bool operator==(const Box& lhs, const Box& rhs) { return lhs.get() == rhs.get(); }

 private:
  T* checked() const {
    if (!ptr_) {
      std::fputs("fatal: read of a moved-from box\n", stderr);
      std::abort();
    }
    return ptr_.get();
  }

  std::unique_ptr<T> ptr_;
};

}  // namespace SVG
