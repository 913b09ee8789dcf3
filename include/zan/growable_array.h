// SPDX-License-Identifier: MIT
// A vector of trivially copyable values for the compiler's big append-only
// lists. A large one lives in its own mapping and grows by remapping its
// pages instead of copying them: growing std::vector copies every element
// into fresh memory at each doubling, and faulting that memory in was a
// large part of the time of a long score.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <type_traits>
#include <utility>

namespace zan {

namespace growable_detail {
// The raw storage behind GrowableArray: malloc up to kMapAbove bytes, an
// anonymous mapping (grown by mremap) above. Sets `newBytes` to what the
// block holds, which may be more than asked (a mapping is made larger, to
// grow in place). Returns nullptr when memory cannot be had; the old block
// is then untouched.
void* resize(void* block, size_t usedBytes, size_t oldBytes, size_t& newBytes);
void release(void* block, size_t bytes);
inline constexpr size_t kMapAbove = size_t{256} << 10;
}  // namespace growable_detail

template <class T>
class GrowableArray {
  static_assert(std::is_trivially_copyable_v<T> && std::is_trivially_default_constructible_v<T>);

 public:
  GrowableArray() = default;
  GrowableArray(const GrowableArray& o) { *this = o; }
  GrowableArray(GrowableArray&& o) noexcept { swap(o); }
  GrowableArray& operator=(const GrowableArray& o) {
    if (this != &o) {
      clear();
      if (T* p = append(o.size_)) std::copy(o.begin(), o.end(), p);
    }
    return *this;
  }
  GrowableArray& operator=(GrowableArray&& o) noexcept {
    swap(o);
    return *this;
  }
  ~GrowableArray() { growable_detail::release(data_, capacity_ * sizeof(T)); }

  // Room for n more values at the end, uninitialised; nullptr (and nothing
  // changed) when memory for them cannot be had, and for no values at all
  // while the array has no memory yet.
  T* append(size_t n) {
    if (n > capacity_ - size_ && !reserve(size_ + n < 2 * capacity_ ? 2 * capacity_ : size_ + n)) return nullptr;
    T* p = data_ + size_;
    size_ += n;
    return p;
  }
  bool reserve(size_t n) {
    if (n <= capacity_) return true;
    if (n < 16) n = 16;
    if (n > SIZE_MAX / sizeof(T) / 2) return false;
    size_t bytes = n * sizeof(T);
    void* p = growable_detail::resize(data_, size_ * sizeof(T), capacity_ * sizeof(T), bytes);
    if (!p) return false;
    data_ = static_cast<T*>(p);
    capacity_ = bytes / sizeof(T);
    return true;
  }
  // Keeps the memory for the next fill.
  void clear() { size_ = 0; }
  // Drops the values from `n` on.
  void shrinkTo(size_t n) {
    if (n < size_) size_ = n;
  }
  void swap(GrowableArray& o) noexcept {
    std::swap(data_, o.data_);
    std::swap(size_, o.size_);
    std::swap(capacity_, o.capacity_);
  }

  size_t size() const { return size_; }
  bool empty() const { return size_ == 0; }
  T* data() { return data_; }
  const T* data() const { return data_; }
  T* begin() { return data_; }
  T* end() { return data_ + size_; }
  const T* begin() const { return data_; }
  const T* end() const { return data_ + size_; }
  T& operator[](size_t i) { return data_[i]; }
  const T& operator[](size_t i) const { return data_[i]; }
  const T& front() const { return data_[0]; }
  const T& back() const { return data_[size_ - 1]; }

 private:
  T* data_ = nullptr;
  size_t size_ = 0;
  size_t capacity_ = 0;
};

}  // namespace zan
