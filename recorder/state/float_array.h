// A zero-filled contiguous array of 32-bit floats, the storage of one recorded trace.
#pragma once

#include <cstddef>
#include <cstdlib>
#include <memory>
#include <new>

namespace zetra {

class FloatArray {
 public:
  FloatArray() = default;

  // Replaces the contents with `size` zeros. calloc lets the system hand out zero pages lazily,
  // so a 5M-sample allocation costs nothing until it is written.
  void reset(size_t size) {
    float* fresh = static_cast<float*>(std::calloc(size == 0 ? 1 : size, sizeof(float)));
    if (fresh == nullptr) throw std::bad_alloc();
    data_.reset(fresh);
    size_ = size;
  }

  float& operator[](size_t i) { return data_.get()[i]; }
  float operator[](size_t i) const { return data_.get()[i]; }
  float* data() { return data_.get(); }
  const float* data() const { return data_.get(); }
  size_t size() const { return size_; }

 private:
  struct Free {
    void operator()(float* p) const { std::free(p); }
  };
  std::unique_ptr<float, Free> data_;
  size_t size_ = 0;
};

}  // namespace zetra
