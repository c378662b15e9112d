// An owning heap array with a fixed upper bound on its length.
//
// The project records keep their variable-length data (envelopes, jitter
// value and rule lists, user filter coefficients) in these. The element
// count is the vector's own length, so a count can never disagree with the
// storage, and copying a record copies the data (no shared or doubly freed
// buffers). Growing beyond kMax is refused and leaves the contents as they
// were, so no untrusted number can drive an allocation past the limit.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <utility>
#include <vector>

template <typename T, std::size_t Max>
class CappedVector {
 public:
  static constexpr std::size_t kMax = Max;

  CappedVector() = default;

  std::size_t size() const { return data_.size(); }
  int32_t count() const { return static_cast<int32_t>(data_.size()); }
  bool empty() const { return data_.empty(); }

  // Element access; indices must be below size().
  const T& operator[](std::size_t i) const { return data_[i]; }
  T& operator[](std::size_t i) { return data_[i]; }
  const T* data() const { return data_.data(); }
  T* data() { return data_.data(); }

  // Iteration and in-place edits of the elements (never of the length).
  typename std::vector<T>::const_iterator begin() const { return data_.begin(); }
  typename std::vector<T>::const_iterator end() const { return data_.end(); }
  std::span<T> span() { return std::span<T>(data_.data(), data_.size()); }
  std::span<const T> span() const { return std::span<const T>(data_.data(), data_.size()); }
  const std::vector<T>& vec() const { return data_; }

  // Replaces the contents; refused (false, unchanged) above kMax elements.
  bool Assign(std::vector<T> values) {
    if (values.size() > Max) return false;
    data_ = std::move(values);
    return true;
  }
  bool Assign(std::span<const T> values) {
    if (values.size() > Max) return false;
    data_.assign(values.begin(), values.end());
    return true;
  }
  // Sets the length to n, new elements value-initialised (or = fill).
  bool Resize(std::size_t n, const T& fill = T()) {
    if (n > Max) return false;
    data_.resize(n, fill);
    return true;
  }
  // Appends one element; refused when kMax elements are held.
  bool PushBack(T value) {
    if (data_.size() >= Max) return false;
    data_.push_back(std::move(value));
    return true;
  }
  // Removes every element and returns the memory.
  void Clear() { std::vector<T>().swap(data_); }

  friend bool operator==(const CappedVector& a, const CappedVector& b) { return a.data_ == b.data_; }

 private:
  std::vector<T> data_;
};
