// A move-only owner of one handle, released by the one call that belongs to
// that kind of handle. Both the extraction library and the gadget's Win32
// layer build their handle owners on it, so that no other code releases a
// handle itself.
#pragma once

#include <utility>

namespace tarvex {

// A handle of type T released by Release(handle); T{} is "no handle".
template <typename T, auto Release>
class Unique {
 public:
  Unique() = default;
  explicit Unique(T handle) noexcept : h_(handle) {}
  ~Unique() { reset(); }
  Unique(Unique&& other) noexcept : h_(other.release()) {}
  Unique& operator=(Unique&& other) noexcept {
    reset(other.release());
    return *this;
  }
  Unique(const Unique&) = delete;
  Unique& operator=(const Unique&) = delete;

  T get() const noexcept { return h_; }
  explicit operator bool() const noexcept { return h_ != T{}; }
  // Gives the handle up without releasing it.
  T release() noexcept { return std::exchange(h_, T{}); }
  void reset(T handle = T{}) noexcept {
    const T old = std::exchange(h_, handle);
    if (old != T{}) Release(old);
  }
  // Releases the handle now and returns what the release call returned: a
  // file's handle can report there that its last data did not reach the disk.
  // Only for an owner that holds a handle.
  auto close() noexcept { return Release(release()); }

 private:
  T h_{};
};

}  // namespace tarvex
